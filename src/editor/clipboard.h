#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

namespace kelto {

// Frames on the system clipboard under the program's own format, so that another running
// copy can paste them too. Whether the clipboard holds frames this window copied is tracked
// from the copy to the next clipboard change by anyone.
class FrameClipboard : public QObject {
    Q_OBJECT

public:
    explicit FrameClipboard(QObject* parent = nullptr);

    // The MIME name; on Windows Qt registers it as the named format "CF_KeltoFrames".
    static QString mimeType();

    void copy(const std::vector<uint8_t>& record);
    bool hasFrames() const;
    QByteArray frames() const;
    // True while the clipboard holds frames copied by this window from the current document.
    bool ownsFrames() const;
    // The frames on the clipboard no longer belong to the open document.
    void documentDestroyed() { m_own = nullptr; }

Q_SIGNALS:
    void availabilityChanged(bool hasFrames);

private:
    void clipboardChanged();

    // The data this window last put on the clipboard while it is still there and the document
    // it came from is still open. Compared by identity, as the clipboard hands back our own
    // object while we own it, whenever the change notice arrives.
    const void* m_own = nullptr;
};

} // namespace kelto

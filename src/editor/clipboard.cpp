#include "editor/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace kelto {

FrameClipboard::FrameClipboard(QObject* parent) : QObject(parent) {
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &FrameClipboard::clipboardChanged);
}

QString FrameClipboard::mimeType() {
    return QStringLiteral("application/x-qt-windows-mime;value=\"CF_KeltoFrames\"");
}

void FrameClipboard::copy(const std::vector<uint8_t>& record) {
    auto* data = new QMimeData; // the clipboard takes ownership
    data->setData(mimeType(), QByteArray(reinterpret_cast<const char*>(record.data()),
                                         qsizetype(record.size())));
    QGuiApplication::clipboard()->setMimeData(data);
    m_own = data;
    Q_EMIT availabilityChanged(hasFrames());
}

bool FrameClipboard::ownsFrames() const {
    return m_own && QGuiApplication::clipboard()->mimeData() == m_own;
}

bool FrameClipboard::hasFrames() const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasFormat(mimeType());
}

QByteArray FrameClipboard::frames() const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data ? data->data(mimeType()) : QByteArray();
}

void FrameClipboard::clipboardChanged() {
    if (QGuiApplication::clipboard()->mimeData() != m_own) {
        m_own = nullptr;
    }
    Q_EMIT availabilityChanged(hasFrames());
}

} // namespace kelto

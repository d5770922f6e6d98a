#pragma once

#include "export/exportoptions.h"

#include <QDialog>

class QProgressBar;
class QPushButton;

namespace kelto {

// "Saving Animation": a progress bar and Cancel, shown without blocking while an export runs.
// The exports run on the GUI thread; cancelled() lets pending window events run, so the Cancel
// button acts between two frames. Hiding the window for any reason (Cancel, closing it, the
// export ending) resets the bar and raises the cancel flag.
class ProgressForm : public QDialog, public ExportProgress {
    Q_OBJECT
public:
    explicit ProgressForm(QWidget* parent = nullptr);

    // The export command lowers the flag before an options window opens.
    void clearCancel() { m_cancelled = false; }
    bool cancelFlag() const { return m_cancelled; }

    void setProgress(int percent) override;
    bool cancelled() override;

    void applyLanguage();

    QProgressBar* bar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancel; }

Q_SIGNALS:
    // After every progress step, before events are pumped.
    void progressed(int percent);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_cancelled = false;
};

} // namespace kelto

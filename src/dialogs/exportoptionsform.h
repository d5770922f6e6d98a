#pragma once

#include "export/rasterexport.h"

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QSpinBox;
class QBoxLayout;

namespace kelto {

class Document;
class ProgressForm;

// What an export runs on: set by the export command before an options window opens.
struct ExportJob {
    const Document* doc = nullptr;
    std::string baseName;  // the chosen file name without its extension
    int frameInterval = 0; // playback milliseconds per frame period
};

// The part the export options windows share: "Resize" and "Super Sample", the OK button that
// runs the export, Cancel, which closes the window with nothing written, and the fall-back to
// the default when a numeric field is left empty. The window is created once; its values stay
// between exports.
class ExportOptionsForm : public QDialog {
    Q_OBJECT
public:
    ExportOptionsForm(ProgressForm& progress, QWidget* parent);

    void setJob(ExportJob job) { m_job = std::move(job); }
    const ExportJob& job() const { return m_job; }

    virtual void applyLanguage();

    QSpinBox* resizeEdit() const { return m_resize; }
    QSpinBox* superSampleEdit() const { return m_superSample; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    // What the last OK wrote; empty after Cancel or a failure.
    const ExportResult& lastResult() const { return m_result; }

protected:
    // The export itself, run by OK after the fields are made valid. Throws on failure.
    virtual ExportResult runExport() = 0;
    // Questions that come before the export while the window is still enabled; false ends the
    // export with nothing written.
    virtual bool beforeExport() { return true; }
    // Makes this window's own fields valid before runExport.
    virtual void sanitiseFields();

    // Shows the progress window beside this one, now disabled.
    void showProgress();
    // Puts the window's own controls between the size fields and the OK button.
    QBoxLayout* bodyLayout() const { return m_body; }
    // A numeric field whose empty text becomes defaultValue when the field is left.
    void watchField(QSpinBox* box, int defaultValue);
    bool eventFilter(QObject* watched, QEvent* event) override;

    ProgressForm& m_progress;
    ExportJob m_job;

private:
    void okClicked();

    QLabel* m_resizeLabel = nullptr;
    QLabel* m_superSampleLabel = nullptr;
    QSpinBox* m_resize = nullptr;
    QSpinBox* m_superSample = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    ExportResult m_result;
    QBoxLayout* m_body = nullptr;
    std::vector<std::pair<QSpinBox*, int>> m_watched;
};

} // namespace kelto

#pragma once

#include "dialogs/exportoptionsform.h"
#include "export/exportoptions.h"

#include <array>

class QCheckBox;
class QLabel;
class QSpinBox;

namespace kelto {

// The options of MP4, WebM, APNG and animated WebP: the size fields, the quality on the
// encoder's own scale ("Default" leaves the encoder's choice), Lossless for WebP and Loop for
// the animated pictures. One window serves the four formats; each keeps its own quality.
class VideoOptionsForm : public ExportOptionsForm {
    Q_OBJECT
public:
    VideoOptionsForm(ProgressForm& progress, QWidget* parent = nullptr);

    // Shows the fields the format has; called before the window opens.
    void setFormat(VideoFormat format);
    VideoFormat format() const { return m_format; }

    void applyLanguage() override;
    // The options as the fields stand.
    VideoExportOptions options() const;

    QSpinBox* qualityEdit() const { return m_quality; }
    QLabel* qualityHint() const { return m_qualityHint; }
    QCheckBox* losslessBox() const { return m_lossless; }
    QCheckBox* loopBox() const { return m_loop; }

protected:
    ExportResult runExport() override;
    void sanitiseFields() override;

private:
    void updateQualityHint();

    VideoFormat m_format = VideoFormat::Mp4;
    std::array<int, 4> m_qualities{-1, -1, -1, -1}; // per format, while another is shown
    QLabel* m_qualityLabel = nullptr;
    QSpinBox* m_quality = nullptr;
    QLabel* m_qualityHint = nullptr;
    QCheckBox* m_lossless = nullptr;
    QCheckBox* m_loop = nullptr;
};

// The format's name in the export dialog and window captions ("MP4 Video").
QString videoFormatLabel(VideoFormat format);

} // namespace kelto

#pragma once

#include "dialogs/exportoptionsform.h"
#include "export/exportoptions.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace kelto {

// "Save as Images Options": every stored frame as one numbered PNG, JPEG or GIF file.
class ImageOptionsForm : public ExportOptionsForm {
    Q_OBJECT
public:
    ImageOptionsForm(ProgressForm& progress, QWidget* parent = nullptr);

    void applyLanguage() override;
    // The options as the fields stand (not sanitised).
    ImageSequenceOptions options() const;
    // Checks the format's button, as clicking it would.
    void chooseFormat(ImageFormat format);

    QRadioButton* pngButton() const { return m_png; }
    QRadioButton* jpegButton() const { return m_jpeg; }
    QRadioButton* gifButton() const { return m_gif; }
    QCheckBox* repeatsBox() const { return m_repeats; }
    QSpinBox* qualityEdit() const { return m_quality; }

protected:
    ExportResult runExport() override;
    void sanitiseFields() override;

private:
    QGroupBox* m_formatGroup = nullptr;
    QRadioButton* m_png = nullptr;
    QRadioButton* m_jpeg = nullptr;
    QRadioButton* m_gif = nullptr;
    QCheckBox* m_repeats = nullptr;
    QLabel* m_qualityLabel = nullptr;
    QSpinBox* m_quality = nullptr;
};

} // namespace kelto

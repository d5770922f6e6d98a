#include "dialogs/imageoptionsform.h"

#include "dialogs/progressform.h"
#include "dialogs/spinedit.h"
#include "export/rasterexport.h"
#include "settings/multilang.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kelto {

ImageOptionsForm::ImageOptionsForm(ProgressForm& progress, QWidget* parent)
    : ExportOptionsForm(progress, parent) {
    setObjectName(QStringLiteral("ImageOptionsForm"));
    m_formatGroup = new QGroupBox(this);
    m_png = new QRadioButton(QStringLiteral("PNG"), m_formatGroup);
    m_jpeg = new QRadioButton(QStringLiteral("JPEG"), m_formatGroup);
    m_gif = new QRadioButton(QStringLiteral("GIF"), m_formatGroup);
    m_png->setChecked(true);
    auto* formats = new QVBoxLayout(m_formatGroup);
    formats->addWidget(m_png);
    formats->addWidget(m_jpeg);
    formats->addWidget(m_gif);

    m_repeats = new QCheckBox(this);
    m_repeats->setChecked(true);
    m_qualityLabel = new QLabel(this);
    m_quality = new QSpinBox(this);
    m_quality->setRange(kJpegQualityRange.minimum, kJpegQualityRange.maximum);
    m_quality->setValue(kJpegQualityRange.fallback);
    m_quality->setSuffix(QStringLiteral(" %"));
    m_quality->setEnabled(false);
    watchField(m_quality, kJpegQualityRange.fallback);
    auto* quality = new QHBoxLayout;
    quality->addWidget(m_qualityLabel);
    quality->addWidget(m_quality);

    bodyLayout()->addWidget(m_formatGroup);
    bodyLayout()->addWidget(m_repeats);
    bodyLayout()->addLayout(quality);

    // The quality is a JPEG setting; its value stays while another format is chosen.
    connect(m_png, &QRadioButton::clicked, this, [this] { m_quality->setEnabled(false); });
    connect(m_gif, &QRadioButton::clicked, this, [this] { m_quality->setEnabled(false); });
    connect(m_jpeg, &QRadioButton::clicked, this, [this] { m_quality->setEnabled(true); });
    applyLanguage();
}

void ImageOptionsForm::applyLanguage() {
    ExportOptionsForm::applyLanguage();
    setWindowTitle(getPhrase(PhraseType::IFormCap));
    m_formatGroup->setTitle(getPhrase(PhraseType::IFormatBox));
    m_repeats->setText(getPhrase(PhraseType::IRepeatCap));
    m_qualityLabel->setText(getPhrase(PhraseType::IQualityCap));
}

ImageSequenceOptions ImageOptionsForm::options() const {
    ImageSequenceOptions options;
    options.resize = resizeEdit()->value();
    options.superSample = superSampleEdit()->value();
    options.format = m_jpeg->isChecked()  ? ImageFormat::Jpeg
                     : m_gif->isChecked() ? ImageFormat::Gif
                                          : ImageFormat::Png;
    options.saveRepeats = m_repeats->isChecked();
    options.quality = m_quality->value();
    return options;
}

void ImageOptionsForm::chooseFormat(ImageFormat format) {
    QRadioButton* button = format == ImageFormat::Png    ? m_png
                           : format == ImageFormat::Jpeg ? m_jpeg
                                                         : m_gif;
    button->setChecked(true);
    m_quality->setEnabled(format == ImageFormat::Jpeg);
}

void ImageOptionsForm::sanitiseFields() {
    ExportOptionsForm::sanitiseFields();
    sanitizeSpinEdit(*m_quality, kJpegQualityRange.fallback);
}

ExportResult ImageOptionsForm::runExport() {
    showProgress();
    return exportImageSequence(*m_job.doc, m_job.baseName, options(), m_progress);
}

} // namespace kelto

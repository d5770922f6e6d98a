#include "dialogs/videooptionsform.h"

#include "dialogs/progressform.h"
#include "dialogs/spinedit.h"
#include "export/videoexport.h"
#include "export/videowriter.h"
#include "settings/multilang.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QSpinBox>

namespace kelto {

QString videoFormatLabel(VideoFormat format) {
    switch (format) {
    case VideoFormat::Mp4:
        return getPhrase(PhraseType::ExMp4);
    case VideoFormat::WebM:
        return getPhrase(PhraseType::ExWebM);
    case VideoFormat::Apng:
        return getPhrase(PhraseType::ExApng);
    case VideoFormat::WebP:
        return getPhrase(PhraseType::ExWebP);
    }
    return {};
}

VideoOptionsForm::VideoOptionsForm(ProgressForm& progress, QWidget* parent)
    : ExportOptionsForm(progress, parent) {
    setObjectName(QStringLiteral("VideoOptionsForm"));
    m_qualityLabel = new QLabel(this);
    m_quality = new QSpinBox(this);
    m_quality->setMinimum(-1); // "Default"
    m_quality->setValue(-1);
    m_qualityHint = new QLabel(this);
    m_lossless = new QCheckBox(this);
    m_loop = new QCheckBox(this);
    m_loop->setChecked(true); // like the GIF, which loops forever
    auto* quality = new QHBoxLayout;
    quality->addWidget(m_qualityLabel);
    quality->addWidget(m_quality);
    bodyLayout()->addLayout(quality);
    bodyLayout()->addWidget(m_qualityHint);
    bodyLayout()->addWidget(m_lossless);
    bodyLayout()->addWidget(m_loop);
    // Lossless WebP has no quality to choose, only effort.
    connect(m_lossless, &QCheckBox::toggled, this, [this](bool on) {
        m_quality->setEnabled(!on);
        m_qualityHint->setEnabled(!on);
    });
    applyLanguage();
    setFormat(VideoFormat::Mp4);
}

void VideoOptionsForm::applyLanguage() {
    ExportOptionsForm::applyLanguage();
    setWindowTitle(getPhrase(PhraseType::ExFormCap).arg(videoFormatLabel(m_format)));
    m_qualityLabel->setText(getPhrase(PhraseType::IQualityCap));
    m_quality->setSpecialValueText(getPhrase(PhraseType::ExDefault));
    m_lossless->setText(getPhrase(PhraseType::ExLossless));
    m_loop->setText(getPhrase(PhraseType::ExLoop));
    updateQualityHint();
}

void VideoOptionsForm::setFormat(VideoFormat format) {
    m_qualities[size_t(m_format)] = m_quality->value();
    m_format = format;
    const QualityScale scale = videoQualityScale(videoEncoderFor(format));
    const bool hasQuality = !scale.empty();
    m_quality->setMaximum(hasQuality ? scale.maximum : -1);
    m_quality->setValue(m_qualities[size_t(format)]);
    m_qualityLabel->setVisible(hasQuality);
    m_quality->setVisible(hasQuality);
    m_qualityHint->setVisible(hasQuality);
    m_lossless->setVisible(format == VideoFormat::WebP);
    m_loop->setVisible(format == VideoFormat::Apng || format == VideoFormat::WebP);
    setWindowTitle(getPhrase(PhraseType::ExFormCap).arg(videoFormatLabel(format)));
    updateQualityHint();
    layout()->activate();
}

void VideoOptionsForm::updateQualityHint() {
    const QualityScale scale = videoQualityScale(videoEncoderFor(m_format));
    if (scale.empty()) {
        m_qualityHint->clear();
        return;
    }
    const PhraseType phrase =
        scale.higherIsBetter ? PhraseType::ExHigherBetter : PhraseType::ExLowerBetter;
    m_qualityHint->setText(getPhrase(phrase).arg(scale.minimum).arg(scale.maximum));
    m_quality->setToolTip(m_qualityHint->text());
}

VideoExportOptions VideoOptionsForm::options() const {
    VideoExportOptions options;
    options.resize = resizeEdit()->value();
    options.superSample = superSampleEdit()->value();
    options.format = m_format;
    options.quality = m_quality->value();
    // Quality values below the encoder's scale (MPEG-4 Part 2 starts at 1) mean its default.
    const QualityScale scale = videoQualityScale(videoEncoderFor(m_format));
    if (scale.empty() || options.quality < scale.minimum) {
        options.quality = -1;
    }
    options.lossless = m_format == VideoFormat::WebP && m_lossless->isChecked();
    options.loop = m_loop->isChecked();
    return options;
}

void VideoOptionsForm::sanitiseFields() {
    ExportOptionsForm::sanitiseFields();
    sanitizeSpinEdit(*m_quality, -1);
}

ExportResult VideoOptionsForm::runExport() {
    showProgress();
    return exportVideo(*m_job.doc, m_job.baseName, options(), m_job.frameInterval, m_progress);
}

} // namespace kelto

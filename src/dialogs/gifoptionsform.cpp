#include "dialogs/gifoptionsform.h"

#include "dialogs/progressform.h"
#include "export/rasterexport.h"
#include "settings/multilang.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace kelto {

namespace {

// The dither kernels keep their published names in every language.
const char* const kDitherNames[kDitherModeCount - 1] = {
    "Floyd Steinberg", "Stucki", "Sierra", "Jarvis, Judice & Ninke", "Stevenson & Arche", "Burkes",
};

void setItemTexts(QComboBox& box, const QStringList& texts) {
    const int current = box.currentIndex();
    box.clear();
    box.addItems(texts);
    box.setCurrentIndex(current);
}

} // namespace

GifOptionsForm::GifOptionsForm(ProgressForm& progress, QWidget* parent)
    : ExportOptionsForm(progress, parent) {
    setObjectName(QStringLiteral("GifOptionsForm"));
    m_advanced = new QPushButton(this);
    m_advanced->setCheckable(true);

    m_advancedGroup = new QGroupBox(this);
    m_coloursLabel = new QLabel(m_advancedGroup);
    m_ditherLabel = new QLabel(m_advancedGroup);
    m_colours = new QComboBox(m_advancedGroup);
    m_dither = new QComboBox(m_advancedGroup);
    m_optimizeGroup = new QGroupBox(m_advancedGroup);
    m_merge = new QCheckBox(m_optimizeGroup);
    m_palette = new QCheckBox(m_optimizeGroup);
    m_crop = new QCheckBox(m_optimizeGroup);
    auto* optimize = new QVBoxLayout(m_optimizeGroup);
    optimize->addWidget(m_merge);
    optimize->addWidget(m_palette);
    optimize->addWidget(m_crop);
    auto* advanced = new QVBoxLayout(m_advancedGroup);
    advanced->addWidget(m_coloursLabel);
    advanced->addWidget(m_colours);
    advanced->addWidget(m_ditherLabel);
    advanced->addWidget(m_dither);
    advanced->addWidget(m_optimizeGroup);
    m_advancedGroup->setVisible(false);

    bodyLayout()->addWidget(m_advanced, 0, Qt::AlignHCenter);
    bodyLayout()->addWidget(m_advancedGroup);
    setMinimumWidth(216);

    connect(m_advanced, &QPushButton::toggled, this, [this](bool down) {
        m_advancedGroup->setVisible(down);
        layout()->activate(); // the fixed-size layout resizes the window at once
    });
    applyLanguage();
    m_colours->setCurrentIndex(0);
    m_dither->setCurrentIndex(0);
}

void GifOptionsForm::applyLanguage() {
    ExportOptionsForm::applyLanguage();
    setWindowTitle(getPhrase(PhraseType::GFormCap));
    m_advanced->setText(getPhrase(PhraseType::GAdvancedCap));
    m_advanced->setToolTip(QStringLiteral("Show Advanced Options"));
    m_advancedGroup->setTitle(getPhrase(PhraseType::GAdvancedBox));
    m_coloursLabel->setText(getPhrase(PhraseType::GColor));
    m_ditherLabel->setText(getPhrase(PhraseType::GDither));
    m_optimizeGroup->setTitle(getPhrase(PhraseType::GOptimizeBox));
    m_merge->setText(getPhrase(PhraseType::GMerge));
    m_palette->setText(getPhrase(PhraseType::GPalette));
    m_crop->setText(getPhrase(PhraseType::GCrop));
    setItemTexts(*m_colours,
                 {getPhrase(PhraseType::GColQuant), getPhrase(PhraseType::GColQuantWin),
                  getPhrase(PhraseType::GColNetscape), getPhrase(PhraseType::GColGrayScale),
                  getPhrase(PhraseType::GColWindows), getPhrase(PhraseType::GColMono),
                  getPhrase(PhraseType::GColWinGray)});
    QStringList dithers{getPhrase(PhraseType::GDithNearest)};
    for (const char* name : kDitherNames) {
        dithers << QString::fromUtf8(name);
    }
    setItemTexts(*m_dither, dithers);
}

void GifOptionsForm::showEvent(QShowEvent* event) {
    if (m_job.doc != nullptr) {
        const GifDefaults defaults = gifDefaultsFor(*m_job.doc);
        m_colours->setCurrentIndex(static_cast<int>(defaults.colours));
        m_dither->setCurrentIndex(static_cast<int>(defaults.dither));
    }
    ExportOptionsForm::showEvent(event);
}

GifExportOptions GifOptionsForm::options() const {
    GifExportOptions options;
    options.resize = resizeEdit()->value();
    options.superSample = superSampleEdit()->value();
    options.colours =
        ColourReduction(std::clamp(m_colours->currentIndex(), 0, kColourReductionCount - 1));
    options.dither = DitherMode(std::clamp(m_dither->currentIndex(), 0, kDitherModeCount - 1));
    options.optimisePalette = m_palette->isChecked();
    options.mergeFrames = m_merge->isChecked();
    options.crop = m_crop->isChecked();
    return options;
}

ExportResult GifOptionsForm::runExport() {
    showProgress();
    return exportGif(*m_job.doc, m_job.baseName, options(), m_job.frameInterval, m_progress);
}

} // namespace kelto

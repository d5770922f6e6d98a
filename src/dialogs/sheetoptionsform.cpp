#include "dialogs/sheetoptionsform.h"

#include "dialogs/progressform.h"
#include "dialogs/spinedit.h"
#include "settings/multilang.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

namespace kelto {

namespace {
// Wider grids than this make no sense on screen or in a game engine; the core checks the size.
constexpr int kMaxColumns = 9999;
} // namespace

SheetOptionsForm::SheetOptionsForm(ProgressForm& progress, QWidget* parent)
    : ExportOptionsForm(progress, parent) {
    setObjectName(QStringLiteral("SheetOptionsForm"));
    m_mergeRepeats = new QCheckBox(this);
    m_trim = new QCheckBox(this);
    m_columnsLabel = new QLabel(this);
    m_columns = new QSpinBox(this);
    m_columns->setRange(0, kMaxColumns); // 0: "Automatic"
    m_columns->setValue(0);
    watchField(m_columns, 0);
    auto* columns = new QHBoxLayout;
    columns->addWidget(m_columnsLabel);
    columns->addWidget(m_columns);
    bodyLayout()->addWidget(m_mergeRepeats);
    bodyLayout()->addWidget(m_trim);
    bodyLayout()->addLayout(columns);
    applyLanguage();
}

void SheetOptionsForm::applyLanguage() {
    ExportOptionsForm::applyLanguage();
    setWindowTitle(getPhrase(PhraseType::ExFormCap).arg(getPhrase(PhraseType::ExSheet)));
    m_mergeRepeats->setText(getPhrase(PhraseType::ExMergeRepeats));
    m_trim->setText(getPhrase(PhraseType::ExTrim));
    m_columnsLabel->setText(getPhrase(PhraseType::ExColumns));
    m_columns->setSpecialValueText(getPhrase(PhraseType::ExAutomatic));
}

SpriteSheetOptions SheetOptionsForm::options() const {
    SpriteSheetOptions options;
    options.resize = resizeEdit()->value();
    options.superSample = superSampleEdit()->value();
    options.mergeRepeats = m_mergeRepeats->isChecked();
    options.trim = m_trim->isChecked();
    options.columns = m_columns->value();
    return options;
}

void SheetOptionsForm::sanitiseFields() {
    ExportOptionsForm::sanitiseFields();
    sanitizeSpinEdit(*m_columns, 0);
}

ExportResult SheetOptionsForm::runExport() {
    showProgress();
    return exportSpriteSheet(*m_job.doc, m_job.baseName + ".png", options(), m_job.frameInterval,
                             m_progress);
}

} // namespace kelto

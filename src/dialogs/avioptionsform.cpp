#include "dialogs/avioptionsform.h"

#include "dialogs/avicompressiondialog.h"
#include "dialogs/progressform.h"
#include "export/aviwriter.h"
#include "export/rasterexport.h"
#include "settings/multilang.h"

#include <QCheckBox>
#include <QLayout>
#include <QSpinBox>

namespace kelto {

AviOptionsForm::AviOptionsForm(ProgressForm& progress, QWidget* parent)
    : ExportOptionsForm(progress, parent) {
    setObjectName(QStringLiteral("AviOptionsForm"));
    m_compress = new QCheckBox(this);
    bodyLayout()->addWidget(m_compress);
    m_compression = new AviCompressionDialog(this);
    applyLanguage();
}

void AviOptionsForm::applyLanguage() {
    ExportOptionsForm::applyLanguage();
    setWindowTitle(getPhrase(PhraseType::VFormCap));
    m_compress->setText(getPhrase(PhraseType::VCompress));
    m_compression->applyLanguage();
}

AviExportOptions AviOptionsForm::options() const {
    AviExportOptions options;
    options.resize = resizeEdit()->value();
    options.superSample = superSampleEdit()->value();
    options.compress = m_compress->isChecked();
    options.codec = options.compress ? m_codec : std::string();
    return options;
}

std::optional<std::string> AviOptionsForm::chooseCodec() {
    m_compression->setCodecs(availableAviCodecs());
    if (m_compression->exec() != QDialog::Accepted || m_compression->chosenCodec().empty()) {
        return std::nullopt;
    }
    return m_compression->chosenCodec();
}

bool AviOptionsForm::beforeExport() {
    if (!m_compress->isChecked()) {
        return true;
    }
    const std::optional<std::string> codec = chooseCodec();
    if (codec) {
        m_codec = *codec;
    }
    return codec.has_value(); // cancelled before any file was made
}

ExportResult AviOptionsForm::runExport() {
    showProgress();
    return exportAvi(*m_job.doc, m_job.baseName, options(), m_job.frameInterval, m_progress);
}

} // namespace kelto

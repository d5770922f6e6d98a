#include "dialogs/exportoptionsform.h"

#include "dialogs/progressform.h"
#include "dialogs/spinedit.h"
#include "export/exportoptions.h"
#include "report/errorreporter.h"
#include "settings/multilang.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kelto {

namespace {

QSpinBox* rangeBox(const OptionRange& range, const QString& suffix, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(range.minimum, range.maximum);
    box->setValue(range.fallback);
    box->setSuffix(suffix);
    return box;
}

} // namespace

ExportOptionsForm::ExportOptionsForm(ProgressForm& progress, QWidget* parent)
    : QDialog(parent, Qt::Tool), m_progress(progress) {
    m_resizeLabel = new QLabel(this);
    m_superSampleLabel = new QLabel(this);
    m_resize = rangeBox(kResizeRange, QStringLiteral(" %"), this);
    m_superSample = rangeBox(kSuperSampleRange, QString(), this);
    watchField(m_resize, kResizeRange.fallback);
    watchField(m_superSample, kSuperSampleRange.fallback);
    auto* fields = new QGridLayout;
    fields->addWidget(m_resizeLabel, 0, 0);
    fields->addWidget(m_resize, 0, 1);
    fields->addWidget(m_superSampleLabel, 1, 0);
    fields->addWidget(m_superSample, 1, 1);

    m_ok = new QPushButton(this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    m_body = new QVBoxLayout;
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(m_body);
    layout->addLayout(buttons);
    // The window follows its content, so showing or hiding a group resizes it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_ok, &QPushButton::clicked, this, &ExportOptionsForm::okClicked);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_result = {};
        reject();
    });
}

void ExportOptionsForm::applyLanguage() {
    m_resizeLabel->setText(getPhrase(PhraseType::Resize));
    m_superSampleLabel->setText(getPhrase(PhraseType::SuperSample));
    m_ok->setText(getPhrase(PhraseType::OKBitCap));
    m_cancel->setText(getPhrase(PhraseType::CancelBitCap));
}

void ExportOptionsForm::watchField(QSpinBox* box, int defaultValue) {
    m_watched.emplace_back(box, defaultValue);
    box->installEventFilter(this);
}

bool ExportOptionsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        for (const auto& [box, defaultValue] : m_watched) {
            // Before the spin box's own handling, which would silently bring back the old value.
            if (box == watched && box->cleanText().trimmed().isEmpty()) {
                box->setValue(defaultValue);
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ExportOptionsForm::sanitiseFields() {
    sanitizeSpinEdit(*m_resize, kResizeRange.fallback);
    sanitizeSpinEdit(*m_superSample, kSuperSampleRange.fallback);
}

void ExportOptionsForm::showProgress() {
    m_progress.show();
}

void ExportOptionsForm::okClicked() {
    sanitiseFields();
    m_ok->setEnabled(false);
    m_result = {};
    guarded("ExportOK", [this] {
        if (m_job.doc == nullptr) {
            throw KeltoError("There is no animation to export");
        }
        if (beforeExport()) {
            setEnabled(false);
            m_result = runExport();
        }
    });
    // The same clean-up whether the export finished, was cancelled or failed.
    m_progress.hide();
    m_job.baseName.clear();
    setEnabled(true);
    m_ok->setEnabled(true);
    accept();
}

} // namespace kelto

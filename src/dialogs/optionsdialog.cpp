#include "dialogs/optionsdialog.h"

#include "dialogs/spinedit.h"
#include "document/animationsize.h"
#include "report/errorreporter.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kelto {

namespace {

QSpinBox* makeSpinBox(int minimum, int maximum, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(minimum, maximum);
    return box;
}

bool askWarning(QWidget* parent, const QString& question) {
    return QMessageBox::warning(parent, QStringLiteral("Warning"), question,
                                QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

} // namespace

OptionsDialog::OptionsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OptionsForm"));

    m_sizeGroup = new QGroupBox(this);
    m_width = makeSpinBox(kMinOptionsSide, kMaxOptionsSide, m_sizeGroup);
    m_height = makeSpinBox(kMinOptionsSide, kMaxOptionsSide, m_sizeGroup);
    m_widthLabel = new QLabel(m_sizeGroup);
    m_heightLabel = new QLabel(m_sizeGroup);
    auto* sizeLayout = new QFormLayout(m_sizeGroup);
    sizeLayout->addRow(m_widthLabel, m_width);
    sizeLayout->addRow(m_heightLabel, m_height);

    m_onionGroup = new QGroupBox(this);
    m_onion = makeSpinBox(0, 9, m_onionGroup);
    m_ahead = new QCheckBox(m_onionGroup);
    auto* onionLayout = new QHBoxLayout(m_onionGroup);
    onionLayout->addWidget(m_onion);
    onionLayout->addWidget(m_ahead);

    m_languageGroup = new QGroupBox(this);
    m_language = new QComboBox(m_languageGroup);
    auto* languageLayout = new QVBoxLayout(m_languageGroup);
    languageLayout->addWidget(m_language);

    m_handlesGroup = new QGroupBox(this);
    m_handles = new QCheckBox(m_handlesGroup);
    m_autosize = new QCheckBox(m_handlesGroup);
    auto* handlesLayout = new QVBoxLayout(m_handlesGroup);
    handlesLayout->addWidget(m_handles);
    handlesLayout->addWidget(m_autosize);

    m_undoGroup = new QGroupBox(this);
    m_undoDepth = makeSpinBox(1, 10000, m_undoGroup);
    m_undoDepth->setObjectName(QStringLiteral("UndoDepthEdit"));
    auto* undoLayout = new QVBoxLayout(m_undoGroup);
    undoLayout->addWidget(m_undoDepth);

    m_autosaveGroup = new QGroupBox(this);
    m_autosave = makeSpinBox(0, kMaxAutosaveSeconds, m_autosaveGroup);
    m_autosave->setObjectName(QStringLiteral("AutosaveEdit"));
    auto* autosaveLayout = new QVBoxLayout(m_autosaveGroup);
    autosaveLayout->addWidget(m_autosave);

    m_defaults = new QPushButton(this);
    m_ok = new QPushButton(this);
    m_cancel = new QPushButton(this);
    m_ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_defaults);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_sizeGroup);
    layout->addWidget(m_onionGroup);
    layout->addWidget(m_languageGroup);
    layout->addWidget(m_handlesGroup);
    layout->addWidget(m_undoGroup);
    layout->addWidget(m_autosaveGroup);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_defaults, &QPushButton::clicked, this,
            [this] { guarded("OptionsRestoreDefaults", [this] { restoreDefaults(); }); });
    connect(m_ok, &QPushButton::clicked, this, &OptionsDialog::okClicked);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    applyLanguage();
}

void OptionsDialog::applyLanguage() {
    setWindowTitle(getPhrase(PhraseType::OFormCap));
    m_sizeGroup->setTitle(getPhrase(PhraseType::ODimBox));
    m_onionGroup->setTitle(getPhrase(PhraseType::OOnionBox));
    m_ahead->setText(getPhrase(PhraseType::OAheadCap));
    m_ahead->setToolTip(getPhrase(PhraseType::OAheadHint));
    m_languageGroup->setTitle(getPhrase(PhraseType::OLangBox));
    m_defaults->setText(getPhrase(PhraseType::ODefaultCap));
    m_widthLabel->setText(getPhrase(PhraseType::OWidthCap));
    m_heightLabel->setText(getPhrase(PhraseType::OHeightCap));
    m_ok->setText(getPhrase(PhraseType::OKBitCap));
    m_cancel->setText(getPhrase(PhraseType::CancelBitCap));
    m_handlesGroup->setTitle(getPhrase(PhraseType::OHandlesBox));
    m_handles->setText(getPhrase(PhraseType::OHandlesCap));
    m_handles->setToolTip(getPhrase(PhraseType::OHandlesHint) + QStringLiteral(" (Ctrl+H)"));
    m_autosize->setText(getPhrase(PhraseType::OAutosizeCap));
    m_autosize->setToolTip(getPhrase(PhraseType::OAutosizeHint));
    m_undoGroup->setTitle(getPhrase(PhraseType::OUndoDepth));
    m_autosaveGroup->setTitle(getPhrase(PhraseType::OAutosave));
}

void OptionsDialog::setLanguages(const QStringList& names) {
    const QString selected = m_language->currentText();
    m_language->clear();
    m_language->addItems(names);
    m_language->setCurrentIndex(m_language->findText(selected));
}

void OptionsDialog::showValues(const AppSettings& settings) {
    const QSize size = currentAnimationSize(settings);
    m_width->setValue(size.width());
    m_height->setValue(size.height());
    m_onion->setValue(settings.numOnion);
    m_undoDepth->setValue(settings.undoDepth);
    m_autosave->setValue(settings.autosaveSeconds);
    m_ahead->setChecked(settings.onionAhead);
    m_language->setCurrentIndex(m_language->findText(QString::fromStdString(settings.language)));
    m_handles->setChecked(settings.showHandles);
    m_autosize->setChecked(settings.shrinkHandlesClose);
}

void OptionsDialog::showOnions(int count, bool ahead) {
    m_onion->setValue(count);
    m_ahead->setChecked(ahead);
}

void OptionsDialog::restoreDefaults() {
    const AppSettings defaults;
    m_width->setValue(defaults.animWidth);
    m_height->setValue(defaults.animHeight);
    m_onion->setValue(defaults.numOnion);
    m_undoDepth->setValue(defaults.undoDepth);
    m_autosave->setValue(defaults.autosaveSeconds);
    m_ahead->setChecked(defaults.onionAhead);
    m_language->setCurrentIndex(m_language->findText(MultiLang::english));
    m_handles->setChecked(defaults.showHandles);
    m_autosize->setChecked(defaults.shrinkHandlesClose);
}

QSize OptionsDialog::currentAnimationSize(const AppSettings& settings) const {
    return m_hooks.animationSize ? m_hooks.animationSize()
                                 : QSize(settings.animWidth, settings.animHeight);
}

bool OptionsDialog::applySize(AppSettings& settings, int width, int height) {
    if (QSize(width, height) == currentAnimationSize(settings)) {
        return false;
    }
    if (m_hooks.hasFrames && m_hooks.hasFrames()) {
        const QString question = getPhrase(PhraseType::OChangeDimAll);
        const bool yes = m_hooks.askYesNo ? m_hooks.askYesNo(question) : askWarning(this, question);
        if (!yes) {
            return false;
        }
    }
    if (m_hooks.resizeAnimation) {
        m_hooks.resizeAnimation(width, height);
    }
    settings.animWidth = width;
    settings.animHeight = height;
    return true;
}

// Each side of the dialog's range is fine, but not every pair: the area is refused before
// anything is applied, so no document is made that could not be saved and opened again.
bool OptionsDialog::sizeAllowed(int width, int height) {
    if (isAnimationSizeAllowed(width, height)) {
        return true;
    }
    const QString message = getPhrase(PhraseType::MAnimSize);
    if (m_hooks.tell) {
        m_hooks.tell(message);
    } else {
        QMessageBox::information(this, getPhrase(PhraseType::OFormCap), message);
    }
    return false;
}

bool OptionsDialog::applyTo(AppSettings& settings) {
    const int width = sanitizeSpinEdit(*m_width, 500);
    const int height = sanitizeSpinEdit(*m_height, 400);
    m_sizeRefused = !sizeAllowed(width, height);
    if (m_sizeRefused) {
        return false;
    }
    const int onions = sanitizeSpinEdit(*m_onion, 0);

    bool changed = applySize(settings, width, height);
    bool refreshOnions = false;
    if (onions != settings.numOnion) {
        // Fewer onions need no new indices: the drawing just uses the first ones.
        refreshOnions = onions > settings.numOnion;
        settings.numOnion = onions;
        changed = true;
    }
    if (m_ahead->isChecked() != settings.onionAhead) {
        settings.onionAhead = m_ahead->isChecked();
        refreshOnions = true;
        changed = true;
    }
    if (refreshOnions && m_hooks.refreshOnions) {
        m_hooks.refreshOnions();
    }
    const QString language = m_language->currentText();
    if (language != QString::fromStdString(settings.language) &&
        multiLang().setLanguage(language)) {
        settings.language = language.toStdString();
        applyLanguage();
        changed = true;
    }
    if (m_handles->isChecked() != settings.showHandles ||
        m_autosize->isChecked() != settings.shrinkHandlesClose) {
        settings.showHandles = m_handles->isChecked();
        settings.shrinkHandlesClose = m_autosize->isChecked();
        changed = true;
    }
    const int depth = sanitizeSpinEdit(*m_undoDepth, AppSettings{}.undoDepth);
    if (depth != settings.undoDepth) {
        settings.undoDepth = depth;
        if (m_hooks.undoDepth) {
            m_hooks.undoDepth(depth);
        }
        changed = true;
    }
    // The autosave reads the interval from the settings at every tick.
    const int autosave = sanitizeSpinEdit(*m_autosave, AppSettings{}.autosaveSeconds);
    if (autosave != settings.autosaveSeconds) {
        settings.autosaveSeconds = autosave;
        changed = true;
    }
    if (changed) {
        writeSettings(settings, settingsFilePath());
        if (m_hooks.redraw) {
            m_hooks.redraw();
        }
    }
    return changed;
}

void OptionsDialog::okClicked() {
    m_sizeRefused = false;
    guarded("OptionsOK", [this] { applyTo(appSettings()); });
    if (!m_sizeRefused) {
        accept();
    }
}

void OptionsDialog::showEvent(QShowEvent* event) {
    guarded("OptionsActivate", [this] { showValues(appSettings()); });
    QDialog::showEvent(event);
}

} // namespace kelto

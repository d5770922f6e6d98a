#include "dialogs/languagedialog.h"

#include "report/errorreporter.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelto {

LanguageDialog::LanguageDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("LangForm"));
    // The caption stays untranslated: the user may not read the current language yet.
    setWindowTitle(QStringLiteral("Language"));
    m_language = new QComboBox(this);
    m_language->setMinimumContentsLength(16);
    m_ok = new QPushButton(this);
    m_ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_language);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    applyLanguage();
}

void LanguageDialog::applyLanguage() {
    m_ok->setText(getPhrase(PhraseType::OKBitCap));
}

void LanguageDialog::setLanguages(const QStringList& names) {
    m_language->clear();
    m_language->addItems(names);
}

void LanguageDialog::showEvent(QShowEvent* event) {
    m_language->setCurrentIndex(m_language->findText(MultiLang::english));
    QDialog::showEvent(event);
}

void LanguageDialog::done(int result) {
    if (result == QDialog::Accepted) {
        guarded("LanguageOK", [this] {
            const QString name = m_language->currentText();
            if (multiLang().setLanguage(name)) {
                appSettings().language = name.toStdString();
                applyLanguage();
            }
        });
    }
    guarded("LanguageClose", [] { saveSettings(); });
    QDialog::done(result);
}

} // namespace kelto

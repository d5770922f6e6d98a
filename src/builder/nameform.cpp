#include "builder/nameform.h"

#include "settings/multilang.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelto {

NameForm::NameForm(QWidget* parent)
    : QDialog(parent), m_label(new QLabel(this)), m_edit(new QLineEdit(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setModal(true);
    m_label->setWordWrap(true);
    m_label->setAlignment(Qt::AlignCenter);
    m_ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_edit);
    layout->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        m_okPressed = true;
        accept();
    });
    retranslate();
    resize(260, 130);
}

void NameForm::retranslate() {
    setWindowTitle(getPhrase(PhraseType::NFormCap));
    m_label->setText(getPhrase(PhraseType::NGiveName));
}

QString NameForm::askName(int typeCount) {
    setTypeCount(typeCount);
    exec();
    const QString name = m_edit->text();
    m_edit->clear();
    return name;
}

void NameForm::showEvent(QShowEvent* event) {
    m_okPressed = false;
    m_edit->setFocus();
    QDialog::showEvent(event);
}

void NameForm::hideEvent(QHideEvent* event) {
    if (!m_okPressed) {
        m_edit->clear();
    } else if (m_edit->text().isEmpty()) {
        m_edit->setText(getPhrase(PhraseType::MFigType) + QLatin1Char(' ') +
                        QString::number(m_typeCount));
    }
    QDialog::hideEvent(event);
}

} // namespace kelto

#include "pickers/aboutbox.h"

#include "settings/multilang.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelto {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutForm"));
    m_title = new QLabel(this);
    QFont big = m_title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    m_title->setFont(big);
    m_details = new QLabel(this);
    m_ok = new QPushButton(this);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_details);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    applyLanguage();
}

void AboutBox::applyLanguage() {
    setWindowTitle(getPhrase(PhraseType::AFormCap));
    m_title->setText(getPhrase(PhraseType::MFormCap));
    m_details->setText(getPhrase(PhraseType::AVersion) + QStringLiteral(": 0.1.0\n") +
                       getPhrase(PhraseType::ADate) + QStringLiteral(": ") +
                       QStringLiteral(__DATE__));
    m_ok->setText(getPhrase(PhraseType::OKBitCap));
}

} // namespace kelto

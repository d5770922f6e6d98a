#include "dialogs/inbetweendialog.h"

#include "settings/multilang.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace kelto {

InbetweenDialog::InbetweenDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("InbetweenForm"));
    setWindowTitle(getPhrase(PhraseType::MUndoInbetweens));
    m_count = new QSpinBox(this);
    m_count->setObjectName(QStringLiteral("InbetweenCount"));
    m_count->setRange(kMinInbetweens, kMaxInbetweens);
    m_count->setValue(3);
    m_easing = new QComboBox(this);
    m_easing->setObjectName(QStringLiteral("InbetweenEasing"));
    // Item order follows the Easing values.
    for (PhraseType p : {PhraseType::MEaseLinear, PhraseType::MEaseIn, PhraseType::MEaseOut,
                         PhraseType::MEaseInOut}) {
        m_easing->addItem(getPhrase(p));
    }
    auto* form = new QFormLayout;
    form->addRow(getPhrase(PhraseType::MInbetweensCount), m_count);
    form->addRow(getPhrase(PhraseType::MInbetweensEasing), m_easing);
    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(getPhrase(PhraseType::OKBitCap), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    buttons->addButton(getPhrase(PhraseType::CancelBitCap), QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_count, &QSpinBox::valueChanged, this, &InbetweenDialog::choiceChanged);
    connect(m_easing, &QComboBox::currentIndexChanged, this, &InbetweenDialog::choiceChanged);
}

int InbetweenDialog::count() const {
    return m_count->value();
}

Easing InbetweenDialog::easing() const {
    return static_cast<Easing>(std::clamp(m_easing->currentIndex(), 0, 3));
}

void InbetweenDialog::setChoice(int count, Easing easing) {
    m_count->setValue(count);
    m_easing->setCurrentIndex(static_cast<int>(easing));
}

} // namespace kelto

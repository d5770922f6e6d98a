#include "editor/onionmenu.h"

#include "settings/multilang.h"

#include <QActionGroup>
#include <QSignalBlocker>

namespace kelto {

OnionMenu::OnionMenu(QWidget* parent) : QMenu(parent) {
    setObjectName(QStringLiteral("OnionMenu"));
    setToolTipsVisible(true);
    m_counts = new QActionGroup(this);
    m_counts->setExclusive(true);
    for (int count = 0; count <= maxCount; ++count) {
        QAction* entry = addAction(QStringLiteral("&%1").arg(count));
        entry->setObjectName(QStringLiteral("Onion%1").arg(count));
        entry->setCheckable(true);
        entry->setData(count);
        m_counts->addAction(entry);
    }
    addSeparator();
    m_ahead = addAction(QString());
    m_ahead->setObjectName(QStringLiteral("OnionAhead"));
    m_ahead->setCheckable(true);
    // triggered, not toggled: showValues changes the checks without it being a choice.
    connect(m_counts, &QActionGroup::triggered, this, [this](QAction* entry) {
        Q_EMIT onionsChosen(entry->data().toInt(), m_ahead->isChecked());
    });
    connect(m_ahead, &QAction::triggered, this,
            [this](bool ahead) { Q_EMIT onionsChosen(checkedCount(), ahead); });
    applyLanguage();
}

QAction* OnionMenu::countAction(int count) const {
    const QList<QAction*> entries = m_counts->actions();
    return count >= 0 && count < int(entries.size()) ? entries[count] : nullptr;
}

int OnionMenu::checkedCount() const {
    const QAction* checked = m_counts->checkedAction();
    return checked ? checked->data().toInt() : 0;
}

void OnionMenu::showValues(int count, bool ahead) {
    if (QAction* entry = countAction(count)) {
        entry->setChecked(true);
    }
    m_ahead->setChecked(ahead);
}

void OnionMenu::applyLanguage() {
    setTitle(getPhrase(PhraseType::OOnionBox));
    m_ahead->setText(getPhrase(PhraseType::OAheadCap));
    m_ahead->setToolTip(getPhrase(PhraseType::OAheadHint));
}

} // namespace kelto

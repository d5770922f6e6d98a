#include "editor/recentmenu.h"

#include "settings/multilang.h"
#include "settings/recentfiles.h"

#include <QDir>
#include <QFileInfo>

namespace kelto {

RecentMenu::RecentMenu(QWidget* parent) : QMenu(parent) {
    setObjectName(QStringLiteral("RecentFilesMenu"));
    setToolTipsVisible(true);
    m_clear = new QAction(this);
    m_clear->setObjectName(QStringLiteral("ClearRecentFiles"));
    // The action itself is the receiver: the menu drops every connection from an action to
    // itself when the action is taken out, as showList does with this one each time.
    connect(m_clear, &QAction::triggered, m_clear, [this] { Q_EMIT clearRequested(); });
    applyLanguage();
}

void RecentMenu::showList(const RecentFiles& list) {
    // Not clear(): it would delete the clear action along with the entries.
    const QList<QAction*> old = actions();
    for (QAction* action : old) {
        removeAction(action);
        if (action != m_clear) {
            // Later: the list may change from within an entry's own trigger. Nameless until
            // then, so that only the current entries are found by their names.
            action->setObjectName(QString());
            action->deleteLater();
        }
    }
    int number = 1;
    for (const QString& path : list.paths()) {
        // "&1 walk.kel": a digit to pick it by key; an "&" in the name is shown, not taken as
        // the accelerator.
        QString name = QFileInfo(path).fileName();
        name.replace(QLatin1Char('&'), QLatin1String("&&"));
        const QString text =
            number < 10 ? QStringLiteral("&%1 %2").arg(QString::number(number), name) : name;
        QAction* entry = addAction(text);
        entry->setObjectName(QStringLiteral("RecentFile%1").arg(number));
        // Two files of one name differ in their folders, shown as the hint.
        entry->setToolTip(QDir::toNativeSeparators(path));
        entry->setStatusTip(QDir::toNativeSeparators(path));
        connect(entry, &QAction::triggered, entry, [this, path] { Q_EMIT openRequested(path); });
        ++number;
    }
    addSeparator();
    addAction(m_clear);
    m_clear->setEnabled(!list.isEmpty());
    setEnabled(!list.isEmpty());
}

void RecentMenu::applyLanguage() {
    setTitle(getPhrase(PhraseType::MRecentFiles));
    m_clear->setText(getPhrase(PhraseType::MRecentClear));
}

} // namespace kelto

#pragma once

#include <QMenu>

namespace kelto {

class RecentFiles;

// File > Recent Files: one numbered entry per animation, newest first, then "Clear Recent
// Files". The menu only shows the list and says what was chosen; the window opens the file
// and keeps the list.
class RecentMenu : public QMenu {
    Q_OBJECT
public:
    explicit RecentMenu(QWidget* parent = nullptr);

    // Rebuilds the entries (object names "RecentFile1".. for tests); disabled when empty.
    void showList(const RecentFiles& list);
    // The menu's own captions through the phrase table.
    void applyLanguage();

    QAction* clearAction() const { return m_clear; }

Q_SIGNALS:
    void openRequested(const QString& path);
    void clearRequested();

private:
    QAction* m_clear = nullptr;
};

} // namespace kelto

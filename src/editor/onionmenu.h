#pragma once

#include <QMenu>

class QActionGroup;

namespace kelto {

// View > Onion Skins: how many earlier (and with "Show Ahead" also later) frames show as
// ghosts, the same two settings the Options dialog edits. The menu shows values and says what
// was chosen; the window applies them to the settings.
class OnionMenu : public QMenu {
    Q_OBJECT
public:
    static constexpr int maxCount = 9; // as the Options dialog allows

    explicit OnionMenu(QWidget* parent = nullptr);

    // Checks the entries for the values without announcing a choice.
    void showValues(int count, bool ahead);
    void applyLanguage();

    // Entries "Onion0".."Onion9" and "OnionAhead", for tests.
    QAction* countAction(int count) const;
    QAction* aheadAction() const { return m_ahead; }

Q_SIGNALS:
    void onionsChosen(int count, bool ahead);

private:
    int checkedCount() const;

    QActionGroup* m_counts = nullptr;
    QAction* m_ahead = nullptr;
};

} // namespace kelto

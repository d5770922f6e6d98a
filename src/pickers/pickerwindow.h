#pragma once

#include "settings/phrasetype.h"

#include <QWidget>

#include <functional>

class QFrame;
class QScrollArea;

namespace kelto {

class ImageSelector;

// A tool window around one thumbnail picker. A press on a cell hands its index to the pick
// handler and hides the window; with Ctrl held the cell is outlined and the window stays open
// for further picks.
class PickerWindow : public QWidget {
    Q_OBJECT
public:
    PickerWindow(PhraseType caption, QWidget* parent = nullptr);

    ImageSelector* selector() const { return m_selector; }
    QScrollArea* scrollArea() const { return m_scroll; }
    QFrame* selectBox() const { return m_selectBox; }
    int lastPressed() const { return m_lastPressed; }

    void setPickHandler(std::function<void(int cell)> handler) { m_pick = std::move(handler); }

    // The press on a cell as the mouse delivers it (index -1: off every cell).
    void cellPressed(int index, Qt::KeyboardModifiers modifiers);
    // Scrolls by 50 pixels per wheel notch when there is anything to scroll.
    void wheelScroll(int angleDelta);

    void applyLanguage();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void hovered(int index);

    PhraseType m_caption;
    QScrollArea* m_scroll = nullptr;
    ImageSelector* m_selector = nullptr;
    QFrame* m_selectBox = nullptr;
    int m_lastPressed = -1;
    std::function<void(int)> m_pick;
};

} // namespace kelto

#pragma once

#include "graphics/bitmap.h"

#include <QObject>
#include <QPoint>

#include <functional>
#include <vector>

class QFrame;
class QLabel;
class QMenu;
class QMouseEvent;
class QScrollBar;

namespace kelto {

class Document;
class Figures;

// Thumbnail size and zoom: the height follows the panel, the width keeps the animation's aspect.
struct ThumbnailGeometry {
    int width = 0;
    int height = 0;
    double zoom = 0;
};
ThumbnailGeometry thumbnailGeometry(int panelHeight, int animWidth, int animHeight,
                                    int supersample);
// How many slots fit a panel, and where slot i starts (spread evenly over the width).
int thumbnailSlotCount(int panelWidth, int thumbWidth);
int thumbnailSlotLeft(int slot, int slotCount, int panelWidth, int thumbWidth);

// The timeline scroll bar's range for a document and a slot count.
struct TimelineScrollRange {
    int maximum = 0;
    int largeStep = 1;
    bool visible = false;
};
TimelineScrollRange timelineScrollRange(int frameCount, int slotCount);

// The fps label for a timer interval in milliseconds (halves round to even) and its left edge.
int framesPerSecond(int intervalMs);
int fpsLabelLeft(int fps);

// The frame selection: the marked frames in the order they were marked, mirrored in each
// frame's timelineSelected byte, and the anchor of Shift ranges.
class FrameSelection {
public:
    const std::vector<int>& frames() const { return m_list; }
    int count() const { return int(m_list.size()); }
    int anchor() const { return m_anchor; }
    // Unmarks every listed frame and empties the list.
    void clear(std::vector<Figures>& frames);
    // Empties the list without touching the frames (they may be gone already).
    void forget() { m_list.clear(); }
    // A click on a stored frame with the keys held.
    void click(std::vector<Figures>& frames, int index, bool ctrl, bool shift);
    // Frame d was deleted: later entries move down, d itself leaves the list.
    void frameDeleted(int d);
    // count frames were inserted at position: entries from there on move up.
    void framesInserted(int position, int count);
    // The frames moved about, taking their marks along: the list is read back from the marks,
    // in frame order, and the anchor goes to the first of them.
    void rebuild(const std::vector<Figures>& frames);

private:
    std::vector<int> m_list;
    int m_anchor = 0;
};

// Swallows the mouse wheel over the widgets it watches while playback runs, so the canvas
// neither scrolls nor changes the selection under a playing animation.
class PlaybackWheelBlocker : public QObject {
public:
    PlaybackWheelBlocker(std::function<bool()> playing, QObject* parent)
        : QObject(parent), m_playing(std::move(playing)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool()> m_playing;
};

// Where a reorder drag over the thumbnails would put the frames: before the frame of slot
// `slot` when the pointer is in its left half, after it in its right half. slotFrame is the
// frame the slot shows (-1: none, past the end); the result is 0..frameCount.
int dropPosition(int slotFrame, bool rightHalf, int frameCount);

// The thumbnail row above the canvas: slots with their bevels and frame numbers, the scroll
// bar, and the pictures. Pictures already shown are reused when the row scrolls by less than
// a page.
//
// Mouse gestures: a press on a frame that is not selected clicks it (selects and shows it)
// and dragging on from there scrubs: each frame the pointer passes is shown. A press on a
// selected frame and a drag move the selected frames: a line marks where they will land and
// the release moves them there; released without a drag it is an ordinary click. A
// right-click selects an unselected frame before the pop-up menu opens.
class Timeline : public QObject {
    Q_OBJECT
public:
    Timeline(QFrame* panel, QScrollBar* bar, const Document& doc, QObject* parent = nullptr);

    // Called with a frame index on a left click and before the pop-up menu opens.
    std::function<void(int frame, Qt::KeyboardModifiers modifiers)> onClick;
    std::function<void(int frame)> onPopup;
    // A scrub reached another frame.
    std::function<void(int frame)> onScrub;
    // A reorder drag was let go: the selected frames go to position (0..frameCount).
    std::function<void(int position)> onMoveFrames;
    void setMenu(QMenu* menu) { m_menu = menu; }
    void setSupersample(int factor) { m_supersample = factor; }

    // Re-lays the slots for the panel size and animation size; redraws when the count changed.
    void layout();
    void updateScrollBar();
    void drawTimeLine();
    void scrolled(int position);
    void positionBevels();
    // Makes the slot showing frame visible by moving the bar.
    void ensureVisible(int frame);
    // The frame playback shows now (-1: none): its number is marked and its slot kept in view.
    void setPlayFrame(int frame);
    int playFrame() const { return m_playFrame; }

    int slotCount() const { return int(m_slots.size()); }
    int first() const { return m_first; }
    int renderCount() const { return m_renders; }
    QLabel* slot(int i) const { return m_slots[size_t(i)].picture; }
    QFrame* bevel(int i) const { return m_slots[size_t(i)].bevel; }
    QLabel* number(int i) const { return m_slots[size_t(i)].number; }
    // The line that shows where dragged frames will land (hidden when no drag is on).
    QFrame* dropMarker() const { return m_dropMarker; }
    int slotFrame(int i) const { return m_slots[size_t(i)].frame; }
    const ThumbnailGeometry& geometry() const { return m_geom; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Slot {
        QLabel* picture = nullptr;
        QFrame* bevel = nullptr;
        QLabel* number = nullptr;
        int frame = -1;
    };
    enum class Gesture { None, PendingClick, Scrub, Reorder };
    bool mouseEvent(int slot, QMouseEvent* event);
    void dragTo(QPoint panelPos);
    // The slot under panel x (the one whose area, gaps included, holds it), or -1 left of the
    // first and slotCount() right of the last.
    int slotAtX(int x) const;
    void showNumber(const Slot& s);
    bool syncGeometry();
    void placeSlots();
    void renderSlot(int i);
    void showSlot(int i, int frame);
    void clearSlot(int i);

    QFrame* m_panel;
    QScrollBar* m_bar;
    const Document& m_doc;
    QMenu* m_menu = nullptr;
    std::vector<Slot> m_slots;
    ThumbnailGeometry m_geom;
    int m_supersample = 1;
    int m_first = 0;
    int m_previousFirst = 0;
    int m_renders = 0;
    bool m_suppress = false;
    int m_playFrame = -1;
    Gesture m_gesture = Gesture::None;
    int m_pressFrame = -1;
    QPoint m_pressPos; // panel coordinates
    Qt::KeyboardModifiers m_pressModifiers;
    int m_scrubFrame = -1;
    int m_dropPosition = -1;
    QFrame* m_dropMarker = nullptr;
    Bitmap m_render;
    Bitmap m_thumb;
};

} // namespace kelto

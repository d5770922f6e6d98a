#include "editor/timeline.h"

#include "document/document.h"
#include "graphics/drawing.h"
#include "graphics/renderer.h"
#include "model/figures.h"
#include "settings/multilang.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace kelto {

namespace {
constexpr int kBevelColour = 0xBB0000; // 0x00BBGGRR: dark blue
constexpr int kSlotTop = 3;
constexpr int kPanelMargin = 23; // the scroll bar and the frame around the slots
} // namespace

ThumbnailGeometry thumbnailGeometry(int panelHeight, int animWidth, int animHeight,
                                    int supersample) {
    ThumbnailGeometry g;
    g.height = std::max(panelHeight - kPanelMargin, 1);
    if (animWidth <= 0 || animHeight <= 0) {
        return g;
    }
    g.width = int(std::min<int64_t>(int64_t(g.height) * animWidth / animHeight, 1 << 20));
    g.zoom = double(g.height) * supersample / animHeight;
    return g;
}

int thumbnailSlotCount(int panelWidth, int thumbWidth) {
    if (thumbWidth <= 0 || panelWidth <= 3) {
        return 0;
    }
    return (panelWidth - 3) / (thumbWidth + 3);
}

int thumbnailSlotLeft(int slot, int slotCount, int panelWidth, int thumbWidth) {
    const double x =
        slotCount > 1
            ? double(panelWidth - slotCount * thumbWidth - 6) / (slotCount - 1) + thumbWidth
            : 0.0;
    // Halves go to the even integer, as the default rounding mode does.
    return int(std::lrint(x * slot)) + 3;
}

TimelineScrollRange timelineScrollRange(int frameCount, int slotCount) {
    TimelineScrollRange r;
    r.maximum = std::max(frameCount - slotCount, 0);
    r.largeStep = std::min(r.maximum / 16 + 1, 32767);
    r.visible = r.maximum > 0;
    return r;
}

int framesPerSecond(int intervalMs) {
    return intervalMs > 0 ? int(std::lrint(1000.0 / intervalMs)) : 0;
}

int fpsLabelLeft(int fps) {
    return QString::number(fps).size() == 1 ? 78 : 75;
}

// ---- selection ----------------------------------------------------------------------------

void FrameSelection::clear(std::vector<Figures>& frames) {
    for (int f : m_list) {
        if (f >= 0 && f < int(frames.size())) {
            frames[size_t(f)].timelineSelected = 0;
        }
    }
    m_list.clear();
}

void FrameSelection::click(std::vector<Figures>& frames, int index, bool ctrl, bool shift) {
    if (index < 0 || index >= int(frames.size())) {
        clear(frames);
        return;
    }
    if (ctrl) {
        Figures& f = frames[size_t(index)];
        f.timelineSelected = f.timelineSelected ? 0 : 1;
        m_anchor = index;
        if (f.timelineSelected) {
            m_list.push_back(index);
        } else {
            std::erase(m_list, index);
        }
        return;
    }
    clear(frames);
    if (shift && m_anchor < int(frames.size())) {
        for (int i = std::min(index, m_anchor); i <= std::max(index, m_anchor); ++i) {
            frames[size_t(i)].timelineSelected = 1;
            m_list.push_back(i);
        }
        return;
    }
    frames[size_t(index)].timelineSelected = 1;
    m_list.push_back(index);
    m_anchor = index;
}

void FrameSelection::frameDeleted(int d) {
    std::erase(m_list, d);
    for (int& f : m_list) {
        if (f > d) {
            --f;
        }
    }
}

void FrameSelection::rebuild(const std::vector<Figures>& frames) {
    m_list.clear();
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].timelineSelected) {
            m_list.push_back(int(i));
        }
    }
    m_anchor = m_list.empty() ? 0 : m_list.front();
}

int dropPosition(int slotFrame, bool rightHalf, int frameCount) {
    if (slotFrame < 0 || slotFrame >= frameCount) {
        return frameCount;
    }
    return rightHalf ? slotFrame + 1 : slotFrame;
}

void FrameSelection::framesInserted(int position, int count) {
    for (int& f : m_list) {
        if (f >= position) {
            f += count;
        }
    }
}

bool PlaybackWheelBlocker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && m_playing && m_playing()) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// ---- the thumbnail row ----------------------------------------------------------------------

Timeline::Timeline(QFrame* panel, QScrollBar* bar, const Document& doc, QObject* parent)
    : QObject(parent), m_panel(panel), m_bar(bar), m_doc(doc) {
    // The bar never keeps the focus: keys stay with the canvas and the panel.
    m_bar->setFocusPolicy(Qt::NoFocus);
    // The pop-up menu belongs to the thumbnails, which say which frame it works on; the bare
    // panel has no frame to offer.
    m_panel->setContextMenuPolicy(Qt::PreventContextMenu);
    m_dropMarker = new QFrame(m_panel);
    m_dropMarker->setObjectName(QStringLiteral("TLDropMarker"));
    m_dropMarker->setAutoFillBackground(true);
    QPalette pal = m_dropMarker->palette();
    pal.setColor(QPalette::Window, QColor(0xE0, 0x20, 0x20));
    m_dropMarker->setPalette(pal);
    m_dropMarker->hide();
}

bool Timeline::syncGeometry() {
    const ThumbnailGeometry g =
        thumbnailGeometry(m_panel->height(), m_doc.animWidth(), m_doc.animHeight(), m_supersample);
    const bool changed = g.width != m_geom.width || g.height != m_geom.height;
    m_geom = g;
    const int n = std::min(thumbnailSlotCount(m_panel->width(), g.width), 4096);
    const bool countChanged = n != slotCount();
    while (slotCount() > n) {
        delete m_slots.back().number;
        delete m_slots.back().picture;
        delete m_slots.back().bevel;
        m_slots.pop_back();
    }
    while (slotCount() < n) {
        Slot s;
        s.bevel = new QFrame(m_panel);
        s.bevel->setAutoFillBackground(true);
        QPalette pal = s.bevel->palette();
        pal.setColor(QPalette::Window, QColor(kBevelColour & 0xFF, (kBevelColour >> 8) & 0xFF,
                                              (kBevelColour >> 16) & 0xFF));
        s.bevel->setPalette(pal);
        s.bevel->hide();
        s.picture = new QLabel(m_panel);
        s.picture->setObjectName(QStringLiteral("TLSlot%1").arg(slotCount()));
        s.picture->setEnabled(false);
        s.picture->setContextMenuPolicy(Qt::PreventContextMenu);
        s.picture->installEventFilter(this);
        s.picture->show();
        // The number sits on the picture's corner and lets the mouse through to it.
        s.number = new QLabel(m_panel);
        s.number->setObjectName(QStringLiteral("TLNumber%1").arg(slotCount()));
        s.number->setAttribute(Qt::WA_TransparentForMouseEvents);
        QFont small = s.number->font();
        small.setPointSizeF(std::max(small.pointSizeF() * 0.8, 6.0));
        s.number->setFont(small);
        s.number->setAutoFillBackground(true);
        s.number->setMargin(1);
        s.number->hide();
        m_slots.push_back(s);
    }
    placeSlots();
    return changed || countChanged;
}

void Timeline::placeSlots() {
    const int n = slotCount();
    for (int i = 0; i < n; ++i) {
        const int left = thumbnailSlotLeft(i, n, m_panel->width(), m_geom.width);
        m_slots[size_t(i)].picture->setGeometry(left, kSlotTop, m_geom.width, m_geom.height);
        m_slots[size_t(i)].bevel->setGeometry(left - 3, 0, m_geom.width + 6, m_geom.height + 6);
        m_slots[size_t(i)].bevel->lower();
        m_slots[size_t(i)].number->move(left, kSlotTop);
        m_slots[size_t(i)].number->raise();
    }
}

void Timeline::layout() {
    if (syncGeometry()) {
        updateScrollBar();
        drawTimeLine();
    }
}

void Timeline::updateScrollBar() {
    const TimelineScrollRange r = timelineScrollRange(m_doc.frameCount(), slotCount());
    m_suppress = true;
    m_bar->setRange(0, r.maximum);
    m_bar->setPageStep(r.largeStep);
    m_bar->setSingleStep(1);
    m_bar->setVisible(r.visible);
    m_suppress = false;
}

void Timeline::drawTimeLine() {
    if (syncGeometry()) {
        updateScrollBar();
    }
    m_first = m_previousFirst = m_bar->value();
    positionBevels();
    for (int i = 0; i < slotCount(); ++i) {
        const int f = m_first + i;
        if (f < m_doc.frameCount()) {
            showSlot(i, f);
            renderSlot(i);
        } else {
            clearSlot(i);
        }
    }
}

void Timeline::scrolled(int position) {
    if (m_suppress || m_doc.frameCount() == 0) {
        return;
    }
    m_first = position;
    int d = position - m_previousFirst;
    if (std::abs(d) >= slotCount()) {
        d = 0;
    }
    if (d == 0) {
        drawTimeLine();
        return;
    }
    const int n = slotCount();
    // Going the way the pictures move, so none is overwritten before it is copied.
    for (int k = 0; k < n; ++k) {
        const int i = d > 0 ? k : n - 1 - k;
        const int f = m_first + i;
        if (f >= m_doc.frameCount()) {
            clearSlot(i);
            continue;
        }
        const int j = i + d; // the slot that showed f before the scroll
        const bool shown = j >= 0 && j < n && m_slots[size_t(j)].frame == f;
        showSlot(i, f);
        if (shown) {
            m_slots[size_t(i)].picture->setPixmap(m_slots[size_t(j)].picture->pixmap());
        } else {
            renderSlot(i);
        }
    }
    positionBevels();
    m_previousFirst = m_first;
}

void Timeline::positionBevels() {
    for (const Slot& s : m_slots) {
        const bool marked = s.frame >= 0 && s.frame < m_doc.frameCount() &&
                            m_doc.frames[size_t(s.frame)].timelineSelected != 0;
        s.bevel->setVisible(marked);
    }
}

void Timeline::ensureVisible(int frame) {
    if (frame < 0 || slotCount() == 0) {
        return;
    }
    if (frame < m_bar->value()) {
        m_bar->setValue(frame);
    } else if (frame >= m_bar->value() + slotCount()) {
        m_bar->setValue(std::min(frame - slotCount() + 1, m_bar->maximum()));
    }
}

void Timeline::showSlot(int i, int frame) {
    Slot& s = m_slots[size_t(i)];
    s.frame = frame;
    s.picture->setToolTip(getPhrase(PhraseType::MFrameNum) + QString::number(frame + 1));
    s.picture->setEnabled(true);
    showNumber(s);
}

// The frame number, counted from 1 as the frame label does; the frame playback shows has it
// white on red.
void Timeline::showNumber(const Slot& s) {
    if (s.frame < 0) {
        s.number->hide();
        return;
    }
    s.number->setText(QString::number(s.frame + 1));
    const bool playing = s.frame == m_playFrame;
    QPalette pal = s.number->palette();
    pal.setColor(QPalette::Window, playing ? QColor(0xD0, 0x10, 0x10) : QColor(0xFF, 0xFF, 0xFF));
    pal.setColor(QPalette::WindowText, playing ? Qt::white : Qt::black);
    s.number->setPalette(pal);
    s.number->setProperty("playing", playing);
    s.number->adjustSize();
    s.number->show();
}

void Timeline::setPlayFrame(int frame) {
    m_playFrame = frame;
    if (frame >= 0) {
        ensureVisible(frame);
    }
    for (const Slot& s : m_slots) {
        showNumber(s);
    }
}

void Timeline::clearSlot(int i) {
    Slot& s = m_slots[size_t(i)];
    s.number->hide();
    s.frame = -1;
    s.picture->clear();
    s.picture->setToolTip(QString());
    s.picture->setEnabled(false);
}

void Timeline::renderSlot(int i) {
    const int f = m_slots[size_t(i)].frame;
    if (f < 0 || f >= m_doc.frameCount() || m_geom.width <= 0) {
        return;
    }
    const Figures& frame = m_doc.frames[size_t(f)];
    const int factor = std::max(m_supersample, 1);
    if (m_thumb.width() != m_geom.width || m_thumb.height() != m_geom.height) {
        m_thumb.reset(m_geom.width, m_geom.height, PixelFormat::Bits32);
    }
    if (factor == 1) {
        drawFrame(m_thumb, frame, m_doc.figureTypes(), m_doc.backgrounds(), m_doc.animWidth(),
                  m_doc.animHeight(), m_geom.zoom);
    } else {
        if (m_render.width() != m_geom.width * factor ||
            m_render.height() != m_geom.height * factor) {
            m_render.reset(m_geom.width * factor, m_geom.height * factor, PixelFormat::Bits32);
        }
        drawFrame(m_render, frame, m_doc.figureTypes(), m_doc.backgrounds(), m_doc.animWidth(),
                  m_doc.animHeight(), m_geom.zoom);
        boxReduceByFactor(m_render, m_thumb);
    }
    m_slots[size_t(i)].picture->setPixmap(QPixmap::fromImage(m_thumb.view().copy()));
    ++m_renders;
}

bool Timeline::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease) {
        return QObject::eventFilter(watched, event);
    }
    for (int i = 0; i < slotCount(); ++i) {
        if (m_slots[size_t(i)].picture == watched) {
            return mouseEvent(i, static_cast<QMouseEvent*>(event));
        }
    }
    return QObject::eventFilter(watched, event);
}

bool Timeline::mouseEvent(int slot, QMouseEvent* mouse) {
    const QPoint panelPos = m_panel->mapFromGlobal(mouse->globalPosition().toPoint());
    switch (mouse->type()) {
    case QEvent::MouseButtonPress: {
        // The handlers may redraw the row, so nothing of the slot is used after them.
        const int frame = m_slots[size_t(slot)].frame;
        if (frame < 0 || frame >= m_doc.frameCount()) {
            return true;
        }
        const bool selected = m_doc.frames[size_t(frame)].timelineSelected != 0;
        if (mouse->button() == Qt::RightButton) {
            m_gesture = Gesture::None;
            m_dropMarker->hide();
            if (!selected && onClick) {
                onClick(frame, Qt::NoModifier);
            }
            if (onPopup) {
                onPopup(frame);
            }
            if (m_menu) {
                m_menu->popup(mouse->globalPosition().toPoint());
            }
            return true;
        }
        if (mouse->button() != Qt::LeftButton) {
            return true;
        }
        m_pressFrame = frame;
        m_pressPos = panelPos;
        m_pressModifiers = mouse->modifiers();
        const bool plain = !(mouse->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier));
        if (selected && plain) {
            m_gesture = Gesture::PendingClick; // a drag moves the selection, a click clicks
            return true;
        }
        m_gesture = plain ? Gesture::Scrub : Gesture::None;
        m_scrubFrame = frame;
        if (onClick) {
            onClick(frame, mouse->modifiers());
        }
        return true;
    }
    case QEvent::MouseMove:
        if (mouse->buttons() & Qt::LeftButton) {
            dragTo(panelPos);
        }
        return true;
    case QEvent::MouseButtonRelease: {
        if (mouse->button() != Qt::LeftButton) {
            return true;
        }
        const Gesture gesture = std::exchange(m_gesture, Gesture::None);
        m_dropMarker->hide();
        if (gesture == Gesture::PendingClick && onClick) {
            onClick(m_pressFrame, m_pressModifiers);
        } else if (gesture == Gesture::Reorder && m_dropPosition >= 0 && onMoveFrames) {
            onMoveFrames(m_dropPosition);
        }
        return true;
    }
    default:
        return true;
    }
}

int Timeline::slotAtX(int x) const {
    const int n = slotCount();
    if (n == 0 || x < 0) {
        return -1;
    }
    if (x >= m_panel->width()) {
        return n;
    }
    // Each slot owns the gap before it; slot 0 also the panel's edge.
    int found = 0;
    for (int i = 1; i < n; ++i) {
        if (x >= thumbnailSlotLeft(i, n, m_panel->width(), m_geom.width) - 3) {
            found = i;
        }
    }
    return found;
}

void Timeline::dragTo(QPoint panelPos) {
    if (m_gesture == Gesture::PendingClick) {
        if ((panelPos - m_pressPos).manhattanLength() < QApplication::startDragDistance()) {
            return;
        }
        m_gesture = Gesture::Reorder;
        m_dropPosition = -1;
    }
    if (m_gesture == Gesture::None || m_doc.frameCount() == 0) {
        return;
    }
    const int n = slotCount();
    const int slot = slotAtX(panelPos.x());
    // Past either end of the row the row scrolls on, one frame per move.
    int frame;
    if (slot < 0) {
        frame = m_first - 1;
    } else if (slot >= n) {
        frame = m_first + n;
    } else {
        frame = m_slots[size_t(slot)].frame >= 0 ? m_slots[size_t(slot)].frame : m_doc.frameCount();
    }
    if (m_gesture == Gesture::Scrub) {
        frame = std::clamp(frame, 0, m_doc.frameCount() - 1);
        if (frame != m_scrubFrame) {
            m_scrubFrame = frame;
            ensureVisible(frame);
            if (onScrub) {
                onScrub(frame);
            }
        }
        return;
    }
    bool rightHalf = false;
    if (slot >= 0 && slot < n) {
        const int left = thumbnailSlotLeft(slot, n, m_panel->width(), m_geom.width);
        rightHalf = panelPos.x() >= left + m_geom.width / 2;
    } else {
        rightHalf = slot >= n;
        frame = std::clamp(frame, 0, m_doc.frameCount() - 1);
        ensureVisible(frame);
    }
    m_dropPosition = dropPosition(frame, rightHalf, m_doc.frameCount());
    // The line goes in the gap before the slot that will follow the moved frames.
    const int at = std::clamp(m_dropPosition - m_first, 0, n);
    const int x =
        at < n ? thumbnailSlotLeft(at, n, m_panel->width(), m_geom.width) - 3
               : thumbnailSlotLeft(n - 1, n, m_panel->width(), m_geom.width) + m_geom.width + 1;
    m_dropMarker->setGeometry(std::max(x - 1, 0), 0, 3, m_geom.height + 6);
    m_dropMarker->show();
    m_dropMarker->raise();
}

} // namespace kelto

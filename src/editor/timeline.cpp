#include "editor/timeline.h"

#include "document/document.h"
#include "graphics/drawing.h"
#include "graphics/renderer.h"
#include "model/figures.h"
#include "settings/multilang.h"

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
}

bool Timeline::syncGeometry() {
    const ThumbnailGeometry g =
        thumbnailGeometry(m_panel->height(), m_doc.animWidth(), m_doc.animHeight(), m_supersample);
    const bool changed = g.width != m_geom.width || g.height != m_geom.height;
    m_geom = g;
    const int n = std::min(thumbnailSlotCount(m_panel->width(), g.width), 4096);
    const bool countChanged = n != slotCount();
    while (slotCount() > n) {
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
}

void Timeline::clearSlot(int i) {
    Slot& s = m_slots[size_t(i)];
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
    if (event->type() != QEvent::MouseButtonPress) {
        return QObject::eventFilter(watched, event);
    }
    for (const Slot& s : m_slots) {
        if (s.picture != watched || s.frame < 0) {
            continue;
        }
        // The handlers may redraw the row, so nothing of the slot is used after them.
        const int frame = s.frame;
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && onClick) {
            onClick(frame, mouse->modifiers());
        } else if (mouse->button() == Qt::RightButton) {
            if (onPopup) {
                onPopup(frame);
            }
            if (m_menu) {
                m_menu->popup(mouse->globalPosition().toPoint());
            }
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kelto

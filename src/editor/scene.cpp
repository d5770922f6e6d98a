#include "editor/scene.h"

#include "graphics/drawing.h"
#include "graphics/renderer.h"
#include "settings/appsettings.h"

#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>

namespace kelto {

uint8_t onionTransparency(int d, int numOnion, uint8_t s) {
    const int q = (70 * d) / std::max(numOnion, 1);
    return uint8_t(255 - ((105 - q) * (255 - int(s))) / 256);
}

namespace {

Rect offsetRect(const Rect& r, PixelPos by) {
    return {r.left + by.x, r.top + by.y, r.right + by.x, r.bottom + by.y};
}

Rect unite(const Rect& a, const Rect& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

Rect clipTo(const Rect& r, const Bitmap& canvas) {
    return {std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, canvas.width()),
            std::min(r.bottom, canvas.height())};
}

// A scaled coordinate as an int, saturating: far-off figures at a large zoom stay far off.
int saturate(double v) {
    return int(std::clamp(v, double(INT_MIN / 2), double(INT_MAX / 2)));
}

int scaled(int length, double zoom) {
    return saturate(std::nearbyint(length * zoom));
}

} // namespace

SceneContent Scene::content() const {
    SceneContent c = m_content ? m_content() : SceneContent{};
    static const std::vector<Figures> noFrames;
    static const FigureTypeList noTypes;
    static const std::vector<ImageGeneral> noBackgrounds;
    static const Figures noFigures;
    if (!c.frames) {
        c.frames = &noFrames;
    }
    if (!c.types) {
        c.types = &noTypes;
    }
    if (!c.backgrounds) {
        c.backgrounds = &noBackgrounds;
    }
    if (!c.edit) {
        c.edit = &noFigures;
    }
    return c;
}

void Scene::setEditingArea(const EditingArea& area) {
    m_canvasWidth = std::max(area.canvasWidth, 0);
    m_canvasHeight = std::max(area.canvasHeight, 0);
    m_areaOffset = area.areaOffset;
    applyWindow();
}

void Scene::setVisibleWindow(const Rect& window) {
    m_requestedWindow = window;
    applyWindow();
}

void Scene::applyWindow() {
    const Rect whole{0, 0, m_canvasWidth, m_canvasHeight};
    Rect w = whole;
    if (m_requestedWindow.right > m_requestedWindow.left &&
        m_requestedWindow.bottom > m_requestedWindow.top) {
        w = {std::max(m_requestedWindow.left, 0), std::max(m_requestedWindow.top, 0),
             std::min(m_requestedWindow.right, m_canvasWidth),
             std::min(m_requestedWindow.bottom, m_canvasHeight)};
        if (w.right <= w.left || w.bottom <= w.top) {
            w = {0, 0, 0, 0};
        }
    }
    checkBitmapSize(w.width(), w.height());
    m_window = w;
    if (m_screen.width() != w.width() || m_screen.height() != w.height()) {
        m_ghost.reset(w.width(), w.height(), PixelFormat::Bits32);
        m_screen.reset(w.width(), w.height(), PixelFormat::Bits32);
    }
    m_fullRepaintNeeded = true;
}

Rect Scene::areaRect() const {
    const SceneContent c = content();
    const PixelPos o = layerOrigin();
    return {o.x, o.y, o.x + scaled(c.animWidth, m_zoom), o.y + scaled(c.animHeight, m_zoom)};
}

Rect Scene::zoomedBox(const Rect& b) const {
    if (m_zoom == 1) {
        return b;
    }
    // Handles keep their size in pixels: below 100 % they reach further than the bounds
    // (which hold half the largest handle in animation pixels) scale to.
    const int pad = 2 + (m_zoom < 1 ? (appSettings().maxHandleSize + 1) / 2 : 0);
    return {saturate(std::floor(b.left * m_zoom)) - pad, saturate(std::floor(b.top * m_zoom)) - pad,
            saturate(std::ceil(b.right * m_zoom)) + pad,
            saturate(std::ceil(b.bottom * m_zoom)) + pad};
}

void Scene::clearLayers() {
    m_ghost.fill(m_windowColour);
    m_screen.fill(m_windowColour);
}

void Scene::present(const Rect& canvasRect) {
    const Rect r = clipTo(canvasRect, m_screen);
    if (r.right <= r.left || r.bottom <= r.top) {
        return;
    }
    // Handed on in canvas coordinates.
    const Rect onCanvas = offsetRect(r, {m_window.left, m_window.top});
    m_lastPresented = onCanvas;
    if (m_present) {
        m_present(onCanvas);
    }
}

void Scene::drawAnimBorderLine(Bitmap& canvas, int side) const {
    if (canvas.empty()) {
        return;
    }
    const Rect area = areaRect();
    const int x = area.left, y = area.top;
    const int w = area.width(), h = area.height();
    QImage image = canvas.view();
    QPainter painter(&image);
    setUpPainter(painter);
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1, Qt::DotLine));
    painter.setBrush(Qt::white);
    switch (side) {
    case BorderTop:
        painter.drawLine(x - 1, y - 1, x + w, y - 1);
        break;
    case BorderRight:
        painter.drawLine(x + w, y - 1, x + w, y + h);
        break;
    case BorderBottom:
        painter.drawLine(x + w, y + h, x - 1, y + h);
        break;
    default:
        painter.drawLine(x - 1, y + h, x - 1, y - 1);
        break;
    }
}

void Scene::drawGhostBackground() {
    if (m_ghost.empty()) {
        return;
    }
    const SceneContent c = content();
    // The whole layer is filled even when the area starts at 0,0: a canvas one pixel wider
    // than the area would otherwise keep a stale strip.
    m_ghost.fill(m_windowColour);
    if (m_areaOffset.x != 0 || m_areaOffset.y != 0) {
        for (int side = 0; side < 4; ++side) {
            drawAnimBorderLine(m_ghost, side);
        }
    }
    drawAreaBackground(m_ghost, c.edit->backgroundIndex);
}

void Scene::drawAreaBackground(Bitmap& layer, int slot) const {
    const SceneContent c = content();
    const PixelPos o = layerOrigin();
    if (slot > 0 && slot < int(c.backgrounds->size())) {
        const ImageGeneral& picture = (*c.backgrounds)[size_t(slot)];
        if (m_zoom == 1) {
            picture.draw(layer, o);
        } else {
            picture.stretchDraw(layer, Rect{o.x, o.y, o.x + scaled(picture.width(), m_zoom),
                                            o.y + scaled(picture.height(), m_zoom)});
        }
    } else {
        fillRect(layer, areaRect(), 0x00FFFFFF);
    }
}

void Scene::drawGhost() {
    drawGhostBackground();
    const SceneContent c = content();
    drawAll(*c.edit, *c.types, m_ghost, true, layerOrigin(), m_zoom);
}

void Scene::drawGhostEdit() {
    drawGhostBackground();
    const SceneContent c = content();
    const int k = onionBase(c.editFrameIndex, int(c.frames->size()));
    if (k > 0 && k <= int(c.frames->size())) {
        drawAll((*c.frames)[size_t(k - 1)], *c.types, m_ghost, true, layerOrigin(), m_zoom);
    }
}

void Scene::findOnions() {
    const SceneContent c = content();
    m_onions = kelto::findOnions(*c.frames, c.editFrameIndex, *c.edit, appSettings().numOnion,
                                 appSettings().onionAhead);
}

void Scene::paintOnionFigure(const SceneContent& c, const Figure& figure, uint8_t transparency) {
    if (figure.typeIndex < c.types->size()) {
        paintFigure(figure, (*c.types)[figure.typeIndex], m_screen, transparency, layerOrigin(),
                    m_zoom);
    }
}

// A whole frame as the nearest onion skin of a short trail is drawn.
void Scene::drawPreview(const SceneContent& c) {
    const Figures& frame = *c.preview;
    for (uint16_t i : frame.drawOrder) {
        if (i < frame.figures.size()) {
            const Figure& figure = frame.figures[i];
            paintOnionFigure(c, figure, onionTransparency(1, 3, figure.transparency));
        }
    }
}

void Scene::drawOnions(const SceneContent& c) {
    const int numOnion = std::clamp(appSettings().numOnion, 0, kMaxOnions);
    const int frameCount = int(c.frames->size());
    auto paintOnion = [&](int f, int index, int d) {
        const Figures& frame = (*c.frames)[size_t(f)];
        if (index >= frame.figureCount()) {
            return;
        }
        const Figure& onion = frame.figures[size_t(index)];
        paintOnionFigure(c, onion, onionTransparency(d, numOnion, onion.transparency));
    };
    const int base = onionBase(c.editFrameIndex, frameCount);
    for (int d = numOnion; d >= 1; --d) {
        const int f = base - d;
        if (f >= 0 && f < frameCount && m_onions.behind[size_t(d)] >= 0) {
            paintOnion(f, m_onions.behind[size_t(d)], d);
        }
    }
    if (appSettings().onionAhead && c.editFrameIndex >= 0) {
        for (int d = numOnion; d >= 1; --d) {
            const int f = c.editFrameIndex + d;
            if (f < frameCount && m_onions.ahead[size_t(d)] >= 0) {
                paintOnion(f, m_onions.ahead[size_t(d)], d);
            }
        }
    }
}

void Scene::drawFigures() {
    if (m_suspended || m_screen.empty()) {
        return;
    }
    const SceneContent c = content();
    ++m_fullRedraws;
    m_screen = m_ghost;
    if (c.preview) {
        drawPreview(c);
    }
    const Figures& edit = *c.edit;
    if (edit.figureCount() > 0) {
        const bool onions = edit.selectedCount() == 1 && appSettings().numOnion > 0;
        for (uint16_t i : edit.drawOrder) {
            if (i >= edit.figures.size()) {
                continue;
            }
            const Figure& figure = edit.figures[i];
            if (onions && edit.selection[0] == i) {
                drawOnions(c);
            }
            if (figure.typeIndex < c.types->size()) {
                paintFigure(figure, (*c.types)[figure.typeIndex], m_screen, 0, layerOrigin(),
                            m_zoom);
            }
        }
        drawAllHandles(edit, *c.types, m_screen, layerOrigin(), m_zoom);
        for (int side = 0; side < 4; ++side) {
            drawAnimBorderLine(m_screen, side);
        }
    }
    present(Rect{0, 0, m_screen.width(), m_screen.height()});
    m_fullRepaintNeeded = false;
}

void Scene::drawPlaybackFrame(const Figures& frame) {
    if (m_screen.empty()) {
        return;
    }
    const SceneContent c = content();
    m_screen = m_ghost;
    // The area is white under a picture smaller than it, and nothing drawn spills out of it.
    const Rect area = clipTo(areaRect(), m_screen);
    fillRect(m_screen, area, 0x00FFFFFF);
    drawAreaBackground(m_screen, frame.backgroundIndex);
    drawAll(frame, *c.types, m_screen, false, layerOrigin(), m_zoom);
    restoreFromGhost({0, 0, m_screen.width(), area.top});
    restoreFromGhost({0, area.bottom, m_screen.width(), m_screen.height()});
    restoreFromGhost({0, area.top, area.left, area.bottom});
    restoreFromGhost({area.right, area.top, m_screen.width(), area.bottom});
    present(Rect{0, 0, m_screen.width(), m_screen.height()});
}

void Scene::restoreFromGhost(const Rect& layerRect) {
    const Rect r = clipTo(layerRect, m_screen);
    const int width = r.right - r.left;
    if (width <= 0 || r.bottom <= r.top) {
        return;
    }
    for (int y = r.top; y < r.bottom; ++y) {
        std::copy_n(m_ghost.row(y) + size_t(r.left) * 4, size_t(width) * 4,
                    m_screen.row(y) + size_t(r.left) * 4);
    }
}

// The handles of one figure as drawAllHandles draws them.
void Scene::drawFigureHandles(const SceneContent& c, int i) {
    const Figures& edit = *c.edit;
    const Figure& figure = edit.figures[size_t(i)];
    if (figure.typeIndex >= c.types->size()) {
        return;
    }
    const FigureType& type = (*c.types)[figure.typeIndex];
    if (edit.joinMode) {
        if (figure.joinCandidate) {
            drawHandles(figure, type, m_screen, kHandleWhite, true, true, layerOrigin(),
                        kHandleWhite, m_zoom);
        }
    } else if (figure.selectionPos >= 0) {
        drawHandles(figure, type, m_screen, kHandleRed, true, false, layerOrigin(), kHandleOrange,
                    m_zoom);
    } else {
        const bool shown = appSettings().showHandles || figure.isJoined;
        drawHandles(figure, type, m_screen, kHandleBlue, shown, false, layerOrigin(),
                    kHandleLightBlue, m_zoom);
    }
}

void Scene::reDrawFigure(int i, const Rect& oldBounds) {
    if (m_suspended || m_screen.empty()) {
        return;
    }
    const SceneContent c = content();
    const Figures& edit = *c.edit;
    if (i < 0 || i >= edit.figureCount()) {
        drawFigures();
        return;
    }
    // The plan works on the boxes the figures cover on the canvas, relative to the area.
    std::vector<Rect> boxes;
    boxes.reserve(edit.figures.size());
    for (const Figure& f : edit.figures) {
        boxes.push_back(zoomedBox(f.bounds));
    }
    const Rect oldBox = zoomedBox(oldBounds);
    const Rect area = areaRect();
    const RedrawPlan plan =
        planRedraw(edit, boxes, i, oldBox, area.width(), area.height(), appSettings().numOnion);
    if (plan.full) {
        drawFigures();
        return;
    }
    const PixelPos o = layerOrigin();
    restoreFromGhost(offsetRect(oldBox, o));
    for (int j = 0; j < edit.figureCount(); ++j) {
        if (j != i && plan.marked[size_t(j)]) {
            restoreFromGhost(offsetRect(boxes[size_t(j)], o));
        }
    }
    for (uint16_t j : edit.drawOrder) {
        if (j < plan.marked.size() && plan.marked[j] &&
            edit.figures[j].typeIndex < c.types->size()) {
            paintFigure(edit.figures[j], (*c.types)[edit.figures[j].typeIndex], m_screen, 0, o,
                        m_zoom);
        }
    }
    for (uint16_t j : edit.drawOrder) {
        if (j < plan.marked.size() && plan.marked[j]) {
            drawFigureHandles(c, j);
        }
    }
    for (int side = 0; side < 4; ++side) {
        if (plan.borders[size_t(side)]) {
            drawAnimBorderLine(m_screen, side);
        }
    }
    const Rect changed = unite(oldBox, boxes[size_t(i)]);
    present(offsetRect(changed, o));
    m_fullRepaintNeeded = true;
}

void Scene::editPaintBoxPaint(bool playing) {
    if (!m_fullRepaintNeeded || playing) {
        present(Rect{0, 0, m_screen.width(), m_screen.height()});
    } else {
        drawFigures();
    }
}

} // namespace kelto

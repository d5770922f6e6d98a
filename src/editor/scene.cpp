#include "editor/scene.h"

#include "graphics/drawing.h"
#include "graphics/renderer.h"
#include "settings/appsettings.h"

#include <QPainter>

#include <algorithm>

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
    checkBitmapSize(area.canvasWidth, area.canvasHeight);
    m_areaOffset = area.areaOffset;
    if (m_screen.width() != area.canvasWidth || m_screen.height() != area.canvasHeight) {
        m_ghost.reset(area.canvasWidth, area.canvasHeight, PixelFormat::Bits32);
        m_screen.reset(area.canvasWidth, area.canvasHeight, PixelFormat::Bits32);
    }
    m_fullRepaintNeeded = true;
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
    m_lastPresented = r;
    if (m_present) {
        m_present(r);
    }
}

void Scene::drawAnimBorderLine(Bitmap& canvas, int side) const {
    if (canvas.empty()) {
        return;
    }
    const SceneContent c = content();
    const int x = m_areaOffset.x, y = m_areaOffset.y;
    const int w = c.animWidth, h = c.animHeight;
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
    const int slot = c.edit->backgroundIndex;
    if (slot > 0 && slot < int(c.backgrounds->size())) {
        (*c.backgrounds)[size_t(slot)].draw(m_ghost, m_areaOffset);
    } else {
        fillRect(m_ghost,
                 Rect{m_areaOffset.x, m_areaOffset.y, m_areaOffset.x + c.animWidth,
                      m_areaOffset.y + c.animHeight},
                 0x00FFFFFF);
    }
}

void Scene::drawGhost() {
    drawGhostBackground();
    const SceneContent c = content();
    drawAll(*c.edit, *c.types, m_ghost, true, m_areaOffset, 1);
}

void Scene::drawGhostEdit() {
    drawGhostBackground();
    const SceneContent c = content();
    const int k = onionBase(c.editFrameIndex, int(c.frames->size()));
    if (k > 0 && k <= int(c.frames->size())) {
        drawAll((*c.frames)[size_t(k - 1)], *c.types, m_ghost, true, m_areaOffset, 1);
    }
}

void Scene::findOnions() {
    const SceneContent c = content();
    m_onions = kelto::findOnions(*c.frames, c.editFrameIndex, *c.edit, appSettings().numOnion,
                                 appSettings().onionAhead);
}

void Scene::paintOnionFigure(const SceneContent& c, const Figure& figure, uint8_t transparency) {
    if (figure.typeIndex < c.types->size()) {
        paintFigure(figure, (*c.types)[figure.typeIndex], m_screen, transparency, m_areaOffset, 1);
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
                paintFigure(figure, (*c.types)[figure.typeIndex], m_screen, 0, m_areaOffset, 1);
            }
        }
        drawAllHandles(edit, *c.types, m_screen, m_areaOffset);
        for (int side = 0; side < 4; ++side) {
            drawAnimBorderLine(m_screen, side);
        }
    }
    present(Rect{0, 0, m_screen.width(), m_screen.height()});
    m_fullRepaintNeeded = false;
}

void Scene::restoreFromGhost(const Rect& animRect) {
    const Rect r = clipTo(offsetRect(animRect, m_areaOffset), m_screen);
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
            drawHandles(figure, type, m_screen, kHandleWhite, true, true, m_areaOffset,
                        kHandleWhite);
        }
    } else if (figure.selectionPos >= 0) {
        drawHandles(figure, type, m_screen, kHandleRed, true, false, m_areaOffset, kHandleOrange);
    } else {
        const bool shown = appSettings().showHandles || figure.isJoined;
        drawHandles(figure, type, m_screen, kHandleBlue, shown, false, m_areaOffset,
                    kHandleLightBlue);
    }
}

void Scene::reDrawFigure(int i, const Rect& oldBounds) {
    if (m_suspended || m_screen.empty()) {
        return;
    }
    const SceneContent c = content();
    const Figures& edit = *c.edit;
    const RedrawPlan plan =
        planRedraw(edit, i, oldBounds, c.animWidth, c.animHeight, appSettings().numOnion);
    if (plan.full) {
        drawFigures();
        return;
    }
    restoreFromGhost(oldBounds);
    for (int j = 0; j < edit.figureCount(); ++j) {
        if (j != i && plan.marked[size_t(j)]) {
            restoreFromGhost(edit.figures[size_t(j)].bounds);
        }
    }
    for (uint16_t j : edit.drawOrder) {
        if (j < plan.marked.size() && plan.marked[j] &&
            edit.figures[j].typeIndex < c.types->size()) {
            paintFigure(edit.figures[j], (*c.types)[edit.figures[j].typeIndex], m_screen, 0,
                        m_areaOffset, 1);
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
    const Rect changed = unite(oldBounds, edit.figures[size_t(i)].bounds);
    present(offsetRect(changed, m_areaOffset));
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

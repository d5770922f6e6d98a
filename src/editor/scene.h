#pragma once

#include "editor/editingarea.h"
#include "editor/redrawplan.h"
#include "graphics/bitmap.h"
#include "graphics/imagegeneral.h"
#include "model/figures.h"
#include "model/onions.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kelto {

// What the canvas shows, read afresh at the start of every drawing operation.
struct SceneContent {
    const std::vector<Figures>* frames = nullptr;
    const FigureTypeList* types = nullptr;
    const std::vector<ImageGeneral>* backgrounds = nullptr; // slot 0 stands for white
    const Figures* edit = nullptr;
    int editFrameIndex = -1; // -1: the new frame after the last stored one
    int animWidth = 500;
    int animHeight = 400;
    const Figures* preview = nullptr; // a frame shown as a ghost under the edited figures
};

// Transparency of the onion skin at distance d of numOnion, for a figure whose own
// transparency is s: nearer frames show more strongly.
uint8_t onionTransparency(int d, int numOnion, uint8_t s);

// The canvas picture, composed in two layers of the canvas size: the ghost layer (window
// colour, border lines, the frame's background and the previous frame's ghost) changes only
// with the frame, its background or the canvas size; the screen buffer adds onion skins,
// figures and handles and is what the canvas shows. While one figure is dragged only the
// figures around it are recomposed and only the changed rectangle is handed on.
class Scene {
public:
    using ContentProvider = std::function<SceneContent()>;
    // Copies a rectangle (canvas coordinates) of the screen buffer to the screen.
    using Presenter = std::function<void(const Rect& canvasRect)>;

    void setContentProvider(ContentProvider provider) { m_content = std::move(provider); }
    void setPresenter(Presenter presenter) { m_present = std::move(presenter); }
    // The colour around the animation area, as a 0x00RRGGBB pixel.
    void setWindowColour(uint32_t pixel) { m_windowColour = pixel; }

    // Sizes both layers to the canvas and takes the area's position; the layers are rebuilt
    // by the caller (drawGhostEdit, then drawFigures).
    void setEditingArea(const EditingArea& area);
    PixelPos areaOffset() const { return m_areaOffset; }
    int canvasWidth() const { return m_screen.width(); }
    int canvasHeight() const { return m_screen.height(); }

    Bitmap& screenBuffer() { return m_screen; }
    const Bitmap& screenBuffer() const { return m_screen; }
    const Bitmap& ghostBitmap() const { return m_ghost; }

    // Both layers filled with the window colour (a new document starts from a clean canvas).
    void clearLayers();

    void drawGhostBackground();
    // The ghost layer with the figures on the canvas as their own ghost (after a frame was
    // stored, the new frame starts from the same pose).
    void drawGhost();
    // The ghost layer with the previous stored frame as the ghost; frame 0 has none.
    void drawGhostEdit();
    void drawAnimBorderLine(Bitmap& canvas, int side) const;

    // Looks up the selected figure in the neighbouring frames.
    void findOnions();
    const OnionIndexes& onions() const { return m_onions; }

    // Recomposes the whole screen buffer and hands all of it on.
    void drawFigures();
    // Recomposes what a change of figure i, formerly at oldBounds, touched.
    void reDrawFigure(int i, const Rect& oldBounds);
    // The system asks for the canvas: after a partial redraw the whole scene is recomposed
    // first (unless playback owns the screen buffer).
    void editPaintBoxPaint(bool playing);

    bool fullRepaintNeeded() const { return m_fullRepaintNeeded; }
    // While set, drawFigures does nothing (a file being loaded applies its size).
    void setSuspended(bool suspended) { m_suspended = suspended; }

    // For tests and benchmarks: the last rectangle handed on and how many full redraws ran.
    Rect lastPresented() const { return m_lastPresented; }
    int fullRedrawCount() const { return m_fullRedraws; }

private:
    SceneContent content() const;
    void present(const Rect& canvasRect);
    void restoreFromGhost(const Rect& animRect);
    void drawOnions(const SceneContent& c);
    void paintOnionFigure(const SceneContent& c, const Figure& figure, uint8_t transparency);
    void drawPreview(const SceneContent& c);
    void drawFigureHandles(const SceneContent& c, int figure);

    ContentProvider m_content;
    Presenter m_present;
    uint32_t m_windowColour = 0x00F0F0F0;
    PixelPos m_areaOffset;
    Bitmap m_ghost;
    Bitmap m_screen;
    OnionIndexes m_onions;
    bool m_fullRepaintNeeded = true;
    bool m_suspended = false;
    Rect m_lastPresented;
    int m_fullRedraws = 0;
};

} // namespace kelto

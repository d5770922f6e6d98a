#pragma once

#include "graphics/bitmap.h"
#include "graphics/imagegeneral.h"
#include "model/figures.h"

#include <cstdint>
#include <vector>

namespace kelto {

// Colours (0x00BBGGRR) of the figure renderer.
inline constexpr uint32_t kKeyColour = 0x0001FF01;    // red 1, green 255, blue 1
inline constexpr uint32_t kAlternateKey = 0x000101FF; // red 255, green 1, blue 1
inline constexpr uint32_t kHandleBlue = 0x00FF0000;
inline constexpr uint32_t kHandleLightBlue = 0x00FF8000;
inline constexpr uint32_t kHandleRed = 0x000000FF;
inline constexpr uint32_t kHandleOrange = 0x000088FF;
inline constexpr uint32_t kHandleWhite = 0x00FFFFFF;
inline constexpr uint32_t kHandleSilver = 0x00C0C0C0;

// Figure drawing onto 32-bit bitmaps (others are converted first). origin is the canvas
// position of figure coordinate (0, 0); zoom enlarges for exports and thumbnails. Drawing is
// aliased with round pen caps.

// One segment at full opacity.
void drawSegment(const Figure& figure, const FigureType& type, int segment, Bitmap& canvas,
                 PixelPos origin, double zoom);
// One figure; a non-zero transparency override replaces the figure's own for this call. A
// transparent figure is drawn into a scratch bitmap the size of its bounds and blended on.
void paintFigure(const Figure& figure, const FigureType& type, Bitmap& bitmap,
                 uint8_t transparencyOverride, PixelPos origin, double zoom);
// The handles of one figure. zoom places them; they keep their size in pixels at every zoom.
void drawHandles(const Figure& figure, const FigureType& type, Bitmap& canvas,
                 uint32_t segmentColour, bool showSegmentHandles, bool allHandles, PixelPos origin,
                 uint32_t mainColour, double zoom = 1.0);
// The transparency onion skins are drawn with: an opaque figure comes out at 181.
uint8_t ghostTransparency(uint8_t transparency);

// Every figure of a frame in draw order, at its own transparency or as a ghost.
void drawAll(const Figures& frame, const FigureTypeList& types, Bitmap& bitmap, bool ghost,
             PixelPos origin, double zoom);
// drawAll (no ghosts, origin (0, 0)) onto part of a taller canvas: `rows` holds the canvas rows
// from `top` on, of a canvas canvasHeight rows high and as wide as `rows`. Each pixel comes out
// as drawAll draws it on the whole canvas, so a large frame can be drawn a band at a time.
void drawAllRows(const Figures& frame, const FigureTypeList& types, Bitmap& rows, int top,
                 int canvasHeight, double zoom);
// The handles of every figure in draw order, coloured by selection and join mode.
void drawAllHandles(const Figures& frame, const FigureTypeList& types, Bitmap& canvas,
                    PixelPos origin, double zoom = 1.0);
// A frame's background (backgrounds[0] stands for none: white) and its figures from (0, 0).
void drawFrame(Bitmap& bitmap, const Figures& frame, const FigureTypeList& types,
               const std::vector<ImageGeneral>& backgrounds, int animWidth, int animHeight,
               double zoom);

} // namespace kelto

#pragma once

#include "editor/editingarea.h"
#include "model/geometry.h"

#include <QPoint>
#include <QPointF>
#include <QString>

namespace kelto {

// The zoom of the canvas: screen pixels per animation pixel. The view transform lives only
// in the editor; figures, hit tests and files always work in animation pixels.
inline constexpr double kMinZoom = 0.1;
inline constexpr double kMaxZoom = 8.0;

double clampZoom(double zoom);
// The next step of Ctrl+= / Ctrl+- from any zoom (fitted zooms lie between steps); the end
// steps stay where they are.
double zoomInStep(double zoom);
double zoomOutStep(double zoom);
// The largest zoom at which the animation fits a scroll box of this outer size (its frame
// kept free), within the zoom range.
double fitZoom(int boxWidth, int boxHeight, int animWidth, int animHeight);
// "150%": the zoom in whole percent.
QString zoomText(double zoom);

// The canvas at a zoom: never smaller than the visible box, with the zoomed area centred.
// Unlike computeEditingArea no pixel budget applies: the scene composes only what is seen.
EditingArea computeZoomedArea(int boxWidth, int boxHeight, int animWidth, int animHeight,
                              double zoom);

// Canvas pixels to animation coordinates and back, for a view whose area corner lies at
// areaOffset.
PointF canvasToAnimation(QPointF canvas, PixelPos areaOffset, double zoom);
QPointF animationToCanvas(PointF point, PixelPos areaOffset, double zoom);

// The scroll position (the canvas point at the viewport's corner) that puts animation point
// `anchor` under viewport position `pointer` in the new view; the caller clamps it to the bars.
QPoint anchoredScroll(PointF anchor, QPointF pointer, PixelPos areaOffset, double zoom);

} // namespace kelto

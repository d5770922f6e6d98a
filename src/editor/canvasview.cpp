#include "editor/canvasview.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kelto {

namespace {

// The steps of the zoom keys, as photo and drawing editors offer them.
constexpr std::array<double, 15> kZoomSteps{0.1, 0.125, 0.25, 1.0 / 3, 0.5, 2.0 / 3, 0.75, 1.0,
                                            1.5, 2.0,   3.0,  4.0,     5.0, 6.0,     8.0};
// Zooms this close to a step count as that step (a fitted zoom or a rounding error).
constexpr double kStepTolerance = 1e-6;

} // namespace

double clampZoom(double zoom) {
    if (!std::isfinite(zoom)) {
        return 1.0;
    }
    return std::clamp(zoom, kMinZoom, kMaxZoom);
}

double zoomInStep(double zoom) {
    for (double step : kZoomSteps) {
        if (step > zoom * (1 + kStepTolerance)) {
            return step;
        }
    }
    return kMaxZoom;
}

double zoomOutStep(double zoom) {
    for (auto it = kZoomSteps.rbegin(); it != kZoomSteps.rend(); ++it) {
        if (*it < zoom * (1 - kStepTolerance)) {
            return *it;
        }
    }
    return kMinZoom;
}

double fitZoom(int boxWidth, int boxHeight, int animWidth, int animHeight) {
    if (animWidth <= 0 || animHeight <= 0) {
        return 1.0;
    }
    // The box's frame and a pixel for each border line stay free.
    const double w = std::max(boxWidth - 8 - 2, 1);
    const double h = std::max(boxHeight - 8 - 2, 1);
    return clampZoom(std::min(w / animWidth, h / animHeight));
}

QString zoomText(double zoom) {
    return QString::number(std::lround(zoom * 100)) + QLatin1Char('%');
}

EditingArea computeZoomedArea(int boxWidth, int boxHeight, int animWidth, int animHeight,
                              double zoom) {
    // Widgets reach 16,777,215 pixels; 32,767 animation pixels at 800 % stay far below.
    const int w = int(std::min(std::nearbyint(animWidth * zoom), 16777215.0 / 2));
    const int h = int(std::min(std::nearbyint(animHeight * zoom), 16777215.0 / 2));
    EditingArea area;
    area.canvasWidth = std::max(boxWidth - 8, w);
    area.canvasHeight = std::max(boxHeight - 8, h);
    area.areaOffset.x = std::max((area.canvasWidth - w) / 2, 0);
    area.areaOffset.y = std::max((area.canvasHeight - h) / 2, 0);
    return area;
}

PointF canvasToAnimation(QPointF canvas, PixelPos areaOffset, double zoom) {
    return {(canvas.x() - areaOffset.x) / zoom, (canvas.y() - areaOffset.y) / zoom};
}

QPointF animationToCanvas(PointF point, PixelPos areaOffset, double zoom) {
    return {areaOffset.x + point.x * zoom, areaOffset.y + point.y * zoom};
}

QPoint anchoredScroll(PointF anchor, QPointF pointer, PixelPos areaOffset, double zoom) {
    const QPointF at = animationToCanvas(anchor, areaOffset, zoom);
    return {int(std::lround(at.x() - pointer.x())), int(std::lround(at.y() - pointer.y()))};
}

} // namespace kelto

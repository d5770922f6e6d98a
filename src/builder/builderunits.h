#pragma once

#include "model/geometry.h"

#include <QColor>
#include <QGuiApplication>
#include <QPoint>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kelto::builder {

// Colours, 0x00BBGGRR.
inline constexpr uint32_t kBlack = 0x00000000;
inline constexpr uint32_t kGrey = 0x00666666;
inline constexpr uint32_t kSelectedBlue = 0x00FF0000;
inline constexpr uint32_t kSelectedStatic = 0x00CC4444;
inline constexpr uint32_t kWhitePixel = 0x00FFFFFF;

inline QColor qcolour(uint32_t colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

// Rounds like the drawing does, safe for values read from damaged files.
inline int safeRound(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    return int(roundHalfEven(std::clamp(v, -2e9, 2e9)));
}

inline QPoint rounded(PointF p) {
    return QPoint(safeRound(p.x), safeRound(p.y));
}

inline PointF pointOf(QPoint p) {
    return {double(p.x()), double(p.y())};
}

inline bool ctrlHeld() {
    return QGuiApplication::keyboardModifiers().testFlag(Qt::ControlModifier);
}

} // namespace kelto::builder

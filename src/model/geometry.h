#pragma once

#include <cmath>
#include <cstdint>

namespace kelto {

struct PointF {
    double x = 0;
    double y = 0;
};

// Integer rectangle in canvas pixels; Right and Bottom are exclusive bounds of the area.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// State of the modifier keys at the moment of the event that drives an edit.
struct Modifiers {
    bool ctrl = false;
    bool alt = false;
};

inline constexpr double kPi = 3.14159265358979323846;

// Direction from a to b in radians, -pi..pi.
inline double angleTo(double fromX, double fromY, double toX, double toY) {
    return std::atan2(toY - fromY, toX - fromX);
}

// Nearest integer with halves going to the even neighbour. A value no integer can hold (not a
// number, infinite, beyond 2^62) gives 0: a damaged type draws nothing far away rather than
// converting out of range.
inline int64_t roundHalfEven(double v) {
    if (!(std::fabs(v) < 0x1p62)) {
        return 0;
    }
    return static_cast<int64_t>(std::nearbyint(v));
}

} // namespace kelto

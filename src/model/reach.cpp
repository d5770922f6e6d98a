#include "model/reach.h"

#include <algorithm>
#include <cmath>

namespace kelto {

namespace {

// Bones shorter than this have no direction worth keeping.
constexpr double kTinyLength = 1e-9;
// Sine of the angle between the bones below which the chain counts as straight.
constexpr double kStraightSine = 1e-4;
// How far from its start joint the pointer is placed when a segment is turned through the
// ordinary handle drag: far enough that the joints' single precision does not blur the heading.
constexpr double kTurnReach = 1000;

double distance(PointF a, PointF b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

// The turn from angle a to angle b, the short way round.
double turnBetween(double a, double b) {
    return std::remainder(b - a, 2 * kPi);
}

} // namespace

TwoBonePose solveTwoBone(PointF pivot, double upper, double lower, PointF target, int side,
                         PointF fallback) {
    double d = distance(pivot, target);
    double ux = 0;
    double uy = 0;
    if (d > kTinyLength) {
        ux = (target.x - pivot.x) / d;
        uy = (target.y - pivot.y) / d;
    } else if (const double f = distance(pivot, fallback); f > kTinyLength) {
        ux = (fallback.x - pivot.x) / f;
        uy = (fallback.y - pivot.y) / f;
    } else {
        ux = 1;
    }
    // The end can reach any distance between the folded and the straight chain.
    d = std::clamp(d, std::fabs(upper - lower), upper + lower);
    const PointF end{pivot.x + d * ux, pivot.y + d * uy};
    if (upper < kTinyLength || d < kTinyLength) {
        return {pivot, end};
    }
    // Law of cosines for the angle at the pivot between the target line and the upper bone.
    const double c =
        std::clamp((upper * upper + d * d - lower * lower) / (2 * upper * d), -1.0, 1.0);
    const double s = (side < 0 ? -1.0 : 1.0) * std::sqrt(1 - c * c);
    const PointF middle{pivot.x + upper * (c * ux - s * uy), pivot.y + upper * (s * ux + c * uy)};
    return {middle, end};
}

int bendSide(PointF pivot, PointF middle, PointF end) {
    const double ex = end.x - pivot.x;
    const double ey = end.y - pivot.y;
    const double mx = middle.x - pivot.x;
    const double my = middle.y - pivot.y;
    const double cross = ex * my - ey * mx;
    const double scale = std::hypot(ex, ey) * std::hypot(mx, my);
    if (!(std::fabs(cross) > kStraightSine * scale)) {
        return 0;
    }
    return cross > 0 ? 1 : -1;
}

bool ReachDrag::begin(const Figures& frame, const FigureTypeList& types, int figure, int segment) {
    end();
    if (figure < 0 || figure >= frame.figureCount()) {
        return false;
    }
    const Figure& f = frame.figures[size_t(figure)];
    if (f.typeIndex >= types.size()) {
        return false;
    }
    const FigureType& type = types[f.typeIndex];
    if (segment < 0 || segment >= type.segmentCount() || segment >= f.segmentCount()) {
        return false;
    }
    // Static segments cannot turn on their own: the bend happens at the nearest dynamic one.
    // Tree order makes every step go to a lower segment number, so the walk ends.
    int upper = type.joints[type.segments[size_t(segment)].startJoint].inSegment;
    while (upper >= 0 && type.segments[size_t(upper)].isStatic) {
        upper = type.joints[type.segments[size_t(upper)].startJoint].inSegment;
    }
    if (upper < 0) {
        return false;
    }
    m_figure = figure;
    m_lower = segment;
    m_upper = upper;
    const Segment& low = type.segments[size_t(segment)];
    m_side = bendSide(f.joint(type.segments[size_t(upper)].startJoint), f.joint(low.startJoint),
                      f.joint(low.endJoint));
    return true;
}

void ReachDrag::moveTo(Figures& frame, const FigureTypeList& types, PointF point) {
    if (!active() || m_figure >= frame.figureCount()) {
        return;
    }
    const Figure& f = frame.figures[size_t(m_figure)];
    if (f.scale == 0) {
        return;
    }
    const FigureType& type = types[f.typeIndex];
    const Segment& low = type.segments[size_t(m_lower)];
    const PointF pivot = f.joint(type.segments[size_t(m_upper)].startJoint);
    const PointF middle = f.joint(low.startJoint);
    const PointF handle = f.joint(low.endJoint);
    const double upper = distance(pivot, middle);
    const double lower = distance(middle, handle);

    TwoBonePose pose = solveTwoBone(pivot, upper, lower, point, m_side, handle);
    const double upperNow = angleTo(pivot.x, pivot.y, middle.x, middle.y);
    double upperTurn =
        turnBetween(upperNow, angleTo(pivot.x, pivot.y, pose.middle.x, pose.middle.y));
    if (m_side == 0) {
        // A straight chain bends to the side that disturbs the upper bone least.
        const TwoBonePose other = solveTwoBone(pivot, upper, lower, point, -1, handle);
        const double otherTurn =
            turnBetween(upperNow, angleTo(pivot.x, pivot.y, other.middle.x, other.middle.y));
        if (std::fabs(otherTurn) < std::fabs(upperTurn)) {
            pose = other;
            upperTurn = otherTurn;
        }
        m_side = bendSide(pivot, pose.middle, pose.end);
    }

    // Each bone turns as an ordinary handle drag of its segment would turn it, so what hangs
    // below, joined figures included, follows in the usual way and the bounds are renewed.
    const Modifiers plain;
    if (upper > kTinyLength) {
        const int up = m_upper;
        const double heading = frame.figures[size_t(m_figure)].pose[size_t(up)].angle + upperTurn;
        frame.dragHandle(
            types, m_figure, up,
            {pivot.x + kTurnReach * std::cos(heading), pivot.y + kTurnReach * std::sin(heading)},
            false, plain);
    }
    if (lower > kTinyLength) {
        frame.dragHandle(types, m_figure, m_lower, pose.end, false, plain);
    }
}

} // namespace kelto

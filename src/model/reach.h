#pragma once

#include "model/figures.h"

namespace kelto {

// Where two bones hung from a fixed pivot end up: the joint between them and the far end.
struct TwoBonePose {
    PointF middle;
    PointF end;
};

// Places an upper bone of length upper from pivot and a lower bone of length lower after it so
// that the end meets target, with the middle joint on the given side of the line from pivot to
// target (side > 0: cross(target - pivot, middle - pivot) > 0 in these y-down coordinates; side
// < 0: the other side). A target too far away straightens the chain towards it; one too near
// folds the chain along the same line, ending as close to it as the lengths allow. A target on
// the pivot itself keeps the direction of fallback from the pivot.
TwoBonePose solveTwoBone(PointF pivot, double upper, double lower, PointF target, int side,
                         PointF fallback);

// Which side of the line from pivot to end the middle joint lies on: +1, -1, or 0 when the three
// joints are in line (the bones' directions differ by less than about 0.006 degrees).
int bendSide(PointF pivot, PointF middle, PointF end);

// Reach posing: the handle at the end of a segment is dragged and the two bones above it bend
// so that it meets the pointer, the way an arm or a leg follows its hand or foot. The lower bone
// is the dragged segment; the upper bone runs from the pivot to the dragged segment's start
// joint and turns with the nearest dynamic segment above it. Static segments in between turn
// rigidly with it, as they always follow the segment they hang from; the dragged segment's own
// branch and every joined figure follow like an ordinary handle drag. Only angles change, so
// every length is kept.
//
// The bend keeps the side it had when the drag started, so an elbow never flips over while the
// pointer passes through or beyond the straight pose. A chain that starts straight takes the
// side that turns its upper bone least the first time it bends.
class ReachDrag {
public:
    // Starts a reach on the handle of segment of figure in frame. False, leaving the drag
    // inactive, when the handle has no dynamic segment above it to bend with (the segment hangs
    // from the root, or only static segments lie between it and the root).
    bool begin(const Figures& frame, const FigureTypeList& types, int figure, int segment);
    // Bends the chain so that the handle meets point (animation coordinates).
    void moveTo(Figures& frame, const FigureTypeList& types, PointF point);
    void end() { *this = ReachDrag(); }

    bool active() const { return m_figure >= 0; }
    int figure() const { return m_figure; }
    int upperSegment() const { return m_upper; }
    // The remembered bend side, 0 while the chain has not yet bent.
    int side() const { return m_side; }

private:
    int m_figure = -1;
    int m_lower = -1; // the dragged segment; its end joint carries the handle
    int m_upper = -1; // the dynamic segment that turns the upper bone; starts at the pivot
    int m_side = 0;
};

} // namespace kelto

#pragma once

#include "model/figures.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kelto {

// The dotted border lines around the animation area: top, right, bottom, left.
enum BorderSide { BorderTop = 0, BorderRight = 1, BorderBottom = 2, BorderLeft = 3 };
using BorderFlags = std::array<bool, 4>;

// Rectangles overlap unless one lies wholly beside, above or below the other; touching edges
// count as overlapping.
bool rectsOverlap(const Rect& a, const Rect& b);
// Whether r crosses the horizontal line y = c that runs from x = a to x = b.
bool crossesHorizontalLine(const Rect& r, int c, int a, int b);
// Whether r crosses the vertical line x = c that runs from y = a to y = b.
bool crossesVerticalLine(const Rect& r, int c, int a, int b);
// Sets the flag of every border line that r (animation coordinates) crosses; set flags stay.
void markBorderCrossings(const Rect& r, int animWidth, int animHeight, BorderFlags& flags);

// Deeper chains of overlapping figures than this are cheaper to redraw whole.
inline constexpr int kRedrawRecursionLimit = 15;

// What must be redrawn after figure `changed` moved from oldBounds to its current bounds.
struct RedrawPlan {
    bool full = false;           // redraw the whole scene instead
    std::vector<uint8_t> marked; // per figure number
    BorderFlags borders{};
};

// The partial-redraw set: the changed figure, every figure meeting its old or new box, and
// transitively every figure meeting the box of a figure already in the set. Falls back to a
// full redraw with onion skins, a multiple selection, joined figures, or a chain deeper than
// the recursion limit.
RedrawPlan planRedraw(const Figures& frame, int changed, const Rect& oldBounds, int animWidth,
                      int animHeight, int numOnion);
// The same over the boxes the figures cover on a zoomed view (boxes[i] for figure i, oldBox for
// the changed figure's old place), relative to the corner of an area areaWidth x areaHeight.
RedrawPlan planRedraw(const Figures& frame, const std::vector<Rect>& boxes, int changed,
                      const Rect& oldBox, int areaWidth, int areaHeight, int numOnion);

} // namespace kelto

#pragma once

#include "model/figures.h"
#include "model/reach.h"

#include <QString>
#include <Qt>

#include <cstdint>
#include <vector>

namespace kelto {

// The state of a mouse gesture on the canvas, from the press to the release.
struct CanvasDrag {
    int downX = 0, downY = 0; // canvas coordinates
    PointF last;              // animation coordinates of the last handled point
    int figure = -1;
    int handle = kNoHandle;
    bool active = false;
    bool moved = false;
    int pendingSelect = -1;
    bool snap = false;
    // The select box: the press point is its fixed corner.
    bool boxActive = false;
    int boxX = 0, boxY = 0;
    std::vector<uint8_t> inside; // per figure: joint 0 entered the box during this gesture
    uint8_t heldArrows = 0;      // the arrow keys held down now (bit per direction)
    ReachDrag reach;             // active while a handle drag bends the chain above it
};

// Held at the press on a handle, it makes the drag a reach: the two segments above the handle
// bend so that it follows the pointer. Shift, Ctrl and Alt already have their own meanings.
inline constexpr Qt::KeyboardModifier kReachModifier = Qt::MetaModifier;

// One step of the select box over rectangle box (animation coordinates): figures whose joint 0
// entered it are added; figures that entered and left again are dropped, but never the last
// selected one and never a figure selected before the box started. True when the selection
// changed.
bool applySelectBox(Figures& figures, std::vector<uint8_t>& inside, const Rect& box);

// The opacity label's text for a transparency 0..255, and its left edge so that it stays
// centred under the bar.
QString opacityText(int transparency);
int opacityLabelLeft(const QString& text);

// The scale control's value for a figure scale: percent, halves to the even integer.
int scaleEditFromScale(double scale);

// The value typed in the scale control as a scale, or a negative number when the text is not
// a usable value (empty, starting with "-" or ".", not a number, above the maximum).
double scaleFromText(const QString& text, int maximum);

// Ctrl+Left/Right: the figure number before / after i, wrapping around.
int neighbourFigure(int i, int count, bool forward);

} // namespace kelto

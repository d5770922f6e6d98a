#pragma once

#include "model/figure.h"

#include <climits>
#include <cstdint>
#include <vector>

namespace kelto {

using FigureTypeList = std::vector<FigureType>;

inline constexpr int kMaxFiguresPerFrame = 65535;

// The identity after id for a new figure; the top of the range is handed out again rather
// than wrapping round to identities far below.
constexpr int32_t followingFigureID(int32_t id) {
    return id < INT32_MAX ? id + 1 : id;
}

struct HitResult {
    int handle = kNoHandle; // segment number, kMainHandle or kNoHandle
    int figure = -1;
};

enum class DuplicateResult { Done, NothingSelected, TooManyFigures };

// The figure set of one frame: figures, draw order, selection, joins, background and repeat
// count. New and duplicated figures take identities above all others and are appended, but
// frames read from files or pasted may hold identities in any order, repeats included.
class Figures {
public:
    std::vector<Figure> figures;
    std::vector<uint16_t> drawOrder; // bottom first
    uint8_t backgroundIndex = 0;
    uint16_t repeatCount = 1;
    uint8_t timelineSelected = 0;
    uint8_t joinMode = 0;
    std::vector<uint16_t> selection; // the first entry is the primary selected figure
    PointF selectionCentre;

    int figureCount() const { return static_cast<int>(figures.size()); }
    int selectedCount() const { return static_cast<int>(selection.size()); }

    void setCount(int n);
    void assign(const Figures& source);

    void select(int i, bool exclusive);
    void deselect(int i);
    void selectAll();
    void clearSelection();
    void updateSelectionCentre();

    // The topmost handle under point (animation coordinates), with handle sizes, the "show
    // handles" choice and the zoom taken from view.
    HitResult hitTest(const FigureTypeList& types, PointF point, const HandleView& view) const;

    void moveFigure(int i, double dx, double dy);
    void moveSelection(double dx, double dy);
    // "Center Figure": the selection's centre (or a single figure's joint 0) to the area centre.
    void centreSelection(int animWidth, int animHeight);

    // Returns whether the figure's scale changed.
    bool dragHandle(const FigureTypeList& types, int i, int segment, PointF point, bool snap,
                    Modifiers mods);
    void scaleSelection(const FigureTypeList& types, float newScale);
    void flipSelection(const FigureTypeList& types);
    DuplicateResult duplicateSelection(int32_t& lastFigureID);
    void deleteFigure(int i);
    bool raise(bool oneStep);
    bool lower(bool oneStep);

    void beginJoin(int i);
    bool join(int child, int parent, int joint);
    void unjoin(int i);
    void reattachJoined(int i);
    void rebuildJoinLists();
    // i and every figure hanging on it, directly or further down, breadth first.
    std::vector<uint16_t> collectJoined(int i) const;

    // The figure holding identity id, or -1. Works whatever the order of the identities: the
    // hint (usually the figure's number in the frame the identity comes from) is tried first,
    // then the figures nearest to it, so with repeated identities the one closest to the
    // hint wins and on a tie the lower number.
    int findByID(int32_t id, int hint) const;

    void recomputeOrderPositions();

private:
    void applyCountSelectionRule();
    void scaleRotateFigure(const FigureTypeList& types, int i, double factor, double turn);
    void turnBranchWithJoined(const FigureTypeList& types, int i, int segment, double delta);
    void removeFromJoinList(int parent, int joint, int child);
};

} // namespace kelto

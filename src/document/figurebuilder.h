#pragma once

#include "model/figure.h"
#include "model/figuretype.h"
#include "model/geometry.h"

#include <cstdint>
#include <optional>

namespace kelto {

class Document;

// What the status line of the builder says about the selected segment.
struct SegmentFacts {
    int segmentCount = 0;
    uint8_t kind = 0;
    int thickness = 0; // cut towards zero, as shown
    int length = 0;    // rounded
    int bearing = 0;   // degrees clockwise from up, 0..359
    bool isStatic = false;
};

// How an edit that may be refused ended.
enum class BuildResult { Done, Unchanged, TooManySegments };

// The figure builder's editing of the document's working figure type (entry 0): one figure of
// that type posed on the builder's canvas and a selected segment. Every operation leaves the
// type, the figure's joints and poses and the selection consistent, and reports whether it
// changed anything, so the window only draws and records undo steps.
class FigureBuilder {
public:
    static constexpr float kMaxThickness = 1000;
    static constexpr float kNewLength = 48;
    static constexpr float kNewThickness = 6;

    explicit FigureBuilder(Document& document);

    const FigureType& type() const;
    const Figure& figure() const { return m_figure; }
    int selected() const { return m_selected; }
    // Whether the selection names a segment of a figure that matches its type. A type always
    // has one, but a damaged state must not be trusted.
    bool hasSelection() const;
    bool canAddSegment() const { return type().segmentCount() < kMaxSegments; }

    // A new one-segment type: a dynamic line of length 48 and thickness 6 pointing up from
    // centre.
    void startNew(PointF centre);
    // source as the working type, its figure rooted at root, the first segment selected. False,
    // with nothing changed, for a type without segments.
    bool load(const FigureType& source, PointF root);
    // Puts back a remembered state (undo and redo).
    void restore(const FigureType& type, const Figure& figure, int selected);

    // Selects the segment under point (a segment's end handle); returns the handle hit, which
    // may be kMainHandle or kNoHandle (then the selection stays).
    int selectAt(PointF point);
    int hitHandle(PointF point) const;
    // The joint a new segment starts from when the user picks this handle.
    int startJointOfHandle(int handle) const;
    // The thickness a new segment from this joint takes: that of the segment ending there (the
    // first segment for the root).
    float parentThickness(int joint) const;

    // A segment of kind from startJoint to end, selected. TooManySegments at the limit.
    BuildResult addSegment(int startJoint, uint8_t kind, PointF end);
    // A copy of the selected segment (kind given, as the duplicate may have been toggled) from
    // startJoint, parallel to it; the copy becomes selected.
    BuildResult addDuplicate(int startJoint, uint8_t kind);

    // Line <-> circle; a picture segment becomes a line.
    bool toggleKind();
    // circle -> filled -> hollow -> circle; false for lines and pictures.
    bool cycleCircleFill();
    bool toggleStatic();
    // One pixel (five with bigStep) thicker or thinner, kept within 0..kMaxThickness.
    bool changeThickness(bool thicker, bool bigStep);
    BuildResult splitSelected();
    // False when refused: the figure would lose its last root segment.
    bool deleteSelected(bool wholeBranch);
    // The selected segment's end becomes the root; the drawing stays in place.
    bool makeSelectedEndRoot();

    // A drag of a handle by the pointer from one position to the next. The main handle moves
    // the figure; in edit mode a segment handle moves its joint alone (the segments on both
    // sides change their lengths and directions); otherwise the pose changes and becomes the
    // type's. Returns false when the handle is no handle.
    bool dragHandle(int handle, PointF from, PointF to, Modifiers mods, bool editMode);

    // Copies the figure's pose into the type's angles, lengths and thicknesses.
    void storePose();
    // The type as it is handed on (saved or added to the animation): the pose stored and
    // pictures no segment uses dropped.
    const FigureType& finishedType();

    std::optional<SegmentFacts> selectedFacts() const;

private:
    FigureType& workingType();
    void recompute();
    void rebuild(PointF root);
    void moveJoint(int segment, PointF to);

    Document& m_doc;
    Figure m_figure;
    int m_selected = 0;
};

} // namespace kelto

#pragma once

#include "model/figuretype.h"
#include "model/geometry.h"
#include "model/inlinevector.h"

#include <cstdint>
#include <vector>

namespace kelto {

struct FigureJoint {
    float x = 0;
    float y = 0;
};

struct SegmentPose {
    double angle = 0; // absolute, like Segment::angle
    float length = 0; // pixels at scale 1
};

// A figure of the same frame hanging on one of this figure's joints.
struct JoinedFigure {
    uint16_t figure = 0;
    uint8_t joint = 0;
};

// Figures with up to this many segments (the built-in stick man's twelve) keep their joints and
// pose inside the figure, so a frame of them is one block of memory; larger types spill to the
// heap.
inline constexpr uint32_t kInlineSegments = 12;
using JointList = InlineVector<FigureJoint, kInlineSegments + 1>;
using PoseList = InlineVector<SegmentPose, kInlineSegments>;

inline constexpr int kMainHandle = -1;
inline constexpr int kNoHandle = -2;

// What the hit tests need to know of the view, handed in by the caller so the model depends
// on neither the settings nor the canvas: handle diameters in screen pixels, whether handles
// shrink between close joints, whether unselected figures show their segment handles, and the
// zoom (screen pixels per animation pixel). Handles keep their screen size at every zoom.
struct HandleView {
    double minSize = 4;
    double maxSize = 10;
    bool shrinkClose = true;
    bool showHandles = true;
    double zoom = 1;
};

// The handle sizes the user's options ask for, at the given zoom: what the editor hands in.
HandleView settingsHandleView(double zoom = 1);

// One posed figure of one frame. Its joints follow from the pose by a single pass from the root.
// The figure names its type by index; operations that need the type take it as a parameter.
class Figure {
public:
    // The fields are ordered so the small ones share words: a long animation holds millions
    // of figures.
    float scale = 1.0f;
    Rect bounds;
    uint32_t colour = 0;      // 0x00BBGGRR
    uint8_t transparency = 0; // 0 opaque .. 255 invisible
    uint16_t typeIndex = 0;
    uint8_t flipped = 0;
    uint8_t stretchedCount = 0; // segments whose length differs from the type's
    uint8_t isJoined = 0;
    uint16_t joinParent = 0;
    uint8_t joinJoint = 0;
    uint8_t joinCandidate = 0;
    uint8_t visited = 0;
    uint16_t orderPos = 0;
    uint32_t joinedChildCount = 0; // derived: joined.size()
    int32_t selectionPos = -1;
    int32_t figureID = -1;
    JointList jointPos; // joint 0 (the root) first; the rest follow from the pose
    PoseList pose;
    // Figures hanging on this one, grouped by joint in ascending order and, within a joint, in
    // the order they were joined. Empty (no heap block) for most figures. Kept by Figures.
    std::vector<JoinedFigure> joined;

    void setType(uint16_t index, const FigureType& type);
    // Copies everything but the frame-local marks; the copy is not selected.
    void assign(const Figure& source);

    void placeRoot(PointF point, const FigureType& type);
    void setScale(float s, const FigureType& type);
    void rotateAll(double delta, const FigureType& type);
    void move(double dx, double dy);
    void updateBounds(const FigureType& type);

    // Joints from joint 0, in extended precision, stored as singles.
    void computeJoints(const FigureType& type);
    void computeEndJoint(const FigureType& type, int segment);
    void rotatePose(double delta);

    // The handle's radius in screen pixels (the same at every zoom); the first form takes the
    // sizes from the settings.
    double handleRadius(const FigureType& type, int joint) const;
    double handleRadius(const FigureType& type, int joint, const HandleView& view) const;
    // A segment number (its end-joint handle), kMainHandle or kNoHandle. point is in
    // animation coordinates; the first form takes the sizes from the settings at zoom 1.
    int hitHandle(const FigureType& type, PointF point, bool allHandles, bool handlesShown) const;
    int hitHandle(const FigureType& type, PointF point, bool allHandles, bool handlesShown,
                  const HandleView& view) const;
    // The pose edit of the figure builder.
    void dragHandle(const FigureType& type, int segment, PointF point, bool snap, Modifiers mods);
    bool insideRect(const Rect& r) const;

    PointF joint(int j) const { return {jointPos[size_t(j)].x, jointPos[size_t(j)].y}; }
    // The figures hanging on joint j, in the order they were joined.
    std::vector<uint16_t> joinedFigures(int j) const;
    bool hasJoinedAt(int j) const;
    // Adds child at the end of joint j's list.
    void addJoined(uint16_t child, uint8_t j);
    // Takes child off joint j's list, moving the list's last entry into its place; false when
    // it was not there.
    bool removeJoined(uint16_t child, uint8_t j);
    void clearJoined();
    int segmentCount() const { return static_cast<int>(pose.size()); }

    // The Ctrl stretch of a drag: the length follows the pointer, snapping back to the type's
    // length within 8 pixels when snap is set; keeps stretchedCount.
    void stretchSegment(const FigureType& type, int segment, PointF point, bool snap);
    // Turns segment s and everything below it by delta about its start joint.
    void turnBranch(const FigureType& type, int segment, double delta);
};

// The margins Figure::updateBounds works out for one type at one scale, gathered per joint, so
// that many figures of that type and scale with the type's own lengths (a file's usual figures)
// get the same box with one extension per joint instead of two per segment. Types with picture
// segments are not planned: their extent depends on the angles. Valid while the type and the
// handle settings stay as they were when prepared.
class BoundsPlan {
public:
    // Returns false, leaving the plan unusable, for a type with picture segments.
    bool prepare(const FigureType& type, float scale);
    bool isFor(float scale) const;
    // The figure must be of the planned type, its joints placed and finite, its lengths the
    // type's.
    Rect boundsOf(const Figure& f) const;

private:
    struct Circle {
        uint8_t start;
        uint8_t end;
        double radius;
    };
    bool m_ready = false;
    uint32_t m_scaleBits = 0;
    std::vector<double> m_jointMargin;
    std::vector<Circle> m_circles;
};

} // namespace kelto

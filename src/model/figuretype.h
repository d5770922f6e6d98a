#pragma once

#include "graphics/sprite.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelto {

enum SegmentKind : uint8_t {
    skLine = 0,
    skCircle = 1,
    skImage = 2,
    skFilledCircle = 3,
    skHollowCircle = 4,
};

inline bool isCircleKind(uint8_t kind) {
    return kind == skCircle || kind == skFilledCircle || kind == skHollowCircle;
}

// One segment of a figure type. Files store this record verbatim, so its layout is fixed.
struct Segment {
    uint8_t startJoint = 0; // the end nearer the root
    uint8_t endJoint = 0;
    uint8_t padding1[2] = {0, 0};
    float length = 0; // pixels at scale 1; the diameter for circle kinds
    double angle = 0; // absolute direction in radians, y downwards (3*pi/2 points up)
    float thickness = 0;
    uint8_t kind = skLine;
    uint8_t isStatic = 0; // 1 = no handle of its own in the animation editor
    uint8_t padding2[2] = {0, 0};
};
static_assert(sizeof(Segment) == 24);
static_assert(offsetof(Segment, length) == 4);
static_assert(offsetof(Segment, angle) == 8);
static_assert(offsetof(Segment, thickness) == 16);
static_assert(offsetof(Segment, kind) == 20);
static_assert(offsetof(Segment, isStatic) == 21);

struct ImageRef {
    uint8_t imageIndex = 0;
    uint8_t imageReversed = 0;
};

// Derived from the segments by rebuildJoints().
struct JointInfo {
    std::vector<uint8_t> children; // segments starting here, ascending
    int16_t inSegment = -1;        // the segment ending here; -1 for the root
};

inline constexpr int kMaxSegments = 255;

// The skeleton figures are made from: a tree of segments hung between numbered joints, listed in
// tree order (every segment starts at the root or at the end of a lower-numbered segment), so
// joint positions follow from one pass over the segments.
class FigureType {
public:
    std::vector<Segment> segments;
    std::vector<JointInfo> joints; // segmentCount() + 1 entries
    std::vector<ImageRef> imageRefs;
    std::vector<Sprite> images;

    FigureType();

    int segmentCount() const { return static_cast<int>(segments.size()); }
    int jointCount() const { return segmentCount() + 1; }
    int imageCount() const { return static_cast<int>(images.size()); }

    void assign(const FigureType& source) { *this = source; }
    void setSegmentCount(int n);
    void setImageCount(int n);
    void rebuildJoints();

    void addSegment(uint8_t startJoint, uint8_t kind, float length, float thickness, double angle,
                    uint8_t isStatic, uint8_t imageIndex);
    void splitSegment(int s);
    // Returns false when refused (the figure would lose its last root segment).
    bool deleteSegment(int s, bool wholeBranch);
    void makeRoot(int s);
    void dropUnusedImages();

    // Segments below s (s first), breadth first through the children of each end joint.
    std::vector<int> branchFrom(int s) const;

    bool hasImageSegment() const;

private:
    void removeOneSegment(int b);
    void removePictureIfUnused(int b);
};

FigureType createStickmanType();

} // namespace kelto

#include "model/figuretype.h"

#include "model/geometry.h"

#include <algorithm>

namespace kelto {

FigureType::FigureType() : joints(1) {}

void FigureType::setSegmentCount(int n) {
    n = std::clamp(n, 0, kMaxSegments);
    if (n < segmentCount()) {
        for (int j = n + 1; j < jointCount(); ++j) {
            joints[j].children.clear();
        }
    }
    segments.resize(n);
    imageRefs.resize(n); // new entries start with imageReversed 0
    joints.resize(n + 1);
}

void FigureType::setImageCount(int n) {
    images.resize(std::max(0, n));
}

void FigureType::rebuildJoints() {
    joints.assign(segments.size() + 1, JointInfo{});
    joints[0].inSegment = -1;
    for (int j = 0; j < segmentCount(); ++j) {
        const Segment& seg = segments[j];
        joints[seg.startJoint].children.push_back(static_cast<uint8_t>(j));
        joints[seg.endJoint].inSegment = static_cast<int16_t>(j);
    }
}

void FigureType::addSegment(uint8_t startJoint, uint8_t kind, float length, float thickness,
                            double angle, uint8_t isStatic, uint8_t imageIndex) {
    if (segmentCount() >= kMaxSegments || startJoint > segmentCount()) {
        return; // callers refuse before this; joint numbers are bytes
    }
    setSegmentCount(segmentCount() + 1);
    const int s = segmentCount() - 1;
    const int e = segmentCount();
    Segment& seg = segments[s];
    seg = Segment{};
    seg.startJoint = startJoint;
    seg.endJoint = static_cast<uint8_t>(e);
    seg.length = length;
    seg.angle = angle;
    seg.thickness = thickness;
    seg.kind = kind;
    seg.isStatic = isStatic;
    imageRefs[s].imageIndex = imageIndex;

    joints[e].children.clear();
    joints[e].inSegment = static_cast<int16_t>(s);
    joints[startJoint].children.push_back(static_cast<uint8_t>(s));
    if (s == 0) {
        joints[startJoint].inSegment = -1;
    }
}

void FigureType::splitSegment(int s) {
    const int d = segmentCount();
    if (s < 0 || s >= d || d >= kMaxSegments) {
        return;
    }
    setSegmentCount(d + 1);
    for (int k = d - 1; k > s; --k) {
        segments[k + 1] = segments[k];
        imageRefs[k + 1] = imageRefs[k];
    }
    for (JointInfo& joint : joints) {
        if (joint.inSegment > s) {
            ++joint.inSegment;
        }
        for (uint8_t& child : joint.children) {
            if (child > s) {
                ++child;
            }
        }
    }
    const int newJoint = d + 1;
    const int oldEnd = segments[s].endJoint;
    joints[newJoint].children = {static_cast<uint8_t>(s + 1)};
    joints[newJoint].inSegment = static_cast<int16_t>(s);
    joints[oldEnd].inSegment = static_cast<int16_t>(s + 1);

    segments[s + 1] = segments[s];
    imageRefs[s + 1] = imageRefs[s];
    const float half = segments[s].length / 2;
    segments[s].endJoint = static_cast<uint8_t>(newJoint);
    segments[s].length = half;
    segments[s + 1].startJoint = static_cast<uint8_t>(newJoint);
    segments[s + 1].length = half;
}

std::vector<int> FigureType::branchFrom(int s) const {
    std::vector<int> walk{s};
    for (size_t i = 0; i < walk.size(); ++i) {
        for (uint8_t child : joints[segments[walk[i]].endJoint].children) {
            walk.push_back(child);
        }
    }
    return walk;
}

bool FigureType::deleteSegment(int s, bool wholeBranch) {
    if (s < 0 || s >= segmentCount()) {
        return false;
    }
    const Segment seg = segments[s];
    const bool endHasChildren = !joints[seg.endJoint].children.empty();
    if (seg.startJoint == 0 && joints[0].children.size() == 1 && (wholeBranch || !endHasChildren)) {
        return false;
    }

    std::vector<int> doomed;
    if (wholeBranch) {
        doomed = branchFrom(s);
    } else {
        doomed = {s};
        // The children of the removed segment are hung on its start joint.
        for (uint8_t child : joints[seg.endJoint].children) {
            segments[child].startJoint = seg.startJoint;
            joints[seg.startJoint].children.push_back(child);
        }
        joints[seg.endJoint].children.clear();
    }

    while (!doomed.empty()) {
        const int b = doomed.back();
        doomed.pop_back();
        removeOneSegment(b);
        for (int& pending : doomed) {
            if (pending > b) {
                --pending;
            }
        }
    }
    return true;
}

void FigureType::removeOneSegment(int b) {
    const int freedJoint = segments[b].endJoint;
    const int highest = segmentCount();
    // The highest-numbered joint takes the number the removed segment's end joint leaves free.
    if (highest != freedJoint) {
        for (uint8_t child : joints[highest].children) {
            segments[child].startJoint = static_cast<uint8_t>(freedJoint);
        }
        if (joints[highest].inSegment >= 0) {
            segments[joints[highest].inSegment].endJoint = static_cast<uint8_t>(freedJoint);
        }
    }
    removePictureIfUnused(b);
    for (int k = b; k + 1 < segmentCount(); ++k) {
        segments[k] = segments[k + 1];
        imageRefs[k] = imageRefs[k + 1];
    }
    setSegmentCount(segmentCount() - 1);
    rebuildJoints();
}

void FigureType::removePictureIfUnused(int b) {
    if (segments[b].kind != skImage) {
        return;
    }
    const int index = imageRefs[b].imageIndex;
    for (int k = 0; k < segmentCount(); ++k) {
        if (k != b && segments[k].kind == skImage && imageRefs[k].imageIndex == index) {
            return;
        }
    }
    if (index >= imageCount()) {
        return;
    }
    const int last = imageCount() - 1;
    if (index != last) {
        images[index].assign(images[last]);
        for (int k = 0; k < segmentCount(); ++k) {
            if (segments[k].kind == skImage && imageRefs[k].imageIndex == last) {
                imageRefs[k].imageIndex = static_cast<uint8_t>(index);
            }
        }
    }
    setImageCount(last);
}

void FigureType::makeRoot(int s) {
    if (s < 0 || s >= segmentCount()) {
        return;
    }
    struct Entry {
        int segment;
        int from; // -1 when walked forwards
        int newStart;
    };
    FigureType result;
    result.images = images;
    std::vector<Entry> queue{{s, s, 0}};
    for (size_t i = 0; i < queue.size(); ++i) {
        const Entry entry = queue[i];
        const Segment& old = segments[entry.segment];
        const bool backwards = entry.from != -1;
        const int newEnd = result.segmentCount() + 1;

        for (uint8_t child : joints[old.endJoint].children) {
            if (child != entry.from) {
                queue.push_back({child, -1, backwards ? entry.newStart : newEnd});
            }
        }
        double angle = old.angle;
        if (backwards) {
            const int p = old.startJoint;
            if (p == 0) {
                for (uint8_t child : joints[0].children) {
                    if (child != entry.segment) {
                        queue.push_back({child, -1, newEnd});
                    }
                }
            } else {
                queue.push_back({joints[p].inSegment, entry.segment, newEnd});
            }
            angle += kPi;
            if (angle > kPi) {
                angle -= 2 * kPi;
            }
        }
        result.addSegment(static_cast<uint8_t>(entry.newStart), old.kind, old.length, old.thickness,
                          angle, old.isStatic, imageRefs[entry.segment].imageIndex);
        if (old.kind == skImage) {
            result.imageRefs.back().imageReversed =
                imageRefs[entry.segment].imageReversed ^ (backwards ? 1 : 0);
        }
    }
    assign(result);
}

void FigureType::dropUnusedImages() {
    if (!images.empty() && !hasImageSegment()) {
        images.clear();
    }
}

bool FigureType::hasImageSegment() const {
    return std::any_of(segments.begin(), segments.end(),
                       [](const Segment& seg) { return seg.kind == skImage; });
}

FigureType createStickmanType() {
    struct Row {
        uint8_t start;
        uint8_t kind;
        float length;
        float thickness;
        double angle;
        uint8_t isStatic;
    };
    const Row rows[] = {
        {0, skLine, 32, 14, 3 * kPi / 2, 0},  // lower body
        {1, skLine, 32, 14, 3 * kPi / 2, 0},  // upper body
        {2, skLine, 33, 14, 3 * kPi / 2, 0},  // neck
        {3, skCircle, 20, 20, kPi / 2, 1},    // head: a disc, pen as wide as the diameter
        {2, skLine, 38, 14, 3 * kPi / 4, 0},  // upper arm
        {2, skLine, 38, 14, kPi / 4, 0},      // upper arm
        {5, skLine, 40, 14, 2 * kPi / 3, 0},  // forearm
        {6, skLine, 40, 14, kPi / 3, 0},      // forearm
        {0, skLine, 50, 14, 5 * kPi / 8, 0},  // thigh
        {0, skLine, 50, 14, 3 * kPi / 8, 0},  // thigh
        {9, skLine, 50, 14, 5 * kPi / 8, 0},  // shin
        {10, skLine, 50, 14, 3 * kPi / 8, 0}, // shin
    };
    FigureType type;
    for (const Row& r : rows) {
        type.addSegment(r.start, r.kind, r.length, r.thickness, r.angle, r.isStatic, 0);
    }
    return type;
}

} // namespace kelto

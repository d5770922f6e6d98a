#include "model/integrity.h"

#include <algorithm>
#include <cmath>

namespace kelto {

namespace {

std::string at(const char* what, int index) {
    return std::string(what) + " " + std::to_string(index);
}

} // namespace

std::string verifyFigureType(const FigureType& type) {
    const int n = type.segmentCount();
    if (n > kMaxSegments) {
        return "too many segments";
    }
    if (static_cast<int>(type.joints.size()) != n + 1 ||
        static_cast<int>(type.imageRefs.size()) != n) {
        return "joint or picture-reference table has the wrong size";
    }
    std::vector<char> endSeen(n + 1, 0);
    std::vector<char> reached(n + 1, 0);
    reached[0] = 1;
    bool rootUsed = false;
    for (int s = 0; s < n; ++s) {
        const Segment& seg = type.segments[s];
        if (seg.endJoint < 1 || seg.endJoint > n || endSeen[seg.endJoint]) {
            return at("end joints are not a permutation at segment", s);
        }
        endSeen[seg.endJoint] = 1;
        if (seg.startJoint > n || !reached[seg.startJoint]) {
            return at("segment is not in tree order:", s);
        }
        reached[seg.endJoint] = 1;
        rootUsed = rootUsed || seg.startJoint == 0;
        if (seg.kind > skHollowCircle) {
            return at("unknown kind of segment", s);
        }
        if (seg.kind == skImage && type.imageRefs[s].imageIndex >= type.imageCount()) {
            return at("picture index out of range at segment", s);
        }
        if (!std::isfinite(seg.length) || !std::isfinite(seg.angle) ||
            !std::isfinite(seg.thickness)) {
            return at("non-finite size or angle at segment", s);
        }
    }
    if (n > 0 && !rootUsed) {
        return "no segment starts at the root";
    }
    // The derived joint table must match what the segments say.
    FigureType rebuilt;
    rebuilt.segments = type.segments;
    rebuilt.imageRefs = type.imageRefs;
    rebuilt.rebuildJoints();
    for (int j = 0; j <= n; ++j) {
        if (rebuilt.joints[j].children != type.joints[j].children ||
            rebuilt.joints[j].inSegment != type.joints[j].inSegment) {
            return at("stale joint information at joint", j);
        }
    }
    return {};
}

std::string verifyFrame(const Figures& frame, const FigureTypeList& types) {
    const int count = frame.figureCount();
    if (static_cast<int>(frame.drawOrder.size()) != count) {
        return "draw order has the wrong size";
    }
    std::vector<char> inOrder(count, 0);
    for (int p = 0; p < count; ++p) {
        const int i = frame.drawOrder[p];
        if (i >= count || inOrder[i]) {
            return at("draw order is not a permutation at position", p);
        }
        inOrder[i] = 1;
        if (frame.figures[i].orderPos != p) {
            return at("stale draw-order position of figure", i);
        }
    }
    for (int pos = 0; pos < frame.selectedCount(); ++pos) {
        const int i = frame.selection[pos];
        if (i >= count || frame.figures[i].selectionPos != pos) {
            return at("selection list and positions disagree at", pos);
        }
    }
    int selectedMarks = 0;
    for (int i = 0; i < count; ++i) {
        const Figure& f = frame.figures[i];
        selectedMarks += f.selectionPos >= 0;
        if (f.typeIndex >= types.size()) {
            return at("unknown figure type at figure", i);
        }
        const FigureType& type = types[f.typeIndex];
        if (f.segmentCount() != type.segmentCount() ||
            static_cast<int>(f.jointPos.size()) != type.jointCount()) {
            return at("pose does not fit its type at figure", i);
        }
        int lastJoint = 0;
        for (const JoinedFigure& entry : f.joined) {
            const uint16_t child = entry.figure;
            if (entry.joint < lastJoint || entry.joint >= type.jointCount()) {
                return at("joined list out of joint order at figure", i);
            }
            lastJoint = entry.joint;
            if (child >= count || !frame.figures[child].isJoined ||
                frame.figures[child].joinParent != i ||
                frame.figures[child].joinJoint != entry.joint) {
                return at("joined list disagrees with its child at figure", i);
            }
        }
        if (f.joined.size() != f.joinedChildCount) {
            return at("joined child count is wrong at figure", i);
        }
        if (f.isJoined) {
            if (f.joinParent >= count || f.joinParent == i) {
                return at("bad join parent at figure", i);
            }
            const Figure& parent = frame.figures[f.joinParent];
            if (f.joinJoint >= parent.jointPos.size()) {
                return at("bad join joint at figure", i);
            }
            const auto siblings = std::count_if(
                parent.joined.begin(), parent.joined.end(), [&](const JoinedFigure& entry) {
                    return entry.joint == f.joinJoint && entry.figure == i;
                });
            if (siblings != 1) {
                return at("joined figure missing from its parent's list:", i);
            }
        }
    }
    if (selectedMarks != frame.selectedCount()) {
        return "selection marks and list disagree";
    }
    // No join cycles: following parents from any figure ends within count steps.
    for (int i = 0; i < count; ++i) {
        int k = i;
        for (int steps = 0; frame.figures[k].isJoined; ++steps) {
            if (steps > count) {
                return at("join cycle through figure", i);
            }
            k = frame.figures[k].joinParent;
        }
    }
    return {};
}

} // namespace kelto

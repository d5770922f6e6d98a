#include "model/figure.h"

#include "settings/appsettings.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace kelto {

namespace {

constexpr double kNoLimit = 3.4e38;

// Accumulates a box in doubles; rounding outwards happens once at the end.
struct BoxBuilder {
    double left = 1000000, top = 1000000, right = -1000000, bottom = -1000000;

    void extend(double x, double y, double margin) {
        left = std::min(left, x - margin);
        top = std::min(top, y - margin);
        right = std::max(right, x + margin);
        bottom = std::max(bottom, y + margin);
    }
    void join(const BoxBuilder& other) {
        left = std::min(left, other.left);
        top = std::min(top, other.top);
        right = std::max(right, other.right);
        bottom = std::max(bottom, other.bottom);
    }
    Rect rect() const {
        return {static_cast<int32_t>(std::floor(left)), static_cast<int32_t>(std::floor(top)),
                static_cast<int32_t>(std::ceil(right)), static_cast<int32_t>(std::ceil(bottom))};
    }
};

// The end joint of a segment from its start joint. The reach, a product of two singles, is
// exact in extended precision. Cosine and sine of the (double) angle are taken in double: the
// extended-precision versions cost six times as much and change the stored singles only in rare
// last-bit ties. The products and sums stay in extended precision and are rounded to singles
// once.
inline void placeEnd(const FigureJoint& start, FigureJoint& end, const SegmentPose& p,
                     float scale) {
    const long double reach = static_cast<long double>(p.length) * static_cast<long double>(scale);
    const long double c = std::cos(p.angle);
    const long double si = std::sin(p.angle);
    end.x = static_cast<float>(static_cast<long double>(start.x) + reach * c);
    end.y = static_cast<float>(static_cast<long double>(start.y) + reach * si);
}

// A picture segment's extent: the picture stands on the segment, on its left side. Flipping
// the figure mirrors it to the right side, and a reversed picture is drawn from the end joint
// back, which turns it to the other side again.
void extendByPicture(const Figure& f, const FigureType& type, int s, BoxBuilder& box) {
    const Segment& seg = type.segments[s];
    const FigureJoint& a = f.jointPos[seg.startJoint];
    const FigureJoint& b = f.jointPos[seg.endJoint];
    const int index = type.imageRefs[s].imageIndex;
    double drawnHeight = 0;
    if (index < type.imageCount() && type.images[index].width() > 0) {
        const Sprite& pic = type.images[index];
        drawnHeight = double(pic.height()) * f.scale * f.pose[s].length / pic.width();
    }
    const bool rightSide = (f.flipped != 0) != (type.imageRefs[s].imageReversed != 0);
    const double side = rightSide ? kPi / 2 : -kPi / 2;
    const double dir = f.pose[s].angle + side;
    const double ox = drawnHeight * std::cos(dir);
    const double oy = drawnHeight * std::sin(dir);
    box.extend(a.x + ox, a.y + oy, 1);
    box.extend(b.x + ox, b.y + oy, 1);
    box.extend(a.x, a.y, 1);
}

int32_t clampToInt(double v) {
    return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

} // namespace

void Figure::setType(uint16_t index, const FigureType& type) {
    const int n = type.segmentCount();
    jointPos.assign(n + 1, FigureJoint{});
    pose.resize(n);
    for (int s = 0; s < n; ++s) {
        pose[s].angle = type.segments[s].angle;
        pose[s].length = type.segments[s].length;
    }
    typeIndex = index;
    stretchedCount = 0;
    isJoined = 0;
    clearJoined();
    computeJoints(type);
    updateBounds(type);
}

void Figure::assign(const Figure& source) {
    const uint16_t keepOrderPos = orderPos;
    const uint8_t keepCandidate = joinCandidate;
    const uint8_t keepVisited = visited;
    *this = source;
    orderPos = keepOrderPos;
    joinCandidate = keepCandidate;
    visited = keepVisited;
    selectionPos = -1;
}

void Figure::computeEndJoint(const FigureType& type, int s) {
    const Segment& seg = type.segments[s];
    placeEnd(jointPos[seg.startJoint], jointPos[seg.endJoint], pose[s], scale);
}

void Figure::computeJoints(const FigureType& type) {
    // One pass from the root; the tables are read through plain pointers so the loop keeps
    // them in registers (a load spends most of its time here).
    const int n = type.segmentCount();
    const Segment* segs = type.segments.data();
    const SegmentPose* p = pose.data();
    FigureJoint* joints = jointPos.data();
    for (int s = 0; s < n; ++s) {
        placeEnd(joints[segs[s].startJoint], joints[segs[s].endJoint], p[s], scale);
    }
}

void Figure::placeRoot(PointF point, const FigureType& type) {
    jointPos[0].x = static_cast<float>(point.x);
    jointPos[0].y = static_cast<float>(point.y);
    computeJoints(type);
}

void Figure::setScale(float s, const FigureType& type) {
    scale = s;
    computeJoints(type);
    updateBounds(type);
}

void Figure::rotatePose(double delta) {
    for (SegmentPose& p : pose) {
        p.angle += delta;
    }
}

void Figure::rotateAll(double delta, const FigureType& type) {
    rotatePose(delta);
    computeJoints(type);
    updateBounds(type);
}

void Figure::move(double dx, double dy) {
    for (FigureJoint& j : jointPos) {
        j.x += static_cast<float>(dx);
        j.y += static_cast<float>(dy);
    }
    bounds.left = clampToInt(std::floor(bounds.left + dx));
    bounds.top = clampToInt(std::floor(bounds.top + dy));
    bounds.right = clampToInt(std::ceil(bounds.right + dx));
    bounds.bottom = clampToInt(std::ceil(bounds.bottom + dy));
}

void Figure::updateBounds(const FigureType& type) {
    // Start joints and end joints go into two boxes joined at the end, so their minimum and
    // maximum chains run side by side. The result is the same box in any order: the
    // accumulators start finite and std::min/std::max never take a NaN into them.
    BoxBuilder starts;
    BoxBuilder ends;
    const double maxHandle = appSettings().maxHandleSize * 0.5;
    const Segment* segs = type.segments.data();
    const FigureJoint* joints = jointPos.data();
    for (int s = type.segmentCount() - 1; s >= 0; --s) {
        const Segment& seg = segs[s];
        const FigureJoint& a = joints[seg.startJoint];
        const FigureJoint& b = joints[seg.endJoint];
        const double halfPen = std::ceil(seg.thickness * scale * 0.5);
        double margin = maxHandle;
        if (seg.kind != skImage) {
            margin = std::max(margin, halfPen);
        }
        if (isCircleKind(seg.kind)) {
            const double radius = halfPen + pose[s].length * scale * 0.5;
            ends.extend((a.x + b.x) * 0.5, (a.y + b.y) * 0.5, radius);
        } else if (seg.kind == skImage) {
            extendByPicture(*this, type, s, starts);
        }
        starts.extend(a.x, a.y, margin);
        ends.extend(b.x, b.y, margin);
    }
    if (!jointPos.empty()) {
        starts.extend(jointPos[0].x, jointPos[0].y, handleRadius(type, 0));
    }
    starts.join(ends);
    bounds = starts.rect();
}

bool BoundsPlan::prepare(const FigureType& type, float scale) {
    m_ready = false;
    if (type.hasImageSegment()) {
        return false;
    }
    const int n = type.segmentCount();
    const double maxHandle = appSettings().maxHandleSize * 0.5;
    m_scaleBits = std::bit_cast<uint32_t>(scale);
    m_jointMargin.assign(n + 1, -std::numeric_limits<double>::infinity());
    m_circles.clear();
    // x - m falls as m grows and x + m rises, both after rounding too, so of the margins a joint
    // gets from its segments only the largest decides its part of the box.
    for (int s = 0; s < n; ++s) {
        const Segment& seg = type.segments[s];
        const double halfPen = std::ceil(seg.thickness * scale * 0.5);
        const double margin = std::max(maxHandle, halfPen);
        m_jointMargin[seg.startJoint] = std::max(m_jointMargin[seg.startJoint], margin);
        m_jointMargin[seg.endJoint] = std::max(m_jointMargin[seg.endJoint], margin);
        if (isCircleKind(seg.kind)) {
            const double radius = halfPen + seg.length * scale * 0.5;
            m_circles.push_back({seg.startJoint, seg.endJoint, radius});
        }
    }
    Figure unstretched;
    unstretched.scale = scale;
    unstretched.pose.resize(n);
    for (int s = 0; s < n; ++s) {
        unstretched.pose[s].length = type.segments[s].length;
    }
    m_jointMargin[0] = std::max(m_jointMargin[0], unstretched.handleRadius(type, 0));
    m_ready = true;
    return true;
}

bool BoundsPlan::isFor(float scale) const {
    return m_ready && std::bit_cast<uint32_t>(scale) == m_scaleBits;
}

Rect BoundsPlan::boundsOf(const Figure& f) const {
    BoxBuilder box;
    const FigureJoint* joints = f.jointPos.data();
    for (size_t j = 0; j < m_jointMargin.size(); ++j) {
        box.extend(joints[j].x, joints[j].y, m_jointMargin[j]);
    }
    for (const Circle& c : m_circles) {
        const FigureJoint& a = joints[c.start];
        const FigureJoint& b = joints[c.end];
        box.extend((a.x + b.x) * 0.5, (a.y + b.y) * 0.5, c.radius);
    }
    return box.rect();
}

HandleView settingsHandleView(double zoom) {
    const AppSettings& settings = appSettings();
    HandleView view;
    view.minSize = settings.minHandleSize;
    view.maxSize = settings.maxHandleSize;
    view.shrinkClose = settings.shrinkHandlesClose;
    view.showHandles = settings.showHandles;
    view.zoom = zoom;
    return view;
}

double Figure::handleRadius(const FigureType& type, int j) const {
    return handleRadius(type, j, settingsHandleView());
}

double Figure::handleRadius(const FigureType& type, int j, const HandleView& view) const {
    double length = kNoLimit;
    double thickness = kNoLimit;
    if (j != 0 && j < type.jointCount()) {
        const int in = type.joints[j].inSegment;
        if (in >= 0 && in < segmentCount()) {
            length = pose[in].length;
            thickness = type.segments[in].thickness;
        }
    }
    if (j < type.jointCount()) {
        for (uint8_t child : type.joints[j].children) {
            length = std::min(length, double(pose[child].length));
            thickness = std::min(thickness, double(type.segments[child].thickness));
        }
    }
    const double d = 0.7 * length;
    const double minSize = view.minSize;
    const double maxSize = view.maxSize;
    double size;
    if (view.shrinkClose) {
        size = std::min(maxSize, std::max(minSize, d * scale));
    } else {
        size = std::min(maxSize, std::max(minSize, std::max(d, 1.4 * thickness) * scale));
    }
    const double radius = size * 0.5;
    return std::isfinite(radius) ? radius : maxSize * 0.5;
}

int Figure::hitHandle(const FigureType& type, PointF p, bool allHandles, bool handlesShown) const {
    return hitHandle(type, p, allHandles, handlesShown, settingsHandleView());
}

int Figure::hitHandle(const FigureType& type, PointF p, bool allHandles, bool handlesShown,
                      const HandleView& view) const {
    // Handles keep their screen size, so in animation units they shrink as the zoom grows.
    const double zoom = view.zoom > 0 && std::isfinite(view.zoom) ? view.zoom : 1.0;
    auto under = [&](int joint) {
        const double r = handleRadius(type, joint, view) / zoom;
        const FigureJoint& j = jointPos[joint];
        return j.x - r < p.x && p.x < j.x + r && j.y - r < p.y && p.y < j.y + r;
    };
    if (handlesShown) {
        for (int s = type.segmentCount() - 1; s >= 0; --s) {
            if (type.segments[s].isStatic && !allHandles) {
                continue;
            }
            if (under(type.segments[s].endJoint)) {
                return s;
            }
        }
    }
    if (!isJoined && under(0)) {
        return kMainHandle;
    }
    return kNoHandle;
}

void Figure::stretchSegment(const FigureType& type, int s, PointF point, bool snap) {
    const float typeLength = type.segments[s].length;
    const FigureJoint& start = jointPos[type.segments[s].startJoint];
    if (pose[s].length == typeLength) {
        ++stretchedCount;
    }
    pose[s].length = static_cast<float>(std::hypot(point.x - start.x, point.y - start.y) / scale);
    if (snap && std::fabs(pose[s].length - typeLength) * scale < 8) {
        pose[s].length = typeLength;
    }
    if (pose[s].length == typeLength && stretchedCount > 0) {
        --stretchedCount;
    }
}

void Figure::turnBranch(const FigureType& type, int s, double delta) {
    for (int m : type.branchFrom(s)) {
        pose[m].angle += delta;
        computeEndJoint(type, m);
    }
}

void Figure::dragHandle(const FigureType& type, int s, PointF point, bool snap, Modifiers mods) {
    if (scale == 0 || s < 0 || s >= segmentCount()) {
        return;
    }
    const FigureJoint& start = jointPos[type.segments[s].startJoint];
    const double heading = angleTo(start.x, start.y, point.x, point.y);
    const double old = pose[s].angle;

    if (!mods.ctrl && mods.alt) {
        const PointF c = joint(0);
        const PointF e = joint(type.segments[s].endJoint);
        if (e.x == c.x && e.y == c.y) {
            return;
        }
        if (std::fabs(point.x - c.x) <= 1 && std::fabs(point.y - c.y) <= 1) {
            return;
        }
        const double v =
            std::hypot(point.x - c.x, point.y - c.y) / std::hypot(e.x - c.x, e.y - c.y);
        if (scale * v > 1000) {
            return;
        }
        if (v > 1 && (bounds.width() > 100000 || bounds.height() > 100000)) {
            return;
        }
        setScale(static_cast<float>(scale * v), type);
        rotateAll(angleTo(c.x, c.y, point.x, point.y) - angleTo(c.x, c.y, e.x, e.y), type);
        return;
    }
    if (mods.ctrl) {
        stretchSegment(type, s, point, snap);
    }
    turnBranch(type, s, heading - old);
    updateBounds(type);
}

std::vector<uint16_t> Figure::joinedFigures(int j) const {
    std::vector<uint16_t> list;
    for (const JoinedFigure& entry : joined) {
        if (entry.joint == j) {
            list.push_back(entry.figure);
        }
    }
    return list;
}

bool Figure::hasJoinedAt(int j) const {
    return std::any_of(joined.begin(), joined.end(),
                       [j](const JoinedFigure& entry) { return entry.joint == j; });
}

void Figure::addJoined(uint16_t child, uint8_t j) {
    // After the joint's last entry, so the entries stay grouped by joint.
    const auto after = std::find_if(joined.begin(), joined.end(),
                                    [j](const JoinedFigure& entry) { return entry.joint > j; });
    joined.insert(after, JoinedFigure{child, j});
    joinedChildCount = static_cast<uint32_t>(joined.size());
}

bool Figure::removeJoined(uint16_t child, uint8_t j) {
    auto it = std::find_if(joined.begin(), joined.end(), [&](const JoinedFigure& entry) {
        return entry.joint == j && entry.figure == child;
    });
    if (it == joined.end()) {
        return false;
    }
    auto last = it;
    while (last + 1 != joined.end() && (last + 1)->joint == j) {
        ++last;
    }
    it->figure = last->figure;
    joined.erase(last);
    joinedChildCount = static_cast<uint32_t>(joined.size());
    return true;
}

void Figure::clearJoined() {
    joined.clear();
    joinedChildCount = 0;
}

bool Figure::insideRect(const Rect& r) const {
    const FigureJoint& j = jointPos[0];
    // In doubles: a box edge beyond 2^24 has no exact single.
    const double x = j.x;
    const double y = j.y;
    return r.left < x && x < r.right && r.top < y && y < r.bottom;
}

} // namespace kelto

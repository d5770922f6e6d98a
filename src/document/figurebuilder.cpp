#include "document/figurebuilder.h"

#include "document/document.h"

#include <algorithm>
#include <cmath>

namespace kelto {

namespace {

// Rounds like the status line always has, safe for values read from damaged files.
int roundedForShow(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    return int(roundHalfEven(std::clamp(v, -2e9, 2e9)));
}

int truncatedForShow(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    return int(std::trunc(std::clamp(v, -2e9, 2e9)));
}

} // namespace

FigureBuilder::FigureBuilder(Document& document) : m_doc(document) {
    m_figure.typeIndex = 0;
}

// The document's list may grow while the builder is open, so the type is looked up each time.
const FigureType& FigureBuilder::type() const {
    return m_doc.figureType(0);
}

FigureType& FigureBuilder::workingType() {
    return m_doc.workingType();
}

bool FigureBuilder::hasSelection() const {
    const int n = type().segmentCount();
    return m_selected >= 0 && m_selected < n && m_figure.segmentCount() == n;
}

void FigureBuilder::recompute() {
    m_figure.computeJoints(type());
    m_figure.updateBounds(type());
}

void FigureBuilder::rebuild(PointF root) {
    m_figure.scale = 1;
    m_figure.setType(0, type());
    m_figure.placeRoot(root, type());
    m_figure.updateBounds(type());
}

void FigureBuilder::startNew(PointF centre) {
    FigureType fresh;
    fresh.addSegment(0, skLine, kNewLength, kNewThickness, 0, 0, 0);
    workingType().assign(fresh);
    m_figure.scale = 1;
    m_figure.setType(0, type());
    m_figure.jointPos[0].x = float(centre.x);
    m_figure.jointPos[0].y = float(centre.y);
    m_figure.pose[0].angle = angleTo(centre.x, centre.y, centre.x, centre.y - kNewLength);
    m_figure.pose[0].length = kNewLength;
    recompute();
    m_selected = 0;
}

bool FigureBuilder::load(const FigureType& source, PointF root) {
    if (source.segmentCount() == 0) {
        return false;
    }
    workingType().assign(source);
    rebuild(root);
    m_selected = 0;
    return true;
}

void FigureBuilder::restore(const FigureType& source, const Figure& figure, int selected) {
    workingType().assign(source);
    m_figure.assign(figure);
    m_selected = selected;
}

int FigureBuilder::hitHandle(PointF point) const {
    if (m_figure.segmentCount() != type().segmentCount()) {
        return kNoHandle;
    }
    return m_figure.hitHandle(type(), point, true, true);
}

int FigureBuilder::selectAt(PointF point) {
    const int hit = hitHandle(point);
    if (hit >= 0) {
        m_selected = hit;
    }
    return hit;
}

int FigureBuilder::startJointOfHandle(int handle) const {
    return handle == kMainHandle ? 0 : type().segments[size_t(handle)].endJoint;
}

float FigureBuilder::parentThickness(int joint) const {
    const FigureType& t = type();
    int segment = 0;
    if (joint > 0 && joint < t.jointCount() && t.joints[size_t(joint)].inSegment >= 0) {
        segment = t.joints[size_t(joint)].inSegment;
    }
    return t.segments[size_t(segment)].thickness;
}

BuildResult FigureBuilder::addSegment(int startJoint, uint8_t kind, PointF end) {
    if (!canAddSegment()) {
        return BuildResult::TooManySegments;
    }
    if (startJoint < 0 || startJoint >= type().jointCount() ||
        m_figure.segmentCount() != type().segmentCount()) {
        return BuildResult::Unchanged;
    }
    const PointF start = m_figure.joint(startJoint);
    const float length = float(std::hypot(end.x - start.x, end.y - start.y));
    const float thickness = parentThickness(startJoint);
    workingType().addSegment(uint8_t(startJoint), kind, length, thickness, 0, 0, 0);
    m_figure.jointPos.push_back({float(end.x), float(end.y)});
    m_figure.pose.push_back({angleTo(start.x, start.y, end.x, end.y), length});
    recompute();
    m_selected = type().segmentCount() - 1;
    return BuildResult::Done;
}

BuildResult FigureBuilder::addDuplicate(int startJoint, uint8_t kind) {
    if (!canAddSegment()) {
        return BuildResult::TooManySegments;
    }
    if (!hasSelection() || startJoint < 0 || startJoint >= type().jointCount()) {
        return BuildResult::Unchanged;
    }
    const Segment source = type().segments[size_t(m_selected)];
    const SegmentPose sourcePose = m_figure.pose[size_t(m_selected)];
    const PointF a = m_figure.joint(source.startJoint);
    const PointF b = m_figure.joint(source.endJoint);
    workingType().addSegment(uint8_t(startJoint), kind, source.length, source.thickness, 0,
                             source.isStatic, 0);
    const PointF start = m_figure.joint(startJoint);
    m_figure.jointPos.push_back({float(start.x + (b.x - a.x)), float(start.y + (b.y - a.y))});
    m_figure.pose.push_back(sourcePose); // parallel to the segment it copies
    recompute();
    m_selected = type().segmentCount() - 1;
    return BuildResult::Done;
}

bool FigureBuilder::toggleKind() {
    if (!hasSelection()) {
        return false;
    }
    FigureType& t = workingType();
    Segment& seg = t.segments[size_t(m_selected)];
    seg.kind = seg.kind != skLine ? skLine : skCircle;
    t.imageRefs[size_t(m_selected)] = ImageRef{}; // only picture segments carry a reference
    recompute();
    return true;
}

bool FigureBuilder::cycleCircleFill() {
    if (!hasSelection()) {
        return false;
    }
    Segment& seg = workingType().segments[size_t(m_selected)];
    switch (seg.kind) {
    case skCircle:
        seg.kind = skFilledCircle;
        break;
    case skFilledCircle:
        seg.kind = skHollowCircle;
        break;
    case skHollowCircle:
        seg.kind = skCircle;
        break;
    default:
        return false;
    }
    recompute();
    return true;
}

bool FigureBuilder::toggleStatic() {
    if (!hasSelection()) {
        return false;
    }
    Segment& seg = workingType().segments[size_t(m_selected)];
    seg.isStatic = seg.isStatic ? 0 : 1;
    recompute();
    return true;
}

bool FigureBuilder::changeThickness(bool thicker, bool bigStep) {
    if (!hasSelection()) {
        return false;
    }
    Segment& seg = workingType().segments[size_t(m_selected)];
    const float step = bigStep ? 5.0f : 1.0f;
    float thickness = thicker ? seg.thickness + step : seg.thickness - step;
    if (!(thickness >= 0)) { // below zero or not a number
        thickness = 0;
    } else if (thickness > kMaxThickness) {
        thickness = kMaxThickness;
    }
    seg.thickness = thickness;
    recompute();
    return true;
}

BuildResult FigureBuilder::splitSelected() {
    if (!hasSelection()) {
        return BuildResult::Unchanged;
    }
    if (!canAddSegment()) {
        return BuildResult::TooManySegments;
    }
    const PointF root = m_figure.joint(0);
    storePose();
    workingType().splitSegment(m_selected);
    rebuild(root);
    return BuildResult::Done;
}

bool FigureBuilder::deleteSelected(bool wholeBranch) {
    if (!hasSelection()) {
        return false;
    }
    const FigureType& t = type();
    const Segment& seg = t.segments[size_t(m_selected)];
    if (seg.startJoint == 0 && t.joints[0].children.size() == 1 &&
        (wholeBranch || t.joints[seg.endJoint].children.empty())) {
        return false; // the figure would lose its last root segment
    }
    const PointF root = m_figure.joint(0);
    storePose();
    workingType().deleteSegment(m_selected, wholeBranch);
    rebuild(root);
    m_selected = std::min(m_selected, type().segmentCount() - 1);
    return true;
}

bool FigureBuilder::makeSelectedEndRoot() {
    if (!hasSelection()) {
        return false;
    }
    const PointF newRoot = m_figure.joint(type().segments[size_t(m_selected)].endJoint);
    storePose();
    workingType().makeRoot(m_selected);
    rebuild(newRoot);
    m_selected = 0;
    return true;
}

bool FigureBuilder::dragHandle(int handle, PointF from, PointF to, Modifiers mods, bool editMode) {
    if (handle == kMainHandle) {
        m_figure.move(to.x - from.x, to.y - from.y);
        return true;
    }
    if (handle < 0 || handle >= type().segmentCount() ||
        m_figure.segmentCount() != type().segmentCount()) {
        return false;
    }
    if (editMode) {
        moveJoint(handle, to);
    } else {
        m_figure.dragHandle(type(), handle, to, false, mods);
        storePose();
    }
    return true;
}

// Only the grabbed joint moves; the segments on both sides of it change their lengths and
// directions so every other joint stays where it is.
void FigureBuilder::moveJoint(int g, PointF to) {
    FigureType& t = workingType();
    const int end = t.segments[size_t(g)].endJoint;
    const int start = t.segments[size_t(g)].startJoint;
    m_figure.jointPos[size_t(end)].x = float(to.x);
    m_figure.jointPos[size_t(end)].y = float(to.y);
    for (uint8_t c : t.joints[size_t(end)].children) {
        const PointF e = m_figure.joint(t.segments[c].endJoint);
        const float length = float(std::hypot(e.x - to.x, e.y - to.y));
        t.segments[c].length = length;
        m_figure.pose[c] = {angleTo(to.x, to.y, e.x, e.y), length};
    }
    const PointF a = m_figure.joint(start);
    const float length = float(std::hypot(to.x - a.x, to.y - a.y));
    t.segments[size_t(g)].length = length;
    m_figure.pose[size_t(g)] = {angleTo(a.x, a.y, to.x, to.y), length};
    recompute();
}

void FigureBuilder::storePose() {
    FigureType& t = workingType();
    const int n = std::min(t.segmentCount(), m_figure.segmentCount());
    for (int i = 0; i < n; ++i) {
        Segment& seg = t.segments[size_t(i)];
        SegmentPose& pose = m_figure.pose[size_t(i)];
        seg.angle = pose.angle;
        pose.length *= m_figure.scale;
        seg.length = pose.length;
        seg.thickness *= m_figure.scale;
    }
    m_figure.setScale(1, t);
    m_figure.stretchedCount = 0;
}

const FigureType& FigureBuilder::finishedType() {
    storePose();
    workingType().dropUnusedImages();
    return type();
}

std::optional<SegmentFacts> FigureBuilder::selectedFacts() const {
    if (!hasSelection()) {
        return std::nullopt;
    }
    const Segment& seg = type().segments[size_t(m_selected)];
    SegmentFacts facts;
    facts.segmentCount = type().segmentCount();
    facts.kind = seg.kind;
    facts.thickness = truncatedForShow(seg.thickness);
    facts.length = roundedForShow(seg.length);
    const int bearing = roundedForShow(m_figure.pose[size_t(m_selected)].angle * 180 / kPi) + 90;
    facts.bearing = ((bearing % 360) + 360) % 360;
    facts.isStatic = seg.isStatic != 0;
    return facts;
}

} // namespace kelto

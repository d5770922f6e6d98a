#include "model/figures.h"

#include "settings/appsettings.h"

#include <algorithm>
#include <cmath>

namespace kelto {

void Figures::setCount(int n) {
    n = std::clamp(n, 0, kMaxFiguresPerFrame);
    const int old = figureCount();
    figures.resize(n);
    drawOrder.resize(n);
    for (int i = old; i < n; ++i) {
        drawOrder[i] = static_cast<uint16_t>(i);
        figures[i].orderPos = static_cast<uint16_t>(i);
    }
    applyCountSelectionRule();
}

void Figures::applyCountSelectionRule() {
    if (figureCount() == 1) {
        select(0, true);
    } else if (figureCount() == 0) {
        selection.clear();
    }
}

void Figures::assign(const Figures& source) {
    backgroundIndex = source.backgroundIndex;
    repeatCount = source.repeatCount;
    timelineSelected = source.timelineSelected;
    figures.resize(source.figures.size());
    for (size_t i = 0; i < figures.size(); ++i) {
        figures[i].assign(source.figures[i]);
    }
    drawOrder = source.drawOrder;
    recomputeOrderPositions();
    joinMode = 0;
    selection.clear();
    if (!figures.empty()) {
        select(figureCount() - 1, true);
    }
}

void Figures::recomputeOrderPositions() {
    for (size_t p = 0; p < drawOrder.size(); ++p) {
        if (drawOrder[p] < figures.size()) {
            figures[drawOrder[p]].orderPos = static_cast<uint16_t>(p);
        }
    }
}

void Figures::select(int i, bool exclusive) {
    if (i < 0 || i >= figureCount()) {
        return;
    }
    if (exclusive) {
        clearSelection();
    } else if (figures[i].selectionPos >= 0) {
        return;
    }
    figures[i].selectionPos = selectedCount();
    selection.push_back(static_cast<uint16_t>(i));
    updateSelectionCentre();
}

void Figures::clearSelection() {
    for (Figure& f : figures) {
        f.selectionPos = -1;
    }
    selection.clear();
}

void Figures::deselect(int i) {
    if (i < 0 || i >= figureCount() || figures[i].selectionPos < 0) {
        return;
    }
    const int pos = figures[i].selectionPos;
    const uint16_t last = selection.back();
    selection[pos] = last;
    figures[last].selectionPos = pos;
    selection.pop_back();
    figures[i].selectionPos = -1;
    updateSelectionCentre();
}

void Figures::selectAll() {
    if (figures.empty() || selectedCount() == figureCount()) {
        return;
    }
    for (int i = 0; i < figureCount(); ++i) {
        if (figures[i].selectionPos < 0) {
            figures[i].selectionPos = selectedCount();
            selection.push_back(static_cast<uint16_t>(i));
        }
    }
    updateSelectionCentre();
}

void Figures::updateSelectionCentre() {
    if (selection.empty()) {
        return;
    }
    Rect u = figures[selection[0]].bounds;
    for (uint16_t i : selection) {
        const Rect& b = figures[i].bounds;
        u.left = std::min(u.left, b.left);
        u.top = std::min(u.top, b.top);
        u.right = std::max(u.right, b.right);
        u.bottom = std::max(u.bottom, b.bottom);
    }
    selectionCentre.x = static_cast<float>((double(u.left) + u.right) * 0.5);
    selectionCentre.y = static_cast<float>((double(u.top) + u.bottom) * 0.5);
}

HitResult Figures::hitTest(const FigureTypeList& types, PointF point,
                           const HandleView& view) const {
    const bool showHandles = view.showHandles;
    for (int p = static_cast<int>(drawOrder.size()) - 1; p >= 0; --p) {
        const int i = drawOrder[p];
        const Figure& f = figures[i];
        if (joinMode && !f.joinCandidate) {
            continue;
        }
        const bool shown = f.selectionPos >= 0 || showHandles || joinMode || f.isJoined;
        const int handle = f.hitHandle(types[f.typeIndex], point, joinMode != 0, shown, view);
        if (handle != kNoHandle) {
            return {handle, i};
        }
    }
    return {kNoHandle, -1};
}

void Figures::moveFigure(int i, double dx, double dy) {
    figures[i].move(dx, dy);
    reattachJoined(i);
}

void Figures::moveSelection(double dx, double dy) {
    for (uint16_t i : selection) {
        moveFigure(i, dx, dy);
    }
    selectionCentre.x += dx;
    selectionCentre.y += dy;
}

void Figures::centreSelection(int animWidth, int animHeight) {
    // Whole pixels: the centre of an odd size rounds down.
    const int halfWidth = animWidth / 2;
    const int halfHeight = animHeight / 2;
    const double cx = halfWidth;
    const double cy = halfHeight;
    if (selectedCount() == 1) {
        const Figure& f = figures[selection[0]];
        moveFigure(selection[0], cx - f.jointPos[0].x, cy - f.jointPos[0].y);
    } else if (selectedCount() > 1) {
        updateSelectionCentre();
        moveSelection(cx - selectionCentre.x, cy - selectionCentre.y);
    }
}

std::vector<uint16_t> Figures::collectJoined(int i) const {
    std::vector<uint16_t> list{static_cast<uint16_t>(i)};
    // The seen marks keep a damaged join structure from looping; valid joins never cycle.
    std::vector<char> seen(figures.size(), 0);
    seen[i] = 1;
    for (size_t k = 0; k < list.size(); ++k) {
        const Figure& f = figures[list[k]];
        if (f.joinedChildCount == 0) {
            continue;
        }
        for (const JoinedFigure& entry : f.joined) {
            const uint16_t child = entry.figure;
            if (child < figures.size() && !seen[child]) {
                seen[child] = 1;
                list.push_back(child);
            }
        }
    }
    return list;
}

void Figures::reattachJoined(int i) {
    for (uint16_t q : collectJoined(i)) {
        Figure& f = figures[q];
        if (!f.isJoined || f.joinParent >= figures.size()) {
            continue;
        }
        const Figure& parent = figures[f.joinParent];
        if (f.joinJoint >= parent.jointPos.size()) {
            continue;
        }
        const FigureJoint& target = parent.jointPos[f.joinJoint];
        f.move(double(target.x) - f.jointPos[0].x, double(target.y) - f.jointPos[0].y);
    }
}

void Figures::scaleRotateFigure(const FigureTypeList& types, int i, double factor, double turn) {
    if (figures[i].visited) {
        return;
    }
    for (uint16_t q : collectJoined(i)) {
        Figure& f = figures[q];
        if (f.visited) {
            continue;
        }
        const FigureType& type = types[f.typeIndex];
        f.rotatePose(turn);
        f.scale = static_cast<float>(factor * f.scale);
        f.computeJoints(type);
        f.visited = 1;
    }
}

void Figures::turnBranchWithJoined(const FigureTypeList& types, int i, int s, double delta) {
    const FigureType& type = types[figures[i].typeIndex];
    for (int m : type.branchFrom(s)) {
        Figure& f = figures[i];
        f.pose[m].angle += delta;
        f.computeEndJoint(type, m);
        // A copy: turning the children may not touch this list, but stay safe against aliasing.
        const std::vector<uint16_t> joined = f.joinedFigures(type.segments[m].endJoint);
        for (uint16_t child : joined) {
            scaleRotateFigure(types, child, 1, delta);
            reattachJoined(child);
        }
    }
}

bool Figures::dragHandle(const FigureTypeList& types, int i, int s, PointF point, bool snap,
                         Modifiers mods) {
    for (Figure& f : figures) {
        f.visited = 0;
    }
    Figure& fig = figures[i];
    const FigureType& type = types[fig.typeIndex];
    if (fig.scale == 0 || s < 0 || s >= fig.segmentCount()) {
        return false;
    }
    const PointF start = fig.joint(type.segments[s].startJoint);
    const double heading = angleTo(start.x, start.y, point.x, point.y);
    const double old = fig.pose[s].angle;

    if (!mods.ctrl && mods.alt) {
        const PointF c = selectedCount() < 2 ? fig.joint(0) : selectionCentre;
        const PointF e = fig.joint(type.segments[s].endJoint);
        if (e.x == c.x && e.y == c.y) {
            return false;
        }
        if (std::fabs(point.x - c.x) <= 1 && std::fabs(point.y - c.y) <= 1) {
            return false;
        }
        const double v =
            std::hypot(point.x - c.x, point.y - c.y) / std::hypot(e.x - c.x, e.y - c.y);
        if (fig.scale * v > 1000) {
            return false;
        }
        const double t = angleTo(c.x, c.y, point.x, point.y) - angleTo(c.x, c.y, e.x, e.y);
        if (selectedCount() < 2) {
            scaleRotateFigure(types, i, v, t);
            reattachJoined(i);
        } else {
            const std::vector<uint16_t> chosen = selection;
            for (uint16_t k : chosen) {
                scaleRotateFigure(types, k, v, t);
                const double rx = figures[k].jointPos[0].x - c.x;
                const double ry = figures[k].jointPos[0].y - c.y;
                moveFigure(k, v * (rx * std::cos(t) - ry * std::sin(t)) - rx,
                           v * (rx * std::sin(t) + ry * std::cos(t)) - ry);
            }
        }
        // Every figure that turned needs fresh bounds, joined ones included.
        for (Figure& f : figures) {
            if (f.visited) {
                f.updateBounds(types[f.typeIndex]);
            }
        }
        return v != 1;
    }
    if (mods.ctrl) {
        fig.stretchSegment(type, s, point, snap);
    }
    turnBranchWithJoined(types, i, s, heading - old);
    for (Figure& f : figures) {
        if (f.visited) {
            f.updateBounds(types[f.typeIndex]);
        }
    }
    figures[i].updateBounds(type);
    return false;
}

void Figures::scaleSelection(const FigureTypeList& types, float newScale) {
    if (selection.empty()) {
        return;
    }
    updateSelectionCentre();
    const Figure& primary = figures[selection[0]];
    if (primary.scale == 0) {
        for (uint16_t k : selection) {
            figures[k].setScale(newScale, types[figures[k].typeIndex]);
        }
        return;
    }
    const double a = double(newScale) / primary.scale;
    const PointF centre = selectionCentre;
    const std::vector<uint16_t> chosen = selection;
    for (uint16_t k : chosen) {
        Figure& f = figures[k];
        f.setScale(static_cast<float>(f.scale * a), types[f.typeIndex]);
        moveFigure(k, (f.jointPos[0].x - centre.x) * (a - 1),
                   (f.jointPos[0].y - centre.y) * (a - 1));
    }
}

void Figures::flipSelection(const FigureTypeList& types) {
    if (selection.empty()) {
        return;
    }
    updateSelectionCentre();
    const std::vector<uint16_t> chosen = selection;
    for (uint16_t k : chosen) {
        Figure& f = figures[k];
        const FigureType& type = types[f.typeIndex];
        for (SegmentPose& p : f.pose) {
            p.angle = p.angle < kPi ? kPi - p.angle : 3 * kPi - p.angle;
        }
        f.flipped ^= 1;
        f.computeJoints(type);
        f.updateBounds(type);
        if (chosen.size() > 1 && !f.isJoined) {
            f.move(2 * (selectionCentre.x - f.jointPos[0].x), 0);
        }
        reattachJoined(k);
    }
}

DuplicateResult Figures::duplicateSelection(int32_t& lastFigureID) {
    if (selection.empty() || figures.empty()) {
        return DuplicateResult::NothingSelected;
    }
    if (selectedCount() + figureCount() > kMaxFiguresPerFrame - 1) {
        return DuplicateResult::TooManyFigures;
    }
    const int before = figureCount();
    std::vector<int> copyOf(before, -1);
    const std::vector<uint16_t> order = drawOrder;
    for (uint16_t source : order) {
        if (source >= before || figures[source].selectionPos < 0) {
            continue;
        }
        const int copy = figureCount();
        figures.emplace_back();
        drawOrder.push_back(static_cast<uint16_t>(copy));
        figures[copy].assign(figures[source]);
        figures[copy].orderPos = static_cast<uint16_t>(copy);
        figures[copy].figureID = lastFigureID = followingFigureID(lastFigureID);
        figures[copy].move(20, 20);
        copyOf[source] = copy;
    }
    for (int copy = before; copy < figureCount(); ++copy) {
        Figure& f = figures[copy];
        if (f.isJoined) {
            if (f.joinParent < before && copyOf[f.joinParent] >= 0) {
                f.joinParent = static_cast<uint16_t>(copyOf[f.joinParent]);
            } else {
                f.isJoined = 0;
            }
        }
        std::vector<JoinedFigure> kept;
        for (const JoinedFigure& entry : f.joined) {
            if (entry.figure < before && copyOf[entry.figure] >= 0) {
                kept.push_back({static_cast<uint16_t>(copyOf[entry.figure]), entry.joint});
            }
        }
        f.joined = std::move(kept);
        f.joinedChildCount = static_cast<uint32_t>(f.joined.size());
    }
    select(before, true);
    for (int copy = before + 1; copy < figureCount(); ++copy) {
        select(copy, false);
    }
    return DuplicateResult::Done;
}

void Figures::removeFromJoinList(int parent, int joint, int child) {
    if (parent >= figureCount() || joint >= static_cast<int>(figures[parent].jointPos.size())) {
        return;
    }
    figures[parent].removeJoined(static_cast<uint16_t>(child), static_cast<uint8_t>(joint));
}

void Figures::deleteFigure(int i) {
    if (i < 0 || i >= figureCount()) {
        return;
    }
    deselect(i);
    const int orderPos = figures[i].orderPos;
    unjoin(i);
    for (int k = 0; k < figureCount(); ++k) {
        if (figures[k].isJoined && figures[k].joinParent == i) {
            unjoin(k);
        }
    }
    figures.erase(figures.begin() + i);
    for (Figure& f : figures) {
        if (f.joinParent > i) {
            --f.joinParent;
        }
        for (JoinedFigure& entry : f.joined) {
            if (entry.figure > i) {
                --entry.figure;
            }
        }
    }
    if (orderPos < static_cast<int>(drawOrder.size())) {
        drawOrder.erase(drawOrder.begin() + orderPos);
    }
    for (uint16_t& entry : drawOrder) {
        if (entry > i) {
            --entry;
        }
    }
    recomputeOrderPositions();
    for (uint16_t& entry : selection) {
        if (entry > i) {
            --entry;
        }
    }
    for (size_t pos = 0; pos < selection.size(); ++pos) {
        figures[selection[pos]].selectionPos = static_cast<int32_t>(pos);
    }
    applyCountSelectionRule();
}

bool Figures::raise(bool oneStep) {
    const int n = static_cast<int>(drawOrder.size());
    if (selection.empty() || selectedCount() == n) {
        return false;
    }
    bool moved = false;
    int j = n - 1;
    for (int p = n - 1; p >= 0; --p) {
        const uint16_t entry = drawOrder[p];
        if (figures[entry].selectionPos < 0) {
            continue;
        }
        if (oneStep) {
            if (p < j) {
                std::swap(drawOrder[p], drawOrder[p + 1]);
                figures[drawOrder[p]].orderPos = static_cast<uint16_t>(p);
                figures[drawOrder[p + 1]].orderPos = static_cast<uint16_t>(p + 1);
                moved = true;
            } else {
                --j;
            }
        } else {
            if (p < j) {
                std::rotate(drawOrder.begin() + p, drawOrder.begin() + p + 1,
                            drawOrder.begin() + j + 1);
                moved = true;
            }
            --j;
        }
    }
    if (moved && !oneStep) {
        recomputeOrderPositions();
    }
    return moved;
}

bool Figures::lower(bool oneStep) {
    const int n = static_cast<int>(drawOrder.size());
    if (selection.empty() || selectedCount() == n) {
        return false;
    }
    bool moved = false;
    int j = 0;
    for (int p = 0; p < n; ++p) {
        const uint16_t entry = drawOrder[p];
        if (figures[entry].selectionPos < 0) {
            continue;
        }
        if (oneStep) {
            if (p > j) {
                std::swap(drawOrder[p], drawOrder[p - 1]);
                figures[drawOrder[p]].orderPos = static_cast<uint16_t>(p);
                figures[drawOrder[p - 1]].orderPos = static_cast<uint16_t>(p - 1);
                moved = true;
            } else {
                ++j;
            }
        } else {
            if (p > j) {
                std::rotate(drawOrder.begin() + j, drawOrder.begin() + p,
                            drawOrder.begin() + p + 1);
                moved = true;
            }
            ++j;
        }
    }
    if (moved && !oneStep) {
        recomputeOrderPositions();
    }
    return moved;
}

void Figures::beginJoin(int i) {
    if (i < 0 || i >= figureCount()) {
        return;
    }
    for (Figure& f : figures) {
        f.joinCandidate = 1;
    }
    for (uint16_t q : collectJoined(i)) {
        figures[q].joinCandidate = 0;
    }
    joinMode = 1;
}

bool Figures::join(int child, int parent, int joint) {
    if (!joinMode || child < 0 || parent < 0 || child >= figureCount() || parent >= figureCount()) {
        return false;
    }
    Figure& c = figures[child];
    Figure& p = figures[parent];
    if (!p.joinCandidate || c.isJoined || child == parent || joint < 0 ||
        joint >= static_cast<int>(p.jointPos.size())) {
        return false;
    }
    c.isJoined = 1;
    c.joinParent = static_cast<uint16_t>(parent);
    c.joinJoint = static_cast<uint8_t>(joint);
    p.addJoined(static_cast<uint16_t>(child), static_cast<uint8_t>(joint));
    reattachJoined(child);
    joinMode = 0;
    return true;
}

void Figures::unjoin(int i) {
    if (i < 0 || i >= figureCount() || !figures[i].isJoined) {
        return;
    }
    Figure& f = figures[i];
    f.isJoined = 0;
    removeFromJoinList(f.joinParent, f.joinJoint, i);
}

void Figures::rebuildJoinLists() {
    for (Figure& f : figures) {
        f.clearJoined();
    }
    for (int k = 0; k < figureCount(); ++k) {
        const Figure& f = figures[k];
        if (!f.isJoined || f.joinParent >= figures.size()) {
            continue;
        }
        Figure& parent = figures[f.joinParent];
        if (f.joinJoint < parent.jointPos.size()) {
            parent.addJoined(static_cast<uint16_t>(k), f.joinJoint);
        }
    }
}

int Figures::findByID(int32_t id, int hint) const {
    // A plain scan, not a binary search: identities ascend only in frames this program made
    // from scratch, and knowing that a frame ascends would take a scan of its own.
    const int n = figureCount();
    const int start = std::clamp(hint, 0, std::max(n - 1, 0));
    for (int d = 0; d < n; ++d) {
        const int below = start - d;
        const int above = start + d;
        if (below < 0 && above >= n) {
            break;
        }
        if (below >= 0 && figures[below].figureID == id) {
            return below;
        }
        if (above < n && d > 0 && figures[above].figureID == id) {
            return above;
        }
    }
    return -1;
}

} // namespace kelto

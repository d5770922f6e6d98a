#include "model/tween.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace kelto {

double easedTime(Easing easing, double s) {
    if (!(s > 0)) {
        return 0;
    }
    if (s >= 1) {
        return 1;
    }
    const double rest = 1 - s;
    switch (easing) {
    case Easing::In:
        return s * s * s;
    case Easing::Out:
        return 1 - rest * rest * rest;
    case Easing::InOut:
        return s < 0.5 ? 4 * s * s * s : 1 - 4 * rest * rest * rest;
    case Easing::Linear:
        break;
    }
    return s;
}

namespace {

uint8_t mixByte(int a, int b, double t) {
    return static_cast<uint8_t>(
        std::clamp(std::lround(std::lerp(double(a), double(b), t)), 0L, 255L));
}

uint32_t mixColour(uint32_t a, uint32_t b, double t) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int ca = int((a >> shift) & 0xFF);
        const int cb = int((b >> shift) & 0xFF);
        out |= uint32_t(mixByte(ca, cb, t)) << shift;
    }
    return out;
}

// The turn from a to b the short way round, in -pi..pi (a half turn may go either way).
double shortTurn(double a, double b) {
    return std::remainder(b - a, 2 * kPi);
}

// Whether two figures can be mixed pose by pose: the same valid type, fully posed.
bool mixable(const Figure& a, const Figure& b, const FigureTypeList& types) {
    if (a.typeIndex != b.typeIndex || a.typeIndex >= types.size()) {
        return false;
    }
    const size_t n = size_t(types[a.typeIndex].segmentCount());
    return a.pose.size() == n && b.pose.size() == n && a.jointPos.size() == n + 1 &&
           b.jointPos.size() == n + 1;
}

// A figure as it enters an in-between: no frame-local marks and no join lists, which the
// frame rebuilds.
Figure plainCopy(const Figure& source) {
    Figure f = source;
    f.selectionPos = -1;
    f.visited = 0;
    f.joinCandidate = 0;
    f.joinedChildCount = 0;
    for (FigureJoint& j : f.jointPos) {
        j.joinedFigures.clear();
    }
    return f;
}

// The figures of `to` listed once each: its draw order first, then any the order misses.
std::vector<int> visitOrder(const Figures& to) {
    std::vector<int> order;
    std::vector<char> seen(to.figures.size(), 0);
    order.reserve(to.figures.size());
    for (uint16_t i : to.drawOrder) {
        if (i < seen.size() && !seen[i]) {
            seen[i] = 1;
            order.push_back(i);
        }
    }
    for (size_t i = 0; i < seen.size(); ++i) {
        if (!seen[i]) {
            order.push_back(int(i));
        }
    }
    return order;
}

} // namespace

TweenPlan::TweenPlan(const Figures& from, const Figures& to, const FigureTypeList& types)
    : m_from(from), m_to(to), m_types(types) {
    pairFigures();
}

void TweenPlan::pairFigures() {
    // The second frame's identities sorted once; with repeated identities the unused figure
    // nearest to the first frame's position wins, as Figures::findByID would choose.
    std::vector<std::pair<int32_t, int>> byID;
    byID.reserve(m_to.figures.size());
    for (int j = 0; j < m_to.figureCount(); ++j) {
        byID.emplace_back(m_to.figures[size_t(j)].figureID, j);
    }
    std::sort(byID.begin(), byID.end());
    m_slotOfTo.assign(m_to.figures.size(), -1);
    m_pairs.reserve(m_from.figures.size());
    for (int i = 0; i < m_from.figureCount(); ++i) {
        const Figure& a = m_from.figures[size_t(i)];
        auto range =
            std::equal_range(byID.begin(), byID.end(), std::pair(a.figureID, 0),
                             [](const auto& x, const auto& y) { return x.first < y.first; });
        int best = -1;
        for (auto it = range.first; it != range.second; ++it) {
            const int j = it->second;
            if (m_slotOfTo[size_t(j)] < 0 && (best < 0 || std::abs(j - i) < std::abs(best - i))) {
                best = j;
            }
        }
        Pair p{i, best, Kind::FadingOut};
        if (best >= 0) {
            m_slotOfTo[size_t(best)] = i;
            p.kind = mixable(a, m_to.figures[size_t(best)], m_types) ? Kind::Mixed : Kind::Switched;
        }
        m_pairs.push_back(p);
    }
    // Figures only in the second frame come on top, in that frame's order, as far as the
    // figure limit allows.
    for (int j : visitOrder(m_to)) {
        if (m_slotOfTo[size_t(j)] >= 0 || m_pairs.size() >= size_t(kMaxFiguresPerFrame)) {
            continue;
        }
        m_slotOfTo[size_t(j)] = int(m_pairs.size());
        m_newOnTop.push_back(uint16_t(m_pairs.size()));
        m_pairs.push_back(Pair{-1, j, Kind::FadingIn});
    }
}

Figure TweenPlan::mixedFigure(const Pair& p, double t) const {
    const Figure& a = m_from.figures[size_t(p.from)];
    const Figure& b = m_to.figures[size_t(p.to)];
    const FigureType& type = m_types[a.typeIndex];
    Figure f = plainCopy(a);
    const float tf = static_cast<float>(t);
    f.scale = std::lerp(a.scale, b.scale, tf);
    f.colour = mixColour(a.colour, b.colour, t);
    f.transparency = mixByte(a.transparency, b.transparency, t);
    f.flipped = t < 0.5 ? a.flipped : b.flipped;
    int stretched = 0;
    for (size_t s = 0; s < f.pose.size(); ++s) {
        f.pose[s].angle = a.pose[s].angle + shortTurn(a.pose[s].angle, b.pose[s].angle) * t;
        f.pose[s].length = std::lerp(a.pose[s].length, b.pose[s].length, tf);
        stretched += f.pose[s].length != type.segments[s].length ? 1 : 0;
    }
    f.stretchedCount = static_cast<uint8_t>(std::min(stretched, 255));
    f.jointPos[0].x =
        static_cast<float>(std::lerp(double(a.jointPos[0].x), double(b.jointPos[0].x), t));
    f.jointPos[0].y =
        static_cast<float>(std::lerp(double(a.jointPos[0].y), double(b.jointPos[0].y), t));
    f.computeJoints(type);
    f.updateBounds(type);
    return f;
}

void TweenPlan::setJoins(Figures& out, double t) const {
    const int n = out.figureCount();
    for (size_t i = 0; i < m_pairs.size(); ++i) {
        const Pair& p = m_pairs[i];
        Figure& f = out.figures[i];
        // The joins switch at the middle; a figure found in one frame only keeps that frame's.
        const bool fromFirst = p.from >= 0 && (t < 0.5 || p.to < 0);
        const Figure& source =
            fromFirst ? m_from.figures[size_t(p.from)] : m_to.figures[size_t(p.to)];
        int parent = -1;
        if (source.isJoined) {
            if (fromFirst) {
                parent = source.joinParent < m_from.figures.size() ? source.joinParent : -1;
            } else if (source.joinParent < m_slotOfTo.size()) {
                parent = m_slotOfTo[source.joinParent];
            }
        }
        const bool valid = parent >= 0 && parent < n && parent != int(i) &&
                           source.joinJoint < out.figures[size_t(parent)].jointPos.size();
        f.isJoined = valid ? 1 : 0;
        f.joinParent = valid ? uint16_t(parent) : 0;
        f.joinJoint = valid ? source.joinJoint : 0;
    }
    out.rebuildJoinLists();
    // Each tree from its root down, parents before children.
    for (int i = 0; i < n; ++i) {
        if (!out.figures[size_t(i)].isJoined && out.figures[size_t(i)].joinedChildCount > 0) {
            out.reattachJoined(i);
        }
    }
}

Figures TweenPlan::frameAt(double t) const {
    if (!(t > 0)) {
        return m_from;
    }
    if (t >= 1) {
        return m_to;
    }
    Figures out;
    out.figures.reserve(m_pairs.size());
    for (const Pair& p : m_pairs) {
        switch (p.kind) {
        case Kind::Mixed:
            out.figures.push_back(mixedFigure(p, t));
            break;
        case Kind::Switched:
            out.figures.push_back(
                plainCopy(t < 0.5 ? m_from.figures[size_t(p.from)] : m_to.figures[size_t(p.to)]));
            break;
        case Kind::FadingOut: {
            Figure f = plainCopy(m_from.figures[size_t(p.from)]);
            f.transparency = mixByte(f.transparency, 255, t);
            out.figures.push_back(std::move(f));
            break;
        }
        case Kind::FadingIn: {
            Figure f = plainCopy(m_to.figures[size_t(p.to)]);
            f.transparency = mixByte(255, f.transparency, t);
            out.figures.push_back(std::move(f));
            break;
        }
        }
    }
    out.drawOrder = m_from.drawOrder;
    out.drawOrder.insert(out.drawOrder.end(), m_newOnTop.begin(), m_newOnTop.end());
    out.recomputeOrderPositions();
    setJoins(out, t);
    for (uint16_t i : m_from.selection) {
        if (i < out.figures.size() && out.figures[i].selectionPos < 0) {
            out.figures[i].selectionPos = int32_t(out.selection.size());
            out.selection.push_back(i);
        }
    }
    out.selectionCentre = m_from.selectionCentre;
    out.updateSelectionCentre();
    out.backgroundIndex = m_from.backgroundIndex;
    out.repeatCount = 1;
    return out;
}

std::vector<Figures> TweenPlan::inbetweens(int count, Easing easing) const {
    count = std::clamp(count, kMinInbetweens, kMaxInbetweens);
    std::vector<Figures> frames;
    frames.reserve(size_t(count));
    for (int k = 1; k <= count; ++k) {
        frames.push_back(frameAt(easedTime(easing, double(k) / (count + 1))));
        frames.back().repeatCount = 1;
        frames.back().timelineSelected = 0;
    }
    return frames;
}

std::vector<Figures> makeInbetweens(const Figures& from, const Figures& to,
                                    const FigureTypeList& types, int count, Easing easing) {
    return TweenPlan(from, to, types).inbetweens(count, easing);
}

} // namespace kelto

#include "editor/redrawplan.h"

namespace kelto {

bool rectsOverlap(const Rect& a, const Rect& b) {
    return !(a.right < b.left || b.right < a.left || a.bottom < b.top || b.bottom < a.top);
}

bool crossesHorizontalLine(const Rect& r, int c, int a, int b) {
    if (r.top > c || c > r.bottom) {
        return false;
    }
    return (r.left < a && a < r.right) || (r.left < b && b < r.right) ||
           (r.left >= a && r.right <= b);
}

bool crossesVerticalLine(const Rect& r, int c, int a, int b) {
    if (r.left > c || c > r.right) {
        return false;
    }
    return (r.top < a && a < r.bottom) || (r.top < b && b < r.bottom) ||
           (r.top >= a && r.bottom <= b);
}

void markBorderCrossings(const Rect& r, int w, int h, BorderFlags& flags) {
    flags[BorderTop] = flags[BorderTop] || crossesHorizontalLine(r, -1, -1, w);
    flags[BorderBottom] = flags[BorderBottom] || crossesHorizontalLine(r, h, -1, w);
    flags[BorderLeft] = flags[BorderLeft] || crossesVerticalLine(r, -1, -1, h);
    flags[BorderRight] = flags[BorderRight] || crossesVerticalLine(r, w, -1, h);
}

namespace {

class Planner {
public:
    Planner(const Figures& frame, const std::vector<Rect>& boxes, RedrawPlan& plan, int w, int h)
        : m_frame(frame), m_boxes(boxes), m_plan(plan), m_w(w), m_h(h) {}

    int counter = 0;

    // Marks what lies on figure j's box. Every figure overlapping j is taken, also those
    // beneath an opaque j: j's box is restored from the ghost layer before j is drawn again,
    // which wipes whatever lies under it there, so those figures must be drawn again too.
    void recursiveReDraw(int j) {
        ++counter;
        if (counter > kRedrawRecursionLimit) {
            return;
        }
        const Rect& box = m_boxes[size_t(j)];
        markBorderCrossings(box, m_w, m_h, m_plan.borders);
        for (uint16_t k : m_frame.drawOrder) {
            if (k >= m_frame.figures.size() || m_plan.marked[k] || !rectsOverlap(m_boxes[k], box)) {
                continue;
            }
            m_plan.marked[k] = 1;
            recursiveReDraw(k);
            if (counter > kRedrawRecursionLimit) {
                return;
            }
        }
        --counter;
    }

private:
    const Figures& m_frame;
    const std::vector<Rect>& m_boxes;
    RedrawPlan& m_plan;
    int m_w;
    int m_h;
};

bool anyJoins(const Figures& frame) {
    for (const Figure& f : frame.figures) {
        if (f.isJoined || f.joinedChildCount > 0) {
            return true;
        }
    }
    return false;
}

} // namespace

RedrawPlan planRedraw(const Figures& frame, int changed, const Rect& oldBounds, int animWidth,
                      int animHeight, int numOnion) {
    std::vector<Rect> boxes;
    boxes.reserve(frame.figures.size());
    for (const Figure& f : frame.figures) {
        boxes.push_back(f.bounds);
    }
    return planRedraw(frame, boxes, changed, oldBounds, animWidth, animHeight, numOnion);
}

RedrawPlan planRedraw(const Figures& frame, const std::vector<Rect>& boxes, int changed,
                      const Rect& oldBounds, int animWidth, int animHeight, int numOnion) {
    RedrawPlan plan;
    const int n = frame.figureCount();
    if (numOnion > 0 || frame.selectedCount() > 1 || changed < 0 || changed >= n ||
        boxes.size() != frame.figures.size() || anyJoins(frame)) {
        plan.full = true;
        return plan;
    }
    plan.marked.assign(size_t(n), 0);
    plan.marked[size_t(changed)] = 1;
    const Rect& now = boxes[size_t(changed)];
    markBorderCrossings(now, animWidth, animHeight, plan.borders);
    Planner planner(frame, boxes, plan, animWidth, animHeight);
    for (int j = 0; j < n; ++j) {
        if (plan.marked[size_t(j)]) {
            continue;
        }
        const Rect& box = boxes[size_t(j)];
        if (!rectsOverlap(box, oldBounds) && !rectsOverlap(box, now)) {
            continue;
        }
        plan.marked[size_t(j)] = 1;
        planner.counter = 0;
        planner.recursiveReDraw(j);
        if (planner.counter > kRedrawRecursionLimit) {
            plan.full = true;
            plan.marked.clear();
            return plan;
        }
    }
    return plan;
}

} // namespace kelto

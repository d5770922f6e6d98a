#include "model/inlinevector.h"

#include <gtest/gtest.h>

#include <numeric>
#include <utility>
#include <vector>

using namespace kelto;

namespace {

struct Point {
    float x = 0;
    float y = 0;
};

using Small = InlineVector<Point, 3>;

std::vector<float> xs(const Small& v) {
    std::vector<float> out;
    for (const Point& p : v) {
        out.push_back(p.x);
    }
    return out;
}

Small counting(int n) {
    Small v;
    for (int i = 0; i < n; ++i) {
        v.push_back({float(i), float(-i)});
    }
    return v;
}

} // namespace

TEST(InlineVector, StaysInsideUpToItsRoomAndKeepsItsElementsWhenItSpills) {
    Small v = counting(3);
    EXPECT_TRUE(v.isInline());
    v.push_back({3, -3});
    EXPECT_FALSE(v.isInline());
    v.push_back({4, -4});
    EXPECT_EQ(xs(v), (std::vector<float>{0, 1, 2, 3, 4}));
    EXPECT_FLOAT_EQ(v.back().y, -4);
    // An element of the vector itself pushed while the vector grows.
    Small w = counting(3);
    w.push_back(w[1]);
    EXPECT_EQ(xs(w), (std::vector<float>{0, 1, 2, 1}));
}

TEST(InlineVector, ResizeValueInitialisesAndShrinkingKeepsTheRest) {
    Small v = counting(2);
    v.resize(6);
    EXPECT_EQ(xs(v), (std::vector<float>{0, 1, 0, 0, 0, 0}));
    v.resize(1);
    EXPECT_EQ(xs(v), (std::vector<float>{0}));
    v.assign(4, Point{7, 8});
    EXPECT_EQ(xs(v), (std::vector<float>{7, 7, 7, 7}));
    v.clear();
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(v.begin(), v.end());
}

TEST(InlineVector, CopiesAreIndependentInsideAndOnTheHeap) {
    for (int n : {2, 5}) {
        const Small original = counting(n);
        Small copy = original;
        copy[0].x = 99;
        EXPECT_FLOAT_EQ(original[0].x, 0) << n;
        Small assigned = counting(4); // on the heap before the assignment
        assigned = original;
        assigned[1].x = 42;
        EXPECT_EQ(xs(assigned).size(), size_t(n));
        EXPECT_FLOAT_EQ(original[1].x, 1) << n;
        const Small& self = assigned;
        assigned = self;
        EXPECT_FLOAT_EQ(assigned[1].x, 42) << n;
    }
}

TEST(InlineVector, MovesTakeTheElementsAndLeaveTheSourceEmpty) {
    for (int n : {3, 7}) {
        Small source = counting(n);
        Small moved = std::move(source);
        EXPECT_EQ(moved.size(), size_t(n));
        EXPECT_FLOAT_EQ(moved[size_t(n - 1)].x, float(n - 1));
        EXPECT_TRUE(source.empty()); // NOLINT(bugprone-use-after-move): the moved-from state
        EXPECT_TRUE(source.isInline());
        Small target = counting(5);
        target = std::move(moved);
        EXPECT_EQ(target.size(), size_t(n));
        source.push_back({1, 1}); // a moved-from vector is usable again
        EXPECT_EQ(source.size(), 1u);
    }
}

TEST(InlineVector, ConvertsToAndFromStdVector) {
    const std::vector<Point> plain{{1, 2}, {3, 4}, {5, 6}, {7, 8}};
    const Small v(plain);
    const std::vector<Point> back = v;
    ASSERT_EQ(back.size(), plain.size());
    EXPECT_FLOAT_EQ(back[3].y, 8);
}

#include "modelfixtures.h"

#include "model/reach.h"
#include "settings/appsettings.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kelto;
using kelto::testing::addStickman;
using kelto::testing::frameIsSound;

namespace {

// Stick man joints and segments of the chains below.
constexpr int kShoulder = 2; // start of both upper arms
constexpr int kElbow = 5;    // end of upper arm segment 4
constexpr int kHand = 7;     // end of forearm segment 6
constexpr int kForearm = 6;
constexpr int kUpperArm = 4;
constexpr int kHip = 0;
constexpr int kFoot = 11; // end of shin segment 10
constexpr int kShin = 10;
constexpr int kThigh = 8;

double dist(PointF a, PointF b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// Which way the chain bends, from the joints alone: the sign of the cross product of the
// pivot-to-end line and the pivot-to-middle line.
int sideOf(PointF pivot, PointF middle, PointF end) {
    const double c =
        (end.x - pivot.x) * (middle.y - pivot.y) - (end.y - pivot.y) * (middle.x - pivot.x);
    return c > 0 ? 1 : (c < 0 ? -1 : 0);
}

class ReachTest : public ::testing::Test {
protected:
    void SetUp() override {
        appSettings() = AppSettings{};
        types = kelto::testing::standardTypes();
    }
    int add(double x, double y) { return addStickman(frame, types, x, y, lastId); }
    Figure& fig(int i) { return frame.figures[size_t(i)]; }
    PointF joint(int i, int j) { return fig(i).joint(j); }
    // Every joint at the distance its segment's pose length and the scale put it from its start.
    void expectLengthsKept(int i) {
        const FigureType& type = types[fig(i).typeIndex];
        for (int s = 0; s < type.segmentCount(); ++s) {
            const Segment& seg = type.segments[size_t(s)];
            EXPECT_FLOAT_EQ(fig(i).pose[size_t(s)].length, seg.length) << "segment " << s;
            const double want = double(seg.length) * fig(i).scale;
            EXPECT_NEAR(dist(joint(i, seg.startJoint), joint(i, seg.endJoint)), want, 1e-3)
                << "segment " << s;
        }
    }

    FigureTypeList types;
    Figures frame;
    int32_t lastId = 0;
};

} // namespace

TEST(TwoBoneSolve, MeetsTargetsInReachWithLengthsAndSideKept) {
    const PointF pivot{10, 20};
    const double upper = 38;
    const double lower = 40;
    const PointF targets[] = {{40, 40}, {10, 95}, {-50, 10}, {12, 21}, {10, 22.5}, {-20, -40}};
    for (const PointF t : targets) {
        for (const int side : {1, -1}) {
            const TwoBonePose p = solveTwoBone(pivot, upper, lower, t, side, {});
            EXPECT_NEAR(dist(p.end, t), 0, 1e-9) << t.x << "," << t.y;
            EXPECT_NEAR(dist(pivot, p.middle), upper, 1e-9);
            EXPECT_NEAR(dist(p.middle, p.end), lower, 1e-9);
            EXPECT_EQ(sideOf(pivot, p.middle, p.end), side) << t.x << "," << t.y;
        }
    }
}

TEST(TwoBoneSolve, OutOfReachStraightensOrFoldsAlongTheTargetLine) {
    const PointF pivot{0, 0};
    // Too far: straight, pointing at the target.
    TwoBonePose p = solveTwoBone(pivot, 30, 20, {300, 400}, 1, {});
    EXPECT_NEAR(p.middle.x, 18, 1e-9);
    EXPECT_NEAR(p.middle.y, 24, 1e-9);
    EXPECT_NEAR(p.end.x, 30, 1e-9);
    EXPECT_NEAR(p.end.y, 40, 1e-9);
    // Too near with the longer upper bone: folded back, the end 10 from the pivot towards it.
    p = solveTwoBone(pivot, 30, 20, {0, 3}, -1, {});
    EXPECT_NEAR(p.middle.y, 30, 1e-9);
    EXPECT_NEAR(p.end.y, 10, 1e-9);
    // Too near with the longer lower bone: the middle goes behind the pivot.
    p = solveTwoBone(pivot, 20, 30, {3, 0}, 1, {});
    EXPECT_NEAR(p.middle.x, -20, 1e-9);
    EXPECT_NEAR(p.end.x, 10, 1e-9);
    // A target on the pivot keeps the fallback direction; nothing is undefined.
    p = solveTwoBone(pivot, 30, 20, pivot, 1, {0, -5});
    EXPECT_NEAR(p.end.x, 0, 1e-9);
    EXPECT_NEAR(p.end.y, -10, 1e-9);
    p = solveTwoBone(pivot, 0, 0, pivot, 1, pivot);
    EXPECT_TRUE(std::isfinite(p.middle.x) && std::isfinite(p.end.y));
}

TEST(TwoBoneSolve, BendSideTellsStraightChainsApart) {
    EXPECT_EQ(bendSide({0, 0}, {10, 10}, {20, 0}), 1);
    EXPECT_EQ(bendSide({0, 0}, {10, -10}, {20, 0}), -1);
    EXPECT_EQ(bendSide({0, 0}, {10, 0}, {20, 0}), 0);
    EXPECT_EQ(bendSide({0, 0}, {10, 1e-7f}, {20, 0}), 0); // single-precision noise
    EXPECT_EQ(bendSide({0, 0}, {0, 0}, {20, 0}), 0);
}

TEST_F(ReachTest, HandMeetsReachablePointsAndNothingElseChanges) {
    for (const float scale : {1.0f, 2.5f}) {
        frame = Figures();
        const int i = add(200, 300);
        fig(i).setScale(scale, types[1]);
        const Figure before = fig(i);
        ReachDrag reach;
        ASSERT_TRUE(reach.begin(frame, types, i, kForearm));
        EXPECT_EQ(reach.upperSegment(), kUpperArm);
        const PointF shoulder = joint(i, kShoulder);
        const double s = scale;
        const PointF targets[] = {{shoulder.x - 50 * s, shoulder.y + 20 * s},
                                  {shoulder.x - 30 * s, shoulder.y - 40 * s},
                                  {shoulder.x + 10 * s, shoulder.y + 60 * s},
                                  {shoulder.x + 60.3 * s, shoulder.y - 0.7 * s},
                                  {shoulder.x - 5.5 * s, shoulder.y + 3.25 * s}};
        for (const PointF t : targets) {
            reach.moveTo(frame, types, t);
            EXPECT_LT(dist(joint(i, kHand), t), 0.5) << "scale " << scale;
            expectLengthsKept(i);
        }
        // Only the two arm segments turned: the body, head, other arm and legs stand still.
        for (int seg : {0, 1, 2, 3, 5, 7, 8, 9, 10, 11}) {
            EXPECT_EQ(fig(i).pose[size_t(seg)].angle, before.pose[size_t(seg)].angle) << seg;
        }
        for (int j : {0, 1, 2, 3, 4, 6, 8, 9, 10, 11, 12}) {
            EXPECT_EQ(joint(i, j).x, before.joint(j).x) << j;
            EXPECT_EQ(joint(i, j).y, before.joint(j).y) << j;
        }
        EXPECT_TRUE(frameIsSound(frame, types));
    }
}

TEST_F(ReachTest, BendKeepsItsSideWhileTheDragPassesTheStraightPose) {
    const int i = add(200, 300);
    ReachDrag reach;
    ASSERT_TRUE(reach.begin(frame, types, i, kForearm));
    const PointF shoulder = joint(i, kShoulder);
    const int side = sideOf(shoulder, joint(i, kElbow), joint(i, kHand));
    ASSERT_NE(side, 0);
    EXPECT_EQ(reach.side(), side);
    // Out along a line to beyond reach, where the arm is straight, then back in again and round
    // the shoulder to the far side of where the drag began.
    for (int k = 0; k <= 40; ++k) {
        const double r = k <= 20 ? 20 + 5.0 * k : 120 - 5.0 * (k - 20);
        const double a = 3 * kPi / 4 + (k <= 20 ? 0 : 0.1 * (k - 20));
        const PointF t{shoulder.x + r * std::cos(a), shoulder.y + r * std::sin(a)};
        reach.moveTo(frame, types, t);
        const PointF elbow = joint(i, kElbow);
        const PointF hand = joint(i, kHand);
        if (r < 38 + 40 - 1) {
            EXPECT_EQ(sideOf(shoulder, elbow, hand), side) << "step " << k;
            EXPECT_LT(dist(hand, t), 0.5) << "step " << k;
        }
    }
    expectLengthsKept(i);
}

TEST_F(ReachTest, UnreachablePointStraightensTheChainTowardsIt) {
    const int i = add(200, 300);
    ReachDrag reach;
    ASSERT_TRUE(reach.begin(frame, types, i, kForearm));
    const PointF shoulder = joint(i, kShoulder);
    const PointF far{shoulder.x + 300, shoulder.y - 400};
    reach.moveTo(frame, types, far);
    const double toward = std::atan2(far.y - shoulder.y, far.x - shoulder.x);
    const PointF elbow = joint(i, kElbow);
    const PointF hand = joint(i, kHand);
    EXPECT_NEAR(std::atan2(elbow.y - shoulder.y, elbow.x - shoulder.x), toward, 1e-5);
    EXPECT_NEAR(std::atan2(hand.y - shoulder.y, hand.x - shoulder.x), toward, 1e-5);
    EXPECT_NEAR(dist(shoulder, hand), 78, 1e-3);
    expectLengthsKept(i);
    // Coming back within reach the arm bends again and meets the pointer.
    const PointF near{shoulder.x + 30, shoulder.y - 40};
    reach.moveTo(frame, types, near);
    EXPECT_LT(dist(joint(i, kHand), near), 0.5);
}

TEST_F(ReachTest, StraightLegBendsTheNearerWayAndKeepsIt) {
    const int i = add(200, 300);
    ReachDrag reach;
    ASSERT_TRUE(reach.begin(frame, types, i, kShin));
    EXPECT_EQ(reach.upperSegment(), kThigh);
    EXPECT_EQ(reach.side(), 0); // the stick man's legs start straight
    const PointF hip = joint(i, kHip);
    const double thighBefore = fig(i).pose[kThigh].angle;
    // Pull the foot up towards the hip: of the two knees the one nearer the old thigh wins.
    const PointF t{hip.x - 30, hip.y + 60};
    reach.moveTo(frame, types, t);
    EXPECT_LT(dist(joint(i, kFoot), t), 0.5);
    ASSERT_NE(reach.side(), 0);
    const TwoBonePose other = solveTwoBone(hip, 50, 50, t, -reach.side(), {});
    const double otherTurn = std::fabs(std::remainder(
        std::atan2(other.middle.y - hip.y, other.middle.x - hip.x) - thighBefore, 2 * kPi));
    EXPECT_LT(std::fabs(std::remainder(fig(i).pose[kThigh].angle - thighBefore, 2 * kPi)),
              otherTurn);
    const int side = reach.side();
    reach.moveTo(frame, types, {hip.x + 40, hip.y + 50});
    EXPECT_EQ(sideOf(hip, joint(i, 9), joint(i, kFoot)), side);
}

TEST_F(ReachTest, StaticSegmentsStayStillOrTurnOnlyWithTheirParent) {
    // The head (static) hangs from the neck, outside the arm's chain: it never moves.
    const int man = add(200, 300);
    const PointF head3 = joint(man, 3);
    const PointF head4 = joint(man, 4);
    ReachDrag reach;
    ASSERT_TRUE(reach.begin(frame, types, man, kForearm));
    reach.moveTo(frame, types, {joint(man, kShoulder).x + 20, joint(man, kShoulder).y + 50});
    EXPECT_EQ(joint(man, 3).x, head3.x);
    EXPECT_EQ(joint(man, 4).y, head4.y);

    // A static segment inside the chain cannot bend: the dynamic one above it turns, carrying
    // it along rigidly.
    FigureType chain;
    chain.addSegment(0, skLine, 40, 4, 3 * kPi / 2, 0, 0); // 0: dynamic, from the root
    chain.addSegment(1, skLine, 30, 4, 0, 1, 0);           // 1: static
    chain.addSegment(2, skLine, 30, 4, kPi / 2, 0, 0);     // 2: dynamic, dragged
    types.push_back(chain);
    const uint16_t t = uint16_t(types.size() - 1);
    frame = Figures();
    frame.setCount(1);
    fig(0).setType(t, types[t]);
    fig(0).placeRoot({100, 100}, types[t]);
    fig(0).updateBounds(types[t]);
    ASSERT_TRUE(reach.begin(frame, types, 0, 2));
    EXPECT_EQ(reach.upperSegment(), 0);
    const double relative = fig(0).pose[1].angle - fig(0).pose[0].angle;
    const PointF target{130, 80};
    reach.moveTo(frame, types, target);
    EXPECT_LT(dist(joint(0, 3), target), 0.5);
    EXPECT_NEAR(fig(0).pose[1].angle - fig(0).pose[0].angle, relative, 1e-9);
    expectLengthsKept(0);

    // With only static segments above it the handle has nothing to bend with.
    types[t].segments[0].isStatic = 1;
    EXPECT_FALSE(reach.begin(frame, types, 0, 2));
    EXPECT_FALSE(reach.active());
    const PointF root = joint(0, 0);
    reach.moveTo(frame, types, target); // an inactive reach changes nothing
    EXPECT_EQ(joint(0, 0).x, root.x);
}

TEST_F(ReachTest, HandlesWithoutTwoSegmentsAboveAreRefused) {
    const int i = add(200, 300);
    ReachDrag reach;
    EXPECT_FALSE(reach.begin(frame, types, i, kThigh)); // hangs from the main handle
    EXPECT_FALSE(reach.begin(frame, types, i, -1));
    EXPECT_FALSE(reach.begin(frame, types, i, 12));
    EXPECT_FALSE(reach.begin(frame, types, 5, kForearm));
    // An upper arm has the upper body above it: the elbow bends the body at the waist.
    ASSERT_TRUE(reach.begin(frame, types, i, kUpperArm));
    EXPECT_EQ(reach.upperSegment(), 1);
    const PointF target{joint(i, 1).x - 40, joint(i, 1).y - 40};
    reach.moveTo(frame, types, target);
    EXPECT_LT(dist(joint(i, kElbow), target), 0.5);
    expectLengthsKept(i);
}

TEST_F(ReachTest, JoinedFiguresFollowTheHand) {
    add(100, 300);
    add(300, 300);
    frame.select(1, true);
    frame.beginJoin(1);
    ASSERT_TRUE(frame.join(1, 0, kHand));
    ReachDrag reach;
    ASSERT_TRUE(reach.begin(frame, types, 0, kForearm));
    const PointF target{joint(0, kShoulder).x + 40, joint(0, kShoulder).y - 30};
    reach.moveTo(frame, types, target);
    EXPECT_LT(dist(joint(0, kHand), target), 0.5);
    EXPECT_NEAR(joint(1, 0).x, joint(0, kHand).x, 1e-3);
    EXPECT_NEAR(joint(1, 0).y, joint(0, kHand).y, 1e-3);
    EXPECT_TRUE(frameIsSound(frame, types));
}

#include "modelfixtures.h"

#include "settings/appsettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace kelto;

namespace {

class FigureTest : public ::testing::Test {
protected:
    void SetUp() override {
        appSettings() = AppSettings{};
        types = kelto::testing::standardTypes();
        man.setType(1, types[1]);
    }
    const FigureType& type() const { return types[1]; }

    FigureTypeList types;
    Figure man;
};

Modifiers ctrl() {
    return {true, false};
}
Modifiers alt() {
    return {false, true};
}

} // namespace

TEST_F(FigureTest, NewStickmanJoints) {
    EXPECT_FLOAT_EQ(man.jointPos[0].x, 0);
    EXPECT_NEAR(man.jointPos[3].x, 0, 1e-5);
    EXPECT_FLOAT_EQ(man.jointPos[3].y, -97);
    EXPECT_NEAR(man.jointPos[4].x, 0, 1e-5);
    EXPECT_FLOAT_EQ(man.jointPos[4].y, -77);
    EXPECT_EQ(man.selectionPos, -1);
    EXPECT_EQ(man.figureID, -1);
    EXPECT_FLOAT_EQ(man.scale, 1);
}

TEST_F(FigureTest, BoundsCoverHeadAndFeetWithMargins) {
    // Head disc: centre (0,-87), radius 10 + pen half 10 = 20 -> top -107.
    EXPECT_EQ(man.bounds.top, -107);
    // Feet: shins end 100*sin(5pi/8) below the hip, plus the half pen 7.
    const double foot = 100 * std::sin(5 * kPi / 8);
    EXPECT_EQ(man.bounds.bottom, static_cast<int>(std::ceil(foot + 7)));
    EXPECT_EQ(man.bounds.left, -man.bounds.right);
}

TEST_F(FigureTest, MoveShiftsJointsAndRoundsBoundsOutwards) {
    const Rect before = man.bounds;
    man.move(0.5, -0.5);
    EXPECT_FLOAT_EQ(man.jointPos[0].x, 0.5f);
    EXPECT_EQ(man.bounds.left, before.left);       // floor(left + 0.5)
    EXPECT_EQ(man.bounds.right, before.right + 1); // ceil(right + 0.5)
    EXPECT_EQ(man.bounds.top, before.top - 1);
    EXPECT_EQ(man.bounds.bottom, before.bottom);
}

TEST_F(FigureTest, HandleRadiusFollowsSettings) {
    // Joint 4 (head centre end): length 20 -> d = 14; shrink on: min(10, max(4, 14)) / 2 = 5.
    EXPECT_DOUBLE_EQ(man.handleRadius(type(), 4), 5);
    appSettings().maxHandleSize = 30;
    EXPECT_DOUBLE_EQ(man.handleRadius(type(), 4), 7);
    // Shrink off: thickness 20 * 1.4 = 28 wins over d = 14.
    appSettings().shrinkHandlesClose = false;
    EXPECT_DOUBLE_EQ(man.handleRadius(type(), 4), 14);
    // A tiny figure gets the minimum size.
    appSettings().shrinkHandlesClose = true;
    man.setScale(0.01f, type());
    EXPECT_DOUBLE_EQ(man.handleRadius(type(), 4), 2);
}

TEST_F(FigureTest, HitHandlePrefersSegmentHandlesAndHigherNumbers) {
    // The root and the lower body's ends are 32 apart; put the pointer on the root.
    EXPECT_EQ(man.hitHandle(type(), {0, 0}, false, true), kMainHandle);
    // Joint 4 is the head's end; the head is static: only with all handles.
    const PointF head = man.joint(4);
    EXPECT_EQ(man.hitHandle(type(), head, false, true), kNoHandle);
    EXPECT_EQ(man.hitHandle(type(), head, true, true), 3);
    // Handles hidden: only the main handle counts.
    EXPECT_EQ(man.hitHandle(type(), man.joint(1), false, false), kNoHandle);
    EXPECT_EQ(man.hitHandle(type(), man.joint(1), false, true), 0);
    // Strict edges: exactly r away is outside.
    const double r = man.handleRadius(type(), 0);
    EXPECT_EQ(man.hitHandle(type(), {r, 0}, false, false), kNoHandle);
    // A joined figure has no main handle.
    man.isJoined = 1;
    EXPECT_EQ(man.hitHandle(type(), {0, 0}, false, false), kNoHandle);
}

TEST_F(FigureTest, HandlesKeepTheirScreenSizeAtEveryZoom) {
    // The sizes come from the view handed in, whatever the settings say.
    appSettings().maxHandleSize = 2;
    HandleView view; // 4..10 pixels, shrinking between close joints
    EXPECT_DOUBLE_EQ(man.handleRadius(type(), 4, view), 5);
    view.maxSize = 30;
    EXPECT_DOUBLE_EQ(man.handleRadius(type(), 4, view), 7);
    view.maxSize = 10;
    // The root handle is 10 screen pixels across: 2.5 animation pixels at 400 %, 20 at 25 %.
    const PointF root = man.joint(0);
    for (const double zoom : {0.25, 1.0, 4.0}) {
        view.zoom = zoom;
        const double r = 5 / zoom;
        EXPECT_EQ(man.hitHandle(type(), {root.x - 0.95 * r, root.y}, false, false, view),
                  kMainHandle)
            << zoom;
        EXPECT_EQ(man.hitHandle(type(), {root.x - 1.05 * r, root.y}, false, false, view), kNoHandle)
            << zoom;
    }
    // A broken zoom falls back to 1 instead of dividing by zero.
    view.zoom = 0;
    EXPECT_EQ(man.hitHandle(type(), {root.x - 4.5, root.y}, false, false, view), kMainHandle);
}

TEST_F(FigureTest, HitHandleSegmentWinsOverMainHandleAtTheSameSpot) {
    FigureType tiny;
    tiny.addSegment(0, skLine, 1, 1, 0, 0, 0); // end joint 1 pixel from the root
    Figure f;
    f.setType(0, tiny);
    EXPECT_EQ(f.hitHandle(tiny, {0.5, 0}, false, true), 0);
}

TEST_F(FigureTest, PlainDragTurnsTheBranchRigidly) {
    // Drag the upper body's end (joint 2) to the right of joint 1: everything above turns.
    const PointF j1 = man.joint(1);
    const float headToNeck =
        std::hypot(man.jointPos[3].x - man.jointPos[2].x, man.jointPos[3].y - man.jointPos[2].y);
    man.dragHandle(type(), 1, {j1.x + 100, j1.y}, false, {});
    EXPECT_NEAR(man.jointPos[2].x, 32, 1e-4);
    EXPECT_NEAR(man.jointPos[2].y, -32, 1e-4);
    EXPECT_NEAR(man.jointPos[3].x, 65, 1e-4); // the neck turned with it
    EXPECT_NEAR(
        std::hypot(man.jointPos[3].x - man.jointPos[2].x, man.jointPos[3].y - man.jointPos[2].y),
        headToNeck, 1e-4);
    for (int s = 0; s < man.segmentCount(); ++s) {
        EXPECT_EQ(man.pose[s].length, type().segments[s].length) << s;
    }
    // The legs did not move.
    EXPECT_NEAR(man.pose[8].angle, type().segments[8].angle, 0);
}

TEST_F(FigureTest, CtrlDragStretchesAndSnapsBack) {
    const PointF hip = man.joint(0);
    // Thigh (segment 8) stretched to 80 pixels.
    const double a = type().segments[8].angle;
    man.dragHandle(type(), 8, {hip.x + 80 * std::cos(a), hip.y + 80 * std::sin(a)}, false, ctrl());
    EXPECT_NEAR(man.pose[8].length, 80, 1e-4);
    EXPECT_EQ(man.stretchedCount, 1);
    // Without snap the length follows the pointer even close to the type length.
    man.dragHandle(type(), 8, {hip.x + 53 * std::cos(a), hip.y + 53 * std::sin(a)}, false, ctrl());
    EXPECT_NEAR(man.pose[8].length, 53, 1e-4);
    EXPECT_EQ(man.stretchedCount, 1);
    // With snap, within 8 pixels of 50 it snaps to exactly 50 and the count drops.
    man.dragHandle(type(), 8, {hip.x + 56 * std::cos(a), hip.y + 56 * std::sin(a)}, true, ctrl());
    EXPECT_EQ(man.pose[8].length, 50);
    EXPECT_EQ(man.stretchedCount, 0);
}

TEST_F(FigureTest, AltDragScalesAndTurnsAboutTheRoot) {
    const PointF hand = man.joint(7);
    man.dragHandle(type(), 6, {hand.x * 2, hand.y * 2}, false, alt());
    EXPECT_NEAR(man.scale, 2, 1e-5);
    EXPECT_NEAR(man.jointPos[7].x, hand.x * 2, 1e-3);
    EXPECT_NEAR(man.jointPos[7].y, hand.y * 2, 1e-3);
    EXPECT_EQ(man.jointPos[0].x, 0);
}

TEST_F(FigureTest, AltDragRefusals) {
    const Figure before = man;
    man.dragHandle(type(), 6, {0.5, -0.5}, false, alt()); // onto the main handle
    EXPECT_EQ(man.scale, before.scale);
    const PointF hand = man.joint(7);
    man.dragHandle(type(), 6, {hand.x * 1001, hand.y * 1001}, false, alt()); // past 1000
    EXPECT_EQ(man.scale, before.scale);
    EXPECT_EQ(man.pose[6].angle, before.pose[6].angle);
    // Zero scale: no drag of any kind does anything.
    man.setScale(0, type());
    man.dragHandle(type(), 6, {100, 100}, false, {});
    EXPECT_EQ(man.pose[6].angle, before.pose[6].angle);
}

TEST_F(FigureTest, InsideRectIsStrict) {
    man.placeRoot({10, 10}, type());
    EXPECT_TRUE(man.insideRect({0, 0, 20, 20}));
    EXPECT_FALSE(man.insideRect({10, 0, 20, 20}));
    EXPECT_FALSE(man.insideRect({0, 0, 10, 20}));
}

TEST_F(FigureTest, AssignCopiesPoseButNotTheSelection) {
    man.selectionPos = 3;
    man.colour = 0x123456;
    man.figureID = 7;
    man.dragHandle(type(), 8, {90, 90}, false, ctrl());
    Figure copy;
    copy.orderPos = 5;
    copy.assign(man);
    EXPECT_EQ(copy.selectionPos, -1);
    EXPECT_EQ(copy.orderPos, 5);
    EXPECT_EQ(copy.colour, 0x123456u);
    EXPECT_EQ(copy.figureID, 7);
    EXPECT_EQ(copy.stretchedCount, man.stretchedCount);
    EXPECT_EQ(copy.pose[8].length, man.pose[8].length);
}

// The per-joint margins must give exactly updateBounds' box, whatever the type's segment kinds,
// the scale (negative and zero included) and the handle settings.
TEST_F(FigureTest, BoundsPlanGivesTheBoxOfUpdateBounds) {
    FigureType round;
    round.addSegment(0, skLine, 31, 5, 0, 0, 0);
    round.addSegment(1, skFilledCircle, 21.25f, 3.5f, 1.0, 0, 0);
    round.addSegment(0, skHollowCircle, 9.75f, 0, 2.0, 1, 0);
    round.addSegment(3, skCircle, 13, 6.5f, 4.0, 0, 0);
    round.addSegment(1, skLine, 0.5f, 40, 5.0, 0, 0);
    const FigureType* planned[] = {&type(), &round};
    const float scales[] = {1, 0.35f, 2.75f, -1.5f, 0, -0.0f, 1e-3f, 400};
    std::mt19937 random(11);
    std::uniform_real_distribution<double> spread(-3000, 3000);
    for (int settings = 0; settings < 4; ++settings) {
        appSettings() = AppSettings{};
        appSettings().maxHandleSize = settings == 1 ? 30 : settings == 2 ? 0 : 10;
        appSettings().minHandleSize = settings == 2 ? 0 : 4;
        appSettings().shrinkHandlesClose = settings != 3;
        for (const FigureType* t : planned) {
            for (float scale : scales) {
                BoundsPlan plan;
                ASSERT_TRUE(plan.prepare(*t, scale));
                EXPECT_TRUE(plan.isFor(scale));
                Figure f;
                f.setType(1, *t);
                f.scale = scale;
                for (int k = 0; k < 50; ++k) {
                    for (SegmentPose& p : f.pose) {
                        p.angle = spread(random);
                    }
                    f.placeRoot({spread(random), spread(random) / 7}, *t);
                    f.updateBounds(*t);
                    EXPECT_EQ(plan.boundsOf(f), f.bounds) << settings << " " << scale << " " << k;
                }
            }
        }
    }
}

TEST_F(FigureTest, BoundsPlanRefusesPicturesAndOtherScales) {
    FigureType picture = type();
    picture.addSegment(3, skImage, 30, 2, 0.5, 0, 0);
    BoundsPlan plan;
    EXPECT_FALSE(plan.prepare(picture, 1));
    EXPECT_FALSE(plan.isFor(1));
    ASSERT_TRUE(plan.prepare(type(), 1));
    EXPECT_FALSE(plan.isFor(2));
    ASSERT_TRUE(plan.prepare(type(), 0));
    EXPECT_FALSE(plan.isFor(-0.0f)) << "plans are matched by the bits of the scale";
}

TEST_F(FigureTest, StickmenLiveInsideTheFigureAndLargerTypesOnTheHeap) {
    // A frame of stick men is one block: nothing of a stick man is kept on the heap.
    EXPECT_TRUE(man.jointPos.isInline());
    EXPECT_TRUE(man.pose.isInline());
    EXPECT_EQ(man.joined.capacity(), 0u);

    // A chain of twenty segments, each turning a little further, outgrows the inline room.
    FigureType chain;
    for (int s = 0; s < 20; ++s) {
        chain.addSegment(static_cast<uint8_t>(s), skLine, 10, 2, 0.1 * s, 0, 0);
    }
    Figure big;
    big.setType(0, chain);
    EXPECT_FALSE(big.pose.isInline());
    big.placeRoot({5, 6}, chain);
    double x = 5;
    double y = 6;
    for (int s = 0; s < 20; ++s) {
        x += 10 * std::cos(0.1 * s);
        y += 10 * std::sin(0.1 * s);
    }
    EXPECT_NEAR(big.jointPos[20].x, x, 1e-3);
    EXPECT_NEAR(big.jointPos[20].y, y, 1e-3);

    // A copy turned into a stick man stands on its own.
    Figure copy = big;
    copy.setType(1, type());
    copy.placeRoot({1, 2}, type());
    EXPECT_EQ(copy.segmentCount(), type().segmentCount());
    EXPECT_FLOAT_EQ(copy.jointPos[3].y, man.jointPos[3].y + 2);
    EXPECT_FLOAT_EQ(big.jointPos[0].x, 5);
    EXPECT_EQ(big.segmentCount(), 20);
}

TEST(Rounding, HalvesGoToEvenAndUnrepresentableValuesGiveZero) {
    EXPECT_EQ(kelto::roundHalfEven(2.5), 2);
    EXPECT_EQ(kelto::roundHalfEven(3.5), 4);
    EXPECT_EQ(kelto::roundHalfEven(-2.5), -2);
    EXPECT_EQ(kelto::roundHalfEven(std::nan("")), 0);
    EXPECT_EQ(kelto::roundHalfEven(INFINITY), 0);
    EXPECT_EQ(kelto::roundHalfEven(-1e300), 0);
    EXPECT_EQ(kelto::roundHalfEven(-INFINITY), 0);
    EXPECT_EQ(kelto::roundHalfEven(-0.5), 0);
    EXPECT_EQ(kelto::roundHalfEven(0.5), 0);
    EXPECT_EQ(kelto::roundHalfEven(1.5), 2);
    // The edge of the accepted range: the largest double below 2^62 converts exactly (written
    // out by hand), 2^62 itself and beyond give zero; the sanitizer build checks the cast.
    EXPECT_EQ(kelto::roundHalfEven(std::nextafter(0x1p62, 0.0)), INT64_C(4611686018427387392));
    EXPECT_EQ(kelto::roundHalfEven(-std::nextafter(0x1p62, 0.0)), -INT64_C(4611686018427387392));
    EXPECT_EQ(kelto::roundHalfEven(0x1p62), 0);
    EXPECT_EQ(kelto::roundHalfEven(-0x1p62), 0);
    EXPECT_EQ(kelto::roundHalfEven(0x1p63), 0); // would overflow int64 if converted
    EXPECT_EQ(kelto::roundHalfEven(1e18), INT64_C(1000000000000000000));
}

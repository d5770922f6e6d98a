#include "modelfixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace kelto;
using kelto::testing::typeIsSound;

namespace {

// A type whose picture segments use the given picture indices, all hanging from the root.
FigureType pictureType(std::initializer_list<int> pictureIndices, int pictureCount) {
    FigureType type;
    type.addSegment(0, skLine, 10, 2, 0, 0, 0);
    for (int index : pictureIndices) {
        type.addSegment(0, skImage, 20, 2, 0, 0, static_cast<uint8_t>(index));
    }
    type.setImageCount(pictureCount);
    for (int k = 0; k < pictureCount; ++k) {
        type.images[k].setSize(10 + k, 5); // widths tell the pictures apart
    }
    return type;
}

} // namespace

TEST(FigureType, StickmanMatchesItsTable) {
    const FigureType man = createStickmanType();
    ASSERT_EQ(man.segmentCount(), 12);
    EXPECT_TRUE(typeIsSound(man));
    const int starts[] = {0, 1, 2, 3, 2, 2, 5, 6, 0, 0, 9, 10};
    for (int s = 0; s < 12; ++s) {
        EXPECT_EQ(man.segments[s].startJoint, starts[s]) << s;
        EXPECT_EQ(man.segments[s].endJoint, s + 1) << s;
    }
    EXPECT_EQ(man.segments[3].kind, skCircle);
    EXPECT_EQ(man.segments[3].isStatic, 1);
    EXPECT_EQ(man.joints[0].children, (std::vector<uint8_t>{0, 8, 9}));
    EXPECT_EQ(man.joints[2].children, (std::vector<uint8_t>{2, 4, 5}));
    EXPECT_EQ(man.joints[0].inSegment, -1);
}

TEST(FigureType, SplitInsertsHalvesAndRenumbersLaterSegments) {
    FigureType man = createStickmanType();
    const FigureType before = man;
    man.splitSegment(4); // upper arm 2 -> 5
    ASSERT_EQ(man.segmentCount(), 13);
    EXPECT_TRUE(typeIsSound(man));
    EXPECT_FLOAT_EQ(man.segments[4].length, 19);
    EXPECT_FLOAT_EQ(man.segments[5].length, 19);
    EXPECT_EQ(man.segments[4].startJoint, 2);
    EXPECT_EQ(man.segments[4].endJoint, 13); // the new joint
    EXPECT_EQ(man.segments[5].startJoint, 13);
    EXPECT_EQ(man.segments[5].endJoint, 5); // keeps the old end joint
    EXPECT_EQ(man.segments[5].angle, before.segments[4].angle);
    for (int s = 5; s < 12; ++s) {
        EXPECT_EQ(man.segments[s + 1].endJoint, before.segments[s].endJoint);
        EXPECT_EQ(man.segments[s + 1].length, before.segments[s].length);
    }
    // The forearm that hung on joint 5 still does, now below segment 5.
    EXPECT_EQ(man.joints[5].children, (std::vector<uint8_t>{7}));
}

TEST(FigureType, DeleteSingleSegmentRehangsItsChildren) {
    FigureType man = createStickmanType();
    ASSERT_TRUE(man.deleteSegment(1, false)); // upper body: neck and arms hang on joint 2
    EXPECT_EQ(man.segmentCount(), 11);
    EXPECT_TRUE(typeIsSound(man));
    // Neck, both arms start where the upper body started (joint 1).
    int fromJoint1 = 0;
    for (const Segment& seg : man.segments) {
        fromJoint1 += seg.startJoint == 1;
    }
    EXPECT_EQ(fromJoint1, 3);
}

TEST(FigureType, DeleteWholeBranchRemovesEverythingBelow) {
    FigureType man = createStickmanType();
    ASSERT_TRUE(man.deleteSegment(1, true)); // upper body with neck, head and both arms
    EXPECT_EQ(man.segmentCount(), 5);        // lower body, thighs, shins
    EXPECT_TRUE(typeIsSound(man));
    EXPECT_TRUE(std::none_of(man.segments.begin(), man.segments.end(),
                             [](const Segment& seg) { return seg.kind == skCircle; }));
}

TEST(FigureType, DeleteRefusesToLoseTheLastRootSegment) {
    FigureType one;
    one.addSegment(0, skLine, 10, 2, 0, 0, 0);
    EXPECT_FALSE(one.deleteSegment(0, false)); // no children
    one.addSegment(1, skLine, 10, 2, 0, 0, 0);
    EXPECT_FALSE(one.deleteSegment(0, true)); // whole branch asked
    EXPECT_EQ(one.segmentCount(), 2);
    EXPECT_TRUE(one.deleteSegment(0, false)); // its child takes its place at the root
    EXPECT_EQ(one.segmentCount(), 1);
    EXPECT_EQ(one.segments[0].startJoint, 0);
    EXPECT_TRUE(typeIsSound(one));
}

TEST(FigureType, DeletingLastUserOfAPictureMovesTheLastPictureIntoItsSlot) {
    FigureType type = pictureType({0, 1, 2}, 3); // segments 1..3 use pictures 0..2
    ASSERT_TRUE(type.deleteSegment(1, false));
    ASSERT_EQ(type.imageCount(), 2);
    EXPECT_EQ(type.images[0].width(), 12); // the last picture now fills slot 0
    EXPECT_TRUE(typeIsSound(type));
    // The segment that showed the last picture follows it into slot 0.
    const auto uses = [&](int width) {
        for (int s = 0; s < type.segmentCount(); ++s) {
            if (type.segments[s].kind == skImage &&
                type.images[type.imageRefs[s].imageIndex].width() == width) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(uses(11));
    EXPECT_TRUE(uses(12));
}

TEST(FigureType, SharedPictureStaysWhileStillUsed) {
    FigureType type = pictureType({0, 0}, 1);
    ASSERT_TRUE(type.deleteSegment(1, false));
    EXPECT_EQ(type.imageCount(), 1);
    ASSERT_TRUE(type.deleteSegment(1, false));
    EXPECT_EQ(type.imageCount(), 0);
}

TEST(FigureType, MakeRootReversesThePathAndKeepsOtherAngles) {
    const FigureType man = createStickmanType();
    FigureType rooted = man;
    rooted.makeRoot(6); // forearm 5 -> 7: the hand becomes the root
    ASSERT_EQ(rooted.segmentCount(), 12);
    EXPECT_TRUE(typeIsSound(rooted));
    // Three segments lie on the path hand -> elbow -> shoulder -> hip chain start:
    // forearm, upper arm, upper body, lower body. They are reversed; all others keep angles.
    int reversed = 0;
    for (int s = 0; s < 12; ++s) {
        const Segment& seg = rooted.segments[s];
        bool sameAsSome = false;
        bool reversedOfSome = false;
        for (const Segment& old : man.segments) {
            if (old.length != seg.length || old.kind != seg.kind) {
                continue;
            }
            sameAsSome |= old.angle == seg.angle;
            double flipped = old.angle + kPi;
            if (flipped > kPi) {
                flipped -= 2 * kPi;
            }
            reversedOfSome |= std::fabs(flipped - seg.angle) < 1e-12;
        }
        EXPECT_TRUE(sameAsSome || reversedOfSome) << s;
        reversed += !sameAsSome;
    }
    EXPECT_EQ(reversed, 4);
    // The first segment hangs from the new root and is the reversed forearm.
    EXPECT_EQ(rooted.segments[0].startJoint, 0);
    EXPECT_FLOAT_EQ(rooted.segments[0].length, 40);
}

TEST(FigureType, MakeRootKeepsTheShapeOfTheFigure) {
    // Joint positions of the re-rooted type, placed with its root on the old hand, are the old
    // positions: re-rooting changes the numbering, never the drawing.
    const FigureTypeList types = kelto::testing::standardTypes();
    Figure before;
    before.setType(1, types[1]);
    FigureType rooted = types[1];
    rooted.makeRoot(7);
    Figure after;
    after.setType(1, rooted);
    const PointF hand = before.joint(8);
    after.placeRoot(hand, rooted);
    std::vector<std::pair<float, float>> a, b;
    for (const FigureJoint& j : before.jointPos) {
        a.emplace_back(std::round(j.x * 1000), std::round(j.y * 1000));
    }
    for (const FigureJoint& j : after.jointPos) {
        b.emplace_back(std::round(j.x * 1000), std::round(j.y * 1000));
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
}

TEST(FigureType, MakeRootFlipsPictureReversal) {
    FigureType type;
    type.addSegment(0, skImage, 20, 2, 0, 0, 0);
    type.addSegment(1, skLine, 10, 2, 0, 0, 0);
    type.setImageCount(1);
    type.makeRoot(0);
    EXPECT_TRUE(typeIsSound(type));
    ASSERT_EQ(type.segments[0].kind, skImage);
    EXPECT_EQ(type.imageRefs[0].imageReversed, 1);
    EXPECT_EQ(type.imageCount(), 1);
}

TEST(FigureType, RandomEditsKeepTheInvariants) {
    // A long deterministic sequence of builder edits must never break tree order or the
    // end-joint permutation.
    FigureType type = createStickmanType();
    uint32_t seed = 12345;
    auto next = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<uint32_t>(n));
    };
    for (int step = 0; step < 2000; ++step) {
        const int n = type.segmentCount();
        switch (next(4)) {
        case 0:
            if (n < kMaxSegments) {
                type.addSegment(static_cast<uint8_t>(next(n + 1)), skLine, 10, 2, 0, 0, 0);
            }
            break;
        case 1:
            if (n < kMaxSegments) {
                type.splitSegment(next(n));
            }
            break;
        case 2:
            type.deleteSegment(next(n), next(2) == 1);
            break;
        case 3:
            type.makeRoot(next(n));
            break;
        }
        ASSERT_TRUE(typeIsSound(type)) << "step " << step;
        ASSERT_GE(type.segmentCount(), 1);
    }
}

TEST(FigureType, InvariantCheckerCatchesBrokenTypes) {
    FigureType man = createStickmanType();
    man.segments[5].startJoint = 12; // hangs from a joint made later
    man.rebuildJoints();
    EXPECT_FALSE(verifyFigureType(man).empty());

    man = createStickmanType();
    man.segments[2].endJoint = 4; // twice
    man.rebuildJoints();
    EXPECT_FALSE(verifyFigureType(man).empty());

    man = createStickmanType();
    man.segments[0].kind = skImage; // no pictures
    EXPECT_FALSE(verifyFigureType(man).empty());
}

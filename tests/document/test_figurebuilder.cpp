// The figure builder's editing, without its window: every operation keeps the working type,
// the figure's joints and the selection consistent, and refuses what it must.
#include "document/document.h"
#include "document/figurebuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace kelto;

namespace {

constexpr PointF kCentre{160, 170};

struct Builder : ::testing::Test {
    Document doc;
    FigureBuilder b{doc};

    void SetUp() override { b.startNew(kCentre); }

    PointF joint(int j) const { return b.figure().joint(j); }
    const Segment& segment(int s) const { return b.type().segments[size_t(s)]; }

    // A Y: the first segment up from the centre, then two more from its end.
    void makeY() {
        ASSERT_EQ(b.addSegment(1, skLine, {130, 92}), BuildResult::Done);
        ASSERT_EQ(b.addSegment(1, skLine, {190, 92}), BuildResult::Done);
    }
};

void expectNear(PointF actual, PointF expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-3);
    EXPECT_NEAR(actual.y, expected.y, 1e-3);
}

} // namespace

TEST_F(Builder, NewTypeIsOneLineUpFromTheCentre) {
    ASSERT_EQ(b.type().segmentCount(), 1);
    expectNear(joint(0), kCentre);
    expectNear(joint(1), {160, 122});
    const SegmentFacts f = *b.selectedFacts();
    EXPECT_EQ(f.segmentCount, 1);
    EXPECT_EQ(f.kind, skLine);
    EXPECT_EQ(f.thickness, 6);
    EXPECT_EQ(f.length, 48);
    EXPECT_EQ(f.bearing, 0);
    EXPECT_FALSE(f.isStatic);
    // The working type is the document's entry 0.
    EXPECT_EQ(doc.figureType(0).segmentCount(), 1);
}

TEST_F(Builder, AddedSegmentsStartAtTheirJointInheritThicknessAndAreSelected) {
    ASSERT_TRUE(b.changeThickness(true, true)); // 11
    // 30 right of the top joint: a 3-4-5 triangle would be too neat, so plain numbers.
    ASSERT_EQ(b.addSegment(1, skCircle, {190, 122}), BuildResult::Done);
    EXPECT_EQ(b.selected(), 1);
    EXPECT_EQ(segment(1).startJoint, 1);
    EXPECT_EQ(segment(1).kind, skCircle);
    EXPECT_FLOAT_EQ(segment(1).length, 30);
    EXPECT_FLOAT_EQ(segment(1).thickness, 11);
    expectNear(joint(2), {190, 122});
    EXPECT_EQ(b.selectedFacts()->bearing, 90);
    // From the root a segment takes the first segment's thickness.
    ASSERT_EQ(b.addSegment(0, skLine, {160, 200}), BuildResult::Done);
    EXPECT_FLOAT_EQ(segment(2).thickness, 11);
    EXPECT_EQ(b.selectedFacts()->bearing, 180);
    EXPECT_EQ(b.addSegment(9, skLine, {0, 0}), BuildResult::Unchanged);
}

TEST_F(Builder, SegmentLimitRefusesAddDuplicateAndSplit) {
    for (int i = 1; i < kMaxSegments; ++i) {
        ASSERT_EQ(b.addSegment(0, skLine, {160.0 + i, 200}), BuildResult::Done);
    }
    ASSERT_FALSE(b.canAddSegment());
    EXPECT_EQ(b.addSegment(0, skLine, {0, 0}), BuildResult::TooManySegments);
    EXPECT_EQ(b.addDuplicate(0, skLine), BuildResult::TooManySegments);
    EXPECT_EQ(b.splitSelected(), BuildResult::TooManySegments);
    EXPECT_EQ(b.type().segmentCount(), kMaxSegments);
}

TEST_F(Builder, DuplicateIsParallelAtTheChosenJoint) {
    makeY(); // segment 2 goes from (160,122) to (190,92)
    ASSERT_EQ(b.selected(), 2);
    ASSERT_TRUE(b.toggleStatic());
    ASSERT_EQ(b.addDuplicate(0, skCircle), BuildResult::Done);
    EXPECT_EQ(b.selected(), 3);
    EXPECT_EQ(segment(3).startJoint, 0);
    EXPECT_EQ(segment(3).kind, skCircle);
    EXPECT_EQ(segment(3).isStatic, 1);
    EXPECT_FLOAT_EQ(segment(3).length, segment(2).length);
    expectNear(joint(segment(3).endJoint), {160 + 30, 170 - 30});
}

TEST_F(Builder, KindStaticAndFillToggles) {
    ASSERT_TRUE(b.toggleKind());
    EXPECT_EQ(segment(0).kind, skCircle);
    ASSERT_TRUE(b.cycleCircleFill());
    EXPECT_EQ(segment(0).kind, skFilledCircle);
    ASSERT_TRUE(b.cycleCircleFill());
    EXPECT_EQ(segment(0).kind, skHollowCircle);
    ASSERT_TRUE(b.cycleCircleFill());
    EXPECT_EQ(segment(0).kind, skCircle);
    ASSERT_TRUE(b.toggleKind());
    EXPECT_EQ(segment(0).kind, skLine);
    EXPECT_FALSE(b.cycleCircleFill()); // lines have no fill
    ASSERT_TRUE(b.toggleStatic());
    EXPECT_TRUE(b.selectedFacts()->isStatic);

    // A picture segment becomes a line and loses its picture reference.
    FigureType pictured;
    pictured.addSegment(0, skImage, 40, 3, 0, 0, 0);
    pictured.imageRefs[0] = {1, 1};
    ASSERT_TRUE(b.load(pictured, kCentre));
    ASSERT_TRUE(b.toggleKind());
    EXPECT_EQ(segment(0).kind, skLine);
    EXPECT_EQ(b.type().imageRefs[0].imageIndex, 0);
    EXPECT_EQ(b.type().imageRefs[0].imageReversed, 0);
}

TEST_F(Builder, ThicknessStaysWithinLimits) {
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(b.changeThickness(false, true));
    }
    EXPECT_FLOAT_EQ(segment(0).thickness, 0);
    for (int i = 0; i < 250; ++i) {
        b.changeThickness(true, true);
    }
    EXPECT_FLOAT_EQ(segment(0).thickness, FigureBuilder::kMaxThickness);
    // A damaged type's thickness that is no number becomes zero rather than spreading.
    FigureType damaged;
    damaged.addSegment(0, skLine, 40, std::numeric_limits<float>::quiet_NaN(), 0, 0, 0);
    ASSERT_TRUE(b.load(damaged, kCentre));
    ASSERT_TRUE(b.changeThickness(true, false));
    EXPECT_FLOAT_EQ(segment(0).thickness, 0);
    EXPECT_EQ(b.selectedFacts()->thickness, 0);
}

TEST_F(Builder, DeleteRefusesTheLastRootSegmentAndClampsTheSelection) {
    EXPECT_FALSE(b.deleteSelected(false));
    EXPECT_FALSE(b.deleteSelected(true));
    makeY();
    // The whole branch from the first segment would leave nothing at the root.
    b.selectAt(joint(1));
    ASSERT_EQ(b.selected(), 0);
    EXPECT_FALSE(b.deleteSelected(true));
    // The last segment goes, and the selection moves onto the new last one.
    b.selectAt(joint(3));
    ASSERT_EQ(b.selected(), 2);
    const PointF keptEnd = joint(2);
    ASSERT_TRUE(b.deleteSelected(false));
    EXPECT_EQ(b.type().segmentCount(), 2);
    EXPECT_EQ(b.selected(), 1);
    expectNear(joint(2), keptEnd);
    expectNear(joint(0), kCentre);
}

TEST_F(Builder, SplitAndReRootKeepTheDrawingInPlace) {
    makeY();
    b.selectAt(joint(1));
    ASSERT_EQ(b.splitSelected(), BuildResult::Done);
    ASSERT_EQ(b.type().segmentCount(), 4);
    // Every old joint is still drawn where it was; the new one halves the first segment.
    std::vector<PointF> ends;
    for (int j = 0; j < b.type().jointCount(); ++j) {
        ends.push_back(joint(j));
    }
    auto drawn = [&](PointF p) {
        for (const PointF& e : ends) {
            if (std::hypot(e.x - p.x, e.y - p.y) < 1e-3) {
                return true;
            }
        }
        return false;
    };
    for (PointF p :
         {kCentre, PointF{160, 122}, PointF{130, 92}, PointF{190, 92}, PointF{160, 146}}) {
        EXPECT_TRUE(drawn(p)) << p.x << "," << p.y;
    }

    b.selectAt({130, 92});
    ASSERT_TRUE(b.makeSelectedEndRoot());
    EXPECT_EQ(b.selected(), 0);
    expectNear(joint(0), {130, 92});
    ends.clear();
    for (int j = 0; j < b.type().jointCount(); ++j) {
        ends.push_back(joint(j));
    }
    for (PointF p : {kCentre, PointF{160, 122}, PointF{190, 92}, PointF{160, 146}}) {
        EXPECT_TRUE(drawn(p)) << p.x << "," << p.y;
    }
}

TEST_F(Builder, DraggingMovesTheFigurePosesOrOneJoint) {
    makeY();
    // The main handle moves everything.
    ASSERT_TRUE(b.dragHandle(kMainHandle, kCentre, {170, 175}, {}, false));
    expectNear(joint(0), {170, 175});
    expectNear(joint(3), {200, 97});

    // Edit mode: the joint between segment 0 and its children moves alone; the lengths on
    // both sides follow and the type keeps them.
    ASSERT_TRUE(b.dragHandle(0, joint(1), {170, 147}, {}, true));
    expectNear(joint(1), {170, 147});
    expectNear(joint(0), {170, 175});
    expectNear(joint(2), {140, 97});
    expectNear(joint(3), {200, 97});
    EXPECT_FLOAT_EQ(segment(0).length, 28);
    EXPECT_NEAR(segment(1).length, std::hypot(30.0, 50.0), 1e-4);

    // A pose drag turns the segment about its start and stores the pose in the type.
    ASSERT_TRUE(b.dragHandle(0, joint(1), {198, 175}, {}, false));
    EXPECT_NEAR(segment(0).angle, 0, 1e-9);
    expectNear(joint(1), {198, 175}); // the length stays 28
    EXPECT_FALSE(b.dragHandle(kNoHandle, {0, 0}, {1, 1}, {}, false));
    EXPECT_FALSE(b.dragHandle(7, {0, 0}, {1, 1}, {}, false));
}

TEST_F(Builder, RestoredMismatchIsRefusedNotTrusted) {
    // A figure with fewer poses than its type has segments: no command may index past it.
    FigureType two;
    two.addSegment(0, skLine, 10, 2, 0, 0, 0);
    two.addSegment(1, skLine, 10, 2, 0, 0, 0);
    b.restore(two, b.figure(), 1);
    EXPECT_FALSE(b.hasSelection());
    EXPECT_FALSE(b.toggleKind());
    EXPECT_FALSE(b.changeThickness(true, false));
    EXPECT_FALSE(b.deleteSelected(false));
    EXPECT_FALSE(b.makeSelectedEndRoot());
    EXPECT_EQ(b.splitSelected(), BuildResult::Unchanged);
    EXPECT_EQ(b.addDuplicate(0, skLine), BuildResult::Unchanged);
    EXPECT_EQ(b.hitHandle(kCentre), kNoHandle);
    EXPECT_FALSE(b.selectedFacts().has_value());
    EXPECT_FALSE(b.load(FigureType{}, kCentre)); // an empty type is not taken
}

TEST_F(Builder, WorkingTypeSurvivesTheDocumentGrowing) {
    makeY();
    for (int i = 0; i < 40; ++i) { // enough to move the document's list of types
        doc.addFigureType(FigureType(b.type()), "copy " + std::to_string(i));
    }
    ASSERT_TRUE(b.toggleStatic());
    EXPECT_EQ(doc.figureType(0).segments[2].isStatic, 1);
    EXPECT_EQ(b.finishedType().segmentCount(), 3);
}

#include "modelfixtures.h"

#include "settings/appsettings.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kelto;
using kelto::testing::addStickman;
using kelto::testing::frameIsSound;

namespace {

class FiguresTest : public ::testing::Test {
protected:
    void SetUp() override {
        appSettings() = AppSettings{};
        types = kelto::testing::standardTypes();
    }
    int add(double x, double y) { return addStickman(frame, types, x, y, lastId); }
    std::vector<uint16_t> order() const { return frame.drawOrder; }
    void selectOnly(std::initializer_list<int> figures) {
        frame.clearSelection();
        for (int i : figures) {
            frame.select(i, false);
        }
    }
    // Joins child's root to a joint of parent the way the canvas does it.
    void joinTo(int child, int parent, int joint) {
        selectOnly({child});
        frame.beginJoin(child);
        ASSERT_TRUE(frame.join(child, parent, joint));
    }
    bool onItsJoint(int child) const {
        const Figure& c = frame.figures[child];
        const FigureJoint& j = frame.figures[c.joinParent].jointPos[c.joinJoint];
        return std::fabs(c.jointPos[0].x - j.x) < 1e-3 && std::fabs(c.jointPos[0].y - j.y) < 1e-3;
    }

    FigureTypeList types;
    Figures frame;
    int32_t lastId = 0;
};

} // namespace

TEST_F(FiguresTest, SetCountKeepsDrawOrderAndSelectionRules) {
    frame.setCount(1);
    EXPECT_EQ(frame.selection, (std::vector<uint16_t>{0}));
    frame.setCount(3);
    EXPECT_EQ(order(), (std::vector<uint16_t>{0, 1, 2}));
    EXPECT_EQ(frame.figures[2].orderPos, 2);
    frame.setCount(0);
    EXPECT_TRUE(frame.selection.empty());
}

TEST_F(FiguresTest, SelectAndDeselectKeepPositionsConsistent) {
    for (int k = 0; k < 4; ++k) {
        add(100 * k, 100);
    }
    selectOnly({0, 2, 3});
    frame.select(2, false); // already selected: unchanged
    EXPECT_EQ(frame.selection, (std::vector<uint16_t>{0, 2, 3}));
    frame.deselect(0); // the last entry moves into the gap
    EXPECT_EQ(frame.selection, (std::vector<uint16_t>{3, 2}));
    EXPECT_EQ(frame.figures[3].selectionPos, 0);
    frame.deselect(9); // out of range: nothing
    frame.selectAll();
    EXPECT_EQ(frame.selection, (std::vector<uint16_t>{3, 2, 0, 1}));
    EXPECT_TRUE(frameIsSound(frame, types));
}

TEST_F(FiguresTest, HitTestTopmostWinsAndHonoursHandleVisibility) {
    add(50, 50);
    add(50, 50); // exactly on top of the first
    EXPECT_EQ(frame.hitTest(types, {50, 50}, HandleView{}).figure, 1);
    selectOnly({0});
    EXPECT_TRUE(frame.raise(false));
    EXPECT_EQ(frame.hitTest(types, {50, 50}, HandleView{}).figure, 0);

    // Unselected figures show segment handles only when the view says handles are shown.
    frame.figures[0].move(300, 0);
    const PointF shoulder = frame.figures[1].joint(2);
    HandleView hidden;
    hidden.showHandles = false;
    EXPECT_EQ(frame.hitTest(types, shoulder, hidden).handle, kNoHandle);
    const HitResult hit = frame.hitTest(types, shoulder, HandleView{});
    EXPECT_EQ(hit.figure, 1);
    EXPECT_EQ(hit.handle, 1); // the upper body ends at the shoulders
}

TEST_F(FiguresTest, MoveSelectionMovesJoinedFiguresAlong) {
    add(100, 100);
    add(300, 100);
    joinTo(1, 0, 8); // hangs on the first man's right hand
    EXPECT_TRUE(onItsJoint(1));
    selectOnly({0});
    frame.moveSelection(10, 5);
    EXPECT_TRUE(onItsJoint(1));
    EXPECT_FLOAT_EQ(frame.figures[0].jointPos[0].x, 110);
    EXPECT_TRUE(frameIsSound(frame, types));
}

TEST_F(FiguresTest, DraggingAHandleTurnsFiguresJoinedBelowIt) {
    add(100, 100);
    add(300, 100);
    joinTo(1, 0, 8); // right hand, end of the right forearm (segment 7)
    const double before = frame.figures[1].pose[0].angle;
    selectOnly({0});
    const PointF shoulder = frame.figures[0].joint(2);
    // Turn the right upper arm (segment 5) to point straight down.
    frame.dragHandle(types, 0, 5, {shoulder.x, shoulder.y + 50}, false, {});
    const double turned = kPi / 2 - kPi / 4;
    EXPECT_NEAR(frame.figures[1].pose[0].angle - before, turned, 1e-9);
    EXPECT_TRUE(onItsJoint(1));
    EXPECT_TRUE(frameIsSound(frame, types));
}

TEST_F(FiguresTest, AltDragWithSeveralSelectedScalesAboutTheSelectionCentre) {
    add(100, 200);
    add(300, 200);
    selectOnly({0, 1});
    frame.updateSelectionCentre();
    const PointF c = frame.selectionCentre;
    const PointF hand = frame.figures[1].joint(8);
    const PointF target{c.x + 2 * (hand.x - c.x), c.y + 2 * (hand.y - c.y)};
    EXPECT_TRUE(frame.dragHandle(types, 1, 7, target, false, {false, true}));
    for (int k = 0; k < 2; ++k) {
        EXPECT_NEAR(frame.figures[k].scale, 2, 1e-5);
    }
    EXPECT_NEAR(frame.figures[1].jointPos[8].x, target.x, 1e-2);
    EXPECT_NEAR(frame.figures[1].jointPos[8].y, target.y, 1e-2);
    // Root positions doubled their distance from the centre.
    EXPECT_NEAR(frame.figures[0].jointPos[0].x - c.x, 2 * (100 - c.x), 1e-2);
}

TEST_F(FiguresTest, AltDragWithOneSelectedKeepsTheRootPut) {
    add(100, 200);
    selectOnly({0});
    const PointF hand = frame.figures[0].joint(8);
    frame.dragHandle(types, 0, 7, {100 + (hand.x - 100) * 1.5, 200 + (hand.y - 200) * 1.5}, false,
                     {false, true});
    EXPECT_NEAR(frame.figures[0].scale, 1.5, 1e-5);
    EXPECT_FLOAT_EQ(frame.figures[0].jointPos[0].x, 100);
    EXPECT_FLOAT_EQ(frame.figures[0].jointPos[0].y, 200);
}

TEST_F(FiguresTest, FlipSingleKeepsRootAndSeveralMirrorAboutTheCentre) {
    add(100, 200);
    add(300, 200);
    selectOnly({0});
    const PointF rightHand = frame.figures[0].joint(8);
    frame.flipSelection(types);
    EXPECT_FLOAT_EQ(frame.figures[0].jointPos[0].x, 100);
    EXPECT_NEAR(frame.figures[0].jointPos[7].x, rightHand.x, 1e-3); // hands swap sides
    EXPECT_EQ(frame.figures[0].flipped, 1);

    selectOnly({0, 1});
    frame.updateSelectionCentre();
    const double cx = frame.selectionCentre.x;
    frame.flipSelection(types);
    EXPECT_NEAR(frame.figures[0].jointPos[0].x, 2 * cx - 100, 1e-3);
    EXPECT_NEAR(frame.figures[1].jointPos[0].x, 2 * cx - 300, 1e-3);
}

TEST_F(FiguresTest, ScaleSelectionScalesPositionsAboutTheCentre) {
    add(100, 200);
    add(300, 200);
    selectOnly({0, 1});
    frame.updateSelectionCentre();
    const double cx = frame.selectionCentre.x;
    frame.scaleSelection(types, 2);
    EXPECT_FLOAT_EQ(frame.figures[1].scale, 2);
    EXPECT_NEAR(frame.figures[1].jointPos[0].x, cx + 2 * (300 - cx), 1e-3);
}

TEST_F(FiguresTest, DuplicateOfAFigureJoinedToAnUnselectedOneIsFree) {
    add(100, 100);
    add(300, 100);
    joinTo(1, 0, 8);
    selectOnly({1});
    ASSERT_EQ(frame.duplicateSelection(lastId), DuplicateResult::Done);
    ASSERT_EQ(frame.figureCount(), 3);
    const Figure& copy = frame.figures[2];
    EXPECT_EQ(copy.isJoined, 0);
    EXPECT_FLOAT_EQ(copy.jointPos[0].x, frame.figures[1].jointPos[0].x + 20);
    EXPECT_FLOAT_EQ(copy.jointPos[0].y, frame.figures[1].jointPos[0].y + 20);
    EXPECT_EQ(copy.figureID, 3);
    EXPECT_EQ(lastId, 3);
    EXPECT_EQ(frame.selection, (std::vector<uint16_t>{2}));
    EXPECT_EQ(frame.figures[0].joinedChildCount, 1u); // the original join is untouched
    EXPECT_TRUE(frameIsSound(frame, types));
}

TEST_F(FiguresTest, DuplicatingParentAndChildGivesAJoinedPairOnTop) {
    add(100, 100);
    add(300, 100);
    add(500, 100);
    joinTo(1, 0, 8);
    selectOnly({1, 0});
    ASSERT_EQ(frame.duplicateSelection(lastId), DuplicateResult::Done);
    ASSERT_EQ(frame.figureCount(), 5);
    // Copies in the sources' draw order: 0's copy is 3, 1's copy is 4.
    EXPECT_EQ(frame.figures[4].isJoined, 1);
    EXPECT_EQ(frame.figures[4].joinParent, 3);
    EXPECT_EQ(frame.drawOrder[3], 3);
    EXPECT_EQ(frame.drawOrder[4], 4);
    EXPECT_EQ(frame.selection, (std::vector<uint16_t>{3, 4}));
    EXPECT_TRUE(onItsJoint(4));
    EXPECT_TRUE(frameIsSound(frame, types));
}

TEST_F(FiguresTest, DuplicateRefusesPastTheLimit) {
    frame.setCount(40000);
    for (int i = 0; i < frame.figureCount(); ++i) {
        frame.figures[i].figureID = i;
    }
    frame.selectAll();
    int32_t id = 40000;
    EXPECT_EQ(frame.duplicateSelection(id), DuplicateResult::TooManyFigures);
    EXPECT_EQ(frame.figureCount(), 40000);
    EXPECT_EQ(id, 40000);
}

TEST_F(FiguresTest, DeleteFreesJoinedChildrenAndRenumbersOtherJoins) {
    for (int k = 0; k < 4; ++k) {
        add(100 + 150 * k, 100);
    }
    joinTo(1, 0, 8); // 1 hangs on 0
    joinTo(3, 2, 7); // 3 hangs on 2
    const PointF where = frame.figures[1].joint(0);
    frame.deleteFigure(0);
    ASSERT_EQ(frame.figureCount(), 3);
    EXPECT_EQ(frame.figures[0].isJoined, 0); // the old figure 1, free where it was
    EXPECT_FLOAT_EQ(frame.figures[0].jointPos[0].x, static_cast<float>(where.x));
    EXPECT_EQ(frame.figures[2].isJoined, 1);
    EXPECT_EQ(frame.figures[2].joinParent, 1); // renumbered from 2
    EXPECT_TRUE(frameIsSound(frame, types));
}

TEST_F(FiguresTest, JoinListsKeepJoinOrderPerJointAndFillGapsFromTheEnd) {
    for (int k = 0; k < 5; ++k) {
        add(100 + 150 * k, 100);
    }
    joinTo(1, 0, 8);
    joinTo(2, 0, 3);
    joinTo(3, 0, 8);
    joinTo(4, 0, 8);
    const Figure& parent = frame.figures[0];
    EXPECT_EQ(parent.joinedFigures(8), (std::vector<uint16_t>{1, 3, 4}));
    EXPECT_EQ(parent.joinedFigures(3), (std::vector<uint16_t>{2}));
    EXPECT_TRUE(parent.joinedFigures(0).empty());
    EXPECT_TRUE(parent.hasJoinedAt(3));
    EXPECT_FALSE(parent.hasJoinedAt(7));
    EXPECT_EQ(parent.joinedChildCount, 4u);
    // The list's last figure takes the place of one that leaves.
    frame.unjoin(1);
    EXPECT_EQ(frame.figures[0].joinedFigures(8), (std::vector<uint16_t>{4, 3}));
    frame.deleteFigure(2); // renumbers the figures above it in the lists
    EXPECT_EQ(frame.figures[0].joinedFigures(8), (std::vector<uint16_t>{3, 2}));
    EXPECT_FALSE(frame.figures[0].hasJoinedAt(3));
    EXPECT_EQ(frame.figures[0].joinedChildCount, 2u);
    EXPECT_TRUE(frameIsSound(frame, types));
}

TEST_F(FiguresTest, DeleteKeepsDrawOrderAndSelection) {
    for (int k = 0; k < 4; ++k) {
        add(100 * k, 100);
    }
    selectOnly({0});
    frame.raise(false); // order 1 2 3 0
    selectOnly({3, 1});
    frame.deleteFigure(2);
    EXPECT_EQ(order(), (std::vector<uint16_t>{1, 2, 0}));
    EXPECT_EQ(frame.selection, (std::vector<uint16_t>{2, 1}));
    EXPECT_TRUE(frameIsSound(frame, types));
    frame.deleteFigure(0);
    frame.deleteFigure(0);
    EXPECT_EQ(frame.selection, (std::vector<uint16_t>{0})); // one left: it is selected
}

TEST_F(FiguresTest, RaiseAndLowerOrders) {
    for (int k = 0; k < 5; ++k) {
        add(100 * k, 100);
    }
    selectOnly({1, 3});
    EXPECT_TRUE(frame.raise(true)); // one step each
    EXPECT_EQ(order(), (std::vector<uint16_t>{0, 2, 1, 4, 3}));
    EXPECT_TRUE(frame.raise(false)); // all the way, keeping relative order
    EXPECT_EQ(order(), (std::vector<uint16_t>{0, 2, 4, 1, 3}));
    EXPECT_FALSE(frame.raise(false)); // a block already at the top stays
    EXPECT_TRUE(frame.lower(false));
    EXPECT_EQ(order(), (std::vector<uint16_t>{1, 3, 0, 2, 4}));
    EXPECT_FALSE(frame.lower(true));
    selectOnly({4});
    EXPECT_TRUE(frame.lower(true));
    EXPECT_EQ(order(), (std::vector<uint16_t>{1, 3, 0, 4, 2}));
    frame.selectAll();
    EXPECT_FALSE(frame.raise(false));
    EXPECT_FALSE(frame.lower(true));
    EXPECT_TRUE(frameIsSound(frame, types));
}

TEST_F(FiguresTest, JoinCandidatesExcludeTheFigureAndEverythingOnIt) {
    for (int k = 0; k < 3; ++k) {
        add(100 + 150 * k, 100);
    }
    joinTo(1, 0, 8);
    joinTo(2, 1, 8); // chain 0 <- 1 <- 2
    frame.beginJoin(0);
    EXPECT_EQ(frame.figures[0].joinCandidate, 0);
    EXPECT_EQ(frame.figures[1].joinCandidate, 0);
    EXPECT_EQ(frame.figures[2].joinCandidate, 0);
    EXPECT_FALSE(frame.join(0, 2, 3)); // would make a cycle
    EXPECT_FALSE(frame.join(0, 0, 3));
    // In join mode only candidates are hit.
    EXPECT_EQ(frame.hitTest(types, frame.figures[2].joint(4), HandleView{}).handle, kNoHandle);
    EXPECT_TRUE(frameIsSound(frame, types));
}

TEST_F(FiguresTest, UnjoinAndRebuildJoinLists) {
    for (int k = 0; k < 3; ++k) {
        add(100 + 150 * k, 100);
    }
    joinTo(1, 0, 8);
    joinTo(2, 0, 8);
    frame.unjoin(1);
    EXPECT_EQ(frame.figures[0].joinedFigures(8), (std::vector<uint16_t>{2}));
    EXPECT_EQ(frame.figures[0].joinedChildCount, 1u);
    // After a file read the lists are rebuilt from the join fields alone.
    for (Figure& f : frame.figures) {
        f.joined.clear();
        f.joinedChildCount = 0;
    }
    frame.rebuildJoinLists();
    EXPECT_EQ(frame.figures[0].joinedFigures(8), (std::vector<uint16_t>{2}));
    EXPECT_TRUE(frameIsSound(frame, types));
}

TEST_F(FiguresTest, FindByIdUsesTheHintThenTheNearestFigure) {
    for (int k = 0; k < 7; ++k) {
        add(10 * k, 10);
    }
    frame.deleteFigure(3); // ids 1 2 3 5 6 7
    EXPECT_EQ(frame.findByID(5, 3), 3);
    EXPECT_EQ(frame.findByID(1, -1), 0);
    EXPECT_EQ(frame.findByID(7, 0), 5);
    EXPECT_EQ(frame.findByID(4, 2), -1);
    EXPECT_EQ(frame.findByID(99, 100), -1);

    // Identities from elsewhere may fall and repeat: ids 9 2 9 4 9 2. Of repeats the one
    // nearest the hint wins, the lower number on a tie.
    const int32_t ids[] = {9, 2, 9, 4, 9, 2};
    for (int i = 0; i < 6; ++i) {
        frame.figures[i].figureID = ids[i];
    }
    EXPECT_EQ(frame.findByID(9, 2), 2);
    EXPECT_EQ(frame.findByID(9, 3), 2);
    EXPECT_EQ(frame.findByID(9, 5), 4);
    EXPECT_EQ(frame.findByID(2, 3), 1);
    EXPECT_EQ(frame.findByID(2, 4), 5);
    EXPECT_EQ(frame.findByID(4, 0), 3);
    EXPECT_EQ(frame.findByID(2, 1000), 5);
    EXPECT_EQ(frame.findByID(3, 0), -1);
    EXPECT_EQ(Figures{}.findByID(0, 0), -1);
}

TEST_F(FiguresTest, CentreSelection) {
    add(10, 10);
    selectOnly({0});
    frame.centreSelection(501, 400);
    EXPECT_FLOAT_EQ(frame.figures[0].jointPos[0].x, 250);
    EXPECT_FLOAT_EQ(frame.figures[0].jointPos[0].y, 200);
}

TEST_F(FiguresTest, AssignSelectsTheLastFigureAndClearsJoinMode) {
    add(10, 10);
    add(20, 10);
    frame.beginJoin(0);
    frame.repeatCount = 4;
    Figures copy;
    copy.assign(frame);
    EXPECT_EQ(copy.joinMode, 0);
    EXPECT_EQ(copy.repeatCount, 4);
    EXPECT_EQ(copy.selection, (std::vector<uint16_t>{1}));
    EXPECT_TRUE(frameIsSound(copy, types));
}

#include "model/onions.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace kelto;

namespace {

// A frame whose figures carry these identities, in this order, none selected.
Figures frameWithIds(std::initializer_list<int32_t> ids) {
    Figures frame;
    frame.setCount(static_cast<int>(ids.size()));
    int i = 0;
    for (int32_t id : ids) {
        frame.figures[i++].figureID = id;
    }
    frame.clearSelection();
    return frame;
}

Figures editedWith(std::initializer_list<int32_t> ids, int selected) {
    Figures frame = frameWithIds(ids);
    frame.select(selected, true);
    return frame;
}

// Frames 0..4; the figure with identity 7 moves about and is missing from frame 2.
std::vector<Figures> movingFigureFrames() {
    return {frameWithIds({7, 8}), frameWithIds({8, 7}), frameWithIds({8}), frameWithIds({1, 2, 7}),
            frameWithIds({7})};
}

} // namespace

TEST(Onions, BehindFollowsTheIdentityBackToTheFirstFrame) {
    const auto frames = movingFigureFrames();
    const Figures edit = editedWith({9, 7}, 1); // editing frame 4: identity 7, at index 1
    const OnionIndexes found = findOnions(frames, 4, edit, 5, false);
    EXPECT_EQ(found.behind[1], 2);  // frame 3
    EXPECT_EQ(found.behind[2], -1); // frame 2 has no 7
    EXPECT_EQ(found.behind[3], 1);  // frame 1
    EXPECT_EQ(found.behind[4], 0);  // frame 0
    EXPECT_EQ(found.behind[5], -1); // before the first frame
    for (int d = 1; d <= kMaxOnions; ++d) {
        EXPECT_EQ(found.ahead[d], -1) << "later frames without the option, distance " << d;
    }
}

TEST(Onions, CountLimitsHowFarBackAndIsClamped) {
    std::vector<Figures> frames(12, frameWithIds({7}));
    const Figures edit = editedWith({7}, 0);
    const OnionIndexes two = findOnions(frames, 11, edit, 2, false);
    EXPECT_EQ(two.behind[2], 0);
    EXPECT_EQ(two.behind[3], -1);
    const OnionIndexes many = findOnions(frames, 11, edit, 50, true);
    EXPECT_EQ(many.behind[kMaxOnions], 0); // frame 2, the ninth back; no more are kept
    const OnionIndexes none = findOnions(frames, 11, edit, 0, false);
    const OnionIndexes negative = findOnions(frames, 11, edit, -3, false);
    for (int d = 0; d <= kMaxOnions; ++d) {
        EXPECT_EQ(none.behind[d], -1);
        EXPECT_EQ(negative.behind[d], -1);
    }
}

TEST(Onions, TheNewFrameCountsFromTheEndAndHasNothingAhead) {
    const auto frames = movingFigureFrames();
    const Figures edit = editedWith({7}, 0);
    const OnionIndexes found = findOnions(frames, -1, edit, 3, true);
    EXPECT_EQ(found.behind[1], 0);  // frame 4
    EXPECT_EQ(found.behind[2], 2);  // frame 3
    EXPECT_EQ(found.behind[3], -1); // frame 2
    for (int d = 1; d <= kMaxOnions; ++d) {
        EXPECT_EQ(found.ahead[d], -1);
    }
    EXPECT_EQ(onionBase(-1, 5), 5);
    EXPECT_EQ(onionBase(2, 5), 2);
}

TEST(Onions, AheadStopsAtTheLastFrame) {
    const auto frames = movingFigureFrames();
    const Figures edit = editedWith({7}, 0);
    const OnionIndexes found = findOnions(frames, 1, edit, 9, true);
    EXPECT_EQ(found.ahead[1], -1); // frame 2 has no 7
    EXPECT_EQ(found.ahead[2], 2);  // frame 3
    EXPECT_EQ(found.ahead[3], 0);  // frame 4
    EXPECT_EQ(found.ahead[4], -1); // past the end
    EXPECT_EQ(found.behind[1], 0); // frame 0
    EXPECT_EQ(found.behind[2], -1);
}

TEST(Onions, NeedExactlyOneSelectedFigure) {
    const auto frames = movingFigureFrames();
    Figures none = frameWithIds({7, 8});
    Figures both = frameWithIds({7, 8});
    both.select(0, true);
    both.select(1, false);
    ASSERT_EQ(both.selectedCount(), 2);
    for (const Figures* edit : {&none, &both}) {
        const OnionIndexes found = findOnions(frames, 4, *edit, 9, true);
        for (int d = 0; d <= kMaxOnions; ++d) {
            EXPECT_EQ(found.behind[d], -1);
            EXPECT_EQ(found.ahead[d], -1);
        }
    }
}

TEST(Onions, RepeatedIdentityPrefersTheSamePlace) {
    // Damaged files can hold one identity twice; the copy nearest the selected index wins.
    const std::vector<Figures> frames = {frameWithIds({7, 1, 2, 7, 3})};
    EXPECT_EQ(findOnions(frames, -1, editedWith({1, 2, 3, 7}, 3), 1, false).behind[1], 3);
    EXPECT_EQ(findOnions(frames, -1, editedWith({7}, 0), 1, false).behind[1], 0);
}

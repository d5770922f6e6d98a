#include "document/editsession.h"
#include "document/kelformat.h"
#include "fixtures.h"
#include "model/integrity.h"
#include "model/tween.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace kelto;
using namespace kelto::test;

namespace {

constexpr double kDeg = kPi / 180;

// Every stored and derived field of two frames, floats compared by their bits.
template <typename T>
bool sameBits(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

::testing::AssertionResult identicalFrames(const Figures& a, const Figures& b) {
    if (a.figureCount() != b.figureCount() || a.drawOrder != b.drawOrder ||
        a.selection != b.selection || a.backgroundIndex != b.backgroundIndex ||
        a.repeatCount != b.repeatCount || !sameBits(a.selectionCentre.x, b.selectionCentre.x) ||
        !sameBits(a.selectionCentre.y, b.selectionCentre.y)) {
        return ::testing::AssertionFailure() << "frame fields differ";
    }
    for (size_t i = 0; i < a.figures.size(); ++i) {
        const Figure& p = a.figures[i];
        const Figure& q = b.figures[i];
        bool same = sameBits(p.scale, q.scale) && p.bounds == q.bounds && p.colour == q.colour &&
                    p.transparency == q.transparency && p.typeIndex == q.typeIndex &&
                    p.flipped == q.flipped && p.stretchedCount == q.stretchedCount &&
                    p.isJoined == q.isJoined && p.joinParent == q.joinParent &&
                    p.joinJoint == q.joinJoint && p.figureID == q.figureID &&
                    p.selectionPos == q.selectionPos && p.pose.size() == q.pose.size() &&
                    p.jointPos.size() == q.jointPos.size();
        for (size_t s = 0; same && s < p.pose.size(); ++s) {
            same = sameBits(p.pose[s].angle, q.pose[s].angle) &&
                   sameBits(p.pose[s].length, q.pose[s].length);
        }
        for (size_t j = 0; same && j < p.jointPos.size(); ++j) {
            same = sameBits(p.jointPos[j].x, q.jointPos[j].x) &&
                   sameBits(p.jointPos[j].y, q.jointPos[j].y) &&
                   p.jointPos[j].joinedFigures == q.jointPos[j].joinedFigures;
        }
        if (!same) {
            return ::testing::AssertionFailure() << "figure " << i << " differs";
        }
    }
    return ::testing::AssertionSuccess();
}

// A document with the stick man (1) and a one-segment pointer of length 10 (2).
Document twoTypeDocument() {
    Document doc(400, 300);
    doc.addFigureType(chainType(1), "Pointer");
    return doc;
}

Figure pointer(const Document& doc, float x, float y, double degrees, int32_t id) {
    Figure f = placedFigure(doc, 2, x, y, id);
    f.pose[0].angle = degrees * kDeg;
    f.computeJoints(doc.figureType(2));
    f.updateBounds(doc.figureType(2));
    return f;
}

// The direction the pointer's one segment points in, in degrees 0..360.
double pointing(const Figure& f) {
    const double d =
        std::atan2(f.jointPos[1].y - f.jointPos[0].y, f.jointPos[1].x - f.jointPos[0].x);
    return std::fmod(d / kDeg + 360, 360);
}

} // namespace

TEST(Easing, CubicCurvesWithExactEnds) {
    for (Easing e : {Easing::Linear, Easing::In, Easing::Out, Easing::InOut}) {
        EXPECT_EQ(easedTime(e, 0), 0.0);
        EXPECT_EQ(easedTime(e, 1), 1.0);
        double previous = 0;
        for (int k = 1; k <= 100; ++k) {
            const double t = easedTime(e, k / 100.0);
            EXPECT_GE(t, previous) << "the curve runs backwards";
            previous = t;
        }
    }
    EXPECT_DOUBLE_EQ(easedTime(Easing::Linear, 0.3), 0.3);
    EXPECT_DOUBLE_EQ(easedTime(Easing::In, 0.5), 0.125);
    EXPECT_DOUBLE_EQ(easedTime(Easing::Out, 0.5), 0.875);
    EXPECT_DOUBLE_EQ(easedTime(Easing::InOut, 0.25), 0.0625);
    EXPECT_DOUBLE_EQ(easedTime(Easing::InOut, 0.5), 0.5);
    EXPECT_DOUBLE_EQ(easedTime(Easing::InOut, 0.75), 0.9375);
    EXPECT_EQ(easedTime(Easing::In, std::nan("")), 0.0);
}

TEST(Inbetweens, AnglesTakeTheShortWayRound) {
    const Document doc = twoTypeDocument();
    struct Case {
        double from, to, quarter, half;
    };
    // 350 to 10 passes 0; 10 to 350 the other way; 90 to 270 is a half turn either way.
    for (const Case& c : {Case{350, 10, 355, 0}, Case{10, 350, 5, 0}, Case{0, 100, 25, 50},
                          Case{-720 + 350, 370, 355, 0}}) {
        const Figures a = frameOf({pointer(doc, 100, 100, c.from, 1)});
        const Figures b = frameOf({pointer(doc, 100, 100, c.to, 1)});
        const TweenPlan plan(a, b, doc.figureTypes());
        EXPECT_NEAR(std::fmod(pointing(plan.frameAt(0.25).figures[0]) - c.quarter + 540, 360), 180,
                    0.01)
            << c.from << " to " << c.to;
        EXPECT_NEAR(std::fmod(pointing(plan.frameAt(0.5).figures[0]) - c.half + 540, 360), 180,
                    0.01)
            << c.from << " to " << c.to;
    }
}

TEST(Inbetweens, EndsAreTheKeyFramesBitForBit) {
    Document doc = twoTypeDocument();
    Figure parent = placedFigure(doc, 1, 100, 150, 1);
    parent.colour = 0x102030;
    Figure child = pointer(doc, 0, 0, 33, 2);
    Figures a = frameOf({parent, child, pointer(doc, 50, 50, 10, 3)}, 1, 7);
    ASSERT_TRUE([&] {
        a.joinMode = 1;
        a.figures[0].joinCandidate = 1;
        return a.join(1, 0, 7);
    }());
    a.select(2, true);
    Figures b = frameOf({pointer(doc, 0, 0, 200, 2), placedFigure(doc, 1, 260, 90, 1),
                         pointer(doc, 300, 40, 300, 4)},
                        0, 3);
    b.figures[1].scale = 1.5f;
    b.figures[1].flipped = 1;
    b.figures[1].pose[4].length = 60; // stretched
    b.figures[1].stretchedCount = 1;
    b.figures[1].colour = 0xF0E0D0;
    b.figures[1].computeJoints(doc.figureType(1));
    b.figures[1].updateBounds(doc.figureType(1));
    b.select(0, true);
    const TweenPlan plan(a, b, doc.figureTypes());
    EXPECT_TRUE(identicalFrames(plan.frameAt(0), a));
    EXPECT_TRUE(identicalFrames(plan.frameAt(1), b));
    // Stored, they give the key frames' bytes.
    auto recordOf = [&](const Figures& frame) {
        Document one = twoTypeDocument();
        one.frames.push_back(frame);
        return writeDocumentRecord(one);
    };
    EXPECT_EQ(recordOf(plan.frameAt(0)), recordOf(a));
    EXPECT_EQ(recordOf(plan.frameAt(1)), recordOf(b));
    // Just inside the ends the mixed figure is within a hair of the key frames' pose.
    const Figures justAfterA = plan.frameAt(1e-9);
    const Figures justBeforeB = plan.frameAt(1 - 1e-9);
    const Figure& nearA = justAfterA.figures[0];
    const Figure& nearB = justBeforeB.figures[0];
    for (size_t j = 0; j < nearA.jointPos.size(); ++j) {
        EXPECT_NEAR(nearA.jointPos[j].x, a.figures[0].jointPos[j].x, 1e-3);
        EXPECT_NEAR(nearB.jointPos[j].y, b.figures[1].jointPos[j].y, 1e-3);
    }
}

TEST(Inbetweens, FiguresArePairedByIdentityNotPosition) {
    const Document doc = twoTypeDocument();
    const Figures a = frameOf({pointer(doc, 0, 0, 0, 7), pointer(doc, 100, 0, 0, 9)});
    // The same two figures listed the other way round, each moved down by its own amount.
    const Figures b = frameOf({pointer(doc, 100, 80, 0, 9), pointer(doc, 0, 40, 0, 7)});
    const Figures mid = TweenPlan(a, b, doc.figureTypes()).frameAt(0.5);
    ASSERT_EQ(mid.figureCount(), 2);
    EXPECT_EQ(mid.figures[0].figureID, 7);
    EXPECT_FLOAT_EQ(mid.figures[0].jointPos[0].x, 0);
    EXPECT_FLOAT_EQ(mid.figures[0].jointPos[0].y, 20);
    EXPECT_EQ(mid.figures[1].figureID, 9);
    EXPECT_FLOAT_EQ(mid.figures[1].jointPos[0].x, 100);
    EXPECT_FLOAT_EQ(mid.figures[1].jointPos[0].y, 40);

    // A damaged frame repeating an identity: each figure is used once, nearest first.
    const Figures twiceA = frameOf({pointer(doc, 0, 0, 0, 5), pointer(doc, 10, 0, 0, 5)});
    const Figures twiceB = frameOf({pointer(doc, 0, 100, 0, 5), pointer(doc, 10, 100, 0, 5)});
    const Figures both = TweenPlan(twiceA, twiceB, doc.figureTypes()).frameAt(0.5);
    ASSERT_EQ(both.figureCount(), 2);
    EXPECT_FLOAT_EQ(both.figures[0].jointPos[0].x, 0);
    EXPECT_FLOAT_EQ(both.figures[1].jointPos[0].x, 10);
    EXPECT_FLOAT_EQ(both.figures[1].jointPos[0].y, 50);
}

TEST(Inbetweens, ScaleColourTransparencyAndLengthsMix) {
    const Document doc = twoTypeDocument();
    Figure p = pointer(doc, 0, 0, 0, 1);
    Figure q = pointer(doc, 0, 0, 0, 1);
    p.colour = 0x0000FF; // red
    q.colour = 0xFF2000; // blue with a little green
    p.transparency = 0;
    q.transparency = 200;
    q.scale = 3;
    q.pose[0].length = 30;
    q.stretchedCount = 1;
    const Figures mid = TweenPlan(frameOf({p}), frameOf({q}), doc.figureTypes()).frameAt(0.5);
    const Figure& f = mid.figures[0];
    EXPECT_EQ(f.colour, 0x801080u); // each channel halfway, halves rounded up
    EXPECT_EQ(f.transparency, 100);
    EXPECT_FLOAT_EQ(f.scale, 2);
    EXPECT_FLOAT_EQ(f.pose[0].length, 20);
    EXPECT_EQ(f.stretchedCount, 1);
    EXPECT_NEAR(f.jointPos[1].x, 40, 1e-4); // length 20 at scale 2
    // The stretched length survives a save: the count says lengths are stored.
    Document saved = twoTypeDocument();
    saved.frames.push_back(mid);
    const Document back = readDocumentRecord(writeDocumentRecord(saved));
    EXPECT_FLOAT_EQ(back.frames[0].figures[0].pose[0].length, 20);
}

TEST(Inbetweens, JoinedFiguresFollowTheirParentsJoint) {
    const Document doc = twoTypeDocument();
    const FigureType& man = doc.figureType(1);
    auto joinedFrame = [&](double armTurn, float x) {
        Figures frame = frameOf({placedFigure(doc, 1, x, 150, 1), pointer(doc, 0, 0, 90, 2)});
        Figure& parent = frame.figures[0];
        parent.pose[6].angle += armTurn; // a forearm
        parent.computeJoints(man);
        parent.updateBounds(man);
        frame.joinMode = 1;
        frame.figures[0].joinCandidate = 1;
        EXPECT_TRUE(frame.join(1, 0, man.segments[6].endJoint));
        return frame;
    };
    const Figures a = joinedFrame(0, 100);
    const Figures b = joinedFrame(2.5, 180);
    const int hand = man.segments[6].endJoint;
    const TweenPlan plan(a, b, doc.figureTypes());
    for (double t : {0.1, 0.5, 0.9}) {
        const Figures f = plan.frameAt(t);
        EXPECT_TRUE(verifyFrame(f, doc.figureTypes()).empty()) << verifyFrame(f, doc.figureTypes());
        ASSERT_TRUE(f.figures[1].isJoined);
        EXPECT_EQ(f.figures[1].joinParent, 0);
        EXPECT_EQ(f.figures[0].jointPos[size_t(hand)].joinedFigures, std::vector<uint16_t>{1});
        EXPECT_EQ(f.figures[1].jointPos[0].x, f.figures[0].jointPos[size_t(hand)].x) << t;
        EXPECT_EQ(f.figures[1].jointPos[0].y, f.figures[0].jointPos[size_t(hand)].y) << t;
    }
    // Mixing the roots alone would have missed the hand: the arm swings on an arc.
    const Figures mid = plan.frameAt(0.5);
    const double straightX = (a.figures[1].jointPos[0].x + b.figures[1].jointPos[0].x) / 2.0;
    const double straightY = (a.figures[1].jointPos[0].y + b.figures[1].jointPos[0].y) / 2.0;
    EXPECT_GT(std::hypot(mid.figures[1].jointPos[0].x - straightX,
                         mid.figures[1].jointPos[0].y - straightY),
              5);
}

TEST(Inbetweens, FiguresInOneFrameOnlyFade) {
    Document doc = twoTypeDocument();
    Figures a = frameOf({pointer(doc, 0, 0, 0, 1), pointer(doc, 50, 0, 0, 2)}, 1, 9);
    a.select(1, true);
    Figures b = frameOf({pointer(doc, 0, 0, 0, 3), pointer(doc, 10, 0, 0, 1)}, 0, 4);
    b.figures[0].transparency = 55;
    b.select(0, true);
    const Figures f = TweenPlan(a, b, doc.figureTypes()).frameAt(0.25);
    ASSERT_EQ(f.figureCount(), 3);
    EXPECT_EQ(f.figures[0].figureID, 1);
    EXPECT_EQ(f.figures[0].transparency, 0);
    EXPECT_EQ(f.figures[1].figureID, 2);
    EXPECT_EQ(f.figures[1].transparency, 64); // a quarter of the way to invisible
    EXPECT_EQ(f.figures[2].figureID, 3);
    EXPECT_EQ(f.figures[2].transparency, 205); // a quarter of the way from 255 to 55
    // Order, selection and background of the first frame; the newcomer on top; shown once.
    EXPECT_EQ(f.drawOrder, (std::vector<uint16_t>{0, 1, 2}));
    EXPECT_EQ(f.selection, std::vector<uint16_t>{1});
    EXPECT_EQ(f.figures[1].selectionPos, 0);
    EXPECT_EQ(f.backgroundIndex, 1);
    EXPECT_EQ(f.repeatCount, 1);
    EXPECT_TRUE(verifyFrame(f, doc.figureTypes()).empty()) << verifyFrame(f, doc.figureTypes());
}

TEST(Inbetweens, WhatCannotMixSwitchesAtTheMiddle) {
    const Document doc = twoTypeDocument();
    Figure man = placedFigure(doc, 1, 100, 100, 1);
    Figure flippedPointer = pointer(doc, 200, 100, 45, 1);
    flippedPointer.flipped = 1;
    Figure plain = pointer(doc, 0, 0, 0, 2);
    Figure flipped = pointer(doc, 0, 0, 0, 2);
    flipped.flipped = 1;
    const Figures a = frameOf({man, plain});
    const Figures b = frameOf({flippedPointer, flipped});
    const TweenPlan plan(a, b, doc.figureTypes());
    const Figures before = plan.frameAt(0.49);
    const Figures after = plan.frameAt(0.5);
    // Another type: the whole figure of the nearer key frame, unmixed.
    EXPECT_EQ(before.figures[0].typeIndex, 1);
    EXPECT_EQ(before.figures[0].jointPos[0].x, 100);
    EXPECT_EQ(after.figures[0].typeIndex, 2);
    EXPECT_EQ(after.figures[0].jointPos[0].x, 200);
    EXPECT_EQ(after.figures[0].flipped, 1);
    // The same type mixes its pose but takes the flip at the middle.
    EXPECT_EQ(before.figures[1].flipped, 0);
    EXPECT_EQ(after.figures[1].flipped, 1);
}

TEST(Inbetweens, CountsAndEasingPlaceTheFrames) {
    const Document doc = twoTypeDocument();
    const Figures a = frameOf({pointer(doc, 0, 0, 0, 1)}, 0, 5);
    const Figures b = frameOf({pointer(doc, 800, 0, 0, 1)}, 0, 5);
    const auto linear = makeInbetweens(a, b, doc.figureTypes(), 3, Easing::Linear);
    ASSERT_EQ(linear.size(), 3u);
    EXPECT_FLOAT_EQ(linear[0].figures[0].jointPos[0].x, 200);
    EXPECT_FLOAT_EQ(linear[1].figures[0].jointPos[0].x, 400);
    EXPECT_FLOAT_EQ(linear[2].figures[0].jointPos[0].x, 600);
    for (const Figures& f : linear) {
        EXPECT_EQ(f.repeatCount, 1);
    }
    const auto easedIn = makeInbetweens(a, b, doc.figureTypes(), 1, Easing::In);
    EXPECT_FLOAT_EQ(easedIn[0].figures[0].jointPos[0].x, 100); // 800 * 0.5^3
    EXPECT_EQ(makeInbetweens(a, b, doc.figureTypes(), 100, Easing::InOut).size(), 100u);
}

TEST(InbetweenSession, InsertsAsOneStepThatUndoesExactly) {
    Document doc = stickmanDocument(3);
    doc.frames[2].figures[0].pose[4].angle += 1.0;
    doc.frames[2].figures[0].computeJoints(doc.figureType(1));
    EditSession s(std::move(doc));
    const std::vector<uint8_t> before = writeDocumentRecord(s.document());
    const Figures first = s.document().frames[1];
    const Figures last = s.document().frames[2];

    EXPECT_FALSE(s.insertInbetweens(1, 1, 3, Easing::Linear));
    EXPECT_FALSE(s.insertInbetweens(1, 3, 3, Easing::Linear));
    EXPECT_FALSE(s.insertInbetweens(-1, 2, 3, Easing::Linear));
    EXPECT_FALSE(s.insertInbetweens(1, 2, 0, Easing::Linear));
    EXPECT_FALSE(s.insertInbetweens(1, 2, 101, Easing::Linear));
    EXPECT_EQ(s.history().count(), 0);

    ASSERT_TRUE(s.insertInbetweens(1, 2, 4, Easing::InOut));
    EXPECT_EQ(s.history().count(), 1);
    EXPECT_EQ(s.undoAction(), PhraseType::MUndoInbetweens);
    ASSERT_EQ(s.document().frameCount(), 7);
    EXPECT_EQ(s.editFrameIndex(), 2);
    EXPECT_TRUE(identicalFrames(s.document().frames[1], first));
    EXPECT_TRUE(identicalFrames(s.document().frames[6], last));
    EXPECT_TRUE(s.isModified());
    const std::vector<uint8_t> after = writeDocumentRecord(s.document());

    ASSERT_TRUE(s.undo());
    EXPECT_EQ(writeDocumentRecord(s.document()), before);
    EXPECT_EQ(s.editFrameIndex(), 1);
    ASSERT_TRUE(s.redo());
    EXPECT_EQ(writeDocumentRecord(s.document()), after);

    // Towards an earlier frame (a loop back to the start): inserted after the first named.
    ASSERT_TRUE(s.insertInbetweens(6, 0, 2, Easing::Linear));
    EXPECT_EQ(s.document().frameCount(), 9);
    EXPECT_TRUE(identicalFrames(s.document().frames[6], last));
}

#include "document/editsession.h"
#include "document/kelformat.h"
#include "fixtures.h"

#include <gtest/gtest.h>

using namespace kelto;
using namespace kelto::test;

namespace {

std::vector<uint8_t> record(const EditSession& s) {
    return writeDocumentRecord(s.document());
}

// A session over a document with `frames` frames, one extra loaded type (index 2, used by
// frame 1 when there is one) and two backgrounds (frame 0 shows slot 2).
EditSession richSession(int frames) {
    Document doc = stickmanDocument(frames);
    doc.addFigureType(chainType(3), "Chain");
    auto solid = [](uint32_t colour) {
        Bitmap bitmap;
        bitmap.reset(320, 240, PixelFormat::Bits32);
        bitmap.fill(colour);
        ImageGeneral picture;
        picture.setBitmap(bitmap);
        return picture;
    };
    ImageGeneral red = solid(0xFF0000), blue = solid(0x0000FF);
    doc.addBackground(std::move(red), "red");
    doc.addBackground(std::move(blue), "blue");
    if (frames > 0) {
        doc.frames[0].backgroundIndex = 2;
    }
    if (frames > 1) {
        doc.frames[1].figures.push_back(placedFigure(doc, 2, 50, 50, 3));
        doc.frames[1].drawOrder.push_back(2);
        doc.frames[1].figures[2].orderPos = 2;
        doc.lastFigureID = 3;
    }
    return EditSession(std::move(doc));
}

// Undoes everything and checks each state on the way back, then redoes everything and checks
// each state again: every step must give back the exact bytes.
void expectRoundTrip(EditSession& s, const std::vector<std::vector<uint8_t>>& states) {
    ASSERT_EQ(int(states.size()), s.history().count() + 1);
    for (int i = int(states.size()) - 2; i >= 0; --i) {
        ASSERT_TRUE(s.undo());
        EXPECT_EQ(record(s), states[size_t(i)]) << "after undoing step " << i + 1;
    }
    EXPECT_FALSE(s.undo());
    for (size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(s.redo());
        EXPECT_EQ(record(s), states[i]) << "after redoing step " << i;
    }
    EXPECT_FALSE(s.redo());
}

} // namespace

TEST(EditSession, FrameOperationsUndoAndRedoToIdenticalRecords) {
    EditSession s = richSession(4);
    std::vector<std::vector<uint8_t>> states{record(s)};
    auto step = [&](bool done) {
        ASSERT_TRUE(done);
        states.push_back(record(s));
    };
    step(s.addFrame(3));
    EXPECT_EQ(s.document().frameCount(), 5);
    EXPECT_EQ(s.document().frames[4].repeatCount, 3);
    EXPECT_EQ(s.editFrameIndex(), -1);
    step(s.insertFrame(2));
    EXPECT_EQ(s.editFrameIndex(), 2);
    EXPECT_EQ(s.document().frames[2].figures[0].jointPos[0].x,
              s.document().frames[1].figures[0].jointPos[0].x);
    step(s.deleteFrame(0));
    s.document().frames[1].timelineSelected = 1;
    s.document().frames[3].timelineSelected = 1;
    step(s.deleteSelectedFrames() == 2);
    EXPECT_EQ(s.document().frameCount(), 3);
    step(s.setRepeatCount({0, 1}, 7));
    step(s.setBackground({1}, 1));
    EXPECT_EQ(s.undoAction(), PhraseType::MUndoBack);
    expectRoundTrip(s, states);
}

TEST(EditSession, CanvasEditsFollowTheirFrameAcrossSwitches) {
    EditSession s = richSession(3);
    const auto start = record(s);
    s.setEditFrame(1);
    s.editFrame().moveFigure(0, 10, 0);
    ASSERT_TRUE(s.recordCanvasEdit(PhraseType::BUndoMove));
    const auto moved = record(s);
    EXPECT_NE(moved, start); // a stored frame is edited in place
    s.setEditFrame(2);
    s.editFrame().deleteFigure(1);
    ASSERT_TRUE(s.recordCanvasEdit(PhraseType::MUndoDelete));
    s.setEditFrame(0);
    // The history survives the switches: undo goes back into frames 2 and then 1.
    ASSERT_TRUE(s.undo());
    EXPECT_EQ(s.editFrameIndex(), 2);
    EXPECT_EQ(record(s), moved);
    ASSERT_TRUE(s.undo());
    EXPECT_EQ(s.editFrameIndex(), 1);
    EXPECT_EQ(record(s), start);
    EXPECT_EQ(s.redoAction(), PhraseType::BUndoMove);
    EXPECT_FALSE(s.recordCanvasEdit(PhraseType::BUndoMove)); // nothing changed
}

TEST(EditSession, UnrecordedChangesAreKeptOnLeavingAFrame) {
    EditSession s = richSession(2);
    s.setEditFrame(0);
    s.editFrame().deleteFigure(0);
    const auto edited = record(s);
    s.setEditFrame(1);
    EXPECT_EQ(record(s), edited);
    EXPECT_EQ(s.undoAction(), PhraseType::BUndoMove);
    ASSERT_TRUE(s.undo());
    EXPECT_EQ(s.document().frames[0].figureCount(), 2);
}

TEST(EditSession, CanvasStepsKeepOnlyChangedFigures) {
    EditSession s = richSession(1);
    s.setEditFrame(0);
    Figures& frame = s.editFrame();
    for (int i = 0; i < 50; ++i) {
        frame.figures.push_back(frame.figures[0]);
        frame.drawOrder.push_back(uint16_t(frame.figures.size() - 1));
        frame.figures.back().orderPos = uint16_t(frame.figures.size() - 1);
    }
    ASSERT_TRUE(s.recordCanvasEdit(PhraseType::MUndoAddFig));
    const auto many = record(s);
    s.editFrame().moveFigure(30, 5, 5);
    ASSERT_TRUE(s.recordCanvasEdit(PhraseType::BUndoMove));
    s.editFrame().select(4, true);
    EXPECT_FALSE(s.recordCanvasEdit(PhraseType::MUndoSelect)) << "selecting is no step";
    s.editFrame().moveFigure(4, 1, 0);
    ASSERT_TRUE(s.recordCanvasEdit(PhraseType::BUndoMove));
    s.editFrame().select(7, true); // a selection made since the step
    ASSERT_TRUE(s.undo());
    EXPECT_EQ(s.editFrame().selection, std::vector<uint16_t>{4});
    int marked = 0;
    for (const Figure& f : s.editFrame().figures) {
        marked += f.selectionPos >= 0 ? 1 : 0;
    }
    EXPECT_EQ(marked, 1) << "the figures agree with the selection list";
    EXPECT_EQ(s.editFrame().figures[4].selectionPos, 0);
    ASSERT_TRUE(s.undo());
    EXPECT_EQ(record(s), many);
    EXPECT_EQ(s.editFrame().selectedCount(), 0);
}

TEST(EditSession, RevisionAndSavedState) {
    EditSession s = richSession(3);
    EXPECT_FALSE(s.isModified());
    s.setEditFrame(1);
    s.setEditFrame(2);
    s.setEditFrame(-1);
    EXPECT_FALSE(s.isModified()) << "clicking through frames is no change";
    s.setEditFrame(1);
    s.editFrame().select(0, true);
    EXPECT_FALSE(s.recordCanvasEdit(PhraseType::MUndoSelect));
    EXPECT_FALSE(s.isModified()) << "selecting is no change to the content";
    EXPECT_FALSE(s.undo()) << "nor a step";
    EXPECT_FALSE(s.setRepeatCount({1}, 1)) << "storing an unchanged value records nothing";
    const int saved = s.revision();
    s.editFrame().moveFigure(0, 1, 1);
    s.recordCanvasEdit(PhraseType::BUndoMove);
    EXPECT_TRUE(s.isModified());
    EXPECT_GT(s.revision(), saved);
    s.undo();
    EXPECT_FALSE(s.isModified()) << "undoing back to the saved revision";
    s.redo();
    s.markSaved();
    EXPECT_FALSE(s.isModified());
    s.undo();
    EXPECT_TRUE(s.isModified());
    s.markSaved();
    s.newFrame() = s.document().frames[0];
    s.setEditFrame(-1);
    s.editFrame().moveFigure(0, 3, 0);
    EXPECT_TRUE(s.recordCanvasEdit(PhraseType::BUndoMove));
    EXPECT_FALSE(s.isModified()) << "the new frame is not in the file until added";
}

TEST(EditSession, DepthLimitsTheHistory) {
    EditSession s = richSession(1);
    EXPECT_EQ(s.undoDepth(), kDefaultUndoDepth);
    s.setUndoDepth(3);
    s.markSaved();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(s.addFrame(1));
    }
    EXPECT_EQ(s.history().count(), 3);
    EXPECT_TRUE(s.isModified()) << "the saved revision dropped out of the history";
    while (s.undo()) {
    }
    EXPECT_EQ(s.document().frameCount(), 3);
}

TEST(EditSession, RemovalRenumbersAndComesBack) {
    EditSession s = richSession(3);
    EXPECT_FALSE(s.removeFigureType(2)) << "frame 1 uses the chain type";
    EXPECT_FALSE(s.removeBackground(2)) << "frame 0 shows slot 2";
    EXPECT_FALSE(s.removeFigureType(1)) << "the stick man stays";
    std::vector<std::vector<uint8_t>> states{record(s)};
    s.document().addFigureType(chainType(2), "Second"); // index 3, unused
    s.document().frames[2].figures[0].setType(3, s.document().figureType(3));
    s.document().frames[2].figures[0].updateBounds(s.document().figureType(3));
    s.resetHistory(s.document().newEditFrame());
    states = {record(s)};
    s.setEditFrame(1);
    s.editFrame().deleteFigure(2); // the last chain figure goes
    ASSERT_TRUE(s.recordCanvasEdit(PhraseType::MUndoDelete));
    states.push_back(record(s));
    ASSERT_TRUE(s.removeFigureType(2));
    EXPECT_EQ(s.document().figureTypeName(2), "Second");
    EXPECT_EQ(s.document().frames[2].figures[0].typeIndex, 2) << "renumbered";
    states.push_back(record(s));
    ASSERT_TRUE(s.removeBackground(1));
    EXPECT_EQ(s.document().frames[0].backgroundIndex, 1) << "renumbered";
    EXPECT_EQ(s.document().backgroundName(1), "blue");
    states.push_back(record(s));
    expectRoundTrip(s, states);
}

TEST(EditSession, PasteUndoesToTheSameBytesAndRedoes) {
    EditSession source = richSession(3);
    const std::vector<uint8_t> clip = copyAll(source.document());
    EditSession s = richSession(2);
    s.setEditFrame(1);
    std::vector<std::vector<uint8_t>> states{record(s)};
    const PasteResult result = s.pasteFrames(clip.data(), clip.size(), 1, false);
    ASSERT_EQ(result.status, PasteStatus::Pasted);
    EXPECT_EQ(s.document().frameCount(), 5);
    EXPECT_EQ(s.editFrameIndex(), 4) << "the edited frame moved with the insertion";
    EXPECT_EQ(s.undoAction(), PhraseType::MUndoPasteFrames);
    states.push_back(record(s));
    expectRoundTrip(s, states);

    // Into an empty document the paste also brings the size, and undo takes it back.
    Document empty(100, 100);
    EditSession blank(std::move(empty));
    const auto before = record(blank);
    ASSERT_EQ(blank.pasteFrames(clip.data(), clip.size(), 0, false).status, PasteStatus::Pasted);
    EXPECT_EQ(blank.document().animWidth(), 320);
    ASSERT_TRUE(blank.undo());
    EXPECT_EQ(record(blank), before);
}

TEST(EditSession, RefusedOperationsRecordNothing) {
    EditSession s = richSession(0);
    EXPECT_FALSE(s.insertFrame(0));
    EXPECT_FALSE(s.deleteFrame(0));
    EXPECT_EQ(s.deleteSelectedFrames(), 0);
    const uint8_t junk[] = {0xEE, 1, 2};
    EXPECT_EQ(s.pasteFrames(junk, sizeof junk, 0, false).status, PasteStatus::NotCompatible);
    EXPECT_FALSE(s.setBackground({-1}, 9));
    EXPECT_EQ(s.history().count(), 0);
}

TEST(EditSession, PlaybackStepsThroughRepeatsWithoutChangingTheDocument) {
    EditSession s = richSession(3);
    s.document().frames[1].repeatCount = 2;
    const auto before = record(s);
    s.startPlayback(1);
    std::vector<int> shown;
    PlaybackStep step;
    for (int tick = 0; tick < 10 && !step.ended; ++tick) {
        step = s.playbackTick(false);
        shown.push_back(step.frame);
    }
    EXPECT_EQ(shown, (std::vector<int>{1, -1, 2}));
    EXPECT_TRUE(step.ended);
    s.startPlayback(2);
    EXPECT_EQ(s.playbackTick(true).frame, 2);
    const PlaybackStep wrapped = s.playbackTick(true);
    EXPECT_EQ(wrapped.frame, 0);
    EXPECT_FALSE(wrapped.ended);
    EXPECT_EQ(record(s), before);
}

namespace {

// The repeat counts of a session's frames in order: the tests below number frame k by giving
// it repeat count k + 1, so the list tells the frame order.
std::vector<int> frameOrder(const EditSession& s) {
    std::vector<int> order;
    for (const Figures& f : s.document().frames) {
        order.push_back(f.repeatCount - 1);
    }
    return order;
}

void numberFrames(EditSession& s) {
    for (int k = 0; k < s.document().frameCount(); ++k) {
        s.document().frames[size_t(k)].repeatCount = uint16_t(k + 1);
    }
}

} // namespace

TEST(EditSession, MovingFramesIsOneStepThatUndoesToTheSameBytes) {
    EditSession s = richSession(6);
    numberFrames(s);
    s.setEditFrame(3);
    s.document().frames[1].timelineSelected = 1;
    s.document().frames[3].timelineSelected = 1;
    const auto before = record(s);
    // Given out of order, the frames still move in their own order, as one block that lands
    // where frame 5 stood (after the frames that stay before it).
    EXPECT_EQ(s.moveFrames({3, 1}, 5), 3);
    EXPECT_EQ(frameOrder(s), (std::vector<int>{0, 2, 4, 1, 3, 5}));
    EXPECT_EQ(s.history().count(), 1);
    EXPECT_EQ(s.undoAction(), PhraseType::MUndoMoveFrames);
    EXPECT_EQ(s.editFrameIndex(), 4) << "the edited frame 3 went with the block";
    EXPECT_EQ(s.document().frames[3].timelineSelected, 1) << "marks travel with their frames";
    EXPECT_EQ(s.document().frames[4].timelineSelected, 1);
    EXPECT_EQ(s.document().frames[1].timelineSelected, 0);
    EXPECT_TRUE(s.isModified());
    const auto after = record(s);
    EXPECT_NE(after, before);

    ASSERT_TRUE(s.undo());
    EXPECT_EQ(record(s), before);
    EXPECT_EQ(frameOrder(s), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(s.editFrameIndex(), 3);
    ASSERT_TRUE(s.redo());
    EXPECT_EQ(record(s), after);

    // To the front and to the very end.
    EXPECT_EQ(s.moveFrames({4, 5}, 0), 0);
    EXPECT_EQ(frameOrder(s), (std::vector<int>{3, 5, 0, 2, 4, 1}));
    EXPECT_EQ(s.moveFrames({0}, 6), 5);
    EXPECT_EQ(frameOrder(s), (std::vector<int>{5, 0, 2, 4, 1, 3}));
}

TEST(EditSession, MovingFramesRefusesWhatChangesNothingOrIsOutOfRange) {
    EditSession s = richSession(5);
    numberFrames(s);
    const auto before = record(s);
    EXPECT_EQ(s.moveFrames({}, 2), -1);
    EXPECT_EQ(s.moveFrames({1, 2}, 1), -1) << "onto its own place";
    EXPECT_EQ(s.moveFrames({1, 2}, 3), -1) << "just after itself is the same place";
    EXPECT_EQ(s.moveFrames({1, 2}, 2), -1) << "inside itself";
    EXPECT_EQ(s.moveFrames({5}, 0), -1);
    EXPECT_EQ(s.moveFrames({-1}, 0), -1);
    EXPECT_EQ(s.moveFrames({1}, 6), -1);
    EXPECT_EQ(s.moveFrames({1, 1}, 4), -1);
    EXPECT_EQ(s.history().count(), 0);
    EXPECT_EQ(record(s), before);
}

TEST(EditSession, MovingFramesRecordsAPendingCanvasEditFirst) {
    EditSession s = richSession(3);
    numberFrames(s);
    s.setEditFrame(0);
    s.editFrame().figures[0].move(5, 0);
    ASSERT_EQ(s.moveFrames({0}, 3), 2);
    EXPECT_EQ(s.history().count(), 2);
    EXPECT_EQ(s.editFrameIndex(), 2);
    ASSERT_TRUE(s.undo());
    EXPECT_EQ(s.editFrameIndex(), 0);
    EXPECT_EQ(s.undoAction(), PhraseType::BUndoMove);
    const float moved = s.editFrame().figures[0].jointPos[0].x;
    ASSERT_TRUE(s.undo());
    EXPECT_EQ(s.editFrame().figures[0].jointPos[0].x, moved - 5);
}

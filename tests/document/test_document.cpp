#include "document/kelformat.h"
#include "document/messages.h"
#include "fixtures.h"
#include "model/integrity.h"

#include <gtest/gtest.h>

using namespace kelto;
using namespace kelto::test;

namespace {

struct Recorder : DocumentObserver {
    std::vector<std::pair<DocumentChange, int>> seen;
    void documentChanged(DocumentChange change, int index) override {
        seen.emplace_back(change, index);
    }
};

std::vector<uint8_t> copyAll(Document&& doc) {
    return test::copyAll(doc);
}

PasteResult paste(Document& doc, const std::vector<uint8_t>& bytes, int at, bool own = false,
                  TimelineIndices* timeline = nullptr) {
    return doc.pasteFrames(bytes.data(), bytes.size(), at, own, timeline);
}

} // namespace

TEST(Document, NewDestroyAndLimits) {
    Document doc(500, 400);
    EXPECT_EQ(doc.figureTypeCount(), 2);
    EXPECT_EQ(doc.figureTypeName(1), "Default");
    EXPECT_EQ(doc.figureType(0).segmentCount(), 0);
    EXPECT_EQ(doc.backgroundCount(), 1);
    const Figures edit = doc.newEditFrame();
    ASSERT_EQ(edit.figureCount(), 1);
    EXPECT_EQ(edit.figures[0].typeIndex, 1);
    EXPECT_EQ(edit.figures[0].jointPos[0].x, 250);
    EXPECT_EQ(edit.figures[0].jointPos[0].y, 200);
    EXPECT_EQ(edit.figures[0].figureID, 0);
    EXPECT_EQ(verifyFrame(edit, doc.figureTypes()), "");

    Recorder rec;
    doc.addObserver(&rec);
    doc.workingType() = chainType(2);
    for (int i = 0; i < 5; ++i) {
        doc.addFigureType(chainType(1), "t" + std::to_string(i));
    }
    doc.addBackground(ImageGeneral{}, "b");
    doc.frames = stickmanDocument(3).frames;
    doc.lastFigureID = 9;
    ASSERT_EQ(rec.seen.size(), 6u);
    EXPECT_EQ(rec.seen[0], std::make_pair(DocumentChange::FigureTypeAdded, 2));
    EXPECT_EQ(rec.seen[5], std::make_pair(DocumentChange::BackgroundAdded, 1));
    EXPECT_EQ(doc.findFigureType("t3"), 5);
    EXPECT_EQ(doc.findFigureType("Default"), 1);
    EXPECT_EQ(doc.findBackground("b"), 1);

    doc.currentFileName = "old.kel";
    doc.documentSaved = false;
    const Figures fresh = doc.newDocument();
    EXPECT_EQ(fresh.figureCount(), 1);
    EXPECT_EQ(doc.currentFileName, "");
    EXPECT_TRUE(doc.documentSaved);
    EXPECT_EQ(doc.figureTypeCount(), 2);
    EXPECT_EQ(doc.backgroundCount(), 1);
    EXPECT_EQ(doc.frameCount(), 0);
    EXPECT_EQ(doc.lastFigureID, 0);
    EXPECT_EQ(doc.figureType(0).segmentCount(), 2); // the builder's work survives
    EXPECT_EQ(rec.seen[6], std::make_pair(DocumentChange::FigureTypesRemoved, 2));
    EXPECT_EQ(rec.seen[7], std::make_pair(DocumentChange::BackgroundsRemoved, 1));

    while (doc.canAddFigureType()) {
        doc.addFigureType(FigureType{}, "");
    }
    EXPECT_EQ(doc.figureTypeCount(), kMaxFigureTypes);
    try {
        doc.addFigureType(FigureType{}, "");
        FAIL();
    } catch (const KeltoError& e) {
        EXPECT_STREQ(e.what(), kMsgTooManyFigureTypes);
    }
    while (doc.canAddBackground()) {
        doc.addBackground(ImageGeneral{}, "");
    }
    EXPECT_EQ(doc.backgroundCount(), kMaxBackgrounds);
    EXPECT_THROW(doc.addBackground(ImageGeneral{}, ""), KeltoError);
    doc.removeObserver(&rec);
}

TEST(Document, AdoptingALoadedDocumentKeepsTheWorkingTypeAndObservers) {
    Document open(100, 100);
    Recorder rec;
    open.addObserver(&rec);
    open.workingType() = chainType(3);
    Document loaded = stickmanDocument(2);
    loaded.addFigureType(chainType(1), "x");
    open.adoptLoaded(std::move(loaded));
    EXPECT_EQ(open.frameCount(), 2);
    EXPECT_EQ(open.animWidth(), 320);
    EXPECT_EQ(open.figureTypeName(2), "x");
    EXPECT_EQ(open.figureType(0).segmentCount(), 3);
    ASSERT_FALSE(rec.seen.empty());
    EXPECT_EQ(rec.seen.back().first, DocumentChange::Replaced);
}

TEST(FramePaste, InsertShiftsFramesSelectionAndEditedIndex) {
    Document source = stickmanDocument(2);
    source.frames[0].repeatCount = 7;
    const std::vector<uint8_t> bytes = copyAll(source);

    Document doc = stickmanDocument(10);
    for (int k = 0; k < 10; ++k) {
        doc.frames[k].repeatCount = static_cast<uint16_t>(100 + k);
    }
    TimelineIndices timeline{{7, 1, 3}, 4};
    const PasteResult r = paste(doc, bytes, 3, true, &timeline);
    ASSERT_EQ(r.status, PasteStatus::Pasted);
    EXPECT_EQ(r.firstFrame, 3);
    EXPECT_EQ(r.frameCount, 2);
    EXPECT_EQ(doc.frameCount(), 12);
    EXPECT_EQ(doc.frames[3].repeatCount, 7);
    EXPECT_EQ(doc.frames[5].repeatCount, 103);
    EXPECT_EQ(timeline.selection, (std::vector<int>{9, 1, 5}));
    EXPECT_EQ(timeline.editFrameIndex, 6);
    EXPECT_FALSE(doc.documentSaved);
    EXPECT_EQ(doc.frames[3].timelineSelected, 0);
}

TEST(FramePaste, IdentitiesKeptForOwnCopiesAndShiftedOtherwise) {
    Document doc = stickmanDocument(2); // identities 1 and 2
    const std::vector<uint8_t> bytes = copyAll(doc);
    ASSERT_EQ(paste(doc, bytes, 2, true).status, PasteStatus::Pasted);
    EXPECT_EQ(doc.frames[2].figures[1].figureID, 2);
    EXPECT_EQ(doc.lastFigureID, 2);

    // The same data pasted after "New" with more figures handed out: shifted above them, and
    // the counter follows the pasted identities so no later figure shares one.
    doc.destroy();
    doc.frames = stickmanDocument(1).frames;
    doc.lastFigureID = 5;
    ASSERT_EQ(paste(doc, bytes, 0, false).status, PasteStatus::Pasted);
    EXPECT_EQ(doc.frames[0].figures[0].figureID, 6);
    EXPECT_EQ(doc.frames[0].figures[1].figureID, 7);
    EXPECT_EQ(doc.lastFigureID, 7);
    EXPECT_EQ(doc.nextFigureID(), 8);
}

TEST(FramePaste, TypesReusedByNameAndStructure) {
    Document source = stickmanDocument(1);
    const int chain = source.addFigureType(chainType(2), "chain");
    source.frames[0].figures[1].setType(static_cast<uint16_t>(chain), source.figureType(chain));
    const std::vector<uint8_t> bytes = copyAll(source);

    Document doc(320, 240);
    doc.addFigureType(chainType(2, 11), "chain"); // same name, other lengths: not reused
    ASSERT_EQ(paste(doc, bytes, 0).status, PasteStatus::Pasted);
    ASSERT_EQ(doc.figureTypeCount(), 4);
    EXPECT_EQ(doc.figureTypeName(3), "chain");
    EXPECT_EQ(doc.frames[0].figures[1].typeIndex, 3);
    ASSERT_EQ(paste(doc, bytes, 1).status, PasteStatus::Pasted);
    EXPECT_EQ(doc.figureTypeCount(), 4); // the first paste's type is reused
    EXPECT_EQ(doc.frames[1].figures[1].typeIndex, 3);
    for (const Figures& f : doc.frames) {
        EXPECT_EQ(verifyFrame(f, doc.figureTypes()), "");
    }
}

TEST(FramePaste, EmptyDocumentTakesThePastedSizeAndRate) {
    Document source = stickmanDocument(1);
    source.frameRate = 140;
    const std::vector<uint8_t> bytes = copyAll(source);
    Document empty(500, 400);
    const PasteResult r = paste(empty, bytes, 0);
    EXPECT_TRUE(r.dimensionsAdopted);
    EXPECT_EQ(empty.animWidth(), 320);
    EXPECT_EQ(empty.frameRate, 140);

    Document busy = stickmanDocument(1);
    busy.setAnimationDimensions(600, 300);
    busy.frameRate = 50;
    EXPECT_FALSE(paste(busy, bytes, 1).dimensionsAdopted);
    EXPECT_EQ(busy.animWidth(), 600);
    EXPECT_EQ(busy.frameRate, 50);
}

TEST(FramePaste, LimitsRefuseAndRollBack) {
    Document source = stickmanDocument(1);
    source.addFigureType(chainType(1), "one");
    source.addFigureType(chainType(2), "two");
    source.frames[0].figures[0].setType(2, source.figureType(2));
    source.frames[0].figures[1].setType(3, source.figureType(3));
    const std::vector<uint8_t> bytes = copyAll(source);

    Document full(320, 240);
    while (full.figureTypeCount() < kMaxFigureTypes - 1) {
        full.addFigureType(FigureType{}, "");
    }
    const PasteResult r = paste(full, bytes, 0);
    EXPECT_EQ(r.status, PasteStatus::TooManyFigureTypes);
    EXPECT_EQ(r.message(), kMsgTooManyFigureTypes);
    EXPECT_EQ(full.figureTypeCount(), kMaxFigureTypes - 1); // the one it added went again
    EXPECT_EQ(full.frameCount(), 0);

    Document single = stickmanDocument(1);
    const std::vector<uint8_t> one = copyAll(single);
    Document many(320, 240);
    many.frames.resize(kMaxFrames - 1);
    const std::vector<uint8_t> two = copyAll(stickmanDocument(2));
    EXPECT_EQ(paste(many, two, 0).status, PasteStatus::TooManyFrames);
    EXPECT_EQ(many.frameCount(), kMaxFrames - 1);
    EXPECT_EQ(paste(many, one, kMaxFrames - 1).status, PasteStatus::Pasted);
    EXPECT_EQ(many.frameCount(), kMaxFrames);
}

TEST(FramePaste, DamagedOrForeignDataChangesNothing) {
    Document doc = stickmanDocument(3);
    doc.documentSaved = true;
    const std::vector<uint8_t> before = writeDocumentRecord(doc);

    Document source = stickmanDocument(2);
    source.addFigureType(chainType(2), "chain");
    std::vector<uint8_t> bytes = copyAll(source);
    std::vector<uint8_t> newer = bytes;
    newer[0] = 5;
    EXPECT_EQ(paste(doc, newer, 0).status, PasteStatus::NotCompatible);
    EXPECT_EQ(paste(doc, {}, 0).status, PasteStatus::NotCompatible);
    bytes.resize(bytes.size() - 5);
    EXPECT_THROW(paste(doc, bytes, 0), KeltoError);
    EXPECT_EQ(writeDocumentRecord(doc), before);
    EXPECT_TRUE(doc.documentSaved);

    // Identities that cannot be shifted above the document's are refused, not wrapped.
    Document high = stickmanDocument(1);
    high.frames[0].figures[1].figureID = INT32_MAX;
    const std::vector<uint8_t> highBytes = copyAll(high);
    doc.lastFigureID = 10;
    EXPECT_THROW(paste(doc, highBytes, 0), KeltoError);
    EXPECT_EQ(doc.frameCount(), 3);

    // Blocks handed back by a clipboard may be longer than the record.
    std::vector<uint8_t> padded = copyAll(source);
    padded.resize(padded.size() + 64, 0xcd);
    EXPECT_EQ(paste(doc, padded, 0).status, PasteStatus::Pasted);
}

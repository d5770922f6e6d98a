// Animation files and clipboard data as other copies of the program and older versions write
// them: backgrounds of another size, identities in any order, records without a frame rate,
// sizes at the limits, and pastes refused at a limit. Records are built byte by byte here.
#include "document/kelformat.h"
#include "document/messages.h"
#include "document/zstream.h"
#include "fixtures.h"
#include "graphics/imagecodecs.h"
#include "model/integrity.h"
#include "model/onions.h"
#include "settings/atomicfile.h"
#include "settings/multilang.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <functional>

using namespace kelto;
using namespace kelto::test;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// A 24-bit bottom-up BMP file, written field by field; rgb(x, y) gives 0x00RRGGBB.
std::vector<uint8_t> bmp24(int w, int h, const std::function<uint32_t(int, int)>& rgb) {
    const uint32_t rowBytes = (uint32_t(w) * 3 + 3) & ~3u;
    ByteWriter out;
    out.put<uint8_t>('B');
    out.put<uint8_t>('M');
    out.put<uint32_t>(54 + rowBytes * h);
    out.put<uint32_t>(0);
    out.put<uint32_t>(54);
    out.put<uint32_t>(40);
    out.put<int32_t>(w);
    out.put<int32_t>(h);
    out.put<uint16_t>(1);
    out.put<uint16_t>(24);
    out.put<uint32_t>(0);
    out.put<uint32_t>(rowBytes * h);
    out.put<int32_t>(2835);
    out.put<int32_t>(2835);
    out.put<uint32_t>(0);
    out.put<uint32_t>(0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t c = rgb(x, y);
            out.put<uint8_t>(c & 0xFF);
            out.put<uint8_t>((c >> 8) & 0xFF);
            out.put<uint8_t>((c >> 16) & 0xFF);
        }
        for (uint32_t pad = uint32_t(w) * 3; pad < rowBytes; ++pad) {
            out.put<uint8_t>(0);
        }
    }
    return out.bytes();
}

uint32_t colourAt(int x, int y) {
    return 0x102030u + 0x010101u * uint32_t(x + 16 * y);
}

// A bitmap picture record: the kind byte, then the BMP file.
std::vector<uint8_t> bitmapRecord(int w, int h) {
    std::vector<uint8_t> r{0};
    append(r, bmp24(w, h, colourAt));
    return r;
}

// One stick man of a version-4 record: its identity, a turn of every segment and a position.
struct Man {
    int32_t id;
    double angle = 0.25;
    float x = 40;
    float y = 30;
};

void putMan(ByteWriter& w, const Man& m) {
    w.put<int32_t>(m.id);
    w.put<uint16_t>(1);
    w.put<float>(1);
    w.put<uint32_t>(0);
    w.put<uint8_t>(0);
    for (int s = 0; s < createStickmanType().segmentCount(); ++s) {
        w.put<double>(m.angle + s);
    }
    w.put<float>(m.x);
    w.put<float>(m.y);
    w.put<uint8_t>(0); // not stretched
    w.put<uint8_t>(0); // not joined
}

struct V4 {
    int32_t width = 80;
    int32_t height = 60;
    std::vector<std::vector<uint8_t>> backgrounds; // picture records, named "bg<n>"
    std::vector<std::vector<Man>> frames;
    std::vector<uint8_t> frameBackgrounds; // per frame; 0 when missing
    int32_t rate = 100;

    std::vector<uint8_t> bytes() const {
        ByteWriter w;
        w.put<uint8_t>(4);
        w.put<int32_t>(width);
        w.put<int32_t>(height);
        w.put<uint8_t>(static_cast<uint8_t>(backgrounds.size() + 1));
        for (size_t i = 0; i < backgrounds.size(); ++i) {
            w.putBytes(backgrounds[i].data(), backgrounds[i].size());
            w.putShortString("bg" + std::to_string(i + 1));
        }
        w.put<uint16_t>(2);
        w.put<int32_t>(static_cast<int32_t>(frames.size()));
        for (size_t k = 0; k < frames.size(); ++k) {
            w.put<uint16_t>(1);
            w.put<uint8_t>(k < frameBackgrounds.size() ? frameBackgrounds[k] : 0);
            w.put<uint16_t>(static_cast<uint16_t>(frames[k].size()));
            for (const Man& m : frames[k]) {
                putMan(w, m);
            }
            for (size_t i = 0; i < frames[k].size(); ++i) {
                w.put<uint16_t>(static_cast<uint16_t>(i));
            }
        }
        w.put<int32_t>(rate);
        return w.bytes();
    }
};

// A version-2 record: size, an optional background, no stored types, frames of no figures.
std::vector<uint8_t> v2Record(int32_t w, int32_t h, const std::vector<uint8_t>& background,
                              int frames = 1) {
    ByteWriter out;
    out.put<uint8_t>(2);
    out.put<uint8_t>(background.empty() ? 0 : 1);
    out.put<int32_t>(w);
    out.put<int32_t>(h);
    out.putBytes(background.data(), background.size());
    out.put<uint8_t>(2);
    out.put<int32_t>(frames);
    for (int k = 0; k < frames; ++k) {
        out.put<uint8_t>(0);
    }
    return out.bytes();
}

ImageGeneral pictureOf(int w, int h) {
    ImageGeneral picture;
    picture.setBitmap(Bitmap(w, h, PixelFormat::Bits24));
    return picture;
}

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const KeltoError& e) {
        return e.what();
    }
    return {};
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

struct Recorder : DocumentObserver {
    int heard = 0;
    void documentChanged(DocumentChange, int) override { ++heard; }
};

PasteResult paste(Document& doc, const std::vector<uint8_t>& bytes, int at, bool own = false) {
    return doc.pasteFrames(bytes.data(), bytes.size(), at, own);
}

} // namespace

// ---- backgrounds of another size ------------------------------------------------------------

// Pictures smaller and larger than the animation are cut or extended to it, anchored top-left,
// the added area white, in every version that carries backgrounds.
TEST(WildFiles, BackgroundsOfAnotherSizeAreCutOrExtended) {
    V4 file;
    file.width = 8;
    file.height = 6;
    file.backgrounds = {bitmapRecord(5, 3), bitmapRecord(11, 9), bitmapRecord(8, 6)};
    file.frames = {{Man{1}}, {Man{1}}, {Man{1}}};
    file.frameBackgrounds = {1, 2, 3};
    const Document doc = readDocumentRecord(file.bytes());
    ASSERT_EQ(doc.backgroundCount(), 4);
    for (int slot = 1; slot <= 3; ++slot) {
        const Bitmap pixels = doc.background(slot).decoded();
        ASSERT_EQ(pixels.width(), 8) << slot;
        ASSERT_EQ(pixels.height(), 6) << slot;
    }
    const Bitmap small = doc.background(1).decoded();
    EXPECT_EQ(small.pixel32(4, 2), colourAt(4, 2));
    EXPECT_EQ(small.pixel32(0, 0), colourAt(0, 0));
    EXPECT_EQ(small.pixel32(5, 0), kWhite);
    EXPECT_EQ(small.pixel32(0, 3), kWhite);
    EXPECT_EQ(small.pixel32(7, 5), kWhite);
    const Bitmap large = doc.background(2).decoded();
    EXPECT_EQ(large.pixel32(7, 5), colourAt(7, 5));
    EXPECT_EQ(doc.background(3).decoded().pixel32(7, 5), colourAt(7, 5));
    EXPECT_EQ(doc.frames[1].backgroundIndex, 2);

    // What was brought to size is saved at that size and reads back the same.
    const std::vector<uint8_t> saved = writeDocumentRecord(doc);
    EXPECT_EQ(writeDocumentRecord(readKelFile(compressStream(saved))), saved);

    // Version 2: its one background, and a JPEG background keeps its kind.
    const Document two = readDocumentRecord(v2Record(8, 6, bitmapRecord(3, 2), 2));
    ASSERT_EQ(two.backgroundCount(), 2);
    EXPECT_EQ(two.background(1).width(), 8);
    EXPECT_EQ(two.background(1).decoded().height(), 6);
    EXPECT_EQ(two.background(1).decoded().pixel32(2, 1), colourAt(2, 1));
    EXPECT_EQ(two.frames[1].backgroundIndex, 1);

    Bitmap photoPixels(12, 10, PixelFormat::Bits24);
    photoPixels.fill(0x808080);
    std::vector<uint8_t> jpeg{1};
    const std::vector<uint8_t> encoded = encodeJpeg(photoPixels, 90);
    ByteWriter end;
    end.put<int64_t>(int64_t(1 + 1 + 8 + 1 + 8 + encoded.size()));
    append(jpeg, end.bytes());
    append(jpeg, encoded);
    const Document photo = readDocumentRecord(v2Record(8, 6, jpeg));
    EXPECT_EQ(photo.background(1).imageKind(), ImageGeneral::kJpegKind);
    EXPECT_EQ(photo.background(1).width(), 8);
    EXPECT_EQ(photo.background(1).decoded().width(), 8);
    EXPECT_EQ(photo.background(1).decoded().height(), 6);

    // Version 3 shares the reader of version 4 for backgrounds.
    ByteWriter older;
    older.put<uint8_t>(3);
    older.put<int32_t>(8);
    older.put<int32_t>(6);
    older.put<uint8_t>(2);
    const std::vector<uint8_t> picture = bitmapRecord(2, 9);
    older.putBytes(picture.data(), picture.size());
    older.putShortString("tall");
    older.put<uint8_t>(2);
    older.put<int32_t>(0);
    older.put<int32_t>(90);
    const Document three = readDocumentRecord(older.bytes());
    EXPECT_EQ(three.background(1).decoded().width(), 8);
    EXPECT_EQ(three.background(1).decoded().height(), 6);
    EXPECT_EQ(three.background(1).decoded().pixel32(1, 5), colourAt(1, 5));
}

// A picture too large for any picture, or one whose data ends early, is still refused, and
// a failed open leaves the open document as it was.
TEST(WildFiles, DamagedBackgroundsOfAnotherSizeAreRefused) {
    Document open = stickmanDocument(2);
    open.documentSaved = false;
    const std::vector<uint8_t> before = writeDocumentRecord(open);

    V4 huge;
    std::vector<uint8_t> header = bitmapRecord(2, 2);
    const int32_t side = 70000; // beyond what any picture may hold
    std::memcpy(header.data() + 1 + 18, &side, 4);
    huge.backgrounds = {header};
    V4 cut;
    std::vector<uint8_t> shortPicture = bitmapRecord(20, 20);
    shortPicture.resize(shortPicture.size() - 30);
    cut.backgrounds = {shortPicture};
    QTemporaryDir dir;
    int k = 0;
    for (const std::vector<uint8_t>& record : {huge.bytes(), cut.bytes()}) {
        const std::string path = dir.filePath(QString("bad%1.kel").arg(k++)).toStdString();
        writeFileReplacing(path, compressStream(record));
        const std::string message = errorOf([&] { open.adoptLoaded(loadAnimation(path)); });
        EXPECT_TRUE(startsWith(message, kMsgBadKelFile)) << message;
        EXPECT_EQ(writeDocumentRecord(open), before);
        EXPECT_FALSE(open.documentSaved);
    }
}

// Tiny pictures extended to a large animation hold far more than the file's bytes; what they
// hold counts towards what a load may take, so such a file is refused as too large to open
// rather than taking memory without bound.
TEST(WildFiles, ExtendedBackgroundsCountTowardsTheLoadLimit) {
    V4 file;
    file.width = 8192;
    file.height = 8192;
    file.backgrounds = {bitmapRecord(2, 2), bitmapRecord(2, 2), bitmapRecord(2, 2)};
    const std::string message = errorOf([&] { readKelFile(compressStream(file.bytes())); });
    EXPECT_TRUE(startsWith(message, kMsgKelTooLarge)) << message;
    file.backgrounds.resize(1);
    EXPECT_EQ(readKelFile(compressStream(file.bytes())).background(1).bitmap().width(), 8192);
}

// Shrinking one side while the other grows passes through a middle size; it must never be one
// that no picture may hold (here 32767 x 32767).
TEST(WildFiles, BackgroundsChangeSizeThroughASmallMiddle) {
    Document doc(8, kMaxAnimationSide);
    ImageGeneral tall;
    tall.setBitmap(Bitmap(8, kMaxAnimationSide, PixelFormat::Bits8));
    doc.addBackground(tall, "tall");
    doc.setAnimationDimensions(kMaxAnimationSide, 8);
    EXPECT_EQ(doc.background(1).bitmap().width(), kMaxAnimationSide);
    EXPECT_EQ(doc.background(1).bitmap().height(), 8);

    V4 wide;
    wide.width = kMaxAnimationSide;
    wide.height = 8;
    std::vector<uint8_t> record{0};
    append(record, bmp24(8, kMaxAnimationSide, [](int, int) { return 0x123456u; }));
    wide.backgrounds = {record};
    const Document back = readDocumentRecord(wide.bytes());
    EXPECT_EQ(back.background(1).decoded().width(), kMaxAnimationSide);
    EXPECT_EQ(back.background(1).decoded().pixel32(7, 7), 0x123456u);
    EXPECT_EQ(back.background(1).decoded().pixel32(8, 7), kWhite);
}

// ---- figure identities in any order -------------------------------------------------------

// Identities that fall or repeat inside a frame open with every figure intact; lookups, new
// figures, duplicates and pastes stay sound, and a save writes the same bytes again.
TEST(WildFiles, IdentitiesOutOfOrderOpenAndStaySound) {
    V4 file;
    file.frames = {
        {Man{7, 0.5, 10, 11}, Man{3, 1.5, 20, 21}, Man{3, 2.5, 30, 31}},
        {Man{3, 3.5, 12, 13}, Man{7, 4.5, 22, 23}, Man{-4, 5.5, 32, 33}},
    };
    const std::vector<uint8_t> record = file.bytes();
    Document doc = readDocumentRecord(record);
    ASSERT_EQ(doc.frameCount(), 2);
    for (size_t k = 0; k < 2; ++k) {
        ASSERT_EQ(doc.frames[k].figureCount(), 3);
        for (size_t i = 0; i < 3; ++i) {
            const Man& m = file.frames[k][i];
            const Figure& f = doc.frames[k].figures[i];
            EXPECT_EQ(f.figureID, m.id);
            EXPECT_EQ(f.jointPos[0].x, m.x);
            EXPECT_EQ(f.jointPos[0].y, m.y);
            EXPECT_EQ(f.pose[11].angle, m.angle + 11);
        }
        EXPECT_EQ(verifyFrame(doc.frames[k], doc.figureTypes()), "");
    }
    EXPECT_EQ(doc.lastFigureID, 7);
    EXPECT_EQ(writeDocumentRecord(doc), record);

    // The hint wins when it holds the identity; otherwise the nearest figure holding it.
    const Figures& first = doc.frames[0];
    EXPECT_EQ(first.findByID(3, 2), 2);
    EXPECT_EQ(first.findByID(3, 1), 1);
    EXPECT_EQ(first.findByID(3, 0), 1);
    EXPECT_EQ(first.findByID(7, 2), 0);
    EXPECT_EQ(first.findByID(7, -1), 0);
    EXPECT_EQ(first.findByID(-4, 1), -1);
    EXPECT_EQ(doc.frames[1].findByID(-4, 0), 2);
    EXPECT_EQ(doc.frames[1].findByID(7, 99), 1);

    // Onion skins of figure 7 selected in the new frame after the last find it in both frames.
    Figures edit = doc.frames[1];
    edit.select(1, true);
    const OnionIndexes onions = findOnions(doc.frames, -1, edit, 2, false);
    EXPECT_EQ(onions.behind[1], 1);
    EXPECT_EQ(onions.behind[2], 0);

    // New and duplicated figures take identities above every one held.
    EXPECT_EQ(doc.nextFigureID(), 8);
    edit.select(0, true);
    ASSERT_EQ(edit.duplicateSelection(doc.lastFigureID), DuplicateResult::Done);
    EXPECT_EQ(edit.figures[3].figureID, 9);
    EXPECT_EQ(doc.lastFigureID, 9);
    doc.frames.push_back(edit);

    // A stranger's paste is shifted above the document's identities, and the counter follows
    // the largest pasted identity after the shift.
    Document other = stickmanDocument(1);
    other.lastFigureID = 20;
    ASSERT_EQ(paste(other, record, 1).status, PasteStatus::Pasted);
    // The smallest pasted identity, -4, becomes 21.
    EXPECT_EQ(other.frames[1].figures[0].figureID, 32);
    EXPECT_EQ(other.frames[2].figures[2].figureID, 21);
    EXPECT_EQ(other.lastFigureID, 32);
    EXPECT_EQ(other.nextFigureID(), 33);
    // The same data as this document's own copy keeps its identities; the counter still ends
    // at the largest one held.
    Document own = stickmanDocument(1);
    ASSERT_EQ(paste(own, record, 0, true).status, PasteStatus::Pasted);
    EXPECT_EQ(own.frames[0].figures[0].figureID, 7);
    EXPECT_EQ(own.lastFigureID, 7);

    // The whole document saves and opens again with the same identities.
    const Document back = readKelFile(writeKelFile(doc));
    ASSERT_EQ(back.frameCount(), 3);
    EXPECT_EQ(back.frames[2].figures[3].figureID, 9);
    EXPECT_EQ(back.lastFigureID, 9);
    EXPECT_EQ(writeDocumentRecord(back), writeDocumentRecord(doc));
}

// The identity counter never wraps round below the identities a file holds.
TEST(WildFiles, IdentityCounterStopsAtTheTop) {
    V4 file;
    file.frames = {{Man{INT32_MAX}, Man{5}}};
    Document doc = readDocumentRecord(file.bytes());
    EXPECT_EQ(doc.lastFigureID, INT32_MAX);
    EXPECT_EQ(doc.nextFigureID(), INT32_MAX);
    Figures edit = doc.frames[0];
    edit.select(0, true);
    ASSERT_EQ(edit.duplicateSelection(doc.lastFigureID), DuplicateResult::Done);
    EXPECT_EQ(edit.figures[2].figureID, INT32_MAX);
    EXPECT_EQ(edit.findByID(INT32_MAX, 2), 2);
    EXPECT_EQ(edit.findByID(INT32_MAX, 1), 0);
}

// ---- records without a frame rate ---------------------------------------------------------

TEST(WildFiles, Version2KeepsTheCurrentFrameRate) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("old.kel").toStdString();
    writeFileReplacing(path, compressStream(v2Record(40, 30, {}, 3)));
    Document open(500, 400);
    open.frameRate = 120;
    open.adoptLoaded(loadAnimation(path));
    EXPECT_EQ(open.frameCount(), 3);
    EXPECT_EQ(open.frameRate, 120);
    EXPECT_EQ(open.animWidth(), 40);
    // Saved again, the file now carries that rate.
    EXPECT_EQ(readKelFile(writeKelFile(open)).frameRate, 120);

    // A record that has a rate still brings it.
    V4 file;
    file.frames = {{Man{1}}};
    file.rate = 45;
    const std::string newer = dir.filePath("new.kel").toStdString();
    writeFileReplacing(newer, compressStream(file.bytes()));
    open.adoptLoaded(loadAnimation(newer));
    EXPECT_EQ(open.frameRate, 45);

    // Pasted into an empty document, version-2 frames leave the rate alone too.
    Document empty(40, 30);
    empty.frameRate = 140;
    ASSERT_EQ(paste(empty, v2Record(40, 30, {}, 1), 0).status, PasteStatus::Pasted);
    EXPECT_EQ(empty.frameRate, 140);
}

// ---- the version-2 background name --------------------------------------------------------

TEST(WildFiles, Version2BackgroundIsNamedInTheCurrentLanguage) {
    QTemporaryDir dir;
    multiLang().openFolder(dir.filePath("languages"));
    QFile german(dir.filePath("languages/Deutsch.ini"));
    ASSERT_TRUE(german.open(QIODevice::WriteOnly));
    german.write("[Language]\nMBackground=Hintergrund\n");
    german.close();
    ASSERT_TRUE(multiLang().setLanguage("Deutsch"));
    const Document doc = readDocumentRecord(v2Record(8, 6, bitmapRecord(8, 6)));
    multiLang().setLanguage(MultiLang::english);
    EXPECT_EQ(doc.backgroundName(1), "Hintergrund1.bmp");
    EXPECT_EQ(readDocumentRecord(v2Record(8, 6, bitmapRecord(8, 6))).backgroundName(1),
              "Background1.bmp");
}

// ---- one size limit -------------------------------------------------------------------------

// The largest sizes a document may take save and open again; one pixel more is refused by the
// document, the writer and the reader alike, naming the limit.
TEST(AnimationSize, LargestSizesSaveAndReopen) {
    const std::string message = kMsgAnimationSize;
    EXPECT_NE(message.find(std::to_string(kMaxAnimationSide)), std::string::npos);
    EXPECT_NE(message.find(std::to_string(kMaxAnimationArea)), std::string::npos);
    EXPECT_EQ(englishPhrase(PhraseType::MAnimSize).toStdString(), message);

    QTemporaryDir dir;
    const std::string base = dir.filePath("large").toStdString();
    // The options' widest (10000 by 6710), the longest side, the largest square.
    for (auto [w, h] : {std::pair{10000, 6710},
                        {kMaxAnimationSide, 2048},
                        {8192, 8192},
                        {kMaxAnimationSide, 1}}) {
        Document doc = stickmanDocument(1);
        doc.setAnimationDimensions(w, h);
        saveAnimation(doc, base);
        const Document back = loadAnimation(base + ".kel");
        EXPECT_EQ(back.animWidth(), w);
        EXPECT_EQ(back.animHeight(), h);
        // Copied frames of that size go into an empty document, which saves and reopens.
        Document empty(500, 400);
        const PasteResult r = paste(empty, copyAll(doc), 0);
        ASSERT_EQ(r.status, PasteStatus::Pasted);
        EXPECT_TRUE(r.dimensionsAdopted);
        saveAnimation(empty, base + "-pasted");
        EXPECT_EQ(loadAnimation(base + "-pasted.kel").animWidth(), w);
    }

    for (const std::pair<int, int>& size :
         {std::pair{10000, 6711}, {kMaxAnimationSide + 1, 2}, {8193, 8192}, {0, 5}}) {
        // Named copies: clang 14 lets no lambda capture a structured binding.
        const int w = size.first;
        const int h = size.second;
        Document doc = stickmanDocument(1);
        EXPECT_EQ(errorOf([&] { doc.setAnimationDimensions(w, h); }), message) << w << "x" << h;
        EXPECT_EQ(doc.animWidth(), 320);
        // A document made without the check is not written either.
        Document unchecked(w, h);
        unchecked.frames = doc.frames;
        EXPECT_EQ(errorOf([&] { writeDocumentRecord(unchecked); }), message);
        V4 file;
        file.width = w;
        file.height = h;
        EXPECT_TRUE(startsWith(errorOf([&] { readDocumentRecord(file.bytes()); }), kMsgBadKelFile));
    }
}

// ---- pastes refused at a limit ------------------------------------------------------------

// Whichever limit refuses a paste, the document is left exactly as it was and its observers
// hear nothing: no background, figure type, frame or size stays behind.
TEST(FramePasteLimits, ARefusedPasteChangesNothing) {
    Document source(8, 6);
    source.addBackground(pictureOf(8, 6), "new.bmp");
    source.addFigureType(chainType(1), "one");
    source.addFigureType(chainType(2), "two");
    source.frames.push_back(frameOf({placedFigure(source, 2, 1, 1, 1)}, 1));
    source.frames.push_back(frameOf({placedFigure(source, 3, 1, 1, 2)}, 0));
    const std::vector<uint8_t> bytes = copyAll(source);

    const auto refuses = [&](Document& doc, PasteStatus expected) {
        Recorder recorder;
        doc.addObserver(&recorder);
        const std::vector<uint8_t> before = writeDocumentRecord(doc);
        const int types = doc.figureTypeCount();
        const int32_t width = doc.animWidth();
        const PasteResult r = paste(doc, bytes, 0);
        EXPECT_EQ(r.status, expected);
        EXPECT_FALSE(r.dimensionsAdopted);
        EXPECT_EQ(recorder.heard, 0);
        EXPECT_EQ(doc.figureTypeCount(), types);
        EXPECT_EQ(doc.animWidth(), width);
        EXPECT_TRUE(doc.documentSaved);
        if (doc.frameCount() < 10) {
            EXPECT_EQ(writeDocumentRecord(doc), before);
        }
        doc.removeObserver(&recorder);
    };

    // No slot left for the new picture.
    Document noSlot(8, 6);
    while (noSlot.canAddBackground()) {
        noSlot.addBackground(pictureOf(8, 6), "x");
    }
    noSlot.frames.push_back(frameOf({placedFigure(noSlot, 1, 1, 1, 1)}));
    refuses(noSlot, PasteStatus::TooManyBackgrounds);

    // Room for the picture but for only one of the two types; an empty document of another
    // size does not take the pasted size either.
    Document oneType(50, 40);
    while (oneType.figureTypeCount() < kMaxFigureTypes - 1) {
        oneType.addFigureType(FigureType{}, "");
    }
    refuses(oneType, PasteStatus::TooManyFigureTypes);
    EXPECT_EQ(oneType.backgroundCount(), 1);
    EXPECT_EQ(oneType.animHeight(), 40);

    // Room for pictures and types but not for two more frames.
    Document manyFrames(8, 6);
    manyFrames.frames.resize(kMaxFrames - 1);
    refuses(manyFrames, PasteStatus::TooManyFrames);
    EXPECT_EQ(manyFrames.backgroundCount(), 1);
    EXPECT_EQ(manyFrames.figureTypeCount(), 2);
    EXPECT_EQ(manyFrames.frameCount(), kMaxFrames - 1);
}

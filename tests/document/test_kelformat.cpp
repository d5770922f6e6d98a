#include "document/kelformat.h"
#include "document/messages.h"
#include "document/stkformat.h"
#include "document/zstream.h"
#include "fixtures.h"
#include "graphics/imagecodecs.h"
#include "model/integrity.h"
#include "settings/atomicfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <bit>
#include <cmath>
#include <csignal>
#include <random>
#include <sys/resource.h>

using namespace kelto;
using namespace kelto::test;

namespace {

std::string errorOf(const std::vector<uint8_t>& record) {
    try {
        readDocumentRecord(record);
    } catch (const KeltoError& e) {
        return e.what();
    }
    return {};
}

bool isDamaged(const std::vector<uint8_t>& record) {
    return errorOf(record).rfind(kMsgBadKelFile, 0) == 0;
}

// One stick-man figure of a hand-built version-4 record.
struct FigSpec {
    int32_t id = 1;
    uint16_t type = 1;
    float scale = 1;
    float x = 50;
    float y = 60;
    double angle = 0;
    uint8_t joined = 0;
    uint16_t parent = 0;
    uint8_t joint = 0;
};

void putFigure(ByteWriter& w, const FigSpec& f, int segments = 12) {
    w.put<int32_t>(f.id);
    w.put<uint16_t>(f.type);
    w.put<float>(f.scale);
    w.put<uint32_t>(0);
    w.put<uint8_t>(0);
    for (int s = 0; s < segments; ++s) {
        w.put<double>(f.angle);
    }
    w.put<float>(f.x);
    w.put<float>(f.y);
    w.put<uint8_t>(0);
    w.put<uint8_t>(f.joined);
    if (f.joined) {
        w.put<uint16_t>(f.parent);
        w.put<uint8_t>(f.joint);
    }
}

// A version-4 record of one frame of stick men, with no backgrounds and no stored types.
std::vector<uint8_t> v4Record(const std::vector<FigSpec>& figs, std::vector<uint16_t> order = {},
                              int32_t frames = 1) {
    if (order.empty()) {
        for (size_t i = 0; i < figs.size(); ++i) {
            order.push_back(static_cast<uint16_t>(i));
        }
    }
    ByteWriter w;
    w.put<uint8_t>(4);
    w.put<int32_t>(300);
    w.put<int32_t>(200);
    w.put<uint8_t>(1);
    w.put<uint16_t>(2);
    w.put<int32_t>(frames);
    w.put<uint16_t>(1);
    w.put<uint8_t>(0);
    w.put<uint16_t>(static_cast<uint16_t>(figs.size()));
    for (const FigSpec& f : figs) {
        putFigure(w, f);
    }
    for (uint16_t o : order) {
        w.put<uint16_t>(o);
    }
    w.put<int32_t>(100);
    return w.bytes();
}

} // namespace

TEST(KelFormat, Version4RecordLayoutIsByteExact) {
    Document doc(320, 240);
    const auto chain = static_cast<uint16_t>(doc.addFigureType(chainType(2), "chain"));
    Figure man = placedFigure(doc, 1, 100, 120, 1);
    man.colour = 0x112233;
    man.transparency = 5;
    Figure hanger = placedFigure(doc, chain, 7, 8, 2);
    hanger.scale = 1.5f;
    hanger.stretchedCount = 1;
    hanger.pose[1].length = 33;
    hanger.isJoined = 1;
    hanger.joinParent = 0;
    hanger.joinJoint = 3;
    Figures frame = frameOf({man, hanger}, 0, 3);
    frame.drawOrder = {1, 0};
    frame.recomputeOrderPositions();
    doc.frames.push_back(frame);
    doc.frameRate = 90;

    ByteWriter w;
    w.put<uint8_t>(4);
    w.put<int32_t>(320);
    w.put<int32_t>(240);
    w.put<uint8_t>(1);
    w.put<uint16_t>(3);
    writeFigureTypeRecord(w, doc.figureType(chain));
    w.putShortString("chain");
    w.put<int32_t>(1);
    w.put<uint16_t>(3);
    w.put<uint8_t>(0);
    w.put<uint16_t>(2);
    // the stick man
    w.put<int32_t>(1);
    w.put<uint16_t>(1);
    w.put<float>(1);
    w.put<uint32_t>(0x112233);
    w.put<uint8_t>(5);
    for (const Segment& s : doc.figureType(1).segments) {
        w.put<double>(s.angle);
    }
    w.put<float>(100);
    w.put<float>(120);
    w.put<uint8_t>(0);
    w.put<uint8_t>(0);
    // the joined, stretched chain
    w.put<int32_t>(2);
    w.put<uint16_t>(2);
    w.put<float>(1.5f);
    w.put<uint32_t>(0);
    w.put<uint8_t>(0);
    w.put<double>(0);
    w.put<double>(0);
    w.put<float>(7);
    w.put<float>(8);
    w.put<uint8_t>(1);
    w.put<float>(10);
    w.put<float>(33);
    w.put<uint8_t>(1);
    w.put<uint16_t>(0);
    w.put<uint8_t>(3);
    // draw order, frame rate
    w.put<uint16_t>(1);
    w.put<uint16_t>(0);
    w.put<int32_t>(90);
    EXPECT_EQ(writeDocumentRecord(doc), w.bytes());

    const Document back = readDocumentRecord(w.bytes());
    ASSERT_EQ(back.frameCount(), 1);
    const Figures& f = back.frames[0];
    EXPECT_EQ(f.repeatCount, 3);
    EXPECT_EQ(f.drawOrder, (std::vector<uint16_t>{1, 0}));
    EXPECT_EQ(f.figures[1].orderPos, 0);
    EXPECT_EQ(f.figures[0].joinedFigures(3), (std::vector<uint16_t>{1}));
    EXPECT_EQ(f.figures[0].joinedChildCount, 1u);
    EXPECT_EQ(f.figures[1].pose[1].length, 33.0f);
    EXPECT_FLOAT_EQ(f.figures[1].jointPos[2].x, 7 + 1.5f * (10 + 33));
    EXPECT_EQ(back.figureTypeName(2), "chain");
    EXPECT_EQ(back.lastFigureID, 2);
    EXPECT_EQ(back.frameRate, 90);
    EXPECT_EQ(verifyFrame(f, back.figureTypes()), "");
}

TEST(KelFormat, FramesWithoutFiguresHaveNoDrawOrder) {
    Document doc(10, 10);
    doc.frames.emplace_back();
    const std::vector<uint8_t> r = writeDocumentRecord(doc);
    // version, size, B, T, F, then repeat, background, count, then the frame rate
    EXPECT_EQ(r.size(), 1u + 8u + 1u + 2u + 4u + (2u + 1u + 2u) + 4u);
    EXPECT_EQ(readDocumentRecord(r).frames[0].figureCount(), 0);
}

TEST(KelFormat, Version3NumbersFiguresAfreshAndMendsOldValues) {
    ByteWriter w;
    w.put<uint8_t>(3);
    w.put<int32_t>(640);
    w.put<int32_t>(480);
    w.put<uint8_t>(1);
    w.put<uint8_t>(3); // T as a byte
    w.put<uint8_t>(1);
    const std::vector<uint8_t> seg = segmentBytes(0, 1, 10, 0, 2, skLine, 0);
    w.putBytes(seg.data(), seg.size());
    w.putShortString("stick");
    w.put<int32_t>(1);
    w.put<uint16_t>(2);
    w.put<uint8_t>(0);
    w.put<uint8_t>(2); // N as a byte
    // figure 0: stored type 0 means the last type of the list; an angle over 100 becomes 0
    w.put<uint8_t>(0);
    w.put<float>(2);
    w.put<uint32_t>(0xff);
    w.put<double>(250);
    w.put<float>(5);
    w.put<float>(6);
    // figure 1: a stick man
    w.put<uint8_t>(1);
    w.put<float>(1);
    w.put<uint32_t>(0);
    for (const Segment& s : createStickmanType().segments) {
        w.put<double>(s.angle);
    }
    w.put<float>(50);
    w.put<float>(60);
    w.put<int32_t>(120);

    const Document doc = readDocumentRecord(w.bytes());
    ASSERT_EQ(doc.frameCount(), 1);
    const Figures& f = doc.frames[0];
    EXPECT_EQ(f.repeatCount, 2);
    EXPECT_EQ(f.figures[0].typeIndex, 2);
    EXPECT_EQ(f.figures[0].pose[0].angle, 0.0);
    EXPECT_FLOAT_EQ(f.figures[0].jointPos[1].x, 25);
    EXPECT_EQ(f.figures[1].typeIndex, 1);
    EXPECT_EQ(f.figures[0].figureID, 1);
    EXPECT_EQ(f.figures[1].figureID, 2);
    EXPECT_EQ(f.figures[0].transparency, 0);
    EXPECT_EQ(f.drawOrder, (std::vector<uint16_t>{0, 1}));
    EXPECT_EQ(doc.lastFigureID, 2);
    EXPECT_EQ(doc.frameRate, 120);
}

TEST(KelFormat, Version2BringsDefaultTwoOnceAndClampsScale) {
    ByteWriter w;
    w.put<uint8_t>(2);
    w.put<uint8_t>(0); // no background
    w.put<int32_t>(400);
    w.put<int32_t>(300);
    w.put<uint8_t>(3);
    w.put<uint8_t>(1);
    const std::vector<uint8_t> seg = segmentBytes(0, 1, 10, 0, 2, skLine, 0);
    w.putBytes(seg.data(), seg.size());
    w.putShortString("own");
    w.put<int32_t>(2);
    auto defaultTwoFigure = [&](float scale) {
        w.put<uint8_t>(1);
        w.put<float>(scale);
        w.put<uint32_t>(0);
        for (int s = 0; s < 10; ++s) {
            w.put<double>(1);
        }
        w.put<float>(0);
        w.put<float>(0);
    };
    w.put<uint8_t>(2);
    defaultTwoFigure(1);
    w.put<uint8_t>(2); // the file's own type
    w.put<float>(1);
    w.put<uint32_t>(0);
    w.put<double>(0);
    w.put<float>(0);
    w.put<float>(0);
    w.put<uint8_t>(1);
    defaultTwoFigure(5000);

    const Document doc = readDocumentRecord(w.bytes());
    ASSERT_EQ(doc.figureTypeCount(), 4);
    EXPECT_EQ(doc.figureTypeName(2), "own");
    EXPECT_EQ(doc.figureTypeName(3), "Default 2");
    const FigureType& two = doc.figureType(3);
    ASSERT_EQ(two.segmentCount(), 10);
    EXPECT_EQ(two.segments[4].startJoint, 3);
    EXPECT_EQ(two.segments[9].endJoint, 10);
    EXPECT_EQ(two.segments[1].kind, skCircle);
    EXPECT_EQ(two.segments[1].length, 36.0f);
    EXPECT_EQ(two.segments[0].thickness, 7.0f);
    EXPECT_EQ(verifyFigureType(two), "");
    EXPECT_EQ(doc.frames[0].figures[0].typeIndex, 3);
    EXPECT_EQ(doc.frames[0].figures[1].typeIndex, 2);
    EXPECT_EQ(doc.frames[1].figures[0].typeIndex, 3);
    EXPECT_EQ(doc.frames[1].figures[0].scale, kMaxFigureScale);
    EXPECT_EQ(doc.frames[1].repeatCount, 1);
    EXPECT_EQ(doc.frames[1].figures[0].figureID, 3);
    EXPECT_EQ(doc.frameRate, kDefaultFrameRate);
}

TEST(KelFormat, SelectedFramesCarryOnlyWhatTheyUse) {
    Document doc(100, 100);
    const auto a = static_cast<uint16_t>(doc.addFigureType(chainType(1), "A"));
    const auto b = static_cast<uint16_t>(doc.addFigureType(chainType(2), "B"));
    const auto c = static_cast<uint16_t>(doc.addFigureType(chainType(3), "C"));
    for (int k = 0; k < 6; ++k) {
        doc.frames.push_back(frameOf({placedFigure(doc, 1, 0, 0, 1)}));
    }
    doc.frames[2] = frameOf({placedFigure(doc, c, 0, 0, 1)});
    doc.frames[5] = frameOf({placedFigure(doc, b, 0, 0, 1), placedFigure(doc, a, 0, 0, 2)});
    doc.frames[5].timelineSelected = 1;
    doc.frames[2].timelineSelected = 1;

    const Document part = readDocumentRecord(writeSelectedFramesRecord(doc, {5, 2}));
    ASSERT_EQ(part.figureTypeCount(), 5);
    EXPECT_EQ(part.figureTypeName(2), "B"); // numbered as frame 5, then frame 2 met them
    EXPECT_EQ(part.figureTypeName(3), "A");
    EXPECT_EQ(part.figureTypeName(4), "C");
    ASSERT_EQ(part.frameCount(), 2); // written in frame order
    EXPECT_EQ(part.frames[0].figures[0].typeIndex, 4);
    EXPECT_EQ(part.frames[1].figures[0].typeIndex, 2);
    EXPECT_EQ(part.frames[1].figures[1].typeIndex, 3);
    EXPECT_EQ(part.backgroundCount(), 1);

    doc.frames[2].timelineSelected = 0;
    doc.frames[5].timelineSelected = 0;
    doc.frames[0].timelineSelected = 1;
    const Document men = readDocumentRecord(writeSelectedFramesRecord(doc, {0}));
    EXPECT_EQ(men.figureTypeCount(), 2);
    doc.frames[0].timelineSelected = 0;
    EXPECT_TRUE(writeSelectedFramesRecord(doc, {}).empty());
}

TEST(KelFormat, VersionsOutsideTwoToFourAreRefused) {
    for (uint8_t v : {uint8_t{0}, uint8_t{1}, uint8_t{5}, uint8_t{255}}) {
        std::vector<uint8_t> r = v4Record({FigSpec{}});
        r[0] = v;
        EXPECT_EQ(errorOf(r), kMsgKelNotCompatible) << int(v);
    }
}

TEST(KelFormat, EveryIndexAndCountIsChecked) {
    EXPECT_EQ(errorOf(v4Record({FigSpec{}})), "");
    FigSpec unknownType;
    unknownType.type = 2;
    EXPECT_TRUE(isDamaged(v4Record({unknownType})));
    FigSpec emptyType; // the builder's working type has no segments
    emptyType.type = 0;
    EXPECT_TRUE(isDamaged(v4Record({emptyType})));

    FigSpec child;
    child.id = 2;
    child.joined = 1;
    child.parent = 0;
    child.joint = 12; // the last joint of a stick man
    EXPECT_EQ(errorOf(v4Record({FigSpec{}, child})), "");
    child.joint = 13;
    EXPECT_TRUE(isDamaged(v4Record({FigSpec{}, child})));
    child.joint = 0;
    child.parent = 1; // itself
    EXPECT_TRUE(isDamaged(v4Record({FigSpec{}, child})));
    child.parent = 2; // no such figure
    EXPECT_TRUE(isDamaged(v4Record({FigSpec{}, child})));
    FigSpec first; // a cycle: 0 hangs on 1 and 1 on 0
    first.joined = 1;
    first.parent = 1;
    child.parent = 0;
    EXPECT_TRUE(isDamaged(v4Record({first, child})));

    FigSpec second;
    second.id = 2;
    EXPECT_TRUE(isDamaged(v4Record({FigSpec{}, second}, {0, 0})));
    EXPECT_TRUE(isDamaged(v4Record({FigSpec{}, second}, {0, 2})));

    FigSpec wild;
    wild.scale = 1e30f;
    EXPECT_TRUE(isDamaged(v4Record({wild})));
    wild.scale = std::nanf("");
    EXPECT_TRUE(isDamaged(v4Record({wild})));
    wild.scale = 1;
    wild.x = INFINITY;
    EXPECT_TRUE(isDamaged(v4Record({wild})));
    wild.x = 3e9f;
    EXPECT_TRUE(isDamaged(v4Record({wild})));
    wild.x = 0;
    wild.angle = std::nan("");
    EXPECT_TRUE(isDamaged(v4Record({wild})));

    // Counts far beyond the bytes present fail before anything is allocated for them.
    EXPECT_TRUE(isDamaged(v4Record({FigSpec{}}, {}, INT32_MAX)));
    EXPECT_TRUE(isDamaged(v4Record({FigSpec{}}, {}, -1)));
    EXPECT_TRUE(isDamaged(v4Record({FigSpec{}}, {}, kMaxFrames + 1)));
    std::vector<uint8_t> manyFigures = v4Record({});
    manyFigures[1 + 8 + 1 + 2 + 4 + 2 + 1] = 0xff;
    manyFigures[1 + 8 + 1 + 2 + 4 + 2 + 2] = 0xff;
    EXPECT_TRUE(isDamaged(manyFigures));
    std::vector<uint8_t> noTypes = v4Record({});
    noTypes[1 + 8 + 1] = 1; // T below the two built-in types
    EXPECT_TRUE(isDamaged(noTypes));
    std::vector<uint8_t> badBackground = v4Record({});
    badBackground[1 + 8 + 1 + 2 + 4 + 2] = 1; // slot 1 of a file with none
    EXPECT_TRUE(isDamaged(badBackground));
}

TEST(KelFormat, EveryTruncationIsRefusedCleanly) {
    Document doc = stickmanDocument(3);
    doc.addFigureType(chainType(4), "chain");
    doc.frames[1].figures[1].setType(2, doc.figureType(2));
    const std::vector<uint8_t> record = writeDocumentRecord(doc);
    ASSERT_EQ(errorOf(record), "");
    for (size_t n = 0; n < record.size(); ++n) {
        const std::vector<uint8_t> cut(record.begin(), record.begin() + n);
        EXPECT_NE(errorOf(cut), "") << n;
    }
}

TEST(KelFormat, RecordRoundTripPreservesTheDocument) {
    Document doc = stickmanDocument(4);
    doc.addFigureType(chainType(3), "three");
    doc.frames[2].figures[0].setType(2, doc.figureType(2));
    doc.frames[3].figures[1].colour = 0xabcdef;
    doc.frames[3].figures[1].pose[4].angle = 0.1234567890123;
    doc.frames[3].figures[1].computeJoints(doc.figureType(1));
    // A type too large to keep inside the figure, stretched, with a figure hanging on it.
    const auto chain = static_cast<uint16_t>(doc.addFigureType(chainType(20), "twenty"));
    Figures& frame = doc.frames[1];
    frame.figures[0].setType(chain, doc.figureType(chain));
    frame.figures[0].stretchSegment(doc.figureType(chain), 17, {300, 40}, false);
    frame.figures[0].computeJoints(doc.figureType(chain));
    frame.figures[0].updateBounds(doc.figureType(chain));
    frame.beginJoin(1);
    ASSERT_TRUE(frame.join(1, 0, 19));
    const std::vector<uint8_t> file = writeKelFile(doc);
    const std::vector<uint8_t> record = writeDocumentRecord(doc);
    const Document back = readKelFile(file);
    EXPECT_EQ(writeDocumentRecord(back), record);
    EXPECT_EQ(writeKelFile(back), file);
    EXPECT_EQ(back.frames[3].figures[1].pose[4].angle, 0.1234567890123);
    EXPECT_EQ(back.frames[1].figures[0].joinedFigures(19), (std::vector<uint16_t>{1}));
    EXPECT_NE(back.frames[1].figures[0].pose[17].length, 10.0f);
}

// The reader places figures on its own fast path; what it builds must be exactly what the
// model's ordinary operations build from the same pose, joint for joint and bit for bit.
TEST(KelFormat, LoadedFiguresMatchTheModelBitForBit) {
    Document doc(640, 480);
    FigureType circles = chainType(3, 17.5f);
    circles.addSegment(1, skFilledCircle, 21.25f, 3.5f, 1.0, 0, 0);
    circles.addSegment(0, skHollowCircle, 9.75f, 0, 2.0, 1, 0);
    circles.addSegment(4, skCircle, 13, 6.5f, 4.0, 0, 0);
    FigureType picture = chainType(2);
    picture.addSegment(1, skImage, 30, 2, 0.5, 0, 0);
    Bitmap b(5, 3, PixelFormat::Bits24);
    picture.images.resize(1);
    picture.images[0].setFromBitmap(b);
    const int types[] = {1, doc.addFigureType(circles, "circles"),
                         doc.addFigureType(picture, "picture"),
                         doc.addFigureType(createDefaultTwoType(), "two")};
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0, 1);
    const float scales[] = {1, 1, 0.35f, 2.75f, -1.5f, 0, 1e-3f};
    int32_t id = 0;
    doc.frames.resize(60);
    for (Figures& frame : doc.frames) {
        frame.setCount(1 + static_cast<int>(random() % 5));
        for (Figure& f : frame.figures) {
            const int t = types[random() % std::size(types)];
            const FigureType& type = doc.figureType(t);
            f.setType(static_cast<uint16_t>(t), type);
            f.figureID = ++id;
            f.scale = scales[random() % std::size(scales)];
            f.flipped = random() % 2;
            for (int s = 0; s < type.segmentCount(); ++s) {
                if (random() % 3 != 0) {
                    f.pose[s].angle = (unit(random) - 0.5) * (random() % 4 == 0 ? 2000 : 14);
                }
            }
            if (random() % 4 == 0) {
                f.pose[random() % type.segmentCount()].length = float(unit(random) * 200);
                f.stretchedCount = 1;
            }
            f.placeRoot({(unit(random) - 0.5) * 1e4, (unit(random) - 0.5) * 1e4}, type);
            f.updateBounds(type);
        }
    }
    doc.lastFigureID = id;
    const Document back = readKelFile(writeKelFile(doc));
    ASSERT_EQ(back.frameCount(), doc.frameCount());
    int compared = 0;
    for (int k = 0; k < doc.frameCount(); ++k) {
        ASSERT_EQ(back.frames[k].figureCount(), doc.frames[k].figureCount());
        for (int i = 0; i < doc.frames[k].figureCount(); ++i) {
            const Figure& loaded = back.frames[k].figures[i];
            const Figure& made = doc.frames[k].figures[i];
            ASSERT_EQ(loaded.jointPos.size(), made.jointPos.size());
            for (size_t j = 0; j < made.jointPos.size(); ++j) {
                EXPECT_EQ(std::bit_cast<uint32_t>(loaded.jointPos[j].x),
                          std::bit_cast<uint32_t>(made.jointPos[j].x))
                    << "frame " << k << " figure " << i << " joint " << j;
                EXPECT_EQ(std::bit_cast<uint32_t>(loaded.jointPos[j].y),
                          std::bit_cast<uint32_t>(made.jointPos[j].y))
                    << "frame " << k << " figure " << i << " joint " << j;
            }
            EXPECT_EQ(loaded.bounds, made.bounds) << "frame " << k << " figure " << i;
            ++compared;
        }
    }
    EXPECT_GT(compared, 100);
}

TEST(DocumentFiles, SaveAndLoadThroughTheFileSystem) {
    QTemporaryDir dir;
    const std::string base = dir.filePath("walk").toStdString();
    Document doc = stickmanDocument(2);
    doc.documentSaved = false;
    saveAnimation(doc, removeExtension(base + ".txt"));
    EXPECT_TRUE(doc.documentSaved);
    EXPECT_EQ(doc.currentFileName, base + ".kel");
    const Document back = loadAnimation(base + ".kel");
    EXPECT_EQ(back.frameCount(), 2);
    EXPECT_TRUE(back.documentSaved);
    EXPECT_EQ(back.currentFileName, base + ".kel");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"walk.kel"});

    EXPECT_EQ(removeExtension("/a.b/c"), "/a.b/c");
    EXPECT_EQ(removeExtension("/a/b.c.kel"), "/a/b.c");
    Document empty;
    EXPECT_THROW(saveAnimation(empty, base), KeltoError);
    try {
        loadAnimation(base + "-missing.kel");
        FAIL();
    } catch (const KeltoError& e) {
        EXPECT_STREQ(e.what(), kMsgFileDoesNotExist);
    }
}

// A failed load must leave the open document, its frames and its changed state as they were.
TEST(DocumentFiles, FailedLoadLeavesTheOpenDocumentUntouched) {
    QTemporaryDir dir;
    Document open = stickmanDocument(5);
    open.documentSaved = false;
    open.currentFileName = "mine.kel";
    const std::vector<uint8_t> before = writeDocumentRecord(open);

    std::vector<uint8_t> newer = writeDocumentRecord(stickmanDocument(1));
    newer[0] = 5;
    std::vector<uint8_t> truncated = writeKelFile(stickmanDocument(3));
    truncated.resize(truncated.size() - 10);
    const std::vector<std::vector<uint8_t>> files = {
        compressStream(newer), truncated, {1, 2, 3, 4}, {}};
    for (size_t k = 0; k < files.size(); ++k) {
        const std::string path = dir.filePath(QString("bad%1.kel").arg(k)).toStdString();
        writeFileReplacing(path, files[k]);
        std::string message;
        try {
            open.adoptLoaded(loadAnimation(path));
        } catch (const KeltoError& e) {
            message = e.what();
        }
        EXPECT_FALSE(message.empty());
        EXPECT_EQ(writeDocumentRecord(open), before);
        EXPECT_FALSE(open.documentSaved);
        EXPECT_EQ(open.currentFileName, "mine.kel");
    }
}

// A write that fails half-way leaves the previous file in place.
TEST(DocumentFiles, FailedSaveKeepsThePreviousFile) {
    QTemporaryDir dir;
    const std::string base = dir.filePath("keep").toStdString();
    Document small = stickmanDocument(1);
    saveAnimation(small, base);
    const std::vector<uint8_t> previous = readWholeFile(base + ".kel");

    Document big = stickmanDocument(3000);
    big.documentSaved = false;
    // Let the file system refuse anything longer than the old file.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = previous.size() + 16;
    setrlimit(RLIMIT_FSIZE, &limited);
    EXPECT_THROW(saveAnimation(big, base), KeltoError);
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_EQ(readWholeFile(base + ".kel"), previous);
    EXPECT_FALSE(big.documentSaved);
    EXPECT_EQ(big.currentFileName, "");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.kel"});
}

// Saving a part of the document must not make the whole document look saved.
TEST(DocumentFiles, SaveSelectedLeavesTheDocumentUnsaved) {
    QTemporaryDir dir;
    Document doc = stickmanDocument(4);
    doc.documentSaved = false;
    doc.currentFileName = "/somewhere/whole.kel";
    doc.frames[1].timelineSelected = 1;
    const std::string base = dir.filePath("part").toStdString();
    EXPECT_TRUE(saveSelectedFrames(doc, base, {1}));
    EXPECT_FALSE(doc.documentSaved);
    EXPECT_EQ(doc.currentFileName, "/somewhere/whole.kel");
    EXPECT_EQ(loadAnimation(base + ".kel").frameCount(), 1);
    doc.frames[1].timelineSelected = 0;
    EXPECT_FALSE(saveSelectedFrames(doc, base + "2", {}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(base + "2.kel")));
}

TEST(KelFormat, AnimationSizeIsBounded) {
    for (auto [w, h] : {std::pair{0, 10}, {10, -1}, {40000, 10}, {20000, 20000}}) {
        std::vector<uint8_t> r = v4Record({FigSpec{}});
        std::memcpy(r.data() + 1, &w, 4);
        std::memcpy(r.data() + 5, &h, 4);
        EXPECT_TRUE(isDamaged(r)) << w << "x" << h;
    }
}

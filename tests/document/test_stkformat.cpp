#include "document/messages.h"
#include "document/stkformat.h"
#include "document/zstream.h"
#include "fixtures.h"
#include "model/integrity.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kelto;
using namespace kelto::test;

namespace {

// The current-form record of a two-segment chain, built by hand.
std::vector<uint8_t> chainRecord() {
    std::vector<uint8_t> r{2};
    append(r, segmentBytes(0, 1, 10, 0.5, 3, skLine, 0));
    append(r, segmentBytes(1, 2, 20, -1.25, 4, skFilledCircle, 1));
    return r;
}

std::string errorOf(const std::vector<uint8_t>& file) {
    try {
        readStkFile(file);
    } catch (const KeltoError& e) {
        return e.what();
    }
    return {};
}

} // namespace

TEST(StkFormat, RecordLayoutIsByteExact) {
    FigureType type;
    type.addSegment(0, skLine, 10, 3, 0.5, 0, 0);
    type.addSegment(1, skFilledCircle, 20, 4, -1.25, 1, 0);
    ByteWriter w;
    writeFigureTypeRecord(w, type);
    EXPECT_EQ(w.bytes(), chainRecord());

    const std::vector<uint8_t> file = writeStkFile(type);
    ASSERT_GT(file.size(), 3u);
    EXPECT_EQ(file[0], 121);
    EXPECT_EQ(decompressStream(file.data() + 1, file.size() - 1), chainRecord());
}

TEST(StkFormat, RoundTripKeepsEverySegmentField) {
    const FigureType stickman = createStickmanType();
    StkFileInfo info;
    const FigureType back = readStkFile(writeStkFile(stickman), &info);
    EXPECT_EQ(info.generation, "V4");
    EXPECT_EQ(info.firstByte, 121);
    ASSERT_EQ(back.segmentCount(), 12);
    EXPECT_EQ(std::memcmp(back.segments.data(), stickman.segments.data(), 12 * sizeof(Segment)), 0);
    EXPECT_EQ(verifyFigureType(back), "");
}

TEST(StkFormat, GenerationsByFirstByte) {
    const std::vector<uint8_t> record = chainRecord();
    const std::vector<uint8_t> packed = compressStream(record);

    for (uint8_t first : {uint8_t{0}, uint8_t{1}}) { // V2: uncompressed
        std::vector<uint8_t> file{first};
        append(file, record);
        StkFileInfo info;
        EXPECT_EQ(readStkFile(file, &info).segmentCount(), 2);
        EXPECT_EQ(info.generation, "V2");
    }
    for (uint8_t first :
         {uint8_t{2}, uint8_t{77}, uint8_t{119}}) { // unnamed versions read like 121
        std::vector<uint8_t> file{first};
        append(file, packed);
        StkFileInfo info;
        EXPECT_EQ(readStkFile(file, &info).segments[1].kind, skFilledCircle);
        EXPECT_EQ(info.generation, "");
    }
    std::vector<uint8_t> tooNew{122};
    append(tooNew, packed);
    EXPECT_EQ(errorOf(tooNew), kMsgStkNotCompatible);
    EXPECT_EQ(errorOf({255}), kMsgStkNotCompatible);
}

TEST(StkFormat, V3IsOneZlibStreamOfAnOlderFormRecord) {
    // Older form: a picture segment carries only its ImageIndex. A picture-less type here; the
    // column-ordered pictures are covered with the picture records.
    std::vector<uint8_t> inner{7, 2};
    append(inner, segmentBytes(0, 1, 10, 0.5, 3, skLine, 0));
    append(inner, segmentBytes(0, 2, 12, 1.5, 3, skHollowCircle, 0));
    const std::vector<uint8_t> file = compressStream(inner);
    ASSERT_EQ(file[0], 0x78);
    StkFileInfo info;
    const FigureType type = readStkFile(file, &info);
    EXPECT_EQ(info.generation, "V3");
    ASSERT_EQ(type.segmentCount(), 2);
    EXPECT_EQ(type.segments[1].kind, skHollowCircle);
    EXPECT_EQ(type.joints[0].children, (std::vector<uint8_t>{0, 1}));
}

TEST(StkFormat, DamagedRecordsAreRefused) {
    auto v2File = [](std::vector<uint8_t> record) {
        std::vector<uint8_t> file{1};
        append(file, record);
        return file;
    };
    // No segments at all.
    EXPECT_NE(errorOf(v2File({0})).find(kMsgBadStkFile), std::string::npos);
    // Truncated inside a segment.
    std::vector<uint8_t> truncated = chainRecord();
    truncated.resize(truncated.size() - 3);
    EXPECT_NE(errorOf(v2File(truncated)).find(kMsgBadStkFile), std::string::npos);
    // Two segments ending at the same joint.
    std::vector<uint8_t> twice{2};
    append(twice, segmentBytes(0, 1, 10, 0, 1, skLine, 0));
    append(twice, segmentBytes(0, 1, 10, 0, 1, skLine, 0));
    EXPECT_NE(errorOf(v2File(twice)), "");
    // A segment hanging from a joint that no earlier segment made.
    std::vector<uint8_t> order{2};
    append(order, segmentBytes(2, 1, 10, 0, 1, skLine, 0));
    append(order, segmentBytes(0, 2, 10, 0, 1, skLine, 0));
    EXPECT_NE(errorOf(v2File(order)), "");
    // Joint numbers beyond the type's joints.
    std::vector<uint8_t> far{1};
    append(far, segmentBytes(7, 1, 10, 0, 1, skLine, 0));
    EXPECT_NE(errorOf(v2File(far)), "");
    std::vector<uint8_t> farEnd{1};
    append(farEnd, segmentBytes(0, 200, 10, 0, 1, skLine, 0));
    EXPECT_NE(errorOf(v2File(farEnd)), "");
    // An unknown kind, a NaN angle, an absurd thickness.
    std::vector<uint8_t> kind{1};
    append(kind, segmentBytes(0, 1, 10, 0, 1, 9, 0));
    EXPECT_NE(errorOf(v2File(kind)), "");
    std::vector<uint8_t> nan{1};
    append(nan, segmentBytes(0, 1, 10, std::nan(""), 1, skLine, 0));
    EXPECT_NE(errorOf(v2File(nan)), "");
    std::vector<uint8_t> thick{1};
    append(thick, segmentBytes(0, 1, 10, 0, 1e30f, skLine, 0));
    EXPECT_NE(errorOf(v2File(thick)), "");
    // A picture segment whose picture count is missing, and one pointing past no pictures.
    std::vector<uint8_t> picture{1};
    append(picture, segmentBytes(0, 1, 10, 0, 1, skImage, 0));
    picture.push_back(0); // ImageIndex
    picture.push_back(0); // ImageReversed
    EXPECT_NE(errorOf(v2File(picture)), "");
    picture.push_back(0); // P = 0: index 0 is out of range
    EXPECT_NE(errorOf(v2File(picture)), "");
    // Not a zlib stream after the version byte, and an empty file.
    EXPECT_NE(errorOf({121, 1, 2, 3}).find(kMsgBadStkFile), std::string::npos);
    EXPECT_NE(errorOf({}), "");
}

TEST(StkFormat, V2WriterConvertsKindsAndSaysSo) {
    const StkV2Bytes stickman = writeStkV2File(createStickmanType());
    EXPECT_EQ(stickman.bytes.size(), 1u + 1u + 12u * 24u);
    EXPECT_EQ(stickman.bytes[0], 1);
    EXPECT_FALSE(stickman.modified);

    FigureType type;
    type.addSegment(0, skLine, 10, 3, 0, 0, 0);
    type.addSegment(1, skFilledCircle, 20, 4, 0, 0, 0);
    type.addSegment(1, skImage, 30, 5, 0, 0, 0);
    const StkV2Bytes v2 = writeStkV2File(type);
    EXPECT_TRUE(v2.modified);
    EXPECT_EQ(v2.bytes.size(), 2u + 3u * 24u); // no picture references, no pictures
    const FigureType back = readStkFile(v2.bytes);
    EXPECT_EQ(back.segments[1].kind, skCircle);
    EXPECT_EQ(back.segments[2].kind, skLine);
    EXPECT_EQ(back.segments[2].thickness, 0.0f);
    EXPECT_EQ(type.segments[2].kind, skImage); // the type itself is not changed
}

TEST(ZStream, InflationIsBoundedAndChecked) {
    const std::vector<uint8_t> zeros(1 << 20, 0);
    const std::vector<uint8_t> packed = compressStream(zeros);
    EXPECT_LT(packed.size(), 2000u);
    EXPECT_EQ(decompressStream(packed), zeros);
    // A stream that would inflate past the bound is refused instead of filling memory.
    EXPECT_THROW(decompressStream(packed, 1 << 19), KeltoError);
    std::vector<uint8_t> cut = packed;
    cut.resize(cut.size() / 2);
    EXPECT_THROW(decompressStream(cut), KeltoError);
    EXPECT_EQ(decompressStream(compressStream(std::vector<uint8_t>{})), std::vector<uint8_t>{});
}

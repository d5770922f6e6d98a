// Reading hostile files: the work and memory a file can cause are bounded by what it holds, and
// every refusal names the file kind the user opened, once.
#include "document/hostilefiles.h"

#include "document/kelformat.h"
#include "document/messages.h"
#include "document/stkformat.h"
#include "document/zstream.h"
#include "graphics/imagegeneral.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace kelto;
using namespace kelto::test;

namespace {

std::string messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const KeltoError& e) {
        return e.what();
    }
    return "(no error)";
}

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.rfind(prefix, 0) == 0;
}

} // namespace

TEST(StreamedReading, ReadsTheSameAsTheWholeBuffer) {
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = uint8_t(i % 251 < 200 ? random() : i); // part noise, part pattern
    }
    const std::vector<uint8_t> packed = compressStream(bytes);
    InflateSource source(packed.data(), packed.size());
    ByteReader streamed(source);
    ByteReader whole(bytes);
    // Reads of every size, some far larger than the pieces the source inflates at a time.
    const size_t sizes[] = {1, 2, 4, 8, 3, 70000, 13, 150000, 5, 0, 1};
    for (size_t n : sizes) {
        ASSERT_EQ(streamed.pos(), whole.pos());
        ASSERT_EQ(streamed.peek(n == 0 ? 0 : 1)[0], whole.peek(n == 0 ? 0 : 1)[0]);
        const uint8_t* a = streamed.take(n);
        const uint8_t* b = whole.take(n);
        ASSERT_TRUE(std::equal(a, a + n, b)) << "read of " << n;
    }
    EXPECT_EQ(streamed.get<uint32_t>(), whole.get<uint32_t>());
    const size_t left = bytes.size() - whole.pos();
    EXPECT_TRUE(streamed.available(left));
    EXPECT_FALSE(streamed.available(left + 1));
    EXPECT_THROW(streamed.skip(left + 1), KeltoError);
    streamed.skip(left);
    EXPECT_EQ(streamed.pos(), bytes.size());
    source.finish();
}

TEST(StreamedReading, StreamsAreCheckedToTheirEnd) {
    const std::vector<uint8_t> bytes(100000, 9);
    std::vector<uint8_t> packed = compressStream(bytes);
    // The reader stops early; finishing still finds the damaged checksum.
    packed[packed.size() - 1] ^= 0xFF;
    InflateSource damaged(packed.data(), packed.size());
    ByteReader in(damaged);
    in.skip(10);
    EXPECT_THROW(damaged.finish(), KeltoError);
    // A stream larger than its limit is refused whether the reader asks for it or not.
    const std::vector<uint8_t> good = compressStream(bytes);
    InflateSource limited(good.data(), good.size(), 50000);
    ByteReader small(limited);
    EXPECT_FALSE(small.available(50001)); // answered without inflating anything
    small.skip(1000);
    EXPECT_THROW(limited.finish(), KeltoError);
}

// A file of zeros is refused at its first byte: nothing else of it is inflated.
TEST(HostileFiles, ZeroBombIsRefusedWithinItsFirstBytes) {
    const std::vector<uint8_t> bomb = zeroBomb({}, size_t(400) << 20);
    ASSERT_LT(bomb.size(), 1u << 20);
    const ChildCost cost =
        runInChild([&] { return messageOf([&] { readKelFile(bomb); }) == kMsgKelNotCompatible; });
    EXPECT_TRUE(cost.ok);
    if (kMemoryIsMeasurable) {
        EXPECT_LT(cost.peakGrowthMb, 32);
    }
    // The same bytes as a figure-type file: a type without segments.
    std::vector<uint8_t> stk{kStkVersion};
    stk.insert(stk.end(), bomb.begin(), bomb.end());
    EXPECT_TRUE(startsWith(messageOf([&] { readStkFile(stk); }), kMsgBadStkFile));
}

// A background whose header is nonsense is refused before the size it claims is read, and one
// whose claimed size the stream does not hold costs only what the stream does hold.
TEST(HostileFiles, PictureClaimingGigabytesIsRefusedBeforeItIsRead) {
    auto header = [](uint8_t kind) {
        ByteWriter head;
        head.put<uint8_t>(4);
        head.put<int32_t>(400);
        head.put<int32_t>(300);
        head.put<uint8_t>(2); // one background
        head.put<uint8_t>(kind);
        return head;
    };
    ByteWriter bitmap = header(ImageGeneral::kBitmapKind);
    bitmap.put<uint8_t>('X'); // not "BM"
    bitmap.put<uint8_t>('M');
    bitmap.put<uint32_t>(~0u); // total size
    ByteWriter jpeg = header(ImageGeneral::kJpegKind);
    jpeg.put<int64_t>(int64_t(jpeg.size() + 8) + (int64_t(450) << 20)); // its end
    for (const ByteWriter* head : {&bitmap, &jpeg}) {
        // The picture's 450 MB would fit the inflation limit, but the stream holds 20 MB.
        const size_t zeros = head == &bitmap ? size_t(400) << 20 : size_t(20) << 20;
        const std::vector<uint8_t> bomb = zeroBomb(head->bytes(), zeros);
        const ChildCost cost = runInChild([&] {
            const std::string m = messageOf([&] { readKelFile(bomb); });
            return startsWith(m, std::string(kMsgBadKelFile) + " (background: ");
        });
        EXPECT_TRUE(cost.ok);
        if (kMemoryIsMeasurable) {
            EXPECT_LT(cost.peakGrowthMb, head == &bitmap ? 32 : 100);
        }
    }
}

// A million stored frames of one stick man each: a file of a few hundred KB whose document
// would take most of a gigabyte. It is refused before that is allocated, and says why.
TEST(HostileFiles, MillionFramesFromATinyFileAreRefusedWithinBudget) {
    const std::vector<uint8_t> file = repeatedStickManFile(1000000);
    ASSERT_LT(file.size(), 1u << 20);
    std::string message;
    const ChildCost cost = runInChild([&] {
        const std::string m = messageOf([&] { readKelFile(file); });
        return startsWith(m, std::string(kMsgKelTooLarge) + ": it holds more than ") &&
               m.ends_with(" figures");
    });
    EXPECT_TRUE(cost.ok);
    if (kMemoryIsMeasurable) {
        EXPECT_LT(cost.peakGrowthMb, 500);
    }
    // Read frame by frame and let go, the same file is no burden.
    int frames = 0;
    const Document head = scanKelFile(file, [&](const Figures& frame, const Document&) {
        frames += frame.figureCount() == 1 ? 1 : 0;
    });
    EXPECT_EQ(frames, 1000000);
    EXPECT_EQ(head.frameCount(), 0);
    EXPECT_EQ(head.frameRate, 100);
}

TEST(HostileFiles, BudgetGrowsWithTheFile) {
    // The same frames uncompressed are as large as what they hold, and load.
    const std::vector<uint8_t> frame = oneStickManFrame();
    ByteWriter record;
    record.put<uint8_t>(4);
    record.put<int32_t>(400);
    record.put<int32_t>(300);
    record.put<uint8_t>(1);
    record.put<uint16_t>(2);
    record.put<int32_t>(20000);
    for (int i = 0; i < 20000; ++i) {
        record.putBytes(frame.data(), frame.size());
    }
    record.put<int32_t>(100);
    EXPECT_EQ(readDocumentRecord(record.bytes()).frameCount(), 20000);
    EXPECT_EQ(readKelFile(repeatedStickManFile(20000)).frameCount(), 20000);
}

TEST(Messages, TooLargeCountsInThousands) {
    EXPECT_EQ(std::string(tooLargeError(1234567).what()),
              "That .kel file is too large to open: it holds more than 1,234,567 figures");
    EXPECT_EQ(std::string(tooLargeError(999).what()),
              "That .kel file is too large to open: it holds more than "
              "999 figures");
    EXPECT_EQ(std::string(tooLargeError(0).what()), kMsgKelTooLarge);
}

// A figure type inside an animation that is damaged makes a damaged animation file; the
// message says so once, with the type's number and what is wrong with it.
TEST(Messages, DamagedTypeInsideAnAnimationIsReportedOnce) {
    Document doc(100, 100);
    FigureType type;
    type.addSegment(0, skLine, 10, 1, 0, 0, 0);
    doc.addFigureType(type, "first");
    doc.addFigureType(type, "second");
    doc.frames.emplace_back();
    std::vector<uint8_t> record = writeDocumentRecord(doc);
    // Header (12 bytes), then type 2 (1 + 24 + 1 + 5), then type 3: its segment's end joint.
    const size_t secondType = 1 + 4 + 4 + 1 + 2 + (1 + 24 + 1 + 5);
    record[secondType + 1 + 1] = 9; // EndJoint of its only segment
    const std::string m = messageOf([&] { readKelFile(compressStream(record)); });
    EXPECT_EQ(m, std::string(kMsgBadKelFile) + " (figure type 3: joint number out of range)");
    EXPECT_EQ(m.find(".stk"), std::string::npos);

    // The same record inside a figure-type file names that file.
    std::vector<uint8_t> stk{kStkVersion};
    ByteWriter bad;
    bad.putBytes(record.data() + secondType, 1 + 24);
    const std::vector<uint8_t> packed = compressStream(bad.bytes());
    stk.insert(stk.end(), packed.begin(), packed.end());
    EXPECT_EQ(messageOf([&] { readStkFile(stk); }),
              std::string(kMsgBadStkFile) + " (joint number out of range)");
}

TEST(Messages, DamagedStreamsNameTheAnimation) {
    const std::vector<uint8_t> random = {0x12, 0x99, 0x03, 0xFE, 0x77};
    EXPECT_TRUE(startsWith(messageOf([&] { readKelFile(random); }), kMsgBadKelFile));
    EXPECT_EQ(messageOf([&] { readKelFile({}); }),
              std::string(kMsgBadKelFile) + " (The compressed data ends early)");
    for (uint8_t version : {uint8_t{0}, uint8_t{1}, uint8_t{5}}) {
        EXPECT_EQ(messageOf([&] { readKelFile(compressStream(std::vector<uint8_t>{version})); }),
                  kMsgKelNotCompatible);
    }
}

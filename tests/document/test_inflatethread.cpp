// Inflating on a second thread while the record is parsed: the same documents, the same refusals
// and the same messages as inflating in the parsing thread, and the inflating thread never
// outlives a reader that stopped early.
#include "document/fixtures.h"
#include "document/hostilefiles.h"

#include "document/kelformat.h"
#include "document/messages.h"
#include "document/zstream.h"

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

std::string loadMessage(const std::vector<uint8_t>& file, InflateThread thread) {
    return messageOf([&] { readKelFile(file, thread); });
}

// Many frames whose figures drift, so the record spans several of the inflating thread's chunks.
const std::vector<uint8_t>& largeRecord() {
    static const std::vector<uint8_t> record = writeDocumentRecord(stickmanDocument(20000));
    return record;
}

} // namespace

TEST(InflateThread, LoadsTheSameDocumentAsOneThread) {
    ASSERT_GT(largeRecord().size(), size_t(4) << 20);
    const std::vector<uint8_t> file = compressStream(largeRecord());
    const Document ahead = readKelFile(file, InflateThread::Always);
    const Document inline_ = readKelFile(file, InflateThread::Never);
    EXPECT_EQ(ahead.frameCount(), 20000);
    EXPECT_EQ(writeDocumentRecord(ahead), largeRecord());
    EXPECT_EQ(writeDocumentRecord(inline_), largeRecord());
    // A small file read with the thread, and the automatic choice for both sizes.
    const std::vector<uint8_t> small = writeKelFile(stickmanDocument(3));
    EXPECT_EQ(writeKelFile(readKelFile(small, InflateThread::Always)), small);
    EXPECT_EQ(writeDocumentRecord(readKelFile(file)), largeRecord());
}

TEST(InflateThread, DamagedStreamsGiveTheSameMessages) {
    const std::vector<uint8_t> good = compressStream(largeRecord());
    std::vector<std::vector<uint8_t>> damaged;
    for (size_t at : {good.size() / 2, good.size() - 2, size_t(40)}) {
        std::vector<uint8_t> bad = good;
        bad[at] ^= 0x5A;
        damaged.push_back(bad);
    }
    damaged.emplace_back(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 3)); // cut
    damaged.emplace_back(good.begin(), good.end() - 1); // checksum cut short
    for (size_t i = 0; i < damaged.size(); ++i) {
        const std::string one = loadMessage(damaged[i], InflateThread::Never);
        EXPECT_EQ(loadMessage(damaged[i], InflateThread::Always), one) << "case " << i;
        EXPECT_EQ(one.rfind(kMsgBadKelFile, 0), 0u) << one;
    }
    // A stream beyond its limit is refused the same way by both sources.
    const std::vector<uint8_t> bytes(3 << 20, 7);
    const std::vector<uint8_t> packed = compressStream(bytes);
    auto limited = [&](auto& source) {
        return messageOf([&] {
            ByteReader in(source);
            in.skip(1000);
            source.finish();
        });
    };
    InflateSource one(packed.data(), packed.size(), 2 << 20);
    InflateAheadSource two(packed.data(), packed.size(), 2 << 20);
    const std::string refused = limited(two);
    EXPECT_EQ(refused, limited(one));
    EXPECT_EQ(refused, "The compressed data is too large");
    // Counts beyond the limit are answered from what was handed over, not what was inflated.
    InflateAheadSource ahead(packed.data(), packed.size(), 2 << 20);
    ByteReader in(ahead);
    in.skip(10);
    EXPECT_FALSE(in.available((2 << 20) - 9));
    EXPECT_TRUE(in.available((2 << 20) - 10));
}

// A reader that refuses the record early, or simply stops, ends the inflating thread: these
// return at once instead of inflating hundreds of megabytes or waiting for a full queue forever.
TEST(InflateThread, StoppingEarlyEndsTheInflatingThread) {
    const std::vector<uint8_t> bomb = zeroBomb({}, size_t(400) << 20);
    EXPECT_EQ(loadMessage(bomb, InflateThread::Always), kMsgKelNotCompatible);
    std::vector<uint8_t> nonsense = largeRecord();
    nonsense[0] = 77; // no such version
    EXPECT_EQ(loadMessage(compressStream(nonsense), InflateThread::Always), kMsgKelNotCompatible);
    for (size_t taken : {size_t(0), size_t(1), size_t(3) << 20}) {
        const std::vector<uint8_t> file = compressStream(largeRecord());
        InflateAheadSource source(file.data(), file.size());
        ByteReader in(source);
        in.skip(taken);
        EXPECT_EQ(in.pos(), taken);
    } // each source joins its thread here
}

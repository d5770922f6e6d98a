#include "cli/clirun.h"
#include "document/kelformat.h"
#include "export/videofiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace kelto;
using namespace kelto::testing;

namespace {

CliRun exportCli(const QStringList& args) {
    return runCli(QStringList{"export"} + args);
}

// Three frames of 80 ms periods, the second held for two: they start at 0, 80 and 240 ms and
// the animation lasts 320 ms.
QString writeAnimation(const QTemporaryDir& dir) {
    return writeWalk(dir, {.width = 96, .height = 72, .x = 40, .y = 60, .step = 8});
}

std::vector<int64_t> starts(const DecodedVideoFile& video) {
    std::vector<int64_t> out;
    for (const DecodedFrame& f : video.packets) {
        out.push_back(f.ptsMs);
    }
    return out;
}

} // namespace

TEST(CliVideo, TheExtensionChoosesTheFormat) {
    QTemporaryDir dir;
    const QString kel = writeAnimation(dir);
    const struct {
        const char* name;
        const char* codec;
        AVPixelFormat pixels;
    } cases[] = {
        {"walk.mp4", nullptr, AV_PIX_FMT_YUV420P}, // h264, or mpeg4 without libx264
        {"walk.webm", "vp9", AV_PIX_FMT_YUV420P},
        {"walk.apng", "apng", AV_PIX_FMT_RGB24},
    };
    for (const auto& c : cases) {
        const CliRun r = exportCli({kel, "-o", dir.filePath(c.name)});
        ASSERT_EQ(r.code, 0) << c.name << ": " << r.err.toStdString();
        EXPECT_EQ(r.outText().trimmed(), dir.filePath(c.name));
        const DecodedVideoFile video = decodeVideoFile(dir.filePath(c.name).toStdString());
        if (c.codec) {
            EXPECT_EQ(video.codec, c.codec);
        }
        EXPECT_EQ(video.pixelFormat, c.pixels) << c.name;
        EXPECT_EQ(video.width, 96) << c.name;
        EXPECT_EQ(video.height, 72) << c.name;
        EXPECT_EQ(starts(video), (std::vector<int64_t>{0, 80, 240})) << c.name;
        // APNG has no overall duration; its frames carry theirs.
        const int64_t end = video.totalMs >= 0
                                ? video.totalMs
                                : video.packets.back().ptsMs + video.packets.back().durationMs;
        EXPECT_EQ(end, 320) << c.name;
    }

    // WebP, lossless and played once.
    const CliRun r = exportCli({kel, "-o", dir.filePath("walk.webp"), "--lossless", "--no-loop"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    std::vector<uint32_t> durations;
    bool lossless = true;
    for (const Chunk& c : riffChunks(readAll(dir.filePath("walk.webp")))) {
        if (c.type == "ANIM") {
            EXPECT_EQ(littleEndian(c.payload, 4, 2), 1u);
        } else if (c.type == "ANMF") {
            durations.push_back(littleEndian(c.payload, 12, 3));
            lossless = lossless && c.payload.mid(16, 4) == "VP8L";
        }
    }
    EXPECT_EQ(durations, (std::vector<uint32_t>{80, 160, 80}));
    EXPECT_TRUE(lossless);
}

TEST(CliVideo, QualityOptions) {
    QTemporaryDir dir;
    const QString kel = writeAnimation(dir);
    // A coarser CRF gives a smaller video.
    ASSERT_EQ(exportCli({kel, "-o", dir.filePath("fine.webm"), "--crf", "4"}).code, 0);
    ASSERT_EQ(exportCli({kel, "-o", dir.filePath("coarse.webm"), "--crf", "60"}).code, 0);
    EXPECT_GT(QFile(dir.filePath("fine.webm")).size(), QFile(dir.filePath("coarse.webm")).size());
    ASSERT_EQ(exportCli({kel, "-o", dir.filePath("fine.webp"), "--quality", "100"}).code, 0);
    ASSERT_EQ(exportCli({kel, "-o", dir.filePath("coarse.webp"), "--quality", "0"}).code, 0);
    EXPECT_GT(QFile(dir.filePath("fine.webp")).size(), QFile(dir.filePath("coarse.webp")).size());

    // Out of every range: bad use; out of this encoder's range: a failure naming the range.
    EXPECT_EQ(exportCli({kel, "-o", dir.filePath("x.mp4"), "--crf", "64"}).code, 2);
    const CliRun r = exportCli({kel, "-o", dir.filePath("x.mp4"), "--crf", "60"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("The quality must be 0 to ")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("x.mp4")));
}

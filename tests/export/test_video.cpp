#include "base/error.h"
#include "document/document.h"
#include "document/kelformat.h"
#include "export/exportcheck.h"
#include "export/rasterexport.h"
#include "export/videoexport.h"
#include "export/videowriter.h"
#include "videofiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cmath>

using namespace kelto;
using namespace kelto::testing;

namespace {

constexpr int kInterval = 80;

// Four frames of a coloured stick man walking, held 1, 3, 1 and 2 periods: 80, 240, 80 and
// 160 ms, starting at 0, 80, 320 and 400 ms.
Document walkingDocument(int width = 120, int height = 90) {
    Document doc(width, height);
    Figures edit = doc.newEditFrame();
    edit.figures[0].colour = 0x2080F0; // 0x00BBGGRR: orange, so that colour is checked too
    const int repeats[] = {1, 3, 1, 2};
    for (int i = 0; i < 4; ++i) {
        edit.figures[0].placeRoot({40.0 + 6 * i, 60.0}, doc.figureType(1));
        edit.figures[0].updateBounds(doc.figureType(1));
        Figures frame;
        frame.assign(edit);
        frame.repeatCount = uint16_t(repeats[i]);
        doc.frames.push_back(frame);
    }
    return doc;
}

const int64_t kStarts[] = {0, 80, 320, 400};

VideoExportOptions optionsFor(VideoFormat format) {
    VideoExportOptions options;
    options.format = format;
    options.resize = 50; // 60 x 45: the odd height needs padding in MP4 and WebM
    options.superSample = 2;
    return options;
}

// How far a decoded picture is from the rendered one: the mean and the largest difference of
// any colour component, over the rendered picture's area at the given offset.
struct Difference {
    double mean = 0;
    int largest = 0;
};

Difference compare(const Bitmap& rendered, const std::vector<uint8_t>& rgb, int rgbWidth,
                   int dx = 0, int dy = 0) {
    Difference d;
    int64_t sum = 0;
    for (int y = 0; y < rendered.height(); ++y) {
        for (int x = 0; x < rendered.width(); ++x) {
            const uint32_t want = rendered.pixel32(x, y); // 0x00RRGGBB
            const uint8_t* got = rgb.data() + (size_t(y + dy) * rgbWidth + x + dx) * 3;
            const int parts[3][2] = {{int((want >> 16) & 0xFF), got[0]},
                                     {int((want >> 8) & 0xFF), got[1]},
                                     {int(want & 0xFF), got[2]}};
            for (const auto& p : parts) {
                const int diff = std::abs(p[0] - p[1]);
                sum += diff;
                d.largest = std::max(d.largest, diff);
            }
        }
    }
    d.mean = double(sum) / (3.0 * rendered.width() * rendered.height());
    return d;
}

std::string exportTo(const QTemporaryDir& dir, const Document& doc,
                     const VideoExportOptions& options) {
    SilentProgress quiet;
    const ExportResult result =
        exportVideo(doc, dir.filePath("walk").toStdString(), options, kInterval, quiet);
    EXPECT_EQ(result.framesDone, doc.frameCount());
    EXPECT_EQ(result.files.size(), 1u);
    return result.files.empty() ? std::string() : result.files[0];
}

QStringList filesIn(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

TEST(VideoFormats, ExtensionsNamesAndEvenSizes) {
    EXPECT_EQ(videoFormatForExtension(".MP4"), VideoFormat::Mp4);
    EXPECT_EQ(videoFormatForExtension(".webm"), VideoFormat::WebM);
    EXPECT_EQ(videoFormatForExtension(".apng"), VideoFormat::Apng);
    EXPECT_EQ(videoFormatForExtension(".webp"), VideoFormat::WebP);
    EXPECT_FALSE(videoFormatForExtension(".png").has_value()); // a picture sequence
    EXPECT_FALSE(videoFormatForExtension("").has_value());
    EXPECT_STREQ(videoExtension(VideoFormat::WebM), ".webm");
    const VideoSize odd = videoFrameSize(VideoFormat::Mp4, 401, 299);
    EXPECT_EQ(odd.width, 402);
    EXPECT_EQ(odd.height, 300);
    const VideoSize kept = videoFrameSize(VideoFormat::Apng, 401, 299);
    EXPECT_EQ(kept.width, 401);
    EXPECT_EQ(kept.height, 299);
}

// MP4 and WebM: yuv420p at an even size, the picture in the top-left corner over a black row,
// every frame at its own time.
class VideoExport : public ::testing::TestWithParam<VideoFormat> {};

INSTANTIATE_TEST_SUITE_P(Videos, VideoExport,
                         ::testing::Values(VideoFormat::Mp4, VideoFormat::WebM));

TEST_P(VideoExport, TimingSizePaddingAndPixels) {
    QTemporaryDir dir;
    const Document doc = walkingDocument();
    const VideoExportOptions options = optionsFor(GetParam());
    const std::string path = exportTo(dir, doc, options);
    EXPECT_EQ(filesIn(dir), QStringList{QString("walk") + videoExtension(GetParam())});

    const DecodedVideoFile video = decodeVideoFile(path);
    ASSERT_TRUE(video.opened);
    EXPECT_EQ(video.codec, GetParam() == VideoFormat::Mp4
                               ? (videoEncoderFor(VideoFormat::Mp4) == "libx264" ? "h264" : "mpeg4")
                               : "vp9");
    EXPECT_EQ(video.pixelFormat, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(video.width, 60);
    EXPECT_EQ(video.height, 46);
    ASSERT_EQ(video.frames.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(video.frames[i].ptsMs, kStarts[i]) << i;
    }
    // The container holds every frame's start; a frame lasts until the next one starts and
    // the last one until the end of the video.
    ASSERT_EQ(video.packets.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(video.packets[i].ptsMs, kStarts[i]) << i;
    }
    EXPECT_EQ(video.totalMs, 560);
    if (GetParam() == VideoFormat::Mp4) {
        // The sample table holds every frame's duration, the last one's included.
        const QByteArray file = readAll(QString::fromStdString(path));
        const QByteArray mdhd = mp4Box(file, {"moov", "trak", "mdia", "mdhd"});
        const QByteArray stts = mp4Box(file, {"moov", "trak", "mdia", "minf", "stbl", "stts"});
        ASSERT_GE(mdhd.size(), 20);
        ASSERT_GE(stts.size(), 8);
        const uint32_t timescale = bigEndian32(mdhd, 12);
        std::vector<uint64_t> samplesMs;
        for (uint32_t e = 0; e < bigEndian32(stts, 4); ++e) {
            const uint32_t count = bigEndian32(stts, 8 + 8 * int(e));
            const uint64_t delta = bigEndian32(stts, 12 + 8 * int(e));
            samplesMs.insert(samplesMs.end(), count, delta * 1000 / timescale);
        }
        EXPECT_EQ(samplesMs, (std::vector<uint64_t>{80, 240, 80, 160}));
    }

    FrameRenderer renderer(doc, options);
    const Bitmap& first = renderer.render(0);
    const Difference d = compare(first, video.firstRgb, video.width);
    EXPECT_LT(d.mean, 6.0);
    // The added row is black padding, not a stretched picture.
    for (int x = 0; x < 60; ++x) {
        const uint8_t* px = video.firstRgb.data() + (size_t(45) * 60 + x) * 3;
        EXPECT_LT(px[0] + px[1] + px[2], 3 * 24) << x;
    }
}

TEST(AnimatedPng, LosslessWithEveryDelayAndTheLoopFlag) {
    QTemporaryDir dir;
    const Document doc = walkingDocument();
    VideoExportOptions options = optionsFor(VideoFormat::Apng);
    const std::string path = exportTo(dir, doc, options);
    const DecodedVideoFile video = decodeVideoFile(path);
    ASSERT_TRUE(video.opened);
    EXPECT_EQ(video.codec, "apng");
    EXPECT_EQ(video.pixelFormat, AV_PIX_FMT_RGB24);
    EXPECT_EQ(video.width, 60); // no padding
    EXPECT_EQ(video.height, 45);
    ASSERT_EQ(video.frames.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(video.frames[i].ptsMs, kStarts[i]) << i;
    }
    FrameRenderer renderer(doc, options);
    const Difference d = compare(renderer.render(0), video.firstRgb, video.width);
    EXPECT_EQ(d.largest, 0);

    // The chunks as written: the frame count and plays, and every frame's delay as a fraction.
    auto check = [](const QByteArray& file, uint32_t plays) {
        std::vector<uint32_t> delaysMs;
        bool sawControl = false;
        for (const Chunk& c : pngChunks(file)) {
            if (c.type == "acTL") {
                sawControl = true;
                EXPECT_EQ(bigEndian32(c.payload, 0), 4u);
                EXPECT_EQ(bigEndian32(c.payload, 4), plays);
            } else if (c.type == "fcTL") {
                const int num = (uint8_t(c.payload[20]) << 8) | uint8_t(c.payload[21]);
                int den = (uint8_t(c.payload[22]) << 8) | uint8_t(c.payload[23]);
                den = den == 0 ? 100 : den;
                EXPECT_EQ(num * 1000 % den, 0);
                delaysMs.push_back(uint32_t(num * 1000 / den));
            }
        }
        EXPECT_TRUE(sawControl);
        EXPECT_EQ(delaysMs, (std::vector<uint32_t>{80, 240, 80, 160}));
    };
    check(readAll(QString::fromStdString(path)), 0); // loops by default

    options.loop = false;
    check(readAll(QString::fromStdString(exportTo(dir, doc, options))), 1);
}

TEST(AnimatedWebp, FramesDurationsLoopAndPixels) {
    QTemporaryDir dir;
    const Document doc = walkingDocument();
    for (const bool lossless : {true, false}) {
        VideoExportOptions options = optionsFor(VideoFormat::WebP);
        options.lossless = lossless;
        options.loop = lossless; // each way once
        const std::string path = exportTo(dir, doc, options);
        const QByteArray file = readAll(QString::fromStdString(path));
        ASSERT_TRUE(file.startsWith("RIFF"));
        ASSERT_EQ(file.mid(8, 4), QByteArray("WEBP"));
        std::vector<uint32_t> durations;
        QByteArray firstFrame;
        for (const Chunk& c : riffChunks(file)) {
            if (c.type == "VP8X") {
                EXPECT_EQ(littleEndian(c.payload, 4, 3) + 1, 60u);
                EXPECT_EQ(littleEndian(c.payload, 7, 3) + 1, 45u);
            } else if (c.type == "ANIM") {
                EXPECT_EQ(littleEndian(c.payload, 4, 2), lossless ? 0u : 1u);
            } else if (c.type == "ANMF") {
                durations.push_back(littleEndian(c.payload, 12, 3));
                if (firstFrame.isEmpty()) {
                    firstFrame = c.payload;
                    EXPECT_EQ(littleEndian(c.payload, 0, 3), 0u); // the whole canvas
                    EXPECT_EQ(littleEndian(c.payload, 6, 3) + 1, 60u);
                }
            }
        }
        EXPECT_EQ(durations, (std::vector<uint32_t>{80, 240, 80, 160})) << lossless;

        const QString still = dir.filePath("first.webp");
        {
            QFile out(still);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(stillWebp(firstFrame));
        }
        int width = 0, height = 0;
        const std::vector<uint8_t> rgb = decodeStill(still.toStdString(), &width, &height);
        ASSERT_EQ(width, 60);
        ASSERT_EQ(height, 45);
        FrameRenderer renderer(doc, options);
        const Difference d = compare(renderer.render(0), rgb, width);
        if (lossless) {
            EXPECT_EQ(d.largest, 0);
        } else {
            EXPECT_LT(d.mean, 6.0);
        }
        QFile::remove(still);
    }
}

TEST(VideoExportChecks, MissingEncodersAreNamedBeforeAnyFileIsMade) {
    QTemporaryDir dir;
    const Document doc = walkingDocument();
    SilentProgress quiet;
    struct Restore {
        ~Restore() { setEncoderLookupForTesting(nullptr); }
    } restore;

    setEncoderLookupForTesting([](const std::string& name) { return name != "libvpx-vp9"; });
    try {
        exportVideo(doc, dir.filePath("walk").toStdString(), optionsFor(VideoFormat::WebM),
                    kInterval, quiet);
        ADD_FAILURE() << "no failure";
    } catch (const KeltoError& e) {
        EXPECT_STREQ(e.what(), "WebM video cannot be written because the installed FFmpeg "
                               "libraries lack the VP9 encoder (libvpx-vp9).");
    }
    setEncoderLookupForTesting(
        [](const std::string& name) { return name.find("264") == name.npos && name != "mpeg4"; });
    EXPECT_THROW(exportVideo(doc, dir.filePath("walk").toStdString(), optionsFor(VideoFormat::Mp4),
                             kInterval, quiet),
                 KeltoError);
    EXPECT_EQ(filesIn(dir), QStringList());

    // Without H.264, MP4 falls back to MPEG-4 Part 2.
    setEncoderLookupForTesting([](const std::string& name) { return name != "libx264"; });
    const DecodedVideoFile video =
        decodeVideoFile(exportTo(dir, doc, optionsFor(VideoFormat::Mp4)));
    EXPECT_EQ(video.codec, "mpeg4");
    EXPECT_EQ(video.frames.size(), 4u);
}

TEST(VideoExportChecks, QualityOutOfRangeAndCancelWriteNothing) {
    QTemporaryDir dir;
    const Document doc = walkingDocument();
    SilentProgress quiet;
    VideoExportOptions options = optionsFor(VideoFormat::WebM);
    options.quality = 64;
    EXPECT_THROW(exportVideo(doc, dir.filePath("walk").toStdString(), options, kInterval, quiet),
                 KeltoError);
    EXPECT_EQ(filesIn(dir), QStringList());

    // Cancelled part-way: the earlier file stays as it was and nothing else is left.
    QFile old(dir.filePath("walk.apng"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("earlier");
    old.close();
    class CancelAfterTwo : public ExportProgress {
    public:
        void setProgress(int) override {}
        bool cancelled() override { return ++m_asked > 2; }

    private:
        int m_asked = 0;
    } cancel;
    const ExportResult result = exportVideo(doc, dir.filePath("walk").toStdString(),
                                            optionsFor(VideoFormat::Apng), kInterval, cancel);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.files.empty());
    EXPECT_EQ(filesIn(dir), QStringList{"walk.apng"});
    EXPECT_EQ(readAll(dir.filePath("walk.apng")), QByteArray("earlier"));
}

TEST(VideoExportChecks, LowerCrfGivesALargerFile) {
    QTemporaryDir dir;
    const Document doc = walkingDocument();
    VideoExportOptions options = optionsFor(VideoFormat::Mp4);
    options.quality = videoQualityScale(videoEncoderFor(VideoFormat::Mp4)).maximum;
    const qint64 coarse = QFileInfo(QString::fromStdString(exportTo(dir, doc, options))).size();
    options.quality = videoQualityScale(videoEncoderFor(VideoFormat::Mp4)).minimum;
    const qint64 fine = QFileInfo(QString::fromStdString(exportTo(dir, doc, options))).size();
    EXPECT_GT(fine, coarse);
}

// Frames drawn on worker threads give the same file as frames drawn one by one.
TEST(VideoExportChecks, TheSameBytesForEveryThreadCount) {
    const Document doc = walkingDocument();
    for (VideoFormat format :
         {VideoFormat::Mp4, VideoFormat::WebM, VideoFormat::Apng, VideoFormat::WebP}) {
        std::vector<QByteArray> files;
        for (int threads : {1, 3}) {
            QTemporaryDir dir;
            VideoExportOptions options = optionsFor(format);
            options.threads = threads;
            files.push_back(readAll(QString::fromStdString(exportTo(dir, doc, options))));
        }
        EXPECT_FALSE(files[0].isEmpty());
        EXPECT_TRUE(files[0] == files[1]) << videoExtension(format);
    }
}

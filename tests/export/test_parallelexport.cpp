// Exports drawn on several threads write the same bytes as one thread, stop cleanly when
// cancelled, and the pipeline behind them hands frames over in order within its window.
#include "base/error.h"
#include "document/document.h"
#include "export/aviwriter.h"
#include "export/framepipeline.h"
#include "export/rasterexport.h"
#include "graphics/imagecodecs.h"
#include "settings/atomicfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <map>
#include <stdexcept>
#include <thread>

using namespace kelto;

namespace {

// Noisy pixels, so the JPEG background and the dithered colours differ from frame to frame.
Bitmap noise(int width, int height) {
    Bitmap b(width, height, PixelFormat::Bits24);
    uint32_t state = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245u + 12345u;
            b.setRawPixel(x, y, (state >> 8) & 0xFFFFFF);
        }
    }
    return b;
}

// 14 frames of three coloured men, one of them half transparent, with repeats, over white, a
// bitmap background and a JPEG background changed in size since it was loaded (so its new
// pixels are compressed on first use, which must not happen on several threads at once).
Document makeBusyDocument(const QTemporaryDir& dir) {
    Document doc(90, 70);
    const std::string jpegPath = dir.filePath("photo.jpg").toStdString();
    writeFileReplacing(jpegPath, encodeJpeg(noise(60, 50), 80));
    ImageGeneral photo;
    EXPECT_TRUE(photo.loadFromFile(jpegPath));
    EXPECT_EQ(photo.imageKind(), ImageGeneral::kJpegKind);
    photo.setWidth(90);
    const int jpegSlot = doc.addBackground(photo, "photo");
    ImageGeneral plain;
    plain.setBitmap(noise(30, 20));
    const int bitmapSlot = doc.addBackground(plain, "plain");

    const FigureType& man = doc.figureType(1);
    Figures edit = doc.newEditFrame();
    edit.setCount(3);
    const uint32_t colours[3] = {0x000000, 0x2040C0, 0x30A030};
    for (int k = 0; k < 3; ++k) {
        Figure& f = edit.figures[k];
        f.setType(1, man);
        f.figureID = doc.nextFigureID();
        f.colour = colours[k];
        f.transparency = k == 2 ? 128 : 0;
    }
    const int backgrounds[] = {0, jpegSlot, jpegSlot, bitmapSlot, 0, jpegSlot, bitmapSlot};
    for (int i = 0; i < 14; ++i) {
        for (int k = 0; k < 3; ++k) {
            edit.figures[k].placeRoot({15.0 + 25 * k + i, 45.0 + (i % 3)}, man);
            edit.figures[k].updateBounds(man);
        }
        Figures frame;
        frame.assign(edit);
        frame.backgroundIndex = uint8_t(backgrounds[i % 7]);
        frame.repeatCount = uint16_t(1 + i % 3);
        doc.frames.push_back(frame);
    }
    return doc;
}

class CancelAfter : public ExportProgress {
public:
    explicit CancelAfter(int frames) : m_left(frames) {}
    void setProgress(int) override {}
    bool cancelled() override { return m_left-- <= 0; }

private:
    int m_left;
};

using Files = std::map<QString, std::vector<uint8_t>>;

// Every file in the folder, by name, with its bytes.
Files filesIn(const QTemporaryDir& dir) {
    Files files;
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files)) {
        files[name] = readWholeFile(dir.filePath(name).toStdString());
    }
    return files;
}

// What an export writes under one fixed name (AVI files hold their own name), taken away again
// so the next export starts from an empty folder.
template <class Export>
Files exported(const QTemporaryDir& dir, Export run) {
    run(dir.filePath("out").toStdString());
    Files files = filesIn(dir);
    for (const auto& [name, bytes] : files) {
        QFile::remove(dir.filePath(name));
    }
    return files;
}

constexpr int kThreadCounts[] = {2, 8};

class ParallelExport : public ::testing::Test {
protected:
    QTemporaryDir pictures;
    Document doc = makeBusyDocument(pictures);
    QTemporaryDir dir;
    SilentProgress quiet;
};

} // namespace

TEST_F(ParallelExport, GifIsTheSameForEveryThreadCount) {
    GifExportOptions options;
    options.colours = ColourReduction::QuantizeOptimal;
    options.dither = DitherMode::FloydSteinberg;
    for (bool optimise : {false, true}) {
        options.optimisePalette = optimise;
        options.mergeFrames = optimise;
        options.crop = optimise;
        auto gif = [&](int threads) {
            options.threads = threads;
            return exported(dir, [&](const std::string& base) {
                EXPECT_EQ(exportGif(doc, base, options, 80, quiet).framesDone, 14);
            });
        };
        const Files expected = gif(1);
        ASSERT_EQ(expected.size(), 1u);
        for (int threads : kThreadCounts) {
            EXPECT_TRUE(gif(threads) == expected) << threads << " threads, optimised " << optimise;
        }
    }
}

TEST_F(ParallelExport, AviIsTheSameForEveryThreadCount) {
    AviExportOptions options;
    options.superSample = 3; // 90 x 70 is padded to 92 x 72
    std::vector<std::string> codecs = {""};
    for (const AviCodec& codec : availableAviCodecs()) {
        if (codec.name == "mjpeg") {
            codecs.push_back(codec.name);
        }
    }
    for (const std::string& codec : codecs) {
        options.compress = !codec.empty();
        options.codec = codec;
        auto avi = [&](int threads) {
            options.threads = threads;
            return exported(dir, [&](const std::string& base) {
                EXPECT_EQ(exportAvi(doc, base, options, 80, quiet).framesDone, 14);
            });
        };
        const Files expected = avi(1);
        ASSERT_EQ(expected.size(), 1u);
        for (int threads : kThreadCounts) {
            EXPECT_TRUE(avi(threads) == expected) << threads << " threads, codec '" << codec << "'";
        }
    }
}

TEST_F(ParallelExport, ImageSequencesAreTheSameForEveryThreadCount) {
    ImageSequenceOptions options;
    for (ImageFormat format : {ImageFormat::Png, ImageFormat::Gif}) {
        options.format = format;
        auto sequence = [&](int threads) {
            options.threads = threads;
            return exported(dir, [&](const std::string& base) {
                EXPECT_EQ(exportImageSequence(doc, base, options, quiet).framesDone, 14);
            });
        };
        const Files expected = sequence(1);
        ASSERT_EQ(expected.size(), 27u); // 14 frames, 1, 2 and 3 copies in turn
        for (int threads : kThreadCounts) {
            EXPECT_TRUE(sequence(threads) == expected) << threads << " threads";
        }
    }
}

TEST_F(ParallelExport, CancelStopsAtTheSameFrameAsOneThread) {
    GifExportOptions gif;
    gif.threads = 8;
    QTemporaryDir gifDir;
    CancelAfter cancelGif(5);
    const ExportResult gifResult =
        exportGif(doc, gifDir.filePath("anim").toStdString(), gif, 80, cancelGif);
    EXPECT_TRUE(gifResult.cancelled);
    EXPECT_EQ(gifResult.framesDone, 5);
    EXPECT_TRUE(filesIn(gifDir).empty()); // no partial GIF

    // A cancelled video is dropped whatever the thread count: no cut-off file stays.
    AviExportOptions avi;
    auto cancelledVideo = [&](int threads) {
        avi.threads = threads;
        return exported(dir, [&](const std::string& base) {
            CancelAfter cancel(5);
            const ExportResult result = exportAvi(doc, base, avi, 80, cancel);
            EXPECT_TRUE(result.cancelled);
            EXPECT_EQ(result.framesDone, 5);
        });
    };
    EXPECT_TRUE(cancelledVideo(1).empty());
    EXPECT_TRUE(cancelledVideo(8).empty());

    ImageSequenceOptions sequence;
    sequence.threads = 8;
    QTemporaryDir sequenceDir;
    CancelAfter cancelSequence(2);
    exportImageSequence(doc, sequenceDir.filePath("walk").toStdString(), sequence, cancelSequence);
    EXPECT_EQ(filesIn(sequenceDir).size(), 3u); // frame 0 once, frame 1 twice
}

TEST(ExportThreads, CountFollowsRequestCoresMemoryAndFrames) {
    EXPECT_EQ(exportThreadCount(3, 100, 1000), 3);
    EXPECT_EQ(exportThreadCount(8, 5, 1000), 5);
    EXPECT_EQ(exportThreadCount(8, 0, 1000), 1);
    EXPECT_GE(exportThreadCount(0, 100, 1000), 1); // one per core
    // 400 MB pictures per worker: two fit in the budget, three do not.
    EXPECT_EQ(exportThreadCount(8, 100, int64_t(400) << 20), 2);
    EXPECT_EQ(exportThreadCount(8, 100, int64_t(4) << 30), 1);
}

// Frames finish out of order (later ones sooner), yet come out in order; no worker runs more
// than the window ahead of the consumer.
TEST(FramePipeline, InOrderWithinTheWindow) {
    for (int threads : {1, 3}) {
        const int window = FramePipeline<int>::kWindowPerThread * threads;
        std::atomic<int> consumed = 0;
        std::atomic<int> furthestAhead = 0;
        FramePipeline<int> pipeline(40, threads, [&]() {
            return [&](int frame) {
                int ahead = frame - consumed.load();
                int seen = furthestAhead.load();
                while (ahead > seen && !furthestAhead.compare_exchange_weak(seen, ahead)) {
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200 * (3 - frame % 3)));
                return frame * 7;
            };
        });
        for (int frame = 0; frame < 40; ++frame) {
            ASSERT_EQ(pipeline.next(), frame * 7);
            consumed = frame + 1;
        }
        EXPECT_LE(furthestAhead.load(), threads == 1 ? 0 : window) << threads << " threads";
    }
}

TEST(FramePipeline, FailureReachesTheConsumerAtItsFrame) {
    FramePipeline<int> pipeline(100, 4, []() {
        return [](int frame) {
            if (frame == 6) {
                throw KeltoError("frame 6 failed");
            }
            return frame;
        };
    });
    for (int frame = 0; frame < 6; ++frame) {
        EXPECT_EQ(pipeline.next(), frame);
    }
    EXPECT_THROW(pipeline.next(), KeltoError);
}

TEST(FramePipeline, StoppingEarlyEndsTheWorkers) {
    std::atomic<int> prepared = 0;
    {
        FramePipeline<int> pipeline(100000, 4, [&]() {
            return [&](int frame) {
                ++prepared;
                return frame;
            };
        });
        EXPECT_EQ(pipeline.next(), 0);
    } // joins: the workers stop within their window instead of preparing every frame
    EXPECT_LE(prepared.load(), 1 + FramePipeline<int>::kWindowPerThread * 4);
}

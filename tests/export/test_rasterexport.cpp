#include "base/error.h"
#include "document/document.h"
#include "export/rasterexport.h"
#include "graphics/imagecodecs.h"
#include "settings/appsettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gif_lib.h>

extern "C" {
#include <libavformat/avformat.h>
}

using namespace kelto;

namespace {

// A document of n frames, each one stick man moved a little, with given repeat counts.
Document makeDocument(int frames, int width = 120, int height = 90, std::vector<int> repeats = {}) {
    Document doc(width, height);
    Figures edit = doc.newEditFrame();
    for (int i = 0; i < frames; ++i) {
        edit.figures[0].placeRoot({40.0 + i, 70.0}, doc.figureType(1));
        edit.figures[0].updateBounds(doc.figureType(1));
        Figures frame;
        frame.assign(edit);
        if (i < static_cast<int>(repeats.size())) {
            frame.repeatCount = static_cast<uint16_t>(repeats[i]);
        }
        doc.frames.push_back(frame);
    }
    return doc;
}

class CancelAfter : public ExportProgress {
public:
    explicit CancelAfter(int frames) : m_left(frames) {}
    void setProgress(int percent) override { last = percent; }
    bool cancelled() override { return m_left-- <= 0; }
    int last = -1;

private:
    int m_left;
};

QStringList filesIn(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files, QDir::Name);
}

} // namespace

TEST(ExportNames, RemoveExtensionAndNumberWidth) {
    EXPECT_EQ(removeExtension("walk.bmp"), "walk");
    EXPECT_EQ(removeExtension("take.two"), "take");
    EXPECT_EQ(removeExtension("dir.v2/walk"), "dir.v2/walk");
    EXPECT_EQ(frameNumberWidth(1), 1);
    EXPECT_EQ(frameNumberWidth(10), 1);
    EXPECT_EQ(frameNumberWidth(11), 2);
    EXPECT_EQ(frameNumberWidth(100), 2);
    EXPECT_EQ(frameNumberWidth(101), 3);
    EXPECT_EQ(roundedQuotient(80, 10), 8);
    EXPECT_EQ(roundedQuotient(85, 10), 8);
    EXPECT_EQ(roundedQuotient(95, 10), 10);
    EXPECT_EQ(roundedQuotient(1000, 80), 12);
    EXPECT_EQ(roundedQuotient(1000, 30), 33);
    EXPECT_EQ(roundedQuotient(1000, 150), 7);
}

TEST(FrameRenderer, SizesFollowResizeAndSuperSample) {
    const Document doc = makeDocument(1, 400, 300);
    FrameRenderer twice(doc, RasterOptions{100, 2});
    EXPECT_EQ(twice.renderWidth(), 800);
    EXPECT_EQ(twice.outputWidth(), 400);
    EXPECT_EQ(twice.outputHeight(), 300);
    FrameRenderer odd(doc, RasterOptions{150, 3});
    EXPECT_EQ(odd.renderWidth(), 1800); // round(400 x 4.5)
    EXPECT_EQ(odd.renderHeight(), 1350);
    EXPECT_EQ(odd.outputWidth(), 600);
    FrameRenderer direct(doc, RasterOptions{50, 1});
    EXPECT_EQ(direct.outputWidth(), 200);
    const Bitmap& picture = direct.render(0);
    EXPECT_EQ(picture.width(), 200);
    EXPECT_EQ(picture.pixel32(0, 0), 0xFFFFFFu); // white where no figure is
}

TEST(ImageSequence, NamesRepeatsAndFormats) {
    QTemporaryDir dir;
    const Document doc = makeDocument(12, 120, 90, {1, 3});
    SilentProgress quiet;
    ImageSequenceOptions options;
    const std::string base = dir.filePath("walk").toStdString();
    ExportResult result = exportImageSequence(doc, base, options, quiet);
    EXPECT_EQ(result.framesDone, 12);
    const QStringList files = filesIn(dir);
    EXPECT_EQ(files.size(), 14);
    EXPECT_TRUE(files.contains("walk00.png"));
    EXPECT_TRUE(files.contains("walk11.png"));
    EXPECT_TRUE(files.contains("walk01rep1.png"));
    EXPECT_TRUE(files.contains("walk01rep2.png"));
    const std::vector<uint8_t> png = readWholeFile(dir.filePath("walk00.png").toStdString());
    const Bitmap decoded = decodePng(png.data(), png.size());
    EXPECT_EQ(decoded.width(), 120);
    EXPECT_EQ(decoded.height(), 90);

    QTemporaryDir other;
    options.saveRepeats = false;
    options.format = ImageFormat::Jpeg;
    options.quality = 0;
    exportImageSequence(doc, other.filePath("take.two").toStdString(), options, quiet);
    EXPECT_EQ(filesIn(other).size(), 12);
    EXPECT_TRUE(filesIn(other).contains("take00.jpg"));
}

TEST(ImageSequence, SingleFrameGifUsesTheWebPalette) {
    QTemporaryDir dir;
    const Document doc = makeDocument(1);
    SilentProgress quiet;
    ImageSequenceOptions options;
    options.format = ImageFormat::Gif;
    exportImageSequence(doc, dir.filePath("walk").toStdString(), options, quiet);
    ASSERT_EQ(filesIn(dir), QStringList{"walk0.gif"});
    const std::vector<uint8_t> gif = readWholeFile(dir.filePath("walk0.gif").toStdString());
    const Bitmap decoded = decodeGif(gif.data(), gif.size());
    EXPECT_EQ(decoded.width(), 120);
    EXPECT_EQ(decoded.pixel32(0, 0), 0xFFFFFFu);
}

TEST(ImageSequence, CancelStopsAfterTheCurrentFrame) {
    QTemporaryDir dir;
    const Document doc = makeDocument(5);
    CancelAfter cancel(2);
    const ExportResult result =
        exportImageSequence(doc, dir.filePath("walk").toStdString(), {}, cancel);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(filesIn(dir), (QStringList{"walk0.png", "walk1.png"}));
}

TEST(GifExport, FramesDelaysAndSize) {
    QTemporaryDir dir;
    const Document doc = makeDocument(4, 120, 90, {1, 3});
    SilentProgress quiet;
    GifExportOptions options;
    options.optimisePalette = true;
    const ExportResult result =
        exportGif(doc, dir.filePath("anim").toStdString(), options, 80, quiet);
    ASSERT_EQ(result.files.size(), 1u);
    int error = 0;
    GifFileType* gif = DGifOpenFileName(result.files[0].c_str(), &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    EXPECT_EQ(gif->ImageCount, 4);
    EXPECT_EQ(gif->SWidth, 120);
    EXPECT_EQ(gif->SHeight, 90);
    GraphicsControlBlock gcb;
    DGifSavedExtensionToGCB(gif, 1, &gcb);
    EXPECT_EQ(gcb.DelayTime, 24); // repeat 3 at 80 ms
    DGifSavedExtensionToGCB(gif, 0, &gcb);
    EXPECT_EQ(gcb.DelayTime, 8);
    DGifCloseFile(gif, &error);
}

TEST(GifExport, CancelWritesNothing) {
    QTemporaryDir dir;
    const Document doc = makeDocument(4);
    CancelAfter cancel(2);
    const ExportResult result = exportGif(doc, dir.filePath("anim").toStdString(), {}, 80, cancel);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(filesIn(dir).isEmpty());
}

TEST(GifExport, DefaultChoices) {
    Document doc = makeDocument(2);
    GifDefaults d = gifDefaultsFor(doc);
    EXPECT_EQ(d.colours, ColourReduction::GrayScale);
    EXPECT_EQ(d.dither, DitherMode::Nearest);
    doc.frames[1].figures[0].colour = 0x0000FF; // one red figure
    d = gifDefaultsFor(doc);
    EXPECT_EQ(d.colours, ColourReduction::QuantizeOptimal);
    EXPECT_EQ(d.dither, DitherMode::Nearest);
}

TEST(AviExport, PaddingRepeatsAndRate) {
    QTemporaryDir dir;
    const Document doc = makeDocument(3, 401, 299, {4});
    SilentProgress quiet;
    AviExportOptions options;
    options.superSample = 1;
    const ExportResult result =
        exportAvi(doc, dir.filePath("video").toStdString(), options, 80, quiet);
    ASSERT_EQ(result.files.size(), 1u);
    AVFormatContext* format = nullptr;
    ASSERT_EQ(avformat_open_input(&format, result.files[0].c_str(), nullptr, nullptr), 0);
    avformat_find_stream_info(format, nullptr);
    const AVStream* stream = format->streams[0];
    EXPECT_EQ(stream->codecpar->width, 404);
    EXPECT_EQ(stream->codecpar->height, 300);
    EXPECT_EQ(stream->avg_frame_rate.num / stream->avg_frame_rate.den, 12);
    int packets = 0;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        ++packets;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    EXPECT_EQ(packets, 4 + 1 + 1);
}

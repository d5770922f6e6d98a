#include "base/error.h"
#include "export/aviwriter.h"
#include "export/gifwriter.h"
#include "pixels.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gif_lib.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

using namespace kelto;
using kelto::testing::Picture;

namespace {

IndexedImage stripes(int w, int h, std::vector<uint32_t> palette, int phase) {
    IndexedImage image;
    image.width = w;
    image.height = h;
    image.palette = std::move(palette);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.indices.push_back(static_cast<uint8_t>((x + phase) % image.palette.size()));
        }
    }
    return image;
}

struct GifDeleter {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

std::unique_ptr<GifFileType, GifDeleter> slurp(const QString& path) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.toLocal8Bit().constData(), &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
        return nullptr;
    }
    return std::unique_ptr<GifFileType, GifDeleter>(gif);
}

uint32_t colourAt(const GifFileType* gif, int frame, int x, int y) {
    const SavedImage& image = gif->SavedImages[frame];
    const ColorMapObject* map =
        image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    const GifColorType c = map->Colors[image.RasterBits[y * image.ImageDesc.Width + x]];
    return (uint32_t(c.Red) << 16) | (uint32_t(c.Green) << 8) | c.Blue;
}

} // namespace

TEST(GifWriter, FramesDelaysLoopAndPixelsReadBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath("anim.gif");
    const std::vector<uint32_t> shared = {0xFF0000, 0x00FF00, 0x0000FF};
    GifWriter writer;
    writer.open(path, 6, 4);
    writer.addFrame(stripes(6, 4, shared, 0), 8);
    writer.addFrame(stripes(6, 4, shared, 1), 24);
    writer.addFrame(stripes(6, 4, {0x123456, 0xABCDEF}, 0), 70000); // own palette, long delay
    writer.addFrame(stripes(6, 4, shared, 2), 5); // back to the shared table (once leaked)
    EXPECT_FALSE(QFile::exists(path));            // nothing appears before finish
    writer.finish();

    auto gif = slurp(path);
    ASSERT_TRUE(gif);
    ASSERT_EQ(gif->ImageCount, 4);
    EXPECT_EQ(gif->SWidth, 6);
    ASSERT_TRUE(gif->SColorMap);
    EXPECT_EQ(gif->SavedImages[0].ImageDesc.ColorMap, nullptr); // uses the global table
    EXPECT_EQ(gif->SavedImages[1].ImageDesc.ColorMap, nullptr);
    EXPECT_NE(gif->SavedImages[2].ImageDesc.ColorMap, nullptr);
    EXPECT_EQ(gif->SavedImages[3].ImageDesc.ColorMap, nullptr);
    const int delays[] = {8, 24, 65535, 5};
    for (int f = 0; f < 4; ++f) {
        GraphicsControlBlock gcb;
        ASSERT_EQ(DGifSavedExtensionToGCB(gif.get(), f, &gcb), GIF_OK);
        EXPECT_EQ(gcb.DelayTime, delays[f]);
        EXPECT_EQ(gcb.TransparentColor, NO_TRANSPARENT_COLOR);
    }
    // The loop block sits on the first frame: NETSCAPE2.0 with a loop count of 0.
    const SavedImage& first = gif->SavedImages[0];
    bool loop = false;
    for (int k = 0; k + 1 < first.ExtensionBlockCount; ++k) {
        const ExtensionBlock& b = first.ExtensionBlocks[k];
        if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
            std::string(reinterpret_cast<char*>(b.Bytes), 11) == "NETSCAPE2.0") {
            const ExtensionBlock& sub = first.ExtensionBlocks[k + 1];
            loop =
                sub.ByteCount == 3 && sub.Bytes[0] == 1 && sub.Bytes[1] == 0 && sub.Bytes[2] == 0;
        }
    }
    EXPECT_TRUE(loop);
    EXPECT_EQ(colourAt(gif.get(), 0, 0, 0), 0xFF0000u);
    EXPECT_EQ(colourAt(gif.get(), 1, 0, 0), 0x00FF00u);
    EXPECT_EQ(colourAt(gif.get(), 2, 1, 3), 0xABCDEFu);
    EXPECT_EQ(colourAt(gif.get(), 3, 0, 0), 0x0000FFu);
}

TEST(GifWriter, CancelLeavesNoFileAndKeepsAnOldOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath("anim.gif");
    {
        GifWriter writer;
        writer.open(path, 2, 2);
        writer.addFrame(stripes(2, 2, {0, 0xFFFFFF}, 0), 5);
        writer.cancel();
    }
    EXPECT_FALSE(QFile::exists(path));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    {
        GifWriter writer;
        writer.open(path, 2, 2);
        writer.addFrame(stripes(2, 2, {0, 0xFFFFFF}, 0), 5);
    } // destroyed without finish
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
}

TEST(GifWriter, RejectsBadFramesAndBadPaths) {
    QTemporaryDir dir;
    GifWriter writer;
    EXPECT_THROW(writer.open(dir.filePath("no/such/folder/x.gif"), 2, 2), KeltoError);
    writer.open(dir.filePath("x.gif"), 2, 2);
    EXPECT_THROW(writer.addFrame(stripes(3, 2, {0, 1}, 0), 1), KeltoError);
    writer.cancel();
    GifWriter empty;
    empty.open(dir.filePath("empty.gif"), 2, 2);
    EXPECT_THROW(empty.finish(), KeltoError);
    EXPECT_FALSE(QFile::exists(dir.filePath("empty.gif")));
}

TEST(GifWriter, StillImageHasNoAnimationBlocks) {
    QTemporaryDir dir;
    const QString path = dir.filePath("still.gif");
    writeGifImage(path, stripes(5, 3, webPalette(), 7));
    auto gif = slurp(path);
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->ImageCount, 1);
    EXPECT_EQ(gif->SavedImages[0].ExtensionBlockCount, 0);
    EXPECT_EQ(gif->SColorMap->ColorCount, 256);
    EXPECT_EQ(colourAt(gif.get(), 0, 0, 0), webPalette()[7]);
}

namespace {

// Decodes every video frame of an AVI into 24-bit RGB pictures.
struct DecodedVideo {
    int width = 0, height = 0;
    AVRational rate{0, 1};
    std::string codec;
    std::vector<std::vector<uint8_t>> frames; // RGB24 rows, top first
};

DecodedVideo decode(const QString& path) {
    DecodedVideo out;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.toLocal8Bit().constData(), nullptr, nullptr) < 0) {
        return out;
    }
    avformat_find_stream_info(format, nullptr);
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVStream* stream = format->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(context, stream->codecpar);
    avcodec_open2(context, codec, nullptr);
    out.width = context->width;
    out.height = context->height;
    out.rate = stream->avg_frame_rate.num ? stream->avg_frame_rate : stream->r_frame_rate;
    out.codec = codec->name;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    auto take = [&] {
        while (avcodec_receive_frame(context, frame) == 0) {
            scaler = sws_getCachedContext(scaler, frame->width, frame->height,
                                          AVPixelFormat(frame->format), frame->width, frame->height,
                                          AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
            std::vector<uint8_t> rgb(size_t(frame->width) * frame->height * 3);
            uint8_t* planes[1] = {rgb.data()};
            int strides[1] = {frame->width * 3};
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
            out.frames.push_back(std::move(rgb));
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index) {
            avcodec_send_packet(context, packet);
            take();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(context, nullptr);
    take();
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
    return out;
}

Picture numbered(int w, int h, int n) {
    Picture p(w, h, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p.at(x, y) = (uint32_t(n * 40 % 256) << 16) | (uint32_t(x * 255 / w) << 8) |
                         uint32_t(y * 255 / h);
        }
    }
    return p;
}

} // namespace

TEST(AviWriter, UncompressedFramesReadBackPixelExact) {
    QTemporaryDir dir;
    const QString path = dir.filePath("video.avi");
    AviWriter writer;
    writer.open(path, {12, 8, 12, "", "video.avi"});
    for (int n = 0; n < 3; ++n) {
        writer.writeFrame(numbered(12, 8, n).span());
    }
    writer.close();
    writer.close(); // safe twice

    const DecodedVideo video = decode(path);
    EXPECT_EQ(video.codec, "rawvideo");
    EXPECT_EQ(video.width, 12);
    EXPECT_EQ(video.height, 8);
    EXPECT_EQ(video.rate.num / std::max(1, video.rate.den), 12);
    ASSERT_EQ(video.frames.size(), 3u);
    for (int n = 0; n < 3; ++n) {
        const Picture want = numbered(12, 8, n);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 12; ++x) {
                const uint8_t* px = video.frames[n].data() + (size_t(y) * 12 + x) * 3;
                const uint32_t got = (uint32_t(px[0]) << 16) | (uint32_t(px[1]) << 8) | px[2];
                ASSERT_EQ(got, want.pixels[size_t(y) * 12 + x]) << n << " " << x << "," << y;
            }
        }
    }
}

TEST(AviWriter, EveryOfferedCodecWritesAReadableVideo) {
    QTemporaryDir dir;
    for (const AviCodec& codec : availableAviCodecs()) {
        const QString path = dir.filePath(QString::fromStdString(codec.name) + ".avi");
        AviWriter writer;
        writer.open(path, {16, 16, 25, codec.name, ""});
        for (int n = 0; n < 4; ++n) {
            writer.writeFrame(numbered(16, 16, n).span());
        }
        writer.close();
        const DecodedVideo video = decode(path);
        EXPECT_EQ(video.frames.size(), 4u) << codec.name;
        EXPECT_EQ(video.width, 16) << codec.name;
    }
}

TEST(AviWriter, FailuresAreReportedNotSwallowed) {
    QTemporaryDir dir;
    AviWriter writer;
    EXPECT_THROW(writer.open(dir.filePath("missing/folder/v.avi"), {8, 8, 12, "", ""}), KeltoError);
    EXPECT_FALSE(writer.isOpen());
    EXPECT_THROW(writer.open(dir.filePath("v.avi"), {8, 8, 12, "no-such-codec", ""}), KeltoError);
    EXPECT_THROW(writer.writeFrame(numbered(8, 8, 0).span()), KeltoError);
    writer.open(dir.filePath("v.avi"), {8, 8, 12, "", ""});
    EXPECT_THROW(writer.writeFrame(numbered(4, 8, 0).span()), KeltoError);
}

#pragma once

// Reading back what the video export writes, with the FFmpeg libraries and, for the parts those
// do not read, by walking the file's chunks by hand.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kelto::testing {

struct DecodedFrame {
    int64_t ptsMs = 0;
    int64_t durationMs = 0;
};

struct DecodedVideoFile {
    bool opened = false;
    std::string codec;
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    int width = 0;
    int height = 0;
    int64_t totalMs = 0;               // the container's duration
    std::vector<DecodedFrame> frames;  // as the decoder gives them
    std::vector<DecodedFrame> packets; // as the container stores them, in time order
    std::vector<uint8_t> firstRgb;     // the first frame as RGB24, converted as a player would
};

inline int64_t toMs(int64_t value, AVRational base) {
    return value == AV_NOPTS_VALUE ? -1 : av_rescale_q(value, base, AVRational{1, 1000});
}

// Converts with the colour matrix and range the frame declares.
inline std::vector<uint8_t> rgbOf(const AVFrame* frame) {
    SwsContext* scaler = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
                                        frame->width, frame->height, AV_PIX_FMT_RGB24,
                                        SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                        nullptr, nullptr, nullptr);
    if (frame->colorspace != AVCOL_SPC_UNSPECIFIED) {
        const int* matrix = sws_getCoefficients(frame->colorspace);
        sws_setColorspaceDetails(scaler, matrix, frame->color_range == AVCOL_RANGE_JPEG, matrix, 1,
                                 0, 1 << 16, 1 << 16);
    }
    std::vector<uint8_t> rgb(size_t(frame->width) * frame->height * 3);
    uint8_t* planes[1] = {rgb.data()};
    int strides[1] = {frame->width * 3};
    sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    sws_freeContext(scaler);
    return rgb;
}

// Every frame the demuxer and decoder give, with its time and duration in milliseconds.
inline DecodedVideoFile decodeVideoFile(const std::string& path) {
    DecodedVideoFile out;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) {
        return out;
    }
    avformat_find_stream_info(format, nullptr);
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        avformat_close_input(&format);
        return out;
    }
    AVStream* stream = format->streams[index];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(context, stream->codecpar);
    context->pkt_timebase = stream->time_base;
    avcodec_open2(context, codec, nullptr);
    out.opened = true;
    out.codec = codec->name;
    out.width = stream->codecpar->width;
    out.height = stream->codecpar->height;
    out.totalMs = format->duration == AV_NOPTS_VALUE ? -1 : format->duration / 1000;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto take = [&] {
        while (avcodec_receive_frame(context, frame) == 0) {
            out.pixelFormat = AVPixelFormat(frame->format);
            out.frames.push_back({toMs(frame->best_effort_timestamp, stream->time_base),
                                  toMs(frame->pkt_duration, stream->time_base)});
            if (out.firstRgb.empty()) {
                out.firstRgb = rgbOf(frame);
                out.width = out.width ? out.width : frame->width;
                out.height = out.height ? out.height : frame->height;
            }
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index) {
            out.packets.push_back(
                {toMs(packet->pts, stream->time_base), toMs(packet->duration, stream->time_base)});
            avcodec_send_packet(context, packet);
            take();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(context, nullptr);
    take();
    std::sort(out.packets.begin(), out.packets.end(),
              [](const DecodedFrame& a, const DecodedFrame& b) { return a.ptsMs < b.ptsMs; });
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
    return out;
}

// The chunks of a PNG file (after the signature) or a RIFF file (after "RIFF", size, "WEBP"),
// each as its four-character type and its payload.
struct Chunk {
    std::string type;
    QByteArray payload;
};

inline uint32_t bigEndian32(const QByteArray& b, int at) {
    return (uint32_t(uint8_t(b[at])) << 24) | (uint32_t(uint8_t(b[at + 1])) << 16) |
           (uint32_t(uint8_t(b[at + 2])) << 8) | uint32_t(uint8_t(b[at + 3]));
}

inline uint32_t littleEndian(const QByteArray& b, int at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | uint8_t(b[at + i]);
    }
    return value;
}

inline std::vector<Chunk> pngChunks(const QByteArray& file) {
    std::vector<Chunk> chunks;
    for (int at = 8; at + 12 <= file.size();) {
        const int length = int(bigEndian32(file, at));
        chunks.push_back({file.mid(at + 4, 4).toStdString(), file.mid(at + 8, length)});
        at += 12 + length;
    }
    return chunks;
}

// The boxes of an MP4 file along a path ("moov/trak/mdia/mdhd"): the payloads of the first
// box of each name.
inline QByteArray mp4Box(const QByteArray& file, const QStringList& path) {
    QByteArray level = file;
    for (const QString& name : path) {
        QByteArray found;
        for (int at = 0; at + 8 <= level.size();) {
            const int size = int(bigEndian32(level, at));
            if (size < 8) {
                break;
            }
            if (level.mid(at + 4, 4) == name.toLatin1()) {
                found = level.mid(at + 8, size - 8);
                break;
            }
            at += size;
        }
        level = found;
    }
    return level;
}

inline std::vector<Chunk> riffChunks(const QByteArray& file) {
    std::vector<Chunk> chunks;
    for (int at = 12; at + 8 <= file.size();) {
        const int length = int(littleEndian(file, at + 4, 4));
        chunks.push_back({file.mid(at, 4).toStdString(), file.mid(at + 8, length)});
        at += 8 + length + (length & 1);
    }
    return chunks;
}

// A still WebP file holding the picture chunks of one animation frame (its ANMF payload after
// the 16 bytes of placement and duration), for FFmpeg's still-picture decoder.
inline QByteArray stillWebp(const QByteArray& anmfPayload) {
    const QByteArray body = "WEBP" + anmfPayload.mid(16);
    QByteArray file = "RIFF";
    const uint32_t size = uint32_t(body.size());
    for (int i = 0; i < 4; ++i) {
        file.append(char((size >> (8 * i)) & 0xFF));
    }
    return file + body;
}

// Decodes a still picture file's first frame as RGB24.
inline std::vector<uint8_t> decodeStill(const std::string& path, int* width, int* height) {
    DecodedVideoFile file = decodeVideoFile(path);
    *width = file.width;
    *height = file.height;
    return file.firstRgb;
}

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace kelto::testing

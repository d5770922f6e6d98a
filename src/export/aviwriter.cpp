#include "export/aviwriter.h"

#include "export/avfileoutput.h"
#include "settings/errorreporter.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cstring>

namespace kelto {

namespace {

void check(int result, const char* what) {
    if (result < 0) {
        throw KeltoError(std::string("Could not write the AVI file (") + what + ": " +
                         avErrorText(result) + ")");
    }
}

// Prefers a pixel format that keeps our colours exactly, else the codec's first.
AVPixelFormat pickPixelFormat(const AVCodec* codec) {
    if (!codec->pix_fmts) {
        return AV_PIX_FMT_YUV420P;
    }
    const AVPixelFormat preferred[] = {AV_PIX_FMT_BGR0,  AV_PIX_FMT_BGRA,     AV_PIX_FMT_BGR24,
                                       AV_PIX_FMT_RGB24, AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV420P};
    for (AVPixelFormat want : preferred) {
        for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
            if (*f == want) {
                return want;
            }
        }
    }
    return codec->pix_fmts[0];
}

} // namespace

std::vector<AviCodec> availableAviCodecs() {
    const AviCodec wanted[] = {{"mjpeg", "Motion JPEG"},
                               {"ffv1", "FFV1 (lossless)"},
                               {"mpeg4", "MPEG-4 Part 2"},
                               {"libx264", "H.264"}};
    std::vector<AviCodec> found;
    for (const AviCodec& c : wanted) {
        if (avcodec_find_encoder_by_name(c.name.c_str())) {
            found.push_back(c);
        }
    }
    return found;
}

struct AviWriter::State {
    std::unique_ptr<AvFileOutput> output;
    AVFormatContext* format = nullptr;
    AVStream* stream = nullptr;
    AVCodecContext* encoder = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int width = 0;
    int height = 0;
    int64_t nextIndex = 0;
    bool headerWritten = false;
    std::vector<uint8_t> rawFrame;

    ~State() { release(); }

    void release() {
        if (packet) {
            av_packet_free(&packet);
        }
        if (frame) {
            av_frame_free(&frame);
        }
        if (scaler) {
            sws_freeContext(scaler);
            scaler = nullptr;
        }
        if (encoder) {
            avcodec_free_context(&encoder);
        }
        if (format) {
            format->pb = nullptr; // the output's own context
            avformat_free_context(format);
            format = nullptr;
        }
        // Unfinished, this drops the temporary file and leaves the target as it was.
        output.reset();
    }

    // A failed write has a better reason than FFmpeg's: the system's, naming the file.
    void checkOutput(int result, const char* what) const {
        if (result < 0 && output) {
            output->checkWrites();
        }
        check(result, what);
    }

    void drainEncoder(bool flushing) {
        check(avcodec_send_frame(encoder, flushing ? nullptr : frame), "encoding");
        for (;;) {
            const int result = avcodec_receive_packet(encoder, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
                return;
            }
            check(result, "encoding");
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            checkOutput(av_interleaved_write_frame(format, packet), "writing a frame");
        }
    }
};

AviWriter::AviWriter() = default;

// An unclosed video (a cancelled or failed export) is dropped with its state: a cut-off file
// never takes the target's name.
AviWriter::~AviWriter() = default;

bool AviWriter::isOpen() const {
    return m_state != nullptr;
}

int AviWriter::framesWritten() const {
    return m_state ? static_cast<int>(m_state->nextIndex) : 0;
}

void AviWriter::open(const QString& path, const AviOptions& options) {
    close();
    if (options.width < 1 || options.height < 1 || options.width > kMaxVideoSide ||
        options.height > kMaxVideoSide) {
        throw KeltoError("The video size must be 1 to " + std::to_string(kMaxVideoSide) +
                         " pixels wide and high");
    }
    if (options.frameRate < 1) {
        throw KeltoError("The video frame rate must be at least 1");
    }
    av_log_set_level(AV_LOG_ERROR);
    auto s = std::make_unique<State>();
    s->width = options.width;
    s->height = options.height;
    const std::string file = path.toStdString();
    check(avformat_alloc_output_context2(&s->format, nullptr, "avi", file.c_str()), "format");
    s->stream = avformat_new_stream(s->format, nullptr);
    if (!s->stream) {
        throw KeltoError("Could not write the AVI file (out of memory)");
    }
    s->stream->time_base = AVRational{1, options.frameRate};
    s->stream->avg_frame_rate = AVRational{options.frameRate, 1};
    if (!options.streamName.empty()) {
        av_dict_set(&s->stream->metadata, "title", options.streamName.substr(0, 63).c_str(), 0);
    }
    s->packet = av_packet_alloc();
    if (!s->packet) {
        throw KeltoError("Could not write the AVI file (out of memory)");
    }

    if (options.codec.empty()) {
        // Uncompressed frames are DIB rows: 24-bit BGR, bottom row first.
        AVCodecParameters* par = s->stream->codecpar;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_RAWVIDEO;
        par->codec_tag = 0;
        par->format = AV_PIX_FMT_BGR24;
        par->bits_per_coded_sample = 24;
        par->width = options.width;
        par->height = options.height;
    } else {
        const AVCodec* codec = avcodec_find_encoder_by_name(options.codec.c_str());
        if (!codec) {
            throw KeltoError("The video codec \"" + options.codec + "\" is not available");
        }
        s->encoder = avcodec_alloc_context3(codec);
        s->encoder->width = options.width;
        s->encoder->height = options.height;
        s->encoder->time_base = AVRational{1, options.frameRate};
        s->encoder->framerate = AVRational{options.frameRate, 1};
        s->encoder->pix_fmt = pickPixelFormat(codec);
        s->encoder->gop_size = 18;
        s->encoder->flags |= AV_CODEC_FLAG_QSCALE;
        s->encoder->global_quality = FF_QP2LAMBDA * 3;
        if (s->format->oformat->flags & AVFMT_GLOBALHEADER) {
            s->encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        check(avcodec_open2(s->encoder, codec, nullptr), "opening the codec");
        check(avcodec_parameters_from_context(s->stream->codecpar, s->encoder), "codec");
        s->frame = av_frame_alloc();
        if (!s->frame) {
            throw KeltoError("Could not write the AVI file (out of memory)");
        }
        s->frame->format = s->encoder->pix_fmt;
        s->frame->width = options.width;
        s->frame->height = options.height;
        check(av_frame_get_buffer(s->frame, 0), "frame buffer");
        s->scaler = sws_getContext(options.width, options.height, AV_PIX_FMT_BGR0, options.width,
                                   options.height, s->encoder->pix_fmt, SWS_POINT, nullptr, nullptr,
                                   nullptr);
        if (!s->scaler) {
            throw KeltoError("Could not write the AVI file (no pixel conversion)");
        }
    }
    // The old file stays until the new one is complete.
    s->output = std::make_unique<AvFileOutput>(QFile::encodeName(path).toStdString());
    s->format->pb = s->output->context();
    // Raw frames are stored the classic way, bottom row first under a positive height, which
    // every AVI reader understands.
    AVDictionary* muxerOptions = nullptr;
    if (!s->encoder) {
        av_dict_set(&muxerOptions, "flipped_raw_rgb", "1", 0);
    }
    const int header = avformat_write_header(s->format, &muxerOptions);
    av_dict_free(&muxerOptions);
    s->checkOutput(header, "header");
    s->headerWritten = true;
    m_state = std::move(s);
}

void AviWriter::writeFrame(const PixelSpan& picture) {
    if (!m_state) {
        throw KeltoError("The AVI file is not open");
    }
    State& s = *m_state;
    if (picture.width != s.width || picture.height != s.height) {
        throw KeltoError("A video frame does not have the size of the video");
    }
    if (!s.encoder) {
        const size_t rowBytes = (size_t(s.width) * 3 + 3) & ~size_t(3);
        s.rawFrame.assign(rowBytes * s.height, 0);
        for (int y = 0; y < s.height; ++y) {
            const uint8_t* from = picture.bits + size_t(y) * picture.rowBytes;
            uint8_t* to = s.rawFrame.data() + size_t(s.height - 1 - y) * rowBytes;
            for (int x = 0; x < s.width; ++x) {
                to[3 * x] = from[4 * x];
                to[3 * x + 1] = from[4 * x + 1];
                to[3 * x + 2] = from[4 * x + 2];
            }
        }
        check(av_new_packet(s.packet, static_cast<int>(s.rawFrame.size())), "packet");
        std::memcpy(s.packet->data, s.rawFrame.data(), s.rawFrame.size());
        s.packet->pts = s.packet->dts = s.nextIndex;
        s.packet->duration = 1;
        s.packet->flags |= AV_PKT_FLAG_KEY;
        s.packet->stream_index = s.stream->index;
        ++s.nextIndex;
        s.checkOutput(av_interleaved_write_frame(s.format, s.packet), "writing a frame");
        return;
    }
    check(av_frame_make_writable(s.frame), "frame buffer");
    const uint8_t* sourcePlanes[1] = {picture.bits};
    const int sourceStrides[1] = {static_cast<int>(picture.rowBytes)};
    sws_scale(s.scaler, sourcePlanes, sourceStrides, 0, s.height, s.frame->data, s.frame->linesize);
    s.frame->pts = s.nextIndex++;
    s.drainEncoder(false);
}

void AviWriter::close() {
    if (!m_state) {
        return;
    }
    std::unique_ptr<State> s = std::move(m_state);
    if (s->encoder) {
        s->drainEncoder(true);
    }
    if (s->headerWritten) {
        s->checkOutput(av_write_trailer(s->format), "finishing");
    }
    // Only a complete file replaces the target; any throw above drops it with the state.
    s->output->finish();
}

} // namespace kelto

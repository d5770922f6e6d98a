#include "export/videowriter.h"

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

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

namespace kelto {

namespace {

struct FormatFacts {
    const char* extension;
    const char* name;
    const char* muxer;
    const char* encoders[2]; // the preferred first
    const char* missing;     // what the libraries lack when no encoder is there
    int maxSide;
};

// H.264 levels end at 16384 pixels a side, MPEG-4 Part 2 stores 13 bits, WebP 14 bits.
const FormatFacts& factsOf(VideoFormat format) {
    static const FormatFacts facts[] = {
        {".mp4",
         "MP4 video",
         "mp4",
         {"libx264", "mpeg4"},
         "an H.264 (libx264) or MPEG-4 Part 2 (mpeg4) encoder",
         16384},
        {".webm",
         "WebM video",
         "webm",
         {"libvpx-vp9", nullptr},
         "the VP9 encoder (libvpx-vp9)",
         16384},
        {".apng", "animated PNG", "apng", {"apng", nullptr}, "the APNG encoder (apng)", 65535},
        {".webp",
         "animated WebP",
         "webp",
         {"libwebp_anim", nullptr},
         "the animated WebP encoder (libwebp_anim)",
         16383},
    };
    return facts[static_cast<int>(format)];
}

EncoderLookup& lookupOverride() {
    static EncoderLookup lookup;
    return lookup;
}

bool encoderPresent(const char* name) {
    if (lookupOverride()) {
        return lookupOverride()(name);
    }
    return avcodec_find_encoder_by_name(name) != nullptr;
}

std::string capitalised(std::string text) {
    if (!text.empty()) {
        text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    }
    return text;
}

int64_t largestSide(VideoFormat format) {
    if (format == VideoFormat::Mp4 && videoEncoderFor(format) == "mpeg4") {
        return 8191;
    }
    return factsOf(format).maxSide;
}

} // namespace

const char* videoExtension(VideoFormat format) {
    return factsOf(format).extension;
}

std::optional<VideoFormat> videoFormatForExtension(const std::string& extension) {
    std::string lower = extension;
    for (char& c : lower) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    for (VideoFormat f :
         {VideoFormat::Mp4, VideoFormat::WebM, VideoFormat::Apng, VideoFormat::WebP}) {
        if (lower == factsOf(f).extension) {
            return f;
        }
    }
    return std::nullopt;
}

std::string videoFormatName(VideoFormat format) {
    return factsOf(format).name;
}

std::string videoEncoderFor(VideoFormat format) {
    for (const char* name : factsOf(format).encoders) {
        if (name && encoderPresent(name)) {
            return name;
        }
    }
    return {};
}

void requireVideoEncoder(VideoFormat format) {
    const FormatFacts& facts = factsOf(format);
    const std::string what = capitalised(facts.name) + " cannot be written because the installed "
                                                       "FFmpeg libraries lack ";
    if (videoEncoderFor(format).empty()) {
        throw KeltoError(what + facts.missing + ".");
    }
    if (!av_guess_format(facts.muxer, nullptr, nullptr)) {
        throw KeltoError(what + "the " + facts.muxer + " container writer.");
    }
}

void setEncoderLookupForTesting(EncoderLookup lookup) {
    lookupOverride() = std::move(lookup);
}

QualityScale videoQualityScale(const std::string& encoder) {
    if (encoder == "libx264") {
        return {0, 51, 23, false};
    }
    if (encoder == "libvpx-vp9") {
        return {0, 63, 32, false};
    }
    if (encoder == "mpeg4") {
        return {1, 31, 4, false};
    }
    if (encoder == "libwebp_anim") {
        return {0, 100, 75, true};
    }
    return {};
}

VideoSize videoFrameSize(VideoFormat format, int w, int h) {
    // 4:2:0 chroma covers 2 x 2 pixels, so those codecs need even sides.
    if (format == VideoFormat::Mp4 || format == VideoFormat::WebM) {
        return {(w + 1) / 2 * 2, (h + 1) / 2 * 2};
    }
    return {w, h};
}

int maxVideoSide(VideoFormat format) {
    return static_cast<int>(largestSide(format));
}

namespace {

// Every encoder gets what it is best given: 4:2:0 for the video codecs, which common players
// need; exact RGB for APNG; BGRA for WebP, whose library converts to its own form.
AVPixelFormat pixelFormatFor(VideoFormat format) {
    switch (format) {
    case VideoFormat::Apng:
        return AV_PIX_FMT_RGB24;
    case VideoFormat::WebP:
        return AV_PIX_FMT_BGRA;
    default:
        return AV_PIX_FMT_YUV420P;
    }
}

int resolvedQuality(const std::string& encoder, int quality) {
    const QualityScale scale = videoQualityScale(encoder);
    if (scale.empty() || quality < 0) {
        return scale.fallback;
    }
    if (quality < scale.minimum || quality > scale.maximum) {
        throw KeltoError("The quality for " + encoder + " must be " +
                         std::to_string(scale.minimum) + " to " + std::to_string(scale.maximum));
    }
    return quality;
}

void configureEncoder(AVCodecContext* c, const std::string& encoder, const VideoEncoding& e,
                      AVDictionary** options) {
    const std::string quality = std::to_string(resolvedQuality(encoder, e.quality));
    if (encoder == "libx264") {
        av_dict_set(options, "crf", quality.c_str(), 0);
        av_dict_set(options, "preset", "medium", 0);
        // Frames in display order: each sample's time in the MP4 index is then the frame's
        // own duration, the last one's included, which reordered frames would blur.
        c->max_b_frames = 0;
    } else if (encoder == "libvpx-vp9") {
        // Constant quality: the CRF alone decides, with no bit rate to meet.
        c->bit_rate = 0;
        av_dict_set(options, "crf", quality.c_str(), 0);
        av_dict_set(options, "deadline", "good", 0);
        av_dict_set(options, "cpu-used", "4", 0);
        av_dict_set(options, "row-mt", "1", 0);
    } else if (encoder == "mpeg4") {
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * std::stoi(quality);
    } else if (encoder == "apng") {
        av_dict_set(options, "pred", "mixed", 0);
    } else if (encoder == "libwebp_anim") {
        av_dict_set(options, "lossless", e.lossless ? "1" : "0", 0);
        av_dict_set(options, "quality", quality.c_str(), 0);
    }
    if (c->pix_fmt == AV_PIX_FMT_YUV420P) {
        // The frames are converted with the BT.709 matrix into studio range; say so, so that
        // players convert back the same way.
        c->colorspace = AVCOL_SPC_BT709;
        c->color_primaries = AVCOL_PRI_BT709;
        c->color_trc = AVCOL_TRC_BT709;
        c->color_range = AVCOL_RANGE_MPEG;
    }
}

// libwebp assembles a WebP animation as a whole once the last frame is in, and as it is never
// told when that frame ends, it guesses the average. The end is known here, so the last frame
// chunk's duration is set to what is left of the animation after the ones before it.
void setWebpLastDuration(AVPacket* packet, int64_t totalMs) {
    uint8_t* data = packet->data;
    const size_t size = size_t(packet->size);
    int64_t before = 0;
    uint8_t* last = nullptr; // the 24-bit duration field of the latest frame chunk
    for (size_t at = 12; at + 8 <= size;) {
        uint32_t length = 0;
        std::memcpy(&length, data + at + 4, 4); // little-endian, as RIFF is
        if (std::memcmp(data + at, "ANMF", 4) == 0 && length >= 16 && at + 8 + 16 <= size) {
            if (last) {
                before += last[0] | (last[1] << 8) | (last[2] << 16);
            }
            last = data + at + 8 + 12;
        }
        at += 8 + size_t(length) + (length & 1);
    }
    const int64_t remaining = totalMs - before;
    if (last && remaining > 0 && remaining < (1 << 24)) {
        last[0] = uint8_t(remaining & 0xFF);
        last[1] = uint8_t((remaining >> 8) & 0xFF);
        last[2] = uint8_t((remaining >> 16) & 0xFF);
    }
}

void check(int result, const std::string& file, const char* what) {
    if (result < 0) {
        throw KeltoError("Could not write " + file + " (" + what + ": " + avErrorText(result) +
                         ")");
    }
}

} // namespace

struct VideoWriter::State {
    VideoFormat format = VideoFormat::Mp4;
    std::string file;
    std::unique_ptr<AvFileOutput> output;
    AVFormatContext* muxer = nullptr;
    AVStream* stream = nullptr;
    AVCodecContext* encoder = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int width = 0;
    int height = 0;
    int frames = 0;
    int64_t nextPts = 0; // milliseconds from the start
    int lastDuration = 0;
    // The duration of every frame the encoder still holds, by its timestamp: encoders with
    // reordering give packets back later and not always with their durations.
    std::map<int64_t, int64_t> durations;
    bool headerWritten = false;

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
        if (muxer) {
            muxer->pb = nullptr; // the output's own context
            avformat_free_context(muxer);
            muxer = nullptr;
        }
        // Unfinished, this drops the temporary file and leaves the target as it was.
        output.reset();
    }

    void ensure(bool ok) const {
        if (!ok) {
            throw KeltoError("Could not write " + file + ": out of memory");
        }
    }

    // A failed write has a better reason than FFmpeg's: the system's, naming the file.
    void checkOutput(int result, const char* what) const {
        if (result < 0 && output) {
            output->checkWrites();
        }
        check(result, file, what);
    }

    void writePacket() {
        const auto known = durations.find(packet->pts);
        if (known != durations.end()) {
            packet->duration = known->second;
            durations.erase(known);
        }
        if (format == VideoFormat::WebP && packet->size > 0) {
            check(av_packet_make_writable(packet), file, "packet");
            setWebpLastDuration(packet, nextPts);
        }
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        checkOutput(av_interleaved_write_frame(muxer, packet), "writing a frame");
    }

    void drain(bool flushing) {
        check(avcodec_send_frame(encoder, flushing ? nullptr : frame), file, "encoding");
        for (;;) {
            const int result = avcodec_receive_packet(encoder, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
                return;
            }
            check(result, file, "encoding");
            writePacket();
        }
    }

    void fill(const PixelSpan& picture) {
        check(av_frame_make_writable(frame), file, "frame buffer");
        if (scaler) {
            const uint8_t* planes[1] = {picture.bits};
            const int strides[1] = {static_cast<int>(picture.rowBytes)};
            sws_scale(scaler, planes, strides, 0, height, frame->data, frame->linesize);
            return;
        }
        // Our pixels are B, G, R and an unused byte; copied by hand so that nothing is lost.
        for (int y = 0; y < height; ++y) {
            const uint8_t* from = picture.bits + size_t(y) * picture.rowBytes;
            uint8_t* to = frame->data[0] + size_t(y) * size_t(frame->linesize[0]);
            if (frame->format == AV_PIX_FMT_RGB24) {
                for (int x = 0; x < width; ++x) {
                    to[3 * x] = from[4 * x + 2];
                    to[3 * x + 1] = from[4 * x + 1];
                    to[3 * x + 2] = from[4 * x];
                }
            } else {
                for (int x = 0; x < width; ++x) {
                    std::memcpy(to + 4 * x, from + 4 * x, 3);
                    to[4 * x + 3] = 0xFF; // opaque
                }
            }
        }
    }
};

VideoWriter::VideoWriter() = default;

VideoWriter::~VideoWriter() = default; // unclosed: the old file stays

bool VideoWriter::isOpen() const {
    return m_state != nullptr;
}

int VideoWriter::framesWritten() const {
    return m_state ? m_state->frames : 0;
}

void VideoWriter::open(const QString& path, const VideoEncoding& e) {
    m_state.reset();
    requireVideoEncoder(e.format);
    const int maxSide = maxVideoSide(e.format);
    if (e.width < 1 || e.height < 1 || e.width > maxSide || e.height > maxSide) {
        throw KeltoError(capitalised(videoFormatName(e.format)) + " must be 1 to " +
                         std::to_string(maxSide) + " pixels wide and high");
    }
    const VideoSize needed = videoFrameSize(e.format, e.width, e.height);
    if (needed.width != e.width || needed.height != e.height) {
        throw KeltoError(capitalised(videoFormatName(e.format)) +
                         " needs an even width and height");
    }
    av_log_set_level(AV_LOG_ERROR);
    auto s = std::make_unique<State>();
    s->format = e.format;
    s->file = QFile::encodeName(path).toStdString();
    s->width = e.width;
    s->height = e.height;
    const std::string encoderName = videoEncoderFor(e.format);
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName.c_str());
    if (!codec) {
        throw KeltoError("The video encoder \"" + encoderName + "\" is not available");
    }
    check(avformat_alloc_output_context2(&s->muxer, nullptr, factsOf(e.format).muxer,
                                         s->file.c_str()),
          s->file, "format");
    s->stream = avformat_new_stream(s->muxer, nullptr);
    s->ensure(s->stream != nullptr);
    s->encoder = avcodec_alloc_context3(codec);
    s->ensure(s->encoder != nullptr);
    AVCodecContext* c = s->encoder;
    c->width = e.width;
    c->height = e.height;
    c->pix_fmt = pixelFormatFor(e.format);
    // Milliseconds: every frame's time is a whole number of them, so timing stays exact.
    c->time_base = AVRational{1, 1000};
    c->framerate = av_make_q(1000, std::max(1, e.typicalFrameMs));
    // The same animation gives the same bytes: no version strings or random identifiers.
    s->muxer->flags |= AVFMT_FLAG_BITEXACT;
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    if (s->muxer->oformat->flags & AVFMT_GLOBALHEADER) {
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    AVDictionary* options = nullptr;
    configureEncoder(c, encoderName, e, &options);
    const int opened = avcodec_open2(c, codec, &options);
    av_dict_free(&options);
    check(opened, s->file, "opening the encoder");
    check(avcodec_parameters_from_context(s->stream->codecpar, c), s->file, "codec");
    // No frame rate for the stream: frames last as long as they are held, and a container's
    // default duration would contradict that.
    s->stream->time_base = c->time_base;

    s->frame = av_frame_alloc();
    s->ensure(s->frame != nullptr);
    s->frame->format = c->pix_fmt;
    s->frame->width = e.width;
    s->frame->height = e.height;
    check(av_frame_get_buffer(s->frame, 0), s->file, "frame buffer");
    if (c->pix_fmt == AV_PIX_FMT_YUV420P) {
        s->scaler = sws_getContext(e.width, e.height, AV_PIX_FMT_BGR0, e.width, e.height,
                                   AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr,
                                   nullptr, nullptr);
        s->ensure(s->scaler != nullptr);
        const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
        sws_setColorspaceDetails(s->scaler, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    }
    s->packet = av_packet_alloc();
    s->ensure(s->packet != nullptr);

    // The old file stays until the new one is complete.
    s->output = std::make_unique<AvFileOutput>(s->file);
    s->muxer->pb = s->output->context();
    AVDictionary* muxerOptions = nullptr;
    if (e.format == VideoFormat::Apng) {
        av_dict_set(&muxerOptions, "plays", e.loop ? "0" : "1", 0);
    } else if (e.format == VideoFormat::WebP) {
        av_dict_set(&muxerOptions, "loop", e.loop ? "0" : "1", 0);
    }
    const int header = avformat_write_header(s->muxer, &muxerOptions);
    av_dict_free(&muxerOptions);
    s->checkOutput(header, "header");
    s->headerWritten = true;
    m_state = std::move(s);
}

void VideoWriter::writeFrame(const PixelSpan& picture, int durationMs) {
    if (!m_state) {
        throw KeltoError("The video file is not open");
    }
    State& s = *m_state;
    if (picture.width != s.width || picture.height != s.height) {
        throw KeltoError("A video frame does not have the size of the video");
    }
    if (durationMs < 1) {
        throw KeltoError("A video frame must last at least one millisecond");
    }
    s.fill(picture);
    s.frame->pts = s.nextPts;
    s.durations[s.nextPts] = durationMs;
    s.nextPts += durationMs;
    s.lastDuration = durationMs;
    ++s.frames;
    s.drain(false);
}

void VideoWriter::close() {
    if (!m_state) {
        return;
    }
    std::unique_ptr<State> s = std::move(m_state);
    s->drain(true);
    if (s->format == VideoFormat::Apng && s->lastDuration > 0) {
        // The muxer learns a frame's delay from the next frame's time; the last one has none.
        AVRational delay{0, 1};
        av_reduce(&delay.num, &delay.den, s->lastDuration, 1000, 65535);
        av_opt_set_q(s->muxer->priv_data, "final_delay", delay, 0);
    }
    s->checkOutput(av_write_trailer(s->muxer), "finishing");
    // Only a complete file replaces the target; any throw above drops it with the state.
    s->output->finish();
}

} // namespace kelto

#pragma once

#include "settings/atomicfile.h"

#include <memory>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwsContext;

namespace kelto {

// FFmpeg's text for one of its error codes.
std::string avErrorText(int code);

// Where an FFmpeg muxer writes a file: an AtomicFile behind a custom AVIOContext, so the muxer
// writes and seeks in a temporary file and the target changes only in finish(), after the
// trailer and every write succeeded. Destroying it unfinished (a failure, a cancel) leaves the
// target as it was. Every video writer goes through this.
//
// Use: avformat_alloc_output_context2(&ctx, ...); ctx->pb = output.context(); write the header,
// packets and trailer, checking each; output.finish(); and set ctx->pb = nullptr before
// avformat_free_context (the context belongs to this object).
class AvFileOutput {
public:
    // Throws KeltoError when the temporary file cannot be created.
    explicit AvFileOutput(const std::string& target);
    ~AvFileOutput();
    AvFileOutput(const AvFileOutput&) = delete;
    AvFileOutput& operator=(const AvFileOutput&) = delete;

    AVIOContext* context() { return m_context; }
    const std::string& target() const { return m_file.target(); }
    // Throws the system's reason when a write has failed, naming the file.
    void checkWrites() const { m_file.checkWrites(); }
    // Flushes FFmpeg's buffer and puts the file in place; throws KeltoError when anything
    // written so far failed.
    void finish();

private:
    AtomicFile m_file;
    AVIOContext* m_context = nullptr;
};

// The FFmpeg objects every encoded file holds, released in the order FFmpeg needs. Released
// before the output finished, the temporary file goes and the target stays as it was.
struct AvEncodingParts {
    std::unique_ptr<AvFileOutput> output;
    AVFormatContext* muxer = nullptr;
    AVCodecContext* encoder = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;

    AvEncodingParts() = default;
    ~AvEncodingParts() { release(); }
    AvEncodingParts(const AvEncodingParts&) = delete;
    AvEncodingParts& operator=(const AvEncodingParts&) = delete;

    void release();
};

} // namespace kelto

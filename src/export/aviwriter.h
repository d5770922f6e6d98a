#pragma once

#include "export/colourreduction.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace kelto {

// The largest video side the writer accepts.
inline constexpr int kMaxVideoSide = 16384;

struct AviOptions {
    int width = 0; // multiples of 4 keep uncompressed rows unpadded
    int height = 0;
    int frameRate = 18;     // frames per second
    std::string codec;      // empty: uncompressed 24-bit BGR; else an FFmpeg encoder name
    std::string streamName; // stored in the stream header (63 characters at most)
};

// A video encoder the AVI export can use, as offered to the user.
struct AviCodec {
    std::string name;  // FFmpeg encoder name, e.g. "mjpeg"
    std::string label; // what the user sees
};

// The encoders of our short list that this FFmpeg build offers.
std::vector<AviCodec> availableAviCodecs();

// One AVI file with one video stream, written frame by frame through FFmpeg.
// Failures throw KeltoError with the library's own message.
class AviWriter {
public:
    AviWriter();
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // The video is written beside path and replaces any file of that name only when close()
    // succeeds; after a failure, or when the writer is destroyed unclosed, the old file stays.
    void open(const QString& path, const AviOptions& options);
    // One video frame from 32-bit pixels of exactly the stream's size.
    void writeFrame(const PixelSpan& picture);
    // Finishes the file and puts it in place; throws KeltoError when any write failed. Safe
    // to call repeatedly and without open().
    void close();
    bool isOpen() const;
    int framesWritten() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace kelto

#pragma once

#include "export/colourreduction.h"
#include "export/exportoptions.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kelto {

// The file extension of a format, with its dot (".mp4").
const char* videoExtension(VideoFormat format);
// The format an extension (".webm", any case) names, if any.
std::optional<VideoFormat> videoFormatForExtension(const std::string& extension);
// The format's name for people ("MP4 video").
std::string videoFormatName(VideoFormat format);

// The FFmpeg encoder that writes a format on this machine ("libx264", else "mpeg4" for MP4);
// empty when the installed libraries have none.
std::string videoEncoderFor(VideoFormat format);
// Throws KeltoError with one plain sentence when the format's encoder or container writer is
// missing from the installed libraries.
void requireVideoEncoder(VideoFormat format);

// Stands in for the libraries' answer to "is this encoder here" (tests); null restores it.
using EncoderLookup = std::function<bool(const std::string& encoderName)>;
void setEncoderLookupForTesting(EncoderLookup lookup);

// The quality numbers an encoder takes. Empty (maximum < minimum) for APNG, which is lossless.
struct QualityScale {
    int minimum = 0;
    int maximum = -1;
    int fallback = 0;            // the value -1 stands for
    bool higherIsBetter = false; // CRF and quantisers: lower is better
    bool empty() const { return maximum < minimum; }
};
QualityScale videoQualityScale(const std::string& encoder);

// The size a format stores a w x h picture at: H.264, MPEG-4 Part 2 and VP9 in yuv420p need
// even sides, so those are rounded up (the picture is padded, never stretched).
struct VideoSize {
    int width = 0;
    int height = 0;
};
VideoSize videoFrameSize(VideoFormat format, int w, int h);
// The largest side a format's encoder takes on this machine.
int maxVideoSide(VideoFormat format);

struct VideoEncoding {
    VideoFormat format = VideoFormat::Mp4;
    int width = 0; // even for MP4 and WebM (see videoFrameSize)
    int height = 0;
    int quality = -1; // as in VideoExportOptions
    bool loop = true;
    bool lossless = false;
    int typicalFrameMs = 80; // a hint for the encoder's rate control
};

// One video or animated picture, written frame by frame with each frame's own duration in
// milliseconds. Frames keep exact timing: the containers get millisecond timestamps, and
// APNG and WebP store each frame's delay. Failures throw KeltoError.
class VideoWriter {
public:
    VideoWriter();
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // The file is written beside path and replaces a file of that name only when close()
    // succeeds; after a failure, or when the writer is destroyed unclosed (a cancel), the old
    // file stays and no partial file is left.
    void open(const QString& path, const VideoEncoding& encoding);
    // One frame from 32-bit pixels of exactly the video's size, shown for durationMs (>= 1).
    void writeFrame(const PixelSpan& picture, int durationMs);
    // Finishes the file and puts it in place. Safe to call repeatedly and without open().
    void close();
    bool isOpen() const;
    int framesWritten() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace kelto

#pragma once

#include "export/colourreduction.h"

#include <algorithm>
#include <string>

namespace kelto {

// A numeric option's range and the value an empty or unusable entry falls back to.
struct OptionRange {
    int minimum;
    int maximum;
    int fallback;

    int clamp(int value) const { return std::clamp(value, minimum, maximum); }
};

inline constexpr OptionRange kResizeRange{1, 1000, 100};     // percent
inline constexpr OptionRange kSuperSampleRange{1, 4, 2};     // render k times larger
inline constexpr OptionRange kJpegQualityRange{0, 100, 100}; // percent
inline constexpr OptionRange kExportThreadsRange{0, 256, 0}; // 0: one per core

// The shared part of every raster export: the output is round(size x resize/100) and is
// rendered superSample times larger, then box-filtered down.
struct RasterOptions {
    int resize = kResizeRange.fallback;
    int superSample = kSuperSampleRange.fallback;
    // Threads that draw and prepare frames beside the one that writes the file; 1 does all of it
    // on the calling thread. The output is the same for every count.
    int threads = kExportThreadsRange.fallback;

    void sanitise() {
        resize = kResizeRange.clamp(resize);
        superSample = kSuperSampleRange.clamp(superSample);
        threads = kExportThreadsRange.clamp(threads);
    }
};

enum class ImageFormat { Png, Jpeg, Gif };

struct ImageSequenceOptions : RasterOptions {
    ImageFormat format = ImageFormat::Png;
    bool saveRepeats = true;
    int quality = kJpegQualityRange.fallback;

    void sanitise() {
        RasterOptions::sanitise();
        quality = kJpegQualityRange.clamp(quality);
    }
};

struct GifExportOptions : RasterOptions {
    ColourReduction colours = ColourReduction::QuantizeOptimal;
    DitherMode dither = DitherMode::Nearest;
    bool optimisePalette = false; // "Colour Palette": drop unused colour-table entries
    // "Merge Frames": consecutive frames that show the same picture are stored as one frame
    // with their delays summed (a new frame starts where the sum would pass 65535 hundredths).
    bool mergeFrames = false;
    // "Crop": frames after the first store only the rectangle that changes what is shown and
    // stay in place beneath the next; an unchanged frame becomes a single repeated pixel.
    bool crop = false;
};

struct AviExportOptions : RasterOptions {
    bool compress = false;
    std::string codec; // FFmpeg encoder name used when compressing; empty: the first offered
};

// Videos and animated pictures, each written by the FFmpeg libraries.
enum class VideoFormat { Mp4, WebM, Apng, WebP };

struct VideoExportOptions : RasterOptions {
    VideoFormat format = VideoFormat::Mp4;
    // On the encoder's own scale (videoQualityScale): the CRF of H.264 and VP9, the quantiser of
    // MPEG-4 Part 2, 0..100 for WebP; -1 leaves the encoder's default. APNG is always lossless.
    int quality = -1;
    bool loop = true;      // APNG and WebP: play forever rather than once
    bool lossless = false; // WebP: store every pixel exactly
};

// What a running export reports to and asks of its caller (progress window or terminal).
class ExportProgress {
public:
    virtual ~ExportProgress() = default;
    // 0..100; called after every frame.
    virtual void setProgress(int percent) = 0;
    // Checked before every frame; the GUI lets pending window events run here.
    virtual bool cancelled() = 0;
};

// Progress that goes nowhere and never cancels.
class SilentProgress : public ExportProgress {
public:
    void setProgress(int) override {}
    bool cancelled() override { return false; }
};

} // namespace kelto

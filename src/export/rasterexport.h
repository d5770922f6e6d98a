#pragma once

#include "document/kelformat.h"
#include "export/exportoptions.h"
#include "graphics/bitmap.h"

#include <string>
#include <vector>

namespace kelto {

class Document;

// Renders stored frames at an export size: round(size x resize/100 x superSample) (halves to
// even), box-filtered down by the super-sample factor. The background is drawn into its own
// layer only when a frame's background differs from the one drawn last.
class FrameRenderer {
public:
    FrameRenderer(const Document& doc, const RasterOptions& options);

    int renderWidth() const { return m_render.width(); }
    int renderHeight() const { return m_render.height(); }
    // The size of the pictures render() returns.
    int outputWidth() const;
    int outputHeight() const;
    // The frame as a 32-bit picture; valid until the next call.
    const Bitmap& render(int frameIndex);

private:
    void drawBackground(int slot);

    const Document& m_doc;
    int m_superSample;
    double m_zoom;
    Bitmap m_render;
    Bitmap m_background;
    Bitmap m_output;
    int m_backgroundDrawn = -1;
};

// Files written by an export, in order; empty names never appear.
struct ExportResult {
    bool cancelled = false;
    int framesDone = 0;
    std::vector<std::string> files;
};

// Digits of the frame numbers for n frames: those of n - 1, at least one.
int frameNumberWidth(int frameCount);
// round(a / b) with halves going to the even neighbour.
int roundedQuotient(double a, double b);

// Separate images: stem + zero-padded number (+ "rep" + j for repeats) + extension, where the
// stem is baseName without its extension.
ExportResult exportImageSequence(const Document& doc, const std::string& baseName,
                                 ImageSequenceOptions options, ExportProgress& progress);

// Animated GIF written to baseName + ".gif" with delays from the frame interval (ms); nothing
// is written when cancelled. Merge Frames and Crop shrink the file without changing what plays.
ExportResult exportGif(const Document& doc, const std::string& baseName, GifExportOptions options,
                       int frameInterval, ExportProgress& progress);

// AVI video written to baseName + ".avi": the output padded up to multiples of 4 on black, a
// frame written once per repeat, round(1000 / interval) frames per second.
ExportResult exportAvi(const Document& doc, const std::string& baseName, AviExportOptions options,
                       int frameInterval, ExportProgress& progress);

// The colour reduction and dither the GIF options start with for a document: grey scale for an
// all-grey animation without pictures, Stucki dithering when there are pictures.
struct GifDefaults {
    ColourReduction colours = ColourReduction::QuantizeOptimal;
    DitherMode dither = DitherMode::Nearest;
};
GifDefaults gifDefaultsFor(const Document& doc);

} // namespace kelto

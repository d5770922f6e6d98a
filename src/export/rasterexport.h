#pragma once

#include "document/kelformat.h"
#include "export/exportcheck.h"
#include "export/exportoptions.h"
#include "graphics/bitmap.h"

#include <string>
#include <vector>

namespace kelto {

class Document;

// Renders stored frames at an export size: round(size x resize/100 x superSample) (halves to
// even), box-filtered down by the super-sample factor. A frame of at most bandPixels pixels is
// drawn whole, with the background kept in its own layer and redrawn only when a frame's
// background differs from the one drawn last. A larger one is drawn and reduced in bands of
// about bandPixels pixels, so memory stays bounded; every pixel comes out as drawn whole.
class FrameRenderer {
public:
    static constexpr int64_t kBandPixels = int64_t(1) << 24;

    // Throws KeltoError, naming the limit, for sizes that cannot be exported.
    FrameRenderer(const Document& doc, const RasterOptions& options,
                  int64_t bandPixels = kBandPixels);

    int renderWidth() const { return m_geometry.renderWidth; }
    int renderHeight() const { return m_geometry.renderHeight; }
    // The size of the pictures render() returns.
    int outputWidth() const { return m_geometry.outputWidth; }
    int outputHeight() const { return m_geometry.outputHeight; }
    // Whether frames are drawn in bands.
    bool banded() const { return m_banded; }
    // The frame as a 32-bit picture; valid until the next call. Renderers of one document may
    // draw on different threads at once once prepareBackgrounds() has run.
    const Bitmap& render(int frameIndex);
    // The memory this renderer's own pictures take.
    int64_t bufferBytes() const;

    // Puts every background the frames show into the state drawing reads (a JPEG changed since
    // it was last drawn is compressed and decoded now), so that drawing only reads it. Call on
    // the thread that owns the document before renderers draw on other threads.
    static void prepareBackgrounds(const Document& doc);

private:
    void drawBackground(int slot);
    const Bitmap& renderWhole(const Figures& frame);
    const Bitmap& renderBanded(const Figures& frame);
    // The enlarged frame's rows [rows.first, rows.end) into the output rows [first, end).
    void renderBand(const Figures& frame, int firstRow, int endRow);
    bool hasBackground(const Figures& frame) const;

    const Document& m_doc;
    ExportGeometry m_geometry;
    bool m_banded = false;
    int m_outputRowsPerBand = 0;
    Bitmap m_render; // the whole enlarged frame, or one band of it
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

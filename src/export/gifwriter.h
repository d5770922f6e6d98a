#pragma once

#include "export/colourreduction.h"

#include <QString>

#include <memory>

namespace kelto {

// Where a frame goes on the logical screen and what happens to it before the next one.
// keep: "do not dispose", the frame stays as the base the next frame is drawn over.
struct GifPlacement {
    int left = 0;
    int top = 0;
    bool keep = false;
};

// Writes an animated GIF frame by frame. The file appears only when finish() succeeds; a
// cancelled or failed export leaves no file (and an existing file of that name untouched).
// The first frame's colour table becomes the global one; later frames carry a local table only
// when theirs differs, so an animation whose frames share one palette stores it once.
class GifWriter {
public:
    GifWriter();
    ~GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    // Throws KeltoError when the file cannot be created. A still picture (animated false) gets
    // neither the loop extension nor frame delays.
    void open(const QString& path, int width, int height, bool animated = true);
    // delay in hundredths of a second (clamped to the format's 0..65535). The first frame also
    // carries the "loop forever" application extension.
    void addFrame(const IndexedImage& frame, int delay);
    // A frame of any size within the screen, placed as given. The first frame must cover the
    // whole screen (it starts the display).
    void addFrame(const IndexedImage& frame, int delay, const GifPlacement& placement);
    void finish();
    void cancel();
    bool isOpen() const;
    // The shared colour table: the first frame's palette (empty before the first frame).
    const std::vector<uint32_t>& globalPalette() const;

private:
    struct State;
    static void putFrameExtensions(State& s, int delay, bool first, bool keep);
    static void writeImage(State& s, const IndexedImage& frame, const GifPlacement& placement,
                           bool localMap);
    std::unique_ptr<State> m_state;
};

// Writes one still image as a GIF file (image sequences); same guarantees.
void writeGifImage(const QString& path, const IndexedImage& image);

} // namespace kelto

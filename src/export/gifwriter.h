#pragma once

#include "export/colourreduction.h"

#include <QString>

#include <memory>

namespace kelto {

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
    void finish();
    void cancel();
    bool isOpen() const;

private:
    struct State;
    static void putFrameExtensions(State& s, int delay, bool first);
    static void writeImage(State& s, const IndexedImage& frame, bool localMap);
    std::unique_ptr<State> m_state;
};

// Writes one still image as a GIF file (image sequences); same guarantees.
void writeGifImage(const QString& path, const IndexedImage& image);

} // namespace kelto

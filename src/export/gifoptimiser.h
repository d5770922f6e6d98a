#pragma once

#include "export/colourreduction.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace kelto {

class GifWriter;

// The frame optimisations of the GIF export. Neither changes what a viewer shows nor when.
struct GifOptimisation {
    // Consecutive frames that show the same colours become one frame holding their summed delay.
    bool mergeFrames = false;
    // Every frame after the first only covers the rectangle that changes what is shown, and
    // every frame is left in place for the next one to be drawn over.
    bool crop = false;
    // A cropped frame that needs a colour table of its own keeps only the colours it uses.
    bool dropUnusedColours = false;
};

// The largest delay one GIF frame can hold, in hundredths of a second.
inline constexpr int kMaxGifDelay = 65535;

// Takes the full-size frames of an animation and hands a GifWriter the frames to store. Frames
// are compared by the colours they display, never by palette indices, because two frames with
// different palettes can show the same picture. A delay longer than one frame can hold is
// spread over repeated frames instead of being cut short.
class GifFrameOptimiser {
public:
    // The writer must be open with a screen of width x height and must not have a frame yet.
    GifFrameOptimiser(GifWriter& writer, int width, int height, GifOptimisation options);

    // A full-size frame shown for delay hundredths of a second (negative counts as 0).
    void addFrame(const IndexedImage& frame, long long delay);
    // Writes the frame still held back for merging; call once, before GifWriter::finish().
    void flush();
    int framesWritten() const { return m_written; }

private:
    struct Region {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
    };

    void write(const IndexedImage& frame, const std::vector<uint32_t>& shown, int delay);
    void writeCropped(const IndexedImage& frame, const std::vector<uint32_t>& shown, int delay);
    Region changedRegion(const std::vector<uint32_t>& shown) const;
    void fitColourTable(IndexedImage& part);

    GifWriter& m_writer;
    GifOptimisation m_options;
    int m_width;
    int m_height;
    int m_written = 0;
    // What the viewer shows after the last frame written (kept only when cropping).
    std::vector<uint32_t> m_screen;
    // The frame held back while equal ones follow (merging only).
    bool m_holding = false;
    IndexedImage m_held;
    std::vector<uint32_t> m_heldColours;
    int m_heldDelay = 0;
    // Colour -> index in the writer's shared table, built after the first frame.
    std::unordered_map<uint32_t, uint8_t> m_globalIndex;
};

// The colour every pixel of a palette image shows (0x00RRGGBB); indices past the palette show
// black, as the padded colour table of the file does.
std::vector<uint32_t> displayedColours(const IndexedImage& image);

} // namespace kelto

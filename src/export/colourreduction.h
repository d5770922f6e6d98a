#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelto {

// The colour reductions offered for GIF output, in the order of the options list.
enum class ColourReduction : int {
    QuantizeOptimal = 0, // octree quantisation to 256 colours
    QuantizeWindows = 1, // octree to 236 colours plus the 20 static Windows colours
    Netscape = 2,        // the 216-colour web palette
    GrayScale = 3,       // 256 grey levels
    Windows20 = 4,       // the 20 static Windows colours
    Monochrome = 5,      // black and white
    WindowsGray = 6,     // black, grey 128, silver 192, white
};
inline constexpr int kColourReductionCount = 7;

// Error-diffusion kernels, in the order of the options list. The scan is serpentine (left to
// right on even rows, right to left on odd rows, kernels mirrored), which avoids the diagonal
// "worm" patterns a plain raster scan leaves in flat areas.
enum class DitherMode : int {
    Nearest = 0,
    FloydSteinberg = 1,
    Stucki = 2,
    Sierra = 3,
    JarvisJudiceNinke = 4,
    StevensonArce = 5,
    Burkes = 6,
};
inline constexpr int kDitherModeCount = 7;

// Read-only view of 32-bit pixels, rows top first, each pixel a little-endian 0x00RRGGBB word
// (blue byte first in memory).
struct PixelSpan {
    const uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    size_t rowBytes = 0;

    uint32_t at(int x, int y) const {
        const uint8_t* p = bits + size_t(y) * rowBytes + size_t(x) * 4;
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    }
};

// A palette image: one index byte per pixel, rows top first; palette entries 0x00RRGGBB.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> indices;
    std::vector<uint32_t> palette;

    uint8_t at(int x, int y) const { return indices[size_t(y) * width + x]; }
};

std::vector<uint32_t> webPalette();           // 216 entries, red slowest
std::vector<uint32_t> windowsStaticPalette(); // the 20 static colours
std::vector<uint32_t> grayPalette();          // 256 levels
std::vector<uint32_t> windowsGrayPalette();   // 4 levels
std::vector<uint32_t> monochromePalette();    // black, white

// Octree colour quantisation: at most maxColours representative colours of the image. When the
// image has no more distinct colours than that, the palette holds exactly those colours.
std::vector<uint32_t> octreePalette(const PixelSpan& image, int maxColours);

// The palette a reduction uses for an image (fixed ones ignore the image).
std::vector<uint32_t> paletteFor(ColourReduction reduction, const PixelSpan& image);

// Maps every pixel to the nearest palette entry (squared RGB distance), diffusing the error with
// the chosen kernel.
IndexedImage mapToPalette(const PixelSpan& image, std::vector<uint32_t> palette, DitherMode dither);

inline IndexedImage reduceColours(const PixelSpan& image, ColourReduction reduction,
                                  DitherMode dither) {
    return mapToPalette(image, paletteFor(reduction, image), dither);
}

// Drops palette entries no pixel uses, keeping the order of the rest, and renumbers the pixels.
void dropUnusedColours(IndexedImage& image);

} // namespace kelto

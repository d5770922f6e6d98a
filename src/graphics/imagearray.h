#pragma once

#include "graphics/bitmap.h"
#include "graphics/bytestream.h"

#include <cstdint>
#include <vector>

namespace kelto {

// Scratch holder for a picture in the older column-ordered layout: read, turned into a sprite's
// bitmap at once, and dropped.
class ImageArray {
public:
    static constexpr uint8_t kPaletteFormat = 3;
    static constexpr uint8_t kColourFormat = 6;

    int width = 0;  // columns
    int height = 0; // rows
    uint8_t format = kColourFormat;
    uint32_t keyColour = 0;
    // Column by column from the left, each column from the top row down; one byte per pixel
    // (palette index) for the palette format, else three (blue, green, red).
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> palette; // 256 entries of 0x00RRGGBB for the palette format

    int bytesPerPixel() const { return format == kPaletteFormat ? 1 : 3; }

    // The older picture record: format, W, H, key colour, columns, and for the palette format
    // 256 entries of red, green, blue, flags.
    void read(ByteReader& reader);
    void write(ByteWriter& writer) const;

    // An 8-bit bitmap with the palette, or a 24-bit one, pixel (x, y) taken from column x.
    Bitmap toBitmap() const;
};

} // namespace kelto

#pragma once

#include "graphics/bitmap.h"
#include "graphics/bytestream.h"

#include <cstdint>
#include <optional>

namespace kelto {

class ImageArray;

// A picture owned by a figure type and drawn along an skImage segment: a 1, 4, 8, 16 or 24-bit
// bitmap and the key colour whose pixels are left out when it is painted. Copyable value type;
// rows are reached through the bitmap, top row first.
class Sprite {
public:
    static constexpr int kMaxSide = 32767; // sizes are 16-bit in files

    int width() const { return m_bitmap.width(); }
    int height() const { return m_bitmap.height(); }
    uint32_t keyColour() const { return m_keyColour; } // 0x00BBGGRR
    const Bitmap& bitmap() const { return m_bitmap; }

    void assign(const Sprite& source) { *this = source; }
    // Takes a loaded picture: other formats become 24-bit, then the palette reduction runs, and
    // the key colour is the colour of the bottom-left pixel.
    void setFromBitmap(const Bitmap& bitmap);
    // Takes a picture read in the older column-ordered layout.
    void setFromColumnData(const ImageArray& columns);

    // The picture record: key colour (int32), then the bitmap as a complete BMP file.
    void write(ByteWriter& writer) const;
    void read(ByteReader& reader);
    // The older column-ordered picture record.
    void readOld(ByteReader& reader);

private:
    static void checkSide(const Bitmap& bitmap);

    uint32_t m_keyColour = 0;
    Bitmap m_bitmap;
};

// Turns, scales and optionally mirrors the sprite into target (which gets the sprite's pixel
// format and palette), nearest neighbour with 16.16 fixed-point steps. Pixels outside the turned
// picture get the sprite's bottom-left pixel value. Returns where the anchor's mirror across the
// picture's horizontal centre line lands in the target, so that for the anchor (0, 0) the
// picture's bottom-left corner is reported at every angle; nothing when the picture is too
// small to draw or of an undrawable format.
std::optional<PixelPos> rotateScaleSprite(const Sprite& sprite, Bitmap& target, PixelPos anchor,
                                          bool mirror, float scale, double angle);

} // namespace kelto

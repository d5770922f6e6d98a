#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class QImage;
class QPainter;

namespace kelto {

// Pixel formats of device-independent bitmaps. Bits15 is the 5-5-5 layout of 16-bit files
// without colour masks; Bits16 is 5-6-5.
enum class PixelFormat : uint8_t {
    Bits1 = 1,
    Bits4 = 4,
    Bits8 = 8,
    Bits15 = 15,
    Bits16 = 16,
    Bits24 = 24,
    Bits32 = 32,
};

// Upper bounds for any bitmap we allocate, so untrusted sizes never allocate without bound.
inline constexpr int kMaxBitmapSide = 65535;
inline constexpr int64_t kMaxBitmapPixels = int64_t(1) << 26;

// Integer pixel position on a canvas.
struct PixelPos {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPos&) const = default;
};

// Colours are 0x00BBGGRR; 24/32-bit rows and palette entries hold blue first, i.e. 0x00RRGGBB
// when read as a little-endian word. The swap is its own inverse.
inline uint32_t colourToPixel(uint32_t colour) {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}
inline uint32_t pixelToColour(uint32_t pixel) {
    return colourToPixel(pixel);
}

bool isPaletteFormat(PixelFormat format);
int bitsPerPixel(PixelFormat format);
// Row length in bytes: rows are padded to whole 32-bit words.
size_t rowBytesFor(int width, PixelFormat format);
// Throws KeltoError unless a bitmap of this size may be allocated.
void checkBitmapSize(int64_t width, int64_t height);

// A device-independent bitmap: rows top row first, 32-bit aligned, with a palette for the 1, 4
// and 8-bit formats. Copyable value type.
class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height, PixelFormat format);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool empty() const { return m_width == 0 || m_height == 0; }
    PixelFormat format() const { return m_format; }
    size_t rowBytes() const { return m_rowBytes; }

    uint8_t* row(int y) { return m_bits.data() + size_t(y) * m_rowBytes; }
    const uint8_t* row(int y) const { return m_bits.data() + size_t(y) * m_rowBytes; }
    uint8_t* bits() { return m_bits.data(); }
    const uint8_t* bits() const { return m_bits.data(); }
    size_t byteCount() const { return m_bits.size(); }

    // Entries are 0x00RRGGBB words (blue byte first in memory, as in BMP colour tables).
    const std::vector<uint32_t>& palette() const { return m_palette; }
    void setPalette(std::vector<uint32_t> palette) { m_palette = std::move(palette); }

    void assign(const Bitmap& source) { *this = source; }
    // New size and format with all pixel bytes zero; the palette is kept.
    void reset(int width, int height, PixelFormat format);
    // Changes the size keeping the pixels anchored at the top-left corner; added pixels get
    // fillValue (a raw pixel value: palette index, 16-bit word or 0x00RRGGBB).
    void setSize(int width, int height, uint32_t fillValue = 0);
    // Converts to 24 or 32 bits from any format (other targets throw).
    void convertTo(PixelFormat format);

    // The stored value: palette index, 16-bit word or 0x00RRGGBB.
    uint32_t rawPixel(int x, int y) const;
    void setRawPixel(int x, int y, uint32_t value);
    // The pixel's colour as 0x00RRGGBB (through the palette; unknown indices read black).
    uint32_t pixel32(int x, int y) const;
    // Fills every pixel with a raw value.
    void fill(uint32_t value);

    // A QImage sharing this 32-bit bitmap's memory, for QPainter. Valid until the bitmap is
    // resized or destroyed. Throws for other formats.
    QImage view();

    bool operator==(const Bitmap&) const = default;

private:
    int m_width = 0;
    int m_height = 0;
    PixelFormat m_format = PixelFormat::Bits24;
    size_t m_rowBytes = 0;
    std::vector<uint8_t> m_bits;
    std::vector<uint32_t> m_palette;
};

// Sets a painter up as the program draws: aliased, round pen caps.
void setUpPainter(QPainter& painter);

} // namespace kelto

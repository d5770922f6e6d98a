#include "graphics/imagecodecs.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace kelto {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

uint32_t u32At(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
uint16_t u16At(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

[[noreturn]] void bad(const char* what) {
    throw KeltoError(std::string("Invalid bitmap: ") + what);
}

PixelFormat formatFor(int bpp, uint32_t compression, const uint32_t masks[3]) {
    switch (bpp) {
    case 1:
        return PixelFormat::Bits1;
    case 4:
        return PixelFormat::Bits4;
    case 8:
        return PixelFormat::Bits8;
    case 24:
        return PixelFormat::Bits24;
    case 16:
        if (compression == kBiRgb ||
            (masks[0] == 0x7C00 && masks[1] == 0x3E0 && masks[2] == 0x1F)) {
            return PixelFormat::Bits15;
        }
        if (masks[0] == 0xF800 && masks[1] == 0x7E0 && masks[2] == 0x1F) {
            return PixelFormat::Bits16;
        }
        bad("unsupported 16-bit colour masks");
    case 32:
        if (compression == kBiRgb ||
            (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)) {
            return PixelFormat::Bits32;
        }
        bad("unsupported 32-bit colour masks");
    default:
        bad("unsupported bits per pixel");
    }
}

// Expands run-length encoded rows (8 bits: one index per pixel; 4 bits: two indices per byte,
// high nibble first) into a bottom-up palette bitmap. A count byte above zero repeats the value
// byte; a zero count byte escapes: 0 ends the line, 1 ends the bitmap, 2 moves the cursor right
// and up by the next two bytes, and 3 or more copies that many pixels from the stream, padded
// to a whole 16-bit word. Pixels the stream skips keep index 0.
//
// Damage is refused rather than guessed around: a run or a move that leaves the picture, or a
// stream that stops while rows are still open. A stream whose end-of-bitmap is missing after
// every row was ended is accepted, since no pixel is lost.
class RleDecoder {
public:
    RleDecoder(Bitmap& bitmap, const uint8_t* data, size_t size, bool fourBit)
        : m_bitmap(bitmap), m_data(data), m_size(size), m_fourBit(fourBit) {}

    void decode() {
        const int height = m_bitmap.height();
        while (m_pos + 2 <= m_size || m_line < height) {
            const uint8_t count = next();
            const uint8_t value = next();
            if (count > 0) {
                repeat(count, value);
            } else if (value == 0) {
                m_x = 0;
                m_line = std::min(m_line + 1, height);
            } else if (value == 1) {
                return;
            } else if (value == 2) {
                move();
            } else {
                copyAbsolute(value);
            }
        }
    }

private:
    uint8_t next() {
        if (m_pos >= m_size) {
            bad("compressed pixel data ends early");
        }
        return m_data[m_pos++];
    }

    // The row the cursor is on, after checking that count pixels fit on it.
    uint8_t* rowFor(int count) {
        if (m_line >= m_bitmap.height()) {
            bad("compressed pixels beyond the last row");
        }
        if (count > m_bitmap.width() - m_x) {
            bad("compressed run past the end of a row");
        }
        return m_bitmap.row(m_bitmap.height() - 1 - m_line);
    }

    void set(uint8_t* row, int x, uint8_t index) const {
        if (!m_fourBit) {
            row[x] = index;
            return;
        }
        uint8_t& b = row[x >> 1];
        b = (x & 1) ? uint8_t((b & 0xF0) | (index & 0x0F)) : uint8_t((b & 0x0F) | (index << 4));
    }

    void repeat(int count, uint8_t value) {
        uint8_t* row = rowFor(count);
        for (int i = 0; i < count; ++i) {
            set(row, m_x + i, m_fourBit ? uint8_t((i & 1) ? value & 0x0F : value >> 4) : value);
        }
        m_x += count;
    }

    void copyAbsolute(int count) {
        uint8_t* row = rowFor(count);
        const size_t bytes = m_fourBit ? size_t(count + 1) / 2 : size_t(count);
        const size_t padded = bytes + (bytes & 1);
        if (m_size - m_pos < padded) {
            bad("compressed pixel data ends early");
        }
        const uint8_t* src = m_data + m_pos;
        for (int i = 0; i < count; ++i) {
            set(row, m_x + i,
                m_fourBit ? uint8_t((i & 1) ? src[i >> 1] & 0x0F : src[i >> 1] >> 4) : src[i]);
        }
        m_x += count;
        m_pos += padded;
    }

    void move() {
        const int dx = next();
        const int dy = next();
        if (dx > m_bitmap.width() - m_x || dy >= m_bitmap.height() - m_line) {
            bad("compressed data moves outside the picture");
        }
        m_x += dx;
        m_line += dy;
    }

    Bitmap& m_bitmap;
    const uint8_t* m_data;
    size_t m_size;
    bool m_fourBit;
    size_t m_pos = 0;
    int m_x = 0;
    int m_line = 0; // counted from the bottom row, as the stream runs
};

// Parses one BMP held in exactly `size` bytes.
Bitmap parseBmp(const uint8_t* p, size_t size) {
    if (size < kFileHeaderSize + 12 || p[0] != 'B' || p[1] != 'M') {
        bad("no BMP header");
    }
    const uint32_t offBits = u32At(p + 10);
    const uint32_t infoSize = u32At(p + 14);
    if (infoSize != 12 && (infoSize < 40 || infoSize > 1024)) {
        bad("unknown info header");
    }
    if (infoSize > size - kFileHeaderSize) {
        bad("truncated info header");
    }
    const uint8_t* info = p + kFileHeaderSize;
    int64_t width, height;
    int bpp;
    uint32_t compression = kBiRgb, colorsUsed = 0;
    size_t paletteEntrySize = 4;
    if (infoSize == 12) {
        width = u16At(info + 4);
        height = u16At(info + 6);
        bpp = u16At(info + 10);
        paletteEntrySize = 3;
    } else {
        width = int32_t(u32At(info + 4));
        height = int32_t(u32At(info + 8));
        bpp = u16At(info + 14);
        compression = u32At(info + 16);
        colorsUsed = u32At(info + 32);
    }
    const bool topDown = height < 0;
    height = topDown ? -height : height;
    if (width < 0) {
        bad("negative width");
    }
    checkBitmapSize(width, height);
    const bool rle = compression == kBiRle8 || compression == kBiRle4;
    if (compression != kBiRgb && compression != kBiBitfields && !rle) {
        bad("unsupported compression");
    }
    if (rle && bpp != (compression == kBiRle8 ? 8 : 4)) {
        bad("run-length compression for another pixel depth");
    }
    if (rle && topDown) {
        bad("run-length compressed rows must run bottom-up");
    }
    size_t cursor = kFileHeaderSize + infoSize;
    uint32_t masks[3] = {0, 0, 0};
    if (compression == kBiBitfields) {
        if (bpp != 16 && bpp != 32) {
            bad("colour masks on a palette bitmap");
        }
        const uint8_t* m = info + 40;
        if (infoSize < 52) {
            if (size - cursor < 12) {
                bad("truncated colour masks");
            }
            m = p + cursor;
            cursor += 12;
        }
        for (int i = 0; i < 3; ++i) {
            masks[i] = u32At(m + 4 * i);
        }
    }
    const PixelFormat format = formatFor(bpp, compression, masks);
    std::vector<uint32_t> palette;
    if (isPaletteFormat(format)) {
        const uint32_t maxColours = 1u << bpp;
        const uint32_t count = colorsUsed == 0 ? maxColours : colorsUsed;
        if (count > maxColours) {
            bad("colour table too long");
        }
        if (count * paletteEntrySize > size - cursor) {
            bad("truncated colour table");
        }
        palette.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* e = p + cursor + i * paletteEntrySize;
            palette[i] = uint32_t(e[0]) | (uint32_t(e[1]) << 8) | (uint32_t(e[2]) << 16);
        }
        cursor += count * paletteEntrySize;
    }
    const size_t stride = rowBytesFor(int(width), format);
    if (offBits < kFileHeaderSize + infoSize || offBits > size ||
        (!rle && stride * size_t(height) > size - offBits)) {
        bad("pixel data outside the file");
    }
    Bitmap bitmap(int(width), int(height), format);
    bitmap.setPalette(std::move(palette));
    if (rle) {
        // The stream runs to the end of the file: the image-size field is often 0 or wrong.
        RleDecoder(bitmap, p + offBits, size - offBits, compression == kBiRle4).decode();
        return bitmap;
    }
    for (int64_t i = 0; i < height && stride > 0; ++i) {
        const int y = int(topDown ? i : height - 1 - i);
        std::memcpy(bitmap.row(y), p + offBits + size_t(i) * stride, stride);
    }
    return bitmap;
}

} // namespace

Bitmap readBmp(ByteReader& reader) {
    // Checked before the size is taken, so that nonsense is refused before it is read in full.
    const uint8_t* head = reader.peek(kFileHeaderSize);
    if (head[0] != 'B' || head[1] != 'M') {
        bad("no BMP header");
    }
    const uint32_t total = u32At(head + 2);
    if (total < kFileHeaderSize + 12) {
        bad("file size too small");
    }
    const uint8_t* p = reader.take(total);
    return parseBmp(p, total);
}

Bitmap readBmpFile(const uint8_t* data, size_t size) {
    return parseBmp(data, size);
}

void writeBmp(const Bitmap& bitmap, ByteWriter& writer) {
    const PixelFormat format = bitmap.format();
    const bool masks = format == PixelFormat::Bits16;
    std::vector<uint32_t> palette;
    uint32_t colorsUsed = 0;
    if (isPaletteFormat(format)) {
        const size_t maxColours = size_t(1) << bitsPerPixel(format);
        palette = bitmap.palette();
        if (palette.size() > maxColours) {
            palette.resize(maxColours);
        }
        if (palette.empty() || palette.size() == maxColours) {
            palette.resize(maxColours, 0);
        } else {
            colorsUsed = uint32_t(palette.size());
        }
    }
    const size_t stride = bitmap.rowBytes();
    const size_t offBits = kFileHeaderSize + 40 + (masks ? 12 : 0) + 4 * palette.size();
    const size_t total = offBits + stride * size_t(bitmap.height());
    writer.put<uint8_t>('B');
    writer.put<uint8_t>('M');
    writer.put<uint32_t>(uint32_t(total));
    writer.put<uint32_t>(0);
    writer.put<uint32_t>(uint32_t(offBits));
    writer.put<uint32_t>(40);
    writer.put<int32_t>(bitmap.width());
    writer.put<int32_t>(bitmap.height());
    writer.put<uint16_t>(1);
    writer.put<uint16_t>(uint16_t(bitsPerPixel(format)));
    writer.put<uint32_t>(masks ? kBiBitfields : kBiRgb);
    writer.put<uint32_t>(uint32_t(stride * size_t(bitmap.height())));
    writer.put<int32_t>(0);
    writer.put<int32_t>(0);
    writer.put<uint32_t>(colorsUsed);
    writer.put<uint32_t>(0);
    if (masks) {
        writer.put<uint32_t>(0xF800);
        writer.put<uint32_t>(0x07E0);
        writer.put<uint32_t>(0x001F);
    }
    for (uint32_t c : palette) {
        writer.put<uint32_t>(c & 0xFFFFFF);
    }
    for (int y = bitmap.height() - 1; y >= 0; --y) {
        writer.putBytes(bitmap.row(y), stride);
    }
}

} // namespace kelto

#include "graphics/imagecodecs.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace kelto {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kBiRgb = 0;
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
    if (compression != kBiRgb && compression != kBiBitfields) {
        bad("compressed bitmaps are not supported");
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
        stride * size_t(height) > size - offBits) {
        bad("pixel data outside the file");
    }
    Bitmap bitmap(int(width), int(height), format);
    bitmap.setPalette(std::move(palette));
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

#include "graphics/bitmap.h"

#include "base/error.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace kelto {

bool isPaletteFormat(PixelFormat format) {
    return format == PixelFormat::Bits1 || format == PixelFormat::Bits4 ||
           format == PixelFormat::Bits8;
}

int bitsPerPixel(PixelFormat format) {
    return format == PixelFormat::Bits15 ? 16 : static_cast<int>(format);
}

size_t rowBytesFor(int width, PixelFormat format) {
    return ((size_t(width) * size_t(bitsPerPixel(format)) + 31) / 32) * 4;
}

void checkBitmapSize(int64_t width, int64_t height) {
    if (width < 0 || height < 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
        width * height > kMaxBitmapPixels) {
        throw KeltoError("Picture dimensions out of range");
    }
}

Bitmap::Bitmap(int width, int height, PixelFormat format) {
    reset(width, height, format);
}

void Bitmap::reset(int width, int height, PixelFormat format) {
    checkBitmapSize(width, height);
    m_width = width;
    m_height = height;
    m_format = format;
    m_rowBytes = rowBytesFor(width, format);
    m_bits.assign(m_rowBytes * size_t(height), 0);
    if (!isPaletteFormat(format)) {
        m_palette.clear();
    }
}

uint32_t Bitmap::rawPixel(int x, int y) const {
    const uint8_t* r = row(y);
    switch (m_format) {
    case PixelFormat::Bits1:
        return (r[x >> 3] >> (7 - (x & 7))) & 1;
    case PixelFormat::Bits4:
        return (x & 1) ? (r[x >> 1] & 0x0F) : (r[x >> 1] >> 4);
    case PixelFormat::Bits8:
        return r[x];
    case PixelFormat::Bits15:
    case PixelFormat::Bits16:
        return uint32_t(r[2 * x]) | (uint32_t(r[2 * x + 1]) << 8);
    case PixelFormat::Bits24:
        return uint32_t(r[3 * x]) | (uint32_t(r[3 * x + 1]) << 8) | (uint32_t(r[3 * x + 2]) << 16);
    case PixelFormat::Bits32: {
        uint32_t v;
        std::memcpy(&v, r + 4 * size_t(x), 4);
        return v;
    }
    }
    return 0;
}

void Bitmap::setRawPixel(int x, int y, uint32_t value) {
    uint8_t* r = row(y);
    switch (m_format) {
    case PixelFormat::Bits1: {
        const uint8_t mask = uint8_t(0x80 >> (x & 7));
        r[x >> 3] = (value & 1) ? (r[x >> 3] | mask) : (r[x >> 3] & ~mask);
        break;
    }
    case PixelFormat::Bits4:
        if (x & 1) {
            r[x >> 1] = uint8_t((r[x >> 1] & 0xF0) | (value & 0x0F));
        } else {
            r[x >> 1] = uint8_t((r[x >> 1] & 0x0F) | ((value & 0x0F) << 4));
        }
        break;
    case PixelFormat::Bits8:
        r[x] = uint8_t(value);
        break;
    case PixelFormat::Bits15:
    case PixelFormat::Bits16:
        r[2 * x] = uint8_t(value);
        r[2 * x + 1] = uint8_t(value >> 8);
        break;
    case PixelFormat::Bits24:
        r[3 * x] = uint8_t(value);
        r[3 * x + 1] = uint8_t(value >> 8);
        r[3 * x + 2] = uint8_t(value >> 16);
        break;
    case PixelFormat::Bits32:
        std::memcpy(r + 4 * size_t(x), &value, 4);
        break;
    }
}

namespace {

uint32_t expand5(uint32_t v) {
    return (v << 3) | (v >> 2);
}
uint32_t expand6(uint32_t v) {
    return (v << 2) | (v >> 4);
}

} // namespace

uint32_t Bitmap::pixel32(int x, int y) const {
    const uint32_t v = rawPixel(x, y);
    switch (m_format) {
    case PixelFormat::Bits1:
    case PixelFormat::Bits4:
    case PixelFormat::Bits8:
        return v < m_palette.size() ? (m_palette[v] & 0xFFFFFF) : 0;
    case PixelFormat::Bits15:
        return (expand5((v >> 10) & 31) << 16) | (expand5((v >> 5) & 31) << 8) | expand5(v & 31);
    case PixelFormat::Bits16:
        return (expand5((v >> 11) & 31) << 16) | (expand6((v >> 5) & 63) << 8) | expand5(v & 31);
    case PixelFormat::Bits24:
        return v;
    case PixelFormat::Bits32:
        return v & 0xFFFFFF;
    }
    return 0;
}

void Bitmap::fill(uint32_t value) {
    if (empty()) {
        return;
    }
    for (int x = 0; x < m_width; ++x) {
        setRawPixel(x, 0, value);
    }
    for (int y = 1; y < m_height; ++y) {
        std::memcpy(row(y), row(0), m_rowBytes);
    }
}

void Bitmap::setSize(int width, int height, uint32_t fillValue) {
    if (width == m_width && height == m_height) {
        return;
    }
    Bitmap old = std::move(*this);
    *this = Bitmap();
    m_palette = old.m_palette;
    reset(width, height, old.m_format);
    fill(fillValue);
    const int w = std::min(width, old.m_width);
    const int h = std::min(height, old.m_height);
    if (w == 0) {
        return;
    }
    const size_t fullBytes = size_t(w) * size_t(bitsPerPixel(m_format)) / 8;
    for (int y = 0; y < h; ++y) {
        std::memcpy(row(y), old.row(y), fullBytes);
        // A partial last byte of a 1/4-bit row is copied pixel by pixel.
        for (int x = int(fullBytes * 8 / size_t(bitsPerPixel(m_format))); x < w; ++x) {
            setRawPixel(x, y, old.rawPixel(x, y));
        }
    }
}

void Bitmap::convertTo(PixelFormat format) {
    if (format == m_format) {
        return;
    }
    if (format != PixelFormat::Bits24 && format != PixelFormat::Bits32) {
        throw KeltoError("Unsupported bitmap conversion");
    }
    Bitmap out(m_width, m_height, format);
    for (int y = 0; y < m_height; ++y) {
        uint8_t* d = out.row(y);
        if (m_format == PixelFormat::Bits24 && format == PixelFormat::Bits32) {
            const uint8_t* s = row(y);
            for (int x = 0; x < m_width; ++x) {
                d[4 * x] = s[3 * x];
                d[4 * x + 1] = s[3 * x + 1];
                d[4 * x + 2] = s[3 * x + 2];
            }
            continue;
        }
        if (m_format == PixelFormat::Bits32 && format == PixelFormat::Bits24) {
            const uint8_t* s = row(y);
            for (int x = 0; x < m_width; ++x) {
                d[3 * x] = s[4 * x];
                d[3 * x + 1] = s[4 * x + 1];
                d[3 * x + 2] = s[4 * x + 2];
            }
            continue;
        }
        for (int x = 0; x < m_width; ++x) {
            out.setRawPixel(x, y, pixel32(x, y));
        }
    }
    *this = std::move(out);
}

QImage Bitmap::view() {
    if (m_format != PixelFormat::Bits32) {
        throw KeltoError("Only 32-bit bitmaps can be painted on");
    }
    if (empty()) {
        return QImage();
    }
    return QImage(m_bits.data(), m_width, m_height, qsizetype(m_rowBytes), QImage::Format_RGB32);
}

void setUpPainter(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen = painter.pen();
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
}

} // namespace kelto

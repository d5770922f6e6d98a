#include "graphics/sprite.h"

#include "graphics/imagearray.h"
#include "graphics/imagecodecs.h"
#include "graphics/palettereduction.h"
#include "model/geometry.h"

#include <cmath>
#include <cstring>

namespace kelto {

void Sprite::checkSide(const Bitmap& bitmap) {
    if (bitmap.width() > kMaxSide || bitmap.height() > kMaxSide) {
        throw KeltoError("Picture too large for a sprite");
    }
}

void Sprite::setFromBitmap(const Bitmap& source) {
    checkSide(source);
    Bitmap bitmap = source;
    const PixelFormat f = bitmap.format();
    if (f != PixelFormat::Bits1 && f != PixelFormat::Bits4 && f != PixelFormat::Bits8 &&
        f != PixelFormat::Bits16 && f != PixelFormat::Bits24) {
        bitmap.convertTo(PixelFormat::Bits24);
    }
    reducePalette(bitmap);
    m_keyColour = bitmap.empty() ? 0 : pixelToColour(bitmap.pixel32(0, bitmap.height() - 1));
    m_bitmap = std::move(bitmap);
}

void Sprite::setFromColumnData(const ImageArray& columns) {
    Bitmap bitmap = columns.toBitmap();
    checkSide(bitmap);
    m_keyColour = columns.keyColour;
    m_bitmap = std::move(bitmap);
}

void Sprite::write(ByteWriter& writer) const {
    writer.put<uint32_t>(m_keyColour);
    writeBmp(m_bitmap, writer);
}

void Sprite::read(ByteReader& reader) {
    const uint32_t key = reader.get<uint32_t>();
    Bitmap bitmap = readBmp(reader);
    checkSide(bitmap);
    m_keyColour = key;
    m_bitmap = std::move(bitmap);
}

void Sprite::readOld(ByteReader& reader) {
    ImageArray columns;
    columns.read(reader);
    setFromColumnData(columns);
}

namespace {

// Pixel access per format; targets are freshly zeroed, so packed formats only OR bits in and
// the unused bits at the end of a row stay 0.
struct Px24 {
    static uint32_t get(const uint8_t* r, int x) {
        return uint32_t(r[3 * x]) | (uint32_t(r[3 * x + 1]) << 8) | (uint32_t(r[3 * x + 2]) << 16);
    }
    static void put(uint8_t* r, int x, uint32_t v) {
        r[3 * x] = uint8_t(v);
        r[3 * x + 1] = uint8_t(v >> 8);
        r[3 * x + 2] = uint8_t(v >> 16);
    }
};
struct Px16 {
    static uint32_t get(const uint8_t* r, int x) {
        return uint32_t(r[2 * x]) | (uint32_t(r[2 * x + 1]) << 8);
    }
    static void put(uint8_t* r, int x, uint32_t v) {
        r[2 * x] = uint8_t(v);
        r[2 * x + 1] = uint8_t(v >> 8);
    }
};
struct Px8 {
    static uint32_t get(const uint8_t* r, int x) { return r[x]; }
    static void put(uint8_t* r, int x, uint32_t v) { r[x] = uint8_t(v); }
};
struct Px4 {
    static uint32_t get(const uint8_t* r, int x) { return (r[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F; }
    static void put(uint8_t* r, int x, uint32_t v) { r[x >> 1] |= uint8_t(v << ((x & 1) ? 0 : 4)); }
};
struct Px1 {
    static uint32_t get(const uint8_t* r, int x) { return (r[x >> 3] >> (7 - (x & 7))) & 1; }
    static void put(uint8_t* r, int x, uint32_t v) { r[x >> 3] |= uint8_t(v << (7 - (x & 7))); }
};

struct Transform {
    int w = 0, d = 0;      // target size
    bool straight = false; // angle exactly 0
    int64_t g = 0;         // 16.16 source step of the unturned case
    int64_t a = 0, b = 0;  // 16.16 cos / scale and sin / scale
};

// All products are 64-bit: with 32 bits a*u overflows for pictures wider than about 16000.
template <class Px>
void resample(const Bitmap& src, Bitmap& dst, const Transform& t, bool mirror) {
    const int W = src.width();
    const int H = src.height();
    const uint32_t fillValue = Px::get(src.row(H - 1), 0);
    if (t.straight) {
        for (int r = 0; r < t.d; ++r) {
            const int64_t sy = std::min<int64_t>((t.g * r) >> 16, H - 1);
            const uint8_t* s = src.row(int(sy));
            uint8_t* out = dst.row(r);
            for (int k = 0; k < t.w; ++k) {
                int64_t sx = std::min<int64_t>((t.g * k) >> 16, W - 1);
                if (mirror) {
                    sx = W - 1 - sx;
                }
                Px::put(out, k, Px::get(s, int(sx)));
            }
        }
        return;
    }
    for (int r = 0; r < t.d; ++r) {
        const int64_t v = 2 * int64_t(r) + 1 - t.d;
        const int64_t u0 = 1 - int64_t(t.w);
        int64_t X = t.a * u0 - t.b * v;
        int64_t Y = t.b * u0 + t.a * v;
        uint8_t* out = dst.row(r);
        for (int k = 0; k < t.w; ++k, X += 2 * t.a, Y += 2 * t.b) {
            const int64_t sx = (X / 65536 + W - 1) >> 1;
            const int64_t sy = (Y / 65536 + H - 1) >> 1;
            if (sx < 0 || sx >= W || sy < 0 || sy >= H) {
                Px::put(out, k, fillValue);
                continue;
            }
            Px::put(out, k, Px::get(src.row(int(sy)), int(mirror ? W - 1 - sx : sx)));
        }
    }
}

} // namespace

std::optional<PixelPos> rotateScaleSprite(const Sprite& sprite, Bitmap& target, PixelPos anchor,
                                          bool mirror, float scale, double angle) {
    const int W = sprite.width();
    const int H = sprite.height();
    const double f = scale;
    if (!(H * f >= 0.1) || !(W * f >= 0.1) || !std::isfinite(f) || !std::isfinite(angle)) {
        return std::nullopt;
    }
    const PixelFormat format = sprite.bitmap().format();
    if (format == PixelFormat::Bits32) {
        return std::nullopt;
    }
    const double s = std::sin(angle);
    const double c = std::cos(angle);
    const double w = std::fabs(std::nearbyint(f * s * H)) + std::fabs(std::nearbyint(f * c * W));
    const double d = std::fabs(std::nearbyint(f * s * W)) + std::fabs(std::nearbyint(f * c * H));
    if (w == 0 || d == 0) {
        return std::nullopt;
    }
    checkBitmapSize(int64_t(std::min(w, 1e12)), int64_t(std::min(d, 1e12)));
    Transform t;
    t.w = int(w);
    t.d = int(d);
    t.straight = angle == 0;
    t.g = roundHalfEven(65536 / f);
    t.a = roundHalfEven(c / f * 65536);
    t.b = roundHalfEven(s / f * 65536);

    target = Bitmap();
    target.reset(t.w, t.d, format);
    target.setPalette(sprite.bitmap().palette());
    switch (format) {
    case PixelFormat::Bits24:
        resample<Px24>(sprite.bitmap(), target, t, mirror);
        break;
    case PixelFormat::Bits15:
    case PixelFormat::Bits16:
        resample<Px16>(sprite.bitmap(), target, t, mirror);
        break;
    case PixelFormat::Bits8:
        resample<Px8>(sprite.bitmap(), target, t, mirror);
        break;
    case PixelFormat::Bits4:
        resample<Px4>(sprite.bitmap(), target, t, mirror);
        break;
    case PixelFormat::Bits1:
        resample<Px1>(sprite.bitmap(), target, t, mirror);
        break;
    case PixelFormat::Bits32:
        break;
    }
    const int dx = anchor.x - W / 2;
    const int dy = anchor.y - H / 2;
    return PixelPos{int(roundHalfEven(f * (c * dx - s * dy))) + t.w / 2,
                    t.d / 2 - int(roundHalfEven(f * (s * dx + c * dy)))};
}

} // namespace kelto

#include "graphics/imagecodecs.h"
#include "graphics/palettereduction.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>

using namespace kelto;

namespace {

// A picture with a distinct colour per pixel position (up to the palette size for palette
// formats).
Bitmap pattern(int w, int h, PixelFormat format, int colours = 256) {
    Bitmap b(w, h, format);
    if (isPaletteFormat(format)) {
        const int n = std::min(colours, 1 << bitsPerPixel(format));
        std::vector<uint32_t> pal;
        for (int i = 0; i < n; ++i) {
            pal.push_back(uint32_t(i * 0x010305 + 0x203040) & 0xFFFFFF);
        }
        b.setPalette(pal);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                b.setRawPixel(x, y, uint32_t((x * 7 + y * 3) % n));
            }
        }
    } else {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint32_t v = uint32_t(x * 37 + y * 101) * 2654435761u;
                b.setRawPixel(x, y, format == PixelFormat::Bits32 ? (v & 0xFFFFFF) : v);
            }
        }
    }
    return b;
}

bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel32(x, y) != b.pixel32(x, y)) {
                return false;
            }
        }
    }
    return true;
}

std::vector<uint8_t> bmpBytes(const Bitmap& b) {
    ByteWriter w;
    writeBmp(b, w);
    return w.bytes();
}

} // namespace

TEST(Bitmap, RowsArePaddedToWholeWords) {
    EXPECT_EQ(rowBytesFor(9, PixelFormat::Bits1), 4u);
    EXPECT_EQ(rowBytesFor(33, PixelFormat::Bits1), 8u);
    EXPECT_EQ(rowBytesFor(9, PixelFormat::Bits4), 8u);
    EXPECT_EQ(rowBytesFor(5, PixelFormat::Bits24), 16u);
    EXPECT_EQ(rowBytesFor(3, PixelFormat::Bits15), 8u);
    Bitmap b(9, 2, PixelFormat::Bits4);
    b.setRawPixel(8, 1, 0xA);
    EXPECT_EQ(b.row(1)[4], 0xA0);
    EXPECT_EQ(b.rawPixel(8, 1), 0xAu);
}

TEST(Bitmap, SetSizeKeepsTopLeftAndConversionKeepsColours) {
    Bitmap b = pattern(9, 5, PixelFormat::Bits4, 16);
    const Bitmap before = b;
    b.setSize(4, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(b.rawPixel(x, y), before.rawPixel(x, y));
        }
    }
    for (PixelFormat f : {PixelFormat::Bits1, PixelFormat::Bits8, PixelFormat::Bits16,
                          PixelFormat::Bits15, PixelFormat::Bits24}) {
        const Bitmap src = pattern(7, 3, f);
        Bitmap c = src;
        c.convertTo(PixelFormat::Bits32);
        EXPECT_TRUE(samePixels(src, c));
        c.convertTo(PixelFormat::Bits24);
        EXPECT_TRUE(samePixels(src, c));
    }
    EXPECT_THROW(Bitmap(70000, 2, PixelFormat::Bits8), KeltoError);
    EXPECT_THROW(Bitmap(20000, 20000, PixelFormat::Bits8), KeltoError);
}

TEST(PaletteReduction, CollectsColoursInOrderOfFirstAppearance) {
    Bitmap b(4, 2, PixelFormat::Bits32);
    const uint32_t colours[] = {0x112233, 0x445566, 0x112233, 0x778899,
                                0x445566, 0xAABBCC, 0x112233, 0x000001};
    for (int i = 0; i < 8; ++i) {
        b.setRawPixel(i % 4, i / 4, colours[i]);
    }
    Bitmap r = b;
    reducePalette(r);
    EXPECT_EQ(r.format(), PixelFormat::Bits4);
    EXPECT_EQ(r.palette(),
              (std::vector<uint32_t>{0x112233, 0x445566, 0x778899, 0xAABBCC, 0x000001}));
    EXPECT_TRUE(samePixels(b, r));

    Bitmap two(3, 1, PixelFormat::Bits24);
    two.setRawPixel(1, 0, 0xFFFFFF);
    reducePalette(two);
    EXPECT_EQ(two.format(), PixelFormat::Bits1);
    EXPECT_EQ(two.palette(), (std::vector<uint32_t>{0, 0xFFFFFF}));
}

TEST(PaletteReduction, LimitsDependOnPictureSize) {
    // 17 colours in fewer than 512 pixels exceed the limit of 16: a 32-bit picture becomes 24.
    Bitmap small(17, 1, PixelFormat::Bits32);
    for (int x = 0; x < 17; ++x) {
        small.setRawPixel(x, 0, uint32_t(x));
    }
    reducePalette(small);
    EXPECT_EQ(small.format(), PixelFormat::Bits24);
    // The same colours in 512 pixels fit the limit of 256.
    Bitmap large(32, 16, PixelFormat::Bits24);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            large.setRawPixel(x, y, uint32_t((x + y) % 17));
        }
    }
    reducePalette(large);
    EXPECT_EQ(large.format(), PixelFormat::Bits8);
    EXPECT_EQ(large.palette().size(), 17u);
    // 257 colours stay 24-bit; 1-bit and 15-bit pictures are left alone.
    Bitmap many = pattern(257, 2, PixelFormat::Bits24);
    reducePalette(many);
    EXPECT_EQ(many.format(), PixelFormat::Bits24);
    Bitmap fifteen(2, 2, PixelFormat::Bits15);
    reducePalette(fifteen);
    EXPECT_EQ(fifteen.format(), PixelFormat::Bits15);
}

TEST(Bmp, RoundTripsEveryDepth) {
    for (PixelFormat f :
         {PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8, PixelFormat::Bits15,
          PixelFormat::Bits16, PixelFormat::Bits24, PixelFormat::Bits32}) {
        for (int w : {1, 9, 13}) {
            const Bitmap b = pattern(w, 3, f, f == PixelFormat::Bits8 ? 200 : 256);
            std::vector<uint8_t> bytes = bmpBytes(b);
            uint32_t total;
            std::memcpy(&total, bytes.data() + 2, 4);
            EXPECT_EQ(total, bytes.size());
            // Bytes after the file are left for the next reader.
            bytes.push_back(0x5A);
            ByteReader r(bytes);
            const Bitmap back = readBmp(r);
            EXPECT_EQ(r.remaining(), 1u);
            EXPECT_EQ(back.format(), f) << int(f);
            EXPECT_EQ(back, b) << "depth " << int(f) << " width " << w;
        }
    }
    const Bitmap empty;
    std::vector<uint8_t> bytes = bmpBytes(empty);
    ByteReader r(bytes);
    EXPECT_TRUE(readBmp(r).empty());
}

TEST(Bmp, HostileHeadersThrow) {
    const std::vector<uint8_t> good = bmpBytes(pattern(5, 4, PixelFormat::Bits8, 10));
    // Every truncation fails cleanly.
    for (size_t n = 0; n < good.size(); ++n) {
        ByteReader r(good.data(), n);
        EXPECT_THROW(readBmp(r), KeltoError) << n;
    }
    auto patched = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> b = good;
        std::memcpy(b.data() + at, &value, 4);
        return b;
    };
    const std::vector<std::vector<uint8_t>> bad = {
        patched(2, 0xFFFFFFF0u),  // total size beyond the data
        patched(2, 20),           // total size too small for the headers
        patched(10, 0xFFFFFF00u), // pixels outside the file
        patched(14, 7),           // unknown info header
        patched(18, 0x7FFFFFFF),  // width
        patched(22, 0x80000000u), // height
        patched(18, 3000),        // rows beyond the bytes present
        patched(30, 4),           // JPEG-compressed rows
        patched(46, 300),         // colour table longer than 256
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        ByteReader r(bad[i]);
        EXPECT_THROW(readBmp(r), KeltoError) << i;
        // A file on its own is bounded by its length, not by the total-size field.
        if (i >= 2) {
            EXPECT_THROW(readBmpFile(bad[i].data(), bad[i].size()), KeltoError) << i;
        }
    }
}

TEST(Png, RoundTripsThroughLibpng) {
    for (PixelFormat f : {PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8,
                          PixelFormat::Bits16, PixelFormat::Bits24, PixelFormat::Bits32}) {
        const Bitmap b = pattern(23, 11, f, 100);
        const std::vector<uint8_t> png = encodePng(b);
        Bitmap back = decodePng(png.data(), png.size());
        EXPECT_EQ(back.format(), PixelFormat::Bits24);
        EXPECT_TRUE(samePixels(b, back)) << int(f);
        if (isPaletteFormat(f)) {
            // The palette comes back through the reduction in first-appearance order.
            reducePalette(back);
            EXPECT_TRUE(samePixels(b, back));
            EXPECT_LE(back.palette().size(), b.palette().size());
        }
    }
}

TEST(Jpeg, RoundTripsThroughLibjpegWithinQuality) {
    Bitmap b(40, 24, PixelFormat::Bits24);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 40; ++x) {
            b.setRawPixel(x, y, uint32_t(x * 6) | (uint32_t(y * 10) << 8) | (0x80u << 16));
        }
    }
    const std::vector<uint8_t> high = encodeJpeg(b, 100);
    const std::vector<uint8_t> low = encodeJpeg(b, 0);
    EXPECT_LT(low.size(), high.size());
    const Bitmap back = decodeJpeg(high.data(), high.size());
    ASSERT_EQ(back.width(), 40);
    ASSERT_EQ(back.height(), 24);
    int worst = 0;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 40; ++x) {
            const uint32_t p = b.pixel32(x, y), q = back.pixel32(x, y);
            for (int s = 0; s < 24; s += 8) {
                worst = std::max(worst, std::abs(int((p >> s) & 0xFF) - int((q >> s) & 0xFF)));
            }
        }
    }
    EXPECT_LE(worst, 6);
}

namespace {

int gifWrite(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// A GIF written by giflib itself: one image at (left, top) on a screen of sw x sh.
std::vector<uint8_t> makeGif(int sw, int sh, int left, int top, const Bitmap& image,
                             bool interlace) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, gifWrite, &error);
    int size = 2;
    while (size < int(image.palette().size())) {
        size *= 2;
    }
    ColorMapObject* map = GifMakeMapObject(size, nullptr);
    for (size_t i = 0; i < image.palette().size(); ++i) {
        const uint32_t c = image.palette()[i];
        map->Colors[i] = {GifByteType(c >> 16), GifByteType(c >> 8), GifByteType(c)};
    }
    EGifPutScreenDesc(gif, sw, sh, 8, 1, map);
    EGifPutImageDesc(gif, left, top, image.width(), image.height(), interlace, nullptr);
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    std::vector<GifPixelType> line(size_t(image.width()));
    auto put = [&](int y) {
        for (int x = 0; x < image.width(); ++x) {
            line[size_t(x)] = GifPixelType(image.rawPixel(x, y));
        }
        EGifPutLine(gif, line.data(), image.width());
    };
    if (interlace) {
        for (int p = 0; p < 4; ++p) {
            for (int y = starts[p]; y < image.height(); y += steps[p]) {
                put(y);
            }
        }
    } else {
        for (int y = 0; y < image.height(); ++y) {
            put(y);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

} // namespace

TEST(Gif, FirstImageRoundTripsThroughGiflib) {
    for (int colours : {2, 16, 256}) {
        for (bool interlace : {false, true}) {
            const Bitmap image = pattern(21, 13, PixelFormat::Bits8, colours);
            const std::vector<uint8_t> gif = makeGif(21, 13, 0, 0, image, interlace);
            const Bitmap back = decodeGif(gif.data(), gif.size());
            EXPECT_EQ(back.format(), PixelFormat::Bits8);
            EXPECT_EQ(back.palette().size(), size_t(colours));
            EXPECT_TRUE(samePixels(image, back)) << colours << interlace;
        }
    }
    // A smaller first image sits at its place on the screen; the rest is the background.
    const Bitmap image = pattern(5, 4, PixelFormat::Bits8, 4);
    const std::vector<uint8_t> gif = makeGif(10, 8, 3, 2, image, false);
    const Bitmap back = decodeGif(gif.data(), gif.size());
    EXPECT_EQ(back.width(), 10);
    EXPECT_EQ(back.rawPixel(0, 0), 1u); // the screen's background index
    EXPECT_EQ(back.rawPixel(3 + 4, 2 + 3), image.rawPixel(4, 3));
}

TEST(Codecs, TruncatedAndDamagedInputsThrow) {
    const Bitmap b = pattern(30, 20, PixelFormat::Bits24);
    const Bitmap p8 = pattern(30, 20, PixelFormat::Bits8, 50);
    const std::vector<uint8_t> png = encodePng(b);
    const std::vector<uint8_t> jpg = encodeJpeg(b, 80);
    const std::vector<uint8_t> gif = makeGif(30, 20, 0, 0, p8, false);
    for (size_t n = 0; n + 1 < png.size(); n += 3) {
        EXPECT_THROW(decodePng(png.data(), n), KeltoError) << n;
    }
    for (size_t n = 0; n + 2 < jpg.size(); n += 3) {
        EXPECT_THROW(decodeJpeg(jpg.data(), n), KeltoError) << n;
    }
    for (size_t n = 0; n + 1 < gif.size(); n += 3) {
        EXPECT_THROW(decodeGif(gif.data(), n), KeltoError) << n;
    }
    // A PNG header claiming a huge picture is refused before its pixels are allocated.
    std::vector<uint8_t> huge = png;
    const uint8_t dims[8] = {0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF};
    std::memcpy(huge.data() + 16, dims, 8);
    EXPECT_THROW(decodePng(huge.data(), huge.size()), KeltoError);
    // So is a GIF image claiming far more pixels than its data can hold, and one beyond the
    // size limit.
    for (uint16_t side : {uint16_t(8000), uint16_t(65000)}) {
        std::vector<uint8_t> big = gif;
        const size_t desc = 13 + 3 * 64; // header, screen, 64-entry colour table
        ASSERT_EQ(big[desc], 0x2C);
        for (size_t at : {size_t(6), size_t(8), desc + 5, desc + 7}) {
            std::memcpy(big.data() + at, &side, 2);
        }
        EXPECT_THROW(decodeGif(big.data(), big.size()), KeltoError);
    }
    // Damaged bytes never crash; they either decode or throw.
    for (size_t at = 0; at < jpg.size(); at += 7) {
        std::vector<uint8_t> d = jpg;
        d[at] ^= 0xA5;
        try {
            decodeJpeg(d.data(), d.size());
        } catch (const KeltoError&) {
        }
    }
}

#include "graphics/imagearray.h"
#include "graphics/imagecodecs.h"
#include "graphics/imagegeneral.h"
#include "graphics/sprite.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cmath>
#include <fstream>

using namespace kelto;

namespace {

Bitmap numbered(int w, int h, PixelFormat format) {
    Bitmap b(w, h, format);
    if (isPaletteFormat(format)) {
        const int n = 1 << bitsPerPixel(format);
        std::vector<uint32_t> pal;
        for (int i = 0; i < n; ++i) {
            pal.push_back(uint32_t(i * 0x010101));
        }
        b.setPalette(pal);
    }
    const uint32_t mask = format == PixelFormat::Bits1      ? 1
                          : format == PixelFormat::Bits4    ? 15
                          : format == PixelFormat::Bits8    ? 255
                          : (format == PixelFormat::Bits16) ? 0xFFFF
                                                            : 0xFFFFFF;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            b.setRawPixel(x, y, uint32_t(x * 31 + y * 17 + 5) & mask);
        }
    }
    return b;
}

// A sprite holding exactly this bitmap (no palette reduction), through the record reader.
Sprite spriteOf(const Bitmap& b, uint32_t key = 0) {
    ByteWriter w;
    w.put<uint32_t>(key);
    writeBmp(b, w);
    ByteReader r(w.bytes());
    Sprite s;
    s.read(r);
    return s;
}

} // namespace

TEST(RotateScaleSprite, UnturnedUnscaledIsAnExactCopyWithAnchorAtTheBottom) {
    for (PixelFormat f : {PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8,
                          PixelFormat::Bits16, PixelFormat::Bits24}) {
        const Bitmap b = numbered(9, 7, f);
        const Sprite s = spriteOf(b);
        Bitmap target;
        const auto anchor = rotateScaleSprite(s, target, {0, 0}, false, 1.0f, 0.0);
        ASSERT_TRUE(anchor);
        EXPECT_EQ(target, b) << int(f);
        EXPECT_EQ(*anchor, (PixelPos{0, 2 * (7 / 2)}));
    }
    // Mirroring reverses each row.
    const Bitmap b = numbered(5, 3, PixelFormat::Bits24);
    Bitmap target;
    rotateScaleSprite(spriteOf(b), target, {0, 0}, true, 1.0f, 0.0);
    EXPECT_EQ(target.rawPixel(0, 1), b.rawPixel(4, 1));
}

TEST(RotateScaleSprite, QuarterTurnSwapsTheSidesAndReportsTheCorner) {
    const Bitmap b = numbered(40, 20, PixelFormat::Bits24);
    Bitmap target;
    const auto anchor = rotateScaleSprite(spriteOf(b), target, {0, 0}, false, 1.0f, kPi / 2);
    ASSERT_TRUE(anchor);
    EXPECT_EQ(target.width(), 20);
    EXPECT_EQ(target.height(), 40);
    // Turned a quarter counter-clockwise on screen, the bottom-left corner of the picture lies
    // at the bottom-right of the target, and the top-right pixel moves to the top-left.
    EXPECT_EQ(*anchor, (PixelPos{20, 40}));
    EXPECT_EQ(target.rawPixel(0, 0), b.rawPixel(39, 0));
    EXPECT_EQ(target.rawPixel(19, 39), b.rawPixel(0, 19));
    // Scaled down to nothing: no target.
    EXPECT_FALSE(rotateScaleSprite(spriteOf(b), target, {0, 0}, false, 0.001f, 0.0).has_value());
}

TEST(RotateScaleSprite, OutsidePixelsCarryTheBottomLeftValueInEveryFormat) {
    for (PixelFormat f : {PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8,
                          PixelFormat::Bits16, PixelFormat::Bits24}) {
        Bitmap b = numbered(16, 10, f);
        const uint32_t corner = f == PixelFormat::Bits1 ? 1 : 0x3;
        b.setRawPixel(0, 9, corner);
        Bitmap target;
        ASSERT_TRUE(
            rotateScaleSprite(spriteOf(b), target, {0, 0}, false, 1.0f, kPi / 6).has_value());
        EXPECT_EQ(target.format(), f);
        EXPECT_EQ(target.palette(), b.palette());
        // The target's corners lie outside the turned picture.
        for (PixelPos p :
             {PixelPos{0, 0}, PixelPos{target.width() - 1, 0}, PixelPos{0, target.height() - 1},
              PixelPos{target.width() - 1, target.height() - 1}}) {
            EXPECT_EQ(target.rawPixel(p.x, p.y), corner) << int(f);
        }
    }
}

TEST(RotateScaleSprite, PackedRowsEndInZeroBits) {
    Bitmap b(9, 4, PixelFormat::Bits1);
    b.setPalette({0, 0xFFFFFF});
    b.fill(1); // every pixel set, so any stray bit would show
    for (double angle : {0.0, 0.3}) {
        Bitmap target;
        ASSERT_TRUE(rotateScaleSprite(spriteOf(b), target, {0, 0}, false, 1.0f, angle).has_value());
        const int w = target.width();
        for (int y = 0; y < target.height(); ++y) {
            const uint8_t last = target.row(y)[(w - 1) / 8];
            const int used = (w - 1) % 8 + 1;
            EXPECT_EQ(last & (0xFF >> used), 0) << angle;
            for (size_t i = size_t((w + 7) / 8); i < target.rowBytes(); ++i) {
                EXPECT_EQ(target.row(y)[i], 0);
            }
        }
    }
}

TEST(RotateScaleSprite, WidePicturesTurnWithoutOverflow) {
    // 32-bit products overflow here; the half turn must still be an exact point reflection.
    Bitmap b(20000, 2, PixelFormat::Bits1);
    b.setPalette({0, 0xFFFFFF});
    b.setRawPixel(3, 0, 1);
    b.setRawPixel(19990, 1, 1);
    Bitmap target;
    ASSERT_TRUE(rotateScaleSprite(spriteOf(b), target, {0, 0}, false, 1.0f, kPi).has_value());
    ASSERT_EQ(target.width(), 20000);
    ASSERT_EQ(target.height(), 2);
    EXPECT_EQ(target.rawPixel(19996, 1), 1u);
    EXPECT_EQ(target.rawPixel(9, 0), 1u);
    int set = 0;
    for (int x = 0; x < 20000; ++x) {
        set += int(target.rawPixel(x, 0) + target.rawPixel(x, 1));
    }
    EXPECT_EQ(set, 2);
}

TEST(Sprite, RecordsRoundTripInBothForms) {
    Bitmap picture(12, 6, PixelFormat::Bits32);
    picture.fill(0x00FF00);
    picture.setRawPixel(0, 5, 0x123456);
    picture.setRawPixel(4, 2, 0xABCDEF);
    Sprite s;
    s.setFromBitmap(picture);
    EXPECT_EQ(s.bitmap().format(), PixelFormat::Bits4); // three colours, few pixels
    EXPECT_EQ(s.keyColour(), pixelToColour(0x123456));
    ByteWriter w;
    s.write(w);
    w.put<uint8_t>(0xEE);
    ByteReader r(w.bytes());
    Sprite back;
    back.read(r);
    EXPECT_EQ(r.remaining(), 1u);
    EXPECT_EQ(back.keyColour(), s.keyColour());
    EXPECT_EQ(back.bitmap(), s.bitmap());

    // Older form: columns, palette indices with the 256-entry palette, or BGR triples.
    for (uint8_t format : {ImageArray::kPaletteFormat, ImageArray::kColourFormat}) {
        ImageArray columns;
        columns.format = format;
        columns.width = 3;
        columns.height = 2;
        columns.keyColour = 0x00010203;
        for (int i = 0; i < 6 * columns.bytesPerPixel(); ++i) {
            columns.pixels.push_back(uint8_t(i * 11));
        }
        if (format == ImageArray::kPaletteFormat) {
            for (int i = 0; i < 256; ++i) {
                columns.palette.push_back(uint32_t(i) * 0x010203 & 0xFFFFFF);
            }
        }
        ByteWriter ow;
        columns.write(ow);
        ByteReader orr(ow.bytes());
        Sprite old;
        old.readOld(orr);
        EXPECT_EQ(orr.remaining(), 0u);
        EXPECT_EQ(old.width(), 3);
        EXPECT_EQ(old.keyColour(), 0x00010203u);
        // Pixel (x, y) comes from column x, row y.
        const int unit = columns.bytesPerPixel();
        const uint8_t* px = &columns.pixels[size_t((2 * 2 + 1) * unit)];
        if (format == ImageArray::kPaletteFormat) {
            EXPECT_EQ(old.bitmap().rawPixel(2, 1), px[0]);
            EXPECT_EQ(old.bitmap().palette()[7], 7u * 0x010203);
        } else {
            EXPECT_EQ(old.bitmap().rawPixel(2, 1), px[0] | (px[1] << 8) | (px[2] << 16));
        }
    }
}

TEST(Sprite, HostileRecordsThrowAndLeaveTheSpriteAlone) {
    Sprite s;
    s.setFromBitmap(numbered(4, 4, PixelFormat::Bits24));
    const Sprite before = s;
    ByteWriter w;
    w.put<uint8_t>(6);
    w.put<int16_t>(30000);
    w.put<int16_t>(30000);
    w.put<uint32_t>(0);
    w.put<uint32_t>(0);
    ByteReader r(w.bytes());
    EXPECT_THROW(s.readOld(r), KeltoError);
    ByteWriter neg;
    neg.put<uint8_t>(3);
    neg.put<int16_t>(-1);
    neg.put<int16_t>(2);
    neg.put<uint32_t>(0);
    ByteReader nr(neg.bytes());
    EXPECT_THROW(s.readOld(nr), KeltoError);
    ByteWriter good;
    before.write(good);
    for (size_t n = 0; n < good.size(); ++n) {
        ByteReader tr(good.bytes().data(), n);
        EXPECT_THROW(s.read(tr), KeltoError);
    }
    EXPECT_EQ(s.bitmap(), before.bitmap());
    EXPECT_THROW(s.setFromBitmap(Bitmap(40000, 1, PixelFormat::Bits8)), KeltoError);
}

TEST(ImageGeneral, RecordsRoundTripWithTheJpegEndPosition) {
    ImageGeneral bmp;
    bmp.setBitmap(numbered(10, 8, PixelFormat::Bits24));
    ImageGeneral jpg;
    jpg.setKind(ImageGeneral::kJpegKind);
    jpg.setWidth(16);
    jpg.setHeight(12);
    EXPECT_EQ(jpg.decoded().width(), 16);
    EXPECT_EQ(jpg.decoded().pixel32(15, 11), 0xFFFFFFu & jpg.decoded().pixel32(15, 11));

    ByteWriter w;
    w.put<uint8_t>(4); // a version byte ahead, as in the document record
    jpg.write(w);
    bmp.write(w);
    ImageGeneral empty;
    empty.setKind(ImageGeneral::kJpegKind);
    empty.write(w);

    ByteReader r(w.bytes());
    r.skip(1);
    ImageGeneral a, b, c;
    a.read(r);
    int64_t end;
    std::memcpy(&end, w.bytes().data() + 2, 8);
    EXPECT_EQ(size_t(end), r.pos());
    b.read(r);
    c.read(r);
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_EQ(a.imageKind(), ImageGeneral::kJpegKind);
    EXPECT_EQ(a.jpegData(), jpg.jpegData());
    EXPECT_EQ(a.width(), 16);
    EXPECT_EQ(a.height(), 12);
    EXPECT_EQ(b.bitmap(), bmp.bitmap());
    EXPECT_EQ(c.width(), 0);

    // End positions before the data or beyond the record are refused.
    for (int64_t bad : {int64_t(0), int64_t(w.size() + 1), int64_t(-5)}) {
        std::vector<uint8_t> bytes = w.bytes();
        std::memcpy(bytes.data() + 2, &bad, 8);
        ByteReader br(bytes);
        br.skip(1);
        ImageGeneral x;
        EXPECT_THROW(x.read(br), KeltoError);
    }
    std::vector<uint8_t> badKind = {7};
    ByteReader kr(badKind);
    EXPECT_THROW(a.read(kr), KeltoError);
}

TEST(ImageGeneral, SizeChangesCutAtTheBottomRight) {
    for (uint8_t kind : {ImageGeneral::kBitmapKind, ImageGeneral::kJpegKind}) {
        Bitmap b(40, 30, PixelFormat::Bits24);
        b.fill(0x000000);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 20; ++x) {
                b.setRawPixel(x, y, 0xFFFFFF);
            }
        }
        ImageGeneral img;
        img.setBitmap(b);
        if (kind == ImageGeneral::kJpegKind) {
            ImageGeneral j;
            j.setKind(ImageGeneral::kJpegKind);
            j.setWidth(40);
            j.setHeight(30);
            img = j;
        }
        img.setWidth(20);
        img.setHeight(10);
        EXPECT_EQ(img.width(), 20);
        EXPECT_EQ(img.decoded().width(), 20);
        EXPECT_EQ(img.decoded().height(), 10);
        // Enlarging again does not bring the cut pixels back: the new area is white.
        img.setWidth(40);
        img.setHeight(30);
        const Bitmap d = img.decoded();
        EXPECT_GT(d.pixel32(35, 25) & 0xFF, 0xF0u);
    }
}

TEST(ImageGeneral, RescaleStretchesUpAndBoxFiltersDown) {
    Bitmap b(100, 50, PixelFormat::Bits24);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 100; ++x) {
            b.setRawPixel(x, y, x < 50 ? 0x0000FF : 0xFF0000);
        }
    }
    ImageGeneral img;
    img.setBitmap(b);
    img.rescale(4);
    EXPECT_EQ(img.bitmap().width(), 400);
    EXPECT_EQ(img.bitmap().height(), 200);
    EXPECT_EQ(img.width(), 100); // the stored size waits for setWidth/setHeight
    EXPECT_EQ(img.bitmap().format(), PixelFormat::Bits1); // two colours after the reduction
    img.setWidth(200);
    img.setHeight(200);
    EXPECT_EQ(img.decoded().pixel32(199, 199), 0x0000FFu); // the left half remains
    img.rescale(0.5);
    EXPECT_EQ(img.bitmap().width(), 100);
    img.rescale(1); // exactly 1 leaves it alone
    EXPECT_EQ(img.bitmap().width(), 100);
}

TEST(ImageGeneral, LoadsFilesByExtension) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string base = dir.path().toStdString() + "/";
    Bitmap b(30, 20, PixelFormat::Bits24);
    b.fill(0x00AA00);
    auto save = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(base + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    };
    ByteWriter bw;
    writeBmp(b, bw);
    save("a.BMP", bw.bytes());
    save("a.png", encodePng(b));
    save("a.jpeg", encodeJpeg(b, 90));
    save("a.txt", bw.bytes());
    ImageGeneral img;
    ASSERT_TRUE(img.loadFromFile(base + "a.BMP"));
    EXPECT_EQ(img.bitmap().format(), PixelFormat::Bits1); // palette reduction after loading
    EXPECT_EQ(img.width(), 30);
    ASSERT_TRUE(img.loadFromFile(base + "a.png"));
    EXPECT_EQ(img.bitmap().format(), PixelFormat::Bits1);
    ASSERT_TRUE(img.loadFromFile(base + "a.jpeg"));
    EXPECT_EQ(img.imageKind(), ImageGeneral::kJpegKind);
    EXPECT_EQ(img.height(), 20);
    EXPECT_FALSE(img.loadFromFile(base + "a.txt"));
    EXPECT_EQ(img.width(), 0);
    EXPECT_THROW(img.loadFromFile(base + "missing.png"), KeltoError);
}

// Run-length encoded BMP files (4 and 8 bits), built byte by byte here, read through every path
// that reads bitmaps: BMP files, BMP data inside records, and picture files by extension.
#include "graphics/imagecodecs.h"
#include "graphics/imagegeneral.h"
#include "graphics/sprite.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <string>

using namespace kelto;

namespace {

constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// The colour of palette entry i, as 0x00RRGGBB.
uint32_t paletteColour(int i) {
    return uint32_t(0x102030 + 0x0B0705 * i) & 0xFFFFFF;
}

// A BMP file: file header, 40-byte info header, a colour table of `colours` entries, then the
// compressed stream.
std::vector<uint8_t> rleFile(int32_t width, int32_t height, uint16_t bpp, uint32_t compression,
                             const std::vector<uint8_t>& stream, int colours = 16) {
    std::vector<uint8_t> b = {'B', 'M'};
    const uint32_t offBits = 14 + 40 + 4 * uint32_t(colours);
    put32(b, offBits + uint32_t(stream.size()));
    put32(b, 0);
    put32(b, offBits);
    put32(b, 40);
    put32(b, uint32_t(width));
    put32(b, uint32_t(height));
    put16(b, 1);
    put16(b, bpp);
    put32(b, compression);
    put32(b, uint32_t(stream.size()));
    put32(b, 2835);
    put32(b, 2835);
    put32(b, uint32_t(colours));
    put32(b, 0);
    for (int i = 0; i < colours; ++i) {
        put32(b, paletteColour(i));
    }
    b.insert(b.end(), stream.begin(), stream.end());
    return b;
}

// 6 x 4, 8 bits: runs, an absolute run with its pad byte and one without, a delta, end of line
// and end of bitmap. Rows are listed bottom first, as the stream runs.
const std::vector<uint8_t> kStream8 = {
    0x03, 0x01,                         // bottom row: 1 1 1
    0x00, 0x03, 0x02, 0x03, 0x04, 0x00, // absolute 2 3 4, padded to a word
    0x00, 0x00,                         // end of line
    0x02, 0x05,                         // second row: 5 5
    0x00, 0x02, 0x01, 0x01,             // delta: right 1, up 1 -> third row, x 3
    0x01, 0x06,                         // 6
    0x00, 0x00,                         // end of line
    0x00, 0x04, 0x07, 0x08, 0x09, 0x0A, // top row: absolute 7 8 9 10
    0x00, 0x01,                         // end of bitmap
};
// The same picture, top row first; the pixels the stream skips are 0.
const std::vector<std::vector<uint32_t>> kPicture8 = {
    {7, 8, 9, 10, 0, 0},
    {0, 0, 0, 6, 0, 0},
    {5, 5, 0, 0, 0, 0},
    {1, 1, 1, 2, 3, 4},
};

// 7 x 2, 4 bits: runs alternate the two nibbles of their value byte; absolute runs hold
// nibbles, padded to a word.
const std::vector<uint8_t> kStream4 = {
    0x04, 0x12,                         // bottom row: 1 2 1 2
    0x00, 0x03, 0x34, 0x50,             // absolute 3 4 5 (two bytes, no pad)
    0x00, 0x00,                         // end of line
    0x00, 0x05, 0x67, 0x89, 0xA0, 0x00, // absolute 6 7 8 9 10 (three bytes and a pad)
    0x02, 0xBC,                         // 11 12
    0x00, 0x01,                         // end of bitmap
};
const std::vector<std::vector<uint32_t>> kPicture4 = {
    {6, 7, 8, 9, 10, 11, 12},
    {1, 2, 1, 2, 3, 4, 5},
};

void expectIndices(const Bitmap& b, const std::vector<std::vector<uint32_t>>& rows,
                   const std::string& what) {
    ASSERT_EQ(b.height(), int(rows.size())) << what;
    ASSERT_EQ(b.width(), int(rows[0].size())) << what;
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            EXPECT_EQ(b.rawPixel(x, y), rows[size_t(y)][size_t(x)])
                << what << " at " << x << "," << y;
        }
    }
}

std::vector<uint8_t> withStream(const std::vector<uint8_t>& stream, int32_t width, int32_t height,
                                uint16_t bpp = 8, uint32_t compression = kRle8) {
    return rleFile(width, height, bpp, compression, stream);
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace

TEST(BmpRle, EightAndFourBitStreamsDecode) {
    const std::vector<uint8_t> file8 = rleFile(6, 4, 8, kRle8, kStream8);
    const Bitmap b8 = readBmpFile(file8.data(), file8.size());
    EXPECT_EQ(b8.format(), PixelFormat::Bits8);
    expectIndices(b8, kPicture8, "8-bit file");
    EXPECT_EQ(b8.pixel32(3, 0), paletteColour(10));

    const std::vector<uint8_t> file4 = rleFile(7, 2, 4, kRle4, kStream4);
    const Bitmap b4 = readBmpFile(file4.data(), file4.size());
    EXPECT_EQ(b4.format(), PixelFormat::Bits4);
    expectIndices(b4, kPicture4, "4-bit file");
    // The unused low nibble at the end of each 7-pixel row stays 0.
    EXPECT_EQ(b4.row(0)[3] & 0x0F, 0);

    // Inside a record the header's total size bounds it and the bytes after it are left.
    for (const auto& [file, picture] : {std::pair{file8, kPicture8}, std::pair{file4, kPicture4}}) {
        std::vector<uint8_t> record = file;
        record.push_back(0x77);
        ByteReader reader(record);
        expectIndices(readBmp(reader), picture, "record");
        EXPECT_EQ(reader.remaining(), 1u);
    }
}

TEST(BmpRle, EarlyEndAndMissingEndOfBitmap) {
    // An end of bitmap before the last row leaves the rest at index 0.
    const Bitmap early = [] {
        const std::vector<uint8_t> f = withStream({0x02, 0x09, 0x00, 0x01}, 3, 3);
        return readBmpFile(f.data(), f.size());
    }();
    expectIndices(early, {{0, 0, 0}, {0, 0, 0}, {9, 9, 0}}, "early end");

    // Every row ended but no end-of-bitmap: nothing is lost, so the picture is taken.
    const std::vector<uint8_t> allRows = {0x03, 0x04, 0x00, 0x00, 0x01, 0x05, 0x00, 0x00};
    const std::vector<uint8_t> f = withStream(allRows, 3, 2);
    expectIndices(readBmpFile(f.data(), f.size()), {{5, 0, 0}, {4, 4, 4}}, "no end of bitmap");

    // A delta that skips to the last row, and end-of-lines after the last row, are fine.
    const std::vector<uint8_t> skip = {0x00, 0x02, 0x01, 0x02, 0x01, 0x03,
                                       0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
    const std::vector<uint8_t> g = withStream(skip, 3, 3);
    expectIndices(readBmpFile(g.data(), g.size()), {{0, 3, 0}, {0, 0, 0}, {0, 0, 0}}, "delta");
}

TEST(BmpRle, DamagedStreamsAreRefused) {
    // Every cut of a file is refused: the stream stops while rows are still open.
    for (const std::vector<uint8_t>& good :
         {rleFile(6, 4, 8, kRle8, kStream8), rleFile(7, 2, 4, kRle4, kStream4)}) {
        for (size_t n = 0; n < good.size(); ++n) {
            EXPECT_THROW(readBmpFile(good.data(), n), KeltoError) << n;
            ByteReader reader(good.data(), n);
            EXPECT_THROW(readBmp(reader), KeltoError) << n;
        }
    }
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
    };
    const std::vector<Case> cases = {
        {"run past the row end", withStream({0x07, 0x01, 0x00, 0x01}, 6, 2)},
        {"run past the row end after others",
         withStream({0x04, 0x01, 0x03, 0x01, 0x00, 0x01}, 6, 2)},
        {"absolute run past the row end", withStream({0x00, 0x03, 1, 2, 3, 0, 0x00, 0x01}, 2, 2)},
        {"4-bit run past the row end", withStream({0x08, 0x11, 0x00, 0x01}, 7, 1, 4, kRle4)},
        {"4-bit absolute past the row end",
         withStream({0x00, 0x03, 0x12, 0x30, 0x00, 0x01}, 2, 1, 4, kRle4)},
        {"delta right beyond the picture", withStream({0x00, 0x02, 0x07, 0x00, 0x00, 0x01}, 6, 2)},
        {"delta up beyond the picture", withStream({0x00, 0x02, 0x00, 0x02, 0x00, 0x01}, 6, 2)},
        {"delta cut off", withStream({0x00, 0x02, 0x01}, 6, 2)},
        {"pixels after the last row",
         withStream({0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x01}, 2, 2)},
        {"absolute run without its pad byte",
         withStream({0x02, 0x01, 0x00, 0x00, 0x00, 0x03, 1, 2, 3}, 3, 2)},
        {"stream ends with a row open", withStream({0x02, 0x01}, 2, 1)},
        {"8-bit stream for 4 bits per pixel", withStream(kStream4, 7, 2, 4, kRle8)},
        {"4-bit stream for 8 bits per pixel", withStream(kStream8, 6, 4, 8, kRle4)},
        {"top-down rows", withStream(kStream8, 6, -4)},
        {"unknown compression", withStream(kStream8, 6, 4, 8, 4)},
    };
    for (const Case& c : cases) {
        try {
            readBmpFile(c.file.data(), c.file.size());
            ADD_FAILURE() << c.what << " was accepted";
        } catch (const KeltoError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Invalid bitmap: ", 0), 0u) << e.what();
        }
    }
}

// Load Background, Load Sprite Image and the background and sprite records all take them.
TEST(BmpRle, PictureFilesAndRecordsTakeThem) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("runs.bmp").toStdString();
    writeFile(path, rleFile(6, 4, 8, kRle8, kStream8));
    expectIndices(readPictureFile(path), kPicture8, "picture file");

    ImageGeneral background;
    ASSERT_TRUE(background.loadFromFile(path));
    EXPECT_EQ(background.width(), 6);
    EXPECT_EQ(background.height(), 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(background.decoded().pixel32(x, y),
                      paletteColour(int(kPicture8[size_t(y)][size_t(x)])));
        }
    }

    std::vector<uint8_t> record = {ImageGeneral::kBitmapKind};
    const std::vector<uint8_t> file4 = rleFile(7, 2, 4, kRle4, kStream4);
    record.insert(record.end(), file4.begin(), file4.end());
    ByteReader reader(record);
    ImageGeneral fromRecord;
    fromRecord.read(reader);
    EXPECT_EQ(fromRecord.width(), 7);
    EXPECT_EQ(fromRecord.decoded().pixel32(6, 0), paletteColour(12));

    std::vector<uint8_t> spriteRecord(4, 0); // key colour
    spriteRecord.insert(spriteRecord.end(), file4.begin(), file4.end());
    ByteReader spriteReader(spriteRecord);
    Sprite sprite;
    sprite.read(spriteReader);
    EXPECT_EQ(sprite.width(), 7);
    EXPECT_EQ(sprite.bitmap().pixel32(0, 1), paletteColour(1));

    const std::string damaged = dir.filePath("damaged.bmp").toStdString();
    writeFile(damaged, withStream({0x07, 0x01, 0x00, 0x01}, 6, 2));
    ImageGeneral untouched = background;
    EXPECT_THROW(untouched.loadFromFile(damaged), KeltoError);
    EXPECT_EQ(untouched.decoded(), background.decoded());
}

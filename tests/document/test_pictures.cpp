// Figure types and animations that carry pictures: sprite records in both forms, backgrounds
// in animation files and in pasted frames.
#include "document/kelformat.h"
#include "document/messages.h"
#include "document/stkformat.h"
#include "document/zstream.h"
#include "fixtures.h"
#include "graphics/imagecodecs.h"
#include "model/integrity.h"
#include "settings/atomicfile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstring>

using namespace kelto;
using namespace kelto::test;

namespace {

// A 24-bit picture whose pixel (x, y) is a colour made from its position.
Bitmap patterned(int w, int h, uint32_t seed = 0) {
    Bitmap b(w, h, PixelFormat::Bits24);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            b.setRawPixel(x, y, (seed + 0x010203u * uint32_t(x + 7 * y)) & 0xFFFFFF);
        }
    }
    return b;
}

Sprite spriteOf(const Bitmap& b) {
    Sprite s;
    s.setFromBitmap(b);
    return s;
}

ImageGeneral backgroundOf(int w, int h, uint32_t seed) {
    ImageGeneral picture;
    picture.setBitmap(patterned(w, h, seed));
    return picture;
}

// One picture segment that uses picture 1 of two.
FigureType pictureType() {
    FigureType type;
    type.addSegment(0, skLine, 10, 2, 0, 0, 0);
    type.addSegment(1, skImage, 30, 2, 0.5, 0, 1);
    type.imageRefs[1].imageReversed = 1;
    type.images = {spriteOf(patterned(3, 2, 0x100)), spriteOf(patterned(5, 4, 0x2000))};
    return type;
}

} // namespace

TEST(PictureRecords, EveryPictureOfATypeIsWrittenAndReadBack) {
    const FigureType type = pictureType();
    ByteWriter w;
    writeFigureTypeRecord(w, type);
    const std::vector<uint8_t>& r = w.bytes();
    // S, segment 0, segment 1 with its two reference bytes, then P = 2 and the first picture.
    ASSERT_GT(r.size(), 1u + 24 + 26 + 1 + 4 + 2);
    EXPECT_EQ(r[1 + 24 + 24], 1);       // ImageIndex
    EXPECT_EQ(r[1 + 24 + 25], 1);       // ImageReversed
    EXPECT_EQ(r[1 + 24 + 26], 2);       // both pictures, though one is referenced
    EXPECT_EQ(r[1 + 24 + 26 + 5], 'B'); // after the key colour, a BMP file
    EXPECT_EQ(r[1 + 24 + 26 + 6], 'M');

    const FigureType back = readStkFile(writeStkFile(type));
    ASSERT_EQ(back.imageCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(back.images[i].bitmap(), type.images[i].bitmap());
        EXPECT_EQ(back.images[i].keyColour(), type.images[i].keyColour());
    }
    EXPECT_EQ(back.imageRefs[1].imageReversed, 1);
}

TEST(PictureRecords, V3ColumnPicturesBecomeTheStoredBitmaps) {
    const int w = 3;
    const int h = 2;
    ByteWriter inner;
    inner.put<uint8_t>(9); // ignored
    inner.put<uint8_t>(1);
    const std::vector<uint8_t> seg = segmentBytes(0, 1, 30, 0, 2, skImage, 0);
    inner.putBytes(seg.data(), seg.size());
    inner.put<uint8_t>(1); // ImageIndex only
    inner.put<uint8_t>(2); // P
    // an 8-bit picture, column by column, then 256 palette entries red, green, blue, flags
    inner.put<uint8_t>(3);
    inner.put<int16_t>(w);
    inner.put<int16_t>(h);
    inner.put<uint32_t>(0x0000FF);
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            inner.put<uint8_t>(uint8_t(10 * x + y));
        }
    }
    for (int i = 0; i < 256; ++i) {
        inner.put<uint8_t>(uint8_t(i));
        inner.put<uint8_t>(uint8_t(255 - i));
        inner.put<uint8_t>(7);
        inner.put<uint8_t>(0);
    }
    // a 24-bit picture: blue, green, red per pixel
    inner.put<uint8_t>(6);
    inner.put<int16_t>(w);
    inner.put<int16_t>(h);
    inner.put<uint32_t>(0x123456);
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            inner.put<uint8_t>(uint8_t(x));
            inner.put<uint8_t>(uint8_t(y));
            inner.put<uint8_t>(200);
        }
    }
    StkFileInfo info;
    const FigureType type = readStkFile(compressStream(inner.bytes()), &info);
    EXPECT_EQ(info.generation, "V3");
    ASSERT_EQ(type.imageCount(), 2);
    EXPECT_EQ(type.imageRefs[0].imageIndex, 1);
    EXPECT_EQ(type.imageRefs[0].imageReversed, 0);
    const Bitmap& indexed = type.images[0].bitmap();
    EXPECT_EQ(indexed.format(), PixelFormat::Bits8);
    EXPECT_EQ(type.images[0].keyColour(), 0x0000FFu);
    const Bitmap& colour = type.images[1].bitmap();
    EXPECT_EQ(colour.format(), PixelFormat::Bits24);
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            EXPECT_EQ(indexed.rawPixel(x, y), uint32_t(10 * x + y));
            EXPECT_EQ(colour.pixel32(x, y), (200u << 16) | (uint32_t(y) << 8) | uint32_t(x));
        }
    }
    EXPECT_EQ(indexed.pixel32(0, 1), (1u << 16) | (254u << 8) | 7u);
}

TEST(PictureRecords, FlippedByteOnlyForTypesWithPictures) {
    Document doc(64, 48);
    const int pic = doc.addFigureType(pictureType(), "pic");
    Figure f = placedFigure(doc, static_cast<uint16_t>(pic), 10, 10, 1);
    f.flipped = 1;
    doc.frames.push_back(frameOf({f}));
    const std::vector<uint8_t> with = writeDocumentRecord(doc);
    doc.frames[0] = frameOf({placedFigure(doc, 1, 10, 10, 1)});
    doc.removeFigureTypesFrom(2);
    doc.addFigureType(chainType(2), "pic");
    doc.frames[0] = frameOf({placedFigure(doc, 2, 10, 10, 1)});
    const std::vector<uint8_t> without = writeDocumentRecord(doc);
    ByteWriter typeWith;
    writeFigureTypeRecord(typeWith, pictureType());
    ByteWriter typeWithout;
    writeFigureTypeRecord(typeWithout, chainType(2));
    EXPECT_EQ(with.size() - typeWith.size(), without.size() - typeWithout.size() + 1);

    doc.removeFigureTypesFrom(2);
    doc.addFigureType(pictureType(), "pic");
    doc.frames[0] = frameOf({f});
    const Document back = readDocumentRecord(writeDocumentRecord(doc));
    EXPECT_EQ(back.frames[0].figures[0].flipped, 1);
    EXPECT_EQ(back.figureType(2).images[1].bitmap(), pictureType().images[1].bitmap());
}

TEST(PictureRecords, BackgroundsRoundTripAndNumberForSelectedFrames) {
    Document doc(8, 6);
    doc.addBackground(backgroundOf(8, 6, 1), "one.bmp");
    doc.addBackground(backgroundOf(8, 6, 2), "two.bmp");
    for (int k = 0; k < 6; ++k) {
        doc.frames.push_back(frameOf({placedFigure(doc, 1, 4, 3, 1)}));
    }
    doc.frames[2].backgroundIndex = 1;
    doc.frames[5].backgroundIndex = 2;
    const Document whole = readKelFile(writeKelFile(doc));
    ASSERT_EQ(whole.backgroundCount(), 3);
    EXPECT_EQ(whole.backgroundName(2), "two.bmp");
    EXPECT_EQ(whole.background(2).decoded(), doc.background(2).decoded());
    EXPECT_EQ(whole.frames[5].backgroundIndex, 2);

    doc.frames[5].timelineSelected = 1;
    doc.frames[2].timelineSelected = 1;
    const Document part = readDocumentRecord(writeSelectedFramesRecord(doc, {5, 2}));
    ASSERT_EQ(part.backgroundCount(), 3);
    EXPECT_EQ(part.backgroundName(1), "two.bmp"); // frame 5 met first
    EXPECT_EQ(part.frames[0].backgroundIndex, 2); // frame 2, written first
    EXPECT_EQ(part.frames[1].backgroundIndex, 1);
}

// Every background of a document has the animation's size, also after reading a record
// whose size was changed behind the picture's back.
TEST(PictureRecords, BackgroundsTakeTheAnimationSize) {
    Document doc(8, 6);
    doc.addBackground(backgroundOf(8, 6, 1), "one.bmp");
    doc.frames.push_back(frameOf({placedFigure(doc, 1, 4, 3, 1)}));
    std::vector<uint8_t> record = writeDocumentRecord(doc);
    record[1] = 9; // the width no longer matches the picture
    const Document back = readDocumentRecord(record);
    EXPECT_EQ(back.background(1).width(), 9);
    EXPECT_EQ(back.background(1).bitmap().width(), 9);
    EXPECT_EQ(back.background(1).bitmap().pixel32(7, 5), doc.background(1).bitmap().pixel32(7, 5));
}

TEST(PictureRecords, Version2BackgroundIsNamedAndUsedByEveryFrame) {
    ByteWriter w;
    w.put<uint8_t>(2);
    w.put<uint8_t>(1);
    w.put<int32_t>(8);
    w.put<int32_t>(6);
    backgroundOf(8, 6, 3).write(w);
    w.put<uint8_t>(2);
    w.put<int32_t>(2);
    w.put<uint8_t>(0);
    w.put<uint8_t>(0);
    const Document doc = readDocumentRecord(w.bytes());
    ASSERT_EQ(doc.backgroundCount(), 2);
    EXPECT_EQ(doc.backgroundName(1), "Background1.bmp");
    EXPECT_EQ(doc.frames[1].backgroundIndex, 1);
}

TEST(PictureRecords, PasteReusesCutsAndLimitsBackgrounds) {
    Document source(8, 6);
    source.addBackground(backgroundOf(8, 6, 1), "sky.bmp");
    source.frames.push_back(frameOf({placedFigure(source, 1, 4, 3, 1)}, 1));
    const std::vector<uint8_t> bytes = copyAll(source);

    // Same name, kind and size: reused, also on a second paste.
    Document doc(8, 6);
    doc.addBackground(backgroundOf(8, 6, 9), "sky.bmp");
    doc.frames.push_back(frameOf({placedFigure(doc, 1, 4, 3, 1)}));
    ASSERT_EQ(doc.pasteFrames(bytes.data(), bytes.size(), 1, false).status, PasteStatus::Pasted);
    EXPECT_EQ(doc.backgroundCount(), 2);
    EXPECT_EQ(doc.frames[1].backgroundIndex, 1);

    // A document of another size with frames keeps its size; the picture is cut to it.
    Document smaller(5, 4);
    smaller.frames.push_back(frameOf({placedFigure(smaller, 1, 4, 3, 1)}));
    ASSERT_EQ(smaller.pasteFrames(bytes.data(), bytes.size(), 1, false).status,
              PasteStatus::Pasted);
    ASSERT_EQ(smaller.backgroundCount(), 2);
    EXPECT_EQ(smaller.background(1).width(), 5);
    EXPECT_EQ(smaller.background(1).height(), 4);
    EXPECT_EQ(smaller.background(1).decoded().pixel32(4, 3),
              source.background(1).decoded().pixel32(4, 3));

    // No slot left: the pictures added by this paste go again and no frame is added.
    Document twoPictures(8, 6);
    twoPictures.addBackground(backgroundOf(8, 6, 1), "a");
    twoPictures.addBackground(backgroundOf(8, 6, 2), "b");
    twoPictures.frames.push_back(frameOf({placedFigure(twoPictures, 1, 4, 3, 1)}, 1));
    twoPictures.frames.push_back(frameOf({placedFigure(twoPictures, 1, 4, 3, 1)}, 2));
    const std::vector<uint8_t> pair = copyAll(twoPictures);
    Document full(8, 6);
    while (full.backgroundCount() < kMaxBackgrounds - 1) {
        full.addBackground(backgroundOf(8, 6, 0), "x");
    }
    const PasteResult r = full.pasteFrames(pair.data(), pair.size(), 0, false);
    EXPECT_EQ(r.status, PasteStatus::TooManyBackgrounds);
    EXPECT_EQ(r.message(), kMsgTooManyBackgrounds);
    EXPECT_EQ(full.backgroundCount(), kMaxBackgrounds - 1);
    EXPECT_EQ(full.frameCount(), 0);
}

// An empty column picture is read without touching memory it does not have.
TEST(PictureRecords, EmptyColumnPictureIsHandled) {
    ByteWriter inner;
    inner.put<uint8_t>(0);
    inner.put<uint8_t>(1);
    const std::vector<uint8_t> seg = segmentBytes(0, 1, 30, 0, 2, skImage, 0);
    inner.putBytes(seg.data(), seg.size());
    inner.put<uint8_t>(0);
    inner.put<uint8_t>(1);
    inner.put<uint8_t>(6);
    inner.put<int16_t>(0);
    inner.put<int16_t>(0);
    inner.put<uint32_t>(0);
    try {
        const FigureType type = readStkFile(compressStream(inner.bytes()));
        EXPECT_EQ(type.imageCount(), 1);
    } catch (const KeltoError&) {
        // refusing it is as good
    }
}

// A JPEG background's end position counts from the record's first byte; one that points
// outside the record or back into it is a damaged file.
TEST(PictureRecords, JpegBackgroundEndPositionIsChecked) {
    QTemporaryDir dir;
    const std::string jpg = dir.filePath("photo.jpg").toStdString();
    writeFileReplacing(jpg, encodeJpeg(patterned(16, 8, 5), 90));
    ImageGeneral photo;
    ASSERT_TRUE(photo.loadFromFile(jpg));
    ASSERT_EQ(photo.imageKind(), ImageGeneral::kJpegKind);
    Document doc(16, 8);
    doc.addBackground(photo, "photo.jpg");
    doc.frames.push_back(frameOf({placedFigure(doc, 1, 8, 4, 1)}, 1));
    doc.frames[0].timelineSelected = 1;
    for (const std::vector<uint8_t>& record :
         {writeDocumentRecord(doc), writeSelectedFramesRecord(doc, {0})}) {
        const Document back = readDocumentRecord(record);
        EXPECT_EQ(back.background(1).jpegData(), photo.jpegData());
        const size_t at = 1 + 8 + 1 + 1; // version, size, B, kind
        int64_t end = 0;
        std::memcpy(&end, record.data() + at, 8);
        EXPECT_EQ(end, int64_t(at + 8 + photo.jpegData().size()));
        for (int64_t wrong : {int64_t(record.size()) + 1, int64_t(at)}) {
            std::vector<uint8_t> bad = record;
            std::memcpy(bad.data() + at, &wrong, 8);
            EXPECT_THROW(readDocumentRecord(bad), KeltoError);
        }
    }
}

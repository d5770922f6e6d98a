// JPEG backgrounds are compressed again only when their size really changes, and then once.
#include "document/fixtures.h"
#include "document/kelformat.h"
#include "graphics/drawing.h"
#include "graphics/imagecodecs.h"
#include "graphics/imagegeneral.h"
#include "settings/atomicfile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace kelto;
using namespace kelto::test;

namespace {

// Noise, which a JPEG codec loses most of on every compression.
Bitmap noisy(int w, int h) {
    Bitmap b(w, h, PixelFormat::Bits24);
    uint32_t state = 12345;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            state = state * 1103515245u + 12345u;
            b.setRawPixel(x, y, (state >> 8) & 0xFFFFFF);
        }
    }
    return b;
}

ImageGeneral jpegPicture(const QTemporaryDir& dir, const Bitmap& pixels) {
    const std::string path = dir.filePath("photo.jpg").toStdString();
    writeFileReplacing(path, encodeJpeg(pixels, 75));
    ImageGeneral picture;
    if (!picture.loadFromFile(path) || picture.imageKind() != ImageGeneral::kJpegKind) {
        ADD_FAILURE() << "the JPEG did not load";
    }
    return picture;
}

// Cut to w x h at the top-left, white beyond the picture.
Bitmap cutWhite(const Bitmap& source, int w, int h) {
    Bitmap b(w, h, PixelFormat::Bits24);
    b.fill(0xFFFFFF);
    for (int y = 0; y < std::min(h, source.height()); ++y) {
        for (int x = 0; x < std::min(w, source.width()); ++x) {
            b.setRawPixel(x, y, source.pixel32(x, y));
        }
    }
    return b;
}

} // namespace

TEST(JpegBackground, OpenSaveCyclesKeepTheBytes) {
    QTemporaryDir dir;
    const ImageGeneral photo = jpegPicture(dir, noisy(64, 48));
    Document doc(64, 48);
    doc.addBackground(photo, "photo.jpg");
    doc.frames.push_back(frameOf({placedFigure(doc, 1, 30, 20, 1)}, 1));
    const std::string base = dir.filePath("cycles").toStdString();
    saveAnimation(doc, base);
    for (int cycle = 0; cycle < 5; ++cycle) {
        Document opened = loadAnimation(base + ".kel");
        // Opening applies the file's size to every background, as the editor does.
        opened.setAnimationDimensions(opened.animWidth(), opened.animHeight());
        Bitmap canvas(64, 48, PixelFormat::Bits32);
        opened.background(1).draw(canvas, {0, 0});
        ASSERT_EQ(opened.background(1).jpegData(), photo.jpegData()) << "cycle " << cycle;
        saveAnimation(opened, base);
    }
}

TEST(JpegBackground, SizeChangesCompressOnceAndOnlyWhenNeeded) {
    QTemporaryDir dir;
    const Bitmap pixels = noisy(40, 30);
    const ImageGeneral photo = jpegPicture(dir, pixels);
    const Bitmap original = decodeJpeg(photo.jpegData().data(), photo.jpegData().size());

    ImageGeneral same = photo;
    same.setWidth(40);
    same.setHeight(30);
    EXPECT_EQ(same.jpegData(), photo.jpegData());

    // A width change and a height change in a row are compressed together: the result is the
    // cut picture compressed once, not a compression of a compression.
    ImageGeneral cut = photo;
    cut.setWidth(32);
    cut.setHeight(24);
    EXPECT_EQ(cut.width(), 32);
    EXPECT_EQ(cut.height(), 24);
    EXPECT_EQ(cut.jpegData(), encodeJpeg(cutWhite(original, 32, 24), ImageGeneral::kJpegQuality));
    // What is drawn is what the file holds.
    const Bitmap drawn = cut.decoded();
    EXPECT_EQ(drawn, decodeJpeg(cut.jpegData().data(), cut.jpegData().size()));
    // Once compressed, the same size again changes nothing.
    const std::vector<uint8_t> once = cut.jpegData();
    cut.setWidth(32);
    cut.setHeight(24);
    EXPECT_EQ(cut.jpegData(), once);

    // Enlarging adds white; a copy taken while the change waits compresses to the same bytes.
    ImageGeneral grown = photo;
    grown.setWidth(48);
    const ImageGeneral copy = grown;
    grown.setHeight(36);
    EXPECT_EQ(grown.jpegData(), encodeJpeg(cutWhite(original, 48, 36), ImageGeneral::kJpegQuality));
    EXPECT_EQ(copy.jpegData(), encodeJpeg(cutWhite(original, 48, 30), ImageGeneral::kJpegQuality));
    ByteWriter written;
    copy.write(written);
    ByteReader reader(written.bytes());
    ImageGeneral back;
    back.read(reader);
    EXPECT_EQ(back.jpegData(), copy.jpegData());
    EXPECT_EQ(back.width(), 48);
    EXPECT_EQ(back.height(), 30);
}

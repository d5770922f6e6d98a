#include "base/error.h"
#include "document/document.h"
#include "export/aviwriter.h"
#include "export/exportcheck.h"
#include "export/rasterexport.h"
#include "graphics/imagecodecs.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>

using namespace kelto;

namespace {

// A small picture of stripes and a checkered corner, never one flat colour.
Bitmap stripes(int w, int h, uint32_t seed) {
    Bitmap b(w, h, PixelFormat::Bits24);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t v = (seed + uint32_t(x * 37 + y * 91)) * 2654435761u;
            b.setRawPixel(x, y, (x < 3 && y < 3) ? 0x00FF00 : (v >> 8) & 0xFFFFFF);
        }
    }
    return b;
}

// Every kind of segment: thick and one-pixel lines and circles, a filled circle without pen,
// and two pictures, the second anchored at its far joint.
FigureType shapesType() {
    FigureType t;
    t.addSegment(0, skLine, 60, 6, 0.3, 0, 0);
    t.addSegment(1, skCircle, 30, 3, 1.0, 0, 0);
    t.addSegment(1, skFilledCircle, 20, 0, 2.0, 0, 0);
    t.addSegment(0, skHollowCircle, 50, 2, 3.5, 0, 0);
    t.addSegment(0, skHollowCircle, 44, 1, 4.0, 0, 0);
    t.addSegment(0, skLine, 70, 1, 4.6, 0, 0);
    t.addSegment(0, skImage, 40, 10, 5.0, 0, 0);
    t.addSegment(1, skImage, 30, 10, 2.6, 0, 0);
    t.setImageCount(1);
    t.images[0].setFromBitmap(stripes(16, 9, 3));
    t.imageRefs[7].imageReversed = 1;
    return t;
}

struct Placement {
    int type;
    double x, y;
    float scale;
    uint32_t colour;
    uint8_t transparency;
    uint8_t flipped;
};

// Two frames, the first on a background picture: stick men and shape figures of several
// sizes, opaque and see-through, some reaching past the edges.
Document richDocument(int width = 157, int height = 113) {
    Document doc(width, height);
    ImageGeneral background;
    background.setBitmap(stripes(41, 29, 11));
    doc.addBackground(background, "stripes");
    const int shapes = doc.addFigureType(shapesType(), "shapes");
    const std::vector<Placement> placements = {
        {1, 40, 80, 1.0f, 0x000000, 0, 0},        {1, 120, 60, 0.3f, 0x0000FF, 0, 0},
        {1, 150, 100, 0.1f, 0x00FF00, 0, 0},      {shapes, 70, 50, 1.2f, 0xFF0000, 0, 0},
        {shapes, 20, 20, 0.7f, 0x008080, 0, 1},   {1, 80, 90, 1.6f, 0x0001FF01, 128, 0},
        {shapes, 110, 30, 1.5f, 0x804000, 90, 1}, {1, 5, 110, 2.5f, 0x404040, 200, 0},
    };
    Figures frame;
    frame.setCount(int(placements.size()));
    for (size_t k = 0; k < placements.size(); ++k) {
        const Placement& p = placements[k];
        Figure& f = frame.figures[k];
        const FigureType& type = doc.figureType(p.type);
        f.setType(uint16_t(p.type), type);
        f.figureID = doc.nextFigureID();
        f.scale = p.scale;
        f.colour = p.colour;
        f.transparency = p.transparency;
        f.flipped = p.flipped;
        f.placeRoot({p.x, p.y}, type);
        f.updateBounds(type);
    }
    frame.backgroundIndex = 1;
    doc.frames.push_back(frame);
    frame.backgroundIndex = 0;
    for (Figure& f : frame.figures) {
        f.placeRoot({f.jointPos[0].x + 7, f.jointPos[0].y - 5}, doc.figureType(f.typeIndex));
        f.updateBounds(doc.figureType(f.typeIndex));
    }
    doc.frames.push_back(frame);
    return doc;
}

int differingPixels(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) {
        return -1;
    }
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count += a.pixel32(x, y) != b.pixel32(x, y);
        }
    }
    return count;
}

std::string refusal(const std::function<void()>& run) {
    try {
        run();
    } catch (const KeltoError& e) {
        return e.what();
    }
    return "(not refused)";
}

Document repeatedFrame(int width, int height, uint16_t repeats) {
    Document doc(width, height);
    Figures frame = doc.newEditFrame();
    frame.repeatCount = repeats;
    doc.frames.push_back(frame);
    return doc;
}

uint64_t fileSizes(const std::vector<std::string>& files) {
    uint64_t total = 0;
    for (const std::string& file : files) {
        total += uint64_t(QFileInfo(QString::fromStdString(file)).size());
    }
    return total;
}

} // namespace

// Bands of every height, with the whole-factor filters (2, 3, 4) and with sizes that make the
// filter average blocks of uneven size, give the frame drawn whole byte for byte: backgrounds,
// one-pixel and thick lines, circles, pictures, see-through figures across band edges.
TEST(BandedRendering, MatchesTheWholeFrameByteForByte) {
    const Document doc = richDocument();
    const RasterOptions cases[] = {{100, 2}, {150, 3}, {100, 4}, {133, 2},
                                   {75, 1},  {210, 1}, {101, 3}, {250, 2}};
    for (const RasterOptions& options : cases) {
        FrameRenderer whole(doc, options);
        ASSERT_FALSE(whole.banded());
        for (int bandRows : {1, 7, 40}) {
            FrameRenderer banded(doc, options, int64_t(whole.renderWidth()) * bandRows);
            ASSERT_TRUE(banded.banded());
            for (int frame = 0; frame < doc.frameCount(); ++frame) {
                const Bitmap expected = whole.render(frame);
                const Bitmap& actual = banded.render(frame);
                EXPECT_EQ(differingPixels(expected, actual), 0)
                    << "resize " << options.resize << " super-sample " << options.superSample
                    << " band of " << bandRows << " rows, frame " << frame;
                EXPECT_TRUE(expected == actual);
            }
        }
    }
}

// 500 x 400 at 1000 % with the default super-sample draws 10000 x 8000 pixels, more than one
// picture may hold; it is drawn in bands and comes out 5000 x 4000.
TEST(BandedRendering, TenTimesEnlargedFrameIsExported) {
    Document doc = repeatedFrame(500, 400, 1);
    Figure& man = doc.frames[0].figures[0];
    man.placeRoot({250, 300}, doc.figureType(1));
    man.updateBounds(doc.figureType(1));
    FrameRenderer renderer(doc, RasterOptions{1000, 2});
    EXPECT_TRUE(renderer.banded());
    const Bitmap& picture = renderer.render(0);
    ASSERT_EQ(picture.width(), 5000);
    ASSERT_EQ(picture.height(), 4000);
    EXPECT_EQ(picture.pixel32(0, 0), 0xFFFFFFu);
    EXPECT_EQ(picture.pixel32(4999, 3999), 0xFFFFFFu);
    // The root joint lies on the black body, ten times further out.
    EXPECT_EQ(picture.pixel32(2500, 3000 - 20), 0u);

    QTemporaryDir dir;
    SilentProgress quiet;
    ImageSequenceOptions options;
    options.resize = 1000;
    const ExportResult result =
        exportImageSequence(doc, dir.filePath("big").toStdString(), options, quiet);
    ASSERT_EQ(result.files.size(), 1u);
    const std::vector<uint8_t> png = readWholeFile(result.files[0]);
    const Bitmap decoded = decodePng(png.data(), png.size());
    EXPECT_EQ(decoded.width(), 5000);
    EXPECT_EQ(decoded.height(), 4000);
    EXPECT_EQ(decoded.pixel32(2500, 2980), 0u);
}

// Outputs beyond memory, the drawing width or a format are refused up front with the limit in
// the message, and nothing is written.
TEST(ExportLimits, RefusedBeforeAnythingIsWritten) {
    QTemporaryDir dir;
    const std::string base = dir.filePath("big").toStdString();
    SilentProgress quiet;

    const Document huge = repeatedFrame(8000, 8000, 1);
    GifExportOptions gif;
    gif.resize = 1000;
    const std::string memory = refusal([&] { exportGif(huge, base, gif, 80, quiet); });
    EXPECT_NE(memory.find("80000 x 80000"), std::string::npos) << memory;
    EXPECT_NE(memory.find("67,108,864"), std::string::npos) << memory;

    const Document wide = repeatedFrame(2000, 100, 1);
    gif.superSample = 4;
    const std::string drawing = refusal([&] { exportGif(wide, base, gif, 80, quiet); });
    EXPECT_NE(drawing.find("80000 pixels wide"), std::string::npos) << drawing;
    EXPECT_NE(drawing.find("65535"), std::string::npos) << drawing;

    AviExportOptions avi;
    avi.resize = 1000;
    avi.superSample = 1;
    const std::string video = refusal([&] { exportAvi(wide, base, avi, 80, quiet); });
    EXPECT_NE(video.find("16384"), std::string::npos) << video;
    EXPECT_NE(video.find("20000 x 1000"), std::string::npos) << video;
    const Document tall = repeatedFrame(20, 819, 1);
    avi.compress = true;
    avi.codec = "mpeg4";
    const std::string mpeg4 = refusal([&] { exportAvi(tall, base, avi, 80, quiet); });
    EXPECT_NE(mpeg4.find("8191"), std::string::npos) << mpeg4;
    EXPECT_NE(mpeg4.find("200 x 8192"), std::string::npos) << mpeg4;

    const Document jpegWide = repeatedFrame(6551, 10, 1);
    ImageSequenceOptions jpeg;
    jpeg.format = ImageFormat::Jpeg;
    jpeg.resize = 1000;
    jpeg.superSample = 1;
    const std::string picture = refusal([&] { exportImageSequence(jpegWide, base, jpeg, quiet); });
    EXPECT_NE(picture.find("65500"), std::string::npos) << picture;
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    // The same width is fine for PNG: only the plan is made here.
    jpeg.format = ImageFormat::Png;
    EXPECT_EQ(planImageSequence(jpegWide, base, jpeg).geometry.outputWidth, 65510);
}

TEST(ExportSpace, HumanUnits) {
    EXPECT_EQ(humanBytes(0), "0 bytes");
    EXPECT_EQ(humanBytes(999), "999 bytes");
    EXPECT_EQ(humanBytes(1000), "1.0 kB");
    EXPECT_EQ(humanBytes(1500), "1.5 kB");
    EXPECT_EQ(humanBytes(999960), "1.0 MB");
    EXPECT_EQ(humanBytes(38'200'000'000ull), "38.2 GB");
    EXPECT_EQ(humanBytes(3'900'000'000'000ull), "3.9 TB");
}

// One frame held 65,535 periods as an uncompressed video: 65,535 frames of 500 x 400 x 3 bytes.
TEST(ExportSpace, RepeatedFrameVideoIsRefusedWhenTheDiskIsTooSmall) {
    const Document doc = repeatedFrame(500, 400, 65535);
    const ExportPlan plan = planAvi(doc, "/some/folder/video", {});
    EXPECT_FALSE(plan.size.atLeast);
    EXPECT_GE(plan.size.bytes, 65535ull * 600000);
    EXPECT_LE(plan.size.bytes, 65535ull * 600000 * 1001 / 1000);
    const std::string message = refusal([&] { requireRoom(plan, 12'100'000'000ull); });
    EXPECT_NE(message.find("about 39.3 GB"), std::string::npos) << message;
    EXPECT_NE(message.find("12.1 GB is free"), std::string::npos) << message;
    EXPECT_NE(message.find("/some/folder"), std::string::npos) << message;
    EXPECT_EQ(refusal([&] { requireRoom(plan, 40'000'000'000ull); }), "(not refused)");
}

// The free figure is the file system's own, as statvfs gives it to ordinary users.
TEST(ExportSpace, FreeSpaceOfTheTargetFolder) {
    QTemporaryDir dir;
    const std::optional<uint64_t> free = freeSpaceIn(dir.path().toStdString());
    ASSERT_TRUE(free.has_value());
    EXPECT_GT(*free, 0u);
    EXPECT_FALSE(freeSpaceIn(dir.filePath("no/such/folder").toStdString()).has_value());
    // A plan whose folder cannot be looked at is not refused: writing will say what is wrong.
    ExportPlan plan;
    plan.size.bytes = ~uint64_t(0);
    plan.folder = dir.filePath("no/such/folder").toStdString();
    EXPECT_EQ(refusal([&] { requireRoom(plan); }), "(not refused)");
    plan.folder = dir.path().toStdString();
    EXPECT_NE(refusal([&] { requireRoom(plan); }).find("is free in"), std::string::npos);
}

// The uncompressed video estimate is the file's real size give or take the headers, and the
// floors of compressed outputs never exceed what is really written, so an export that fits
// is never refused.
TEST(ExportSpace, EstimatesAgainstTheFilesWritten) {
    Document doc = richDocument(120, 90);
    doc.frames[0].repeatCount = 3;
    QTemporaryDir dir;
    SilentProgress quiet;
    const std::string base = dir.filePath("out").toStdString();

    AviExportOptions raw;
    const ExportResult video = exportAvi(doc, base, raw, 80, quiet);
    const uint64_t videoBytes = fileSizes(video.files);
    const uint64_t estimate = planAvi(doc, base, raw).size.bytes;
    EXPECT_GE(estimate, videoBytes);
    EXPECT_LE(estimate, videoBytes + 20000);

    GifExportOptions gif;
    gif.mergeFrames = gif.crop = true;
    EXPECT_LE(planGif(doc, base, gif).size.bytes,
              fileSizes(exportGif(doc, base, gif, 80, quiet).files));
    for (ImageFormat format : {ImageFormat::Png, ImageFormat::Jpeg, ImageFormat::Gif}) {
        ImageSequenceOptions pictures;
        pictures.format = format;
        pictures.quality = 0;
        const ExportResult written = exportImageSequence(doc, base, pictures, quiet);
        EXPECT_EQ(written.files.size(), 4u);
        EXPECT_LE(planImageSequence(doc, base, pictures).size.bytes, fileSizes(written.files));
    }
    AviExportOptions compressed;
    compressed.compress = true;
    compressed.codec = "mjpeg";
    if (!availableAviCodecs().empty()) {
        compressed.codec = availableAviCodecs().front().name;
        EXPECT_LE(planAvi(doc, base, compressed).size.bytes,
                  fileSizes(exportAvi(doc, base, compressed, 80, quiet).files));
    }
}

#include "document/document.h"
#include "export/gifoptimiser.h"
#include "export/gifwriter.h"
#include "export/rasterexport.h"
#include "settings/errorreporter.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <gif_lib.h>

using namespace kelto;

namespace {

struct StoredFrame {
    int left, top, width, height;
    int disposal;
    bool localTable;
};

// What a viewer shows: each picture with how long it stays, after honouring every frame's
// position, colour table, transparency and disposal.
struct Playback {
    int width = 0, height = 0;
    std::vector<std::vector<uint32_t>> pictures;
    std::vector<long long> delays;
    std::vector<StoredFrame> stored;
};

uint32_t rgb(const GifColorType& c) {
    return (uint32_t(c.Red) << 16) | (uint32_t(c.Green) << 8) | c.Blue;
}

Playback play(const std::string& path) {
    Playback out;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
        ADD_FAILURE() << "cannot decode " << path;
        DGifCloseFile(gif, &error);
        return out;
    }
    out.width = gif->SWidth;
    out.height = gif->SHeight;
    const uint32_t background = gif->SColorMap && gif->SBackGroundColor < gif->SColorMap->ColorCount
                                    ? rgb(gif->SColorMap->Colors[gif->SBackGroundColor])
                                    : 0;
    std::vector<uint32_t> screen(size_t(out.width) * out.height, background);
    for (int f = 0; f < gif->ImageCount; ++f) {
        const SavedImage& image = gif->SavedImages[f];
        const GifImageDesc& d = image.ImageDesc;
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, f, &gcb);
        out.stored.push_back(
            {d.Left, d.Top, d.Width, d.Height, gcb.DisposalMode, d.ColorMap != nullptr});
        EXPECT_TRUE(d.Left + d.Width <= out.width && d.Top + d.Height <= out.height) << f;
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        const std::vector<uint32_t> before = screen;
        for (int y = 0; y < d.Height && d.Top + y < out.height; ++y) {
            for (int x = 0; x < d.Width && d.Left + x < out.width; ++x) {
                const int index = image.RasterBits[size_t(y) * d.Width + x];
                EXPECT_LT(index, map->ColorCount);
                if (index != gcb.TransparentColor && index < map->ColorCount) {
                    screen[size_t(d.Top + y) * out.width + d.Left + x] = rgb(map->Colors[index]);
                }
            }
        }
        out.pictures.push_back(screen);
        out.delays.push_back(gcb.DelayTime);
        if (gcb.DisposalMode == DISPOSE_BACKGROUND || gcb.DisposalMode == DISPOSE_PREVIOUS) {
            for (int y = d.Top; y < d.Top + d.Height && y < out.height; ++y) {
                for (int x = d.Left; x < d.Left + d.Width && x < out.width; ++x) {
                    const size_t k = size_t(y) * out.width + x;
                    screen[k] = gcb.DisposalMode == DISPOSE_BACKGROUND ? background : before[k];
                }
            }
        }
    }
    DGifCloseFile(gif, &error);
    return out;
}

// The pictures in the order shown with how long each stays: runs of equal pictures joined.
Playback timeline(Playback p) {
    Playback joined;
    for (size_t k = 0; k < p.pictures.size(); ++k) {
        if (!joined.pictures.empty() && joined.pictures.back() == p.pictures[k]) {
            joined.delays.back() += p.delays[k];
        } else {
            joined.pictures.push_back(std::move(p.pictures[k]));
            joined.delays.push_back(p.delays[k]);
        }
    }
    return joined;
}

void expectSameDisplay(const Playback& plain, const Playback& optimised) {
    EXPECT_EQ(optimised.width, plain.width);
    EXPECT_EQ(optimised.height, plain.height);
    const Playback a = timeline(plain), b = timeline(optimised);
    ASSERT_EQ(b.pictures.size(), a.pictures.size());
    for (size_t k = 0; k < a.pictures.size(); ++k) {
        EXPECT_TRUE(b.pictures[k] == a.pictures[k]) << "picture " << k;
        EXPECT_EQ(b.delays[k], a.delays[k]) << "picture " << k;
    }
}

// One stick man at these x positions (with these repeat counts), in these colours (cycled).
Document walk(const std::vector<double>& xs, const std::vector<int>& repeats,
              const std::vector<uint32_t>& colours) {
    Document doc(240, 180);
    Figures edit = doc.newEditFrame();
    for (size_t i = 0; i < xs.size(); ++i) {
        edit.figures[0].colour = colours[i % colours.size()];
        edit.figures[0].placeRoot({xs[i], 60.0}, doc.figureType(1));
        edit.figures[0].updateBounds(doc.figureType(1));
        Figures frame;
        frame.assign(edit);
        frame.repeatCount = static_cast<uint16_t>(repeats[i]);
        doc.frames.push_back(frame);
    }
    return doc;
}

// Walks, stands still for four frames (stored separately, held 2, 1, 3 and 1 periods), walks on.
Document walkPauseWalk() {
    return walk({30, 36, 42, 48, 48, 48, 48, 54, 60}, {1, 1, 1, 1, 2, 1, 3, 1, 1}, {0});
}

// A new colour every frame, so the frames need colour tables of their own; it stands still in
// frames 2 and 3, and frame 5 returns to frame 0's red.
Document colourChanges() {
    return walk({30, 38, 46, 46, 54, 62}, {1, 1, 1, 1, 1, 1},
                {0x0000FF, 0x00FF00, 0xFF0000, 0xFF0000, 0x00FFFF, 0x0000FF});
}

struct Case {
    const char* name;
    Document (*document)();
    ColourReduction colours;
    DitherMode dither;
    bool palette;
    bool merge;
    bool crop;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class OptimisedGif : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(OptimisedGif, ShowsTheSamePicturesForTheSameTimes) {
    const Case& c = GetParam();
    const Document doc = c.document();
    QTemporaryDir dir;
    SilentProgress quiet;
    GifExportOptions options;
    options.colours = c.colours;
    options.dither = c.dither;
    options.optimisePalette = c.palette;
    exportGif(doc, dir.filePath("plain").toStdString(), options, 80, quiet);
    options.mergeFrames = c.merge;
    options.crop = c.crop;
    const ExportResult result =
        exportGif(doc, dir.filePath("optimised").toStdString(), options, 80, quiet);
    EXPECT_EQ(result.framesDone, doc.frameCount());

    const Playback plain = play(dir.filePath("plain.gif").toStdString());
    const Playback optimised = play(result.files.at(0));
    expectSameDisplay(plain, optimised);

    const int stillFrames = c.document == walkPauseWalk ? 3 : 1; // frames repeating the one before
    EXPECT_EQ(optimised.stored.size(), plain.stored.size() - (c.merge ? stillFrames : 0));
    const StoredFrame& first = optimised.stored.at(0);
    EXPECT_EQ(first.width * first.height, plain.width * plain.height);
    for (size_t k = 0; k < optimised.stored.size(); ++k) {
        const StoredFrame& s = optimised.stored[k];
        EXPECT_EQ(s.disposal, c.crop ? DISPOSE_DO_NOT : DISPOSAL_UNSPECIFIED);
        if (c.crop && k > 0) {
            EXPECT_LT(s.width * s.height, plain.width * plain.height / 2) << "frame " << k;
        }
        if (c.crop && !c.merge && k == 4 && c.document == walkPauseWalk) {
            EXPECT_EQ(s.width * s.height, 1); // repeats frame 3
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Animations, OptimisedGif,
    ::testing::Values(Case{"PauseMerge", walkPauseWalk, ColourReduction::QuantizeOptimal,
                           DitherMode::Nearest, false, true, false},
                      Case{"PauseCrop", walkPauseWalk, ColourReduction::QuantizeOptimal,
                           DitherMode::Nearest, false, false, true},
                      Case{"PauseBothDithered", walkPauseWalk, ColourReduction::Netscape,
                           DitherMode::FloydSteinberg, true, true, true},
                      Case{"ColoursCrop", colourChanges, ColourReduction::QuantizeOptimal,
                           DitherMode::Nearest, false, false, true},
                      Case{"ColoursBothPalette", colourChanges, ColourReduction::QuantizeOptimal,
                           DitherMode::Nearest, true, true, true},
                      Case{"ColoursBothStucki", colourChanges, ColourReduction::QuantizeWindows,
                           DitherMode::Stucki, true, true, true}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

namespace {

IndexedImage flat(int w, int h, std::vector<uint32_t> palette, uint8_t index) {
    IndexedImage image;
    image.width = w;
    image.height = h;
    image.palette = std::move(palette);
    image.indices.assign(size_t(w) * h, index);
    return image;
}

} // namespace

TEST(GifFrameOptimiser, CropRectanglesAndColourTables) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("crop.gif").toStdString();
    const std::vector<uint32_t> shared = {0xFFFFFF, 0x000000, 0xFF0000};
    GifWriter writer;
    writer.open(QString::fromStdString(path), 8, 6);
    GifFrameOptimiser optimiser(writer, 8, 6, {false, true, true});
    IndexedImage frame = flat(8, 6, shared, 0);
    optimiser.addFrame(frame, 5);
    frame.indices[1 * 8 + 2] = 1; // changes at (2,1) and (4,3)
    frame.indices[3 * 8 + 4] = 2;
    optimiser.addFrame(frame, 6);
    // The same picture through another palette: nothing changes on screen.
    IndexedImage reordered = frame;
    reordered.palette = {0xFF0000, 0x000000, 0xFFFFFF};
    for (uint8_t& index : reordered.indices) {
        index = static_cast<uint8_t>(2 - index);
    }
    optimiser.addFrame(reordered, 7);
    // One new colour at the bottom-right corner, which the shared table lacks.
    IndexedImage fresh = reordered;
    fresh.palette.push_back(0x123456);
    fresh.indices.back() = 3;
    optimiser.addFrame(fresh, 8);
    optimiser.flush();
    writer.finish();
    EXPECT_EQ(optimiser.framesWritten(), 4);

    const Playback p = play(path);
    ASSERT_EQ(p.stored.size(), 4u);
    const StoredFrame rect = p.stored[1];
    EXPECT_EQ(std::vector<int>({rect.left, rect.top, rect.width, rect.height}),
              std::vector<int>({2, 1, 3, 3}));
    EXPECT_FALSE(rect.localTable);
    const StoredFrame same = p.stored[2];
    EXPECT_EQ(std::vector<int>({same.left, same.top, same.width, same.height}),
              std::vector<int>({0, 0, 1, 1}));
    EXPECT_FALSE(same.localTable); // its colour is in the shared table
    const StoredFrame corner = p.stored[3];
    EXPECT_EQ(std::vector<int>({corner.left, corner.top, corner.width, corner.height}),
              std::vector<int>({7, 5, 1, 1}));
    EXPECT_TRUE(corner.localTable);
    EXPECT_EQ(p.pictures[3].back(), 0x123456u);
    EXPECT_EQ(p.pictures[3][1 * 8 + 2], 0x000000u);
    EXPECT_EQ(p.delays, (std::vector<long long>{5, 6, 7, 8}));
}

TEST(GifFrameOptimiser, LongDelaysSplitAt65535) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("long.gif").toStdString();
    const std::vector<uint32_t> palette = {0xFFFFFF, 0x000000};
    GifWriter writer;
    writer.open(QString::fromStdString(path), 4, 4);
    GifFrameOptimiser optimiser(writer, 4, 4, {true, true, false});
    const IndexedImage white = flat(4, 4, palette, 0);
    const IndexedImage black = flat(4, 4, palette, 1);
    optimiser.addFrame(white, 30000);
    optimiser.addFrame(white, 30000);
    optimiser.addFrame(white, 30000); // would pass 65535: starts a new frame
    optimiser.addFrame(white, 5535);
    optimiser.addFrame(black, 140000); // longer than one frame can hold
    optimiser.addFrame(black, 1);
    optimiser.flush();
    writer.finish();

    const Playback p = play(path);
    EXPECT_EQ(p.delays, (std::vector<long long>{60000, 35535, 65535, 65535, 8931}));
    const Playback t = timeline(p);
    EXPECT_EQ(t.delays, (std::vector<long long>{95535, 140001}));
}

TEST(GifWriter, PlacedFramesMustFitTheScreen) {
    QTemporaryDir dir;
    GifWriter writer;
    writer.open(dir.filePath("x.gif"), 4, 4);
    const IndexedImage small = flat(2, 2, {0, 0xFFFFFF}, 0);
    EXPECT_THROW(writer.addFrame(small, 1, {0, 0, true}), KeltoError); // the first must be full
    writer.addFrame(flat(4, 4, {0, 0xFFFFFF}, 0), 1, {0, 0, true});
    writer.addFrame(small, 1, {2, 2, true});
    EXPECT_THROW(writer.addFrame(small, 1, {3, 0, true}), KeltoError);
    EXPECT_THROW(writer.addFrame(small, 1, {0, -1, true}), KeltoError);
    writer.cancel();
}

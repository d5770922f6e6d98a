#include "base/error.h"
#include "document/document.h"
#include "export/gifoptimiser.h"
#include "export/gifwriter.h"
#include "export/rasterexport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <gif_lib.h>

#include <algorithm>
#include <array>

using namespace kelto;

namespace {

struct StoredFrame {
    std::array<int, 4> rect; // left, top, width, height
    int disposal;
    bool localTable;
};

// What a viewer shows after each stored frame and for how long. Our files never use
// transparency or the restoring disposals, so drawing each frame over the last is playback.
struct Playback {
    std::vector<std::vector<uint32_t>> pictures;
    std::vector<long long> delays;
    std::vector<StoredFrame> stored;
};

Playback play(const std::string& path) {
    Playback out;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
        ADD_FAILURE() << "cannot decode " << path;
        DGifCloseFile(gif, &error);
        return out;
    }
    const int width = gif->SWidth;
    std::vector<uint32_t> screen(size_t(width) * gif->SHeight, 0);
    for (int f = 0; f < gif->ImageCount; ++f) {
        const SavedImage& image = gif->SavedImages[f];
        const GifImageDesc& d = image.ImageDesc;
        GraphicsControlBlock gcb{};
        DGifSavedExtensionToGCB(gif, f, &gcb);
        out.stored.push_back({{d.Left, d.Top, d.Width, d.Height}, gcb.DisposalMode, !!d.ColorMap});
        EXPECT_TRUE(gcb.DisposalMode <= DISPOSE_DO_NOT && gcb.TransparentColor < 0);
        EXPECT_TRUE(d.Left + d.Width <= width && d.Top + d.Height <= gif->SHeight) << f;
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        for (int y = 0; y < d.Height; ++y) {
            for (int x = 0; x < d.Width; ++x) {
                const int index = image.RasterBits[size_t(y) * d.Width + x];
                EXPECT_LT(index, map->ColorCount);
                const GifColorType c = map->Colors[std::min(index, map->ColorCount - 1)];
                screen[size_t(d.Top + y) * width + d.Left + x] =
                    (uint32_t(c.Red) << 16) | (uint32_t(c.Green) << 8) | c.Blue;
            }
        }
        out.pictures.push_back(screen);
        out.delays.push_back(gcb.DelayTime);
    }
    DGifCloseFile(gif, &error);
    return out;
}

// The pictures in the order shown, runs of equal pictures joined with their delays summed.
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

// One stick man at these x positions with these repeat counts, in these colours (cycled).
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

// Walks, stands still for four stored frames (held 2, 1, 3 and 1 periods), walks on.
Document walkPauseWalk() {
    return walk({30, 36, 42, 48, 48, 48, 48, 54, 60}, {1, 1, 1, 1, 2, 1, 3, 1, 1}, {0});
}

// A new colour almost every frame, so frames need colour tables of their own: frames 2 and 3
// are alike, frame 4 only changes the colour, and frame 5 brings back frame 0's colour.
Document colourChanges() {
    return walk({30, 38, 46, 46, 46, 54}, {1, 1, 1, 1, 1, 1},
                {0x0000FF, 0x00FF00, 0xFF0000, 0xFF0000, 0x00FFFF, 0x0000FF});
}

struct Case {
    const char* name;
    Document (*document)();
    int repeatedFrames; // stored frames that show the same as the one before
    ColourReduction colours;
    DitherMode dither;
    bool palette, merge, crop;
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
    const ExportResult done =
        exportGif(doc, dir.filePath("small").toStdString(), options, 80, quiet);
    EXPECT_EQ(done.framesDone, doc.frameCount());

    const Playback plain = play(dir.filePath("plain.gif").toStdString());
    const Playback small = play(done.files.at(0));
    const Playback want = timeline(plain), got = timeline(small);
    ASSERT_EQ(got.pictures.size(), want.pictures.size());
    for (size_t k = 0; k < want.pictures.size(); ++k) {
        EXPECT_TRUE(got.pictures[k] == want.pictures[k]) << "picture " << k;
        EXPECT_EQ(got.delays[k], want.delays[k]) << "picture " << k;
    }

    EXPECT_EQ(small.stored.size(), plain.stored.size() - (c.merge ? c.repeatedFrames : 0));
    EXPECT_EQ(small.stored[0].rect, plain.stored[0].rect); // the first frame is whole
    const int whole = plain.stored[0].rect[2] * plain.stored[0].rect[3];
    for (size_t k = 0; k < small.stored.size(); ++k) {
        const StoredFrame& s = small.stored[k];
        EXPECT_EQ(s.disposal, c.crop ? DISPOSE_DO_NOT : DISPOSAL_UNSPECIFIED);
        if (c.crop && k > 0) {
            EXPECT_LT(s.rect[2] * s.rect[3], whole / 2) << "frame " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Animations, OptimisedGif,
    ::testing::Values(Case{"PauseMerge", walkPauseWalk, 3, ColourReduction::QuantizeOptimal,
                           DitherMode::Nearest, false, true, false},
                      Case{"PauseCrop", walkPauseWalk, 3, ColourReduction::QuantizeOptimal,
                           DitherMode::Nearest, false, false, true},
                      Case{"PauseBothDithered", walkPauseWalk, 3, ColourReduction::Netscape,
                           DitherMode::FloydSteinberg, true, true, true},
                      Case{"ColoursCropStucki", colourChanges, 1, ColourReduction::QuantizeWindows,
                           DitherMode::Stucki, false, false, true},
                      Case{"ColoursBothPalette", colourChanges, 1, ColourReduction::QuantizeOptimal,
                           DitherMode::Nearest, true, true, true}),
    [](const ::testing::TestParamInfo<Case>& caseInfo) {
        return std::string(caseInfo.param.name);
    });

namespace {

IndexedImage flat(int w, int h, std::vector<uint32_t> palette, uint8_t index) {
    return IndexedImage{w, h, std::vector<uint8_t>(size_t(w) * h, index), std::move(palette)};
}

} // namespace

TEST(GifFrameOptimiser, CropRectanglesAndColourTables) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("crop.gif").toStdString();
    GifWriter writer;
    writer.open(QString::fromStdString(path), 8, 6);
    GifFrameOptimiser optimiser(writer, 8, 6, {false, true, true});
    IndexedImage frame = flat(8, 6, {0xFFFFFF, 0x000000, 0xFF0000}, 0);
    optimiser.addFrame(frame, 5);
    frame.indices[1 * 8 + 2] = 1; // changes at (2,1) and (4,3)
    frame.indices[3 * 8 + 4] = 2;
    optimiser.addFrame(frame, 6);
    // The same picture through a reversed palette: nothing changes on screen.
    frame.palette = {0xFF0000, 0x000000, 0xFFFFFF};
    for (uint8_t& index : frame.indices) {
        index = static_cast<uint8_t>(2 - index);
    }
    optimiser.addFrame(frame, 7);
    frame.palette.push_back(0x123456); // a colour the shared table lacks, bottom right
    frame.indices.back() = 3;
    optimiser.addFrame(frame, 8);
    optimiser.flush();
    writer.finish();

    const Playback p = play(path);
    ASSERT_EQ(p.stored.size(), 4u);
    EXPECT_EQ(p.stored[1].rect, (std::array<int, 4>{2, 1, 3, 3}));
    EXPECT_EQ(p.stored[2].rect, (std::array<int, 4>{0, 0, 1, 1}));
    EXPECT_EQ(p.stored[3].rect, (std::array<int, 4>{7, 5, 1, 1}));
    // Colours found in the shared table use it; a new one brings a table of its own.
    EXPECT_FALSE(p.stored[1].localTable || p.stored[2].localTable);
    EXPECT_TRUE(p.stored[3].localTable);
    EXPECT_EQ(p.pictures[3].back(), 0x123456u);
    EXPECT_EQ(p.pictures[3][1 * 8 + 2], 0x000000u);
    EXPECT_EQ(p.pictures[3][3 * 8 + 4], 0xFF0000u);
    EXPECT_EQ(p.delays, (std::vector<long long>{5, 6, 7, 8}));
}

TEST(GifFrameOptimiser, LongDelaysSplitAt65535) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("long.gif").toStdString();
    GifWriter writer;
    writer.open(QString::fromStdString(path), 4, 4);
    GifFrameOptimiser optimiser(writer, 4, 4, {true, true, false});
    const IndexedImage white = flat(4, 4, {0xFFFFFF, 0}, 0), black = flat(4, 4, {0xFFFFFF, 0}, 1);
    for (int delay : {30000, 30000, 30000, 5535}) { // the third would pass 65535
        optimiser.addFrame(white, delay);
    }
    optimiser.addFrame(black, 140000); // longer than one frame can hold
    optimiser.addFrame(black, 1);
    optimiser.flush();
    writer.finish();

    const Playback p = play(path);
    EXPECT_EQ(p.delays, (std::vector<long long>{60000, 35535, 65535, 65535, 8931}));
    EXPECT_EQ(timeline(p).delays, (std::vector<long long>{95535, 140001}));
}

TEST(GifWriter, PlacedFramesMustFitTheScreen) {
    QTemporaryDir dir;
    GifWriter writer;
    writer.open(dir.filePath("x.gif"), 4, 4);
    const IndexedImage small = flat(2, 2, {0, 0xFFFFFF}, 0);
    EXPECT_THROW(writer.addFrame(small, 1, {0, 0, true}), KeltoError); // the first must be whole
    writer.addFrame(flat(4, 4, {0, 0xFFFFFF}, 0), 1, {0, 0, true});
    writer.addFrame(small, 1, {2, 2, true});
    EXPECT_THROW(writer.addFrame(small, 1, {3, 0, true}), KeltoError);
    EXPECT_THROW(writer.addFrame(small, 1, {0, -1, true}), KeltoError);
}

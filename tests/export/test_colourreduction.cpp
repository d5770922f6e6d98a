#include "pixels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace kelto;
using kelto::testing::Picture;

namespace {

int channel(uint32_t c, int shift) {
    return (c >> shift) & 0xFF;
}

// A smooth colour gradient with far more than 256 colours.
Picture gradient(int w, int h) {
    Picture p(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t r = x * 255 / (w - 1), g = y * 255 / (h - 1),
                           b = (x + y) * 255 / (w + h - 2);
            p.at(x, y) = (r << 16) | (g << 8) | b;
        }
    }
    return p;
}

double meanOf(const IndexedImage& image, int shift) {
    double sum = 0;
    for (uint8_t i : image.indices) {
        sum += channel(image.palette[i], shift);
    }
    return sum / static_cast<double>(image.indices.size());
}

double meanOf(const Picture& p, int shift) {
    double sum = 0;
    for (uint32_t c : p.pixels) {
        sum += channel(c, shift);
    }
    return sum / static_cast<double>(p.pixels.size());
}

} // namespace

TEST(ColourReduction, FixedPalettesHaveTheirSizes) {
    EXPECT_EQ(webPalette().size(), 216u);
    EXPECT_EQ(windowsStaticPalette().size(), 20u);
    EXPECT_EQ(grayPalette().size(), 256u);
    EXPECT_EQ(windowsGrayPalette(), (std::vector<uint32_t>{0, 0x808080, 0xC0C0C0, 0xFFFFFF}));
    EXPECT_EQ(monochromePalette().size(), 2u);
    const std::vector<uint32_t> web = webPalette();
    EXPECT_EQ(std::set<uint32_t>(web.begin(), web.end()).size(), 216u);
}

TEST(ColourReduction, FewColoursAreKeptExactlyInEveryMode) {
    // A drawing with a handful of colours: the optimal palette holds exactly them, and no
    // dither may disturb a flat colour that the palette has.
    Picture p(40, 30);
    for (int x = 5; x < 35; ++x) {
        p.at(x, 10) = 0x000000;
        p.at(x, 20) = 0x336699;
        p.at(x, 21) = 0x808080;
    }
    for (int d = 0; d < kDitherModeCount; ++d) {
        const IndexedImage out =
            reduceColours(p.span(), ColourReduction::QuantizeOptimal, static_cast<DitherMode>(d));
        EXPECT_EQ(out.palette.size(), 4u);
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                ASSERT_EQ(out.palette[out.at(x, y)], p.at(x, y)) << "dither " << d;
            }
        }
    }
}

TEST(ColourReduction, OctreeLimitsThePaletteAndMapsEveryPixel) {
    const Picture p = gradient(256, 128);
    for (int max : {256, 236, 16}) {
        const std::vector<uint32_t> palette = octreePalette(p.span(), max);
        EXPECT_LE(static_cast<int>(palette.size()), max);
        EXPECT_GE(static_cast<int>(palette.size()), max / 2); // folding may overshoot a little
    }
    const IndexedImage out =
        reduceColours(p.span(), ColourReduction::QuantizeWindows, DitherMode::Nearest);
    EXPECT_LE(out.palette.size(), 256u);
    for (uint8_t i : out.indices) {
        ASSERT_LT(i, out.palette.size());
    }
    // The windows statics are all present.
    for (uint32_t c : windowsStaticPalette()) {
        EXPECT_NE(std::find(out.palette.begin(), out.palette.end(), c), out.palette.end());
    }
}

TEST(ColourReduction, OctreeKeepsTheGradientClose) {
    const Picture p = gradient(256, 128);
    const IndexedImage out =
        reduceColours(p.span(), ColourReduction::QuantizeOptimal, DitherMode::Nearest);
    double squared = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const uint32_t a = p.pixels[size_t(y) * p.width + x], b = out.palette[out.at(x, y)];
            for (int shift : {0, 8, 16}) {
                const double d = channel(a, shift) - channel(b, shift);
                squared += d * d;
            }
        }
    }
    const double mse = squared / (3.0 * static_cast<double>(p.pixels.size()));
    const double psnr = 10 * std::log10(255.0 * 255.0 / mse);
    EXPECT_GT(psnr, 33) << "octree palette too coarse";
}

TEST(ColourReduction, ErrorDiffusionKeepsTheMeanColour) {
    // A grey ramp reduced to black and white: nearest mapping loses the mean, every diffusion
    // kernel keeps it within a few levels.
    Picture p(128, 64);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const uint32_t v = 40 + x * 150 / 127;
            p.at(x, y) = (v << 16) | (v << 8) | v;
        }
    }
    const double want = meanOf(p, 8);
    for (int d = 1; d < kDitherModeCount; ++d) {
        const IndexedImage out =
            reduceColours(p.span(), ColourReduction::Monochrome, static_cast<DitherMode>(d));
        EXPECT_NEAR(meanOf(out, 8), want, 3) << "dither " << d;
    }
    const IndexedImage nearest =
        reduceColours(p.span(), ColourReduction::Monochrome, DitherMode::Nearest);
    EXPECT_GT(std::fabs(meanOf(nearest, 8) - want), 5);
}

TEST(ColourReduction, FixedPaletteNearestColours) {
    Picture p(3, 1);
    p.at(0, 0) = 0x1A1A1A; // 26 lies just past the middle of 0..51
    p.at(1, 0) = 0xFF0001;
    p.at(2, 0) = 0x7F7F7F;
    const IndexedImage web =
        reduceColours(p.span(), ColourReduction::Netscape, DitherMode::Nearest);
    EXPECT_EQ(web.palette[web.at(0, 0)], 0x333333u);
    EXPECT_EQ(web.palette[web.at(1, 0)], 0xFF0000u);
    EXPECT_EQ(web.palette[web.at(2, 0)], 0x666666u);
    const IndexedImage gray =
        reduceColours(p.span(), ColourReduction::WindowsGray, DitherMode::Nearest);
    EXPECT_EQ(gray.palette[gray.at(2, 0)], 0x808080u);
}

TEST(ColourReduction, DropUnusedColoursRenumbers) {
    IndexedImage image;
    image.width = 3;
    image.height = 1;
    image.palette = {0x111111, 0x222222, 0x333333, 0x444444};
    image.indices = {3, 1, 3};
    dropUnusedColours(image);
    EXPECT_EQ(image.palette, (std::vector<uint32_t>{0x222222, 0x444444}));
    EXPECT_EQ(image.indices, (std::vector<uint8_t>{1, 0, 1}));
}

TEST(ColourReduction, EmptyPictureIsHarmless) {
    Picture p(1, 1);
    PixelSpan empty = p.span();
    empty.width = 0;
    const IndexedImage out =
        reduceColours(empty, ColourReduction::QuantizeOptimal, DitherMode::FloydSteinberg);
    EXPECT_TRUE(out.indices.empty());
    EXPECT_FALSE(out.palette.empty());
}

// A transparent figure is composed inside its bounds, so a picture segment's bounds must hold the
// picture wherever it is drawn: flipped, reversed or both, at any angle.
#include "graphics/renderer.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kelto;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kInk = 0x0000FF; // blue as 0x00RRGGBB

// One 40 x 20 picture segment of length 40, so the picture is drawn at its own size when
// unturned. Its bottom-left pixel is the key colour and is left out: 799 pixels are drawn.
FigureType pictureType(bool reversed) {
    Bitmap pic(40, 20, PixelFormat::Bits24);
    pic.fill(kInk);
    pic.setRawPixel(0, 19, 0xFF0000);
    FigureType type;
    type.addSegment(0, skImage, 40, 3, 0, 0, 0);
    type.setImageCount(1);
    type.images[0].setFromBitmap(pic);
    type.imageRefs[0].imageReversed = reversed ? 1 : 0;
    return type;
}

Figure placed(const FigureType& type, bool flipped, double turn) {
    Figure f;
    f.setType(0, type);
    f.flipped = flipped ? 1 : 0;
    f.placeRoot({100, 100}, type);
    f.rotateAll(turn, type);
    return f;
}

// The pixels that differ from white, as a mask.
std::vector<bool> changed(const Bitmap& b) {
    std::vector<bool> mask;
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            mask.push_back(b.pixel32(x, y) != kWhite);
        }
    }
    return mask;
}

Bitmap painted(const Figure& f, const FigureType& type, uint8_t transparency) {
    Bitmap canvas(200, 200, PixelFormat::Bits32);
    canvas.fill(kWhite);
    paintFigure(f, type, canvas, transparency, {0, 0}, 1);
    return canvas;
}

} // namespace

TEST(PictureBounds, TransparentPicturesCoverWhatOpaqueOnesDo) {
    for (bool reversed : {false, true}) {
        const FigureType type = pictureType(reversed);
        for (bool flipped : {false, true}) {
            for (double turn : {0.0, kPi / 2, 0.3, 2.0, -1.1}) {
                const Figure f = placed(type, flipped, turn);
                const std::vector<bool> opaque = changed(painted(f, type, 0));
                const std::vector<bool> ghost = changed(painted(f, type, 128));
                const std::string what = std::string(reversed ? "reversed" : "forward") +
                                         (flipped ? " flipped" : "") + " turned " +
                                         std::to_string(turn);
                if (turn == 0) {
                    EXPECT_EQ(std::count(opaque.begin(), opaque.end(), true), 799) << what;
                }
                EXPECT_EQ(ghost, opaque) << what;
            }
        }
    }
}

// The picture of an unturned segment stands above it, or below it when exactly one of flipped
// and reversed is set; the bounds hold that side and reach no further than a pixel past it.
TEST(PictureBounds, BoundsTakeTheDrawnSide) {
    for (bool reversed : {false, true}) {
        const FigureType type = pictureType(reversed);
        for (bool flipped : {false, true}) {
            const Figure f = placed(type, flipped, 0);
            const bool below = flipped != reversed;
            const Bitmap canvas = painted(f, type, 0);
            EXPECT_EQ(canvas.pixel32(120, below ? 110 : 90), kInk) << reversed << flipped;
            EXPECT_EQ(canvas.pixel32(120, below ? 90 : 110), kWhite) << reversed << flipped;
            if (below) {
                EXPECT_GE(f.bounds.bottom, 120);
                EXPECT_LE(f.bounds.top, 100);
            } else {
                EXPECT_LE(f.bounds.top, 80);
                EXPECT_GE(f.bounds.bottom, 100);
            }
        }
    }
}

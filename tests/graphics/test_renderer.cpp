#include "graphics/drawing.h"
#include "graphics/renderer.h"
#include "graphics/sprite.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kelto;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

Bitmap whiteCanvas(int w, int h) {
    Bitmap b(w, h, PixelFormat::Bits32);
    b.fill(kWhite);
    return b;
}

Figure placed(const FigureType& type, uint16_t typeIndex, double x, double y) {
    Figure f;
    f.setType(typeIndex, type);
    f.placeRoot({x, y}, type);
    f.updateBounds(type);
    return f;
}

PixelPos mid(const Figure& f, const Segment& s) {
    return {int(std::lround((f.jointPos[s.startJoint].x + f.jointPos[s.endJoint].x) / 2)),
            int(std::lround((f.jointPos[s.startJoint].y + f.jointPos[s.endJoint].y) / 2))};
}

uint32_t at(const Bitmap& b, PixelPos p) {
    return b.pixel32(p.x, p.y);
}

FigureType oneSegment(uint8_t kind, float length, float thickness, double angle = 0) {
    FigureType t;
    t.addSegment(0, kind, length, thickness, angle, 0, 0);
    return t;
}

} // namespace

TEST(Renderer, StickManLimbsAndHeadLieWhereTheJointsSay) {
    const FigureType man = createStickmanType();
    const Figure f = placed(man, 1, 200, 220);
    Bitmap canvas = whiteCanvas(400, 400);
    paintFigure(f, man, canvas, 0, {0, 0}, 1);
    for (int s = 0; s < man.segmentCount(); ++s) {
        if (man.segments[s].kind == skLine) {
            EXPECT_EQ(at(canvas, mid(f, man.segments[s])), 0u) << "segment " << s;
        }
    }
    // The head: a disc of pen 20 around a 20-pixel circle, so about 40 pixels across, centred
    // between its two joints.
    const PixelPos c = mid(f, man.segments[3]);
    for (int d : {-16, -8, 8, 16}) {
        EXPECT_EQ(canvas.pixel32(c.x + d, c.y), 0u) << d;
        EXPECT_EQ(canvas.pixel32(c.x, c.y + d), 0u) << d;
    }
    EXPECT_EQ(canvas.pixel32(c.x + 24, c.y), kWhite);
    EXPECT_EQ(canvas.pixel32(c.x - 24, c.y - 24), kWhite);
    // Nothing outside the figure's bounds.
    for (int y = 0; y < 400; y += 3) {
        for (int x = 0; x < 400; x += 3) {
            if (x < f.bounds.left || x >= f.bounds.right || y < f.bounds.top ||
                y >= f.bounds.bottom) {
                ASSERT_EQ(canvas.pixel32(x, y), kWhite) << x << "," << y;
            }
        }
    }
    // At zoom 2 the same pixel doubles its place.
    Bitmap big = whiteCanvas(800, 800);
    paintFigure(f, man, big, 0, {0, 0}, 2);
    const PixelPos m = mid(f, man.segments[8]);
    EXPECT_EQ(big.pixel32(2 * m.x, 2 * m.y), 0u);
}

TEST(Renderer, TransparencyBlendsAgainstTheTarget) {
    const FigureType man = createStickmanType();
    Figure f = placed(man, 1, 100, 120);
    const PixelPos p = mid(f, man.segments[0]);

    f.transparency = 128;
    Bitmap canvas = whiteCanvas(200, 200);
    paintFigure(f, man, canvas, 0, {0, 0}, 1);
    EXPECT_EQ(at(canvas, p), 0x7F7F7Fu); // (128 * 255) >> 8 per channel

    f.transparency = 255;
    Bitmap untouched = whiteCanvas(200, 200);
    paintFigure(f, man, untouched, 0, {0, 0}, 1);
    EXPECT_EQ(untouched, whiteCanvas(200, 200));

    // An override replaces the figure's own transparency; ghosts of opaque figures use 181.
    f.transparency = 0;
    EXPECT_EQ(ghostTransparency(0), 181);
    EXPECT_EQ(ghostTransparency(255), 255);
    Bitmap ghost = whiteCanvas(200, 200);
    paintFigure(f, man, ghost, ghostTransparency(0), {0, 0}, 1);
    EXPECT_EQ(at(ghost, p), 0xB4B4B4u); // (181 * 255) >> 8 = 180

    // A figure in exactly the key colour still shows: the key switches.
    f.colour = kKeyColour;
    f.transparency = 128;
    Bitmap keyed = whiteCanvas(200, 200);
    paintFigure(f, man, keyed, 0, {0, 0}, 1);
    EXPECT_EQ(at(keyed, p), 0x7FFE7Fu);

    // A transparent figure partly off the canvas is clipped, not misplaced.
    f.colour = 0;
    Bitmap edge = whiteCanvas(200, 200);
    paintFigure(f, man, edge, 0, {-90, 0}, 1);
    EXPECT_EQ(edge.pixel32(p.x - 90, p.y), 0x7F7F7Fu);
}

TEST(Renderer, ThicknessZeroAndTinyCircles) {
    const FigureType line = oneSegment(skLine, 40, 0);
    Bitmap canvas = whiteCanvas(100, 100);
    paintFigure(placed(line, 0, 20, 50), line, canvas, 0, {0, 0}, 1);
    EXPECT_EQ(canvas, whiteCanvas(100, 100));

    const FigureType disc = oneSegment(skFilledCircle, 20, 0);
    paintFigure(placed(disc, 0, 20, 50), disc, canvas, 0, {0, 0}, 1);
    EXPECT_EQ(canvas.pixel32(30, 50), 0u);

    // Hollow circles keep their inside.
    const FigureType ring = oneSegment(skHollowCircle, 30, 2);
    Bitmap hollow = whiteCanvas(100, 100);
    hollow.fill(0x00FF00);
    paintFigure(placed(ring, 0, 20, 50), ring, hollow, 0, {0, 0}, 1);
    EXPECT_EQ(hollow.pixel32(35, 50), 0x00FF00u);
    EXPECT_EQ(hollow.pixel32(20, 50), 0u);

    // A circle of at most one pixel still plots a dot of the pen's width.
    const FigureType tiny = oneSegment(skCircle, 0.5f, 5);
    Bitmap dot = whiteCanvas(100, 100);
    paintFigure(placed(tiny, 0, 50, 50), tiny, dot, 0, {0, 0}, 1);
    EXPECT_EQ(dot.pixel32(50, 50), 0u);
    EXPECT_EQ(dot.pixel32(49, 51), 0u);
}

TEST(Renderer, PictureSegmentStandsOnItsSegmentFromTheAnchorJoint) {
    Bitmap pic(20, 10, PixelFormat::Bits24);
    pic.fill(0x0000FF); // blue, bottom-left pixel red as the key colour
    pic.setRawPixel(0, 9, 0xFF0000);
    FigureType type;
    type.addSegment(0, skImage, 20, 10, 0, 0, 0);
    type.setImageCount(1);
    type.images[0].setFromBitmap(pic);
    ASSERT_EQ(type.images[0].keyColour(), 0x0000FFu);

    const Figure f = placed(type, 0, 100, 100);
    Bitmap canvas = whiteCanvas(200, 200);
    paintFigure(f, type, canvas, 0, {0, 0}, 1);
    // Unturned: above the segment, the anchor joint at the bottom-left corner.
    EXPECT_EQ(canvas.pixel32(101, 99), 0x0000FFu);
    EXPECT_EQ(canvas.pixel32(119, 90), 0x0000FFu);
    EXPECT_EQ(canvas.pixel32(100, 99), kWhite); // the key colour is left out
    EXPECT_EQ(canvas.pixel32(110, 100), kWhite);
    EXPECT_EQ(canvas.pixel32(110, 89), kWhite);
    EXPECT_EQ(canvas.pixel32(120, 95), kWhite);

    // Pointing up, the picture lies left of the segment with the corner still on the joint.
    Figure up = f;
    up.rotateAll(-kPi / 2, type);
    Bitmap turned = whiteCanvas(200, 200);
    paintFigure(up, type, turned, 0, {0, 0}, 1);
    EXPECT_EQ(turned.pixel32(95, 85), 0x0000FFu);
    EXPECT_EQ(turned.pixel32(92, 98), 0x0000FFu);
    EXPECT_EQ(turned.pixel32(105, 85), kWhite);
    EXPECT_EQ(turned.pixel32(95, 75), kWhite);

    // Flipped, it hangs below the segment, still spanning the segment's length.
    Figure flipped = f;
    flipped.flipped = 1;
    Bitmap mirrored = whiteCanvas(200, 200);
    paintFigure(flipped, type, mirrored, 0, {0, 0}, 1);
    EXPECT_EQ(mirrored.pixel32(110, 105), 0x0000FFu);
    EXPECT_EQ(mirrored.pixel32(110, 95), kWhite);
}

TEST(Renderer, HandlesFollowTheColourTable) {
    const FigureType man = createStickmanType();
    Figures frame;
    frame.setCount(2);
    frame.figures[0] = placed(man, 1, 60, 120);
    frame.figures[1] = placed(man, 1, 200, 120);
    frame.figures[0].selectionPos = 0; // selected
    frame.selection = {0};
    const FigureTypeList types = {FigureType(), man};
    Bitmap canvas = whiteCanvas(300, 200);
    drawAllHandles(frame, types, canvas, {0, 0});
    auto centre = [&](const Figure& f, int joint) {
        return canvas.pixel32(int(std::lround(f.jointPos[joint].x)),
                              int(std::lround(f.jointPos[joint].y)));
    };
    EXPECT_EQ(centre(frame.figures[0], 0), colourToPixel(kHandleOrange));
    EXPECT_EQ(centre(frame.figures[0], 2), colourToPixel(kHandleRed));
    EXPECT_EQ(centre(frame.figures[1], 0), colourToPixel(kHandleLightBlue));
    EXPECT_EQ(centre(frame.figures[1], 2), colourToPixel(kHandleBlue)); // ShowHandles is on
    // The head is static: no handle of its own outside join mode.
    EXPECT_EQ(centre(frame.figures[0], 4), kWhite);

    frame.joinMode = 1;
    frame.figures[1].joinCandidate = 1;
    Bitmap join = whiteCanvas(300, 200);
    join.fill(0x123456);
    drawAllHandles(frame, types, join, {0, 0});
    EXPECT_EQ(join.pixel32(60, 120), 0x123456u); // not a candidate
    EXPECT_EQ(join.pixel32(int(std::lround(frame.figures[1].jointPos[4].x)),
                           int(std::lround(frame.figures[1].jointPos[4].y))),
              kWhite);
}

TEST(Renderer, DrawFrameFillsTheAreaAndStretchesTheBackground) {
    const FigureType man = createStickmanType();
    Figures frame;
    frame.setCount(1);
    frame.figures[0] = placed(man, 1, 50, 70);
    const FigureTypeList types = {FigureType(), man};
    Bitmap bg(40, 30, PixelFormat::Bits24);
    bg.fill(0x00FF00);
    bg.setRawPixel(39, 29, 0x0000FF);
    std::vector<ImageGeneral> backgrounds(2);
    backgrounds[1].setBitmap(bg);

    Bitmap canvas(120, 100, PixelFormat::Bits32);
    canvas.fill(0x010203);
    drawFrame(canvas, frame, types, backgrounds, 100, 80, 1);
    EXPECT_EQ(canvas.pixel32(99, 79), kWhite);
    EXPECT_EQ(canvas.pixel32(100, 79), 0x010203u); // outside the animation area
    EXPECT_EQ(at(canvas, mid(frame.figures[0], man.segments[0])), 0u);

    frame.backgroundIndex = 1;
    Bitmap zoomed(100, 80, PixelFormat::Bits32);
    drawFrame(zoomed, frame, types, backgrounds, 40, 30, 2);
    EXPECT_EQ(zoomed.pixel32(1, 1), 0x00FF00u);
    EXPECT_EQ(zoomed.pixel32(79, 59), 0x0000FFu); // the last source pixel, doubled
    EXPECT_EQ(zoomed.pixel32(78, 58), 0x0000FFu);
    EXPECT_EQ(zoomed.pixel32(77, 57), 0x00FF00u);

    // A background index past the list draws white instead of reading past it.
    frame.backgroundIndex = 9;
    drawFrame(canvas, frame, types, backgrounds, 100, 80, 1);
    EXPECT_EQ(canvas.pixel32(5, 5), kWhite);
}

TEST(BoxReduce, ThreeTimesPathSumsEightOfNine) {
    Bitmap src(6, 6, PixelFormat::Bits32);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
            src.setRawPixel(x, y, uint32_t(8 * (x + 1)) | (uint32_t(y * 10) << 8) | 0x400000);
        }
    }
    Bitmap dst(2, 2, PixelFormat::Bits32);
    dst.fill(0xAB000000);
    Bitmap copy = src;
    boxReduce(copy, dst);
    for (int ty = 0; ty < 2; ++ty) {
        for (int tx = 0; tx < 2; ++tx) {
            uint32_t sum[3] = {0, 0, 0};
            for (int i = 0; i < 8; ++i) { // all but the bottom-right of the block
                const uint32_t p = src.rawPixel(3 * tx + i % 3, 3 * ty + i / 3);
                for (int c = 0; c < 3; ++c) {
                    sum[c] += (p >> (8 * c)) & 0xFF;
                }
            }
            const uint32_t expect =
                0xAB000000 | (sum[0] >> 3) | ((sum[1] >> 3) << 8) | ((sum[2] >> 3) << 16);
            EXPECT_EQ(dst.rawPixel(tx, ty), expect) << tx << "," << ty;
        }
    }
}

TEST(BoxReduce, WholeAndFractionalFactorsAverage) {
    for (int c : {2, 4, 5}) {
        Bitmap src(9 * c, 2 * c, PixelFormat::Bits32);
        for (int y = 0; y < src.height(); ++y) {
            for (int x = 0; x < src.width(); ++x) {
                src.setRawPixel(x, y, uint32_t((x * 13 + y * 7) & 0xFF) * 0x010101);
            }
        }
        Bitmap dst(9, 2, PixelFormat::Bits32);
        boxReduceByFactor(src, dst);
        for (int tx = 0; tx < 9; ++tx) {
            uint32_t sum = 0;
            for (int j = 0; j < c; ++j) {
                for (int i = 0; i < c; ++i) {
                    sum += src.rawPixel(c * tx + i, c + j) & 0xFF;
                }
            }
            EXPECT_EQ(dst.rawPixel(tx, 1), (sum / uint32_t(c * c)) * 0x010101) << c;
        }
    }
    // 5 -> 2 takes blocks of 2 and 3 pixels; enlarging never divides by an empty block.
    Bitmap src(5, 1, PixelFormat::Bits24);
    const uint32_t values[] = {10, 20, 30, 60, 90};
    for (int x = 0; x < 5; ++x) {
        src.setRawPixel(x, 0, values[x]);
    }
    Bitmap dst(2, 1, PixelFormat::Bits32);
    boxReduce(src, dst);
    EXPECT_EQ(dst.rawPixel(0, 0), 15u);
    EXPECT_EQ(dst.rawPixel(1, 0), 60u);
    Bitmap bigger(7, 3, PixelFormat::Bits32);
    boxReduce(src, bigger);
    EXPECT_EQ(bigger.rawPixel(6, 2), 90u);
}

// Segments drawn wider than Qt's widest pen (32,767 pixels) are filled as the shapes their
// strokes cover, without a word from Qt.
#include "export/svgexport.h"
#include "graphics/renderer.h"

#include <gtest/gtest.h>

#include <QtGlobal>

using namespace kelto;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kInk = 0x00FF00; // figure colour green (0x00BBGGRR and 0x00RRGGBB alike)

int g_messages = 0;

void countMessage(QtMsgType, const QMessageLogContext&, const QString&) {
    ++g_messages;
}

// Counts Qt's messages while it lives.
class MessageCounter {
public:
    MessageCounter() : m_previous(qInstallMessageHandler(countMessage)) { g_messages = 0; }
    ~MessageCounter() { qInstallMessageHandler(m_previous); }
    int count() const { return g_messages; }

private:
    QtMessageHandler m_previous;
};

// One segment of the kind from (x, y), pointing right.
struct OneSegment {
    FigureType type;
    Figure figure;

    OneSegment(uint8_t kind, double x, double y, float length, float thickness,
               uint8_t transparency = 0) {
        type.addSegment(0, kind, length, thickness, 0, 0, 0);
        figure.setType(0, type);
        figure.colour = kInk;
        figure.transparency = transparency;
        figure.placeRoot({x, y}, type);
        figure.updateBounds(type);
    }
};

Bitmap canvasOf(uint32_t fill) {
    Bitmap b(200, 150, PixelFormat::Bits32);
    b.fill(fill);
    return b;
}

// Rows of the canvas that are wholly the colour, and rows that hold none of it.
struct RowCount {
    int full = 0;
    int none = 0;
};
RowCount rowsOf(const Bitmap& b, uint32_t colour) {
    RowCount rows;
    for (int y = 0; y < b.height(); ++y) {
        int n = 0;
        for (int x = 0; x < b.width(); ++x) {
            n += b.pixel32(x, y) == colour;
        }
        rows.full += n == b.width();
        rows.none += n == 0;
    }
    return rows;
}

bool firstRowsAre(const Bitmap& b, int rows, uint32_t colour, uint32_t rest) {
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            // The edge row may go either way.
            if (y != rows && b.pixel32(x, y) != (y < rows ? colour : rest)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

TEST(WideStrokes, LinesCoverTheirCapsule) {
    MessageCounter messages;
    // Round ends reach half the width beyond the joints: all of the canvas.
    OneSegment shortLine(skLine, 100, 75, 40, 40000);
    Bitmap all = canvasOf(kWhite);
    paintFigure(shortLine.figure, shortLine.type, all, 0, {0, 0}, 1);
    EXPECT_EQ(rowsOf(all, kInk).full, 150);

    // A band 40,000 wide whose lower edge crosses the canvas at y = 60.
    OneSegment band(skLine, -100000, 60 - 20000, 200000, 40000);
    Bitmap half = canvasOf(kWhite);
    paintFigure(band.figure, band.type, half, 0, {0, 0}, 1);
    EXPECT_TRUE(firstRowsAre(half, 60, kInk, kWhite));

    // Export zoom makes a 4,000-pixel line 40,000 wide.
    OneSegment zoomed(skLine, 10, 7.5, 4, 4000);
    Bitmap big(400, 300, PixelFormat::Bits32);
    big.fill(kWhite);
    drawSegment(zoomed.figure, zoomed.type, 0, big, {0, 0}, 10);
    EXPECT_EQ(rowsOf(big, kInk).full, 300);
    EXPECT_EQ(messages.count(), 0);
}

TEST(WideStrokes, CirclesCoverTheirRingOrDisc) {
    MessageCounter messages;
    // A circle of diameter 100,000 drawn 40,000 wide: its stroke runs from radius 30,000 to
    // 70,000 about a centre 30,100 below row 0, so the canvas holds the inner edge at y = 100.
    const double cy = 100 + 30000;
    for (uint8_t kind : {skHollowCircle, skCircle, skFilledCircle}) {
        OneSegment ring(kind, 100 - 50000, cy, 100000, 40000);
        Bitmap canvas = canvasOf(kGrey);
        paintFigure(ring.figure, ring.type, canvas, 0, {0, 0}, 1);
        const uint32_t inside = kind == skHollowCircle ? kGrey : kind == skCircle ? kWhite : kInk;
        EXPECT_TRUE(firstRowsAre(canvas, 100, kInk, inside)) << int(kind);
    }
    // A circle too small to see still plots a dot of the pen's width.
    OneSegment dot(skHollowCircle, 100, 75, 0.5f, 50000);
    Bitmap canvas = canvasOf(kWhite);
    paintFigure(dot.figure, dot.type, canvas, 0, {0, 0}, 1);
    EXPECT_EQ(rowsOf(canvas, kInk).full, 150);
    EXPECT_EQ(messages.count(), 0);
}

TEST(WideStrokes, TransparentWideFiguresBlendOverTheirArea) {
    MessageCounter messages;
    OneSegment line(skLine, -100000, 60 - 20000, 200000, 40000, 128);
    Bitmap canvas = canvasOf(kWhite);
    paintFigure(line.figure, line.type, canvas, 0, {0, 0}, 1);
    // Over white: (128 x 255 + 127 x 0) >> 8 = 127 for red and blue, (255 x 255) >> 8 = 254
    // for green.
    EXPECT_TRUE(firstRowsAre(canvas, 60, 0x7FFE7F, kWhite));
    // Ghosts (onion skins) and whole frames take the same way.
    Bitmap ghost = canvasOf(kWhite);
    Figures frame;
    frame.figures.push_back(line.figure);
    frame.drawOrder.push_back(0);
    drawAll(frame, {line.type}, ghost, true, {0, 0}, 1);
    const uint32_t g = (ghostTransparency(128) * 255) >> 8;
    EXPECT_TRUE(firstRowsAre(ghost, 60, (g << 16) | 0xFE00 | g, kWhite));
    Bitmap frameCanvas = canvasOf(kGrey);
    drawFrame(frameCanvas, frame, {line.type}, {ImageGeneral()}, 100, 75, 2);
    EXPECT_TRUE(firstRowsAre(frameCanvas, 120, 0x7FFE7F, kWhite));
    EXPECT_EQ(messages.count(), 0);
}

// The largest sizes a file may hold, drawn at an export zoom: pens of billions of pixels.
TEST(WideStrokes, TheLargestFiguresDrawAtExportZoom) {
    MessageCounter messages;
    for (uint8_t kind : {skLine, skHollowCircle, skCircle, skFilledCircle}) {
        OneSegment huge(kind, 10, 7.5, 4e7f, 5e7f);
        Bitmap canvas(400, 300, PixelFormat::Bits32);
        canvas.fill(kWhite);
        drawSegment(huge.figure, huge.type, 0, canvas, {0, 0}, 20);
        // Hollow: the stroke reaches 6.5e8 inwards from the rim, past the centre.
        EXPECT_EQ(rowsOf(canvas, kInk).full, 300) << int(kind);
    }
    EXPECT_EQ(messages.count(), 0);
}

// The SVG drawing says the width as it is; viewers have no pen limit.
TEST(WideStrokes, SvgCarriesTheFullWidth) {
    MessageCounter messages;
    OneSegment line(skLine, 100, 75, 40, 40000);
    Figures frame;
    frame.figures.push_back(line.figure);
    frame.drawOrder.push_back(0);
    const FigureTypeList types = {line.type};
    SvgScene scene;
    scene.edit = &frame;
    scene.types = &types;
    scene.animWidth = 200;
    scene.animHeight = 150;
    const std::string svg = buildSvg(scene, false);
    EXPECT_NE(svg.find("stroke-width:40000\""), std::string::npos) << svg;
    EXPECT_EQ(messages.count(), 0);
}

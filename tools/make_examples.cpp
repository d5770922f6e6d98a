// make_examples: builds the sample animation and the sample figure types with the program's own
// writers, so the shipped files are exactly what the program itself would save.
//
//   make_examples OUTDIR    writes OUTDIR/animations/Sample.kel and OUTDIR/stick figures/*.stk
//
// Everything is computed from fixed numbers (no clock, no randomness), so two runs give the same
// bytes and the committed files can be checked against a fresh run.
#include "base/error.h"
#include "document/document.h"
#include "document/kelformat.h"
#include "document/stkformat.h"
#include "graphics/bitmap.h"
#include "graphics/palettereduction.h"
#include "model/integrity.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace kelto {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDown = kPi / 2;
constexpr double kUp = 3 * kPi / 2;

constexpr int kWidth = 500;
constexpr int kHeight = 400;
constexpr double kGroundY = 352; // where the feet stand: the middle of the path in the picture
constexpr int kFrameCount = 32;
constexpr int kStepFrames = 16; // frames of one full walking cycle (two steps)

// Colours are 0x00BBGGRR.
constexpr uint32_t rgb(int r, int g, int b) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}

// ---- figure types ---------------------------------------------------------------------------

struct SegmentSpec {
    uint8_t start;
    uint8_t kind;
    float length;
    float thickness;
    double angle;
    uint8_t isStatic = 0;
};

FigureType typeOf(const std::vector<SegmentSpec>& specs) {
    FigureType type;
    for (const SegmentSpec& s : specs) {
        type.addSegment(s.start, s.kind, s.length, s.thickness, s.angle, s.isStatic, 0);
    }
    return type;
}

// A dog standing to the right: the root is at the hips, the spine runs forward to the shoulders.
// Segment numbers matter to the walk below: 2, 3 front legs, 4, 5 hind legs (upper, lower).
FigureType dogType() {
    return typeOf({
        {0, skLine, 56, 12, 0},             // 0 spine, joint 1 = shoulders
        {1, skLine, 22, 10, kUp + kPi / 5}, // 1 neck, joint 2
        {1, skLine, 30, 9, kDown + 0.15},   // 2 front leg, joint 3
        {3, skLine, 22, 8, kDown - 0.1},    // 3 front paw, joint 4
        {0, skLine, 30, 9, kDown + 0.15},   // 4 hind leg, joint 5
        {5, skLine, 22, 8, kDown - 0.1},    // 5 hind paw, joint 6
        {2, skFilledCircle, 22, 2, 0.2},    // 6 head, joint 7
        {7, skLine, 12, 8, 0.35},           // 7 snout, joint 8
        {2, skLine, 14, 7, kUp - 0.5, 1},   // 8 ear (static), joint 9
        {0, skLine, 30, 6, kUp - kPi / 4},  // 9 tail, joint 10
        {1, skLine, 30, 9, kDown - 0.15},   // 10 other front leg, joint 11
        {11, skLine, 22, 8, kDown + 0.1},   // 11 its paw, joint 12
        {0, skLine, 30, 9, kDown - 0.15},   // 12 other hind leg, joint 13
        {13, skLine, 22, 8, kDown + 0.1},   // 13 its paw, joint 14
    });
}

// A bird seen from the side, root at the body's centre, beak to the right.
FigureType birdType() {
    return typeOf({
        {0, skLine, 14, 11, 0},         // 0 front of the body, joint 1
        {1, skFilledCircle, 12, 2, 0},  // 1 head, joint 2
        {2, skLine, 8, 3, 0.25},        // 2 beak, joint 3
        {0, skLine, 12, 9, kPi},        // 3 back of the body, joint 4
        {4, skLine, 12, 4, kPi + 0.35}, // 4 tail, joint 5
        {0, skLine, 18, 5, kUp - 0.6},  // 5 wing, joint 6
        {6, skLine, 16, 3, kUp - 1.1},  // 6 wing tip, joint 7
        {0, skLine, 18, 5, kUp - 0.35}, // 7 far wing, joint 8
        {8, skLine, 16, 3, kUp - 0.85}, // 8 far wing tip, joint 9
    });
}

// A balloon on a string, root at the string's lower end (where a hand holds it).
FigureType balloonType() {
    return typeOf({
        {0, skLine, 70, 2, kUp},               // 0 string, joint 1
        {1, skLine, 6, 6, kUp},                // 1 knot, joint 2
        {2, skFilledCircle, 42, 3, kUp},       // 2 balloon, joint 3
        {2, skHollowCircle, 14, 3, kUp - 0.6}, // 3 shine (drawn in the balloon's colour)
    });
}

// A tree with a static trunk and round crowns that sway.
FigureType treeType() {
    return typeOf({
        {0, skLine, 80, 16, kUp, 1},           // 0 trunk, joint 1
        {1, skLine, 40, 10, kUp - 0.6},        // 1 left bough, joint 2
        {1, skLine, 40, 10, kUp + 0.6},        // 2 right bough, joint 3
        {1, skLine, 35, 12, kUp},              // 3 top bough, joint 4
        {2, skFilledCircle, 50, 4, kUp - 0.6}, // 4 left crown
        {3, skFilledCircle, 50, 4, kUp + 0.6}, // 5 right crown
        {4, skFilledCircle, 60, 4, kUp},       // 6 top crown
    });
}

// Builds a type of static segments from points: each segment runs from a joint already placed
// to a new point, so shapes can be drawn as outlines in figure coordinates (root at 0, 0).
class PointTypeBuilder {
public:
    // Appends a segment from joint `from` to point (x, y) and returns the new end joint.
    int to(int from, double x, double y, uint8_t kind, float thickness, uint8_t isStatic = 1) {
        const double dx = x - m_points[from].x;
        const double dy = y - m_points[from].y;
        m_type.addSegment(uint8_t(from), kind, float(std::hypot(dx, dy)), thickness,
                          std::atan2(dy, dx), isStatic, 0);
        m_points.push_back({x, y});
        return int(m_points.size()) - 1;
    }
    FigureType type() const { return m_type; }

private:
    FigureType m_type;
    std::vector<PointF> m_points{{0, 0}};
};

// A car, root at the rear wheel's hub. The wheels are circles hung from an invisible spoke, so
// each is centred on its hub.
FigureType carType() {
    PointTypeBuilder b;
    const int front = b.to(0, 110, 0, skLine, 6);
    b.to(b.to(0, 0, -18, skLine, 0), 0, 18, skHollowCircle, 8);
    b.to(b.to(front, 110, -18, skLine, 0), 110, 18, skHollowCircle, 8);
    b.to(front, 140, -4, skLine, 7);
    int j = b.to(0, -30, -4, skLine, 7);
    j = b.to(j, -30, -26, skLine, 7);
    const int sill = b.to(j, -10, -30, skLine, 7);
    b.to(sill, 92, -30, skLine, 4); // the window sill
    j = b.to(sill, 14, -56, skLine, 7);
    j = b.to(j, 70, -56, skLine, 7);
    j = b.to(j, 92, -30, skLine, 7);
    j = b.to(j, 136, -26, skLine, 7);
    b.to(j, 140, -4, skLine, 7);
    return b.type();
}

// A stick figure with a skirt: the built-in man's skeleton with a skirt of two thick lines and
// a ponytail.
FigureType ladyType() {
    FigureType type = createStickmanType();
    // Joint 1 is the waist: the skirt hangs from it, wide at the hem.
    type.addSegment(1, skLine, 46, 18, kDown + 0.35, 1, 0);
    type.addSegment(1, skLine, 46, 18, kDown - 0.35, 1, 0);
    // Joint 3 is the top of the neck, inside the head; the ponytail hangs behind it.
    type.addSegment(3, skLine, 36, 8, kPi - 0.8, 0, 0);
    return type;
}

// A cloud picture: white puffs with a grey underside on a magenta key colour, which the
// renderer leaves out. The bottom-left pixel decides the key colour, so it stays magenta.
Bitmap cloudPicture() {
    Bitmap bitmap(120, 56, PixelFormat::Bits32);
    bitmap.fill(0x00FF00FF);
    QImage image = bitmap.view();
    QPainter p(&image);
    setUpPainter(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 205, 215));
    p.drawEllipse(QRectF(8, 22, 104, 30));
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(QRectF(10, 18, 100, 28));
    p.drawEllipse(QRectF(22, 6, 40, 34));
    p.drawEllipse(QRectF(50, 2, 46, 40));
    p.drawEllipse(QRectF(84, 16, 28, 24));
    p.end();
    return bitmap;
}

// A figure type of one picture segment, as "Load Sprite Image" makes it.
FigureType spriteType(const Bitmap& picture, float thickness) {
    FigureType type;
    type.setImageCount(1);
    type.images[0].setFromBitmap(picture);
    type.addSegment(0, skImage, float(type.images[0].width()), thickness, 0, 0, 0);
    type.imageRefs[0] = ImageRef{0, 0};
    return type;
}

// ---- the background picture -----------------------------------------------------------------

QPolygonF hill(double left, double right, double baseY, double topY, int steps) {
    QPolygonF shape;
    shape << QPointF(left, baseY);
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        shape << QPointF(left + t * (right - left), baseY - (baseY - topY) * std::sin(t * kPi));
    }
    shape << QPointF(right, baseY);
    return shape;
}

void drawTree(QPainter& p, double x, double groundY, double size) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 74, 44));
    p.drawRect(QRectF(x - size * 0.08, groundY - size * 0.9, size * 0.16, size * 0.9));
    p.setBrush(QColor(46, 120, 52));
    p.drawEllipse(QPointF(x, groundY - size), size * 0.42, size * 0.36);
    p.setBrush(QColor(62, 142, 62));
    p.drawEllipse(QPointF(x - size * 0.12, groundY - size * 1.08), size * 0.24, size * 0.2);
}

// A landscape in flat colours (few colours, so the picture stays small in the file): sky in
// bands, a sun, two rows of hills, a meadow with a path where the figures walk, and trees.
Bitmap landscapePicture() {
    Bitmap bitmap(kWidth, kHeight, PixelFormat::Bits32);
    QImage image = bitmap.view();
    QPainter p(&image);
    setUpPainter(p);
    p.setPen(Qt::NoPen);
    const int bands = 12;
    for (int i = 0; i < bands; ++i) {
        const int top = i * 260 / bands;
        const int bottom = (i + 1) * 260 / bands;
        p.setBrush(QColor(120 + i * 8, 176 + i * 5, 235 - i));
        p.drawRect(0, top, kWidth, bottom - top);
    }
    p.setBrush(QColor(255, 236, 120));
    p.drawEllipse(QPointF(410, 70), 34, 34);
    p.setBrush(QColor(255, 248, 190));
    p.drawEllipse(QPointF(410, 70), 24, 24);
    p.setBrush(QColor(132, 170, 150));
    p.drawPolygon(hill(-60, 260, 300, 175, 24));
    p.drawPolygon(hill(180, 560, 300, 160, 24));
    p.setBrush(QColor(104, 158, 88));
    p.drawPolygon(hill(-120, 330, 300, 215, 24));
    p.drawPolygon(hill(250, 620, 300, 225, 24));
    p.setBrush(QColor(122, 186, 92));
    p.drawRect(0, 290, kWidth, kHeight - 290);
    p.setBrush(QColor(108, 172, 82));
    p.drawRect(0, 380, kWidth, kHeight - 380);
    drawTree(p, 60, 300, 52);
    drawTree(p, 300, 296, 40);
    drawTree(p, 460, 302, 60);
    // The path: a light band with a darker edge, the feet stand in its middle.
    p.setBrush(QColor(214, 190, 140));
    p.drawRect(0, 336, kWidth, 30);
    p.setBrush(QColor(190, 164, 116));
    p.drawRect(0, 364, kWidth, 3);
    p.end();
    bitmap.convertTo(PixelFormat::Bits24);
    reducePalette(bitmap);
    return bitmap;
}

// ---- posing ---------------------------------------------------------------------------------

// Places a figure so that its lowest joint touches groundY, with joint 0 at x.
void standOnGround(Figure& f, const FigureType& type, double x, double groundY) {
    f.placeRoot({x, 0}, type);
    float lowest = f.jointPos[0].y;
    for (const FigureJoint& j : f.jointPos) {
        lowest = std::max(lowest, j.y);
    }
    f.placeRoot({x, groundY - (lowest - f.jointPos[0].y)}, type);
}

// The stick man walking: thighs swing opposite each other, the knee of the leg swinging
// forward bends, the arms swing against the legs. The right arm holds the balloon up.
void poseWalker(Figure& man, double phase) {
    const double swing = 0.42 * std::sin(phase);
    const double bendA = 0.5 * std::max(0.0, std::cos(phase));
    const double bendB = 0.5 * std::max(0.0, -std::cos(phase));
    man.pose[8].angle = kDown + swing;
    man.pose[10].angle = kDown + swing - bendA;
    man.pose[9].angle = kDown - swing;
    man.pose[11].angle = kDown - swing - bendB;
    man.pose[4].angle = kDown - 0.6 * swing;
    man.pose[6].angle = kDown - 0.6 * swing - 0.35;
    // Raised arm: up and forward, bent at the elbow.
    man.pose[5].angle = -0.35 + 0.05 * std::sin(phase);
    man.pose[7].angle = kUp + 0.45;
    // A slight lean into the walk.
    for (int s = 0; s < 3; ++s) {
        man.pose[s].angle = kUp + 0.06;
    }
}

void poseDog(Figure& dog, double phase) {
    const double swing = 0.45 * std::sin(phase);
    dog.pose[2].angle = kDown + swing;
    dog.pose[3].angle = kDown + swing - 0.25;
    dog.pose[10].angle = kDown - swing;
    dog.pose[11].angle = kDown - swing - 0.25;
    dog.pose[4].angle = kDown - swing;
    dog.pose[5].angle = kDown - swing + 0.2;
    dog.pose[12].angle = kDown + swing;
    dog.pose[13].angle = kDown + swing + 0.2;
    dog.pose[9].angle = kUp - kPi / 4 + 0.35 * std::sin(2 * phase); // the tail wags
    dog.pose[0].angle = 0.03 * std::sin(2 * phase);
}

// Wings beat from slightly below the back to up and a little forward; the tips trail.
void poseBird(Figure& bird, double phase) {
    const double wing = kPi + 0.9 + 1.1 * std::sin(phase);
    bird.pose[5].angle = wing;
    bird.pose[6].angle = wing - 0.5;
    bird.pose[7].angle = wing + 0.25;
    bird.pose[8].angle = wing - 0.25;
}

struct Cast {
    int cloud = 0, bird = 0, dog = 0, man = 0, balloon = 0; // figure-type indices
};

Figures sampleFrame(const Document& doc, const Cast& cast, int k) {
    const double walkPhase = 2 * kPi * k / kStepFrames;
    const double walked = 9.0 * k; // pixels per frame, about what one stride covers

    Figures frame;
    frame.setCount(5);
    frame.backgroundIndex = 1;
    frame.repeatCount = 1;

    Figure& cloud = frame.figures[0];
    cloud.setType(uint16_t(cast.cloud), doc.figureType(cast.cloud));
    cloud.colour = rgb(0, 0, 0);
    cloud.placeRoot({60.0 + 1.5 * k, 100}, doc.figureType(cast.cloud));

    // The bird flies right to left: its pose is mirrored across the vertical.
    Figure& bird = frame.figures[1];
    const FigureType& birdT = doc.figureType(cast.bird);
    bird.setType(uint16_t(cast.bird), birdT);
    bird.colour = rgb(40, 40, 60);
    poseBird(bird, 2 * kPi * k / 8);
    for (SegmentPose& sp : bird.pose) {
        sp.angle = kPi - sp.angle;
    }
    bird.placeRoot({470.0 - 9.0 * k, 150 + 12 * std::sin(2 * kPi * k / kFrameCount)}, birdT);

    Figure& dog = frame.figures[2];
    const FigureType& dogT = doc.figureType(cast.dog);
    dog.setType(uint16_t(cast.dog), dogT);
    dog.colour = rgb(120, 72, 30);
    dog.setScale(0.9f, dogT);
    poseDog(dog, walkPhase + kPi / 2);
    dog.computeJoints(dogT);
    standOnGround(dog, dogT, 130 + walked, kGroundY + 4);

    Figure& man = frame.figures[3];
    const FigureType& manT = doc.figureType(cast.man);
    man.setType(uint16_t(cast.man), manT);
    man.colour = rgb(0, 0, 0);
    man.setScale(0.85f, manT);
    poseWalker(man, walkPhase);
    man.computeJoints(manT);
    standOnGround(man, manT, 50 + walked, kGroundY);

    Figure& balloon = frame.figures[4];
    const FigureType& balloonT = doc.figureType(cast.balloon);
    balloon.setType(uint16_t(cast.balloon), balloonT);
    balloon.colour = rgb(220, 30, 40);
    balloon.scale = 0.9f;
    const double sway = 0.12 * std::sin(2 * kPi * k / 12);
    for (SegmentPose& sp : balloon.pose) {
        sp.angle += sway - 0.1; // trails behind the walker
    }
    balloon.computeJoints(balloonT);
    // Joined at the man's raised hand (joint 8, the end of the forearm segment 7).
    balloon.isJoined = 1;
    balloon.joinParent = 3;
    balloon.joinJoint = 8;

    for (int i = 0; i < frame.figureCount(); ++i) {
        frame.figures[i].figureID = i + 1;
    }
    frame.rebuildJoinLists();
    frame.reattachJoined(3);
    for (int i = 0; i < frame.figureCount(); ++i) {
        frame.figures[i].updateBounds(doc.figureType(frame.figures[i].typeIndex));
    }
    frame.clearSelection();
    return frame;
}

Document sampleAnimation(const FigureType& cloud, const FigureType& bird, const FigureType& dog,
                         const FigureType& balloon) {
    Document doc(kWidth, kHeight);
    ImageGeneral landscape;
    landscape.setBitmap(landscapePicture());
    doc.addBackground(std::move(landscape), "Meadow");
    Cast cast;
    cast.man = 1;
    cast.cloud = doc.addFigureType(cloud, "Cloud");
    cast.bird = doc.addFigureType(bird, "Bird");
    cast.dog = doc.addFigureType(dog, "Dog");
    cast.balloon = doc.addFigureType(balloon, "Balloon");
    for (int k = 0; k < kFrameCount; ++k) {
        doc.frames.push_back(sampleFrame(doc, cast, k));
        const std::string fault = verifyFrame(doc.frames.back(), doc.figureTypes());
        if (!fault.empty()) {
            throw KeltoError("frame " + std::to_string(k) + ": " + fault);
        }
    }
    doc.lastFigureID = 5;
    return doc;
}

void saveType(const QString& folder, const std::string& name, const FigureType& type) {
    const std::string fault = verifyFigureType(type);
    if (!fault.empty()) {
        throw KeltoError(name + ": " + fault);
    }
    saveStkFile(type, (folder + QString::fromStdString(name) + ".stk").toStdString());
}

int run(const QString& out) {
    const QString animations = out + QStringLiteral("/animations/");
    const QString figures = out + QStringLiteral("/stick figures/");
    if (!QDir().mkpath(animations) || !QDir().mkpath(figures)) {
        throw KeltoError("Cannot create the folders in " + out.toStdString());
    }
    const FigureType cloud = spriteType(cloudPicture(), 10);
    const FigureType bird = birdType();
    const FigureType dog = dogType();
    const FigureType balloon = balloonType();

    saveType(figures, "Cloud", cloud);
    saveType(figures, "Bird", bird);
    saveType(figures, "Dog", dog);
    saveType(figures, "Balloon", balloon);
    saveType(figures, "Tree", treeType());
    saveType(figures, "Car", carType());
    saveType(figures, "Lady", ladyType());

    Document doc = sampleAnimation(cloud, bird, dog, balloon);
    saveAnimation(doc, (animations + QStringLiteral("Sample")).toStdString());
    return 0;
}

} // namespace
} // namespace kelto

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: make_examples OUTDIR\n", stderr);
        return 2;
    }
    try {
        return kelto::run(QString::fromLocal8Bit(argv[1]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_examples: %s\n", e.what());
        return 1;
    }
}

// make_icon: draws the application icon. One list of shapes on a 256-unit grid is written both
// as the scalable SVG and as PNG pictures at the usual sizes, so the two never drift apart.
//
//   make_icon OUTDIR    writes OUTDIR/kelto.svg and OUTDIR/kelto-<size>.png
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>
#include <vector>

namespace {

struct Line {
    double x1, y1, x2, y2, width;
    QColor colour;
};

struct Disc {
    double cx, cy, r;
    QColor fill;
    QColor stroke; // transparent for none
    double strokeWidth;
};

const QColor kTile(38, 110, 168);
const QColor kGround(120, 190, 96);
const QColor kFigure(255, 255, 255);
const QColor kMainHandle(255, 136, 0); // the main handle of a selected figure
const QColor kHandle(255, 0, 0);       // a segment-end handle
const QColor kNone(0, 0, 0, 0);

// A stick figure in mid-stride on a blue tile, its main handle at the hips in orange and the
// handle of the raised hand in red: what the program is about, legible down to 16 pixels.
const std::vector<Line> kLines = {
    {128, 142, 128, 84, 20, kFigure},  // body
    {128, 142, 100, 198, 20, kFigure}, // thigh and shin, back leg
    {128, 142, 160, 196, 20, kFigure}, // front leg
    {128, 96, 92, 128, 18, kFigure},   // lower arm
    {128, 100, 180, 54, 18, kFigure},  // raised arm
};
const std::vector<Disc> kDiscs = {
    {128, 58, 24, kFigure, kNone, 0},      // head
    {128, 142, 13, kMainHandle, kTile, 4}, // main handle
    {180, 54, 11, kHandle, kTile, 4},      // hand handle
};
constexpr double kCorner = 44;
constexpr double kGroundTop = 200;

QString svgColour(const QColor& c) {
    return c.name(QColor::HexRgb);
}

QString svgText() {
    QString s;
    s += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" "
                        "width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n");
    s += QStringLiteral("  <clipPath id=\"tile\"><rect x=\"8\" y=\"8\" width=\"240\" "
                        "height=\"240\" rx=\"%1\"/></clipPath>\n")
             .arg(kCorner);
    s += QStringLiteral("  <g clip-path=\"url(#tile)\">\n");
    s += QStringLiteral("    <rect x=\"8\" y=\"8\" width=\"240\" height=\"240\" fill=\"%1\"/>\n")
             .arg(svgColour(kTile));
    s += QStringLiteral("    <rect x=\"8\" y=\"%1\" width=\"240\" height=\"%2\" fill=\"%3\"/>\n")
             .arg(kGroundTop)
             .arg(248 - kGroundTop)
             .arg(svgColour(kGround));
    s += QStringLiteral("  </g>\n");
    for (const Line& l : kLines) {
        s += QStringLiteral("  <line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" stroke=\"%5\" "
                            "stroke-width=\"%6\" stroke-linecap=\"round\"/>\n")
                 .arg(l.x1)
                 .arg(l.y1)
                 .arg(l.x2)
                 .arg(l.y2)
                 .arg(svgColour(l.colour))
                 .arg(l.width);
    }
    for (const Disc& d : kDiscs) {
        QString stroke;
        if (d.stroke.alpha() != 0) {
            stroke = QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"")
                         .arg(svgColour(d.stroke))
                         .arg(d.strokeWidth);
        }
        s += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"%5/>\n")
                 .arg(d.cx)
                 .arg(d.cy)
                 .arg(d.r)
                 .arg(svgColour(d.fill), stroke);
    }
    s += QStringLiteral("</svg>\n");
    return s;
}

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(8, 8, 240, 240), kCorner, kCorner);
    p.setClipPath(tile);
    p.fillRect(QRectF(8, 8, 240, 240), kTile);
    p.fillRect(QRectF(8, kGroundTop, 240, 248 - kGroundTop), kGround);
    p.setClipping(false);
    for (const Line& l : kLines) {
        p.setPen(QPen(l.colour, l.width, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(l.x1, l.y1), QPointF(l.x2, l.y2));
    }
    for (const Disc& d : kDiscs) {
        p.setPen(d.stroke.alpha() != 0 ? QPen(d.stroke, d.strokeWidth) : QPen(Qt::NoPen));
        p.setBrush(d.fill);
        p.drawEllipse(QPointF(d.cx, d.cy), d.r, d.r);
    }
    p.end();
    return image;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: make_icon OUTDIR\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QFile svg(out + QStringLiteral("/kelto.svg"));
    if (!svg.open(QIODevice::WriteOnly) || svg.write(svgText().toUtf8()) < 0) {
        std::fputs("make_icon: cannot write kelto.svg\n", stderr);
        return 1;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString name = out + QStringLiteral("/kelto-%1.png").arg(size);
        if (!drawIcon(size).save(name, "PNG")) {
            std::fprintf(stderr, "make_icon: cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}

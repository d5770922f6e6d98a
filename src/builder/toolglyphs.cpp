#include "builder/toolglyphs.h"

#include <QPainter>
#include <QPixmap>

namespace kelto {

namespace {

const QColor kInk(0, 0, 0);
const QColor kSelected(0, 0, 255);
const QColor kGrey(102, 102, 102);
const QColor kHandle(255, 0, 0);
const QColor kMain(255, 136, 0);

void dot(QPainter& p, QPointF at, const QColor& fill, double r = 2.5) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(fill);
    p.drawEllipse(at, r, r);
}

void line(QPainter& p, QPointF a, QPointF b, const QColor& colour, double width = 2.5) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(a, b);
}

void paintSquare(QPainter& p, BuilderGlyph glyph) {
    switch (glyph) {
    case BuilderGlyph::Circle:
        p.setPen(QPen(kInk, 2));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 12), 7, 7);
        break;
    case BuilderGlyph::Line:
        line(p, {5, 19}, {19, 5}, kInk);
        break;
    case BuilderGlyph::ChangeKind:
        line(p, {3, 20}, {10, 13}, kInk);
        p.setPen(QPen(kInk, 2));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(16, 8), 5, 5);
        break;
    case BuilderGlyph::CircleFill:
        p.setPen(QPen(kInk, 2));
        p.setBrush(kInk);
        p.drawPie(QRectF(5, 5, 14, 14), 90 * 16, 180 * 16);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(5, 5, 14, 14));
        break;
    case BuilderGlyph::Duplicate:
        line(p, {4, 16}, {14, 6}, kSelected);
        line(p, {10, 20}, {20, 10}, kGrey);
        break;
    case BuilderGlyph::Static:
        line(p, {5, 19}, {19, 5}, kGrey, 3);
        dot(p, {19, 5}, kHandle);
        break;
    case BuilderGlyph::MainHandle:
        line(p, {5, 19}, {18, 6}, kInk);
        dot(p, {18, 6}, kMain, 3.5);
        break;
    case BuilderGlyph::Split:
        line(p, {4, 20}, {20, 4}, kInk);
        dot(p, {12, 12}, kHandle, 3);
        break;
    case BuilderGlyph::Delete:
        line(p, {4, 20}, {20, 4}, kGrey);
        line(p, {6, 6}, {18, 18}, kHandle, 3);
        break;
    default:
        break;
    }
}

QPixmap arrowPixmap(bool up) {
    QPixmap pixmap(20, 10);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    const QPolygonF triangle =
        up ? QPolygonF({{4, 8}, {16, 8}, {10, 2}}) : QPolygonF({{4, 2}, {16, 2}, {10, 8}});
    p.drawPolygon(triangle);
    return pixmap;
}

} // namespace

QIcon builderGlyph(BuilderGlyph glyph) {
    if (glyph == BuilderGlyph::Thicker || glyph == BuilderGlyph::Thinner) {
        return QIcon(arrowPixmap(glyph == BuilderGlyph::Thicker));
    }
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paintSquare(p, glyph);
    return QIcon(pixmap);
}

} // namespace kelto

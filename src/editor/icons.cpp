#include "editor/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kelto {

namespace {

constexpr int kSize = 32;

// A small stick man inside the box (x, y, size): the program's own motif.
void stickMan(QPainter& p, double x, double y, double s, const QColor& colour) {
    QPen pen(colour, std::max(1.5, s / 10), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(x + s * 0.5, y + s * 0.17), s * 0.14, s * 0.14);
    const QPointF neck(x + s * 0.5, y + s * 0.31), hip(x + s * 0.5, y + s * 0.64);
    p.drawLine(neck, hip);
    p.drawLine(QPointF(x + s * 0.5, y + s * 0.42), QPointF(x + s * 0.2, y + s * 0.56));
    p.drawLine(QPointF(x + s * 0.5, y + s * 0.42), QPointF(x + s * 0.8, y + s * 0.5));
    p.drawLine(hip, QPointF(x + s * 0.28, y + s * 0.95));
    p.drawLine(hip, QPointF(x + s * 0.74, y + s * 0.95));
}

void frameSheet(QPainter& p, double x, double y, const QColor& fill) {
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(x, y, 16, 20), 2, 2);
}

void plus(QPainter& p, QPointF c, const QColor& colour) {
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-5, 0), c + QPointF(5, 0));
    p.drawLine(c + QPointF(0, -5), c + QPointF(0, 5));
}

void arrow(QPainter& p, bool up, const QColor& colour) {
    QPainterPath path;
    const double tip = up ? 4 : 28, base = up ? 16 : 16;
    path.moveTo(16, tip);
    path.lineTo(27, base);
    path.lineTo(20, base);
    path.lineTo(20, up ? 28 : 4);
    path.lineTo(12, up ? 28 : 4);
    path.lineTo(12, base);
    path.lineTo(5, base);
    path.closeSubpath();
    p.setPen(QPen(colour.darker(140), 1));
    p.setBrush(colour);
    p.drawPath(path);
}

void draw(QPainter& p, IconKind kind) {
    const QColor blue(40, 90, 200), red(200, 40, 40), green(30, 150, 60), grey(90, 90, 90);
    switch (kind) {
    case IconKind::App:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(250, 240, 200));
        p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
        stickMan(p, 3, 3, 26, Qt::black);
        break;
    case IconKind::Play: {
        QPainterPath path;
        path.moveTo(9, 5);
        path.lineTo(27, 16);
        path.lineTo(9, 27);
        path.closeSubpath();
        p.setPen(QPen(green.darker(130), 1.5));
        p.setBrush(green);
        p.drawPath(path);
        break;
    }
    case IconKind::Stop:
        p.setPen(QPen(red.darker(130), 1.5));
        p.setBrush(red);
        p.drawRect(QRectF(7, 7, 18, 18));
        break;
    case IconKind::Background:
        p.setPen(QPen(grey, 1.5));
        p.setBrush(QColor(170, 210, 250));
        p.drawRect(QRectF(3, 5, 26, 22));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 170, 80));
        p.drawPolygon(QPolygonF(
            {QPointF(4, 26), QPointF(13, 14), QPointF(20, 22), QPointF(24, 17), QPointF(28, 26)}));
        p.setBrush(QColor(250, 210, 60));
        p.drawEllipse(QPointF(23, 10), 3, 3);
        break;
    case IconKind::AddFigure:
        stickMan(p, 2, 4, 24, Qt::black);
        plus(p, QPointF(24, 9), green);
        break;
    case IconKind::DeleteFigure:
        stickMan(p, 2, 4, 24, Qt::black);
        p.setPen(QPen(red, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(20, 4), QPointF(29, 13));
        p.drawLine(QPointF(29, 4), QPointF(20, 13));
        break;
    case IconKind::EditType:
        stickMan(p, 1, 4, 22, Qt::black);
        p.setPen(QPen(QColor(200, 140, 40), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(27, 8), QPointF(15, 26));
        p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(15, 26), QPointF(14, 28));
        break;
    case IconKind::Centre:
        p.setPen(QPen(grey, 1.5, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(3, 3, 26, 26));
        p.setPen(QPen(blue, 2));
        p.drawLine(QPointF(16, 8), QPointF(16, 24));
        p.drawLine(QPointF(8, 16), QPointF(24, 16));
        p.drawEllipse(QPointF(16, 16), 4, 4);
        break;
    case IconKind::Flip:
        stickMan(p, 0, 4, 22, QColor(160, 160, 160));
        stickMan(p, 10, 4, 22, Qt::black);
        p.setPen(QPen(blue, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 30), QPointF(26, 30));
        break;
    case IconKind::Raise:
        arrow(p, true, blue);
        break;
    case IconKind::Lower:
        arrow(p, false, blue);
        break;
    case IconKind::Colour: {
        const QColor colours[] = {QColor(220, 50, 50), QColor(250, 200, 40), QColor(50, 170, 70),
                                  QColor(50, 110, 220)};
        for (int i = 0; i < 4; ++i) {
            p.setPen(QPen(Qt::black, 1));
            p.setBrush(colours[i]);
            p.drawRect(QRectF(4 + (i % 2) * 12, 4 + (i / 2) * 12, 12, 12));
        }
        break;
    }
    case IconKind::Duplicate:
        stickMan(p, 0, 2, 20, QColor(120, 120, 120));
        stickMan(p, 10, 10, 20, Qt::black);
        break;
    case IconKind::Join:
        p.setPen(QPen(grey, 3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(3, 10, 14, 12));
        p.setPen(QPen(blue, 3));
        p.drawEllipse(QRectF(15, 10, 14, 12));
        break;
    case IconKind::AddFrame:
        frameSheet(p, 4, 6, Qt::white);
        plus(p, QPointF(23, 22), green);
        break;
    case IconKind::DeleteFrames:
        frameSheet(p, 4, 6, Qt::white);
        p.setPen(QPen(red, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(18, 17), QPointF(28, 27));
        p.drawLine(QPointF(28, 17), QPointF(18, 27));
        break;
    case IconKind::CopyFrames:
        frameSheet(p, 3, 3, QColor(235, 235, 235));
        frameSheet(p, 12, 9, Qt::white);
        break;
    case IconKind::PasteFrames:
        p.setPen(QPen(QColor(120, 80, 40), 1.5));
        p.setBrush(QColor(210, 170, 110));
        p.drawRoundedRect(QRectF(4, 5, 20, 24), 2, 2);
        p.setBrush(QColor(160, 160, 160));
        p.drawRect(QRectF(10, 3, 8, 5));
        frameSheet(p, 13, 11, Qt::white);
        break;
    }
}

} // namespace

QIcon makeIcon(IconKind kind) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, kind);
    painter.end();
    return QIcon(pixmap);
}

} // namespace kelto

#include "builder/buildercanvas.h"
#include "builder/builderunits.h"
#include "builder/figurebuilderform.h"
#include "graphics/drawing.h"
#include "graphics/renderer.h"
#include "settings/multilang.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

#include <algorithm>
#include <cmath>

// The builder's drawing: the figure with its selected segment and handles on the off-screen
// canvas, the previews of a segment being added or placed, and the status line. Drawing reads
// the figure and its type and never changes them.

namespace kelto {

using namespace builder;

namespace {

// The pen of a passing preview stroke. Qt refuses pens of 32,768 pixels and more with a warning
// on every mouse move, so the preview is drawn at most as wide as the widest pen it takes.
int previewPenWidth(double v) {
    return std::clamp(safeRound(v), 0, 32767);
}

QString kindName(uint8_t kind) {
    switch (kind) {
    case skLine:
        return getPhrase(PhraseType::BSegLine);
    case skCircle:
        return getPhrase(PhraseType::BSegCircWhite);
    case skImage:
        return getPhrase(PhraseType::BSegImage);
    case skFilledCircle:
        return getPhrase(PhraseType::BSegCircFill);
    case skHollowCircle:
        return getPhrase(PhraseType::BSegCircClear);
    default:
        return QString::number(kind);
    }
}

// A line, or the circle whose diameter is the segment, as a preview stroke.
void drawPreviewStroke(Bitmap& bitmap, QPointF from, QPointF to, bool isCircle, const QPen& pen) {
    QImage image = bitmap.view();
    QPainter painter(&image);
    setUpPainter(painter);
    painter.setPen(pen);
    painter.setBrush(Qt::white);
    if (!isCircle) {
        painter.drawLine(QPoint(safeRound(from.x()), safeRound(from.y())),
                         QPoint(safeRound(to.x()), safeRound(to.y())));
        return;
    }
    const double d = std::hypot(to.x() - from.x(), to.y() - from.y());
    const int x1 = safeRound((from.x() + to.x() - d) / 2);
    const int y1 = safeRound((from.y() + to.y() - d) / 2);
    const int x2 = safeRound((from.x() + to.x() + d) / 2);
    const int y2 = safeRound((from.y() + to.y() + d) / 2);
    painter.drawEllipse(QRect(x1, y1, x2 - x1, y2 - y1));
}

// The selected segment in its highlight colour. A zero-thickness segment stays visible while
// it is selected: it is drawn from a copy of the type at thickness 1.
void drawSelectedSegment(const Figure& figure, const FigureType& type, int s, Bitmap& bitmap) {
    const Segment& seg = type.segments[size_t(s)];
    Figure coloured = figure;
    coloured.colour = seg.isStatic ? kSelectedStatic : kSelectedBlue;
    if (seg.thickness == 0) {
        FigureType visible = type;
        visible.segments[size_t(s)].thickness = 1;
        drawSegment(coloured, visible, s, bitmap, {0, 0}, 1);
    } else {
        drawSegment(coloured, type, s, bitmap, {0, 0}, 1);
    }
    if (seg.kind == skImage) {
        QImage image = bitmap.view();
        QPainter painter(&image);
        setUpPainter(painter);
        painter.setPen(QPen(qcolour(coloured.colour), 1));
        painter.drawLine(rounded(figure.joint(seg.startJoint)),
                         rounded(figure.joint(seg.endJoint)));
    }
}

// Every segment but the selected one in black, static ones in grey, then the selected one.
void paintBuilderFigure(const FigureBuilder& builder, Bitmap& bitmap) {
    const FigureType& t = builder.type();
    const Figure& figure = builder.figure();
    if (figure.segmentCount() != t.segmentCount() || t.segmentCount() == 0) {
        return;
    }
    Figure black = figure;
    Figure grey = figure;
    black.colour = kBlack;
    grey.colour = kGrey;
    for (int s = 0; s < t.segmentCount(); ++s) {
        if (s != builder.selected()) {
            drawSegment(t.segments[size_t(s)].isStatic ? grey : black, t, s, bitmap, {0, 0}, 1);
        }
    }
    if (builder.hasSelection()) {
        drawSelectedSegment(figure, t, builder.selected(), bitmap);
    }
}

QString statusLine(const SegmentFacts& f) {
    return getPhrase(f.segmentCount == 1 ? PhraseType::BSegStatusOne : PhraseType::BSegStatusMany)
        .arg(QString::number(f.segmentCount), kindName(f.kind), QString::number(f.thickness),
             QString::number(f.length), QString::number(f.bearing),
             getPhrase(f.isStatic ? PhraseType::BSegStatic : PhraseType::BSegDynamic));
}

} // namespace

void FigureBuilderForm::clearCanvas() {
    m_bitmap.fill(kWhitePixel);
}

void FigureBuilderForm::toScreen() {
    m_canvas->update();
}

void FigureBuilderForm::eraseFigure() {
    const Rect& b = m_builder.figure().bounds;
    fillRect(m_bitmap, {b.left, b.top, b.right + 1, b.bottom + 1}, kWhitePixel);
}

void FigureBuilderForm::drawFigure(bool withHandles, bool toScreenFlag) {
    const FigureType& t = m_builder.type();
    if (m_builder.figure().segmentCount() != t.segmentCount() || t.segmentCount() == 0) {
        return;
    }
    paintBuilderFigure(m_builder, m_bitmap);
    if (withHandles) {
        drawHandlesOnCanvas();
    }
    if (toScreenFlag) {
        toScreen();
    }
}

void FigureBuilderForm::drawHandlesOnCanvas() {
    drawHandles(m_builder.figure(), m_builder.type(), m_bitmap, kHandleRed, true, true, {0, 0},
                kHandleOrange);
}

void FigureBuilderForm::previewNewSegment(QPoint pos) {
    clearCanvas();
    Figure black = m_builder.figure();
    black.colour = kBlack;
    paintFigure(black, m_builder.type(), m_bitmap, 0, {0, 0}, 1);
    const PointF start = black.joint(m_newStartJoint);
    QPen pen(qcolour(kBlack));
    pen.setWidth(previewPenWidth(black.scale * m_builder.parentThickness(m_newStartJoint)));
    pen.setCapStyle(Qt::RoundCap);
    drawPreviewStroke(m_bitmap, QPointF(start.x, start.y), pos, m_newKind == skCircle, pen);
    toScreen();
}

void FigureBuilderForm::previewDuplicate(QPoint pos) {
    clearCanvas();
    drawFigure(false, false);
    const Segment& seg = m_builder.type().segments[size_t(m_builder.selected())];
    QPen pen(qcolour(seg.isStatic ? kGrey : kBlack));
    pen.setWidth(previewPenWidth(seg.thickness));
    pen.setCapStyle(Qt::RoundCap);
    drawPreviewStroke(m_bitmap, pos, QPointF(pos.x() + m_dupOffset.x, pos.y() + m_dupOffset.y),
                      isCircleKind(m_newKind), pen);
    drawHandlesOnCanvas();
    toScreen();
}

void FigureBuilderForm::displaySegmentData() {
    const std::optional<SegmentFacts> facts = m_builder.selectedFacts();
    if (!facts) {
        return;
    }
    setStatus(statusLine(*facts));
    if (!m_drawSegment) {
        m_circleKindButton->setEnabled(isCircleKind(facts->kind));
    }
}

} // namespace kelto

#include "graphics/renderer.h"

#include "graphics/drawing.h"
#include "graphics/sprite.h"
#include "settings/appsettings.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <climits>
#include <cmath>

namespace kelto {

namespace {

// Saturating, so that far-off joints at large zooms never overflow.
int iround(double v) {
    return int(std::clamp(std::nearbyint(v), double(INT_MIN), double(INT_MAX)));
}

// Qt refuses pens of 32,768 pixels and wider (it warns and keeps the old width), so wider
// strokes are filled as the shapes they cover.
constexpr double kWidestPen = 32767;

QColor qcolour(uint32_t colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

bool figureMatchesType(const Figure& figure, const FigureType& type) {
    return figure.segmentCount() == type.segmentCount() &&
           int(figure.jointPos.size()) >= type.jointCount();
}

// Where figures are drawn: `pixels` holds the rows from `top` on of a canvas `height` rows high
// and as wide as `pixels`. Painting always sees the whole canvas, clipped to the rows held, so
// every shape is rasterised exactly as on the whole canvas (Qt clips lines and curves against
// the device, and a smaller device would move their pixels).
struct CanvasRows {
    Bitmap& pixels;
    int top = 0;
    int height = 0;

    static CanvasRows whole(Bitmap& bitmap) { return {bitmap, 0, bitmap.height()}; }
    bool isWhole() const { return top == 0 && height == pixels.height(); }
};

// The picture of an skImage segment, turned and scaled so its width spans the segment, painted
// with its bottom-left corner on the anchor joint.
void drawPictureSegment(const Figure& figure, const FigureType& type, int s,
                        const CanvasRows& canvas, PixelPos origin, double zoom, double z) {
    if (s >= int(type.imageRefs.size())) {
        return;
    }
    const ImageRef ref = type.imageRefs[size_t(s)];
    if (ref.imageIndex >= type.imageCount()) {
        return;
    }
    const Sprite& pic = type.images[ref.imageIndex];
    if (pic.width() == 0) {
        return;
    }
    const Segment& seg = type.segments[size_t(s)];
    int a = seg.startJoint, b = seg.endJoint;
    double angle = -figure.pose[size_t(s)].angle;
    if (figure.flipped) {
        angle -= kPi;
    }
    if (ref.imageReversed) {
        std::swap(a, b);
        angle -= kPi;
    }
    Bitmap picture;
    const float scale = float(z * figure.pose[size_t(s)].length / pic.width());
    const auto anchor = rotateScaleSprite(pic, picture, {0, 0}, figure.flipped != 0, scale, angle);
    if (!anchor) {
        return;
    }
    const double ax = double(roundHalfEven(figure.jointPos[size_t(a)].x));
    const double ay = double(roundHalfEven(figure.jointPos[size_t(a)].y));
    int x = origin.x + iround(zoom * ax - anchor->x);
    int y = origin.y + iround(zoom * ay - anchor->y);
    if (figure.flipped) {
        // Mirrored, the reported corner belongs on the other joint.
        x -= iround(zoom * (ax - double(roundHalfEven(figure.jointPos[size_t(b)].x))));
        y -= iround(zoom * (ay - double(roundHalfEven(figure.jointPos[size_t(b)].y))));
    }
    copyTransparent(picture, pic.keyColour(), canvas.pixels, {x, y - canvas.top});
}

// Wide round-capped lines and wide outlines are drawn as filled bodies and outline-free discs:
// the same shapes, but Qt fills integer discs with a fast scanline routine where stroking round
// caps and wide curves costs several times as much (it dominates a frame of many figures).
void fillDisc(QPainter& painter, const QRect& box) {
    painter.drawEllipse(box);
}

void drawRoundLine(QPainter& painter, QPen& pen, QPoint p, QPoint q) {
    const int w = pen.width();
    if (w <= 2) {
        painter.drawLine(p, q);
        return;
    }
    const QBrush brush = painter.brush();
    painter.setPen(Qt::NoPen);
    painter.setBrush(pen.color());
    if (p != q) {
        // The body is filled as a quadrilateral rather than stroked: Qt clips a wide line to
        // the painted rows before rasterising it, which moves its edge pixels when a large
        // frame is drawn in bands; a filled outline comes out the same whatever the clip.
        const double dx = q.x() - p.x(), dy = q.y() - p.y();
        const double half = 0.5 * w / std::hypot(dx, dy);
        const QPointF n(-dy * half, dx * half);
        const QPointF body[4] = {QPointF(p) + n, QPointF(q) + n, QPointF(q) - n, QPointF(p) - n};
        painter.drawPolygon(body, 4);
    }
    const int halfWidth = w / 2;
    fillDisc(painter, QRect(p.x() - halfWidth, p.y() - halfWidth, w, w));
    fillDisc(painter, QRect(q.x() - halfWidth, q.y() - halfWidth, w, w));
    painter.setBrush(brush);
    painter.setPen(pen);
}

// An ellipse outlined with a wide pen: a disc in the pen colour reaching half the pen width
// beyond the box, and for a white-filled circle a white disc the pen width inside it.
void drawWideEllipse(QPainter& painter, const QPen& pen, const QRect& box, bool whiteInside) {
    const int w = pen.width();
    const int half = w / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(pen.color());
    fillDisc(painter, QRect(box.x() - half, box.y() - half, box.width() + w, box.height() + w));
    if (whiteInside && box.width() > w && box.height() > w) {
        painter.setBrush(Qt::white);
        fillDisc(painter,
                 QRect(box.x() + w - half, box.y() + w - half, box.width() - w, box.height() - w));
    }
    painter.setPen(pen);
}

// A stroke too wide for a pen, filled: a line as a capsule (a band with a disc on each end), a
// circle outline as a disc or, for the hollow kind, a ring; white-filled circles keep their
// white inside. Qt clips the fills to the canvas, whatever their size.
void fillDisc(QPainter& painter, QPointF centre, double radius) {
    painter.drawEllipse(centre, radius, radius);
}

void fillCapsule(QPainter& painter, QPointF p, QPointF q, double half) {
    fillDisc(painter, p, half);
    fillDisc(painter, q, half);
    const double dx = q.x() - p.x(), dy = q.y() - p.y();
    const double length = std::hypot(dx, dy);
    if (length > 0) {
        const QPointF n(-dy / length * half, dx / length * half);
        painter.drawPolygon(QPolygonF{p + n, q + n, q - n, p - n});
    }
}

void fillWideStroke(QPainter& painter, const QColor& colour, uint8_t kind, QPointF p, QPointF q,
                    double diameter, double width) {
    const double half = width / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    if (kind == skLine) {
        fillCapsule(painter, p, q, half);
        return;
    }
    if (diameter <= 1) {
        fillDisc(painter, p, half);
    }
    const double cx = (p.x() + q.x()) / 2, cy = (p.y() + q.y()) / 2;
    const double x1 = std::nearbyint(cx - diameter / 2), y1 = std::nearbyint(cy - diameter / 2);
    const double x2 = std::nearbyint(cx + diameter / 2), y2 = std::nearbyint(cy + diameter / 2);
    const QRectF box(x1, y1, x2 - x1, y2 - y1);
    const QRectF outer = box.adjusted(-half, -half, half, half);
    const QRectF inner = box.adjusted(half, half, -half, -half);
    const bool hasInside = inner.width() > 0 && inner.height() > 0;
    if (kind == skHollowCircle) {
        QPainterPath ring; // odd-even filled: the inner ellipse is the hole
        ring.addEllipse(outer);
        if (hasInside) {
            ring.addEllipse(inner);
        }
        painter.drawPath(ring);
        return;
    }
    painter.drawEllipse(outer);
    if (kind == skCircle && hasInside) {
        painter.setBrush(Qt::white);
        painter.drawEllipse(inner);
    }
}

void drawSegmentWith(QPainter& painter, const Figure& figure, const FigureType& type, int s,
                     const CanvasRows& canvas, PixelPos origin, double zoom) {
    const Segment& seg = type.segments[size_t(s)];
    const double z = double(figure.scale) * zoom;
    if ((seg.thickness == 0 && seg.kind != skFilledCircle && seg.kind != skImage) || z == 0) {
        return;
    }
    if (seg.kind == skImage) {
        drawPictureSegment(figure, type, s, canvas, origin, zoom, z);
        return;
    }
    const double penWidth =
        std::max(1.0, std::nearbyint(double(roundHalfEven(seg.thickness * figure.scale)) * zoom));
    const FigureJoint& j0 = figure.jointPos[seg.startJoint];
    const FigureJoint& j1 = figure.jointPos[seg.endJoint];
    const QPointF pf(origin.x + std::nearbyint(double(roundHalfEven(j0.x)) * zoom),
                     origin.y + std::nearbyint(double(roundHalfEven(j0.y)) * zoom));
    const QPointF qf(origin.x + std::nearbyint(double(roundHalfEven(j1.x)) * zoom),
                     origin.y + std::nearbyint(double(roundHalfEven(j1.y)) * zoom));
    const double d = figure.pose[size_t(s)].length * z;
    if (penWidth > kWidestPen) {
        fillWideStroke(painter, qcolour(figure.colour), seg.kind, pf, qf, d, penWidth);
        painter.setBrush(Qt::white);
        return;
    }
    const int width = int(penWidth);
    QPen pen(qcolour(figure.colour));
    pen.setWidth(width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    const QPoint p(iround(pf.x()), iround(pf.y()));
    const QPoint q(iround(qf.x()), iround(qf.y()));
    if (seg.kind == skLine) {
        drawRoundLine(painter, pen, p, q);
        return;
    }
    const double cx = (p.x() + q.x()) / 2.0, cy = (p.y() + q.y()) / 2.0;
    if (d <= 1) {
        painter.drawPoint(p); // a dot of the pen's width, so tiny circles stay visible
    }
    if (seg.kind == skCircle) {
        painter.setBrush(Qt::white);
    } else if (seg.kind == skFilledCircle) {
        painter.setBrush(qcolour(figure.colour));
    } else {
        painter.setBrush(Qt::NoBrush);
    }
    const int x1 = iround(cx - d / 2), y1 = iround(cy - d / 2);
    const int x2 = iround(cx + d / 2), y2 = iround(cy + d / 2);
    const QRect box(x1, y1, x2 - x1, y2 - y1);
    if (width > 2 && seg.kind != skHollowCircle) {
        drawWideEllipse(painter, pen, box, seg.kind == skCircle);
    } else {
        painter.drawEllipse(box);
    }
    painter.setBrush(Qt::white);
}

// A painter over a canvas's pixels (made 32-bit first), set up the way every figure is drawn.
class CanvasPainter {
public:
    explicit CanvasPainter(const CanvasRows& canvas) : m_image(bits32View(canvas)) {
        if (!m_image.isNull()) {
            m_painter.begin(&m_image);
            setUpPainter(m_painter);
            if (!canvas.isWhole()) {
                m_painter.setClipRect(0, canvas.top, canvas.pixels.width(), canvas.pixels.height());
            }
        }
    }
    bool active() const { return m_painter.isActive(); }
    QPainter& painter() { return m_painter; }

private:
    static QImage bits32View(const CanvasRows& canvas) {
        Bitmap& pixels = canvas.pixels;
        if (pixels.format() != PixelFormat::Bits32) {
            pixels.convertTo(PixelFormat::Bits32);
        }
        if (canvas.isWhole() || pixels.empty()) {
            return pixels.view();
        }
        // The image spans the whole canvas; its first row lies canvas.top rows before the
        // memory held, and the clip keeps every write inside that memory.
        const uintptr_t first = reinterpret_cast<uintptr_t>(pixels.bits()) -
                                uintptr_t(canvas.top) * uintptr_t(pixels.rowBytes());
        // Through an integer on purpose: pointer arithmetic before the block would be undefined.
        // NOLINTNEXTLINE(performance-no-int-to-ptr)
        return QImage(reinterpret_cast<uchar*>(first), pixels.width(), canvas.height,
                      qsizetype(pixels.rowBytes()), QImage::Format_RGB32);
    }

    QImage m_image; // declared first: the painter ends before the image it paints goes
    QPainter m_painter;
};

void drawSegments(const Figure& figure, const FigureType& type, const CanvasRows& canvas,
                  PixelPos origin, double zoom) {
    CanvasPainter canvasPainter(canvas);
    if (!canvasPainter.active()) {
        return;
    }
    QPainter& painter = canvasPainter.painter();
    painter.setBrush(Qt::white);
    for (int s = 0; s < type.segmentCount(); ++s) {
        drawSegmentWith(painter, figure, type, s, canvas, origin, zoom);
    }
}

// The scratch bitmap for transparent figures, resized per use; one per thread, since exports
// draw frames on several threads at once.
Bitmap& scratchBitmap() {
    thread_local Bitmap scratch;
    return scratch;
}

// One figure onto the canvas rows held; see paintFigure.
void paintFigureOn(const Figure& figure, const FigureType& type, const CanvasRows& canvas,
                   uint8_t transparencyOverride, PixelPos origin, double zoom) {
    if (!figureMatchesType(figure, type)) {
        return;
    }
    const uint8_t t = transparencyOverride != 0 ? transparencyOverride : figure.transparency;
    if (t == 0) {
        drawSegments(figure, type, canvas, origin, zoom);
        return;
    }
    if (t == 255) {
        return;
    }
    double left = figure.bounds.left, top = figure.bounds.top;
    double right = figure.bounds.right, bottom = figure.bounds.bottom;
    if (zoom != 1) {
        left = std::trunc(left * zoom);
        top = std::trunc(top * zoom);
        right = std::ceil(right * zoom);
        bottom = std::ceil(bottom * zoom);
    }
    left = std::max(left, double(-origin.x));
    top = std::max(top, double(-origin.y));
    right = std::min(right, double(canvas.pixels.width()) - origin.x);
    bottom = std::min(bottom, double(canvas.height) - origin.y);
    if (!(right > left && bottom > top)) {
        return;
    }
    // The work area is composed as a whole; only its rows on the canvas rows held are kept.
    const int areaTop = origin.y + int(top);
    const int firstRow = std::max(areaTop, canvas.top);
    const int endRow = std::min(origin.y + int(bottom), canvas.top + canvas.pixels.height());
    if (firstRow >= endRow) {
        return;
    }
    const uint32_t key = figure.colour == kKeyColour ? kAlternateKey : kKeyColour;
    Bitmap& scratch = scratchBitmap();
    scratch.reset(int(right - left), endRow - firstRow, PixelFormat::Bits32);
    scratch.fill(colourToPixel(key));
    drawSegments(figure, type, CanvasRows{scratch, firstRow - areaTop, int(bottom - top)},
                 {-int(left), -int(top)}, zoom);
    blendOnto(scratch, canvas.pixels, t, {origin.x + int(left), firstRow - canvas.top}, key);
}

void drawAllOn(const Figures& frame, const FigureTypeList& types, const CanvasRows& canvas,
               bool ghost, PixelPos origin, double zoom) {
    for (uint16_t i : frame.drawOrder) {
        if (i >= frame.figures.size()) {
            continue;
        }
        const Figure& figure = frame.figures[i];
        if (figure.typeIndex >= types.size()) {
            continue;
        }
        const uint8_t override = ghost ? ghostTransparency(figure.transparency) : 0;
        paintFigureOn(figure, types[figure.typeIndex], canvas, override, origin, zoom);
    }
}

} // namespace

void drawSegment(const Figure& figure, const FigureType& type, int segment, Bitmap& canvas,
                 PixelPos origin, double zoom) {
    if (!figureMatchesType(figure, type) || segment < 0 || segment >= type.segmentCount()) {
        return;
    }
    const CanvasRows whole = CanvasRows::whole(canvas);
    CanvasPainter canvasPainter(whole);
    if (!canvasPainter.active()) {
        return;
    }
    QPainter& painter = canvasPainter.painter();
    painter.setBrush(Qt::white);
    drawSegmentWith(painter, figure, type, segment, whole, origin, zoom);
}

void paintFigure(const Figure& figure, const FigureType& type, Bitmap& bitmap,
                 uint8_t transparencyOverride, PixelPos origin, double zoom) {
    paintFigureOn(figure, type, CanvasRows::whole(bitmap), transparencyOverride, origin, zoom);
}

uint8_t ghostTransparency(uint8_t transparency) {
    return uint8_t(255 - (75 * (255 - transparency)) / 256);
}

void drawHandles(const Figure& figure, const FigureType& type, Bitmap& canvas,
                 uint32_t segmentColour, bool showSegmentHandles, bool allHandles, PixelPos origin,
                 uint32_t mainColour, double zoom) {
    if (!figureMatchesType(figure, type)) {
        return;
    }
    CanvasPainter canvasPainter(CanvasRows::whole(canvas));
    if (!canvasPainter.active()) {
        return;
    }
    QPainter& painter = canvasPainter.painter();
    painter.setPen(QPen(Qt::black, 1));
    auto handle = [&](int joint, uint32_t fill) {
        const int r = iround(figure.handleRadius(type, joint));
        // Where drawSegmentWith puts the joint, so handles sit on the segment ends.
        const FigureJoint& j = figure.jointPos[size_t(joint)];
        const int cx = origin.x + iround(double(roundHalfEven(j.x)) * zoom);
        const int cy = origin.y + iround(double(roundHalfEven(j.y)) * zoom);
        painter.setBrush(qcolour(fill));
        painter.drawEllipse(QRect(cx - r, cy - r, 2 * r, 2 * r));
    };
    if (!figure.isJoined) {
        handle(0, figure.hasJoinedAt(0) ? kHandleWhite : mainColour);
    }
    if (showSegmentHandles) {
        const bool selected = figure.selectionPos >= 0;
        for (int s = 0; s < type.segmentCount(); ++s) {
            const Segment& seg = type.segments[size_t(s)];
            if (seg.isStatic && !allHandles) {
                continue;
            }
            const bool joined = figure.hasJoinedAt(seg.endJoint);
            handle(seg.endJoint,
                   !joined ? segmentColour : (selected ? kHandleWhite : kHandleSilver));
        }
    }
}

void drawAll(const Figures& frame, const FigureTypeList& types, Bitmap& bitmap, bool ghost,
             PixelPos origin, double zoom) {
    drawAllOn(frame, types, CanvasRows::whole(bitmap), ghost, origin, zoom);
}

void drawAllRows(const Figures& frame, const FigureTypeList& types, Bitmap& rows, int top,
                 int canvasHeight, double zoom) {
    drawAllOn(frame, types, CanvasRows{rows, top, canvasHeight}, false, {0, 0}, zoom);
}

void drawAllHandles(const Figures& frame, const FigureTypeList& types, Bitmap& canvas,
                    PixelPos origin, double zoom) {
    for (uint16_t i : frame.drawOrder) {
        if (i >= frame.figures.size()) {
            continue;
        }
        const Figure& figure = frame.figures[i];
        if (figure.typeIndex >= types.size()) {
            continue;
        }
        const FigureType& type = types[figure.typeIndex];
        if (frame.joinMode) {
            if (figure.joinCandidate) {
                drawHandles(figure, type, canvas, kHandleWhite, true, true, origin, kHandleWhite,
                            zoom);
            }
        } else if (figure.selectionPos >= 0) {
            drawHandles(figure, type, canvas, kHandleRed, true, false, origin, kHandleOrange, zoom);
        } else {
            const bool shown = appSettings().showHandles || figure.isJoined;
            drawHandles(figure, type, canvas, kHandleBlue, shown, false, origin, kHandleLightBlue,
                        zoom);
        }
    }
}

void drawFrame(Bitmap& bitmap, const Figures& frame, const FigureTypeList& types,
               const std::vector<ImageGeneral>& backgrounds, int animWidth, int animHeight,
               double zoom) {
    const int index = frame.backgroundIndex;
    const bool hasBackground = index > 0 && index < int(backgrounds.size());
    if (zoom != 1) {
        const Rect area{0, 0, iround(zoom * animWidth), iround(zoom * animHeight)};
        if (hasBackground) {
            backgrounds[size_t(index)].stretchDraw(bitmap, area);
        } else {
            fillRect(bitmap, area, 0xFFFFFFFF);
        }
    } else if (hasBackground) {
        backgrounds[size_t(index)].draw(bitmap, {0, 0});
    } else {
        fillRect(bitmap, Rect{0, 0, animWidth, animHeight}, 0xFFFFFFFF);
    }
    drawAll(frame, types, bitmap, false, {0, 0}, zoom);
}

} // namespace kelto

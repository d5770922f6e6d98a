#include "pickers/imageselector.h"

#include "base/error.h"
#include "pickers/thumbnails.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace kelto {

namespace {

// A copy of a 32-bit bitmap as a QImage (the view shares memory only while the bitmap lives).
QImage toImage(const Bitmap& bitmap) {
    Bitmap copy = bitmap;
    return copy.view().copy();
}

} // namespace

ImageSelector::ImageSelector(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    setFont(small);
    relayout();
}

int ImageSelector::textWidth(const QString& text) const {
    return fontMetrics().horizontalAdvance(text);
}

QString ImageSelector::shownCaption(int i) const {
    return shortenCaption(caption(i), m_layout.boxWidth, m_layout.margin,
                          [this](const QString& t) { return textWidth(t); });
}

void ImageSelector::add(const Bitmap& source, const QString& caption, bool redraw) {
    m_cells.push_back({{}, makeThumbnail(source), caption});
    if (redraw) {
        relayout();
    }
}

void ImageSelector::add(SourceMaker source, const QString& caption, bool redraw) {
    m_cells.push_back({std::move(source), std::nullopt, caption});
    if (redraw) {
        relayout();
    }
}

const Bitmap& ImageSelector::thumbnail(int i) const {
    Cell& cell = m_cells.at(size_t(i));
    if (!cell.thumbnail) {
        Bitmap source = whiteThumbnail();
        try {
            if (cell.source) {
                source = cell.source();
            }
        } catch (const std::exception&) {
            // Drawn while painting, where nothing may throw: a picture that cannot be made
            // leaves its cell blank rather than ending the program.
        }
        cell.thumbnail = makeThumbnail(source);
        cell.source = nullptr;
    }
    return *cell.thumbnail;
}

void ImageSelector::remove(int index) {
    if (index < 0 || index >= count()) {
        return;
    }
    m_cells.erase(m_cells.begin() + index);
    relayout();
}

void ImageSelector::clearToFirst() {
    if (count() <= 1) {
        return;
    }
    m_cells.resize(1);
    relayout();
}

void ImageSelector::setColour(const QColor& colour) {
    m_colour = colour;
    update();
}

void ImageSelector::setPickerWidth(int width) {
    resize(width, height());
    if (!m_layingOut) {
        relayout();
    }
}

void ImageSelector::relayout() {
    const int captionHeight = fontMetrics().height() + 4;
    m_layingOut = true;
    // A second pass only when the first changed the width (a scroll bar came or went).
    for (int pass = 0; pass < 2; ++pass) {
        const int widthBefore = width();
        m_layout = PickerLayout::compute(width(), count(), captionHeight);
        setFixedHeight(m_layout.height);
        if (width() == widthBefore) {
            break;
        }
    }
    m_layingOut = false;
    update();
}

void ImageSelector::drawCell(QPainter& painter, int i) {
    const int x = m_layout.cellX(i), y = m_layout.cellY(i);
    const Bitmap& thumb = thumbnail(i);
    const int box = m_layout.boxWidth;
    painter.drawImage(x + (box - thumb.width()) / 2, y + (m_layout.boxHeight - thumb.height()) / 2,
                      toImage(thumb));
    const QString text = shownCaption(i);
    const int left = std::max(0, (box - textWidth(text)) / 2);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(
        QRect(x + left, y + m_layout.boxHeight + 2, box + m_layout.margin, m_layout.captionHeight),
        Qt::AlignLeft | Qt::AlignTop, text);
}

// Only the rows the paint event asks for are drawn, so a long picker costs what is visible.
void ImageSelector::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, m_colour);
    if (count() == 0 || m_layout.cellHeight <= 0 || m_layout.columns <= 0) {
        return;
    }
    painter.setFont(font());
    const int firstRow = std::max(0, (area.top() - m_layout.margin) / m_layout.cellHeight);
    const int lastRow = (area.bottom() - m_layout.margin) / m_layout.cellHeight;
    const int first = firstRow * m_layout.columns;
    const int end = std::min(count(), (lastRow + 1) * m_layout.columns);
    for (int i = first; i < end; ++i) {
        drawCell(painter, i);
    }
}

void ImageSelector::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    Q_EMIT cellPressed(hitTest(p.x(), p.y()), event->modifiers());
}

void ImageSelector::mouseReleaseEvent(QMouseEvent*) {
    Q_EMIT released();
}

void ImageSelector::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    Q_EMIT hovered(hitTest(p.x(), p.y()));
}

} // namespace kelto

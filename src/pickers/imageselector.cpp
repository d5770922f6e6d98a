#include "pickers/imageselector.h"

#include "pickers/thumbnails.h"
#include "settings/errorreporter.h"

#include <QFontMetrics>
#include <QMouseEvent>
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
    return shortenCaption(m_captions.value(i), m_layout.boxWidth, m_layout.margin,
                          [this](const QString& t) { return textWidth(t); });
}

void ImageSelector::add(const Bitmap& source, const QString& caption, bool redraw) {
    m_thumbnails.push_back(makeThumbnail(source));
    m_captions << caption;
    m_cellRects.emplace_back();
    if (redraw) {
        relayout();
    }
}

void ImageSelector::remove(int index) {
    if (index < 0 || index >= count()) {
        return;
    }
    m_thumbnails.erase(m_thumbnails.begin() + index);
    m_captions.removeAt(index);
    m_cellRects.erase(m_cellRects.begin() + index);
    relayout();
}

void ImageSelector::clearToFirst() {
    if (count() <= 1) {
        return;
    }
    m_thumbnails.resize(1);
    m_captions = m_captions.mid(0, 1);
    m_cellRects.resize(1);
    relayout();
}

void ImageSelector::setColour(const QColor& colour) {
    m_colour = colour;
    relayout();
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
    m_surface = QImage(std::max(width(), 1), m_layout.height, QImage::Format_RGB32);
    m_surface.fill(m_colour);
    QPainter painter(&m_surface);
    painter.setFont(font());
    for (int i = 0; i < count(); ++i) {
        drawCell(painter, i);
    }
    update();
}

void ImageSelector::drawCell(QPainter& painter, int i) {
    const int x = m_layout.cellX(i), y = m_layout.cellY(i);
    const Bitmap& thumb = m_thumbnails[size_t(i)];
    const int box = m_layout.boxWidth;
    painter.drawImage(x + (box - thumb.width()) / 2, y + (m_layout.boxHeight - thumb.height()) / 2,
                      toImage(thumb));
    const QString text = shownCaption(i);
    const int left = std::max(0, (box - textWidth(text)) / 2);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(
        QRect(x + left, y + m_layout.boxHeight + 2, box + m_layout.margin, m_layout.captionHeight),
        Qt::AlignLeft | Qt::AlignTop, text);
    m_cellRects[size_t(i)] = m_layout.cellRect(i);
}

void ImageSelector::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_colour);
    painter.drawImage(0, 0, m_surface);
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

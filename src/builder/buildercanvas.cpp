#include "builder/buildercanvas.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace kelto {

BuilderCanvas::BuilderCanvas(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true); // the segment previews follow the pointer with no button held
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void BuilderCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QImage image = m_source ? m_source() : QImage();
    if (image.isNull()) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    painter.drawImage(0, 0, image);
}

void BuilderCanvas::mousePressEvent(QMouseEvent* event) {
    if (m_handlers.press) {
        m_handlers.press(event);
    }
}

void BuilderCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (m_handlers.move) {
        m_handlers.move(event);
    }
}

void BuilderCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (m_handlers.release) {
        m_handlers.release(event);
    }
}

} // namespace kelto

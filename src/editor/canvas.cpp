#include "editor/canvas.h"

#include "editor/scene.h"

#include <QPaintEvent>
#include <QPainter>

namespace kelto {

Canvas::Canvas(Scene& scene, QWidget* parent) : QWidget(parent), m_scene(scene) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setObjectName(QStringLiteral("EditPaintBox"));
}

void Canvas::present(const Rect& r) {
    const QRect rect(r.left, r.top, r.width(), r.height());
    m_presented += rect;
    update(rect);
}

void Canvas::paintEvent(QPaintEvent* event) {
    const bool ours = (event->region() - m_presented).isEmpty();
    m_presented = QRegion();
    if (!ours && m_repaint) {
        // The scene may recompose now. What it hands on is queued once more; that second
        // paint is ours and only copies.
        m_repaint();
    }
    Bitmap& screen = m_scene.screenBuffer();
    QPainter painter(this);
    // The screen buffer covers the scene's window of the canvas; anything else the system
    // asks for lies outside what can be seen and gets the window colour.
    const Rect w = m_scene.window();
    const QRect window(w.left, w.top, w.width(), w.height());
    const QImage image = screen.empty() ? QImage() : screen.view();
    for (const QRect& r : event->region()) {
        const QRect shown = image.isNull() ? QRect() : r.intersected(window);
        if (shown != r) {
            painter.fillRect(r, palette().color(QPalette::Window));
        }
        if (!shown.isEmpty()) {
            painter.drawImage(shown.topLeft(), image, shown.translated(-window.topLeft()));
        }
    }
}

void Canvas::mousePressEvent(QMouseEvent* event) {
    Q_EMIT mousePressed(event);
}

void Canvas::mouseMoveEvent(QMouseEvent* event) {
    Q_EMIT mouseMoved(event);
}

void Canvas::mouseReleaseEvent(QMouseEvent* event) {
    Q_EMIT mouseReleased(event);
}

} // namespace kelto

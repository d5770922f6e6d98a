#pragma once

#include "model/geometry.h"

#include <QRegion>
#include <QWidget>

#include <functional>

namespace kelto {

class Scene;

// The canvas: shows the scene's screen buffer. Rectangles the scene hands on are copied as
// they are; any other repaint the system asks for goes to the repaint handler, which decides
// whether the scene must be recomposed first. Mouse and key input is passed on untouched.
class Canvas : public QWidget {
    Q_OBJECT
public:
    explicit Canvas(Scene& scene, QWidget* parent = nullptr);

    // Queues a rectangle of the screen buffer for the screen (canvas coordinates).
    void present(const Rect& rect);
    void setRepaintHandler(std::function<void()> handler) { m_repaint = std::move(handler); }

Q_SIGNALS:
    void mousePressed(QMouseEvent* event);
    void mouseMoved(QMouseEvent* event);
    void mouseReleased(QMouseEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Scene& m_scene;
    QRegion m_presented; // queued by the scene, so copied without recomposing
    std::function<void()> m_repaint;
};

} // namespace kelto

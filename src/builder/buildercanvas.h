#pragma once

#include <QWidget>

#include <functional>

class QImage;

namespace kelto {

// The builder's drawing surface. It shows the window's off-screen bitmap and passes the mouse
// on; all drawing happens in the off-screen bitmap.
class BuilderCanvas : public QWidget {
    Q_OBJECT
public:
    struct Handlers {
        std::function<void(QMouseEvent*)> press;
        std::function<void(QMouseEvent*)> move;
        std::function<void(QMouseEvent*)> release;
    };

    explicit BuilderCanvas(QWidget* parent = nullptr);

    void setHandlers(Handlers handlers) { m_handlers = std::move(handlers); }
    // The picture to show; it must outlive its use here (the window owns it).
    void setSource(std::function<QImage()> source) { m_source = std::move(source); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Handlers m_handlers;
    std::function<QImage()> m_source;
};

} // namespace kelto

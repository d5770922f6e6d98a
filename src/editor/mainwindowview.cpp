// The canvas view part of the main window: zoom and pan. The view is the window's alone; the
// document, the hit tests and the files see animation pixels only.
#include "editor/canvas.h"
#include "editor/canvasview.h"
#include "editor/mainwindow.h"
#include "report/errorreporter.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QWheelEvent>

#include <cmath>
#include <cstdlib>
#include <utility>

namespace kelto {

namespace {

// Hands the canvas's mouse button events to the window before the canvas sees them, so a
// middle-button pan never starts a posing gesture. Other events never reach the window: the
// canvas still gets some while the window is being destroyed.
class CanvasPanFilter : public QObject {
public:
    CanvasPanFilter(QObject* parent, std::function<bool(QEvent*)> handler)
        : QObject(parent), m_handler(std::move(handler)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        const auto type = event->type();
        const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                           type == QEvent::MouseButtonRelease;
        return mouse && m_handler(event);
    }

private:
    std::function<bool(QEvent*)> m_handler;
};

constexpr int kWheelNotch = 120; // one step of a mouse wheel, in eighths of a degree

} // namespace

void MainWindow::addZoomCommands() {
    m_viewMenu->addSeparator();
    addCommand(m_viewMenu, "ZoomIn1", &MainWindow::zoomIn)
        ->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    addCommand(m_viewMenu, "ZoomOut1", &MainWindow::zoomOut,
               QKeySequence(Qt::CTRL | Qt::Key_Minus));
    addCommand(m_viewMenu, "ActualSize1", &MainWindow::zoomToActualSize,
               QKeySequence(Qt::CTRL | Qt::Key_0));
    addCommand(m_viewMenu, "FitToWindow1", &MainWindow::zoomToFit,
               QKeySequence(Qt::CTRL | Qt::Key_9));
}

void MainWindow::applyViewLanguage() {
    const std::pair<const char*, PhraseType> captions[] = {
        {"ZoomIn1", PhraseType::MVZoomIn},
        {"ZoomOut1", PhraseType::MVZoomOut},
        {"ActualSize1", PhraseType::MVZoomActual},
        {"FitToWindow1", PhraseType::MVZoomFit},
    };
    for (const auto& [name, phrase] : captions) {
        if (QAction* a = action(QString::fromLatin1(name))) { // none before the menu is built
            a->setText(getPhrase(phrase));
        }
    }
    if (m_zoomLabel) {
        m_zoomLabel->setToolTip(getPhrase(PhraseType::MZoomHint));
    }
}

void MainWindow::setUpCanvasView() {
    m_zoomLabel = new QLabel(zoomText(m_zoom));
    m_zoomLabel->setObjectName(QStringLiteral("ZoomLabel"));
    m_zoomLabel->setMinimumWidth(
        m_zoomLabel->fontMetrics().horizontalAdvance(QStringLiteral("8888%")));
    m_zoomLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusBar()->addPermanentWidget(m_zoomLabel);
    for (QScrollBar* bar : {m_scrollBox->horizontalScrollBar(), m_scrollBox->verticalScrollBar()}) {
        connect(bar, &QScrollBar::valueChanged, this, [this] {
            if (!m_settingView) {
                guarded("EditingScrollBoxScroll", [this] { updateVisibleWindow(); });
            }
        });
    }
    m_canvas->installEventFilter(new CanvasPanFilter(this, [this](QEvent* event) {
        bool handled = false;
        guarded("EditPaintBoxPan", [&] { handled = canvasPanEvent(event); });
        return handled;
    }));
}

PointF MainWindow::animationPoint(QPoint canvasPos) const {
    return canvasToAnimation(QPointF(canvasPos), m_scene.areaOffset(), m_zoom);
}

HandleView MainWindow::handleView() const {
    return settingsHandleView(m_zoom);
}

void MainWindow::setZoom(double zoom) {
    const QWidget* viewport = m_scrollBox->viewport();
    setZoomAt(zoom, QPointF(viewport->width() / 2.0, viewport->height() / 2.0));
}

void MainWindow::setZoomAt(double zoom, QPointF pointer) {
    zoom = clampZoom(zoom);
    if (zoom == m_zoom) {
        return;
    }
    QScrollBar* h = m_scrollBox->horizontalScrollBar();
    QScrollBar* v = m_scrollBox->verticalScrollBar();
    const PointF anchor =
        canvasToAnimation(pointer + QPointF(h->value(), v->value()), m_scene.areaOffset(), m_zoom);
    m_zoom = zoom;
    m_zoomLabel->setText(zoomText(m_zoom));
    m_settingView = true;
    setEditingArea(); // the canvas takes its new size, and the bars their new ranges
    const QPoint scroll = anchoredScroll(anchor, pointer, m_scene.areaOffset(), m_zoom);
    h->setValue(scroll.x());
    v->setValue(scroll.y());
    m_settingView = false;
    updateVisibleWindow();
    refreshCanvasView();
}

Rect MainWindow::visibleCanvasRect() const {
    const int x = m_scrollBox->horizontalScrollBar()->value();
    const int y = m_scrollBox->verticalScrollBar()->value();
    // A box never shown has not laid out its viewport yet; its own size is an upper bound.
    const QWidget* viewport = m_scrollBox->viewport();
    const QSize size = m_scrollBox->isVisible() ? viewport->size() : m_scrollBox->size();
    return {x, y, x + size.width(), y + size.height()};
}

void MainWindow::updateVisibleWindow() {
    const Rect before = m_scene.window();
    m_scene.setVisibleWindow(visibleCanvasRect());
    if (!(m_scene.window() == before)) {
        refreshCanvasView();
    }
}

void MainWindow::refreshCanvasView() {
    if (isPlaying()) {
        // The next tick draws the frame; until then the area shows its background.
        m_scene.drawGhostBackground();
        m_scene.screenBuffer() = m_scene.ghostBitmap();
        const int shown = timeline().playFrame();
        if (shown >= 0 && shown < m_doc.frameCount()) {
            m_scene.drawPlaybackFrame(m_doc.frames[size_t(shown)]);
        }
        m_canvas->update();
        return;
    }
    m_scene.drawGhostEdit();
    drawFigures();
}

void MainWindow::zoomIn() {
    guarded("ZoomIn", [this] { setZoom(zoomInStep(m_zoom)); });
}

void MainWindow::zoomOut() {
    guarded("ZoomOut", [this] { setZoom(zoomOutStep(m_zoom)); });
}

void MainWindow::zoomToActualSize() {
    guarded("ActualSize", [this] { setZoom(1.0); });
}

void MainWindow::zoomToFit() {
    guarded("FitToWindow", [this] {
        setZoom(fitZoom(m_scrollBox->width(), m_scrollBox->height(), m_doc.animWidth(),
                        m_doc.animHeight()));
    });
}

bool MainWindow::canvasZoomWheel(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        return false;
    }
    guarded("FormMouseWheelZoom", [&] {
        // Fine-grained wheels (touchpads) send parts of a notch; they add up to whole steps.
        m_wheelRest += event->angleDelta().y();
        const int steps = m_wheelRest / kWheelNotch;
        m_wheelRest -= steps * kWheelNotch;
        double zoom = m_zoom;
        for (int i = 0; i < std::abs(steps); ++i) {
            zoom = steps > 0 ? zoomInStep(zoom) : zoomOutStep(zoom);
        }
        const QWidget* viewport = m_scrollBox->viewport();
        setZoomAt(zoom, viewport->mapFromGlobal(event->globalPosition()));
    });
    return true;
}

bool MainWindow::canvasPanEvent(QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease) {
        return false;
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::MiddleButton) {
        m_panning = true;
        m_panLast = mouse->globalPosition();
        m_canvas->setCursor(Qt::ClosedHandCursor);
        return true;
    }
    if (!m_panning) {
        return false;
    }
    if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::MiddleButton) {
        m_panning = false;
        m_canvas->unsetCursor();
        return true;
    }
    if (type == QEvent::MouseMove) {
        // The canvas follows the hand: dragging right shows what lies to the left.
        const QPointF delta = mouse->globalPosition() - m_panLast;
        m_panLast = mouse->globalPosition();
        QScrollBar* h = m_scrollBox->horizontalScrollBar();
        QScrollBar* v = m_scrollBox->verticalScrollBar();
        h->setValue(h->value() - int(std::lround(delta.x())));
        v->setValue(v->value() - int(std::lround(delta.y())));
        return true;
    }
    return true; // other buttons wait until the pan ends
}

} // namespace kelto

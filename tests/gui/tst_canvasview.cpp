#include "editor/canvas.h"
#include "editor/canvasview.h"
#include "editor/mainwindow.h"
#include "gui/mainwindowfixture.h"
#include "gui/scriptedprompter.h"
#include "report/errorreporter.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QRect>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

using namespace kelto;

// Zoom and pan of the canvas, driven through the real main window offscreen.
class TestCanvasView : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    // The stick man's root put on (240, 200): a multiple of four, so at 25 %, 100 % and 400 %
    // its canvas position is a whole pixel.
    static void placeMan(MainWindow& w) {
        Figures& f = w.editFigures();
        const PointF root = f.figures[0].joint(0);
        f.moveFigure(0, 240 - root.x, 200 - root.y);
        f.figures[0].updateBounds(w.document().figureType(1));
        w.session().resetHistory(w.editFigures());
        w.initUndo();
        w.drawFigures();
    }

    static QPoint canvasAt(MainWindow& w, PointF p) {
        const QPointF c = animationToCanvas(p, w.scene().areaOffset(), w.zoom());
        return QPoint(int(std::lround(c.x())), int(std::lround(c.y())));
    }

    static void drag(MainWindow& w, QPoint from, QPoint to) {
        QTest::mousePress(w.canvas(), Qt::LeftButton, {}, from);
        QTest::mouseMove(w.canvas(), (from + to) / 2);
        QTest::mouseMove(w.canvas(), to);
        QTest::mouseRelease(w.canvas(), Qt::LeftButton, {}, to);
    }

    static QPoint scrollOf(MainWindow& w) {
        return {w.editingScrollBox()->horizontalScrollBar()->value(),
                w.editingScrollBox()->verticalScrollBar()->value()};
    }

    // How many pixels of the screen buffer have the colour, and the box around them.
    static std::pair<int, QRect> findPixels(const Bitmap& b, uint32_t colour) {
        int n = 0;
        QRect box;
        for (int y = 0; y < b.height(); ++y) {
            for (int x = 0; x < b.width(); ++x) {
                if (b.pixel32(x, y) == colour) {
                    ++n;
                    box |= QRect(x, y, 1, 1);
                }
            }
        }
        return {n, box};
    }

    static void sendWheel(QWidget* viewport, QPoint at, int delta) {
        QWheelEvent wheel(at, viewport->mapToGlobal(at), {}, QPoint(0, delta), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
    }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }
    void init() { m_fx.setUp(); }
    void cleanup() { m_fx.checkNothingReported(); }

    void zoomStepsAndFitStayInRange() {
        QCOMPARE(zoomInStep(1.0), 1.5);
        QCOMPARE(zoomOutStep(1.0), 0.75);
        QCOMPARE(zoomInStep(0.9), 1.0); // a fitted zoom goes to the next step, not past it
        QCOMPARE(zoomOutStep(0.9), 0.75);
        QCOMPARE(zoomInStep(8.0), 8.0);
        QCOMPARE(zoomOutStep(0.1), 0.1);
        QCOMPARE(clampZoom(100.0), 8.0);
        QCOMPARE(clampZoom(0.0), 0.1);
        QCOMPARE(clampZoom(std::nan("")), 1.0);
        // The box keeps 8 pixels for its frame and 2 for the border lines.
        QCOMPARE(fitZoom(510, 410, 250, 100), 2.0);
        QCOMPARE(fitZoom(510, 410, 1000, 100), 0.5);
        QCOMPARE(fitZoom(510, 410, 32767, 32767), 0.1);
        QCOMPARE(fitZoom(510, 410, 10, 10), 8.0);
        QCOMPARE(zoomText(1.0 / 3), QString("33%"));
        // The canvas grows with the zoom and centres the area while it is smaller than the box.
        const EditingArea a = computeZoomedArea(600, 500, 500, 400, 0.5);
        QCOMPARE(a.canvasWidth, 592);
        QCOMPARE(a.areaOffset, (PixelPos{(592 - 250) / 2, (492 - 200) / 2}));
        const EditingArea b = computeZoomedArea(600, 500, 500, 400, 4.0);
        QCOMPARE(b.canvasWidth, 2000);
        QCOMPARE(b.areaOffset, (PixelPos{0, 0}));
    }

    void shortcutsMenuAndLabelFollowTheZoom() {
        auto w = m_fx.shownWindow();
        QLabel* label = w->zoomLabel();
        QCOMPARE(label->text(), QString("100%"));
        QTest::keyClick(w.get(), Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(w->zoom(), 1.5);
        QCOMPARE(label->text(), QString("150%"));
        QCOMPARE(w->scene().zoom(), 1.5);
        QTest::keyClick(w.get(), Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(w.get(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(w->zoom(), 0.75);
        QTest::keyClick(w.get(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(w->zoom(), 1.0);
        w->action("FitToWindow1")->trigger();
        QScrollArea* box = w->editingScrollBox();
        QCOMPARE(w->zoom(), fitZoom(box->width(), box->height(), 500, 400));
        // Fitted, the whole area is on the canvas without scrolling.
        QCOMPARE(box->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(box->verticalScrollBar()->maximum(), 0);
        for (int i = 0; i < 40; ++i) {
            w->zoomIn();
        }
        QCOMPARE(label->text(), QString("800%"));
        QCOMPARE(w->action("ZoomIn1")->text(), QString("Zoom In"));
        // The document never hears of the view.
        QVERIFY(w->document().documentSaved);
        QVERIFY(!w->action("Undo1")->isEnabled());
    }

    void aDragHitsTheSameHandlesAndGivesTheSamePoseAtEveryZoom() {
        std::vector<Figure> results;
        for (const double zoom : {1.0, 0.25, 4.0}) {
            auto w = m_fx.shownWindow();
            placeMan(*w);
            w->setZoom(zoom);
            QCOMPARE(w->zoom(), zoom);
            Figures& f = w->editFigures();
            // The main handle moves the figure by whole animation pixels.
            drag(*w, canvasAt(*w, {240, 200}), canvasAt(*w, {280, 180}));
            QCOMPARE(f.figures[0].joint(0).x, 280.0);
            QCOMPARE(f.figures[0].joint(0).y, 180.0);
            // The last segment's handle turns it towards a point given in animation pixels.
            const FigureType& type = w->document().figureType(1);
            const int end = type.segments.back().endJoint;
            const PointF hand = f.figures[0].joint(end);
            const QPoint press = canvasAt(*w, hand);
            const PointF target{4 * std::round(hand.x / 4) + 40, 4 * std::round(hand.y / 4) + 20};
            drag(*w, press, canvasAt(*w, target));
            QVERIFY2(f.figures[0].stretchedCount == 0, "a plain drag never stretches");
            results.push_back(f.figures[0]);
            QCOMPARE(w->action("Undo1")->text(), QString("Undo Move"));
            w->document().documentSaved = true;
        }
        for (size_t k = 1; k < results.size(); ++k) {
            for (size_t j = 0; j < results[0].jointPos.size(); ++j) {
                QCOMPARE(results[k].jointPos[j].x, results[0].jointPos[j].x);
                QCOMPARE(results[k].jointPos[j].y, results[0].jointPos[j].y);
            }
            QCOMPARE(results[k].bounds, results[0].bounds);
        }
    }

    void theSelectBoxWorksInAnimationPixelsAtEveryZoom() {
        for (const double zoom : {0.25, 4.0}) {
            auto w = m_fx.shownWindow();
            placeMan(*w);
            w->addFigure(1); // the second man, in the middle and selected
            Figures& f = w->editFigures();
            f.moveFigure(1, 100, 0);
            f.figures[1].updateBounds(w->document().figureType(1));
            w->setZoom(zoom);
            QCOMPARE(f.selection, (std::vector<uint16_t>{1}));
            // A box from empty canvas over the first man's root (240, 200) only.
            const QPoint from = canvasAt(*w, {160, 120});
            const QPoint to = canvasAt(*w, {260, 216});
            QTest::mousePress(w->canvas(), Qt::LeftButton, {}, from);
            QTest::mouseMove(w->canvas(), to);
            QTest::mouseRelease(w->canvas(), Qt::LeftButton, {}, to);
            QVERIFY2(f.selection == (std::vector<uint16_t>{1, 0}),
                     qPrintable(QString::number(zoom)));
            w->document().documentSaved = true;
        }
    }

    void handlesKeepTheirSizeAndPartialRedrawsMatchAFullOne() {
        auto w = m_fx.shownWindow();
        placeMan(*w);
        const uint32_t orange = 0x00FF8800u; // the selected figure's main handle
        const auto [atActualSize, box] = findPixels(w->scene().screenBuffer(), orange);
        QVERIFY(atActualSize > 0);
        for (const double zoom : {4.0, 0.25}) {
            w->setZoom(zoom);
            const auto [count, zoomedBox] = findPixels(w->scene().screenBuffer(), orange);
            if (zoom > 1) {
                QCOMPARE(count, atActualSize);
            }
            // Zoomed out the other handles of the small man overlap the main one, but it is
            // as wide as ever.
            QCOMPARE(zoomedBox.width(), box.width());
            if (zoom > 1) {
                // The figure is drawn at the zoom: its back, 10 pixels over the root, is black
                // (zoomed out the handles cover it).
                const QPoint back = canvasAt(*w, {240, 190});
                const Rect win = w->scene().window();
                QCOMPARE(w->scene().screenBuffer().pixel32(back.x() - win.left, back.y() - win.top),
                         0u);
            }
            // A drag recomposes only around the figure; the result is the full picture.
            const int full = w->scene().fullRedrawCount();
            drag(*w, canvasAt(*w, {240, 200}), canvasAt(*w, {248, 196}));
            QCOMPARE(w->scene().fullRedrawCount(), full);
            const Bitmap partial = w->scene().screenBuffer();
            w->drawFigures();
            const Bitmap& whole = w->scene().screenBuffer();
            QCOMPARE(partial.width(), whole.width());
            for (int y = 0; y < whole.height(); ++y) {
                QVERIFY(std::equal(whole.row(y), whole.row(y) + whole.rowBytes(), partial.row(y)));
            }
            w->undoStep();
        }
        w->document().documentSaved = true;
    }

    void ctrlWheelZoomsAboutThePointer() {
        auto w = m_fx.shownWindow();
        QWidget* viewport = w->editingScrollBox()->viewport();
        const QPoint at(300, 120);
        const PointF before = w->animationPoint(at + scrollOf(*w));
        sendWheel(viewport, at, 120);
        QCOMPARE(w->zoom(), 1.5);
        sendWheel(viewport, at, 240); // two notches: two steps
        QCOMPARE(w->zoom(), 3.0);
        QCOMPARE(w->zoomLabel()->text(), QString("300%"));
        QVERIFY(scrollOf(*w) != QPoint(0, 0));
        const PointF after = w->animationPoint(at + scrollOf(*w));
        QVERIFY2(
            std::abs(after.x - before.x) <= 1 && std::abs(after.y - before.y) <= 1,
            qPrintable(
                QString("%1,%2 -> %3,%4").arg(before.x).arg(before.y).arg(after.x).arg(after.y)));
        // A touchpad's half notches add up to one step.
        sendWheel(viewport, at, -60);
        QCOMPARE(w->zoom(), 3.0);
        sendWheel(viewport, at, -60);
        QCOMPARE(w->zoom(), 2.0);
        // The visible window is what the scene composes, never the whole zoomed canvas.
        QVERIFY(w->scene().screenBuffer().width() <= viewport->width());
        QVERIFY(w->canvas()->width() >= 1000);
        // Without Ctrl the wheel still walks the figures and leaves the zoom.
        QWheelEvent plain(at, viewport->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &plain);
        QCOMPARE(w->zoom(), 2.0);
    }

    void middleDragAndScrollBarsPan() {
        auto w = m_fx.shownWindow();
        w->setZoom(4.0);
        const int steps = w->session().history().count();
        const PointF root = w->editFigures().figures[0].joint(0);
        const QPoint start = scrollOf(*w);
        Canvas* canvas = w->canvas();
        const QPoint local(200, 200);
        const QPointF global = canvas->mapToGlobal(QPointF(local + start));
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(local + start), global,
                          Qt::MiddleButton, Qt::MiddleButton, {});
        QApplication::sendEvent(canvas, &press);
        QMouseEvent move(QEvent::MouseMove, QPointF(local + start), global - QPointF(50, 30),
                         Qt::NoButton, Qt::MiddleButton, {});
        QApplication::sendEvent(canvas, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(local + start),
                            global - QPointF(50, 30), Qt::MiddleButton, Qt::NoButton, {});
        QApplication::sendEvent(canvas, &release);
        QCOMPARE(scrollOf(*w), start + QPoint(50, 30));
        QCOMPARE(w->editFigures().figures[0].joint(0).x, root.x); // nothing was posed
        QCOMPARE(w->session().history().count(), steps);
        // The scene follows the bars: its window is the visible part of the canvas.
        w->editingScrollBox()->horizontalScrollBar()->setValue(start.x() + 200);
        QCOMPARE(w->scene().window().left, start.x() + 200);
        QCOMPARE(w->scene().window().top, start.y() + 30);
    }
};

QTEST_MAIN(TestCanvasView)
#include "tst_canvasview.moc"

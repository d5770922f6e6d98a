#include "document/kelformat.h"
#include "editor/mainwindow.h"
#include "editor/timeline.h"
#include "gui/mainwindowfixture.h"
#include "gui/scriptedprompter.h"
#include "report/errorreporter.h"
#include "settings/multilang.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>

using namespace kelto;

// Frame numbers, the playback mark, scrubbing and moving frames by drag and drop on the
// timeline of the real main window, offscreen.
class TestTimelineGestures : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    // A shown window with n frames; frame k has the stick man's root at x = 100 + 60 k (so
    // each frame looks different) and repeat count k + 1 (so the order can be read back).
    std::unique_ptr<MainWindow> windowWithNumberedFrames(int n) {
        auto w = m_fx.startedWindow();
        w->resize(1000, 700);
        w->show();
        for (int k = 0; k < n; ++k) {
            Figures& f = w->editFigures();
            f.moveFigure(0, 100 + 60 * k - f.figures[0].joint(0).x, 0);
            w->nextFrameButtonClick();
        }
        for (int k = 0; k < n; ++k) {
            w->document().frames[size_t(k)].repeatCount = uint16_t(k + 1);
        }
        w->session().resetHistory(w->session().newFrame());
        w->timeline().drawTimeLine();
        return w;
    }

    static std::vector<int> order(MainWindow& w) {
        std::vector<int> out;
        for (const Figures& f : w.document().frames) {
            out.push_back(f.repeatCount - 1);
        }
        return out;
    }

    // A mouse event on slot `slot`'s picture at panel position `at` (events of a press-drag
    // go to the pressed widget, wherever the pointer is).
    static void sendMouse(MainWindow& w, int slot, QEvent::Type type, QPoint at,
                          Qt::MouseButton button, Qt::MouseButtons buttons,
                          Qt::KeyboardModifiers mods = {}) {
        QLabel* picture = w.timeline().slot(slot);
        QWidget* panel = picture->parentWidget();
        const QPointF global = panel->mapToGlobal(QPointF(at));
        QMouseEvent e(type, picture->mapFromGlobal(global), global, button, buttons, mods);
        QApplication::sendEvent(picture, &e);
    }

    static QPoint slotCentre(MainWindow& w, int slot) {
        return w.timeline().slot(slot)->geometry().center();
    }

    // The stick man's neck (20 pixels above the root) of frame k is black on the canvas.
    static bool canvasShowsFrame(MainWindow& w, int k) {
        const Scene& scene = w.scene();
        const PixelPos o = scene.layerOrigin();
        const int x = 100 + 60 * k;
        const int y = int(w.document().frames[0].figures[0].joint(0).y) - 20;
        return scene.screenBuffer().pixel32(o.x + x, o.y + y) == 0u;
    }

    static std::vector<uint8_t> bytes(MainWindow& w) { return writeDocumentRecord(w.document()); }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }
    void init() { m_fx.setUp(); }
    void cleanup() { m_fx.checkNothingReported(); }

    void dropPositionsFollowTheHalfOfTheSlot() {
        QCOMPARE(dropPosition(3, false, 10), 3);
        QCOMPARE(dropPosition(3, true, 10), 4);
        QCOMPARE(dropPosition(-1, false, 10), 10); // an empty slot past the end
        QCOMPARE(dropPosition(12, true, 10), 10);
    }

    void thumbnailsCarryNumbersAndPlaybackIsMarked() {
        auto w = windowWithNumberedFrames(4);
        Timeline& tl = w->timeline();
        QVERIFY(tl.slotCount() >= 5);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(tl.number(i)->text(), QString::number(i + 1));
            QVERIFY(tl.number(i)->isVisible());
        }
        QVERIFY(!tl.number(4)->isVisible()); // no frame there
        w->playButtonClick();
        w->advancePlayback();
        QCOMPARE(tl.playFrame(), 0);
        QVERIFY(tl.number(0)->property("playing").toBool());
        QVERIFY(!tl.number(1)->property("playing").toBool());
        w->advancePlayback(); // frame 0 repeats once more
        w->advancePlayback();
        QCOMPARE(tl.playFrame(), 1);
        QVERIFY(!tl.number(0)->property("playing").toBool());
        QVERIFY(tl.number(1)->property("playing").toBool());
        w->stopButtonClick();
        QCOMPARE(tl.playFrame(), -1);
        QVERIFY(!tl.number(1)->property("playing").toBool());
        w->document().documentSaved = true;
    }

    void pressAndDragScrubsThroughTheFrames() {
        auto w = windowWithNumberedFrames(5);
        Timeline& tl = w->timeline();
        const int y = slotCentre(*w, 0).y();
        sendMouse(*w, 0, QEvent::MouseButtonPress, slotCentre(*w, 0), Qt::LeftButton,
                  Qt::LeftButton);
        QCOMPARE(w->editFrameIndex(), 0);
        QVERIFY(canvasShowsFrame(*w, 0));
        const int rendersBefore = tl.renderCount();
        for (int k : {1, 2, 3, 2}) {
            sendMouse(*w, 0, QEvent::MouseMove, {slotCentre(*w, k).x(), y}, Qt::NoButton,
                      Qt::LeftButton);
            QCOMPARE(w->editFrameIndex(), k);
            QVERIFY2(canvasShowsFrame(*w, k), qPrintable(QString::number(k)));
            QVERIFY(!canvasShowsFrame(*w, k == 2 ? 3 : 2));
            QCOMPARE(w->frameLabel()->text(), QString("Frame %1").arg(k + 1));
            QCOMPARE(w->frameSelection().frames(), (std::vector<int>{k}));
        }
        // Past the last thumbnail the scrub stops at the last frame.
        sendMouse(*w, 0, QEvent::MouseMove, {w->timeline().slot(0)->parentWidget()->width() - 2, y},
                  Qt::NoButton, Qt::LeftButton);
        QCOMPARE(w->editFrameIndex(), 4);
        sendMouse(*w, 0, QEvent::MouseButtonRelease, slotCentre(*w, 4), Qt::LeftButton,
                  Qt::NoButton);
        QCOMPARE(tl.renderCount(), rendersBefore); // showing frames renders no thumbnails
        QCOMPARE(order(*w), (std::vector<int>{0, 1, 2, 3, 4})); // and moves none
        QCOMPARE(w->session().history().count(), 0);
    }

    void draggingSelectedFramesMovesThemAsOneUndoableStep() {
        auto w = windowWithNumberedFrames(6);
        Timeline& tl = w->timeline();
        QTest::mouseClick(tl.slot(1), Qt::LeftButton);
        QTest::mouseClick(tl.slot(2), Qt::LeftButton, Qt::ShiftModifier);
        QCOMPARE(w->frameSelection().count(), 2);
        const int steps = w->session().history().count();
        const std::vector<uint8_t> before = bytes(*w);

        // Pressed on a selected frame and dragged into the right half of frame 4's thumbnail.
        const QRect four = tl.slot(4)->geometry();
        const QPoint drop(four.left() + four.width() * 3 / 4, four.center().y());
        sendMouse(*w, 1, QEvent::MouseButtonPress, slotCentre(*w, 1), Qt::LeftButton,
                  Qt::LeftButton);
        sendMouse(*w, 1, QEvent::MouseMove, slotCentre(*w, 3), Qt::NoButton, Qt::LeftButton);
        QVERIFY(tl.dropMarker()->isVisible());
        QCOMPARE(w->editFrameIndex(), 2); // a move never scrubs
        sendMouse(*w, 1, QEvent::MouseMove, drop, Qt::NoButton, Qt::LeftButton);
        sendMouse(*w, 1, QEvent::MouseButtonRelease, drop, Qt::LeftButton, Qt::NoButton);
        QVERIFY(!tl.dropMarker()->isVisible());
        QCOMPARE(order(*w), (std::vector<int>{0, 3, 4, 1, 2, 5}));
        QCOMPARE(w->session().history().count(), steps + 1);
        QCOMPARE(w->action("Undo1")->text(), QString("Undo Move Frames"));
        // The moved frames stay selected, and the thumbnails show the new order.
        QCOMPARE(w->frameSelection().frames(), (std::vector<int>{3, 4}));
        QVERIFY(!tl.bevel(3)->isHidden());
        QCOMPARE(tl.number(3)->text(), QString("4"));
        QCOMPARE(tl.slot(3)->toolTip(), QString("Frame4"));
        QVERIFY(!w->document().documentSaved);
        const std::vector<uint8_t> after = bytes(*w);

        w->undoStep();
        QCOMPARE(bytes(*w), before);
        QCOMPARE(order(*w), (std::vector<int>{0, 1, 2, 3, 4, 5}));
        w->redoStep();
        QCOMPARE(bytes(*w), after);
        w->undoStep();
        QCOMPARE(bytes(*w), before);

        // Let go where the frames already are, nothing happens; a press and release on a
        // selected frame without a drag is a plain click.
        QTest::mouseClick(tl.slot(1), Qt::LeftButton);
        sendMouse(*w, 1, QEvent::MouseButtonPress, slotCentre(*w, 1), Qt::LeftButton,
                  Qt::LeftButton);
        sendMouse(*w, 1, QEvent::MouseMove, slotCentre(*w, 1) + QPoint(30, 0), Qt::NoButton,
                  Qt::LeftButton);
        sendMouse(*w, 1, QEvent::MouseButtonRelease, slotCentre(*w, 1) + QPoint(30, 0),
                  Qt::LeftButton, Qt::NoButton);
        QCOMPARE(bytes(*w), before);
        QTest::mouseClick(tl.slot(3), Qt::LeftButton, Qt::ControlModifier);
        QCOMPARE(w->frameSelection().frames(), (std::vector<int>{1, 3}));
        QTest::mouseClick(tl.slot(3), Qt::LeftButton);
        QCOMPARE(w->frameSelection().frames(), (std::vector<int>{3}));
        QCOMPARE(w->editFrameIndex(), 3);
        w->document().documentSaved = true;
    }

    void rightClickSelectsTheFrameBeforeTheMenuOpens() {
        auto w = windowWithNumberedFrames(5);
        Timeline& tl = w->timeline();
        QTest::mouseClick(tl.slot(0), Qt::LeftButton);
        QTest::mousePress(tl.slot(3), Qt::RightButton);
        QCOMPARE(w->editFrameIndex(), 3);
        QCOMPARE(w->frameSelection().frames(), (std::vector<int>{3}));
        QMenu* menu = nullptr;
        for (QMenu* m : w->findChildren<QMenu*>()) {
            if (m->isVisible()) {
                menu = m;
            }
        }
        QVERIFY(menu && menu->isVisible());
        menu->hide();
        // On a frame of a larger selection the selection stays, for the menu to work on.
        QTest::mouseClick(tl.slot(1), Qt::LeftButton, Qt::ControlModifier);
        QTest::mousePress(tl.slot(1), Qt::RightButton);
        QCOMPARE(w->frameSelection().frames(), (std::vector<int>{3, 1}));
        QCOMPARE(w->editFrameIndex(), 1);
        for (QMenu* m : w->findChildren<QMenu*>()) {
            m->hide();
        }
        w->document().documentSaved = true;
    }
};

QTEST_MAIN(TestTimelineGestures)
#include "tst_timelinegestures.moc"

#include "editor/canvas.h"
#include "editor/canvasediting.h"
#include "editor/mainwindow.h"
#include "gui/mainwindowfixture.h"

#include <QAction>
#include <QTest>

#include <cmath>

using namespace kelto;

// Reach posing driven through the canvas of the real main window offscreen.
class TestReach : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    // Stick man joints: shoulder, elbow and hand of the arm on the left, and its forearm.
    static constexpr int kShoulder = 2;
    static constexpr int kElbow = 5;
    static constexpr int kHand = 7;
    static constexpr int kForearm = 6;

    static QPoint canvasPoint(MainWindow& w, PointF p) {
        const PixelPos o = w.scene().areaOffset();
        return QPoint(int(std::lround(p.x)) + o.x, int(std::lround(p.y)) + o.y);
    }
    static PointF modelPoint(MainWindow& w, QPoint c) {
        const PixelPos o = w.scene().areaOffset();
        return {double(c.x() - o.x), double(c.y() - o.y)};
    }
    static const Figure& man(MainWindow& w) { return w.editFigures().figures[0]; }
    static double dist(PointF a, PointF b) { return std::hypot(a.x - b.x, a.y - b.y); }
    static bool samePose(const Figure& a, const Figure& b) {
        for (size_t s = 0; s < a.pose.size(); ++s) {
            if (a.pose[s].angle != b.pose[s].angle || a.pose[s].length != b.pose[s].length) {
                return false;
            }
        }
        for (size_t j = 0; j < a.jointPos.size(); ++j) {
            if (a.jointPos[j].x != b.jointPos[j].x || a.jointPos[j].y != b.jointPos[j].y) {
                return false;
            }
        }
        return true;
    }
    // Presses on the hand with mods, moves through the points (canvas pixels) and releases on
    // the last one.
    static void dragHand(MainWindow& w, Qt::KeyboardModifiers mods,
                         const std::vector<QPoint>& path) {
        QTest::mousePress(w.canvas(), Qt::LeftButton, mods, canvasPoint(w, man(w).joint(kHand)));
        for (const QPoint& p : path) {
            QTest::mouseMove(w.canvas(), p);
        }
        QTest::mouseRelease(w.canvas(), Qt::LeftButton, mods, path.back());
    }
    static QAction* undoAction(MainWindow& w) { return w.action("Undo1"); }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }
    void init() { m_fx.setUp(); }
    void cleanup() { m_fx.checkNothingReported(); }

    void reachDragBendsTheArmAsOneUndoStep() {
        auto w = m_fx.startedWindow();
        QCOMPARE(w->editFigures().figureCount(), 1);
        QVERIFY(!undoAction(*w)->isEnabled());
        const Figure before = man(*w);
        const QPoint shoulder = canvasPoint(*w, before.joint(kShoulder));
        const int side =
            bendSide(before.joint(kShoulder), before.joint(kElbow), before.joint(kHand));
        QVERIFY(side != 0);
        // In reach, out beyond it (straight arm), and back in on the far side of the shoulder.
        const std::vector<QPoint> path{shoulder + QPoint(-40, 30), shoulder + QPoint(-150, 40),
                                       shoulder + QPoint(-20, -50), shoulder + QPoint(30, -45)};
        dragHand(*w, kReachModifier, path);
        const Figure& after = man(*w);
        QVERIFY(dist(after.joint(kHand), modelPoint(*w, path.back())) < 0.5);
        QCOMPARE(bendSide(after.joint(kShoulder), after.joint(kElbow), after.joint(kHand)), side);
        for (size_t s = 0; s < after.pose.size(); ++s) {
            QCOMPARE(after.pose[s].length, before.pose[s].length);
        }
        QCOMPARE(after.joint(0).x, before.joint(0).x);
        QCOMPARE(after.joint(kShoulder).y, before.joint(kShoulder).y);
        const Figure reached = after;

        QCOMPARE(undoAction(*w)->text(), QString("Undo Move"));
        w->undoStep();
        QVERIFY(samePose(man(*w), before));
        QVERIFY(!undoAction(*w)->isEnabled()); // the whole drag was one step
        w->redoStep();
        QVERIFY(samePose(man(*w), reached));
    }

    void withoutTheModifierOnlyTheForearmTurns() {
        auto w = m_fx.startedWindow();
        const Figure before = man(*w);
        const QPoint target = canvasPoint(*w, before.joint(kShoulder)) + QPoint(-40, 30);
        dragHand(*w, Qt::NoModifier, {target});
        const Figure& after = man(*w);
        QCOMPARE(after.joint(kElbow).x, before.joint(kElbow).x);
        QCOMPARE(after.joint(kElbow).y, before.joint(kElbow).y);
        QVERIFY(after.pose[kForearm].angle != before.pose[kForearm].angle);
    }

    void handHangingFromTheMainHandleDragsAsUsual() {
        auto w = m_fx.startedWindow();
        const Figure before = man(*w);
        // The knee (end of thigh 8) has only the thigh above it: an ordinary turn of the thigh.
        const PointF knee = before.joint(9);
        const PointF hip = before.joint(0);
        const QPoint target = canvasPoint(*w, {hip.x - 50, hip.y});
        QTest::mousePress(w->canvas(), Qt::LeftButton, kReachModifier, canvasPoint(*w, knee));
        QTest::mouseMove(w->canvas(), target);
        QTest::mouseRelease(w->canvas(), Qt::LeftButton, kReachModifier, target);
        const Figure& after = man(*w);
        QVERIFY(std::fabs(std::remainder(after.pose[8].angle - kPi, 2 * kPi)) < 1e-9);
        QCOMPARE(after.joint(kShoulder).y, before.joint(kShoulder).y);
        QCOMPARE(undoAction(*w)->text(), QString("Undo Move"));
    }
};

QTEST_MAIN(TestReach)
#include "tst_reach.moc"

#include "base/error.h"
#include "dialogs/prompter.h"
#include "editor/canvas.h"
#include "editor/mainwindow.h"
#include "gui/mainwindowfixture.h"
#include "gui/scriptedprompter.h"
#include "pickers/figurepicker.h"
#include "pickers/imageselector.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <cmath>

using namespace kelto;

// Drives the canvas of the real main window offscreen and checks the figures it edits.
class TestCanvasEditing : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    // Three stick men side by side, the first selected.
    static void threeFigures(MainWindow& w) {
        w.addFigure(1);
        w.addFigure(1);
        Figures& f = w.editFigures();
        QCOMPARE(f.figureCount(), 3);
        f.moveFigure(0, -150, 0);
        f.moveFigure(2, 150, 0);
        for (int i = 0; i < 3; ++i) {
            f.figures[size_t(i)].updateBounds(w.document().figureType(1));
        }
        f.select(0, true);
        // The figures laid out here are where the history starts.
        w.session().resetHistory(w.editFigures());
        w.initUndo();
    }

    static QPoint canvasPoint(MainWindow& w, PointF p) {
        const PixelPos o = w.scene().areaOffset();
        return QPoint(int(std::lround(p.x)) + o.x, int(std::lround(p.y)) + o.y);
    }
    static QPoint rootOf(MainWindow& w, int i) {
        return canvasPoint(w, w.editFigures().figures[size_t(i)].joint(0));
    }
    static std::vector<int> selection(MainWindow& w) {
        const auto& s = w.editFigures().selection;
        return {s.begin(), s.end()};
    }
    static QAction* undoAction(MainWindow& w) { return w.action("Undo1"); }
    static QAction* redoAction(MainWindow& w) { return w.action("Redo1"); }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }

    void init() { m_fx.setUp(); }

    void cleanup() { m_fx.checkNothingReported(); }

    void historyKeepsAHundredStepsAndLosesRedoOnANewAction() {
        auto w = m_fx.shownWindow();
        for (int i = 1; i <= 105; ++i) {
            w->editFigures().moveFigure(0, 1, 0);
            QTest::keyClick(w->editingScrollBox(), Qt::Key_Left, Qt::ControlModifier);
            w->flipButtonClick();
        }
        int undos = 0;
        while (undoAction(*w)->isEnabled()) {
            w->undoStep();
            ++undos;
        }
        QCOMPARE(undos, 100);
        w->redoStep();
        QVERIFY(redoAction(*w)->isEnabled());
        w->centerButtonClick();
        QVERIFY(!redoAction(*w)->isEnabled());
    }

    void menuCaptionsNameTheActions() {
        auto w = m_fx.shownWindow();
        QVERIFY(!undoAction(*w)->isEnabled());
        QCOMPARE(undoAction(*w)->text(), QString("Undo"));
        w->flipButtonClick();
        w->duplicateButtonClick();
        w->flipButtonClick();
        QCOMPARE(undoAction(*w)->text(), QString("Undo Flip"));
        w->undoStep();
        w->undoStep();
        QCOMPARE(undoAction(*w)->text(), QString("Undo Flip"));
        QCOMPARE(redoAction(*w)->text(), QString("Redo Duplicate"));
        w->redoStep();
        QCOMPARE(redoAction(*w)->text(), QString("Redo Flip"));
        QCOMPARE(undoAction(*w)->text(), QString("Undo Duplicate"));
        w->nextFrameButtonClick(); // storing keeps the history, and is a step of its own
        QCOMPARE(undoAction(*w)->text(), QString("Undo Add Frame"));
        QVERIFY(!redoAction(*w)->isEnabled());
        QCOMPARE(redoAction(*w)->text(), QString("Redo"));
    }

    void groupDragsByAnyMemberAndAClickSelectsOnlyIt() {
        auto w = m_fx.shownWindow();
        threeFigures(*w);
        Figures& f = w->editFigures();
        f.select(1, false);
        const PointF before0 = f.figures[0].joint(0), before1 = f.figures[1].joint(0);
        const QPoint start = rootOf(*w, 1);
        QTest::mousePress(w->canvas(), Qt::LeftButton, {}, start);
        QTest::mouseMove(w->canvas(), start + QPoint(10, 5));
        QTest::mouseRelease(w->canvas(), Qt::LeftButton, {}, start + QPoint(10, 5));
        QCOMPARE(f.figures[0].joint(0).x, before0.x + 10);
        QCOMPARE(f.figures[1].joint(0).y, before1.y + 5);
        QCOMPARE(selection(*w), (std::vector<int>{0, 1}));
        QCOMPARE(undoAction(*w)->text(), QString("Undo Move"));

        QTest::mouseClick(w->canvas(), Qt::LeftButton, {}, rootOf(*w, 1));
        QCOMPARE(selection(*w), (std::vector<int>{1}));
        w->undoStep();
        QCOMPARE(f.figures[0].joint(0).x, before0.x);
    }

    void shiftAddsAndDropsButKeepsTheOnlySelected() {
        auto w = m_fx.shownWindow();
        threeFigures(*w);
        QTest::mouseClick(w->canvas(), Qt::LeftButton, Qt::ShiftModifier, rootOf(*w, 0));
        QCOMPARE(selection(*w), (std::vector<int>{0}));
        QTest::mouseClick(w->canvas(), Qt::LeftButton, Qt::ShiftModifier, rootOf(*w, 2));
        QCOMPARE(selection(*w), (std::vector<int>{0, 2}));
        QTest::mouseClick(w->canvas(), Qt::LeftButton, Qt::ShiftModifier, rootOf(*w, 0));
        QCOMPARE(selection(*w), (std::vector<int>{2}));
    }

    void selectBoxAddsAndDropsButKeepsEarlierSelection() {
        auto w = m_fx.shownWindow();
        threeFigures(*w);
        const QPoint r1 = rootOf(*w, 1), r2 = rootOf(*w, 2);
        const QPoint start(r1.x() - 20, r1.y() - 300 > 0 ? r1.y() - 300 : 1);
        QTest::mousePress(w->canvas(), Qt::LeftButton, {}, start);
        QTest::mouseMove(w->canvas(), QPoint(r2.x() + 20, r2.y() + 10));
        QCOMPARE(selection(*w), (std::vector<int>{0, 1, 2}));
        QTest::mouseMove(w->canvas(), QPoint(r1.x() + 20, r1.y() + 10));
        QCOMPARE(selection(*w), (std::vector<int>{0, 1}));
        QTest::mouseMove(w->canvas(), QPoint(r1.x() - 10, r1.y() + 10));
        QCOMPARE(selection(*w), (std::vector<int>{0}));
        QTest::mouseRelease(w->canvas(), Qt::LeftButton, {}, QPoint(r1.x() - 10, r1.y() + 10));
        QVERIFY(!undoAction(*w)->isEnabled());
    }

    // A drag of the last segment's end handle outwards to twice its distance from joint 0,
    // with the modifiers held during the move.
    static void dragLastHandle(MainWindow& w, Qt::KeyboardModifiers mods) {
        Figures& f = w.editFigures();
        const FigureType& type = w.document().figureType(1);
        const int end = type.segments.back().endJoint;
        const PointF hand = f.figures[0].joint(end);
        const PointF root = f.figures[0].joint(0);
        const QPoint from = canvasPoint(w, hand);
        const QPoint to = canvasPoint(w, {2 * hand.x - root.x, 2 * hand.y - root.y});
        QTest::mousePress(w.canvas(), Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), w.canvas()->mapToGlobal(QPointF(to)),
                         Qt::NoButton, Qt::LeftButton, mods);
        w.editPaintBoxMouseMove(&move);
        QTest::mouseRelease(w.canvas(), Qt::LeftButton, {}, to);
    }

    void ctrlStretchesAndAltScalesTheFigure() {
        auto w = m_fx.shownWindow();
        Figures& f = w->editFigures();
        dragLastHandle(*w, Qt::ControlModifier);
        QCOMPARE(f.figures[0].scale, 1.0f);
        QVERIFY(f.figures[0].stretchedCount > 0);
        QCOMPARE(undoAction(*w)->text(), QString("Undo Move"));
        w->undoStep();
        QCOMPARE(int(f.figures[0].stretchedCount), 0);

        dragLastHandle(*w, Qt::AltModifier);
        QVERIFY(f.figures[0].scale > 1.2f);
        QCOMPARE(int(f.figures[0].stretchedCount), 0);
        QCOMPARE(w->findChild<QSpinBox*>("ScaleSpinEdit")->value(),
                 scaleEditFromScale(f.figures[0].scale));
    }

    void ctrlStretchSnapsBackNearTheTypeLength() {
        auto w = m_fx.shownWindow();
        Figures& f = w->editFigures();
        dragLastHandle(*w, Qt::ControlModifier);
        QVERIFY(f.figures[0].stretchedCount > 0);
        // Back to 3 pixels beyond the type's length along the segment: the press sees a
        // stretched segment, so the drag snaps to the exact length.
        const Segment& seg = w->document().figureType(1).segments.back();
        const PointF start = f.figures[0].joint(seg.startJoint);
        const PointF end = f.figures[0].joint(seg.endJoint);
        const double len = std::hypot(end.x - start.x, end.y - start.y);
        const double k = (seg.length + 3) / len;
        const QPoint to =
            canvasPoint(*w, {start.x + (end.x - start.x) * k, start.y + (end.y - start.y) * k});
        QTest::mousePress(w->canvas(), Qt::LeftButton, {}, canvasPoint(*w, end));
        QMouseEvent move(QEvent::MouseMove, QPointF(to), w->canvas()->mapToGlobal(QPointF(to)),
                         Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
        w->editPaintBoxMouseMove(&move);
        QTest::mouseRelease(w->canvas(), Qt::LeftButton, {}, to);
        QCOMPARE(int(f.figures[0].stretchedCount), 0);
        QCOMPARE(f.figures[0].pose.back().length, seg.length);
    }

    void arrowsMoveDiagonallyWithOneUndoPoint() {
        auto w = m_fx.shownWindow();
        w->editingScrollBox()->setFocus();
        QVERIFY(w->editingScrollBox()->hasFocus());
        Figures& f = w->editFigures();
        const PointF before = f.figures[0].joint(0);
        QTest::keyPress(w->editingScrollBox(), Qt::Key_Right);
        QTest::keyPress(w->editingScrollBox(), Qt::Key_Down);
        QCOMPARE(f.figures[0].joint(0).x, before.x + 2);
        QCOMPARE(f.figures[0].joint(0).y, before.y + 1);
        QTest::keyRelease(w->editingScrollBox(), Qt::Key_Down);
        QTest::keyRelease(w->editingScrollBox(), Qt::Key_Right);
        QVERIFY(w->editingScrollBox()->hasFocus());
        w->undoStep();
        QCOMPARE(f.figures[0].joint(0).x, before.x);
        QVERIFY(!undoAction(*w)->isEnabled());
    }

    void ctrlArrowsWalkTheFiguresAndDeleteAsksAboutUnusedTypes() {
        auto w = m_fx.shownWindow();
        threeFigures(*w);
        w->editingScrollBox()->setFocus();
        QTest::keyClick(w->editingScrollBox(), Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(selection(*w), (std::vector<int>{2}));
        QTest::keyClick(w->editingScrollBox(), Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(selection(*w), (std::vector<int>{0}));

        Document& doc = w->document();
        FigureType robot = doc.figureType(1);
        const int t = doc.addFigureType(robot, "robot");
        w->addFigure(t);
        QCOMPARE(w->editFigures().figureCount(), 4);
        m_fx.prompter.answers.push_back(Answer::Yes);
        QTest::keyClick(w->editingScrollBox(), Qt::Key_Delete);
        QCOMPARE(w->editFigures().figureCount(), 3);
        QCOMPARE(m_fx.prompter.questions.size(), 1);
        QVERIFY(m_fx.prompter.questions[0].contains("'robot'"));
        QCOMPARE(doc.figureTypeCount(), 2);
        QCOMPARE(w->figurePicker()->selector()->count(), 1);
        QCOMPARE(undoAction(*w)->text(), QString("Undo Remove Figure Type"));
        w->undoStep(); // the type comes back at its place, and then the figure
        QCOMPARE(doc.figureTypeCount(), 3);
        QCOMPARE(w->figurePicker()->selector()->count(), 2);
        w->undoStep();
        QCOMPARE(w->editFigures().figureCount(), 4);
        QCOMPARE(int(w->editFigures().figures[3].typeIndex), t);
        w->redoStep();
        w->redoStep();
        QCOMPARE(doc.figureTypeCount(), 2);

        w->deleteFigureButtonClick(); // a stick man: its type always stays
        QCOMPARE(m_fx.prompter.questions.size(), 1);
        QCOMPARE(undoAction(*w)->text(), QString("Undo Delete"));
    }

    void scaleBoxTakesPercentAndIgnoresNegatives() {
        auto w = m_fx.shownWindow();
        QSpinBox* box = w->findChild<QSpinBox*>("ScaleSpinEdit");
        box->setFocus();
        box->findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(box, "250");
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(w->editFigures().figures[0].scale, 2.5f);
        box->findChild<QLineEdit*>()->setText("-5");
        w->scaleSpinEditChange();
        QCOMPARE(w->editFigures().figures[0].scale, 2.5f);
        QCOMPARE(undoAction(*w)->text(), QString("Undo Scale"));
    }

    void scaleArrowsStepByOnePercent() {
        auto w = m_fx.shownWindow();
        QSpinBox* box = w->findChild<QSpinBox*>("ScaleSpinEdit");
        box->stepUp();
        QCOMPARE(w->editFigures().figures[0].scale, 1.01f);
        box->stepDown();
        box->stepDown();
        QCOMPARE(w->editFigures().figures[0].scale, 0.99f);
    }

    void wheelWalksTheFigures() {
        auto w = m_fx.shownWindow();
        threeFigures(*w);
        QWidget* viewport = w->editingScrollBox()->viewport();
        const QPoint at(10, 10);
        QWheelEvent down(at, viewport->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {},
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &down);
        w->editingScrollBox()->setFocus();
        QApplication::sendEvent(viewport, &down);
        QCOMPARE(selection(*w), (std::vector<int>{2}));
        // The wheel's step has no key release: a later arrow still moves straight.
        const PointF before = w->editFigures().figures[2].joint(0);
        QTest::keyClick(w->editingScrollBox(), Qt::Key_Right);
        QCOMPARE(w->editFigures().figures[2].joint(0).x, before.x + 1);
    }

    void deletingFiguresOutsideTheAreaMarksTheDocumentModified() {
        auto w = m_fx.shownWindow();
        Document& doc = w->document();
        Figures frame;
        frame.assign(w->editFigures());
        w->addFigure(1);
        frame.assign(w->editFigures());
        frame.moveFigure(1, 5000, 0);
        frame.figures[1].updateBounds(doc.figureType(1));
        doc.frames.push_back(frame);
        w->setSavedState(true);
        w->deleteFiguresOutsideArea();
        QCOMPARE(doc.frames[0].figureCount(), 1);
        QVERIFY(!doc.documentSaved);
        QCOMPARE(w->editFigures().figureCount(), 2); // the canvas is not touched
    }

    void opacityBarSetsEverySelectedFigureAndItsLabel() {
        auto w = m_fx.shownWindow();
        threeFigures(*w);
        w->selectAllFigures();
        QScrollBar* bar = w->findChild<QScrollBar*>("TransScrollBar");
        QLabel* label = w->findChild<QLabel*>("OpacityLabel");
        bar->setValue(255);
        for (const Figure& f : w->editFigures().figures) {
            QCOMPARE(int(f.transparency), 255);
        }
        QCOMPARE(label->text(), QString("0%"));
        QCOMPARE(label->x(), 82 - 3 * 2);
        bar->setValue(1);
        QCOMPARE(label->text(), QString("100%")); // 1 x 100 div 255 is 0
        QCOMPARE(undoAction(*w)->text(), QString("Undo Transparency"));
        QCOMPARE(opacityText(128), QString("50%"));
    }

    void figureCommandsRecordTheirActionsAndUndoThem() {
        auto w = m_fx.shownWindow();
        threeFigures(*w);
        Figures& f = w->editFigures();
        m_fx.prompter.colours.push_back(0x0000FFu);
        w->colorButtonClick();
        QCOMPARE(f.figures[0].colour, 0x0000FFu);
        QCOMPARE(undoAction(*w)->text(), QString("Undo Colour"));
        w->colorButtonClick(); // cancelled: no change, no undo point
        QCOMPARE(undoAction(*w)->text(), QString("Undo Colour"));

        w->frontButtonClick();
        QCOMPARE(int(f.drawOrder.back()), 0);
        QCOMPARE(undoAction(*w)->text(), QString("Undo Raise"));
        w->frontButtonClick(); // already on top: nothing moved, nothing recorded
        w->undoStep();
        QCOMPARE(undoAction(*w)->text(), QString("Undo Colour"));
        QCOMPARE(redoAction(*w)->text(), QString("Redo Raise"));

        w->duplicateButtonClick(); // a new action drops the redo history
        QCOMPARE(f.figureCount(), 4);
        QVERIFY(!redoAction(*w)->isEnabled());
        QCOMPARE(undoAction(*w)->text(), QString("Undo Duplicate"));
        QVERIFY(f.figures[3].figureID > f.figures[2].figureID);
        w->undoStep();
        QCOMPARE(f.figureCount(), 3);
        w->undoStep();
        QCOMPARE(f.figures[0].colour, 0u);
        QVERIFY(!undoAction(*w)->isEnabled());
    }

    void joinAndUnjoinThroughTheCanvas() {
        auto w = m_fx.shownWindow();
        threeFigures(*w);
        QToolButton* join = w->findChild<QToolButton*>("JoinButton");
        QVERIFY(join->isEnabled());
        join->click();
        QVERIFY(join->isChecked());
        QTest::mouseClick(w->canvas(), Qt::LeftButton, {}, rootOf(*w, 1));
        Figures& f = w->editFigures();
        QVERIFY(f.figures[0].isJoined);
        QCOMPARE(undoAction(*w)->text(), QString("Undo Join"));
        QVERIFY(join->isChecked());
        join->click();
        QVERIFY(!f.figures[0].isJoined);
        QCOMPARE(undoAction(*w)->text(), QString("Undo Unjoin"));
    }
};

QTEST_MAIN(TestCanvasEditing)
#include "tst_canvasediting.moc"

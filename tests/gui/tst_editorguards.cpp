#include "dialogs/optionsdialog.h"
#include "editor/canvas.h"
#include "editor/mainwindow.h"
#include "gui/mainwindowfixture.h"
#include "gui/scriptedprompter.h"

#include <QAction>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <cmath>

using namespace kelto;

// Keys, drags and playback that must not edit the document behind the user's back, and the
// edits that must not get lost.
class TestEditorGuards : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    static void activate(MainWindow& w) {
        w.show();
        w.activateWindow();
        if (!QTest::qWaitForWindowActive(&w)) {
            qWarning("window not active");
        }
    }
    std::unique_ptr<MainWindow> shownWindow(int frames) {
        auto w = testing::MainWindowFixture::windowWithFrames(frames);
        activate(*w);
        return w;
    }
    static QPoint rootOf(MainWindow& w, int i) {
        const PixelPos o = w.scene().areaOffset();
        const PointF p = w.editFigures().figures[size_t(i)].joint(0);
        return QPoint(int(std::lround(p.x)) + o.x, int(std::lround(p.y)) + o.y);
    }
    static std::vector<float> rootsX(const Document& doc) {
        std::vector<float> xs;
        for (const Figures& f : doc.frames) {
            xs.push_back(f.figures[0].jointPos[0].x);
        }
        return xs;
    }
    static int undoSteps(MainWindow& w) {
        int steps = 0;
        while (w.action("Undo1")->isEnabled() && steps < 1000) {
            w.undoStep();
            ++steps;
        }
        return steps;
    }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }
    void init() { m_fx.setUp(); }
    void cleanup() { m_fx.checkNothingReported(); }

    void frameKeysDuringADragEndTheDrag() {
        auto w = shownWindow(3);
        w->selectFrame(1);
        const QPoint start = rootOf(*w, 0);
        QTest::mousePress(w->canvas(), Qt::LeftButton, {}, start);
        QTest::mouseMove(w->canvas(), start + QPoint(4, 0));
        QTest::keyClick(w->editingScrollBox(), Qt::Key_Period);
        QCOMPARE(w->editFrameIndex(), 2);
        const std::vector<float> stepped = rootsX(w->document());
        const float shown = w->editFigures().figures[0].jointPos[0].x;
        // With the button still held, the pointer moves on: nothing may follow it.
        QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(30, 9)),
                         w->canvas()->mapToGlobal(QPointF(start + QPoint(30, 9))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        w->editPaintBoxMouseMove(&move);
        QTest::keyClick(w->editingScrollBox(), Qt::Key_Comma);
        QTest::mouseRelease(w->canvas(), Qt::LeftButton, {}, start + QPoint(30, 9));
        QCOMPARE(w->editFigures().figures[0].jointPos[0].x, stepped[1] + 0);
        QCOMPARE(rootsX(w->document())[2], stepped[2]);
        QCOMPARE(shown, stepped[2]);
    }

    void heldArrowRecordsOneMove() {
        auto w = shownWindow(0);
        w->editingScrollBox()->setFocus();
        const float before = w->editFigures().figures[0].jointPos[0].x;
        QWidget* box = w->editingScrollBox();
        for (int i = 0; i < 5; ++i) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, {}, i > 0);
            QApplication::sendEvent(box, &press);
            if (i < 4) {
                QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, {}, true);
                QApplication::sendEvent(box, &release);
            }
        }
        QTest::keyRelease(box, Qt::Key_Right);
        QCOMPARE(w->editFigures().figures[0].jointPos[0].x, before + 5);
        w->undoStep();
        QCOMPARE(w->editFigures().figures[0].jointPos[0].x, before);
    }

    void playbackLeavesTheDocumentAlone() {
        auto w = shownWindow(2);
        w->playButtonClick();
        QVERIFY(w->isPlaying());
        const std::vector<float> xs = rootsX(w->document());
        const int figures = w->editFigures().figureCount();
        w->editingScrollBox()->setFocus();
        QTest::keyClick(w->editingScrollBox(), Qt::Key_Delete);
        QTest::keyClick(w->editingScrollBox(), Qt::Key_Right);
        QTest::keyClick(w->editingScrollBox(), Qt::Key_Space);
        QVERIFY(w->isPlaying());
        w->stopButtonClick();
        QCOMPARE(w->editFigures().figureCount(), figures);
        QCOMPARE(rootsX(w->document()), xs);
        QCOMPARE(w->document().frameCount(), 2);
    }

    void playbackTickEndsADrag() {
        auto w = shownWindow(2);
        const QPoint start = rootOf(*w, 0);
        QTest::mousePress(w->canvas(), Qt::LeftButton, {}, start);
        QTest::mouseMove(w->canvas(), start + QPoint(5, 0));
        w->playButtonClick();
        w->advancePlayback();
        w->stopButtonClick();
        const float x = w->editFigures().figures[0].jointPos[0].x;
        // The button was let go outside the window: moves without it must not drag.
        QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(40, 0)),
                         w->canvas()->mapToGlobal(QPointF(start + QPoint(40, 0))), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        w->editPaintBoxMouseMove(&move);
        QCOMPARE(w->editFigures().figures[0].jointPos[0].x, x);
    }

    void frameKeysWorkFromTheNumberBoxes() {
        auto w = shownWindow(3);
        w->selectFrame(1);
        for (const char* name : {"RepeatSpinEdit", "ScaleSpinEdit"}) {
            auto* box = w->findChild<QSpinBox*>(QString::fromLatin1(name));
            QVERIFY2(box, name);
            box->setFocus();
            const int frame = w->editFrameIndex();
            QTest::keyClick(box, Qt::Key_Period);
            QCOMPARE(w->editFrameIndex(), frame + 1);
            QTest::keyClick(box, Qt::Key_Comma);
            QCOMPARE(w->editFrameIndex(), frame);
        }
    }

    void opacityLabelShowsFromTheStart() {
        auto w = shownWindow(0);
        auto* label = w->findChild<QLabel*>(QStringLiteral("OpacityLabel"));
        QVERIFY(label);
        QVERIFY(!label->text().isEmpty());
    }

    void unusedTypeQuestionIsInformation() {
        auto w = shownWindow(0);
        const int t = w->document().addFigureType(w->document().figureType(1), "robot");
        w->addFigure(t);
        m_fx.prompter.answers.push_back(Answer::No);
        w->deleteFigureButtonClick();
        QCOMPARE(m_fx.prompter.captions, QStringList{"Information"});
    }

    void deletingOutsideTheAreaSticksOnTheEditedFrame() {
        auto w = shownWindow(2);
        w->selectFrame(0);
        w->addFigure(1);
        w->editFigures().moveFigure(1, 5000, 0);
        w->editFigures().figures[1].updateBounds(w->document().figureType(1));
        w->selectFrame(1);
        w->selectFrame(0);
        QCOMPARE(w->document().frames[0].figureCount(), 2);
        w->deleteFiguresOutsideArea();
        w->selectFrame(1);
        QCOMPARE(w->document().frames[0].figureCount(), 1);
    }

    void frameOperationsUndoAcrossFramesAndMarkOnlyChanges() {
        auto w = shownWindow(3);
        w->setSavedState(true);
        w->selectFrame(0);
        w->selectFrame(2);
        w->selectFrame(-1);
        QVERIFY(w->document().documentSaved); // clicking through frames changes nothing
        w->selectFrame(1);
        w->flipButtonClick();
        QVERIFY(!w->document().documentSaved);
        w->setPopupFrame(0);
        m_fx.prompter.answers.push_back(Answer::Yes);
        w->deleteFrames();
        QCOMPARE(w->document().frameCount(), 2);
        QCOMPARE(w->action("Undo1")->text(), QString("Undo Delete Frame"));
        w->selectFrame(-1);
        w->undoStep();
        QCOMPARE(w->document().frameCount(), 3);
        QCOMPARE(w->editFrameIndex(), 0);
        QCOMPARE(w->action("Undo1")->text(), QString("Undo Flip"));
        w->undoStep();
        QCOMPARE(w->editFrameIndex(), 1);
        QVERIFY(w->document().documentSaved); // back at the saved revision
        QCOMPARE(w->action("Redo1")->text(), QString("Redo Flip"));
    }

    void undoDepthComesFromTheOptions() {
        auto w = shownWindow(0);
        w->optionsDialog()->showValues(appSettings());
        w->optionsDialog()->undoDepthEdit()->setValue(3);
        QVERIFY(w->optionsDialog()->applyTo(appSettings()));
        QCOMPARE(appSettings().undoDepth, 3);
        for (int i = 0; i < 6; ++i) {
            w->flipButtonClick();
        }
        QCOMPARE(undoSteps(*w), 3);
        const QList<QKeySequence> keys = w->action("Redo1")->shortcuts();
        QVERIFY(keys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)));
        QVERIFY(keys.contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)));
        QCOMPARE(w->action("Undo1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    }
};

QTEST_MAIN(TestEditorGuards)
#include "tst_editorguards.moc"

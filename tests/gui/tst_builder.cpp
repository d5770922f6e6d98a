#include "gui/builderfixture.h"

#include "model/integrity.h"

#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

using namespace kelto;
using kelto::testing::BuilderFixture;

namespace {

constexpr uint32_t kBlueRgb = 0x0000FF;
constexpr uint32_t kBlackRgb = 0x000000;
constexpr uint32_t kWhiteRgb = 0xFFFFFF;

// A chain of n lines straight up from joint 0, each 30 long and 4 thick.
FigureType chainType(int n, float thickness = 4) {
    FigureType t;
    for (int s = 0; s < n; ++s) {
        t.addSegment(uint8_t(s), skLine, 30, thickness, 3 * kPi / 2, 0, 0);
    }
    return t;
}

double distance(PointF a, PointF b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

} // namespace

// Drawing, modes and segment operations of the builder window, driven through its canvas,
// keys and buttons.
class TestBuilder : public QObject {
    Q_OBJECT

    BuilderFixture f;

private Q_SLOTS:
    void initTestCase() { f.setUpOnce(); }
    void init() { f.start(); }
    void cleanup() {
        QVERIFY2(f.reported.empty(), f.reported.empty() ? "" : f.reported.front().c_str());
        QCOMPARE(verifyFigureType(f.form->workingType()), std::string());
        QCOMPARE(f.form->figure().segmentCount(), f.form->workingType().segmentCount());
        f.stop();
    }

    void newTypeIsOneLineUpFromTheCentre() {
        QCOMPARE(f.form->statusText(),
                 QString("(1 segment )    line: thickness 6, length 48, angle 0, dynamic"));
        QCOMPARE(f.form->windowTitle(), QString("Stick Figure Builder"));
        QCOMPARE(f.form->workingType().segmentCount(), 1);
        QCOMPARE(f.jointAt(0), QPoint(161, 172));
        QCOMPARE(f.jointAt(1), QPoint(161, 124));
        // Selected, so blue; the handles cover the joints themselves.
        QCOMPARE(f.pixel(161, 148), kBlueRgb);
        QCOMPARE(f.pixel(161 + 6, 148), kWhiteRgb);
        QCOMPARE(f.pixel(161, 124), 0xFF0000u); // the segment end handle, red
        QCOMPARE(f.pixel(161, 172), 0xFF8800u); // the main handle, orange
        QVERIFY(!f.form->button(PhraseType::BCircleFillHint)->isEnabled());
        QVERIFY(!f.form->undoAction()->isEnabled());
        QVERIFY(!f.form->isModified());
    }

    void bearingOfNewSegment_data() {
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<int>("bearing");
        QTest::newRow("right") << QPoint(40, 0) << 90;
        QTest::newRow("down") << QPoint(0, 40) << 180;
        QTest::newRow("left") << QPoint(-40, 0) << 270;
        QTest::newRow("up-left") << QPoint(-30, -30) << 315;
    }
    void bearingOfNewSegment() {
        QFETCH(QPoint, offset);
        QFETCH(int, bearing);
        const QPoint end = f.jointAt(1);
        f.form->lineButtonClick();
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::PickStart);
        QCOMPARE(f.form->statusText(), QString("Select a handle to attach segment"));
        QVERIFY(!f.form->button(PhraseType::BSplitHint)->isEnabled());
        QVERIFY(!f.form->fileMenu()->menuAction()->isEnabled());
        QVERIFY(f.form->button(PhraseType::BCircleHint)->isEnabled());
        f.click(end);
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::DrawSegment);
        QCOMPARE(f.form->statusText(), QString("click to add"));
        QTest::mouseMove(f.canvas(), end + offset / 2);
        QCOMPARE(f.form->statusText(), QString("click to add"));
        f.click(end + offset);
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::None);
        QCOMPARE(f.form->selectedSegment(), 1);
        const int length = int(std::lround(std::hypot(offset.x(), offset.y())));
        QCOMPARE(f.form->statusText(), QString("(2 segments )    line: thickness 6, length %1, "
                                               "angle %2, dynamic")
                                           .arg(length)
                                           .arg(bearing));
        QCOMPARE(f.jointAt(2), end + offset);
        QVERIFY(f.form->isModified());
        QCOMPARE(f.form->undoAction()->text(), QString("Undo Add"));
        QVERIFY(f.form->button(PhraseType::BSplitHint)->isEnabled());
    }

    void pickStartNeedsAHandleAndInheritsTheParentThickness() {
        f.form->editFigureType(chainType(1, 10));
        f.form->circleButtonClick();
        f.click({5, 5}); // empty canvas: the mode stays
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::PickStart);
        f.click(f.jointAt(0)); // the main handle
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::DrawSegment);
        QTest::keyClick(f.form.get(), Qt::Key_K); // keys are ignored in a mode
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::DrawSegment);
        f.click(f.jointAt(0) + QPoint(0, 40));
        const FigureType& t = f.form->workingType();
        QCOMPARE(t.segmentCount(), 2);
        QCOMPARE(int(t.segments[1].startJoint), 0);
        QCOMPARE(t.segments[1].kind, uint8_t(skCircle));
        QCOMPARE(t.segments[1].thickness, 10.0f);
        QCOMPARE(t.segments[1].length, 40.0f);
        QVERIFY(f.form->button(PhraseType::BCircleFillHint)->isEnabled());
        // Switching from line to circle while the prompt shows restarts the pick.
        f.form->lineButtonClick();
        f.click(f.jointAt(1));
        f.form->circleButtonClick();
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::PickStart);
    }

    void previewDrawsWithTheParentThickness() {
        f.form->editFigureType(chainType(1, 9));
        f.form->lineButtonClick();
        f.click(f.jointAt(1));
        const QPoint end = f.jointAt(1) + QPoint(60, 0);
        QTest::mouseMove(f.canvas(), end);
        const QPoint mid = f.jointAt(1) + QPoint(30, 0);
        QCOMPARE(f.pixel(mid.x(), mid.y() - 4), kBlackRgb);
        QCOMPARE(f.pixel(mid.x(), mid.y() + 4), kBlackRgb);
        QCOMPARE(f.pixel(mid.x(), mid.y() - 6), kWhiteRgb);
        // No handles while previewing.
        QCOMPARE(f.pixel(f.jointAt(0).x(), f.jointAt(0).y()), kBlackRgb);
    }

    void thicknessStaysWithinLimits() {
        f.form->editFigureType(chainType(1, 998));
        QTest::keyClick(f.form.get(), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(f.selectedSegment().thickness, 1000.0f);
        QTest::keyClick(f.form.get(), Qt::Key_Up);
        QCOMPARE(f.selectedSegment().thickness, 1000.0f);
        f.form->editFigureType(chainType(1, 3));
        QTest::keyClick(f.form.get(), Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(f.selectedSegment().thickness, 0.0f);
        QTest::keyClick(f.form.get(), Qt::Key_Down);
        QCOMPARE(f.selectedSegment().thickness, 0.0f);
        QCOMPARE(f.form->statusText(),
                 QString("(1 segment )    line: thickness 0, length 30, angle 0, dynamic"));
        // A zero-thickness segment stays visible while selected.
        QCOMPARE(f.pixel(f.jointAt(0).x(), f.jointAt(0).y() - 15), kBlueRgb);
        FigureType nan = chainType(1, std::nanf(""));
        f.form->editFigureType(nan);
        f.form->changeThickness(true, false);
        QCOMPARE(f.selectedSegment().thickness, 0.0f);
    }

    void holdingAThicknessButtonRepeats_data() {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<float>("expected");
        QTest::newRow("click") << 0 << 7.0f;
        QTest::newRow("four ticks only wait") << 4 << 7.0f;
        QTest::newRow("fifth tick steps") << 5 << 8.0f;
        QTest::newRow("one second") << 10 << 13.0f;
    }
    void holdingAThicknessButtonRepeats() {
        QFETCH(int, ticks);
        QFETCH(float, expected);
        QToolButton* up = f.form->button(PhraseType::BThicknessHint);
        QTest::mousePress(up, Qt::LeftButton);
        QVERIFY(f.form->upDownTimer()->isActive());
        QCOMPARE(f.form->upDownTimer()->interval(), 100);
        for (int i = 0; i < ticks; ++i) {
            f.form->repeatThicknessStep();
        }
        QTest::mouseRelease(up, Qt::LeftButton);
        QVERIFY(!f.form->upDownTimer()->isActive());
        QCOMPARE(f.selectedSegment().thickness, expected);
        QCOMPARE(f.form->history().stateCount(), 2); // the steps share one undo state

        QTest::mousePress(f.form->thinnerButton(), Qt::LeftButton);
        QTest::mouseRelease(f.form->thinnerButton(), Qt::LeftButton);
        QCOMPARE(f.selectedSegment().thickness, expected - 1);
    }

    void kindToggleAndCircleFill() {
        QTest::keyClick(f.form.get(), Qt::Key_F); // a line: nothing, no undo step
        QCOMPARE(f.selectedSegment().kind, uint8_t(skLine));
        QVERIFY(!f.form->isModified());
        QCOMPARE(f.form->history().stateCount(), 1);

        QTest::keyClick(f.form.get(), Qt::Key_K);
        QCOMPARE(f.selectedSegment().kind, uint8_t(skCircle));
        QVERIFY(f.form->statusText().contains("circle (white)"));
        QVERIFY(f.form->button(PhraseType::BCircleFillHint)->isEnabled());
        QTest::keyClick(f.form.get(), Qt::Key_F);
        QCOMPARE(f.selectedSegment().kind, uint8_t(skFilledCircle));
        QCOMPARE(f.form->undoAction()->text(), QString("Undo Circle fill"));
        QTest::keyClick(f.form.get(), Qt::Key_F);
        QCOMPARE(f.selectedSegment().kind, uint8_t(skHollowCircle));
        QTest::keyClick(f.form.get(), Qt::Key_F);
        QCOMPARE(f.selectedSegment().kind, uint8_t(skCircle));
        QTest::keyClick(f.form.get(), Qt::Key_F);
        QTest::keyClick(f.form.get(), Qt::Key_K); // filled circle -> line
        QCOMPARE(f.selectedSegment().kind, uint8_t(skLine));
        QVERIFY(!f.form->button(PhraseType::BCircleFillHint)->isEnabled());
        QTest::keyClick(f.form.get(), Qt::Key_K);
        QCOMPARE(f.selectedSegment().kind, uint8_t(skCircle));

        QTest::keyClick(f.form.get(), Qt::Key_S);
        QVERIFY(f.form->statusText().endsWith("static"));
        QCOMPARE(f.form->undoAction()->text(), QString("Undo Static"));
    }

    void keysReachTheWindowThroughFocusAndShortcuts() {
        f.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        QWindow* window = f.form->windowHandle();
        QTest::keyClick(window, Qt::Key_K);
        QCOMPARE(f.selectedSegment().kind, uint8_t(skCircle));
        QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.selectedSegment().kind, uint8_t(skLine));
        QTest::keyClick(window, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(f.selectedSegment().kind, uint8_t(skCircle));
    }

    void staticSegmentsAreGreyAndSelectedStaticIsDarkBlue() {
        f.form->editFigureType(chainType(2));
        QTest::keyClick(f.form.get(), Qt::Key_S); // segment 0, selected
        const QPoint a = f.jointAt(0), b = f.jointAt(1);
        QCOMPARE(f.pixel(a.x(), (a.y() + b.y()) / 2), 0x4444CCu);
        f.click(f.jointAt(2)); // select segment 1: segment 0 turns grey
        QCOMPARE(f.form->selectedSegment(), 1);
        QCOMPARE(f.pixel(a.x(), (a.y() + b.y()) / 2), 0x666666u);
    }

    void deleteRefusalsAndBranches() {
        QTest::keyClick(f.form.get(), Qt::Key_Delete);
        QTest::keyClick(f.form.get(), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f.form->workingType().segmentCount(), 1);
        QCOMPARE(f.form->history().stateCount(), 1);

        f.form->editFigureType(chainType(3));
        // Segment 0 is the only root segment: as a branch it would take everything.
        QTest::keyClick(f.form.get(), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f.form->workingType().segmentCount(), 3);
        const PointF root = f.form->figure().joint(0);
        QTest::keyClick(f.form.get(), Qt::Key_Delete); // alone: its child moves down to the root
        QCOMPARE(f.form->workingType().segmentCount(), 2);
        QCOMPARE(distance(f.form->figure().joint(0), root), 0.0);
        QCOMPARE(f.form->undoAction()->text(), QString("Undo Delete"));

        f.click(f.jointAt(f.form->workingType().segments[1].endJoint)); // the last segment
        QCOMPARE(f.form->selectedSegment(), 1);
        QTest::keyClick(f.form.get(), Qt::Key_Delete);
        QCOMPARE(f.form->workingType().segmentCount(), 1);
        QCOMPARE(f.form->selectedSegment(), 0); // moved back onto the last segment

        f.form->editFigureType(chainType(4));
        f.click(f.jointAt(2));
        QTest::keyClick(f.form.get(), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f.form->workingType().segmentCount(), 1);
    }

    void splitAndReRootKeepTheDrawingInPlace() {
        FigureType t = chainType(2);
        t.addSegment(1, skCircle, 20, 3, 0, 1, 0);
        f.form->editFigureType(t);
        f.drag(f.jointAt(2), f.jointAt(1) + QPoint(25, -15)); // pose it away from the default
        std::vector<PointF> before;
        for (int j = 0; j < f.form->workingType().jointCount(); ++j) {
            before.push_back(f.form->figure().joint(j));
        }
        f.click(f.jointAt(2));
        QTest::keyClick(f.form.get(), Qt::Key_Insert);
        QCOMPARE(f.form->workingType().segmentCount(), 4);
        QCOMPARE(f.form->selectedSegment(), 1);
        for (int j = 0; j < int(before.size()); ++j) {
            QVERIFY(distance(f.form->figure().joint(j), before[j]) < 0.01);
        }
        const PointF mid = f.form->figure().joint(4);
        QVERIFY(distance(mid, {(before[1].x + before[2].x) / 2, (before[1].y + before[2].y) / 2}) <
                0.01);
        QCOMPARE(f.form->undoAction()->text(), QString("Undo Split"));

        // Re-root at the end of the circle: the same points, another numbering.
        f.click(f.jointAt(3));
        const PointF newRoot = f.form->figure().joint(3);
        std::vector<PointF> points;
        for (int j = 0; j < f.form->workingType().jointCount(); ++j) {
            points.push_back(f.form->figure().joint(j));
        }
        QTest::keyClick(f.form.get(), Qt::Key_O);
        QCOMPARE(f.form->selectedSegment(), 0);
        QVERIFY(distance(f.form->figure().joint(0), newRoot) < 0.01);
        for (const PointF& p : points) {
            bool found = false;
            for (int j = 0; j < f.form->workingType().jointCount(); ++j) {
                found = found || distance(f.form->figure().joint(j), p) < 0.01;
            }
            QVERIFY(found);
        }
        QCOMPARE(f.form->undoAction()->text(), QString("Undo Set main handle"));
    }

    void segmentLimitRefusesAddDuplicateAndSplit() {
        f.form->editFigureType(chainType(255, 1));
        for (auto command :
             {&FigureBuilderForm::lineButtonClick, &FigureBuilderForm::duplicateButtonClick,
              &FigureBuilderForm::splitButtonClick}) {
            f.prompt.messages.clear();
            (f.form.get()->*command)();
            QCOMPARE(f.prompt.messages, QStringList{"You cannot add any more figure segments"});
            QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::None);
            QCOMPARE(f.canvas()->cursor().shape(), Qt::ArrowCursor);
            QVERIFY(f.form->button(PhraseType::BSplitHint)->isEnabled());
        }
        QCOMPARE(f.form->workingType().segmentCount(), 255);
    }

    void duplicateMakesAParallelCopyAtTheClickedHandle() {
        f.form->editFigureType(chainType(1, 7));
        f.form->lineButtonClick();
        f.click(f.jointAt(1));
        f.click(f.jointAt(1) + QPoint(30, 20)); // segment 1, direction (30, 20)
        QTest::keyClick(f.form.get(), Qt::Key_S);
        QTest::keyClick(f.form.get(), Qt::Key_D);
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::PlaceDuplicate);
        QCOMPARE(f.canvas()->cursor().shape(), Qt::BitmapCursor);
        f.click({3, 3}); // no handle: the mode stays
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::PlaceDuplicate);
        f.click(f.jointAt(0));
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::None);
        QCOMPARE(f.canvas()->cursor().shape(), Qt::ArrowCursor);
        const FigureType& t = f.form->workingType();
        QCOMPARE(t.segmentCount(), 3);
        QCOMPARE(f.form->selectedSegment(), 2);
        QCOMPARE(int(t.segments[2].startJoint), 0);
        QCOMPARE(t.segments[2].isStatic, uint8_t(1));
        QCOMPARE(t.segments[2].thickness, 7.0f);
        QCOMPARE(f.jointAt(3) - f.jointAt(0), QPoint(30, 20));
        QCOMPARE(f.form->undoAction()->text(), QString("Undo Duplicate"));
    }

    void draggingTranslatesPosesOrMovesOneJoint() {
        f.form->editFigureType(chainType(2));
        const QPoint j0 = f.jointAt(0), j1 = f.jointAt(1), j2 = f.jointAt(2);
        // Main handle: the whole figure moves, the selection stays.
        f.click(j2);
        f.drag(j0, j0 + QPoint(10, 5));
        QCOMPARE(f.jointAt(2), j2 + QPoint(10, 5));
        QCOMPARE(f.form->selectedSegment(), 1);
        QCOMPARE(f.form->undoAction()->text(), QString("Undo Move"));
        f.form->undo();

        // Pose drag: segment 0 turns about joint 0 carrying segment 1; the type follows.
        f.drag(j1, j0 + QPoint(30, 0));
        QCOMPARE(f.form->selectedSegment(), 0);
        QCOMPARE(f.jointAt(1), j0 + QPoint(30, 0));
        QCOMPARE(f.jointAt(2), j0 + QPoint(60, 0)); // the branch turns as one
        QVERIFY(std::fabs(f.form->workingType().segments[0].angle) < 1e-6);
        QVERIFY(f.form->statusText().contains("angle 90"));
        f.form->undo();

        // Edit mode: only joint 1 moves; joint 2 stays and segment 1 follows.
        f.form->toggleEditMode();
        QVERIFY(f.form->editModeAction()->isChecked());
        f.drag(j1, j1 + QPoint(12, 0));
        QCOMPARE(f.jointAt(1), j1 + QPoint(12, 0));
        QCOMPARE(f.jointAt(2), j2);
        const FigureType& t = f.form->workingType();
        QVERIFY(std::fabs(t.segments[0].length - std::hypot(12.0, 30.0)) < 1e-3);
        QVERIFY(std::fabs(t.segments[1].length - std::hypot(12.0, 30.0)) < 1e-3);
    }

    void statusTextFollowsADragThroughTheTextTimer() {
        f.form->editFigureType(chainType(1));
        const QPoint j1 = f.jointAt(1);
        QTest::mousePress(f.canvas(), Qt::LeftButton, {}, j1);
        QVERIFY(f.form->textTimer()->isActive());
        QTest::mouseMove(f.canvas(), f.jointAt(0) + QPoint(30, 0));
        QVERIFY(f.form->statusText().contains("angle 0"));
        f.form->refreshStatus();
        QVERIFY(f.form->statusText().contains("angle 90"));
        QTest::mouseRelease(f.canvas(), Qt::LeftButton, {}, f.jointAt(0) + QPoint(30, 0));
        QVERIFY(!f.form->textTimer()->isActive());
    }

    void hidingLeavesModes() {
        f.form->duplicateButtonClick();
        QVERIFY(!f.form->editMenu()->menuAction()->isEnabled());
        f.form->hide();
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::None);
        QVERIFY(f.form->editMenu()->menuAction()->isEnabled());
        QVERIFY(f.form->statusText().startsWith("(1 segment )"));
        QCOMPARE(f.canvas()->cursor().shape(), Qt::ArrowCursor);
    }

    void resizingKeepsTheFigureInPlace() {
        const QPoint j1 = f.jointAt(1);
        f.form->resize(f.form->width() + 120, f.form->height() + 80);
        QTRY_COMPARE(f.canvas()->width(), f.form->centralWidget()->width() - 102);
        QCOMPARE(f.form->canvasBitmap().width(), f.canvas()->width());
        QCOMPARE(f.form->canvasBitmap().height(), f.form->centralWidget()->height() - 33);
        QCOMPARE(f.form->statusPanel()->width(), f.form->centralWidget()->width());
        QCOMPARE(f.jointAt(1), j1);
        QCOMPARE(f.pixel(j1.x(), j1.y() + 20), kBlueRgb);
    }
};

QTEST_MAIN(TestBuilder)
#include "tst_builder.moc"

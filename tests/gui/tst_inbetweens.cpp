#include "dialogs/inbetweendialog.h"
#include "document/kelformat.h"
#include "editor/mainwindow.h"
#include "gui/mainwindowfixture.h"
#include "settings/multilang.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QTest>

using namespace kelto;

// The in-between command through the real main window offscreen: its dialog, the ghost of the
// middle in-between on the canvas, and the one undoable insert.
class TestInbetweens : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    static constexpr uint32_t kWhite = 0x00FFFFFF;

    // Two stored frames: the stick man with his root at x 250, then at x 370.
    static std::unique_ptr<MainWindow> twoFrames() {
        auto window = testing::MainWindowFixture::startedWindow();
        window->nextFrameButtonClick();
        window->editFigures().moveFigure(0, 120, 0);
        window->nextFrameButtonClick();
        return window;
    }

    // The canvas pixel on the stick man's lower body for a root at x (y 200).
    static uint32_t bodyPixel(MainWindow& w, int x) {
        const PixelPos o = w.scene().areaOffset();
        return w.scene().screenBuffer().pixel32(o.x + x, o.y + 200 - 20);
    }

    static std::vector<uint8_t> record(MainWindow& w) { return writeDocumentRecord(w.document()); }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }
    void init() { m_fx.setUp(); }
    void cleanup() { m_fx.checkNothingReported(); }

    void theCommandIsInTheFrameMenuAndTheTimelineMenu() {
        auto window = twoFrames();
        QAction* command = window->action(QStringLiteral("Inbetweens1"));
        QVERIFY(command);
        QCOMPARE(command->text(), QString("Insert In-betweens..."));
        int menus = 0;
        for (QMenu* menu : window->findChildren<QMenu*>()) {
            menus += menu->actions().contains(command) ? 1 : 0;
        }
        QCOMPARE(menus, 2);
        bool titled = false;
        for (QAction* top : window->menuBar()->actions()) {
            titled = titled || (top->menu() && top->menu()->actions().contains(command) &&
                                top->text() == QString("Frame"));
        }
        QVERIFY(titled);
    }

    void theDialogShowsTheMiddleInbetweenAsAGhost() {
        // Key frames far apart, so no limb of one figure reaches another's body: x 100 and 400.
        auto window = testing::MainWindowFixture::startedWindow();
        window->editFigures().moveFigure(0, -150, 0);
        window->nextFrameButtonClick();
        window->editFigures().moveFigure(0, 300, 0);
        window->nextFrameButtonClick();
        window->selectFrame(0);
        QCOMPARE(bodyPixel(*window, 250), kWhite);
        const std::vector<uint8_t> before = record(*window);
        int shown = 0;
        window->setDialogRunner([&](QDialog& d) {
            auto* dialog = qobject_cast<InbetweenDialog*>(&d);
            if (!dialog) {
                return int(QDialog::Rejected);
            }
            ++shown;
            // Three linear in-betweens: the middle one stands halfway, at x 250, drawn faintly.
            dialog->setChoice(3, Easing::Linear);
            const uint32_t ghost = bodyPixel(*window, 250);
            [&] {
                QVERIFY(ghost != kWhite);
                QVERIFY(ghost != 0); // lighter than the figures being edited
            }();
            // Two: the middle one is the first, a third of the way (x 200).
            dialog->countBox()->setValue(2);
            [&] {
                QCOMPARE(bodyPixel(*window, 200), ghost);
                QCOMPARE(bodyPixel(*window, 250), kWhite);
            }();
            // Eased out, one in-between: seven eighths of the way (x 362.5).
            dialog->countBox()->setValue(1);
            dialog->easingBox()->setCurrentIndex(2);
            [&] {
                QCOMPARE(bodyPixel(*window, 362), ghost);
                QCOMPARE(bodyPixel(*window, 200), kWhite);
                QCOMPARE(bodyPixel(*window, 250), kWhite);
            }();
            dialog->reject();
            return int(QDialog::Rejected);
        });
        window->action(QStringLiteral("Inbetweens1"))->trigger();
        QCOMPARE(shown, 1);
        // Cancelled: the ghost is gone and nothing changed.
        QCOMPARE(bodyPixel(*window, 362), kWhite);
        QVERIFY(record(*window) == before);
        QVERIFY(window->action(QStringLiteral("Undo1"))->text() != QString("Undo In-betweens"));
    }

    void okInsertsOneUndoableStep() {
        auto window = twoFrames();
        window->selectFrame(0);
        const std::vector<uint8_t> before = record(*window);
        window->setDialogRunner([](QDialog& d) {
            if (auto* dialog = qobject_cast<InbetweenDialog*>(&d)) {
                dialog->setChoice(4, Easing::InOut);
            }
            d.accept();
            return int(QDialog::Accepted);
        });
        window->openInbetweensDialog();
        QCOMPARE(window->document().frameCount(), 6);
        QCOMPARE(window->editFrameIndex(), 1);
        QCOMPARE(window->action(QStringLiteral("Undo1"))->text(), QString("Undo In-betweens"));
        QCOMPARE(window->document().frames[5].figures[0].jointPos[0].x, 370.0f);
        QCOMPARE(window->document().frames[0].figures[0].jointPos[0].x, 250.0f);
        const std::vector<uint8_t> after = record(*window);

        window->undoStep();
        QVERIFY(record(*window) == before);
        QCOMPARE(window->action(QStringLiteral("Redo1"))->text(), QString("Redo In-betweens"));
        window->redoStep();
        QVERIFY(record(*window) == after);
        window->undoStep();
        QVERIFY(record(*window) == before);
    }

    void twoSelectedFramesAreTheKeyFrames() {
        auto window = twoFrames();
        window->editFigures().moveFigure(0, 60, 0);
        window->nextFrameButtonClick(); // frame 2 at x 430
        window->selectFrame(0);
        window->selectFrame(2, Qt::ControlModifier);
        window->setDialogRunner([](QDialog& d) {
            if (auto* dialog = qobject_cast<InbetweenDialog*>(&d)) {
                dialog->setChoice(1, Easing::Linear);
            }
            d.accept();
            return int(QDialog::Accepted);
        });
        window->openInbetweensDialog();
        QCOMPARE(window->document().frameCount(), 4);
        // Between frame 0 (250) and frame 2 (430), directly after frame 0.
        QCOMPARE(window->document().frames[1].figures[0].jointPos[0].x, 340.0f);
        QCOMPARE(window->document().frames[2].figures[0].jointPos[0].x, 370.0f);
        // No frame keeps a selection mark from before the insert.
        for (const Figures& frame : window->document().frames) {
            QCOMPARE(int(frame.timelineSelected), 0);
        }
    }

    void withoutANextFrameItSaysWhy() {
        auto window = twoFrames(); // the editor is on the new frame
        int dialogs = 0;
        window->setDialogRunner([&](QDialog&) { return ++dialogs, int(QDialog::Accepted); });
        window->openInbetweensDialog();
        QCOMPARE(dialogs, 0);
        QCOMPARE(m_fx.prompter.messages, QStringList{getPhrase(PhraseType::MInbetweensNeedTwo)});
        QCOMPARE(window->document().frameCount(), 2);
    }
};

QTEST_MAIN(TestInbetweens)
#include "tst_inbetweens.moc"

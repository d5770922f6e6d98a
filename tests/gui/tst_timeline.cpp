#include "base/error.h"
#include "document/kelformat.h"
#include "editor/canvas.h"
#include "editor/mainwindow.h"
#include "editor/timeline.h"
#include "gui/mainwindowfixture.h"
#include "gui/scriptedprompter.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

using namespace kelto;

// Frames, the timeline and playback, driven through the real main window offscreen.
class TestTimeline : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    static QToolButton* button(MainWindow& w, const char* name) {
        return w.findChild<QToolButton*>(QString::fromLatin1(name));
    }

    // Clicks the thumbnail showing frame f (it must be on screen).
    static void clickFrame(MainWindow& w, int f, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        Timeline& tl = w.timeline();
        const int slot = f - tl.first();
        QVERIFY(slot >= 0 && slot < tl.slotCount());
        QCOMPARE(tl.slotFrame(slot), f);
        QTest::mouseClick(tl.slot(slot), Qt::LeftButton, mods);
    }

    static std::vector<int> marked(MainWindow& w) {
        std::vector<int> out;
        for (int i = 0; i < w.document().frameCount(); ++i) {
            if (w.document().frames[size_t(i)].timelineSelected) {
                out.push_back(i);
            }
        }
        return out;
    }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }

    void init() { m_fx.setUp(); }

    void cleanup() { m_fx.checkNothingReported(); }

    void layoutArithmetic() {
        // 58 high at the design panel height, the width keeps a 4:3 animation's aspect.
        const ThumbnailGeometry g = thumbnailGeometry(81, 640, 480, 2);
        QCOMPARE(g.height, 58);
        QCOMPARE(g.width, 77);
        QCOMPARE(g.zoom, 58.0 * 2 / 480);
        QCOMPARE(thumbnailSlotCount(537, 77), 6);
        QCOMPARE(thumbnailSlotCount(2, 77), 0);
        QCOMPARE(thumbnailSlotLeft(0, 6, 537, 77), 3);
        // (537 - 462 - 6) / 5 + 77 = 90.8 per slot.
        QCOMPARE(thumbnailSlotLeft(5, 6, 537, 77), 457);
        // Halves go to the even integer: x = 2.5 puts slot 1 at 2 + 3.
        QCOMPARE(thumbnailSlotLeft(1, 2, 10, 2), 5);
        QCOMPARE(thumbnailSlotLeft(3, 1, 537, 77), 3);
        TimelineScrollRange r = timelineScrollRange(5, 6);
        QCOMPARE(r.maximum, 0);
        QVERIFY(!r.visible);
        r = timelineScrollRange(1000000, 6);
        QCOMPARE(r.maximum, 999994);
        QCOMPARE(r.largeStep, 32767);
        QVERIFY(r.visible);
        QCOMPARE(framesPerSecond(80), 12);
        QCOMPARE(framesPerSecond(30), 33);
        QCOMPARE(framesPerSecond(150), 7);
        QCOMPARE(fpsLabelLeft(7), 78);
        QCOMPARE(fpsLabelLeft(12), 75);
    }

    void addFrameStoresTheNewFrameAndKeepsThePose() {
        auto w = m_fx.windowWithFrames(3);
        QCOMPARE(w->document().frameCount(), 3);
        w->findChild<QSpinBox*>("RepeatSpinEdit")->setValue(4);
        w->nextFrameButtonClick();
        QCOMPARE(w->document().frameCount(), 4);
        QCOMPARE(w->document().frames[3].repeatCount, uint16_t(4));
        QCOMPARE(w->frameLabel()->text(), QString("Frame 5"));
        QCOMPARE(w->editFrameIndex(), -1);
        QCOMPARE(w->findChild<QSpinBox*>("RepeatSpinEdit")->value(), 1);
        QCOMPARE(w->editFigures().figures[0].jointPos[0].x,
                 w->document().frames[3].figures[0].jointPos[0].x);
        QVERIFY(w->isWindowModified());
        // The new thumbnail is on the timeline, with its hint.
        Timeline& tl = w->timeline();
        QVERIFY(tl.slotCount() >= 4);
        QCOMPARE(tl.slotFrame(3), 3);
        QCOMPARE(tl.slot(3)->toolTip(), QString("Frame4"));
        QVERIFY(!tl.slot(3)->pixmap().isNull());
        QVERIFY(!tl.slot(4)->isEnabled());
    }

    void addFrameOnAStoredFrameAppliesToTheSelection() {
        auto w = m_fx.windowWithFrames(6);
        w->document().frames[0].repeatCount = 9;
        clickFrame(*w, 4);
        clickFrame(*w, 1, Qt::ShiftModifier);
        QCOMPARE(w->editFrameIndex(), 1);
        QCOMPARE(marked(*w), (std::vector<int>{1, 2, 3, 4}));
        QVERIFY(button(*w, "DeleteSelFrameButton")->isEnabled());
        w->findChild<QSpinBox*>("RepeatSpinEdit")->setValue(3);
        w->editFigures().moveFigure(0, 0, 20);
        const float y = w->editFigures().figures[0].jointPos[0].y;
        w->nextFrameButtonClick();
        for (int f = 1; f <= 4; ++f) {
            QCOMPARE(w->document().frames[size_t(f)].repeatCount, uint16_t(3));
        }
        QCOMPARE(w->document().frames[0].repeatCount, uint16_t(9));
        QCOMPARE(w->document().frames[5].repeatCount, uint16_t(1));
        QCOMPARE(w->document().frames[1].figures[0].jointPos[0].y, y);
        QVERIFY(marked(*w).empty());
        QCOMPARE(w->frameSelection().count(), 0);
        QCOMPARE(w->editFrameIndex(), -1);
        QCOMPARE(w->frameLabel()->text(), QString("Frame 7"));
        QVERIFY(!button(*w, "DeleteSelFrameButton")->isEnabled());
    }

    void shiftAndCtrlClicksMarkRangesAndToggle() {
        auto w = m_fx.windowWithFrames(8);
        Timeline& tl = w->timeline();
        auto* bar = w->findChild<QScrollBar*>("TLScrollBar");
        bar->setValue(bar->maximum());
        QCOMPARE(tl.first(), 8 - tl.slotCount());
        clickFrame(*w, 6);
        clickFrame(*w, 2, Qt::ShiftModifier);
        QCOMPARE(marked(*w), (std::vector<int>{2, 3, 4, 5, 6}));
        QCOMPARE(w->frameSelection().anchor(), 6);
        clickFrame(*w, 4, Qt::ControlModifier);
        QCOMPARE(marked(*w), (std::vector<int>{2, 3, 5, 6}));
        QCOMPARE(w->frameSelection().count(), 4);
        // Bevels follow the marks of the frames on screen.
        for (int i = 0; i < tl.slotCount(); ++i) {
            const int f = tl.slotFrame(i);
            const bool isMarked = f >= 0 && w->document().frames[size_t(f)].timelineSelected;
            QCOMPARE(!tl.bevel(i)->isHidden(), isMarked);
        }
        // A plain click leaves only its own frame marked.
        clickFrame(*w, 7);
        QCOMPARE(marked(*w), std::vector<int>{7});
    }

    void insertAndDeleteKeepTheEditedFrame() {
        auto w = m_fx.windowWithFrames(3);
        w->document().frames[0].repeatCount = 7;
        w->document().frames[1].repeatCount = 8;
        clickFrame(*w, 1);
        w->setPopupFrame(0);
        w->insertNewFrame();
        QCOMPARE(w->document().frameCount(), 4);
        QCOMPARE(w->document().frames[0].repeatCount, uint16_t(7));
        QCOMPARE(w->document().frames[1].repeatCount, uint16_t(7));
        QCOMPARE(w->document().frames[2].repeatCount, uint16_t(8));
        QCOMPARE(w->editFrameIndex(), 0);
        QCOMPARE(marked(*w), std::vector<int>{0});

        // Deleting a frame before the edited one renumbers it; No keeps everything.
        clickFrame(*w, 2);
        w->setPopupFrame(0);
        w->deleteFrames();
        QCOMPARE(w->document().frameCount(), 4);
        m_fx.prompter.answers.push_back(Answer::Yes);
        w->deleteFrames();
        QCOMPARE(w->document().frameCount(), 3);
        QCOMPARE(w->editFrameIndex(), 1);
        QCOMPARE(w->frameLabel()->text(), QString("Frame 2"));
        QCOMPARE(w->frameSelection().frames(), std::vector<int>{1});
    }

    void deletingTheOnlyFrameCountsAsSaved() {
        auto w = m_fx.windowWithFrames(1);
        QVERIFY(!w->document().documentSaved);
        w->setPopupFrame(0);
        m_fx.prompter.answers.push_back(Answer::Yes);
        w->deleteFrames();
        QCOMPARE(w->document().frameCount(), 0);
        QVERIFY(w->document().documentSaved);
        QVERIFY(!w->timeline().slot(0)->isEnabled());
    }

    void deleteSelectedKeepsTheOthersInOrder() {
        auto w = m_fx.windowWithFrames(5);
        for (int i = 0; i < 5; ++i) {
            w->document().frames[size_t(i)].repeatCount = uint16_t(i + 1);
        }
        clickFrame(*w, 1);
        clickFrame(*w, 3, Qt::ControlModifier);
        m_fx.prompter.answers.push_back(Answer::Yes);
        w->deleteSelFrameButtonClick();
        QCOMPARE(w->document().frameCount(), 3);
        QCOMPARE(w->document().frames[0].repeatCount, uint16_t(1));
        QCOMPARE(w->document().frames[1].repeatCount, uint16_t(3));
        QCOMPARE(w->document().frames[2].repeatCount, uint16_t(5));
        QCOMPARE(w->editFrameIndex(), -1);
        QVERIFY(marked(*w).empty());
        QVERIFY(!button(*w, "DeleteSelFrameButton")->isEnabled());
    }

    void saveSelectedWritesOnlyTheMarkedFrames() {
        auto w = m_fx.windowWithFrames(4);
        w->document().frames[2].repeatCount = 5;
        clickFrame(*w, 0);
        clickFrame(*w, 2, Qt::ControlModifier);
        const QString path = m_fx.path("part.kel");
        m_fx.prompter.saveNames.push_back(path);
        w->saveSelectedFramesAs();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const Document part = readKelFile(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        QCOMPARE(part.frameCount(), 2);
        QCOMPARE(part.frames[1].repeatCount, uint16_t(5));
        // A part saved elsewhere leaves the whole document modified.
        QVERIFY(!w->document().documentSaved);
    }

    void commaAndFullStopStepThroughTheFrames() {
        auto w = m_fx.windowWithFrames(3);
        QTest::keyClick(w.get(), Qt::Key_Period);
        QCOMPARE(w->editFrameIndex(), -1);
        QTest::keyClick(w.get(), Qt::Key_Comma);
        QCOMPARE(w->editFrameIndex(), 2);
        QVERIFY(button(*w, "DeleteSelFrameButton")->isEnabled());
        QTest::keyClick(w.get(), Qt::Key_Comma);
        QTest::keyClick(w.get(), Qt::Key_Comma);
        QCOMPARE(w->editFrameIndex(), 0);
        QTest::keyClick(w.get(), Qt::Key_Comma);
        QCOMPARE(w->editFrameIndex(), 0);
        QTest::keyClick(w.get(), Qt::Key_Period);
        QTest::keyClick(w.get(), Qt::Key_Period);
        QTest::keyClick(w.get(), Qt::Key_Period);
        QCOMPARE(w->editFrameIndex(), -1);
        QCOMPARE(w->frameLabel()->text(), QString("Frame 4"));
        QVERIFY(marked(*w).empty());
        QVERIFY(!button(*w, "DeleteSelFrameButton")->isEnabled());

        // The timeline follows the frame stepped to.
        auto many = m_fx.windowWithFrames(20);
        many->findChild<QScrollBar*>("TLScrollBar")->setValue(0);
        QTest::keyClick(many.get(), Qt::Key_Comma);
        QCOMPARE(many->editFrameIndex(), 19);
        QCOMPARE(many->timeline().first(), 20 - many->timeline().slotCount());
    }

    void scrollingLessThanAPageRendersOnlyTheNewThumbnails() {
        auto w = m_fx.windowWithFrames(20);
        Timeline& tl = w->timeline();
        auto* bar = w->findChild<QScrollBar*>("TLScrollBar");
        const int n = tl.slotCount();
        QVERIFY(n > 2);
        bar->setValue(0);
        const qint64 third = tl.slot(2)->pixmap().cacheKey();
        int before = tl.renderCount();
        bar->setValue(2);
        QCOMPARE(tl.renderCount() - before, 2);
        QCOMPARE(tl.slotFrame(0), 2);
        QCOMPARE(tl.slot(0)->pixmap().cacheKey(), third);
        QCOMPARE(tl.slot(0)->toolTip(), QString("Frame3"));
        before = tl.renderCount();
        bar->setValue(1);
        QCOMPARE(tl.renderCount() - before, 1);
        QCOMPARE(tl.slotFrame(n - 1), n);
        // A page or more redraws every slot.
        before = tl.renderCount();
        bar->setValue(1 + n);
        QCOMPARE(tl.renderCount() - before, n);
    }

    void thumbnailsShowTheFramesPicture() {
        auto w = m_fx.windowWithFrames(1);
        const QImage image = w->timeline().slot(0)->pixmap().toImage();
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(w->timeline().geometry().width, 58));
        // White background with some dark stick-man pixels.
        int dark = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                dark += qGray(image.pixel(x, y)) < 128;
            }
        }
        QCOMPARE(qGray(image.pixel(0, 0)), 255);
        QVERIFY(dark > 5);
    }

    void playbackHonoursRepeatCountsAndLoop() {
        auto w = m_fx.windowWithFrames(3);
        w->document().frames[1].repeatCount = 2;
        auto* loop = w->findChild<QCheckBox*>("RepeatCheckBox");
        QVERIFY(loop->isChecked());
        loop->setChecked(false);
        w->findChild<QScrollBar*>("RateScrollBar")->setValue(150);
        clickFrame(*w, 1);
        w->playButtonClick();
        QVERIFY(w->isPlaying());
        QCOMPARE(w->playPosition(), 1);
        QVERIFY(!w->nextFrameButton()->isEnabled());
        QVERIFY(!button(*w, "DeleteSelFrameButton")->isEnabled());
        w->advancePlayback();
        QCOMPARE(w->frameLabel()->text(), QString("Frame 2"));
        QCOMPARE(w->playPosition(), 1);
        w->advancePlayback();
        QCOMPARE(w->playPosition(), 2);
        w->advancePlayback(); // frame 3 shown once, then the end
        QVERIFY(!w->isPlaying());
        QCOMPARE(w->frameLabel()->text(), QString("Frame 2"));
        QVERIFY(w->nextFrameButton()->isEnabled());
        QVERIFY(button(*w, "DeleteSelFrameButton")->isEnabled());

        // Looping: the new frame starts at frame 1 and frame 1 follows the last.
        loop->setChecked(true);
        w->nextFrameButtonClick(); // back to the new frame
        w->playButtonClick();
        QCOMPARE(w->playPosition(), 0);
        for (int i = 0; i < 4; ++i) {
            w->advancePlayback();
        }
        QVERIFY(w->isPlaying());
        QCOMPARE(w->playPosition(), 0);
        w->advancePlayback();
        QCOMPARE(w->frameLabel()->text(), QString("Frame 1"));
        // The rate takes effect during playback; selecting a frame stops it.
        w->findChild<QScrollBar*>("RateScrollBar")->setValue(30);
        QCOMPARE(w->playTimer()->interval(), 30);
        w->selectFrame(0);
        QVERIFY(!w->isPlaying());
    }

    void playbackDrawsTheFrameOnTheCanvas() {
        auto w = m_fx.windowWithFrames(1);
        w->playButtonClick();
        const PixelPos o = w->scene().areaOffset();
        // Before the first tick the canvas shows no figures.
        auto darkPixels = [&] {
            const Bitmap& s = w->scene().screenBuffer();
            int dark = 0;
            for (int y = o.y; y < std::min(s.height(), o.y + w->document().animHeight()); ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(s.row(y));
                for (int x = o.x; x < std::min(s.width(), o.x + w->document().animWidth()); ++x) {
                    dark += (row[x] & 0xFF) < 100;
                }
            }
            return dark;
        };
        QCOMPARE(darkPixels(), 0);
        w->advancePlayback();
        QVERIFY(darkPixels() > 20);
        // The wheel over the canvas is swallowed while playing.
        QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QVERIFY(QCoreApplication::sendEvent(w->canvas(), &wheel));
        QVERIFY(wheel.isAccepted());
        w->stopButtonClick();
        QVERIFY(!w->isPlaying());
    }

    void screenshotOfTheTimeline() {
        auto w = m_fx.windowWithFrames(9);
        w->resize(1000, 700);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCoreApplication::processEvents();
        w->findChild<QScrollBar*>("TLScrollBar")->setValue(0);
        clickFrame(*w, 2);
        clickFrame(*w, 4, Qt::ShiftModifier);
        int bevels = 0;
        for (int i = 0; i < w->timeline().slotCount(); ++i) {
            bevels += w->timeline().bevel(i)->isVisible();
        }
        QCOMPARE(bevels, 3);
        const QImage shot = w->grab().toImage();
        QVERIFY(!shot.isNull());
        const QByteArray outDir = qgetenv("KELTO_SCREENSHOT_DIR");
        if (!outDir.isEmpty()) {
            QVERIFY(shot.save(QString::fromLocal8Bit(outDir) + "/timeline.png"));
        }
    }

    void rateBarSetsIntervalAndLabel() {
        auto w = m_fx.startedWindow();
        auto* bar = w->findChild<QScrollBar*>("RateScrollBar");
        QLabel* label = bar->parentWidget()->findChild<QLabel*>();
        QVERIFY(label);
        const std::pair<int, QString> cases[] = {{80, "12"}, {30, "33"}, {150, "7"}};
        for (const auto& [rate, text] : cases) {
            bar->setValue(rate);
            QCOMPARE(w->playTimer()->interval(), rate);
            QCOMPARE(label->text(), text);
            QCOMPARE(label->x(), text.size() == 1 ? 78 : 75);
        }
    }
};

QTEST_MAIN(TestTimeline)
#include "tst_timeline.moc"

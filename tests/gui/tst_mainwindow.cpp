#include "base/error.h"
#include "builder/figurebuilderform.h"
#include "dialogs/languagedialog.h"
#include "dialogs/optionsdialog.h"
#include "document/kelformat.h"
#include "document/stkformat.h"
#include "editor/canvas.h"
#include "editor/editingarea.h"
#include "editor/mainwindow.h"
#include "gui/mainwindowfixture.h"
#include "gui/scriptedprompter.h"
#include "pickers/backgroundpicker.h"
#include "pickers/figurepicker.h"
#include "pickers/imageselector.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace kelto;

// Drives the real main window offscreen. Questions and messages go to a scripted prompter and
// modal dialogs to a runner that answers at once, so nothing waits for a user.
class TestMainWindow : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    // The title as the window shows it: Qt turns "[*]" into the unsaved mark or drops it.
    static QString shownTitle(const QWidget& w) {
        QString title = w.windowTitle();
        return title.replace(QStringLiteral("[*]"),
                             w.isWindowModified() ? QStringLiteral("*") : QString());
    }

    QString animationFile(const QString& name, int frames) {
        Document doc(640, 480);
        for (int i = 0; i < frames; ++i) {
            doc.frames.push_back(doc.newEditFrame());
        }
        const std::vector<uint8_t> bytes = writeKelFile(doc);
        const QString path = m_fx.path(name);
        m_fx.writeBytes(path, bytes);
        return path;
    }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }

    void init() { m_fx.setUp(); }

    void cleanup() { m_fx.checkNothingReported(); }

    void firstStartShowsTheLanguageDialogBeforeTheDocument() {
        loadSettings();
        MainWindow window;
        int shown = 0, figuresWhenShown = -1;
        QDialog* which = nullptr;
        window.setDialogRunner([&](QDialog& dialog) {
            ++shown;
            which = &dialog;
            figuresWhenShown = window.editFigures().figureCount();
            dialog.accept();
            return int(QDialog::Accepted);
        });
        window.formActivate();
        QCOMPARE(shown, 1);
        QCOMPARE(which, static_cast<QDialog*>(window.languageDialog()));
        QCOMPARE(figuresWhenShown, 0);
        QCOMPARE(window.editFigures().figureCount(), 1);
        QVERIFY(!window.firstActivationPending());
        QCOMPARE(storedLanguage(settingsFilePath()), QString("English"));
        QCOMPARE(window.figurePicker()->selector()->caption(0), QString("Default"));

        // The language is known now: the next start asks nothing.
        loadSettings();
        MainWindow again;
        again.setDialogRunner([&](QDialog&) { return ++shown, 0; });
        again.formActivate();
        QCOMPARE(shown, 1);
    }

    void newDocumentHasOneStickManInTheMiddle() {
        auto window = m_fx.startedWindow();
        const Figures& edit = window->editFigures();
        QCOMPARE(edit.figureCount(), 1);
        QCOMPARE(edit.figures[0].jointPos[0].x, 250.0f);
        QCOMPARE(edit.figures[0].jointPos[0].y, 200.0f);
        QCOMPARE(window->editFrameIndex(), -1);
        QCOMPARE(window->frameLabel()->text(), QString("Frame 1"));
        QCOMPARE(shownTitle(*window), QString("Kelto Animator"));
        // The stick man and his handles are on the canvas.
        const Bitmap& screen = window->scene().screenBuffer();
        const PixelPos o = window->scene().areaOffset();
        QCOMPARE(screen.pixel32(o.x + 250, o.y + 200 - 20), 0u);
        QCOMPARE(screen.pixel32(o.x + 250, o.y + 200), 0x00FF8800u); // the orange main handle
    }

    void commandLineOpensKelFilesWhateverTheCase() {
        const QString path = animationFile("anim.KEL", 3);
        auto window = m_fx.startedWindow(path);
        QVERIFY(m_fx.prompter.messages.isEmpty());
        QCOMPARE(window->document().frameCount(), 3);
        QCOMPARE(window->document().animWidth(), 640);
        QCOMPARE(QString::fromStdString(window->document().currentFileName), path);
        QCOMPARE(shownTitle(*window), QString("anim.KEL - Kelto Animator"));
        QCOMPARE(window->frameLabel()->text(), QString("Frame 4"));
        QCOMPARE(appSettings().animWidth, 640); // the next start uses the loaded size
    }

    void commandLineRefusesOtherFiles() {
        m_fx.writeFile(m_fx.path("notes.txt"), "hello");
        auto window = m_fx.startedWindow(m_fx.path("notes.txt"));
        QCOMPARE(m_fx.prompter.messages, QStringList{"That is not a kel or stk file"});
        QCOMPARE(window->editFigures().figureCount(), 1);
        QCOMPARE(window->document().frameCount(), 0);
    }

    void commandLineOpensStkFilesInTheBuilder() {
        const QString path = m_fx.path("man.STK");
        saveStkFile(createDefaultTwoType(), path.toStdString());
        auto window = m_fx.startedWindow(path);
        QVERIFY(m_fx.prompter.messages.isEmpty());
        FigureBuilderForm* builder = window->figureBuilder();
        QVERIFY(builder->isVisible());
        QCOMPARE(builder->fileName(), path);
        QCOMPARE(builder->workingType().segmentCount(), createDefaultTwoType().segmentCount());
        QCOMPARE(window->editFigures().figureCount(), 1); // the animation starts as usual
        builder->hide();

        // "Edit Figure Type" hands the selected figure's type over.
        window->editFigures().select(0, true);
        window->findChild<QToolButton*>("EditTypeButton")->click();
        QVERIFY(builder->isVisible());
        QCOMPARE(builder->workingType().segmentCount(), createStickmanType().segmentCount());

        // "Add To Animation" hands a named type back: a picker cell and a figure on the canvas.
        builder->setNameAsker([](int) { return QString("Mine"); });
        builder->addToAnimation();
        QCOMPARE(window->document().figureTypeCount(), 3);
        QCOMPARE(window->figurePicker()->selector()->count(), 2);
        QCOMPARE(window->figurePicker()->selector()->caption(1), QString("Mine"));
        QCOMPARE(window->editFigures().figureCount(), 2);
        QCOMPARE(int(window->editFigures().figures[1].typeIndex), 2);
        builder->hide();
    }

    void damagedKelFileLeavesTheDocumentAlone() {
        m_fx.writeFile(m_fx.path("broken.kel"), QByteArray("\x78\x9c\x01\x02garbage", 12));
        auto window = m_fx.startedWindow(m_fx.path("broken.kel"));
        QCOMPARE(m_fx.prompter.messages.size(), 1);
        QCOMPARE(window->editFigures().figureCount(), 1);
        QCOMPARE(window->document().frameCount(), 0);
        QVERIFY(window->document().currentFileName.empty());

        window->loadProject(m_fx.path("missing.kel"));
        QCOMPARE(m_fx.prompter.messages.last(), QString("That file does not exist"));
    }

    void areaIsCentredInALargeWindowAndScrollsInASmallOne() {
        auto window = m_fx.startedWindow();
        window->resize(1000, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QScrollArea* box = window->editingScrollBox();
        const PixelPos big = window->scene().areaOffset();
        QCOMPARE(big.x, (box->width() - 8 - 500) / 2);
        QCOMPARE(big.y, (box->height() - 8 - 400) / 2);
        QVERIFY(big.x > 100);
        QCOMPARE(window->canvas()->width(), box->width() - 8);

        window->resize(400, 300);
        QTRY_COMPARE(window->canvas()->size(), QSize(500, 400));
        QCOMPARE(window->scene().areaOffset(), (PixelPos{0, 0}));
        QTRY_VERIFY(box->horizontalScrollBar()->maximum() > 0);
        QVERIFY(box->verticalScrollBar()->maximum() > 0);
        window->document().documentSaved = true;
    }

    void outOfRangeSettingsStartWithTheDefaults() {
        m_fx.writeSettingsText(
            "DimX=5\nDimY=20000\nNumOnion=12\nLanguage=English\nFrameRate=200\n");
        auto window = m_fx.startedWindow();
        QCOMPARE(window->document().animWidth(), 500);
        QCOMPARE(window->document().animHeight(), 400);
        QCOMPARE(appSettings().numOnion, 0);
        QCOMPARE(appSettings().frameRate, 80);
        QCOMPARE(window->findChild<QScrollBar*>("RateScrollBar")->value(), 80);
    }

    void optionsResizeAsksWhenFramesExist() {
        auto window = m_fx.startedWindow();
        window->nextFrameButton()->click();
        QCOMPARE(window->document().frameCount(), 1);
        QCOMPARE(shownTitle(*window), QString("*Kelto Animator"));

        OptionsDialog* options = window->optionsDialog();
        window->showOptions();
        QVERIFY(options->isVisible());
        options->widthEdit()->setValue(640);
        m_fx.prompter.answers = {Answer::No};
        options->okButton()->click();
        QCOMPARE(m_fx.prompter.questions.size(), 1);
        QCOMPARE(window->document().animWidth(), 500);

        window->showOptions();
        QCOMPARE(options->widthEdit()->value(), 500);
        options->widthEdit()->setValue(640);
        m_fx.prompter.answers = {Answer::Yes};
        options->okButton()->click();
        QCOMPARE(window->document().animWidth(), 640);
        QVERIFY(window->scene().canvasWidth() >= 640);
        QCOMPARE(readSettings(settingsFilePath()).animWidth, 640);
        window->document().documentSaved = true;
    }

    void closingAsksAndCancelKeepsTheWindowButSavesSettings() {
        auto window = m_fx.startedWindow();
        window->show();
        window->nextFrameButton()->click();
        QFile::remove(settingsFilePath());
        m_fx.prompter.answers = {Answer::Cancel};
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QCOMPARE(m_fx.prompter.questions,
                 QStringList{"Would you like to save the current project?"});
        QVERIFY(QFile::exists(settingsFilePath()));
        QCOMPARE(shownTitle(*window), QString("*Kelto Animator"));

        m_fx.prompter.answers = {Answer::No};
        QVERIFY(window->close());
    }

    void ctrlShiftOnAddFrameRevealsHiddenItems() {
        auto window = m_fx.startedWindow();
        QVERIFY(!window->action("SVG1")->isVisible());
        QTest::mousePress(window->nextFrameButton(), Qt::LeftButton,
                          Qt::ControlModifier | Qt::ShiftModifier);
        QTest::mouseRelease(window->nextFrameButton(), Qt::LeftButton,
                            Qt::ControlModifier | Qt::ShiftModifier);
        for (const char* name :
             {"SVG1", "SVGnohandles1", "SaveSelected1", "Deletefiguresoutsidearea1"}) {
            QVERIFY2(window->action(name)->isVisible(), name);
        }
        QCOMPARE(window->action("Save1")->shortcut(), QKeySequence("Ctrl+S"));
        QCOMPARE(window->action("Undo1")->shortcut(), QKeySequence("Ctrl+Z"));
        QCOMPARE(window->action("Redo1")->shortcut(), QKeySequence("Ctrl+Y"));
        QCOMPARE(window->action("SelectAll1")->shortcut(), QKeySequence("Ctrl+A"));
        window->document().documentSaved = true;
    }

    void pickersAndMessagesOfTheToolPanel() {
        auto window = m_fx.startedWindow();
        window->findChild<QPushButton*>("BackgroundButton")->click();
        QCOMPARE(m_fx.prompter.messages.last(), QString("No backgrounds have been loaded yet"));
        // Only built-in types: Add Figure adds a stick man directly.
        window->findChild<QPushButton*>("AddFigureButton")->click();
        QCOMPARE(window->editFigures().figureCount(), 2);
        // A loaded type gets a cell; its cell adds a figure of that type.
        window->document().addFigureType(createDefaultTwoType(), "Default 2");
        QCOMPARE(window->figurePicker()->selector()->count(), 2);
        window->figurePicker()->cellPressed(1, {});
        QCOMPARE(window->editFigures().figureCount(), 3);
        QCOMPARE(int(window->editFigures().figures[2].typeIndex), 2);
        window->newProject();
        QCOMPARE(window->figurePicker()->selector()->count(), 1);
    }

    void languageReachesEveryWindow() {
        m_fx.writeFile(multiLang().languagesFolder() + "Deutsch.ini",
                       "[Language]\nMFormCap=Kelto Trickfilm\nMAddFrameCap=&Bild dazu\n"
                       "FiFormCap=Figur w\xc3\xa4hlen\nOFormCap=Optionen\n");
        auto window = m_fx.startedWindow();
        QVERIFY(multiLang().setLanguage("Deutsch"));
        QCOMPARE(shownTitle(*window), QString("Kelto Trickfilm"));
        QCOMPARE(window->nextFrameButton()->text(), QString("&Bild dazu"));
        QCOMPARE(window->figurePicker()->windowTitle(), QString::fromUtf8("Figur w\xc3\xa4hlen"));
        QCOMPARE(window->optionsDialog()->windowTitle(), QString("Optionen"));
        QCOMPARE(window->action("New1")->text(), QString("New")); // not in the file: English
        window->nextFrameButton()->click();
        QCOMPARE(shownTitle(*window), QString("*Kelto Trickfilm"));
        window->document().documentSaved = true;
        QVERIFY(QFile::remove(multiLang().languagesFolder() + "Deutsch.ini"));
    }

    void closingWithYesSavesTheAnimation() {
        auto window = m_fx.startedWindow();
        window->show();
        window->nextFrameButton()->click();
        window->nextFrameButton()->click();
        m_fx.prompter.answers = {Answer::Yes};
        m_fx.prompter.saveNames = {m_fx.path("saved.kel")};
        QVERIFY(window->close());
        const Document back = loadAnimation(m_fx.path("saved.kel").toStdString());
        QCOMPARE(back.frameCount(), 2);
        QCOMPARE(back.frames[1].figures[0].jointPos[0].x, 250.0f);
    }

    void pickedBackgroundGoesUnderTheFrame() {
        auto window = m_fx.startedWindow();
        Bitmap red(500, 400, PixelFormat::Bits32);
        red.fill(0x00FF0000);
        ImageGeneral picture;
        picture.setBitmap(red);
        window->document().addBackground(picture, "Red");
        BackgroundPicker* picker = window->backgroundPicker();
        QCOMPARE(picker->selector()->count(), 2);
        QCOMPARE(picker->selector()->caption(1), QString("Red"));
        picker->cellPressed(1, {});
        QCOMPARE(int(window->editFigures().backgroundIndex), 1);
        const PixelPos o = window->scene().areaOffset();
        QCOMPARE(window->scene().ghostBitmap().pixel32(o.x + 10, o.y + 10), 0x00FF0000u);
        QCOMPARE(window->scene().screenBuffer().pixel32(o.x + 10, o.y + 10), 0x00FF0000u);
        window->findChild<QPushButton*>("BackgroundButton")->click();
        QVERIFY(picker->isVisible());
        QVERIFY(m_fx.prompter.messages.isEmpty());
        picker->hide();
    }

    void canvasCopiesPartialRedrawsAndRecomposesForTheSystem() {
        auto window = m_fx.startedWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCoreApplication::processEvents();
        Scene& scene = window->scene();
        const int before = scene.fullRedrawCount();
        Figures& edit = window->editFigures();
        const Rect old = edit.figures[0].bounds;
        edit.moveFigure(0, 7, 3);
        window->reDrawFigure(0, old);
        QCoreApplication::processEvents();
        QCOMPARE(scene.fullRedrawCount(), before); // only the changed rectangle was copied
        QVERIFY(scene.fullRepaintNeeded());
        window->canvas()->repaint(); // as when the system uncovers the canvas
        QCOMPARE(scene.fullRedrawCount(), before + 1);
        QVERIFY(!scene.fullRepaintNeeded());
    }

    void exportAndSvgCommandsReachTheirWindows() {
        auto window = m_fx.startedWindow();
        window->nextFrameButton()->click();
        window->action("Export1")->trigger(); // the target question, cancelled
        QCOMPARE(m_fx.prompter.messages.size(), 0);
        m_fx.prompter.saveNames = {m_fx.path("frame.svg")};
        window->revealHiddenItems();
        window->action("SVG1")->trigger();
        QFile svg(m_fx.path("frame.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QVERIFY(svg.readAll().contains("<svg"));
        window->document().documentSaved = true;
    }

    void startUpDecisionsFromPlainText() {
        QCOMPARE(commandLineKind(""), CommandLineKind::None);
        QCOMPARE(commandLineKind("/a/b/anim.KEL"), CommandLineKind::Kel);
        QCOMPARE(commandLineKind("figure.Stk"), CommandLineKind::Stk);
        QCOMPARE(commandLineKind("notes.txt"), CommandLineKind::Other);
        QCOMPARE(commandLineKind("kel"), CommandLineKind::Kel); // only the last three count

        const QByteArray cpus = "processor\t: 0\ncpu MHz\t\t: 800.000\n"
                                "processor\t: 1\ncpu MHz\t\t: 1200.125\n";
        QCOMPARE(supersampleFactorFromCpuInfo(cpus), 2);
        QCOMPARE(supersampleFactorFromCpuInfo("cpu MHz : 1199.000\n"), 1);
        QCOMPARE(supersampleFactorFromCpuInfo("cpu MHz : 1199.5\n"), 2);
        QCOMPARE(supersampleFactorFromCpuInfo("model name : arm\n"), 1); // no clock: slow
        QCOMPARE(supersampleFactorFromCpuInfo("cpu MHz : fast\n"), 1);
    }

    // An installed program (prefix/bin/kelto) finds its read-me and manual in
    // prefix/share/kelto/, and says so when no viewer can be started for them.
    void readMeAndHelpOpenTheInstalledFiles() {
        const QString prefix = m_fx.path("prefix/");
        QVERIFY(QDir().mkpath(prefix + "bin"));
        QVERIFY(QDir().mkpath(prefix + "share/kelto/manual"));
        m_fx.writeFile(prefix + "share/kelto/ReadMe.txt", "read me");
        m_fx.writeFile(prefix + "share/kelto/manual/index.html", "<html></html>");
        auto window = m_fx.startedWindow();
        window->setProgramFolder(prefix + "bin/");
        QList<QUrl> opened;
        window->setUrlOpener([&](const QUrl& url) { return opened << url, true; });
        window->showReadMe();
        window->showHelp();
        QVERIFY(m_fx.prompter.messages.isEmpty());
        QCOMPARE(opened,
                 (QList<QUrl>{QUrl::fromLocalFile(prefix + "share/kelto/ReadMe.txt"),
                              QUrl::fromLocalFile(prefix + "share/kelto/manual/index.html")}));

        window->setUrlOpener([](const QUrl&) { return false; });
        window->showHelp();
        QCOMPARE(m_fx.prompter.messages,
                 QStringList{"No program could be started to show this file:\n" + prefix +
                             "share/kelto/manual/index.html"});

        // Without a manual, help falls back to the read-me; without either, the user is told.
        QVERIFY(QDir(prefix + "share/kelto/manual").removeRecursively());
        window->setUrlOpener([&](const QUrl& url) { return opened << url, true; });
        window->showHelp();
        QCOMPARE(opened.last(), QUrl::fromLocalFile(prefix + "share/kelto/ReadMe.txt"));
        QVERIFY(QFile::remove(prefix + "share/kelto/ReadMe.txt"));
        window->showHelp();
        QCOMPARE(m_fx.prompter.messages.last(),
                 QString("ReadMe file not found in executable folder"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"

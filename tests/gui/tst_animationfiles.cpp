#include "document/kelformat.h"
#include "document/stkformat.h"
#include "document/zstream.h"
#include "graphics/bytestream.h"
#include "gui/mainwindowfixture.h"
#include "pickers/figurepicker.h"
#include "pickers/imageselector.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

using namespace kelto;

// "Open Animation", "Save Animation", "Save Animation As", "Save Selected" and the question
// whether to save, through the real main window offscreen.
class TestAnimationFiles : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    static std::vector<uint8_t> record(const Document& doc) { return writeKelFile(doc); }

    // The unsaved mark and the program's name, as the title shows them; the file name before
    // them is checked in tst_shell.
    static QString title(MainWindow& w) {
        QString program = w.windowTitle().section(QStringLiteral(" - "), -1);
        program.remove(QStringLiteral("[*]"));
        return (w.isWindowModified() ? QStringLiteral("*") : QString()) + program;
    }

    static QString currentFile(MainWindow& w) {
        return QString::fromStdString(w.document().currentFileName);
    }

    static int framesIn(const QString& path) {
        return loadAnimation(QFile::encodeName(path).toStdString()).frameCount();
    }

    // A started window showing an animation of n frames read from a file of its own.
    std::unique_ptr<MainWindow> windowWithOpenedFile(const QString& name, int n) {
        auto w = m_fx.windowWithFrames(n);
        m_fx.prompter.saveNames = {m_fx.path(name)};
        w->saveDocumentAs();
        auto opened = m_fx.startedWindow();
        m_fx.prompter.openNames = {{m_fx.path(name)}};
        opened->chooseAnimationToOpen();
        return opened;
    }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }
    void init() { m_fx.setUp(); }
    void cleanup() { m_fx.checkNothingReported(); }

    void saveThenOpenGivesTheSameDocument() {
        auto w = m_fx.windowWithFrames(30);
        w->editFigures().figures[0].colour = 0x0000FF;
        w->nextFrameButtonClick();
        const std::vector<uint8_t> before = record(w->document());
        QCOMPARE(title(*w), QString("*Kelto Animator"));

        m_fx.prompter.saveNames = {m_fx.path("walk.kel")};
        w->saveDocumentAs();
        QVERIFY(m_fx.prompter.questions.isEmpty());
        QCOMPARE(title(*w), QString("Kelto Animator"));
        QCOMPARE(currentFile(*w), m_fx.path("walk.kel"));
        QCOMPARE(QString::fromStdString(appSettings().kelDir), m_fx.dir.path() + "/");

        w->newAnimation();
        QCOMPARE(w->document().frameCount(), 0);
        QVERIFY(m_fx.prompter.questions.isEmpty()); // nothing unsaved to ask about

        // Some undo history and a scrolled timeline that the load must not keep.
        w->editFigures().select(0, true);
        w->flipButtonClick();
        QVERIFY(w->action("Undo1")->isEnabled());

        m_fx.prompter.openNames = {{m_fx.path("walk.kel")}};
        w->chooseAnimationToOpen();
        QCOMPARE(m_fx.prompter.folders.last(), m_fx.dir.path() + "/");
        QCOMPARE(record(w->document()), before);
        QCOMPARE(currentFile(*w), m_fx.path("walk.kel"));
        QCOMPARE(title(*w), QString("Kelto Animator"));
        QVERIFY(m_fx.prompter.questions.isEmpty());
        // Editing continues on a new frame after the last, starting from the last pose.
        QCOMPARE(w->editFrameIndex(), -1);
        QCOMPARE(w->frameLabel()->text(), QString("Frame 32"));
        QCOMPARE(w->editFigures().figures[0].colour, 0x0000FFu);
        QVERIFY(!w->action("Undo1")->isEnabled());
        auto* bar = w->findChild<QScrollBar*>("TLScrollBar");
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(w->timeline().first(), bar->maximum());
    }

    void saveAfterALoadRewritesThatFileWithoutAsking() {
        auto w = windowWithOpenedFile("mine.kel", 3);
        w->nextFrameButtonClick();
        QCOMPARE(title(*w), QString("*Kelto Animator"));
        w->action("Save1")->trigger();
        QVERIFY(m_fx.prompter.folders.size() == 2); // the first Save As and the Open only
        QCOMPARE(framesIn(m_fx.path("mine.kel")), 4);
        QCOMPARE(title(*w), QString("Kelto Animator"));

        // With every frame deleted there is nothing to write; the file keeps its frames.
        w->selectFrame(0);
        w->selectFrame(3, Qt::ShiftModifier);
        m_fx.prompter.answers = {Answer::Yes};
        w->deleteSelFrameButtonClick();
        QCOMPARE(w->document().frameCount(), 0);
        w->saveDocument();
        QCOMPARE(m_fx.prompter.messages.last(),
                 QString("You must create at least one frame before saving an animation"));
        QCOMPARE(framesIn(m_fx.path("mine.kel")), 4);
    }

    static QByteArray bytesOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Any typed extension becomes ".kel", and the question is about that file: an existing
    // x.kel is never replaced unasked because "x.txt" was typed.
    void aTypedExtensionBecomesKelAndTheFileWrittenIsTheOneAskedAbout() {
        const QString replace =
            "A file with that name already exists. Would you like to replace it?";
        auto w = m_fx.windowWithFrames(2);
        m_fx.prompter.saveNames = {m_fx.path("clip.txt")};
        w->saveDocumentAs();
        QVERIFY(m_fx.prompter.questions.isEmpty());
        QVERIFY(QFileInfo::exists(m_fx.path("clip.kel")));
        QVERIFY(!QFileInfo::exists(m_fx.path("clip.txt")));
        QCOMPARE(currentFile(*w), m_fx.path("clip.kel"));

        // clip.kel exists now: typing clip.txt asks, and No keeps clip.kel byte for byte.
        const QByteArray before = bytesOf(m_fx.path("clip.kel"));
        w->nextFrameButtonClick();
        m_fx.prompter.saveNames = {m_fx.path("clip.txt")};
        w->saveDocumentAs();
        QCOMPARE(m_fx.prompter.questions, QStringList{replace});
        QCOMPARE(m_fx.prompter.cancelOffered, QList<bool>{false});
        QCOMPARE(bytesOf(m_fx.path("clip.kel")), before);
        QVERIFY(!QFileInfo::exists(m_fx.path("clip.txt")));
        QCOMPARE(title(*w), QString("*Kelto Animator"));

        m_fx.prompter.saveNames = {m_fx.path("clip.txt")};
        m_fx.prompter.answers = {Answer::Yes};
        w->saveDocumentAs();
        QCOMPARE(framesIn(m_fx.path("clip.kel")), 3);

        // A file of the typed name that is not written asks nothing and stays as it was.
        m_fx.writeFile(m_fx.path("notes.txt"), "notes");
        m_fx.prompter.questions.clear();
        m_fx.prompter.saveNames = {m_fx.path("notes.txt")};
        w->saveDocumentAs();
        QVERIFY(m_fx.prompter.questions.isEmpty());
        QCOMPARE(framesIn(m_fx.path("notes.kel")), 3);
        QCOMPARE(bytesOf(m_fx.path("notes.txt")), QByteArray("notes"));

        // Save Selected asks about its final file the same way.
        const QByteArray whole = bytesOf(m_fx.path("notes.kel"));
        w->selectFrame(1, Qt::NoModifier);
        m_fx.prompter.saveNames = {m_fx.path("notes.part")};
        w->saveSelectedFramesAs();
        QCOMPARE(m_fx.prompter.questions, QStringList{replace});
        QCOMPARE(bytesOf(m_fx.path("notes.kel")), whole);
    }

    void filesThatCannotBeOpenedLeaveTheDocumentAndItsChangedState() {
        auto w = m_fx.windowWithFrames(2);
        const std::vector<uint8_t> before = record(w->document());

        std::vector<uint8_t> future = writeKelFile(Document(300, 200));
        future = decompressStream(future, 1 << 20);
        future[0] = 5;
        m_fx.writeBytes(m_fx.path("future.kel"), compressStream(future));
        m_fx.writeFile(m_fx.path("picture.png"), "not really");
        m_fx.writeFile(m_fx.path("broken.kel"), QByteArray("\x78\x9c\x01\x02garbage", 12));

        m_fx.prompter.openNames = {{m_fx.path("future.kel")},
                                   {m_fx.path("picture.png")},
                                   {m_fx.path("broken.kel")},
                                   {m_fx.path("gone.kel")}};
        for (int i = 0; i < 4; ++i) {
            w->chooseAnimationToOpen();
        }
        QCOMPARE(m_fx.prompter.messages.size(), 4);
        QCOMPARE(m_fx.prompter.messages[0],
                 QString("That .kel file is not compatible with this version of Kelto"));
        QCOMPARE(m_fx.prompter.messages[1], QString("Incorrect file type"));
        QCOMPARE(m_fx.prompter.messages[3], QString("That file does not exist"));
        QVERIFY(m_fx.prompter.questions.isEmpty()); // refused before the save question
        QCOMPARE(record(w->document()), before);
        QCOMPARE(title(*w), QString("*Kelto Animator"));
        QVERIFY(!w->document().documentSaved);
        QVERIFY(currentFile(*w).isEmpty());
        w->document().documentSaved = true;
    }

    // A version-2 file stores no frame rate: opening it keeps the rate the window plays at,
    // while a newer file brings its own.
    void aVersion2FileKeepsThePlaybackRate() {
        auto w = m_fx.startedWindow();
        auto* rate = w->findChild<QScrollBar*>("RateScrollBar");
        QVERIFY(rate != nullptr);
        rate->setValue(120);
        ByteWriter old;
        old.put<uint8_t>(2);
        old.put<uint8_t>(0);
        old.put<int32_t>(64);
        old.put<int32_t>(48);
        old.put<uint8_t>(2);
        old.put<int32_t>(1);
        old.put<uint8_t>(0);
        m_fx.writeBytes(m_fx.path("old.kel"), compressStream(old.bytes()));
        m_fx.prompter.openNames = {{m_fx.path("old.kel")}};
        w->chooseAnimationToOpen();
        QCOMPARE(w->document().frameCount(), 1);
        QCOMPARE(w->document().animWidth(), 64);
        QCOMPARE(rate->value(), 120);
        QCOMPARE(w->document().frameRate, 120);

        Document newer = Document(64, 48);
        newer.frames.emplace_back();
        newer.frameRate = 45;
        m_fx.writeBytes(m_fx.path("new.kel"), writeKelFile(newer));
        m_fx.prompter.openNames = {{m_fx.path("new.kel")}};
        w->chooseAnimationToOpen();
        QCOMPARE(rate->value(), 45);
        QCOMPARE(w->document().frameRate, 45);
    }

    void theSaveQuestionOffersCancelOnlyWhenClosing() {
        auto other = m_fx.windowWithFrames(1);
        m_fx.prompter.saveNames = {m_fx.path("other.kel")};
        other->saveDocumentAs();

        // No: the work is dropped and the file opens.
        auto w = m_fx.windowWithFrames(2);
        m_fx.prompter.openNames = {{m_fx.path("other.kel")}};
        w->chooseAnimationToOpen();
        QCOMPARE(m_fx.prompter.questions,
                 QStringList{"Would you like to save the current project?"});
        QCOMPARE(m_fx.prompter.cancelOffered, QList<bool>{false});
        QCOMPARE(w->document().frameCount(), 1);

        // Closing offers Cancel, and Cancel keeps the window and the unsaved state.
        w->nextFrameButtonClick();
        m_fx.prompter.answers = {Answer::Cancel};
        QVERIFY(!w->close());
        QCOMPARE(m_fx.prompter.cancelOffered.last(), true);
        QCOMPARE(title(*w), QString("*Kelto Animator"));
        QVERIFY(!w->document().documentSaved);

        // Yes saves to the open file before the window goes.
        m_fx.prompter.answers = {Answer::Yes};
        QVERIFY(w->close());
        QCOMPARE(framesIn(m_fx.path("other.kel")), 2);
    }

    void yesWhoseSaveDoesNotHappenKeepsTheWork() {
        auto w = m_fx.windowWithFrames(2);
        const std::vector<uint8_t> before = record(w->document());
        // Yes, then the save dialog cancelled: neither New nor closing throws the frames away.
        m_fx.prompter.answers = {Answer::Yes};
        w->newAnimation();
        QCOMPARE(record(w->document()), before);
        QVERIFY(!w->document().documentSaved);
        m_fx.prompter.answers = {Answer::Yes};
        QVERIFY(!w->close());
        QCOMPARE(record(w->document()), before);

        // Yes with a file that cannot be written: reported, nothing marked saved.
        m_fx.prompter.answers = {Answer::Yes};
        m_fx.prompter.saveNames = {m_fx.path("no such folder/anim.kel")};
        w->newAnimation();
        QCOMPARE(m_fx.reported.size(), size_t(1));
        m_fx.reported.clear();
        QCOMPARE(record(w->document()), before);
        QVERIFY(currentFile(*w).isEmpty());
        QCOMPARE(title(*w), QString("*Kelto Animator"));

        // Yes with a name: saved, then the new document.
        m_fx.prompter.answers = {Answer::Yes};
        m_fx.prompter.saveNames = {m_fx.path("kept.kel")};
        w->newAnimation();
        QCOMPARE(framesIn(m_fx.path("kept.kel")), 2);
        QCOMPARE(w->document().frameCount(), 0);
        QVERIFY(currentFile(*w).isEmpty());
    }

    void openingTheFileTheQuestionJustSavedShowsTheSavedWork() {
        auto w = windowWithOpenedFile("same.kel", 2);
        w->nextFrameButtonClick();
        w->nextFrameButtonClick();
        m_fx.prompter.answers = {Answer::Yes};
        m_fx.prompter.openNames = {{m_fx.path("same.kel")}};
        w->chooseAnimationToOpen();
        QCOMPARE(w->document().frameCount(), 4);
        QCOMPARE(framesIn(m_fx.path("same.kel")), 4);
        QVERIFY(w->document().documentSaved);
    }

    // Names in files are Windows-1252: a type saved as "Café €" comes back under the same
    // name, the picker shows it, and loading "Café €.stk" uses it instead of adding a twin.
    void namesFromFilesMatchTheNamesOfLoadedFigureTypes() {
        const std::string name = "Caf\xC3\xA9 \xE2\x82\xAC";
        Document doc(300, 200);
        doc.addFigureType(doc.figureType(1), name);
        doc.frames.push_back(doc.newEditFrame());
        m_fx.writeBytes(m_fx.path("names.kel"), writeKelFile(doc));
        auto w = m_fx.startedWindow();
        m_fx.prompter.openNames = {{m_fx.path("names.kel")}};
        w->chooseAnimationToOpen();
        QCOMPARE(w->document().figureTypeCount(), 3);
        QCOMPARE(w->document().figureTypeName(2), name);
        QCOMPARE(w->figurePicker()->selector()->caption(1), QString::fromUtf8(name));

        const QString stk = m_fx.path(QString::fromUtf8(name) + ".stk");
        m_fx.writeBytes(stk, writeStkFile(doc.figureType(1)));
        m_fx.prompter.openNames = {{stk}};
        w->chooseFigureTypes();
        QCOMPARE(w->document().figureTypeCount(), 3);

        // A file name the code page cannot hold comes in with '?' in place of what it lacks,
        // and matches itself the next time.
        const QString cyrillic = m_fx.path(QString::fromUtf8("\xD0\x96uk.stk"));
        m_fx.writeBytes(cyrillic, writeStkFile(doc.figureType(1)));
        m_fx.prompter.openNames = {{cyrillic}};
        w->chooseFigureTypes();
        m_fx.prompter.openNames = {{cyrillic}};
        w->chooseFigureTypes();
        QCOMPARE(w->document().figureTypeCount(), 4);
        QCOMPARE(w->document().figureTypeName(3), std::string("?uk"));
    }

    // A document at the figure-type limit opens at once: the picker is filled in one batch
    // and draws only the cells in view. The bound is generous on purpose (bench_pickers
    // measures the time); it catches a return of the per-cell relayout, which took minutes.
    void aDocumentAtTheFigureTypeLimitOpensAndItsPickerShowsEveryType() {
        Document doc(200, 150);
        FigureType one;
        one.addSegment(0, skLine, 10, 2, 0, 0, 0);
        while (doc.canAddFigureType()) {
            doc.addFigureType(one, "t" + std::to_string(doc.figureTypeCount()));
        }
        doc.frames.push_back(doc.newEditFrame());
        m_fx.writeBytes(m_fx.path("many.kel"), writeKelFile(doc));

        auto w = m_fx.startedWindow();
        QElapsedTimer timer;
        timer.start();
        m_fx.prompter.openNames = {{m_fx.path("many.kel")}};
        w->chooseAnimationToOpen();
        FigurePicker* picker = w->figurePicker();
        picker->show();
        picker->grab();
        QVERIFY2(timer.elapsed() < 60000, qPrintable(QString::number(timer.elapsed())));

        QCOMPARE(w->document().figureTypeCount(), kMaxFigureTypes);
        ImageSelector* cells = picker->selector();
        QCOMPARE(cells->count(), kMaxFigureTypes - 1);
        QCOMPARE(cells->caption(0), QString("Default"));
        QCOMPARE(cells->caption(1), QString("t2"));
        QCOMPARE(cells->caption(cells->count() - 1), QString("t65533"));
        QVERIFY(cells->hasThumbnail(0));
        QVERIFY(!cells->hasThumbnail(cells->count() - 1));

        // Scrolled to the end, the last cell is drawn and can be picked.
        QScrollBar* bar = picker->scrollArea()->verticalScrollBar();
        bar->setValue(bar->maximum());
        picker->grab();
        QVERIFY(cells->hasThumbnail(cells->count() - 1));
        const Rect last = cells->cellRect(cells->count() - 1);
        QCOMPARE(cells->hitTest(last.left + 5, last.top + 5), cells->count() - 1);
        QCOMPARE(cells->thumbnail(cells->count() - 1).width(),
                 cells->thumbnail(cells->count() - 2).width());
        picker->hide();
    }

    // An installed program's sample folder cannot be written: the save and export dialogs
    // start in the user's documents folder instead, while Open still starts in the samples.
    void saveDialogsStartInAWritableFolderWhenTheSamplesCannotBeWritten() {
        const QByteArray oldHome = qgetenv("HOME");
        const QString home = m_fx.path("home/");
        QVERIFY(QDir().mkpath(home + "Documents"));
        qputenv("HOME", home.toUtf8());
        const QString samples = m_fx.path("share/kelto/animations/"); // missing: not writable
        auto w = m_fx.windowWithFrames(2);
        appSettings().kelDir = samples.toStdString();

        w->chooseAnimationToOpen();
        w->saveDocumentAs();
        w->selectFrame(1, Qt::NoModifier);
        w->saveSelectedFramesAs();
        w->exportToFile();
        QCOMPARE(m_fx.prompter.folders, (QStringList{samples, home + "Documents/",
                                                     home + "Documents/", home + "Documents/"}));

        // A writable animations folder is where saving starts; exports keep their own start.
        const QString mine = m_fx.path("") + "/";
        appSettings().kelDir = mine.toStdString();
        m_fx.prompter.folders.clear();
        w->saveDocumentAs();
        w->exportToFile();
        QCOMPARE(m_fx.prompter.folders, (QStringList{mine, QString()}));
        qputenv("HOME", oldHome);
    }

    void saveSelectedWritesAFileOfItsOwnAndLeavesTheDocumentUnsaved() {
        auto w = windowWithOpenedFile("whole.kel", 5);
        w->nextFrameButtonClick();
        w->selectFrame(3, Qt::NoModifier);
        w->selectFrame(1, Qt::ControlModifier);
        m_fx.prompter.saveNames = {m_fx.path("part")};
        w->saveSelectedFramesAs();
        QCOMPARE(framesIn(m_fx.path("part.kel")), 2);
        // The document still holds unsaved work and still belongs to its own file, so a later
        // Ctrl+S cannot overwrite the part file with the whole animation.
        QCOMPARE(currentFile(*w), m_fx.path("whole.kel"));
        QCOMPARE(title(*w), QString("*Kelto Animator"));
        w->saveDocument();
        QCOMPARE(framesIn(m_fx.path("whole.kel")), 6);
        QCOMPARE(framesIn(m_fx.path("part.kel")), 2);
    }
};

QTEST_MAIN(TestAnimationFiles)
#include "tst_animationfiles.moc"

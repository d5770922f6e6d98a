#include "document/kelformat.h"
#include "document/zstream.h"
#include "graphics/bytestream.h"
#include "gui/mainwindowfixture.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
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

    static QString title(MainWindow& w) { return w.windowTitle(); }

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
        w->saveAs1Click();
        auto opened = m_fx.startedWindow();
        m_fx.prompter.openNames = {{m_fx.path(name)}};
        opened->openAnimation1Click();
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
        w->saveAs1Click();
        QVERIFY(m_fx.prompter.questions.isEmpty());
        QCOMPARE(title(*w), QString("Kelto Animator"));
        QCOMPARE(currentFile(*w), m_fx.path("walk.kel"));
        QCOMPARE(QString::fromStdString(appSettings().kelDir), m_fx.dir.path() + "/");

        w->new1Click();
        QCOMPARE(w->document().frameCount(), 0);
        QVERIFY(m_fx.prompter.questions.isEmpty()); // nothing unsaved to ask about

        // Some undo history and a scrolled timeline that the load must not keep.
        w->editFigures().select(0, true);
        w->flipButtonClick();
        QVERIFY(w->action("Undo1")->isEnabled());

        m_fx.prompter.openNames = {{m_fx.path("walk.kel")}};
        w->openAnimation1Click();
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
        w->save1Click();
        QCOMPARE(m_fx.prompter.messages.last(),
                 QString("You must create at least one frame before saving an animation"));
        QCOMPARE(framesIn(m_fx.path("mine.kel")), 4);
    }

    void aTypedExtensionBecomesKelAndOnlyThatNameIsCheckedForReplacing() {
        auto w = m_fx.windowWithFrames(2);
        m_fx.prompter.saveNames = {m_fx.path("clip.txt")};
        w->saveAs1Click();
        QVERIFY(m_fx.prompter.questions.isEmpty());
        QVERIFY(QFileInfo::exists(m_fx.path("clip.kel")));
        QVERIFY(!QFileInfo::exists(m_fx.path("clip.txt")));
        QCOMPARE(currentFile(*w), m_fx.path("clip.kel"));

        // clip.kel exists now, but the typed name is checked: still no question.
        w->nextFrameButtonClick();
        m_fx.prompter.saveNames = {m_fx.path("clip.txt")};
        w->saveAs1Click();
        QVERIFY(m_fx.prompter.questions.isEmpty());
        QCOMPARE(framesIn(m_fx.path("clip.kel")), 3);

        // A .txt of that name exists: the question comes, and No writes nothing.
        m_fx.writeFile(m_fx.path("clip.txt"), "notes");
        w->nextFrameButtonClick();
        m_fx.prompter.saveNames = {m_fx.path("clip.txt")};
        w->saveAs1Click();
        QCOMPARE(
            m_fx.prompter.questions,
            QStringList{"A file with that name already exists. Would you like to replace it?"});
        QCOMPARE(m_fx.prompter.cancelOffered, QList<bool>{false});
        QCOMPARE(framesIn(m_fx.path("clip.kel")), 3);
        QCOMPARE(title(*w), QString("*Kelto Animator"));

        m_fx.prompter.saveNames = {m_fx.path("clip.txt")};
        m_fx.prompter.answers = {Answer::Yes};
        w->saveAs1Click();
        QCOMPARE(framesIn(m_fx.path("clip.kel")), 4);
        QFile txt(m_fx.path("clip.txt"));
        QVERIFY(txt.open(QIODevice::ReadOnly));
        QCOMPARE(txt.readAll(), QByteArray("notes"));
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
            w->openAnimation1Click();
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
        w->openAnimation1Click();
        QCOMPARE(w->document().frameCount(), 1);
        QCOMPARE(w->document().animWidth(), 64);
        QCOMPARE(rate->value(), 120);
        QCOMPARE(w->document().frameRate, 120);

        Document newer = Document(64, 48);
        newer.frames.emplace_back();
        newer.frameRate = 45;
        m_fx.writeBytes(m_fx.path("new.kel"), writeKelFile(newer));
        m_fx.prompter.openNames = {{m_fx.path("new.kel")}};
        w->openAnimation1Click();
        QCOMPARE(rate->value(), 45);
        QCOMPARE(w->document().frameRate, 45);
    }

    void theSaveQuestionOffersCancelOnlyWhenClosing() {
        auto other = m_fx.windowWithFrames(1);
        m_fx.prompter.saveNames = {m_fx.path("other.kel")};
        other->saveAs1Click();

        // No: the work is dropped and the file opens.
        auto w = m_fx.windowWithFrames(2);
        m_fx.prompter.openNames = {{m_fx.path("other.kel")}};
        w->openAnimation1Click();
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
        w->new1Click();
        QCOMPARE(record(w->document()), before);
        QVERIFY(!w->document().documentSaved);
        m_fx.prompter.answers = {Answer::Yes};
        QVERIFY(!w->close());
        QCOMPARE(record(w->document()), before);

        // Yes with a file that cannot be written: reported, nothing marked saved.
        m_fx.prompter.answers = {Answer::Yes};
        m_fx.prompter.saveNames = {m_fx.path("no such folder/anim.kel")};
        w->new1Click();
        QCOMPARE(m_fx.reported.size(), size_t(1));
        m_fx.reported.clear();
        QCOMPARE(record(w->document()), before);
        QVERIFY(currentFile(*w).isEmpty());
        QCOMPARE(title(*w), QString("*Kelto Animator"));

        // Yes with a name: saved, then the new document.
        m_fx.prompter.answers = {Answer::Yes};
        m_fx.prompter.saveNames = {m_fx.path("kept.kel")};
        w->new1Click();
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
        w->openAnimation1Click();
        QCOMPARE(w->document().frameCount(), 4);
        QCOMPARE(framesIn(m_fx.path("same.kel")), 4);
        QVERIFY(w->document().documentSaved);
    }

    void saveSelectedWritesAFileOfItsOwnAndLeavesTheDocumentUnsaved() {
        auto w = windowWithOpenedFile("whole.kel", 5);
        w->nextFrameButtonClick();
        w->selectFrame(3, Qt::NoModifier);
        w->selectFrame(1, Qt::ControlModifier);
        m_fx.prompter.saveNames = {m_fx.path("part")};
        w->saveSelected1Click();
        QCOMPARE(framesIn(m_fx.path("part.kel")), 2);
        // The document still holds unsaved work and still belongs to its own file, so a later
        // Ctrl+S cannot overwrite the part file with the whole animation.
        QCOMPARE(currentFile(*w), m_fx.path("whole.kel"));
        QCOMPARE(title(*w), QString("*Kelto Animator"));
        w->save1Click();
        QCOMPARE(framesIn(m_fx.path("whole.kel")), 6);
        QCOMPARE(framesIn(m_fx.path("part.kel")), 2);
    }
};

QTEST_MAIN(TestAnimationFiles)
#include "tst_animationfiles.moc"

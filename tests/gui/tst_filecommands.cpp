#include "base/error.h"
#include "document/kelformat.h"
#include "document/stkformat.h"
#include "editor/clipboard.h"
#include "editor/mainwindow.h"
#include "graphics/bitmap.h"
#include "graphics/imagecodecs.h"
#include "gui/mainwindowfixture.h"
#include "gui/scriptedprompter.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace kelto;

namespace {
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
} // namespace

namespace {
// Like a dialog whose preview appended a scratch type behind the document's own.
class PreviewingPrompter : public testing::ScriptedPrompter {
public:
    Document* doc = nullptr;
    QStringList openFileNames(const QString& caption, const QString& folder, const QString& filter,
                              bool multiple, bool preview) override {
        doc->addFigureType(doc->figureType(1), "scratch");
        return ScriptedPrompter::openFileNames(caption, folder, filter, multiple, preview);
    }
};
} // namespace

// The picture and figure-type commands of the real main window, offscreen, with scripted
// answers and file names.
class TestFileCommands : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    // A picture whose first splitColumn columns are red and the rest blue.
    QString pngFile(const QString& name, int width, int height, int splitColumn) {
        Bitmap bitmap(width, height, PixelFormat::Bits24);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                bitmap.setRawPixel(x, y, x < splitColumn ? kRed : kBlue);
            }
        }
        const QString path = m_fx.path(name);
        m_fx.writeBytes(path, encodePng(bitmap));
        return path;
    }

    QString stkFile(const QString& name) {
        const Document doc(640, 480);
        const QString path = m_fx.path(name);
        m_fx.writeBytes(path, writeStkFile(doc.figureType(1)));
        return path;
    }

    static bool pasteEnabled(MainWindow& w) {
        auto* button = w.findChild<QToolButton*>(QStringLiteral("PasteFrameButton"));
        auto* insert = w.findChild<QAction*>(QStringLiteral("InsertPaste1"));
        return button && button->isEnabled() && (!insert || insert->isEnabled());
    }

    int figuresOfType(MainWindow& window, int type) {
        int n = 0;
        for (const Figure& f : window.editFigures().figures) {
            n += f.typeIndex == type;
        }
        return n;
    }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }

    void init() { m_fx.setUp(); }

    void cleanup() { m_fx.checkNothingReported(); }

    void figureTypesLoadOncePerNameAndRefuseOtherFiles() {
        auto window = m_fx.startedWindow();
        Document& doc = window->document();
        const int base = doc.figureTypeCount();
        const QString a = stkFile("alpha.stk"), b = stkFile("beta.stk");
        // The first chosen file goes last.
        m_fx.prompter.openNames.push_back({a, b});
        window->chooseFigureTypes();
        QCOMPARE(doc.figureTypeCount(), base + 2);
        QCOMPARE(doc.figureTypeName(base), std::string("beta"));
        QCOMPARE(doc.figureTypeName(base + 1), std::string("alpha"));

        // A known name adds a figure of the existing type without a new type.
        m_fx.prompter.openNames.push_back({a});
        window->chooseFigureTypes();
        QCOMPARE(doc.figureTypeCount(), base + 2);
        QCOMPARE(figuresOfType(*window, base + 1), 2);

        m_fx.prompter.openNames.push_back({pngFile("notafigure.png", 4, 4, 2)});
        window->chooseFigureTypes();
        QCOMPARE(doc.figureTypeCount(), base + 2);
        QCOMPARE(m_fx.prompter.messages, QStringList{"Incorrect file type"});

        // A damaged file is told to the user (it is not a program error) and leaves the list
        // as it was; a good file chosen with it still comes in.
        m_fx.writeBytes(m_fx.path("broken.stk"), {1, 2, 3});
        m_fx.prompter.openNames.push_back({stkFile("gamma.stk"), m_fx.path("broken.stk")});
        window->chooseFigureTypes();
        QCOMPARE(doc.figureTypeCount(), base + 3);
        QCOMPARE(doc.figureTypeName(base + 2), std::string("gamma"));
        QCOMPARE(m_fx.prompter.messages.size(), 2);
        QVERIFY(m_fx.prompter.messages[1].contains(".stk"));
    }

    void thePreviewsScratchTypeGoesWhetherOrNotAFileWasChosen() {
        auto window = m_fx.startedWindow();
        Document& doc = window->document();
        PreviewingPrompter previewing;
        previewing.doc = &doc;
        setPrompter(&previewing);
        const int base = doc.figureTypeCount();
        window->chooseFigureTypes(); // cancelled
        QCOMPARE(doc.figureTypeCount(), base);
        previewing.openNames.push_back({stkFile("gamma.stk")});
        window->chooseFigureTypes();
        setPrompter(&m_fx.prompter);
        QCOMPARE(doc.figureTypeCount(), base + 1);
        QCOMPARE(doc.figureTypeName(base), std::string("gamma"));
    }

    void spritesBecomeOneSegmentPictureTypes() {
        auto window = m_fx.startedWindow();
        appSettings().maxHandleSize = 17;
        Document& doc = window->document();
        const int base = doc.figureTypeCount();
        const QString sprite = pngFile("ball.png", 30, 20, 10);
        m_fx.prompter.openNames.push_back({sprite});
        window->chooseSpriteImage();
        QCOMPARE(doc.figureTypeCount(), base + 1);
        const FigureType& type = doc.figureType(base);
        QCOMPARE(type.segmentCount(), 1);
        QCOMPARE(type.imageCount(), 1);
        QCOMPARE(int(type.segments[0].kind), int(skImage));
        QCOMPARE(type.segments[0].length, 30.0f);
        QCOMPARE(type.segments[0].thickness, 17.0f);
        QCOMPARE(type.images[0].width(), 30);
        QCOMPARE(type.images[0].height(), 20);

        // Loaded again: a second figure of the same type.
        m_fx.prompter.openNames.push_back({sprite});
        window->chooseSpriteImage();
        QCOMPARE(doc.figureTypeCount(), base + 1);
        QCOMPARE(figuresOfType(*window, base), 2);

        // Too thin, unknown kind, missing file, damaged picture: refused, nothing added.
        m_fx.prompter.openNames.push_back({pngFile("line.png", 1, 300, 1)});
        m_fx.prompter.openNames.push_back({m_fx.path("photo.jpg")});
        m_fx.prompter.openNames.push_back({m_fx.path("missing.png")});
        m_fx.prompter.openNames.push_back({m_fx.path("damaged.png")});
        m_fx.writeBytes(m_fx.path("photo.jpg"), {0xFF, 0xD8});
        m_fx.writeBytes(m_fx.path("damaged.png"), {0x89, 'P', 'N', 'G', 1, 2, 3});
        for (int i = 0; i < 4; ++i) {
            window->chooseSpriteImage();
        }
        QCOMPARE(doc.figureTypeCount(), base + 1);
        QCOMPARE(m_fx.prompter.messages.mid(0, 3),
                 (QStringList{"Image dimensions must be at least 2x2 pixels", "Incorrect file type",
                              "That file does not exist"}));
        QCOMPARE(m_fx.prompter.messages.size(), 4);
        QVERIFY(m_fx.prompter.messages[3].startsWith("Invalid PNG picture"));
    }

    void backgroundsCoverTheAreaAndLoadOncePerName() {
        auto window = m_fx.startedWindow();
        Document& doc = window->document();
        window->setAnimationDimensions(200, 200);
        // 100x50 with a red quarter on the left: declining the size makes it cover 200x200
        // at four times, so red reaches column 100 and the rest is cut off.
        m_fx.prompter.answers.push_back(Answer::No);
        m_fx.prompter.openNames.push_back({pngFile("wide.png", 100, 50, 25)});
        window->chooseBackground();
        QCOMPARE(m_fx.prompter.questions.size(), 1);
        QCOMPARE(doc.backgroundCount(), 2);
        QCOMPARE(int(window->editFigures().backgroundIndex), 1);
        const Bitmap& cut = doc.background(1).bitmap();
        QCOMPARE(cut.width(), 200);
        QCOMPARE(cut.height(), 200);
        QCOMPARE(cut.pixel32(50, 100), kRed);
        QCOMPARE(cut.pixel32(150, 100), kBlue);
        QCOMPARE(cut.pixel32(199, 199), kBlue);

        // Shrinking then enlarging the animation does not bring cut pixels back.
        window->setAnimationDimensions(60, 60);
        window->setAnimationDimensions(200, 200);
        QCOMPARE(doc.background(1).bitmap().pixel32(150, 100) == kBlue, false);

        // A second picture under a new name; then the first name again switches back without
        // reading the file.
        m_fx.prompter.openNames.push_back({pngFile("other.png", 200, 200, 0)});
        window->chooseBackground();
        QCOMPARE(doc.backgroundCount(), 3);
        QCOMPARE(int(window->editFigures().backgroundIndex), 2);
        m_fx.prompter.openNames.push_back({m_fx.path("wide.png")});
        window->chooseBackground();
        QCOMPARE(doc.backgroundCount(), 3);
        QCOMPARE(int(window->editFigures().backgroundIndex), 1);

        m_fx.prompter.openNames.push_back({pngFile("thin.png", 1, 300, 1)});
        window->chooseBackground();
        QCOMPARE(doc.backgroundCount(), 3);
        QCOMPARE(m_fx.prompter.messages.last(),
                 QString("Image dimensions must be at least 2x2 pixels"));

        // A damaged picture is told, and the frame keeps its background.
        m_fx.writeBytes(m_fx.path("damaged.gif"), {'G', 'I', 'F', '8', '9', 'a', 1});
        m_fx.prompter.openNames.push_back({m_fx.path("damaged.gif")});
        window->chooseBackground();
        QCOMPARE(doc.backgroundCount(), 3);
        QCOMPARE(int(window->editFigures().backgroundIndex), 1);
        QVERIFY(m_fx.prompter.messages.last().startsWith("Invalid GIF picture"));
    }

    void emptyAnimationAdoptsThePictureSizeWhenAsked() {
        auto window = m_fx.startedWindow();
        Document& doc = window->document();
        window->setAnimationDimensions(200, 200);
        m_fx.prompter.answers.push_back(Answer::Yes);
        m_fx.prompter.openNames.push_back({pngFile("big.png", 320, 90, 160)});
        window->chooseBackground();
        QCOMPARE(doc.animWidth(), 320);
        QCOMPARE(doc.animHeight(), 90);
        QCOMPARE(doc.background(1).bitmap().pixel32(319, 89), kBlue);
    }

    // The longest side an animation may have comes from a picture's size; the animation is
    // saved with its background and opens again at that size.
    void theLongestPictureSideBecomesTheAnimationSizeAndReopens() {
        auto window = m_fx.startedWindow();
        Document& doc = window->document();
        m_fx.prompter.answers.push_back(Answer::Yes);
        m_fx.prompter.openNames.push_back({pngFile("strip.png", kMaxAnimationSide, 2, 7)});
        window->chooseBackground();
        QCOMPARE(m_fx.prompter.questions.size(), 1);
        QCOMPARE(doc.animWidth(), kMaxAnimationSide);
        QCOMPARE(doc.animHeight(), 2);
        window->nextFrameButtonClick();
        m_fx.prompter.saveNames.push_back(m_fx.path("strip.kel"));
        window->saveDocumentAs();
        const Document back = loadAnimation(m_fx.path("strip.kel").toStdString());
        QCOMPARE(back.animWidth(), kMaxAnimationSide);
        QCOMPARE(back.animHeight(), 2);
        QCOMPARE(back.background(1).decoded().pixel32(6, 1), kRed);
        QCOMPARE(back.background(1).decoded().pixel32(kMaxAnimationSide - 1, 1), kBlue);
    }

    // A picture longer than any animation may be is said so up front, with the limit, instead
    // of offering its size; it then covers the area as after No.
    void aPictureTooLongForAnAnimationIsToldAndCoversTheArea() {
        auto window = m_fx.startedWindow();
        Document& doc = window->document();
        window->setAnimationDimensions(200, 200);
        m_fx.prompter.openNames.push_back({pngFile("long.png", kMaxAnimationSide + 1, 300, 3)});
        window->chooseBackground();
        QVERIFY(m_fx.prompter.questions.isEmpty());
        QCOMPARE(m_fx.prompter.messages,
                 QStringList{QString::fromLatin1(
                     "Animation dimensions must be 1 to 32767 pixels per side and at most "
                     "67108864 pixels in all (8192 x 8192)")});
        QCOMPARE(doc.animWidth(), 200);
        QCOMPARE(doc.backgroundCount(), 2);
        QCOMPARE(doc.background(1).width(), 200);
        QCOMPARE(doc.background(1).decoded().pixel32(0, 199), kRed);
        QCOMPARE(doc.background(1).decoded().pixel32(199, 0), kBlue);
    }

    // Frames copied from an animation of the longest side go into an empty document, which
    // takes that size, saves and opens again.
    void aPasteOfTheLongestSideIntoAnEmptyDocumentSavesAndReopens() {
        auto window = m_fx.startedWindow();
        Document source(kMaxAnimationSide, 3);
        source.frames.push_back(source.newEditFrame());
        source.frames[0].timelineSelected = 1;
        const std::vector<uint8_t> bytes = writeSelectedFramesRecord(source, {0});
        auto* data = new QMimeData;
        data->setData(
            FrameClipboard::mimeType(),
            QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
        QGuiApplication::clipboard()->setMimeData(data);
        window->pasteFrameButtonClick();
        Document& doc = window->document();
        QCOMPARE(doc.frameCount(), 1);
        QCOMPARE(doc.animWidth(), kMaxAnimationSide);
        m_fx.prompter.saveNames.push_back(m_fx.path("pasted.kel"));
        window->saveDocumentAs();
        const Document back = loadAnimation(m_fx.path("pasted.kel").toStdString());
        QCOMPARE(back.animWidth(), kMaxAnimationSide);
        QCOMPARE(back.animHeight(), 3);
    }

    void aBackgroundLeftUnusedMayBeRemovedAndLaterSlotsCloseUp() {
        auto window = m_fx.startedWindow();
        Document& doc = window->document();
        window->setAnimationDimensions(40, 40);
        for (const char* name : {"one.png", "two.png", "three.png"}) {
            m_fx.prompter.openNames.push_back({pngFile(name, 40, 40, 20)});
            window->chooseBackground();
        }
        // Each new background left the previous one unused; every offer was declined.
        QCOMPARE(m_fx.prompter.questions.size(), 2);
        QCOMPARE(m_fx.prompter.questions[0],
                 QString("Background 'one.png' is no longer in use. Would you like to delete it "
                         "from the list of backgrounds?"));
        QCOMPARE(m_fx.prompter.captions, (QStringList{"Information", "Information"}));
        QCOMPARE(doc.backgroundCount(), 4);

        // Back to "one" from "three": accepting removes "three", nothing to renumber below it.
        m_fx.prompter.answers.push_back(Answer::Yes);
        window->setFrameBackground(1);
        QCOMPARE(doc.backgroundCount(), 3);
        QCOMPARE(int(window->editFigures().backgroundIndex), 1);

        // From "one" to "two": removing slot 1 moves "two" down to slot 1.
        m_fx.prompter.answers.push_back(Answer::Yes);
        window->setFrameBackground(2);
        QCOMPARE(doc.backgroundCount(), 2);
        QCOMPARE(doc.backgroundName(1), std::string("two.png"));
        QCOMPARE(int(window->editFigures().backgroundIndex), 1);

        // A stored unselected frame still showing it means no offer.
        m_fx.prompter.questions.clear();
        Figures stored;
        stored.backgroundIndex = 1;
        doc.frames.push_back(stored);
        window->setFrameBackground(0);
        QVERIFY(m_fx.prompter.questions.isEmpty());
        QCOMPARE(doc.backgroundCount(), 2);
    }

    void pastingFollowsTheClipboardAndKeepsIdentitiesOnlyWithinTheDocument() {
        QGuiApplication::clipboard()->setText(QStringLiteral("not frames"));
        auto window = m_fx.windowWithFrames(3);
        Document& doc = window->document();
        QVERIFY(!pasteEnabled(*window));
        window->pasteFrameButtonClick(); // nothing to paste: nothing happens
        QCOMPARE(doc.frameCount(), 3);

        window->selectFrame(1);
        QCOMPARE(window->frameSelection().count(), 1);
        window->copySelFrameButtonClick();
        QVERIFY(pasteEnabled(*window));
        const int32_t id = doc.frames[1].figures[0].figureID;
        const int left = doc.frames[1].figures[0].bounds.left;
        window->pasteFrameButtonClick();
        QCOMPARE(doc.frameCount(), 4);
        QCOMPARE(doc.frames[3].figures[0].figureID, id);
        QCOMPARE(doc.frames[3].figures[0].bounds.left, left);
        QVERIFY(!doc.documentSaved);

        // After "New" the frames are strangers: their identities move past the document's.
        window->newAnimation();
        QCOMPARE(doc.frameCount(), 0);
        window->nextFrameButtonClick();
        const int32_t own = doc.frames[0].figures[0].figureID;
        window->pasteFrameButtonClick();
        QCOMPARE(doc.frameCount(), 2);
        QVERIFY(doc.frames[1].figures[0].figureID > own);

        // Anything else on the clipboard disables pasting again.
        QGuiApplication::clipboard()->setText(QStringLiteral("text"));
        QVERIFY(!pasteEnabled(*window));
    }

    void pasteInsertMovesLaterFramesAndTheSelection() {
        auto window = m_fx.windowWithFrames(10);
        Document& doc = window->document();
        window->selectFrame(0);
        window->selectFrame(1, Qt::ControlModifier);
        QCOMPARE(window->frameSelection().count(), 2);
        window->copySelFrameButtonClick();
        window->selectFrame(7);
        const int oldThird = doc.frames[3].figures[0].bounds.left;
        const int first = doc.frames[0].figures[0].bounds.left;
        window->setPopupFrame(3);
        window->pasteInsert();
        QCOMPARE(doc.frameCount(), 12);
        QCOMPARE(doc.frames[5].figures[0].bounds.left, oldThird);
        QCOMPARE(doc.frames[3].figures[0].bounds.left, first);
        QCOMPARE(window->frameSelection().frames(), std::vector<int>{9});
        QCOMPARE(int(doc.frames[9].timelineSelected), 1);
        QCOMPARE(int(doc.frames[3].timelineSelected), 0);
    }

    void aPasteIntoAnEmptyDocumentAdoptsTheCopiedSize() {
        auto window = m_fx.windowWithFrames(2);
        Document& doc = window->document();
        const int width = doc.animWidth(), height = doc.animHeight();
        window->selectFrame(0);
        window->selectFrame(1, Qt::ControlModifier);
        window->copySelFrameButtonClick();
        window->newAnimation();
        window->setAnimationDimensions(width / 2, height / 3);
        window->pasteFrameButtonClick();
        QCOMPARE(doc.frameCount(), 2);
        QCOMPARE(doc.animWidth(), width);
        QCOMPARE(doc.animHeight(), height);
        QCOMPARE(appSettings().animWidth, width);
    }

    void damagedClipboardDataLeavesTheFramesAlone() {
        auto window = m_fx.windowWithFrames(2);
        Document& doc = window->document();
        window->selectFrame(0);
        window->copySelFrameButtonClick();
        QByteArray bytes =
            QGuiApplication::clipboard()->mimeData()->data(FrameClipboard::mimeType());
        QVERIFY(bytes.size() > 20);
        for (int cut : {int(bytes.size()) / 2, 6}) {
            auto* data = new QMimeData;
            data->setData(FrameClipboard::mimeType(), bytes.left(cut));
            QGuiApplication::clipboard()->setMimeData(data);
            window->pasteFrameButtonClick();
            QCOMPARE(doc.frameCount(), 2);
            QCOMPARE(int(m_fx.reported.size() + m_fx.prompter.messages.size()), 1);
            m_fx.reported.clear();
            m_fx.prompter.messages.clear();
        }
    }
};

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"

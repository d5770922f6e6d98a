#include "gui/builderfixture.h"

#include "builder/nameform.h"
#include "document/stkformat.h"
#include "settings/appsettings.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

using namespace kelto;
using kelto::testing::BuilderFixture;

namespace {

FigureType chainType(int n) {
    FigureType t;
    for (int s = 0; s < n; ++s) {
        t.addSegment(uint8_t(s), skLine, 30, 4, 3 * kPi / 2, 0, 0);
    }
    return t;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The builder's file commands, its undo ring and the hand-over of types to the document.
class TestBuilderFiles : public QObject {
    Q_OBJECT

    BuilderFixture f;

    QString path(const QString& name) const { return f.dir.filePath(name); }

    QString writeChain(const QString& name, int segments) {
        saveStkFile(chainType(segments), QFile::encodeName(path(name)).toStdString());
        return path(name);
    }

    void addLine() {
        const QPoint root = f.jointAt(0);
        f.addSegment(root, root + QPoint(35, 10));
    }

    int segmentCount() const { return f.form->workingType().segmentCount(); }

private Q_SLOTS:
    void initTestCase() { f.setUpOnce(); }
    void init() {
        f.start();
        appSettings().stkDir.clear();
    }
    void cleanup() {
        QVERIFY2(f.reported.empty(), f.reported.empty() ? "" : f.reported.front().c_str());
        f.stop();
    }

    void openThenUndoReturnsToThePreviousType() {
        const QString file = writeChain("Walker.stk", 3);
        addLine();
        f.prompt.answers = {Answer::No};
        f.form->openType(); // unsaved changes, declined: no dialog
        QCOMPARE(f.prompt.questions, QStringList{"Figure changes are not saved. Are you sure?"});
        QCOMPARE(segmentCount(), 2);

        f.prompt.answers = {Answer::Yes};
        f.prompt.openNames = {{file}};
        f.form->openType();
        QCOMPARE(segmentCount(), 3);
        QCOMPARE(f.form->fileName(), file);
        QVERIFY(!f.form->isModified());
        QCOMPARE(QString::fromStdString(appSettings().stkDir), f.dir.path());
        QCOMPARE(f.form->undoAction()->text(), QString("Undo Open"));
        QCOMPARE(f.form->selectedSegment(), 0);
        QCOMPARE(f.jointAt(0), QPoint(f.canvas()->width() / 2, f.canvas()->height() / 2));

        f.form->undo();
        QCOMPARE(segmentCount(), 2);
        QVERIFY(f.form->isModified());
        QCOMPARE(f.form->redoAction()->text(), QString("Redo Open"));
        f.form->redo();
        QCOMPARE(segmentCount(), 3);
        QVERIFY(!f.form->redoAction()->isEnabled());
    }

    void openRefusesWrongMissingAndDamagedFiles() {
        const QString upper = writeChain("UPPER.STK", 2);
        f.prompt.openNames = {{path("notes.txt")}, {upper}, {path("gone.stk")}};
        f.form->openType();
        QCOMPARE(f.prompt.messages, QStringList{"Incorrect file type"});
        f.form->openType(); // the extension test ignores case
        QCOMPARE(segmentCount(), 2);
        f.form->openType();
        QCOMPARE(f.prompt.messages.last(), QString("That file does not exist"));
        QCOMPARE(f.form->fileName(), upper);

        QFile damaged(path("damaged.stk"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray("\x79garbage that is no zlib stream", 31));
        damaged.close();
        QVERIFY(!f.form->openFigure(damaged.fileName()));
        QCOMPARE(f.reported.size(), size_t(1));
        QVERIFY(QString::fromStdString(f.reported.front()).startsWith("That .stk file"));
        f.reported.clear();
        QCOMPARE(segmentCount(), 2); // the working type and the name stay
        QCOMPARE(f.form->fileName(), upper);
    }

    void saveAsDeclinedKeepsNameAndModifiedFlag() {
        const QString existing = writeChain("Existing.stk", 4);
        const QByteArray before = fileBytes(existing);
        addLine();
        f.prompt.saveNames = {existing};
        f.prompt.answers = {Answer::No};
        f.form->saveTypeAs();
        QCOMPARE(
            f.prompt.questions,
            QStringList{"A file with that name already exists. Would you like to replace it?"});
        QVERIFY(f.form->fileName().isEmpty());
        QVERIFY(f.form->isModified());
        QCOMPARE(fileBytes(existing), before);

        f.form->saveType(); // untitled: Save As, cancelled
        QVERIFY(f.form->isModified());
        f.prompt.questions.clear();
        f.form->newType(); // still asks, and No keeps the work
        QCOMPARE(f.prompt.questions.size(), 1);
        QCOMPARE(segmentCount(), 2);
    }

    void failedSaveKeepsTheTypeUntitledAndModified() {
        addLine();
        f.prompt.saveNames = {path("no such folder/Lost.stk")};
        f.form->saveTypeAs();
        QCOMPARE(f.reported.size(), size_t(1));
        f.reported.clear();
        QVERIFY(f.form->fileName().isEmpty());
        QVERIFY(f.form->isModified());
    }

    void v2SaveReportsTheConversionOnceAndSaveWritesTheCurrentForm() {
        const QPoint root = f.jointAt(0);
        f.addSegment(root, root + QPoint(0, 30), true);
        QTest::keyClick(f.form.get(), Qt::Key_F); // a filled circle has no V2 kind
        const QString file = path("Round.stk");
        f.prompt.saveNames = {file};
        f.prompt.saveFilters = {1};
        f.form->saveTypeAs();
        QCOMPARE(f.prompt.messages,
                 QStringList{"Some data had to be modified when converting to the Kelto V2 "
                             "STK format"});
        QCOMPARE(fileBytes(file).at(0), char(1));
        QCOMPARE(f.form->fileName(), file);
        QVERIFY(!f.form->isModified());

        QTest::keyClick(f.form.get(), Qt::Key_Up);
        f.form->saveType(); // plain Save writes the current form, silently
        QCOMPARE(f.prompt.messages.size(), 1);
        QCOMPARE(uint8_t(fileBytes(file).at(0)), kStkVersion);
        QVERIFY(!f.form->isModified());
        const FigureType read = loadStkFile(QFile::encodeName(file).toStdString());
        QCOMPARE(read.segmentCount(), 2);
        QCOMPARE(read.segments[1].kind, uint8_t(skFilledCircle));
        QCOMPARE(read.segments[1].thickness, 7.0f);
        // The default angles follow the drawing (bearing 180: straight down).
        QVERIFY(std::fabs(read.segments[1].angle - kPi / 2) < 1e-6);

        f.prompt.saveNames = {path("Plain.stk")};
        f.prompt.saveFilters = {1};
        f.form->newType();
        f.form->saveTypeAs(); // nothing to convert, nothing said
        QCOMPARE(f.prompt.messages.size(), 1);
        QCOMPARE(fileBytes(path("Plain.stk")).size(), 1 + 1 + 24);
    }

    void fortyEditsLeaveThirtyNineUndos() {
        for (int i = 0; i < 40; ++i) {
            const QPoint root = f.jointAt(0);
            f.addSegment(root, root + QPoint(20 + i, 25));
        }
        QCOMPARE(segmentCount(), 41);
        int undos = 0;
        while (f.form->undoAction()->isEnabled() && undos < 50) {
            f.form->undo();
            ++undos;
        }
        QCOMPARE(undos, 39);
        QCOMPARE(segmentCount(), 2); // the state after New is gone
        QCOMPARE(f.form->redoAction()->text(), QString("Redo Add"));
        f.form->undo();
        QCOMPARE(segmentCount(), 2);
    }

    void thicknessStepsShareAnUndoStepPerSegment() {
        addLine(); // segment 1 selected
        const int states = f.form->history().stateCount();
        for (int i = 0; i < 3; ++i) {
            f.form->button(PhraseType::BThicknessHint)->click();
        }
        QCOMPARE(f.selectedSegment().thickness, 9.0f);
        QCOMPARE(f.form->history().stateCount(), states + 1);
        QCOMPARE(f.form->undoAction()->text(), QString("Undo Thickness"));
        f.form->undo();
        QCOMPARE(f.form->workingType().segments[1].thickness, 6.0f);

        const QPoint a = f.jointAt(1), b = f.jointAt(2);
        for (QPoint handle : {a, b, a}) {
            f.click(handle);
            QTest::keyClick(f.form.get(), Qt::Key_Up);
        }
        QCOMPARE(f.form->history().stateCount(), states + 3);
    }

    void redoCaptionNamesTheNextUndoneAction() {
        QTest::keyClick(f.form.get(), Qt::Key_K);
        QTest::keyClick(f.form.get(), Qt::Key_S);
        f.form->undo();
        f.form->undo();
        QCOMPARE(f.form->undoAction()->text(), QString("Undo"));
        QVERIFY(!f.form->undoAction()->isEnabled());
        QCOMPARE(f.form->redoAction()->text(), QString("Redo Kind"));
        f.form->redo();
        QCOMPARE(f.form->redoAction()->text(), QString("Redo Static"));
        QCOMPARE(f.form->undoAction()->text(), QString("Undo Kind"));
        f.form->redo();
        QCOMPARE(f.form->redoAction()->text(), QString("Redo"));
        QVERIFY(!f.form->redoAction()->isEnabled());
        QCOMPARE(f.selectedSegment().isStatic, uint8_t(1));
    }

    // When the only state left is itself the end of a thickness step, a further step on that
    // segment is a step of its own: it merges with nothing and can be taken back.
    void thicknessStepOnTheOldestStateCanBeUndone() {
        addLine();
        const QPoint a = f.jointAt(1), b = f.jointAt(2);
        for (int i = 0; i < 40; ++i) {
            f.click(i % 2 ? b : a);
            QTest::keyClick(f.form.get(), Qt::Key_Up);
        }
        for (int i = 0; i < 39; ++i) {
            f.form->undo();
        }
        QCOMPARE(f.form->history().stateCount(), 1);
        const FigureType before = f.form->workingType();
        const int segment = f.form->selectedSegment();
        QTest::keyClick(f.form.get(), Qt::Key_Up);
        QCOMPARE(f.form->history().stateCount(), 2);
        QVERIFY(f.form->undoAction()->isEnabled());
        f.form->undo();
        QCOMPARE(f.form->history().stateCount(), 1);
        QCOMPARE(f.form->workingType().segments[size_t(segment)].thickness,
                 before.segments[size_t(segment)].thickness);
    }

    void editFigureTypeReplacesWithoutAskingAndRestartsTheRing() {
        addLine();
        QTest::keyClick(f.form.get(), Qt::Key_D); // even in a mode
        f.form->editFigureType(f.doc->figureType(1));
        QVERIFY(f.prompt.questions.isEmpty());
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::None);
        QVERIFY(f.form->button(PhraseType::BSplitHint)->isEnabled());
        QCOMPARE(segmentCount(), 12);
        QVERIFY(!f.form->isModified());
        QVERIFY(!f.form->undoAction()->isEnabled());
        QCOMPARE(f.form->selectedSegment(), 0);
        QTest::keyClick(f.form.get(), Qt::Key_K);
        QCOMPARE(f.doc->figureType(1).segments[0].kind, uint8_t(skLine));
    }

    void addToAnimationNamingRules() {
        QStringList names{"",       "Default", QString::fromUtf8("\xD0\x96uk"),
                          "Walker", "walker",  "Walker"};
        std::vector<int> counts;
        f.form->setNameAsker([&](int count) {
            counts.push_back(count);
            return names.takeFirst();
        });
        QSignalSpy added(f.form.get(), &FigureBuilderForm::figureTypeAdded);
        addLine();

        f.form->addToAnimation(); // cancelled
        QCOMPARE(f.doc->figureTypeCount(), 2);
        QVERIFY(f.prompt.messages.isEmpty());
        f.form->addToAnimation(); // the stick man's name
        QCOMPARE(f.prompt.messages, QStringList{"A figure type with that name already exists"});
        QVERIFY(f.form->isVisible());
        // A name the animation file cannot hold is refused with its own message.
        f.form->addToAnimation();
        QCOMPARE(f.prompt.messages.size(), 2);
        QVERIFY(f.prompt.messages[1].startsWith("The name holds characters that cannot be stored"));
        QCOMPARE(f.doc->figureTypeCount(), 2);
        f.prompt.messages.removeLast();

        f.form->addToAnimation();
        QCOMPARE(f.doc->figureTypeCount(), 3);
        QCOMPARE(f.doc->figureTypeName(2), std::string("Walker"));
        QCOMPARE(f.doc->figureType(2).segmentCount(), 2);
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.at(0).at(0).toInt(), 2);
        QVERIFY(!f.form->isModified());
        QVERIFY(!f.form->isVisible());
        QCOMPARE(segmentCount(), 2); // the working type keeps its content

        f.form->showBuilder();
        f.form->addToAnimation(); // differs in case only: accepted
        QCOMPARE(f.doc->figureTypeCount(), 4);
        f.form->showBuilder();
        f.form->addToAnimation();
        QCOMPARE(f.prompt.messages.size(), 2);
        QCOMPARE(f.doc->figureTypeCount(), 4);
        QCOMPARE(counts, (std::vector<int>{2, 2, 2, 2, 3, 4}));

        // Edits after the hand-over do not reach the document's copy.
        QTest::keyClick(f.form.get(), Qt::Key_K);
        QCOMPARE(f.doc->figureType(2).segments[1].kind, uint8_t(skLine));
    }

    void fullDocumentRefusesTheHandOver() {
        while (f.doc->canAddFigureType()) {
            f.doc->addFigureType(FigureType(), "t" + std::to_string(f.doc->figureTypeCount()));
        }
        f.form->setNameAsker([](int) { return QString("One too many"); });
        f.form->addToAnimation();
        QCOMPARE(f.prompt.messages, QStringList{"You cannot add any more figure types"});
        QCOMPARE(f.doc->figureTypeCount(), kMaxFigureTypes);
    }

    void fileCommandsWaitWhileAModeIsActive() {
        addLine();
        f.form->lineButtonClick();
        f.prompt.saveNames = {path("Early.stk")};
        f.prompt.answers = {Answer::Yes};
        f.form->saveTypeAs(); // as its shortcut would
        f.form->newType();
        f.form->undo();
        QCOMPARE(f.prompt.saveNames.size(), size_t(1));
        QVERIFY(f.prompt.questions.isEmpty());
        QCOMPARE(segmentCount(), 2);
        QCOMPARE(f.form->mode(), FigureBuilderForm::Mode::PickStart);
    }

    void addToAnimationNamesOpenedFilesAfterTheFile() {
        const QString file = writeChain("Ladder.stk", 5);
        f.form->setNameAsker([](int) -> QString {
            qFatal("the name comes from the file");
            return {};
        });
        QVERIFY(f.form->openFigure(file));
        f.form->addToAnimation();
        QCOMPARE(f.doc->findFigureType("Ladder"), 2);
        f.form->openFromCommandLine(file);
        QVERIFY(f.form->isVisible());
        f.form->addToAnimation();
        QCOMPARE(f.prompt.messages, QStringList{"A figure type with that name already exists"});
        QCOMPARE(f.doc->figureTypeCount(), 3);
    }

    void addToAnimationDropsUnusedPictures() {
        FigureType pictured = chainType(2);
        pictured.segments[1].kind = skImage;
        Bitmap bitmap(4, 3, PixelFormat::Bits24);
        pictured.setImageCount(1);
        pictured.images[0].setFromBitmap(bitmap);
        f.form->editFigureType(pictured);
        f.form->setNameAsker([](int) { return QString("Pictured"); });
        f.click(f.jointAt(2));
        QTest::keyClick(f.form.get(), Qt::Key_K); // the picture segment becomes a line
        f.form->addToAnimation();
        QCOMPARE(f.doc->figureType(2).imageCount(), 0);
        QCOMPARE(f.doc->figureType(2).segments[1].kind, uint8_t(skLine));
    }

    void nameFormGivesANameForAnEmptyOkAndNothingWhenClosed() {
        NameForm form;
        form.setTypeCount(2);
        form.show();
        QCOMPARE(form.windowTitle(), QString("Figure Name"));
        form.okButton()->click();
        QCOMPARE(form.edit()->text(), QString("Figure type 2"));

        form.edit()->clear();
        form.show();
        QTest::keyClicks(form.edit(), "Runner");
        form.okButton()->click();
        QCOMPARE(form.edit()->text(), QString("Runner"));

        form.show();
        form.reject();
        QVERIFY(form.edit()->text().isEmpty());
    }

    void screenshotOfADrawnFigure() {
        f.form->editFigureType(f.doc->figureType(1));
        const QPoint hand = f.jointAt(8);
        f.addSegment(hand, hand + QPoint(22, -18), true);
        QTest::keyClick(f.form.get(), Qt::Key_F);
        f.form->resize(520, 440);
        QTRY_COMPARE(f.canvas()->width(), f.form->centralWidget()->width() - 102);
        QCoreApplication::processEvents();
        const QImage shot = f.form->grab().toImage();
        QVERIFY(!shot.isNull());
        QVERIFY(f.form->statusText().startsWith("(13 segments )    circle (filled)"));
        const QByteArray outDir = qgetenv("KELTO_SCREENSHOT_DIR");
        if (!outDir.isEmpty()) {
            QVERIFY(shot.save(QString::fromLocal8Bit(outDir) + "/builder.png"));
        }
    }
};

QTEST_MAIN(TestBuilderFiles)
#include "tst_builderfiles.moc"

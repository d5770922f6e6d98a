// The window around the document: its title, the status line, the recent files, the standard
// shortcuts, files dropped on it, the onion-skin menu in step with the Options dialog, and
// Qt's own texts following the chosen language.
#include "dialogs/optionsdialog.h"
#include "document/kelformat.h"
#include "document/stkformat.h"
#include "editor/mainwindow.h"
#include "editor/onionmenu.h"
#include "editor/qttranslations.h"
#include "editor/recentmenu.h"
#include "graphics/bitmap.h"
#include "graphics/imagecodecs.h"
#include "gui/mainwindowfixture.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

#include <filesystem>

using namespace kelto;

class TestShell : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    QString animationFile(const QString& name, int frames) {
        Document doc(640, 480);
        for (int i = 0; i < frames; ++i) {
            doc.frames.push_back(doc.newEditFrame());
        }
        const QString path = m_fx.path(name);
        m_fx.writeBytes(path, writeKelFile(doc));
        return path;
    }

    QString stkFile(const QString& name) {
        const Document doc(640, 480);
        const QString path = m_fx.path(name);
        m_fx.writeBytes(path, writeStkFile(doc.figureType(1)));
        return path;
    }

    QString pngFile(const QString& name, int width, int height) {
        Bitmap bitmap(width, height, PixelFormat::Bits24);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                bitmap.setRawPixel(x, y, 0x3366CC);
            }
        }
        const QString path = m_fx.path(name);
        m_fx.writeBytes(path, encodePng(bitmap));
        return path;
    }

    static QStringList recentEntries(MainWindow& w) {
        QStringList texts;
        for (int i = 1; QAction* entry = w.recentMenu()->findChild<QAction*>(
                            QStringLiteral("RecentFile%1").arg(i));
             ++i) {
            texts << entry->text();
        }
        return texts;
    }

    // Drags the files over the window and drops them, as a file manager would.
    static bool dropFiles(MainWindow& w, const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls << QUrl::fromLocalFile(path);
        }
        data.setUrls(urls);
        const QPoint at = w.rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &enter);
        if (!enter.isAccepted()) {
            return false;
        }
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &drop);
        // The files open once the drop has ended.
        QCoreApplication::processEvents();
        return true;
    }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }
    void init() { m_fx.setUp(); }
    void cleanup() { m_fx.checkNothingReported(); }

    void titleStatusAndRecentFilesFollowOpenAndSave() {
        auto w = m_fx.windowWithFrames(2);
        QCOMPARE(w->windowTitle(), QString("[*]Kelto Animator"));
        QVERIFY(w->isWindowModified());
        QVERIFY(!w->recentMenu()->isEnabled()); // nothing opened yet

        m_fx.prompter.saveNames = {m_fx.path("walk")};
        w->saveDocumentAs();
        QCOMPARE(w->windowTitle(), QString("walk.kel[*] - Kelto Animator"));
        QVERIFY(!w->isWindowModified());
        QCOMPARE(w->statusBar()->currentMessage(), QString("Saved walk.kel"));
        QCOMPARE(appSettings().recentFiles.paths(), QStringList{m_fx.path("walk.kel")});
        QCOMPARE(recentEntries(*w), QStringList{"&1 walk.kel"});
        QVERIFY(w->recentMenu()->isEnabled());

        // An edit marks the title; Ctrl+S clears the mark and says so again.
        w->nextFrameButtonClick();
        QVERIFY(w->isWindowModified());
        w->statusBar()->clearMessage();
        w->saveDocument();
        QVERIFY(!w->isWindowModified());
        QCOMPARE(w->statusBar()->currentMessage(), QString("Saved walk.kel"));
        QCOMPARE(appSettings().recentFiles.paths().size(), 1); // the same file once

        // Save As and export start with the document's own name.
        m_fx.prompter.folders.clear();
        w->saveDocumentAs();
        w->exportToFile();
        QCOMPARE(m_fx.prompter.folders, (QStringList{m_fx.path("walk.kel"), m_fx.path("walk")}));

        const QString run = animationFile("run.kel", 3);
        m_fx.prompter.openNames = {{run}};
        w->chooseAnimationToOpen();
        QCOMPARE(w->windowTitle(), QString("run.kel[*] - Kelto Animator"));
        QVERIFY(!w->isWindowModified());
        QCOMPARE(recentEntries(*w), (QStringList{"&1 run.kel", "&2 walk.kel"}));

        // The list is in the settings file at once, and a new window shows it.
        QCOMPARE(readSettings(settingsFilePath()).recentFiles.paths(),
                 (QStringList{run, m_fx.path("walk.kel")}));
        auto second = m_fx.startedWindow();
        QCOMPARE(recentEntries(*second), (QStringList{"&1 run.kel", "&2 walk.kel"}));

        // Choosing an entry opens it and brings it to the front.
        w->recentMenu()->findChild<QAction*>("RecentFile2")->trigger();
        QCOMPARE(w->document().frameCount(), 3);
        QCOMPARE(w->windowTitle(), QString("walk.kel[*] - Kelto Animator"));
        QCOMPARE(recentEntries(*w), (QStringList{"&1 walk.kel", "&2 run.kel"}));

        // A file gone since is said and leaves the list; the document stays.
        QVERIFY(QFile::remove(run));
        w->recentMenu()->findChild<QAction*>("RecentFile2")->trigger();
        QVERIFY(m_fx.prompter.messages.last().startsWith("That file does not exist"));
        QCOMPARE(recentEntries(*w), QStringList{"&1 walk.kel"});
        QCOMPARE(w->windowTitle(), QString("walk.kel[*] - Kelto Animator"));

        // New names no file; Clear empties the list everywhere.
        w->newAnimation();
        QCOMPARE(w->windowTitle(), QString("[*]Kelto Animator"));
        w->recentMenu()->clearAction()->trigger();
        QVERIFY(recentEntries(*w).isEmpty());
        QVERIFY(!w->recentMenu()->isEnabled());
        // Once more after a rebuild of the menu: the entries and Clear still act.
        m_fx.prompter.saveNames = {m_fx.path("again")};
        w->nextFrameButtonClick();
        w->saveDocumentAs();
        w->recentMenu()->clearAction()->trigger();
        QVERIFY(recentEntries(*w).isEmpty());
        QVERIFY(readSettings(settingsFilePath()).recentFiles.isEmpty());
    }

    void aFailedSaveSaysNothingAndListsNothing() {
        auto w = m_fx.windowWithFrames(1);
        m_fx.prompter.saveNames = {m_fx.path("missing/folder/walk")};
        w->saveDocumentAs();
        QVERIFY(w->isWindowModified());
        QCOMPARE(w->statusBar()->currentMessage(), QString());
        QVERIFY(appSettings().recentFiles.isEmpty());
        QCOMPARE(w->windowTitle(), QString("[*]Kelto Animator"));
        m_fx.reported.clear(); // the failed write was reported, as it should be
        w->document().documentSaved = true;
    }

    void standardShortcuts() {
        auto w = m_fx.startedWindow();
        QCOMPARE(w->action("New1")->shortcut(), QKeySequence(QKeySequence::New));
        QCOMPARE(w->action("OpenAnimation1")->shortcut(), QKeySequence(QKeySequence::Open));
        QCOMPARE(w->action("SaveAs1")->shortcut(), QKeySequence(QKeySequence::SaveAs));
        QCOMPARE(w->action("Exit1")->shortcut(), QKeySequence(QKeySequence::Quit));
        QCOMPARE(w->action("KeltoHelp1")->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(w->action("Save1")->shortcut(), QKeySequence("Ctrl+S"));
        // No two commands of the window share a key.
        QSet<QString> keys;
        for (QAction* a : w->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)) {
            for (const QKeySequence& key : a->shortcuts()) {
                QVERIFY2(!keys.contains(key.toString()), qPrintable(key.toString()));
                keys.insert(key.toString());
            }
        }
    }

    void droppedAnimationOpensAfterTheSaveQuestion() {
        auto w = m_fx.windowWithFrames(2);
        const QString run = animationFile("run.kel", 4);
        m_fx.prompter.answers = {Answer::No};
        QVERIFY(dropFiles(*w, {run}));
        QCOMPARE(m_fx.prompter.questions,
                 QStringList{"Would you like to save the current project?"});
        QCOMPARE(w->document().frameCount(), 4);
        QCOMPARE(w->windowTitle(), QString("run.kel[*] - Kelto Animator"));
        QCOMPARE(appSettings().recentFiles.paths(), QStringList{run});

        // Cancelled at the question: nothing changes.
        w->nextFrameButtonClick();
        m_fx.prompter.answers = {Answer::Cancel};
        const QString walk = animationFile("walk.kel", 1);
        QVERIFY(dropFiles(*w, {walk}));
        QCOMPARE(w->document().frameCount(), 5);
        QCOMPARE(w->windowTitle(), QString("run.kel[*] - Kelto Animator"));

        // With other files beside it, the animation alone opens.
        m_fx.prompter.answers = {Answer::No};
        QVERIFY(dropFiles(*w, {stkFile("man.stk"), walk}));
        QCOMPARE(w->document().frameCount(), 1);
        QCOMPARE(w->document().figureTypeCount(), kBuiltInFigureTypes);
        w->document().documentSaved = true;
    }

    void droppedFigureTypesAndPicturesJoinTheDocument() {
        auto w = m_fx.startedWindow();
        const int types = w->document().figureTypeCount();
        QVERIFY(dropFiles(*w, {stkFile("Runner.stk"), stkFile("Jumper.STK")}));
        QCOMPARE(w->document().figureTypeCount(), types + 2);
        QCOMPARE(QString::fromStdString(w->document().figureTypeName(types)), QString("Runner"));
        QCOMPARE(int(w->editFigures().figures.back().typeIndex), types + 1);

        // A picture of the animation's size becomes the frame's background.
        QVERIFY(dropFiles(*w, {pngFile("sky.png", 500, 400)}));
        QCOMPARE(w->document().backgroundCount(), 2);
        QCOMPARE(int(w->editFigures().backgroundIndex), 1);
        QVERIFY(m_fx.prompter.questions.isEmpty());
        QVERIFY(m_fx.prompter.messages.isEmpty());
        w->document().documentSaved = true;
    }

    void droppedFilesOfOtherKindsAreRefusedSoundly() {
        auto w = m_fx.startedWindow();
        m_fx.writeFile(m_fx.path("notes.txt"), "hello");
        QVERIFY(!dropFiles(*w, {m_fx.path("notes.txt")})); // the drag is not even accepted
        w->openDroppedFiles({m_fx.path("notes.txt")});
        QCOMPARE(m_fx.prompter.messages, QStringList{"Incorrect file type"});

        // A damaged animation is said, and the document stays as it was.
        w->nextFrameButtonClick();
        m_fx.writeFile(m_fx.path("broken.kel"), "not an animation");
        m_fx.prompter.messages.clear();
        QVERIFY(dropFiles(*w, {m_fx.path("broken.kel")}));
        QCOMPARE(m_fx.prompter.messages.size(), 1);
        QCOMPARE(w->document().frameCount(), 1);
        QVERIFY(w->isWindowModified());
        QVERIFY(appSettings().recentFiles.isEmpty());

        // A picture that is no picture is said; no background is added.
        m_fx.writeFile(m_fx.path("fake.png"), "not a picture");
        m_fx.prompter.messages.clear();
        QVERIFY(dropFiles(*w, {m_fx.path("fake.png")}));
        QCOMPARE(m_fx.prompter.messages.size(), 1);
        QCOMPARE(w->document().backgroundCount(), 1);
        w->document().documentSaved = true;
    }

    void onionMenuAndOptionsDialogStayInStep() {
        auto w = m_fx.windowWithFrames(3);
        OnionMenu* menu = w->onionMenu();
        OptionsDialog* options = w->optionsDialog();
        QVERIFY(menu->countAction(0)->isChecked());
        const Bitmap before = w->scene().screenBuffer();

        // From the menu: the settings, their file, the drawing and the open dialog follow.
        w->showOptions();
        menu->countAction(2)->trigger();
        QCOMPARE(appSettings().numOnion, 2);
        QCOMPARE(readSettings(settingsFilePath()).numOnion, 2);
        QCOMPARE(options->onionEdit()->value(), 2);
        QVERIFY(!(w->scene().screenBuffer() == before)); // the ghosts are drawn
        menu->aheadAction()->trigger();
        QVERIFY(appSettings().onionAhead);
        QVERIFY(options->aheadBox()->isChecked());
        // The dialog's OK keeps them rather than putting back what it showed when opened.
        options->okButton()->click();
        QCOMPARE(appSettings().numOnion, 2);
        QVERIFY(appSettings().onionAhead);

        // From the dialog: the menu shows what OK applied.
        w->showOptions();
        options->onionEdit()->setValue(5);
        options->aheadBox()->setChecked(false);
        options->okButton()->click();
        QCOMPARE(appSettings().numOnion, 5);
        QVERIFY(menu->countAction(5)->isChecked());
        QVERIFY(!menu->countAction(2)->isChecked());
        QVERIFY(!menu->aheadAction()->isChecked());

        // Back to none: the canvas is as it was without ghosts.
        menu->countAction(0)->trigger();
        QVERIFY(w->scene().screenBuffer() == before);
        w->document().documentSaved = true;
    }

    void chosenLanguageTranslatesQtsOwnTexts() {
        const QString folder = qtTranslationsFolder();
        if (!QFile::exists(folder + "/qtbase_de.qm") || !QFile::exists(folder + "/qtbase_fr.qm")) {
            QSKIP("Qt's translations are not installed (qt6-translations-l10n)");
        }
        const std::filesystem::path shipped =
            std::filesystem::path(KELTO_SOURCE_DIR) / "resources" / "languages";
        for (const char* name : {"Deutsch", "Fran\xc3\xa7"
                                            "ais"}) {
            const QString file = QString::fromUtf8(name) + ".ini";
            QFile::remove(multiLang().languagesFolder() + file);
            QVERIFY(QFile::copy(QString::fromStdString((shipped / file.toStdString()).string()),
                                multiLang().languagesFolder() + file));
        }
        auto w = m_fx.startedWindow();
        const auto yes = [] { return QCoreApplication::translate("QPlatformTheme", "&Yes"); };
        QCOMPARE(yes(), QString("&Yes"));

        QVERIFY(multiLang().setLanguage("Deutsch"));
        QCOMPARE(yes(), QString("&Ja"));
        QCOMPARE(w->action("Exit1")->text(), QString("Beenden"));
        QCOMPARE(w->windowTitle(), QString("[*]Kelto Animator"));

        QVERIFY(multiLang().setLanguage(QString::fromUtf8("Fran\xc3\xa7"
                                                          "ais")));
        QCOMPARE(yes(), QString("&Oui"));
        QCOMPARE(w->action("Exit1")->text(), QString("Quitter"));
        QCOMPARE(w->onionMenu()->title(), QString::fromUtf8("Pelures d\xe2\x80\x99oignon"));

        QVERIFY(multiLang().setLanguage("English"));
        QCOMPARE(yes(), QString("&Yes"));
        QCOMPARE(w->recentMenu()->title(), QString("Recent Files"));

        // A language file naming something that is not a locale loads nothing.
        QVERIFY(!useQtTranslations("../../etc/passwd"));
        QVERIFY(!useQtTranslations("xx"));
        QCOMPARE(yes(), QString("&Yes"));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"

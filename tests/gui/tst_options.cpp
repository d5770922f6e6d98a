#include "base/error.h"
#include "dialogs/languagedialog.h"
#include "dialogs/optionsdialog.h"
#include "document/kelformat.h"
#include "gui/mainwindowfixture.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using namespace kelto;

// Drives the options and language dialogs through their controls; questions are answered by
// a scripted hook, so nothing ever waits for a modal message box.
class TestOptions : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    void writeLanguage(const QString& name, const QByteArray& body) {
        QFile file(multiLang().languagesFolder() + name + ".ini");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Language]\n" + body);
    }

    static void typeInto(QSpinBox* box, const QString& text) {
        auto* edit = box->findChild<QLineEdit*>();
        QVERIFY(edit != nullptr);
        edit->selectAll();
        edit->del();
        QTest::keyClicks(edit, text);
    }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }

    void init() { m_fx.setUp(); }

    void cleanup() { m_fx.checkNothingReported(); }

    void declinedResizeStillAppliesTheOtherChanges() {
        OptionsDialog dialog;
        QStringList asked;
        int resized = 0, onionRefreshes = 0, redraws = 0;
        OptionsDialog::Hooks hooks;
        hooks.animationSize = [] { return QSize(500, 400); };
        hooks.hasFrames = [] { return true; };
        hooks.askYesNo = [&](const QString& q) {
            asked << q;
            return false;
        };
        hooks.resizeAnimation = [&](int, int) { ++resized; };
        hooks.refreshOnions = [&] { ++onionRefreshes; };
        hooks.redraw = [&] { ++redraws; };
        dialog.setHooks(hooks);
        dialog.setLanguages(multiLang().listLanguages());
        dialog.show();
        dialog.widthEdit()->setValue(800);
        dialog.onionEdit()->setValue(2);
        dialog.autosizeBox()->setChecked(false);
        dialog.okButton()->click();

        QCOMPARE(asked, QStringList{"This will change all frames in the animation. Do you wish "
                                    "to continue?"});
        QCOMPARE(resized, 0);
        QCOMPARE(appSettings().animWidth, 500);
        QCOMPARE(appSettings().numOnion, 2);
        QCOMPARE(onionRefreshes, 1);
        QVERIFY(!appSettings().shrinkHandlesClose);
        QCOMPARE(redraws, 1);
        QVERIFY(!dialog.isVisible());
        const AppSettings saved = readSettings(settingsFilePath());
        QCOMPARE(saved.numOnion, 2);
        QCOMPARE(saved.animWidth, 500);
    }

    void resizeWithoutFramesAsksNothing() {
        OptionsDialog dialog;
        int asked = 0;
        QSize resizedTo;
        OptionsDialog::Hooks hooks;
        hooks.hasFrames = [] { return false; };
        hooks.askYesNo = [&](const QString&) { return ++asked, true; };
        hooks.resizeAnimation = [&](int w, int h) { resizedTo = QSize(w, h); };
        dialog.setHooks(hooks);
        dialog.show();
        dialog.widthEdit()->setValue(640);
        dialog.heightEdit()->setValue(480);
        QVERIFY(dialog.applyTo(appSettings()));
        QCOMPARE(asked, 0);
        QCOMPARE(resizedTo, QSize(640, 480));
        QCOMPARE(readSettings(settingsFilePath()).animHeight, 480);

        // Nothing changed the second time: no save, no redraw.
        QFile::remove(settingsFilePath());
        QVERIFY(!dialog.applyTo(appSettings()));
        QVERIFY(!QFile::exists(settingsFilePath()));
    }

    // Each side may go up to 10000, but not every pair fits an animation: OK with too large an
    // area tells the limit, applies nothing and keeps the dialog open. The largest pair that
    // fits is applied, and an animation of that size saves and opens again.
    void anAreaBeyondTheLimitIsRefusedAndTheLargestSavesAndReopens() {
        OptionsDialog dialog;
        QStringList told;
        Document doc(500, 400);
        doc.frames.push_back(doc.newEditFrame());
        OptionsDialog::Hooks hooks;
        hooks.animationSize = [&] { return QSize(doc.animWidth(), doc.animHeight()); };
        hooks.hasFrames = [] { return false; };
        hooks.resizeAnimation = [&](int w, int h) { doc.setAnimationDimensions(w, h); };
        hooks.tell = [&](const QString& message) { told << message; };
        dialog.setHooks(hooks);
        dialog.show();
        QCOMPARE(dialog.widthEdit()->maximum(), 10000);
        dialog.widthEdit()->setValue(10000);
        dialog.heightEdit()->setValue(6711);
        dialog.onionEdit()->setValue(3);
        dialog.okButton()->click();
        QCOMPARE(told, QStringList{"Animation dimensions must be 1 to 32767 pixels per side and "
                                   "at most 67108864 pixels in all (8192 x 8192)"});
        QVERIFY(dialog.isVisible());
        QCOMPARE(doc.animWidth(), 500);
        QCOMPARE(appSettings().numOnion, 0);
        QVERIFY(!QFile::exists(settingsFilePath()));

        dialog.heightEdit()->setValue(6710);
        dialog.okButton()->click();
        QCOMPARE(told.size(), 1);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(doc.animWidth(), 10000);
        QCOMPARE(doc.animHeight(), 6710);
        QCOMPARE(readSettings(settingsFilePath()).animHeight, 6710);
        const QString path = m_fx.path("wide.kel");
        saveAnimation(doc, removeExtension(path.toStdString()));
        const Document back = loadAnimation(path.toStdString());
        QCOMPARE(back.animWidth(), 10000);
        QCOMPARE(back.animHeight(), 6710);
    }

    void emptyOrNegativeTextTakesTheFieldDefault() {
        OptionsDialog dialog;
        dialog.show();
        typeInto(dialog.widthEdit(), "");
        typeInto(dialog.heightEdit(), "5");                        // below the range: clamped
        dialog.widthEdit()->setValue(dialog.widthEdit()->value()); // no-op, text stays empty
        typeInto(dialog.widthEdit(), "");
        dialog.applyTo(appSettings());
        QCOMPARE(dialog.widthEdit()->value(), 500);
        QCOMPARE(dialog.heightEdit()->value(), 10);
        QCOMPARE(appSettings().animHeight, 10);
    }

    void autosaveIntervalIsAppliedStoredAndRestoredToItsDefault() {
        OptionsDialog dialog;
        dialog.show();
        QCOMPARE(dialog.autosaveEdit()->value(), 60);
        typeInto(dialog.autosaveEdit(), "0");
        QVERIFY(dialog.applyTo(appSettings()));
        QCOMPARE(appSettings().autosaveSeconds, 0);
        QCOMPARE(readSettings(settingsFilePath()).autosaveSeconds, 0);
        typeInto(dialog.autosaveEdit(), "");
        dialog.applyTo(appSettings());
        QCOMPARE(appSettings().autosaveSeconds, 60); // an empty field takes the default
        typeInto(dialog.autosaveEdit(), "90");
        dialog.defaultsButton()->click();
        QCOMPARE(dialog.autosaveEdit()->value(), 60);
    }

    void languageChangesOnlyWhenItsFileExists() {
        writeLanguage("Deutsch", "OFormCap=Optionen\nOKBitCap=&Gut\n");
        OptionsDialog dialog;
        dialog.setLanguages(multiLang().listLanguages());
        dialog.show();
        dialog.languageBox()->setCurrentText("Deutsch");
        dialog.okButton()->click();
        QCOMPARE(QString::fromStdString(appSettings().language), QString("Deutsch"));
        QCOMPARE(dialog.windowTitle(), QString("Optionen"));
        QCOMPARE(dialog.okButton()->text(), QString("&Gut"));
        QCOMPARE(dialog.cancelButton()->text(), QString("&Cancel"));

        // The file vanishes while the dialog still lists the language.
        writeLanguage("Dansk", "");
        dialog.setLanguages(multiLang().listLanguages());
        QVERIFY(QFile::remove(multiLang().languagesFolder() + "Dansk.ini"));
        dialog.show();
        dialog.languageBox()->setCurrentText("Dansk");
        dialog.okButton()->click();
        QCOMPARE(QString::fromStdString(appSettings().language), QString("Deutsch"));
        QCOMPARE(multiLang().currentLanguage(), QString("Deutsch"));
    }

    void languageDialogSavesHoweverItCloses() {
        writeLanguage("Deutsch", "OKBitCap=&Gut\n");
        LanguageDialog dialog;
        dialog.setLanguages(multiLang().listLanguages());
        dialog.languageBox()->setCurrentText("Deutsch");
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("Language"));
        QCOMPARE(dialog.languageBox()->currentText(), QString("English")); // preselected
        dialog.languageBox()->setCurrentText("Deutsch");
        dialog.okButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(multiLang().currentLanguage(), QString("Deutsch"));
        QCOMPARE(storedLanguage(settingsFilePath()), QString("Deutsch"));
        QCOMPARE(dialog.okButton()->text(), QString("&Gut"));

        // Closed without OK: nothing is chosen, but the file is written all the same.
        QVERIFY(multiLang().setLanguage("English"));
        appSettings().language = "English";
        QFile::remove(settingsFilePath());
        LanguageDialog second;
        second.setLanguages(multiLang().listLanguages());
        second.show();
        second.languageBox()->setCurrentText("Deutsch");
        second.reject();
        QCOMPARE(multiLang().currentLanguage(), QString("English"));
        QCOMPARE(storedLanguage(settingsFilePath()), QString("English"));
    }
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"

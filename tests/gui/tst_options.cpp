#include "dialogs/languagedialog.h"
#include "dialogs/optionsdialog.h"
#include "settings/errorreporter.h"
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
    QTemporaryDir m_dir;
    std::vector<std::string> m_reported;

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
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        qputenv("KELTO_CONFIG_DIR", m_dir.filePath("config").toUtf8());
        ErrorReporter::instance().setDisplayHook(
            [this](const std::string& line) { m_reported.push_back(line); });
        multiLang().openFolder(m_dir.filePath("languages"));
    }

    void init() {
        QVERIFY(multiLang().currentLanguage() == "English" || multiLang().setLanguage("English"));
        appSettings() = defaultSettings();
        QFile::remove(settingsFilePath());
        m_reported.clear();
    }

    void cleanup() { QVERIFY(m_reported.empty()); }

    void showingTakesTheSettingsAndDefaultsOnlySetTheControls() {
        writeLanguage("Deutsch", "OFormCap=Optionen\n");
        OptionsDialog dialog;
        dialog.setLanguages(multiLang().listLanguages());
        appSettings().animWidth = 640;
        appSettings().numOnion = 3;
        appSettings().showHandles = false;
        appSettings().language = "Deutsch";
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("Options"));
        QCOMPARE(dialog.widthEdit()->value(), 640);
        QCOMPARE(dialog.onionEdit()->value(), 3);
        QVERIFY(!dialog.handlesBox()->isChecked());
        QCOMPARE(dialog.languageBox()->currentText(), QString("Deutsch"));
        QCOMPARE(dialog.handlesBox()->toolTip(),
                 QString("Show the handles of unselected figures (Ctrl+H)"));

        dialog.defaultsButton()->click();
        QCOMPARE(dialog.widthEdit()->value(), 500);
        QCOMPARE(dialog.onionEdit()->value(), 0);
        QVERIFY(dialog.handlesBox()->isChecked());
        QCOMPARE(dialog.languageBox()->currentText(), QString("English"));
        QCOMPARE(appSettings().animWidth, 640); // nothing applied yet

        dialog.cancelButton()->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(appSettings().animWidth, 640);
        QVERIFY(!QFile::exists(settingsFilePath()));
    }

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

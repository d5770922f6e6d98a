#pragma once

#include "editor/mainwindow.h"
#include "gui/scriptedprompter.h"
#include "report/errorreporter.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelto::testing {

// The real main window offscreen: settings, error log and languages in a temporary folder,
// questions and file choices from a scripted prompter, modal dialogs accepted at once, and the
// error reporter recording instead of showing.
struct MainWindowFixture {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::vector<std::string> reported;

    // Once per test program.
    void setUpOnce() {
        QVERIFY(dir.isValid());
        qputenv("KELTO_CONFIG_DIR", dir.filePath("config").toUtf8());
        ErrorReporter::instance().setDisplayHook(
            [this](const std::string& line) { reported.push_back(line); });
        multiLang().openFolder(dir.filePath("languages"));
        setPrompter(&prompter);
    }

    // Before every test: English, default settings, no settings file, a fresh script.
    void setUp() {
        QVERIFY(multiLang().currentLanguage() == "English" || multiLang().setLanguage("English"));
        QFile::remove(settingsFilePath());
        appSettings() = defaultSettings();
        prompter = ScriptedPrompter();
        reported.clear();
    }

    // After every test: nothing went to the error reporter.
    void checkNothingReported() const {
        QVERIFY2(reported.empty(), reported.empty() ? "" : reported[0].c_str());
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static void writeBytes(const QString& path, const std::vector<uint8_t>& bytes) {
        writeFile(path,
                  QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    }

    static void writeSettingsText(const QByteArray& body) {
        QDir().mkpath(QFileInfo(settingsFilePath()).absolutePath());
        writeFile(settingsFilePath(), "[Kelto.Settings]\n" + body);
    }

    // A window past its first activation, with the language already chosen.
    static std::unique_ptr<MainWindow> startedWindow(const QString& commandLine = {}) {
        if (!QFile::exists(settingsFilePath())) {
            writeSettingsText("Language=English\n");
        }
        loadSettings();
        auto window = std::make_unique<MainWindow>();
        window->setDialogRunner([](QDialog& d) {
            d.accept();
            return int(QDialog::Accepted);
        });
        window->setCommandLine(commandLine);
        window->formActivate();
        return window;
    }

    // Started, shown and active, so the keyboard reaches the editing area.
    static std::unique_ptr<MainWindow> shownWindow() {
        auto window = startedWindow();
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get())) {
            qWarning("window not active");
        }
        return window;
    }

    // A started window with n stored frames added through "&Add Frame", the figure moved three
    // pixels right before each.
    static std::unique_ptr<MainWindow> windowWithFrames(int n) {
        auto window = startedWindow();
        for (int i = 0; i < n; ++i) {
            window->editFigures().moveFigure(0, 3, 0);
            window->nextFrameButtonClick();
        }
        return window;
    }
};

} // namespace kelto::testing

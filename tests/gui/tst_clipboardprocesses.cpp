#include "editor/mainwindow.h"
#include "gui/scriptedprompter.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstring>

using namespace kelto;

namespace {

constexpr int kChildSeconds = 10;

// One running copy of the editor in this process, as a user would start it.
std::unique_ptr<MainWindow> childWindow(QTemporaryDir& dir, testing::ScriptedPrompter& prompter) {
    qputenv("KELTO_CONFIG_DIR", dir.filePath("config").toUtf8());
    multiLang().openFolder(dir.filePath("languages"));
    setPrompter(&prompter);
    QFile file(settingsFilePath());
    if (file.open(QIODevice::WriteOnly)) {
        file.write("[Kelto.Settings]\nLanguage=English\n");
    }
    file.close();
    loadSettings();
    auto window = std::make_unique<MainWindow>();
    window->setDialogRunner([](QDialog& d) {
        d.accept();
        return int(QDialog::Accepted);
    });
    window->formActivate();
    return window;
}

// Copies two frames, then keeps the clipboard served for a while.
int runCopier(QApplication& app) {
    QTemporaryDir dir;
    testing::ScriptedPrompter prompter;
    auto window = childWindow(dir, prompter);
    for (int i = 0; i < 2; ++i) {
        window->editFigures().moveFigure(0, 3, 0);
        window->nextFrameButtonClick();
    }
    window->selectFrame(0);
    window->selectFrame(1, Qt::ControlModifier);
    window->copySelFrameButtonClick();
    QTimer::singleShot(kChildSeconds * 1000, &app, &QApplication::quit);
    return app.exec();
}

// Waits for frames on the clipboard and pastes them; succeeds when two arrived.
int runPaster(QApplication& app) {
    QTemporaryDir dir;
    testing::ScriptedPrompter prompter;
    auto window = childWindow(dir, prompter);
    int result = 2;
    QTimer poll;
    int tries = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        window->pasteFrameButtonClick();
        if (window->document().frameCount() > 0 || ++tries > kChildSeconds * 10) {
            result = window->document().frameCount() == 2 ? 0 : 1;
            std::printf("pasted %d frames\n", window->document().frameCount());
            app.quit();
        }
    });
    poll.start(100);
    app.exec();
    return result;
}

} // namespace

// Frames copied in one running copy of the program are pasted in another through the X
// clipboard, with both processes on one virtual display.
class TestClipboardProcesses : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void framesTravelBetweenTwoRunningCopies() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
        if (xvfb.isEmpty()) {
            QSKIP("xvfb-run is not installed");
        }
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::MergedChannels);
        const QString script = QStringLiteral(
            "\"$1\" --copier & c=$!; sleep 2; \"$1\" --paster; r=$?; kill $c 2>/dev/null; "
            "wait; exit $r");
        run.start(xvfb, {QStringLiteral("-a"), QStringLiteral("sh"), QStringLiteral("-c"), script,
                         QStringLiteral("sh"), QCoreApplication::applicationFilePath()});
        QVERIFY(run.waitForFinished(60000));
        const QByteArray output = run.readAll();
        QVERIFY2(run.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("pasted 2 frames"), output.constData());
    }
};

int main(int argc, char** argv) {
    const bool copier = argc > 1 && std::strcmp(argv[1], "--copier") == 0;
    const bool paster = argc > 1 && std::strcmp(argv[1], "--paster") == 0;
    QApplication app(argc, argv);
    if (copier) {
        return runCopier(app);
    }
    if (paster) {
        return runPaster(app);
    }
    TestClipboardProcesses test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_clipboardprocesses.moc"

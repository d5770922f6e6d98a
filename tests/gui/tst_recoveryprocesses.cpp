// Crash recovery end to end: running copies of the editor in child processes of this test are
// edited, killed with SIGKILL and started again; what comes back is compared with what was on
// the canvas before the kill.
#include "document/kelformat.h"
#include "editor/autosave.h"
#include "editor/mainwindow.h"
#include "gui/scriptedprompter.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>

using namespace kelto;

namespace {

constexpr int kLargeFrames = 10000;

// One running copy of the editor in this process, its settings in dir, its recovery files in
// folder, autosaving every interval.
struct Child {
    testing::ScriptedPrompter prompter;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Autosave> autosave;

    Child(const QString& dir, const QString& folder, std::chrono::milliseconds interval) {
        qputenv("KELTO_CONFIG_DIR", (dir + "/config").toUtf8());
        multiLang().openFolder(dir + "/languages");
        setPrompter(&prompter);
        QDir().mkpath(dir + "/config");
        QFile file(settingsFilePath());
        if (file.open(QIODevice::WriteOnly)) {
            file.write("[Kelto.Settings]\nLanguage=English\n");
        }
        file.close();
        loadSettings();
        window = std::make_unique<MainWindow>();
        window->setDialogRunner([](QDialog& d) {
            d.accept();
            return int(QDialog::Accepted);
        });
        window->formActivate();
        autosave = std::make_unique<Autosave>(*window, folder.toStdString());
        autosave->setInterval(interval);
    }
    ~Child() {
        autosave.reset(); // a normal end
        window.reset();
        setPrompter(nullptr);
    }
    void startAndWait() {
        autosave->start();
        QElapsedTimer clock;
        clock.start();
        while (!autosave->started() && clock.elapsed() < 10000) {
            QTest::qWait(10);
        }
    }
};

QString describeFrame(const Figures& frame) {
    QString text =
        QStringLiteral("repeat %1 figures %2:").arg(frame.repeatCount).arg(frame.figureCount());
    for (const Figure& f : frame.figures) {
        text += QStringLiteral(" [%1 %2 %3")
                    .arg(f.figureID)
                    .arg(double(f.jointPos[0].x), 0, 'g', 9)
                    .arg(double(f.jointPos[0].y), 0, 'g', 9);
        for (const SegmentPose& p : f.pose) {
            text += QStringLiteral(" %1").arg(p.angle, 0, 'g', 17);
        }
        text += QLatin1Char(']');
    }
    return text;
}

QString describeFrames(const Document& doc) {
    QString text = QStringLiteral("frames %1\n").arg(doc.frameCount());
    for (const Figures& frame : doc.frames) {
        text += describeFrame(frame) + QLatin1Char('\n');
    }
    return text;
}

void print(const QString& text) {
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

bool waitForWrites(Child& child, int count) {
    QElapsedTimer clock;
    clock.start();
    while (child.autosave->writesCompleted() < count && clock.elapsed() < 20000) {
        QTest::qWait(20);
    }
    return child.autosave->writesCompleted() >= count;
}

// Saves a file, edits past it (frames added, a move on a stored frame left on the canvas),
// waits for an autosave of that state, prints it and dies.
int runEditor(const QString& dir, const QString& folder) {
    Child child(dir, folder, std::chrono::milliseconds(200));
    child.startAndWait();
    MainWindow& w = *child.window;
    w.editFigures().moveFigure(0, 3, 0);
    w.nextFrameButtonClick();
    child.prompter.saveNames.push_back(dir + "/walk.kel");
    w.saveDocumentAs();
    for (int i = 0; i < 2; ++i) {
        w.editFigures().moveFigure(0, 5, 2);
        w.nextFrameButtonClick();
    }
    w.editFigures().moveFigure(0, -20, 9); // the new frame's pose
    w.setEditFrame(1);
    w.editFigures().moveFigure(0, 13, 7); // still on the canvas, not a step
    // A write may have begun before the last edits (the save lets events through); the edit
    // left on the canvas is written at every tick, so the second write holds all of it.
    const int before = child.autosave->writesCompleted();
    if (!waitForWrites(child, before + 2)) {
        print(QStringLiteral("no autosave\n"));
        return 3;
    }
    print(describeFrames(w.document()) + QStringLiteral("edit %1\nnew %2\n")
                                             .arg(w.editFrameIndex())
                                             .arg(describeFrame(w.session().newFrame())));
    std::raise(SIGKILL);
    return 4;
}

// Starts again answering the restore question; with Yes, prints what came back and saves.
int runRestorer(const QString& dir, const QString& folder, bool yes) {
    Child child(dir, folder, std::chrono::milliseconds(200));
    child.prompter.answers.push_back(yes ? Answer::Yes : Answer::No);
    child.startAndWait();
    MainWindow& w = *child.window;
    print(QStringLiteral("asked: %1\n").arg(child.prompter.questions.join(QLatin1Char('|'))));
    print(QStringLiteral("told: %1\n").arg(child.prompter.messages.join(QLatin1Char('|'))));
    if (yes) {
        print(QStringLiteral("unsaved %1 file %2\n")
                  .arg(int(!w.document().documentSaved))
                  .arg(QString::fromStdString(w.document().currentFileName)));
        print(QStringLiteral("edit %1\nnew %2\n")
                  .arg(w.editFrameIndex())
                  .arg(describeFrame(w.session().newFrame())));
        w.saveDocument();
        print(QStringLiteral("saved %1\n").arg(int(w.document().documentSaved)));
    }
    return 0;
}

// A large document that is changed after every autosave, so that one is always being
// written; prints "ready" after the first.
int runBusy(const QString& dir, const QString& folder) {
    Child child(dir, folder, std::chrono::milliseconds(1));
    Document doc(640, 480);
    const FigureType& man = doc.figureType(1);
    doc.frames.resize(kLargeFrames);
    for (int k = 0; k < kLargeFrames; ++k) {
        Figures& frame = doc.frames[size_t(k)];
        frame.setCount(10);
        for (int m = 0; m < 10; ++m) {
            Figure& f = frame.figures[size_t(m)];
            f.setType(1, man);
            f.figureID = m + 1;
            for (int s = 0; s < man.segmentCount(); ++s) {
                f.pose[size_t(s)].angle += 0.3 * std::sin(0.05 * k + 0.7 * s + m);
            }
            f.placeRoot({40.0 + 50 * m + (k % 100), 240.0}, man);
            f.updateBounds(man);
        }
    }
    doc.lastFigureID = 10;
    child.window->restoreRecoveredWork(RecoveredWork{std::move(doc), Figures(), -1, {}, 0});
    child.startAndWait();
    int step = 0;
    int seen = 0;
    QTimer change;
    QObject::connect(&change, &QTimer::timeout, [&] {
        if (child.autosave->writesCompleted() > seen) {
            if (seen == 0) {
                print(QStringLiteral("ready\n"));
            }
            seen = child.autosave->writesCompleted();
            child.window->session().setRepeatCount({step % kLargeFrames}, 2 + step % 50);
            ++step;
        }
    });
    change.start(5);
    QTimer::singleShot(60000, qApp, &QApplication::quit);
    return QApplication::exec();
}

// Starts after a kill during an autosave: says what it found.
int runChecker(const QString& dir, const QString& folder) {
    Child child(dir, folder, std::chrono::seconds(60));
    child.prompter.answers.push_back(Answer::Yes);
    child.startAndWait();
    print(QStringLiteral("asked %1 told %2 frames %3\n")
              .arg(child.prompter.questions.size())
              .arg(child.prompter.messages.join(QLatin1Char('|')))
              .arg(child.window->document().frameCount()));
    return 0;
}

QStringList recoveryFiles(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.recovery")}, QDir::Files);
}

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::NormalExit;
    QString output;
};

Run runChild(const QStringList& args, int timeoutMs = 30000) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), args);
    Run run;
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished();
        run.output = QStringLiteral("timed out");
        return run;
    }
    run.exitCode = child.exitCode();
    run.status = child.exitStatus();
    run.output = QString::fromUtf8(child.readAllStandardOutput());
    return run;
}

QString lineStarting(const QString& text, const QString& start) {
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(start)) {
            return line;
        }
    }
    return {};
}

} // namespace

class TestRecoveryProcesses : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killedEditorBringsTheWorkBack() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("recovery"));
        const Run edited = runChild({QStringLiteral("--edit"), dir.path(), folder});
        QVERIFY2(edited.status == QProcess::CrashExit, qPrintable(edited.output));
        QVERIFY2(edited.output.startsWith(QLatin1String("frames 3\n")), qPrintable(edited.output));
        QCOMPARE(recoveryFiles(folder).size(), 1);
        const Document before =
            loadAnimation(dir.filePath(QStringLiteral("walk.kel")).toStdString());
        QCOMPARE(before.frameCount(), 1); // the user's file holds what was saved, no more

        const Run restored =
            runChild({QStringLiteral("--restore"), dir.path(), folder, QStringLiteral("yes")});
        QVERIFY2(restored.exitCode == 0, qPrintable(restored.output));
        QVERIFY2(restored.output.contains(QLatin1String("asked: Restore the unsaved work from ")),
                 qPrintable(restored.output));
        QVERIFY(restored.output.contains(
            QStringLiteral("unsaved 1 file %1\n").arg(dir.filePath(QStringLiteral("walk.kel")))));
        QCOMPARE(lineStarting(restored.output, QStringLiteral("edit ")), QStringLiteral("edit 1"));
        QCOMPARE(lineStarting(restored.output, QStringLiteral("new ")),
                 lineStarting(edited.output, QStringLiteral("new ")));
        QVERIFY(restored.output.contains(QLatin1String("saved 1\n")));
        // Save wrote the user's own file: it holds what was on the canvas before the kill.
        const Document saved =
            loadAnimation(dir.filePath(QStringLiteral("walk.kel")).toStdString());
        const QString expected = edited.output.section(QStringLiteral("edit "), 0, 0);
        QCOMPARE(describeFrames(saved), expected);
        QVERIFY(recoveryFiles(folder).isEmpty());

        // Killed again, and this time the offer is declined: the file goes.
        const Run again = runChild({QStringLiteral("--edit"), dir.path(), folder});
        QVERIFY2(again.status == QProcess::CrashExit, qPrintable(again.output));
        QCOMPARE(recoveryFiles(folder).size(), 1);
        const Run declined =
            runChild({QStringLiteral("--restore"), dir.path(), folder, QStringLiteral("no")});
        QVERIFY2(declined.exitCode == 0, qPrintable(declined.output));
        QVERIFY(declined.output.contains(QLatin1String("asked: Restore the unsaved work from ")));
        QVERIFY(recoveryFiles(folder).isEmpty());
        QVERIFY(QDir(folder).entryList({QStringLiteral("*.lock")}, QDir::Files).isEmpty());
    }

    void damagedFileIsReportedSetAsideAndTheEditorStarts() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("recovery"));
        QDir().mkpath(folder);
        QFile garbage(folder + QStringLiteral("/kelto-1-1.recovery"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray("KELTOREC\x01\x01") + QByteArray(3000, '\x7f'));
        garbage.close();
        const Run check = runChild({QStringLiteral("--check"), dir.path(), folder});
        QVERIFY2(check.exitCode == 0, qPrintable(check.output));
        QVERIFY2(check.output.startsWith(QLatin1String("asked 0 told The unsaved work from ")),
                 qPrintable(check.output));
        QVERIFY(check.output.contains(QLatin1String("because its recovery file is damaged")));
        QCOMPARE(recoveryFiles(folder), QStringList());
        QCOMPARE(QDir(folder).entryList({QStringLiteral("*.damaged")}, QDir::Files),
                 QStringList{QStringLiteral("kelto-1-1.recovery.damaged")});
    }

    void killDuringAutosaveNeverLosesTheLastWholeFile() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("recovery"));
        for (int round = 0; round < 3; ++round) {
            QProcess busy;
            busy.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            busy.start(QCoreApplication::applicationFilePath(),
                       {QStringLiteral("--busy"), dir.path(), folder});
            QVERIFY(busy.waitForStarted());
            QElapsedTimer clock;
            clock.start();
            while (!busy.readAllStandardOutput().contains("ready") && clock.elapsed() < 30000) {
                busy.waitForReadyRead(100);
            }
            QVERIFY2(clock.elapsed() < 30000, "no first autosave");
            QTest::qWait(int(QRandomGenerator::global()->bounded(1500)));
            ::kill(pid_t(busy.processId()), SIGKILL);
            QVERIFY(busy.waitForFinished(10000));

            const Run check = runChild({QStringLiteral("--check"), dir.path(), folder}, 30000);
            QVERIFY2(check.exitCode == 0, qPrintable(check.output));
            // The whole previous autosave comes back (writes are atomic, so a damaged file
            // would be reported instead, never half a document).
            const bool whole =
                check.output.contains(QStringLiteral("asked 1 told  frames %1").arg(kLargeFrames));
            const bool reported = check.output.contains(QLatin1String("damaged"));
            QVERIFY2(whole || reported, qPrintable(check.output));
        }
    }
};

int main(int argc, char** argv) {
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode.startsWith(QLatin1String("--")) && argc > 3) {
        QApplication app(argc, argv);
        const QString dir = QString::fromLocal8Bit(argv[2]);
        const QString folder = QString::fromLocal8Bit(argv[3]);
        if (mode == QLatin1String("--edit")) {
            return runEditor(dir, folder);
        }
        if (mode == QLatin1String("--restore")) {
            return runRestorer(dir, folder, argc > 4 && std::strcmp(argv[4], "yes") == 0);
        }
        if (mode == QLatin1String("--busy")) {
            return runBusy(dir, folder);
        }
        if (mode == QLatin1String("--check")) {
            return runChecker(dir, folder);
        }
    }
    QApplication app(argc, argv);
    TestRecoveryProcesses test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recoveryprocesses.moc"

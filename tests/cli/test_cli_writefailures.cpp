#include "document/kelformat.h"
#include "writefailures.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

using namespace kelto;
using namespace kelto::testing;

namespace {

const QByteArray kOld = "an earlier export the user wants to keep";

struct CliRun {
    int code = -1;
    QString err;
};

// kelto-cli with a file-size limit of its own and SIGXFSZ at its default, which would end a
// program that does not handle the limit itself.
CliRun exportLimited(const QStringList& args, rlim_t limit) {
    QProcess p;
    p.setChildProcessModifier([limit] {
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit r{};
        getrlimit(RLIMIT_FSIZE, &r);
        r.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &r);
    });
    p.start(KELTO_CLI_PATH, QStringList{"export"} + args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError())};
}

QString writeAnimation(const QTemporaryDir& dir) {
    Document doc(160, 120);
    Figures edit = doc.newEditFrame();
    for (int i = 0; i < 3; ++i) {
        edit.figures[0].placeRoot({60.0 + 10 * i, 90.0}, doc.figureType(1));
        edit.figures[0].updateBounds(doc.figureType(1));
        Figures frame;
        frame.assign(edit);
        doc.frames.push_back(frame);
    }
    const QString path = dir.filePath("walk.kel");
    saveAnimation(doc, removeExtension(path.toStdString()));
    return path;
}

} // namespace

// A full disk is a failure with exit code 1 that names the file, for every kind of output,
// and the file the user had stays as it was.
TEST(CliWriteFailures, FullDiskExitsWithOneAndKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString kel = writeAnimation(dir);
    const QStringList outputs = {"out.gif", "out0.png", "out.svg", "out.avi"};
    for (const QString& name : outputs) {
        putFile(dir.filePath(name), kOld);
    }
    const QList<QStringList> runs = {{"-o", dir.filePath("out.gif")},
                                     {"-o", dir.filePath("out.png")},
                                     {"-o", dir.filePath("out.svg")},
                                     {"-o", dir.filePath("out.avi")}};
    for (int k = 0; k < runs.size(); ++k) {
        const CliRun r = exportLimited(QStringList{kel} + runs[k], 100);
        EXPECT_EQ(r.code, 1) << outputs[k].toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(
            r.err.contains("Could not write " + dir.filePath(outputs[k]) + ": File too large"))
            << r.err.toStdString();
        EXPECT_EQ(fileBytes(dir.filePath(outputs[k])), kOld) << outputs[k].toStdString();
    }
    EXPECT_EQ(everythingIn(dir.path()),
              (QStringList{"out.avi", "out.gif", "out.svg", "out0.png", "walk.kel"}));
}

#include "cli/clirun.h"
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

// kelto-cli with a file-size limit of its own and SIGXFSZ at its default, which would end a
// program that does not handle the limit itself.
CliRun exportLimited(const QStringList& args, rlim_t limit) {
    return runCli(QStringList{"export"} + args, [limit] {
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit r{};
        getrlimit(RLIMIT_FSIZE, &r);
        r.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &r);
    });
}

QString writeAnimation(const QTemporaryDir& dir) {
    return writeWalk(dir, {.holdSecond = false});
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

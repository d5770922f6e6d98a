#include "cli/clirun.h"
#include "document/kelformat.h"
#include "document/zstream.h"
#include "graphics/bytestream.h"
#include "settings/atomicfile.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace kelto;
using namespace kelto::testing;

namespace {

CliRun cli(const QStringList& args) {
    return runCli(args);
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// frames stick men walking right, each shown once.
QString writeWalk(const QString& path, int frames, int width = 160, int height = 120) {
    Document doc(width, height);
    Figures edit = doc.newEditFrame();
    for (int i = 0; i < frames; ++i) {
        edit.figures[0].placeRoot({20.0 + (i % 20) * 5, 90.0}, doc.figureType(1));
        edit.figures[0].updateBounds(doc.figureType(1));
        Figures frame;
        frame.assign(edit);
        doc.frames.push_back(frame);
    }
    saveAnimation(doc, removeExtension(path.toStdString()));
    return path;
}

// Runs kelto-cli with stderr on a pseudo-terminal, as in an interactive shell; gives what
// reached the terminal and the exit code.
std::pair<QByteArray, int> onTerminal(const QStringList& args) {
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        return {"openpty failed", -1};
    }
    const int devNull = ::open("/dev/null", O_WRONLY);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, devNull, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, slave, STDERR_FILENO);
    std::vector<std::string> strings{KELTO_CLI_PATH};
    for (const QString& a : args) {
        strings.push_back(a.toStdString());
    }
    std::vector<char*> argv;
    for (std::string& s : strings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, KELTO_CLI_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(slave);
    ::close(devNull);
    QByteArray seen;
    if (spawned == 0) {
        char buffer[4096];
        // Reading ends when the child has closed the terminal (EIO) or after a minute.
        pollfd p{master, POLLIN, 0};
        while (::poll(&p, 1, 60000) > 0) {
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            seen.append(buffer, got);
        }
    }
    ::close(master);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return {seen, -1};
    }
    return {seen, WEXITSTATUS(status)};
}

} // namespace

TEST(CliScripts, VersionHelpAndExitCodes) {
    CliRun r = cli({"--version"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.startsWith("kelto-cli ")) << r.out.toStdString();
    EXPECT_TRUE(r.err.isEmpty());

    for (const char* command : {"render", "export", "sheet", "convert", "info"}) {
        r = cli({command, "--help"});
        EXPECT_EQ(r.code, 0) << command;
        EXPECT_TRUE(r.out.contains(command));
        EXPECT_TRUE(r.out.contains("exit codes: 0 done, 1 failed")) << command;
        EXPECT_TRUE(r.err.isEmpty());
    }
    r = cli({"help"});
    EXPECT_EQ(r.code, 0);
    for (const char* part : {"--out-dir", "--quiet", "--progress", "--trim", "2 usage"}) {
        EXPECT_TRUE(r.out.contains(part)) << part;
    }
    r = cli({"render", "--zoom"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.trimmed().split('\n').size(), 2);
    EXPECT_TRUE(r.err.contains("kelto-cli render --help"));
}

TEST(CliScripts, FailuresNameTheFileAndTheFrameRange) {
    QTemporaryDir dir;
    const QString kel = writeWalk(dir.filePath("walk.kel"), 32);
    CliRun r = cli({"render", kel, "--frame", "40", "-o", dir.filePath("x.png")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.trimmed(), "kelto-cli: " + kel + " has no frame 40; frames are 0..31");
    EXPECT_FALSE(QFile::exists(dir.filePath("x.png")));

    r = cli({"export", kel, "--frame", "32", "-o", dir.filePath("x.svg")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("frames are 0..31")) << r.err.toStdString();

    const QString junk = dir.filePath("junk.kel");
    writeFileReplacing(junk.toStdString(), {0x78, 0xda, 1, 2, 3});
    r = cli({"export", junk, "-o", dir.filePath("x.gif")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.startsWith("kelto-cli: " + junk + ": ")) << r.err.toStdString();
}

TEST(CliScripts, RenderPicksTheKindByExtensionAndWritesToStdout) {
    QTemporaryDir dir;
    const QString kel = writeWalk(dir.filePath("walk.kel"), 3);
    for (const char* name : {"a.png", "a.jpg", "a.bmp"}) {
        const QString out = dir.filePath(name);
        const CliRun r = cli({"render", kel, "--frame", "1", "-o", out});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        const QByteArray bytes = fileBytes(out);
        const QByteArray magic = QString(name).endsWith("png")   ? QByteArray("\x89PNG")
                                 : QString(name).endsWith("jpg") ? QByteArray("\xFF\xD8\xFF")
                                                                 : QByteArray("BM");
        EXPECT_TRUE(bytes.startsWith(magic)) << name;
        const QImage image = QImage::fromData(bytes);
        EXPECT_EQ(image.size(), QSize(160, 120)) << name;
    }
    // -o - gives the bytes the file gets.
    CliRun r = cli({"render", kel, "--frame", "1", "-o", "-"});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.out, fileBytes(dir.filePath("a.png")));
    r = cli({"render", kel, "--frame", "1", "-o", "-", "--format", "bmp"});
    EXPECT_EQ(r.out, fileBytes(dir.filePath("a.bmp")));
    EXPECT_EQ(cli({"render", kel, "-o", dir.filePath("a.tif")}).code, 2);

    r = cli({"export", kel, "-o", dir.filePath("walk.gif"), "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = cli({"export", kel, "-o", "-", "--format", "gif"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, fileBytes(dir.filePath("walk.gif")));
    EXPECT_EQ(cli({"export", kel, "-o", "-"}).code, 2);                    // no kind given
    EXPECT_EQ(cli({"export", kel, "-o", "-", "--format", "png"}).code, 2); // many files
}

TEST(CliScripts, ProgressOnlyWhenAskedOrOnATerminal) {
    QTemporaryDir dir;
    const QString kel = writeWalk(dir.filePath("walk.kel"), 12);
    // stderr is a pipe here: no progress unless forced.
    CliRun r = cli({"export", kel, "-o", dir.filePath("walk.gif")});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), dir.filePath("walk.gif").toUtf8());

    r = cli({"export", kel, "-o", dir.filePath("walk.gif"), "--progress"});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.contains(" of 12, ")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("%,")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(" left")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains('\r')); // not a terminal: one state per line
    EXPECT_EQ(r.out.trimmed(), dir.filePath("walk.gif").toUtf8()); // stdout stays clean

    r = cli({"sheet", kel, "-o", dir.filePath("s.png"), "--progress", "--quiet"});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(r.err.isEmpty());

    // On a terminal the line is drawn in place and cleared at the end; --quiet keeps it quiet.
    auto [seen, code] = onTerminal({"export", kel, "-o", dir.filePath("t.gif")});
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(seen.contains(" of 12, ")) << seen.toStdString();
    EXPECT_TRUE(seen.contains('\r'));
    EXPECT_TRUE(seen.endsWith("\r\033[K")) << seen.toStdString();
    std::tie(seen, code) = onTerminal({"export", kel, "-o", dir.filePath("t.gif"), "--quiet"});
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(seen.isEmpty()) << seen.toStdString();
}

TEST(CliScripts, BatchWritesBesideOrIntoOutDirAndGoesOnAfterAFailure) {
    QTemporaryDir dir;
    const QString a = writeWalk(dir.filePath("a.kel"), 2);
    const QString b = writeWalk(dir.filePath("b.kel"), 3);
    const QString missing = dir.filePath("missing.kel");
    QDir(dir.path()).mkdir("out");
    const QString outDir = dir.filePath("out");

    CliRun r = cli({"render", a, missing, b, "--out-dir", outDir});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(missing)) << r.err.toStdString();
    EXPECT_EQ(r.out, (outDir + "/a.png\n" + outDir + "/b.png\n").toUtf8());
    EXPECT_TRUE(QImage(outDir + "/b.png").size() == QSize(160, 120));

    r = cli({"export", a, b, "--format", "gif"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("a.gif")));
    EXPECT_TRUE(QFile::exists(dir.filePath("b.gif")));

    r = cli({"sheet", a, b, "--out-dir", outDir, "--merge-repeats"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    QFile json(outDir + "/b.json");
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    const QJsonObject o = QJsonDocument::fromJson(json.readAll()).object();
    EXPECT_EQ(o["frames"].toArray().size(), 3);
    EXPECT_EQ(o["meta"].toObject()["image"].toString(), "b.png");

    EXPECT_EQ(cli({"render", a, b, "-o", dir.filePath("x.png")}).code, 2);
}

// A version-3 file with a JPEG background, built byte by byte: convert writes version 4 with the
// JPEG's bytes unchanged, and the frames as they were.
TEST(CliScripts, ConvertUpgradesOlderAnimations) {
    QTemporaryDir dir;
    QImage pixels(48, 32, QImage::Format_RGB32);
    pixels.fill(QColor(40, 160, 90));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(pixels.save(&buffer, "JPG", 75));

    ByteWriter w;
    w.put<uint8_t>(3);
    w.put<int32_t>(48);
    w.put<int32_t>(32);
    w.put<uint8_t>(2);                                           // slot 0 and one background
    w.put<uint8_t>(1);                                           // JPEG kind
    w.put<int64_t>(int64_t(w.size() + 8 + size_t(jpeg.size()))); // where the JPEG ends
    w.putBytes(reinterpret_cast<const uint8_t*>(jpeg.constData()), size_t(jpeg.size()));
    w.putShortString("field.jpg");
    w.put<uint8_t>(2); // figure types: only the built-in ones
    w.put<int32_t>(2); // frames
    for (int f = 0; f < 2; ++f) {
        w.put<uint16_t>(uint16_t(f + 1)); // repeats
        w.put<uint8_t>(uint8_t(1 - f));   // background slot
        w.put<uint8_t>(0);                // no figures
    }
    w.put<int32_t>(150); // frame interval
    const QString old = dir.filePath("old.kel");
    writeFileReplacing(old.toStdString(), compressStream(w.bytes()));

    const QString upgraded = dir.filePath("new.kel");
    CliRun r = cli({"convert", old, "-o", upgraded});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QByteArray file = fileBytes(upgraded);
    const std::vector<uint8_t> record =
        decompressStream(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()));
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(record[0], 4);
    const std::vector<uint8_t> jpegBytes(jpeg.begin(), jpeg.end());
    EXPECT_NE(std::search(record.begin(), record.end(), jpegBytes.begin(), jpegBytes.end()),
              record.end());
    const Document doc = readKelFile(std::vector<uint8_t>(file.begin(), file.end()));
    ASSERT_EQ(doc.frameCount(), 2);
    EXPECT_EQ(doc.frames[1].repeatCount, 2);
    EXPECT_EQ(doc.frames[0].backgroundIndex, 1);
    EXPECT_EQ(doc.frameRate, 150);
    EXPECT_EQ(doc.backgroundName(1), "field.jpg");

    // Without -o the file itself is upgraded.
    r = cli({"convert", old});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(fileBytes(old), file);
}

TEST(CliScripts, InterruptStopsAnExportWithoutAPartialFile) {
    QTemporaryDir dir;
    const QString kel = writeWalk(dir.filePath("long.kel"), 400, 400, 300);
    for (const char* name : {"long.avi", "long.gif"}) {
        QProcess p;
        p.start(KELTO_CLI_PATH, {"export", kel, "-o", dir.filePath(name), "--progress", "--resize",
                                 "300", "--supersample", "4"});
        p.setReadChannel(QProcess::StandardError);
        ASSERT_TRUE(p.waitForStarted());
        // Wait for the first frames, then press Ctrl+C.
        QByteArray err;
        while (!err.contains(" of 400") && p.waitForReadyRead(20000)) {
            err += p.readAllStandardError();
        }
        ASSERT_TRUE(err.contains(" of 400")) << name;
        ::kill(pid_t(p.processId()), SIGINT);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1) << name;
        err += p.readAllStandardError();
        EXPECT_TRUE(err.contains("Stopped; nothing was written")) << err.toStdString();
        const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(left, QStringList{"long.kel"}) << left.join(' ').toStdString();
    }
}

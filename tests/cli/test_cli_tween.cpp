#include "document/kelformat.h"
#include "settings/atomicfile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

using namespace kelto;

namespace {

struct CliResult {
    int code = -1;
    QByteArray out;
    QString err;
};

CliResult cli(const QStringList& args) {
    QProcess p;
    p.start(KELTO_CLI_PATH, args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError())};
}

// Three frames of one stick man (identity 1) walking right by 90 pixels a frame, each shown
// twice; frame 2 has a second figure (identity 2).
QString writeWalk(const QTemporaryDir& dir) {
    Document doc(400, 300);
    for (int k = 0; k < 3; ++k) {
        Figures frame;
        frame.setCount(k == 2 ? 2 : 1);
        for (int i = 0; i < frame.figureCount(); ++i) {
            Figure& f = frame.figures[size_t(i)];
            f.setType(1, doc.figureType(1));
            f.figureID = i + 1;
            f.placeRoot({10.0 + 90 * k + 200 * i, 200}, doc.figureType(1));
            f.updateBounds(doc.figureType(1));
        }
        frame.repeatCount = 2;
        doc.frames.push_back(frame);
    }
    doc.lastFigureID = 2;
    const QString path = dir.filePath("walk.kel");
    saveAnimation(doc, removeExtension(path.toStdString()));
    return path;
}

QJsonArray framesOf(const QString& path) {
    const CliResult r = cli({"info", path});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out).object()["frames"].toArray();
}

double rootX(const QJsonArray& frames, int frame, int figure) {
    const QJsonObject f = frames[frame].toObject()["figures"].toArray()[figure].toObject();
    return f["joints"].toArray()[0].toArray()[0].toDouble();
}

} // namespace

TEST(CliTween, InsertsEasedFramesThatInfoReads) {
    QTemporaryDir dir;
    const QString in = writeWalk(dir);
    const QString out = dir.filePath("tweened.kel");
    CliResult r = cli({"tween", in, "--from", "0", "--to", "1", "--count", "3", "-o", out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
    QJsonArray frames = framesOf(out);
    ASSERT_EQ(frames.size(), 6);
    // Key frames untouched, in-betweens evenly spaced and shown once.
    EXPECT_EQ(rootX(frames, 0, 0), 10);
    EXPECT_EQ(rootX(frames, 1, 0), 10 + 90 * 0.25);
    EXPECT_EQ(rootX(frames, 2, 0), 10 + 90 * 0.5);
    EXPECT_EQ(rootX(frames, 3, 0), 10 + 90 * 0.75);
    EXPECT_EQ(rootX(frames, 4, 0), 100);
    for (int f : {1, 2, 3}) {
        EXPECT_EQ(frames[f].toObject()["repeat"].toInt(), 1);
    }
    EXPECT_EQ(frames[0].toObject()["repeat"].toInt(), 2);
    EXPECT_EQ(frames[4].toObject()["repeat"].toInt(), 2);
    // The input is left as it was.
    EXPECT_EQ(framesOf(in).size(), 3);

    // Eased in, towards a frame with a newcomer, which fades in on top.
    r = cli({"tween", in, "--from", "1", "--to", "2", "--count", "1", "--ease", "in", "-o", out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    frames = framesOf(out);
    ASSERT_EQ(frames.size(), 4);
    EXPECT_EQ(rootX(frames, 2, 0), 100 + 90 * 0.125);
    const QJsonArray figures = frames[2].toObject()["figures"].toArray();
    ASSERT_EQ(figures.size(), 2);
    EXPECT_EQ(figures[1].toObject()["id"].toInt(), 2);
    EXPECT_EQ(figures[1].toObject()["transparency"].toInt(), 223); // 255 - 255/8, rounded

    // To standard output.
    r = cli({"tween", in, "--from", "2", "--to", "0", "--count", "2", "-o", "-"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QFile piped(dir.filePath("piped.kel"));
    ASSERT_TRUE(piped.open(QIODevice::WriteOnly));
    piped.write(r.out);
    piped.close();
    EXPECT_EQ(framesOf(piped.fileName()).size(), 5);
}

TEST(CliTween, MistakesAreUsageAndMissingFramesNameTheFileAndRange) {
    QTemporaryDir dir;
    const QString in = writeWalk(dir);
    const QString out = dir.filePath("out.kel");
    for (const QStringList& args :
         {QStringList{"tween", in, "--from", "0", "--to", "1", "-o", out},
          QStringList{"tween", in, "--from", "0", "--to", "1", "--count", "0", "-o", out},
          QStringList{"tween", in, "--from", "0", "--to", "1", "--count", "101", "-o", out},
          QStringList{"tween", in, "--from", "0", "--to", "0", "--count", "2", "-o", out},
          QStringList{"tween", in, "--from", "x", "--to", "1", "--count", "2", "-o", out},
          QStringList{"tween", in, "--from", "0", "--to", "1", "--count", "2", "--ease", "fast",
                      "-o", out},
          QStringList{"tween", in, "--from", "0", "--to", "1", "--count", "2"}}) {
        const CliResult r = cli(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("kelto-cli tween --help")) << r.err.toStdString();
    }
    CliResult r = cli({"tween", in, "--from", "0", "--to", "3", "--count", "2", "-o", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("walk.kel has no frame 3; frames are 0..2")) << r.err.toStdString();
    r = cli({"tween", in, "--from", "-1", "--to", "1", "--count", "2", "-o", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("frames are 0..2")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));

    const QString missing = dir.filePath("missing.kel");
    r = cli({"tween", missing, "--from", "0", "--to", "1", "--count", "2", "-o", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("missing.kel")) << r.err.toStdString();

    r = cli({"tween", "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains("--ease E"));
    EXPECT_TRUE(r.out.contains("exit codes: 0 done, 1 failed"));
    EXPECT_TRUE(cli({"help"}).out.contains("tween IN.kel --from A --to B --count N"));
}

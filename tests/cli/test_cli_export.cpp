#include "cli/clirun.h"
#include "document/kelformat.h"
#include "export/exportcheck.h"
#include "graphics/imagecodecs.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gif_lib.h>

using namespace kelto;
using namespace kelto::testing;

namespace {

CliRun exportCli(const QStringList& args) {
    return runCli(QStringList{"export"} + args);
}

QString writeAnimation(const QTemporaryDir& dir) {
    return writeWalk(dir);
}

} // namespace

TEST(CliExport, AnimatedGifWithTheDialogDefaults) {
    QTemporaryDir dir;
    const QString kel = writeAnimation(dir);
    const CliRun r = exportCli({kel, "-o", dir.filePath("walk.gif")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.outText().trimmed(), dir.filePath("walk.gif"));
    int error = 0;
    GifFileType* gif = DGifOpenFileName(dir.filePath("walk.gif").toLocal8Bit().constData(), &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    EXPECT_EQ(gif->ImageCount, 3);
    EXPECT_EQ(gif->SWidth, 160);
    GraphicsControlBlock gcb;
    DGifSavedExtensionToGCB(gif, 1, &gcb);
    EXPECT_EQ(gcb.DelayTime, 16); // two periods of 80 ms
    // All-black figures: grey-scale reduction, so every colour in the table is grey.
    for (int k = 0; k < gif->SColorMap->ColorCount; ++k) {
        const GifColorType c = gif->SColorMap->Colors[k];
        EXPECT_TRUE(c.Red == c.Green && c.Green == c.Blue);
    }
    DGifCloseFile(gif, &error);
}

TEST(CliExport, PictureSequencesAviAndSvg) {
    QTemporaryDir dir;
    const QString kel = writeAnimation(dir);
    CliRun r = exportCli({kel, "-o", dir.filePath("frames.png"), "--resize", "50"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("frames0.png")));
    EXPECT_TRUE(QFile::exists(dir.filePath("frames1rep1.png")));
    const std::vector<uint8_t> png = readWholeFile(dir.filePath("frames2.png").toStdString());
    EXPECT_EQ(decodePng(png.data(), png.size()).width(), 80);

    r = exportCli({kel, "-o", dir.filePath("still.gif"), "--sequence", "--no-repeats"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("still2.gif")));
    EXPECT_FALSE(QFile::exists(dir.filePath("still1rep1.gif")));

    r = exportCli({kel, "-o", dir.filePath("walk.avi"), "--supersample", "1"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_GT(QFile(dir.filePath("walk.avi")).size(), 4 * 160 * 120 * 3);

    r = exportCli({kel, "-o", dir.filePath("walk.svg"), "--frame", "0", "--handles"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QFile svg(dir.filePath("walk.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    EXPECT_TRUE(text.startsWith("<svg "));
    EXPECT_TRUE(text.contains("<line x1=\"60\" y1=\"90\""));
    EXPECT_TRUE(text.contains("fill:rgb(255,136,0)"));
}

TEST(CliExport, BadUseAndBadFiles) {
    QTemporaryDir dir;
    const QString kel = writeAnimation(dir);
    EXPECT_EQ(exportCli({kel}).code, 2);
    EXPECT_EQ(exportCli({kel, "-o", dir.filePath("x.bmp")}).code, 2);
    EXPECT_EQ(exportCli({kel, "-o", dir.filePath("x.gif"), "--colours", "7"}).code, 2);
    EXPECT_EQ(exportCli({kel, "-o", dir.filePath("x.gif"), "--resize", "-5"}).code, 2);
    const CliRun missingCodec = exportCli({kel, "-o", dir.filePath("x.avi"), "--codec", "nope"});
    EXPECT_EQ(missingCodec.code, 1);
    EXPECT_TRUE(missingCodec.err.startsWith("kelto-cli: ")) << missingCodec.err.toStdString();
    QFile junk(dir.filePath("junk.kel"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not an animation at all");
    junk.close();
    const CliRun bad = exportCli({dir.filePath("junk.kel"), "-o", dir.filePath("x.gif")});
    EXPECT_EQ(bad.code, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("x.gif")));
}

TEST(CliExport, MergeFramesAndCropOptions) {
    QTemporaryDir dir;
    const QString kel = writeAnimation(dir); // three frames, the second held two periods
    const QString out = dir.filePath("walk.gif");
    const CliRun r = exportCli({kel, "-o", out, "--merge-frames", "--crop"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    int error = 0;
    GifFileType* gif = DGifOpenFileName(out.toLocal8Bit().constData(), &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    EXPECT_EQ(gif->SWidth, 160);
    EXPECT_EQ(gif->SavedImages[0].ImageDesc.Width, 160);
    for (int f = 1; f < gif->ImageCount; ++f) { // later frames hold only the moving man
        EXPECT_LT(gif->SavedImages[f].ImageDesc.Width, 160);
        GraphicsControlBlock gcb;
        DGifSavedExtensionToGCB(gif, f, &gcb);
        EXPECT_EQ(gcb.DisposalMode, DISPOSE_DO_NOT);
    }
    DGifCloseFile(gif, &error);
}

// A 56-byte animation can ask for terabytes: one 500 x 400 frame held 65,535 periods, as an
// uncompressed video ten times enlarged. It is refused before anything is written, with what
// it needs and what is free.
TEST(CliExport, VideoLargerThanTheFreeSpaceIsRefused) {
    QTemporaryDir dir;
    Document doc(500, 400);
    doc.frames.push_back(doc.newEditFrame());
    doc.frames[0].repeatCount = 65535;
    const QString kel = dir.filePath("held.kel");
    saveAnimation(doc, removeExtension(kel.toStdString()));
    const QString out = dir.filePath("held.avi");

    AviExportOptions options;
    options.resize = 1000;
    const ExportPlan plan = planAvi(doc, removeExtension(out.toStdString()), options);
    const std::optional<uint64_t> free = freeSpaceIn(dir.path().toStdString());
    ASSERT_TRUE(free.has_value());
    if (*free >= plan.size.bytes) {
        GTEST_SKIP() << "this file system has room for " << humanBytes(plan.size.bytes);
    }
    const CliRun r = exportCli({kel, "-o", out, "--resize", "1000"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(
        r.err.contains(QString::fromStdString("needs about " + humanBytes(plan.size.bytes))))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(" is free in ")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

// --threads only changes how many threads draw the frames: every count writes the same bytes.
TEST(CliExport, ThreadCountLeavesTheOutputUnchanged) {
    QTemporaryDir dir;
    const QString kel = writeAnimation(dir);
    auto bytesOf = [&](const QString& name) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    for (const QString extension : {"gif", "avi", "png"}) {
        QByteArray first;
        for (const QString threads : {"1", "2", "8"}) {
            // One name for every count: the AVI header holds the file's name.
            const QString name = "t." + extension;
            const CliRun r = exportCli({kel, "-o", dir.filePath(name), "--threads", threads});
            ASSERT_EQ(r.code, 0) << r.err.toStdString();
            // A picture sequence is numbered; its last picture stands for the set.
            const QByteArray bytes = bytesOf(extension == "png" ? QString("t2.png") : name);
            ASSERT_FALSE(bytes.isEmpty()) << name.toStdString();
            if (first.isEmpty()) {
                first = bytes;
            } else {
                EXPECT_TRUE(bytes == first) << name.toStdString() << " " << threads.toStdString();
            }
        }
    }
    for (const QString bad : {"0", "257", "two"}) {
        const CliRun r = exportCli({kel, "-o", dir.filePath("bad.gif"), "--threads", bad});
        EXPECT_EQ(r.code, 2) << bad.toStdString();
        EXPECT_TRUE(r.err.contains("--threads")) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("bad.gif")));
}

#include "base/error.h"
#include "document/document.h"
#include "export/aviwriter.h"
#include "export/rasterexport.h"
#include "export/svgexport.h"
#include "export/videoexport.h"
#include "export/videowriter.h"
#include "modelfixtures.h"
#include "settings/atomicfile.h"
#include "writefailures.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <functional>

using namespace kelto;
using namespace kelto::testing;

namespace {

const QByteArray kOld = "an earlier export the user wants to keep";

// Frame i holds i + 1 stick men, so every frame's picture is larger than the one before.
Document growingDocument(int frames, int width = 160, int height = 120) {
    Document doc(width, height);
    int32_t lastId = 0;
    for (int i = 0; i < frames; ++i) {
        Figures frame;
        for (int k = 0; k <= i; ++k) {
            addStickman(frame, doc.figureTypes(), 20.0 + 25 * k, 40.0 + 15 * (k % 4), lastId);
        }
        doc.frames.push_back(frame);
    }
    return doc;
}

std::string str(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Every writer runs with both kinds of temporary file.
class WriteFailures : public ::testing::TestWithParam<TempFileKind> {
protected:
    void SetUp() override { setDefaultTempFileKind(GetParam()); }
    void TearDown() override { setDefaultTempFileKind(TempFileKind::Unnamed); }

    // Writes once without a limit to learn the complete file, then again over an old file with
    // the limit one byte short of it: the write must fail and keep the old file, so even
    // a failure at the very last byte is heard. With the limit at the full size it succeeds.
    void expectFailureKeepsOldFile(const QString& name,
                                   const std::function<void(const QString& path)>& write) {
        // The same path both times: a video stores its name.
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        write(path);
        const QByteArray complete = fileBytes(path);
        ASSERT_GT(complete.size(), 0);
        putFile(path, kOld);
        std::string message;
        {
            FileSizeLimit limit(rlim_t(complete.size() - 1));
            try {
                write(path);
            } catch (const KeltoError& e) {
                message = e.what();
            }
        }
        EXPECT_NE(message.find("Could not write " + str(path)), std::string::npos)
            << "no or wrong failure for " << name.toStdString() << ": " << message;
        EXPECT_EQ(fileBytes(path), kOld);
        EXPECT_EQ(everythingIn(dir.path()), QStringList{name});
        {
            FileSizeLimit limit(rlim_t(complete.size()));
            write(path);
        }
        EXPECT_EQ(fileBytes(path), complete);
        EXPECT_EQ(everythingIn(dir.path()), QStringList{name});
    }
};

// Counts frames and tells a watching parent process once ten are done.
class ReadyAfterTenFrames : public ExportProgress {
public:
    explicit ReadyAfterTenFrames(int fd) : m_fd(fd) {}
    void setProgress(int) override {
        if (++m_calls == 2) { // the AVI export reports frames 0, 10, 20, ...
            signalReady(m_fd);
        }
    }
    bool cancelled() override { return false; }

private:
    int m_fd;
    int m_calls = 0;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(BothKinds, WriteFailures,
                         ::testing::Values(TempFileKind::Unnamed, TempFileKind::Named));

TEST_P(WriteFailures, AnimatedGif) {
    const Document doc = growingDocument(3);
    expectFailureKeepsOldFile("walk.gif", [&](const QString& path) {
        SilentProgress quiet;
        exportGif(doc, removeExtension(str(path)), {}, 80, quiet);
    });
}

TEST_P(WriteFailures, Svg) {
    const Document doc = growingDocument(3);
    SvgScene scene;
    scene.edit = &doc.frames[2];
    scene.types = &doc.figureTypes();
    scene.frames = &doc.frames;
    scene.editFrameIndex = 2;
    expectFailureKeepsOldFile("frame.svg",
                              [&](const QString& path) { saveSvg(path, scene, true); });
}

TEST_P(WriteFailures, AviUncompressedAndCompressed) {
    const Document doc = growingDocument(4);
    expectFailureKeepsOldFile("walk.avi", [&](const QString& path) {
        SilentProgress quiet;
        exportAvi(doc, removeExtension(str(path)), {}, 80, quiet);
    });
    const std::vector<AviCodec> codecs = availableAviCodecs();
    if (!codecs.empty()) {
        expectFailureKeepsOldFile("packed.avi", [&](const QString& path) {
            SilentProgress quiet;
            AviExportOptions options;
            options.compress = true;
            options.codec = codecs.front().name;
            exportAvi(doc, removeExtension(str(path)), options, 80, quiet);
        });
    }
}

// A sequence that fails part-way says what it wrote; the pictures it had not reached and the
// one it failed on keep their old contents, and no cut-off picture is left under any name.
TEST_P(WriteFailures, VideosAndAnimatedPictures) {
    const Document doc = growingDocument(3, 64, 48);
    SilentProgress quiet;
    for (VideoFormat format :
         {VideoFormat::Mp4, VideoFormat::WebM, VideoFormat::Apng, VideoFormat::WebP}) {
        const QString name = QString("walk") + videoExtension(format);
        expectFailureKeepsOldFile(name, [&](const QString& path) {
            VideoExportOptions options;
            options.format = format;
            exportVideo(doc, removeExtension(str(path)), options, 80, quiet);
        });
    }
}

TEST_P(WriteFailures, PictureSequencesStopCleanlyAndSayWhatTheyWrote) {
    const Document doc = growingDocument(4);
    for (ImageFormat format : {ImageFormat::Png, ImageFormat::Jpeg, ImageFormat::Gif}) {
        const QString extension = format == ImageFormat::Png    ? ".png"
                                  : format == ImageFormat::Jpeg ? ".jpg"
                                                                : ".gif";
        ImageSequenceOptions options;
        options.format = format;
        SilentProgress quiet;
        QTemporaryDir reference;
        exportImageSequence(doc, str(reference.filePath("f")), options, quiet);
        std::vector<QByteArray> complete;
        for (int i = 0; i < 4; ++i) {
            complete.push_back(fileBytes(reference.filePath("f%1" + extension).arg(i)));
        }
        ASSERT_LT(std::max(complete[0].size(), complete[1].size()), complete[2].size())
            << extension.toStdString();

        QTemporaryDir dir;
        QStringList names;
        for (int i = 0; i < 4; ++i) {
            names << QString("f%1" + extension).arg(i);
            putFile(dir.filePath(names.back()), kOld);
        }
        std::string message;
        {
            FileSizeLimit limit(rlim_t(std::max(complete[0].size(), complete[1].size())));
            try {
                exportImageSequence(doc, str(dir.filePath("f")), options, quiet);
            } catch (const KeltoError& e) {
                message = e.what();
            }
        }
        EXPECT_NE(message.find("Could not write " + str(dir.filePath(names[2]))), std::string::npos)
            << message;
        EXPECT_NE(message.find("2 pictures were written before: " + str(dir.filePath(names[0])) +
                               " to " + str(dir.filePath(names[1]))),
                  std::string::npos)
            << message;
        EXPECT_EQ(fileBytes(dir.filePath(names[0])), complete[0]);
        EXPECT_EQ(fileBytes(dir.filePath(names[1])), complete[1]);
        EXPECT_EQ(fileBytes(dir.filePath(names[2])), kOld);
        EXPECT_EQ(fileBytes(dir.filePath(names[3])), kOld);
        EXPECT_EQ(everythingIn(dir.path()), names);
    }
}

// A video export killed half-way leaves the previous video as it was; the named fallback's
// temporary file goes with the next write in that folder.
TEST_P(WriteFailures, AviExportKilledHalfWayKeepsThePreviousVideo) {
    QTemporaryDir dir;
    const QString path = dir.filePath("long.avi");
    putFile(path, kOld);
    const pid_t child = killWhenReady([&](int ready) {
        Document doc = growingDocument(1, 400, 300);
        doc.frames.resize(5000, doc.frames[0]);
        ReadyAfterTenFrames progress(ready);
        AviExportOptions options;
        options.superSample = 1;
        exportAvi(doc, removeExtension(str(path)), options, 80, progress);
    });
    ASSERT_GT(child, 0) << "the export ended before it could be killed";
    EXPECT_EQ(fileBytes(path), kOld);
    if (GetParam() == TempFileKind::Unnamed) {
        EXPECT_EQ(everythingIn(dir.path()), QStringList{"long.avi"});
        return;
    }
    ASSERT_EQ(everythingIn(dir.path()).size(), 2);
    writeFileReplacing(str(dir.filePath("next.txt")), "n", 1);
    EXPECT_EQ(everythingIn(dir.path()), (QStringList{"long.avi", "next.txt"}));
}

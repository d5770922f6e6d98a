// "kelto-cli info" on large and hostile files: the description is written as the file is read,
// and failures name the kind of file the user gave.
#include "document/hostilefiles.h"
#include "document/kelformat.h"
#include "document/messages.h"
#include "document/zstream.h"
#include "settings/atomicfile.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

using namespace kelto;
using namespace kelto::test;

namespace {

struct InfoRun {
    int code = -1;
    QByteArray out;
    QString err; // without the file's name, which a failure starts with
    bool namesFile = false;
};

InfoRun info(const QString& path) {
    QProcess p;
    p.start(KELTO_CLI_PATH, {"info", path});
    p.waitForFinished(60000);
    InfoRun r{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
              QString::fromUtf8(p.readAllStandardError()).trimmed()};
    const QString named = "kelto-cli: " + path + ": ";
    if (r.err.startsWith(named)) {
        r.namesFile = true;
        r.err = "kelto-cli: " + r.err.mid(named.size());
    }
    return r;
}

// What a streamed run of "info" wrote, summed up as it came, and the child's peak memory.
struct StreamedInfo {
    int code = -1;
    long maxRssMb = -1;
    size_t bytes = 0;
    size_t frames = 0; // occurrences of the key every frame object has
    std::string head;
    std::string tail;
};

StreamedInfo streamedInfo(const std::string& path) {
    StreamedInfo result;
    int fds[2];
    if (pipe(fds) != 0) {
        return result;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl(KELTO_CLI_PATH, KELTO_CLI_PATH, "info", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    const std::string key = "\"drawOrder\"";
    std::string carry;
    char buffer[1 << 16];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) {
        std::string text = carry + std::string(buffer, size_t(n));
        for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
            ++result.frames;
        }
        carry = text.size() >= key.size() ? text.substr(text.size() - key.size() + 1) : text;
        if (result.head.size() < 64) {
            result.head += std::string(buffer, size_t(std::min<ssize_t>(n, 64)));
        }
        result.tail = (result.tail + std::string(buffer, size_t(n)));
        if (result.tail.size() > 256) {
            result.tail = result.tail.substr(result.tail.size() - 256);
        }
        result.bytes += size_t(n);
    }
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.maxRssMb = usage.ru_maxrss / 1024;
    return result;
}

} // namespace

// The file that once took 54 s and 6.7 GB: a million frames of one stick man in 434 KB.
TEST(CliInfo, MillionFramesAreDescribedInBoundedMemory) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("million.kel").toStdString();
    writeFileReplacing(path, repeatedStickManFile(1000000));
    const StreamedInfo run = streamedInfo(path);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.frames, 1000000u);
    EXPECT_EQ(run.head.substr(0, 35), R"({"backgrounds":[],"figureTypes":[],)");
    EXPECT_TRUE(run.tail.ends_with(R"("version":4,"width":400}
)")) << run.tail;
    if (kMemoryIsMeasurable) {
        EXPECT_LT(run.maxRssMb, 1024);
    }
}

// Written piece by piece, the text is still exactly what one JSON document of it would be.
TEST(CliInfo, StreamedTextIsOneValidDocument) {
    QTemporaryDir dir;
    const QString path = dir.filePath("three.kel");
    writeFileReplacing(path.toStdString(), repeatedStickManFile(3));
    const InfoRun r = info(path);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QJsonParseError error{};
    const QJsonDocument parsed = QJsonDocument::fromJson(r.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_EQ(parsed.toJson(QJsonDocument::Compact) + '\n', r.out);
    const QJsonArray frames = parsed.object()["frames"].toArray();
    ASSERT_EQ(frames.size(), 3);
    EXPECT_EQ(frames[2].toObject()["figures"].toArray()[0].toObject()["joints"].toArray().size(),
              13);
    EXPECT_EQ(parsed.object()["frameRate"].toInt(), 100);

    // Numbers of every form: whole, negative zero, tiny, large, long fractions.
    Document doc(300, 200);
    Figures frame;
    frame.setCount(1);
    Figure& f = frame.figures[0];
    f.setType(1, doc.figureType(1));
    f.figureID = 7;
    f.scale = 250.0f;
    const double angles[] = {-0.0, 1e-7, 123.0, -2.5e-12, 1.0 / 3.0, 4.71238898038469};
    for (size_t s = 0; s < std::size(angles); ++s) {
        f.pose[s].angle = angles[s];
    }
    f.placeRoot({0.1f, -7.0f}, doc.figureType(1));
    f.updateBounds(doc.figureType(1));
    doc.frames.push_back(frame);
    const QString numbers = dir.filePath("numbers.kel");
    saveAnimation(doc, removeExtension(numbers.toStdString()));
    const InfoRun n = info(numbers);
    ASSERT_EQ(n.code, 0) << n.err.toStdString();
    const QJsonDocument again = QJsonDocument::fromJson(n.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(again.toJson(QJsonDocument::Compact) + '\n', n.out);
    const QJsonArray read = again.object()["frames"][0]["figures"][0]["angles"].toArray();
    for (size_t s = 0; s < std::size(angles); ++s) {
        EXPECT_EQ(read[qsizetype(s)].toDouble(), angles[s]);
    }
}

// The message is about the file the user named, and says what is wrong once.
TEST(CliInfo, FailuresNameTheFileKindOpened) {
    QTemporaryDir dir;
    auto write = [&](const QString& name, const std::vector<uint8_t>& bytes) {
        const QString path = dir.filePath(name);
        writeFileReplacing(path.toStdString(), bytes);
        return path;
    };
    const QString notCompatible = QString("kelto-cli: ") + kMsgKelNotCompatible;
    for (uint8_t version : {uint8_t{0}, uint8_t{1}}) {
        Document doc(30, 20);
        doc.frames.emplace_back();
        std::vector<uint8_t> record = writeDocumentRecord(doc);
        record[0] = version;
        const InfoRun r = info(write("old.kel", compressStream(record)));
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.namesFile) << r.err.toStdString();
        EXPECT_EQ(r.err, notCompatible) << int(version);
    }
    const std::vector<uint8_t> noise = {0xC3, 0x11, 0x8F, 0x42, 0x00, 0x9A, 0x7E, 0x31};
    InfoRun r = info(write("noise.kel", noise));
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.startsWith(QString("kelto-cli: ") + kMsgBadKelFile)) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(".stk")) << r.err.toStdString();
    r = info(write("noise.stk", noise));
    EXPECT_EQ(r.err, QString("kelto-cli: ") + kMsgStkNotCompatible);

    // A damaged type inside an animation: the animation is damaged, the type's fault follows.
    Document doc(30, 20);
    FigureType type;
    type.addSegment(0, skLine, 10, 1, 0, 0, 0);
    doc.addFigureType(type, "t");
    doc.frames.emplace_back();
    std::vector<uint8_t> record = writeDocumentRecord(doc);
    record[12 + 1 + 1] = 0; // the segment's end joint: joints start at 1
    r = info(write("type.kel", compressStream(record)));
    EXPECT_EQ(r.err, QString("kelto-cli: ") + kMsgBadKelFile +
                         " (figure type 2: joint number out of range)");
}

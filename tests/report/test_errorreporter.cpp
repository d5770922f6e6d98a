#include "report/errorreporter.h"
#include "settings/paths.h"
#include "settings/settingsfile.h"
#include "writefailures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace kelto;
using namespace kelto::testing;

namespace {

class ErrorReporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("KELTO_CONFIG_DIR", dir.path().toUtf8());
        ErrorReporter::instance().setDisplayHook(
            [this](const std::string& line) { shown.push_back(line); });
        ErrorReporter::instance().clearErrorFlag();
    }
    void TearDown() override { ErrorReporter::instance().setDisplayHook(nullptr); }
    QByteArray log() const {
        QFile f(dir.path() + "/error_log.txt");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    std::vector<std::string> shown;
};

} // namespace

TEST_F(ErrorReporterTest, GuardReportsTheExceptionAndCarriesOn) {
    const bool finished = guarded("LoadThing", [] { throw KeltoError("Bad file"); });
    EXPECT_FALSE(finished);
    // The user reads the sentence; where and when it happened goes to the log only.
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Bad file");
    EXPECT_TRUE(log().startsWith("Bad file in LoadThing at ")) << log().toStdString();
    EXPECT_TRUE(ErrorReporter::instance().errorFlag());
    EXPECT_TRUE(guarded("Fine", [] {}));
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(ErrorReporterTest, LogKeepsEarlierLines) {
    QFile f(dir.path() + "/error_log.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("older line"); // no final newline
    f.close();
    reportError("First", "A");
    reportError("Second", "B");
    const QList<QByteArray> lines = log().split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "older line");
    EXPECT_TRUE(lines[1].startsWith("First in A at "));
    EXPECT_TRUE(lines[2].startsWith("Second in B at "));
}

TEST_F(ErrorReporterTest, SettingsFolderComesFromTheEnvironment) {
    EXPECT_EQ(settingsFolder(), dir.path() + "/");
    qunsetenv("KELTO_CONFIG_DIR");
    EXPECT_TRUE(settingsFolder().endsWith("/Kelto Animator/"));
}

TEST(ErrorReporterFormat, LineLayout) {
    EXPECT_EQ(ErrorReporter::formatLine("Out of memory", "SaveKel", "2026-01-02 03:04:05"),
              "Out of memory in SaveKel at 2026-01-02 03:04:05");
}

// The settings file and the error log go through the same writer: a full disk keeps them.
TEST(ReporterWrites, FailedWritesKeepKeltoIniAndTheErrorLog) {
    QTemporaryDir dir;
    qputenv("KELTO_CONFIG_DIR", dir.path().toUtf8());
    const QString ini = dir.filePath("Kelto.ini");
    const QString log = dir.filePath("error_log.txt");
    writeSettings(defaultSettings(), ini);
    const QByteArray settingsBefore = fileBytes(ini);
    const QByteArray logBefore = "2026-01-01 an earlier error\n";
    putFile(log, logBefore);

    std::vector<std::string> shown;
    ErrorReporter::instance().setDisplayHook(
        [&](const std::string& line) { shown.push_back(line); });
    {
        FileSizeLimit limit(16);
        AppSettings changed = defaultSettings();
        changed.animWidth = 640;
        EXPECT_THROW(writeSettings(changed, ini), KeltoError);
        reportError("The disk is full", "Test");
    }
    ErrorReporter::instance().setDisplayHook(nullptr);
    EXPECT_EQ(fileBytes(ini), settingsBefore);
    EXPECT_EQ(fileBytes(log), logBefore);
    ASSERT_EQ(shown.size(), 1u); // the message itself still reaches the user
    EXPECT_EQ(shown[0],
              "The disk is full"); // the user sees the sentence; the log line has the rest
    EXPECT_EQ(everythingIn(dir.path()), (QStringList{"Kelto.ini", "error_log.txt"}));
}

#include "base/error.h"
#include "settings/settingsfile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kelto::AppSettings;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // Reported errors are logged in the settings folder; keep that inside the test folder.
        qputenv("KELTO_CONFIG_DIR", m_dir.filePath("config").toUtf8());
        // Failures the core recovers from by itself are still passed on; record them.
        s_reported.clear();
        kelto::setRecoveredFailureHandler(
            [](const std::exception& e, const char*) { s_reported.push_back(e.what()); });
    }
    void TearDown() override { kelto::setRecoveredFailureHandler(nullptr); }

    static inline std::vector<std::string> s_reported;

    QString path() const { return m_dir.filePath("Kelto.ini"); }

    void writeRaw(const QByteArray& bytes) const {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    AppSettings readBody(const QByteArray& body) const {
        writeRaw("[Kelto.Settings]\n" + body);
        return kelto::readSettings(path());
    }

    QTemporaryDir m_dir;
};

void expectEqual(const AppSettings& a, const AppSettings& b) {
    EXPECT_EQ(a.animWidth, b.animWidth);
    EXPECT_EQ(a.animHeight, b.animHeight);
    EXPECT_EQ(a.numOnion, b.numOnion);
    EXPECT_EQ(a.onionAhead, b.onionAhead);
    EXPECT_EQ(a.language, b.language);
    EXPECT_EQ(a.showHandles, b.showHandles);
    EXPECT_EQ(a.shrinkHandlesClose, b.shrinkHandlesClose);
    EXPECT_EQ(a.frameRate, b.frameRate);
    EXPECT_EQ(a.minHandleSize, b.minHandleSize);
    EXPECT_EQ(a.maxHandleSize, b.maxHandleSize);
    EXPECT_EQ(a.kelDir, b.kelDir);
    EXPECT_EQ(a.stkDir, b.stkDir);
}

} // namespace

TEST_F(SettingsFileTest, RoundTripKeepsEveryValue) {
    AppSettings s;
    s.animWidth = 640;
    s.animHeight = 480;
    s.numOnion = 9;
    s.onionAhead = true;
    s.language = "Deutsch";
    s.showHandles = false;
    s.shrinkHandlesClose = false;
    s.frameRate = 150;
    s.minHandleSize = 2;
    s.maxHandleSize = 30;
    s.kelDir = "/home/anna/Animationen für Kinder/";
    s.stkDir = " /leading and trailing blanks/ ";
    kelto::writeSettings(s, path());
    expectEqual(kelto::readSettings(path()), s);
    EXPECT_TRUE(s_reported.empty());
}

TEST_F(SettingsFileTest, WritesTwelveKeysInOrderWithBooleansAsDigits) {
    AppSettings s = kelto::defaultSettings();
    s.kelDir = "/k";
    s.stkDir = "/s";
    s.onionAhead = true;
    s.showHandles = false;
    kelto::writeSettings(s, path());

    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[Kelto.Settings]\n"
                                         "DimX=500\n"
                                         "DimY=400\n"
                                         "NumOnion=0\n"
                                         "OnionAhead=1\n"
                                         "Language=English\n"
                                         "ShowHandles=0\n"
                                         "ShrinkHandlesClose=1\n"
                                         "FrameRate=80\n"
                                         "MinHandleSize=4\n"
                                         "MaxHandleSize=10\n"
                                         "KelDir=/k\n"
                                         "StkDir=/s\n"));
}

TEST_F(SettingsFileTest, OutOfRangeValuesTakeTheirDefaults) {
    const AppSettings low = readBody("DimX=5\nDimY=9\nNumOnion=-1\nFrameRate=29\n"
                                     "MinHandleSize=1\nMaxHandleSize=1\n");
    EXPECT_EQ(low.animWidth, 500);
    EXPECT_EQ(low.animHeight, 400);
    EXPECT_EQ(low.numOnion, 0);
    EXPECT_EQ(low.frameRate, 80);
    EXPECT_EQ(low.minHandleSize, 4);
    EXPECT_EQ(low.maxHandleSize, 10);

    const AppSettings high = readBody("DimX=10001\nDimY=99999999999\nNumOnion=12\n"
                                      "FrameRate=200\nMinHandleSize=31\nMaxHandleSize=255\n");
    EXPECT_EQ(high.animWidth, 500);
    EXPECT_EQ(high.animHeight, 400);
    EXPECT_EQ(high.numOnion, 0);
    EXPECT_EQ(high.frameRate, 80);
    EXPECT_EQ(high.minHandleSize, 4);
    EXPECT_EQ(high.maxHandleSize, 10);

    // The limits themselves are accepted.
    const AppSettings lower = readBody("DimX=10\nDimY=10\nNumOnion=0\nFrameRate=30\n"
                                       "MinHandleSize=2\nMaxHandleSize=2\n");
    EXPECT_EQ(lower.animWidth, 10);
    EXPECT_EQ(lower.animHeight, 10);
    EXPECT_EQ(lower.frameRate, 30);
    EXPECT_EQ(lower.minHandleSize, 2);
    EXPECT_EQ(lower.maxHandleSize, 2);
    const AppSettings upper = readBody("DimX=10000\nDimY=6710\nNumOnion=9\nFrameRate=150\n"
                                       "MinHandleSize=30\nMaxHandleSize=30\n");
    EXPECT_EQ(upper.animWidth, 10000);
    EXPECT_EQ(upper.animHeight, 6710);
    EXPECT_EQ(upper.numOnion, 9);
    EXPECT_EQ(upper.frameRate, 150);
    EXPECT_EQ(upper.minHandleSize, 30);
    EXPECT_EQ(upper.maxHandleSize, 30);

    // Each side in range but together more than an animation may hold: both defaults.
    const AppSettings tooMuch = readBody("DimX=10000\nDimY=6711\n");
    EXPECT_EQ(tooMuch.animWidth, 500);
    EXPECT_EQ(tooMuch.animHeight, 400);
}

TEST_F(SettingsFileTest, UnreadableValuesTakeTheirDefaults) {
    const AppSettings s = readBody("DimX=12abc\nDimY=\nNumOnion=three\nOnionAhead=yes\n"
                                   "Language=\nShowHandles=\nShrinkHandlesClose=x\n"
                                   "FrameRate=8O\nKelDir=\n");
    expectEqual(s, kelto::defaultSettings());

    // Any non-zero integer is true; blanks around values do not matter.
    const AppSettings flags = readBody("OnionAhead= 2 \nShowHandles=0\nShrinkHandlesClose=-1\n"
                                       "DimX= 640 \n");
    EXPECT_TRUE(flags.onionAhead);
    EXPECT_FALSE(flags.showHandles);
    EXPECT_TRUE(flags.shrinkHandlesClose);
    EXPECT_EQ(flags.animWidth, 640);
}

TEST_F(SettingsFileTest, MissingOrDamagedFilesGiveTheDefaults) {
    expectEqual(kelto::readSettings(path()), kelto::defaultSettings());
    EXPECT_TRUE(s_reported.empty()); // a first start is not an error

    static const char damaged[] = "\x00\xFF\xFE[Kelto.Settings\x00]DimX=640\n\x80\x81";
    writeRaw(QByteArray(damaged, sizeof(damaged) - 1));
    expectEqual(kelto::readSettings(path()), kelto::defaultSettings());

    // Keys of another section are not taken.
    writeRaw("[Other]\nDimX=640\n");
    EXPECT_EQ(kelto::readSettings(path()).animWidth, 500);

    // A file too large to be a settings file is refused and reported, not read into memory.
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(64 * 1024 * 1024));
    file.close();
    expectEqual(kelto::readSettings(path()), kelto::defaultSettings());
    EXPECT_EQ(s_reported.size(), 1u);
}

TEST_F(SettingsFileTest, ReadsEightBitText) {
    const AppSettings s = readBody("Language=Fran\xE7"
                                   "ais\nKelDir=/home/J\xFCrgen\n");
    EXPECT_EQ(s.language, "Fran\xC3\xA7"
                          "ais");
    EXPECT_EQ(s.kelDir, "/home/J\xC3\xBCrgen");
}

TEST_F(SettingsFileTest, StoredLanguageTellsAFirstStart) {
    EXPECT_EQ(kelto::storedLanguage(path()), "");
    writeRaw("[Kelto.Settings]\nDimX=640\n");
    EXPECT_EQ(kelto::storedLanguage(path()), "");
    EXPECT_EQ(kelto::readSettings(path()).language, "English");
    writeRaw("[Kelto.Settings]\nLanguage=Deutsch\n");
    EXPECT_EQ(kelto::storedLanguage(path()), "Deutsch");
}

TEST_F(SettingsFileTest, SavingCreatesTheFolderAndReplacesTheFile) {
    const QString nested = m_dir.filePath("a/b/Kelto.ini");
    AppSettings s = kelto::defaultSettings();
    s.animWidth = 320;
    kelto::writeSettings(s, nested);
    s.animWidth = 640;
    kelto::writeSettings(s, nested);
    EXPECT_EQ(kelto::readSettings(nested).animWidth, 640);
}

TEST_F(SettingsFileTest, ProgramWideValuesLiveInTheSettingsFolder) {
    EXPECT_EQ(kelto::settingsFilePath(), m_dir.filePath("config") + "/Kelto.ini");
    const AppSettings saved = kelto::appSettings();
    kelto::appSettings().animWidth = 640;
    kelto::appSettings().animHeight = 480;
    kelto::saveSettings();
    kelto::appSettings() = AppSettings();
    kelto::loadSettings();
    EXPECT_EQ(kelto::appSettings().animWidth, 640);
    EXPECT_EQ(kelto::appSettings().animHeight, 480);
    kelto::appSettings() = saved;
}

TEST_F(SettingsFileTest, UndoDepthLivesInASectionOfItsOwn) {
    AppSettings s = kelto::defaultSettings();
    s.undoDepth = 250;
    kelto::writeSettings(s, path());
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.startsWith("[Kelto.Settings]\nDimX=500\n"));
    EXPECT_TRUE(text.contains("[Kelto.Editor]\nUndoDepth=250\n"));
    EXPECT_EQ(kelto::readSettings(path()).undoDepth, 250);
    for (const char* bad : {"0", "10001", "x"}) {
        QFile out(path());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray("[Kelto.Editor]\nUndoDepth=") + bad + "\n");
        out.close();
        EXPECT_EQ(kelto::readSettings(path()).undoDepth, 100) << bad;
    }
}

TEST_F(SettingsFileTest, AutosaveIntervalLivesInASectionOfItsOwn) {
    AppSettings s = kelto::defaultSettings();
    EXPECT_EQ(s.autosaveSeconds, 60);
    kelto::writeSettings(s, path());
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("Autosave")); // the default leaves the file as it was
    file.close();
    for (int seconds : {0, 5, 3600}) {
        s.autosaveSeconds = seconds;
        kelto::writeSettings(s, path());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        file.close();
        EXPECT_TRUE(text.startsWith("[Kelto.Settings]\nDimX=500\n"));
        EXPECT_TRUE(text.contains("[Kelto.Autosave]\nInterval=" + QByteArray::number(seconds)));
        EXPECT_EQ(kelto::readSettings(path()).autosaveSeconds, seconds);
    }
    for (const char* bad : {"-1", "3601", "x", ""}) {
        QFile out(path());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray("[Kelto.Autosave]\nInterval=") + bad + "\n");
        out.close();
        EXPECT_EQ(kelto::readSettings(path()).autosaveSeconds, 60) << bad;
    }
}

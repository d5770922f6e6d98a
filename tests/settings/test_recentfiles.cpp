// The recent-files list: its order and length, and its own section in the settings file,
// which leaves the main section exactly as other copies of the program write it.
#include "settings/errorreporter.h"
#include "settings/inifile.h"
#include "settings/recentfiles.h"
#include "settings/settingsfile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using kelto::AppSettings;
using kelto::IniFile;
using kelto::RecentFiles;

namespace {

QStringList numbered(int first, int last) {
    QStringList paths;
    for (int i = first; i <= last; ++i) {
        paths << QStringLiteral("/anims/walk%1.kel").arg(i);
    }
    return paths;
}

TEST(RecentFiles, NewestFirstEachPathOnce) {
    RecentFiles list;
    list.add("/anims/a.kel");
    list.add("/anims/b.kel");
    list.add("/anims/c.kel");
    EXPECT_EQ(list.paths(), (QStringList{"/anims/c.kel", "/anims/b.kel", "/anims/a.kel"}));

    // Opening an older one again moves it to the front rather than listing it twice, also
    // when it is named another way.
    list.add("/anims/x/../a.kel");
    EXPECT_EQ(list.paths(), (QStringList{"/anims/a.kel", "/anims/c.kel", "/anims/b.kel"}));
    list.add("/anims//b.kel");
    EXPECT_EQ(list.paths(), (QStringList{"/anims/b.kel", "/anims/a.kel", "/anims/c.kel"}));

    list.remove("/anims/./a.kel");
    EXPECT_EQ(list.paths(), (QStringList{"/anims/b.kel", "/anims/c.kel"}));
    list.remove("/anims/missing.kel"); // not there: nothing happens
    list.add("");
    list.add("   ");
    EXPECT_EQ(list.paths().size(), 2);
    list.clear();
    EXPECT_TRUE(list.isEmpty());
}

TEST(RecentFiles, KeepsTheLastEight) {
    RecentFiles list;
    for (const QString& path : numbered(1, 11)) {
        list.add(path);
    }
    ASSERT_EQ(list.paths().size(), 8);
    EXPECT_EQ(list.paths().front(), "/anims/walk11.kel");
    EXPECT_EQ(list.paths().back(), "/anims/walk4.kel");

    // Re-adding one inside the list drops nothing else.
    list.add("/anims/walk4.kel");
    EXPECT_EQ(list.paths().size(), 8);
    EXPECT_EQ(list.paths().front(), "/anims/walk4.kel");
    EXPECT_EQ(list.paths().back(), "/anims/walk5.kel");

    // Built from a longer stored list: the first eight, in their order.
    const RecentFiles stored(numbered(1, 10));
    EXPECT_EQ(stored.paths(), numbered(1, 8));
}

TEST(RecentFiles, RelativePathsBecomeAbsolute) {
    RecentFiles list;
    list.add("walk.kel");
    ASSERT_EQ(list.paths().size(), 1);
    EXPECT_TRUE(list.paths()[0].startsWith('/'));
    EXPECT_TRUE(list.paths()[0].endsWith("/walk.kel"));
}

class RecentFilesInSettings : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("KELTO_CONFIG_DIR", m_dir.filePath("config").toUtf8());
        kelto::ErrorReporter::instance().setDisplayHook(
            [this](const std::string& line) { m_reported.push_back(line); });
    }
    void TearDown() override {
        kelto::ErrorReporter::instance().setDisplayHook(nullptr);
        EXPECT_TRUE(m_reported.empty());
    }

    QString path() const { return m_dir.filePath("Kelto.ini"); }

    QByteArray fileBytes() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeRaw(const QByteArray& bytes) const {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir m_dir;
    std::vector<std::string> m_reported;
};

TEST_F(RecentFilesInSettings, OwnSectionAfterTheUntouchedMainOne) {
    AppSettings s = kelto::defaultSettings();
    s.kelDir = "/k/";
    s.stkDir = "/s/";
    kelto::writeSettings(s, path());
    const QByteArray without = fileBytes();
    // No list, no section: the file is what it always was.
    EXPECT_FALSE(without.contains("RecentFiles"));

    s.recentFiles.add("/home/ann/walk.kel");
    s.recentFiles.add(QString::fromUtf8("/home/ann/Tänze/a=b.kel"));
    kelto::writeSettings(s, path());
    const QByteArray with = fileBytes();
    EXPECT_TRUE(with.startsWith(without)) << with.toStdString();
    EXPECT_EQ(with.mid(without.size()),
              QByteArray("\n[Kelto.RecentFiles]\nFile1=/home/ann/T\xc3\xa4nze/a=b.kel\n"
                         "File2=/home/ann/walk.kel\n"));

    const AppSettings back = kelto::readSettings(path());
    EXPECT_EQ(back.recentFiles, s.recentFiles);
    EXPECT_EQ(back.animWidth, s.animWidth);
    EXPECT_EQ(back.kelDir, "/k/");
}

TEST_F(RecentFilesInSettings, HandEditedSectionsAreReadSoundly) {
    // Gaps, repeats, blank values and keys past the eighth: the list holds each real path
    // once, in key order.
    writeRaw("[Kelto.Settings]\nNumOnion=3\n\n[Kelto.RecentFiles]\nFile2=/a.kel\nFile4=\n"
             "File3=/b.kel\nFile5=/a.kel\nfile6=/c.kel\nFile9=/d.kel\nOther=/e.kel\n");
    const AppSettings s = kelto::readSettings(path());
    EXPECT_EQ(s.numOnion, 3);
    EXPECT_EQ(s.recentFiles.paths(), (QStringList{"/a.kel", "/b.kel", "/c.kel"}));

    // A file from before the list existed has none.
    writeRaw("[Kelto.Settings]\nNumOnion=2\n");
    EXPECT_TRUE(kelto::readSettings(path()).recentFiles.isEmpty());
}

TEST_F(RecentFilesInSettings, IniRoundTripKeepsOrderAndCount) {
    const RecentFiles list(numbered(1, 8));
    IniFile ini;
    list.toIni(ini);
    EXPECT_EQ(ini.keys(RecentFiles::section), (QStringList{"File1", "File2", "File3", "File4",
                                                           "File5", "File6", "File7", "File8"}));
    EXPECT_EQ(RecentFiles::fromIni(IniFile::fromBytes(ini.toBytes())), list);
}

} // namespace

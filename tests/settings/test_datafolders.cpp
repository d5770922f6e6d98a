// Where the program finds its own files, on made-up layouts of a build tree and of an install
// prefix (prefix/bin/kelto with prefix/share/kelto/).
#include "settings/datafolders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace kelto {
namespace {

class DataFolders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        root = m_root.path() + QLatin1Char('/');
    }
    void makeFolder(const QString& relative) { ASSERT_TRUE(QDir().mkpath(root + relative)); }
    void makeFile(const QString& relative) {
        QFile file(root + relative);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }

    QString root;

private:
    QTemporaryDir m_root;
};

TEST_F(DataFolders, InstalledProgramFindsShareKeltoOfItsPrefix) {
    makeFolder(QStringLiteral("usr/bin"));
    makeFolder(QStringLiteral("usr/share/kelto/languages"));
    makeFolder(QStringLiteral("usr/share/kelto/animations"));
    makeFolder(QStringLiteral("usr/share/kelto/stick figures"));
    makeFolder(QStringLiteral("usr/share/kelto/manual"));
    makeFile(QStringLiteral("usr/share/kelto/ReadMe.txt"));
    makeFile(QStringLiteral("usr/share/kelto/manual/index.html"));
    const QString bin = root + QStringLiteral("usr/bin/");
    const QString share = root + QStringLiteral("usr/share/kelto/");

    EXPECT_EQ(installedDataFolder(bin), share);
    EXPECT_EQ(programDataFile(QStringLiteral("ReadMe.txt"), bin), share + "ReadMe.txt");
    EXPECT_EQ(programDataFile(QStringLiteral("manual/index.html"), bin),
              share + "manual/index.html");
    EXPECT_EQ(defaultDataFolder(QStringLiteral("animations"), bin), share + "animations/");
    EXPECT_EQ(defaultDataFolder(QStringLiteral("stick figures"), bin), share + "stick figures/");
    // bin/ is writable here (as in a user's own prefix), yet the installed translations win
    // over an empty languages folder that would be created beside the program.
    EXPECT_EQ(defaultLanguagesFolder(bin), share + "languages/");
    EXPECT_FALSE(QFileInfo::exists(bin + "languages"));
}

TEST_F(DataFolders, BuildTreeUsesTheFilesBesideTheProgram) {
    makeFolder(QStringLiteral("build/src/languages"));
    makeFolder(QStringLiteral("build/src/animations"));
    makeFile(QStringLiteral("build/src/ReadMe.txt"));
    const QString program = root + QStringLiteral("build/src/");

    EXPECT_EQ(programDataFile(QStringLiteral("ReadMe.txt"), program), program + "ReadMe.txt");
    EXPECT_EQ(defaultDataFolder(QStringLiteral("animations"), program), program + "animations/");
    EXPECT_EQ(defaultLanguagesFolder(program), program + "languages/");
}

TEST_F(DataFolders, ProgramFilesBesideTheProgramComeBeforeInstalledOnes) {
    makeFolder(QStringLiteral("p/bin"));
    makeFolder(QStringLiteral("p/share/kelto"));
    makeFile(QStringLiteral("p/bin/ReadMe.txt"));
    makeFile(QStringLiteral("p/share/kelto/ReadMe.txt"));
    const QString bin = root + QStringLiteral("p/bin/");
    EXPECT_EQ(programDataFile(QStringLiteral("ReadMe.txt"), bin), bin + "ReadMe.txt");
}

} // namespace
} // namespace kelto

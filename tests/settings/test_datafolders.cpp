// Where the program finds its own files, on made-up layouts of a build tree and of an install
// prefix (prefix/bin/kelto with prefix/share/kelto/).
#include "settings/datafolders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// The manual follows the language and is found where every shipped file is.
TEST_F(DataFolders, ManualIsLookedUpLikeEveryShippedFile) {
    makeFolder(QStringLiteral("usr/bin"));
    makeFolder(QStringLiteral("usr/share/kelto/manual"));
    const QString bin = root + QStringLiteral("usr/bin/");
    const QString manual = root + QStringLiteral("usr/share/kelto/manual/");
    EXPECT_TRUE(manualFile(QStringLiteral("English"), bin).isEmpty());
    makeFile(QStringLiteral("usr/share/kelto/manual/index.html"));
    EXPECT_EQ(manualFile(QStringLiteral("English"), bin), manual + "index.html");
    EXPECT_EQ(manualFile(QStringLiteral("Russian"), bin), manual + "index.html");
    makeFile(QStringLiteral("usr/share/kelto/manual/index.ru.html"));
    EXPECT_EQ(manualFile(QStringLiteral("Russian"), bin), manual + "index.ru.html");
    EXPECT_EQ(manualFile(QStringLiteral("Deutsch"), bin), manual + "index.html");
}

// Save dialogs start where a file can be written: the preferred folder, else the documents
// folder, else home.
TEST_F(DataFolders, SaveDialogsStartInAWritableFolder) {
    const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    makeFolder(QStringLiteral("home/.config"));
    makeFolder(QStringLiteral("home/Documents"));
    makeFolder(QStringLiteral("mine"));
    qputenv("HOME", (root + "home").toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "home/.config").toUtf8());

    EXPECT_EQ(writableSaveFolder(root + "mine"), root + "mine/");
    EXPECT_EQ(exportStartFolder(root + "mine/"), QString());
    // A missing folder (an install whose samples moved) and, for a user who is not root, a
    // read-only one give way to the documents folder.
    EXPECT_EQ(writableSaveFolder(root + "gone/"), root + "home/Documents/");
    EXPECT_EQ(exportStartFolder(root + "gone/"), root + "home/Documents/");
    EXPECT_EQ(writableSaveFolder(QString()), root + "home/Documents/");
    makeFolder(QStringLiteral("samples"));
    QFile::setPermissions(root + "samples", QFile::ReadOwner | QFile::ExeOwner);
    if (!QFileInfo(root + "samples").isWritable()) {
        EXPECT_EQ(writableSaveFolder(root + "samples"), root + "home/Documents/");
    }
    QFile::setPermissions(root + "samples", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Without a documents folder: home.
    ASSERT_TRUE(QDir(root + "home/Documents").removeRecursively());
    EXPECT_EQ(writableSaveFolder(root + "gone/"), root + "home/");

    qputenv("HOME", oldHome);
    if (oldConfig.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", oldConfig);
    }
}

TEST_F(DataFolders, SaveDialogsOfANamedDocumentStartWithItsName) {
    const QByteArray oldHome = qgetenv("HOME");
    makeFolder(QStringLiteral("home/Documents"));
    makeFolder(QStringLiteral("anims"));
    qputenv("HOME", (root + "home").toUtf8());

    EXPECT_EQ(documentSaveStart(root + "anims/walk.kel", "kel", root + "other/"),
              root + "anims/walk.kel");
    // Exports pick their extension in the dialog: the name comes without one. Only the last
    // extension goes.
    EXPECT_EQ(documentSaveStart(root + "anims/walk.v2.kel", "", root + "other/"),
              root + "anims/walk.v2");
    EXPECT_EQ(documentSaveStart(root + "anims/walk.kel", "svg", QString()),
              root + "anims/walk.svg");
    // A document in a folder that is gone (or read-only) keeps its name in a writable folder.
    EXPECT_EQ(documentSaveStart(root + "gone/walk.kel", "kel", root + "other/"),
              root + "home/Documents/walk.kel");
    // No file yet: the caller's folder, unchanged.
    EXPECT_EQ(documentSaveStart(QString(), "kel", root + "other/"), root + "other/");
    EXPECT_EQ(documentSaveStart(QString(), "", QString()), QString());
    qputenv("HOME", oldHome);
}

} // namespace
} // namespace kelto

#include "base/error.h"
#include "settings/atomicfile.h"
#include "writefailures.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace kelto;
using namespace kelto::testing;

namespace {

const QByteArray kOld = "the previous contents, which must survive\n";

std::string str(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

mode_t permissions(const QString& path) {
    struct stat st {};
    stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

// A pid that was in use a moment ago and is not any more.
pid_t deadPid() {
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return pid;
}

class AtomicFileKinds : public ::testing::TestWithParam<TempFileKind> {};

} // namespace

INSTANTIATE_TEST_SUITE_P(BothKinds, AtomicFileKinds,
                         ::testing::Values(TempFileKind::Unnamed, TempFileKind::Named));

TEST_P(AtomicFileKinds, TargetChangesOnlyAtCommitAndKeepsItsPermissions) {
    QTemporaryDir dir;
    const QString target = dir.filePath("notes.kel");
    putFile(target, kOld);
    chmod(QFile::encodeName(target).constData(), 0640);

    AtomicFile file(str(target), GetParam());
    file.write("new ", 4);
    file.write("bytes", 5);
    EXPECT_EQ(fileBytes(target), kOld);
    // Only the named fallback shows a file while writing, hidden and marked with our pid.
    const QStringList during = everythingIn(dir.path());
    if (file.isUnnamed()) {
        EXPECT_EQ(during, QStringList{"notes.kel"});
    } else {
        ASSERT_EQ(during.size(), 2);
        long pid = 0;
        EXPECT_TRUE(isTemporaryFileName(during[0].toStdString(), &pid)) << during[0].toStdString();
        EXPECT_EQ(pid, getpid());
    }
    file.commit();
    EXPECT_EQ(fileBytes(target), "new bytes");
    EXPECT_EQ(permissions(target), 0640u);
    EXPECT_EQ(everythingIn(dir.path()), QStringList{"notes.kel"});

    // A new file gets what the umask allows.
    const mode_t oldMask = umask(027);
    writeFileReplacing(str(dir.filePath("fresh.txt")), "x", 1);
    umask(oldMask);
    EXPECT_EQ(permissions(dir.filePath("fresh.txt")), 0640u);
}

TEST_P(AtomicFileKinds, EveryFailureKeepsTheOldFileAndNamesIt) {
    QTemporaryDir dir;
    const QString target = dir.filePath("keep.gif");
    putFile(target, kOld);
    const std::string bytes(5000, 'n');
    {
        FileSizeLimit limit(1000);
        // A write that throws ...
        AtomicFile file(str(target), GetParam());
        try {
            file.write(bytes.data(), bytes.size());
            ADD_FAILURE() << "the write past the limit succeeded";
        } catch (const KeltoError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(str(target)), std::string::npos) << message;
            EXPECT_NE(message.find("File too large"), std::string::npos) << message;
        }
        EXPECT_THROW(file.commit(), KeltoError);
    }
    {
        // ... and a callback's failure found only at commit.
        FileSizeLimit limit(1000);
        AtomicFile file(str(target), GetParam());
        EXPECT_TRUE(file.tryWrite(bytes.data(), 800));
        EXPECT_FALSE(file.tryWrite(bytes.data(), 800));
        EXPECT_FALSE(file.tryWrite(bytes.data(), 1)); // no file with a hole
        EXPECT_THROW(file.checkWrites(), KeltoError);
        EXPECT_THROW(file.commit(), KeltoError);
    }
    {
        // Dropped without commit: a cancelled export.
        AtomicFile file(str(target), GetParam());
        file.write(bytes.data(), bytes.size());
    }
    EXPECT_EQ(fileBytes(target), kOld);
    EXPECT_EQ(everythingIn(dir.path()), QStringList{"keep.gif"});
}

TEST_P(AtomicFileKinds, KillWhileWritingLeavesTheOldFile) {
    QTemporaryDir dir;
    const QString target = dir.filePath("big.kel");
    putFile(target, kOld);
    const pid_t child = killWhenReady([&](int ready) {
        AtomicFile file(str(target), GetParam());
        const std::string chunk(64 * 1024, 'k');
        file.write(chunk.data(), chunk.size());
        signalReady(ready);
        for (;;) {
            pause();
        }
    });
    ASSERT_GT(child, 0);
    EXPECT_EQ(fileBytes(target), kOld);
    const QStringList left = everythingIn(dir.path());
    if (GetParam() == TempFileKind::Unnamed && left.size() == 1) {
        EXPECT_EQ(left, QStringList{"big.kel"}); // an unnamed file vanishes with its owner
        return;
    }
    // The named fallback leaves the dead writer's file until the next write in the folder.
    ASSERT_EQ(left.size(), 2);
    long owner = 0;
    EXPECT_TRUE(isTemporaryFileName(left[0].toStdString(), &owner));
    EXPECT_EQ(owner, child);
    writeFileReplacing(str(dir.filePath("other.kel")), "o", 1);
    EXPECT_EQ(everythingIn(dir.path()), (QStringList{"big.kel", "other.kel"}));
}

TEST(AtomicFile, StaleFilesOfDeadOwnersAreRemovedOthersKept) {
    QTemporaryDir dir;
    const QString dead = QString::number(deadPid());
    const QString live = QString::number(getpid());
    const QStringList stale = {".walk.kel.kelto-tmp-" + dead + "-a1B2c3",
                               ".a.b.gif.kelto-tmp-" + dead + "-ZZZZZZ"};
    const QStringList kept = {
        ".walk.kel.kelto-tmp-" + live + "-a1B2c3", // its owner runs
        ".walk.kel.kelto-tmp-" + dead + "-a1B2",   // not our pattern
        "walk.kel.kelto-tmp-" + dead + "-a1B2c3",  // not hidden
        ".walk.kel.kelto-tmp-x" + dead + "-a1B2c3",
        ".walk.kel.kelto-tmp--a1B2c3",
        ".walk.kel.kelto-tmp-0-a1B2c3", // pid 0 would mean the whole process group
        ".kel." + dead + "-a1B2c3",
        "walk.kel",
    };
    for (const QString& name : stale + kept) {
        putFile(dir.filePath(name), "x");
    }
    // A directory of that name is someone's folder, not our file.
    const QString folder = ".dir.kelto-tmp-" + dead + "-abcdef";
    QDir(dir.path()).mkdir(folder);

    writeFileReplacing(str(dir.filePath("next.kel")), "n", 1);
    QStringList expected = kept + QStringList{folder, "next.kel"};
    expected.sort();
    EXPECT_EQ(everythingIn(dir.path()), expected);
    // The clean-up runs once per folder and process; asking again finds nothing new.
    EXPECT_EQ(removeStaleTemporaryFiles(str(dir.path())), 0);
}

TEST(AtomicFile, LinksStayLinksAndLongNamesFit) {
    QTemporaryDir dir;
    const QString real = dir.filePath("real.ini");
    putFile(real, kOld);
    chmod(QFile::encodeName(real).constData(), 0600);
    const QString link = dir.filePath("link.ini");
    ASSERT_TRUE(QFile::link(real, link));
    writeFileReplacing(str(link), "linked", 6);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(fileBytes(real), "linked");
    EXPECT_EQ(permissions(real), 0600u);

    // A name of 250 bytes still leaves room for the temporary file's longer name.
    for (TempFileKind kind : {TempFileKind::Unnamed, TempFileKind::Named}) {
        const QString longName = dir.filePath(QString(246, 'n') + ".kel");
        AtomicFile file(str(longName), kind);
        file.write("l", 1);
        file.commit();
        EXPECT_EQ(fileBytes(longName), "l");
    }
}

TEST(AtomicFile, MissingFolderIsReported) {
    QTemporaryDir dir;
    const std::string target = str(dir.filePath("no/such/folder.kel"));
    try {
        writeFileReplacing(target, "x", 1);
        FAIL() << "wrote into a missing folder";
    } catch (const KeltoError& e) {
        EXPECT_NE(std::string(e.what()).find(target), std::string::npos) << e.what();
    }
}

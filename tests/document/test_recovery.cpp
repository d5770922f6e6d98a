// Autosave and crash recovery in the core: when a recovery file is written or removed, who owns
// which file, and what comes back from a file, whole or damaged.
#include "base/error.h"
#include "document/autosavepolicy.h"
#include "document/editsession.h"
#include "document/kelformat.h"
#include "document/recoveryfile.h"
#include "document/recoveryfolder.h"
#include "document/zstream.h"
#include "fixtures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace kelto;
using namespace kelto::test;

namespace {

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<uint8_t> concatenated(const RecoverySnapshot& s) {
    std::vector<uint8_t> all;
    for (const auto& piece : s.record) {
        all.insert(all.end(), piece.begin(), piece.end());
    }
    return all;
}

// A session of three stored frames with a loaded type, editing frame 1 with a move not yet
// recorded, and a new frame that differs from every stored one.
std::unique_ptr<EditSession> editedSession() {
    Document doc = stickmanDocument(3);
    const int chain = doc.addFigureType(chainType(2), "Chain");
    doc.frames[2].figures.push_back(placedFigure(doc, uint16_t(chain), 40, 40, 3));
    doc.frames[2].drawOrder.push_back(2);
    doc.frames[2].figures[2].orderPos = 2;
    doc.lastFigureID = 3;
    doc.frameRate = 120;
    doc.currentFileName = "/home/someone/walk.kel";
    auto session = std::make_unique<EditSession>(std::move(doc));
    session->newFrame() = frameOf({placedFigure(session->document(), 1, 7, 9, 1)});
    session->setEditFrame(1);
    session->editFrame().moveFigure(0, 11, -4); // on the canvas, not yet a step
    return session;
}

// ---- the autosave decision -----------------------------------------------------------------

TEST(AutosaveDecision, WritesWhenTheHistoryMovedAndRemovesWhenNothingIsUnsaved) {
    EditSession session{stickmanDocument(1)};
    AutosavePolicy policy;
    const ContentStamp start = contentStamp(session, 0);
    EXPECT_EQ(policy.decide(true, start, false, false), AutosaveAction::Nothing);
    EXPECT_EQ(policy.decide(true, start, true, false), AutosaveAction::Write);
    policy.written(start);
    EXPECT_EQ(policy.decide(true, start, true, false), AutosaveAction::Nothing);

    ASSERT_TRUE(session.addFrame(1));
    const ContentStamp added = contentStamp(session, 0);
    EXPECT_NE(added.revision, start.revision);
    EXPECT_EQ(policy.decide(true, added, true, false), AutosaveAction::Write);
    policy.written(added);
    EXPECT_EQ(policy.decide(true, added, true, false), AutosaveAction::Nothing);
    // A save, New or Open: nothing unsaved, so the file goes, once.
    EXPECT_EQ(policy.decide(true, added, false, false), AutosaveAction::Remove);
    policy.removed();
    EXPECT_EQ(policy.decide(true, added, false, false), AutosaveAction::Nothing);
}

TEST(AutosaveDecision, SameRevisionWithOtherContentIsWrittenAgain) {
    EditSession session{stickmanDocument(1)};
    AutosavePolicy policy;
    ASSERT_TRUE(session.addFrame(1));
    const ContentStamp before = contentStamp(session, 5);
    policy.written(before);
    // Undo, then another step: the history is back at the same number with other content;
    // the caller has counted the two moves.
    ASSERT_TRUE(session.undo());
    ASSERT_TRUE(session.setRepeatCount({0}, 4));
    ContentStamp after = contentStamp(session, 7);
    EXPECT_EQ(after.revision, before.revision);
    EXPECT_EQ(policy.decide(true, after, true, false), AutosaveAction::Write);
    // Changes outside the history show in the stamp too.
    ContentStamp rate = before;
    rate.frameRate += 10;
    EXPECT_EQ(policy.decide(true, rate, true, false), AutosaveAction::Write);
    // An edit still on the canvas is not in any stamp: it is written while it lasts.
    EXPECT_EQ(policy.decide(true, before, false, true), AutosaveAction::Write);
}

TEST(AutosaveDecision, IntervalZeroWritesNothingAndDropsAnOldFile) {
    AutosavePolicy policy;
    ContentStamp stamp;
    EXPECT_EQ(policy.decide(false, stamp, true, true), AutosaveAction::Nothing);
    policy.written(stamp);
    stamp.revision = 3;
    EXPECT_EQ(policy.decide(false, stamp, true, false), AutosaveAction::Remove);
    // Restored work is the session's own file until something is saved.
    AutosavePolicy restored;
    restored.adopted();
    EXPECT_EQ(restored.decide(true, ContentStamp{}, true, false), AutosaveAction::Write);
    EXPECT_EQ(restored.decide(true, ContentStamp{}, false, false), AutosaveAction::Remove);
}

// ---- snapshot and file ---------------------------------------------------------------------

TEST(RecoveryFile, BringsBackTheDocumentTheEditedFrameAndTheNewFrame) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("work.recovery").toStdString();
    const std::unique_ptr<EditSession> edited = editedSession();
    const EditSession& session = *edited;
    ASSERT_TRUE(session.canvasEditPending());
    writeRecoveryFile(path, takeSnapshot(session));

    RecoveredWork work = readRecoveryFile(path);
    // The whole document, the unrecorded move on frame 1 included, byte for byte.
    EXPECT_EQ(writeDocumentRecord(work.document), writeDocumentRecord(session.document()));
    EXPECT_EQ(work.document.frames[1].figures[0].jointPos[0].x,
              session.document().frames[1].figures[0].jointPos[0].x);
    EXPECT_EQ(work.editFrameIndex, 1);
    EXPECT_EQ(work.fileName, "/home/someone/walk.kel");
    EXPECT_FALSE(work.document.documentSaved);
    EXPECT_EQ(work.document.frameRate, 120);
    ASSERT_EQ(work.newFrame.figureCount(), 1);
    EXPECT_FLOAT_EQ(work.newFrame.figures[0].jointPos[0].x, 7);
    EXPECT_FLOAT_EQ(work.newFrame.figures[0].jointPos[0].y, 9);
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    EXPECT_LE(std::abs(now - work.savedAtMs), 60000);
}

TEST(RecoveryFile, ReadsAFileLaidOutByHand) {
    // The layout written out here, field by field: magic, version, flags, edit frame, time,
    // name, then the zlib stream of a record whose last frame is the new frame.
    Document doc = stickmanDocument(2);
    std::vector<uint8_t> bytes = {'K', 'E', 'L', 'T', 'O', 'R', 'E', 'C', 1, 1};
    const int32_t edit = -1;
    const int64_t when = 1700000000123;
    const std::string name = "x.kel";
    const auto put = [&](const void* p, size_t n) {
        bytes.insert(bytes.end(), static_cast<const uint8_t*>(p),
                     static_cast<const uint8_t*>(p) + n);
    };
    put(&edit, 4);
    put(&when, 8);
    const uint16_t length = uint16_t(name.size());
    put(&length, 2);
    put(name.data(), name.size());
    const std::vector<uint8_t> stream = compressStream(writeDocumentRecord(doc));
    put(stream.data(), stream.size());
    QTemporaryDir dir;
    const std::string path = dir.filePath("hand.recovery").toStdString();
    writeBytes(path, bytes);

    const RecoveredWork work = readRecoveryFile(path);
    EXPECT_EQ(work.document.frameCount(), 1); // the second frame is the new frame
    EXPECT_FLOAT_EQ(work.newFrame.figures[0].jointPos[0].x, 101);
    EXPECT_EQ(work.savedAtMs, when);
    EXPECT_EQ(work.fileName, "x.kel");
    EXPECT_EQ(work.editFrameIndex, -1);
}

TEST(RecoveryFile, SlicedSnapshotEqualsTheWholeAndRestartsWhenEdited) {
    EditSession session{stickmanDocument(3000)};
    session.setEditFrame(1700);
    session.editFrame().moveFigure(1, 5, 5);
    const ContentStamp stamp = contentStamp(session, 0);
    SnapshotBuilder builder(session, stamp);
    int slices = 0;
    SnapshotBuilder::Step step;
    while ((step = builder.step(session, stamp, std::chrono::nanoseconds(0))) ==
           SnapshotBuilder::Step::More) {
        ++slices;
    }
    ASSERT_EQ(step, SnapshotBuilder::Step::Done);
    EXPECT_GT(slices, 10); // the budget really cut the work up
    RecoverySnapshot sliced = builder.take();
    EXPECT_EQ(concatenated(sliced), concatenated(takeSnapshot(session)));
    // The record parses to the document with the new frame after it.
    const Document read = readDocumentRecord(concatenated(sliced));
    ASSERT_EQ(read.frameCount(), 3001);
    EXPECT_EQ(read.frames[1700].figures[1].jointPos[0].x,
              session.document().frames[1700].figures[1].jointPos[0].x);

    SnapshotBuilder stale(session, stamp);
    ASSERT_EQ(stale.step(session, stamp, std::chrono::nanoseconds(0)), SnapshotBuilder::Step::More);
    ASSERT_TRUE(session.addFrame(1));
    EXPECT_EQ(stale.step(session, contentStamp(session, 0), std::chrono::nanoseconds(0)),
              SnapshotBuilder::Step::Stale);
}

TEST(RecoveryFile, DamagedFilesAreRefused) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("whole.recovery").toStdString();
    EditSession session{stickmanDocument(200)};
    writeRecoveryFile(path, takeSnapshot(session));
    const std::vector<uint8_t> whole = fileBytes(path);
    ASSERT_NO_THROW(readRecoveryFile(path));

    const std::string bad = dir.filePath("bad.recovery").toStdString();
    // Cut short anywhere: in the header, in the stream, one byte before the end.
    for (size_t keep :
         {size_t(0), size_t(5), size_t(20), size_t(40), whole.size() / 2, whole.size() - 1}) {
        writeBytes(bad, std::vector<uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(keep)));
        EXPECT_THROW(readRecoveryFile(bad), KeltoError) << keep;
    }
    // Garbage, and a whole file with one byte of its stream changed.
    std::vector<uint8_t> garbage(5000);
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = uint8_t(i * 7919 >> 3);
    }
    writeBytes(bad, garbage);
    EXPECT_THROW(readRecoveryFile(bad), KeltoError);
    std::vector<uint8_t> flipped = whole;
    flipped[flipped.size() / 2] ^= 0x55;
    writeBytes(bad, flipped);
    EXPECT_THROW(readRecoveryFile(bad), KeltoError);
    // An edit frame beyond the frames.
    std::vector<uint8_t> beyond = whole;
    const int32_t edit = 500;
    std::memcpy(beyond.data() + 10, &edit, 4);
    writeBytes(bad, beyond);
    EXPECT_THROW(readRecoveryFile(bad), KeltoError);
}

TEST(RecoveryFile, CancelledWriteLeavesThePreviousFile) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("work.recovery").toStdString();
    EditSession small{stickmanDocument(2)};
    writeRecoveryFile(path, takeSnapshot(small));
    const std::vector<uint8_t> before = fileBytes(path);
    EditSession large{stickmanDocument(500)};
    const std::atomic<bool> cancel{true};
    writeRecoveryFile(path, takeSnapshot(large), &cancel);
    EXPECT_EQ(fileBytes(path), before);

    // The worker thread writes the same file as a direct write.
    RecoveryWriter writer;
    writer.start(path, takeSnapshot(large));
    std::optional<std::string> result;
    while (!(result = writer.finished())) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(*result, "");
    EXPECT_FALSE(writer.busy());
    EXPECT_EQ(readRecoveryFile(path).document.frameCount(), 500);
}

// ---- names and owners ----------------------------------------------------------------------

TEST(RecoveryFolder, NamesCarryTheOwnerAndOnlyWholeRecoveryFilesCount) {
    std::string stem;
    long pid = 0;
    EXPECT_EQ(recoveryStem(4321, 99), "kelto-4321-99");
    EXPECT_TRUE(parseRecoveryFileName("kelto-4321-99.recovery", &stem, &pid));
    EXPECT_EQ(stem, "kelto-4321-99");
    EXPECT_EQ(pid, 4321);
    for (const char* other :
         {"kelto-4321-99.recovery.damaged", "kelto-4321-99.lock",
          ".kelto-4321-99.recovery.kelto-tmp-1-2", "kelto-x-99.recovery", "kelto--99.recovery",
          "kelto-12.recovery", "walk.kel", "kelto-1-2-3.recovery"}) {
        EXPECT_FALSE(parseRecoveryFileName(other)) << other;
    }
}

TEST(RecoveryFolder, RunningCopiesNeverTakeEachOthersFiles) {
    QTemporaryDir dir;
    RecoveryFolder first(dir.path().toStdString());
    RecoveryFolder second(dir.path().toStdString());
    first.claimOwnName();
    second.claimOwnName();
    ASSERT_NE(first.ownFile(), second.ownFile());
    EditSession session{stickmanDocument(2)};
    writeRecoveryFile(first.ownFile(), takeSnapshot(session));
    writeRecoveryFile(second.ownFile(), takeSnapshot(session));
    // Each lock is held, so neither is an orphan to the other or to a third copy.
    EXPECT_TRUE(second.takeOrphans().empty());
    EXPECT_TRUE(first.takeOrphans().empty());
    RecoveryFolder third(dir.path().toStdString());
    EXPECT_TRUE(third.takeOrphans().empty());
    // The lock file names the process.
    const std::string lock = first.ownFile().substr(0, first.ownFile().size() - 9) + ".lock";
    const std::vector<uint8_t> text = fileBytes(lock);
    EXPECT_EQ(std::string(text.begin(), text.end()), std::to_string(::getpid()) + "\n");
    // A normal end takes both files away.
    const std::string firstFile = first.ownFile();
    first.releaseOwnName();
    EXPECT_FALSE(exists(firstFile));
    EXPECT_FALSE(exists(lock));
    EXPECT_TRUE(exists(second.ownFile()));
}

TEST(RecoveryFolder, AKilledOwnersFileIsAnOrphanTakenByOneCopyOnly) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A copy that writes its recovery file and dies without cleaning up.
        RecoveryFolder own(folder);
        own.claimOwnName();
        EditSession session{stickmanDocument(4)};
        writeRecoveryFile(own.ownFile(), takeSnapshot(session));
        const char done = 1;
        (void)!::write(pipeFds[1], &done, 1);
        ::pause();
        ::_exit(0);
    }
    char done = 0;
    ASSERT_EQ(::read(pipeFds[0], &done, 1), 1);
    RecoveryFolder observer(folder);
    EXPECT_TRUE(observer.takeOrphans().empty()) << "the owner still runs";
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);

    RecoveryFolder a(folder);
    RecoveryFolder b(folder);
    std::vector<OrphanedRecovery> found = a.takeOrphans();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(b.takeOrphans().empty()) << "held by the copy that took it";
    EXPECT_EQ(readRecoveryFile(found[0].path()).document.frameCount(), 4);
    // Restored: it becomes the taker's own file.
    a.claimOwnName();
    found[0].adoptAs(a.ownFile());
    EXPECT_EQ(readRecoveryFile(a.ownFile()).document.frameCount(), 4);
    EXPECT_TRUE(b.takeOrphans().empty());
}

TEST(RecoveryFolder, DamagedFileIsSetAsideAndDeclinedFileDeleted) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    // Files of copies gone long ago: one without its lock file, one whose lock nobody holds.
    writeBytes(folder + "kelto-11-1.recovery", {1, 2, 3});
    EditSession session{stickmanDocument(1)};
    writeRecoveryFile(folder + "kelto-12-1.recovery", takeSnapshot(session));
    writeBytes(folder + "kelto-12-1.lock", {'1', '2', '\n'});
    writeBytes(folder + "kelto-13-1.lock", {'1', '3', '\n'}); // a lock left without a file
    // Newest first.
    struct timespec old[2] = {{1000000, 0}, {1000000, 0}};
    ::utimensat(AT_FDCWD, (folder + "kelto-11-1.recovery").c_str(), old, 0);

    RecoveryFolder recovery(folder);
    std::vector<OrphanedRecovery> found = recovery.takeOrphans();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path(), folder + "kelto-12-1.recovery");
    EXPECT_EQ(found[1].path(), folder + "kelto-11-1.recovery");
    EXPECT_FALSE(exists(folder + "kelto-13-1.lock"));

    found[0].discard();
    EXPECT_FALSE(exists(folder + "kelto-12-1.recovery"));
    EXPECT_FALSE(exists(folder + "kelto-12-1.lock"));
    EXPECT_THROW(readRecoveryFile(found[1].path()), KeltoError);
    const std::string aside = found[1].setAside();
    EXPECT_EQ(aside, folder + "kelto-11-1.recovery.damaged");
    EXPECT_EQ(fileBytes(aside), (std::vector<uint8_t>{1, 2, 3})); // kept, not deleted
    EXPECT_FALSE(exists(folder + "kelto-11-1.recovery"));
    found.clear();
    EXPECT_TRUE(RecoveryFolder(folder).takeOrphans().empty()) << "never asked about again";

    // A second damaged file of the same name does not overwrite the first one set aside.
    writeBytes(folder + "kelto-11-1.recovery", {4});
    std::vector<OrphanedRecovery> again = RecoveryFolder(folder).takeOrphans();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].setAside(), folder + "kelto-11-1.recovery.damaged-2");
    EXPECT_EQ(fileBytes(aside), (std::vector<uint8_t>{1, 2, 3}));
}

} // namespace

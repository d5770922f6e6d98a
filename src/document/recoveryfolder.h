#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelto {

// The folder where running copies keep their recovery files, and who owns which.
//
// Each running copy has a name of its own, "kelto-<process id>-<start stamp>": the recovery file
// "<name>.recovery" and the lock file "<name>.lock", which holds the process id as text and
// which the copy keeps locked (flock) for as long as it runs. The system lets go of the lock
// when the process ends, however it ends, so a recovery file whose lock can be taken belongs to
// a session that ended without cleaning up: an abnormal end. Unlike a check of the process id,
// this cannot be fooled by a later process that happens to get the same id. A copy that is
// running keeps its lock, so no other copy can ever take its file.

inline constexpr std::string_view kRecoveryExtension = ".recovery";
inline constexpr std::string_view kRecoveryLockExtension = ".lock";
inline constexpr std::string_view kDamagedExtension = ".damaged";

// "kelto-<pid>-<stamp>", the stem of a copy's two files.
std::string recoveryStem(long pid, uint64_t stamp);
// Whether name (no folder) is a recovery file of that form; gives its stem and owner's id.
bool parseRecoveryFileName(std::string_view name, std::string* stem = nullptr, long* pid = nullptr);

// An exclusive lock on a file, held until this object goes (or the process ends).
class FileLock {
public:
    // Opens (creating) and locks the file without waiting; nullopt when another holder has it
    // or it cannot be opened.
    static std::optional<FileLock> tryLock(const std::string& path);
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    const std::string& path() const { return m_path; }
    // Replaces the file's content with the process id, for people looking at the folder.
    void writeProcessId();
    // Deletes the lock file, then lets go of the lock.
    void removeFile();

private:
    FileLock(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    void release() noexcept;

    int m_fd = -1;
    std::string m_path;
};

// A recovery file left by a session that ended abnormally. It stays locked by this process
// until it is adopted, discarded or set aside, so two copies starting together never both
// offer it.
class OrphanedRecovery {
public:
    OrphanedRecovery(std::string path, FileLock lock);

    const std::string& path() const { return m_path; }
    // Becomes the given file (this copy's own) in one rename; throws KeltoError on failure.
    void adoptAs(const std::string& target);
    // Deletes the file and its lock file.
    void discard();
    // Renames the file to "<name>.damaged" (a number added when that exists) and returns the
    // new path; the file is kept for whoever wants to look at it, and no later start asks
    // about it again. Throws KeltoError when it cannot be renamed.
    std::string setAside();

private:
    std::string m_path;
    FileLock m_lock;
};

class RecoveryFolder {
public:
    // folder: where the files live; created when needed.
    explicit RecoveryFolder(std::string folder);

    const std::string& folder() const { return m_folder; }
    // Takes this copy's own name: creates and locks its lock file. Throws KeltoError when the
    // folder cannot be made or the lock not taken.
    void claimOwnName();
    bool hasOwnName() const { return m_ownLock.has_value(); }
    // This copy's recovery file (empty before claimOwnName).
    const std::string& ownFile() const { return m_ownFile; }
    // Deletes this copy's recovery file, if there is one.
    void removeOwnFile();
    // A normal end: deletes the recovery file and the lock file.
    void releaseOwnName();

    // The recovery files whose owner no longer runs, newest first, each locked by this copy.
    // Files of running copies, set-aside files and half-written temporary files are left
    // alone. Lock files without a recovery file whose owner has gone are deleted.
    std::vector<OrphanedRecovery> takeOrphans();

private:
    std::string m_folder; // with a trailing slash
    std::string m_ownFile;
    std::optional<FileLock> m_ownLock;
};

// QStandardPaths' AppLocalDataLocation + "/recovery/".
std::string defaultRecoveryFolder();

} // namespace kelto

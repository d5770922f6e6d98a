#include "document/recoveryfolder.h"

#include "base/error.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelto {

namespace {

constexpr std::string_view kStemPrefix = "kelto-";

[[noreturn]] void throwSystemError(const std::string& what, const std::string& path, int error) {
    throw KeltoError(what + " " + path + " (" + std::strerror(error) + ")");
}

bool endsWith(std::string_view s, std::string_view end) {
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool sameFile(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

bool fileExists(const std::string& path, struct stat* st = nullptr) {
    struct stat local {};
    return ::stat(path.c_str(), st ? st : &local) == 0;
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        names.emplace_back(entry->d_name);
    }
    return names;
}

} // namespace

std::string recoveryStem(long pid, uint64_t stamp) {
    return std::string(kStemPrefix) + std::to_string(pid) + "-" + std::to_string(stamp);
}

bool parseRecoveryFileName(std::string_view name, std::string* stem, long* pid) {
    if (name.substr(0, kStemPrefix.size()) != kStemPrefix || !endsWith(name, kRecoveryExtension)) {
        return false;
    }
    const std::string_view core = name.substr(kStemPrefix.size(), name.size() - kStemPrefix.size() -
                                                                      kRecoveryExtension.size());
    const size_t dash = core.find('-');
    if (dash == std::string_view::npos || !allDigits(core.substr(0, dash)) ||
        !allDigits(core.substr(dash + 1))) {
        return false;
    }
    long id = 0;
    const auto [end, error] = std::from_chars(core.data(), core.data() + dash, id);
    if (error != std::errc() || end != core.data() + dash) {
        return false;
    }
    if (stem) {
        *stem = std::string(name.substr(0, name.size() - kRecoveryExtension.size()));
    }
    if (pid) {
        *pid = id;
    }
    return true;
}

// ---- FileLock --------------------------------------------------------------------------------

std::optional<FileLock> FileLock::tryLock(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return std::nullopt;
    }
    // The file may have been deleted by the copy that held it just before we locked it; a lock
    // on a file that no longer has this name guards nothing.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !sameFile(fd, path)) {
        ::close(fd);
        return std::nullopt;
    }
    return FileLock(fd, path);
}

FileLock::FileLock(FileLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

FileLock::~FileLock() {
    release();
}

void FileLock::release() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd); // closing lets go of the lock
        m_fd = -1;
    }
}

void FileLock::writeProcessId() {
    const std::string text = std::to_string(::getpid()) + "\n";
    if (::ftruncate(m_fd, 0) != 0 || ::pwrite(m_fd, text.data(), text.size(), 0) < 0) {
        throwSystemError("Could not write", m_path, errno);
    }
}

void FileLock::removeFile() {
    if (m_fd >= 0) {
        ::unlink(m_path.c_str()); // while still held, so no one locks the old file meanwhile
    }
    release();
}

// ---- OrphanedRecovery ------------------------------------------------------------------------

OrphanedRecovery::OrphanedRecovery(std::string path, FileLock lock)
    : m_path(std::move(path)), m_lock(std::move(lock)) {}

void OrphanedRecovery::adoptAs(const std::string& target) {
    if (::rename(m_path.c_str(), target.c_str()) != 0) {
        throwSystemError("Could not rename", m_path, errno);
    }
    m_lock.removeFile();
}

void OrphanedRecovery::discard() {
    ::unlink(m_path.c_str());
    m_lock.removeFile();
}

std::string OrphanedRecovery::setAside() {
    std::string target = m_path + std::string(kDamagedExtension);
    for (int n = 2; fileExists(target); ++n) {
        target = m_path + std::string(kDamagedExtension) + "-" + std::to_string(n);
    }
    if (::rename(m_path.c_str(), target.c_str()) != 0) {
        throwSystemError("Could not rename", m_path, errno);
    }
    m_lock.removeFile();
    return target;
}

// ---- RecoveryFolder --------------------------------------------------------------------------

RecoveryFolder::RecoveryFolder(std::string folder) : m_folder(std::move(folder)) {
    if (!m_folder.empty() && m_folder.back() != '/') {
        m_folder += '/';
    }
}

void RecoveryFolder::claimOwnName() {
    if (m_ownLock) {
        return;
    }
    if (!QDir().mkpath(QString::fromStdString(m_folder))) {
        throwSystemError("Could not create the folder", m_folder, errno);
    }
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    auto stamp = uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
    // Another copy cleaning up may delete a lock file between our creating and locking it;
    // then the next stamp is tried.
    for (int attempt = 0; attempt < 8; ++attempt, ++stamp) {
        const std::string stem = m_folder + recoveryStem(long(::getpid()), stamp);
        if (fileExists(stem + std::string(kRecoveryExtension))) {
            continue;
        }
        std::optional<FileLock> lock =
            FileLock::tryLock(stem + std::string(kRecoveryLockExtension));
        if (lock) {
            lock->writeProcessId();
            m_ownLock = std::move(lock);
            m_ownFile = stem + std::string(kRecoveryExtension);
            return;
        }
    }
    throwSystemError("Could not lock a recovery file in", m_folder, errno == 0 ? EAGAIN : errno);
}

void RecoveryFolder::removeOwnFile() {
    if (!m_ownFile.empty()) {
        ::unlink(m_ownFile.c_str());
    }
}

void RecoveryFolder::releaseOwnName() {
    removeOwnFile();
    if (m_ownLock) {
        m_ownLock->removeFile();
        m_ownLock.reset();
    }
    m_ownFile.clear();
}

std::vector<OrphanedRecovery> RecoveryFolder::takeOrphans() {
    struct Found {
        OrphanedRecovery orphan;
        int64_t modified;
    };
    std::vector<Found> found;
    const std::vector<std::string> names = namesIn(m_folder);
    for (const std::string& name : names) {
        std::string stem;
        if (!parseRecoveryFileName(name, &stem) || m_folder + name == m_ownFile) {
            continue;
        }
        std::optional<FileLock> lock =
            FileLock::tryLock(m_folder + stem + std::string(kRecoveryLockExtension));
        struct stat st {};
        if (!lock) {
            continue; // its copy is running, or another copy is dealing with it
        }
        if (!fileExists(m_folder + name, &st) || !S_ISREG(st.st_mode)) {
            lock->removeFile(); // taken by another copy between the listing and the lock
            continue;
        }
        const int64_t modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        found.push_back({OrphanedRecovery(m_folder + name, std::move(*lock)), modified});
    }
    // Lock files left without a recovery file by copies that ended.
    for (const std::string& name : names) {
        if (name.substr(0, kStemPrefix.size()) != kStemPrefix ||
            !endsWith(name, kRecoveryLockExtension)) {
            continue;
        }
        const std::string stem = name.substr(0, name.size() - kRecoveryLockExtension.size());
        if (fileExists(m_folder + stem + std::string(kRecoveryExtension))) {
            continue;
        }
        if (std::optional<FileLock> lock = FileLock::tryLock(m_folder + name)) {
            lock->removeFile();
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.modified > b.modified; });
    std::vector<OrphanedRecovery> orphans;
    orphans.reserve(found.size());
    for (Found& f : found) {
        orphans.push_back(std::move(f.orphan));
    }
    return orphans;
}

std::string defaultRecoveryFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation).toStdString() +
           "/recovery/";
}

} // namespace kelto

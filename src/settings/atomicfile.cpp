#include "settings/atomicfile.h"

#include "base/error.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelto {

namespace {

constexpr std::string_view kMarker = ".kelto-tmp-";
constexpr size_t kRandomLength = 6;
// Keeps ".name.kelto-tmp-PID-XXXXXX" within the 255 bytes a file name may have.
constexpr size_t kMaxNamePart = 200;

std::atomic<TempFileKind> g_defaultKind{TempFileKind::Unnamed};

[[noreturn]] void throwWriteError(const std::string& path, int error) {
    throw KeltoError(ErrorCode::WriteFailed, path + ": " + std::strerror(error));
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A link as the target is followed so that the rename replaces the file it points to.
std::string resolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

std::string randomSuffix() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator(std::random_device{}() ^ (uint64_t(::getpid()) << 32));
    std::uniform_int_distribution<size_t> pick(0, sizeof(kLetters) - 2);
    std::string suffix(kRandomLength, 'x');
    for (char& c : suffix) {
        c = kLetters[pick(generator)];
    }
    return suffix;
}

// ".name.kelto-tmp-PID-XXXXXX" beside path: hidden, and recognisable by the folder clean-up.
std::string temporaryNameFor(const std::string& path) {
    const std::string folder = folderOf(path);
    const std::string name = nameOf(path).substr(0, kMaxNamePart);
    return (folder == "/" ? "" : folder) + "/." + name + std::string(kMarker) +
           std::to_string(::getpid()) + "-" + randomSuffix();
}

// Removes stale files the first time this process writes in a folder: a sequence of
// thousands of pictures must not scan its folder once per picture.
void cleanFolderOnce(const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> cleaned;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!cleaned.insert(folder).second) {
            return;
        }
    }
    removeStaleTemporaryFiles(folder);
}

bool ownerIsGone(long pid) {
    return pid > 0 && pid <= INT_MAX && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

void setDefaultTempFileKind(TempFileKind kind) {
    g_defaultKind = kind;
}

TempFileKind defaultTempFileKind() {
    return g_defaultKind;
}

bool isTemporaryFileName(std::string_view name, long* ownerPid) {
    const size_t marker = name.rfind(kMarker);
    if (name.size() < 2 || name[0] != '.' || marker == std::string_view::npos) {
        return false;
    }
    std::string_view rest = name.substr(marker + kMarker.size());
    const size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 10 ||
        rest.size() != dash + 1 + kRandomLength) {
        return false;
    }
    long pid = 0;
    for (char c : rest.substr(0, dash)) {
        if (c < '0' || c > '9') {
            return false;
        }
        pid = pid * 10 + (c - '0');
    }
    for (char c : rest.substr(dash + 1)) {
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) {
            return false;
        }
    }
    if (ownerPid) {
        *ownerPid = pid;
    }
    return true;
}

int removeStaleTemporaryFiles(const std::string& folder) {
    struct CloseDir {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    const std::unique_ptr<DIR, CloseDir> dir(::opendir(folder.c_str()));
    if (!dir) {
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        long pid = 0;
        if (!isTemporaryFileName(entry->d_name, &pid) || !ownerIsGone(pid)) {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && ::unlinkat(::dirfd(dir.get()), entry->d_name, 0) == 0) {
            ++removed;
        }
    }
    return removed;
}

AtomicFile::AtomicFile(const std::string& target) : AtomicFile(target, defaultTempFileKind()) {}

AtomicFile::AtomicFile(const std::string& target, TempFileKind kind)
    : m_target(target), m_path(resolveLink(target)) {
    const std::string folder = folderOf(m_path);
    cleanFolderOnce(folder);
    if (kind == TempFileKind::Unnamed) {
        openUnnamed(folder);
    }
    if (m_fd < 0) {
        openNamed();
    }
    // A replaced file keeps who may read it; a private file must not become readable to all.
    struct stat st {};
    if (::stat(m_path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::fchmod(m_fd, st.st_mode & 0777);
    }
}

AtomicFile::~AtomicFile() {
    discard();
}

void AtomicFile::openUnnamed(const std::string& folder) {
    // Linking the finished file needs its /proc/self/fd entry.
    if (::access("/proc/self/fd", X_OK) != 0) {
        return;
    }
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
        m_fd = fd;
        m_unnamed = true;
        return;
    }
    // These say the file system (or the kernel) has no unnamed files; anything else is a
    // real failure that a named file would meet too.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        throwWriteError(m_target, errno);
    }
}

void AtomicFile::openNamed() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = temporaryNameFor(m_path);
        const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_tempName = name;
            return;
        }
        if (errno != EEXIST) {
            throwWriteError(m_target, errno);
        }
    }
    throwWriteError(m_target, EEXIST);
}

std::string AtomicFile::linkUnnamed() {
    // linkat cannot replace a name, so the file gets a fresh temporary name first and the
    // rename then replaces the target in one step.
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temporaryNameFor(m_path);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return name;
        }
        const int error = errno;
        if (error == EEXIST) {
            continue;
        }
        if (::linkat(m_fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
            return name;
        }
        if (errno != EEXIST) {
            fail(error);
        }
    }
    fail(EEXIST);
}

void AtomicFile::write(const void* data, std::size_t size) {
    if (!tryWrite(data, size)) {
        throwWriteError(m_target, m_error);
    }
}

bool AtomicFile::tryWrite(const void* data, std::size_t size) noexcept {
    if (m_error != 0) {
        return false;
    }
    if (m_fd < 0) {
        m_error = EBADF;
        return false;
    }
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, next, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // A write that stores nothing without an error would loop for ever; a full
            // device is the only reason it happens.
            m_error = n < 0 ? errno : ENOSPC;
            return false;
        }
        next += n;
        size -= size_t(n);
    }
    return true;
}

void AtomicFile::checkWrites() const {
    if (m_error != 0) {
        throwWriteError(m_target, m_error);
    }
}

void AtomicFile::commit() {
    if (m_error != 0) {
        fail(m_error);
    }
    if (m_fd < 0) {
        fail(EBADF);
    }
    if (::fsync(m_fd) != 0) {
        fail(errno);
    }
    if (m_unnamed) {
        m_tempName = linkUnnamed();
    }
    closeDescriptor();
    if (::rename(m_tempName.c_str(), m_path.c_str()) != 0) {
        fail(errno);
    }
    // The folder is not synced: after a power cut the rename may be undone, which brings back
    // the whole old file, and syncing it would triple the cost of every picture of a sequence.
    m_tempName.clear();
}

void AtomicFile::closeDescriptor() {
    const int fd = m_fd;
    m_fd = -1;
    // Some file systems report a failed write only here.
    if (::close(fd) != 0 && errno != EINTR) {
        fail(errno);
    }
}

void AtomicFile::discard() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempName.empty()) {
        ::unlink(m_tempName.c_str());
        m_tempName.clear();
    }
}

void AtomicFile::fail(int error) {
    discard();
    throwWriteError(m_target, error);
}

void ignoreFileSizeSignal() {
    std::signal(SIGXFSZ, SIG_IGN);
}

void writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
    writeFileReplacing(path, bytes.data(), bytes.size());
}

void writeFileReplacing(const std::string& path, const void* data, std::size_t size) {
    AtomicFile file(path);
    file.write(data, size);
    file.commit();
}

} // namespace kelto

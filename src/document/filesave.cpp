#include "document/filesave.h"

#include "settings/errorreporter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelto {

namespace {

[[noreturn]] void writeFailed(const std::string& path, int error) {
    throw KeltoError("Could not write " + path + ": " + std::strerror(error));
}

// Removes the temporary file unless it was renamed over the target.
struct TemporaryFile {
    std::string path;
    int fd = -1;
    bool renamed = false;
    ~TemporaryFile() {
        if (fd >= 0) {
            ::close(fd);
        }
        if (!renamed && !path.empty()) {
            ::unlink(path.c_str());
        }
    }
};

} // namespace

void writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
    // Every step is checked by hand: a short write (a full disk, a file size limit) must fail
    // the save rather than put a cut-off file in place of the old one.
    TemporaryFile temp;
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof(suffix));
    temp.fd = ::mkstemp(name.data());
    if (temp.fd < 0) {
        writeFailed(path, errno);
    }
    temp.path = name.data();
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(temp.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            writeFailed(path, n < 0 ? errno : ENOSPC);
        }
        done += size_t(n);
    }
    // Keep the permissions a new file would get, as an editor saving in place would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(temp.fd, 0666 & ~mask);
    if (::fsync(temp.fd) != 0) {
        writeFailed(path, errno);
    }
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0) {
        writeFailed(path, errno);
    }
    if (::rename(temp.path.c_str(), path.c_str()) != 0) {
        writeFailed(path, errno);
    }
    temp.renamed = true;
}

} // namespace kelto

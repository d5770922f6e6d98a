#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelto {

// How the file being written lives until it is complete. Unnamed files (O_TMPFILE) vanish by
// themselves when the program dies; named ones carry the owner's process id, so a later write
// in that folder recognises and removes them once their owner is gone. Unnamed falls back to
// named where the file system offers no unnamed files.
enum class TempFileKind { Unnamed, Named };

// Every file the program writes goes through this class: the bytes go to a temporary file in
// the target's folder, every write, the flush to disk and the close are checked, and only when
// all of them succeeded does the file take the target's name in one rename. Until then, and
// whenever anything fails, a previous file of that name stays as it was byte for byte, and a
// failure throws KeltoError naming the file and the system's reason.
//
// A file that already exists keeps its permission bits; a new one gets 0666 less the umask.
// A symbolic link as the target is followed, so the link stays a link.
class AtomicFile {
public:
    // Creates the temporary file; throws KeltoError when that is not possible.
    explicit AtomicFile(const std::string& target);
    AtomicFile(const std::string& target, TempFileKind kind);
    // Discards the temporary file unless commit() succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // The path as given, for messages.
    const std::string& target() const { return m_target; }
    // Whether the temporary file has no name (tests use this to see which way was taken).
    bool isUnnamed() const { return m_unnamed; }
    // The open descriptor, for libraries that seek (the position is shared with write()).
    int descriptor() const { return m_fd; }

    // Writes all of the bytes or throws.
    void write(const void* data, std::size_t size);
    // For callbacks of C libraries, which cannot carry exceptions: returns false on failure and
    // keeps the reason, which checkWrites() and commit() then report. After one failure every
    // later write fails too, so a file with a hole can never be committed.
    bool tryWrite(const void* data, std::size_t size) noexcept;
    // Throws the failure a tryWrite() met, if any.
    void checkWrites() const;
    // Flushes to disk, closes and puts the file in place; throws when any step failed, in
    // which case the temporary file is gone and the target untouched.
    void commit();
    // Drops the temporary file; the target stays untouched.
    void discard() noexcept;

private:
    [[noreturn]] void fail(int error);
    void openUnnamed(const std::string& folder);
    void openNamed();
    std::string linkUnnamed();
    void closeDescriptor();

    std::string m_target;
    std::string m_path; // the resolved target the rename replaces
    std::string m_tempName;
    int m_fd = -1;
    int m_error = 0;
    bool m_unnamed = false;
};

// The kind AtomicFile uses when none is given: Unnamed, unless a test forces the fallback.
void setDefaultTempFileKind(TempFileKind kind);
TempFileKind defaultTempFileKind();

// Writes the bytes through an AtomicFile. Throws KeltoError on failure.
void writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes);
void writeFileReplacing(const std::string& path, const void* data, std::size_t size);

// A write beyond the process's file-size limit raises SIGXFSZ, which ends the program unless
// ignored. The programs call this at start, so such a write fails like a full disk does and
// is reported instead.
void ignoreFileSizeSignal();

// Whether name (without folder) is one of our temporary files; gives its owner's process id.
bool isTemporaryFileName(std::string_view name, long* ownerPid = nullptr);
// Removes the temporary files in folder whose owner process is gone. AtomicFile calls this for
// a folder the first time it writes there in a process; returns how many it removed.
int removeStaleTemporaryFiles(const std::string& folder);

} // namespace kelto

#pragma once

#include "document/autosavepolicy.h"
#include "document/document.h"
#include "model/figures.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <vector>

namespace kelto {

class EditSession;

// A recovery file: a short header (what the editor needs besides the document: the user's
// file name, the frame being edited, when it was written), then the document as a zlib stream
// of a .kel record whose last frame is the editor's new frame after the stored ones, with the
// edit not yet recorded on the canvas included. Everything is in the record format the
// program already reads and checks, so a damaged file is refused the same way.

inline constexpr size_t kMaxRecoveryNameBytes = 4096;

// What the session holds, gathered on the UI thread; compressing and writing it happens
// elsewhere.
struct RecoverySnapshot {
    int64_t savedAtMs = 0; // milliseconds since 1970 (UTC)
    std::string fileName;  // the document's own file; empty when never saved
    int32_t editFrameIndex = -1;
    bool hasNewFrame = true;
    std::vector<std::vector<uint8_t>> record; // the record's pieces, in order
    size_t recordSize() const;
};

// Takes the snapshot a slice at a time, so that a large document never holds the UI thread
// for long: the stored frames are written in slices of a time budget each, and the parts that
// can change without the history moving (the frame being edited, the new frame, the rate)
// in the last slice. A slice that finds the stamp changed since the
// first one answers Stale, and the caller starts again.
class SnapshotBuilder {
public:
    enum class Step { More, Done, Stale };

    SnapshotBuilder(const EditSession& session, const ContentStamp& stamp);
    Step step(const EditSession& session, const ContentStamp& now,
              std::chrono::steady_clock::duration budget);
    const ContentStamp& stamp() const { return m_stamp; }
    RecoverySnapshot take() { return std::move(m_snapshot); }

private:
    void closePiece();
    void finish(const EditSession& session);

    static constexpr size_t kPieceBytes = size_t(4) << 20;

    ContentStamp m_stamp;
    RecoverySnapshot m_snapshot;
    std::vector<uint8_t> m_piece;
    int m_next = 0;
    std::optional<size_t> m_editPiece; // where the frame being edited goes
    bool m_headWritten = false;
    // A document at the frame limit has no room for the new frame in the record; the editor
    // makes a fresh one from the last frame when it is missing.
    bool m_hasNewFrame = true;
};

// Takes the whole snapshot at once (small documents, tests).
RecoverySnapshot takeSnapshot(const EditSession& session);

// Compresses the snapshot and writes it to path through an AtomicFile: until the new file is
// complete the previous one stays whole. When cancel becomes true the write stops and nothing
// is written. Throws KeltoError when the file cannot be written.
void writeRecoveryFile(const std::string& path, const RecoverySnapshot& snapshot,
                       const std::atomic<bool>* cancel = nullptr);

// What a recovery file brings back.
struct RecoveredWork {
    Document document;
    Figures newFrame;
    int editFrameIndex = -1;
    std::string fileName;
    int64_t savedAtMs = 0;
};

// Reads a recovery file whole. Throws KeltoError when it cannot be read, is cut short or is
// not a recovery file; the document read is checked like an opened .kel file.
RecoveredWork readRecoveryFile(const std::string& path);

// One recovery write at a time on a thread of its own.
class RecoveryWriter {
public:
    RecoveryWriter() = default;
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;
    // Stops a write in progress and waits for its thread.
    ~RecoveryWriter();

    bool busy() const { return m_job.valid(); }
    void start(std::string path, RecoverySnapshot snapshot);
    // Once the write has ended: empty on success, else the failure's message. nullopt while it
    // runs or when none was started.
    std::optional<std::string> finished();
    // Stops the write in progress (nothing is written) and waits for it.
    void cancel();

private:
    std::atomic<bool> m_cancel{false};
    std::future<std::string> m_job;
};

} // namespace kelto

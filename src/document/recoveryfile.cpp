#include "document/recoveryfile.h"

#include "base/error.h"
#include "document/editsession.h"
#include "document/kelformat.h"
#include "graphics/imagecodecs.h"
#include "settings/atomicfile.h"

#include <zlib.h>

#include <cstring>
#include <limits>
#include <new>

namespace kelto {

namespace {

constexpr char kMagic[8] = {'K', 'E', 'L', 'T', 'O', 'R', 'E', 'C'};
constexpr uint8_t kFormatVersion = 1;
constexpr uint8_t kFlagNewFrame = 1;
// magic, version, flags, edit frame, time, name length
constexpr size_t kFixedHeaderBytes = sizeof(kMagic) + 1 + 1 + 4 + 8 + 2;

[[noreturn]] void damaged(const std::string& why) {
    throw KeltoError("The recovery file is damaged (" + why + ")");
}

template <class T>
void putValue(std::vector<uint8_t>& out, T value) {
    const size_t at = out.size();
    out.resize(at + sizeof(T));
    std::memcpy(out.data() + at, &value, sizeof(T));
}

template <class T>
T getValue(const std::vector<uint8_t>& in, size_t& at) {
    T value;
    std::memcpy(&value, in.data() + at, sizeof(T));
    at += sizeof(T);
    return value;
}

std::vector<uint8_t> headerBytes(const RecoverySnapshot& s) {
    if (s.fileName.size() > kMaxRecoveryNameBytes) {
        throw KeltoError("The file name is too long for a recovery file");
    }
    std::vector<uint8_t> out(kMagic, kMagic + sizeof(kMagic));
    putValue<uint8_t>(out, kFormatVersion);
    putValue<uint8_t>(out, s.hasNewFrame ? kFlagNewFrame : 0);
    putValue<int32_t>(out, s.editFrameIndex);
    putValue<int64_t>(out, s.savedAtMs);
    putValue<uint16_t>(out, static_cast<uint16_t>(s.fileName.size()));
    out.insert(out.end(), s.fileName.begin(), s.fileName.end());
    return out;
}

struct Header {
    uint8_t flags = 0;
    int32_t editFrameIndex = -1;
    int64_t savedAtMs = 0;
    std::string fileName;
    size_t size = 0; // where the zlib stream starts
};

Header parseHeader(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < kFixedHeaderBytes ||
        std::memcmp(bytes.data(), kMagic, sizeof(kMagic)) != 0) {
        damaged("no recovery header");
    }
    size_t at = sizeof(kMagic);
    if (getValue<uint8_t>(bytes, at) != kFormatVersion) {
        damaged("unknown version");
    }
    Header h;
    h.flags = getValue<uint8_t>(bytes, at);
    h.editFrameIndex = getValue<int32_t>(bytes, at);
    h.savedAtMs = getValue<int64_t>(bytes, at);
    const size_t nameBytes = getValue<uint16_t>(bytes, at);
    if ((h.flags & ~kFlagNewFrame) != 0 || nameBytes > kMaxRecoveryNameBytes ||
        bytes.size() - at < nameBytes) {
        damaged("bad header");
    }
    h.fileName.assign(reinterpret_cast<const char*>(bytes.data() + at), nameBytes);
    h.size = at + nameBytes;
    return h;
}

// Deflates the pieces straight into the file, a buffer at a time.
class StreamDeflater {
public:
    explicit StreamDeflater(AtomicFile& file) : m_file(file) {
        // Speed over size: the file lives only until the work is saved.
        if (deflateInit(&m_z, Z_BEST_SPEED) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~StreamDeflater() { deflateEnd(&m_z); }
    StreamDeflater(const StreamDeflater&) = delete;
    StreamDeflater& operator=(const StreamDeflater&) = delete;

    // False when cancelled.
    bool add(const std::vector<uint8_t>& piece, const std::atomic<bool>* cancel) {
        size_t done = 0;
        while (done < piece.size()) {
            if (cancel && cancel->load(std::memory_order_relaxed)) {
                return false;
            }
            const size_t n = std::min<size_t>(piece.size() - done, size_t(1) << 20);
            run(piece.data() + done, n, Z_NO_FLUSH);
            done += n;
        }
        return true;
    }
    void end() { run(nullptr, 0, Z_FINISH); }

private:
    void run(const uint8_t* data, size_t size, int flush) {
        m_z.next_in = const_cast<Bytef*>(data);
        m_z.avail_in = static_cast<uInt>(size);
        int result = Z_OK;
        do {
            m_z.next_out = m_out;
            m_z.avail_out = sizeof(m_out);
            result = deflate(&m_z, flush);
            if (result == Z_STREAM_ERROR) {
                throw KeltoError("Compressing the recovery file failed");
            }
            m_file.write(m_out, sizeof(m_out) - m_z.avail_out);
        } while (m_z.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
    }

    AtomicFile& m_file;
    z_stream m_z{};
    uint8_t m_out[256 * 1024];
};

} // namespace

size_t RecoverySnapshot::recordSize() const {
    size_t total = 0;
    for (const std::vector<uint8_t>& piece : record) {
        total += piece.size();
    }
    return total;
}

// ---- SnapshotBuilder -------------------------------------------------------------------------

SnapshotBuilder::SnapshotBuilder(const EditSession& session, const ContentStamp& stamp)
    : m_stamp(stamp) {
    m_snapshot.record.emplace_back(); // the head, written last
    m_snapshot.editFrameIndex = session.editFrameIndex();
    m_piece.reserve(kPieceBytes + 4096);
}

void SnapshotBuilder::closePiece() {
    if (!m_piece.empty()) {
        m_snapshot.record.push_back(std::move(m_piece));
        m_piece = {};
        m_piece.reserve(kPieceBytes + 4096);
    }
}

SnapshotBuilder::Step SnapshotBuilder::step(const EditSession& session, const ContentStamp& now,
                                            std::chrono::steady_clock::duration budget) {
    if (now != m_stamp) {
        return Step::Stale;
    }
    const Document& doc = session.document();
    const auto deadline = std::chrono::steady_clock::now() + budget;
    if (!m_headWritten) {
        // Pictures and types can be large, so they take the first slice; a change to them
        // notifies the document's observers, which changes the stamp.
        m_hasNewFrame = doc.frameCount() < kMaxFrames;
        m_snapshot.record.front() =
            writeRecordHead(doc, doc.frameCount() + (m_hasNewFrame ? 1 : 0));
        m_headWritten = true;
    }
    while (m_next < doc.frameCount()) {
        const int index = m_next++;
        if (index == m_stamp.editFrameIndex) {
            closePiece();
            m_editPiece = m_snapshot.record.size();
            m_snapshot.record.emplace_back();
            continue;
        }
        appendFrameRecord(doc, doc.frames[size_t(index)], m_piece);
        if (m_piece.size() >= kPieceBytes) {
            closePiece();
        }
        if ((m_next & 63) == 0 && std::chrono::steady_clock::now() >= deadline) {
            return Step::More;
        }
    }
    finish(session);
    return Step::Done;
}

void SnapshotBuilder::finish(const EditSession& session) {
    const Document& doc = session.document();
    m_snapshot.hasNewFrame = m_hasNewFrame;
    if (m_editPiece) {
        appendFrameRecord(doc, doc.frames[size_t(m_stamp.editFrameIndex)],
                          m_snapshot.record[*m_editPiece]);
    }
    if (m_snapshot.hasNewFrame) {
        appendFrameRecord(doc, session.newFrame(), m_piece);
    }
    closePiece();
    m_snapshot.record.push_back(writeRecordTail(doc));
    m_snapshot.fileName = doc.currentFileName;
    m_snapshot.savedAtMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
}

RecoverySnapshot takeSnapshot(const EditSession& session) {
    const ContentStamp stamp = contentStamp(session, 0);
    SnapshotBuilder builder(session, stamp);
    while (builder.step(session, stamp, std::chrono::hours(1)) != SnapshotBuilder::Step::Done) {
    }
    return builder.take();
}

// ---- writing and reading ---------------------------------------------------------------------

void writeRecoveryFile(const std::string& path, const RecoverySnapshot& snapshot,
                       const std::atomic<bool>* cancel) {
    AtomicFile file(path);
    const std::vector<uint8_t> header = headerBytes(snapshot);
    file.write(header.data(), header.size());
    StreamDeflater deflater(file);
    for (const std::vector<uint8_t>& piece : snapshot.record) {
        if (!deflater.add(piece, cancel)) {
            file.discard();
            return;
        }
    }
    deflater.end();
    file.commit();
}

RecoveredWork readRecoveryFile(const std::string& path) {
    const std::vector<uint8_t> bytes = readWholeFile(path);
    const Header header = parseHeader(bytes);
    const std::vector<uint8_t> stream(bytes.begin() + std::ptrdiff_t(header.size), bytes.end());
    RecoveredWork work{readKelFile(stream), Figures(), header.editFrameIndex, header.fileName,
                       header.savedAtMs};
    Document& doc = work.document;
    if ((header.flags & kFlagNewFrame) != 0) {
        if (doc.frames.empty()) {
            damaged("no new frame");
        }
        work.newFrame = std::move(doc.frames.back());
        doc.frames.pop_back();
    } else if (!doc.frames.empty()) {
        work.newFrame.assign(doc.frames.back());
        work.newFrame.timelineSelected = 0;
        work.newFrame.repeatCount = 1;
    }
    if (work.editFrameIndex < -1 || work.editFrameIndex >= doc.frameCount()) {
        damaged("frame being edited out of range");
    }
    doc.documentSaved = false;
    doc.currentFileName = header.fileName;
    return work;
}

// ---- RecoveryWriter --------------------------------------------------------------------------

RecoveryWriter::~RecoveryWriter() {
    cancel();
}

void RecoveryWriter::start(std::string path, RecoverySnapshot snapshot) {
    cancel();
    m_cancel = false;
    m_job = std::async(std::launch::async,
                       [this, path = std::move(path), snapshot = std::move(snapshot)]() {
                           try {
                               writeRecoveryFile(path, snapshot, &m_cancel);
                               return std::string();
                           } catch (const std::exception& e) {
                               const std::string message = e.what();
                               return message.empty() ? std::string("write failed") : message;
                           }
                       });
}

std::optional<std::string> RecoveryWriter::finished() {
    if (!m_job.valid() || m_job.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return std::nullopt;
    }
    return m_job.get();
}

void RecoveryWriter::cancel() {
    if (m_job.valid()) {
        m_cancel = true;
        m_job.wait();
        m_job = {};
    }
}

} // namespace kelto

#include "document/zstream.h"

#include "base/error.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace kelto {

namespace {

constexpr size_t kPiece = 64 * 1024;

// zlib counts in 32-bit units; larger inputs are fed in slices of this size.
constexpr size_t kMaxSlice = std::numeric_limits<uInt>::max() / 2;

} // namespace

std::vector<uint8_t> compressStream(const uint8_t* data, size_t size) {
    z_stream z{};
    if (deflateInit(&z, 9) != Z_OK) {
        throw KeltoError("Could not start compression");
    }
    std::vector<uint8_t> out;
    // deflateBound is exact enough to make one allocation suffice in practice.
    out.resize(deflateBound(&z, static_cast<uLong>(size < kMaxSlice ? size : kMaxSlice)) + 64);
    size_t produced = 0;
    size_t consumed = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (z.avail_in == 0 && consumed < size) {
            const size_t slice = size - consumed < kMaxSlice ? size - consumed : kMaxSlice;
            z.next_in = const_cast<Bytef*>(data + consumed);
            z.avail_in = static_cast<uInt>(slice);
            consumed += slice;
        }
        if (produced == out.size()) {
            out.resize(out.size() * 2);
        }
        const size_t room = out.size() - produced < kMaxSlice ? out.size() - produced : kMaxSlice;
        z.next_out = out.data() + produced;
        z.avail_out = static_cast<uInt>(room);
        rc = deflate(&z, consumed == size ? Z_FINISH : Z_NO_FLUSH);
        produced += room - z.avail_out;
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            deflateEnd(&z);
            throw KeltoError("Compression failed");
        }
    }
    deflateEnd(&z);
    out.resize(produced);
    return out;
}

std::vector<uint8_t> decompressStream(const uint8_t* data, size_t size, size_t maxSize) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        throw KeltoError("Could not start decompression");
    }
    std::vector<uint8_t> out;
    size_t consumed = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (z.avail_in == 0) {
            if (consumed == size) {
                inflateEnd(&z);
                throw KeltoError("The compressed data ends early");
            }
            const size_t slice = size - consumed < kPiece ? size - consumed : kPiece;
            z.next_in = const_cast<Bytef*>(data + consumed);
            z.avail_in = static_cast<uInt>(slice);
            consumed += slice;
        }
        if (out.size() >= maxSize) {
            inflateEnd(&z);
            throw KeltoError("The compressed data is too large");
        }
        const size_t at = out.size();
        const size_t piece = maxSize - at < kPiece ? maxSize - at : kPiece;
        out.resize(at + piece);
        z.next_out = out.data() + at;
        z.avail_out = static_cast<uInt>(piece);
        rc = inflate(&z, Z_NO_FLUSH);
        out.resize(at + piece - z.avail_out);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            inflateEnd(&z);
            throw KeltoError("The compressed data is damaged");
        }
    }
    inflateEnd(&z);
    out.shrink_to_fit();
    return out;
}

void InflateSource::ZDeleter::operator()(z_stream_s* z) const {
    inflateEnd(z);
    delete z;
}

InflateSource::InflateSource(const uint8_t* data, size_t size, size_t maxSize)
    : m_data(data), m_size(size), m_maxSize(maxSize) {
    auto z = std::make_unique<z_stream>();
    if (inflateInit(z.get()) != Z_OK) {
        throw KeltoError("Could not start decompression");
    }
    m_z.reset(z.release());
}

InflateSource::~InflateSource() = default;

size_t InflateSource::inflateInto(uint8_t* out, size_t room) {
    z_stream& z = *m_z;
    size_t made = 0;
    while (made == 0 && !m_ended) {
        if (z.avail_in == 0) {
            if (m_consumed == m_size) {
                throw KeltoError("The compressed data ends early");
            }
            const size_t slice = m_size - m_consumed < kPiece ? m_size - m_consumed : kPiece;
            z.next_in = const_cast<Bytef*>(m_data + m_consumed);
            z.avail_in = static_cast<uInt>(slice);
            m_consumed += slice;
        }
        if (m_produced == m_maxSize) {
            throw KeltoError("The compressed data is too large");
        }
        const size_t piece = std::min({room, m_maxSize - m_produced, kMaxSlice});
        z.next_out = out;
        z.avail_out = static_cast<uInt>(piece);
        const int rc = inflate(&z, Z_NO_FLUSH);
        made = piece - z.avail_out;
        m_produced += made;
        if (rc == Z_STREAM_END) {
            m_ended = true;
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            throw KeltoError("The compressed data is damaged");
        }
    }
    return made;
}

size_t InflateSource::readSome(std::vector<uint8_t>& out, size_t want) {
    if (m_ended || want == 0) {
        return 0;
    }
    const size_t at = out.size();
    const size_t room = std::min(want, maxRemaining() == 0 ? size_t(1) : maxRemaining());
    out.resize(at + room);
    size_t made = 0;
    try {
        made = inflateInto(out.data() + at, room);
    } catch (...) {
        out.resize(at);
        throw;
    }
    out.resize(at + made);
    return made;
}

void InflateSource::finish() {
    std::vector<uint8_t> scratch(kPiece);
    while (!m_ended) {
        inflateInto(scratch.data(), scratch.size());
    }
}

InflateAheadSource::InflateAheadSource(const uint8_t* data, size_t size, size_t maxSize)
    : m_inflater(data, size, maxSize), m_maxSize(maxSize), m_thread([this] { produce(); }) {}

InflateAheadSource::~InflateAheadSource() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void InflateAheadSource::produce() {
    try {
        for (;;) {
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_stop || m_ready.size() < kChunks; });
                if (m_stop) {
                    return;
                }
            }
            std::vector<uint8_t> chunk;
            chunk.reserve(kChunkSize);
            // Filled in the pieces a reader would ask for, so limits and errors fall where
            // they fall without this thread.
            while (chunk.size() < kChunkSize &&
                   m_inflater.readSome(chunk, kChunkSize - chunk.size()) > 0) {
            }
            const bool ended = chunk.size() < kChunkSize;
            {
                const std::lock_guard lock(m_mutex);
                if (!chunk.empty()) {
                    m_ready.push_back(std::move(chunk));
                }
                m_ended = ended;
            }
            m_changed.notify_all();
            if (ended) {
                return;
            }
        }
    } catch (...) {
        {
            const std::lock_guard lock(m_mutex);
            m_error = std::current_exception();
        }
        m_changed.notify_all();
    }
}

bool InflateAheadSource::nextChunk() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_ready.empty() || m_ended || m_error; });
    if (m_ready.empty()) {
        if (m_error) {
            std::rethrow_exception(m_error);
        }
        return false;
    }
    m_current = std::move(m_ready.front());
    m_ready.pop_front();
    m_currentPos = 0;
    lock.unlock();
    m_changed.notify_all();
    return true;
}

size_t InflateAheadSource::readSome(std::vector<uint8_t>& out, size_t want) {
    if (want == 0) {
        return 0;
    }
    if (m_currentPos == m_current.size() && !nextChunk()) {
        return 0;
    }
    const size_t n = std::min(want, m_current.size() - m_currentPos);
    out.insert(out.end(), m_current.begin() + std::ptrdiff_t(m_currentPos),
               m_current.begin() + std::ptrdiff_t(m_currentPos + n));
    m_currentPos += n;
    m_delivered += n;
    return n;
}

void InflateAheadSource::finish() {
    std::vector<uint8_t> scratch;
    for (;;) {
        scratch.clear();
        if (readSome(scratch, kChunkSize) == 0) {
            return;
        }
    }
}

} // namespace kelto

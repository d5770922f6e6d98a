#include "graphics/bytestream.h"

#include <algorithm>

namespace kelto {

namespace {

// Pulled from a source at least this much at a time, so the per-call cost stays small, and at
// most this much, so the window grows with the bytes that arrive, not with what a count claims.
constexpr size_t kMinPull = 64 * 1024;
constexpr size_t kMaxPull = 1024 * 1024;

[[noreturn]] void endOfData() {
    throw KeltoError("Unexpected end of data");
}

} // namespace

bool ByteReader::available(size_t n) {
    if (n <= m_size - m_pos) {
        return true;
    }
    if (!m_source || n - (m_size - m_pos) > m_source->maxRemaining()) {
        return false;
    }
    return tryFill(n);
}

void ByteReader::fill(size_t n) {
    if (!tryFill(n)) {
        endOfData();
    }
}

bool ByteReader::tryFill(size_t n) {
    const size_t unread = m_size - m_pos;
    // A count the stream cannot hold is refused before anything is inflated for it.
    if (!m_source || n - unread > m_source->maxRemaining()) {
        return false;
    }
    // Bytes already read are dropped; the unread ones move to the front of the window.
    if (m_pos > 0) {
        std::memmove(m_window.data(), m_window.data() + m_pos, unread);
        m_window.resize(unread);
        m_base += m_pos;
        m_pos = 0;
    }
    while (m_window.size() < n) {
        const size_t want = std::clamp(n - m_window.size(), kMinPull, kMaxPull);
        const size_t got = m_source->readSome(m_window, want);
        m_data = m_window.data();
        m_size = m_window.size();
        if (got == 0) {
            return false;
        }
    }
    m_data = m_window.data();
    m_size = m_window.size();
    return true;
}

} // namespace kelto

#pragma once

#include "graphics/bytestream.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct z_stream_s;

namespace kelto {

// Largest record we accept from one zlib stream. Big enough for a 100,000-frame animation with
// ten figures in every frame, small enough that a tiny hostile file cannot take all memory.
inline constexpr size_t kMaxInflatedSize = size_t(512) << 20;

// One zlib stream (header, deflate data, Adler-32) at level 9.
std::vector<uint8_t> compressStream(const uint8_t* data, size_t size);
inline std::vector<uint8_t> compressStream(const std::vector<uint8_t>& bytes) {
    return compressStream(bytes.data(), bytes.size());
}

// Inflates one whole zlib stream in 64 KiB pieces. Throws KeltoError when the data is not a
// complete zlib stream or would inflate beyond maxSize. Bytes after the stream's end are ignored.
std::vector<uint8_t> decompressStream(const uint8_t* data, size_t size,
                                      size_t maxSize = kMaxInflatedSize);
inline std::vector<uint8_t> decompressStream(const std::vector<uint8_t>& bytes,
                                             size_t maxSize = kMaxInflatedSize) {
    return decompressStream(bytes.data(), bytes.size(), maxSize);
}

// Inflates one zlib stream piece by piece as a reader asks for bytes, so that parsing goes hand in
// hand with inflating. The same checks as decompressStream apply, with the same messages.
class InflateSource : public ByteSource {
public:
    InflateSource(const uint8_t* data, size_t size, size_t maxSize = kMaxInflatedSize);
    ~InflateSource() override;
    InflateSource(const InflateSource&) = delete;
    InflateSource& operator=(const InflateSource&) = delete;

    size_t readSome(std::vector<uint8_t>& out, size_t want) override;
    size_t maxRemaining() const override { return m_maxSize - m_produced; }

    // Inflates what the reader left unread, without keeping it, so that a stream that is damaged,
    // cut short or too large further on is refused as decompressStream refuses it.
    void finish();

private:
    size_t inflateInto(uint8_t* out, size_t room);

    struct ZDeleter {
        void operator()(z_stream_s* z) const;
    };
    std::unique_ptr<z_stream_s, ZDeleter> m_z;
    const uint8_t* m_data;
    size_t m_size;
    size_t m_consumed = 0;
    size_t m_maxSize;
    size_t m_produced = 0;
    bool m_ended = false;
};

// Compressed files from this size on are inflated on a second thread while the first one parses;
// smaller ones would gain less than a thread start costs.
inline constexpr size_t kInflateAheadFrom = 256 * 1024;

// An InflateSource whose inflating runs on its own thread, a few chunks ahead of the reader, so
// that inflating and parsing overlap. The reader sees the same bytes, limits and errors: an error
// comes after every byte the stream produced before it. At most kChunks chunks wait, so memory
// stays bounded however far behind the reader falls. The thread stops when the reader is
// destroyed, whether it finished, stopped early or threw.
class InflateAheadSource : public ByteSource {
public:
    InflateAheadSource(const uint8_t* data, size_t size, size_t maxSize = kMaxInflatedSize);
    ~InflateAheadSource() override;
    InflateAheadSource(const InflateAheadSource&) = delete;
    InflateAheadSource& operator=(const InflateAheadSource&) = delete;

    size_t readSome(std::vector<uint8_t>& out, size_t want) override;
    size_t maxRemaining() const override { return m_maxSize - m_delivered; }

    // Like InflateSource::finish: the rest of the stream is checked to its end.
    void finish();

private:
    static constexpr size_t kChunkSize = 1024 * 1024;
    static constexpr size_t kChunks = 3;

    void produce();
    // Waits for the next chunk; false at the stream's end. Rethrows the producer's error.
    bool nextChunk();

    InflateSource m_inflater; // used by the producer thread only once it runs
    size_t m_maxSize;
    size_t m_delivered = 0;
    std::vector<uint8_t> m_current;
    size_t m_currentPos = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<uint8_t>> m_ready;
    std::exception_ptr m_error;
    bool m_ended = false;
    bool m_stop = false;
    std::thread m_thread; // last, so it starts after everything it uses
};

} // namespace kelto

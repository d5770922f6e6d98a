#pragma once

#include "graphics/bytestream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
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

} // namespace kelto

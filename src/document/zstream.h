#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

} // namespace kelto

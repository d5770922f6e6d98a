#pragma once

#include "base/error.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace kelto {

// Every file format the program reads and writes stores numbers little-endian, and these
// classes (like the pixel and record code built on them) copy numbers as the machine holds
// them. A big-endian build would read every file wrongly, so it is refused here.
static_assert(std::endian::native == std::endian::little,
              "the byte readers and writers assume a little-endian machine");

// Little-endian writer into a growing memory buffer: files are built whole in memory and
// written at once.
class ByteWriter {
public:
    template <class T>
    void put(T value) {
        static_assert(std::is_trivially_copyable_v<T>);
        const size_t at = m_bytes.size();
        m_bytes.resize(at + sizeof(T));
        std::memcpy(m_bytes.data() + at, &value, sizeof(T));
    }
    void putBytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), p, p + size);
    }
    // One length byte, then that many 8-bit characters (names longer than 255 are cut).
    void putShortString(const std::string& s) {
        const size_t n = s.size() < 255 ? s.size() : 255;
        put<uint8_t>(static_cast<uint8_t>(n));
        putBytes(s.data(), n);
    }
    size_t size() const { return m_bytes.size(); }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }
    std::vector<uint8_t>& bytes() { return m_bytes; }
    // Overwrites already written bytes, for sizes and end positions known only later.
    template <class T>
    void patch(size_t at, T value) {
        std::memcpy(m_bytes.data() + at, &value, sizeof(T));
    }

private:
    std::vector<uint8_t> m_bytes;
};

// Supplies the bytes of a stream piece by piece, so that a reader can parse while the stream is
// being inflated and refuse nonsense before the rest of it is produced.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Appends between 1 and `want` bytes to out and returns how many; 0 once the stream has
    // ended. Throws KeltoError when the stream is damaged or passes its size limit.
    virtual size_t readSome(std::vector<uint8_t>& out, size_t want) = 0;
    // How many more bytes the stream may produce at most.
    virtual size_t maxRemaining() const = 0;
};

// Bounds-checked little-endian reader over untrusted bytes: every read that would pass the end
// throws KeltoError, so a truncated or hostile input never reads outside its buffer.
//
// It reads either a buffer held by the caller or a ByteSource. With a source it keeps a window
// of the stream and pulls more only when a read needs it, so memory follows what the parser has
// accepted, not what the stream claims to hold. Pointers from take() and peek() stay valid until
// the next read. pos() counts from the start of the stream either way.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    explicit ByteReader(const std::vector<uint8_t>& bytes)
        : ByteReader(bytes.data(), bytes.size()) {}
    explicit ByteReader(ByteSource& source) : m_data(nullptr), m_size(0), m_source(&source) {}
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    template <class T>
    T get() {
        static_assert(std::is_trivially_copyable_v<T>);
        need(sizeof(T));
        T value;
        std::memcpy(&value, m_data + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return value;
    }
    void getBytes(void* out, size_t size) {
        need(size);
        if (size == 0) {
            return; // an empty vector's data() may be null, which memcpy must not see
        }
        std::memcpy(out, m_data + m_pos, size);
        m_pos += size;
    }
    const uint8_t* take(size_t size) {
        need(size);
        const uint8_t* p = m_data + m_pos;
        m_pos += size;
        return p;
    }
    // The next `size` bytes without consuming them.
    const uint8_t* peek(size_t size) {
        need(size);
        return m_data + m_pos;
    }
    std::string getShortString() {
        const uint8_t n = get<uint8_t>();
        const uint8_t* p = take(n);
        return std::string(reinterpret_cast<const char*>(p), n);
    }
    void skip(size_t size) { take(size); }
    size_t pos() const { return m_base + m_pos; }
    // Bytes held and not yet read: all that is left of a buffer; of a stream, what has been
    // inflated so far (more may follow).
    size_t remaining() const { return m_size - m_pos; }

    // Throws unless at least n more bytes are there; also guards counts before allocating.
    void need(size_t n) {
        if (n > m_size - m_pos) {
            fill(n);
        }
    }
    // Whether n more bytes are there; like need() but answers instead of throwing at the end.
    bool available(size_t n);

private:
    // Pull from the source until n unread bytes are held; at the end of the data fill throws and
    // tryFill answers false. A damaged source throws from both.
    void fill(size_t n);
    bool tryFill(size_t n);

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    size_t m_base = 0; // stream position of m_data[0]
    ByteSource* m_source = nullptr;
    std::vector<uint8_t> m_window;
};

} // namespace kelto

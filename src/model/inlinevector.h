#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace kelto {

// A vector that keeps up to N elements inside itself and only longer contents on the heap. A
// figure's joints and pose are such vectors: a frame's figures then live in the frame's one
// block of figures instead of in two heap blocks per figure, which is what made opening a long
// animation slow (page faults and malloc) and large. Elements are plain data, copied as bytes.
template <typename T, uint32_t N>
// The members carry std::vector's names, so code written for the vector it replaces keeps working.
// NOLINTBEGIN(readability-identifier-naming)
class InlineVector {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
    static_assert(N * sizeof(T) >= sizeof(T*), "the inline room also holds the heap pointer");

public:
    using value_type = T;
    using size_type = size_t;
    using reference = T&;
    using const_reference = const T&;
    using iterator = T*;
    using const_iterator = const T*;

    InlineVector() = default;
    InlineVector(std::initializer_list<T> items) { assign(items.begin(), items.end()); }
    InlineVector(const InlineVector& other) { assign(other.begin(), other.end()); }
    InlineVector(InlineVector&& other) noexcept { take(other); }
    InlineVector& operator=(const InlineVector& other) {
        if (this != &other) {
            assign(other.begin(), other.end());
        }
        return *this;
    }
    InlineVector& operator=(InlineVector&& other) noexcept {
        if (this != &other) {
            release();
            take(other);
        }
        return *this;
    }
    ~InlineVector() { release(); }

    // A bridge for code written against std::vector.
    explicit InlineVector(const std::vector<T>& items) { assign(items.begin(), items.end()); }
    operator std::vector<T>() const { return std::vector<T>(begin(), end()); }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    size_t capacity() const { return m_capacity; }
    // Whether the elements live inside this object rather than on the heap.
    bool isInline() const { return m_capacity == N; }

    T* data() { return isInline() ? inlineData() : heapData(); }
    const T* data() const { return isInline() ? inlineData() : heapData(); }
    T& operator[](size_t i) { return data()[i]; }
    const T& operator[](size_t i) const { return data()[i]; }
    T& front() { return data()[0]; }
    const T& front() const { return data()[0]; }
    T& back() { return data()[m_size - 1]; }
    const T& back() const { return data()[m_size - 1]; }
    T* begin() { return data(); }
    T* end() { return data() + m_size; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + m_size; }

    void clear() { m_size = 0; }
    // New elements are value-initialised, as std::vector's are.
    void resize(size_t n) { resize(n, T{}); }
    void resize(size_t n, const T& value) {
        if (n > m_size) {
            reserve(n);
            std::uninitialized_fill(data() + m_size, data() + n, value);
        }
        m_size = static_cast<uint32_t>(n);
    }
    void assign(size_t n, const T& value) {
        clear();
        resize(n, value);
    }
    template <typename It>
    void assign(It first, It last) {
        const auto n = static_cast<size_t>(std::distance(first, last));
        clear();
        reserve(n);
        std::uninitialized_copy(first, last, data());
        m_size = static_cast<uint32_t>(n);
    }
    void push_back(const T& value) {
        if (m_size == m_capacity) {
            const T copy = value; // value may live in this vector
            reserve(size_t(m_capacity) * 2);
            std::construct_at(data() + m_size, copy);
        } else {
            std::construct_at(data() + m_size, value);
        }
        ++m_size;
    }
    void pop_back() { --m_size; }
    // Never shrinks; grows to exactly n, as the per-figure arrays are sized once per type.
    void reserve(size_t n) {
        if (n <= m_capacity) {
            return;
        }
        std::allocator<T> alloc;
        T* grown = alloc.allocate(n);
        std::memcpy(static_cast<void*>(grown), static_cast<const void*>(data()),
                    m_size * sizeof(T));
        release();
        setHeap(grown);
        m_capacity = static_cast<uint32_t>(n);
    }

private:
    T* inlineData() { return std::launder(reinterpret_cast<T*>(m_room)); }
    const T* inlineData() const { return std::launder(reinterpret_cast<const T*>(m_room)); }
    T* heapData() const {
        T* p;
        // The pointer's own bytes are what the room holds.
        std::memcpy(&p, m_room, sizeof p); // NOLINT(bugprone-sizeof-expression)
        return p;
    }
    void setHeap(T* p) {
        std::memcpy(m_room, &p, sizeof p); // NOLINT(bugprone-sizeof-expression)
    }

    void release() {
        if (!isInline()) {
            std::allocator<T>().deallocate(heapData(), m_capacity);
            m_capacity = N;
        }
    }
    void take(InlineVector& other) {
        std::memcpy(m_room, other.m_room, other.isInline() ? other.m_size * sizeof(T) : sizeof(T*));
        m_size = other.m_size;
        m_capacity = other.m_capacity;
        other.m_size = 0;
        other.m_capacity = N;
    }

    uint32_t m_size = 0;
    uint32_t m_capacity = N; // N while the elements are inline
    // The inline elements, or (once on the heap) the heap block's address.
    alignas(T) unsigned char m_room[N * sizeof(T)];
};
// NOLINTEND(readability-identifier-naming)

} // namespace kelto

// cLArrayStorage: the growable element storage shared by cLIntArray and cLPtrArray.
//
// Elements 0..lastIndex are the array; the storage grows by the grow step (1 unless setCapacity
// was given another) or straight to the index that is written. Slots that a write beyond the end
// skips over read as 0 / null. Reads outside 0..lastIndex answer 0 / null. Owned by one thread.
// Allocation failure throws std::bad_alloc; a capacity above kMaxElements is refused with 0.
// Instantiated for std::int32_t (cLIntArray) and void* (cLPtrArray) in cLArrayStorage.cpp.

#pragma once

#include <cstdint>
#include <type_traits>

template <typename E> class cLArrayStorage {
    static_assert(std::is_trivially_copyable_v<E>);

public:
    // Largest capacity the arrays accept (a 1 GB or 2 GB block of elements).
    static constexpr std::int32_t kMaxElements = 0x10000000;

    cLArrayStorage() = default;
    cLArrayStorage(const cLArrayStorage& other) { assign(other); }
    cLArrayStorage(cLArrayStorage&& other) noexcept { takeFrom(other); }
    cLArrayStorage& operator=(const cLArrayStorage& other)
    {
        if (this != &other)
            assign(other);
        return *this;
    }
    cLArrayStorage& operator=(cLArrayStorage&& other) noexcept
    {
        if (this != &other) {
            delete[] m_data;
            takeFrom(other);
        }
        return *this;
    }
    ~cLArrayStorage() { delete[] m_data; }

    // Sets the grow step when growBy > 0. n equal to the capacity: 1 at once; n < 0 (or above
    // kMaxElements): 0; n == 0 frees the storage; else reallocates to n elements, dropping those
    // beyond. Returns 1 on success.
    int setCapacity(std::int32_t n, std::int32_t growBy = 0);

    // Stores value at i, growing as needed; 0 for i < 0 or when the storage cannot grow.
    int setAt(std::int32_t i, E value);

    // Inserts value at i, moving i..lastIndex up by one; i beyond the end stores it there.
    int insertAt(std::int32_t i, E value);

    E getAt(std::int32_t i) const { return (i >= 0 && i <= m_lastIndex) ? m_data[i] : E {}; }
    E at(std::int32_t i) const { return getAt(i); }

    void removeAt(std::int32_t i);

    void removeAll()
    {
        if (m_capacity == 0)
            return;
        delete[] m_data;
        m_data = nullptr;
        m_capacity = 0;
        m_lastIndex = -1;
    }

    std::int32_t count() const { return m_lastIndex + 1; }
    std::int32_t lastIndex() const { return m_lastIndex; }
    std::int32_t capacity() const { return m_capacity; }
    std::int32_t growBy() const { return m_growBy; }

    // Makes this array's count and elements equal to other's. Returns 1, or 0 when it cannot grow.
    int assign(const cLArrayStorage& other);

    // Index of the first element equal to value among `count` elements from start (count -1, or one
    // running past the end: up to the last element; any negative count likewise); -1 for a start
    // outside 0..lastIndex, a count of 0, or no match.
    std::int32_t find(E value, std::int32_t start = 0, std::int32_t count = -1) const;

protected:
    // Zeroes the slots a write at i skips over.
    void clearGap(std::int32_t i);
    void takeFrom(cLArrayStorage& other)
    {
        m_data = other.m_data;
        m_growBy = other.m_growBy;
        m_capacity = other.m_capacity;
        m_lastIndex = other.m_lastIndex;
        other.m_data = nullptr;
        other.m_capacity = 0;
        other.m_lastIndex = -1;
    }

    E* m_data = nullptr;
    std::int32_t m_growBy = 1;
    std::int32_t m_capacity = 0;
    std::int32_t m_lastIndex = -1;
};

extern template class cLArrayStorage<std::int32_t>;
extern template class cLArrayStorage<void*>;

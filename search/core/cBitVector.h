#pragma once
// cBitVector: a set of section numbers of one book, one bit per section.
//
// Bit i lives in byte i >> 3 under the mask 0x80 >> (i & 7): the first bit of a
// byte is its most significant bit. Beside the bits the vector keeps, for each bit
// value (index 0 = clear bits, 1 = set bits), a lazily computed count and a cursor
// (a position with its 0-based ordinal among the bits of that value), so that
// counting and walking hits in order cost one step per consecutive call.
//
// kNone (0xFFFFFFFF) marks a cache word as not yet computed; it is also the
// "no position" result of every search operation and, as an input position, means
// "from the start" (forwards) or "from the end" (backwards).
//
// Ownership: the vector owns its bytes; copying copies them. A vector is used by
// one thread at a time (no locking); the cache is mutable, so queries that fill it
// are const but must not race with each other either.

#include <cstdint>
#include <cstdio>

#include "search/core/BitVectorFormat.h"

class cBitVector {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    explicit cBitVector(uint32_t bitCount = 0);
    cBitVector(const cBitVector& other);
    cBitVector(cBitVector&& other) noexcept;
    cBitVector& operator=(const cBitVector& other);
    cBitVector& operator=(cBitVector&& other) noexcept;
    ~cBitVector();

    // Frees the storage and makes the vector bitCount clear bits. For 0: no
    // storage and unknown counts.
    void allocate(uint32_t bitCount);
    // Grows to bitCount bits keeping the existing ones; does nothing when not larger.
    void reallocate(uint32_t bitCount);

    bool isAllocated() const { return m_bytes != nullptr; }
    uint32_t size() const { return m_bitCount; }
    uint32_t byteCount() const { return m_byteCount; }

    // Raw storage (byteCount() bytes, MSB-first), read only: bits change through the
    // operations below, which keep the cached counts true.
    const uint8_t* bytes() const { return m_bytes; }

    // Single bits. set/clear ignore positions not below size(). test requires
    // i < size() (the caller checks); out of range it answers false.
    void set(uint32_t i);
    void clear(uint32_t i);
    bool test(uint32_t i) const;
    // Out of range: 0 and no change. Otherwise drops the cache; value 1 returns
    // bit i unchanged, value 0 clears it and returns 0.
    uint32_t andBit(uint32_t value, uint32_t i);

    void setAll();
    void clearAll();
    void flipAll();
    // Inclusive ranges; nothing when a > b or a >= size(); b is clipped.
    void setRange(uint32_t a, uint32_t b);
    void clearRange(uint32_t a, uint32_t b);
    void flipRange(uint32_t a, uint32_t b);

    uint32_t count(uint32_t value) const;
    uint32_t countRange(uint32_t a, uint32_t b, uint32_t value) const;
    bool anyInRange(uint32_t a, uint32_t b) const;

    uint32_t first(uint32_t value) const;
    uint32_t last(uint32_t value) const;
    uint32_t nextAfter(uint32_t position, uint32_t value) const;
    uint32_t previousBefore(uint32_t position, uint32_t value) const;
    // Position of the k-th (0-based) bit of that value; kNone when k >= count(value).
    uint32_t nth(uint32_t k, uint32_t value) const;

    // Combine byte by byte over this vector's byte count. The other vector should
    // have at least as many bytes; bytes it lacks count as clear.
    cBitVector& andVector(const cBitVector& other);
    cBitVector& orVector(const cBitVector& other);
    cBitVector& xorVector(const cBitVector& other);
    // this = this AND NOT other.
    cBitVector& mask(const cBitVector& other);
    // Every position within distance d of a set bit becomes set.
    void widen(uint32_t distance);
    void assign(const cBitVector& other);

    // direction 0 reads a BitVectorFileRecord at the file's position, any other
    // direction writes one. False on a short read or write, an unknown version
    // or a malformed record.
    bool serialize(int direction, std::FILE* file);

    // Cache words as they stand (kNone when unknown); for tests and the file form.
    uint32_t cachedCount(uint32_t value) const { return m_count[value ? 1 : 0]; }
    uint32_t cursorPosition(uint32_t value) const { return m_cursorPos[value ? 1 : 0]; }
    uint32_t cursorOrdinal(uint32_t value) const { return m_cursorOrd[value ? 1 : 0]; }

private:
    void invalidateCache();
    void invalidateCursors();
    void applyRange(uint32_t a, uint32_t b, int op);
    bool write(std::FILE* file) const;
    bool read(std::FILE* file);
    void recomputeCounts() const;

    uint8_t* m_bytes = nullptr;
    uint32_t m_bitCount = 0;
    uint32_t m_byteCount = 0;
    mutable uint32_t m_cursorPos[2] = {kNone, kNone};
    mutable uint32_t m_cursorOrd[2] = {kNone, kNone};
    mutable uint32_t m_count[2] = {kNone, kNone};
};

#pragma once
// BitVector: the owning handle through which the user-interface side holds, passes
// and queries one cBitVector (a hit set). Search threads build one and hand it to
// the main thread inside a result item; from then on only the main thread uses it.
//
// Every call forwards to the wrapped vector. Without a wrapped vector size(),
// count(), anyFrom() and countFrom() give 0, first(), nextAfter() and nth() give
// cBitVector::kNone, and the rest do nothing.

#include <cstdint>
#include <memory>

#include "search/core/cBitVector.h"

class BitVector {
public:
    BitVector() = default;
    explicit BitVector(uint32_t size);  // initWithSize:
    explicit BitVector(std::unique_ptr<cBitVector> vector);

    cBitVector* getCBitVector() const { return m_vector.get(); }
    // Takes ownership of the new vector and destroys the old one.
    void setCBitVector(cBitVector* vector);
    void setCBitVector(std::unique_ptr<cBitVector> vector);

    uint32_t size() const;
    void reallocate(uint32_t size);
    // The argument must hold a vector; without one nothing happens.
    void andVector(const BitVector& other);
    void orVector(const BitVector& other);
    uint32_t andBit(bool value, uint32_t position);
    // Also sets one bit, with equal ends: the handle has no single-bit setter.
    void setFromPosition(uint32_t from, uint32_t to);
    void clearAll();
    void clear(uint32_t position);
    void flip();
    void copy(const BitVector& other);
    void mask(const BitVector* other);

    uint32_t first(bool value) const;
    uint32_t nextAfter(uint32_t position, bool value) const;
    uint32_t count(bool value) const;
    uint32_t nth(uint32_t k, bool value) const;
    bool anyFrom(uint32_t from, uint32_t to) const;
    uint32_t countFrom(uint32_t from, uint32_t to, bool value) const;

private:
    std::unique_ptr<cBitVector> m_vector;
};

#include "search/core/BitVector.h"

BitVector::BitVector(uint32_t size) : m_vector(std::make_unique<cBitVector>(size))
{
}

BitVector::BitVector(std::unique_ptr<cBitVector> vector) : m_vector(std::move(vector))
{
}

void BitVector::setCBitVector(cBitVector* vector)
{
    if (vector != m_vector.get())
        m_vector.reset(vector);
}

void BitVector::setCBitVector(std::unique_ptr<cBitVector> vector)
{
    m_vector = std::move(vector);
}

uint32_t BitVector::size() const
{
    return m_vector ? m_vector->size() : 0;
}

void BitVector::reallocate(uint32_t size)
{
    if (m_vector)
        m_vector->reallocate(size);
}

void BitVector::andVector(const BitVector& other)
{
    if (m_vector && other.m_vector)
        m_vector->andVector(*other.m_vector);
}

void BitVector::orVector(const BitVector& other)
{
    if (m_vector && other.m_vector)
        m_vector->orVector(*other.m_vector);
}

uint32_t BitVector::andBit(bool value, uint32_t position)
{
    return m_vector ? m_vector->andBit(value ? 1 : 0, position) : 0;
}

void BitVector::setFromPosition(uint32_t from, uint32_t to)
{
    if (m_vector)
        m_vector->setRange(from, to);
}

void BitVector::clearAll()
{
    if (m_vector)
        m_vector->clearAll();
}

void BitVector::clear(uint32_t position)
{
    if (m_vector)
        m_vector->clear(position);
}

void BitVector::flip()
{
    if (m_vector)
        m_vector->flipAll();
}

void BitVector::copy(const BitVector& other)
{
    if (m_vector && other.m_vector)
        m_vector->assign(*other.m_vector);
}

void BitVector::mask(const BitVector* other)
{
    if (m_vector && other && other->m_vector)
        m_vector->mask(*other->m_vector);
}

uint32_t BitVector::first(bool value) const
{
    return m_vector ? m_vector->first(value ? 1 : 0) : cBitVector::kNone;
}

uint32_t BitVector::nextAfter(uint32_t position, bool value) const
{
    return m_vector ? m_vector->nextAfter(position, value ? 1 : 0) : cBitVector::kNone;
}

uint32_t BitVector::count(bool value) const
{
    return m_vector ? m_vector->count(value ? 1 : 0) : 0;
}

uint32_t BitVector::nth(uint32_t k, bool value) const
{
    return m_vector ? m_vector->nth(k, value ? 1 : 0) : cBitVector::kNone;
}

bool BitVector::anyFrom(uint32_t from, uint32_t to) const
{
    return m_vector && m_vector->anyInRange(from, to);
}

uint32_t BitVector::countFrom(uint32_t from, uint32_t to, bool value) const
{
    return m_vector ? m_vector->countRange(from, to, value ? 1 : 0) : 0;
}

#include "search/core/BitVector.h"

BitVector::BitVector(uint32_t size) : vector_(std::make_unique<cBitVector>(size))
{
}

BitVector::BitVector(std::unique_ptr<cBitVector> vector) : vector_(std::move(vector))
{
}

void BitVector::setCBitVector(cBitVector* vector)
{
    if (vector != vector_.get())
        vector_.reset(vector);
}

void BitVector::setCBitVector(std::unique_ptr<cBitVector> vector)
{
    vector_ = std::move(vector);
}

uint32_t BitVector::size() const
{
    return vector_ ? vector_->size() : 0;
}

void BitVector::reallocate(uint32_t size)
{
    if (vector_)
        vector_->reallocate(size);
}

void BitVector::andVector(const BitVector& other)
{
    if (vector_ && other.vector_)
        vector_->andVector(*other.vector_);
}

void BitVector::orVector(const BitVector& other)
{
    if (vector_ && other.vector_)
        vector_->orVector(*other.vector_);
}

uint32_t BitVector::andBit(bool value, uint32_t position)
{
    return vector_ ? vector_->andBit(value ? 1 : 0, position) : 0;
}

void BitVector::setFromPosition(uint32_t from, uint32_t to)
{
    if (vector_)
        vector_->setRange(from, to);
}

void BitVector::clearAll()
{
    if (vector_)
        vector_->clearAll();
}

void BitVector::clear(uint32_t position)
{
    if (vector_)
        vector_->clear(position);
}

void BitVector::flip()
{
    if (vector_)
        vector_->flipAll();
}

void BitVector::copy(const BitVector& other)
{
    if (vector_ && other.vector_)
        vector_->assign(*other.vector_);
}

void BitVector::mask(const BitVector* other)
{
    if (vector_ && other && other->vector_)
        vector_->mask(*other->vector_);
}

uint32_t BitVector::first(bool value) const
{
    return vector_ ? vector_->first(value ? 1 : 0) : cBitVector::kNone;
}

uint32_t BitVector::nextAfter(uint32_t position, bool value) const
{
    return vector_ ? vector_->nextAfter(position, value ? 1 : 0) : cBitVector::kNone;
}

uint32_t BitVector::count(bool value) const
{
    return vector_ ? vector_->count(value ? 1 : 0) : 0;
}

uint32_t BitVector::nth(uint32_t k, bool value) const
{
    return vector_ ? vector_->nth(k, value ? 1 : 0) : cBitVector::kNone;
}

bool BitVector::anyFrom(uint32_t from, uint32_t to) const
{
    return vector_ && vector_->anyInRange(from, to);
}

uint32_t BitVector::countFrom(uint32_t from, uint32_t to, bool value) const
{
    return vector_ ? vector_->countRange(from, to, value ? 1 : 0) : 0;
}

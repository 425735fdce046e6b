#include "engine/foundation/cLArrayStorage.h"

#include <algorithm>
#include <cstring>

// The storage is used with two element types only; its growing members live here, out of line.

template <typename E> int cLArrayStorage<E>::setCapacity(std::int32_t n, std::int32_t growBy)
{
    if (growBy > 0)
        growBy_ = growBy;
    if (n == capacity_)
        return 1;
    if (n < 0 || n > kMaxElements)
        return 0;
    if (n == 0) {
        delete[] data_;
        data_ = nullptr;
        capacity_ = 0;
        lastIndex_ = -1;
        return 1;
    }
    E* fresh = new E[static_cast<std::size_t>(n)]();
    if (lastIndex_ > n - 1)
        lastIndex_ = n - 1;
    if (data_ != nullptr && lastIndex_ >= 0)
        std::memcpy(fresh, data_, sizeof(E) * static_cast<std::size_t>(lastIndex_ + 1));
    delete[] data_;
    data_ = fresh;
    capacity_ = n;
    return 1;
}

template <typename E> int cLArrayStorage<E>::setAt(std::int32_t i, E value)
{
    if (i < 0)
        return 0;
    if (i >= capacity_) {
        std::int64_t grown = std::max<std::int64_t>(std::int64_t(capacity_) + growBy_, std::int64_t(i) + 1);
        if (grown > kMaxElements)
            grown = std::int64_t(i) + 1;
        if (grown > kMaxElements || !setCapacity(static_cast<std::int32_t>(grown)))
            return 0;
    }
    clearGap(i);
    data_[i] = value;
    if (lastIndex_ < i)
        lastIndex_ = i;
    return 1;
}

template <typename E> int cLArrayStorage<E>::insertAt(std::int32_t i, E value)
{
    if (i < 0)
        return 0;
    std::int64_t needed = i > lastIndex_ ? std::int64_t(i) + 1 : std::int64_t(lastIndex_) + 2;
    if (needed > capacity_) {
        std::int64_t steps = (needed - capacity_ + growBy_ - 1) / growBy_;
        std::int64_t target = capacity_ + steps * growBy_;
        if (target > kMaxElements)
            target = needed;
        if (target > kMaxElements || !setCapacity(static_cast<std::int32_t>(target)))
            return 0;
    }
    if (i > lastIndex_) {
        clearGap(i);
        data_[i] = value;
        lastIndex_ = i;
    } else {
        std::memmove(data_ + i + 1, data_ + i, sizeof(E) * static_cast<std::size_t>(lastIndex_ - i + 1));
        data_[i] = value;
        ++lastIndex_;
    }
    return 1;
}

template <typename E> void cLArrayStorage<E>::removeAt(std::int32_t i)
{
    if (i < 0 || i > lastIndex_)
        return;
    std::memmove(data_ + i, data_ + i + 1, sizeof(E) * static_cast<std::size_t>(lastIndex_ - i));
    --lastIndex_;
}

template <typename E> int cLArrayStorage<E>::assign(const cLArrayStorage& other)
{
    if (this == &other)
        return 1;
    if (!setCapacity(other.count()))
        return 0;
    lastIndex_ = -1;
    for (std::int32_t i = 0; i < other.count(); ++i)
        if (!setAt(i, other.data_[i]))
            return 0;
    return 1;
}

template <typename E> std::int32_t cLArrayStorage<E>::find(E value, std::int32_t start, std::int32_t count) const
{
    if (start < 0 || start > lastIndex_ || count == 0)
        return -1;
    std::int32_t last = lastIndex_;
    if (count > 0 && std::int64_t(start) + count - 1 < last)
        last = start + count - 1;
    for (std::int32_t i = start; i <= last; ++i)
        if (data_[i] == value)
            return i;
    return -1;
}

template <typename E> void cLArrayStorage<E>::clearGap(std::int32_t i)
{
    for (std::int32_t k = lastIndex_ + 1; k < i; ++k)
        data_[k] = E {};
}

template class cLArrayStorage<std::int32_t>;
template class cLArrayStorage<void*>;

#include "engine/foundation/cLArrayStorage.h"

#include <algorithm>
#include <cstring>

// The storage is used with two element types only; its growing members live here, out of line.

template <typename E> int cLArrayStorage<E>::setCapacity(std::int32_t n, std::int32_t growBy)
{
    if (growBy > 0)
        m_growBy = growBy;
    if (n == m_capacity)
        return 1;
    if (n < 0 || n > kMaxElements)
        return 0;
    if (n == 0) {
        delete[] m_data;
        m_data = nullptr;
        m_capacity = 0;
        m_lastIndex = -1;
        return 1;
    }
    E* fresh = new E[static_cast<std::size_t>(n)]();
    if (m_lastIndex > n - 1)
        m_lastIndex = n - 1;
    if (m_data != nullptr && m_lastIndex >= 0)
        std::memcpy(fresh, m_data, sizeof(E) * static_cast<std::size_t>(m_lastIndex + 1));
    delete[] m_data;
    m_data = fresh;
    m_capacity = n;
    return 1;
}

template <typename E> int cLArrayStorage<E>::setAt(std::int32_t i, E value)
{
    if (i < 0)
        return 0;
    if (i >= m_capacity) {
        std::int64_t grown = std::max<std::int64_t>(std::int64_t(m_capacity) + m_growBy, std::int64_t(i) + 1);
        if (grown > kMaxElements)
            grown = std::int64_t(i) + 1;
        if (grown > kMaxElements || !setCapacity(static_cast<std::int32_t>(grown)))
            return 0;
    }
    clearGap(i);
    m_data[i] = value;
    if (m_lastIndex < i)
        m_lastIndex = i;
    return 1;
}

template <typename E> int cLArrayStorage<E>::insertAt(std::int32_t i, E value)
{
    if (i < 0)
        return 0;
    std::int64_t needed = i > m_lastIndex ? std::int64_t(i) + 1 : std::int64_t(m_lastIndex) + 2;
    if (needed > m_capacity) {
        std::int64_t steps = (needed - m_capacity + m_growBy - 1) / m_growBy;
        std::int64_t target = m_capacity + steps * m_growBy;
        if (target > kMaxElements)
            target = needed;
        if (target > kMaxElements || !setCapacity(static_cast<std::int32_t>(target)))
            return 0;
    }
    if (i > m_lastIndex) {
        clearGap(i);
        m_data[i] = value;
        m_lastIndex = i;
    } else {
        std::memmove(m_data + i + 1, m_data + i, sizeof(E) * static_cast<std::size_t>(m_lastIndex - i + 1));
        m_data[i] = value;
        ++m_lastIndex;
    }
    return 1;
}

template <typename E> void cLArrayStorage<E>::removeAt(std::int32_t i)
{
    if (i < 0 || i > m_lastIndex)
        return;
    std::memmove(m_data + i, m_data + i + 1, sizeof(E) * static_cast<std::size_t>(m_lastIndex - i));
    --m_lastIndex;
}

template <typename E> int cLArrayStorage<E>::assign(const cLArrayStorage& other)
{
    if (this == &other)
        return 1;
    if (!setCapacity(other.count()))
        return 0;
    m_lastIndex = -1;
    for (std::int32_t i = 0; i < other.count(); ++i)
        if (!setAt(i, other.m_data[i]))
            return 0;
    return 1;
}

template <typename E> std::int32_t cLArrayStorage<E>::find(E value, std::int32_t start, std::int32_t count) const
{
    if (start < 0 || start > m_lastIndex || count == 0)
        return -1;
    std::int32_t last = m_lastIndex;
    if (count > 0 && std::int64_t(start) + count - 1 < last)
        last = start + count - 1;
    for (std::int32_t i = start; i <= last; ++i)
        if (m_data[i] == value)
            return i;
    return -1;
}

template <typename E> void cLArrayStorage<E>::clearGap(std::int32_t i)
{
    for (std::int32_t k = m_lastIndex + 1; k < i; ++k)
        m_data[k] = E {};
}

template class cLArrayStorage<std::int32_t>;
template class cLArrayStorage<void*>;

// cLIntArray: a growable array of 32-bit integers; cLIntStack: a stack of integers on top of it.
// Reads outside the array answer 0. Each array belongs to one owner and one thread.

#pragma once

#include "engine/foundation/cLArrayStorage.h"

#include <cstdint>

class cLIntArray : public cLArrayStorage<std::int32_t> {
public:
    int add(std::int32_t value) { return setAt(m_lastIndex + 1, value); }
};

class cLIntStack {
public:
    // Sets the capacity only when n >= 0 and n > the top index (pushed values are never dropped);
    // else returns 0.
    int reserve(std::int32_t n, std::int32_t growBy = 0)
    {
        if (n < 0 || n <= m_top)
            return 0;
        return m_values.setCapacity(n, growBy);
    }
    int push(std::int32_t value)
    {
        if (!m_values.setAt(m_top + 1, value))
            return 0;
        ++m_top;
        return 1;
    }
    // 0 on an empty stack (out untouched); else writes the top value to out, pops it and returns 1.
    int pop(std::int32_t& out)
    {
        if (m_top < 0)
            return 0;
        out = m_values.getAt(m_top);
        --m_top;
        return 1;
    }
    void clear()
    {
        m_values.removeAll();
        m_top = -1;
    }
    bool isEmpty() const { return m_top < 0; }
    std::int32_t topIndex() const { return m_top; }
    std::int32_t valueAt(std::int32_t i) const { return m_values.getAt(i); }

private:
    cLIntArray m_values;
    std::int32_t m_top = -1;
};

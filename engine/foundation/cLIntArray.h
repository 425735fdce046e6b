// cLIntArray: a growable array of 32-bit integers; cLIntStack: a stack of integers on top of it.
// Reads outside the array answer 0. Each array belongs to one owner and one thread.

#pragma once

#include "engine/foundation/cLArrayStorage.h"

#include <cstdint>

class cLIntArray : public cLArrayStorage<std::int32_t> {
public:
    int add(std::int32_t value) { return setAt(lastIndex_ + 1, value); }
};

class cLIntStack {
public:
    // Sets the capacity only when n >= 0 and n > the top index (pushed values are never dropped);
    // else returns 0.
    int reserve(std::int32_t n, std::int32_t growBy = 0)
    {
        if (n < 0 || n <= top_)
            return 0;
        return values_.setCapacity(n, growBy);
    }
    int push(std::int32_t value)
    {
        if (!values_.setAt(top_ + 1, value))
            return 0;
        ++top_;
        return 1;
    }
    // 0 on an empty stack (out untouched); else writes the top value to out, pops it and returns 1.
    int pop(std::int32_t& out)
    {
        if (top_ < 0)
            return 0;
        out = values_.getAt(top_);
        --top_;
        return 1;
    }
    void clear()
    {
        values_.removeAll();
        top_ = -1;
    }
    bool isEmpty() const { return top_ < 0; }
    std::int32_t topIndex() const { return top_; }
    std::int32_t valueAt(std::int32_t i) const { return values_.getAt(i); }

private:
    cLIntArray values_;
    std::int32_t top_ = -1;
};

// cLPtrArray: a growable array of pointers that does not own what they point to.
// Reads outside the array answer null. Each array belongs to one owner and one thread.

#pragma once

#include "engine/foundation/cLArrayStorage.h"

#include <cstdint>

class cLPtrArray : public cLArrayStorage<void*> {
public:
    int append(void* value) { return setAt(m_lastIndex + 1, value); }
    void* elementAt(std::int32_t i) const { return getAt(i); }
};

#include "engine/bookfile/cPlatformMemPtr.h"

#include <new>

uint8_t* cPlatformMemPtr::allocate(uint32_t size)
{
    release();
    m_data.reset(new (std::nothrow) uint8_t[size == 0 ? 1 : size]());
    if (!m_data)
        return nullptr;
    m_size = size;
    return m_data.get();
}

void cPlatformMemPtr::release()
{
    m_data.reset();
    m_size = 0;
}

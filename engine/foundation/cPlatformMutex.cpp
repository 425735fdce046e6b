#include "engine/foundation/cPlatformMutex.h"

#include <cassert>

cPlatformMutex::cPlatformMutex()
{
    init();
}

cPlatformMutex::~cPlatformMutex()
{
    destroy();
}

void cPlatformMutex::init()
{
    if (m_initialised)
        return;
    pthread_mutex_init(&m_mutex, nullptr);
    m_initialised = true;
}

void cPlatformMutex::destroy()
{
    if (!m_initialised)
        return;
    pthread_mutex_destroy(&m_mutex);
    m_initialised = false;
}

void cPlatformMutex::lock()
{
    assert(m_initialised);
    pthread_mutex_lock(&m_mutex);
}

void cPlatformMutex::unlock()
{
    assert(m_initialised);
    pthread_mutex_unlock(&m_mutex);
}

#include "engine/bookfile/cBkTextStg.h"

#include <algorithm>
#include <cstring>

cBkTextStg::cBkTextStg() : cBkSubstorageSupport(bkTag("TEXT"), m_hdr, BkTextFormat::kHeaderSize)
{
    bkPutLE(m_hdr, BkTextFormat::kDefaultTextEnd, 4);
}

uint32_t cBkTextStg::open(cBkStreamFile* container)
{
    cBkContainerLock lock(container);
    m_cache.reset();
    m_cacheStart = 0;
    m_cacheLength = 0;
    uint32_t r = openUnlocked(container);
    // Every text reader sizes its reads by the text end: one beyond the stream would have them
    // allocate and walk what the stream does not hold.
    if (r == 0 && textSize() > container->size(m_streamId))
        r = BkResult::kMalformed;
    return r;
}

void cBkTextStg::readText(uint32_t p, uint8_t* buffer, uint32_t& n)
{
    cBkContainerLock lock(m_container);
    const uint32_t end = textSize();
    if (n < kCacheSize) {
        if (m_cache && p >= m_cacheStart &&
            static_cast<uint64_t>(p) + n <= static_cast<uint64_t>(m_cacheStart) + m_cacheLength) {
            std::memcpy(buffer, m_cache.get() + (p - m_cacheStart), n);
            return;
        }
        if (!m_cache && n == 0)
            return;
        if (!m_cache)
            m_cache = std::make_unique<uint8_t[]>(kCacheSize);
        uint32_t length = p < end ? std::min(kCacheSize, end - p) : 0;
        if (length > 0 &&
            (m_container == nullptr || m_container->seekAndRead(m_streamId, length, m_cache.get(), p) != 0))
            length = 0;
        m_cacheStart = p;
        m_cacheLength = length;
        if (n > length) {
            n = 0;
            return;
        }
        std::memcpy(buffer, m_cache.get(), n);
        return;
    }
    if (m_container == nullptr || static_cast<uint64_t>(p) + n > end ||
        m_container->seekAndRead(m_streamId, n, buffer, p) != 0)
        n = 0;
}

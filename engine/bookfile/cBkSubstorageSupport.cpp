#include "engine/bookfile/cBkSubstorageSupport.h"

#include "engine/bookfile/BkStreamFormat.h"

uint32_t cBkTieredOffsetIndex::lookup(
    cBkStreamFile& container, uint32_t streamId, uint32_t i, const uint32_t counts[4], const uint32_t bases[4])
{
    for (uint32_t k = 0; k < kTiers; ++k) {
        if (i < counts[k]) {
            uint64_t at = static_cast<uint64_t>(bases[k]) + static_cast<uint64_t>(i) * (k + 1);
            uint8_t b[4] = {0, 0, 0, 0};
            if (at > 0xFFFFFFFFu || container.seekAndRead(streamId, k + 1, b, static_cast<uint32_t>(at)) != 0)
                return 0;
            return bkGetLE(b, k + 1);
        }
        i -= counts[k];
    }
    return BkResult::kNone;
}

void cBkTieredOffsetIndex::decode(const uint8_t* fields, uint32_t bases[4], uint32_t counts[4])
{
    for (int k = 0; k < kTiers; ++k) {
        bases[k] = bkGetLE32(fields + 4 * k);
        counts[k] = bkGetLE32(fields + 16 + 4 * k);
    }
}

cBkSubstorageSupport::cBkSubstorageSupport(uint32_t tag, uint8_t* header, uint32_t headerLength)
    : m_streamId(tag), m_header(header), m_headerLength(headerLength)
{
}

uint32_t cBkSubstorageSupport::openUnlocked(cBkStreamFile* container)
{
    m_container = container;
    m_opened = true;
    return readHeader();
}

uint32_t cBkSubstorageSupport::openNamedUnlocked(cBkStreamFile* container, const char* name)
{
    m_container = container;
    m_opened = true;
    m_streamId = container != nullptr ? container->streamIdForName(name) : 0;
    if (m_streamId == 0) {
        // Stream 0 is the whole container: a storage without its named stream must not read it.
        m_container = nullptr;
        return BkResult::kNotFound;
    }
    return readHeader();
}

uint32_t cBkSubstorageSupport::open(cBkStreamFile* container)
{
    return openUnlocked(container);
}

uint32_t cBkSubstorageSupport::openNamed(cBkStreamFile* container, const char* name)
{
    return openNamedUnlocked(container, name);
}

uint32_t cBkSubstorageSupport::readHeader()
{
    if (m_container == nullptr)
        return BkResult::kNotOpen;
    return m_container->seekAndRead(m_streamId, m_headerLength, m_header, 0);
}

uint32_t cBkSubstorageSupport::lookupIndex(uint32_t i, const uint32_t counts[4], const uint32_t bases[4]) const
{
    if (m_container == nullptr)
        return 0;
    return cBkTieredOffsetIndex::lookup(*m_container, m_streamId, i, counts, bases);
}

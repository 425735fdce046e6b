#include "engine/bookfile/cBkConcordStg.h"

#include <cstring>

#include "search/cBitVector.h"

using namespace BkConcordFormat;

cBkConcordStg::cBkConcordStg(uint32_t tag) : cBkSubstorageSupport(tag, m_hdr, kHeaderSize)
{
    m_hdr[kCompressed] = 1;
    m_hdr[kSectionWidth] = kDefaultSectionWidth;
    m_hdr[kCountWidth] = kDefaultCountWidth;
}

uint32_t cBkConcordStg::open(cBkStreamFile* container)
{
    cBkContainerLock lock(container);
    return finishOpen(openUnlocked(container));
}

uint32_t cBkConcordStg::openNamed(cBkStreamFile* container, const char* name)
{
    cBkContainerLock lock(container);
    return finishOpen(openNamedUnlocked(container, name));
}

uint32_t cBkConcordStg::finishOpen(uint32_t r)
{
    cBkTieredOffsetIndex::decode(m_hdr + kIndex, m_bases, m_counts);
    if (r == 0 && (m_hdr[kSectionWidth] < 1 || m_hdr[kSectionWidth] > 4 || m_hdr[kCountWidth] < 1 ||
                   m_hdr[kCountWidth] > 4 || entryCount() > m_container->size(m_streamId)))
        r = BkResult::kMalformed;
    return r;
}

uint32_t cBkConcordStg::sectionCount(uint32_t w)
{
    if (w >= entryCount() || m_container == nullptr)
        return 0;
    cBkContainerLock lock(m_container);
    const unsigned cw = m_hdr[kCountWidth];
    uint8_t b[4] = {};
    if (cw > 4 || m_container->seekAndRead(m_streamId, cw, b, lookupIndex(w, m_counts, m_bases)) != 0)
        return 0;
    return bkGetLE(b, cw);
}

uint32_t cBkConcordStg::readGap()
{
    auto bit = [this]() -> uint32_t {
        if (m_bitFailed)
            return 0;
        uint32_t v = m_container->readBit(m_streamId);
        if (v > 1) {
            m_bitFailed = true;
            return 0;
        }
        return v;
    };
    uint64_t q = 0;
    while (bit() == 1)
        ++q;
    uint32_t r = 0;
    for (uint32_t i = 1; i < m_k; ++i)
        r = (r << 1) | bit();
    uint64_t gap;
    if (r < m_t || m_b < 2) {
        gap = q * m_b + 1 + r;
    } else {
        uint32_t x = bit();
        gap = q * m_b + 1 + (2ull * r + x - m_t);
    }
    return static_cast<uint32_t>(gap);
}

bool cBkConcordStg::decodeEntry(uint32_t w, uint32_t& count, const std::function<void(uint32_t)>& sink)
{
    if (m_container == nullptr || w >= entryCount())
        return false;
    const unsigned cw = m_hdr[kCountWidth], sw = m_hdr[kSectionWidth];
    if (cw < 1 || cw > 4 || sw < 1 || sw > 4)
        return false;
    uint8_t b[4] = {};
    count = 0;
    if (m_container->seekAndRead(m_streamId, cw, b, lookupIndex(w, m_counts, m_bases)) != 0)
        return true;
    const uint32_t c = bkGetLE(b, cw);
    count = c;
    if (c == 0)
        return true;
    if (c < 3 || m_hdr[kCompressed] == 0) {
        for (uint32_t i = 0; i < c; ++i) {
            std::memset(b, 0, sizeof b);
            if (m_container->read(m_streamId, sw, b) != 0)
                return true;
            sink(bkGetLE(b, sw));
        }
        return true;
    }
    uint8_t sb[4] = {}, fb[4] = {};
    if (m_container->read(m_streamId, cw, sb) != 0 || m_container->read(m_streamId, sw, fb) != 0)
        return true;
    m_count = c;
    m_span = bkGetLE(sb, cw);
    const GolombParameters p = golombParameters(m_count, m_span);
    m_b = p.b;
    m_k = p.k;
    m_t = p.t;
    m_bitFailed = false;
    uint32_t section = bkGetLE(fb, sw);
    sink(section);
    // Every gap takes at least one bit, so a failed read ends the loop long before c does.
    for (uint32_t i = 0; i + 2 < c && !m_bitFailed; ++i) {
        section += readGap();
        if (!m_bitFailed)
            sink(section);
    }
    sink(bkGetLE(fb, sw) + m_span - 1);
    return true;
}

bool cBkConcordStg::forEachSection(uint32_t w, uint32_t& count, const std::function<void(uint32_t)>& sink)
{
    cBkContainerLock lock(m_container);
    return decodeEntry(w, count, sink);
}

void cBkConcordStg::lookupWord(uint32_t w, uint32_t& count, cBitVector& vector)
{
    if (!vector.isAllocated() || w >= entryCount() || m_container == nullptr)
        return;
    vector.clearAll();
    forEachSection(w, count, [&vector](uint32_t s) { vector.set(s); });
}

void cBkConcordStg::readSections(uint32_t w, uint32_t& count, uint32_t& byteSize, uint8_t* buffer)
{
    if (w >= entryCount() || m_container == nullptr)
        return;
    const unsigned sw = sectionNumberWidth();
    const uint32_t c = sectionCount(w);
    const uint64_t needed = static_cast<uint64_t>(c) * sw;
    count = c;
    if (byteSize < needed) {
        byteSize = needed > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(needed);
        return;
    }
    uint32_t written = 0;
    uint32_t decoded = 0;
    forEachSection(w, decoded, [&](uint32_t s) {
        if (static_cast<uint64_t>(written + 1) * sw <= byteSize) {
            bkPutLE(buffer + static_cast<size_t>(written) * sw, s, sw);
            ++written;
        }
    });
    byteSize = written * sw;
}

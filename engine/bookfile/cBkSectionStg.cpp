#include "engine/bookfile/cBkSectionStg.h"

#include <algorithm>
#include <bit>
#include <cstring>

using namespace BkSectionFormat;

namespace {

uint64_t bkLoadLE64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

}  // namespace

cBkSectionStg::cBkSectionStg() : cBkSubstorageSupport(bkTag("SECT"), m_hdr, kHeaderSize)
{
    bkPutLE(m_hdr + kRecord0, kDefaultRecord0, 4);
    m_hdr[kBlockWidth] = kDefaultWidth;
    m_hdr[kOffsetWidth] = kDefaultWidth;
}

uint32_t cBkSectionStg::open(cBkStreamFile* container)
{
    cBkContainerLock lock(container);
    uint32_t r = openUnlocked(container);
    if (r == 0 &&
        (m_hdr[kBlockWidth] < 1 || m_hdr[kBlockWidth] > 4 || m_hdr[kOffsetWidth] < 1 || m_hdr[kOffsetWidth] > 4))
        r = BkResult::kMalformed;
    // The records must lie in the stream.
    if (r == 0 &&
        bkGetLE32(m_hdr + kRecord0) +
                static_cast<uint64_t>(sectionCount()) * (m_hdr[kBlockWidth] + m_hdr[kOffsetWidth]) >
            container->size(m_streamId))
        r = BkResult::kMalformed;
    if (r == 0)
        r = checkAscending();
    return r;
}

uint32_t cBkSectionStg::checkAscending()
{
    // Both columns ascend by the format. Lookups are binary searches and every walk over a range of
    // sections trusts the next section's start as the end of this one, so a table out of order
    // (copied or crafted records) would make one section span most of the book; such a table is
    // refused as a whole, read once here in large chunks.
    m_lastTextOffset = 0;
    const unsigned a = m_hdr[kBlockWidth], b = m_hdr[kOffsetWidth], w = a + b;
    const uint32_t n = sectionCount();
    if (n == 0)
        return BkResult::kOK;
    // Each record is read as one little-endian 64-bit load (the chunk has room past its last record)
    // and split by masks: the widths are 1..4 bytes, so a record is at most 8.
    uint8_t chunk[16384 + 8] = {};
    const uint32_t perChunk = 16384 / w;
    const uint64_t blockMask = (uint64_t {1} << (8 * a)) - 1, offsetMask = (uint64_t {1} << (8 * b)) - 1;
    uint32_t block = 0, offset = 0;
    uint64_t at = bkGetLE32(m_hdr + kRecord0);
    for (uint32_t i = 0; i < n;) {
        const uint32_t k = std::min(perChunk, n - i);
        if (uint32_t r = m_container->seekAndRead(m_streamId, k * w, chunk, static_cast<uint32_t>(at)))
            return r;
        const uint8_t* p = chunk;
        uint32_t j = 0;
        if (i == 0) {
            const uint64_t v = bkLoadLE64(p);
            block = static_cast<uint32_t>(v & blockMask);
            offset = static_cast<uint32_t>((v >> (8 * a)) & offsetMask);
            j = 1;
            p += w;
        }
        for (; j < k; ++j, p += w) {
            const uint64_t v = bkLoadLE64(p);
            const uint32_t f = static_cast<uint32_t>(v & blockMask),
                           o = static_cast<uint32_t>((v >> (8 * a)) & offsetMask);
            if (f < block || o < offset)
                return BkResult::kMalformed;
            block = f;
            offset = o;
        }
        i += k;
        at += static_cast<uint64_t>(k) * w;
    }
    m_lastTextOffset = offset;
    return BkResult::kOK;
}

uint32_t cBkSectionStg::sectionCount() const
{
    return bkGetLE32(m_hdr + kCount);
}

void cBkSectionStg::readRecord(uint32_t i, uint32_t& firstBlock, uint32_t& textOffset)
{
    firstBlock = 0;
    textOffset = 0;
    if (m_container == nullptr)
        return;
    const unsigned a = m_hdr[kBlockWidth], b = m_hdr[kOffsetWidth];
    uint64_t at = bkGetLE32(m_hdr + kRecord0) + static_cast<uint64_t>(i) * (a + b);
    uint8_t rec[8] = {};
    if (a > 4 || b > 4 || at > 0xFFFFFFFFu ||
        m_container->seekAndRead(m_streamId, a + b, rec, static_cast<uint32_t>(at)) != 0)
        return;
    firstBlock = bkGetLE(rec, a);
    textOffset = bkGetLE(rec + a, b);
}

uint32_t cBkSectionStg::firstBlockOf(uint32_t i)
{
    uint32_t f, o;
    readRecord(i, f, o);
    return f;
}

void cBkSectionStg::getSectionStart(uint32_t i, uint32_t& firstBlock, uint32_t& textOffset)
{
    if (i >= sectionCount())
        return;
    cBkContainerLock lock(m_container);
    readRecord(i, firstBlock, textOffset);
}

uint32_t cBkSectionStg::findForBlock(uint32_t block)
{
    const uint32_t n = sectionCount();
    uint32_t lo = 0, hi = n;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        uint32_t f = firstBlockOf(mid);
        bool last = mid + 1 >= n;
        if (f < block && (last || block < firstBlockOf(mid + 1)))
            return mid;
        if (f == block) {
            while (mid > 1 && firstBlockOf(mid - 1) == block)
                --mid;
            return mid;
        }
        if (f < block)
            lo = mid + 1;
        else
            hi = mid;
    }
    return BkResult::kNone;
}

uint32_t cBkSectionStg::sectionForBlock(uint32_t block)
{
    cBkContainerLock lock(m_container);
    return findForBlock(block);
}

uint32_t cBkSectionStg::sectionForBlock(uint32_t& section, uint32_t block)
{
    section = sectionForBlock(block);
    return section;
}

uint32_t cBkSectionStg::lastSectionForBlock(uint32_t block)
{
    cBkContainerLock lock(m_container);
    uint32_t s = findForBlock(block);
    if (s == BkResult::kNone)
        return s;
    const uint32_t n = sectionCount();
    const uint32_t first = firstBlockOf(s);
    while (s + 1 < n && firstBlockOf(s + 1) == first)
        ++s;
    return s;
}

void cBkSectionStg::sectionEndingBeforeBlock(uint32_t block, uint32_t& section)
{
    cBkContainerLock lock(m_container);
    section = findForBlock(block);
    if (section != BkResult::kNone && block != 0 && firstBlockOf(section) == block)
        section -= 1;
}

uint32_t cBkSectionStg::sectionForTextOffset(uint32_t t)
{
    cBkContainerLock lock(m_container);
    const uint32_t n = sectionCount();
    uint32_t lo = 0, hi = n;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        uint32_t f, o, f1, o1;
        readRecord(mid, f, o);
        bool last = mid + 1 >= n;
        if (!last)
            readRecord(mid + 1, f1, o1);
        if (o <= t && (last || o1 > t))
            return mid;
        if (o > t)
            hi = mid;
        else
            lo = mid + 1;
    }
    return BkResult::kNone;
}

#include "engine/bookfile/cBkConcordStg.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "search/core/cBitVector.h"

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
    if (r == 0 &&
        (m_hdr[kSectionWidth] < 1 || m_hdr[kSectionWidth] > 4 || m_hdr[kCountWidth] < 1 || m_hdr[kCountWidth] > 4 ||
            entryCount() > m_container->size(m_streamId)))
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

namespace {

// Bits of one stream, most significant first, from the stream's position on. Bytes are read in chunks
// and decoded from memory; a chunk that cannot be read whole is retried a byte at a time, so a damaged
// stream yields every bit before the damage. After a failure every bit is 0 and failed() is true.
class StreamBits {
public:
    StreamBits(cBkStreamFile& container, uint32_t id) : m_container(container), m_id(id) { }

    uint32_t bit()
    {
        if (m_bit == 0 && !nextByte())
            return 0;
        --m_bit;
        return (m_byte >> m_bit) & 1u;
    }
    // The next `count` bits (at most 32) as a number, the first the most significant.
    uint32_t bits(uint32_t count)
    {
        uint64_t v = 0;
        while (count > 0) {
            if (m_bit == 0 && !nextByte())
                return static_cast<uint32_t>(v << count);
            const uint32_t take = std::min<uint32_t>(count, m_bit);
            m_bit -= take;
            v = (v << take) | ((m_byte >> m_bit) & ((1u << take) - 1));
            count -= take;
        }
        return static_cast<uint32_t>(v);
    }
    // Counts one-bits up to and including the next zero bit (which is not counted); stops early,
    // with failed(), when the bits run out.
    uint64_t ones()
    {
        uint64_t q = 0;
        for (;;) {
            if (m_bit == 0 && !nextByte())
                return q;
            // The unused bits of the byte, moved to its top; ones at its top are the run's.
            const uint8_t top = static_cast<uint8_t>(m_byte << (8 - m_bit));
            const unsigned run = std::min<unsigned>(static_cast<unsigned>(std::countl_one(top)), m_bit);
            if (run < m_bit) {
                q += run;
                m_bit -= run + 1;
                return q;
            }
            q += m_bit;
            m_bit = 0;
        }
    }
    bool failed() const { return m_failed; }
    // Leaves the stream's position after the last byte whose bits were used.
    void finish()
    {
        const uint32_t unused = m_have - m_at;
        if (unused > 0)
            m_container.seek(m_id, m_container.tell(m_id) - unused);
    }

private:
    bool nextByte()
    {
        if (m_at == m_have && !refill())
            return false;
        m_byte = m_buffer[m_at++];
        m_bit = 8;
        return true;
    }
    bool refill()
    {
        if (m_failed)
            return false;
        const uint32_t size = m_container.size(m_id), at = m_container.tell(m_id);
        const uint32_t remaining = at < size ? size - at : 0;
        const uint32_t n = std::min<uint32_t>(remaining, sizeof m_buffer);
        m_at = 0;
        m_have = 0;
        if (n > 0 && m_container.read(m_id, n, m_buffer) == 0)
            m_have = n;
        else if (n > 1 && m_container.read(m_id, 1, m_buffer) == 0)
            m_have = 1;
        m_failed = m_have == 0;
        return !m_failed;
    }

    cBkStreamFile& m_container;
    uint32_t m_id;
    uint8_t m_buffer[1024];
    uint32_t m_have = 0, m_at = 0;
    uint8_t m_byte = 0;
    unsigned m_bit = 0;  // bits of m_byte not yet handed out
    bool m_failed = false;
};

// One Golomb-coded gap (layout in BkConcordFormat.h).
uint32_t readGap(StreamBits& bits, const GolombParameters& p)
{
    const uint64_t q = bits.ones();
    const uint32_t r = p.k > 1 ? bits.bits(p.k - 1) : 0;
    uint64_t gap;
    if (r < p.t || p.b < 2) {
        gap = q * p.b + 1 + r;
    } else {
        uint32_t x = bits.bit();
        gap = q * p.b + 1 + (2ull * r + x - p.t);
    }
    return static_cast<uint32_t>(gap);
}

}  // namespace

template <typename Sink> bool cBkConcordStg::decodeEntry(uint32_t w, uint32_t& count, Sink&& sink)
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
    // No entry holds more sections than the book has (sections ascend, each once).
    const uint32_t limit = m_sectionLimit != 0 ? m_sectionLimit : 0xFFFFFFFFu;
    if (c < 3 || m_hdr[kCompressed] == 0) {
        for (uint32_t i = 0; i < c && i < limit; ++i) {
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
    const uint32_t span = bkGetLE(sb, cw);
    const GolombParameters p = golombParameters(c, span);
    uint32_t section = bkGetLE(fb, sw);
    sink(section);
    StreamBits bits(*m_container, m_streamId);
    // Every gap takes at least one bit, so a failed read ends the loop long before c does.
    for (uint32_t i = 0; i + 2 < c && i < limit && !bits.failed(); ++i) {
        const uint64_t next = static_cast<uint64_t>(section) + readGap(bits, p);
        // Past the last section (or past 32 bits) the rest of the entry is damage.
        if (next >= limit)
            break;
        section = static_cast<uint32_t>(next);
        if (!bits.failed())
            sink(section);
    }
    bits.finish();
    sink(bkGetLE(fb, sw) + span - 1);
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
    cBkContainerLock lock(m_container);
    decodeEntry(w, count, [&vector](uint32_t s) { vector.set(s); });
}

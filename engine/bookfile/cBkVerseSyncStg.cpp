#include "engine/bookfile/cBkVerseSyncStg.h"

using namespace BkSyncFormat;

uint32_t cBkVerseKeyNavigator::mapIntoTranslation(uint32_t key, int32_t)
{
    return key;
}

bool cBkVerseKeyNavigator::nextChapter(uint32_t& key, int32_t)
{
    uint32_t chapter = (key >> 8) & 0xFF;
    if (chapter >= 253)
        return false;
    key = (key & 0xFF0000) | ((chapter + 1) << 8) | 1;
    return true;
}

bool cBkVerseKeyNavigator::nextBook(uint32_t& key, int32_t)
{
    uint32_t book = (key >> 16) & 0xFF;
    if (book >= 255)
        return false;
    key = bibleKey(book + 1, 1, 1);
    return true;
}

cBkVerseSyncStg::cBkVerseSyncStg() : cBkSubstorageSupport(bkTag("SYNC"), m_hdr, kHeaderSize)
{
    bkPutLE(m_hdr + kRecord0, kHeaderSize, 4);
    m_hdr[kUnused] = 1;
    m_hdr[kValueWidth] = 4;
}

uint32_t cBkVerseSyncStg::open(cBkStreamFile* container)
{
    cBkContainerLock lock(container);
    return finishOpen(openUnlocked(container));
}

uint32_t cBkVerseSyncStg::openVersioned(cBkStreamFile* container, uint8_t fileMajor, uint8_t fileMinor)
{
    if (fileMajor < 2 && fileMinor < kNewHeaderMinor) {
        m_headerLength = kOldHeaderSize;
        m_hdr[kValueWidth] = 0;
    }
    return open(container);
}

uint32_t cBkVerseSyncStg::finishOpen(uint32_t r)
{
    cBkTieredOffsetIndex::decode(m_hdr + kIndex, m_bases, m_counts);
    if (r == 0 && (keyWidth() > 4 || valueWidth() > 4))
        r = BkResult::kMalformed;
    if (r == 0) {
        const uint32_t width = keyWidth() + valueWidth();
        const uint64_t end =
            width == 0 ? recordCount() : bkGetLE32(m_hdr + kRecord0) + static_cast<uint64_t>(recordCount()) * width;
        if (end > m_container->size(m_streamId))
            r = BkResult::kMalformed;
    }
    return r;
}

bool cBkVerseSyncStg::readRecordUnlocked(uint32_t i, uint32_t& key, uint32_t& value)
{
    key = 0;
    value = 0;
    const unsigned K = keyWidth(), V = valueWidth();
    if (m_container == nullptr || i >= recordCount() || K > 4 || V > 4)
        return false;
    const uint64_t at = bkGetLE32(m_hdr + kRecord0) + static_cast<uint64_t>(i) * (K + V);
    uint8_t b[8] = {};
    if (at + K + V > m_container->size(m_streamId) ||
        m_container->seekAndRead(m_streamId, K + V, b, static_cast<uint32_t>(at)) != 0)
        return false;
    key = bkGetLE(b, K);
    value = bkGetLE(b + K, V);
    return true;
}

void cBkVerseSyncStg::readRecord(uint32_t i, uint8_t* keyBytes, uint32_t& value)
{
    if (i >= recordCount())
        return;
    cBkContainerLock lock(m_container);
    uint32_t key, v;
    readRecordUnlocked(i, key, v);
    bkPutLE(keyBytes, key, keyWidth());
    value = v;
}

bool cBkVerseSyncStg::recordAt(uint32_t i, uint32_t& key, uint32_t& value)
{
    cBkContainerLock lock(m_container);
    return readRecordUnlocked(i, key, value);
}

uint32_t cBkVerseSyncStg::keyOfRecord(uint32_t i)
{
    cBkContainerLock lock(m_container);
    uint32_t key, v;
    readRecordUnlocked(i, key, v);
    return key;
}

uint32_t cBkVerseSyncStg::groupFirstRecord(uint32_t key)
{
    const uint32_t g = groupOf(key, keyWidth());
    const uint32_t first = bkGetLE32(m_hdr + kFirstGroup), count = bkGetLE32(m_hdr + kGroupCount);
    if (g < first || static_cast<uint64_t>(g) >= static_cast<uint64_t>(first) + count)
        return 0;
    uint32_t rec = lookupIndex(g - first, m_counts, m_bases);
    return rec == BkResult::kNone ? 0 : rec;
}

void cBkVerseSyncStg::findKey(uint32_t key, uint32_t& record, uint32_t& value)
{
    record = 0;
    value = 0;
    // Without key bytes no record can match (and zero-width records would make the scan endless).
    const uint32_t start = keyWidth() == 0 ? 0 : groupFirstRecord(key);
    if (start == 0)
        return;
    const uint32_t s = groupShift(keyWidth());
    const uint32_t g = groupOf(key, keyWidth());
    for (uint32_t i = start; i < recordCount(); ++i) {
        uint32_t k, v;
        if (!readRecordUnlocked(i, k, v))
            return;
        if (k == key) {
            record = i;
            value = v;
            return;
        }
        if (((k >> (s + 8)) & 0xFF) != (g >> 8))
            return;
    }
}

void cBkVerseSyncStg::sectionForKey(uint32_t key, uint32_t& record, uint32_t& value)
{
    cBkContainerLock lock(m_container);
    findKey(key, record, value);
}

uint32_t cBkVerseSyncStg::firstRecordOfChapter(uint32_t key)
{
    if (keyWidth() == 0)
        return 0;
    cBkContainerLock lock(m_container);
    return groupFirstRecord(key);
}

void cBkVerseSyncStg::lastSectionForAmbiguousKey(uint32_t key, int32_t translation, uint32_t& record, uint32_t& value)
{
    cBkVerseKeyNavigator& nav = cBkVerseKeyNavigator::current();
    const uint32_t mapped = nav.mapIntoTranslation(key, translation);
    const uint32_t verse = mapped & 0xFF, chapter = (mapped >> 8) & 0xFF;
    cBkContainerLock lock(m_container);
    if (verse != kLastMarker && chapter != kLastMarker) {
        findKey(mapped, record, value);
        return;
    }
    uint32_t mask, moved = mapped;
    bool ok;
    // A whole-book end key has both bytes at the marker: it means the book's last verse, so the
    // chapter marker decides (the chapter-and-verse mask would match no record at all).
    if (verse == kLastMarker && chapter != kLastMarker) {
        mask = 0xFFFF00;
        ok = nav.nextChapter(moved, translation);
    } else {
        mask = 0xFF0000;
        ok = nav.nextBook(moved, translation);
    }
    uint32_t start = ok ? groupFirstRecord(moved) : 0;
    if (start == 0 && nav.nextBook(moved, translation))
        start = groupFirstRecord(moved);
    const uint32_t R = recordCount();
    if (start == 0)
        start = R > 0 ? R - 1 : 0;
    if (start >= R)
        start = R > 0 ? R - 1 : 0;
    record = 0;
    value = 0;
    if (keyWidth() == 0)
        return;
    // The next chapter or book by number starts a later group in most Bibles; where the books do
    // not follow their numbers (books between the testaments, in their source's order) it may come
    // before the wanted one, and the search starts again from the last record.
    for (const uint32_t from : {start, R > 0 ? R - 1 : 0}) {
        for (uint32_t i = from; i >= 1; --i) {
            uint32_t k, v;
            if (!readRecordUnlocked(i, k, v))
                return;
            if ((k & mask) == (mapped & mask)) {
                record = i;
                value = v;
                return;
            }
        }
        if (from == R - 1)
            return;
    }
}

cBkDateSyncStg::cBkDateSyncStg() : cBkSubstorageSupport(bkTag("DATE"), m_hdr, kDateHeaderSize)
{
    for (int i = 0; i < 4; ++i)
        bkPutLE(m_hdr + kDateIndex + 4 * i, kDateDefaultBase, 4);
    cBkTieredOffsetIndex::decode(m_hdr + kDateIndex, m_bases, m_counts);
}

uint32_t cBkDateSyncStg::open(cBkStreamFile* container)
{
    cBkContainerLock lock(container);
    uint32_t r = openUnlocked(container);
    cBkTieredOffsetIndex::decode(m_hdr + kDateIndex, m_bases, m_counts);
    if (r == 0 && readingCount() > m_container->size(m_streamId))
        r = BkResult::kMalformed;
    // A book opens without its date storage; a failed one then has no readings.
    if (r != 0)
        bkPutLE(m_hdr + kDateCount, 0, 4);
    return r;
}

uint32_t cBkDateSyncStg::sectionOfReading(uint32_t r)
{
    if (r >= readingCount())
        return BkResult::kNone;
    cBkContainerLock lock(m_container);
    return lookupIndex(r, m_counts, m_bases);
}

int32_t cBkDateSyncStg::readingForSection(uint32_t s)
{
    const uint32_t n = readingCount();
    if (n == 0 || m_container == nullptr)
        return -1;
    cBkContainerLock lock(m_container);
    uint32_t lo = 0, hi = n;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        uint32_t e = lookupIndex(mid, m_counts, m_bases);
        bool last = mid + 1 >= n;
        uint32_t e1 = last ? 0 : lookupIndex(mid + 1, m_counts, m_bases);
        if (e <= s && (last || e1 > s))
            return static_cast<int32_t>(mid);
        if (e >= s)
            hi = mid;
        else
            lo = mid + 1;
    }
    return -1;
}

void cBkDateSyncStg::defaultStart(uint8_t& month, uint8_t& day, uint8_t& third) const
{
    month = m_hdr[kDateMonth];
    day = m_hdr[kDateDay];
    third = m_hdr[kDateThird];
}

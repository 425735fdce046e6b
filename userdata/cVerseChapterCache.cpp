#include "userdata/cVerseChapterCache.h"

#include "engine/foundation/cLIntArray.h"
#include "engine/references/cBibleRef.h"

namespace {

// This thread's batch: how deep, and whether a lookup in it has read the file's data version.
thread_local int tBatchDepth = 0;
thread_local bool tBatchLookedAtFile = false;

}  // namespace

bool cVerseChapterCache::visitKeyRanges(
    const cBibleRef& reference, const std::function<bool(std::uint32_t first, std::uint32_t last)>& visit)
{
    const auto key = static_cast<std::uint32_t>(reference.startKey());
    if (key != 0 && visit(key, key))
        return true;
    cLIntArray starts;
    cLIntArray ends;
    reference.collectEquivalentKeys(starts, ends);  // the first entry is the reference's own key
    for (std::int32_t i = 1; i < starts.count(); ++i) {
        const auto first = static_cast<std::uint32_t>(starts.at(i));
        const auto last = static_cast<std::uint32_t>(ends.at(i));
        if (first <= last && visit(first, last))
            return true;
    }
    return false;
}

void cVerseChapterCache::beginBatch()
{
    if (tBatchDepth++ == 0)
        tBatchLookedAtFile = false;
}

void cVerseChapterCache::endBatch()
{
    if (tBatchDepth > 0)
        --tBatchDepth;
}

bool cVerseChapterCache::begin()
{
    cSQLiteChangeMark now;
    const bool lookAtFile = tBatchDepth == 0 || !tBatchLookedAtFile;
    if (!cSQLiteDbBase::changeMark(now, lookAtFile)) {
        clear();
        return false;
    }
    if (tBatchDepth > 0)
        tBatchLookedAtFile = true;
    if (!m_marked || !(now == m_mark)) {
        clear();
        m_mark = now;
        m_marked = true;
    }
    return true;
}

void cVerseChapterCache::clear()
{
    m_entries.clear();
    m_marked = false;
}

const cVerseChapterCache::Chapter* cVerseChapterCache::chapter(std::uint32_t chapterKey, const Loader& load)
{
    for (Entry& entry : m_entries) {
        if (entry.chapterKey == chapterKey) {
            entry.used = ++m_tick;
            return &entry.chapter;
        }
    }
    Chapter read;
    if (!load(chapterKey, read))
        return nullptr;
    if (m_entries.size() < kChapters) {
        if (m_entries.capacity() == 0)
            m_entries.reserve(kChapters);
        m_entries.emplace_back();
    } else {
        Entry* oldest = &m_entries.front();
        for (Entry& entry : m_entries) {
            if (entry.used < oldest->used)
                oldest = &entry;
        }
        std::swap(*oldest, m_entries.back());
    }
    Entry& entry = m_entries.back();
    entry.chapterKey = chapterKey;
    entry.used = ++m_tick;
    entry.chapter = read;
    return &entry.chapter;
}

bool cVerseChapterCache::firstInRange(
    std::uint32_t first, std::uint32_t last, const Loader& load, std::uint32_t& key, std::uint32_t& value, bool& failed)
{
    failed = false;
    if (last < first)
        return false;
    const std::uint64_t firstChapter = first >> 8;
    const std::uint64_t lastChapter = last >> 8;
    if (lastChapter - firstChapter >= kChaptersPerRange) {
        failed = true;  // the owner's own range query answers
        return false;
    }
    for (std::uint64_t c = firstChapter; c <= lastChapter; ++c) {
        const Chapter* verses = chapter(static_cast<std::uint32_t>(c & 0xFFFF), load);
        if (verses == nullptr) {
            failed = true;
            return false;
        }
        const std::uint32_t from = c == firstChapter ? (first & 0xFF) : 0;
        const std::uint32_t to = c == lastChapter ? (last & 0xFF) : 255;
        for (std::uint32_t v = from; v <= to; ++v) {
            if (verses->present.test(v)) {
                key = static_cast<std::uint32_t>(c << 8) | v;
                value = verses->values[v];
                return true;
            }
        }
    }
    return false;
}

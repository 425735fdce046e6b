#include "userdata/cVerseHighlightDoc.h"

#include <memory>
#include <mutex>

#include "engine/foundation/cLIntArray.h"
#include "engine/references/cBibleRef.h"
#include "userdata/SQLiteFailure.h"

namespace {

// Shares of the document not yet given back; changed only under the highlight lock.
std::int32_t gOpenCount = 0;

// Owns the instance; at exit the last share is given back before the document is destroyed.
struct InstanceHolder {
    std::unique_ptr<cVerseHighlightDoc> doc;
    ~InstanceHolder()
    {
        if (doc)
            doc->closeShared();
    }
};

InstanceHolder& holder()
{
    static InstanceHolder instance;
    return instance;
}

}  // namespace

cVerseHighlightDoc* cVerseHighlightDoc::verseHighlightDocInstance()
{
    static std::once_flag created;
    std::call_once(created, [] {
        holder().doc = std::make_unique<cVerseHighlightDoc>();
        holder().doc->openShared(nullptr);
    });
    return holder().doc.get();
}

cVerseHighlightDoc::~cVerseHighlightDoc()
{
    closeShared();
}

bool cVerseHighlightDoc::openOrCreate(const cLString16&, bool)
{
    return false;
}

void cVerseHighlightDoc::close()
{
    closeShared();
}

std::int64_t cVerseHighlightDoc::highestServerId()
{
    HighlightLock lock;
    return m_docOpen ? cVerseHighlightStg::highestServerId() : -1;
}

bool cVerseHighlightDoc::openShared(const cLString16* path)
{
    HighlightLock lock;
    ++gOpenCount;
    if (isOpen() || cVerseHighlightStg::openOrCreate(path ? *path : databasePath(), true)) {
        m_docOpen = true;
        return true;
    }
    // A failed open takes no share, so the count stays matched with closeShared calls.
    --gOpenCount;
    return false;
}

void cVerseHighlightDoc::closeShared()
{
    HighlightLock lock;
    if (!m_docOpen)
        return;
    if (gOpenCount-- <= 1) {
        m_docOpen = false;
        cVerseHighlightStg::close();
        gOpenCount = 0;
    }
}

bool cVerseHighlightDoc::isDocOpen() const
{
    HighlightLock lock;
    return m_docOpen;
}

bool cVerseHighlightDoc::findHighlightInReference(const cBibleRef& reference, cVerseHighlightRecord& record)
{
    HighlightLock lock;
    if (!m_docOpen)
        return false;
    const std::uint32_t key = reference.startKey() & 0xFFFFFF;
    if (findHighlightByVerse(key, false, record))
        return true;
    cLIntArray starts;
    cLIntArray ends;
    reference.collectEquivalentKeys(starts, ends);
    for (std::int32_t i = 1; i < starts.count(); ++i) {
        const std::uint32_t first = static_cast<std::uint32_t>(starts.getAt(i)) & 0xFFFFFF;
        const std::uint32_t last = static_cast<std::uint32_t>(ends.getAt(i)) & 0xFFFFFF;
        if (first <= last && findLiveHighlightInRange(first, last, record))
            return true;
    }
    return false;
}

bool cVerseHighlightDoc::getHighlight(const cBibleRef& reference, std::uint16_t& fore, std::uint16_t& back, bool)
{
    HighlightLock lock;
    fore = 0;
    back = 0;
    if (!m_docOpen)
        return false;
    std::uint32_t colours = 0;
    bool failed = true;
    bool found = false;
    if (m_verses.begin())
        found = highlightFromChapters(reference, colours, failed);
    if (failed) {
        // Inside a transaction, or a chapter could not be read: the rows themselves answer.
        cVerseHighlightRecord record;
        found = findHighlightInReference(reference, record);
        colours = std::uint32_t {record.forecolor} << 16 | record.backcolor;
    }
    if (!found)
        return false;
    fore = static_cast<std::uint16_t>(colours >> 16);
    back = static_cast<std::uint16_t>(colours & 0xFFFF);
    return true;
}

bool cVerseHighlightDoc::highlightFromChapters(const cBibleRef& reference, std::uint32_t& colours, bool& failed)
{
    const auto load = [this](std::uint32_t chapterKey, cVerseChapterCache::Chapter& chapter) {
        return readChapterHighlights(chapterKey, chapter);
    };
    std::uint32_t found = 0;
    failed = false;
    const bool hit = cVerseChapterCache::visitKeyRanges(reference, [&](std::uint32_t first, std::uint32_t last) {
        first &= 0xFFFFFF;
        last &= 0xFFFFFF;
        return first <= last && (m_verses.firstInRange(first, last, load, found, colours, failed) || failed);
    });
    return hit && !failed;
}

bool cVerseHighlightDoc::setHighlight(const cBibleRef& reference, std::uint16_t fore, std::uint16_t back,
    const cDBTimestamp* timestamp, bool useTimestamp)
{
    HighlightLock lock;
    if (!m_docOpen)
        return false;
    cVerseHighlightRecord record;
    const SQLiteFailure::Watch watch;
    const bool found = findHighlightInReference(reference, record);
    if (!found && watch.failed())
        return false;  // what stands at the verse could not be read: nothing is written over it
    if (found) {
        record.forecolor = fore;
        record.backcolor = back;
        record.serverid = 0;
    } else {
        record.setVerse(reference, fore, back);
    }
    const bool keepTimestamp = useTimestamp && timestamp != nullptr;
    if (keepTimestamp)
        record.setTimestamp(*timestamp);
    if (record.recid != 0)
        return updateHighlight(record, true, keepTimestamp);
    return addHighlight(record, false, true, keepTimestamp);
}

bool cVerseHighlightDoc::removeHighlight(const cBibleRef& reference)
{
    HighlightLock lock;
    if (!m_docOpen)
        return false;
    cVerseHighlightRecord record;
    const SQLiteFailure::Watch watch;
    if (!findHighlightInReference(reference, record))
        return !watch.failed();  // none there, unless it could not be read
    return markHighlightDeleted(record, false, true, false);
}

bool cVerseHighlightDoc::firstHighlight(cVerseHighlightRecord& record, const cLIntArray* colours, bool)
{
    lockHighlights();  // held until endHighlightWalk
    return m_docOpen && firstHighlightOfColors(record, colours);
}

bool cVerseHighlightDoc::nextHighlight(cVerseHighlightRecord& record, const cLIntArray* colours)
{
    HighlightLock lock;
    return m_docOpen && nextHighlightOfColors(record, colours);
}

void cVerseHighlightDoc::endHighlightWalk(bool)
{
    unlockHighlights();
}

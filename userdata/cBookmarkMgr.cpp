#include "userdata/cBookmarkMgr.h"

#include <algorithm>

#include "engine/foundation/cLIntArray.h"
#include "engine/references/cBibleRef.h"
#include "userdata/UserDataHooks.h"

namespace {

// The key ranges under which a verse is known: its own key first, then each equivalent range of the
// other versifications.
void equivalentKeyRanges(std::uint32_t packedKey, cLIntArray& starts, cLIntArray& ends)
{
    const cBibleRef reference(packedKey & 0xFFFFFF);
    reference.collectEquivalentKeys(starts, ends);  // nothing for key 0, which names no verse
}

cLPtrArray* listOf(std::vector<cBookmark>& found)
{
    if (found.empty())
        return nullptr;
    auto* list = new cLPtrArray();
    for (cBookmark& record : found)
        list->append(new cBookmark(record));
    return list;
}

// The search for every bookmark of one book section.
cBookmarkSearch sectionSearch(std::uint16_t pubid, std::uint16_t bookid, std::int32_t section)
{
    cBookmarkSearch search;
    search.hasBook = true;
    search.pubid = pubid;
    search.bookid = bookid;
    search.hasSection = true;
    search.section = section;
    return search;
}

}  // namespace

cBookmarkMgr::~cBookmarkMgr()
{
    if (m_mgrOpened)
        cBookmarkMgr::close();
}

bool cBookmarkMgr::openExisting(const cLString16& path, bool report)
{
    const bool ok = cBookmarkStg::openExisting(path, report);
    if (ok)
        m_mgrOpened = true;
    return ok;
}

bool cBookmarkMgr::openOrCreate(const cLString16& path, bool report)
{
    const bool ok = cBookmarkStg::openOrCreate(path, report);
    if (ok)
        m_mgrOpened = true;
    return ok;
}

void cBookmarkMgr::close()
{
    m_mgrOpened = false;
    cBookmarkStg::close();
}

bool cBookmarkMgr::openDatabase(const cLString16* path, bool create, bool report)
{
    const cLString16 where = path ? *path : databasePath();
    return create ? openOrCreate(where, report) : openExisting(where, report);
}

bool cBookmarkMgr::collectVerseBookmarks(std::uint32_t packedKey, std::vector<cBookmark>& out, bool firstOnly)
{
    const bool openedHere = !isOpen();
    if (openedHere && !openDatabase(nullptr, false, false))
        return false;
    cLIntArray starts;
    cLIntArray ends;
    equivalentKeyRanges(packedKey, starts, ends);
    // One query per key range (the same rows, in the same order, as asking key after key, without a
    // statement per key of a long range); a row that two ranges share is listed once.
    const char* sql =
        "SELECT timestamp, recid, catid, serverid, deleted, book, chapter, verse FROM BibleBookmarks WHERE deleted = 0 "
        "AND book BETWEEN ? AND ? AND chapter BETWEEN 0 AND 255 AND verse BETWEEN 0 AND 255 AND "
        "book * 65536 + chapter * 256 + verse BETWEEN ? AND ? ORDER BY book, chapter, verse, catid, recid";
    bool ok = true;
    for (std::int32_t i = 0; i < starts.count() && ok; ++i) {
        const std::int64_t start = static_cast<std::uint32_t>(starts.getAt(i)) & 0xFFFFFF;
        const std::int64_t end = static_cast<std::uint32_t>(ends.getAt(i)) & 0xFFFFFF;
        if (start > end)
            continue;
        std::vector<cBookmark> rows;
        ok = readRows(cBookmark::kBibleVerse, sql, {start >> 16, end >> 16, start, end}, rows);
        if (!rows.empty())
            requestSyncBibleBookmarks(0);
        for (const cBookmark& row : rows) {
            const bool seen =
                std::any_of(out.begin(), out.end(), [&](const cBookmark& b) { return b.recid == row.recid; });
            if (!seen)
                out.push_back(row);
        }
        if (firstOnly && !out.empty())
            break;
    }
    if (openedHere)
        close();
    return ok;
}

bool cBookmarkMgr::hasBookmarkInRange(std::uint32_t packedKey)
{
    std::vector<cBookmark> found;
    collectVerseBookmarks(packedKey, found, true);
    return !found.empty();
}

cLPtrArray* cBookmarkMgr::bibleBookmarksInRange(std::uint32_t packedKey)
{
    std::vector<cBookmark> found;
    collectVerseBookmarks(packedKey, found, false);
    return listOf(found);
}

bool cBookmarkMgr::hasBookBookmark(std::uint16_t pubid, std::uint16_t bookid, std::int32_t section)
{
    const bool openedHere = !isOpen();
    if (openedHere && !openDatabase(nullptr, false, false))
        return false;
    cBookmarkSearch search = sectionSearch(pubid, bookid, section);
    cBookmark record;
    const bool found = findFirstBookBookmark(search, record);
    if (openedHere)
        close();
    return found;
}

cLPtrArray* cBookmarkMgr::bookBookmarksForSection(std::uint16_t pubid, std::uint16_t bookid, std::int32_t section)
{
    const bool openedHere = !isOpen();
    if (openedHere && !openDatabase(nullptr, false, false))
        return nullptr;
    cBookmarkSearch search = sectionSearch(pubid, bookid, section);
    std::vector<cBookmark> found;
    cBookmark record;
    for (bool more = findFirstBookBookmark(search, record); more; more = findNextBookmark(search, record))
        found.push_back(record);
    if (openedHere)
        close();
    return listOf(found);
}

void cBookmarkMgr::freeBookmarkList(cLPtrArray* list)
{
    if (!list)
        return;
    for (std::int32_t i = 0; i < list->count(); ++i)
        delete static_cast<cBookmark*>(list->elementAt(i));
    delete list;
}

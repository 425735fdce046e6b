// cBookmarkMgr: the bookmark store with the range queries that the panes and the documents use.
// Callers make one on the stack for an operation, open it, use it and let it close.
//
// The queries open the store (existing tables only) when it is not open and close it again
// afterwards. A verse is looked up under its own key and under the keys of its equivalent verses in
// the other versifications.
#pragma once

#include <cstdint>

#include "engine/foundation/cLPtrArray.h"
#include "userdata/cBookmarkStg.h"

class cBookmarkMgr : public cBookmarkStg {
public:
    cBookmarkMgr() = default;
    ~cBookmarkMgr() override;

    bool openExisting(const cLString16& path, bool report) override;
    bool openOrCreate(const cLString16& path, bool report) override;
    void close() override;

    // Opens at `path` (the default database path when null): with `create`, creating or upgrading
    // the tables; otherwise only when they exist.
    bool openDatabase(const cLString16* path, bool create, bool report);

    // Whether a live Bible bookmark, in any category, is on the verse or an equivalent one.
    bool hasBookmarkInRange(std::uint32_t packedKey);
    // Whether a live bookmark is on the section of that book (any edition).
    bool hasBookBookmark(std::uint16_t pubid, std::uint16_t bookid, std::int32_t section);
    // A new list of new cBookmark records: every live bookmark of the verse and its equivalent
    // verses, in key order, then category order; null when there is none. Free with freeBookmarkList.
    cLPtrArray* bibleBookmarksInRange(std::uint32_t packedKey);
    // The same for one section of a book (any edition).
    cLPtrArray* bookBookmarksForSection(std::uint16_t pubid, std::uint16_t bookid, std::int32_t section);
    // Destroys the records and the list; null is accepted.
    static void freeBookmarkList(cLPtrArray* list);

private:
    // Every live Bible bookmark of the verse's key ranges, each row once.
    bool collectVerseBookmarks(std::uint32_t packedKey, std::vector<cBookmark>& out, bool firstOnly);

    bool m_mgrOpened = false;
};

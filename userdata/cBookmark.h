// cBookmark: one row of the bookmark tables, either a Bible verse (kind 1, table BibleBookmarks) or a
// section of another book (kind 2, table BookBookmarks), in one category (catid 0 = none).
// cBookmarkSearch: the state of a walk over one of those tables, filled by the caller and advanced by
// the bookmark store (cBookmarkStg).
//
// Both are plain values owned by one thread at a time.
#pragma once

#include <cstdint>

#include "userdata/cDBRecord.h"

class cRenderParams;

class cBookmark : public cDBRecord {
public:
    enum : std::uint32_t { kNone = 0, kBibleVerse = 1, kBookSection = 2 };

    cBookmark() { clear(); }

    // Base fields, kind, Bible and book fields 0, section -1, catid 0.
    void clear() override;

    // Clears the record and makes it a verse bookmark from a packed key (book << 16 | chapter << 8 |
    // verse).
    void setBibleVerse(std::uint32_t packedKey, std::uint16_t catid);
    // Clears the record and makes it a book-section bookmark.
    void setBookSection(
        std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section, std::uint16_t catid);
    // Resets the block and puts the bookmark's location in it: identity (0x40) and section (0x8) for
    // a book bookmark, the verse key (0x2) for a Bible bookmark. False for other kinds.
    bool getLocation(cRenderParams& params) const;

    bool isBibleBookmark() const { return kind == kBibleVerse; }
    bool isBookBookmark() const { return kind == kBookSection; }
    // The packed verse key of a Bible bookmark.
    std::uint32_t packedKey() const { return (book & 0xFF) << 16 | (chapter & 0xFF) << 8 | (verse & 0xFF); }

    std::uint32_t kind = kNone;
    std::uint32_t book = 0;  // 0-255 each
    std::uint32_t chapter = 0;
    std::uint32_t verse = 0;
    std::uint16_t pubid = 0;
    std::uint16_t bookid = 0;
    std::uint8_t edition = 0;
    std::int32_t section = -1;
    std::uint16_t catid = 0;
};

struct cBookmarkSearch {
    enum : std::uint32_t { kBibleSearch = 204, kBookSearch = 205 };

    std::uint32_t state = 0;
    bool hasBook = false;  // one book only
    std::uint16_t pubid = 0;
    std::uint16_t bookid = 0;
    bool hasCatid = false;  // one category only
    std::uint16_t catid = 0;
    bool hasVerse = false;  // one verse only
    std::uint8_t book = 0;
    std::uint8_t chapter = 0;
    std::uint8_t verse = 0;
    bool hasSection = false;  // one section only
    std::int32_t section = 0;
    // 0 live rows only, 1 deleted rows only, any other value both; without the flag, live rows only.
    bool hasDeletedFilter = false;
    std::int32_t deletedFilter = 0;
    std::int64_t recid = 0;  // the current hit
};

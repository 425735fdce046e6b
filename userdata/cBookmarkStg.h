// cBookmarkStg: the store of the two bookmark tables, BibleBookmarks (verses) and BookBookmarks
// (sections of other books), both synchronised with the cloud.
//
// Rules every writer keeps: a local change stamps the row with the current UTC time and leaves
// serverid 0 (unless the caller keeps them, as the sync engine does for rows it received); a location
// holds at most one live bookmark per category (adding one replaces the older row); deleting is soft
// (deleted 1) until the sync removes the row. After every write the category search cache of the
// changed location is brought up to date and the table's sync is requested with now = 1, also after a
// failed statement; the first hit of a search requests it with now = 0.
//
// A store object belongs to one thread at a time; any number of them may be used on different
// threads at once (they share the process-wide connection). Operations other than the manager's
// queries need the store open (openExisting or openOrCreate). A search is valid while its store stays
// open. Writes that take more than one statement run in one transaction.
#pragma once

#include <cstdint>
#include <memory>

#include "userdata/cBookmark.h"
#include "userdata/cSQLiteDbBase.h"

class cBookmarkStg : public cSQLiteDbBase {
public:
    cBookmarkStg() = default;
    ~cBookmarkStg() override;

    bool isOpen() const override { return m_ready && cSQLiteDbBase::isOpen(); }

    // Opens the share and checks that both tables exist (codes other than "no such table" are
    // reported when asked); closes again when one is missing.
    virtual bool openExisting(const cLString16& path, bool report);
    // Opens the share and creates or upgrades both tables.
    virtual bool openOrCreate(const cLString16& path, bool report);
    // Closes the share.
    virtual void close();

    // The highest server id of the table: -1 when it is empty, 0 when the statement fails.
    virtual std::int64_t highestBibleBookmarkServerId();
    virtual std::int64_t highestBookBookmarkServerId();
    // Removes the row for good (kind 1 from BibleBookmarks, kind 2 from BookBookmarks).
    virtual bool deleteBookmarkRow(const cBookmark& record);
    // Moves a search of state 204 or 205 to the next row in table order (Bible: book, chapter, verse,
    // catid; books: pubid, bookid, section, catid; then recid), honouring its deleted filter only.
    // False when the current row is gone or there is no next row.
    virtual bool nextBookmarkInOrder(cBookmarkSearch& search);

    // The first row, by recid, that the server has not acknowledged (serverid 0).
    bool firstUnsyncedBibleBookmark(cBookmark& record);
    bool firstUnsyncedBookBookmark(cBookmark& record);
    // Reads the row `recid` of the table of `kind` into the record (cleared first).
    bool readBookmarkRow(std::int64_t recid, cBookmark& record, std::uint32_t kind);

    // Starts a search (state 204 / 205) and reads its first hit. The unique_ptr forms make a new
    // record when the pointer is empty.
    bool findFirstBibleBookmark(cBookmarkSearch& search, cBookmark& record);
    bool findFirstBibleBookmark(cBookmarkSearch& search, std::unique_ptr<cBookmark>& record);
    bool findFirstBookBookmark(cBookmarkSearch& search, cBookmark& record);
    bool findFirstBookBookmark(cBookmarkSearch& search, std::unique_ptr<cBookmark>& record);
    // The search's next hit; false at the end of its verse, book or section.
    bool findNextBookmark(cBookmarkSearch& search, cBookmark& record);
    bool findNextBookmark(cBookmarkSearch& search, std::unique_ptr<cBookmark>& record);

    // The row with exactly the search's location (verse, else section) and catid.
    bool findBookmarkLike(const cBookmarkSearch& search, cBookmark& record);
    bool findBookmarkByLocation(const cBookmarkSearch& search, cBookmark& record)
    {
        return findBookmarkLike(search, record);
    }
    // The live row with the same location and catid as `like`.
    bool findSameBookmark(const cBookmark& like, cBookmark& record);

    // Inserts a record without recid that is not deleted (serverid 0 unless kept).
    bool addBookmark(cBookmark& record, bool keepServerId, bool report, bool keepTimestamp);
    // Rewrites a stored record (reports code -1 for one without recid, when asked).
    bool updateBookmark(cBookmark& record, bool report, bool keepTimestamp);
    // Soft delete: deleted 1 (serverid 0 unless kept), then written.
    bool markBookmarkDeleted(cBookmark& record, bool keepServerId, bool report, bool keepTimestamp);
    // Inserts (recid 0) or updates the record.
    bool writeBookmark(cBookmark& record, bool report, bool keepTimestamp);

    // Copies every live bookmark of one category into another as new unsynced rows.
    bool copyCategoryBookmarks(std::uint16_t fromCatid, std::uint16_t toCatid, bool report, bool keepTimestamps);
    // Soft-deletes every live bookmark of a category (every category when catid is negative), all
    // with one timestamp: the given one or now.
    bool deleteBookmarksInCategory(std::int32_t catid, bool report, const cDBTimestamp* timestamp = nullptr);

    // Row counts. deleted: 0 live, -1 any, other values deleted only; catid 65535 = any; pubid,
    // bookid, edition 0 = any. -1 when no row came back, 0 when the statement fails.
    std::int64_t countBibleBookmarks(std::int32_t deleted, std::uint16_t catid);
    std::int64_t countBookBookmarks(
        std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t deleted, std::uint16_t catid);

protected:
    // Runs a query whose columns are "timestamp, recid, catid, serverid, deleted" and the location
    // columns of `kind`, reading every row.
    bool readRows(std::uint32_t kind, const char* sql, const cSQLValues& values, std::vector<cBookmark>& out);

private:
    bool findFirst(cBookmarkSearch& search, cBookmark& record);
    bool writeRow(cBookmark& record, bool report, bool keepTimestamp);
    bool m_ready = false;
};

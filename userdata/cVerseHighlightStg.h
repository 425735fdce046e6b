// cVerseHighlightStg: the store of VerseHighlights, one row per highlighted verse key, synchronised
// with the cloud.
//
// Writers keep at most one row per verse: a new row replaces any older row of its verse (live or
// tombstone). A local change stamps the row with the current UTC time and leaves serverid 0; the sync
// engine keeps its own values. After every write (also a failed one) the colour search cache of the
// verse is brought up to date and a highlight sync is requested with now = 1; readers that find a row
// request it with now = 0.
//
// The highlight lock: one process-wide lock guards every change of the table made through a store and
// the document's chapters kept for lookups, so that a lookup never answers with colours a writer is
// replacing. It may be taken again by the thread that holds it. It
// is taken before the connection's statement lock, never inside it: do not call a highlight writer
// inside cSQLiteDbBase::runInTransaction. The search-cache and sync calls of reads and writes are
// made once the calling thread has let the highlight lock go.
//
// Any thread may use a store object it owns; the store must be open (openOrCreate) for every
// operation.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "engine/foundation/cLIntArray.h"
#include "userdata/cSQLiteDbBase.h"
#include "userdata/cVerseChapterCache.h"
#include "userdata/cVerseHighlightRecord.h"

class cVerseHighlightStg : public cSQLiteDbBase {
public:
    cVerseHighlightStg() = default;
    ~cVerseHighlightStg() override;

    bool isOpen() const override { return m_ready && cSQLiteDbBase::isOpen(); }
    // Opens the share and creates or upgrades VerseHighlights.
    virtual bool openOrCreate(const cLString16& path, bool report);
    virtual void close();
    // The highest server id: -1 when the table is empty, 0 when the statement fails.
    virtual std::int64_t highestServerId();

    // The first row, by recid, not yet acknowledged by the server (serverid 0).
    bool firstUnsyncedHighlight(cVerseHighlightRecord& record);
    // Live rows by recid, only those whose back colour is in `colours` when a non-empty list is given.
    // The unique_ptr form makes a new record when the pointer is empty.
    bool firstHighlightOfColors(cVerseHighlightRecord& record, const cLIntArray* colours);
    bool firstHighlightOfColors(std::unique_ptr<cVerseHighlightRecord>& record, const cLIntArray* colours);
    bool nextHighlightOfColors(cVerseHighlightRecord& record, const cLIntArray* colours);
    // The row of a verse key (live only unless includeDeleted).
    bool findHighlightByVerse(std::uint32_t bcv, bool includeDeleted, cVerseHighlightRecord& record);
    bool findHighlightByVerse(std::uint32_t bcv, bool includeDeleted, std::unique_ptr<cVerseHighlightRecord>& record);
    bool readHighlightByRecid(std::int64_t recid, cVerseHighlightRecord& record);

    // Inserts (recid 0, replacing any row of the verse) or updates the record.
    bool writeHighlight(cVerseHighlightRecord& record, bool report, bool keepTimestamp);
    // Removes the row for good.
    bool deleteHighlightRow(const cVerseHighlightRecord& record);
    // Inserts a record without recid that is not deleted (serverid 0 unless kept).
    bool addHighlight(cVerseHighlightRecord& record, bool keepServerId, bool report, bool keepTimestamp);
    // Rewrites a stored record with its serverid (reports code -1 for one without recid, when asked).
    bool updateHighlight(cVerseHighlightRecord& record, bool report, bool keepTimestamp);
    // Soft delete: deleted 1 (serverid 0 unless kept), then written.
    bool markHighlightDeleted(cVerseHighlightRecord& record, bool keepServerId, bool report, bool keepTimestamp);
    // Soft-deletes every live highlight (backColor < 0) or those of one back colour, all with one
    // timestamp: the given one or now.
    bool deleteHighlightsWithColor(std::int32_t backColor, bool report, const cDBTimestamp* timestamp = nullptr);
    // Row count: deletedFilter 0 live, 1 deleted, other values all (the colour list only applies with
    // 0 or 1). 0 when the statement fails.
    std::int64_t countHighlights(std::int32_t deletedFilter, const cLIntArray* colours);

    // The highlight lock (see above). unlockHighlights on a thread that does not hold it does nothing.
    static void lockHighlights();
    static void unlockHighlights();
    class HighlightLock {
    public:
        HighlightLock() { lockHighlights(); }
        ~HighlightLock() { unlockHighlights(); }
        HighlightLock(const HighlightLock&) = delete;
        HighlightLock& operator=(const HighlightLock&) = delete;
    };

protected:
    // Runs `call` once this thread no longer holds the highlight lock (at once when it does not).
    static void afterHighlightUnlock(std::function<void()> call);
    // The range query behind equivalent-verse look-ups: the first live row with a key in first..last.
    bool findLiveHighlightInRange(std::uint32_t first, std::uint32_t last, cVerseHighlightRecord& record);
    // The live highlights of one chapter (book << 8 | chapter), each verse's colours as fore << 16 |
    // back, taken from the row findHighlightByVerse answers for it. One statement.
    bool readChapterHighlights(std::uint32_t chapterKey, cVerseChapterCache::Chapter& chapter);

private:
    bool readOne(const char* sql, const cSQLValues& values, cVerseHighlightRecord& record, bool report = false);
    bool writeRow(cVerseHighlightRecord& record, bool report, bool keepTimestamp);

    bool m_ready = false;
};

// cBookNoteStg: the store of book and journal-form notes (table BookNotes) and of the journal notes
// that saved searches of a layout have found (table JournalSearchResults).
//
// At most one row, live or tombstone, exists per location and form field: saving a new note first
// removes any row already there. Deleting marks the row a tombstone where it stands (deleted 1,
// serverid 0, no text), which the next sync uploads; only the sync removes rows for good
// (deleteBookNoteRow). A note that shows nothing (NoteText.h) is stored as a deletion, and one left
// by an older version is made one when the store opens. Every write stamps
// the record, invalidates the note search cache of its book and asks the sync engine to run.
//
// The store never opens on demand: every operation other than openOrCreate expects the store to be
// open. Any thread may use it; statements are serialised by the shared connection, and each write
// runs as one transaction, so two threads saving at the same location leave one row.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "userdata/cBookNote.h"
#include "userdata/cSQLiteDbBase.h"

class cBookNoteStg : public cSQLiteDbBase {
public:
    cBookNoteStg() = default;
    ~cBookNoteStg() override;

    bool isOpen() const override { return m_ready.load() && cSQLiteDbBase::isOpen(); }

    // Opens the share (at `path`, or databasePath when empty) and checks BookNotes, then
    // JournalSearchResults, creating or upgrading them.
    virtual bool openOrCreate(const cLString16& path, bool report);
    virtual void close();

    // The largest serverid (the sync's download watermark): -1 when the table is empty, 0 on failure.
    virtual std::int64_t highestServerId();

    // Walks over live notes by recid. With pubid, bookid and edition all set in `record`, only that
    // book's notes; otherwise every book.
    virtual bool firstBookNote(cBookNote& record, bool report);
    virtual bool lastBookNote(cBookNote& record, bool report);
    virtual bool nextBookNote(cBookNote& record, bool report);
    virtual bool previousBookNote(cBookNote& record, bool report);

    // The first row (live or tombstone) not yet acknowledged by the server.
    bool firstUnsyncedBookNote(cBookNote& record);
    // The note at a location and form field (names compared without regard to ASCII case).
    bool findBookNote(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
        const cLString16& formname, const cLString16& fieldname, bool includeDeleted, cBookNote& record);
    // The same into a new record; null when there is none.
    std::unique_ptr<cBookNote> findBookNote(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition,
        std::int32_t section, const cLString16& formname, const cLString16& fieldname, bool includeDeleted);
    // Whether a live note exists there.
    bool findBookNoteRecid(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
        const cLString16& formname, const cLString16& fieldname);
    // Rows of the book(s): pubid, bookid, edition 0 = any; deleted -1 = live and tombstones.
    // -1 when no row came back, 0 when the statement failed.
    std::int64_t countBookNotes(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t deleted);
    // By recid (any row); without a recid, the live note at the record's location and names.
    bool readBookNoteByRecid(cBookNote& record, bool report);
    // 0 when the table is empty or the statement fails.
    std::int64_t highestRecid();

    // Without a uuid (null) every row goes; searchTag counts only with searchId >= 0.
    void removeJournalSearchResults(const char* layoutUuid, std::int32_t searchId, std::int32_t searchTag);
    void addJournalSearchResult(const cLString16& formname, std::int64_t booknotesrecid, const char* layoutUuid,
        std::int32_t searchId, std::int32_t searchTag);
    // The distinct layout uuids, appended to `list` (emptied when none).
    bool journalSearchLayoutIds(std::vector<cLString8>& list);

    // Stamps (unless keepTimestamp) and writes the record, replacing any row at its location when it
    // is new; an empty text makes it a tombstone. Without keepServerId the serverid becomes 0.
    bool writeBookNote(cBookNote& record, bool keepServerId, bool report, bool keepTimestamp);
    // Removes the row for good; false without a recid.
    bool deleteBookNoteRow(const cBookNote& record);
    // Only for a record without recid that is not deleted.
    bool addBookNote(cBookNote& record, bool keepServerId, bool report, bool keepTimestamp);
    // Refused (reported with code -1 when asked) for a record without recid.
    bool updateBookNote(cBookNote& record, bool keepServerId, bool report, bool keepTimestamp);
    bool markBookNoteDeleted(cBookNote& record, bool keepServerId, bool report, bool keepTimestamp);
    // Marks the live note at the location and field deleted where it stands (as
    // cBibleNoteStg::markLiveBibleNoteDeleted). True when no live note was there.
    bool markLiveBookNoteDeleted(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
        const cLString16& formname, const cLString16& fieldname, const cDBTimestamp* at);

private:
    bool selectOne(const char* sql, const cSQLValues& values, cBookNote& record, bool report);
    bool lookup(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
        const cLString16& formname, const cLString16& fieldname, bool includeDeleted, cBookNote& record);
    bool walk(cBookNote& record, bool report, const char* condition, const char* order, bool requestSync);

    void deleteNotesThatShowNothing();

    std::atomic<bool> m_ready {false};
};

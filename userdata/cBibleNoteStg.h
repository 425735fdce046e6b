// cBibleNoteStg: the store of Bible notes (table BibleNotes), one note per verse.
//
// The same rules as the book-note store (cBookNoteStg.h): at most one row per verse, deletions are
// tombstones the sync uploads (marked where the note stood), a note that shows nothing (NoteText.h)
// is stored as a deletion and one left by an older version is made one when the store opens, every
// write stamps, invalidates the note search caches of the verse and asks the sync engine to run.
// Never opens on demand; any thread may use it.
//
// The canonical walk (bibleNoteAtCanonicalOffset) orders books through the table BookNumberOrder
// (BookNumber, Sequence); openOrCreate creates and fills it from the reference tables' canonical
// book order when the database lacks it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "userdata/cBibleNote.h"
#include "userdata/cSQLiteDbBase.h"
#include "userdata/cVerseChapterCache.h"

class cBibleNoteStg : public cSQLiteDbBase {
public:
    cBibleNoteStg() = default;
    ~cBibleNoteStg() override;

    bool isOpen() const override { return m_ready.load() && cSQLiteDbBase::isOpen(); }

    // Opens the share (at `path`, or databasePath when empty) and checks BibleNotes.
    virtual bool openOrCreate(const cLString16& path, bool report);
    virtual void close();

    // -1 when the table is empty, 0 on failure.
    virtual std::int64_t highestServerId();

    // Walks over live notes by recid.
    virtual bool firstBibleNote(cBibleNote& record, bool report);
    virtual bool lastBibleNote(cBibleNote& record, bool report);
    virtual bool nextBibleNote(cBibleNote& record, bool report);
    virtual bool previousBibleNote(cBibleNote& record, bool report);

    bool firstUnsyncedBibleNote(cBibleNote& record);
    // The n-th live note (from 0) in canonical Bible order.
    bool bibleNoteAtCanonicalOffset(std::int32_t n, cBibleNote& record);
    bool findBibleNote(
        std::int32_t booknum, std::int32_t chapter, std::int32_t verse, bool includeDeleted, cBibleNote& record);
    std::unique_ptr<cBibleNote> findBibleNote(
        std::int32_t booknum, std::int32_t chapter, std::int32_t verse, bool includeDeleted);
    // Whether a live note exists at the verse.
    bool findBibleNoteRecid(std::int32_t booknum, std::int32_t chapter, std::int32_t verse);
    // The first key from `first` to `last` (at most 0x10000 keys, each book << 16 | chapter << 8 |
    // verse with the bits above those ignored, so that a range that runs past 0xFFFFFF goes on from
    // 0) at which a live note stands, as findBibleNoteRecid answers key by key, into `key` without
    // those bits; false when none does (or on failure). One statement.
    bool firstLiveNoteKeyInRange(std::uint32_t first, std::uint32_t last, std::uint32_t& key);
    // The verses of one chapter (book << 8 | chapter) that have a live note, as findBibleNoteRecid
    // answers for each verse number. One statement.
    bool readChapterNotes(std::uint32_t chapterKey, cVerseChapterCache::Chapter& chapter);
    // By recid (any row); without a recid, the live note of the record's verse.
    bool readBibleNote(cBibleNote& record, bool report);
    // Live notes; -1 when no row came back, 0 on failure.
    std::int64_t countBibleNotes();

    bool writeBibleNote(cBibleNote& record, bool keepServerId, bool report, bool keepTimestamp);
    bool deleteBibleNoteRow(const cBibleNote& record);
    bool addBibleNote(cBibleNote& record, bool keepServerId, bool report, bool keepTimestamp);
    bool updateBibleNote(cBibleNote& record, bool keepServerId, bool report, bool keepTimestamp);
    bool markBibleNoteDeleted(cBibleNote& record, bool keepServerId, bool report, bool keepTimestamp);
    // Marks the live note of the verse deleted where it stands: its row keeps its record id and loses
    // its text and server id, so the next sync sends the deletion of the record the server holds.
    // Stamped `at` when given, else now. True when no live note was there.
    bool markLiveBibleNoteDeleted(
        std::int32_t booknum, std::int32_t chapter, std::int32_t verse, const cDBTimestamp* at);

private:
    bool selectOne(const char* sql, const cSQLValues& values, cBibleNote& record, bool report);
    bool lookup(
        std::int32_t booknum, std::int32_t chapter, std::int32_t verse, bool includeDeleted, cBibleNote& record);
    bool walk(cBibleNote& record, bool report, const char* tail, bool withRecid, bool requestSync);
    void ensureBookNumberOrder();
    void deleteNotesThatShowNothing();

    std::atomic<bool> m_ready {false};
};

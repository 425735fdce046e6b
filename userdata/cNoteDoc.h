// cNoteDoc: the process-wide notes pseudo-document, titled "Notes". It owns one Bible-note store and
// one book-note store and offers the note operations the rest of the system uses: whether a verse or
// a block carries a note (across the versifications of the verse), reading, saving and deleting
// notes, walking them, and the journal search results.
//
// Deleting through the document never removes a row: the live note's row at the verse or location
// becomes a tombstone where it stands (deleted 1, serverid 0, empty text, the same record id), which
// the next sync uploads as the deletion of the server's record. A text that shows nothing (NoteText.h)
// is saved as such a deletion.
//
// Operations that touch notes answer false (0) while the document is closed, except those marked
// "no open test", which then fail in their store. Lifecycle: noteDocInstance() creates the one
// instance and opens it at the database's default path (the application calls it at start-up, after
// setting the engine data folder); an exit-time destroyer closes and deletes it. Opens are counted:
// the stores close with the last Close. Any thread may use the document.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "engine/docbase/cSourceDoc.h"
#include "userdata/cBibleNoteStg.h"
#include "userdata/cBookNoteStg.h"
#include "userdata/cVerseChapterCache.h"

class cBibleRef;

class cNoteDoc : public cSourceDoc {
public:
    cNoteDoc() = default;
    ~cNoteDoc() override;
    cNoteDoc(const cNoteDoc&) = delete;
    cNoteDoc& operator=(const cNoteDoc&) = delete;

    // --- lifecycle and identity ---
    bool IsOpen() const override { return m_open.load(); }
    // Counts an open; opens each store that is not open (at `path`, or the default database path when
    // empty). On failure the document is closed (Close) and false answered.
    virtual bool openStores(const cLString16& path);
    // Counts a close; the last one closes both stores.
    void Close() override;
    // "Notes" (both forms) while open; otherwise "None".
    void GetTitleW(cLString16& out, bool abbreviated) override;

    // --- Bible notes ---
    // The key (book << 16 | chapter << 8 | verse) of the first verse of the reference holding a live
    // note, trying the verse itself and then its equivalents in the other versifications; 0 when
    // none. No open test. Answered from the notes of the chapters read lately (cVerseChapterCache,
    // kept under the connection's statement lock), one statement per chapter.
    std::uint32_t noteVerseInReference(const cBibleRef& reference);
    bool hasBibleNoteInReference(const cBibleRef& reference);
    bool readBibleNoteInReference(const cBibleRef& reference, cBibleNote& record);
    // A text that shows nothing deletes the note of the verse (nothing is written when none is live).
    bool saveBibleNote(cBibleNote& record, bool keepTimestamp);
    bool deleteBibleNoteAtVerse(std::int32_t booknum, std::int32_t chapter, std::int32_t verse);  // no open test
    bool firstBibleNote(cBibleNote& record);
    bool nextBibleNote(cBibleNote& record);
    bool bibleNoteAtOffset(std::int32_t n, cBibleNote& record);  // no open test
    std::int64_t countBibleNotes();                              // no open test

    // --- book and journal notes (form and field names empty for a plain book note) ---
    bool findBookNoteRecid(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section);
    bool findFormNoteRecid(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
        const cLString16& formname, const cLString16& fieldname);
    std::int64_t countBookNotes(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition,
        std::int32_t deleted);  // no open test
    bool readBookNote(
        std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section, cBookNote& record);
    // False when only one of the two names is empty.
    bool readFormNote(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
        const cLString16& formname, const cLString16& fieldname, cBookNote& record);
    // A text that shows nothing deletes the note at the record's location and field.
    bool saveBookNote(cBookNote& record, bool keepTimestamp);
    bool deleteBookNote(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section);
    bool deleteFormNote(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
        const cLString16& formname, const cLString16& fieldname);
    bool firstBookNote(cBookNote& record);
    bool nextBookNote(cBookNote& record);
    bool readBookNoteByRecid(cBookNote& record);  // no open test
    std::int64_t highestBookNoteRecid();          // no open test

    // Journal search results, forwarded to the book-note store (no open test).
    void removeJournalSearchResults(const char* layoutUuid, std::int32_t searchId, std::int32_t searchTag);
    void addJournalSearchResult(const cLString16& formname, std::int64_t booknotesrecid, const char* layoutUuid,
        std::int32_t searchId, std::int32_t searchTag);
    bool journalSearchLayoutIds(std::vector<cLString8>& list);

    // For tests and diagnostics.
    std::int32_t openCount() const;
    cBibleNoteStg& bibleNoteStore() { return m_bibleNoteStore; }
    cBookNoteStg& bookNoteStore() { return m_bookNoteStore; }

private:
    cBibleNoteStg m_bibleNoteStore;
    cBookNoteStg m_bookNoteStore;
    // noteVerseInReference without the cache (inside a transaction, or for a range wider than the
    // cache reads): a statement per range of keys.
    std::uint32_t noteVerseFromTable(const cBibleRef& reference);

    cVerseChapterCache m_noteVerses;  // under cSQLiteDbBase::statementLock
    std::int32_t m_openCount = 0;
    std::atomic<bool> m_open {false};
    mutable std::mutex m_lifecycle;  // guards m_openCount and the stores' opening and closing
};

// The process-wide note document, created and opened on first use.
cNoteDoc* noteDocInstance();

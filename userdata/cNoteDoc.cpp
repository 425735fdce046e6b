#include "userdata/cNoteDoc.h"

#include "engine/foundation/cLIntArray.h"
#include "engine/references/cBibleRef.h"
#include "userdata/NoteText.h"

namespace {

// A range of equivalent keys never spans more than this many keys (a chapter's worth of verses
// across a few chapters); a wider range comes from a broken table and is cut short.
constexpr std::uint32_t kMaxKeysPerRange = 0x10000;

// The last key of a range of equivalent keys that is looked through.
std::uint32_t rangeEnd(std::uint32_t first, std::uint32_t last)
{
    return last - first >= kMaxKeysPerRange ? first + kMaxKeysPerRange - 1 : last;
}

struct Instance {
    std::mutex lock;
    cNoteDoc* doc = nullptr;
    ~Instance()
    {
        std::lock_guard<std::mutex> guard(lock);
        if (doc == nullptr)
            return;
        doc->Close();
        delete doc;
        doc = nullptr;
    }
};

Instance gInstance;

// Names the place of a book note: its book, section, form and field.
void placeBookNote(cBookNote& note, std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition,
    std::int32_t section, const cLString16& formname, const cLString16& fieldname)
{
    note.pubid = pubid;
    note.bookid = bookid;
    note.edition = edition;
    note.section = section;
    note.formname.assign(formname);
    note.fieldname.assign(fieldname);
}

}  // namespace

cNoteDoc* noteDocInstance()
{
    std::lock_guard<std::mutex> guard(gInstance.lock);
    if (gInstance.doc == nullptr) {
        gInstance.doc = new cNoteDoc();
        gInstance.doc->openStores(cLString16());
    }
    return gInstance.doc;
}

cNoteDoc::~cNoteDoc()
{
    Close();
}

bool cNoteDoc::openStores(const cLString16& path)
{
    {
        std::lock_guard<std::mutex> guard(m_lifecycle);
        ++m_openCount;
        const bool ok =
            (m_bibleNoteStore.isOpen() ||
                m_bibleNoteStore.openOrCreate(path.isEmpty() ? m_bibleNoteStore.databasePath() : path, true)) &&
            (m_bookNoteStore.isOpen() ||
                m_bookNoteStore.openOrCreate(path.isEmpty() ? m_bookNoteStore.databasePath() : path, true));
        if (ok) {
            m_open.store(true);
            return true;
        }
    }
    Close();
    return false;
}

void cNoteDoc::Close()
{
    std::lock_guard<std::mutex> guard(m_lifecycle);
    // A failed first open counts too, so that its Close closes whatever store did open.
    if (!m_open.load() && m_openCount == 0)
        return;
    if (m_openCount-- > 1 && m_open.load())
        return;
    m_open.store(false);
    m_bibleNoteStore.close();
    m_bookNoteStore.close();
    m_openCount = 0;
}

std::int32_t cNoteDoc::openCount() const
{
    std::lock_guard<std::mutex> guard(m_lifecycle);
    return m_openCount;
}

void cNoteDoc::GetTitleW(cLString16& out, bool /*abbreviated*/)
{
    out.assign(cLString16(IsOpen() ? "Notes" : "None"));
}

// --- Bible notes -----------------------------------------------------------------------------------

std::uint32_t cNoteDoc::noteVerseInReference(const cBibleRef& reference)
{
    std::unique_lock<cSQLiteStatementLock> statements;
    if (!cSQLiteDbBase::takeStatementLock(statements))
        return 0;  // a failed read: the caller's watch (SQLiteFailure::Watch) sees it
    if (!m_noteVerses.begin())
        return noteVerseFromTable(reference);
    const auto load = [this](std::uint32_t chapterKey, cVerseChapterCache::Chapter& chapter) {
        return m_bibleNoteStore.readChapterNotes(chapterKey, chapter);
    };
    std::uint32_t found = 0;
    std::uint32_t value = 0;
    bool failed = false;
    const bool hit = cVerseChapterCache::visitKeyRanges(reference, [&](std::uint32_t first, std::uint32_t last) {
        return m_noteVerses.firstInRange(first, rangeEnd(first, last), load, found, value, failed) || failed;
    });
    if (failed)
        return noteVerseFromTable(reference);
    return hit ? found : 0;
}

std::uint32_t cNoteDoc::noteVerseFromTable(const cBibleRef& reference)
{
    std::uint32_t found = 0;
    cVerseChapterCache::visitKeyRanges(reference, [&](std::uint32_t first, std::uint32_t last) {
        const std::uint32_t end = rangeEnd(first, last);
        return end >= first && m_bibleNoteStore.firstLiveNoteKeyInRange(first, end, found);
    });
    return found;
}

bool cNoteDoc::hasBibleNoteInReference(const cBibleRef& reference)
{
    return IsOpen() && noteVerseInReference(reference) != 0;
}

bool cNoteDoc::readBibleNoteInReference(const cBibleRef& reference, cBibleNote& record)
{
    if (!IsOpen())
        return false;
    const std::uint32_t key = noteVerseInReference(reference);
    if (key == 0)
        return false;
    record.clear();
    record.booknum = bibleKeyBook(key);
    record.chapter = bibleKeyChapter(key);
    record.verse = bibleKeyVerse(key);
    return m_bibleNoteStore.readBibleNote(record, true);
}

bool cNoteDoc::saveBibleNote(cBibleNote& record, bool keepTimestamp)
{
    if (!IsOpen())
        return false;
    if (NoteText::showsNothing(record.note)) {
        record.serverid = 0;
        return m_bibleNoteStore.markLiveBibleNoteDeleted(
            record.booknum, record.chapter, record.verse, keepTimestamp ? &record.timestamp : nullptr);
    }
    if (record.recid == 0)
        return m_bibleNoteStore.addBibleNote(record, false, true, keepTimestamp);
    return m_bibleNoteStore.updateBibleNote(record, false, true, keepTimestamp);
}

bool cNoteDoc::deleteBibleNoteAtVerse(std::int32_t booknum, std::int32_t chapter, std::int32_t verse)
{
    return m_bibleNoteStore.markLiveBibleNoteDeleted(booknum, chapter, verse, nullptr);
}

bool cNoteDoc::firstBibleNote(cBibleNote& record)
{
    return IsOpen() && m_bibleNoteStore.firstBibleNote(record, false);
}

bool cNoteDoc::nextBibleNote(cBibleNote& record)
{
    return IsOpen() && m_bibleNoteStore.nextBibleNote(record, false);
}

bool cNoteDoc::bibleNoteAtOffset(std::int32_t n, cBibleNote& record)
{
    return m_bibleNoteStore.bibleNoteAtCanonicalOffset(n, record);
}

std::int64_t cNoteDoc::countBibleNotes()
{
    return m_bibleNoteStore.countBibleNotes();
}

// --- book and journal notes ------------------------------------------------------------------------

bool cNoteDoc::findBookNoteRecid(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section)
{
    return IsOpen() && m_bookNoteStore.findBookNoteRecid(pubid, bookid, edition, section, cLString16(), cLString16());
}

bool cNoteDoc::findFormNoteRecid(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
    const cLString16& formname, const cLString16& fieldname)
{
    return IsOpen() && m_bookNoteStore.findBookNoteRecid(pubid, bookid, edition, section, formname, fieldname);
}

std::int64_t cNoteDoc::countBookNotes(
    std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t deleted)
{
    return m_bookNoteStore.countBookNotes(pubid, bookid, edition, deleted);
}

bool cNoteDoc::readBookNote(
    std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section, cBookNote& record)
{
    return readFormNote(pubid, bookid, edition, section, cLString16(), cLString16(), record);
}

bool cNoteDoc::readFormNote(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
    const cLString16& formname, const cLString16& fieldname, cBookNote& record)
{
    if (!IsOpen())
        return false;
    record.clear();
    placeBookNote(record, pubid, bookid, edition, section, formname, fieldname);
    return m_bookNoteStore.readBookNoteByRecid(record, true);
}

bool cNoteDoc::saveBookNote(cBookNote& record, bool keepTimestamp)
{
    if (!IsOpen())
        return false;
    if (NoteText::showsNothing(record.note)) {
        record.serverid = 0;
        return m_bookNoteStore.markLiveBookNoteDeleted(record.pubid, record.bookid, record.edition, record.section,
            record.formname, record.fieldname, keepTimestamp ? &record.timestamp : nullptr);
    }
    if (record.recid == 0)
        return m_bookNoteStore.addBookNote(record, false, true, keepTimestamp);
    return m_bookNoteStore.updateBookNote(record, false, true, keepTimestamp);
}

bool cNoteDoc::deleteBookNote(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section)
{
    return deleteFormNote(pubid, bookid, edition, section, cLString16(), cLString16());
}

bool cNoteDoc::deleteFormNote(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
    const cLString16& formname, const cLString16& fieldname)
{
    if (!IsOpen())
        return false;
    return m_bookNoteStore.markLiveBookNoteDeleted(pubid, bookid, edition, section, formname, fieldname, nullptr);
}

bool cNoteDoc::firstBookNote(cBookNote& record)
{
    return IsOpen() && m_bookNoteStore.firstBookNote(record, true);
}

bool cNoteDoc::nextBookNote(cBookNote& record)
{
    return IsOpen() && m_bookNoteStore.nextBookNote(record, true);
}

bool cNoteDoc::readBookNoteByRecid(cBookNote& record)
{
    return m_bookNoteStore.readBookNoteByRecid(record, false);
}

std::int64_t cNoteDoc::highestBookNoteRecid()
{
    return m_bookNoteStore.highestRecid();
}

void cNoteDoc::removeJournalSearchResults(const char* layoutUuid, std::int32_t searchId, std::int32_t searchTag)
{
    m_bookNoteStore.removeJournalSearchResults(layoutUuid, searchId, searchTag);
}

void cNoteDoc::addJournalSearchResult(const cLString16& formname, std::int64_t booknotesrecid, const char* layoutUuid,
    std::int32_t searchId, std::int32_t searchTag)
{
    m_bookNoteStore.addJournalSearchResult(formname, booknotesrecid, layoutUuid, searchId, searchTag);
}

bool cNoteDoc::journalSearchLayoutIds(std::vector<cLString8>& list)
{
    return m_bookNoteStore.journalSearchLayoutIds(list);
}

#include "userdata/cBibleNoteStg.h"

#include <vector>

#include "engine/references/cBibleRef.h"
#include "engine/references/cBibleRefTables.h"
#include "userdata/NoteText.h"
#include "userdata/UserDataHooks.h"
#include "userdata/cBookNoteStg.h"

namespace {

const cSQLiteDbBase::TableSchema kBibleNotes = {"BibleNotes", 8,
    "CREATE TABLE BibleNotes ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,booknum INTEGER,chapter "
    "INTEGER,verse INTEGER,note TEXT,serverid INTEGER DEFAULT 0,deleted INTEGER DEFAULT 0 )",
    "ALTER TABLE BibleNotes ADD serverid INTEGER NOT NULL DEFAULT 0;ALTER TABLE BibleNotes ADD deleted INTEGER "
    "NOT NULL DEFAULT 0",
    "DROP INDEX IF EXISTS BibleNoteIndex;CREATE INDEX BibleNoteDeletedIndex ON BibleNotes (deleted, booknum, "
    "chapter, verse);CREATE INDEX BibleNoteServerIdIndex ON BibleNotes (serverid, deleted, booknum, chapter, "
    "verse)"};

constexpr const char* kSelect =
    "SELECT recid, timestamp, booknum, chapter, verse, note, serverid, deleted FROM BibleNotes WHERE ";

cLString8 select(const char* tail)
{
    cLString8 sql(kSelect);
    sql.appendCStr(tail);
    return sql;
}

}  // namespace

cBibleNoteStg::~cBibleNoteStg()
{
    close();
}

bool cBibleNoteStg::openOrCreate(const cLString16& path, bool report)
{
    if (isOpen())
        return true;
    const cLString16 file = path.isEmpty() ? databasePath() : path;
    if (!checkTables(file, {kBibleNotes}, report)) {
        m_ready.store(false);
        return false;
    }
    ensureBookNumberOrder();
    deleteNotesThatShowNothing();
    m_ready.store(true);
    return true;
}

// A note that shows nothing is no note; older versions stored such notes (an emptied editor's
// paragraphs and breaks) as live ones. They become deletions, kept at the time of their last change,
// and go up to the server as such. Each row is looked at once: the sweep goes on from where it last
// stopped in this database, since no note stored since then shows nothing.
void cBibleNoteStg::deleteNotesThatShowNothing()
{
    if (NoteText::registerSqlFunction(connectionHandle()))
        sweepRowsAddedSinceLastSweep("BibleNotes",
            "UPDATE BibleNotes SET deleted = 1, note = '', serverid = 0 WHERE deleted = 0 AND "
            "qs_note_shows_nothing(note) AND recid > ? AND recid <= ?");
}

// Nothing else creates BookNumberOrder, and without it the canonical walk finds nothing. One row per
// book number: the canonical order first, then every other book number, so every note is reachable.
// A table that exists already is left as it is.
void cBibleNoteStg::ensureBookNumberOrder()
{
    int rc = 0;
    if (exec("SELECT * FROM BookNumberOrder WHERE 0", {}, nullptr, false, &rc) || rc != SQLITE_ERROR)
        return;
    const cBibleRefTables::Ptr tables = cBibleRefTables::current();
    std::vector<bool> placed(256, false);
    std::vector<std::int32_t> order;
    for (std::int32_t book : tables->totalOrder()) {
        if (book < 1 || book > 255 || placed[static_cast<std::size_t>(book)])
            continue;
        placed[static_cast<std::size_t>(book)] = true;
        order.push_back(book);
    }
    for (std::int32_t book = 1; book <= 255; ++book) {
        if (!placed[static_cast<std::size_t>(book)])
            order.push_back(book);
    }
    runInTransaction([&] {
        if (!exec("CREATE TABLE BookNumberOrder ( BookNumber INTEGER PRIMARY KEY, Sequence INTEGER )"))
            return false;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (!exec("INSERT INTO BookNumberOrder ( BookNumber, Sequence ) VALUES ( ?, ? )",
                    {order[i], static_cast<std::int32_t>(i + 1)}))
                return false;
        }
        return true;
    });
}

void cBibleNoteStg::close()
{
    m_ready.store(false);
    cSQLiteDbBase::close();
}

std::int64_t cBibleNoteStg::highestServerId()
{
    return selectNumber("SELECT serverid FROM BibleNotes ORDER BY serverid DESC LIMIT 1 ");
}

bool cBibleNoteStg::selectOne(const char* sql, const cSQLValues& values, cBibleNote& record, bool report)
{
    cSQLRow row;
    if (!selectFirstRow(sql, values, 8, row, report))
        return false;
    record.clear();
    readSyncColumns(row, record, 0, 1, 6, 7);
    record.booknum = row[2].toInt32();
    record.chapter = row[3].toInt32();
    record.verse = row[4].toInt32();
    record.note.assignFromUTF8(row[5]);
    return true;
}

bool cBibleNoteStg::walk(cBibleNote& record, bool report, const char* tail, bool withRecid, bool requestSync)
{
    cSQLValues values;
    if (withRecid)
        values.emplace_back(record.recid);
    if (!selectOne(select(tail).chars(), values, record, report))
        return false;
    if (requestSync)
        requestSyncBibleNotes(0);
    return true;
}

bool cBibleNoteStg::firstBibleNote(cBibleNote& record, bool report)
{
    return walk(record, report, "deleted = 0 ORDER BY recid ASC LIMIT 1", false, true);
}

bool cBibleNoteStg::lastBibleNote(cBibleNote& record, bool report)
{
    return walk(record, report, "deleted = 0 ORDER BY recid DESC LIMIT 1", false, true);
}

bool cBibleNoteStg::nextBibleNote(cBibleNote& record, bool report)
{
    return walk(record, report, "deleted = 0 AND recid > ? ORDER BY recid ASC LIMIT 1", true, false);
}

bool cBibleNoteStg::previousBibleNote(cBibleNote& record, bool report)
{
    return walk(record, report, "deleted = 0 AND recid < ? ORDER BY recid DESC LIMIT 1", true, false);
}

bool cBibleNoteStg::firstUnsyncedBibleNote(cBibleNote& record)
{
    return selectOne(select("serverid = 0 ORDER BY recid LIMIT 1").chars(), {}, record, false);
}

bool cBibleNoteStg::bibleNoteAtCanonicalOffset(std::int32_t n, cBibleNote& record)
{
    return selectOne(
        "SELECT bn.recid, bn.timestamp, bn.booknum, bn.chapter, bn.verse, bn.note, bn.serverid, bn.deleted, "
        "bno.Sequence FROM BibleNotes AS bn JOIN BookNumberOrder AS bno ON bno.BookNumber = bn.booknum WHERE "
        "deleted = 0 ORDER BY Sequence, chapter, verse LIMIT 1 OFFSET ?",
        {n}, record, false);
}

bool cBibleNoteStg::lookup(
    std::int32_t booknum, std::int32_t chapter, std::int32_t verse, bool includeDeleted, cBibleNote& record)
{
    cLString8 sql = select(includeDeleted ? "" : "deleted = 0 AND ");
    sql.appendCStr("booknum = ? AND chapter = ? AND verse = ?");
    return selectOne(sql.chars(), {booknum, chapter, verse}, record, false);
}

bool cBibleNoteStg::findBibleNote(
    std::int32_t booknum, std::int32_t chapter, std::int32_t verse, bool includeDeleted, cBibleNote& record)
{
    if (!lookup(booknum, chapter, verse, includeDeleted, record))
        return false;
    requestSyncBibleNotes(0);
    return true;
}

std::unique_ptr<cBibleNote> cBibleNoteStg::findBibleNote(
    std::int32_t booknum, std::int32_t chapter, std::int32_t verse, bool includeDeleted)
{
    auto record = std::make_unique<cBibleNote>();
    if (!findBibleNote(booknum, chapter, verse, includeDeleted, *record))
        return nullptr;
    return record;
}

bool cBibleNoteStg::findBibleNoteRecid(std::int32_t booknum, std::int32_t chapter, std::int32_t verse)
{
    cSQLRows rows;
    return exec("SELECT recid FROM BibleNotes WHERE deleted = 0 AND booknum = ? AND chapter = ? AND verse = ?",
               {booknum, chapter, verse}, &rows) &&
        !rows.empty();
}

bool cBibleNoteStg::firstLiveNoteKeyInRange(std::uint32_t first, std::uint32_t last, std::uint32_t& key)
{
    if (last < first || last - first > 0xFFFF)
        return false;
    // The keys in the order they are tried: from the first, masked, up to the last or to 0xFFFFFF
    // where the range wraps, then from 0 on. A row's numbers match a key as the statement of one
    // verse matches them: whole numbers of 0 to 255.
    const std::uint32_t from = first & 0xFFFFFF;
    const std::uint32_t to = last & 0xFFFFFF;
    const bool wraps = (first >> 24) != (last >> 24);
    const std::uint32_t end = wraps ? 0xFFFFFF : to;
    const std::uint32_t wrappedEnd = wraps ? to : 0;
    cSQLRows rows;
    if (!exec("SELECT k FROM (SELECT booknum * 65536 + chapter * 256 + verse AS k FROM BibleNotes WHERE deleted = 0 "
              "AND booknum BETWEEN ? AND ? AND chapter BETWEEN 0 AND 255 AND verse BETWEEN 0 AND 255 AND booknum = "
              "CAST(booknum AS INTEGER) AND chapter = CAST(chapter AS INTEGER) AND verse = CAST(verse AS INTEGER)) "
              "WHERE k BETWEEN ? AND ? OR (? AND k <= ?) ORDER BY k < ?, k LIMIT 1",
            {wraps ? 0u : from >> 16, wraps ? 255u : to >> 16, from, end, wraps ? 1 : 0, wrappedEnd, from}, &rows) ||
        rows.empty() || rows[0].empty())
        return false;
    key = static_cast<std::uint32_t>(rows[0][0].toInt64());
    return true;
}

bool cBibleNoteStg::readChapterNotes(std::uint32_t chapterKey, cVerseChapterCache::Chapter& chapter)
{
    cSQLRows rows;
    if (!exec("SELECT DISTINCT verse FROM BibleNotes WHERE deleted = 0 AND booknum = ? AND chapter = ? AND verse "
              "BETWEEN 0 AND 255 AND verse = CAST(verse AS INTEGER)",
            {(chapterKey >> 8) & 0xFF, chapterKey & 0xFF}, &rows))
        return false;
    for (const cSQLRow& row : rows) {
        if (!row.empty())
            chapter.set(static_cast<std::uint32_t>(row[0].toInt64()), 1);
    }
    return true;
}

bool cBibleNoteStg::readBibleNote(cBibleNote& record, bool report)
{
    if (record.recid != 0) {
        if (!selectOne(select("recid = ?").chars(), {record.recid}, record, report))
            return false;
        requestSyncBibleNotes(0);
        return true;
    }
    if (!record.isValidVerse())
        return false;
    return findBibleNote(record.booknum, record.chapter, record.verse, false, record);
}

std::int64_t cBibleNoteStg::countBibleNotes()
{
    return selectNumber("SELECT COUNT(*) AS numRecords FROM BibleNotes AS bn WHERE deleted = 0 ");
}

bool cBibleNoteStg::writeBibleNote(cBibleNote& record, bool keepServerId, bool report, bool keepTimestamp)
{
    const std::int64_t previousServerId = record.prepareLocalWrite(keepServerId, keepTimestamp);
    if (NoteText::showsNothing(record.note)) {
        record.note.makeEmpty();
        record.deleted = 1;
    }
    const cLString8 timestamp = record.timestampText();
    const cLString8 note(record.note);
    const bool ok = writeRecord(
        record, "UPDATE BibleNotes SET timestamp = ?, note = ?, serverid = ?, deleted = ? WHERE recid = ?",
        {timestamp, note, record.serverid, record.deleted, record.recid},
        [&] {
            // A new note replaces whatever row, live or tombstone, stands at its verse.
            cBibleNote existing;
            return !lookup(record.booknum, record.chapter, record.verse, true, existing) ||
                deleteBibleNoteRow(existing);
        },
        "INSERT INTO BibleNotes (timestamp, booknum, chapter, verse, note, serverid, deleted) VALUES (? , ? , ? , ? , "
        "?, ?, ? )",
        {timestamp, record.booknum, record.chapter, record.verse, note, record.serverid, record.deleted}, report);

    if (record.booknum == 0 && record.chapter == 0 && record.verse == 0)
        readBibleNote(record, false);
    invalidateUserDataSearchCacheForBook(kUserDataCacheNote, cBibleRef(record.verseKey()), 1);
    requestSyncBibleNotesEditing(1, previousServerId);
    return ok;
}

bool cBibleNoteStg::deleteBibleNoteRow(const cBibleNote& record)
{
    if (record.recid == 0)
        return false;
    return exec("DELETE FROM BibleNotes WHERE recid = ?", {record.recid});
}

bool cBibleNoteStg::addBibleNote(cBibleNote& record, bool keepServerId, bool report, bool keepTimestamp)
{
    if (record.recid != 0 || record.deleted != 0)
        return false;
    return writeBibleNote(record, keepServerId, report, keepTimestamp);
}

bool cBibleNoteStg::updateBibleNote(cBibleNote& record, bool keepServerId, bool report, bool keepTimestamp)
{
    if (!requireStored(record, report))
        return false;
    return writeBibleNote(record, keepServerId, report, keepTimestamp);
}

bool cBibleNoteStg::markBibleNoteDeleted(cBibleNote& record, bool keepServerId, bool report, bool keepTimestamp)
{
    record.deleted = 1;
    return writeBibleNote(record, keepServerId, report, keepTimestamp);
}

bool cBibleNoteStg::markLiveBibleNoteDeleted(
    std::int32_t booknum, std::int32_t chapter, std::int32_t verse, const cDBTimestamp* at)
{
    cSQLRows rows;
    if (!exec("SELECT recid FROM BibleNotes WHERE deleted = 0 AND booknum = ? AND chapter = ? AND verse = ?",
            {booknum, chapter, verse}, &rows, true))
        return false;
    if (rows.empty())
        return true;
    cBibleNote record;
    if (!lookup(booknum, chapter, verse, false, record))
        return false;
    record.note.makeEmpty();
    if (at != nullptr)
        record.setTimestamp(*at);
    return markBibleNoteDeleted(record, false, true, at != nullptr);
}

#include "userdata/cBookNoteStg.h"

#include "userdata/NoteText.h"
#include "userdata/UserDataHooks.h"

namespace {

constexpr const char* kColumns =
    "recid, timestamp, pubid, bookid, edition, section, formname, fieldname, note, serverid, deleted";

const cSQLiteDbBase::TableSchema kBookNotes = {"BookNotes", 11,
    "CREATE TABLE BookNotes ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,pubid INTEGER,bookid "
    "INTEGER,edition INTEGER,section INTEGER,formname TEXT,fieldname TEXT,note TEXT,serverid INTEGER DEFAULT "
    "0,deleted INTEGER DEFAULT 0 )",
    "ALTER TABLE BookNotes ADD serverid INTEGER NOT NULL DEFAULT 0;ALTER TABLE BookNotes ADD deleted INTEGER NOT "
    "NULL DEFAULT 0",
    "DROP INDEX IF EXISTS BookNoteIndex;CREATE INDEX BookNoteDeletedIndex ON BookNotes (deleted, pubid, bookid, "
    "edition, section, formname, fieldname);CREATE INDEX BookNoteServerIdIndex ON BookNotes (serverid, deleted, "
    "pubid, bookid, edition, section, formname, fieldname)"};

const cSQLiteDbBase::TableSchema kJournalSearchResults = {"JournalSearchResults", 5,
    "CREATE TABLE JournalSearchResults ( formname TEXT, booknotesrecid INTEGER, layoutuuid TEXT DEFAULT '', "
    "searchid INTEGER DEFAULT 0, searchtag INTEGER DEFAULT 0  )",
    "ALTER TABLE JournalSearchResults ADD layoutuuid TEXT NOT NULL DEFAULT '';ALTER TABLE JournalSearchResults "
    "ADD searchid INTEGER NOT NULL DEFAULT -1;ALTER TABLE JournalSearchResults ADD searchtag INTEGER NOT NULL "
    "DEFAULT -1",
    "DROP INDEX IF EXISTS JournalSearchResultsIndex;CREATE INDEX JournalSearchResultsUuidIdTagName ON "
    "JournalSearchResults (layoutuuid, searchid, searchtag, formname)"};

cLString8 select(const char* tail)
{
    cLString8 sql("SELECT ");
    sql.appendCStr(kColumns);
    sql.appendCStr(" FROM BookNotes WHERE ");
    sql.appendCStr(tail);
    return sql;
}

// One row in the book-note column order (the table order, so "SELECT *" reads the same way).
void fillFromRow(const cSQLRow& row, cBookNote& record)
{
    record.clear();
    cSQLiteDbBase::readSyncColumns(row, record, 0, 1, 9, 10);
    record.pubid = static_cast<std::uint16_t>(row[2].toInt32());
    record.bookid = static_cast<std::uint16_t>(row[3].toInt32());
    record.edition = static_cast<std::uint8_t>(row[4].toInt32());
    record.section = row[5].toInt32();
    record.formname.assignFromUTF8(row[6]);
    record.fieldname.assignFromUTF8(row[7]);
    record.note.assignFromUTF8(row[8]);
}

cLString8 utf8(const cLString16& text)
{
    return cLString8(text);
}

}  // namespace

cBookNoteStg::~cBookNoteStg()
{
    close();
}

bool cBookNoteStg::openOrCreate(const cLString16& path, bool report)
{
    if (isOpen())
        return true;
    const cLString16 file = path.isEmpty() ? databasePath() : path;
    if (!checkTables(file, {kBookNotes, kJournalSearchResults}, report)) {
        m_ready.store(false);
        return false;
    }
    deleteNotesThatShowNothing();
    m_ready.store(true);
    return true;
}

// As cBibleNoteStg::deleteNotesThatShowNothing.
void cBookNoteStg::deleteNotesThatShowNothing()
{
    if (NoteText::registerSqlFunction(connectionHandle()))
        sweepRowsAddedSinceLastSweep("BookNotes",
            "UPDATE BookNotes SET deleted = 1, note = '', serverid = 0 WHERE deleted = 0 AND "
            "qs_note_shows_nothing(note) AND recid > ? AND recid <= ?");
}

void cBookNoteStg::close()
{
    m_ready.store(false);
    cSQLiteDbBase::close();
}

std::int64_t cBookNoteStg::highestServerId()
{
    return selectNumber("SELECT serverid FROM BookNotes ORDER BY serverid DESC LIMIT 1 ");
}

bool cBookNoteStg::selectOne(const char* sql, const cSQLValues& values, cBookNote& record, bool report)
{
    cSQLRow row;
    if (!selectFirstRow(sql, values, 11, row, report))
        return false;
    fillFromRow(row, record);
    return true;
}

bool cBookNoteStg::walk(cBookNote& record, bool report, const char* recidCondition, const char* order, bool requestSync)
{
    const bool oneBook = record.pubid != 0 && record.bookid != 0 && record.edition != 0;
    cLString8 sql = select(oneBook ? "deleted = 0 AND pubid = ? AND bookid = ? AND edition = ?" : "deleted = 0");
    cSQLValues values;
    if (oneBook)
        values = {record.pubid, record.bookid, std::int32_t {record.edition}};
    if (recidCondition) {
        sql.appendCStr(recidCondition);
        values.emplace_back(record.recid);
    }
    sql.appendCStr(order);
    if (!selectOne(sql.chars(), values, record, report))
        return false;
    if (requestSync)
        requestSyncBookNotes(0);
    return true;
}

bool cBookNoteStg::firstBookNote(cBookNote& record, bool report)
{
    return walk(record, report, nullptr, " ORDER BY recid LIMIT 1", true);
}

bool cBookNoteStg::lastBookNote(cBookNote& record, bool report)
{
    return walk(record, report, nullptr, " ORDER BY recid DESC LIMIT 1", true);
}

bool cBookNoteStg::nextBookNote(cBookNote& record, bool report)
{
    return walk(record, report, " AND recid > ?", " ORDER BY recid LIMIT 1", false);
}

bool cBookNoteStg::previousBookNote(cBookNote& record, bool report)
{
    return walk(record, report, " AND recid < ?", " ORDER BY recid DESC LIMIT 1", false);
}

bool cBookNoteStg::firstUnsyncedBookNote(cBookNote& record)
{
    return selectOne(select("serverid = 0 ORDER BY recid LIMIT 1 ").chars(), {}, record, false);
}

bool cBookNoteStg::lookup(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
    const cLString16& formname, const cLString16& fieldname, bool includeDeleted, cBookNote& record)
{
    cLString8 sql = select(includeDeleted ? "" : "deleted = 0 AND ");
    // Names match without regard to case, but a note named exactly so comes first: two journal notes
    // whose titles differ only in case are each found under their own title.
    sql.appendCStr("pubid = ? AND bookid = ? AND edition = ? AND section = ? AND lower(formname) = lower(?) AND "
                   "lower(fieldname) = lower(?) ORDER BY formname = ? DESC, fieldname = ? DESC, deleted, recid");
    const cLString8 form = utf8(formname);
    const cLString8 field = utf8(fieldname);
    return selectOne(
        sql.chars(), {pubid, bookid, std::int32_t {edition}, section, form, field, form, field}, record, false);
}

bool cBookNoteStg::findBookNote(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
    const cLString16& formname, const cLString16& fieldname, bool includeDeleted, cBookNote& record)
{
    if (!lookup(pubid, bookid, edition, section, formname, fieldname, includeDeleted, record))
        return false;
    requestSyncBookNotes(0);
    return true;
}

std::unique_ptr<cBookNote> cBookNoteStg::findBookNote(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition,
    std::int32_t section, const cLString16& formname, const cLString16& fieldname, bool includeDeleted)
{
    auto record = std::make_unique<cBookNote>();
    if (!findBookNote(pubid, bookid, edition, section, formname, fieldname, includeDeleted, *record))
        return nullptr;
    return record;
}

bool cBookNoteStg::findBookNoteRecid(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition,
    std::int32_t section, const cLString16& formname, const cLString16& fieldname)
{
    cSQLRows rows;
    return exec("SELECT recid FROM BookNotes WHERE deleted = 0 AND pubid = ? AND bookid = ? AND edition = ? AND "
                "section = ? AND lower(formname) = lower(?) AND lower(fieldname) = lower(?)",
               {pubid, bookid, std::int32_t {edition}, section, utf8(formname), utf8(fieldname)}, &rows) &&
        !rows.empty();
}

std::int64_t cBookNoteStg::countBookNotes(
    std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t deleted)
{
    cLString8 filter;
    cSQLValues values;
    if (pubid != 0) {
        filter.appendCStr("AND pubid = ? ");
        values.emplace_back(pubid);
    }
    if (bookid != 0) {
        filter.appendCStr("AND bookid = ? ");
        values.emplace_back(bookid);
    }
    if (edition != 0) {
        filter.appendCStr("AND edition = ? ");
        values.emplace_back(std::int32_t {edition});
    }
    if (deleted != -1) {
        filter.appendCStr("AND deleted = ? ");
        values.emplace_back(deleted);
    }
    if (!filter.isEmpty())
        filter.replaceRange(0, "WHERE", 3);
    cLString8 sql("SELECT COUNT(*) FROM BookNotes ");
    sql.append(filter);
    return selectNumber(sql.chars(), values);
}

bool cBookNoteStg::readBookNoteByRecid(cBookNote& record, bool report)
{
    if (record.recid != 0) {
        if (!selectOne("SELECT * FROM BookNotes WHERE recid = ?", {record.recid}, record, report))
            return false;
        requestSyncBookNotes(0);
        return true;
    }
    if (!record.hasValidFormFields())
        return false;
    const cLString16 formname = record.formname;
    const cLString16 fieldname = record.fieldname;
    return findBookNote(
        record.pubid, record.bookid, record.edition, record.section, formname, fieldname, false, record);
}

std::int64_t cBookNoteStg::highestRecid()
{
    return selectNumber("SELECT recid FROM BookNotes ORDER BY recid DESC LIMIT 1", {}, 0);
}

void cBookNoteStg::removeJournalSearchResults(const char* layoutUuid, std::int32_t searchId, std::int32_t searchTag)
{
    cLString8 sql("DELETE FROM JournalSearchResults WHERE ");
    cSQLValues values;
    if (layoutUuid == nullptr) {
        sql.appendCStr("1");
    } else {
        sql.appendCStr("layoutUuid = ? ");
        values.emplace_back(layoutUuid);
        if (searchId >= 0) {
            sql.appendCStr("AND searchid = ? ");
            values.emplace_back(searchId);
            if (searchTag >= 0) {
                sql.appendCStr("AND searchtag = ?");
                values.emplace_back(searchTag);
            }
        }
    }
    exec(sql, values);
}

void cBookNoteStg::addJournalSearchResult(const cLString16& formname, std::int64_t booknotesrecid,
    const char* layoutUuid, std::int32_t searchId, std::int32_t searchTag)
{
    exec("INSERT INTO JournalSearchResults ( formname, booknotesrecid, layoutuuid, searchid, searchtag ) VALUES ( "
         "? , ?, ?, ?, ? )",
        {utf8(formname), booknotesrecid, layoutUuid ? layoutUuid : "", searchId, searchTag});
}

bool cBookNoteStg::journalSearchLayoutIds(std::vector<cLString8>& list)
{
    cSQLRows rows;
    if (!exec("SELECT DISTINCT layoutuuid FROM JournalSearchResults ", {}, &rows))
        return false;
    if (rows.empty())
        list.clear();
    for (cSQLRow& row : rows) {
        if (!row.empty())
            list.push_back(std::move(row[0]));
    }
    return true;
}

bool cBookNoteStg::writeBookNote(cBookNote& record, bool keepServerId, bool report, bool keepTimestamp)
{
    const std::int64_t previousServerId = record.prepareLocalWrite(keepServerId, keepTimestamp);
    if (NoteText::showsNothing(record.note)) {
        record.note.makeEmpty();
        record.deleted = 1;
    }
    const cLString8 timestamp = record.timestampText();
    const cLString8 note = utf8(record.note);
    const cLString8 formname = utf8(record.formname);
    const cLString8 fieldname = utf8(record.fieldname);
    const bool ok = writeRecord(
        record,
        "UPDATE BookNotes SET timestamp = ?, note = ?, formname = ?, fieldname = ?, serverid = ?, deleted = ? WHERE "
        "recid = ?",
        {timestamp, note, formname, fieldname, record.serverid, record.deleted, record.recid},
        [&] {
            // A new note replaces whatever row, live or tombstone, stands at its location and field.
            cBookNote existing;
            return !lookup(record.pubid, record.bookid, record.edition, record.section, record.formname,
                       record.fieldname, true, existing) ||
                deleteBookNoteRow(existing);
        },
        "INSERT INTO BookNotes ( timestamp, pubid, bookid, edition, section, formname, fieldname, note, serverid, "
        "deleted ) VALUES ( ? , ? , ? , ? , ? , ? , ? , ?, ?, ? )",
        {timestamp, record.pubid, record.bookid, std::int32_t {record.edition}, record.section, formname, fieldname,
            note, record.serverid, record.deleted},
        report);

    if (record.pubid == 0 || record.bookid == 0)
        readBookNoteByRecid(record, false);
    invalidateNoteSearchCache(kUserDataCacheNote, record.section, record.pubid, record.bookid, record.edition);
    requestSyncBookNotesEditing(1, previousServerId);
    return ok;
}

bool cBookNoteStg::deleteBookNoteRow(const cBookNote& record)
{
    if (record.recid == 0)
        return false;
    return exec("DELETE FROM BookNotes WHERE recid = ?", {record.recid});
}

bool cBookNoteStg::addBookNote(cBookNote& record, bool keepServerId, bool report, bool keepTimestamp)
{
    if (record.recid != 0 || record.deleted != 0)
        return false;
    return writeBookNote(record, keepServerId, report, keepTimestamp);
}

bool cBookNoteStg::updateBookNote(cBookNote& record, bool keepServerId, bool report, bool keepTimestamp)
{
    if (!requireStored(record, report))
        return false;
    return writeBookNote(record, keepServerId, report, keepTimestamp);
}

bool cBookNoteStg::markBookNoteDeleted(cBookNote& record, bool keepServerId, bool report, bool keepTimestamp)
{
    record.deleted = 1;
    return writeBookNote(record, keepServerId, report, keepTimestamp);
}

bool cBookNoteStg::markLiveBookNoteDeleted(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition,
    std::int32_t section, const cLString16& formname, const cLString16& fieldname, const cDBTimestamp* at)
{
    cSQLRows rows;
    if (!exec("SELECT recid FROM BookNotes WHERE deleted = 0 AND pubid = ? AND bookid = ? AND edition = ? AND "
              "section = ? AND lower(formname) = lower(?) AND lower(fieldname) = lower(?)",
            {pubid, bookid, std::int32_t {edition}, section, utf8(formname), utf8(fieldname)}, &rows, true))
        return false;
    if (rows.empty())
        return true;
    cBookNote record;
    if (!lookup(pubid, bookid, edition, section, formname, fieldname, false, record))
        return false;
    record.note.makeEmpty();
    if (at != nullptr)
        record.setTimestamp(*at);
    return markBookNoteDeleted(record, false, true, at != nullptr);
}

#include "userdata/cDevotionalDataStg.h"

#include <set>
#include <utility>

#include "engine/foundation/PlatformHelpers.h"
#include "engine/foundation/cMsgBox.h"
#include "userdata/UserDataHooks.h"
#include "userdata/cBookNoteStg.h"
#include "userdata/cDevotionalDataStgLegacy.h"

namespace {

const cSQLiteDbBase::TableSchema kDevDataInfo = {"DevDataInfo", 8,
    "CREATE TABLE DevDataInfo ( recid INTEGER PRIMARY KEY AUTOINCREMENT,pubid INTEGER,bookid INTEGER,startdate "
    "TEXT,numreadings INTEGER,timestamp TEXT,serverid INTEGER DEFAULT 0,deleted INTEGER DEFAULT 0 )",
    "ALTER TABLE DevDataInfo ADD serverid INTEGER NOT NULL DEFAULT 0;ALTER TABLE DevDataInfo ADD deleted INTEGER "
    "NOT NULL DEFAULT 0",
    "DROP INDEX IF EXISTS DevDataInfoIdx;CREATE INDEX DevDataDeletedIndex ON DevDataInfo (deleted, pubid, "
    "bookid);CREATE INDEX DevDataServerIdIndex ON DevDataInfo (serverid, deleted, pubid, bookid)"};

const cSQLiteDbBase::TableSchema kDevDataProgress = {"DevDataProgress", 7,
    "CREATE TABLE DevDataProgress ( recid INTEGER PRIMARY KEY AUTOINCREMENT,pubid INTEGER,bookid "
    "INTEGER,readingnum INTEGER,timestamp TEXT,serverid INTEGER DEFAULT 0,deleted INTEGER DEFAULT 0 )",
    "ALTER TABLE DevDataProgress ADD serverid INTEGER NOT NULL DEFAULT 0;ALTER TABLE DevDataProgress ADD deleted "
    "INTEGER NOT NULL DEFAULT 0",
    "DROP INDEX IF EXISTS DevDataProgressIdx; CREATE INDEX DevProgressDeletedIndex ON DevDataProgress (deleted, "
    "pubid, bookid, readingnum);CREATE INDEX DevProgressServerIdIndex ON DevDataProgress (serverid, deleted, "
    "pubid, bookid, readingnum)"};

constexpr const char* kStartDateSelect =
    "SELECT recid, timestamp, pubid, bookid, startdate, numreadings, serverid, deleted FROM DevDataInfo WHERE ";
constexpr const char* kProgressSelect =
    "SELECT recid, timestamp, pubid, bookid, readingnum, serverid, deleted FROM DevDataProgress WHERE ";

constexpr const char* kConversionFailed =
    "Unable to update devotional reading data.  Please contact technical support.";
constexpr const char* kDropFailed = "Unable to update the devotional reading data.  Please contact technical support.";
constexpr const char* kAlterFailed =
    "Unable to update the devotional reading data table.  Please contact technical support.";

void showMessage(const char* text)
{
    cMsgBox box;
    box.showDatabaseError(cLString16(text));
}

cLString8 colonText(const cDateTimeValue& value)
{
    cLString8 text;
    value.formatColonSeparated(text);
    return text;
}

// The given time, or now (UTC), in colon form.
cLString8 stampText(const cDateTimeValue* timestamp)
{
    cDateTimeValue now;
    if (timestamp == nullptr)
        now.setToNowUTC();
    return colonText(timestamp ? *timestamp : now);
}

std::int64_t number(const cSQLRow& row, std::size_t i)
{
    return i < row.size() ? row[i].toInt64() : 0;
}

// Both tables' rows start "recid, timestamp, pubid, bookid" and end "serverid, deleted".
template <typename Record> void readBookRecord(const cSQLRow& row, Record& record, std::size_t serverid)
{
    record.clear();
    cSQLiteDbBase::readSyncColumns(row, record, 0, 1, serverid, serverid + 1);
    record.pubid = static_cast<std::uint16_t>(number(row, 2));
    record.bookid = static_cast<std::uint16_t>(number(row, 3));
}

// Legacy timestamps and dates that are empty or unreadable leave the value at all zeros.
void parseDate(const cLString8& text, cDateTimeValue& out)
{
    out = cDateTimeValue {};
    if (!text.isEmpty())
        out.parse(text);
}

}  // namespace

cDevotionalDataStg::~cDevotionalDataStg()
{
    m_ready.store(false);
    close();
}

void cDevotionalDataStg::setBook(std::uint16_t pubid, std::uint16_t bookid)
{
    m_pubid = pubid;
    m_bookid = bookid;
}

void cDevotionalDataStg::setBookFrom(const cDevotionalDataStg& other)
{
    setBook(other.m_pubid, other.m_bookid);
}

bool cDevotionalDataStg::openOrCreate(const cLString16& path, bool create)
{
    if (isOpen())
        return true;
    const cLString16 file = path.isEmpty() ? databasePath() : path;
    // Without `create` both tables must exist; existing tables are upgraded either way.
    if (!create && !probeTables(file, {"DevDataInfo", "DevDataProgress"}, true))
        return false;
    if (!checkTables(file, {kDevDataInfo, kDevDataProgress}, true))
        return false;
    m_ready.store(true);
    if (create)
        convertLegacyTable();
    return isOpen();
}

bool cDevotionalDataStg::ensureOpen()
{
    return openOrCreate(cLString16(), true);
}

std::int64_t cDevotionalDataStg::highest(const char* query)
{
    if (!ensureOpen())
        return 0;
    return selectNumber(query);
}

std::int64_t cDevotionalDataStg::highestStartDateServerId()
{
    return highest("SELECT serverid FROM DevDataInfo ORDER BY serverid DESC LIMIT 1 ");
}

std::int64_t cDevotionalDataStg::highestProgressServerId()
{
    return highest("SELECT serverid FROM DevDataProgress ORDER BY serverid DESC LIMIT 1 ");
}

// --- the current book ------------------------------------------------------------------------------

bool cDevotionalDataStg::isReadingDone(std::uint32_t n)
{
    if (!ensureOpen())
        return false;
    cSQLRows rows;
    if (!exec("SELECT recid FROM DevDataProgress WHERE deleted = 0 AND pubid = ? AND bookid = ? AND readingnum = ?",
            {m_pubid, m_bookid, n}, &rows))
        return false;
    requestSyncDevotionalProgress(0);
    return !rows.empty();
}

bool cDevotionalDataStg::setReadingDone(std::uint32_t n, bool done, const cDateTimeValue* timestamp, bool report)
{
    return writeReadingDone(m_pubid, m_bookid, n, done, timestamp, report);
}

std::uint32_t cDevotionalDataStg::countReadingsDone()
{
    if (!ensureOpen())
        return 0;
    cSQLRows rows;
    if (!exec("SELECT COUNT(*) FROM DevDataProgress WHERE deleted = 0 AND pubid = ? AND bookid = ?",
            {m_pubid, m_bookid}, &rows) ||
        rows.empty() || rows[0].empty())
        return 0;
    requestSyncDevotionalProgress(0);
    return static_cast<std::uint32_t>(rows[0][0].toInt64());
}

bool cDevotionalDataStg::clearAllProgress()
{
    if (!ensureOpen())
        return false;
    if (!exec("UPDATE DevDataProgress SET deleted = 1, serverid = 0, timestamp = ? WHERE deleted = 0 AND pubid = ? "
              "AND bookid = ?",
            {stampText(nullptr), m_pubid, m_bookid}))
        return false;
    requestSyncDevotionalProgress(1);
    return true;
}

std::uint32_t cDevotionalDataStg::unreadQuery(const char* query, const cSQLValues& values, std::uint32_t none)
{
    return static_cast<std::uint32_t>(selectNumber(query, values, none));
}

std::uint32_t cDevotionalDataStg::firstUnreadReading()
{
    if (!ensureOpen())
        return 0;
    requestSyncDevotionalProgress(0);
    if (!isReadingDone(1))
        return 1;
    return unreadQuery(
        "SELECT readingnum + 1 AS unread FROM DevDataProgress AS t1 WHERE deleted = 0 AND pubid = ? AND bookid = ? "
        "AND NOT EXISTS (SELECT recid FROM DevDataProgress WHERE deleted = 0 AND pubid = ? AND bookid = ? AND "
        "readingnum = t1.readingnum + 1) ORDER BY readingnum",
        {m_pubid, m_bookid, m_pubid, m_bookid}, 1);
}

std::uint32_t cDevotionalDataStg::previousUnreadReading(std::uint32_t n)
{
    if (!ensureOpen())
        return 0;
    if (!isReadingDone(n - 1))
        return n - 1;
    return unreadQuery(
        "SELECT readingnum - 1 AS unread FROM DevDataProgress AS t1 WHERE deleted = 0 AND pubid = ? AND bookid = ? "
        "AND readingnum <= ? AND NOT EXISTS (SELECT recid FROM DevDataProgress WHERE deleted = 0 AND pubid = ? AND "
        "bookid = ? AND readingnum = t1.readingnum - 1) ORDER BY readingnum DESC",
        {m_pubid, m_bookid, n, m_pubid, m_bookid}, 0);
}

std::uint32_t cDevotionalDataStg::nextUnreadReading(std::uint32_t n)
{
    if (!ensureOpen())
        return 0;
    if (!isReadingDone(n + 1))
        return n + 1;
    return unreadQuery(
        "SELECT readingnum + 1 AS unread FROM DevDataProgress AS t1 WHERE deleted = 0 AND pubid = ? AND bookid = ? "
        "AND readingnum >= ? AND NOT EXISTS (SELECT recid FROM DevDataProgress WHERE deleted = 0 AND pubid = ? AND "
        "bookid = ? AND readingnum = t1.readingnum + 1) ORDER BY readingnum",
        {m_pubid, m_bookid, n, m_pubid, m_bookid}, 0);
}

// --- a named book ----------------------------------------------------------------------------------

bool cDevotionalDataStg::readStartDate(std::uint16_t pubid, std::uint16_t bookid, cDateTimeValue& startDateOut,
    std::uint32_t& numReadingsOut, cDateTimeValue* timestampOut, bool report)
{
    if (!ensureOpen())
        return false;
    cSQLRows rows;
    if (!exec("SELECT * FROM DevDataInfo WHERE deleted = 0 AND pubid = ? AND bookid = ?", {pubid, bookid}, &rows,
            report) ||
        rows.empty() || rows[0].size() < 6)
        return false;
    const cSQLRow& row = rows[0];  // recid, pubid, bookid, startdate, numreadings, timestamp, ...
    parseDate(row[3], startDateOut);
    if (timestampOut)
        parseDate(row[5], *timestampOut);
    numReadingsOut = static_cast<std::uint32_t>(row[4].toInt64());
    requestSyncDevotionalStartDate(0);
    return true;
}

bool cDevotionalDataStg::liveStartDateRecid(std::uint16_t pubid, std::uint16_t bookid, std::int64_t& recid)
{
    cSQLRows rows;
    if (!exec("SELECT recid FROM DevDataInfo WHERE deleted = 0 AND pubid = ? AND bookid = ?", {pubid, bookid}, &rows) ||
        rows.empty() || rows[0].empty())
        return false;
    recid = rows[0][0].toInt64();
    return true;
}

bool cDevotionalDataStg::writeStartDateAndCount(std::uint16_t pubid, std::uint16_t bookid,
    const cDateTimeValue& startDate, std::uint32_t numReadings, const cDateTimeValue* timestamp, bool report)
{
    if (!ensureOpen())
        return false;
    const cLString8 start = colonText(startDate);
    const cLString8 stamp = stampText(timestamp);
    const bool ok = runInTransaction([&] {
        std::int64_t recid = 0;
        if (!liveStartDateRecid(pubid, bookid, recid)) {
            return exec("DELETE FROM DevDataInfo WHERE deleted = 1 AND pubid = ? AND bookid = ?;INSERT INTO "
                        "DevDataInfo (pubid, bookid, startdate, numreadings, timestamp) VALUES(?, ?, ?, ?, ?)",
                {pubid, bookid, pubid, bookid, start, numReadings, stamp}, nullptr, report);
        }
        return exec("UPDATE DevDataInfo SET pubid = ?, bookid = ?, startdate = ?, numreadings = ?, timestamp = ?, "
                    "serverid = 0  WHERE recid = ?",
            {pubid, bookid, start, numReadings, stamp, recid}, nullptr, report);
    });
    if (ok)
        requestSyncDevotionalStartDate(1);
    return ok;
}

bool cDevotionalDataStg::writeStartDate(std::uint16_t pubid, std::uint16_t bookid, const cDateTimeValue& startDate,
    const cDateTimeValue* timestamp, bool report)
{
    if (!ensureOpen())
        return false;
    const cLString8 start = colonText(startDate);
    const cLString8 stamp = stampText(timestamp);
    const bool ok = runInTransaction([&] {
        std::int64_t recid = 0;
        if (!liveStartDateRecid(pubid, bookid, recid)) {
            return exec("DELETE FROM DevDataInfo WHERE deleted = 1 AND pubid = ? AND bookid = ?;INSERT INTO "
                        "DevDataInfo (pubid, bookid, startdate, numreadings, timestamp) VALUES(?, ?, ?, 0, ?)",
                {pubid, bookid, pubid, bookid, start, stamp}, nullptr, report);
        }
        return exec("UPDATE DevDataInfo SET serverid = 0, startdate = ?, timestamp = ? WHERE pubid = ? AND bookid = ?",
            {start, stamp, pubid, bookid}, nullptr, report);
    });
    if (ok)
        requestSyncDevotionalStartDate(1);
    return ok;
}

bool cDevotionalDataStg::writeReadingDone(
    std::uint16_t pubid, std::uint16_t bookid, std::uint32_t n, bool done, const cDateTimeValue* timestamp, bool report)
{
    if (!ensureOpen())
        return false;
    const cLString8 stamp = stampText(timestamp);
    bool ok;
    if (done) {
        // Both statements run under one statement lock; the transaction makes them one change on disk.
        ok = runInTransaction([&] {
            return exec("DELETE FROM DevDataProgress WHERE pubid = ? AND bookid = ? AND readingnum = ?;INSERT INTO "
                        "DevDataProgress (pubid, bookid, readingnum, timestamp) VALUES (?, ?, ?, ?)",
                {pubid, bookid, n, pubid, bookid, n, stamp}, nullptr, report);
        });
    } else {
        ok = exec("UPDATE DevDataProgress SET deleted = 1, serverid = 0, timestamp = ? WHERE pubid = ? AND bookid = ? "
                  "AND readingnum = ?",
            {stamp, pubid, bookid, n}, nullptr, report);
    }
    if (ok)
        requestSyncDevotionalProgress(1);
    return ok;
}

// --- records ---------------------------------------------------------------------------------------

bool cDevotionalDataStg::startDateLookup(const char* where, const cSQLValues& values, cDevotionalStartDate& record)
{
    cSQLRow row;
    if (!selectFirstRow(sqlOf({kStartDateSelect, where}).chars(), values, 8, row))
        return false;
    readBookRecord(row, record, 6);
    parseDate(row[4], record.startDate);
    record.numReadings = static_cast<std::uint32_t>(number(row, 5));
    return true;
}

bool cDevotionalDataStg::progressLookup(const char* where, const cSQLValues& values, cDevotionalProgress& record)
{
    cSQLRow row;
    if (!selectFirstRow(sqlOf({kProgressSelect, where}).chars(), values, 7, row))
        return false;
    readBookRecord(row, record, 5);
    record.readingNum = static_cast<std::uint32_t>(number(row, 4));
    return true;
}

bool cDevotionalDataStg::firstUnsyncedStartDate(cDevotionalStartDate& record)
{
    return ensureOpen() && startDateLookup("serverid = 0 ORDER BY recid LIMIT 1 ", {}, record);
}

bool cDevotionalDataStg::findStartDateRecord(
    std::uint16_t pubid, std::uint16_t bookid, bool includeDeleted, cDevotionalStartDate& record)
{
    if (!ensureOpen())
        return false;
    const char* where = includeDeleted ? "pubid = ? AND bookid = ?" : "deleted = 0 AND pubid = ? AND bookid = ?";
    if (!startDateLookup(where, {pubid, bookid}, record))
        return false;
    requestSyncDevotionalStartDate(0);
    return true;
}

std::unique_ptr<cDevotionalStartDate> cDevotionalDataStg::findStartDateRecord(
    std::uint16_t pubid, std::uint16_t bookid, bool includeDeleted)
{
    auto record = std::make_unique<cDevotionalStartDate>();
    if (!findStartDateRecord(pubid, bookid, includeDeleted, *record))
        return nullptr;
    return record;
}

bool cDevotionalDataStg::findProgressRecord(
    std::uint16_t pubid, std::uint16_t bookid, std::uint32_t n, bool includeDeleted, cDevotionalProgress& record)
{
    if (!ensureOpen())
        return false;
    const char* where = includeDeleted ? "pubid = ? AND bookid = ? AND readingnum = ?"
                                       : "deleted = 0 AND pubid = ? AND bookid = ? AND readingnum = ?";
    if (!progressLookup(where, {pubid, bookid, n}, record))
        return false;
    requestSyncDevotionalProgress(0);
    return true;
}

std::unique_ptr<cDevotionalProgress> cDevotionalDataStg::findProgressRecord(
    std::uint16_t pubid, std::uint16_t bookid, std::uint32_t n, bool includeDeleted)
{
    auto record = std::make_unique<cDevotionalProgress>();
    if (!findProgressRecord(pubid, bookid, n, includeDeleted, *record))
        return nullptr;
    return record;
}

bool cDevotionalDataStg::readStartDateRecord(std::int64_t recid, cDevotionalStartDate& record)
{
    if (!ensureOpen() || !startDateLookup("recid = ?", {recid}, record))
        return false;
    requestSyncDevotionalStartDate(0);
    return true;
}

bool cDevotionalDataStg::addStartDateRecord(
    cDevotionalStartDate& record, bool keepServerId, bool report, bool keepTimestamp)
{
    if (record.recid != 0 || record.deleted != 0)
        return false;
    if (!keepServerId)
        record.serverid = 0;
    return writeStartDateRecord(record, report, keepTimestamp);
}

bool cDevotionalDataStg::addProgressRecord(
    cDevotionalProgress& record, bool keepServerId, bool report, bool keepTimestamp)
{
    if (record.recid != 0 || record.deleted != 0)
        return false;
    if (!keepServerId)
        record.serverid = 0;
    return writeProgressRecord(record, report, keepTimestamp);
}

bool cDevotionalDataStg::updateProgressRecord(cDevotionalProgress& record, bool report, bool keepTimestamp)
{
    if (!requireStored(record, report))
        return false;
    return writeProgressRecord(record, report, keepTimestamp);
}

bool cDevotionalDataStg::markStartDateRecordDeleted(
    cDevotionalStartDate& record, bool keepServerId, bool report, bool keepTimestamp)
{
    record.deleted = 1;
    if (!keepServerId)
        record.serverid = 0;
    return writeStartDateRecord(record, report, keepTimestamp);
}

bool cDevotionalDataStg::deleteStartDateRow(const cDevotionalStartDate& record)
{
    if (record.recid == 0 || !ensureOpen())
        return false;
    return exec("DELETE FROM DevDataInfo WHERE recid = ?", {record.recid});
}

bool cDevotionalDataStg::deleteProgressRow(const cDevotionalProgress& record)
{
    if (record.recid == 0 || !ensureOpen())
        return false;
    return exec("DELETE FROM DevDataProgress WHERE recid = ?", {record.recid});
}

bool cDevotionalDataStg::writeStartDateRecord(cDevotionalStartDate& record, bool report, bool keepTimestamp)
{
    bool ok = false;
    if (ensureOpen()) {
        if (!keepTimestamp)
            record.stampNow();
        const cLString8 stamp = record.timestampText();
        cLString8 start;
        record.startDate.formatSQLStyle(start);
        ok = writeRecord(
            record,
            "UPDATE DevDataInfo SET timestamp = ?, startdate = ?, numreadings = ?, serverid = ?, "
            "deleted = ? WHERE recid = ?",
            {stamp, start, record.numReadings, record.serverid, record.deleted, record.recid},
            [&] {
                cDevotionalStartDate existing;
                while (startDateLookup("pubid = ? AND bookid = ?", {record.pubid, record.bookid}, existing)) {
                    if (!deleteStartDateRow(existing))
                        return false;
                }
                return true;
            },
            "INSERT INTO DevDataInfo ( timestamp, pubid, bookid, startdate, numreadings, serverid, deleted ) "
            "VALUES ( ?, ?, ?, ?, ?, ?, ? )",
            {stamp, record.pubid, record.bookid, start, record.numReadings, record.serverid, record.deleted}, report);
    }
    requestSyncDevotionalStartDate(1);
    return ok;
}

bool cDevotionalDataStg::writeProgressRecord(cDevotionalProgress& record, bool report, bool keepTimestamp)
{
    bool ok = false;
    if (ensureOpen()) {
        if (!keepTimestamp)
            record.stampNow();
        const cLString8 stamp = record.timestampText();
        ok = writeRecord(
            record,
            "UPDATE DevDataProgress SET timestamp = ?, readingnum = ?, serverid = ?, deleted = ? "
            "WHERE recid = ?",
            {stamp, record.readingNum, record.serverid, record.deleted, record.recid},
            [&] {
                cDevotionalProgress existing;
                while (progressLookup("pubid = ? AND bookid = ? AND readingnum = ?",
                    {record.pubid, record.bookid, record.readingNum}, existing)) {
                    if (!deleteProgressRow(existing))
                        return false;
                }
                return true;
            },
            "INSERT INTO DevDataProgress ( timestamp, pubid, bookid, readingnum, serverid, deleted ) VALUES "
            "( ?, ?, ?, ?, ?, ? )",
            {stamp, record.pubid, record.bookid, record.readingNum, record.serverid, record.deleted}, report);
    }
    requestSyncDevotionalProgress(1);
    return ok;
}

// --- the legacy table ------------------------------------------------------------------------------

void cDevotionalDataStg::convertLegacyTable()
{
    if (!exec("SELECT * FROM DevotionalData WHERE 0"))
        return;  // nothing to convert
    const bool altered = hasColumn("DevotionalData", "timestamp") ||
        exec("ALTER TABLE DevotionalData ADD timestamp TEXT", {}, nullptr, true);
    if (!altered) {
        showMessage(kAlterFailed);
        return;
    }
    cSQLRows rows;
    if (!exec("SELECT * FROM DevotionalData", {}, &rows))
        return;

    bool dropFailed = false;
    bool converted = false;
    beginBusySection();
    // Its own transaction, never joined to a caller's: the prepared read below relies on the
    // transaction's hold on the statement lock.
    const bool committed = runInTransaction([&] {
        converted = convertLegacyRows(rows, dropFailed);
        return converted && !dropFailed;
    });
    endBusySection();
    if (committed)
        return;
    showMessage(dropFailed ? kDropFailed : kConversionFailed);
}

// Inserts the converted rows and drops the legacy table; any failure rolls the whole conversion back
// (the caller's transaction), so the live tables keep exactly what they held and a later open tries
// again. Rows the live tables already hold for a book or reading (from a sync after an earlier failed
// attempt) are kept rather than duplicated.
bool cDevotionalDataStg::convertLegacyRows(const cSQLRows& rows, bool& dropFailed)
{
    std::set<std::pair<std::int32_t, std::int32_t>> seen;
    for (const cSQLRow& row : rows) {
        // unused, pubid, bookid, startmonth, startday, startyear, numreadings, progressbuffer, timestamp
        if (row.size() < 9)
            return false;
        const auto pubid = static_cast<std::int32_t>(row[1].toInt64());
        const auto bookid = static_cast<std::int32_t>(row[2].toInt64());
        if (!seen.insert({pubid, bookid}).second)
            continue;

        cDateTimeValue start;
        start.month = static_cast<std::uint16_t>(row[3].toInt32());
        start.day = static_cast<std::uint16_t>(row[4].toInt32());
        start.year = static_cast<std::uint16_t>(row[5].toInt32());
        cSQLRows existingInfo;
        if (!exec("SELECT recid FROM DevDataInfo WHERE pubid = ? AND bookid = ?", {pubid, bookid}, &existingInfo))
            return false;
        if (existingInfo.empty() &&
            !exec("INSERT INTO DevDataInfo ( pubid, bookid, startdate, numreadings, timestamp ) VALUES ( ? , ? , ? , "
                  "? , ? )",
                {pubid, bookid, colonText(start), row[6].toInt64(), row[8]}, nullptr, true))
            return false;

        cReadingProgress progress;
        std::int32_t numReadings = 0;
        cLString8 timestamp;
        if (!readLegacyProgress(pubid, bookid, progress, numReadings, timestamp, true))
            return false;
        cSQLRows existingReadings;
        if (!exec("SELECT readingnum FROM DevDataProgress WHERE pubid = ? AND bookid = ?", {pubid, bookid},
                &existingReadings))
            return false;
        std::set<std::int64_t> present;
        for (const cSQLRow& r : existingReadings)
            present.insert(number(r, 0));
        // The bitmap holds 1,920 readings; a larger count would mark readings it never recorded as read.
        const std::uint32_t last = numReadings < 0
            ? 0u
            : std::min<std::uint32_t>(static_cast<std::uint32_t>(numReadings), cReadingProgress::kMaxReadings);
        for (std::uint32_t n = 1; n <= last; ++n) {
            if (!progress.isRead(n) || present.count(n))
                continue;
            if (!exec("INSERT INTO DevDataProgress ( pubid, bookid, readingnum, timestamp ) VALUES ( ? , ? , ? , ? )",
                    {pubid, bookid, n, timestamp}, nullptr, true))
                return false;
        }
    }
    if (!exec("DROP TABLE 'DevotionalData'", {}, nullptr, true))
        dropFailed = true;
    return true;
}

// The one prepared read: the progress bitmap of a book. Runs inside the conversion's transaction, so
// the statement lock is held and the raw handle is ours.
bool cDevotionalDataStg::readLegacyProgress(std::int32_t pubid, std::int32_t bookid, cReadingProgress& progress,
    std::int32_t& numReadings, cLString8& timestamp, bool report)
{
    sqlite3* handle = connectionHandle();
    if (handle == nullptr)
        return false;
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(handle,
        "SELECT startmonth, startday, startyear, numreadings, progressbuffer, timestamp FROM "
        "DevotionalData WHERE pubid = ? AND bookid = ? LIMIT 1",
        -1, &statement, nullptr);
    if (rc != SQLITE_OK) {
        if (report)
            reportError(rc);
        sqlite3_finalize(statement);
        return false;
    }
    bool ok = false;
    sqlite3_bind_int(statement, 1, pubid);
    sqlite3_bind_int(statement, 2, bookid);
    if (sqlite3_step(statement) == SQLITE_ROW) {
        numReadings = sqlite3_column_int(statement, 3);
        const void* blob = sqlite3_column_blob(statement, 4);
        const int blobSize = sqlite3_column_bytes(statement, 4);
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 5));
        const int textSize = sqlite3_column_bytes(statement, 5);
        if (blob != nullptr && blobSize == cReadingProgress::bufferSize() && textSize <= 255) {
            progress.setCount(numReadings < 0 ? 0u : static_cast<std::uint32_t>(numReadings));
            std::memcpy(progress.buffer(), blob, cReadingProgress::kBufferSize);
            timestamp.makeEmpty();
            if (text)
                timestamp.appendChars(text, textSize);
            ok = true;
        }
    }
    rc = sqlite3_finalize(statement);
    if (rc != SQLITE_OK) {
        if (report)
            reportError(rc);
        ok = false;
    }
    return ok;
}

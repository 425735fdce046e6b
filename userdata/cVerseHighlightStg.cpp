#include "userdata/cVerseHighlightStg.h"

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/references/cBibleRef.h"
#include "userdata/UserDataHooks.h"

namespace {

const cSQLiteDbBase::TableSchema kHighlightsTable = {"VerseHighlights", 7,
    "CREATE TABLE VerseHighlights ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,bcv INTEGER,"
    "forecolor INTEGER,backcolor INTEGER,serverid INTEGER DEFAULT 0,deleted INTEGER DEFAULT 0 )",
    "ALTER TABLE VerseHighlights ADD serverid INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE VerseHighlights ADD deleted INTEGER NOT NULL DEFAULT 0",
    "DROP INDEX IF EXISTS VerseHighlightIndex;"
    "CREATE INDEX VerseHighlightDeletedIndex ON VerseHighlights (deleted, bcv);"
    "CREATE INDEX VerseHighlightServerIdIndex ON VerseHighlights (serverid, deleted, bcv)"};

constexpr const char* kColumns =
    "SELECT recid, timestamp, bcv, forecolor, backcolor, serverid, deleted FROM VerseHighlights ";

// Process-wide: the highlight lock. Never destroyed, so stores closed during exit still find it.
struct HighlightState {
    std::recursive_mutex mutex;
};

HighlightState& state()
{
    static HighlightState* instance = new HighlightState();
    return *instance;
}

// How often this thread holds the highlight lock, and the calls waiting for it to let go. Both are
// trivially destructible, so a store closed during exit still finds them.
thread_local int tLockDepth = 0;
thread_local std::vector<std::function<void()>>* tAfterUnlock = nullptr;

// "AND backcolor IN (?,...) " for a non-empty list, else nothing; the colours join `values`.
const char* colourFilter(const cLIntArray* colours, cLString8& clause, cSQLValues& values)
{
    clause.makeEmpty();
    if (colours == nullptr || colours->count() == 0)
        return clause.chars();
    clause.appendCStr("AND backcolor IN (");
    for (std::int32_t i = 0; i < colours->count(); ++i) {
        clause.appendCStr(i == 0 ? "?" : ",?");
        values.emplace_back(colours->getAt(i));
    }
    clause.appendCStr(") ");
    return clause.chars();
}

void readerFoundRow()
{
    requestSyncBibleHighlights(0);
}

void afterWrite(std::uint32_t bcv)
{
    const cBibleRef reference(bcv);
    invalidateUserDataSearchCacheForBook(kUserDataCacheColor, reference, 1);
    requestSyncBibleHighlights(1);
}

}  // namespace

void cVerseHighlightStg::lockHighlights()
{
    state().mutex.lock();
    ++tLockDepth;
}

void cVerseHighlightStg::unlockHighlights()
{
    if (tLockDepth == 0)
        return;
    if (tLockDepth > 1) {
        --tLockDepth;
        state().mutex.unlock();
        return;
    }
    const std::unique_ptr<std::vector<std::function<void()>>> pending(tAfterUnlock);
    tAfterUnlock = nullptr;
    tLockDepth = 0;
    state().mutex.unlock();
    if (pending) {
        for (const auto& call : *pending)
            call();
    }
}

void cVerseHighlightStg::afterHighlightUnlock(std::function<void()> call)
{
    if (tLockDepth > 0) {
        if (tAfterUnlock == nullptr)
            tAfterUnlock = new std::vector<std::function<void()>>();
        tAfterUnlock->push_back(std::move(call));
    } else {
        call();
    }
}

cVerseHighlightStg::~cVerseHighlightStg()
{
    cVerseHighlightStg::close();
}

bool cVerseHighlightStg::openOrCreate(const cLString16& path, bool report)
{
    m_ready = checkTables(path, {kHighlightsTable}, report);
    return m_ready;
}

void cVerseHighlightStg::close()
{
    m_ready = false;
    cSQLiteDbBase::close();
}

std::int64_t cVerseHighlightStg::highestServerId()
{
    return selectNumber("SELECT serverid FROM VerseHighlights ORDER BY serverid DESC LIMIT 1 ");
}

bool cVerseHighlightStg::readOne(const char* sql, const cSQLValues& values, cVerseHighlightRecord& record, bool report)
{
    cSQLRow row;
    if (!selectFirstRow(sql, values, 7, row, report))
        return false;
    record.clear();
    readSyncColumns(row, record, 0, 1, 5, 6);
    record.bcv = static_cast<std::uint32_t>(row[2].toInt64());
    record.forecolor = static_cast<std::uint16_t>(row[3].toInt32());
    record.backcolor = static_cast<std::uint16_t>(row[4].toInt32());
    return true;
}

bool cVerseHighlightStg::firstUnsyncedHighlight(cVerseHighlightRecord& record)
{
    return readOne(sqlOf({kColumns, "WHERE serverid = 0 ORDER BY recid LIMIT 1"}).chars(), {}, record);
}

bool cVerseHighlightStg::firstHighlightOfColors(cVerseHighlightRecord& record, const cLIntArray* colours)
{
    cSQLValues values;
    cLString8 clause;
    const bool found =
        readOne(sqlOf({kColumns, "WHERE deleted = 0 ", colourFilter(colours, clause, values), "ORDER BY recid LIMIT 1"})
                    .chars(),
            values, record);
    if (found)
        afterHighlightUnlock(readerFoundRow);
    return found;
}

bool cVerseHighlightStg::firstHighlightOfColors(
    std::unique_ptr<cVerseHighlightRecord>& record, const cLIntArray* colours)
{
    return intoNewOrGiven(record, [&](cVerseHighlightRecord& r) { return firstHighlightOfColors(r, colours); });
}

bool cVerseHighlightStg::nextHighlightOfColors(cVerseHighlightRecord& record, const cLIntArray* colours)
{
    if (record.recid == 0)
        return false;
    cSQLValues values;
    cLString8 clause;
    const char* filter = colourFilter(colours, clause, values);
    values.emplace_back(record.recid);
    return readOne(sqlOf({kColumns, "WHERE deleted = 0 ", filter, "AND recid > ? ORDER BY recid LIMIT 1"}).chars(),
        values, record);
}

bool cVerseHighlightStg::findHighlightByVerse(std::uint32_t bcv, bool includeDeleted, cVerseHighlightRecord& record)
{
    const bool found =
        readOne(sqlOf({kColumns, "WHERE bcv = ?", includeDeleted ? "" : " AND deleted = 0", " LIMIT 1"}).chars(), {bcv},
            record);
    if (found)
        afterHighlightUnlock(readerFoundRow);
    return found;
}

bool cVerseHighlightStg::findHighlightByVerse(
    std::uint32_t bcv, bool includeDeleted, std::unique_ptr<cVerseHighlightRecord>& record)
{
    return intoNewOrGiven(
        record, [&](cVerseHighlightRecord& r) { return findHighlightByVerse(bcv, includeDeleted, r); });
}

bool cVerseHighlightStg::readHighlightByRecid(std::int64_t recid, cVerseHighlightRecord& record)
{
    const bool found = readOne(sqlOf({kColumns, "WHERE recid = ?"}).chars(), {recid}, record);
    if (found)
        afterHighlightUnlock(readerFoundRow);
    return found;
}

bool cVerseHighlightStg::findLiveHighlightInRange(
    std::uint32_t first, std::uint32_t last, cVerseHighlightRecord& record)
{
    // The same row as trying each key of the range in turn, in one statement.
    const bool found =
        readOne(sqlOf({kColumns, "WHERE deleted = 0 AND bcv BETWEEN ? AND ? ORDER BY bcv, recid LIMIT 1"}).chars(),
            {first, last}, record);
    if (found)
        afterHighlightUnlock(readerFoundRow);
    return found;
}

bool cVerseHighlightStg::readChapterHighlights(std::uint32_t chapterKey, cVerseChapterCache::Chapter& chapter)
{
    // One row per verse number, the one of the lowest recid (as the look-up of one verse finds it);
    // a key that is no whole number is no verse.
    const std::uint32_t first = (chapterKey & 0xFFFF) << 8;
    cSQLRows rows;
    if (!exec("SELECT bcv, MIN(recid), forecolor, backcolor FROM VerseHighlights WHERE deleted = 0 AND bcv BETWEEN ? "
              "AND ? AND bcv = CAST(bcv AS INTEGER) GROUP BY bcv",
            {first, first + 255}, &rows))
        return false;
    for (const cSQLRow& row : rows) {
        if (row.size() < 4)
            continue;
        const auto fore = static_cast<std::uint16_t>(row[2].toInt32());
        const auto back = static_cast<std::uint16_t>(row[3].toInt32());
        chapter.set(static_cast<std::uint32_t>(row[0].toInt64()) - first, std::uint32_t {fore} << 16 | back);
    }
    if (!rows.empty())
        afterHighlightUnlock(readerFoundRow);
    return true;
}

bool cVerseHighlightStg::writeRow(cVerseHighlightRecord& record, bool report, bool keepTimestamp)
{
    if (record.recid == 0) {
        // One row per verse: an older row of the verse, live or tombstone, goes for good.
        if (!exec("DELETE FROM VerseHighlights WHERE bcv = ?", {record.bcv}, nullptr, report))
            return false;
    }
    if (!keepTimestamp)
        record.stampNow();
    const cLString8 ts = record.timestampText();
    if (record.recid != 0) {
        return exec("UPDATE VerseHighlights SET timestamp = ?, forecolor = ?, backcolor = ?, serverid = ?, deleted = ? "
                    "WHERE recid = ?",
            {ts, record.forecolor, record.backcolor, record.serverid, record.deleted, record.recid}, nullptr, report);
    }
    std::int64_t rowid = 0;
    if (!exec("INSERT INTO VerseHighlights ( timestamp, bcv, forecolor, backcolor, serverid, deleted ) VALUES ( ?, ?, "
              "?, ?, ?, ? )",
            {ts, record.bcv, record.forecolor, record.backcolor, record.serverid, record.deleted}, nullptr, report,
            nullptr, &rowid))
        return false;
    record.recid = rowid;
    return true;
}

bool cVerseHighlightStg::writeHighlight(cVerseHighlightRecord& record, bool report, bool keepTimestamp)
{
    HighlightLock lock;
    const std::int64_t recidBefore = record.recid;
    const bool ok = runInTransaction([&] { return writeRow(record, report, keepTimestamp); }, report);
    if (!ok)
        record.recid = recidBefore;
    if (ok && record.bcv == 0)
        readHighlightByRecid(record.recid, record);
    const std::uint32_t bcv = record.bcv;
    afterHighlightUnlock([bcv] { afterWrite(bcv); });
    return ok;
}

bool cVerseHighlightStg::deleteHighlightRow(const cVerseHighlightRecord& record)
{
    HighlightLock lock;
    return exec("DELETE FROM VerseHighlights WHERE recid = ?", {record.recid});
}

bool cVerseHighlightStg::addHighlight(cVerseHighlightRecord& record, bool keepServerId, bool report, bool keepTimestamp)
{
    if (record.recid != 0 || record.deleted != 0)
        return false;
    if (!keepServerId)
        record.serverid = 0;
    return writeHighlight(record, report, keepTimestamp);
}

bool cVerseHighlightStg::updateHighlight(cVerseHighlightRecord& record, bool report, bool keepTimestamp)
{
    if (!requireStored(record, report))
        return false;
    return writeHighlight(record, report, keepTimestamp);
}

bool cVerseHighlightStg::markHighlightDeleted(
    cVerseHighlightRecord& record, bool keepServerId, bool report, bool keepTimestamp)
{
    record.deleted = 1;
    if (!keepServerId)
        record.serverid = 0;
    return writeHighlight(record, report, keepTimestamp);
}

bool cVerseHighlightStg::deleteHighlightsWithColor(std::int32_t backColor, bool report, const cDBTimestamp* timestamp)
{
    HighlightLock lock;
    cSQLValues values;
    values.emplace_back(cDBRecord::timestampTextOf(timestamp));
    const char* colourClause = "";
    if (backColor >= 0) {
        colourClause = "AND backcolor = ?";
        values.emplace_back(backColor);
    }
    const bool ok = exec(
        sqlOf({"UPDATE VerseHighlights SET deleted = 1, serverid = 0, timestamp = ? WHERE deleted = 0 ", colourClause}),
        values, nullptr, report);
    afterHighlightUnlock([] {
        clearColorSearchCache();
        requestSyncBibleHighlights(1);
    });
    return ok;
}

std::int64_t cVerseHighlightStg::countHighlights(std::int32_t deletedFilter, const cLIntArray* colours)
{
    cSQLValues values;
    cLString8 clause;
    const char* where = "";
    const char* filter = "";
    if (deletedFilter == 0 || deletedFilter == 1) {
        where = deletedFilter == 0 ? "WHERE Deleted = 0 " : "WHERE Deleted = 1 ";
        filter = colourFilter(colours, clause, values);
    }
    return selectNumber(sqlOf({"SELECT COUNT(*) FROM VerseHighlights ", where, filter}).chars(), values, 0);
}

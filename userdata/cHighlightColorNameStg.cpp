#include "userdata/cHighlightColorNameStg.h"

#include "userdata/UserDataHooks.h"

namespace {

// No column count check and no upgrade step: the table has had these columns from the start.
const cSQLiteDbBase::TableSchema kTable = {"HighlightColorNames", 0,
    "CREATE TABLE HighlightColorNames ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,serverid INTEGER "
    "DEFAULT 0,deleted INTEGER DEFAULT 0,colornum INTEGER,name TEXT )",
    nullptr,
    "CREATE INDEX HighlightColorNameDeletedIdx ON HighlightColorNames (deleted, colornum);CREATE INDEX "
    "HighlightColorNameServerIDIdx ON HighlightColorNames (serverid, deleted, colornum)"};

constexpr const char* kColumns = "SELECT recid, timestamp, serverid, deleted, colornum, name FROM HighlightColorNames ";

}  // namespace

bool cHighlightColorNameStg::create()
{
    if (!isOpen()) {
        int rc = 0;
        const cLString16 path = databasePath();
        if (!open(path, &rc)) {
            reportOpenFailure(path, rc);
            return false;
        }
    }
    // Probe and creation in one step under the statement lock: two threads opening the store at once
    // must not both find the table missing (the second CREATE would fail and lose its write).
    if (checkTable(kTable, true))
        return true;
    close();
    return false;
}

std::int64_t cHighlightColorNameStg::highestServerId()
{
    if (!create())
        return 0;
    return selectNumber("SELECT serverid FROM HighlightColorNames ORDER BY serverid DESC LIMIT 1 ");
}

bool cHighlightColorNameStg::readOne(const char* sql, const cSQLValues& values, cHighlightColorNameRecord& record)
{
    cSQLRow row;
    if (!create() || !selectFirstRow(sql, values, 6, row))
        return false;
    record.clear();
    readSyncColumns(row, record, 0, 1, 2, 3);
    record.colornum = static_cast<std::uint16_t>(row[4].toInt32());
    record.name.assignFromUTF8(row[5]);
    return true;
}

bool cHighlightColorNameStg::firstUnsyncedColorName(cHighlightColorNameRecord& record)
{
    return readOne(sqlOf({kColumns, "WHERE serverid = 0 ORDER BY recid LIMIT 1 "}).chars(), {}, record);
}

bool cHighlightColorNameStg::findColorName(
    std::uint16_t colornum, bool includeDeleted, cHighlightColorNameRecord& record)
{
    const bool found =
        readOne(sqlOf({kColumns, "WHERE ", includeDeleted ? "" : "deleted = 0 AND ", "colornum = ?"}).chars(),
            {colornum}, record);
    if (found)
        requestSyncHighlightColorNames(0);
    return found;
}

bool cHighlightColorNameStg::findColorName(
    std::uint16_t colornum, bool includeDeleted, std::unique_ptr<cHighlightColorNameRecord>& record)
{
    return intoNewOrGiven(
        record, [&](cHighlightColorNameRecord& r) { return findColorName(colornum, includeDeleted, r); });
}

bool cHighlightColorNameStg::readColorNameByRecid(std::int64_t recid, cHighlightColorNameRecord& record)
{
    const bool found = readOne(sqlOf({kColumns, "WHERE recid = ?"}).chars(), {recid}, record);
    if (found)
        requestSyncHighlightColorNames(0);
    return found;
}

bool cHighlightColorNameStg::readColorNameByRecid(
    std::int64_t recid, std::unique_ptr<cHighlightColorNameRecord>& record)
{
    return intoNewOrGiven(record, [&](cHighlightColorNameRecord& r) { return readColorNameByRecid(recid, r); });
}

bool cHighlightColorNameStg::writeRow(cHighlightColorNameRecord& record, bool report, bool keepTimestamp)
{
    if (record.recid == 0) {
        // One row per colour: an older row, live or tombstone, goes for good.
        if (!exec("DELETE FROM HighlightColorNames WHERE colornum = ?", {record.colornum}, nullptr, report))
            return false;
    }
    if (!keepTimestamp)
        record.stampNow();
    const cLString8 ts = record.timestampText();
    const cLString8 name(record.name);
    if (record.recid != 0) {
        return exec(
            "UPDATE HighlightColorNames SET timestamp = ?, serverid = ?, deleted = ?, name = ?  WHERE recid = ?",
            {ts, record.serverid, record.deleted, name, record.recid}, nullptr, report);
    }
    std::int64_t rowid = 0;
    if (!exec(
            "INSERT INTO HighlightColorNames ( timestamp, serverid, deleted, colornum, name ) VALUES ( ?, ?, ?, ?, ? )",
            {ts, record.serverid, record.deleted, record.colornum, name}, nullptr, report, nullptr, &rowid))
        return false;
    record.recid = rowid;
    return true;
}

bool cHighlightColorNameStg::writeColorName(cHighlightColorNameRecord& record, bool report, bool keepTimestamp)
{
    if (!create())
        return false;
    const std::int64_t recidBefore = record.recid;
    const bool ok = runInTransaction([&] { return writeRow(record, report, keepTimestamp); }, report);
    if (!ok)
        record.recid = recidBefore;
    requestSyncHighlightColorNames(1);
    return ok;
}

bool cHighlightColorNameStg::addColorName(
    cHighlightColorNameRecord& record, bool keepServerId, bool report, bool keepTimestamp)
{
    if (!create() || record.recid != 0 || record.deleted != 0)
        return false;
    if (!keepServerId)
        record.serverid = 0;
    return writeColorName(record, report, keepTimestamp);
}

bool cHighlightColorNameStg::updateColorName(cHighlightColorNameRecord& record, bool report, bool keepTimestamp)
{
    if (!create())
        return false;
    if (!requireStored(record, report))
        return false;
    return writeColorName(record, report, keepTimestamp);
}

bool cHighlightColorNameStg::markColorNameDeleted(
    cHighlightColorNameRecord& record, bool keepServerId, bool report, bool keepTimestamp)
{
    if (!create())
        return false;
    record.deleted = 1;
    if (!keepServerId)
        record.serverid = 0;
    return writeColorName(record, report, keepTimestamp);
}

bool cHighlightColorNameStg::deleteColorNameRow(const cHighlightColorNameRecord& record)
{
    if (!create() || record.recid == 0)
        return false;
    return exec("DELETE FROM HighlightColorNames WHERE recid = ?", {record.recid});
}

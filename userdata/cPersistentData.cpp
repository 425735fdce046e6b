#include "userdata/cPersistentData.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <utility>

namespace {

const cSQLiteDbBase::TableSchema kSyncHistory = {"SyncHistory", 4,
    "CREATE TABLE SyncHistory ( tablename TEXT,synctime TEXT,errorcode INTEGER DEFAULT 0,errormessage TEXT "
    "DEFAULT '' )",
    "ALTER TABLE SyncHistory ADD errorcode INTEGER NOT NULL DEFAULT 0;ALTER TABLE SyncHistory ADD errormessage "
    "TEXT NOT NULL DEFAULT ''",
    "DROP INDEX IF EXISTS SyncHistoryIdx;CREATE INDEX SyncHistoryTablenameIdx ON SyncHistory (tablename, "
    "synctime);CREATE INDEX SyncHistorySynctimeIdx ON SyncHistory (synctime, tablename)"};

constexpr const char* kNeverSynced = "1900-01-01 00:00:00.000";

constexpr const char* kHead[] = {
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">",
    "<html>",
    "<head>",
    "<meta http-equiv=\"Content-Type\" content=\"text/html;charset=utf-8\">",
    "<meta name=\"viewport\" content=\"width=100%,initial-scale=1.0, maximum-scale=1.0, minimum-scale=1.0, "
    "user-scalable=no\">",
    "<title>Sync History</title>",
    "</head><body id='body'>",
    "<h1>Cloud Sync Log</h1>",
};

constexpr const char* kErrorsOnly = "<p>Errors Only</p>";
constexpr const char* kExplanation =
    "<p><i>To save space, only synchronization sessions that result in changes to the local or cloud database "
    "are shown. If 'Sync my notes, highlights and bookmarks automatically' is on, the app will sync with the cloud "
    "database on the schedule you "
    "select even if those sessions are not shown here. Similarly, manual synchronization sessions are not shown "
    "if no data is exchanged.</i></p>";
constexpr const char* kTableHead =
    "<table border=1 cellpadding=2><tr><td valign=top><b>Date/Time</b></td><td><b>Data Type</b></td><td><b>"
    "Message</b></td></tr>";
constexpr const char* kReadFailed = "<tr><td colspan=3 align=center valign=top><i>Failed to read log</i></td></tr>";
constexpr const char* kNoneFound = "<tr><td colspan=3 align=center valign=top><i>None found</i></td></tr>";
constexpr const char* kTail = "</table></body></html>";

// Table names and messages come from the server and the network; the page is shown in a web view.
void appendEscaped(std::string& out, const cLString8& text)
{
    for (std::int32_t i = 0; i < text.length(); ++i) {
        const char c = text.chars()[i];
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
}

// What a reader calls the data of each table the history names. A name outside the table is shown
// as it stands; a row of no table (a run that failed before its first type) is the whole sync's.
const char* dataTypeName(const cLString8& table)
{
    static const std::pair<const char*, const char*> kNames[] = {
        {"BibleBookmarks", "Bible bookmarks"},
        {"BibleHighlights", "Bible highlights"},
        {"BibleNotes", "Bible notes"},
        {"BookBookmarks", "Book bookmarks"},
        {"BookNotes", "Book and journal notes"},
        {"DevotionalProgress", "Devotional reading progress"},
        {"DevotionalStartDate", "Devotional start dates"},
        {"HighlightColorNames", "Highlight color names"},
        {"ProgramSettings", "Settings"},
        {"", "All data"},
    };
    for (const auto& [name, words] : kNames) {
        if (table.equalsCStr(name))
            return words;
    }
    return nullptr;
}

// A stored time (UTC) as the reader's clock showed it: MM/DD/YYYY hh:mm:ss in the local time zone.
bool appendLocalTime(std::string& out, const cDateTimeValue& utc)
{
    std::tm fields {};
    fields.tm_year = utc.year - 1900;
    fields.tm_mon = utc.month - 1;
    fields.tm_mday = utc.day;
    fields.tm_hour = utc.hour;
    fields.tm_min = utc.minute;
    fields.tm_sec = utc.second;
    const std::time_t when = timegm(&fields);
    std::tm local {};
    char text[48];
    if (when == static_cast<std::time_t>(-1) || localtime_r(&when, &local) == nullptr ||
        std::strftime(text, sizeof text, "%m/%d/%Y %H:%M:%S", &local) == 0)
        return false;
    out += text;
    return true;
}

}  // namespace

cPersistentData::~cPersistentData()
{
    m_ready.store(false);
    close();
}

bool cPersistentData::openOrCreate(const cLString16& path)
{
    if (isOpen())
        return true;
    if (!checkTables(path.isEmpty() ? databasePath() : path, {kSyncHistory}, true))
        return false;
    m_ready.store(true);
    return true;
}

bool cPersistentData::lastSyncTime(const char* tablename, cDateTimeValue& timeOut)
{
    cSQLRows rows;
    const bool found = openOrCreate() &&
        exec("SELECT synctime FROM SyncHistory WHERE errorcode = 0 AND tablename = ? ORDER BY synctime DESC LIMIT 1 ",
            {tablename ? tablename : ""}, &rows) &&
        !rows.empty() && !rows[0].empty();
    timeOut = cDateTimeValue {};
    if (found && timeOut.parse(rows[0][0]))
        return true;
    timeOut.parse(kNeverSynced);
    return false;
}

bool cPersistentData::recordSyncTime(
    const char* tablename, const cDateTimeValue& syncTime, std::int32_t errorCode, const char* errorMessage)
{
    if (!openOrCreate())
        return false;
    cLString8 time;
    syncTime.formatColonSeparated(time);
    const char* name = tablename ? tablename : "";
    if (!exec("INSERT INTO SyncHistory (tablename, synctime, errorcode, errormessage) VALUES (?, ?, ?, ?) ",
            {name, time, errorCode, errorMessage ? errorMessage : ""}))
        return false;
    cDateTimeValue cutoff = syncTime;
    cutoff.addMilliseconds(-kHistoryMilliseconds);
    cLString8 cutoffText;
    cutoff.formatColonSeparated(cutoffText);
    exec("DELETE FROM SyncHistory WHERE tablename = ? AND synctime < ? ", {name, cutoffText});
    return true;
}

bool cPersistentData::writeSyncLogHtml(const char* path, const char* tablename, bool errorsOnly, bool newestFirst)
{
    cLString8 query("SELECT synctime, tablename, errorcode, errormessage FROM SyncHistory ");
    cSQLValues values;
    if (tablename || errorsOnly)
        query.appendCStr("WHERE ");
    if (tablename) {
        query.appendCStr("tablename = ? ");
        values.emplace_back(tablename);
    }
    if (errorsOnly)
        query.appendCStr(tablename ? "AND errorcode <> 0 " : "errorcode <> 0 ");
    query.appendCStr("ORDER BY synctime ");
    if (newestFirst)
        query.appendCStr("DESC ");
    cSQLRows rows;
    const bool read = openOrCreate() && exec(query, values, &rows);

    std::string page;
    for (const char* line : kHead) {
        page += line;
        page += '\n';
    }
    page += errorsOnly ? kErrorsOnly : kExplanation;
    page += kTableHead;
    for (const cSQLRow& row : rows) {
        if (row.size() < 4)
            continue;
        page += "<tr><td valign=top>";
        cDateTimeValue when;
        if (!when.parse(row[0]) || !appendLocalTime(page, when))
            appendEscaped(page, row[0]);
        page += "</td><td valign=top>";
        if (const char* words = dataTypeName(row[1]))
            page += words;
        else
            appendEscaped(page, row[1]);
        page += "</td><td valign=top>";
        // A row without a message says what it records: a sync that went through, or an error
        // that came without words (its code then).
        if (!row[3].isEmpty())
            appendEscaped(page, row[3]);
        else if (row[2].isEmpty() || row[2].equalsCStr("0"))
            page += "Synced";
        else {
            page += "Error ";
            appendEscaped(page, row[2]);
        }
        page += "</td></tr>";
    }
    if (!read) {
        page += kReadFailed;
    } else if (rows.empty()) {
        page += kNoneFound;
    }
    page += kTail;

    std::FILE* file = path ? std::fopen(path, "wb") : nullptr;
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(page.data(), 1, page.size(), file) == page.size();
    return std::fclose(file) == 0 && written;
}

bool cPersistentData::clearSyncHistory()
{
    return deleteAllRows("SyncHistory");
}

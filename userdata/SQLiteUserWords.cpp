// What the user-data connection says: the error reports and their texts, the notice that another
// program holds the database, and why this thread's last statement failed (SQLiteFailure.h).
#include "engine/foundation/cMsgBox.h"
#include "userdata/SQLiteConnectionState.h"

#include <cstring>

#include "userdata/SQLiteFailure.h"

namespace {

constexpr const char* kNoInformation = "Additional information is not available.";

const char* const kMessages[] = {
    "INTERNAL PROGRAM ERROR: an illegal parameter or condition has been detected.",
    kNoInformation,
    "SQL error or missing database.",
    kNoInformation,
    "Access permission denied",
    kNoInformation,
    "The database file is locked.",
    "A table in the database is locked.",
    "Out of memory.",
    "Attempt to write a readonly database.",
    kNoInformation,
    "Disk I/O error.",
    "The database disk image is malformed.",
    kNoInformation,
    "The database is full.",
    "Unable to open the database file.",
    "Database lock protocol error.",
    "Database is empty.",
    "The database schema changed.",
    kNoInformation,
    "Abort due to contraint violation.",
    "Data type mismatch.",
    "INTERNAL PROGRAM ERROR: Library used incorrectly.",
    "Uses OS features not supported on host.",
    "Authorization denied.",
    "Auxiliary database format error.",
    "2nd parameter to sqlite3_bind out of range.",
    "File opened that is not a database file.",
};
static_assert(sizeof(kMessages) / sizeof(kMessages[0]) == 28, "codes -1 to 26");

}  // namespace

using namespace qs_sqlite;

int SQLiteFailure::lastOnThisThread()
{
    return t_lastFailure;
}

void SQLiteFailure::clear()
{
    t_lastFailure = 0;
    t_diskFullSinceClear = false;
}

unsigned long long SQLiteFailure::failuresOnThisThread()
{
    return t_failures;
}

bool SQLiteFailure::diskFullSinceClear()
{
    return t_diskFullSinceClear;
}

bool SQLiteFailure::lastWasDiskFull()
{
    return t_lastFailure == SQLITE_FULL;
}

bool SQLiteFailure::lastWasAnotherProgram()
{
    return t_lastFailure == SQLITE_BUSY || t_lastFailure == SQLITE_LOCKED || t_movedFile;
}

const char* cSQLiteDbBase::messageForCode(int code)
{
    if (code < -1 || code > 26)
        return kNoInformation;
    return kMessages[code + 1];
}

cLString16 cSQLiteDbBase::composeErrorReport(int code)
{
    Connection& c = connection();
    std::lock_guard<cSQLiteStatementLock> guard(c.statementLock);
    if (code == 0 && c.handle)
        code = sqlite3_errcode(c.handle);
    if (code == 0)
        return cLString16();
    cLString8 text("Error ");
    text.formatInt32(code, 10, true);
    text.appendCStr(" accessing database \"");
    text.append(cLString8(c.path));
    text.appendCStr("\"\r\n\r\n");
    text.appendCStr(messageForCode(code));
    const char* sqliteMessage = c.handle ? sqlite3_errmsg(c.handle) : nullptr;
    if (sqliteMessage && std::strcmp(sqliteMessage, "not an error") != 0) {
        text.appendCStr("\r\n\r\n");
        text.appendCStr(sqliteMessage);
    }
    return cLString16(text);
}

void cSQLiteDbBase::reportError(int code)
{
    if (code == 0 && connectionHandle() != nullptr)
        code = sqlite3_errcode(connectionHandle());
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED) {
        // Not the user's disk or file: another program has the database for the moment. A caller that
        // tells the user itself (a note being typed) takes these words as its reason; otherwise they
        // are said once until a write goes through again.
        cLString8 text("Quillstead could not read or save your notes, highlights and bookmarks just now, because "
                       "another program holds the database \"");
        text.append(cLString8(connection().path));
        text.appendCStr("\". Quillstead does not wait for it: a note being typed is kept and saved once the database "
                        "is free, and pages show your notes and highlights again then. A highlight, bookmark or "
                        "other change made meanwhile may need to be made again.");
        cMsgBox box;
        if (cDatabaseErrorCapture::isActive())
            box.showDatabaseError(cLString16(text));
        else if (!g_busySaid.exchange(true))
            box.showDatabaseNotice(cLString16("Another program is using your notes database."), cLString16(text));
        return;
    }
    const cLString16 text = composeErrorReport(code);
    if (text.isEmpty())
        return;
    cMsgBox box;
    box.showDatabaseError(text);
}

void cSQLiteDbBase::reportOpenFailure(const cLString16& path, int code)
{
    if (path.isEmpty())
        return;
    const cLString8 utf8(path);
    const std::string problem = linkProblem(std::string(utf8.chars(), static_cast<std::size_t>(utf8.length())));
    if (problem.empty() || connectionHandle() != nullptr) {
        reportError(code);
        return;
    }
    cLString8 text("Error ");
    text.formatInt32(code, 10, true);
    text.appendCStr(" accessing database \"");
    text.append(utf8);
    text.appendCStr("\"\r\n\r\n");
    text.appendCStr(problem.c_str());
    cMsgBox box;
    box.showDatabaseError(cLString16(text));
}

// The file at the database's path: a link in its place that leads nowhere is refused, and a file
// moved, replaced or deleted under the connection is opened again at the path.
#include "engine/foundation/cMsgBox.h"
#include "userdata/SQLiteConnectionState.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "userdata/NoteText.h"

namespace qs_sqlite {
namespace {

// SQLite writes every database file, and those its header marks as such start with these 16 bytes.
constexpr char kSQLiteHeader[] = "SQLite format 3";  // with its terminating zero: 16 bytes

// The target a symbolic link names, as written in it; a relative one is made absolute beside the
// link.
std::string linkTarget(const std::string& path)
{
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0)
        return std::string();
    target.resize(static_cast<std::size_t>(n));
    if (target[0] != '/') {
        const std::size_t slash = path.rfind('/');
        if (slash != std::string::npos)
            target = path.substr(0, slash + 1) + target;
    }
    return target;
}

// Whether the regular file at `path` (followed through links) can be the database: empty (SQLite
// makes a database of an empty file) or starting with the SQLite header. Empty text when it can,
// else what it is.
std::string whyNotADatabase(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return std::string("which cannot be read (") + std::strerror(errno) + ")";
    char header[sizeof kSQLiteHeader] = {};
    const std::size_t n = std::fread(header, 1, sizeof header, f);
    std::fclose(f);
    if (n == 0 || (n == sizeof header && std::memcmp(header, kSQLiteHeader, sizeof header) == 0))
        return std::string();
    return "which is not an SQLite database";
}

// The database may lie outside the profile: a symbolic link in its place that names a database
// (on another disk, in a synced folder) is the user's own choice, opened and written where it
// points, as SQLite does (the journal goes beside the file it names). A link whose target is
// missing, a loop, a folder or anything that is no database is refused and left as it is, with
// what it names: the notes may be on a disk not mounted yet, and a new database in the link's
// place would hide them. Links in the places of the journal and write-ahead files beside a database
// of the profile's own (SQLite never makes any) are removed. A FIFO, device or folder in the
// database's place is not opened (opening a FIFO would wait for ever). Answers SQLITE_OK, or the

}  // namespace

// The database may lie outside the profile: a symbolic link in its place that names a database
// (on another disk, in a synced folder) is the user's own choice, opened and written where it
// points, as SQLite does (the journal goes beside the file it names). A link whose target is
// missing, a loop, a folder or anything that is no database is refused and left as it is, with
// what it names: the notes may be on a disk not mounted yet, and a new database in the link's
// place would hide them. Links in the places of the journal and write-ahead files beside a database
// of the profile's own (SQLite never makes any) are removed. A FIFO, device or folder in the
// database's place is not opened (opening a FIFO would wait for ever). Answers SQLITE_OK, or the
// code the open fails with.
int claimDatabasePath(const std::string& path)
{
    struct stat info { };
    if (::lstat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) {
        for (const char* suffix : {"-journal", "-wal", "-shm"}) {
            const std::string beside = path + suffix;
            struct stat other { };
            if (::lstat(beside.c_str(), &other) == 0 && S_ISLNK(other.st_mode))
                ::unlink(beside.c_str());
        }
        return SQLITE_OK;  // a file of the profile's own, or none yet: SQLite makes it
    }
    if (!S_ISLNK(info.st_mode))
        return SQLITE_CANTOPEN;
    return cSQLiteDbBase::linkProblem(path).empty() ? SQLITE_OK : SQLITE_CANTOPEN;
}

}  // namespace qs_sqlite

using namespace qs_sqlite;

std::string cSQLiteDbBase::linkProblem(const std::string& path)
{
    struct stat info { };
    if (path.empty() || ::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return std::string();
    const std::string target = linkTarget(path);
    std::string what;
    struct stat named { };
    if (::stat(path.c_str(), &named) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            what = "which does not exist (on a disk that is not connected, or moved or deleted)";
        else if (error == ELOOP)
            what = "which leads round a loop of links to no file";
        else
            what = std::string("which cannot be reached (") + std::strerror(error) + ")";
    } else if (S_ISDIR(named.st_mode)) {
        what = "which is a folder, not a database file";
    } else if (!S_ISREG(named.st_mode)) {
        what = "which is not a regular file";
    } else {
        what = whyNotADatabase(path);
        if (what.empty())
            return std::string();
    }
    return "\"" + path + "\" is a link to \"" + target + "\", " + what +
        ". Quillstead has changed neither the link nor what it names. Connect the disk that holds the database or "
        "correct the link; to start with a new, empty database instead, move the link out of its folder. Then "
        "start Quillstead again.";
}

bool cSQLiteDbBase::reopenMovedFile()
{
    Connection& c = connection();
    std::lock_guard<cSQLiteStatementLock> guard(c.statementLock);
    static thread_local bool reopening = false;
    if (!c.moved || reopening || c.handle == nullptr || t_transactionDepth > 0 || c.path.isEmpty() ||
        sqlite3_get_autocommit(c.handle) == 0)
        return false;
    c.moved = false;
    const cLString8 utf8(c.path);
    const std::string path(utf8.chars(), static_cast<std::size_t>(utf8.length()));
    struct stat info { };
    const bool fileThere = ::stat(path.c_str(), &info) == 0;
    sqlite3* fresh = nullptr;
    int rc = claimDatabasePath(path);
    if (rc == SQLITE_OK)
        rc = sqlite3_open(path.c_str(), &fresh);
    if (rc != SQLITE_OK) {
        sqlite3_close(fresh);
        return false;  // the old handle stays: its statements say why they fail
    }
    sqlite3_busy_handler(fresh, &waitForLock, nullptr);
    NoteText::registerSqlFunction(fresh);
    sqlite3_finalize(c.dataVersion);
    c.dataVersion = nullptr;
    sqlite3_close_v2(c.handle);
    c.handle = fresh;
    ++c.openings;
    c.dataVersionRead = false;
    // A file made anew has none of the tables: the stores' tables are made again. The failure that
    // led here stays this thread's last.
    reopening = true;
    const int lastFailure = t_lastFailure;
    const bool movedFile = t_movedFile;
    const std::vector<TableSchema> schemas = c.schemas;
    for (const TableSchema& table : schemas)
        checkTable(table, false);
    t_lastFailure = lastFailure;
    t_movedFile = movedFile;
    reopening = false;
    const std::string words = fileThere ? "The file \"" + path +
            "\" was replaced by another file while Quillstead was running (another program or a sync service "
            "wrote it). Quillstead now reads and saves the file in its place: the notes, highlights and bookmarks "
            "shown are the ones it holds."
                                        : "The file \"" + path +
            "\" was moved or deleted while Quillstead was running. Quillstead has made a new, empty one in its "
            "place and saves there from now on. If the file was moved by mistake, quit Quillstead, put it back "
            "and start Quillstead again.";
    cMsgBox box;
    box.showDatabaseNotice(
        cLString16(fileThere ? "Your notes database was replaced while Quillstead was running."
                             : "Your notes database was moved or deleted while Quillstead was running."),
        cLString16(cLString8(words.c_str())));
    return true;
}

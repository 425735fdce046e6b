#include "userdata/cBookmarkStg.h"

#include "engine/foundation/cLIntArray.h"
#include "engine/references/cBibleRef.h"
#include "userdata/UserDataHooks.h"

namespace {

const cSQLiteDbBase::TableSchema kBibleTable = {"BibleBookmarks", 8,
    "CREATE TABLE BibleBookmarks ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,book INTEGER,"
    "chapter INTEGER,verse INTEGER,catid INTEGER,serverid INTEGER DEFAULT 0,deleted INTEGER DEFAULT 0 )",
    "ALTER TABLE BibleBookmarks ADD serverid INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE BibleBookmarks ADD deleted INTEGER NOT NULL DEFAULT 0",
    "DROP INDEX IF EXISTS BibleBookmarkIndex;"
    "CREATE INDEX BibleBookmarkDeletedIndex ON BibleBookmarks (deleted, book, chapter, verse, catid);"
    "CREATE INDEX BibleBookmarkServerIdIndex ON BibleBookmarks (serverid, deleted, book, chapter, verse, catid)"};

const cSQLiteDbBase::TableSchema kBookTable = {"BookBookmarks", 9,
    "CREATE TABLE BookBookmarks ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,pubid INTEGER,"
    "bookid INTEGER,edition INTEGER,section INTEGER,catid INTEGER,serverid INTEGER DEFAULT 0,"
    "deleted INTEGER DEFAULT 0 )",
    "ALTER TABLE BookBookmarks ADD serverid INTEGER DEFAULT 0;ALTER TABLE BookBookmarks ADD deleted INTEGER DEFAULT 0",
    "DROP INDEX IF EXISTS BookBookmarkIndex; "
    "CREATE INDEX BookBookmarkDeletedIndex ON BookBookmarks (deleted, pubid, bookid, edition, section, catid);"
    "CREATE INDEX BookBookmarkServerIdIndex ON BookBookmarks (serverid, deleted, pubid, bookid, edition, section, "
    "catid)"};

constexpr const char* kBibleColumns = "SELECT timestamp, recid, catid, serverid, deleted, book, chapter, verse ";
constexpr const char* kBookColumns =
    "SELECT timestamp, recid, catid, serverid, deleted, pubid, bookid, edition, section ";

bool isKnownKind(std::uint32_t kind)
{
    return kind == cBookmark::kBibleVerse || kind == cBookmark::kBookSection;
}

void requestSyncOf(std::uint32_t kind, std::uint8_t now)
{
    if (kind == cBookmark::kBibleVerse) {
        requestSyncBibleBookmarks(now);
    } else {
        requestSyncBookBookmarks(now);
    }
}

// The location columns of a row, from column `first` on.
void readLocation(cBookmark& record, const cSQLRow& row, std::size_t first)
{
    if (record.kind == cBookmark::kBibleVerse) {
        if (row.size() < first + 3)
            return;
        record.book = static_cast<std::uint32_t>(row[first].toInt32());
        record.chapter = static_cast<std::uint32_t>(row[first + 1].toInt32());
        record.verse = static_cast<std::uint32_t>(row[first + 2].toInt32());
    } else {
        if (row.size() < first + 4)
            return;
        record.pubid = static_cast<std::uint16_t>(row[first].toInt32());
        record.bookid = static_cast<std::uint16_t>(row[first + 1].toInt32());
        record.edition = static_cast<std::uint8_t>(row[first + 2].toInt32());
        record.section = row[first + 3].toInt32();
    }
}

// A row of "timestamp, recid, catid, serverid, deleted, <location>".
cBookmark bookmarkFromRow(std::uint32_t kind, const cSQLRow& row)
{
    cBookmark record;
    record.kind = kind;
    if (row.size() < 5)
        return record;
    cSQLiteDbBase::readSyncColumns(row, record, 1, 0, 3, 4);
    record.catid = static_cast<std::uint16_t>(row[2].toInt32());
    readLocation(record, row, 5);
    return record;
}

// "deleted = 0 AND " (no filter or filter 0), "deleted = 1 AND " (filter 1), or nothing.
const char* deletedFilterPrefix(const cBookmarkSearch& search)
{
    const std::int32_t filter = search.hasDeletedFilter ? search.deletedFilter : 0;
    if (filter == 0)
        return "deleted = 0 AND ";
    if (filter == 1)
        return "deleted = 1 AND ";
    return "";
}

const char* deletedFilterSuffix(const cBookmarkSearch& search)
{
    const std::int32_t filter = search.hasDeletedFilter ? search.deletedFilter : 0;
    if (filter == 0)
        return " AND deleted = 0";
    if (filter == 1)
        return " AND deleted = 1";
    return "";
}

cLIntArray categoryList(std::initializer_list<std::int32_t> ids)
{
    cLIntArray list;
    list.setCapacity(static_cast<std::int32_t>(ids.size()));
    for (std::int32_t id : ids)
        list.add(id);
    return list;
}

void invalidateCategoryCacheFor(const cBookmark& record)
{
    const cLIntArray categories = categoryList({record.catid});
    if (record.kind == cBookmark::kBibleVerse) {
        const cBibleRef reference(record.packedKey());
        invalidateCategorySearchCache(&reference, 0, 0, 0, 0, categories);
    } else {
        invalidateCategorySearchCache(nullptr, record.section, record.pubid, record.bookid, record.edition, categories);
    }
}

}  // namespace

cBookmarkStg::~cBookmarkStg()
{
    cBookmarkStg::close();
}

bool cBookmarkStg::openExisting(const cLString16& path, bool report)
{
    m_ready = probeTables(path, {kBibleTable.name, kBookTable.name}, report);
    return m_ready;
}

bool cBookmarkStg::openOrCreate(const cLString16& path, bool report)
{
    m_ready = checkTables(path, {kBibleTable, kBookTable}, report);
    return m_ready;
}

void cBookmarkStg::close()
{
    m_ready = false;
    cSQLiteDbBase::close();
}

std::int64_t cBookmarkStg::highestBibleBookmarkServerId()
{
    return selectNumber("SELECT serverid FROM BibleBookmarks ORDER BY serverid DESC LIMIT 1 ");
}

std::int64_t cBookmarkStg::highestBookBookmarkServerId()
{
    return selectNumber("SELECT serverid FROM BookBookmarks ORDER BY serverid DESC LIMIT 1 ");
}

bool cBookmarkStg::deleteBookmarkRow(const cBookmark& record)
{
    if (record.kind == cBookmark::kBibleVerse)
        return exec("DELETE FROM BibleBookmarks WHERE recid = ?", {record.recid});
    if (record.kind == cBookmark::kBookSection)
        return exec("DELETE FROM BookBookmarks WHERE recid = ?", {record.recid});
    return false;
}

bool cBookmarkStg::readRows(std::uint32_t kind, const char* sql, const cSQLValues& values, std::vector<cBookmark>& out)
{
    cSQLRows rows;
    if (!exec(sql, values, &rows))
        return false;
    for (const cSQLRow& row : rows)
        out.push_back(bookmarkFromRow(kind, row));
    return true;
}

bool cBookmarkStg::firstUnsyncedBibleBookmark(cBookmark& record)
{
    std::vector<cBookmark> found;
    cLString8 sql(kBibleColumns);
    sql.appendCStr("FROM BibleBookmarks WHERE serverid = 0 ORDER BY recid LIMIT 1 ");
    if (!readRows(cBookmark::kBibleVerse, sql.chars(), {}, found) || found.empty())
        return false;
    record = found[0];
    return true;
}

bool cBookmarkStg::firstUnsyncedBookBookmark(cBookmark& record)
{
    std::vector<cBookmark> found;
    cLString8 sql(kBookColumns);
    sql.appendCStr("FROM BookBookmarks WHERE serverid = 0 ORDER BY recid LIMIT 1 ");
    if (!readRows(cBookmark::kBookSection, sql.chars(), {}, found) || found.empty())
        return false;
    record = found[0];
    return true;
}

bool cBookmarkStg::readBookmarkRow(std::int64_t recid, cBookmark& record, std::uint32_t kind)
{
    record.clear();
    const char* sql;
    if (kind == cBookmark::kBibleVerse) {
        sql = "SELECT timestamp, catid, deleted, serverid, book, chapter, verse FROM BibleBookmarks WHERE recid = ?";
    } else if (kind == cBookmark::kBookSection) {
        sql = "SELECT timestamp, catid, deleted, serverid, pubid, bookid, edition, section FROM BookBookmarks "
              "WHERE recid = ?";
    } else {
        return false;
    }
    cSQLRow row;
    if (!selectFirstRow(sql, {recid}, 4, row))
        return false;
    record.kind = kind;
    record.recid = recid;
    record.parseTimestamp(row[0].chars());
    record.catid = static_cast<std::uint16_t>(row[1].toInt32());
    record.deleted = row[2].toInt32();
    record.serverid = row[3].toInt64();
    readLocation(record, row, 4);
    return true;
}

bool cBookmarkStg::findFirst(cBookmarkSearch& search, cBookmark& record)
{
    const bool bible = search.state == cBookmarkSearch::kBibleSearch;
    cLString8 sql;
    cSQLValues values;
    if (bible) {
        if (search.hasVerse) {
            sql.assignCStr("SELECT recid FROM BibleBookmarks WHERE book = ? AND chapter = ? AND verse = ?");
            values.emplace_back(search.book);
            values.emplace_back(search.chapter);
            values.emplace_back(search.verse);
        } else {
            sql.assignCStr("SELECT recid FROM BibleBookmarks WHERE book > 0");
        }
    } else {
        if (search.hasBook) {
            sql.assignCStr("SELECT recid FROM BookBookmarks WHERE pubid = ? AND bookid = ?");
            values.emplace_back(search.pubid);
            values.emplace_back(search.bookid);
        } else {
            sql.assignCStr("SELECT recid FROM BookBookmarks WHERE pubid > 0");
        }
        if (search.hasSection) {
            sql.appendCStr(" AND section = ?");
            values.emplace_back(search.section);
        }
    }
    if (search.hasCatid) {
        sql.appendCStr(" AND catid = ?");
        values.emplace_back(search.catid);
    }
    sql.appendCStr(deletedFilterSuffix(search));
    sql.appendCStr(bible ? " ORDER BY book, chapter, verse, catid, recid LIMIT 1"
                         : " ORDER BY pubid, bookid, section, catid, recid LIMIT 1");
    search.recid = 0;
    cSQLRows rows;
    if (!exec(sql, values, &rows) || rows.empty() || rows[0].empty())
        return false;
    search.recid = rows[0][0].toInt64();
    const std::uint32_t kind = bible ? cBookmark::kBibleVerse : cBookmark::kBookSection;
    if (!readBookmarkRow(search.recid, record, kind))
        return false;
    requestSyncOf(kind, 0);
    return true;
}

bool cBookmarkStg::findFirstBibleBookmark(cBookmarkSearch& search, cBookmark& record)
{
    search.state = cBookmarkSearch::kBibleSearch;
    return findFirst(search, record);
}

bool cBookmarkStg::findFirstBookBookmark(cBookmarkSearch& search, cBookmark& record)
{
    search.state = cBookmarkSearch::kBookSearch;
    return findFirst(search, record);
}

bool cBookmarkStg::findFirstBibleBookmark(cBookmarkSearch& search, std::unique_ptr<cBookmark>& record)
{
    return intoNewOrGiven(record, [&](cBookmark& r) { return findFirstBibleBookmark(search, r); });
}

bool cBookmarkStg::findFirstBookBookmark(cBookmarkSearch& search, std::unique_ptr<cBookmark>& record)
{
    return intoNewOrGiven(record, [&](cBookmark& r) { return findFirstBookBookmark(search, r); });
}

bool cBookmarkStg::findNextBookmark(cBookmarkSearch& search, std::unique_ptr<cBookmark>& record)
{
    return intoNewOrGiven(record, [&](cBookmark& r) { return findNextBookmark(search, r); });
}

bool cBookmarkStg::nextBookmarkInOrder(cBookmarkSearch& search)
{
    const bool bible = search.state == cBookmarkSearch::kBibleSearch;
    if (!bible && search.state != cBookmarkSearch::kBookSearch)
        return false;
    const std::int64_t current = search.recid;
    search.recid = 0;
    cSQLRows rows;
    if (!exec(bible ? "SELECT book, chapter, verse, catid FROM BibleBookmarks WHERE recid = ?"
                    : "SELECT pubid, bookid, section, catid FROM BookBookmarks WHERE recid = ?",
            {current}, &rows) ||
        rows.empty() || rows[0].size() < 4)
        return false;
    const std::int64_t a = rows[0][0].toInt64();
    const std::int64_t b = rows[0][1].toInt64();
    const std::int64_t c = rows[0][2].toInt64();
    const std::int64_t k = rows[0][3].toInt64();
    // Keyset paging in the table's order; recid breaks ties between rows of one location and category.
    cLString8 sql(bible ? "SELECT recid FROM BibleBookmarks WHERE " : "SELECT recid FROM BookBookmarks WHERE ");
    sql.appendCStr(deletedFilterPrefix(search));
    if (bible) {
        sql.appendCStr(
            "(( book = ? AND chapter = ? AND verse = ? AND catid = ? AND recid > ? ) OR "
            "( book = ? AND chapter = ? AND verse = ? AND catid > ? ) OR ( book = ? AND chapter = ? AND verse > ? ) OR "
            "( book = ? AND chapter > ? ) OR ( book > ? )) ORDER BY book, chapter, verse, catid, recid LIMIT 1");
    } else {
        sql.appendCStr("(( pubid = ? AND bookid = ? AND section = ? AND catid = ? AND recid > ? ) OR "
                       "( pubid = ? AND bookid = ? AND section = ? AND catid > ? ) OR "
                       "( pubid = ? AND bookid = ? AND section > ? ) OR ( pubid = ? AND bookid > ? ) OR ( pubid > ? )) "
                       "ORDER BY pubid, bookid, section, catid, recid LIMIT 1");
    }
    rows.clear();
    if (!exec(sql, {a, b, c, k, current, a, b, c, k, a, b, c, a, b, a}, &rows) || rows.empty() || rows[0].empty())
        return false;
    search.recid = rows[0][0].toInt64();
    return true;
}

bool cBookmarkStg::findNextBookmark(cBookmarkSearch& search, cBookmark& record)
{
    const bool bible = search.state == cBookmarkSearch::kBibleSearch;
    if (!bible && search.state != cBookmarkSearch::kBookSearch)
        return false;
    const std::uint32_t kind = bible ? cBookmark::kBibleVerse : cBookmark::kBookSection;
    cBookmark row;
    // Each step moves strictly forward through a finite table, so the walk ends.
    while (nextBookmarkInOrder(search)) {
        if (!readBookmarkRow(search.recid, row, kind))
            return false;
        if (bible) {
            if (search.hasVerse &&
                (row.book != search.book || row.chapter != search.chapter || row.verse != search.verse))
                return false;
        } else {
            if (search.hasBook && (row.pubid != search.pubid || row.bookid != search.bookid))
                return false;
            if (search.hasSection && row.section != search.section)
                return false;
        }
        if (search.hasCatid && row.catid != search.catid)
            continue;
        record = row;
        return true;
    }
    return false;
}

bool cBookmarkStg::findBookmarkLike(const cBookmarkSearch& search, cBookmark& record)
{
    cLString8 sql;
    cSQLValues values;
    std::uint32_t kind;
    if (search.hasVerse) {
        kind = cBookmark::kBibleVerse;
        sql.assignCStr(kBibleColumns);
        sql.appendCStr("FROM BibleBookmarks WHERE ");
        sql.appendCStr(deletedFilterPrefix(search));
        sql.appendCStr("book = ? AND chapter = ? AND verse = ? AND catid = ?");
        values = {search.book, search.chapter, search.verse, search.catid};
    } else if (search.hasSection) {
        kind = cBookmark::kBookSection;
        sql.assignCStr(kBookColumns);
        sql.appendCStr("FROM BookBookmarks WHERE ");
        sql.appendCStr(deletedFilterPrefix(search));
        sql.appendCStr("pubid = ? AND bookid = ? AND section = ? AND catid = ?");
        values = {search.pubid, search.bookid, search.section, search.catid};
    } else {
        return false;
    }
    requestSyncOf(kind, 0);
    std::vector<cBookmark> found;
    if (!readRows(kind, sql.chars(), values, found) || found.empty())
        return false;
    record = found[0];
    return true;
}

bool cBookmarkStg::findSameBookmark(const cBookmark& like, cBookmark& record)
{
    cBookmarkSearch search;
    search.hasCatid = true;
    search.catid = like.catid;
    if (like.kind == cBookmark::kBibleVerse) {
        search.state = cBookmarkSearch::kBibleSearch;
        search.hasVerse = true;
        search.book = static_cast<std::uint8_t>(like.book);
        search.chapter = static_cast<std::uint8_t>(like.chapter);
        search.verse = static_cast<std::uint8_t>(like.verse);
    } else if (like.kind == cBookmark::kBookSection) {
        search.state = cBookmarkSearch::kBookSearch;
        search.hasBook = true;
        search.pubid = like.pubid;
        search.bookid = like.bookid;
        search.hasSection = true;
        search.section = like.section;
    } else {
        return false;
    }
    return findBookmarkLike(search, record);
}

bool cBookmarkStg::addBookmark(cBookmark& record, bool keepServerId, bool report, bool keepTimestamp)
{
    if (record.recid != 0 || record.deleted != 0)
        return false;
    if (!keepServerId)
        record.serverid = 0;
    return writeBookmark(record, report, keepTimestamp);
}

bool cBookmarkStg::updateBookmark(cBookmark& record, bool report, bool keepTimestamp)
{
    if (!requireStored(record, report))
        return false;
    return writeBookmark(record, report, keepTimestamp);
}

bool cBookmarkStg::markBookmarkDeleted(cBookmark& record, bool keepServerId, bool report, bool keepTimestamp)
{
    record.deleted = 1;
    if (!keepServerId)
        record.serverid = 0;
    return writeBookmark(record, report, keepTimestamp);
}

bool cBookmarkStg::writeRow(cBookmark& record, bool report, bool keepTimestamp)
{
    const bool bible = record.kind == cBookmark::kBibleVerse;
    if (record.recid == 0) {
        // At most one live bookmark per location and category: the older one goes for good.
        cSQLRows rows;
        const bool found = bible
            ? exec("SELECT recid FROM BibleBookmarks WHERE deleted = 0 AND book = ? AND chapter = ? AND "
                   "verse = ? AND catid = ?",
                  {record.book, record.chapter, record.verse, record.catid}, &rows, report)
            : exec("SELECT recid FROM BookBookmarks WHERE deleted = 0 AND pubid = ? AND bookid = ? AND "
                   "section = ? AND catid = ?",
                  {record.pubid, record.bookid, record.section, record.catid}, &rows, report);
        if (!found)
            return false;
        for (const cSQLRow& row : rows) {
            cBookmark old;
            old.kind = record.kind;
            old.recid = row.empty() ? 0 : row[0].toInt64();
            if (!deleteBookmarkRow(old))
                return false;
        }
    }
    if (!keepTimestamp)
        record.stampNow();
    const cLString8 ts = record.timestampText();
    bool ok;
    if (record.recid == 0) {
        std::int64_t rowid = 0;
        ok = bible ? exec("INSERT INTO BibleBookmarks ( timestamp, book, chapter, verse, catid, serverid, deleted ) "
                          "VALUES ( ?, ?, ?, ?, ?, ?, ? )",
                         {ts, record.book, record.chapter, record.verse, record.catid, record.serverid, record.deleted},
                         nullptr, report, nullptr, &rowid)
                   : exec("INSERT INTO BookBookmarks ( timestamp, pubid, bookid, edition, section, catid, serverid, "
                          "deleted ) VALUES ( ?, ?, ?, ?, ?, ?, ?, ? )",
                         {ts, record.pubid, record.bookid, record.edition, record.section, record.catid,
                             record.serverid, record.deleted},
                         nullptr, report, nullptr, &rowid);
        if (ok)
            record.recid = rowid;
    } else {
        ok = exec(bible ? "UPDATE BibleBookmarks SET timestamp = ?, serverid = ?, deleted = ? WHERE recid = ?"
                        : "UPDATE BookBookmarks SET timestamp = ?, serverid = ?, deleted = ? WHERE recid = ?",
            {ts, record.serverid, record.deleted, record.recid}, nullptr, report);
    }
    if (!ok)
        return false;
    const bool noLocation = bible ? (record.book == 0 && record.chapter == 0 && record.verse == 0)
                                  : (record.pubid == 0 && record.bookid == 0);
    if (noLocation) {
        cBookmark stored;
        if (readBookmarkRow(record.recid, stored, record.kind))
            record = stored;
    }
    return true;
}

bool cBookmarkStg::writeBookmark(cBookmark& record, bool report, bool keepTimestamp)
{
    if (!isKnownKind(record.kind))
        return false;
    const std::int64_t recidBefore = record.recid;
    const bool ok = runInTransaction([&] { return writeRow(record, report, keepTimestamp); }, report);
    if (!ok)
        record.recid = recidBefore;  // a rolled-back insert leaves no row behind
    invalidateCategoryCacheFor(record);
    requestSyncOf(record.kind, 1);
    return ok;
}

bool cBookmarkStg::copyCategoryBookmarks(
    std::uint16_t fromCatid, std::uint16_t toCatid, bool report, bool keepTimestamps)
{
    const cLString8 ts = cDBRecord::timestampTextOf(nullptr);
    // A location that already has a live bookmark in the target category keeps it alone.
    const cLString8 bibleSql(
        cLString8("INSERT INTO BibleBookmarks (timestamp, catid, serverid, deleted, book, chapter, "
                  "verse) SELECT "),
        cLString8(keepTimestamps ? "timestamp," : "?,"));
    const cLString8 bookSql(cLString8("INSERT INTO BookBookmarks (timestamp, catid, serverid, deleted, pubid, bookid, "
                                      "edition, section) SELECT "),
        cLString8(keepTimestamps ? "timestamp," : "?,"));
    cSQLValues values;
    if (!keepTimestamps)
        values.emplace_back(ts);
    values.emplace_back(toCatid);
    values.emplace_back(fromCatid);
    values.emplace_back(toCatid);
    const bool ok = runInTransaction(
        [&] {
            return exec(cLString8(bibleSql,
                            "?, 0, 0, book, chapter, verse FROM BibleBookmarks AS s WHERE deleted = 0 "
                            "AND catid = ? AND NOT EXISTS (SELECT 1 FROM BibleBookmarks AS t WHERE "
                            "t.deleted = 0 AND t.catid = ? AND t.book = s.book AND t.chapter = "
                            "s.chapter AND t.verse = s.verse)"),
                       values, nullptr, report) &&
                exec(cLString8(bookSql,
                         "?, 0, 0, pubid, bookid, edition, section FROM BookBookmarks AS s WHERE "
                         "deleted = 0 AND catid = ? AND NOT EXISTS (SELECT 1 FROM BookBookmarks AS "
                         "t WHERE t.deleted = 0 AND t.catid = ? AND t.pubid = s.pubid AND t.bookid "
                         "= s.bookid AND t.section = s.section)"),
                    values, nullptr, report);
        },
        report);
    const cLIntArray categories = categoryList({fromCatid, toCatid});
    invalidateCategorySearchCache(nullptr, -1, 0, 0, 0, categories);
    requestSyncBibleBookmarks(1);
    requestSyncBookBookmarks(1);
    return ok;
}

bool cBookmarkStg::deleteBookmarksInCategory(std::int32_t catid, bool report, const cDBTimestamp* timestamp)
{
    cSQLValues values;
    values.emplace_back(cDBRecord::timestampTextOf(timestamp));
    const char* categoryClause = "";
    if (catid >= 0) {
        categoryClause = "AND catid = ?";
        values.emplace_back(catid);
    }
    const bool ok = runInTransaction(
        [&] {
            return exec(sqlOf({"UPDATE BibleBookmarks SET deleted = 1, serverid = 0, timestamp = ? WHERE deleted = 0 ",
                            categoryClause}),
                       values, nullptr, report) &&
                exec(sqlOf({"UPDATE BookBookmarks SET deleted = 1, serverid = 0, timestamp = ? WHERE deleted = 0 ",
                         categoryClause}),
                    values, nullptr, report);
        },
        report);
    const cLIntArray categories = categoryList({catid});
    invalidateCategorySearchCache(nullptr, -1, 0, 0, 0, categories);
    requestSyncBibleBookmarks(1);
    requestSyncBookBookmarks(1);
    return ok;
}

namespace {

void addCondition(cLString8& sql, bool& first, const char* condition)
{
    sql.appendCStr(first ? "WHERE " : "AND ");
    sql.appendCStr(condition);
    first = false;
}

}  // namespace

std::int64_t cBookmarkStg::countBibleBookmarks(std::int32_t deleted, std::uint16_t catid)
{
    cLString8 sql("SELECT COUNT(*) FROM BibleBookmarks ");
    cSQLValues values;
    bool first = true;
    if (deleted != -1)
        addCondition(sql, first, deleted == 0 ? "deleted = 0 " : "deleted = 1 ");
    if (catid < 65535) {
        addCondition(sql, first, "catid = ? ");
        values.emplace_back(catid);
    }
    return selectNumber(sql.chars(), values);
}

std::int64_t cBookmarkStg::countBookBookmarks(
    std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t deleted, std::uint16_t catid)
{
    cLString8 sql("SELECT COUNT(*) FROM BookBookmarks ");
    cSQLValues values;
    bool first = true;
    if (pubid != 0) {
        addCondition(sql, first, "pubid = ? ");
        values.emplace_back(pubid);
    }
    if (bookid != 0) {
        addCondition(sql, first, "bookid = ? ");
        values.emplace_back(bookid);
    }
    if (edition != 0) {
        addCondition(sql, first, "edition = ? ");
        values.emplace_back(edition);
    }
    if (deleted != -1) {
        addCondition(sql, first, "deleted = ? ");
        values.emplace_back(deleted);
    }
    if (catid < 65535) {
        addCondition(sql, first, "catid = ? ");
        values.emplace_back(catid);
    }
    return selectNumber(sql.chars(), values);
}

#include "userdata/cCategoryStg.h"

namespace {

const cSQLiteDbBase::TableSchema kCategoriesTable = {"Categories", 5,
    "CREATE TABLE Categories ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,catid INTEGER UNIQUE,"
    "category TEXT,deleted INTEGER DEFAULT 0 )",
    "ALTER TABLE Categories ADD deleted INTEGER NOT NULL DEFAULT 0",
    "CREATE INDEX CategoriesDeletedIndex ON Categories (deleted, catid);"
    "CREATE INDEX CategoriesCategoryIndex ON Categories (deleted, category COLLATE NOCASE ASC)"};

constexpr const char* kColumns = "SELECT recid, timestamp, catid, category, deleted FROM Categories ";

}  // namespace

cCategoryStg::~cCategoryStg()
{
    cCategoryStg::close();
}

bool cCategoryStg::openOrCreate(const cLString16& path, bool report)
{
    m_ready = checkTables(path, {kCategoriesTable}, report);
    return m_ready;
}

void cCategoryStg::close()
{
    m_ready = false;
    cSQLiteDbBase::close();
}

bool cCategoryStg::readOne(const char* sql, const cSQLValues& values, cCategory& record, bool report)
{
    cSQLRow row;
    if (!selectFirstRow(sql, values, 5, row, report))
        return false;
    record.recid = row[0].toInt64();
    record.timestamp = cDBTimestamp {};
    record.parseTimestamp(row[1].chars());
    record.catid = static_cast<std::uint16_t>(row[2].toInt32());
    record.name.assignFromUTF8(row[3]);
    record.deleted = row[4].toInt32();
    return true;
}

bool cCategoryStg::findCategoryByName(const cLString16& name, cCategory& record)
{
    return readOne(
        sqlOf({kColumns, "WHERE deleted = 0 AND category = ? COLLATE NOCASE"}).chars(), {cLString8(name)}, record);
}

bool cCategoryStg::findCategoryByName(const cLString16& name, std::unique_ptr<cCategory>& record)
{
    return intoNewOrGiven(record, [&](cCategory& r) { return findCategoryByName(name, r); });
}

bool cCategoryStg::findCategoryById(std::uint16_t catid, cCategory& record)
{
    return readOne(sqlOf({kColumns, "WHERE catid = ?"}).chars(), {catid}, record);
}

bool cCategoryStg::findCategoryById(std::uint16_t catid, std::unique_ptr<cCategory>& record)
{
    return intoNewOrGiven(record, [&](cCategory& r) { return findCategoryById(catid, r); });
}

bool cCategoryStg::categoryAtOffset(std::int32_t offset, cCategory& record, std::int32_t order, bool includeDeleted)
{
    const char* orderClause;
    switch (order) {
    case kByCatid:
        orderClause = "ORDER BY catid LIMIT 1 OFFSET ?";
        break;
    // recid orders names that differ only in case, so that paging by offset is stable.
    case kByName:
        orderClause = "ORDER BY category COLLATE NOCASE, recid LIMIT 1 OFFSET ?";
        break;
    case kByRecid:
        orderClause = "ORDER BY recid LIMIT 1 OFFSET ?";
        break;
    default:
        return false;  // no order: the statement would not parse
    }
    return readOne(
        sqlOf({kColumns, includeDeleted ? "" : "WHERE deleted = 0 ", orderClause}).chars(), {offset}, record);
}

bool cCategoryStg::categoryAtOffset(
    std::int32_t offset, std::unique_ptr<cCategory>& record, std::int32_t order, bool includeDeleted)
{
    return intoNewOrGiven(record, [&](cCategory& r) { return categoryAtOffset(offset, r, order, includeDeleted); });
}

bool cCategoryStg::nextCategory(cCategory& record, std::int32_t order, bool includeDeleted)
{
    const char* filter = includeDeleted ? "" : "deleted = 0 AND ";
    switch (order) {
    case kByCatid:
        return readOne(
            sqlOf({kColumns, "WHERE ", filter, "catid > ? ORDER BY catid LIMIT 1"}).chars(), {record.catid}, record);
    case kByName: {
        // Compared the way the rows are ordered (case-insensitively, then by recid), so that no row
        // is skipped or repeated.
        const cLString8 name(record.name);
        return readOne(sqlOf({kColumns, "WHERE ", filter,
                                 "(category > ? COLLATE NOCASE OR (category = ? COLLATE NOCASE AND recid > ?)) "
                                 "ORDER BY category COLLATE NOCASE, recid LIMIT 1"})
                           .chars(),
            {name, name, record.recid}, record);
    }
    case kByRecid:
        return readOne(
            sqlOf({kColumns, "WHERE ", filter, "recid > ? ORDER BY recid LIMIT 1"}).chars(), {record.recid}, record);
    default:
        return false;
    }
}

std::uint16_t cCategoryStg::countCategories()
{
    const std::int64_t count = selectNumber("SELECT COUNT(*) FROM Categories WHERE deleted = 0", {}, 0);
    return static_cast<std::uint16_t>(count > 0xFFFF ? 0xFFFF : count);
}

bool cCategoryStg::addCategoryRow(cCategory& record, bool report, bool keepTimestamp)
{
    if (findCategoryByName(record.name, record))
        return true;
    if (!keepTimestamp)
        record.stampNow();
    const cLString8 ts = record.timestampText();
    const cLString8 name(record.name);
    // A deleted category of the name comes back (one row, with its id) under the name as typed now.
    if (!exec("UPDATE Categories SET deleted = 0, timestamp = ?, category = ? WHERE recid = (SELECT recid FROM "
              "Categories WHERE deleted != 0 AND category = ? COLLATE NOCASE ORDER BY recid DESC LIMIT 1)",
            {ts, name, name}, nullptr, report))
        return false;
    if (findCategoryByName(record.name, record))
        return true;
    // The next id is computed inside the statement; deleted categories count when taking the highest.
    if (!exec("INSERT INTO Categories (timestamp, catid, category, deleted) SELECT ?,CASE WHEN EXISTS (SELECT catid "
              "FROM Categories LIMIT 1) THEN 1 + (SELECT catid FROM Categories ORDER BY catid DESC LIMIT 1) ELSE 1 "
              "END AS catid,?,? WHERE NOT EXISTS (SELECT * FROM Categories WHERE category = ? COLLATE NOCASE)",
            {ts, name, record.deleted, name}, nullptr, report))
        return false;
    return readOne(sqlOf({kColumns, "WHERE category = ? COLLATE NOCASE "}).chars(), {name}, record, report);
}

bool cCategoryStg::addCategory(cCategory& record, bool report, bool keepTimestamp)
{
    if (record.recid != 0 || record.deleted != 0)
        return false;
    const cCategory before = record;
    if (runInTransaction([&] { return addCategoryRow(record, report, keepTimestamp); }, report))
        return true;
    record = before;
    return false;
}

bool cCategoryStg::writeCategory(cCategory& record, bool report, bool keepTimestamp)
{
    if (!keepTimestamp)
        record.stampNow();
    const cLString8 ts = record.timestampText();
    return writeRecord(
        record, "UPDATE Categories SET timestamp = ?, deleted = ? WHERE recid = ?", {ts, record.deleted, record.recid},
        [&] {
            cCategory old;
            return !findCategoryById(record.catid, old) || deleteCategoryRow(old.recid);
        },
        "INSERT INTO Categories ( timestamp, catid, category, deleted ) VALUES ( ? , ? , ?, ?)",
        {ts, record.catid, cLString8(record.name), record.deleted}, report, report);
}

bool cCategoryStg::markCategoryDeleted(cCategory& record, bool report, bool keepTimestamp)
{
    if (record.recid == 0 && !findCategoryById(record.catid, record) && !addCategory(record, report, keepTimestamp))
        return false;
    record.deleted = 1;
    return writeCategory(record, report, keepTimestamp);
}

bool cCategoryStg::deleteAllCategories(bool report, bool keepTimestamp)
{
    if (keepTimestamp)
        return exec("UPDATE Categories SET deleted = 1 WHERE deleted = 0 ", {}, nullptr, report);
    return exec("UPDATE Categories SET deleted = 1 , timestamp = ? WHERE deleted = 0 ",
        {cDBRecord::timestampTextOf(nullptr)}, nullptr, report);
}

bool cCategoryStg::renameCategory(cCategory* record, bool report)
{
    if (record == nullptr || record->recid == 0)
        return false;
    // A rename is a local change like any other, so it takes a new timestamp.
    record->stampNow();
    return exec("UPDATE Categories SET category = ?, timestamp = ? WHERE recid = ?",
        {cLString8(record->name), record->timestampText(), record->recid}, nullptr, report);
}

bool cCategoryStg::deleteCategoryRow(std::int64_t recid)
{
    return exec("DELETE FROM Categories WHERE recid = ?", {recid});
}

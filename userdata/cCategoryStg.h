// cCategoryStg: the store of the table Categories (bookmark categories). Callers make one on the
// stack for an operation and open it with openDatabase.
//
// Names are compared without regard to letter case wherever a category is looked up by name. A
// deleted category stays as a row (deleted 1); adding a category of the same name revives it with its
// old catid. Category writes request no sync and touch no search cache: the bookmark rows carry
// their category's name to the server.
//
// A store object belongs to one thread at a time; several may be used on different threads at once.
// Every operation except openDatabase needs the store open.
#pragma once

#include <cstdint>
#include <memory>

#include "userdata/cCategory.h"
#include "userdata/cSQLiteDbBase.h"

class cCategoryStg : public cSQLiteDbBase {
public:
    // Orders of categoryAtOffset and nextCategory.
    enum : std::int32_t { kByCatid = 0, kByName = 1, kByRecid = 2 };

    cCategoryStg() = default;
    ~cCategoryStg() override;

    bool isOpen() const override { return m_ready && cSQLiteDbBase::isOpen(); }
    // Opens the share and creates or upgrades the table.
    virtual bool openOrCreate(const cLString16& path, bool report);
    virtual void close();
    bool openDatabase(bool report) { return openOrCreate(databasePath(), report); }

    // The live category of that name (case-insensitive). The unique_ptr forms make a new record when
    // the pointer is empty.
    bool findCategoryByName(const cLString16& name, cCategory& record);
    bool findCategoryByName(const cLString16& name, std::unique_ptr<cCategory>& record);
    // The category with that id, live or deleted.
    bool findCategoryById(std::uint16_t catid, cCategory& record);
    bool findCategoryById(std::uint16_t catid, std::unique_ptr<cCategory>& record);
    // The row at `offset` in the order (live rows only unless includeDeleted); false past the end.
    bool categoryAtOffset(std::int32_t offset, cCategory& record, std::int32_t order, bool includeDeleted);
    bool categoryAtOffset(
        std::int32_t offset, std::unique_ptr<cCategory>& record, std::int32_t order, bool includeDeleted);
    bool firstCategory(cCategory& record, std::int32_t order, bool includeDeleted)
    {
        return categoryAtOffset(0, record, order, includeDeleted);
    }
    // The row after `record` in the order, read into `record`.
    bool nextCategory(cCategory& record, std::int32_t order, bool includeDeleted);
    // The number of live categories; 0 on failure.
    std::uint16_t countCategories();

    // Adds a category by name (the record carries the name; recid and deleted must be 0). An existing
    // live category of that name, or a revived deleted one, is read into the record instead.
    bool addCategory(cCategory& record, bool report, bool keepTimestamp);
    // Writes the record: updates timestamp and deleted of a stored row, or inserts a new row with its
    // catid (replacing any row of that catid).
    bool writeCategory(cCategory& record, bool report, bool keepTimestamp);
    // Soft delete; a record without recid is found by catid first (and added when it has no row).
    bool markCategoryDeleted(cCategory& record, bool report, bool keepTimestamp);
    // Soft-deletes every live category (with one new timestamp unless kept).
    bool deleteAllCategories(bool report, bool keepTimestamp);
    // Gives the stored row `record.recid` the record's name and a new timestamp.
    bool renameCategory(cCategory* record, bool report);
    // Removes the row for good.
    bool deleteCategoryRow(std::int64_t recid);

private:
    bool readOne(const char* sql, const cSQLValues& values, cCategory& record, bool report = false);
    bool addCategoryRow(cCategory& record, bool report, bool keepTimestamp);

    bool m_ready = false;
};

// cHighlightColorNameStg: the store of HighlightColorNames, the user's names for highlight colours,
// one live row per colour value, synchronised with the cloud.
//
// Every operation opens the store's share (at the default path) and creates the table when it is
// missing; the share is kept until the store is destroyed. A new name replaces any older row of its
// colour (live or tombstone). Local changes stamp the row with the current UTC time and leave serverid
// 0; every write (also a failed one) requests a colour-name sync with now = 1, and readers that find
// a row request it with now = 0.
//
// A store object belongs to one thread at a time; several may be used on different threads at once.
#pragma once

#include <cstdint>
#include <memory>

#include "userdata/cHighlightColorNameRecord.h"
#include "userdata/cSQLiteDbBase.h"

class cHighlightColorNameStg : public cSQLiteDbBase {
public:
    cHighlightColorNameStg() = default;
    ~cHighlightColorNameStg() override = default;

    // Opens the share when needed and makes sure the table exists. A failed open or probe is
    // reported whatever the callers asked.
    bool create();
    // The highest server id: -1 when the table is empty, 0 on failure.
    virtual std::int64_t highestServerId();

    // The first row, by recid, not yet acknowledged by the server.
    bool firstUnsyncedColorName(cHighlightColorNameRecord& record);
    // The row of a colour (live only unless includeDeleted). The unique_ptr forms make a new record
    // when the pointer is empty.
    bool findColorName(std::uint16_t colornum, bool includeDeleted, cHighlightColorNameRecord& record);
    bool findColorName(std::uint16_t colornum, bool includeDeleted, std::unique_ptr<cHighlightColorNameRecord>& record);
    bool readColorNameByRecid(std::int64_t recid, cHighlightColorNameRecord& record);
    bool readColorNameByRecid(std::int64_t recid, std::unique_ptr<cHighlightColorNameRecord>& record);

    // Inserts (recid 0, replacing any row of the colour) or updates timestamp, sync fields and name.
    bool writeColorName(cHighlightColorNameRecord& record, bool report, bool keepTimestamp);
    // Inserts a record without recid that is not deleted (serverid 0 unless kept).
    bool addColorName(cHighlightColorNameRecord& record, bool keepServerId, bool report, bool keepTimestamp);
    // Rewrites a stored record with its serverid (reports code -1 for one without recid, when asked).
    bool updateColorName(cHighlightColorNameRecord& record, bool report, bool keepTimestamp);
    // Soft delete: deleted 1 (serverid 0 unless kept), then written.
    bool markColorNameDeleted(cHighlightColorNameRecord& record, bool keepServerId, bool report, bool keepTimestamp);
    // Removes the row for good.
    bool deleteColorNameRow(const cHighlightColorNameRecord& record);

private:
    bool readOne(const char* sql, const cSQLValues& values, cHighlightColorNameRecord& record);
    bool writeRow(cHighlightColorNameRecord& record, bool report, bool keepTimestamp);
};

// cDBRecord: the base of every user-data row object. It carries the four columns every synchronised
// table has (recid, serverid, deleted, timestamp) and the text form of the timestamp.
//
// Timestamp text: "YYYY:MM:DD:HH:MM:SS:mmm:WW" in UTC (year, month, day, hour, minute, second,
// milliseconds, weekday), zero-padded, so two texts compare in time order as plain strings; the
// stores and the sync engine rely on that ("timestamp <= '<text>'").
//
// A record is a plain value owned by one thread at a time.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>

#include "engine/foundation/cLStringTmpl.h"

struct cDBTimestamp {
    std::uint16_t second = 0;
    std::uint16_t minute = 0;
    std::uint16_t hour = 0;
    std::uint16_t day = 0;
    std::uint16_t month = 0;
    std::uint16_t year = 0;
    std::uint16_t weekday = 0;  // 0 Sunday to 6
    std::uint16_t milliseconds = 0;

    bool operator==(const cDBTimestamp&) const = default;
};

class cDBRecord {
public:
    cDBRecord() = default;
    virtual ~cDBRecord() = default;

    // Equal recid, serverid, deleted and timestamp (subclasses add their own fields).
    virtual bool isEqual(const cDBRecord& other) const;
    // Every field back to 0 (subclasses clear their own fields too).
    virtual void clear();

    void copyBaseFrom(const cDBRecord& other);
    void setTimestamp(const cDBTimestamp& parts) { timestamp = parts; }
    // The current UTC time to the second; milliseconds 0; a leap second is stored as 59.
    void stampNow();
    // The same from a given time (stampNow's clock, for tests).
    void stampAt(std::time_t when);
    // Empties out and writes the timestamp text.
    void timestampText(cLString8& out) const;
    cLString8 timestampText() const;
    // Exactly seven ":" or false with the record unchanged; the eight fields are read in radix 10
    // without range checks.
    bool parseTimestamp(const char* text);
    // Readies a local change for writing: unless `keepServerId` the server id goes (and is answered;
    // 0 otherwise), unless `keepTimestamp` the record is stamped now.
    std::int64_t prepareLocalWrite(bool keepServerId, bool keepTimestamp);
    // The text of `given`, or of the current time when null.
    static cLString8 timestampTextOf(const cDBTimestamp* given);

    std::int64_t recid = 0;     // INTEGER PRIMARY KEY; 0 = not stored yet
    std::int64_t serverid = 0;  // the server's id; 0 = changed locally, not acknowledged
    std::int32_t deleted = 0;   // 1 = tombstone until the server has it
    cDBTimestamp timestamp;
};

// Runs `find` on a fresh record and, when it finds one, copies it into `out` (made when null).
template <typename Record, typename Find> bool intoNewOrGiven(std::unique_ptr<Record>& out, Find find)
{
    Record found;
    if (!find(found))
        return false;
    if (out) {
        *out = found;
    } else {
        out = std::make_unique<Record>(found);
    }
    return true;
}

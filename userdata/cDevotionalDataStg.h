// cDevotionalDataStg: devotional start dates and reading progress.
//
// Per dated book (publisher id, book id) the table DevDataInfo keeps the start date and the number
// of readings, and DevDataProgress one row per reading marked as read; both are synchronised. The
// dated document embeds one store, tells it which book it serves (setBook) and uses the
// current-book operations; the sync engine makes its own stores and uses the record operations.
//
// Every operation opens the store on demand (openOrCreate with create set), and it stays open until
// destroyed. The first open that may create converts the legacy table DevotionalData, if present,
// in one transaction; a failed conversion leaves every table as it was and is tried again at the
// next open.
//
// Start dates are stored as text, in the colon form "YYYY:MM:DD:HH:MM:SS:mmm:WW" or, when written by
// the record writer, "YYYY-MM-DD hh:mm:ss.mmm"; readers accept both.
//
// Any thread may use a store; writes of several statements run as one transaction.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "engine/foundation/cDateTimeValue.h"
#include "userdata/cDBRecord.h"
#include "userdata/cSQLiteDbBase.h"

class cReadingProgress;

class cDevotionalStartDate : public cDBRecord {
public:
    cDevotionalStartDate() { clear(); }
    void clear() override
    {
        cDBRecord::clear();
        pubid = 0;
        bookid = 0;
        startDate = cDateTimeValue {};
        numReadings = 0;
    }

    std::uint16_t pubid = 0;
    std::uint16_t bookid = 0;
    cDateTimeValue startDate;
    std::uint32_t numReadings = 0;
};

class cDevotionalProgress : public cDBRecord {
public:
    cDevotionalProgress() { clear(); }
    void clear() override
    {
        cDBRecord::clear();
        pubid = 0;
        bookid = 0;
        readingNum = 0;
    }

    std::uint16_t pubid = 0;
    std::uint16_t bookid = 0;
    std::uint32_t readingNum = 0;
};

class cDevotionalDataStg : public cSQLiteDbBase {
public:
    cDevotionalDataStg() = default;
    ~cDevotionalDataStg() override;

    bool isOpen() const override { return m_ready.load() && cSQLiteDbBase::isOpen(); }

    // The current book of the current-book operations.
    void setBook(std::uint16_t pubid, std::uint16_t bookid);
    void setBookFrom(const cDevotionalDataStg& other);
    std::uint16_t pubid() const { return m_pubid; }
    std::uint16_t bookid() const { return m_bookid; }

    // Opens the share (at `path`, or databasePath when empty) and checks both tables; missing tables
    // are created only with `create`, which also converts the legacy table.
    bool openOrCreate(const cLString16& path, bool create);

    // The largest serverid of each table: -1 when empty, 0 on failure.
    virtual std::int64_t highestStartDateServerId();
    virtual std::int64_t highestProgressServerId();

    // --- The current book ---
    bool isReadingDone(std::uint32_t n);
    bool setReadingDone(std::uint32_t n, bool done, const cDateTimeValue* timestamp, bool report);
    std::uint32_t countReadingsDone();
    // Tombstones every live reading of the book.
    bool clearAllProgress();
    // 0 means none (or failure). None of them looks at the number of readings.
    std::uint32_t firstUnreadReading();
    std::uint32_t previousUnreadReading(std::uint32_t n);
    std::uint32_t nextUnreadReading(std::uint32_t n);

    // --- A named book; `timestamp` null means now ---
    bool readStartDate(std::uint16_t pubid, std::uint16_t bookid, cDateTimeValue& startDateOut,
        std::uint32_t& numReadingsOut, cDateTimeValue* timestampOut, bool report);
    bool writeStartDateAndCount(std::uint16_t pubid, std::uint16_t bookid, const cDateTimeValue& startDate,
        std::uint32_t numReadings, const cDateTimeValue* timestamp, bool report);
    bool writeStartDate(std::uint16_t pubid, std::uint16_t bookid, const cDateTimeValue& startDate,
        const cDateTimeValue* timestamp, bool report);
    bool writeReadingDone(std::uint16_t pubid, std::uint16_t bookid, std::uint32_t n, bool done,
        const cDateTimeValue* timestamp, bool report);

    // --- Records, for the sync engine ---
    bool firstUnsyncedStartDate(cDevotionalStartDate& record);
    bool findStartDateRecord(
        std::uint16_t pubid, std::uint16_t bookid, bool includeDeleted, cDevotionalStartDate& record);
    std::unique_ptr<cDevotionalStartDate> findStartDateRecord(
        std::uint16_t pubid, std::uint16_t bookid, bool includeDeleted);
    bool findProgressRecord(
        std::uint16_t pubid, std::uint16_t bookid, std::uint32_t n, bool includeDeleted, cDevotionalProgress& record);
    std::unique_ptr<cDevotionalProgress> findProgressRecord(
        std::uint16_t pubid, std::uint16_t bookid, std::uint32_t n, bool includeDeleted);
    bool readStartDateRecord(std::int64_t recid, cDevotionalStartDate& record);

    // Only for a record without recid that is not deleted; without keepServerId serverid becomes 0.
    bool addStartDateRecord(cDevotionalStartDate& record, bool keepServerId, bool report, bool keepTimestamp);
    bool addProgressRecord(cDevotionalProgress& record, bool keepServerId, bool report, bool keepTimestamp);
    // Refused (reported with code -1 when asked) without recid; the serverid is written as it is.
    bool updateProgressRecord(cDevotionalProgress& record, bool report, bool keepTimestamp);
    bool markStartDateRecordDeleted(cDevotionalStartDate& record, bool keepServerId, bool report, bool keepTimestamp);
    bool deleteStartDateRow(const cDevotionalStartDate& record);
    bool deleteProgressRow(const cDevotionalProgress& record);
    // A new record first replaces every row of its book (start date) or reading (progress).
    bool writeStartDateRecord(cDevotionalStartDate& record, bool report, bool keepTimestamp);
    bool writeProgressRecord(cDevotionalProgress& record, bool report, bool keepTimestamp);

private:
    bool ensureOpen();
    std::int64_t highest(const char* sql);
    bool startDateLookup(const char* where, const cSQLValues& values, cDevotionalStartDate& record);
    bool progressLookup(const char* where, const cSQLValues& values, cDevotionalProgress& record);
    bool liveStartDateRecid(std::uint16_t pubid, std::uint16_t bookid, std::int64_t& recid);
    std::uint32_t unreadQuery(const char* sql, const cSQLValues& values, std::uint32_t none);
    void convertLegacyTable();
    bool convertLegacyRows(const cSQLRows& rows, bool& dropFailed);
    bool readLegacyProgress(std::int32_t pubid, std::int32_t bookid, cReadingProgress& progress,
        std::int32_t& numReadings, cLString8& timestamp, bool report);

    std::atomic<bool> m_ready {false};
    std::uint16_t m_pubid = 0;
    std::uint16_t m_bookid = 0;
};

// cPersistentData: the sync history (table SyncHistory), one row per sync of a table with its time
// and error, kept for 31 days per table. The sync engine asks it for the last good sync time of a
// table and records each run; the preferences window writes the history as an HTML page.
//
// Made on the stack for each use; opens on first use and closes when destroyed. Any thread may use
// it.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/foundation/cDateTimeValue.h"
#include "userdata/cSQLiteDbBase.h"

class cPersistentData : public cSQLiteDbBase {
public:
    // How long a table's history is kept: 31 days, in milliseconds.
    static constexpr std::int64_t kHistoryMilliseconds = 2678400000;

    cPersistentData() = default;
    ~cPersistentData() override;

    bool isOpen() const override { return m_ready.load() && cSQLiteDbBase::isOpen(); }

    // Opens the share (at `path`, or databasePath when empty) and checks SyncHistory, creating or
    // upgrading it.
    bool openOrCreate(const cLString16& path = cLString16());

    // The last run of the table that ended without error. False (and 1 January 1900) when none.
    bool lastSyncTime(const char* tablename, cDateTimeValue& timeOut);
    // Records a run (null message = empty) and drops the table's rows older than 31 days before it.
    bool recordSyncTime(
        const char* tablename, const cDateTimeValue& syncTime, std::int32_t errorCode, const char* errorMessage);
    // Writes the history as an HTML page ("Cloud Sync Log") to the UTF-8 path: every table, or one
    // (tablename not null); errors only; newest first. Times are shown in the local time zone and the
    // synced tables by what a reader calls their data ("Bible notes"); other names and the messages are
    // HTML-escaped. False when the file cannot be written.
    bool writeSyncLogHtml(const char* path, const char* tablename, bool errorsOnly, bool newestFirst);
    bool clearSyncHistory();

private:
    std::atomic<bool> m_ready {false};
};

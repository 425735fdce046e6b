// SyncManager: the process-wide cloud-sync engine, the one object its callers use. It keeps the local
// user-data tables in step with the user's account on the sync server: a queue of record types waiting
// and their due times (SyncTriggers), one connection per run (SyncConnection) over which each type is
// exchanged (SyncExchange: log in once, then per type count or measure the clock, receive the server's
// new records, send the local unsynced ones, record the sync in the history), and a delegate (the
// application) that supplies the log-in values and hears about progress, errors and results.
//
// Nothing is lost on a failure: a record is applied by one statement, a row stays unsynced until
// the server acknowledges exactly the state that was sent, and a type that fails writes no history
// row, so it is due again. A row the server refuses (ADDED or DELETED ERROR, or an error line in
// answer to the upload) or that cannot be written as a line (a bookmark whose category is gone, a note
// whose line would pass the server's line limit, kSyncMaxLineBytes) stays unsynced and is passed over
// for the rest of the run: the rows after it and the types after it still go up, the first refusal of
// a run is reported (a row too large is named, and every later one goes to the sync log), and the
// refused row's type writes no history row, so the row goes up again next time.
//
// A received record is stored only when it was read whole: one with more fields than its type (a
// stray unit separator) is bad, and a record is applied only once the line after it reads as a line
// of the protocol (a stray record separator cuts a record's text and leaves the rest as a line of its
// own). A bad record, one longer than a line may be, or one for a place no Bible has is left out:
// nothing of it is stored, the run goes on, and the type says what it left out in one summary.
// Writes are batched: the records that arrive together are applied in one
// transaction (at most SyncExchange::kRecordsPerTransaction), committed before the next other line is handled;
// acknowledgements are stored kRecordsPerTransaction at a time, when the upload of a type ends and
// whenever a run ends. An acknowledgement lost with the process only sends its row again. Every
// other failure ends the run (the connection is closed and the engine is idle again) and is reported
// once; after a failed run automatic requests wait out a growing back-off, while a sync the user
// asks for (syncAll) starts at once and its failure is reported as one the user asked for.
//
// Threads: main thread. The request entry points may be called from any thread; they forward
// themselves to the main thread (installSyncEngine, SyncEntryPoints.h).
#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include "cloud/sync/SyncExchange.h"
#include "cloud/sync/SyncLocalData.h"
#include "cloud/sync/SyncManagerDelegate.h"
#include "cloud/sync/SyncTriggers.h"

namespace qs::cloud {

class SyncManager {
public:
    using Goal = SyncExchange::Goal;
    static constexpr Goal Idle = SyncExchange::Idle;
    static constexpr Goal Syncing = SyncExchange::Syncing;
    static constexpr Goal Disconnecting = SyncExchange::Disconnecting;

    SyncManager();
    ~SyncManager();

    // The program's engine, made on first use (main thread); the program hands it down.
    static SyncManager& instance();

    void setDelegate(SyncManagerDelegate* delegate) { m_exchange.setDelegate(delegate); }
    // The server; without one the delegate names it (serviceHost).
    void setServer(const QString& host, quint16 port) { m_exchange.setServer(host, port); }
    void setReplyTimeoutMs(int ms) { m_exchange.setReplyTimeoutMs(ms); }

    void setAutoSyncFreq(qint64 ms) { m_triggers.setAutoSyncFreq(ms); }

    // Requests. `now`: queue at once, else only when the type is due.
    void syncAll(bool userAsked);
    void syncRecordTypeRequest(qint64 noun, bool now, qint64 editingId = 0);
    // Queues one type (whatever the delegate's automatic-sync setting); conditionallyStartSync runs it.
    void syncRecordType(qint64 noun, bool now);
    void conditionallyStartSync(bool force = false) { m_exchange.conditionallyStartSync(force); }

    bool itsAllHappening() const { return m_exchange.goal() == Syncing; }
    int goal() const { return m_exchange.goal(); }
    bool hasConnection() const { return m_exchange.hasConnection(); }

    // The history name of each type ("BIBLEBOOKMARKS" -> "BibleBookmarks").
    static QHash<QString, QString> lastSyncTableNames();

    bool userHasSomeData();
    bool userHasUnsyncedData();
    bool removeAllUserSyncHistory();
    bool removeAllUserData();

    SyncLocalData& localData() { return m_exchange.localData(); }

private:
    SyncManagerDelegate* delegate() const { return m_exchange.delegate(); }

    SyncTriggers m_triggers;
    SyncExchange m_exchange {m_triggers};
};

}  // namespace qs::cloud

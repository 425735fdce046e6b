// SyncManager: the process-wide cloud-sync engine. It keeps the local user-data tables in step with
// the user's account on the sync server: a queue of record types waiting, one connection per run
// (log in once, then per type count or measure the clock, receive the server's new records, send
// the local unsynced ones, record the sync in the history), the progress figures and a delegate
// (the application) that supplies the log-in values and hears about progress, errors and results.
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
// own). A bad record ends the run, reported; nothing of it is stored. Writes are batched: the records that arrive together are applied in one
// transaction (at most kRecordsPerTransaction), committed before the next other line is handled;
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
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "cloud/protocol/SyncCommand.h"
#include "cloud/sync/SyncLocalData.h"
#include "cloud/sync/SyncManagerDelegate.h"

namespace qs::cloud {

class SyncConnection;

class SyncManager {
public:
    static constexpr qint64 kUnsetOffset = std::numeric_limits<qint64>::max();
    static constexpr qint64 kDefaultAutoSyncFreqMs = 3600000;
    static constexpr qint64 kMaxClockDifferenceMs = 60000;
    static constexpr qint64 kFirstBackoffMs = 5000;
    static constexpr qint64 kMaxBackoffMs = 15 * 60 * 1000;
    static constexpr int kRecordsPerTransaction = 256;
    // The user-data stores stamp a row's change to the whole second.
    static constexpr qint64 kRowStampResolutionMs = 1000;
    // The error code of the sync log rows the engine writes itself (the application's own are 1 too).
    static constexpr int kRefusedRowErrorCode = 1;

    enum Goal : int { Idle = 0, Syncing = 1, Disconnecting = 2 };

    SyncManager();
    ~SyncManager();

    // The process-wide engine, made on first use (main thread).
    static SyncManager& instance();
    // Ends the process-wide engine (tests: before changing the data folder).
    static void resetInstance();

    void setDelegate(SyncManagerDelegate* delegate) { m_delegate = delegate; }
    SyncManagerDelegate* delegate() const { return m_delegate; }
    // The server; without one the "serviceHost" setting names it.
    void setServer(const QString& host, quint16 port);
    void setDisabled(bool disabled) { m_disabled = disabled; }
    bool disabled() const { return m_disabled; }
    void setReplyTimeoutMs(int ms);

    qint64 autoSyncFreq() const { return m_autoSyncFreq; }
    void setAutoSyncFreq(qint64 ms);

    // Requests. `now`: queue at once, else only when the type is due.
    void syncAll(bool userAsked);
    void syncRecordTypeRequest(qint64 noun, bool now, qint64 editingId = 0);
    void syncRecordType(qint64 noun, bool now);
    void addToSyncQueue(qint64 noun);
    void conditionallyStartSync(bool force = false);

    bool itsAllHappening() const { return m_goal == Syncing; }
    int goal() const { return m_goal; }
    bool hasConnection() const;
    QList<qint64> syncQueue() const { return m_queue; }
    // When automatic requests may start a connection again (0: no back-off).
    qint64 backoffUntil() const { return m_backoffUntil; }
    qint64 editingId(qint64 noun) const;

    // The history name of each type ("BIBLEBOOKMARKS" -> "BibleBookmarks").
    static QHash<QString, QString> lastSyncTableNames();

    bool userHasSomeData();
    bool userHasUnsyncedData();
    bool userHasSomeSyncHistory();
    bool removeAllUserSyncHistory();
    bool removeAllUserData();

    SyncLocalData& localData() { return m_local; }

private:
    void buildDueTimes();
    void connectLogin();
    void getCount();
    void getTime();
    void syncTable(qint64 noun, bool getServerId);
    int getHighestRecordIdForTable(qint64 noun);
    void sendNextAddOrDelete();
    std::optional<SyncLocalRow> nextRowToSend(qint64 noun, bool* failed, qint64 afterRecid);
    // `logEach`: a refusal after the run's first is written to the sync log too (not only logged).
    void refuseRow(qint64 recid, const QString& message, bool logEach = false);
    bool isAnswerToTheUpload(const SyncCommand& command) const;
    void finishType(bool recordHistory);
    void conditionallyContinueOrDisconnect();
    void disconnect();
    void endConnection();
    void failRun();
    void reportError(const QString& message);
    void reportProgress(const QString* message);
    bool iHaveRecordsToSend();
    bool write(const SyncCommand& command);
    bool commitReceivedRecords();
    bool endReceivedBatch();
    bool storeAcknowledgements();
    void afterReceivedBatch(std::function<void()> work);

    void commandReceived(const SyncCommand& command);
    void connected(const SyncCommand& command);
    void counted(const SyncCommand& command);
    void gotTime(const SyncCommand& command);
    void gotServerId(const SyncCommand& command);
    void receivedRecord(const SyncCommand& command);
    void acknowledged(const SyncCommand& command);
    void serverError(const SyncCommand& command, const QString& unknownText);
    void connectionClosed();
    void timedOut();

    qint64 toServerTime(qint64 ms) const { return ms + m_offset; }
    qint64 toClientTime(qint64 ms) const { return ms - m_offset; }
    QString nounWord(qint64 noun) const;

    SyncManagerDelegate* m_delegate = nullptr;
    std::unique_ptr<SyncConnection> m_connection;
    SyncLocalData m_local;
    QString m_host;
    quint16 m_port = 0;
    int m_replyTimeoutMs = 10000;

    int m_goal = Idle;
    qint64 m_offset = kUnsetOffset;
    qint64 m_recordType = -1;
    QList<qint64> m_queue;
    bool m_isConnected = false;
    QHash<qint64, qint64> m_due;
    bool m_dueBuilt = false;
    bool m_disabled = false;
    bool m_someRecordsWereModified = false;
    int m_syncPhase = 0;
    qint64 m_progressRecordsToReceive = 0;
    qint64 m_progressRecordsToSend = 0;
    qint64 m_progressRecordCount = 0;
    qint64 m_progressRecordTypesSynced = 0;
    QString m_statusMessage;
    qint64 m_bibleNoteBeingEditedId = 0;
    qint64 m_bookNoteBeingEditedId = 0;
    qint64 m_autoSyncFreq = kDefaultAutoSyncFreqMs;

    std::optional<SyncLocalRow> m_sent;  // the upload waiting for its acknowledgement
    // The last received record, applied when the next line arrives readable (dropped otherwise).
    std::optional<SyncCommand> m_pendingRecord;
    // The upload pass sends rows in recid order: rows up to this recid went up in this pass.
    qint64 m_sentUpTo = 0;
    // Rows of the type being synced that were refused in this run; passed over until the type ends.
    QSet<qint64> m_refused;
    // The run has reported a refused row (later ones are only logged).
    bool m_refusalReported = false;
    // Acknowledged uploads of m_acknowledgedNoun not stored yet.
    std::vector<SyncLocalData::Acknowledgement> m_acknowledged;
    qint64 m_acknowledgedNoun = -1;
    // The transaction of received records: open, the records in it, and what runs once it is stored
    // (cache invalidations, which must not see the old rows again).
    bool m_batchOpen = false;
    int m_batchRecords = 0;
    std::vector<std::function<void()>> m_afterBatch;
    bool m_runFailed = false;
    // A sync the user asked for (syncAll(true)) is queued or running; cleared when its run ends.
    bool m_userAsked = false;
    int m_failures = 0;
    qint64 m_backoffUntil = 0;
};

}  // namespace qs::cloud

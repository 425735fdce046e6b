// SyncExchange: one run of the sync engine over one connection. It logs in, then for each record type
// the triggers hand it counts or measures the clock, receives the server's new records into the local
// tables, sends the local unsynced rows and records the sync in the history; it owns the connection
// (SyncConnection) and the local data (SyncLocalData) it exchanges, and reports progress, errors and
// results to the delegate.
//
// Received records are applied in batches of one transaction (SyncManager.h says what is kept on a
// failure); a record that cannot be read whole, that is longer than a line may be, or that names a
// place no Bible has is left out and the run goes on. What was left out is said once per type, as one
// summary when the type ends, counting every record the type left out; a sync the user did not ask
// for says it only when a record not said before in this session is among them (a record left out
// comes again while nothing newer of its type is stored). Each one is named in the program's log. The
// receiving half (SyncExchangeReceive.cpp) reads and applies the server's records; the upload half
// (SyncExchangeUpload.cpp) sends rows in recid order, passes over rows the server refuses and stores
// the acknowledgements together. The statements' own database error reports are captured while the
// engine works: it says its store failures itself (storeErrorOf), once.
//
// Threads: main thread.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

#include "cloud/protocol/SyncCommand.h"
#include "cloud/sync/SyncConnection.h"
#include "cloud/sync/SyncLocalData.h"
#include "cloud/sync/SyncManagerDelegate.h"

namespace qs::cloud {

class SyncTriggers;

class SyncExchange {
public:
    static constexpr qint64 kUnsetOffset = std::numeric_limits<qint64>::max();
    static constexpr qint64 kMaxClockDifferenceMs = 60000;
    static constexpr int kRecordsPerTransaction = 256;
    // The user-data stores stamp a row's change to the whole second.
    static constexpr qint64 kRowStampResolutionMs = 1000;
    // The error code of the sync log rows the engine writes itself (the application's own are 1 too).
    static constexpr int kRefusedRowErrorCode = 1;
    // Records left out that the log names one by one in a type's sync (the summary counts them all).
    static constexpr int kLeftOutNamedInLog = 100;
    // Records left out remembered as said, per type.
    static constexpr qsizetype kMaxSaidLeftOut = 100000;

    enum Goal : int { Idle = 0, Syncing = 1, Disconnecting = 2 };

    explicit SyncExchange(SyncTriggers& triggers);
    ~SyncExchange();

    void setDelegate(SyncManagerDelegate* delegate) { m_delegate = delegate; }
    SyncManagerDelegate* delegate() const { return m_delegate; }
    // The server; without one the delegate names it (serviceHost).
    void setServer(const QString& host, quint16 port);
    void setReplyTimeoutMs(int ms) { m_connection.setReplyTimeoutMs(ms); }

    // Starts a run with the next queued type unless one is running (`force`: past the back-off).
    void conditionallyStartSync(bool force = false);
    // The run that comes reports its failure as one the user asked for.
    void setUserAsked() { m_userAsked = true; }
    // A new queue: the progress counts start again.
    void resetProgress();

    int goal() const { return m_goal; }
    bool hasConnection() const { return m_connection.isOpen(); }
    // The type being synced, -1 when no run is syncing.
    qint64 runningType() const { return m_goal == Syncing ? m_recordType : -1; }

    SyncLocalData& localData() { return m_local; }
    // Stores the acknowledgements not stored yet, in one transaction. On failure they are dropped:
    // their rows stay unsynced and go up again.
    bool storeAcknowledgements();

private:
    void connectLogin();
    void getCount();
    void getTime();
    void syncTable(qint64 noun, bool getServerId);
    int getHighestRecordIdForTable(qint64 noun);
    void sendNextAddOrDelete();
    std::optional<SyncLocalRow> nextRowToSend(qint64 noun, bool* failed, qint64 afterRecid);
    // `logEach`: a refusal after the run's first is written to the sync log too (not only logged).
    void refuseRow(qint64 recid, const QString& message, bool logEach = false);
    // Why a received record was left out.
    enum class LeftOutReason { Unreadable, TooLong, NoPlace };
    // A received record that cannot be read or applied whole: passed over (nothing of it stored),
    // counted for the type's summary, named in the log, and the run goes on. `record` names it (its
    // type, server id and time tell it apart from another).
    void passOverRecord(const SyncCommand& record, const QString& message, LeftOutReason reason);
    // A record a stray separator cut short, passed over as unreadable.
    void passOverCutShortRecord(const SyncCommand& record);
    // Says what the type being synced left out, as one message; nothing when nothing is to be said.
    void reportLeftOut();
    // A line longer than the line limit, beginning with `head`: a record in the receiving phase is
    // left out (true: the connection reads on past it); anywhere else it ends the run.
    bool longLineReceived(const QByteArray& head);
    bool isAnswerToTheUpload(const SyncCommand& command) const;
    void finishType(bool recordHistory);
    void conditionallyContinueOrDisconnect();
    void disconnect();
    // A failure that ends the run: reported, then the connection is closed.
    void endRun(const QString& message);
    void endConnection();
    void failRun();
    void reportError(const QString& message);
    void reportProgress(const QString* message);
    bool iHaveRecordsToSend();
    bool write(const SyncCommand& command);
    bool commitReceivedRecords();
    bool endReceivedBatch();
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

    SyncTriggers& m_triggers;
    SyncManagerDelegate* m_delegate = nullptr;
    SyncConnection m_connection;
    SyncLocalData m_local;
    QString m_host;
    quint16 m_port = 0;

    int m_goal = Idle;
    qint64 m_offset = kUnsetOffset;
    qint64 m_recordType = -1;
    bool m_isConnected = false;
    bool m_someRecordsWereModified = false;
    int m_syncPhase = 0;
    qint64 m_progressRecordsToReceive = 0;
    qint64 m_progressRecordsToSend = 0;
    qint64 m_progressRecordCount = 0;
    qint64 m_progressRecordTypesSynced = 0;
    QString m_statusMessage;

    std::optional<SyncLocalRow> m_sent;  // the upload waiting for its acknowledgement
    // The last received record, applied when the next line arrives readable (dropped otherwise).
    std::optional<SyncCommand> m_pendingRecord;
    // The upload pass sends rows in recid order: rows up to this recid went up in this pass.
    qint64 m_sentUpTo = 0;
    // Rows of the type being synced that were refused in this run; passed over until the type ends.
    QSet<qint64> m_refused;
    // The run has reported a refused row (later ones are only logged).
    bool m_refusalReported = false;
    // The type being synced passed over a received record; it writes no sync-history row.
    bool m_passedOverRecord = false;
    // What the type being synced left out of the server's records, by reason.
    struct LeftOut {
        int count[3] = {0, 0, 0};  // by LeftOutReason
        int notSaidBefore = 0;
        int total() const { return count[0] + count[1] + count[2]; }
    };
    LeftOut m_leftOut;
    // The records left out and said in this session, by type (server id and time): said only once
    // when they come again, unless the user asks.
    QHash<qint64, QSet<QString>> m_saidLeftOut;
    // The rest of a record cut short by a stray record separator: unreadable lines up to the next
    // readable one are dropped.
    bool m_droppingRemnant = false;
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
};

}  // namespace qs::cloud

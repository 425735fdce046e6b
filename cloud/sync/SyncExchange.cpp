#include "cloud/sync/SyncExchange.h"

#include "cloud/protocol/ServiceHost.h"
#include "cloud/protocol/SyncLineBuffer.h"
#include "cloud/protocol/SyncRecordTypes.h"
#include "cloud/sync/SyncMessages.h"
#include "cloud/sync/SyncTriggers.h"
#include "engine/foundation/cMsgBox.h"
#include "userdata/SQLiteFailure.h"
#include "userdata/SyncLineLimit.h"
#include "userdata/UserDataHooks.h"

namespace qs::cloud {

namespace {

using C = SyncCommand;
using Messages = SyncTypeMessages;

static_assert(kSyncMaxLineBytes == SyncLineBuffer::kDefaultMaxLineBytes,
    "the note editor's limit and the server's line limit are the same");

}  // namespace

SyncExchange::SyncExchange(SyncTriggers& triggers) : m_triggers(triggers)
{
    // Every handler runs with the user-data statements' error reports captured: the engine says its
    // store failures itself, once (storeErrorOf).
    m_connection.onOpened = [this] {
        if (m_delegate)
            m_delegate->syncCommStarted();
    };
    m_connection.onCommand = [this](const SyncCommand& c) {
        cDatabaseErrorCapture captured;
        commandReceived(c);
    };
    m_connection.onLongLine = [this](const QByteArray& head) {
        cDatabaseErrorCapture captured;
        return longLineReceived(head);
    };
    m_connection.onLinesHandled = [this] {
        cDatabaseErrorCapture captured;
        endReceivedBatch();
    };
    m_connection.onTimeout = [this] {
        cDatabaseErrorCapture captured;
        timedOut();
    };
    m_connection.onError = [this](const QString& e) { reportError(e); };
    m_connection.onClosed = [this] {
        cDatabaseErrorCapture captured;
        connectionClosed();
    };
}

SyncExchange::~SyncExchange()
{
    cDatabaseErrorCapture captured;
    // What was received and acknowledged so far is kept.
    commitReceivedRecords();
    storeAcknowledgements();
    m_connection.onClosed = nullptr;
    m_connection.close();
}

void SyncExchange::setServer(const QString& host, quint16 port)
{
    m_host = host;
    m_port = port;
}

void SyncExchange::resetProgress()
{
    m_progressRecordTypesSynced = 0;
    m_statusMessage.clear();
}

void SyncExchange::conditionallyStartSync(bool force)
{
    if (!m_triggers.hasQueued() || m_goal == Syncing)
        return;
    if (m_goal == Disconnecting) {
        endConnection();
        m_goal = Idle;
    }
    if (!m_triggers.mayStart(force))
        return;
    // A store failure of this run is told by its own cause, not by one an earlier run left behind.
    if (!hasConnection())
        SQLiteFailure::clear();
    // The engine says its own store failures (storeErrorOf): the statements' reports are kept from
    // the program's database alerts, so that one failure is one alert.
    cDatabaseErrorCapture captured;
    if (!m_local.open()) {
        // Before any type: what could not be saved is none of one kind's records.
        reportError(storeErrorOf(-1));
        m_userAsked = false;
        return;
    }
    if (!hasConnection()) {
        QString host = m_host;
        quint16 port = m_port;
        if (host.isEmpty() || port == 0) {
            const ServiceHost service = m_delegate ? m_delegate->serviceHost() : ServiceHost();
            host = service.syncHostName();
            port = service.syncPort();
        }
        m_isConnected = false;
        m_offset = kUnsetOffset;
        m_refusalReported = false;
        m_connection.open(host, port);
    }
    m_recordType = m_triggers.takeNext();
    m_goal = Syncing;
    m_runFailed = false;
    if (!m_isConnected)
        connectLogin();
    else if (iHaveRecordsToSend())
        getTime();
    else
        getCount();
}

// ---- the run ----

bool SyncExchange::write(const SyncCommand& command)
{
    return m_connection.writeCommand(command);
}

// Commits the received records' transaction and runs what waited for it; false when the commit
// failed and the batch is lost.
bool SyncExchange::commitReceivedRecords()
{
    if (!m_batchOpen)
        return true;
    m_batchOpen = false;
    m_batchRecords = 0;
    const bool ok = m_local.commitReceivedBatch();
    std::vector<std::function<void()>> after;
    after.swap(m_afterBatch);
    for (const auto& work : after)
        work();
    return ok;
}

// The same in the middle of a run. A lost batch fails the run; its records come again next time (the
// watermark is read from the table).
bool SyncExchange::endReceivedBatch()
{
    if (commitReceivedRecords())
        return true;
    reportError(storeErrorOf(m_recordType));
    failRun();
    if (m_goal == Syncing)
        disconnect();
    return false;
}

void SyncExchange::afterReceivedBatch(std::function<void()> work)
{
    if (m_batchOpen)
        m_afterBatch.push_back(std::move(work));
    else
        work();
}

void SyncExchange::connectLogin()
{
    m_isConnected = false;
    const std::optional<SyncConnectParameters> p = m_delegate ? m_delegate->connectParameters() : std::nullopt;
    SyncCommand line;
    if (p) {
        line = SyncLoginValues {p->customerID, p->password, p->programID, p->version, p->deviceid, p->devicename}
                   .connectCommand();
    } else {
        line = SyncCommand(QStringLiteral("CONNECT"), QStringLiteral("USER"));
    }
    if (!write(line))
        reportError(QStringLiteral("Programming error: Couldn't write CONNECT command."));
}

bool SyncExchange::iHaveRecordsToSend()
{
    if (!isDataNoun(m_recordType))
        return m_recordType != C::ProgramSettings;
    bool failed = false;
    const bool found = m_local.firstUnsynced(m_recordType, &failed).has_value();
    return found || failed;
}

void SyncExchange::getCount()
{
    const Messages* m = messagesOf(m_recordType);
    QString message = m ? QString::fromLatin1(m->counting) : QString();
    const qint64 highest =
        m_recordType == C::ProgramSettings ? std::numeric_limits<qint64>::max() : m_local.highestServerId(m_recordType);
    if (!write(SyncCommand(QStringLiteral("COUNT"), nounWord(m_recordType), {QString::number(highest)}))) {
        reportError(QStringLiteral("Programming error: Couldn't write COUNT %1 command.").arg(nounWord(m_recordType)));
        return;
    }
    reportProgress(m ? &message : nullptr);
}

void SyncExchange::getTime()
{
    if (m_offset != kUnsetOffset) {
        syncTable(m_recordType, true);
        return;
    }
    const qint64 now = SyncLocalData::nowMs();
    if (!write(SyncCommand(QStringLiteral("GET"), QStringLiteral("TIME"), {SyncLocalData::wireTime(now)})))
        reportError(QStringLiteral("Programming error: Couldn't write GET TIME command."));
}

void SyncExchange::syncTable(qint64 noun, bool getServerId)
{
    m_goal = Syncing;
    m_recordType = noun;
    m_someRecordsWereModified = false;
    m_syncPhase = 0;
    m_progressRecordsToReceive = 0;
    m_progressRecordsToSend = 0;
    m_progressRecordCount = 0;
    m_sent.reset();
    m_sentUpTo = 0;
    m_refused.clear();
    m_passedOverRecord = false;
    m_leftOut = LeftOut();
    m_droppingRemnant = false;
    if (noun == C::ProgramSettings) {
        if (!write(SyncCommand(
                QStringLiteral("SYNC"), nounWord(noun), {QString::number(std::numeric_limits<qint64>::max())})))
            reportError(QStringLiteral("Programming error: Couldn't write SYNC %1 command.").arg(nounWord(noun)));
        return;
    }
    const Messages* m = messagesOf(noun);
    if (!m) {
        reportError(QStringLiteral("Programming error: Unrecognized table name."));
        ++m_progressRecordTypesSynced;
        reportProgress(nullptr);
        conditionallyContinueOrDisconnect();
        return;
    }
    QString message = QString::fromLatin1(m->starting);
    reportProgress(&message);
    if (m_delegate)
        m_delegate->syncRecordTypeWillStart(nounWord(noun));
    qint64 highest = m_local.highestServerId(noun);
    if (const std::optional<qint64> editing = m_triggers.takeEditingAbove(noun, highest))
        highest = *editing;
    if (getServerId && highest == 0) {
        const int r = getHighestRecordIdForTable(noun);
        if (r == 1)
            return;
        if (r == -1) {
            ++m_progressRecordTypesSynced;
            reportProgress(nullptr);
            conditionallyContinueOrDisconnect();
            return;
        }
    }
    if (!write(SyncCommand(QStringLiteral("SYNC"), nounWord(noun), {QString::number(highest)}))) {
        reportError(QStringLiteral("Programming error: Couldn't write SYNC %1 command.").arg(nounWord(noun)));
        return;
    }
    reportProgress(nullptr);
}

int SyncExchange::getHighestRecordIdForTable(qint64 noun)
{
    const SyncRecordType* type = cloud::syncRecordType(noun);
    if (!type)
        return 0;
    const std::optional<QString> last = m_local.lastSyncTime(type->historyName);
    const std::optional<qint64> lastMs = last ? SyncLocalData::parseTime(*last) : std::nullopt;
    if (!lastMs)
        return 0;
    if (!write(SyncCommand(QStringLiteral("GET"), QStringLiteral("SERVERID"),
            {nounWord(noun), SyncLocalData::wireTime(*lastMs), SyncLocalData::wireTime(toServerTime(*lastMs))}))) {
        reportError(QStringLiteral("Programming error: Couldn't write GET SERVERID command."));
        return -1;
    }
    return 1;
}

void SyncExchange::finishType(bool recordHistory)
{
    const qint64 noun = m_recordType;
    reportLeftOut();
    m_sent.reset();
    m_sentUpTo = 0;
    if (!storeAcknowledgements()) {
        reportError(storeErrorOf(noun));
        failRun();
        recordHistory = false;
    }
    if (recordHistory) {
        if (m_someRecordsWereModified) {
            if (noun == C::BibleHighlights)
                ::clearColorSearchCache();
        }
        if (m_delegate && isDataNoun(noun))
            m_delegate->syncRecordTypeComplete(nounWord(noun), m_someRecordsWereModified);
        const SyncRecordType* type = cloud::syncRecordType(noun);
        const qint64 now = SyncLocalData::nowMs();
        // With a refused row the type is not in step: it stays out of the history (the refused row
        // goes up at its next sync, which comes when the type is next due or edited). A record passed
        // over keeps it out too: a catch-up by sync time must not take that record for received.
        if (type && isDataNoun(noun) && m_refused.isEmpty() && !m_passedOverRecord)
            m_local.recordSyncTime(type->historyName, now, 0, QString());
        m_triggers.typeSynced(noun, now, m_local);
    } else if (m_someRecordsWereModified && m_delegate && isDataNoun(noun)) {
        m_delegate->syncRecordTypeComplete(nounWord(noun), true);
    }
    write(SyncCommand(QStringLiteral("SYNC"), QStringLiteral("COMPLETE")));
    m_connection.stopReplyTimer();
    ++m_progressRecordTypesSynced;
    conditionallyContinueOrDisconnect();
}

void SyncExchange::conditionallyContinueOrDisconnect()
{
    m_goal = Idle;
    conditionallyStartSync(true);
    if (m_goal == Idle) {
        reportProgress(nullptr);
        disconnect();
    }
}

void SyncExchange::disconnect()
{
    // What was applied and acknowledged so far stays. A run that failed already has said why (a
    // store failure usually fails the commit after it too).
    const bool kept = commitReceivedRecords();
    if (!(storeAcknowledgements() && kept) && !m_runFailed)
        reportError(storeErrorOf(m_recordType));
    m_pendingRecord.reset();
    m_droppingRemnant = false;
    reportLeftOut();
    m_isConnected = false;
    m_sent.reset();
    m_userAsked = false;
    m_triggers.runEnded(m_runFailed);
    m_runFailed = false;
    m_goal = Disconnecting;
    if (!write(SyncCommand(QStringLiteral("DISCONNECT"), QString()))) {
        m_goal = Idle;
        return;
    }
    m_connection.closeWhenWritten();
}

void SyncExchange::endRun(const QString& message)
{
    reportError(message);
    disconnect();
}

void SyncExchange::endConnection()
{
    m_connection.close();
}

void SyncExchange::failRun()
{
    m_runFailed = true;
}

void SyncExchange::reportError(const QString& message)
{
    if (m_goal == Syncing)
        m_runFailed = true;
    if (m_delegate)
        m_delegate->syncErrorOccurred(message, m_userAsked);
}

void SyncExchange::reportProgress(const QString* message)
{
    if (message)
        m_statusMessage = *message;
    if (!m_delegate)
        return;
    const qint64 sum = m_progressRecordsToReceive + m_progressRecordsToSend;
    float f = sum != 0 ? static_cast<float>(m_progressRecordCount) / static_cast<float>(sum) : 0.0f;
    f = std::min(f, 1.0f);
    const float n = f + static_cast<float>(m_progressRecordTypesSynced);
    float d =
        m_goal == Syncing ? static_cast<float>(m_triggers.queue().size() + m_progressRecordTypesSynced + 1) : 0.0f;
    while (d == 0.0f || n > d)
        d += 1.0f;
    m_delegate->syncProgressPercent(n / d, m_statusMessage);
}

// ---- received lines ----

void SyncExchange::commandReceived(const SyncCommand& command)
{
    m_connection.stopReplyTimer();
    const qint64 verb = command.verbNumber();
    // A received record is applied only once the line after it reads as a line: a record separator
    // inside a field ends the line early, so the record reads as sound with its text cut, and the rest
    // arrives as a line of its own that is no line of the protocol.
    if (m_pendingRecord) {
        const SyncCommand record = std::move(*m_pendingRecord);
        m_pendingRecord.reset();
        if (verb == C::kNotFound && m_goal == Syncing) {
            // The record is not whole: it is passed over, and so is the rest of it (this line and any
            // other unreadable ones up to the next line of the protocol).
            passOverCutShortRecord(record);
            m_droppingRemnant = true;
            m_connection.startReplyTimer();
            return;
        }
        receivedRecord(record);
        if (m_goal != Syncing)
            return;
    }
    if (m_droppingRemnant) {
        if (verb == C::kNotFound && m_goal == Syncing && m_syncPhase == 0) {
            m_connection.startReplyTimer();
            return;
        }
        m_droppingRemnant = false;
    }
    if ((verb == C::Add || verb == C::Modify || verb == C::Delete) && m_goal == Syncing && m_syncPhase == 0) {
        m_pendingRecord = command;
        m_connection.startReplyTimer();
        return;
    }
    // Any other line than a record is handled with the records before it stored.
    if (verb != C::Add && verb != C::Modify && verb != C::Delete && !endReceivedBatch())
        return;
    if (m_goal == Disconnecting)
        return;  // whatever comes after DISCONNECT does not matter
    switch (command.verbNumber()) {
    case C::Connected:
        connected(command);
        return;
    case C::Counted:
        counted(command);
        return;
    case C::Got:
        if (command.noun() == QLatin1String("TIME"))
            gotTime(command);
        else if (command.noun() == QLatin1String("SERVERID"))
            gotServerId(command);
        else
            serverError(command, QStringLiteral("Unknown error from server in response to GET command."));
        return;
    case C::Sync:
        if (command.noun() == QLatin1String("COMPLETE") && m_goal == Syncing && m_syncPhase == 0) {
            if (m_progressRecordsToReceive == 0)
                reportProgress(nullptr);
            m_syncPhase = 1;
            sendNextAddOrDelete();
        } else if (command.noun() == QLatin1String("ERROR") && isAnswerToTheUpload(command)) {
            // The server could not take the line of the row just sent: that row waits, the rest
            // goes on.
            const QString message = command.parameterCount() >= 1
                ? QStringLiteral("Server reported error: %1")
                      .arg(command.paramAtIndex(command.parameterCount() >= 2 ? 1 : 0))
                : QStringLiteral("Unknown error from server (SYNC ERROR)");
            refuseRow(m_sent->recid, message);
            sendNextAddOrDelete();
        } else if (command.noun() == QLatin1String("ERROR")) {
            serverError(command, QStringLiteral("Unknown error from server (SYNC ERROR)"));
        } else {
            endRun(QStringLiteral("Bad record received from server. Unexpected SYNC reply."));
        }
        return;
    case C::Add:
    case C::Modify:
    case C::Delete:
        receivedRecord(command);
        return;
    case C::Added:
    case C::Deleted:
        acknowledged(command);
        return;
    default:
        // Anything else cannot be answered; waiting for it would leave the engine stuck.
        endRun(QStringLiteral("Bad record received from server. Unexpected reply."));
        return;
    }
}

void SyncExchange::serverError(const SyncCommand& command, const QString& unknownText)
{
    if (command.parameterCount() >= 2)
        reportError(QStringLiteral("Server reported error: %1").arg(command.paramAtIndex(1)));
    else if (command.parameterCount() == 1)
        reportError(QStringLiteral("Server reported error: %1").arg(command.paramAtIndex(0)));
    else
        reportError(unknownText);
    // The server sends nothing more after an error; ending the run keeps the engine usable.
    disconnect();
}

void SyncExchange::connected(const SyncCommand& command)
{
    if (command.noun() == QLatin1String("SUCCESS")) {
        m_isConnected = true;
        const std::optional<SyncConnectParameters> p = m_delegate ? m_delegate->connectParameters() : std::nullopt;
        if (p && p->customerIDNumber > 0)
            m_local.setSyncedCustomerId(p->customerIDNumber);
        if (m_delegate)
            m_delegate->syncLoginComplete(true);
        if (m_goal == Syncing) {
            if (iHaveRecordsToSend())
                getTime();
            else
                getCount();
        } else {
            reportError(QStringLiteral(
                "Programming error: Received CONNECTED SUCCESS but no sync in progress. Will attempt to continue."));
            m_progressRecordTypesSynced = 0;
            m_statusMessage.clear();
            conditionallyContinueOrDisconnect();
        }
        return;
    }
    m_isConnected = false;
    if (command.parameterCount() >= 2) {
        const qint64 code = command.paramAtIndex(0).toLongLong();
        if ((code == 2 || code == 4) && m_delegate)
            m_delegate->syncLoginComplete(false);
        reportError(command.paramAtIndex(1));
    } else {
        reportError(QStringLiteral("Unknown problem connecting to the Cloud server."));
    }
    disconnect();
}

void SyncExchange::counted(const SyncCommand& command)
{
    if (command.noun() == QLatin1String("ERROR")) {
        serverError(command, QStringLiteral("Unknown error from server (COUNT ERROR)"));
        return;
    }
    if (command.parameterCount() < 2) {
        endRun(QStringLiteral("Bad record received from server. Not enough parameters."));
        return;
    }
    const std::optional<qint64> count = toInt64(command.paramAtIndex(1));
    if (!count) {
        endRun(QStringLiteral("Bad record received from server. COUNT invalid."));
        return;
    }
    if (*count != 0) {
        getTime();
        return;
    }
    m_triggers.typeSynced(m_recordType, SyncLocalData::nowMs(), m_local);
    ++m_progressRecordTypesSynced;
    m_progressRecordsToReceive = m_progressRecordsToSend = m_progressRecordCount = 0;
    reportProgress(nullptr);
    conditionallyContinueOrDisconnect();
}

void SyncExchange::gotTime(const SyncCommand& command)
{
    const qint64 now = SyncLocalData::nowMs();
    m_offset = kUnsetOffset;
    if (command.parameterCount() >= 2) {
        const std::optional<qint64> sent = SyncLocalData::parseTime(command.paramAtIndex(0));
        const std::optional<qint64> server = SyncLocalData::parseTime(command.paramAtIndex(1));
        if (sent && server) {
            m_offset = *server - *sent - (now - *sent) / 2;
            // The server's clock read somewhere between sending and receiving. When the two clocks
            // agree within that window (a millisecond of slack for its truncation) they are not
            // measurably apart: no correction, so every reader keeps exact times and orders two edits
            // the same way on every connection.
            if (*server - now - 1 <= 0 && 0 <= *server - *sent + 1)
                m_offset = 0;
        }
    } else {
        reportError(QStringLiteral("Programming error: GET TIME returned insufficient parameters."));
    }
    if (m_offset == kUnsetOffset) {
        endRun(QStringLiteral("There was a problem calculating the time difference between this device and the "
                              "Cloud server. The time on your device may not be set properly."));
        return;
    }
    if (m_offset < -kMaxClockDifferenceMs || m_offset > kMaxClockDifferenceMs) {
        reportError(QStringLiteral("The system clock difference between this device and the Cloud server is too "
                                   "great to safely continue. Your time: %1. Server time: %2.")
                        .arg(usTime(now), usTime(now + m_offset)));
        m_offset = kUnsetOffset;
        disconnect();
        return;
    }
    if (m_goal != Syncing) {
        endRun(QStringLiteral("Programming error: Unknown goal."));
        return;
    }
    syncTable(m_recordType, true);
}

void SyncExchange::gotServerId(const SyncCommand& command)
{
    if (command.parameterCount() < 3) {
        endRun(QStringLiteral("Programming error: Not enough parameters (GOT SERVERID)."));
        return;
    }
    const std::optional<qint64> time = SyncLocalData::parseTime(command.paramAtIndex(1));
    if (!time) {
        endRun(QStringLiteral("Programming error: Invalid date format"));
        return;
    }
    const std::optional<qint64> serverId = toInt64(command.paramAtIndex(2));
    if (!serverId) {
        endRun(QStringLiteral("Programming error: Invalid server ID"));
        return;
    }
    const qint64 noun = C::nounNum(command.paramAtIndex(0));
    if (!isDataNoun(noun) || noun != m_recordType) {
        endRun(QStringLiteral("Programming error: Can't map record type to local table name."));
        return;
    }
    // The answered time is the server's; the rows are stamped by this device's clock. The stores stamp
    // a row to the whole second, so a row stamped in the second the sync ended may have been edited
    // after it: only rows whose second was over by then count as synced (the others go up again,
    // which costs a line; taking an edit for synced would lose it).
    m_local.assignServerIdUpTo(noun, SyncLocalData::colonTime(toClientTime(*time) - kRowStampResolutionMs), *serverId);
    syncTable(noun, false);
}

void SyncExchange::timedOut()
{
    if (m_goal == Disconnecting) {
        endConnection();
        m_goal = Idle;
        return;
    }
    reportError(QStringLiteral("No response from the server. Try again later."));
    m_runFailed = true;
    disconnect();
}

void SyncExchange::connectionClosed()
{
    const bool wasSyncing = m_goal == Syncing;
    // Whatever was applied or acknowledged before the line broke stays.
    const bool kept = commitReceivedRecords();
    if (!(storeAcknowledgements() && kept) && wasSyncing && !m_runFailed)
        reportError(storeErrorOf(m_recordType));
    // A run cut off in the middle did not finish; the user hears of it like of any other failure,
    // once: a run whose failure was reported already (a refused connection) says nothing more.
    if (wasSyncing && !m_runFailed)
        reportError(QStringLiteral("The connection to the Cloud server was lost. Try again later."));
    if (wasSyncing)
        reportLeftOut();
    m_isConnected = false;
    m_sent.reset();
    // A record whose next line never came is not known to be whole: it comes again next time.
    m_pendingRecord.reset();
    if (m_delegate)
        m_delegate->syncCommFinished();
    if (m_goal == Disconnecting) {
        m_goal = Idle;
        return;
    }
    m_goal = Idle;
    if (wasSyncing) {
        // The connection broke in the middle of a type: nothing was acknowledged that was not
        // stored, so the type only has to come again. It waits for the back-off (or the user).
        m_triggers.runBroken(m_recordType);
        m_runFailed = false;
        m_recordType = -1;
        m_userAsked = false;
    }
}

}  // namespace qs::cloud

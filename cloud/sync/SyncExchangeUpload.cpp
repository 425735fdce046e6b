#include <QDebug>

#include "cloud/protocol/SyncRecordTypes.h"
#include "cloud/sync/SyncExchange.h"
#include "cloud/sync/SyncMessages.h"
#include "userdata/SyncLineLimit.h"

// The upload half of a type's exchange: the local unsynced rows go up one line at a time in recid
// order, each waiting for its acknowledgement; a row the server refuses or that cannot be written is
// passed over for the rest of the run.

namespace qs::cloud {

namespace {

using C = SyncCommand;
using Messages = SyncTypeMessages;

}  // namespace

bool SyncExchange::storeAcknowledgements()
{
    if (m_acknowledged.empty())
        return true;
    std::vector<SyncLocalData::Acknowledgement> acknowledged;
    acknowledged.swap(m_acknowledged);
    return m_local.storeAcknowledgements(m_acknowledgedNoun, acknowledged);
}

// The first unsynced row after `afterRecid` that was not refused in this run.
std::optional<SyncLocalRow> SyncExchange::nextRowToSend(qint64 noun, bool* failed, qint64 afterRecid)
{
    for (;;) {
        std::optional<SyncLocalRow> row = m_local.firstUnsynced(noun, failed, afterRecid);
        if (!row || !m_refused.contains(row->recid))
            return row;
        afterRecid = row->recid;
    }
}

// A row that cannot go up in this run: it keeps serverid 0, the rest of the type goes on without it,
// and the type writes no history row (a later catch-up by sync time must not take it for synced).
void SyncExchange::refuseRow(qint64 recid, const QString& message, bool logEach)
{
    m_refused.insert(recid);
    m_sent.reset();
    // Said once a run; a refusal is not a failure of the run, which goes on. A refusal that names
    // its row also goes to the sync log when it is not the first, so every such row is named there.
    if (m_refusalReported) {
        qWarning().noquote() << "sync:" << message;
        if (logEach) {
            if (const SyncRecordType* type = cloud::syncRecordType(m_recordType))
                m_local.recordSyncTime(type->historyName, SyncLocalData::nowMs(), kRefusedRowErrorCode, message);
        }
        return;
    }
    m_refusalReported = true;
    if (m_delegate)
        m_delegate->syncErrorOccurred(message, m_userAsked);
}

void SyncExchange::sendNextAddOrDelete()
{
    const qint64 noun = m_recordType;
    if (isDataNoun(noun)) {
        const Messages* m = messagesOf(noun);
        for (;;) {
            bool failed = false;
            std::optional<SyncLocalRow> row = nextRowToSend(noun, &failed, m_sentUpTo);
            if (!failed && !row && m_sentUpTo > 0) {
                // The pass is over: its acknowledgements are stored, and a row edited while it ran
                // goes up in another pass.
                if (!storeAcknowledgements()) {
                    reportError(storeErrorOf(noun));
                    failRun();
                    finishType(false);
                    return;
                }
                m_sentUpTo = 0;
                row = nextRowToSend(noun, &failed, 0);
            }
            if (failed) {
                reportError(storeErrorOf(noun));
                failRun();
                finishType(false);
                return;
            }
            if (!row)
                break;
            // A row whose acknowledgement did not stick (the same state again) is not sent twice in
            // a row: that would loop for ever.
            if (m_sent && m_sent->recid == row->recid && m_sent->timestamp == row->timestamp &&
                m_sent->columns == row->columns && m_sent->deleted == row->deleted) {
                reportError(QStringLiteral("Programming error: Couldn't store the server's acknowledgement."));
                failRun();
                finishType(false);
                return;
            }
            if (m_progressRecordsToSend == 0)
                m_progressRecordsToSend = m_local.countUnsynced(noun);
            QString error;
            const std::optional<QStringList> fields = m_local.wireFields(noun, *row, &error);
            if (!fields) {
                // This row cannot be written (a bookmark whose category is gone); the others can.
                m_sentUpTo = row->recid;
                refuseRow(row->recid, error);
                continue;
            }
            const std::optional<qint64> ts = SyncLocalData::parseTime(row->timestamp);
            const QString wire = SyncLocalData::wireTime(toServerTime(ts.value_or(SyncLocalData::nowMs())));
            QStringList params = {QString::number(row->recid), wire};
            params += *fields;
            const QString verb = row->deleted ? QStringLiteral("DELETE") : QStringLiteral("ADD");
            SyncCommand upload(verb, nounWord(noun), params);
            // The server refuses a line over its limit and closes the connection: such a row would
            // end every run here and hold back every row after it. It stays on this device, unsent.
            qint64 lineBytes = upload.clientLine().size() - 1;
            if (lineBytes > kSyncMaxLineBytes && row->deleted && (noun == C::BibleNotes || noun == C::BookNotes)) {
                // The deletion of a note that was too large: the other side needs only which note
                // went (the text is the last field), not what it said.
                params.last().clear();
                upload = SyncCommand(verb, nounWord(noun), params);
                lineBytes = upload.clientLine().size() - 1;
            }
            if (lineBytes > kSyncMaxLineBytes) {
                m_sentUpTo = row->recid;
                refuseRow(row->recid,
                    QStringLiteral("%1 is too large to sync (%2; the Cloud server takes at most %3). It is kept on "
                                   "this device; shorten it to sync it. The rest of your data syncs without it.")
                        .arg(describeRow(noun, *row), megabytes(lineBytes), megabytes(kSyncMaxLineBytes)),
                    true);
                continue;
            }
            m_sent = row;
            m_sentUpTo = row->recid;
            if (!write(upload)) {
                reportError(QStringLiteral("Programming error: Couldn't write SYNC %1 command.").arg(nounWord(noun)));
                return;
            }
            ++m_progressRecordCount;
            QString message = QString::fromLatin1(m->sending);
            reportProgress(&message);
            return;
        }
    }
    reportProgress(nullptr);
    finishType(true);
}

void SyncExchange::acknowledged(const SyncCommand& command)
{
    const bool isAdd = command.verbNumber() == C::Added;
    if (command.noun() != QLatin1String("SUCCESS")) {
        const QString message = command.parameterCount() >= 4
            ? QStringLiteral("Error while %1 %2 record %3 %4 server: %5")
                  .arg(isAdd ? QStringLiteral("adding") : QStringLiteral("deleting"), command.paramAtIndex(0),
                      command.paramAtIndex(1), isAdd ? QStringLiteral("to") : QStringLiteral("from"),
                      command.paramAtIndex(3))
            : QStringLiteral("Unknown error from server in response to %1 command.").arg(command.verb());
        // The refused row keeps serverid 0 and goes up in a later run; the rows after it go on now.
        if (isAnswerToTheUpload(command)) {
            refuseRow(m_sent->recid, message);
            sendNextAddOrDelete();
            return;
        }
        endRun(message);
        return;
    }
    if (command.parameterCount() < 3) {
        endRun(QStringLiteral("Bad record received from server. Not enough parameters."));
        return;
    }
    const qint64 noun = C::nounNum(command.paramAtIndex(0));
    if (!C::isRecordTypeNoun(noun)) {
        endRun(QStringLiteral("Bad record received from server. Record type invalid."));
        return;
    }
    const std::optional<qint64> recid = toInt64(command.paramAtIndex(1));
    if (!recid) {
        endRun(QStringLiteral("Bad record received from server. Client record ID invalid."));
        return;
    }
    const std::optional<qint64> serverId = toInt64(command.paramAtIndex(2));
    if (!serverId) {
        endRun(QStringLiteral("Bad record received from server. Server record ID invalid."));
        return;
    }
    if (m_goal != Syncing || m_syncPhase != 1 || !m_sent || noun != m_recordType || *recid != m_sent->recid) {
        endRun(QStringLiteral("Bad record received from server. Unexpected acknowledgement."));
        return;
    }
    if (isDataNoun(noun) && *serverId > 0) {
        // Only the state that went up is acknowledged (an edit made meanwhile stays unsynced); the
        // acknowledgements are stored together.
        m_acknowledgedNoun = noun;
        m_acknowledged.push_back({*m_sent, *serverId});
        if (static_cast<int>(m_acknowledged.size()) >= kRecordsPerTransaction && !storeAcknowledgements()) {
            reportError(storeErrorOf(noun));
            failRun();
            finishType(false);
            return;
        }
    }
    sendNextAddOrDelete();
}

// An error line that answers the upload waiting for its acknowledgement: the one row outstanding, named
// by its type and record id when the line names one.
bool SyncExchange::isAnswerToTheUpload(const SyncCommand& command) const
{
    if (m_goal != Syncing || m_syncPhase != 1 || !m_sent || !isDataNoun(m_recordType))
        return false;
    const qint64 verb = command.verbNumber();
    if (verb == C::Added || verb == C::Deleted) {
        if ((verb == C::Deleted) != m_sent->deleted)
            return false;
        if (command.parameterCount() >= 2)
            return C::nounNum(command.paramAtIndex(0)) == m_recordType &&
                toInt64(command.paramAtIndex(1)) == std::optional<qint64>(m_sent->recid);
    }
    return true;
}

}  // namespace qs::cloud

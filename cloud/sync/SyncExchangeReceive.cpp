#include <QCoreApplication>
#include <QDebug>

#include <algorithm>
#include <optional>

#include "cloud/protocol/SyncRecordTypes.h"
#include "cloud/sync/SyncExchange.h"
#include "cloud/sync/SyncMessages.h"
#include "engine/references/cBibleRefTables.h"
#include "userdata/SyncLineLimit.h"
#include "userdata/UserDataHooks.h"

// The receiving half of a type's exchange: the server's records are read whole or left out, applied
// by match key in batches of one transaction, and what was left out is counted for the type's
// summary.

namespace qs::cloud {

namespace {

using C = SyncCommand;

// Whether a versification of the reference tables numbers this chapter and verse of the book: a row
// of the verse map covers it on its own side (the King James numbering of every canonical chapter
// is there), or maps other verses onto it. Verse 0 stands for the chapter itself. A book the map has
// no row for (none of the tables' versifications counts its verses) is not judged: nullopt.
std::optional<bool> versificationHas(const cBibleRefTables& tables, int book, int chapter, int verse)
{
    bool bookKnown = false;
    for (const VerseMapRow& row : tables.verseMap().rows) {
        if (row.sourceBook == book) {
            bookKnown = true;
            if (row.sourceChapter == chapter &&
                (verse == 0 ||
                    (verse >= row.sourceFirstVerse &&
                        (row.sourceLastVerse == kToChapterEnd || verse <= row.sourceLastVerse))))
                return true;
        }
        if (row.targetBook == book) {
            bookKnown = true;
            if (row.targetChapter != chapter)
                continue;
            if (verse == 0 || row.sourceLastVerse == kToChapterEnd)
                return true;
            const int span = row.sourceLastVerse - row.sourceFirstVerse;
            const int reach = row.targetFirstVerse + row.step * span;
            if (verse >= std::min<int>(row.targetFirstVerse, reach) &&
                verse <= std::max<int>(row.targetFirstVerse, reach))
                return true;
        }
    }
    return bookKnown ? std::optional<bool>(false) : std::nullopt;
}

// Whether a Bible can show a received record of a verse: its book is one a versification of the
// reference tables knows (a book number with a name, or one a translation lists), its chapter and
// verse each fit the byte a verse key gives them (255 there stands for a whole book or chapter, never
// a verse), the chapter is one a Bible numbers (from 1), and, where the tables count the book's
// verses, a versification has that chapter and verse (no Bible shows Exodus 5:100). Records of
// other types have no verse.
bool isShownPlace(qint64 noun, const QStringList& fields)
{
    if (noun != C::BibleBookmarks && noun != C::BibleHighlights && noun != C::BibleNotes)
        return true;
    const qint64 book = fields.value(0).toLongLong();
    const qint64 chapter = fields.value(1).toLongLong();
    const qint64 verse = fields.value(2).toLongLong();
    if (book < 1 || book > 254 || chapter < 1 || chapter > 254 || verse < 0 || verse > 254)
        return false;
    const cBibleRefTables::Ptr tables = cBibleRefTables::current();
    bool bookKnown = tables->nameNumberOfBook(int(book)) > 0;
    for (int translation = 1; translation <= tables->translationCount() && !bookKnown; ++translation)
        bookKnown = tables->positionOfBook(translation, int(book)) >= 0;
    if (!bookKnown)
        return false;
    return versificationHas(*tables, int(book), int(chapter), int(verse)).value_or(true);
}

}  // namespace

void SyncExchange::receivedRecord(const SyncCommand& command)
{
    const qint64 verb = command.verbNumber();
    const bool isModify = verb == C::Modify;
    if (m_goal != Syncing || m_syncPhase != 0) {
        endRun(QStringLiteral("Bad record received from server. Unexpected record."));
        return;
    }
    // The record as far as it can be named: its kind, and its server id when that reads.
    const auto named = [&command] {
        const QString kind = recordKindOf(command.nounNumber());
        const std::optional<qint64> id = toInt64(command.paramAtIndex(1));
        return id ? QStringLiteral("A %1 (server record %2)").arg(kind).arg(*id) : QStringLiteral("A %1").arg(kind);
    };
    // A record that cannot be read whole is passed over: the rest of the type is stored and sent.
    const auto bad = [&](const QString& fault) {
        passOverRecord(command,
            QStringLiteral("Bad record received from server. %1 %2 was not stored.").arg(fault, named()),
            LeftOutReason::Unreadable);
    };
    if (command.parameterCount() < (isModify ? 3 : 4)) {
        bad(QStringLiteral("Not enough parameters."));
        return;
    }
    const std::optional<qint64> clientRecid = toInt64(command.paramAtIndex(0));
    if (!clientRecid) {
        bad(QStringLiteral("Client record ID invalid."));
        return;
    }
    const std::optional<qint64> serverId = toInt64(command.paramAtIndex(1));
    if (!serverId) {
        bad(QStringLiteral("Server record ID invalid."));
        return;
    }
    const std::optional<qint64> stamp = SyncLocalData::parseTime(command.paramAtIndex(2));
    if (!stamp) {
        bad(QStringLiteral("Modification time invalid."));
        return;
    }
    qint64 count = 1;
    if (!isModify) {
        const std::optional<qint64> c = toInt64(command.paramAtIndex(3));
        if (!c) {
            bad(QStringLiteral("Record count invalid."));
            return;
        }
        count = *c;
    }
    if (count > m_progressRecordsToReceive)
        m_progressRecordsToReceive = count;
    ++m_progressRecordCount;
    const qint64 noun = command.nounNumber();
    if (noun != m_recordType) {
        bad(QStringLiteral("Record type invalid."));
        return;
    }
    if (!isDataNoun(noun)) {
        m_connection.startReplyTimer();
        return;
    }
    QString message = QString::fromLatin1(messagesOf(noun)->receiving);
    reportProgress(&message);
    const SyncRecordType* type = cloud::syncRecordType(noun);
    const QStringList fields = command.parameters().mid(isModify ? 3 : 4);
    if (fields.size() < type->fields.size()) {
        bad(QStringLiteral("Not enough parameters."));
        return;
    }
    if (fields.size() > type->fields.size()) {
        // A separator inside a field (a note's text) split it: no field can be trusted to be whole.
        passOverRecord(command,
            QStringLiteral("Bad record received from server. %1 holds more fields than its type has; it was not "
                           "stored.")
                .arg(named()),
            LeftOutReason::Unreadable);
        return;
    }
    if (const std::optional<QString> fault = checkSyncRecordFields(*type, fields)) {
        if (noun == C::DevotionalStartDate && type->dateField >= 0 && !SyncLocalData::parseTime(fields.at(2)))
            bad(QStringLiteral("Devotional start date invalid."));
        else
            bad(*fault);
        return;
    }
    if (!isShownPlace(noun, fields)) {
        passOverRecord(command,
            QStringLiteral("%1 is for book %2, chapter %3, verse %4, which no Bible has; it was not stored.")
                .arg(named(), fields.at(0), fields.at(1), fields.at(2)),
            LeftOutReason::NoPlace);
        return;
    }
    // Records that arrive together are applied in one transaction (categories a record adds join it).
    if (!m_batchOpen)
        m_batchOpen = m_local.beginReceivedBatch();
    QString error;
    const std::optional<QStringList> columns = m_local.columnsFromWire(noun, fields, &error);
    if (!columns) {
        endRun(error);
        return;
    }
    const QString timestamp = SyncLocalData::colonTime(toClientTime(*stamp));
    bool ok = true;
    bool modified = false;
    if (isModify) {
        bool unread = false;
        const std::optional<SyncLocalRow> row = m_local.readByRecid(noun, *clientRecid, &unread);
        if (unread) {
            // The database could not be read (another program holds it): the run ends unstored, and
            // the record comes again with the next sync.
            endRun(storeErrorOf(noun));
            return;
        }
        if (!row) {
            const QString app = QCoreApplication::applicationName().isEmpty() ? QStringLiteral("Quillstead")
                                                                              : QCoreApplication::applicationName();
            passOverRecord(command,
                QStringLiteral("Server asked %1 to modify a record that doesn't exist. %2 was not stored.")
                    .arg(app, named()),
                LeftOutReason::Unreadable);
            return;
        }
        if (row->timestamp > timestamp) {
            // The local row changed after the server's version: the newer edit wins, as for a
            // received record. The row keeps its text and goes up in this run's upload phase.
            if (row->serverid != 0)
                ok = m_local.setServerId(noun, row->recid, 0);
        } else {
            ok = m_local.updateRow(noun, row->recid, *columns, timestamp, *serverId, row->deleted);
            modified = true;
        }
    } else {
        // The record's own match key finds the local row; an echoed record id is not trusted on its
        // own (record ids are per device), so it never removes a row that is not this record.
        bool unread = false;
        const std::optional<SyncLocalRow> row = m_local.findByMatchKey(noun, *columns, &unread);
        if (unread) {
            endRun(storeErrorOf(noun));
            return;
        }
        const bool isDelete = verb == C::Delete;
        if (!row) {
            if (!isDelete || count == 1) {
                ok = m_local.insertRow(noun, *columns, timestamp, *serverId, isDelete) != 0;
                modified = true;
            }
        } else if (row->timestamp > timestamp) {
            // The local row is newer: it goes up in this run's upload phase.
            if (row->serverid != 0)
                ok = m_local.setServerId(noun, row->recid, 0);
        } else if (isDelete && count != 1) {
            ok = m_local.removeRow(noun, row->recid);
            modified = true;
        } else {
            ok = m_local.updateRow(noun, row->recid, *columns, timestamp, *serverId, isDelete);
            modified = true;
        }
    }
    if (!ok) {
        endRun(storeErrorOf(noun));
        return;
    }
    if (modified) {
        m_someRecordsWereModified = true;
        if (noun == C::BookNotes) {
            const int section = columns->value(3).toInt();
            const auto pubid = static_cast<std::uint16_t>(columns->value(0).toUInt());
            const auto bookid = static_cast<std::uint16_t>(columns->value(1).toUInt());
            const auto edition = static_cast<std::uint8_t>(columns->value(2).toUInt());
            afterReceivedBatch(
                [=] { ::invalidateNoteSearchCache(kUserDataCacheNote, section, pubid, bookid, edition); });
        }
    }
    if (m_batchOpen && ++m_batchRecords >= kRecordsPerTransaction && !endReceivedBatch())
        return;
    m_connection.startReplyTimer();
}

void SyncExchange::passOverCutShortRecord(const SyncCommand& record)
{
    passOverRecord(record,
        QStringLiteral("Bad record received from server. A %1 (server record %2) was cut short by a stray "
                       "separator; it was not stored.")
            .arg(recordKindOf(record.nounNumber()), record.paramAtIndex(1)),
        LeftOutReason::Unreadable);
}

void SyncExchange::passOverRecord(const SyncCommand& record, const QString& message, LeftOutReason reason)
{
    m_passedOverRecord = true;
    // A record left out comes again at every sync while nothing newer of its type is stored (the
    // watermark is the highest stored server id): the user hears of it once in a session, unless
    // they ask for a sync, whose summary counts all it left out.
    QSet<QString>& said = m_saidLeftOut[m_recordType];
    const QString key = record.paramAtIndex(1) + QLatin1Char(' ') + record.paramAtIndex(2);
    if (!said.contains(key)) {
        // A memory that grew too large starts again: its records are said once more.
        if (said.size() >= kMaxSaidLeftOut)
            said.clear();
        said.insert(key);
        ++m_leftOut.notSaidBefore;
    }
    ++m_leftOut.count[static_cast<int>(reason)];
    // The log names each one, up to a point: a flood of them is counted, not written out.
    if (m_leftOut.total() <= kLeftOutNamedInLog)
        qWarning().noquote() << "sync: left out:" << message;
    else if (m_leftOut.total() == kLeftOutNamedInLog + 1)
        qWarning().noquote() << "sync: more records left out; the summary counts them";
    m_connection.startReplyTimer();
}

void SyncExchange::reportLeftOut()
{
    // Said when the user asked for the sync, or when a record not said before is among them; the
    // sentence counts all this sync left out.
    const LeftOut leftOut = std::exchange(m_leftOut, LeftOut());
    const bool say = leftOut.total() > 0 && (m_userAsked || leftOut.notSaidBefore > 0);
    if (!say || !m_delegate || !isDataNoun(m_recordType))
        return;
    m_delegate->syncRecordsLeftOut(
        leftOutSummary(m_recordType, leftOut.count[int(LeftOutReason::Unreadable)],
            leftOut.count[int(LeftOutReason::TooLong)], leftOut.count[int(LeftOutReason::NoPlace)]),
        m_userAsked);
}

bool SyncExchange::longLineReceived(const QByteArray& head)
{
    m_connection.stopReplyTimer();
    const QString tooLong = QStringLiteral("The Cloud server sent a line that is too long.");
    if (m_goal != Syncing || m_syncPhase != 0) {
        if (m_goal == Syncing)
            endRun(tooLong);
        return false;
    }
    // What the line holds, as far as its first bytes tell.
    QByteArray start = head;
    start.append(char(C::kRecordSeparator));
    const SyncCommand line = SyncCommand::fromReceivedBytes(start);
    const qint64 verb = line.verbNumber();
    const bool isRecord =
        (verb == C::Add || verb == C::Modify || verb == C::Delete) && C::isRecordTypeNoun(line.nounNumber());
    if (m_pendingRecord) {
        const SyncCommand record = std::move(*m_pendingRecord);
        m_pendingRecord.reset();
        if (!isRecord) {
            // The record before it was cut short by a stray separator: this is the rest of it.
            passOverCutShortRecord(record);
            m_droppingRemnant = true;
            return true;
        }
        receivedRecord(record);
        if (m_goal != Syncing)
            return false;
    }
    if (!isRecord) {
        // The rest of a record cut short (passed over already), or a line no reply of the protocol.
        if (!m_droppingRemnant) {
            endRun(tooLong);
            return false;
        }
        m_connection.startReplyTimer();
        return true;
    }
    m_droppingRemnant = false;
    passOverRecord(line,
        QStringLiteral("A %1 (server record %2) is longer than the %3 a line may hold; it was not stored.")
            .arg(recordKindOf(line.nounNumber()), line.paramAtIndex(1), megabytes(kSyncMaxLineBytes)),
        LeftOutReason::TooLong);
    return true;
}

}  // namespace qs::cloud

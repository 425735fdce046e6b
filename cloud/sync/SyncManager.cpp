#include "cloud/sync/SyncManager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>

#include "cloud/protocol/ServiceHost.h"
#include "cloud/protocol/SyncLineBuffer.h"
#include "cloud/protocol/SyncRecordTypes.h"
#include "cloud/sync/SyncConnection.h"
#include "engine/references/BibleRef.h"
#include "platform/UserDefaults.h"
#include "userdata/SyncLineLimit.h"
#include "userdata/UserDataHooks.h"
#include "userdata/cVerseHighlightStg.h"

namespace qs::cloud {

namespace {

using C = SyncCommand;

struct Messages {
    const char* counting;
    const char* starting;
    const char* receiving;
    const char* sending;
    const char* openError;
};

const Messages* messagesOf(qint64 noun)
{
    static const Messages m[] = {
        {"Counting Bible bookmarks...", "Updating Bible bookmarks...", "Receiving new/updated Bible bookmarks...",
            "Sending Bible bookmarks...", "Error opening the Bible bookmarks database."},
        {"Counting Bible highlights...", "Updating Bible highlights...", "Receiving new/updated Bible highlights...",
            "Sending Bible highlights...", "Error opening the Bible highlights database."},
        {"Counting Bible notes...", "Updating Bible notes...", "Receiving new/updated Bible notes...",
            "Sending Bible notes...", "Error opening the Bible notes database."},
        {"Counting book bookmarks...", "Updating book bookmarks...", "Receiving new/updated book bookmarks...",
            "Sending book bookmarks...", "Error opening the book bookmarks database."},
        {"Counting book/journal notes...", "Updating book/journal notes...",
            "Receiving new/updated book/journal notes...", "Sending book/journal notes...",
            "Error opening the book notes database."},
        {"Counting devotional progress...", "Updating devotional reading progress...",
            "Receiving new/updated devotional progress...", "Sending devotional progress...",
            "Error opening the devotional progress database."},
        {"Counting start dates...", "Updating devotional start dates...",
            "Receiving new/updated devotional start dates...", "Sending devotional start dates...",
            "Error opening the devotional progress database."},
        {"Counting color names...", "Updating highlight color names...", "Receiving new/updated color names...",
            "Sending highlight color names...", "Error opening the highlight color names database."},
    };
    if (noun < C::BibleBookmarks || noun > C::HighlightColorNames)
        return nullptr;
    return &m[noun - C::BibleBookmarks];
}

// The message of a failed write of the type's records.
QString storeErrorOf(qint64 noun)
{
    const Messages* m = messagesOf(noun);
    return QString::fromLatin1(m ? m->openError : messagesOf(C::BibleBookmarks)->openError);
}

bool isDataNoun(qint64 noun)
{
    return noun >= C::BibleBookmarks && noun <= C::HighlightColorNames;
}

std::optional<qint64> toInt64(const QString& text)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

QString usTime(qint64 calendarMs)
{
    // MM/DD/YYYY hh:mm:ss from the wire form "YYYY-MM-DD hh:mm:ss.mmm".
    const QString w = SyncLocalData::wireTime(calendarMs);
    return QStringLiteral("%1/%2/%3 %4").arg(w.mid(5, 2), w.mid(8, 2), w.left(4), w.mid(11, 8));
}

// What the user calls a type's records, for messages that name one.
QString recordKindOf(qint64 noun)
{
    switch (noun) {
    case C::BibleBookmarks:
        return QStringLiteral("Bible bookmark");
    case C::BibleHighlights:
        return QStringLiteral("Bible highlight");
    case C::BibleNotes:
        return QStringLiteral("Bible note");
    case C::BookBookmarks:
        return QStringLiteral("book bookmark");
    case C::BookNotes:
        return QStringLiteral("book/journal note");
    case C::DevotionalProgress:
        return QStringLiteral("devotional reading");
    case C::DevotionalStartDate:
        return QStringLiteral("devotional start date");
    case C::HighlightColorNames:
        return QStringLiteral("highlight color name");
    default:
        return QStringLiteral("record");
    }
}

// The opening words of a note's text (its markup left out), to tell the note apart.
QString openingWords(const QString& html)
{
    QString words;
    bool inTag = false;
    for (qsizetype i = 0; i < html.size() && i < 4000 && words.size() < 40; ++i) {
        const QChar c = html.at(i);
        if (c == QLatin1Char('<'))
            inTag = true;
        else if (c == QLatin1Char('>'))
            inTag = false;
        else if (!inTag && (c.isPrint() || c.isSpace()))
            words += c.isSpace() ? QLatin1Char(' ') : c;
    }
    words = words.simplified();
    return words.size() >= 40 ? words.left(39) + QChar(0x2026) : words;
}

// A local row as the user knows it: a note by its verse (a Bible note) or its section and opening
// words (a book or journal note).
QString describeRow(qint64 noun, const SyncLocalRow& row)
{
    const QStringList& c = row.columns;
    if (noun == C::BibleNotes) {
        const int book = c.value(0).toInt();
        const int chapter = c.value(1).toInt();
        const int verse = c.value(2).toInt();
        BibleRef ref;
        ref.setBibleKey(makeBibleKey(book, chapter, verse));
        QString where = ref.fullSpelling().trimmed();
        if (where.isEmpty())
            where = QStringLiteral("book %1, chapter %2, verse %3").arg(book).arg(chapter).arg(verse);
        return QStringLiteral("The Bible note on %1").arg(where);
    }
    if (noun == C::BookNotes) {
        // A journal note is a book note of the journal's own book, titled by its form name.
        constexpr int kJournalPubId = 24326;
        constexpr int kJournalBookId = 15184;
        if (c.value(0).toInt() == kJournalPubId && c.value(1).toInt() == kJournalBookId)
            return QStringLiteral("The journal note \u201C%1\u201D").arg(c.value(4));
        const QString words = openingWords(c.value(6));
        const QString where = QStringLiteral("section %1 of book %2:%3").arg(c.value(3), c.value(0), c.value(1));
        return words.isEmpty() ? QStringLiteral("The book note in %1").arg(where)
                               : QStringLiteral("The book note \u201C%1\u201D in %2").arg(words, where);
    }
    return QStringLiteral("A %1 (record %2)").arg(recordKindOf(noun)).arg(row.recid);
}

QString megabytes(qint64 bytes)
{
    const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    return QStringLiteral("%1 MB").arg(QString::number(mb, 'f', mb == static_cast<double>(qint64(mb)) ? 0 : 1));
}

static_assert(kSyncMaxLineBytes == SyncLineBuffer::kDefaultMaxLineBytes,
    "the note editor's limit and the server's line limit are the same");

SyncManager* gInstance = nullptr;

}  // namespace

SyncManager::SyncManager() = default;

SyncManager::~SyncManager()
{
    // What was received and acknowledged so far is kept.
    commitReceivedRecords();
    storeAcknowledgements();
    if (m_connection) {
        m_connection->onClosed = nullptr;
        m_connection->close();
    }
    if (gInstance == this)
        gInstance = nullptr;
}

SyncManager& SyncManager::instance()
{
    if (!gInstance)
        gInstance = new SyncManager();
    return *gInstance;
}

void SyncManager::resetInstance()
{
    delete gInstance;
    gInstance = nullptr;
}

void SyncManager::setServer(const QString& host, quint16 port)
{
    m_host = host;
    m_port = port;
}

void SyncManager::setReplyTimeoutMs(int ms)
{
    m_replyTimeoutMs = ms;
    if (m_connection)
        m_connection->setReplyTimeoutMs(ms);
}

bool SyncManager::hasConnection() const
{
    return m_connection && m_connection->isOpen();
}

QString SyncManager::nounWord(qint64 noun) const
{
    return noun >= 0 && noun < C::nounWords().size() ? C::nounWords().at(noun) : QString();
}

QHash<QString, QString> SyncManager::lastSyncTableNames()
{
    QHash<QString, QString> names;
    for (const SyncRecordType& t : syncRecordTypes())
        names.insert(t.nounWord, t.historyName);
    return names;
}

qint64 SyncManager::editingId(qint64 noun) const
{
    if (noun == C::BibleNotes)
        return m_bibleNoteBeingEditedId;
    if (noun == C::BookNotes)
        return m_bookNoteBeingEditedId;
    return 0;
}

// ---- requests ----

void SyncManager::buildDueTimes()
{
    if (m_dueBuilt)
        return;
    if (!m_local.open())
        return;
    const qint64 now = SyncLocalData::nowMs();
    for (const SyncRecordType& t : syncRecordTypes()) {
        const std::optional<QString> last = m_local.lastSyncTime(t.historyName);
        const std::optional<qint64> lastMs = last ? SyncLocalData::parseTime(*last) : std::nullopt;
        m_due.insert(t.noun, lastMs ? *lastMs + m_autoSyncFreq : now);
    }
    m_dueBuilt = true;
}

void SyncManager::setAutoSyncFreq(qint64 ms)
{
    if (ms == m_autoSyncFreq)
        return;
    const qint64 delta = ms - m_autoSyncFreq;
    m_autoSyncFreq = ms;
    if (m_dueBuilt) {
        for (auto it = m_due.begin(); it != m_due.end(); ++it)
            it.value() += delta;
    }
}

void SyncManager::syncAll(bool userAsked)
{
    // The run that serves this request reports its failure to the user whatever the settings.
    if (userAsked && !m_disabled)
        m_userAsked = true;
    for (qint64 noun : syncAllOrder())
        syncRecordType(noun, userAsked);
    conditionallyStartSync(userAsked);
}

void SyncManager::syncRecordTypeRequest(qint64 noun, bool now, qint64 editingId)
{
    if (!m_delegate || !m_delegate->syncAutomatically())
        return;
    syncRecordType(noun, now);
    if ((noun == C::BibleNotes || noun == C::BookNotes) && editingId > 0 &&
        (m_queue.contains(noun) || (m_goal == Syncing && m_recordType == noun))) {
        qint64& id = noun == C::BibleNotes ? m_bibleNoteBeingEditedId : m_bookNoteBeingEditedId;
        id = std::max(id, editingId);
    }
    conditionallyStartSync();
}

void SyncManager::syncRecordType(qint64 noun, bool now)
{
    if (m_disabled)
        return;
    if (!now) {
        buildDueTimes();
        if (!m_dueBuilt || SyncLocalData::nowMs() < m_due.value(noun, 0))
            return;
    }
    addToSyncQueue(noun);
}

void SyncManager::addToSyncQueue(qint64 noun)
{
    if (m_queue.contains(noun) || (m_goal == Syncing && m_recordType == noun))
        return;
    if (m_queue.isEmpty()) {
        m_progressRecordTypesSynced = 0;
        m_statusMessage.clear();
    }
    m_queue.append(noun);
}

void SyncManager::conditionallyStartSync(bool force)
{
    if (m_queue.isEmpty() || m_goal == Syncing)
        return;
    if (m_goal == Disconnecting) {
        endConnection();
        m_goal = Idle;
    }
    if (m_disabled) {
        m_userAsked = false;
        return;
    }
    // After failures only a sync the user asked for opens a connection before the back-off ends.
    if (!force && m_backoffUntil != 0 && QDateTime::currentMSecsSinceEpoch() < m_backoffUntil)
        return;
    if (!m_local.open()) {
        reportError(QStringLiteral("Error opening the Bible bookmarks database."));
        m_userAsked = false;
        return;
    }
    if (!hasConnection()) {
        QString host = m_host;
        quint16 port = m_port;
        if (host.isEmpty() || port == 0) {
            const ServiceHost service = ServiceHost::fromDefaults(UserDefaults::standardUserDefaults());
            host = service.syncHostName();
            port = service.syncPort();
        }
        if (!m_connection) {
            m_connection = std::make_unique<SyncConnection>();
            m_connection->onOpened = [this] {
                if (m_delegate)
                    m_delegate->syncCommStarted();
            };
            m_connection->onCommand = [this](const SyncCommand& c) { commandReceived(c); };
            m_connection->onLinesHandled = [this] { endReceivedBatch(); };
            m_connection->onTimeout = [this] { timedOut(); };
            m_connection->onError = [this](const QString& e) { reportError(e); };
            m_connection->onClosed = [this] { connectionClosed(); };
        }
        m_connection->setReplyTimeoutMs(m_replyTimeoutMs);
        m_isConnected = false;
        m_offset = kUnsetOffset;
        m_refusalReported = false;
        m_connection->open(host, port);
    }
    m_recordType = m_queue.takeFirst();
    m_goal = Syncing;
    m_runFailed = false;
    if (!m_isConnected)
        connectLogin();
    else if (iHaveRecordsToSend())
        getTime();
    else
        getCount();
}

// ---- whole-account operations ----

bool SyncManager::userHasSomeData()
{
    if (!m_local.open())
        return false;
    for (qint64 noun : syncAllOrder()) {
        if (m_local.hasRows(noun))
            return true;
    }
    return false;
}

bool SyncManager::userHasUnsyncedData()
{
    if (!m_local.open())
        return false;
    for (qint64 noun : syncAllOrder()) {
        if (m_local.countUnsynced(noun) > 0)
            return true;
    }
    return false;
}

bool SyncManager::userHasSomeSyncHistory()
{
    if (!m_local.open())
        return false;
    for (const SyncRecordType& t : syncRecordTypes()) {
        if (m_local.lastSyncTime(t.historyName))
            return true;
    }
    return false;
}

bool SyncManager::removeAllUserSyncHistory()
{
    if (!m_local.open())
        return false;
    storeAcknowledgements();
    const bool ok = m_local.removeAllSyncHistory();
    // Every type is due again.
    m_due.clear();
    m_dueBuilt = false;
    return ok;
}

bool SyncManager::removeAllUserData()
{
    if (!m_local.open())
        return false;
    storeAcknowledgements();
    QList<qint64> hadRows;
    for (qint64 noun : syncAllOrder()) {
        if (m_local.hasRows(noun))
            hadRows.append(noun);
    }
    const bool ok = m_local.removeAllUserData();
    m_due.clear();
    m_dueBuilt = false;
    if (hadRows.contains(C::BibleHighlights))
        ::clearColorSearchCache();
    if (m_delegate) {
        for (qint64 noun : hadRows)
            m_delegate->syncRecordTypeComplete(nounWord(noun), true);
    }
    return ok;
}

// ---- the run ----

bool SyncManager::write(const SyncCommand& command)
{
    return m_connection && m_connection->writeCommand(command);
}

// Commits the received records' transaction and runs what waited for it; false when the commit
// failed and the batch is lost.
bool SyncManager::commitReceivedRecords()
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
bool SyncManager::endReceivedBatch()
{
    if (commitReceivedRecords())
        return true;
    reportError(storeErrorOf(m_recordType));
    failRun();
    if (m_goal == Syncing)
        disconnect();
    return false;
}

void SyncManager::afterReceivedBatch(std::function<void()> work)
{
    if (m_batchOpen)
        m_afterBatch.push_back(std::move(work));
    else
        work();
}

// Stores the acknowledgements not stored yet, in one transaction. On failure they are dropped: their
// rows stay unsynced and go up again.
bool SyncManager::storeAcknowledgements()
{
    if (m_acknowledged.empty())
        return true;
    std::vector<SyncLocalData::Acknowledgement> acknowledged;
    acknowledged.swap(m_acknowledged);
    return m_local.storeAcknowledgements(m_acknowledgedNoun, acknowledged);
}

void SyncManager::connectLogin()
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

bool SyncManager::iHaveRecordsToSend()
{
    if (!isDataNoun(m_recordType))
        return m_recordType != C::ProgramSettings;
    bool failed = false;
    const bool found = m_local.firstUnsynced(m_recordType, &failed).has_value();
    return found || failed;
}

void SyncManager::getCount()
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

void SyncManager::getTime()
{
    if (m_offset != kUnsetOffset) {
        syncTable(m_recordType, true);
        return;
    }
    const qint64 now = SyncLocalData::nowMs();
    if (!write(SyncCommand(QStringLiteral("GET"), QStringLiteral("TIME"), {SyncLocalData::wireTime(now)})))
        reportError(QStringLiteral("Programming error: Couldn't write GET TIME command."));
}

void SyncManager::syncTable(qint64 noun, bool getServerId)
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
    qint64& editing = noun == C::BibleNotes ? m_bibleNoteBeingEditedId : m_bookNoteBeingEditedId;
    if ((noun == C::BibleNotes || noun == C::BookNotes) && highest >= 1 && editing > highest) {
        highest = editing;
        editing = 0;
    }
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

int SyncManager::getHighestRecordIdForTable(qint64 noun)
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

// The first unsynced row after `afterRecid` that was not refused in this run.
std::optional<SyncLocalRow> SyncManager::nextRowToSend(qint64 noun, bool* failed, qint64 afterRecid)
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
void SyncManager::refuseRow(qint64 recid, const QString& message, bool logEach)
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

void SyncManager::sendNextAddOrDelete()
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
                    reportError(QString::fromLatin1(m->openError));
                    failRun();
                    finishType(false);
                    return;
                }
                m_sentUpTo = 0;
                row = nextRowToSend(noun, &failed, 0);
            }
            if (failed) {
                reportError(QString::fromLatin1(m->openError));
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

void SyncManager::finishType(bool recordHistory)
{
    const qint64 noun = m_recordType;
    m_sent.reset();
    m_sentUpTo = 0;
    if (!storeAcknowledgements()) {
        reportError(storeErrorOf(noun));
        failRun();
        recordHistory = false;
    }
    if (recordHistory) {
        if (m_someRecordsWereModified) {
            if (noun == C::BibleHighlights) {
                cVerseHighlightStg::clearLastLookup();
                ::clearColorSearchCache();
            }
        }
        if (m_delegate && isDataNoun(noun))
            m_delegate->syncRecordTypeComplete(nounWord(noun), m_someRecordsWereModified);
        const SyncRecordType* type = cloud::syncRecordType(noun);
        const qint64 now = SyncLocalData::nowMs();
        // With a refused row the type is not in step: it stays out of the history (the refused row
        // goes up at its next sync, which comes when the type is next due or edited).
        if (type && isDataNoun(noun) && m_refused.isEmpty())
            m_local.recordSyncTime(type->historyName, now, 0, QString());
        buildDueTimes();
        m_due.insert(noun, now + m_autoSyncFreq);
    } else if (m_someRecordsWereModified && m_delegate && isDataNoun(noun)) {
        m_delegate->syncRecordTypeComplete(nounWord(noun), true);
    }
    write(SyncCommand(QStringLiteral("SYNC"), QStringLiteral("COMPLETE")));
    if (m_connection)
        m_connection->stopReplyTimer();
    ++m_progressRecordTypesSynced;
    conditionallyContinueOrDisconnect();
}

void SyncManager::conditionallyContinueOrDisconnect()
{
    m_goal = Idle;
    conditionallyStartSync(true);
    if (m_goal == Idle) {
        reportProgress(nullptr);
        disconnect();
    }
}

void SyncManager::disconnect()
{
    // What was applied and acknowledged so far stays.
    const bool kept = commitReceivedRecords();
    if (!(storeAcknowledgements() && kept))
        reportError(storeErrorOf(m_recordType));
    m_pendingRecord.reset();
    m_queue.clear();
    m_isConnected = false;
    m_bibleNoteBeingEditedId = 0;
    m_bookNoteBeingEditedId = 0;
    m_sent.reset();
    m_userAsked = false;
    if (m_runFailed) {
        ++m_failures;
        const qint64 backoff = std::min(kMaxBackoffMs, kFirstBackoffMs << std::min(m_failures - 1, 10));
        m_backoffUntil = QDateTime::currentMSecsSinceEpoch() + backoff;
    } else {
        m_failures = 0;
        m_backoffUntil = 0;
    }
    m_runFailed = false;
    m_goal = Disconnecting;
    if (!write(SyncCommand(QStringLiteral("DISCONNECT"), QString()))) {
        m_goal = Idle;
        return;
    }
    m_connection->closeWhenWritten();
}

void SyncManager::endConnection()
{
    if (m_connection)
        m_connection->close();
}

void SyncManager::failRun()
{
    m_runFailed = true;
}

void SyncManager::reportError(const QString& message)
{
    if (m_goal == Syncing)
        m_runFailed = true;
    if (m_delegate)
        m_delegate->syncErrorOccurred(message, m_userAsked);
}

void SyncManager::reportProgress(const QString* message)
{
    if (message)
        m_statusMessage = *message;
    if (!m_delegate)
        return;
    const qint64 sum = m_progressRecordsToReceive + m_progressRecordsToSend;
    float f = sum != 0 ? static_cast<float>(m_progressRecordCount) / static_cast<float>(sum) : 0.0f;
    f = std::min(f, 1.0f);
    const float n = f + static_cast<float>(m_progressRecordTypesSynced);
    float d = m_goal == Syncing ? static_cast<float>(m_queue.size() + m_progressRecordTypesSynced + 1) : 0.0f;
    while (d == 0.0f || n > d)
        d += 1.0f;
    m_delegate->syncProgressPercent(n / d, m_statusMessage);
}

// ---- received lines ----

void SyncManager::commandReceived(const SyncCommand& command)
{
    if (m_connection)
        m_connection->stopReplyTimer();
    const qint64 verb = command.verbNumber();
    // A received record is applied only once the line after it reads as a line: a record separator
    // inside a field ends the line early, so the record reads as sound with its text cut, and the rest
    // arrives as a line of its own that is no line of the protocol.
    if (m_pendingRecord) {
        const SyncCommand record = std::move(*m_pendingRecord);
        m_pendingRecord.reset();
        if (verb == C::kNotFound && m_goal == Syncing) {
            reportError(QStringLiteral("Bad record received from server. A %1 (server record %2) was cut short by a "
                                       "stray separator; it was not stored.")
                            .arg(recordKindOf(record.nounNumber()), record.paramAtIndex(1)));
            disconnect();
            return;
        }
        receivedRecord(record);
        if (m_goal != Syncing || !m_connection)
            return;
    }
    if ((verb == C::Add || verb == C::Modify || verb == C::Delete) && m_goal == Syncing && m_syncPhase == 0) {
        m_pendingRecord = command;
        if (m_connection)
            m_connection->startReplyTimer();
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
            reportError(QStringLiteral("Bad record received from server. Unexpected SYNC reply."));
            disconnect();
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
        reportError(QStringLiteral("Bad record received from server. Unexpected reply."));
        disconnect();
        return;
    }
}

void SyncManager::serverError(const SyncCommand& command, const QString& unknownText)
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

void SyncManager::connected(const SyncCommand& command)
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

void SyncManager::counted(const SyncCommand& command)
{
    if (command.noun() == QLatin1String("ERROR")) {
        if (command.parameterCount() >= 2)
            reportError(QStringLiteral("Server reported error: %1").arg(command.paramAtIndex(1)));
        else if (command.parameterCount() == 1)
            reportError(QStringLiteral("Server reported error: %1").arg(command.paramAtIndex(0)));
        else
            reportError(QStringLiteral("Unknown error from server (COUNT ERROR)"));
        disconnect();
        return;
    }
    if (command.parameterCount() < 2) {
        reportError(QStringLiteral("Bad record received from server. Not enough parameters."));
        disconnect();
        return;
    }
    const std::optional<qint64> count = toInt64(command.paramAtIndex(1));
    if (!count) {
        reportError(QStringLiteral("Bad record received from server. COUNT invalid."));
        disconnect();
        return;
    }
    if (*count != 0) {
        getTime();
        return;
    }
    buildDueTimes();
    m_due.insert(m_recordType, SyncLocalData::nowMs() + m_autoSyncFreq);
    ++m_progressRecordTypesSynced;
    m_progressRecordsToReceive = m_progressRecordsToSend = m_progressRecordCount = 0;
    reportProgress(nullptr);
    conditionallyContinueOrDisconnect();
}

void SyncManager::gotTime(const SyncCommand& command)
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
        reportError(QStringLiteral("There was a problem calculating the time difference between this device and the "
                                   "Cloud server. The time on your device may not be set properly."));
        disconnect();
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
        reportError(QStringLiteral("Programming error: Unknown goal."));
        disconnect();
        return;
    }
    syncTable(m_recordType, true);
}

void SyncManager::gotServerId(const SyncCommand& command)
{
    if (command.parameterCount() < 3) {
        reportError(QStringLiteral("Programming error: Not enough parameters (GOT SERVERID)."));
        disconnect();
        return;
    }
    const std::optional<qint64> time = SyncLocalData::parseTime(command.paramAtIndex(1));
    if (!time) {
        reportError(QStringLiteral("Programming error: Invalid date format"));
        disconnect();
        return;
    }
    const std::optional<qint64> serverId = toInt64(command.paramAtIndex(2));
    if (!serverId) {
        reportError(QStringLiteral("Programming error: Invalid server ID"));
        disconnect();
        return;
    }
    const qint64 noun = C::nounNum(command.paramAtIndex(0));
    if (!isDataNoun(noun) || noun != m_recordType) {
        reportError(QStringLiteral("Programming error: Can't map record type to local table name."));
        disconnect();
        return;
    }
    // The answered time is the server's; the rows are stamped by this device's clock. The stores stamp
    // a row to the whole second, so a row stamped in the second the sync ended may have been edited
    // after it: only rows whose second was over by then count as synced (the others go up again,
    // which costs a line; taking an edit for synced would lose it).
    m_local.assignServerIdUpTo(noun, SyncLocalData::colonTime(toClientTime(*time) - kRowStampResolutionMs), *serverId);
    syncTable(noun, false);
}

void SyncManager::receivedRecord(const SyncCommand& command)
{
    const qint64 verb = command.verbNumber();
    const bool isModify = verb == C::Modify;
    auto bad = [this](const QString& what) {
        reportError(QStringLiteral("Bad record received from server. %1").arg(what));
        disconnect();
    };
    if (m_goal != Syncing || m_syncPhase != 0) {
        bad(QStringLiteral("Unexpected record."));
        return;
    }
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
        m_connection->startReplyTimer();
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
        bad(QStringLiteral("A %1 (server record %2) holds more fields than its type has; it was not stored.")
                .arg(recordKindOf(noun), command.paramAtIndex(1)));
        return;
    }
    if (const std::optional<QString> fault = checkSyncRecordFields(*type, fields)) {
        if (noun == C::DevotionalStartDate && type->dateField >= 0 && !SyncLocalData::parseTime(fields.at(2)))
            bad(QStringLiteral("Devotional start date invalid."));
        else
            bad(*fault);
        return;
    }
    // Records that arrive together are applied in one transaction (categories a record adds join it).
    if (!m_batchOpen)
        m_batchOpen = m_local.beginReceivedBatch();
    QString error;
    const std::optional<QStringList> columns = m_local.columnsFromWire(noun, fields, &error);
    if (!columns) {
        reportError(error);
        disconnect();
        return;
    }
    const QString timestamp = SyncLocalData::colonTime(toClientTime(*stamp));
    bool ok = true;
    bool modified = false;
    if (isModify) {
        const std::optional<SyncLocalRow> row = m_local.readByRecid(noun, *clientRecid);
        if (!row) {
            const QString app = QCoreApplication::applicationName().isEmpty() ? QStringLiteral("Quillstead")
                                                                              : QCoreApplication::applicationName();
            reportError(QStringLiteral("Server asked %1 to modify a record that doesn't exist.").arg(app));
            disconnect();
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
        const std::optional<SyncLocalRow> row = m_local.findByMatchKey(noun, *columns);
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
        reportError(QString::fromLatin1(messagesOf(noun)->openError));
        disconnect();
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
        } else if (noun == C::BibleHighlights) {
            afterReceivedBatch([] { cVerseHighlightStg::clearLastLookup(); });
        }
    }
    if (m_batchOpen && ++m_batchRecords >= kRecordsPerTransaction && !endReceivedBatch())
        return;
    m_connection->startReplyTimer();
}

void SyncManager::acknowledged(const SyncCommand& command)
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
        reportError(message);
        disconnect();
        return;
    }
    if (command.parameterCount() < 3) {
        reportError(QStringLiteral("Bad record received from server. Not enough parameters."));
        disconnect();
        return;
    }
    const qint64 noun = C::nounNum(command.paramAtIndex(0));
    if (!C::isRecordTypeNoun(noun)) {
        reportError(QStringLiteral("Bad record received from server. Record type invalid."));
        disconnect();
        return;
    }
    const std::optional<qint64> recid = toInt64(command.paramAtIndex(1));
    if (!recid) {
        reportError(QStringLiteral("Bad record received from server. Client record ID invalid."));
        disconnect();
        return;
    }
    const std::optional<qint64> serverId = toInt64(command.paramAtIndex(2));
    if (!serverId) {
        reportError(QStringLiteral("Bad record received from server. Server record ID invalid."));
        disconnect();
        return;
    }
    if (m_goal != Syncing || m_syncPhase != 1 || !m_sent || noun != m_recordType || *recid != m_sent->recid) {
        reportError(QStringLiteral("Bad record received from server. Unexpected acknowledgement."));
        disconnect();
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
bool SyncManager::isAnswerToTheUpload(const SyncCommand& command) const
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

void SyncManager::timedOut()
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

void SyncManager::connectionClosed()
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
        if (m_recordType >= 0 && !m_queue.contains(m_recordType))
            m_queue.prepend(m_recordType);
        m_runFailed = true;
        ++m_failures;
        const qint64 backoff = std::min(kMaxBackoffMs, kFirstBackoffMs << std::min(m_failures - 1, 10));
        m_backoffUntil = QDateTime::currentMSecsSinceEpoch() + backoff;
        m_runFailed = false;
        m_recordType = -1;
        m_userAsked = false;
    }
}

}  // namespace qs::cloud

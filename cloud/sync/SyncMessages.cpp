#include "cloud/sync/SyncMessages.h"

#include "engine/references/BibleRef.h"
#include "userdata/SQLiteFailure.h"
#include "userdata/SyncLineLimit.h"

namespace qs::cloud {

namespace {

using C = SyncCommand;

}  // namespace

const SyncTypeMessages* messagesOf(qint64 noun)
{
    static const SyncTypeMessages m[] = {
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
    // The first want of room since the run began is the cause, whatever failed after it. Without a
    // type the words are those of all the synced data, never one kind the user may have none of.
    const bool isData = isDataNoun(noun);
    if (SQLiteFailure::diskFullSinceClear()) {
        const QString kind =
            isData ? recordKindOf(noun) + QLatin1Char('s') : QStringLiteral("notes, highlights and bookmarks");
        return QStringLiteral(
            "Cloud Sync could not save your %1: the disk is full. Free some space on it, then sync again.")
            .arg(kind);
    }
    if (!isData)
        return QStringLiteral("Error opening the database of your notes, highlights and bookmarks.");
    return QString::fromLatin1(messagesOf(noun)->openError);
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

QString leftOutSummary(qint64 noun, int unreadable, int tooLong, int noPlace)
{
    const int total = unreadable + tooLong + noPlace;
    const QString kind = recordKindOf(noun);
    const QString records = total == 1 ? kind : kind + QLatin1Char('s');
    if (total == unreadable) {
        return QStringLiteral("%1 %2 from the server could not be read and %3 left out.")
            .arg(QString::number(total), records, total == 1 ? QStringLiteral("was") : QStringLiteral("were"));
    }
    QStringList why;
    if (unreadable > 0)
        why << QStringLiteral("%1 could not be read").arg(unreadable);
    if (tooLong > 0) {
        why << QStringLiteral("%1 %2 longer than the %3 a line may hold")
                   .arg(QString::number(tooLong), tooLong == 1 ? QStringLiteral("was") : QStringLiteral("were"),
                       megabytes(kSyncMaxLineBytes));
    }
    if (noPlace > 0) {
        why << QStringLiteral("%1 %2 for a place no Bible has")
                   .arg(QString::number(noPlace), noPlace == 1 ? QStringLiteral("is") : QStringLiteral("are"));
    }
    return QStringLiteral("%1 %2 from the server %3 left out: %4.")
        .arg(QString::number(total), records, total == 1 ? QStringLiteral("was") : QStringLiteral("were"),
            why.join(QStringLiteral(", ")));
}

namespace {

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

}  // namespace

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

QString connectionFailureMessage(QAbstractSocket::SocketError error, const QString& detail, bool wasConnected)
{
    QString why;
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        why = QStringLiteral("connection refused");
        break;
    case QAbstractSocket::HostNotFoundError:
        why = QStringLiteral("the server's name was not found");
        break;
    case QAbstractSocket::SocketTimeoutError:
        why = QStringLiteral("no answer in time");
        break;
    case QAbstractSocket::NetworkError:
        why = QStringLiteral("the network is not available");
        break;
    case QAbstractSocket::SocketAccessError:
        why = QStringLiteral("this computer does not allow the connection");
        break;
    case QAbstractSocket::SslHandshakeFailedError:
        why = QStringLiteral("the secure connection failed");
        break;
    default:
        why = detail.trimmed();
        if (why.endsWith(QLatin1Char('.')))
            why.chop(1);
        if (why.size() > 1 && why.at(0).isUpper() && why.at(1).isLower())
            why[0] = why.at(0).toLower();
        if (why.isEmpty())
            why = QStringLiteral("a network error");
        break;
    }
    return wasConnected ? QStringLiteral("Cloud Sync lost the connection to the server (%1).").arg(why)
                        : QStringLiteral("Cloud Sync could not reach the server (%1).").arg(why);
}

QString nounWord(qint64 noun)
{
    return noun >= 0 && noun < SyncCommand::nounWords().size() ? SyncCommand::nounWords().at(noun) : QString();
}

}  // namespace qs::cloud

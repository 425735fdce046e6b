#include "cloud/protocol/SyncRecordTypes.h"

#include "cloud/protocol/SyncCommand.h"
#include "cloud/protocol/SyncTime.h"

namespace qs::cloud {

const std::vector<SyncRecordType>& syncRecordTypes()
{
    using C = SyncCommand;
    static const std::vector<SyncRecordType> types = {
        {C::BibleBookmarks, "BIBLEBOOKMARKS", "BibleBookmarks", "BibleBookmarks",
            {"book", "chapter", "verse", "category"}, {0, 1, 2}, -1, {0, 1, 2, 3}, {}},
        {C::BibleHighlights, "BIBLEHIGHLIGHTS", "VerseHighlights", "BibleHighlights",
            {"book", "chapter", "verse", "foreColor", "backColor"}, {0, 1, 2}, -1, {0, 1, 2}, {}},
        {C::BibleNotes, "BIBLENOTES", "BibleNotes", "BibleNotes", {"book", "chapter", "verse", "noteText"}, {0, 1, 2},
            -1, {0, 1, 2}, {}},
        {C::BookBookmarks, "BOOKBOOKMARKS", "BookBookmarks", "BookBookmarks",
            {"pubid", "bookid", "edition", "section", "category"}, {0, 1, 2, 3}, -1, {0, 1, 3, 4}, {}},
        {C::BookNotes, "BOOKNOTES", "BookNotes", "BookNotes",
            {"pubid", "bookid", "edition", "section", "formName", "fieldName", "noteText"}, {0, 1, 2, 3}, -1,
            {0, 1, 2, 3, 4, 5}, {4, 5}},
        {C::DevotionalProgress, "DEVOTIONALPROGRESS", "DevDataProgress", "DevotionalProgress",
            {"pubid", "bookid", "reading", "read"}, {0, 1, 2}, -1, {0, 1, 2}, {}},
        {C::DevotionalStartDate, "DEVOTIONALSTARTDATE", "DevDataInfo", "DevotionalStartDate",
            {"pubid", "bookid", "startDate"}, {0, 1}, 2, {0, 1}, {}},
        {C::HighlightColorNames, "HIGHLIGHTCOLORNAMES", "HighlightColorNames", "HighlightColorNames",
            {"colorNumber", "name"}, {0}, -1, {0}, {}},
        {C::ProgramSettings, "PROGRAMSETTINGS", "ProgramSettings", "ProgramSettings", {}, {}, -1, {}, {}},
    };
    return types;
}

const SyncRecordType* syncRecordType(qint64 noun)
{
    for (const SyncRecordType& t : syncRecordTypes()) {
        if (t.noun == noun)
            return &t;
    }
    return nullptr;
}

const SyncRecordType* syncRecordType(const QString& nounWord)
{
    return syncRecordType(SyncCommand::nounNum(nounWord));
}

QList<qint64> syncAllOrder()
{
    return {SyncCommand::BibleBookmarks, SyncCommand::BibleHighlights, SyncCommand::BibleNotes,
        SyncCommand::BookBookmarks, SyncCommand::BookNotes, SyncCommand::DevotionalProgress,
        SyncCommand::DevotionalStartDate, SyncCommand::HighlightColorNames};
}

qint64 packedVerseKey(qint64 book, qint64 chapter, qint64 verse)
{
    return ((book & 255) << 16) | ((chapter << 8) & 0xFFFF) | (verse & 255);
}

std::optional<QString> checkSyncRecordFields(const SyncRecordType& type, const QStringList& fields)
{
    if (fields.size() < type.fields.size())
        return QStringLiteral("Not enough record fields for %1.").arg(type.nounWord);
    for (int i : type.integerFields) {
        bool ok = false;
        fields.at(i).toLongLong(&ok);
        if (!ok)
            return QStringLiteral("Field %1 of %2 is not a number.").arg(type.fields.at(i), type.nounWord);
    }
    if (type.dateField >= 0 && !parseSyncTime(fields.at(type.dateField)))
        return QStringLiteral("Field %1 of %2 is not a date.").arg(type.fields.at(type.dateField), type.nounWord);
    return std::nullopt;
}

QString syncRecordMatchKey(const SyncRecordType& type, const QStringList& fields)
{
    if (type.noun == SyncCommand::BibleHighlights && fields.size() >= 3)
        return QString::number(
            packedVerseKey(fields.at(0).toLongLong(), fields.at(1).toLongLong(), fields.at(2).toLongLong()));
    QStringList parts;
    for (int i : type.matchKeyFields) {
        const QString value = i < fields.size() ? fields.at(i) : QString();
        if (type.integerFields.contains(i))
            parts.append(QString::number(value.toLongLong()));
        else if (type.caseInsensitiveKeyFields.contains(i))
            parts.append(value.toCaseFolded());
        else
            parts.append(value);
    }
    return parts.join(QChar(SyncCommand::kUnitSeparator));
}

}  // namespace qs::cloud

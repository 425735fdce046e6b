#include "studypane/StudyPaneRegionContentItemState.h"

#include "panes/layout/LayoutRect.h"
#include "platform/KeyedArchive.h"

#include <QDebug>
#include <QStringList>

QList<qint64> StudyPaneRegionContentItemState::arrayWithDefaultTabIDOrder()
{
    return {1, 2, 3, 4, 5, 6};
}

StudyPaneRegionContentItemState::StudyPaneRegionContentItemState() : tabIDOrder(arrayWithDefaultTabIDOrder())
{
    recentGoToVerseKeys.reserve(kMaxRecentVerses);
}

namespace {

QVariantList numbers(const QList<quint32>& keys)
{
    QVariantList out;
    for (quint32 k : keys)
        out.append(qint64(k));
    return out;
}

QVariantList numbers(const QList<qint64>& ids)
{
    QVariantList out;
    for (qint64 id : ids)
        out.append(id);
    return out;
}

// Elements that are no numbers are skipped; keys are cut to 32 bits as stored.
QList<quint32> keysFrom(const QVariantList& list)
{
    QList<quint32> out;
    for (const QVariant& v : list) {
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        if (ok && out.size() < StudyPaneRegionContentItemState::kMaxRecentVerses)
            out.append(static_cast<quint32>(n));
    }
    return out;
}

QList<qint64> idsFrom(const QVariantList& list)
{
    QList<qint64> out;
    for (const QVariant& v : list) {
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        if (ok && out.size() < 64)
            out.append(n);
    }
    return out;
}

std::optional<SourceTupleID> idFrom(const KeyedUnarchiver& u, const QString& key)
{
    const QVariant v = u.decodeObject(key);
    if (!v.isValid())
        return std::nullopt;
    return SourceTupleID::decode(v);
}

void encodeID(KeyedArchiver& a, const QString& key, const std::optional<SourceTupleID>& id)
{
    if (id)
        a.encodeObject(key, id->encode());
}

}  // namespace

QVariant StudyPaneRegionContentItemState::encode() const
{
    KeyedArchiver a(kArchiveClassName);
    a.encodeInt32(QStringLiteral("version"), kArchiveVersion);
    a.encodeInteger(QStringLiteral("selectedTabID"), selectedTabID);
    a.encodeFloat(QStringLiteral("manualStudyPaneWidth"), static_cast<float>(manualStudyPaneWidth));
    a.encodeArray(QStringLiteral("recentGoToVerseKeys"), numbers(recentGoToVerseKeys));
    encodeID(a, QStringLiteral("highlightPaneSourceTupleID"), highlightPaneSourceTupleID);
    a.encodeInteger(QStringLiteral("highlightPaneSelectedColorEnum"), highlightPaneSelectedColorEnum);
    encodeID(a, QStringLiteral("bookmarkPaneSourceTupleID"), bookmarkPaneSourceTupleID);
    a.encodeInteger(QStringLiteral("bookmarkPaneSelectedCatID"), bookmarkPaneSelectedCatID);
    encodeID(a, QStringLiteral("noteViewPaneSourceTupleID"), noteViewPaneSourceTupleID);
    a.encodeInteger(QStringLiteral("noteViewPaneSection"), noteViewPaneSection);
    a.encodeInteger(QStringLiteral("noteViewPaneBibleKey"), noteViewPaneBibleKey);
    a.encodeArray(QStringLiteral("tabIDOrder"), numbers(tabIDOrder));
    a.encodeString(QStringLiteral("noteViewPaneJournalTitle"), noteViewPaneJournalTitle);
    return a.archivedObject();
}

std::unique_ptr<StudyPaneRegionContentItemState> StudyPaneRegionContentItemState::decode(
    const QVariant& archived, QString* log)
{
    const KeyedUnarchiver u(archived);
    auto s = std::make_unique<StudyPaneRegionContentItemState>();
    // The reader starts from nothing, not from a new state's values.
    s->tabIDOrder.clear();
    bool haveOrder = false;
    const qint32 version = u.decodeInt32(QStringLiteral("version"));
    if (version >= 5 && version <= 8) {
        s->selectedTabID = u.decodeInteger(QStringLiteral("selectedTabID"));
        // A width no screen holds (or none at all) is read as no width of the user's.
        const double width = u.decodeFloat(QStringLiteral("manualStudyPaneWidth"));
        s->manualStudyPaneWidth = layoutNumberWithin(width, 0, kLayoutMaxReach) ? width : 0;
        s->recentGoToVerseKeys = keysFrom(u.decodeArray(QStringLiteral("recentGoToVerseKeys")));
        s->highlightPaneSourceTupleID = idFrom(u, QStringLiteral("highlightPaneSourceTupleID"));
        s->highlightPaneSelectedColorEnum =
            static_cast<quint16>(u.decodeInteger(QStringLiteral("highlightPaneSelectedColorEnum")));
        s->bookmarkPaneSourceTupleID = idFrom(u, QStringLiteral("bookmarkPaneSourceTupleID"));
        s->bookmarkPaneSelectedCatID =
            static_cast<quint16>(u.decodeInteger(QStringLiteral("bookmarkPaneSelectedCatID")));
        s->noteViewPaneJournalTitle = QStringLiteral("");
        if (version >= 6) {
            s->noteViewPaneSourceTupleID = idFrom(u, QStringLiteral("noteViewPaneSourceTupleID"));
            s->noteViewPaneSection = static_cast<quint32>(u.decodeInteger(QStringLiteral("noteViewPaneSection")));
            s->noteViewPaneBibleKey = static_cast<quint32>(u.decodeInteger(QStringLiteral("noteViewPaneBibleKey")));
        }
        if (version >= 7 && u.containsValueForKey(QStringLiteral("tabIDOrder"))) {
            s->tabIDOrder = idsFrom(u.decodeArray(QStringLiteral("tabIDOrder")));
            haveOrder = true;
        }
        if (version >= 8)
            s->noteViewPaneJournalTitle = u.decodeString(QStringLiteral("noteViewPaneJournalTitle"));
    } else {
        const QString line = QStringLiteral("Unrecognized Study Pane archive version (%1)").arg(version);
        if (log != nullptr)
            *log = line;
        else
            qWarning().noquote() << line;
    }
    if (!haveOrder)
        s->tabIDOrder = arrayWithDefaultTabIDOrder();
    return s;
}

QString StudyPaneRegionContentItemState::description() const
{
    auto idText = [](const std::optional<SourceTupleID>& id) {
        return id ? id->colonString() : QStringLiteral("(none)");
    };
    QStringList keys;
    for (quint32 k : recentGoToVerseKeys)
        keys << QString::number(k, 16);
    QStringList order;
    for (qint64 id : tabIDOrder)
        order << QString::number(id);
    return QStringLiteral("Study Panel State:\n"
                          "   selectedTabID = %1\n"
                          "   manualStudyPaneWidth = %2\n"
                          "   recentGoToVerseKeys = (%3)\n"
                          "   highlightPaneSourceTupleID = %4\n"
                          "   highlightPaneSelectedColorEnum = %5\n"
                          "   bookmarkPaneSourceTupleID = %6\n"
                          "   bookmarkPaneSelectedCatID = %7\n"
                          "   noteViewPaneSourceTupleID = %8\n"
                          "   noteViewPaneSection = %9\n"
                          "   noteViewPaneBibleKey = %10\n"
                          "   noteViewPaneJournalTitle = '%11'\n"
                          "   tabIDOrder = (%12)")
        .arg(selectedTabID)
        .arg(manualStudyPaneWidth)
        .arg(keys.join(QStringLiteral(", ")), idText(highlightPaneSourceTupleID))
        .arg(highlightPaneSelectedColorEnum)
        .arg(idText(bookmarkPaneSourceTupleID))
        .arg(bookmarkPaneSelectedCatID)
        .arg(idText(noteViewPaneSourceTupleID))
        .arg(noteViewPaneSection)
        .arg(noteViewPaneBibleKey)
        .arg(noteViewPaneJournalTitle, order.join(QStringLiteral(", ")));
}

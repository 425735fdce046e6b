#include "studypane/HighlightStore.h"

#include "engine/references/cBibleRef.h"
#include "library/EngineStrings.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/NotificationCenter.h"
#include "render/cHTMLColor.h"
#include "studypane/StudyPaneNotifications.h"
#include "userdata/SQLiteFailure.h"
#include "userdata/cHighlightColorNameStg.h"
#include "userdata/cVerseHighlightDoc.h"

void HighlightStore::post(const QString& name)
{
    if (m_center != nullptr)
        m_center->postNotificationName(name, this);
}

bool HighlightStore::highlightVerses(const QList<quint32>& keys, quint16 color)
{
    cVerseHighlightDoc* doc = m_highlights;
    if (doc == nullptr || keys.isEmpty())
        return false;
    bool ok = true;
    for (quint32 key : keys) {
        const cBibleRef reference(key);
        const SQLiteFailure::Watch watch;
        const bool done = color != 0 ? doc->setHighlight(reference, 0, color) : doc->removeHighlight(reference);
        // Another program holding the database is said (once until it takes writes again): the pages
        // show what the database holds, so a change that did not land is not shown as made.
        if (!done && watch.failed() && SQLiteFailure::lastWasAnotherProgram())
            doc->reportError(SQLITE_BUSY);
        ok = ok && done;
    }
    post(PaneNotifications::qsHighlightsHaveChangedNotification);
    return ok;
}

bool HighlightStore::removeHighlightsWithColor(quint16 color)
{
    cVerseHighlightDoc* doc = m_highlights;
    const bool ok = doc != nullptr && doc->deleteHighlightsWithColor(color != 0 ? std::int32_t(color) : -1, false);
    post(PaneNotifications::qsHighlightsHaveChangedNotification);
    return ok;
}

QString HighlightStore::defaultNameForStyle(quint32 value)
{
    const quint32 difference = value - 0x8002u;
    const quint32 index = (difference >> 1) | (difference << 31);
    switch (index) {
    case 0:
        return QStringLiteral("Bold");
    case 1:
        return QStringLiteral("Italic");
    case 3:
        return QStringLiteral("Underline");
    case 7:
        return QStringLiteral("Dotted Underline");
    case 11:
        return QStringLiteral("Dashed Underline");
    default:
        return QString();
    }
}

QString HighlightStore::nameForColorValue(quint16 value, bool noCustomNames) const
{
    if (!noCustomNames) {
        cHighlightColorNameStg store;
        cHighlightColorNameRecord record;
        if (store.findColorName(value, false, record))
            return EngineStrings::fromUtf16(record.name);
    }
    if ((value & 0x8000) != 0)
        return defaultNameForStyle(value);
    if (value < kHighlightColorRowCount)
        return QString::fromUtf8(highlightColorTable()[value].name);
    return QString();
}

void HighlightStore::renameColor(quint16 value, const QString& currentName, const QString& newName)
{
    cHighlightColorNameStg store;
    cHighlightColorNameRecord record;
    const bool hasRow = store.findColorName(value, false, record);
    const QString current = hasRow ? EngineStrings::fromUtf16(record.name) : currentName;
    if (current == newName)
        return;
    // Blanks and control characters go from both ends.
    qsizetype from = 0;
    qsizetype to = newName.size();
    auto blank = [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; };
    while (from < to && blank(newName[from]))
        ++from;
    while (to > from && blank(newName[to - 1]))
        --to;
    const QString trimmed = newName.mid(from, to - from);
    if (current == trimmed)
        return;
    record.colornum = value;
    record.name = EngineStrings::utf16(trimmed);
    if (hasRow) {
        record.serverid = 0;
        store.writeColorName(record, false, false);
    } else {
        record.clear();
        record.colornum = value;
        record.name = EngineStrings::utf16(trimmed);
        store.addColorName(record, false, false, false);
    }
    post(StudyPaneNotifications::qsHighlightColorNamesHaveChangedNotification);
}

void HighlightStore::deleteColorName(quint16 value)
{
    cHighlightColorNameStg store;
    cHighlightColorNameRecord record;
    if (store.findColorName(value, false, record))
        store.markColorNameDeleted(record, false, false, false);
    post(StudyPaneNotifications::qsHighlightColorNamesHaveChangedNotification);
}

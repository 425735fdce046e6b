#include "library/DisplayOptions.h"

#include "platform/UserDefaults.h"

#include <QStringList>

DisplayOptions DisplayOptions::fromSettings(const UserDefaults& settings)
{
    DisplayOptions o;
    o.oneVersePerParagraph = settings.boolForKey(QStringLiteral("oneVersePerParagraph"));
    o.hideVerseNumbers = settings.boolForKey(QStringLiteral("hideVerseNumbers"));
    o.showVerseNumbersBooksHide = settings.boolForKey(QStringLiteral("showMsgVerses"));
    const qsizetype style =
        QStringList {QStringLiteral("Show"), QStringLiteral("Verse"), QStringLiteral("Hide")}.indexOf(
            settings.stringForKey(QStringLiteral("highlightStyle")));
    o.highlightStyle = style < 0 ? HighlightStyle::Show : static_cast<HighlightStyle>(style);
    o.omitStrongsNumbers = !settings.boolForKey(QStringLiteral("strongsNumbers"));
    o.omitUserNoteLinks = settings.boolForKey(QStringLiteral("hideNoteLinks"));
    o.enableTempHighlights = settings.boolForKey(QStringLiteral("highlightLinkedPassage"));
    return o;
}

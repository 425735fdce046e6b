#include "library/DisplayOptions.h"

#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QStringList>

DisplayOptions DisplayOptions::fromSettings(const UserDefaults& settings)
{
    DisplayOptions o;
    o.oneVersePerParagraph = settings.value(SettingsKeys::OneVersePerParagraph);
    o.hideVerseNumbers = settings.value(SettingsKeys::HideVerseNumbers);
    o.showVerseNumbersBooksHide = settings.value(SettingsKeys::ShowMsgVerses);
    const qsizetype style =
        QStringList {QStringLiteral("Show"), QStringLiteral("Verse"), QStringLiteral("Hide")}.indexOf(
            settings.value(SettingsKeys::HighlightStyle));
    o.highlightStyle = style < 0 ? HighlightStyle::Show : static_cast<HighlightStyle>(style);
    o.omitStrongsNumbers = !settings.value(SettingsKeys::StrongsNumbers);
    o.omitUserNoteLinks = settings.value(SettingsKeys::HideNoteLinks);
    o.enableTempHighlights = settings.value(SettingsKeys::HighlightLinkedPassage);
    return o;
}

// MenuText: a name the user typed (a layout, a category) or a book gave, put where Qt reads an "&" as
// the mark of a keyboard mnemonic (tab bars, menu items, buttons), so that it is shown as written:
// "Gospels & Notes" stays that, not "Gospels _Notes". Any thread.
#pragma once

#include <QString>

namespace MenuText {

// The text to hand to a tab, menu item or button for `name` to show as written.
inline QString asWritten(QString name)
{
    return name.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// The name back from such a text.
inline QString nameOf(QString text)
{
    return text.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

}  // namespace MenuText

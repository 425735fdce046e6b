// SearchResultPage: the HTML page of one verse or section as the study pane's lists draw it with a
// text document: the search-results style sheet, and the text without the elements the style sheet
// hides (Strong's numbers, footnote markers), which a text document would otherwise show.
// Pure functions; main thread (the style sheet reads the display settings of the defaults given).
#pragma once

#include <QSet>
#include <QString>

class UserDefaults;

namespace SearchResultPage {

// The full page of a body, with the search-results style sheet of the display settings in `defaults`
// (none without defaults).
QString page(const UserDefaults* defaults, const QString& body);
// The classes a style sheet hides with simple ".name { ... display:none ... }" rules.
QSet<QString> hiddenClasses(const QString& css);
// The HTML without the elements of those classes (nested elements of the same name counted).
QString withoutHiddenElements(const QString& html, const QSet<QString>& hidden);

}  // namespace SearchResultPage

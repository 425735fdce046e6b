// SchemePalette: the palette of the window's own controls (the pane's tab bar and title, the study
// pane's buttons, labels, check boxes, fields and lists) where they stand on the page background of
// the user's colour scheme rather than on the desktop's. While the desktop's label colour reads on
// that background the controls keep the desktop's palette; on a background where it does not (a
// black page for night reading under a light desktop) they take black or white labels, whichever
// reads, and buttons a shade of the background. Fields and lists take the page's background and
// text colours (the text made readable there) unless the desktop's already are the page's, so that
// the verses they draw in the page's own style sheet sit on the page's colour, not in a box of it on
// the desktop's white; the current
// tab of a tab bar is given the lightest of the shades on a dark page, so that it stands out from
// the others on any scheme. Main thread only.
#pragma once

#include <QPalette>
#include <QString>

class QWidget;

namespace SchemePalette {

// The palette for controls drawn on `backColor` ("#rrggbb") with the page's text in `textColor`,
// made from `desktop`; `desktop` itself when `backColor` is not a colour, or when the desktop's
// label colour reads there and its fields and lists are already of the page's colours.
QPalette forBackground(const QPalette& desktop, const QString& backColor, const QString& textColor = QString());

// The style sheet rule that sets the current tab of a tab bar apart on `backColor` where the
// desktop's style does not (a near-black page); empty where it does.
QString currentTabRule(const QPalette& desktop, const QString& backColor);

// Gives `widget` and its children forBackground(the application's palette, backColor, textColor),
// or gives them back the inherited palette when that is the desktop's. Children under a style
// sheet, which inherit no palette, are given it one by one, and tab bars currentTabRule after
// their own sheet: call again when such children join.
void apply(QWidget* widget, const QString& backColor, const QString& textColor = QString());

}  // namespace SchemePalette

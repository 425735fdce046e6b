// SchemePalette: the palette of the window's own controls (the pane's tab bar and title, the study
// pane's buttons, labels and check boxes) where they stand on the page background of the user's
// colour scheme rather than on the desktop's. While the desktop's label colour reads on that
// background the controls keep the desktop's palette; on a background where it does not (a black
// page for night reading under a light desktop) they take black or white labels, whichever reads,
// and buttons a shade of the background. Fields and lists keep the desktop's base and text colours.
// Main thread only.
#pragma once

#include <QPalette>
#include <QString>

class QWidget;

namespace SchemePalette {

// The palette for controls drawn on `backColor` ("#rrggbb"), made from `desktop`; `desktop` itself
// when its label colour reads there or `backColor` is not a colour.
QPalette forBackground(const QPalette& desktop, const QString& backColor);

// Gives `widget` and its children forBackground(the application's palette, backColor), or gives
// them back the inherited palette when that is the desktop's. Children under a style sheet, which
// inherit no palette, are given it one by one: call again when such children join.
void apply(QWidget* widget, const QString& backColor);

}  // namespace SchemePalette

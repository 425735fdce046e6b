// Bringing back a recorded layout (Back and Forward in the navigation history): the snapshot
// takes the place of the layout it was recorded from, while what is no place stays as it is now:
// the layout's name, the location-sync switches of every tab and book pane that the snapshot also
// holds (matched by the tab's identity), and the study pane with its present width and its live
// contents.
//
// Main thread only, like the layout manager.
#pragma once

#include <QString>
#include <QVariant>

class Layout;
class LayoutManager;

namespace LayoutHistorySnapshot {

// When both layouts have a study region: the snapshot's study region keeps its left edge and
// takes the present study region's width (its right divider moves), and the present study
// contents (with their pane controller) move into the snapshot; `shown` receives the snapshot's
// recorded study contents in exchange.
void keepStudyPane(Layout& snapshot, Layout& shown);

// Each tab of `snapshot` that `shown` also holds (by item uuid) takes that tab's location-sync
// switches, and its book pane those of the pane that holds the tab now.
void keepLocationSyncSwitches(Layout& snapshot, const Layout& shown);

// Decodes the archived layout, keeps the name and the study pane of the manager's layout with that uuid and
// puts the snapshot in its place (the current layout follows when it was that one). Returns the
// restored layout; null, with nothing changed, when no layout has the uuid or the snapshot is
// not a readable layout of that uuid.
Layout* restore(LayoutManager& manager, const QString& layoutUuid, const QVariant& archivedLayout);

// Whether two archived layouts show the reader the same places: the same panes, each with the same
// books in its tabs, the same tab in front, and that tab at the same place (section, block, offset,
// anchor, highlight). The current pane, the dividers' positions, the tabs behind and the study pane
// are no place. False when either cannot be read.
bool showSamePlaces(const QVariant& archivedA, const QVariant& archivedB);

}  // namespace LayoutHistorySnapshot

// PopupMenu: shows a context or pop-up menu and runs the item chosen from it once the menu has
// closed. A command may remove what showed the menu (Close Pane from the pane's own page menu, a
// list that rebuilds itself): run from inside the menu it would delete the menu, and the widget
// that owns it, while Qt is still using both. Here the items' signals are held while the menu is
// open (submenus filled as they open included), and the chosen item's are sent once the menu has
// closed and returned; a menu made for this one showing is deleted after that, unless the item took
// it away already.
//
// Main thread only.
#pragma once

#include <QPoint>

class QMenu;

namespace PopupMenu {

enum class Afterwards {
    DeleteMenu,  // the menu was made for this showing
    KeepMenu,    // the menu belongs to its owner, which shows it again
};

// Shows `menu` at `globalPos` until it closes, then runs the chosen item (if any, and still enabled).
// With DeleteMenu the menu is deleted after the item has run, unless something deleted it already.
void exec(QMenu* menu, const QPoint& globalPos, Afterwards afterwards = Afterwards::DeleteMenu);

}  // namespace PopupMenu

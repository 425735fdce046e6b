// The context menu of the reader's own web views other than the book page (the note pages, the study
// reports): the web engine's menu for the place clicked, without its browser commands. Back, Forward
// and Reload would load the page again from the reader and drop what was typed into a note since its
// last save; saving the page, its source, new windows and downloads have no place in the reader.
// What is left (undo, cut, copy, paste, select all, copying a link, the spelling suggestions) acts as
// it does in the engine's own menu. Main thread only.
#pragma once

class QPoint;
class QWebEngineView;

namespace WebViewEditMenu {

// Shows the menu for the view's last context-menu request at `global` (the screen's coordinates);
// shows nothing where no command is left.
void show(QWebEngineView* view, const QPoint& global);

// Makes the view's right-click (and the keyboard's menu key) show that menu.
void attach(QWebEngineView* view);

}  // namespace WebViewEditMenu

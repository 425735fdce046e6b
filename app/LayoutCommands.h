// LayoutCommands: the screen layouts' commands: New Layout (the sheet of pane arrangements), Rename
// Layout (a prompt; an empty answer changes nothing) and Delete Layout (asked first; only while
// there are at least two layouts). It registers them in the main window's ActionRegistry with their
// places and states; the layout tab bar's "+" button and a right click on a tab run them too.
//
// Owned by the application controller, which makes a layout from a descriptor. Main thread only.
#pragma once

#include "panes/environment/WindowEnvironment.h"

#include <QObject>

class QuillsteadAppController;
class QuillsteadWindowController;

class LayoutCommands : public QObject {
    Q_OBJECT
public:
    LayoutCommands(
        const WindowEnvironment& environment, QuillsteadAppController& app, QuillsteadWindowController& window);

    void newLayout();
    void renameLayout();
    void deleteLayout();

private:
    WindowEnvironment m_environment;
    QuillsteadAppController& m_app;
    QuillsteadWindowController& m_window;
};

// HelpCommands: the Help menu: Quillstead Help (the help book, when it is installed, in the current
// layout), Check for Updates... and About Quillstead (the version and build, the credits and the
// device id). It registers them in the main window's ActionRegistry with their places.
//
// Owned by the application controller, which owns the update checker too. Main thread only.
#pragma once

#include "panes/environment/WindowEnvironment.h"

#include <QObject>
#include <QString>

class AppUpdateChecker;
class QuillsteadWindowController;

class HelpCommands : public QObject {
    Q_OBJECT
public:
    HelpCommands(const WindowEnvironment& environment, QuillsteadWindowController& window, AppUpdateChecker& updates);

    void openHelpBook();
    void showAbout();
    // What About Quillstead shows: the version and build, the credits, the device id.
    static QString aboutText();

private:
    WindowEnvironment m_environment;
    QuillsteadWindowController& m_window;
    AppUpdateChecker& m_updates;
};

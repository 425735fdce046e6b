// QuillsteadWindowHost: what the main window's controller asks of the application that owns it (the
// application controller). The window is handed its host when it is made and reaches nothing else above
// it: the commands are set up, layouts saved and restored, the state saved early, a toast shown and the
// book panes' hooks made through this. Main thread only.
#pragma once

#include <memory>

class BookPaneHooks;
class QString;
class QuillsteadWindowController;
struct WindowEnvironment;

class QuillsteadWindowHost {
public:
    // The window's commands, registered in its ActionRegistry.
    virtual void setupActions(QuillsteadWindowController& window) = 0;
    virtual void newLayoutFromDescriptor(const QString& descriptor) = 0;
    virtual void preemptiveSaveState() = 0;
    virtual void showToast(const QString& message) = 0;
    // The main window was closed: the program ends.
    virtual void applicationWillTerminate() = 0;
    virtual void restoreLayouts() = 0;
    virtual bool archiveLayouts() = 0;
    // Writes the layouts only when they differ from what was last written.
    virtual bool archiveLayoutsIfChanged() = 0;
    // The hooks the window's book panes call (notes, highlights, the study pane's services).
    virtual std::shared_ptr<BookPaneHooks> makeBookPaneHooks(const WindowEnvironment& environment) = 0;

protected:
    ~QuillsteadWindowHost() = default;
};

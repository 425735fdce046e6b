// PaneCommands: the commands that act on the active book pane and its layout: Close Book, About This
// Book, the new, split, close and maximize pane commands, the four scroll commands, Sync to Active
// Bible, Start and Stop Speaking, and Today's Reading. Each posts the request the pane manager or the
// active pane observes (object: this). It registers them in the main window's ActionRegistry with
// their places and states (the book commands need an active book, the splits a pane that can split,
// Stop Speaking a voice that speaks, Sync to Active Bible a Bible with Bible / commentary sync off).
//
// Owned by the application controller; the window controller it reads must outlive it. Main thread
// only.
#pragma once

#include "panes/environment/WindowEnvironment.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

class LayoutViewController;
class QuillsteadWindowController;

class PaneCommands : public QObject {
    Q_OBJECT
public:
    PaneCommands(const WindowEnvironment& environment, QuillsteadWindowController& window);

    // The split, with the direction the command's tag gives (1002: vertical).
    void newPane(int senderTag);
    void stopSpeaking();
    void syncToActiveBible();
    void goToToday();

private:
    void post(const QString& name, const QVariantMap& userInfo = {});
    QString currentLayoutUuid() const;
    const LayoutViewController* panes() const;
    bool haveBook() const;
    bool showsSyncToActiveBible() const;

    WindowEnvironment m_environment;
    QuillsteadWindowController& m_window;
};

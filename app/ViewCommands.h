// ViewCommands: the View menu's display toggles and settings: Strong's numbers and word attributes,
// the footnote markers (three states: hidden, collapsed, expanded), link previews, Bible /
// commentary sync, and the Display and Colors pages of the settings. Each toggle flips its user
// default and says so in a toast; those the page shows also post DisplayPreferencesChangedNotification
// first. It registers them in the main window's ActionRegistry with their places and check marks.
//
// Owned by the application controller, which shows the toasts and the settings. Main thread only.
#pragma once

#include "platform/UserDefaults.h"

#include "panes/environment/WindowEnvironment.h"

#include <QObject>
#include <QString>

class QAction;
class QuillsteadAppController;

class ViewCommands : public QObject {
    Q_OBJECT
public:
    ViewCommands(const WindowEnvironment& environment, QuillsteadAppController& app);

    void cycleFootnoteMarkers();

private:
    void toggle(const SettingKey<bool>& key, const QString& offText, const QString& onText, bool postDisplayChange);
    void postDisplayChange();
    // The footnote item's check mark, mixed state and text, from the stored style.
    void showFootnoteState(QAction& item) const;

    WindowEnvironment m_environment;
    QuillsteadAppController& m_app;
};

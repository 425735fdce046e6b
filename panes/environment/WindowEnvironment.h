// WindowEnvironment: the shared objects one main window works with, gathered in one value that the
// window hands to each pane, sub-pane, sheet and settings page when it makes it: the notification
// centre, the user defaults, the alerts, the layout manager, the library, the sync engine, the speech
// synthesizer, the window's commands, its link previews and its autostudy results window. The interface reaches none of these through a process-wide accessor: the
// application fills one environment from the program's shared objects at start-up, and a test
// fills its own (a private centre, defaults in a temporary folder, a recording alerts object...).
//
// A value of pointers; the objects it names outlive every window made with it. The accessors assume
// the member is set (a programming error otherwise). Main thread only.
#pragma once

#include <QString>
#include <QVariantMap>

#include <cassert>
#include <functional>
#include <memory>

class ActionRegistry;
class Alerts;
class LayoutManager;
class LinkPreview;
class NotificationCenter;
class SharedSpeechSynthesizer;
class SourceManager;
class UserDefaults;
namespace qs::cloud {
class SyncManager;
}

struct WindowEnvironment {
    NotificationCenter* center = nullptr;
    UserDefaults* defaults = nullptr;
    Alerts* alerts = nullptr;
    LayoutManager* layouts = nullptr;
    SourceManager* library = nullptr;
    // Null where no sync engine runs (most tests).
    qs::cloud::SyncManager* sync = nullptr;
    // The application's one speech voice; null where nothing speaks (most tests).
    SharedSpeechSynthesizer* speech = nullptr;
    // The window's commands; null before the window has made them, and in tests without a window.
    ActionRegistry* actions = nullptr;
    // The window's link previews (its router resolves the links); null: no link has a preview. Shared,
    // since the panes (owned by the layouts) can outlive the window, which clears its resolver then.
    std::shared_ptr<const LinkPreview> linkPreview;
    // Shows a finished autostudy report (its file is the presenter's from then on) with the
    // environment of the dialog that made it; empty: the report is dropped with a warning.
    std::function<void(const WindowEnvironment& env, const QString& file, const QString& notificationName,
        const QVariantMap& userInfo)>
        autostudyResults;

    NotificationCenter& notifications() const { return deref(center); }
    UserDefaults& settings() const { return deref(defaults); }
    Alerts& alert() const { return deref(alerts); }
    LayoutManager& layoutManager() const { return deref(layouts); }
    SourceManager& books() const { return deref(library); }

private:
    template <typename T> static T& deref(T* object)
    {
        assert(object != nullptr);
        return *object;
    }
};

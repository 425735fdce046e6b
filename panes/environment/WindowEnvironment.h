// WindowEnvironment: the shared objects one main window works with, gathered in one value that the
// window hands to each pane, sub-pane, sheet and settings page when it makes it: the notification
// centre, the user defaults, the alerts, the layout manager, the library, the user's note and highlight
// documents, the sync engine, the store clients, the speech synthesizer, the window's commands, its link previews, the autostudy manager
// and its results window. The interface reaches none of these through a process-wide accessor: the
// application fills one environment from the program's shared objects at start-up, and a test
// fills its own (a private centre, defaults in a temporary folder, a recording alerts object...).
//
// A value of pointers; the objects it names outlive every window made with it. The accessors of the
// five shared objects and of the autostudy manager assume it is set (a programming error otherwise);
// the other members may be empty. Main thread only.
#pragma once

#include <QString>
#include <QVariantMap>

#include <cassert>
#include <functional>
#include <memory>
#include <utility>

class ActionRegistry;
class AutoStudyManager;
class Alerts;
class cNoteDoc;
class cVerseHighlightDoc;
class LayoutManager;
class LinkPreview;
class NotificationCenter;
class SharedSpeechSynthesizer;
class SourceManager;
class UserDefaults;
namespace qs::cloud {
class StoreManagers;
class SyncManager;
}  // namespace qs::cloud

struct WindowEnvironment {
    // The notification centre, the user defaults, the alerts, the layout manager and the library:
    // each set by whoever fills the environment and read through its one accessor; `has...` tells
    // whether it was set (a test may leave out what its objects never ask for).
    NotificationCenter& notifications() const { return deref(m_center); }
    void setNotifications(NotificationCenter* center) { m_center = center; }
    bool hasNotifications() const { return m_center != nullptr; }
    UserDefaults& settings() const { return deref(m_defaults); }
    void setSettings(UserDefaults* defaults) { m_defaults = defaults; }
    bool hasSettings() const { return m_defaults != nullptr; }
    Alerts& alert() const { return deref(m_alerts); }
    void setAlert(Alerts* alerts) { m_alerts = alerts; }
    bool hasAlert() const { return m_alerts != nullptr; }
    LayoutManager& layoutManager() const { return deref(m_layouts); }
    void setLayoutManager(LayoutManager* layouts) { m_layouts = layouts; }
    bool hasLayoutManager() const { return m_layouts != nullptr; }
    SourceManager& books() const { return deref(m_library); }
    void setBooks(SourceManager* library) { m_library = library; }
    bool hasBooks() const { return m_library != nullptr; }

    // Null where no sync engine runs (most tests).
    qs::cloud::SyncManager* sync = nullptr;
    // The book-store clients (cloud/store/StoreManagers.h); null where no store window opens (most
    // tests, which hand their own managers to the store windows).
    qs::cloud::StoreManagers* store = nullptr;
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

    // The user's notes and highlights: the profile's documents, which the renderer and the sync engine
    // share, given by functions so the program opens them on first use, once its data folder is set.
    // Null where a test keeps none (nothing is found, every write fails).
    cNoteDoc* notes() const { return m_notes ? m_notes() : nullptr; }
    cVerseHighlightDoc* highlights() const { return m_highlights ? m_highlights() : nullptr; }
    void setUserDocuments(std::function<cNoteDoc*()> notes, std::function<cVerseHighlightDoc*()> highlights)
    {
        m_notes = std::move(notes);
        m_highlights = std::move(highlights);
    }

    // The autostudy elements, report style sheet and reports (reports/AutoStudyManager.h), given by a
    // function so the program can make them on first use, once the library is loaded.
    AutoStudyManager& autoStudy() const
    {
        assert(m_autoStudy);
        return m_autoStudy();
    }
    void setAutoStudy(std::function<AutoStudyManager&()> autoStudy) { m_autoStudy = std::move(autoStudy); }
    // A manager made by the caller, which keeps it for as long as the environment is used.
    void setAutoStudy(AutoStudyManager* manager)
    {
        m_autoStudy = [manager]() -> AutoStudyManager& { return deref(manager); };
    }

private:
    NotificationCenter* m_center = nullptr;
    UserDefaults* m_defaults = nullptr;
    Alerts* m_alerts = nullptr;
    LayoutManager* m_layouts = nullptr;
    SourceManager* m_library = nullptr;
    std::function<AutoStudyManager&()> m_autoStudy;
    std::function<cNoteDoc*()> m_notes;
    std::function<cVerseHighlightDoc*()> m_highlights;

    template <typename T> static T& deref(T* object)
    {
        assert(object != nullptr);
        return *object;
    }
};

// The pane manager of the main window. It owns the LayoutView, the navigation history and the
// go-to routing (with goToPanes(), the panes as the routing and the history see them), and answers
// the requests that concern "the current pane" (open or close a book, split, close or maximize a
// pane, scrolling, location sync memory) and the window controller's questions about the current
// pane. The study sub-pane commands are the layout view's (view()).
//
// The current pane is the current region of the layout manager's current layout; the current book
// pane is that region's controller when its contents have the empty kind and the controller is a
// LayoutBookPane. Every operation that needs one does nothing (false, null, "") without it.
//
// Made once by the main window controller, which places view() in its pane area and installs the
// pane factory (setPaneFactory) before the first layout is shown. It works with the window's
// layout manager, library, centre, defaults and alerts, which must outlive it. Application services above this layer come in as optional
// handlers (see the setters). Main thread only.
#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class Alerts;
class GoToRouter;
class Layout;
class LayoutBookPane;
class LayoutGoToPanes;
class LayoutManager;
class LayoutPaneFactory;
class LayoutSyncMemory;
class LayoutView;
class NavigationHistory;
class SourceManager;
class SourceTuple;
class UserDefaults;
struct GoToRequest;
struct WindowEnvironment;

class LayoutViewController : public QObject {
    Q_OBJECT
public:
    static double defaultStudyPaneWidth() { return 290; }
    static inline const QString kMaximizedPaneName = QStringLiteral("Maximized Pane");

    // Loads the navigation history from "<cacheDirectory>/history", then starts the routing and
    // observes the pane requests on the window's centre.
    LayoutViewController(const WindowEnvironment& window, const QString& cacheDirectory);
    ~LayoutViewController() override;

    LayoutView* view() const;
    NavigationHistory& history() { return *m_history; }
    GoToRouter& router() { return *m_router; }
    LayoutGoToPanes& goToPanes() { return *m_goToPanes; }
    LayoutManager& layoutManager() { return m_manager; }
    // Not owned; must outlive the view's panes.
    void setPaneFactory(LayoutPaneFactory* factory);

    // --- services of the application (optional) ---
    // Makes a layout from a descriptor with the study pane added and shows it (the application's
    // new-layout command, which also selects its layout tab). Default: done here.
    void setNewLayoutHandler(std::function<Layout*(const QString& descriptor)> handler);
    // Shows a book's properties window.
    void setBookPropertiesHandler(std::function<void(const std::shared_ptr<SourceTuple>&)> handler);
    // The application's preemptiveSaveState (layouts and history). Default: the history is saved.
    void setSaveStateHandler(std::function<void()> handler);
    // Web links; default: the system browser for both.
    void setWebLinkHandler(std::function<void(const QUrl&, bool inAppWindow)> handler);

    // Shows the layout manager's current layout (after the archive was read or a first layout made).
    void showCurrentLayout();
    // The application's new-layout-from-descriptor: a layout in the view's size, the study region
    // (default width, at the left, minimum width 6) added, made current and shown.
    Layout* newLayoutFromDescriptor(const QString& descriptor);

    // --- lifecycle ---
    void exitIsImminent();
    void preemptiveSaveState();
    void showBusyIndicator(bool show, int afterDelayMs);

    // --- pane management ---
    // Opens the books as tabs of the one book pane of a new layout, named `name` (when empty and
    // there is one book, after that book); the whole move is one state of the new layout's history.
    void doNewLayoutWithBooks(const std::vector<GoToRequest>& requests, const QString& name = QString());
    void splitActivePane(bool vertical);
    void closeActivePane();
    void maximizeCurrentPane();
    void maximizeCurrentBook();
    bool canCurrentPaneSplitHorizontally() const;
    bool canCurrentPaneSplitVertically() const;
    bool canToggleReadingComplete() const;
    // The current pane's reading is marked read.
    bool isCurrentReadingComplete() const;
    // Remembers the Bible place the layout shows now (the current pane's, else the first pane's that
    // shows a Bible) as the place a book opened in a new tab starts at: after Back and Forward, which
    // change the places shown without a go-to.
    void rememberPlaceShown();
    void nextBookPane();
    void previousBookPane();
    void resetLocationSyncToDefaults();

    // --- the current book pane ---
    LayoutBookPane* currentBookPane() const;
    // Gives the keys to the current book pane's page, once it shows: after a command that moved the
    // reader (a split, Back, a reading opened, a scroll), Page Down and the menu key act where the
    // reader now looks. Nothing without a current book pane.
    void giveKeysToCurrentPane();
    void nextBook();
    void previousBook();
    bool tryCopyFromBook();
    void onAutostudyVerse();
    void onAutostudyWord();
    std::shared_ptr<SourceTuple> activeSourceTuple() const;
    QString selectedBibleRefString() const;
    // Calls `done` once the current pane's selection is read as it is now (at once without a pane).
    void readSelectionNow(std::function<void()> done);
    QString selectedText() const;

private:
    void observe(const QString& name, std::function<void(Notification&)> handler);
    void addHistory(bool force);
    void everybodySyncToMe(const Notification& notification);
    void stepBookPane(bool forward);
    void postLayoutNameChanged();

    LayoutManager& m_manager;
    SourceManager& m_library;
    NotificationCenter& m_center;
    UserDefaults& m_defaults;
    Alerts& m_alerts;
    QPointer<LayoutView> m_view;
    std::unique_ptr<LayoutGoToPanes> m_goToPanes;
    std::unique_ptr<NavigationHistory> m_history;
    std::unique_ptr<GoToRouter> m_router;
    std::function<Layout*(const QString&)> m_newLayoutHandler;
    std::function<void(const std::shared_ptr<SourceTuple>&)> m_bookPropertiesHandler;
    std::function<void()> m_saveStateHandler;
    std::vector<Observation> m_observations;
    std::unique_ptr<LayoutSyncMemory> m_syncMemory;
};

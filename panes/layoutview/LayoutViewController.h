// The pane manager of the main window. It owns the LayoutView, the navigation history and the
// go-to routing (for which it is the GoToPanes), answers the requests that concern "the current
// pane" (open or close a book, split, close or maximize a pane, scrolling, location sync memory)
// and the window controller's questions about the current pane, and forwards the study sub-pane
// commands to the layout view.
//
// The current pane is the current region of the layout manager's current layout; the current book
// pane is that region's controller when its contents have the empty kind and the controller is a
// LayoutBookPane. Every operation that needs one does nothing (false, null, "") without it.
//
// Made once by the main window controller, which places view() in its pane area and installs the
// pane factory (setPaneFactory) before the first layout is shown. The layout manager, library,
// centre and defaults must outlive it. Application services above this layer come in as optional
// handlers (see the setters). Main thread only.
#pragma once

#include "library/GoToPanes.h"
#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class GoToRouter;
class Layout;
class LayoutBookPane;
class LayoutManager;
class LayoutPaneFactory;
class LayoutView;
class NavigationHistory;
class SearchResultsAggregator;
class SourceManager;
class SourceTupleID;
class UserDefaults;

class LayoutViewController : public QObject, public GoToPanes {
    Q_OBJECT
public:
    static double defaultStudyPaneWidth() { return 290; }
    // Per-layout location-sync memory in the user defaults ("%1": the layout's uuid).
    static QString syncBibleKeyDefault(const QString& layoutUuid)
    {
        return QStringLiteral("syncBibleKey:") + layoutUuid;
    }
    static QString syncWordSyncDefault(const QString& layoutUuid)
    {
        return QStringLiteral("syncWordSync:") + layoutUuid;
    }
    static inline const QString kMaximizedPaneName = QStringLiteral("Maximized Pane");

    // Loads the navigation history from "<cacheDirectory>/history", then starts the routing and
    // observes the pane requests on `center`.
    LayoutViewController(LayoutManager& manager, SourceManager& library, NotificationCenter& center,
        UserDefaults& defaults, const QString& cacheDirectory);
    ~LayoutViewController() override;

    LayoutView* view() const;
    NavigationHistory& history() { return *m_history; }
    GoToRouter& router() { return *m_router; }
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
    void doNewLayoutWithBooks(const std::vector<GoToRequest>& requests);
    void splitActivePane(bool vertical);
    void closeActivePane();
    void maximizeCurrentPane();
    void maximizeCurrentBook();
    bool canCurrentPaneSplitHorizontally() const;
    bool canCurrentPaneSplitVertically() const;
    bool canToggleReadingComplete() const;
    void nextBookPane();
    void previousBookPane();
    void resetLocationSyncToDefaults();

    // --- the current book pane ---
    LayoutBookPane* currentBookPane() const;
    void nextBook();
    void previousBook();
    bool tryCopyFromBook();
    void onAutostudyVerse();
    void onAutostudyWord();
    std::shared_ptr<SourceTuple> activeSourceTuple() const;
    QString selectedBibleRefString() const;
    QString selectedText() const;

    // --- the study pane, through the layout view ---
    void setShowStudyPane(bool show);
    bool isStudyPaneVisible() const;
    SearchResultsAggregator* searchResultsAggregatorForTuple(const SourceTupleID& id);
    void makeFindPaneCurrent();
    void makeGoToPaneCurrent();
    void makeFindInNotesPaneCurrent();
    void makeNotesPaneCurrent();
    void makeHighlightsPaneCurrent();
    void makeBookmarksPaneCurrent();
    void makeJournalPaneCurrent();
    void makeLibrarySearchPaneCurrent();
    void makeNavigatorPaneCurrent();

    // --- GoToPanes ---
    QString currentLayoutUuid() const override;
    int regionCount() const override;
    int currentRegion() const override;
    bool isBookPane(int region) const override;
    Book paneCurrentBook(int region) const override;
    std::vector<Book> paneTabBooks(int region) const override;
    bool paneDoesNotSendLocationSync(int region) const override;
    GoToPane* bookPane(int region) override;
    void makePaneCurrent(int region) override;
    void showBusyIndicator(bool show) override;
    void openWebLink(const QUrl& url, bool inAppWindow) override;
    bool hasLayout(const QString& layoutUuid) const override;
    int layoutRegionCount(const QString& layoutUuid) const override;
    bool paneShouldCaptureHistory(const QString& layoutUuid, int region) override;
    void paneWillCaptureHistory(const QString& layoutUuid, int region) override;
    QVariant archivedLayout(const QString& layoutUuid) override;
    bool restoreLayout(const QString& layoutUuid, const QVariant& archivedLayout) override;

private:
    void observe(const QString& name, std::function<void(Notification&)> handler);
    void addHistory(bool force);
    void everybodySyncToMe(const Notification& notification);
    void stepBookPane(bool forward);
    LayoutBookPane* bookPaneAt(int region) const;
    void postLayoutNameChanged();

    LayoutManager& m_manager;
    SourceManager& m_library;
    NotificationCenter& m_center;
    UserDefaults& m_defaults;
    QPointer<LayoutView> m_view;
    std::unique_ptr<NavigationHistory> m_history;
    std::unique_ptr<GoToRouter> m_router;
    std::function<Layout*(const QString&)> m_newLayoutHandler;
    std::function<void(const std::shared_ptr<SourceTuple>&)> m_bookPropertiesHandler;
    std::function<void()> m_saveStateHandler;
    std::function<void(const QUrl&, bool)> m_webLinkHandler;
    std::vector<Observation> m_observations;
};

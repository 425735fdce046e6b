// BookPaneViewController: one book pane of a screen layout. A tab bar (PaneTabBar) over a title
// bar and the book page (BookPageView), with a translucent overlay while the pane is not the
// current pane. The pane keeps no list of books of its own: its tabs mirror the items of the
// region's LayoutRegionContents, tab i showing item i and the current tab being the contents'
// current item.
//
// The pane is split along its groups of work, each a part it owns and reaches its siblings through:
// - tabs() (BookPaneTabs): the tab bar kept in step with the region's items, opening and closing
//   books, dragging tabs between panes;
// - pageHost() (BookPanePage): what the page asks of its pane (BookPageHost), the page sources,
//   the title bar, go-to and location sync between the panes of its layout;
// - commands() (BookPaneCommands): the commands on the page's selection and the context menu,
//   which also offers the window's pane commands from the window's ActionRegistry;
// - speech() (BookPaneSpeech): reading aloud through the shared SpeechSynthesizer.
// The pane itself holds the views, the life cycle the layout view drives, the pane's place in its
// layout, its current book, and the notifications it follows on its parts' behalf.
//
// Ownership: the region contents own the controller (LayoutRegionContents::setViewController); the
// controller owns its view (view()) until a parent widget takes it, and deletes it when it goes if
// the view is still alive. The layout manager is used to find the layout, the region and the other
// panes; without one (a pane made alone) the pane works on its contents only and has no layout
// uuid. Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layout/LayoutRegionContentsViewControllerProtocol.h"
#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

class ActionRegistry;
class BookPageView;
class BookPaneCommands;
class BookPaneHooks;
class BookPanePage;
class BookPaneScroller;
class BookPaneSpeech;
class BookPaneTabs;
class Layout;
class LayoutManager;
class LayoutRegion;
class PaneTabBar;
class QLabel;
class SourceManager;
class UserDefaults;
class BookPaneViewController;
class OverlayView;

// The pane's root view; the tab drop rule recognises a book pane by this class.
class BookPaneView : public QWidget {
    Q_OBJECT
public:
    explicit BookPaneView(BookPaneViewController* controller) : m_controller(controller) { }
    BookPaneViewController* viewController() const { return m_controller; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    BookPaneViewController* m_controller;
};

class BookPaneViewController : public QObject, public LayoutRegionContentsViewControllerProtocol {
    Q_OBJECT
public:
    static constexpr quint64 kNone = 9223372036854775807ULL;
    static constexpr quint32 kNoBlock = 4294967295U;

    struct Environment {
        // The window's objects: its centre, defaults, alerts and library are required; its layout
        // manager may be null (a pane made alone), and its commands too (no window items then).
        WindowEnvironment window;
        // The Find results of a book, to mark its found words on the page; none: nothing marked.
        std::function<std::shared_ptr<RenderSearchResults>(const SourceTuple::Ptr&)> searchResults;
        // What the pane asks of the parts above it (BookPaneHooks.h); null: the defaults, which
        // answer "nothing there" and do nothing.
        std::shared_ptr<BookPaneHooks> hooks;
    };

    BookPaneViewController(LayoutRegionContents* contents, Environment environment);
    ~BookPaneViewController() override;

    // The factory the layout view uses for a region of kind "": the pane, configured.
    static std::unique_ptr<BookPaneViewController> factory(LayoutRegionContents* contents, Environment environment);

    // --- the parts ---
    BookPaneTabs& tabs() const { return *m_tabs; }
    BookPanePage& pageHost() const { return *m_pageHost; }
    BookPaneCommands& commands() const { return *m_commands; }
    BookPaneSpeech& speech() const { return *m_speech; }

    // --- views and services ---
    BookPaneView* view() const { return m_view; }
    PaneTabBar* tabBar() const { return m_tabBar; }
    BookPageView* page() const { return m_page; }
    // The scroller beside the page that stands for the whole book.
    BookPaneScroller* scroller() const { return m_scroller; }
    const Environment& environment() const { return m_env; }
    QLabel* titleBar() const { return m_titleBar; }
    // Lies over the page while the pane has nothing for the place it follows (BookPanePage); hidden
    // otherwise.
    QLabel* nothingHereLabel() const { return m_nothingHere; }
    OverlayView* overlay() const { return m_overlay; }
    // Lays the shade over the pane below its tab row (after the pane's view changed size).
    void placeOverlay();
    LayoutRegionContents* regionContents() const { return m_contents; }
    const WindowEnvironment& window() const { return m_env.window; }
    BookPaneHooks& hooks() const { return *m_env.hooks; }

    // --- the pane in its layout ---
    Layout* layout() const;
    LayoutRegion* region() const;
    QString layoutUuid() const;
    bool isPaneCurrent() const;
    // How the pane asks to become the current pane of its layout (a click on its overlay, its add
    // button while not current). The layout view's adapter installs the layout view's way; alone,
    // the pane just makes itself current.
    void setMakeCurrentHandler(std::function<void()> handler) { m_makeCurrentHandler = std::move(handler); }
    void requestBecomeCurrent();
    // "AddStateToHistoryNotification" for the pane's layout, before (false) and after (true) a
    // change the user makes.
    void postHistory(bool alwaysAdd);
    // One user move in the pane: the state before it and the state after it are recorded once,
    // by the outermost step, however many of the pane's own steps the move passes through (a
    // closed tab selects its neighbour, an opened book selects its tab).
    class HistoryStep {
    public:
        explicit HistoryStep(BookPaneViewController& pane);
        ~HistoryStep();
        HistoryStep(const HistoryStep&) = delete;
        HistoryStep& operator=(const HistoryStep&) = delete;

    private:
        BookPaneViewController& m_pane;
    };
    // "ThisSourceIsNowActiveNotification" with the current book and place.
    void postSourceIsActive();
    // The pane changed what the history records (tabs, current tab, current pane).
    void setDirty() { m_dirty = true; }

    // --- LayoutRegionContentsViewControllerProtocol ---
    void makeYourselfCurrent(bool current) override;
    void exitIsImminent() override;
    bool shouldCaptureHistory() override;
    void willCaptureHistory() override;
    void willBeRemovedFromLayoutManager() override;

    // --- the current book ---
    LayoutRegionContentItemState* currentSourceState() const;
    SourceTuple::Ptr currentSourceTuple() const;
    quint64 currentSourceSection() const;
    qint64 currentSourceBlock() const;
    bool isABible() const;

signals:
    // The context menu's Location Sync... item: the pane's owner shows the options for this pane.
    void locationSyncSettingsRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Tab into and out of the page's input widget (the event is `event`, sent to it): true when handled.
    bool enteredOrLeftByTab(QEvent* event);
    // Watches a widget of the tab row and its children (presses, and the row's size).
    void watchTabRow(QWidget* widget);

private:
    void buildView();
    void observe();
    void stopObserving();

    LayoutRegionContents* m_contents;
    Environment m_env;
    std::vector<Observation> m_observations;
    std::unique_ptr<BookPaneTabs> m_tabs;
    std::unique_ptr<BookPanePage> m_pageHost;
    std::unique_ptr<BookPaneCommands> m_commands;
    std::unique_ptr<BookPaneSpeech> m_speech;
    QPointer<BookPaneView> m_view;
    bool m_viewGoing = false;
    PaneTabBar* m_tabBar = nullptr;
    QLabel* m_titleBar = nullptr;
    BookPageView* m_page = nullptr;
    QLabel* m_nothingHere = nullptr;
    BookPaneScroller* m_scroller = nullptr;
    OverlayView* m_overlay = nullptr;
    bool m_dirty = false;
    int m_historySteps = 0;
    std::function<void()> m_makeCurrentHandler;
};

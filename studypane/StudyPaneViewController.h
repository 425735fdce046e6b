// The study pane: the content of a layout region of kind "study", the narrow pane beside the book
// panes that hosts the study tools. It owns one controller per study tool (sub-pane), shows one of
// them at a time in its StudyPaneView, selects them through nine tabs (a row of buttons), keeps the
// sub-panes' remembered settings in the region's archived StudyPaneRegionContentItemState, keeps
// the stack of recently visited verses and passes application shutdown on to the sub-panes.
//
// Built here: the Find sub-pane (tab 1), the notes list (tab 5), the journal list (tab 7), the
// library search (tab 8) and the Navigator (tab 9). The other tabs have no sub-pane yet: their
// buttons are disabled and selecting them does nothing.
//
// Made on its own by `factory` (the layout view calls it through the application's pane factory,
// LayoutPaneFactory::makeStudyPane, and finds it again as a LayoutStudyPane);
// the view loads, and the pane configures itself from its region's state, on the first call of
// `paneView()`, which must come after the region contents hold this controller. The region
// contents own the controller; the controller owns its view and its sub-panes. Main thread only.
#pragma once

#include "panes/layout/LayoutRegionContentsViewControllerProtocol.h"
#include "panes/layoutview/LayoutPanes.h"
#include "platform/NotificationCenter.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPaneView.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <vector>

class Layout;
class QToolButton;
class SearchResultsAggregator;
class SourceTupleID;
class StudyPaneLibrarySearchViewController;
class StudyPaneNavigatorViewController;
class StudyPaneNotesListViewController;
class StudyPaneRegionContentItemState;
class StudyPaneSearchResultsViewController;
class StudyPaneViewControllerProtocol;

class StudyPaneViewController : public QObject,
                                public LayoutRegionContentsViewControllerProtocol,
                                public LayoutStudyPane {
    Q_OBJECT
public:
    enum TabID : qint64 {
        kFindTab = 1,
        kBookmarksTab = 2,
        kHighlightsTab = 3,
        kNoteViewEditTab = 4,
        kNotesListTab = 5,
        kGotoTab = 6,
        kJournalTab = 7,
        kLibraryTab = 8,
        kNavigatorTab = 9,
    };
    struct Tab {
        qint64 id;
        const char* label;
        const char* tooltip;
    };
    // The nine tabs by identifier (index id - 1).
    static const std::array<Tab, 9>& tabs();

    explicit StudyPaneViewController(StudyPaneEnvironment env);
    ~StudyPaneViewController() override;

    static std::unique_ptr<StudyPaneViewController> factory(
        StudyPaneEnvironment env = StudyPaneEnvironment::application());

    const StudyPaneEnvironment& environment() const { return m_env; }
    void setLayoutHost(StudyPaneLayoutHost* host) { m_env.layoutHost = host; }

    // The pane's view, loaded (and the pane configured) on the first call.
    StudyPaneView* paneView() override;
    bool isViewLoaded() const { return m_view != nullptr; }

    // --- tabs ---
    void makeFindPaneCurrent() override { makeTabCurrent(kFindTab); }
    void makeBookmarksPaneCurrent() override { makeTabCurrent(kBookmarksTab); }
    void makeHighlightsPaneCurrent() override { makeTabCurrent(kHighlightsTab); }
    void makeNoteViewEditPaneCurrent() override { makeTabCurrent(kNoteViewEditTab); }
    void makeNotesListPaneCurrent() override { makeTabCurrent(kNotesListTab); }
    void makeGotoPaneCurrent() override { makeTabCurrent(kGotoTab); }
    void makeJournalPaneCurrent() override { makeTabCurrent(kJournalTab); }
    void makeLibraryPaneCurrent() override { makeTabCurrent(kLibraryTab); }
    void makeNavigatorPaneCurrent() override { makeTabCurrent(kNavigatorTab); }
    // Selects the tab, or shows it again (expanding a collapsed pane) when it is selected already.
    // A tab without a sub-pane is not selected.
    void makeTabCurrent(qint64 id);
    // Whether the tab has a sub-pane here.
    bool isTabAvailable(qint64 id) const;
    // The tab identifiers in their order (the tab model; written to the state by updateTabIDOrder).
    const QList<qint64>& tabOrder() const { return m_tabOrder; }
    // Moves a tab to another place in the order, stores the order and saves the layouts at once.
    void moveTab(qint64 id, int toIndex);
    // The tab that is selected in the tab model (0 for none).
    qint64 selectedTabViewItem() const { return m_tabViewSelected; }

    // The shown sub-pane (not owned); null when none is shown.
    StudyPaneViewControllerProtocol* subpaneViewController() const { return m_subpane; }
    void setSubpaneViewController(StudyPaneViewControllerProtocol* subpane);
    StudyPaneSearchResultsViewController* studyPaneSearchResultsViewController() const { return m_find.get(); }
    StudyPaneNavigatorViewController* studyPaneNavigatorViewController() const { return m_navigator.get(); }
    StudyPaneNotesListViewController* studyPaneNotesListViewController() const { return m_notesList.get(); }
    StudyPaneNotesListViewController* studyPaneJournalListViewController() const { return m_journalList.get(); }
    StudyPaneLibrarySearchViewController* studyPaneLibrarySearchViewController() const { return m_library.get(); }

    // The study region is too narrow to show anything (hide) or wide enough again (show).
    void hidePaneContents() override;
    void showHiddenPaneContents() override;
    void showPaneContentsForSelectedTab();

    // --- recent verses ---
    // Puts the verse at the front of the recent-verses stack (at most 30, each verse once, compared
    // in the given translation's numbering).
    void pushKeyOnRecentStack(quint32 key, const QString& translation);

    // The Find sub-pane's results for the book, when it holds some.
    SearchResultsAggregator* searchResultsAggregatorForTuple(const SourceTupleID& id) override;
    // The notes list's results for the book (the journal list's for the journal), when it holds some.
    SearchResultsAggregator* notesSearchResultsAggregatorForTupleID(const SourceTupleID& id);

    // --- state ---
    // The state of the region's current item; null without a region, an item or a study state.
    StudyPaneRegionContentItemState* state() const;
    // The layout that holds this pane; null when none does.
    Layout* layout() const;
    QString layoutUuid() const;
    // Pass-through properties of the state (reads give zero or none without a state, writes are
    // dropped).
    double manualStudyPaneWidth() const;
    void setManualStudyPaneWidth(double width);
    QList<quint32> recentGoToVerseKeys() const;
    std::optional<SourceTupleID> highlightPaneSourceTupleID() const;
    void setHighlightPaneSourceTupleID(const std::optional<SourceTupleID>& id);
    quint16 highlightPaneSelectedColorEnum() const;
    void setHighlightPaneSelectedColorEnum(quint16 v);
    std::optional<SourceTupleID> bookmarkPaneSourceTupleID() const;
    void setBookmarkPaneSourceTupleID(const std::optional<SourceTupleID>& id);
    quint16 bookmarkPaneSelectedCatID() const;
    void setBookmarkPaneSelectedCatID(quint16 v);
    std::optional<SourceTupleID> noteViewPaneSourceTupleID() const;
    void setNoteViewPaneSourceTupleID(const std::optional<SourceTupleID>& id);
    quint32 noteViewPaneSection() const;
    void setNoteViewPaneSection(quint32 v);
    quint32 noteViewPaneBibleKey() const;
    void setNoteViewPaneBibleKey(quint32 v);
    QString noteViewPaneJournalTitle() const;
    void setNoteViewPaneJournalTitle(const QString& v);

    // The overflow menu's entries for the hidden buttons: (title, tab id), in menu order.
    QList<QPair<QString, qint64>> moreMenuEntries() const;
    void onMoreMenuButton();

    // --- LayoutRegionContentsViewControllerProtocol ---
    void makeYourselfCurrent(bool) override { }
    void exitIsImminent() override;
    bool shouldCaptureHistory() override { return false; }
    void willCaptureHistory() override { }
    void willBeRemovedFromLayoutManager() override { exitIsImminent(); }

private:
    void initialConfiguration();
    void configureTabBarInitially();
    void tabViewDidSelect(qint64 id);
    void showPaneForSelectedTab();
    void highlightButtonForSelectedTab();
    void updateTabIDOrder();
    void showSubpane(StudyPaneViewControllerProtocol* subpane);
    StudyPaneViewControllerProtocol* subpaneForTab(qint64 id) const;
    QToolButton* buttonForTab(qint64 id) const;
    void thisSourceIsNowActive();

    StudyPaneEnvironment m_env;
    StudyPaneView* m_view = nullptr;  // owned (deleted in the destructor unless Qt deleted it)
    QPointer<StudyPaneView> m_viewGuard;
    std::unique_ptr<StudyPaneSearchResultsViewController> m_find;
    std::unique_ptr<StudyPaneNavigatorViewController> m_navigator;
    std::unique_ptr<StudyPaneNotesListViewController> m_notesList;
    std::unique_ptr<StudyPaneNotesListViewController> m_journalList;
    std::unique_ptr<StudyPaneLibrarySearchViewController> m_library;
    StudyPaneViewControllerProtocol* m_subpane = nullptr;
    QList<qint64> m_tabOrder;
    qint64 m_tabViewSelected = 0;
    bool m_ignoreTabViewDelegateMessages = false;
    std::vector<Observation> m_observations;
};

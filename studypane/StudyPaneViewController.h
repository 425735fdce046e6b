// The study pane: the content of a layout region of kind "study", the narrow pane beside the book
// panes that hosts the study tools. It owns one controller per study tool (sub-pane), shows one of
// them at a time in its StudyPaneView, selects them through tabs (a row of buttons, one per row of
// the tab table, StudyPaneTabs::all()), keeps the sub-panes' remembered settings in the region's
// archived StudyPaneRegionContentItemState, keeps the stack of recently visited verses and passes
// application shutdown on to the sub-panes.
//
// The twelve sub-panes are made through factories, one per `Subpane` slot: Find and the Navigator
// have built-in ones (so do the note viewer and editor, the notes list, the journal list and the
// library search); the other study tools' come with the pane's environment (`subpaneFactories`,
// which may also replace a built-in one). A tab whose sub-pane has no factory has its button disabled, and
// selecting it does nothing. The GoTo tab shows one of four go-to sub-panes, by the kind of the
// active book.
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
#include "studypane/StudyPaneSubpane.h"
#include "studypane/StudyPaneSubpaneSlots.h"
#include "studypane/StudyPaneTabs.h"
#include "studypane/StudyPaneView.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Layout;
class SearchResultsAggregator;
class SourceTupleID;
class StudyPaneLayoutViewHost;
class StudyPaneNoteViewEditViewController;
class StudyPaneRegionContentItemState;

class StudyPaneViewController : public QObject,
                                public LayoutRegionContentsViewControllerProtocol,
                                public LayoutStudyPane {
    Q_OBJECT
public:
    // The sub-pane slots (kSearchSubpane ... kNavigatorSubpane), in the order they are made.
    using Subpane = StudyPaneSubpaneSlots::Slot;
    using enum StudyPaneSubpaneSlots::Slot;

    explicit StudyPaneViewController(StudyPaneEnvironment env);
    ~StudyPaneViewController() override;

    static std::unique_ptr<StudyPaneViewController> factory(StudyPaneEnvironment env);

    const StudyPaneEnvironment& environment() const { return m_env; }
    // The layout view's width operations: the environment's host, else the layout view that holds
    // this pane's view; null when neither is there.
    StudyPaneLayoutHost* layoutHost() const;

    // The pane's view, loaded (and the pane configured) on the first call.
    StudyPaneView* paneView() override;

    // --- tabs ---
    // The tabs are the rows of StudyPaneTabs::all(); these select the tab that shows a slot.
    void makeSubpaneCurrent(int slot) override
    {
        if (slot >= 0 && slot < kSubpaneCount)
            makeSubpaneTabCurrent(Subpane(slot));
    }
    void makeSubpaneTabCurrent(Subpane slot) { makeTabCurrent(StudyPaneTabs::tabForSlot(slot)); }
    // Selects the tab, or shows it again (expanding a collapsed pane) when it is selected already.
    // A tab without a sub-pane is not selected.
    void makeTabCurrent(qint64 id);
    // Whether the tab has a sub-pane here (the GoTo tab: any of the four go-to sub-panes).
    bool isTabAvailable(qint64 id) const { return m_subpanes.hasTab(id); }
    // The tabs: their order (the tab model), the button row's order and the overflow menu's entries.
    const StudyPaneTabs& tabs() const { return m_tabs; }
    // Moves a tab to another place in the row (an index into the row order), makes that the tab
    // order, stores it and saves the layouts at once.
    void moveTab(qint64 id, int toIndex);

    // The shown sub-pane (not owned); null when none is shown.
    StudyPaneSubpane* subpaneViewController() const { return m_subpane; }
    // A sub-pane controller by slot; null when its slot has no factory (or before the view loaded).
    StudyPaneSubpane* subpane(Subpane slot) const { return m_subpanes.at(slot); }
    StudyPaneNoteViewEditViewController* studyPaneNoteViewEditViewController() const;

    // The study region is too narrow to show anything (hide) or wide enough again (show).
    void hidePaneContents() override;
    void showHiddenPaneContents() override;

    // --- recent verses ---
    // Puts the verse at the front of the recent-verses stack (at most 30, each verse once, compared
    // in the given translation's numbering).
    void pushKeyOnRecentStack(quint32 key, const QString& translation);

    // The Find sub-pane's results for the book, when it holds some.
    SearchResultsAggregator* searchResultsAggregatorForTuple(const SourceTupleID& id) override;
    // The notes search results for the book: the journal list's for the journal, else the notes list's.
    SearchResultsAggregator* notesSearchResultsAggregatorForTupleID(const SourceTupleID& id);

    // --- state ---
    // The state of the region's current item; null without a region, an item or a study state.
    StudyPaneRegionContentItemState* state() const;
    // The layout that holds this pane; null when none does.
    Layout* layout() const;
    QString layoutUuid() const;
    // Pass-through properties of the state (reads give zero or none without a state, writes are
    // dropped); the sub-panes keep their own choices in the state through their host.
    double manualStudyPaneWidth() const;
    void setManualStudyPaneWidth(double width);
    QList<quint32> recentGoToVerseKeys() const;

    // --- LayoutRegionContentsViewControllerProtocol ---
    void makeYourselfCurrent(bool) override { }
    void exitIsImminent() override;
    bool shouldCaptureHistory() override { return false; }
    void willCaptureHistory() override { }
    void willBeRemovedFromLayoutManager() override { exitIsImminent(); }

private:
    void initialConfiguration();
    // The selected tab (the state's) as the highlighted button, and its sub-pane as the shown one.
    void highlightButtonForSelectedTab();
    // Shows the selected tab's sub-pane; `takeKeys` false when the reader is elsewhere (a book pane
    // became active): then the sub-pane does not take the keys.
    void showPaneContentsForSelectedTab(bool takeKeys = true);
    // Shows the sub-pane, telling the one shown before that it goes and this one that it came.
    void showSubpane(StudyPaneSubpane* subpane, bool takeKeys = true);
    void observe(const QString& name, std::function<void(Notification&)> handler);

    StudyPaneEnvironment m_env;
    QPointer<StudyPaneView> m_view;  // owned (deleted in the destructor unless Qt deleted it)
    StudyPaneSubpaneSlots m_subpanes;
    StudyPaneTabs m_tabs;
    std::unique_ptr<StudyPaneLayoutViewHost> m_layoutViewHost;  // over the layout view holding the view
    StudyPaneSubpane* m_subpane = nullptr;
    std::vector<Observation> m_observations;
};

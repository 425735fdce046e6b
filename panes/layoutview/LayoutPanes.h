// What the layout view and the pane manager need of the panes they place, and the factory through
// which the application decides which pane controller a region gets.
//
// A region's contents own their pane controller (a LayoutRegionContentsViewControllerProtocol).
// A controller that shows a book pane also derives from LayoutBookPane (which the go-to routing
// drives through the pane manager), the study pane's from LayoutStudyPane; the layout view finds
// these by dynamic_cast on the controller, so the pane object itself is what the contents hold and what LayoutManager::regionContentsForViewController finds.
// The controller owns its widget (paneView); the layout view only parents, places and shows it,
// and lets go of it before it is destroyed itself.
//
// Main thread only.
#pragma once

#include "panes/layout/LayoutRegionContentsViewControllerProtocol.h"
#include "panes/layout/PaneNotifications.h"

#include <QString>
#include <QVariantMap>
#include <functional>

#include <memory>

struct GoToRequest;
class LayoutRegionContentItemState;
class LayoutRegionContents;
class QWidget;
class SearchResultsAggregator;
class SourceTuple;
class SourceTupleID;

// The book pane as the layout view, the pane manager and the routing's go-to drive it.
class LayoutBookPane {
public:
    virtual ~LayoutBookPane() = default;
    virtual QWidget* paneView() = 0;
    // The routing's go-to (GoToPanes::goTo): the request's book becomes the current tab (opened, or
    // brought to the front with activate) and the page moves there; the pane writes its answers
    // into the request.
    virtual void goTo(GoToRequest& request) = 0;
    // Readies that go-to ahead of it (GoToPanes::prepareGoTo): nothing is shown or changed.
    virtual void prepareGoTo(const GoToRequest& request) = 0;
    // The book of the current tab and where it is; null, 0 when the pane has no book.
    virtual std::shared_ptr<SourceTuple> currentSourceTuple() const = 0;
    virtual quint64 currentSourceSection() const = 0;
    virtual qint64 currentSourceBlock() const = 0;
    virtual qint64 currentYOffset() const = 0;
    // The layout record of the current tab; null without tabs.
    virtual LayoutRegionContentItemState* currentSourceState() const = 0;

    // {"pubid", "bookid", "edition", "revision"}: open that book as a tab.
    virtual void openBookFromDictionary(const QVariantMap& info, bool activate) = 0;
    virtual void closeActiveBook() = 0;
    // The name of the scroll notification says what to do.
    virtual void scrollActiveBook(const QString& notificationName) = 0;
    virtual void nextBook() = 0;
    virtual void previousBook() = 0;
    virtual bool tryCopyFromBook() = 0;
    virtual void onAutostudyVerse() = 0;
    virtual void onAutostudyWord() = 0;
    virtual QString selectedBibleRefString() const = 0;
    // Calls `done` once the pane's selection (selectedBibleRefString) is the page's selection as it is
    // now: a page reports a new selection a moment after it is made.
    virtual void readSelectionNow(std::function<void()> done) { done(); }
    virtual QString selectedText() const = 0;
    virtual bool canToggleReadingComplete() const { return false; }
    virtual bool isCurrentReadingComplete() const { return false; }

    // The pane's location-sync flags (kept in its contents' state).
    virtual bool paneDoesNotSendLocationSync() const = 0;
    virtual bool paneDoesNotReceiveLocationSync() const = 0;
    virtual void setPaneDoesNotSendLocationSync(bool value) = 0;
    virtual void setPaneDoesNotReceiveLocationSync(bool value) = 0;
};

class LayoutStudyPane {
public:
    virtual ~LayoutStudyPane() = default;

    virtual QWidget* paneView() = 0;
    // The study region is narrower than 100 points (hide) or not (show again).
    virtual void hidePaneContents() = 0;
    virtual void showHiddenPaneContents() = 0;

    // Shows the sub-pane of a slot (StudyPaneSubpaneSlots::Slot; the study pane's tab table gives each
    // tab's slot), selecting its tab; a slot out of range does nothing.
    virtual void makeSubpaneCurrent(int slot) = 0;
    // The Find sub-pane's results for that book, when it holds some (owned by the study pane).
    virtual SearchResultsAggregator* searchResultsAggregatorForTuple(const SourceTupleID& id) = 0;
};

// Installed by the application (tests install doubles). Each call makes the controller of one
// region's contents; it must not store it into the contents (the layout view does). Null means the
// region stays empty (for example while no study pane is built).
class LayoutPaneFactory {
public:
    virtual ~LayoutPaneFactory() = default;
    virtual std::unique_ptr<LayoutRegionContentsViewControllerProtocol> makeBookPane(
        LayoutRegionContents& contents) = 0;
    virtual std::unique_ptr<LayoutRegionContentsViewControllerProtocol> makeStudyPane(
        LayoutRegionContents& contents) = 0;
};

inline LayoutBookPane* asBookPane(LayoutRegionContentsViewControllerProtocol* controller)
{
    return dynamic_cast<LayoutBookPane*>(controller);
}
inline LayoutStudyPane* asStudyPane(LayoutRegionContentsViewControllerProtocol* controller)
{
    return dynamic_cast<LayoutStudyPane*>(controller);
}

// What the go-to routing and the navigation history need of the panes of the main window.
//
// The pane manager's LayoutGoToPanes implements this over the layout manager, the
// layout view and its pane controllers; the routing and the history never see a widget or a
// layout record. Regions are named by their index in their layout's region list. "Current"
// means the layout manager's current layout and that layout's current region.
//
// A book pane is a region whose contents have the empty kind and a pane controller. Books are
// the library's shared records.
//
// Main thread only. Calls may re-enter the routing: a pane's goTo may select a tab, which posts
// notifications that move other panes or post further go-to requests.
#pragma once

#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>
#include <vector>

class SourceTuple;
struct GoToRequest;

class GoToPanes {
public:
    using Book = std::shared_ptr<SourceTuple>;

    virtual ~GoToPanes() = default;

    // --- the current layout ---

    // The current layout's uuid; empty when there is none.
    virtual QString currentLayoutUuid() const = 0;
    // Regions of the current layout (0 without one).
    virtual int regionCount() const = 0;
    // Index of the current region; -1 when there is none.
    virtual int currentRegion() const = 0;
    virtual bool isBookPane(int region) const = 0;
    // The book the pane shows (its current tab); null for a region that is not a book pane.
    virtual Book paneCurrentBook(int region) const = 0;
    // The pane's tabs in order, each turned into its book; null for a tab whose book is not
    // installed. Empty for a region that is not a book pane.
    virtual std::vector<Book> paneTabBooks(int region) const = 0;
    // The pane's contents state says it sends no location sync, or its current book's tab
    // state does.
    virtual bool paneDoesNotSendLocationSync(int region) const = 0;
    // The region's book pane shows the place the request names in the request's book (the routing
    // has always found it): the book's tab opens, or comes to the front with activate, and the pane's
    // page moves there. The pane writes its answers into the request ("section" and "readingNumber"
    // after a move by reading). Nothing happens for a region that is not a book pane.
    virtual void goTo(int region, GoToRequest& request) = 0;
    // The region's book pane readies itself for a go-to in the request's book, which the reader is
    // typing (its page's renderer is woken); nothing is shown, opened or recorded.
    virtual void prepareGoTo(int region, const GoToRequest& request) = 0;
    // Make the region's pane the current pane (the layout view's makePaneCurrentWithView).
    virtual void makePaneCurrent(int region) = 0;
    // Start (true) or stop (false) the layout view's busy indicator.
    virtual void showBusyIndicator(bool show) = 0;
    // Web links leave the reader: the system browser, or the in-app web window (empty title).
    virtual void openWebLink(const QUrl& url, bool inAppWindow) = 0;

    // --- any layout, by uuid (history) ---

    virtual bool hasLayout(const QString& layoutUuid) const = 0;
    // Regions of that layout; 0 when the layout is unknown.
    virtual int layoutRegionCount(const QString& layoutUuid) const = 0;
    // The pane controller of that region has changes not yet recorded (false without one).
    virtual bool paneShouldCaptureHistory(const QString& layoutUuid, int region) = 0;
    // That region's pane controller is told its present state is being recorded.
    virtual void paneWillCaptureHistory(const QString& layoutUuid, int region) = 0;
    // The layout as a keyed-archive object (the layout record's encoding); invalid when unknown.
    virtual QVariant archivedLayout(const QString& layoutUuid) = 0;
    // Shows a recorded layout in place of the layout with that uuid: decode it (false, and
    // nothing changes, when it cannot be read), keep the study pane as it is now (its width and
    // contents), replace the layout in the layout manager, show it in the layout view and tell
    // each of its panes willCaptureHistory.
    virtual bool restoreLayout(const QString& layoutUuid, const QVariant& archivedLayout) = 0;
    // Whether two recorded states of a layout show the reader the same places (the same books in
    // the same panes at the same places), so that going from one to the other shows no change.
    // Without a way to tell, no two states are the same.
    virtual bool showSamePlaces(const QVariant& archivedA, const QVariant& archivedB)
    {
        Q_UNUSED(archivedA);
        Q_UNUSED(archivedB);
        return false;
    }
};

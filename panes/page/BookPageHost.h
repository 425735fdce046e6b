// BookPageHost: what a book page asks of the pane that holds it. The pane owns the tabs and their
// reading positions; the page asks it for the state of a book's tab, tells it when the reader has
// moved, and leaves titles, the scroller, location sync, the other panes' syncs and the link
// preview popover to it. Every call comes on the main thread.
//
// SingleBookPageHost serves a page that shows one book with one state and no pane around it
// (tools, tests, benchmarks).
#pragma once

#include "panes/layout/LayoutRegionContentItemState.h"
#include "panes/page/BookPageSource.h"

#include <QRect>
#include <QString>

class BookPageHost {
public:
    virtual ~BookPageHost() = default;

    // The state of the book's tab for a go-to, opening the book in the pane or making its tab the
    // current one as `activate` asks; `isCurrent` tells whether the book is then the pane's current
    // book. Null when the pane cannot show the book.
    virtual LayoutRegionContentItemState* stateForGoTo(
        const BookPageSourcePtr& book, bool activate, bool& isCurrent) = 0;
    // The pane's current book and its state; null when the pane shows none.
    virtual BookPageSourcePtr currentSource() = 0;
    virtual LayoutRegionContentItemState* currentState() = 0;

    // The pane is the current pane of its layout.
    virtual bool isPaneCurrent() { return true; }
    // The uuid of the layout that holds the pane.
    virtual QString layoutUuid() { return QString(); }
    virtual void updateTitleBar() { }
    virtual void updateScroller() { }
    virtual void conditionallySyncToMe() { }
    // The due-only runs of the user-data syncs that follow a position report.
    virtual void requestDueSyncs() { }
    // Adds the book's search results, to be marked, to a block's options when it has any.
    virtual void addSearchResults(const BookPageSourcePtr& /*book*/, DisplayOptions& /*options*/) { }
    virtual void startSpeakingLinkedToPassage() { }
    // Width of the pane's own scroller beside the page, in points.
    virtual double scrollerWidth() { return 0; }
    // The link preview popover: show one for the link (or footnote) at the rectangle of the view,
    // and close the one that is open.
    virtual void showLinkPreview(const QString& /*href*/, const QString& /*footnote*/, const QRect& /*rect*/) { }
    virtual void closeLinkPreview() { }
};

class SingleBookPageHost : public BookPageHost {
public:
    explicit SingleBookPageHost(BookPageSourcePtr book) : m_book(std::move(book)) { }

    LayoutRegionContentItemState* stateForGoTo(const BookPageSourcePtr& book, bool, bool& isCurrent) override
    {
        isCurrent = book == m_book;
        return isCurrent ? &m_state : nullptr;
    }
    BookPageSourcePtr currentSource() override { return m_book; }
    LayoutRegionContentItemState* currentState() override { return m_book ? &m_state : nullptr; }
    LayoutRegionContentItemState& state() { return m_state; }

private:
    BookPageSourcePtr m_book;
    LayoutRegionContentItemState m_state;
};

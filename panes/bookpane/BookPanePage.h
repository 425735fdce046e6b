// BookPanePage: what the book page asks of its pane (BookPageHost) and what the pane asks of its
// page: the page source of each book of the tabs (kept while the book is shown), the state of a
// book's tab for a go-to (the one place a go-to opens a tab or brings it to the front), the title
// bar, and location sync between the panes of the pane's layout
// ("EverybodySyncToMeNotification"): sending the current place when the reader moves in the current
// pane, following the places other panes send, and the pane's two sync flags; and what the pane
// hears that concerns the page (resizes, notes, the reading of a devotional).
//
// Part of its BookPaneViewController, which owns it and the page. Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "panes/page/BookPageHost.h"

#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <map>
#include <memory>
#include <optional>

class BookPaneViewController;
class LinkPreviewPopover;
class SourceTupleBookPageSource;
struct Notification;

struct GoToRequest;

class BookPanePage : public BookPageHost {
public:
    explicit BookPanePage(BookPaneViewController& pane);

    // --- BookPageHost ---
    LayoutRegionContentItemState* stateForGoTo(const BookPageSourcePtr& book, bool activate, bool& isCurrent) override;
    BookPageSourcePtr currentSource() override;
    LayoutRegionContentItemState* currentState() override;
    bool isPaneCurrent() override;
    QString layoutUuid() override;
    void updateTitleBar() override;
    void conditionallySyncToMe() override;
    void startSpeakingLinkedToPassage() override;
    void updateScroller() override;
    double scrollerWidth() override;
    void requestDueSyncs() override;
    void addSearchResults(const BookPageSourcePtr& book, DisplayOptions& options) override;
    // The preview popover of a link or footnote, when "versePopovers" is on; one at a time.
    void showLinkPreview(const QString& href, const QString& footnote, const QRect& rect) override;
    void closeLinkPreview() override;
    LinkPreviewPopover* linkPreview() const;

    // --- the page ---
    // The page source of a book (made on first use, kept while the same book is installed).
    BookPageSourcePtr pageSourceFor(const SourceTuple::Ptr& tuple);
    void displayCurrentSource(bool refresh);
    // The display settings changed: the page is built again with the same place at its top.
    void displaySettingsChanged();
    // The loaded page's blocks rendered again in place: a search has marked its hits, or the user's
    // highlights or notes changed. The page shows the change at once; a new page would leave the old
    // picture on screen until it had painted.
    void renderBlocksAgain();
    // The same for a change of the user's highlights or notes: only a page that can show them.
    void userDataChanged();
    // --- location sync ---
    bool paneDoesNotSendLocationSync() const;
    void setPaneDoesNotSendLocationSync(bool v);
    bool paneDoesNotReceiveLocationSync() const;
    void setPaneDoesNotReceiveLocationSync(bool v);
    // The region a sync request from this pane carries: its index in the layout; none when the pane
    // is in no layout's region.
    std::optional<int> paneRegion() const;
    void everybodySyncToMe(const Notification& n);
    // A tab of the pane has nothing for the place it follows (a commentary without a note on the
    // verse): while that tab is in front, the text stands over its page and in the title bar instead
    // of the passage shown before, until the tab next goes somewhere (or closes); showing it again,
    // now or after another tab, keeps it.
    void showNothingFor(const SourceTuple::Ptr& book, const QString& text);
    void clearNothingFor(const SourceTuple::Ptr& book);
    // The text said so for the tab in front; empty when none.
    QString nothingFor() const;

    // --- what the pane hears for its page ---
    // The reading place is kept across a change of pane sizes in the pane's layout.
    void panesWillResize(const Notification& n);
    void panesDidResize(const Notification& n);
    // Notes changed: the page shows them again unless the change cannot concern it.
    void notesChanged(const Notification& n);
    // "UserWantsToToggleCurrentReading": the current pane's reading of a devotional is toggled.
    void userWantsToToggleCurrentReading(const Notification& n);
    // The date changed while the reader ran (userInfo "previousDay"): a tab that showed the previous
    // day's reading of its devotional moves to today's.
    void dayChanged(const Notification& n);

private:
    // The book of a page source this pane made; null for any other.
    static SourceTuple::Ptr tupleOf(const BookPageSourcePtr& book);
    // The label over the page shows what was said for the tab in front, or hides.
    void showNothingLabel();

    BookPaneViewController& m_pane;
    std::map<QString, std::shared_ptr<SourceTupleBookPageSource>> m_sources;
    std::unique_ptr<LayoutRegionContentItemState> m_savedSourceState;
    QPointer<LinkPreviewPopover> m_popover;
    std::map<QString, QString> m_nothingFor;  // by the source tuple id of the tab it was said for
    bool m_redisplaying = false;              // the current tab is being shown again where it was
};

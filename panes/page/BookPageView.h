// BookPageView: the web view that shows a book page, and the reader's half of the page bridge.
//
// goTo moves the reader to a place in a book: it updates the reading position of the book's tab
// (the state the host holds) and, when the book is the pane's current one, shows the place: in the
// book of the loaded page, one script call scrolls there when the page holds it and otherwise
// replaces the page's blocks with the place's first screen (the page, its script and style sheet
// stay); in another book, or when asked to refresh, a new page is built around the target block
// and loaded. Every placement gives the page a new serial, so reports about the place before are
// dropped; `goToPainted` tells when the frame that shows the place has painted. The page script then
// fetches neighbouring blocks through the bridge (`jsInterface`), reports the reader's position as
// they scroll, passes link clicks and hovers back, and pushes the blocks or verse keys that the
// selection touches.
//
// Pages load through the reader's own scheme (BookPageScheme) in the shared book-page profile, so
// nothing outside the reader is ever requested. Script calls into the page are asynchronous and
// take JSON-encoded arguments; work that needs a page's answer continues in a callback, and a newer
// go-to or page load drops the continuations of older ones.
//
// The page's blocks are rendered by its BookPageBlocks and link previews scheduled by its
// BookPageLinkHover. Links followed are posted to the notification centre given at construction.
//
// Owned by its pane (Qt parent). The host, the centre and the defaults must outlive the view. Main
// thread only.
#pragma once

#include "panes/page/BookPageBlocks.h"
#include "panes/page/BookPageHost.h"
#include "panes/page/BookPageHtml.h"
#include "panes/page/BookPageLinkHover.h"
#include "panes/page/BookPageScheme.h"

#include <QElapsedTimer>
#include <QList>
#include <QTimer>
#include <QVariantMap>
#include <QWebEngineView>

#include <functional>
#include <memory>

struct GoToRequest;
class NotificationCenter;
class UserDefaults;

class BookPageView : public QWebEngineView, private BookPageEndpoint {
    Q_OBJECT
public:
    BookPageView(BookPageHost* host, NotificationCenter& center, UserDefaults& defaults, QWidget* parent = nullptr);
    ~BookPageView() override;

    // Moves to the place a go-to request names in `book` (fields read: activate, section, block,
    // yoffset, todaysReading, nextReading, prevReading, firstUnread, gotoAnchor, forceRefresh,
    // clearTempHighlight, wasHyperlink, href, speakPassage).
    // After a move by reading, section and readingNumber are written back into the request.
    // False when the book is missing or the pane cannot show it.
    bool goTo(const BookPageSourcePtr& book, GoToRequest& request);
    // Readies the page for a go-to the reader is typing in its book: its renderer is woken (after a
    // pause of reading it has gone idle) and draws a frame, at most once in kWakeForGoToMs; and when
    // the request names a place (its section), that place's first screen is rendered for the go-to.
    // Nothing changes on the page: no tab, state, block or scroll position.
    void prepareGoTo(const BookPageSourcePtr& book, const GoToRequest& request);
    static constexpr qint64 kWakeForGoToMs = 3000;
    // Shows the current tab again; refresh builds a new page even when the book's page is loaded.
    void displayCurrentSource(bool refresh);
    // Builds the page again after a change of the display settings (text size, font, colours, what
    // the text shows) with the same place at the top: in a Bible the verse at the top, from its start;
    // in another book the block at the top, its offset scaled with the text size.
    void displayKeepingPlace();
    // Renders the blocks of the loaded page again in place (a search's hits to mark, a note or a
    // highlight written): no page is loaded and the reader's place stays. A page still loading does
    // it once it has loaded. Nothing when the view shows no page of the current tab's book: its next
    // page is rendered as things are then. The page replaces only the blocks whose markup changed and
    // keeps the reader's selection and place.
    void renderBlocksAgain();
    // The user's highlights or notes changed: the blocks are rendered again when they can show it
    // (a page that shows verses); a page without any (a book's introduction, the Help) stays.
    void userDataChanged();
    // The position rules of a go-to applied to a tab state (no page work); true when the page must
    // be built anew (a temporary highlight came or went).
    static bool applyPositionRequest(
        BookPageSource& book, LayoutRegionContentItemState& state, GoToRequest& request, bool isCurrent);

    // Scrolls the loaded page by a line (20 points) or a page (95 % of the view's height).
    void scrollActiveBookUp(bool up, bool byLine);
    // The name of a scroll notification ("UserWantsToScrollDownOneLine", ...).
    void scrollActiveBook(const QString& notificationName);
    // Home and End in the page (topBlock at the top of the view): to the start of the part of the
    // book there (a Bible's chapter, another book's section) with its first block at the top, or to
    // its end at the bottom of the view (its start at the top when it is shorter than the view).
    void goToPartEdge(bool end, qint64 topBlock);
    // Runs a page function that returns nothing, with JSON-encoded arguments.
    void runPageFunction(const QString& name, const QJsonArray& arguments = QJsonArray());
    void updateDevotionalReadingStatus() { runPageFunction(QStringLiteral("updateDevotionalReadingStatus")); }
    void clearSelection();
    // The words of the page's selection, handed to `done` as text (as the page lays it out) and HTML:
    // without the Strong's numbers, verse numbers, note links, footnote markers and paragraph signs
    // that the page shows beside the words. Both empty without a selection (or once the page is
    // replaced); `done` is not called when the view is destroyed first.
    void selectionWords(std::function<void(const QString& text, const QString& html)> done);
    // The web engine's own text of the selection, numbers and all: only whether there is one.
    QString selectedText() const;
    // Blocks (books) or Bible keys (Bibles) of the selection, as the page last pushed them.
    const QList<quint32>& selectedBlocksOrKeys() const { return m_selectedBlocksOrKeys; }
    // The current book has daily readings and the current section belongs to one.
    bool canToggleReadingComplete();
    // The reading shown is marked read (the command then marks it unread).
    bool isCurrentReadingComplete();
    // In a Bible, the selected verses spelled out ("John 3:16-18"); empty otherwise or without one.
    QString selectedBibleRefString() const;

    // The identity of the book whose page is loaded; empty when none.
    const QString& webViewSourceTupleID() const { return m_webViewSourceTupleID; }
    void clearWebViewSourceTupleID() { m_webViewSourceTupleID.clear(); }
    quint64 webViewSerialNumber() const { return m_serial; }
    // The page of that serial has finished loading (a go-to may move within it).
    bool isPageReady() const { return m_pageReady; }
    // A page was asked for and has not finished loading yet.
    bool isPageLoading() const { return m_pageLoading; }
    double lastPaneWidth() const { return m_blocks.lastPaneWidth(); }
    // A block of the loaded page holds a picture.
    bool pageHasImages() const { return m_blocks.pageHasImages(); }
    // Text width: the view's width less the margins and the pane's scroller.
    double textWidth() const { return m_blocks.textWidth(); }
    // The rendering of the page's blocks.
    BookPageBlocks& blocks() { return m_blocks; }

    // Page HTML filtered for copying through the renderer's HTML filter: strength 0 to 6 (outside
    // that range the nearest), character entities converted when asked.
    static QString filterHtml(const QString& text, int strength, bool convertCharacterEntities);

    // Follows a link of the page: posts GoToNotification for the go-to routing.
    void followLink(const QString& href);

signals:
    // The page reported a position that the current tab took.
    void positionReported(qint64 block, quint64 section, const QString& sectionString, qint64 yOffset);
    // The page with this serial is painted for the first time after being placed.
    void pagePainted(quint64 serial);
    void selectedBlocksOrKeysChanged();
    // A go-to found its target on the loaded page and scrolled there.
    void movedWithinPage(quint64 serial);
    // The place a go-to asked for is painted: a new page's first paint, or the first paint after a
    // move within the loaded page.
    void goToPainted(quint64 serial);
    // The blocks of the page with this serial were rendered again in place (renderBlocksAgain).
    void blocksRenderedAgain(quint64 serial);
    // A page finished loading (ok false: it failed).
    void pageLoaded(quint64 serial, bool ok);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // BookPageEndpoint
    QByteArray pageHtml(quint64 serial) override;
    bool isBridgeSecret(const QString& secret) const override;
    QJsonValue bridgeCall(const QString& name, const QJsonArray& arguments) override;
    QByteArray bookFile(const QString& name) override;
    // The verse that what a Bible's block shows outside its verses belongs to: the key of the
    // block's section, a book's or chapter's heading counting as its first verse; null in any other
    // book, outside the book and for the Bible's opening before its first book.
    QJsonValue verseKeyForBlock(qint64 block) const;

    // `movedByReader`: the reader moved the page since the latest go-to, so a first report after it is
    // no landing.
    void updatePosition(const QString& identity, quint64 serial, const QString& blockId, const QString& verseId,
        qint64 yOffset, qint64 pageYOffset, bool movedByReader = false);
    // The selection's blocks or keys as the page gives them (numbers out of range left out).
    void setSelectedBlocksOrKeys(const QJsonArray& blocksOrKeys);

    // `following`: the pane follows another's go-to: its page shows the place's screen and nothing
    // more until the reader scrolls it, so that its picture, scroll bar included, is settled with its
    // first paint (the pane gone to fills around the place after its paint).
    void showPosition(const BookPageSourcePtr& book, LayoutRegionContentItemState& state, bool samePage, bool refresh,
        const QString& description, bool following);
    void loadBookPage(const BookPageSourcePtr& book, const LayoutRegionContentItemState& state);
    // The frame of the next page: a new serial, bridge secret and frame key.
    BookPageHtml::Frame nextFrame(const QString& identity);
    void loadPage(const QString& html);
    void onLoadFinished(bool ok);
    // What the end of the page's load does: the page is ready (or not), and shows its place.
    void pageLoadEnded(bool ok);
    // How long after the page's first paint a load whose end the engine has not reported is taken as ended.
    static constexpr int kUnreportedLoadEndMs = 1500;
    // A step of the latest go-to, logged under qs.panes.page.trace with the time since it began.
    void trace(const char* step, const QString& detail = QString()) const;

    BookPageHost* m_host;
    NotificationCenter& m_center;
    // The window's defaults: the display settings of the page's style sheet.
    const UserDefaults& m_defaults;
    QString m_token;
    BookPageSourcePtr m_source;      // the book whose page is loaded
    QString m_webViewSourceTupleID;  // its identity
    quint64 m_serial = 0;            // serial of the page in the view
    qint64 m_pageTextSize = 0;       // the text size (points) of that page's style sheet
    QString m_bridgeSecret;          // what that page's script sends with its bridge calls
    QString m_frameKey;              // marks the reader's own elements among that page's blocks
    QByteArray m_pageHtml;           // the page of that serial, served once asked
    bool m_pageReady = false;        // the page of m_serial has finished loading
    bool m_pageLoading = false;      // the page of m_serial is on its way
    bool m_landingReport = false;    // the next position report tells where a go-to landed
    quint64 m_generation = 0;        // raised by every go-to and load; older continuations stop
    QElapsedTimer m_goToClock;       // since the latest go-to, for the trace
    QElapsedTimer m_wokenForGoTo;    // since the renderer was last woken for a go-to being typed
    // The loading page's first blocks were rendered before a change: render them again once loaded.
    bool m_renderAgainWhenLoaded = false;
    QList<quint32> m_selectedBlocksOrKeys;
    BookPageBlocks m_blocks;
    BookPageLinkHover m_linkHover;
    // Pictures are sized for the text width: a page that shows any is rendered again once a
    // resize settles.
    QTimer m_resizeTimer;
    // Cleared first thing in the destructor: the page calls back pending script results (invalid)
    // while it is destroyed, and those continuations must not touch the view any more.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

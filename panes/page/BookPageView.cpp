#include "panes/page/BookPageView.h"

#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/page/BookPageHtml.h"
#include "panes/page/PageRendererWatch.h"
#include "panes/page/WebViewFrames.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "render/CSSManager.h"
#include "render/HTMLFilter.h"

#include <QFile>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QResizeEvent>
#include <QWebEnginePage>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

Q_LOGGING_CATEGORY(lcBookPage, "qs.panes.page")
// Where a go-to's time goes: its steps with the milliseconds since it began (debug messages).
Q_LOGGING_CATEGORY(lcBookPageTrace, "qs.panes.page.trace", QtWarningMsg)

namespace {

constexpr qint64 kNoBlock = LayoutRegionContentItemState::kNoBlock;
// Largest integer a page number may carry exactly.
constexpr double kMaxExact = 9007199254740991.0;

// A Bible key of a chapter's heading: a chapter and verse 0. Its place on the page is its block
// (the heading), not a verse anchor, which no heading has.
bool isChapterHeadingKey(quint32 key)
{
    return key != 0 && (key & 0xFF) == 0 && ((key >> 8) & 0xFF) != 0;
}

// A Bible key of a heading, a chapter's or a whole book's (chapter 0): no verse anchor stands for it.
bool isHeadingKey(quint32 key)
{
    return key != 0 && (key & 0xFF) == 0;
}

// The sections [first, end) of the part of the book that holds `section`, which Home and End go to
// the start and the end of: in a Bible the chapter, its heading with its verses (a book's own heading
// goes with its first chapter; the front matter is a part of its own); in any other book the section.
std::pair<quint32, quint32> partAroundSection(BookPageSource& book, quint32 section)
{
    const quint64 count = book.numSections();
    quint32 first = section;
    quint32 end = section + 1;
    quint32 key = book.isABible() ? book.keyForSection(section) : 0;
    if (key != 0 && ((key >> 8) & 0xFF) == 0 && end < count && book.keyForSection(end) >> 16 == key >> 16) {
        key = book.keyForSection(end);  // a book's heading: its first chapter follows
        ++end;
    }
    if (key != 0) {
        const auto sameChapter = [&](quint32 s) { return book.keyForSection(s) >> 8 == key >> 8; };
        while (first > 1 && sameChapter(first - 1))
            --first;
        while (end < count && sameChapter(end))
            ++end;
    }
    return {first, end};
}

// A page of the book-page profile: loads only the reader's own pages and opens nothing else.
class BookWebPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        // Links are followed by the page script through the bridge, never by navigation.
        const bool ours = url.scheme() == QLatin1String(BookPageScheme::kScheme) &&
            url.host() == QLatin1String(BookPageScheme::kHost);
        const bool accepted = isMainFrame && ours && type != NavigationTypeLinkClicked &&
            type != NavigationTypeFormSubmitted && type != NavigationTypeBackForward;
        if (!accepted)
            qCInfo(lcBookPage) << "refused navigation to" << url.toString(QUrl::RemoveQuery).left(200);
        return accepted;
    }

    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

    void javaScriptConsoleMessage(
        JavaScriptConsoleMessageLevel, const QString& message, int line, const QString&) override
    {
        qCInfo(lcBookPage).noquote() << QStringLiteral("page script, line %1: %2").arg(line).arg(message.left(500));
    }
};

bool isIntegral(const QJsonValue& v)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    return std::isfinite(d) && std::floor(d) == d && std::fabs(d) <= kMaxExact;
}

}  // namespace

BookPageView::BookPageView(BookPageHost* host, NotificationCenter& center, UserDefaults& defaults, QWidget* parent)
    : QWebEngineView(parent),
      m_host(host),
      m_center(center),
      m_defaults(defaults),
      m_blocks(*host, defaults, *this),
      m_linkHover(*host, defaults, *this)
{
    setPage(new BookWebPage(BookPageScheme::profile(), this));
    WebViewFrames::drawPromptly(this);
    m_token = BookPageScheme::registerEndpoint(this);
    connect(this, &QWebEngineView::loadFinished, this, &BookPageView::onLoadFinished);
    // A page whose renderer ended is built again where the reader was (the tab's state keeps the
    // place); until then a go-to builds a new page rather than scripting the dead one.
    auto* watch = new PageRendererWatch(page(), &center, [this] { displayCurrentSource(true); });
    connect(watch, &PageRendererWatch::rendererEnded, this, [this] {
        ++m_generation;
        m_pageReady = false;
        m_pageLoading = false;
    });
    m_resizeTimer.setSingleShot(true);
    m_resizeTimer.setInterval(200);
    connect(&m_resizeTimer, &QTimer::timeout, this, [this] {
        if (m_pageReady && m_source && m_blocks.pageHasImages() &&
            (std::isnan(m_blocks.lastPaneWidth()) || textWidth() != m_blocks.lastPaneWidth()))
            displayCurrentSource(true);
    });
}

void BookPageView::resizeEvent(QResizeEvent* event)
{
    QWebEngineView::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        m_resizeTimer.start();
}

BookPageView::~BookPageView()
{
    *m_alive = false;
    BookPageScheme::unregisterEndpoint(m_token);
}

// --- go-to --------------------------------------------------------------------------------------

bool BookPageView::applyPositionRequest(
    BookPageSource& book, LayoutRegionContentItemState& state, GoToRequest& request, bool isCurrent)
{
    const auto markDirty = [&] { state.setDirty(state.dirty() || isCurrent); };
    const auto startAt = [&](quint64 section) {
        state.setSection(section);
        state.setSectionString(QString());
        state.setBlock(kNoBlock);
        state.setYOffset(0);
        state.setGotoAnchor(QString());
        markDirty();
    };

    const quint64 requestedSection = request.section.value_or(0);
    if (book.syncType() != 3 || requestedSection != 0) {
        if (request.block) {
            const qint64 block = *request.block;
            const qint64 yOffset = request.yoffset.value_or(0);
            if (block != state.block() || yOffset != state.yOffset()) {
                state.setSection(requestedSection);
                state.setBlock(block);
                state.setYOffset(yOffset);
                state.setSectionString(QString());
                state.setGotoAnchor(QString());
                markDirty();
            }
        } else if (request.section) {
            startAt(requestedSection);
        }
    } else {
        // Books of daily readings: a reading chosen by date, neighbour or progress.
        const quint64 count = book.numReadings();
        const quint32 current = book.readingNumberForSection(static_cast<quint32>(state.section()));
        qint64 n = 0;
        if (request.todaysReading) {
            n = book.readingNumberForToday();
        } else if (request.nextReading) {
            n = static_cast<qint64>(current) + 1;
            if (static_cast<quint64>(n) > count)
                n = 1;
        } else if (request.prevReading) {
            n = current > 1 ? static_cast<qint64>(current) - 1 : static_cast<qint64>(count);
        } else if (request.firstUnread) {
            n = book.firstUnreadReadingNumber();
        }
        if (n >= 1 && static_cast<quint64>(n) <= count) {
            quint32 section = book.sectionForReadingNumber(static_cast<quint32>(n));
            if (section == 0xFFFFFFFF)
                section = 0;
            state.setSection(section);
            if (section != 0) {
                startAt(section);
                request.section = section;
                request.readingNumber = n;
            }
        }
    }

    if (request.gotoAnchor) {
        state.setGotoAnchor(*request.gotoAnchor);
        markDirty();
    }
    if (state.block() == kNoBlock && state.section() != 0)
        state.setBlock(book.blockForSection(static_cast<quint32>(state.section())));
    const bool bible = book.isABible();
    if (bible && state.section() != 0) {
        const auto section = static_cast<quint32>(state.section());
        const quint32 key = book.keyForSection(section);
        if (state.block() == book.blockForSection(section) && state.yOffset() == 0 && key != 0 && !isHeadingKey(key))
            state.setGotoAnchor(BookPageHtml::verseAnchor(key));
    }

    bool refresh = request.forceRefresh;
    if (bible && request.clearTempHighlight.value_or(true)) {
        if (state.tempHighlightStartSection() != 0 || state.tempHighlightEndSection() != 0) {
            state.setTempHighlightStartSection(0);
            state.setTempHighlightEndSection(0);
            refresh = true;
        }
        quint32 startKey = 0, endKey = 0;
        if (request.wasHyperlink && request.href && book.passageKeysForReference(*request.href, startKey, endKey)) {
            const quint32 start = book.sectionForBibleKey(startKey);
            const quint32 end = book.lastSectionForAmbiguousKey(endKey);
            if (start != 0 && end != 0) {
                state.setTempHighlightStartSection(start);
                state.setTempHighlightEndSection(end);
                refresh = true;
            }
        }
    }
    return refresh;
}

bool BookPageView::goTo(const BookPageSourcePtr& book, GoToRequest& request)
{
    QS_ASSERT_MAIN_THREAD();
    if (!book) {
        qCWarning(lcBookPage) << "tuple is null";
        return false;
    }
    bool isCurrent = false;
    // The host may open the book's tab or bring it to the front, which shows the tab's page.
    LayoutRegionContentItemState* state = m_host->stateForGoTo(book, request.activate, isCurrent);
    if (state == nullptr) {
        qCWarning(lcBookPage) << "tried to open the source but failed";
        return false;
    }
    const bool samePage = m_webViewSourceTupleID == book->identityString();
    const bool refresh = applyPositionRequest(*book, *state, request, isCurrent);
    if (!isCurrent)
        return true;  // a background tab keeps its new position for when it is shown

    m_goToClock.start();
    trace("go-to", book->identityString());
    m_linkHover.hide();
    m_host->updateTitleBar();
    m_host->updateScroller();
    m_webViewSourceTupleID = book->identityString();
    m_source = book;
    QString description;
    const QVariantMap described = request.toUserInfo();
    for (auto it = described.cbegin(); it != described.cend(); ++it)
        description += QStringLiteral("%1 = %2; ").arg(it.key(), it.value().toString());
    showPosition(book, *state, samePage, refresh, description, request.following);
    if (request.speakPassage)
        m_host->startSpeakingLinkedToPassage();
    return true;
}

void BookPageView::prepareGoTo(const BookPageSourcePtr& book, const GoToRequest& request)
{
    QS_ASSERT_MAIN_THREAD();
    if (!book || !m_pageReady || m_webViewSourceTupleID != book->identityString())
        return;
    // A place of a Bible named (the field's text reads as a reference): its first screen is rendered
    // now, for the go-to to send at once. Only a go-to that stays on the loaded page takes it (a page
    // built anew has a frame of its own), so one whose place would build a page is not readied.
    LayoutRegionContentItemState* current = m_host->currentState();
    const BookPageSourcePtr shown = m_host->currentSource();
    if (request.section && book->isABible() && current != nullptr && shown &&
        shown->identityString() == book->identityString()) {
        LayoutRegionContentItemState place = *current;
        GoToRequest asked = request;
        asked.prepareOnly = false;
        const bool refresh = applyPositionRequest(*book, place, asked, false);
        if (!refresh && place.block() != kNoBlock && m_blocks.readyFirstScreen(book, place, m_frameKey))
            trace("first screen readied", QString::number(place.block()));
    }
    // Once every few seconds of typing at most: the renderer lets go of what it kept warm after a
    // few seconds of idle, and one call brings it back.
    if (m_wokenForGoTo.isValid() && m_wokenForGoTo.elapsed() < kWakeForGoToMs)
        return;
    m_wokenForGoTo.start();
    trace("woken for a go-to being typed");
    runPageFunction(QStringLiteral("qsWake"), {});
}

void BookPageView::showPosition(const BookPageSourcePtr& book, LayoutRegionContentItemState& state, bool samePage,
    bool refresh, const QString& description, bool following)
{
    if (state.block() == kNoBlock) {
        loadPage(BookPageHtml::invalidLocationPage(nextFrame(book->identityString()), description));
        return;
    }
    if (!samePage || refresh || !m_pageReady) {
        loadBookPage(book, state);
        return;
    }
    // Within the loaded page: one script call scrolls there when the page holds the place, and
    // otherwise replaces the page's blocks by the place's first screen, which comes with the call
    // (the page stays: no load, no new script or style sheet). A page without the frame's markers
    // (an invalid location) is built anew. A highlight or note written since the page's blocks were
    // rendered (by this program or another) is shown too: the same call renders the blocks on the
    // page again before it scrolls, so that the place is never shown as it was.
    const bool renderAgain = !m_blocks.pageShowsCurrentUserData();
    const bool anchor = !state.gotoAnchor().isEmpty();
    const QString id = anchor ? state.gotoAnchor() : QStringLiteral("_b%1").arg(state.block());
    const qint64 offset = anchor ? 0 : state.yOffset();
    const BookPageBlocks::FirstScreen screen = m_blocks.firstScreen(book, state, m_frameKey);
    trace("first screen", QStringLiteral("%1 blocks, %2 characters").arg(screen.blocks.size()).arg(screen.characters));
    const quint64 generation = ++m_generation;
    const quint64 serial = ++m_serial;
    m_landingReport = true;
    m_selectedBlocksOrKeys.clear();
    trace("go to within the page", id);
    const QString script = BookPageHtml::scriptCall(QStringLiteral("qsGoToPlace"),
        {id, static_cast<double>(offset), static_cast<double>(serial), static_cast<double>(state.block()),
            QJsonArray::fromStringList(screen.blocks), screen.target, static_cast<double>(screen.offset), following,
            renderAgain});
    page()->runJavaScript(script, [this, alive = m_alive, generation, stamp = screen.userData](const QVariant& result) {
        if (!*alive || generation != m_generation)
            return;  // a newer go-to took over
        const QVariantList answer = result.toList();
        const bool moved = answer.value(0).toBool();
        const bool replaced = answer.value(2).toBool();
        const bool renderedAgain = answer.value(3).toBool();
        trace(moved        ? "scrolled within the page"
                : replaced ? "replaced the page's blocks"
                           : "no blocks on the page",
            renderedAgain ? QStringLiteral("its blocks rendered again") : QString());
        LayoutRegionContentItemState* current = m_host->currentState();
        const BookPageSourcePtr source = m_host->currentSource();
        if (replaced || renderedAgain)
            m_blocks.pageShows(stamp);
        if (moved || replaced) {
            if (current != nullptr)
                current->setPageYOffset(answer.value(1).toLongLong());
            if (moved) {
                runPageFunction(QStringLiteral("fillExtraScreens"));
                emit movedWithinPage(m_serial);
            }
        } else if (source && current != nullptr) {
            loadBookPage(source, *current);
        }
    });
}

void BookPageView::loadBookPage(const BookPageSourcePtr& book, const LayoutRegionContentItemState& state)
{
    m_source = book;
    m_webViewSourceTupleID = book->identityString();
    const BookPageHtml::Frame frame = nextFrame(book->identityString());
    const BookPageBlocks::FirstScreen screen = m_blocks.firstScreen(book, state, m_frameKey);
    m_blocks.pageShows(screen.userData);
    trace("page built", QStringLiteral("%1 blocks, %2 characters").arg(screen.blocks.size()).arg(screen.characters));
    loadPage(BookPageHtml::bookPage(frame, state.block(), screen.blocks, screen.target, screen.offset));
}

void BookPageView::trace(const char* step, const QString& detail) const
{
    // The view's address tells the panes' lines apart.
    if (lcBookPageTrace().isDebugEnabled())
        qCDebug(lcBookPageTrace).noquote()
            << QStringLiteral("[view %1] %2 ms %3 %4")
                   .arg(QString::number(quintptr(this), 16),
                       QString::number(double(m_goToClock.isValid() ? m_goToClock.nsecsElapsed() : 0) / 1e6, 'f', 2),
                       QLatin1String(step), detail);
}

BookPageHtml::Frame BookPageView::nextFrame(const QString& identity)
{
    ++m_serial;
    m_pageTextSize = SettingsRegistry::clampedInteger(m_defaults, SettingsKeys::BaseFontSize);
    // The page's blocks are rendered with the display settings of its style sheet.
    m_blocks.setDisplayOptions(DisplayOptions::fromSettings(m_defaults));
    m_bridgeSecret = BookPageHtml::newKey();
    m_frameKey = BookPageHtml::newKey();
    return {CSSManager(m_defaults).cssForBookView(), identity, m_serial, BookPageHtml::pageScript(),
        BookPageHtml::newNonce(), BookPageScheme::bridgeBase(m_token, m_bridgeSecret), m_frameKey};
}

void BookPageView::loadPage(const QString& html)
{
    ++m_generation;
    m_pageReady = false;
    m_pageLoading = true;
    m_landingReport = true;
    m_renderAgainWhenLoaded = false;  // this page's blocks are rendered from now on
    m_pageHtml = html.toUtf8();
    m_selectedBlocksOrKeys.clear();
    trace("load", QString::number(m_serial));
    load(BookPageScheme::pageUrl(m_token, m_serial));
}

void BookPageView::displayCurrentSource(bool refresh)
{
    QS_ASSERT_MAIN_THREAD();
    const BookPageSourcePtr book = m_host->currentSource();
    LayoutRegionContentItemState* state = m_host->currentState();
    if (book && state != nullptr) {
        GoToRequest request;
        if (state->block() != kNoBlock)
            request.block = state->block();
        if (state->section() != 0)
            request.section = state->section();
        else if (state->block() != kNoBlock)
            state->setSection(book->sectionForBlock(static_cast<quint32>(state->block())));
        if (state->yOffset() != 0)
            request.yoffset = state->yOffset();
        request.forceRefresh = refresh;
        goTo(book, request);
        return;
    }
    m_webViewSourceTupleID.clear();
    m_source.reset();
    loadPage(BookPageHtml::emptyPanePage(nextFrame(QStringLiteral("0:0:0:0"))));
    m_host->updateTitleBar();
}

void BookPageView::displayKeepingPlace()
{
    QS_ASSERT_MAIN_THREAD();
    const BookPageSourcePtr book = m_host->currentSource();
    LayoutRegionContentItemState* state = m_host->currentState();
    // The offset into the top block is in the old page's pixels: at another size or in another font
    // it points into another verse, and each change would move the reader on.
    if (book && state != nullptr && state->block() != kNoBlock) {
        const qint64 size = SettingsRegistry::clampedInteger(m_defaults, SettingsKeys::BaseFontSize);
        const quint64 section = state->section();
        constexpr quint32 kNone = 0xFFFFFFFFu;
        const quint32 verseBlock =
            book->isABible() && section != 0 && section < kNone ? book->blockForSection(quint32(section)) : kNone;
        if (verseBlock != kNone) {
            state->setBlock(verseBlock);
            state->setYOffset(0);  // the go-to then starts the view at the verse itself
            state->setGotoAnchor(QString());
        } else if (m_pageTextSize > 0 && size != m_pageTextSize) {
            state->setYOffset(std::llround(double(state->yOffset()) * double(size) / double(m_pageTextSize)));
        }
    }
    displayCurrentSource(true);
}

void BookPageView::renderBlocksAgain()
{
    QS_ASSERT_MAIN_THREAD();
    const BookPageSourcePtr book = m_host->currentSource();
    if (!book || !m_source || m_webViewSourceTupleID != book->identityString())
        return;  // no page of the current book: the next one is rendered as things are
    if (!m_pageReady) {
        m_renderAgainWhenLoaded = true;
        return;
    }
    trace("render the page's blocks again");
    const quint64 generation = m_generation;
    page()->runJavaScript(QStringLiteral("qsRenderBlocksAgain()"),
        [this, alive = m_alive, generation, stamp = BookPageBlocks::userDataStamp()](const QVariant& replaced) {
            if (!*alive || generation != m_generation)
                return;  // a go-to or a new page came meanwhile, and says what the page shows
            if (replaced.toInt() >= 0)
                m_blocks.pageShows(stamp);
            trace("blocks rendered again", replaced.toString());
            emit blocksRenderedAgain(m_serial);
        });
}

void BookPageView::userDataChanged()
{
    if (m_blocks.pageShowsUserData())
        renderBlocksAgain();
}

void BookPageView::onLoadFinished(bool ok)
{
    if (page()->url() != BookPageScheme::pageUrl(m_token, m_serial))
        return;  // a page that was replaced meanwhile
    if (!m_pageLoading)
        return;  // its end was taken already (see the page's first paint)
    trace("page loaded", ok ? QStringLiteral("ok") : QStringLiteral("failed"));
    pageLoadEnded(ok);
}

void BookPageView::pageLoadEnded(bool ok)
{
    m_pageReady = ok;
    m_pageLoading = false;
    emit pageLoaded(m_serial, ok);
    LayoutRegionContentItemState* state = m_host->currentState();
    if (!ok || !m_source || state == nullptr)
        return;
    // The first blocks came with the page; blocks fetched while it loaded may have another width.
    const double width = textWidth();
    const double rendered = m_blocks.pageTextWidth();
    if ((std::isnan(rendered) || width != rendered) && m_blocks.pageHasImages()) {
        displayCurrentSource(true);  // images are sized for the text width: render again
        return;
    }
    QString target;
    qint64 offset = 0;
    if (!state->gotoAnchor().isEmpty())
        target = state->gotoAnchor();
    else if (state->block() != kNoBlock) {
        target = QStringLiteral("_b%1").arg(state->block());
        offset = state->yOffset();
    }
    const quint64 generation = m_generation;
    // Blocks rendered before a change that came while the page loaded are rendered again.
    const QString again =
        std::exchange(m_renderAgainWhenLoaded, false) ? QStringLiteral("; qsRenderBlocksAgain()") : QString();
    page()->runJavaScript(
        BookPageHtml::scriptCall(QStringLiteral("resizeDocument"), {target, static_cast<double>(offset)}) + again +
            QStringLiteral("; getPageYOffset()"),
        [this, alive = m_alive, generation](const QVariant& result) {
            if (!*alive || generation != m_generation)
                return;
            LayoutRegionContentItemState* current = m_host->currentState();
            if (current != nullptr && result.isValid())
                current->setPageYOffset(result.toLongLong());
        });
}

// --- scrolling and selection ----------------------------------------------------------------------

void BookPageView::goToPartEdge(bool end, qint64 topBlock)
{
    const BookPageSourcePtr book = m_host->currentSource();
    if (!book || m_webViewSourceTupleID != book->identityString() || topBlock < 0 ||
        static_cast<quint64>(topBlock) >= book->numBlocks())
        return;
    const quint32 section = book->sectionForBlock(static_cast<quint32>(topBlock));
    if (section == 0 || section >= book->numSections())
        return;
    const auto [first, after] = partAroundSection(*book, section);
    const auto goToBlockOf = [this, book](quint32 s, qint64 block) {
        GoToRequest request;
        request.section = s;
        if (block >= 0)
            request.block = block;
        request.clearTempHighlight = false;  // a key that scrolls keeps the linked passage marked
        goTo(book, request);
        if (m_host->isPaneCurrent())
            m_host->conditionallySyncToMe();
    };
    if (!end) {
        goToBlockOf(first, -1);
        return;
    }
    // The part's last block: the one before the next part's first, or the book's last.
    const quint32 nextBlock = after < book->numSections() ? book->blockForSection(after) : BookPageSource::kNoBlock;
    const qint64 last =
        nextBlock != BookPageSource::kNoBlock && nextBlock > 0 ? qint64(nextBlock) - 1 : qint64(book->numBlocks()) - 1;
    const qint64 firstBlock = book->blockForSection(first);
    const quint64 generation = m_generation;
    page()->runJavaScript(BookPageHtml::scriptCall(QStringLiteral("qsShowPartEnd"),
                              {static_cast<double>(firstBlock), static_cast<double>(last)}),
        [this, alive = m_alive, generation, last, goToBlockOf](const QVariant& shown) {
            if (!*alive || generation != m_generation || shown.toBool())
                return;
            // Too far for the page to reach: the part's last block at the top of the view.
            const BookPageSourcePtr current = m_host->currentSource();
            if (current && current->identityString() == m_webViewSourceTupleID)
                goToBlockOf(current->sectionForBlock(static_cast<quint32>(last)), last);
        });
}

void BookPageView::scrollActiveBookUp(bool up, bool byLine)
{
    if (!m_source)
        return;
    const qint64 step = byLine ? 20 : static_cast<qint64>(height() * 0.95);
    page()->runJavaScript(QStringLiteral("scrollToYOffset(getPageYOffset() + (%1))").arg(up ? -step : step));
}

void BookPageView::scrollActiveBook(const QString& name)
{
    if (name == PaneNotifications::UserWantsToScrollDownOneLine)
        scrollActiveBookUp(false, true);
    else if (name == PaneNotifications::UserWantsToScrollDownOnePage)
        scrollActiveBookUp(false, false);
    else if (name == PaneNotifications::UserWantsToScrollUpOneLine)
        scrollActiveBookUp(true, true);
    else if (name == PaneNotifications::UserWantsToScrollUpOnePage)
        scrollActiveBookUp(true, false);
}

void BookPageView::runPageFunction(const QString& name, const QJsonArray& arguments)
{
    page()->runJavaScript(BookPageHtml::scriptCall(name, arguments));
}

void BookPageView::clearSelection()
{
    page()->runJavaScript(QStringLiteral("window.getSelection().removeAllRanges()"));
}

void BookPageView::selectionWords(std::function<void(const QString& text, const QString& html)> done)
{
    // The blocks or keys come along: the page reports a new selection a moment after it is made, and
    // what acts on these words (a menu opened at once) acts on that selection as it is now.
    const quint64 serial = m_serial;
    page()->runJavaScript(
        QStringLiteral(
            "(function(){var w=qsSelectionWords();return [w[0],w[1],getSelectedBlocksOrKeys().slice(0,10000)];})()"),
        [this, alive = m_alive, serial, done](const QVariant& v) {
            // A view being destroyed (its page answers the calls it still owes) calls nothing: what
            // waits on these words may be going with it.
            if (!*alive)
                return;
            const QVariantList words = v.toList();
            if (serial != m_serial || words.size() != 3) {
                done(QString(), QString());
                return;
            }
            setSelectedBlocksOrKeys(QJsonArray::fromVariantList(words[2].toList()));
            done(words[0].toString(), words[1].toString());
        });
}

void BookPageView::setSelectedBlocksOrKeys(const QJsonArray& blocksOrKeys)
{
    QList<quint32> list;
    for (const QJsonValue v : blocksOrKeys)
        if (isIntegral(v) && v.toDouble() >= 0 && v.toDouble() <= 0xFFFFFFFF)
            list.append(static_cast<quint32>(v.toDouble()));
    // (QList's == hands memcmp a null pointer when one of two empty lists never had storage.)
    if (list.size() == m_selectedBlocksOrKeys.size() &&
        std::equal(list.cbegin(), list.cend(), m_selectedBlocksOrKeys.cbegin()))
        return;
    m_selectedBlocksOrKeys = list;
    emit selectedBlocksOrKeysChanged();
}

bool BookPageView::canToggleReadingComplete()
{
    const BookPageSourcePtr book = m_host->currentSource();
    const LayoutRegionContentItemState* state = m_host->currentState();
    return book && state != nullptr && book->supportsDailyReadings() &&
        book->readingNumberForSection(static_cast<quint32>(state->section())) != 0;
}

bool BookPageView::isCurrentReadingComplete()
{
    if (!canToggleReadingComplete())
        return false;
    const BookPageSourcePtr book = m_host->currentSource();
    return book->isReadingComplete(
        book->readingNumberForSection(static_cast<quint32>(m_host->currentState()->section())));
}

QString BookPageView::selectedBibleRefString() const
{
    if (!m_source || !m_source->isABible() || m_selectedBlocksOrKeys.isEmpty())
        return QString();
    const quint32 start = m_selectedBlocksOrKeys[0];
    const quint32 end = m_selectedBlocksOrKeys.size() > 1 ? m_selectedBlocksOrKeys[1] : start;
    return BibleRef::bibleRefWithStartKey(start, end).fullSpelling();
}

QString BookPageView::selectedText() const
{
    return page()->selectedText();
}

// --- the bridge -----------------------------------------------------------------------------------

QByteArray BookPageView::pageHtml(quint64 serial)
{
    trace("page served", QString::number(serial));
    return serial == m_serial ? m_pageHtml : QByteArray();
}

bool BookPageView::isBridgeSecret(const QString& secret) const
{
    return !m_bridgeSecret.isEmpty() && secret == m_bridgeSecret;
}

QByteArray BookPageView::bookFile(const QString& name)
{
    // The publisher's logo of older books is replaced by the reader's own picture of it.
    const QString lower = name.toLower();
    if (lower == QLatin1String("logo100x24.bmp") || lower == QLatin1String("tavrosen logo.png") ||
        lower == QLatin1String("tavrosen%20logo.png") || lower == QLatin1String("tavrosen+logo.png")) {
        QFile logo(QStringLiteral(":/page/Tavrosen Logo.png"));
        return logo.open(QIODevice::ReadOnly) ? logo.readAll() : QByteArray();
    }
    return m_source ? m_source->embeddedFile(name) : QByteArray();
}

QJsonValue BookPageView::verseKeyForBlock(qint64 block) const
{
    if (!m_source || !m_source->isABible() || block < 0 || quint64(block) >= m_source->numBlocks())
        return QJsonValue();
    quint32 key = m_source->keyForSection(m_source->sectionForBlock(static_cast<quint32>(block)));
    // The whole Bible's opening has no book; a book's or a chapter's heading leads to its first verse.
    if ((key & 0xFFFF0000) == 0)
        return QJsonValue();
    if ((key & 0xFF00) == 0)
        key |= 0x0100;
    if ((key & 0xFF) == 0)
        key |= 0x01;
    return double(key);
}

QJsonValue BookPageView::bridgeCall(const QString& name, const QJsonArray& a)
{
    QS_ASSERT_MAIN_THREAD();
    trace("bridge", name.left(64));
    const auto text = [&](int i) { return a.at(i).toString(); };
    const auto integer = [&](int i) { return static_cast<qint64>(a.at(i).toDouble()); };
    const auto integers = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            if (!isIntegral(a.at(i)))
                return false;
        return true;
    };
    if (name == QLatin1String("getHTMLTextForBlock") && a.size() == 1 && integers(0, 1))
        return m_blocks.htmlForBlock(m_source, integer(0), m_frameKey);
    if (name == QLatin1String("getHTMLTextForBlocks") && a.size() == 2 && integers(0, 2))
        return m_blocks.htmlForBlocks(m_source, integer(0), integer(1), m_frameKey);
    if (name == QLatin1String("isABible") && a.isEmpty())
        return m_source && m_source->isABible();
    if (name == QLatin1String("verseKeyForBlock") && a.size() == 1 && integers(0, 1))
        return verseKeyForBlock(integer(0));
    if (name == QLatin1String("updatePosition") && (a.size() == 6 || (a.size() == 7 && a.at(6).isBool())) &&
        integers(4, 6) && isIntegral(a.at(1))) {
        updatePosition(text(0), static_cast<quint64>(a.at(1).toDouble()), text(2), text(3), integer(4), integer(5),
            a.at(6).toBool());
        return QJsonValue();
    }
    if (name == QLatin1String("href") && a.size() == 1 && a.at(0).isString()) {
        // Queued: the go-to it starts may replace this very page.
        const QString link = BookPageHtml::unescapeLinkText(text(0));
        QTimer::singleShot(0, this, [this, link] { followLink(link); });
        return QJsonValue();
    }
    if (name == QLatin1String("isReadingComplete") && a.size() == 1 && integers(0, 1))
        return m_source && integer(0) > 0 && integer(0) <= 0xFFFFFFFF &&
            m_source->isReadingComplete(static_cast<quint32>(integer(0)));
    if (name == QLatin1String("toggleReadingNumber") && a.size() == 1 && integers(0, 1)) {
        if (m_source && integer(0) > 0 && integer(0) <= 0xFFFFFFFF)
            m_source->toggleReadingNumber(static_cast<quint32>(integer(0)));
        return QJsonValue();
    }
    if (name == QLatin1String("writeToLog") && a.size() == 1) {
        qCInfo(lcBookPage).noquote() << QStringLiteral("From JS: %1").arg(text(0));
        return QJsonValue();
    }
    if (name == QLatin1String("showHrefTargetInTooltip") && a.size() == 6 && integers(2, 6)) {
        m_linkHover.show(text(0), text(1), static_cast<int>(integer(2)), static_cast<int>(integer(3)),
            static_cast<int>(integer(4)), static_cast<int>(integer(5)));
        return QJsonValue();
    }
    if (name == QLatin1String("goToPartEdge") && a.size() == 2 && a.at(0).isBool() && a.at(1).isString()) {
        bool ok = false;
        const qint64 block = text(1).startsWith(QLatin1String("_b")) ? text(1).mid(2).toLongLong(&ok) : -1;
        // Queued, as a go-to may replace this very page.
        if (ok)
            QTimer::singleShot(0, this, [this, end = a.at(0).toBool(), block] { goToPartEdge(end, block); });
        return QJsonValue();
    }
    if (name == QLatin1String("hideHrefTargetTooltip")) {
        m_linkHover.hide();
        return QJsonValue();
    }
    if (name == QLatin1String("selectionChanged") && a.size() == 1 && a.at(0).isArray()) {
        setSelectedBlocksOrKeys(a.at(0).toArray());
        return QJsonValue();
    }
    if (name == QLatin1String("pagePainted") && a.size() == 1 && isIntegral(a.at(0))) {
        if (static_cast<quint64>(a.at(0).toDouble()) == m_serial) {
            emit pagePainted(m_serial);
            emit goToPainted(m_serial);
            // The page's script has run and painted, so its load ends in a moment. When a page is
            // built while the one before it still loads, the engine can report the two loads as one,
            // the earlier page's, and never the end of this one: the page would count as loading
            // for good (and a menu asked for by keys would wait on it). A while after the first
            // paint, a load whose end has not come is taken as ended.
            if (m_pageLoading)
                QTimer::singleShot(kUnreportedLoadEndMs, this, [this, alive = m_alive, serial = m_serial] {
                    if (!*alive || serial != m_serial || !m_pageLoading)
                        return;
                    trace("page loaded", QStringLiteral("ok (its end was not reported)"));
                    pageLoadEnded(true);
                });
        }
        return QJsonValue();
    }
    if (name == QLatin1String("placePainted") && a.size() == 1 && isIntegral(a.at(0))) {
        if (static_cast<quint64>(a.at(0).toDouble()) == m_serial)
            emit goToPainted(m_serial);
        return QJsonValue();
    }
    qCInfo(lcBookPage) << "refused bridge call" << name.left(64);
    return QJsonValue();
}

void BookPageView::updatePosition(const QString& identity, quint64 serial, const QString& blockId,
    const QString& verseId, qint64 yOffset, qint64 pageYOffset, bool movedByReader)
{
    const BookPageSourcePtr book = m_host->currentSource();
    LayoutRegionContentItemState* state = m_host->currentState();
    if (!book || state == nullptr || identity != book->identityString() || serial != m_serial)
        return;  // a report from a replaced page or another book
    bool ok = false;
    const qint64 block = QString(blockId).remove(QStringLiteral("_b")).toLongLong(&ok);
    if (!ok || block < 0 || block >= kNoBlock)
        return;
    quint64 section = 0;
    QString sectionString;
    if (!verseId.isEmpty()) {
        const quint32 key = BookPageHtml::bibleKeyFromDataVerseSpan(verseId);
        section = book->sectionForBibleKey(key);
        sectionString = verseId;
        // A chapter's heading at the top, its first verse under it: the place is the heading.
        const quint32 topSection = book->isABible() ? book->sectionForBlock(static_cast<quint32>(block)) : 0;
        const quint32 topKey = topSection != 0 && topSection != 0xFFFFFFFF ? book->keyForSection(topSection) : 0;
        if (isChapterHeadingKey(topKey) && (key & 0xFFFFFF00) == topKey && (key & 0xFF) <= 1 &&
            static_cast<quint32>(block) == book->blockForSection(topSection)) {
            section = topSection;
            sectionString = BookPageHtml::verseAnchor(topKey);
        }
    } else {
        section = book->sectionForBlock(static_cast<quint32>(block));
    }
    if (section == 0)
        return;
    const quint64 oldSection = state->section();
    const qint64 oldBlock = state->block();
    const qint64 oldYOffset = state->yOffset();
    state->setBlock(block);
    state->setSection(section);
    state->setSectionString(sectionString);
    state->setYOffset(yOffset);
    state->setGotoAnchor(QString());
    state->setPageYOffset(pageYOffset);
    // Where the page landed after a go-to is no move of the reader's (the go-to was the move), and
    // screens filled in above or below shift the page's offset without moving what the reader
    // sees: a move is a change of section, of block or of the offset in the block. A first report
    // that comes after the reader moved the page (a Page Down pressed while the page still loaded)
    // is the reader's place, and a move like any other.
    const bool landing = std::exchange(m_landingReport, false) && !movedByReader;
    const bool moved = !landing && (section != oldSection || block != oldBlock || std::abs(yOffset - oldYOffset) > 1);
    state->setDirty(state->dirty() || moved);
    m_host->updateTitleBar();
    m_host->updateScroller();
    if (moved && m_host->isPaneCurrent())
        m_host->conditionallySyncToMe();
    m_host->requestDueSyncs();
    emit positionReported(block, section, sectionString, yOffset);
}

QString BookPageView::filterHtml(const QString& text, int strength, bool convertCharacterEntities)
{
    std::string bytes = text.toStdString();
    filterHtmlByStrength(bytes, std::clamp(strength, 0, 6), convertCharacterEntities);
    return QString::fromStdString(bytes);
}

void BookPageView::followLink(const QString& href)
{
    GoToRequest request;
    request.href = href;
    request.wasHyperlink = true;
    request.activate = true;
    request.sync = true;
    request.layoutUuid = m_host->layoutUuid();
    request.post(m_center, this);
}

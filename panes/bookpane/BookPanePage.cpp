#include "panes/bookpane/BookPanePage.h"

#include "engine/foundation/SimpleDate.h"
#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/BookPaneSpeech.h"
#include "panes/bookpane/BookPaneTabs.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/bookpane/BookSupport.h"
#include "panes/bookpane/LinkPreviewPopover.h"
#include "panes/bookpane/OverlayView.h"
#include "panes/layout/Layout.h"
#include "panes/page/BookPageView.h"
#include "panes/page/BookPaneScroller.h"
#include "panes/page/SourceTupleBookPageSource.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ContentTextDocument.h"
#include "userdata/UserDataHooks.h"

#include <QDate>
#include <QLabel>
#include <limits>
#include <set>

using BookSupport::isBible;
using BookSupport::supports;

namespace {

constexpr quint64 kNone = BookPaneViewController::kNone;

// The pane's own layout record (its location-sync flags); null for a pane without one.
LayoutRegionContentsState* paneState(const BookPaneViewController& pane)
{
    LayoutRegionContents* contents = pane.regionContents();
    return contents ? contents->state() : nullptr;
}

}  // namespace

BookPanePage::BookPanePage(BookPaneViewController& pane) : m_pane(pane)
{
}

LayoutRegionContentItemState* BookPanePage::currentState()
{
    return m_pane.currentSourceState();
}

bool BookPanePage::isPaneCurrent()
{
    return m_pane.isPaneCurrent();
}

QString BookPanePage::layoutUuid()
{
    return m_pane.layoutUuid();
}

void BookPanePage::startSpeakingLinkedToPassage()
{
    m_pane.speech().startSpeakingLinkedToPassage();
}

std::optional<int> BookPanePage::paneRegion() const
{
    Layout* l = m_pane.layout();
    const quint64 index = l ? l->indexOfRegion(m_pane.region()) : kLayoutNotFound;
    if (index == kLayoutNotFound || index > quint64(std::numeric_limits<int>::max()))
        return std::nullopt;
    return int(index);
}

BookPageSourcePtr BookPanePage::pageSourceFor(const SourceTuple::Ptr& tuple)
{
    if (!tuple)
        return nullptr;
    auto& slot = m_sources[tuple->sourceTupleID().description()];
    if (!slot || slot->tuple() != tuple)
        slot = std::make_shared<SourceTupleBookPageSource>(tuple);
    return slot;
}

SourceTuple::Ptr BookPanePage::tupleOf(const BookPageSourcePtr& book)
{
    // The pane's page shows only the sources pageSourceFor made.
    const auto* source = dynamic_cast<const SourceTupleBookPageSource*>(book.get());
    return source ? source->tuple() : nullptr;
}

BookPageSourcePtr BookPanePage::currentSource()
{
    return pageSourceFor(m_pane.currentSourceTuple());
}

LayoutRegionContentItemState* BookPanePage::stateForGoTo(const BookPageSourcePtr& book, bool activate, bool& isCurrent)
{
    isCurrent = false;
    const SourceTuple::Ptr tuple = tupleOf(book);
    if (!tuple || !m_pane.regionContents())
        return nullptr;
    // The one place a go-to decides about tabs: a book the pane does not show yet opens as a tab
    // (behind the current one without activate), and with activate its tab comes to the front.
    m_pane.tabs().openBookFromSourceTuple(tuple, activate);
    const quint64 index = m_pane.tabs().indexOfSourceTupleIdInPaneContents(tuple->sourceTupleID());
    if (index == kNone)
        return nullptr;
    isCurrent = index == m_pane.regionContents()->currentItemIndex();
    // A go-to shows a place of the tab, in view or not: what was said of a place it had nothing for
    // goes.
    if (!m_redisplaying)
        clearNothingFor(tuple);
    return m_pane.regionContents()->itemAt(index)->bookState();
}

void BookPanePage::updateScroller()
{
    if (BookPaneScroller* scroller = m_pane.scroller())
        scroller->updateScroller();
}

double BookPanePage::scrollerWidth()
{
    BookPaneScroller* scroller = m_pane.scroller();
    return scroller && !scroller->isHidden() ? scroller->sizeHint().width() : 0.0;
}

void BookPanePage::requestDueSyncs()
{
    requestSyncBibleHighlights(0);
    requestSyncBibleNotes(0);
    requestSyncBookNotes(0);
    requestSyncDevotionalProgress(0);
    requestSyncDevotionalStartDate(0);
}

void BookPanePage::addSearchResults(const BookPageSourcePtr& book, DisplayOptions& options)
{
    const auto& searchResults = m_pane.environment().searchResults;
    const SourceTuple::Ptr tuple = tupleOf(book);
    if (!tuple || !searchResults)
        return;
    if (std::shared_ptr<RenderSearchResults> results = searchResults(tuple)) {
        options.search = std::move(results);
        options.highlightHits = true;
    }
}

void BookPanePage::showLinkPreview(const QString& href, const QString& footnote, const QRect& rect)
{
    closeLinkPreview();
    if (!m_pane.window().settings().value(SettingsKeys::VersePopovers))
        return;
    // A menu or a modal window is what the reader is reading now: no preview covers it.
    if (LinkPreviewPopover::menuOrModalIsUp())
        return;
    const QString text = LinkPreviewPopover::previewText(m_pane.window().linkPreview.get(), href, footnote);
    m_popover = new LinkPreviewPopover(text, m_pane.page(), rect, m_pane.window().settings());
}

LinkPreviewPopover* BookPanePage::linkPreview() const
{
    return m_popover.data();
}

void BookPanePage::closeLinkPreview()
{
    if (m_popover) {
        m_popover->hide();
        m_popover->deleteLater();
    }
    m_popover.clear();
}

void BookPanePage::updateTitleBar()
{
    SourceTuple::Ptr tuple = m_pane.currentSourceTuple();
    const QString nothing = nothingFor();
    const QString text = !nothing.isEmpty() ? nothing
        : tuple ? tuple->locations().getPositionNameForTitleBar(m_pane.currentSourceSection())
                : QString();
    m_pane.titleBar()->setText(text);
    m_pane.titleBar()->setToolTip(ContentTextDocument::plainToolTip(text));
}

void BookPanePage::displayCurrentSource(bool refresh)
{
    // What was said for a tab since closed goes with it.
    if (LayoutRegionContents* contents = m_pane.regionContents()) {
        std::set<QString> open;
        for (std::size_t i = 0; i < contents->items().size(); ++i)
            if (const SourceTuple::Ptr tuple = m_pane.tabs().tupleAt(i))
                open.insert(tuple->sourceTupleID().colonString());
        std::erase_if(m_nothingFor, [&open](const auto& entry) { return !open.contains(entry.first); });
    }
    showNothingLabel();
    m_redisplaying = true;
    m_pane.page()->displayCurrentSource(refresh);
    m_redisplaying = false;
    updateTitleBar();
}

QString BookPanePage::nothingFor() const
{
    const SourceTuple::Ptr tuple = m_pane.currentSourceTuple();
    const auto found = tuple ? m_nothingFor.find(tuple->sourceTupleID().colonString()) : m_nothingFor.end();
    return found != m_nothingFor.end() ? found->second : QString();
}

void BookPanePage::showNothingFor(const SourceTuple::Ptr& book, const QString& text)
{
    if (!book || text.isEmpty())
        return;
    m_nothingFor[book->sourceTupleID().colonString()] = text;
    showNothingLabel();
    updateTitleBar();
}

void BookPanePage::clearNothingFor(const SourceTuple::Ptr& book)
{
    if (!book || m_nothingFor.erase(book->sourceTupleID().colonString()) == 0)
        return;
    showNothingLabel();
    updateTitleBar();
}

void BookPanePage::showNothingLabel()
{
    QLabel* label = m_pane.nothingHereLabel();
    if (label == nullptr)
        return;
    const QString text = nothingFor();
    if (text.isEmpty()) {
        label->hide();
        return;
    }
    label->setText(text);
    label->setGeometry(m_pane.page()->geometry());
    label->show();
    label->stackUnder(m_pane.overlay());
}

void BookPanePage::displaySettingsChanged()
{
    // The other tabs keep their place as an offset into a block in the old page's pixels: in a Bible
    // they start again at the verse at their top when they are next shown.
    if (LayoutRegionContents* contents = m_pane.regionContents()) {
        for (std::size_t i = 0; i < contents->items().size(); ++i) {
            LayoutRegionContentItemState* state = contents->items()[i]->bookState();
            const SourceTuple::Ptr tuple = m_pane.tabs().tupleAt(i);
            if (i == contents->currentItemIndex() || state == nullptr || !isBible(tuple) || state->section() == 0 ||
                state->section() >= 0xFFFFFFFFu)
                continue;
            const quint32 block = tuple->locations().blockForSection(static_cast<quint32>(state->section()));
            if (block != 0xFFFFFFFFu) {
                state->setBlock(block);
                state->setYOffset(0);
            }
        }
    }
    m_redisplaying = true;
    m_pane.page()->displayKeepingPlace();
    m_redisplaying = false;
    updateTitleBar();
}

void BookPanePage::renderBlocksAgain()
{
    m_pane.page()->renderBlocksAgain();
}

void BookPanePage::userDataChanged()
{
    m_pane.page()->userDataChanged();
}

bool BookPanePage::paneDoesNotSendLocationSync() const
{
    const LayoutRegionContentsState* state = paneState(m_pane);
    return state && state->paneDoesNotSendLocationSync();
}

void BookPanePage::setPaneDoesNotSendLocationSync(bool v)
{
    if (LayoutRegionContentsState* state = paneState(m_pane))
        state->setPaneDoesNotSendLocationSync(v);
}

bool BookPanePage::paneDoesNotReceiveLocationSync() const
{
    const LayoutRegionContentsState* state = paneState(m_pane);
    return state && state->paneDoesNotReceiveLocationSync();
}

void BookPanePage::setPaneDoesNotReceiveLocationSync(bool v)
{
    if (LayoutRegionContentsState* state = paneState(m_pane))
        state->setPaneDoesNotReceiveLocationSync(v);
}

void BookPanePage::conditionallySyncToMe()
{
    SourceTuple::Ptr tuple = m_pane.currentSourceTuple();
    LayoutRegionContentItemState* state = m_pane.currentSourceState();
    if (!m_pane.isPaneCurrent() || !state || state->section() >= 0xFFFFFFFFu ||
        !(isBible(tuple) || supports(tuple, kDocSupportsDailyReadings)))
        return;
    quint32 section = quint32(state->section());
    quint32 key = isBible(tuple) ? tuple->locations().keyForSection(section) : 0;
    // A Bible's opening, before its first book (its top block: section 0, key 0), stands for its
    // first verse: the panes that follow go there rather than stay where the reader passed by.
    if (isBible(tuple) && key == 0) {
        section = BookSupport::firstVerseSection(tuple->locations());
        key = section != 0 ? tuple->locations().keyForSection(section) : 0;
    }
    if (section == 0 || (isBible(tuple) && key == 0))
        return;
    GoToRequest request;
    request.layoutUuid = m_pane.layoutUuid();
    request.sourceTuple = tuple;
    request.section = section;
    request.doesNotSendLocationSync = state->doesNotSendLocationSync() || paneDoesNotSendLocationSync();
    request.paneRegion = paneRegion();
    if (isBible(tuple))
        request.bibleKey = key;
    else
        request.readingNumber = tuple->readings().readingNumberForSection(section);
    request.postLocationSync(m_pane.window().notifications(), &m_pane);
}

void BookPanePage::everybodySyncToMe(const Notification& n)
{
    const GoToRequest r = GoToRequest::of(n);
    if (r.layoutUuid != m_pane.layoutUuid() || m_pane.layoutUuid().isEmpty() || paneDoesNotReceiveLocationSync() ||
        r.doesNotSendLocationSync.value_or(false) || !m_pane.regionContents())
        return;
    UserDefaults& defaults = m_pane.window().settings();
    const bool biblesComm = r.syncAnyway || defaults.value(SettingsKeys::SyncBiblesComm);
    const bool dictionaries = r.syncAnyway || defaults.value(SettingsKeys::SyncDictionaries);
    const bool devotionals = r.syncAnyway || defaults.value(SettingsKeys::SyncDevotionals);
    const SourceTuple::Ptr& sender = r.sourceTuple;
    const bool fromThisPane = r.paneRegion.has_value() && r.paneRegion == paneRegion();
    // Copy the books first: a go-to may open or reorder nothing, but keeps this walk safe anyway.
    std::vector<std::pair<SourceTuple::Ptr, bool>> tabs;
    for (const auto& item : m_pane.regionContents()->items()) {
        const bool blocked = item->bookState() && item->bookState()->doesNotReceiveLocationSync();
        tabs.emplace_back(m_pane.tabs().sourceTupleForDescriptor(item->bookDescriptor()), blocked);
    }
    for (const auto& [book, blocked] : tabs) {
        if (!book || blocked)
            continue;
        if (fromThisPane && sender && book->sourceTupleID() == sender->sourceTupleID())
            continue;
        const bool bibleSync = supports(book, kDocSupportsBibleSync);
        // A commentary follows a verse to the note that covers it, and to none when no note does (a
        // chapter's heading to the note on its first verse, else to its first note there).
        const bool commentary = bibleSync && !isBible(book);
        quint32 section = 0;
        if ((isBible(book) || bibleSync) && biblesComm && r.bibleKey) {
            section = commentary && (*r.bibleKey & 0xFF) != 0
                ? book->locations().sectionForBibleKey(*r.bibleKey)
                : BookSupport::sectionFollowingBibleKey(book->locations(), *r.bibleKey);
        }
        if (section == 0 && bibleSync && biblesComm && r.wordSync)
            section = book->locations().sectionForSyncString(*r.wordSync, true);
        if (section == 0 && supports(book, kDocSupportsWordLookup) && dictionaries && r.wordSync)
            section = book->locations().sectionForSyncString(*r.wordSync);
        GoToRequest follow;
        follow.following = true;
        if (section != 0) {
            follow.section = section;
            m_pane.page()->goTo(pageSourceFor(book), follow);
            continue;
        }
        // Every commentary that follows says so, the one in view and those in tabs behind it.
        if (commentary && biblesComm && r.bibleKey) {
            const quint32 key = (*r.bibleKey & 0xFF) != 0 ? *r.bibleKey : (*r.bibleKey | 1);
            const QString verse = BibleRef::bibleRefWithStartKey(key, key).fullSpelling();
            showNothingFor(book, QStringLiteral("No note for %1").arg(verse));
            continue;
        }
        if (supports(book, kDocSupportsDailyReadings) && devotionals) {
            follow.todaysReading = r.todaysReading;
            follow.firstUnread = !follow.todaysReading && r.firstUnread;
            if (follow.todaysReading || follow.firstUnread)
                m_pane.page()->goTo(pageSourceFor(book), follow);
        }
    }
}

void BookPanePage::dayChanged(const Notification& n)
{
    const QDate previous = n.userInfo.value(QStringLiteral("previousDay")).toDate();
    LayoutRegionContents* contents = m_pane.regionContents();
    if (!previous.isValid() || !contents)
        return;
    SimpleDate day;
    day.setMonth(previous.month(), previous.day(), previous.year());
    std::vector<SourceTuple::Ptr> books;
    for (std::size_t i = 0; i < contents->items().size(); ++i) {
        const SourceTuple::Ptr book = m_pane.tabs().tupleAt(i);
        const LayoutRegionContentItemState* state = contents->items()[i]->bookState();
        if (!book || !state || !supports(book, kDocSupportsDailyReadings) || state->section() >= kNone)
            continue;
        const quint32 shown = book->readings().readingNumberForSection(quint32(state->section()));
        if (shown != 0 && shown == book->readings().readingNumberForDate(day))
            books.push_back(book);
    }
    for (const SourceTuple::Ptr& book : books) {
        GoToRequest today;
        today.following = true;
        today.todaysReading = true;
        m_pane.page()->goTo(pageSourceFor(book), today);
    }
}

// --- what the pane hears for its page ---------------------------------------------------------------

void BookPanePage::panesWillResize(const Notification& n)
{
    LayoutRegionContentItemState* state = m_pane.currentSourceState();
    if (n.userInfo.value("layoutUuid").toString() != m_pane.layoutUuid() || !state)
        return;
    m_savedSourceState = std::make_unique<LayoutRegionContentItemState>();
    state->cloneInto(m_savedSourceState.get());
}

void BookPanePage::panesDidResize(const Notification& n)
{
    if (n.userInfo.value("layoutUuid").toString() != m_pane.layoutUuid())
        return;
    if (m_savedSourceState) {
        m_savedSourceState->cloneInto(m_pane.currentSourceState());
        m_savedSourceState.reset();
    }
    // Pictures are sized for the text width: a page that shows any is rendered again.
    displayCurrentSource(m_pane.page()->pageHasImages());
}

void BookPanePage::notesChanged(const Notification& n)
{
    const QVariantMap& info = n.userInfo;
    if (info.isEmpty()) {
        userDataChanged();
        return;
    }
    if (info.contains("journalTitle"))
        return;
    const bool hasNew = info.contains("newNote");
    const bool hasDeleted = info.contains("deletedNote");
    bool redisplay = false;
    if (hasNew || hasDeleted)
        redisplay = info.value("newNote").toBool() || info.value("deletedNote").toBool();
    else
        redisplay = !info.contains("changed") || info.value("changed").toBool();
    if (redisplay)
        userDataChanged();
}

void BookPanePage::userWantsToToggleCurrentReading(const Notification& n)
{
    SourceTuple::Ptr tuple = m_pane.currentSourceTuple();
    if (n.userInfo.value("layoutUuid").toString() != m_pane.layoutUuid() || !m_pane.isPaneCurrent() ||
        !supports(tuple, kDocSupportsDailyReadings))
        return;
    const quint32 reading = tuple->readings().readingNumberForSection(quint32(m_pane.currentSourceSection()));
    if (reading != 0)
        tuple->readings().toggleReadingNumber(reading, true);
}

#include "library/GoToRouter.h"

#include "library/GoToLink.h"
#include "library/GoToPanes.h"
#include "library/LibraryNotifications.h"
#include "library/NavigationHistory.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "library/SourceTupleArray.h"
#include "platform/Alerts.h"
#include "platform/MainThread.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "userdata/UserDataHooks.h"

#include <QDebug>

#include <limits>

namespace {

bool sameBook(const GoToRouter::Book& a, const GoToRouter::Book& b)
{
    return a && b && a->isEqual(*b);
}

bool isBible(const GoToRouter::Book& book)
{
    return book && book->docSupports(kDocSupportsIsBible);
}

std::vector<GoToRouter::Book> booksOf(const SourceTupleArray::Ptr& list)
{
    return list ? list->array() : std::vector<GoToRouter::Book>();
}

quint32 toSection32(quint64 value)
{
    return value > std::numeric_limits<quint32>::max() ? 0 : static_cast<quint32>(value);
}

}  // namespace

struct GoToRouter::Context {
    int current = -1;
    bool currentIsBookPane = false;
    Book currentBook;
    int regionCount = 0;
};

GoToRouter::GoToRouter(GoToPanes& panes, SourceManager& library, NavigationHistory& history, NotificationCenter& center,
    UserDefaults& defaults, Alerts& alerts)
    : m_panes(panes), m_library(library), m_history(history), m_center(center), m_defaults(defaults), m_alerts(alerts)
{
    m_busyTimer.setSingleShot(true);
    m_busyTimer.callOnTimeout([this] {
        if (m_busyDepth > 0 && !m_busyShown) {
            m_busyShown = true;
            m_panes.showBusyIndicator(true);
        }
    });
    m_observations.emplace_back(center,
        center.addObserver(this, LibraryNotifications::GoToNotification, [this](Notification& n) { goToHandler(n); }));
    m_observations.emplace_back(
        center, center.addObserver(this, LibraryNotifications::AddStateToHistoryNotification, [this](Notification& n) {
            // A routed go-to is one move: it records the states before and after it itself, so
            // what the panes post while it moves them would add states the reader never saw.
            if (m_routing > 0)
                return;
            const GoToRequest r = GoToRequest::fromUserInfo(n.userInfo);
            const bool alwaysAdd = UserDefaults::boolFromValue(n.userInfo.value(GoToKeys::alwaysAdd));
            m_history.addStateToHistory(alwaysAdd, r.layoutUuid);
        }));
    m_observations.emplace_back(center,
        center.addObserver(this, LibraryNotifications::qsLayoutManagerAddedOrRemovedLayoutsNotification,
            [this](Notification&) { m_history.addOrRemoveLayoutsFromHistory(); }));
}

GoToRouter::~GoToRouter()
{
    m_observations.clear();
    m_busyTimer.stop();
}

// ---------------------------------------------------------------------------------------------
// Busy indicator: one timer for all requests, nested ones included. The indicator appears only
// when a request is still running 1.2 s after the outermost one began, and goes when the
// outermost one ends; a fast go-to leaves no pending start behind.

void GoToRouter::startBusyIndicator()
{
    if (m_busyDepth++ == 0)
        m_busyTimer.start(kBusyIndicatorDelayMs);
}

void GoToRouter::stopBusyIndicator()
{
    if (m_busyDepth == 0 || --m_busyDepth > 0)
        return;
    m_busyTimer.stop();
    if (m_busyShown) {
        m_busyShown = false;
        m_panes.showBusyIndicator(false);
    }
}

void GoToRouter::endBusyIndicator()
{
    m_busyTimer.stop();
    if (m_busyShown) {
        m_busyShown = false;
        m_panes.showBusyIndicator(false);
    }
}

// ---------------------------------------------------------------------------------------------
// Routing

void GoToRouter::goToHandler(const Notification& notification)
{
    QS_ASSERT_MAIN_THREAD();
    goTo(GoToRequest::of(notification));
}

void GoToRouter::goTo(GoToRequest request)
{
    QS_ASSERT_MAIN_THREAD();
    const QString layoutUuid = m_panes.currentLayoutUuid();
    if (request.layoutUuid.isEmpty() || request.layoutUuid != layoutUuid)
        return;

    if (request.prepareOnly) {
        prepare(request);
        return;
    }

    if ((request.href && request.href->size() > GoToLink::kMaxLinkLength) ||
        (request.wordSync && request.wordSync->size() > GoToLink::kMaxLinkLength)) {
        qWarning() << "Go-to: refused an overlong link";
        return;
    }

    // Web links leave the reader; nothing else happens for them.
    if (request.href) {
        if (const auto web = GoToLink::webLink(*request.href)) {
            if (web->url.isValid())
                m_panes.openWebLink(web->url, web->inAppWindow);
            else
                qWarning() << "Go-to: refused a web link that is no usable address";
            return;
        }
    }

    const bool busy = !request.noBusyIndicator && !request.synchronous.value_or(false);
    if (busy)
        startBusyIndicator();
    if (!request.synchronous)
        request.synchronous = false;

    if (!request.noHistory || request.preHistory)
        m_history.addStateToHistory(false, layoutUuid);

    Book book = request.sourceTuple;
    bool paneChosen = false;
    if (!book && request.sourceTupleID) {
        if (const auto all = m_library.allSources())
            book = all->tupleForSourceTupleID(*request.sourceTupleID);
        request.sourceTuple = book;
    }
    if (!book) {
        book = sourceForGoTo(request);
        if (!book) {
            if (busy)
                stopBusyIndicator();
            return;
        }
        request.sourceTuple = book;
        paneChosen = true;
    }
    if (!paneChosen)
        paneForGoTo(request, book);

    if (!request.paneRegion && m_panes.currentRegion() >= 0)
        request.paneRegion = m_panes.currentRegion();
    const int region = request.paneRegion.value_or(-1);
    const bool regionExists = region >= 0 && region < m_panes.regionCount();
    // Only a book pane shows a book: with the study pane current and the book in no pane,
    // nothing moves (the follow-ups still run).
    const bool bookPane = regionExists && m_panes.isBookPane(region);

    if (bookPane) {
        ++m_routing;
        m_panes.goTo(region, request);
        --m_routing;
    }

    if ((request.activate || request.activatePane) && bookPane)
        m_panes.makePaneCurrent(region);

    if ((request.sync || request.wasHyperlink) && isBible(book)) {
        if (request.bibleKey.value_or(0) == 0) {
            quint64 section = request.section.value_or(0);
            if (section == 0 && request.block && *request.block != GoToRequest::kNoBlock && *request.block >= 0 &&
                *request.block <= std::numeric_limits<quint32>::max())
                section = book->locations().sectionForBlock(static_cast<quint32>(*request.block));
            if (section != 0) {
                const quint32 key = book->locations().keyForSection(toSection32(section));
                if (key != 0)
                    request.bibleKey = key;
            }
        }
        if (request.wasHyperlink) {
            QVariantMap info;
            info.insert(GoToKeys::key, QVariant::fromValue<uint>(request.bibleKey.value_or(0)));
            info.insert(GoToKeys::abbr, book->record().abbr);
            info.insert(GoToKeys::layoutUuid, request.layoutUuid);
            m_center.postNotificationName(LibraryNotifications::PushKeyOnRecentStackNotification, nullptr, info);
        }
    }

    if (request.sync) {
        request.layoutUuid = layoutUuid;
        request.doesNotSendLocationSync = regionExists && m_panes.paneDoesNotSendLocationSync(region);
        request.postLocationSync(m_center, this);
    }

    if (!request.noHistory || request.postHistory)
        m_history.addStateToHistory(true, layoutUuid);

    if (busy)
        stopBusyIndicator();

    requestUserDataSync();
}

void GoToRouter::prepare(GoToRequest& request)
{
    // Only a go-to whose book is named readies its pane: what the routing would have to look for
    // (a link, the preferred book) is left to the go-to itself.
    if (!request.sourceTuple)
        return;
    paneForGoTo(request, request.sourceTuple);
    if (!request.paneRegion && m_panes.currentRegion() >= 0)
        request.paneRegion = m_panes.currentRegion();
    const int region = request.paneRegion.value_or(-1);
    if (region >= 0 && region < m_panes.regionCount() && m_panes.isBookPane(region))
        m_panes.prepareGoTo(region, request);
}

void GoToRouter::requestUserDataSync()
{
    requestSyncBibleHighlights(0);
    requestSyncBibleNotes(0);
    requestSyncBookNotes(0);
    requestSyncDevotionalProgress(0);
    requestSyncDevotionalStartDate(0);
}

void GoToRouter::callerNeedsSourceForGoToInfo(GoToRequest& request)
{
    QS_ASSERT_MAIN_THREAD();
    if ((request.href && request.href->size() > GoToLink::kMaxLinkLength) ||
        (request.wordSync && request.wordSync->size() > GoToLink::kMaxLinkLength))
        return;
    if (const Book book = sourceForGoTo(request))
        request.sourceTuple = book;
}

std::optional<int> GoToRouter::paneForGoTo(GoToRequest& request, const Book& book)
{
    QS_ASSERT_MAIN_THREAD();
    auto choose = [&request](int region, bool activate) -> std::optional<int> {
        request.paneRegion = region;
        if (activate)
            request.activate = true;
        return region;
    };
    const int count = m_panes.regionCount();
    if (request.forcePane && request.paneRegion && *request.paneRegion >= 0 && *request.paneRegion < count)
        return choose(*request.paneRegion, false);

    const int current = m_panes.currentRegion();
    const bool currentIsBookPane = current >= 0 && m_panes.isBookPane(current);
    if (currentIsBookPane && sameBook(m_panes.paneCurrentBook(current), book))
        return choose(current, false);
    for (int r = 0; r < count; ++r) {
        if (r != current && m_panes.isBookPane(r) && sameBook(m_panes.paneCurrentBook(r), book))
            return choose(r, false);
    }
    auto tabsHold = [this, &book](int region) {
        for (const Book& tab : m_panes.paneTabBooks(region)) {
            if (sameBook(tab, book))
                return true;
        }
        return false;
    };
    if (currentIsBookPane && tabsHold(current))
        return choose(current, true);
    for (int r = 0; r < count; ++r) {
        if (m_panes.isBookPane(r) && tabsHold(r))
            return choose(r, true);
    }
    if (currentIsBookPane)
        return choose(current, true);
    request.paneRegion.reset();
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Resolution

GoToRouter::Context GoToRouter::readingContext() const
{
    Context c;
    c.regionCount = m_panes.regionCount();
    c.current = m_panes.currentRegion();
    c.currentIsBookPane = c.current >= 0 && m_panes.isBookPane(c.current);
    if (c.currentIsBookPane)
        c.currentBook = m_panes.paneCurrentBook(c.current);
    return c;
}

GoToRouter::Book GoToRouter::preferredBook(const SettingKey<qint64>& pubIdKey, const SettingKey<qint64>& bookIdKey)
{
    const qint64 pub = m_defaults.value(pubIdKey);
    const qint64 bookID = m_defaults.value(bookIdKey);
    if (pub == 0 || bookID == 0)
        return nullptr;
    const auto all = m_library.allSources();
    return all ? all->tupleForPubID(pub, bookID) : nullptr;
}

void GoToRouter::reportFailure(
    GoToRequest& request, const QString& message, const QString& informative, const QString& separator)
{
    if (request.noAlerts) {
        request.alertText = message + separator + informative;
        return;
    }
    // The alert ends the wait the indicator stands for: it must not show (or start showing while the
    // alert's own event loop runs) behind the alert.
    endBusyIndicator();
    Alert alert;
    alert.messageText = message;
    alert.informativeText = informative;
    alert.style = AlertStyle::Informational;
    m_alerts.runModal(alert);
}

GoToRouter::Book GoToRouter::sourceForGoTo(GoToRequest& request)
{
    QS_ASSERT_MAIN_THREAD();
    const Context context = readingContext();
    if (request.isReadingRequest())
        return resolveReadingRequest(request, context);
    if (request.wordSync) {
        if (request.wordSync->size() > GoToLink::kMaxLinkLength)
            return nullptr;
        return resolveSyncRequest(request, *request.wordSync, context);
    }
    if (!request.href)
        return nullptr;
    const GoToLink::Link link = GoToLink::classify(*request.href);
    switch (link.kind) {
    case GoToLink::LinkKind::Bible:
        return resolveBibleLink(request, link.text, context);
    case GoToLink::LinkKind::Book:
        return resolveBookLink(request, link.text);
    case GoToLink::LinkKind::Sync:
        return resolveSyncRequest(request, link.text, context);
    case GoToLink::LinkKind::Note:
        handleNoteLink(link.text, context);
        return nullptr;
    case GoToLink::LinkKind::Section:
        if (!context.currentIsBookPane)
            return nullptr;
        request.section = link.section;
        request.paneRegion = context.current;
        return context.currentBook;
    case GoToLink::LinkKind::None:
        break;
    }
    return nullptr;
}

GoToRouter::Book GoToRouter::resolveBibleLink(GoToRequest& request, const QString& text, const Context& context)
{
    auto found = [&request, &text](const Book& book) {
        if (!isBible(book))
            return false;
        quint32 start = 0;
        quint32 end = 0;
        book->locations().sectionRangeForGoTo(text, &start, &end);
        if (start == 0)
            book->locations().sectionRangeForBackwardLink(text, &start, &end);
        if (start == 0)
            return false;
        request.section = start;
        request.endSectionNumber = end;
        return true;
    };
    auto shownBy = [&request](const Book& book, int region) {
        request.paneRegion = region;
        return book;
    };
    auto chosen = [this, &request](const Book& book) {
        paneForGoTo(request, book);
        return book;
    };

    if (request.preferPreferredBible) {
        const Book preferred = preferredBook(SettingsKeys::PreferredBiblePubId, SettingsKeys::PreferredBibleBookId);
        if (found(preferred))
            return chosen(preferred);
    }
    if (context.currentIsBookPane && found(context.currentBook))
        return shownBy(context.currentBook, context.current);
    for (int r = 0; r < context.regionCount; ++r) {
        if (r == context.current || !m_panes.isBookPane(r))
            continue;
        const Book book = m_panes.paneCurrentBook(r);
        if (found(book))
            return shownBy(book, r);
    }
    {
        const Book preferred = preferredBook(SettingsKeys::PreferredBiblePubId, SettingsKeys::PreferredBibleBookId);
        if (found(preferred))
            return chosen(preferred);
    }
    if (context.currentIsBookPane) {
        for (const Book& tab : m_panes.paneTabBooks(context.current)) {
            if (found(tab))
                return shownBy(tab, context.current);
        }
    }
    for (int r = 0; r < context.regionCount; ++r) {
        if (!m_panes.isBookPane(r))
            continue;
        for (const Book& tab : m_panes.paneTabBooks(r)) {
            if (found(tab))
                return shownBy(tab, r);
        }
    }
    for (const Book& book : booksOf(m_library.bibleSources())) {
        if (found(book))
            return chosen(book);
    }
    reportFailure(request, QStringLiteral("Verse not found in any of your installed Bibles."),
        QStringLiteral("While looking for %1").arg(text), QStringLiteral("\r\n"));
    return nullptr;
}

GoToRouter::Book GoToRouter::resolveBookLink(GoToRequest& request, const QString& text)
{
    const GoToLink::BookLink link = GoToLink::parseBookLink(text);
    Book book;
    if (link.hasPath() && link.idsValid()) {
        if (const auto all = m_library.allSources())
            book = all->tupleForPubID(link.pubID, link.bookID);
    }
    if (book) {
        const quint32 section = book->isABible() ? book->locations().sectionForSyncString(link.path)
                                                 : book->locations().sectionForTocPath(link.path);
        if (section != 0) {
            request.section = section;
            paneForGoTo(request, book);
            return book;
        }
        reportFailure(request, QStringLiteral("Could not satisfy the link (%1)").arg(link.path),
            book->isABible() ? QStringLiteral("Verse not found in %1").arg(book->record().abbr)
                             : QStringLiteral("Table of contents path not found in %1 (%2).")
                                   .arg(book->record().abbr, book->record().name));
        return nullptr;
    }
    reportFailure(request, QStringLiteral("Could not satisfy the link (%1)").arg(text),
        link.idsValid() ? GoToLink::bookNotInstalledText(link.pubID, link.bookID)
                        : QStringLiteral("The link is malformed: '%1'").arg(text));
    return nullptr;
}

GoToRouter::Book GoToRouter::resolveSyncRequest(GoToRequest& request, const QString& rawText, const Context& context)
{
    const QString text = GoToLink::syncLookupText(rawText);
    // A link inside a book that ignores intra-book sync never resolves to that book (either
    // record of it may carry the flag: the pane's or the library's).
    auto ignored = [&request, &context](const Book& book) {
        return request.wasHyperlink && sameBook(book, context.currentBook) &&
            (book->record().ignoreIntraBookSync || context.currentBook->record().ignoreIntraBookSync);
    };
    bool wordMatch = true;
    Book result;

    // 1. The books on screen: the current pane first, then the others in order.
    std::vector<int> visible;
    if (context.current >= 0)
        visible.push_back(context.current);
    for (int r = 0; r < context.regionCount; ++r) {
        if (r != context.current)
            visible.push_back(r);
    }
    for (int r : visible) {
        if (!m_panes.isBookPane(r))
            continue;
        const Book book = m_panes.paneCurrentBook(r);
        if (!book || ignored(book))
            continue;
        quint32 section = 0;
        const quint64 syncType = book->record().syncType;
        if (syncType <= 1) {
            section = book->locations().sectionForSyncString(text, true);
            if (section != 0)
                wordMatch = false;
            else
                section = book->locations().sectionForSyncString(text);
        } else if (syncType == 2) {
            section = book->locations().sectionForSyncString(text);
        }
        if (section != 0) {
            request.section = section;
            request.paneRegion = r;
            result = book;
            break;
        }
    }

    auto tryBook = [&](const Book& book) {
        if (!book || ignored(book))
            return false;
        const quint32 section = book->locations().sectionForSyncString(text);
        if (section == 0)
            return false;
        request.section = section;
        return true;
    };

    // 2-3. The preferred dictionaries, Hebrew and Greek first for a Strong's number.
    if (!result) {
        const Book dictionary =
            preferredBook(SettingsKeys::PreferredDictionaryPubId, SettingsKeys::PreferredDictionaryBookId);
        const Book hebrew =
            preferredBook(SettingsKeys::PreferredHebrewDictionaryPubId, SettingsKeys::PreferredHebrewDictionaryBookId);
        const Book greek =
            preferredBook(SettingsKeys::PreferredGreekDictionaryPubId, SettingsKeys::PreferredGreekDictionaryBookId);
        const std::vector<Book> order = GoToLink::isStrongsNumber(text) ? std::vector<Book> {hebrew, greek, dictionary}
                                                                        : std::vector<Book> {dictionary, hebrew, greek};
        for (const Book& book : order) {
            if (tryBook(book)) {
                paneForGoTo(request, book);
                result = book;
                break;
            }
        }
    }
    // 4. The other tabs of the current pane that sync by word.
    if (!result && context.currentIsBookPane) {
        for (const Book& tab : m_panes.paneTabBooks(context.current)) {
            if (tab && !sameBook(tab, context.currentBook) && tab->record().syncType == 2 && tryBook(tab)) {
                request.paneRegion = context.current;
                result = tab;
                break;
            }
        }
    }
    // 5. The tabs of the other book panes that sync by word.
    for (int r = 0; !result && r < context.regionCount; ++r) {
        if (r == context.current || !m_panes.isBookPane(r))
            continue;
        for (const Book& tab : m_panes.paneTabBooks(r)) {
            if (tab && tab->record().syncType == 2 && tryBook(tab)) {
                request.paneRegion = r;
                result = tab;
                break;
            }
        }
    }
    // 6. Any installed dictionary.
    if (!result) {
        for (const Book& book : booksOf(m_library.dictionarySources())) {
            if (tryBook(book)) {
                paneForGoTo(request, book);
                result = book;
                break;
            }
        }
    }
    if (!result) {
        reportFailure(request, QStringLiteral("Entry not found in any installed %1.").arg(QStringLiteral("dictionary")),
            QStringLiteral("While looking for %1").arg(text));
        return nullptr;
    }
    if (wordMatch)
        request.wordSync = text;
    return result;
}

void GoToRouter::handleNoteLink(const QString& text, const Context& context)
{
    const GoToLink::NoteLink link = GoToLink::parseNoteLink(text);
    QVariantMap info;
    switch (link.kind) {
    case GoToLink::NoteLink::Kind::None:
        return;
    case GoToLink::NoteLink::Kind::BibleVerse:
        info.insert(QStringLiteral("book"), link.book);
        info.insert(QStringLiteral("chapter"), link.chapter);
        info.insert(QStringLiteral("verse"), link.verse);
        info.insert(QStringLiteral("key"), QVariant::fromValue<uint>(link.key()));
        break;
    case GoToLink::NoteLink::Kind::BookSection:
        info.insert(QStringLiteral("pubid"), QVariant::fromValue<qlonglong>(link.pubID));
        info.insert(QStringLiteral("bookid"), QVariant::fromValue<qlonglong>(link.bookID));
        info.insert(QStringLiteral("ed"), QVariant::fromValue<qlonglong>(link.edition));
        info.insert(QStringLiteral("section"), QVariant::fromValue<qlonglong>(link.section));
        break;
    }
    if (context.currentBook)
        info.insert(QStringLiteral("source"), bookVariant(context.currentBook));
    m_center.postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, this, info);
}

GoToRouter::Book GoToRouter::resolveReadingRequest(GoToRequest& request, const Context& context)
{
    auto devotional = [](const Book& book) { return book && book->docSupports(kDocSupportsDailyReadings); };
    Book book;
    if (devotional(context.currentBook))
        book = context.currentBook;
    if (!book) {
        const Book preferred =
            preferredBook(SettingsKeys::PreferredDevotionalPubId, SettingsKeys::PreferredDevotionalBookId);
        if (preferred)
            book = preferred;
    }
    for (int r = 0; !book && r < context.regionCount; ++r) {
        if (!m_panes.isBookPane(r))
            continue;
        for (const Book& tab : m_panes.paneTabBooks(r)) {
            if (devotional(tab)) {
                book = tab;
                break;
            }
        }
    }
    if (!book) {
        const auto list = booksOf(m_library.devotionalSources());
        if (!list.empty())
            book = list.front();
    }
    if (!book) {
        reportFailure(request, QStringLiteral("Unable to find any daily devotional books."),
            QStringLiteral("No devotional is open, chosen in Settings or installed. To get one, choose File > Cloud "
                           "Library... and download a devotional you own."));
        return nullptr;
    }
    paneForGoTo(request, book);
    return book;
}

#include "panes/layoutview/LayoutViewController.h"

#include "library/GoToRequest.h"
#include "library/GoToRouter.h"
#include "library/LibraryNotifications.h"
#include "library/NavigationHistory.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "library/SourceTupleArray.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/layout/LayoutRegionContentItemState.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/layoutview/LayoutGoToPanes.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutSyncMemory.h"
#include "panes/layoutview/LayoutView.h"
#include "platform/Alerts.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QTimer>

#include <algorithm>
#include <utility>

namespace N = PaneNotifications;

LayoutViewController::LayoutViewController(const WindowEnvironment& window, const QString& cacheDirectory)
    : m_manager(window.layoutManager()),
      m_library(window.books()),
      m_center(window.notifications()),
      m_defaults(window.settings()),
      m_alerts(window.alert()),
      m_syncMemory(std::make_unique<LayoutSyncMemory>(window.settings()))
{
    m_view = new LayoutView(m_manager, m_center, m_defaults);
    m_goToPanes = std::make_unique<LayoutGoToPanes>(m_manager, m_library, m_view.data());
    m_history = std::make_unique<NavigationHistory>(*m_goToPanes, cacheDirectory);
    m_history->loadHistoryFromFile();
    m_router = std::make_unique<GoToRouter>(*m_goToPanes, m_library, *m_history, m_center, m_defaults, m_alerts);

    observe(N::UserWantsToOpenThisBookNotification, [this](Notification& n) {
        // A book that follows location sync starts at the last place synced, kept a moment
        // before it is written: it is written now.
        m_syncMemory->write();
        if (LayoutBookPane* pane = currentBookPane()) {
            pane->openBookFromDictionary(n.userInfo, true);
            // The keys go to the pane that got the book, also once the sheet it was chosen in closes.
            if (QWidget* view = pane->paneView(); view != nullptr && view->isVisible())
                view->setFocus(Qt::OtherFocusReason);
        }
    });
    observe(N::UserWantsToCloseActiveBookNotification, [this](Notification&) {
        if (LayoutBookPane* pane = currentBookPane())
            pane->closeActiveBook();
    });
    observe(N::UserWantsToSeeCurrentBookProperties, [this](Notification&) {
        LayoutBookPane* pane = currentBookPane();
        auto book = pane ? pane->currentSourceTuple() : nullptr;
        if (book && m_bookPropertiesHandler)
            m_bookPropertiesHandler(book);
    });
    observe(N::UserWantsToSplitActivePaneNotification,
        [this](Notification& n) { splitActivePane(n.userInfo.value(QStringLiteral("vertical")).toLongLong() != 0); });
    observe(N::UserWantsToCloseActivePaneNotification, [this](Notification&) { closeActivePane(); });
    observe(N::DisplayPreferencesChangedNotification, [this](Notification&) {
        if (m_view)
            m_view->displaySettingsChanged();
    });
    observe(LibraryNotifications::EverybodySyncToMeNotification, [this](Notification& n) { everybodySyncToMe(n); });
    for (const QString& name : {N::UserWantsToScrollUpOneLine, N::UserWantsToScrollUpOnePage,
             N::UserWantsToScrollDownOneLine, N::UserWantsToScrollDownOnePage}) {
        observe(name, [this](Notification& n) {
            if (LayoutBookPane* pane = currentBookPane()) {
                pane->scrollActiveBook(n.name);
                giveKeysToCurrentPane();
            }
        });
    }
    observe(N::UserWantsToMaximizeCurrentPaneNotification, [this](Notification&) { maximizeCurrentPane(); });
    observe(N::UserWantsToMaximizeCurrentBookNotification, [this](Notification&) { maximizeCurrentBook(); });
    observe(N::resetLocationSyncToDefaultsNotification, [this](Notification&) { resetLocationSyncToDefaults(); });
    // A layout deleted or an archive read may change the current layout under the view: show
    // what is current now, so the view never keeps pointers into a layout that is gone.
    observe(LibraryNotifications::qsLayoutManagerAddedOrRemovedLayoutsNotification, [this](Notification&) {
        if (m_view && m_view->shownLayout() != m_manager.currentLayout())
            showCurrentLayout();
    });
}

LayoutViewController::~LayoutViewController()
{
    m_syncMemory->write();
    m_observations.clear();
    m_router.reset();
    m_history.reset();
    m_goToPanes.reset();
    delete m_view.data();
}

void LayoutViewController::observe(const QString& name, std::function<void(Notification&)> handler)
{
    m_observations.emplace_back(m_center, m_center.addObserver(this, name, std::move(handler)));
}

LayoutView* LayoutViewController::view() const
{
    return m_view.data();
}

void LayoutViewController::setPaneFactory(LayoutPaneFactory* factory)
{
    if (m_view)
        m_view->setPaneFactory(factory);
}

void LayoutViewController::setNewLayoutHandler(std::function<Layout*(const QString&)> handler)
{
    m_newLayoutHandler = std::move(handler);
}

void LayoutViewController::setBookPropertiesHandler(std::function<void(const std::shared_ptr<SourceTuple>&)> handler)
{
    m_bookPropertiesHandler = std::move(handler);
}

void LayoutViewController::setSaveStateHandler(std::function<void()> handler)
{
    m_saveStateHandler = std::move(handler);
}

void LayoutViewController::setWebLinkHandler(std::function<void(const QUrl&, bool)> handler)
{
    m_goToPanes->setWebLinkHandler(std::move(handler));
}

void LayoutViewController::showCurrentLayout()
{
    if (m_view)
        m_view->setCurrentLayout(m_manager.currentLayout());
}

Layout* LayoutViewController::newLayoutFromDescriptor(const QString& descriptor)
{
    const LayoutRect rect {0, 0, m_view ? double(m_view->width()) : 0, m_view ? double(m_view->height()) : 0};
    Layout* layout = m_manager.addLayoutWithDescriptor(descriptor, rect, QString());
    if (!layout)
        return nullptr;
    if (LayoutRegion* study = layout->addRegionWithDimension(
            defaultStudyPaneWidth(), LayoutRegion::Left, LayoutRegionContents::kStudyKind, true)) {
        study->setMinSize(LayoutSize {6, study->minSize().height});
    }
    if (m_view)
        m_view->setCurrentLayout(layout);
    else
        m_manager.setCurrentLayout(layout);
    return layout;
}

// --- lifecycle ---

void LayoutViewController::exitIsImminent()
{
    if (Layout* layout = m_manager.currentLayout()) {
        for (const auto& contents : layout->contents()) {
            if (auto* controller = contents->viewController())
                controller->exitIsImminent();
        }
    }
    m_syncMemory->write();
    m_history->saveHistoryToFile();
}

void LayoutViewController::preemptiveSaveState()
{
    m_syncMemory->write();
    m_history->saveHistoryToFile();
}

void LayoutViewController::showBusyIndicator(bool show, int afterDelayMs)
{
    QTimer::singleShot(afterDelayMs, this, [this, show] { m_goToPanes->showBusyIndicator(show); });
}

// --- pane management ---

void LayoutViewController::addHistory(bool force)
{
    m_history->addStateToHistory(force, m_goToPanes->currentLayoutUuid());
}

void LayoutViewController::splitActivePane(bool vertical)
{
    Layout* layout = m_manager.currentLayout();
    if (!layout || layout->currentRegionIndex() == kLayoutNotFound)
        return;
    addHistory(false);
    LayoutRegion* added = layout->splitRegion(layout->currentRegionIndex(), vertical, true, 0.5, QString());
    if (!added)
        return;
    LayoutRegionContents* contents = layout->contentsForRegion(added);
    if (contents && !contents->viewController() && m_view && m_view->paneFactory())
        contents->setViewController(m_view->paneFactory()->makeBookPane(*contents));
    if (m_view) {
        m_view->makePaneCurrentWithRegion(added);
        m_view->refreshDisplay();
    } else {
        layout->setCurrentRegion(added);
    }
    addHistory(true);
    // The new pane is where the reader goes next: its keys open a book in it or Go To for it.
    giveKeysToCurrentPane();
}

void LayoutViewController::closeActivePane()
{
    Layout* layout = m_manager.currentLayout();
    if (!layout || !layout->currentRegion())
        return;
    if (layout->countRegionsWithKind(QString()) > 1) {
        addHistory(false);
        if (layout->removeRegion(layout->currentRegion()) && m_view)
            m_view->refreshDisplay();
        addHistory(true);
        // The keys leave with the pane that went: the pane now current takes them.
        giveKeysToCurrentPane();
        return;
    }
    Alert alert;
    alert.messageText = QStringLiteral("You can't close the last book pane.");
    alert.informativeText = QStringLiteral("Sorry.");
    alert.style = AlertStyle::Informational;
    m_alerts.runModal(alert);
}

void LayoutViewController::maximizeCurrentPane()
{
    Layout* layout = m_manager.currentLayout();
    LayoutRegionContents* contents = layout ? layout->currentRegionContents() : nullptr;
    if (!contents || !contents->kind().isEmpty())
        return;
    auto all = m_library.allSources();
    std::vector<GoToRequest> requests;
    for (size_t i = 0; i < contents->items().size(); ++i) {
        const LayoutRegionContentItem* item = contents->itemAt(i);
        const LayoutRegionContentItemDescriptor* descriptor = item->bookDescriptor();
        if (!descriptor)
            continue;
        GoToRequest request;
        request.sourceTuple = all ? all->tupleForSourceTupleID(descriptor->sourceTupleID()) : nullptr;
        if (!request.sourceTuple)
            continue;  // a tab whose book is no longer installed
        if (const LayoutRegionContentItemState* state = item->bookState()) {
            request.section = state->section();
            request.block = state->block();
            request.yoffset = state->yOffset();
        }
        request.activate = i == contents->currentItemIndex();
        requests.push_back(std::move(request));
    }
    doNewLayoutWithBooks(requests, kMaximizedPaneName);
}

void LayoutViewController::maximizeCurrentBook()
{
    LayoutBookPane* pane = currentBookPane();
    if (!pane)
        return;
    GoToRequest request;
    request.sourceTuple = pane->currentSourceTuple();
    if (!request.sourceTuple)
        return;
    request.section = pane->currentSourceSection();
    request.block = pane->currentSourceBlock();
    request.yoffset = pane->currentYOffset();
    doNewLayoutWithBooks({request});
}

void LayoutViewController::postLayoutNameChanged()
{
    m_center.postNotificationName(PaneNotifications::qsLayoutManagerLayoutNameChangedNotification);
}

void LayoutViewController::doNewLayoutWithBooks(const std::vector<GoToRequest>& requests, const QString& name)
{
    Layout* made =
        m_newLayoutHandler ? m_newLayoutHandler(QStringLiteral("V1")) : newLayoutFromDescriptor(QStringLiteral("V1"));
    // Without a new layout the books would land in the layout shown, which is not what was asked.
    Layout* layout = made ? m_manager.currentLayout() : nullptr;
    if (!layout || layout->regions().empty() || !layout->regionAt(0))
        return;
    const QString uuid = layout->uuidString();
    // The books open as one move: the new layout's history starts with all of them open, not with
    // a state for each book on the way there.
    for (const GoToRequest& original : requests) {
        GoToRequest request = original;
        request.paneRegion = 0;
        request.forcePane = true;
        request.layoutUuid = uuid;
        request.noHistory = true;
        request.preHistory = false;
        request.postHistory = false;
        request.post(m_center, this);
    }
    QString title = name;
    if (title.isEmpty() && requests.size() == 1 && requests.front().sourceTuple)
        title = requests.front().sourceTuple->record().abbr;
    if (!title.isEmpty()) {
        layout->setName(title);
        postLayoutNameChanged();
    }
    m_history->addStateToHistory(true, uuid);
}

bool LayoutViewController::canCurrentPaneSplitHorizontally() const
{
    Layout* layout = m_manager.currentLayout();
    LayoutRegion* region = layout ? layout->currentRegion() : nullptr;
    return region && region->bounds().height / 2 >= region->minSize().height;
}

bool LayoutViewController::canCurrentPaneSplitVertically() const
{
    Layout* layout = m_manager.currentLayout();
    LayoutRegion* region = layout ? layout->currentRegion() : nullptr;
    return region && region->bounds().width / 2 >= region->minSize().width;
}

bool LayoutViewController::canToggleReadingComplete() const
{
    LayoutBookPane* pane = currentBookPane();
    return pane && pane->canToggleReadingComplete();
}

bool LayoutViewController::isCurrentReadingComplete() const
{
    LayoutBookPane* pane = currentBookPane();
    return pane && pane->isCurrentReadingComplete();
}

void LayoutViewController::nextBookPane()
{
    stepBookPane(true);
}

void LayoutViewController::previousBookPane()
{
    stepBookPane(false);
}

void LayoutViewController::stepBookPane(bool forward)
{
    Layout* layout = m_manager.currentLayout();
    if (!layout || layout->regions().empty())
        return;
    // The book panes in reading order: row by row from the top of the window (the model's y grows
    // upwards), left to right within a row; region numbers follow the order of the splits instead.
    std::vector<quint64> order;
    for (quint64 i = 0; i < layout->regions().size(); ++i)
        if (layout->contentsAt(i) && layout->contentsAt(i)->kind().isEmpty() && layout->regionAt(i))
            order.push_back(i);
    if (order.empty())
        return;
    std::stable_sort(order.begin(), order.end(), [layout](quint64 a, quint64 b) {
        const LayoutRect ra = layout->regionAt(a)->bounds();
        const LayoutRect rb = layout->regionAt(b)->bounds();
        if (layoutRound(ra.top()) != layoutRound(rb.top()))
            return layoutRound(ra.top()) > layoutRound(rb.top());
        return layoutRound(ra.left()) < layoutRound(rb.left());
    });
    const auto at = std::find(order.begin(), order.end(), layout->currentRegionIndex());
    quint64 index = 0;
    if (at == order.end()) {
        // From the study pane (or no pane): the first pane forward, the last backward.
        index = forward ? order.front() : order.back();
    } else {
        if (order.size() < 2)
            return;
        const size_t position = size_t(at - order.begin());
        index = order[forward ? (position + 1) % order.size() : (position + order.size() - 1) % order.size()];
    }
    addHistory(false);
    if (m_view)
        m_view->makePaneCurrentWithRegion(layout->regionAt(index));
    else
        layout->setCurrentRegion(layout->regionAt(index));
    addHistory(true);
    // The keys go where the reader went: the pane's page scrolls with them.
    if (LayoutBookPane* pane = asBookPane(layout->contentsAt(index)->viewController()))
        if (QWidget* view = pane->paneView(); view != nullptr && view->isVisible())
            view->setFocus(Qt::OtherFocusReason);
}

void LayoutViewController::everybodySyncToMe(const Notification& notification)
{
    const GoToRequest request = GoToRequest::of(notification);
    if (request.doesNotSendLocationSync.value_or(false))
        return;
    if (request.bibleKey && *request.bibleKey != 0)
        m_syncMemory->remember(SettingsKeys::SyncBibleKey(request.layoutUuid).name, qint64(*request.bibleKey));
    if (request.wordSync)
        m_syncMemory->remember(SettingsKeys::SyncWordSync(request.layoutUuid).name, *request.wordSync);
}

void LayoutViewController::rememberPlaceShown()
{
    Layout* layout = m_manager.currentLayout();
    if (layout == nullptr)
        return;
    auto keyShownBy = [](LayoutBookPane* pane) -> quint32 {
        const std::shared_ptr<SourceTuple> book = pane ? pane->currentSourceTuple() : nullptr;
        const quint64 section = pane ? pane->currentSourceSection() : 0;
        if (!book || !book->isABible() || section == 0 || pane->paneDoesNotSendLocationSync())
            return 0;
        return book->locations().keyForSection(quint32(section));
    };
    quint32 key = keyShownBy(currentBookPane());
    for (const auto& contents : layout->contents()) {
        if (key != 0)
            break;
        if (contents->kind().isEmpty() && contents->viewController())
            key = keyShownBy(asBookPane(contents->viewController()));
    }
    if (key != 0) {
        // Written at once: a book opened a moment after Back (before the memory's own write) starts
        // from the settings, and one step of Back or Forward is no burst of writes.
        m_syncMemory->remember(SettingsKeys::SyncBibleKey(layout->uuidString()).name, qint64(key));
        m_syncMemory->write();
    }
}

void LayoutViewController::resetLocationSyncToDefaults()
{
    m_defaults.set(SettingsKeys::SyncBiblesComm, true);
    m_defaults.set(SettingsKeys::SyncDevotionals, true);
    m_defaults.set(SettingsKeys::SyncDictionaries, true);
    if (Layout* layout = m_manager.currentLayout()) {
        for (const auto& contents : layout->contents()) {
            if (!contents->kind().isEmpty() || !contents->viewController())
                continue;
            if (LayoutBookPane* pane = asBookPane(contents->viewController())) {
                pane->setPaneDoesNotSendLocationSync(false);
                pane->setPaneDoesNotReceiveLocationSync(false);
            }
            if (LayoutRegionContentsState* state = contents->state()) {
                state->setPaneDoesNotSendLocationSync(false);
                state->setPaneDoesNotReceiveLocationSync(false);
            }
            for (const auto& item : contents->items()) {
                if (LayoutRegionContentItemState* state = item->bookState()) {
                    state->setDoesNotSendLocationSync(false);
                    state->setDoesNotReceiveLocationSync(false);
                }
            }
        }
    }
    if (m_saveStateHandler)
        m_saveStateHandler();
    else
        preemptiveSaveState();
}

// --- the current book pane ---

void LayoutViewController::giveKeysToCurrentPane()
{
    LayoutBookPane* pane = currentBookPane();
    QWidget* view = pane != nullptr ? pane->paneView() : nullptr;
    if (view == nullptr)
        return;
    if (view->isVisible()) {
        view->setFocus(Qt::OtherFocusReason);
        return;
    }
    // A view just made (a split, a layout rebuilt) shows with the next pass of the event loop.
    QTimer::singleShot(0, view, [this, view] {
        LayoutBookPane* now = currentBookPane();
        if (now != nullptr && now->paneView() == view && view->isVisible())
            view->setFocus(Qt::OtherFocusReason);
    });
}

LayoutBookPane* LayoutViewController::currentBookPane() const
{
    Layout* layout = m_manager.currentLayout();
    LayoutRegionContents* contents = layout ? layout->currentRegionContents() : nullptr;
    if (!contents || !contents->kind().isEmpty())
        return nullptr;
    return asBookPane(contents->viewController());
}

void LayoutViewController::nextBook()
{
    if (LayoutBookPane* pane = currentBookPane())
        pane->nextBook();
}

void LayoutViewController::previousBook()
{
    if (LayoutBookPane* pane = currentBookPane())
        pane->previousBook();
}

bool LayoutViewController::tryCopyFromBook()
{
    LayoutBookPane* pane = currentBookPane();
    return pane && pane->tryCopyFromBook();
}

void LayoutViewController::onAutostudyVerse()
{
    if (LayoutBookPane* pane = currentBookPane())
        pane->onAutostudyVerse();
}

void LayoutViewController::onAutostudyWord()
{
    if (LayoutBookPane* pane = currentBookPane())
        pane->onAutostudyWord();
}

std::shared_ptr<SourceTuple> LayoutViewController::activeSourceTuple() const
{
    LayoutBookPane* pane = currentBookPane();
    return pane ? pane->currentSourceTuple() : nullptr;
}

QString LayoutViewController::selectedBibleRefString() const
{
    LayoutBookPane* pane = currentBookPane();
    return pane ? pane->selectedBibleRefString() : QString();
}

void LayoutViewController::readSelectionNow(std::function<void()> done)
{
    if (LayoutBookPane* pane = currentBookPane())
        pane->readSelectionNow(std::move(done));
    else
        done();
}

QString LayoutViewController::selectedText() const
{
    LayoutBookPane* pane = currentBookPane();
    return pane ? pane->selectedText() : QString();
}

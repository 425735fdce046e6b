#include "panes/bookpane/BookPaneTabs.h"

#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/BookPaneHooks.h"
#include "panes/bookpane/BookPanePage.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/bookpane/BookSupport.h"
#include "panes/bookpane/PaneTabBar.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/page/BookPageView.h"
#include "panes/page/SourceTupleBookPageSource.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"

#include <QJsonDocument>

#include <optional>

using BookSupport::isBible;
using BookSupport::supports;

namespace {

constexpr quint64 kNone = BookPaneViewController::kNone;
constexpr quint32 kNoBlock = BookPaneViewController::kNoBlock;

}  // namespace

BookPaneTabs::BookPaneTabs(BookPaneViewController& pane) : m_pane(pane)
{
}

void BookPaneTabs::attachToTabBar()
{
    PaneTabBar* bar = m_pane.tabBar();
    connect(bar, &QTabBar::currentChanged, this, [this](int index) {
        if (!m_ignoreTabMessages)
            onTabSelected(index);
    });
    connect(bar, &QTabBar::tabMoved, this, [this](int, int) {
        if (!m_ignoreTabMessages)
            makeLayoutManagerMatchTabs();
    });
    connect(bar, &QTabBar::tabCloseRequested, this, &BookPaneTabs::onTabCloseRequested);
    connect(bar, &PaneTabBar::addTabRequested, this, &BookPaneTabs::addNewTab);
    bar->setDropFilter([this](PaneTabBar* from, const QString& uuid) { return acceptsDrop(from, uuid); });
    connect(bar, &PaneTabBar::tabDroppedIn, this, [this](PaneTabBar* from, const QString&) { tabDroppedIn(from); });
    connect(bar, &PaneTabBar::tabDraggedOut, this, [this](PaneTabBar*, const QString&) {
        LayoutRegionContents* contents = m_pane.regionContents();
        makeLayoutManagerMatchTabs();
        if (contents && !contents->items().empty() && contents->currentItemIndex() == kNone)
            contents->setCurrentItemIndex(std::max(0, m_pane.tabBar()->currentIndex()));
        m_pane.pageHost().displayCurrentSource(false);
    });
    connect(bar, &PaneTabBar::tabDragStarted, this, [this] {
        m_dragging = true;
        m_pane.postHistory(false);
    });
    connect(bar, &PaneTabBar::tabDragEnded, this, [this] {
        m_dragging = false;
        m_pane.postHistory(true);
    });
}

namespace {

// The pane view that holds a tab bar (the bar sits in the pane's tab row).
BookPaneView* paneViewOf(const PaneTabBar* bar)
{
    for (QWidget* w = bar != nullptr ? bar->parentWidget() : nullptr; w != nullptr; w = w->parentWidget())
        if (auto* view = qobject_cast<BookPaneView*>(w))
            return view;
    return nullptr;
}

}  // namespace

bool BookPaneTabs::acceptsDrop(PaneTabBar* from, const QString& uuid) const
{
    auto* fromView = paneViewOf(from);
    if (!fromView || !fromView->viewController())
        return false;
    LayoutRegionContents* holder = fromView->viewController()->regionContents();
    if (!holder)
        return false;
    const quint64 i = holder->indexOfItemWithUuidString(uuid);
    LayoutRegionContentItem* item = holder->itemAt(i);
    if (!item || !item->bookDescriptor())
        return false;
    return indexOfSourceTupleIdInPaneContents(item->bookDescriptor()->sourceTupleID()) == kNone;
}

void BookPaneTabs::tabDroppedIn(PaneTabBar* from)
{
    auto* fromView = paneViewOf(from);
    m_dropSource = fromView ? fromView->viewController() : nullptr;
    makeLayoutManagerMatchTabs();
    m_dropSource = nullptr;
    if (m_pane.tabBar()->currentIndex() >= 0)
        m_pane.regionContents()->setCurrentItemIndex(m_pane.tabBar()->currentIndex());
    m_pane.pageHost().displayCurrentSource(false);
    // The pane that got the book is the one the reader works in now.
    m_pane.requestBecomeCurrent();
    m_pane.hooks().preemptiveSaveState();
}

SourceTuple::Ptr BookPaneTabs::libraryTuple(const SourceTupleID& id) const
{
    auto all = m_pane.window().books().allSources();
    return all ? all->tupleForSourceTupleID(id) : nullptr;
}

SourceTuple::Ptr BookPaneTabs::sourceTupleForDescriptor(const LayoutRegionContentItemDescriptor* d) const
{
    return d ? libraryTuple(d->sourceTupleID()) : nullptr;
}

SourceTuple::Ptr BookPaneTabs::tupleAt(quint64 index) const
{
    LayoutRegionContentItem* item = m_pane.regionContents() ? m_pane.regionContents()->itemAt(index) : nullptr;
    return item ? sourceTupleForDescriptor(item->bookDescriptor()) : nullptr;
}

quint64 BookPaneTabs::indexOfSourceTupleIdInPaneContents(const SourceTupleID& id) const
{
    if (!m_pane.regionContents())
        return kNone;
    const auto& items = m_pane.regionContents()->items();
    for (size_t i = 0; i < items.size(); ++i) {
        const LayoutRegionContentItemDescriptor* d = items[i]->bookDescriptor();
        if (!d)
            break;
        if (d->sourceTupleID() == id)
            return i;
    }
    return kNone;
}

void BookPaneTabs::openBookFromDictionary(const QVariantMap& d, bool activate)
{
    auto all = m_pane.window().books().allSources();
    SourceTuple::Ptr tuple = all ? all->tupleForPubID(d.value("pubid").toLongLong(), d.value("bookid").toLongLong(),
                                       d.value("edition").toLongLong(), d.value("revision").toLongLong())
                                 : nullptr;
    if (!tuple) {
        qWarning("failed to open book from dictionary %s",
            qPrintable(QString::fromUtf8(QJsonDocument::fromVariant(d).toJson(QJsonDocument::Compact))));
        return;
    }
    openBookFromSourceTuple(tuple, activate);
}

void BookPaneTabs::openBookFromSourceTuple(const SourceTuple::Ptr& tuple, bool activate)
{
    if (!m_pane.regionContents() || !tuple)
        return;
    const SourceTupleID id = tuple->sourceTupleID();
    if (SourceTuple::Ptr current = m_pane.currentSourceTuple(); current && current->sourceTupleID() == id)
        return;
    if (const quint64 existing = indexOfSourceTupleIdInPaneContents(id); existing != kNone) {
        if (activate)
            selectTab(int(existing));
        return;
    }
    BookPaneViewController::HistoryStep step(m_pane);
    auto descriptor =
        std::make_unique<LayoutRegionContentItemDescriptor>(id, tuple->record().abbr, tuple->record().name);
    auto state = std::make_unique<LayoutRegionContentItemState>();
    // The first section follows the pane's Bible where the pane shows one, else what the layout
    // last synced to.
    const QString uuid = m_pane.layoutUuid();
    UserDefaults& defaults = m_pane.window().settings();
    quint32 section = 0;
    bool chosen = false;
    qint64 bibleKey = defaults.value(SettingsKeys::SyncBibleKey(uuid));
    if (const SourceTuple::Ptr shown = m_pane.currentSourceTuple();
        isBible(shown) && m_pane.currentSourceSection() != 0)
        if (const quint32 key = shown->locations().keyForSection(quint32(m_pane.currentSourceSection())); key != 0)
            bibleKey = key;
    const QVariant word = defaults.value(SettingsKeys::SyncWordSync(uuid));
    if (defaults.value(SettingsKeys::SyncBiblesComm) && (isBible(tuple) || supports(tuple, kDocSupportsBibleSync)) &&
        bibleKey != 0) {
        section = BookSupport::sectionFollowingBibleKey(tuple->locations(), quint32(bibleKey));
        chosen = true;
    } else if (defaults.value(SettingsKeys::SyncDictionaries) && supports(tuple, kDocSupportsWordLookup) &&
        word.isValid()) {
        section = tuple->locations().sectionForSyncString(word.toString());
        chosen = true;
    } else if (defaults.value(SettingsKeys::SyncDevotionals) && supports(tuple, kDocSupportsDailyReadings)) {
        const quint32 reading = m_pane.pageHost().pageSourceFor(tuple)->readingNumberForToday();
        section = reading >= 1 && reading <= tuple->record().numReadings
            ? tuple->readings().sectionForReadingNumber(reading)
            : 1;
        if (section == kNoBlock)
            section = 1;
        chosen = true;
    }
    if (!chosen || section == 0)
        section = 1;
    state->setSection(section);
    state->setBlock(LayoutRegionContentItemState::kNoBlock);
    auto item = std::make_unique<LayoutRegionContentItem>(std::move(descriptor), std::move(state));
    const QString itemUuid = item->uuidString();
    m_pane.regionContents()->items().push_back(std::move(item));
    m_pane.setDirty();
    const quint64 previous = m_pane.regionContents()->currentItemIndex();
    const int tab = m_pane.tabBar()->addTabForItem(itemUuid, tuple->record().abbr, tuple->record().name);
    if (activate || previous == kNone)
        selectTab(tab);
    m_pane.hooks().preemptiveSaveState();
}

void BookPaneTabs::selectTab(int index)
{
    if (index < 0 || index >= m_pane.tabBar()->count())
        return;
    if (m_pane.tabBar()->currentIndex() == index)
        onTabSelected(index);  // the bar does not signal a selection it already has
    else
        m_pane.tabBar()->setCurrentIndex(index);
}

void BookPaneTabs::onTabSelected(int index)
{
    if (index < 0 || !m_pane.regionContents())
        return;
    // A drag records its own step, from its start to its end.
    std::optional<BookPaneViewController::HistoryStep> step;
    if (!m_dragging)
        step.emplace(m_pane);
    const QString uuid = m_pane.tabBar()->uuidAt(index);
    if (m_pane.regionContents()->indexOfItemWithUuidString(uuid) == kNone)
        makeLayoutManagerMatchTabs();
    const quint64 itemIndex = m_pane.regionContents()->indexOfItemWithUuidString(uuid);
    if (itemIndex == kNone)
        return;
    m_pane.regionContents()->setCurrentItemIndex(itemIndex);
    m_pane.setDirty();
    m_pane.pageHost().displayCurrentSource(false);
    if (m_pane.isPaneCurrent())
        m_pane.postSourceIsActive();
    step.reset();
    // The commands' states follow the tabs, so that their keys act without a menu shown first.
    m_pane.hooks().validateToolbar();
}

void BookPaneTabs::onTabCloseRequested(int index)
{
    if (index < 0 || index >= m_pane.tabBar()->count())
        return;
    BookPaneViewController::HistoryStep step(m_pane);
    const QString uuid = m_pane.tabBar()->uuidAt(index);
    const QString currentUuid =
        m_pane.regionContents() && m_pane.regionContents()->itemAt(m_pane.regionContents()->currentItemIndex())
        ? m_pane.regionContents()->itemAt(m_pane.regionContents()->currentItemIndex())->uuidString()
        : QString();
    m_ignoreTabMessages = true;
    m_pane.tabBar()->removeTab(index);
    m_ignoreTabMessages = false;
    tabClosed(uuid);
    if (m_pane.regionContents()->items().empty()) {
        m_pane.regionContents()->setCurrentItemIndex(kNone);
        // The current pane shows no book now: what follows the current book (the study pane's go-to
        // list among them) stops showing the closed one.
        if (m_pane.isPaneCurrent())
            m_pane.postSourceIsActive();
    } else if (uuid == currentUuid) {
        // The bar chose the neighbouring tab: that one becomes current.
        selectTab(std::max(0, m_pane.tabBar()->currentIndex()));
        return;
    }
    m_pane.pageHost().displayCurrentSource(false);
    m_pane.hooks().validateToolbar();
}

void BookPaneTabs::closeActiveBook()
{
    if (!m_pane.regionContents() || m_pane.regionContents()->currentItemIndex() == kNone)
        return;
    onTabCloseRequested(int(m_pane.regionContents()->currentItemIndex()));
}

void BookPaneTabs::tabClosed(const QString& uuid)
{
    const quint64 index = m_pane.regionContents()->indexOfItemWithUuidString(uuid);
    if (index == kNone)
        return;
    m_pane.regionContents()->items().erase(m_pane.regionContents()->items().begin() + qint64(index));
    const quint64 current = m_pane.regionContents()->currentItemIndex();
    if (current != kNone && current > index)
        m_pane.regionContents()->setCurrentItemIndex(current - 1);
    else if (current != kNone && current >= m_pane.regionContents()->items().size())
        m_pane.regionContents()->setCurrentItemIndex(
            m_pane.regionContents()->items().empty() ? kNone : m_pane.regionContents()->items().size() - 1);
    m_pane.setDirty();
    m_pane.hooks().preemptiveSaveState();
}

void BookPaneTabs::addNewTab()
{
    // The book chosen opens in the current pane: this one, whatever its shade showed before.
    m_pane.requestBecomeCurrent();
    if (ActionRegistry* actions = m_pane.window().actions)
        actions->trigger(CommandNames::OpenBook);
}

void BookPaneTabs::nextBook()
{
    const int n = m_pane.tabBar()->count();
    if (n > 0 && m_pane.regionContents() && m_pane.regionContents()->currentItemIndex() != kNone) {
        const int next = int((m_pane.regionContents()->currentItemIndex() + 1) % n);
        if (quint64(next) != m_pane.regionContents()->currentItemIndex())
            selectTab(next);
    }
}

void BookPaneTabs::previousBook()
{
    const int n = m_pane.tabBar()->count();
    if (n > 0 && m_pane.regionContents() && m_pane.regionContents()->currentItemIndex() != kNone) {
        const int prev = int((m_pane.regionContents()->currentItemIndex() + n - 1) % n);
        if (quint64(prev) != m_pane.regionContents()->currentItemIndex())
            selectTab(prev);
    }
}

bool BookPaneTabs::validateItem(LayoutRegionContentItem& item)
{
    LayoutRegionContentItemDescriptor* d = item.bookDescriptor();
    if (!d)
        return false;
    SourceTupleID id = d->sourceTupleID();
    if (libraryTuple(id))
        return true;
    id.setRevisionNumber(0);
    SourceTuple::Ptr b = libraryTuple(id);
    if (!b) {
        id.setEditionNumber(0);
        b = libraryTuple(id);
    }
    if (!b) {
        d->setSourceTupleID(id);
        return false;
    }
    d->setSourceTupleID(b->sourceTupleID());
    d->setTitle(b->record().name);
    d->setAbbreviation(b->record().abbr);
    LayoutRegionContentItemState* state = item.bookState();
    if (!state) {
        item.setState(std::make_unique<LayoutRegionContentItemState>());
        state = item.bookState();
    }
    const quint64 s = state->section();
    if (s > 0 && s < b->numSections()) {
        if (!(state->block() != LayoutRegionContentItemState::kNoBlock &&
                b->locations().sectionForBlock(quint32(state->block())) == s))
            state->setBlock(b->locations().blockForSection(quint32(s)));
    } else {
        state->clear();
        state->setSection(1);
        state->setBlock(0);
    }
    state->setYOffset(0);
    state->setSectionString(QString());
    state->setGotoAnchor(QString());
    state->setDirty(true);
    state->setTempHighlightStartSection(0);
    state->setTempHighlightEndSection(0);
    return true;
}

void BookPaneTabs::makeTabsForLayoutManagerRegionContents()
{
    m_ignoreTabMessages = true;
    while (m_pane.tabBar()->count() > 0)
        m_pane.tabBar()->removeTab(0);
    if (!m_pane.regionContents()) {
        m_ignoreTabMessages = false;
        return;
    }
    bool changed = false;
    auto& items = m_pane.regionContents()->items();
    for (size_t i = 0; i < items.size();) {
        LayoutRegionContentItem& item = *items[i];
        const SourceTupleID before = item.bookDescriptor() ? item.bookDescriptor()->sourceTupleID() : SourceTupleID();
        if (validateItem(item)) {
            m_pane.tabBar()->addTabForItem(
                item.uuidString(), item.bookDescriptor()->abbreviation(), item.bookDescriptor()->title());
            if (!(item.bookDescriptor()->sourceTupleID() == before))
                changed = true;
            ++i;
        } else {
            items.erase(items.begin() + qint64(i));
            const quint64 current = m_pane.regionContents()->currentItemIndex();
            if (current != kNone && (current > i || current >= items.size()) && current > 0)
                m_pane.regionContents()->setCurrentItemIndex(current - 1);
            m_pane.setDirty();
            changed = true;
        }
    }
    quint64 current = m_pane.regionContents()->currentItemIndex();
    bool repaired = false;
    if (items.empty())
        current = kNone;
    else if (current == kNone) {
        current = 0;
        repaired = true;
    } else if (current >= items.size()) {
        current = items.size() - 1;
        repaired = true;
    }
    m_pane.regionContents()->setCurrentItemIndex(current);
    if (repaired)
        m_ignoreTabMessages = false;
    if (current != kNone) {
        if (m_ignoreTabMessages)
            m_pane.tabBar()->setCurrentIndex(int(current));
        else
            selectTab(int(current));
    }
    m_ignoreTabMessages = false;
    if (changed)
        m_pane.hooks().preemptiveSaveState();
}

BookPaneViewController* BookPaneTabs::controllerFor(LayoutRegionContents* contents) const
{
    if (!contents)
        return nullptr;
    if (contents == m_pane.regionContents())
        return &m_pane;
    if (m_dropSource && m_dropSource->regionContents() == contents)
        return m_dropSource;
    return dynamic_cast<BookPaneViewController*>(contents->viewController());
}

void BookPaneTabs::makeLayoutManagerMatchTabs()
{
    if (!m_pane.regionContents())
        return;
    auto& items = m_pane.regionContents()->items();
    const quint64 current = m_pane.regionContents()->currentItemIndex();
    const QString rememberedUuid = current < items.size() ? items[current]->uuidString() : QString();
    Layout* l = m_pane.layout();
    for (int i = 0; i < m_pane.tabBar()->count();) {
        const QString uuid = m_pane.tabBar()->uuidAt(i);
        LayoutRegionContents* holder = nullptr;
        if (m_pane.regionContents()->indexOfItemWithUuidString(uuid) != kNone)
            holder = m_pane.regionContents();
        else if (l)
            holder = l->regionContentsContainingItemWithUuidString(uuid);
        if (!holder && m_dropSource && m_dropSource->regionContents() &&
            m_dropSource->regionContents()->indexOfItemWithUuidString(uuid) != kNone)
            holder = m_dropSource->regionContents();
        if (!holder) {
            m_ignoreTabMessages = true;
            m_pane.tabBar()->removeTab(i);
            m_ignoreTabMessages = false;
            continue;
        }
        const quint64 j = holder->indexOfItemWithUuidString(uuid);
        if (holder == m_pane.regionContents()) {
            if (j != quint64(i)) {
                m_pane.setDirty();
                auto moved = std::move(items[j]);
                items.erase(items.begin() + qint64(j));
                items.insert(items.begin() + i, std::move(moved));
            }
        } else {
            m_pane.setDirty();
            auto& otherItems = holder->items();
            const QString otherCurrent = holder->itemAt(holder->currentItemIndex())
                ? holder->itemAt(holder->currentItemIndex())->uuidString()
                : QString();
            auto moved = std::move(otherItems[j]);
            otherItems.erase(otherItems.begin() + qint64(j));
            items.insert(items.begin() + std::min<qint64>(i, qint64(items.size())), std::move(moved));
            if (otherItems.empty()) {
                holder->setCurrentItemIndex(kNone);
                if (BookPaneViewController* other = controllerFor(holder))
                    other->pageHost().displayCurrentSource(false);
            } else {
                // The pane the tab left keeps its current book when that stayed.
                const quint64 k = holder->indexOfItemWithUuidString(otherCurrent);
                holder->setCurrentItemIndex(k);
            }
        }
        ++i;
    }
    if (!rememberedUuid.isEmpty())
        m_pane.regionContents()->setCurrentItemIndex(
            m_pane.regionContents()->indexOfItemWithUuidString(rememberedUuid));
}

void BookPaneTabs::sourceRemoved(const Notification& n)
{
    SourceTuple::Ptr tuple = sharedObjectFromVariant<SourceTuple>(n.userInfo.value("tuple"));
    if (!tuple || !m_pane.regionContents())
        return;
    const quint64 k = indexOfSourceTupleIdInPaneContents(tuple->sourceTupleID());
    if (k == kNone || k >= quint64(m_pane.tabBar()->count()))
        return;
    const int tabs = m_pane.tabBar()->count();
    const bool wasCurrent = k == m_pane.regionContents()->currentItemIndex();
    if (wasCurrent)
        m_pane.page()->clearWebViewSourceTupleID();
    tabClosed(m_pane.tabBar()->uuidAt(int(k)));
    const quint64 current = m_pane.regionContents()->currentItemIndex();
    if (current != kNone && current >= quint64(tabs - 1))
        m_pane.regionContents()->setCurrentItemIndex(tabs >= 2 ? quint64(tabs - 2) : kNone);
    makeTabsForLayoutManagerRegionContents();
    if (m_pane.tabBar()->count() == 0 || m_pane.page()->webViewSourceTupleID().isEmpty() || wasCurrent)
        m_pane.pageHost().displayCurrentSource(false);
}

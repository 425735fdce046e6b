#include "studypane/StudyPaneViewController.h"

#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItem.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/MainThread.h"
#include "studypane/StudyPaneLayoutViewHost.h"
#include "studypane/StudyPaneLibrarySearchViewController.h"
#include "studypane/StudyPaneNavigatorViewController.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"
#include "studypane/StudyPaneNotesListViewController.h"
#include "studypane/StudyPaneRegionContentItemDescriptor.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneSearchResultsViewController.h"
#include "studypane/StudyPaneView.h"

#include <QMenu>
#include <QToolButton>

const std::array<StudyPaneViewController::Tab, 9>& StudyPaneViewController::tabs()
{
    static const std::array<Tab, 9> table {{
        {1, "Find", "Find words or phrases; view results of last search."},
        {2, "B'marks", "View list of bookmarks"},
        {3, "H'lites", "View list of highlights"},
        {4, "Notes", "View or edit notes"},
        {5, "FindNote", "Find word or phrases in notes; view results of last search."},
        {6, "GoTo", "Go somewhere in the current Bible or book"},
        {7, "Journal", "View list of Journal notes"},
        {8, "Library", "Search your entire library"},
        {9, "Navigator", "Show references to current verse in entire library"},
    }};
    return table;
}

StudyPaneViewController::StudyPaneViewController(StudyPaneEnvironment env) : m_env(std::move(env))
{
    StudyPaneRegionContentItemDescriptor::registerArchiveReaders();
}

StudyPaneViewController::~StudyPaneViewController()
{
    m_observations.clear();
    if (m_viewGuard)
        m_view->setPaneContents(nullptr);
    m_subpane = nullptr;
    for (auto& subpane : m_subpanes)
        subpane.reset();
    if (m_viewGuard)
        delete m_view;
}

namespace {

std::array<StudyPaneViewController::SubpaneFactory, StudyPaneViewController::kSubpaneCount>& subpaneFactories()
{
    static std::array<StudyPaneViewController::SubpaneFactory, StudyPaneViewController::kSubpaneCount> factories;
    return factories;
}

StudyPaneViewController::SubpaneFactory builtInFactory(StudyPaneViewController::Subpane slot)
{
    switch (slot) {
    case StudyPaneViewController::kSearchSubpane:
        return StudyPaneSubpane::factoryFor<StudyPaneSearchResultsViewController>();
    case StudyPaneViewController::kNavigatorSubpane:
        return StudyPaneSubpane::factoryFor<StudyPaneNavigatorViewController>();
    case StudyPaneViewController::kNoteViewEditSubpane:
        return StudyPaneSubpane::factoryFor<StudyPaneNoteViewEditViewController>();
    case StudyPaneViewController::kNotesListSubpane:
        return StudyPaneSubpane::factoryFor<StudyPaneNotesListViewController>();
    case StudyPaneViewController::kJournalListSubpane:
        return [](const StudyPaneEnvironment& env, StudyPaneHost* host) -> std::unique_ptr<StudyPaneSubpane> {
            return StudyPaneNotesListViewController::journalList(env, host);
        };
    case StudyPaneViewController::kLibrarySearchSubpane:
        return StudyPaneSubpane::factoryFor<StudyPaneLibrarySearchViewController>();
    default:
        return {};
    }
}

// The tab that shows a sub-pane slot (the four go-to slots share the GoTo tab).
qint64 tabForSubpane(StudyPaneViewController::Subpane slot)
{
    switch (slot) {
    case StudyPaneViewController::kSearchSubpane:
        return StudyPaneViewController::kFindTab;
    case StudyPaneViewController::kHighlightsSubpane:
        return StudyPaneViewController::kHighlightsTab;
    case StudyPaneViewController::kBookmarksSubpane:
        return StudyPaneViewController::kBookmarksTab;
    case StudyPaneViewController::kNotesListSubpane:
        return StudyPaneViewController::kNotesListTab;
    case StudyPaneViewController::kNoteViewEditSubpane:
        return StudyPaneViewController::kNoteViewEditTab;
    case StudyPaneViewController::kJournalListSubpane:
        return StudyPaneViewController::kJournalTab;
    case StudyPaneViewController::kLibrarySearchSubpane:
        return StudyPaneViewController::kLibraryTab;
    case StudyPaneViewController::kNavigatorSubpane:
        return StudyPaneViewController::kNavigatorTab;
    default:
        return StudyPaneViewController::kGotoTab;
    }
}

}  // namespace

void StudyPaneViewController::registerSubpaneFactory(Subpane slot, SubpaneFactory factory)
{
    QS_ASSERT_MAIN_THREAD();
    if (slot < 0 || slot >= kSubpaneCount)
        return;
    subpaneFactories()[size_t(slot)] = std::move(factory);
}

StudyPaneSubpane* StudyPaneViewController::subpane(Subpane slot) const
{
    return slot >= 0 && slot < kSubpaneCount ? m_subpanes[size_t(slot)].get() : nullptr;
}

StudyPaneSearchResultsViewController* StudyPaneViewController::studyPaneSearchResultsViewController() const
{
    return dynamic_cast<StudyPaneSearchResultsViewController*>(subpane(kSearchSubpane));
}

StudyPaneNavigatorViewController* StudyPaneViewController::studyPaneNavigatorViewController() const
{
    return dynamic_cast<StudyPaneNavigatorViewController*>(subpane(kNavigatorSubpane));
}

StudyPaneNoteViewEditViewController* StudyPaneViewController::studyPaneNoteViewEditViewController() const
{
    return dynamic_cast<StudyPaneNoteViewEditViewController*>(subpane(kNoteViewEditSubpane));
}

StudyPaneNotesListViewController* StudyPaneViewController::studyPaneNotesListViewController() const
{
    return dynamic_cast<StudyPaneNotesListViewController*>(subpane(kNotesListSubpane));
}

StudyPaneNotesListViewController* StudyPaneViewController::studyPaneJournalListViewController() const
{
    return dynamic_cast<StudyPaneNotesListViewController*>(subpane(kJournalListSubpane));
}

StudyPaneLibrarySearchViewController* StudyPaneViewController::studyPaneLibrarySearchViewController() const
{
    return dynamic_cast<StudyPaneLibrarySearchViewController*>(subpane(kLibrarySearchSubpane));
}

std::unique_ptr<StudyPaneViewController> StudyPaneViewController::factory(StudyPaneEnvironment env)
{
    return std::make_unique<StudyPaneViewController>(std::move(env));
}

StudyPaneView* StudyPaneViewController::paneView()
{
    if (m_view == nullptr) {
        m_view = new StudyPaneView(this);
        m_viewGuard = m_view;
        m_layoutViewHost = std::make_unique<StudyPaneLayoutViewHost>(m_view);
        for (int i = 0; i < StudyPaneView::kButtonCount; ++i) {
            static constexpr qint64 kTabOfButton[StudyPaneView::kButtonCount] = {6, 1, 2, 3, 4, 5, 7, 8, 9};
            const qint64 tab = kTabOfButton[i];
            QToolButton* b = m_view->button(static_cast<StudyPaneView::Button>(i));
            connect(b, &QToolButton::clicked, this, [this, tab] { makeTabCurrent(tab); });
        }
        connect(m_view->moreMenuButton(), &QToolButton::clicked, this, [this] { onMoreMenuButton(); });
        if (m_env.center != nullptr) {
            m_observations.emplace_back(*m_env.center,
                m_env.center->addObserver(
                    this, LibraryNotifications::PushKeyOnRecentStackNotification, [this](Notification& n) {
                        if (n.userInfo.value(QStringLiteral("layoutUuid")).toString() != layoutUuid() ||
                            layout() == nullptr)
                            return;
                        pushKeyOnRecentStack(n.userInfo.value(QStringLiteral("key")).toUInt(),
                            n.userInfo.value(QStringLiteral("abbr")).toString());
                    }));
        }
        initialConfiguration();
    }
    return m_view;
}

StudyPaneLayoutHost* StudyPaneViewController::layoutHost() const
{
    if (m_env.layoutHost != nullptr)
        return m_env.layoutHost;
    return m_layoutViewHost != nullptr && m_layoutViewHost->layoutView() != nullptr ? m_layoutViewHost.get() : nullptr;
}

bool StudyPaneViewController::isTabAvailable(qint64 id) const
{
    auto has = [this](Subpane slot) {
        if (m_view != nullptr)
            return m_subpanes[size_t(slot)] != nullptr;
        return static_cast<bool>(subpaneFactories()[size_t(slot)]) || static_cast<bool>(builtInFactory(slot));
    };
    switch (id) {
    case kFindTab:
        return has(kSearchSubpane);
    case kBookmarksTab:
        return has(kBookmarksSubpane);
    case kHighlightsTab:
        return has(kHighlightsSubpane);
    case kNoteViewEditTab:
        return has(kNoteViewEditSubpane);
    case kNotesListTab:
        return has(kNotesListSubpane);
    case kGotoTab:
        return has(kBibleGotoSubpane) || has(kBookGotoSubpane) || has(kDevoGotoSubpane) || has(kOtherGotoSubpane);
    case kJournalTab:
        return has(kJournalListSubpane);
    case kLibraryTab:
        return has(kLibrarySearchSubpane);
    case kNavigatorTab:
        return has(kNavigatorSubpane);
    default:
        return false;
    }
}

StudyPaneSubpane* StudyPaneViewController::subpaneForTab(qint64 id) const
{
    switch (id) {
    case kFindTab:
        return subpane(kSearchSubpane);
    case kBookmarksTab:
        return subpane(kBookmarksSubpane);
    case kHighlightsTab:
        return subpane(kHighlightsSubpane);
    case kNoteViewEditTab:
        return subpane(kNoteViewEditSubpane);
    case kNotesListTab:
        return subpane(kNotesListSubpane);
    case kGotoTab: {
        bool unchanged = false;
        StudyPaneSubpane* chosen = gotoSubpaneForActiveBook(&unchanged);
        return unchanged ? nullptr : chosen;
    }
    case kJournalTab:
        return subpane(kJournalListSubpane);
    case kLibraryTab:
        return subpane(kLibrarySearchSubpane);
    case kNavigatorTab:
        return subpane(kNavigatorSubpane);
    default:
        return nullptr;
    }
}

StudyPaneSubpane* StudyPaneViewController::gotoSubpaneForActiveBook(bool* unchanged) const
{
    // The active book is the current book pane's; its kind picks the go-to sub-pane.
    *unchanged = false;
    const SourceTuple::Ptr book = m_env.activeBook ? m_env.activeBook() : nullptr;
    if (book == nullptr)
        return subpane(kOtherGotoSubpane);
    if (book->docSupports(SourceTuple::kDocSupportsIsBible()))
        return subpane(kBibleGotoSubpane);
    switch (book->syncType()) {
    case 1:
    case 2:
        return subpane(kBookGotoSubpane);
    case 3:
        return subpane(kDevoGotoSubpane);
    case 0:
        return subpane(kOtherGotoSubpane);
    default:
        // A kind of book no go-to sub-pane serves: what is shown stays.
        *unchanged = true;
        return nullptr;
    }
}

QToolButton* StudyPaneViewController::buttonForTab(qint64 id) const
{
    if (m_view == nullptr)
        return nullptr;
    switch (id) {
    case kFindTab:
        return m_view->button(StudyPaneView::Find);
    case kBookmarksTab:
        return m_view->button(StudyPaneView::Bookmark);
    case kHighlightsTab:
        return m_view->button(StudyPaneView::Highlights);
    case kNoteViewEditTab:
        return m_view->button(StudyPaneView::NoteViewEdit);
    case kNotesListTab:
        return m_view->button(StudyPaneView::NotesList);
    case kGotoTab:
        return m_view->button(StudyPaneView::GoTo);
    case kJournalTab:
        return m_view->button(StudyPaneView::Journal);
    case kLibraryTab:
        return m_view->button(StudyPaneView::Library);
    case kNavigatorTab:
        return m_view->button(StudyPaneView::Navigator);
    default:
        return nullptr;
    }
}

void StudyPaneViewController::initialConfiguration()
{
    LayoutRegionContents* contents =
        m_env.layoutManager ? m_env.layoutManager->regionContentsForViewController(this) : nullptr;
    if (contents != nullptr) {
        auto fresh = [] {
            auto s = std::make_unique<StudyPaneRegionContentItemState>();
            s->selectedTabID = kFindTab;
            return s;
        };
        if (contents->items().empty()) {
            contents->items().push_back(std::make_unique<LayoutRegionContentItem>(
                std::make_unique<StudyPaneRegionContentItemDescriptor>(), fresh()));
        } else if (dynamic_cast<StudyPaneRegionContentItemState*>(contents->items().front()->state()) == nullptr) {
            // A study item whose records could not be read back (or are a book pane's): start afresh
            // rather than run without a state.
            contents->items().front()->setDescriptor(std::make_unique<StudyPaneRegionContentItemDescriptor>());
            contents->items().front()->setState(fresh());
        }
        contents->setCurrentItemIndex(0);
    }
    makeSubpanes();

    // Only the tabs with a sub-pane can be chosen.
    for (const Tab& tab : tabs()) {
        if (QToolButton* b = buttonForTab(tab.id))
            b->setEnabled(isTabAvailable(tab.id));
    }

    configureTabBarInitially();
    if (StudyPaneRegionContentItemState* s = state()) {
        // A stored tab that has no sub-pane here (or names no tab) opens on Find.
        if (!isTabAvailable(s->selectedTabID))
            s->selectedTabID = kFindTab;
        if (m_tabViewSelected != s->selectedTabID) {
            m_ignoreTabViewDelegateMessages = true;
            m_tabViewSelected = s->selectedTabID;
            highlightButtonForSelectedTab();
            m_ignoreTabViewDelegateMessages = false;
        }
    }
    showPaneContentsForSelectedTab();
    if (m_env.center != nullptr) {
        m_observations.emplace_back(*m_env.center,
            m_env.center->addObserver(this, PaneNotifications::ThisSourceIsNowActiveNotification,
                [this](Notification&) { thisSourceIsNowActive(); }));
        m_observations.emplace_back(*m_env.center,
            m_env.center->addObserver(
                this, PaneNotifications::DisplayPreferencesChangedNotification, [this](Notification&) {
                    if (m_view != nullptr)
                        m_view->update();
                }));
    }
}

void StudyPaneViewController::makeSubpanes()
{
    for (int slot = 0; slot < kSubpaneCount; ++slot) {
        SubpaneFactory make = subpaneFactories()[size_t(slot)];
        if (!make)
            make = builtInFactory(Subpane(slot));
        if (!make)
            continue;
        std::unique_ptr<StudyPaneSubpane>& subpane = m_subpanes[size_t(slot)];
        subpane = make(m_env, this);
        if (!subpane)
            continue;
        connect(subpane.get(), &StudyPaneSubpane::recentVerseVisited, this,
            [this](quint32 key, const QString& translation) { pushKeyOnRecentStack(key, translation); });
        const qint64 tab = tabForSubpane(Subpane(slot));
        connect(subpane.get(), &StudyPaneSubpane::showRequested, this, [this, tab] { makeTabCurrent(tab); });
    }
}

void StudyPaneViewController::configureTabBarInitially()
{
    m_ignoreTabViewDelegateMessages = true;
    m_tabOrder.clear();
    const StudyPaneRegionContentItemState* s = state();
    const QList<qint64> order = s != nullptr && !s->tabIDOrder.isEmpty()
        ? s->tabIDOrder
        : StudyPaneRegionContentItemState::arrayWithDefaultTabIDOrder();
    for (qint64 id : order) {
        if (id >= 1 && id <= 9 && !m_tabOrder.contains(id)) {
            m_tabOrder.append(id);
            m_tabViewSelected = id;  // adding a tab selects it
        }
    }
    for (qint64 id : {kJournalTab, kLibraryTab, kNavigatorTab}) {
        if (!m_tabOrder.contains(id)) {
            m_tabOrder.append(id);
            m_tabViewSelected = id;
        }
    }
    // An order of all nine tabs is one the user made by dragging: the button row shows it. Any other
    // (the default six) leaves the row in its own order.
    m_rowIsCustom = s != nullptr && s->tabIDOrder.size() == 9 && m_tabOrder.size() == 9;
    if (m_view != nullptr)
        m_view->setRowOrder(rowOrder());
    m_ignoreTabViewDelegateMessages = false;
}

void StudyPaneViewController::makeTabCurrent(qint64 id)
{
    if (!isTabAvailable(id))
        return;
    if (m_view == nullptr)
        paneView();
    if (m_tabViewSelected != id)
        m_tabViewSelected = id;
    tabViewDidSelect(id);
}

void StudyPaneViewController::tabViewDidSelect(qint64 id)
{
    if (m_ignoreTabViewDelegateMessages)
        return;
    if (StudyPaneRegionContentItemState* s = state())
        s->selectedTabID = id;
    showPaneForSelectedTab();
}

void StudyPaneViewController::showPaneForSelectedTab()
{
    StudyPaneLayoutHost* host = layoutHost();
    if (host != nullptr && !host->isStudyPaneVisible())
        host->setShowStudyPane(true);
    highlightButtonForSelectedTab();
    showPaneContentsForSelectedTab();
}

void StudyPaneViewController::highlightButtonForSelectedTab()
{
    const StudyPaneRegionContentItemState* s = state();
    const qint64 selected = s != nullptr ? s->selectedTabID : 0;
    if (m_view != nullptr)
        m_view->setSelectedTab(selected);
}

void StudyPaneViewController::showPaneContentsForSelectedTab()
{
    const StudyPaneRegionContentItemState* s = state();
    const qint64 selected = s != nullptr ? s->selectedTabID : 0;
    if (StudyPaneSubpane* subpane = subpaneForTab(selected))
        showSubpane(subpane);
}

void StudyPaneViewController::showSubpane(StudyPaneSubpane* subpane)
{
    if (m_view != nullptr)
        m_view->setPaneContents(subpane->view());
    setSubpaneViewController(subpane);
}

void StudyPaneViewController::setSubpaneViewController(StudyPaneSubpane* subpane)
{
    if (m_subpane != nullptr && m_subpane != subpane)
        m_subpane->studyPaneWillChangeSubview();
    m_subpane = subpane;
    if (subpane != nullptr)
        subpane->studyPaneDidActivateSubview();
}

void StudyPaneViewController::hidePaneContents()
{
    if (m_subpane == nullptr)
        return;
    if (m_view != nullptr)
        m_view->setPaneContents(nullptr);
    m_subpane = nullptr;
}

void StudyPaneViewController::showHiddenPaneContents()
{
    if (m_subpane == nullptr)
        showPaneContentsForSelectedTab();
}

void StudyPaneViewController::updateTabIDOrder()
{
    if (StudyPaneRegionContentItemState* s = state())
        s->tabIDOrder = m_tabOrder;
}

QList<qint64> StudyPaneViewController::rowOrder() const
{
    return m_rowIsCustom ? m_tabOrder : StudyPaneView::defaultRowOrder();
}

void StudyPaneViewController::moveTab(qint64 id, int toIndex)
{
    // The tabs take the order the user sees in the row, with the moved one in its new place.
    QList<qint64> order = rowOrder();
    const qsizetype from = order.indexOf(id);
    if (from < 0)
        return;
    order.move(from, std::clamp<qsizetype>(toIndex, 0, order.size() - 1));
    m_tabOrder = order;
    m_rowIsCustom = true;
    if (m_view != nullptr)
        m_view->setRowOrder(m_tabOrder);
    updateTabIDOrder();
    if (m_env.saveState)
        m_env.saveState();
}

void StudyPaneViewController::thisSourceIsNowActive()
{
    if (m_env.layoutManager == nullptr || layout() == nullptr || layout() != m_env.layoutManager->currentLayout())
        return;
    showPaneContentsForSelectedTab();
}

void StudyPaneViewController::pushKeyOnRecentStack(quint32 key, const QString& translation)
{
    StudyPaneRegionContentItemState* s = state();
    if (s == nullptr)
        return;
    QList<quint32>& stack = s->recentGoToVerseKeys;
    std::optional<quint32> remembered;
    for (qsizetype i = 0; i < stack.size();) {
        bool same = stack[i] == key;
        if (!same && !translation.isEmpty()) {
            BibleRef ref;
            ref.setBibleKey(stack[i]);
            same = ref.mapToTranslation(translation) && ref.bibleKey() == key;
        }
        if (same) {
            if (!remembered)
                remembered = stack[i];
            stack.removeAt(i);
        } else {
            ++i;
        }
    }
    while (stack.size() >= StudyPaneRegionContentItemState::kMaxRecentVerses)
        stack.removeLast();
    stack.prepend(remembered.value_or(key));
}

SearchResultsAggregator* StudyPaneViewController::searchResultsAggregatorForTuple(const SourceTupleID& id)
{
    StudyPaneSubpane* find = subpane(kSearchSubpane);
    return find != nullptr ? find->searchResultsAggregatorForTuple(id) : nullptr;
}

SearchResultsAggregator* StudyPaneViewController::notesSearchResultsAggregatorForTupleID(const SourceTupleID& id)
{
    StudyPaneSubpane* list = subpane(id.isFakeJournalDoc() ? kJournalListSubpane : kNotesListSubpane);
    return list != nullptr ? list->searchResultsAggregatorForTuple(id) : nullptr;
}

StudyPaneRegionContentItemState* StudyPaneViewController::state() const
{
    if (m_env.layoutManager == nullptr)
        return nullptr;
    LayoutRegionContents* contents = m_env.layoutManager->regionContentsForViewController(this);
    if (contents == nullptr)
        return nullptr;
    LayoutRegionContentItem* item = contents->itemAt(static_cast<size_t>(contents->currentItemIndex()));
    if (item == nullptr)
        return nullptr;
    return dynamic_cast<StudyPaneRegionContentItemState*>(item->state());
}

Layout* StudyPaneViewController::layout() const
{
    return m_env.layoutManager ? m_env.layoutManager->layoutContainingRegionWithViewController(this) : nullptr;
}

QString StudyPaneViewController::layoutUuid() const
{
    const Layout* l = layout();
    return l != nullptr ? l->uuidString() : QString();
}

// --- pass-through properties ---

double StudyPaneViewController::manualStudyPaneWidth() const
{
    const StudyPaneRegionContentItemState* s = state();
    return s != nullptr ? s->manualStudyPaneWidth : 0;
}

void StudyPaneViewController::setManualStudyPaneWidth(double width)
{
    if (StudyPaneRegionContentItemState* s = state())
        s->manualStudyPaneWidth = width;
}

QList<quint32> StudyPaneViewController::recentGoToVerseKeys() const
{
    const StudyPaneRegionContentItemState* s = state();
    return s != nullptr ? s->recentGoToVerseKeys : QList<quint32>();
}

// --- overflow menu and shutdown ---

QList<QPair<QString, qint64>> StudyPaneViewController::moreMenuEntries() const
{
    QList<QPair<QString, qint64>> out;
    if (m_view == nullptr)
        return out;
    auto title = [](qint64 tab) -> const char* {
        switch (tab) {
        case kGotoTab:
            return "Go To...";
        case kFindTab:
            return "Search Active Bible/Book";
        case kBookmarksTab:
            return "Bookmarks";
        case kHighlightsTab:
            return "Highlights";
        case kNoteViewEditTab:
            return "View/Edit Notes";
        case kNotesListTab:
            return "Bible/Book Notes";
        case kJournalTab:
            return "Journal Notes";
        case kLibraryTab:
            return "Library Search";
        default:
            return "Navigator";
        }
    };
    // The hidden buttons, in the order of the row.
    for (qint64 tab : m_view->rowOrder()) {
        if (m_view->button(StudyPaneView::buttonForTab(tab))->isHidden())
            out.append({QString::fromUtf8(title(tab)), tab});
    }
    return out;
}

void StudyPaneViewController::onMoreMenuButton()
{
    if (m_view == nullptr)
        return;
    QMenu menu(m_view);
    for (const auto& [title, tab] : moreMenuEntries()) {
        QAction* a = menu.addAction(title);
        a->setEnabled(isTabAvailable(tab));
        // The selected tab may be one of the hidden ones.
        a->setCheckable(true);
        a->setChecked(state() != nullptr && state()->selectedTabID == tab);
        const qint64 id = tab;
        connect(a, &QAction::triggered, this, [this, id] { makeTabCurrent(id); });
    }
    QToolButton* more = m_view->moreMenuButton();
    menu.exec(more->mapToGlobal(more->rect().center()));
}

void StudyPaneViewController::exitIsImminent()
{
    for (const auto& subpane : m_subpanes) {
        if (subpane)
            subpane->exitIsImminent();
    }
}

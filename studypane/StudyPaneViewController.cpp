#include "studypane/StudyPaneViewController.h"

#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItem.h"
#include "panes/layout/LayoutRegionContents.h"
#include "platform/MainThread.h"
#include "studypane/StudyPaneLibrarySearchViewController.h"
#include "studypane/StudyPaneNavigatorViewController.h"
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
    if (m_find)
        m_find->studyPaneViewController = nullptr;
    if (m_navigator)
        m_navigator->studyPaneViewController = nullptr;
    for (StudyPaneViewControllerProtocol* p : {static_cast<StudyPaneViewControllerProtocol*>(m_notesList.get()),
             static_cast<StudyPaneViewControllerProtocol*>(m_journalList.get()),
             static_cast<StudyPaneViewControllerProtocol*>(m_library.get())})
        if (p != nullptr)
            p->studyPaneViewController = nullptr;
    m_find.reset();
    m_navigator.reset();
    m_notesList.reset();
    m_journalList.reset();
    m_library.reset();
    if (m_viewGuard)
        delete m_view;
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
        for (int i = 0; i < StudyPaneView::kButtonCount; ++i) {
            static constexpr qint64 kTabOfButton[StudyPaneView::kButtonCount] = {6, 1, 2, 3, 4, 5, 7, 8, 9};
            const qint64 tab = kTabOfButton[i];
            QToolButton* b = m_view->button(static_cast<StudyPaneView::Button>(i));
            connect(b, &QToolButton::clicked, this, [this, tab] { makeTabCurrent(tab); });
            b->setEnabled(isTabAvailable(tab));
        }
        connect(m_view->moreMenuButton(), &QToolButton::clicked, this, [this] { onMoreMenuButton(); });
        if (m_env.center != nullptr) {
            m_observations.emplace_back(*m_env.center,
                m_env.center->addObserver(this, GoToNames::PushKeyOnRecentStackNotification, [this](Notification& n) {
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

bool StudyPaneViewController::isTabAvailable(qint64 id) const
{
    return id == kFindTab || id == kNavigatorTab || id == kNotesListTab || id == kJournalTab || id == kLibraryTab;
}

StudyPaneViewControllerProtocol* StudyPaneViewController::subpaneForTab(qint64 id) const
{
    switch (id) {
    case kFindTab:
        return m_find.get();
    case kNavigatorTab:
        return m_navigator.get();
    case kNotesListTab:
        return m_notesList.get();
    case kJournalTab:
        return m_journalList.get();
    case kLibraryTab:
        return m_library.get();
    default:
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
    m_find = StudyPaneSearchResultsViewController::factory(this);
    m_find->studyPaneViewController = this;
    m_navigator = StudyPaneNavigatorViewController::factory(this);
    m_navigator->studyPaneViewController = this;
    m_notesList = StudyPaneNotesListViewController::factory(this);
    m_journalList = StudyPaneNotesListViewController::factoryForJournalList(this);
    m_library = StudyPaneLibrarySearchViewController::factory(this);

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
            m_env.center->addObserver(this, QStringLiteral("ThisSourceIsNowActiveNotification"),
                [this](Notification&) { thisSourceIsNowActive(); }));
        m_observations.emplace_back(*m_env.center,
            m_env.center->addObserver(
                this, QStringLiteral("DisplayPreferencesChangedNotification"), [this](Notification&) {
                    if (m_view != nullptr)
                        m_view->update();
                }));
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
    if (m_env.layoutHost != nullptr && !m_env.layoutHost->isStudyPaneVisible())
        m_env.layoutHost->setShowStudyPane(true);
    highlightButtonForSelectedTab();
    showPaneContentsForSelectedTab();
}

void StudyPaneViewController::highlightButtonForSelectedTab()
{
    const StudyPaneRegionContentItemState* s = state();
    const qint64 selected = s != nullptr ? s->selectedTabID : 0;
    for (const Tab& tab : tabs()) {
        if (QToolButton* b = buttonForTab(tab.id)) {
            // Bordered: the selected tab's button; borderless: every other.
            b->setAutoRaise(tab.id != selected);
            b->setDown(tab.id == selected);
        }
    }
}

void StudyPaneViewController::showPaneContentsForSelectedTab()
{
    const StudyPaneRegionContentItemState* s = state();
    const qint64 selected = s != nullptr ? s->selectedTabID : 0;
    if (StudyPaneViewControllerProtocol* subpane = subpaneForTab(selected))
        showSubpane(subpane);
}

void StudyPaneViewController::showSubpane(StudyPaneViewControllerProtocol* subpane)
{
    if (m_view != nullptr)
        m_view->setPaneContents(subpane->view());
    setSubpaneViewController(subpane);
}

void StudyPaneViewController::setSubpaneViewController(StudyPaneViewControllerProtocol* subpane)
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

void StudyPaneViewController::moveTab(qint64 id, int toIndex)
{
    const qsizetype from = m_tabOrder.indexOf(id);
    if (from < 0)
        return;
    m_tabOrder.move(from, std::clamp<qsizetype>(toIndex, 0, m_tabOrder.size() - 1));
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
    return m_find ? m_find->searchResultsAggregatorForTuple(id) : nullptr;
}

SearchResultsAggregator* StudyPaneViewController::notesSearchResultsAggregatorForTupleID(const SourceTupleID& id)
{
    StudyPaneNotesListViewController* list = id.isFakeJournalDoc() ? m_journalList.get() : m_notesList.get();
    return list != nullptr ? list->searchResultsAggregatorForTupleID(id) : nullptr;
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

#define QS_STUDY_STATE_PROPERTY(type, getter, setter, field, none)                                                     \
    type StudyPaneViewController::getter() const                                                                       \
    {                                                                                                                  \
        const StudyPaneRegionContentItemState* s = state();                                                            \
        return s != nullptr ? s->field : none;                                                                         \
    }                                                                                                                  \
    void StudyPaneViewController::setter(const type& v)                                                                \
    {                                                                                                                  \
        if (StudyPaneRegionContentItemState* s = state())                                                              \
            s->field = v;                                                                                              \
    }

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

QS_STUDY_STATE_PROPERTY(std::optional<SourceTupleID>, highlightPaneSourceTupleID, setHighlightPaneSourceTupleID,
    highlightPaneSourceTupleID, std::nullopt)
QS_STUDY_STATE_PROPERTY(std::optional<SourceTupleID>, bookmarkPaneSourceTupleID, setBookmarkPaneSourceTupleID,
    bookmarkPaneSourceTupleID, std::nullopt)
QS_STUDY_STATE_PROPERTY(std::optional<SourceTupleID>, noteViewPaneSourceTupleID, setNoteViewPaneSourceTupleID,
    noteViewPaneSourceTupleID, std::nullopt)
QS_STUDY_STATE_PROPERTY(
    QString, noteViewPaneJournalTitle, setNoteViewPaneJournalTitle, noteViewPaneJournalTitle, QString())
#undef QS_STUDY_STATE_PROPERTY

#define QS_STUDY_STATE_NUMBER(type, getter, setter, field)                                                             \
    type StudyPaneViewController::getter() const                                                                       \
    {                                                                                                                  \
        const StudyPaneRegionContentItemState* s = state();                                                            \
        return s != nullptr ? s->field : type(0);                                                                      \
    }                                                                                                                  \
    void StudyPaneViewController::setter(type v)                                                                       \
    {                                                                                                                  \
        if (StudyPaneRegionContentItemState* s = state())                                                              \
            s->field = v;                                                                                              \
    }
QS_STUDY_STATE_NUMBER(
    quint16, highlightPaneSelectedColorEnum, setHighlightPaneSelectedColorEnum, highlightPaneSelectedColorEnum)
QS_STUDY_STATE_NUMBER(quint16, bookmarkPaneSelectedCatID, setBookmarkPaneSelectedCatID, bookmarkPaneSelectedCatID)
QS_STUDY_STATE_NUMBER(quint32, noteViewPaneSection, setNoteViewPaneSection, noteViewPaneSection)
QS_STUDY_STATE_NUMBER(quint32, noteViewPaneBibleKey, setNoteViewPaneBibleKey, noteViewPaneBibleKey)
#undef QS_STUDY_STATE_NUMBER

// --- overflow menu and shutdown ---

QList<QPair<QString, qint64>> StudyPaneViewController::moreMenuEntries() const
{
    QList<QPair<QString, qint64>> out;
    if (m_view == nullptr)
        return out;
    static const struct {
        StudyPaneView::Button button;
        const char* title;
        qint64 tab;
    } kEntries[] = {{StudyPaneView::GoTo, "Go To...", kGotoTab},
        {StudyPaneView::Find, "Search Active Bible/Book", kFindTab},
        {StudyPaneView::Bookmark, "Bookmarks", kBookmarksTab},
        {StudyPaneView::Highlights, "Highlights", kHighlightsTab},
        {StudyPaneView::NoteViewEdit, "View/Edit Notes", kNoteViewEditTab},
        {StudyPaneView::NotesList, "Bible/Book Notes", kNotesListTab},
        {StudyPaneView::Journal, "Journal Notes", kJournalTab}, {StudyPaneView::Library, "Library Search", kLibraryTab},
        {StudyPaneView::Navigator, "Navigator", kNavigatorTab}};
    for (const auto& e : kEntries) {
        if (m_view->button(e.button)->isHidden())
            out.append({QString::fromUtf8(e.title), e.tab});
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
        const qint64 id = tab;
        connect(a, &QAction::triggered, this, [this, id] { makeTabCurrent(id); });
    }
    QToolButton* more = m_view->moreMenuButton();
    menu.exec(more->mapToGlobal(more->rect().center()));
}

void StudyPaneViewController::exitIsImminent()
{
    if (m_find)
        m_find->exitIsImminent();
    if (m_navigator)
        m_navigator->exitIsImminent();
    if (m_notesList)
        m_notesList->exitIsImminent();
    if (m_journalList)
        m_journalList->exitIsImminent();
    if (m_library)
        m_library->exitIsImminent();
}

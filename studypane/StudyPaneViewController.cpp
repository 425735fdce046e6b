#include "studypane/StudyPaneViewController.h"

#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItem.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layout/PaneNotifications.h"
#include "studypane/StudyPaneFieldKeys.h"
#include "studypane/StudyPaneLayoutViewHost.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"
#include "studypane/StudyPaneRegionContentItemDescriptor.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneView.h"

#include <QApplication>
#include <QToolButton>

StudyPaneViewController::StudyPaneViewController(StudyPaneEnvironment env) : m_env(std::move(env)), m_subpanes(m_env)
{
    StudyPaneRegionContentItemDescriptor::registerArchiveReaders();
}

StudyPaneViewController::~StudyPaneViewController()
{
    m_observations.clear();
    if (m_view)
        m_view->setPaneContents(nullptr);
    m_subpane = nullptr;
    m_subpanes.clear();
    delete m_view.data();
}

StudyPaneNoteViewEditViewController* StudyPaneViewController::studyPaneNoteViewEditViewController() const
{
    return dynamic_cast<StudyPaneNoteViewEditViewController*>(subpane(kNoteViewEditSubpane));
}

std::unique_ptr<StudyPaneViewController> StudyPaneViewController::factory(StudyPaneEnvironment env)
{
    return std::make_unique<StudyPaneViewController>(std::move(env));
}

void StudyPaneViewController::observe(const QString& name, std::function<void(Notification&)> handler)
{
    if (m_env.center != nullptr)
        m_observations.emplace_back(*m_env.center, m_env.center->addObserver(this, name, std::move(handler)));
}

StudyPaneView* StudyPaneViewController::paneView()
{
    if (m_view == nullptr) {
        m_view = new StudyPaneView(this);
        new StudyPaneFieldKeys(m_view, m_env.layoutManager);
        m_layoutViewHost = std::make_unique<StudyPaneLayoutViewHost>(m_view);
        for (const StudyPaneTabs::Tab& tab : StudyPaneTabs::all()) {
            const qint64 id = tab.id;
            connect(m_view->button(id), &QToolButton::clicked, this, [this, id] { makeTabCurrent(id); });
        }
        connect(m_view->moreMenuButton(), &QToolButton::clicked, this, [this] {
            const StudyPaneRegionContentItemState* s = state();
            StudyPaneTabs::runMoreMenu(
                m_view, s != nullptr ? s->selectedTabID : 0, [this](qint64 tab) { return isTabAvailable(tab); },
                [this](qint64 tab) { makeTabCurrent(tab); });
        });
        observe(LibraryNotifications::PushKeyOnRecentStackNotification, [this](Notification& n) {
            if (n.userInfo.value(QStringLiteral("layoutUuid")).toString() != layoutUuid() || layout() == nullptr)
                return;
            pushKeyOnRecentStack(
                n.userInfo.value(QStringLiteral("key")).toUInt(), n.userInfo.value(QStringLiteral("abbr")).toString());
        });
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

void StudyPaneViewController::initialConfiguration()
{
    LayoutRegionContents* contents =
        m_env.layoutManager ? m_env.layoutManager->regionContentsForViewController(this) : nullptr;
    if (contents != nullptr) {
        auto fresh = [] {
            auto s = std::make_unique<StudyPaneRegionContentItemState>();
            s->selectedTabID = StudyPaneTabs::tabForSlot(kSearchSubpane);
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
    m_subpanes.make(this, [this](Subpane slot, StudyPaneSubpane& subpane) {
        connect(&subpane, &StudyPaneSubpane::recentVerseVisited, this,
            [this](quint32 key, const QString& translation) { pushKeyOnRecentStack(key, translation); });
        const qint64 tab = StudyPaneTabs::tabForSlot(slot);
        connect(&subpane, &StudyPaneSubpane::showRequested, this, [this, tab] { makeTabCurrent(tab); });
    });

    // Only the tabs with a sub-pane can be chosen.
    for (const StudyPaneTabs::Tab& tab : StudyPaneTabs::all()) {
        m_view->button(tab.id)->setEnabled(isTabAvailable(tab.id));
    }

    m_tabs.configure(state(), m_view);
    if (StudyPaneRegionContentItemState* s = state()) {
        // A stored tab that has no sub-pane here (or names no tab) opens on Find.
        if (!isTabAvailable(s->selectedTabID))
            s->selectedTabID = StudyPaneTabs::tabForSlot(kSearchSubpane);
        if (m_tabs.selected() != s->selectedTabID) {
            m_tabs.setSelected(s->selectedTabID);
            highlightButtonForSelectedTab();
        }
    }
    showPaneContentsForSelectedTab();
    observe(PaneNotifications::ThisSourceIsNowActiveNotification, [this](Notification&) {
        // A book pane of this pane's layout became active: the GoTo tab follows its kind of book.
        if (m_env.layoutManager == nullptr || layout() == nullptr || layout() != m_env.layoutManager->currentLayout())
            return;
        // The reader works in the book panes (a pane made current by a click or Ctrl+]): the sub-pane
        // shown follows, but takes the keys only when they were in the study pane already and it is
        // another sub-pane now, never back from a pane the reader went to.
        const StudyPaneSubpane* before = m_subpane;
        QWidget* focus = QApplication::focusWidget();
        const bool keysHere = m_view != nullptr && focus != nullptr && m_view->isAncestorOf(focus);
        const StudyPaneRegionContentItemState* s = state();
        const SourceTuple::Ptr book = m_env.activeBook ? m_env.activeBook() : nullptr;
        const StudyPaneSubpane* next = m_subpanes.forTab(s != nullptr ? s->selectedTabID : 0, book);
        showPaneContentsForSelectedTab(keysHere && next != before);
    });
    observe(PaneNotifications::DisplayPreferencesChangedNotification, [this](Notification&) {
        if (m_view != nullptr)
            m_view->update();
    });
}

void StudyPaneViewController::makeTabCurrent(qint64 id)
{
    if (!isTabAvailable(id))
        return;
    if (m_view == nullptr)
        paneView();
    m_tabs.setSelected(id);
    if (StudyPaneRegionContentItemState* s = state())
        s->selectedTabID = id;
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

void StudyPaneViewController::showPaneContentsForSelectedTab(bool takeKeys)
{
    const StudyPaneRegionContentItemState* s = state();
    const qint64 selected = s != nullptr ? s->selectedTabID : 0;
    const SourceTuple::Ptr book = m_env.activeBook ? m_env.activeBook() : nullptr;
    if (StudyPaneSubpane* subpane = m_subpanes.forTab(selected, book))
        showSubpane(subpane, takeKeys);
}

void StudyPaneViewController::showSubpane(StudyPaneSubpane* subpane, bool takeKeys)
{
    if (m_view != nullptr)
        m_view->setPaneContents(subpane->view());
    if (m_subpane != nullptr && m_subpane != subpane)
        m_subpane->studyPaneWillChangeSubview();
    m_subpane = subpane;
    if (takeKeys)
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

void StudyPaneViewController::moveTab(qint64 id, int toIndex)
{
    if (!m_tabs.move(id, toIndex, m_view))
        return;
    if (StudyPaneRegionContentItemState* s = state())
        s->tabIDOrder = m_tabs.order();
    if (m_env.saveState)
        m_env.saveState();
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

// --- shutdown ---

void StudyPaneViewController::exitIsImminent()
{
    m_subpanes.exitIsImminent();
}

#include "studypane/StudyPaneTabs.h"

#include "platform/ui/PopupMenu.h"
#include "studypane/StudyPaneLibrarySearchViewController.h"
#include "studypane/StudyPaneNavigatorViewController.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"
#include "studypane/StudyPaneNotesListViewController.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneSearchResultsViewController.h"
#include "studypane/StudyPaneView.h"

#include <QMenu>
#include <QToolButton>

#include <algorithm>

namespace {

using enum StudyPaneSubpaneSlots::Slot;

template <class Subpane>
std::unique_ptr<StudyPaneSubpane> make(const StudyPaneEnvironment& env, StudyPaneViewController* host)
{
    return std::make_unique<Subpane>(env, host);
}

std::unique_ptr<StudyPaneSubpane> makeJournalList(const StudyPaneEnvironment& env, StudyPaneViewController* host)
{
    return StudyPaneNotesListViewController::journalList(env, host);
}

// The tabs in the button row's default order. A sub-pane with a tab of its own takes a slot and one
// row here; its identifier is the next unused number (stored layouts keep the others).
using Command = StudyPaneTabs::Command;
using namespace CommandNames;
constexpr auto kNoKey = QKeySequence::UnknownKey;
constexpr StudyPaneTabs::Tab kTabs[] = {
    {6, kBibleGotoSubpane, "GoTo", "Go somewhere in the current Bible or book", "Go To...", "goToButton", nullptr,
        {&GoTo, "Go To...", "Go To", kNoKey, "Ctrl+L", &Menus::Go, 1, 0, 90, QStyle::SP_FileDialogContentsView}},
    {1, kSearchSubpane, "Find", "Find words or phrases; view results of last search.", "Search Active Bible/Book",
        "findButton", &make<StudyPaneSearchResultsViewController>,
        {&Find, "Find...", "Find", QKeySequence::Find, "", &Menus::Study, 0, 0, 80, QStyle::SP_FileDialogInfoView}},
    {2, kBookmarksSubpane, "B'marks", "View list of bookmarks", "Bookmarks", "bookmarkButton", nullptr,
        {&Bookmarks, "Bookmarks", "Bookmarks", kNoKey, "", &Menus::Study, 0, 3, 120, QStyle::SP_DirIcon}},
    {3, kHighlightsSubpane, "H'lites", "View list of highlights", "Highlights", "highlightsButton", nullptr,
        {&Highlights, "Highlights", "Highlights", kNoKey, "", &Menus::Study, 0, 4, 130, QStyle::SP_FileIcon}},
    {4, kNoteViewEditSubpane, "Notes", "View or edit notes", "View/Edit Notes", "noteViewEditButton",
        &make<StudyPaneNoteViewEditViewController>,
        {&Notes, "Notes", "Notes", kNoKey, "", &Menus::Study, 0, 2, 100, QStyle::SP_FileIcon}},
    {5, kNotesListSubpane, "FindNote", "Find word or phrases in notes; view results of last search.",
        "Bible/Book Notes", "notesListButton", &make<StudyPaneNotesListViewController>,
        {&FindInNotes, "Find in Notes...", "Find in Notes", kNoKey, "", &Menus::Study, 0, 1, 110, QStyle::SP_FileIcon}},
    {7, kJournalListSubpane, "Journal", "View list of Journal notes", "Journal Notes", "journalButton",
        &makeJournalList, {&Journal, "Journal", "Journal", kNoKey, "", &Menus::Study, 0, 5, 240, QStyle::SP_FileIcon}},
    {8, kLibrarySearchSubpane, "Library", "Search your entire library", "Library Search", "libraryButton",
        &make<StudyPaneLibrarySearchViewController>,
        {&LibrarySearch, "Library Search", "Library Search", kNoKey, "", &Menus::Study, 0, 6, 250,
            QStyle::SP_FileIcon}},
    {9, kNavigatorSubpane, "Navigator", "Show references to current verse in entire library", "Navigator",
        "navigatorButton", &make<StudyPaneNavigatorViewController>,
        {&LibraryNavigator, "Navigator", "Navigator", kNoKey, "", &Menus::Study, 0, 7, 260, QStyle::SP_FileIcon}},
};

// Every slot is shown by exactly one tab (the go-to slots by the go-to tab), and no two tabs share an
// identifier or a button name: a row left out or written twice does not build. Names are compared
// rather than addresses, which an AddressSanitizer build cannot compare at compile time.
constexpr bool sameText(const char* a, const char* b)
{
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

constexpr bool tableIsWhole()
{
    for (int slot = 0; slot < kSubpaneCount; ++slot) {
        const auto shows = StudyPaneTabs::isGotoSlot(StudyPaneSubpaneSlots::Slot(slot))
            ? kBibleGotoSubpane
            : StudyPaneSubpaneSlots::Slot(slot);
        int rows = 0;
        for (const auto& tab : kTabs)
            rows += tab.slot == shows ? 1 : 0;
        if (rows != 1)
            return false;
    }
    for (const auto& a : kTabs) {
        if (a.id <= 0 || (StudyPaneTabs::isGotoSlot(a.slot) && a.slot != kBibleGotoSubpane))
            return false;
        if (*a.label == 0 || *a.tooltip == 0 || *a.menuTitle == 0 || *a.buttonName == 0)
            return false;
        if (*a.command.id->name == 0 || *a.command.menu->name == 0 || *a.command.text == 0)
            return false;
        for (const auto& b : kTabs) {
            if (&a != &b && (a.id == b.id || sameText(a.buttonName, b.buttonName)))
                return false;
            // No two commands share a name or a menu place.
            if (&a != &b &&
                (sameText(a.command.id->name, b.command.id->name) ||
                    (sameText(a.command.menu->name, b.command.menu->name) &&
                        a.command.menuGroup == b.command.menuGroup && a.command.menuOrder == b.command.menuOrder)))
                return false;
        }
    }
    return true;
}
static_assert(tableIsWhole(), "every sub-pane slot needs one tab row, with its own id, button name and command");

// Whether a tab is one of the tabs that came after the stored default order: every order holds them.
bool isLaterTab(qint64 id)
{
    return !StudyPaneRegionContentItemState::arrayWithDefaultTabIDOrder().contains(id);
}

}  // namespace

std::span<const StudyPaneTabs::Tab> StudyPaneTabs::all()
{
    return kTabs;
}

const StudyPaneTabs::Tab* StudyPaneTabs::find(qint64 id)
{
    for (const Tab& tab : kTabs) {
        if (tab.id == id)
            return &tab;
    }
    return nullptr;
}

qint64 StudyPaneTabs::tabForSlot(Slot slot)
{
    const Slot shows = isGotoSlot(slot) ? kBibleGotoSubpane : slot;
    for (const Tab& tab : kTabs) {
        if (tab.slot == shows)
            return tab.id;
    }
    return 0;
}

void StudyPaneTabs::configure(const StudyPaneRegionContentItemState* state, StudyPaneView* view)
{
    m_order.clear();
    const QList<qint64> stored = state != nullptr && !state->tabIDOrder.isEmpty()
        ? state->tabIDOrder
        : StudyPaneRegionContentItemState::arrayWithDefaultTabIDOrder();
    auto add = [this](qint64 id) {
        m_order.append(id);
        m_selected = id;  // adding a tab selects it
    };
    for (qint64 id : stored) {
        if (find(id) != nullptr && !m_order.contains(id))
            add(id);
    }
    // An order that holds the default tabs and some later one is one the user made by dragging: the
    // button row shows it (a tab added since then joins at its end). Any other (the default six)
    // leaves the row in its own order.
    const bool holdsDefault = std::ranges::all_of(StudyPaneRegionContentItemState::arrayWithDefaultTabIDOrder(),
        [this](qint64 id) { return m_order.contains(id); });
    m_rowIsCustom =
        state != nullptr && holdsDefault && std::ranges::any_of(m_order, [](qint64 id) { return isLaterTab(id); });
    for (const Tab& tab : kTabs) {
        if (isLaterTab(tab.id) && !m_order.contains(tab.id))
            add(tab.id);
    }
    if (view != nullptr)
        view->setRowOrder(rowOrder());
}

QList<qint64> StudyPaneTabs::rowOrder() const
{
    return m_rowIsCustom ? m_order : StudyPaneView::defaultRowOrder();
}

bool StudyPaneTabs::move(qint64 id, int toIndex, StudyPaneView* view)
{
    // The tabs take the order the user sees in the row, with the moved one in its new place.
    QList<qint64> order = rowOrder();
    const qsizetype from = order.indexOf(id);
    if (from < 0)
        return false;
    order.move(from, std::clamp<qsizetype>(toIndex, 0, order.size() - 1));
    m_order = order;
    m_rowIsCustom = true;
    if (view != nullptr)
        view->setRowOrder(m_order);
    return true;
}

QList<QPair<QString, qint64>> StudyPaneTabs::moreMenuEntries(const StudyPaneView* view)
{
    QList<QPair<QString, qint64>> out;
    if (view == nullptr)
        return out;
    // The hidden buttons, in the order of the row.
    for (qint64 tab : view->rowOrder()) {
        const QToolButton* button = view->button(tab);
        if (button != nullptr && button->isHidden())
            out.append({QString::fromUtf8(find(tab)->menuTitle), tab});
    }
    return out;
}

void StudyPaneTabs::runMoreMenu(StudyPaneView* view, qint64 selectedTab, const std::function<bool(qint64)>& available,
    const std::function<void(qint64)>& choose)
{
    if (view == nullptr)
        return;
    auto* menu = new QMenu(view);
    for (const auto& [title, tab] : moreMenuEntries(view)) {
        QAction* a = menu->addAction(title);
        a->setEnabled(available(tab));
        // The selected tab may be one of the hidden ones.
        a->setCheckable(true);
        a->setChecked(selectedTab == tab);
        const qint64 id = tab;
        QObject::connect(a, &QAction::triggered, view, [choose, id] { choose(id); });
    }
    QToolButton* more = view->moreMenuButton();
    PopupMenu::exec(menu, more->mapToGlobal(more->rect().center()));
}

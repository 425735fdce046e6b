#include "studypane/StudyPaneTabs.h"

#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneView.h"

#include <QMenu>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr qint64 kFirstTab = 1;
constexpr qint64 kGotoTab = 6;
// The tabs added after the first six: every order holds them.
constexpr qint64 kLaterTabs[] = {7, 8, 9};

const char* moreMenuTitle(qint64 tab)
{
    switch (tab) {
    case kGotoTab:
        return "Go To...";
    case 1:
        return "Search Active Bible/Book";
    case 2:
        return "Bookmarks";
    case 3:
        return "Highlights";
    case 4:
        return "View/Edit Notes";
    case 5:
        return "Bible/Book Notes";
    case 7:
        return "Journal Notes";
    case 8:
        return "Library Search";
    default:
        return "Navigator";
    }
}

}  // namespace

const std::array<StudyPaneTabs::Tab, StudyPaneTabs::kTabCount>& StudyPaneTabs::all()
{
    static const std::array<Tab, kTabCount> table {{
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
        if (id >= kFirstTab && id <= kTabCount && !m_order.contains(id))
            add(id);
    }
    for (qint64 id : kLaterTabs) {
        if (!m_order.contains(id))
            add(id);
    }
    // An order of all nine tabs is one the user made by dragging: the button row shows it. Any other
    // (the default six) leaves the row in its own order.
    m_rowIsCustom = state != nullptr && state->tabIDOrder.size() == kTabCount && m_order.size() == kTabCount;
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

QToolButton* StudyPaneTabs::button(StudyPaneView* view, qint64 id)
{
    const StudyPaneView::Button b = StudyPaneView::buttonForTab(id);
    return view != nullptr && b != StudyPaneView::kButtonCount ? view->button(b) : nullptr;
}

QList<QPair<QString, qint64>> StudyPaneTabs::moreMenuEntries(const StudyPaneView* view)
{
    QList<QPair<QString, qint64>> out;
    if (view == nullptr)
        return out;
    // The hidden buttons, in the order of the row.
    for (qint64 tab : view->rowOrder()) {
        if (view->button(StudyPaneView::buttonForTab(tab))->isHidden())
            out.append({QString::fromUtf8(moreMenuTitle(tab)), tab});
    }
    return out;
}

void StudyPaneTabs::runMoreMenu(StudyPaneView* view, qint64 selectedTab, const std::function<bool(qint64)>& available,
    const std::function<void(qint64)>& choose)
{
    if (view == nullptr)
        return;
    QMenu menu(view);
    for (const auto& [title, tab] : moreMenuEntries(view)) {
        QAction* a = menu.addAction(title);
        a->setEnabled(available(tab));
        // The selected tab may be one of the hidden ones.
        a->setCheckable(true);
        a->setChecked(selectedTab == tab);
        const qint64 id = tab;
        QObject::connect(a, &QAction::triggered, view, [choose, id] { choose(id); });
    }
    QToolButton* more = view->moreMenuButton();
    menu.exec(more->mapToGlobal(more->rect().center()));
}

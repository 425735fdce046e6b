// The study pane's nine tabs: their table of labels and tips, their order (as the user arranged the
// button row, kept in the pane's archived state), the tab chosen in that order, and the overflow menu
// that lists the buttons the row has no room for.
//
// A value owned by the study pane controller; the view it is handed belongs to the controller. Main
// thread only.
#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <array>
#include <functional>

class QToolButton;
class StudyPaneRegionContentItemState;
class StudyPaneView;

class StudyPaneTabs {
public:
    struct Tab {
        qint64 id;
        const char* label;
        const char* tooltip;
    };
    static constexpr int kTabCount = 9;
    // The nine tabs by identifier (index id - 1).
    static const std::array<Tab, kTabCount>& all();

    // Takes the order stored in the state (or the default one), completes it with the tabs it lacks
    // and shows it on the view (null: no view yet).
    void configure(const StudyPaneRegionContentItemState* state, StudyPaneView* view);
    // The tab identifiers in their order (written to the state when the user moves a tab).
    const QList<qint64>& order() const { return m_order; }
    // The button row's order: the tab order once the user has rearranged the row, else the row's own.
    QList<qint64> rowOrder() const;
    // Moves a tab to another place in the row (an index into rowOrder) and makes that the tab order;
    // false when the tab is not in the row.
    bool move(qint64 id, int toIndex, StudyPaneView* view);
    // The tab chosen in the tab order (0 for none).
    qint64 selected() const { return m_selected; }
    void setSelected(qint64 id) { m_selected = id; }

    // The view's button of a tab; null for no tab or without a view.
    static QToolButton* button(StudyPaneView* view, qint64 id);
    // The overflow menu's entries for the view's hidden buttons: (title, tab id), in row order.
    static QList<QPair<QString, qint64>> moreMenuEntries(const StudyPaneView* view);
    // Runs the overflow menu under the view's more button: each entry enabled as `available` says,
    // the selected tab checked; the chosen tab goes to `choose`.
    static void runMoreMenu(StudyPaneView* view, qint64 selectedTab, const std::function<bool(qint64)>& available,
        const std::function<void(qint64)>& choose);

private:
    QList<qint64> m_order;
    qint64 m_selected = 0;
    bool m_rowIsCustom = false;
};

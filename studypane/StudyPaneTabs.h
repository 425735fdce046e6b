// The study pane's tabs. `all()` is the one table of them (in StudyPaneTabs.cpp): each row gives a
// tab's identifier, the sub-pane slot it shows, its button's label, tip and object name, its entry
// in the overflow menu, the slot's built-in factory and the main window's command that shows it
// (its name and tag, menu title and place, shortcut and toolbar item); the rows stand in the button
// row's default left-to-right order. The main window makes the commands from the table. The view makes its buttons from it, the sub-pane slots find their tabs and
// built-in factories in it, and this class keeps the tabs' order (as the user arranged the button
// row, kept in the pane's archived state), the tab chosen in that order, and the overflow menu that
// lists the buttons the row has no room for.
//
// A value owned by the study pane controller; the view it is handed belongs to the controller. Main
// thread only.
#pragma once

#include "platform/ui/CommandNames.h"
#include "studypane/StudyPaneSubpaneSlots.h"

#include <QKeySequence>
#include <QStyle>

#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <memory>
#include <span>

class QToolButton;
class StudyPaneRegionContentItemState;
class StudyPaneView;

class StudyPaneTabs {
public:
    using Slot = StudyPaneSubpaneSlots::Slot;
    using MakeSubpane = std::unique_ptr<StudyPaneSubpane> (*)(const StudyPaneEnvironment&, StudyPaneViewController*);
    // The main window's command that shows a tab (the GoTo tab's sits in the Go menu, the others in
    // the Study menu's first group).
    struct Command {
        const CommandId* id;
        const char* text;          // its menu title
        const char* toolbarLabel;  // its toolbar item's label
        // The shortcut: a standard key, else the portable text (empty for none).
        QKeySequence::StandardKey standardShortcut;
        const char* shortcut;
        const MenuId* menu;
        int menuGroup;
        int menuOrder;
        int toolbarOrder;
        QStyle::StandardPixmap toolbarIcon;
        QKeySequence keySequence() const
        {
            return standardShortcut != QKeySequence::UnknownKey ? QKeySequence(standardShortcut)
                                                                : QKeySequence(QString::fromLatin1(shortcut));
        }
    };
    struct Tab {
        // Kept in stored layouts (the selected tab and the tab order): never renumber one.
        qint64 id;
        // The sub-pane it shows. The go-to tab's is kBibleGotoSubpane and it shows one of the four
        // go-to sub-panes, by the kind of the active book.
        Slot slot;
        const char* label;
        const char* tooltip;
        const char* menuTitle;   // its entry in the overflow menu
        const char* buttonName;  // its button's object name (tests and styles find it by that)
        // The slot's factory when the pane's environment gives none; null: the environment's only.
        MakeSubpane builtIn;
        Command command;
    };
    // The tabs, in the button row's default order.
    static std::span<const Tab> all();
    // A tab by identifier; null for none.
    static const Tab* find(qint64 id);
    // The tab that shows a slot's sub-pane (the four go-to slots share the go-to tab); 0 for none.
    static qint64 tabForSlot(Slot slot);
    // Whether the slot is one of the four the go-to tab chooses among.
    static constexpr bool isGotoSlot(Slot slot)
    {
        return slot >= Slot::kBibleGotoSubpane && slot <= Slot::kOtherGotoSubpane;
    }

    // Takes the order stored in the state (or the default one), completes it with the tabs that came
    // after the default order and shows it on the view (null: no view yet).
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

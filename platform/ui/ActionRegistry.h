// ActionRegistry: the commands of one main window, each one QAction registered once under a stable
// name. The object that performs a command registers it with one add() call that carries the whole
// command: its look, where it sits in the menus and whether it is offered on the toolbar, the slot
// it runs, and its state (enabled, checked, visible, as functions of the owner). The window asks for
// fresh states (updateStates) before a menu opens and after every command; the menus are built from
// the registrations (fillMenu) and the toolbar takes the actions by name. The command's tag (the
// number the menus' and toolbar's tag tables give it) is the action's data().
//
// A name registered twice, or asked for without having been registered, is a programming error: it
// is logged as critical (never passed over in silence) and answered with the first action, or null.
// So is a menu place that names no menu.
//
// Owned by the main window controller; the actions are its children. Main thread only.
#pragma once

#include "platform/ui/CommandNames.h"

#include <QAction>
#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QStyle>
#include <QTimer>

#include <functional>
#include <vector>

class QMenu;

class ActionRegistry : public QObject {
    Q_OBJECT
public:
    // Where a command sits in a menu: the menu (a top-level menu, or the group command whose submenu
    // holds it), the group (groups are parted by separators) and its order in the group, both
    // ascending. A place without a menu keeps the command out of the menus.
    struct MenuPlace {
        const char* menu = nullptr;
        int group = 0;
        int order = 0;
    };
    static MenuPlace in(const MenuId& menu, int group, int order) { return {menu.name, group, order}; }
    static MenuPlace in(const CommandId& groupCommand, int group, int order)
    {
        return {groupCommand.name, group, order};
    }

    // A whole command: its menu text, its toolbar label (the text when empty), its shortcut, whether
    // it carries a check mark; its menu place; its place in the toolbar's palette (none when
    // negative) and its toolbar icon; its menu role. Its states are asked for on every updateStates:
    // a missing function leaves that state as it is; `refresh` sets anything else (text, icon).
    struct Command {
        QString text;
        QString toolbarLabel = {};
        QKeySequence shortcut = {};
        bool checkable = false;
        MenuPlace menu = {};
        int toolbarOrder = -1;
        QStyle::StandardPixmap toolbarIcon = QStyle::SP_FileIcon;
        QAction::MenuRole menuRole = QAction::TextHeuristicRole;
        std::function<bool()> enabled = {};
        std::function<bool()> checked = {};
        std::function<bool()> visible = {};
        std::function<void(QAction&)> refresh = {};
    };

    explicit ActionRegistry(QObject* parent = nullptr);

    // Registers a command. With a receiver, `triggered` is connected to its slot or functor, and the
    // command's state functions are dropped when the receiver goes. Returns the action, which stays
    // the registry's.
    QAction* add(const CommandId& id, const Command& command) { return add(id, command, nullptr); }
    // A command that runs nothing itself (a group whose submenu holds commands): its state functions
    // are dropped when `owner` goes.
    QAction* add(const CommandId& id, const Command& command, QObject* owner);
    template <typename Receiver, typename Slot>
    QAction* add(const CommandId& id, const Command& command, Receiver* receiver, Slot slot)
    {
        const bool fresh = !contains(QLatin1String(id.name));
        QAction* action = add(id, command, static_cast<QObject*>(receiver));
        if (fresh)
            connect(action, &QAction::triggered, receiver, slot);
        return action;
    }

    // The action registered under the name (null when there is none, which is a programming error).
    QAction* action(const CommandId& id) const { return action(QLatin1String(id.name)); }
    QAction* action(const QString& name) const;
    bool contains(const QString& name) const { return m_byName.contains(name); }
    // Every action, in the order of registration.
    const QList<QAction*>& actions() const { return m_actions; }

    // Adds to `menu` the commands placed in the menu named `name`, by group and order, a separator
    // between groups; a command that other commands are placed in gets their submenu.
    void fillMenu(QMenu* menu, const MenuId& name) const { fillMenu(menu, name.name); }
    // The names of the commands offered on the toolbar, in palette order.
    QStringList toolbarPalette() const;
    // The toolbar icon a command was registered with.
    QStyle::StandardPixmap toolbarIcon(const QString& name) const;
    // True once every menu place names a filled menu (logs each place that does not).
    bool checkMenuPlaces(const QList<MenuId>& topMenus) const;

    // Refreshes every command's state, then triggers it when it is enabled. False when it is not.
    bool trigger(const CommandId& id);
    // Sets every command's state now, then asks every other owner for theirs.
    void updateStates();
    // Sets the states a moment from now, once however often it is asked before then: for changes
    // that move a command's state without a command or a menu (a go-to makes Back possible, a tab
    // switch changes the active book), so that the toolbar shows it. Main thread only.
    void scheduleUpdate();
    // No state is asked for any more (the window is going).
    void stopUpdating();

signals:
    // Owners that set their commands' states by hand do it here.
    void statesNeeded();

private:
    struct Entry {
        QAction* action;
        Command command;
        QPointer<QObject> owner;
        bool owned;
    };
    void fillMenu(QMenu* menu, const char* name) const;
    const Entry* entry(const QString& name) const;

    QHash<QString, QAction*> m_byName;
    QList<QAction*> m_actions;
    std::vector<Entry> m_entries;
    bool m_updating = true;
    QTimer* m_updateTimer = nullptr;
};

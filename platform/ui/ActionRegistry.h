// ActionRegistry: the commands of one main window, each one QAction registered once under a stable
// name. The object that performs a command registers it (add), connects it to its own slot and
// keeps its enabled, checked and visible state beside it, in a handler of statesNeeded(); the
// window asks for fresh states (updateStates) before a menu opens and after every command. The
// menus, the toolbar and the book panes' context menus take the actions by name. The command's tag
// (the number the menus' and toolbar's tag tables give it) is the action's data().
//
// A name registered twice, or asked for without having been registered, is a programming error: it
// is logged as critical (never passed over in silence) and answered with the first action, or null.
//
// Owned by the main window controller; the actions are its children. Main thread only.
#pragma once

#include "platform/ui/CommandNames.h"

#include <QAction>
#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

class ActionRegistry : public QObject {
    Q_OBJECT
public:
    // What a command looks like: its menu text, its toolbar label (the text when empty), its
    // shortcut and whether it carries a check mark.
    struct Look {
        Look(QString text, QString toolbarLabel = {}, QKeySequence shortcut = {}, bool checkable = false)
            : text(std::move(text)),
              toolbarLabel(std::move(toolbarLabel)),
              shortcut(std::move(shortcut)),
              checkable(checkable)
        {
        }
        QString text;
        QString toolbarLabel;
        QKeySequence shortcut;
        bool checkable;
    };

    explicit ActionRegistry(QObject* parent = nullptr);

    // Registers a command; `triggered` is connected to the receiver's slot or functor (context
    // object `receiver`). Returns the action, which stays the registry's.
    QAction* add(const CommandId& id, const Look& look);
    template <typename Receiver, typename Slot>
    QAction* add(const CommandId& id, const Look& look, Receiver* receiver, Slot slot)
    {
        QAction* action = add(id, look);
        connect(action, &QAction::triggered, receiver, slot);
        return action;
    }

    // The action registered under the name (null when there is none, which is a programming error).
    QAction* action(const CommandId& id) const { return action(QLatin1String(id.name)); }
    QAction* action(const QString& name) const;
    bool contains(const QString& name) const { return m_byName.contains(name); }
    // Every action, in the order of registration.
    const QList<QAction*>& actions() const { return m_actions; }

    // Refreshes every command's state, then triggers it when it is enabled. False when it is not.
    bool trigger(const CommandId& id);
    // Asks every owner for its commands' states now.
    void updateStates();

signals:
    // Each owner sets the enabled, checked and visible state of its own commands.
    void statesNeeded();

private:
    QHash<QString, QAction*> m_byName;
    QList<QAction*> m_actions;
};

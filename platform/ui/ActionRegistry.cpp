#include "platform/ui/ActionRegistry.h"

#include <QtGlobal>

ActionRegistry::ActionRegistry(QObject* parent) : QObject(parent)
{
}

QAction* ActionRegistry::add(const CommandId& id, const Look& look)
{
    const QString name = QLatin1String(id.name);
    if (QAction* existing = m_byName.value(name)) {
        qCritical("The command %s is registered twice", id.name);
        return existing;
    }
    auto* action = new QAction(look.text, this);
    action->setObjectName(name);
    action->setData(id.tag);
    if (!look.toolbarLabel.isEmpty())
        action->setIconText(look.toolbarLabel);
    if (!look.shortcut.isEmpty())
        action->setShortcut(look.shortcut);
    action->setCheckable(look.checkable);
    // Menus show no icons; the toolbar gives its buttons theirs.
    action->setIconVisibleInMenu(false);
    // Whatever a command changed may change what the others can do.
    connect(action, &QAction::triggered, this, &ActionRegistry::updateStates, Qt::QueuedConnection);
    m_byName.insert(name, action);
    m_actions.append(action);
    return action;
}

QAction* ActionRegistry::action(const QString& name) const
{
    QAction* action = m_byName.value(name);
    if (action == nullptr)
        qCritical("No command is registered as %s", qPrintable(name));
    return action;
}

bool ActionRegistry::trigger(const CommandId& id)
{
    QAction* command = action(id);
    if (command == nullptr)
        return false;
    updateStates();
    if (!command->isEnabled())
        return false;
    command->trigger();
    return true;
}

void ActionRegistry::updateStates()
{
    emit statesNeeded();
}

#include "platform/ui/ActionRegistry.h"

#include <QMenu>
#include <QSet>
#include <QtGlobal>

#include <algorithm>

ActionRegistry::ActionRegistry(QObject* parent) : QObject(parent), m_updateTimer(new QTimer(this))
{
    // Soon enough to read as at once, late enough to stay off the path of a go-to's first paint.
    m_updateTimer->setSingleShot(true);
    m_updateTimer->setInterval(40);
    connect(m_updateTimer, &QTimer::timeout, this, &ActionRegistry::updateStates);
}

QAction* ActionRegistry::add(const CommandId& id, const Command& command, QObject* owner)
{
    const QString name = QLatin1String(id.name);
    if (QAction* existing = m_byName.value(name)) {
        qCritical("The command %s is registered twice", id.name);
        return existing;
    }
    auto* action = new QAction(command.text, this);
    action->setObjectName(name);
    action->setData(id.tag);
    if (!command.toolbarLabel.isEmpty())
        action->setIconText(command.toolbarLabel);
    if (!command.shortcut.isEmpty())
        action->setShortcut(command.shortcut);
    action->setCheckable(command.checkable);
    action->setMenuRole(command.menuRole);
    // Menus show no icons; the toolbar gives its buttons theirs.
    action->setIconVisibleInMenu(false);
    // Whatever a command changed may change what the others can do.
    connect(action, &QAction::triggered, this, &ActionRegistry::updateStates, Qt::QueuedConnection);
    m_byName.insert(name, action);
    m_actions.append(action);
    m_entries.push_back({action, command, owner, owner != nullptr});
    return action;
}

QAction* ActionRegistry::action(const QString& name) const
{
    QAction* action = m_byName.value(name);
    if (action == nullptr)
        qCritical("No command is registered as %s", qPrintable(name));
    return action;
}

const ActionRegistry::Entry* ActionRegistry::entry(const QString& name) const
{
    for (const Entry& e : m_entries)
        if (e.action->objectName() == name)
            return &e;
    return nullptr;
}

void ActionRegistry::fillMenu(QMenu* menu, const char* name) const
{
    std::vector<const Entry*> placed;
    for (const Entry& e : m_entries)
        if (e.command.menu.menu != nullptr && qstrcmp(e.command.menu.menu, name) == 0)
            placed.push_back(&e);
    std::stable_sort(placed.begin(), placed.end(), [](const Entry* a, const Entry* b) {
        return std::pair(a->command.menu.group, a->command.menu.order) <
            std::pair(b->command.menu.group, b->command.menu.order);
    });
    for (size_t i = 0; i < placed.size(); ++i) {
        const Entry& e = *placed[i];
        if (i > 0 && placed[i - 1]->command.menu.group != e.command.menu.group)
            menu->addSeparator();
        const QByteArray own = e.action->objectName().toLatin1();
        const bool isGroup = std::any_of(m_entries.begin(), m_entries.end(), [&own](const Entry& other) {
            return other.command.menu.menu != nullptr && own == other.command.menu.menu;
        });
        if (isGroup) {
            // A group command: its action opens the submenu (and carries the group's tag and state).
            auto* submenu = new QMenu(e.action->text(), menu);
            e.action->setMenu(submenu);
            fillMenu(submenu, own.constData());
        }
        menu->addAction(e.action);
    }
}

bool ActionRegistry::checkMenuPlaces(const QList<MenuId>& topMenus) const
{
    QSet<QByteArray> menus;
    for (const MenuId& top : topMenus)
        menus.insert(QByteArray(top.name));
    for (const Entry& e : m_entries)
        menus.insert(e.action->objectName().toLatin1());
    bool good = true;
    for (const Entry& e : m_entries) {
        if (e.command.menu.menu != nullptr && !menus.contains(QByteArray(e.command.menu.menu))) {
            qCritical("The command %s is placed in %s, which is no menu", qPrintable(e.action->objectName()),
                e.command.menu.menu);
            good = false;
        }
    }
    return good;
}

QStringList ActionRegistry::toolbarPalette() const
{
    std::vector<const Entry*> offered;
    for (const Entry& e : m_entries)
        if (e.command.toolbarOrder >= 0)
            offered.push_back(&e);
    std::stable_sort(offered.begin(), offered.end(),
        [](const Entry* a, const Entry* b) { return a->command.toolbarOrder < b->command.toolbarOrder; });
    QStringList names;
    for (const Entry* e : offered)
        names.append(e->action->objectName());
    return names;
}

QStyle::StandardPixmap ActionRegistry::toolbarIcon(const QString& name) const
{
    const Entry* e = entry(name);
    return e != nullptr ? e->command.toolbarIcon : QStyle::SP_FileIcon;
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
    if (!m_updating)
        return;
    for (Entry& e : m_entries) {
        // The owner is gone: its functions may name what went with it.
        if (e.owned && e.owner.isNull())
            continue;
        const Command& c = e.command;
        if (c.enabled)
            e.action->setEnabled(c.enabled());
        if (c.checked)
            e.action->setChecked(c.checked());
        if (c.visible)
            e.action->setVisible(c.visible());
        if (c.refresh)
            c.refresh(*e.action);
    }
    emit statesNeeded();
}

void ActionRegistry::scheduleUpdate()
{
    if (m_updating && !m_updateTimer->isActive())
        m_updateTimer->start();
}

void ActionRegistry::stopUpdating()
{
    m_updating = false;
    m_updateTimer->stop();
}

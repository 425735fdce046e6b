#include "app/LayoutCommands.h"

#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/ActionRegistry.h"

LayoutCommands::LayoutCommands(
    const WindowEnvironment& environment, QuillsteadAppController& app, QuillsteadWindowController& window)
    : m_environment(environment), m_app(app), m_window(window)
{
    using namespace CommandNames;
    ActionRegistry& actions = *m_environment.actions;
    actions.add(NewLayout, {.text = tr("New Layout..."), .menu = ActionRegistry::in(Menus::Panes, 4, 0)}, this,
        &LayoutCommands::newLayout);
    actions.add(RenameLayout, {.text = tr("Rename Layout..."), .menu = ActionRegistry::in(Menus::Panes, 4, 1)}, this,
        &LayoutCommands::renameLayout);
    actions.add(DeleteLayout,
        {.text = tr("Delete Layout"),
            .menu = ActionRegistry::in(Menus::Panes, 4, 2),
            .enabled = [this] { return m_environment.layoutManager().count() >= 2; }},
        this, &LayoutCommands::deleteLayout);
}

void LayoutCommands::newLayout()
{
    const QString descriptor = m_window.runNewLayoutSheet();
    if (!descriptor.isEmpty())
        m_app.newLayoutFromDescriptor(descriptor);
}

void LayoutCommands::renameLayout()
{
    Layout* layout = m_environment.layoutManager().currentLayout();
    if (layout == nullptr)
        return;
    const QString name = m_window.runTextPrompt({{QStringLiteral("title"), QStringLiteral("Rename Current Layout")},
        {QStringLiteral("prompt"), QStringLiteral("Enter a new name for this layout.")},
        {QStringLiteral("default"), layout->name()},
        {QStringLiteral("detailPrompt"),
            QStringLiteral("Layout names don't have to be unique, but they should be. If you name your layout "
                           "\"Today\", it will be displayed when you select \"Today's Reading\".")}});
    if (name.isEmpty())
        return;
    layout->setName(name);
    m_environment.notifications().postNotificationName(
        PaneNotifications::qsLayoutManagerLayoutNameChangedNotification, nullptr);
}

void LayoutCommands::deleteLayout()
{
    LayoutManager& manager = m_environment.layoutManager();
    Layout* layout = manager.currentLayout();
    if (manager.count() < 2 || layout == nullptr)
        return;
    Alert alert;
    alert.messageText = QStringLiteral("Are you sure you want to delete the layout '%1'?").arg(layout->name());
    alert.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    alert.defaultButton = 1;  // Return keeps the layout
    if (m_environment.alert().runModal(alert) == AlertFirstButtonReturn)
        manager.deleteLayoutAtIndex(manager.findLayoutIndex(layout));
}

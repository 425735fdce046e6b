// The main window's layout tabs: one tab a layout, kept in step with the layout manager, chosen,
// moved, shown or hidden, and closed.
#include "app/QuillsteadWindowController.h"

#include "library/NavigationHistory.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/layoutview/LayoutViewController.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/ActionRegistry.h"
#include "platform/ui/MenuText.h"

#include <QTabBar>
#include <QToolButton>

void QuillsteadWindowController::makeTabsForLayoutManagerLayouts()
{
    m_ignoreTabViewDelegateMessages = true;
    while (m_tabBar->count() > 0)
        m_tabBar->removeTab(m_tabBar->count() - 1);
    LayoutManager& manager = m_environment.layoutManager();
    for (const auto& layout : manager.layouts()) {
        const int index =
            m_tabBar->addTab(layout->name().isEmpty() ? tr("Untitled Layout") : MenuText::asWritten(layout->name()));
        m_tabBar->setTabData(index, layout->uuidString());
    }
    m_tabBar->setTabsClosable(m_tabBar->count() > 1);
    const quint64 current = manager.findLayoutIndex(manager.currentLayout());
    if (current < static_cast<quint64>(m_tabBar->count())) {
        m_tabBar->setCurrentIndex(static_cast<int>(current));
        m_ignoreTabViewDelegateMessages = false;
        tabSelected(static_cast<int>(current));
    }
    m_ignoreTabViewDelegateMessages = false;
}

void QuillsteadWindowController::makeLayoutManagerMatchTabs()
{
    m_observingLayouts = false;
    LayoutManager& manager = m_environment.layoutManager();
    for (int i = 0; i < m_tabBar->count();) {
        const QString uuid = m_tabBar->tabData(i).toString();
        const Layout* at = manager.layoutAtIndex(static_cast<quint64>(i));
        if (at != nullptr && at->uuidString() == uuid) {
            ++i;
            continue;
        }
        if (const Layout* wanted = manager.layoutWithUuid(uuid)) {
            manager.swapLayoutAtIndex(static_cast<quint64>(i), manager.findLayoutIndex(wanted));
            ++i;
            continue;
        }
        m_ignoreTabViewDelegateMessages = true;
        m_tabBar->removeTab(i);
        m_ignoreTabViewDelegateMessages = false;
    }
    while (manager.count() > static_cast<quint64>(m_tabBar->count()) && manager.count() > 0)
        manager.deleteLayoutAtIndex(manager.count() - 1);
    m_observingLayouts = true;
}

void QuillsteadWindowController::selectLayoutAtIndex(quint64 index)
{
    if (index < static_cast<quint64>(m_tabBar->count()) && m_tabBar->currentIndex() != static_cast<int>(index)) {
        m_ignoreTabViewDelegateMessages = true;
        m_tabBar->setCurrentIndex(static_cast<int>(index));
        m_ignoreTabViewDelegateMessages = false;
    }
    LayoutManager& manager = m_environment.layoutManager();
    if (index < manager.count()) {
        manager.setCurrentLayout(manager.layoutAtIndex(index));
        m_layoutViewController->showCurrentLayout();
    }
    // Back and Forward, and every command about the current pane, now answer for this layout.
    m_actions->updateStates();
}

void QuillsteadWindowController::selectLayoutWithName(const QString& name)
{
    LayoutManager& manager = m_environment.layoutManager();
    for (quint64 i = 0; i < manager.count(); ++i)
        if (manager.layoutAtIndex(i)->name().compare(name, Qt::CaseInsensitive) == 0) {
            selectLayoutAtIndex(i);
            return;
        }
}

bool QuillsteadWindowController::isTabBarVisible() const
{
    return !m_tabBar->isHidden();
}

void QuillsteadWindowController::setTabBarVisible(bool visible)
{
    m_tabBar->setVisible(visible);
    m_addLayoutButton->setVisible(visible);
}

void QuillsteadWindowController::tabMoved()
{
    if (!m_ignoreTabViewDelegateMessages)
        makeLayoutManagerMatchTabs();
}

void QuillsteadWindowController::tabCloseRequested(int index)
{
    if (m_tabBar->count() < 2)
        return;
    Alert alert;
    alert.messageText = QStringLiteral("Are you sure you want to delete the layout '%1'?")
                            .arg(MenuText::nameOf(m_tabBar->tabText(index)));
    alert.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    alert.defaultButton = 1;  // Return keeps the layout
    alert.style = AlertStyle::Informational;
    if (m_environment.alert().runModal(alert) != AlertFirstButtonReturn)
        return;
    m_ignoreTabViewDelegateMessages = true;
    m_tabBar->removeTab(index);
    m_ignoreTabViewDelegateMessages = false;
    makeLayoutManagerMatchTabs();
    makeTabsForLayoutManagerLayouts();
}

void QuillsteadWindowController::tabSelected(int index)
{
    if (m_ignoreTabViewDelegateMessages || index < 0)
        return;
    LayoutManager& manager = m_environment.layoutManager();
    const Layout* layout = manager.layoutWithUuid(m_tabBar->tabData(index).toString());
    if (layout != nullptr)
        selectLayoutAtIndex(manager.findLayoutIndex(layout));
}

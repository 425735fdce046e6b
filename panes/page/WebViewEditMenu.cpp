#include "panes/page/WebViewEditMenu.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QWebEngineContextMenuRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <array>

namespace WebViewEditMenu {

void show(QWebEngineView* view, const QPoint& global)
{
    if (view == nullptr || view->lastContextMenuRequest() == nullptr)
        return;
    QMenu* menu = view->createStandardContextMenu();
    if (menu == nullptr)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    static constexpr std::array kBrowserCommands {QWebEnginePage::Back, QWebEnginePage::Forward, QWebEnginePage::Stop,
        QWebEnginePage::Reload, QWebEnginePage::ReloadAndBypassCache, QWebEnginePage::OpenLinkInThisWindow,
        QWebEnginePage::OpenLinkInNewWindow, QWebEnginePage::OpenLinkInNewTab,
        QWebEnginePage::OpenLinkInNewBackgroundTab, QWebEnginePage::DownloadLinkToDisk,
        QWebEnginePage::DownloadImageToDisk, QWebEnginePage::DownloadMediaToDisk, QWebEnginePage::InspectElement,
        QWebEnginePage::SavePage, QWebEnginePage::ViewSource};
    for (QAction* action : menu->actions()) {
        if (std::ranges::any_of(
                kBrowserCommands, [&](QWebEnginePage::WebAction a) { return view->pageAction(a) == action; }))
            menu->removeAction(action);
    }
    // No separator at either end or next to another.
    bool previousWasSeparator = true;
    QAction* lastSeparator = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            if (previousWasSeparator)
                menu->removeAction(action);
            else
                lastSeparator = action;
            previousWasSeparator = true;
        } else {
            previousWasSeparator = false;
            lastSeparator = nullptr;
        }
    }
    if (lastSeparator != nullptr)
        menu->removeAction(lastSeparator);
    if (menu->actions().isEmpty()) {
        delete menu;
        return;
    }
    menu->popup(global);
}

void attach(QWebEngineView* view)
{
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        view, &QWidget::customContextMenuRequested, view, [guard = QPointer<QWebEngineView>(view)](const QPoint& at) {
            if (guard)
                show(guard, guard->mapToGlobal(at));
        });
}

}  // namespace WebViewEditMenu

#include "panes/BookPaneFactory.h"

#include "panes/BookPane.h"
#include "panes/bookpane/WebViewWindowController.h"

#include <QDesktopServices>

BookPaneFactory::BookPaneFactory(
    BookPaneViewController::Environment environment, std::shared_ptr<LayoutPaneFactory> study)
    : m_environment(environment), m_study(std::move(study))
{
}

std::unique_ptr<LayoutRegionContentsViewControllerProtocol> BookPaneFactory::makeBookPane(
    LayoutRegionContents& contents)
{
    return std::make_unique<BookPane>(&contents, m_environment);
}

std::unique_ptr<LayoutRegionContentsViewControllerProtocol> BookPaneFactory::makeStudyPane(
    LayoutRegionContents& contents)
{
    return m_study ? m_study->makeStudyPane(contents) : nullptr;
}

void BookPaneFactory::openWebLink(const QUrl& url, bool inAppWindow)
{
    if (inAppWindow)
        WebViewWindowController::openURL(url.toString(), QString());
    else
        QDesktopServices::openUrl(url);
}

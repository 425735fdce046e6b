// BookPaneFactory: the LayoutPaneFactory the application installs in the layout view, so that every
// region of kind "" gets a BookPane; study regions are passed on to the factory given for them (none:
// study regions stay empty). openWebLink is the web-link handler for
// LayoutViewController::setWebLinkHandler: in-app links open in a WebViewWindowController, others in
// the system browser.
//
// Main thread only.
#pragma once

#include "panes/bookpane/BookPaneViewController.h"
#include "panes/layoutview/LayoutPanes.h"

#include <QUrl>
#include <memory>

class BookPaneFactory : public LayoutPaneFactory {
public:
    BookPaneFactory(
        BookPaneViewController::Environment environment, std::shared_ptr<LayoutPaneFactory> study = nullptr);
    std::unique_ptr<LayoutRegionContentsViewControllerProtocol> makeBookPane(LayoutRegionContents& contents) override;
    std::unique_ptr<LayoutRegionContentsViewControllerProtocol> makeStudyPane(LayoutRegionContents& contents) override;

    static void openWebLink(const QUrl& url, bool inAppWindow);

private:
    BookPaneViewController::Environment m_environment;
    std::shared_ptr<LayoutPaneFactory> m_study;
};

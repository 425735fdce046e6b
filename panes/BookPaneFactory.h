// The book pane as the layout view sees it, and the factory the application installs in the layout
// view so that every region of kind "" gets one.
//
// BookPane is a BookPaneViewController that also answers the layout view's LayoutBookPane: its
// part that the go-to routing drives (the page part), the commands of the menus (close, scroll, copy, next and previous book,
// autostudy) and the pane's location-sync flags. A click on a pane that is not current makes it
// current through the LayoutView that holds it; its Location Sync... item opens the location-sync
// options window for it.
//
// BookPaneFactory makes the book panes and passes study regions on to the factory given for them
// (none: study regions stay empty). openWebLink is the web-link handler for
// LayoutViewController::setWebLinkHandler: in-app links open in a WebViewWindowController, others
// in the system browser. Main thread only.
#pragma once

#include "panes/bookpane/BookPaneViewController.h"
#include "panes/layoutview/LayoutPanes.h"

#include <QUrl>
#include <memory>

class BookPane : public BookPaneViewController, public LayoutBookPane {
    Q_OBJECT
public:
    BookPane(LayoutRegionContents* contents, Environment environment);

    QWidget* paneView() override;
    // The routing's go-tos are the page part's.
    GoToPane* goToPane() override;
    std::shared_ptr<SourceTuple> currentSourceTuple() const override;
    quint64 currentSourceSection() const override;
    qint64 currentSourceBlock() const override;
    qint64 currentYOffset() const override;
    LayoutRegionContentItemState* currentSourceState() const override;
    void openBookFromDictionary(const QVariantMap& info, bool activate) override;
    void closeActiveBook() override;
    void scrollActiveBook(const QString& notificationName) override;
    void nextBook() override;
    void previousBook() override;
    // Copies the page's selection when there is one (the Copy menu item); false otherwise.
    bool tryCopyFromBook() override;
    void onAutostudyVerse() override;
    void onAutostudyWord() override;
    QString selectedBibleRefString() const override;
    QString selectedText() const override;
    bool canToggleReadingComplete() const override;
    bool paneDoesNotSendLocationSync() const override;
    bool paneDoesNotReceiveLocationSync() const override;
    void setPaneDoesNotSendLocationSync(bool value) override;
    void setPaneDoesNotReceiveLocationSync(bool value) override;
};

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

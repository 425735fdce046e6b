// BookPane: the book pane as the layout view sees it. A BookPaneViewController that also answers the
// layout view's LayoutBookPane: the routing's go-to (the request's book becomes the current tab, then
// the page moves), the commands of the menus (close, scroll, copy, next and previous book,
// autostudy) and the pane's location-sync flags. A click on a pane that is not current makes it
// current through the LayoutView that holds it; its Location Sync... item opens the location-sync
// options window for it.
//
// Owned by its region's contents (made by BookPaneFactory). Main thread only.
#pragma once

#include "panes/bookpane/BookPaneViewController.h"
#include "panes/layoutview/LayoutPanes.h"

#include <memory>

class BookPane : public BookPaneViewController, public LayoutBookPane {
    Q_OBJECT
public:
    BookPane(LayoutRegionContents* contents, Environment environment);

    QWidget* paneView() override;
    // The routing's go-to: the page moves to the place in the request's book, whose tab opens (or
    // comes to the front with activate) first, and writes its answers into the request.
    void goTo(GoToRequest& request) override;
    void prepareGoTo(const GoToRequest& request) override;
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
    void readSelectionNow(std::function<void()> done) override;
    QString selectedText() const override;
    bool canToggleReadingComplete() const override;
    bool isCurrentReadingComplete() const override;
    bool paneDoesNotSendLocationSync() const override;
    bool paneDoesNotReceiveLocationSync() const override;
    void setPaneDoesNotSendLocationSync(bool value) override;
    void setPaneDoesNotReceiveLocationSync(bool value) override;
};

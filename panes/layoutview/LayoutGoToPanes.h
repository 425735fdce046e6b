// The panes of the main window as the go-to routing and the navigation history see them
// (GoToPanes), answered from the layout manager's layouts, their pane controllers and the layout
// view that shows the current layout.
//
// Owned by the LayoutViewController, which hands it to its router and history. The layout manager
// and library must outlive it; the view may go first (the answers that need it then do nothing).
// Main thread only.
#pragma once

#include "library/GoToPanes.h"

#include <QPointer>

#include <functional>

class LayoutBookPane;
class LayoutManager;
class LayoutView;
class SourceManager;

class LayoutGoToPanes : public GoToPanes {
public:
    LayoutGoToPanes(LayoutManager& manager, SourceManager& library, LayoutView* view);

    // Web links; default: the system browser for both.
    void setWebLinkHandler(std::function<void(const QUrl&, bool inAppWindow)> handler);
    // The book pane of a region of the current layout; null for any other region.
    LayoutBookPane* bookPaneAt(int region) const;

    // --- the current layout ---
    QString currentLayoutUuid() const override;
    int regionCount() const override;
    int currentRegion() const override;
    bool isBookPane(int region) const override;
    Book paneCurrentBook(int region) const override;
    std::vector<Book> paneTabBooks(int region) const override;
    bool paneDoesNotSendLocationSync(int region) const override;
    void goTo(int region, GoToRequest& request) override;
    void prepareGoTo(int region, const GoToRequest& request) override;
    void makePaneCurrent(int region) override;
    void showBusyIndicator(bool show) override;
    void openWebLink(const QUrl& url, bool inAppWindow) override;

    // --- any layout, by uuid ---
    bool hasLayout(const QString& layoutUuid) const override;
    int layoutRegionCount(const QString& layoutUuid) const override;
    bool paneShouldCaptureHistory(const QString& layoutUuid, int region) override;
    void paneWillCaptureHistory(const QString& layoutUuid, int region) override;
    QVariant archivedLayout(const QString& layoutUuid) override;
    bool restoreLayout(const QString& layoutUuid, const QVariant& archivedLayout) override;
    bool showSamePlaces(const QVariant& archivedA, const QVariant& archivedB) override;

private:
    LayoutManager& m_manager;
    SourceManager& m_library;
    QPointer<LayoutView> m_view;
    std::function<void(const QUrl&, bool)> m_webLinkHandler;
};

// BookPaneTabs: the book pane's tabs, kept in step with the items of its region's contents. Tabs
// are rebuilt from the items when the pane is configured and when a book goes; items are rebuilt
// from the tabs after the user reorders, drags in or closes tabs. Opening a book adds an item (its
// first place follows what the layout last synced to), a tab of another pane dropped here moves
// that pane's item over.
//
// Part of its BookPaneViewController, which owns it and the tab bar. Main thread only.
#pragma once

#include "library/SourceTuple.h"

#include <QObject>
#include <QVariantMap>

class BookPaneViewController;
class LayoutRegionContentItem;
class LayoutRegionContentItemDescriptor;
class LayoutRegionContents;
class PaneTabBar;
struct Notification;

class BookPaneTabs : public QObject {
    Q_OBJECT
public:
    explicit BookPaneTabs(BookPaneViewController& pane);
    // Follows the pane's tab bar (selection, moves, closes, drags); once, after the bar is made.
    void attachToTabBar();

    // --- the books of the tabs ---
    SourceTuple::Ptr libraryTuple(const SourceTupleID& id) const;
    SourceTuple::Ptr sourceTupleForDescriptor(const LayoutRegionContentItemDescriptor* descriptor) const;
    SourceTuple::Ptr tupleAt(quint64 index) const;
    quint64 indexOfSourceTupleIdInPaneContents(const SourceTupleID& id) const;

    // --- opening, closing, choosing ---
    void openBookFromDictionary(const QVariantMap& dictionary, bool activate);
    void openBookFromSourceTuple(const SourceTuple::Ptr& tuple, bool activate);
    void closeActiveBook();
    // The "+" button: the pane becomes current and the window's Open Book command runs.
    void addNewTab();
    void nextBook();
    void previousBook();
    void selectTab(int index);

    // --- tabs and items in step ---
    void makeTabsForLayoutManagerRegionContents();
    void makeLayoutManagerMatchTabs();
    bool validateItem(LayoutRegionContentItem& item);
    // "qsSourceManagerRemovedBookNotification": the book's tab goes.
    void sourceRemoved(const Notification& n);

private:
    void onTabSelected(int index);
    void onTabCloseRequested(int index);
    void tabClosed(const QString& uuid);
    bool acceptsDrop(PaneTabBar* from, const QString& uuid) const;
    void tabDroppedIn(PaneTabBar* from);
    BookPaneViewController* controllerFor(LayoutRegionContents* contents) const;

    BookPaneViewController& m_pane;
    bool m_ignoreTabMessages = false;
    bool m_dragging = false;
    BookPaneViewController* m_dropSource = nullptr;  // the pane a tab is being dropped from
};

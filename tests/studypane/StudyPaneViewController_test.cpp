// The study pane controller and its view without books: the first configuration of a new study
// region, stored tab orders and tabs, showing a tab again, the recent-verses stack and its
// notification, the state surviving a restart through the layout archive, the button row and the
// edge box's clicks and drags.

#include <gtest/gtest.h>

#include "StudyPaneTestSupport.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/LayoutRegion.h"
#include "panes/layout/LayoutRegionContentItem.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/layoutview/LayoutView.h"
#include "platform/ui/ContentTextDocument.h"
#include "studypane/EditFormatDelegate.h"
#include "studypane/StudyPaneNavigatorViewController.h"
#include "studypane/StudyPaneNotesListViewController.h"
#include "studypane/StudyPaneRegionContentItemDescriptor.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneSearchResultsViewController.h"
#include "studypane/StudyPaneView.h"
#include "support/RecordingAlerts.h"

#include <QDialog>
#include <QFrame>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace StudyPaneTest;

namespace {

QList<qint64> allNine()
{
    return {1, 2, 3, 4, 5, 6, 7, 8, 9};
}

void putState(LayoutRegionContents* contents, std::unique_ptr<StudyPaneRegionContentItemState> state)
{
    contents->items().push_back(std::make_unique<LayoutRegionContentItem>(
        std::make_unique<StudyPaneRegionContentItemDescriptor>(), std::move(state)));
}

}  // namespace

TEST(StudyPaneViewController, ANewStudyRegionGetsOneItemOnFindWithTheDefaultTabs)
{
    Screen screen;
    StudyPaneViewController* pane = screen.install(screen.environment());
    ASSERT_EQ(screen.studyContents->items().size(), 1u);
    EXPECT_EQ(screen.studyContents->currentItemIndex(), 0u);
    ASSERT_NE(pane->state(), nullptr);
    EXPECT_EQ(pane->state()->selectedTabID, 1);
    EXPECT_EQ(pane->tabs().order(), allNine());
    // The order stored in the state is not rewritten by the set-up.
    EXPECT_EQ(pane->state()->tabIDOrder, StudyPaneRegionContentItemState::arrayWithDefaultTabIDOrder());
    EXPECT_EQ(pane->subpaneViewController(), pane->subpane(StudyPaneViewController::kSearchSubpane));
    EXPECT_EQ(shownContents(pane->paneView()), pane->subpane(StudyPaneViewController::kSearchSubpane)->view());
    EXPECT_EQ(pane->layoutUuid(), screen.layout->uuidString());
    // Only the built tools can be chosen.
    EXPECT_TRUE(tabButton(pane->paneView(), "findButton")->isEnabled());
    EXPECT_TRUE(tabButton(pane->paneView(), "navigatorButton")->isEnabled());
    EXPECT_FALSE(tabButton(pane->paneView(), "bookmarkButton")->isEnabled());
    EXPECT_FALSE(tabButton(pane->paneView(), "goToButton")->isEnabled());
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBookmarksSubpane);
    EXPECT_EQ(pane->state()->selectedTabID, 1);
    EXPECT_EQ(pane->subpaneViewController(), pane->subpane(StudyPaneViewController::kSearchSubpane));
}

TEST(StudyPaneViewController, StoredOrdersAndTabsAreApplied)
{
    {
        Screen screen;
        auto state = std::make_unique<StudyPaneRegionContentItemState>();
        state->selectedTabID = 9;
        state->tabIDOrder = {9, 8, 7, 6, 5, 4, 3, 2, 1};
        putState(screen.studyContents, std::move(state));
        StudyPaneViewController* pane = screen.install(screen.environment());
        EXPECT_EQ(pane->tabs().order(), (QList<qint64> {9, 8, 7, 6, 5, 4, 3, 2, 1}));
        EXPECT_EQ(pane->subpaneViewController(), pane->subpane(StudyPaneViewController::kNavigatorSubpane));
    }
    {
        // Unknown identifiers are skipped and the missing last tabs appended; a stored tab this pane
        // cannot show opens on Find.
        Screen screen;
        auto state = std::make_unique<StudyPaneRegionContentItemState>();
        state->selectedTabID = 3;
        state->tabIDOrder = {2, 0, 1, 42, 3};
        putState(screen.studyContents, std::move(state));
        StudyPaneViewController* pane = screen.install(screen.environment());
        EXPECT_EQ(pane->tabs().order(), (QList<qint64> {2, 1, 3, 7, 8, 9}));
        EXPECT_EQ(pane->state()->selectedTabID, 1);
        EXPECT_EQ(pane->subpaneViewController(), pane->subpane(StudyPaneViewController::kSearchSubpane));
    }
    {
        // An item whose state could not be read back gets a fresh one.
        Screen screen;
        screen.studyContents->items().push_back(std::make_unique<LayoutRegionContentItem>());
        StudyPaneViewController* pane = screen.install(screen.environment());
        ASSERT_NE(pane->state(), nullptr);
        EXPECT_EQ(pane->state()->selectedTabID, 1);
    }
}

TEST(StudyPaneViewController, SwitchingTabsAndShowingTheSelectedTabAgain)
{
    Screen screen;
    StudyPaneViewController* pane = screen.install(screen.environment());
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kNavigatorSubpane);
    EXPECT_EQ(pane->state()->selectedTabID, 9);
    EXPECT_EQ(shownContents(pane->paneView()), pane->subpane(StudyPaneViewController::kNavigatorSubpane)->view());
    // A click on the Find button.
    QTest::mouseClick(tabButton(pane->paneView(), "findButton"), Qt::LeftButton);
    EXPECT_EQ(pane->state()->selectedTabID, 1);
    EXPECT_EQ(shownContents(pane->paneView()), pane->subpane(StudyPaneViewController::kSearchSubpane)->view());

    // Too narrow: the contents go; wide again: they come back.
    pane->hidePaneContents();
    EXPECT_EQ(pane->subpaneViewController(), nullptr);
    EXPECT_EQ(shownContents(pane->paneView()), nullptr);
    pane->showHiddenPaneContents();
    EXPECT_EQ(shownContents(pane->paneView()), pane->subpane(StudyPaneViewController::kSearchSubpane)->view());

    // The selected tab made current again on a collapsed pane expands it.
    screen.host.width = 6;
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kSearchSubpane);
    EXPECT_EQ(screen.host.width, 290);
    EXPECT_EQ(screen.host.showCalls, 1);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kSearchSubpane);
    EXPECT_EQ(screen.host.showCalls, 1);  // visible: nothing to expand
}

TEST(StudyPaneViewController, MovingATabStoresTheOrderAndSavesAtOnce)
{
    Screen screen;
    int saves = 0;
    StudyPaneEnvironment env = screen.environment();
    env.saveState = [&saves] { ++saves; };
    StudyPaneViewController* pane = screen.install(env);
    // The tab goes where it is put in the row the user sees (GoTo first by default).
    EXPECT_EQ(pane->tabs().rowOrder(), (QList<qint64> {6, 1, 2, 3, 4, 5, 7, 8, 9}));
    pane->moveTab(9, 0);
    EXPECT_EQ(pane->state()->tabIDOrder, (QList<qint64> {9, 6, 1, 2, 3, 4, 5, 7, 8}));
    EXPECT_EQ(pane->paneView()->rowOrder(), pane->state()->tabIDOrder);
    EXPECT_EQ(saves, 1);
    pane->moveTab(42, 0);  // no such tab
    EXPECT_EQ(saves, 1);
}

TEST(StudyPaneView, DraggingAButtonAlongTheRowMovesItsTabAndAClickStillSelects)
{
    Screen screen;
    int saves = 0;
    StudyPaneEnvironment env = screen.environment();
    env.saveState = [&saves] { ++saves; };
    StudyPaneViewController* pane = screen.install(env);
    StudyPaneView* view = pane->paneView();
    view->show();
    view->resize(2000, 600);
    auto send = [](QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    };
    QToolButton* navigator = tabButton(view, "navigatorButton");
    QToolButton* find = tabButton(view, "findButton");
    const QPoint inside(5, navigator->height() / 2);
    // Dragged left of Find's middle: after GoTo, before Find.
    const int target = find->geometry().center().x() - 3;
    send(navigator, QEvent::MouseButtonPress, inside, Qt::LeftButton);
    send(navigator, QEvent::MouseMove, navigator->mapFrom(view, QPoint(target, 10)), Qt::LeftButton);
    // The button follows the pointer.
    EXPECT_EQ(navigator->geometry().left(), target - inside.x());
    send(navigator, QEvent::MouseButtonRelease, navigator->mapFrom(view, QPoint(target, 10)), Qt::NoButton);
    EXPECT_EQ(view->rowOrder(), (QList<qint64> {6, 9, 1, 2, 3, 4, 5, 7, 8}));
    EXPECT_EQ(pane->state()->tabIDOrder, view->rowOrder());
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(pane->state()->selectedTabID, 1);  // a drag is no click
    EXPECT_LT(navigator->geometry().x(), find->geometry().x());
    EXPECT_GT(navigator->geometry().x(), tabButton(view, "goToButton")->geometry().x());

    // A button dropped where it was stays, and nothing is saved.
    send(find, QEvent::MouseButtonPress, inside, Qt::LeftButton);
    send(find, QEvent::MouseMove, inside + QPoint(12, 0), Qt::LeftButton);
    send(find, QEvent::MouseButtonRelease, inside + QPoint(12, 0), Qt::NoButton);
    EXPECT_EQ(view->rowOrder(), (QList<qint64> {6, 9, 1, 2, 3, 4, 5, 7, 8}));
    EXPECT_EQ(saves, 1);

    // A press and release without moving is a click.
    QTest::mouseClick(navigator, Qt::LeftButton);
    EXPECT_EQ(pane->state()->selectedTabID, 9);

    // The hidden buttons of a narrow row are offered in the row's order.
    view->resize(tabButton(view, "findButton")->geometry().right() + 2 + StudyPaneView::kBoxWidth, 600);
    const auto entries = StudyPaneTabs::moreMenuEntries(pane->paneView());
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_EQ(entries.front().second, 1);
    EXPECT_EQ(entries.back().second, 8);
}

TEST(StudyPaneViewController, RecentVersesKeepThirtyNewestFirstEachOnce)
{
    Screen screen;
    StudyPaneViewController* pane = screen.install(screen.environment());
    for (quint32 i = 0; i < 31; ++i)
        pane->pushKeyOnRecentStack(0x01010100u + (i << 8), QString());
    QList<quint32> keys = pane->recentGoToVerseKeys();
    ASSERT_EQ(keys.size(), 30);
    EXPECT_EQ(keys.front(), 0x01010100u + (30u << 8));
    EXPECT_EQ(keys.back(), 0x01010100u + (1u << 8));
    // A verse visited again moves to the front, once.
    pane->pushKeyOnRecentStack(0x01010100u + (5u << 8), QString());
    keys = pane->recentGoToVerseKeys();
    EXPECT_EQ(keys.size(), 30);
    EXPECT_EQ(keys.front(), 0x01010100u + (5u << 8));
    EXPECT_EQ(keys.count(0x01010100u + (5u << 8)), 1);

    // Through the go-to handler's notification: only for this pane's layout.
    screen.center.postNotificationName(LibraryNotifications::PushKeyOnRecentStackNotification, nullptr,
        {{QStringLiteral("layoutUuid"), QStringLiteral("another layout")}, {QStringLiteral("key"), 0x2B031000u},
            {QStringLiteral("abbr"), QString()}});
    EXPECT_NE(pane->recentGoToVerseKeys().front(), 0x2B031000u);
    screen.center.postNotificationName(LibraryNotifications::PushKeyOnRecentStackNotification, nullptr,
        {{QStringLiteral("layoutUuid"), screen.layout->uuidString()}, {QStringLiteral("key"), 0x2B031000u},
            {QStringLiteral("abbr"), QString()}});
    EXPECT_EQ(pane->recentGoToVerseKeys().front(), 0x2B031000u);
}

TEST(StudyPaneViewController, WithoutARegionThePassThroughPropertiesReadNothing)
{
    Screen screen;
    auto pane = StudyPaneViewController::factory(screen.environment());
    pane->paneView();
    EXPECT_EQ(pane->state(), nullptr);
    pane->setManualStudyPaneWidth(400);
    pane->pushKeyOnRecentStack(0x01010100u, QString());
    EXPECT_EQ(pane->manualStudyPaneWidth(), 0);
    EXPECT_TRUE(pane->recentGoToVerseKeys().isEmpty());
    EXPECT_EQ(pane->subpaneViewController(), nullptr);  // no state, no tab shown
}

TEST(StudyPaneViewController, TheStateSurvivesARestartThroughTheLayoutArchive)
{
    const QString path = home().filePath(QStringLiteral("layout archive.plist"));
    {
        Screen screen;
        StudyPaneViewController* pane = screen.install(screen.environment());
        pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kNavigatorSubpane);
        pane->moveTab(9, 0);
        pane->setManualStudyPaneWidth(312.5);
        pane->pushKeyOnRecentStack(0x2B031000u, QString());
        pane->state()->bookmarkPaneSourceTupleID = SourceTupleID(1, 101, 1, 1);
        pane->state()->noteViewPaneJournalTitle = QStringLiteral("Sermon notes");
        ASSERT_TRUE(screen.manager.writeArchive(path));
    }
    Screen restarted;
    StudyPaneRegionContentItemDescriptor::registerArchiveReaders();
    ASSERT_TRUE(restarted.manager.readArchive(path));
    Layout* layout = restarted.manager.currentLayout();
    ASSERT_NE(layout, nullptr);
    LayoutRegionContents* contents =
        layout->contentsAt(layout->firstRegionIndexWithKind(LayoutRegionContents::kStudyKind));
    ASSERT_NE(contents, nullptr);
    auto controller = StudyPaneViewController::factory(restarted.environment());
    StudyPaneViewController* pane = controller.get();
    contents->setViewController(std::move(controller));
    pane->paneView();
    ASSERT_NE(pane->state(), nullptr);
    EXPECT_EQ(pane->state()->selectedTabID, 9);
    EXPECT_EQ(pane->subpaneViewController(), pane->subpane(StudyPaneViewController::kNavigatorSubpane));
    EXPECT_EQ(pane->tabs().order(), (QList<qint64> {9, 6, 1, 2, 3, 4, 5, 7, 8}));
    EXPECT_EQ(pane->paneView()->rowOrder(), pane->tabs().order());
    EXPECT_EQ(pane->manualStudyPaneWidth(), 312.5);
    EXPECT_EQ(pane->recentGoToVerseKeys(), QList<quint32> {0x2B031000u});
    EXPECT_EQ(pane->state()->bookmarkPaneSourceTupleID, SourceTupleID(1, 101, 1, 1));
    EXPECT_EQ(pane->state()->noteViewPaneJournalTitle, QStringLiteral("Sermon notes"));
}

TEST(StudyPaneView, NarrowPanesKeepTheLeftButtonsAndAMoreButton)
{
    Screen screen;
    StudyPaneViewController* pane = screen.install(screen.environment());
    StudyPaneView* view = pane->paneView();
    view->show();
    view->resize(2000, 600);
    for (const StudyPaneTabs::Tab& tab : StudyPaneTabs::all())
        EXPECT_FALSE(view->button(tab.id)->isHidden()) << tab.id;
    EXPECT_TRUE(view->moreMenuButton()->isHidden());
    EXPECT_TRUE(StudyPaneTabs::moreMenuEntries(pane->paneView()).isEmpty());

    // Just wide enough for the first four buttons: the fourth gives its place to the more button.
    const QRect fourth = tabButton(view, "highlightsButton")->geometry();
    view->resize(fourth.right() + 2 + StudyPaneView::kBoxWidth, 600);
    EXPECT_FALSE(tabButton(view, "goToButton")->isHidden());
    EXPECT_FALSE(tabButton(view, "findButton")->isHidden());
    EXPECT_FALSE(tabButton(view, "bookmarkButton")->isHidden());
    EXPECT_TRUE(tabButton(view, "highlightsButton")->isHidden());
    EXPECT_TRUE(tabButton(view, "navigatorButton")->isHidden());
    EXPECT_FALSE(view->moreMenuButton()->isHidden());
    EXPECT_EQ(view->moreMenuButton()->geometry(), fourth);
    const auto entries = StudyPaneTabs::moreMenuEntries(pane->paneView());
    ASSERT_EQ(entries.size(), 6);
    EXPECT_EQ(entries.front().first, QStringLiteral("Highlights"));
    EXPECT_EQ(entries.back(), qMakePair(QStringLiteral("Navigator"), qint64(9)));
    // The selected tab's button is drawn pressed; when it is hidden, the more button is instead.
    EXPECT_TRUE(tabButton(view, "findButton")->isDown());
    EXPECT_FALSE(view->moreMenuButton()->isDown());
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kNavigatorSubpane);
    EXPECT_FALSE(tabButton(view, "findButton")->isDown());
    EXPECT_TRUE(view->moreMenuButton()->isDown());
    view->resize(2000, 600);
    EXPECT_TRUE(tabButton(view, "navigatorButton")->isDown());
    EXPECT_FALSE(view->moreMenuButton()->isDown());
    view->resize(fourth.right() + 2 + StudyPaneView::kBoxWidth, 600);
    // The contents sit below the button row, left of the box.
    EXPECT_EQ(shownContents(view)->geometry(),
        QRect(0, StudyPaneView::kButtonRowHeight, view->width() - StudyPaneView::kBoxWidth,
            view->height() - StudyPaneView::kButtonRowHeight));
}

TEST(StudyPaneView, EveryRowOfTheTabTableIsAButtonAndAMenuEntry)
{
    Screen screen;
    StudyPaneViewController* pane = screen.install(screen.environment());
    StudyPaneView* view = pane->paneView();
    view->show();
    // Room for the first button only: every other tab is reached through the more menu.
    view->resize(tabButton(view, "findButton")->geometry().right() + 2 + StudyPaneView::kBoxWidth, 600);
    const auto entries = StudyPaneTabs::moreMenuEntries(view);
    const auto tabs = StudyPaneTabs::all();
    ASSERT_EQ(size_t(entries.size()), tabs.size() - 1);
    for (size_t i = 0; i < tabs.size(); ++i) {
        const StudyPaneTabs::Tab& tab = tabs[i];
        QToolButton* b = tabButton(view, tab.buttonName);
        ASSERT_NE(b, nullptr) << tab.buttonName;
        EXPECT_EQ(b, view->button(tab.id));
        EXPECT_EQ(b->text(), QString::fromUtf8(tab.label));
        EXPECT_EQ(b->toolTip(), ContentTextDocument::plainToolTip(QString::fromUtf8(tab.tooltip)));
        if (i > 0) {
            EXPECT_EQ(entries[qsizetype(i - 1)], qMakePair(QString::fromUtf8(tab.menuTitle), tab.id));
        }
    }
    // What stored layouts, styles and scripts rely on: each tab's identifier, label, button and title.
    QStringList shown;
    for (const StudyPaneTabs::Tab& tab : tabs)
        shown << QStringLiteral("%1 %2 %3 %4").arg(tab.id).arg(tab.label, tab.buttonName, tab.menuTitle);
    EXPECT_EQ(shown,
        (QStringList {QStringLiteral("6 GoTo goToButton Go To..."),
            QStringLiteral("1 Find findButton Search Active Bible/Book"),
            QStringLiteral("2 B'marks bookmarkButton Bookmarks"),
            QStringLiteral("3 H'lites highlightsButton Highlights"),
            QStringLiteral("4 Notes noteViewEditButton View/Edit Notes"),
            QStringLiteral("5 FindNote notesListButton Bible/Book Notes"),
            QStringLiteral("7 Journal journalButton Journal Notes"),
            QStringLiteral("8 Library libraryButton Library Search"),
            QStringLiteral("9 Navigator navigatorButton Navigator")}));
    // Choosing an entry of the menu selects its tab.
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        menu->setActiveAction(menu->actions().back());
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::mouseClick(view->moreMenuButton(), Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return pane->state()->selectedTabID == 9; }));
}

TEST(StudyPaneView, ClicksOnTheBoxCycleWidthsAndDragsResize)
{
    Screen screen;
    StudyPaneViewController* pane = screen.install(screen.environment());
    StudyPaneView* view = pane->paneView();
    view->show();
    view->resize(290, 600);
    int will = 0, did = 0;
    screen.center.addObserver(&will, PaneNotifications::LayoutWillResizePanesNotification, [&](Notification& n) {
        ++will;
        EXPECT_EQ(n.userInfo.value(QStringLiteral("layoutUuid")).toString(), screen.layout->uuidString());
    });
    screen.center.addObserver(&did, PaneNotifications::LayoutDidResizePanesNotification, [&](Notification&) { ++did; });
    QFrame* box = view->expandContractBox();
    auto click = [&] { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(3, 300)); };

    // Dragging the box to 400 sets the width and remembers it.
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(3, 300));
    EXPECT_EQ(view->dragging(), 1);
    QMouseEvent move(QEvent::MouseMove, QPointF(113, 300), box->mapToGlobal(QPointF(113, 300)), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &move);
    EXPECT_EQ(view->dragging(), 2);
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(113, 300));
    EXPECT_EQ(view->dragging(), 0);
    EXPECT_DOUBLE_EQ(screen.host.width, 400);
    EXPECT_DOUBLE_EQ(pane->manualStudyPaneWidth(), 400);
    EXPECT_EQ(will, 1);
    EXPECT_EQ(did, 1);

    // At 290 with 400 remembered: collapse, 400, 290, collapse.
    screen.host.width = 290;
    click();
    EXPECT_DOUBLE_EQ(screen.host.width, 6);
    click();
    EXPECT_DOUBLE_EQ(screen.host.width, 400);
    click();
    EXPECT_DOUBLE_EQ(screen.host.width, 290);
    click();
    EXPECT_DOUBLE_EQ(screen.host.width, 6);
    EXPECT_EQ(will, 5);
    EXPECT_EQ(did, 5);

    // A drag under the smallest width changes nothing but is still a drag (no toggle on release).
    screen.host.width = 290;
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(3, 300));
    QMouseEvent tooFar(QEvent::MouseMove, QPointF(-400, 300), box->mapToGlobal(QPointF(-400, 300)), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &tooFar);
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(-400, 300));
    EXPECT_DOUBLE_EQ(screen.host.width, 290);
    EXPECT_DOUBLE_EQ(pane->manualStudyPaneWidth(), 400);
}

TEST(StudyPaneView, ACollapsedPaneWithNoWidthToReturnToOpensAtTheDefaultWidth)
{
    Screen screen;
    StudyPaneViewController* pane = screen.install(screen.environment());
    pane->paneView()->show();
    pane->paneView()->resize(290, 600);
    screen.host.width = 6;
    ASSERT_EQ(pane->manualStudyPaneWidth(), 0);
    QTest::mouseClick(pane->paneView()->expandContractBox(), Qt::LeftButton, {}, QPoint(3, 300));
    EXPECT_DOUBLE_EQ(screen.host.width, 290);
}

TEST(StudyPaneViewController, TheLayoutViewFindsItAsItsStudyPane)
{
    Screen screen;
    StudyPaneViewController* pane = screen.install(screen.environment());
    LayoutStudyPane* asPane = asStudyPane(screen.studyContents->viewController());
    ASSERT_EQ(asPane, static_cast<LayoutStudyPane*>(pane));
    EXPECT_EQ(asBookPane(screen.studyContents->viewController()), nullptr);
    EXPECT_EQ(asPane->paneView(), pane->paneView());
    asPane->makeSubpaneCurrent(StudyPaneSubpaneSlots::kNavigatorSubpane);
    EXPECT_EQ(pane->state()->selectedTabID, 9);
    asPane->hidePaneContents();
    EXPECT_EQ(shownContents(pane->paneView()), nullptr);
    asPane->showHiddenPaneContents();
    EXPECT_EQ(shownContents(pane->paneView()), pane->subpane(StudyPaneViewController::kNavigatorSubpane)->view());
    EXPECT_EQ(asPane->searchResultsAggregatorForTuple(SourceTupleID(1, 101, 1, 1)), nullptr);
}

TEST(StudyPaneViewController, RegisteredSubpanesGetTheirTabsSwitchingCallsAndTheExit)
{
    FakeSubpanes fakes {{StudyPaneViewController::kBookmarksSubpane, QStringLiteral("bookmarks")},
        {StudyPaneViewController::kHighlightsSubpane, QStringLiteral("highlights")},
        {StudyPaneViewController::kJournalListSubpane, QStringLiteral("journal")}};
    Screen screen;
    StudyPaneViewController* pane = screen.install(fakes.in(screen.environment()));
    StudyPaneView* view = pane->paneView();
    EXPECT_TRUE(tabButton(view, "bookmarkButton")->isEnabled());
    EXPECT_TRUE(tabButton(view, "highlightsButton")->isEnabled());
    EXPECT_TRUE(tabButton(view, "journalButton")->isEnabled());
    EXPECT_TRUE(tabButton(view, "noteViewEditButton")->isEnabled());  // built in
    EXPECT_FALSE(tabButton(view, "goToButton")->isEnabled());

    auto* bookmarks = dynamic_cast<FakeSubpane*>(pane->subpane(StudyPaneViewController::kBookmarksSubpane));
    ASSERT_NE(bookmarks, nullptr);
    EXPECT_EQ(bookmarks->host(), static_cast<StudyPaneViewController*>(pane));
    fakes.log.clear();
    QTest::mouseClick(tabButton(view, "bookmarkButton"), Qt::LeftButton);
    EXPECT_EQ(pane->state()->selectedTabID, 2);
    EXPECT_EQ(shownContents(view), bookmarks->view());
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kHighlightsSubpane);
    pane->makeSubpaneTabCurrent(
        StudyPaneSubpaneSlots::kHighlightsSubpane);  // shown again: activated again, nothing replaced
    EXPECT_EQ(fakes.log,
        (QStringList {QStringLiteral("bookmarks did activate"), QStringLiteral("bookmarks will change"),
            QStringLiteral("highlights did activate"), QStringLiteral("highlights did activate")}));

    // The exit reaches every sub-pane in the order they were made: bookmarks after highlights.
    fakes.log.clear();
    pane->willBeRemovedFromLayoutManager();
    EXPECT_EQ(fakes.log,
        (QStringList {
            QStringLiteral("highlights exit"), QStringLiteral("bookmarks exit"), QStringLiteral("journal exit")}));
}

TEST(StudyPaneViewController, ASubpaneReachesThePaneThroughItsHostAndItsSignals)
{
    FakeSubpanes fakes {{StudyPaneViewController::kBookmarksSubpane, QStringLiteral("bookmarks")},
        {StudyPaneViewController::kHighlightsSubpane, QStringLiteral("highlights")}};
    Screen screen;
    StudyPaneViewController* pane = screen.install(fakes.in(screen.environment()));
    StudyPaneView* view = pane->paneView();
    auto* highlights = dynamic_cast<FakeSubpane*>(pane->subpane(StudyPaneViewController::kHighlightsSubpane));
    ASSERT_NE(highlights, nullptr);
    StudyPaneViewController* host = highlights->host();
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->state(), pane->state());
    EXPECT_EQ(host->layoutUuid(), pane->layoutUuid());

    // Asking to be shown selects the sub-pane's own tab and shows its view.
    EXPECT_EQ(pane->state()->selectedTabID, 1);
    emit highlights->showRequested();
    EXPECT_EQ(pane->state()->selectedTabID, 3);
    EXPECT_EQ(shownContents(view), highlights->view());
    EXPECT_EQ(shownContents(view)->objectName(), QStringLiteral("highlights"));

    // A visited verse goes on the pane's recent stack, newest first.
    emit highlights->recentVerseVisited(0x01010100, QString());
    emit highlights->recentVerseVisited(0x02010100, QString());
    EXPECT_EQ(pane->recentGoToVerseKeys(), (QList<quint32> {0x02010100, 0x01010100}));
}

TEST(StudyPaneSubpane, TheViewIsMadeOnceAndGoesWithItsSubpaneUnlessQtDeletedItFirst)
{
    ensureApplication();
    QStringList log;
    QPointer<QWidget> first;
    {
        FakeSubpane alone(StudyPaneEnvironment {}, nullptr, QStringLiteral("alone"), &log);
        EXPECT_EQ(alone.loads, 0);
        first = alone.view();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(alone.view(), first.data());
        EXPECT_EQ(alone.loads, 1);
        EXPECT_EQ(alone.host(), nullptr);
    }
    EXPECT_TRUE(first.isNull());

    // A view that its parent widget deleted is made again on the next call, and the sub-pane's end
    // does not delete it twice.
    FakeSubpane held(StudyPaneEnvironment {}, nullptr, QStringLiteral("held"), &log);
    {
        QWidget parent;
        held.view()->setParent(&parent);
    }
    EXPECT_EQ(held.loads, 1);
    EXPECT_NE(held.view(), nullptr);
    EXPECT_EQ(held.loads, 2);
}

TEST(StudyPaneViewController, TheNotesResultsComeFromTheJournalListForTheJournalOnly)
{
    class Lists : public FakeSubpane {
    public:
        using FakeSubpane::FakeSubpane;
        SearchResultsAggregator* searchResultsAggregatorForTuple(const SourceTupleID&) override
        {
            return reinterpret_cast<SearchResultsAggregator*>(this);  // compared only, never used
        }
    };
    QStringList log;
    {
        Screen screen;
        StudyPaneEnvironment env = screen.environment();
        env.subpaneFactories[StudyPaneViewController::kNotesListSubpane] =
            [&log](
                const StudyPaneEnvironment& env, StudyPaneViewController* host) -> std::unique_ptr<StudyPaneSubpane> {
            return std::make_unique<Lists>(env, host, QStringLiteral("notes"), &log);
        };
        env.subpaneFactories[StudyPaneViewController::kJournalListSubpane] =
            [&log](
                const StudyPaneEnvironment& env, StudyPaneViewController* host) -> std::unique_ptr<StudyPaneSubpane> {
            return std::make_unique<Lists>(env, host, QStringLiteral("journal"), &log);
        };
        StudyPaneViewController* pane = screen.install(env);
        auto* notes = pane->subpane(StudyPaneViewController::kNotesListSubpane);
        auto* journal = pane->subpane(StudyPaneViewController::kJournalListSubpane);
        EXPECT_EQ(static_cast<void*>(pane->notesSearchResultsAggregatorForTupleID(SourceTupleID(24326, 15184, 1, 1))),
            static_cast<void*>(dynamic_cast<Lists*>(journal)));
        EXPECT_EQ(static_cast<void*>(pane->notesSearchResultsAggregatorForTupleID(SourceTupleID(1, 101, 1, 1))),
            static_cast<void*>(dynamic_cast<Lists*>(notes)));
    }
    Screen plain;
    StudyPaneViewController* pane = plain.install(plain.environment());
    // The built-in lists again, which hold no results before a search.
    EXPECT_NE(
        dynamic_cast<StudyPaneNotesListViewController*>(pane->subpane(StudyPaneViewController::kNotesListSubpane)),
        nullptr);
    EXPECT_NE(
        dynamic_cast<StudyPaneNotesListViewController*>(pane->subpane(StudyPaneViewController::kJournalListSubpane)),
        nullptr);
    EXPECT_EQ(pane->notesSearchResultsAggregatorForTupleID(SourceTupleID(1, 101, 1, 1)), nullptr);
}

TEST(StudyPaneViewController, InALayoutViewItsWidthIsTheStudyRegionsAndItsBoxAndTabsChangeIt)
{
    // A real layout view whose study region gets the study pane; the pane finds the view itself.
    class Factory : public LayoutPaneFactory {
    public:
        StudyPaneEnvironment env;
        StudyPaneViewController* made = nullptr;
        std::unique_ptr<LayoutRegionContentsViewControllerProtocol> makeBookPane(LayoutRegionContents&) override
        {
            return nullptr;
        }
        std::unique_ptr<LayoutRegionContentsViewControllerProtocol> makeStudyPane(LayoutRegionContents&) override
        {
            auto pane = StudyPaneViewController::factory(env);
            made = pane.get();
            return pane;
        }
    };
    Screen screen;
    Factory factory;
    factory.env = screen.environment();
    factory.env.layoutHost = nullptr;
    LayoutView layoutView(screen.manager, screen.center, *screen.defaults);
    layoutView.setPaneFactory(&factory);
    layoutView.resize(1000, 700);
    layoutView.show();
    Layout* layout =
        screen.manager.addLayoutWithDescriptor(QStringLiteral("H1"), LayoutRect {0, 0, 1000, 700}, QString());
    LayoutRegion* region =
        layout->addRegionWithDimension(290, LayoutRegion::Left, LayoutRegionContents::kStudyKind, true);
    region->setMinSize(LayoutSize {6, region->minSize().height});
    layoutView.setCurrentLayout(layout);
    StudyPaneViewController* pane = factory.made;
    ASSERT_NE(pane, nullptr);
    ASSERT_NE(pane->layoutHost(), nullptr);
    EXPECT_DOUBLE_EQ(pane->layoutHost()->studyPaneWidth(), 290);
    EXPECT_TRUE(pane->layoutHost()->isStudyPaneVisible());
    StudyPaneView* view = pane->paneView();
    ASSERT_NE(shownContents(view), nullptr);

    // A click on the box collapses the region, and the layout view takes the contents away.
    QFrame* box = view->expandContractBox();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(3, 300));
    EXPECT_DOUBLE_EQ(layoutView.studyPaneWidth(), 6);
    EXPECT_EQ(view->width(), 6);
    EXPECT_EQ(shownContents(view), nullptr);

    // Choosing a tab opens it again at the default width, with its contents.
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kNavigatorSubpane);
    EXPECT_DOUBLE_EQ(layoutView.studyPaneWidth(), 290);
    EXPECT_EQ(shownContents(view), pane->subpane(StudyPaneViewController::kNavigatorSubpane)->view());

    // A drag of the box to 400: the region follows and the width is remembered in the state.
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(3, 300));
    const QPointF to(113, 300);  // in the box: its right edge 110 points further right
    QMouseEvent move(QEvent::MouseMove, to, box->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &move);
    QTest::mouseRelease(box, Qt::LeftButton, {}, to.toPoint());
    EXPECT_NEAR(layoutView.studyPaneWidth(), 400, 1);
    EXPECT_NEAR(pane->manualStudyPaneWidth(), 400, 1);

    // Outside a layout view there is nothing to resize.
    layoutView.setPaneFactory(nullptr);
    view->setParent(nullptr);
    EXPECT_EQ(pane->layoutHost(), nullptr);
    view->setParent(&layoutView);
}

TEST(StudyPaneEnvironment, AskingPromptingAndDialogsGoThroughTheEnvironmentAndDeclineWithoutIt)
{
    ensureApplication();
    Alert question;
    question.messageText = QStringLiteral("Delete?");
    question.buttons = {QStringLiteral("Delete"), QStringLiteral("Cancel")};

    // Without alerts nothing is shown and no button is chosen, so nothing is confirmed.
    StudyPaneEnvironment bare;
    EXPECT_EQ(bare.ask(question), 0);
    EXPECT_NE(bare.ask(question), AlertFirstButtonReturn);

    RecordingAlerts alerts;
    alerts.queueAnswer(AlertSecondButtonReturn);
    StudyPaneEnvironment env;
    env.alerts = &alerts;
    EXPECT_EQ(env.ask(question), AlertSecondButtonReturn);
    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_EQ(alerts.shown().first().messageText, QStringLiteral("Delete?"));

    QStringList toasts;
    QList<QVariantMap> asked;
    env.toast = [&toasts](const QString& m) { toasts << m; };
    env.textPrompt = [&asked](const QVariantMap& options) -> std::optional<QString> {
        asked << options;
        return QStringLiteral("Faith");
    };
    env.showToast(QStringLiteral("Verse not found (x)."));
    EXPECT_EQ(toasts, QStringList {QStringLiteral("Verse not found (x).")});
    EXPECT_EQ(env.promptForText({{QStringLiteral("title"), QStringLiteral("New")}}), QStringLiteral("Faith"));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked.first().value(QStringLiteral("title")).toString(), QStringLiteral("New"));

    QDialog dialog;
    env.runDialog = [](QDialog& d) {
        d.setResult(QDialog::Accepted);
        return d.result();
    };
    EXPECT_EQ(env.runModal(dialog), int(QDialog::Accepted));
}

TEST(EditFormatRegistry, OnlyTheRegisteredDelegateCanUnregisterItself)
{
    struct Delegate : EditFormatDelegate {
        bool canBold() const override { return true; }
        bool canItalic() const override { return true; }
        bool canUnderline() const override { return true; }
        bool canOrderedList() const override { return true; }
        bool canUnorderedList() const override { return true; }
        bool canParagraph() const override { return true; }
        bool canHeading1() const override { return true; }
        bool canHeading2() const override { return true; }
        bool canHeading3() const override { return true; }
        void applyBold() override { }
        void applyItalic() override { }
        void applyUnderline() override { }
        void applyOrderedList() override { }
        void applyUnorderedList() override { }
        void applyParagraph() override { }
        void applyHeading1() override { }
        void applyHeading2() override { }
        void applyHeading3() override { }
    } first, second;
    EditFormatRegistry window, other;
    EXPECT_EQ(window.current(), nullptr);
    window.setCurrent(&first);
    other.setCurrent(&second);
    window.clear(&second);  // not the registered one: nothing changes
    EXPECT_EQ(window.current(), &first);
    EXPECT_EQ(other.current(), &second);  // each window has its own
    window.clear(&first);
    EXPECT_EQ(window.current(), nullptr);
}

// The study pane controller and its view without books: the first configuration of a new study
// region, stored tab orders and tabs, showing a tab again, the recent-verses stack and its
// notification, the state surviving a restart through the layout archive, the button row and the
// edge box's clicks and drags.

#include <gtest/gtest.h>

#include "StudyPaneTestSupport.h"
#include "library/GoToRequest.h"
#include "panes/layout/LayoutRegionContentItem.h"
#include "studypane/StudyPaneNavigatorViewController.h"
#include "studypane/StudyPaneRegionContentItemDescriptor.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneSearchResultsViewController.h"
#include "studypane/StudyPaneView.h"

#include <QFrame>
#include <QTest>
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
    EXPECT_EQ(pane->tabOrder(), allNine());
    // The order stored in the state is not rewritten by the set-up.
    EXPECT_EQ(pane->state()->tabIDOrder, StudyPaneRegionContentItemState::arrayWithDefaultTabIDOrder());
    EXPECT_EQ(pane->subpaneViewController(), pane->studyPaneSearchResultsViewController());
    EXPECT_EQ(pane->paneView()->paneContents(), pane->studyPaneSearchResultsViewController()->view());
    EXPECT_EQ(pane->layoutUuid(), screen.layout->uuidString());
    // Only the built tools can be chosen.
    EXPECT_TRUE(pane->paneView()->button(StudyPaneView::Find)->isEnabled());
    EXPECT_TRUE(pane->paneView()->button(StudyPaneView::Navigator)->isEnabled());
    EXPECT_FALSE(pane->paneView()->button(StudyPaneView::Bookmark)->isEnabled());
    EXPECT_FALSE(pane->paneView()->button(StudyPaneView::GoTo)->isEnabled());
    pane->makeBookmarksPaneCurrent();
    EXPECT_EQ(pane->state()->selectedTabID, 1);
    EXPECT_EQ(pane->subpaneViewController(), pane->studyPaneSearchResultsViewController());
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
        EXPECT_EQ(pane->tabOrder(), (QList<qint64> {9, 8, 7, 6, 5, 4, 3, 2, 1}));
        EXPECT_EQ(pane->subpaneViewController(), pane->studyPaneNavigatorViewController());
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
        EXPECT_EQ(pane->tabOrder(), (QList<qint64> {2, 1, 3, 7, 8, 9}));
        EXPECT_EQ(pane->state()->selectedTabID, 1);
        EXPECT_EQ(pane->subpaneViewController(), pane->studyPaneSearchResultsViewController());
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
    pane->makeNavigatorPaneCurrent();
    EXPECT_EQ(pane->state()->selectedTabID, 9);
    EXPECT_EQ(pane->paneView()->paneContents(), pane->studyPaneNavigatorViewController()->view());
    // A click on the Find button.
    QTest::mouseClick(pane->paneView()->button(StudyPaneView::Find), Qt::LeftButton);
    EXPECT_EQ(pane->state()->selectedTabID, 1);
    EXPECT_EQ(pane->paneView()->paneContents(), pane->studyPaneSearchResultsViewController()->view());

    // Too narrow: the contents go; wide again: they come back.
    pane->hidePaneContents();
    EXPECT_EQ(pane->subpaneViewController(), nullptr);
    EXPECT_EQ(pane->paneView()->paneContents(), nullptr);
    pane->showHiddenPaneContents();
    EXPECT_EQ(pane->paneView()->paneContents(), pane->studyPaneSearchResultsViewController()->view());

    // The selected tab made current again on a collapsed pane expands it.
    screen.host.width = 6;
    pane->makeFindPaneCurrent();
    EXPECT_EQ(screen.host.width, 290);
    EXPECT_EQ(screen.host.showCalls, 1);
    pane->makeFindPaneCurrent();
    EXPECT_EQ(screen.host.showCalls, 1);  // visible: nothing to expand
}

TEST(StudyPaneViewController, MovingATabStoresTheOrderAndSavesAtOnce)
{
    Screen screen;
    int saves = 0;
    StudyPaneEnvironment env = screen.environment();
    env.saveState = [&saves] { ++saves; };
    StudyPaneViewController* pane = screen.install(env);
    pane->moveTab(9, 0);
    EXPECT_EQ(pane->state()->tabIDOrder, (QList<qint64> {9, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(saves, 1);
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
    screen.center.postNotificationName(GoToNames::PushKeyOnRecentStackNotification, nullptr,
        {{QStringLiteral("layoutUuid"), QStringLiteral("another layout")}, {QStringLiteral("key"), 0x2B031000u},
            {QStringLiteral("abbr"), QString()}});
    EXPECT_NE(pane->recentGoToVerseKeys().front(), 0x2B031000u);
    screen.center.postNotificationName(GoToNames::PushKeyOnRecentStackNotification, nullptr,
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
    pane->setBookmarkPaneSelectedCatID(3);
    pane->pushKeyOnRecentStack(0x01010100u, QString());
    EXPECT_EQ(pane->manualStudyPaneWidth(), 0);
    EXPECT_EQ(pane->bookmarkPaneSelectedCatID(), 0);
    EXPECT_TRUE(pane->recentGoToVerseKeys().isEmpty());
    EXPECT_EQ(pane->subpaneViewController(), nullptr);  // no state, no tab shown
}

TEST(StudyPaneViewController, TheStateSurvivesARestartThroughTheLayoutArchive)
{
    const QString path = home().filePath(QStringLiteral("layout archive.plist"));
    {
        Screen screen;
        StudyPaneViewController* pane = screen.install(screen.environment());
        pane->makeNavigatorPaneCurrent();
        pane->moveTab(9, 0);
        pane->setManualStudyPaneWidth(312.5);
        pane->pushKeyOnRecentStack(0x2B031000u, QString());
        pane->setBookmarkPaneSourceTupleID(SourceTupleID(1, 101, 1, 1));
        pane->setNoteViewPaneJournalTitle(QStringLiteral("Sermon notes"));
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
    EXPECT_EQ(pane->subpaneViewController(), pane->studyPaneNavigatorViewController());
    EXPECT_EQ(pane->tabOrder(), (QList<qint64> {9, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(pane->manualStudyPaneWidth(), 312.5);
    EXPECT_EQ(pane->recentGoToVerseKeys(), QList<quint32> {0x2B031000u});
    EXPECT_EQ(pane->bookmarkPaneSourceTupleID(), SourceTupleID(1, 101, 1, 1));
    EXPECT_EQ(pane->noteViewPaneJournalTitle(), QStringLiteral("Sermon notes"));
}

TEST(StudyPaneView, NarrowPanesKeepTheLeftButtonsAndAMoreButton)
{
    Screen screen;
    StudyPaneViewController* pane = screen.install(screen.environment());
    StudyPaneView* view = pane->paneView();
    view->show();
    view->resize(2000, 600);
    for (int b = 0; b < StudyPaneView::kButtonCount; ++b)
        EXPECT_FALSE(view->button(StudyPaneView::Button(b))->isHidden()) << b;
    EXPECT_TRUE(view->moreMenuButton()->isHidden());
    EXPECT_TRUE(pane->moreMenuEntries().isEmpty());

    // Just wide enough for the first four buttons: the fourth gives its place to the more button.
    const QRect fourth = view->button(StudyPaneView::Highlights)->geometry();
    view->resize(fourth.right() + 2 + StudyPaneView::kBoxWidth, 600);
    EXPECT_FALSE(view->button(StudyPaneView::GoTo)->isHidden());
    EXPECT_FALSE(view->button(StudyPaneView::Find)->isHidden());
    EXPECT_FALSE(view->button(StudyPaneView::Bookmark)->isHidden());
    EXPECT_TRUE(view->button(StudyPaneView::Highlights)->isHidden());
    EXPECT_TRUE(view->button(StudyPaneView::Navigator)->isHidden());
    EXPECT_FALSE(view->moreMenuButton()->isHidden());
    EXPECT_EQ(view->moreMenuButton()->geometry(), fourth);
    const auto entries = pane->moreMenuEntries();
    ASSERT_EQ(entries.size(), 6);
    EXPECT_EQ(entries.front().first, QStringLiteral("Highlights"));
    EXPECT_EQ(entries.back(), qMakePair(QStringLiteral("Navigator"), qint64(9)));
    // The contents sit below the button row, left of the box.
    EXPECT_EQ(view->paneContents()->geometry(),
        QRect(0, StudyPaneView::kButtonRowHeight, view->width() - StudyPaneView::kBoxWidth,
            view->height() - StudyPaneView::kButtonRowHeight));
}

TEST(StudyPaneView, ClicksOnTheBoxCycleWidthsAndDragsResize)
{
    Screen screen;
    StudyPaneViewController* pane = screen.install(screen.environment());
    StudyPaneView* view = pane->paneView();
    view->show();
    view->resize(290, 600);
    int will = 0, did = 0;
    screen.center.addObserver(&will, QStringLiteral("LayoutWillResizePanesNotification"), [&](Notification& n) {
        ++will;
        EXPECT_EQ(n.userInfo.value(QStringLiteral("layoutUuid")).toString(), screen.layout->uuidString());
    });
    screen.center.addObserver(&did, QStringLiteral("LayoutDidResizePanesNotification"), [&](Notification&) { ++did; });
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
    asPane->makeNavigatorPaneCurrent();
    EXPECT_EQ(pane->state()->selectedTabID, 9);
    asPane->hidePaneContents();
    EXPECT_EQ(pane->paneView()->paneContents(), nullptr);
    asPane->showHiddenPaneContents();
    EXPECT_EQ(pane->paneView()->paneContents(), pane->studyPaneNavigatorViewController()->view());
    EXPECT_EQ(asPane->searchResultsAggregatorForTuple(SourceTupleID(1, 101, 1, 1)), nullptr);
}

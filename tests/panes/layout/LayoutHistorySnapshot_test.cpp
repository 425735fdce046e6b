#include "panes/layout/LayoutHistorySnapshot.h"

#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItem.h"
#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/layout/LayoutRegionContentItemState.h"
#include "panes/layout/LayoutRegionContentsState.h"
#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

namespace {

const LayoutRect kWindow {0, 0, 1200, 800};

Layout* addStudyLayout(LayoutManager& manager)
{
    Layout* layout = manager.addLayoutWithDescriptor(QStringLiteral("V2"), kWindow, QString());
    LayoutRegion* study = layout->addRegionWithDimension(290, LayoutRegion::Left, QStringLiteral("study"), true);
    study->setMinSize({6, study->minSize().height});
    return layout;
}

LayoutRegion* studyRegion(const Layout& layout)
{
    return layout.regionAt(static_cast<size_t>(layout.firstRegionIndexWithKind(LayoutRegionContents::kStudyKind)));
}

LayoutRegionContents* studyContents(const Layout& layout)
{
    return layout.contentsAt(static_cast<size_t>(layout.firstRegionIndexWithKind(LayoutRegionContents::kStudyKind)));
}

TEST(LayoutHistorySnapshot, StudyPaneKeepsItsWidthAndContentsWhileBookPanesGoBack)
{
    NotificationCenter center;
    LayoutManager manager {center};
    Layout* shown = addStudyLayout(manager);
    const QString uuid = shown->uuidString();
    const quint64 regionsRecorded = shown->regions().size();
    const QVariant recorded = shown->encode();

    // Since then: a book pane was split and the study pane widened to 350 points.
    shown->splitRegion(0, false, true, 0.5, QString());
    LayoutRegion* study = studyRegion(*shown);
    study->right()->setAt(study->left()->at() + 350);
    LayoutRegionContents* liveStudy = studyContents(*shown);
    liveStudy->setCurrentItemIndex(7);

    Layout* restored = LayoutHistorySnapshot::restore(manager, uuid, recorded);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(manager.layoutWithUuid(uuid), restored);
    EXPECT_EQ(manager.currentLayout(), restored);
    EXPECT_EQ(restored->regions().size(), regionsRecorded);
    EXPECT_DOUBLE_EQ(studyRegion(*restored)->bounds().width, 350);
    EXPECT_DOUBLE_EQ(studyRegion(*restored)->bounds().x, 0);
    EXPECT_EQ(studyContents(*restored), liveStudy);
    EXPECT_EQ(studyContents(*restored)->currentItemIndex(), 7u);
}

TEST(LayoutHistorySnapshot, TheLayoutKeepsTheNameItHasNow)
{
    NotificationCenter center;
    LayoutManager manager {center};
    Layout* shown = addStudyLayout(manager);
    shown->setName(QString());  // recorded before it had a name
    const QVariant unnamed = shown->encode();
    shown->setName(QStringLiteral("Old name"));
    const QVariant named = shown->encode();
    shown->setName(QStringLiteral("Psalms \u2014 morning"));
    for (const QVariant& recorded : {unnamed, named}) {
        Layout* restored = LayoutHistorySnapshot::restore(manager, manager.currentLayout()->uuidString(), recorded);
        ASSERT_NE(restored, nullptr);
        EXPECT_EQ(restored->name(), QStringLiteral("Psalms \u2014 morning"));
    }
}

TEST(LayoutHistorySnapshot, LocationSyncSwitchesStayAsTheyAreNowWhileThePlacesGoBack)
{
    NotificationCenter center;
    LayoutManager manager {center};
    Layout* shown = addStudyLayout(manager);
    auto tab = [](qint64 book, quint64 section) {
        auto state = std::make_unique<LayoutRegionContentItemState>();
        state->setSection(section);
        return std::make_unique<LayoutRegionContentItem>(
            std::make_unique<LayoutRegionContentItemDescriptor>(SourceTupleID(1, book, 1, 1), QString(), QString()),
            std::move(state));
    };
    LayoutRegionContents* pane = shown->contentsAt(0);
    pane->setState(std::make_unique<LayoutRegionContentsState>());
    pane->items().push_back(tab(101, 5));
    pane->items().push_back(tab(102, 6));
    const QVariant recorded = shown->encode();

    // Since then the first tab moved on, stopped sending and receiving, and the pane stopped receiving.
    pane->itemAt(0)->bookState()->setSection(900);
    pane->itemAt(0)->bookState()->setDoesNotSendLocationSync(true);
    pane->itemAt(0)->bookState()->setDoesNotReceiveLocationSync(true);
    pane->state()->setPaneDoesNotReceiveLocationSync(true);
    // A tab opened since has no counterpart in the snapshot.
    pane->items().push_back(tab(103, 7));
    pane->itemAt(2)->bookState()->setDoesNotSendLocationSync(true);

    Layout* restored = LayoutHistorySnapshot::restore(manager, shown->uuidString(), recorded);
    ASSERT_NE(restored, nullptr);
    LayoutRegionContents* back = restored->contentsAt(0);
    ASSERT_EQ(back->items().size(), 2u);
    EXPECT_EQ(back->itemAt(0)->bookState()->section(), 5u) << "the place goes back";
    EXPECT_TRUE(back->itemAt(0)->bookState()->doesNotSendLocationSync());
    EXPECT_TRUE(back->itemAt(0)->bookState()->doesNotReceiveLocationSync());
    EXPECT_FALSE(back->itemAt(1)->bookState()->doesNotSendLocationSync());
    EXPECT_TRUE(back->state()->paneDoesNotReceiveLocationSync());
    EXPECT_FALSE(back->state()->paneDoesNotSendLocationSync());
}

TEST(LayoutHistorySnapshot, UnreadableOrForeignSnapshotsChangeNothing)
{
    NotificationCenter center;
    LayoutManager manager {center};
    Layout* shown = addStudyLayout(manager);
    Layout* other = addStudyLayout(manager);
    const QString uuid = shown->uuidString();
    EXPECT_EQ(LayoutHistorySnapshot::restore(manager, uuid, QVariant()), nullptr);
    EXPECT_EQ(LayoutHistorySnapshot::restore(manager, uuid, QVariant(QStringLiteral("junk"))), nullptr);
    EXPECT_EQ(LayoutHistorySnapshot::restore(manager, uuid, other->encode()), nullptr);
    EXPECT_EQ(LayoutHistorySnapshot::restore(manager, QStringLiteral("nobody"), shown->encode()), nullptr);
    EXPECT_EQ(manager.layoutWithUuid(uuid), shown);
    EXPECT_EQ(manager.count(), 2u);
}

TEST(LayoutHistorySnapshot, WithoutAStudyRegionOnEitherSideTheSnapshotIsTakenAsRecorded)
{
    NotificationCenter center;
    LayoutManager manager {center};
    Layout* shown = manager.addLayoutWithDescriptor(QStringLiteral("V11"), kWindow, QString());
    const QString uuid = shown->uuidString();
    const QVariant recorded = shown->encode();
    shown->addRegionWithDimension(290, LayoutRegion::Left, QStringLiteral("study"), true);
    Layout* restored = LayoutHistorySnapshot::restore(manager, uuid, recorded);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->countRegionsWithKind(LayoutRegionContents::kStudyKind), 0u);
    EXPECT_EQ(restored->regions().size(), 2u);
}

}  // namespace

// The study pane's archived state: written and read back whole, through the layout archive by class
// tag and through the file form; older versions get their later fields' defaults; unknown versions
// give an empty state without failing.

#include <gtest/gtest.h>

#include "panes/layout/LayoutRegionContentItem.h"
#include "platform/KeyedArchive.h"
#include "studypane/StudyPaneRegionContentItemDescriptor.h"
#include "studypane/StudyPaneRegionContentItemState.h"

namespace {

StudyPaneRegionContentItemState filled()
{
    StudyPaneRegionContentItemState s;
    s.selectedTabID = 9;
    s.manualStudyPaneWidth = 312.7;
    s.recentGoToVerseKeys = {0x2B031000u, 0x01010100u};
    s.highlightPaneSourceTupleID = SourceTupleID(1, 101, 1, 2);
    s.highlightPaneSelectedColorEnum = 0xABCD;
    s.bookmarkPaneSourceTupleID = SourceTupleID(1, 110, 3, 4);
    s.bookmarkPaneSelectedCatID = 7;
    s.noteViewPaneSourceTupleID = SourceTupleID(24326, 15184, 1, 1);
    s.noteViewPaneSection = 4000000000u;
    s.noteViewPaneBibleKey = 0x2B031000u;
    s.noteViewPaneJournalTitle = QStringLiteral("Prayer list");
    s.tabIDOrder = {9, 1, 2, 3, 4, 5, 6, 7, 8};
    return s;
}

// A stored state of an older version: the version-8 record without the later keys.
QVariant olderVersion(int version)
{
    QVariantMap m = filled().encode().toMap();
    m.insert(QStringLiteral("version"), version);
    if (version < 8)
        m.remove(QStringLiteral("noteViewPaneJournalTitle"));
    if (version < 7)
        m.remove(QStringLiteral("tabIDOrder"));
    if (version < 6) {
        m.remove(QStringLiteral("noteViewPaneSourceTupleID"));
        m.remove(QStringLiteral("noteViewPaneSection"));
        m.remove(QStringLiteral("noteViewPaneBibleKey"));
    }
    return m;
}

}  // namespace

TEST(StudyPaneRegionContentItemState, NewStateHasTheDefaults)
{
    StudyPaneRegionContentItemState s;
    EXPECT_EQ(s.selectedTabID, 0);
    EXPECT_EQ(s.tabIDOrder, (QList<qint64> {1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(s.recentGoToVerseKeys.isEmpty());
    EXPECT_FALSE(s.highlightPaneSourceTupleID.has_value());
    EXPECT_TRUE(s.noteViewPaneJournalTitle.isNull());
}

TEST(StudyPaneRegionContentItemState, RoundTripThroughTheLayoutArchiveFile)
{
    StudyPaneRegionContentItemDescriptor::registerArchiveReaders();
    const StudyPaneRegionContentItemState original = filled();
    LayoutRegionContentItem item(std::make_unique<StudyPaneRegionContentItemDescriptor>(),
        std::make_unique<StudyPaneRegionContentItemState>(original));
    // Through the file form, as the layout archive stores it.
    const QVariant back = KeyedArchive::fromXml(KeyedArchive::toXml(item.encode()));
    ASSERT_TRUE(back.isValid());
    std::unique_ptr<LayoutRegionContentItem> read = LayoutRegionContentItem::decode(back);
    ASSERT_NE(read, nullptr);
    ASSERT_NE(dynamic_cast<StudyPaneRegionContentItemDescriptor*>(read->descriptor()), nullptr);
    auto* s = dynamic_cast<StudyPaneRegionContentItemState*>(read->state());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->selectedTabID, 9);
    EXPECT_EQ(s->manualStudyPaneWidth, double(312.7f));  // kept in single precision
    EXPECT_EQ(s->recentGoToVerseKeys, original.recentGoToVerseKeys);
    EXPECT_EQ(s->highlightPaneSourceTupleID, original.highlightPaneSourceTupleID);
    EXPECT_EQ(s->highlightPaneSelectedColorEnum, 0xABCD);
    EXPECT_EQ(s->bookmarkPaneSourceTupleID, original.bookmarkPaneSourceTupleID);
    EXPECT_EQ(s->bookmarkPaneSelectedCatID, 7);
    EXPECT_EQ(s->noteViewPaneSourceTupleID, original.noteViewPaneSourceTupleID);
    EXPECT_EQ(s->noteViewPaneSection, 4000000000u);
    EXPECT_EQ(s->noteViewPaneBibleKey, 0x2B031000u);
    EXPECT_EQ(s->noteViewPaneJournalTitle, QStringLiteral("Prayer list"));
    EXPECT_EQ(s->tabIDOrder, original.tabIDOrder);
}

TEST(StudyPaneRegionContentItemState, AbsentSelectionsStayAbsent)
{
    StudyPaneRegionContentItemState empty;
    empty.selectedTabID = 1;
    auto s = StudyPaneRegionContentItemState::decode(empty.encode());
    EXPECT_FALSE(s->highlightPaneSourceTupleID.has_value());
    EXPECT_FALSE(s->bookmarkPaneSourceTupleID.has_value());
    EXPECT_FALSE(s->noteViewPaneSourceTupleID.has_value());
    EXPECT_TRUE(s->noteViewPaneJournalTitle.isNull());
}

TEST(StudyPaneRegionContentItemState, OlderVersionsGetTheirLaterFieldsDefaults)
{
    auto v5 = StudyPaneRegionContentItemState::decode(olderVersion(5));
    EXPECT_EQ(v5->selectedTabID, 9);
    EXPECT_EQ(v5->recentGoToVerseKeys.size(), 2);
    EXPECT_EQ(v5->bookmarkPaneSelectedCatID, 7);
    EXPECT_FALSE(v5->noteViewPaneSourceTupleID.has_value());
    EXPECT_EQ(v5->noteViewPaneSection, 0u);
    EXPECT_EQ(v5->noteViewPaneJournalTitle, QStringLiteral(""));
    EXPECT_FALSE(v5->noteViewPaneJournalTitle.isNull());
    EXPECT_EQ(v5->tabIDOrder, StudyPaneRegionContentItemState::arrayWithDefaultTabIDOrder());

    auto v6 = StudyPaneRegionContentItemState::decode(olderVersion(6));
    EXPECT_EQ(v6->noteViewPaneBibleKey, 0x2B031000u);
    EXPECT_EQ(v6->tabIDOrder, StudyPaneRegionContentItemState::arrayWithDefaultTabIDOrder());

    auto v7 = StudyPaneRegionContentItemState::decode(olderVersion(7));
    EXPECT_EQ(v7->tabIDOrder, (QList<qint64> {9, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(v7->noteViewPaneJournalTitle, QStringLiteral(""));
}

TEST(StudyPaneRegionContentItemState, UnknownVersionsReadAsAnEmptyStateWithALogLine)
{
    for (int version : {4, 9}) {
        QString log;
        auto s = StudyPaneRegionContentItemState::decode(olderVersion(version), &log);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(log, QStringLiteral("Unrecognized Study Pane archive version (%1)").arg(version));
        EXPECT_EQ(s->selectedTabID, 0);
        EXPECT_EQ(s->manualStudyPaneWidth, 0);
        EXPECT_TRUE(s->recentGoToVerseKeys.isEmpty());
        EXPECT_EQ(s->tabIDOrder, StudyPaneRegionContentItemState::arrayWithDefaultTabIDOrder());
    }
    // Not an archived record at all.
    QString log;
    auto s = StudyPaneRegionContentItemState::decode(QVariant(QStringLiteral("junk")), &log);
    EXPECT_EQ(s->selectedTabID, 0);
    EXPECT_FALSE(log.isEmpty());
}

TEST(StudyPaneRegionContentItemState, HostileValuesAreBounded)
{
    QVariantMap m = filled().encode().toMap();
    QVariantList many;
    for (int i = 0; i < 10000; ++i)
        many << i;
    many << QStringLiteral("not a number");
    m.insert(QStringLiteral("recentGoToVerseKeys"), many);
    m.insert(QStringLiteral("tabIDOrder"), many);
    m.insert(QStringLiteral("highlightPaneSelectedColorEnum"), qint64(0x12345678));
    auto s = StudyPaneRegionContentItemState::decode(m);
    EXPECT_EQ(s->recentGoToVerseKeys.size(), StudyPaneRegionContentItemState::kMaxRecentVerses);
    EXPECT_LE(s->tabIDOrder.size(), 64);
    EXPECT_EQ(s->highlightPaneSelectedColorEnum, 0x5678);  // cut to 16 bits
}

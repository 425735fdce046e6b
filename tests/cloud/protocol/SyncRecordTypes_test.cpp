#include "cloud/protocol/SyncCommand.h"
#include "cloud/protocol/SyncRecordTypes.h"
#include "cloud/protocol/SyncTime.h"

#include <gtest/gtest.h>

using namespace qs::cloud;

TEST(SyncTime, WritesAndReadsBothForms)
{
    EXPECT_EQ(formatSyncTime(0), QStringLiteral("1970-01-01 00:00:00.000"));
    EXPECT_EQ(formatSyncTime(1767323045007), QStringLiteral("2026-01-02 03:04:05.007"));
    EXPECT_EQ(parseSyncTime(QStringLiteral("2026-01-02 03:04:05.007")), 1767323045007);
    EXPECT_EQ(parseSyncTime(QStringLiteral("2026:1:2:3:4:5:7:5")), 1767323045007);
    for (const char* bad : {"2026-02-30 00:00:00.000", "2026-01-02 24:00:00.000", "2026-01-02 03:04:05", "",
             "2026-01-02T03:04:05.000", "x026-01-02 03:04:05.000", "2026:13:1:0:0:0:0:1"})
        EXPECT_FALSE(parseSyncTime(QString::fromLatin1(bad)).has_value()) << bad;
    const qint64 now = currentSyncTimeMs();
    EXPECT_EQ(parseSyncTime(formatSyncTime(now)), now);
}

TEST(SyncRecordTypes, LayoutsMatchTheWire)
{
    ASSERT_EQ(syncRecordTypes().size(), 9u);
    EXPECT_EQ(syncAllOrder().size(), 8);
    const QList<int> counts = {4, 5, 4, 5, 7, 4, 3, 2, 0};
    for (std::size_t i = 0; i < syncRecordTypes().size(); ++i) {
        const SyncRecordType& t = syncRecordTypes()[i];
        EXPECT_EQ(t.noun, static_cast<qint64>(SyncCommand::BibleBookmarks + i));
        EXPECT_EQ(t.nounWord, SyncCommand::nounWords().at(t.noun));
        EXPECT_EQ(t.fields.size(), counts[static_cast<int>(i)]);
        EXPECT_EQ(syncRecordType(t.nounWord), &t);
    }
    EXPECT_EQ(syncRecordType(QStringLiteral("BIBLEHIGHLIGHTS"))->localTable, QStringLiteral("VerseHighlights"));
    EXPECT_EQ(syncRecordType(QStringLiteral("BIBLEHIGHLIGHTS"))->historyName, QStringLiteral("BibleHighlights"));
    EXPECT_EQ(syncRecordType(QStringLiteral("TIME")), nullptr);
}

TEST(SyncRecordTypes, ChecksFieldsAndBuildsMatchKeys)
{
    const SyncRecordType& notes = *syncRecordType(SyncCommand::BookNotes);
    EXPECT_FALSE(checkSyncRecordFields(notes, {"24326", "15184", "1", "1", "Title", "Note", "x"}));
    EXPECT_TRUE(checkSyncRecordFields(notes, {"24326", "15184", "1", "1", "Title", "Note"}));
    EXPECT_TRUE(checkSyncRecordFields(notes, {"24326", "x", "1", "1", "Title", "Note", ""}));
    EXPECT_EQ(syncRecordMatchKey(notes, {"024326", "15184", "1", "1", "Title", "NOTE", "a"}),
        syncRecordMatchKey(notes, {"24326", "15184", "1", "1", "TITLE", "note", "b"}));
    const SyncRecordType& dates = *syncRecordType(SyncCommand::DevotionalStartDate);
    EXPECT_TRUE(checkSyncRecordFields(dates, {"1", "2", "soon"}));
    EXPECT_FALSE(checkSyncRecordFields(dates, {"1", "2", "2026-01-01 00:00:00.000"}));
    const SyncRecordType& highlights = *syncRecordType(SyncCommand::BibleHighlights);
    EXPECT_EQ(syncRecordMatchKey(highlights, {"43", "3", "16", "1", "2"}), QString::number(packedVerseKey(43, 3, 16)));
    EXPECT_EQ(packedVerseKey(43, 3, 16), (43 << 16) | (3 << 8) | 16);
    const SyncRecordType& bookmarks = *syncRecordType(SyncCommand::BookBookmarks);
    // The edition is not part of a book bookmark's key; the category name is, with its case.
    EXPECT_EQ(syncRecordMatchKey(bookmarks, {"1", "2", "3", "4", "Cat"}),
        syncRecordMatchKey(bookmarks, {"1", "2", "9", "4", "Cat"}));
    EXPECT_NE(syncRecordMatchKey(bookmarks, {"1", "2", "3", "4", "Cat"}),
        syncRecordMatchKey(bookmarks, {"1", "2", "3", "4", "cat"}));
}

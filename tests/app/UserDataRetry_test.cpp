// What another program's lock kept from the reader is read once the lock goes: the documents that
// could not be opened at the start are opened, and the pages are told to read the highlights and
// notes again after a read failed; nothing is said while the database still does not answer.
#include "app/UserDataRetry.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <string>

#include "documents/cBookUserData.h"
#include "engine/references/cBibleRef.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/NotificationCenter.h"
#include "render/cBlockRenderUserData.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cSQLiteDbBase.h"
#include "userdata/cVerseHighlightDoc.h"

namespace {

TEST(UserDataRetry, AStartAndAPageUnderALockShowTheUserDataOnceTheLockGoes)
{
    char pattern[] = "/tmp/qs-retry-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    cSQLiteDbBase::setEngineDataFolder(cLString16(folder.c_str()));
    cSQLiteDbBase::setWindowThread();
    const std::string file = folder + "/" + cSQLiteDbBase::kDatabaseFileName;
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    const auto run = [other](const char* sql) { return sqlite3_exec(other, sql, nullptr, nullptr, nullptr); };
    ASSERT_EQ(run("CREATE TABLE Holder (x)"), SQLITE_OK);

    NotificationCenter center;
    int highlightsChanged = 0;
    int notesChanged = 0;
    center.addObserver(
        &center, PaneNotifications::qsHighlightsHaveChangedNotification, [&](Notification&) { ++highlightsChanged; });
    center.addObserver(
        &center, PaneNotifications::qsNotesHaveChangedNotification, [&](Notification&) { ++notesChanged; });

    // The start meets another program's lock: neither document opens.
    ASSERT_EQ(run("BEGIN EXCLUSIVE"), SQLITE_OK);
    UserDataRetry retry(center, [] { return cBookUserData::install(); });
    EXPECT_FALSE(noteDocInstance()->IsOpen());
    EXPECT_TRUE(retry.owed());
    EXPECT_FALSE(retry.look());
    EXPECT_EQ(highlightsChanged + notesChanged, 0);
    ASSERT_EQ(run("ROLLBACK"), SQLITE_OK);
    EXPECT_TRUE(retry.look());
    EXPECT_TRUE(noteDocInstance()->IsOpen());
    EXPECT_TRUE(cVerseHighlightDoc::verseHighlightDocInstance()->isDocOpen());
    EXPECT_EQ(highlightsChanged, 1);
    EXPECT_EQ(notesChanged, 1);
    EXPECT_FALSE(retry.owed());
    EXPECT_FALSE(retry.look());

    // A page drawn during a lock reads no highlight; the lock going brings it.
    const cBibleRef genesis11(makeBibleKey(1, 1, 1));
    ASSERT_EQ(
        run("INSERT INTO VerseHighlights (timestamp, bcv, forecolor, backcolor) VALUES ('x', 65793, 0, 7)"), SQLITE_OK);
    ASSERT_EQ(run("BEGIN EXCLUSIVE"), SQLITE_OK);
    const std::uint64_t drawnAt = cBlockRenderUserData::current().changeStamp();
    std::uint16_t fore = 0;
    std::uint16_t back = 0;
    EXPECT_FALSE(cBlockRenderUserData::current().verseHighlight(genesis11, fore, back));
    EXPECT_TRUE(retry.owed());
    EXPECT_FALSE(retry.look());
    ASSERT_EQ(run("COMMIT"), SQLITE_OK);
    EXPECT_TRUE(retry.look());
    EXPECT_EQ(highlightsChanged, 2);
    EXPECT_NE(cBlockRenderUserData::current().changeStamp(), drawnAt) << "the page would not be drawn again";
    ASSERT_TRUE(cBlockRenderUserData::current().verseHighlight(genesis11, fore, back));
    EXPECT_EQ(back, 7);

    sqlite3_close(other);
    cBookUserData::uninstall();
    cSQLiteDbBase::setWindowThread(std::thread::id());
    std::system(("rm -rf '" + folder + "'").c_str());
}

}  // namespace

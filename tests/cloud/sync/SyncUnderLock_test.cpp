// A sync that meets another program's lock at any of its statements skips no record: a change the
// other device made to a record this one holds is stored by the sync that meets the lock or by the
// next one, never passed over as a record that does not exist.
#include "SyncHarness.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "userdata/cSQLiteDbBase.h"

using namespace sync_test;
using C = qs::cloud::SyncCommand;

namespace {

TEST(SyncUnderLock, AChangeToAnExistingRecordIsStoredWhateverStatementALockFails)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    // The sync runs on the window thread, whose statements fail at once under a lock.
    cSQLiteDbBase::setWindowThread();
    a.edit(C::BibleNotes, {"43", "3", "16", "first"});
    a.edit(C::BibleHighlights, {"1", "1", "1", "0", "3"});
    ASSERT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    ASSERT_TRUE(b.sync(server.syncPort()).errors.isEmpty());

    const auto otherDeviceChanges = [&](int n) {
        b.edit(C::BibleNotes, {"43", "3", "16", QStringLiteral("text %1").arg(n)});
        b.edit(C::BibleHighlights, {"1", "1", "1", "0", QString::number(4 + n % 50)});
        ASSERT_TRUE(b.sync(server.syncPort()).errors.isEmpty());
    };
    // How many statements a's receiving sync makes.
    otherDeviceChanges(0);
    int statements = 0;
    cSQLiteDbBase::setLockFaultForTests([&](const char* sql) {
        statements += std::strncmp(sql, "ROLLBACK", 8) != 0 ? 1 : 0;
        return false;
    });
    ASSERT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    cSQLiteDbBase::setLockFaultForTests(nullptr);
    ASSERT_GT(statements, 0);

    const int step = std::max(1, statements / 12);
    for (int failing = 0; failing < statements; failing += step) {
        SCOPED_TRACE("statement " + std::to_string(failing));
        const int n = failing + 1;
        otherDeviceChanges(n);
        int calls = 0;
        cSQLiteDbBase::setLockFaultForTests([&](const char* sql) {
            if (std::strncmp(sql, "ROLLBACK", 8) == 0)
                return false;  // undoing never waits for a lock
            const int call = calls++;
            return call >= failing && call < failing + 3;
        });
        a.sync(server.syncPort());
        cSQLiteDbBase::setLockFaultForTests(nullptr);
        const RecordingDelegate clean = a.sync(server.syncPort());
        EXPECT_TRUE(clean.errors.isEmpty()) << clean.errors.join('\n').toStdString();
        const Dump now = a.dump(false);
        EXPECT_EQ(now.at("BibleNotes").count(QStringLiteral("43|3|16|text %1").arg(n).toStdString()), 1u)
            << "the other device's change was skipped";
        EXPECT_EQ(now.at("BibleNotes").size(), 1u);
        EXPECT_EQ(now.at("VerseHighlights").count(QStringLiteral("1|1|1|0|%1").arg(4 + n % 50).toStdString()), 1u);
        EXPECT_EQ(now.at("VerseHighlights").size(), 1u);
        if (::testing::Test::HasFailure())
            break;
    }
    cSQLiteDbBase::setWindowThread(std::thread::id());
}

}  // namespace

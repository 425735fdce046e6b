#include "userdata/cSyncCustomerDb.h"

#include <thread>

#include "tests/userdata/UserDataTestSupport.h"

namespace {

using namespace qs::userdata::testsupport;

class SyncCustomerDbTest : public UserDataTest {
protected:
    SyncCustomerDbTest() : UserDataTest("customer") { }
    void SetUp() override
    {
        UserDataTest::SetUp();
        openRaw();
        cSyncCustomerDb reset;  // the cache is process-wide: forget the last test's id
        reset.deleteAllRows("SyncCustomerID");
    }
};

TEST_F(SyncCustomerDbTest, EmptyTableAnswersZeroAndIsCached)
{
    EXPECT_EQ(cSyncCustomerDb().customerId(), 0);
    ASSERT_TRUE(m_raw.exec("INSERT INTO SyncCustomerID VALUES (555)"));  // behind the cache's back
    EXPECT_EQ(cSyncCustomerDb().customerId(), 0);
    cSyncCustomerDb db;
    ASSERT_TRUE(db.deleteRowsWhereNonZero("SyncCustomerID", "customerid"));  // forgets the cache
    EXPECT_EQ(db.customerId(), 0);
}

TEST_F(SyncCustomerDbTest, SetStoresOneRowAndSkipsTheCachedValue)
{
    cSyncCustomerDb db;
    db.setCustomerId(1234);
    EXPECT_EQ(query("SELECT customerid FROM SyncCustomerID"), (cSQLRows {{"1234"}}));
    EXPECT_EQ(db.customerId(), 1234);
    ASSERT_TRUE(m_raw.exec("DELETE FROM SyncCustomerID"));
    db.setCustomerId(1234);  // the cached value: nothing is written
    EXPECT_TRUE(query("SELECT * FROM SyncCustomerID").empty());
    db.setCustomerId(0);  // a reset of the sync state
    EXPECT_EQ(query("SELECT customerid FROM SyncCustomerID"), (cSQLRows {{"0"}}));
    ASSERT_TRUE(db.deleteAllRows("SyncCustomerID"));
    ASSERT_TRUE(m_raw.exec("INSERT INTO SyncCustomerID VALUES (77)"));
    EXPECT_EQ(cSyncCustomerDb().customerId(), 77);  // read again after the delete
}

TEST_F(SyncCustomerDbTest, CannotOpenAnswersUnknown)
{
    m_raw.close();
    cSQLiteDbBase::setEngineDataFolder(cLString16("/nonexistent-folder/x"));
    cSyncCustomerDb db;
    EXPECT_EQ(db.customerId(), -1);
    EXPECT_FALSE(db.create());
    cSQLiteDbBase::setEngineDataFolder(cLString16(m_folder.c_str()));
    ASSERT_TRUE(m_raw.open(m_raw.databasePath()));
}

TEST_F(SyncCustomerDbTest, ThreadsAgreeOnTheId)
{
    std::vector<std::thread> threads;
    std::vector<std::int32_t> seen(8, -2);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &seen] {
            cSyncCustomerDb db;
            if (t == 0)
                db.setCustomerId(42);
            for (int i = 0; i < 20; ++i)
                seen[static_cast<std::size_t>(t)] = db.customerId();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(cSyncCustomerDb().customerId(), 42);
    EXPECT_EQ(query("SELECT customerid FROM SyncCustomerID"), (cSQLRows {{"42"}}));
    for (std::int32_t id : seen)
        EXPECT_TRUE(id == 0 || id == 42) << id;
}

}  // namespace

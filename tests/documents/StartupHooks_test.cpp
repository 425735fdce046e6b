#include "documents/StartupHooks.h"

#include "support/CallRecorder.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/references/cBibleRef.h"

namespace {

struct Proximity : cFindProximitySetting {
    std::uint32_t findProximity() const override { return 7; }
};

struct Entities : cBkInfoEntityLookup {
    uint32_t entity(const std::string& name) const override { return name == "alpha" ? 0x3B1 : 0; }
};

struct DatabaseErrors : cDatabaseErrorReporter {
    void databaseError(const cLString16&) override { ++calls; }
    int calls = 0;
};

struct Sync : qs::userdata::SyncRequestHandler {
    void requestSync(qs::userdata::SyncRecordType, bool, std::int64_t) override { ++calls; }
    int calls = 0;
};

class StartupHooksTest : public ::testing::Test {
protected:
    void TearDown() override { uninstallStartupHooks(); }
};

TEST_F(StartupHooksTest, DefaultsAnswerUntilInstalled)
{
    EXPECT_EQ(0u, cFindProximitySetting::current().findProximity());
    EXPECT_EQ(nullptr, cNoteDocProvider::current().noteDoc());
    std::string out;
    EXPECT_FALSE(cBkReferenceFormatter::current().formatReference(43 << 16 | 3 << 8 | 16, 0, 0, out));
    EXPECT_EQ(0x26u, cBkInfoEntityLookup::current().entity("amp"));
    EXPECT_EQ(0xF3u, cBibleRefEntityLookup::current().entity("oacute", 6));
    // The user-data stores' calls upward go nowhere (and are kept nowhere) until installed.
    EXPECT_NE(static_cast<qs::userdata::SyncRequestHandler*>(&qs::userdata::CallRecorder::shared()),
        &qs::userdata::SyncRequestHandler::current());
    EXPECT_NE(static_cast<qs::userdata::SearchCacheHandler*>(&qs::userdata::CallRecorder::shared()),
        &qs::userdata::SearchCacheHandler::current());
}

TEST_F(StartupHooksTest, InstallsWhatIsSetAndLeavesTheRest)
{
    StartupHooks hooks;
    hooks.findProximity = std::make_shared<Proximity>();
    hooks.bookInfoEntities = std::make_shared<Entities>();
    auto sync = std::make_shared<Sync>();
    hooks.syncRequests = sync;
    auto databaseErrors = std::make_shared<DatabaseErrors>();
    hooks.databaseErrors = databaseErrors;
    installStartupHooks(hooks);
    cMsgBox().showDatabaseError(cLString16("Error 8"));
    EXPECT_EQ(1, databaseErrors->calls);

    EXPECT_EQ(7u, cFindProximitySetting::current().findProximity());
    EXPECT_EQ("\xCE\xB1 &amp;", cBkGenInfoStg::decodeEntities("&alpha; &amp;"));
    requestSyncBibleNotes(1);
    EXPECT_EQ(1, sync->calls);
    // Entries left null keep their defaults.
    EXPECT_EQ(0xF3u, cBibleRefEntityLookup::current().entity("oacute", 6));
    EXPECT_EQ(nullptr, cNoteDocProvider::current().noteDoc());

    // A second list without those entries changes nothing of them.
    installStartupHooks(StartupHooks {});
    EXPECT_EQ(7u, cFindProximitySetting::current().findProximity());
}

TEST_F(StartupHooksTest, ReplacingReleasesTheOldHookAndNullRestoresTheDefault)
{
    auto first = std::make_shared<Proximity>();
    std::weak_ptr<Proximity> watch = first;
    cFindProximitySetting::install(std::move(first));
    EXPECT_FALSE(watch.expired());  // shared by the hook slot
    cFindProximitySetting::install(std::make_shared<Proximity>());
    EXPECT_TRUE(watch.expired());
    cFindProximitySetting::install(nullptr);
    EXPECT_EQ(0u, cFindProximitySetting::current().findProximity());

    auto sync = std::make_shared<Sync>();
    qs::userdata::SyncRequestHandler::install(sync);
    auto databaseErrors = std::make_shared<DatabaseErrors>();
    cDatabaseErrorReporter::install(databaseErrors);
    uninstallStartupHooks();
    cMsgBox().showDatabaseError(cLString16("Error 8"));
    EXPECT_EQ(0, databaseErrors->calls);
    qs::userdata::CallRecorder::shared().clear();
    requestSyncBookNotes(0);
    EXPECT_EQ(0, sync->calls);
    EXPECT_TRUE(qs::userdata::CallRecorder::shared().takeCalls().empty());  // the defaults keep nothing
}

}  // namespace

#include "support/CallRecorder.h"
#include "userdata/UserDataHooks.h"

#include <thread>

#include "engine/foundation/cLIntArray.h"
#include "tests/userdata/UserDataTestSupport.h"

namespace {

using qs::userdata::testsupport::CallRecorder;

TEST(UserDataHooks, RecorderKeepsEverySyncRequest)
{
    CallRecorder::shared().clear();
    requestSyncBibleBookmarks(1);
    requestSyncBibleHighlights(0);
    requestSyncBibleNotes(1);
    requestSyncBibleNotesEditing(1, 42);
    requestSyncBookBookmarks(0);
    requestSyncBookNotes(1);
    requestSyncBookNotesEditing(0, 0);
    requestSyncDevotionalProgress(1);
    requestSyncDevotionalStartDate(1);
    requestSyncHighlightColorNames(0);
    const std::vector<std::string> expected = {"sync BIBLEBOOKMARKS now=1", "sync BIBLEHIGHLIGHTS now=0",
        "sync BIBLENOTES now=1", "sync BIBLENOTES now=1 editing=42", "sync BOOKBOOKMARKS now=0", "sync BOOKNOTES now=1",
        "sync BOOKNOTES now=0 editing=0", "sync DEVOTIONALPROGRESS now=1", "sync DEVOTIONALSTARTDATE now=1",
        "sync HIGHLIGHTCOLORNAMES now=0"};
    EXPECT_EQ(CallRecorder::shared().takeCalls(), expected);
    EXPECT_TRUE(CallRecorder::shared().calls().empty());
}

TEST(UserDataHooks, RecorderKeepsCacheCalls)
{
    CallRecorder::shared().clear();
    invalidateNoteSearchCache(kUserDataCacheNote, 7, 1, 23, 1);
    clearColorSearchCache();
    cLIntArray categories;
    categories.add(3);
    categories.add(-1);
    invalidateCategorySearchCache(nullptr, -1, 0, 0, 0, categories);
    const std::vector<std::string> expected = {"cache note kind=4 section=7 book=1:23:1", "cache clear color",
        "cache category ref=no section=-1 book=0:0:0 categories=3,-1"};
    EXPECT_EQ(CallRecorder::shared().takeCalls(), expected);
}

class CountingSync : public qs::userdata::SyncRequestHandler {
public:
    void requestSync(qs::userdata::SyncRecordType type, bool now, std::int64_t editingId) override
    {
        last = type;
        lastNow = now;
        lastId = editingId;
        ++count;
    }
    qs::userdata::SyncRecordType last {};
    bool lastNow = false;
    std::int64_t lastId = 0;
    int count = 0;
};

TEST(UserDataHooks, RegisteredHandlerReceivesCallsAndNullRestoresDefaultsThatKeepNothing)
{
    auto sync = std::make_shared<CountingSync>();
    qs::userdata::SyncRequestHandler::install(sync);
    CallRecorder::shared().clear();
    requestSyncBookNotesEditing(1, 5);
    EXPECT_EQ(sync->count, 1);
    EXPECT_EQ(sync->last, qs::userdata::SyncRecordType::BookNotes);
    EXPECT_TRUE(sync->lastNow);
    EXPECT_EQ(sync->lastId, 5);
    EXPECT_TRUE(CallRecorder::shared().calls().empty());

    // The program's defaults: every call is dropped, none is kept anywhere.
    qs::userdata::SyncRequestHandler::install(nullptr);
    qs::userdata::SearchCacheHandler::install(nullptr);
    EXPECT_NE(static_cast<void*>(&qs::userdata::SyncRequestHandler::current()),
        static_cast<void*>(static_cast<qs::userdata::SyncRequestHandler*>(&CallRecorder::shared())));
    for (int i = 0; i < 1000; ++i) {
        requestSyncBookNotes(0);
        clearColorSearchCache();
    }
    EXPECT_TRUE(CallRecorder::shared().calls().empty());

    CallRecorder::installShared();
    requestSyncBookNotes(0);
    clearColorSearchCache();
    EXPECT_EQ(
        CallRecorder::shared().takeCalls(), (std::vector<std::string> {"sync BOOKNOTES now=0", "cache clear color"}));
}

TEST(UserDataHooks, RecorderIsThreadSafe)
{
    CallRecorder::shared().clear();
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 500; ++i)
                requestSyncBibleHighlights(1);
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(CallRecorder::shared().takeCalls().size(), 4000u);
}

}  // namespace

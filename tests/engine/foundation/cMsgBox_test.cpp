#include "engine/foundation/cMsgBox.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Reporter : cDatabaseErrorReporter {
    void databaseError(const cLString16& text) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        texts.emplace_back(cLString8(text).chars());
    }
    std::mutex mutex;
    std::vector<std::string> texts;
};

}  // namespace

TEST(cMsgBox, ShowRecordsTheErrorPathAndAnswersOne)
{
    const std::uint32_t before = cMsgBox::shownCount();
    {
        cMsgBox box;
        EXPECT_EQ(box.show(208), 1);
    }
    EXPECT_EQ(cMsgBox::lastShownId(), 208);
    cMsgBox box;
    EXPECT_EQ(box.show(210, 0x30, "path", 7u, 9u), 1);  // the dialog's arguments are accepted
    EXPECT_EQ(cMsgBox::lastShownId(), 210);
    EXPECT_EQ(box.showDatabaseError(cLString16("Error 14 accessing database")), 1);
    EXPECT_EQ(cMsgBox::lastShownId(), -1);
    EXPECT_EQ(box.showDatabaseError(cLString16()), 1);
    EXPECT_EQ(cMsgBox::shownCount(), before + 4);
}

TEST(cMsgBox, CountsMessagesFromManyThreads)
{
    const std::uint32_t before = cMsgBox::shownCount();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 50; ++i)
                cMsgBox().show(201);
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(cMsgBox::shownCount(), before + 200);
}

TEST(cMsgBox, DatabaseErrorsReachTheReporterUnlessTheThreadCapturesThem)
{
    auto reporter = std::make_shared<Reporter>();
    cDatabaseErrorReporter::install(reporter);
    const std::uint32_t before = cMsgBox::shownCount();
    cMsgBox().showDatabaseError(cLString16("Error 8 accessing database"));
    ASSERT_EQ(reporter->texts.size(), 1u);
    EXPECT_EQ(reporter->texts[0], "Error 8 accessing database");
    {
        // A caller that tells the user itself takes the reports of its work: the first one is kept.
        cDatabaseErrorCapture capture;
        EXPECT_FALSE(capture.captured());
        cMsgBox().showDatabaseError(cLString16("Error 8 first"));
        {
            cDatabaseErrorCapture inner;
            cMsgBox().showDatabaseError(cLString16("Error 13 inner"));
            EXPECT_EQ(std::string(cLString8(inner.text()).chars()), "Error 13 inner");
        }
        cMsgBox().showDatabaseError(cLString16("Error 8 second"));
        EXPECT_TRUE(capture.captured());
        EXPECT_EQ(std::string(cLString8(capture.text()).chars()), "Error 8 first");
        // Another thread's report is not this caller's.
        std::thread([] { cMsgBox().showDatabaseError(cLString16("Error 5 elsewhere")); }).join();
    }
    cMsgBox().showDatabaseError(cLString16("Error 14 after"));
    ASSERT_EQ(reporter->texts.size(), 3u);
    EXPECT_EQ(reporter->texts[1], "Error 5 elsewhere");
    EXPECT_EQ(reporter->texts[2], "Error 14 after");
    // Every report is still logged and counted.
    EXPECT_EQ(cMsgBox::shownCount(), before + 6);
    cDatabaseErrorReporter::install(nullptr);
    cMsgBox().showDatabaseError(cLString16("Error 1 unreported"));
    EXPECT_EQ(reporter->texts.size(), 3u);
}

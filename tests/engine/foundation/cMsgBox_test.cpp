#include "engine/foundation/cMsgBox.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

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

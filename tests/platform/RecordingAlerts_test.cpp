#include "support/RecordingAlerts.h"

#include <gtest/gtest.h>

namespace {

TEST(RecordingAlertsTest, RecordsAlertsAndAnswersFromTheQueue)
{
    auto alerts = std::make_shared<RecordingAlerts>();
    Alerts::setShared(alerts);
    const Alert remove {"Remove this book?", "The file is deleted.", {"Remove", "Cancel"}, AlertStyle::Critical};
    alerts->queueAnswer(AlertSecondButtonReturn);
    alerts->queueAnswer(AlertThirdButtonReturn);  // no third button: the default answers
    EXPECT_EQ(Alerts::shared().runModal(remove), AlertSecondButtonReturn);
    EXPECT_EQ(Alerts::shared().runModal(remove), AlertFirstButtonReturn);
    EXPECT_EQ(Alerts::shared().runModal(Alert {"Done", {}, {}, AlertStyle::Informational}), AlertFirstButtonReturn);
    ASSERT_EQ(alerts->shown().size(), 3);
    EXPECT_EQ(alerts->shown()[0], remove);
    EXPECT_EQ(alerts->shown()[2].effectiveButtons(), QStringList {"OK"});
    alerts->clear();
    EXPECT_TRUE(alerts->shown().isEmpty());

    Alerts::setShared(nullptr);  // the logging fallback answers with the default button
    EXPECT_EQ(Alerts::shared().runModal(remove), AlertFirstButtonReturn);
}

}  // namespace

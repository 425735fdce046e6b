#include "platform/AppVersion.h"

#include <gtest/gtest.h>

#include <QStringList>

// The build number is derived from the version by the build; a leading zero once made it octal.
TEST(AppVersion, BuildNumberFollowsTheVersion)
{
    const QStringList parts = AppVersion::version().split(QLatin1Char('.'));
    ASSERT_EQ(parts.size(), 3) << AppVersion::version().toStdString();
    bool ok[3] = {};
    const qint64 expected =
        parts[0].toLongLong(&ok[0]) * 10000 + parts[1].toLongLong(&ok[1]) * 100 + parts[2].toLongLong(&ok[2]);
    ASSERT_TRUE(ok[0] && ok[1] && ok[2]);
    EXPECT_EQ(AppVersion::buildNumber(), expected);
    EXPECT_GT(AppVersion::buildNumber(), 0);
}

// What the program sets in its environment for its own start goes back as the user had it: a
// program started afterwards, as the reader starts a browser (a child inheriting its environment),
// sees the user's environment exactly.
#include "platform/StartupEnvironment.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

namespace {

QStringList environmentOfAChild()
{
    QProcess child;
    child.start(QStringLiteral("/usr/bin/env"), {});
    if (!child.waitForFinished(10000))
        return {QStringLiteral("no answer")};
    QStringList lines = QString::fromLocal8Bit(child.readAllStandardOutput()).split(QLatin1Char('\n'));
    lines.sort();
    return lines;
}

TEST(StartupEnvironment, AChildStartedAfterTheRestoreSeesTheUsersEnvironment)
{
    qputenv("QS_TEST_USERS", "the user's");
    qunsetenv("QS_TEST_UNSET");
    qputenv("QS_TEST_EMPTY", "");
    const QStringList users = environmentOfAChild();
    ASSERT_TRUE(users.contains(QStringLiteral("QS_TEST_USERS=the user's")));

    StartupEnvironment::set("QS_TEST_USERS", "mine");
    StartupEnvironment::set("QS_TEST_USERS", "mine again");  // the user's value is remembered once
    StartupEnvironment::set("QS_TEST_UNSET", "none");
    StartupEnvironment::unset("QS_TEST_EMPTY");
    EXPECT_TRUE(StartupEnvironment::pending());
    EXPECT_EQ(StartupEnvironment::original("QS_TEST_USERS"), QByteArray("the user's"));
    EXPECT_TRUE(StartupEnvironment::original("QS_TEST_UNSET").isNull());
    const QStringList during = environmentOfAChild();
    EXPECT_TRUE(during.contains(QStringLiteral("QS_TEST_USERS=mine again")));
    EXPECT_TRUE(during.contains(QStringLiteral("QS_TEST_UNSET=none")));
    EXPECT_FALSE(during.contains(QStringLiteral("QS_TEST_EMPTY=")));

    StartupEnvironment::restore();
    EXPECT_FALSE(StartupEnvironment::pending());
    EXPECT_EQ(environmentOfAChild(), users);
    EXPECT_EQ(qgetenv("QS_TEST_USERS"), QByteArray("the user's"));
    EXPECT_FALSE(qEnvironmentVariableIsSet("QS_TEST_UNSET"));
    EXPECT_TRUE(qEnvironmentVariableIsSet("QS_TEST_EMPTY"));
}

}  // namespace

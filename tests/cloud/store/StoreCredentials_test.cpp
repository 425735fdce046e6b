#include "cloud/store/StoreCredentials.h"

#include "cloud/account/CustomerPassword.h"
#include "cloud/protocol/ScrambledText.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace qs::cloud;

TEST(StoreCredentials, TheKeptPasswordFileWinsOverTheOlderSetting)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("private"));
    UserDefaults defaults(dir.filePath(QStringLiteral("defaults.conf")));
    EXPECT_FALSE(StoreCredentials::signedIn(defaults));
    EXPECT_TRUE(StoreCredentials::clearPassword(defaults, folder).isEmpty());

    defaults.set(SettingsKeys::CredentialsValid, true);
    defaults.set(SettingsKeys::CustomerID, QStringLiteral("demo@quillstead.test"));
    defaults.set(SettingsKeys::Optionsbitfield, scrambleText(QStringLiteral("older"), ScramblePad::Default));
    EXPECT_TRUE(StoreCredentials::signedIn(defaults));
    EXPECT_EQ(StoreCredentials::clearPassword(defaults, folder), QStringLiteral("older"));

    ASSERT_TRUE(CustomerPassword::store(QStringLiteral("kept \u00e9"), folder));
    const WebScriptCaller caller = StoreCredentials::caller(defaults, QStringLiteral("2.5"), folder);
    EXPECT_EQ(caller.clearPassword, QStringLiteral("kept \u00e9"));
    EXPECT_EQ(caller.customerId, QStringLiteral("demo@quillstead.test"));
    EXPECT_EQ(caller.version, QStringLiteral("2.5"));
    EXPECT_EQ(caller.platform, QStringLiteral("MacOS"));
    EXPECT_FALSE(caller.deviceId.isEmpty());

    CustomerPassword::clear(folder);
    defaults.set(SettingsKeys::Optionsbitfield, QStringLiteral("not scrambled!"));
    EXPECT_TRUE(StoreCredentials::caller(defaults, QStringLiteral("2.5"), folder).clearPassword.isEmpty());
}

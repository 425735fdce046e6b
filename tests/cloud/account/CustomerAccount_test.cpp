#include "cloud/account/CustomerAccount.h"

#include "cloud/protocol/ServiceHost.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "tests/tools/standin-services/StandinTestServer.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

using qs::cloud::AccountResult;
using qs::cloud::CustomerAccount;
using qs::cloud::ServiceHost;

namespace {

AccountResult wait(CustomerAccount& account)
{
    AccountResult out;
    bool done = false;
    QEventLoop loop;
    QObject::connect(&account, &CustomerAccount::finished, &loop, [&](const AccountResult& r) {
        out = r;
        done = true;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(done);
    return out;
}

// Settings of a temporary folder whose "serviceHost" names the loopback stand-in on `httpPort`.
struct LoopbackSettings {
    explicit LoopbackSettings(quint16 httpPort)
    {
        defaults.set(SettingsKeys::ServiceHostAddress,
            standin_test::serviceHostSetting(httpPort, ServiceHost::kDefaultSyncPort));
    }
    QTemporaryDir dir;
    UserDefaults defaults {dir.filePath(QStringLiteral("defaults.ini"))};
};

TEST(CustomerAccount, RepliesAreReadAsTheServerMeansThem)
{
    AccountResult ok = CustomerAccount::readLoginReply(
        QStringLiteral("<results><customer><customerid>10001</customerid><firstname>Ann</firstname>"
                       "<lastname>Lee</lastname></customer></results>"),
        QStringLiteral("ann@x.test"), QStringLiteral("pw"));
    EXPECT_TRUE(ok.ok());
    EXPECT_EQ(ok.customerIDNum, QStringLiteral("10001"));
    EXPECT_EQ(ok.customerID, QStringLiteral("ann@x.test"));
    EXPECT_EQ(ok.password, QStringLiteral("pw"));
    EXPECT_EQ(ok.firstName, QStringLiteral("Ann"));
    EXPECT_EQ(ok.lastName, QStringLiteral("Lee"));
    EXPECT_EQ(CustomerAccount::readLoginReply(QStringLiteral("<error>Bad password</error>"), {}, {}).error,
        QStringLiteral("Error from server: Bad password"));
    EXPECT_EQ(CustomerAccount::readLoginReply(QString(), {}, {}).error,
        QStringLiteral("Unknown error. Server returned a nil response. If this problem persists, contact technical "
                       "support."));
    for (const char* junk : {"<results></results>", "hello", "<results><customer>", "<<<<"})
        EXPECT_EQ(CustomerAccount::readLoginReply(QString::fromLatin1(junk), {}, {}).error,
            QStringLiteral("Unexpected response from server. If this problem persists, contact technical support."))
            << junk;
    EXPECT_EQ(CustomerAccount::readResetReply(QStringLiteral("<success>Mail sent</success>")).message,
        QStringLiteral("Mail sent"));
    EXPECT_EQ(CustomerAccount::transportFailure(QStringLiteral("Connection refused")).error,
        QStringLiteral("System reported error: Connection refused"));
}

TEST(CustomerAccount, LogInAgainstTheStandIn)
{
    standin_test::Server server;
    ASSERT_NE(server.httpPort(), 0);
    const LoopbackSettings settings(server.httpPort());
    CustomerAccount account(settings.defaults);
    account.logIn(QStringLiteral("demo@quillstead.test"), QStringLiteral("demo"));
    AccountResult r = wait(account);
    EXPECT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.customerIDNum, QStringLiteral("10001"));
    EXPECT_EQ(r.customerID, QStringLiteral("demo@quillstead.test"));
    EXPECT_EQ(r.password, QStringLiteral("demo"));

    account.logIn(QStringLiteral("demo@quillstead.test"), QStringLiteral("wrong"));
    r = wait(account);
    EXPECT_TRUE(r.error.startsWith(QStringLiteral("Error from server: "))) << r.error.toStdString();

    // A new account logs in with its own password.
    account.createAccount(
        QStringLiteral("Zoë"), QStringLiteral("Ng"), QStringLiteral("zoe@x.test"), QStringLiteral("s3cret&"));
    r = wait(account);
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.customerID, QStringLiteral("zoe@x.test"));
    account.logIn(QStringLiteral("zoe@x.test"), QStringLiteral("s3cret&"));
    r = wait(account);
    EXPECT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.firstName, QStringLiteral("Zoë"));

    account.resetPassword(QStringLiteral("demo@quillstead.test"));
    r = wait(account);
    EXPECT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_FALSE(r.message.isEmpty());
}

TEST(CustomerAccount, ADeadServerIsASystemError)
{
    standin_test::ensureApplication();
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    const LoopbackSettings settings(port);
    CustomerAccount account(settings.defaults);
    account.logIn(QStringLiteral("demo@quillstead.test"), QStringLiteral("demo"));
    const AccountResult r = wait(account);
    EXPECT_TRUE(r.error.startsWith(QStringLiteral("System reported error: "))) << r.error.toStdString();
}

}  // namespace

#include "cloud/account/CustomerPassword.h"

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

TEST(CustomerPassword, KeptInAFileOnlyTheUserMayRead)
{
    QTemporaryDir dir;
    using qs::cloud::CustomerPassword;
    EXPECT_EQ(CustomerPassword::load(dir.path()), QString());
    ASSERT_TRUE(CustomerPassword::store(QStringLiteral("pässwörd &1"), dir.path()));
    const QString path = CustomerPassword::filePath(dir.path());
    struct stat st { };
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.readAll().contains("pässwörd"));
    f.close();
    EXPECT_EQ(CustomerPassword::load(dir.path()), QStringLiteral("pässwörd &1"));
    // A file we did not write gives nothing.
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not scrambled at all");
    f.close();
    EXPECT_EQ(CustomerPassword::load(dir.path()), QString());
    CustomerPassword::clear(dir.path());
    EXPECT_FALSE(QFile::exists(path));
}

}  // namespace

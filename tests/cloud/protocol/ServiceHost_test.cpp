#include "cloud/protocol/ServiceHost.h"
#include "cloud/protocol/StoreCustomerBlock.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace qs::cloud;

TEST(ServiceHost, DefaultIsTheLocalStandIn)
{
    const ServiceHost host;
    EXPECT_EQ(host.webScriptUrl().toString(), QStringLiteral("http://127.0.0.1:17380/mac/booklist.asp"));
    EXPECT_EQ(host.updateFeedUrl().toString(), QStringLiteral("http://127.0.0.1:17380/mac/QuillsteadUpdate.xml"));
    EXPECT_EQ(host.storeUrl().toString(), QStringLiteral("http://127.0.0.1:17380/MacStore/"));
    EXPECT_EQ(host.syncHostName(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(host.syncPort(), 17300);
    EXPECT_EQ(ServiceHost::fromSetting(ServiceHost::defaultSetting()), host);
}

TEST(ServiceHost, ReadsOtherHostsAndFallsBackOnBadText)
{
    bool ok = false;
    const ServiceHost real = ServiceHost::fromSetting(QStringLiteral("https://svc.example.org/base"), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(real.syncPort(), 3000);
    EXPECT_EQ(real.webScriptUrl().toString(), QStringLiteral("https://svc.example.org/base/mac/booklist.asp"));
    const ServiceHost test = ServiceHost::fromSetting(QStringLiteral("http://127.0.0.1:40001/?sync=40002"), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(test.storeUrl().toString(), QStringLiteral("http://127.0.0.1:40001/MacStore/"));
    EXPECT_EQ(test.syncHostName(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(test.syncPort(), 40002);
    for (const char* bad : {"", "ftp://h/", "127.0.0.1:80", "http:///x", "http://h/?sync=0", "http://h/?sync=70000",
             "http://u:p@h/", "http://h/?sync=x"}) {
        EXPECT_EQ(ServiceHost::fromSetting(QString::fromLatin1(bad), &ok), ServiceHost()) << bad;
        EXPECT_FALSE(ok) << bad;
    }
}

TEST(ServiceHost, RegistersAndReadsTheSetting)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath(QStringLiteral("defaults.ini")));
    ServiceHost::registerDefault(defaults);
    EXPECT_EQ(ServiceHost::fromDefaults(defaults), ServiceHost());
    defaults.set(SettingsKeys::ServiceHostAddress, QStringLiteral("http://127.0.0.1:1/?sync=2"));
    EXPECT_EQ(ServiceHost::fromDefaults(defaults).syncPort(), 2);
}

TEST(StoreCustomerBlock, RoundTripsThroughTheStorePad)
{
    StoreCustomerBlock block {QStringLiteral("10001"), QStringLiteral("pa\tss \u00e9"), QStringLiteral("0.1.0"),
        QStringLiteral("Quillstead"), QStringLiteral("QS-LINUX"), QStringLiteral("_MYOFFERS_")};
    EXPECT_EQ(block.clearText(), QStringLiteral("10001\tpass \u00e9\t0.1.0\tQuillstead\tQS-LINUX\t\t_MYOFFERS_"));
    const auto back = StoreCustomerBlock::fromScrambled(block.scrambled());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->initialProductId, block.initialProductId);
    EXPECT_EQ(back->clearPassword, QStringLiteral("pass \u00e9"));
    EXPECT_FALSE(StoreCustomerBlock::fromClearText(QStringLiteral("a\tb")));
    EXPECT_FALSE(StoreCustomerBlock::fromScrambled(QStringLiteral("zz")));
}

#include "StoreTestSupport.h"

#include "cloud/protocol/ScrambledText.h"
#include "cloud/store/MyOffersManager.h"
#include "cloud/store/StoreNotifications.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTimeZone>

using namespace qs::cloud;
using namespace store_test;

namespace {

QString expiry(const QDateTime& t)
{
    return t.toTimeZone(QTimeZone("America/Chicago")).toString(QStringLiteral("yyyy-M-d H:m:s.zzz"));
}

void signIn(UserDefaults& d)
{
    d.registerDefaults({{"myOffersInterval", qint64(604800)}});
    d.set(SettingsKeys::CredentialsValid, true);
    d.set(SettingsKeys::CustomerID, "demo@quillstead.test");
    d.set(SettingsKeys::Optionsbitfield, scrambleText("demo", ScramblePad::Default));
}

}  // namespace

TEST(MyOffersManager, FirstLookStartsTheClockThenFetchesStoresAndAnnouncesOnce)
{
    if (!standin_test::haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("defaults.conf"));
    signIn(defaults);
    NotificationCenter center;
    MyOffersManager m(defaults, center, scriptUrl(server), "1.0");
    Recorder rec(center, {StoreNotifications::MyOffersManagerHasNewOffers});

    m.refresh(true);  // the first look only starts the clock
    EXPECT_FALSE(m.isRefreshing());
    EXPECT_TRUE(defaults.hasStoredValue(SettingsKeys::MyOffersLastChecked));
    m.refresh(false);  // within the interval
    EXPECT_FALSE(m.isRefreshing());

    m.refresh(true);
    ASSERT_TRUE(m.isRefreshing());
    ASSERT_TRUE(waitFor([&] { return !m.isRefreshing(); }));
    EXPECT_EQ(rec.count(StoreNotifications::MyOffersManagerHasNewOffers), 1);
    const QVariantList offers = defaults.value(SettingsKeys::MyOffersDictionary).value("offer").toList();
    ASSERT_EQ(offers.size(), 2);
    EXPECT_EQ(offers[0].toMap().value("priority_code").toString(), QStringLiteral("QS-WELCOME"));
    EXPECT_TRUE(m.hasOffers());

    // The same offers again: stored, nothing announced.
    m.refresh(true);
    ASSERT_TRUE(waitFor([&] { return !m.isRefreshing(); }));
    EXPECT_EQ(rec.count(StoreNotifications::MyOffersManagerHasNewOffers), 1);

    // A failing server keeps what is stored.
    ASSERT_TRUE(server.fault("http.status=500"));
    m.refresh(true);
    ASSERT_TRUE(waitFor([&] { return !m.isRefreshing(); }));
    EXPECT_EQ(defaults.value(SettingsKeys::MyOffersDictionary).value("offer").toList().size(), 2);

    // Signing out clears both.
    defaults.set(SettingsKeys::CredentialsValid, false);
    EXPECT_FALSE(m.hasOffers());
    EXPECT_FALSE(defaults.hasStoredValue(SettingsKeys::MyOffersDictionary));
    EXPECT_FALSE(defaults.hasStoredValue(SettingsKeys::MyOffersLastChecked));
}

TEST(MyOffersManager, ExpiryAndNewOffers)
{
    standin_test::ensureApplication();
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("defaults.conf"));
    signIn(defaults);
    NotificationCenter center;
    MyOffersManager m(defaults, center, QUrl("http://127.0.0.1:1/"), "1.0");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    defaults.set(SettingsKeys::MyOffersDictionary,
        QVariantMap {{"offer",
            QVariantList {QVariantMap {{"priority_code", "OLD"}, {"expires", expiry(now.addDays(-1))}},
                QVariantMap {{"priority_code", "NEW"}, {"expires", expiry(now.addDays(1))}},
                QVariantMap {{"priority_code", "ODD"}, {"expires", "not a date"}}}}});
    EXPECT_TRUE(m.hasOffers());
    QVariantList left = defaults.value(SettingsKeys::MyOffersDictionary).value("offer").toList();
    ASSERT_EQ(left.size(), 2);
    EXPECT_EQ(left[0].toMap().value("priority_code").toString(), QStringLiteral("NEW"));

    const QVariantMap stored = defaults.value(SettingsKeys::MyOffersDictionary);
    EXPECT_FALSE(MyOffersManager::containsNewOffers({}, stored));
    EXPECT_TRUE(
        MyOffersManager::containsNewOffers({{"offer", QVariantList {QVariantMap {{"priority_code", "X"}}}}}, {}));
    EXPECT_FALSE(
        MyOffersManager::containsNewOffers({{"offer", QVariantList {QVariantMap {{"priority_code", "NEW"}}}}}, stored));
    EXPECT_TRUE(
        MyOffersManager::containsNewOffers({{"offer", QVariantList {QVariantMap {{"priority_code", "Z"}}}}}, stored));
    EXPECT_FALSE(MyOffersManager::parseExpiry("2024-1-2 3:4:5").isValid());
    EXPECT_EQ(MyOffersManager::parseExpiry("2024-1-2 3:4:5.006").toUTC(),
        QDateTime(QDate(2024, 1, 2), QTime(9, 4, 5, 6), QTimeZone::utc()));
}

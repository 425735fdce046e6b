#include "cloud/protocol/WebScriptQuery.h"
#include "cloud/store/CoverArtManager.h"
#include "cloud/store/DownloadBooksManager.h"
#include "cloud/store/MyOffersManager.h"
#include "cloud/store/OwnedBooksManager.h"
#include "cloud/store/StoreManagers.h"
#include "cloud/store/StoreNotifications.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

using namespace qs::cloud;

TEST(StoreManagers, EachManagerIsMadeOnceOverTheApplicationsFolders)
{
    TestSupport::startApplication("store-managers-test", TestSupport::Web::None);
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath(QStringLiteral("defaults.conf")));
    NotificationCenter center;
    StoreManagers managers(defaults, center);
    OwnedBooksManager& owned = managers.ownedBooks();
    EXPECT_EQ(&owned, &managers.ownedBooks());
    // The owned list is kept in the application's cache.
    ASSERT_FALSE(QFileInfo::exists(OwnedBooksManager::defaultCacheFileName()));
    ASSERT_TRUE(owned.saveToCache());
    EXPECT_TRUE(QFileInfo::exists(OwnedBooksManager::defaultCacheFileName()));
    DownloadBooksManager& downloads = managers.downloads();
    EXPECT_EQ(&downloads, &managers.downloads());
    EXPECT_EQ(downloads.booksFolder(), AppFolders::booksDirectory());
    EXPECT_EQ(&managers.covers(), &managers.covers());
    EXPECT_EQ(&managers.offers(), &managers.offers());

    // The managers post on the centre they were handed, not on the program's.
    QStringList here, there;
    int probe = 0;
    const QString started = StoreNotifications::qsOwnedBooksListStartedDownloading;
    center.addObserver(&probe, started, [&](Notification& n) { here.append(n.name); });
    NotificationCenter::defaultCenter().addObserver(&probe, started, [&](Notification& n) { there.append(n.name); });
    owned.refresh(WebScriptCaller(), {}, QUrl(QStringLiteral("http://127.0.0.1:1/")));
    NotificationCenter::defaultCenter().removeObserver(&probe);
    center.removeObserver(&probe);
    EXPECT_EQ(here, QStringList {started});
    EXPECT_TRUE(there.isEmpty());
}

TEST(StoreManagers, TheOffersOfEachProgramKeepToItsOwnDefaults)
{
    TestSupport::startApplication("store-managers-test", TestSupport::Web::None);
    QTemporaryDir dir;
    UserDefaults mine(dir.filePath(QStringLiteral("mine.conf")));
    UserDefaults theirs(dir.filePath(QStringLiteral("theirs.conf")));
    const QString lastChecked = QStringLiteral("myOffersLastChecked");
    mine.setInteger(1234, lastChecked);
    theirs.setInteger(5678, lastChecked);
    NotificationCenter center;
    StoreManagers first(mine, center);
    StoreManagers second(theirs, center);
    EXPECT_NE(&first.offers(), &second.offers());
    // Signed out, the offers forget their clock: only in the defaults of the managers asked.
    EXPECT_FALSE(first.offers().hasOffers());
    EXPECT_FALSE(mine.objectForKey(lastChecked).isValid());
    EXPECT_EQ(theirs.integerForKey(lastChecked), 5678);
}

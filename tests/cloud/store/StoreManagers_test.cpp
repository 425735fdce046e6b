#include "cloud/store/CoverArtManager.h"
#include "cloud/store/DownloadBooksManager.h"
#include "cloud/store/MyOffersManager.h"
#include "cloud/store/OwnedBooksManager.h"
#include "cloud/store/StoreManagers.h"
#include "platform/AppFolders.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace qs::cloud;

TEST(StoreManagers, EachManagerIsMadeOnceOverTheApplicationsFolders)
{
    TestSupport::startApplication("store-managers-test", TestSupport::Web::None);
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath(QStringLiteral("defaults.conf")));
    StoreManagers managers(defaults);
    OwnedBooksManager& owned = managers.ownedBooks();
    EXPECT_EQ(&owned, &managers.ownedBooks());
    EXPECT_EQ(owned.cacheFileName(), OwnedBooksManager::defaultCacheFileName());
    DownloadBooksManager& downloads = managers.downloads();
    EXPECT_EQ(&downloads, &managers.downloads());
    EXPECT_EQ(downloads.booksFolder(), AppFolders::booksDirectory());
    EXPECT_EQ(&managers.covers(), &managers.covers());
    EXPECT_EQ(&managers.offers(), &managers.offers());
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
    StoreManagers first(mine);
    StoreManagers second(theirs);
    EXPECT_NE(&first.offers(), &second.offers());
    // Signed out, the offers forget their clock: only in the defaults of the managers asked.
    EXPECT_FALSE(first.offers().hasOffers());
    EXPECT_FALSE(mine.objectForKey(lastChecked).isValid());
    EXPECT_EQ(theirs.integerForKey(lastChecked), 5678);
}

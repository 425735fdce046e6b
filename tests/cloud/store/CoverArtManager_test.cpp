#include "StoreTestSupport.h"

#include "cloud/store/CoverArtManager.h"
#include "cloud/store/StoreNotifications.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace qs::cloud;
using namespace store_test;

namespace {

const QString kDone = StoreNotifications::qsCoverArtFinishedDownloading;

QVariantMap coverOf(const QString& productId, const standin_test::Server& server, const QString& size = "144x144")
{
    return {{"productid", productId}, {"size", size}, {"format", "png"}, {"webscript", scriptUrl(server).toString()}};
}

}  // namespace

TEST(CoverArtManager, PathsAndSameBook)
{
    standin_test::ensureApplication();
    Services services;
    CoverArtManager m(QStringLiteral("/covers"), services.center, services.defaults);
    EXPECT_EQ(m.targetFileForDict({{"productid", "KJV"}, {"size", "144x144"}, {"format", "png"}}),
        QStringLiteral("/covers/144x144PNG/KJV.png"));
    EXPECT_EQ(m.targetFileForDict({{"pubid", 258}, {"bookid", 17}, {"size", "72x72"}}),
        QStringLiteral("/covers/72x72/01020011.jpg"));
    EXPECT_TRUE(m.targetFileForDict({{"productid", "../x"}, {"size", "144x144"}}).isEmpty());
    EXPECT_TRUE(m.targetFileForDict({{"productid", "x"}, {"size", "../../etc"}}).isEmpty());
    EXPECT_TRUE(CoverArtManager::sameBook({{"productid", "A"}}, {{"productid", "A"}, {"pubid", 9}}));
    EXPECT_FALSE(CoverArtManager::sameBook({{"productid", "A"}, {"pubid", 1}}, {{"pubid", 1}}));
    EXPECT_TRUE(CoverArtManager::sameBook({{"pubid", "1"}, {"bookid", 2}}, {{"pubid", 1}, {"bookid", "2"}}));
    EXPECT_TRUE(QFile::exists(CoverArtManager::imageNotAvailablePath()));
}

TEST(CoverArtManager, FetchesNewestFirstAndRemembersMisses)
{
    if (!standin_test::haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    QTemporaryDir dir;
    Services services;
    CoverArtManager m(dir.path(), services.center, services.defaults);
    Recorder rec(services.center, {kDone});

    // Nothing cached: the placeholder (or nothing), and the request queued.
    EXPECT_EQ(m.pathForCover(coverOf("KJV", server), true, false), CoverArtManager::imageNotAvailablePath());
    EXPECT_TRUE(m.pathForCover(coverOf("WEB", server), true, true).isEmpty());
    m.enqueue(coverOf("RV1909", server));
    m.enqueue(coverOf("WEB", server));  // asked again: still one queued request for it
    ASSERT_TRUE(waitFor([&] { return rec.count(kDone) == 3; }));
    // KJV was in transfer; of the two queued, the most recently asked-for (WEB) came first.
    EXPECT_EQ(rec.received[1].userInfo.value("productid").toString(), QStringLiteral("WEB"));
    EXPECT_EQ(rec.received[2].userInfo.value("productid").toString(), QStringLiteral("RV1909"));
    const QString kjv = m.pathForCover(coverOf("KJV", server), true, true);
    ASSERT_FALSE(kjv.isEmpty());
    QFile f(kjv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("\x89PNG"));

    // A cover the server does not have: no file, remembered, not asked for again.
    m.enqueue(coverOf("NoSuchBook", server));
    ASSERT_TRUE(waitFor([&] { return m.isKnownMiss(coverOf("NoSuchBook", server)); }));
    EXPECT_TRUE(m.pathForCover(coverOf("NoSuchBook", server), true, true).isEmpty());
    EXPECT_TRUE(TestSupport::waitForQueuedWork());
    EXPECT_EQ(rec.count(kDone), 3);

    // A reply that is no picture is not stored.
    ASSERT_TRUE(server.fault(QStringLiteral("http.garbage=1")));
    m.enqueue(coverOf("KJV", server, "72x72"));
    ASSERT_TRUE(waitFor([&] { return !m.currentlyDownloading().has_value(); }));
    EXPECT_TRUE(m.pathForCover(coverOf("KJV", server, "72x72"), false, true).isEmpty());
}

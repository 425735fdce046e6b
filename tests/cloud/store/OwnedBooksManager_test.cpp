#include "StoreTestSupport.h"

#include "cloud/store/OwnedBooksManager.h"
#include "cloud/store/StoreNotifications.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

using namespace qs::cloud;
using namespace store_test;

namespace {

const QString kStarted = StoreNotifications::qsOwnedBooksListStartedDownloading;
const QString kDone = StoreNotifications::qsOwnedBooksListFinishedDownloading;
const QString kFailed = StoreNotifications::qsOwnedBooksListFinishedDownloadingWithError;

bool refreshAndWait(OwnedBooksManager& m, const standin_test::Server& server, Recorder& rec,
    const WebScriptCaller& caller = demoCaller())
{
    const int before = rec.count(kDone) + rec.count(kFailed);
    m.refresh(caller, {}, scriptUrl(server));
    return waitFor([&] { return rec.count(kDone) + rec.count(kFailed) > before; });
}

// How many products of every type the manager lists.
qsizetype ownedCount(const OwnedBooksManager& m)
{
    return m.ownedBooksArraySortedBy(1, OwnedBooksManager::kAllTypes).size();
}

}  // namespace

TEST(OwnedBooksManager, TypeFilterAndMasks)
{
    EXPECT_EQ(OwnedBooksManager::typeFilter(3), QStringLiteral("/BIBLES/COMMENTARIES/"));
    EXPECT_EQ(OwnedBooksManager::typeFilter(0), QStringLiteral("/"));
    EXPECT_EQ(OwnedBooksManager::typeFilter(63),
        QStringLiteral("/BIBLES/COMMENTARIES/DEVOTIONALS/DICTIONARIES/OTHER/KESTRA/"));
}

TEST(OwnedBooksManager, CacheRoundTripAndSortingWithoutNetwork)
{
    standin_test::ensureApplication();
    QTemporaryDir dir;
    Services services;
    const QString cache = dir.filePath(QStringLiteral("Owned Books/ownedbooks.xml"));
    {
        OwnedBooksManager missing(cache, services.center, services.defaults);
        EXPECT_EQ(ownedCount(missing), 0);
    }
    QDir().mkpath(dir.filePath(QStringLiteral("Owned Books")));
    QFile f(cache);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    // Two products in reverse name order, one dropped (no id), one dropped (1/13), one of another type,
    // and a broken tail that must be ignored.
    f.write("<product><productid>B</productid><productname>beta</productname><pubid>5</pubid><bookid>2</bookid>"
            "<producttype>BIBLES</producttype><file><filename>b.tvk</filename><filedate>2024-3-4 5:6:7</filedate>"
            "<filesize>123</filesize></file><autoinstall>yes</autoinstall></product>\n"
            "<product><productid>A</productid><productname>Alpha</productname><pubid>5</pubid><bookid>1</bookid>"
            "<producttype>BIBLES</producttype><filename>a.tvk</filename><filesize>9</filesize></product>"
            "<product><productname>no id</productname></product>"
            "<product><productid>X</productid><pubid>1</pubid><bookid>13</bookid></product>"
            "<product><productid>C</productid><productname>c</productname><producttype>OTHER</producttype></product>"
            "<customer><firstname>D</firstname></customer><product><productid>broken");
    f.close();
    OwnedBooksManager m(cache, services.center, services.defaults);
    ASSERT_EQ(ownedCount(m), 3);
    EXPECT_EQ(m.ownedBooksArraySortedBy(0, 1).size(), 2);
    EXPECT_TRUE(m.ownedBooksArraySortedBy(0, 0).isEmpty());

    const QList<OwnedBook> byName = m.ownedBooksArraySortedBy(0, 1);
    ASSERT_EQ(byName.size(), 2);
    EXPECT_EQ(byName[0].productId, QStringLiteral("A"));
    EXPECT_EQ(byName[1].fileName, QStringLiteral("b.tvk"));
    EXPECT_EQ(byName[1].fileSize, 123);
    EXPECT_EQ(byName[1].fileDateString, QStringLiteral("2024-3-4 5:6:7"));
    EXPECT_EQ(byName[1].fileDate, QDateTime(QDate(2024, 3, 4), QTime(5, 6, 7), QTimeZone::utc()));
    EXPECT_TRUE(byName[1].autoInstall);
    EXPECT_FALSE(byName[0].autoInstall);
    const QList<OwnedBook> other = m.ownedBooksArraySortedBy(7, 63);
    ASSERT_EQ(other.size(), 3);
    EXPECT_EQ(other[0].productId, QStringLiteral("C"));  // reverse list order
    ASSERT_EQ(m.arrayOfAutoinstallBooks().size(), 1);

    // Written back and read again: the same products, the date kept, the customer's block with them.
    ASSERT_TRUE(m.saveToCache());
    QFile written(cache);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("<customer><firstname>D</firstname></customer>"));
    OwnedBooksManager again(cache, services.center, services.defaults);
    ASSERT_EQ(ownedCount(again), 3);
    EXPECT_EQ(again.ownedBooksArraySortedBy(0, 1)[1].fileDate, byName[1].fileDate);
}

TEST(OwnedBooksManager, ListsTheDemoAccountsBooksAndKeepsThemOnFailure)
{
    if (!standin_test::haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    QTemporaryDir dir;
    Services services;
    const QString cache = dir.filePath(QStringLiteral("ownedbooks.xml"));
    OwnedBooksManager m(cache, services.center, services.defaults);
    Recorder rec(services.center, {kStarted, kDone, kFailed});

    ASSERT_TRUE(refreshAndWait(m, server, rec));
    ASSERT_EQ(rec.count(kDone), 1)
        << rec.named(kFailed).value(0).userInfo.value("NSLocalizedFailureReason").toString().toStdString();
    EXPECT_EQ(rec.count(kStarted), 1);
    EXPECT_FALSE(m.isRefreshing());
    const int total = int(ownedCount(m));
    EXPECT_GE(total, 2);
    EXPECT_TRUE(rec.named(kDone)[0].userInfo.value(QStringLiteral("message")).toString().startsWith("You own"));
    const QList<OwnedBook> books = m.ownedBooksArraySortedBy(1, OwnedBooksManager::kAllTypes);
    ASSERT_EQ(books.size(), total);
    const auto kjv =
        std::find_if(books.cbegin(), books.cend(), [](const OwnedBook& b) { return b.productId == "KJV"; });
    ASSERT_NE(kjv, books.cend());
    EXPECT_EQ(kjv->fileName, QStringLiteral("KJV.tvk"));
    EXPECT_EQ(kjv->fileSize, QFileInfo(QStringLiteral(QS_BINARY_DIR "/library/KJV.tvk")).size());
    EXPECT_EQ(kjv->fileSha256.size(), 64);
    EXPECT_TRUE(QFile::exists(cache));
    EXPECT_EQ(ownedCount(OwnedBooksManager(cache, services.center, services.defaults)), total);

    // A server failure: the failure-code message, the list kept and left unconfirmed, cache untouched.
    const QByteArray cached = [&] {
        QFile f(cache);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    ASSERT_TRUE(server.fault(QStringLiteral("http.status=500")));
    ASSERT_TRUE(refreshAndWait(m, server, rec));
    ASSERT_EQ(rec.count(kFailed), 1);
    const QVariantMap info = rec.named(kFailed)[0].userInfo;
    EXPECT_EQ(
        info.value("NSLocalizedFailureReason").toString(), QStringLiteral("The server returned failure code 500."));
    EXPECT_EQ(info.value("NSLocalizedDescription").toString(),
        QStringLiteral("There was a problem updating the list of books you own."));
    EXPECT_EQ(ownedCount(m), total);
    QFile f(cache);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), cached);

    // The server's error text (a wrong password) and a garbage reply.
    WebScriptCaller wrong = demoCaller();
    wrong.clearPassword = QStringLiteral("nope");
    ASSERT_TRUE(refreshAndWait(m, server, rec, wrong));
    EXPECT_EQ(rec.named(kFailed).last().userInfo.value("NSLocalizedDescription").toString(),
        QStringLiteral("Invalid customer ID or password."));
    ASSERT_TRUE(server.fault(QStringLiteral("http.garbage=1")));
    ASSERT_TRUE(refreshAndWait(m, server, rec));
    EXPECT_EQ(rec.count(kFailed), 3);
    EXPECT_TRUE(
        rec.named(kFailed).last().userInfo.value("NSLocalizedFailureReason").toString().contains("unexpected data"));

    // A good refresh confirms every product again: none is dropped as unconfirmed.
    ASSERT_TRUE(refreshAndWait(m, server, rec));
    EXPECT_EQ(rec.count(kDone), 2);
    EXPECT_EQ(ownedCount(m), total);
}

TEST(OwnedBooksManager, RefreshWhileRefreshingDoesNothing)
{
    if (!standin_test::haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(server.fault(QStringLiteral("http.stallMs=500")));
    QTemporaryDir dir;
    Services services;
    OwnedBooksManager m(dir.filePath(QStringLiteral("ownedbooks.xml")), services.center, services.defaults);
    Recorder rec(services.center, {kStarted, kDone, kFailed});
    m.refresh(demoCaller(), {}, scriptUrl(server));
    m.refresh(demoCaller(), {}, scriptUrl(server));
    EXPECT_TRUE(m.isRefreshing());
    ASSERT_TRUE(waitFor([&] { return rec.count(kDone) + rec.count(kFailed) > 0; }));
    EXPECT_EQ(rec.count(kStarted), 1);
    EXPECT_EQ(rec.count(kDone), 1);
}

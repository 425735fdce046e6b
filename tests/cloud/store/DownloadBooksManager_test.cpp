#include "StoreTestSupport.h"

#include "cloud/store/DownloadBooksManager.h"
#include "cloud/store/OwnedBooksManager.h"
#include "cloud/store/StoreNotifications.h"
#include "library/SourceManager.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace qs::cloud;
using namespace store_test;

namespace {

const QString kStarted = StoreNotifications::DownloadBooksStartedDownloading;
const QString kProgress = StoreNotifications::qsDownloadBooksProgressNotification;
const QString kDone = StoreNotifications::qsDownloadBooksFinishedDownloading;
const QString kFailed = StoreNotifications::qsDownloadBooksFinishedDownloadingWithError;

// A stand-in, the demo account's list, and an empty library over a fresh books folder.
class DownloadFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!standin_test::haveSampleLibrary())
            GTEST_SKIP() << "the sample library is not built";
        server = std::make_unique<standin_test::Server>();
        ASSERT_TRUE(server->running());
        books = dir.filePath(QStringLiteral("books"));
        QDir().mkpath(books);
        SourceManager::Folders folders;
        folders.books = books;
        folders.cache = dir.filePath(QStringLiteral("cache"));
        folders.refused = dir.filePath(QStringLiteral("refused"));
        library = std::make_unique<SourceManager>(folders, center);
        owned = std::make_unique<OwnedBooksManager>(dir.filePath(QStringLiteral("ownedbooks.xml")), center, defaults);
        Recorder rec(center, {StoreNotifications::qsOwnedBooksListFinishedDownloading});
        owned->refresh(demoCaller(), {}, scriptUrl(*server));
        ASSERT_TRUE(waitFor([&] { return rec.count(StoreNotifications::qsOwnedBooksListFinishedDownloading) == 1; }));
        manager = std::make_unique<DownloadBooksManager>(books, center, defaults);
    }

    QVariantMap requestFor(const QString& productId)
    {
        for (const OwnedBook& b : owned->ownedBooksArraySortedBy(1, OwnedBooksManager::kAllTypes))
            if (b.productId == productId)
                return DownloadBooksManager::requestForBook(b, demoCaller(), books, scriptUrl(*server));
        ADD_FAILURE() << "no product " << productId.toStdString();
        return {};
    }

    QStringList bookFiles() const { return QDir(books).entryList(QDir::Files, QDir::Name); }
    int installed() { return int(library->allSources()->count()); }

    // Runs one request to its end; the failure's user info, or an empty map on success.
    QVariantMap runFailing(const QVariantMap& request, Recorder& rec)
    {
        const int before = rec.count(kFailed) + rec.count(kDone);
        manager->enqueue(request);
        EXPECT_TRUE(waitFor([&] { return rec.count(kFailed) + rec.count(kDone) > before; }));
        EXPECT_EQ(rec.count(kDone), 0);
        return rec.named(kFailed).value(rec.count(kFailed) - 1).userInfo.value("error").toMap();
    }

    QTemporaryDir dir;
    // The centre the library and the manager are handed: the library picks up a downloaded book from
    // the notification there.
    NotificationCenter center;
    UserDefaults defaults {dir.filePath(QStringLiteral("defaults.conf"))};
    QString books;
    std::unique_ptr<standin_test::Server> server;
    std::unique_ptr<SourceManager> library;
    std::unique_ptr<OwnedBooksManager> owned;
    std::unique_ptr<DownloadBooksManager> manager;
};

}  // namespace

TEST_F(DownloadFixture, TwoBooksOneAfterTheOtherWithProgressAndOpenInTheLibrary)
{
    Recorder rec(center, {kStarted, kProgress, kDone, kFailed});
    const int before = installed();
    manager->enqueue(requestFor(QStringLiteral("KJV")));
    manager->enqueue(requestFor(QStringLiteral("WEB")));
    manager->enqueue(requestFor(QStringLiteral("KJV")));  // already queued: ignored
    EXPECT_EQ(manager->count(), 2);
    ASSERT_TRUE(waitFor([&] { return rec.count(kDone) + rec.count(kFailed) >= 2; }, 60000));
    ASSERT_EQ(rec.count(kFailed), 0) << rec.named(kFailed)[0]
                                            .userInfo.value("error")
                                            .toMap()
                                            .value("NSLocalizedFailureReason")
                                            .toString()
                                            .toStdString();
    EXPECT_EQ(manager->count(), 0);

    // Strictly one after the other: KJV started, progressed and finished before WEB started.
    QStringList order;
    for (const Notification& n : rec.received)
        if (n.name == kStarted || n.name == kDone)
            order << n.name.left(4) + n.userInfo.value("productid").toString();
    EXPECT_EQ(order, (QStringList {"DownKJV", "qsDoKJV", "DownWEB", "qsDoWEB"}));
    double last = 0;
    int kjvProgress = 0;
    for (const Notification& n : rec.named(kProgress)) {
        if (n.userInfo.value("productid").toString() != QLatin1String("KJV"))
            continue;
        const double p = n.userInfo.value("progress").toDouble();
        EXPECT_GE(p, last);
        last = p;
        ++kjvProgress;
    }
    EXPECT_GE(kjvProgress, 1);
    EXPECT_DOUBLE_EQ(last, 1.0);
    EXPECT_DOUBLE_EQ(rec.named(kDone)[0].userInfo.value("progress").toDouble(), 1.0);

    EXPECT_EQ(bookFiles(), (QStringList {"KJV.tvk", "WEB.tvk"}));
    EXPECT_EQ(installed(), before + 2);
    EXPECT_TRUE(library->isSourceInstalledWithPubID(
        requestFor("KJV").value("pubid").toLongLong(), requestFor("KJV").value("bookid").toLongLong()));
    // The files open as books.
    for (const QString& name : bookFiles())
        EXPECT_TRUE(SourceTuple::allocateSourceForFile(QDir(books).filePath(name)) != nullptr) << name.toStdString();

    // Downloading a book again takes the next free name.
    manager->enqueue(requestFor(QStringLiteral("KJV")));
    ASSERT_TRUE(waitFor([&] { return rec.count(kDone) == 3; }, 60000));
    EXPECT_TRUE(bookFiles().contains(QStringLiteral("KJV (1).tvk")));

    // An update takes the installed file's place once it reads through (checked on a worker).
    QVariantMap update = requestFor(QStringLiteral("KJV"));
    update.insert(QStringLiteral("replacefile"), QDir(books).filePath(QStringLiteral("KJV.tvk")));
    const QStringList filesBefore = bookFiles();
    manager->enqueue(update);
    ASSERT_TRUE(waitFor([&] { return rec.count(kDone) == 4; }, 60000));
    EXPECT_EQ(rec.count(kFailed), 0);
    EXPECT_EQ(bookFiles(), filesBefore);
}

TEST_F(DownloadFixture, TruncatedBodyIsRefusedAndLeavesTheLibraryAsItWas)
{
    Recorder rec(center, {kDone, kFailed});
    const int before = installed();
    ASSERT_TRUE(server->fault(QStringLiteral("http.truncate=5000&http.path=booklist")));
    const QVariantMap error = runFailing(requestFor(QStringLiteral("WEB")), rec);
    EXPECT_TRUE(error.value("NSLocalizedFailureReason").toString().contains("incomplete"))
        << error.value("NSLocalizedFailureReason").toString().toStdString();
    EXPECT_TRUE(bookFiles().isEmpty());
    EXPECT_EQ(installed(), before);
}

TEST_F(DownloadFixture, WrongChecksumWrongSizeAndNotABookAreRefused)
{
    Recorder rec(center, {kDone, kFailed});
    const int before = installed();
    QVariantMap bad = requestFor(QStringLiteral("WEB"));
    bad.insert(QStringLiteral("filesha256"), QString(64, QLatin1Char('0')));
    QVariantMap error = runFailing(bad, rec);
    EXPECT_TRUE(error.value("NSLocalizedFailureReason").toString().contains("checksum"));

    QVariantMap sized = requestFor(QStringLiteral("WEB"));
    sized.insert(QStringLiteral("filesize"), sized.value("filesize").toLongLong() + 1);
    error = runFailing(sized, rec);
    EXPECT_TRUE(error.value("NSLocalizedFailureReason").toString().contains("bytes"));

    // Garbage that is the announced length and matches no digest the request names.
    QVariantMap garbage = requestFor(QStringLiteral("WEB"));
    garbage.remove(QStringLiteral("filesha256"));
    garbage.remove(QStringLiteral("filesize"));
    ASSERT_TRUE(server->fault(QStringLiteral("http.garbage=1&http.path=booklist")));
    error = runFailing(garbage, rec);
    EXPECT_FALSE(error.value("NSLocalizedDescription").toString().isEmpty());

    EXPECT_TRUE(bookFiles().isEmpty());
    EXPECT_EQ(installed(), before);
}

TEST_F(DownloadFixture, NamesThatLeaveTheBooksFolderAreRefused)
{
    Recorder rec(center, {kStarted, kDone, kFailed});
    QVariantMap escape = requestFor(QStringLiteral("WEB"));
    escape.insert(QStringLiteral("targetfile"), books + QStringLiteral("/../escaped.tvk"));
    QVariantMap error = runFailing(escape, rec);
    EXPECT_TRUE(error.value("NSLocalizedFailureReason").toString().contains("outside the books folder"));

    QVariantMap serverName = requestFor(QStringLiteral("KJV"));
    serverName.insert(QStringLiteral("filename"), QStringLiteral("../KJV.tvk"));
    error = runFailing(serverName, rec);
    EXPECT_TRUE(error.value("NSLocalizedFailureReason").toString().contains("outside the books folder"));

    OwnedBook hostile;
    hostile.productId = QStringLiteral("../../evil");
    hostile.fileName = QStringLiteral("WEB.tvk");
    error = runFailing(DownloadBooksManager::requestForBook(hostile, demoCaller(), books, scriptUrl(*server)), rec);
    EXPECT_TRUE(error.value("NSLocalizedFailureReason").toString().contains("outside the books folder"));

    EXPECT_EQ(rec.count(kStarted), 0);  // nothing was requested or written
    EXPECT_TRUE(bookFiles().isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("escaped.tvk"))));
}

TEST_F(DownloadFixture, ServerErrorsAndCancellation)
{
    Recorder rec(center, {kStarted, kDone, kFailed});
    QVariantMap unknown = requestFor(QStringLiteral("WEB"));
    unknown.insert(QStringLiteral("filename"), QStringLiteral("nothere.tvk"));
    QVariantMap error = runFailing(unknown, rec);
    EXPECT_TRUE(error.value("NSLocalizedDescription").toString().contains("not in your library"));

    ASSERT_TRUE(server->fault(QStringLiteral("http.status=503&http.path=booklist")));
    error = runFailing(requestFor(QStringLiteral("WEB")), rec);
    EXPECT_EQ(
        error.value("NSLocalizedFailureReason").toString(), QStringLiteral("The server returned failure code 503."));

    // A cancelled download fails as such; the queued one behind it starts after the pause.
    ASSERT_TRUE(server->fault(QStringLiteral("http.stallMs=3000&http.path=booklist")));
    const int failedBefore = rec.count(kFailed);
    const int startedBefore = rec.count(kStarted);
    manager->enqueue(requestFor(QStringLiteral("WEB")));
    manager->enqueue(requestFor(QStringLiteral("KJV")));
    ASSERT_TRUE(waitFor([&] { return rec.count(kStarted) == startedBefore + 1; }));
    EXPECT_EQ(rec.named(kStarted).last().userInfo.value("productid").toString(), QStringLiteral("WEB"));
    manager->cancel(requestFor(QStringLiteral("WEB")));
    ASSERT_EQ(rec.count(kFailed), failedBefore + 1);
    EXPECT_EQ(rec.named(kFailed).last().userInfo.value("error").toMap().value("NSLocalizedDescription").toString(),
        QStringLiteral("The download was canceled."));
    EXPECT_EQ(manager->count(), 1);
    ASSERT_TRUE(waitFor([&] { return rec.count(kDone) == 1; }, 30000));
    EXPECT_EQ(rec.named(kDone)[0].userInfo.value("productid").toString(), QStringLiteral("KJV"));
    EXPECT_EQ(bookFiles(), QStringList {"KJV.tvk"});
}

TEST_F(DownloadFixture, CancelAllStopsTheTransferAndEmptiesTheQueueWithoutAFailure)
{
    Recorder rec(center, {kStarted, kDone, kFailed});
    ASSERT_TRUE(server->fault(QStringLiteral("http.stallMs=3000&http.path=booklist")));
    manager->enqueue(requestFor(QStringLiteral("WEB")));
    manager->enqueue(requestFor(QStringLiteral("KJV")));
    ASSERT_TRUE(waitFor([&] { return rec.count(kStarted) == 1; }));
    manager->cancelAll();
    EXPECT_EQ(manager->count(), 0);
    EXPECT_EQ(rec.count(kFailed), 0);
    EXPECT_TRUE(bookFiles().isEmpty());

    // The abandoned reply reaches none of the handlers: the next download runs alone to its end.
    manager->enqueue(requestFor(QStringLiteral("KJV")));
    ASSERT_TRUE(waitFor([&] { return rec.count(kDone) == 1; }, 30000));
    EXPECT_EQ(rec.count(kFailed), 0);
    EXPECT_EQ(rec.named(kDone)[0].userInfo.value("productid").toString(), QStringLiteral("KJV"));
    EXPECT_EQ(bookFiles(), QStringList {"KJV.tvk"});
    EXPECT_EQ(manager->count(), 0);
}

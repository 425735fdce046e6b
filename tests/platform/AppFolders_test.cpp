#include "platform/AppFolders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

// Every folder is redirected into a temporary home before anything asks for one.
struct RedirectedHome {
    QTemporaryDir dir;
    RedirectedHome()
    {
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
        qputenv("XDG_CACHE_HOME", (dir.path() + "/cache").toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
    }
};
RedirectedHome& home()
{
    static RedirectedHome h;
    return h;
}
const bool redirected = (home(), true);

QString under(const QString& rel)
{
    return home().dir.path() + "/" + rel;
}

TEST(AppFoldersTest, FoldersLieInTheRedirectedLocationsAndAreCreated)
{
    ASSERT_TRUE(redirected);
    const QString id = AppFolders::bundleIdentifier();
    EXPECT_EQ(AppFolders::privateDataDirectory(), under("data/" + id));
    EXPECT_EQ(AppFolders::cacheDirectory(), under("cache/" + id));
    EXPECT_EQ(AppFolders::localCacheDirectory(), AppFolders::cacheDirectory());
    EXPECT_EQ(AppFolders::publicDataDirectory(), under("Documents"));
    EXPECT_EQ(AppFolders::downloadsDirectory(), under("Downloads"));
    for (const QString& p : {AppFolders::privateDataDirectory(), AppFolders::cacheDirectory(),
             AppFolders::publicDataDirectory(), AppFolders::downloadsDirectory()})
        EXPECT_TRUE(QFileInfo(p).isDir()) << p.toStdString();
}

TEST(AppFoldersTest, PrivateFolderIsRecreatedButBooksFolderIsKept)
{
    const QString books = AppFolders::booksDirectory();
    EXPECT_EQ(books, AppFolders::privateDataDirectory() + "/Tavrosen Books");
    EXPECT_TRUE(QFileInfo(books).isDir());

    ASSERT_TRUE(QDir(AppFolders::privateDataDirectory()).removeRecursively());
    EXPECT_TRUE(QFileInfo(AppFolders::privateDataDirectory()).isDir());  // made again on the call
    EXPECT_EQ(AppFolders::booksDirectory(), books);                      // same path, not recreated
    EXPECT_FALSE(QFileInfo::exists(books));
}

TEST(AppFoldersTest, BookImageCacheIsNamedFromTheIdentityAndNotCreated)
{
    const QString path = AppFolders::bookImageCache(
        {{AppFolders::AppFoldersPublisherIDKey, 1}, {AppFolders::AppFoldersBookIDKey, qint64(24)},
            {AppFolders::AppFoldersEditionNumberKey, "3"}, {AppFolders::AppFoldersRevisionNumberKey, 0}});
    EXPECT_EQ(path, AppFolders::cacheDirectory() + "/TVK Substorage Files/1/24-3-0");
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_FALSE(QFileInfo::exists(AppFolders::cacheDirectory() + "/TVK Substorage Files"));
}

}  // namespace

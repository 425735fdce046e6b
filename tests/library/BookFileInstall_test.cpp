#include "library/BookFileInstall.h"

#include "LibraryTestSupport.h"
#include "library/SourceManager.h"
#include "support/BookFileDamage.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace LibraryTest;

namespace {

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

}  // namespace

TEST(BookFileInstall, AFailedCopyLeavesTheInstalledBookAndNoPartialFile)
{
    QTemporaryDir dir;
    const QString books = dir.filePath(QStringLiteral("books"));
    const QString installed = books + QStringLiteral("/Small.tvk");
    ASSERT_TRUE(writeSmallBook(installed, 900, 1, 1, 1, "Installed"));
    const QByteArray before = readBytes(installed);

    // Not a book, half a book, no file, a folder, a FIFO: the installed book stays, nothing is left.
    const QString garbage = dir.filePath(QStringLiteral("garbage.tvk"));
    ASSERT_TRUE(writeBytes(garbage, QByteArray(4096, 'x')));
    const QString half = dir.filePath(QStringLiteral("half.tvk"));
    ASSERT_TRUE(writeBytes(half, before.left(before.size() / 2)));
    const QString fifo = dir.filePath(QStringLiteral("fifo.tvk"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& source : {garbage, half, dir.filePath(QStringLiteral("missing.tvk")), dir.path(), fifo}) {
        QString error;
        EXPECT_FALSE(BookFileInstall::installCopy(source, installed, &error)) << source.toStdString();
        EXPECT_FALSE(error.isEmpty()) << source.toStdString();
        EXPECT_EQ(readBytes(installed), before) << source.toStdString();
        EXPECT_EQ(filesIn(books), QStringList {"Small.tvk"}) << source.toStdString();
    }

    // A whole book replaces it in one step, readable by everyone, writable by the owner.
    const QString update = dir.filePath(QStringLiteral("update.tvk"));
    ASSERT_TRUE(writeSmallBook(update, 900, 1, 2, 1, "Updated"));
    QString error;
    ASSERT_TRUE(BookFileInstall::installCopy(update, installed, &error)) << error.toStdString();
    EXPECT_EQ(readBytes(installed), readBytes(update));
    EXPECT_EQ(filesIn(books), QStringList {"Small.tvk"});
    EXPECT_TRUE(QFileInfo(installed).permissions().testFlag(QFile::ReadOther));
    // Into a folder not made yet, and onto itself (nothing to do).
    ASSERT_TRUE(BookFileInstall::installCopy(update, books + QStringLiteral("/new/Other.tvk"), &error));
    EXPECT_TRUE(BookFileInstall::installCopy(installed, installed, &error));
    EXPECT_EQ(readBytes(installed), readBytes(update));
}

// KJV with 2,000 bytes changed a megabyte in still opens, but its text from 2 Kings 9 on is gone:
// such a copy never replaces an installed book.
TEST(BookFileInstall, ADamagedCopyThatStillOpensDoesNotReadThroughAndReplacesNothing)
{
    QTemporaryDir dir;
    const QByteArray good = readBytes(sampleBook(QStringLiteral("KJV.tvk")));
    ASSERT_GT(good.size(), 1002000);
    QByteArray bytes = good;
    for (int i = 1000000; i < 1002000; ++i)
        bytes[i] = char(bytes[i] ^ 0x5A);
    const QString damaged = dir.filePath(QStringLiteral("damaged/KJV.tvk"));
    ASSERT_TRUE(writeBytes((QDir().mkpath(dir.filePath(QStringLiteral("damaged"))), damaged), bytes));
    const QString installed = dir.filePath(QStringLiteral("books/KJV.tvk"));
    ASSERT_TRUE(writeBytes((QDir().mkpath(dir.filePath(QStringLiteral("books"))), installed), good));

    QString reason;
    EXPECT_TRUE(BookFileInstall::readsThrough(installed, &reason)) << reason.toStdString();
    EXPECT_FALSE(BookFileInstall::readsThrough(damaged, &reason));
    EXPECT_TRUE(reason.startsWith(QStringLiteral("its section "))) << reason.toStdString();
    EXPECT_FALSE(BookFileInstall::haveSameContents(damaged, installed));
    EXPECT_TRUE(BookFileInstall::haveSameContents(sampleBook(QStringLiteral("KJV.tvk")), installed));

    // A check of the opening alone lets it through; the read-through check keeps the installed file.
    QString error;
    EXPECT_FALSE(BookFileInstall::installCopy(damaged, installed, &error, BookFileInstall::Check::ReadsThrough));
    EXPECT_TRUE(error.contains(QStringLiteral("cannot be read"))) << error.toStdString();
    EXPECT_EQ(readBytes(installed), good);
    EXPECT_EQ(filesIn(dir.filePath(QStringLiteral("books"))), QStringList {"KJV.tvk"});
    const QString fresh = dir.filePath(QStringLiteral("fresh/KJV.tvk"));
    EXPECT_TRUE(BookFileInstall::installCopy(damaged, fresh, &error)) << error.toStdString();
}

// 3,000 random bytes in a newer revision's contents, verse table or concordance leave every section
// readable, yet the reader would show contents it cannot read, go to the wrong verse or find words
// in the wrong sections: such a copy does not read through and replaces nothing. Every sample book
// and every book that comes with the application reads through.
TEST(BookFileInstall, ACopyWhoseContentsTablesOrConcordanceAreDamagedDoesNotReadThrough)
{
    QStringList books;
    for (const QString& name : sampleBooks())
        books.append(sampleBook(name));
    const QDir bundled(QStringLiteral(QS_BINARY_DIR "/books"));
    for (const QString& name : bundled.entryList({QStringLiteral("*.tvk")}, QDir::Files))
        books.append(bundled.filePath(name));
    ASSERT_GT(books.size(), sampleBooks().size());
    for (const QString& path : books) {
        QString reason;
        EXPECT_TRUE(BookFileInstall::readsThrough(path, &reason)) << path.toStdString() << ": " << reason.toStdString();
    }
    QTemporaryDir dir;
    const QString installed = dir.filePath(QStringLiteral("books/Small.tvk"));
    ASSERT_TRUE(writeSmallBook(installed, 9100, 7, 1, 1, "Small Book", 2485));
    const QByteArray before = readBytes(installed);
    struct Damage {
        const char* stream;
        QString book;  // a Bible for its verse table
        const char* named;
    };
    const QString small = dir.filePath(QStringLiteral("newer/Small.tvk"));
    ASSERT_TRUE(writeSmallBook(small, 9100, 7, 1, 2, "Small Book", 2485));
    for (const Damage& d : {Damage {"TOFC", small, "its contents (entry "}, Damage {"CONC", small, "its concordance"},
             Damage {"SYNC", sampleBook(QStringLiteral("KJV.tvk")), "its verse table"}}) {
        const QString damaged = dir.filePath(QStringLiteral("damaged/%1.tvk").arg(QLatin1String(d.stream)));
        QDir().mkpath(QFileInfo(damaged).absolutePath());
        QFile::remove(damaged);
        ASSERT_TRUE(QFile::copy(d.book, damaged));
        QString reason;
        ASSERT_TRUE(BookFileInstall::readsThrough(damaged, &reason)) << reason.toStdString();
        ASSERT_TRUE(TestSupport::damageStream(damaged, d.stream, 3000)) << d.stream;
        EXPECT_FALSE(BookFileInstall::readsThrough(damaged, &reason)) << d.stream;
        EXPECT_TRUE(reason.startsWith(QLatin1String(d.named)) && reason.endsWith(QStringLiteral("cannot be read")))
            << reason.toStdString();
        QString error;
        EXPECT_FALSE(BookFileInstall::installCopy(damaged, installed, &error, BookFileInstall::Check::ReadsThrough));
        EXPECT_EQ(error, QStringLiteral("%1 is damaged: %2.").arg(damaged, reason));
        EXPECT_EQ(readBytes(installed), before);
        EXPECT_EQ(filesIn(dir.filePath(QStringLiteral("books"))), QStringList {"Small.tvk"});
    }
}

TEST(BookFileInstall, PathsAreComparedAsTheFilesTheyName)
{
    QTemporaryDir dir;
    const QString books = dir.filePath(QStringLiteral("books"));
    const QString file = books + QStringLiteral("/sub/A.tvk");
    ASSERT_TRUE(writeBytes((QDir().mkpath(books + QStringLiteral("/sub")), file), "a"));
    const QString link = dir.filePath(QStringLiteral("link.tvk"));
    ASSERT_TRUE(QFile::link(file, link));
    const QString roundabout = books + QStringLiteral("/sub/../sub/A.tvk");
    EXPECT_TRUE(BookFileInstall::isInsideFolder(file, books));
    EXPECT_TRUE(BookFileInstall::isInsideFolder(link, books));
    EXPECT_TRUE(BookFileInstall::isInsideFolder(roundabout, books));
    EXPECT_TRUE(BookFileInstall::isSameFile(link, file));
    EXPECT_TRUE(BookFileInstall::isSameFile(roundabout, file));
    EXPECT_FALSE(BookFileInstall::isInsideFolder(books, books));
    EXPECT_FALSE(BookFileInstall::isInsideFolder(dir.filePath(QStringLiteral("books2/A.tvk")), books));
    const QString sibling = dir.filePath(QStringLiteral("books2/A.tvk"));
    ASSERT_TRUE(writeBytes((QDir().mkpath(dir.filePath(QStringLiteral("books2"))), sibling), "a"));
    EXPECT_FALSE(BookFileInstall::isInsideFolder(sibling, books)) << "a folder whose name starts alike";
    EXPECT_FALSE(BookFileInstall::isSameFile(sibling, file));
    EXPECT_FALSE(
        BookFileInstall::isSameFile(dir.filePath(QStringLiteral("none")), dir.filePath(QStringLiteral("none"))));
    EXPECT_EQ(BookFileInstall::partialPathFor(file), file + QStringLiteral(".tmp"));
}

TEST(BookFileInstall, TheSweepTakesOnlyPartialBookFiles)
{
    QTemporaryDir dir;
    const QString books = dir.filePath(QStringLiteral("books"));
    QDir().mkpath(books + QStringLiteral("/deep/er"));
    for (const char* name : {"A.tvk.tmp", ".B.x1y2z3.tvk.tmp", "deep/er/C.tvk.tmp", "D.tvk", "E.tmp", "F.tvk.tmp.txt"})
        ASSERT_TRUE(writeBytes(books + QLatin1Char('/') + QLatin1String(name), "x"));
    QStringList removed = BookFileInstall::sweepPartialFiles(books);
    removed.sort();
    EXPECT_EQ(
        removed, (QStringList {books + "/.B.x1y2z3.tvk.tmp", books + "/A.tvk.tmp", books + "/deep/er/C.tvk.tmp"}));
    EXPECT_EQ(filesIn(books), (QStringList {"D.tvk", "E.tmp", "F.tvk.tmp.txt"}));
    EXPECT_TRUE(BookFileInstall::sweepPartialFiles(QString()).isEmpty());
}

TEST(BookFileInstall, TheLibraryOpensRegularFilesOnly)
{
    QTemporaryDir dir;
    SourceManager::Folders folders;
    folders.books = dir.filePath(QStringLiteral("books"));
    folders.cache = dir.filePath(QStringLiteral("cache"));
    folders.refused = dir.filePath(QStringLiteral("refused"));
    ASSERT_TRUE(writeSmallBook(folders.books + QStringLiteral("/Small.tvk"), 900, 1));
    const QString fifo = folders.books + QStringLiteral("/Hang.tvk");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    SourceManager library(folders);
    EXPECT_EQ(library.allSources()->count(), 1);
    EXPECT_TRUE(QFileInfo(fifo).exists()) << "not moved aside: it is no refused book";
    ASSERT_EQ(library.skippedFiles().size(), 1);
    EXPECT_EQ(library.skippedFiles()[0].reason, QStringLiteral("not a regular file"));
    // Named directly (a download or a hand-over), it is refused without being read.
    QString reason;
    EXPECT_EQ(SourceTuple::allocateSourceForFile(fifo, &reason), nullptr);
    EXPECT_EQ(reason, QStringLiteral("not a regular file"));
    EXPECT_EQ(library.addNewSource(fifo), nullptr);
}

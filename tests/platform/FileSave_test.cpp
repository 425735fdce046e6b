// Saving files when the disk cannot take them: /dev/full and a file-size limit stand in for a full
// disk (a short write, then errors). The old file must survive every failure, and the user is told
// once per kind of file until a save of it succeeds again.
#include "platform/FileSave.h"

#include "platform/FileWriteQueue.h"

#include "platform/KeyedArchive.h"
#include "platform/PropertyList.h"
#include "platform/SaveFailureAlerts.h"
#include "platform/UserDefaults.h"
#include "support/RecordingAlerts.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <future>
#include <mutex>

#include <sys/resource.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Files written while one lives cannot grow past `bytes`: writes beyond fail as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }
    bool ok() const { return m_ok; }

private:
    rlimit m_old {};
    bool m_ok = false;
};

class FileSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_alerts = std::make_shared<RecordingAlerts>();
        Alerts::setShared(m_alerts);
        SaveFailureAlerts::reset();
    }
    void TearDown() override
    {
        SaveFailureAlerts::reset();
        Alerts::setShared(nullptr);
    }
    QString file(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    std::shared_ptr<RecordingAlerts> m_alerts;
};

TEST_F(FileSaveTest, WritesExactBytesIntoNewFoldersAndReplacesWhole)
{
    const QString path = file("a/b/c.bin");
    QByteArray bytes("\x00\x01\xff\r\n", 5);
    ASSERT_TRUE(FileSave::writeFile(path, bytes));
    EXPECT_EQ(readAll(path), bytes);
    // In pieces, replacing a longer file: nothing of the old one is left.
    ASSERT_TRUE(FileSave::writeFile(path, QByteArray(100000, 'x')));
    FileSave save(path);
    ASSERT_TRUE(save.open());
    ASSERT_TRUE(save.write("one "));
    ASSERT_TRUE(save.write(QByteArray()));
    ASSERT_TRUE(save.write("two"));
    EXPECT_EQ(readAll(path).size(), 100000);  // untouched until the commit
    ASSERT_TRUE(save.commit());
    EXPECT_EQ(readAll(path), QByteArray("one two"));
    EXPECT_TRUE(m_alerts->shown().isEmpty());
}

TEST_F(FileSaveTest, AnUncommittedOrCancelledSaveLeavesTheTargetAndNoTemporaryFile)
{
    const QString path = file("keep.txt");
    ASSERT_TRUE(FileSave::writeFile(path, "old"));
    {
        FileSave save(path);
        ASSERT_TRUE(save.open());
        ASSERT_TRUE(save.write("new"));
    }
    {
        FileSave save(path);
        ASSERT_TRUE(save.open());
        ASSERT_TRUE(save.write("new"));
        save.cancel();
        EXPECT_FALSE(save.write("more"));
        EXPECT_FALSE(save.commit());
    }
    EXPECT_EQ(readAll(path), QByteArray("old"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"keep.txt"});
    EXPECT_TRUE(m_alerts->shown().isEmpty());
    // Writing before opening is refused, not a crash.
    FileSave unopened(path);
    EXPECT_FALSE(unopened.write("x"));
    EXPECT_FALSE(unopened.commit());
}

TEST_F(FileSaveTest, AShortWriteOnAFullDiskKeepsTheOldFileWhole)
{
    const QString path = file("layout.plist");
    const QByteArray old(3000, 'o');
    ASSERT_TRUE(FileSave::writeFile(path, old));
    QString why;
    {
        // Smaller than the write buffer: the write itself "succeeds", only the flush finds out.
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(FileSave::writeFile(path, QByteArray(10000, 'n'), QStringLiteral("your screen layout"), &why));
    }
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(readAll(path), old);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"layout.plist"});

    // Property lists and keyed archives go through the same save.
    const QString plist = file("list.plist");
    ASSERT_TRUE(PropertyList::writeFile(plist, QVariantMap {{"v", 1}}));
    const QByteArray before = readAll(plist);
    PropertyList::Error error;
    {
        FileSizeLimit limit(4096);
        EXPECT_FALSE(PropertyList::writeFile(plist, QVariantMap {{"v", QString(6000, u'x')}}, &error));
    }
    EXPECT_EQ(error.status, PropertyList::Status::WriteFailed);
    EXPECT_EQ(readAll(plist), before);
}

TEST_F(FileSaveTest, FailuresAreSaidOncePerKindUntilASaveOfItSucceeds)
{
    const QString layout = file("layout.plist");
    const QString other = file("other.txt");
    ASSERT_TRUE(FileSave::writeFile(layout, "old"));
    {
        FileSizeLimit limit(1024);
        for (int retry = 0; retry < 3; ++retry)
            EXPECT_FALSE(FileSave::writeFile(layout, QByteArray(8000, 'n'), QStringLiteral("your screen layout")));
        EXPECT_FALSE(FileSave::writeFile(other, QByteArray(8000, 'n'), QStringLiteral("the reading history")));
        // A caller that says it itself is not said again.
        EXPECT_FALSE(FileSave::writeFile(
            other, QByteArray(8000, 'n'), QStringLiteral("mine"), nullptr, FileSave::Reporting::CallerTells));
    }
    // A record the database refused: no file to name, and where its text stays instead.
    SaveFailureAlerts::reportFailure(QStringLiteral("your note on John 3:16"), QString(),
        QStringLiteral("readonly database"), false, QStringLiteral("Its text stays in the editor"));
    // Nothing is shown inside a save; the failures wait for the main thread, and are said together.
    EXPECT_TRUE(m_alerts->shown().isEmpty());
    SaveFailureAlerts::showPending();
    ASSERT_EQ(m_alerts->shown().size(), 1);
    EXPECT_EQ(m_alerts->shown()[0].messageText,
        QStringLiteral(
            "Quillstead could not save your screen layout, the reading history and your note on John 3:16."));
    EXPECT_EQ(m_alerts->shown()[0].style, AlertStyle::Critical);
    // Each file with its own words: only the layout had a copy saved before, kept.
    const QString said = m_alerts->shown()[0].informativeText;
    const qsizetype history = said.indexOf(QStringLiteral("The reading history: File too large."));
    ASSERT_GT(history, 0) << said.toStdString();
    EXPECT_TRUE(said.startsWith(QStringLiteral("Your screen layout: File too large. File: ") + layout))
        << said.toStdString();
    EXPECT_TRUE(said.left(history).contains(QStringLiteral("The copy saved before is kept")));
    EXPECT_TRUE(said.mid(history).contains(other));
    EXPECT_FALSE(said.mid(history).contains(QStringLiteral("copy saved before")));
    EXPECT_TRUE(said.contains(
        QStringLiteral("\nYour note on John 3:16: readonly database. Its text stays in the editor.\n\nCheck ")))
        << said.toStdString();
    EXPECT_EQ(SaveFailureAlerts::alertFor(
                  QStringLiteral("your note"), QString(), QStringLiteral("why"), true, QStringLiteral("It stays."))
                  .informativeText,
        QStringLiteral("why.\n\nIt stays. Check that the disk has free space and that the folder can be written. "
                       "Until a save succeeds again, further failures to save this are written to the log only."));
    EXPECT_EQ(said.count(QStringLiteral("Check that the disk has free space")), 1);
    SaveFailureAlerts::showPending();
    EXPECT_EQ(m_alerts->shown().size(), 1);

    // A success re-arms the alert for that kind only.
    ASSERT_TRUE(FileSave::writeFile(layout, "good", QStringLiteral("your screen layout")));
    {
        FileSizeLimit limit(1024);
        EXPECT_FALSE(FileSave::writeFile(layout, QByteArray(8000, 'n'), QStringLiteral("your screen layout")));
        EXPECT_FALSE(FileSave::writeFile(other, QByteArray(8000, 'n'), QStringLiteral("the reading history")));
    }
    SaveFailureAlerts::showPending();
    ASSERT_EQ(m_alerts->shown().size(), 2);
    EXPECT_EQ(m_alerts->shown()[1].messageText, QStringLiteral("Quillstead could not save your screen layout."));
    EXPECT_EQ(readAll(layout), QByteArray("good"));
}

TEST_F(FileSaveTest, SettingsWrittenOnAFullDiskKeepThePreviousFile)
{
    const QString path = file("settings.conf");
    {
        UserDefaults defaults(path);
        for (int i = 0; i < 100; ++i)
            defaults.setString(QString(30, QChar(u'a' + i % 26)), QStringLiteral("key%1").arg(i));
    }
    const QByteArray before = readAll(path);
    ASSERT_GT(before.size(), 3000);
    {
        UserDefaults defaults(path);
        FileSizeLimit limit(before.size() + 100);
        defaults.setString(QString(2000, u'z'), QStringLiteral("big"));
        defaults.setString(QString(2000, u'y'), QStringLiteral("bigger"));
        EXPECT_EQ(readAll(path), before);
        EXPECT_FALSE(QFile::exists(path + QStringLiteral(".previous")));
    }
    SaveFailureAlerts::showPending();
    ASSERT_EQ(m_alerts->shown().size(), 1);
    EXPECT_EQ(m_alerts->shown()[0].messageText, QStringLiteral("Quillstead could not save your settings."));
    // With room again every change is written, and nothing is held aside.
    UserDefaults defaults(path);
    defaults.setString(QStringLiteral("small"), QStringLiteral("big"));
    UserDefaults reread(path);
    EXPECT_EQ(reread.stringForKey(QStringLiteral("big")), QStringLiteral("small"));
    EXPECT_EQ(reread.stringForKey(QStringLiteral("key99")), QString(30, QChar(u'a' + 99 % 26)));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".previous")));
}

TEST_F(FileSaveTest, FlushToDiskFindsTheErrorsOfADeviceThatIsFull)
{
    QFile full(QStringLiteral("/dev/full"));
    if (!full.open(QIODevice::WriteOnly))
        GTEST_SKIP() << "no /dev/full here";
    // Buffered: the write reports every byte taken; only the flush meets the full device.
    EXPECT_EQ(full.write("some bytes"), 10);
    QString why;
    EXPECT_FALSE(FileSave::flushToDisk(full, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("space"))) << why.toStdString();

    QFile fine(file("fine.txt"));
    ASSERT_TRUE(fine.open(QIODevice::WriteOnly));
    fine.write("ok");
    EXPECT_TRUE(FileSave::flushToDisk(fine, &why));
}

TEST_F(FileSaveTest, APrivateFileIsNeverReadableByOthers)
{
    const QString path = file("secret");
    FileSave save(path);
    EXPECT_FALSE(save.setPermissions(QFileDevice::ReadOwner));  // not open yet
    ASSERT_TRUE(save.open());
    ASSERT_TRUE(save.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    ASSERT_TRUE(save.write("s"));
    ASSERT_TRUE(save.commit());
    EXPECT_EQ(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
}

// The worker writes one at a time: while it is held inside the first write, a burst of writes of two
// files leaves only the newest of each waiting, and nothing older is written after anything newer.
TEST_F(FileSaveTest, ABurstOfWritesOnTheWriteThreadEndsWithTheNewestOfEachFileInOrder)
{
    const QString a = file("a/history.plist");
    const QString b = file("b/layout.plist");
    std::mutex mutex;
    QStringList encoded;  // in the worker's order
    auto encoder = [&](const QString& name, int n) {
        return [&, name, n] {
            std::lock_guard lock(mutex);
            encoded.append(name + QString::number(n));
            return FileWriteQueue::Content {QByteArray::number(n), QString(), false};
        };
    };
    QStringList done;  // in the order the done calls ran
    auto doneFor = [&](const QString& name) {
        return [&done, name](const FileWriteQueue::Result& r) {
            EXPECT_TRUE(r.ok && r.written) << r.error.toStdString();
            done.append(name + QString::fromLatin1(r.bytes));
        };
    };
    {
        FileWriteQueue queue;
        std::promise<void> started;
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        queue.write(
            a,
            [&, released] {
                started.set_value();
                released.wait();
                return FileWriteQueue::Content {"0", QString(), false};
            },
            QStringLiteral("the reading history"), doneFor(QStringLiteral("a")));
        started.get_future().wait();
        for (int n = 1; n < 300; ++n) {
            const bool toA = n % 2 == 0;
            queue.write(toA ? a : b, encoder(toA ? QStringLiteral("a") : QStringLiteral("b"), n),
                QStringLiteral("the reading history"), doneFor(toA ? QStringLiteral("a") : QStringLiteral("b")));
        }
        release.set_value();
        queue.finish();
        EXPECT_EQ(encoded, (QStringList {"a298", "b299"}));
        EXPECT_EQ(done, (QStringList {"a0", "a298", "b299"}));
        EXPECT_EQ(readAll(a), QByteArray("298"));
        EXPECT_EQ(readAll(b), QByteArray("299"));

        // A removal takes its place among the file's writes; a write after it brings the file back.
        queue.write(a, QByteArray("gone soon"), QString());
        queue.remove(a);
        queue.remove(b);
        queue.write(b, QByteArray("back"), QString());
        queue.finish();
        EXPECT_FALSE(QFileInfo::exists(a));
        EXPECT_EQ(readAll(b), QByteArray("back"));
    }
    EXPECT_EQ(QDir(QFileInfo(b).absolutePath()).entryList(QDir::Files | QDir::Hidden), QStringList {"layout.plist"});
    EXPECT_TRUE(m_alerts->shown().isEmpty());
}

TEST_F(FileSaveTest, WritesStillWaitingWhenTheWriteThreadGoesAreOnDiskAndTheirDoneCallsRun)
{
    int doneCalls = 0;
    {
        FileWriteQueue queue;
        for (int n = 0; n < 40; ++n) {
            queue.write(file("many/f") + QString::number(n % 20), QByteArray::number(n), QString(),
                [&doneCalls](const FileWriteQueue::Result& r) { doneCalls += r.ok ? 1 : 0; });
        }
    }
    EXPECT_GE(doneCalls, 20);
    for (int n = 20; n < 40; ++n)
        EXPECT_EQ(readAll(file("many/f") + QString::number(n % 20)), QByteArray::number(n));
}

TEST_F(FileSaveTest, AFailedWriteOnTheWriteThreadIsSaidOnTheMainThreadAndKeepsTheOldFile)
{
    const QString layout = file("layout.plist");
    const QString folder = file("history.plist");
    ASSERT_TRUE(FileSave::writeFile(layout, "old"));
    ASSERT_TRUE(QDir().mkpath(folder));  // a folder where the file should be
    QList<FileWriteQueue::Result> results;
    auto keep = [&results](const FileWriteQueue::Result& r) { results.append(r); };
    FileWriteQueue queue;
    {
        FileSizeLimit limit(1024);
        ASSERT_TRUE(limit.ok());
        queue.write(layout, QByteArray(8000, 'n'), QStringLiteral("your screen layout"), keep);
        queue.write(folder, QByteArray("new"), QStringLiteral("the reading history"), keep);
        queue.write(
            file("unmade.plist"),
            [] {
                return FileWriteQueue::Content {QByteArray(), QStringLiteral("no"), false};
            },
            QStringLiteral("the list of installed books"), keep);
        queue.finish();
    }
    ASSERT_EQ(results.size(), 3);
    for (const FileWriteQueue::Result& r : results) {
        EXPECT_FALSE(r.ok) << r.path.toStdString();
        EXPECT_FALSE(r.written);
        EXPECT_FALSE(r.error.isEmpty());
    }
    EXPECT_EQ(readAll(layout), QByteArray("old"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(QFileInfo::exists(file("unmade.plist")));
    // The alerts wait for the main thread, as a save made there does.
    EXPECT_TRUE(m_alerts->shown().isEmpty());
    SaveFailureAlerts::showPending();
    ASSERT_EQ(m_alerts->shown().size(), 1);
    EXPECT_EQ(m_alerts->shown()[0].messageText,
        QStringLiteral("Quillstead could not save your screen layout and the reading history."));
    EXPECT_TRUE(m_alerts->shown()[0].informativeText.contains(QStringLiteral("The copy saved before is kept")));
}

TEST_F(FileSaveTest, WriteIfChangedWritesOnlyWhatTheFileDoesNotHoldAlready)
{
    const QString path = file("layout.plist");
    QList<FileWriteQueue::Result> results;
    FileWriteQueue queue;
    const auto write = [&](const QByteArray& bytes, bool ifChanged) {
        const auto encode = [bytes] { return FileWriteQueue::Content {bytes, QString(), false}; };
        const auto keep = [&results](const FileWriteQueue::Result& r) { results.append(r); };
        if (ifChanged)
            queue.writeIfChanged(path, encode, QStringLiteral("your screen layout"), keep);
        else
            queue.write(path, encode, QStringLiteral("your screen layout"), keep);
        queue.finish();
        return results.isEmpty() ? FileWriteQueue::Result() : results.takeLast();
    };
    const auto setModified = [&](int secondsAgo) {
        QFile f(path);
        return f.open(QIODevice::ReadWrite) &&
            f.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo), QFileDevice::FileModificationTime);
    };
    FileWriteQueue::Result r = write("one", true);
    EXPECT_TRUE(r.ok && r.written) << "a file not there yet is written";
    EXPECT_EQ(readAll(path), QByteArray("one"));
    ASSERT_TRUE(setModified(3600));
    const QDateTime before = QFileInfo(path).lastModified();
    r = write("one", true);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.written) << "the same bytes were written again";
    EXPECT_EQ(QFileInfo(path).lastModified(), before);

    // Another program's bytes of the same size, at another time: the file no longer holds them.
    ASSERT_TRUE(FileSave::writeFile(path, "two"));
    ASSERT_TRUE(setModified(7200));
    r = write("one", true);
    EXPECT_TRUE(r.ok && r.written);
    EXPECT_EQ(readAll(path), QByteArray("one"));
    // A file that holds the bytes, written by someone else, is left alone; one that is gone is made.
    ASSERT_TRUE(FileSave::writeFile(path, "three"));
    ASSERT_TRUE(setModified(60));
    r = write("three", true);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.written);
    ASSERT_TRUE(QFile::remove(path));
    r = write("three", true);
    EXPECT_TRUE(r.ok && r.written);
    EXPECT_EQ(readAll(path), QByteArray("three"));
    // A plain write in between is not taken for the bytes written last when unchanged.
    r = write("four!", false);
    ASSERT_TRUE(r.ok && r.written);
    r = write("three", true);
    EXPECT_TRUE(r.written);
    EXPECT_EQ(readAll(path), QByteArray("three"));
}

}  // namespace

// One reader per profile: the first claim holds the profile's lock, later claims hand their request
// to the reader listening on the profile's socket (or are refused when it does not answer), a lock
// or socket left by an ended reader is taken over, whatever a lock file says when no process holds
// it, malformed requests are dropped, and a request whose handling runs a loop of its own (an alert)
// while its connection ends leaves the reader answering.

#include "app/ReaderInstance.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using TestSupport::waitFor;

class ReaderInstanceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TestSupport::startApplication("reader-instance-test", TestSupport::Web::None); }

    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString lockFile() const { return m_dir.filePath(QStringLiteral("reader.lock")); }
    QString socketName() const { return m_dir.filePath(QStringLiteral("s")); }

    // Claims from another thread (the claim blocks while this thread's event loop answers).
    ReaderInstance::Claim claimAside(ReaderInstance& instance, const QString& book, int waitMs)
    {
        std::atomic<bool> done = false;
        ReaderInstance::Claim claim = ReaderInstance::Claim::Owner;
        std::thread other([&] {
            claim = instance.claim(book, waitMs);
            done = true;
        });
        waitFor([&] { return done.load(); }, waitMs + 10000);
        other.join();
        return claim;
    }

    QTemporaryDir m_dir;
    QObject m_owner;
};

}  // namespace

TEST_F(ReaderInstanceTest, ALaterClaimHandsItsRequestToTheReaderThatHoldsTheProfile)
{
    ReaderInstance first(lockFile(), socketName());
    ASSERT_EQ(first.claim(QString(), 1000), ReaderInstance::Claim::Owner);
    EXPECT_TRUE(first.ownsProfile());
    QStringList requests;
    ASSERT_NE(first.listen(&m_owner, [&](const QString& path) { requests << path; }), nullptr);

    ReaderInstance second(lockFile(), socketName());
    EXPECT_EQ(claimAside(second, QString(), 5000), ReaderInstance::Claim::HandedOver);
    ASSERT_TRUE(waitFor([&] { return requests.size() == 1; }));
    EXPECT_EQ(requests[0], QString());  // a plain start: only the window comes forward
    EXPECT_FALSE(second.ownsProfile());
    EXPECT_EQ(second.ownerPid(), QCoreApplication::applicationPid());

    // A book path goes over absolute, in UTF-8.
    const QString book = m_dir.filePath(QStringLiteral("Psalter \u00e9.tvk"));
    EXPECT_EQ(claimAside(second, book, 5000), ReaderInstance::Claim::HandedOver);
    ASSERT_TRUE(waitFor([&] { return requests.size() == 2; }));
    EXPECT_EQ(requests[1], book);
    EXPECT_FALSE(second.ownsProfile());
}

TEST_F(ReaderInstanceTest, AHeldProfileWhoseReaderDoesNotAnswerIsNeitherTakenNorWaitedForLonger)
{
    ReaderInstance first(lockFile(), socketName());
    ASSERT_TRUE(first.ownsProfile());
    // Held but not listening (still starting, or hung): the later start gives up.
    ReaderInstance second(lockFile(), socketName());
    EXPECT_EQ(claimAside(second, QString(), 400), ReaderInstance::Claim::NoAnswer);
    EXPECT_FALSE(second.ownsProfile());
    EXPECT_EQ(second.listen(&m_owner, [](const QString&) {}), nullptr);
    // Nobody listens, so a direct hand-over fails too.
    EXPECT_FALSE(ReaderInstance::handOver(socketName(), QString(), 200));
}

TEST_F(ReaderInstanceTest, TheLockAndSocketOfAnEndedReaderAreTakenOver)
{
    // A lock file naming a process that has ended.
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    ASSERT_TRUE(ended.waitForFinished());
    const qint64 pid = ended.processId() > 0 ? ended.processId() : 999999;
    QFile lock(lockFile());
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(pid) + "\nquillstead\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    // And a socket file nobody listens on any more.
    QFile socket(socketName());
    ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
    socket.close();

    ReaderInstance next(lockFile(), socketName());
    EXPECT_EQ(next.claim(QString(), 2000), ReaderInstance::Claim::Owner);
    QStringList requests;
    ASSERT_NE(next.listen(&m_owner, [&](const QString& path) { requests << path; }), nullptr);
    ReaderInstance later(lockFile(), socketName());
    EXPECT_EQ(claimAside(later, QStringLiteral("/b.tvk"), 5000), ReaderInstance::Claim::HandedOver);
    EXPECT_TRUE(waitFor([&] { return requests == QStringList {QStringLiteral("/b.tvk")}; }));
}

TEST_F(ReaderInstanceTest, MalformedRequestsAreDroppedUnanswered)
{
    ReaderInstance first(lockFile(), socketName());
    QStringList requests;
    ASSERT_NE(first.listen(&m_owner, [&](const QString& path) { requests << path; }), nullptr);

    // A line longer than any path: the connection is cut, nothing is done.
    QLocalSocket flood;
    flood.connectToServer(socketName());
    ASSERT_TRUE(flood.waitForConnected(2000));
    flood.write(QByteArray(ReaderInstance::kMaxRequest + 10, 'a'));
    EXPECT_TRUE(waitFor([&] { return flood.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_FALSE(flood.canReadLine());

    // Only the first line of a connection counts.
    QLocalSocket twice;
    twice.connectToServer(socketName());
    ASSERT_TRUE(twice.waitForConnected(2000));
    twice.write("/one.tvk\n/two.tvk\n");
    ASSERT_TRUE(waitFor([&] { return twice.canReadLine(); }));
    EXPECT_EQ(twice.readLine(), QByteArray("ok\n"));
    // A request the hand-over would refuse to send (a new line in a path) never leaves.
    EXPECT_FALSE(ReaderInstance::handOver(socketName(), QStringLiteral("/a\nb.tvk"), 1000));
    ASSERT_TRUE(waitFor([&] { return !requests.isEmpty(); }));
    EXPECT_EQ(requests.first(), QStringLiteral("/one.tvk"));
    EXPECT_FALSE(requests.contains(QStringLiteral("/two.tvk")));
}

TEST_F(ReaderInstanceTest, ALockFileNoProcessHoldsIsTakenWhateverItSays)
{
    // Another process that lives (a reader of another profile, or whatever took a pid after a reboot).
    QProcess living;
    living.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(living.waitForStarted());
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    const QList<QByteArray> contents = {
        QByteArray(),                                        // a power cut right after creation
        QByteArray("\x89PNG\r\n\x1a\n\0\0garbage\xff\xfe"),  // garbage
        QByteArray::number(QCoreApplication::applicationPid()) + "\nquillstead\n" + host + "\n",  // this very process
        QByteArray::number(living.processId()) + "\nreader-instance-test\n" + host + "\n",        // a live process
    };
    for (const QByteArray& content : contents) {
        QFile lock(lockFile());
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write(content);
        lock.close();
        {
            ReaderInstance next(lockFile(), socketName());
            EXPECT_EQ(next.claim(QString(), 2000), ReaderInstance::Claim::Owner) << content.toStdString();
            // While it lives, the profile is its: another claim is held off.
            ReaderInstance later(lockFile(), socketName());
            EXPECT_EQ(claimAside(later, QString(), 300), ReaderInstance::Claim::NoAnswer);
            EXPECT_EQ(later.ownerPid(), QCoreApplication::applicationPid());
        }
        // Once it ends, the next start takes the profile at once.
        ReaderInstance after(lockFile(), socketName());
        EXPECT_EQ(after.claim(QString(), 0), ReaderInstance::Claim::Owner);
    }
    living.kill();
    living.waitForFinished();
}

TEST_F(ReaderInstanceTest, AFolderOrLinkInThePlaceOfTheLockOrTheSocketIsSetAside)
{
    // A folder with a file in it at the lock's path, a folder at the socket's path.
    ASSERT_TRUE(QDir().mkpath(lockFile()));
    QFile inside(QDir(lockFile()).filePath(QStringLiteral("kept.txt")));
    ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
    inside.write("kept");
    inside.close();
    ASSERT_TRUE(QDir().mkpath(socketName()));

    ReaderInstance first(lockFile(), socketName());
    EXPECT_EQ(first.claim(QString(), 2000), ReaderInstance::Claim::Owner);
    EXPECT_TRUE(QFileInfo(lockFile()).isFile());
    // Nothing the folder held is lost.
    QFile kept(lockFile() + QStringLiteral(".set-aside/kept.txt"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("kept"));
    QStringList requests;
    ASSERT_NE(first.listen(&m_owner, [&](const QString& path) { requests << path; }), nullptr);
    EXPECT_FALSE(first.socketPathIsBlocked());
    ReaderInstance second(lockFile(), socketName());
    EXPECT_EQ(claimAside(second, QStringLiteral("/c.tvk"), 5000), ReaderInstance::Claim::HandedOver);
    EXPECT_TRUE(waitFor([&] { return requests == QStringList {QStringLiteral("/c.tvk")}; }));

    // A link at the lock's path: the link goes, its target is untouched.
    QTemporaryDir other;
    const QString target = other.filePath(QStringLiteral("target"));
    QFile targetFile(target);
    ASSERT_TRUE(targetFile.open(QIODevice::WriteOnly));
    targetFile.write("not a lock");
    targetFile.close();
    const QString linked = m_dir.filePath(QStringLiteral("linked.lock"));
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(linked).constData()), 0);
    ReaderInstance viaLink(linked, m_dir.filePath(QStringLiteral("s2")));
    EXPECT_EQ(viaLink.claim(QString(), 2000), ReaderInstance::Claim::Owner);
    EXPECT_FALSE(QFileInfo(linked).isSymLink());
    ASSERT_TRUE(targetFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(targetFile.readAll(), QByteArray("not a lock"));
}

TEST_F(ReaderInstanceTest, ARequestWhoseAlertOutlivesItsConnectionLeavesTheReaderAnswering)
{
    ReaderInstance first(lockFile(), socketName());
    QStringList requests;
    QEventLoop* alert = nullptr;
    // Each request shows an alert: a loop of its own, in which the connection that brought it ends.
    ASSERT_NE(first.listen(&m_owner,
                  [&](const QString& path) {
                      requests << path;
                      QEventLoop loop;
                      alert = &loop;
                      loop.exec();
                      alert = nullptr;
                      requests << QStringLiteral("dismissed ") + path;
                  }),
        nullptr);
    // The user dismisses an alert only once the start that asked has ended.
    std::atomic<int> answered = 0;
    std::vector<std::thread> starts;
    const auto handOverAside = [&](const QString& book) {
        starts.emplace_back([&answered, book, socket = socketName()] {
            if (ReaderInstance::handOver(socket, book, 5000))
                ++answered;
        });
    };
    handOverAside(QStringLiteral("/one.tvk"));
    QTimer user;
    int step = 0;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (alert == nullptr)
            return;
        if (step == 0 && answered == 1) {
            // A second start while the first alert is up: answered now, handled after it.
            handOverAside(QStringLiteral("/two.tvk"));
            step = 1;
        } else if (step == 1 && answered == 2) {
            QTimer::singleShot(50, alert, &QEventLoop::quit);  // the connections' ends are delivered first
            step = 2;
        } else if (step == 2 && requests.size() == 3) {
            alert->quit();
            step = 3;
        } else if (step == 3) {
            alert->quit();
        }
    });
    user.start(20);
    ASSERT_TRUE(waitFor([&] { return requests.size() == 4; }, 20000)) << requests.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(requests,
        (QStringList {QStringLiteral("/one.tvk"), QStringLiteral("dismissed /one.tvk"), QStringLiteral("/two.tvk"),
            QStringLiteral("dismissed /two.tvk")}));
    // Still answering.
    handOverAside(QString());
    EXPECT_TRUE(waitFor([&] { return answered == 3 && requests.size() == 6; }));
    EXPECT_EQ(requests.value(4), QString());
    user.stop();
    for (std::thread& start : starts)
        start.join();
}

// One reader per profile: the first claim holds the profile's lock, later claims hand their request
// to the reader listening on the profile's socket (or are refused when it does not answer), a lock
// or socket left by an ended reader is taken over, and malformed requests are dropped.

#include "app/ReaderInstance.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QSysInfo>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

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

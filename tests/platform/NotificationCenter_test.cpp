#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <atomic>
#include <thread>
#include <vector>

namespace {

const QString kName = QStringLiteral("SomethingHappened");

TEST(NotificationCenterTest, DeliversInRegistrationOrderAndFiltersBySender)
{
    NotificationCenter center;
    QStringList calls;
    int senderA = 0;
    int senderB = 0;
    center.addObserver(&calls, kName, [&](Notification&) { calls << "any"; });
    center.addObserver(
        &calls, kName, [&](Notification&) { calls << "fromA"; }, &senderA);
    center.addObserver(&calls, QString(), [&](Notification& n) { calls << "all:" + n.name; });
    center.addObserver(&calls, QStringLiteral("Other"), [&](Notification&) { calls << "other"; });

    center.postNotificationName(kName, &senderA);
    EXPECT_EQ(calls, (QStringList {"any", "fromA", "all:SomethingHappened"}));
    calls.clear();
    center.postNotificationName(kName, &senderB);
    EXPECT_EQ(calls, (QStringList {"any", "all:SomethingHappened"}));
    calls.clear();
    center.postNotificationName(kName);
    EXPECT_EQ(calls, (QStringList {"any", "all:SomethingHappened"}));
}

TEST(NotificationCenterTest, HandlersWriteAnswersIntoUserInfo)
{
    NotificationCenter center;
    center.addObserver(nullptr, kName,
        [](Notification& n) { n.userInfo.insert("section", n.userInfo.value("href").toString().size()); });
    Notification n {kName, nullptr, {{"href", "John 3:16"}}};
    center.post(n);
    EXPECT_EQ(n.userInfo.value("section").toInt(), 9);
}

TEST(NotificationCenterTest, ReentrantPostsAreDeliveredNested)
{
    NotificationCenter center;
    QStringList calls;
    center.addObserver(nullptr, "outer", [&](Notification&) {
        calls << "outer1";
        center.postNotificationName("inner");
        calls << "outer1-end";
    });
    center.addObserver(nullptr, "inner", [&](Notification&) { calls << "inner"; });
    center.addObserver(nullptr, "outer", [&](Notification&) { calls << "outer2"; });
    center.postNotificationName("outer");
    EXPECT_EQ(calls, (QStringList {"outer1", "inner", "outer1-end", "outer2"}));
}

TEST(NotificationCenterTest, RemovalAndAdditionDuringDelivery)
{
    NotificationCenter center;
    QStringList calls;
    int later = 0;
    NotificationCenter::ObservationId second = 0;
    center.addObserver(nullptr, kName, [&](Notification&) {
        calls << "first";
        center.removeObservation(second);
        center.removeObserver(&later);
        center.addObserver(nullptr, kName, [&](Notification&) { calls << "added"; });
    });
    second = center.addObserver(nullptr, kName, [&](Notification&) { calls << "second"; });
    center.addObserver(&later, kName, [&](Notification&) { calls << "later"; });

    center.postNotificationName(kName);
    EXPECT_EQ(calls, QStringList {"first"});  // removed ones are skipped, the added one waits
    calls.clear();
    center.postNotificationName(kName);
    EXPECT_EQ(calls, (QStringList {"first", "added"}));
}

TEST(NotificationCenterTest, AnObserverMayRemoveItselfWhileRunning)
{
    NotificationCenter center;
    int calls = 0;
    NotificationCenter::ObservationId self = 0;
    self = center.addObserver(nullptr, kName, [&](Notification&) {
        ++calls;
        center.removeObservation(self);
    });
    center.postNotificationName(kName);
    center.postNotificationName(kName);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observationCount(), 0);
}

TEST(NotificationCenterTest, RemovesByObserverNameAndSender)
{
    NotificationCenter center;
    int a = 0, b = 0, sender = 0;
    int hits = 0;
    center.addObserver(&a, "x", [&](Notification&) { hits += 1; });
    center.addObserver(&a, "y", [&](Notification&) { hits += 10; });
    center.addObserver(
        &a, "x", [&](Notification&) { hits += 100; }, &sender);
    center.addObserver(&b, "x", [&](Notification&) { hits += 1000; });

    center.removeObserver(&a, "x", &sender);
    center.postNotificationName("x", &sender);
    EXPECT_EQ(hits, 1001);
    center.removeObserver(&a, "x");
    hits = 0;
    center.postNotificationName("x");
    center.postNotificationName("y");
    EXPECT_EQ(hits, 1010);
    center.removeObserver(&a);
    EXPECT_EQ(center.observationCount(), 1);
}

TEST(NotificationCenterTest, ObservationTokenRemovesOnDestructionAndMove)
{
    NotificationCenter center;
    int hits = 0;
    {
        Observation outer;
        {
            Observation token(center, center.addObserver(nullptr, kName, [&](Notification&) { ++hits; }));
            outer = std::move(token);
            EXPECT_FALSE(token.isActive());
        }
        center.postNotificationName(kName);
        EXPECT_EQ(hits, 1);
    }
    center.postNotificationName(kName);
    EXPECT_EQ(hits, 1);
    EXPECT_EQ(center.observationCount(), 0);
}

struct Book {
    QString title;
};

TEST(NotificationCenterTest, UserInfoCarriesSharedObjects)
{
    NotificationCenter center;
    auto book = std::make_shared<Book>(Book {"Psalms"});
    std::shared_ptr<Book> received;
    center.addObserver(nullptr, kName, [&](Notification& n) {
        received = sharedObjectFromVariant<Book>(n.userInfo.value("book"));
        EXPECT_EQ(sharedObjectFromVariant<int>(n.userInfo.value("book")), nullptr);
    });
    center.postNotificationName(kName, nullptr, {{"book", sharedObjectVariant(book)}});
    EXPECT_EQ(received, book);
    EXPECT_EQ(book.use_count(), 2);
}

TEST(NotificationCenterTest, DeliversOnThePostingWorkerThread)
{
    NotificationCenter center;
    std::thread::id deliveredOn;
    center.addObserver(nullptr, kName, [&](Notification&) { deliveredOn = std::this_thread::get_id(); });
    std::thread::id worker;
    std::thread t([&] {
        worker = std::this_thread::get_id();
        center.postNotificationName(kName);
    });
    t.join();
    EXPECT_EQ(deliveredOn, worker);
}

TEST(NotificationCenterTest, ConcurrentRegistrationPostingAndRemoval)
{
    NotificationCenter center;
    std::atomic<int> delivered {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                const auto id = center.addObserver(&threads, kName, [&](Notification&) { ++delivered; });
                center.postNotificationName(kName);
                if ((i + t) % 2)
                    center.removeObservation(id);
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(center.observationCount(), 1000);
    EXPECT_GE(delivered.load(), 2000);  // every post reaches at least its own observation
    center.removeObserver(&threads);
    EXPECT_EQ(center.observationCount(), 0);
}

}  // namespace

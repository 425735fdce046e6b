// What an idle process hands back, that what it wrote survives, and when it happens.
#include <gtest/gtest.h>

#include "platform/IdlePageTrim.h"

#include <QFile>
#include <QList>
#include <QString>

namespace {

#if defined(__linux__)
// The resident KiB of the mapping that holds `address`, from /proc/self/smaps; -1 when none does.
qint64 residentKiBOf(const void* address)
{
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly))
        return -1;
    bool inside = false;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        const QByteArray first = line.left(space);
        if (space > 0 && first.contains('-') && !first.contains(':')) {
            const QList<QByteArray> range = first.split('-');
            const quintptr at = quintptr(address);
            inside = range[0].toULongLong(nullptr, 16) <= at && at < range[1].toULongLong(nullptr, 16);
        } else if (inside && line.startsWith("Rss:")) {
            return line.mid(4).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}
#endif

// Relocated at load (pointers in a position-independent program): written pages in a segment
// that is read-only afterwards.
const char* const kRelocated[] = {"first", "second", "third"};
int g_written[4096];

TEST(IdlePageTrim, CodePagesGoAndComeBackWhileWrittenPagesStay)
{
#if !defined(__linux__)
    GTEST_SKIP() << "Linux only";
#else
    for (int i = 0; i < 4096; ++i)
        g_written[i] = i * 3;
    // The library's code this test runs (Qt's strings) is resident before the drop.
    const QString text = QString::number(12345).repeated(100).toUpper();
    const void* code = reinterpret_cast<const void*>(&qVersion);
    const qint64 before = residentKiBOf(code);
    ASSERT_GT(before, 0);

    EXPECT_GT(IdlePageTrim::dropNow(), 1 << 20);
    EXPECT_LT(residentKiBOf(code), before);
    EXPECT_EQ(QString::number(12345).repeated(100).toUpper(), text);  // its code mapped back
    EXPECT_STREQ(kRelocated[1], "second");
    for (int i = 0; i < 4096; ++i)
        ASSERT_EQ(g_written[i], i * 3);
#endif
}

TEST(IdlePageTrim, DropsOnceAfterEachSpellOfWorkSoonerDuringTheStart)
{
    // 500 ms samples; the start is the first 20 s: idle 2 s, then 10 s.
    IdlePageTrim::IdleWatch watch(10, 20000, 2000, 10000);
    std::vector<qint64> dropsAt;
    qint64 cpu = 0;
    // Work at 0 (the start), 5 s (40 ms), a trickle (5 ms a sample, under the limit) from 10 to
    // 14 s, work at 15 s, 19 s (idle 2 s only after the start's end) and 40 s.
    for (qint64 now = 0; now <= 60000; now += 500) {
        if (now == 5000 || now == 15000 || now == 19000 || now == 40000)
            cpu += 40;
        else if (now > 10000 && now <= 14000)
            cpu += 5;
        if (watch.sample(now, cpu))
            dropsAt.push_back(now);
    }
    EXPECT_EQ(dropsAt, (std::vector<qint64> {2000, 7000, 17000, 29000, 50000}));
}

}  // namespace

#include "reports/OutputFile.h"
#include "reports/SectionRange.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

using E = SectionRangeList::Entry;

TEST(SectionRange, MadeInEitherOrderAndCombined)
{
    const auto r = SectionRange::sectionRangeWithStart(9, 4);
    EXPECT_EQ(r.start(), 4u);
    EXPECT_EQ(r.end(), 9u);

    auto a = SectionRange::sectionRangeWithStart(5, 7);
    auto b = SectionRange::sectionRangeWithStart(8, 9);
    EXPECT_TRUE(a.isAdjacentToSectionRange(b));
    EXPECT_TRUE(b.isAdjacentToSectionRange(a));
    auto a2 = a;
    EXPECT_TRUE(a2.combineWithRange(b));
    EXPECT_EQ(a2, SectionRange::sectionRangeWithStart(5, 9));
    EXPECT_TRUE(b.combineWithRange(a));
    EXPECT_EQ(b, SectionRange::sectionRangeWithStart(5, 9));

    auto z = SectionRange::sectionRangeWithStart(0, 3);
    EXPECT_TRUE(z.combineWithRange(SectionRange::sectionRangeWithStart(4, 6)));
    EXPECT_EQ(z, SectionRange::sectionRangeWithStart(0, 6));
    // A start of 0 has nothing before it.
    EXPECT_FALSE(SectionRange::sectionRangeWithStart(0, 0).isAdjacentToSectionRange(
        SectionRange::sectionRangeWithStart(UINT64_MAX, UINT64_MAX)));

    auto outer = SectionRange::sectionRangeWithStart(3, 9);
    const auto inner = SectionRange::sectionRangeWithStart(5, 6);
    EXPECT_FALSE(outer.overlapsSectionRange(inner));
    EXPECT_TRUE(outer.containsSectionRange(inner));
    EXPECT_TRUE(outer.combineWithRange(inner));
    EXPECT_EQ(outer, SectionRange::sectionRangeWithStart(3, 9));
    auto in2 = inner;
    EXPECT_TRUE(in2.combineWithRange(outer));
    EXPECT_EQ(in2, outer);

    auto left = SectionRange::sectionRangeWithStart(1, 5);
    EXPECT_TRUE(left.overlapsSectionRange(SectionRange::sectionRangeWithStart(4, 8)));
    EXPECT_TRUE(left.combineWithRange(SectionRange::sectionRangeWithStart(4, 8)));
    EXPECT_EQ(left, SectionRange::sectionRangeWithStart(1, 8));
    auto apart = SectionRange::sectionRangeWithStart(1, 2);
    EXPECT_FALSE(apart.combineWithRange(SectionRange::sectionRangeWithStart(4, 8)));
    EXPECT_EQ(apart, SectionRange::sectionRangeWithStart(1, 2));
}

TEST(SectionRangeList, SortsAndMergesAsDocumented)
{
    SectionRangeList list;
    list.addRangeStartingAt(10, 20, true, true);
    list.addRangeStartingAt(30, 40, true, true);
    EXPECT_EQ(list.ranges(), (QList<E> {{10, 20}, {30, 40}}));
    list.addRangeStartingAt(15, 25, true, true);
    EXPECT_EQ(list.ranges(), (QList<E> {{10, 25}, {30, 40}}));

    SectionRangeList touching;
    touching.addRangeStartingAt(10, 20, true, true);
    touching.addRangeStartingAt(20, 22, true, true);
    EXPECT_EQ(touching.ranges(), (QList<E> {{10, 22}}));
    touching.addRangeStartingAt(10, 22, true, true);  // the same passage again
    EXPECT_EQ(touching.ranges(), (QList<E> {{10, 22}}));
    touching.addRangeStartingAt(23, 23, true, true);  // the next section
    touching.addRangeStartingAt(5, 9, true, true);    // ending just before
    EXPECT_EQ(touching.ranges(), (QList<E> {{5, 23}}));
    touching.addRangeStartingAt(1, 3, true, true);
    EXPECT_EQ(touching.ranges(), (QList<E> {{1, 3}, {5, 23}}));
    touching.addRangeStartingAt(0, 0, true, true);
    EXPECT_EQ(touching.ranges().first(), (E {0, 3}));

    // One range swallowing several.
    SectionRangeList wide;
    for (auto [s, e] : {std::pair {1, 2}, {5, 6}, {9, 10}, {20, 21}})
        wide.addRangeStartingAt(s, e, true, true);
    wide.addRangeStartingAt(0, 12, true, true);
    EXPECT_EQ(wide.ranges(), (QList<E> {{0, 12}, {20, 21}}));

    SectionRangeList unsorted;
    unsorted.addRangeStartingAt(10, 20, false, true);
    unsorted.addRangeStartingAt(1, 2, false, true);
    EXPECT_EQ(unsorted.ranges(), (QList<E> {{10, 20}, {1, 2}}));
    SectionRangeList noMerge;
    noMerge.addRangeStartingAt(10, 20, true, false);
    noMerge.addRangeStartingAt(15, 25, true, false);
    EXPECT_EQ(noMerge.ranges(), (QList<E> {{10, 20}, {15, 25}}));
}

TEST(OutputFile, WritesUtf8IntoTheCacheAndKeepsTheFile)
{
    QTemporaryDir dir;
    qputenv("XDG_CACHE_HOME", dir.path().toUtf8());
    QString name;
    {
        OutputFile out;
        EXPECT_TRUE(out.isEmpty());  // nothing open
        out.appendString(QStringLiteral("lost"));
        out.openNew();
        name = out.filename();
        EXPECT_TRUE(name.startsWith(dir.path()));
        EXPECT_TRUE(name.contains(QStringLiteral("/Autostudy/")));
        EXPECT_TRUE(name.endsWith(QStringLiteral(".htm")));
        EXPECT_TRUE(out.isEmpty());
        out.appendString(QStringLiteral("Grâce "));
        out.appendString(QStringLiteral("λόγος"));
        EXPECT_FALSE(out.isEmpty());
    }
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QStringLiteral("Grâce λόγος").toUtf8());

    // A cache whose report folder cannot be made (a file stands in its place): no stream, nothing written.
    QTemporaryDir blocked;
    qputenv("XDG_CACHE_HOME", blocked.path().toUtf8());
    ASSERT_TRUE(QDir().mkpath(QFileInfo(OutputFile::folder()).path()));
    QFile blocker(OutputFile::folder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    OutputFile bad;
    bad.openNew();
    bad.appendString(QStringLiteral("x"));
    EXPECT_TRUE(bad.isEmpty());
    EXPECT_FALSE(bad.isOpen());
}

}  // namespace

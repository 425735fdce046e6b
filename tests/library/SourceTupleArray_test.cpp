#include "library/SourceTupleArray.h"

#include "LibraryTestSupport.h"
#include "platform/KeyedArchive.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <set>
#include <thread>

using namespace LibraryTest;

namespace {

SourceTuple::Ptr tuple(qint64 pub, qint64 book, qint64 edition = 1, qint64 revision = 1,
    const QVariant& sortTitle = QVariant(), qint64 classification = 1, const QString& path = QString())
{
    QVariantMap archived = SourceTuple::sourceTuple()->encode().toMap();
    archived.insert("pubID", pub);
    archived.insert("bookID", book);
    archived.insert("editionNumber", edition);
    archived.insert("revisionNumber", revision);
    archived.insert("classification", classification);
    if (sortTitle.isValid()) {
        archived.insert("sortTitle", sortTitle);
        archived.insert("abbr", sortTitle);
    }
    if (!path.isEmpty()) {
        archived.insert("filepath", path);
        archived.insert("standardFileFolder", "unknownfolder");
    }
    return SourceTuple::decode(archived);
}

QStringList titles(const SourceTupleArray& list)
{
    QStringList out;
    for (const auto& t : list.array())
        out << t->record().sortTitle;
    return out;
}

}  // namespace

TEST(SourceTupleArray, OrderedInsertionKeepsArrivalOrderOfEquals)
{
    SourceTupleArray list;
    auto beta = tuple(1, 1, 1, 1, "beta"), Alpha = tuple(1, 2, 1, 1, "Alpha"), alpha = tuple(1, 3, 1, 1, "alpha");
    list.add(beta, SourceTupleArray::kOrderSortTitle);
    list.add(Alpha, SourceTupleArray::kOrderSortTitle);
    list.add(alpha, SourceTupleArray::kOrderSortTitle);
    EXPECT_EQ((QStringList {"Alpha", "alpha", "beta"}), titles(list));
    // No sort title: at the end.
    auto untitled = tuple(1, 4);
    list.add(untitled, SourceTupleArray::kOrderSortTitle);
    EXPECT_EQ(untitled, list.tupleAtIndex(3));
    // Arrival order, and by abbreviation.
    list.add(tuple(1, 5, 1, 1, "aardvark"));
    EXPECT_EQ(QStringLiteral("aardvark"), list.tupleAtIndex(4)->record().sortTitle);
    // Equal to "beta" (after it), and nothing after it is greater.
    list.add(tuple(1, 6, 1, 1, "Beta"), SourceTupleArray::kOrderAbbreviation);
    EXPECT_EQ(QStringLiteral("Beta"), list.tupleAtIndex(5)->record().sortTitle);
    list.add(tuple(1, 8, 1, 1, "Ab"), SourceTupleArray::kOrderAbbreviation);
    EXPECT_EQ(QStringLiteral("Ab"), list.tupleAtIndex(0)->record().sortTitle);
    list.add(tuple(1, 7, 1, 1, "zz"), 42);
    EXPECT_EQ(QStringLiteral("zz"), list.tupleAtIndex(list.count() - 1)->record().sortTitle);
}

TEST(SourceTupleArray, LookUpsByIdentityFileAndName)
{
    SourceTupleArray list;
    list.add(tuple(5, 6, 2, 3, "a", 1, "/books/one/A.tvk"));
    list.add(tuple(5, 6, 4, 1, "b", 1, "/books/B.tvk"));
    list.add(tuple(7, 8, 1, 1, "c", 3, "/books/C.tvk"));
    EXPECT_EQ(0, list.indexForPubID(5, 6));
    EXPECT_EQ(1, list.indexForPubID(5, 6, 4));
    EXPECT_EQ(SourceTupleArray::kNotFound, list.indexForPubID(5, 6, 4, 2));
    EXPECT_EQ(0, list.indexForPubID(5, 6, 2, 3));
    EXPECT_EQ(0, list.indexForSourceTupleID(SourceTupleID(5, 6, 0, 0)));
    EXPECT_EQ(1, list.indexForSourceTupleID(SourceTupleID(5, 6, 4, 0)));
    EXPECT_EQ(1, list.indexForSourceTupleID(SourceTupleID(5, 6, 4, 1)));
    EXPECT_EQ(SourceTupleArray::kNotFound, list.indexForSourceTupleID(SourceTupleID(0, 6, 4, 1)));
    EXPECT_EQ(SourceTupleArray::kNotFound, list.indexForSourceTupleID(SourceTupleID()));
    EXPECT_EQ(nullptr, list.tupleForSourceTupleID(nullptr));
    EXPECT_EQ(2, list.indexForFile("/books/C.tvk"));
    EXPECT_EQ(SourceTupleArray::kNotFound, list.indexForFile("/books/c.tvk"));
    EXPECT_EQ(0, list.indexForFileName("A.tvk"));
    EXPECT_EQ(nullptr, list.tupleForFileName("D.tvk"));
    EXPECT_EQ(nullptr, list.tupleAtIndex(3));
    EXPECT_EQ(nullptr, list.tupleAtIndex(-1));
    EXPECT_EQ(0, list.classification());
    // remove takes every edition of the book.
    list.remove(*tuple(5, 6, 9, 9));
    EXPECT_EQ(1, list.count());
    EXPECT_EQ(3, list.classification());
    EXPECT_FALSE(list.addNoDupes(tuple(7, 8, 2, 1)));
    EXPECT_TRUE(list.addNoDupes(tuple(7, 9)));
    list.replaceTupleAtIndex(1, tuple(9, 9));
    EXPECT_EQ(9, list.tupleAtIndex(1)->record().pubID);
    list.removeAtIndex(0);
    list.removeAtIndex(7);
    EXPECT_EQ(1, list.count());
    list.removeAll();
    EXPECT_EQ(0, list.classification());
    EXPECT_EQ(nullptr, list.randomTuple());
}

TEST(SourceTupleArray, RandomTupleCoversTheList)
{
    SourceTupleArray list;
    for (int i = 1; i <= 3; ++i)
        list.add(tuple(1, i));
    std::set<qint64> seen;
    for (int i = 0; i < 300; ++i)
        seen.insert(list.randomTuple()->record().bookID);
    EXPECT_EQ(3u, seen.size());
}

TEST(SourceTupleArray, ArchiveRoundTripAndRefusals)
{
    SourceTupleArray list;
    list.add(tuple(1, 1, 1, 1, "x", 1, "/b/X.tvk"));
    list.add(tuple(1, 2, 1, 1, "y", 3, "/b/Y.tvk"));
    list.setUuid("ABC");
    QTemporaryDir dir;
    ASSERT_TRUE(KeyedArchive::writeFile(dir.path() + "/l.plist", list.encode()));
    auto back = SourceTupleArray::decode(KeyedArchive::readFile(dir.path() + "/l.plist"));
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(2, back->archiveVersion());
    EXPECT_EQ(QStringLiteral("ABC"), back->uuid());
    EXPECT_EQ((QStringList {"x", "y"}), titles(*back));
    EXPECT_EQ(QStringLiteral("/b/Y.tvk"), back->tupleAtIndex(1)->record().filepath);
    // No uuid written when there is none; an element that is no tuple spoils the list.
    SourceTupleArray plain;
    EXPECT_FALSE(plain.encode().toMap().contains("uuid"));
    EXPECT_EQ(2, SourceTupleArray::decode(plain.encode())->archiveVersion());
    QVariantMap bad = list.encode().toMap();
    QVariantList elements = bad.value("ArchiveArrayKey").toList();
    elements.append(QStringLiteral("not a tuple"));
    bad.insert("ArchiveArrayKey", elements);
    EXPECT_EQ(nullptr, SourceTupleArray::decode(bad));
    bad.insert("ArchiveArrayKey", QStringLiteral("nope"));
    EXPECT_EQ(nullptr, SourceTupleArray::decode(bad));
    EXPECT_EQ(nullptr, SourceTupleArray::decode(QVariant()));
}

TEST(SourceTupleArray, ReaderThreadsRunWhileTheListChanges)
{
    SourceTupleArray list;
    std::atomic<bool> done {false};
    std::vector<std::thread> readers;
    for (int r = 0; r < 4; ++r) {
        readers.emplace_back([&] {
            while (!done) {
                for (const auto& t : list.array())
                    (void)t->record().sortTitle.size();
                (void)list.tupleForPubID(1, 5);
                (void)list.randomTuple();
            }
        });
    }
    for (int i = 0; i < 500; ++i) {
        list.add(tuple(1, i % 50, 1, 1, QStringLiteral("t%1").arg(i)), SourceTupleArray::kOrderSortTitle);
        if (i % 3 == 0)
            list.removeAtIndex(0);
    }
    done = true;
    for (auto& th : readers)
        th.join();
    EXPECT_EQ(500 - 167, list.count());
}

#include "library/SourceTupleID.h"

#include "platform/KeyedArchive.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QStringList>

#include <thread>
#include <unordered_set>

namespace {

QStringList* capturedLines()
{
    static QStringList lines;
    return &lines;
}

void capture(QtMsgType, const QMessageLogContext&, const QString& msg)
{
    capturedLines()->append(msg);
}

}  // namespace

TEST(SourceTupleID, FreshValidityAndReservedIdentities)
{
    const SourceTupleID fresh;
    EXPECT_EQ(fresh, SourceTupleID(-1, -1, -1, -1));
    EXPECT_FALSE(fresh.isValid());
    EXPECT_TRUE(SourceTupleID(1, 1, -5, -5).isValid());
    EXPECT_FALSE(SourceTupleID(0, 1, 1, 1).isValid());
    EXPECT_FALSE(SourceTupleID(1, 0, 1, 1).isValid());

    const SourceTupleID& journal = SourceTupleID::sourceTupleIDForFakeJournalDoc();
    const SourceTupleID& bibles = SourceTupleID::sourceTupleIDForFakeBibleDoc();
    EXPECT_EQ(journal, SourceTupleID(24326, 15184, 1, 1));
    EXPECT_EQ(bibles, SourceTupleID(24326, 15185, 1, 1));
    EXPECT_TRUE(journal.isFakeJournalDoc());
    EXPECT_FALSE(journal.isFakeBibleDoc());
    EXPECT_TRUE(bibles.isFakeBibleDoc());
    EXPECT_FALSE(bibles.isFakeJournalDoc());
    EXPECT_FALSE(SourceTupleID(24326, 15185, 1, 2).isFakeBibleDoc());

    const SourceTupleID* seen[4] = {};
    std::vector<std::thread> threads;
    for (auto& s : seen)
        threads.emplace_back([&s] { s = &SourceTupleID::sourceTupleIDForFakeJournalDoc(); });
    for (auto& t : threads)
        t.join();
    for (auto* s : seen)
        EXPECT_EQ(s, &journal);
}

TEST(SourceTupleID, EqualityAndHash)
{
    const SourceTupleID a(3, 70000, 1, 2);
    const SourceTupleID b(3, 70000, 257, 2);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.hash(), b.hash());
    EXPECT_EQ(a.hash(), (quint64(3) << 48) | (quint64(70000 & 0xFFFF) << 32) | (quint64(1) << 16) | 2);
    EXPECT_EQ(qHash(a), qHash(SourceTupleID(3, 70000, 1, 2)));
    std::unordered_set<SourceTupleID> set {a, b, a};
    EXPECT_EQ(set.size(), 2u);
    QHash<SourceTupleID, int> hash;
    hash.insert(a, 1);
    EXPECT_EQ(hash.value(SourceTupleID(3, 70000, 1, 2)), 1);
    // Negative numbers keep only their low bits in the lower fields.
    EXPECT_EQ(
        SourceTupleID().hash(), 0xFFFFFFFFFFFFFFFFull & ((~0ull << 48) | (0xFFFFull << 32) | (0xFFull << 16) | 0xFF));
}

TEST(SourceTupleID, DescriptionAndColonForm)
{
    EXPECT_EQ(SourceTupleID::sourceTupleIDForFakeBibleDoc().description(),
        QStringLiteral("<SourceTupleID: pubID=24326 bookID=15185 editionNumber=1 revisionNumber=1 isValid=1 "
                       "isFakeBibleDoc=1 isFakeJournalDoc=0>"));
    EXPECT_EQ(SourceTupleID(1, 2, 3, 4).colonString(), QStringLiteral("1:2:3:4"));
}

TEST(SourceTupleID, ArchiveRoundTripAndUnknownVersions)
{
    const SourceTupleID id(9007199254740993LL, -7, 0, 123456789012LL);
    const QVariant archived = id.encode();
    EXPECT_EQ(KeyedArchive::classNameOf(archived), QStringLiteral("SourceTupleID"));
    EXPECT_EQ(SourceTupleID::decode(KeyedArchive::fromXml(KeyedArchive::toXml(archived))), id);

    const QtMessageHandler previous = qInstallMessageHandler(&capture);
    capturedLines()->clear();
    QVariantMap m = archived.toMap();
    m.insert(QStringLiteral("version"), qint64(2));
    const SourceTupleID unknown = SourceTupleID::decode(m);
    const SourceTupleID nothing = SourceTupleID::decode(QVariant());
    qInstallMessageHandler(previous);
    EXPECT_EQ(unknown, SourceTupleID(0, 0, 0, 0));
    EXPECT_FALSE(unknown.isValid());
    EXPECT_EQ(nothing, SourceTupleID(0, 0, 0, 0));
    EXPECT_EQ(*capturedLines(),
        (QStringList {QStringLiteral("Unrecognized Source Tuple archive version (2)"),
            QStringLiteral("Unrecognized Source Tuple archive version (0)")}));
}

#include "tools/standin-services/CoverArt.h"
#include "tools/standin-services/FaultPlan.h"
#include "tools/standin-services/StandinDatabase.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QtEndian>

using namespace qs::standin;

TEST(StandinParts, FaultPlanSetsChecksAndUsesUp)
{
    FaultPlan plan;
    QString error;
    EXPECT_FALSE(plan.set(QStringLiteral("sync.closeAtLine"), QStringLiteral("-1"), &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(plan.set(QStringLiteral("nope"), QStringLiteral("1"), &error));
    EXPECT_EQ(error, QStringLiteral("unknown fault nope"));
    error.clear();
    EXPECT_FALSE(plan.takeSyncFaults());
    ASSERT_TRUE(plan.set(QStringLiteral("sync.garbageAtLine"), QStringLiteral("3"), &error));
    ASSERT_TRUE(plan.set(QStringLiteral("sync.times"), QStringLiteral("2"), &error));
    EXPECT_EQ(plan.takeSyncFaults()->garbageAtLine, 3);
    EXPECT_EQ(plan.takeSyncFaults()->garbageAtLine, 3);
    EXPECT_FALSE(plan.takeSyncFaults());
    ASSERT_TRUE(plan.set(QStringLiteral("http.status"), QStringLiteral("500"), &error));
    ASSERT_TRUE(plan.set(QStringLiteral("http.path"), QStringLiteral("/mac/"), &error));
    EXPECT_FALSE(plan.takeHttpFault(QStringLiteral("/api/ping")));
    EXPECT_EQ(plan.takeHttpFault(QStringLiteral("/mac/booklist.asp"))->httpStatus, 500);
    EXPECT_FALSE(plan.takeHttpFault(QStringLiteral("/mac/booklist.asp")));
    ASSERT_TRUE(plan.set(QStringLiteral("sync.clockSkewMs"), QStringLiteral("-60000"), &error));
    EXPECT_EQ(plan.toJson().value("sync.clockSkewMs").toInteger(), -60000);
    plan.reset();
    EXPECT_EQ(plan.clockSkewMs, 0);
}

TEST(StandinParts, CoverPictures)
{
    EXPECT_EQ(parseCoverSize(QStringLiteral("144x144"))->width, 144);
    for (const char* bad : {"15x100", "100x1025", "x", "", "144X144", "-1x5"})
        EXPECT_FALSE(parseCoverSize(QString::fromLatin1(bad))) << bad;
    EXPECT_EQ(coverInitials(QStringLiteral("The Treasury of David")), QStringLiteral("TD"));
    EXPECT_EQ(coverInitials(QStringLiteral("Strong's Hebrew Dictionary of the Old Testament")), QStringLiteral("SSHD"));
    EXPECT_EQ(coverInitials(QStringLiteral("!!")), QStringLiteral("QS"));
    const QByteArray png = coverPng(QStringLiteral("KJV"), QStringLiteral("King James Version"), {16, 20});
    EXPECT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n"));
    EXPECT_TRUE(png.endsWith(QByteArray("IEND\xae\x42\x60\x82", 8)));  // the CRC of an empty IEND chunk
    EXPECT_EQ(qFromBigEndian<quint32>(png.constData() + 16), 16u);
    EXPECT_EQ(qFromBigEndian<quint32>(png.constData() + 20), 20u);
    EXPECT_EQ(png, coverPng(QStringLiteral("KJV"), QStringLiteral("King James Version"), {16, 20}));
    EXPECT_NE(png, coverPng(QStringLiteral("WEB"), QStringLiteral("King James Version"), {16, 20}));
}

TEST(StandinParts, DatabaseKeepsNewerRecordsAndAccountsApart)
{
    QTemporaryDir dir;
    StandinDatabase db;
    QString error;
    ASSERT_TRUE(db.open(dir.filePath(QStringLiteral("s.db")), &error)) << error.toStdString();
    const auto a = db.createAccount(QStringLiteral("a@x.org"), QStringLiteral("pw"), "A", "B", &error);
    const auto b = db.createAccount(QStringLiteral("b@x.org"), QStringLiteral("pw"), "C", "D", &error);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->customerId, StandinDatabase::kFirstCustomerId);
    EXPECT_FALSE(db.createAccount(QStringLiteral("A@X.org"), QStringLiteral("x"), "", "", &error));
    EXPECT_TRUE(db.authenticate(QStringLiteral("A@x.ORG"), QStringLiteral("pw")));
    EXPECT_FALSE(db.authenticate(QString::number(a->customerId), QStringLiteral("PW")));
    EXPECT_FALSE(db.findAccount(QStringLiteral("  ")));

    SyncedRecord r;
    r.timestamp = QStringLiteral("2026-01-02 00:00:00.000");
    r.fields = {"3", "Red"};
    auto up = db.upload(a->customerId, "HIGHLIGHTCOLORNAMES", "3", r, 2000, &error);
    ASSERT_TRUE(up);
    EXPECT_EQ(up->acknowledgedServerId, 1);
    EXPECT_TRUE(up->replaced);
    r.fields = {"3", "Crimson"};
    up = db.upload(a->customerId, "HIGHLIGHTCOLORNAMES", "3", r, 1000, &error);  // older
    EXPECT_FALSE(up->replaced);
    EXPECT_EQ(up->acknowledgedServerId, 2);
    auto records = db.recordsAfter(a->customerId, "HIGHLIGHTCOLORNAMES", 2);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].serverId, 3);
    EXPECT_EQ(records[0].fields, QStringList({"3", "Red"}));
    r.fields = {"3", "Scarlet"};
    up = db.upload(a->customerId, "HIGHLIGHTCOLORNAMES", "3", r, 2000, &error);  // same time: the upload wins
    EXPECT_TRUE(up->replaced);
    EXPECT_EQ(db.recordsAfter(a->customerId, "HIGHLIGHTCOLORNAMES", 0).at(0).fields.at(1), QStringLiteral("Scarlet"));
    EXPECT_EQ(db.countAfter(a->customerId, "HIGHLIGHTCOLORNAMES", -1), 1);
    EXPECT_EQ(db.highestServerId(a->customerId, "HIGHLIGHTCOLORNAMES"), 4);
    EXPECT_EQ(db.countAfter(b->customerId, "HIGHLIGHTCOLORNAMES", -1), 0);
    EXPECT_EQ(db.recordCount(b->customerId), 0);

    const QString code = db.createResetCode(b->customerId);
    EXPECT_EQ(db.pendingResetCodes().size(), 1);
    EXPECT_FALSE(db.resetPassword(QStringLiteral("wrong"), QStringLiteral("new")));
    EXPECT_EQ(db.resetPassword(code, QStringLiteral("new"))->customerId, b->customerId);
    EXPECT_FALSE(db.resetPassword(code, QStringLiteral("again")));
    EXPECT_TRUE(db.authenticate(QStringLiteral("b@x.org"), QStringLiteral("new")));
    EXPECT_TRUE(db.clearAll());
    EXPECT_EQ(db.accountCount(), 0);
}

#include "panes/layout/LayoutDivider.h"

#include "panes/layout/LayoutRegion.h"
#include "panes/layout/LayoutTestSupport.h"
#include "platform/KeyedArchive.h"

#include <gtest/gtest.h>

#include <QSet>

#include <array>

namespace {

struct Frame {
    std::unique_ptr<LayoutDivider> low = LayoutDivider::horizontalDividerFrom(nullptr, nullptr, 0);
    std::unique_ptr<LayoutDivider> high = LayoutDivider::horizontalDividerFrom(nullptr, nullptr, 200);
};

QSet<QString> keysOf(const QVariant& archived)
{
    const QStringList keys = archived.toMap().keys();
    return QSet<QString>(keys.begin(), keys.end());
}

}  // namespace

TEST(LayoutDivider, PointOnDividerIsInclusiveAcrossAndStrictAlong)
{
    Frame f;
    for (bool reversed : {false, true}) {
        auto d = reversed ? LayoutDivider::verticalDividerFrom(f.high.get(), f.low.get(), 100)
                          : LayoutDivider::verticalDividerFrom(f.low.get(), f.high.get(), 100);
        EXPECT_TRUE(d->pointIsOnDivider({102.5, 50}));
        EXPECT_TRUE(d->pointIsOnDivider({97.5, 199.9}));
        EXPECT_FALSE(d->pointIsOnDivider({102.6, 50}));
        EXPECT_FALSE(d->pointIsOnDivider({100, 0}));
        EXPECT_FALSE(d->pointIsOnDivider({100, 200}));
        EXPECT_FALSE(d->pointIsOnDivider({100, -5}));
    }
    auto across = LayoutDivider::horizontalDividerFrom(nullptr, nullptr, 40);  // from 0 to 0: nowhere
    EXPECT_FALSE(across->pointIsOnDivider({0, 40}));
    Frame sides;
    sides.low->setVertical(true);
    sides.high->setVertical(true);
    auto h = LayoutDivider::horizontalDividerFrom(sides.low.get(), sides.high.get(), 40);
    EXPECT_TRUE(h->pointIsOnDivider({150, 37.5}));
    EXPECT_FALSE(h->pointIsOnDivider({150, 37.4}));
}

TEST(LayoutDivider, BoundsAndEndPoints)
{
    Frame f;
    auto up = LayoutDivider::verticalDividerFrom(f.low.get(), f.high.get(), 100);
    auto down = LayoutDivider::verticalDividerFrom(f.high.get(), f.low.get(), 100);
    EXPECT_EQ(up->bounds(), (LayoutRect {98.5, 0, 3, 200}));
    EXPECT_EQ(down->bounds(), up->bounds());
    EXPECT_EQ(down->startPoint(), (LayoutPoint {100, 200}));
    EXPECT_EQ(down->endPoint(), (LayoutPoint {100, 0}));

    auto h = LayoutDivider::horizontalDividerFrom(f.high.get(), nullptr, 30);  // a missing end counts as 0
    EXPECT_EQ(h->startPoint(), (LayoutPoint {200, 30}));
    EXPECT_EQ(h->endPoint(), (LayoutPoint {0, 30}));
    EXPECT_EQ(h->bounds(), (LayoutRect {0, 28.5, 200, 3}));
    EXPECT_FALSE(h->treatAsOutside());
}

TEST(LayoutDivider, DragAndConnections)
{
    Frame f;
    auto d = LayoutDivider::verticalDividerFrom(f.low.get(), f.high.get(), 100);
    EXPECT_TRUE(d->dragToPoint({123.25, 7}));
    EXPECT_EQ(d->at(), 123.25);
    d->setVertical(false);
    EXPECT_TRUE(d->dragToPoint({1, 7}));
    EXPECT_EQ(d->at(), 7);
    EXPECT_TRUE(d->connects(f.low.get(), f.high.get()));
    EXPECT_TRUE(d->connects(f.high.get(), f.low.get()));
    EXPECT_FALSE(d->connects(f.low.get(), nullptr));
    auto other = LayoutDivider::horizontalDividerFrom(nullptr, nullptr, 0);
    EXPECT_FALSE(d->connects(f.low.get(), other.get()));
}

TEST(LayoutRegion, BoundsAndDefaultLimits)
{
    auto top = LayoutDivider::horizontalDividerFrom(nullptr, nullptr, 200);
    auto right = LayoutDivider::verticalDividerFrom(nullptr, nullptr, 300);
    auto bottom = LayoutDivider::horizontalDividerFrom(nullptr, nullptr, 0);
    auto left = LayoutDivider::verticalDividerFrom(nullptr, nullptr, 0);
    auto r = LayoutRegion::regionBoundedByTop(top.get(), right.get(), bottom.get(), left.get());
    EXPECT_EQ(r->bounds(), (LayoutRect {0, 0, 300, 200}));
    EXPECT_EQ(r->minSize(), (LayoutSize {100, 100}));
    EXPECT_EQ(r->maxSize(), (LayoutSize {3.4028234663852886e38, 3.4028234663852886e38}));
    EXPECT_EQ(r->side(LayoutRegion::Right), right.get());
}

TEST(LayoutDividerArchive, RoundTripAtFloatPrecision)
{
    Frame f;
    f.low->setIndex(2);
    f.high->setIndex(0);
    auto d = LayoutDivider::verticalDividerFrom(f.low.get(), f.high.get(), 123.456);
    d->setIndex(5);
    d->setTreatAsOutside(true);
    const QVariant archived = d->encode();
    EXPECT_EQ(KeyedArchive::classNameOf(archived), QStringLiteral("LayoutDivider"));
    EXPECT_EQ(keysOf(archived),
        (QSet<QString> {QStringLiteral("$class"), QStringLiteral("version"), QStringLiteral("index"),
            QStringLiteral("vertical"), QStringLiteral("at"), QStringLiteral("fromindex"), QStringLiteral("toindex"),
            QStringLiteral("treatAsOutside")}));
    auto back = LayoutDivider::decode(KeyedArchive::fromXml(KeyedArchive::toXml(archived)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->at(), static_cast<double>(123.456f));
    EXPECT_NE(back->at(), 123.456);
    EXPECT_TRUE(back->vertical());
    EXPECT_TRUE(back->treatAsOutside());
    EXPECT_EQ(back->index(), 5u);
    EXPECT_EQ(back->storedFromIndex(), 2);
    EXPECT_EQ(back->storedToIndex(), 0);
    EXPECT_EQ(back->from(), nullptr);
}

TEST(LayoutDividerArchive, OlderAndUnknownVersions)
{
    KeyedArchiver v1(QStringLiteral("LayoutDivider"));
    v1.encodeInt32(QStringLiteral("version"), 1);
    v1.encodeInt64(QStringLiteral("index"), 4);
    v1.encodeBool(QStringLiteral("vertical"), false);
    v1.encodeFloat(QStringLiteral("at"), 12.5f);
    v1.encodeInt64(QStringLiteral("fromindex"), 3);
    v1.encodeInt64(QStringLiteral("toindex"), 1);
    v1.encodeBool(QStringLiteral("treatAsOutside"), true);  // not a version-1 key: ignored
    auto old = LayoutDivider::decode(v1.archivedObject());
    ASSERT_TRUE(old);
    EXPECT_FALSE(old->treatAsOutside());
    EXPECT_TRUE(old->horizontal());
    EXPECT_EQ(old->at(), 12.5);

    LogCapture log;
    v1.encodeInt32(QStringLiteral("version"), 3);
    EXPECT_FALSE(LayoutDivider::decode(v1.archivedObject()));
    EXPECT_TRUE(log.contains(QStringLiteral("LayoutDivider: unrecognized archive version (3)")));
    EXPECT_FALSE(LayoutDivider::decode(QVariant(42)));
    EXPECT_TRUE(log.contains(QStringLiteral("LayoutDivider: unrecognized archive version (0)")));
}

TEST(LayoutRegionArchive, RoundTripAndUnknownVersion)
{
    auto sides = std::array {LayoutDivider::horizontalDividerFrom(nullptr, nullptr, 0),
        LayoutDivider::verticalDividerFrom(nullptr, nullptr, 0),
        LayoutDivider::horizontalDividerFrom(nullptr, nullptr, 0),
        LayoutDivider::verticalDividerFrom(nullptr, nullptr, 0)};
    for (size_t i = 0; i < 4; ++i)
        sides[i]->setIndex(10 + i);
    auto r = LayoutRegion::regionBoundedByTop(sides[0].get(), sides[1].get(), sides[2].get(), sides[3].get());
    r->setMinSize({6, 100.25});
    const QVariant archived = r->encode();
    EXPECT_EQ(keysOf(archived),
        (QSet<QString> {QStringLiteral("$class"), QStringLiteral("version"), QStringLiteral("minwidth"),
            QStringLiteral("minheight"), QStringLiteral("maxwidth"), QStringLiteral("maxheight"),
            QStringLiteral("topindex"), QStringLiteral("bottomindex"), QStringLiteral("leftindex"),
            QStringLiteral("rightindex")}));
    auto back = LayoutRegion::decode(KeyedArchive::fromXml(KeyedArchive::toXml(archived)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->minSize(), (LayoutSize {6, 100.25}));
    EXPECT_EQ(back->maxSize(), r->maxSize());
    for (int s = 0; s < 4; ++s)
        EXPECT_EQ(back->storedSideIndex(s), 10 + s);

    QVariantMap m = archived.toMap();
    m.insert(QStringLiteral("version"), qint64(2));
    LogCapture log;
    EXPECT_FALSE(LayoutRegion::decode(m));
    EXPECT_TRUE(log.contains(QStringLiteral("LayoutRegion: unrecognized archive version (2)")));
}

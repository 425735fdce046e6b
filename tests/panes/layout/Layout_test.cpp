#include "panes/layout/Layout.h"

#include "panes/layout/LayoutTestSupport.h"
#include "platform/KeyedArchive.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <array>
#include <cmath>

#include <random>

namespace {

constexpr LayoutRect kWindow {0, 0, 1000, 700};

std::unique_ptr<Layout> descriptorLayout(const char* descriptor, LayoutRect rect = kWindow)
{
    return Layout::layoutWithDescriptor(QString::fromLatin1(descriptor), rect, QString());
}

// One book region split at 645 beside a 290-point study region on the left, in kWindow.
std::unique_ptr<Layout> twoBooksBesideStudy()
{
    auto layout = Layout::layoutInRect(kWindow, QString());
    layout->splitRegion(0, true, true, 0.5, QString());
    LayoutRegion* study = layout->addRegionWithDimension(290, LayoutRegion::Left, QStringLiteral("study"), true);
    study->setMinSize({6, study->minSize().height});
    return layout;
}

// "V12" with the 290-point study region on the left: the layout of a first start.
std::unique_ptr<Layout> firstStartLayout()
{
    auto layout = descriptorLayout("V12");
    LayoutRegion* study = layout->addRegionWithDimension(290, LayoutRegion::Left, QStringLiteral("study"), true);
    study->setMinSize({6, study->minSize().height});
    return layout;
}

QVariant withKey(const QVariant& archived, const QString& key, const QVariant& value)
{
    QVariantMap m = archived.toMap();
    if (value.isValid())
        m.insert(key, value);
    else
        m.remove(key);
    return m;
}

// A layout as the layout archive stores it, written out by hand: dividers {vertical, at, from, to}
// and regions {top, right, bottom, left} by divider index, every region an empty book pane. Null
// when the archive does not read.
struct StoredDivider {
    bool vertical;
    double at;
    qint64 from;
    qint64 to;
};
std::unique_ptr<Layout> storedLayout(
    const std::vector<StoredDivider>& dividers, const std::vector<std::array<qint64, 4>>& regions)
{
    QVariantMap archived = Layout::layoutInRect(kWindow, QString())->encode().toMap();
    const QVariantMap divider = archived.value(QStringLiteral("dividers")).toList().first().toMap();
    const QVariantMap region = archived.value(QStringLiteral("regions")).toList().first().toMap();
    const QVariant contents = archived.value(QStringLiteral("contents")).toList().first();
    QVariantList d;
    for (const StoredDivider& s : dividers) {
        QVariantMap m = divider;
        m.insert(QStringLiteral("index"), qint64(d.size()));
        m.insert(QStringLiteral("vertical"), s.vertical);
        m.insert(QStringLiteral("at"), s.at);
        m.insert(QStringLiteral("fromindex"), s.from);
        m.insert(QStringLiteral("toindex"), s.to);
        d.append(m);
    }
    QVariantList r;
    QVariantList c;
    for (const auto& sides : regions) {
        QVariantMap m = region;
        const char* keys[] = {"topindex", "rightindex", "bottomindex", "leftindex"};
        for (size_t i = 0; i < sides.size(); ++i)
            m.insert(QLatin1String(keys[i]), sides[i]);
        r.append(m);
        c.append(contents);
    }
    archived.insert(QStringLiteral("dividers"), d);
    archived.insert(QStringLiteral("regions"), r);
    archived.insert(QStringLiteral("contents"), c);
    return Layout::decode(archived);
}

// The divider's place in the layout's dividers; kLayoutNotFound for one it does not hold.
quint64 dividerIndex(const Layout& layout, const LayoutDivider* divider)
{
    for (size_t i = 0; i < layout.dividers().size(); ++i) {
        if (divider != nullptr && layout.dividerAt(i) == divider)
            return i;
    }
    return kLayoutNotFound;
}

std::vector<double> positions(const std::vector<LayoutDivider*>& dividers)
{
    std::vector<double> out;
    for (const auto* d : dividers)
        out.push_back(d->at());
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Building

TEST(LayoutBuild, InRectTakesMissingExtentsAsTenThousandAndRoundsHalvesAway)
{
    auto layout = Layout::layoutInRect({10.4, 20.5, 0, -5}, QStringLiteral("k"));
    ASSERT_EQ(layout->dividers().size(), 4u);
    LayoutDivider* top = layout->outerDivider(LayoutRegion::Top);
    LayoutDivider* right = layout->outerDivider(LayoutRegion::Right);
    LayoutDivider* bottom = layout->outerDivider(LayoutRegion::Bottom);
    LayoutDivider* left = layout->outerDivider(LayoutRegion::Left);
    EXPECT_EQ(left->at(), 10);
    EXPECT_EQ(bottom->at(), 21);
    EXPECT_EQ(right->at(), 10010);
    EXPECT_EQ(top->at(), 10021);
    EXPECT_TRUE(top->horizontal() && bottom->horizontal() && right->vertical() && left->vertical());
    EXPECT_TRUE(top->from() == left && top->to() == right && bottom->from() == left && bottom->to() == right);
    EXPECT_TRUE(right->from() == top && right->to() == bottom && left->from() == top && left->to() == bottom);
    ASSERT_EQ(layout->regions().size(), 1u);
    EXPECT_EQ(layout->currentRegion(), layout->regionAt(0));
    EXPECT_EQ(layout->contentsAt(0)->kind(), QStringLiteral("k"));
    EXPECT_EQ(layout->name(), QStringLiteral("Untitled Layout"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                    .match(layout->uuidString())
                    .hasMatch());
    EXPECT_NE(layout->uuidString(), Layout().uuidString());
}

TEST(LayoutBuild, DescriptorV12)
{
    auto layout = descriptorLayout("V12");
    ASSERT_EQ(layout->dividers().size(), 6u);
    LayoutDivider* v = layout->dividerAt(4);
    LayoutDivider* h = layout->dividerAt(5);
    EXPECT_TRUE(v->vertical());
    EXPECT_EQ(v->at(), 500);
    EXPECT_EQ(v->from(), layout->outerDivider(LayoutRegion::Bottom));
    EXPECT_EQ(v->to(), layout->outerDivider(LayoutRegion::Top));
    EXPECT_TRUE(h->horizontal());
    EXPECT_EQ(h->at(), 350);
    EXPECT_EQ(h->from(), v);
    EXPECT_EQ(h->to(), layout->outerDivider(LayoutRegion::Right));
    ASSERT_EQ(layout->regions().size(), 3u);
    EXPECT_EQ(regionBounds(*layout, 0), (LayoutRect {0, 0, 500, 700}));
    EXPECT_EQ(regionBounds(*layout, 1), (LayoutRect {500, 0, 500, 350}));
    EXPECT_EQ(regionBounds(*layout, 2), (LayoutRect {500, 350, 500, 350}));
    EXPECT_EQ(layout->countRegionsWithKind(QLatin1String("")), 3u);
    EXPECT_EQ(layout->firstRegionIndexWithKind(QStringLiteral("study")), kLayoutNotFound);
    EXPECT_EQ(layout->firstRegionIndexWithKind(QString()), 0u);
}

TEST(LayoutBuild, DescriptorsOfStripsAndCells)
{
    auto v111 = descriptorLayout("V111");
    EXPECT_EQ(positions(v111->sortedVerticalDividers()), (std::vector<double> {0, 333, 667, 1000}));

    auto h21 = descriptorLayout("H21", {0, 0, 800, 600});
    ASSERT_EQ(h21->regions().size(), 3u);
    EXPECT_EQ(regionBounds(*h21, 0), (LayoutRect {400, 300, 400, 300}));
    EXPECT_EQ(regionBounds(*h21, 1), (LayoutRect {0, 0, 800, 300}));
    EXPECT_EQ(regionBounds(*h21, 2), (LayoutRect {0, 300, 400, 300}));

    for (const char* single : {"H1", "V1", "V", ""}) {
        auto layout = descriptorLayout(single);
        ASSERT_EQ(layout->regions().size(), 1u) << single;
        EXPECT_EQ(regionBounds(*layout, 0), kWindow) << single;
    }

    // ':' is ten past '0': one column of ten cells, region 0 at the bottom, the others from the top.
    auto tall = descriptorLayout("V:");
    ASSERT_EQ(tall->regions().size(), 10u);
    EXPECT_EQ(regionBounds(*tall, 0), (LayoutRect {0, 0, 1000, 70}));
    EXPECT_EQ(regionBounds(*tall, 1), (LayoutRect {0, 630, 1000, 70}));
    EXPECT_EQ(regionBounds(*tall, 9), (LayoutRect {0, 70, 1000, 70}));
}

TEST(LayoutLookups, SortedDividersAreStable)
{
    // Two horizontal dividers at 300 and two at 100; equal positions keep the dividers' order.
    auto layout = storedLayout({{false, 300, 3, 1}, {true, 1000, 0, 2}, {false, 100, 3, 1}, {true, 0, 0, 2},
                                   {false, 300, 3, 1}, {false, 100, 3, 1}},
        {{0, 1, 2, 3}});
    ASSERT_TRUE(layout);
    const auto d = [&](size_t i) { return layout->dividerAt(i); };
    EXPECT_EQ(layout->sortedHorizontalDividers(), (std::vector<LayoutDivider*> {d(2), d(5), d(0), d(4)}));
    EXPECT_EQ(layout->sortedVerticalDividers(), (std::vector<LayoutDivider*> {d(3), d(1)}));
}

TEST(LayoutLookups, ContentsAndItems)
{
    auto layout = descriptorLayout("V12");
    auto other = descriptorLayout("V1");
    EXPECT_EQ(layout->contentsForRegion(layout->regionAt(2)), layout->contentsAt(2));
    EXPECT_EQ(layout->contentsForRegion(other->regionAt(0)), nullptr);
    layout->setCurrentRegion(nullptr);
    EXPECT_EQ(layout->currentRegionIndex(), kLayoutNotFound);
    EXPECT_EQ(layout->currentRegionContents(), nullptr);

    auto item = std::make_unique<LayoutRegionContentItem>();
    const QString uuid = item->uuidString();
    layout->contentsAt(1)->items().push_back(std::make_unique<LayoutRegionContentItem>());
    layout->contentsAt(2)->items().push_back(std::move(item));
    EXPECT_EQ(layout->regionContentsContainingItemWithUuidString(uuid), layout->contentsAt(2));
    EXPECT_EQ(layout->regionContentsContainingItemWithUuidString(QStringLiteral("nope")), nullptr);
    EXPECT_EQ(layout->bounds(), kWindow);
}

// ---------------------------------------------------------------------------------------------
// Editing

TEST(LayoutEditing, SplitVerticallyAndHorizontally)
{
    auto layout = Layout::layoutInRect(kWindow, QString());
    LayoutRegion* n = layout->splitRegion(0, true, true, 0.5, QStringLiteral("x"));
    ASSERT_EQ(layout->regions().size(), 2u);
    EXPECT_EQ(n, layout->regionAt(1));
    EXPECT_EQ(layout->contentsAt(1)->kind(), QStringLiteral("x"));
    LayoutDivider* d = layout->dividerAt(4);
    EXPECT_EQ(d->at(), 500);
    EXPECT_EQ(d->from(), layout->outerDivider(LayoutRegion::Bottom));
    EXPECT_EQ(d->to(), layout->outerDivider(LayoutRegion::Top));
    EXPECT_EQ(regionBounds(*layout, 0), (LayoutRect {0, 0, 500, 700}));
    EXPECT_EQ(regionBounds(*layout, 1), (LayoutRect {500, 0, 500, 700}));
    EXPECT_EQ(layout->currentRegion(), layout->regionAt(0));

    auto keepTop = Layout::layoutInRect({0, 0, 800, 600}, QString());
    keepTop->regionAt(0)->setMinSize({50, 60});
    keepTop->splitRegion(0, false, true, 0.25, QString());
    EXPECT_EQ(keepTop->dividerAt(4)->at(), 450);
    EXPECT_EQ(regionBounds(*keepTop, 0), (LayoutRect {0, 450, 800, 150}));
    EXPECT_EQ(regionBounds(*keepTop, 1), (LayoutRect {0, 0, 800, 450}));
    EXPECT_EQ(keepTop->regionAt(1)->minSize(), (LayoutSize {100, 100}));  // default limits, not the old region's

    auto newTop = Layout::layoutInRect({0, 0, 800, 600}, QString());
    newTop->splitRegion(0, false, false, 0.25, QString());
    EXPECT_EQ(regionBounds(*newTop, 1), (LayoutRect {0, 450, 800, 150}));
    EXPECT_EQ(regionBounds(*newTop, 0), (LayoutRect {0, 0, 800, 450}));

    auto odd = Layout::layoutInRect({333, 0, 667, 700}, QString());
    odd->splitRegion(0, true, true, 0.5, QString());
    EXPECT_EQ(odd->dividerAt(4)->at(), 667);

    EXPECT_EQ(odd->splitRegion(7, true, true, 0.5, QString()), nullptr);
    for (double bad : {0.0, 1.0, -0.5, std::nan("")})
        EXPECT_EQ(odd->splitRegion(0, true, true, bad, QString()), nullptr) << bad;
    EXPECT_EQ(odd->regions().size(), 2u);
    EXPECT_EQ(odd->dividers().size(), 5u);
}

TEST(LayoutEditing, AddAlongTheLeftOfOneRegion)
{
    auto layout = Layout::layoutInRect(kWindow, QString());
    LayoutRegion* study = layout->addRegionWithDimension(290, LayoutRegion::Left, QStringLiteral("study"), true);
    ASSERT_EQ(layout->regions().size(), 2u);
    EXPECT_EQ(study, layout->regionAt(1));
    EXPECT_EQ(layout->contentsAt(1)->kind(), QStringLiteral("study"));
    LayoutDivider* edge = layout->dividerAt(4);
    EXPECT_TRUE(edge->vertical());
    EXPECT_TRUE(edge->treatAsOutside());
    EXPECT_EQ(edge->at(), 290);
    EXPECT_EQ(regionBounds(*layout, 0), (LayoutRect {290, 0, 710, 700}));
    EXPECT_EQ(regionBounds(*layout, 1), (LayoutRect {0, 0, 290, 700}));
    EXPECT_EQ(layout->outerDivider(LayoutRegion::Left)->at(), 0);
    EXPECT_EQ(layout->outerDivider(LayoutRegion::Top)->from(), edge);
    EXPECT_EQ(layout->outerDivider(LayoutRegion::Top)->to(), layout->outerDivider(LayoutRegion::Right));
    EXPECT_EQ(layout->outerDivider(LayoutRegion::Bottom)->from(), edge);
    EXPECT_EQ(layout->regionAt(0)->left(), edge);
    EXPECT_EQ(layout->currentRegion(), layout->regionAt(0));

    EXPECT_EQ(layout->addRegionWithDimension(10, 4, QString(), false), nullptr);
    EXPECT_EQ(layout->addRegionWithDimension(0, LayoutRegion::Left, QString(), false), nullptr);
    EXPECT_EQ(layout->addRegionWithDimension(700, LayoutRegion::Top, QString(), false), nullptr);
    EXPECT_EQ(layout->regions().size(), 2u);
    EXPECT_EQ(layout->dividers().size(), 5u);
}

TEST(LayoutEditing, AddAlongEachSide)
{
    const struct {
        int side;
        LayoutRect rest;
        LayoutRect added;
    } cases[] = {
        {LayoutRegion::Top, {0, 0, 1000, 600}, {0, 600, 1000, 100}},
        {LayoutRegion::Right, {0, 0, 900, 700}, {900, 0, 100, 700}},
        {LayoutRegion::Bottom, {0, 100, 1000, 600}, {0, 0, 1000, 100}},
    };
    for (const auto& c : cases) {
        auto layout = Layout::layoutInRect(kWindow, QString());
        layout->addRegionWithDimension(100, static_cast<quint64>(c.side), QString(), false);
        EXPECT_EQ(regionBounds(*layout, 0), c.rest) << c.side;
        EXPECT_EQ(regionBounds(*layout, 1), c.added) << c.side;
        EXPECT_EQ(layout->bounds(), kWindow) << c.side;
        EXPECT_FALSE(layout->dividerAt(4)->treatAsOutside());
    }
}

TEST(LayoutEditing, AddStudyToV12AndRemoveItAgain)
{
    auto layout = firstStartLayout();
    ASSERT_EQ(layout->regions().size(), 4u);
    EXPECT_EQ(regionBounds(*layout, 0), (LayoutRect {290, 0, 355, 700}));
    EXPECT_EQ(regionBounds(*layout, 1), (LayoutRect {645, 0, 355, 350}));
    EXPECT_EQ(regionBounds(*layout, 2), (LayoutRect {645, 350, 355, 350}));
    EXPECT_EQ(regionBounds(*layout, 3), (LayoutRect {0, 0, 290, 700}));

    ASSERT_TRUE(layout->removeRegion(layout->regionAt(3)));
    ASSERT_EQ(layout->regions().size(), 3u);
    EXPECT_EQ(layout->dividers().size(), 6u);
    EXPECT_EQ(regionBounds(*layout, 0), (LayoutRect {0, 0, 500, 700}));
    EXPECT_EQ(regionBounds(*layout, 1), (LayoutRect {500, 0, 500, 350}));
    EXPECT_EQ(regionBounds(*layout, 2), (LayoutRect {500, 350, 500, 350}));
    EXPECT_EQ(layout->regionAt(0)->left(), layout->outerDivider(LayoutRegion::Left));
    EXPECT_EQ(layout->outerDivider(LayoutRegion::Top)->from(), layout->outerDivider(LayoutRegion::Left));

    auto single = Layout::layoutInRect(kWindow, QString());
    single->addRegionWithDimension(290, LayoutRegion::Left, QStringLiteral("study"), true);
    ASSERT_TRUE(single->removeRegion(single->regionAt(1)));
    EXPECT_EQ(single->dividers().size(), 4u);
    EXPECT_EQ(regionBounds(*single, 0), kWindow);
}

TEST(LayoutEditing, RemoveMiddleColumnSharesItsWidth)
{
    auto layout = descriptorLayout("V111");
    LayoutDivider* right = layout->dividerAt(5);
    ASSERT_TRUE(layout->removeRegion(layout->regionAt(1)));
    ASSERT_EQ(layout->regions().size(), 2u);
    ASSERT_EQ(layout->dividers().size(), 5u);
    EXPECT_EQ(layout->dividerAt(4), right);
    EXPECT_EQ(right->at(), 500);
    EXPECT_EQ(regionBounds(*layout, 0), (LayoutRect {0, 0, 500, 700}));
    EXPECT_EQ(regionBounds(*layout, 1), (LayoutRect {500, 0, 500, 700}));
    EXPECT_EQ(layout->regionAt(0)->right(), right);
}

TEST(LayoutEditing, RemoveCurrentTopRightCellGrowsItsNeighbourAndMovesCurrent)
{
    auto layout = descriptorLayout("V12");
    layout->setCurrentRegion(layout->regionAt(2));
    LayoutRegion* grower = layout->regionAt(1);
    ASSERT_TRUE(layout->removeRegion(layout->regionAt(2)));
    EXPECT_EQ(layout->dividers().size(), 5u);
    EXPECT_EQ(grower->bounds(), (LayoutRect {500, 0, 500, 700}));
    EXPECT_EQ(layout->currentRegion(), grower);
    EXPECT_EQ(layout->contents().size(), 2u);
}

TEST(LayoutEditing, RemoveLeftBandRefitsTheRest)
{
    auto layout = descriptorLayout("V12");
    LayoutDivider* h = layout->dividerAt(5);
    ASSERT_TRUE(layout->removeRegion(layout->regionAt(0)));
    ASSERT_EQ(layout->dividers().size(), 5u);
    EXPECT_EQ(h->from(), layout->outerDivider(LayoutRegion::Left));
    EXPECT_EQ(regionBounds(*layout, 0), (LayoutRect {0, 0, 1000, 350}));
    EXPECT_EQ(regionBounds(*layout, 1), (LayoutRect {0, 350, 1000, 350}));
    // The current region was removed and a book region of the same kind grew: it is current now.
    EXPECT_EQ(layout->currentRegion(), layout->regionAt(0));
}

TEST(LayoutEditing, RemovalKeepsAnotherCurrentRegionAndPrefersTheSameKind)
{
    auto layout = firstStartLayout();
    layout->setCurrentRegion(layout->regionAt(1));
    ASSERT_TRUE(layout->removeRegion(layout->regionAt(2)));
    EXPECT_EQ(layout->currentRegion(), layout->regionAt(1));

    // The current study region goes; only book regions grow: the first study region (none)
    // cannot take over, so the first region does.
    auto study = firstStartLayout();
    study->setCurrentRegion(study->regionAt(3));
    ASSERT_TRUE(study->removeRegion(study->regionAt(3)));
    EXPECT_EQ(study->currentRegion(), study->regionAt(0));
}

TEST(LayoutEditing, RefusedRemovals)
{
    auto single = Layout::layoutInRect(kWindow, QString());
    EXPECT_FALSE(single->removeRegion(single->regionAt(0)));
    auto other = descriptorLayout("V11");
    EXPECT_FALSE(single->removeRegion(other->regionAt(0)));
    EXPECT_FALSE(single->removeRegion(nullptr));
    EXPECT_EQ(single->regions().size(), 1u);

    // The centre of a pinwheel has no whole side: nobody can grow into it.
    auto pinwheel = storedLayout(
        {
            {false, 300, 3, 1},  // 0 top
            {true, 300, 0, 2},   // 1 right
            {false, 0, 3, 1},    // 2 bottom
            {true, 0, 0, 2},     // 3 left
            {true, 100, 7, 0},   // 4: x=100 from y=100 up
            {false, 200, 4, 1},  // 5: y=200 from x=100 right
            {true, 200, 2, 5},   // 6: x=200 from the bottom up to y=200
            {false, 100, 3, 6},  // 7: y=100 from the left to x=200
        },
        {{5, 6, 7, 4} /* centre */, {0, 4, 7, 3}, {0, 1, 5, 4}, {5, 1, 2, 6}, {7, 6, 2, 3}});
    ASSERT_TRUE(pinwheel);
    EXPECT_EQ(regionBounds(*pinwheel, 0), (LayoutRect {100, 100, 100, 100}));
    EXPECT_FALSE(pinwheel->removeRegion(pinwheel->regionAt(0)));
    EXPECT_EQ(pinwheel->regions().size(), 5u);
    EXPECT_EQ(pinwheel->dividers().size(), 8u);
}

// ---------------------------------------------------------------------------------------------
// Fitting, minimum sizes and dragging

TEST(LayoutFit, V12ScalesDown)
{
    auto layout = descriptorLayout("V12");
    LogCapture log;
    layout->resizeLayoutIntoRect({0, 0, 500, 350});
    EXPECT_TRUE(log.messages().isEmpty()) << log.messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(layout->dividerAt(4)->at(), 250);
    EXPECT_EQ(layout->dividerAt(5)->at(), 175);
    EXPECT_EQ(regionBounds(*layout, 0), (LayoutRect {0, 0, 250, 350}));
    EXPECT_EQ(regionBounds(*layout, 1), (LayoutRect {250, 0, 250, 175}));
    EXPECT_EQ(regionBounds(*layout, 2), (LayoutRect {250, 175, 250, 175}));
}

TEST(LayoutFit, SidePaneKeepsItsWidthAndGivesItUpFirst)
{
    const struct {
        double width;
        double sideDivider;
        double bookDivider;
    } cases[] = {{1200, 290, 745}, {500, 100, 300}, {400, 100, 250}};
    for (const auto& c : cases) {
        auto layout = twoBooksBesideStudy();
        ASSERT_EQ(layout->dividerAt(4)->at(), 645);
        ASSERT_EQ(layout->dividerAt(5)->at(), 290);
        LogCapture log;
        layout->resizeLayoutIntoRect({0, 0, c.width, 700});
        EXPECT_TRUE(log.messages().isEmpty());
        EXPECT_EQ(layout->dividerAt(5)->at(), c.sideDivider) << c.width;
        EXPECT_EQ(layout->dividerAt(4)->at(), c.bookDivider) << c.width;
        EXPECT_EQ(layout->outerDivider(LayoutRegion::Right)->at(), c.width);
    }
    // The study pane gave up its width, down to the width it shows something at, before a book
    // pane fell below its minimum.
    auto narrow = twoBooksBesideStudy();
    narrow->resizeLayoutIntoRect({0, 0, 400, 700});
    EXPECT_EQ(narrow->regionAt(1)->bounds().width, 150);
    // Small and large again, and through several sizes: the dividers come back where they were.
    for (double width : {400.0, 733.0, 251.0, 1600.0, 999.0, 1000.0})
        narrow->resizeLayoutIntoRect({0, 0, width, 700});
    EXPECT_EQ(narrow->dividerAt(4)->at(), 645);
    EXPECT_EQ(narrow->dividerAt(5)->at(), 290);
    // A divider moved since is where the next fits start from.
    narrow->dividerAt(4)->setAt(700);
    narrow->resizeLayoutIntoRect({0, 0, 500, 700});
    narrow->resizeLayoutIntoRect({0, 0, 1000, 700});
    EXPECT_EQ(narrow->dividerAt(4)->at(), 700);
    EXPECT_EQ(narrow->dividerAt(5)->at(), 290);
    // A hidden study pane (6 points) keeps its width.
    auto hidden = twoBooksBesideStudy();
    hidden->dividerAt(5)->setAt(6);
    hidden->resizeLayoutIntoRect({0, 0, 500, 700});
    EXPECT_EQ(hidden->dividerAt(5)->at(), 6);
}

TEST(LayoutFit, InnerRegionsKeepTheirMinimumWhenTheRectangleHasRoom)
{
    // A left column whose lower half holds three columns of 250, 125 and 125 points.
    auto layout = Layout::layoutInRect(kWindow, QString());
    layout->splitRegion(0, true, true, 0.5, QString());
    layout->splitRegion(0, false, false, 0.5, QString());
    layout->splitRegion(0, true, true, 0.5, QString());
    layout->splitRegion(3, true, true, 0.5, QString());
    ASSERT_EQ(layout->minSize(), (LayoutSize {400, 200}));
    for (double width : {420.0, 400.0, 555.0}) {
        auto copy = Layout::decode(layout->encode());
        copy->resizeLayoutIntoRect({0, 0, width, 700});
        for (const auto& r : copy->regions()) {
            EXPECT_GE(r->bounds().width, 100) << width;
            EXPECT_GE(r->bounds().height, 100) << width;
        }
        EXPECT_EQ(copy->bounds(), (LayoutRect {0, 0, width, 700}));
    }
}

TEST(LayoutFit, FirstStartLayoutWidens)
{
    auto layout = firstStartLayout();
    layout->resizeLayoutIntoRect({0, 0, 1200, 700});
    EXPECT_EQ(regionBounds(*layout, 0), (LayoutRect {290, 0, 455, 700}));
    EXPECT_EQ(regionBounds(*layout, 1), (LayoutRect {745, 0, 455, 350}));
    EXPECT_EQ(regionBounds(*layout, 2), (LayoutRect {745, 350, 455, 350}));
    EXPECT_EQ(regionBounds(*layout, 3), (LayoutRect {0, 0, 290, 700}));
    EXPECT_EQ(layout->minSize(), (LayoutSize {300, 200}));  // the study pane down to 100
}

TEST(LayoutFit, ZeroExtentMeansTenThousandAndMovingTheOrigin)
{
    auto layout = descriptorLayout("V12");
    layout->resizeLayoutIntoRect({5, 0, 0, 700});
    EXPECT_EQ(layout->outerDivider(LayoutRegion::Left)->at(), 5);
    EXPECT_EQ(layout->outerDivider(LayoutRegion::Right)->at(), 10005);
    EXPECT_EQ(layout->dividerAt(4)->at(), 5005);

    layout->resizeLayoutIntoRect({-10.5, 20.5, 1000, 700});
    EXPECT_EQ(layout->bounds(), (LayoutRect {-11, 21, 1001, 700}));  // 989.5 rounds up
}

TEST(LayoutFit, MissingNeighboursAreLoggedAndSkipped)
{
    auto layout = descriptorLayout("V11");
    // Cut the outer right loose: nothing after the inner divider touches both of its ends.
    LayoutDivider* top = layout->outerDivider(LayoutRegion::Top);
    LayoutDivider* bottom = layout->outerDivider(LayoutRegion::Bottom);
    LayoutDivider* right = layout->outerDivider(LayoutRegion::Right);
    top->setTo(top->from());
    bottom->setTo(bottom->from());
    right->setFrom(nullptr);
    right->setTo(nullptr);
    LogCapture log;
    layout->resizeLayoutIntoRect({0, 0, 500, 700});
    EXPECT_TRUE(log.contains(QStringLiteral("resizeLayoutIntoRect: this should not happen(1)")));
    EXPECT_EQ(layout->dividerAt(4)->at(), 250);
}

TEST(LayoutMinSize, OfLayoutsAndAreas)
{
    EXPECT_EQ(descriptorLayout("V111")->minSize(), (LayoutSize {300, 100}));
    EXPECT_EQ(descriptorLayout("V12")->minSize(), (LayoutSize {200, 200}));
    EXPECT_EQ(descriptorLayout("H21")->minSize(), (LayoutSize {200, 200}));

    auto besideStudy = Layout::layoutInRect(kWindow, QString());
    LayoutRegion* study = besideStudy->addRegionWithDimension(290, LayoutRegion::Left, QStringLiteral("study"), true);
    study->setMinSize({6, 100});
    EXPECT_EQ(besideStudy->minSize(), (LayoutSize {200, 100}));

    // No region and no cut inside: the default.
    auto v12 = descriptorLayout("V12");
    EXPECT_EQ(v12->minSizeOfRegionsBoundedByTop(v12->outerDivider(LayoutRegion::Top),
                  v12->outerDivider(LayoutRegion::Right), v12->dividerAt(5), v12->outerDivider(LayoutRegion::Left)),
        (LayoutSize {100, 100}));
    // A region's own limits count; zero falls back to 100.
    v12->regionAt(0)->setMinSize({250, 0});
    EXPECT_EQ(v12->minSize(), (LayoutSize {350, 200}));
}

TEST(LayoutDrag, LimitsOfTheV12Divider)
{
    auto layout = descriptorLayout("V12");
    LayoutDivider* v = layout->dividerAt(4);
    EXPECT_TRUE(layout->canDragDivider(v, {899, 10}));
    EXPECT_FALSE(layout->canDragDivider(v, {901, 10}));
    EXPECT_TRUE(layout->canDragDivider(v, {100, 10}));
    EXPECT_FALSE(layout->canDragDivider(v, {99, 10}));
    EXPECT_EQ(v->at(), 500);

    LayoutDivider* h = layout->dividerAt(5);
    EXPECT_TRUE(layout->canDragDivider(h, {0, 600}));
    EXPECT_FALSE(layout->canDragDivider(h, {0, 601}));
    EXPECT_EQ(h->at(), 350);

    EXPECT_FALSE(layout->canDragDivider(nullptr, {601, 10}));
    // A point past a limit is taken to the limit; a point within the limits is kept.
    EXPECT_EQ(layout->nearestDragPoint(v, {950, 10}), (LayoutPoint {900, 10}));
    EXPECT_EQ(layout->nearestDragPoint(v, {20, 10}), (LayoutPoint {100, 10}));
    EXPECT_EQ(layout->nearestDragPoint(v, {612.5, 10}), (LayoutPoint {612.5, 10}));
    EXPECT_EQ(layout->nearestDragPoint(h, {0, 680}), (LayoutPoint {0, 600}));
    EXPECT_FALSE(layout->nearestDragPoint(nullptr, {601, 10}));

    // A stored maximum width of the left pane holds the divider as well.
    const QVariant archived = layout->encode();
    QVariantList regions = archived.toMap().value(QStringLiteral("regions")).toList();
    regions[0] = withKey(regions[0], QStringLiteral("maxwidth"), 600.0);
    auto stored = Layout::decode(withKey(archived, QStringLiteral("regions"), regions));
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->canDragDivider(stored->dividerAt(4), {600, 10}));
    EXPECT_FALSE(stored->canDragDivider(stored->dividerAt(4), {601, 10}));
    EXPECT_EQ(stored->nearestDragPoint(stored->dividerAt(4), {750, 10}), (LayoutPoint {600, 10}));
    // Limits that leave no room: no position at all.
    stored->regionAt(0)->setMinSize({700, 100});
    EXPECT_FALSE(stored->nearestDragPoint(stored->dividerAt(4), {650, 10}));
}

// ---------------------------------------------------------------------------------------------
// Archive

namespace {

void expectSameGeometry(const Layout& a, const Layout& b)
{
    ASSERT_EQ(a.dividers().size(), b.dividers().size());
    ASSERT_EQ(a.regions().size(), b.regions().size());
    ASSERT_EQ(a.contents().size(), b.contents().size());
    for (size_t i = 0; i < a.dividers().size(); ++i) {
        const LayoutDivider* x = a.dividerAt(i);
        const LayoutDivider* y = b.dividerAt(i);
        EXPECT_EQ(x->at(), y->at()) << i;
        EXPECT_EQ(x->vertical(), y->vertical()) << i;
        EXPECT_EQ(x->treatAsOutside(), y->treatAsOutside()) << i;
        EXPECT_EQ(dividerIndex(a, x->from()), dividerIndex(b, y->from())) << i;
        EXPECT_EQ(dividerIndex(a, x->to()), dividerIndex(b, y->to())) << i;
    }
    for (size_t i = 0; i < a.regions().size(); ++i) {
        for (int s = 0; s < 4; ++s)
            EXPECT_EQ(dividerIndex(a, a.regionAt(i)->side(s)), dividerIndex(b, b.regionAt(i)->side(s)));
        EXPECT_EQ(a.regionAt(i)->bounds(), b.regionAt(i)->bounds());
        EXPECT_EQ(a.regionAt(i)->minSize(), b.regionAt(i)->minSize());
        EXPECT_EQ(a.regionAt(i)->maxSize(), b.regionAt(i)->maxSize());
        EXPECT_EQ(a.contentsAt(i)->kind(), b.contentsAt(i)->kind());
    }
    EXPECT_EQ(a.currentRegionIndex(), b.currentRegionIndex());
    EXPECT_EQ(a.uuidString(), b.uuidString());
    EXPECT_EQ(a.name(), b.name());
}

}  // namespace

TEST(LayoutArchive, BuiltSplitFittedEditedReadsBackIdentical)
{
    auto layout = firstStartLayout();
    layout->setName(QStringLiteral("Study \"desk\" <&>"));
    layout->splitRegion(0, false, true, 0.5, QString());
    layout->resizeLayoutIntoRect({0, 0, 1234, 777});
    layout->removeRegion(layout->regionAt(1));
    layout->setCurrentRegion(layout->regionAt(2));
    const QVariant archived = layout->encode();
    for (size_t i = 0; i < layout->dividers().size(); ++i)
        EXPECT_EQ(layout->dividerAt(i)->index(), i);

    // Through the file form as well, as the layout archive does.
    const QVariant fromXml = KeyedArchive::fromXml(KeyedArchive::toXml(archived));
    auto back = Layout::decode(fromXml);
    ASSERT_TRUE(back);
    expectSameGeometry(*layout, *back);
    EXPECT_EQ(back->currentRegionIndex(), 2u);
}

// A book pane squeezed to no width (its divider on the study pane's edge, as an older fit left it)
// is widened to its minimum when its layout is read, or fitted, and keeps it at any size; a layout
// stored too small for its minimums grows to hold them.
TEST(LayoutArchive, APaneUnderItsMinimumIsWidenedWhenReadOrFitted)
{
    const auto squeezed = [](double studyEdge, double right) {
        auto layout = firstStartLayout();
        layout->resizeLayoutIntoRect({0, 0, 1440, 900});
        layout->outerDivider(LayoutRegion::Right)->setAt(right);
        layout->regionAt(3)->right()->setAt(studyEdge);
        layout->regionAt(0)->right()->setAt(studyEdge);
        return layout;
    };
    const auto expectMinimums = [](const Layout& layout, const char* step) {
        for (size_t i = 0; i < layout.regions().size(); ++i) {
            const double least = i == 3 ? 6 : 100;
            EXPECT_GE(layout.regionAt(i)->bounds().width, least) << step << " region " << i;
            EXPECT_GE(layout.regionAt(i)->bounds().height, 100) << step << " region " << i;
        }
    };
    auto stored = squeezed(106, 1440);
    ASSERT_EQ(regionBounds(*stored, 0).width, 0);
    auto back = Layout::decode(KeyedArchive::fromXml(KeyedArchive::toXml(stored->encode())));
    ASSERT_TRUE(back);
    EXPECT_EQ(regionBounds(*back, 3), (LayoutRect {0, 0, 106, 900}));
    EXPECT_EQ(regionBounds(*back, 0), (LayoutRect {106, 0, 100, 900}));
    EXPECT_EQ(regionBounds(*back, 1), (LayoutRect {206, 0, 1234, 450}));
    EXPECT_EQ(back->bounds(), (LayoutRect {0, 0, 1440, 900}));
    for (double width : {1440.0, 306.0, 207.0, 800.0, 1440.0}) {
        back->resizeLayoutIntoRect({0, 0, width, 900});
        if (width >= 306)
            expectMinimums(*back, "read, then fitted");
    }
    EXPECT_GE(regionBounds(*back, 0).width, 100);

    // Not read but fitted: the same.
    auto fitted = squeezed(106, 1440);
    fitted->resizeLayoutIntoRect({0, 0, 1440, 900});
    expectMinimums(*fitted, "fitted");

    // Stored in 150 points, where the minimums need 250: the layout grows by the 100 missing.
    auto small = Layout::decode(squeezed(50, 150)->encode());
    ASSERT_TRUE(small);
    expectMinimums(*small, "read from a small rectangle");
    EXPECT_EQ(small->bounds(), (LayoutRect {0, 0, 250, 900}));
    EXPECT_EQ(regionBounds(*small, 3).width, 50);
}

TEST(LayoutArchive, VersionsAndCurrentRegion)
{
    auto layout = descriptorLayout("V12");
    layout->setCurrentRegion(layout->regionAt(2));
    const QVariant archived = layout->encode();

    auto bad = Layout::decode(withKey(archived, QStringLiteral("currentRegionIndex"), qint64(7)));
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->currentRegionIndex(), 0u);
    auto negative = Layout::decode(withKey(archived, QStringLiteral("currentRegionIndex"), qint64(-1)));
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->currentRegionIndex(), 0u);

    auto v1 = Layout::decode(
        withKey(withKey(archived, QStringLiteral("version"), qint64(1)), QStringLiteral("uuidString"), QVariant()));
    ASSERT_TRUE(v1);
    EXPECT_NE(v1->uuidString(), layout->uuidString());
    EXPECT_EQ(v1->uuidString().size(), 36);
    auto v3 = Layout::decode(withKey(archived, QStringLiteral("version"), qint64(3)));
    ASSERT_TRUE(v3);
    EXPECT_EQ(v3->uuidString(), layout->uuidString());

    LogCapture log;
    EXPECT_FALSE(Layout::decode(withKey(archived, QStringLiteral("version"), qint64(4))));
    EXPECT_TRUE(log.contains(QStringLiteral("Layout: unrecognized archive version (4)")));
    EXPECT_FALSE(Layout::decode(withKey(archived, QStringLiteral("regions"), QVariantList())));
    EXPECT_TRUE(log.contains(QStringLiteral("Layout: layout contains no regions")));
    EXPECT_FALSE(Layout::decode(QVariant()));
    EXPECT_FALSE(Layout::decode(QStringLiteral("not an archive")));
}

TEST(LayoutArchive, RejectsLinksNoLayoutWrites)
{
    auto layout = descriptorLayout("V12");
    const QVariant archived = layout->encode();
    const QVariantList dividers = archived.toMap().value(QStringLiteral("dividers")).toList();
    const QVariantList regions = archived.toMap().value(QStringLiteral("regions")).toList();

    for (qint64 bad : {qint64(-1), qint64(6), qint64(1) << 40}) {
        QVariantList d = dividers;
        d[5] = withKey(d[5], QStringLiteral("toindex"), bad);
        EXPECT_FALSE(Layout::decode(withKey(archived, QStringLiteral("dividers"), d))) << bad;
        QVariantList r = regions;
        r[1] = withKey(r[1], QStringLiteral("leftindex"), bad);
        EXPECT_FALSE(Layout::decode(withKey(archived, QStringLiteral("regions"), r))) << bad;
    }
    QVariantList fewer = dividers.mid(0, 3);
    EXPECT_FALSE(Layout::decode(withKey(archived, QStringLiteral("dividers"), fewer)));
    QVariantList contents = archived.toMap().value(QStringLiteral("contents")).toList();
    contents.removeLast();
    EXPECT_FALSE(Layout::decode(withKey(archived, QStringLiteral("contents"), contents)));
    QVariantList d = dividers;
    d[2] = withKey(d[2], QStringLiteral("version"), qint64(9));
    EXPECT_FALSE(Layout::decode(withKey(archived, QStringLiteral("dividers"), d)));

    QVariantList many = dividers;
    while (many.size() <= 512)
        many.append(dividers[4]);
    LogCapture log;
    EXPECT_FALSE(Layout::decode(withKey(archived, QStringLiteral("dividers"), many)));
    EXPECT_TRUE(log.contains(QStringLiteral("Layout: too many dividers or regions")));
    many.removeLast();  // 512 is still read
    EXPECT_TRUE(Layout::decode(withKey(archived, QStringLiteral("dividers"), many)));
}

// ---------------------------------------------------------------------------------------------
// Random editing: after every step the regions tile the layout exactly, every limit holds or
// the step was refused, and the layout reads back from its archive unchanged.

namespace {

void expectTiling(const Layout& layout, const std::string& where)
{
    const LayoutRect b = layout.bounds();
    double area = 0;
    const auto& regions = layout.regions();
    for (size_t i = 0; i < regions.size(); ++i) {
        const LayoutRect r = regions[i]->bounds();
        ASSERT_GT(r.width, 0) << where << " region " << i;
        ASSERT_GT(r.height, 0) << where << " region " << i;
        ASSERT_GE(r.left(), b.left()) << where;
        ASSERT_LE(r.right(), b.right()) << where;
        ASSERT_GE(r.bottom(), b.bottom()) << where;
        ASSERT_LE(r.top(), b.top()) << where;
        area += r.width * r.height;
        for (size_t j = i + 1; j < regions.size(); ++j) {
            const LayoutRect o = regions[j]->bounds();
            const double w = std::min(r.right(), o.right()) - std::max(r.left(), o.left());
            const double h = std::min(r.top(), o.top()) - std::max(r.bottom(), o.bottom());
            ASSERT_FALSE(w > 0 && h > 0) << where << " regions " << i << " and " << j << " overlap";
        }
        for (int s = 0; s < 4; ++s)
            ASSERT_NE(dividerIndex(layout, regions[i]->side(s)), kLayoutNotFound) << where;
    }
    ASSERT_EQ(area, b.width * b.height) << where;
    ASSERT_EQ(layout.contents().size(), regions.size()) << where;
    for (const auto& d : layout.dividers()) {
        ASSERT_NE(dividerIndex(layout, d->from()), kLayoutNotFound) << where;
        ASSERT_NE(dividerIndex(layout, d->to()), kLayoutNotFound) << where;
    }
    ASSERT_NE(layout.currentRegionIndex(), kLayoutNotFound) << where;
}

void expectMinimumSizes(const Layout& layout, const std::string& where)
{
    for (size_t i = 0; i < layout.regions().size(); ++i) {
        const LayoutRegion* r = layout.regionAt(i);
        ASSERT_GE(r->bounds().width, r->minSize().width) << where << " region " << i;
        ASSERT_GE(r->bounds().height, r->minSize().height) << where << " region " << i;
    }
}

}  // namespace

TEST(LayoutProperty, RandomSplitsRemovalsAndFitsKeepTheTiling)
{
    std::mt19937 rng(20261207);
    int removed = 0;
    int refused = 0;
    const auto pick = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    for (int run = 0; run < 150; ++run) {
        const LayoutRect rect {
            double(pick(200)) - 100, double(pick(200)) - 100, double(600 + pick(1400)), double(500 + pick(900))};
        auto layout = Layout::layoutInRect(rect, QString());
        bool hasStudy = false;
        for (int step = 0; step < 40; ++step) {
            const size_t op = pick(10);
            const std::string where =
                "run " + std::to_string(run) + " step " + std::to_string(step) + " op " + std::to_string(op);
            if (op < 5) {
                // Split as the pane commands do: only when both halves keep the minimum size.
                const size_t i = pick(layout->regions().size());
                if (layout->contentsAt(i)->kind() == LayoutRegionContents::kStudyKind)
                    continue;
                const bool vertically = pick(2) == 0;
                const LayoutRegion* r = layout->regionAt(i);
                const double half = (vertically ? r->bounds().width : r->bounds().height) / 2;
                if (half < (vertically ? r->minSize().width : r->minSize().height))
                    continue;
                layout->splitRegion(i, vertically, pick(2) == 0, 0.5, QString());
            } else if (op < 8) {
                if (layout->regions().size() < 2)
                    continue;
                const size_t before = layout->regions().size();
                LayoutRegion* r = layout->regionAt(pick(before));
                const bool wasStudy = layout->contentsForRegion(r)->kind() == LayoutRegionContents::kStudyKind;
                if (layout->removeRegion(r)) {
                    ASSERT_EQ(layout->regions().size(), before - 1) << where;
                    hasStudy = hasStudy && !wasStudy;
                    ++removed;
                } else {
                    ASSERT_EQ(layout->regions().size(), before) << where;
                    ++refused;
                }
            } else if (op == 8) {
                if (hasStudy || layout->minSize().width + 290 > layout->bounds().width)
                    continue;
                LayoutRegion* s =
                    layout->addRegionWithDimension(290, LayoutRegion::Left, LayoutRegionContents::kStudyKind, true);
                s->setMinSize({6, s->minSize().height});
                hasStudy = true;
            } else {
                const LayoutSize min = layout->minSize();
                const LayoutRect to {rect.x, rect.y, min.width + double(pick(1200)), min.height + double(pick(900))};
                layout->resizeLayoutIntoRect(to);
                ASSERT_EQ(layout->bounds(), to) << where;
                expectMinimumSizes(*layout, where + " (fit)");
            }
            expectTiling(*layout, where);
            if (HasFatalFailure())
                return;
            expectMinimumSizes(*layout, where);
            if (HasFatalFailure())
                return;
            auto back = Layout::decode(layout->encode());
            ASSERT_TRUE(back) << where;
            expectSameGeometry(*layout, *back);
            if (HasFatalFailure())
                return;
        }
    }
    // Layouts made by these operations always leave a neighbour that can grow into a removed
    // region: nothing is refused.
    EXPECT_GT(removed, 500);
    EXPECT_EQ(refused, 0);
}

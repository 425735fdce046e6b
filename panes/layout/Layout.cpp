#include "panes/layout/Layout.h"

#include "panes/layout/LayoutFitting.h"
#include "platform/KeyedArchive.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double positionOf(const LayoutDivider* d)
{
    return d ? d->at() : 0.0;
}

std::vector<LayoutDivider*> sortedDividers(const std::vector<std::unique_ptr<LayoutDivider>>& all, bool vertical)
{
    std::vector<LayoutDivider*> out;
    out.reserve(all.size());
    for (const auto& d : all) {
        if (d->vertical() == vertical)
            out.push_back(d.get());
    }
    // Stable: equal positions keep their list order.
    std::stable_sort(
        out.begin(), out.end(), [](const LayoutDivider* a, const LayoutDivider* b) { return a->at() < b->at(); });
    return out;
}

}  // namespace

Layout::Layout() : m_uuidString(LayoutRegionContentItem::newUuidString())
{
}

Layout::~Layout() = default;

// ---------------------------------------------------------------------------------------------
// Construction

std::unique_ptr<Layout> Layout::layoutInRect(const LayoutRect& rect, const QString& kind)
{
    const double w = rect.width > 0 ? rect.width : 10000;
    const double h = rect.height > 0 ? rect.height : 10000;
    auto layout = std::make_unique<Layout>();
    auto* top = layout->appendDivider(LayoutDivider::horizontalDividerFrom(nullptr, nullptr, layoutRound(rect.y + h)));
    auto* right = layout->appendDivider(LayoutDivider::verticalDividerFrom(nullptr, nullptr, layoutRound(rect.x + w)));
    auto* bottom = layout->appendDivider(LayoutDivider::horizontalDividerFrom(nullptr, nullptr, layoutRound(rect.y)));
    auto* left = layout->appendDivider(LayoutDivider::verticalDividerFrom(nullptr, nullptr, layoutRound(rect.x)));
    top->setFrom(left);
    top->setTo(right);
    right->setFrom(top);
    right->setTo(bottom);
    bottom->setFrom(left);
    bottom->setTo(right);
    left->setFrom(top);
    left->setTo(bottom);
    layout->appendRegion(LayoutRegion::regionBoundedByTop(top, right, bottom, left), kind);
    layout->m_currentRegion = layout->m_regions.front().get();
    layout->m_name = kDefaultName;
    return layout;
}

std::unique_ptr<Layout> Layout::layoutWithDescriptor(
    const QString& descriptor, const LayoutRect& rect, const QString& kind)
{
    auto layout = layoutInRect(rect, kind);
    if (descriptor.size() < 2)
        return layout;  // "H1"-like single region; an empty descriptor gives the same
    const bool columns = descriptor.at(0) == QLatin1Char('V');
    const qsizetype strips = descriptor.size() - 1;

    float f = static_cast<float>(strips);
    for (qsizetype i = 0; i + 1 < strips; ++i) {
        layout->splitRegion(static_cast<quint64>(i), columns, true, 1.0 / static_cast<double>(f), kind);
        f -= 1;
    }
    for (qsizetype i = 0; i < strips; ++i) {
        const int c = descriptor.at(i + 1).unicode();
        if (c < '2')
            continue;
        const int cells = c - '0';
        float g = static_cast<float>(cells);
        for (int k = 0; k + 1 < cells; ++k) {
            layout->splitRegion(static_cast<quint64>(i), !columns, false, 1.0 / static_cast<double>(g), kind);
            g -= 1;
        }
    }
    return layout;
}

void Layout::appendRegion(std::unique_ptr<LayoutRegion> region, const QString& kind)
{
    auto contents = LayoutRegionContents::factory();
    contents->setKind(kind);
    m_regions.push_back(std::move(region));
    m_contents.push_back(std::move(contents));
}

LayoutDivider* Layout::appendDivider(std::unique_ptr<LayoutDivider> divider)
{
    m_dividers.push_back(std::move(divider));
    return m_dividers.back().get();
}

void Layout::removeDivider(const LayoutDivider* divider)
{
    auto it =
        std::find_if(m_dividers.begin(), m_dividers.end(), [divider](const auto& d) { return d.get() == divider; });
    if (it != m_dividers.end())
        m_dividers.erase(it);
}

void Layout::repointDivider(const LayoutDivider* from, LayoutDivider* to)
{
    for (const auto& d : m_dividers) {
        if (d->from() == from)
            d->setFrom(to);
        else if (d->to() == from)
            d->setTo(to);
    }
}

std::unique_ptr<LayoutRegionContents> Layout::replaceContentsAt(
    size_t i, std::unique_ptr<LayoutRegionContents> contents)
{
    if (i >= m_contents.size() || !contents)
        return nullptr;
    std::swap(m_contents[i], contents);
    return contents;
}

// ---------------------------------------------------------------------------------------------
// Look-ups

LayoutRect Layout::bounds() const
{
    const double l = positionOf(outerDivider(LayoutRegion::Left));
    const double b = positionOf(outerDivider(LayoutRegion::Bottom));
    return {l, b, positionOf(outerDivider(LayoutRegion::Right)) - l, positionOf(outerDivider(LayoutRegion::Top)) - b};
}

quint64 Layout::indexOfRegion(const LayoutRegion* region) const
{
    if (!region)
        return kLayoutNotFound;
    for (size_t i = 0; i < m_regions.size(); ++i) {
        if (m_regions[i].get() == region)
            return i;
    }
    return kLayoutNotFound;
}

quint64 Layout::currentRegionIndex() const
{
    return indexOfRegion(m_currentRegion);
}

LayoutRegionContents* Layout::currentRegionContents() const
{
    return contentsForRegion(m_currentRegion);
}

LayoutRegionContents* Layout::contentsForRegion(const LayoutRegion* region) const
{
    const quint64 i = indexOfRegion(region);
    return i == kLayoutNotFound ? nullptr : contentsAt(i);
}

quint64 Layout::countRegionsWithKind(const QString& kind) const
{
    return static_cast<quint64>(
        std::count_if(m_contents.begin(), m_contents.end(), [&kind](const auto& c) { return c->kind() == kind; }));
}

quint64 Layout::firstRegionIndexWithKind(const QString& kind) const
{
    for (size_t i = 0; i < m_contents.size(); ++i) {
        if (m_contents[i]->kind() == kind)
            return i;
    }
    return kLayoutNotFound;
}

LayoutRegionContents* Layout::regionContentsContainingItemWithUuidString(const QString& uuid) const
{
    for (const auto& c : m_contents) {
        if (c->indexOfItemWithUuidString(uuid) != kLayoutNotFound)
            return c.get();
    }
    return nullptr;
}

std::vector<LayoutDivider*> Layout::sortedHorizontalDividers() const
{
    return sortedDividers(m_dividers, false);
}

std::vector<LayoutDivider*> Layout::sortedVerticalDividers() const
{
    return sortedDividers(m_dividers, true);
}

void Layout::willBeRemovedFromLayoutManager()
{
    for (const auto& c : m_contents)
        c->willBeRemovedFromLayoutManager();
}

void Layout::dump() const
{
    qInfo().noquote() << QStringLiteral("Layout %1 %2: %3").arg(m_uuidString).arg(m_regions.size()).arg(m_name);
    qInfo().noquote() << "Contents:";
    for (const auto& c : m_contents)
        c->dump();
    qInfo().noquote() << "---------";
}

// ---------------------------------------------------------------------------------------------
// Editing

LayoutRegion* Layout::splitRegion(
    quint64 regionIndex, bool vertically, bool oldOnTopLeft, double percent, const QString& kind)
{
    LayoutRegion* r = regionAt(regionIndex);
    if (!r || !(percent > 0 && percent < 1))
        return nullptr;
    appendRegion(LayoutRegion::regionBoundedByTop(r->top(), r->right(), r->bottom(), r->left()), kind);
    LayoutRegion* n = m_regions.back().get();
    const LayoutRect b = r->bounds();
    if (vertically) {
        auto* d = appendDivider(
            LayoutDivider::verticalDividerFrom(r->bottom(), r->top(), layoutRound(b.x + percent * b.width)));
        if (oldOnTopLeft) {
            r->setRight(d);
            n->setLeft(d);
        } else {
            n->setRight(d);
            r->setLeft(d);
        }
    } else {
        auto* d = appendDivider(
            LayoutDivider::horizontalDividerFrom(r->left(), r->right(), layoutRound(b.y + (1 - percent) * b.height)));
        if (oldOnTopLeft) {
            r->setBottom(d);
            n->setTop(d);
        } else {
            n->setBottom(d);
            r->setTop(d);
        }
    }
    return n;
}

LayoutRegion* Layout::addRegionWithDimension(double dimension, quint64 side, const QString& kind, bool treatAsOutside)
{
    if (side > 3 || m_dividers.size() < 4)
        return nullptr;
    const LayoutRect a = bounds();
    const double extent = (side == LayoutRegion::Top || side == LayoutRegion::Bottom) ? a.height : a.width;
    if (!(dimension > 0 && dimension < extent))
        return nullptr;  // the strip would leave no room for the existing regions
    LayoutRect b = a;
    switch (side) {
    case LayoutRegion::Top:
        b.height -= dimension;
        break;
    case LayoutRegion::Right:
        b.width -= dimension;
        break;
    case LayoutRegion::Bottom:
        b.y += dimension;
        b.height -= dimension;
        break;
    default:
        b.x += dimension;
        b.width -= dimension;
        break;
    }
    resizeLayoutIntoRect(b);

    const int s = static_cast<int>(side);
    LayoutDivider* o = outerDivider(s);
    LayoutDivider* top = outerDivider(LayoutRegion::Top);
    LayoutDivider* right = outerDivider(LayoutRegion::Right);
    LayoutDivider* bottom = outerDivider(LayoutRegion::Bottom);
    LayoutDivider* left = outerDivider(LayoutRegion::Left);
    const bool across = s == LayoutRegion::Top || s == LayoutRegion::Bottom;
    auto* d = appendDivider(across ? LayoutDivider::horizontalDividerFrom(left, right, o->at())
                                   : LayoutDivider::verticalDividerFrom(top, bottom, o->at()));
    d->setTreatAsOutside(treatAsOutside);

    for (const auto& r : m_regions) {
        if (r->side(s) == o)
            r->setSide(s, d);
    }
    for (const auto& e : m_dividers) {
        if (e->from() == o)
            e->setFrom(d);
        if (e->to() == o)
            e->setTo(d);
    }
    switch (s) {
    case LayoutRegion::Top:
        o->setAt(layoutRound(a.top()));
        break;
    case LayoutRegion::Right:
        o->setAt(layoutRound(a.right()));
        break;
    case LayoutRegion::Bottom:
        o->setAt(layoutRound(a.y));
        break;
    default:
        o->setAt(layoutRound(a.x));
        break;
    }

    std::unique_ptr<LayoutRegion> n;
    switch (s) {
    case LayoutRegion::Top:
        n = LayoutRegion::regionBoundedByTop(o, right, d, left);
        break;
    case LayoutRegion::Right:
        n = LayoutRegion::regionBoundedByTop(top, o, bottom, d);
        break;
    case LayoutRegion::Bottom:
        n = LayoutRegion::regionBoundedByTop(d, right, o, left);
        break;
    default:
        n = LayoutRegion::regionBoundedByTop(top, d, bottom, o);
        break;
    }
    appendRegion(std::move(n), kind);
    return m_regions.back().get();
}

bool Layout::removeRegion(LayoutRegion* region)
{
    const quint64 index = indexOfRegion(region);
    if (index == kLayoutNotFound || m_regions.size() < 2 || m_dividers.size() < 4)
        return false;

    LayoutDivider* outer[4] = {outerDivider(0), outerDivider(1), outerDivider(2), outerDivider(3)};
    const auto isOuter = [&outer](const LayoutDivider* d) { return std::find(outer, outer + 4, d) != outer + 4; };
    const auto isOuterSide = [&](int s) { return region->side(s) == outer[s]; };

    // Which kind of edge band, if any: the inner side and the outer side it gives way to.
    int inner = -1;
    if (isOuterSide(LayoutRegion::Right) && isOuterSide(LayoutRegion::Bottom) && isOuterSide(LayoutRegion::Left))
        inner = LayoutRegion::Top;  // bottom band
    else if (isOuterSide(LayoutRegion::Top) && isOuterSide(LayoutRegion::Bottom) && isOuterSide(LayoutRegion::Left))
        inner = LayoutRegion::Right;  // left band
    else if (isOuterSide(LayoutRegion::Top) && isOuterSide(LayoutRegion::Right) && isOuterSide(LayoutRegion::Left))
        inner = LayoutRegion::Bottom;  // top band
    else if (isOuterSide(LayoutRegion::Top) && isOuterSide(LayoutRegion::Right) && isOuterSide(LayoutRegion::Bottom))
        inner = LayoutRegion::Left;  // right band
    // A band's inner side must be an inner divider; a region with four outer sides beside other
    // regions is no band (and cannot be removed sensibly).
    if (inner >= 0 && isOuter(region->side(inner)))
        inner = -1;

    const auto opposite = [](int s) { return (s + 2) % 4; };
    const auto wholeSide = [region](int s) {
        const LayoutDivider* d = region->side(s);
        return d && d->connects(region->side((s + 1) % 4), region->side((s + 3) % 4));
    };
    const auto usable = [&](int s) {
        const LayoutDivider* d = region->side(s);
        return wholeSide(s) && d != outer[s] && !d->treatAsOutside();
    };
    bool topUsable = false, bottomUsable = false, leftUsable = false, rightUsable = false;
    if (inner < 0) {
        topUsable = usable(LayoutRegion::Top);
        bottomUsable = usable(LayoutRegion::Bottom);
        leftUsable = usable(LayoutRegion::Left);
        rightUsable = usable(LayoutRegion::Right);
        // Removing a region nobody can grow into would leave its area uncovered.
        if (!topUsable && !bottomUsable && !leftUsable && !rightUsable)
            return false;
    }

    LayoutRegion* replacement = m_currentRegion != region ? m_currentRegion : nullptr;
    const LayoutRegionContents* currentContents = currentRegionContents();
    const QString currentKind = currentContents ? currentContents->kind() : QString();
    const auto giveSide = [&](LayoutRegion* g, int s, LayoutDivider* d) {
        g->setSide(s, d);
        if (!replacement && contentsForRegion(g)->kind() == currentKind)
            replacement = g;
    };
    // Every other region whose side `s` is `was` gets `now` as that side.
    const auto growAcross = [&](int s, const LayoutDivider* was, LayoutDivider* now) {
        for (const auto& g : m_regions) {
            if (g.get() != region && g->side(s) == was)
                giveSide(g.get(), s, now);
        }
    };

    const LayoutRect oldBounds = bounds();
    if (inner >= 0) {
        const int outerSide = opposite(inner);
        LayoutDivider* i = region->side(inner);
        LayoutDivider* o = region->side(outerSide);
        growAcross(outerSide, i, o);
        repointDivider(i, o);
        o->setAt(i->at());
        removeDivider(i);
    } else if (topUsable || bottomUsable) {
        LayoutDivider* t = region->top();
        LayoutDivider* b = region->bottom();
        if (topUsable) {
            growAcross(LayoutRegion::Bottom, t, b);
            repointDivider(t, b);
            const double removedAt = t->at();
            removeDivider(t);
            if (bottomUsable)
                b->setAt((b->at() + removedAt) * 0.5);
        } else {
            growAcross(LayoutRegion::Top, b, t);
            repointDivider(b, t);
            removeDivider(b);
        }
    } else {
        LayoutDivider* l = region->left();
        LayoutDivider* r = region->right();
        if (leftUsable) {
            growAcross(LayoutRegion::Right, l, r);
            repointDivider(l, r);
            const double removedAt = l->at();
            removeDivider(l);
            if (rightUsable)
                r->setAt((r->at() + removedAt) * 0.5);
        } else {
            growAcross(LayoutRegion::Left, r, l);
            repointDivider(r, l);
            removeDivider(r);
        }
    }

    const bool wasCurrent = m_currentRegion == region;
    m_contents.erase(m_contents.begin() + static_cast<std::ptrdiff_t>(index));
    m_regions.erase(m_regions.begin() + static_cast<std::ptrdiff_t>(index));
    if (replacement && replacement != m_currentRegion) {
        m_currentRegion = replacement;
    } else if (wasCurrent) {
        // No region of the same kind grew: the first region of that kind, else the first.
        const quint64 same = firstRegionIndexWithKind(currentKind);
        m_currentRegion = regionAt(same == kLayoutNotFound ? 0 : same);
    }
    if (inner >= 0)
        resizeLayoutIntoRect(oldBounds);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Fitting and limits

LayoutSize Layout::minSizeOfRegionsBoundedByTop(
    const LayoutDivider* top, const LayoutDivider* right, const LayoutDivider* bottom, const LayoutDivider* left) const
{
    if (!top || !right || !bottom || !left)
        return {100, 100};
    return LayoutFitting(*this).minSizeOfArea(top, right, bottom, left);
}

LayoutSize Layout::minSize() const
{
    return minSizeOfRegionsBoundedByTop(outerDivider(LayoutRegion::Top), outerDivider(LayoutRegion::Right),
        outerDivider(LayoutRegion::Bottom), outerDivider(LayoutRegion::Left));
}

std::vector<double> Layout::dividerPositions() const
{
    std::vector<double> positions;
    positions.reserve(m_dividers.size());
    for (const auto& d : m_dividers)
        positions.push_back(d->at());
    return positions;
}

void Layout::setDividerPositions(const std::vector<double>& positions)
{
    for (size_t i = 0; i < m_dividers.size() && i < positions.size(); ++i)
        m_dividers[i]->setAt(positions[i]);
}

bool Layout::fitBasisHolds() const
{
    return !m_givenPositions.empty() && m_givenPositions.size() == m_dividers.size() &&
        m_fittedPositions == dividerPositions();
}

void Layout::resizeLayoutIntoRect(const LayoutRect& rect, bool keepSidePaneWidth)
{
    // A fit into a smaller rectangle rounds and pushes dividers to the minimum sizes; fitting
    // again from there would drift. So each fit starts from the given positions.
    if (fitBasisHolds())
        setDividerPositions(m_givenPositions);
    else
        m_givenPositions = dividerPositions();
    LayoutFitting(*this).fitIntoRect(rect, keepSidePaneWidth);
    m_fittedPositions = dividerPositions();
    // A side pane given a new width is laid out anew: later fits start from there.
    if (keepSidePaneWidth)
        m_givenPositions = m_fittedPositions;
}

bool Layout::canDragDivider(LayoutDivider* divider, LayoutPoint point)
{
    if (!divider)
        return false;
    const LayoutPoint start = divider->startPoint();
    divider->dragToPoint(point);
    bool ok = true;
    for (const auto& r : m_regions) {
        const LayoutRect b = r->bounds();
        if (divider->vertical()) {
            if ((r->left() == divider || r->right() == divider) &&
                (r->minSize().width > b.width || b.width > r->maxSize().width)) {
                ok = false;
                break;
            }
        } else if ((r->top() == divider || r->bottom() == divider) &&
            (r->minSize().height > b.height || b.height > r->maxSize().height)) {
            ok = false;
            break;
        }
    }
    divider->dragToPoint(start);
    return ok;
}

std::optional<LayoutPoint> Layout::nearestDragPoint(const LayoutDivider* divider, LayoutPoint point) const
{
    if (!divider)
        return std::nullopt;
    auto positionOf = [](const LayoutDivider* d) { return d ? d->at() : 0.0; };
    // Each region beside the line bounds the line's position by its least and greatest extent.
    double low = -std::numeric_limits<double>::infinity();
    double high = std::numeric_limits<double>::infinity();
    for (const auto& r : m_regions) {
        const bool v = divider->vertical();
        const double least = v ? r->minSize().width : r->minSize().height;
        const double most = v ? r->maxSize().width : r->maxSize().height;
        const LayoutDivider* before = v ? r->left() : r->bottom();
        const LayoutDivider* after = v ? r->right() : r->top();
        if (after == divider) {
            low = std::max(low, positionOf(before) + least);
            high = std::min(high, positionOf(before) + most);
        } else if (before == divider) {
            low = std::max(low, positionOf(after) - most);
            high = std::min(high, positionOf(after) - least);
        }
    }
    if (low > high)
        return std::nullopt;
    if (divider->vertical())
        point.x = std::clamp(point.x, low, high);
    else
        point.y = std::clamp(point.y, low, high);
    return point;
}

// ---------------------------------------------------------------------------------------------
// Archive

namespace {

const QString kClassName = QStringLiteral("Layout");
constexpr qsizetype kMaxArchivedRecords = 512;

template <class Record> QVariantList encodeAll(const std::vector<std::unique_ptr<Record>>& records)
{
    QVariantList out;
    out.reserve(static_cast<qsizetype>(records.size()));
    for (const auto& r : records)
        out.append(r->encode());
    return out;
}

// Every element must read: a layout missing a divider, a region or a pane cannot be repaired.
template <class Record> bool decodeAll(const QVariantList& archived, std::vector<std::unique_ptr<Record>>* out)
{
    out->reserve(static_cast<size_t>(archived.size()));
    for (const QVariant& element : archived) {
        auto r = Record::decode(element);
        if (!r)
            return false;
        out->push_back(std::move(r));
    }
    return true;
}

}  // namespace

QVariant Layout::encode()
{
    for (size_t i = 0; i < m_dividers.size(); ++i)
        m_dividers[i]->setIndex(i);
    KeyedArchiver a(kClassName);
    a.encodeInt32(QStringLiteral("version"), kArchiveVersion);
    a.encodeString(QStringLiteral("uuidString"), m_uuidString);
    a.encodeString(QStringLiteral("name"), m_name);
    a.encodeArray(QStringLiteral("dividers"), encodeAll(m_dividers));
    a.encodeArray(QStringLiteral("regions"), encodeAll(m_regions));
    a.encodeArray(QStringLiteral("contents"), encodeAll(m_contents));
    a.encodeInteger(QStringLiteral("currentRegionIndex"), static_cast<qint64>(currentRegionIndex()));
    return a.archivedObject();
}

std::unique_ptr<Layout> Layout::decode(const QVariant& archived)
{
    const KeyedUnarchiver u(archived);
    const qint32 version = u.decodeInt32(QStringLiteral("version"));
    if (version < 1 || version > 3) {
        qWarning().noquote() << QStringLiteral("Layout: unrecognized archive version (%1)").arg(version);
        return nullptr;
    }
    auto layout = std::make_unique<Layout>();  // fresh uuid, kept by version 1
    if (version >= 2) {
        const QString uuid = u.decodeString(QStringLiteral("uuidString"));
        if (!uuid.isEmpty())
            layout->m_uuidString = uuid;
    }
    layout->m_name = u.decodeString(QStringLiteral("name"), QLatin1String(""));
    const QVariantList dividers = u.decodeArray(QStringLiteral("dividers"));
    const QVariantList regions = u.decodeArray(QStringLiteral("regions"));
    if (dividers.size() > kMaxArchivedRecords || regions.size() > kMaxArchivedRecords) {
        // No window holds that many panes; the geometry code is quadratic and deeper in them.
        qWarning().noquote() << "Layout: too many dividers or regions";
        return nullptr;
    }
    if (!decodeAll(dividers, &layout->m_dividers) || !decodeAll(regions, &layout->m_regions) ||
        !decodeAll(u.decodeArray(QStringLiteral("contents")), &layout->m_contents)) {
        qWarning().noquote() << "Layout: unreadable divider, region or contents";
        return nullptr;
    }

    const qint64 current = u.decodeInteger(QStringLiteral("currentRegionIndex"), -1);
    if (layout->m_regions.empty()) {
        qWarning().noquote() << "Layout: layout contains no regions";
        return nullptr;
    }
    layout->m_currentRegion = current >= 0 && static_cast<quint64>(current) < layout->m_regions.size()
        ? layout->m_regions[static_cast<size_t>(current)].get()
        : layout->m_regions.front().get();
    if (!layout->relink())
        return nullptr;
    // A pane stored under its minimum (squeezed to nothing by an older fit) is widened to it: the
    // next fit keeps proportions, and a pane of no width would stay so at any size.
    LayoutFitting(*layout).widenToMinimumSizes(true);
    return layout;
}

// Replaces the stored divider numbers of every divider end and region side by the dividers
// themselves. Refuses archives that no layout writes: links outside the list, fewer than the
// four outer dividers in their directions, or contents not parallel to the regions.
bool Layout::relink()
{
    const auto dividerFor = [this](qint64 index) -> LayoutDivider* {
        return index >= 0 && static_cast<quint64>(index) < m_dividers.size()
            ? m_dividers[static_cast<size_t>(index)].get()
            : nullptr;
    };
    const bool outerOk = m_dividers.size() >= 4 && m_dividers[0]->horizontal() && m_dividers[1]->vertical() &&
        m_dividers[2]->horizontal() && m_dividers[3]->vertical();
    if (!outerOk || m_contents.size() != m_regions.size()) {
        qWarning().noquote() << "Layout: inconsistent archive (outer dividers or contents)";
        return false;
    }
    for (const auto& d : m_dividers) {
        LayoutDivider* from = dividerFor(d->storedFromIndex());
        LayoutDivider* to = dividerFor(d->storedToIndex());
        if (!from || !to) {
            qWarning().noquote() << "Layout: divider end outside the dividers";
            return false;
        }
        d->setFrom(from);
        d->setTo(to);
    }
    for (const auto& r : m_regions) {
        for (int s = 0; s < 4; ++s) {
            LayoutDivider* d = dividerFor(r->storedSideIndex(s));
            if (!d) {
                qWarning().noquote() << "Layout: region side outside the dividers";
                return false;
            }
            r->setSide(s, d);
        }
    }
    return true;
}

#include "panes/layout/LayoutFitting.h"

#include "panes/layout/Layout.h"

#include <QDebug>

#include <algorithm>
#include <unordered_map>

namespace {

double positionOf(const LayoutDivider* d)
{
    return d ? d->at() : 0.0;
}

bool strictlyBetween(double v, double a, double b)
{
    return v > std::min(a, b) && v < std::max(a, b);
}

// e touches X when one of them ends at the other.
bool touches(const LayoutDivider* e, const LayoutDivider* x)
{
    return e->from() == x || e->to() == x || x->from() == e || x->to() == e;
}

// Of a divider's two ends, the one with the larger position (the `from` one when equal), and
// the other one.
std::pair<LayoutDivider*, LayoutDivider*> highAndLowEnds(const LayoutDivider* d)
{
    if (positionOf(d->to()) > positionOf(d->from()))
        return {d->to(), d->from()};
    return {d->from(), d->to()};
}

// The narrowest a side pane gets by giving up width: its own minimum, but never below the width
// under which a side pane shows nothing (its minimum may be smaller, so that it can be hidden).
double sidePaneMinimum(const LayoutRegion& region)
{
    return std::max(region.minSize().width, LayoutFitting::kShownSidePaneWidth);
}

}  // namespace

LayoutFitting::LayoutFitting(const Layout& layout) : m_layout(layout)
{
}

LayoutFitting::~LayoutFitting() = default;

// ---------------------------------------------------------------------------------------------
// Minimum sizes

double LayoutFitting::minWidth(
    const LayoutDivider* t, const LayoutDivider* r, const LayoutDivider* b, const LayoutDivider* l) const
{
    double width = 0;
    bool found = false;
    for (const auto& d : m_layout.dividers()) {
        if (d->vertical() && d->connects(t, b) && strictlyBetween(d->at(), positionOf(l), positionOf(r)) &&
            d.get() != l && d.get() != r) {
            width = minWidth(t, d.get(), b, l) + minWidth(t, r, b, d.get());
            found = true;
            break;
        }
    }
    if (!found) {
        for (const auto& d : m_layout.dividers()) {
            if (d->horizontal() && d->connects(l, r) && strictlyBetween(d->at(), positionOf(b), positionOf(t)) &&
                d.get() != t && d.get() != b) {
                width = std::max(minWidth(t, r, d.get(), l), minWidth(d.get(), r, b, l));
                found = true;
                break;
            }
        }
    }
    if (!found) {
        for (const auto& g : m_layout.regions()) {
            if (g->top() == t && g->right() == r && g->bottom() == b && g->left() == l) {
                // A side pane gives up width down to its shown minimum (a hidden one, narrower,
                // keeps its width).
                const bool sidePane = r->treatAsOutside() && l == m_layout.outerDivider(LayoutRegion::Left);
                width = sidePane ? std::min(g->bounds().width, sidePaneMinimum(*g)) : g->minSize().width;
                break;
            }
        }
    }
    return width > 0 ? width : 100;
}

double LayoutFitting::minHeight(
    const LayoutDivider* t, const LayoutDivider* r, const LayoutDivider* b, const LayoutDivider* l) const
{
    double height = 0;
    bool found = false;
    for (const auto& d : m_layout.dividers()) {
        if (d->horizontal() && d->connects(l, r) && strictlyBetween(d->at(), positionOf(b), positionOf(t)) &&
            d.get() != t && d.get() != b) {
            height = minHeight(d.get(), r, b, l) + minHeight(t, r, d.get(), l);
            found = true;
            break;
        }
    }
    if (!found) {
        for (const auto& d : m_layout.dividers()) {
            if (d->vertical() && d->connects(b, t) && strictlyBetween(d->at(), positionOf(l), positionOf(r)) &&
                d.get() != l && d.get() != r) {
                height = std::max(minHeight(t, r, b, d.get()), minHeight(t, d.get(), b, l));
                found = true;
                break;
            }
        }
    }
    if (!found) {
        for (const auto& g : m_layout.regions()) {
            if (g->top() == t && g->right() == r && g->bottom() == b && g->left() == l) {
                height = g->minSize().height;
                break;
            }
        }
    }
    return height > 0 ? height : 100;
}

LayoutSize LayoutFitting::minSizeOfArea(
    const LayoutDivider* top, const LayoutDivider* right, const LayoutDivider* bottom, const LayoutDivider* left) const
{
    return {minWidth(top, right, bottom, left), minHeight(top, right, bottom, left)};
}

// ---------------------------------------------------------------------------------------------
// Fitting

// The areas of a layout as the minimum-size computation cuts them, with their minimum sizes,
// taken before a fit moves anything.
struct LayoutFitting::CutTree {
    LayoutDivider* t = nullptr;
    LayoutDivider* r = nullptr;
    LayoutDivider* b = nullptr;
    LayoutDivider* l = nullptr;
    LayoutDivider* cut = nullptr;  // null for a single region (or an empty area)
    std::unique_ptr<CutTree> low;  // left of a vertical cut, below a horizontal one
    std::unique_ptr<CutTree> high;
    LayoutSize min;
};

std::unique_ptr<LayoutFitting::CutTree> LayoutFitting::cutTree(
    LayoutDivider* t, LayoutDivider* r, LayoutDivider* b, LayoutDivider* l) const
{
    auto node = std::make_unique<CutTree>();
    node->t = t;
    node->r = r;
    node->b = b;
    node->l = l;
    for (const auto& d : m_layout.dividers()) {
        if (d->vertical() && d->connects(t, b) && strictlyBetween(d->at(), l->at(), r->at()) && d.get() != l &&
            d.get() != r) {
            node->cut = d.get();
            node->low = cutTree(t, d.get(), b, l);
            node->high = cutTree(t, r, b, d.get());
            node->min = {
                node->low->min.width + node->high->min.width, std::max(node->low->min.height, node->high->min.height)};
            return node;
        }
    }
    for (const auto& d : m_layout.dividers()) {
        if (d->horizontal() && d->connects(l, r) && strictlyBetween(d->at(), b->at(), t->at()) && d.get() != t &&
            d.get() != b) {
            node->cut = d.get();
            node->low = cutTree(d.get(), r, b, l);
            node->high = cutTree(t, r, d.get(), l);
            node->min = {
                std::max(node->low->min.width, node->high->min.width), node->low->min.height + node->high->min.height};
            return node;
        }
    }
    node->min = minSizeOfArea(t, r, b, l);
    return node;
}

// Moves each cut, from the outside in, the least distance that gives both of its sides their
// minimum extent.
void LayoutFitting::enforceMinimumSizes(const CutTree& node, bool widths, bool heights)
{
    if (!node.cut)
        return;
    if (node.cut->vertical() && widths) {
        const double lo = node.l->at() + node.low->min.width;
        const double hi = node.r->at() - node.high->min.width;
        if (lo <= hi)
            node.cut->setAt(std::clamp(node.cut->at(), lo, hi));
    } else if (node.cut->horizontal() && heights) {
        const double lo = node.b->at() + node.low->min.height;
        const double hi = node.t->at() - node.high->min.height;
        if (lo <= hi)
            node.cut->setAt(std::clamp(node.cut->at(), lo, hi));
    }
    enforceMinimumSizes(*node.low, widths, heights);
    enforceMinimumSizes(*node.high, widths, heights);
}

void LayoutFitting::fitIntoRect(const LayoutRect& rect, bool keepSidePaneWidth)
{
    if (m_layout.dividers().size() < 4)
        return;
    const LayoutRect old = m_layout.bounds();
    const double w = rect.width == 0 ? 10000 : rect.width;
    const double h = rect.height == 0 ? 10000 : rect.height;
    const auto areas = cutTree(m_layout.outerDivider(LayoutRegion::Top), m_layout.outerDivider(LayoutRegion::Right),
        m_layout.outerDivider(LayoutRegion::Bottom), m_layout.outerDivider(LayoutRegion::Left));

    const LayoutDivider* fixed = nullptr;
    for (const auto& d : m_layout.dividers()) {
        if (!d->treatAsOutside())
            continue;
        const bool inside =
            d->vertical() ? (rect.x <= d->at() && d->at() < rect.x + w) : (rect.y <= d->at() && d->at() < rect.y + h);
        if (inside) {
            fixed = d.get();
            break;
        }
    }
    fitPass(true, rect.x, w, old.x, old.width, fixed && fixed->vertical() ? fixed : nullptr, keepSidePaneWidth);
    fitPass(false, rect.y, h, old.y, old.height, fixed && fixed->horizontal() ? fixed : nullptr, keepSidePaneWidth);

    // The passes compare a divider only with the outer edges and its outermost neighbour, so
    // proportional shrinking can leave an inner region below its minimum (even at no width at
    // all) although the rectangle has room for every minimum. Then, and only then, the cuts
    // found before the passes are clamped, in the directions that have room.
    const bool belowMinimum = std::any_of(m_layout.regions().begin(), m_layout.regions().end(), [](const auto& r) {
        const LayoutRect b = r->bounds();
        return b.width < r->minSize().width || b.height < r->minSize().height;
    });
    if (belowMinimum) {
        enforceMinimumSizes(*areas, w >= areas->min.width, h >= areas->min.height);
        // The cuts are found by position, so a region already at no width between two dividers at
        // one place escapes them: the sides of the regions still tell it apart.
        widenToMinimumSizes(false);
    }
}

bool LayoutFitting::widenToMinimumSizes(bool mayGrow)
{
    if (m_layout.dividers().size() < 4)
        return false;
    const bool widths = widenAlong(true, mayGrow);
    const bool heights = widenAlong(false, mayGrow);
    return widths || heights;
}

// Along x with the regions' left and right sides, or along y with their bottom and top sides. The
// sides of the regions order the dividers (each region's low side before its high side), so two
// passes over them reach every divider however the positions lie: the first pushes each high side
// to its region's low side plus the region's least extent, the second pulls each low side back
// to its region's high side less that extent, which leaves every region its least extent whenever
// the layout's extent holds them all. Each pass takes at most one round per divider (a chain of
// regions is no longer than that), so a damaged layout cannot keep it going.
bool LayoutFitting::widenAlong(bool vertical, bool mayGrow)
{
    const LayoutDivider* lowOuter = m_layout.outerDivider(vertical ? LayoutRegion::Left : LayoutRegion::Bottom);
    const LayoutDivider* highOuter = m_layout.outerDivider(vertical ? LayoutRegion::Right : LayoutRegion::Top);
    struct Span {
        const LayoutDivider* low;
        const LayoutDivider* high;
        double least;
    };
    std::vector<Span> spans;
    spans.reserve(m_layout.regions().size());
    for (const auto& g : m_layout.regions()) {
        const LayoutDivider* low = vertical ? g->left() : g->bottom();
        const LayoutDivider* high = vertical ? g->right() : g->top();
        if (!low || !high || low == high)
            continue;
        double least = vertical ? g->minSize().width : g->minSize().height;
        if (vertical && high->treatAsOutside() && low == lowOuter)
            least = std::max(least, std::min(high->at() - low->at(), sidePaneMinimum(*g)));
        spans.push_back({low, high, std::max(0.0, least)});
    }
    std::unordered_map<const LayoutDivider*, double> at;
    for (const auto& d : m_layout.dividers())
        at[d.get()] = d->at();
    // Half a point: positions are whole points, and the insets are drawn within them.
    const auto squeezed = [&](const Span& s) { return at[s.high] - at[s.low] < s.least - 0.5; };
    if (std::none_of(spans.begin(), spans.end(), squeezed))
        return false;

    const size_t rounds = m_layout.dividers().size() + 1;
    for (size_t round = 0; round < rounds; ++round) {
        bool moved = false;
        for (const Span& s : spans) {
            if (s.high == lowOuter || (s.high == highOuter && !mayGrow))
                continue;
            if (at[s.low] + s.least > at[s.high]) {
                at[s.high] = at[s.low] + s.least;
                moved = true;
            }
        }
        if (!moved)
            break;
    }
    for (size_t round = 0; round < rounds; ++round) {
        bool moved = false;
        for (const Span& s : spans) {
            if (s.low == lowOuter || s.low == highOuter)
                continue;
            if (at[s.high] - s.least < at[s.low]) {
                at[s.low] = at[s.high] - s.least;
                moved = true;
            }
        }
        if (!moved)
            break;
    }
    if (std::any_of(spans.begin(), spans.end(), squeezed))
        return false;  // no room for every minimum: left as it was
    bool changed = false;
    for (const auto& d : m_layout.dividers()) {
        const double to = at[d.get()];
        if (to != d->at()) {
            d->setAt(to);
            changed = true;
        }
    }
    return changed;
}

// One direction of the fit. Along x for vertical dividers (start = left, extent = width), along
// y for horizontal ones (start = bottom, extent = height). Every change takes effect at once.
void LayoutFitting::fitPass(bool vertical, double newStart, double extent, double oldStart, double oldExtent,
    const LayoutDivider* fixed, bool keepSidePaneWidth)
{
    const double newEnd = newStart + extent;
    const double oldEnd = oldStart + oldExtent;
    const LayoutDivider* lowOuter = m_layout.outerDivider(vertical ? LayoutRegion::Left : LayoutRegion::Bottom);
    const LayoutDivider* highOuter = m_layout.outerDivider(vertical ? LayoutRegion::Right : LayoutRegion::Top);
    const std::vector<LayoutDivider*> sorted =
        vertical ? m_layout.sortedVerticalDividers() : m_layout.sortedHorizontalDividers();
    // The side pane's inner edge: where it was, and where it goes. The side pane keeps its width;
    // in a smaller extent it gives up width first, down to its minimum, and the other panes
    // shrink only by what is still missing.
    const double fixedFrom = fixed ? fixed->at() : 0.0;
    double fixedTo = fixedFrom;
    if (fixed && extent < oldExtent && !keepSidePaneWidth) {
        const double side = fixedFrom - oldStart;
        double sideMin = side;
        for (const auto& g : m_layout.regions()) {
            if (vertical && g->right() == fixed && g->left() == lowOuter)
                sideMin = sidePaneMinimum(*g);
        }
        const double giveUp = std::clamp(oldExtent - extent, 0.0, std::max(0.0, side - sideMin));
        fixedTo = layoutRound(fixedFrom - giveUp);
    }
    // A proportion of an empty old extent has no meaning; such a divider keeps its place.
    const auto scaled = [](double start, double span, double value, double from, double fromSpan) {
        return fromSpan == 0 ? value : layoutRound(start + span * (value - from) / fromSpan);
    };

    for (size_t k = 0; k < sorted.size(); ++k) {
        LayoutDivider* d = sorted[k];
        const double pos = d->at();
        const double rounded = layoutRound(pos);
        if (rounded == layoutRound(oldStart)) {
            d->setAt(layoutRound(newStart));
        } else if (rounded == layoutRound(oldEnd)) {
            d->setAt(layoutRound(newEnd));
        } else if (fixed && d != fixed) {
            if (layoutRound(fixedFrom) <= rounded)
                d->setAt(scaled(fixedTo, newEnd - fixedTo, pos, fixedFrom, oldEnd - fixedFrom));
            else
                d->setAt(scaled(newStart, fixedTo - newStart, pos, oldStart, fixedFrom - oldStart));
        } else if (d == fixed) {
            d->setAt(fixedTo);
        } else {
            d->setAt(scaled(newStart, extent, pos, oldStart, oldExtent));
        }

        if (d == lowOuter || d == highOuter || d == fixed)
            continue;
        const auto [high, low] = highAndLowEnds(d);
        if (!high || !low)
            continue;
        LayoutDivider* before = nullptr;
        LayoutDivider* after = nullptr;
        for (size_t j = 0; j < sorted.size(); ++j) {
            if (j == k || !touches(sorted[j], high) || !touches(sorted[j], low))
                continue;
            if (j < k && !before)
                before = sorted[j];
            if (j > k && !after)
                after = sorted[j];
        }
        // Upper (right) limit first, then the lower (left) limit, which wins.
        if (after) {
            const double m = vertical ? minWidth(high, after, low, d) : minHeight(after, high, d, low);
            if (d->at() + m > newEnd)
                d->setAt(newEnd - m);
        } else {
            qWarning().noquote() << (vertical ? "resizeLayoutIntoRect: this should not happen(1)"
                                              : "resizeLayoutIntoRect: this should not happen(3)");
        }
        if (before) {
            const double m = vertical ? minWidth(high, d, low, before) : minHeight(d, high, before, low);
            if (before->at() + m > d->at())
                d->setAt(before->at() + m);
        } else {
            qWarning().noquote() << (vertical ? "resizeLayoutIntoRect: this should not happen(2)"
                                              : "resizeLayoutIntoRect: this should not happen(4)");
        }
    }
}

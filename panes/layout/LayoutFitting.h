// The fitting of one layout's dividers: the minimum size of an area its dividers bound (cut, as
// the dividers cut it, into the regions' minimum sizes; a side pane counts with the width under
// which it shows nothing), and the moves of the dividers that fit the layout into a new
// rectangle, keeping proportions, a side pane's width (in a smaller rectangle the side pane gives
// up width first, down to that width) and, where the rectangle has room, every region's minimum
// size; and the repair that widens regions left under their minimum (a layout read from a file).
//
// A short-lived helper that Layout makes for one computation over its own records (it moves the
// layout's dividers, which the layout owns); it keeps nothing between calls. Main thread only.
#pragma once

#include "panes/layout/LayoutRect.h"

#include <memory>

class Layout;
class LayoutDivider;

class LayoutFitting {
public:
    // Below this width a side pane (the study pane) shows nothing.
    static constexpr double kShownSidePaneWidth = 100;

    explicit LayoutFitting(const Layout& layout);
    ~LayoutFitting();

    // The minimum size of the area bounded by the four dividers (none of them null).
    LayoutSize minSizeOfArea(const LayoutDivider* top, const LayoutDivider* right, const LayoutDivider* bottom,
        const LayoutDivider* left) const;
    // Layout::resizeLayoutIntoRect: a layout without its four outer dividers is left alone.
    void fitIntoRect(const LayoutRect& rect, bool keepSidePaneWidth = false);
    // Moves the dividers the least they must so that every region has its minimum size (a side
    // pane: the width under which it shows nothing, or its own width when narrower). It works along
    // the regions' sides, not the dividers' positions, so a region squeezed to nothing between two
    // dividers at one place is told apart from its neighbours. A direction without room for every
    // minimum is left as it is, unless `mayGrow`: then the outer right and top edges move out.
    // True when a divider moved.
    bool widenToMinimumSizes(bool mayGrow);

private:
    double minWidth(
        const LayoutDivider* t, const LayoutDivider* r, const LayoutDivider* b, const LayoutDivider* l) const;
    double minHeight(
        const LayoutDivider* t, const LayoutDivider* r, const LayoutDivider* b, const LayoutDivider* l) const;
    void fitPass(bool vertical, double newStart, double extent, double oldStart, double oldExtent,
        const LayoutDivider* fixed, bool keepSidePaneWidth);
    struct CutTree;
    std::unique_ptr<CutTree> cutTree(LayoutDivider* t, LayoutDivider* r, LayoutDivider* b, LayoutDivider* l) const;
    void enforceMinimumSizes(const CutTree& node, bool widths, bool heights);
    bool widenAlong(bool vertical, bool mayGrow);

    const Layout& m_layout;
};

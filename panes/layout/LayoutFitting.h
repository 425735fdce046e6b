// The fitting of one layout's dividers: the minimum size of an area its dividers bound (cut, as
// the dividers cut it, into the regions' minimum sizes; a side pane counts with the width under
// which it shows nothing), and the moves of the dividers that fit the layout into a new
// rectangle, keeping proportions, a side pane's width (in a smaller rectangle the side pane gives
// up width first, down to that width) and, where the rectangle has room, every region's minimum
// size.
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

    const Layout& m_layout;
};

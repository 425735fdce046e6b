// One arrangement of the main window's pane area: a rectangle cut into regions by straight
// dividers, each region showing one pane (a book pane, kind "", or the study pane, kind "study").
//
// Ownership: the layout owns its dividers, regions and contents. Dividers 0 to 3 are always the
// outer top, right, bottom and left; every divider end and every region side is a member of the
// same layout's dividers (raw, non-owning pointers). `contents` is parallel to `regions`.
// Coordinates are points with y growing upwards. Main thread only; no locks.
#pragma once

#include "panes/layout/LayoutDivider.h"
#include "panes/layout/LayoutRect.h"
#include "panes/layout/LayoutRegion.h"
#include "panes/layout/LayoutRegionContents.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

class Layout {
public:
    static constexpr int kArchiveVersion = 2;
    static inline const QString kDefaultName = QStringLiteral("Untitled Layout");

    // An empty layout with a fresh uuid and no dividers, regions or contents.
    Layout();
    ~Layout();
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

    // One region filling the rectangle (a width or height that is not positive is 10000).
    static std::unique_ptr<Layout> layoutInRect(const LayoutRect& rect, const QString& kind);
    // Equal cells: "V" then one digit per column (cells stacked in it), any other first
    // character then one digit per row (cells side by side). "V12": a full-height left column
    // and a right column of two cells.
    static std::unique_ptr<Layout> layoutWithDescriptor(
        const QString& descriptor, const LayoutRect& rect, const QString& kind);

    // --- records ---
    const std::vector<std::unique_ptr<LayoutDivider>>& dividers() const { return m_dividers; }
    const std::vector<std::unique_ptr<LayoutRegion>>& regions() const { return m_regions; }
    const std::vector<std::unique_ptr<LayoutRegionContents>>& contents() const { return m_contents; }
    // Puts `contents` in place of the contents at index i and returns the contents it replaced;
    // out of range (or null contents) changes nothing and returns null.
    std::unique_ptr<LayoutRegionContents> replaceContentsAt(size_t i, std::unique_ptr<LayoutRegionContents> contents);
    LayoutDivider* dividerAt(size_t i) const { return i < m_dividers.size() ? m_dividers[i].get() : nullptr; }
    LayoutRegion* regionAt(size_t i) const { return i < m_regions.size() ? m_regions[i].get() : nullptr; }
    LayoutRegionContents* contentsAt(size_t i) const { return i < m_contents.size() ? m_contents[i].get() : nullptr; }
    // Outer dividers by side (LayoutRegion::Side); null in an empty layout.
    LayoutDivider* outerDivider(int side) const { return dividerAt(static_cast<size_t>(side)); }

    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    QString uuidString() const { return m_uuidString; }
    LayoutRegion* currentRegion() const { return m_currentRegion; }
    void setCurrentRegion(LayoutRegion* region) { m_currentRegion = region; }

    // --- look-ups ---
    LayoutRect bounds() const;
    quint64 currentRegionIndex() const;
    LayoutRegionContents* currentRegionContents() const;
    quint64 indexOfRegion(const LayoutRegion* region) const;
    LayoutRegionContents* contentsForRegion(const LayoutRegion* region) const;
    quint64 countRegionsWithKind(const QString& kind) const;
    quint64 firstRegionIndexWithKind(const QString& kind) const;
    LayoutRegionContents* regionContentsContainingItemWithUuidString(const QString& uuid) const;
    // Ascending position, equal positions in `dividers` order; outer dividers included.
    std::vector<LayoutDivider*> sortedHorizontalDividers() const;
    std::vector<LayoutDivider*> sortedVerticalDividers() const;

    // Passes the notice on to every contents, in order.
    void willBeRemovedFromLayoutManager();
    // Writes the layout and its contents to the log.
    void dump() const;

    // --- editing ---
    // Splits region `regionIndex` in two at `percent` of its width (vertically) or of its
    // height measured from the top; the new region is appended and returned. With oldOnTopLeft
    // the old region keeps the left (top) part. Size limits are the caller's business. A bad
    // index or a percent outside (0, 1) returns null and changes nothing.
    LayoutRegion* splitRegion(
        quint64 regionIndex, bool vertically, bool oldOnTopLeft, double percent, const QString& kind);
    // Fits the layout into its bounds less `dimension` points along `side` (0 top, 1 right,
    // 2 bottom, 3 left) and fills that strip with a new region spanning the whole side.
    // A side outside 0 to 3, or a dimension that is not positive or not below the layout's
    // extent across that side, returns null and changes nothing.
    LayoutRegion* addRegionWithDimension(double dimension, quint64 side, const QString& kind, bool treatAsOutside);
    // Removes the region, its space going to its neighbours. Refused (false, nothing changes)
    // for a region of another layout, the only region, or a region no neighbour can grow into.
    bool removeRegion(LayoutRegion* region);

    // --- fitting and limits (worked out by LayoutFitting) ---
    // Moves the dividers so that the layout fills the rectangle, keeping proportions, keeping a
    // side pane bounded by a treatAsOutside divider at its width (in a smaller rectangle it gives
    // up width, down to its minimum, before the other panes do), and pushing dividers back where
    // regions would fall below their minimum sizes. Every fit starts from the positions the
    // dividers were given (by a drag, a split, a stored layout), not from the last fit's, so that
    // a layout made small and large again, or fitted to several sizes while a window opens, comes
    // back as it was; positions changed since the last fit are the new given ones.
    // With keepSidePaneWidth the side pane keeps its width even in a smaller rectangle (a new
    // width given to the side pane itself).
    void resizeLayoutIntoRect(const LayoutRect& rect, bool keepSidePaneWidth = false);
    // Minimum size of the area bounded by the four dividers; each component positive.
    LayoutSize minSizeOfRegionsBoundedByTop(const LayoutDivider* top, const LayoutDivider* right,
        const LayoutDivider* bottom, const LayoutDivider* left) const;
    LayoutSize minSize() const;
    // Whether every region beside the divider would stay within its limits with the divider at
    // the point. The divider is left where it was.
    bool canDragDivider(LayoutDivider* divider, LayoutPoint point);
    // The point the divider goes to when dragged to `point`: the point itself when canDragDivider
    // allows it, otherwise the allowed position nearest to it across the line (a fast drag past a
    // pane's limit stops at the limit). None when no position keeps every region beside the divider
    // within its limits.
    std::optional<LayoutPoint> nearestDragPoint(const LayoutDivider* divider, LayoutPoint point) const;

    // --- archive ---
    // Renumbers the dividers (their `index`), then writes the layout record.
    QVariant encode();
    // Null with a log line for an unknown version, no regions, or links outside the dividers. A
    // region stored under its minimum size is widened to it.
    static std::unique_ptr<Layout> decode(const QVariant& archived);

private:
    void appendRegion(std::unique_ptr<LayoutRegion> region, const QString& kind);
    LayoutDivider* appendDivider(std::unique_ptr<LayoutDivider> divider);
    void removeDivider(const LayoutDivider* divider);
    void repointDivider(const LayoutDivider* from, LayoutDivider* to);
    bool relink();
    std::vector<double> dividerPositions() const;
    void setDividerPositions(const std::vector<double>& positions);
    // Whether the dividers are still where the last fit put them (the given positions hold).
    bool fitBasisHolds() const;

    std::vector<std::unique_ptr<LayoutDivider>> m_dividers;
    std::vector<std::unique_ptr<LayoutRegion>> m_regions;
    std::vector<std::unique_ptr<LayoutRegionContents>> m_contents;
    QString m_name;
    QString m_uuidString;
    LayoutRegion* m_currentRegion = nullptr;
    // The dividers' positions as given, and as the last fit left them (by divider index).
    std::vector<double> m_givenPositions;
    std::vector<double> m_fittedPositions;
};

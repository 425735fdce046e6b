// A rectangle of a layout bounded by four dividers of the same layout (not owned), with the size
// limits its pane accepts. The Layout owns its regions. Main thread only.
#pragma once

#include "panes/layout/LayoutRect.h"

#include <QVariant>

#include <array>
#include <memory>

class LayoutDivider;

class LayoutRegion {
public:
    static constexpr int kArchiveVersion = 1;

    // Sides are numbered like a layout's outer dividers.
    enum Side : int { Top = 0, Right = 1, Bottom = 2, Left = 3 };

    LayoutRegion() = default;
    LayoutRegion(const LayoutRegion&) = delete;
    LayoutRegion& operator=(const LayoutRegion&) = delete;

    // Minimum size 100 x 100, maximum the largest 32-bit float in both directions.
    static std::unique_ptr<LayoutRegion> regionBoundedByTop(
        LayoutDivider* top, LayoutDivider* right, LayoutDivider* bottom, LayoutDivider* left);

    LayoutDivider* top() const { return m_sides[Top]; }
    LayoutDivider* right() const { return m_sides[Right]; }
    LayoutDivider* bottom() const { return m_sides[Bottom]; }
    LayoutDivider* left() const { return m_sides[Left]; }
    void setTop(LayoutDivider* d) { m_sides[Top] = d; }
    void setRight(LayoutDivider* d) { m_sides[Right] = d; }
    void setBottom(LayoutDivider* d) { m_sides[Bottom] = d; }
    void setLeft(LayoutDivider* d) { m_sides[Left] = d; }
    LayoutDivider* side(int s) const { return m_sides[static_cast<size_t>(s)]; }
    void setSide(int s, LayoutDivider* d) { m_sides[static_cast<size_t>(s)] = d; }

    LayoutSize minSize() const { return m_minSize; }
    void setMinSize(LayoutSize s) { m_minSize = s; }
    LayoutSize maxSize() const { return m_maxSize; }

    // Origin (left, bottom), size (right - left, top - bottom); a missing side counts as 0.
    LayoutRect bounds() const;

    // Archive: the sides are written as their dividers' `index`; a read region carries only the
    // stored numbers (`storedSideIndex`) until the Layout reader resolves them.
    QVariant encode() const;
    static std::unique_ptr<LayoutRegion> decode(const QVariant& archived);
    qint64 storedSideIndex(int s) const { return m_storedSides[static_cast<size_t>(s)]; }

private:
    std::array<LayoutDivider*, 4> m_sides {};
    LayoutSize m_minSize {100, 100};
    LayoutSize m_maxSize {kLayoutMaxExtent, kLayoutMaxExtent};
    std::array<qint64, 4> m_storedSides {-1, -1, -1, -1};
};

// A straight line of a layout: a vertical divider is positioned by x, a horizontal one by y.
// Its two ends are perpendicular dividers of the same layout (not owned); the Layout owns every
// divider and keeps every end a member of its own list. Main thread only.
#pragma once

#include "panes/layout/LayoutRect.h"

#include <QVariant>

#include <memory>

class KeyedArchiver;
class KeyedUnarchiver;

class LayoutDivider {
public:
    static constexpr int kArchiveVersion = 2;

    LayoutDivider() = default;
    LayoutDivider(const LayoutDivider&) = delete;
    LayoutDivider& operator=(const LayoutDivider&) = delete;

    static std::unique_ptr<LayoutDivider> verticalDividerFrom(LayoutDivider* from, LayoutDivider* to, double at);
    static std::unique_ptr<LayoutDivider> horizontalDividerFrom(LayoutDivider* from, LayoutDivider* to, double at);

    bool vertical() const { return m_vertical; }
    void setVertical(bool v) { m_vertical = v; }
    bool horizontal() const { return !m_vertical; }
    LayoutDivider* from() const { return m_from; }
    void setFrom(LayoutDivider* d) { m_from = d; }
    LayoutDivider* to() const { return m_to; }
    void setTo(LayoutDivider* d) { m_to = d; }
    double at() const { return m_at; }
    void setAt(double at) { m_at = at; }
    quint64 index() const { return m_index; }
    void setIndex(quint64 i) { m_index = i; }
    bool treatAsOutside() const { return m_treatAsOutside; }
    void setTreatAsOutside(bool t) { m_treatAsOutside = t; }

    // Where the line starts and ends; a missing end counts as position 0.
    LayoutPoint startPoint() const;
    LayoutPoint endPoint() const;
    // A band 3 points wide centred on the line, from start to end (either order).
    LayoutRect bounds() const;
    // Within 2.5 points across the line (inclusive) and strictly between the two ends along it.
    bool pointIsOnDivider(LayoutPoint p) const;
    // Moves the line to the point's x (vertical) or y (horizontal).
    bool dragToPoint(LayoutPoint p);
    // YES when both ends are among the two given dividers (by identity).
    bool connects(const LayoutDivider* a, const LayoutDivider* b) const;

    // Archive: the ends are written as the `index` of each end, so the layout renumbers its
    // dividers first. A read divider has no ends yet, only the stored numbers, which the
    // Layout reader resolves (`storedFromIndex`, `storedToIndex`).
    QVariant encode() const;
    static std::unique_ptr<LayoutDivider> decode(const QVariant& archived);
    qint64 storedFromIndex() const { return m_storedFrom; }
    qint64 storedToIndex() const { return m_storedTo; }

private:
    bool m_vertical = false;
    LayoutDivider* m_from = nullptr;
    LayoutDivider* m_to = nullptr;
    double m_at = 0;
    quint64 m_index = 0;
    bool m_treatAsOutside = false;
    qint64 m_storedFrom = -1;
    qint64 m_storedTo = -1;
};

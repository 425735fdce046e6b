// Plain geometry of the layout model: points, sizes and rectangles in points with y growing
// upwards (a rectangle's origin is its lower-left corner). Only the layout view flips y when it
// places widgets; nothing in the model knows about widget coordinates.
#pragma once

#include <QtGlobal>

#include <cmath>
#include <cstdint>
#include <limits>

// The "no index" value of every index the layout model hands out (the largest signed 64-bit
// number, as stored in the layout archive).
inline constexpr quint64 kLayoutNotFound = static_cast<quint64>(std::numeric_limits<qint64>::max());

// The default maximum region size: the largest 32-bit float.
inline constexpr double kLayoutMaxExtent = static_cast<double>(std::numeric_limits<float>::max());

// How far a layout reaches, in points: no screen, nor row of screens, is wider or taller. A divider
// position read from a file beyond it (or not a number) makes that layout unreadable.
inline constexpr double kLayoutMaxReach = 32000;
// The largest minimum size a region may ask for in a file (the reader's own are 100 and 6); a larger
// one, or one that is not a number or negative, is read as the default 100.
inline constexpr double kLayoutMaxMinimum = 2000;

// A number read from a file, usable as a layout measure: finite and within [low, high].
inline bool layoutNumberWithin(double v, double low, double high)
{
    return std::isfinite(v) && v >= low && v <= high;
}

struct LayoutPoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const LayoutPoint&, const LayoutPoint&) = default;
};

struct LayoutSize {
    double width = 0;
    double height = 0;
    friend bool operator==(const LayoutSize&, const LayoutSize&) = default;
};

struct LayoutRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double left() const { return x; }
    double right() const { return x + width; }
    double bottom() const { return y; }
    double top() const { return y + height; }
    LayoutSize size() const { return {width, height}; }
    friend bool operator==(const LayoutRect&, const LayoutRect&) = default;
};

// Positions derived from a rectangle or a proportion are whole points, halves away from zero
// (2.5 -> 3, -2.5 -> -3); std::round does exactly that.
inline double layoutRound(double v)
{
    return std::round(v);
}

// QSHTMLColors: colours to and from the "#rrggbb" form in which the display settings keep them, and
// the brightness scaling that backgrounds are drawn with. Colours are kept as double-precision
// components (QColor keeps 16 bits a channel, too coarse for the "#rrggbb" round trip), with
// conversions to QColor for drawing. Stateless; any thread.
#pragma once

#include <QColor>
#include <QString>

class QSHTMLColors {
public:
    struct Color {
        double red = 0, green = 0, blue = 0, alpha = 1;
        QColor toQColor() const { return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha)); }
        bool operator==(const Color&) const = default;
    };

    // The platform's purple: what a text that is not exactly seven characters long gives.
    static Color purpleColor() { return Color {0.5, 0, 0.5, 1}; }

    // "#rrggbb" (the first character is not checked) to an opaque colour; a pair that is not
    // hexadecimal counts as 0.
    static Color colorFromHTMLColorString(const QString& text);
    // Brighter or darker by `factor`, keeping the brightness while no channel passes 1; black is
    // scaled as if it were white.
    static Color colorByMultiplyingBy(const Color& color, double factor);
    // The factors at which the channels' sum becomes 2.9 and 0.3.
    static double maxMultiplier(const Color& color);
    static double minMultiplier(const Color& color);
};

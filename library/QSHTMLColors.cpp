#include "library/QSHTMLColors.h"

#include <algorithm>

QSHTMLColors::Color QSHTMLColors::colorFromHTMLColorString(const QString& text)
{
    if (text.size() != 7)
        return purpleColor();
    auto digit = [&](int at) {
        const char16_t c = text.at(at).unicode();
        if (c >= u'0' && c <= u'9')
            return c - u'0';
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c - u'A' + 10;
        return -1;
    };
    auto channel = [&](int at) {
        const int hi = digit(at), lo = digit(at + 1);
        return hi < 0 || lo < 0 ? 0.0 : (hi * 16 + lo) / 255.0;
    };
    return Color {channel(1), channel(3), channel(5), 1};
}

QSHTMLColors::Color QSHTMLColors::colorByMultiplyingBy(const Color& color, double m)
{
    double r = color.red, g = color.green, b = color.blue;
    if (r + g + b == 0)
        r = g = b = 1;
    r *= m;
    g *= m;
    b *= m;
    const double max = std::max({r, g, b});
    if (max <= 1)
        return Color {r, g, b, color.alpha};
    const double sum = r + g + b;
    if (sum >= 3)
        return Color {1, 1, 1, color.alpha};
    const double x = (3 - sum) / (3 * max - sum);
    const double gray = 1 - max * x;
    return Color {r * x + gray, g * x + gray, b * x + gray, color.alpha};
}

double QSHTMLColors::maxMultiplier(const Color& color)
{
    const double sum = color.red + color.green + color.blue;
    return sum == 0 ? 2.9 : 2.9 / sum;
}

double QSHTMLColors::minMultiplier(const Color& color)
{
    const double sum = color.red + color.green + color.blue;
    return sum == 0 ? 0.3 : 0.3 / sum;
}

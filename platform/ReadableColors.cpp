#include "platform/ReadableColors.h"

#include <algorithm>
#include <cmath>

namespace ReadableColors {

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

const Rgb kBlack {0, 0, 0};
const Rgb kWhite {1, 1, 1};

}  // namespace

std::optional<Rgb> fromHtml(const QString& text)
{
    const QString t = text.trimmed();
    if (t.size() != 7 || t[0] != u'#')
        return std::nullopt;
    double channels[3];
    for (int i = 0; i < 3; ++i) {
        const int high = hexDigit(t[1 + 2 * i]), low = hexDigit(t[2 + 2 * i]);
        if (high < 0 || low < 0)
            return std::nullopt;
        channels[i] = (high * 16 + low) / 255.0;
    }
    return Rgb {channels[0], channels[1], channels[2]};
}

QString toHtml(const Rgb& color)
{
    auto byte = [](double c) { return int(std::lround(std::clamp(c, 0.0, 1.0) * 255)); };
    return QString::asprintf("#%02x%02x%02x", byte(color.red), byte(color.green), byte(color.blue));
}

double relativeLuminance(const Rgb& color)
{
    return 0.2126 * linear(color.red) + 0.7152 * linear(color.green) + 0.0722 * linear(color.blue);
}

double contrast(const Rgb& a, const Rgb& b)
{
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb labelColorOn(const Rgb& background)
{
    return contrast(kBlack, background) >= contrast(kWhite, background) ? kBlack : kWhite;
}

Rgb mix(const Rgb& from, const Rgb& to, double amount)
{
    return {from.red + (to.red - from.red) * amount, from.green + (to.green - from.green) * amount,
        from.blue + (to.blue - from.blue) * amount};
}

Rgb readableOn(const Rgb& color, const Rgb& background)
{
    if (contrast(color, background) >= kMinimumContrast)
        return color;
    const Rgb label = labelColorOn(background);
    if (contrast(label, background) <= kTargetContrast)
        return label;
    // Contrast grows steadily along the way to the label colour: halve the interval to the least
    // move that reaches the target.
    double low = 0, high = 1;
    for (int i = 0; i < 24; ++i) {
        const double middle = (low + high) / 2;
        if (contrast(mix(color, label, middle), background) >= kTargetContrast)
            high = middle;
        else
            low = middle;
    }
    return mix(color, label, high);
}

QString readableOn(const QString& color, const QString& background)
{
    const auto c = fromHtml(color);
    const auto b = fromHtml(background);
    if (!c || !b)
        return color;
    const Rgb readable = readableOn(*c, *b);
    return readable == *c ? color : toHtml(readable);
}

}  // namespace ReadableColors

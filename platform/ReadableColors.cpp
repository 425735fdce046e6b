#include "platform/ReadableColors.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace ReadableColors {

namespace {

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
    const QStringView digits = QStringView(t).mid(1);
    const bool allHex = std::all_of(digits.begin(), digits.end(),
        [](QChar c) { return c.unicode() < 128 && std::isxdigit(static_cast<unsigned char>(c.unicode())); });
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!allHex || !ok)
        return std::nullopt;
    return Rgb {((value >> 16) & 0xff) / 255.0, ((value >> 8) & 0xff) / 255.0, (value & 0xff) / 255.0};
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
    if (contrast(color, background) >= kTargetContrast)
        return color;
    const Rgb label = labelColorOn(background);
    if (contrast(label, background) <= kTargetContrast)
        return label;
    // Contrast grows steadily along the way to the label colour: halve the interval to the least
    // move that reaches the target, with a little to spare so that the colour still reaches it
    // once its channels are rounded to whole bytes ("#rrggbb", a screen's pixels).
    const double target = std::min(kTargetContrast + 0.04, contrast(label, background));
    double low = 0, high = 1;
    for (int i = 0; i < 24; ++i) {
        const double middle = (low + high) / 2;
        if (contrast(mix(color, label, middle), background) >= target)
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

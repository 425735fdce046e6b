// ReadableColors: how well one colour reads on another, and the nearest colour that reads. The page
// colours are the user's ("#rrggbb" texts of the display settings); what is drawn on them (links,
// Strong's numbers, the labels of the pane's own controls, the text of a highlight) must stay
// readable on whatever background the user picks. Contrast is the ratio of relative luminances
// (1 to 21) as the web accessibility guidelines define it. Stateless; any thread.
#pragma once

#include <QString>

#include <optional>

namespace ReadableColors {

// A colour with channels from 0 to 1.
struct Rgb {
    double red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

// Below this contrast a text is hard to read (the contrast the window's controls are given); a
// colour moved to read is moved just far enough to reach it.
inline constexpr double kTargetContrast = 4.5;

// "#rrggbb" (either case); none for any other text.
std::optional<Rgb> fromHtml(const QString& text);
// "#rrggbb" in lower case.
QString toHtml(const Rgb& color);

double relativeLuminance(const Rgb& color);
double contrast(const Rgb& a, const Rgb& b);

// Black or white, whichever reads better on the background.
Rgb labelColorOn(const Rgb& background);

// `color` itself when it reads on `background` (contrast at least kTargetContrast); otherwise the
// colour moved towards labelColorOn(background) just far enough to reach it (or as far as it goes),
// so a dark blue link on black becomes a light blue, and a green of 4.1:1 a lighter green.
Rgb readableOn(const Rgb& color, const Rgb& background);
// The same for "#rrggbb" texts; a text that is not of that form is given back unchanged.
QString readableOn(const QString& color, const QString& background);

// `from` moved towards `to` by `amount` (0 gives `from`, 1 gives `to`).
Rgb mix(const Rgb& from, const Rgb& to, double amount);

}  // namespace ReadableColors

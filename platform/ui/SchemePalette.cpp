#include "platform/ui/SchemePalette.h"

#include "platform/ReadableColors.h"

#include <QApplication>
#include <QTabBar>
#include <QWidget>

namespace SchemePalette {

namespace {

ReadableColors::Rgb rgbOf(const QColor& color)
{
    return {color.redF(), color.greenF(), color.blueF()};
}

QColor colorOf(const ReadableColors::Rgb& rgb)
{
    return QColor::fromRgbF(float(rgb.red), float(rgb.green), float(rgb.blue));
}

// The selection behind a chosen row of a list on `back`, whose text `text` is drawn over it: the
// shade of the page towards the label colour `label` that stands out most while the text still reads
// on it (at most 30 % of the way). A text that only just reads on the page reads on no lighter shade:
// the selection then goes the other way, towards black or white away from the text, as far as it
// stands apart; where neither way keeps the text readable, the page's own colour (the row stands
// out by its frame alone), never a fill the text cannot be read on.
ReadableColors::Rgb selectionOn(
    const ReadableColors::Rgb& back, const ReadableColors::Rgb& label, const ReadableColors::Rgb& text)
{
    using namespace ReadableColors;
    for (int percent = 30; percent >= 6; --percent) {
        const Rgb shade = mix(back, label, percent / 100.0);
        if (contrast(text, shade) >= kTargetContrast)
            return shade;
    }
    const Rgb away = relativeLuminance(text) > relativeLuminance(back) ? Rgb {0, 0, 0} : Rgb {1, 1, 1};
    for (int percent = 100; percent >= 6; --percent) {
        const Rgb shade = mix(back, away, percent / 100.0);
        if (contrast(text, shade) >= kTargetContrast && contrast(shade, back) >= 1.05)
            return shade;
    }
    return back;
}

// Fields and lists on the page's background `back`, with its text `text` (readable there) and the
// label colour `label` that reads best there.
void setListColors(QPalette& palette, QPalette::ColorGroup group, const QPalette& desktop,
    const ReadableColors::Rgb& back, const ReadableColors::Rgb& label, const ReadableColors::Rgb& text)
{
    using namespace ReadableColors;
    const bool disabled = group == QPalette::Disabled;
    palette.setColor(group, QPalette::Base, colorOf(back));
    palette.setColor(group, QPalette::AlternateBase, colorOf(mix(back, label, 0.08)));
    palette.setColor(group, QPalette::Text, disabled ? colorOf(mix(back, text, 0.55)) : colorOf(text));
    palette.setColor(group, QPalette::PlaceholderText, colorOf(mix(back, text, 0.55)));
    // The lists draw a chosen row's verse in the page's text over the selection: the selection keeps
    // the desktop's colour where that text reads on it and it stands apart from the page, else it is
    // a shade of the page towards the label colour.
    const Rgb highlight = rgbOf(desktop.color(group, QPalette::Highlight));
    if (contrast(highlight, back) < 1.5 || contrast(text, highlight) < kTargetContrast) {
        const Rgb selection = selectionOn(back, label, text);
        palette.setColor(group, QPalette::Highlight, colorOf(selection));
        palette.setColor(group, QPalette::HighlightedText, colorOf(text));
    }
}

// Where the scheme's rule begins in a tab bar's style sheet.
constexpr const char* kTabRuleMark = "\n/* scheme */ ";

}  // namespace

QPalette forBackground(const QPalette& desktop, const QString& backColor, const QString& textColor)
{
    using namespace ReadableColors;
    const auto back = fromHtml(backColor);
    if (!back)
        return desktop;
    const Rgb label = labelColorOn(*back);
    // The page's text where it reads on the page, else moved until it does (as the page moves it).
    const Rgb text = readableOn(fromHtml(textColor).value_or(label), *back);
    QPalette palette = desktop;
    auto shade = [&](double amount) { return colorOf(mix(*back, label, amount)); };
    const Rgb desktopLabel = rgbOf(desktop.color(QPalette::Active, QPalette::WindowText));
    const bool ownControls = contrast(desktopLabel, *back) < kTargetContrast;
    // Fields and lists keep the desktop's colours where these already are the page's (a white page
    // under a light desktop).
    const bool ownLists = contrast(rgbOf(desktop.color(QPalette::Active, QPalette::Base)), *back) > 1.05 ||
        contrast(rgbOf(desktop.color(QPalette::Active, QPalette::Text)), *back) < kTargetContrast;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        if (ownLists)
            setListColors(palette, group, desktop, *back, label, text);
        if (!ownControls)
            continue;
        palette.setColor(group, QPalette::Window, colorOf(*back));
        palette.setColor(group, QPalette::WindowText, disabled ? shade(0.45) : colorOf(label));
        palette.setColor(group, QPalette::ButtonText, disabled ? shade(0.45) : colorOf(label));
        palette.setColor(group, QPalette::Button, shade(0.18));
        palette.setColor(group, QPalette::Light, shade(0.35));
        palette.setColor(group, QPalette::Midlight, shade(0.26));
        palette.setColor(group, QPalette::Mid, shade(0.12));
        palette.setColor(group, QPalette::Dark, shade(0.06));
        palette.setColor(group, QPalette::Shadow, colorOf(*back));
    }
    return palette;
}

QString currentTabRule(const QPalette& desktop, const QString& backColor)
{
    using namespace ReadableColors;
    const auto back = fromHtml(backColor);
    if (!back || contrast(rgbOf(desktop.color(QPalette::Active, QPalette::WindowText)), *back) >= kTargetContrast)
        return QString();
    // The desktop's style draws the current tab a shade lighter than the others, which is nothing on
    // a near-black page: there it is raised towards the label colour, with its label in that colour.
    const Rgb label = labelColorOn(*back);
    return QStringLiteral("QTabBar::tab:selected { background: %1; color: %2; }")
        .arg(toHtml(mix(*back, label, 0.3)), toHtml(label));
}

void apply(QWidget* widget, const QString& backColor, const QString& textColor)
{
    const QPalette desktop = QApplication::palette(widget);
    const QPalette palette = forBackground(desktop, backColor, textColor);
    // Set only when it differs, so the controls follow a change of the desktop's palette.
    const bool own = palette != desktop;
    widget->setPalette(own ? palette : QPalette());
    const QString tabRule = currentTabRule(desktop, backColor);
    // A control under a style sheet (a tab bar styled by one, and what it holds) does not inherit its
    // parent's palette: it is given the palette itself.
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        if (child->window() != widget->window())
            continue;
        if (auto* bar = qobject_cast<QTabBar*>(child)) {
            // The tab bar's own sheet, then the scheme's rule for its current tab (replaced at each call).
            QString sheet = bar->styleSheet();
            if (const qsizetype at = sheet.indexOf(QLatin1String(kTabRuleMark)); at >= 0)
                sheet.truncate(at);
            if (!tabRule.isEmpty())
                sheet += QLatin1String(kTabRuleMark) + tabRule;
            if (sheet != bar->styleSheet())
                bar->setStyleSheet(sheet);
        }
        if (child->testAttribute(Qt::WA_StyleSheet))
            child->setPalette(own ? palette : QPalette());
    }
}

}  // namespace SchemePalette

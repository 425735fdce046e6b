#include "platform/ui/SchemePalette.h"

#include "platform/ReadableColors.h"

#include <QApplication>
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

}  // namespace

QPalette forBackground(const QPalette& desktop, const QString& backColor)
{
    using namespace ReadableColors;
    const auto back = fromHtml(backColor);
    if (!back)
        return desktop;
    const Rgb desktopLabel = rgbOf(desktop.color(QPalette::Active, QPalette::WindowText));
    if (contrast(desktopLabel, *back) >= kTargetContrast)
        return desktop;
    const Rgb label = labelColorOn(*back);
    QPalette palette = desktop;
    auto shade = [&](double amount) { return colorOf(mix(*back, label, amount)); };
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
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

void apply(QWidget* widget, const QString& backColor)
{
    const QPalette desktop = QApplication::palette(widget);
    const QPalette palette = forBackground(desktop, backColor);
    // Set only when it differs, so the controls follow a change of the desktop's palette.
    const bool own = palette != desktop;
    widget->setPalette(own ? palette : QPalette());
    // A control under a style sheet (a tab bar styled by one, and what it holds) does not inherit its
    // parent's palette: it is given the palette itself.
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        if (child->testAttribute(Qt::WA_StyleSheet) && child->window() == widget->window())
            child->setPalette(own ? palette : QPalette());
    }
}

}  // namespace SchemePalette

// The palette of the lists on the page's colours: a chosen row's text reads on its selection on any
// page, the page's text moved to read there as the page moves it.

#include "platform/ReadableColors.h"
#include "platform/ui/SchemePalette.h"

#include <gtest/gtest.h>

#include <QApplication>

namespace {

ReadableColors::Rgb rgbOf(const QColor& color)
{
    return {color.redF(), color.greenF(), color.blueF()};
}

QApplication& app()
{
    static int argc = 1;
    static char name[] = "SchemePalette_test";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication a(argc, argv);
    return a;
}

}  // namespace

TEST(SchemePalette, AChosenRowsTextReadsOnItsSelectionOnAnyPage)
{
    app();
    QPalette desktop;
    desktop.setColor(QPalette::Base, Qt::white);
    desktop.setColor(QPalette::Text, Qt::black);
    desktop.setColor(QPalette::WindowText, Qt::black);
    desktop.setColor(QPalette::Highlight, QColor(0x30, 0x8c, 0xc6));
    const char* backs[] = {"#000000", "#101010", "#1e1e1e", "#333333", "#0a1a3a", "#777777", "#3a0000", "#ffffe0"};
    const char* texts[] = {"#000000", "#ffffff", "#7c7c7c", "#c0c0c0", "#202020", "#ff0000", ""};
    for (const char* back : backs)
        for (const char* text : texts) {
            const QPalette p =
                SchemePalette::forBackground(desktop, QString::fromLatin1(back), QString::fromLatin1(text));
            for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
                const auto shown = rgbOf(p.color(group, QPalette::Text));
                const auto selection = rgbOf(p.color(group, QPalette::Highlight));
                EXPECT_GE(ReadableColors::contrast(shown, rgbOf(p.color(group, QPalette::Base))),
                    ReadableColors::kTargetContrast - 0.01)
                    << back << " " << text;
                EXPECT_GE(ReadableColors::contrast(shown, selection), ReadableColors::kTargetContrast - 0.01)
                    << "page " << back << ", text " << text << ": the selection "
                    << p.color(group, QPalette::Highlight).name().toStdString() << " under "
                    << p.color(group, QPalette::Text).name().toStdString();
            }
        }
    // Black text on a near-black page reads just past the target there: the selection still stands
    // apart from the page, on the side away from the text.
    const QPalette night = SchemePalette::forBackground(desktop, QStringLiteral("#101010"), QStringLiteral("#000000"));
    EXPECT_NE(night.color(QPalette::Active, QPalette::Highlight), night.color(QPalette::Active, QPalette::Base));
}

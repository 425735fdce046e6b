#include "library/QSHTMLColors.h"

#include "library/ContainsSubview.h"
#include "library/JavaScript.h"

#include <gtest/gtest.h>

#include <QObject>

namespace {

void expectColor(const QSHTMLColors::Color& expected, const QSHTMLColors::Color& actual)
{
    EXPECT_NEAR(expected.red, actual.red, 1e-9);
    EXPECT_NEAR(expected.green, actual.green, 1e-9);
    EXPECT_NEAR(expected.blue, actual.blue, 1e-9);
    EXPECT_NEAR(expected.alpha, actual.alpha, 1e-9);
}

}  // namespace

TEST(QSHTMLColors, ParsingAndWriting)
{
    expectColor({1, 0, 0, 1}, QSHTMLColors::colorFromHTMLColorString("#ff0000"));
    expectColor({1, 0, 0, 1}, QSHTMLColors::colorFromHTMLColorString("#FF0000"));
    expectColor(QSHTMLColors::purpleColor(), QSHTMLColors::colorFromHTMLColorString("ff0000"));
    expectColor(QSHTMLColors::purpleColor(), QSHTMLColors::colorFromHTMLColorString("#ff00001"));
    // Not hexadecimal: that channel is 0.
    expectColor({0, 1, 0, 1}, QSHTMLColors::colorFromHTMLColorString("#zzff+1"));
    for (const char* text : {"#000000", "#7f7f7f", "#12ab9c", "#ffffff"}) {
        const auto c = QSHTMLColors::colorFromHTMLColorString(QString::fromLatin1(text));
        EXPECT_EQ(QString::fromLatin1(text), JavaScript::HTMLColorStringFromColor(c.red, c.green, c.blue));
    }
}

TEST(QSHTMLColors, Scaling)
{
    expectColor({0.5, 0.5, 0.5, 1}, QSHTMLColors::colorByMultiplyingBy({0, 0, 0, 1}, 0.5));
    expectColor({1, 1, 1, 0.25}, QSHTMLColors::colorByMultiplyingBy({0.5, 0.5, 0.5, 0.25}, 3));
    const auto c = QSHTMLColors::colorByMultiplyingBy({0.8, 0.2, 0.2, 1}, 1.5);
    EXPECT_NEAR(1.0, c.red, 1e-9);
    EXPECT_NEAR(1.8, c.red + c.green + c.blue, 1e-9);
    EXPECT_NEAR(c.green, c.blue, 1e-12);
    expectColor({0.2, 0.1, 0.05, 1}, QSHTMLColors::colorByMultiplyingBy({0.4, 0.2, 0.1, 1}, 0.5));
    EXPECT_NEAR(2.9, QSHTMLColors::maxMultiplier({0, 0, 0, 1}), 1e-12);
    EXPECT_NEAR(2.9 / 1.5, QSHTMLColors::maxMultiplier({0.5, 0.5, 0.5, 1}), 1e-12);
    EXPECT_NEAR(0.3, QSHTMLColors::minMultiplier({0, 0, 0, 1}), 1e-12);
    EXPECT_NEAR(0.2, QSHTMLColors::minMultiplier({0.5, 0.5, 0.5, 1}), 1e-12);
    const QColor q = QSHTMLColors::Color {1, 0, 0, 1}.toQColor();
    EXPECT_EQ(QColor(Qt::red), q);
}

TEST(ContainsSubview, FindsItselfAndDescendants)
{
    QObject root, child, grandchild, other;
    child.setParent(&root);
    grandchild.setParent(&child);
    EXPECT_TRUE(containsSubview(&root, &root));
    EXPECT_TRUE(containsSubview(&root, &grandchild));
    EXPECT_FALSE(containsSubview(&child, &root));
    EXPECT_FALSE(containsSubview(&root, &other));
    EXPECT_FALSE(containsSubview(nullptr, &root));
    grandchild.setParent(nullptr);
}

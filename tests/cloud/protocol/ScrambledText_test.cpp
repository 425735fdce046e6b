#include "cloud/protocol/ScrambledText.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using namespace qs::cloud;

namespace {

const ScramblePad kPads[] = {
    ScramblePad::Default, ScramblePad::WebScript, ScramblePad::SyncConnect, ScramblePad::Store};

}  // namespace

TEST(ScrambledText, RoundTripsEveryPadAndAnyBytes)
{
    QRandomGenerator rng(7);
    for (ScramblePad pad : kPads) {
        for (int n = 0; n < 200; ++n) {
            QByteArray bytes(static_cast<int>(rng.bounded(40)), Qt::Uninitialized);
            for (char& c : bytes)
                c = static_cast<char>(rng.bounded(256));
            const QString s = scrambleBytes(bytes, pad);
            EXPECT_EQ(s.size(), 1 + 2 * bytes.size());
            const auto back = unscrambleBytesChecked(s, pad);
            ASSERT_TRUE(back.has_value());
            EXPECT_EQ(*back, bytes);
        }
    }
    const QString text = QStringLiteral("Ann Lee \u00e9\u4e2d\t1");
    EXPECT_EQ(unscrambleTextChecked(scrambleText(text, ScramblePad::Store), ScramblePad::Store), text);
    EXPECT_EQ(unscrambleTextChecked(scrambleText(text, ScramblePad::Default), ScramblePad::Default), text);
}

TEST(ScrambledText, EmptyTextIsZeroAndPadsDiffer)
{
    EXPECT_EQ(scrambleText(QString(), ScramblePad::WebScript), QStringLiteral("0"));
    EXPECT_EQ(unscrambleBytesChecked(QStringLiteral("0"), ScramblePad::WebScript), QByteArray());
    const QString text = QStringLiteral("customer=12345");
    EXPECT_NE(scrambleText(text, ScramblePad::WebScript), scrambleText(text, ScramblePad::SyncConnect));
    EXPECT_NE(scrambleText(text, ScramblePad::Store), scrambleText(text, ScramblePad::Default));
    // The first symbol is the byte sum modulo 62, whatever the pad.
    EXPECT_EQ(scrambleText(text, ScramblePad::Store).at(0), scrambleText(text, ScramblePad::Default).at(0));
}

TEST(ScrambledText, CheckedInverseRefusesGarbage)
{
    const QString good = scrambleText(QStringLiteral("r1=1&v3=list2&r2=2"), ScramblePad::WebScript);
    ASSERT_TRUE(unscrambleTextChecked(good, ScramblePad::WebScript).has_value());
    EXPECT_FALSE(unscrambleTextChecked(good, ScramblePad::SyncConnect).has_value());           // wrong pad
    EXPECT_FALSE(unscrambleBytesChecked(good.left(good.size() - 1), ScramblePad::WebScript));  // even length
    EXPECT_FALSE(unscrambleBytesChecked(QString(), ScramblePad::WebScript));
    EXPECT_FALSE(unscrambleBytesChecked(QStringLiteral("1"), ScramblePad::WebScript));  // empty text with sum 1
    QString outside = good;
    outside[3] = QLatin1Char('-');
    EXPECT_FALSE(unscrambleBytesChecked(outside, ScramblePad::WebScript));
    // Changing any one symbol is caught: either the pair is no hexadecimal digit or the sum differs.
    for (int i = 0; i < good.size(); ++i) {
        QString tampered = good;
        tampered[i] = tampered[i] == QLatin1Char('z') ? QLatin1Char('y') : QLatin1Char('z');
        EXPECT_FALSE(unscrambleBytesChecked(tampered, ScramblePad::WebScript)) << i;
    }
    // Invalid UTF-8 is refused by the text form only.
    const QString latin = scrambleBytes(QByteArray("\xff\xfe", 2), ScramblePad::Default);
    EXPECT_TRUE(unscrambleBytesChecked(latin, ScramblePad::Default).has_value());
    EXPECT_FALSE(unscrambleTextChecked(latin, ScramblePad::Default).has_value());
}

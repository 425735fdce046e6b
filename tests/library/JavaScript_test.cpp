#include "library/JavaScript.h"

#include "engine/scramble/ScramblePads.h"

#include <gtest/gtest.h>

#include <QColor>

TEST(JavaScript, UnescapingReadsEachPairOnce)
{
    EXPECT_EQ(QStringLiteral("a\tb"), JavaScript::stringByUnescapingJavaScript(QStringLiteral("a\\tb")));
    // Two backslashes and n: one backslash and n (the produced backslash is not read again).
    EXPECT_EQ(QStringLiteral("\\n"), JavaScript::stringByUnescapingJavaScript(QStringLiteral("\\\\n")));
    EXPECT_EQ(QStringLiteral("end\\"), JavaScript::stringByUnescapingJavaScript(QStringLiteral("end\\")));
    EXPECT_EQ(QStringLiteral("\\u0041"), JavaScript::stringByUnescapingJavaScript(QStringLiteral("\\u0041")));
    EXPECT_EQ(QString::fromUtf16(u"\"'\\\b\f\n\r\t\v"),
        JavaScript::stringByUnescapingJavaScript(QStringLiteral("\\\"\\'\\\\\\b\\f\\n\\r\\t\\v")));
    EXPECT_EQ(QStringLiteral("\\x\\y"), JavaScript::stringByUnescapingJavaScript(QStringLiteral("\\x\\y")));
}

TEST(JavaScript, DigestsScramblingAndIntegers)
{
    EXPECT_TRUE(JavaScript::stringFromMD5(QString()).isNull());
    EXPECT_EQ(QStringLiteral("900150983cd24fb0d6963f7d28e17f72"), JavaScript::stringFromMD5(QStringLiteral("abc")));
    // Up to the first zero byte.
    EXPECT_EQ(JavaScript::stringFromMD5(QStringLiteral("abc")),
        JavaScript::stringFromMD5(QStringLiteral("abc") + QChar(0) + QStringLiteral("def")));
    const QString text = QString::fromUtf8("password \xC3\xA9");
    const QString scrambled = JavaScript::encryptedString(text);
    EXPECT_NE(text, scrambled);
    EXPECT_EQ(text, JavaScript::decryptedString(scrambled));
    const QString pad = QString::fromLatin1(ScramblePads::kDefaultScramblePad).mid(5) + QStringLiteral("abcde");
    const QString withPad = JavaScript::encryptedStringWithPad(text, pad);
    EXPECT_NE(scrambled, withPad);
    EXPECT_EQ(text, JavaScript::decryptedStringWithPad(withPad, pad));
    EXPECT_EQ(QString(), JavaScript::decryptedString(QStringLiteral("x")));
    EXPECT_EQ(QStringLiteral(""), JavaScript::encryptedStringWithPad(text, QString()));
    EXPECT_TRUE(JavaScript::isInt(QStringLiteral("12")));
    EXPECT_TRUE(JavaScript::isInt(QStringLiteral(" 12")));
    EXPECT_TRUE(JavaScript::isInt(QStringLiteral("-7")));
    EXPECT_FALSE(JavaScript::isInt(QStringLiteral("12 ")));
    EXPECT_FALSE(JavaScript::isInt(QStringLiteral("1.5")));
    EXPECT_FALSE(JavaScript::isInt(QStringLiteral("")));
    EXPECT_FALSE(JavaScript::isInt(QStringLiteral("-")));
    EXPECT_TRUE(JavaScript::isInteger(QStringLiteral("9223372036854775807")));
}

TEST(JavaScript, UrlEncodingAndTheDeviceIdentifier)
{
    EXPECT_EQ(
        QStringLiteral("a%3Db%26c%3Fd"), JavaScript::stringWithUrlEncodedQueryItemValue(QStringLiteral("a=b&c?d")));
    EXPECT_EQ(QStringLiteral("x%20y%25z/+"), JavaScript::stringWithUrlEncodedQueryItemValue(QStringLiteral("x y%z/+")));
    EXPECT_EQ(QStringLiteral("%C3%A9"), JavaScript::stringWithUrlEncodedQueryItemValue(QString::fromUtf8("\xC3\xA9")));
    EXPECT_EQ(QStringLiteral("a b c"), JavaScript::stringByDecodingUrlEncodedString(QStringLiteral("a+b%20c")));
    EXPECT_EQ(QString::fromUtf8("\xC3\xA9"), JavaScript::stringByDecodingUrlEncodedString(QStringLiteral("%C3%A9")));
    const QByteArray mac = QByteArray::fromHex("0011223344aa");
    EXPECT_EQ(
        JavaScript::stringFromMD5(QStringLiteral("00:11:22:33:44:aa")), JavaScript::deviceIDForHardwareAddress(mac));
    EXPECT_EQ(JavaScript::stringFromMD5(QStringLiteral("00:00:00:00:00:00")),
        JavaScript::deviceIDForHardwareAddress(QByteArray()));
    const QString id = JavaScript::stringWithUniqueDeviceID();
    EXPECT_EQ(32, id.size());
    EXPECT_EQ(id, JavaScript::stringWithUniqueDeviceID());
}

TEST(JavaScript, CharacterSpans)
{
    const JavaScript::CharacterSet digits = [](QChar c) { return c >= u'0' && c <= u'9'; };
    const QString s = QStringLiteral("ab12cd345");
    EXPECT_EQ((StringRange {2, 2}), JavaScript::rangeOfCharacterSpanFromSet(s, digits));
    EXPECT_EQ((StringRange {6, 3}), JavaScript::rangeOfCharacterSpanFromSet(s, digits, JavaScript::kBackwardsSearch));
    EXPECT_FALSE(JavaScript::rangeOfCharacterSpanFromSet(s, digits, JavaScript::kAnchoredSearch).found());
    EXPECT_EQ((StringRange {6, 3}),
        JavaScript::rangeOfCharacterSpanFromSet(s, digits, JavaScript::kAnchoredSearch | JavaScript::kBackwardsSearch));
    EXPECT_EQ((StringRange {3, 1}), JavaScript::rangeOfCharacterSpanFromSet(s, digits, 0, StringRange {3, 3}));
    EXPECT_FALSE(JavaScript::rangeOfCharacterSpanFromSet(s, digits, 0, StringRange {4, 2}).found());
    EXPECT_FALSE(JavaScript::rangeOfCharacterSpanFromSet(QString(), digits).found());
    EXPECT_EQ((StringRange {0, 3}),
        JavaScript::rangeOfCharacterSpanFromSet(QStringLiteral(" \n\tx"), [](QChar c) { return c.isSpace(); }));
}

TEST(JavaScript, TagsAndAttributes)
{
    EXPECT_EQ(QStringLiteral("p"), JavaScript::tagName(QStringLiteral("</P class='x'>")));
    EXPECT_EQ(QStringLiteral(""), JavaScript::tagName(QStringLiteral("<>")));
    EXPECT_EQ(QStringLiteral(""), JavaScript::tagName(QStringLiteral("p>")));
    EXPECT_TRUE(JavaScript::isClosingTag(QStringLiteral("</p>")));
    EXPECT_FALSE(JavaScript::isClosingTag(QStringLiteral("<p>")));
    EXPECT_TRUE(JavaScript::isSelfClosingTag(QStringLiteral("<br>")));
    EXPECT_TRUE(JavaScript::isSelfClosingTag(QStringLiteral("<qs_sync k='1'>")));
    EXPECT_TRUE(JavaScript::isSelfClosingTag(QStringLiteral("<x/>")));
    EXPECT_FALSE(JavaScript::isSelfClosingTag(QStringLiteral("<p>")));
    EXPECT_TRUE(JavaScript::isSelfClosingTag(QStringLiteral("<>")));
    EXPECT_TRUE(JavaScript::isBlockLevelTag(QStringLiteral("<table border=1>")));
    EXPECT_FALSE(JavaScript::isBlockLevelTag(QStringLiteral("<span>")));

    const auto attributes = JavaScript::dictionaryOfAttributesFromString(QStringLiteral("<a href='x>y' checked>"));
    ASSERT_TRUE(attributes.has_value());
    EXPECT_EQ(QStringLiteral("x>y"), attributes->value("href").toString());
    EXPECT_EQ(QStringLiteral("checked"), attributes->value("checked").toString());
    EXPECT_EQ(2, attributes->size());
    EXPECT_TRUE(JavaScript::dictionaryOfAttributesFromString(QStringLiteral("<p>"))->isEmpty());
    EXPECT_FALSE(JavaScript::dictionaryOfAttributesFromString(QStringLiteral("p a=b")).has_value());
    EXPECT_FALSE(JavaScript::dictionaryOfAttributesFromString(QStringLiteral("<>")).has_value());
    const auto later = JavaScript::dictionaryOfAttributesFromString(QStringLiteral("<a x=1 x=\"2\">"));
    EXPECT_EQ(QStringLiteral("2"), later->value("x").toString());

    const QString text = QStringLiteral("1 < 2 and <i title=\"a>b\">it</i>");
    const StringRange tag = JavaScript::rangeOfHtmlTagInRange(text, StringRange {0, text.size()});
    EXPECT_EQ(QStringLiteral("<i title=\"a>b\">"), text.mid(tag.location, tag.length));
    EXPECT_FALSE(JavaScript::rangeOfHtmlTagInRange(QStringLiteral("<b"), StringRange {0, 2}).found());
    EXPECT_FALSE(JavaScript::rangeOfHtmlTagInRange(QStringLiteral("<b>"), StringRange {0, 2}).found());
    EXPECT_EQ((StringRange {3, 4}), JavaScript::rangeOfHtmlTagInRange(QStringLiteral("<b <br>"), StringRange {0, 7}));

    EXPECT_EQ(QStringLiteral("<img id=\"7\" src=\"a\" />"),
        JavaScript::stringByAppendingAttribute(
            QStringLiteral("<img src=\"a\">"), QStringLiteral("id"), QStringLiteral("\"7\"")));
    EXPECT_EQ(QStringLiteral("<img id=x src=\"a\" />"),
        JavaScript::stringByAppendingAttribute(
            QStringLiteral("<img src='a' />"), QStringLiteral("id"), QStringLiteral("x")));
    EXPECT_EQ(QStringLiteral("</p n=1 t='say \"hi\"'>"),
        JavaScript::stringByAppendingAttribute(
            QStringLiteral("</p t='say \"hi\"'>"), QStringLiteral("n"), QStringLiteral("1")));
}

TEST(JavaScript, HtmlColourText)
{
    EXPECT_EQ(QStringLiteral("#ffffff"), JavaScript::HTMLColorStringFromColor(1, 1, 1));
    EXPECT_EQ(QStringLiteral("#7f0000"), JavaScript::HTMLColorStringFromColor(0.5, 0, 0));
    EXPECT_EQ(QStringLiteral("#ff0000"), JavaScript::HTMLColorStringFromColor(QColor(Qt::red)));
    EXPECT_EQ(QStringLiteral("#ff0000"), JavaScript::HTMLColorStringFromColor(2, -1, 0));
}

TEST(JavaScript, HtmlFilterStrengths)
{
    const QString html = QStringLiteral("<p>Fish &amp; <b>chips</b> caf&eacute;</p>");
    // Markup kept: references that could make markup stay as written, others are decoded.
    EXPECT_EQ(QString::fromUtf8("<p>Fish &amp; <b>chips</b> caf\xC3\xA9</p>"),
        JavaScript::stringByFilteringHtmlStrength(html, 6, true));
    EXPECT_EQ(html, JavaScript::stringByFilteringHtmlStrength(html, 6, false));
    const QString plain = JavaScript::stringByFilteringHtmlStrength(html, 5, true);
    EXPECT_FALSE(plain.contains(QLatin1Char('<'))) << plain.toStdString();
    EXPECT_TRUE(plain.contains(QStringLiteral("Fish & "))) << plain.toStdString();
    EXPECT_TRUE(plain.contains(QStringLiteral("chips"))) << plain.toStdString();
    // Strengths outside 0-6 are held to the nearest one.
    EXPECT_EQ(JavaScript::stringByFilteringHtmlStrength(html, 6, true),
        JavaScript::stringByFilteringHtmlStrength(html, 60, true));
}

#include "library/XMLParser.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

TEST(XMLParser, ReadsLeavesNestingAndRepeats)
{
    QString s = QStringLiteral("  <r><a>1</a>\n<a>2</a><b>x</b></r>  ");
    const auto r = XMLParser::dictionaryFromXML(s);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ((QVariantList {"1", "2"}), r->value("a").toList());
    EXPECT_EQ(QStringLiteral("x"), r->value("b").toString());
    EXPECT_TRUE(s.isEmpty());

    QString three = QStringLiteral("<r><a>1</a><a>2</a><a>3</a></r>");
    EXPECT_EQ((QVariantList {"1", "2", "3"}), XMLParser::dictionaryFromXML(three)->value("a").toList());

    QString nested = QStringLiteral("<r><a><b>x</b></a></r>");
    EXPECT_EQ(QStringLiteral("x"), XMLParser::dictionaryFromXML(nested)->value("a").toMap().value("b").toString());

    QString texts = QStringLiteral("<r><e></e><t>  v </t><c><![CDATA[ <i>&amp; ]]></c><k a='1'>z</k></r>");
    const auto t = XMLParser::dictionaryFromXML(texts);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(QStringLiteral(""), t->value("e").toString());
    EXPECT_EQ(QStringLiteral("v "), t->value("t").toString());
    EXPECT_EQ(QStringLiteral(" <i>&amp; "), t->value("c").toString());
    EXPECT_EQ(QStringLiteral("z"), t->value("k a='1'").toString());
}

TEST(XMLParser, ReadsOneElementOfAStream)
{
    QString buffer = QStringLiteral("<product><id>1</id></product>\n<product><id>2</id></product>");
    EXPECT_EQ(QStringLiteral("1"), XMLParser::dictionaryFromXML(buffer)->value("id").toString());
    EXPECT_EQ(QStringLiteral("<product><id>2</id></product>"), buffer);
    EXPECT_EQ(QStringLiteral("2"), XMLParser::dictionaryFromXML(buffer)->value("id").toString());
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_FALSE(XMLParser::dictionaryFromXML(buffer).has_value());
}

TEST(XMLParser, RefusesWhatIsNotOneElement)
{
    for (const char* text :
        {"<r><a>1</a>", "text", "<r>text</r>", "<r", "<r><a>1", "<r><c><![CDATA[x</c></r>", "<r><a>1</a></x>", ""}) {
        QString s = QString::fromLatin1(text);
        EXPECT_FALSE(XMLParser::dictionaryFromXML(s).has_value()) << text;
    }
    // Nesting beyond the limit is refused, not followed.
    QString deep;
    for (int i = 0; i < 10000; ++i)
        deep += QStringLiteral("<a>");
    deep += QStringLiteral("x");
    EXPECT_FALSE(XMLParser::dictionaryFromXML(deep).has_value());
    QString deepClosed;
    for (int i = 0; i <= XMLParser::kMaxDepth + 1; ++i)
        deepClosed += QStringLiteral("<a>");
    deepClosed += QStringLiteral("<b>x</b>");
    for (int i = 0; i <= XMLParser::kMaxDepth + 1; ++i)
        deepClosed += QStringLiteral("</a>");
    EXPECT_FALSE(XMLParser::dictionaryFromXML(deepClosed).has_value());
}

TEST(XMLParser, WritesElementsInKeyOrder)
{
    const QVariantMap d {{"a", "x"}, {"n", 5}, {"l", QVariantList {1, 2}},
        {"d", QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), QTimeZone::utc())}, {"m", QVariantMap {{"k", "v"}}}};
    EXPECT_EQ(QStringLiteral("<a>x</a><d>2024-01-02 03:04:05</d><l>[ERROR]</l><m><k>v</k></m><n>5</n>"),
        XMLParser::xmlStringValue(d));
    // What the writer writes, the reader reads back.
    QString text = QStringLiteral("<r>") +
        XMLParser::xmlStringValue(QVariantMap {{"a", "x"}, {"m", QVariantMap {{"k", "v"}}}}) + QStringLiteral("</r>");
    const auto back = XMLParser::dictionaryFromXML(text);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(QStringLiteral("v"), back->value("m").toMap().value("k").toString());
}

TEST(XMLParser, CaseInsensitiveKeys)
{
    QVariantMap d {{"class", "c"}, {"href", "h"}};
    EXPECT_EQ(QStringLiteral("c"), objectForCaseInsensitiveKey(d, "CLASS").toString());
    EXPECT_FALSE(objectForCaseInsensitiveKey(d, "id").isValid());
    XMLParser::setObject(d, "new", "HREF");
    EXPECT_EQ(2, d.size());
    EXPECT_EQ(QStringLiteral("new"), d.value("href").toString());
    XMLParser::setObject(d, "i", "Id");
    EXPECT_EQ(QStringLiteral("i"), d.value("Id").toString());
}

#include "platform/PropertyList.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSize>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cmath>
#include <limits>

namespace {

QVariant roundTrip(const QVariant& v)
{
    PropertyList::Error error;
    const QByteArray xml = PropertyList::toXml(v, &error);
    EXPECT_EQ(error.status, PropertyList::Status::Ok) << error.message.toStdString();
    const QVariant back = PropertyList::fromXml(xml, &error);
    EXPECT_EQ(error.status, PropertyList::Status::Ok) << error.message.toStdString();
    return back;
}

QByteArray wrap(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

TEST(PropertyListTest, EveryValueKindRoundTrips)
{
    const QDateTime date(QDate(2024, 2, 29), QTime(23, 59, 58), QTimeZone::utc());
    const QVariantMap inner {{"list", QVariantList {1, "two", QVariantList {3.5, false}}}, {"empty", QVariantMap()}};
    const QVariantMap value {
        {"text", QString::fromUtf8("Ἐν ἀρχῇ ἦν ὁ λόγος — בְּרֵאשִׁית 😀 <&> \"q\"")},
        {"lines", QStringLiteral("tab\there\nnew line\r\ncarriage\rdel\x7f end  ")},
        {"empty", QString("")},
        {"max", std::numeric_limits<qint64>::max()},
        {"min", std::numeric_limits<qint64>::min()},
        {"negative", qint64(-5)},
        {"real", 0.1},
        {"true", true},
        {"false", false},
        {"data", QByteArray("\x00\x01\xff binary", 10)},
        {"date", date},
        {"nested", inner},
        {QString::fromUtf8("ключ & <key>"), QVariantList()},
    };
    const QVariant back = roundTrip(value);
    EXPECT_EQ(back, QVariant(value));
    const QVariantMap m = back.toMap();
    EXPECT_EQ(m.value("max").typeId(), QMetaType::LongLong);
    EXPECT_EQ(m.value("true").typeId(), QMetaType::Bool);
    EXPECT_EQ(m.value("date").toDateTime(), date);
    EXPECT_EQ(m.value("data").toByteArray().size(), 10);
}

TEST(PropertyListTest, Float32AndWideIntegersSurviveExactly)
{
    const float f = 123.456f;
    const QVariant back = roundTrip(QVariantList {f, 3.4028234663852886e38, quint64(18446744073709551615ull), uint(7)});
    const QVariantList l = back.toList();
    ASSERT_EQ(l.size(), 4);
    EXPECT_EQ(static_cast<float>(l[0].toDouble()), f);
    EXPECT_NE(l[0].toDouble(), 123.456);  // it is the float's value, not the decimal text
    EXPECT_EQ(static_cast<float>(l[1].toDouble()), std::numeric_limits<float>::max());
    EXPECT_EQ(l[2].toLongLong(), -1);  // same 64 bits
    EXPECT_EQ(l[2].toULongLong(), 18446744073709551615ull);
    EXPECT_EQ(l[3].toLongLong(), 7);
}

TEST(PropertyListTest, WritesTheStandardXmlForm)
{
    const QByteArray xml = PropertyList::toXml(QVariantMap {{"a", 1}, {"b", "x<y"}});
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_TRUE(xml.contains("<key>a</key>\n\t<integer>1</integer>")) << xml.constData();
    EXPECT_TRUE(xml.contains("<string>x&lt;y</string>"));
    EXPECT_TRUE(PropertyList::toXml(QString("a\rb")).contains("<string>a&#13;b</string>"));
}

TEST(PropertyListTest, DatesKeepWholeSecondsWithinRange)
{
    const QDateTime withMs(QDate(1999, 12, 31), QTime(12, 0, 0, 999), QTimeZone::utc());
    EXPECT_EQ(roundTrip(withMs).toDateTime(), withMs.addMSecs(-999));
    const QDateTime before(QDate(1960, 1, 1), QTime(0, 0, 0, 500), QTimeZone::utc());
    EXPECT_EQ(roundTrip(before).toDateTime(), before.addMSecs(-500));

    PropertyList::Error error;
    EXPECT_TRUE(PropertyList::toXml(QDateTime(QDate(2100, 1, 1), QTime(0, 0), QTimeZone::utc()), &error).isEmpty());
    EXPECT_EQ(error.status, PropertyList::Status::UnsupportedValue);
}

TEST(PropertyListTest, RefusesValuesItCannotWrite)
{
    struct Case {
        QVariant value;
        const char* where;
    };
    const Case cases[] = {
        {QVariantMap {{"ok", 1}, {"bad", QString("bell\x07")}}, "bad"},
        {QVariantMap {{QString("k\x01"), 1}}, "k"},
        {QVariantList {1, QVariant()}, "1"},
        {QVariantMap {{"point", QVariant::fromValue(QSize(1, 2))}}, "point"},
        {QString(QChar(0xFFFF)), ""},
        {QDateTime(), ""},
    };
    for (const Case& c : cases) {
        PropertyList::Error error;
        EXPECT_TRUE(PropertyList::toXml(c.value, &error).isEmpty());
        EXPECT_EQ(error.status, PropertyList::Status::UnsupportedValue);
        EXPECT_TRUE(error.message.contains(c.where)) << error.message.toStdString();
    }
}

TEST(PropertyListTest, RejectsMalformedInputWithoutCrashing)
{
    const QByteArray bad[] = {
        "",
        "not xml at all",
        "<plist>",
        wrap("<dict><key>a</key><string>x</dict>"),
        wrap("<string>&bogus;</string>"),
        wrap("<string>&#0;</string>"),
        QByteArray("\x00\x01\x02", 3),
        wrap("<integer>99999999999999999999999</integer>"),
        wrap("<integer>-9223372036854775809</integer>"),
        wrap("<integer>-</integer>"),
        wrap("<integer>0x10</integer>"),
        wrap("<integer>12abc</integer>"),
        wrap("<real>1.2.3</real>"),
        wrap("<date>bad</date>"),
        wrap("<date>2100-01-01T00:00:00Z</date>"),
        wrap("<date>2020-13-01T00:00:00Z</date>"),
        wrap("<data>!!!</data>"),
        wrap("<true>x</true>"),
        wrap("<dict><key>a</key></dict>"),
        wrap("<dict><string>a</string><string>b</string></dict>"),
        wrap("<dict><key>a<b/></key><string>b</string></dict>"),
        wrap("<string>a</string><string>b</string>"),
        wrap("<unknown/>"),
        wrap("text"),
        "<array><string>no plist element</string></array>",
        "bplist00\x01\x02\x03",
        // A raw NUL inside a string or a key (libplist aborts the process on the first one).
        QByteArray("<dict><key></key><string>\0</string></dict>", 42),
        wrap(QByteArray("<string>a\0b</string>", 20)),
        wrap(QByteArray("<dict><key>a\0</key><string>b</string></dict>", 44)),
        // Property lists are UTF-8: text declared in another encoding is not guessed at.
        "<?xml version=\"1.0\" encoding=\"UTF-7\"?><plist><string>+AGE-</string></plist>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><plist><string>\xE9</string></plist>",
    };
    for (const QByteArray& b : bad) {
        PropertyList::Error error;
        EXPECT_FALSE(PropertyList::fromXml(b, &error).isValid()) << b.constData();
        EXPECT_EQ(error.status, PropertyList::Status::Malformed);
    }
}

TEST(PropertyListTest, ReadsWhatOtherWritersProduce)
{
    const QByteArray xml =
        wrap("<!-- a comment --><dict>\n  <key>n</key> <integer> +42 </integer>\n"
             "  <key>u</key><integer>18446744073709551615</integer>\n"
             "  <key>r</key><real>-1.5E2</real><key>i</key><real>+infinity</real>\n"
             "  <key>s</key><string><![CDATA[<raw> & text]]></string>\n"
             "  <key>d</key><data>\n  AAEC\n  /w==\n</data>\n"
             "  <key>t</key><date>2001-01-01T00:00:00Z</date><key>e</key><string/><key>f</key><false/>\n"
             "</dict>");
    PropertyList::Error error;
    const QVariantMap m = PropertyList::fromXml(xml, &error).toMap();
    ASSERT_EQ(error.status, PropertyList::Status::Ok) << error.message.toStdString();
    EXPECT_EQ(m.value("n").toLongLong(), 42);
    EXPECT_EQ(m.value("u").toLongLong(), -1);
    EXPECT_EQ(m.value("r").toDouble(), -150.0);
    EXPECT_TRUE(std::isinf(m.value("i").toDouble()));
    EXPECT_EQ(m.value("s").toString(), "<raw> & text");
    EXPECT_EQ(m.value("d").toByteArray(), QByteArray("\x00\x01\x02\xff", 4));
    EXPECT_EQ(m.value("t").toDateTime(), QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()));
    EXPECT_EQ(m.value("e"), QVariant(QString("")));
    EXPECT_EQ(m.value("f"), QVariant(false));
}

TEST(PropertyListTest, ReadsUtf8TextWithOrWithoutADeclaration)
{
    for (const QByteArray& xml : {QByteArray("<plist><string>\xC3\xA9</string></plist>"),
             QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><plist><string>\xC3\xA9</string></plist>"),
             QByteArray("<?xml version=\"1.0\"?><plist><string>\xC3\xA9</string></plist>")}) {
        PropertyList::Error error;
        EXPECT_EQ(PropertyList::fromXml(xml, &error), QVariant(QString::fromUtf8("\xC3\xA9"))) << xml.constData();
        EXPECT_EQ(error.status, PropertyList::Status::Ok);
    }
}

TEST(PropertyListTest, ReadsTheXmlThatPropertyListsUse)
{
    const QByteArray xml = "\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8' standalone=\"yes\"?>\r\n"
                           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x>y.dtd\">\n"
                           "<?note ignored?><plist version=\"1>0\"><!-- a comment --><dict>\n"
                           "<key>a&#x41;&#66;&lt;&gt;&amp;&quot;&apos;</key><string>one\r\ntwo\rthree&#13;</string>\n"
                           "<key>c</key><string>x<!-- inside -->y<![CDATA[<&>]]>z</string>\n"
                           "<key>e</key><array/><key>f</key><dict/><key>g</key><string/>\n"
                           "</dict ></plist >\n<!-- after -->\n";
    PropertyList::Error error;
    const QVariantMap m = PropertyList::fromXml(xml, &error).toMap();
    ASSERT_EQ(error.status, PropertyList::Status::Ok) << error.message.toStdString();
    EXPECT_EQ(m.value("aAB<>&\"'"), QVariant(QStringLiteral("one\ntwo\nthree\r")));
    EXPECT_EQ(m.value("c"), QVariant(QStringLiteral("xy<&>z")));
    EXPECT_EQ(m.value("e"), QVariant(QVariantList()));
    EXPECT_EQ(m.value("f"), QVariant(QVariantMap()));
    EXPECT_FALSE(m.value("g").toString().isNull());
    // Every shorter prefix is refused, and so is every byte changed to "<", without a crash.
    for (qsizetype n = 0; n < xml.indexOf("</plist") + 8; ++n)
        EXPECT_FALSE(PropertyList::fromXml(xml.left(n), &error).isValid()) << n;
    for (qsizetype i = 0; i < xml.size(); ++i) {
        QByteArray changed = xml;
        changed[i] = '<';
        PropertyList::fromXml(changed, &error);
    }
    for (const QByteArray& bad :
        {QByteArray("<plist><string>a</strin></plist>"), QByteArray("<plist><string>&#xD800;</string></plist>"),
            QByteArray("<plist><string>&#1114112;</string></plist>"),
            QByteArray("<plist><string>&#x;</string></plist>"), QByteArray("<plist><string>\x01</string></plist>"),
            QByteArray("<plist a=b><true/></plist>"), QByteArray("<plist><true/></plist>junk"),
            QByteArray("<plist><key>a</key></plist>"), QByteArray("<plist><dict><key>a</key><true/></array></plist>"),
            QByteArray("<?xml version=\"1.0\"?><?xml version=\"1.0\"?><plist><true/></plist>")}) {
        EXPECT_FALSE(PropertyList::fromXml(bad, &error).isValid()) << bad.constData();
        EXPECT_EQ(error.status, PropertyList::Status::Malformed) << bad.constData();
    }
}

TEST(PropertyListTest, BoundsNestingAndSize)
{
    QByteArray deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<array>";
    for (int i = 0; i < 100000; ++i)
        deep += "</array>";
    PropertyList::Error error;
    EXPECT_FALSE(PropertyList::fromXml(wrap(deep), &error).isValid());
    EXPECT_EQ(error.status, PropertyList::Status::TooDeep);

    QByteArray ok;
    for (int i = 1; i < PropertyList::kMaxDepth; ++i)
        ok += "<array>";
    ok += "<dict/><array/>";
    for (int i = 1; i < PropertyList::kMaxDepth; ++i)
        ok += "</array>";
    EXPECT_TRUE(PropertyList::fromXml(wrap(ok), &error).isValid()) << error.message.toStdString();
    EXPECT_FALSE(PropertyList::fromXml(wrap("<array>" + ok + "</array>"), &error).isValid());
    EXPECT_EQ(error.status, PropertyList::Status::TooDeep);

    QVariant deepest = QVariantList {1};
    for (int i = 1; i < PropertyList::kMaxDepth; ++i)
        deepest = QVariantList {deepest};
    EXPECT_FALSE(PropertyList::toXml(deepest, &error).isEmpty()) << error.message.toStdString();
    EXPECT_TRUE(PropertyList::toXml(QVariantList {deepest}, &error).isEmpty());
    EXPECT_EQ(error.status, PropertyList::Status::TooDeep);

    // Entities that expand exponentially are refused by the XML reader, not expanded.
    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'k'; ++c)
        laughs += QByteArray("<!ENTITY ") + c + " \"" +
            QByteArray(10, '&').replace("&", QByteArray("&") + char(c - 1) + ";") + "\">";
    laughs += "]><plist><string>&k;</string></plist>";
    EXPECT_FALSE(PropertyList::fromXml(laughs, &error).isValid());
    EXPECT_EQ(error.status, PropertyList::Status::Malformed);

    EXPECT_FALSE(PropertyList::fromXml(QByteArray(PropertyList::kMaxInputBytes + 1, ' '), &error).isValid());
    EXPECT_EQ(error.status, PropertyList::Status::TooLarge);
}

TEST(PropertyListTest, FilesAreWrittenWholeAndReadBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/folder/list.plist");
    PropertyList::Error error;
    EXPECT_FALSE(PropertyList::readFile(path, &error).isValid());
    EXPECT_EQ(error.status, PropertyList::Status::FileNotFound);

    ASSERT_TRUE(PropertyList::writeFile(path, QVariantMap {{"v", 1}}, &error)) << error.message.toStdString();
    EXPECT_EQ(PropertyList::readFile(path, &error), QVariant(QVariantMap {{"v", qint64(1)}}));

    // A value that cannot be written leaves the previous file untouched.
    EXPECT_FALSE(PropertyList::writeFile(path, QVariantMap {{"v", QVariant()}}, &error));
    EXPECT_EQ(PropertyList::readFile(path, &error).toMap().value("v").toInt(), 1);

    // A file cut short is refused.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray whole = f.readAll();
    f.close();
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(whole.left(whole.size() / 2));
    f.close();
    EXPECT_FALSE(PropertyList::readFile(path, &error).isValid());
    EXPECT_EQ(error.status, PropertyList::Status::Malformed);
    EXPECT_TRUE(error.message.contains(path));

    // A folder in the way of the file is a write failure, not a crash.
    EXPECT_FALSE(PropertyList::writeFile(dir.path(), QVariantMap {{"v", 1}}, &error));
    EXPECT_EQ(error.status, PropertyList::Status::WriteFailed);
}

}  // namespace

// Inputs that once crashed a reader, kept beside the fuzz targets: each must read without a crash.
TEST(PropertyListTest, FuzzRegressionsReadWithoutCrashing)
{
    int seen = 0;
    for (const char* folder : {"/fuzz/regressions/property_list", "/fuzz/regressions/keyed_archive"}) {
        const QDir dir(QString::fromUtf8(QS_SOURCE_DIR) + QString::fromUtf8(folder));
        for (const QFileInfo& file : dir.entryInfoList(QDir::Files)) {
            QFile f(file.filePath());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            PropertyList::Error error;
            EXPECT_FALSE(PropertyList::fromXml(f.readAll(), &error).isValid()) << file.fileName().toStdString();
            ++seen;
        }
    }
    EXPECT_GT(seen, 0);
}

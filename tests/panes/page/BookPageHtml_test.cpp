// The page texts: frame, ids, escapes and script calls.

#include <gtest/gtest.h>

#include "panes/page/BookPageHtml.h"

#include <QRegularExpression>

namespace {

BookPageHtml::Frame frame()
{
    return {QStringLiteral("body{color:black}"), QStringLiteral("1:101:1:1"), 7, QStringLiteral("var x = 1;"),
        QStringLiteral("N0NCE"), QStringLiteral("qsbook://bridge/t0k/5ecret/"), QStringLiteral("f00d")};
}

TEST(BookPageHtml, BookPageHoldsGlobalsScriptMarkersAndTheBlock)
{
    const QString page = BookPageHtml::bookPage(
        frame(), 42, {QStringLiteral("<p>text</p>"), QStringLiteral("<p>more</p>")}, QStringLiteral("_s43.3.16"), 0);

    EXPECT_TRUE(page.startsWith(QLatin1String("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
                                              "\"http://www.w3.org/TR/html4/loose.dtd\"><html><head>")));
    EXPECT_TRUE(page.contains(QLatin1String("<style type=\"text/css\">body{color:black}</style>")));
    EXPECT_TRUE(page.contains(
        QLatin1String("<script language=\"javascript\" nonce=\"N0NCE\">var sourceTupleString = \"1:101:1:1\";\rvar "
                      "webViewSerialNumber = 7;\rvar qsBridgeBase = \"qsbook://bridge/t0k/5ecret/\";\rvar qsFrameKey = "
                      "\"f00d\";\rvar qsBatchMost = 32;\rvar x = 1;</script>")));
    // Scripts only by nonce; images and styles from the page's host, requests only to the bridge's.
    EXPECT_TRUE(page.contains(QLatin1String("script-src 'nonce-N0NCE'; style-src 'unsafe-inline' qsbook://page; "
                                            "img-src qsbook://page data:; font-src qsbook://page data:;")));
    EXPECT_TRUE(page.contains(QLatin1String("connect-src qsbook://bridge;")));
    EXPECT_FALSE(page.contains(QLatin1String("qsbook:;")));
    // The block is no markup of the page: the script puts it between the markers.
    EXPECT_TRUE(page.contains(QLatin1String(
        "</head><body id='body'><div style='clear:both' id='topwhitespace'></div><div style='clear:both' "
        "id='startofpage'>Loading...</div><div style='clear:both' id='endofpage'>Loading...</div><div "
        "style='clear:both' id='bottomwhitespace'></div><script nonce=\"N0NCE\">qsStartPage(42, "
        "[\"\\u003cp>text\\u003c/p>\",\"\\u003cp>more\\u003c/p>\"], \"_s43.3.16\", 0);</script></body></html>")));
    EXPECT_EQ(page.count(QLatin1String("<script")), 2);
}

TEST(BookPageHtml, BlockTextCannotLeaveItsScriptString)
{
    const QString hostile =
        QStringLiteral("</script><script>alert(1)</script><!-- \"'\\\n\u2028 <img src=x onerror=y>");
    const QString page = BookPageHtml::bookPage(frame(), 1, {hostile, hostile}, hostile, -5);
    EXPECT_EQ(page.count(QLatin1String("<script")), 2);
    EXPECT_EQ(page.count(QLatin1String("</script")), 2);
    EXPECT_TRUE(
        page.contains(QLatin1String("], ") + BookPageHtml::scriptString(hostile) + QLatin1String(", -5);</script>")));
    EXPECT_FALSE(page.contains(QLatin1String("<img")));
    EXPECT_FALSE(page.contains(QLatin1String("<!--")));
    const QString literal = BookPageHtml::scriptString(hostile);
    EXPECT_TRUE(literal.startsWith(QLatin1Char('"')) && literal.endsWith(QLatin1Char('"')));
    EXPECT_FALSE(literal.contains(QLatin1Char('<')));
    EXPECT_FALSE(literal.contains(QLatin1Char('\n')));
    EXPECT_EQ(BookPageHtml::scriptString(QStringLiteral("1:2:3:4")), QStringLiteral("\"1:2:3:4\""));
    // Keys: 32 hexadecimal digits, new each time.
    const QString a = BookPageHtml::newKey();
    EXPECT_EQ(a.size(), 32);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(a).hasMatch());
    EXPECT_NE(a, BookPageHtml::newKey());
}

TEST(BookPageHtml, InvalidAndEmptyPagesHaveNoMarkers)
{
    const QString invalid = BookPageHtml::invalidLocationPage(frame(), QStringLiteral("section = <0>"));
    EXPECT_TRUE(invalid.endsWith(QLatin1String("<p><i>Invalid Location: section = &lt;0&gt;</i></p></body></html>")));
    EXPECT_FALSE(invalid.contains(QLatin1String("startofpage")));
    const QString empty = BookPageHtml::emptyPanePage(frame());
    EXPECT_TRUE(empty.contains(QLatin1String("<p align='center'>No books open in this pane</p>")));
    // It says where the pane's + button and the Open Book command really are.
    EXPECT_TRUE(empty.contains(QLatin1String("the + button at the top of the pane or <b>Open Book</b> from the "
                                             "<b>File</b> menu.")));
    EXPECT_FALSE(empty.contains(QLatin1String("Loading...")));
}

TEST(BookPageHtml, ReadingHeader)
{
    EXPECT_EQ(BookPageHtml::readingHeader(12, true, QStringLiteral("January 12, 2026"), QStringLiteral("f00d")),
        QStringLiteral("<div id=\"_reading12_f00d\" class=\"devoread\" align=\"center\"><b>January 12, 2026</b><br "
                       "/><i>Tap to Mark as 'Read' or 'Unread'</i></div>"));
    EXPECT_TRUE(BookPageHtml::readingHeader(3, false, QStringLiteral("<x>"), QStringLiteral("f00d"))
                    .contains(QLatin1String("devounread\" align=\"center\"><b>&lt;x&gt;</b>")));
}

TEST(BookPageHtml, IdParsing)
{
    EXPECT_EQ(BookPageHtml::bibleKeyFromDataVerseSpan(QStringLiteral("_s1.2.3")), 66051u);
    EXPECT_EQ(BookPageHtml::bibleKeyFromDataVerseSpan(QStringLiteral("sel_s43.3.16")), (43u << 16) | (3u << 8) | 16u);
    EXPECT_EQ(BookPageHtml::bibleKeyFromDataVerseSpan(QStringLiteral("_s43.3")), (43u << 16) | (3u << 8));
    EXPECT_EQ(
        BookPageHtml::bibleKeyFromDataVerseSpan(QStringLiteral("_s300.1.1")), (44u << 16) | 257u);  // one byte each
    EXPECT_EQ(BookPageHtml::bibleKeyFromDataVerseSpan(QStringLiteral("no verse")), 0u);
    EXPECT_EQ(BookPageHtml::verseAnchor((43u << 16) | (3u << 8) | 16u), QStringLiteral("_s43.3.16"));
}

TEST(BookPageHtml, LinkEscapesAreUndoneInOrder)
{
    EXPECT_EQ(
        BookPageHtml::unescapeLinkText(QStringLiteral("bible:John 3@@apos@@s")), QStringLiteral("bible:John 3's"));
    EXPECT_EQ(
        BookPageHtml::unescapeLinkText(QStringLiteral("sync:@@bs@@@@bs@@G5100")), QStringLiteral("sync:\\\\G5100"));
    EXPECT_EQ(BookPageHtml::unescapeLinkText(
                  QStringLiteral("@@quot@@@@backspace@@@@formfeed@@@@newline@@@@return@@@@tab@@@@verticaltab@@")),
        QStringLiteral("\"\b\f\n\r\t\v"));
    // Backslashes are restored first, so a restored backslash never starts another escape.
    EXPECT_EQ(BookPageHtml::unescapeLinkText(QStringLiteral("@@bs@@apos@@")), QStringLiteral("\\apos@@"));
}

TEST(BookPageHtml, ScriptCallsCarryJsonArguments)
{
    EXPECT_EQ(BookPageHtml::scriptCall(QStringLiteral("scrollToElement"), {QStringLiteral("_b7"), 12}),
        QStringLiteral("scrollToElement(\"_b7\",12)"));
    // Quotes, backslashes and line ends cannot end the string or the call.
    EXPECT_EQ(BookPageHtml::scriptCall(QStringLiteral("f"), {QStringLiteral("a'b\"c\\d\n');x()//")}),
        QStringLiteral("f(\"a'b\\\"c\\\\d\\n');x()//\")"));
    EXPECT_EQ(BookPageHtml::scriptCall(QStringLiteral("g"), {}), QStringLiteral("g()"));
}

TEST(BookPageHtml, PageScriptsStartWithTheOneBridge)
{
    const QString script = BookPageHtml::pageScript();
    ASSERT_FALSE(script.isEmpty());
    // The bridge is defined once, before the page's own calls that go through it.
    EXPECT_EQ(script.count(QStringLiteral("function qsSend(")), 1);
    EXPECT_EQ(script.count(QStringLiteral("function qsText(")), 1);
    EXPECT_LT(script.indexOf(QStringLiteral("function qsSend(")), script.indexOf(QStringLiteral("var jsInterface")));
    EXPECT_EQ(BookPageHtml::scriptWithBridge(
                  QStringList {QStringLiteral(":/page/Utilities.js"), QStringLiteral(":/page/Render.js")}),
        script);
    EXPECT_TRUE(script.contains(QStringLiteral("function qsRenderBlocksAgain(")));
    // A script that is not there gives no page script, not the bridge alone.
    EXPECT_TRUE(BookPageHtml::scriptWithBridge(QStringLiteral(":/page/NoSuchScript.js")).isEmpty());
}

TEST(BookPageHtml, NoncesDiffer)
{
    const QString a = BookPageHtml::newNonce();
    EXPECT_GE(a.size(), 20);
    EXPECT_NE(a, BookPageHtml::newNonce());
}

}  // namespace

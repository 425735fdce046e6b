#include "render/HTMLFilter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string filtered(std::string text, int strength, bool entities = false)
{
    filterHtmlByStrength(text, strength, entities);
    return text;
}

std::string normalized(std::string text)
{
    normalizeNoteParagraphs(text);
    return text;
}

std::string linked(std::string text)
{
    linkBibleReferencesInHtml(text);
    return text;
}

std::string dataOnly(std::string text)
{
    keepOnlyDataResources(text);
    return text;
}

std::string repeat(const std::string& s, int n)
{
    std::string out;
    out.reserve(s.size() * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// The level table's prefixes by level, as the filter must know them.
const std::vector<std::vector<std::string>> kLevelPrefixes = {
    {"<head>", "</head>", "<html>", "<html ", "</html>", "<body>", "<body ", "</body>", "<dir>", "<dir ", "</dir>",
        "<dl>", "<dl ", "</dl>", "<menu>", "<menu ", "</menu>"},
    {"<form>", "<form ", "</form>", "<input ", "<select>", "<select ", "</select>", "<option>", "<option ", "</option>",
        "<textarea>", "<textarea ", "</textarea>"},
    {"<blockquote>", "</blockquote>", "<br ", "<br>", "<center>", "</center>", "<h1>", "<h1 ", "</h1>", "<h2>", "<h2 ",
        "</h2>", "<h3>", "<h3 ", "</h3>", "<h4>", "<h4 ", "</h4>", "<h5>", "<h5 ", "</h5>", "<h6>", "<h6 ", "</h6>",
        "<hr>", "<hr ", "<p>", "<p ", "</p>", "<a ", "</a>", "<table ", "<table>", "</table>", "<tr ", "<tr>", "</tr>",
        "<td ", "<td>", "</td>", "<th ", "<th>", "</th>", "<ul>", "<ul ", "</ul>", "<ol>", "<ol ", "</ol>", "<li>",
        "<li ", "</li>", "<font ", "</font>", "<img ", "<map ", "</map>", "<area "},
    {"<b>", "</b>", "<big>", "</big>", "<i>", "</i>", "<s>", "</s>", "<small>", "</small>", "<strike>", "</strike>",
        "<sub>", "</sub>", "<sup>", "</sup>", "<tt>", "</tt>", "<u>", "</u>", "<cite>", "</cite>", "<code>", "</code>",
        "<dfn>", "</dfn>", "<em>", "</em>", "<kbd>", "</kbd>", "<samp>", "</samp>", "<strong>", "</strong>", "<var>",
        "</var>"},
};

const std::vector<std::string> kBlockClosers = {"</blockquote>", "<br ", "<br>", "</h1>", "</h2>", "</h3>", "</h4>",
    "</h5>", "</h6>", "</h7>", "</h8>", "</h9>", "</p>", "</td>", "</th>", "</ul>", "</ol>", "</li>"};

bool isBlockCloser(const std::string& prefix)
{
    for (const auto& c : kBlockClosers)
        if (c == prefix)
            return true;
    return false;
}

TEST(FilterHtmlByStrength, EveryTableRowAtEveryStrength)
{
    std::size_t rows = 0;
    for (int level = 0; level < 4; ++level) {
        for (const std::string& prefix : kLevelPrefixes[static_cast<std::size_t>(level)]) {
            ++rows;
            const std::string tag = prefix.back() == ' ' ? prefix + "class=k>" : prefix;
            const std::string text = "x" + tag + "y";
            for (int strength = 1; strength <= 5; ++strength) {
                SCOPED_TRACE(tag + " at " + std::to_string(strength));
                std::string expected;
                if (strength >= 3 && isBlockCloser(prefix))
                    expected = strength == 5 ? "x\r\ny" : "x y";
                else if (strength <= 3 && level >= strength)
                    expected = text;
                else
                    expected = "xy";
                EXPECT_EQ(filtered(text, strength), expected);
            }
            // Strength 6 keeps every tag but those of forms (active content).
            const bool form = prefix.rfind("<form", 0) == 0 || prefix.rfind("</form", 0) == 0;
            EXPECT_EQ(filtered(text, 6), form ? "xy" : text);
        }
    }
    EXPECT_EQ(rows, 124u);
}

TEST(FilterHtmlByStrength, StrengthsAndBlockEnds)
{
    EXPECT_EQ(filtered("<p>a</p><b>b</b>", 3), "a <b>b</b>");
    EXPECT_EQ(filtered("a<br>b", 5), "a\r\nb");
    EXPECT_EQ(filtered("a<br>b", 4), "a b");
    EXPECT_EQ(filtered("a<BR>b<P>c</P>", 5), "a\r\nbc\r\n");
    EXPECT_EQ(filtered("a<br/>b", 3), "ab");  // "/>" without a blank matches no row
    EXPECT_EQ(filtered("a<br/>b", 2), "ab");
    EXPECT_EQ(filtered("<html><input type=t><form>", 1), "<input type=t><form>");
    EXPECT_EQ(filtered("<form><b>x</b></form>", 2), "<b>x</b>");
    EXPECT_EQ(filtered("<div><span class='s'>x</span><qs_woc>y</qs_woc></div>", 1), "xy");
    EXPECT_EQ(filtered("a</li>", 4), "a ");
    EXPECT_EQ(filtered("<p>a</p>", 4), "a ");
    // Unchanged: strength 0, an empty text, strengths outside 0-6.
    for (int strength : {0, 7, -1, 100})
        EXPECT_EQ(filtered("<p>a&amp;</p>", strength, true), "<p>a&amp;</p>");
    EXPECT_EQ(filtered("", 5, true), "");
    EXPECT_EQ(filtered("no markup", 5, true), "no markup");
}

TEST(FilterHtmlByStrength, UnclosedTag)
{
    // Plain-text strengths leave the rest and skip the entity step.
    EXPECT_EQ(filtered("<b>a</b> &amp; <b", 4, true), "a &amp; <b");
    EXPECT_EQ(filtered("x &amp; <y", 5, true), "x &amp; <y");
    // Where markup is kept, the stray "<" is literal text.
    EXPECT_EQ(filtered("<b>x</b> &amp; <img src=x onerror=alert(1) ", 2, true),
        "<b>x</b> &amp; &lt;img src=x onerror=alert(1) ");
    EXPECT_EQ(filtered("a<", 3), "a&lt;");
    EXPECT_EQ(filtered("a<", 6), "a&lt;");
    // At the end of a note, an unclosed tag would take in the markup that follows the note.
    EXPECT_EQ(filtered("<p>x</p><img src=x onerror=alert(1) ", 6), "<p>x</p>&lt;img src=x onerror=alert(1) ");
    EXPECT_EQ(filtered("<p>x</p><img src=x onerror=alert(1)", 6, true), "<p>x</p>&lt;img src=x onerror=alert(1)");
}

TEST(FilterHtmlByStrength, ALessThanSignBeforeATagIsText)
{
    // The browser reads "<<img ...>" as the text "<" and a tag.
    for (int strength : {1, 2, 3, 6}) {
        SCOPED_TRACE(strength);
        EXPECT_EQ(filtered("<<img src=x onerror=alert(1)>>", strength), strength == 3 ? "<>" : "<<img src=x>>");
        EXPECT_EQ(filtered("a <<<b onclick=x>b</b>", strength), strength == 6 ? "a <<<b>b</b>" : "a <<b</b>");
        EXPECT_EQ(filtered("1 < 2 <= 3 <3 <#x onclick=y>", strength), "1 < 2 <= 3 <3 <#x onclick=y>");
    }
    EXPECT_EQ(filtered("<<img src=x onerror=alert(1)>>", 4), "<>");
    EXPECT_EQ(filtered("a < b > c", 5), "a < b > c");
}

TEST(FilterHtmlByStrength, Strength6DropsScriptsWithTheirCodeAndForms)
{
    EXPECT_EQ(filtered("a<script>if (a<b) x()</script>b", 6), "ab");
    EXPECT_EQ(filtered("a<ScRiPt type=x >y</sCrIpT >b<script/src=z></script>c", 6), "abc");
    EXPECT_EQ(filtered("a<script>never closed <b>x</b>", 6), "a");
    EXPECT_EQ(filtered("a<scripts>b</scripts><scripture>c", 6), "a<scripts>b</scripts><scripture>c");
    EXPECT_EQ(filtered("<form action=http://x/><input name=q><button>go</button></form>", 6),
        "<input name=q><button>go</button>");
}

TEST(FilterHtmlByStrength, Entities)
{
    EXPECT_EQ(filtered("&amp;amp;", 4, true), "&amp;");
    EXPECT_EQ(filtered("caf&eacute; &lt;b&gt; &nbsp;", 4, true), "caf\xC3\xA9 <b> \xC2\xA0");
    EXPECT_EQ(filtered("&#65;&#x42;&#X43;", 5, true), "ABC");
    EXPECT_EQ(filtered("&#x1F600;", 5, true), "\xF0\x9F\x98\x80");
    EXPECT_EQ(
        filtered("&#xD800; &#0; &#x110000; &#12a; &#; &#x;", 5, true), "&#xD800; &#0; &#x110000; &#12a; &#; &#x;");
    EXPECT_EQ(filtered("&bogus; & x; a&b", 5, true), "&bogus; & x; a&b");
    EXPECT_EQ(filtered("&eacute", 5, true), "&eacute");  // no ";": stop
    EXPECT_EQ(filtered("&eacute;&eacute", 5, true), "\xC3\xA9&eacute");
    EXPECT_EQ(filtered("&eacute;", 4, false), "&eacute;");
    // Markup characters stay escaped wherever markup is kept.
    EXPECT_EQ(filtered("<b>&lt;i&gt; &eacute; &#60;script&#62; &#34;&apos;&#38;</b>", 2, true),
        "<b>&lt;i&gt; \xC3\xA9 &#60;script&#62; &#34;&apos;&#38;</b>");
    EXPECT_EQ(filtered("<a title='x&apos; onclick=alert(1) y'>t</a>", 6, true),
        "<a title='x&apos; onclick=alert(1) y'>t</a>");
    EXPECT_EQ(filtered("&#60;b&#62; &apos;", 4, true), "<b> '");
}

TEST(FilterHtmlByStrength, KeptMarkupIsMadeInert)
{
    for (int strength : {1, 2, 6}) {
        SCOPED_TRACE(strength);
        EXPECT_EQ(filtered("<a href=\"javascript:alert(1)\" onclick=\"x()\">t</a>", strength), "<a>t</a>");
        EXPECT_EQ(filtered("<img src=x onerror=alert(1)>", strength), "<img src=x>");
        EXPECT_EQ(filtered("<img src=\"data:image/png;base64,AAAA\" ONLOAD = 'x'>", strength),
            "<img src=\"data:image/png;base64,AAAA\">");
        EXPECT_EQ(filtered("<a href=\"data:text/html,x\">t</a>", strength), "<a>t</a>");
        EXPECT_EQ(filtered("<a href=\" JaVa&#x09;Script&#58;alert(1)\">t</a>", strength), "<a>t</a>");
        EXPECT_EQ(filtered("<a href='java&Tab;script&colon;alert(1)'>t</a>", strength), "<a>t</a>");
        EXPECT_EQ(filtered("<a href=vbscript:msgbox>t</a>", strength), "<a>t</a>");
        EXPECT_EQ(filtered("<p style=\"color:red\" onmouseover=\"a\" class=c>t</p>", strength),
            "<p style=\"color:red\" class=c>t</p>");
        // The reader's own links survive; look-alikes that leave the script string do not.
        EXPECT_EQ(filtered("<a href=\"javascript:href('bible:#002B0310');\">J</a>", strength),
            "<a href=\"javascript:href('bible:#002B0310');\">J</a>");
        EXPECT_EQ(filtered("<a href=\"javascript:href('x');alert(1);//');\">J</a>", strength), "<a>J</a>");
        EXPECT_EQ(filtered("<a href=\"javascript:href('x%27);alert(1);//');\">J</a>", strength), "<a>J</a>");
        EXPECT_EQ(filtered("<a href=\"javascript:href('x&#39;);alert(1);//');\">J</a>", strength), "<a>J</a>");
        // A quoted value cut by ">" would swallow the following text into the tag.
        EXPECT_EQ(filtered("<a title=\"x>\" onclick=\"alert(1)\">y", strength), "<a>\" onclick=\"alert(1)\">y");
        // Ordinary links and attributes stay byte for byte.
        EXPECT_EQ(filtered("<a href='https://example.org/?q=1&amp;r=2' title=\"T\">t</a>", strength),
            "<a href='https://example.org/?q=1&amp;r=2' title=\"T\">t</a>");
    }
    // A "<" inside a tag starts no tag: its attributes belong to the outer one.
    EXPECT_EQ(filtered("<p <img onerror=alert(1)>x", 2), "<p <img>x");
    EXPECT_EQ(filtered("<form action=javascript:alert(1)><input formaction=\"javascript:x\" type=submit>", 1),
        "<form><input type=submit>");
    // Strength 6 drops tags of active content and keeps the rest.
    EXPECT_EQ(filtered("<script>alert(1)</script><b>b</b><iframe src=x></iframe><svg onload=x><SCRIPT src=y>", 6),
        "<b>b</b>");
    EXPECT_EQ(filtered("<p/onmouseover=alert(1)>x</p>", 6), "<p/>x</p>");
    EXPECT_EQ(filtered("<p/onmouseover=alert(1)>x</p>", 2), "x</p>");
    // Comments and declarations are inert up to their ">" and later.
    EXPECT_EQ(filtered("<!-- <b onclick=x> --> <scripts>", 6), "<!-- <b onclick=x> --> <scripts>");
    EXPECT_EQ(filtered("<!--><img src=x onerror=alert(1)>", 6), "<!--><img src=x>");
}

TEST(FilterHtmlByStrength, UnbalancedAndDeeplyNestedMarkup)
{
    const int depth = 200000;
    const std::string nested = repeat("<b><i>", depth) + "x" + repeat("</u>", depth) + "<div>";
    EXPECT_EQ(filtered(nested, 3), repeat("<b><i>", depth) + "x" + repeat("</u>", depth));
    EXPECT_EQ(filtered(nested, 4), "x");
    EXPECT_EQ(filtered(repeat("<div><span>", depth) + "y", 1), "y");
    EXPECT_EQ(filtered(repeat("<p>", depth), 5), "");
    EXPECT_EQ(filtered(repeat("</p>", 3), 5), "\r\n\r\n\r\n");
    // Many "&" before one far ";" and many "<" before one far ">" stay linear.
    const std::string amps = repeat("&", depth) + ";";
    EXPECT_EQ(filtered(amps, 4, true), amps);
    EXPECT_EQ(filtered(repeat("<", depth) + ">x", 4), repeat("<", depth) + ">x");
    EXPECT_EQ(filtered(repeat("<", depth) + "b>x", 4), repeat("<", depth - 1) + "x");
    EXPECT_EQ(filtered(repeat("<script>", depth), 6), "");
    EXPECT_EQ(filtered(repeat("<", depth), 4, true), repeat("<", depth));
}

TEST(FilterHtmlByStrength, NarrowStringForm)
{
    cLString8 text("<p>a&amp;b</p>");
    filterHtmlByStrength(text, 5, true);
    EXPECT_STREQ(text.chars(), "a&b\r\n");
}

TEST(NormalizeNoteParagraphs, LinesBecomeParagraphs)
{
    EXPECT_EQ(normalized("a\nb"), "<p>a</p><p>b</p>");
    EXPECT_EQ(normalized("a\r\nb\rc"), "<p>a</p><p>b</p><p>c</p>");
    EXPECT_EQ(normalized("a\n\nb"), "<p>a</p><p>&nbsp;</p><p>b</p>");
    EXPECT_EQ(normalized(""), "<p>&nbsp;</p>");
    EXPECT_EQ(normalized("a  b   c"), "<p>a&nbsp; b&nbsp;&nbsp; c</p>");
    EXPECT_EQ(normalized("<b>a\nb</b>"), "<p><b>a</b></p><p><b>b</b></p>");
    EXPECT_EQ(normalized("<font color=red><i>a\nb</i>c\nd</font>"),
        "<p><font color=red><i>a</i></font></p><p><font color=red><i>b</i>c</font></p>"
        "<p><font color=red>d</font></p>");
    EXPECT_EQ(normalized("<img src=a><hr>\nb"), "<p><img src=a><hr></p><p>b</p>");
    EXPECT_EQ(normalized("<b>a</i>\nb"), "<p><b>a</i></b></p><p><b>b</b></p>");  // a stray closer pops nothing
    EXPECT_EQ(normalized("<span>x</span>\ny"), "<p><span>x</span></p><p>y</p>");
    EXPECT_EQ(normalized("<!-- c -->x\ny"), "<p><!-- c -->x</p><p>y</p>");
}

TEST(NormalizeNoteParagraphs, OtherNotesStayAsTheyAre)
{
    for (const char* note : {"x<div>y</div>", "<p>a</p>\nb", "a<br>b", "<table><tr><td>x</td></tr></table>",
             "<b>a</b><blockquote>q</blockquote>"})
        EXPECT_EQ(normalized(note), note) << note;
}

TEST(NormalizeNoteParagraphs, EmptyInlinePairsGo)
{
    EXPECT_EQ(normalized("<b></b>x"), "<p>x</p>");
    EXPECT_EQ(normalized("<b><i></i></b>x"), "<p>x</p>");
    EXPECT_EQ(normalized("<b>\nx</b>"), "<p>&nbsp;</p><p><b>x</b></p>");
    EXPECT_EQ(normalized("<span></span>x"), "<p><span></span>x</p>");  // unknown tags are not inline pairs
    EXPECT_EQ(normalized("<b>c></b>"), "<p><b>c></b></p>");            // text ">" is no tag end
    EXPECT_EQ(normalized("<b>x</b><i></b>"), "<p><b>x</b><i></b></i></p>");
}

TEST(NormalizeNoteParagraphs, HostileNotes)
{
    // A "<" that no ">" follows is literal text, not the start of a tag closed by "</p>".
    EXPECT_EQ(normalized("a <img src=x onerror=alert(1) "), "<p>a &lt;img src=x onerror=alert(1) </p>");
    EXPECT_EQ(normalized("<b>x</b> y < z"), "<p><b>x</b> y &lt; z</p>");
    // Deep nesting carried over many lines would multiply the note: left as it is.
    const std::string deep = repeat("<b>", 10000) + repeat("x\n", 10000);
    EXPECT_EQ(normalized(deep), deep);
    const std::string wide = repeat("<font face='" + std::string(2000, 'f') + "'>", 60) + repeat("\n", 20000);
    EXPECT_EQ(normalized(wide), wide);
    // Within the limits a note of many lines is rewritten.
    const std::string lines = "<i>" + repeat("l\n", 5000) + "</i>";
    const std::string out = normalized(lines);
    EXPECT_EQ(out.rfind("<p><i>l</i></p>", 0), 0u);
    EXPECT_NE(out.find("<p><i></i></p>"), 0u);
}

TEST(LinkBibleReferencesInHtml, PlainReferencesBecomeLinks)
{
    EXPECT_EQ(linked("In John 3:16."), "In <a href=\"bible:#002B0310\">John 3:16</a>.");
    EXPECT_EQ(linked("See Gen 1:1-3; Ex 2 and more"),
        "See <a href=\"bible:-00010101010103\">Gen 1:1-3</a>; <a href=\"bible:-000202FF0202FE\">Ex 2</a> and more");
    EXPECT_EQ(linked("<p>John 3:16</p>"), "<p><a href=\"bible:#002B0310\">John 3:16</a></p>");
    EXPECT_EQ(linked("caf\xC3\xA9 John 3:16"), "caf\xC3\xA9 <a href=\"bible:#002B0310\">John 3:16</a>");
    EXPECT_EQ(linked("Jude 3"), "<a href=\"bible:#00410103\">Jude 3</a>");
}

TEST(LinkBibleReferencesInHtml, WhatStaysPlain)
{
    for (const char* text : {"Jude and Genesis stay plain", "<a href=x>John 3:16</a>", "<A HREF=x>John 3:16</A>",
             "<a\nhref=x>John 3:16</a>", "<a>John 3:16</a>", "<span title=\"John 3:16\">x</span>", "Rev 22:21st",
             "Johnny 3:16", "nothing here", "", "<a href=x>John 3:16", "3:16 John"})
        EXPECT_EQ(linked(text), text) << text;
    // Text after an existing link is still read.
    EXPECT_EQ(
        linked("<a href=x>Rom 1:1</a> John 3:16"), "<a href=x>Rom 1:1</a> <a href=\"bible:#002B0310\">John 3:16</a>");
}

TEST(LinkBibleReferencesInHtml, LongAndHostileText)
{
    const std::string words = repeat("word John and 3:16 & <b>x</b> ", 20000);
    EXPECT_EQ(linked(words), words);
    const std::string many = repeat("John 3:16 ", 2000);
    const std::string out = linked(many);
    EXPECT_EQ(out, repeat("<a href=\"bible:#002B0310\">John 3:16</a> ", 2000));
    cLString8 narrow("x John 3:16");
    linkBibleReferencesInHtml(narrow);
    EXPECT_STREQ(narrow.chars(), "x <a href=\"bible:#002B0310\">John 3:16</a>");
}

}  // namespace

TEST(KeepOnlyDataResources, TagsNameNoResourceButData)
{
    const std::string png = "data:image/png;base64,iVBORw0KGgo=";
    EXPECT_EQ(dataOnly("<img src=\"" + png + "\" alt=\"x\">"), "<img src=\"" + png + "\" alt=\"x\">");
    EXPECT_EQ(dataOnly("<img src=\"/dev/zero\" alt=\"x\">"), "<img alt=\"x\">");
    EXPECT_EQ(dataOnly("<img alt=x src='file:///etc/passwd'>"), "<img alt=x>");
    EXPECT_EQ(dataOnly("<img src=&#102;ile:///etc/passwd>"), "<img>");
    EXPECT_EQ(dataOnly("<img SRC=\"  DATA:image/png,x\">"), "<img SRC=\"  DATA:image/png,x\">");
    EXPECT_EQ(
        dataOnly("<img src=\"" + png + "\" srcset=\"" + png + " 1x, /etc/passwd 2x\">"), "<img src=\"" + png + "\">");
    EXPECT_EQ(dataOnly("<table background=\"x.png\"><td background=data:,>"), "<table><td background=data:,>");
    EXPECT_EQ(dataOnly("<video poster=\"/tmp/a.png\"></video><a ping=\"http://h/\" href=\"#n\">n</a>"),
        "<video></video><a href=\"#n\">n</a>");
    // A link is followed, not loaded; an href elsewhere names a resource.
    EXPECT_EQ(dataOnly("<a href=\"http://example.com/\">x</a>"), "<a href=\"http://example.com/\">x</a>");
    EXPECT_EQ(dataOnly("<image href=\"file:///x.png\"><use xlink:href=\"/x.svg#a\">"), "<image><use>");
    // Text and markup-free input stay as they are.
    EXPECT_EQ(dataOnly("a < b, src=\"/dev/zero\""), "a < b, src=\"/dev/zero\"");
    EXPECT_EQ(dataOnly("<p>url(/x)</p>"), "<p>url(/x)</p>");
}

TEST(KeepOnlyDataResources, StyleAttributesLoseAddresses)
{
    EXPECT_EQ(dataOnly("<p style=\"color:red\">x</p>"), "<p style=\"color:red\">x</p>");
    EXPECT_EQ(dataOnly("<p style=\"background:url(/dev/zero) no-repeat\">x</p>"),
        "<p style=\"background:none no-repeat\">x</p>");
    EXPECT_EQ(dataOnly("<p style='background-image: URL( \"file:///a\" )'>"), "<p style=\"background-image: none\">");
    // Escapes, comments and character references are read as the browser reads them.
    EXPECT_EQ(dataOnly("<p style=\"background:u\\72l(/a)\">"), "<p style=\"background:none\">");
    EXPECT_EQ(dataOnly("<p style=\"background:u/**/rl(/a)\">"), "<p style=\"background:u/**/rl(/a)\">");
    EXPECT_EQ(dataOnly("<p style=\"background:&#117;rl(/a)\">"), "<p style=\"background:none\">");
    EXPECT_EQ(dataOnly("<p style=\"background:url('\\66ile:///a')\">"), "<p style=\"background:none\">");
    EXPECT_EQ(dataOnly("<p style=\"background:image-set('/a.png' 1x)\">"), "<p style=\"background:none\">");
    EXPECT_EQ(dataOnly("<p style=\"background:url(data:image/png;base64,AA)\">"),
        "<p style=\"background:url(data:image/png;base64,AA)\">");
    // A value written back keeps its quotes and markup characters escaped.
    EXPECT_EQ(dataOnly("<p style='font-family:\"A&amp;B\";background:url(/a)'>"),
        "<p style=\"font-family:&quot;A&amp;B&quot;;background:none\">");
    EXPECT_EQ(dataOnly("<rect fill=\"url(/x.svg#g)\">"), "<rect fill=\"none\">");
}

TEST(KeepOnlyDataResources, StyleSheetsLoseImportsAndAddresses)
{
    EXPECT_EQ(dataOnly("<style>@import url(/etc/x.css); p { color: red }</style>"), "<style> p { color: red }</style>");
    EXPECT_EQ(dataOnly("<style>@IMPORT '/x.css' screen;b{}</style><p>t</p>"), "<style>b{}</style><p>t</p>");
    EXPECT_EQ(dataOnly("<style>@\\69mport \"/x.css\";</style>"), "<style></style>");
    EXPECT_EQ(dataOnly("<style>@font-face{src:url(/f.ttf),local(A)}</style>"),
        "<style>@font-face{src:none,local(A)}</style>");
    EXPECT_EQ(dataOnly("<style>b{background:url(/a)}</stylex>c{background:url(/b)}</style>"), "<style></style>");
    EXPECT_EQ(dataOnly("<style>b{content:\"&\"} c{background:url(/a)}</style>"), "<style></style>");
    // An unclosed sheet runs to the end, as it does in the browser.
    EXPECT_EQ(dataOnly("<style>b{background:url(/a)}"), "<style>b{background:none}");
    // A sheet that only names data: stays as written.
    const std::string kept = "<style>p{background:url(\"data:image/gif;base64,R0lG\")}</style>";
    EXPECT_EQ(dataOnly(kept), kept);
}

TEST(KeepOnlyDataResources, LongAndHostileInput)
{
    // Unclosed strings, parentheses and comments end at the text's end; nothing grows without bound.
    for (const std::string& text : {std::string("<p style=\"background:url('/a"), std::string("<style>url((((("),
             std::string("<style>/*"), std::string("<style>@import"), std::string("<p style=\"a:\\"),
             std::string("<style>u\\"), repeat("<style>url(/a)</style>", 2000)}) {
        const std::string out = dataOnly(text);
        EXPECT_LE(out.size(), text.size() + 16) << text.substr(0, 40);
        EXPECT_EQ(out.find("/a)"), std::string::npos) << text.substr(0, 40);
    }
}

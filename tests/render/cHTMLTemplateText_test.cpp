#include "render/cHTMLTemplateText.h"

#include <gtest/gtest.h>

#include "engine/foundation/cLIntArray.h"
#include "engine/foundation/cLStringDictionary.h"
#include "render/cHTMLRenderString.h"

namespace {

// Every token the reader serves, from the first on, as the parser asks for them.
std::string served(cHTMLTemplateText& st)
{
    std::string out, all;
    std::uint32_t start = 0;
    std::int32_t end = 0;
    if (!templateConditionalReader(&st, 0, 0, nullptr, 0, out, start, end, nullptr))
        return all;
    all += out;
    for (int guard = 0; guard < 1000 && templateConditionalReader(&st, 0, start, nullptr, 1, out, start, end, nullptr);
         ++guard)
        all += "|" + out;
    return all;
}

std::string serve(const std::string& text, const cLStringDictionary* dict)
{
    cHTMLTemplateText st;
    cLIntStack stack;
    st.text = text;
    st.conditions = dict;
    st.conditionStack = &stack;
    return served(st);
}

}  // namespace

TEST(TemplateText, Conditionals)
{
    cLStringDictionary a;
    a.setValue("a", "");
    cLStringDictionary other;
    other.setValue("b", "1");
    const std::string t = "<p><!if a>X<!else>Y<!endif></p>";
    EXPECT_EQ("<p>|X|</p>", serve(t, &a));
    EXPECT_EQ("<p>|Y|</p>", serve(t, &other));
    EXPECT_EQ("<p>|Y|</p>", serve(t, nullptr));
    EXPECT_EQ("<p>|X|</p>", serve("<p><!ifn a>X<!else>Y<!endif></p>", nullptr));
    EXPECT_EQ("<p>|Y|</p>", serve("<p><!IFN  a>X<!ELSE>Y<!endif  ></p>", &a));
    // A stray else hides everything up to the next endif.
    EXPECT_EQ("<p>|Z", serve("<p><!else>X</p><!endif>Z", &a));
    // Nested: an inner true condition stays hidden under a false outer one.
    EXPECT_EQ("A|D", serve("A<!if b><!if a>B<!endif>C<!endif>D", &a));
    // The tag forms.
    EXPECT_EQ("X", serve("<qs_if condition=\"-a\">X<qs_else>Y</qs_else><qs_endif>", nullptr));
    EXPECT_EQ("Y", serve("<qs_if condition=\"-a\">X<qs_else>Y<qs_endif>", &a));
    EXPECT_EQ("X", serve("<qs_if data-condition=\"a\">X<qs_endif>", &a));
    EXPECT_EQ("Y", serve("<qs_if condition=\"\">X<qs_else>Y<qs_endif>", &a));
}

TEST(TemplateText, TokensCommentsAndQuotes)
{
    EXPECT_EQ("a|b", serve("a<!-- <p>x</p> -->b", nullptr));
    EXPECT_EQ("a", serve("a<!-->b", nullptr));  // no end: the comment runs to the end
    EXPECT_EQ("<a title=\"x>y\">|z|</a>", serve("<a title=\"x>y\">z</a>", nullptr));
    EXPECT_EQ("x", serve("<!doctype html>x", nullptr));

    // The remembered token: a count other than 1 at its start serves it again.
    cHTMLTemplateText st;
    st.text = "<p>one</p>";
    std::string out;
    std::uint32_t s = 0;
    std::int32_t e = 0;
    ASSERT_TRUE(templateConditionalReader(&st, 0, 0, nullptr, 0, out, s, e, nullptr));
    ASSERT_TRUE(templateConditionalReader(&st, 0, s, nullptr, 1, out, s, e, nullptr));
    EXPECT_EQ("one", out);
    ASSERT_TRUE(templateConditionalReader(&st, 0, s, nullptr, 0, out, s, e, nullptr));
    EXPECT_EQ("one", out);
    // From another position the first `count` raw tokens are skipped.
    ASSERT_TRUE(templateConditionalReader(&st, 0, 0, nullptr, 2, out, s, e, nullptr));
    EXPECT_EQ("</p>", out);
    EXPECT_FALSE(templateConditionalReader(&st, 0, 100, nullptr, 1, out, s, e, nullptr));
    EXPECT_FALSE(templateConditionalReader(&st, 0, 0, nullptr, -1, out, s, e, nullptr));
    EXPECT_FALSE(templateConditionalReader(nullptr, 0, 0, nullptr, 0, out, s, e, nullptr));
    EXPECT_FALSE(templateConditionalReader(&st, -3, 0, nullptr, 0, out, s, e, nullptr));
    ASSERT_TRUE(templateConditionalReader(&st, -4, 3, nullptr, 5, out, s, e, nullptr));
    EXPECT_EQ("one</", out);
}

TEST(TemplateText, SectionIndex)
{
    cHTMLTemplateText st;
    st.text = "<html><body><b>x</b><p>y</p>\n<table><tr><td>z</table><hr>";
    std::string out;
    std::uint32_t s = 0;
    std::int32_t e = 0;
    ASSERT_TRUE(templateConditionalReader(&st, 1, 0, nullptr, 0, out, s, e, nullptr));
    EXPECT_EQ("<p>", out);
    ASSERT_TRUE(templateConditionalReader(&st, 2, 0, nullptr, 0, out, s, e, nullptr));
    EXPECT_EQ("<table>", out);
    ASSERT_TRUE(templateConditionalReader(&st, 3, 0, nullptr, 0, out, s, e, nullptr));
    EXPECT_EQ("<hr>", out);
    EXPECT_EQ((std::vector<std::int32_t> {12, 20, 29, 53}), st.sectionStarts);
    EXPECT_FALSE(templateConditionalReader(&st, 4, 0, nullptr, 0, out, s, e, nullptr));
    EXPECT_TRUE(st.message.empty());
    st.strictness = 1;
    EXPECT_FALSE(templateConditionalReader(&st, 6, 0, nullptr, 0, out, s, e, nullptr));
    EXPECT_EQ("Attempted to read way past end of input.", st.message);
}

TEST(TemplateText, SectionIndexFaults)
{
    cHTMLTemplateText st;
    st.strictness = 1;
    st.text = "<blockquote>abc</p> and more text here";
    std::string out;
    std::uint32_t s = 0;
    std::int32_t e = 0;
    EXPECT_FALSE(templateConditionalReader(&st, 1, 0, nullptr, 0, out, s, e, nullptr));
    EXPECT_EQ("ERROR: Saw </p> while looking for </blockquote>.\nOriginal tag starts here: <blockquote>abc</p> "
              "\nBad closing tag starts here: </p> and more text h",
        st.message);
    EXPECT_EQ(0, st.errorPosition);

    cHTMLTemplateText quiet;
    quiet.text = "<blockquote>abc</p>";
    EXPECT_FALSE(templateConditionalReader(&quiet, 1, 0, nullptr, 0, out, s, e, nullptr));
    EXPECT_TRUE(quiet.message.empty());

    cHTMLTemplateText body;
    body.strictness = 1;
    body.text = "<html><body>  ";
    EXPECT_FALSE(templateConditionalReader(&body, 1, 0, nullptr, 0, out, s, e, nullptr));
    EXPECT_EQ("Nothing follows the <body> tag!", body.message);

    cHTMLTemplateText open;
    open.strictness = 1;
    open.text = "<ul><li>x";
    EXPECT_FALSE(templateConditionalReader(&open, 1, 0, nullptr, 0, out, s, e, nullptr));
    EXPECT_EQ(0u, open.message.find("ERROR: Saw <UNKNOWN TAG> while looking for </li>."));

    cHTMLTemplateText endif;
    endif.text = "<p>x</p><!if a>y";
    EXPECT_FALSE(templateConditionalReader(&endif, 1, 0, nullptr, 0, out, s, e, nullptr));
    EXPECT_EQ("Missing <!endif> tag.\n", endif.message);
}

TEST(TemplateText, ParsesThroughTheRenderString)
{
    cHTMLRenderString rs;
    cLStringDictionary names;
    names.setValue("show", "");
    cLIntStack stack;
    cHTMLTemplateText tt;
    tt.text = "<p>a<!if show><b>b</b><!endif><!ifn show><i>c</i><!endif></p>";
    tt.conditions = &names;
    tt.conditionStack = &stack;
    ASSERT_TRUE(rs.parseFromText(nullptr, &tt));
    ASSERT_TRUE(rs.parser().parseAll()) << rs.parser().message();
    cHTMLTagElement* p = rs.parser().rootElement()->firstChild();
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(HTMLTag::p, p->tagCode());
    ASSERT_NE(nullptr, p->lastChild());
    EXPECT_EQ(HTMLTag::b, p->lastChild()->tagCode());
}

#include "render/HTMLInterlinear.h"

#include <gtest/gtest.h>

#include "engine/bookfile/cBkWordAttributeDefs.h"
#include "render/cHTMLBlockRenderer.h"
#include "render/cHTMLParser.h"
#include "render/cHTMLRenderConfiguration.h"

namespace {

cHTMLTagElement* textNode(const std::string& text)
{
    auto* t = new cHTMLTagElement(HTMLTag::untagged_text);
    t->attributes().addCodedStringValue(HTMLAttr::untagged_text, text);
    return t;
}

// Rewrites `block` (put under a fresh parser's root) and writes it without a render context.
std::string rewritten(cHTMLTagElement* block, const std::string& definitions)
{
    cHTMLParser parser;
    parser.reset(false);
    parser.rootElement()->appendChildren(block);
    cBkWordAttributeDefs defs(definitions);
    cHTMLRenderConfiguration config;
    config.wordAttributeDefinitions = &defs;
    HTMLInterlinear::interlinearize(parser, block, 1033, false, &config, nullptr);
    std::string out;
    cHTMLBlockRenderer::renderElement(parser, parser.rootElement()->firstChild(), out, 1033, false, &config, nullptr);
    return out;
}

const std::string kRow = "<tr class=\"_interlinearrow\"><td align=\"center\">";

}  // namespace

TEST(Interlinear, TextWithoutZeroWidthSpaceIsOneWord)
{
    auto* p = new cHTMLTagElement(HTMLTag::p);
    p->appendChildren(textNode("In\x02"
                               "1\x04"
                               "en\x03 the"));
    EXPECT_EQ(
        "<p><table class=\"_interlinearwordtable\"><tr class=\"_interlineartoprow\"><td align=\"center\">In&nbsp;the"
        "</td></tr>" +
            kRow + "en</td></tr></table></p>",
        rewritten(p, "a=0,A&lem=1,Lemma"));
}

TEST(Interlinear, WordsKeepInlineFormattingAndShareRows)
{
    auto* p = new cHTMLTagElement(HTMLTag::p);
    auto* b = new cHTMLTagElement(HTMLTag::b);
    b->appendChildren(textNode("\xE2\x80\x8Bone\x02"
                               "0\x04x\x02"
                               "1\x04y\x03\xE2\x80\x8Btwo"));
    p->appendChildren(b);
    auto* note = new cHTMLTagElement(HTMLTag::qs_note);
    note->appendChildren(textNode("gone"));
    p->appendChildren(note);
    const std::string html = rewritten(p, "a=1,A,,,,,,sync:&b=1,B,,pre-,S,,,,");
    EXPECT_EQ(std::string::npos, html.find("gone"));
    // Both entries are of row 1: one cell, the values separated by a non-breaking space; the second
    // definition's render field goes in front of its value.
    EXPECT_NE(std::string::npos, html.find(kRow + "<a href=\"sync:x\">x</a>&nbsp;pre-y</td></tr>")) << html;
    EXPECT_NE(std::string::npos, html.find("<td align=\"center\"><b>\xE2\x80\x8Bone</b></td>")) << html;
    EXPECT_NE(std::string::npos, html.find("<td align=\"center\"><b>\xE2\x80\x8Btwo</b></td>")) << html;
    EXPECT_NE(std::string::npos, html.find(kRow + "&nbsp;</td>")) << html;  // the word without entries
}

TEST(Interlinear, WrapsInlineItemsAndFixesCells)
{
    auto* b = new cHTMLTagElement(HTMLTag::b);
    cHTMLParser parser;
    parser.reset(false);
    parser.rootElement()->appendChildren(b);
    cHTMLTagElement* wrapper = HTMLInterlinear::wrapItem(b);
    ASSERT_NE(b, wrapper);
    EXPECT_EQ(HTMLTag::div, wrapper->tagCode());
    EXPECT_EQ("qs_interlinear", wrapper->attributes().valueForCode(HTMLAttr::class_));
    EXPECT_EQ(wrapper, parser.rootElement()->firstChild());
    EXPECT_EQ(b, wrapper->firstChild());
    auto* p = new cHTMLTagElement(HTMLTag::p);
    EXPECT_EQ(p, HTMLInterlinear::wrapItem(p));
    delete p;

    auto* table = new cHTMLTagElement(HTMLTag::table);
    auto* td = new cHTMLTagElement(HTMLTag::td);
    td->attributes().addCodedStringValue(HTMLAttr::valign, "middle");
    td->attributes().addCodedStringValue(HTMLAttr::style, "color:red");
    table->appendChildren(td);
    EXPECT_EQ("<table><td style=\"vertical-align:top;color:red\"></td></table>", rewritten(table, ""));
}

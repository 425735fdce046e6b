#include "render/HTMLTagCode.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

// First in the file so the lookup indexes are built while several threads ask at once.
TEST(HTMLTagCode, ConcurrentFirstLookups)
{
    std::atomic<int> wrong {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&wrong] {
            for (int c = 1; c <= 80; ++c)
                if (tagCodeForName(tagNameForCode(c)) != c)
                    ++wrong;
            for (int c = 0; c < 120; ++c)
                if (attributeCodeForName(attributeNameForCode(c)) != c)
                    ++wrong;
            for (int c = 1; c < 127; ++c)
                if (valueCodeForText(valueTextForCode(c)) != c)
                    ++wrong;
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(wrong.load(), 0);
}

// The codes are stored in book files, so a sample of each table is pinned to its number.
TEST(HTMLTagCode, TagTableMatchesStoredCodes)
{
    const std::pair<int, const char*> pinned[] = {
        {1, "a"},
        {9, "br"},
        {20, "h1"},
        {28, "h9"},
        {46, "p"},
        {47, "qs_attr"},
        {54, "qs_sync"},
        {56, "qs_woc"},
        {57, "pre"},
        {64, "table"},
        {75, "untagged_text"},
        {76, "qs_relhdg"},
        {77, "div"},
        {78, "qs_if"},
        {80, "qs_endif"},
    };
    for (auto [code, name] : pinned) {
        EXPECT_STREQ(tagNameForCode(code), name);
        EXPECT_EQ(tagCodeForName(name), code) << name;
    }
    // Every code round-trips and the names are distinct.
    std::set<std::string> names;
    for (int c = 1; c <= 80; ++c) {
        names.insert(tagNameForCode(c));
        EXPECT_EQ(tagCodeForName(tagNameForCode(c)), c);
    }
    EXPECT_EQ(names.size(), 80u);
}

TEST(HTMLTagCode, TagNameLookupRules)
{
    EXPECT_EQ(tagCodeForName("qs-sync"), 54);  // "-" reads as "_"
    EXPECT_EQ(tagCodeForName("qs-relhdg"), 76);
    EXPECT_EQ(tagCodeForName("H1"), 0);  // exact, case-sensitive
    EXPECT_EQ(tagCodeForName(""), 0);
    EXPECT_EQ(tagCodeForName("blockquotex"), 0);
    EXPECT_EQ(tagCodeForName(std::string(1000, 'a')), 0);
    EXPECT_STREQ(tagNameForCode(0), "UNKNOWN TAG");
    EXPECT_STREQ(tagNameForCode(81), "UNKNOWN TAG");
    EXPECT_STREQ(tagNameForCode(-46), "UNKNOWN TAG");
}

TEST(HTMLTagCode, EmptyElements)
{
    std::set<int> empty;
    for (int c = 0; c <= 81; ++c)
        if (isEmptyElementTag(c))
            empty.insert(c);
    EXPECT_EQ(empty, (std::set<int> {2, 9, 11, 30, 33, 34, 35, 41, 47, 54}));
}

TEST(HTMLTagCode, AttributeTable)
{
    const std::pair<int, const char*> pinned[] = {
        {0, ""},
        {1, "$contents"},
        {3, "$textat"},
        {6, "accept-charset"},
        {15, "background-color"},
        {28, "class"},
        {46, "display"},
        {60, "href"},
        {65, "is_whitespace"},
        {84, "qs_toc"},
        {85, "profile"},
        {103, "style"},
        {112, "untagged_text"},
        {115, "value"},
        {119, "width"},
    };
    for (auto [code, name] : pinned) {
        EXPECT_STREQ(attributeNameForCode(code), name);
        EXPECT_EQ(attributeCodeForName(name), code) << name;
    }
    std::set<std::string> names;
    for (int c = 0; c < 120; ++c) {
        names.insert(attributeNameForCode(c));
        EXPECT_EQ(attributeCodeForName(attributeNameForCode(c)), c);
    }
    EXPECT_EQ(names.size(), 120u);
    EXPECT_EQ(attributeCodeForName("Class"), -1);
    EXPECT_EQ(attributeCodeForName("data-x"), -1);
    EXPECT_STREQ(attributeNameForCode(120), "");
    EXPECT_STREQ(attributeNameForCode(-1), "");
}

TEST(HTMLTagCode, ValueTable)
{
    const std::pair<int, const char*> pinned[] = {
        {1, "A"},
        {2, "I"},
        {3, "a"},
        {40, "i"},
        {47, "left"},
        {63, "now"},
        {69, "qs_abbrev"},
        {89, "qs_title"},
        {90, "plaintext"},
        {116, "verse"},
        {123, "yes"},
        {124, "qs_sorttitle"},
        {126, "qs_biblebooks"},
    };
    for (auto [code, name] : pinned) {
        EXPECT_STREQ(valueTextForCode(code), name);
        EXPECT_EQ(valueCodeForText(name), code) << name;
    }
    for (int c = 1; c < 127; ++c)
        EXPECT_EQ(valueCodeForText(valueTextForCode(c)), c);
    EXPECT_EQ(valueCodeForText(""), -1);  // the empty text is never coded
    EXPECT_EQ(valueCodeForText("Left"), -1);
    EXPECT_STREQ(valueTextForCode(0), "");
    EXPECT_STREQ(valueTextForCode(127), "");
}

// The whole tables, in code order: a swapped or shifted entry would change the book-file format.
TEST(HTMLTagCode, WholeTablesInCodeOrder)
{
    auto joined = [](const char* (*name)(std::int32_t), int first, int limit) {
        std::string out;
        for (int c = first; c < limit; ++c)
            out += std::string(name(c)) + (c + 1 < limit ? " " : "");
        return out;
    };
    EXPECT_EQ(joined(tagNameForCode, 1, 81),
        "a area b basefont bgsound big blockquote body br caption col colgroup dd dir dl dt fieldset font "
        "form h1 h2 h3 h4 h5 h6 h7 h8 h9 head hr html i img input keygen label legend li map menu meta nobr "
        "ol optgroup option p qs_attr qs_context qs_lang qs_link qs_noconc qs_nolinks qs_note qs_sync "
        "qs_vlskip qs_woc pre s select small style sub sup table tbody td textarea tfoot th thead title tr u "
        "ul untagged_text qs_relhdg div qs_if qs_else qs_endif");
    EXPECT_EQ(joined(attributeNameForCode, 1, 120),
        "$contents $expand $textat abbr accept accept-charset accesskey action align alink alt archive axis "
        "background background-color bgcolor border bordercolor bordercolordark bordercolorlight cellpadding "
        "cellspacing char charoff charset checked cite class classid clear code codebase codetype color cols "
        "colspan compact content coords data datetime declare defer dir disabled display enctype face font "
        "font-family font-size font-style font-variant font-weight format frame frameborder headers height "
        "href hreflang hspace http-equiv id is_whitespace ismap label lang language link longdesc "
        "marginheight marginwidth maxlength media method multiple name nohref noresize noshade nowrap object "
        "qs_toc profile prompt readonly rel rev rows rowspan rules scheme scope scrolling selected shape "
        "size span src standby start style summary tabindex target text text-align text-indent title type "
        "untagged_text usemap valign value valuetype vlink vspace width");
    EXPECT_EQ(joined(valueTextForCode, 1, 127),
        "A I a above all aqua auto baseline bcv below black blue border bottom box button center char "
        "checkbox checked col colgroup cols compact cv data date declare defer disabled file fuchsia get "
        "gray green groups hidden hsides html i image index ismap italic justify later left lhs lighter lime "
        "ltr maroon middle multiple navy no nohref none noresize normal noshade noversenums now nowrap "
        "object oblique olive password qs_abbrev qs_author qs_bookid qs_city qs_copyright qs_date "
        "qs_editionid qs_grkdictid qs_hebdictid qs_isabible qs_minpgmmajor qs_minpgmminor qs_options "
        "qs_pubid qs_publisher qs_revisionid qs_searchrange qs_startdate qs_stroptions qs_synctype qs_title "
        "plaintext post purple radio readonly red ref reset rhs right row rowgroup rows rtl selected silver "
        "strongsgreek strongshebrew submit teal text top topic transparent true v verse visible void vsides "
        "white word yellow yes qs_sorttitle qs_subtitle qs_biblebooks");
}

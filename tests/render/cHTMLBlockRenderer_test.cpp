#include "render/cHTMLBlockRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/bookfile/TextTokenTestBook.h"
#include "engine/bookfile/cBkWordAttributeDefs.h"
#include "engine/references/cBibleRef.h"
#include "render/BookSectionTreeProvider.h"
#include "render/cBlockRenderUserData.h"
#include "render/cHTMLParser.h"
#include "render/cHTMLRenderConfiguration.h"
#include "search/core/cSearchWordList.h"

using TvkEncode::Node;
using TvkEncode::NodeAttribute;

namespace {

// Tag, attribute and value codes of the book markup used below.
constexpr uint8_t kP = 46, kText = 75, kSync = 54, kWoc = 56, kNote = 53, kAttr = 47, kImg = 33, kDiv = 77, kH8 = 27,
                  kA = 1;
constexpr uint8_t kMap = 39, kArea = 2;
constexpr uint32_t kType = 111, kValue = 115, kDisplay = 46, kName = 78, kClass = 28, kSrc = 100, kHref = 60,
                   kUsemap = 113, kCoords = 39;
constexpr uint32_t kVerse = 116, kNow = 63, kStrongsHebrew = 107;

const std::vector<std::string> kWords = {
    "and", "arche", "beginning", "for", "god", "in", "logos", "loved", "or", "sent", "so", "the", "thus", "world"};
const std::vector<std::string> kPunct = {",", ".", "\xE2\x80\x8B"};
uint8_t W(const char* w)
{
    return static_cast<uint8_t>(indexOf(kWords, w));
}

const uint32_t kJohn316 = makeBibleKey(43, 3, 16), kJohn317 = makeBibleKey(43, 3, 17), kJohn11 = makeBibleKey(43, 1, 1);

// Text runs, each ending with the end-of-section code.
struct Runs {
    Bytes tokens;
    uint32_t add(const Bytes& run)
    {
        const uint32_t at = static_cast<uint32_t>(4 + tokens.size());
        tokens.insert(tokens.end(), run.begin(), run.end());
        tokens.push_back(0xCE);
        return at;
    }
};

Bytes words(std::initializer_list<const char*> list)
{
    Bytes b;
    for (const char* w : list)
        wordToken(b, W(w));
    return b;
}

Node text(uint32_t at)
{
    return Node {kText, {NodeAttribute::textAt(at)}, {}};
}
Node verse(uint32_t key)
{
    return Node {kSync,
        {NodeAttribute::withCode(kType, kVerse), NodeAttribute::withNumber(kValue, static_cast<int32_t>(key)),
            NodeAttribute::withCode(kDisplay, kNow)},
        {}};
}

// A PNG header: signature and IHDR with the size.
Bytes png(uint32_t width, uint32_t height)
{
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    be32(b, width);
    be32(b, height);
    b.insert(b.end(), {8, 2, 0, 0, 0, 0, 0, 0, 0});
    return b;
}

const std::string kDefinitions = "lem=1,Lemma,L:,,lemma:,,,,yes&str=2,Strong's,S:,,G,,,sync:,yes";

struct Fixture {
    std::unique_ptr<TextTestBook> book;
    Fixture()
    {
        Runs r;
        TextBookSpec s;
        s.words = kWords;
        s.punctuation = kPunct;
        s.punctuationValues = {0, 1, 2};
        Bytes t1 = words({"for", "god", "so", "loved"});
        t1.insert(t1.end(), {0xCD, 0x00, 0xC8});  // G25
        t1.push_back(0x80);                       // ","
        const uint32_t a1 = r.add(t1);
        const uint32_t a2 = r.add(words({"the", "world"}));
        const uint32_t a3 = r.add(words({"or", "thus"}));
        const uint32_t a4 = r.add(words({"god", "sent"}));
        Bytes t5 = words({"the", "logos"});
        t5.insert(t5.end(), {0xCC, 0x01, 0xAC});  // H107
        const uint32_t a5 = r.add(t5);
        // Interlinear: words separated by zero-width spaces, each with its attribute run.
        // Each word begins with a zero-width space.
        Bytes t6 = {0x8F, 2};
        wordToken(t6, W("in"));
        attributeToken(t6, 0, 1);  // lemma "en"
        t6.push_back(0x8F);
        t6.push_back(2);
        t6.push_back(0xE2);
        wordToken(t6, W("beginning"));
        attributeToken(t6, 0, 0);  // lemma "arche"
        attributeToken(t6, 1, 0);  // Strong's "746"
        const uint32_t a6 = r.add(t6);
        s.tokens = r.tokens;
        s.sectionStarts = {4, a4, a5, a6, a6, a6};
        s.attributeDefinitions = kDefinitions;
        s.attributeWords = {{"lem", {"arche", "en"}}, {"str", {"746"}}};
        s.verseSync = {{kJohn11, 3}, {kJohn316, 0}, {kJohn317, 1}};
        std::sort(s.verseSync.begin(), s.verseSync.end());

        Node b0 {kP, {}, {verse(kJohn316), text(a1), Node {kWoc, {}, {text(a2)}}, Node {kNote, {}, {text(a3)}}}};
        Node b1 {kP, {}, {verse(kJohn317), text(a4)}};
        Node b2 {kP, {},
            {text(a5),
                Node {kAttr, {NodeAttribute::withCode(kName, kStrongsHebrew), NodeAttribute::withText(kValue, "430")},
                    {}}}};
        Node b3 {kP, {NodeAttribute::withText(kClass, "qs_interlinear")}, {verse(kJohn11), text(a6)}};
        Node b4 {kDiv, {},
            {Node {kImg, {NodeAttribute::withText(kSrc, "wide.png"), NodeAttribute::withText(kUsemap, "5")}, {}},
                Node {kH8, {}, {Node {kA, {NodeAttribute::withText(kHref, "bible:it's \"x\"")}, {text(a4)}}}}}};
        Node b5 {kMap, {},
            {Node {
                kArea, {NodeAttribute::withText(kCoords, "0,10,400,51"), NodeAttribute::withText(kHref, "#top")}, {}}}};
        // A verse named by its reference, of a book that not every translation's frame holds.
        Node b6 {kP, {},
            {Node {kSync,
                 {NodeAttribute::withCode(kType, kVerse), NodeAttribute::withText(kValue, "Tobit 1:1"),
                     NodeAttribute::withCode(kDisplay, kNow)},
                 {}},
                text(a4)}};
        s.blocks = {b0, b1, b2, b3, b4, b5, b6};
        s.images = {{"wide.png", png(800, 100)}};
        book = std::make_unique<TextTestBook>(s);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// Renders blocks first..last with one context, as the book document does.
std::string renderBlocks(uint32_t first, uint32_t last, const cHTMLRenderConfiguration* config, bool bible = true)
{
    cHTMLParser parser;
    parser.setNodeSource(bookSectionTreeProvider, &fixture().book->book);
    EXPECT_TRUE(parser.parseSection(first));
    for (uint32_t b = first; b < last; ++b) {
        cHTMLTagElement* added = nullptr;
        EXPECT_TRUE(parser.parseNextSection(&added));
    }
    cHTMLBlockRenderContext context;
    context.isBible = bible ? 1 : 0;
    std::string out;
    cHTMLBlockRenderer::renderItem(parser, parser.rootElement()->firstChild(), out, 1033, false, config, &context);
    if (context.state == cHTMLBlockRenderContext::kVerseSpanOpen)
        out += "</span>";
    return out;
}

// A verse marker named by a reference in a book the King James frame does not hold (the books
// between the testaments, Psalm 151) keeps its anchor and number.
TEST(BlockRenderer, AVerseOfABookOutsideTheTranslationsFrameKeepsItsAnchorAndNumber)
{
    cHTMLParser parser;
    parser.setNodeSource(bookSectionTreeProvider, &fixture().book->book);
    ASSERT_TRUE(parser.parseSection(6));
    cHTMLBlockRenderContext context;
    context.isBible = 1;
    ASSERT_EQ(context.translationAbbreviation, "KJV");
    std::string out;
    cHTMLBlockRenderer::renderItem(parser, parser.rootElement()->firstChild(), out, 1033, false, nullptr, &context);
    EXPECT_NE(std::string::npos, out.find("<span id='_s95.1.1'><sup><small>1</small></sup></span>")) << out;
}

// Footnote numbers depend on the renderings before; the golden files hold "_fnN".
std::string normalised(const std::string& html)
{
    std::string out;
    for (size_t i = 0; i < html.size();) {
        if (html.compare(i, 3, "_fn") == 0 && i + 3 < html.size() &&
            std::isdigit(static_cast<unsigned char>(html[i + 3]))) {
            out += "_fnN";
            i += 3;
            while (i < html.size() && std::isdigit(static_cast<unsigned char>(html[i])))
                ++i;
        } else {
            out += html[i++];
        }
    }
    return out;
}

int firstFootnoteNumber(const std::string& html)
{
    const size_t at = html.find("_fn");
    return at == std::string::npos ? -1 : std::atoi(html.c_str() + at + 3);
}

void expectGolden(const std::string& name, const std::string& html)
{
    const std::string path = std::string(QS_SOURCE_DIR) + "/tests/render/golden/" + name;
    if (std::getenv("QS_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(path, std::ios::binary) << html;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << path;
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(expected.str(), html) << name;
}

struct TestUserData : cBlockRenderUserData {
    std::map<uint32_t, std::pair<uint16_t, uint16_t>> highlights;
    std::vector<uint32_t> notes;
    bool verseHighlight(const cBibleRef& ref, uint16_t& fore, uint16_t& back) const override
    {
        auto it = highlights.find(ref.startKey());
        if (it == highlights.end())
            return false;
        fore = it->second.first;
        back = it->second.second;
        return true;
    }
    bool hasBibleNote(const cBibleRef& ref) const override
    {
        return std::find(notes.begin(), notes.end(), ref.startKey()) != notes.end();
    }
};

struct UserDataScope {
    std::shared_ptr<TestUserData> shared = std::make_shared<TestUserData>();
    TestUserData& data = *shared;
    UserDataScope() { cBlockRenderUserData::install(shared); }
    ~UserDataScope() { cBlockRenderUserData::install(nullptr); }
};

}  // namespace

TEST(BlockRenderer, VerseSpansNoteLinksAndWordsOfChrist)
{
    UserDataScope user;
    user.data.notes = {kJohn317};
    cHTMLRenderConfiguration config;
    cLString8 prefix(cHTMLRenderConfiguration::kDefaultLinkPrefix),
        suffix(cHTMLRenderConfiguration::kDefaultLinkSuffix);
    config.linkPrefix = &prefix;
    config.linkSuffix = &suffix;
    const std::string html = renderBlocks(0, 1, &config);
    EXPECT_EQ(0u,
        html.find("<p><span data-verse-span=\"sel_s43.3.16\"><span id='_s43.3.16'><sup><small>16</small></sup></span>"))
        << html;
    expectGolden("block-verses.html", normalised(html));
}

TEST(BlockRenderer, HighlightsOfEveryStyle)
{
    UserDataScope user;
    std::string all;
    const std::vector<uint16_t> values = {2, 0x8002, 0x8004, 0x8008, 0x8010, 0x8018};
    for (int32_t style : {0, 1}) {
        for (uint16_t value : values) {
            user.data.highlights = {{kJohn316, {0, value}}};
            cHTMLRenderConfiguration config;
            const int32_t s = style;
            if (style != 0)
                config.highlightStyle = &s;
            const int32_t hide = 0;
            config.footnoteOption = &hide;
            all += "style " + std::to_string(style) + ", value " + std::to_string(value) + ":\n" +
                renderBlocks(0, 0, &config) + "\n";
        }
    }
    // The temporary highlight: style 2, the verse's section inside the range.
    user.data.highlights = {{kJohn316, {0, 2}}};
    cHTMLRenderConfiguration temp;
    const int32_t two = 2, hide = 0;
    const bool on = true;
    temp.highlightStyle = &two;
    temp.footnoteOption = &hide;
    temp.enableTempHighlights = &on;
    temp.tempHighlightStartSection = 1;
    temp.tempHighlightEndSection = 1;
    const std::string outside = renderBlocks(0, 0, &temp);
    EXPECT_EQ(std::string::npos, outside.find("_temphl"));
    temp.tempHighlightStartSection = 0;
    EXPECT_EQ(std::string::npos, renderBlocks(0, 0, &temp).find("_temphl"));  // both sections must be set
    cHTMLRenderConfiguration inRange;
    inRange.highlightStyle = &two;
    inRange.footnoteOption = &hide;
    inRange.enableTempHighlights = &on;
    // Verse 3:16 is section 0 here, which is no section for a temporary highlight; 3:17 is section 1.
    inRange.tempHighlightStartSection = 1;
    inRange.tempHighlightEndSection = 2;
    all += "temporary:\n" + renderBlocks(1, 1, &inRange) + "\n";
    EXPECT_NE(std::string::npos, all.find("class=\"_temphl\" data-verse-span=\"sel_s43.3.17\""));
    expectGolden("block-highlights.html", all);
}

TEST(BlockRenderer, FootnotesInEachStyle)
{
    std::string all;
    const int32_t hide = 0, collapse = 1, expand = 2;
    for (const int32_t* option : {&hide, &collapse, &expand, static_cast<const int32_t*>(nullptr)}) {
        cHTMLRenderConfiguration config;
        config.footnoteOption = option;
        all += "option " + (option != nullptr ? std::to_string(*option) : std::string("none")) + ":\n" +
            normalised(renderBlocks(0, 0, &config)) + "\n";
    }
    expectGolden("block-footnotes.html", all);

    // Footnotes are numbered on across renderings.
    const std::string first = renderBlocks(0, 0, nullptr), second = renderBlocks(0, 0, nullptr);
    ASSERT_GT(firstFootnoteNumber(first), 0);
    EXPECT_EQ(firstFootnoteNumber(first) + 1, firstFootnoteNumber(second));
}

TEST(BlockRenderer, StrongsLinks)
{
    cHTMLRenderConfiguration config;
    cLString8 prefix(cHTMLRenderConfiguration::kDefaultLinkPrefix),
        suffix(cHTMLRenderConfiguration::kDefaultLinkSuffix);
    config.linkPrefix = &prefix;
    config.linkSuffix = &suffix;
    std::string html = renderBlocks(2, 2, &config, false);
    EXPECT_NE(std::string::npos, html.find("H430")) << html;
    cHTMLRenderConfiguration tagged;
    cLString8 tag("span"), hebrew("class='heb'");
    tagged.strongsTag = &tag;
    tagged.strongsHebrewTagAttributes = &hebrew;
    html += "\n" + renderBlocks(2, 2, &tagged, false) + "\n";
    expectGolden("block-strongs.html", html);
}

TEST(BlockRenderer, SearchHitSpans)
{
    cSearchWordList list;
    list.appendItem(u"god", AnItem::kNoWordNumber, false, nullptr);
    cHTMLRenderConfiguration config;
    const bool on = true;
    const int32_t hide = 0;
    config.highlightHits = &on;
    config.wordsToMark = &list;
    config.footnoteOption = &hide;
    const std::string html = renderBlocks(0, 1, &config);
    EXPECT_NE(std::string::npos, html.find("<span class='_search'>god</span>")) << html;
    EXPECT_EQ(std::string::npos, html.find('\x01'));
    EXPECT_EQ(std::string::npos, html.find('\x07'));
    expectGolden("block-search.html", html);
}

TEST(BlockRenderer, InterlinearBlock)
{
    cBkWordAttributeDefs defs(kDefinitions);
    cHTMLRenderConfiguration config;
    config.wordAttributeDefinitions = &defs;
    const bool on = true;
    config.suppressWordMarks = &on;
    const std::string html = renderBlocks(3, 3, &config);
    EXPECT_NE(std::string::npos, html.find("_interlinearwordtable")) << html;
    EXPECT_NE(std::string::npos, html.find("_interlinearversenumbertable")) << html;
    EXPECT_EQ(std::string::npos, html.find('\x02'));
    expectGolden("block-interlinear.html", html);

    // A highlighted verse: each word's top row carries the highlight class.
    struct Highlight : cBlockRenderUserData {
        bool verseHighlight(const cBibleRef&, uint16_t& fore, uint16_t& back) const override
        {
            fore = 0;
            back = 2;
            return true;
        }
    };
    cBlockRenderUserData::install(std::make_shared<Highlight>());
    const std::string lit = renderBlocks(3, 3, &config);
    cBlockRenderUserData::install(nullptr);
    EXPECT_NE(std::string::npos, lit.find("<tr class=\"_interlineartoprow lightpink\"><td align=\"center\">")) << lit;
}

TEST(BlockRenderer, ImagesHeadingsAndEscapedLinks)
{
    cHTMLRenderConfiguration config;
    const float pane = 400;
    config.paneWidth = &pane;
    cLString8 prefix("javascript:href('"), suffix("');");
    config.linkPrefix = &prefix;
    config.linkSuffix = &suffix;
    std::string html = renderBlocks(4, 4, &config, false);
    EXPECT_NE(std::string::npos, html.find("<img src=\"wide.png\" height=\"50\" width=\"400\" usemap=\"#_map5\" />"))
        << html;
    // The image map of section 5 follows the image, its areas scaled to the image's new size.
    EXPECT_NE(std::string::npos,
        html.find("<map data-original-width=\"800\" data-original-height=\"100\" "
                  "data-adjusted-width=\"400\" data-adjusted-height=\"50\" name=\"_map5\">"))
        << html;
    EXPECT_NE(std::string::npos, html.find("coords=\"0,5,200,25\"")) << html;
    EXPECT_NE(std::string::npos, html.find("<h6>")) << html;
    EXPECT_NE(std::string::npos, html.find("it@@apos@@s @@quot@@x@@quot@@")) << html;
    config.fullWidthOverPane = 1;
    const std::string full = renderBlocks(4, 4, &config, false);
    EXPECT_NE(std::string::npos, full.find("height=\"auto\" width=\"100%\"")) << full;
    // Without link prefix and suffix an attribute value is escaped, never left to end the attribute.
    const std::string plain = renderBlocks(4, 4, nullptr, false);
    EXPECT_NE(std::string::npos, plain.find("href=\"bible:it's &quot;x&quot;\"")) << plain;
    expectGolden("block-images.html", html + "\n" + full + "\n" + plain + "\n");
}

TEST(BlockRenderer, SelectedSectionsParagraphsAndHiddenNumbers)
{
    cHTMLRenderConfiguration config;
    cLObjectArray<cLString8> selected;
    selected.addCopy(cLString8("sel_s43.3.17"));
    cLString8 cls(cHTMLRenderConfiguration::kSelectedSectionClass);
    config.selectedSections = &selected;
    config.selectedSectionClass = &cls;
    const bool yes = true;
    config.hideVerseNumbers = &yes;
    const int32_t hide = 0;
    config.footnoteOption = &hide;
    const std::string html = renderBlocks(0, 1, &config);
    EXPECT_NE(std::string::npos, html.find("<span data-verse-span=\"sel_s43.3.16\"><span id='_s43.3.16'></span>"))
        << html;
    EXPECT_NE(std::string::npos, html.find("<span class=\" marching-ants\" data-verse-span=\"sel_s43.3.17\">")) << html;

    // One verse per paragraph: the verse number in bold, and a line break after a verse span it closes.
    cHTMLParser parser;
    parser.setNodeSource(bookSectionTreeProvider, &fixture().book->book);
    ASSERT_TRUE(parser.parseSection(0));
    cHTMLBlockRenderContext context;
    context.isBible = 1;
    context.oneVersePerParagraph = 1;
    context.state = cHTMLBlockRenderContext::kVerseSpanOpen;  // a span left open by the block before
    context.verseAnchorId = "_s43.3.15";
    std::string out;
    cHTMLRenderConfiguration plain;
    plain.footnoteOption = &hide;
    cHTMLBlockRenderer::renderItem(parser, parser.rootElement()->firstChild(), out, 1033, false, &plain, &context);
    EXPECT_EQ(0u,
        out.find("</span><p><span data-verse-span=\"sel_s43.3.16\"><span id='_s43.3.16'><strong "
                 "style=\"margin:.3em\">16</strong></span>"))
        << out;
}

TEST(BlockRenderer, WithoutContextTagsAreWrittenAsTheyAre)
{
    cHTMLParser parser;
    parser.setNodeSource(bookSectionTreeProvider, &fixture().book->book);
    ASSERT_TRUE(parser.parseSection(0));
    std::string out;
    cHTMLBlockRenderer::renderItem(parser, parser.rootElement()->firstChild(), out, 1033, false, nullptr, nullptr);
    EXPECT_NE(std::string::npos, out.find("<qs_woc>")) << out;
    EXPECT_NE(std::string::npos, out.find("<qs_note>")) << out;
    EXPECT_EQ(std::string::npos, out.find("data-verse-span")) << out;
}

#include "render/cHTMLParser.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// Serves markup token by token: a tag runs from "<" through ">", text up to the next "<".
// Sections start at the given positions.
struct MarkupSource {
    std::string text;
    std::vector<std::uint32_t> sections {0};
    std::vector<std::int32_t> requests;

    std::size_t tokenEnd(std::size_t p) const
    {
        std::size_t e = text[p] == '<' ? text.find('>', p) : text.find('<', p);
        if (e == std::string::npos)
            return text.size();
        return text[p] == '<' ? e + 1 : e;
    }

    static bool serve(void* context, std::int32_t request, std::uint32_t position, const char* name, std::int32_t count,
        std::string& out, std::uint32_t& outStart, std::int32_t& outEnd, void*)
    {
        auto* self = static_cast<MarkupSource*>(context);
        self->requests.push_back(request);
        out.clear();
        if (request == kHTMLRequestExcerpt) {
            if (position > self->text.size())
                return false;
            out = self->text.substr(position, static_cast<std::size_t>(count));
            return true;
        }
        if (request == kHTMLRequestImageWidth)
            return name != nullptr && std::string(name) == "ok.png";
        if (request < 0)
            return false;
        std::size_t p;
        if (count == 0) {
            if (static_cast<std::size_t>(request) >= self->sections.size())
                return false;
            p = self->sections[static_cast<std::size_t>(request)];
        } else {
            if (position >= self->text.size())
                return false;
            p = self->tokenEnd(position);
        }
        if (p >= self->text.size())
            return false;
        std::size_t e = self->tokenEnd(p);
        out = self->text.substr(p, e - p);
        outStart = static_cast<std::uint32_t>(p);
        outEnd = static_cast<std::int32_t>(e);
        return true;
    }
};

// A readable picture of a tree: tag(children...), text nodes as 'text'.
std::string dump(const cHTMLTagElement* e)
{
    if (e->isTextNode())
        return "'" + e->attributes().valueForCode(HTMLAttr::untagged_text) + "'";
    std::string out = tagNameForCode(e->tagCode());
    if (e->firstChild() == nullptr)
        return out;
    out += "(";
    for (const cHTMLTagElement* c = e->firstChild(); c != nullptr; c = c->nextSibling()) {
        if (c != e->firstChild())
            out += ",";
        out += dump(c);
    }
    return out + ")";
}

std::string dumpChildren(const cHTMLTagElement* root)
{
    std::string out;
    for (const cHTMLTagElement* c = root->firstChild(); c != nullptr; c = c->nextSibling()) {
        if (!out.empty())
            out += " ";
        out += dump(c);
    }
    return out;
}

struct Parsed {
    MarkupSource source;
    cHTMLParser parser;
    bool ok = false;
    explicit Parsed(std::string text, std::vector<std::uint32_t> sections = {0})
    {
        source.text = std::move(text);
        source.sections = std::move(sections);
        parser.setTextSource(&MarkupSource::serve, &source);
        ok = parser.parseAll();
    }
    std::string tree() const { return dumpChildren(parser.rootElement()); }
};

}  // namespace

TEST(cHTMLParser, WellFormedMarkup)
{
    Parsed a("<p>a<b>b</b></p>");
    EXPECT_TRUE(a.ok);
    EXPECT_EQ(a.tree(), "p('a',b('b'))");
    EXPECT_EQ(a.parser.message(), "");

    Parsed list("<ul><li>x<li>y</ul>");
    EXPECT_TRUE(list.ok);
    EXPECT_EQ(list.tree(), "ul(li('x'),li('y'))");

    Parsed table("<table> <caption>c</caption><colgroup><col><col></colgroup>"
                 "<thead><tr><th>h</th></tr></thead><tr><td>1<td><p>2</p></tr> </table>");
    EXPECT_TRUE(table.ok) << table.parser.message();
    EXPECT_EQ(table.tree(), "table(caption('c'),colgroup(col,col),thead(tr(th('h'))),tr(td('1'),td(p('2'))))");

    Parsed dl("<dl><dt>term<dd>one <i>two</i></dl>");
    EXPECT_TRUE(dl.ok);
    EXPECT_EQ(dl.tree(), "dl(dt('term'),dd('one ',i('two')))");

    Parsed form("<form><label><input></label><select><option>a<optgroup><option>b</option></optgroup></select>"
                "<fieldset><legend>L</legend><textarea>t</textarea></fieldset></form>");
    EXPECT_TRUE(form.ok) << form.parser.message();
    EXPECT_EQ(form.tree(),
        "form(label(input),select(option('a'),optgroup(option('b'))),"
        "fieldset(legend('L'),textarea('t')))");

    Parsed pre("<pre>x <a href=y>l</a><br>  z</pre>");
    EXPECT_TRUE(pre.ok);
    EXPECT_EQ(pre.tree(), "pre('x ',a('l'),br,' z')");

    Parsed map("<map name=m><area href=a> <area href=b></map>");
    EXPECT_TRUE(map.ok);
    EXPECT_EQ(map.tree(), "map(area,area)");

    Parsed book("<h2>T <qs_sync type=verse value=1></h2>");
    EXPECT_TRUE(book.ok);
    EXPECT_EQ(book.tree(), "h2('T ',qs_sync)");

    Parsed note("<blockquote><p>a<qs_note><p>n</p></qs_note><qs_attr>x</p></blockquote>");
    EXPECT_TRUE(note.ok) << note.parser.message();
    EXPECT_EQ(note.tree(), "blockquote(p('a',qs_note(p('n')),qs_attr,'x'))");
}

TEST(cHTMLParser, SourcePositionsAndAttributes)
{
    Parsed a("<p class=x>ab</p> <p>");
    ASSERT_TRUE(a.ok);
    const cHTMLTagElement* p = a.parser.rootElement()->firstChild();
    EXPECT_EQ(p->sourceStart(), 0u);
    EXPECT_EQ(p->sourceEnd(), 11u);
    EXPECT_EQ(p->sourceAfter(), 18u);  // white space after the block is skipped
    EXPECT_EQ(p->attributes().valueForName("class"), "x");
    EXPECT_EQ(p->sectionNumber(), 0u);
    EXPECT_EQ(p->firstChild()->sourceStart(), 11u);
    EXPECT_EQ(p->firstChild()->sourceAfter(), 13u);
}

TEST(cHTMLParser, DocumentFrame)
{
    Parsed doc("<html> <head><title>T</title><style>s</style><meta name=x></head><body><p>a</p>\n</body></html>");
    // The closing tags end the input: the block stays but the parse reports failure.
    EXPECT_FALSE(doc.ok);
    EXPECT_EQ(doc.tree(), "p('a')");
    EXPECT_EQ(dumpChildren(doc.parser.headRootElement()), "head(title('T'),meta)");  // style dropped
    EXPECT_EQ(doc.parser.message(), "");

    Parsed open("<html>\n<body>\n<p>a</p><p>b</p>");
    EXPECT_TRUE(open.ok);
    EXPECT_EQ(open.tree(), "p('a')");  // one section at a time
}

TEST(cHTMLParser, ImpliedParagraph)
{
    Parsed a("some <i>text</i>");
    EXPECT_TRUE(a.ok);
    EXPECT_EQ(a.tree(), "p('some ',i('text'))");
    const cHTMLTagElement* p = a.parser.rootElement()->firstChild();
    EXPECT_EQ(p->sourceStart(), 0u);
    EXPECT_EQ(p->sourceEnd(), 5u);
}

TEST(cHTMLParser, RepairsAndMessages)
{
    Parsed b("<b>x");
    EXPECT_TRUE(b.ok);
    EXPECT_EQ(b.tree(), "'<b>'");
    EXPECT_EQ(b.parser.message(), "Required closing tag is missing, or this element has illegal contents.");
    std::uint32_t s = 9, e = 9;
    b.parser.errorSpan(&s, &e);
    EXPECT_EQ(s, 0u);
    EXPECT_EQ(e, 4u);
    EXPECT_EQ(b.parser.errorExcerpt(), "<b>x");

    Parsed emptyTable("<table></table>");
    EXPECT_TRUE(emptyTable.ok);
    EXPECT_EQ(emptyTable.tree(), "table");

    Parsed badTable("<table><p>x</p></table>");
    EXPECT_EQ(badTable.parser.message(), "<table> is empty, unterminated, or contains illegal elements.");
    EXPECT_EQ(badTable.tree(), "'<table>'");

    Parsed openTable("<table>");
    EXPECT_TRUE(openTable.ok);
    EXPECT_EQ(openTable.parser.message(), "<table> has no contents.");
    EXPECT_EQ(openTable.tree(), "'<table>'");

    Parsed dl("<dl><dt>a</dl>");
    EXPECT_EQ(dl.parser.message(), "Expected at least 1 items contained in this tag, but only saw 0");

    Parsed fieldset("<form><fieldset>");
    EXPECT_EQ(fieldset.parser.message(), "EOF while looking for <fieldset> contents.");
    Parsed fieldset2("<form><fieldset><p>a</p></form>");
    EXPECT_EQ(fieldset2.parser.message(), "<fieldset> tag is empty or unterminated.");

    Parsed unknown("<p>a</p><blink>");
    EXPECT_FALSE(unknown.ok);
    EXPECT_EQ(unknown.parser.message(), "Unknown tag encountered.");
    EXPECT_EQ(unknown.tree(), "p('a')");

    Parsed stray("<p>a</p></i>");
    EXPECT_FALSE(stray.ok);
    EXPECT_EQ(stray.parser.message(), "Closing tag with no opening tag.");

    Parsed unrecognized("</p> <p>a</p>");
    EXPECT_TRUE(unrecognized.ok);
    EXPECT_EQ(unrecognized.parser.message(), "Unrecognized tag, or element contains illegal tags after this point.");
    EXPECT_EQ(unrecognized.tree(), "'</p>'");

    Parsed unterminated("<table><tr><td>x</td></tr><p>");
    EXPECT_TRUE(unterminated.ok);
    EXPECT_EQ(unterminated.parser.message(), "<table> is empty, unterminated, or contains illegal elements.");
    EXPECT_EQ(unterminated.tree(), "'<table>'");

    Parsed nothing("<html></body>");
    EXPECT_FALSE(nothing.ok);
}

TEST(cHTMLParser, FirstProblemIsKept)
{
    // The unclosed b fails first; the list's own failure later does not replace the message.
    Parsed a("<ul><li><b>x</li></ul>");
    EXPECT_EQ(a.parser.message(), "Required closing tag is missing, or this element has illegal contents.");
    std::uint32_t s = 0, e = 0;
    a.parser.errorSpan(&s, &e);
    EXPECT_EQ(s, 8u);
}

TEST(cHTMLParser, TextRunsAreMerged)
{
    // Adjacent text tokens (as a template reader gives when it hides a marker between them).
    MarkupSource source;
    source.text = "<p> |Hello</p>";
    cHTMLParser parser;
    // Serve " " and "Hello" as two tokens by treating "|" as a hidden split.
    struct Split {
        static bool serve(void* c, std::int32_t r, std::uint32_t pos, const char* n, std::int32_t count,
            std::string& out, std::uint32_t& s, std::int32_t& e, void* x)
        {
            auto* src = static_cast<MarkupSource*>(c);
            if (r == 0 && count == 1 && pos == 3) {  // after " "
                out = "Hello";
                s = 5;
                e = 10;
                return true;
            }
            bool ok = MarkupSource::serve(c, r, pos, n, count, out, s, e, x);
            if (ok && out == " |Hello") {
                out = " ";
                e = 4;
                (void)src;
            }
            return ok;
        }
    };
    parser.setTextSource(&Split::serve, &source);
    ASSERT_TRUE(parser.parseAll());
    const cHTMLTagElement* text = parser.rootElement()->firstChild()->firstChild();
    EXPECT_EQ(text->attributes().valueForCode(HTMLAttr::untagged_text), " Hello");
    EXPECT_FALSE(text->attributes().hasCode(HTMLAttr::is_whitespace));
}

TEST(cHTMLParser, HostileNestingIsBounded)
{
    std::string deep;
    for (int i = 0; i < 20000; ++i)
        deep += "<b>";
    Parsed a(deep);
    EXPECT_TRUE(a.ok);  // the first token becomes text
    EXPECT_EQ(a.tree(), "'<b>'");
    EXPECT_EQ(a.parser.message(), "Elements are nested too deeply.");

    std::string closed;
    for (int i = 0; i < 100; ++i)
        closed += "<blockquote>";
    closed += "x";
    for (int i = 0; i < 100; ++i)
        closed += "</blockquote>";
    Parsed fine(closed);
    EXPECT_TRUE(fine.ok);
    EXPECT_EQ(fine.parser.message(), "");

    // Each level is tried twice when it fails; without a bound this takes 2^60 steps.
    std::string branching;
    for (int i = 0; i < 40; ++i)
        branching += "<qs_note><p><b>";
    Parsed b(branching);
    EXPECT_FALSE(b.ok);  // given up, not repaired
    EXPECT_EQ(b.parser.message(), "Expected at least 1 items contained in this tag, but only saw 0");
    EXPECT_TRUE(b.parser.rootElement()->firstChild() == nullptr);
}

TEST(cHTMLParser, TextModeSectionWalking)
{
    //                0         1         2         3
    //                0123456789012345678901234567890123456789
    MarkupSource source;
    source.text = "<p>a</p><h1>b</h1><ul><li>c</ul>x <b>y</b><p>q</p><b>z";
    source.sections = {0, 8, 18, 32, 42, 50};
    cHTMLParser parser;
    parser.setTextSource(&MarkupSource::serve, &source);
    ASSERT_TRUE(parser.parseSection(1));
    EXPECT_EQ(dumpChildren(parser.rootElement()), "h1('b')");
    std::uint32_t first = 0, last = 0;
    parser.sectionRange(&first, &last);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(last, 1u);

    cHTMLTagElement* item = nullptr;
    ASSERT_TRUE(parser.parseNextSection(&item));
    EXPECT_EQ(dump(item), "ul(li('c'))");
    EXPECT_EQ(item->sectionNumber(), 2u);
    EXPECT_EQ(item->firstChild()->sectionNumber(), 2u);
    ASSERT_TRUE(parser.parseNextSection(&item));
    EXPECT_EQ(dump(item), "p('x ',b('y'))");
    EXPECT_EQ(item->sectionNumber(), 3u);
    ASSERT_TRUE(parser.parseNextSection(&item));
    EXPECT_EQ(dump(item), "p('q')");
    // Section 5 is an unclosed b: repaired into text, still a success.
    ASSERT_TRUE(parser.parseNextSection(&item));
    EXPECT_EQ(dump(item), "'<b>'");
    EXPECT_EQ(item->sectionNumber(), 5u);
    EXPECT_FALSE(parser.message().empty());
    EXPECT_FALSE(parser.parseNextSection(&item));
    EXPECT_EQ(item, nullptr);

    parser.sectionRange(&first, &last);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(last, 5u);
    EXPECT_EQ(dumpChildren(parser.rootElement()), "h1('b') ul(li('c')) p('x ',b('y')) p('q') '<b>'");

    // A section that does not exist, and a child that is not the root's, fail.
    EXPECT_FALSE(parser.parseSection(9));
    cHTMLTagElement stranger;
    EXPECT_FALSE(parser.parseSectionAfter(&stranger, &item));

    // Text mode has no text positions and no node services.
    std::uint32_t position = 0;
    EXPECT_TRUE(parser.findTextPosition(&stranger, &position, true));
    EXPECT_EQ(position, cHTMLParser::kNoSection);
    EXPECT_FALSE(parser.requestTextNode(&stranger, 0, false, nullptr));
    EXPECT_FALSE(parser.extractFile("/tmp", "x"));
    EXPECT_TRUE(parser.imageWidthUsable("ok.png", nullptr));
    EXPECT_FALSE(parser.imageWidthUsable("no.png", nullptr));
}

TEST(cHTMLParser, SectionNumberSurvivesAReportedProblem)
{
    MarkupSource source;
    source.text = "<p>a</p><p>b</p></i><p>c</p>";
    source.sections = {0, 8, 20};
    cHTMLParser parser;
    parser.setTextSource(&MarkupSource::serve, &source);
    EXPECT_FALSE(parser.parseSection(1));  // "</i>" follows the block
    EXPECT_EQ(parser.message(), "Closing tag with no opening tag.");
    ASSERT_NE(parser.rootElement()->firstChild(), nullptr);
    EXPECT_EQ(parser.rootElement()->firstChild()->sectionNumber(), 1u);
    cHTMLTagElement* item = nullptr;
    ASSERT_TRUE(parser.parseNextSection(&item));
    EXPECT_EQ(dump(item), "p('c')");
}

TEST(cHTMLParser, ParserWithoutSource)
{
    cHTMLParser parser;
    EXPECT_EQ(parser.rootElement(), nullptr);
    EXPECT_FALSE(parser.parseAll());
    EXPECT_FALSE(parser.parseSection(0));
    cHTMLTagElement* item = nullptr;
    EXPECT_FALSE(parser.parseNextSection(&item));
    std::uint32_t first = 0, last = 0;
    parser.sectionRange(&first, &last);
    EXPECT_EQ(first, cHTMLParser::kNoSection);
    EXPECT_EQ(last, cHTMLParser::kNoSection);
    parser.setTextSource(nullptr, nullptr);
    EXPECT_EQ(parser.rootElement(), nullptr);
}

// ---- node mode ----

namespace {

// Serves trees built by the test: section n is a `p` holding one text node at text position
// positions[n] (or no position when it is 0), and an empty `div` for the head.
struct TreeSource {
    std::vector<std::uint32_t> positions;
    std::vector<std::pair<std::int32_t, std::string>> requests;
    bool withHead = true;
    int live = 0;

    static bool serve(
        void* context, std::int32_t request, const void* argument, void* outTree, cPlatformImage*, std::uint32_t*)
    {
        auto* self = static_cast<TreeSource*>(context);
        std::string text;
        if (request == kHTMLRequestExtractFile || request == kHTMLRequestImageWidth)
            text = static_cast<const char*>(argument);
        if (request == kHTMLRequestTextNode) {
            auto* r = static_cast<const cHTMLTextNodeRequest*>(argument);
            text = std::to_string(r->textPosition) + "/" + std::to_string(r->language) + "/" +
                std::to_string(r->rightToLeft);
            static_cast<cHTMLTagElement*>(outTree)->attributes().addCodedStringValue(HTMLAttr::untagged_text, "filled");
        }
        self->requests.emplace_back(request, text);
        if (request == kHTMLRequestHead) {
            if (self->withHead)
                *static_cast<cHTMLTagElement**>(outTree) = new cHTMLTagElement(HTMLTag::div);
            return true;
        }
        if (request == kHTMLRequestImageWidth)
            return text == "ok.png";
        if (request < 0)
            return request == kHTMLRequestTextNode || request == kHTMLRequestExtractFile;
        if (static_cast<std::size_t>(request) >= self->positions.size())
            return false;
        auto* p = new cHTMLTagElement(HTMLTag::p);
        auto* t = new cHTMLTagElement(HTMLTag::untagged_text);
        if (self->positions[static_cast<std::size_t>(request)] != 0)
            t->attributes().addCodedStringValue(
                HTMLAttr::textat, std::to_string(self->positions[static_cast<std::size_t>(request)]));
        p->appendChildren(t);
        *static_cast<cHTMLTagElement**>(outTree) = p;
        return true;
    }
};

std::string sections(const cHTMLParser& parser)
{
    std::string out;
    for (cHTMLTagElement* c = parser.rootElement()->firstChild(); c != nullptr; c = c->nextSibling())
        out += std::to_string(c->sectionNumber()) + ",";
    return out;
}

}  // namespace

TEST(cHTMLParser, NodeModeSectionWalking)
{
    TreeSource source;
    source.positions = {100, 200, 0, 0, 500};
    cHTMLParser parser;
    parser.setNodeSource(&TreeSource::serve, &source);
    ASSERT_TRUE(parser.parseAll());
    EXPECT_EQ(dumpChildren(parser.headRootElement()), "div");
    EXPECT_EQ(sections(parser), "0,");
    EXPECT_EQ(source.requests[0].first, -1);
    EXPECT_EQ(source.requests[1].first, 0);

    ASSERT_TRUE(parser.parseSection(2));
    EXPECT_EQ(sections(parser), "2,");
    EXPECT_EQ(parser.rootElement()->firstChild()->sourceStart(), 2u);
    EXPECT_EQ(parser.rootElement()->firstChild()->firstChild()->sectionNumber(), 2u);
    cHTMLTagElement* item = nullptr;
    ASSERT_TRUE(parser.parseNextSection(&item));
    EXPECT_EQ(item->sectionNumber(), 3u);
    EXPECT_EQ(sections(parser), "2,3,");
    EXPECT_FALSE(parser.parseSection(7));
    EXPECT_EQ(parser.rootElement()->firstChild(), nullptr);
}

TEST(cHTMLParser, FindTextPosition)
{
    TreeSource source;
    source.positions = {100, 200, 0, 0, 500};
    cHTMLParser parser;
    parser.setNodeSource(&TreeSource::serve, &source);
    ASSERT_TRUE(parser.parseSection(1));
    cHTMLTagElement* p1 = parser.rootElement()->firstChild();
    std::uint32_t position = 0;
    ASSERT_TRUE(parser.findTextPosition(p1, &position, false));
    EXPECT_EQ(position, 200u);

    ASSERT_TRUE(parser.parseSection(2));
    cHTMLTagElement* p2 = parser.rootElement()->firstChild();
    EXPECT_FALSE(parser.findTextPosition(p2, &position, false));
    // Following on reads sections 3 and 4 and finds 500, then drops them again.
    source.requests.clear();
    ASSERT_TRUE(parser.findTextPosition(p2->firstChild(), &position, true));
    EXPECT_EQ(position, 500u);
    EXPECT_EQ(sections(parser), "2,");
    ASSERT_EQ(source.requests.size(), 2u);
    EXPECT_EQ(source.requests[1].first, 4);

    // Nothing after: every further section is tried, none kept.
    source.positions = {100, 200, 0, 0, 0, 0};
    EXPECT_FALSE(parser.findTextPosition(p2, &position, true));
    EXPECT_EQ(sections(parser), "2,");

    // Inside a tree: a later sibling's descendant, and an ancestor's sibling with followOn.
    cHTMLTagElement root;
    auto* a = new cHTMLTagElement(HTMLTag::b);
    auto* b = new cHTMLTagElement(HTMLTag::i);
    auto* c = new cHTMLTagElement(HTMLTag::u);
    root.appendChildren(a);
    root.appendChildren(b);
    b->appendChildren(new cHTMLTagElement(HTMLTag::untagged_text));
    b->firstChild()->attributes().addCodedStringValue(HTMLAttr::textat, "77");
    a->appendChildren(c);
    ASSERT_TRUE(parser.findTextPosition(a, &position, false));
    EXPECT_EQ(position, 77u);
    EXPECT_FALSE(parser.findTextPosition(c, &position, false));
    ASSERT_TRUE(parser.findTextPosition(c, &position, true));
    EXPECT_EQ(position, 77u);
}

TEST(cHTMLParser, NodeServices)
{
    TreeSource source;
    source.positions = {100};
    source.withHead = false;
    cHTMLParser parser;
    parser.setNodeSource(&TreeSource::serve, &source);
    ASSERT_TRUE(parser.parseAll());
    EXPECT_EQ(parser.headRootElement()->firstChild(), nullptr);
    cHTMLTagElement* text = parser.rootElement()->firstChild()->firstChild();
    source.requests.clear();
    ASSERT_TRUE(parser.requestTextNode(text, 12, true, nullptr));
    EXPECT_EQ(text->attributes().valueForCode(HTMLAttr::untagged_text), "filled");
    EXPECT_EQ(source.requests[0], (std::pair<std::int32_t, std::string>(-2, "100/12/1")));
    EXPECT_FALSE(parser.requestTextNode(parser.rootElement()->firstChild(), 0, false, nullptr));  // no $textat
    ASSERT_TRUE(parser.extractFile("/tmp/cache", "pic.png"));
    EXPECT_EQ(source.requests.back(), (std::pair<std::int32_t, std::string>(-8, "pic.png\t/tmp/cache")));
    EXPECT_TRUE(parser.imageWidthUsable("ok.png", nullptr));
    EXPECT_FALSE(parser.imageWidthUsable("bad.png", nullptr));
}

TEST(cHTMLParser, IndependentParsersOnSeveralThreads)
{
    const std::string markup = "<table><tr><td>a<td><ul><li>b<li><i>c</i></ul></tr></table>";
    std::vector<std::string> results(6);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < results.size(); ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                Parsed p(markup);
                results[t] = p.ok ? p.tree() : "failed";
            }
        });
    for (auto& th : threads)
        th.join();
    for (const std::string& r : results)
        EXPECT_EQ(r, "table(tr(td('a'),td(ul(li('b'),li(i('c'))))))");
}

TEST(cHTMLParser, MisbehavingSourcesCannotHangTheParser)
{
    // Serves "x" at position 0 again and again.
    struct Stuck {
        static bool serve(void*, std::int32_t r, std::uint32_t, const char*, std::int32_t, std::string& out,
            std::uint32_t& s, std::int32_t& e, void*)
        {
            if (r < 0)
                return false;
            out = "x";
            s = 0;
            e = 1;
            return true;
        }
    };
    cHTMLParser parser;
    parser.setTextSource(&Stuck::serve, nullptr);
    EXPECT_TRUE(parser.parseAll());
    EXPECT_EQ(dumpChildren(parser.rootElement()), "p('x')");

    // A node source that refuses the head fails the whole parse.
    struct NoHead {
        static bool serve(void*, std::int32_t r, const void*, void*, cPlatformImage*, std::uint32_t*)
        {
            return r != -1;
        }
    };
    parser.setNodeSource(&NoHead::serve, nullptr);
    EXPECT_FALSE(parser.parseAll());
}

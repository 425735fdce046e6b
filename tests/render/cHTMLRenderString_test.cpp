#include "render/cHTMLRenderString.h"

#include <gtest/gtest.h>

#include "engine/bookfile/TextTokenTestBook.h"
#include "render/BookSectionTreeProvider.h"
#include "render/cHTMLRenderConfiguration.h"

using TvkEncode::Node;
using TvkEncode::NodeAttribute;

namespace {

constexpr uint8_t kP = 46, kText = 75, kOl = 43, kUl = 74, kLi = 38, kImg = 33, kBr = 9, kNote = 53, kLink = 50;
constexpr uint32_t kType = 111, kStart = 102, kSrc = 100;

const std::vector<std::string> kWords = {"alpha", "beta", "delta", "gamma"};

Node text(uint32_t at)
{
    return Node {kText, {NodeAttribute::textAt(at)}, {}};
}

struct Book {
    std::unique_ptr<TextTestBook> book;
    std::vector<uint32_t> at;
    Book()
    {
        TextBookSpec s;
        s.words = kWords;
        s.punctuation = {","};
        auto add = [&](std::initializer_list<const char*> words) {
            at.push_back(static_cast<uint32_t>(4 + s.tokens.size()));
            for (const char* w : words)
                wordToken(s.tokens, indexOf(kWords, w));
            s.tokens.push_back(0xCE);
        };
        add({"alpha", "beta"});
        add({"gamma"});
        add({"delta"});
        add({"alpha"});
        add({"beta"});
        add({"gamma"});
        add({"delta"});
        // A word with its Strong's number, a note, and the next word right after the note.
        const auto runAt = [&] { return static_cast<uint32_t>(4 + s.tokens.size()); };
        const uint32_t strongsAt = runAt();
        wordToken(s.tokens, indexOf(kWords, "alpha"));
        s.tokens.insert(s.tokens.end(), {0xCC, 0x06, 0xB8});  // H430
        s.tokens.push_back(0xCE);
        const uint32_t noteAt = runAt();
        wordToken(s.tokens, indexOf(kWords, "beta"));
        s.tokens.push_back(0xCE);
        const uint32_t afterAt = runAt();
        wordToken(s.tokens, indexOf(kWords, "gamma"));
        s.tokens.push_back(0xCE);
        at.push_back(runAt());
        literalToken(s.tokens, "<a href=\"bible:x\">Gen 1:1</a> and");
        s.tokens.push_back(0xCE);
        at.insert(at.end(), {strongsAt, noteAt, afterAt});
        s.sectionStarts = {at[0], at[1], at[3], at[4], at[5], at[8], at[7]};
        s.blocks = {
            Node {kP, {}, {text(at[0])}},
            Node {kOl, {NodeAttribute::withText(kType, "A"), NodeAttribute::withText(kStart, "27")},
                {Node {kLi, {}, {text(at[1])}}, Node {kLi, {}, {text(at[2])}}}},
            Node {kUl, {NodeAttribute::withText(kType, "square")}, {Node {kLi, {}, {text(at[3])}}}},
            Node {kP, {},
                {Node {kImg, {NodeAttribute::withText(kSrc, "x.png")}, {}}, Node {kBr, {}, {}}, Node {kBr, {}, {}},
                    text(at[4])}},
            Node {kP, {}, {text(at[5]), Node {kNote, {}, {text(at[6])}}}},
            Node {kP, {}, {text(at[8]), Node {kNote, {}, {text(at[9])}}, text(at[10])}},
            Node {kP, {}, {Node {kLink, {}, {text(at[7])}}}},
        };
        book = std::make_unique<TextTestBook>(s);
    }
};

Book& book()
{
    static Book b;
    return b;
}

std::string render(uint32_t firstSection, uint32_t firstText, uint32_t lastSection, uint32_t lastText,
    const cHTMLRenderConfiguration* extra = nullptr, int* result = nullptr)
{
    cHTMLRenderString rs;
    EXPECT_TRUE(rs.parseFromNodes(nullptr, &book().book->book));
    cHTMLRenderConfiguration config;
    const bool suppress = true;
    config.suppressWordMarks = &suppress;
    rs.setConfiguration(extra != nullptr ? extra : &config);
    std::string out;
    const int r = rs.renderRange(firstSection, firstText, lastSection, lastText, out);
    if (result != nullptr)
        *result = r;
    return out;
}

}  // namespace

TEST(RenderString, PlainTextOfARange)
{
    EXPECT_EQ(
        "alpha beta\r\n A. gamma\r\n B. delta\r\n - alpha\r\n[x.png]\r\nbeta\r\ngamma\r\nalpha\x06h430\x01gamma\r\n"
        "Gen 1:1 and\r\n",
        render(0, 0, 6, 100000));
    // Only the sections and text positions asked for.
    EXPECT_EQ(" A. gamma\r\n B. delta\r\n", render(1, book().at[1], 1, book().at[2]));
    EXPECT_EQ("alpha beta\r\n", render(0, 0, 0, book().at[0]));
}

TEST(RenderString, NoteMarkersAndFailures)
{
    cHTMLRenderConfiguration config;
    const bool suppress = true;
    config.suppressWordMarks = &suppress;
    cLString8 star("*");
    config.noteMarkerText = &star;
    EXPECT_EQ("gamma[*delta]\r\n", render(4, 0, 4, 100000, &config));
    int result = 1;
    EXPECT_EQ("", render(2, 0, 1, 100, nullptr, &result));
    EXPECT_EQ(0, result);
    EXPECT_EQ("", render(0, 10, 0, 5, nullptr, &result));
    EXPECT_EQ(0, result);
    EXPECT_EQ("", render(50, 0, 60, 5, nullptr, &result));
    EXPECT_EQ(0, result);

    cHTMLRenderString rs;
    ASSERT_TRUE(rs.parseFromNodes(nullptr, &book().book->book));
    rs.setConfiguration(&config);
    cLString16 wide("pre ");
    EXPECT_EQ(1, rs.renderRange(0, 0, 0, 100000, wide));
    EXPECT_STREQ("pre \r\nalpha beta\r\n", cLString8(wide).chars());  // a line break before the paragraph
}

namespace {

// A node source that counts the blocks it is asked for and hands every request to the book's own.
struct CountingSource {
    cBkBookFile* book = nullptr;
    int blockRequests = 0;
    static bool serve(void* context, std::int32_t request, const void* argument, void* outTree,
        cPlatformImage* imageHolder, std::uint32_t* inOutValue)
    {
        auto* self = static_cast<CountingSource*>(context);
        if (request >= 0)
            ++self->blockRequests;
        return bookSectionTreeProvider(self->book, request, argument, outTree, imageHolder, inOutValue);
    }
};

}  // namespace

TEST(RenderString, SearchForTheNextTextStopsAfterTheRange)
{
    // Blocks that carry no text positions, as a damaged node storage gives them: the walk's search
    // for the next position after such a block reads on no further than the section after the
    // range, instead of thousands of blocks for every element it meets.
    TextBookSpec s;
    s.words = kWords;
    s.punctuation = {","};
    wordToken(s.tokens, indexOf(kWords, "alpha"));
    s.tokens.push_back(0xCE);
    s.blocks.push_back(Node {kP, {}, {text(4)}});
    for (int i = 0; i < 3000; ++i)
        s.blocks.push_back(Node {kP, {}, {Node {kBr, {}, {}}}});
    TextTestBook t(s);
    CountingSource source;
    source.book = &t.book;
    cHTMLRenderString rs;
    ASSERT_TRUE(rs.parseFromNodes(&CountingSource::serve, &source));
    cHTMLRenderConfiguration config;
    const bool suppress = true;
    config.suppressWordMarks = &suppress;
    rs.setConfiguration(&config);
    std::string out;
    const int before = source.blockRequests;
    EXPECT_EQ(1, rs.renderRange(0, 4, 1, 5, out));
    EXPECT_EQ("alpha\r\n", out);
    EXPECT_LE(source.blockRequests - before, 4);
}

// A hidden note leaves the word after it beside a Strong's number: a word-start mark keeps the word
// out of the number, so the first letter is no suffix.
TEST(RenderString, WordAfterAHiddenNoteStaysOutOfAStrongsNumber)
{
    EXPECT_EQ("alpha\x06h430\x01gamma\r\n", render(5, 0, 5, 100000));
    cHTMLRenderConfiguration config;
    const bool suppress = true;
    config.suppressWordMarks = &suppress;
    cLString8 star("*");
    config.noteMarkerText = &star;
    EXPECT_EQ("alpha\x06h430[*beta]gamma\r\n", render(5, 0, 5, 100000, &config));
}

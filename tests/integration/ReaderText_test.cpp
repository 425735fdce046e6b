// The compiled sample books as a reader sees them in result lines, excerpts, location names, book
// menus and copied text: the King James Version, the World English Bible, the Reina-Valera 1909 and
// the daily readings, opened through the engine's documents.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "documents/cBibleDoc.h"
#include "documents/cBookDoc.h"
#include "documents/cDateDoc.h"
#include "engine/docbase/cRenderParams.h"
#include "render/cHTMLRenderConfiguration.h"
#include "tools/tvktool/cTvkToolBook.h"

namespace {

const std::string kLibrary = std::string(QS_BINARY_DIR) + "/library/";

std::string str(const cLString8& s)
{
    return std::string(s.chars(), static_cast<size_t>(s.length()));
}
std::string str(const cLString16& s)
{
    cLString8 u;
    u.assignFromUTF16(s);
    return str(u);
}

// Text without tags, Strong's number links, entities of blanks, marker bytes (word starts, hit ends, Strong's numbers with
// their suffix) and with blanks collapsed.
std::string readable(const std::string& page)
{
    static const std::regex strongsLink("<span class='_st(heb|grk)'>.*?</span>");
    const std::string html = std::regex_replace(page, strongsLink, "");
    std::string s;
    bool tag = false;
    for (size_t i = 0; i < html.size(); ++i) {
        const char c = html[i];
        if (c == '<')
            tag = true;
        else if (c == '>')
            tag = false;
        else if (tag)
            continue;
        else if (c == 0x05 || c == 0x06) {
            ++i;  // the letter
            while (i + 1 < html.size() && std::isdigit(static_cast<unsigned char>(html[i + 1])))
                ++i;
            if (i + 1 < html.size() && std::islower(static_cast<unsigned char>(html[i + 1])) &&
                (i + 2 >= html.size() || !std::isalpha(static_cast<unsigned char>(html[i + 2]))))
                ++i;
        } else if (c == 0x01 || c == 0x07) {
            continue;
        } else if (html.compare(i, 6, "&nbsp;") == 0) {
            s += ' ';
            i += 5;
        } else {
            s += c;
        }
    }
    std::string out;
    for (char c : s) {
        const bool blank = c == ' ' || c == '\r' || c == '\n' || c == '\t';
        if (!blank)
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

template <typename Doc> std::unique_ptr<Doc> open(const std::string& name)
{
    auto doc = std::make_unique<Doc>();
    cLString16 path;
    path.assignFromUTF8((kLibrary + name).c_str());
    doc->SetPathName(path);
    EXPECT_TRUE(doc->Open()) << name;
    return doc;
}

std::string locationName(cBookDoc& doc, std::uint32_t section, bool withTitle)
{
    cRenderParams at;
    at.setOption0008(section);
    cLString16 name;
    doc.GetLocationName(name, withTitle, false, &at);
    return str(name);
}

std::string resultLine(cBookDoc& doc, std::uint32_t section, std::uint32_t mode, bool html)
{
    cLString8 out;
    doc.GetSearchResultText(section, mode, html, 0, nullptr, nullptr, out);
    return str(out);
}

// The footnote bodies of a section as its page shows them.
std::vector<std::string> footnotes(cBookDoc& doc, std::uint32_t section)
{
    std::vector<std::string> notes;
    std::uint32_t first = 0, end = 0;
    if (!doc.sectionBlockSpan(section, first, end) || first == cBookDoc::kNone)
        return notes;
    end = std::max(end, first + 1);
    for (std::uint32_t b = first; b < end; ++b) {
        cLString8 html;
        doc.htmlTextForBlockCore(b, nullptr, html);
        const std::string h = str(html);
        for (size_t p = h.find("class='footnote'>["); p != std::string::npos; p = h.find("class='footnote'>[", p + 1)) {
            const size_t close = h.find("]</span>", p);
            if (close != std::string::npos)
                notes.push_back(readable(h.substr(p + 18, close - p - 18)));
        }
    }
    return notes;
}

class ReaderText : public ::testing::Test {
protected:
    void SetUp() override
    {
#if !QS_LIBRARY_BUILT
        GTEST_SKIP() << "the sample library is not compiled in this build (QS_BUILD_LIBRARY is off)";
#endif
    }
};

// Result lines (HTML modes 1 and 2) and excerpts carry the verse, never a footnote's body; checked
// against every footnote the pages of the Bibles show, and the readings of the dated book.
TEST_F(ReaderText, ResultLinesAndExcerptsHoldNoNoteText)
{
    for (const char* name : {"WEB.tvk", "KJV.tvk", "RV1909.tvk", "DailyReadings.tvk"}) {
        std::unique_ptr<cBookDoc> doc = std::string(name) == "DailyReadings.tvk"
            ? std::unique_ptr<cBookDoc>(open<cDateDoc>(name))
            : std::unique_ptr<cBookDoc>(open<cBibleDoc>(name));
        size_t checked = 0;
        for (std::uint32_t s = 1; s < doc->GetNumSections(); ++s) {
            const std::vector<std::string> notes = footnotes(*doc, s);
            if (notes.empty())
                continue;
            for (std::uint32_t mode : {1u, 2u}) {
                const std::string line = readable(resultLine(*doc, s, mode, true));
                for (const std::string& note : notes) {
                    if (note.size() >= 8) {
                        EXPECT_EQ(std::string::npos, line.find(note)) << name << " section " << s << ": " << line;
                    }
                }
            }
            ++checked;
        }
        if (std::string(name) == "WEB.tvk") {
            EXPECT_GT(checked, 1000u) << "the WEB shows footnotes";
        }
    }
}

// "Gen 1:1" in the WEB reads "God created" in the tool's verse text, the result lines, the excerpt
// and the page (notes hidden), though its footnote stands between the two words.
TEST_F(ReaderText, GodCreatedThroughEveryTextPath)
{
    const std::string verse = "In the beginning, God created the heavens and the earth.";
    cTvkToolBook tool;
    ASSERT_EQ(0u, tool.open(kLibrary + "WEB.tvk"));
    std::vector<cTvkToolBook::Verse> verses;
    ASSERT_EQ(0u, tool.verses("Gen 1:1", verses));
    ASSERT_EQ(1u, verses.size());
    EXPECT_EQ(verse, verses[0].text);

    auto doc = open<cBibleDoc>("WEB.tvk");
    const std::uint32_t section = verses[0].section;
    EXPECT_EQ(verse, readable(resultLine(*doc, section, 1, true)));
    EXPECT_EQ(verse, readable(resultLine(*doc, section, 2, true)));
    cHTMLRenderConfiguration config;
    const std::int32_t hidden = 0;
    config.footnoteOption = &hidden;
    std::uint32_t first = 0, end = 0;
    ASSERT_TRUE(doc->sectionBlockSpan(section, first, end));
    cLString8 html;
    doc->htmlTextForBlockCore(first, &config, html);
    EXPECT_NE(std::string::npos, readable(str(html)).find(verse)) << str(html);
    EXPECT_EQ(std::string::npos, str(html).find("footnote")) << str(html);
}

// Book and chapter headings are named by their book, or their book and chapter, never with a
// verse 0; "next chapter" from the last chapter of a book names the next book.
TEST_F(ReaderText, HeadingsHaveNamesWithoutAZeroVerse)
{
    const std::regex zero(R"((^|[ :])0(:0)?$|:0\b| 0:)");
    for (const char* name : {"KJV.tvk", "WEB.tvk", "RV1909.tvk"}) {
        auto doc = open<cBibleDoc>(name);
        size_t headings = 0;
        for (std::uint32_t s = 1; s < doc->GetNumSections(); ++s) {
            const std::uint32_t key = doc->bibleKeyForSection(s);
            if ((key & 0xFF) != 0)
                continue;
            ++headings;
            for (const std::string& n : {locationName(*doc, s, true), locationName(*doc, s, false),
                     resultLine(*doc, s, 0, false), readable(resultLine(*doc, s, 0, true))}) {
                EXPECT_FALSE(n.empty()) << name << " section " << s;
                EXPECT_FALSE(std::regex_search(n, zero)) << name << " section " << s << ": " << n;
            }
            // A book heading is named by the book alone.
            const std::string full = locationName(*doc, s, false);
            if ((key & 0xFF00) == 0) {
                EXPECT_FALSE(!full.empty() && std::isdigit(static_cast<unsigned char>(full.back()))) << full;
            }
        }
        EXPECT_GT(headings, 66u) << name;
    }

    auto kjv = open<cBibleDoc>("KJV.tvk");
    cRenderParams go;
    go.setOption0001("Jude 5");
    ASSERT_EQ(0u, kjv->GoTo(go));
    cRenderParams next;
    next.setRequests(cRenderParams::kNextChapter);
    ASSERT_EQ(0u, kjv->GoTo(next));
    cLString16 here;
    ASSERT_TRUE(kjv->GetLocationName(here, false, false, nullptr));
    EXPECT_TRUE(str(here) == "Revelation" || str(here) == "Revelation 1") << str(here);
    cLString16 titled;
    ASSERT_TRUE(kjv->GetLocationName(titled, true, false, nullptr));
    EXPECT_FALSE(std::regex_search(str(titled), zero)) << str(titled);

    ASSERT_EQ(0u, kjv->GoTo(go));
    cRenderParams previous;
    previous.setRequests(cRenderParams::kPreviousBook);
    ASSERT_EQ(0u, kjv->GoTo(previous));
    ASSERT_TRUE(kjv->GetLocationName(here, false, false, nullptr));
    EXPECT_EQ("Jude", str(here));
}

// In the daily readings a month's heading has its own name, not the name of the reading before it.
TEST_F(ReaderText, MonthHeadingsHaveTheirOwnNames)
{
    auto doc = open<cDateDoc>("DailyReadings.tvk");
    std::map<std::string, std::uint32_t> names;
    size_t months = 0;
    for (std::uint32_t s = 1; s < doc->GetNumSections(); ++s) {
        const std::string n = locationName(*doc, s, false);
        EXPECT_TRUE(names.emplace(n, s).second) << "sections " << names[n] << " and " << s << " are both " << n;
        if (doc->HasChildren(s)) {
            ++months;
            EXPECT_EQ(std::string::npos, n.find(" of ")) << n;
            EXPECT_EQ(n, resultLine(*doc, s, 0, false));
        }
    }
    EXPECT_EQ(12u, months);
    EXPECT_EQ(1u, names.count("February"));
}

// A verse marker of plain text spelled with the translation names the Bible's translation, or its
// abbreviated title when the translation list has none; never "(ERROR)".
TEST_F(ReaderText, PlainTextVerseMarkersSpellTheirTranslation)
{
    const struct {
        const char* book;
        const char* reference;
        const char* marker;
    } cases[] = {{"KJV.tvk", "Ps 22:2", "[Ps 22:2 KJV]"}, {"WEB.tvk", "Ps 22:2", "[Ps 22:2 WEB]"},
        {"RV1909.tvk", "Sal 22:2", "[Sal 22:2 RV1909]"}};
    for (const auto& c : cases) {
        cTvkToolBook tool;
        ASSERT_EQ(0u, tool.open(kLibrary + c.book));
        std::vector<cTvkToolBook::Verse> verses;
        ASSERT_EQ(0u, tool.verses(c.reference, verses)) << c.book;
        auto doc = open<cBibleDoc>(c.book);
        cHTMLRenderConfiguration config;
        const cLString8 on("1"), open("["), close("]"), none;
        config.verseMarkerSwitch = &on;
        config.verseMarkerPrefix = &open;
        config.verseMarkerSuffix = &close;
        config.noteMarkerText = &none;
        cLString8 text;
        ASSERT_TRUE(doc->renderedSectionText(verses[0].section, &config, text)) << c.book;
        EXPECT_EQ(0u, readable(str(text)).find(c.marker)) << c.book << ": " << readable(str(text));
        EXPECT_EQ(std::string::npos, str(text).find("ERROR")) << str(text);
    }
}

// The book menus' name lists are in the tables' Latin-1, read as Windows-1252 by the library: the
// Reina-Valera's first book is "Génesis", in every list.
TEST_F(ReaderText, BookNameListsInOneEncoding)
{
    auto doc = open<cBibleDoc>("RV1909.tvk");
    auto windows1252 = [](const cLString8& s) {
        std::string out;
        for (std::int32_t i = 0; i < s.length(); ++i) {
            const auto c = static_cast<unsigned char>(s.chars()[i]);
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return out;
    };
    const cWordList8* list = nullptr;
    const cLIntArray* sections = nullptr;
    ASSERT_EQ(66, doc->getBookNameSpellingLists(false, list, sections, false));
    EXPECT_EQ("Génesis", windows1252(*list->at(0)));
    EXPECT_EQ("Éxodo", windows1252(*list->at(1)));
    ASSERT_EQ(66, doc->getBookNameSpellingLists(true, list, sections, false));
    EXPECT_EQ("Gn", windows1252(*list->at(0)));
    ASSERT_GT(doc->getBookNameSpellingLists(false, list, sections, true), 66);
    // Every other spelling (the full names are in the first list).
    bool chronicles = false;
    for (std::int32_t i = 0; i < list->count(); ++i) {
        const std::string name = windows1252(*list->at(i));
        chronicles = chronicles || name == "1Crónicas";
        EXPECT_EQ(std::string::npos, name.find("Ã")) << name;
    }
    EXPECT_TRUE(chronicles);
}

}  // namespace

// The sample texts as a reader sees them, against their module exports: every footnote of the World
// English Bible that stands between two words leaves them apart when notes are hidden, and every
// reference of Nave's Topical Bible that continues the one before it keeps the short form.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "documents/cBookDoc.h"
#include "tools/tvktool/cTvkToolBook.h"

namespace {

const std::string kBuild = QS_BINARY_DIR;

struct Entry {
    std::string key, markup;
};

std::vector<Entry> readExport(const std::string& path)
{
    std::ifstream in(path);
    std::vector<Entry> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("$$$", 0) == 0)
            out.push_back({line.substr(3), ""});
        else if (!out.empty())
            out.back().markup += line;
    }
    return out;
}

std::string withoutTags(const std::string& markup)
{
    std::string out;
    bool tag = false;
    for (char c : markup) {
        if (c == '<')
            tag = true;
        else if (c == '>')
            tag = false;
        else if (!tag)
            out += c;
    }
    return out;
}

bool isLetter(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

bool startsWithAny(const std::string& text, std::initializer_list<const char*> prefixes)
{
    for (const char* p : prefixes)
        if (text.rfind(p, 0) == 0)
            return true;
    return false;
}

bool endsWithAny(const std::string& text, std::initializer_list<const char*> suffixes)
{
    for (const char* p : suffixes) {
        const std::string s = p;
        if (text.size() >= s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0)
            return true;
    }
    return false;
}

// Each note of the verse that stands with nothing around it between a word (or a sentence's end,
// or a closing quotation mark) and the next word (or an opening mark): the text just before it and
// just after it, up to the nearest blank.
std::vector<std::pair<std::string, std::string>> joinedByNotes(const std::string& markup)
{
    std::vector<std::pair<std::string, std::string>> out;
    size_t previousEnd = 0;
    for (size_t open = markup.find("<note"); open != std::string::npos; open = markup.find("<note", open + 1)) {
        const size_t close = markup.find("</note>", open);
        if (close == std::string::npos)
            break;
        const size_t next = markup.find("<note", close);
        const std::string before = withoutTags(markup.substr(previousEnd, open - previousEnd));
        const std::string after =
            withoutTags(markup.substr(close + 7, next == std::string::npos ? std::string::npos : next - close - 7));
        previousEnd = close + 7;
        if (before.empty() || after.empty() || before.back() == ' ' || after.front() == ' ')
            continue;
        const bool wordBefore = isLetter(before.back()) ||
            std::string(".,;:!?)").find(before.back()) != std::string::npos ||
            endsWithAny(before, {"\u2019", "\u201D"});
        const bool wordAfter = isLetter(after.front()) || std::string("([").find(after.front()) != std::string::npos ||
            startsWithAny(after, {"\u201C", "\u2018"});
        if (!wordBefore || !wordAfter)
            continue;
        const size_t a = before.rfind(' ');
        out.emplace_back(before.substr(a == std::string::npos ? 0 : a + 1), after.substr(0, after.find(' ')));
    }
    return out;
}

// "I Samuel 1:1" -> "1 Samuel 1:1": the export's book names as the reference parser reads them.
std::string typedKey(std::string key)
{
    static const std::pair<const char*, const char*> kNames[] = {
        {"III ", "3 "}, {"II ", "2 "}, {"I ", "1 "}, {"Revelation of John", "Revelation"}};
    for (const auto& [from, to] : kNames)
        if (key.rfind(from, 0) == 0)
            key = to + key.substr(std::string(from).size());
    return key;
}

class SampleTexts : public ::testing::Test {
protected:
    void SetUp() override
    {
#if !QS_LIBRARY_BUILT
        GTEST_SKIP() << "the sample library is not compiled in this build (QS_BUILD_LIBRARY is off)";
#endif
    }
};

TEST_F(SampleTexts, EveryWebFootnoteBetweenTwoWordsKeepsThemApart)
{
    const std::vector<Entry> source = readExport(kBuild + "/library-src/engWEB2015eb.imp");
    ASSERT_FALSE(source.empty());
    cTvkToolBook web;
    ASSERT_EQ(0u, web.open(kBuild + "/library/WEB.tvk"));
    size_t notes = 0;
    for (const Entry& e : source) {
        const auto pairs = joinedByNotes(e.markup);
        if (pairs.empty() || e.key.find(':') == std::string::npos || e.key.rfind(":0") == e.key.size() - 2)
            continue;
        std::vector<cTvkToolBook::Verse> verses;
        if (web.verses(typedKey(e.key), verses) != 0 || verses.size() != 1)
            continue;
        for (const auto& [before, after] : pairs) {
            ++notes;
            EXPECT_NE(std::string::npos, verses[0].text.find(before + " " + after)) << e.key << ": " << verses[0].text;
        }
    }
    EXPECT_GT(notes, 400u) << "the WEB has hundreds of footnotes between two words";
}

TEST_F(SampleTexts, EveryNaveContinuationKeepsTheShortForm)
{
    const std::vector<Entry> source = readExport(kBuild + "/library-src/Nave.imp");
    ASSERT_FALSE(source.empty());
    cTvkToolBook nave;
    ASSERT_EQ(0u, nave.open(kBuild + "/library/Nave.tvk"));
    cBookDoc& doc = *nave.document();
    // A reference the source continues ("Ge 11:26,27"), spelled out in full after the comma.
    const std::regex full(R"(\b(\d? ?[A-Z][a-z]*) (\d+):(\d+)(-\d+)?,\1 \2:)");
    const std::regex continued(R"(</ref>,<ref[^>]*>\d)");
    size_t entries = 0, continuations = 0;
    std::uint32_t section = 1;
    for (const Entry& e : source) {
        // Entries are compiled in export order, one section each.
        std::string html;
        if (nave.renderSection(section, html) != 0)
            break;
        const std::string text = withoutTags(html);
        const std::string title = e.key.substr(0, e.key.find(' '));
        EXPECT_NE(std::string::npos, text.find(title)) << "section " << section << " is not " << e.key;
        std::smatch m;
        EXPECT_FALSE(std::regex_search(text, m, full)) << e.key << ": " << m.str();
        for (auto it = std::sregex_iterator(e.markup.begin(), e.markup.end(), continued); it != std::sregex_iterator();
             ++it)
            ++continuations;
        ++entries;
        ++section;
    }
    EXPECT_EQ(source.size(), entries);
    EXPECT_EQ(doc.GetNumSections(), section);
    EXPECT_GT(continuations, 1000u);
}

}  // namespace

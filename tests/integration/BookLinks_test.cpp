// The Bible links of the sample library's books, as the reports read them: every "bible:" link of
// every section of the commentaries, the topical index and the daily readings leads to a reference,
// in the order the text holds them; Nave's links into books of one chapter, which its source links to
// the chapter with the verses after the link as text, go to those verses.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "documents/cBookDoc.h"
#include "engine/bookfile/cBkSectionTextWriter.h"
#include "engine/references/cBibleRef.h"
#include "tools/tvktool/cTvkToolBook.h"

namespace {

const std::string kLibrary = std::string(QS_BINARY_DIR) + "/library/";

class BookLinks : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
#if !QS_LIBRARY_BUILT
        GTEST_SKIP() << "the sample library is not compiled in this build (QS_BUILD_LIBRARY is off)";
#endif
    }
};

std::size_t occurrences(const cLString8& text, const std::string& what)
{
    const std::string s(text.chars(), static_cast<std::size_t>(text.length()));
    std::size_t n = 0;
    for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + what.size()))
        ++n;
    return n;
}

TEST_P(BookLinks, EveryLinkOfEverySectionIsFound)
{
    cTvkToolBook tool;
    ASSERT_EQ(0u, tool.open(kLibrary + GetParam()));
    cBookDoc& doc = *tool.document();
    std::size_t links = 0, found = 0;
    for (std::uint32_t s = 1; s < doc.GetNumSections(); ++s) {
        cLString8 text;
        cBkTextRangeOptions options;
        options.showBrackets = 0;
        options.languageTags = 0;
        options.referenceLinks = 1;
        ASSERT_TRUE(doc.sectionText(s, text, options, nullptr));
        const std::size_t here = occurrences(text, "<a href=\"bible:");
        const std::unique_ptr<cBibleRefList> list = doc.BibleLinksListForSection(s, "KJV", nullptr);
        const std::size_t read = list == nullptr ? 0 : static_cast<std::size_t>(list->count());
        EXPECT_EQ(here, read) << GetParam() << " section " << s;
        // Every reference names a book (the books' own typos, such as "Mt 22:43-35", are kept as written).
        for (std::int32_t i = 0; list != nullptr && i < list->count(); ++i)
            EXPECT_GE(list->at(i)->startKey() >> 16, 1u) << GetParam() << " section " << s;
        links += here;
        found += read;
    }
    EXPECT_GT(links, 100u) << GetParam() << " holds Bible links";
    EXPECT_EQ(links, found);
}

INSTANTIATE_TEST_SUITE_P(SampleLibrary, BookLinks,
    ::testing::Values("Scofield.tvk", "Nave.tvk", "TreasuryOfDavid.tvk", "DailyReadings.tvk"),
    [](const ::testing::TestParamInfo<const char*>& info) {
        std::string name = info.param;
        return name.substr(0, name.find('.'));
    });

TEST(BookLinksOfKnownEntries, ScofieldOnAbrahamsCrisesAndNavesOnAkrabbim)
{
#if !QS_LIBRARY_BUILT
    GTEST_SKIP() << "the sample library is not compiled in this build";
#endif
    const auto linksOf = [](const char* book, const std::string& title) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
        cTvkToolBook tool;
        EXPECT_EQ(0u, tool.open(kLibrary + book));
        cBookDoc& doc = *tool.document();
        for (std::uint32_t s = 1; s < doc.GetNumSections() && out.empty(); ++s) {
            if (tool.sectionName(s) != title)
                continue;
            const std::unique_ptr<cBibleRefList> list = doc.BibleLinksListForSection(s, "KJV", nullptr);
            for (std::int32_t i = 0; list != nullptr && i < list->count(); ++i)
                out.emplace_back(list->at(i)->startKey(), list->at(i)->endKey());
        }
        return out;
    };
    // Scofield's note on Genesis 22:1 begins with Ge 12:1; Mt 10:34-39; 2Co 6:14-18; 2Pe 2:7, 8.
    const auto scofield = linksOf("Scofield.tvk", "Genesis 22:1");
    ASSERT_GE(scofield.size(), 5u);
    EXPECT_EQ(scofield[0], std::make_pair(0x010C01u, 0x010C01u));
    EXPECT_EQ(scofield[1], std::make_pair(0x280A22u, 0x280A27u));
    EXPECT_EQ(scofield[2], std::make_pair(0x2F060Eu, 0x2F0612u));
    EXPECT_EQ(scofield[3], std::make_pair(0x3D0207u, 0x3D0207u));
    EXPECT_EQ(scofield[4], std::make_pair(0x3D0208u, 0x3D0208u));
    // Nave's on Akrabbim: Nu 34:4; Jos 15:3; Jdg 1:36.
    const auto naves = linksOf("Nave.tvk", "AKRABBIM");
    EXPECT_EQ(naves,
        (std::vector<std::pair<std::uint32_t, std::uint32_t>> {
            {0x042204u, 0x042204u}, {0x060F03u, 0x060F03u}, {0x070124u, 0x070124u}}));
}

// Nave's source writes "<ref osisRef=\"Jude.1.1\">Jude 1</ref>:9,10": every such link leads to the verses
// after it, not to verse 1.
TEST(BookLinksOfKnownEntries, NavesLinksIntoBooksOfOneChapterGoToTheirVerses)
{
#if !QS_LIBRARY_BUILT
    GTEST_SKIP() << "the sample library is not compiled in this build";
#endif
    std::ifstream in(std::string(QS_BINARY_DIR) + "/library-src/Nave.imp");
    ASSERT_TRUE(in.good());
    std::vector<std::string> entries;  // compiled in export order, one section each
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("$$$", 0) == 0)
            entries.emplace_back();
        else if (!entries.empty())
            entries.back() += line;
    }
    cTvkToolBook tool;
    ASSERT_EQ(0u, tool.open(kLibrary + "Nave.tvk"));
    cBookDoc& doc = *tool.document();
    ASSERT_EQ(doc.GetNumSections(), entries.size() + 1);

    const std::map<std::string, std::uint32_t> books {
        {"Obad", 31}, {"Phlm", 57}, {"2John", 63}, {"3John", 64}, {"Jude", 65}};
    const std::regex chapterOnly(R"(<ref osisRef="(Obad|Phlm|2John|3John|Jude)\.1\.1">[^<]*</ref>:([0-9,-]+))");
    const std::regex range(R"((\d+)(?:-(\d+))?)");
    using Ranges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
    std::size_t expected = 0, found = 0;
    for (std::size_t e = 0; e < entries.size(); ++e) {
        const std::uint32_t section = static_cast<std::uint32_t>(e + 1);
        std::vector<Ranges> links;
        const std::unique_ptr<cBibleRefList> list = doc.BibleLinksListForSection(section, "KJV", nullptr);
        for (std::int32_t i = 0; list != nullptr && i < list->count(); ++i) {
            Ranges ranges;
            for (const bibleRefRange* r = list->at(i)->firstRange(); r != nullptr; r = r->next)
                ranges.emplace_back((std::uint32_t(r->startBook) << 16) | (std::uint32_t(r->startChapter) << 8) |
                        std::uint32_t(r->startVerse),
                    (std::uint32_t(r->endBook) << 16) | (std::uint32_t(r->endChapter) << 8) |
                        std::uint32_t(r->endVerse));
            links.push_back(ranges);
        }
        const std::string& markup = entries[e];
        for (auto m = std::sregex_iterator(markup.begin(), markup.end(), chapterOnly); m != std::sregex_iterator();
             ++m) {
            std::string verses = (*m)[2].str();
            while (!verses.empty() && (verses.back() == ',' || verses.back() == '-'))
                verses.pop_back();
            const std::uint32_t chapter = (books.at((*m)[1].str()) << 16) | 0x100u;
            Ranges want;
            for (auto v = std::sregex_iterator(verses.begin(), verses.end(), range); v != std::sregex_iterator(); ++v)
                want.emplace_back(chapter | std::stoul((*v)[1].str()),
                    chapter | std::stoul((*v)[2].matched ? (*v)[2].str() : (*v)[1].str()));
            ++expected;
            // The page shows a link per range ("Jude 9", "10"); each answers one range of the source.
            bool all = true;
            for (const auto& one : want) {
                const auto at = std::find(links.begin(), links.end(), Ranges {one});
                if (at == links.end()) {
                    ADD_FAILURE() << "section " << section << ": no link to verse " << std::hex << one.first << " of "
                                  << m->str();
                    all = false;
                    continue;
                }
                links.erase(at);
            }
            found += all ? 1 : 0;
        }
    }
    EXPECT_EQ(expected, 246u);
    EXPECT_EQ(found, expected);
}

}  // namespace

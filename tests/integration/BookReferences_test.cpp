// Every book a Bible of the sample library holds is reachable by reference: the first and the last
// verse of each book, typed with the book's full name and with its abbreviation as the book menus
// list them (in the Bible's language), through the reference parser and through `tvktool verse`.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "documents/cBibleDoc.h"
#include "engine/references/cBibleRefTables.h"
#include "tools/tvktool/cTvkToolBook.h"

namespace {

const std::string kBuild = QS_BINARY_DIR;

std::string utf8FromLatin1(const cLString8& s)
{
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
}

std::string toolOutput(const std::string& arguments, int& status)
{
    std::FILE* p = popen((kBuild + "/tools/tvktool/tvktool " + arguments + " 2>&1").c_str(), "r");
    std::string out;
    if (p == nullptr)
        return out;
    std::array<char, 4096> buf;
    for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;)
        out.append(buf.data(), n);
    status = pclose(p);
    return out;
}

struct BookVerses {
    std::uint32_t first = 0, last = 0;  // verse keys
};

class BookReferences : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
#if !QS_LIBRARY_BUILT
        GTEST_SKIP() << "the sample library is not compiled in this build (QS_BUILD_LIBRARY is off)";
#endif
    }
};

TEST_P(BookReferences, FirstAndLastVerseOfEveryBookByNameAndAbbreviation)
{
    const std::string path = kBuild + "/library/" + GetParam();
    cTvkToolBook tool;
    ASSERT_EQ(0u, tool.open(path));
    cBookDoc& doc = *tool.document();
    // The books the Bible holds, from its verse sections.
    std::map<std::uint32_t, BookVerses> books;
    std::vector<std::uint32_t> order;
    for (std::uint32_t s = 1; s < doc.GetNumSections(); ++s) {
        const std::uint32_t key = doc.bibleKeyForSection(s);
        if ((key & 0xFF) == 0)
            continue;
        BookVerses& b = books[key >> 16];
        if (b.first == 0) {
            b.first = key;
            order.push_back(key >> 16);
        }
        b.last = key;
    }
    ASSERT_GE(books.size(), 66u);

    // The names the book menus list, one per book in the Bible's order.
    auto* bible = static_cast<cBibleDoc*>(&doc);
    for (const bool abbreviated : {false, true}) {
        const cWordList8* names = nullptr;
        const cLIntArray* sections = nullptr;
        ASSERT_EQ(static_cast<std::int32_t>(books.size()),
            bible->getBookNameSpellingLists(abbreviated, names, sections, false))
            << GetParam();
        std::string all;
        std::vector<std::uint32_t> expected;
        for (std::int32_t i = 0; i < names->count(); ++i) {
            const std::uint32_t book = doc.bibleKeyForSection(static_cast<std::uint32_t>(sections->getAt(i))) >> 16;
            ASSERT_TRUE(books.count(book)) << i;
            const std::string name = utf8FromLatin1(*names->at(i));
            for (const std::uint32_t key : {books[book].first, books[book].last}) {
                // A book that goes by its chapter in the lists (Psalm 151 as "Psalms 151") is typed so.
                const std::string chapter = " " + std::to_string((key >> 8) & 0xFF);
                const bool byChapter = name.size() > chapter.size() &&
                    name.compare(name.size() - chapter.size(), chapter.size(), chapter) == 0;
                const std::string typed = name + (byChapter ? "" : chapter) + ":" + std::to_string(key & 0xFF);
                std::vector<cTvkToolBook::Verse> verses;
                EXPECT_EQ(0u, tool.verses(typed, verses)) << GetParam() << ": " << typed;
                ASSERT_EQ(1u, verses.size()) << GetParam() << ": " << typed;
                EXPECT_EQ(key, verses[0].key) << GetParam() << ": " << typed;
                all += (all.empty() ? "" : "; ") + typed;
                expected.push_back(key);
            }
        }
        // The tool prints them all, one line each, in order.
        int status = -1;
        const std::string out = toolOutput("verse " + path + " '" + all + "'", status);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out.substr(0, 500);
        std::vector<std::string> lines;
        for (size_t p = 0, nl; (nl = out.find('\n', p)) != std::string::npos; p = nl + 1)
            lines.push_back(out.substr(p, nl - p));
        ASSERT_EQ(expected.size(), lines.size()) << GetParam() << (abbreviated ? " abbreviated" : " full");
        for (size_t k = 0; k < lines.size(); ++k) {
            std::vector<cTvkToolBook::Verse> verses;
            const std::string reference = lines[k].substr(0, lines[k].find('\t'));
            ASSERT_EQ(0u, tool.verses(reference, verses)) << reference;
            EXPECT_EQ(expected[k], verses[0].key) << lines[k];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    SampleLibrary, BookReferences, ::testing::Values("KJV.tvk", "WEB.tvk", "RV1909.tvk"), [](const auto& info) {
        std::string name = info.param;
        return name.substr(0, name.find('.'));
    });

// The WEB's deuterocanonical books answer their references, in the module's order (right after
// Malachi), and its Psalm 151 is imported.
TEST(BookReferencesWeb, TobitAndSirach)
{
#if !QS_LIBRARY_BUILT
    GTEST_SKIP() << "the sample library is not compiled in this build (QS_BUILD_LIBRARY is off)";
#endif
    const std::string web = kBuild + "/library/WEB.tvk";
    int status = -1;
    EXPECT_EQ("Tobit 1:1\tThe book of the words of Tobit, the son of Tobiel, the son of Ananiel, the son of Aduel, the "
              "son of Gabael, of the seed of Asiel, of the tribe of Naphtali;\n",
        toolOutput("verse " + web + " 'Tobit 1:1'", status));
    EXPECT_EQ("Sirach 1:1\tAll wisdom comes from the Lord, and is with him forever.\n",
        toolOutput("verse " + web + " 'Sirach 1:1'", status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // The KJV holds no Tobit: its translation names no such book.
    EXPECT_EQ("error 221\n", toolOutput("verse " + kBuild + "/library/KJV.tvk 'Tobit 1:1'", status));

    const auto lines = [](const std::string& out) {
        std::vector<std::string> refs;
        for (size_t p = 0, nl; (nl = out.find('\n', p)) != std::string::npos; p = nl + 1)
            refs.push_back(out.substr(p, out.find('\t', p) - p));
        return refs;
    };
    EXPECT_EQ((std::vector<std::string> {"Malachi 4:6", "Tobit 1:1"}),
        lines(toolOutput("verse " + web + " 'Malachi 4:6-Tobit 1:1'", status)));
    const std::vector<std::string> tobitJudith = lines(toolOutput("verse " + web + " 'Tobit 14:2-Judith 1:2'", status));
    ASSERT_EQ(16u, tobitJudith.size());
    EXPECT_EQ("Tobit 14:15", tobitJudith[13]);
    EXPECT_EQ("Judith 1:2", tobitJudith[15]);
    const std::string psalm = toolOutput("verse " + web + " 'Psalm 151:1-7'", status);
    EXPECT_EQ(7u, lines(psalm).size()) << psalm;
    EXPECT_EQ(0u, psalm.rfind("Psalms 151:1\t", 0)) << psalm;

    std::FILE* report = std::fopen((kBuild + "/library/import-report.txt").c_str(), "r");
    ASSERT_NE(nullptr, report);
    std::string text;
    std::array<char, 4096> buf;
    for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), report)) > 0;)
        text.append(buf.data(), n);
    std::fclose(report);
    EXPECT_EQ(std::string::npos, text.find("Additional Psalm")) << text;
}

// A range that ends at a one-chapter book's lone verse is read, also as Copy Passage heads it; a range
// that ends before it starts and a chapter past its book's end are refused by name; the RV1909 reads
// English book names.
TEST(BookReferencesNamed, RangesAndNames)
{
#if !QS_LIBRARY_BUILT
    GTEST_SKIP() << "the sample library is not compiled in this build (QS_BUILD_LIBRARY is off)";
#endif
    const std::string kjv = kBuild + "/library/KJV.tvk";
    int status = -1;
    std::string out = toolOutput("copy " + kjv + " 'Amos 9:14-Obadiah 8' cpRefLocation=1", status);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
    ASSERT_EQ(0u, out.rfind("(Am 9:14-Ob 8)\n", 0)) << out;
    EXPECT_EQ(out, toolOutput("copy " + kjv + " 'Am 9:14-Ob 8' cpRefLocation=1", status));
    EXPECT_NE(std::string::npos, out.find("[8] ")) << out;
    for (const char* reference : {"3 John 1:13-Jude 21", "Titus 3:15-Philemon 2"}) {
        out = toolOutput("verse " + kjv + " '" + reference + "'", status);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << reference << ": " << out;
    }
    EXPECT_EQ("error 226\nJohn 3:16-10 ends before it starts. A range runs from its first verse to a later one.\n",
        toolOutput("verse " + kjv + " 'John 3:16-10'", status));
    EXPECT_EQ("error 226\nRomans 2-1 ends before it starts. A range runs from its first verse to a later one.\n",
        toolOutput("verse " + kjv + " 'Romans 2-1'", status));
    EXPECT_EQ("error 226\nJohn 22 is not in this Bible. John has 21 chapters.\n",
        toolOutput("verse " + kjv + " 'John 22:1'", status));
    out = toolOutput("verse " + kBuild + "/library/RV1909.tvk 'Romans 8:28'", status);
    EXPECT_EQ(0u, out.rfind("Romanos 8:28\tY sabemos", 0)) << out;
}

}  // namespace

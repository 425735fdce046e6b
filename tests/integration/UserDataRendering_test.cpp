// The user's highlights and notes as a reader sees them on the compiled King James Version: a real
// user-data database (in a temporary engine data folder) with highlights and notes written through
// the highlight and note documents, the documents installed for rendering once, and every page
// rendered through the engine's book document; then the same through `tvktool render --database`.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "documents/cBookDoc.h"
#include "documents/cBookUserData.h"
#include "engine/references/cBibleRef.h"
#include "render/cHTMLColor.h"
#include "tools/tvktool/cTvkToolBook.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cSQLiteDbBase.h"
#include "userdata/cVerseHighlightDoc.h"

namespace {

const std::string kBuild = QS_BINARY_DIR;
const std::string kKjv = kBuild + "/library/KJV.tvk";
const std::string kTool = kBuild + "/tools/tvktool/tvktool";

struct ToolRun {
    int status = -1;
    std::string out, err;
};

ToolRun run(const std::string& arguments)
{
    char pattern[] = "/tmp/qs-tool-err-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd >= 0)
        close(fd);
    ToolRun r;
    std::FILE* p = popen((kTool + " " + arguments + " 2>" + pattern).c_str(), "r");
    if (p == nullptr)
        return r;
    std::array<char, 4096> buf;
    for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;)
        r.out.append(buf.data(), n);
    r.status = pclose(p);
    if (std::FILE* e = std::fopen(pattern, "r")) {
        for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), e)) > 0;)
            r.err.append(buf.data(), n);
        std::fclose(e);
    }
    std::remove(pattern);
    return r;
}

// The verse span and the verse marker of a verse in rendered HTML: "<span class=\"C\" data-verse-span=
// \"sel_sB.C.V\">" opens it (no class attribute when the verse has no highlight).
std::string verseSpanClass(const std::string& html, const std::string& anchor)
{
    const std::regex span("<span (class=\"([^\"]*)\" )?data-verse-span=\"sel" + anchor + "\">");
    std::smatch m;
    if (!std::regex_search(html, m, span))
        return "<no span>";
    return m[2].str();
}

class UserDataRendering : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
#if QS_LIBRARY_BUILT
        char pattern[] = "/tmp/qs-userdata-render-XXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_NE(nullptr, made);
        folder_ = new std::string(made);
        cSQLiteDbBase::setEngineDataFolder(cLString16(folder_->c_str()));
        // What the application does once at start-up.
        ASSERT_TRUE(cBookUserData::install());
        cVerseHighlightDoc* highlights = cVerseHighlightDoc::verseHighlightDocInstance();
        const auto set = [&](std::uint32_t key, std::uint16_t fore, std::uint16_t back) {
            ASSERT_TRUE(highlights->setHighlight(cBibleRef(key), fore, back)) << std::hex << key;
        };
        set(0x01011F, 0, 121);                             // Genesis 1:31, a colour
        set(0x010201, 0, 5);                               // Genesis 2:1, another colour
        set(0x2B0310, kHighlightStyleUnderline, 0);        // John 3:16, a style
        set(0x2B0311, 0, kHighlightStyleDottedUnderline);  // John 3:17, a style as the back value
        cBibleNote note;
        note.booknum = 43;
        note.chapter = 3;
        note.verse = 16;
        note.note.assignFromUTF8("God's love");
        ASSERT_TRUE(noteDocInstance()->saveBibleNote(note, false));
        book_ = new cTvkToolBook();
        ASSERT_EQ(0u, book_->open(kKjv));
#endif
    }
    static void TearDownTestSuite()
    {
        delete book_;
        book_ = nullptr;
        cBookUserData::uninstall();
        if (folder_ != nullptr)
            std::system(("rm -rf '" + *folder_ + "'").c_str());
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override
    {
#if !QS_LIBRARY_BUILT
        GTEST_SKIP() << "the sample library is not compiled in this build (QS_BUILD_LIBRARY is off)";
#endif
    }

    static std::uint32_t sectionOf(const std::string& reference)
    {
        std::vector<cTvkToolBook::Verse> verses;
        EXPECT_EQ(0u, book_->verses(reference, verses)) << reference;
        return verses.empty() ? 0 : verses[0].section;
    }
    static std::string render(std::uint32_t section)
    {
        std::string html;
        EXPECT_EQ(0u, book_->renderSection(section, html)) << section;
        return html;
    }

    static std::string* folder_;
    static cTvkToolBook* book_;
};

std::string* UserDataRendering::folder_ = nullptr;
cTvkToolBook* UserDataRendering::book_ = nullptr;

// Each highlighted verse shows its own colour or style, and a verse without one shows none.
TEST_F(UserDataRendering, HighlightColoursAndStylesOnTheirVerses)
{
    EXPECT_EQ(highlightStyleClassName(121), verseSpanClass(render(sectionOf("Gen 1:31")), "_s1.1.31"));
    EXPECT_EQ(highlightStyleClassName(5), verseSpanClass(render(sectionOf("Gen 2:1")), "_s1.2.1"));
    EXPECT_EQ("", verseSpanClass(render(sectionOf("Gen 1:30")), "_s1.1.30"));
    EXPECT_EQ("", verseSpanClass(render(sectionOf("Gen 2:2")), "_s1.2.2"));
    // A style as the fore value and a style as the back value.
    EXPECT_EQ("underline", verseSpanClass(render(sectionOf("John 3:16")), "_s43.3.16"));
    EXPECT_EQ("dottedunderline", verseSpanClass(render(sectionOf("John 3:17")), "_s43.3.17"));
    EXPECT_FALSE(highlightStyleClassName(121).empty());
}

// Over the chapter boundary: Genesis 1:31 and 2:1 keep their own colours, and the "Genesis 2"
// heading between them takes neither; no text of the heading sits in a verse span.
TEST_F(UserDataRendering, HeadingAfterAHighlightedVerseStaysPlain)
{
    const std::uint32_t last = sectionOf("Gen 1:31");
    const std::uint32_t first = sectionOf("Gen 2:1");
    ASSERT_GT(first, last + 1) << "a chapter heading section stands between the chapters";
    for (std::uint32_t s = last + 1; s < first; ++s) {
        const std::string html = render(s);
        EXPECT_EQ(std::string::npos, html.find("data-verse-span")) << html;
        EXPECT_EQ(std::string::npos, html.find(highlightStyleClassName(121))) << html;
        EXPECT_NE(std::string::npos, html.find("Genesis 2")) << html;
    }
    // The whole stretch in one string: each colour appears once, on its verse's span only.
    std::string all;
    for (std::uint32_t s = last; s <= first; ++s)
        all += render(s);
    const std::string c31 = highlightStyleClassName(121), c21 = highlightStyleClassName(5);
    EXPECT_EQ(all.find("class=\"" + c31 + "\""), all.rfind("class=\"" + c31 + "\"")) << all;
    EXPECT_EQ(all.find("class=\"" + c21 + "\""), all.rfind("class=\"" + c21 + "\"")) << all;
    EXPECT_LT(all.find("Genesis 2"), all.find("data-verse-span=\"sel_s1.2.1\"")) << all;
}

// A verse with a note gets the note link after its number; the verses around it do not.
TEST_F(UserDataRendering, VerseNoteLink)
{
    const std::string html = render(sectionOf("John 3:16"));
    EXPECT_NE(std::string::npos, html.find("note:_043003016000")) << html;
    EXPECT_NE(std::string::npos, html.find("\">Note</a>&nbsp;")) << html;
    EXPECT_EQ(std::string::npos, render(sectionOf("John 3:15")).find("note:_")) << "John 3:15";
    EXPECT_EQ(std::string::npos, render(sectionOf("John 3:17")).find("note:_")) << "John 3:17";
}

// The tool renders with a database it is given, and says nothing about one it is not given.
TEST_F(UserDataRendering, ToolRendersWithTheDatabaseItIsGiven)
{
    const std::string database = *folder_ + "/" + cSQLiteDbBase::kDatabaseFileName;
    const std::string section = std::to_string(sectionOf("John 3:16"));
    const ToolRun with = run("render " + kKjv + " " + section + " --database '" + database + "'");
    EXPECT_TRUE(WIFEXITED(with.status) && WEXITSTATUS(with.status) == 0) << with.err;
    EXPECT_EQ("underline", verseSpanClass(with.out, "_s43.3.16")) << with.out;
    EXPECT_NE(std::string::npos, with.out.find("note:_043003016000")) << with.out;
    EXPECT_EQ("", with.err);

    const ToolRun without = run("render " + kKjv + " " + section);
    EXPECT_TRUE(WIFEXITED(without.status) && WEXITSTATUS(without.status) == 0) << without.err;
    EXPECT_EQ("", without.err);
    EXPECT_EQ("", verseSpanClass(without.out, "_s43.3.16")) << without.out;
    EXPECT_EQ(std::string::npos, without.out.find("note:_")) << without.out;

    const ToolRun missing =
        run("render " + kKjv + " " + section + " --database '" + *folder_ + "/no/such/folder/x.db'");
    EXPECT_TRUE(WIFEXITED(missing.status) && WEXITSTATUS(missing.status) == 1);
    EXPECT_NE(std::string::npos, missing.err.find("error 222")) << missing.err;
    const ToolRun wrongCommand = run("verse " + kKjv + " 'John 3:16' --database '" + database + "'");
    EXPECT_TRUE(WIFEXITED(wrongCommand.status) && WEXITSTATUS(wrongCommand.status) == 2);
}

}  // namespace

// `tvktool copy` on the sample Bibles: a passage ends with its own last verse (no heading of the chapter,
// book or stanza after it), and a passage the Bible does not hold is a failure with the reason and a
// non-zero status, never an empty copy.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

const std::string kBuild = QS_BINARY_DIR;

struct ToolRun {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

ToolRun copy(const std::string& book, const std::string& reference, const std::string& options = std::string())
{
    ToolRun run;
    // The tests of this program run as processes of their own at the same time: a file of each's own.
    const std::string errFile = testing::TempDir() + "/passage-copy-" + std::to_string(::getpid()) + ".err";
    const std::string command = kBuild + "/tools/tvktool/tvktool copy " + kBuild + "/library/" + book + " '" +
        reference + "' " + options + " 2>" + errFile;
    std::FILE* p = popen(command.c_str(), "r");
    if (p == nullptr)
        return run;
    std::array<char, 4096> buf;
    for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;)
        run.out.append(buf.data(), n);
    const int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (std::FILE* e = std::fopen(errFile.c_str(), "r")) {
        for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), e)) > 0;)
            run.err.append(buf.data(), n);
        std::fclose(e);
    }
    std::remove(errFile.c_str());
    return run;
}

class PassageCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
#if !QS_LIBRARY_BUILT
        GTEST_SKIP() << "the sample library is not compiled in this build (QS_BUILD_LIBRARY is off)";
#endif
    }
};

TEST_F(PassageCopy, APassageEndsWithItsLastVerse)
{
    struct Case {
        const char* book;
        const char* reference;
        const char* expected;
    };
    const Case cases[] = {
        {"KJV.tvk", "Gen 1:31",
            "[31] And God saw every thing that he had made, and, behold, it was very good. And the evening and the "
            "morning were the sixth day. (Ge 1:31)\n"},
        {"KJV.tvk", "Mal 4:6",
            "[6] And he shall turn the heart of the fathers to the children, and the heart of the children to their "
            "fathers, lest I come and smite the earth with a curse. (Mal 4:6)\n"},
        {"KJV.tvk", "Ps 119:8", "[8] I will keep thy statutes: O forsake me not utterly. (Ps 119:8)\n"},
        {"WEB.tvk", "Rev 22:21", "[21] The grace of the Lord Jesus Christ be with all the saints. Amen. (Rev 22:21)\n"},
    };
    for (const Case& c : cases) {
        const ToolRun run = copy(c.book, c.reference, "cpRefLocation=4");
        EXPECT_EQ(0, run.status) << c.reference << ": " << run.err;
        EXPECT_EQ(c.expected, run.out) << c.book << " " << c.reference;
        EXPECT_EQ("", run.err);
    }
    // On a line of its own after the passage, the reference follows the verse's last word.
    const ToolRun own = copy("KJV.tvk", "Gen 1:31", "cpRefLocation=3");
    EXPECT_EQ(own.out,
        "[31] And God saw every thing that he had made, and, behold, it was very good. And the evening and the "
        "morning were the sixth day.\n(Ge 1:31)\n");
}

TEST_F(PassageCopy, AHeadingInsideAPassageStandsOnItsOwnLine)
{
    const ToolRun chapter = copy("KJV.tvk", "Gen 1:31-2:1");
    EXPECT_EQ(0, chapter.status) << chapter.err;
    EXPECT_EQ(chapter.out,
        "(Ge 1:31-2:1)\n[31] And God saw every thing that he had made, and, behold, it was very good. And the evening "
        "and the morning were the sixth day.\nGenesis 2\n[1] Thus the heavens and the earth were finished, and all "
        "the host of them.\n");
    const ToolRun stanza = copy("KJV.tvk", "Ps 119:8-9", "cpRefLocation=4");
    EXPECT_EQ(stanza.out,
        "[8] I will keep thy statutes: O forsake me not utterly.\n\u05d1 BETH.\n[9] Wherewithal shall a young man "
        "cleanse his way? by taking heed thereto according to thy word. (Ps 119:8-9)\n");
    const ToolRun book = copy("KJV.tvk", "Mal 4:6-Matt 1:1", "cpRefLocation=0");
    EXPECT_EQ(book.out,
        "[6] And he shall turn the heart of the fathers to the children, and the heart of the children to their "
        "fathers, lest I come and smite the earth with a curse.\nTHE GOSPEL ACCORDING TO ST. MATTHEW\nMatthew 1\n"
        "[1] The book of the generation of Jesus Christ, the son of David, the son of Abraham.\n");
}

// A passage from a one-chapter book into the next reads in the form the copy heads it with, and that
// heading reads again as the same passage.
TEST_F(PassageCopy, ARangeFromAOneChapterBookReadsAsTheCopyWritesIt)
{
    for (const char* reference : {"Jude 1:25-Rev 1:1", "Jude 25-Rev 1:1", "Jude 25-Revelation 1:1"}) {
        const ToolRun run = copy("KJV.tvk", reference);
        EXPECT_EQ(0, run.status) << reference << ": " << run.err;
        EXPECT_EQ(0u, run.out.rfind("(Jude 25-Rev 1:1)\n[25] To the only wise God", 0)) << reference << ": " << run.out;
        EXPECT_NE(run.out.find("[1] The Revelation of Jesus Christ"), std::string::npos) << reference;
    }
    const ToolRun obadiah = copy("KJV.tvk", "Obad 21-Jonah 1:1");
    EXPECT_EQ(0, obadiah.status) << obadiah.err;
    EXPECT_EQ(0u, obadiah.out.rfind("(Ob 21-Jon 1:1)\n[21] And saviours", 0)) << obadiah.out;
    EXPECT_EQ(copy("KJV.tvk", "Ob 21-Jon 1:1").out, obadiah.out);
}

// The copy keeps the book's paragraphs: a verse that opens one starts a line, and the verses that go on
// with it share that line (KJV Genesis 1:3 and 1:6, John 3:16 and 3:18; WEB Genesis 1:3 and 1:6).
TEST_F(PassageCopy, AVerseThatOpensAParagraphStartsALine)
{
    const ToolRun genesis = copy("KJV.tvk", "Gen 1:1-6");
    EXPECT_EQ(0, genesis.status) << genesis.err;
    EXPECT_EQ(genesis.out,
        "(Ge 1:1-6)\n"
        "[1] In the beginning God created the heaven and the earth. [2] And the earth was without form, and void; and "
        "darkness was upon the face of the deep. And the Spirit of God moved upon the face of the waters.\n"
        "[3] And God said, Let there be light: and there was light. [4] And God saw the light, that it was good: and "
        "God divided the light from the darkness. [5] And God called the light Day, and the darkness he called Night. "
        "And the evening and the morning were the first day.\n"
        "[6] \u00b6 And God said, Let there be a firmament in the midst of the waters, and let it divide the waters "
        "from the waters.\n");
    const ToolRun john = copy("KJV.tvk", "John 3:16-18", "cpRefLocation=4");
    EXPECT_EQ(john.out,
        "[16] \u00b6 For God so loved the world, that he gave his only begotten Son, that whosoever believeth in him "
        "should not perish, but have everlasting life. [17] For God sent not his Son into the world to condemn the "
        "world; but that the world through him might be saved.\n"
        "[18] \u00b6 He that believeth on him is not condemned: but he that believeth not is condemned already, "
        "because he hath not believed in the name of the only begotten Son of God. (Jn 3:16-18)\n");
    // A verse that ends in a blank of its own is parted from the next by one blank, as on the page.
    const ToolRun psalm = copy("KJV.tvk", "Ps 23:1-2", "cpRefLocation=0");
    EXPECT_EQ(psalm.out,
        "A Psalm of David.\n[1] The LORD is my shepherd; I shall not want. [2] He maketh me to lie down in green "
        "pastures: he leadeth me beside the still waters.\n");
    const ToolRun web = copy("WEB.tvk", "Gen 1:2-6", "cpRefLocation=0");
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = web.out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(web.out.substr(at, end - at).substr(0, 4));
    EXPECT_EQ(lines, (std::vector<std::string> {"[2] ", "[3] ", "[6] "})) << web.out;
}

TEST_F(PassageCopy, APassageWithoutVersesFailsWithItsReason)
{
    struct Case {
        const char* reference;
        const char* reason;
    };
    const Case cases[] = {
        // A verse past its chapter's end is named, with where the chapter ends.
        {"John 3:99", "John 3:99 is not in this Bible. John 3 ends at verse 36."},
        {"John 3:35-40", "John 3:40 is not in this Bible. John 3 ends at verse 36."},
        {"Jude 30", "Jude 30 is not in this Bible. Jude ends at verse 25."},
        {"Tobit 1:1", "Could not find the passage in this Bible."},
        // One range without verses fails the whole copy: nothing is copied in part.
        {"John 3:16; 3:99", "John 3:99 is not in this Bible."},
        {"", "Unrecognized verse reference."},
        {"   ", "Unrecognized verse reference."},
    };
    for (const Case& c : cases) {
        const ToolRun run = copy("KJV.tvk", c.reference);
        EXPECT_EQ(1, run.status) << c.reference;
        EXPECT_EQ("", run.out) << c.reference;
        EXPECT_EQ(0u, run.err.rfind(c.reason, 0)) << c.reference << ": " << run.err;
    }
    EXPECT_EQ(1, copy("None.tvk", "John 3:16").status);
    EXPECT_EQ(2, copy("KJV.tvk", "John 3:16", "cpNoSuchChoice=1").status);
}

}  // namespace

// The command-line tools end to end: tvkbuild compiles JSON sources, tvktool reads the results.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/bookfile/BkSyncFormat.h"
#include "tools/tvkbuild/cTvkBookBuilder.h"

namespace {

struct ToolRun {
    int status;
    std::string out;
};

ToolRun run(const std::string& command)
{
    ToolRun r {-1, {}};
    std::FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (p == nullptr)
        return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

const std::string kTool = std::string(QS_BINARY_DIR) + "/tools/tvktool/tvktool";
const std::string kBuild = std::string(QS_BINARY_DIR) + "/tools/tvkbuild/tvkbuild";

struct Folder {
    std::string path;
    Folder()
    {
        char t[] = "/tmp/qs-tvktool-XXXXXX";
        path = mkdtemp(t);
    }
    ~Folder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string write(const std::string& name, const std::string& text) const
    {
        std::ofstream(path + "/" + name, std::ios::binary) << text;
        return path + "/" + name;
    }
};

}  // namespace

TEST(Tvktool, CompilesAndListsEveryKindOfBook)
{
    Folder dir;
    dir.write("pic.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x02\0\0\0\x03", 24));
    const std::string sources[] = {
        R"({"kind":"bible","title":"Mini Bible","abbreviation":"MB","publisherId":3,"bookId":4,"edition":2,"revision":5,
            "sections":[{"title":"Genesis","level":1,"key":"1:0:0"},{"title":"Genesis 1","level":2,"key":"1:1:0"},
                        {"title":"1","level":3,"key":"1:1:1","text":"In the beginning."}],
            "bibleRef":[{"name":"BibleBooks.csv","file":"pic.png"}]})",
        R"({"kind":"dated","title":"Daily Light","sections":[{"title":"Jan 1","text":"One."},{"title":"Jan 2","text":"Two."}],
            "readings":[1,2],"startMonth":1,"startDay":1})",
        R"({"kind":"book","title":"Word Book","author":"A. Writer","sections":[{"title":"Grace","text":"Favour."}],
            "lookupWords":{"grace":[1]},"images":[{"name":"pic.png","file":"pic.png"}]})"};
    const char* kinds[] = {"Bible", "dated book", "book"};
    for (int i = 0; i < 3; ++i) {
        const std::string src = dir.write("src" + std::to_string(i) + ".json", sources[i]);
        const std::string out = dir.path + "/book" + std::to_string(i) + ".tvk";
        ToolRun b = run(kBuild + " " + src + " " + out);
        ASSERT_EQ(0, b.status) << b.out;
        ToolRun s = run(kTool + " streams " + out);
        ASSERT_EQ(0, s.status) << s.out;
        for (const char* tag : {"INFO", "SECT", "PAGE", "TEXT", "TOFC", "SYNC", "WRDS", "CONC", "PUNC", "NODE"})
            EXPECT_NE(std::string::npos, s.out.find(std::string("\n") + tag + " ")) << tag << s.out;
        ToolRun info = run(kTool + " info " + out);
        ASSERT_EQ(0, info.status) << info.out;
        EXPECT_NE(std::string::npos, info.out.find(std::string("Kind:                  ") + kinds[i])) << info.out;
    }
    ToolRun bible = run(kTool + " info " + dir.path + "/book0.tvk");
    EXPECT_NE(std::string::npos, bible.out.find("Title:                 Mini Bible"));
    EXPECT_NE(std::string::npos, bible.out.find("Identity:              3:4:2:5"));
    EXPECT_NE(std::string::npos, bible.out.find("Sections:              4"));
    EXPECT_NE(std::string::npos, bible.out.find("Reference tables:      1 files"));
    ToolRun bibleStreams = run(kTool + " streams " + dir.path + "/book0.tvk");
    EXPECT_NE(std::string::npos, bibleStreams.out.find("BIBLEREF"));
    ToolRun dated = run(kTool + " info " + dir.path + "/book1.tvk");
    EXPECT_NE(std::string::npos, dated.out.find("Readings:              2"));
    ToolRun plain = run(kTool + " info " + dir.path + "/book2.tvk");
    EXPECT_NE(std::string::npos, plain.out.find("Index pairs:           WSYN"));
    EXPECT_NE(std::string::npos, plain.out.find("Images:                1 files"));
}

TEST(Tvktool, ContentsListEveryEntryWithItsPlace)
{
    Folder dir;
    cTvkBookBuilder b;
    b.info.bookName = "Trees";
    b.addSection({"Part One", 1, "Oaks.", 0});
    b.addSection({"Chapter A", 2, "Elms.", 0});
    b.addSection({"Detail", 3, "Acorns.", 0});
    b.addSection({"Part Two", 1, "Pines.", 0});
    std::vector<uint8_t> bytes = b.build();
    const std::string book = dir.write("trees.tvk", std::string(bytes.begin(), bytes.end()));
    ToolRun c = run(kTool + " contents " + book);
    EXPECT_EQ(0, c.status);
    EXPECT_EQ("0\t0\t\n1\t1\tPart One\n2\t2\tPart One | Chapter A\n3\t3\tPart One | Chapter A | Detail\n"
              "4\t1\tPart Two\n",
        c.out);
    ToolRun missing = run(kTool + " contents " + dir.path + "/none.tvk");
    EXPECT_EQ(1, missing.status);
    EXPECT_NE(std::string::npos, missing.out.find("error 222")) << missing.out;
}

TEST(Tvktool, FailuresPrintTheResultCode)
{
    Folder dir;
    cTvkBookBuilder b;
    b.info.bookName = "Cut";
    b.addSection({"One", 1, "Text.", 0});
    std::vector<uint8_t> bytes = b.build();
    bytes.pop_back();
    const std::string cut = dir.write("cut.tvk", std::string(bytes.begin(), bytes.end()));
    ToolRun s = run(kTool + " streams " + cut);
    EXPECT_EQ(1, s.status);
    EXPECT_EQ(0u, s.out.find("error 223\n")) << s.out;
    ToolRun i = run(kTool + " info " + cut);
    EXPECT_EQ(1, i.status);
    EXPECT_EQ(0u, i.out.find("error 223"));
    ToolRun missing = run(kTool + " info " + dir.path + "/none.tvk");
    EXPECT_EQ(1, missing.status);
    EXPECT_EQ(0u, missing.out.find("error 222"));
    // A container that is no book: streams works, info needs INFO.
    b.omitStream("INFO");
    std::vector<uint8_t> noInfo = b.build();
    const std::string container = dir.write("noinfo.tvk", std::string(noInfo.begin(), noInfo.end()));
    EXPECT_EQ(0, run(kTool + " streams " + container).status);
    ToolRun notBook = run(kTool + " info " + container);
    EXPECT_EQ(1, notBook.status);
    EXPECT_EQ(0u, notBook.out.find("error 218"));
    EXPECT_EQ(2, run(kTool).status);
    EXPECT_EQ(2, run(kTool + " list x").status);
    const std::string bad = dir.write("bad.json", "{\"kind\":\"novel\"}");
    ToolRun badBuild = run(kBuild + " " + bad + " " + dir.path + "/x.tvk");
    EXPECT_EQ(1, badBuild.status);
    EXPECT_NE(std::string::npos, badBuild.out.find("unknown kind"));
}

TEST(Tvktool, ExampleSourcesCompile)
{
    Folder dir;
    for (const char* name : {"minimal-bible", "daily-readings", "small-dictionary"}) {
        const std::string src = std::string(QS_SOURCE_DIR) + "/tools/tvkbuild/examples/" + name + ".json";
        const std::string out = dir.path + "/" + name + ".tvk";
        ToolRun b = run(kBuild + " " + src + " " + out);
        ASSERT_EQ(0, b.status) << name << b.out;
        ToolRun info = run(kTool + " info " + out);
        EXPECT_EQ(0, info.status) << name << info.out;
    }
}

namespace {

// A small Bible with Strong's numbers, and a plain book.
struct QueryBooks {
    Folder dir;
    std::string bible, plain;
    uint32_t john = 0;
    QueryBooks()
    {
        cTvkBookBuilder b;
        b.kind = cTvkBookBuilder::Kind::Bible;
        b.info.bookName = "Mini";
        b.info.abbreviatedTitle = "KJV";
        b.info.strongsGreek[0] = 1;
        b.info.strongsGreek[1] = 5624;
        b.addSection({"Genesis", 1, "Genesis", BkSyncFormat::bibleKey(1, 0, 0)});
        b.addSection({"Genesis 1", 2, "Chapter 1", BkSyncFormat::bibleKey(1, 1, 0)});
        b.addSection(
            {"1", 3, "In the beginning God created the heaven and the earth.", BkSyncFormat::bibleKey(1, 1, 1)});
        b.addSection({"2", 3, "And the earth was without form, and void.", BkSyncFormat::bibleKey(1, 1, 2)});
        john = b.addSection({"16", 1, "For God so loved the world.", BkSyncFormat::bibleKey(43, 3, 16)});
        b.addSection({"3", 1, "Beloved, when I gave all diligence.", BkSyncFormat::bibleKey(65, 1, 3)});
        b.addIndexPair("SGRK", "SGCN", {{"25", {john}}, {"2316", {john}}});
        bible = dir.path + "/mini.tvk";
        EXPECT_TRUE(b.writeFile(bible));
        cTvkBookBuilder p;
        p.info.bookName = "Plain";
        p.addSection({"One", 1, "The earth and the earth again.", 0});
        plain = dir.path + "/plain.tvk";
        EXPECT_TRUE(p.writeFile(plain));
    }
    ToolRun ask(const std::string& command, const std::string& book, const std::string& argument) const
    {
        return run(kTool + " " + command + " " + book + " '" + argument + "'");
    }
};

}  // namespace

TEST(Tvktool, VersesOfAReference)
{
    QueryBooks q;
    ToolRun two = q.ask("verse", q.bible, "Gen 1:1-2");
    EXPECT_EQ(0, two.status);
    EXPECT_EQ("Genesis 1:1\tIn the beginning God created the heaven and the earth.\n"
              "Genesis 1:2\tAnd the earth was without form, and void.\n",
        two.out);
    EXPECT_EQ("John 3:16\tFor God so loved the world.\n", q.ask("verse", q.bible, "John 3:16").out);
    EXPECT_EQ("Jude 3\tBeloved, when I gave all diligence.\n", q.ask("verse", q.bible, "Jude 3").out);
    // A whole book, and two passages in the order given.
    const std::string genesis = q.ask("verse", q.bible, "Genesis").out;
    EXPECT_EQ(0u, genesis.find("Genesis 1:1\t")) << genesis;
    EXPECT_EQ(2, std::count(genesis.begin(), genesis.end(), '\n')) << genesis;
    EXPECT_EQ("John 3:16\tFor God so loved the world.\nGenesis 1:2\tAnd the earth was without form, and void.\n",
        q.ask("verse", q.bible, "John 3:16; Gen 1:2").out);

    ToolRun absent = q.ask("verse", q.bible, "Ex 1:1");
    EXPECT_EQ(1, absent.status);
    EXPECT_EQ("error 226\n", absent.out);
    EXPECT_EQ("error 221\n", q.ask("verse", q.bible, "no such book 9").out);
    EXPECT_EQ("error 221\n", q.ask("verse", q.plain, "John 3:16").out);
    EXPECT_EQ("error 222\n", q.ask("verse", q.dir.path + "/none.tvk", "John 3:16").out);
}

TEST(Tvktool, WordStrongsAndPhraseCounts)
{
    QueryBooks q;
    auto answer = [&](const std::string& command, const std::string& book, const std::string& argument) {
        ToolRun r = q.ask(command, book, argument);
        return std::to_string(r.status) + ":" + r.out;
    };
    EXPECT_EQ("0:3\n", answer("count", q.bible, "the"));
    EXPECT_EQ("0:2\n", answer("count", q.bible, "Earth"));
    EXPECT_EQ("0:2\n", answer("count", q.bible, "ear?h"));
    EXPECT_EQ("0:3\n", answer("count", q.bible, "w*"));  // without, world, when
    EXPECT_EQ("0:0\n", answer("count", q.bible, "zebra"));
    EXPECT_EQ("0:1\n", answer("count", q.plain, "earth"));
    EXPECT_EQ("1:error 221\n", answer("count", q.bible, "two words"));

    EXPECT_EQ("0:1\n", answer("strongs", q.bible, "G25"));
    EXPECT_EQ("0:1\n", answer("strongs", q.bible, "g0025"));
    EXPECT_EQ("0:0\n", answer("strongs", q.bible, "G26"));
    EXPECT_EQ("0:0\n", answer("strongs", q.bible, "H430"));  // no Hebrew concordance
    for (const char* bad : {"X25", "G", "G12a", "25", "G0", "G123456789"})
        EXPECT_EQ("1:error 221\n", answer("strongs", q.bible, bad)) << bad;

    EXPECT_EQ("0:2\n", answer("phrase", q.bible, "the earth"));
    EXPECT_EQ("0:1\n", answer("phrase", q.bible, "  so   loved the world "));
    EXPECT_EQ("0:0\n", answer("phrase", q.bible, "earth the"));
    EXPECT_EQ("0:0\n", answer("phrase", q.bible, "the zebra"));
    EXPECT_EQ("0:1\n", answer("phrase", q.plain, "the earth again"));
    EXPECT_EQ("1:error 221\n", answer("phrase", q.bible, " "));
    std::string many;
    for (int i = 0; i < 33; ++i)
        many += "the ";
    EXPECT_EQ("1:error 221\n", answer("phrase", q.bible, many));
    EXPECT_EQ("1:error 222\n", answer("count", q.dir.path + "/none.tvk", "the"));
}

TEST(Tvktool, RendersASection)
{
    QueryBooks q;
    ToolRun r = q.ask("render", q.bible, std::to_string(q.john));
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("loved")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("_s43.3.16")) << r.out;
    EXPECT_EQ("error 219\n", q.ask("render", q.bible, "99").out);
    for (const char* bad : {"x", "-1", "", "99999999999"})
        EXPECT_EQ("error 221\n", q.ask("render", q.bible, bad).out) << bad;
    EXPECT_EQ(2, run(kTool + " render " + q.bible).status);
}

TEST(Tvktool, SearchPrintsTheCountAndEachSectionInBookOrder)
{
    QueryBooks q;
    EXPECT_EQ("2\nGenesis 1:1\nGenesis 1:2\n", q.ask("search", q.bible, "earth").out);
    EXPECT_EQ("1\nGenesis 1:1\n", q.ask("search", q.bible, "\"the heaven and the earth\"").out);
    EXPECT_EQ("0\n", q.ask("search", q.bible, "earth heaven -created").out);
    EXPECT_EQ("2\nJohn 3:16\nJude 3\n", q.ask("search", q.bible, "lov* OR gave").out);
    EXPECT_EQ("1\nJohn 3:16\n", run(kTool + " search " + q.bible + " 'John 3:16' goto").out);
    EXPECT_EQ("4\nGenesis 1:1\nGenesis 1:2\nJohn 3:16\nJude 3\n",
        run(kTool + " search " + q.bible + " 'earth loved gave' any").out);
    // This book has no stem list: a stem search finds nothing.
    EXPECT_EQ("0\n", run(kTool + " search " + q.bible + " 'loving' all stem").out);
    EXPECT_EQ("1\nOne\n", q.ask("search", q.plain, "earth").out);
    // Bad input: nothing found, or a clear error for an unknown interpretation.
    for (const char* odd : {"", "\"", "OR", "-", "[[[", "*?_["})
        EXPECT_EQ(0, q.ask("search", q.bible, odd).status) << odd;
    ToolRun bad = run(kTool + " search " + q.bible + " earth sideways");
    EXPECT_EQ(1, bad.status);
    EXPECT_NE(std::string::npos, bad.out.find("error 221")) << bad.out;
    // Within a limit; a limit that does not parse is an error, not an empty result.
    EXPECT_EQ("1\nGenesis 1:2\n", run(kTool + " search " + q.bible + " earth all exact 'Genesis 1:2'").out);
    EXPECT_EQ("0\n", run(kTool + " search " + q.bible + " earth all exact 'John 3:16'").out);
    for (const char* limit : {"'Genesis 1;'", "'no such book 9'", "'earth'"}) {
        ToolRun unclear = run(kTool + " search " + q.bible + " earth all exact " + limit);
        EXPECT_EQ(1, unclear.status) << limit;
        EXPECT_NE(std::string::npos, unclear.out.find("error 226")) << unclear.out;
        EXPECT_NE(std::string::npos, unclear.out.find("limit was not understood")) << unclear.out;
    }
}

TEST(Tvktool, ABookWhoseSectionsDoNotAscendIsRefused)
{
    QueryBooks q;
    std::ifstream in(q.bible, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The SECT stream's start, from the tool's own listing ("SECT  start  size  name").
    const ToolRun listing = run(kTool + " streams " + q.bible);
    const size_t at = listing.out.find("\nSECT");
    ASSERT_NE(std::string::npos, at) << listing.out;
    const size_t sect = std::stoul(listing.out.substr(at + 5));
    const auto field = [&](size_t offset) { return static_cast<uint8_t>(bytes[sect + offset]); };
    const size_t record0 = field(4) | field(5) << 8, width = field(8) + field(9);
    ASSERT_GE(field(0), 5u);
    // The third and fourth verses' records swapped: one section would span the rest of the book.
    for (size_t i = 0; i < width; ++i)
        std::swap(bytes[sect + record0 + 3 * width + i], bytes[sect + record0 + 4 * width + i]);
    const std::string swapped = q.dir.write("swapped.tvk", bytes);
    for (const char* command : {"search", "count"}) {
        const ToolRun r = run(kTool + " " + command + " " + swapped + " earth");
        EXPECT_EQ(1, r.status) << command;
        EXPECT_EQ("error 220\n", r.out) << command;
    }
    // The book itself still answers.
    EXPECT_EQ("2\nGenesis 1:1\nGenesis 1:2\n", q.ask("search", q.bible, "earth").out);
}

TEST(Tvktool, LibraryListsTheBooksOfAFolderAndWhatItSkipped)
{
    Folder dir;
    const std::string books = dir.path + "/books";
    std::system(("mkdir -p '" + books + "/inner'").c_str());
    auto book = [&](const std::string& file, uint16_t id, const std::string& title) {
        cTvkBookBuilder b;
        b.info.bookName = title;
        b.info.abbreviatedTitle = title.substr(0, 3);
        b.info.publisherId = 7;
        b.info.bookId = id;
        b.addSection({"One", 1, "Some text.", 0});
        ASSERT_TRUE(b.writeFile(books + "/" + file));
    };
    book("b.tvk", 2, "Beta Book");
    book("inner/a.tvk", 1, "Alpha Book");
    std::ofstream(books + "/broken.tvk", std::ios::binary) << "not a book at all";
    const ToolRun r = run(kTool + " library '" + books + "'");
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("7:1:1:1\tother book (7)\tAlp\tAlpha Book\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("7:2:1:1\tother book (7)\tBet\tBeta Book\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("1 skipped\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("skipped " + books + "/broken.tvk: not a book file\n")) << r.out;
    // What it prints is the listing alone: the engine's traces go to the log (standard error).
    std::string listing = run("(" + kTool + " library '" + books + "' 2>/dev/null)").out;
    for (const std::string line :
        {"7:1:1:1\tother book (7)\tAlp\tAlpha Book\n", "7:2:1:1\tother book (7)\tBet\tBeta Book\n", "1 skipped\n"}) {
        const size_t at = listing.find(line);
        ASSERT_NE(at, std::string::npos) << line << " in " << listing;
        listing.erase(at, line.size());
    }
    EXPECT_EQ(listing, "skipped " + books + "/broken.tvk: not a book file\n");
    // Listing changes nothing in the folder.
    EXPECT_EQ(0, run("test -f '" + books + "/broken.tvk'").status);
    EXPECT_EQ(1, run(kTool + " library '" + dir.path + "/missing'").status);
}

TEST(Tvktool, LoadsNoGraphicsOrNetworkLibraries)
{
    // The reader's graphics and network libraries cost a tool run most of its time; it needs none.
    const ToolRun r = run("ldd " + kTool);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("libQt6Core"), std::string::npos) << r.out;
    for (const char* library : {"libQt6Gui", "libQt6Network", "libQt6Widgets", "libQt6OpenGL", "libGL", "libEGL",
             "libOpenGL", "libxcb", "libX11"})
        EXPECT_EQ(r.out.find(library), std::string::npos) << library << " in\n" << r.out;
}

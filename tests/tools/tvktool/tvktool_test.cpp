// The command-line tools end to end: tvkbuild compiles JSON sources, tvktool reads the results.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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
    ToolRun r{-1, {}};
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

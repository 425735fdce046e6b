// The tvkimport program end to end: usage, failures with their messages and exit codes, an authored
// book compiled and opened, a library run over a folder of exports.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/bookfile/cBkBookFile.h"

namespace {

const std::string kTool = std::string(QS_BINARY_DIR) + "/tools/tvkbuild/import/tvkimport";

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun run(const std::string& arguments)
{
    ToolRun r;
    std::FILE* p = popen((kTool + " " + arguments + " 2>&1").c_str(), "r");
    if (p == nullptr)
        return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

struct Folder {
    std::filesystem::path path;
    Folder() : path(std::filesystem::temp_directory_path() / ("tvkimport-test-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(path);
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string write(const std::string& name, const std::string& text) const
    {
        std::ofstream(path / name) << text;
        return (path / name).string();
    }
};

TEST(tvkimport, UsageAndAuthoredBooks)
{
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("bogus a b").status, 2);

    Folder f;
    ToolRun missing = run("authored " + (f.path / "none.qsbook").string() + " " + (f.path / "out.tvk").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("cannot read"), std::string::npos);

    const std::string bad = f.write("bad.qsbook", "= One\nan *open\n");
    ToolRun broken = run("authored " + bad + " " + (f.path / "out.tvk").string());
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.out.find("line 3: unclosed *"), std::string::npos) << broken.out;
    EXPECT_FALSE(std::filesystem::exists(f.path / "out.tvk"));

    const std::string good = f.write("good.qsbook", "@title Guide\n@bookid 7\n= One\nText.\n== Two\nMore.\n");
    EXPECT_EQ(run("authored " + good + " " + (f.path / "out.tvk").string()).status, 0);
    cBkBookFile book;
    ASSERT_EQ(book.open((f.path / "out.tvk").string().c_str()), 0u);
    EXPECT_EQ(book.sections().sectionCount(), 3u);
}

TEST(tvkimport, LibraryReportsMissingExportsAndSkippedEntries)
{
    Folder f;
    std::filesystem::create_directories(f.path / "lib");
    std::filesystem::create_directories(f.path / "books");
    std::filesystem::create_directories(f.path / "res");
    std::filesystem::create_directories(f.path / "src");
    f.write("src/engKJV2006eb.imp", "$$$Genesis 1:1\nIn the beginning\n$$$Genesis 1:2\nbad <w\n");
    ToolRun r = run("library " + (f.path / "src").string() + " " + (f.path / "res").string() + " " +
        (f.path / "lib").string() + " " + (f.path / "books").string());
    EXPECT_EQ(r.status, 1);  // the other exports and the authored sources are missing
    EXPECT_NE(r.out.find("engKJV2006eb: 2 entries, 1 compiled, 0 empty, 1 skipped"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  skipped Genesis 1:2: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("engWEB2015eb: cannot read"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("MXHelp.qsbook: cannot read"), std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::exists(f.path / "lib" / "KJV.tvk"));
    EXPECT_TRUE(std::filesystem::exists(f.path / "books" / "KJV.tvk"));
}

}  // namespace

#include "engine/foundation/FileHelpers.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

namespace {

// A fresh temporary folder, removed with everything in it afterwards.
class FileHelpersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/qs_filehelpers_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    static void writeFile(const std::string& path, const char* contents = "x")
    {
        FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr) << path;
        std::fputs(contents, f);
        std::fclose(f);
    }

    static bool isFolder(const std::string& path)
    {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    static bool linkExists(const std::string& path)
    {
        struct stat st;
        return ::lstat(path.c_str(), &st) == 0;
    }

    std::set<std::string> list(const std::string& folder, bool folders, bool files)
    {
        std::set<std::string> names;
        cFolderListing* listing = openFolder(folder.c_str());
        EXPECT_NE(listing, nullptr);
        cLString8 path;
        while (readNextFolderEntry(folder.c_str(), listing, folders, files, path))
            names.insert(std::string(path.chars(), static_cast<std::size_t>(path.length())));
        EXPECT_FALSE(readNextFolderEntry(folder.c_str(), listing, folders, files, path));  // stays at the end
        closeFolder(listing);
        return names;
    }

    std::string root;
};

}  // namespace

TEST_F(FileHelpersTest, FileExistsAndDeleteFile)
{
    const std::string file = root + "/f.txt";
    EXPECT_FALSE(fileExists(file.c_str()));
    writeFile(file);
    EXPECT_TRUE(fileExists(file.c_str()));
    EXPECT_TRUE(fileExists(root.c_str()));  // a folder counts
    deleteFile(file.c_str());
    EXPECT_FALSE(fileExists(file.c_str()));
    deleteFile(file.c_str());  // missing: ignored
    deleteFile(nullptr);
    EXPECT_FALSE(fileExists(nullptr));
    EXPECT_FALSE(fileExists(""));
}

TEST_F(FileHelpersTest, MakeFolderPathCreatesEveryAncestorWithItsParentsMode)
{
    const mode_t oldMask = ::umask(022);
    ASSERT_EQ(::chmod(root.c_str(), 0750), 0);
    const std::string deep = root + "/a/b/c";
    makeFolderPath(deep.c_str());
    EXPECT_TRUE(isFolder(root + "/a"));
    EXPECT_TRUE(isFolder(root + "/a/b"));
    EXPECT_TRUE(isFolder(deep));
    struct stat st;
    ASSERT_EQ(::stat(deep.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
    makeFolderPath(deep.c_str());  // already there: nothing happens
    EXPECT_TRUE(isFolder(deep));
    makeFolderPath((root + "/x//y/").c_str());  // doubled and trailing slashes
    EXPECT_TRUE(isFolder(root + "/x/y"));
    makeFolderPath(nullptr);
    makeFolderPath("");
    // A file in the way: the folders below it cannot be made; nothing else happens.
    writeFile(root + "/file");
    makeFolderPath((root + "/file/sub").c_str());
    EXPECT_FALSE(isFolder(root + "/file/sub"));
    ::umask(oldMask);
}

TEST_F(FileHelpersTest, DeleteFolderRecursivelyRemovesEverything)
{
    const std::string tree = root + "/tree";
    makeFolderPath((tree + "/sub/deeper").c_str());
    makeFolderPath((tree + "/empty").c_str());
    writeFile(tree + "/top.txt");
    writeFile(tree + "/sub/mid.txt");
    writeFile(tree + "/sub/deeper/low.txt");
    writeFile(tree + "/.hidden");
    deleteFolderRecursively(tree.c_str());
    EXPECT_FALSE(linkExists(tree));
    EXPECT_TRUE(isFolder(root));

    deleteFolderRecursively((root + "/missing").c_str());  // nothing to do
    deleteFolderRecursively(nullptr);
    deleteFolderRecursively("");
    EXPECT_TRUE(isFolder(root));
}

TEST_F(FileHelpersTest, DeleteFolderRecursivelyNeverFollowsLinksOutOfTheTree)
{
    const std::string outside = root + "/outside";
    makeFolderPath((outside + "/inner").c_str());
    writeFile(outside + "/keep.txt");
    writeFile(outside + "/inner/keep2.txt");
    writeFile(root + "/keepfile.txt");

    const std::string tree = root + "/tree";
    makeFolderPath((tree + "/sub").c_str());
    writeFile(tree + "/sub/gone.txt");
    ASSERT_EQ(::symlink(outside.c_str(), (tree + "/linkToFolder").c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), (tree + "/sub/linkToFolder2").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/keepfile.txt").c_str(), (tree + "/linkToFile").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/nowhere").c_str(), (tree + "/dangling").c_str()), 0);

    deleteFolderRecursively(tree.c_str());
    EXPECT_FALSE(linkExists(tree));
    EXPECT_TRUE(fileExists((outside + "/keep.txt").c_str()));
    EXPECT_TRUE(fileExists((outside + "/inner/keep2.txt").c_str()));
    EXPECT_TRUE(fileExists((root + "/keepfile.txt").c_str()));

    // A path that is itself a link to a folder is left alone, and so is its target.
    const std::string link = root + "/linkedTree";
    ASSERT_EQ(::symlink(outside.c_str(), link.c_str()), 0);
    deleteFolderRecursively(link.c_str());
    EXPECT_TRUE(linkExists(link));
    EXPECT_TRUE(fileExists((outside + "/keep.txt").c_str()));
}

TEST_F(FileHelpersTest, DeleteFolderRecursivelyHandlesDeepAndLongPaths)
{
    std::string path = root + "/deep";
    const std::string longName(200, 'n');
    for (int i = 0; i < 15; ++i)
        path += "/" + longName;  // far beyond 1024 bytes
    makeFolderPath(path.c_str());
    ASSERT_TRUE(isFolder(path)) << path.size();
    writeFile(path + "/leaf.txt");
    deleteFolderRecursively((root + "/deep").c_str());
    EXPECT_FALSE(linkExists(root + "/deep"));
}

TEST_F(FileHelpersTest, ReadNextFolderEntryFiltersFoldersAndFiles)
{
    makeFolderPath((root + "/dirA").c_str());
    makeFolderPath((root + "/dirB").c_str());
    writeFile(root + "/one.txt");
    writeFile(root + "/two.txt");
    ASSERT_EQ(::symlink((root + "/dirA").c_str(), (root + "/linkDir").c_str()), 0);

    EXPECT_EQ(list(root, false, true), (std::set<std::string> {root + "/one.txt", root + "/two.txt"}));
    EXPECT_EQ(list(root, true, false), (std::set<std::string> {root + "/dirA", root + "/dirB", root + "/linkDir"}));
    EXPECT_EQ(list(root, true, true).size(), 5u);
    EXPECT_TRUE(list(root, false, false).empty());

    cLString8 path("unchanged");
    EXPECT_FALSE(readNextFolderEntry(root.c_str(), nullptr, true, true, path));
    EXPECT_EQ(std::string(path.chars()), "unchanged");
    EXPECT_EQ(openFolder((root + "/missing").c_str()), nullptr);
    EXPECT_EQ(openFolder((root + "/one.txt").c_str()), nullptr);
    EXPECT_EQ(openFolder(nullptr), nullptr);
    closeFolder(nullptr);
}

TEST_F(FileHelpersTest, ReadNextFolderEntryBuildsPathsOfAnyLength)
{
    std::string folder = root;
    const std::string longName(250, 'd');
    for (int i = 0; i < 5; ++i)
        folder += "/" + longName;
    makeFolderPath(folder.c_str());
    const std::string file = folder + "/" + std::string(200, 'f');
    writeFile(file);
    const auto names = list(folder, false, true);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(*names.begin(), file);
    EXPECT_GT(file.size(), 1024u);
    EXPECT_TRUE(fileExists(names.begin()->c_str()));
}

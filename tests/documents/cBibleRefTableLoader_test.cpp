// The reference tables a Bible carries reach the engine when the Bible opens: newer tables replace the
// loaded ones and make the Bible's own books reachable, older or broken ones change nothing, and a
// Bible of its own versification is registered once as a translation of its own.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "documents/cBibleDoc.h"
#include "documents/cBibleRefTableLoader.h"
#include "engine/bookfile/BkSyncFormat.h"
#include "engine/docbase/cRenderParams.h"
#include "engine/references/cBibleRefDefaults.h"
#include "engine/references/cBibleRefTables.h"
#include "tests/documents/DocTestSupport.h"

using BkSyncFormat::bibleKey;

using doctest::folder;

namespace {

// The BibleBooks table of the defaults with one translation's books replaced.
std::string bibleBooksTable(std::uint32_t version, int translation, const std::vector<int>& books, bool broken = false)
{
    std::vector<BibleBookList> lists = cBibleRefDefaults::bibleBooks();
    BibleBookList list;
    list.fill(kBookListEnd);
    for (size_t i = 0; i < books.size(); ++i)
        list[i] = static_cast<std::int16_t>(books[i]);
    lists[static_cast<size_t>(translation - 1)] = list;
    std::string s = "+++ Header\nVersion=" + std::to_string(version) + "\nCount=" + std::to_string(lists.size()) +
        "\n--- End\n+++ Data\n\"TransNum\",\"Position\",\"BookNum\"\n";
    for (size_t t = 0; t < lists.size(); ++t)
        for (size_t i = 0; i < lists[t].size() && lists[t][i] != kBookListEnd; ++i)
            s += std::to_string(t + 1) + "," + std::to_string(broken && t == 0 ? i + 1 : i) + "," +
                std::to_string(lists[t][i]) + "\n";
    return s + "--- End\n";
}

// A Bible of Genesis 1:1-2 and Tobit (book 95) 1:1-2.
cTvkBookBuilder bible(const std::string& abbreviation)
{
    cTvkBookBuilder b;
    b.kind = cTvkBookBuilder::Kind::Bible;
    b.info.bookName = abbreviation + " Bible";
    b.info.abbreviatedTitle = abbreviation;
    b.info.publisherId = 7;
    b.info.bookId = 70;
    b.addSection({"Genesis", 1, "", bibleKey(1, 0, 0)});
    b.addSection({"Genesis 1", 2, "", bibleKey(1, 1, 0)});
    b.addSection({"1", 3, "In the beginning.", bibleKey(1, 1, 1)});
    b.addSection({"2", 3, "And the earth.", bibleKey(1, 1, 2)});
    b.addSection({"Tobit", 1, "", bibleKey(95, 0, 0)});
    b.addSection({"Tobit 1", 2, "", bibleKey(95, 1, 0)});
    b.addSection({"1", 3, "The book of the words of Tobit.", bibleKey(95, 1, 1)});
    b.addSection({"2", 3, "Who in the time of Enemessar.", bibleKey(95, 1, 2)});
    return b;
}

void carryBibleBooks(cTvkBookBuilder& b, const std::string& table, std::uint32_t version)
{
    b.addBibleRefFile("BibleBooks.csv", std::vector<std::uint8_t>(table.begin(), table.end()));
    b.info.tableVersions[static_cast<int>(BibleRefTable::BibleBooks)] = version;
}

std::uint32_t goTo(cBibleDoc& doc, const char* text)
{
    cRenderParams go;
    go.setOption0001(text);
    return doc.GoTo(go);
}

TEST(BibleRefTableLoader, NewerBookListsMakeTheBiblesBooksReachable)
{
    const std::vector<int> web = {67, 1, 95, 68};
    cTvkBookBuilder b = bible("WEB");
    // Before: the default list of translation 13 holds no Tobit.
    const std::string plain = folder().write(bible("WEB"), "plain-web.tvk");
    {
        cBibleDoc doc;
        doctest::openDoc(doc, plain);
        EXPECT_EQ(0u, goTo(doc, "Gen 1:2"));
        EXPECT_EQ(226u, goTo(doc, "Tobit 1:1"));
    }
    const std::uint32_t newer = cBibleRefDefaults::kBibleBooksVersion + 1;
    carryBibleBooks(b, bibleBooksTable(newer, 13, web), newer);
    const std::string path = folder().write(b, "web.tvk");
    cBibleDoc doc;
    doctest::openDoc(doc, path);
    EXPECT_EQ(newer, cBibleRefTables::version(BibleRefTable::BibleBooks));
    EXPECT_EQ(0u, goTo(doc, "Tobit 1:2"));
    cLString16 name;
    ASSERT_TRUE(doc.GetLocationName(name, false, false, nullptr));
    EXPECT_EQ("Tobit 1:2", doctest::str(name));
    const cWordList8* names = nullptr;
    const cLIntArray* sections = nullptr;
    ASSERT_EQ(2, doc.getBookNameSpellingLists(false, names, sections, false));
    EXPECT_EQ("Tobit", doctest::str(*names->at(1)));

    // A table of the same version with other books, and a newer one that is broken, change nothing.
    cTvkBookBuilder same = bible("WEB");
    carryBibleBooks(same, bibleBooksTable(newer, 13, {67, 1, 68}), newer);
    cTvkBookBuilder broken = bible("WEB");
    carryBibleBooks(broken, bibleBooksTable(newer + 1, 13, {67, 1, 68}, true), newer + 1);
    for (const auto& [builder, file] : {std::pair {&same, "same.tvk"}, std::pair {&broken, "broken.tvk"}}) {
        cBibleDoc other;
        doctest::openDoc(other, folder().write(*builder, file));
        EXPECT_EQ(newer, cBibleRefTables::version(BibleRefTable::BibleBooks)) << file;
        EXPECT_EQ(0u, goTo(other, "Tobit 1:1")) << file;
    }
    // Adopting an opened book file loads in the same way (the tools open books so).
    EXPECT_FALSE(cBibleRefTableLoader::loadFrom(*doc.bookFile()));
}

TEST(BibleRefTableLoader, OwnVersificationIsRegisteredOnce)
{
    cTvkBookBuilder b = bible("VGT");
    b.info.bibleBooks = "67, 1, 95, 68";
    const std::string path = folder().write(b, "vgt.tvk");
    const int before = cBibleRefTables::current()->translationCount();
    cBibleDoc doc;
    doctest::openDoc(doc, path);
    const cBibleRefTables::Ptr tables = cBibleRefTables::current();
    EXPECT_EQ(before + 1, tables->translationCount());
    const TranslationRow* row = tables->translationByAbbreviation("VGT");
    ASSERT_NE(nullptr, row);
    EXPECT_EQ(1, row->custom);
    EXPECT_EQ(row->number, doc.translationNumber());
    EXPECT_EQ(0u, goTo(doc, "Tobit 1:1"));
    // Opening it again, or a second document on it, keeps the one registration.
    cBibleDoc again;
    doctest::openDoc(again, path);
    EXPECT_EQ(before + 1, cBibleRefTables::current()->translationCount());
    EXPECT_FALSE(cBibleRefTableLoader::loadFrom(*again.bookFile()));

    // A book list naming a translation of the list, or one that is no list, registers nothing.
    cTvkBookBuilder kjv = bible("KJV");
    kjv.info.bibleBooks = "67,1,95,68";
    cTvkBookBuilder bad = bible("BAD");
    bad.info.bibleBooks = "67,one,68";
    for (const auto& [builder, file] : {std::pair {&kjv, "kjv.tvk"}, std::pair {&bad, "bad.tvk"}}) {
        cBibleDoc other;
        doctest::openDoc(other, folder().write(*builder, file));
        EXPECT_EQ(before + 1, cBibleRefTables::current()->translationCount()) << file;
    }
    EXPECT_EQ(nullptr, cBibleRefTables::current()->translationByAbbreviation("BAD"));
}

}  // namespace

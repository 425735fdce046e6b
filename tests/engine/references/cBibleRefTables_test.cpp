#include "engine/references/cBibleRefTables.h"

#include "engine/references/ReferenceTestSupport.h"
#include "engine/references/cBibleRefDefaults.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class ReferenceTables : public ::testing::Test {
protected:
    void SetUp() override { resetAllReferenceTables(); }
    void TearDown() override { resetAllReferenceTables(); }
    static cBibleRefTables::Ptr tables() { return cBibleRefTables::current(); }
};

TEST_F(ReferenceTables, DefaultsCarryTheirVersionsAndSizes)
{
    const std::uint32_t expected[] = {2, 3, 10, 9, 1, 4, 2, 1, 1, 1, 1, 1};
    for (int i = 0; i < kBibleRefTableCount; ++i)
        EXPECT_EQ(cBibleRefTables::version(static_cast<BibleRefTable>(i)), expected[i]) << i;
    const auto t = tables();
    EXPECT_EQ(t->bookNames(kLanguageEnglish).size(), 274u);
    EXPECT_EQ(t->bookNames(kLanguageSpanish).size(), 150u);
    EXPECT_EQ(t->translations().size(), 65u);
    EXPECT_EQ(t->translationCount(), 54);
    EXPECT_EQ(t->bookCount(), 174);
    EXPECT_EQ(t->totalOrder().size(), 174u);
    EXPECT_EQ(t->keyMap().size(), 14u);
    EXPECT_EQ(t->chapterWords().size(), 34u);
    EXPECT_EQ(t->oneChapterBooks().size(), 15u);
    EXPECT_EQ(t->oneChapterBooks().back(), -1);
}

TEST_F(ReferenceTables, DefaultVerseMapDescribesKingJamesVersification)
{
    const auto t = tables();
    long verses = 0;
    for (const VerseMapRow& row : t->verseMap().rows) {
        ASSERT_EQ(row.sourceFirstVerse, 1);
        if (row.sourceBook == 19 && row.sourceChapter == 151) {  // Psalm 151 is book 88
            EXPECT_EQ(row.targetBook, 88);
            EXPECT_EQ(row.targetChapter, 151);
            continue;
        }
        ASSERT_EQ(row.sourceBook, row.targetBook);
        verses += row.sourceLastVerse;
    }
    EXPECT_EQ(t->verseMap().rows.size(), 1190u);
    EXPECT_EQ(verses, 31102);
    EXPECT_EQ(t->firstVerseMapRow(19, 119), 478 + 118);  // Psalms begins after 478 chapters
    EXPECT_EQ(t->verseMap().rows[static_cast<std::size_t>(t->firstVerseMapRow(19, 119))].sourceLastVerse, 176);
    EXPECT_EQ(t->firstVerseMapRow(65, 2), -1);
}

TEST_F(ReferenceTables, LookupsAnswerNoneOutsideTheTables)
{
    const auto t = tables();
    EXPECT_EQ(t->nameNumberOfBook(1), 1);
    EXPECT_EQ(t->nameNumberOfBook(67), 85);
    EXPECT_EQ(t->nameNumberOfBook(97), 97);
    EXPECT_EQ(t->nameNumberOfBook(0), 0);
    EXPECT_EQ(t->nameNumberOfBook(175), 0);
    EXPECT_EQ(t->bookForName(19, 0), 19);
    EXPECT_EQ(t->bookForName(85, 1), 67);
    EXPECT_EQ(t->bookForName(84, 1), 0);  // Tobit is not in the 66-book lists
    EXPECT_EQ(t->bookForName(84, 0), 95);
    EXPECT_EQ(t->positionOfBook(1, 67), 0);
    EXPECT_EQ(t->positionOfBook(1, 1), 1);
    EXPECT_EQ(t->positionOfBook(1, 68), 67);
    EXPECT_EQ(t->positionOfBook(1, 95), -1);
    EXPECT_EQ(t->positionOfBook(1, 0), -1);
    EXPECT_EQ(t->positionOfBook(1, 175), -1);
    EXPECT_EQ(t->positionOfBook(0, 1), -1);
    EXPECT_EQ(t->positionOfBook(55, 1), -1);
    EXPECT_EQ(t->bookAtPosition(1, 0), 67);
    EXPECT_EQ(t->bookAtPosition(1, 67), 68);
    EXPECT_EQ(t->bookAtPosition(1, 68), -1);
    EXPECT_EQ(t->bookAtPosition(1, 101), -1);
    EXPECT_EQ(t->categories(98), nullptr);
    EXPECT_EQ(t->categories(40)->general, 2);
    EXPECT_EQ(t->translationByNumber(1, true)->abbreviation, "KJV");
    EXPECT_EQ(t->translationByNumber(1, false)->abbreviation, "KJVEC");
    EXPECT_EQ(t->translationByNumber(99, false), nullptr);
    EXPECT_TRUE(t->translationByNumber(7, true)->alternateCategories);
    EXPECT_EQ(t->translationByAbbreviation("nirv")->number, 23);
    EXPECT_EQ(t->translationByAbbreviation("NIR"), nullptr);
}

TEST_F(ReferenceTables, StrictLoaderReplacesOnlyWithAGreaterVersion)
{
    const std::string rows = "\"1\",\"1\"\n\"2\",\"19\"\n\"3\",\"19\"";
    auto same = tableFile(tableText(3, 3, rows));
    EXPECT_EQ(cBibleRefTables::loadBookNumToNameNum(same.get()), kBibleRefLoadOk);
    EXPECT_EQ(tables()->bookCount(), 174);

    auto newer = tableFile("\xEF\xBB\xBF" + tableText(4, 3, rows, " \r\n"));
    EXPECT_EQ(cBibleRefTables::loadBookNumToNameNum(newer.get()), kBibleRefLoadOk);
    EXPECT_EQ(cBibleRefTables::version(BibleRefTable::BookNumToNameNum), 4u);
    const auto t = tables();
    EXPECT_EQ(t->bookCount(), 3);
    EXPECT_EQ(t->nameNumberOfBook(1), 1);  // the title line was not taken as a row
    EXPECT_EQ(t->nameNumberOfBook(3), 19);
    EXPECT_EQ(t->bookForName(19, 0), 2);
}

TEST_F(ReferenceTables, StrictLoaderResultCodes)
{
    struct Case {
        const char* what;
        std::string text;
        std::int32_t expected;
    };
    const std::string good = "\"1\",\"0\",\"10\",\"10\"";
    const std::vector<Case> cases = {
        {"no data section", "+++ Header\nVersion=5\nCount=1\n--- End\n", 1},
        {"no end line", "+++ Header\nVersion=5\nCount=1\n--- End\n+++ Data\ntitle\n" + good + "\n", 1},
        {"end of file in header", "+++ Header\nVersion=5\n", 1},
        {"stray line", "+++ Header\nVersion=5\nCount=1\n--- End\nstray\n+++ Data\ntitle\n" + good + "\n--- End\n", 1},
        {"short row", tableText(5, 1, "\"1\",\"0\",\"10\""), 1},
        {"no version", tableText(-1, 1, good), 2},
        {"no count", tableText(5, -1, good), 2},
        {"zero count", tableText(5, 0, ""), 2},
        {"bad version", "+++ Header\nVersion=x\nCount=1\n--- End\n+++ Data\nt\n" + good + "\n--- End\n", 2},
        {"count mismatch", tableText(5, 2, good), 3},
        {"value out of range", tableText(5, 1, "\"0\",\"0\",\"256\",\"10\""), 3},
        {"not a number", tableText(5, 1, "\"0\",\"zero\",\"10\",\"10\""), 3},
        {"line too long", tableText(5, 1, "\"0\",\"0\",\"10\",\"10" + std::string(70000, ' ') + "\""), 1},
        {"empty file", "", 1},
    };
    for (const Case& c : cases) {
        auto file = tableFile(c.text);
        EXPECT_EQ(cBibleRefTables::loadNameNumberToBookCategories(file.get()), c.expected) << c.what;
    }
    EXPECT_EQ(cBibleRefTables::version(BibleRefTable::NameNumberToBookCategories), 1u);
    EXPECT_EQ(tables()->categories(40)->general, 2);  // failed loads left the table alone
    EXPECT_EQ(cBibleRefTables::loadNameNumberToBookCategories(nullptr), 1);
}

TEST_F(ReferenceTables, CategoriesMustBeInNameNumberOrder)
{
    auto skipped = tableFile(tableText(2, 2, "0,0,0,0\n2,1,10,10"));
    EXPECT_EQ(cBibleRefTables::loadNameNumberToBookCategories(skipped.get()), 3);
    auto good = tableFile(tableText(2, 2, "0,255,255,255\n1,1,10,11"));
    EXPECT_EQ(cBibleRefTables::loadNameNumberToBookCategories(good.get()), 0);
    EXPECT_EQ(tables()->categories(1)->alternateDetailed, 11);
    EXPECT_EQ(tables()->categories(2), nullptr);
}

TEST_F(ReferenceTables, TranslationListFlagsAndQuotes)
{
    auto four = tableFile(tableText(11, 3,
        "\"NABRE\",\"New American Bible\",31,1\n\"NAB\",\"x\",7,1\n"
        "\"YLT\",\"Young''s Literal\",15,1"));
    EXPECT_EQ(cBibleRefTables::loadTranslationList(four.get()), 0);
    auto t = tables();
    ASSERT_EQ(t->translations().size(), 3u);
    EXPECT_TRUE(t->translations()[0].alternateCategories);
    EXPECT_TRUE(t->translations()[1].alternateCategories);
    EXPECT_FALSE(t->translations()[2].alternateCategories);
    EXPECT_EQ(t->translations()[2].name, "Young's Literal");

    auto five = tableFile(tableText(12, 2, "\"NAB\",\"x\",7,1,0\n\"ESV\",\"y\",9,0,1"));
    EXPECT_EQ(cBibleRefTables::loadTranslationList(five.get()), 0);
    t = tables();
    EXPECT_FALSE(t->translations()[0].alternateCategories);
    EXPECT_TRUE(t->translations()[1].alternateCategories);
    EXPECT_EQ(t->translationByNumber(9, true), nullptr);  // not shown

    auto shortRow = tableFile(tableText(13, 1, "\"NAB\",\"x\",7"));
    EXPECT_EQ(cBibleRefTables::loadTranslationList(shortRow.get()), 1);
}

TEST_F(ReferenceTables, BibleBooksOrderIsChecked)
{
    const std::string good = "1,0,67\n1,1,1\n1,2,2\n2,0,67\n2,1,40";
    auto skips = tableFile(tableText(10, 2, "1,0,67\n1,2,1\n2,0,67"));
    EXPECT_EQ(cBibleRefTables::loadBibleBooks(skips.get()), 3);
    auto startsAtOne = tableFile(tableText(10, 1, "1,1,67"));
    EXPECT_EQ(cBibleRefTables::loadBibleBooks(startsAtOne.get()), 3);
    auto skipsTranslation = tableFile(tableText(10, 2, "1,0,67\n3,0,1"));
    EXPECT_EQ(cBibleRefTables::loadBibleBooks(skipsTranslation.get()), 3);
    auto badBook = tableFile(tableText(10, 1, "1,0,40000"));
    EXPECT_EQ(cBibleRefTables::loadBibleBooks(badBook.get()), 3);
    auto tooFar = tableFile(tableText(10, 1, "1,100,1"));
    EXPECT_EQ(cBibleRefTables::loadBibleBooks(tooFar.get()), 3);
    EXPECT_EQ(tables()->translationCount(), 54);

    const auto before = tables();
    EXPECT_EQ(before->positionOfBook(2, 40), 40);  // fills the old snapshot's cache
    auto file = tableFile(tableText(10, 2, good));
    EXPECT_EQ(cBibleRefTables::loadBibleBooks(file.get()), 0);
    const auto t = tables();
    EXPECT_EQ(t->translationCount(), 2);
    EXPECT_EQ(t->positionOfBook(1, 2), 2);
    EXPECT_EQ(t->positionOfBook(2, 40), 1);  // a new table starts with an empty cache
    EXPECT_EQ(t->positionOfBook(2, 1), -1);
    EXPECT_EQ(t->bookAtPosition(1, 3), -1);
    EXPECT_EQ(before->positionOfBook(2, 40), 40);  // a reader keeps the tables it started with
}

TEST_F(ReferenceTables, BookNameFilesReplaceTheLists)
{
    const std::string english = "\"Genesis\",2,1,1,1,0,0,0\n\"Gn\",2,1,0,0,0,0,1";
    auto shortRow = tableFile(tableText(3, 1, "\"Genesis\",2,1,1"));
    auto spanish0 = tableFile(tableText(4, 1, "\"G\\xE9nesis\",2,1,1,1"));
    EXPECT_EQ(cBibleRefTables::loadBookNameLists(shortRow.get(), spanish0.get()), 1);
    auto mismatch = tableFile(tableText(3, 3, english));
    EXPECT_EQ(cBibleRefTables::loadBookNameLists(mismatch.get(), spanish0.get()), 3);
    EXPECT_EQ(cBibleRefTables::version(BibleRefTable::BookNames), 2u);

    // The Spanish file must be newer than the English one just loaded.
    auto en = tableFile(tableText(3, 2, english));
    auto esSame = tableFile(tableText(3, 1, "\"Genesis\",2,1,1,1"));
    EXPECT_EQ(cBibleRefTables::loadBookNameLists(en.get(), esSame.get()), 0);
    auto t = tables();
    ASSERT_EQ(t->bookNames(kLanguageEnglish).size(), 2u);
    EXPECT_EQ(t->bookNames(kLanguageEnglish)[0].kinds, kBookNameAbbreviationSource | kBookNameFull);
    EXPECT_EQ(t->bookNames(kLanguageEnglish)[1].kinds, kBookNameMatchOnly);
    EXPECT_EQ(t->bookNames(kLanguageSpanish).size(), 150u);
    EXPECT_EQ(cBibleRefTables::version(BibleRefTable::BookNames), 3u);

    auto en2 = tableFile(tableText(4, 1, "\"Exodus\",2,2,1,1"));
    auto es2 = tableFile(tableText(5, 1, "\"Exodo\",2,2,1,1"));
    EXPECT_EQ(cBibleRefTables::loadBookNameLists(en2.get(), es2.get()), 0);
    t = tables();
    EXPECT_EQ(t->bookNames(kLanguageSpanish).size(), 1u);
    EXPECT_EQ(t->bookNames(kLanguageSpanish)[0].text, "Exodo");
    EXPECT_EQ(cBibleRefTables::version(BibleRefTable::BookNames), 5u);
}

TEST_F(ReferenceTables, BookNumbersAreRangeChecked)
{
    auto outside = tableFile(tableText(5, 2, "1,1\n3,1"));
    EXPECT_EQ(cBibleRefTables::loadBookNumToNameNum(outside.get()), 3);
    auto bigName = tableFile(tableText(5, 1, "1,256"));
    EXPECT_EQ(cBibleRefTables::loadBookNumToNameNum(bigName.get()), 3);
    auto huge = tableFile(tableText(5, 100000, "1,1"));
    EXPECT_EQ(cBibleRefTables::loadBookNumToNameNum(huge.get()), 3);
    auto order = tableFile(tableText(3, 2, "1,67\n3,1"));
    EXPECT_EQ(cBibleRefTables::loadTotalOrderOnBookNumber(order.get()), 3);
    auto orderOk = tableFile(tableText(3, 2, "2,1\n1,67"));
    EXPECT_EQ(cBibleRefTables::loadTotalOrderOnBookNumber(orderOk.get()), 0);
    EXPECT_EQ(tables()->totalOrder(), (std::vector<std::int32_t> {67, 1}));
}

TEST_F(ReferenceTables, VerseMapKeepsFileOrderAndIndexesByTarget)
{
    auto unsorted = tableFile(tableText(5, 2, "2,1,1,250,2,1,1,1\n1,1,1,250,1,1,1,1"));
    EXPECT_EQ(cBibleRefTables::loadVerseMap(unsorted.get()), 3);
    auto badStep = tableFile(tableText(5, 1, "1,1,1,250,1,1,1,-129"));
    EXPECT_EQ(cBibleRefTables::loadVerseMap(badStep.get()), 3);
    auto file =
        tableFile(tableText(5, 4, "1,1,1,250,9,1,1,1\n1,2,1,250,3,1,1,-1\n2,1,1,250,3,2,1,255\n2,2,1,5,1,1,1,0"));
    ASSERT_EQ(cBibleRefTables::loadVerseMap(file.get()), 0);
    const auto t = tables();
    ASSERT_EQ(t->verseMap().rows.size(), 4u);
    EXPECT_EQ(t->verseMap().rows[1].step, -1);
    EXPECT_EQ(t->verseMap().rows[2].step, -1);
    EXPECT_EQ(t->verseMap().byTarget, (std::vector<std::uint32_t> {3, 1, 2, 0}));
    EXPECT_EQ(t->firstVerseMapRow(2, 1), 2);
    cBibleRefTables::sortVerseMapIndex();
    EXPECT_EQ(tables()->verseMap().byTarget, t->verseMap().byTarget);
    EXPECT_EQ(cBibleRefTables::version(BibleRefTable::VerseMap), 5u);
}

TEST_F(ReferenceTables, DictionaryLoaderResultCodes)
{
    const std::string row = "89,28,24,98,0,89,28,25,0";
    struct Case {
        const char* what;
        std::string text;
        std::int32_t expected;
    };
    const std::vector<Case> cases = {
        {"header never ends", "+++ Header\nVersion=5\nCount=1\n", 1},
        {"no version", "+++ Header\nCount=1\n--- End\n+++ Data\nt\n" + row + "\n", 2},
        {"no count", "+++ Header\nVersion=5\n--- End\n+++ Data\nt\n" + row + "\n", 2},
        {"zero count", "+++ Header\nVersion=5\nCount=0\n--- End\n+++ Data\nt\n" + row + "\n", 2},
        {"no data section", "+++ Header\nVersion=5\nCount=1\n--- End\n", 1},
        {"short row", "+++ Header\nVersion=5\nCount=1\n--- End\n+++ Data\nt\n89,28,24\n", 1},
        {"part out of range", "+++ Header\nVersion=5\nCount=1\n--- End\n+++ Data\nt\n89,28,24,256,0,89,28,25,0\n", 3},
        {"not newer", "+++ Header\nVersion=1\nCount=1\n--- End\n", 0},
    };
    for (const Case& c : cases) {
        auto file = tableFile(c.text);
        EXPECT_EQ(cBibleRefTables::loadFixUpRefMap(file.get()), c.expected) << c.what;
    }
    EXPECT_EQ(tables()->fixUps().size(), 2u);
    // Data may end at the end of the file.
    auto atEof = tableFile("+++ Header\nVersion=2\nCount=1\n--- End\n+++ Data\nt\n" + row);
    EXPECT_EQ(cBibleRefTables::loadFixUpRefMap(atEof.get()), 0);
    ASSERT_EQ(tables()->fixUps().size(), 1u);
    EXPECT_EQ(tables()->fixUps()[0].sourcePart, 'b');
}

TEST_F(ReferenceTables, SmallMapTablesLoad)
{
    auto keys = tableFile(tableText(2, 1, "5,-1,-4,5,3,1"));
    EXPECT_EQ(cBibleRefTables::loadGetKeyMap(keys.get()), 0);
    EXPECT_EQ(tables()->keyMap().size(), 1u);
    auto special = tableFile(tableText(2, 1, "78,91,1,2,-4,-4,27"));
    EXPECT_EQ(cBibleRefTables::loadDoMapSpecialCasesMap(special.get()), 0);
    auto words = tableFile(tableText(2, 2, "19,152,\"151A\",\"151A\",1\n1,0,\"Intro\",\"In\",0"));
    EXPECT_EQ(cBibleRefTables::loadGetChapterNumberSpellingMap(words.get()), 0);
    EXPECT_EQ(tables()->chapterWordForSpelling(1, 0), nullptr);
    EXPECT_EQ(tables()->chapterWordForSpelling(19, 152)->longWord, "151A");
    auto badChapter = tableFile(tableText(3, 1, "19,300,\"x\",\"x\",1"));
    EXPECT_EQ(cBibleRefTables::loadGetChapterNumberSpellingMap(badChapter.get()), 3);

    // Rows beyond Count are not stored; -1 closes the list and is counted.
    auto books = tableFile(tableText(2, 3, "65\n31\n-1\n57"));
    EXPECT_EQ(cBibleRefTables::loadIsOneChapterBookList(books.get()), 0);
    EXPECT_EQ(tables()->oneChapterBooks(), (std::vector<std::int32_t> {65, 31, -1}));
    auto cut = tableFile(tableText(3, 1, "65\n31"));
    EXPECT_EQ(cBibleRefTables::loadIsOneChapterBookList(cut.get()), 0);
    EXPECT_EQ(tables()->oneChapterBooks(), (std::vector<std::int32_t> {65, -1}));
    EXPECT_FALSE(tables()->isOneChapterBook(31));
}

TEST_F(ReferenceTables, ResetDropsAndReloadsDefaults)
{
    auto keys = tableFile(tableText(9, 1, "5,-1,-4,5,3,1"));
    ASSERT_EQ(cBibleRefTables::loadGetKeyMap(keys.get()), 0);
    EXPECT_EQ(cBibleRefTables::version(BibleRefTable::GetKeyMap), 9u);
    cBibleRefTables::resetTable(BibleRefTable::GetKeyMap, -1);
    // A dropped table is empty at version 0 until the next reader loads the default, so
    // any file version now replaces it.
    auto older = tableFile(tableText(1, 1, "7,-1,-4,7,2,1"));
    EXPECT_EQ(cBibleRefTables::loadGetKeyMap(older.get()), 0);
    EXPECT_EQ(tables()->keyMap().size(), 1u);
    cBibleRefTables::resetTable(BibleRefTable::GetKeyMap, 1);
    EXPECT_EQ(tables()->keyMap().size(), 14u);
    EXPECT_EQ(cBibleRefTables::version(BibleRefTable::GetKeyMap), 1u);
}

TEST_F(ReferenceTables, CustomTranslationsAreReplacedNotDuplicated)
{
    EXPECT_EQ(cBibleRefTables::addCustomTranslation("KJV", "mine", "1,2"), 1);
    EXPECT_EQ(cBibleRefTables::addCustomTranslation("kjv", "mine", "1,2"), 1);  // built-ins stay
    EXPECT_EQ(tables()->translationCount(), 54);
    const int first = cBibleRefTables::addCustomTranslation("KJVX", "Mine", "67, 1, 2,x,3");
    EXPECT_EQ(first, 55);
    auto t = tables();
    EXPECT_EQ(t->bookAtPosition(55, 0), 67);
    EXPECT_EQ(t->bookAtPosition(55, 3), 3);
    EXPECT_EQ(t->bookAtPosition(55, 4), -1);
    // Inserted before its prefix "KJV" (and after "KJVEC", which is not a prefix).
    std::size_t custom = 0, kjv = 0;
    for (std::size_t i = 0; i < t->translations().size(); ++i) {
        if (t->translations()[i].abbreviation == "KJVX")
            custom = i;
        if (t->translations()[i].abbreviation == "KJV")
            kjv = i;
    }
    EXPECT_EQ(custom + 1, kjv);
    std::int32_t position = 0;
    int translation = 0;
    EXPECT_TRUE(cBibleRef::matchTranslationAbbreviation("kjvx", position, translation));
    EXPECT_EQ(translation, 55);

    const int second = cBibleRefTables::addCustomTranslation("kjvx", "Mine again", "40");
    EXPECT_EQ(second, 55);
    t = tables();
    int rows = 0;
    for (const TranslationRow& row : t->translations())
        if (row.number == 55)
            ++rows;
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(t->translationCount(), 55);
    EXPECT_EQ(t->bookAtPosition(55, 0), 40);
    EXPECT_TRUE(t->translationByNumber(55, true)->custom);

    // Replacing an earlier custom translation renumbers the ones after it.
    EXPECT_EQ(cBibleRefTables::addCustomTranslation("OTHER", "Other", "1"), 56);
    EXPECT_EQ(cBibleRefTables::addCustomTranslation("KJVX", "Third", "2"), 56);
    t = tables();
    EXPECT_EQ(t->translationByAbbreviation("OTHER")->number, 55);
    EXPECT_EQ(t->bookAtPosition(55, 0), 1);
    EXPECT_EQ(t->bookAtPosition(56, 0), 2);
    EXPECT_EQ(t->translationCount(), 56);
}

TEST_F(ReferenceTables, LoadersAndReadersMayRunTogether)
{
    std::atomic<bool> stop {false};
    std::atomic<int> wrong {0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                cBibleRef ref;
                std::int32_t pos = 0;
                if (ref.parse("Gen 1:1-3; Jn 3:16", pos) != 0)
                    ++wrong;
                ref.formatSpelling(3);
                if (std::string(ref.spellingText()) != "Genesis 1:1-3; John 3:16")
                    ++wrong;
                if (!ref.setTranslation(9))
                    ++wrong;
            }
        });
    }
    for (int version = 5; version < 45; ++version) {
        auto map = tableFile(tableText(version, 2, "1,1,1,250,1,1,1,1\n43,3,1,250,43,3,1,1"));
        EXPECT_EQ(cBibleRefTables::loadVerseMap(map.get()), 0);
        cBibleRefTables::freeTranslationBookPositionCache();
    }
    stop = true;
    for (auto& th : readers)
        th.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(cBibleRefTables::version(BibleRefTable::VerseMap), 44u);
}

}  // namespace

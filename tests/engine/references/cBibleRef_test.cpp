#include "engine/references/cBibleRef.h"

#include "engine/foundation/cLObjectArray.h"
#include "engine/references/ReferenceTestSupport.h"

#include <gtest/gtest.h>

namespace {

class BibleRefModel : public ::testing::Test {
protected:
    void SetUp() override { resetAllReferenceTables(); }
    void TearDown() override { resetAllReferenceTables(); }
};

bibleRefRange* addRange(cBibleRef& ref, int sb, int sc, int sv, int eb, int ec, int ev)
{
    bibleRefRange* r = ref.appendRange();
    r->startBook = sb;
    r->startChapter = sc;
    r->startVerse = sv;
    r->endBook = eb;
    r->endChapter = ec;
    r->endVerse = ev;
    return r;
}

TEST_F(BibleRefModel, KeysBecomeRanges)
{
    cBibleRef verse(makeBibleKey(1, 1, 1));
    EXPECT_STREQ(verse.spellingText(), "Ge 1:1");  // constructors spell with flags 0
    EXPECT_FALSE(cBibleRef::isSpan(verse.firstRange()));

    cBibleRef book(makeBibleKey(1, 255, 255));
    const bibleRefRange* r = book.firstRange();
    EXPECT_EQ(r->startChapter, -1);
    EXPECT_EQ(r->endChapter, -2);
    EXPECT_EQ(r->startVerse, -1);
    EXPECT_EQ(r->endVerse, -2);
    EXPECT_EQ(spell(book, 3), "Genesis");
    EXPECT_EQ(spellKey(makeBibleKey(1, 3, 255), 3), "Genesis 3");

    cBibleRef last(makeBibleKey(1, 254, 254));
    EXPECT_EQ(last.firstRange()->startChapter, 254);  // 254 stays a number
    EXPECT_EQ(last.endKey(), makeBibleKey(1, 254, 254));

    cBibleRef none(packedBibleKey {0});
    EXPECT_FALSE(none.hasRanges());
    EXPECT_EQ(none.startKey(), 0u);
    EXPECT_EQ(none.endKey(), 0u);
    EXPECT_STREQ(none.spellingText(), "");
    EXPECT_EQ(none.generalCategory(), 255);
    EXPECT_EQ(none.detailedCategory(), 255);
    EXPECT_FALSE(cBibleRef::isSpan(nullptr));
    EXPECT_EQ(cBibleRef::nextRange(nullptr), nullptr);
}

TEST_F(BibleRefModel, CopiesOwnTheirRanges)
{
    cBibleRef a;
    addRange(a, 1, 1, 1, 1, 1, 3)->typedText = "Gen 1:1-3";
    addRange(a, 2, 1, -1, 2, 1, -2);
    a.setLanguage(10);
    cBibleRef b(a);
    EXPECT_TRUE(a == b);
    EXPECT_EQ(b.language(), 10);
    ASSERT_EQ(b.rangeCount(), 2);
    EXPECT_NE(a.firstRange(), b.firstRange());
    EXPECT_EQ(*b.firstRange()->typedText, "Gen 1:1-3");
    a.truncateRangesFrom(a.firstRange()->next);
    EXPECT_EQ(a.rangeCount(), 1);
    EXPECT_EQ(b.rangeCount(), 2);
    EXPECT_FALSE(a == b);

    cBibleRef fromNode(b.firstRange()->next);
    EXPECT_EQ(spell(fromNode, 3), "Exodus 1");
    cBibleRef fromNull(static_cast<const bibleRefRange*>(nullptr));
    EXPECT_FALSE(fromNull.hasRanges());

    cLObjectArray<cBibleRef> list;  // references travel in the engine's owning arrays
    list.addCopy(b);
    list.addCopy(a);
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.elementAt(0)->rangeCount(), 2);

    cBibleRef other;
    b.truncateRangesFrom(other.appendRange());  // a node of another list changes nothing
    EXPECT_EQ(b.rangeCount(), 2);
    b.truncateRangesFrom(b.firstRange());
    EXPECT_FALSE(b.hasRanges());
    bibleRefRange* added = b.appendRange();
    EXPECT_EQ(added, b.firstRange());
}

TEST_F(BibleRefModel, SpellingExamples)
{
    cBibleRef r;
    addRange(r, 1, 1, 1, 1, 1, 3);
    EXPECT_EQ(spell(r, 3), "Genesis 1:1-3");
    EXPECT_EQ(spell(r, 2), "Ge 1:1-3");

    cBibleRef chapters;
    addRange(chapters, 1, 1, -1, 1, 1, -2);
    addRange(chapters, 1, 3, -1, 1, 3, -2);
    EXPECT_EQ(spell(chapters, 3), "Genesis 1,3");

    cBibleRef verses;
    addRange(verses, 1, 1, 1, 1, 1, 1);
    addRange(verses, 1, 1, 3, 1, 1, 3);
    EXPECT_EQ(spell(verses, 3), "Genesis 1:1,3");
    EXPECT_EQ(spell(verses, 0x80003), "Genesis 1 1 and 3");

    cBibleRef mixed;
    addRange(mixed, 1, 1, -1, 1, 1, -2);
    addRange(mixed, 1, 2, 3, 1, 2, 3);
    EXPECT_EQ(spell(mixed, 3), "Genesis 1; 2:3");

    cBibleRef across;
    addRange(across, 1, 1, 1, 1, 2, 3);
    EXPECT_EQ(spell(across, 3), "Genesis 1:1-2:3");

    cBibleRef books;
    addRange(books, 1, -1, -1, 2, -2, -2);
    addRange(books, 40, 5, 3, 41, 1, 1);
    EXPECT_EQ(spell(books, 3), "Genesis-Exodus; Matthew 5:3-Mark 1:1");

    EXPECT_EQ(spellKey(makeBibleKey(65, 1, 3), 3), "Jude 3");
    EXPECT_EQ(spellKey(makeBibleKey(65, 1, 3), 0x403), "Jude 1:3");
    EXPECT_EQ(spellKey(makeBibleKey(17, 12, 1), 3), "Esther A:1");
    EXPECT_EQ(spellKey(makeBibleKey(19, 152, 3), 2), "Ps 151A:3");
    EXPECT_EQ(spellKey(makeBibleKey(96, 0, 1), 3), "Sirach Prologue:1");
    EXPECT_EQ(spellKey(makeBibleKey(96, 0, 1), 2), "Sir Prlg:1");
    EXPECT_EQ(spellKey(makeBibleKey(13, 5, 2), 2), "1Ch 5:2");

    cBibleRef spoken;
    addRange(spoken, 62, 1, -1, 62, 2, -2);
    EXPECT_EQ(spell(spoken, 0x80003), "First John 1 to 2");
    EXPECT_EQ(spellKey(makeBibleKey(97, 1, 1), 0x80003), "Esther 1 1");
    EXPECT_EQ(spellKey(makeBibleKey(97, 1, 1), 3), "Esther (Greek) 1:1");
    EXPECT_EQ(spellKey(makeBibleKey(200, 1, 1), 3), "ERROR 1:1");
}

TEST_F(BibleRefModel, FlagsSuppressParts)
{
    cBibleRef r;
    addRange(r, 1, 2, 3, 1, 2, 3);
    EXPECT_EQ(spell(r, 0x1003), "Genesis");
    EXPECT_EQ(spell(r, 0x2002), "2");
    EXPECT_EQ(spell(r, 0x4002), "3");
    EXPECT_EQ(spell(r, 0x8003), "Genesis 2");
    EXPECT_EQ(spell(r, 0x10003), "2:3");
    EXPECT_EQ(spell(r, 0x83), "Genesis 2.3");
    EXPECT_EQ(spell(r, 0x183), "Genesis 2.3");
    EXPECT_EQ(spell(r, 0x103), "Genesis 2 3");
    EXPECT_EQ(spellKey(makeBibleKey(65, 1, 3), 0x2003), "1");  // chapter only shows one-chapter books' chapter
}

TEST_F(BibleRefModel, TranslationSuffixes)
{
    cBibleRef r(makeBibleKey(1, 1, 1));
    EXPECT_TRUE(r.setTranslation(1));
    EXPECT_EQ(spell(r, 0x33), "Genesis 1:1 (KJV)");
    EXPECT_EQ(spell(r, 0x63), "Genesis 1:1 (King James Version)");
    EXPECT_EQ(spell(r, 0x12), "Ge 1:1 KJV");
    r.setTranslation(33);
    EXPECT_EQ(spell(r, 0x62), "Ge 1:1 (La Biblia de las Am\xC3\xA9ricas)");
    EXPECT_EQ(spell(r, 0x60), "Ge 1:1 (La Biblia de las Am\xE9ricas)");
    r.setTranslation(60);
    EXPECT_EQ(spell(r, 0x32), "Ge 1:1 (ERROR)");
}

TEST_F(BibleRefModel, LinkForms)
{
    cBibleRef verse(makeBibleKey(1, 1, 1));
    verse.setTranslation(1);
    EXPECT_EQ(spell(verse, 0x202), "<a href=\"bible:#01010101\">Ge 1:1</a>");
    cBibleRef chapter(makeBibleKey(1, 1, 255));
    chapter.setTranslation(1);
    EXPECT_EQ(spell(chapter, 0x203), "<a href=\"bible:-010101FF0101FE\">Genesis 1</a>");
    cBibleRef wholeBook(makeBibleKey(1, 255, 255));
    EXPECT_EQ(spell(wholeBook, 0x202), "<a href=\"bible:-0001FFFF01FEFE\">Ge</a>");
    EXPECT_EQ(spell(verse, 0x20003), "<LINK BIBLE=Genesis 1:1>Genesis 1:1</LINK>");
    EXPECT_EQ(spell(chapter, 0x20002), "<LINK BIBLE=Ge 1:1>Ge 1</LINK>");
    EXPECT_EQ(spell(wholeBook, 0x20002), "<LINK BIBLE=Ge 1:1>Ge</LINK>");
    EXPECT_EQ(spell(verse, 0x40002), "<a href=\"bible:Ge 1:1\">Ge 1:1</a>");

    cBibleRef two;
    addRange(two, 1, 1, 1, 1, 1, 1);
    addRange(two, 1, 1, 3, 1, 1, 3);
    EXPECT_EQ(spell(two, 0x40003), "<a href=\"bible:Genesis 1:1\">Genesis 1:1</a>,<a href=\"bible:3\">3</a>");
    cBibleRef high(makeBibleKey(130, 2, 3));
    EXPECT_EQ(spell(high, 0x10202), "<a href=\"bible:#00820203\">2:3</a>");
}

TEST_F(BibleRefModel, TypedTextIsKept)
{
    cBibleRef r;
    std::int32_t pos = 0;
    ASSERT_EQ(r.parse("Jn 3:16 , 18;4", pos), 0);
    EXPECT_EQ(spell(r, 0x100002),
        "<a href=\"bible:#002B0310\">Jn 3:16</a> , <a href=\"bible:#002B0312\">18</a>;"
        "<a href=\"bible:-002B04FF2B04FE\">4</a>");
    EXPECT_EQ(spell(r, 3), "John 3:16,18; 4");
}

TEST_F(BibleRefModel, SpellingIsCached)
{
    cBibleRef r(makeBibleKey(1, 1, 1));
    r.formatSpelling(3);
    const char* text = r.spellingText();
    r.formatSpelling(3);
    EXPECT_EQ(r.spellingText(), text);  // not rebuilt
    r.formatSpelling(2);
    EXPECT_STREQ(r.spellingText(), "Ge 1:1");
    r.setTranslation(1);
    r.setLanguage(10);
    EXPECT_EQ(spell(r, 1), "G\xE9nesis 1:1");
    EXPECT_EQ(spell(r, 3), "G\xC3\xA9nesis 1:1");
    EXPECT_EQ(spell(r, 2), "Gn 1:1");
    EXPECT_EQ(spell(r, 3 | 0x10000), "1:1");
    r.setFromKey(makeBibleKey(2, 1, 1));
    EXPECT_EQ(r.translation(), 0u);
    EXPECT_EQ(spell(r, 3), "\xC3\x89xodo 1:1");
}

TEST_F(BibleRefModel, StartKeysFollowTheKeyMap)
{
    EXPECT_EQ(cBibleRef(makeBibleKey(1, 255, 255)).startKey(), makeBibleKey(1, 1, 1));
    EXPECT_EQ(cBibleRef(makeBibleKey(1, 7, 255)).startKey(), makeBibleKey(1, 7, 1));
    EXPECT_EQ(cBibleRef(makeBibleKey(73, 255, 255)).startKey(), makeBibleKey(73, 12, 1));
    EXPECT_EQ(cBibleRef(makeBibleKey(73, 5, 255)).startKey(), makeBibleKey(73, 5, 3));
    EXPECT_EQ(cBibleRef(makeBibleKey(73, 5, 2)).startKey(), makeBibleKey(73, 5, 2));
    EXPECT_EQ(cBibleRef(makeBibleKey(96, 255, 255)).startKey(), makeBibleKey(96, 0, 1));
    EXPECT_EQ(cBibleRef(makeBibleKey(97, 255, 255)).startKey(), makeBibleKey(97, 11, 2));
    EXPECT_EQ(cBibleRef(makeBibleKey(166, 22, 255)).startKey(), makeBibleKey(166, 22, 53));
    EXPECT_EQ(cBibleRef(makeBibleKey(88, 255, 255)).startKey(), makeBibleKey(88, 151, 1));
}

TEST_F(BibleRefModel, VerseOrderExchange)
{
    int name = 0, chapter = 0, verse = 0;
    struct Case {
        int book, chapter, verse, expected;
    } cases[] = {{106, 20, 22, 23}, {106, 20, 23, 22}, {107, 14, 8, 15}, {107, 14, 10, 17}, {107, 14, 11, 8},
        {107, 14, 17, 14}, {108, 27, 11, 12}, {109, 2, 3, 2}, {109, 3, 3, 3}, {105, 20, 22, 22}};
    for (const Case& c : cases) {
        cBibleRef r(makeBibleKey(c.book, c.chapter, c.verse));
        ASSERT_TRUE(r.getStartBookChapterVerse(name, chapter, verse));
        EXPECT_EQ(verse, c.expected) << c.book << " " << c.verse;
        EXPECT_EQ(chapter, c.chapter);
    }
    auto names = tableFile(tableText(4, 107, "1,1\n107,200"));
    ASSERT_EQ(cBibleRefTables::loadBookNumToNameNum(names.get()), 0);
    for (int v = 1; v <= 20; ++v) {
        cBibleRef r(makeBibleKey(107, 14, v));
        ASSERT_TRUE(r.getStartBookChapterVerse(name, chapter, verse));
        EXPECT_EQ(name, 200);
    }
    cBibleRefTables::resetTable(BibleRefTable::BookNumToNameNum, 1);
    cBibleRef gen(makeBibleKey(1, 2, 3));
    ASSERT_TRUE(gen.getStartBookChapterVerse(name, chapter, verse));
    EXPECT_EQ(name, 1);
    cBibleRef empty;
    EXPECT_FALSE(empty.getStartBookChapterVerse(name, chapter, verse));
}

TEST_F(BibleRefModel, AlternativeSpellings)
{
    cBibleRef r;
    int index = -1;
    std::vector<std::string> spellings;
    for (std::string s; !(s = r.nextAlternativeSpelling(1, index, false)).empty();)
        spellings.push_back(s);
    EXPECT_EQ(spellings, (std::vector<std::string> {"Gen", "Gn"}));
    EXPECT_EQ(r.nextAlternativeSpelling(1, index, false), "");
    index = -1;
    r.setLanguage(10);
    EXPECT_EQ(r.nextAlternativeSpelling(2, index, true), "Exodo");
    EXPECT_EQ(r.nextAlternativeSpelling(2, index, true), "");  // "\xC9xodo" is the full name
}

TEST_F(BibleRefModel, NextChapterAndBook)
{
    cBibleRef r(makeBibleKey(1, 50, 26));
    r.setTranslation(1);
    EXPECT_EQ(r.nextChapter(), 0);
    EXPECT_EQ(r.startKey(), makeBibleKey(1, 51, 1));
    EXPECT_EQ(r.translation(), 1u);
    cBibleRef sirach(makeBibleKey(73, 4, 1));
    EXPECT_EQ(sirach.nextChapter(), 0);
    EXPECT_EQ(sirach.firstRange()->startVerse, 3);  // the key map's start of chapter 5
    cBibleRef whole(makeBibleKey(1, 255, 255));
    EXPECT_EQ(whole.nextChapter(), 1);
    cBibleRef empty;
    EXPECT_EQ(empty.nextChapter(), 1);
    EXPECT_EQ(empty.nextBook(), 1);

    cBibleRef book(makeBibleKey(1, 3, 4));
    book.setTranslation(9);
    EXPECT_EQ(book.nextBook(), 0);
    EXPECT_EQ(book.startKey(), makeBibleKey(2, 1, 1));
    EXPECT_EQ(book.translation(), 9u);
    cBibleRef rev(makeBibleKey(66, 1, 1));
    EXPECT_EQ(rev.nextBook(), 0);
    EXPECT_EQ(rev.firstRange()->startBook, 68);
    EXPECT_EQ(rev.nextBook(), 1);  // the last book
    cBibleRef outside(makeBibleKey(95, 1, 1));
    EXPECT_EQ(outside.nextBook(), 1);

    cBibleRef front(makeBibleKey(67, 1, 1));
    EXPECT_EQ(front.generalCategory(), 0);
}

TEST_F(BibleRefModel, Categories)
{
    cBibleRef gen(makeBibleKey(1, 1, 1));
    EXPECT_EQ(gen.generalCategory(), 1);
    EXPECT_EQ(gen.detailedCategory(), 10);
    cBibleRef rev(makeBibleKey(66, 1, 1));
    EXPECT_EQ(rev.generalCategory(), 2);
    EXPECT_EQ(rev.detailedCategory(), 24);
    cBibleRef sirach(makeBibleKey(96, 1, 1));
    EXPECT_EQ(sirach.generalCategory(), 3);
    EXPECT_EQ(sirach.detailedCategory(), 3);
    sirach.setTranslation(7);  // NAB uses the alternate categories
    EXPECT_EQ(sirach.detailedCategory(), 12);
    EXPECT_TRUE(cBibleRef::isOneChapterBook(65));
    EXPECT_FALSE(cBibleRef::isOneChapterBook(66));
}

}  // namespace

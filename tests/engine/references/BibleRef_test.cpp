#include "engine/references/BibleRef.h"

#include "engine/references/ReferenceTestSupport.h"

#include <gtest/gtest.h>

namespace {

class BibleRefFacade : public ::testing::Test {
protected:
    void SetUp() override { resetAllReferenceTables(); }
    void TearDown() override { resetAllReferenceTables(); }
};

TEST_F(BibleRefFacade, CreatedFromKeys)
{
    BibleRef ref = BibleRef::bibleRefWithStartKey(makeBibleKey(1, 1, 1), makeBibleKey(1, 1, 3));
    EXPECT_EQ(ref.fullSpelling(), QString("Genesis 1:1-3"));
    EXPECT_EQ(ref.bibleKey(), makeBibleKey(1, 1, 1));
    EXPECT_EQ(ref.endBibleKey(), makeBibleKey(1, 1, 3));

    BibleRef kept = BibleRef::bibleRefWithStartKey(makeBibleKey(1, 2, 255), makeBibleKey(1, 2, 255));
    EXPECT_EQ(kept.cBibleRefPointer()->firstRange()->startVerse, 255);
    EXPECT_EQ(kept.fullSpelling(), QString("Genesis 2:255"));
    kept.setBibleKey(makeBibleKey(1, 2, 255));
    EXPECT_EQ(kept.fullSpelling(), QString("Genesis 2"));
    EXPECT_TRUE(kept.isBookChapterOnly());
    EXPECT_FALSE(kept.isBookOnly());
}

TEST_F(BibleRefFacade, FreshObjectsAreNeutral)
{
    BibleRef ref;
    EXPECT_EQ(ref.translation(), QString("0"));
    EXPECT_FALSE(ref.isValid());
    EXPECT_EQ(ref.numRanges(), 0);
    EXPECT_EQ(ref.bibleKey(), 0u);
    EXPECT_EQ(ref.fullSpelling(), QString());
    EXPECT_EQ(ref.generalCategory(), 255);
    EXPECT_EQ(ref.detailedCategory(), 255);
    EXPECT_EQ(ref.language(), 1033);
    EXPECT_FALSE(ref.isFrontOrBack());
    EXPECT_FALSE(ref.mapToTranslation("KJV"));
    BibleRef moved = std::move(ref);
    EXPECT_EQ(ref.translation(), QString("0"));  // a moved-from object answers neutral values
    EXPECT_FALSE(ref.parse("Gen 1"));
}

TEST_F(BibleRefFacade, ParseTakesLinksOrText)
{
    BibleRef ref;
    EXPECT_TRUE(ref.parse("bible:#01010101"));
    EXPECT_EQ(ref.translation(), QString("1"));
    EXPECT_TRUE(ref.parse("Gen 1"));
    EXPECT_EQ(ref.translation(), QString("1"));  // the empty abbreviation changes nothing
    EXPECT_TRUE(ref.isBookChapterOnly());
    EXPECT_FALSE(ref.parse("Gen 1 xyz"));
    // Either language's names are read; the reference spells in its own.
    EXPECT_TRUE(ref.parse(QString::fromUtf8("1 Cr\xC3\xB3nicas 2"), "ESV"));
    EXPECT_EQ(ref.fullSpelling(), QString("1 Chronicles 2"));
    ref.setLanguage(10);
    EXPECT_EQ(ref.language(), 10);
    EXPECT_TRUE(ref.parse(QString::fromUtf8("1 Cr\xC3\xB3nicas 2"), "ESV"));
    EXPECT_EQ(ref.translation(), QString("9"));
    EXPECT_EQ(ref.fullSpelling(), QString::fromUtf8("1 Cr\xC3\xB3nicas 2"));
    EXPECT_FALSE(ref.parse("bible:#zz"));

    BibleRef link = BibleRef::bibleRefWithLinkString("bible:-010101FF0103FE", "NIV");
    EXPECT_EQ(link.translation(), QString("3"));
    EXPECT_EQ(link.fullSpelling(), QString("Genesis 1-3"));
    EXPECT_FALSE(BibleRef::bibleRefWithLinkString("nothing").isValid());
}

TEST_F(BibleRefFacade, SpellingsAndPredicates)
{
    BibleRef ref = BibleRef::bibleRefWithLinkString("bible:#01130305");
    EXPECT_EQ(ref.spellingUsingAbbreviatedBookName(true, false, false), QString("Ps 3:5"));
    EXPECT_EQ(ref.spellingUsingAbbreviatedBookName(false, true, true), QString("Psalms 3:5 (KJV)"));
    EXPECT_EQ(ref.spellingUsingAbbreviatedBookName(true, true, false), QString("Ps 3:5 (King James Version)"));
    EXPECT_EQ(ref.bookSpelling(), QString("Psalms"));
    EXPECT_EQ(ref.chapterSpelling(), QString("3"));
    EXPECT_EQ(ref.verseSpelling(), QString("5"));
    EXPECT_EQ(ref.generalCategory(), 1);
    EXPECT_EQ(ref.detailedCategory(), 12);
    EXPECT_FALSE(ref.isOneChapterBook());

    BibleRef jude;
    ASSERT_TRUE(jude.parse("Jude"));
    EXPECT_TRUE(jude.isBookOnly());
    EXPECT_TRUE(jude.isOneChapterBook());
    EXPECT_EQ(jude.fullSpelling(), QString("Jude"));
    EXPECT_EQ(jude.spellingUsingAbbreviatedBookName(false, true, true), QString("Jude (ERROR)"));  // translation 0
    BibleRef gen;
    ASSERT_TRUE(gen.parse("Gen"));
    EXPECT_TRUE(gen.isBookOnly());
    BibleRef two;
    ASSERT_TRUE(two.parse("Gen; Ex"));
    EXPECT_FALSE(two.isBookOnly());
    BibleRef front;
    front.setBibleKey(makeBibleKey(68, 1, 1));
    EXPECT_TRUE(front.isFrontOrBack());
}

TEST_F(BibleRefFacade, CopiesRangesAndArrays)
{
    BibleRef a;
    ASSERT_TRUE(a.parse("Gen 1:1; Jn 3:16-18", "KJV"));
    BibleRef b = a.copy();
    b.appendBibleRef(a);
    b.appendBibleRef(b);
    EXPECT_EQ(a.numRanges(), 2);
    EXPECT_EQ(b.numRanges(), 8);
    EXPECT_EQ(b.translation(), QString("1"));
    const QList<BibleRef> parts = a.arrayOfRefsFromRanges();
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[1].translation(), QString("1"));
    BibleRef second = parts[1];
    EXPECT_EQ(second.fullSpelling(), QString("John 3:16-18"));
    BibleRef wrapped = BibleRef::bibleRefWithcBibleRef(*a.cBibleRefPointer());
    EXPECT_EQ(wrapped.fullSpelling(), QString("Genesis 1:1; John 3:16-18"));
    EXPECT_TRUE(wrapped.mapToTranslation("ESV"));
    EXPECT_FALSE(wrapped.mapToTranslation("nothing"));
    EXPECT_EQ(a.translation(), QString("1"));
}

TEST_F(BibleRefFacade, TablesThroughTheFacade)
{
    EXPECT_EQ(BibleRef::bookNameListVersion(), 2u);
    EXPECT_EQ(BibleRef::bookNumToNameNumVersion(), 3u);
    EXPECT_EQ(BibleRef::transListVersion(), 10u);
    EXPECT_EQ(BibleRef::bibleBooksVersion(), 9u);
    EXPECT_EQ(BibleRef::nameNumberToBookCategoriesVersion(), 1u);
    EXPECT_EQ(BibleRef::verseMapVersion(), 4u);
    EXPECT_EQ(BibleRef::totalOrderOnBookNumberVersion(), 2u);
    EXPECT_EQ(BibleRef::fixUpRefMapVersion(), 1u);
    EXPECT_EQ(BibleRef::getKeyMapVersion(), 1u);
    EXPECT_EQ(BibleRef::doMapSpecialCasesMapVersion(), 1u);
    EXPECT_EQ(BibleRef::getChapterNumberSpellingMapVersion(), 1u);
    EXPECT_EQ(BibleRef::isOneChapterBookListVersion(), 1u);

    auto list = tableFile(tableText(11, 1, "\"ABC\",\"A Bible\",1,1"));
    EXPECT_EQ(BibleRef::loadTransListFromFile(list.get()), 0);
    EXPECT_EQ(BibleRef::transListVersion(), 11u);
    auto broken = tableFile(tableText(12, 2, "\"ABC\",\"A Bible\",1,1"));
    EXPECT_EQ(BibleRef::loadTransListFromFile(broken.get()), 3);
    auto keys = tableFile("+++ Header\nCount=1\n--- End\n");
    EXPECT_EQ(BibleRef::loadGetKeyMapFromFile(keys.get()), 2);

    EXPECT_EQ(BibleRef::addCustomTranslation("MINE", "My Bible", "1,2,3"), 55);
    EXPECT_EQ(BibleRef::addCustomTranslation("mine", "My Bible", "1,2"), 55);
    BibleRef ref;
    EXPECT_TRUE(ref.parse("Gen 1", "MINE"));
    EXPECT_EQ(ref.translation(), QString("55"));
    EXPECT_EQ(ref.spellingUsingAbbreviatedBookName(true, true, true),
        QString("Ge 1 (mine)"));  // the second registration replaced the first
}

}  // namespace

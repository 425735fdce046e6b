// Search expressions over a small Bible: operators and their order, parentheses, the parser's
// messages, Strong's pieces, derived forms, the cache record and re-evaluation over a range.

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "search/execution/SourceTupleSearchBook.h"
#include "search/execution/cSearchExpressionResult.h"
#include "tests/search/execution/MiniBible.h"

namespace {

using namespace minibible;
using Sections = std::vector<uint32_t>;

class ExpressionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_folder = new Folder();
        s_book = SourceTupleSearchBook::openFile(s_folder->writeBible());
    }
    static void TearDownTestSuite()
    {
        s_book.reset();
        delete s_folder;
    }
    void SetUp() override { ASSERT_NE(s_book, nullptr); }

    static Sections hits(const cSearchExpressionResult& r)
    {
        Sections out;
        for (uint32_t i = 0; i < r.hitCount(); ++i)
            out.push_back(r.sectionForHit(i));
        return out;
    }
    // The hits of an expression; the error code in `code`.
    static Sections eval(const std::u16string& expression, uint32_t* code = nullptr, const std::u16string& limit = u"")
    {
        cSearchExpressionResult r;
        const bool ok = r.evaluate(expression, limit, s_book->document());
        if (code != nullptr)
            *code = r.errorCode();
        EXPECT_EQ(ok, r.errorCode() == 0) << r.errorMessage();
        return ok ? hits(r) : Sections {};
    }
    static uint32_t code(const std::u16string& expression)
    {
        uint32_t c = 0;
        eval(expression, &c);
        return c;
    }

    static Folder* s_folder;
    static std::shared_ptr<SourceTupleSearchBook> s_book;
};

Folder* ExpressionTest::s_folder = nullptr;
std::shared_ptr<SourceTupleSearchBook> ExpressionTest::s_book;

}  // namespace

TEST_F(ExpressionTest, OperatorsAndParentheses)
{
    EXPECT_EQ(eval(u"love"), (Sections {kJohn13_34, kFirstJohn4_7, kFirstJohn4_8}));
    EXPECT_EQ(eval(u"love AND god"), (Sections {kFirstJohn4_7, kFirstJohn4_8}));
    EXPECT_EQ(eval(u"love & god"), eval(u"love AND god"));
    EXPECT_EQ(eval(u"light OR gave"), (Sections {kGenesis1_3, kJohn3_16, kJude3}));
    EXPECT_EQ(eval(u"god XOR love"), (Sections {kGenesis1_1, kGenesis1_3, kJohn3_16, kJohn13_34}));
    EXPECT_EQ(eval(u"god NOT love"), (Sections {kGenesis1_1, kGenesis1_3, kJohn3_16}));
    EXPECT_EQ(eval(u"god#love"), eval(u"god NOT love"));
    // One precedence, left to right; parentheses first.
    EXPECT_EQ(eval(u"light OR gave AND god"), (Sections {kGenesis1_3, kJohn3_16}));
    EXPECT_EQ(eval(u"light OR (gave AND god)"), (Sections {kGenesis1_3, kJohn3_16}));
    EXPECT_EQ(eval(u"(light OR gave) AND beloved"), (Sections {kJude3}));
    // Words in a row form one term, confirmed by the phrase test.
    EXPECT_EQ(eval(u"one another"), (Sections {kJohn13_34, kFirstJohn4_7}));
    EXPECT_EQ(eval(u"another one"), Sections {});
    // Lower-case operator words are words.
    EXPECT_EQ(eval(u"god and"), Sections {});
    // A book whose find proximity is 0: NEAR is AND.
    EXPECT_EQ(eval(u"love NEAR god"), eval(u"love AND god"));
    // Ten nested parentheses evaluate; the eleventh is refused.
    EXPECT_EQ(eval(u"((((((((((love))))))))))"), eval(u"love"));
    EXPECT_EQ(code(u"(((((((((((love)))))))))))"), 7u);
}

TEST_F(ExpressionTest, ParserMessages)
{
    EXPECT_EQ(code(u""), 1u);
    EXPECT_EQ(code(u"   "), 1u);
    EXPECT_EQ(code(u"AND love"), 2u);
    EXPECT_EQ(code(u"love AND"), 6u);
    EXPECT_EQ(code(u"love)"), 3u);
    EXPECT_EQ(code(u")love"), 4u);
    EXPECT_EQ(code(u"(love"), 5u);
    EXPECT_EQ(code(u"love OR OR god"), 2u);
    cSearchExpressionResult r;
    EXPECT_FALSE(r.evaluate(u"(love", u"", s_book->document()));
    EXPECT_EQ(r.errorMessage(), "There is a left parenthesis without a corresponding right parenthesis.");
    EXPECT_FALSE(r.evaluate(u"love", u"", nullptr));
    // A bad limit expression fails with the engine's code.
    EXPECT_FALSE(r.evaluate(u"love", u"Nowhere 12", s_book->document()));
}

TEST_F(ExpressionTest, StrongsPiecesAndDerivedForms)
{
    // This book's text carries no Strong's tokens, so the phrase test of "G26" (any word tagged G26)
    // finds none; the compiled KJV checks the hits themselves.
    EXPECT_EQ(eval(u"G26"), Sections {});
    uint32_t c = 0;
    cSearchExpressionResult r;
    EXPECT_FALSE(r.evaluate(u"love :x12", u"", s_book->document()));
    EXPECT_EQ(r.errorCode(), cSearchExpressionResult::kBadStrongsNumber);
    EXPECT_EQ(r.errorMessage(), "x12 is not a valid Strong's number. Correct this error and try again.");
    EXPECT_EQ(r.hitCount(), 0u);
    EXPECT_TRUE(r.evaluate(u"love :G26", u"", s_book->document())) << r.errorMessage();
    EXPECT_EQ(r.searchWordList().count(), 1u);
    EXPECT_EQ(r.searchWordList().itemAt(0).attribute, u"G26");
    // A term that starts with a Strong's piece qualifies a word "*".
    EXPECT_TRUE(r.evaluate(u":G26", u"", s_book->document()));
    ASSERT_EQ(r.searchWordList().count(), 1u);
    EXPECT_EQ(r.searchWordList().itemAt(0).word, u"*");
    EXPECT_EQ(eval(u"@loved"), (Sections {kJohn3_16, kJohn13_34, kFirstJohn4_7, kFirstJohn4_8}));
    EXPECT_EQ(eval(u"$lovd", &c).empty(), false);
    EXPECT_EQ(eval(u"lov*"), (Sections {kJohn3_16, kJohn13_34, kFirstJohn4_7, kFirstJohn4_8}));
    EXPECT_EQ(eval(u"-love"), eval(u"* NOT love"));
    EXPECT_EQ(eval(u"xyzzy"), Sections {});
    EXPECT_EQ(eval(u"love", nullptr, u"1 John 4:7-8"), (Sections {kFirstJohn4_7, kFirstJohn4_8}));
}

TEST_F(ExpressionTest, CacheRecordRoundTripAndRangeReEvaluation)
{
    cSearchExpressionResult r;
    ASSERT_TRUE(r.evaluate(u"love OR light", u"", s_book->document()));
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(r.serialize(1, f));
    std::rewind(f);
    cSearchExpressionResult back;
    ASSERT_TRUE(back.serialize(0, f));
    EXPECT_EQ(hits(back), hits(r));
    EXPECT_EQ(back.expression(), u"love OR light");
    EXPECT_EQ(back.searchWordList().count(), r.searchWordList().count());
    // A truncated record and an unknown version are refused.
    std::rewind(f);
    std::fputc(9, f);
    std::rewind(f);
    EXPECT_FALSE(back.serialize(0, f));
    std::fclose(f);
    // Re-evaluation over a range keeps the hits outside it and recomputes those inside.
    ASSERT_TRUE(r.searchSectionRange(nullptr, nullptr, s_book->document(), kJohn13_34, kFirstJohn4_8, nullptr, false));
    EXPECT_EQ(hits(r), (Sections {kGenesis1_3, kJohn13_34, kFirstJohn4_7, kFirstJohn4_8}));
    const std::u16string other = u"beloved";
    ASSERT_TRUE(r.searchSectionRange(&other, nullptr, s_book->document(), kJohn13_34, kFirstJohn4_8, nullptr, false));
    EXPECT_EQ(hits(r), (Sections {kGenesis1_3, kFirstJohn4_7}));
    EXPECT_FALSE(r.searchSectionRange(nullptr, nullptr, s_book->document(), 5, 4, nullptr, false));
    const std::u16string bad = u"(love";
    EXPECT_FALSE(r.searchSectionRange(&bad, nullptr, s_book->document(), 1, 9, nullptr, false));
    EXPECT_EQ(hits(r), (Sections {kGenesis1_3, kFirstJohn4_7}));
}

TEST_F(ExpressionTest, LongAndOddExpressionsEndQuickly)
{
    std::u16string many;
    for (int i = 0; i < 20000; ++i)
        many += u"love OR ";
    many += u"god";
    EXPECT_EQ(eval(many), (Sections {kGenesis1_1, kGenesis1_3, kJohn3_16, kJohn13_34, kFirstJohn4_7, kFirstJohn4_8}));
    std::u16string parens(5000, u'(');
    EXPECT_EQ(code(parens), 7u);
    for (const std::u16string& odd :
        {std::u16string(u"::::"), std::u16string(u"$"), std::u16string(u"@"), std::u16string(u"- - -"),
            std::u16string(u"~~~"), std::u16string(u"\xD800\xFFFF:G"), std::u16string(u"a:Gx :H1 :-G2*")})
        eval(odd);
}

#include "engine/bookfile/cBkGenInfoStg.h"

#include <gtest/gtest.h>

#include "BookFileTestSupport.h"
#include "tools/tvkbuild/TvkEncode.h"

namespace {

TvkEncode::InfoFields baseFields()
{
    TvkEncode::InfoFields f;
    f.bookName = "The Book";
    f.abbreviatedTitle = "TB";
    f.sortTitle = "Book, The";
    f.subtitle = "Sub";
    f.author = "An Author";
    f.publisherId = 12;
    f.bookId = 34;
    f.edition = 5;
    f.revision = 6;
    return f;
}

struct InfoFixture {
    std::unique_ptr<StreamFixture> fx;
    cBkGenInfoStg info;
    uint32_t result;
    explicit InfoFixture(const Bytes& bytes)
    {
        fx = std::make_unique<StreamFixture>(std::map<std::string, Bytes> {{"INFO", bytes}});
        result = info.open(&fx->file);
    }
};

}  // namespace

TEST(BkGenInfoStg, CurrentLayoutRoundTrip)
{
    TvkEncode::InfoFields f = baseFields();
    f.flags = 0x05 | 0x10;
    f.language = 10;
    f.strongsHebrew[0] = 1;
    f.strongsHebrew[1] = 2;
    f.strongsGreek[0] = 3;
    f.tableVersions[0] = 77;
    f.tableVersions[11] = 88;
    f.wordAttributeDefs = "L=1,Lemma,L:";
    InfoFixture x(TvkEncode::info(f));
    ASSERT_EQ(0u, x.result);
    cBkGenInfoStg& g = x.info;
    EXPECT_EQ(1, g.fileMajor());
    EXPECT_EQ(36, g.fileMinor());
    EXPECT_EQ(12, g.publisherId());
    EXPECT_EQ(34, g.bookId());
    EXPECT_EQ(5, g.edition());
    EXPECT_EQ(6, g.revision());
    EXPECT_TRUE(g.headerFlag0());
    EXPECT_FALSE(g.noVerseNumbersFlag());
    EXPECT_EQ(1, g.bookType());
    EXPECT_TRUE(g.ignoreIntraBookSyncFlag());
    EXPECT_TRUE(g.hasStrongsHebrew());
    EXPECT_FALSE(g.hasStrongsGreek());
    EXPECT_EQ(10u, g.languageNumber());
    EXPECT_EQ("Spanish", g.languageName());
    EXPECT_EQ(77u, g.bookNameListVersion());
    EXPECT_EQ(88u, g.isOneChapterBookListVersion());
    std::string s;
    uint32_t r = 1;
    g.bookName(s, false, &r);
    EXPECT_EQ("The Book", s);
    EXPECT_EQ(0u, r);
    g.sortTitle(s, false, false);
    EXPECT_EQ("Book, The", s);
    g.subtitle(s, false);
    EXPECT_EQ("Sub", s);
    g.copyright(s, false);
    EXPECT_EQ("", s);
    g.bookRangesString(s, false);
    EXPECT_EQ("OT=\"Gen-Mal\" NT=\"Mat-Rev\" Bible=\"Gen-Rev\"", s);
    EXPECT_TRUE(g.hasWordAttributeDefs());
    EXPECT_EQ(1, g.wordAttributeDefs().definitionCount());
}

TEST(BkGenInfoStg, OldLayoutKeepsTheFlagsByte)
{
    TvkEncode::InfoFields f = baseFields();
    f.fileMinor = 20;
    f.flags = 0x01;
    f.language = 10;
    InfoFixture x(TvkEncode::info(f));
    ASSERT_EQ(0u, x.result);
    EXPECT_TRUE(x.info.headerFlag0());
    EXPECT_EQ(1033u, x.info.languageNumber());
}

TEST(BkGenInfoStg, LayoutMarkerMustBeOne)
{
    TvkEncode::InfoFields f = baseFields();
    f.flags = 0x05;
    f.writeChecksum = false;
    Bytes b = TvkEncode::info(f);
    InfoFixture good(b);
    ASSERT_EQ(0u, good.result);
    EXPECT_TRUE(good.info.headerFlag0());
    EXPECT_FALSE(good.info.noVerseNumbersFlag());
    EXPECT_EQ(1, good.info.bookType());
    b[49] = 0;
    InfoFixture bad(b);
    EXPECT_EQ(BkResult::kMalformed, bad.result);
}

TEST(BkGenInfoStg, LanguageNames)
{
    for (auto [number, name, reads] : std::vector<std::tuple<uint16_t, std::string, uint32_t>> {
             {0, "English", 1033}, {1033, "English", 1033}, {535, "Greek", 535}, {13, "Language 13", 13}}) {
        TvkEncode::InfoFields f = baseFields();
        f.language = number;
        InfoFixture x(TvkEncode::info(f));
        ASSERT_EQ(0u, x.result);
        EXPECT_EQ(reads, x.info.languageNumber());
        EXPECT_EQ(name, x.info.languageName());
    }
}

TEST(BkGenInfoStg, OlderVersionsClearFieldsTheyDidNotHave)
{
    TvkEncode::InfoFields f = baseFields();
    f.fileMinor = 30;
    f.bibleBooks = "Gen Exo";
    f.tableVersions[0] = 5;
    f.tableVersions[7] = 9;
    InfoFixture x(TvkEncode::info(f));
    ASSERT_EQ(0u, x.result);
    std::string s;
    x.info.sortTitle(s, false, false);
    EXPECT_EQ("", s);
    x.info.sortTitle(s, false, true);
    EXPECT_EQ("TB", s);
    x.info.subtitle(s, false);
    EXPECT_EQ("", s);
    x.info.bibleBooksString(s, false);
    EXPECT_EQ("", s);
    EXPECT_EQ(0u, x.info.bookNameListVersion());
    EXPECT_EQ(0u, x.info.fixUpRefMapVersion());
}

TEST(BkGenInfoStg, SomeBooksHaveNoBibleBooksString)
{
    TvkEncode::InfoFields f = baseFields();
    f.bibleBooks = "Gen Exo";
    InfoFixture kept(TvkEncode::info(f));
    std::string s;
    kept.info.bibleBooksString(s, false);
    EXPECT_EQ("Gen Exo", s);
    f.publisherId = 101;
    f.bookId = 286;
    InfoFixture cleared(TvkEncode::info(f));
    ASSERT_EQ(0u, cleared.result);
    cleared.info.bibleBooksString(s, false);
    EXPECT_EQ("", s);
}

TEST(BkGenInfoStg, ChecksumIsCheckedWhenStored)
{
    TvkEncode::InfoFields f = baseFields();
    f.writeChecksum = false;
    InfoFixture none(TvkEncode::info(f));
    EXPECT_EQ(0u, none.result);

    f.writeChecksum = true;
    f.author = "Jos\xC3\xA9";  // bytes above 0x7F count negative
    Bytes good = TvkEncode::info(f);
    InfoFixture ok(good);
    EXPECT_EQ(0u, ok.result);

    Bytes tampered = good;
    tampered[46] ^= 1;  // book id changed after the checksum was made
    InfoFixture bad(tampered);
    EXPECT_EQ(BkResult::kMalformed, bad.result);

    f.fileMinor = 20;  // no checksum test in this version
    Bytes old = TvkEncode::info(f);
    old[46] ^= 1;
    InfoFixture skipped(old);
    EXPECT_EQ(0u, skipped.result);
}

TEST(BkGenInfoStg, ChecksumSumCountsHighBytesAsNegative)
{
    uint8_t h[124] = {};
    std::string plain[7] = {"A"}, high[7] = {"\xE9"};
    const uint32_t a = BkInfoFormat::checksumSum(h, plain, "");
    const uint32_t b = BkInfoFormat::checksumSum(h, high, "");
    EXPECT_EQ(a - 'A' - (256 - 0xE9), b);
    EXPECT_EQ(1u + static_cast<uint32_t>('A'), a);
    uint32_t value = 0;
    EXPECT_TRUE(BkInfoFormat::unscrambleChecksum(BkInfoFormat::scrambleChecksum(0xDEADBEEF), value));
    EXPECT_EQ(0xDEADBEEFu, value);
    EXPECT_FALSE(BkInfoFormat::unscrambleChecksum("x", value));
}

TEST(BkGenInfoStg, EntitiesAreDecodedOnRequest)
{
    TvkEncode::InfoFields f = baseFields();
    f.copyright = "&copy; 2020 Smith &amp; Sons &unknown; &";
    InfoFixture x(TvkEncode::info(f));
    std::string s;
    x.info.copyright(s, false);
    EXPECT_EQ(f.copyright, s);
    x.info.copyright(s, true);
    EXPECT_EQ("\xC2\xA9 2020 Smith & Sons &unknown; &", s);
}

TEST(BkGenInfoStg, EveryTruncatedHeaderFails)
{
    const Bytes whole = TvkEncode::info(baseFields());
    for (size_t n = 0; n < 124; ++n) {
        InfoFixture x(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)));
        EXPECT_EQ(BkResult::kPastEnd, x.result) << n;
    }
}

TEST(BkGenInfoStg, UnattachedAnswersUnknowns)
{
    cBkGenInfoStg g;
    EXPECT_EQ(0xFFFF, g.publisherId());
    EXPECT_EQ(0xFF, g.edition());
    std::string s = "x";
    g.bookName(s, true);
    EXPECT_EQ("", s);
    EXPECT_FALSE(g.hasWordAttributeDefs());
    StreamFixture fx({{"OTHR", {1}}});
    EXPECT_EQ(BkResult::kNotFound, g.open(&fx.file));
}

#include "engine/bookfile/cBkWordListStg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "BookFileTestSupport.h"
#include "engine/bookfile/BkText.h"
#include "engine/bookfile/cBkWordCache.h"
#include "tools/tvkbuild/TvkEncode.h"

namespace {
struct List {
    StreamFixture fx;
    cBkWordListStg st {bkTag("WRDS")};
    uint32_t result;
    explicit List(const Bytes& b) : fx({{"WRDS", b}}) { result = st.open(&fx.file); }
};

std::string word8(cBkWordListStg& l, uint32_t w)
{
    std::string s;
    l.wordForNumber(w, s);
    return s;
}
}  // namespace

TEST(BkWordListStg, RoundTripForEveryGroupSize)
{
    std::vector<std::string> words;
    for (int i = 0; i < 100; ++i)
        words.push_back("w" + std::to_string(i * 37 % 1000) + std::string(static_cast<size_t>(i % 23), 'x'));
    words.push_back("a-very-long-word-that-shares-nothing-and-needs-the-whole-form");
    words.push_back("\xC3\xA9t\xC3\xA9");
    words = TvkEncode::sortedWords(words);
    for (uint8_t g : {1, 4, 16, 255}) {
        List l(TvkEncode::wordList(words, g, {5, 0x1234}, 0));
        ASSERT_EQ(0u, l.result);
        ASSERT_EQ(words.size(), l.st.wordCount());
        for (uint32_t i = 0; i < words.size(); ++i) {
            ASSERT_EQ(words[i], word8(l.st, i)) << int(g) << " " << i;
            ASSERT_EQ(i, l.st.wordNumberForString(TvkEncode::wordSortKey(words[i]), false));
        }
        EXPECT_EQ("", word8(l.st, static_cast<uint32_t>(words.size())));
        EXPECT_EQ(5u, l.st.wordValue(0));
        EXPECT_EQ(0x1234u, l.st.wordValue(1));
        EXPECT_EQ(0xFFFFFFFFu, l.st.wordValue(2));
    }
}

TEST(BkWordListStg, ExactAndPrefixSearch)
{
    List l(TvkEncode::wordList({"go", "grace", "great", "hope"}, 2));
    ASSERT_EQ(0u, l.result);
    EXPECT_EQ(1u, l.st.wordNumberForString(u"GRACE", false));
    EXPECT_EQ(0xFFFFFFFFu, l.st.wordNumberForString(u"gr", false));
    EXPECT_EQ(1u, l.st.wordNumberForString(u"gr", true));
    EXPECT_EQ(0u, l.st.wordNumberForString(u"g", true));
    EXPECT_EQ(3u, l.st.wordNumberForString(u"h", true));
    EXPECT_EQ(0xFFFFFFFFu, l.st.wordNumberForString(u"z", true));
    EXPECT_EQ(0u, l.st.wordNumberForString(u"", true));
    List empty(TvkEncode::wordList({}, 4));
    ASSERT_EQ(0u, empty.result);
    EXPECT_EQ(0xFFFFFFFFu, empty.st.wordNumberForString(u"a", false));
    EXPECT_EQ(0u, empty.st.wordNumberForString(u"", true));
}

TEST(BkWordListStg, WildcardScans)
{
    List l(TvkEncode::wordList({"go", "grace", "great", "hope"}, 16));
    EXPECT_EQ(1, l.st.firstWildcardMatch(u"gr*e"));
    EXPECT_EQ(-1, l.st.nextWildcardMatch(u"gr*e", 1));
    EXPECT_EQ(2, l.st.firstWildcardMatch(u"gr?at"));
    EXPECT_EQ(3, l.st.firstWildcardMatch(u"*pe"));
    EXPECT_EQ(0, l.st.firstWildcardMatch(u"?o"));
    EXPECT_EQ(3, l.st.nextWildcardMatch(u"?o*", 0));
    EXPECT_EQ(3, l.st.firstWildcardMatch(u"hope"));
    EXPECT_EQ(-1, l.st.nextWildcardMatch(u"hope", 0));
    EXPECT_EQ(-1, l.st.firstWildcardMatch(u"x*"));
    EXPECT_EQ(0, l.st.firstWildcardMatch(u"-gr*"));
    EXPECT_EQ(3, l.st.nextWildcardMatch(u"-gr*", 0));
}

TEST(BkWordListStg, MarkedWordsAndLongFirstWords)
{
    const std::string marked = "\x9F"
                               "abc";
    List l(TvkEncode::wordList(TvkEncode::sortedWords({"zeta", marked, "alpha"}), 4));
    ASSERT_EQ(0u, l.result);
    EXPECT_EQ("\xFF"
              "abc",
        word8(l.st, 2));
    std::u16string w16;
    l.st.wordForNumber(2, w16);
    EXPECT_EQ(std::u16string(u"\uFFFFabc"), w16);
    EXPECT_EQ(2u, l.st.wordNumberForString(u"\uFFFFabc", false));

    const std::string longWord(120, 'q');
    List big(TvkEncode::wordList({longWord, "qr"}, 4));
    ASSERT_EQ(0u, big.result);
    EXPECT_EQ(std::string(99, 'q'), word8(big.st, 0));
    EXPECT_EQ("qr", word8(big.st, 1));
}

TEST(BkWordListStg, MalformedHeaders)
{
    Bytes zeroGroup = TvkEncode::wordList({"a", "b"}, 2);
    zeroGroup[6] = 0;
    List g(zeroGroup);
    EXPECT_EQ(BkResult::kMalformed, g.result);
    EXPECT_EQ("", word8(g.st, 0));

    Bytes hugeValues = TvkEncode::wordList({"a"}, 1, {1, 2});
    putLE(hugeValues, 40, 0x40000000u);
    List v(hugeValues);
    EXPECT_EQ(BkResult::kMalformed, v.result);

    Bytes unreadable = TvkEncode::wordList({"a"}, 1);
    unreadable[7] = 2;
    List u(unreadable);
    ASSERT_EQ(0u, u.result);
    EXPECT_EQ("", word8(u.st, 0));

    const Bytes whole = TvkEncode::wordList({"a"}, 1);
    for (size_t n = 0; n < 48; ++n) {
        List cut(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)));
        EXPECT_EQ(BkResult::kPastEnd, cut.result);
    }
    // Group positions past the stream give empty words, not reads elsewhere.
    Bytes lying = TvkEncode::wordList({"a", "b", "c"}, 1);
    putLE(lying, 0, 50);
    List l(lying);
    ASSERT_EQ(0u, l.result);
    EXPECT_EQ("", word8(l.st, 40));
}

TEST(BkWordCache, KeepsTheMostRecentHundredAndFifty)
{
    cBkWordCache c;
    c.add(1, "");
    EXPECT_EQ(0u, c.count());
    for (uint32_t i = 0; i < 150; ++i)
        c.add(i, "w" + std::to_string(i));
    std::string w;
    ASSERT_TRUE(c.lookup(0, w));  // 0 becomes the most recent
    EXPECT_EQ("w0", w);
    c.add(1000, "new");  // drops 1, the least recent
    EXPECT_EQ(150u, c.count());
    EXPECT_FALSE(c.lookup(1, w));
    EXPECT_TRUE(c.lookup(0, w));
    EXPECT_TRUE(c.lookup(1000, w));
    EXPECT_EQ("new", w);
    c.clear();
    EXPECT_FALSE(c.lookup(0, w));
}

namespace {
std::vector<std::string> manyWords()
{
    std::vector<std::string> words;
    for (int i = 0; i < 3000; ++i)
        words.push_back("w" + std::to_string(i * 7919 % 100000) + std::string(static_cast<size_t>(i % 19), 'k'));
    words.push_back(std::string("\x9F") + "marked");
    words.push_back(std::string(40, 'z') + "-shares-nothing-with-its-group");
    return TvkEncode::sortedWords(words);
}
}  // namespace

TEST(BkWordListStg, DecodedWordsAreKeptUntilTheListIsOpenedAgain)
{
    const auto words = manyWords();
    List l(TvkEncode::wordList(words, 16));
    ASSERT_EQ(0u, l.result);
    // Out of order and twice each: the second answer comes from the kept words.
    for (int pass = 0; pass < 2; ++pass)
        for (uint32_t i = 0; i < words.size(); ++i) {
            const uint32_t w = (i * 37) % static_cast<uint32_t>(words.size());
            std::string expected = words[w];
            if (static_cast<uint8_t>(expected[0]) == 0x9F)
                expected[0] = '\xFF';
            ASSERT_EQ(expected, word8(l.st, w)) << pass << " " << w;
        }
    std::u16string w16;
    for (int pass = 0; pass < 2; ++pass) {
        l.st.wordForNumber(static_cast<uint32_t>(words.size() - 1), w16);
        EXPECT_EQ(std::u16string(u"\uFFFFmarked"), w16);
        l.st.wordForNumber(1, w16);
        EXPECT_EQ(BkText::utf8ToUtf16(words[1]), w16);
    }
    // The same storage opened on another list answers from that list, in both forms.
    StreamFixture other({{"WRDS", TvkEncode::wordList({"alpha", "beta"}, 16)}}, "other.tvk");
    ASSERT_EQ(0u, l.st.open(&other.file));
    l.st.wordForNumber(1, w16);
    EXPECT_EQ(u"beta", w16);
    EXPECT_EQ("alpha", word8(l.st, 0));
    EXPECT_EQ("beta", word8(l.st, 1));
    EXPECT_EQ("", word8(l.st, 2));
    l.st.wordForNumber(2, w16);
    EXPECT_EQ(u"", w16);
    EXPECT_EQ(0u, l.st.wordNumberForString(u"ALPHA", false));
}

TEST(BkWordListStg, ThreadsDecodingOneListSeeTheSameWords)
{
    const auto words = manyWords();
    List l(TvkEncode::wordList(words, 8));
    ASSERT_EQ(0u, l.result);
    std::atomic<int> bad {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (uint32_t i = 0; i < words.size() - 2; ++i) {
                const uint32_t w = (i * 13 + static_cast<uint32_t>(t) * 997) % static_cast<uint32_t>(words.size() - 2);
                if (t % 3 == 0) {
                    std::u16string w16;
                    l.st.wordForNumber(w, w16);
                    bad += BkText::utf16ToUtf8(w16) == words[w] ? 0 : 1;
                } else if (t % 3 == 1) {
                    bad += word8(l.st, w) == words[w] ? 0 : 1;
                } else if (i % 10 == 0) {
                    bad += l.st.wordNumberForString(TvkEncode::wordSortKey(words[w]), false) == w ? 0 : 1;
                }
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(0, bad.load());
}

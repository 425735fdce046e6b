// Searches of the compiled KJV against counts this test computes itself from the exported source
// text: which verses hold a word, both of two words, either, one without the other, a phrase, words
// matching a pattern, and words tagged with a Strong's number.

#include <gtest/gtest.h>

#include <QString>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <unordered_map>

#include "documents/cBookDoc.h"
#include "engine/bookfile/cBkBookFile.h"
#include "search/core/TextFolding.h"
#include "search/core/WildcardPattern.h"
#include "search/execution/SearchRun.h"
#include "search/execution/SourceTupleSearchBook.h"
#include "search/execution/cSearchExpressionResult.h"
#include "tools/tvkbuild/import/TvkModuleImport.h"

namespace {

const std::string kBuild = QS_BINARY_DIR;

struct Verse {
    std::vector<std::string> words;  // lower-cased, outside notes
    std::set<std::string> strongs;   // "G26", "H430"
    // (word of a tagged element, number), once per word of the element
    std::multiset<std::pair<std::string, std::string>> tagged;
};

// Words as the reader cuts them: letters, digits and marks, with an apostrophe inside a word.
std::vector<std::string> splitWords(const std::string& text)
{
    const QString q = QString::fromUtf8(text.c_str());
    std::vector<std::string> words;
    QString current;
    for (qsizetype i = 0; i < q.size(); ++i) {
        const QChar c = q[i];
        const bool apostrophe = (c == u'\'' || c == QChar(0x2019)) && !current.isEmpty() && i + 1 < q.size() &&
            (q[i + 1].isLetter() || q[i + 1].isMark());
        if (c.isLetterOrNumber() || c.isMark() || c.isSurrogate() || apostrophe) {
            current += c;
        } else if (!current.isEmpty()) {
            words.push_back(current.toLower().toStdString());
            current.clear();
        }
    }
    if (!current.isEmpty())
        words.push_back(current.toLower().toStdString());
    return words;
}

std::string normalStrongs(const std::string& n)
{
    std::string digits = n.substr(1);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    return n.substr(0, 1) + digits;
}

Verse readVerse(const std::string& markup)
{
    Verse v;
    std::string plain;
    int noteDepth = 0;
    std::vector<std::pair<size_t, std::vector<std::string>>> open;  // <w> elements: text start, numbers
    for (size_t i = 0; i < markup.size();) {
        if (markup[i] != '<') {
            const size_t end = std::min(markup.find('<', i), markup.size());
            if (noteDepth == 0)
                plain += markup.substr(i, end - i);
            i = end;
            continue;
        }
        const size_t end = markup.find('>', i);
        const std::string tag = markup.substr(i + 1, end - i - 1);
        i = end + 1;
        const bool closing = tag[0] == '/';
        const bool empty = tag.back() == '/';
        const std::string name =
            tag.substr(closing ? 1 : 0, tag.find_first_of(" /", closing ? 1 : 0) - (closing ? 1 : 0));
        if (name == "div" && tag.find("type=\"book\"") != std::string::npos && tag.find("eID=") != std::string::npos)
            break;
        if (name == "note" && !empty)
            noteDepth += closing ? -1 : 1;
        if (name == "w" && noteDepth == 0 && !empty) {
            if (!closing) {
                std::vector<std::string> numbers;
                for (size_t p = 0; (p = tag.find("strong:", p)) != std::string::npos;) {
                    p += 7;
                    numbers.push_back(normalStrongs(tag.substr(p, tag.find_first_of(" \"", p) - p)));
                }
                open.emplace_back(plain.size(), numbers);
            } else if (!open.empty()) {
                const auto [start, numbers] = open.back();
                open.pop_back();
                const std::vector<std::string> inside = splitWords(plain.substr(start));
                for (const std::string& n : numbers) {
                    v.strongs.insert(n);
                    for (const std::string& w : inside)
                        v.tagged.insert({w, n});
                }
            }
        }
        if (noteDepth == 0)
            plain += ' ';
    }
    std::string decoded;
    for (size_t i = 0; i < plain.size(); ++i) {
        if (plain[i] == '&') {
            const size_t semi = plain.find(';', i);
            const std::string e = semi == std::string::npos ? "" : plain.substr(i + 1, semi - i - 1);
            if (e == "amp" || e == "lt" || e == "gt" || e == "quot" || e == "apos") {
                decoded += e == "amp" ? '&' : e == "lt" ? '<' : e == "gt" ? '>' : e == "quot" ? '"' : '\'';
                i = semi;
                continue;
            }
        }
        decoded += plain[i];
    }
    v.words = splitWords(decoded);
    return v;
}

// The verses of an exported module, by verse key.
std::map<uint32_t, Verse> readExport(const std::string& path)
{
    std::map<uint32_t, Verse> verses;
    std::ifstream in(path, std::ios::binary);
    std::string line, key, text;
    auto flush = [&] {
        const uint32_t k = key.empty() ? 0 : tvkVerseKeyFromExportKey(key);
        if (k != 0 && (k & 0xFF) != 0)
            verses[k] = readVerse(text);
    };
    while (std::getline(in, line)) {
        if (line.rfind("$$$", 0) == 0) {
            flush();
            key = line.substr(3);
            text.clear();
        } else {
            text += (text.empty() ? "" : "\n") + line;
        }
    }
    flush();
    return verses;
}

class KjvSearch : public ::testing::Test {
protected:
    static void SetUpTestSuite() { openBook("KJV.tvk", "engKJV2006eb.imp"); }
    static void openBook(const std::string& name, const std::string& source)
    {
        if (!std::filesystem::exists(kBuild + "/library/" + name) ||
            !std::filesystem::exists(kBuild + "/library-src/" + source))
            return;
        s_book = SourceTupleSearchBook::openFile(kBuild + "/library/" + name);
        s_verses = readExport(kBuild + "/library-src/" + source);
        auto* doc = static_cast<cBookDoc*>(s_book->document());
        for (uint32_t s = 1; s < s_book->numSections(); ++s) {
            const uint32_t k = doc->bibleKeyForSection(s);
            if ((k & 0xFF) != 0)
                s_keyOf[s] = k;
        }
    }
    static void TearDownTestSuite()
    {
        s_book.reset();
        s_verses.clear();
        s_keyOf.clear();
    }
    void SetUp() override
    {
        if (s_book == nullptr)
            GTEST_SKIP() << "the sample library has not been compiled (scripts/build-library.sh)";
    }

    // The verse keys a run finds.
    static std::set<uint32_t> found(const std::string& query, const char* interpretation = "all",
        const char* wordform = "exact", const char16_t* limits = u"")
    {
        SearchSpecification parsed(TextFolding::utf8ToUtf16(query));
        SearchOptions options;
        options.interpretation = interpretation;
        options.wordform = wordform;
        options.searchlimits = limits;
        std::set<uint32_t> keys;
        const std::unique_ptr<BitVector> hits = searchrun::searchResults(parsed, *s_book, options, 1);
        if (hits == nullptr)
            return keys;
        for (uint32_t s = hits->first(true); s != cBitVector::kNone; s = hits->nextAfter(s, true)) {
            const auto it = s_keyOf.find(s);
            if (it != s_keyOf.end())
                keys.insert(it->second);
        }
        return keys;
    }
    static std::set<uint32_t> expected(const std::function<bool(const Verse&)>& holds)
    {
        std::set<uint32_t> keys;
        for (const auto& [k, v] : s_verses)
            if (holds(v))
                keys.insert(k);
        return keys;
    }
    static bool has(const Verse& v, const std::string& w)
    {
        return std::find(v.words.begin(), v.words.end(), w) != v.words.end();
    }
    static bool hasPhrase(const Verse& v, const std::vector<std::string>& phrase)
    {
        return std::search(v.words.begin(), v.words.end(), phrase.begin(), phrase.end()) != v.words.end();
    }
    static bool hasMatch(const Verse& v, const std::string& pattern)
    {
        const std::u16string p = TextFolding::utf8ToUtf16(pattern);
        for (const std::string& w : v.words)
            if (wildcardMatch(p, TextFolding::utf8ToUtf16(w), false))
                return true;
        return false;
    }

    static void compareGeneratedQueries(uint64_t seed, int count);

    static std::shared_ptr<SourceTupleSearchBook> s_book;
    static std::map<uint32_t, Verse> s_verses;
    static std::map<uint32_t, uint32_t> s_keyOf;
};

std::shared_ptr<SourceTupleSearchBook> KjvSearch::s_book;
std::map<uint32_t, Verse> KjvSearch::s_verses;
std::map<uint32_t, uint32_t> KjvSearch::s_keyOf;

std::string describe(const std::set<uint32_t>& a, const std::set<uint32_t>& b)
{
    std::ostringstream out;
    out << a.size() << " found, " << b.size() << " expected; only found:" << std::hex;
    int n = 0;
    for (uint32_t k : a)
        if (!b.count(k) && n++ < 6)
            out << " " << k;
    out << "; only expected:";
    n = 0;
    for (uint32_t k : b)
        if (!a.count(k) && n++ < 6)
            out << " " << k;
    return out.str();
}

#define EXPECT_SAME(found, expected)                                                                                   \
    do {                                                                                                               \
        const auto f_ = (found);                                                                                       \
        const auto e_ = (expected);                                                                                    \
        EXPECT_FALSE(e_.empty());                                                                                      \
        EXPECT_TRUE(f_ == e_) << describe(f_, e_);                                                                     \
    } while (0)

}  // namespace

TEST_F(KjvSearch, SingleWordsFindTheVersesThatHoldThem)
{
    for (const char* w : {"love", "jerusalem", "shepherd", "selah", "charity"})
        EXPECT_SAME(found(w), expected([&](const Verse& v) { return has(v, w); }));
    // Letter case of the query does not matter.
    EXPECT_SAME(found("LoVe"), expected([](const Verse& v) { return has(v, "love"); }));
    // A word the book lacks finds nothing.
    EXPECT_TRUE(found("xyzzy").empty());
}

TEST_F(KjvSearch, AndOrAndNot)
{
    // Two words: every verse holding both, in any order.
    EXPECT_SAME(found("love faith"), expected([](const Verse& v) { return has(v, "love") && has(v, "faith"); }));
    EXPECT_SAME(found("faith love"), found("love faith"));
    // A word the book lacks empties the conjunction wherever it stands.
    EXPECT_TRUE(found("xyzzy love").empty());
    EXPECT_TRUE(found("love xyzzy").empty());
    // OR inside a position, between phrases, and the "any" interpretation.
    const auto either = expected([](const Verse& v) { return has(v, "love") || has(v, "charity"); });
    EXPECT_SAME(found("love OR charity"), either);
    EXPECT_SAME(found("love|charity"), either);
    EXPECT_SAME(found("love charity", "any"), either);
    EXPECT_SAME(found("\"love\" OR \"charity\""), either);
    // A hyphenated name is its parts side by side, wherever it stands (60 verses: "Beth-el" 59 and
    // one "Beth el").
    const auto bethel = expected([](const Verse& v) { return hasPhrase(v, {"beth", "el"}); });
    EXPECT_EQ(bethel.size(), 60u);
    for (const char* interpretation : {"all", "exact", "any"})
        EXPECT_SAME(found("Beth-el", interpretation), bethel);
    EXPECT_SAME(found("\"Beth-el\""), bethel);
    EXPECT_SAME(found("Beth-el OR Bethel"), expected([](const Verse& v) {
        return hasPhrase(v, {"beth", "el"}) || has(v, "bethel");
    }));
    EXPECT_SAME(found("Jacob -Beth-el"), expected([](const Verse& v) {
        return has(v, "jacob") && !hasPhrase(v, {"beth", "el"});
    }));
    EXPECT_SAME(found("\"up to Beth-el\""), expected([](const Verse& v) {
        return hasPhrase(v, {"up", "to", "beth", "el"});
    }));
    // A word OR a phrase, in either order and under every interpretation (472 verses).
    const auto wordOrPhrase = expected([](const Verse& v) {
        return has(v, "love") || hasPhrase(v, {"son", "of", "man"});
    });
    EXPECT_EQ(wordOrPhrase.size(), 472u);
    for (const char* interpretation : {"all", "exact", "any"}) {
        EXPECT_SAME(found("love OR \"son of man\"", interpretation), wordOrPhrase);
        EXPECT_SAME(found("\"son of man\" OR love", interpretation), wordOrPhrase);
    }
    // Exclusions: the first "-" takes the rest of the query, and any of its words excludes a verse.
    EXPECT_SAME(found("love -hate"), expected([](const Verse& v) { return has(v, "love") && !has(v, "hate"); }));
    EXPECT_SAME(found("lord -god israel"),
        expected([](const Verse& v) { return has(v, "lord") && !has(v, "god") && !has(v, "israel"); }));
    // A quoted exclusion takes out only the verses with the phrase.
    EXPECT_SAME(found("man -\"son of man\""), expected([](const Verse& v) {
        return has(v, "man") && !hasPhrase(v, {"son", "of", "man"});
    }));
    // A word the book lacks beside a quoted phrase or an OR group finds nothing either; "any" still
    // takes every member that finds something.
    for (const char* query : {"\"in the beginning\" qqqzz", "qqqzz \"in the beginning\"", "\"son of man\" gloryfied",
             "love OR charity qqqzz", "\"son of man\" love|charity qqqzz"}) {
        EXPECT_TRUE(found(query).empty()) << query;
        EXPECT_TRUE(found(query, "exact").empty()) << query;
    }
    EXPECT_SAME(found("\"son of man\" gloryfied", "any"), expected([](const Verse& v) {
        return hasPhrase(v, {"son", "of", "man"});
    }));
}

TEST_F(KjvSearch, APhraseIsFoundInTheMainTextAloneUnderEveryInterpretation)
{
    // 2 Samuel 20:18 holds "in the beginning" only in its translators' note: no interpretation finds
    // it there, and an exclusion of the phrase keeps the verse.
    const auto phrase = expected([](const Verse& v) { return hasPhrase(v, {"in", "the", "beginning"}); });
    EXPECT_EQ(phrase.size(), 17u);
    const uint32_t samuel = (10u << 16) | (20 << 8) | 18;
    EXPECT_EQ(phrase.count(samuel), 0u);
    for (const char* interpretation : {"any", "all", "exact"})
        EXPECT_SAME(found("\"in the beginning\"", interpretation), phrase);
    const auto saying = found("saying -\"in the beginning\"");
    EXPECT_EQ(saying.count(samuel), 1u);
    EXPECT_SAME(saying, expected([](const Verse& v) {
        return has(v, "saying") && !hasPhrase(v, {"in", "the", "beginning"});
    }));
}

TEST_F(KjvSearch, PhrasesKeepTheirWordOrder)
{
    for (const std::vector<std::string>& phrase : {std::vector<std::string> {"the", "lord", "is", "my", "shepherd"},
             {"son", "of", "man"}, {"the", "lord", "said"}, {"verily", "verily"}}) {
        std::string text;
        for (const std::string& w : phrase)
            text += (text.empty() ? "" : " ") + w;
        const auto want = expected([&](const Verse& v) { return hasPhrase(v, phrase); });
        EXPECT_SAME(found("\"" + text + "\""), want);
        // "exact" checks the order of an unquoted phrase too.
        EXPECT_SAME(found(text, "exact"), want);
    }
    // Unquoted under "all": the words in any order.
    EXPECT_SAME(
        found("man of son"), expected([](const Verse& v) { return has(v, "son") && has(v, "of") && has(v, "man"); }));
    // An unclosed quote drops its phrase; a phrase in quotes beside a word.
    EXPECT_TRUE(found("\"son of man").empty());
    EXPECT_SAME(found("jesus \"son of man\""), expected([](const Verse& v) {
        return has(v, "jesus") && hasPhrase(v, {"son", "of", "man"});
    }));
}

TEST_F(KjvSearch, WildcardsMatchWholeWords)
{
    for (const char* p : {"lov*", "?ove", "be*ed", "[lh]ove", "sh?ph*d", "*ness"})
        EXPECT_SAME(found(p), expected([&](const Verse& v) { return hasMatch(v, p); }));
    // A pattern and a word.
    EXPECT_SAME(found("lov* god"), expected([](const Verse& v) { return hasMatch(v, "lov*") && has(v, "god"); }));
    // "*" alone is every verse of the Bible, never a book or chapter heading: 31,102 in the whole
    // book, and the 34 verses of Genesis 1:1-2:3 without the heading "Genesis 2".
    const std::unique_ptr<BitVector> all =
        searchrun::searchResults(SearchSpecification(u"*"), *s_book, SearchOptions {}, 1);
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(all->count(true), s_keyOf.size());
    EXPECT_EQ(s_verses.size(), 31102u);
    EXPECT_EQ(found("*").size(), 31102u);
    SearchOptions limited;
    limited.searchlimits = u"Genesis 1:1-2:3";
    const std::unique_ptr<BitVector> creation =
        searchrun::searchResults(SearchSpecification(u"*"), *s_book, limited, 1);
    ASSERT_NE(creation, nullptr);
    EXPECT_EQ(creation->count(true), 34u);
}

namespace {

// A word as it reads once its accents are gone: decomposed, marks dropped, lower case. Remembered,
// since the comparisons below ask for the same words over and over.
std::string plainLetters(const std::string& word)
{
    static std::unordered_map<std::string, std::string> known;
    if (const auto it = known.find(word); it != known.end())
        return it->second;
    const QString decomposed = QString::fromUtf8(word.c_str()).normalized(QString::NormalizationForm_D);
    QString plain;
    for (const QChar c : decomposed)
        if (!c.isMark())
            plain += c.toLower();
    return known[word] = plain.toStdString();
}

}  // namespace

// A few hundred queries of every documented form, made from the book's own words and numbers, each
// against the verses a plain reading of the source text gives. A word matches whatever it reads as
// without its accents, as the reader promises.
void KjvSearch::compareGeneratedQueries(uint64_t seed, int count)
{
    std::map<uint32_t, std::vector<std::string>> plainWords;
    std::map<uint32_t, std::vector<std::u16string>> plainWords16;
    std::vector<const Verse*> verses, tagged;
    for (const auto& [k, v] : s_verses) {
        for (const std::string& w : v.words) {
            plainWords[k].push_back(plainLetters(w));
            plainWords16[k].push_back(TextFolding::utf8ToUtf16(plainWords[k].back()));
        }
        if (v.words.size() >= 4)
            verses.push_back(&v);
        if (!v.tagged.empty())
            tagged.push_back(&v);
    }
    auto next = [&](std::size_t n) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return std::size_t((seed >> 33) % n);
    };
    auto usable = [](const std::string& w) {
        return w.size() >= 3 && w.find('\'') == std::string::npos && w.find("\u2019") == std::string::npos &&
            !std::any_of(w.begin(), w.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
            !SearchSpecification::isStopWord(TextFolding::utf8ToUtf16(w));
    };
    // Words of three letters or more that are no stop word, so that each interpretation reads them alike.
    auto word = [&] {
        for (;;) {
            const Verse& v = *verses[next(verses.size())];
            const std::string& w = v.words[next(v.words.size())];
            if (usable(w))
                return w;
        }
    };
    // Two or three words side by side in one verse.
    auto run = [&](std::size_t n) {
        for (;;) {
            const Verse& v = *verses[next(verses.size())];
            const std::size_t at = next(v.words.size() - n + 1);
            const std::vector<std::string> r(v.words.begin() + long(at), v.words.begin() + long(at + n));
            if (std::all_of(r.begin(), r.end(), [](const std::string& w) {
                    return w.find('\'') == std::string::npos && w.find("\u2019") == std::string::npos;
                }))
                return r;
        }
    };
    auto quoted = [](const std::vector<std::string>& p) { return "\"" + p[0] + " " + p[1] + " " + p[2] + "\""; };
    // Whether verse k holds the words (in plain letters) side by side.
    auto in = [&](uint32_t k, const std::vector<std::string>& plain) {
        const std::vector<std::string>& words = plainWords[k];
        return std::search(words.begin(), words.end(), plain.begin(), plain.end()) != words.end();
    };
    auto fold = [](std::vector<std::string> words) {
        for (std::string& w : words)
            w = plainLetters(w);
        return words;
    };
    auto matches = [&](uint32_t k, const std::string& pattern) {
        const std::u16string p = TextFolding::utf8ToUtf16(pattern);
        const std::vector<std::u16string>& words = plainWords16[k];
        return std::any_of(
            words.begin(), words.end(), [&](const std::u16string& w) { return wildcardMatch(p, w, false); });
    };
    struct Limit {
        const char16_t* text;
        uint32_t first, last;  // book, chapter << 8
    };
    const Limit limits[] = {{u"Genesis-Deuteronomy", 1u << 16, (5u << 16) | 0xFF00},
        {u"Psalms", 19u << 16, (19u << 16) | 0xFF00}, {u"Matthew-John", 40u << 16, (43u << 16) | 0xFF00},
        {u"Romans 1-8", (45u << 16) | (1 << 8), (45u << 16) | (8 << 8)}};
    const bool numbered = !tagged.empty();
    for (int i = 0; i < count; ++i) {
        const std::string a = word(), b = word();
        const std::vector<std::string> p = run(3), pair = run(2);
        const std::vector<std::string> fa = fold({a}), fb = fold({b}), fp = fold(p), fpair = fold(pair);
        std::string query;
        const char16_t* limit = u"";
        std::function<bool(uint32_t, const Verse&)> holds;
        switch (i % (numbered ? 13 : 11)) {
        case 0:
            query = a;
            holds = [&, fa](uint32_t k, const Verse&) { return in(k, fa); };
            break;
        case 1:
            query = a + " " + b;
            holds = [&, fa, fb](uint32_t k, const Verse&) { return in(k, fa) && in(k, fb); };
            break;
        case 2:
            query = a + " OR " + b;
            holds = [&, fa, fb](uint32_t k, const Verse&) { return in(k, fa) || in(k, fb); };
            break;
        case 3:
            query = a + " OR " + quoted(p);
            holds = [&, fa, fp](uint32_t k, const Verse&) { return in(k, fa) || in(k, fp); };
            break;
        case 4:
            query = quoted(p) + " | " + a;
            holds = [&, fa, fp](uint32_t k, const Verse&) { return in(k, fa) || in(k, fp); };
            break;
        case 5:
            query = quoted(p);
            holds = [&, fp](uint32_t k, const Verse&) { return in(k, fp); };
            break;
        case 6:
            query = a + " -" + b;
            holds = [&, fa, fb](uint32_t k, const Verse&) { return in(k, fa) && !in(k, fb); };
            break;
        case 7: {
            const std::string stem = plainLetters(a).substr(0, 3);
            if (!std::all_of(stem.begin(), stem.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
                continue;
            const std::string pattern = stem + "*";
            query = pattern + " " + b;
            holds = [&, pattern, fb](uint32_t k, const Verse&) { return matches(k, pattern) && in(k, fb); };
            break;
        }
        case 8:
            // Two words joined by a hyphen are the two side by side, alone or beside another word.
            query = pair[0] + "-" + pair[1] + (i % 2 ? "" : " OR " + a);
            holds = [&, fpair, fa, i](uint32_t k, const Verse&) { return in(k, fpair) || (i % 2 == 0 && in(k, fa)); };
            break;
        case 9:
            // A word typed without its accents, or with them.
            query = i % 2 ? plainLetters(a) : a;
            holds = [&, fa](uint32_t k, const Verse&) { return in(k, fa); };
            break;
        case 10: {
            const Limit& l = limits[next(std::size(limits))];
            query = a;
            limit = l.text;
            holds = [&, fa, l](uint32_t k, const Verse&) { return k >= l.first && k <= (l.last | 0xFF) && in(k, fa); };
            break;
        }
        case 11: {
            const Verse& v = *tagged[next(tagged.size())];
            const std::string n = *std::next(v.strongs.begin(), long(next(v.strongs.size())));
            query = n;
            holds = [n](uint32_t, const Verse& v) { return v.strongs.count(n) > 0; };
            break;
        }
        default: {
            const Verse& v = *tagged[next(tagged.size())];
            const auto t = *std::next(v.tagged.begin(), long(next(v.tagged.size())));
            query = t.first + ":" + t.second;
            holds = [t](uint32_t, const Verse& v) {
                return std::any_of(v.tagged.begin(), v.tagged.end(), [&](const auto& u) {
                    return u.second == t.second && plainLetters(u.first) == plainLetters(t.first);
                });
            };
            break;
        }
        }
        std::set<uint32_t> want;
        for (const auto& [k, v] : s_verses)
            if (holds(k, v))
                want.insert(k);
        const std::set<uint32_t> got = found(query, "all", "exact", limit);
        EXPECT_TRUE(got == want) << query << " " << TextFolding::utf16ToUtf8(limit) << ": " << describe(got, want);
    }
}

TEST_F(KjvSearch, GeneratedQueriesOfEveryFormAgreeWithThePlainReading)
{
    compareGeneratedQueries(20261210, 390);
}

// The same forms over the Spanish Bible, whose words carry accents and Strong's numbers too.
class Rv1909Search : public KjvSearch {
protected:
    static void SetUpTestSuite() { openBook("RV1909.tvk", "spaRV1909eb.imp"); }
};

TEST_F(Rv1909Search, GeneratedQueriesOfEveryFormAgreeWithThePlainReading)
{
    compareGeneratedQueries(20261211, 390);
}

TEST_F(KjvSearch, StrongsNumbersAndTaggedWords)
{
    for (const char* n : {"G26", "H430", "G2424", "H3068"})
        EXPECT_SAME(found(n), expected([&](const Verse& v) { return v.strongs.count(n) > 0; }));
    // Leading zeros and lower case are the same number.
    EXPECT_SAME(found("h0430"), found("H430"));
    // A word that must carry the number, in either order.
    const auto tagged = expected([](const Verse& v) { return v.tagged.count({"love", "G26"}) > 0; });
    EXPECT_SAME(found("love:G26"), tagged);
    // Every word of a tag carries its number: "love ye" in Luke 6:35 is tagged G25 as a whole.
    const auto g25 = expected([](const Verse& v) { return v.tagged.count({"love", "G25"}) > 0; });
    EXPECT_TRUE(g25.count((42u << 16) | (6 << 8) | 35)) << "Luke 6:35";
    EXPECT_SAME(found("love:G25"), g25);
    EXPECT_SAME(found("ye:G25"), expected([](const Verse& v) { return v.tagged.count({"ye", "G25"}) > 0; }));
    EXPECT_SAME(found("love:g0026"), tagged);
    EXPECT_SAME(found("G26:love"), tagged);
    EXPECT_SAME(found("*:G26"), found("G26"));
    // The expression language says the same.
    auto expression = [](const std::u16string& text) {
        cSearchExpressionResult r;
        EXPECT_TRUE(r.evaluate(text, u"", s_book->document())) << r.errorMessage();
        std::set<uint32_t> keys;
        for (uint32_t i = 0; i < r.hitCount(); ++i)
            keys.insert(s_keyOf.at(r.sectionForHit(i)));
        return keys;
    };
    EXPECT_SAME(expression(u"G26"), found("G26"));
    EXPECT_SAME(expression(u"love:G26"), tagged);
    EXPECT_SAME(expression(u"love AND god"), found("love god"));
    EXPECT_SAME(expression(u"love OR charity"), found("love OR charity"));
    EXPECT_SAME(expression(u"love NOT hate"), found("love -hate"));
    EXPECT_SAME(expression(u"son of man"), found("\"son of man\""));
}

TEST_F(KjvSearch, ANegatedNumberTakesEveryOccurrenceWithoutIt)
{
    // "love:-G26": a verse where some "love" is not tagged G26, untagged or carrying a Hebrew number
    // in the Old Testament, in either testament.
    auto without = [](const char* word, const char* number) {
        return expected([=](const Verse& v) {
            const auto all = static_cast<size_t>(std::count(v.words.begin(), v.words.end(), word));
            return all > v.tagged.count({word, number});
        });
    };
    const auto notG26 = without("love", "G26");
    const auto oldTestament = std::count_if(notG26.begin(), notG26.end(), [](uint32_t k) { return (k >> 16) <= 39; });
    EXPECT_GT(oldTestament, 100);
    EXPECT_LT(oldTestament, static_cast<long>(notG26.size()));
    EXPECT_TRUE(notG26.count((10u << 16) | (1 << 8) | 26)) << "2 Samuel 1:26";
    EXPECT_TRUE(notG26.count((33u << 16) | (6 << 8) | 8)) << "Micah 6:8";
    EXPECT_SAME(found("love:-G26"), notG26);
    EXPECT_SAME(found("love:-g0026"), notG26);
    // A Hebrew number reaches into the New Testament the same way.
    const auto notH157 = without("love", "H157");
    EXPECT_TRUE(std::any_of(notH157.begin(), notH157.end(), [](uint32_t k) { return (k >> 16) >= 40; }));
    EXPECT_SAME(found("love:-H157"), notH157);
    // The expression language agrees.
    cSearchExpressionResult r;
    ASSERT_TRUE(r.evaluate(u"love:-G26", u"", s_book->document())) << r.errorMessage();
    std::set<uint32_t> keys;
    for (uint32_t i = 0; i < r.hitCount(); ++i)
        keys.insert(s_keyOf.at(r.sectionForHit(i)));
    EXPECT_SAME(keys, notG26);
}

TEST_F(KjvSearch, DerivedFormsReachEveryFormOfTheWord)
{
    // The stem and sound-alike runs find at least every verse of the word itself.
    const auto exact = found("loved");
    for (const char* form : {"stem", "metaphone", "stemormeta"}) {
        const auto derived = found("loved", "all", form);
        EXPECT_TRUE(std::includes(derived.begin(), derived.end(), exact.begin(), exact.end())) << form;
        EXPECT_GT(derived.size(), exact.size()) << form;
    }
    // "loveth", "lovest" and "loved" share the stem of "love".
    const auto stem = found("love", "all", "stem");
    for (const char* w : {"loveth", "lovest", "loved"}) {
        const auto own = expected([&](const Verse& v) { return has(v, w); });
        EXPECT_TRUE(std::includes(stem.begin(), stem.end(), own.begin(), own.end())) << w;
    }
}

TEST_F(KjvSearch, ApostrophesAndPunctuationAsReadersTypeThem)
{
    auto either = [](const std::string& word) {
        std::string straight = word;
        for (std::size_t at; (at = straight.find("\u2019")) != std::string::npos;)
            straight.replace(at, std::strlen("\u2019"), "'");
        return expected([&](const Verse& v) { return has(v, word) || has(v, straight); });
    };
    // The book writes the typographic apostrophe; the keyboard's straight one, the typographic one and
    // the other quote marks find the same verses.
    const auto gods = either("god\u2019s");
    EXPECT_EQ(gods.size(), 25u);
    for (const char* q : {"God's", "God\u2019s", "god`s", "GOD\u2018S", "God\u02BCs"})
        EXPECT_SAME(found(q), gods);
    const auto lords = either("lord\u2019s");
    EXPECT_EQ(lords.size(), 131u);
    EXPECT_SAME(found("lord's"), lords);
    EXPECT_SAME(found("Lord\u2019s"), lords);
    // In phrases, with wildcards and under the other word forms too.
    EXPECT_SAME(found("\"the lord's house\""), expected([](const Verse& v) {
        return hasPhrase(v, {"the", "lord\u2019s", "house"});
    }));
    EXPECT_SAME(found("lord's*"), found("lord\u2019s*"));
    const auto stem = found("God's", "all", "stem");
    EXPECT_TRUE(std::includes(stem.begin(), stem.end(), gods.begin(), gods.end()));
    EXPECT_EQ(stem, found("God\u2019s", "all", "stem"));

    // Punctuation stuck to a word is not part of it.
    const auto love = expected([](const Verse& v) { return has(v, "love"); });
    EXPECT_EQ(love.size(), 280u);
    for (const char* q : {"love,", "love.", "(love)", "love;", "\u201Clove\u201D", "love!", "love:"})
        EXPECT_SAME(found(q), love);
    EXPECT_SAME(found("(God's),"), gods);
    EXPECT_SAME(found("love, -hate."), found("love -hate"));
}

TEST_F(KjvSearch, RootWordsReachTheArchaicPastSecondPerson)
{
    // "lovedst" (Isaiah 57:8, John 17:24) and "walkedst" share the roots of "love" and "walk".
    const auto love = found("love", "all", "stem");
    for (uint32_t key : {(23u << 16) | (57 << 8) | 8, (43u << 16) | (17 << 8) | 24})
        EXPECT_TRUE(love.count(key)) << std::hex << key;
    const auto lovedst = expected([](const Verse& v) { return has(v, "lovedst"); });
    EXPECT_TRUE(std::includes(love.begin(), love.end(), lovedst.begin(), lovedst.end()));
    const auto walk = found("walk", "all", "stem");
    const auto walkedst = expected([](const Verse& v) { return has(v, "walkedst"); });
    EXPECT_TRUE(std::includes(walk.begin(), walk.end(), walkedst.begin(), walkedst.end()));
    EXPECT_EQ(found("lovedst", "all", "stem"), love);
}

TEST_F(KjvSearch, GoToAndLimits)
{
    EXPECT_EQ(found("John 3:16", "goto"), (std::set<uint32_t> {(43u << 16) | (3 << 8) | 16}));
    EXPECT_TRUE(found("Genesis", "goto").empty());
    // A limited range keeps only its verses.
    SearchSpecification parsed(u"love");
    SearchOptions options;
    options.searchlimits = u"Matthew-John";
    const std::unique_ptr<BitVector> hits = searchrun::searchResults(parsed, *s_book, options, 1);
    ASSERT_NE(hits, nullptr);
    std::set<uint32_t> keys;
    for (uint32_t s = hits->first(true); s != cBitVector::kNone; s = hits->nextAfter(s, true))
        keys.insert(s_keyOf.at(s));
    std::set<uint32_t> gospels;
    for (uint32_t k : expected([](const Verse& v) { return has(v, "love"); }))
        if ((k >> 16) >= 40 && (k >> 16) <= 43)
            gospels.insert(k);
    EXPECT_SAME(keys, gospels);

    // A limit that does not parse is an error, not an empty result; without the separator it works.
    searchrun::RunError error = searchrun::RunError::None;
    options.searchlimits = u"Genesis 1; BOOKMARK(\"creation\")";
    EXPECT_EQ(searchrun::searchResults(SearchSpecification(u"God"), *s_book, options, 1, &error), nullptr);
    EXPECT_EQ(error, searchrun::RunError::LimitNotUnderstood);
    // Passages joined by ";" are one limit.
    options.searchlimits = u"Genesis 1:1-2:3; John 1";
    const std::unique_ptr<BitVector> both =
        searchrun::searchResults(SearchSpecification(u"God"), *s_book, options, 1, &error);
    EXPECT_EQ(error, searchrun::RunError::None);
    ASSERT_NE(both, nullptr);
    std::set<uint32_t> inBoth, wanted;
    for (uint32_t s = both->first(true); s != cBitVector::kNone; s = both->nextAfter(s, true))
        inBoth.insert(s_keyOf.at(s));
    for (uint32_t k : expected([](const Verse& v) { return has(v, "god"); })) {
        const uint32_t book = k >> 16, chapter = (k >> 8) & 0xFF, verse = k & 0xFF;
        if ((book == 1 && (chapter == 1 || (chapter == 2 && verse <= 3))) || (book == 43 && chapter == 1))
            wanted.insert(k);
    }
    EXPECT_SAME(inBoth, wanted);
}

TEST_F(KjvSearch, TheTestamentsSplitAtMatthew)
{
    // The testament sets (the candidates of a negated Strong's number): every section before Matthew
    // 1:1, and every one from it on. In a Bible without other books that is Genesis-Malachi and Matthew-Revelation.
    const uint32_t matthew = s_book->sectionForSyncString(u"Matthew 1:1", false);
    ASSERT_GT(matthew, 1u);
    BitVector oldTestament, newTestament;
    s_book->resultsForAllOTVerses(oldTestament);
    s_book->resultsForAllNTVerses(newTestament);
    ASSERT_EQ(oldTestament.size(), s_book->numSections());
    ASSERT_EQ(newTestament.size(), s_book->numSections());
    EXPECT_EQ(oldTestament.count(true), matthew - 1);
    EXPECT_EQ(newTestament.count(true), s_book->numSections() - matthew);
    for (const auto& [section, key] : s_keyOf) {
        const uint32_t book = key >> 16;
        EXPECT_EQ(oldTestament.getCBitVector()->test(section), book <= 39) << std::hex << key;
        EXPECT_EQ(newTestament.getCBitVector()->test(section), book >= 40 && book <= 66) << std::hex << key;
    }
}

// A word typed with or without its accents finds the same verses of the Spanish Bible: those whose
// words read as it once reduced to base letters ("corazon" 804, "Jesus" 759 "Jesús" and 5 "Jesus").
TEST(SpanishSearch, AccentsDoNotMatter)
{
    const std::string book = kBuild + "/library/RV1909.tvk", source = kBuild + "/library-src/spaRV1909eb.imp";
    if (!std::filesystem::exists(book) || !std::filesystem::exists(source))
        GTEST_SKIP() << "the sample library has not been compiled (scripts/build-library.sh)";
    const std::shared_ptr<SourceTupleSearchBook> bible = SourceTupleSearchBook::openFile(book);
    ASSERT_NE(bible, nullptr);
    const std::map<uint32_t, Verse> verses = readExport(source);
    auto* doc = static_cast<cBookDoc*>(bible->document());
    auto found = [&](const std::u16string& query) {
        std::set<uint32_t> keys;
        const std::unique_ptr<BitVector> hits =
            searchrun::searchResults(SearchSpecification(query), *bible, SearchOptions {}, 1);
        if (hits != nullptr)
            for (uint32_t s = hits->first(true); s != cBitVector::kNone; s = hits->nextAfter(s, true))
                keys.insert(doc->bibleKeyForSection(s));
        return keys;
    };
    auto folded = [](const std::string& w) {
        std::u16string f = TextFolding::foldToBaseLetters(TextFolding::utf8ToUtf16(w));
        for (char16_t& c : f)
            c = TextFolding::toLower(c);
        return f;
    };
    auto holding = [&](const std::vector<std::u16string>& phrase) {
        std::set<uint32_t> keys;
        for (const auto& [k, v] : verses) {
            std::vector<std::u16string> words;
            for (const std::string& w : v.words)
                words.push_back(folded(w));
            if (std::search(words.begin(), words.end(), phrase.begin(), phrase.end()) != words.end())
                keys.insert(k);
        }
        return keys;
    };
    EXPECT_EQ(holding({u"corazon"}).size(), 804u);
    EXPECT_EQ(holding({u"jesus"}).size(), 764u);
    for (const auto& [plain, marked] : std::vector<std::pair<std::u16string, std::u16string>> {
             {u"corazon", u"corazón"}, {u"Jesus", u"Jesús"}, {u"espiritu", u"espíritu"}, {u"senor", u"señor"}}) {
        const std::set<uint32_t> want = holding({folded(TextFolding::utf16ToUtf8(plain))});
        EXPECT_FALSE(want.empty());
        EXPECT_EQ(found(plain), want) << TextFolding::utf16ToUtf8(plain);
        EXPECT_EQ(found(marked), want) << TextFolding::utf16ToUtf8(marked);
    }
    // In a phrase too.
    EXPECT_EQ(found(u"\"mi corazon\""), holding({u"mi", u"corazon"}));
    EXPECT_EQ(found(u"\"mi corazón\""), found(u"\"mi corazon\""));
}

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
#include <iterator>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>
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
    // (word of a tagged element, number), once per word of the element and number
    std::multiset<std::pair<std::string, std::string>> tagged;
    // The numbers of elements tagged with more than one, each with a word of the element.
    std::vector<std::pair<std::string, std::string>>
        sharedNumbers;  // Words written across an element's edge ("<w>in</w>asmuch"), with their part before the edge.
    std::vector<std::pair<std::string, std::string>> joined;
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c.isSurrogate();
}

// Words as the reader cuts them: letters, digits and marks, with an apostrophe inside a word; each
// with where it starts and ends in the text.
struct WordAt {
    QString word;
    qsizetype start, end;
};
std::vector<WordAt> wordsAt(const QString& q)
{
    std::vector<WordAt> words;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= q.size(); ++i) {
        const bool inWord = i < q.size() &&
            (isWordChar(q[i]) ||
                ((q[i] == u'\'' || q[i] == QChar(0x2019)) && start >= 0 && i + 1 < q.size() &&
                    (q[i + 1].isLetter() || q[i + 1].isMark())));
        if (inWord && start < 0)
            start = i;
        if (!inWord && start >= 0) {
            words.push_back({q.mid(start, i - start).toLower(), start, i});
            start = -1;
        }
    }
    return words;
}

std::string normalStrongs(const std::string& n)
{
    std::string digits = n.substr(1);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(n[0])))) + digits;
}

// Every Strong's number of a lemma attribute: "strong:G2424 G5547" names two.
std::vector<std::string> lemmaNumbers(const std::string& tag)
{
    std::vector<std::string> numbers;
    const size_t at = tag.find("lemma=\"");
    if (at == std::string::npos)
        return numbers;
    std::istringstream lemma(tag.substr(at + 7, tag.find('"', at + 7) - at - 7));
    bool strong = false;
    for (std::string token; lemma >> token;) {
        if (const size_t colon = token.find(':'); colon != std::string::npos) {
            strong = token.substr(0, colon) == "strong";
            token.erase(0, colon + 1);
        }
        if (strong && token.size() > 1)
            numbers.push_back(normalStrongs(token));
    }
    return numbers;
}

std::string decodeEntities(const std::string& text)
{
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            const size_t semi = text.find(';', i);
            const std::string e = semi == std::string::npos ? "" : text.substr(i + 1, semi - i - 1);
            if (e == "amp" || e == "lt" || e == "gt" || e == "quot" || e == "apos") {
                decoded += e == "amp" ? '&' : e == "lt" ? '<' : e == "gt" ? '>' : e == "quot" ? '"' : '\'';
                i = semi;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

// The main text of one verse as it reads: notes left out, every other element but the inline ones
// (words, added words, quotations, highlighting) standing between words as a blank, so that text runs
// written against each other ("<w>in</w>asmuch") are one word. A tagged element's numbers go to
// every word that has a letter inside it.
Verse readVerse(const std::string& markup)
{
    static const std::set<std::string> kInline {
        "w", "transChange", "q", "hi", "divineName", "seg", "foreign", "name", "catchWord"};
    Verse v;
    QString plain;
    int noteDepth = 0;
    std::vector<std::pair<qsizetype, std::vector<std::string>>> open;  // <w> elements: text start, numbers
    std::vector<std::tuple<qsizetype, qsizetype, std::vector<std::string>>> spans;
    std::vector<qsizetype> edges;  // where an inline element starts or ends
    for (size_t i = 0; i < markup.size();) {
        if (markup[i] != '<') {
            const size_t end = std::min(markup.find('<', i), markup.size());
            if (noteDepth == 0)
                plain += QString::fromUtf8(decodeEntities(markup.substr(i, end - i)).c_str());
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
                open.emplace_back(plain.size(), lemmaNumbers(tag));
            } else if (!open.empty()) {
                spans.emplace_back(open.back().first, plain.size(), std::move(open.back().second));
                open.pop_back();
            }
        }
        if (noteDepth == 0 && kInline.count(name) == 0)
            plain += u' ';
        else if (noteDepth == 0)
            edges.push_back(plain.size());
    }
    const std::vector<WordAt> words = wordsAt(plain);
    for (const WordAt& w : words) {
        v.words.push_back(w.word.toStdString());
        for (const qsizetype edge : edges)
            if (edge > w.start && edge < w.end) {
                v.joined.emplace_back(w.word.toStdString(), w.word.left(edge - w.start).toStdString());
                break;
            }
    }
    for (const auto& [start, end, numbers] : spans) {
        for (const std::string& n : numbers)
            v.strongs.insert(n);
        for (const WordAt& w : words) {
            if (w.end <= start || w.start >= end)
                continue;
            for (const std::string& n : numbers)
                v.tagged.insert({w.word.toStdString(), n});
            if (numbers.size() > 1)
                for (const std::string& n : numbers)
                    v.sharedNumbers.emplace_back(w.word.toStdString(), n);
        }
    }
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

// A word as it reads once its accents are gone: decomposed, marks dropped, lower case, the Greek final
// sigma a sigma. Remembered, since the comparisons ask for the same words over and over.
std::string plainLetters(const std::string& word)
{
    static std::unordered_map<std::string, std::string> known;
    if (const auto it = known.find(word); it != known.end())
        return it->second;
    const QString decomposed = QString::fromUtf8(word.c_str()).normalized(QString::NormalizationForm_D);
    QString plain;
    for (const QChar c : decomposed)
        if (!c.isMark())
            plain += c == QChar(0x3C2) ? QChar(0x3C3) : c.toLower();
    return known[word] = plain.toStdString();
}

// A module's verses read once per process, with an index of their words in plain letters: the
// verses of each word, of each Strong's number and of each word tagged with a number.
struct SourceText {
    std::map<uint32_t, Verse> verses;
    std::unordered_map<std::string, int> idOf;                                       // plain letters -> word id
    std::vector<std::string> vocabulary;                                             // word id -> plain letters
    std::vector<std::vector<uint32_t>> versesOf;                                     // word id -> verse keys, ascending
    std::unordered_map<uint32_t, std::vector<int>> ids;                              // verse key -> its words' ids
    std::map<std::string, std::set<uint32_t>> numbered;                              // "G26" -> verse keys
    std::map<std::pair<std::string, std::string>, std::set<uint32_t>> taggedVerses;  // (plain word, number)

    int id(const std::string& plain) const
    {
        const auto it = idOf.find(plain);
        return it == idOf.end() ? -1 : it->second;
    }
};

const SourceText* sourceText(const std::string& exportFile)
{
    static std::map<std::string, std::unique_ptr<SourceText>> read;
    static std::mutex lock;
    const std::lock_guard<std::mutex> guard(lock);
    auto& slot = read[exportFile];
    if (slot != nullptr || !std::filesystem::exists(exportFile))
        return slot.get();
    slot = std::make_unique<SourceText>();
    SourceText& t = *slot;
    t.verses = readExport(exportFile);
    for (const auto& [k, v] : t.verses) {
        std::vector<int>& own = t.ids[k];
        for (const std::string& w : v.words) {
            const std::string plain = plainLetters(w);
            auto [it, added] = t.idOf.emplace(plain, static_cast<int>(t.vocabulary.size()));
            if (added) {
                t.vocabulary.push_back(plain);
                t.versesOf.emplace_back();
            }
            own.push_back(it->second);
            std::vector<uint32_t>& keys = t.versesOf[static_cast<size_t>(it->second)];
            if (keys.empty() || keys.back() != k)
                keys.push_back(k);
        }
        for (const std::string& n : v.strongs)
            t.numbered[n].insert(k);
        for (const auto& [w, n] : v.tagged)
            t.taggedVerses[{plainLetters(w), n}].insert(k);
    }
    return slot.get();
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
        s_text = sourceText(kBuild + "/library-src/" + source);
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
        s_text = nullptr;
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
        for (const auto& [k, v] : s_text->verses)
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
    static const SourceText* s_text;
    static std::map<uint32_t, uint32_t> s_keyOf;
};

std::shared_ptr<SourceTupleSearchBook> KjvSearch::s_book;
const SourceText* KjvSearch::s_text = nullptr;
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
        for (const char* typed : {"Beth-el", "BETH-EL", "beth-EL"})
            EXPECT_SAME(found(typed, interpretation), bethel);
    EXPECT_SAME(found("love -BETH-EL"), expected([](const Verse& v) {
        return has(v, "love") && !hasPhrase(v, {"beth", "el"});
    }));
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
    // Exclusions: every word after a minus excludes a verse, and every minus adds its own: "love -hate
    // -fear" leaves out 1 John 4:18, which holds "love" and "fear" and no "hate".
    const auto loveNoHateNoFear = found("love -hate -fear");
    EXPECT_SAME(loveNoHateNoFear,
        expected([](const Verse& v) { return has(v, "love") && !has(v, "hate") && !has(v, "fear"); }));
    EXPECT_EQ(loveNoHateNoFear.count((62u << 16) | (4 << 8) | 18), 0u) << "1 John 4:18";
    EXPECT_SAME(found("love -fear -hate"), loveNoHateNoFear);
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
    // A bracket holds a set or a range of letters: "[a-c]ast" 474 verses, as "[abc]ast".
    const auto ast = expected([&](const Verse& v) { return hasMatch(v, "[abc]ast"); });
    EXPECT_EQ(ast.size(), 474u);
    EXPECT_SAME(found("[a-c]ast"), ast);
    EXPECT_SAME(found("[abc]ast"), ast);
    EXPECT_SAME(found("l[a-z]ve"), expected([&](const Verse& v) { return hasMatch(v, "l[a-z]ve"); }));
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
    EXPECT_EQ(s_text->verses.size(), 31102u);
    EXPECT_EQ(found("*").size(), 31102u);
    SearchOptions limited;
    limited.searchlimits = u"Genesis 1:1-2:3";
    const std::unique_ptr<BitVector> creation =
        searchrun::searchResults(SearchSpecification(u"*"), *s_book, limited, 1);
    ASSERT_NE(creation, nullptr);
    EXPECT_EQ(creation->count(true), 34u);
}

namespace {

// A wildcard pattern read the plain way, over words in plain letters: "*" any letters, "?" one, and
// "[...]" one of the letters or ranges inside.
bool patternMatches(const std::u16string& p, size_t pi, const std::u16string& w, size_t wi)
{
    while (pi < p.size()) {
        const char16_t c = p[pi];
        if (c == u'*') {
            for (size_t k = wi; k <= w.size(); ++k)
                if (patternMatches(p, pi + 1, w, k))
                    return true;
            return false;
        }
        if (wi >= w.size())
            return false;
        if (c == u'[') {
            const size_t close = p.find(u']', pi);
            bool in = false;
            for (size_t k = pi + 1; k < close; ++k) {
                if (k + 2 < close && p[k + 1] == u'-') {
                    in = in || (w[wi] >= p[k] && w[wi] <= p[k + 2]);
                    k += 2;
                } else {
                    in = in || w[wi] == p[k];
                }
            }
            if (!in)
                return false;
            pi = close + 1;
        } else if (c != u'?' && c != w[wi]) {
            return false;
        } else {
            ++pi;
        }
        ++wi;
    }
    return wi == w.size();
}

// One alternative of the grammar (a term, a hyphenated word, a quoted phrase), as typed, with the
// verses the plain reading gives it.
struct Piece {
    std::string text;
    std::set<uint32_t> verses;
    bool bare = true;  // a plain term, which the words after it join into one phrase
};

// A member of an included or excluded list: alternatives joined by OR.
struct Member {
    std::vector<Piece> alternatives;
    std::string text;
    std::set<uint32_t> verses;
    bool orList() const
    {
        return std::any_of(alternatives.begin(), alternatives.end(), [](const Piece& p) { return !p.bare; }) &&
            alternatives.size() > 1;
    }
};

std::set<uint32_t> unite(const std::set<uint32_t>& a, const std::set<uint32_t>& b)
{
    std::set<uint32_t> out = a;
    out.insert(b.begin(), b.end());
    return out;
}

std::set<uint32_t> intersect(const std::set<uint32_t>& a, const std::set<uint32_t>& b)
{
    std::set<uint32_t> out;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::inserter(out, out.end()));
    return out;
}

// Queries of every form the query language documents, made from a Bible's own words and numbers by
// its grammar:
//   query    := list { "-" list }            (the lists after a minus are excluded)
//   list     := member { member }            (every member must be in a verse)
//   member   := alternative { OR alternative }
//   alternative := word | pattern | number | word:number | hyphenated | quoted phrase
// with every term in a random letter case, with or without its accents, OR as "OR", "|" or " | ",
// quotes straight or curly, patterns of "*", "?", sets and ranges, and every Strong's number a word
// carries. Each with the verses a plain reading of the source module gives.
class QueryMaker {
public:
    QueryMaker(const SourceText& text, uint64_t seed) : m_text(text), m_seed(seed)
    {
        for (const auto& [k, v] : text.verses) {
            if (v.words.size() >= 4)
                m_verses.push_back(&v);
            if (!v.tagged.empty())
                m_tagged.push_back(&v);
            for (const auto& shared : v.sharedNumbers)
                m_shared.push_back(shared);
            for (const auto& joined : v.joined)
                m_joined.push_back(joined);
        }
    }

    std::pair<std::string, std::set<uint32_t>> query(const char16_t*& limit)
    {
        limit = u"";
        for (;;) {
            std::string text;
            std::set<uint32_t> verses;
            const bool excludedFirst = pick(25) == 0;
            std::vector<Member> included;
            if (!excludedFirst)
                included = list(1 + pick(2));
            if (!excludedFirst && included.empty())
                continue;
            for (const Member& m : included) {
                text += (text.empty() ? "" : " ") + m.text;
                verses = &m == &included.front() ? m.verses : intersect(verses, m.verses);
            }
            const size_t groups = excludedFirst ? 1 + pick(2) : pick(3);
            std::set<uint32_t> excluded;
            for (size_t g = 0; g < groups; ++g) {
                const std::vector<Member> members = list(1 + pick(2));
                if (members.empty())
                    continue;
                text += std::string(text.empty() ? "" : " ") + "-";
                for (const Member& m : members) {
                    text += (&m == &members.front() ? "" : " ") + m.text;
                    excluded = unite(excluded, m.verses);
                }
            }
            for (const uint32_t k : excluded)
                verses.erase(k);
            if (pick(8) == 0) {
                static const struct {
                    const char16_t* text;
                    uint32_t first, last;
                } kLimits[] = {{u"Genesis-Deuteronomy", 1u << 16, (5u << 16) | 0xFFFF},
                    {u"Psalms", 19u << 16, (19u << 16) | 0xFFFF}, {u"Matthew-John", 40u << 16, (43u << 16) | 0xFFFF},
                    {u"Romans 1-8", (45u << 16) | (1 << 8), (45u << 16) | (8 << 8) | 0xFF}};
                const auto& l = kLimits[pick(std::size(kLimits))];
                limit = l.text;
                std::erase_if(verses, [&](uint32_t k) { return k < l.first || k > l.last; });
            }
            return {text, verses};
        }
    }

    size_t pick(size_t n)
    {
        m_seed = m_seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<size_t>((m_seed >> 33) % n);
    }

private:
    // Members in an order the grammar reads back as made: a plain term after another plain term
    // joins its phrase, so an OR list must not start or end with one beside another.
    std::vector<Member> list(size_t n)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            std::vector<Member> members;
            for (size_t i = 0; i < n; ++i)
                members.push_back(member());
            bool readable = true;
            for (size_t i = 1; i < members.size(); ++i) {
                const Member& x = members[i - 1];
                const Member& y = members[i];
                if ((x.orList() && x.alternatives.back().bare && y.alternatives.front().bare) ||
                    (y.orList() && y.alternatives.front().bare && x.alternatives.back().bare))
                    readable = false;
            }
            if (readable)
                return members;
        }
        return {};
    }

    Member member()
    {
        Member m;
        const size_t n = pick(4) == 0 ? 2 + pick(2) : 1;
        for (size_t i = 0; i < n; ++i)
            m.alternatives.push_back(alternative());
        for (const Piece& p : m.alternatives) {
            if (!m.text.empty()) {
                static const char* const kOr[] = {" OR ", "|", " | "};
                m.text += kOr[pick(3)];
            }
            m.text += p.text;
            m.verses = unite(m.verses, p.verses);
        }
        return m;
    }

    Piece alternative()
    {
        switch (pick(m_tagged.empty() ? 7 : 9)) {
        case 0:
        case 1:
            return word();
        case 2:
            return pattern();
        case 3:
            return hyphenated();
        case 4:
        case 5:
            return quoted();
        case 6:
            return joinedWord();
        case 7:
            return number();
        default:
            return taggedWord();
        }
    }

    static bool plainWord(const std::string& w)
    {
        return w.find('\'') == std::string::npos && w.find("\u2019") == std::string::npos && w != "or" &&
            !std::any_of(w.begin(), w.end(), [](char c) { return c >= '0' && c <= '9'; });
    }

    // A word of three letters or more that is no stop word, so that every interpretation reads it alike.
    static bool usable(const std::string& w)
    {
        return plainWord(w) && QString::fromUtf8(w.c_str()).size() >= 3 &&
            !SearchSpecification::isStopWord(TextFolding::utf8ToUtf16(w));
    }

    std::string anyWord()
    {
        for (;;) {
            const Verse& v = *m_verses[pick(m_verses.size())];
            const std::string& w = v.words[pick(v.words.size())];
            if (usable(w))
                return w;
        }
    }

    // The word as typed: as written, in lower case, in capitals, with a capital first, in mixed
    // case, or without its accents.
    std::string typed(const std::string& w)
    {
        const QString q = QString::fromUtf8(w.c_str());
        switch (pick(6)) {
        case 0:
            return w;
        case 1:
            return q.toUpper().toStdString();
        case 2:
            return (q.left(1).toUpper() + q.mid(1)).toStdString();
        case 3: {
            QString mixed = q;
            for (qsizetype i = 0; i < mixed.size(); ++i)
                if (pick(2) == 0)
                    mixed[i] = mixed[i].toUpper();
            return mixed.toStdString();
        }
        case 4:
            return plainLetters(w);
        default:
            return QString::fromUtf8(plainLetters(w).c_str()).toUpper().toStdString();
        }
    }

    std::set<uint32_t> wordVerses(const std::string& w) const
    {
        const int id = m_text.id(plainLetters(w));
        if (id < 0)
            return {};
        const auto& keys = m_text.versesOf[static_cast<size_t>(id)];
        return {keys.begin(), keys.end()};
    }

    std::set<uint32_t> phraseVerses(const std::vector<std::string>& words) const
    {
        std::vector<int> ids;
        for (const std::string& w : words)
            ids.push_back(m_text.id(plainLetters(w)));
        std::set<uint32_t> out;
        if (std::find(ids.begin(), ids.end(), -1) != ids.end())
            return out;
        for (const uint32_t k : m_text.versesOf[static_cast<size_t>(ids[0])]) {
            const std::vector<int>& own = m_text.ids.at(k);
            if (std::search(own.begin(), own.end(), ids.begin(), ids.end()) != own.end())
                out.insert(k);
        }
        return out;
    }

    // Words side by side in one verse, none with an apostrophe or a digit.
    std::vector<std::string> run(size_t n)
    {
        for (;;) {
            const Verse& v = *m_verses[pick(m_verses.size())];
            const size_t at = pick(v.words.size() - n + 1);
            const std::vector<std::string> r(v.words.begin() + long(at), v.words.begin() + long(at + n));
            if (std::all_of(r.begin(), r.end(), plainWord))
                return r;
        }
    }

    Piece word()
    {
        const std::string w = anyWord();
        return {typed(w), wordVerses(w), true};
    }

    // A word the source's markup cuts in two, or the part before the cut.
    Piece joinedWord()
    {
        if (m_joined.empty())
            return word();
        const auto& [whole, part] = m_joined[pick(m_joined.size())];
        const std::string w = pick(2) == 0 || !usable(part) ? whole : part;
        if (!usable(w))
            return word();
        return {typed(w), wordVerses(w), true};
    }

    Piece pattern()
    {
        for (;;) {
            const std::string w = plainLetters(anyWord());
            if (!std::all_of(w.begin(), w.end(), [](char c) { return c >= 'a' && c <= 'z'; }) || w.size() < 4)
                continue;
            const size_t at = pick(w.size());
            std::string p;
            switch (pick(4)) {
            case 0:
                p = w.substr(0, 3 + pick(w.size() - 3)) + "*";
                break;
            case 1:
                p = w.substr(0, at) + "?" + w.substr(at + 1);
                break;
            case 2: {
                std::string set = {w[at], static_cast<char>('a' + pick(26)), static_cast<char>('a' + pick(26))};
                std::swap(set[0], set[pick(3)]);
                p = w.substr(0, at) + "[" + set + "]" + w.substr(at + 1);
                break;
            }
            default: {
                const char low = static_cast<char>(std::max<int>('a', w[at] - static_cast<int>(pick(4))));
                const char high = static_cast<char>(std::min<int>('z', w[at] + static_cast<int>(pick(4))));
                p = w.substr(0, at) + "[" + low + "-" + high + "]" + w.substr(at + 1);
                break;
            }
            }
            std::set<uint32_t> verses;
            const std::u16string p16 = TextFolding::utf8ToUtf16(p);
            for (size_t id = 0; id < m_text.vocabulary.size(); ++id)
                if (patternMatches(p16, 0, TextFolding::utf8ToUtf16(m_text.vocabulary[id]), 0))
                    verses.insert(m_text.versesOf[id].begin(), m_text.versesOf[id].end());
            if (pick(3) == 0)
                p = QString::fromStdString(p).toUpper().toStdString();
            return {p, verses, true};
        }
    }

    Piece hyphenated()
    {
        const std::vector<std::string> pair = run(2);
        return {typed(pair[0]) + "-" + typed(pair[1]), phraseVerses(pair), false};
    }

    Piece quoted()
    {
        const std::vector<std::string> words = run(2 + pick(2));
        std::string inside;
        const size_t hyphenAt = pick(4) == 0 ? pick(words.size() - 1) : words.size();
        for (size_t i = 0; i < words.size(); ++i)
            inside += (i == 0 ? "" : i == hyphenAt + 1 ? "-" : " ") + typed(words[i]);
        const bool curly = pick(2) == 0;
        return {(curly ? "\u201C" : "\"") + inside + (curly ? "\u201D" : "\""), phraseVerses(words), false};
    }

    // A Strong's number a word of the source carries: its first or any other.
    std::string anyNumber(std::string* word)
    {
        if (!m_shared.empty() && pick(2) == 0) {
            const auto& [w, n] = m_shared[pick(m_shared.size())];
            if (word)
                *word = w;
            return n;
        }
        const Verse& v = *m_tagged[pick(m_tagged.size())];
        const auto t = *std::next(v.tagged.begin(), long(pick(v.tagged.size())));
        if (word)
            *word = t.first;
        return t.second;
    }

    // The number as typed: as written, in lower case, with leading zeros.
    std::string typedNumber(const std::string& n)
    {
        switch (pick(3)) {
        case 0:
            return n;
        case 1:
            return std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(n[0])))) + n.substr(1);
        default:
            return n.substr(0, 1) + std::string(n.size() < 6 ? 6 - n.size() : 0, '0') + n.substr(1);
        }
    }

    Piece number()
    {
        const std::string n = anyNumber(nullptr);
        const auto it = m_text.numbered.find(n);
        return {typedNumber(n), it == m_text.numbered.end() ? std::set<uint32_t> {} : it->second, true};
    }

    Piece taggedWord()
    {
        for (;;) {
            std::string w;
            const std::string n = anyNumber(&w);
            if (!usable(w))
                continue;
            const auto it = m_text.taggedVerses.find({plainLetters(w), n});
            std::set<uint32_t> verses = it == m_text.taggedVerses.end() ? std::set<uint32_t> {} : it->second;
            const std::string text = pick(4) == 0 ? typedNumber(n) + ":" + typed(w) : typed(w) + ":" + typedNumber(n);
            return {text, std::move(verses), true};
        }
    }

    const SourceText& m_text;
    uint64_t m_seed;
    std::vector<const Verse*> m_verses, m_tagged;
    std::vector<std::pair<std::string, std::string>> m_shared, m_joined;
};

}  // namespace

// A few hundred generated queries against the verses the plain reading of the source gives.
void KjvSearch::compareGeneratedQueries(uint64_t seed, int count)
{
    QueryMaker maker(*s_text, seed);
    int wrong = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t* limit = u"";
        const auto [query, want] = maker.query(limit);
        const std::set<uint32_t> got = found(query, "all", "exact", limit);
        EXPECT_TRUE(got == want) << query << "  [" << TextFolding::utf16ToUtf8(limit) << "] " << describe(got, want);
        wrong += got == want ? 0 : 1;
    }
    EXPECT_EQ(wrong, 0) << "of " << count;
}

TEST_F(KjvSearch, GeneratedQueriesOfEveryFormAgreeWithThePlainReading)
{
    compareGeneratedQueries(20261210, 400);
}

// The same forms over the Spanish Bible, whose words carry accents and up to five Strong's numbers.
class Rv1909Search : public KjvSearch {
protected:
    static void SetUpTestSuite() { openBook("RV1909.tvk", "spaRV1909eb.imp"); }
};

TEST_F(Rv1909Search, GeneratedQueriesOfEveryFormAgreeWithThePlainReading)
{
    compareGeneratedQueries(20261211, 400);
}

// "de Jesucristo" is tagged "strong:G2424 G5547": each number finds it, G5547 in 527 verses with
// Mateo 1:1 and Marcos 1:1, and tied to the word as well.
TEST_F(Rv1909Search, EveryStrongsNumberOfAWordFindsIt)
{
    const auto g5547 = found("G5547");
    EXPECT_EQ(g5547.size(), 527u);
    EXPECT_SAME(g5547, expected([](const Verse& v) { return v.strongs.count("G5547") > 0; }));
    EXPECT_EQ(g5547.count((40u << 16) | (1 << 8) | 1), 1u) << "Mateo 1:1";
    EXPECT_EQ(g5547.count((41u << 16) | (1 << 8) | 1), 1u) << "Marcos 1:1";
    EXPECT_SAME(found("Jesucristo:G5547"), expected([](const Verse& v) {
        return v.tagged.count({"jesucristo", "G5547"}) > 0;
    }));
    EXPECT_SAME(found("jesucristo:g2424"), expected([](const Verse& v) {
        return v.tagged.count({"jesucristo", "G2424"}) > 0;
    }));
}

// And over the World English Bible, with its deuterocanonical books.
class WebSearch : public KjvSearch {
protected:
    static void SetUpTestSuite() { openBook("WEB.tvk", "engWEB2015eb.imp"); }
};

TEST_F(WebSearch, GeneratedQueriesOfEveryFormAgreeWithThePlainReading)
{
    compareGeneratedQueries(20261212, 400);
}

// A word the source's markup cuts in two is one word: "<w>in</w>asmuch" in Hebrews 3:3 and 7:20.
TEST_F(KjvSearch, AWordCutByMarkupIsOneWord)
{
    const auto inasmuch = found("inasmuch");
    EXPECT_EQ(inasmuch.size(), 9u);
    EXPECT_SAME(inasmuch, expected([](const Verse& v) { return has(v, "inasmuch"); }));
    EXPECT_EQ(inasmuch.count((58u << 16) | (3 << 8) | 3), 1u) << "Hebrews 3:3";
    EXPECT_EQ(inasmuch.count((58u << 16) | (7 << 8) | 20), 1u) << "Hebrews 7:20";
    // Mark 4:24 reads "given", not "give" and "n".
    const uint32_t mark = (41u << 16) | (4 << 8) | 24;
    EXPECT_EQ(found("given").count(mark), 1u);
    EXPECT_SAME(found("give"), expected([](const Verse& v) { return has(v, "give"); }));
    EXPECT_EQ(found("\"shall more be given\"").count(mark), 1u);
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
// words read as it once reduced to base letters ("corazon" 804, "Jesus" 759: 754 "Jesús" and 5 "Jesus"; the module writes five more against the word
// before them, "yJesús", which are other words).
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
    EXPECT_EQ(holding({u"jesus"}).size(), 759u);
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

// The sample library against its sources: every count here is computed by the test from the module
// exports (its own reading of the markup), and compared with what the engine's readers find in the
// compiled books: verses per book, the text of every verse, words, Strong's numbers, phrases,
// commentary entries, dictionary headwords, the daily readings and the books that come with the
// application.

#include <gtest/gtest.h>

#include <QChar>
#include <QString>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "engine/bookfile/cBkGenInfoStg.h"
#include "engine/bookfile/cBkVerseSyncStg.h"
#include "search/core/Metaphone.h"
#include "search/core/WordStemming.h"
#include "tests/tools/import/BookReading.h"
#include "tools/tvkbuild/import/TvkModuleImport.h"

namespace {

const std::string kBuild = QS_BINARY_DIR;

// ---- The test's own reading of an export ------------------------------------------------------

struct SourceVerse {
    bool any = false;                    // the entry has words, footnotes included
    std::string text;                    // without footnotes and tags
    std::vector<std::string> words;      // lower-cased
    std::multiset<std::string> strongs;  // "H430" (leading zeros dropped), footnotes apart
};

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::pair<std::string, std::string>> exportEntries(const std::string& module)
{
    std::vector<std::pair<std::string, std::string>> out;
    std::istringstream in(readAll(kBuild + "/library-src/" + module + ".imp"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("$$$", 0) == 0)
            out.emplace_back(line.substr(3), "");
        else if (!out.empty())
            out.back().second += (out.back().second.empty() ? "" : "\n") + line;
    }
    return out;
}

std::string decodeEntities(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            const size_t semi = s.find(';', i);
            const std::string e = s.substr(i + 1, semi - i - 1);
            if (e == "amp" || e == "lt" || e == "gt" || e == "quot" || e == "apos") {
                out += e == "amp" ? '&' : e == "lt" ? '<' : e == "gt" ? '>' : e == "quot" ? '"' : '\'';
                i = semi;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

std::vector<std::string> splitWords(const std::string& text)
{
    const QString q = QString::fromUtf8(text.c_str());
    std::vector<std::string> words;
    QString current;
    auto isWordChar = [](QChar c) { return c.isLetterOrNumber() || c.isMark() || c.isSurrogate(); };
    for (qsizetype i = 0; i < q.size(); ++i) {
        const QChar c = q[i];
        const bool apostrophe = (c == u'\'' || c == QChar(0x2019)) && !current.isEmpty() && i + 1 < q.size() &&
            (q[i + 1].isLetter() || q[i + 1].isMark());
        if (isWordChar(c) || apostrophe) {
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

SourceVerse readSource(const std::string& markup)
{
    SourceVerse v;
    std::string plain, notes;
    size_t i = 0;
    int noteDepth = 0;
    std::vector<std::string> lemmaStack;
    while (i < markup.size()) {
        if (markup[i] != '<') {
            const size_t end = std::min(markup.find('<', i), markup.size());
            (noteDepth == 0 ? plain : notes) += markup.substr(i, end - i);
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
        // The verse ends with its book; a word runs across the edge of an inline element ("<w>in</w>asmuch")
        // and of no other.
        if (name == "div" && tag.find("type=\"book\"") != std::string::npos && tag.find("eID=") != std::string::npos)
            break;
        static const std::set<std::string> kInline {
            "w", "transChange", "q", "hi", "divineName", "seg", "foreign", "name", "catchWord"};
        if (noteDepth == 0 && (kInline.count(name) == 0 || name == "note"))
            plain += ' ';
        else
            notes += ' ';
        if (name == "note" && !empty)
            noteDepth += closing ? -1 : 1;
        if (name == "w" && !closing && !empty && noteDepth == 0) {
            // Every number of the lemma: "strong:G2424 G5547" names two.
            const size_t at = tag.find("lemma=\"");
            std::istringstream lemma(at == std::string::npos ? "" : tag.substr(at + 7, tag.find('"', at + 7) - at - 7));
            bool strong = false;
            for (std::string n; lemma >> n;) {
                if (const size_t colon = n.find(':'); colon != std::string::npos) {
                    strong = n.substr(0, colon) == "strong";
                    n.erase(0, colon + 1);
                }
                if (!strong || n.size() < 2)
                    continue;
                std::string digits = n.substr(1);
                digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
                v.strongs.insert(n.substr(0, 1) + digits);
            }
        }
        if (noteDepth == 0 && (name == "l" || name == "lb" || name == "lg" || name == "div" || name == "p"))
            plain += ' ';
    }
    v.text = decodeEntities(plain);
    v.words = splitWords(v.text);
    v.any = !v.words.empty() || !splitWords(notes).empty();
    return v;
}

std::string withoutSpace(const std::string& s)
{
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\n' && c != '\t' && c != '\r')
            out += c;
    return out;
}

// The keys in one set and not the other, for failure messages.
std::string difference(const std::set<uint32_t>& found, const std::set<uint32_t>& expected)
{
    std::ostringstream out;
    out << std::hex << "only compiled:";
    size_t n = 0;
    for (uint32_t k : found)
        if (!expected.count(k) && n++ < 8)
            out << " " << k;
    out << "; only in the source:";
    n = 0;
    for (uint32_t k : expected)
        if (!found.count(k) && n++ < 8)
            out << " " << k;
    return out.str();
}

// ---- The compiled side ---------------------------------------------------------------------

struct ImportedLibrary : public ::testing::Test {
    static bool present()
    {
        return std::filesystem::exists(kBuild + "/library/KJV.tvk") &&
            std::filesystem::exists(kBuild + "/library-src/engKJV2006eb.imp");
    }
    void SetUp() override
    {
        if (!present())
            GTEST_SKIP() << "the sample library has not been compiled (scripts/build-library.sh)";
    }
    static std::unique_ptr<cBkBookFile> open(const std::string& name)
    {
        auto book = std::make_unique<cBkBookFile>();
        EXPECT_EQ(book->open((kBuild + "/library/" + name).c_str()), 0u) << name;
        return book;
    }
    // Verse key -> section, for the verse sections (verse not 0).
    static std::map<uint32_t, uint32_t> verseSections(cBkBookFile& book)
    {
        std::map<uint32_t, uint32_t> out;
        for (uint32_t i = 1; i < book.verseSync().recordCount(); ++i) {
            const uint32_t key = book.verseSync().keyOfRecord(i);
            if ((key & 0xFF) == 0)
                continue;
            uint32_t record, section;
            book.verseSync().sectionForKey(key, record, section);
            out[key] = section;
        }
        return out;
    }
};

struct Bible {
    const char* module;
    const char* file;
};
const Bible kBibles[] = {{"engKJV2006eb", "KJV.tvk"}, {"engWEB2015eb", "WEB.tvk"}, {"spaRV1909eb", "RV1909.tvk"}};

std::map<uint32_t, SourceVerse> sourceVerses(const char* module)
{
    std::map<uint32_t, SourceVerse> out;
    for (const auto& [key, text] : exportEntries(module)) {
        const uint32_t k = tvkVerseKeyFromExportKey(key);
        if (k == 0 || (k & 0xFF) == 0)
            continue;
        // Text of another book that leaked into an entry is not this verse's (the importer skips it).
        const std::string own = std::string("osisID=\"") + tvkBookByNumber(static_cast<uint8_t>(k >> 16))->osisId;
        bool foreign = false;
        for (size_t p = 0; (p = text.find("osisID=\"", p)) != std::string::npos; p += 8)
            foreign = foreign ||
                (text.compare(p, own.size(), own) != 0 || (text[p + own.size()] != '"' && text[p + own.size()] != '.'));
        if (foreign)
            continue;
        SourceVerse v = readSource(text);
        if (v.any)
            out[k] = std::move(v);
    }
    return out;
}

// Every verse's presence is checked, and the text of every kTextStride-th verse.
constexpr size_t kTextStride = 7;

TEST_F(ImportedLibrary, VersesPerBookAndTheTextOfTheVerses)
{
    for (const Bible& b : kBibles) {
        const auto source = sourceVerses(b.module);
        auto book = open(b.file);
        const auto sections = verseSections(*book);
        std::set<uint32_t> expected, found;
        for (const auto& [k, v] : source)
            expected.insert(k);
        for (const auto& [k, s] : sections)
            found.insert(k);
        EXPECT_EQ(found.size(), expected.size()) << b.file;
        EXPECT_TRUE(found == expected) << b.file << " " << difference(found, expected);

        bookreading::Reader reader(*book);
        size_t mismatches = 0;
        size_t n = 0;
        for (const auto& [k, v] : source) {
            auto it = sections.find(k);
            if (it == sections.end() || n++ % kTextStride != 0)
                continue;
            const auto compiled = reader.section(it->second);
            EXPECT_EQ(compiled.verseKey, k);
            if (withoutSpace(compiled.text) != withoutSpace(v.text) && ++mismatches <= 5)
                ADD_FAILURE() << b.file << " " << std::hex << k << std::dec
                              << ":\n  compiled: " << compiled.text.substr(0, 400)
                              << "\n  source:   " << v.text.substr(0, 400);
        }
        EXPECT_EQ(mismatches, 0u) << b.file;
    }
}

TEST_F(ImportedLibrary, WordsAndStrongsNumbersMatchTheirVerses)
{
    const std::map<std::string, std::vector<std::string>> words = {
        {"KJV.tvk", {"god", "lord", "jesus", "beginning", "love", "light", "shepherd", "pharaoh’s", "selah"}},
        {"WEB.tvk", {"god", "yahweh", "jesus", "love", "light", "shepherd"}},
        {"RV1909.tvk", {"dios", "jehová", "jesús", "amor", "luz", "espíritu", "señor"}},
    };
    const std::vector<std::string> strongs = {"H430", "H3068", "H7225", "G2424", "G26", "G3056", "H1"};
    for (const Bible& b : kBibles) {
        const auto source = sourceVerses(b.module);
        auto book = open(b.file);
        std::set<uint32_t> verseSectionSet;
        std::map<uint32_t, uint32_t> keyOf;
        for (const auto& [k, s] : verseSections(*book)) {
            verseSectionSet.insert(s);
            keyOf[s] = k;
        }
        auto verseHits = [&](const std::set<uint32_t>& sections) {
            std::set<uint32_t> keys;
            for (uint32_t s : sections)
                if (verseSectionSet.count(s))
                    keys.insert(keyOf[s]);
            return keys;
        };
        for (const std::string& w : words.at(b.file)) {
            std::set<uint32_t> expected;
            for (const auto& [k, v] : source)
                if (std::find(v.words.begin(), v.words.end(), w) != v.words.end())
                    expected.insert(k);
            EXPECT_FALSE(expected.empty()) << w;
            const auto sections = bookreading::concordanceSections(book->wordList(), book->concordance(), w);
            const auto found = verseHits(sections);
            EXPECT_TRUE(found == expected) << b.file << " " << w << " " << difference(found, expected);
            // The word's stem (in the book's language) and its sound-alike key reach every section of it.
            const uint16_t language = static_cast<uint16_t>(book->genInfo().languageNumber());
            for (const auto& [pair, key] : {std::pair {book->stemmed(), stemWordForLanguage(w, language)},
                     std::pair {book->phonetic(), metaphoneKey(std::string_view(w))}}) {
                ASSERT_NE(pair, nullptr) << b.file;
                ASSERT_FALSE(key.empty()) << w;
                const auto all = bookreading::concordanceSections(*pair->words, *pair->concordance, key);
                EXPECT_TRUE(std::includes(all.begin(), all.end(), sections.begin(), sections.end()))
                    << b.file << " " << w;
            }
        }
        for (const std::string& n : strongs) {
            std::set<uint32_t> expected;
            for (const auto& [k, v] : source)
                if (v.strongs.count(n))
                    expected.insert(k);
            const cBkWordListPair* pair = n[0] == 'H' ? book->strongsHebrew() : book->strongsGreek();
            ASSERT_NE(pair, nullptr) << b.file;
            const auto found =
                verseHits(bookreading::concordanceSections(*pair->words, *pair->concordance, n.substr(1)));
            EXPECT_TRUE(found == expected) << b.file << " " << n << " " << difference(found, expected);
        }
    }
}

TEST_F(ImportedLibrary, PhrasesAreFoundInTheVersesThatHoldThem)
{
    const std::vector<std::vector<std::string>> phrases = {{"in", "the", "beginning"}, {"son", "of", "man"},
        {"the", "lord", "is", "my", "shepherd"}, {"verily", "verily"}};
    const auto source = sourceVerses("engKJV2006eb");
    auto book = open("KJV.tvk");
    bookreading::Reader reader(*book);
    std::map<uint32_t, uint32_t> keyOf;
    for (const auto& [k, s] : verseSections(*book))
        keyOf[s] = k;
    auto holds = [](const std::vector<std::string>& words, const std::vector<std::string>& phrase) {
        return std::search(words.begin(), words.end(), phrase.begin(), phrase.end()) != words.end();
    };
    for (const auto& phrase : phrases) {
        std::set<uint32_t> expected, found;
        for (const auto& [k, v] : source)
            if (holds(v.words, phrase))
                expected.insert(k);
        // Candidates from the concordance (sections holding every word), confirmed in the text.
        std::set<uint32_t> candidates =
            bookreading::concordanceSections(book->wordList(), book->concordance(), phrase[0]);
        for (size_t i = 1; i < phrase.size(); ++i) {
            const auto more = bookreading::concordanceSections(book->wordList(), book->concordance(), phrase[i]);
            std::set<uint32_t> both;
            std::set_intersection(
                candidates.begin(), candidates.end(), more.begin(), more.end(), std::inserter(both, both.end()));
            candidates = both;
        }
        for (uint32_t s : candidates) {
            if (!keyOf.count(s))
                continue;
            std::vector<std::string> words;
            for (const auto& w : reader.section(s).words)
                if (!w.inNote)
                    words.push_back(QString::fromStdString(w.text).toLower().toStdString());
            if (holds(words, phrase))
                found.insert(keyOf[s]);
        }
        EXPECT_FALSE(expected.empty());
        EXPECT_TRUE(found == expected) << phrase[0] << " " << phrase[1] << " " << difference(found, expected);
    }
}

TEST_F(ImportedLibrary, CommentaryEntriesAndDictionaryHeadwords)
{
    struct Case {
        const char* module;
        const char* file;
        bool commentary;
    } cases[] = {{"Scofield", "Scofield.tvk", true}, {"TDavid", "TreasuryOfDavid.tvk", true},
        {"StrongsHebrew", "StrongsHebrew.tvk", false}, {"StrongsGreek", "StrongsGreek.tvk", false},
        {"Nave", "Nave.tvk", false}};
    for (const Case& c : cases) {
        std::set<std::string> expected;
        for (const auto& [key, text] : exportEntries(c.module)) {
            if (readSource(text).words.empty())
                continue;
            if (c.commentary) {
                const uint32_t k = tvkVerseKeyFromExportKey(key);
                if (k != 0 && (k >> 16) <= 66)
                    expected.insert(key);
            } else {
                expected.insert(key);
            }
        }
        auto book = open(c.file);
        const cBkWordListPair* pair = c.commentary ? book->verseSyncWords() : book->syncWords();
        ASSERT_NE(pair, nullptr) << c.file;
        EXPECT_EQ(pair->words->wordCount(), expected.size()) << c.file;
        if (!c.commentary) {
            const std::string first = std::string(c.module) == "StrongsHebrew" ? "H1"
                : std::string(c.module) == "StrongsGreek"                      ? "G1"
                                                                               : "AARON";
            EXPECT_EQ(bookreading::concordanceSections(*pair->words, *pair->concordance, first).size(), 1u) << c.file;
        }
    }
    // The Scofield note on John 3:16 is found by the verse it covers.
    auto scofield = open("Scofield.tvk");
    bool covered = false;
    cBkWordListStg& keys = *scofield->verseSyncWords()->words;
    for (uint32_t i = 0; i < keys.wordCount(); ++i) {
        std::string k;
        keys.wordForNumber(i, k);
        const uint32_t start = static_cast<uint32_t>(std::stoul(k.substr(0, 6), nullptr, 16));
        const uint32_t end = k.size() == 12 ? static_cast<uint32_t>(std::stoul(k.substr(6), nullptr, 16)) : start;
        covered = covered || (start <= 0x2B0310 && 0x2B0310 <= end);
    }
    EXPECT_TRUE(covered);
}

TEST_F(ImportedLibrary, DailyReadingsWalkThroughPsalmsAndProverbs)
{
    size_t expected = 0;
    for (const auto& [k, v] : sourceVerses("engKJV2006eb"))
        expected += ((k >> 16) == 19 || (k >> 16) == 20) ? 1 : 0;
    auto book = open("DailyReadings.tvk");
    ASSERT_EQ(book->dateSync().readingCount(), 365u);
    bookreading::Reader reader(*book);
    size_t verses = 0;
    for (uint32_t r = 0; r < 365; ++r) {
        const auto text = reader.section(book->dateSync().sectionOfReading(r));
        static const std::regex reference("(Psalms|Proverbs) [0-9]+:[0-9]+");
        verses += static_cast<size_t>(
            std::distance(std::sregex_iterator(text.text.begin(), text.text.end(), reference), std::sregex_iterator()));
    }
    EXPECT_EQ(verses, expected);
}

TEST_F(ImportedLibrary, BooksThatComeWithTheApplication)
{
    struct Case {
        const char* file;
        uint16_t bookId;
    } cases[] = {{"MXHelp.tvk", 24}, {"MXWelcome.tvk", 23}, {"KJV.tvk", 101}};
    for (const Case& c : cases) {
        cBkBookFile book;
        ASSERT_EQ(book.open((kBuild + "/books/" + c.file).c_str()), 0u) << c.file;
        EXPECT_EQ(book.genInfo().publisherId(), 1);
        EXPECT_EQ(book.genInfo().bookId(), c.bookId);
        EXPECT_GT(book.sections().sectionCount(), 2u);
    }
    EXPECT_EQ(readAll(kBuild + "/books/KJV.tvk"), readAll(kBuild + "/library/KJV.tvk"));
}

}  // namespace

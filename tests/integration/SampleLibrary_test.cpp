// The sample library's King James Version against its own source: every answer the engine gives is
// compared with what this test reads out of the module export (library-src/engKJV2006eb.imp) with
// its own small parser, never with anything the book compiler wrote.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "documents/cBookDoc.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cPlatformMemPtr.h"
#include "search/core/Metaphone.h"
#include "search/core/WordStemming.h"
#include "search/core/cBitVector.h"
#include "tools/tvktool/cTvkToolBook.h"

namespace {

const std::string kBuild = QS_BINARY_DIR;
const std::string kKjv = kBuild + "/library/KJV.tvk";
const std::string kSource = kBuild + "/library-src/engKJV2006eb.imp";

// One entry of the export: "$$$Book C:V" and the markup lines below it.
struct SourceVerse {
    std::string book;   // the export's book name ("I John")
    int bookIndex = 0;  // 1.. in the export's order
    int chapter = 0;
    int verse = 0;
    std::string markup;
    std::string text;                // notes and tags removed, blanks collapsed
    std::vector<std::string> words;  // lower-cased, apostrophes kept inside words
    std::set<std::string> strongs;   // "G25", "H430" outside notes
};

std::string withoutNotes(const std::string& markup)
{
    std::string out;
    size_t i = 0;
    while (i < markup.size()) {
        const size_t open = markup.find("<note", i);
        if (open == std::string::npos) {
            out.append(markup, i, std::string::npos);
            break;
        }
        out.append(markup, i, open - i);
        const size_t close = markup.find("</note>", open);
        i = close == std::string::npos ? markup.size() : close + 7;
    }
    return out;
}

std::string plain(const std::string& markup)
{
    std::string noTags;
    bool inTag = false;
    for (char c : withoutNotes(markup)) {
        if (c == '<')
            inTag = true;
        else if (c == '>')
            inTag = false;
        else if (!inTag)
            noTags.push_back(c);
    }
    std::string out;
    for (char c : noTags) {
        const bool blank = c == ' ' || c == '\n' || c == '\t' || c == '\r';
        if (!blank)
            out.push_back(c);
        else if (!out.empty() && out.back() != ' ')
            out.push_back(' ');
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Words: runs of letters, joined by an apostrophe (' or U+2019) between letters.
std::vector<std::string> wordsOf(const std::string& text)
{
    std::vector<std::string> words;
    std::string w;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (isLetter(c)) {
            w.push_back(static_cast<char>(c | 0x20));
            continue;
        }
        if (!w.empty()) {
            size_t next = std::string::npos;
            if (c == '\'')
                next = i + 1;
            else if (text.compare(i, 3, "\xE2\x80\x99") == 0)
                next = i + 3;
            if (next != std::string::npos && next < text.size() && isLetter(text[next])) {
                w.append(text, i, next - i);
                i = next - 1;
                continue;
            }
            words.push_back(std::move(w));
            w.clear();
        }
    }
    if (!w.empty())
        words.push_back(std::move(w));
    return words;
}

std::set<std::string> strongsOf(const std::string& markup)
{
    std::set<std::string> out;
    static const std::regex number("strong:([GH])0*([0-9]+)");
    const std::string text = withoutNotes(markup);
    for (std::sregex_iterator it(text.begin(), text.end(), number), end; it != end; ++it)
        out.insert((*it)[1].str() + (*it)[2].str());
    return out;
}

// The verses of the export that have text (the headings, verse 0, are left aside).
struct Source {
    std::vector<SourceVerse> verses;
    std::map<std::string, const SourceVerse*> byKey;  // "John 3:16"
    std::vector<std::string> bookNames;               // export order
    std::set<std::string> headingWords;               // words of the verse-0 entries

    void load(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::string line, key, markup;
        static const std::regex keyForm("^(.*) ([0-9]+):([0-9]+)$");
        auto flush = [&] {
            std::smatch m;
            if (key.empty() || !std::regex_match(key, m, keyForm))
                return;
            SourceVerse v;
            v.book = m[1].str();
            v.chapter = std::stoi(m[2].str());
            v.verse = std::stoi(m[3].str());
            if (bookNames.empty() || bookNames.back() != v.book)
                bookNames.push_back(v.book);
            v.bookIndex = static_cast<int>(bookNames.size());
            v.markup = markup;
            v.text = plain(markup);
            if (v.verse == 0) {
                for (const std::string& w : wordsOf(v.text))
                    headingWords.insert(w);
                return;
            }
            if (v.text.empty())
                return;
            v.words = wordsOf(v.text);
            v.strongs = strongsOf(markup);
            verses.push_back(std::move(v));
        };
        while (std::getline(in, line)) {
            if (line.compare(0, 3, "$$$") == 0) {
                flush();
                key = line.substr(3);
                markup.clear();
            } else {
                markup += markup.empty() ? line : "\n" + line;
            }
        }
        flush();
        for (const SourceVerse& v : verses)
            byKey[v.book + " " + std::to_string(v.chapter) + ":" + std::to_string(v.verse)] = &v;
    }

    template <typename Test> std::uint32_t count(Test test) const
    {
        std::uint32_t n = 0;
        for (const SourceVerse& v : verses)
            n += test(v) ? 1 : 0;
        return n;
    }
};

bool holds(const SourceVerse& v, const std::string& word)
{
    for (const std::string& w : v.words)
        if (w == word)
            return true;
    return false;
}

class SampleLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
#if QS_LIBRARY_BUILT
        s_source = new Source;
        s_source->load(kSource);
        s_book = new cTvkToolBook;
        s_openResult = s_book->open(kKjv);
#endif
    }
    static void TearDownTestSuite()
    {
        delete s_book;
        s_book = nullptr;
        delete s_source;
        s_source = nullptr;
    }
    void SetUp() override
    {
#if !QS_LIBRARY_BUILT
        GTEST_SKIP() << "the sample library is not compiled in this build (QS_BUILD_LIBRARY is off)";
#endif
        ASSERT_EQ(0u, s_openResult) << kKjv;
        ASSERT_GT(s_source->verses.size(), 30000u) << kSource;
    }

    static cBookDoc& doc()
    {
        return *s_book->document();
    }
    static cBkBookFile& file()
    {
        return *s_book->document()->bookFile();
    }
    static std::vector<std::uint32_t> sectionsOf(const cBitVector* v)
    {
        std::vector<std::uint32_t> out;
        if (v != nullptr)
            for (std::uint32_t s = v->first(1); s != cBitVector::kNone; s = v->nextAfter(s, 1))
                out.push_back(s);
        return out;
    }
    // The sections the word list and concordance of a pair give for one key.
    static std::set<std::uint32_t> pairLookup(const cBkWordListPair* pair, const std::string& key)
    {
        cBitVector* hits = nullptr;
        std::uint32_t count = 0;
        cLString16 w;
        w.assignFromUTF8(key.c_str());
        doc().concordanceLookup(pair->words.get(), pair->concordance.get(), w, count, hits);
        std::unique_ptr<cBitVector> owned(hits);
        const std::vector<std::uint32_t> list = sectionsOf(hits);
        EXPECT_EQ(list.size(), count) << key;
        return {list.begin(), list.end()};
    }
    // The verse key of every verse section, in section order.
    static const std::map<std::uint32_t, std::uint32_t>& verseSections()
    {
        static std::map<std::uint32_t, std::uint32_t> keys;
        if (keys.empty())
            for (std::uint32_t s = 0; s < doc().GetNumSections(); ++s)
                if (const std::uint32_t key = doc().bibleKeyForSection(s); (key & 0xFF) != 0)
                    keys[s] = key;
        return keys;
    }
    // The export's verse of a section, through the verse's key and the export's book order.
    static const SourceVerse* sourceOf(std::uint32_t key)
    {
        const int book = static_cast<int>(key >> 16);
        if (book < 1 || book > static_cast<int>(s_source->bookNames.size()))
            return nullptr;
        const std::string k = s_source->bookNames[static_cast<size_t>(book - 1)] + " " +
            std::to_string((key >> 8) & 0xFF) + ":" + std::to_string(key & 0xFF);
        auto it = s_source->byKey.find(k);
        return it == s_source->byKey.end() ? nullptr : it->second;
    }

    static Source* s_source;
    static cTvkToolBook* s_book;
    static std::uint32_t s_openResult;
};

Source* SampleLibrary::s_source = nullptr;
cTvkToolBook* SampleLibrary::s_book = nullptr;
std::uint32_t SampleLibrary::s_openResult = 0;

// INFO, SECT, SYNC, TOFC: the header, every verse in its book and chapter, the contents tree.
TEST_F(SampleLibrary, VersesPerBookAndTheContents)
{
    ASSERT_TRUE(s_book->isBible());
    std::string title;
    file().genInfo().bookName(title, true);
    EXPECT_EQ("King James Version", title);
    EXPECT_EQ(file().sections().sectionCount(), file().verseSync().recordCount());
    EXPECT_EQ(file().sections().sectionCount(), file().toc().entryCount());
    ASSERT_EQ(66u, s_source->bookNames.size());

    // Per book and chapter, the engine's verses against the export's.
    std::map<std::pair<int, int>, int> engine, expected;
    for (const auto& [section, key] : verseSections())
        ++engine[{static_cast<int>(key >> 16), static_cast<int>((key >> 8) & 0xFF)}];
    for (const SourceVerse& v : s_source->verses)
        ++expected[{v.bookIndex, v.chapter}];
    EXPECT_EQ(expected, engine);
    EXPECT_EQ(s_source->verses.size(), verseSections().size());

    // Whole books by typed reference.
    const std::pair<const char*, const char*> books[] = {{"Gen", "Genesis"}, {"Ps", "Psalms"}, {"Obad", "Obadiah"},
        {"John", "John"}, {"1 John", "I John"}, {"Jude", "Jude"}, {"Rev", "Revelation of John"}};
    for (const auto& [typed, exported] : books) {
        std::vector<cTvkToolBook::Verse> verses;
        ASSERT_EQ(0u, s_book->verses(typed, verses)) << typed;
        const std::string name = exported;
        EXPECT_EQ(s_source->count([&](const SourceVerse& v) { return v.book == name; }), verses.size()) << typed;
    }

    // The contents: book > chapter > verse; one book entry per book, one chapter entry per chapter.
    std::map<std::uint32_t, std::set<std::uint32_t>> chaptersOfBook;
    std::map<std::uint32_t, std::set<int>> booksOfEntry;
    for (const auto& [section, key] : verseSections()) {
        cBookDoc::ContentsPath path;
        ASSERT_TRUE(doc().contentsPath(section, path)) << section;
        ASSERT_GE(path.depth, 3u) << section;
        EXPECT_EQ(section, path.entries[path.depth]);
        chaptersOfBook[path.entries[path.depth - 2]].insert(path.entries[path.depth - 1]);
        booksOfEntry[path.entries[path.depth - 2]].insert(static_cast<int>(key >> 16));
    }
    EXPECT_EQ(66u, chaptersOfBook.size());
    std::map<int, std::set<int>> sourceChapters;
    for (const SourceVerse& v : s_source->verses)
        sourceChapters[v.bookIndex].insert(v.chapter);
    for (const auto& [entry, books] : booksOfEntry) {
        ASSERT_EQ(1u, books.size()) << "contents entry " << entry << " spans books";
        EXPECT_EQ(sourceChapters[*books.begin()].size(), chaptersOfBook[entry].size()) << "book " << *books.begin();
    }
}

// TEXT, PUNC, NODE: the plain text of chosen verses and of a sample across the whole Bible.
TEST_F(SampleLibrary, VerseTexts)
{
    const std::pair<const char*, const char*> chosen[] = {{"John 3:16", "John 3:16"}, {"Jude 3", "Jude 1:3"},
        {"Ps 23:2", "Psalms 23:2"}, {"Esth 8:9", "Esther 8:9"}, {"John 11:35", "John 11:35"},
        {"Rev 22:21", "Revelation of John 22:21"}, {"Gen 1:1", "Genesis 1:1"}, {"Mal 4:6", "Malachi 4:6"},
        {"Matt 1:1", "Matthew 1:1"}};
    for (const auto& [typed, exported] : chosen) {
        std::vector<cTvkToolBook::Verse> verses;
        ASSERT_EQ(0u, s_book->verses(typed, verses)) << typed;
        ASSERT_EQ(1u, verses.size()) << typed;
        ASSERT_TRUE(s_source->byKey.count(exported)) << exported;
        EXPECT_EQ(s_source->byKey.at(exported)->text, verses[0].text) << typed;
    }
    std::vector<cTvkToolBook::Verse> john;
    ASSERT_EQ(0u, s_book->verses("John 3:16", john));
    EXPECT_EQ("John 3:16", john[0].reference);
    EXPECT_EQ(
        "\xC2\xB6 For God so loved the world, that he gave his only begotten Son, that whosoever believeth in him "
        "should not perish, but have everlasting life.",
        john[0].text);

    // A range in order, headings left out.
    std::vector<cTvkToolBook::Verse> range;
    ASSERT_EQ(0u, s_book->verses("Ps 22:30-23:2", range));
    ASSERT_EQ(4u, range.size());
    const char* expected[] = {"Psalms 22:30", "Psalms 22:31", "Psalms 23:1", "Psalms 23:2"};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(expected[i], range[i].reference);

    // Every 37th verse section of the book.
    std::uint32_t compared = 0, n = 0;
    for (const auto& [section, key] : verseSections()) {
        if (n++ % 37 != 0)
            continue;
        const SourceVerse* v = sourceOf(key);
        ASSERT_NE(nullptr, v) << std::hex << key;
        EXPECT_EQ(v->text, s_book->plainText(section)) << v->book << " " << v->chapter << ":" << v->verse;
        ++compared;
    }
    EXPECT_GT(compared, 800u);
}

// WRDS and CONC (words and patterns), STEM and PHON (their stems and sound keys).
TEST_F(SampleLibrary, WordCounts)
{
    for (const char* word : {"begotten", "shepherd", "charity", "firmament", "selah", "lord", "love", "jesus", "amen",
             "lord\xE2\x80\x99s", "unto", "lukewarm"}) {
        ASSERT_EQ(0u, s_source->headingWords.count(word)) << word << " also stands in a heading";
        std::uint32_t count = 0;
        ASSERT_EQ(0u, s_book->countWord(word, count));
        EXPECT_EQ(s_source->count([&](const SourceVerse& v) { return holds(v, word); }), count) << word;
        EXPECT_GT(count, 0u) << word;
    }
    std::uint32_t count = 0;
    ASSERT_EQ(0u, s_book->countWord("LORD", count));
    EXPECT_EQ(s_source->count([](const SourceVerse& v) { return holds(v, "lord"); }), count);
    ASSERT_EQ(0u, s_book->countWord("quillstead", count));
    EXPECT_EQ(0u, count);

    // Patterns: a prefix and a single-letter wildcard.
    auto matching = [](const std::regex& pattern) {
        return s_source->count([&](const SourceVerse& v) {
            for (const std::string& w : v.words)
                if (std::regex_match(w, pattern))
                    return true;
            return false;
        });
    };
    ASSERT_EQ(0u, s_book->countWord("shepherd*", count));
    EXPECT_EQ(matching(std::regex("shepherd.*")), count);
    ASSERT_EQ(0u, s_book->countWord("lov*", count));
    EXPECT_EQ(matching(std::regex("lov.*")), count);
    ASSERT_EQ(0u, s_book->countWord("m?n", count));
    EXPECT_EQ(matching(std::regex("m.n")), count);

    // A stem's sections hold every section of each word with that stem; the same for sound keys.
    const cBkWordListPair* stems = file().stemmed();
    const cBkWordListPair* sounds = file().phonetic();
    ASSERT_NE(nullptr, stems);
    ASSERT_NE(nullptr, sounds);
    for (const char* word : {"begotten", "shepherd", "loved", "walking", "righteousness"}) {
        std::set<std::uint32_t> wordSections;
        cBitVector* hits = nullptr;
        doc().SearchMainConcordance(cLString16(word), hits, count);
        std::unique_ptr<cBitVector> owned(hits);
        for (std::uint32_t s : sectionsOf(hits))
            wordSections.insert(s);
        ASSERT_EQ(s_source->count([&](const SourceVerse& v) { return holds(v, word); }), wordSections.size()) << word;
        for (const auto& [pair, key] : {std::pair {stems, stemWordForLanguage(word, 1033)},
                 std::pair {sounds, metaphoneKey(std::string_view(word))}}) {
            ASSERT_FALSE(key.empty()) << word;
            const std::set<std::uint32_t> keySections = pairLookup(pair, key);
            for (std::uint32_t s : wordSections)
                ASSERT_TRUE(keySections.count(s)) << word << " key " << key << " section " << s;
        }
    }
    // "love", "loved", "loveth" share a stem: the stem's sections are exactly their union.
    const std::string stem = stemWordForLanguage("loved", 1033);
    std::set<std::uint32_t> unionOf;
    cBkWordListStg& words = file().wordList();
    for (std::uint32_t w = 0; w < words.wordCount(); ++w) {
        std::string text;
        words.wordForNumber(w, text);
        if (text.empty() || static_cast<unsigned char>(text[0]) == 0xFF || stemWordForLanguage(text, 1033) != stem)
            continue;
        cBitVector* hits = nullptr;
        doc().SearchMainConcordanceByWordNumber(w, hits, count);
        std::unique_ptr<cBitVector> owned(hits);
        for (std::uint32_t s : sectionsOf(hits))
            unionOf.insert(s);
    }
    EXPECT_GT(unionOf.size(), 280u);
    EXPECT_EQ(unionOf, pairLookup(stems, stem));
}

// A search by root finds every verse holding a word of that stem, possessives written with the
// typographic apostrophe ("Lord’s", "love’s") among them.
TEST_F(SampleLibrary, RootSearchFindsPossessives)
{
    for (const auto& [word, reference, possessive] : {std::tuple {"lord", "1 Corinthians 10:26", "lord\xE2\x80\x99s"},
             std::tuple {"love", "Philemon 9", "love\xE2\x80\x99s"}}) {
        std::vector<cTvkToolBook::Verse> verse;
        ASSERT_EQ(0u, s_book->verses(reference, verse)) << reference;
        ASSERT_EQ(1u, verse.size()) << reference;
        ASSERT_TRUE(holds(*sourceOf(doc().bibleKeyForSection(verse[0].section)), possessive)) << reference;
        std::vector<std::uint32_t> found;
        ASSERT_EQ(0u, s_book->search(word, "all", "stem", found)) << word;
        EXPECT_TRUE(std::binary_search(found.begin(), found.end(), verse[0].section)) << word << " " << reference;
        const std::string stem = stemWordForLanguage(word, 1033);
        const std::uint32_t expected = s_source->count([&](const SourceVerse& v) {
            return std::any_of(v.words.begin(), v.words.end(),
                [&](const std::string& w) { return stemWordForLanguage(w, 1033) == stem; });
        });
        const auto verses =
            std::count_if(found.begin(), found.end(), [](std::uint32_t s) { return verseSections().count(s) != 0; });
        EXPECT_EQ(expected, static_cast<std::uint32_t>(verses)) << word;
    }
}

// SHEA/SHCN and SGRK/SGCN.
TEST_F(SampleLibrary, StrongsCounts)
{
    for (const char* number : {"G25", "G26", "H430", "G2316", "H3068", "G5547", "H7462", "G3439"}) {
        std::uint32_t count = 0;
        ASSERT_EQ(0u, s_book->countStrongs(number, count)) << number;
        EXPECT_EQ(s_source->count([&](const SourceVerse& v) { return v.strongs.count(number) != 0; }), count) << number;
        EXPECT_GT(count, 0u) << number;
    }
    // Leading zeros and a lower-case letter name the same number.
    std::uint32_t padded = 0, plainCount = 0;
    ASSERT_EQ(0u, s_book->countStrongs("g0025", padded));
    ASSERT_EQ(0u, s_book->countStrongs("G25", plainCount));
    EXPECT_EQ(plainCount, padded);
    // Numbers above either dictionary.
    ASSERT_EQ(0u, s_book->countStrongs("H99999", padded));
    EXPECT_EQ(0u, padded);
}

// Phrases: the concordance narrows, the phrase test decides.
TEST_F(SampleLibrary, PhraseCounts)
{
    for (const char* phrase : {"only begotten son", "the lord is my shepherd", "in the beginning", "son of man",
             "holy ghost", "verily verily i say unto you", "and it came to pass"}) {
        std::vector<std::string> words;
        std::istringstream in(phrase);
        for (std::string w; in >> w;)
            words.push_back(w);
        const std::uint32_t expected = s_source->count([&](const SourceVerse& v) {
            for (size_t i = 0; i + words.size() <= v.words.size(); ++i)
                if (std::equal(words.begin(), words.end(), v.words.begin() + static_cast<std::ptrdiff_t>(i)))
                    return true;
            return false;
        });
        std::uint32_t count = 0;
        ASSERT_EQ(0u, s_book->countPhrase(phrase, count)) << phrase;
        EXPECT_EQ(expected, count) << phrase;
        EXPECT_GT(count, 0u) << phrase;
    }
    std::uint32_t count = 0;
    ASSERT_EQ(0u, s_book->countPhrase("shepherd the lord", count));
    EXPECT_EQ(0u, count);
}

// NODE through the block renderer, and the embedded reference tables.
TEST_F(SampleLibrary, RenderingAndReferenceTables)
{
    std::vector<cTvkToolBook::Verse> john;
    ASSERT_EQ(0u, s_book->verses("John 3:16", john));
    std::string html;
    ASSERT_EQ(0u, s_book->renderSection(john[0].section, html));
    EXPECT_NE(std::string::npos, html.find("id='_s43.3.16'")) << html;
    EXPECT_NE(std::string::npos, html.find("G25")) << html;
    EXPECT_NE(std::string::npos, html.find("only begotten")) << html;
    EXPECT_EQ(219u, s_book->renderSection(doc().GetNumSections(), html));

    cBkEmbeddedFiles* tables = file().bibleRefFiles();
    ASSERT_NE(nullptr, tables);
    ASSERT_NE(nullptr, tables->subFile());
    std::uint32_t files = 0;
    for (size_t i = 0; i < tables->subFile()->entryCount(); ++i) {
        const std::string name = tables->subFile()->entryAt(i)->name();
        if (name.empty())
            continue;
        cPlatformMemPtr bytes;
        ASSERT_EQ(0u, tables->readIntoMemory(name, bytes)) << name;
        EXPECT_GT(bytes.size(), 0u) << name;
        ++files;
    }
    EXPECT_GE(files, 2u);
}

// Runs tvktool with the arguments (quoted for the shell); its output and exit code.
std::pair<std::string, int> tool(const std::string& arguments)
{
    const std::string command = kBuild + "/tools/tvktool/tvktool " + arguments + " 2>&1";
    std::FILE* p = popen(command.c_str(), "r");
    if (p == nullptr)
        return {"", -1};
    std::string out;
    std::array<char, 4096> buf;
    for (size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;)
        out.append(buf.data(), n);
    const int status = pclose(p);
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// The tool end to end: the line the run script shows.
TEST_F(SampleLibrary, ToolPrintsJohn316)
{
    const auto [out, status] = tool("verse " + kKjv + " 'John 3:16'");
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ("John 3:16\t" + s_source->byKey.at("John 3:16")->text + "\n", out);
}

// A search as a reader types it: the keyboard's apostrophe and punctuation stuck to the word find what
// the bare word finds; a limit that does not parse is an error.
TEST_F(SampleLibrary, ToolSearchesAsAReaderTypes)
{
    auto count = [](const std::string& query, const std::string& rest = "") {
        const auto [out, status] = tool("search " + kKjv + " " + query + rest);
        EXPECT_EQ(status, 0) << query << ": " << out;
        return std::atoi(out.c_str());
    };
    EXPECT_EQ(count("\"God's\""), 25);
    EXPECT_EQ(count("\"God\u2019s\""), 25);
    EXPECT_EQ(count("\"lord's\""), 131);
    for (const char* q : {"love", "'love,'", "'love.'", "'(love)'"})
        EXPECT_EQ(count(q), 280) << q;
    int genesis1 = 0;
    for (int verse = 1; verse <= 31; ++verse)
        genesis1 +=
            std::regex_search(s_source->byKey.at("Genesis 1:" + std::to_string(verse))->text, std::regex("\\bGod\\b"));
    EXPECT_GT(genesis1, 20);
    EXPECT_EQ(count("God", " all exact 'Genesis 1'"), genesis1);
    const auto [out, status] = tool("search " + kKjv + " God all exact 'Genesis 1; BOOKMARK(\"creation\")'");
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("error 226"), std::string::npos) << out;
    EXPECT_NE(out.find("limit was not understood"), std::string::npos) << out;
}

}  // namespace

namespace {

// The other Bibles of the library answer references typed in their own language.
TEST(SampleLibraryBibles, ReferencesInTheBooksLanguage)
{
#if !QS_LIBRARY_BUILT
    GTEST_SKIP() << "the sample library is not compiled in this build (QS_BUILD_LIBRARY is off)";
#endif
    const struct {
        const char* book;
        const char* source;
        const char* typed;
        const char* spelled;
    } bibles[] = {{"RV1909.tvk", "spaRV1909eb.imp", "Juan 3:16", "Juan 3:16"},
        {"RV1909.tvk", "spaRV1909eb.imp", "Sal 23:1", "Salmos 23:1"},
        {"WEB.tvk", "engWEB2015eb.imp", "Ps 23:1", "Psalms 23:1"}};
    for (const auto& b : bibles) {
        Source source;
        source.load(kBuild + "/library-src/" + b.source);
        cTvkToolBook book;
        ASSERT_EQ(0u, book.open(kBuild + "/library/" + b.book)) << b.book;
        std::vector<cTvkToolBook::Verse> verses;
        ASSERT_EQ(0u, book.verses(b.typed, verses)) << b.typed;
        ASSERT_EQ(1u, verses.size()) << b.typed;
        EXPECT_EQ(b.spelled, verses[0].reference);
        const std::string key = b.spelled[0] == 'J' ? "John 3:16" : "Psalms 23:1";
        ASSERT_TRUE(source.byKey.count(key)) << b.source;
        EXPECT_EQ(source.byKey.at(key)->text, verses[0].text) << b.book << " " << b.typed;
    }
}

}  // namespace

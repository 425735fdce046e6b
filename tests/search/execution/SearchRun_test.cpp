// Search runs on a small Bible: word forms, interpretations, progress reports, the notes run, the
// bookmark count and queries people type by mistake.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "search/core/TextFolding.h"
#include "search/execution/PhraseSearch.h"
#include "search/execution/SearchRun.h"
#include "search/execution/SourceTupleSearchBook.h"
#include "search/execution/UserDataSearchCache.h"
#include "tests/search/execution/MiniBible.h"
#include "userdata/cBibleNote.h"
#include "userdata/cBookNote.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cCategory.h"
#include "userdata/cCategoryStg.h"
#include "userdata/cNoteDoc.h"

namespace {

using namespace minibible;

class SearchRunTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_folder = new Folder();
        std::string reason;
        s_book = SourceTupleSearchBook::openFile(s_folder->writeBible(), &reason);
        if (s_book == nullptr)
            std::fprintf(stderr, "mini Bible: %s\n", reason.c_str());
    }
    static void TearDownTestSuite()
    {
        s_book.reset();
        delete s_folder;
    }
    void SetUp() override { ASSERT_NE(s_book, nullptr); }

    static std::vector<uint32_t> run(const std::u16string& query, const SearchOptions& options)
    {
        const SearchSpecification parsed(query);
        const std::unique_ptr<BitVector> hits = searchrun::searchResults(parsed, *s_book, options, 5);
        std::vector<uint32_t> out;
        if (hits != nullptr)
            for (uint32_t s = hits->first(true); s != cBitVector::kNone; s = hits->nextAfter(s, true))
                out.push_back(s);
        return out;
    }
    static std::vector<uint32_t> run(
        const std::u16string& query, const char* interpretation = "all", const char* wordform = "exact")
    {
        SearchOptions o;
        o.interpretation = interpretation;
        o.wordform = wordform;
        return run(query, o);
    }

    static Folder* s_folder;
    static std::shared_ptr<SourceTupleSearchBook> s_book;
};

Folder* SearchRunTest::s_folder = nullptr;
std::shared_ptr<SourceTupleSearchBook> SearchRunTest::s_book;

using Sections = std::vector<uint32_t>;

struct CountingDelegate : SearchProgressDelegate {
    uint64_t announced = 0, done = 0;
    int64_t lastId = -1;
    void searchProgressAddToCount(uint64_t n, int64_t id) override
    {
        announced += n;
        lastId = id;
    }
    void searchProgressIncrementBy(uint64_t n, int64_t id) override
    {
        done += n;
        lastId = id;
    }
};

}  // namespace

TEST_F(SearchRunTest, TheHandleOpensBooksAsTheLibraryDoes)
{
    // The mini Bible opened by path is the library's handle over a Bible document.
    EXPECT_TRUE(s_book->isABible());
    EXPECT_EQ(s_book->document(), s_book->tuple()->sourceDoc().get());
    EXPECT_GT(s_book->numSections(), 1u);

    // What does not open is refused with its reason, never a handle over nothing.
    std::string reason;
    EXPECT_EQ(SourceTupleSearchBook::openFile(s_folder->path() + "/missing.tvk", &reason), nullptr);
    EXPECT_EQ(reason, "not a regular file");
    reason.clear();
    EXPECT_EQ(SourceTupleSearchBook::openFile(s_folder->path(), &reason), nullptr);  // a folder
    EXPECT_EQ(reason, "not a regular file");
    const std::string junk = s_folder->path() + "/junk.tvk";
    std::FILE* f = std::fopen(junk.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a book file at all", f);
    std::fclose(f);
    reason.clear();
    EXPECT_EQ(SourceTupleSearchBook::openFile(junk, &reason), nullptr);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(SourceTupleSearchBook::openFile(""), nullptr);
    EXPECT_EQ(SourceTupleSearchBook::forDocument(nullptr), nullptr);

    // A handle over a document kept elsewhere answers as the opened one.
    const auto wrapped = SourceTupleSearchBook::forDocument(s_book->document());
    ASSERT_NE(wrapped, nullptr);
    EXPECT_EQ(wrapped->numSections(), s_book->numSections());
    EXPECT_EQ(wrapped->sectionForSyncString(u"John 3:16", false), s_book->sectionForSyncString(u"John 3:16", false));
}

TEST_F(SearchRunTest, WordFormsAndInterpretations)
{
    EXPECT_EQ(run(u"love"), (Sections {kJohn13_34, kFirstJohn4_7, kFirstJohn4_8}));
    EXPECT_EQ(run(u"love one"), (Sections {kJohn13_34, kFirstJohn4_7}));
    EXPECT_EQ(run(u"gave love", "any"), (Sections {kJohn3_16, kJohn13_34, kFirstJohn4_7, kFirstJohn4_8, kJude3}));
    // The stem of "loved" reaches "love", "loved" and "loveth"; its sound-alike too.
    EXPECT_EQ(run(u"loved", "all", "stem"), (Sections {kJohn3_16, kJohn13_34, kFirstJohn4_7, kFirstJohn4_8}));
    const Sections sounds = run(u"loved", "all", "metaphone");
    EXPECT_TRUE(std::find(sounds.begin(), sounds.end(), kJohn3_16) != sounds.end());
    // An "exact" derived run over a query of patterns only finds nothing.
    EXPECT_TRUE(run(u"lov*", "exact", "stem").empty());
    // Unknown word form: nothing.
    EXPECT_TRUE(run(u"love", "all", "nonsense").empty());
    // Strong's numbers, alone and negated against a word.
    EXPECT_EQ(run(u"G26"), (Sections {kFirstJohn4_7, kFirstJohn4_8}));
    EXPECT_EQ(run(u"H430"), (Sections {kGenesis1_1, kGenesis1_3}));
    EXPECT_EQ(run(u"G9999"), Sections {});
    // "xyzzy love" and "love xyzzy" agree: every word must be there.
    EXPECT_TRUE(run(u"xyzzy love").empty());
    EXPECT_TRUE(run(u"love xyzzy").empty());
    // Stop words find nothing when asked for.
    SearchOptions stop;
    stop.stopWords = true;
    EXPECT_TRUE(run(u"the", stop).empty());
    EXPECT_FALSE(run(u"the").empty());
}

TEST_F(SearchRunTest, GoToAndExclusionsAndLimits)
{
    EXPECT_EQ(run(u"John 3:16", "goto"), (Sections {kJohn3_16}));
    EXPECT_TRUE(run(u"John", "goto").empty());
    EXPECT_TRUE(run(u"love", "goto").empty());
    // This book has no verse index: a reference finds an empty set, not nothing.
    SearchOptions xref;
    xref.interpretation = "xref";
    EXPECT_NE(searchrun::searchResults(SearchSpecification(u"John 3:16"), *s_book, xref, 1), nullptr);
    EXPECT_EQ(searchrun::searchResults(SearchSpecification(u"love"), *s_book, xref, 1), nullptr);
    EXPECT_EQ(run(u"love -beloved"), (Sections {kJohn13_34, kFirstJohn4_8}));
    SearchOptions limited;
    limited.searchlimits = u"1 John 4:7-8";
    EXPECT_EQ(run(u"love", limited), (Sections {kFirstJohn4_7, kFirstJohn4_8}));
    limited.searchlimits = u"Nowhere 99";
    EXPECT_TRUE(run(u"love", limited).empty());
}

TEST_F(SearchRunTest, ALimitThatDoesNotParseIsAnErrorNotAnEmptyResult)
{
    auto delegate = std::make_shared<CountingDelegate>();
    SearchOptions o;
    o.progressDelegate = delegate;
    const SearchSpecification love(u"love");
    searchrun::RunError error = searchrun::RunError::LimitNotUnderstood;
    o.searchlimits = u"1 John 4:7-8";
    std::unique_ptr<BitVector> hits = searchrun::searchResults(love, *s_book, o, 1, &error);
    EXPECT_EQ(error, searchrun::RunError::None);
    ASSERT_NE(hits, nullptr);
    EXPECT_EQ(hits->count(true), 2u);
    // A passage list cut short by a separator, a book this Bible lacks, words: not understood.
    for (const char16_t* limit :
        {u"1 John 4:7-8; BOOKMARK(\"creation\")", u"Nowhere 99", u"love and peace", u"John 3:16;", u"BOOKMARK"}) {
        o.searchlimits = limit;
        error = searchrun::RunError::None;
        hits = searchrun::searchResults(love, *s_book, o, 1, &error);
        EXPECT_EQ(error, searchrun::RunError::LimitNotUnderstood) << TextFolding::utf16ToUtf8(limit);
        EXPECT_EQ(hits, nullptr);
    }
    // Every announced step is reported, also for an exclusion the run never reached.
    const uint64_t announced = delegate->announced;
    EXPECT_EQ(delegate->done, announced);
    o.searchlimits = u"Nowhere 99";
    searchrun::searchResults(SearchSpecification(u"love -hate"), *s_book, o, 1, &error);
    EXPECT_EQ(delegate->announced, announced + 3);
    EXPECT_EQ(delegate->done, announced + 3);
    // Limits do not apply to the go-to run nor to a query that parses to nothing.
    o.interpretation = "goto";
    hits = searchrun::searchResults(SearchSpecification(u"John 3:16"), *s_book, o, 1, &error);
    EXPECT_EQ(error, searchrun::RunError::None);
    EXPECT_NE(hits, nullptr);
    o.interpretation = "all";
    EXPECT_EQ(searchrun::searchResults(SearchSpecification(u"-love"), *s_book, o, 1, &error), nullptr);
    EXPECT_EQ(error, searchrun::RunError::None);
}

TEST_F(SearchRunTest, ProgressIsAnnouncedAndReportedOnce)
{
    auto delegate = std::make_shared<CountingDelegate>();
    SearchOptions o;
    o.progressDelegate = delegate;
    o.searchlimits = u"John";
    // An included list that finds nothing still reports every announced step.
    EXPECT_TRUE(run(u"xyzzy -love", o).empty());
    EXPECT_EQ(delegate->announced, 3u);
    EXPECT_EQ(delegate->done, 3u);
    EXPECT_EQ(delegate->lastId, 5);
    o.interpretation = "goto";
    run(u"John 3:16", o);
    EXPECT_EQ(delegate->announced, 4u);
    EXPECT_EQ(delegate->done, 4u);
    // A query without an included list runs nothing, whatever the interpretation.
    run(u"-love", o);
    EXPECT_EQ(delegate->announced, 4u);
}

TEST_F(SearchRunTest, NotesOfTheUserAreSearchedLikeText)
{
    cNoteDoc* notes = noteDocInstance();
    ASSERT_NE(notes, nullptr);
    cNoteDocProvider::install(std::make_shared<cFixedNoteDocProvider>(notes));
    cBibleNote note;
    note.booknum = 43;
    note.chapter = 3;
    note.verse = 16;
    note.note.assignFromUTF8("<p>The <b>well-known</b> verse: God's love, 1,000 times.</p>");
    ASSERT_TRUE(notes->saveBibleNote(note, false));
    SearchOptions o;
    o.searchnotes = true;
    EXPECT_EQ(run(u"well-known", o), (Sections {kJohn3_16}));
    EXPECT_EQ(run(u"1,000", o), (Sections {kJohn3_16}));
    EXPECT_EQ(run(u"\"verse god's love\"", o), (Sections {kJohn3_16}));
    EXPECT_TRUE(run(u"love -verse", o).empty());
    o.wordform = "stem";
    EXPECT_EQ(run(u"loved", o), (Sections {kJohn3_16}));
    // One given note.
    SearchOptions one;
    one.searchnotes = true;
    one.thenote = u"Love one another";
    const std::unique_ptr<BitVector> hit =
        searchrun::searchResults(SearchSpecification(u"\"love one another\""), *s_book, one, 1);
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->size(), 2u);
    EXPECT_EQ(hit->count(true), 1u);
    // The limit NOTE() keeps the sections that carry a note.
    SearchOptions limited;
    limited.searchlimits = u"NOTE()";
    EXPECT_EQ(run(u"god", limited), (Sections {kJohn3_16}));
    ASSERT_TRUE(notes->deleteBibleNoteAtVerse(43, 3, 16));
    EXPECT_TRUE(run(u"god", limited).empty());
}

TEST_F(SearchRunTest, NotesMatchApostrophesAlikeAndDerivedPhrases)
{
    auto noteSearch = [](const std::u16string& query, const std::u16string& note, const char* interpretation,
                          const char* wordform) {
        SearchOptions o;
        o.searchnotes = true;
        o.thenote = note;
        o.interpretation = interpretation;
        o.wordform = wordform;
        const std::unique_ptr<BitVector> hit = searchrun::searchResults(SearchSpecification(query), *s_book, o, 1);
        return hit != nullptr && hit->count(true) == 1;
    };
    // Any apostrophe typed finds any apostrophe written, as a word and inside a phrase.
    for (const char16_t* note : {u"<p>God\u2019s love</p>", u"<p>God's love</p>", u"<p>God\u02BCs love</p>"}) {
        for (const char16_t* query : {u"God's", u"god\u2019s", u"GOD`S", u"\"god\u2018s love\"", u"(God's),"}) {
            EXPECT_TRUE(noteSearch(query, note, "exact", "exact"))
                << TextFolding::utf16ToUtf8(query) << " in " << TextFolding::utf16ToUtf8(note);
        }
        EXPECT_TRUE(noteSearch(u"god\u2019s", note, "all", "stem"));
        EXPECT_FALSE(noteSearch(u"gods", note, "exact", "exact"));
    }
    // A phrase by root or by sound: the note's words are compared in the same form.
    const std::u16string note = u"<p>His <i>Loving kindness</i> endureth.</p>";
    EXPECT_TRUE(noteSearch(u"loved kindness", note, "exact", "stem"));
    EXPECT_TRUE(noteSearch(u"\"loveth kindnesses\"", note, "all", "stem"));
    EXPECT_FALSE(noteSearch(u"kindness loved", note, "exact", "stem"));
    EXPECT_TRUE(noteSearch(u"luving kindness", note, "exact", "metaphone"));
    EXPECT_FALSE(noteSearch(u"kindness luving", note, "exact", "metaphone"));
    EXPECT_FALSE(noteSearch(u"loved kindness", note, "exact", "exact"));
    EXPECT_TRUE(noteSearch(u"loving kindness,", note, "exact", "exact"));
}

TEST_F(SearchRunTest, BookmarkCountOfACategory)
{
    cCategoryStg categories;
    ASSERT_TRUE(categories.openDatabase(false));
    cCategory category;
    category.name.assignFromUTF8("Say \"hi\"");
    ASSERT_TRUE(categories.addCategory(category, false, false));
    cBookmarkMgr bookmarks;
    ASSERT_TRUE(bookmarks.openDatabase(nullptr, true, false));
    for (uint32_t key :
        {BkSyncFormat::bibleKey(1, 1, 1), BkSyncFormat::bibleKey(1, 1, 2), BkSyncFormat::bibleKey(43, 3, 16)}) {
        cBookmark mark;
        mark.setBibleVerse(key, category.catid);
        ASSERT_TRUE(bookmarks.addBookmark(mark, false, false, false));
    }
    SearchOptions o;
    o.interpretation = "userDataCount";
    o.searchlimits = u"BOOKMARK(\"Say \"\"hi\"\"\")";
    const std::unique_ptr<BitVector> three = searchrun::searchResults(SearchSpecification(u"x"), *s_book, o, 1);
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(three->size(), 4u);
    EXPECT_EQ(three->count(true), 3u);
    EXPECT_FALSE(three->getCBitVector()->test(0));
    o.searchlimits = u"bookmark(\"Nobody\")";
    const std::unique_ptr<BitVector> none = searchrun::searchResults(SearchSpecification(u"x"), *s_book, o, 1);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->size(), 2u);
    EXPECT_EQ(none->count(true), 0u);
    o.searchlimits = u"BOOKMARK(\"\")";
    EXPECT_EQ(searchrun::searchResults(SearchSpecification(u"x"), *s_book, o, 1), nullptr);
    // The same category limits a phrase search.
    SearchOptions limited;
    limited.searchlimits = u"BOOKMARK(\"Say \"\"hi\"\"\")";
    EXPECT_EQ(run(u"god", limited), (Sections {kGenesis1_1, kJohn3_16}));
}

TEST_F(SearchRunTest, NoteTextsAreCleanedAndReplacedWordByWord)
{
    std::u16string t = u"<p>It's a well-known fact: 1,000 men end,start; -x- 'quoted'</p>";
    searchrun::cleanUpNoteForSearch(t);
    EXPECT_EQ(TextFolding::utf16ToUtf8(t), "It's a well-known fact  1,000 men end start   x   quoted  ");
    // Every apostrophe inside a word becomes the straight one; quotation marks around words go.
    t = u"God\u2019s Lord`s men\u02BCs \u2018quoted\u2019 s\u2032 \u2019tis";
    searchrun::cleanUpNoteForSearch(t);
    EXPECT_EQ(TextFolding::utf16ToUtf8(t), "God's Lord's men's  quoted  s   tis");
    EXPECT_EQ(searchrun::metaphonedString(u"a knight"), u" Ploxa nt  ");
    EXPECT_EQ(searchrun::stemmedString(u"loveth lovest"), u" love love  ");
    EXPECT_TRUE(phrasesearch::isPhrasePresentInString(
        [] {
            cSearchWordList l;
            l.appendItem(u"love", 0xFFFFFFFF, false, nullptr);
            l.appendItem(u"one", 0xFFFFFFFF, false, nullptr);
            l.appendItem(u"another", 0xFFFFFFFF, false, nullptr);
            return l;
        }(),
        u"love love one another"));
    EXPECT_TRUE(phrasesearch::wordOccursInString(u"ELOHIM", u"the élohim of old", 0));
    EXPECT_FALSE(phrasesearch::wordOccursInString(u"elo", u"the élohim of old", 0));
    EXPECT_TRUE(phrasesearch::wordOccursInString(u"élo*", u"the élohim of old", 1));
    EXPECT_FALSE(phrasesearch::wordOccursInString(u"elo*", u"the élohim of old", 1));
}

namespace {

// The mini Bible, counting the concordance look-ups, phrase checks and limit evaluations it answers.
class CountingBook : public SourceTupleSearchBook {
public:
    using SourceTupleSearchBook::SourceTupleSearchBook;
    uint32_t resultsFromMainConcordanceForWordNum(uint32_t word, BitVector& results) const override
    {
        ++lookups;
        return SourceTupleSearchBook::resultsFromMainConcordanceForWordNum(word, results);
    }
    bool isPhrasePresent(const cSearchWordList& phrase, uint32_t section) const override
    {
        ++phraseChecks;
        return SourceTupleSearchBook::isPhrasePresent(phrase, section);
    }
    uint32_t resultsForLimitString(BitVector& results, const std::u16string& limit) const override
    {
        ++limitRuns;
        return SourceTupleSearchBook::resultsForLimitString(results, limit);
    }
    mutable int lookups = 0, phraseChecks = 0, limitRuns = 0;
};

}  // namespace

TEST_F(SearchRunTest, AnEmptyIntersectionEndsTheRun)
{
    // "created" (Genesis 1:1) and "love" (John and 1 John) share no verse, so nothing after them is
    // looked up; the words that follow are all in the book.
    CountingBook book(s_book->tuple());
    auto hits = [&](const std::u16string& query, const SearchOptions& options) {
        book.lookups = book.phraseChecks = book.limitRuns = 0;
        const std::unique_ptr<BitVector> found = searchrun::searchResults(SearchSpecification(query), book, options, 1);
        return found == nullptr ? 0u : found->count(true);
    };
    SearchOptions all;
    all.interpretation = "all";
    EXPECT_EQ(hits(u"created love God one another world gave", all), 0u);
    EXPECT_EQ(book.lookups, 2);
    // Quoted, or read exactly: no section is left to check the phrase in.
    EXPECT_EQ(hits(u"\"created love God one\"", all), 0u);
    EXPECT_EQ(book.lookups, 2);
    EXPECT_EQ(book.phraseChecks, 0);
    SearchOptions exact;
    exact.interpretation = "exact";
    EXPECT_EQ(hits(u"created love God one", exact), 0u);
    EXPECT_EQ(book.phraseChecks, 0);
    // Quoted phrases are intersected one after another in the same way.
    EXPECT_EQ(hits(u"\"created\" \"love\" \"God\" \"one\"", all), 0u);
    EXPECT_EQ(book.lookups, 2);
    // The exclusion is not looked up for an empty result; the limit is read once, first (so that one
    // that does not parse is said so), and not applied.
    SearchOptions limited = all;
    limited.searchlimits = u"Genesis";
    EXPECT_EQ(hits(u"created love -God", limited), 0u);
    EXPECT_EQ(book.lookups, 2);
    EXPECT_EQ(book.limitRuns, 1);
    // A run that keeps hits looks every word up and answers as before.
    EXPECT_EQ(hits(u"love one another", all), 2u);
    EXPECT_EQ(book.lookups, 3);
    EXPECT_EQ(hits(u"love -beloved", limited), 0u);
    EXPECT_EQ(book.limitRuns, 1);
    // "any" unites: nothing is cut short.
    SearchOptions any;
    any.interpretation = "any";
    EXPECT_EQ(hits(u"created love", any), 4u);
    EXPECT_EQ(book.lookups, 2);
}

TEST_F(SearchRunTest, QueriesTypedByMistakeGetAnAnswer)
{
    std::u16string many;
    for (int i = 0; i < 5000; ++i)
        many += u"love OR ";
    std::u16string stars;
    for (int i = 0; i < 2000; ++i)
        stars += u"*?[a|\"b]_ ";
    std::u16string nested;
    for (int i = 0; i < 3000; ++i)
        nested += u"[[\"";
    const std::string badUtf8 = "lo\xC3\x28ve \xFF\xFE \xED\xA0\x80";
    const std::vector<std::u16string> queries = {u"", u"   ", u"OR", u"| | OR |", u"\"", u"\"\"\"", u"\"love", u"-",
        u"- -", u"-\"", u"::", u":G", u"G:", u"love:", u"[", u"]", u"[!", u"*", u"?", u"_", many, stars, nested,
        TextFolding::utf8ToUtf16(badUtf8), std::u16string(1, u'\xD800'), std::u16string(100000, u'x')};
    // Each gets an answer (a hang ends the test at the runner's time limit).
    for (const std::u16string& q : queries) {
        for (const searchrun::StandardRun& r : searchrun::standardRuns()) {
            SearchOptions o;
            o.interpretation = r.interpretation;
            if (r.wordform != nullptr)
                o.wordform = r.wordform;
            const Sections found = run(q, o);
            EXPECT_LE(found.size(), s_book->numSections());
        }
    }
    // "*" is every verse, sections 3 to 10; the book's and the chapter's headings are none.
    EXPECT_EQ(run(u"*"),
        (Sections {kGenesis1_1, 4, kGenesis1_3, kJohn3_16, kJohn13_34, kFirstJohn4_7, kFirstJohn4_8, kJude3}));
}

TEST_F(SearchRunTest, JournalNotesAreFoundByTitleAndRecordedForTheLayout)
{
    cNoteDoc* notes = noteDocInstance();
    ASSERT_NE(notes, nullptr);
    cNoteDocProvider::install(std::make_shared<cFixedNoteDocProvider>(notes));
    cBookNote entry;
    entry.pubid = 24326;
    entry.bookid = 15184;
    entry.edition = 1;
    entry.section = 1;
    entry.formname.assignFromUTF8("Morning prayer");
    entry.fieldname.assignFromUTF8("Note");
    entry.note.assignFromUTF8("<p>Give thanks always.</p>");
    ASSERT_TRUE(notes->saveBookNote(entry, false));
    cBookNote read;
    ASSERT_TRUE(notes->readFormNote(24326, 15184, 1, 1, entry.formname, entry.fieldname, read));
    auto journal = SourceTupleSearchBook::forDocument(userdatasearch::journalDocForSearchCache());
    ASSERT_TRUE(journal->isFakeJournalDoc());
    SearchOptions o;
    o.searchnotes = true;
    o.layoutUuid = "layout-1";
    o.searchID = 4;
    o.searchtag = 2;
    searchrun::clearJournalSearchResults(nullptr);
    for (const char16_t* q : {u"thanks", u"prayer"}) {
        const std::unique_ptr<BitVector> hits = searchrun::searchResults(SearchSpecification(q), *journal, o, 4);
        ASSERT_NE(hits, nullptr);
        EXPECT_EQ(hits->count(true), 1u);
        EXPECT_EQ(hits->first(true), static_cast<uint32_t>(read.recid));
    }
    std::vector<cLString8> layouts;
    ASSERT_TRUE(notes->journalSearchLayoutIds(layouts));
    ASSERT_EQ(layouts.size(), 1u);
    EXPECT_EQ(std::string(layouts[0].chars()), "layout-1");
    searchrun::clearJournalSearchResults("layout-1", 4);
    layouts.clear();
    ASSERT_TRUE(notes->journalSearchLayoutIds(layouts));
    EXPECT_TRUE(layouts.empty());
}

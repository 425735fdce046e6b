// SearchBook: one book as a search run sees it: its size, language and capabilities, the word numbers
// of its word lists, its concordances (each delivering a whole hit set at once), the phrase test of
// one section, limit expressions and the section look-ups of go-to and cross-reference searches.
//
// SourceTupleSearchBook answers it through the library's book handle (SourceTuple); it is the one
// implementation, so every search runs the reader's look-ups (tests and mocks may derive from it).
// Every operation may be called from several search threads at once; implementations keep no
// per-call state. Hit sets are BitVectors of numSections() bits (bit n = section n; bit 0 is
// never a section). A lookup fills `results` (made to the book's size when it holds no vector) and
// answers the number of hits, 0 when nothing was found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "search/core/BitVector.h"
#include "search/core/SearchSource.h"

class cBibleRef;
class cSearchWordList;
class cSourceDoc;

inline constexpr uint32_t kSearchNoWord = 0xFFFFFFFFu;
// What resultsForLimitString answers for a limit expression that does not parse.
inline constexpr uint32_t kSearchLimitNotUnderstood = 0xFFFFFFFFu;

class SearchBook : public SearchSource {
public:
    // Identity of the journal pseudo-book, whose sections are note record ids.
    static constexpr uint16_t kJournalPublisher = 24326;
    static constexpr uint16_t kJournalBook = 15184;
    static constexpr uint8_t kJournalEdition = 1;

    struct Identity {
        uint16_t publisher = 0;
        uint16_t book = 0;
        uint8_t edition = 0;
        uint8_t revision = 0;
    };

    virtual uint32_t numSections() const = 0;
    virtual uint16_t bookLanguage() const = 0;
    virtual Identity identity() const = 0;
    // The translation abbreviation of a Bible ("KJV"); empty for other books.
    virtual std::string abbreviation() const = 0;
    virtual bool isABible() const { return docSupports(kDocSupportsIsBible); }
    virtual bool isFakeBibleDoc() const { return false; }
    virtual bool isFakeJournalDoc() const = 0;
    // The engine document behind the book, for the expression evaluator and the user-data cache;
    // null when the book has none.
    virtual cSourceDoc* document() const = 0;

    // Word numbers; kSearchNoWord when the list lacks the word (or the book lacks the list).
    virtual uint32_t canonicalWordNumberForString(const std::u16string& word) const = 0;
    virtual uint32_t wordNumberForString(const std::u16string& word, bool partialMatch) const = 0;
    virtual uint32_t metaphoneWordNumberForString(const std::u16string& key) const = 0;
    virtual uint32_t stemmerWordNumberForString(const std::u16string& stem) const = 0;
    // The numbers of the words that carry marks (accents) and read as `folded` (base letters, lower
    // case) without them, or whose plain form a pattern with wildcards matches; none where the book
    // has no such word.
    virtual std::vector<uint32_t> markedWordNumbersFoldingTo(const std::u16string& folded) const
    {
        (void)folded;
        return {};
    }

    // Concordance lookups.
    virtual uint32_t resultsFromMainConcordanceForWordNum(uint32_t word, BitVector& results) const = 0;
    // A word or a wildcard pattern.
    virtual uint32_t resultsFromMainConcordanceForWord(const std::u16string& word, BitVector& results) const = 0;
    virtual uint32_t resultsFromMetaphoneConcordanceForWordNum(uint32_t word, BitVector& results) const = 0;
    virtual uint32_t resultsFromStemmerConcordanceForWordNum(uint32_t word, BitVector& results) const = 0;
    // The number without its letter, optionally with a leading "-".
    virtual uint32_t resultsFromStrongsHebrewConcordanceForWord(
        const std::u16string& number, BitVector& results) const = 0;
    virtual uint32_t resultsFromStrongsGreekConcordanceForWord(
        const std::u16string& number, BitVector& results) const = 0;
    virtual uint32_t resultsFromWordAttributeConcordanceForWord(
        const std::u16string& attribute, BitVector& results) const = 0;
    // The entries of a word-lookup book (a dictionary) for a word.
    virtual uint32_t resultsFromWordSyncConcordanceForWord(const std::u16string& word, BitVector& results) const = 0;
    // The sections that refer to the verses of a reference.
    virtual uint32_t resultsFromVerseReferenceConcordanceForVerse(
        const cBibleRef& reference, BitVector& results) const = 0;

    // Candidate sets of a Bible.
    virtual void resultsForAllOTVerses(BitVector& results) const = 0;
    virtual void resultsForAllNTVerses(BitVector& results) const = 0;
    virtual void resultsForAllVersesThatMightMatchWordAttribute(
        BitVector& results, const std::u16string& attribute) const = 0;

    // Whether the section holds the list's words as a phrase (forms, attributes and order).
    virtual bool isPhrasePresent(const cSearchWordList& phrase, uint32_t section) const = 0;
    // Replaces `results` by the hits of a limit expression over the whole book; the number of hits, or
    // kSearchLimitNotUnderstood (and no hits) when the expression does not parse.
    virtual uint32_t resultsForLimitString(BitVector& results, const std::u16string& limit) const = 0;
    // The number of this book's bookmarks in the named category.
    virtual uint32_t countOfBookmarksForCategory(const std::u16string& category) const = 0;

    // The section a reference or headword leads to; 0 when none. With requiresMoreThanBookName a
    // reference that names a whole book leads nowhere.
    virtual uint32_t sectionForSyncString(const std::u16string& text, bool requiresMoreThanBookName) const = 0;
    // The section of a Bible key in this Bible; 0 when none.
    virtual uint32_t sectionForBibleKey(uint32_t key) const = 0;
    // Clears the sections of a Bible that are no verse (its book and chapter headings); a book of
    // another kind keeps every section.
    virtual void keepVersesOnly(BitVector& results) const { (void)results; }
};

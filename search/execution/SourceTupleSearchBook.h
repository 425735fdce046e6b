// SourceTupleSearchBook: the SearchBook of a book, answered by the library's book handle
// (SourceTuple), the one door from above the engine into a book's document. It is the only SearchBook:
// the study pane's find, the library search, the navigator, the expression evaluation of the user-data
// search cache, the tools, the tests and the benchmarks all search through it, so every search runs
// the same look-ups (the Old and New Testament sets among them, which the tuple computes).
//
// Holds the tuple (shared); the tuple's facade may be called from any thread, so any number of
// search threads may use one at once.
#pragma once

#include <memory>

#include "library/SourceTuple.h"
#include "search/execution/SearchBook.h"

class SourceTupleSearchBook : public SearchBook {
public:
    explicit SourceTupleSearchBook(SourceTuple::Ptr tuple);
    static std::shared_ptr<const SearchBook> forTuple(SourceTuple::Ptr tuple);
    // A handle over a document the caller keeps open (it must outlive every run and the handle).
    static std::shared_ptr<SourceTupleSearchBook> forDocument(cSourceDoc* document);
    // Opens the book file at `path` (UTF-8) as the library opens an installed book (tools, tests,
    // benchmarks); null with the reason in `reason` when it does not open.
    static std::shared_ptr<SourceTupleSearchBook> openFile(const std::string& path, std::string* reason = nullptr);

    const SourceTuple::Ptr& tuple() const { return m_tuple; }

    bool docSupports(uint32_t mask) const override;
    bool couldBeWordAttribute(const std::u16string& term) const override;

    uint32_t numSections() const override;
    uint16_t bookLanguage() const override;
    Identity identity() const override;
    std::string abbreviation() const override;
    bool isABible() const override;
    bool isFakeBibleDoc() const override;
    bool isFakeJournalDoc() const override;
    cSourceDoc* document() const override;

    uint32_t canonicalWordNumberForString(const std::u16string& word) const override;
    uint32_t wordNumberForString(const std::u16string& word, bool partialMatch) const override;
    uint32_t metaphoneWordNumberForString(const std::u16string& key) const override;
    uint32_t stemmerWordNumberForString(const std::u16string& stem) const override;
    std::vector<uint32_t> markedWordNumbersFoldingTo(const std::u16string& folded) const override;

    uint32_t resultsFromMainConcordanceForWordNum(uint32_t word, BitVector& results) const override;
    uint32_t resultsFromMainConcordanceForWord(const std::u16string& word, BitVector& results) const override;
    uint32_t resultsFromMetaphoneConcordanceForWordNum(uint32_t word, BitVector& results) const override;
    uint32_t resultsFromStemmerConcordanceForWordNum(uint32_t word, BitVector& results) const override;
    uint32_t resultsFromStrongsHebrewConcordanceForWord(
        const std::u16string& number, BitVector& results) const override;
    uint32_t resultsFromStrongsGreekConcordanceForWord(const std::u16string& number, BitVector& results) const override;
    uint32_t resultsFromWordAttributeConcordanceForWord(
        const std::u16string& attribute, BitVector& results) const override;
    uint32_t resultsFromWordSyncConcordanceForWord(const std::u16string& word, BitVector& results) const override;
    uint32_t resultsFromVerseReferenceConcordanceForVerse(
        const cBibleRef& reference, BitVector& results) const override;

    void resultsForAllOTVerses(BitVector& results) const override;
    void resultsForAllNTVerses(BitVector& results) const override;
    void resultsForAllVersesThatMightMatchWordAttribute(
        BitVector& results, const std::u16string& attribute) const override;

    bool isPhrasePresent(const cSearchWordList& phrase, uint32_t section) const override;
    uint32_t resultsForLimitString(BitVector& results, const std::u16string& limit) const override;
    uint32_t countOfBookmarksForCategory(const std::u16string& category) const override;

    uint32_t sectionForSyncString(const std::u16string& text, bool requiresMoreThanBookName) const override;
    uint32_t sectionForBibleKey(uint32_t key) const override;
    void keepVersesOnly(BitVector& results) const override;

private:
    // The results sized to the book (the facade fills a vector of the size it is given).
    void prepare(BitVector& results) const;

    SourceTuple::Ptr m_tuple;
};

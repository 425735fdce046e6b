// DocumentSearchBook: the SearchBook of a book document (cBookDoc and its kinds, the journal
// document). The library's book handle makes one over its document; tools and tests make one over a
// document they opened themselves.
//
// Ownership: holds the document through a shared pointer; a handle that owns its document elsewhere
// passes a non-owning one (the document must then outlive every run). Threads: any number of search
// threads may call it at once; the document's query operations and the book file's storages lock
// what they read, and the testament sets are computed once under a flag.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "search/execution/SearchBook.h"

class cBookDoc;

class DocumentSearchBook : public SearchBook {
public:
    explicit DocumentSearchBook(std::shared_ptr<cSourceDoc> document);
    // Opens the book file at `path` (UTF-8) as the document of its kind (Bible, dated book, contents
    // book); null with the engine's result code in `error` when it cannot be opened.
    static std::shared_ptr<DocumentSearchBook> openFile(const std::string& path, uint32_t* error = nullptr);

    // SearchSource
    bool docSupports(uint32_t mask) const override;
    bool couldBeWordAttribute(const std::u16string& term) const override;

    // A journal grows with its notes, so its count is asked each time; a book's is read once.
    uint32_t numSections() const override;
    uint16_t bookLanguage() const override { return m_language; }
    Identity identity() const override { return m_identity; }
    std::string abbreviation() const override { return m_abbreviation; }
    bool isFakeJournalDoc() const override;
    cSourceDoc* document() const override { return m_document.get(); }

    uint32_t canonicalWordNumberForString(const std::u16string& word) const override;
    uint32_t wordNumberForString(const std::u16string& word, bool partialMatch) const override;
    uint32_t metaphoneWordNumberForString(const std::u16string& key) const override;
    uint32_t stemmerWordNumberForString(const std::u16string& stem) const override;

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

private:
    // Makes the results hold a clear vector of the book's size when they hold none or one of another size.
    void prepare(BitVector& results) const;
    // Moves a vector a document lookup made into the results.
    uint32_t adopt(cBitVector* made, BitVector& results) const;
    uint32_t pairLookup(int which, const std::u16string& key, BitVector& results) const;
    uint32_t pairWordNumber(int which, const std::u16string& key) const;
    void computeTestaments() const;

    std::shared_ptr<cSourceDoc> m_document;
    cBookDoc* m_book = nullptr;  // the document when it is a book document
    uint32_t m_numSections = 0;
    uint32_t m_flags = 0;
    uint16_t m_language = 1033;
    Identity m_identity;
    std::string m_abbreviation;

    mutable std::once_flag m_testamentsOnce;
    mutable std::unique_ptr<cBitVector> m_oldTestament, m_newTestament;
};

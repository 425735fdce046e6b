// Phrase and term search: the query tree of a SearchSpecification evaluated bottom-up against one
// book. Each term is looked up in the book's concordances in the requested word form and filtered by
// its word attribute, the alternatives of a position are united, the positions of a phrase combined,
// and where word order or attributes matter each candidate section is checked for the phrase itself.
// In notes mode ("searchnotes") the same code runs over the one note text of "thenote", and every hit
// set has 2 bits (bit 1: the note matches).
//
// Each phrase also yields the search word list that tells the page renderer and the note viewer which
// words to mark.
//
// A null result means nothing was found. `options` may be null ("no options": interpretation "all",
// word form "exact", and no phrase check). Runs on the caller's thread; reads the tree and the book
// only, so any number of runs may share them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "search/core/BitVector.h"
#include "search/core/SearchOptions.h"
#include "search/core/SearchSpecification.h"
#include "search/core/cSearchWordList.h"

class SearchBook;

namespace phrasesearch {

std::unique_ptr<BitVector> searchResults(const PhraseList& list, const SearchBook& book, const SearchOptions* options);
std::unique_ptr<BitVector> searchResults(
    const OredPhrases& phrases, const SearchBook& book, const SearchOptions* options);
std::unique_ptr<BitVector> searchResults(const Phrase& phrase, const SearchBook& book, const SearchOptions* options);
std::unique_ptr<BitVector> searchResults(const OredTerms& terms, const SearchBook& book, const SearchOptions* options);

// The phrase's word list: one item per position, each further term a variant.
std::unique_ptr<SearchWordListRef> makeSearchWordList(
    const Phrase& phrase, const SearchBook& book, const SearchOptions* options);
// Clears every bit of `results` whose section does not hold the phrase as the options require.
void scanForPhrase(
    const SearchWordListRef& words, BitVector& results, const SearchBook& book, const SearchOptions* options);

// Whether the positions of the list occur one after another among the blank-separated tokens.
bool isPhrasePresentInString(const cSearchWordList& list, const std::u16string& text);
// options 0: the word occurs as a whole word, ignoring case and diacritics; other options: some token
// matches the word as a pattern (with option bit 2 an HTML tag at a token's start is skipped).
bool wordOccursInString(const std::u16string& word, const std::u16string& text, int options);

// Appends every form of the phrase's words to `aggregate` as items of their own, OR-ing the flags.
void createAggregateSearchWordList(
    SearchWordListRef& aggregate, const Phrase& phrase, const SearchBook& book, const SearchOptions* options);
void createAggregateSearchWordList(
    SearchWordListRef& aggregate, const PhraseList& list, const SearchBook& book, const SearchOptions* options);
// The words of the whole query (its exclusions add none): creates the list when `aggregate` is empty,
// otherwise empties it first; both flags start cleared.
void createAggregateSearchWordList(std::unique_ptr<SearchWordListRef>& aggregate, const SearchSpecification& query,
    const SearchBook& book, const SearchOptions* options);

}  // namespace phrasesearch

// SearchResultsItem: one result section of a search over one book (the hits of one standard run,
// such as "Exact Match"), with the words to mark in its hits. A search thread builds it and hands it
// to the main thread, where a SearchResultsAggregator takes it in; from then on only the main thread
// touches it.
//
// SRTablePath: a (result section, row) position in the result table; row -1 is a section's header.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "library/SourceTupleID.h"
#include "search/core/BitVector.h"
#include "search/core/cSearchWordList.h"

class SearchBook;

struct SRTablePath {
    int64_t tableSectionNum = 0;
    int64_t tableRowNum = -1;
    bool operator==(const SRTablePath&) const = default;
};

class SearchResultsItem {
public:
    SearchResultsItem() = default;

    // The journal note title of a journal section (its note record id); "" when there is none.
    static std::string titleForJournalSection(uint32_t section);

    std::unique_ptr<SearchWordListRef> pSearchWordListRef;
    bool removePreviousResults = false;
    bool complete = false;
    std::string searchDescription;
    std::shared_ptr<BitVector> searchResultsBitVector;
    uint64_t searchID = 0;
    uint64_t searchResultsOrder = 0;
    std::string interpretation;
    std::string layoutUuid;
    std::u16string searchString;
    std::shared_ptr<const SearchBook> sourceTuple;
    SourceTupleID sourceTupleID;
    // The run's "searchlimits" did not parse: it searched nothing (the pane says so).
    bool limitNotUnderstood = false;

    uint32_t hitCount() const { return searchResultsBitVector ? searchResultsBitVector->count(true) : 0; }
};

using SearchResultsItemPtr = std::shared_ptr<SearchResultsItem>;

// SearchResultsAggregator: the ordered result sections of the running search over one book. It takes
// in the items of the current search id (late items of an earlier search are dropped), removes from
// each item the hits already shown by the items before it once all of those have arrived, and serves
// the result table: flat row numbers to (section, row) paths and paths to book positions. For the
// journal (whose sections are note record ids) it also keeps one list of rows per item, sorted by
// note title.
//
// The book engine's section writer and the note editor ask it, through searchResultsIsInAnyResults
// and searchResultsSearchWordsForSection, whether a section is a hit and which words to mark.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/SourceTupleID.h"
#include "search/execution/SearchResultsItem.h"

class JournalDataSourceRow {
public:
    static JournalDataSourceRow rowWithTitle(const std::string& title, int64_t recordId);
    const std::string& sortTitle() const { return m_sortTitle; }
    // Stores the upper-case form of the title.
    void setSortTitle(const std::string& title);
    int64_t recordId = 0;

private:
    std::string m_sortTitle;
};

class JournalDataSourceSection {
public:
    std::string title = "---";
    std::vector<JournalDataSourceRow> rows;
    // Inserts the row in title order; a row of an equal title and record id is replaced. The index.
    std::size_t addRow(const JournalDataSourceRow& row);
};

class SearchResultsAggregator {
public:
    static constexpr uint32_t kNoPosition = 0xFFFFFFFFu;
    static constexpr int64_t kNotFound = -1;

    uint64_t searchID() const { return m_searchID; }
    SourceTupleID searchedSourceTupleID;
    std::u16string searchedForString;
    int64_t expectedNumItems = 0;
    // Whether the searched book is the journal (rows are notes sorted by title).
    bool isJournal() const { return searchedSourceTupleID.isFakeJournalDoc(); }

    void addSearchResultsItem(const SearchResultsItemPtr& item);
    // Empties the list and moves to a new search id.
    void removeAllSearchResultsItems();
    std::size_t numSearchResultsItems() const { return m_items.size(); }
    SearchResultsItemPtr searchResultsAtIndex(std::size_t index) const;
    bool isComplete() const;

    int64_t numRows() const;
    SRTablePath tablePathForRow(int64_t row) const;
    std::string sectionHeader(std::size_t index) const;
    uint32_t countResultsInTableSection(std::size_t index) const;
    uint32_t positionValueForTablePath(const SRTablePath& path) const;
    // The path of a position; false when no item holds it.
    bool tablePathForPositionValue(uint32_t section, SRTablePath& path) const;
    SRTablePath tablePathForSection(uint32_t section) const;
    void clearBitAtTablePath(const SRTablePath& path);
    int64_t indexOfResultsContaining(uint32_t section) const;
    bool isInAnyResults(uint32_t section) const;
    // The words to mark in a section: those of the first item that holds it, and the stems that any
    // item of the search looked for, so that a search by the root marks every word of a searched
    // root wherever the section is listed.
    const SearchWordListRef* searchWordsForSection(uint32_t section) const;
    void removeFromResults(uint32_t section);
    void addSectionToResultsAtIndex(uint32_t section, std::size_t index, const std::string& journalEntryName);
    int64_t getDirectGoToSection() const;
    SearchResultsItemPtr searchResultsItemForExactMatches() const;
    int64_t tableSectionNumForExactMatches() const;
    JournalDataSourceSection journalDataSourceSectionFromSearchResults(const SearchResultsItem& item) const;

private:
    static bool holds(const SearchResultsItem& item, uint32_t section);
    void gatherSearchedStems();

    uint64_t m_searchID = 0;
    std::vector<SearchResultsItemPtr> m_items;
    // Parallel to m_items: an item's words with the stems of the other items added, or null when
    // it lacks none of them.
    std::vector<std::shared_ptr<const SearchWordListRef>> m_markWords;
    std::vector<JournalDataSourceSection> m_journal;
};

// The bridge the book engine's section writer and the note editor call.
bool searchResultsIsInAnyResults(const SearchResultsAggregator* aggregator, uint32_t section);
const SearchWordListRef* searchResultsSearchWordsForSection(
    const SearchResultsAggregator* aggregator, uint32_t section);

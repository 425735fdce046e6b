// The result sections of a search: arrival in any order, masking of hits shown earlier, the row
// model of the result table, stale searches, and the journal's rows.

#include <gtest/gtest.h>

#include "search/execution/SearchResultsAggregator.h"

namespace {

SearchResultsItemPtr item(uint64_t id, uint64_t order, uint32_t size, std::initializer_list<uint32_t> hits,
    const char* title = "", bool removePrevious = true)
{
    auto i = std::make_shared<SearchResultsItem>();
    i->searchID = id;
    i->searchResultsOrder = order;
    i->searchDescription = title;
    i->removePreviousResults = removePrevious;
    i->searchResultsBitVector = std::make_shared<BitVector>(size);
    for (uint32_t h : hits)
        i->searchResultsBitVector->setFromPosition(h, h);
    i->pSearchWordListRef = std::make_unique<SearchWordListRef>();
    const std::u16string word(title, title + std::char_traits<char>::length(title));
    i->pSearchWordListRef->list.appendItem(word.c_str(), 0xFFFFFFFF, false, nullptr);
    return i;
}

std::vector<uint32_t> hitsOf(const SearchResultsAggregator& a, std::size_t index)
{
    std::vector<uint32_t> out;
    const BitVector& v = *a.searchResultsAtIndex(index)->searchResultsBitVector;
    for (uint32_t s = v.first(true); s != cBitVector::kNone; s = v.nextAfter(s, true))
        out.push_back(s);
    return out;
}

}  // namespace

TEST(SearchResultsAggregator, LaterSectionsLoseHitsShownEarlierWhateverTheArrivalOrder)
{
    SearchResultsAggregator a;
    a.removeAllSearchResultsItems();
    a.expectedNumItems = 3;
    const uint64_t id = a.searchID();
    a.addSearchResultsItem(item(id, 2, 20, {1, 2, 3, 9}, "third"));
    EXPECT_EQ(hitsOf(a, 2), (std::vector<uint32_t> {1, 2, 3, 9}));  // nothing before it has arrived
    EXPECT_FALSE(a.isComplete());
    a.addSearchResultsItem(item(id, 0, 20, {1}, "Exact Match"));
    EXPECT_EQ(hitsOf(a, 2), (std::vector<uint32_t> {1, 2, 3, 9}));  // item 1 is still missing
    a.addSearchResultsItem(item(id, 1, 20, {1, 2, 5}, "second"));
    EXPECT_EQ(hitsOf(a, 1), (std::vector<uint32_t> {2, 5}));
    EXPECT_EQ(hitsOf(a, 2), (std::vector<uint32_t> {3, 9}));
    EXPECT_TRUE(a.isComplete());
    // An item of an earlier search changes nothing.
    a.addSearchResultsItem(item(id - 1, 0, 20, {7}, "old"));
    EXPECT_EQ(a.sectionHeader(0), "Exact Match");
    EXPECT_EQ(a.tableSectionNumForExactMatches(), 0);
    EXPECT_EQ(a.searchResultsItemForExactMatches()->searchDescription, "Exact Match");
}

TEST(SearchResultsAggregator, RowsPathsAndPositions)
{
    SearchResultsAggregator a;
    const uint64_t id = a.searchID();
    a.addSearchResultsItem(item(id, 0, 30, {4, 8, 12}, "a"));
    a.addSearchResultsItem(item(id, 1, 30, {}, "b"));
    a.addSearchResultsItem(item(id, 2, 30, {20}, "c"));
    EXPECT_EQ(a.numRows(), 6);
    EXPECT_EQ(a.tablePathForRow(0), (SRTablePath {0, -1}));
    EXPECT_EQ(a.tablePathForRow(3), (SRTablePath {0, 2}));
    EXPECT_EQ(a.tablePathForRow(4), (SRTablePath {2, -1}));
    EXPECT_EQ(a.tablePathForRow(5), (SRTablePath {2, 0}));
    EXPECT_EQ(a.tablePathForRow(6), (SRTablePath {3, -1}));
    EXPECT_EQ(a.positionValueForTablePath({0, 1}), 8u);
    EXPECT_EQ(a.positionValueForTablePath({2, 0}), 20u);
    EXPECT_EQ(a.positionValueForTablePath({5, 0}), SearchResultsAggregator::kNoPosition);
    // A position's path leads back to it.
    SRTablePath path;
    ASSERT_TRUE(a.tablePathForPositionValue(12, path));
    EXPECT_EQ(a.positionValueForTablePath(path), 12u);
    EXPECT_FALSE(a.tablePathForPositionValue(13, path));
    EXPECT_EQ(a.tablePathForSection(8), (SRTablePath {0, 1}));
    EXPECT_EQ(a.countResultsInTableSection(0), 3u);
    EXPECT_EQ(a.countResultsInTableSection(9), 0u);
    EXPECT_EQ(a.sectionHeader(9), "");
    EXPECT_TRUE(a.isInAnyResults(20));
    ASSERT_NE(searchResultsSearchWordsForSection(&a, 20), nullptr);
    EXPECT_EQ(searchResultsSearchWordsForSection(&a, 20)->list.itemAt(0).word, u"c");
    EXPECT_EQ(searchResultsSearchWordsForSection(&a, 21), nullptr);
    EXPECT_FALSE(searchResultsIsInAnyResults(nullptr, 20));
    a.clearBitAtTablePath({0, 0});
    EXPECT_FALSE(a.isInAnyResults(4));
    a.removeFromResults(20);
    EXPECT_EQ(a.indexOfResultsContaining(20), SearchResultsAggregator::kNotFound);
    a.addSectionToResultsAtIndex(21, 1, "");
    EXPECT_EQ(a.indexOfResultsContaining(21), 1);
    // A new search drops what is there and ignores items of the old one.
    a.removeAllSearchResultsItems();
    EXPECT_EQ(a.numSearchResultsItems(), 0u);
    a.addSearchResultsItem(item(id, 0, 30, {4}, "late"));
    EXPECT_EQ(a.numSearchResultsItems(), 0u);
}

TEST(SearchResultsAggregator, DirectGoToAndExactMatchSection)
{
    SearchResultsAggregator a;
    const uint64_t id = a.searchID();
    auto go = item(id, 0, 30, {17}, "Did You Mean 'Go To'?");
    go->interpretation = "goto";
    a.addSearchResultsItem(go);
    a.addSearchResultsItem(item(id, 1, 30, {}, "Exact Match"));
    a.addSearchResultsItem(item(id, 2, 30, {3, 4}, "All Words"));
    EXPECT_EQ(a.getDirectGoToSection(), 17);
    // The exact section has no hits: the last section with hits before it.
    EXPECT_EQ(a.tableSectionNumForExactMatches(), 0);
}

TEST(SearchResultsAggregator, JournalRowsSortByTitleAndKeepNotesOfOneTitle)
{
    JournalDataSourceSection s;
    EXPECT_EQ(s.addRow(JournalDataSourceRow::rowWithTitle("prayer", 9)), 0u);
    EXPECT_EQ(s.addRow(JournalDataSourceRow::rowWithTitle("Advent", 4)), 0u);
    EXPECT_EQ(s.addRow(JournalDataSourceRow::rowWithTitle("PRAYER", 3)), 1u);
    EXPECT_EQ(s.addRow(JournalDataSourceRow::rowWithTitle("Prayer", 9)), 2u);  // the same note again
    ASSERT_EQ(s.rows.size(), 3u);
    EXPECT_EQ(s.rows[0].sortTitle(), "ADVENT");
    EXPECT_EQ(s.rows[1].recordId, 3);
    EXPECT_EQ(s.rows[2].recordId, 9);
}

// A section listed under the exact words also shows the words of the searched roots: its marks take
// the stems of every item of the search, once each, without changing the item's own list.
TEST(SearchResultsAggregator, TheWordsToMarkTakeTheStemsOfEveryItem)
{
    SearchResultsAggregator a;
    a.removeAllSearchResultsItems();
    const uint64_t id = a.searchID();
    const auto forms = [](const SearchWordListRef* words) {
        std::vector<std::u16string> out;
        for (uint32_t i = 0; words != nullptr && i < words->list.count(); ++i)
            for (uint32_t j = 0; j < words->list.formCount(i); ++j)
                out.push_back(words->list.itemForm(i, j).word);
        return out;
    };
    a.addSearchResultsItem(item(id, 0, 20, {4}, "loved"));
    EXPECT_EQ(forms(a.searchWordsForSection(4)), (std::vector<std::u16string> {u"loved"}));
    auto stems = item(id, 1, 20, {4, 6}, "@love");
    stems->pSearchWordListRef->list.appendItem(u"@kind", 0xFFFFFFFF, false, nullptr);
    stems->pSearchWordListRef->list.addVariant(1, u"$KNT", 0xFFFFFFFF, false, nullptr);
    // A stem that demands a word attribute is no root of a word alone.
    stems->pSearchWordListRef->list.appendItem(u"@grace", 0xFFFFFFFF, false, u"G5485");
    a.addSearchResultsItem(stems);
    EXPECT_EQ(forms(a.searchWordsForSection(4)), (std::vector<std::u16string> {u"loved", u"@love", u"@kind"}));
    EXPECT_EQ(a.searchResultsAtIndex(0)->pSearchWordListRef->list.count(), 1u);
    EXPECT_EQ(
        forms(a.searchWordsForSection(6)), (std::vector<std::u16string> {u"@love", u"@kind", u"$KNT", u"@grace"}));
    EXPECT_EQ(a.searchWordsForSection(9), nullptr);
    a.removeAllSearchResultsItems();
    EXPECT_EQ(a.searchWordsForSection(4), nullptr);
}

#include "search/execution/SearchResultsAggregator.h"

#include <QString>

#include <algorithm>
#include <memory>

#include "platform/MainThread.h"
#include "search/core/cBitVector.h"
#include "userdata/cBookNote.h"
#include "userdata/cNoteDoc.h"

std::string SearchResultsItem::titleForJournalSection(uint32_t section)
{
    cNoteDoc* notes = noteDocInstance();
    if (notes == nullptr || section == 0)
        return std::string();
    cBookNote note;
    note.recid = section;
    if (!notes->readBookNoteByRecid(note) || note.deleted != 0)
        return std::string();
    cLString8 title;
    title.assignFromUTF16(note.formname);
    return std::string(title.chars(), static_cast<std::size_t>(title.length()));
}

JournalDataSourceRow JournalDataSourceRow::rowWithTitle(const std::string& title, int64_t recordId)
{
    JournalDataSourceRow row;
    row.setSortTitle(title);
    row.recordId = recordId;
    return row;
}

void JournalDataSourceRow::setSortTitle(const std::string& title)
{
    m_sortTitle = QString::fromStdString(title).toUpper().toStdString();
}

std::size_t JournalDataSourceSection::addRow(const JournalDataSourceRow& row)
{
    // Rows are ordered by title, and rows of equal titles by record id, so two notes of one title
    // both stay listed.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int c = rows[i].sortTitle().compare(row.sortTitle());
        if (c == 0 && rows[i].recordId == row.recordId) {
            rows[i] = row;
            return i;
        }
        if (c > 0 || (c == 0 && rows[i].recordId > row.recordId)) {
            rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(i), row);
            return i;
        }
    }
    rows.push_back(row);
    return rows.size() - 1;
}

bool SearchResultsAggregator::holds(const SearchResultsItem& item, uint32_t section)
{
    const BitVector* v = item.searchResultsBitVector.get();
    return v != nullptr && v->getCBitVector() != nullptr && section < v->size() && v->getCBitVector()->test(section);
}

void SearchResultsAggregator::addSearchResultsItem(const SearchResultsItemPtr& item)
{
    QS_ASSERT_MAIN_THREAD();
    if (item == nullptr || item->searchID != m_searchID)
        return;
    item->complete = true;
    // Result orders come from our own runs; the bound keeps a stray one from growing the list.
    constexpr uint64_t kMaxOrder = 4096;
    if (item->searchResultsOrder >= kMaxOrder)
        return;
    const std::size_t at = static_cast<std::size_t>(item->searchResultsOrder);
    while (m_items.size() <= at)
        m_items.push_back(std::make_shared<SearchResultsItem>());
    m_items[at] = item;
    if (isJournal()) {
        while (m_journal.size() <= at)
            m_journal.emplace_back();
        m_journal[at] = journalDataSourceSectionFromSearchResults(*item);
    }
    std::unique_ptr<cBitVector> seen;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        SearchResultsItem& it = *m_items[i];
        if (!it.complete)
            break;
        BitVector* v = it.searchResultsBitVector.get();
        if (v == nullptr || v->getCBitVector() == nullptr)
            continue;
        if (it.removePreviousResults) {
            if (seen != nullptr && seen->size() == v->size())
                v->getCBitVector()->mask(*seen);
            if (isJournal() && i < m_journal.size())
                m_journal[i] = journalDataSourceSectionFromSearchResults(it);
            it.removePreviousResults = false;
        }
        if (seen == nullptr)
            seen = std::make_unique<cBitVector>(v->size());
        if (seen->size() == v->size())
            seen->orVector(*v->getCBitVector());
    }
    gatherSearchedStems();
}

void SearchResultsAggregator::gatherSearchedStems()
{
    // A stem form is "@" and the stem, without a word attribute.
    const auto isStem = [](const AnItem& form) {
        return form.hasWord != 0 && form.word.size() > 1 && form.word[0] == u'@' && form.attribute.empty();
    };
    std::vector<std::u16string> stems;
    for (const SearchResultsItemPtr& item : m_items) {
        if (item == nullptr || item->pSearchWordListRef == nullptr)
            continue;
        const cSearchWordList& list = item->pSearchWordListRef->list;
        for (uint32_t i = 0; i < list.count(); ++i)
            for (uint32_t j = 0; j < list.formCount(i); ++j)
                if (const AnItem& form = list.itemForm(i, j);
                    isStem(form) && std::find(stems.begin(), stems.end(), form.word) == stems.end())
                    stems.push_back(form.word);
    }
    m_markWords.assign(m_items.size(), nullptr);
    if (stems.empty())
        return;
    for (std::size_t k = 0; k < m_items.size(); ++k) {
        const SearchResultsItemPtr& item = m_items[k];
        if (item == nullptr || item->pSearchWordListRef == nullptr)
            continue;
        const cSearchWordList& own = item->pSearchWordListRef->list;
        std::vector<std::u16string> missing = stems;
        for (uint32_t i = 0; i < own.count(); ++i)
            for (uint32_t j = 0; j < own.formCount(i); ++j)
                if (const AnItem& form = own.itemForm(i, j); isStem(form))
                    std::erase(missing, form.word);
        if (missing.empty())
            continue;
        auto words = std::make_shared<SearchWordListRef>(*item->pSearchWordListRef);
        for (const std::u16string& stem : missing)
            words->list.appendItem(stem.c_str(), AnItem::kNoWordNumber, false, nullptr);
        words->hasDerivedForms = 1;
        m_markWords[k] = std::move(words);
    }
}

void SearchResultsAggregator::removeAllSearchResultsItems()
{
    QS_ASSERT_MAIN_THREAD();
    m_items.clear();
    m_markWords.clear();
    m_journal.clear();
    ++m_searchID;
}

SearchResultsItemPtr SearchResultsAggregator::searchResultsAtIndex(std::size_t index) const
{
    return index < m_items.size() ? m_items[index] : nullptr;
}

bool SearchResultsAggregator::isComplete() const
{
    if (expectedNumItems <= 0 || static_cast<int64_t>(m_items.size()) < expectedNumItems)
        return false;
    for (const SearchResultsItemPtr& item : m_items)
        if (!item->complete)
            return false;
    return true;
}

int64_t SearchResultsAggregator::numRows() const
{
    int64_t rows = 0;
    for (const SearchResultsItemPtr& item : m_items) {
        const uint32_t k = item->hitCount();
        if (k > 0)
            rows += k + 1;
    }
    return rows;
}

SRTablePath SearchResultsAggregator::tablePathForRow(int64_t row) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const uint32_t k = m_items[i]->hitCount();
        const int64_t count = k > 0 ? k + 1 : 0;
        if (row < count)
            return {static_cast<int64_t>(i), row - 1};
        row -= count;
    }
    return {static_cast<int64_t>(m_items.size()), -1};
}

std::string SearchResultsAggregator::sectionHeader(std::size_t index) const
{
    return index < m_items.size() ? m_items[index]->searchDescription : std::string();
}

uint32_t SearchResultsAggregator::countResultsInTableSection(std::size_t index) const
{
    return index < m_items.size() ? m_items[index]->hitCount() : 0;
}

uint32_t SearchResultsAggregator::positionValueForTablePath(const SRTablePath& path) const
{
    if (path.tableSectionNum < 0 || static_cast<std::size_t>(path.tableSectionNum) >= m_items.size() ||
        path.tableRowNum < 0)
        return kNoPosition;
    const auto index = static_cast<std::size_t>(path.tableSectionNum);
    if (isJournal()) {
        if (index >= m_journal.size() || static_cast<std::size_t>(path.tableRowNum) >= m_journal[index].rows.size())
            return kNoPosition;
        return static_cast<uint32_t>(m_journal[index].rows[static_cast<std::size_t>(path.tableRowNum)].recordId);
    }
    const BitVector* v = m_items[index]->searchResultsBitVector.get();
    if (v == nullptr || static_cast<uint64_t>(path.tableRowNum) >= v->count(true))
        return kNoPosition;
    return v->nth(static_cast<uint32_t>(path.tableRowNum), true);
}

bool SearchResultsAggregator::tablePathForPositionValue(uint32_t section, SRTablePath& path) const
{
    const int64_t index = indexOfResultsContaining(section);
    if (index < 0)
        return false;
    path.tableSectionNum = index;
    if (isJournal()) {
        path.tableRowNum = 0;
        if (static_cast<std::size_t>(index) < m_journal.size()) {
            const auto& rows = m_journal[static_cast<std::size_t>(index)].rows;
            for (std::size_t r = 0; r < rows.size(); ++r)
                if (rows[r].recordId == section)
                    path.tableRowNum = static_cast<int64_t>(r);
        }
        return true;
    }
    // The row of the hit: the number of hits before it, so that the path leads back to the section.
    const BitVector* v = m_items[static_cast<std::size_t>(index)]->searchResultsBitVector.get();
    path.tableRowNum = section == 0 ? 0 : v->countFrom(0, section - 1, true);
    return true;
}

SRTablePath SearchResultsAggregator::tablePathForSection(uint32_t section) const
{
    SRTablePath path {kNotFound, kNotFound};
    const int64_t index = indexOfResultsContaining(section);
    if (index < 0)
        return path;
    path.tableSectionNum = index;
    if (isJournal()) {
        if (static_cast<std::size_t>(index) < m_journal.size()) {
            const auto& rows = m_journal[static_cast<std::size_t>(index)].rows;
            for (std::size_t r = 0; r < rows.size(); ++r)
                if (rows[r].recordId == section)
                    path.tableRowNum = static_cast<int64_t>(r);
        }
        return path;
    }
    const BitVector* v = m_items[static_cast<std::size_t>(index)]->searchResultsBitVector.get();
    path.tableRowNum = section == 0 ? 0 : v->countFrom(0, section - 1, true);
    return path;
}

void SearchResultsAggregator::clearBitAtTablePath(const SRTablePath& path)
{
    QS_ASSERT_MAIN_THREAD();
    const uint32_t position = positionValueForTablePath(path);
    if (position == kNoPosition)
        return;
    BitVector* v = m_items[static_cast<std::size_t>(path.tableSectionNum)]->searchResultsBitVector.get();
    if (v != nullptr)
        v->clear(position);
}

int64_t SearchResultsAggregator::indexOfResultsContaining(uint32_t section) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (holds(*m_items[i], section))
            return static_cast<int64_t>(i);
    return kNotFound;
}

bool SearchResultsAggregator::isInAnyResults(uint32_t section) const
{
    return indexOfResultsContaining(section) >= 0;
}

const SearchWordListRef* SearchResultsAggregator::searchWordsForSection(uint32_t section) const
{
    const int64_t index = indexOfResultsContaining(section);
    if (index < 0)
        return nullptr;
    const auto at = static_cast<std::size_t>(index);
    if (at < m_markWords.size() && m_markWords[at] != nullptr)
        return m_markWords[at].get();
    return m_items[at]->pSearchWordListRef.get();
}

void SearchResultsAggregator::removeFromResults(uint32_t section)
{
    QS_ASSERT_MAIN_THREAD();
    if (isJournal()) {
        for (JournalDataSourceSection& s : m_journal)
            std::erase_if(s.rows, [section](const JournalDataSourceRow& r) { return r.recordId == section; });
    }
    for (const SearchResultsItemPtr& item : m_items)
        if (item->searchResultsBitVector != nullptr)
            item->searchResultsBitVector->clear(section);
}

void SearchResultsAggregator::addSectionToResultsAtIndex(
    uint32_t section, std::size_t index, const std::string& journalEntryName)
{
    QS_ASSERT_MAIN_THREAD();
    if (index >= m_items.size())
        return;
    if (isJournal()) {
        for (const SearchResultsItemPtr& item : m_items)
            if (item->searchResultsBitVector != nullptr)
                item->searchResultsBitVector->reallocate(section + 1);
    }
    if (m_items[index]->searchResultsBitVector == nullptr)
        return;
    m_items[index]->searchResultsBitVector->setFromPosition(section, section);
    if (isJournal()) {
        while (m_journal.size() <= index)
            m_journal.emplace_back();
        m_journal[index].addRow(JournalDataSourceRow::rowWithTitle(journalEntryName, section));
    }
}

int64_t SearchResultsAggregator::getDirectGoToSection() const
{
    for (const SearchResultsItemPtr& item : m_items)
        if (item->interpretation == "goto" && item->hitCount() == 1)
            return item->searchResultsBitVector->first(true);
    return -1;
}

SearchResultsItemPtr SearchResultsAggregator::searchResultsItemForExactMatches() const
{
    for (const SearchResultsItemPtr& item : m_items)
        if (item->searchDescription == "Exact Match")
            return item;
    return nullptr;
}

int64_t SearchResultsAggregator::tableSectionNumForExactMatches() const
{
    int64_t withHits = -1;  // index among the items with hits
    int64_t lastWithHits = kNotFound;
    for (const SearchResultsItemPtr& item : m_items) {
        const bool hits = item->hitCount() > 0;
        if (hits)
            ++withHits;
        if (item->searchDescription == "Exact Match") {
            if (hits)
                return withHits;
            return lastWithHits;
        }
        if (hits)
            lastWithHits = withHits;
    }
    return lastWithHits;
}

JournalDataSourceSection SearchResultsAggregator::journalDataSourceSectionFromSearchResults(
    const SearchResultsItem& item) const
{
    JournalDataSourceSection section;
    if (!isJournal())
        return section;
    const uint32_t k = item.hitCount();
    for (uint32_t j = 0; j < k; ++j) {
        const uint32_t s = item.searchResultsBitVector->nth(j, true);
        std::string title = SearchResultsItem::titleForJournalSection(s);
        if (title.empty())
            title = "Error Reading Journal " + std::to_string(s);
        section.addRow(JournalDataSourceRow::rowWithTitle(title, s));
    }
    section.title = item.searchDescription + " (" + std::to_string(k) + ")";
    return section;
}

bool searchResultsIsInAnyResults(const SearchResultsAggregator* aggregator, uint32_t section)
{
    return aggregator != nullptr && aggregator->isInAnyResults(section);
}

const SearchWordListRef* searchResultsSearchWordsForSection(const SearchResultsAggregator* aggregator, uint32_t section)
{
    return aggregator != nullptr ? aggregator->searchWordsForSection(section) : nullptr;
}

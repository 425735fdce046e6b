#include "search/execution/SearchHooks.h"

#include <memory>

#include "engine/bookfile/cBkSearchHitHooks.h"
#include "engine/docbase/cSourceDoc.h"
#include "search/execution/SearchExecutor.h"
#include "search/execution/UserDataSearchCache.h"
#include "search/execution/cMultiBookSearchHits.h"
#include "search/execution/cSearchExpressionResult.h"
#include "userdata/UserDataHooks.h"

namespace {

const SearchResultsAggregator* aggregatorOf(const void* search)
{
    // The section writer hands over the display options' RenderSearchResults.
    const auto* results = static_cast<const RenderSearchResults*>(search);
    const auto* adapter = dynamic_cast<const AggregatorRenderResults*>(results);
    return adapter != nullptr ? adapter->aggregator() : nullptr;
}

class SectionWriterHooks : public cBkSearchHitHooks {
public:
    bool resultContainsSection(const cSearchExpressionResult* result, uint32_t section) const override
    {
        return result != nullptr && result->containsSection(section);
    }
    const cSearchWordList* resultWordList(const cSearchExpressionResult* result) const override
    {
        return result != nullptr ? &result->searchWordList() : nullptr;
    }
    bool aggregatorHasSection(const void* aggregator, uint32_t section) const override
    {
        return aggregator != nullptr && searchResultsIsInAnyResults(aggregatorOf(aggregator), section);
    }
    const cSearchWordList* aggregatorWordsForSection(const void* aggregator, uint32_t section) const override
    {
        if (aggregator == nullptr)
            return nullptr;
        const SearchWordListRef* ref = searchResultsSearchWordsForSection(aggregatorOf(aggregator), section);
        return ref != nullptr ? &ref->list : nullptr;
    }
};

class DocumentHooks : public cDocSearchHitHooks {
public:
    bool isNoteSearch(const cMultiBookSearchHits* hits) const override
    {
        return hits != nullptr && hits->isNoteSearch();
    }
    const cSearchExpressionResult* resultForBook(
        const cMultiBookSearchHits* hits, std::uint16_t publisher, std::uint16_t book) const override
    {
        return hits != nullptr ? hits->resultForBook(publisher, book) : nullptr;
    }
};

}  // namespace

void addSearchHooks(StartupHooks& hooks)
{
    hooks.bookSearchHits = std::make_shared<SectionWriterHooks>();
    hooks.documentSearchHits = std::make_shared<DocumentHooks>();
    // The store handler lives as long as the process; the hook slot shares it without owning it.
    hooks.searchCache =
        std::shared_ptr<qs::userdata::SearchCacheHandler>(&userdatasearch::storeHandler(), [](auto*) {});
}

void installSearchHooks()
{
    StartupHooks hooks;
    addSearchHooks(hooks);
    installStartupHooks(hooks);
}

void uninstallSearchHooks()
{
    cBkSearchHitHooks::install(nullptr);
    cDocSearchHitHooks::install(nullptr);
    qs::userdata::SearchCacheHandler::install(nullptr);
}

AggregatorRenderResults::AggregatorRenderResults(std::shared_ptr<SearchSession> session) : m_session(std::move(session))
{
}

const SearchResultsAggregator* AggregatorRenderResults::aggregator() const
{
    return m_session != nullptr ? &m_session->aggregator() : m_aggregator;
}

ExpressionRenderResults::ExpressionRenderResults(std::shared_ptr<const cSearchExpressionResult> result)
    : m_result(std::move(result))
{
}

const cSearchWordList* ExpressionRenderResults::wordsToMark() const
{
    return m_result != nullptr ? &m_result->searchWordList() : nullptr;
}

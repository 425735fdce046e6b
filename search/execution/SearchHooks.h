// How the search subsystem answers the calls that come up from below it: the book engine's section
// writer (is a section a hit of a kept result or of a result aggregator, which words to mark), the
// documents' result lines (the result of a book in a multi-book hit set) and the user-data stores
// (the user-data search cache). The application installs them once at start-up, before any
// rendering or search thread starts.
//
// Display options carry search results as a std::shared_ptr<RenderSearchResults>:
// AggregatorRenderResults for the study pane's find (hits and words of the aggregator's items),
// ExpressionRenderResults for one evaluated expression.
#pragma once

#include <memory>

#include "documents/StartupHooks.h"
#include "library/SourceTuple.h"

class SearchResultsAggregator;
class SearchSession;
class cSearchExpressionResult;

// Installs the section writer's, the documents' and the user-data stores' hooks.
void installSearchHooks();
// The same three entries of the application's StartupHooks, which it installs with the others.
void addSearchHooks(StartupHooks& hooks);
// Restores the defaults (no hits anywhere, the user-data call recorder); for tests.
void uninstallSearchHooks();

class AggregatorRenderResults : public RenderSearchResults {
public:
    // The session keeps the aggregator alive while a page renders; main thread only.
    explicit AggregatorRenderResults(std::shared_ptr<SearchSession> session);
    // An aggregator that its owner keeps alive; only for a render that runs at once on the main
    // thread (the request must not outlive the call).
    explicit AggregatorRenderResults(const SearchResultsAggregator* aggregator) : m_aggregator(aggregator) { }
    const cSearchExpressionResult* searchHitsForTuple(const SourceTuple&) const override { return nullptr; }
    const cSearchWordList* wordsToMark() const override { return nullptr; }
    const SearchResultsAggregator* aggregator() const;

private:
    std::shared_ptr<SearchSession> m_session;
    const SearchResultsAggregator* m_aggregator = nullptr;
};

class ExpressionRenderResults : public RenderSearchResults {
public:
    explicit ExpressionRenderResults(std::shared_ptr<const cSearchExpressionResult> result);
    const cSearchExpressionResult* searchHitsForTuple(const SourceTuple&) const override { return m_result.get(); }
    const cSearchWordList* wordsToMark() const override;

private:
    std::shared_ptr<const cSearchExpressionResult> m_result;
};

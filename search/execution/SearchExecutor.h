// Running searches in the background: SearchExecutor is a bounded pool of search threads (one
// QThreadPool sized to the machine, never a thread per request), and SearchSession is what a pane
// that shows search results holds: its aggregator, its current search id and its callbacks.
//
// The study pane's find starts a search with
//     session->start(book, queryText, SearchSession::standardRequests(), callbacks);
// Every run of the search is queued on the pool. A run that starts after its search was superseded
// (start again, or cancel) does no work; a running run is not interrupted, but its result carries the
// old id and is dropped. Each finished run's SearchResultsItem is handed to the main thread, taken in
// by the session's aggregator and announced through onItem; onComplete follows when every run of the
// current search has arrived. A multi-book search (searchBooks) checks the id before each book.
//
// Threads: make sessions, start, cancel and read the aggregator on the main thread; the callbacks
// run there too. The executor may be used from any thread; its pool lives until the process ends
// (shared()) or until the executor is destroyed, which waits for running work.
#pragma once

#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "search/core/SearchOptions.h"
#include "search/core/SearchSpecification.h"
#include "search/execution/SearchResultsAggregator.h"

class SearchBook;

class SearchExecutor {
public:
    // 0: one thread per core.
    explicit SearchExecutor(int maxThreads = 0);
    ~SearchExecutor();
    SearchExecutor(const SearchExecutor&) = delete;
    SearchExecutor& operator=(const SearchExecutor&) = delete;

    static SearchExecutor& shared();

    // Queues a task on the pool.
    void post(std::function<void()> task);
    int maxThreads() const { return m_pool.maxThreadCount(); }
    // Waits until every queued task has run; for tests and shut-down.
    bool waitForDone(int msecs = -1) { return m_pool.waitForDone(msecs); }

private:
    QThreadPool m_pool;
};

// One run of a search: a result section's title and the options that make it.
struct SearchRunRequest {
    std::string title;
    SearchOptions options;
    // Remove from this section the hits that earlier sections already show.
    bool removePreviousResults = true;
};

class SearchSession : public std::enable_shared_from_this<SearchSession> {
public:
    struct Callbacks {
        std::function<void(const SearchResultsItemPtr&)> onItem;  // each accepted item
        std::function<void()> onComplete;                         // every run of the search arrived
    };

    static std::shared_ptr<SearchSession> create(SearchExecutor& executor = SearchExecutor::shared());

    // The ten standard runs, in the order of the study pane's find.
    static std::vector<SearchRunRequest> standardRequests();

    // Starts a new search of `query` in one book and returns its id; the previous search is dropped.
    // Options of each request get the search id; "searchID" is set for the progress reports.
    uint64_t start(std::shared_ptr<const SearchBook> book, const std::u16string& query,
        std::vector<SearchRunRequest> requests, Callbacks callbacks = {});
    // Runs the same requests over several books one after another on one pool thread, stopping
    // before the next book once the search is superseded; each book's items arrive with
    // searchResultsOrder = book index * requests + request index. onComplete follows the last book.
    uint64_t searchBooks(std::vector<std::shared_ptr<const SearchBook>> books, const std::u16string& query,
        std::vector<SearchRunRequest> requests, Callbacks callbacks = {});
    // Drops the running search: its remaining work is skipped and its results ignored.
    void cancel();

    uint64_t currentSearchID() const { return m_current->load(); }
    SearchResultsAggregator& aggregator() { return m_aggregator; }
    const SearchResultsAggregator& aggregator() const { return m_aggregator; }

private:
    explicit SearchSession(SearchExecutor& executor);
    uint64_t begin(const std::u16string& query, int64_t expected, Callbacks callbacks);
    void deliver(const SearchResultsItemPtr& item);

    SearchExecutor& m_executor;
    SearchResultsAggregator m_aggregator;
    std::shared_ptr<std::atomic<uint64_t>> m_current;
    Callbacks m_callbacks;
};

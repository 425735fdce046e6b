// Running searches in the background: SearchExecutor is a bounded pool of search threads (at most
// one per core, started as work comes and kept, never a thread per request), and SearchSession is
// what a pane that shows search results holds: its aggregator, its current search id and its
// callbacks. The pool is our own rather than a QThreadPool so that every hand-off between threads
// goes through locks that ThreadSanitizer sees (Qt's own pool locks are invisible to it).
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
// run there too. The executor may be used from any thread. Its pool threads start as work comes
// (never more than the bound) and stay until the executor ends (shared(): the process), which
// runs what is queued and then waits for them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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

    // Queues a task; one of at most maxThreads() pool threads runs it.
    void post(std::function<void()> task);
    int maxThreads() const { return m_threads; }
    // Waits until every queued task has run (tests, before they free what the tasks use; the
    // destructor runs what is queued by itself). False when msecs ran out.
    bool waitForDone(int msecs = -1);

private:
    // A pool thread: runs queued tasks as they come until the executor ends.
    void drain();

    int m_threads = 1;
    std::vector<std::thread> m_pool;  // grows up to m_threads; guarded by m_lock
    // The tasks wait in our own queue, under our own lock, so the hand-off from the posting thread to
    // a pool thread is ordered by a lock that thread checkers see.
    std::mutex m_lock;
    std::condition_variable m_work;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_tasks;
    int m_running = 0;  // pool threads started
    int m_busy = 0;     // tasks being run
    bool m_stopping = false;
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
    // Stops the running search where it is: the results that arrived stay in the aggregator, work
    // not yet started is skipped and results still on their way are ignored (no completion follows).
    void stop();

    SearchResultsAggregator& aggregator() { return m_aggregator; }
    const SearchResultsAggregator& aggregator() const { return m_aggregator; }

private:
    static constexpr uint64_t kStopped = ~uint64_t(0);  // the current id of a stopped session
    explicit SearchSession(SearchExecutor& executor);
    uint64_t begin(const std::u16string& query, int64_t expected, Callbacks callbacks);
    void deliver(const SearchResultsItemPtr& item);

    SearchExecutor& m_executor;
    SearchResultsAggregator m_aggregator;
    std::shared_ptr<std::atomic<uint64_t>> m_current;
    Callbacks m_callbacks;
};

#include "search/execution/SearchExecutor.h"

#include <QThread>
#include <chrono>

#include "platform/MainThread.h"
#include "search/core/WordStemming.h"
#include "search/execution/PhraseSearch.h"
#include "search/execution/SearchBook.h"
#include "search/execution/SearchRun.h"

SearchExecutor::SearchExecutor(int maxThreads)
{
    // Shared tables are made before the first search thread runs.
    stemmerMutexInitializer();
    (void)SearchSpecification::isStopWord(u"");
    const int ideal = QThread::idealThreadCount();
    m_threads = maxThreads > 0 ? maxThreads : (ideal > 0 ? ideal : 2);
}

SearchExecutor::~SearchExecutor()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopping = true;
    }
    m_work.notify_all();
    for (std::thread& t : m_pool)
        t.join();
}

bool SearchExecutor::waitForDone(int msecs)
{
    std::unique_lock<std::mutex> lock(m_lock);
    auto done = [this] { return m_tasks.empty() && m_busy == 0; };
    if (msecs < 0) {
        m_idle.wait(lock, done);
        return true;
    }
    return m_idle.wait_for(lock, std::chrono::milliseconds(msecs), done);
}

void SearchExecutor::drain()
{
    // A pool thread stays for the executor's life, taking tasks as they come.
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_work.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
        if (m_tasks.empty())
            break;
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        ++m_busy;
        lock.unlock();
        task();
        task = nullptr;  // what the task holds goes before the next one starts
        lock.lock();
        --m_busy;
        if (m_tasks.empty() && m_busy == 0)
            m_idle.notify_all();
    }
}

SearchExecutor& SearchExecutor::shared()
{
    static SearchExecutor* executor = new SearchExecutor();  // lives to the end of the process
    return *executor;
}

void SearchExecutor::post(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_tasks.push_back(std::move(task));
        // Another pool thread while fewer than the bound exist and every one is busy.
        if (m_running < m_threads && m_busy + static_cast<int>(m_tasks.size()) > m_running) {
            ++m_running;
            m_pool.emplace_back([this] { drain(); });
        }
    }
    m_work.notify_one();
}

SearchSession::SearchSession(SearchExecutor& executor)
    : m_executor(executor), m_current(std::make_shared<std::atomic<uint64_t>>(0))
{
}

std::shared_ptr<SearchSession> SearchSession::create(SearchExecutor& executor)
{
    return std::shared_ptr<SearchSession>(new SearchSession(executor));
}

std::vector<SearchRunRequest> SearchSession::standardRequests()
{
    std::vector<SearchRunRequest> out;
    for (const searchrun::StandardRun& run : searchrun::standardRuns()) {
        SearchRunRequest r;
        r.title = run.title;
        r.options.interpretation = run.interpretation;
        if (run.wordform != nullptr)
            r.options.wordform = run.wordform;
        out.push_back(std::move(r));
    }
    return out;
}

uint64_t SearchSession::begin(const std::u16string& query, int64_t expected, Callbacks callbacks)
{
    m_aggregator.removeAllSearchResultsItems();
    m_aggregator.searchedForString = query;
    m_aggregator.expectedNumItems = expected;
    m_callbacks = std::move(callbacks);
    const uint64_t id = m_aggregator.searchID();
    m_current->store(id);
    return id;
}

namespace {

SearchResultsItemPtr runOne(const SearchSpecification& query, const SearchBook& book,
    const std::shared_ptr<const SearchBook>& bookRef, const SearchRunRequest& request, uint64_t id, uint64_t order)
{
    SearchOptions options = request.options;
    options.searchID = static_cast<int64_t>(id);
    auto item = std::make_shared<SearchResultsItem>();
    searchrun::RunError error = searchrun::RunError::None;
    item->searchResultsBitVector = searchrun::searchResults(query, book, options, id, &error);
    item->limitNotUnderstood = error == searchrun::RunError::LimitNotUnderstood;
    phrasesearch::createAggregateSearchWordList(item->pSearchWordListRef, query, book, &options);
    item->removePreviousResults = request.removePreviousResults;
    item->searchDescription = request.title;
    item->searchID = id;
    item->searchResultsOrder = order;
    item->interpretation = options.interpretation.value_or("");
    item->layoutUuid = options.layoutUuid.value_or("");
    item->searchString = query.searchSpec();
    item->sourceTuple = bookRef;
    const SearchBook::Identity ident = book.identity();
    item->sourceTupleID = SourceTupleID(ident.publisher, ident.book, ident.edition, ident.revision);
    return item;
}

}  // namespace

uint64_t SearchSession::start(std::shared_ptr<const SearchBook> book, const std::u16string& query,
    std::vector<SearchRunRequest> requests, Callbacks callbacks)
{
    const uint64_t id = begin(query, static_cast<int64_t>(requests.size()), std::move(callbacks));
    if (book != nullptr) {
        const SearchBook::Identity ident = book->identity();
        m_aggregator.searchedSourceTupleID = SourceTupleID(ident.publisher, ident.book, ident.edition, ident.revision);
    }
    auto spec = std::make_shared<const SearchSpecification>(query);
    const std::weak_ptr<SearchSession> weak = weak_from_this();
    const std::shared_ptr<std::atomic<uint64_t>> current = m_current;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        m_executor.post([spec, book, request = requests[i], id, order = i, current, weak] {
            if (current->load() != id)
                return;  // superseded before it started
            SearchResultsItemPtr item;
            if (book != nullptr) {
                item = runOne(*spec, *book, book, request, id, order);
            } else {
                item = std::make_shared<SearchResultsItem>();
                item->searchID = id;
                item->searchResultsOrder = order;
                item->searchDescription = request.title;
            }
            if (current->load() != id)
                return;
            runOnMainThread([weak, item] {
                if (std::shared_ptr<SearchSession> self = weak.lock())
                    self->deliver(item);
            });
        });
    }
    return id;
}

uint64_t SearchSession::searchBooks(std::vector<std::shared_ptr<const SearchBook>> books, const std::u16string& query,
    std::vector<SearchRunRequest> requests, Callbacks callbacks)
{
    const uint64_t id = begin(query, static_cast<int64_t>(books.size() * requests.size()), std::move(callbacks));
    auto spec = std::make_shared<const SearchSpecification>(query);
    const std::weak_ptr<SearchSession> weak = weak_from_this();
    const std::shared_ptr<std::atomic<uint64_t>> current = m_current;
    m_executor.post([spec, books = std::move(books), requests = std::move(requests), id, current, weak] {
        for (std::size_t b = 0; b < books.size(); ++b) {
            if (current->load() != id)
                return;  // stop before the next book once the search moved on
            for (std::size_t r = 0; r < requests.size(); ++r) {
                const uint64_t order = b * requests.size() + r;
                SearchResultsItemPtr item;
                if (books[b] != nullptr) {
                    item = runOne(*spec, *books[b], books[b], requests[r], id, order);
                } else {
                    item = std::make_shared<SearchResultsItem>();
                    item->searchID = id;
                    item->searchResultsOrder = order;
                }
                item->removePreviousResults = false;  // sections of different books never overlap
                runOnMainThread([weak, item] {
                    if (std::shared_ptr<SearchSession> self = weak.lock())
                        self->deliver(item);
                });
            }
        }
    });
    return id;
}

void SearchSession::cancel()
{
    m_aggregator.removeAllSearchResultsItems();
    m_current->store(m_aggregator.searchID());
}

void SearchSession::stop()
{
    m_current->store(kStopped);
    m_callbacks = {};
}

void SearchSession::deliver(const SearchResultsItemPtr& item)
{
    if (item->searchID != m_aggregator.searchID() || item->searchID != m_current->load())
        return;
    m_aggregator.addSearchResultsItem(item);
    if (m_callbacks.onItem)
        m_callbacks.onItem(item);
    if (m_aggregator.isComplete() && m_callbacks.onComplete) {
        std::function<void()> done = m_callbacks.onComplete;
        m_callbacks.onComplete = nullptr;
        done();
    }
}

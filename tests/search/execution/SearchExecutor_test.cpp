// Searches on the bounded pool: items reach the main thread in the session's aggregator, a new
// search drops the old one's late items, many sessions search at once, and a multi-book search stops
// between books once it is superseded.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "search/execution/SearchExecutor.h"
#include "search/execution/SearchHooks.h"
#include "search/execution/SourceTupleSearchBook.h"
#include "tests/search/execution/MiniBible.h"

namespace {

using namespace minibible;

class SearchExecutorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "search_execution_SearchExecutor_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        s_folder = new Folder();
        s_book = SourceTupleSearchBook::openFile(s_folder->writeBible());
    }
    static void TearDownTestSuite()
    {
        s_book.reset();
        delete s_folder;
    }
    void SetUp() override { ASSERT_NE(s_book, nullptr); }

    static void spinUntil(const std::function<bool()>& done)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    static Folder* s_folder;
    static std::shared_ptr<SourceTupleSearchBook> s_book;
};

Folder* SearchExecutorTest::s_folder = nullptr;
std::shared_ptr<SourceTupleSearchBook> SearchExecutorTest::s_book;

}  // namespace

TEST_F(SearchExecutorTest, StandardRunsOnThreadsReachTheAggregator)
{
    SearchExecutor executor(3);
    EXPECT_EQ(executor.maxThreads(), 3);
    auto session = SearchSession::create(executor);
    bool complete = false;
    int items = 0;
    bool onMain = true;
    session->start(s_book, u"love one another", SearchSession::standardRequests(),
        {[&](const SearchResultsItemPtr&) {
             ++items;
             onMain = onMain && QThread::currentThread() == QCoreApplication::instance()->thread();
         },
            [&] { complete = true; }});
    spinUntil([&] { return complete; });
    ASSERT_TRUE(complete);
    EXPECT_TRUE(onMain);
    EXPECT_EQ(items, 10);
    const SearchResultsAggregator& a = session->aggregator();
    EXPECT_TRUE(a.isComplete());
    // "Exact Match" holds the verses with the phrase; "All Words" adds none (it shows no hit twice).
    const SearchResultsItemPtr exact = a.searchResultsItemForExactMatches();
    ASSERT_NE(exact, nullptr);
    EXPECT_EQ(exact->hitCount(), 2u);
    EXPECT_TRUE(a.isInAnyResults(kJohn13_34));
    EXPECT_TRUE(a.isInAnyResults(kFirstJohn4_7));
    EXPECT_EQ(a.searchResultsAtIndex(3)->hitCount(), 0u);
    // Its words to mark: the phrase's three, then the stems the searches by the root looked for.
    const SearchWordListRef* words = a.searchWordsForSection(kJohn13_34);
    ASSERT_NE(words, nullptr);
    ASSERT_EQ(words->list.count(), 6u);
    for (uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(words->list.itemAt(i).word.substr(0, 1) == u"@", i >= 3) << i;
    EXPECT_EQ(words->list.itemAt(3).word, u"@love");
    executor.waitForDone();
}

TEST_F(SearchExecutorTest, ANewSearchDropsTheOldOnesThreads)
{
    SearchExecutor executor(2);
    auto session = SearchSession::create(executor);
    std::vector<uint64_t> seen;
    for (int i = 0; i < 20; ++i)
        session->start(s_book, i % 2 ? u"love" : u"god", SearchSession::standardRequests(),
            {[&](const SearchResultsItemPtr& it) { seen.push_back(it->searchID); }, nullptr});
    bool complete = false;
    const uint64_t last = session->start(s_book, u"beloved", SearchSession::standardRequests(),
        {[&](const SearchResultsItemPtr& it) { seen.push_back(it->searchID); }, [&] { complete = true; }});
    spinUntil([&] { return complete; });
    ASSERT_TRUE(complete);
    executor.waitForDone();
    QCoreApplication::processEvents();
    for (uint64_t id : seen)
        EXPECT_EQ(id, last);
    EXPECT_EQ(session->aggregator().numSearchResultsItems(), 10u);
    EXPECT_EQ(session->aggregator().searchResultsAtIndex(2)->hitCount(), 2u);  // Exact Match
    EXPECT_EQ(session->aggregator().searchResultsAtIndex(3)->hitCount(), 0u);  // All Words shows them no more
    // Cancelling leaves nothing to arrive.
    session->start(s_book, u"god", SearchSession::standardRequests(), {});
    session->cancel();
    executor.waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(session->aggregator().numSearchResultsItems(), 0u);
}

TEST_F(SearchExecutorTest, ManySessionsSearchConcurrently)
{
    SearchExecutor executor(4);
    std::vector<std::shared_ptr<SearchSession>> sessions;
    int complete = 0;
    const std::u16string queries[] = {u"love", u"god", u"\"one another\"", u"lov* -god", u"G26", u"earth OR light"};
    for (int i = 0; i < 12; ++i) {
        sessions.push_back(SearchSession::create(executor));
        sessions.back()->start(
            s_book, queries[i % 6], SearchSession::standardRequests(), {nullptr, [&] { ++complete; }});
    }
    spinUntil([&] { return complete == 12; });
    EXPECT_EQ(complete, 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(sessions[i]->aggregator().numRows(), sessions[i % 6]->aggregator().numRows()) << i;
    // A session that goes away while its runs are queued is simply not called.
    {
        auto gone = SearchSession::create(executor);
        gone->start(s_book, u"love", SearchSession::standardRequests(), {});
    }
    executor.waitForDone();
    QCoreApplication::processEvents();
}

TEST_F(SearchExecutorTest, MultiBookThreadStopsBetweenBooksWhenSuperseded)
{
    SearchExecutor executor(1);
    auto session = SearchSession::create(executor);
    std::vector<std::shared_ptr<const SearchBook>> books(200, s_book);
    std::vector<SearchRunRequest> requests(1);
    requests[0].title = "All Words";
    requests[0].options.interpretation = "all";
    int items = 0;
    session->searchBooks(books, u"love", requests, {[&](const SearchResultsItemPtr&) { ++items; }, nullptr});
    session->cancel();
    executor.waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(items, 0);
    bool complete = false;
    session->searchBooks(std::vector<std::shared_ptr<const SearchBook>>(3, s_book), u"love", requests,
        {[&](const SearchResultsItemPtr&) { ++items; }, [&] { complete = true; }});
    spinUntil([&] { return complete; });
    EXPECT_EQ(items, 3);
    EXPECT_EQ(session->aggregator().numRows(), 3 * 4);
}

TEST_F(SearchExecutorTest, RenderedPagesMarkTheHitsOfTheSessionsAggregator)
{
    installSearchHooks();
    const SourceTuple::Ptr tuple =
        SourceTuple::sourceTupleForSource(std::shared_ptr<cSourceDoc>(s_book->document(), [](cSourceDoc*) {}));
    ASSERT_NE(tuple, nullptr);
    auto session = SearchSession::create();
    bool complete = false;
    session->start(SourceTupleSearchBook::forTuple(tuple), u"loved", SearchSession::standardRequests(),
        {nullptr, [&] { complete = true; }});
    spinUntil([&] { return complete; });
    ASSERT_TRUE(complete);
    DisplayOptions params;
    params.highlightHits = true;
    params.search = std::make_shared<AggregatorRenderResults>(session);
    const QString hit = tuple->locations().htmlTextForBlock(tuple->locations().blockForSection(kJohn3_16), params);
    EXPECT_TRUE(hit.contains(QStringLiteral("<span class='_search'>loved</span>")))
        << "[" << hit.toStdString() << "] " << tuple->locations().blockForSection(kJohn3_16);
    // A section that is no hit has no marks, and without search results nothing is marked.
    const QString other = tuple->locations().htmlTextForBlock(tuple->locations().blockForSection(kGenesis1_1), params);
    EXPECT_FALSE(other.contains(QStringLiteral("_search"))) << other.toStdString();
    EXPECT_FALSE(tuple->locations()
                     .htmlTextForBlock(tuple->locations().blockForSection(kJohn3_16))
                     .contains(QStringLiteral("_search")));
    uninstallSearchHooks();
}

// The Find and Navigator sub-panes over the compiled sample library: a search of the KJV fills the
// result table with the right sections and rows in book order and a click posts a go-to request; a
// verse reference goes there at once; a new search drops the old one; limits keep the hits inside
// their books; the navigator follows location sync and lists the places of the verse per book.
// Saves a picture of the study pane with Find showing results.

#include <gtest/gtest.h>

#include "StudyPaneSampleLibrary.h"
#include "StudyPaneTestSupport.h"
#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/SettingsKeys.h"
#include "search/execution/SearchExecutor.h"
#include "search/execution/SearchResultsAggregator.h"
#include "studypane/StudyPaneNavigatorViewController.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneSearchResultsViewController.h"
#include "studypane/StudyPaneView.h"
#include "tools/tvkbuild/import/TvkModuleImport.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSet>
#include <QTableView>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <set>

using namespace StudyPaneTest;

namespace {

// The KJV verses (packed keys) whose text, outside notes, holds every one of the words.
std::set<quint32> versesWithAll(const QStringList& wanted)
{
    std::set<quint32> out;
    for (const auto& [key, plain] : kjvVerseTexts()) {
        const QStringList words = wordsOf(plain);
        const QSet<QString> have(words.begin(), words.end());
        if (std::all_of(wanted.begin(), wanted.end(), [&have](const QString& w) { return have.contains(w); }))
            out.insert(key);
    }
    return out;
}

class StudyPaneSearch : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ensureApplication();
        s_library =
            openSampleLibrary({"KJV.tvk", "Scofield.tvk", "TreasuryOfDavid.tvk", "Nave.tvk", "WEB.tvk", "RV1909.tvk"});
    }
    static void TearDownTestSuite()
    {
        delete s_library;
        s_library = nullptr;
    }

    void SetUp() override
    {
        if (s_library == nullptr)
            GTEST_SKIP() << "the sample library is not built";
        m_screen = std::make_unique<Screen>();
        std::tie(kjv, scofield) = kjvAndScofield(*s_library);
        ASSERT_TRUE(kjv && scofield);
        StudyPaneEnvironment env = m_screen->environment(s_library);
        env.activeBook = [this] { return activeBook; };
        env.customLimitPrompt = [this](const QString& current) -> std::optional<QString> {
            return limitAnswer ? limitAnswer(current) : std::nullopt;
        };
        env.navigatorElements = [this] {
            return navigatorElements ? navigatorElements() : std::vector<StudyPaneNavigatorViewController::Element> {};
        };
        activeBook = kjv;
        pane = m_screen->install(env);
        find =
            dynamic_cast<StudyPaneSearchResultsViewController*>(pane->subpane(StudyPaneViewController::kSearchSubpane));
        navigator =
            dynamic_cast<StudyPaneNavigatorViewController*>(pane->subpane(StudyPaneViewController::kNavigatorSubpane));
    }

    void TearDown() override { SearchExecutor::shared().waitForDone(); }

    // The menu the search menu button opens, as the user sees it.
    QMenu* searchMenu() { return openedMenu(control<QToolButton>(find, "searchMenuButton")); }
    // The recent searches that menu offers, newest first.
    QStringList recentSearches()
    {
        QStringList out;
        if (QMenu* menu = searchMenu()) {
            for (QAction* a : menu->actions()) {
                if (a->data().toInt() == StudyPaneRecentSearches::kItemTag)
                    out.append(a->text());
            }
        }
        return out;
    }
    QProgressBar* progressBar() { return control<QProgressBar>(find, "searchProgress"); }
    bool isSearching() { return find->refreshButton()->toolTip() == QStringLiteral("Stop searching"); }

    bool search(const QString& text)
    {
        find->searchField()->setText(text);
        find->searchStringEntered();
        return waitFor([this] { return find->aggregator().isComplete(); });
    }

    // The place another pane of a layout moved to, as location sync sends it.
    void syncTo(const QString& layout, quint32 bibleKey)
    {
        GoToRequest place;
        place.layoutUuid = layout;
        place.bibleKey = bibleKey;
        place.postLocationSync(m_screen->center, nullptr);
    }

    static inline SourceManager* s_library = nullptr;
    std::unique_ptr<Screen> m_screen;
    SourceTuple::Ptr kjv, scofield, activeBook;
    StudyPaneViewController* pane = nullptr;
    StudyPaneSearchResultsViewController* find = nullptr;
    StudyPaneNavigatorViewController* navigator = nullptr;
    // The answer to Find's custom-limit prompt, and the navigator's books.
    std::function<std::optional<QString>(const QString&)> limitAnswer;
    std::function<std::vector<StudyPaneNavigatorViewController::Element>()> navigatorElements;
};

}  // namespace

TEST_F(StudyPaneSearch, FaithAndLoveFillsTheTableInBookOrderAndAClickGoesThere)
{
    Recorder completed(m_screen->center, PaneNotifications::qsSearchHasCompletedNotification);
    ASSERT_TRUE(search(QStringLiteral("faith AND love")));
    SearchResultsAggregator& agg = find->aggregator();
    ASSERT_EQ(agg.numSearchResultsItems(), 10u);
    EXPECT_EQ(completed.posts.size(), 1);

    // In the query language AND is a word: the exact matches hold the phrase "faith and love", and
    // together with the all-words section they are the verses that hold all three words.
    const std::set<quint32> expected =
        versesWithAll({QStringLiteral("faith"), QStringLiteral("and"), QStringLiteral("love")});
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(agg.searchResultsAtIndex(2)->searchDescription, "Exact Match");
    ASSERT_EQ(agg.searchResultsAtIndex(3)->searchDescription, "All Words");
    std::set<quint32> found;
    for (size_t i : {2, 3}) {
        const auto& v = agg.searchResultsAtIndex(i)->searchResultsBitVector;
        for (uint32_t s = v ? v->first(true) : cBitVector::kNone; s != cBitVector::kNone; s = v->nextAfter(s, true))
            EXPECT_TRUE(found.insert(kjv->locations().keyForSection(s)).second) << "a verse shown twice";
    }
    EXPECT_EQ(found, expected);
    EXPECT_GE(agg.countResultsInTableSection(2), 1u);  // 1 Thessalonians 5:8 among them

    // Every non-empty section takes its header and one row per hit, in the order of the kinds, and
    // the hits of a section run in book order.
    QTableView* table = find->searchResultsTableView();
    int rows = 0;
    for (size_t i = 0; i < agg.numSearchResultsItems(); ++i) {
        const uint32_t n = agg.countResultsInTableSection(i);
        if (n == 0)
            continue;
        const QModelIndex header = table->model()->index(rows, 0);
        EXPECT_EQ(header.data().toString(),
            QStringLiteral("%1 (%2)").arg(QString::fromStdString(agg.sectionHeader(i))).arg(n));
        uint32_t previous = 0;
        for (uint32_t r = 1; r <= n; ++r) {
            const uint32_t section = agg.positionValueForTablePath(agg.tablePathForRow(rows + int(r)));
            EXPECT_GT(section, previous);
            previous = section;
        }
        rows += int(n) + 1;
    }
    EXPECT_EQ(table->model()->rowCount(), rows);
    EXPECT_EQ(table->model()->rowCount(), agg.numRows());
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), kjv->record().name);
    EXPECT_EQ(agg.sectionHeader(2), "Exact Match");

    // A Bible hit shows its verse with the found words marked.
    int firstHit = 0;
    while (agg.tablePathForRow(firstHit).tableRowNum < 0)
        ++firstHit;
    const QModelIndex hit = table->model()->index(firstHit, 0);
    EXPECT_EQ(hit.data(StudyPaneResultListModel::KindRole).toInt(), StudyPaneResultListModel::LargeHit);
    const QString html = hit.data(StudyPaneResultListModel::HtmlRole).toString();
    EXPECT_TRUE(html.contains(QStringLiteral("<html><head><meta charset=\"UTF-8\">")));
    EXPECT_TRUE(html.contains(QStringLiteral("faith"), Qt::CaseInsensitive));
    // What the style sheet hides (the Strong's numbers of the KJV) is left out of the cell.
    QTextDocument shown;
    shown.setHtml(html);
    EXPECT_TRUE(shown.toPlainText().contains(QStringLiteral("faith")));
    EXPECT_FALSE(shown.toPlainText().contains(QRegularExpression(QStringLiteral("[GH][0-9]+"))))
        << shown.toPlainText().toStdString();
    // The found words are drawn in the search colour, the rest of the verse is not.
    auto colourOf = [&shown](const QString& word) {
        QTextCursor at = shown.find(word, 0, QTextDocument::FindWholeWords | QTextDocument::FindCaseSensitively);
        return at.isNull() ? QColor() : at.charFormat().foreground().color();
    };
    const QColor search(m_screen->defaults->value(SettingsKeys::SearchColor));
    EXPECT_EQ(colourOf(QStringLiteral("faith")), search) << html.toStdString();
    EXPECT_EQ(colourOf(QStringLiteral("love")), search);
    EXPECT_NE(colourOf(QStringLiteral("breastplate")), search);
    const uint32_t hitSection = agg.positionValueForTablePath(agg.tablePathForRow(firstHit));
    EXPECT_EQ(hit.data(Qt::DisplayRole).toString(), kjv->words().plainTextSearchResultTitleForSection(hitSection));

    // A click on the row posts the go-to request and pushes the verse.
    Recorder goTos(m_screen->center, LibraryNotifications::GoToNotification);
    pane->paneView()->resize(340, 800);
    pane->paneView()->show();
    table->scrollTo(hit);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(hit).center());
    ASSERT_EQ(goTos.posts.size(), 1);
    const GoToRequest r = GoToRequest::of(goTos.posts.first());
    EXPECT_EQ(goTos.posts.first().object, find);
    EXPECT_EQ(r.section, hitSection);
    EXPECT_EQ(r.sourceTuple, kjv);
    EXPECT_TRUE(r.activate);
    EXPECT_TRUE(r.sync);
    EXPECT_EQ(r.bibleKey, kjv->locations().keyForSection(hitSection));
    EXPECT_EQ(r.layoutUuid, m_screen->layout->uuidString());
    EXPECT_EQ(pane->recentGoToVerseKeys().value(0), kjv->locations().keyForSection(hitSection));
    EXPECT_TRUE(table->selectionModel()->selectedRows().isEmpty());  // the same row can be clicked again
    // A header row only deselects.
    find->activateRow(0);
    EXPECT_EQ(goTos.posts.size(), 1);

    // The book pane's marks: the aggregator of the searched book only.
    EXPECT_EQ(pane->searchResultsAggregatorForTuple(SourceTupleID::sourceTupleIDForTuple(*kjv)), &agg);
    EXPECT_EQ(pane->searchResultsAggregatorForTuple(SourceTupleID::sourceTupleIDForTuple(*scofield)), nullptr);

    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    table->scrollToTop();
    EXPECT_TRUE(waitFor([this] { return progressBar()->isHidden(); }));
    EXPECT_TRUE(pane->paneView()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/study-pane-find.png")));
}

// The rows one section of the results lists, and the count its header shows.
struct ListedSection {
    QString header;
    std::vector<quint32> sections;
};

// The WEB's preface holds "love" as 368 verses do: Find lists it under its own title, not as "Genesis",
// and a section's header counts the rows it lists.
TEST_F(StudyPaneSearch, ABiblesPrefaceIsListedByItsTitle)
{
    const SourceTuple::Ptr web = s_library->allSources()->tupleForPubID(1, 102);
    ASSERT_TRUE(web);
    activeBook = web;
    ASSERT_TRUE(search(QStringLiteral("love")));
    SearchResultsAggregator& agg = find->aggregator();
    QTableView* table = find->searchResultsTableView();
    ASSERT_EQ(table->model()->rowCount(), agg.numRows());
    int prefaceRows = 0;
    std::vector<ListedSection> listed;
    for (int row = 0; row < table->model()->rowCount(); ++row) {
        const SRTablePath path = agg.tablePathForRow(row);
        const QString shown = table->model()->index(row, 0).data().toString();
        if (path.tableRowNum < 0) {
            listed.push_back({shown, {}});
            continue;
        }
        ASSERT_FALSE(listed.empty());
        EXPECT_NE(shown, QStringLiteral("Genesis")) << row;
        const quint32 section = agg.positionValueForTablePath(path);
        listed.back().sections.push_back(section);
        if (web->locations().keyForSection(section) == 0) {
            EXPECT_EQ(shown, QStringLiteral("Preface to the World English Bible"));
            // The pane that goes there names it so too.
            EXPECT_EQ(web->locations().getPositionNameForTitleBar(section), shown);
            ++prefaceRows;
        }
    }
    EXPECT_EQ(prefaceRows, 1);
    ASSERT_FALSE(listed.empty());
    for (const ListedSection& l : listed)
        EXPECT_TRUE(l.header.endsWith(QStringLiteral(" (%1)").arg(l.sections.size()))) << l.header.toStdString();
    // 368 verses hold the word; the other rows are the book's own text beside them (the preface).
    EXPECT_TRUE(listed.front().header.startsWith(QStringLiteral("Exact Match (")));
    EXPECT_EQ(std::count_if(listed.front().sections.begin(), listed.front().sections.end(),
                  [&web](quint32 s) { return (web->locations().keyForSection(s) & 0xFF) != 0; }),
        368);
}

// A word that is also a book's name finds the verses that hold it, not the headings written for the
// book and its chapters; the header counts the rows listed.
TEST_F(StudyPaneSearch, ABooksNameFindsTheVersesThatHoldItNotItsHeadings)
{
    QTableView* table = find->searchResultsTableView();
    for (const QString& word : {QStringLiteral("Psalms"), QStringLiteral("Isaiah")}) {
        const std::set<quint32> holding = versesWithAll({word.toLower()});
        ASSERT_FALSE(holding.empty()) << word.toStdString();
        ASSERT_TRUE(search(word)) << word.toStdString();
        SearchResultsAggregator& agg = find->aggregator();
        ASSERT_GT(table->model()->rowCount(), 0);
        ASSERT_LT(agg.tablePathForRow(0).tableRowNum, 0);
        EXPECT_EQ(table->model()->index(0, 0).data().toString(), QStringLiteral("Exact Match (%1)").arg(holding.size()))
            << word.toStdString();
        std::set<quint32> listed;
        for (int row = 1; row < table->model()->rowCount(); ++row) {
            const SRTablePath path = agg.tablePathForRow(row);
            if (path.tableRowNum < 0)
                break;
            listed.insert(kjv->locations().keyForSection(agg.positionValueForTablePath(path)));
        }
        EXPECT_EQ(listed, holding) << word.toStdString();
    }
}

TEST_F(StudyPaneSearch, AVerseReferenceRunsTwoSearchesAndGoesThereAtOnce)
{
    Recorder goTos(m_screen->center, LibraryNotifications::GoToNotification);
    ASSERT_TRUE(search(QStringLiteral("John 3:16")));
    EXPECT_EQ(find->aggregator().numSearchResultsItems(), 2u);
    EXPECT_EQ(find->aggregator().expectedNumItems, 2);
    ASSERT_EQ(goTos.posts.size(), 1);
    const GoToRequest r = GoToRequest::of(goTos.posts.first());
    const quint32 key = makeBibleKey(43, 3, 16);
    ASSERT_TRUE(r.section.has_value());
    EXPECT_EQ(kjv->locations().keyForSection(quint32(*r.section)), key);
    EXPECT_EQ(r.wordSync, QStringLiteral("John 3:16"));
    EXPECT_TRUE(r.sync);
    EXPECT_EQ(r.sourceTupleID, SourceTupleID::sourceTupleIDForTuple(*kjv));
    EXPECT_EQ(pane->recentGoToVerseKeys().value(0), key);

    // A whole book is no verse reference: all ten kinds run.
    ASSERT_TRUE(search(QStringLiteral("Jude")));
    EXPECT_EQ(find->aggregator().numSearchResultsItems(), 10u);
}

TEST_F(StudyPaneSearch, ANewSearchDropsTheOldOne)
{
    Recorder completed(m_screen->center, PaneNotifications::qsSearchHasCompletedNotification);
    find->searchField()->setText(QStringLiteral("love"));
    find->searchStringEntered();
    const quint64 first = find->aggregator().searchID();
    ASSERT_TRUE(search(QStringLiteral("faith AND love")));
    SearchExecutor::shared().waitForDone();
    QCoreApplication::processEvents();
    SearchResultsAggregator& agg = find->aggregator();
    EXPECT_GT(agg.searchID(), first);
    EXPECT_EQ(agg.searchedForString, u"faith AND love");
    for (size_t i = 0; i < agg.numSearchResultsItems(); ++i)
        EXPECT_EQ(agg.searchResultsAtIndex(i)->searchID, agg.searchID());
    EXPECT_EQ(completed.posts.size(), 1);  // only the new search completed
    // Its progress ran to the end and reports of the old search were dropped.
    EXPECT_GT(find->searchProgressCount(), 0);
    EXPECT_EQ(find->searchProgressCompleted(), find->searchProgressCount());
    EXPECT_EQ(progressBar()->value(), 1000);
    find->searchProgressIncrementBy(5, first);
    EXPECT_EQ(find->searchProgressCompleted(), find->searchProgressCount());
}

TEST_F(StudyPaneSearch, LimitsKeepWordHitsInsideTheirBooks)
{
    limitAnswer = [](const QString&) -> std::optional<QString> { return QStringLiteral("John"); };
    find->searchField()->setText(QStringLiteral("love"));
    find->onSearchLimitSelected(5);  // Pentateuch: searches again
    ASSERT_TRUE(waitFor([this] { return find->aggregator().isComplete(); }));
    EXPECT_EQ(find->searchLimitTextField()->text(), QStringLiteral("Limit: Pentateuch (Genesis-Deuteronomy)"));
    SearchResultsAggregator& agg = find->aggregator();
    uint32_t total = 0;
    for (size_t i = 2; i < agg.numSearchResultsItems(); ++i) {
        const auto& v = agg.searchResultsAtIndex(i)->searchResultsBitVector;
        for (uint32_t s = v ? v->first(true) : cBitVector::kNone; s != cBitVector::kNone; s = v->nextAfter(s, true)) {
            EXPECT_LE(bibleKeyBook(kjv->locations().keyForSection(s)), 5);
            ++total;
        }
    }
    EXPECT_GT(total, 0u);

    // The custom limit asks for its text and keeps it.
    find->onSearchLimitSelected(1);
    ASSERT_TRUE(waitFor([this] { return find->aggregator().isComplete(); }));
    EXPECT_EQ(m_screen->defaults->value(SettingsKeys::CustomSearchLimits), QStringLiteral("John"));
    EXPECT_EQ(find->searchLimitTextField()->text(), QStringLiteral("Custom Limit: John"));
    const auto& exact = find->aggregator().searchResultsAtIndex(2)->searchResultsBitVector;
    ASSERT_TRUE(exact && exact->count(true) > 0);
    for (uint32_t s = exact->first(true); s != cBitVector::kNone; s = exact->nextAfter(s, true))
        EXPECT_EQ(bibleKeyBook(kjv->locations().keyForSection(s)), 43);
    // The checkmarks follow the chosen limit.
    int checked = 0;
    for (QAction* a : searchMenu()->actions())
        checked += a->isChecked() ? 1 : 0;
    EXPECT_EQ(checked, 1);

    // In a book that is no Bible the limits are not used.
    activeBook = scofield;
    ASSERT_TRUE(search(QStringLiteral("love")));
    EXPECT_TRUE(find->searchLimitTextField()->isHidden());
    const int rows = find->searchResultsTableView()->model()->rowCount();
    ASSERT_GT(rows, 1);
    EXPECT_EQ(find->searchResultsTableView()->model()->index(1, 0).data(StudyPaneResultListModel::KindRole).toInt(),
        StudyPaneResultListModel::SmallHit);
}

TEST_F(StudyPaneSearch, ACustomLimitThatDoesNotParseIsSaidSo)
{
    QString custom = QStringLiteral("Genesis 1; BOOKMARK(\"creation\")");
    limitAnswer = [&custom](const QString&) -> std::optional<QString> { return custom; };
    pane->paneView()->show();
    find->searchField()->setText(QStringLiteral("God"));
    find->onSearchLimitSelected(1);
    ASSERT_TRUE(waitFor([this] { return find->aggregator().isComplete(); }));
    QLabel* label = find->searchLimitTextField();
    EXPECT_TRUE(label->isVisible());
    EXPECT_EQ(label->text(),
        QStringLiteral(
            "The search limit \"Genesis 1; BOOKMARK(\"creation\")\" was not understood; nothing was searched."));
    EXPECT_EQ(find->searchResultsTableView()->model()->rowCount(), 0);
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    pane->paneView()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/find-limit-not-understood.png"));

    // Corrected, it searches within it and the label names the limit again.
    custom = QStringLiteral("Genesis 1");
    find->onSearchLimitSelected(1);
    ASSERT_TRUE(waitFor([this] { return find->aggregator().isComplete(); }));
    EXPECT_EQ(label->text(), QStringLiteral("Custom Limit: Genesis 1"));
    const auto& exact = find->aggregator().searchResultsAtIndex(2)->searchResultsBitVector;
    ASSERT_TRUE(exact && exact->count(true) > 20);
    for (uint32_t s = exact->first(true); s != cBitVector::kNone; s = exact->nextAfter(s, true))
        EXPECT_EQ(kjv->locations().keyForSection(s) >> 8, (1u << 8) | 1u);
    EXPECT_GT(find->searchResultsTableView()->model()->rowCount(), 20);
    pane->paneView()->hide();
}

TEST_F(StudyPaneSearch, ASearchThatFindsNothingSaysSoAndWhere)
{
    pane->paneView()->show();
    QLabel* status = find->view()->findChild<QLabel*>(QStringLiteral("searchStatus"));
    ASSERT_NE(status, nullptr);
    auto said = [&] { return status->isVisibleTo(status->parentWidget()) ? status->text() : QString(); };
    find->searchField()->setText(QStringLiteral("zqxjkvbwpq"));
    find->searchStringEntered();
    ASSERT_TRUE(waitFor([&] { return !said().isEmpty(); }));
    EXPECT_EQ(said(), QStringLiteral("Nothing was found for \u201Czqxjkvbwpq\u201D in %1.").arg(kjv->record().name));
    EXPECT_EQ(find->searchResultsTableView()->model()->rowCount(), 0);
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    pane->paneView()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/find-nothing-found.png"));

    // A search that finds something says nothing more; within a limit the limit is named.
    ASSERT_TRUE(search(QStringLiteral("love")));
    ASSERT_TRUE(waitFor([&] { return !isSearching(); }));
    EXPECT_EQ(said(), QString());
    find->searchField()->setText(QStringLiteral("zqxjkvbwpq"));
    find->onSearchLimitSelected(14);  // Revelation
    ASSERT_TRUE(waitFor([&] { return !said().isEmpty(); }));
    EXPECT_EQ(said(),
        QStringLiteral("Nothing was found for \u201Czqxjkvbwpq\u201D in %1, Revelation.").arg(kjv->record().name));

    // In a book that is no Bible, the book is named.
    activeBook = scofield;
    find->searchField()->setText(QStringLiteral("zqxjkvbwpq"));
    find->searchStringEntered();
    EXPECT_EQ(said(), QString());
    ASSERT_TRUE(waitFor([&] { return !said().isEmpty(); }));
    EXPECT_EQ(
        said(), QStringLiteral("Nothing was found for \u201Czqxjkvbwpq\u201D in %1.").arg(scofield->record().name));
    pane->paneView()->hide();
}

TEST_F(StudyPaneSearch, WithoutAnActiveBookNothingHappens)
{
    activeBook = nullptr;
    find->searchField()->setText(QStringLiteral("love"));
    const quint64 before = find->aggregator().searchID();
    find->searchStringEntered();
    EXPECT_EQ(find->aggregator().searchID(), before);
    EXPECT_EQ(find->searchField()->text(), QStringLiteral("love"));
}

TEST_F(StudyPaneSearch, TheNavigatorFollowsLocationSyncAndListsThePlacesPerBook)
{
    navigator->view();
    navigatorElements = [this] {
        StudyPaneNavigatorViewController::Element e;
        e.name = QStringLiteral("Commentaries");
        e.books.push_back({SourceTupleID::sourceTupleIDForTuple(*scofield), true});
        e.books.push_back({SourceTupleID(9, 9, 1, 1), true});  // not installed: no hits
        e.books.push_back({SourceTupleID::sourceTupleIDForTuple(*kjv), false});
        return std::vector<StudyPaneNavigatorViewController::Element> {e};
    };
    navigator->onAutoCheckBox(true);
    EXPECT_TRUE(m_screen->defaults->value(SettingsKeys::AutoUpdateNavigator));
    EXPECT_FALSE(navigator->refreshButton()->isEnabled());
    navigator->setMaxResultsPerBook(1);

    const quint32 key = makeBibleKey(43, 3, 16);
    auto sync = [&](const QString& layout) { syncTo(layout, key); };
    sync(QStringLiteral("another layout"));
    EXPECT_EQ(navigator->searchID(), 0u);
    sync(m_screen->layout->uuidString());
    EXPECT_EQ(navigator->searchID(), 1u);
    EXPECT_EQ(navigator->searchResultsTableView()->model()->headerData(0, Qt::Horizontal).toString(),
        QStringLiteral("John 3:16"));
    ASSERT_TRUE(waitFor([this] { return navigator->isComplete(); }));
    ASSERT_EQ(navigator->results().size(), 2u);
    const auto& notes = navigator->results()[0];
    ASSERT_GT(notes.total(), 1u) << "Scofield treats John 3:16";
    EXPECT_EQ(navigator->results()[1].total(), 0u);
    // The same verse again does not search again.
    sync(m_screen->layout->uuidString());
    EXPECT_EQ(navigator->searchID(), 1u);

    // Scofield: heading, one hit, the more row; the missing book: its heading.
    QAbstractItemModel* model = navigator->searchResultsTableView()->model();
    ASSERT_EQ(model->rowCount(), 4);
    EXPECT_EQ(model->index(0, 0).data().toString(),
        QStringLiteral("%1 (%2)").arg(scofield->record().name).arg(notes.total()));
    const uint32_t first = !notes.gotoHits.empty() ? notes.gotoHits.front() : notes.xrefHits.front();
    EXPECT_EQ(model->index(1, 0).data().toString(), scofield->words().plainTextSearchResultTitleForSection(first));
    const quint64 rest = notes.total() - 1;
    EXPECT_EQ(model->index(2, 0).data().toString(),
        rest == 1 ? QStringLiteral("1 More Result...") : QStringLiteral("%1 More Results...").arg(rest));
    EXPECT_TRUE(navigator->isGroupRow(0));
    EXPECT_FALSE(navigator->isGroupRow(2));
    EXPECT_TRUE(navigator->isGroupRow(3));
    EXPECT_EQ(navigator->resultsPathForTableRow(99), NavigatorResultsPath {});

    // Find last searched the Bible.
    ASSERT_TRUE(search(QStringLiteral("love")));
    EXPECT_EQ(find->searchResultsTableView()->model()->headerData(0, Qt::Horizontal).toString(), kjv->record().name);

    // A heading opens the book at its first place and hands the verse to Find.
    Recorder goTos(m_screen->center, LibraryNotifications::GoToNotification);
    Recorder handed(m_screen->center, StudyPaneNotifications::StartSearchWithLibrarySearchResultsNotification);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kNavigatorSubpane);
    pane->paneView()->show();
    activeBook = scofield;
    navigator->activateRow(0);
    // The column names the book searched from the moment the search starts.
    QTableView* table = find->searchResultsTableView();
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), scofield->record().name);
    ASSERT_GE(goTos.posts.size(), 1);
    const GoToRequest r = GoToRequest::of(goTos.posts.first());
    EXPECT_EQ(r.sourceTupleID, SourceTupleID::sourceTupleIDForTuple(*scofield));
    EXPECT_EQ(r.section, first);
    EXPECT_TRUE(r.activate && r.activatePane && r.sync);
    ASSERT_EQ(handed.posts.size(), 1);
    EXPECT_EQ(
        handed.posts.first().userInfo.value(QStringLiteral("searchSpec")).toString(), QStringLiteral("John 3:16"));
    // ... and Find takes it over in the now active book.
    EXPECT_EQ(pane->state()->selectedTabID, 1);
    EXPECT_EQ(find->searchField()->text(), QStringLiteral("John 3:16"));
    EXPECT_TRUE(waitFor([this] { return find->aggregator().isComplete(); }));
    EXPECT_EQ(find->aggregator().searchedSourceTupleID, SourceTupleID::sourceTupleIDForTuple(*scofield));
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), scofield->record().name);
    EXPECT_EQ(table->horizontalHeader()->model()->headerData(0, Qt::Horizontal).toString(), scofield->record().name);
    ASSERT_GT(table->model()->rowCount(), 1);
    EXPECT_EQ(table->model()->index(1, 0).data().toString(),
        scofield->words().plainTextSearchResultTitleForSection(
            find->aggregator().positionValueForTablePath(find->aggregator().tablePathForRow(1))));
    pane->paneView()->hide();

    // With auto-update off a sync only remembers the verse; refresh searches it.
    navigator->onAutoCheckBox(false);
    EXPECT_TRUE(navigator->refreshButton()->isEnabled());
    syncTo(m_screen->layout->uuidString(), makeBibleKey(1, 1, 1));
    EXPECT_EQ(navigator->searchID(), 1u);
    navigator->onRefreshButton();
    EXPECT_EQ(navigator->searchID(), 2u);
    EXPECT_EQ(navigator->searchResultsTableView()->model()->headerData(0, Qt::Horizontal).toString(),
        QStringLiteral("Genesis 1:1"));
    EXPECT_TRUE(waitFor([this] { return navigator->isComplete(); }));

    // A heading in view is named by the verse it opens: a book's title, then a chapter's.
    navigator->onAutoCheckBox(true);
    const QString header[] = {QStringLiteral("John 1:1"), QStringLiteral("John 3:1")};
    for (const quint32 heading : {makeBibleKey(43, 0, 0), makeBibleKey(43, 3, 0)}) {
        syncTo(m_screen->layout->uuidString(), heading);
        EXPECT_EQ(navigator->searchResultsTableView()->model()->headerData(0, Qt::Horizontal).toString(),
            header[(heading >> 8) & 0xFF ? 1 : 0]);
    }
    EXPECT_TRUE(waitFor([this] { return navigator->isComplete(); }));
}

TEST_F(StudyPaneSearch, ABibleInAnotherLanguageFindsAVerseByEitherNameAndTheNavigatorCountsIt)
{
    const SourceTuple::Ptr web = s_library->allSources()->tupleForPubID(1, 102);
    const SourceTuple::Ptr rv = s_library->allSources()->tupleForPubID(1, 103);
    ASSERT_TRUE(web && rv);
    // Find in the Reina-Valera goes to Psalm 23:1 by its English and its Spanish name.
    const quint32 psalm = rv->locations().sectionForSyncString(QStringLiteral("Salmos 23:1"));
    ASSERT_EQ(rv->locations().keyForSection(psalm), makeBibleKey(19, 23, 1));
    activeBook = rv;
    for (const QString& query : {QStringLiteral("Psalms 23:1"), QStringLiteral("Salmos 23:1"),
             QStringLiteral("Revelation 22:21"), QStringLiteral("Apocalipsis 22:21")}) {
        Recorder goTos(m_screen->center, LibraryNotifications::GoToNotification);
        ASSERT_TRUE(search(query));
        EXPECT_EQ(find->searchResultsTableView()->model()->index(0, 0).data().toString(),
            QStringLiteral("Did You Mean 'Go To'? (1)"))
            << query.toStdString();
        ASSERT_EQ(goTos.posts.size(), 1) << query.toStdString();
        const GoToRequest r = GoToRequest::of(goTos.posts.first());
        EXPECT_EQ(r.sourceTupleID, SourceTupleID::sourceTupleIDForTuple(*rv));
        EXPECT_EQ(rv->locations().keyForSection(quint32(r.section.value_or(0))) >> 8,
            query.contains(QStringLiteral("23")) ? makeBibleKey(19, 23, 1) >> 8 : makeBibleKey(66, 22, 21) >> 8)
            << query.toStdString();
    }

    // The navigator with the Bibles ticked, at Psalm 23:1: one place in each Bible.
    navigator->view();
    navigatorElements = [&] {
        StudyPaneNavigatorViewController::Element e;
        e.name = QStringLiteral("Bibles");
        for (const SourceTuple::Ptr& b : {kjv, rv, web})
            e.books.push_back({SourceTupleID::sourceTupleIDForTuple(*b), true});
        return std::vector<StudyPaneNavigatorViewController::Element> {e};
    };
    navigator->onAutoCheckBox(true);
    syncTo(m_screen->layout->uuidString(), makeBibleKey(19, 23, 1));
    ASSERT_TRUE(waitFor([this] { return navigator->isComplete(); }));
    ASSERT_EQ(navigator->results().size(), 3u);
    EXPECT_EQ(navigator->results()[1].gotoHits, std::vector<uint32_t> {psalm});
    QAbstractItemModel* model = navigator->searchResultsTableView()->model();
    QStringList groups;
    for (int row = 0; row < model->rowCount(); ++row)
        if (navigator->isGroupRow(row))
            groups << model->index(row, 0).data().toString();
    EXPECT_EQ(groups,
        QStringList({QStringLiteral("%1 (1)").arg(kjv->record().name), QStringLiteral("Reina-Valera 1909 (1)"),
            QStringLiteral("%1 (1)").arg(web->record().name)}));
}

TEST_F(StudyPaneSearch, TwoQuickSyncsShowOnlyTheSecondVerse)
{
    navigator->view();
    navigatorElements = [this] {
        StudyPaneNavigatorViewController::Element e;
        for (int i = 0; i < 5; ++i)
            e.books.push_back({SourceTupleID::sourceTupleIDForTuple(*scofield), true});
        return std::vector<StudyPaneNavigatorViewController::Element> {e};
    };
    navigator->onAutoCheckBox(true);
    for (quint32 key : {makeBibleKey(1, 1, 1), makeBibleKey(43, 3, 16)})
        syncTo(m_screen->layout->uuidString(), key);
    ASSERT_TRUE(waitFor([this] { return navigator->isComplete(); }));
    SearchExecutor::shared().waitForDone();
    QCoreApplication::processEvents();
    const auto& results = navigator->results();
    ASSERT_EQ(results.size(), 5u);
    for (const auto& r : results) {
        EXPECT_EQ(r.itemsArrived, 2);
        for (uint32_t s : r.gotoHits)
            EXPECT_TRUE(scofield->words().plainTextSearchResultTitleForSection(s).contains(QStringLiteral("John")))
                << scofield->words().plainTextSearchResultTitleForSection(s).toStdString();
    }
}

TEST_F(StudyPaneSearch, TheRefreshButtonStopsARunningSearchAndKeepsWhatArrived)
{
    Recorder completed(m_screen->center, PaneNotifications::qsSearchHasCompletedNotification);
    // Hold the pool's threads so that nothing can arrive before the stop.
    std::mutex gate;
    std::unique_lock<std::mutex> held(gate);
    const int threads = SearchExecutor::shared().maxThreads();
    for (int i = 0; i < threads; ++i)
        SearchExecutor::shared().post([&gate] { std::lock_guard<std::mutex> wait(gate); });
    find->searchField()->setText(QStringLiteral("love"));
    find->searchStringEntered();
    EXPECT_TRUE(isSearching());
    EXPECT_EQ(find->refreshButton()->toolTip(), QStringLiteral("Stop searching"));
    EXPECT_FALSE(progressBar()->isHidden());
    const quint64 id = find->aggregator().searchID();

    QTest::mouseClick(find->refreshButton(), Qt::LeftButton);
    EXPECT_FALSE(isSearching());
    EXPECT_EQ(find->refreshButton()->toolTip(), QStringLiteral("Search again"));
    EXPECT_TRUE(progressBar()->isHidden());
    EXPECT_EQ(completed.posts.size(), 1);  // the book panes mark what was found
    held.unlock();
    SearchExecutor::shared().waitForDone();
    QCoreApplication::processEvents();
    // Nothing of the stopped search arrives later; the table keeps what it had.
    EXPECT_EQ(find->aggregator().searchID(), id);
    EXPECT_EQ(find->aggregator().numSearchResultsItems(), 0u);
    EXPECT_EQ(find->searchResultsTableView()->model()->rowCount(), 0);
    EXPECT_EQ(completed.posts.size(), 1);

    // Pressed again it searches again, to the end.
    QTest::mouseClick(find->refreshButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return find->aggregator().isComplete(); }));
    EXPECT_FALSE(isSearching());
    EXPECT_GT(find->searchResultsTableView()->model()->rowCount(), 0);
    EXPECT_EQ(completed.posts.size(), 2);
}

TEST_F(StudyPaneSearch, RecentSearchesAreOfferedNewestFirstOnceEachAndCanBeCleared)
{
    auto texts = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions()) {
            if (!a->isSeparator())
                out.append(a->text());
        }
        return out;
    };
    QMenu* menu = searchMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(texts(menu).mid(StudyPaneSearchResultsViewController::kLimitCount + 1),
        QStringList {QStringLiteral("No Recent Searches")});
    for (const char* text : {"grace", "faith", "grace", "  hope  ", ""}) {
        find->searchField()->setText(QString::fromLatin1(text));
        find->searchStringEntered();
    }
    ASSERT_TRUE(waitFor([this] { return find->aggregator().isComplete(); }));
    // The menu shows them when it opens (the Bible menu after its limits).
    ASSERT_EQ(searchMenu(), menu);
    EXPECT_EQ(texts(menu).mid(StudyPaneSearchResultsViewController::kLimitCount + 1),
        (QStringList {QStringLiteral("Recent Searches"), QStringLiteral("hope"), QStringLiteral("grace"),
            QStringLiteral("faith"), QStringLiteral("Clear Recent Searches")}));
    // Choosing one searches it.
    QAction* grace = nullptr;
    for (QAction* a : menu->actions())
        grace = a->text() == QStringLiteral("grace") ? a : grace;
    ASSERT_NE(grace, nullptr);
    grace->trigger();
    EXPECT_EQ(find->searchField()->text(), QStringLiteral("grace"));
    ASSERT_TRUE(waitFor([this] { return find->aggregator().isComplete(); }));
    EXPECT_EQ(find->aggregator().searchedForString, u"grace");
    EXPECT_EQ(recentSearches().value(0), QStringLiteral("grace"));

    // At most ten; a damaged list in the defaults keeps only its texts.
    for (int i = 0; i < 12; ++i) {
        find->searchField()->setText(QStringLiteral("word%1").arg(i));
        find->searchStringEntered();
    }
    EXPECT_EQ(recentSearches().size(), StudyPaneSearchResultsViewController::kMaxRecentSearches);
    EXPECT_EQ(recentSearches().value(0), QStringLiteral("word11"));
    m_screen->defaults->set(SettingsKeys::FindRecentSearches,
        QVariantList {42, QStringLiteral("lamb"), QVariantMap {}, QStringLiteral("lamb")});
    EXPECT_EQ(recentSearches(), QStringList {QStringLiteral("lamb")});

    // The menu's Clear Recent Searches, as the user opens the menu and chooses it.
    ASSERT_EQ(searchMenu(), menu);
    const QList<QAction*> items = menu->actions();
    const auto clear = std::find_if(items.cbegin(), items.cend(),
        [](const QAction* a) { return a->text() == QStringLiteral("Clear Recent Searches"); });
    ASSERT_NE(clear, items.cend());
    (*clear)->trigger();
    EXPECT_TRUE(recentSearches().isEmpty());
    EXPECT_EQ(texts(searchMenu()).mid(StudyPaneSearchResultsViewController::kLimitCount + 1),
        QStringList {QStringLiteral("No Recent Searches")});
    SearchExecutor::shared().waitForDone();
    QCoreApplication::processEvents();
}

TEST_F(StudyPaneSearch, TheGoToTabShowsTheGoToOfTheActiveBooksKind)
{
    FakeSubpanes fakes {{StudyPaneViewController::kBibleGotoSubpane, QStringLiteral("bible")},
        {StudyPaneViewController::kBookGotoSubpane, QStringLiteral("book")},
        {StudyPaneViewController::kOtherGotoSubpane, QStringLiteral("other")}};
    Screen screen;
    StudyPaneEnvironment env = fakes.in(screen.environment());
    env.library = s_library;
    SourceTuple::Ptr active = kjv;
    env.activeBook = [&active] { return active; };
    StudyPaneViewController* goPane = screen.install(env);
    auto shown = [goPane] {
        auto* fake = dynamic_cast<FakeSubpane*>(goPane->subpaneViewController());
        return fake != nullptr ? fake->name() : QString();
    };
    EXPECT_TRUE(goPane->isTabAvailable(6));
    EXPECT_TRUE(tabButton(goPane->paneView(), "goToButton")->isEnabled());
    goPane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBibleGotoSubpane);
    EXPECT_EQ(shown(), QStringLiteral("bible"));
    // A commentary made active in this (current) layout switches the sub-pane.
    active = scofield;
    screen.center.postNotificationName(PaneNotifications::ThisSourceIsNowActiveNotification, nullptr,
        {{QStringLiteral("sourceTuple"), QVariant::fromValue(scofield)}});
    EXPECT_EQ(shown(), QStringLiteral("book"));
    // Not when the study pane's layout is not the current one.
    Layout* other =
        screen.manager.addLayoutWithDescriptor(QStringLiteral("H1"), LayoutRect {0, 0, 800, 600}, QString());
    screen.manager.setCurrentLayout(other);
    active = kjv;
    screen.center.postNotificationName(PaneNotifications::ThisSourceIsNowActiveNotification);
    EXPECT_EQ(shown(), QStringLiteral("book"));
    screen.manager.setCurrentLayout(screen.layout);
    // No book (a pane just split off): the Bible's reference field, not an outline of no book.
    active = nullptr;
    goPane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kOtherGotoSubpane);
    EXPECT_EQ(shown(), QStringLiteral("bible"));
}

// The notes list, the journal list and the library search over the compiled sample library, with
// the notes in a database of the test's own: where notes are stored and deleted, the journal's title
// rules, the notes found by word, stem and phrase, a change of one note applied without a new search
// while other changes run one search however many arrive, the journal's saved rows, and the library
// search's rows and counts per book.

#include <gtest/gtest.h>

#include "StudyPaneSampleLibrary.h"
#include "StudyPaneTestSupport.h"
#include "engine/docbase/cSourceDoc.h"
#include "engine/references/cBibleRef.h"
#include "library/GoToRequest.h"
#include "library/JournalSourceTuple.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/SettingsKeys.h"
#include "platform/ui/ResourceWatch.h"
#include "search/core/cBitVector.h"
#include "search/execution/SearchExecutor.h"
#include "search/execution/SearchResultsAggregator.h"
#include "search/execution/SearchRun.h"
#include "studypane/StudyPaneLibrarySearchViewController.h"
#include "studypane/StudyPaneNotesListViewController.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneResultListModel.h"
#include "studypane/StudyPaneSearchResultsViewController.h"
#include "studypane/notes/NoteStore.h"
#include "tools/tvkbuild/import/TvkModuleImport.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cSQLiteDbBase.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QToolButton>
#include <QUrl>

#include <fstream>
#include <map>
#include <set>

using namespace StudyPaneTest;

namespace {

const QString kNotesChanged = PaneNotifications::qsNotesHaveChangedNotification;

// The notes database lives in a folder of the test's own, set before the note document opens.
void openNotesInTemporaryFolder()
{
    static QTemporaryDir folder;
    static bool done = false;
    if (done)
        return;
    done = true;
    cSQLiteDbBase::setEngineDataFolder(cLString16(folder.path().toUtf8().constData()));
    cNoteDocProvider::install(std::make_shared<cFixedNoteDocProvider>(noteDocInstance()));
}

// The KJV verses whose text (notes left out) holds the word.
std::set<quint32> versesWithWord(const QString& word)
{
    std::set<quint32> out;
    for (const auto& [key, plain] : kjvVerseTexts()) {
        if (wordsOf(plain).contains(word.toLower()))
            out.insert(key);
    }
    return out;
}

std::set<quint32> positionsOf(const SearchResultsAggregator& agg, std::size_t item)
{
    std::set<quint32> out;
    const SearchResultsItemPtr it = agg.searchResultsAtIndex(item);
    const auto& v = it ? it->searchResultsBitVector : nullptr;
    for (uint32_t s = v ? v->first(true) : cBitVector::kNone; s != cBitVector::kNone; s = v->nextAfter(s, true))
        out.insert(s);
    return out;
}

class StudyPaneNotesList : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ensureApplication();
        openNotesInTemporaryFolder();
        s_library = openSampleLibrary({"KJV.tvk", "Scofield.tvk", "TreasuryOfDavid.tvk", "Nave.tvk"});
    }
    static void TearDownTestSuite()
    {
        SearchExecutor::shared().waitForDone();
        delete s_library;
        s_library = nullptr;
    }

    void SetUp() override
    {
        if (s_library == nullptr)
            GTEST_SKIP() << "the sample library is not built";
        deleteAllNotes();
        m_screen = std::make_unique<Screen>();
        std::tie(kjv, scofield) = kjvAndScofield(*s_library);
        ASSERT_TRUE(kjv && scofield);
        StudyPaneEnvironment env = m_screen->environment(s_library);
        env.notes = noteDocInstance();
        env.activeBook = [this] { return activeBook; };
        activeBook = kjv;
        pane = m_screen->install(env);
        list =
            dynamic_cast<StudyPaneNotesListViewController*>(pane->subpane(StudyPaneViewController::kNotesListSubpane));
        journal = dynamic_cast<StudyPaneNotesListViewController*>(
            pane->subpane(StudyPaneViewController::kJournalListSubpane));
        library = dynamic_cast<StudyPaneLibrarySearchViewController*>(
            pane->subpane(StudyPaneViewController::kLibrarySearchSubpane));
        ASSERT_TRUE(list && journal && library);
    }
    void TearDown() override { SearchExecutor::shared().waitForDone(); }

    // The note viewer of a layout that is not current ignores note requests: the rows' requests are
    // only recorded here (the viewer's web views have a test program of their own).
    void keepNoteViewerOut()
    {
        Layout* other =
            m_screen->manager.addLayoutWithDescriptor(QStringLiteral("H1"), LayoutRect {0, 0, 800, 600}, QString());
        m_screen->manager.setCurrentLayout(other);
    }

    static void bibleNote(quint32 key, const QString& text)
    {
        ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::bible(key), text));
    }

    bool search(StudyPaneNotesListViewController* c, const QString& text)
    {
        c->view();
        c->searchField()->setText(text);
        c->searchStringEntered();
        return waitFor([c] { return c->searchResultsAggregator().isComplete(); });
    }
    std::set<quint32> keysIn(std::size_t item)
    {
        std::set<quint32> keys;
        for (quint32 s : positionsOf(list->searchResultsAggregator(), item))
            keys.insert(kjv->locations().keyForSection(s));
        return keys;
    }

    static inline SourceManager* s_library = nullptr;
    std::unique_ptr<Screen> m_screen;
    SourceTuple::Ptr kjv, scofield, activeBook;
    StudyPaneViewController* pane = nullptr;
    StudyPaneNotesListViewController* list = nullptr;
    StudyPaneNotesListViewController* journal = nullptr;
    StudyPaneLibrarySearchViewController* library = nullptr;
};

const quint32 kJohn316 = makeBibleKey(43, 3, 16);
const quint32 kGen11 = makeBibleKey(1, 1, 1);
const quint32 kRom828 = makeBibleKey(45, 8, 28);
const quint32 kPs23 = makeBibleKey(19, 23, 1);

}  // namespace

TEST_F(StudyPaneNotesList, NotesAreStoredReadAndDeletedByKind)
{
    NotificationCenter center;
    StudyPaneEnvironment env;
    env.center = &center;
    env.notes = noteDocInstance();
    bool created = false;
    ASSERT_TRUE(
        StudyPaneTest::userNotes().save(NoteLocation::bible(kJohn316), QStringLiteral("<p>loved</p>"), &created));
    EXPECT_TRUE(created);
    ASSERT_TRUE(
        StudyPaneTest::userNotes().save(NoteLocation::bible(kJohn316), QStringLiteral("<p>so loved</p>"), &created));
    EXPECT_FALSE(created);
    EXPECT_EQ(StudyPaneTest::userNotes().read(NoteLocation::bible(kJohn316)).text, QStringLiteral("<p>so loved</p>"));
    EXPECT_TRUE(StudyPaneTest::userNotes().verseHasNote(kJohn316));
    EXPECT_FALSE(StudyPaneTest::userNotes().verseHasNote(kGen11));

    const NoteLocation book = NoteLocation::book(scofield->sourceTupleID(), 12);
    ASSERT_TRUE(StudyPaneTest::userNotes().save(book, QStringLiteral("commentary note"), &created));
    EXPECT_TRUE(created);
    EXPECT_EQ(book.kind(), NoteLocation::Kind::Book);
    EXPECT_TRUE(
        StudyPaneNotesListViewController::blockHasNote(env, scofield->locations().blockForSection(12), *scofield));
    EXPECT_FALSE(
        StudyPaneNotesListViewController::blockHasNote(env, scofield->locations().blockForSection(13), *scofield));

    // An empty text deletes; the journal is told apart by its identity and title.
    ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::journal(QStringLiteral("Prayer")), QStringLiteral("x")));
    EXPECT_TRUE(
        StudyPaneTest::userNotes().exists(NoteLocation::journal(QStringLiteral("PRAYER"))));  // titles ignore case
    ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::journal(QStringLiteral("Prayer")), QString()));
    EXPECT_FALSE(StudyPaneTest::userNotes().exists(NoteLocation::journal(QStringLiteral("Prayer"))));

    // The class deletions tell everyone, with "deletedNote".
    Recorder changes(center, kNotesChanged);
    StudyPaneNotesListViewController::deleteNoteForKey(env, kJohn316);
    StudyPaneNotesListViewController::deleteNoteForSection(env, 12, scofield->sourceTupleID());
    StudyPaneNotesListViewController::deleteJournalNoteWithTitle(env, QStringLiteral("Gone"));
    EXPECT_FALSE(StudyPaneTest::userNotes().exists(NoteLocation::bible(kJohn316)));
    EXPECT_FALSE(StudyPaneTest::userNotes().exists(book));
    ASSERT_EQ(changes.posts.size(), 3);
    EXPECT_EQ(changes.posts[0].userInfo.value(QStringLiteral("key")).toUInt(), kJohn316);
    EXPECT_EQ(changes.posts[1].userInfo.value(QStringLiteral("section")).toUInt(), 12u);
    EXPECT_EQ(changes.posts[1].userInfo.value(QStringLiteral("sourceTupleID")).value<SourceTupleID>(),
        scofield->sourceTupleID());
    EXPECT_EQ(changes.posts[2].userInfo.value(QStringLiteral("journalTitle")).toString(), QStringLiteral("Gone"));
    for (const Notification& n : changes.posts) {
        EXPECT_TRUE(n.userInfo.value(QStringLiteral("deletedNote")).toBool());
        EXPECT_TRUE(n.userInfo.value(QStringLiteral("changed")).toBool());
        EXPECT_EQ(n.object, nullptr);
    }
}

TEST_F(StudyPaneNotesList, JournalTitlesAreCleanedCutAndMadeUnique)
{
    EXPECT_EQ(NoteStore::cleanJournalTitle(QStringLiteral(" \t\u0001Title\n ")), QStringLiteral("Title"));
    EXPECT_EQ(NoteStore::cleanJournalTitle(QString(200, QLatin1Char('x'))), QString(128, QLatin1Char('x')));
    EXPECT_EQ(
        StudyPaneTest::userNotes().uniqueJournalTitleFrom(QStringLiteral("Untitled")), QStringLiteral("Untitled"));
    ASSERT_TRUE(
        StudyPaneTest::userNotes().save(NoteLocation::journal(QStringLiteral("Untitled")), QStringLiteral("a")));
    ASSERT_TRUE(
        StudyPaneTest::userNotes().save(NoteLocation::journal(QStringLiteral("untitled-1")), QStringLiteral("b")));
    EXPECT_EQ(
        StudyPaneTest::userNotes().uniqueJournalTitleFrom(QStringLiteral("Untitled")), QStringLiteral("Untitled-2"));
    EXPECT_EQ(
        StudyPaneTest::userNotes().uniqueJournalTitleFrom(QStringLiteral("UNTITLED")), QStringLiteral("UNTITLED-2"));
    // A deleted note frees its title.
    ASSERT_TRUE(StudyPaneTest::userNotes().remove(NoteLocation::journal(QStringLiteral("Untitled"))));
    EXPECT_EQ(
        StudyPaneTest::userNotes().uniqueJournalTitleFrom(QStringLiteral("Untitled")), QStringLiteral("Untitled"));
    EXPECT_EQ(NoteLocation().kind(), NoteLocation::Kind::None);
    NoteLocation noTitle;
    noTitle.source = SourceTupleID::sourceTupleIDForFakeJournalDoc();
    EXPECT_FALSE(noTitle.hasSomethingToDisplay());
    EXPECT_TRUE(NoteLocation::journal(QString()).hasJournalNote());
}

TEST_F(StudyPaneNotesList, FindsNotesByWordStemAndPhrase)
{
    bibleNote(kJohn316, QStringLiteral("<p>God so <b>loved</b> the world</p>"));
    bibleNote(kGen11, QStringLiteral("<p>In the beginning God created</p>"));
    bibleNote(kRom828, QStringLiteral("<p>all things work together for good</p>"));
    bibleNote(kPs23, QStringLiteral("<p>his loving kindness follows me</p>"));

    // A blank query lists every note of the book in one section.
    ASSERT_TRUE(search(list, QStringLiteral("  ")));
    SearchResultsAggregator& agg = list->searchResultsAggregator();
    ASSERT_EQ(agg.numSearchResultsItems(), 1u);
    EXPECT_EQ(agg.sectionHeader(0), "All Notes in this Book");
    EXPECT_EQ(keysIn(0), (std::set<quint32> {kJohn316, kGen11, kRom828, kPs23}));
    QTableView* table = list->searchResultsTableView();
    EXPECT_EQ(table->model()->rowCount(), 5);
    EXPECT_EQ(table->model()->index(0, 0).data().toString(), QStringLiteral("All Notes in this Book (4)"));
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), kjv->record().name);
    const QString cell = table->model()->index(1, 0).data(StudyPaneResultListModel::HtmlRole).toString();
    EXPECT_TRUE(cell.contains(QStringLiteral("In the beginning God created"))) << cell.toStdString();

    // Without the enhanced search a word gives the exact matches only.
    ASSERT_TRUE(search(list, QStringLiteral("loved")));
    ASSERT_EQ(agg.numSearchResultsItems(), 1u);
    EXPECT_EQ(agg.sectionHeader(0), "Exact Match");
    EXPECT_EQ(keysIn(0), std::set<quint32> {kJohn316});

    // A phrase holds its words in their order.
    ASSERT_TRUE(search(list, QStringLiteral("\"work together\"")));
    EXPECT_EQ(keysIn(0), std::set<quint32> {kRom828});
    ASSERT_TRUE(search(list, QStringLiteral("\"together work\"")));
    EXPECT_TRUE(keysIn(0).empty());

    // The enhanced search adds five sections; the stem of "love" finds "loved" and "loving", each
    // in the first section that holds it.
    list->onEnhancedSearchOptionSelected();
    EXPECT_TRUE(m_screen->defaults->value(SettingsKeys::EnhancedNotesSearch));
    QMenu* menu = openedMenu(control<QToolButton>(list, "searchMenuButton"));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->actions().first()->isChecked());
    ASSERT_TRUE(search(list, QStringLiteral("love")));
    ASSERT_EQ(agg.numSearchResultsItems(), 6u);
    const char* titles[] = {"Exact Match", "All Words", "Exact Match, Same Root Word", "Exact Match, Sounds Like Word",
        "All Words, Same Root Word", "All Words, Sounds Like Word"};
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(agg.sectionHeader(i), titles[i]);
    EXPECT_TRUE(keysIn(0).empty());
    EXPECT_EQ(keysIn(2), (std::set<quint32> {kJohn316, kPs23}));
    EXPECT_TRUE(keysIn(4).empty());  // shown in an earlier section already
    list->onEnhancedSearchOptionSelected();
    EXPECT_FALSE(m_screen->defaults->value(SettingsKeys::EnhancedNotesSearch));

    // A Bible row goes to the verse and shows its note.
    Recorder goTos(m_screen->center, LibraryNotifications::GoToNotification);
    Recorder shows(m_screen->center, LibraryNotifications::qsUserNoteLinkSelected);
    ASSERT_TRUE(search(list, QStringLiteral("beginning")));
    keepNoteViewerOut();
    list->activateRow(1);
    ASSERT_EQ(goTos.posts.size(), 1);
    EXPECT_EQ(GoToRequest::of(goTos.posts[0]).bibleKey, kGen11);
    ASSERT_EQ(shows.posts.size(), 1);
    EXPECT_EQ(shows.posts[0].userInfo.value(QStringLiteral("key")).toUInt(), kGen11);
    EXPECT_EQ(bookFromVariant(shows.posts[0].userInfo.value(QStringLiteral("source"))), kjv);
    EXPECT_EQ(pane->recentGoToVerseKeys().value(0), kGen11);
    list->activateRow(0);  // a header does nothing
    EXPECT_EQ(shows.posts.size(), 1);

    // The search menu lists the texts searched, newest first, each once; choosing one searches it.
    ASSERT_EQ(openedMenu(control<QToolButton>(list, "searchMenuButton")), menu);
    QStringList texts;
    for (QAction* a : menu->actions())
        if (a->data().toInt() == 1001)
            texts.append(a->text());
    EXPECT_EQ(texts,
        (QStringList {QStringLiteral("beginning"), QStringLiteral("love"), QStringLiteral("\"together work\""),
            QStringLiteral("\"work together\""), QStringLiteral("loved")}));
    for (QAction* a : menu->actions())
        if (a->text() == QStringLiteral("loved"))
            a->trigger();
    ASSERT_TRUE(waitFor([this] { return list->searchResultsAggregator().isComplete(); }));
    EXPECT_EQ(keysIn(0), std::set<quint32> {kJohn316});
    for (QAction* a : menu->actions())
        if (a->text() == QStringLiteral("Clear Recent Searches"))
            a->trigger();
    EXPECT_EQ(menu->actions().last()->text(), QStringLiteral("No Recent Searches"));
}

TEST_F(StudyPaneNotesList, TheListNamesItsBookSaysWhenNothingIsFoundAndFollowsTheCurrentBook)
{
    bibleNote(kJohn316, QStringLiteral("<p>God so loved the world</p>"));
    pane->paneView()->show();
    list->view();
    QTableView* table = list->searchResultsTableView();
    QLabel* status = list->view()->findChild<QLabel*>(QStringLiteral("searchStatus"));
    ASSERT_NE(status, nullptr);
    auto said = [&] { return status->isVisibleTo(status->parentWidget()) ? status->text() : QString(); };
    ASSERT_TRUE(search(list, QStringLiteral("zqxjkvbwpq")));
    ASSERT_TRUE(waitFor([&] { return !said().isEmpty(); }));
    EXPECT_EQ(said(),
        QStringLiteral("Nothing was found for \u201Czqxjkvbwpq\u201D in the notes of %1.").arg(kjv->record().name));
    EXPECT_EQ(list->searchField()->placeholderText(), QStringLiteral("Search Notes in %1").arg(kjv->record().name));
    ASSERT_TRUE(search(list, QStringLiteral("loved")));
    ASSERT_TRUE(waitFor([&] { return table->model()->rowCount() == 2; }));
    EXPECT_EQ(said(), QString());

    // Another book made current: the field's search runs again in that book's notes, under its name.
    activeBook = scofield;
    m_screen->center.postNotificationName(PaneNotifications::ThisSourceIsNowActiveNotification, nullptr,
        {{QStringLiteral("sourceTuple"), QVariant::fromValue(scofield)}});
    ASSERT_TRUE(waitFor([&] { return !said().isEmpty(); }));
    EXPECT_EQ(said(),
        QStringLiteral("Nothing was found for \u201Cloved\u201D in the notes of %1.").arg(scofield->record().name));
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), scofield->record().name);
    EXPECT_EQ(
        list->searchField()->placeholderText(), QStringLiteral("Search Notes in %1").arg(scofield->record().name));
    list->searchField()->clear();
    activeBook = kjv;
    m_screen->center.postNotificationName(PaneNotifications::ThisSourceIsNowActiveNotification, nullptr,
        {{QStringLiteral("sourceTuple"), QVariant::fromValue(kjv)}});
    ASSERT_TRUE(waitFor([&] { return table->model()->rowCount() == 2; }));
    EXPECT_EQ(said(), QString());
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), kjv->record().name);
    // A book without notes says so.
    activeBook = scofield;
    m_screen->center.postNotificationName(PaneNotifications::ThisSourceIsNowActiveNotification, nullptr,
        {{QStringLiteral("sourceTuple"), QVariant::fromValue(scofield)}});
    ASSERT_TRUE(waitFor([&] { return !said().isEmpty(); }));
    EXPECT_EQ(said(), QStringLiteral("There are no notes in %1.").arg(scofield->record().name));
    pane->paneView()->hide();
}

TEST_F(StudyPaneNotesList, AHostileNoteInTheListOpensNoFileItNames)
{
    // A synced note naming a local file (a huge one or a pipe would freeze the reader).
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("watched.png"));
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(path, "PNG"));
    ResourceWatch watch(path);
    ASSERT_TRUE(watch.valid());
    const QString url = QUrl::fromLocalFile(path).toString();
    bibleNote(kJohn316,
        QStringLiteral("<p>loved <img src=\"%1\"> <img src=\"%2\"></p><table background=\"%1\"><tr><td>cell</td>"
                       "</tr></table><p style=\"background-image:url('%1')\">styled</p>")
            .arg(path, url));
    ASSERT_TRUE(search(list, QStringLiteral("  ")));
    QTableView* table = list->searchResultsTableView();
    ASSERT_EQ(table->model()->rowCount(), 2);
    const QString cell = table->model()->index(1, 0).data(StudyPaneResultListModel::HtmlRole).toString();
    ASSERT_TRUE(cell.contains(path)) << cell.toStdString();
    // The list draws the note's cell.
    table->resize(400, 600);
    table->show();
    const QImage shown = table->viewport()->grab().toImage();
    EXPECT_FALSE(shown.isNull());
    EXPECT_FALSE(watch.touched()) << "the notes list opened a file the note names";
    // Tool tips of the list show the book's title and the rows' titles as written.
    QTextDocument tip;
    tip.setHtml(table->model()->headerData(0, Qt::Horizontal, Qt::ToolTipRole).toString());
    EXPECT_EQ(tip.toPlainText(), kjv->record().name);
    tip.setHtml(table->model()->index(1, 0).data(Qt::ToolTipRole).toString());
    EXPECT_EQ(tip.toPlainText(), table->model()->index(1, 0).data(Qt::DisplayRole).toString());
}

TEST_F(StudyPaneNotesList, AChangeOfOneNoteIsAppliedWithoutANewSearchOthersRunOneSearch)
{
    bibleNote(kJohn316, QStringLiteral("God so loved the world"));
    ASSERT_TRUE(search(list, QStringLiteral("world")));
    const int searches = list->searchesStarted();
    EXPECT_EQ(keysIn(0), std::set<quint32> {kJohn316});

    // Autosaves of one note: each is tested alone, no search starts.
    for (int i = 0; i < 5; ++i) {
        bibleNote(kGen11, QStringLiteral("the world was made, save %1").arg(i));
        m_screen->center.postNotificationName(kNotesChanged, nullptr,
            {{QStringLiteral("key"), kGen11}, {QStringLiteral("changed"), true}, {QStringLiteral("newNote"), i == 0}});
    }
    EXPECT_FALSE(list->isRerunPending());
    EXPECT_EQ(list->searchesStarted(), searches);
    EXPECT_EQ(keysIn(0), (std::set<quint32> {kJohn316, kGen11}));
    EXPECT_EQ(list->searchResultsTableView()->model()->rowCount(), 3);
    // An edit that no longer matches takes the row out; a deletion too.
    bibleNote(kGen11, QStringLiteral("in the beginning"));
    m_screen->center.postNotificationName(kNotesChanged, nullptr, {{QStringLiteral("key"), kGen11}});
    EXPECT_EQ(keysIn(0), std::set<quint32> {kJohn316});
    StudyPaneEnvironment screen = m_screen->environment();
    screen.notes = noteDocInstance();
    StudyPaneNotesListViewController::deleteNoteForKey(screen, kJohn316);
    EXPECT_TRUE(keysIn(0).empty());
    EXPECT_EQ(list->searchesStarted(), searches);
    // The result agrees with a fresh search.
    bibleNote(kRom828, QStringLiteral("the whole world"));
    m_screen->center.postNotificationName(kNotesChanged, nullptr, {{QStringLiteral("key"), kRom828}});
    const std::set<quint32> applied = keysIn(0);
    ASSERT_TRUE(search(list, QStringLiteral("world")));
    EXPECT_EQ(keysIn(0), applied);

    // Changes that name no note run the search again, once for any number of them.
    const int before = list->searchesStarted();
    for (int i = 0; i < 10; ++i)
        m_screen->center.postNotificationName(kNotesChanged);
    EXPECT_TRUE(list->isRerunPending());
    EXPECT_EQ(list->searchesStarted(), before);
    ASSERT_TRUE(waitFor([this] { return !list->isRerunPending(); }));
    EXPECT_EQ(list->searchesStarted(), before + 1);
    // "changed" NO changes nothing.
    m_screen->center.postNotificationName(kNotesChanged, nullptr, {{QStringLiteral("changed"), false}});
    EXPECT_FALSE(list->isRerunPending());
}

TEST_F(StudyPaneNotesList, JournalListSearchesTitledNotesAndKeepsNoRowsOfDeletedLayouts)
{
    ASSERT_TRUE(StudyPaneTest::userNotes().save(
        NoteLocation::journal(QStringLiteral("Morning prayer")), QStringLiteral("grace")));
    ASSERT_TRUE(StudyPaneTest::userNotes().save(
        NoteLocation::journal(QStringLiteral("Evening")), QStringLiteral("peace and grace")));
    ASSERT_TRUE(StudyPaneTest::userNotes().save(NoteLocation::journal(QStringLiteral("Noon")), QStringLiteral("work")));
    ASSERT_TRUE(search(journal, QStringLiteral("grace")));
    SearchResultsAggregator& agg = journal->searchResultsAggregator();
    EXPECT_TRUE(agg.isJournal());
    EXPECT_EQ(agg.countResultsInTableSection(0), 2u);
    EXPECT_EQ(pane->notesSearchResultsAggregatorForTupleID(SourceTupleID::sourceTupleIDForFakeJournalDoc()), &agg);
    EXPECT_EQ(pane->notesSearchResultsAggregatorForTupleID(kjv->sourceTupleID()), nullptr);

    // A journal row opens the note and goes nowhere.
    Recorder goTos(m_screen->center, LibraryNotifications::GoToNotification);
    Recorder shows(m_screen->center, LibraryNotifications::qsUserNoteLinkSelected);
    keepNoteViewerOut();
    journal->activateRow(1);
    EXPECT_TRUE(goTos.posts.isEmpty());
    ASSERT_EQ(shows.posts.size(), 1);
    const QString title = shows.posts[0].userInfo.value(QStringLiteral("journalTitle")).toString();
    EXPECT_TRUE(title == QStringLiteral("Evening") || title == QStringLiteral("Morning prayer")) << title.toStdString();
    // The add button asks for a new journal note in the editor.
    journal->onAddButton();
    ASSERT_EQ(shows.posts.size(), 2);
    EXPECT_TRUE(shows.posts[1].userInfo.value(QStringLiteral("edit")).toBool());
    EXPECT_TRUE(shows.posts[1].userInfo.value(QStringLiteral("journalTitle")).toString().isEmpty());
    EXPECT_TRUE(shows.posts[1].userInfo.contains(QStringLiteral("journalTitle")));

    // The journal's saved rows: one search's rows at a time for a layout, none for a layout that is
    // gone.
    noteDocInstance()->addJournalSearchResult(cLString16("EVENING"), 1, "no-such-layout", 3, 0);
    std::vector<cLString8> uuids;
    ASSERT_TRUE(noteDocInstance()->journalSearchLayoutIds(uuids));
    ASSERT_EQ(uuids.size(), 2u);
    m_screen->center.postNotificationName(LibraryNotifications::qsLayoutManagerAddedOrRemovedLayoutsNotification);
    uuids.clear();
    ASSERT_TRUE(noteDocInstance()->journalSearchLayoutIds(uuids));
    ASSERT_EQ(uuids.size(), 1u);
    EXPECT_EQ(std::string(uuids[0].chars()), m_screen->layout->uuidString().toStdString());
}

TEST_F(StudyPaneNotesList, JournalNotesWhoseTitlesDifferInCaseAreEachOpenedAndSavedAsThemselves)
{
    // The pair as another client or an older database writes it (this reader never makes it).
    ASSERT_TRUE(noteDocInstance()->bookNoteStore().exec(
        "INSERT INTO BookNotes (timestamp, pubid, bookid, edition, section, formname, fieldname, note, serverid, "
        "deleted) VALUES ('2024:05:06:07:08:09:000:01', 24326, 15184, 1, 1, 'Morning', 'Note', '<p>upper dawn</p>', "
        "0, 0), ('2024:05:06:07:08:09:000:01', 24326, 15184, 1, 1, 'morning', 'Note', '<p>lower dawn</p>', 0, 0)"));
    ASSERT_TRUE(search(journal, QStringLiteral("dawn")));
    ASSERT_EQ(journal->searchResultsAggregator().countResultsInTableSection(0), 2u);

    // Each row opens its own note: the viewer's place is the row's record (as section) and title.
    Recorder shows(m_screen->center, LibraryNotifications::qsUserNoteLinkSelected);
    keepNoteViewerOut();
    journal->activateRow(1);  // row 0 heads the list
    journal->activateRow(2);
    ASSERT_EQ(shows.posts.size(), 2);
    const NoteStore notes = StudyPaneTest::userNotes();
    std::map<QString, NoteLocation> chosen;
    for (const Notification& n : shows.posts) {
        NoteLocation l;
        l.source = SourceTupleID::sourceTupleIDForFakeJournalDoc();
        l.section = n.userInfo.value(QStringLiteral("section")).toUInt();
        l.journalTitle = n.userInfo.value(QStringLiteral("journalTitle")).toString();
        chosen[*l.journalTitle] = l;
    }
    ASSERT_EQ(chosen.size(), 2u);
    const NoteLocation upper = chosen[QStringLiteral("Morning")];
    const NoteLocation lower = chosen[QStringLiteral("morning")];
    EXPECT_NE(upper.section, lower.section);
    EXPECT_EQ(notes.read(upper).text, QStringLiteral("<p>upper dawn</p>"));
    EXPECT_EQ(notes.read(lower).text, QStringLiteral("<p>lower dawn</p>"));
    EXPECT_EQ(notes.read(lower).recordID, qint64(lower.section));

    // An edit typed into one is saved into that one only, by record and by title alike.
    ASSERT_TRUE(notes.save(lower, QStringLiteral("<p>lower, edited</p>")));
    EXPECT_EQ(
        notes.read(NoteLocation::journal(QStringLiteral("morning"))).text, QStringLiteral("<p>lower, edited</p>"));
    EXPECT_EQ(notes.read(NoteLocation::journal(QStringLiteral("Morning"))).text, QStringLiteral("<p>upper dawn</p>"));
    ASSERT_TRUE(notes.save(NoteLocation::journal(QStringLiteral("Morning")), QStringLiteral("<p>upper, edited</p>")));
    EXPECT_EQ(notes.read(upper).text, QStringLiteral("<p>upper, edited</p>"));
    EXPECT_EQ(notes.read(lower).text, QStringLiteral("<p>lower, edited</p>"));

    // A change of letter case made in the viewer respells the chosen note's own record.
    NoteLocation respelled = lower;
    respelled.journalTitle = QStringLiteral("MORNING");
    EXPECT_TRUE(notes.namesLiveJournalRecord(respelled));
    ASSERT_TRUE(notes.save(respelled, QStringLiteral("<p>lower, edited</p>")));
    EXPECT_EQ(notes.read(NoteLocation::journal(QStringLiteral("MORNING"))).recordID, qint64(lower.section));
    EXPECT_EQ(notes.read(upper).text, QStringLiteral("<p>upper, edited</p>"));
    respelled.journalTitle = QStringLiteral("Evening");  // another title names another note
    EXPECT_FALSE(notes.namesLiveJournalRecord(respelled));

    // Deleting one by its title leaves the other; a title typed in neither spelling still finds one.
    ASSERT_TRUE(notes.remove(NoteLocation::journal(QStringLiteral("MORNING"))));
    EXPECT_FALSE(notes.readBookNoteByRecordID(qint64(lower.section)).found);
    EXPECT_EQ(notes.read(upper).text, QStringLiteral("<p>upper, edited</p>"));
    EXPECT_EQ(
        notes.read(NoteLocation::journal(QStringLiteral("morning"))).text, QStringLiteral("<p>upper, edited</p>"));
}

TEST_F(StudyPaneNotesList, LibrarySearchListsTheBooksHoldingAWordWithTheirCounts)
{
    library->view();
    QTableView* table = library->searchResultsTableView();
    const QString allSearched = QStringLiteral("%1 Books in Library").arg(s_library->allSources()->count());
    const auto searched = [table, &allSearched] {
        return table->model()->headerData(0, Qt::Horizontal).toString() == allSearched;
    };
    library->searchField()->setText(QStringLiteral("faith"));
    library->searchStringEntered();
    EXPECT_EQ(library->searchProgressCount(), double(s_library->allSources()->count()));
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(),
        QStringLiteral("Searched 0 of %1 Books in Library").arg(s_library->allSources()->count()));
    ASSERT_TRUE(waitFor(searched));
    const QAbstractItemModel* rows = table->model();
    const auto exact = [rows](int r) {
        return rows->index(r, 0).data(StudyPaneLibrarySearchViewController::ExactCountRole).toUInt();
    };
    ASSERT_EQ(rows->rowCount(), int(s_library->allSources()->count()));
    int kjvIndex = -1;
    for (int r = 0; r < rows->rowCount(); ++r) {
        EXPECT_TRUE(r == 0 || exact(r - 1) >= exact(r)) << r;
        // Every row shows both counts, as labelled text.
        EXPECT_EQ(rows->index(r, 0).data(Qt::AccessibleDescriptionRole).toString(),
            QStringLiteral("Exact Match: %1, All Words: %2")
                .arg(exact(r))
                .arg(rows->index(r, 0).data(StudyPaneLibrarySearchViewController::AllWordsCountRole).toUInt()));
        if (rows->index(r, 0).data().toString() == kjv->record().name)
            kjvIndex = r;
    }
    // The KJV's count is the number of its verses that hold the word.
    ASSERT_GE(kjvIndex, 0);
    EXPECT_EQ(exact(kjvIndex), versesWithWord(QStringLiteral("faith")).size());

    // Choosing the KJV goes to its first hit and hands the query to Find.
    Recorder goTos(m_screen->center, LibraryNotifications::GoToNotification);
    Recorder handOver(m_screen->center, StudyPaneNotifications::StartSearchWithLibrarySearchResultsNotification);
    library->activateRow(kjvIndex);
    ASSERT_EQ(goTos.posts.size(), 1);
    const GoToRequest r = GoToRequest::of(goTos.posts[0]);
    EXPECT_EQ(r.sourceTupleID, kjv->sourceTupleID());
    EXPECT_EQ(kjv->locations().keyForSection(quint32(r.section.value_or(0))),
        *versesWithWord(QStringLiteral("faith")).begin());
    EXPECT_TRUE(r.activatePane);
    ASSERT_EQ(handOver.posts.size(), 1);
    EXPECT_EQ(handOver.posts[0].userInfo.value(QStringLiteral("searchSpec")).toString(), QStringLiteral("faith"));

    // A verse reference runs two searches per book; a second search replaces the first at once.
    library->searchField()->setText(QStringLiteral("grace"));
    library->searchStringEntered();
    const quint64 first = library->searchID();
    library->searchField()->setText(QStringLiteral("Romans 8:28"));
    library->searchStringEntered();
    EXPECT_EQ(library->searchID(), first + 1);
    EXPECT_EQ(rows->rowCount(), 0);
    ASSERT_TRUE(waitFor(searched));
    EXPECT_EQ(library->searchProgressCount(), double(s_library->allSources()->count()));
    EXPECT_EQ(library->searchProgressCompleted(), library->searchProgressCount());
    // A reference has no "All Words" runs: its rows still show that count, as 0.
    ASSERT_GT(rows->rowCount(), 0);
    for (int r = 0; r < rows->rowCount(); ++r)
        EXPECT_TRUE(rows->index(r, 0).data(Qt::AccessibleDescriptionRole).toString().endsWith(", All Words: 0")) << r;
    EXPECT_TRUE(StudyPaneLibrarySearchViewController::isVerseReference(QStringLiteral("John 3:16")));
    EXPECT_FALSE(StudyPaneLibrarySearchViewController::isVerseReference(QStringLiteral("John")));
    EXPECT_EQ(StudyPaneLibrarySearchViewController::searchRequests(false).size(), 4u);
    EXPECT_EQ(StudyPaneLibrarySearchViewController::searchRequests(true).size(), 2u);
    // The menu lists the recent searches, the latest first.
    QMenu* menu = openedMenu(control<QToolButton>(library, "searchMenuButton"));
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* a : menu->actions())
        if (a->data().toInt() == 1001)
            texts.append(a->text());
    EXPECT_EQ(texts, (QStringList {QStringLiteral("Romans 8:28"), QStringLiteral("grace"), QStringLiteral("faith")}));
}

// The study pane in the main window of a running reader: Find searches the King James book pane for
// "faith AND love" and a click on a hit sends the book pane there (the screenshot is saved), the
// Study Pane command hides and shows the pane, the navigator follows the Bible pane, and the pane's
// width and tab come back after a restart; the note commands reach their sub-panes and the format
// commands the note editor; a navigator heading hands its verse to Find, whose column names that book;
// a book installed again before the first study is a new book of the autostudy lists.

#include "app/ProgramParts.h"
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "app/WindowNotice.h"
#include "app/preferences/NavigatorSettingsWindowController.h"
#include "engine/references/BibleRef.h"
#include "engine/references/cBibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageScheme.h"
#include "platform/AppFolders.h"
#include "platform/SaveFailureAlerts.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"
#include "reports/AutoStudyElements.h"
#include "reports/AutoStudyManager.h"
#include "search/execution/SearchExecutor.h"
#include "search/execution/SearchResultsAggregator.h"
#include "studypane/StudyPaneHitList.h"
#include "studypane/StudyPaneLibrarySearchViewController.h"
#include "studypane/StudyPaneNavigatorViewController.h"
#include "studypane/StudyPaneNoteEditor.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"
#include "studypane/StudyPaneNotesListViewController.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneResultListModel.h"
#include "studypane/StudyPaneSearchResultsViewController.h"
#include "studypane/StudyPaneTabs.h"
#include "studypane/StudyPaneViewController.h"
#include "studypane/notes/NoteStore.h"
#include "support/RecordingAlerts.h"
#include "userdata/cSQLiteDbBase.h"

#include "ReaderTestProgram.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <optional>

namespace {

using reader_test::waitFor;

class StudyPaneWindow : public reader_test::ReaderWindow {
protected:
    static void SetUpTestSuite() { startProgram("studypane-window-test"); }

    // Every test leaves the profile the program's tests share as it found it: the screen layout (a
    // book opened in a pane stays there in the layout saved at quit), and no note on the verses the
    // tests write notes to (the program starts without any). So each test runs alike alone and after
    // the others.
    void SetUp() override
    {
        ReaderWindow::SetUp();
        m_layoutsBefore = readFile(QuillsteadAppController::appLayoutArchiveFile());
    }
    void TearDown() override
    {
        // The notes are reached only once the reader has opened them, where it keeps them.
        const bool launched = m_controller != nullptr;
        ReaderWindow::TearDown();
        const QString archive = QuillsteadAppController::appLayoutArchiveFile();
        if (!m_layoutsBefore) {
            QFile::remove(archive);
        } else if (readFile(archive) != m_layoutsBefore) {
            QFile f(archive);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(*m_layoutsBefore) >= 0);
        }
        if (!launched)
            return;
        const NoteStore notes = reader_test::programNotes();
        for (const quint32 key : kNotedVerses) {
            if (notes.exists(NoteLocation::bible(key))) {
                EXPECT_TRUE(notes.remove(NoteLocation::bible(key)));
            }
        }
    }
    static std::optional<QByteArray> readFile(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return std::nullopt;
        return f.readAll();
    }
    // Two commentaries and a second Bible, for the navigator to search.
    QStringList sampleBooks() const override
    {
        return {QStringLiteral("Scofield.tvk"), QStringLiteral("TreasuryOfDavid.tvk"), QStringLiteral("WEB.tvk")};
    }

    // Sends the book to a verse through the go-to routing, as the Bible go-to does (into the current
    // pane, or a pane of its own with activatePane).
    static void goToVerse(const SourceTuple::Ptr& book, quint32 key, bool activatePane = false)
    {
        GoToRequest go;
        go.layoutUuid = reader_test::programEnvironment().layoutManager().currentLayout()->uuidString();
        go.sourceTuple = book;
        go.bibleKey = key;
        go.section = book->locations().sectionForBibleKey(key);
        go.sync = true;
        go.activate = true;
        go.activatePane = activatePane;
        go.post(NotificationCenter::defaultCenter(), nullptr);
    }

    // Puts the keys into the text of a note editor as a click there does; the widget the keys then go
    // to, null when the text did not take them.
    static QWidget* keysIntoNoteEditor(QWebEngineView* editor)
    {
        editor->setFocus(Qt::MouseFocusReason);
        if (!TestSupport::runScript(editor->page(), QStringLiteral("qsFocusEditor(); true")).has_value() ||
            !TestSupport::waitForScript(
                editor->page(), QStringLiteral("document.activeElement === qsEditorElement()"), true))
            return nullptr;
        return editor->focusProxy() != nullptr ? editor->focusProxy() : editor;
    }

    // Opens the Notes sub-pane and the note on John 3:17 in its rich editor, as its link does; the
    // editor once its page is ready, else null.
    static QWebEngineView* openNoteEditorOnJohn317(
        QuillsteadWindowController* window, const SourceTuple::Ptr& kjv, StudyPaneViewController* study)
    {
        if (!reader_test::choose(window, CommandNames::Notes))
            return nullptr;
        StudyPaneNoteViewEditViewController* notes = study->studyPaneNoteViewEditViewController();
        if (notes == nullptr)
            return nullptr;
        NotificationCenter::defaultCenter().postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, nullptr,
            {{QStringLiteral("source"), bookVariant(kjv)}, {QStringLiteral("key"), makeBibleKey(43, 3, 17)},
                {QStringLiteral("edit"), true}});
        if (notes->selectedTab() != StudyPaneNoteViewEditViewController::RichEditTab)
            return nullptr;
        QWebEngineView* editor = notes->webView(StudyPaneNoteViewEditViewController::RichEditTab);
        return waitFor([editor] { return static_cast<NoteWebView*>(editor)->isPageReady(); }) ? editor : nullptr;
    }

    static constexpr quint32 kNotedVerses[] = {makeBibleKey(43, 3, 16), makeBibleKey(43, 3, 17)};
    std::optional<QByteArray> m_layoutsBefore;
};

}  // namespace

TEST_F(StudyPaneWindow, EveryTabsCommandShowsItsTab)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    // Backwards through the table, so that each command has to move the selection.
    const auto tabs = StudyPaneTabs::all();
    for (auto row = tabs.rbegin(); row != tabs.rend(); ++row) {
        SCOPED_TRACE(row->command.id->name);
        EXPECT_TRUE(reader_test::choose(window, *row->command.id));
        EXPECT_EQ(study->tabs().selected(), row->id);
        EXPECT_NE(study->subpaneViewController(), nullptr);
        EXPECT_EQ(study->subpaneViewController(), study->subpane(row->slot));
    }
}

TEST_F(StudyPaneWindow, FindShowsFaithAndLoveInTheKingJamesAndAClickGoesThere)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    ASSERT_EQ(kjv->record().bookID, 101);

    // The Find command (the Navigator first, so that Find has to come back).
    EXPECT_TRUE(reader_test::choose(window, CommandNames::LibraryNavigator));
    EXPECT_EQ(study->subpaneViewController(), study->subpane(StudyPaneViewController::kNavigatorSubpane));
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Find));
    auto* find =
        dynamic_cast<StudyPaneSearchResultsViewController*>(study->subpane(StudyPaneViewController::kSearchSubpane));
    ASSERT_EQ(study->subpaneViewController(), find);
    EXPECT_TRUE(find->searchField()->isVisible());

    find->searchField()->setText(QStringLiteral("faith AND love"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(find->searchField(), &enter);
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
    SearchResultsAggregator& agg = find->aggregator();
    EXPECT_EQ(agg.searchedSourceTupleID, SourceTupleID::sourceTupleIDForTuple(*kjv));
    QTableView* table = find->searchResultsTableView();
    ASSERT_GT(table->model()->rowCount(), 1);
    EXPECT_EQ(table->model()->rowCount(), agg.numRows());
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), kjv->record().name);
    // The book panes mark the hits of the search they show.
    EXPECT_EQ(panes()->view()->searchResultsAggregatorForTuple(SourceTupleID::sourceTupleIDForTuple(*kjv)), &agg);

    // The first hit: its row is as wide as the table, and a click sends the King James pane there.
    int firstHit = 0;
    while (agg.tablePathForRow(firstHit).tableRowNum < 0)
        ++firstHit;
    const QModelIndex hit = table->model()->index(firstHit, 0);
    const QRect cell = table->visualRect(hit);
    EXPECT_GE(cell.width(), table->viewport()->width() - 1);
    // Room for the verse below its title, once the list has fitted its rows (a moment after the rows come).
    EXPECT_TRUE(waitFor([&] { return table->rowHeight(firstHit) > 60; })) << table->rowHeight(firstHit);
    const quint32 section = agg.positionValueForTablePath(agg.tablePathForRow(firstHit));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, QPointF(cell.center()), table->viewport()->mapToGlobal(QPointF(cell.center())),
            Qt::LeftButton, type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(table->viewport(), &click);
    }
    Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    LayoutBookPane* kjvPane = asBookPane(layout->contentsAt(size_t(kjvRegion()))->viewController());
    ASSERT_NE(kjvPane, nullptr);
    EXPECT_TRUE(waitFor([&] { return kjvPane->currentSourceSection() == section; }))
        << kjvPane->currentSourceSection() << " " << section;
    EXPECT_EQ(study->recentGoToVerseKeys().value(0), kjv->locations().keyForSection(section));

    table->scrollToTop();
    EXPECT_TRUE(waitFor(
        [find] { return find->view()->findChild<QProgressBar*>(QStringLiteral("searchProgress"))->isHidden(); }));
    EXPECT_TRUE(TestSupport::waitForViewsPainted(window->window()));
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(window->window()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/find-results.png")));
}

// Find's results by keyboard: Down from the field enters them at the first result, drawn as current
// (chosen, with the focus); Down moves on without going anywhere, and Return opens the current one.
// A row is as tall as the lines it shows, and painting the list again lays out no row again.
TEST_F(StudyPaneWindow, FindsResultsAreWalkedByKeyboardRowsAsTallAsTheirLines)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_TRUE(reader_test::pressKeys(window, QKeySequence(QStringLiteral("Ctrl+F"))));
    auto* find =
        dynamic_cast<StudyPaneSearchResultsViewController*>(study->subpane(StudyPaneViewController::kSearchSubpane));
    ASSERT_TRUE(waitFor([&] { return study->subpaneViewController() == find; }));
    QLineEdit* field = find->searchField();
    field->clear();
    QTest::keyClicks(field, QStringLiteral("love"));
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
    SearchResultsAggregator& agg = find->aggregator();
    QTableView* table = find->searchResultsTableView();
    ASSERT_GT(table->model()->rowCount(), 3);
    Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    LayoutBookPane* kjvPane = asBookPane(layout->contentsAt(size_t(kjvRegion()))->viewController());
    ASSERT_NE(kjvPane, nullptr);
    const quint64 shown = kjvPane->currentSourceSection();

    QTest::keyClick(field, Qt::Key_Down);
    int firstHit = 0;
    while (agg.tablePathForRow(firstHit).tableRowNum < 0)
        ++firstHit;
    EXPECT_TRUE(table->hasFocus() || QApplication::focusWidget() == table);
    EXPECT_EQ(table->currentIndex().row(), firstHit);
    EXPECT_TRUE(table->selectionModel()->isRowSelected(firstHit, {}));
    QTest::keyClick(table, Qt::Key_Down);
    const int next = firstHit + 1;
    ASSERT_GE(agg.tablePathForRow(next).tableRowNum, 0);
    EXPECT_EQ(table->currentIndex().row(), next);
    EXPECT_TRUE(table->selectionModel()->isRowSelected(next, {}));
    QTest::qWait(50);
    EXPECT_EQ(kjvPane->currentSourceSection(), shown) << "a key that moves the current result opened it";
    const quint32 section = agg.positionValueForTablePath(agg.tablePathForRow(next));
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return kjvPane->currentSourceSection() == section; }))
        << kjvPane->currentSourceSection() << " " << section;
    EXPECT_EQ(table->currentIndex().row(), next);

    // Every hit row in view is as tall as its title and the whole lines of its verse it shows, and
    // short verses make short rows.
    table->scrollToTop();
    EXPECT_TRUE(TestSupport::waitForViewsPainted(window->window()));
    QFont bold = table->font();
    bold.setBold(true);
    const int title = QFontMetrics(bold).height();
    const int most = StudyPaneHitDelegate::titleAndTextRowHeight(
        &UserDefaults::standardUserDefaults(), table->font(), StudyPaneHitList::kLargeRowTextLines);
    const int width = table->columnWidth(0) - 8;
    int rowsSeen = 0, shortRows = 0;
    for (int row = 0; row < table->model()->rowCount() && table->rowViewportPosition(row) < table->viewport()->height();
         ++row) {
        const QModelIndex index = table->model()->index(row, 0);
        if (index.data(StudyPaneResultListModel::KindRole).toInt() != StudyPaneResultListModel::LargeHit)
            continue;
        const QString html = index.data(StudyPaneResultListModel::HtmlRole).toString();
        const int text = table->rowHeight(row) - title - 3;
        EXPECT_EQ(StudyPaneHitDelegate::htmlHeight(html, table->font(), width, text), text) << "row " << row;
        EXPECT_LE(table->rowHeight(row), most);
        ++rowsSeen;
        shortRows += table->rowHeight(row) < most ? 1 : 0;
    }
    EXPECT_GT(rowsSeen, 2);
    EXPECT_GT(shortRows, 0);
    const int made = StudyPaneHitDelegate::documentsMade();
    for (int i = 0; i < 3; ++i)
        table->viewport()->repaint();
    EXPECT_EQ(StudyPaneHitDelegate::documentsMade(), made) << "a row's text was laid out again for a paint";
}

TEST_F(StudyPaneWindow, TheStudyPaneCommandTheNavigatorAndTheWidthAfterARestart)
{
    QuillsteadAppController& app = launch();
    QuillsteadWindowController* window = app.mainWindowController();
    LayoutView* view = panes()->view();
    StudyPaneViewController* study = studyPane();
    ASSERT_NE(study, nullptr);
    ASSERT_TRUE(window->isStudyPaneVisible());

    // The Study Pane command hides the pane and shows it again at the default width.
    EXPECT_TRUE(reader_test::choose(window, CommandNames::StudyPanel));
    EXPECT_FALSE(window->isStudyPaneVisible());
    EXPECT_DOUBLE_EQ(view->studyPaneWidth(), LayoutView::kHiddenStudyPaneWidth);
    EXPECT_EQ(study->subpaneViewController(), nullptr);
    EXPECT_TRUE(reader_test::choose(window, CommandNames::StudyPanel));
    EXPECT_TRUE(window->isStudyPaneVisible());
    EXPECT_DOUBLE_EQ(view->studyPaneWidth(), LayoutViewController::defaultStudyPaneWidth());
    EXPECT_NE(study->subpaneViewController(), nullptr);
    // The window's layouts and the pane manager give a study pane one width.
    EXPECT_DOUBLE_EQ(QuillsteadWindowController::defaultStudyPaneWidth(), 290);
    EXPECT_DOUBLE_EQ(LayoutViewController::defaultStudyPaneWidth(), 290);

    // The navigator, updating itself, follows the King James pane to Romans 8:28.
    UserDefaults::standardUserDefaults().set(SettingsKeys::AutoUpdateNavigator, true);
    EXPECT_TRUE(reader_test::choose(window, CommandNames::LibraryNavigator));
    auto* navigator =
        dynamic_cast<StudyPaneNavigatorViewController*>(study->subpane(StudyPaneViewController::kNavigatorSubpane));
    ASSERT_EQ(study->subpaneViewController(), navigator);
    navigator->onAutoCheckBox(true);
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    goToVerse(kjv, makeBibleKey(45, 8, 28));
    const QAbstractItemModel* places = navigator->searchResultsTableView()->model();
    EXPECT_TRUE(waitFor([places] { return places->headerData(0, Qt::Horizontal) == QStringLiteral("Romans 8:28"); }))
        << places->headerData(0, Qt::Horizontal).toString().toStdString();
    EXPECT_TRUE(waitFor([navigator] { return navigator->isComplete(); }));
    // The commentaries the navigator settings choose by default: Scofield's notes on Romans 8:28.
    bool scofield = false;
    for (const auto& book : navigator->results())
        scofield = scofield || (book.book != nullptr && book.book->record().bookID == 110 && book.total() > 0);
    if (QFile::exists(QStringLiteral(QS_BINARY_DIR "/library/Scofield.tvk"))) {
        EXPECT_TRUE(scofield);
    }
    EXPECT_GT(navigator->numberOfRows(), 0);
    // Its settings button opens the navigator settings over the main window; closing them searches again.
    ASSERT_TRUE(navigator->view()->findChild<QToolButton*>(QStringLiteral("settingsButton"))->isEnabled());
    const quint64 searches = navigator->searchID();
    QWidget* parent = nullptr;
    auto* settingsButton = navigator->view()->findChild<QToolButton*>(QStringLiteral("settingsButton"));
    const bool opened = TestSupport::whenShown<NavigatorSettingsWindowController>(
        [settingsButton] { QTest::mouseClick(settingsButton, Qt::LeftButton); },
        [&parent](NavigatorSettingsWindowController* settings) {
            parent = settings->parentWidget();
            settings->close();
        });
    ASSERT_TRUE(opened) << "the navigator settings did not open";
    EXPECT_EQ(parent, window->window());
    EXPECT_GT(navigator->searchID(), searches);
    EXPECT_TRUE(waitFor([navigator] { return navigator->isComplete(); }));

    EXPECT_TRUE(TestSupport::waitForViewsPainted(window->window()));
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(window->window()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/navigator.png")));

    // A width of 350 and the Navigator tab come back with the layouts.
    study->paneView()->boxPressed(study->paneView()->expandContractBox()->geometry().center());
    study->paneView()->boxDragged(QPoint(350 - 3, 10));
    study->paneView()->boxReleased();
    EXPECT_NEAR(view->studyPaneWidth(), 350, 1);
    const double width = view->studyPaneWidth();
    quit();

    launch();
    StudyPaneViewController* again = studyPane();
    ASSERT_NE(again, nullptr);
    EXPECT_NEAR(panes()->view()->studyPaneWidth(), width, 0.5);
    EXPECT_NEAR(again->manualStudyPaneWidth(), width, 0.5);
    ASSERT_NE(again->state(), nullptr);
    EXPECT_EQ(again->state()->selectedTabID, 9);
    EXPECT_EQ(again->subpaneViewController(), again->subpane(StudyPaneViewController::kNavigatorSubpane));
}

TEST_F(StudyPaneWindow, NoteCommandsReachTheirSubpanesAndFormattingTheRichEditor)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    EXPECT_TRUE(reader_test::choose(window, CommandNames::FindInNotes));
    EXPECT_EQ(study->subpaneViewController(), study->subpane(StudyPaneViewController::kNotesListSubpane));
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Journal));
    EXPECT_EQ(study->subpaneViewController(), study->subpane(StudyPaneViewController::kJournalListSubpane));
    EXPECT_TRUE(reader_test::choose(window, CommandNames::LibrarySearch));
    EXPECT_EQ(study->subpaneViewController(), study->subpane(StudyPaneViewController::kLibrarySearchSubpane));
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Notes));
    StudyPaneNoteViewEditViewController* notes = study->studyPaneNoteViewEditViewController();
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(study->subpaneViewController(), notes);

    // The format commands wait for the rich editor.
    const CommandId formats[] = {CommandNames::FormatMenu, CommandNames::FontMenu, CommandNames::ListsMenu,
        CommandNames::ParagraphStyleMenu, CommandNames::Bold, CommandNames::Italic, CommandNames::Underline,
        CommandNames::OrderedList, CommandNames::UnorderedList, CommandNames::Paragraph, CommandNames::Heading1,
        CommandNames::Heading2, CommandNames::Heading3};
    window->actions().updateStates();
    for (const CommandId& id : formats)
        EXPECT_FALSE(window->actions().action(id)->isEnabled()) << id.name;
    EXPECT_FALSE(reader_test::choose(window, CommandNames::Bold));
    NotificationCenter::defaultCenter().postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, nullptr,
        {{QStringLiteral("source"), bookVariant(kjv)}, {QStringLiteral("key"), makeBibleKey(43, 3, 16)},
            {QStringLiteral("edit"), true}});
    ASSERT_EQ(notes->selectedTab(), StudyPaneNoteViewEditViewController::RichEditTab);
    window->actions().updateStates();
    for (const CommandId& id : formats)
        EXPECT_TRUE(window->actions().action(id)->isEnabled()) << id.name;
    QWebEngineView* editor = notes->webView(StudyPaneNoteViewEditViewController::RichEditTab);
    ASSERT_TRUE(waitFor([editor] { return static_cast<NoteWebView*>(editor)->isPageReady(); }));
    ASSERT_TRUE(TestSupport::runScript(editor->page(),
        QStringLiteral("qsFocusEditor(); document.execCommand('insertText', false, "
                       "'bold words'); document.execCommand('selectAll');"))
                    .has_value());
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Bold));
    notes->selectTab(StudyPaneNoteViewEditViewController::ViewTab);
    EXPECT_TRUE(waitFor([] {
        const QString text = reader_test::programNotes().read(NoteLocation::bible(makeBibleKey(43, 3, 16))).text;
        return text.contains(QStringLiteral("<b>bold words</b>")) || text.contains(QStringLiteral("<strong>"));
    }));
}

// A note typed while the database refuses every write: the autosave's failure is said on the
// window's notice line, never in an alert that would take the keys, so what is typed after it all
// reaches the editor. Ctrl+Q then offers the typed text before the reader ends, and the user's
// "Copy" puts it on the clipboard.
TEST_F(StudyPaneWindow, ARefusedNoteSaveIsSaidBesideTheTypingAndQuittingOffersItsText)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    QWebEngineView* editor = openNoteEditorOnJohn317(window, kjv, study);
    ASSERT_NE(editor, nullptr) << "the note on John 3:17 did not open in the rich editor";
    StudyPaneNoteViewEditViewController* notes = study->studyPaneNoteViewEditViewController();
    // The recorder the program installed (the window holds it; a new one would not be asked).
    auto* alerts = dynamic_cast<RecordingAlerts*>(&Alerts::shared());
    ASSERT_NE(alerts, nullptr);
    alerts->clear();
    // The database refuses every write from here on, as a read-only file or a full disk does.
    ASSERT_EQ(sqlite3_exec(cSQLiteDbBase::connectionHandle(), "PRAGMA query_only = ON", nullptr, nullptr, nullptr),
        SQLITE_OK);
    const auto writable = qScopeGuard([] {
        sqlite3_exec(cSQLiteDbBase::connectionHandle(), "PRAGMA query_only = OFF", nullptr, nullptr, nullptr);
        SaveFailureAlerts::reset();
    });
    window->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window->window()));
    QWidget* keys = keysIntoNoteEditor(editor);
    ASSERT_NE(keys, nullptr);
    QTest::keyClicks(keys, QStringLiteral("words the disk refused"));
    ASSERT_TRUE(waitFor([notes] { return notes->webViewHasBeenEdited(); }));

    // The autosave fails while the user goes on typing: said beside the window, no alert.
    WindowNotice* notice = window->notice();
    ASSERT_NE(notice, nullptr);
    ASSERT_TRUE(waitFor(
        [&] {
            return notice->message().contains(QStringLiteral("could not save your note on John 3:17")) ||
                !alerts->shown().isEmpty();
        },
        (StudyPaneNoteViewEditViewController::kAutosaveSeconds + 30) * 1000))
        << notice->message().toStdString();
    ASSERT_TRUE(alerts->shown().isEmpty())
        << "an alert opened under the typing: " << alerts->shown()[0].messageText.toStdString();
    EXPECT_TRUE(notice->informativeText().contains(QStringLiteral("Its text stays in the editor")))
        << notice->informativeText().toStdString();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" and typed on"));
    EXPECT_TRUE(TestSupport::waitForScript(editor->page(),
        QStringLiteral("qsEditorElement().textContent === 'words the disk refused and typed on'"), true))
        << TestSupport::runScript(editor->page(), QStringLiteral("qsEditorElement().textContent"))
               .value_or(QVariant())
               .toString()
               .toStdString();
    EXPECT_TRUE(alerts->shown().isEmpty());

    alerts->queueAnswer(AlertSecondButtonReturn);  // "Copy"
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    ASSERT_TRUE(reader_test::pressKeys(window, QKeySequence(QStringLiteral("Ctrl+Q"))));
    sqlite3_exec(cSQLiteDbBase::connectionHandle(), "PRAGMA query_only = OFF", nullptr, nullptr, nullptr);
    EXPECT_FALSE(window->window()->isVisible());
    QStringList messages;
    for (const Alert& a : alerts->shown())
        messages << a.messageText;
    // Only the offer: the failure was said already.
    EXPECT_EQ(messages, QStringList {QStringLiteral("The note \"John 3:17\" could not be saved.")})
        << messages.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("words the disk refused and typed on"));
    EXPECT_FALSE(reader_test::programNotes().exists(NoteLocation::bible(makeBibleKey(43, 3, 17))));
}

// A note typed on John 3:16 puts its link beside the verse; emptying it in Rich Edit (select all,
// Delete) and going to View deletes it: the database keeps only its tombstone, the King James page
// loses the link at once, and the viewer says there is no note.
TEST_F(StudyPaneWindow, ANoteClearedInRichEditIsDeletedAndItsLinkGoesAtOnce)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    const quint32 key = makeBibleKey(43, 3, 16);
    goToVerse(kjv, key);
    Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    LayoutBookPane* pane = asBookPane(layout->contentsAt(size_t(kjvRegion()))->viewController());
    ASSERT_NE(pane, nullptr);
    BookPageView* page = pane->paneView()->findChild<BookPageView*>();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(waitFor([&] { return TestSupport::pageText(page->page()).contains(QStringLiteral("begotten")); }));
    const QString hasLink = QStringLiteral("document.querySelector('a[href*=\"note:_043003016000\"]') !== null");
    ASSERT_TRUE(TestSupport::waitForScript(page->page(), hasLink, false)) << "a note link before the note";

    // The note is typed in the rich editor and saved by View: the verse gets its link.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Notes));
    StudyPaneNoteViewEditViewController* notes = study->studyPaneNoteViewEditViewController();
    ASSERT_NE(notes, nullptr);
    NotificationCenter::defaultCenter().postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, nullptr,
        {{QStringLiteral("source"), bookVariant(kjv)}, {QStringLiteral("key"), key}, {QStringLiteral("edit"), true}});
    ASSERT_EQ(notes->selectedTab(), StudyPaneNoteViewEditViewController::RichEditTab);
    NoteWebView* editor = notes->webView(StudyPaneNoteViewEditViewController::RichEditTab);
    ASSERT_TRUE(waitFor([editor] { return editor->isPageReady(); }));
    auto* tabs = notes->view()->findChild<QTabBar*>(QStringLiteral("tabView"));
    ASSERT_NE(tabs, nullptr);
    const auto click = [tabs](StudyPaneNoteViewEditViewController::Tab tab) {
        QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(tab).center());
    };
    QWidget* keys = keysIntoNoteEditor(editor);
    ASSERT_NE(keys, nullptr);
    QTest::keyClicks(keys, QStringLiteral("God so loved"));
    QTest::keyClick(keys, Qt::Key_Return);
    QTest::keyClicks(keys, QStringLiteral("the world"));
    ASSERT_TRUE(waitFor([notes] { return notes->webViewHasBeenEdited(); }));
    ASSERT_TRUE(waitFor([&] {
        const StudyPaneNoteEditor::Page* held = notes->noteEditor()->pageShownBy(editor);
        return held != nullptr && held->latest.contains(QStringLiteral("the world"));
    }));
    click(StudyPaneNoteViewEditViewController::ViewTab);
    ASSERT_TRUE(reader_test::programNotes().exists(NoteLocation::bible(key)));
    EXPECT_TRUE(TestSupport::waitForScript(page->page(), hasLink, true)) << "the new note has no link";

    // Rich Edit again: select all, Delete, View.
    click(StudyPaneNoteViewEditViewController::RichEditTab);
    ASSERT_TRUE(waitFor([editor] { return editor->isPageReady(); }));
    ASSERT_TRUE(TestSupport::waitForScript(
        editor->page(), QStringLiteral("qsEditorElement().textContent.indexOf('the world') >= 0"), true));
    keys = keysIntoNoteEditor(editor);
    ASSERT_NE(keys, nullptr);
    QTest::keyClick(keys, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(keys, Qt::Key_Delete);
    ASSERT_TRUE(waitFor([&] {
        const StudyPaneNoteEditor::Page* held = notes->noteEditor()->pageShownBy(editor);
        return held != nullptr && held->latestChange > 0 && !held->latest.contains(QStringLiteral("world")) &&
            notes->webViewHasBeenEdited();
    })) << "the editor did not push its emptied content";
    click(StudyPaneNoteViewEditViewController::ViewTab);

    // Deleted, not stored as a blank note: the database keeps its tombstone only.
    EXPECT_FALSE(reader_test::programNotes().exists(NoteLocation::bible(key)))
        << "stored as: " << reader_test::programNotes().read(NoteLocation::bible(key)).text.toStdString();
    {
        sqlite3_stmt* rows = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(cSQLiteDbBase::connectionHandle(),
                      "SELECT deleted, note FROM BibleNotes WHERE booknum = 43 AND chapter = 3 AND verse = 16", -1,
                      &rows, nullptr),
            SQLITE_OK);
        int live = 0, tombstones = 0;
        while (sqlite3_step(rows) == SQLITE_ROW)
            (sqlite3_column_int(rows, 0) != 0 ? tombstones : live) += 1;
        sqlite3_finalize(rows);
        EXPECT_EQ(live, 0);
        EXPECT_GE(tombstones, 1);
    }
    EXPECT_TRUE(waitFor([&] {
        return TestSupport::runScript(page->page(), hasLink).value_or(QVariant(true)).toBool() == false;
    })) << "the deleted note's link stays on the page";
    EXPECT_EQ(notes->view()->findChild<QLineEdit*>(QStringLiteral("noteTitleTextField"))->text(),
        QStringLiteral("No Note to View"));
    EXPECT_EQ(notes->selectedTab(), StudyPaneNoteViewEditViewController::ViewTab);
}

// The item of a menu (or of a submenu of it) the user reads as text; null when there is none.
QAction* menuItem(QMenu* menu, const QString& text)
{
    for (QAction* item : menu->actions())
        if (!item->isSeparator() && reader_test::readText(item->text()) == text)
            return item;
    return nullptr;
}

TEST_F(StudyPaneWindow, TheEditMenusFormatGroupActsInTheRunningNoteEditor)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    QMenu* edit = nullptr;
    for (QAction* top : window->window()->menuBar()->actions())
        if (top->menu() != nullptr && reader_test::readText(top->text()) == QStringLiteral("Edit"))
            edit = top->menu();
    ASSERT_NE(edit, nullptr);
    QAction* format = menuItem(edit, QStringLiteral("Format"));
    ASSERT_TRUE(format != nullptr && format->menu() != nullptr);

    // Without the rich editor the Edit menu greys the group out.
    emit edit->aboutToShow();
    EXPECT_FALSE(format->isEnabled());

    QWebEngineView* editor = openNoteEditorOnJohn317(window, kjv, study);
    ASSERT_NE(editor, nullptr) << "the note on John 3:17 did not open in the rich editor";
    StudyPaneNoteViewEditViewController* notes = study->studyPaneNoteViewEditViewController();

    // With it, the group and each of its submenus are enabled, and their items act.
    emit edit->aboutToShow();
    ASSERT_TRUE(format->isEnabled());
    for (const char* group : {"Font", "Lists", "Paragraph Style"}) {
        QAction* sub = menuItem(format->menu(), QString::fromLatin1(group));
        ASSERT_TRUE(sub != nullptr && sub->menu() != nullptr) << group;
        emit sub->menu()->aboutToShow();
        EXPECT_TRUE(sub->isEnabled()) << group;
        for (QAction* item : sub->menu()->actions())
            EXPECT_TRUE(item->isSeparator() || item->isEnabled()) << group << " > " << item->text().toStdString();
    }
    ASSERT_TRUE(TestSupport::runScript(editor->page(),
        QStringLiteral("qsFocusEditor(); document.execCommand('insertText', false, "
                       "'listed words'); document.execCommand('selectAll');"))
                    .has_value());
    QAction* lists = menuItem(format->menu(), QStringLiteral("Lists"));
    emit lists->menu()->aboutToShow();
    QAction* numbered = menuItem(lists->menu(), QStringLiteral("Numbered List"));
    ASSERT_TRUE(numbered != nullptr && numbered->isEnabled());
    numbered->trigger();
    notes->selectTab(StudyPaneNoteViewEditViewController::ViewTab);
    EXPECT_TRUE(waitFor([] {
        const QString text = reader_test::programNotes().read(NoteLocation::bible(makeBibleKey(43, 3, 17))).text;
        return text.contains(QStringLiteral("<ol>")) && text.contains(QStringLiteral("listed words"));
    })) << reader_test::programNotes().read(NoteLocation::bible(makeBibleKey(43, 3, 17))).text.toStdString();
}

TEST_F(StudyPaneWindow, ALibrarySearchRowOpensItsBookAndFindShowsThatBooksResults)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    EXPECT_TRUE(reader_test::choose(window, CommandNames::LibrarySearch));
    auto* library = dynamic_cast<StudyPaneLibrarySearchViewController*>(
        study->subpane(StudyPaneViewController::kLibrarySearchSubpane));
    ASSERT_EQ(study->subpaneViewController(), library);
    const QAbstractItemModel* rows = library->searchResultsTableView()->model();
    // The search is done when the list's title counts the books without "Searched ... of".
    const auto searched = [rows] {
        return rows->headerData(0, Qt::Horizontal).toString().endsWith(QStringLiteral(" Books in Library")) &&
            !rows->headerData(0, Qt::Horizontal).toString().startsWith(QStringLiteral("Searched"));
    };
    library->searchField()->setText(QStringLiteral("help"));
    library->searchStringEntered();
    ASSERT_TRUE(waitFor(searched));
    // A book other than the King James one that holds the word.
    int row = -1;
    for (int r = 0; r < rows->rowCount() && row < 0; ++r) {
        if (rows->index(r, 0).data().toString() != kjv->record().name &&
            rows->index(r, 0).data(StudyPaneLibrarySearchViewController::ExactCountRole).toUInt() > 0)
            row = r;
    }
    ASSERT_GE(row, 0);
    // Every row shows both counts, one word or several.
    EXPECT_TRUE(library->resultData(row, StudyPaneLibrarySearchViewController::AllWordsCountRole).isValid());
    EXPECT_TRUE(library->resultData(row, StudyPaneLibrarySearchViewController::ExactCountRole).isValid());
    const QString chosen = rows->index(row, 0).data().toString();
    library->activateRow(row);
    auto* find =
        dynamic_cast<StudyPaneSearchResultsViewController*>(study->subpane(StudyPaneViewController::kSearchSubpane));
    ASSERT_EQ(study->subpaneViewController(), find);
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
    const SourceTuple::Ptr searchedBook =
        SourceManager::singleton().allSources()->tupleForSourceTupleID(find->aggregator().searchedSourceTupleID);
    ASSERT_TRUE(searchedBook);
    EXPECT_EQ(searchedBook->record().name, chosen);
    EXPECT_EQ(find->searchField()->text(), QStringLiteral("help"));

    EXPECT_TRUE(reader_test::choose(window, CommandNames::LibrarySearch));
    library->searchField()->setText(QStringLiteral("help me"));
    library->searchStringEntered();
    ASSERT_TRUE(waitFor(searched));
    ASSERT_GT(rows->rowCount(), 0);
    EXPECT_TRUE(library->resultData(0, StudyPaneLibrarySearchViewController::AllWordsCountRole).isValid());
}

TEST_F(StudyPaneWindow, FindNamesTheBookANavigatorHeadingHandsItTo)
{
    if (!QFile::exists(QStringLiteral(QS_BINARY_DIR "/library/Scofield.tvk")))
        GTEST_SKIP() << "the sample library is not built";
    QuillsteadAppController& app = launch();
    QuillsteadWindowController* window = app.mainWindowController();
    const quint32 romans828 = makeBibleKey(45, 8, 28);
    if (kjvRegion() < 0)  // an earlier test left another book in the pane: the King James book goes back
        goToVerse(SourceManager::singleton().allSources()->tupleForPubID(1, 101), romans828, true);
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    StudyPaneViewController* study = studyPane();
    ASSERT_NE(study, nullptr);

    // Find searches the King James book first.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Find));
    auto* find =
        dynamic_cast<StudyPaneSearchResultsViewController*>(study->subpane(StudyPaneViewController::kSearchSubpane));
    find->searchField()->setText(QStringLiteral("love"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(find->searchField(), &enter);
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
    QTableView* results = find->searchResultsTableView();
    EXPECT_EQ(results->model()->headerData(0, Qt::Horizontal).toString(), kjv->record().name);

    // The navigator lists the places of Romans 8:28; a click on Scofield's heading hands it to Find.
    UserDefaults::standardUserDefaults().set(SettingsKeys::AutoUpdateNavigator, true);
    ASSERT_TRUE(reader_test::choose(window, CommandNames::LibraryNavigator));
    auto* navigator =
        dynamic_cast<StudyPaneNavigatorViewController*>(study->subpane(StudyPaneViewController::kNavigatorSubpane));
    ASSERT_EQ(study->subpaneViewController(), navigator);
    navigator->onAutoCheckBox(true);
    goToVerse(kjv, romans828);
    QTableView* places = navigator->searchResultsTableView();
    ASSERT_TRUE(
        waitFor([places] { return places->model()->headerData(0, Qt::Horizontal) == QStringLiteral("Romans 8:28"); }));
    ASSERT_TRUE(waitFor([navigator] { return navigator->isComplete(); }));
    int heading = -1;
    SourceTuple::Ptr scofield;
    for (int row = 0; row < navigator->numberOfRows() && heading < 0; ++row) {
        const NavigatorResultsPath p = navigator->resultsPathForTableRow(row);
        const auto& book = navigator->results()[p.book];
        if (p.item == -1 && !p.more && book.book != nullptr && book.book->record().bookID == 110 && book.total() > 0) {
            heading = row;
            scofield = book.book;
        }
    }
    ASSERT_GE(heading, 0) << "Scofield treats Romans 8:28";
    places->scrollTo(places->model()->index(heading, 0));
    const QRect cell = places->visualRect(places->model()->index(heading, 0));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, QPointF(cell.center()), places->viewport()->mapToGlobal(QPointF(cell.center())),
            Qt::LeftButton, type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(places->viewport(), &click);
    }
    ASSERT_TRUE(waitFor([study, find] { return study->subpaneViewController() == find; }));
    EXPECT_EQ(find->searchField()->text(), QStringLiteral("Romans 8:28"));
    // The column names the book searched as soon as the search starts, and when its results are in.
    EXPECT_EQ(results->model()->headerData(0, Qt::Horizontal).toString(), scofield->record().name);
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
    EXPECT_EQ(find->aggregator().searchedSourceTupleID, SourceTupleID::sourceTupleIDForTuple(*scofield));
    EXPECT_EQ(results->model()->headerData(0, Qt::Horizontal).toString(), scofield->record().name);
    EXPECT_EQ(results->horizontalHeader()->model()->headerData(0, Qt::Horizontal).toString(), scofield->record().name);
    ASSERT_GT(results->model()->rowCount(), 1);
    EXPECT_TRUE(TestSupport::waitForViewsPainted(window->window()));  // what the picture shows
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(window->window()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/find-after-navigator.png")));
}

TEST_F(StudyPaneWindow, ABookInstalledAgainBeforeTheFirstStudyIsANewBookOfItsLists)
{
    QuillsteadAppController& app = launch();
    // Scofield removed and installed again from its file, before any study or the navigator ran.
    SourceManager& library = reader_test::programEnvironment().books();
    const SourceTuple::Ptr before = library.allSources()->tupleForPubID(1, 110);
    ASSERT_NE(before, nullptr);
    library.removeSourceForPubID(1, 110);
    ASSERT_EQ(library.allSources()->tupleForPubID(1, 110), nullptr);
    app.loadAndOpenBook(QDir(TestSupport::sampleLibraryFolder()).filePath(QStringLiteral("Scofield.tvk")));
    ASSERT_TRUE(waitFor([&] { return library.allSources()->tupleForPubID(1, 110) != nullptr; }));

    // The verse study's commentaries list it last, after the Treasury of David, as any book added.
    AutoStudyElementList& verse = reader_test::programEnvironment().autoStudy().elements().verseStudyElements();
    const AutoStudyElement* commentaries =
        AutoStudyElements::elementDictionaryForID(AutoStudyElements::CommentariesID, verse);
    ASSERT_NE(commentaries, nullptr);
    QStringList books;
    for (const AutoStudyBook& b : commentaries->bookArray)
        books << b.text;
    EXPECT_EQ(books, (QStringList {QStringLiteral("Treasury of David"), QStringLiteral("Scofield")}));
    EXPECT_TRUE(commentaries->bookArray.last().checked);
}

// With the keys in the note editor, the window's pane keys still go from pane to pane, Escape gives
// the keys back to the current pane's page and Ctrl+Tab moves on to the next control.
TEST_F(StudyPaneWindow, ThePaneKeysEscapeAndCtrlTabLeaveTheNoteEditor)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    QWebEngineView* editor = openNoteEditorOnJohn317(window, kjv, study);
    ASSERT_NE(editor, nullptr) << "the note on John 3:17 did not open in the rich editor";
    LayoutGoToPanes& go = panes()->goToPanes();
    const auto inEditor = [editor] {
        QWidget* focus = QApplication::focusWidget();
        return focus != nullptr && (focus == editor || editor->isAncestorOf(focus));
    };
    const auto keysIntoEditor = [&] {
        window->window()->activateWindow();
        if (!QTest::qWaitForWindowActive(window->window()) ||
            !waitFor([editor] { return static_cast<NoteWebView*>(editor)->isPageReady(); }))
            return false;
        return keysIntoNoteEditor(editor) != nullptr && waitFor(inEditor);
    };
    const auto press = [](const QKeySequence& keys) { QTest::keySequence(QApplication::focusWidget(), keys); };

    ASSERT_TRUE(keysIntoEditor());
    const int before = go.currentRegion();
    press(QKeySequence(QStringLiteral("Ctrl+]")));
    EXPECT_TRUE(waitFor([&] { return go.currentRegion() != before; })) << "Ctrl+] stayed in the editor";
    EXPECT_TRUE(waitFor([&] { return !inEditor(); }));
    ASSERT_TRUE(keysIntoEditor());
    const int next = go.currentRegion();
    press(QKeySequence(QStringLiteral("Ctrl+[")));
    EXPECT_TRUE(waitFor([&] { return go.currentRegion() != next; })) << "Ctrl+[ stayed in the editor";

    // Escape: back to the page of the current pane.
    const auto inPage = [this] {
        LayoutBookPane* pane = panes()->currentBookPane();
        QWidget* focus = QApplication::focusWidget();
        return pane != nullptr && focus != nullptr && pane->paneView()->isAncestorOf(focus);
    };
    const auto keysAt = [] {
        return QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "nothing";
    };
    ASSERT_TRUE(keysIntoEditor());
    press(QKeySequence(Qt::Key_Escape));
    EXPECT_TRUE(waitFor(inPage)) << "Escape left the keys in " << keysAt();

    // Ctrl+Tab: on to a control outside the editor.
    ASSERT_TRUE(keysIntoEditor());
    press(QKeySequence(QStringLiteral("Ctrl+Tab")));
    EXPECT_TRUE(waitFor([&] { return !inEditor() && QApplication::focusWidget() != nullptr; }))
        << "Ctrl+Tab stayed in the editor";

    // The viewer, chosen with its tab: Escape there gives the keys back to the page too.
    using Notes = StudyPaneNoteViewEditViewController;
    Notes* notes = study->studyPaneNoteViewEditViewController();
    auto* tabs = notes->view()->findChild<QTabBar*>(QStringLiteral("tabView"));
    ASSERT_NE(tabs, nullptr);
    const auto chooseTab = [tabs, notes](Notes::Tab tab) {
        QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(tab).center());
        return waitFor([notes, tab] { return notes->selectedTab() == tab; });
    };
    ASSERT_TRUE(chooseTab(Notes::ViewTab));
    QWidget* viewer = notes->webView(Notes::ViewTab);
    viewer->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(waitFor([viewer] {
        QWidget* focus = QApplication::focusWidget();
        return focus != nullptr && (focus == viewer || viewer->isAncestorOf(focus));
    }));
    press(QKeySequence(Qt::Key_Escape));
    EXPECT_TRUE(waitFor(inPage)) << "Escape in the viewer left the keys in " << keysAt();

    // A note emptied in the editor goes at its save, and the editor with it: the keys it held go back
    // to the page rather than nowhere.
    ASSERT_TRUE(chooseTab(Notes::RichEditTab));
    ASSERT_TRUE(keysIntoEditor());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("gone soon"));
    ASSERT_TRUE(waitFor([notes] { return notes->webViewHasBeenEdited(); }));
    notes->saveEditedText(true);
    const NoteLocation john317 = NoteLocation::bible(makeBibleKey(43, 3, 17));
    ASSERT_TRUE(reader_test::programNotes().exists(john317));
    ASSERT_TRUE(keysIntoEditor());
    press(QKeySequence(QStringLiteral("Ctrl+A")));
    press(QKeySequence(Qt::Key_Delete));
    ASSERT_TRUE(waitFor([&] {
        return notes->webViewHasBeenEdited() &&
            TestSupport::runScript(editor->page(), QStringLiteral("qsEditorElement().textContent"))
                .value_or(QVariant())
                .toString()
                .isEmpty();
    }));
    notes->saveEditedText(true);
    EXPECT_FALSE(reader_test::programNotes().exists(john317));
    EXPECT_EQ(notes->selectedTab(), Notes::ViewTab);
    EXPECT_TRUE(waitFor(inPage)) << "the emptied note's keys are in " << keysAt();
}

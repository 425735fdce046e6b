// The bookmark, highlight and go-to sub-panes in the main window of a running reader: Go To, Highlights
// and Bookmarks are enabled and open their sub-panes; a reference typed into the Bible go-to sends the
// King James pane there through the routing; a highlight and a bookmark made through the book panes'
// services show in their sub-panes; the devotional's go-to lists its readings, also after a restart.

#include "app/DayChangeWatcher.h"
#include "app/ModalTextFieldWindowController.h"
#include "app/ProgramParts.h"
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "app/WindowNotice.h"
#include "engine/foundation/SimpleDate.h"
#include "engine/foundation/cSimpleDateClock.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/BookPaneHooks.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageScheme.h"
#include "panes/page/BookPageView.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"
#include "platform/SaveFailureAlerts.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"
#include "search/execution/SearchExecutor.h"
#include "studypane/StudyPaneBibleGotoViewController.h"
#include "studypane/StudyPaneBookGotoViewController.h"
#include "studypane/StudyPaneBookmarksViewController.h"
#include "studypane/StudyPaneDevoGotoViewController.h"
#include "studypane/StudyPaneHighlightsViewController.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"
#include "studypane/StudyPaneViewController.h"
#include "studypane/notes/NoteStore.h"
#include "support/RecordingAlerts.h"

#include "ReaderTestProgram.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <algorithm>

#include <sys/mount.h>

namespace {

using reader_test::waitFor;

class SubpaneWindow : public reader_test::ReaderWindow {
protected:
    static void SetUpTestSuite() { startProgram("subpane-window-test"); }
    // The daily readings.
    QStringList sampleBooks() const override { return {QStringLiteral("DailyReadings.tvk")}; }
};

// Whether the bookmark or highlight sub-pane's list shows a row of that title.
bool listsRow(StudyPaneSubpane* subpane, const QString& title)
{
    const auto* list = subpane->view()->findChild<QTableWidget*>(QStringLiteral("sectionList"));
    return list != nullptr && !list->findItems(title, Qt::MatchExactly).isEmpty();
}

}  // namespace

TEST_F(SubpaneWindow, GoToHighlightsAndBookmarksOpenTheirSubpanesAndGoThere)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    window->actions().updateStates();
    for (const CommandId& id : {CommandNames::GoTo, CommandNames::Highlights, CommandNames::Bookmarks})
        EXPECT_TRUE(window->actions().action(id)->isEnabled()) << id.name;

    // Go To with the King James book active: the Bible go-to; a typed reference goes there.
    EXPECT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    auto* go = dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController());
    ASSERT_NE(go, nullptr);
    ASSERT_TRUE(go->view()->isVisible());
    EXPECT_TRUE(kjv->isEqual(*go->sourceTuple()));
    go->verseComboBox()->setEditText(QStringLiteral("ps 23.1"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(go->verseComboBox()->lineEdit(), &enter);
    Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    LayoutBookPane* kjvPane = asBookPane(layout->contentsAt(size_t(kjvRegion()))->viewController());
    ASSERT_NE(kjvPane, nullptr);
    const quint32 psalm = kjv->locations().sectionForBibleKey((19u << 16) | (23u << 8) | 1u);
    EXPECT_TRUE(waitFor([&] { return kjvPane->currentSourceSection() == psalm; }))
        << kjvPane->currentSourceSection() << " " << psalm;
    EXPECT_EQ(study->recentGoToVerseKeys().value(0), (19u << 16) | (23u << 8) | 1u);
    EXPECT_TRUE(TestSupport::waitForViewsPainted(window->window()));  // what the picture shows
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    window->window()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/bible-goto-in-window.png"));

    // A highlight through the book panes' services shows in Highlights.
    BookPaneHooks* hooks = reader_test::bookPaneHooks();
    ASSERT_NE(hooks, nullptr);
    hooks->highlight({(19u << 16) | (23u << 8) | 1u}, 84);
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Highlights));
    auto* highlights = dynamic_cast<StudyPaneHighlightsViewController*>(study->subpaneViewController());
    ASSERT_NE(highlights, nullptr);
    EXPECT_TRUE(listsRow(highlights, kjv->words().plainTextSearchResultTitleForSection(psalm)));

    // A bookmark through the same services shows in Bookmarks under "All Bookmarks".
    hooks->bookmark(
        kjv, (43u << 16) | (3u << 8) | 16u, true, {{"searchTitle", QStringLiteral("No Category")}, {"categoryID", 0}});
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Bookmarks));
    auto* bookmarks = dynamic_cast<StudyPaneBookmarksViewController*>(study->subpaneViewController());
    ASSERT_NE(bookmarks, nullptr);
    bookmarks->onCategorySelected(0);
    EXPECT_TRUE(listsRow(bookmarks,
        kjv->words().plainTextSearchResultTitleForSection(
            kjv->locations().sectionForBibleKey((43u << 16) | (3u << 8) | 16u))));
    hooks->highlight({(19u << 16) | (23u << 8) | 1u}, 0);
    hooks->removeBookmark(
        kjv, (43u << 16) | (3u << 8) | 16u, true, {{"searchTitle", QStringLiteral("*")}, {"categoryID", 65535}});
}

// The sub-panes show what is there now: a bookmark put into a new category lists that category;
// Go To on Welcome stops listing its contents once Welcome is closed; after a restart the note
// viewer shows its note under the note's book and verse.
// A full disk under the profile while references are typed into Go To, one after the other: the saves
// that fail (the screen layout, the reading history, the settings) are said once, together, on the
// window's notice line. No alert opens under the typing, so every key stays in the field.
TEST_F(SubpaneWindow, AFullDiskWhileGoTosAreTypedIsSaidOnceBesideTheWindowAndTakesNoKeys)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    auto* alerts = dynamic_cast<RecordingAlerts*>(&Alerts::shared());
    ASSERT_NE(alerts, nullptr);
    ASSERT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    auto* go = dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController());
    ASSERT_NE(go, nullptr);
    QLineEdit* field = go->verseComboBox()->lineEdit();
    window->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window->window()));
    field->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(waitFor([field] { return field->hasFocus(); }));
    LayoutBookPane* kjvPane = asBookPane(reader_test::programEnvironment()
                                             .layoutManager()
                                             .currentLayout()
                                             ->contentsAt(size_t(kjvRegion()))
                                             ->viewController());
    ASSERT_NE(kjvPane, nullptr);
    alerts->clear();

    // The data folder and the settings' folder on small file systems, filled up (mounting needs root).
    const QByteArray folders[] = {QFile::encodeName(AppFolders::privateDataDirectory()),
        QFile::encodeName(QFileInfo(UserDefaults::standardUserDefaults().filePath()).path())};
    int mounted = 0;
    for (const QByteArray& folder : folders) {
        if (::mount("tmpfs", folder.constData(), "tmpfs", 0, "size=256k") != 0)
            break;
        ++mounted;
        QFile filler(QFile::decodeName(folder) + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray chunk(4096, 'f');
        while (filler.write(chunk) == chunk.size()) { }
    }
    const auto unmount = qScopeGuard([&] {
        for (int i = mounted - 1; i >= 0; --i)
            ::umount2(folders[i].constData(), MNT_DETACH);
        SaveFailureAlerts::reset();
    });
    if (mounted < 2)
        GTEST_SKIP() << "a small file system cannot be mounted here (needs root)";

    WindowNotice* notice = window->notice();
    const std::pair<QString, quint32> goTos[] = {{QStringLiteral("Gen 1:3"), makeBibleKey(1, 1, 3)},
        {QStringLiteral("Exod 3:14"), makeBibleKey(2, 3, 14)}, {QStringLiteral("Ps 23:1"), makeBibleKey(19, 23, 1)},
        {QStringLiteral("Jer 29:11"), makeBibleKey(24, 29, 11)}, {QStringLiteral("Rom 8:28"), makeBibleKey(45, 8, 28)}};
    for (const auto& [reference, key] : goTos) {
        QTest::keyClicks(QApplication::focusWidget(), reference);
        EXPECT_EQ(field->text(), reference) << "the keys went elsewhere";
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        const quint32 section = kjv->locations().sectionForBibleKey(key);
        EXPECT_TRUE(waitFor([&] { return kjvPane->currentSourceSection() == section; })) << reference.toStdString();
        // Once something is said, the next reference is typed over the selected one.
        if (key == goTos[0].second) {
            ASSERT_TRUE(waitFor([&] { return !notice->message().isEmpty() || !alerts->shown().isEmpty(); }, 20000));
            ASSERT_TRUE(alerts->shown().isEmpty())
                << "an alert opened under the typing: " << alerts->shown()[0].messageText.toStdString();
        }
        ASSERT_TRUE(field->hasFocus());
        field->selectAll();
    }
    ASSERT_TRUE(waitFor(
        [notice] {
            return notice->message().contains(QStringLiteral("your screen layout")) &&
                notice->message().contains(QStringLiteral("your settings"));
        },
        20000))
        << notice->message().toStdString();
    // Each kind once, and no alert at all while the window is up.
    const QString said = notice->message();
    EXPECT_EQ(said.count(QStringLiteral("your screen layout")), 1) << said.toStdString();
    EXPECT_EQ(said.count(QStringLiteral("your settings")), 1) << said.toStdString();
    EXPECT_TRUE(notice->informativeText().contains(QStringLiteral("No space left on device")))
        << notice->informativeText().toStdString();
    EXPECT_TRUE(alerts->shown().isEmpty()) << alerts->shown().value(0).messageText.toStdString();
    EXPECT_EQ(field->text(), goTos[4].first);
}

TEST_F(SubpaneWindow, EachSubpaneShowsTheCurrentBookAndTheCategoryJustUsed)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    const quint32 john316 = (43u << 16) | (3u << 8) | 16u;

    // The verse goes into a new category, named in the dialog the book pane's menu item opens.
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Bookmarks));
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Find));
    BookPaneHooks* hooks = reader_test::bookPaneHooks();
    ASSERT_NE(hooks, nullptr);
    const bool named = TestSupport::whenShown<ModalTextFieldWindowController>(
        [&] {
            hooks->bookmark(kjv, john316, true,
                {{"searchTitle", QStringLiteral("*")}, {"categoryID", 65535}, {"isCreateNewCategory", true}});
        },
        [](ModalTextFieldWindowController* dialog) {
            QTest::keyClicks(dialog->textField(), QStringLiteral("Promises"));
            QTest::keyClick(dialog->textField(), Qt::Key_Return);
        });
    ASSERT_TRUE(named) << "no dialog asked for the category's name";
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Bookmarks));
    auto* bookmarks = dynamic_cast<StudyPaneBookmarksViewController*>(study->subpaneViewController());
    ASSERT_NE(bookmarks, nullptr);
    EXPECT_EQ(bookmarks->view()->findChild<QComboBox*>(QStringLiteral("categoryPopUp"))->currentText(),
        QStringLiteral("Promises"));
    EXPECT_TRUE(listsRow(
        bookmarks, kjv->words().plainTextSearchResultTitleForSection(kjv->locations().sectionForBibleKey(john316))));
    hooks->removeBookmark(kjv, john316, true, {{"searchTitle", QStringLiteral("*")}, {"categoryID", 65535}});

    // Go To on Welcome lists its contents; closing Welcome takes them away.
    int welcome = -1;
    for (int region = 0; region < panes()->goToPanes().regionCount(); ++region) {
        const auto book = panes()->goToPanes().paneCurrentBook(region);
        if (book && book->record().name.startsWith(QStringLiteral("Welcome")))
            welcome = region;
    }
    ASSERT_GE(welcome, 0) << "the first screen shows no Welcome book";
    ASSERT_TRUE(reader_test::clickPane(panes(), welcome));
    ASSERT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    auto* go = dynamic_cast<StudyPaneBookGotoViewController*>(study->subpaneViewController());
    ASSERT_NE(go, nullptr);
    ASSERT_GT(go->view()->findChild<QTreeView*>(QStringLiteral("outline"))->model()->rowCount(), 0);
    const QString first =
        go->view()->findChild<QTreeView*>(QStringLiteral("outline"))->model()->index(0, 0).data().toString();
    ASSERT_TRUE(reader_test::choose(window, CommandNames::CloseBook));
    ASSERT_FALSE(panes()->goToPanes().paneCurrentBook(welcome));
    EXPECT_TRUE(waitFor([&] {
        auto* shown = dynamic_cast<StudyPaneBookGotoViewController*>(study->subpaneViewController());
        return shown == nullptr ||
            shown->view()->findChild<QTreeView*>(QStringLiteral("outline"))->model()->rowCount() == 0;
    })) << "the Go To list still shows "
        << first.toStdString();

    // A note shown when the reader quits comes back under its book and verse.
    ASSERT_TRUE(reader_test::programNotes().save(NoteLocation::bible(john316), QStringLiteral("<p>So loved</p>")));
    ASSERT_TRUE(activateKjv());
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Notes));
    NotificationCenter::defaultCenter().postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, nullptr,
        {{QStringLiteral("source"), bookVariant(kjv)}, {QStringLiteral("key"), john316}});
    quit();
    launch();
    StudyPaneViewController* again = studyPane();
    ASSERT_NE(again, nullptr);
    StudyPaneNoteViewEditViewController* notes = again->studyPaneNoteViewEditViewController();
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(again->subpaneViewController(), notes);
    EXPECT_EQ(notes->location().key, john316);
    EXPECT_EQ(notes->view()->findChild<QLabel*>(QStringLiteral("bookTitleTextField"))->text(),
        QStringLiteral("%1 (%2)").arg(kjv->record().name, kjv->record().abbr));
    EXPECT_EQ(notes->view()->findChild<QLineEdit*>(QStringLiteral("noteTitleTextField"))->text(),
        QStringLiteral("John 3:16"));
    ASSERT_TRUE(reader_test::programNotes().remove(NoteLocation::bible(john316)));
}

// The clock the reader is run on here: the date moves while it runs.
cSimpleDate g_readerToday(12, 31, 2026);
cSimpleDate readerClock()
{
    return g_readerToday;
}

TEST_F(SubpaneWindow, TheDevotionalPageAndListFollowTheDateWhileOpen)
{
    const QString to = QDir(AppFolders::booksDirectory()).filePath(QStringLiteral("DailyReadings.tvk"));
    if (!QFile::exists(to))
        GTEST_SKIP() << "the sample library is not built";
    g_readerToday = cSimpleDate(12, 31, 2026);
    simpledateclock::setClock(&readerClock);
    struct Restore {
        ~Restore() { simpledateclock::setClock(nullptr); }
    } restore;
    DayChangeWatcher days(NotificationCenter::defaultCenter());

    QuillsteadAppController& app = launch();
    QuillsteadWindowController* window = app.mainWindowController();
    ASSERT_TRUE(activateKjv());
    const SourceTuple::Ptr devo = SourceManager::singleton().allSources()->tupleForFile(to);
    ASSERT_TRUE(devo);
    // The reader opens the devotional at today's reading (Ctrl+T), then Go To.
    GoToRequest open;
    open.layoutUuid = reader_test::programEnvironment().layoutManager().currentLayout()->uuidString();
    open.sourceTuple = devo;
    open.todaysReading = true;
    open.activate = true;
    open.activatePane = true;
    open.post(NotificationCenter::defaultCenter(), nullptr);
    BookPaneViewController* pane = nullptr;
    ASSERT_TRUE(waitFor([&] {
        Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        for (size_t i = 0; layout != nullptr && i < layout->contents().size(); ++i) {
            auto* p = dynamic_cast<BookPaneViewController*>(layout->contentsAt(i)->viewController());
            if (p != nullptr && p->currentSourceTuple() && p->currentSourceTuple()->isEqual(*devo))
                pane = p;
        }
        return pane != nullptr;
    }));
    ASSERT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    auto* go = dynamic_cast<StudyPaneDevoGotoViewController*>(studyPane()->subpaneViewController());
    ASSERT_NE(go, nullptr);
    QTableWidget* table = go->view()->findChild<QTableWidget*>(QStringLiteral("readingProgress"));
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rowCount(), 365);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Thursday, January 1, 2026"));
    EXPECT_TRUE(waitFor([&] {
        return pane->titleBar()->text().contains(QStringLiteral("December 31, 2026 - 365 of 365"));
    })) << pane->titleBar()->text().toStdString();
    EXPECT_TRUE(
        waitFor([&] { return TestSupport::pageText(pane->page()->page()).contains(QStringLiteral("December 31")); }));

    // Midnight passes.
    g_readerToday = cSimpleDate(1, 1, 2027);
    ASSERT_TRUE(days.check());
    EXPECT_FALSE(days.check());
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Friday, January 1, 2027"));
    EXPECT_EQ(table->item(364, 0)->text(), QStringLiteral("Friday, December 31, 2027"));
    EXPECT_TRUE(waitFor([&] {
        return pane->titleBar()->text().contains(QStringLiteral("January 1, 2027 - 1 of 365"));
    })) << pane->titleBar()->text().toStdString();
    EXPECT_TRUE(waitFor([&] {
        const QString text = TestSupport::pageText(pane->page()->page());
        return text.contains(QStringLiteral("January 1")) && text.contains(QStringLiteral("Friday, January 1, 2027"));
    }));
    EXPECT_EQ(devo->readings().readingNumberForDate(SimpleDate()), 1u);
}

TEST_F(SubpaneWindow, TheDevotionalGoToListsItsReadingsAlsoAfterARestart)
{
    const QString to = QDir(AppFolders::booksDirectory()).filePath(QStringLiteral("DailyReadings.tvk"));
    if (!QFile::exists(to))
        GTEST_SKIP() << "the sample library is not built";

    QuillsteadAppController& app = launch();
    QuillsteadWindowController* window = app.mainWindowController();
    ASSERT_TRUE(activateKjv());
    StudyPaneViewController* study = studyPane();
    ASSERT_NE(study, nullptr);
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Find));  // Find: the go-to sub-panes have shown nothing yet
    const SourceTuple::Ptr devo = SourceManager::singleton().allSources()->tupleForFile(to);
    ASSERT_TRUE(devo);
    ASSERT_GT(devo->record().numReadings, 20u);

    // The reader opens the devotional, then Go To.
    GoToRequest open;
    open.layoutUuid = reader_test::programEnvironment().layoutManager().currentLayout()->uuidString();
    open.sourceTuple = devo;
    open.section = devo->readings().sectionForReadingNumber(3);
    open.activate = true;
    open.activatePane = true;
    open.post(NotificationCenter::defaultCenter(), nullptr);
    ASSERT_TRUE(waitFor([&] {
        const SourceTuple::Ptr active = panes()->activeSourceTuple();
        return active && active->isEqual(*devo);
    }));
    auto shown = [&](StudyPaneViewController* pane) {
        return dynamic_cast<StudyPaneDevoGotoViewController*>(pane->subpaneViewController());
    };
    auto expectReadings = [&](StudyPaneDevoGotoViewController* go) {
        ASSERT_NE(go, nullptr);
        QTableWidget* table = go->view()->findChild<QTableWidget*>(QStringLiteral("readingProgress"));
        ASSERT_TRUE(table->isVisible());
        ASSERT_EQ(quint64(table->rowCount()), devo->record().numReadings);
        ASSERT_NE(table->horizontalHeaderItem(0), nullptr);
        EXPECT_EQ(table->horizontalHeaderItem(0)->text(), devo->record().name);
        EXPECT_EQ(table->item(2, 0)->text(),
            devo->readings().dateForReadingNumber(3).stringWithStyle(SimpleDate::kStyleWithWeekday));
        EXPECT_EQ(table->item(2, 0)->data(ReadingProgressCellView::ReadingNumberRole).toString(),
            QStringLiteral("Reading 3 of %1").arg(devo->record().numReadings));
    };
    ASSERT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    expectReadings(shown(study));
    EXPECT_TRUE(TestSupport::waitForViewsPainted(window->window()));  // what the picture shows
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    window->window()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/devotional-goto-in-window.png"));

    // After a restart the devotional comes back active with its go-to shown.
    quit();
    launch();
    StudyPaneViewController* again = studyPane();
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(waitFor([&] {
        const SourceTuple::Ptr active = panes()->activeSourceTuple();
        return active && active->isEqual(*devo) && shown(again) != nullptr;
    }));
    expectReadings(shown(again));
}

TEST_F(SubpaneWindow, MarkingAReadingReadKeepsItInViewInTheReadingList)
{
    const QString to = QDir(AppFolders::booksDirectory()).filePath(QStringLiteral("DailyReadings.tvk"));
    if (!QFile::exists(to))
        GTEST_SKIP() << "the sample library is not built";
    QFile::remove(QuillsteadAppController::appLayoutArchiveFile());  // the first screen
    QuillsteadAppController& app = launch();
    QuillsteadWindowController* window = app.mainWindowController();
    ASSERT_TRUE(activateKjv());
    const SourceTuple::Ptr devo = SourceManager::singleton().allSources()->tupleForFile(to);
    ASSERT_TRUE(devo);
    const quint32 reading = std::min<quint32>(200, quint32(devo->record().numReadings));
    ASSERT_GT(reading, 40u);
    if (devo->readings().isReadingComplete(reading))
        devo->readings().toggleReadingNumber(reading, true);

    // Go To shows, then the reader opens the devotional at the reading: the go-to follows it.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    GoToRequest open;
    open.layoutUuid = reader_test::programEnvironment().layoutManager().currentLayout()->uuidString();
    open.sourceTuple = devo;
    open.section = devo->readings().sectionForReadingNumber(reading);
    open.activate = true;
    open.activatePane = true;
    open.post(NotificationCenter::defaultCenter(), nullptr);
    ASSERT_TRUE(waitFor([&] {
        const SourceTuple::Ptr active = panes()->activeSourceTuple();
        return active && active->isEqual(*devo);
    }));
    StudyPaneDevoGotoViewController* go = nullptr;
    ASSERT_TRUE(waitFor([&] {
        go = dynamic_cast<StudyPaneDevoGotoViewController*>(studyPane()->subpaneViewController());
        return go != nullptr && go->view()->findChild<QTableWidget*>(QStringLiteral("readingProgress")) != nullptr &&
            go->view()->findChild<QTableWidget*>(QStringLiteral("readingProgress"))->isVisible();
    }));
    QTableWidget* table = go->view()->findChild<QTableWidget*>(QStringLiteral("readingProgress"));
    const int row = int(reading) - 1;
    auto inView = [&] {
        const QRect shown = table->visualItemRect(table->item(row, 0));
        return shown.isValid() && table->viewport()->rect().intersects(shown);
    };
    // The list opens at the reading the pane shows.
    EXPECT_TRUE(waitFor(inView)) << "the list does not show the reading; its top row is " << table->rowAt(0);
    if (!inView()) {
        table->scrollToItem(table->item(row, 0), QAbstractItemView::PositionAtTop);  // the reader scrolls there
        ASSERT_TRUE(waitFor(inView));
    }
    const QColor unread = table->item(row, 0)->background().color();

    // The reader marks the reading read from the menu; the same item then says it marks it unread,
    // and does (never a "Mark Reading Complete" that unmarks).
    EXPECT_FALSE(reader_test::chooseMenuItem(window, QStringLiteral("Go"), QStringLiteral("Mark Reading Unread")));
    ASSERT_TRUE(reader_test::chooseMenuItem(window, QStringLiteral("Go"), QStringLiteral("Mark Reading Complete")));
    ASSERT_TRUE(waitFor([&] { return devo->readings().isReadingComplete(reading); }));
    EXPECT_FALSE(reader_test::chooseMenuItem(window, QStringLiteral("Go"), QStringLiteral("Mark Reading Complete")));
    ASSERT_TRUE(reader_test::chooseMenuItem(window, QStringLiteral("Go"), QStringLiteral("Mark Reading Unread")));
    ASSERT_TRUE(waitFor([&] { return !devo->readings().isReadingComplete(reading); }));
    ASSERT_TRUE(reader_test::chooseMenuItem(window, QStringLiteral("Go"), QStringLiteral("Mark Reading Complete")));
    ASSERT_TRUE(waitFor([&] { return devo->readings().isReadingComplete(reading); }));
    EXPECT_TRUE(waitFor([&] { return table->item(row, 0)->background().color() != unread; }))
        << "the row does not show the reading as read";
    EXPECT_TRUE(inView()) << "the list's top row is " << table->rowAt(0);
    EXPECT_FALSE(waitFor([&] { return !inView(); }, 1000)) << "the list's top row is " << table->rowAt(0);

    // A click on the reading's header in the page marks it unread again: the list stays.
    LayoutBookPane* pane = panes()->currentBookPane();
    ASSERT_NE(pane, nullptr);
    auto* page = pane->paneView()->findChild<BookPageView*>();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(waitFor([&] {
        return TestSupport::runScript(page->page(),
            QStringLiteral("(function(){var h=document.querySelector('[id^=\"_reading%1_\"]');"
                           "if(!h)return false;h.click();return true;})()")
                .arg(reading))
            .value_or(QVariant())
            .toBool();
    }));
    ASSERT_TRUE(waitFor([&] { return !devo->readings().isReadingComplete(reading); }));
    EXPECT_TRUE(waitFor([&] { return table->item(row, 0)->background().color() == unread; }));
    EXPECT_FALSE(waitFor([&] { return !inView(); }, 1000)) << "the list's top row is " << table->rowAt(0);
}

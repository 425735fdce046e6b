// The King James pane of a running reader as a reader moves in it: a fresh start offers no Back;
// a click on a Strong's number is one step of the history, and one Back shows the verse that was at
// the top again; Maximize Pane keeps the pane's current tab in front; a go-to to the first verse
// under a psalm's title is reported, synced and restored as that verse; a dictionary's title bar
// names its entry; a kill right after a go-to restarts at the place its history is at. Maximize
// Pane and Maximize Book are one step of their new layout; the toolbar's
// Back follows a switch of layout tabs at once; Back keeps the layout's name, also over a restart;
// the go-to pop-ups follow Back; a place scrolled to after Back and Forward is a step of its own; the book scroller steps a chapter at a time down and up, each
// landing on its heading, and so does a chapter typed without a verse; clicks between panes are no
// step and every Back shows a change; the dividers keep their proportions through a restart and a
// small window. What the page shows is read from its DOM, what the pane shows from its widgets.

#include "app/ModalTextFieldWindowController.h"
#include "app/ProgramParts.h"
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/NavigationHistory.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/PaneTabBar.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItem.h"
#include "panes/layout/LayoutRegionContentItemState.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layoutview/LayoutGoToPanes.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageHtml.h"
#include "panes/page/BookPageView.h"
#include "panes/page/BookPaneScroller.h"
#include "platform/AppFolders.h"
#include "platform/KeyedArchive.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "studypane/StudyPaneBibleGotoViewController.h"
#include "studypane/StudyPaneViewController.h"
#include "support/RecordingAlerts.h"

#include "ReaderTestProgram.h"

#include <gtest/gtest.h>

#include <cmath>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QTest>
#include <QToolBar>
#include <QWebEnginePage>

namespace {

using reader_test::evaluate;
using reader_test::keyAtTopOf;
using reader_test::waitFor;

class BookPaneHistory : public reader_test::ReaderWindow {
protected:
    static void SetUpTestSuite() { reader_test::startReaderTestProgram("book-pane-history-test"); }

    void SetUp() override
    {
        ReaderWindow::SetUp();
        if (IsSkipped())
            return;
        // Every test starts from the first screen.
        QFile::remove(QuillsteadAppController::appLayoutArchiveFile());
        const QString library = QStringLiteral(QS_BINARY_DIR "/library/");
        if (!QFile::exists(library + QStringLiteral("StrongsHebrew.tvk")))
            GTEST_SKIP() << "the sample library is not built";
        const QDir books(AppFolders::booksDirectory());
        QDir().mkpath(books.path());
        const QString hebrew = books.filePath(QStringLiteral("StrongsHebrew.tvk"));
        if (!QFile::exists(hebrew)) {
            ASSERT_TRUE(QFile::link(library + QStringLiteral("StrongsHebrew.tvk"), hebrew));
        }
    }

    static SourceTuple::Ptr kjvBook()
    {
        const auto all = SourceManager::singleton().allSources();
        return all ? all->tupleForPubID(1, 101) : nullptr;
    }

    LayoutBookPane* bookPane(int region) const
    {
        Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        return layout && region >= 0 && size_t(region) < layout->contents().size()
            ? asBookPane(layout->contentsAt(size_t(region))->viewController())
            : nullptr;
    }

    BookPageView* pageOf(int region) const
    {
        LayoutBookPane* pane = bookPane(region);
        return pane ? pane->paneView()->findChild<BookPageView*>() : nullptr;
    }

    QLabel* titleBarOf(int region) const
    {
        LayoutBookPane* pane = bookPane(region);
        if (!pane)
            return nullptr;
        const auto labels = pane->paneView()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        return labels.isEmpty() ? nullptr : labels.front();
    }

    PaneTabBar* tabBarOf(int region) const
    {
        LayoutBookPane* pane = bookPane(region);
        return pane ? pane->paneView()->findChild<PaneTabBar*>() : nullptr;
    }

    // The section recorded for the region's current tab.
    static quint64 sectionOf(int region)
    {
        const Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        const LayoutRegionContents* contents = layout ? layout->contentsAt(size_t(region)) : nullptr;
        const LayoutRegionContentItem* item = contents ? contents->itemAt(contents->currentItemIndex()) : nullptr;
        const auto* state = item ? dynamic_cast<const LayoutRegionContentItemState*>(item->state()) : nullptr;
        return state ? state->section() : 0;
    }

    // Clicks the page's first link to the Strong's number once the page shows it.
    static bool clickStrongsLink(BookPageView* page, const QString& number)
    {
        const QString script = QStringLiteral("(function(){var a=document.querySelector('a[href*=\"%1\"]');"
                                              "if(!a)return false;a.click();return true;})()")
                                   .arg(number);
        return waitFor([&] { return evaluate(page, script).toBool(); });
    }

    // Types a reference into the Bible go-to of the study pane and presses Return, as a reader does.
    void typeIntoBibleGoTo(const QString& reference)
    {
        ASSERT_TRUE(reader_test::choose(m_controller->mainWindowController(), CommandNames::GoTo));
        auto* go = dynamic_cast<StudyPaneBibleGotoViewController*>(studyPane()->subpaneViewController());
        ASSERT_NE(go, nullptr);
        go->verseComboBox()->setEditText(reference);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(go->verseComboBox()->lineEdit(), &enter);
    }

    // The King James pane current and at the verse, which the page shows at its top.
    int goToVerse(const QString& reference)
    {
        const SourceTuple::Ptr kjv = activateKjv();
        EXPECT_TRUE(kjv);
        const int region = kjvRegion();
        const quint32 section = kjv ? kjv->locations().sectionForSyncString(reference) : 0;
        EXPECT_NE(section, 0u);
        typeIntoBibleGoTo(reference);
        EXPECT_TRUE(waitFor([&] {
            return sectionOf(region) == section &&
                keyAtTopOf(pageOf(region)) == kjv->locations().keyForSection(section);
        })) << reference.toStdString()
            << ": the pane is at " << sectionOf(region);
        return region;
    }

    // The text of the page's line at the top of its view.
    static QString topLineOf(BookPageView* page)
    {
        return evaluate(page,
            QStringLiteral("(function(){var y=4;for(var x=20;x<400;x+=20){"
                           "var e=document.elementFromPoint(x,y);if(e&&e.id!=='body'&&e.textContent.trim())"
                           "return e.textContent.trim().slice(0,80);}return '';})()"))
            .toString();
    }

    // The toolbar's button for a command, as the reader sees it.
    QWidget* toolbarButton(const CommandId& id) const
    {
        QuillsteadWindowController* window = m_controller->mainWindowController();
        return window->toolbar()->widgetForAction(window->actions().action(id));
    }

    QTabBar* layoutTabs() const
    {
        return m_controller->mainWindowController()->window()->findChild<QTabBar*>(QStringLiteral("layoutTabBar"));
    }

    // Chooses a command of a book pane's context menu (Maximize Pane, Maximize Book), as it offers it.
    void chooseFromPaneMenu(const CommandId& id)
    {
        QAction* command = m_controller->mainWindowController()->actions().action(id);
        ASSERT_NE(command, nullptr);
        m_controller->mainWindowController()->actions().updateStates();
        ASSERT_TRUE(command->isEnabled());
        command->trigger();
    }

    qsizetype historyEntries()
    {
        const auto stack = panes()->history().stackForLayout(panes()->goToPanes().currentLayoutUuid());
        return stack ? stack->entries.size() : 0;
    }
};

TEST_F(BookPaneHistory, AFreshStartOffersNoBackAndAStrongsClickIsOneStepBack)
{
    launch();
    QuillsteadWindowController* window = m_controller->mainWindowController();
    ASSERT_TRUE(waitFor([&] { return kjvRegion() >= 0; }));
    const int region = kjvRegion();
    ASSERT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(region)) != 0 || sectionOf(region) != 0; }));
    // The first screen is no move: Back stays disabled in the menu.
    EXPECT_FALSE(panes()->history().canGoBackInHistory());
    EXPECT_FALSE(reader_test::choose(window, CommandNames::Back));

    const SourceTuple::Ptr kjv = kjvBook();
    ASSERT_TRUE(kjv);
    goToVerse(QStringLiteral("Genesis 1:1"));
    const quint32 genesis11 =
        kjv->locations().keyForSection(kjv->locations().sectionForSyncString(QStringLiteral("Genesis 1:1")));
    const qsizetype before = historyEntries();

    // A click on "beginning" (H7225) opens the Hebrew dictionary at its entry.
    ASSERT_TRUE(clickStrongsLink(pageOf(region), QStringLiteral("H7225")));
    ASSERT_TRUE(waitFor([&] {
        const SourceTuple::Ptr shown = panes()->goToPanes().paneCurrentBook(region);
        return shown && !shown->isEqual(*kjv);
    }));
    // The dictionary's title bar names the entry.
    EXPECT_TRUE(waitFor([&] { return titleBarOf(region)->text().contains(QStringLiteral("7225")); }))
        << "title bar: " << titleBarOf(region)->text().toStdString();
    EXPECT_EQ(historyEntries(), before + 1) << "one click, one step";
    // The reader looks at the entry: its page reports where it landed and fills the screens around
    // it, which is no move of the reader's.
    EXPECT_TRUE(waitFor([&] {
        return evaluate(pageOf(region),
            QStringLiteral("typeof qsPlacement.lastReport === 'string' && qsPlacement.lastReport !== ''"))
            .toBool();
    }));
    EXPECT_FALSE(waitFor([&] { return panes()->history().somethingIsDirty(); }, 1500))
        << "the page's own reports count as a move";

    // One Back shows the King James at Genesis 1:1 again, at the top of its page.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Back));
    ASSERT_TRUE(waitFor([&] {
        const SourceTuple::Ptr shown = panes()->goToPanes().paneCurrentBook(kjvRegion());
        return shown && shown->isEqual(*kjv);
    }));
    EXPECT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(kjvRegion())) == genesis11; }))
        << "the page's top is " << keyAtTopOf(pageOf(kjvRegion()));
    EXPECT_TRUE(titleBarOf(kjvRegion())->text().contains(QStringLiteral("Genesis 1:1")))
        << titleBarOf(kjvRegion())->text().toStdString();
}

// A kill right after a go-to leaves the disk as it is once the history file names the new place:
// the restart shows that place, and Back goes to the one before it.
TEST_F(BookPaneHistory, AKillRightAfterAGoToRestartsAtThePlaceItsHistoryIsAt)
{
    launch();
    goToVerse(QStringLiteral("Genesis 10:1"));
    const SourceTuple::Ptr kjv = kjvBook();
    ASSERT_TRUE(kjv);
    const quint32 genesis11 = kjv->locations().sectionForSyncString(QStringLiteral("Genesis 11:1"));
    goToVerse(QStringLiteral("Genesis 11:1"));
    NavigationHistory& history = panes()->history();
    const QString uuid = panes()->goToPanes().currentLayoutUuid();
    const auto onDisk = [&] {
        const QVariant stacks =
            KeyedUnarchiver(KeyedArchive::readFile(history.historyFilePath())).decodeValue(QStringLiteral("stacks"));
        const QVariantList stack = stacks.toMap().value(uuid).toList();
        const auto now = history.stackForLayout(uuid);
        return now && !stack.isEmpty() && stack[0].toULongLong() == now->cursor &&
            stack.size() == now->entries.size() + 1;
    };
    ASSERT_TRUE(waitFor(onDisk)) << "the history file was not written";
    // The kill: what is on disk now is what the next start reads.
    const QString layoutFile = QuillsteadAppController::appLayoutArchiveFile();
    QFile layout(layoutFile);
    ASSERT_TRUE(layout.open(QIODevice::ReadOnly));
    const QByteArray layoutBytes = layout.readAll();
    layout.close();
    const QDir historyFolder = QFileInfo(history.historyFilePath()).dir();
    QMap<QString, QByteArray> historyFiles;
    for (QDirIterator walk(historyFolder.path(), QDir::Files, QDirIterator::Subdirectories); walk.hasNext();) {
        QFile f(walk.next());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        historyFiles.insert(historyFolder.relativeFilePath(f.fileName()), f.readAll());
    }

    quit();
    ASSERT_TRUE(QDir(historyFolder.path()).removeRecursively());
    for (auto it = historyFiles.cbegin(); it != historyFiles.cend(); ++it) {
        const QString path = historyFolder.filePath(it.key());
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(it.value()) == it.value().size());
    }
    QFile rewritten(layoutFile);
    ASSERT_TRUE(rewritten.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(rewritten.write(layoutBytes), layoutBytes.size());
    rewritten.close();

    launch();
    ASSERT_TRUE(waitFor([&] { return kjvRegion() >= 0; }));
    const int region = kjvRegion();
    EXPECT_TRUE(waitFor([&] { return sectionOf(region) == genesis11; }))
        << "the restart shows section " << sectionOf(region) << ", not the place the history is at";
    ASSERT_TRUE(reader_test::choose(m_controller->mainWindowController(), CommandNames::Back));
    EXPECT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(kjvRegion())) == ((1u << 16) | (10u << 8) | 1u); }))
        << "Back shows " << keyAtTopOf(pageOf(kjvRegion()));
}

TEST_F(BookPaneHistory, MaximizePaneKeepsTheCurrentTabInFront)
{
    launch();
    QuillsteadWindowController* window = m_controller->mainWindowController();
    const int region = goToVerse(QStringLiteral("Genesis 1:1"));
    const SourceTuple::Ptr kjv = kjvBook();
    ASSERT_TRUE(clickStrongsLink(pageOf(region), QStringLiteral("H7225")));
    PaneTabBar* tabs = tabBarOf(region);
    ASSERT_TRUE(waitFor([&] { return tabs->count() == 2; }));
    // The reader clicks the King James tab again.
    const int kjvTab = tabs->tabText(0).contains(QStringLiteral("KJV")) ? 0 : 1;
    tabs->setCurrentIndex(kjvTab);
    ASSERT_TRUE(waitFor([&] {
        const SourceTuple::Ptr shown = panes()->goToPanes().paneCurrentBook(region);
        return shown && shown->isEqual(*kjv);
    }));
    Layout* before = reader_test::programEnvironment().layoutManager().currentLayout();

    // The pane's context menu offers the command; the reader chooses it there.
    QAction* maximize = window->actions().action(CommandNames::MaximizePane);
    ASSERT_NE(maximize, nullptr);
    window->actions().updateStates();
    ASSERT_TRUE(maximize->isEnabled());
    maximize->trigger();
    ASSERT_TRUE(waitFor([&] {
        Layout* now = reader_test::programEnvironment().layoutManager().currentLayout();
        return now != before && tabBarOf(0) && tabBarOf(0)->count() == 2;
    }));
    EXPECT_TRUE(waitFor([&] { return tabBarOf(0)->tabText(tabBarOf(0)->currentIndex()).contains("KJV"); }))
        << "current tab: " << tabBarOf(0)->tabText(tabBarOf(0)->currentIndex()).toStdString();
    const SourceTuple::Ptr shown = panes()->goToPanes().paneCurrentBook(0);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->isEqual(*kjv));
    EXPECT_TRUE(waitFor([&] { return titleBarOf(0)->text().contains(QStringLiteral("Genesis 1:1")); }))
        << titleBarOf(0)->text().toStdString();
}

TEST_F(BookPaneHistory, TheFirstVerseUnderAPsalmsTitleIsReportedSyncedAndRestored)
{
    launch();
    const SourceTuple::Ptr kjv = kjvBook();
    ASSERT_TRUE(kjv);
    const quint32 psalm24 = kjv->locations().sectionForSyncString(QStringLiteral("Psalm 24:1"));
    ASSERT_NE(psalm24, 0u);
    const quint32 key = kjv->locations().keyForSection(psalm24);
    quint32 synced = 0;
    NotificationCenter::defaultCenter().addObserver(
        &synced, LibraryNotifications::EverybodySyncToMeNotification, [&](Notification& n) {
            if (const auto key = GoToRequest::of(n).bibleKey)
                synced = *key;
        });
    const int region = goToVerse(QStringLiteral("Psalm 24:1"));
    // A report from the page itself, as after any scroll: still 24:1.
    evaluate(pageOf(region), QStringLiteral("qsPlacement.lastReport='';qsReportPosition();"));
    EXPECT_TRUE(waitFor([&] { return titleBarOf(region)->text().contains(QStringLiteral("24:1")); }))
        << "title bar: " << titleBarOf(region)->text().toStdString();
    EXPECT_EQ(sectionOf(region), psalm24);
    EXPECT_EQ(synced, key) << "the other panes were sent " << synced;
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(TestSupport::waitForViewsPainted(m_controller->mainWindowController()->window()));
    m_controller->mainWindowController()->window()->grab().save(
        QStringLiteral(QS_BINARY_DIR "/screenshots/psalm-24-at-the-top.png"));
    NotificationCenter::defaultCenter().removeObserver(&synced);

    quit();
    launch();
    ASSERT_TRUE(waitFor([&] { return kjvRegion() >= 0; }));
    const int again = kjvRegion();
    EXPECT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(again)) == key; }))
        << "after a restart the page's top is " << keyAtTopOf(pageOf(again));
    EXPECT_EQ(sectionOf(again), psalm24);
    EXPECT_TRUE(titleBarOf(again)->text().contains(QStringLiteral("24:1"))) << titleBarOf(again)->text().toStdString();
}

TEST_F(BookPaneHistory, MaximizePaneAndMaximizeBookAreEachOneStepOfTheirLayout)
{
    launch();
    QuillsteadWindowController* window = m_controller->mainWindowController();
    const SourceTuple::Ptr kjv = kjvBook();
    ASSERT_TRUE(kjv);
    const int region = goToVerse(QStringLiteral("Genesis 1:1"));
    ASSERT_TRUE(clickStrongsLink(pageOf(region), QStringLiteral("H7225")));
    ASSERT_TRUE(waitFor([&] { return tabBarOf(region)->count() == 2; }));
    tabBarOf(region)->setCurrentIndex(tabBarOf(region)->tabText(0).contains(QStringLiteral("KJV")) ? 0 : 1);
    ASSERT_TRUE(waitFor([&] { return panes()->goToPanes().paneCurrentBook(region)->isEqual(*kjv); }));
    Layout* first = reader_test::programEnvironment().layoutManager().currentLayout();

    chooseFromPaneMenu(CommandNames::MaximizePane);
    ASSERT_TRUE(waitFor([&] {
        Layout* now = reader_test::programEnvironment().layoutManager().currentLayout();
        return now != first && tabBarOf(0) && tabBarOf(0)->count() == 2;
    }));
    // Both books opened as one move: the new layout starts with one state, and nothing to go back to.
    EXPECT_EQ(historyEntries(), 1);
    EXPECT_FALSE(reader_test::choose(window, CommandNames::Back)) << "Back offered right after Maximize Pane";

    // One move later, one Back brings the maximized pane back as it opened: both books, the King
    // James in front at Genesis 1:1.
    const int maximized = goToVerse(QStringLiteral("Genesis 3:1"));
    EXPECT_EQ(historyEntries(), 2);
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Back));
    ASSERT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(maximized)) == ((1u << 16) | (1u << 8) | 1u); }))
        << "after Back the page's top is " << keyAtTopOf(pageOf(maximized));
    EXPECT_EQ(tabBarOf(maximized)->count(), 2);
    EXPECT_TRUE(titleBarOf(maximized)->text().contains(QStringLiteral("Genesis 1:1")))
        << titleBarOf(maximized)->text().toStdString();
    EXPECT_FALSE(reader_test::choose(window, CommandNames::Back)) << "more than one step back";
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(TestSupport::waitForViewsPainted(window->window()));
    window->window()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/maximized-pane-after-back.png"));

    // Maximize Book: a layout named after the book, again one state.
    Layout* second = reader_test::programEnvironment().layoutManager().currentLayout();
    chooseFromPaneMenu(CommandNames::MaximizeBook);
    ASSERT_TRUE(waitFor([&] {
        Layout* now = reader_test::programEnvironment().layoutManager().currentLayout();
        return now != second && tabBarOf(0) && tabBarOf(0)->count() == 1 && sectionOf(0) != 0;
    }));
    EXPECT_EQ(reader_test::programEnvironment().layoutManager().currentLayout()->name(), QStringLiteral("KJV"));
    EXPECT_EQ(historyEntries(), 1);
    EXPECT_FALSE(reader_test::choose(window, CommandNames::Back)) << "Back offered right after Maximize Book";
    goToVerse(QStringLiteral("Exodus 2:1"));
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Back));
    EXPECT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(0)) == ((1u << 16) | (1u << 8) | 1u); }))
        << "after Back the page's top is " << keyAtTopOf(pageOf(0));
    EXPECT_FALSE(reader_test::choose(window, CommandNames::Back));
}

TEST_F(BookPaneHistory, TheToolbarsBackFollowsASwitchOfLayoutTabsAtOnce)
{
    launch();
    goToVerse(QStringLiteral("Genesis 5:1"));
    goToVerse(QStringLiteral("Genesis 6:1"));
    QWidget* back = toolbarButton(CommandNames::Back);
    QWidget* forward = toolbarButton(CommandNames::Forward);
    ASSERT_NE(back, nullptr);
    ASSERT_NE(forward, nullptr);
    ASSERT_TRUE(waitFor([&] { return back->isEnabled(); }));
    // Back once: Forward is offered in this layout.
    ASSERT_TRUE(reader_test::choose(m_controller->mainWindowController(), CommandNames::Back));
    ASSERT_TRUE(waitFor([&] { return forward->isEnabled(); }));
    const int withHistory = layoutTabs()->currentIndex();
    const int tabs = layoutTabs()->count();

    // A new layout (Maximize Book) has nothing to go back or forward to.
    chooseFromPaneMenu(CommandNames::MaximizeBook);
    ASSERT_TRUE(waitFor([&] { return layoutTabs()->count() == tabs + 1; }));
    const int fresh = layoutTabs()->currentIndex();
    ASSERT_NE(fresh, withHistory);
    ASSERT_TRUE(waitFor([&] { return !back->isEnabled() && !forward->isEnabled(); }));

    // The reader clicks the first layout's tab: its Back and Forward show as soon as it is shown.
    QTest::mouseClick(layoutTabs(), Qt::LeftButton, Qt::NoModifier, layoutTabs()->tabRect(withHistory).center());
    ASSERT_EQ(layoutTabs()->currentIndex(), withHistory);
    EXPECT_TRUE(back->isEnabled());
    EXPECT_TRUE(forward->isEnabled());
    // And back to the new one: both off at once, and they stay so.
    QTest::mouseClick(layoutTabs(), Qt::LeftButton, Qt::NoModifier, layoutTabs()->tabRect(fresh).center());
    EXPECT_FALSE(back->isEnabled());
    EXPECT_FALSE(forward->isEnabled());
    EXPECT_FALSE(waitFor([&] { return back->isEnabled() || forward->isEnabled(); }, 500));
}

TEST_F(BookPaneHistory, BackKeepsTheLayoutsNameAlsoOverARestart)
{
    launch();
    QuillsteadWindowController* window = m_controller->mainWindowController();
    goToVerse(QStringLiteral("Genesis 10:1"));
    goToVerse(QStringLiteral("Genesis 11:1"));
    goToVerse(QStringLiteral("Genesis 12:1"));
    // The reader renames the layout, then goes back twice to states recorded under the old name.
    const bool named = TestSupport::whenShown<ModalTextFieldWindowController>(
        [&] {
            EXPECT_TRUE(reader_test::chooseMenuItem(window, QStringLiteral("Panes"), QStringLiteral("Rename Layout")));
        },
        [](ModalTextFieldWindowController* prompt) {
            prompt->textField()->selectAll();
            QTest::keyClicks(prompt->textField(), QStringLiteral("Patriarchs"));
            QTest::keyClick(prompt->textField(), Qt::Key_Return);
        });
    ASSERT_TRUE(named) << "the new name was not asked for";
    ASSERT_TRUE(
        waitFor([&] { return layoutTabs()->tabText(layoutTabs()->currentIndex()) == QStringLiteral("Patriarchs"); }));
    const QString uuid = panes()->goToPanes().currentLayoutUuid();
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(reader_test::choose(window, CommandNames::Back)) << "Back " << i + 1;
    }
    ASSERT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(kjvRegion())) == ((1u << 16) | (10u << 8) | 1u); }));
    EXPECT_EQ(reader_test::programEnvironment().layoutManager().currentLayout()->name(), QStringLiteral("Patriarchs"));
    EXPECT_EQ(layoutTabs()->tabText(layoutTabs()->currentIndex()), QStringLiteral("Patriarchs"));

    quit();
    launch();
    ASSERT_TRUE(waitFor([&] { return kjvRegion() >= 0; }));
    EXPECT_EQ(panes()->goToPanes().currentLayoutUuid(), uuid);
    EXPECT_EQ(layoutTabs()->tabText(layoutTabs()->currentIndex()), QStringLiteral("Patriarchs"));
}

TEST_F(BookPaneHistory, TheGoToPopUpsFollowBackAndForward)
{
    launch();
    QuillsteadWindowController* window = m_controller->mainWindowController();
    goToVerse(QStringLiteral("Genesis 30:1"));
    goToVerse(QStringLiteral("Genesis 45:1"));
    auto* go = dynamic_cast<StudyPaneBibleGotoViewController*>(studyPane()->subpaneViewController());
    ASSERT_NE(go, nullptr);
    auto* bookPopUp = go->view()->findChild<QComboBox*>(QStringLiteral("bookPopUp"));
    auto* chapterPopUp = go->view()->findChild<QComboBox*>(QStringLiteral("chapterPopUp"));
    auto* versePopUp = go->view()->findChild<QComboBox*>(QStringLiteral("versePopUp"));
    ASSERT_TRUE(waitFor([&] { return chapterPopUp->currentText() == QStringLiteral("45"); }))
        << chapterPopUp->currentText().toStdString();

    ASSERT_TRUE(reader_test::choose(window, CommandNames::Back));
    ASSERT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(kjvRegion())) == ((1u << 16) | (30u << 8) | 1u); }));
    EXPECT_TRUE(waitFor([&] {
        return bookPopUp->currentText().startsWith(QStringLiteral("Gen")) &&
            chapterPopUp->currentText() == QStringLiteral("30") && versePopUp->currentText() == QStringLiteral("1");
    })) << "after Back the pop-ups show "
        << bookPopUp->currentText().toStdString() << " " << chapterPopUp->currentText().toStdString() << ":"
        << versePopUp->currentText().toStdString();

    ASSERT_TRUE(reader_test::choose(window, CommandNames::Forward));
    EXPECT_TRUE(waitFor([&] { return chapterPopUp->currentText() == QStringLiteral("45"); }))
        << "after Forward the chapter pop-up shows " << chapterPopUp->currentText().toStdString();

    // Back once more: a book opened in a new tab of another pane starts where Back returned, not at the
    // place left.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Back));
    ASSERT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(kjvRegion())) == ((1u << 16) | (30u << 8) | 1u); }));
    const SourceTuple::Ptr kjv = kjvBook();
    Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    LayoutBookPane* other = nullptr;
    for (int r = 0; r < int(layout->contents().size()) && other == nullptr; ++r)
        if (r != kjvRegion() && layout->contentsAt(size_t(r))->kind().isEmpty())
            other = asBookPane(layout->contentsAt(size_t(r))->viewController());
    ASSERT_NE(other, nullptr);
    other->openBookFromDictionary(
        {{QStringLiteral("pubid"), kjv->record().pubID}, {QStringLiteral("bookid"), kjv->record().bookID},
            {QStringLiteral("edition"), kjv->record().editionNumber},
            {QStringLiteral("revision"), kjv->record().revisionNumber}},
        true);
    ASSERT_TRUE(waitFor([&] { return other->currentSourceTuple() && other->currentSourceTuple()->isEqual(*kjv); }));
    EXPECT_EQ(kjv->locations().keyForSection(quint32(other->currentSourceSection())), (1u << 16) | (30u << 8) | 1u);
}

TEST_F(BookPaneHistory, APlaceScrolledToAfterBackAndForwardIsAStepOfItsOwn)
{
    launch();
    QuillsteadWindowController* window = m_controller->mainWindowController();
    const auto key = [](quint32 book, quint32 chapter, quint32 verse) { return (book << 16) | (chapter << 8) | verse; };
    const quint32 john = key(43, 3, 16);
    const quint32 isaiah53 = key(23, 53, 5);
    const quint32 isaiah54 = key(23, 54, 5);
    // The pane's page and title bar both show the verse.
    const auto shows = [&](quint32 verse, const QString& title) {
        return waitFor([&] {
            return keyAtTopOf(pageOf(kjvRegion())) == verse && titleBarOf(kjvRegion())->text().contains(title);
        });
    };
    goToVerse(QStringLiteral("John 3:16"));
    const int region = goToVerse(QStringLiteral("Isaiah 53:5"));
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Back));
    ASSERT_TRUE(shows(john, QStringLiteral("John 3:16")));
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Forward));
    ASSERT_TRUE(shows(isaiah53, QStringLiteral("Isaiah 53:5")));
    // Once the page has settled where Forward put it, the reader scrolls down, a little at a time,
    // until Isaiah 54:5 is at the top.
    ASSERT_TRUE(waitFor([&] {
        return evaluate(pageOf(region), QStringLiteral("!qsPlacement.pending()&&qsPlacement.lastReport!==''")).toBool();
    }));
    ASSERT_TRUE(waitFor([&] {
        return evaluate(pageOf(region),
            QStringLiteral(
                "(function(){var v=document.getElementById('%1');if(!v){window.scrollBy(0,150);"
                "return false;}window.scrollBy(0,Math.round(v.getBoundingClientRect().top));return true;})()")
                .arg(BookPageHtml::verseAnchor(isaiah54)))
            .toBool();
    }));
    ASSERT_TRUE(shows(isaiah54, QStringLiteral("Isaiah 54:5")))
        << "the page's top is " << keyAtTopOf(pageOf(region)) << ", its title "
        << titleBarOf(region)->text().toStdString();
    // Back returns to the place Forward showed, and Forward to the place scrolled to.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Back));
    ASSERT_TRUE(shows(isaiah53, QStringLiteral("Isaiah 53:5")))
        << "after Back the page's top is " << keyAtTopOf(pageOf(kjvRegion())) << ", its title "
        << titleBarOf(kjvRegion())->text().toStdString();
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Forward)) << "the place scrolled to was not recorded";
    EXPECT_TRUE(shows(isaiah54, QStringLiteral("Isaiah 54:5")))
        << "after Forward the page's top is " << keyAtTopOf(pageOf(kjvRegion()));
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Back));
    EXPECT_TRUE(shows(isaiah53, QStringLiteral("Isaiah 53:5")));
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Back));
    EXPECT_TRUE(shows(john, QStringLiteral("John 3:16")));
}

TEST_F(BookPaneHistory, TheBookScrollerStepsAChapterAtATimeLandingOnItsHeading)
{
    reader_test::programEnvironment().settings().set(SettingsKeys::ScrollTrackInterval, QStringLiteral("perbook"));
    launch();
    const SourceTuple::Ptr kjv = kjvBook();
    ASSERT_TRUE(kjv);
    const int region = goToVerse(QStringLiteral("Genesis 1:1"));
    BookPaneScroller* scroller = bookPane(region)->paneView()->findChild<BookPaneScroller*>();
    ASSERT_NE(scroller, nullptr);
    // A click on the scroller's track below (or above) its knob, as the reader clicks it.
    auto clickTrack = [&](QStyle::SubControl part) {
        QStyleOptionSlider option;
        option.initFrom(scroller);
        option.orientation = Qt::Vertical;
        option.minimum = scroller->minimum();
        option.maximum = scroller->maximum();
        option.sliderPosition = scroller->sliderPosition();
        option.sliderValue = scroller->value();
        option.pageStep = scroller->pageStep();
        option.singleStep = scroller->singleStep();
        option.subControls = QStyle::SC_All;
        const QRect knob =
            scroller->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, scroller);
        const QRect groove = scroller->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, scroller);
        if (groove.height() >= 2) {
            QTest::mouseClick(scroller, Qt::LeftButton, Qt::NoModifier, groove.center());
            return;
        }
        // Near the book's start the track above the knob is too thin to hit: the step it makes.
        ASSERT_EQ(part, QStyle::SC_ScrollBarSubPage) << "no track below the knob " << knob.bottom();
        scroller->triggerAction(QAbstractSlider::SliderPageStepSub);
    };
    // Down to chapters 2 and 3, then up to chapter 2 again.
    for (const int chapter : {2, 3, 2}) {
        const quint32 heading = kjv->locations().sectionForBibleKey((1u << 16) | (quint32(chapter) << 8));
        ASSERT_NE(heading, 0u);
        const bool down = sectionOf(region) < heading;
        clickTrack(down ? QStyle::SC_ScrollBarAddPage : QStyle::SC_ScrollBarSubPage);
        if (HasFatalFailure())
            return;
        const QString title = QStringLiteral("Genesis %1").arg(chapter);
        // The title names the chapter, the heading is the page's top line and the chapter's first
        // verse comes right under it.
        EXPECT_TRUE(waitFor([&] {
            const QString text = titleBarOf(region)->text();
            return text.endsWith(title) || text.contains(title + QStringLiteral(" "));
        })) << "title: "
            << titleBarOf(region)->text().toStdString();
        EXPECT_TRUE(waitFor([&] {
            return topLineOf(pageOf(region)).contains(QStringLiteral("Genesis %1").arg(chapter)) ||
                topLineOf(pageOf(region)).contains(QStringLiteral("CHAPTER %1").arg(chapter));
        })) << "chapter "
            << chapter << ": the top line is " << topLineOf(pageOf(region)).toStdString();
        EXPECT_EQ(keyAtTopOf(pageOf(region)), (1u << 16) | (quint32(chapter) << 8) | 1u)
            << "chapter " << chapter << ": the verse at the top is " << keyAtTopOf(pageOf(region));
        EXPECT_EQ(sectionOf(region), heading) << "chapter " << chapter;
        // The go-to pop-ups show the chapter too.
        auto* go = dynamic_cast<StudyPaneBibleGotoViewController*>(studyPane()->subpaneViewController());
        ASSERT_NE(go, nullptr);
        auto* chapterPopUp = go->view()->findChild<QComboBox*>(QStringLiteral("chapterPopUp"));
        EXPECT_TRUE(waitFor([&] { return chapterPopUp->currentText() == QString::number(chapter); }))
            << "chapter " << chapter << ": the chapter pop-up shows " << chapterPopUp->currentText().toStdString();
    }
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(TestSupport::waitForViewsPainted(m_controller->mainWindowController()->window()));
    m_controller->mainWindowController()->window()->grab().save(
        QStringLiteral(QS_BINARY_DIR "/screenshots/scroller-at-genesis-2.png"));
    reader_test::programEnvironment().settings().set(SettingsKeys::ScrollTrackInterval, QStringLiteral("page"));
}

TEST_F(BookPaneHistory, ATypedChapterLandsOnItsHeadingWithThePsalmsTitleAtTheTop)
{
    launch();
    const SourceTuple::Ptr kjv = kjvBook();
    ASSERT_TRUE(kjv);
    ASSERT_TRUE(activateKjv());
    const int region = kjvRegion();
    struct Typed {
        const char* text;
        quint32 book, chapter;
        const char* title;
    };
    // Ctrl+L and a chapter without a verse, as a reader types it.
    for (const Typed& typed :
        {Typed {"Ps 23", 19, 23, "Psalms 23"}, Typed {"John 1", 43, 1, "John 1"}, Typed {"Gen 2", 1, 2, "Genesis 2"}}) {
        const QString text = QString::fromLatin1(typed.text);
        const QString title = QString::fromLatin1(typed.title);
        const quint32 chapterKey = (typed.book << 16) | (typed.chapter << 8);
        const quint32 heading = kjv->locations().sectionForBibleKey(chapterKey);
        ASSERT_NE(heading, 0u) << typed.text;
        typeIntoBibleGoTo(text);
        EXPECT_TRUE(waitFor([&] { return sectionOf(region) == heading; }))
            << typed.text << ": the pane is at " << sectionOf(region) << ", not the heading " << heading;
        // The title names the chapter, no verse; the heading is the page's top line and the
        // chapter's first verse stands under it.
        EXPECT_TRUE(waitFor([&] {
            const QString shown = titleBarOf(region)->text();
            return shown.contains(title) && !shown.contains(title + QStringLiteral(":"));
        })) << typed.text
            << ": title " << titleBarOf(region)->text().toStdString();
        EXPECT_TRUE(waitFor([&] {
            const QString top = topLineOf(pageOf(region));
            return top.contains(title, Qt::CaseInsensitive) ||
                top.contains(QStringLiteral("CHAPTER %1").arg(typed.chapter), Qt::CaseInsensitive) ||
                top.contains(QStringLiteral("PSALM %1").arg(typed.chapter), Qt::CaseInsensitive);
        })) << typed.text
            << ": the top line is " << topLineOf(pageOf(region)).toStdString();
        EXPECT_EQ(keyAtTopOf(pageOf(region)), chapterKey | 1u) << typed.text;
        if (typed.book == 19) {
            // The psalm's title ("A Psalm H4210 of David H1732.", with its Strong's numbers) stands
            // in the view, under the heading and above the first verse.
            const QString script = QStringLiteral(
                "(function(){var v=document.querySelector('[data-verse-span=\"sel_s19.23.1\"]');"
                "var hs=document.querySelectorAll('h4');for(var i=0;i<hs.length;++i){var h=hs[i];"
                "if(h.textContent.indexOf('A Psalm')<0||h.textContent.indexOf('of David')<0)continue;"
                "var r=h.getBoundingClientRect();return [r.top,r.bottom,v?v.getBoundingClientRect().top:-1,"
                "window.innerHeight];}return [];})()");
            const QVariantList place = evaluate(pageOf(region), script).toList();
            ASSERT_EQ(place.size(), 4) << "no psalm title on the page";
            EXPECT_GE(place[0].toDouble(), 0) << "the psalm's title is above the view";
            EXPECT_LE(place[1].toDouble(), place[2].toDouble()) << "the title is not above verse 1";
            EXPECT_LE(place[2].toDouble(), place[3].toDouble()) << "verse 1 is below the view";
        }
    }
    // A link to a chapter lands on its heading too.
    const quint32 matthew1 = kjv->locations().sectionForBibleKey((40u << 16) | (1u << 8));
    ASSERT_NE(matthew1, 0u);
    pageOf(region)->followLink(QStringLiteral("bible:Matt 1"));
    EXPECT_TRUE(waitFor([&] { return sectionOf(region) == matthew1; }))
        << "a link to Matt 1 lands on " << sectionOf(region) << ", not the heading " << matthew1;
    EXPECT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(region)) == ((40u << 16) | (1u << 8) | 1u); }));
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(TestSupport::waitForViewsPainted(m_controller->mainWindowController()->window()));
    m_controller->mainWindowController()->window()->grab().save(
        QStringLiteral(QS_BINARY_DIR "/screenshots/typed-chapter-genesis-2.png"));
}

TEST_F(BookPaneHistory, ClicksBetweenPanesAreNoStepAndEveryBackShowsAChange)
{
    launch();
    QuillsteadWindowController* window = m_controller->mainWindowController();
    ASSERT_TRUE(waitFor([&] { return kjvRegion() >= 0; }));
    const int region = kjvRegion();
    int other = -1;
    for (int r = 0; r < panes()->goToPanes().regionCount() && other < 0; ++r)
        if (r != region && panes()->goToPanes().isBookPane(r))
            other = r;
    ASSERT_GE(other, 0) << "the first screen has one book pane";
    ASSERT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(region)) != 0; }));
    const quint32 first = keyAtTopOf(pageOf(region));
    // Clicks between the panes and a plain click in the King James text, as a reader makes them.
    const auto clickAround = [&] {
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(reader_test::clickPane(panes(), other));
            ASSERT_TRUE(reader_test::clickPane(panes(), region));
        }
        QWidget* text = pageOf(region)->focusProxy() ? pageOf(region)->focusProxy() : pageOf(region);
        QTest::mouseClick(text, Qt::LeftButton, Qt::NoModifier, QPoint(text->width() / 2, text->height() / 3));
    };
    clickAround();
    if (HasFatalFailure())
        return;
    EXPECT_FALSE(waitFor([&] { return panes()->history().canGoBackInHistory(); }, 1000))
        << "clicks that moved nothing offer Back";
    EXPECT_FALSE(reader_test::choose(window, CommandNames::Back));

    goToVerse(QStringLiteral("Genesis 20:1"));
    clickAround();
    goToVerse(QStringLiteral("Genesis 21:1"));
    clickAround();
    if (HasFatalFailure())
        return;
    // Each Back shows the place before, and the first screen after two.
    for (const quint32 expected : {(1u << 16) | (20u << 8) | 1u, first}) {
        ASSERT_TRUE(reader_test::choose(window, CommandNames::Back));
        EXPECT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(kjvRegion())) == expected; }))
            << "after Back the page's top is " << keyAtTopOf(pageOf(kjvRegion())) << ", not " << expected;
    }
    EXPECT_FALSE(reader_test::choose(window, CommandNames::Back)) << "a Back that shows nothing new";
    ASSERT_TRUE(reader_test::choose(window, CommandNames::Forward));
    EXPECT_TRUE(waitFor([&] { return keyAtTopOf(pageOf(kjvRegion())) == ((1u << 16) | (20u << 8) | 1u); }));
}

// The window is never smaller than its layout's minimum with what the window shows around the layout
// (menu bar, toolbar, layout tabs): also once the study pane, hidden when a pane was split, shows
// again. Made as small as it goes, every pane keeps its region's minimum size.
TEST_F(BookPaneHistory, TheWindowsMinimumIsItsLayoutsMinimumWithWhatIsAroundIt)
{
    launch();
    ASSERT_TRUE(waitFor([&] { return kjvRegion() >= 0; }));
    QuillsteadWindowController* controller = m_controller->mainWindowController();
    QMainWindow* window = controller->window();
    LayoutView* view = panes()->view();
    Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    ASSERT_NE(layout, nullptr);
    // The layout's minimum and what stands around the layout in the window.
    const auto expected = [&] {
        const LayoutSize min = layout->minSize();
        return QSize(int(std::ceil(min.width)), int(std::ceil(min.height))) + (window->size() - view->size());
    };
    const auto minimumFollows = [&] { return waitFor([&] { return window->minimumSize() == expected(); }); };
    EXPECT_TRUE(minimumFollows()) << window->minimumWidth() << "x" << window->minimumHeight();

    // The study pane hidden, a pane split, the study pane shown again.
    ASSERT_TRUE(reader_test::choose(controller, CommandNames::StudyPanel));
    ASSERT_TRUE(waitFor([&] { return layout->minSize().width < 300; }));
    EXPECT_TRUE(minimumFollows()) << "with the study pane hidden " << window->minimumWidth() << " for "
                                  << expected().width();
    ASSERT_TRUE(activateKjv());
    const size_t regions = layout->regions().size();
    ASSERT_TRUE(reader_test::choose(controller, CommandNames::SplitPaneVertically));
    ASSERT_TRUE(waitFor([&] { return layout->regions().size() == regions + 1; }));
    ASSERT_TRUE(reader_test::choose(controller, CommandNames::StudyPanel));
    ASSERT_TRUE(waitFor([&] { return layout->minSize().width >= 400; })) << layout->minSize().width;
    EXPECT_TRUE(minimumFollows()) << "with the study pane shown again " << window->minimumWidth() << "x"
                                  << window->minimumHeight() << " for " << expected().width() << "x"
                                  << expected().height();

    // As small as the window goes: each region keeps its minimum.
    window->resize(200, 200);
    ASSERT_TRUE(waitFor([&] { return view->width() < 1000; }));
    EXPECT_GE(view->width(), int(std::floor(layout->minSize().width)));
    EXPECT_GE(view->height(), int(std::floor(layout->minSize().height)));
    for (size_t i = 0; i < layout->regions().size(); ++i) {
        const LayoutRegion* region = layout->regionAt(i);
        const double least =
            i == layout->firstRegionIndexWithKind(LayoutRegionContents::kStudyKind) ? 100.0 : region->minSize().width;
        EXPECT_GE(region->bounds().width + 0.5, least) << "region " << i;
        EXPECT_GE(region->bounds().height + 0.5, region->minSize().height) << "region " << i;
    }

    // The study pane hidden in the smallest window and shown again: the window grows rather than a
    // book pane going under its minimum, and no pane comes back without width in a large window.
    ASSERT_TRUE(reader_test::choose(controller, CommandNames::StudyPanel));
    ASSERT_TRUE(waitFor([&] { return !controller->isStudyPaneVisible() && minimumFollows(); }));
    window->resize(100, 100);
    ASSERT_TRUE(waitFor([&] { return window->size() == window->minimumSize(); }))
        << window->width() << "x" << window->height() << " for " << window->minimumWidth();
    const auto bookPanesKeepTheirMinimum = [&](const char* step) {
        const quint64 study = layout->firstRegionIndexWithKind(LayoutRegionContents::kStudyKind);
        for (size_t i = 0; i < layout->regions().size(); ++i) {
            const LayoutRegion* region = layout->regionAt(i);
            if (i != study) {
                EXPECT_GE(region->bounds().width + 0.5, region->minSize().width) << step << " region " << i;
            }
        }
    };
    const int smallest = window->width();
    ASSERT_TRUE(reader_test::choose(controller, CommandNames::StudyPanel));
    EXPECT_TRUE(controller->isStudyPaneVisible());
    bookPanesKeepTheirMinimum("the study pane shown in the smallest window");
    EXPECT_TRUE(waitFor([&] {
        return window->width() >= smallest + 90 && view->width() >= int(std::floor(layout->minSize().width)) &&
            layout->bounds().width == view->width();
    })) << "the window is "
        << window->width() << " wide, its layout " << layout->bounds().width;
    bookPanesKeepTheirMinimum("the window grown for the study pane");
    window->resize(1440, 900);
    ASSERT_TRUE(waitFor([&] { return view->width() > 1000 && layout->bounds().width == view->width(); }));
    bookPanesKeepTheirMinimum("in a large window");
    EXPECT_TRUE(controller->isStudyPaneVisible());
}

TEST_F(BookPaneHistory, DividersKeepTheirProportionsThroughARestartAndASmallWindow)
{
    launch();
    ASSERT_TRUE(waitFor([&] { return kjvRegion() >= 0; }));
    LayoutView* view = panes()->view();
    Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
    ASSERT_NE(layout, nullptr);
    // The divider between two book panes, dragged 120 points to the right with the mouse.
    LayoutDivider* divider = nullptr;
    for (size_t i = 4; i < layout->dividers().size() && !divider; ++i)
        if (layout->dividerAt(i)->vertical() && !layout->dividerAt(i)->treatAsOutside())
            divider = layout->dividerAt(i);
    ASSERT_NE(divider, nullptr) << "no divider between book panes";
    const LayoutPoint middle {divider->at(), (divider->startPoint().y + divider->endPoint().y) / 2};
    const QPoint grab(int(std::lround(middle.x)), view->height() - int(std::lround(middle.y)));
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, grab);
    QTest::mouseMove(view, grab + QPoint(60, 0));
    QTest::mouseMove(view, grab + QPoint(120, 0));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, grab + QPoint(120, 0));
    ASSERT_NEAR(divider->at(), middle.x + 120, 1);

    // What the reader sees: each pane's frame in the window.
    const auto frames = [&] {
        std::vector<QRect> out;
        Layout* shown = reader_test::programEnvironment().layoutManager().currentLayout();
        for (size_t i = 0; shown && i < shown->contents().size(); ++i) {
            LayoutRegionContentsViewControllerProtocol* c = shown->contentsAt(i)->viewController();
            QWidget* w = asBookPane(c) ? asBookPane(c)->paneView()
                : asStudyPane(c)       ? asStudyPane(c)->paneView()
                                       : nullptr;
            out.push_back(w ? w->geometry() : QRect());
        }
        return out;
    };
    const auto sameFrames = [](const std::vector<QRect>& a, const std::vector<QRect>& b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (std::abs(a[i].left() - b[i].left()) > 1 || std::abs(a[i].right() - b[i].right()) > 1)
                return false;
        return true;
    };
    const auto describe = [](const std::vector<QRect>& f) {
        std::string s;
        for (const QRect& r : f)
            s += std::to_string(r.left()) + "-" + std::to_string(r.right()) + " ";
        return s;
    };
    const std::vector<QRect> dragged = frames();
    const quint64 study = layout->firstRegionIndexWithKind(LayoutRegionContents::kStudyKind);
    ASSERT_LT(study, dragged.size());

    quit();
    launch();
    ASSERT_TRUE(waitFor([&] { return kjvRegion() >= 0; }));
    EXPECT_TRUE(waitFor([&] { return sameFrames(frames(), dragged); }))
        << "after a restart " << describe(frames()) << "instead of " << describe(dragged);

    // A small window: the study pane gives up its width first, the book panes keep their
    // proportions.
    QMainWindow* window = m_controller->mainWindowController()->window();
    const QSize large = window->size();
    window->resize(800, 600);
    ASSERT_TRUE(waitFor([&] { return panes()->view()->width() <= 800; }))
        << "the window stayed " << panes()->view()->width();
    const std::vector<QRect> small = frames();
    int books = 0, booksBefore = 0;
    for (size_t i = 0; i < small.size(); ++i) {
        if (i != study) {
            books += small[i].width();
            booksBefore += dragged[i].width();
        }
    }
    EXPECT_LE(small[study].width(), 110) << "the study pane kept " << small[study].width()
                                         << " px: " << describe(small);
    for (size_t i = 0; i < small.size(); ++i) {
        if (i != study) {
            EXPECT_NEAR(double(small[i].width()) / books, double(dragged[i].width()) / booksBefore, 0.02)
                << "pane " << i << ": " << describe(small) << "from " << describe(dragged);
        }
    }

    window->resize(large);
    EXPECT_TRUE(waitFor([&] { return sameFrames(frames(), dragged); }))
        << "after the small window " << describe(frames()) << "instead of " << describe(dragged);
}

}  // namespace

// Every command of the main window's menus, run as a keyboard user runs it from a page that holds
// the keys (its shortcut, or its menu opened with the menu's Alt key and walked with the arrow keys),
// leaves the keys in a visible widget that shows what the command did: the page it moved or opened,
// the window it opened, the study pane's field or list it named. The next Page Down, or Escape, acts
// there. A command that cannot be run so is named below with its reason.
//
// Runs in the reader under a window manager (tests/support/run-under-window-manager.sh, as the test
// command runs it): the keys and the active window are the desktop's there. Elsewhere it is skipped.

#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "app/preferences/MASPreferencesWindowController.h"
#include "app/preferences/PreferencesViewController.h"
#include "library/GoToRequest.h"
#include "library/SourceTuple.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layoutview/LayoutGoToPanes.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageView.h"
#include "platform/ui/ActionRegistry.h"
#include "platform/ui/CommandNames.h"
#include "studypane/StudyPaneBibleGotoViewController.h"
#include "studypane/StudyPaneSubpane.h"
#include "studypane/StudyPaneViewController.h"
#include "support/RecordingAlerts.h"

#include "ReaderTestProgram.h"
#include "preferences/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSet>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <map>
#include <string>

namespace {

using reader_test::evaluate;
using reader_test::waitFor;

// What a command shows, and so where the keys must be after it.
enum class Shows {
    Page,       // the current pane's page, moved or opened: Page Down (Page Up at its end) pages it
    EmptyPane,  // a pane with no book yet, current: its view holds the keys
    StudyPane,  // the study pane's sub-pane the command named: its field or list; Escape gives the keys to the page
    Window,  // a window of its own, active, the keys on a control in it; Escape closes it, the page has the keys again
    Asks,    // a question first (recorded by the test program, answered No): the page keeps the keys
};

// The commands that are not run here, each with its reason.
const std::map<std::string, const char*>& notRun()
{
    static const std::map<std::string, const char*> reasons {
        {CommandNames::Quit.name, "ends the program; the menus test presses Ctrl+Q in a reader of its own"},
        {CommandNames::StopSpeaking.name, "enabled only while the reader speaks (Start Speaking, named here too)"},
        {CommandNames::StartSpeaking.name,
            "speaks aloud through the desktop's voices, which this machine may not have"},
        {CommandNames::CopyPassageNow.name, "enabled only with verses selected, which the keys alone do not select"},
        {CommandNames::SyncToActiveBible.name, "shown only with Bible and commentary sync off"},
        {CommandNames::Copy.name, "enabled only with text selected, which the page's keys do not select"},
        {CommandNames::CheckForUpdates.name, "reaches the update service; the update checker's tests run it"},
        {CommandNames::MyOffers.name, "enabled only for an account with offers"},
        {CommandNames::NextBook.name, "enabled only in a pane with two books, which this screen does not have"},
        {CommandNames::PreviousBook.name, "enabled only in a pane with two books, which this screen does not have"},
    };
    return reasons;
}

// The note editor's formats act in the editor alone (disabled elsewhere); the editor's tests press them.
bool isNoteEditorFormat(const QString& name)
{
    for (const CommandId& id : {CommandNames::FormatMenu, CommandNames::FontMenu, CommandNames::Bold,
             CommandNames::Italic, CommandNames::Underline, CommandNames::ListsMenu, CommandNames::OrderedList,
             CommandNames::UnorderedList, CommandNames::ParagraphStyleMenu, CommandNames::Paragraph,
             CommandNames::Heading1, CommandNames::Heading2, CommandNames::Heading3})
        if (name == QLatin1String(id.name))
            return true;
    return false;
}

class EveryCommandByKeys : public reader_test::ReaderWindow {
protected:
    static void SetUpTestSuite() { reader_test::startReaderTestProgram("every-command-by-keys-test"); }

    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "runs under a window manager (run-under-window-manager.sh)";
        ReaderWindow::SetUp();
        QFile::remove(QuillsteadAppController::appLayoutArchiveFile());
        TestSupport::programAlerts().clear();
    }

    QStringList sampleBooks() const override { return {QStringLiteral("DailyReadings.tvk")}; }

    QMainWindow* main() const { return m_controller->mainWindowController()->window(); }

    static BookPageView* pageOf(QWidget* widget)
    {
        for (QWidget* w = widget; w != nullptr; w = w->parentWidget())
            if (auto* page = qobject_cast<BookPageView*>(w))
                return page;
        return nullptr;
    }
    static BookPageView* focusedPage() { return pageOf(QApplication::focusWidget()); }
    BookPageView* currentPage() const
    {
        LayoutBookPane* pane = panes()->currentBookPane();
        return pane != nullptr ? pane->paneView()->findChild<BookPageView*>() : nullptr;
    }
    static std::string keysAreIn()
    {
        QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr)
            return "nothing";
        std::string where = focus->metaObject()->className();
        if (!focus->objectName().isEmpty())
            where += " " + focus->objectName().toStdString();
        if (QWidget* window = focus->window(); window != nullptr)
            where += " in \"" + window->windowTitle().toStdString() + "\"";
        if (QWidget* bar = QApplication::activeWindow(); bar != nullptr && bar->findChild<QMenuBar*>() != nullptr &&
            bar->findChild<QMenuBar*>()->activeAction() != nullptr)
            where += " (the menu bar is active)";
        return where;
    }

    // Keys pressed where the keys are, in the active main window.
    void press(const QKeySequence& keys)
    {
        main()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main()));
        QWidget* focus = QApplication::focusWidget();
        QTest::keySequence(focus != nullptr && focus->window() == main() ? focus : main(), keys);
    }
    void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : main(), key, modifiers);
    }

    // The top menu that holds the command.
    QAction* topMenuOf(QAction* command) const
    {
        for (QAction* top : main()->menuBar()->actions())
            if (top->menu() != nullptr && top->menu()->actions().contains(command))
                return top;
        return nullptr;
    }

    // Runs a command as a keyboard user does: its shortcut, else its menu opened with Alt and the
    // menu's letter, Down until it is the active item, and Return. A dialog it opens runs inside.
    void run(QAction* command)
    {
        if (!command->shortcut().isEmpty()) {
            press(command->shortcut());
            return;
        }
        QAction* top = topMenuOf(command);
        ASSERT_NE(top, nullptr) << command->objectName().toStdString() << " is in no menu";
        const qsizetype amp = top->text().indexOf(QLatin1Char('&'));
        ASSERT_GE(amp, 0) << "the menu " << top->text().toStdString() << " has no letter";
        const QChar letter = top->text().at(amp + 1).toUpper();
        press(QKeySequence(QStringLiteral("Alt+%1").arg(letter)));
        QMenu* menu = top->menu();
        ASSERT_TRUE(waitFor([menu] { return QApplication::activePopupWidget() == menu; }))
            << "Alt+" << letter.toLatin1() << " opened no menu";
        for (int step = 0; step < menu->actions().size() && menu->activeAction() != command; ++step)
            QTest::keyClick(menu, Qt::Key_Down);
        ASSERT_EQ(menu->activeAction(), command) << "Down never reached " << command->text().toStdString();
        QTest::keyClick(menu, Qt::Key_Return);
    }

    // The keys are in the current pane's page, which shows, and Page Down moves it (Page Up at its end).
    ::testing::AssertionResult pageHasTheKeys()
    {
        if (!waitFor([this] {
                BookPageView* page = focusedPage();
                return page != nullptr && page == currentPage() && page->isVisible();
            }))
            return ::testing::AssertionFailure() << "the keys are in " << keysAreIn();
        BookPageView* page = currentPage();
        const auto number = [page](const char* script) { return evaluate(page, QLatin1String(script)).toDouble(); };
        // Once the page has text and room to move.
        if (!waitFor([&] { return number("document.scrollingElement.scrollHeight - window.innerHeight") > 0; }))
            return ::testing::AssertionFailure() << "the page never had more than a screen of text";
        // A page still loading or filling may move itself: it has loaded and settles first (the
        // same place read three times running).
        waitFor([&] {
            return evaluate(page,
                QStringLiteral("document.readyState == 'complete' && "
                               "typeof qsCurrentPosition == 'function'"))
                .toBool();
        });
        double was = -1;
        int same = 0;
        waitFor(
            [&] {
                const double now = number("window.pageYOffset");
                same = now == was ? same + 1 : 0;
                was = now;
                return same >= 2;
            },
            3000);
        const bool atEnd =
            number("document.scrollingElement.scrollHeight - window.innerHeight - window.pageYOffset") < 2;
        // The key reaches the page's document: it moves the page, or (where the page is drawn again
        // at once, as after a display switch, and keeps its place) the document at least saw it.
        evaluate(page,
            QStringLiteral("window.qsTestPageKeys = 0; if (!window.qsTestPageKeysWatched) {"
                           " window.qsTestPageKeysWatched = true; document.addEventListener('keydown',"
                           " function(e) { if (e.key == 'PageDown' || e.key == 'PageUp')"
                           " window.qsTestPageKeys++; }, true); } true"));
        const auto moved = [&] {
            return (number("window.pageYOffset") - was) * (atEnd ? -1 : 1) > 0 || number("window.qsTestPageKeys") > 0;
        };
        pressKey(atEnd ? Qt::Key_PageUp : Qt::Key_PageDown);
        if (!waitFor(moved, 5000))
            return ::testing::AssertionFailure() << (atEnd ? "Page Up" : "Page Down") << " left the page at " << was
                                                 << "; the keys are in " << keysAreIn();
        return ::testing::AssertionSuccess();
    }

    // The keys are in the shown sub-pane of the study pane (in `expected` when given); Escape there
    // gives them to the page.
    ::testing::AssertionResult studyPaneHasTheKeys(QWidget* expected = nullptr)
    {
        StudyPaneViewController* study = studyPane();
        if (study == nullptr)
            return ::testing::AssertionFailure() << "no study pane";
        const auto there = [&] {
            QWidget* focus = QApplication::focusWidget();
            StudyPaneSubpane* shown = study->subpaneViewController();
            return focus != nullptr && focus->isVisible() && shown != nullptr && shown->view()->isAncestorOf(focus) &&
                (expected == nullptr || focus == expected || expected->isAncestorOf(focus));
        };
        if (!waitFor(there))
            return ::testing::AssertionFailure() << "the keys are in " << keysAreIn();
        pressKey(Qt::Key_Escape);
        if (!waitFor([this] { return focusedPage() != nullptr && focusedPage() == currentPage(); }))
            return ::testing::AssertionFailure() << "after Escape the keys are in " << keysAreIn();
        return ::testing::AssertionSuccess();
    }

    // The command opens a window of its own, active, with the keys on a visible control in it; Escape
    // closes it, and the keys are back in the page.
    ::testing::AssertionResult windowHasTheKeys(QAction* command)
    {
        std::string failure;
        QString title;
        const bool shown = TestSupport::whenShownImpl([&] { run(command); },
            [&] {
                QWidget* window = QApplication::activeModalWidget();
                if (window == nullptr)
                    window = QApplication::activeWindow();
                if (window == nullptr || window == main() || !window->isVisible())
                    return false;
                QPointer<QWidget> opened(window);
                title = window->windowTitle();
                if (!waitFor([&] {
                        QWidget* focus = QApplication::focusWidget();
                        return opened != nullptr && focus != nullptr && focus->window() == opened && focus->isVisible();
                    }))
                    failure = "in \"" + title.toStdString() + "\" the keys are in " + keysAreIn();
                pressKey(Qt::Key_Escape);
                if (!waitFor([&] { return opened == nullptr || !opened->isVisible(); })) {
                    failure += " Escape left \"" + title.toStdString() + "\" open";
                    if (opened != nullptr)
                        opened->close();
                }
                return true;
            },
            15000);
        if (!shown)
            return ::testing::AssertionFailure() << "no window took the keys; they are in " << keysAreIn();
        if (!failure.empty())
            return ::testing::AssertionFailure() << failure;
        if (!waitFor([this] { return focusedPage() != nullptr && focusedPage() == currentPage(); }))
            return ::testing::AssertionFailure()
                << "after \"" << title.toStdString() << "\" closed the keys are in " << keysAreIn();
        return ::testing::AssertionSuccess();
    }

    // The keys are in the current pane's view, which shows no book yet.
    ::testing::AssertionResult emptyPaneHasTheKeys()
    {
        if (!waitFor([this] {
                LayoutBookPane* pane = panes()->currentBookPane();
                QWidget* focus = QApplication::focusWidget();
                return pane != nullptr && pane->currentSourceTuple() == nullptr && focus != nullptr &&
                    focus->isVisible() && (pane->paneView() == focus || pane->paneView()->isAncestorOf(focus));
            }))
            return ::testing::AssertionFailure() << "the keys are in " << keysAreIn();
        return ::testing::AssertionSuccess();
    }

    // The menu bar stays closed once Alt is let go after an Alt shortcut.
    ::testing::AssertionResult menuBarStaysClosed()
    {
        QMenuBar* bar = main()->menuBar();
        if (!TestSupport::waitForQueuedWork() || bar->activeAction() != nullptr || bar->hasFocus() ||
            QApplication::activePopupWidget() != nullptr)
            return ::testing::AssertionFailure() << "the menu bar took the keys: " << keysAreIn();
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult check(QAction* command, Shows shows)
    {
        switch (shows) {
        case Shows::Page:
            run(command);
            return pageHasTheKeys();
        case Shows::EmptyPane:
            run(command);
            return emptyPaneHasTheKeys();
        case Shows::StudyPane:
            run(command);
            return studyPaneHasTheKeys();
        case Shows::Window:
            return windowHasTheKeys(command);
        case Shows::Asks: {
            const qsizetype before = TestSupport::programAlerts().shown().size();
            TestSupport::programAlerts().queueAnswer(AlertSecondButtonReturn);
            run(command);
            if (TestSupport::programAlerts().shown().size() == before)
                return ::testing::AssertionFailure() << "it asked nothing";
            return pageHasTheKeys();
        }
        }
        return ::testing::AssertionFailure();
    }
};

TEST_F(EveryCommandByKeys, TheKeysAreWhereEachCommandShowsItsResult)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    main()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main()));
    ASSERT_TRUE(waitFor([this] { return focusedPage() != nullptr && focusedPage() == currentPage(); }))
        << "at the start the keys are in " << keysAreIn();
    ActionRegistry& actions = window->actions();
    LayoutGoToPanes& go = panes()->goToPanes();
    QSet<QString> ran;
    const auto command = [&](const CommandId& id) {
        QAction* action = actions.action(id);
        ran.insert(QLatin1String(id.name));
        return action;
    };
    const auto expect = [&](const CommandId& id, Shows shows) {
        SCOPED_TRACE(id.name);
        QAction* action = command(id);
        ASSERT_NE(action, nullptr);
        window->actions().updateStates();
        ASSERT_TRUE(action->isEnabled()) << id.name << " is disabled";
        EXPECT_TRUE(check(action, shows)) << "after " << id.name;
    };
    const auto topOf = [&](BookPageView* page) { return reader_test::keyAtTopOf(page); };
    const auto keyOf = [&](const char* reference) {
        return kjv->locations().keyForSection(kjv->locations().sectionForSyncString(QLatin1String(reference)));
    };

    // Go To: the keys in its field, where a reference typed goes; Return moves the Bible and Escape
    // gives the keys to its page.
    {
        SCOPED_TRACE("GoTo");
        run(command(CommandNames::GoTo));
        auto* gotoPane = dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController());
        ASSERT_NE(gotoPane, nullptr);
        QComboBox* combo = gotoPane->verseComboBox();
        QLineEdit* field = combo->lineEdit();
        ASSERT_TRUE(waitFor([&] {
            return QApplication::focusWidget() == field || QApplication::focusWidget() == combo;
        })) << "after Go To the keys are in "
            << keysAreIn();
        QTest::keyClicks(field, QStringLiteral("Romans 8:28"));
        pressKey(Qt::Key_Return);
        ASSERT_TRUE(waitFor([&] { return topOf(kjvPage()) == keyOf("Romans 8:28"); }, 10000));
        EXPECT_TRUE(studyPaneHasTheKeys(combo));
        EXPECT_TRUE(pageHasTheKeys());
    }

    // Back and Forward: the keys in the page now showing the place.
    expect(CommandNames::Back, Shows::Page);
    expect(CommandNames::Forward, Shows::Page);

    // A split: the new pane is current and holds the keys; Go To then takes a reference for it, and
    // the book panes' keys step from it and back to it. Closing it gives the keys to the page current after.
    for (const CommandId& split : {CommandNames::SplitPaneVertically, CommandNames::SplitPaneHorizontally}) {
        SCOPED_TRACE(split.name);
        ASSERT_TRUE(activateKjv());
        const int old = go.currentRegion();
        expect(split, Shows::EmptyPane);
        const int added = go.currentRegion();
        EXPECT_NE(added, old);
        run(command(CommandNames::GoTo));
        auto* gotoPane = dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController());
        ASSERT_NE(gotoPane, nullptr) << "Go To for the new pane shows no reference field";
        QComboBox* combo = gotoPane->verseComboBox();
        ASSERT_TRUE(waitFor([&] {
            return QApplication::focusWidget() == combo || QApplication::focusWidget() == combo->lineEdit();
        })) << "after Go To in the new pane the keys are in "
            << keysAreIn();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("John 1:1"));
        EXPECT_EQ(combo->lineEdit()->text(), QStringLiteral("John 1:1"));
        EXPECT_TRUE(waitFor([&] { return go.currentRegion() == added; })) << "the typed reference moved the panes";
        pressKey(Qt::Key_Escape);
        EXPECT_TRUE(emptyPaneHasTheKeys());
        expect(CommandNames::PreviousBookPane, Shows::Page);
        EXPECT_EQ(go.currentRegion(), old);
        run(command(CommandNames::NextBookPane));
        EXPECT_TRUE(waitFor([&] { return go.currentRegion() == added; })) << "Ctrl+] went past the new pane";
        EXPECT_TRUE(emptyPaneHasTheKeys());
        expect(CommandNames::ClosePane, Shows::Page);
    }
    expect(CommandNames::NextBookPane, Shows::Page);
    expect(CommandNames::PreviousBookPane, Shows::Page);
    ASSERT_TRUE(activateKjv());

    // The pane's scroll keys scroll the page and leave the keys in it; letting Alt go opens no menu.
    for (const CommandId& scroll : {CommandNames::ScrollPageDown, CommandNames::ScrollLineDown,
             CommandNames::ScrollLineUp, CommandNames::ScrollPageUp}) {
        SCOPED_TRACE(scroll.name);
        BookPageView* page = kjvPage();
        const double before = evaluate(page, QStringLiteral("window.pageYOffset")).toDouble();
        const bool down = QByteArray(scroll.name).contains("Down");
        run(command(scroll));
        EXPECT_TRUE(waitFor([&] {
            return (evaluate(page, QStringLiteral("window.pageYOffset")).toDouble() - before) * (down ? 1 : -1) > 0;
        })) << "the page did not scroll";
        EXPECT_TRUE(menuBarStaysClosed());
        EXPECT_TRUE(pageHasTheKeys());
    }

    // The view's switches keep the keys in the page; each is set back as it was.
    expect(CommandNames::ToggleBibleSync, Shows::Page);
    expect(CommandNames::ToggleBibleSync, Shows::Page);
    expect(CommandNames::StudyPanel, Shows::Page);       // hidden: the page keeps the keys
    expect(CommandNames::StudyPanel, Shows::StudyPane);  // shown again: its Go To takes them
    for (const auto& [toggle, times] :
        {std::pair {CommandNames::ShowLayoutTabs, 2}, std::pair {CommandNames::ToggleStrongs, 2},
            std::pair {CommandNames::CycleFootnoteMarker, 3}, std::pair {CommandNames::ToggleLinkPreview, 2}})
        for (int i = 0; i < times; ++i)
            expect(toggle, Shows::Page);

    // The study pane's sub-panes: the keys in the one named, Escape gives them back.
    for (const CommandId& subpane :
        {CommandNames::Find, CommandNames::FindInNotes, CommandNames::Journal, CommandNames::LibrarySearch,
            CommandNames::Notes, CommandNames::LibraryNavigator, CommandNames::Bookmarks, CommandNames::Highlights})
        expect(subpane, Shows::StudyPane);

    // Windows of their own: active with the keys; Escape closes them.
    for (const CommandId& opens : {CommandNames::OpenBook, CommandNames::AboutThisBook, CommandNames::CopyPassage,
             CommandNames::AutostudyVerse, CommandNames::AutostudyWord, CommandNames::AutostudyToday,
             CommandNames::NewLayout, CommandNames::RenameLayout, CommandNames::AboutQuillstead, CommandNames::Settings,
             CommandNames::DisplaySettings, CommandNames::ColorSettings, CommandNames::CloudLibrary,
             CommandNames::SyncNow})
        expect(opens, Shows::Window);

    // Settings: every page the keys step to (Ctrl+Tab) or a click shows gives the keys to a control of its own.
    {
        SCOPED_TRACE("settings pages");
        ASSERT_TRUE(reader_test::choose(window, CommandNames::Settings));
        MASPreferencesWindowController* settings = TestSupport::waitForWindow<MASPreferencesWindowController>();
        ASSERT_NE(settings, nullptr);
        ASSERT_TRUE(waitFor([settings] {
            if (QApplication::activeWindow() != settings)
                settings->activateWindow();
            return QApplication::activeWindow() == settings;
        }));
        const auto onShownPage = [settings] {
            const PreferencesViewController* shown = settings_test::shownPage(settings);
            QWidget* focus = QApplication::focusWidget();
            return shown != nullptr && focus != nullptr && focus->isVisible() && shown->isAncestorOf(focus);
        };
        const int pages = int(settings->toolbarItemIdentifiers().size());
        QStringList seen;
        for (int step = 0; step < pages; ++step) {
            QTest::keyClick(
                QApplication::focusWidget() ? QApplication::focusWidget() : settings, Qt::Key_Tab, Qt::ControlModifier);
            const PreferencesViewController* shown = settings_test::shownPage(settings);
            ASSERT_NE(shown, nullptr);
            seen << shown->identifier();
            EXPECT_TRUE(waitFor(onShownPage))
                << "on " << shown->identifier().toStdString() << " (Ctrl+Tab) the keys are in " << keysAreIn();
        }
        for (QAction* button : settings->toolbar()->actions()) {
            QWidget* widget = settings->toolbar()->widgetForAction(button);
            if (button->objectName().isEmpty() || widget == nullptr || !widget->isVisible())
                continue;
            QTest::mouseClick(widget, Qt::LeftButton);
            EXPECT_TRUE(waitFor(onShownPage))
                << "on " << button->objectName().toStdString() << " (a click) the keys are in " << keysAreIn();
        }
        pressKey(Qt::Key_Escape);
        EXPECT_TRUE(waitFor([settings] { return !settings->isVisible(); }));
        EXPECT_TRUE(waitFor([this] { return focusedPage() != nullptr && focusedPage() == currentPage(); }))
            << "after Settings closed the keys are in " << keysAreIn();
    }

    // Today's Reading: the keys in the reading's page, whose menu key opens its menu; also when
    // pressed from another book's pane.
    expect(CommandNames::TodaysReading, Shows::Page);
    const auto reading = [&] {
        LayoutBookPane* pane = panes()->currentBookPane();
        return pane != nullptr && pane->currentSourceTuple() != nullptr &&
            pane->currentSourceTuple()->record().syncType == 3;
    };
    EXPECT_TRUE(reading()) << "the current pane shows no reading";
    const TestSupport::ShownPopupMenu menu = TestSupport::readPopupMenu(
        [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier); });
    EXPECT_FALSE(menu.titles.isEmpty()) << "Shift+F10 opened no menu; the keys are in " << keysAreIn();
    expect(CommandNames::ReadingComplete, Shows::Page);
    expect(CommandNames::ReadingComplete, Shows::Page);
    for (int region = 0;
         region < int(reader_test::programEnvironment().layoutManager().currentLayout()->contents().size()); ++region) {
        LayoutBookPane* pane = go.bookPaneAt(region);
        if (pane == nullptr || pane->currentSourceTuple() == nullptr ||
            pane->currentSourceTuple()->record().syncType == 3)
            continue;
        ASSERT_TRUE(reader_test::clickPane(panes(), region));
        SCOPED_TRACE("from the pane of " + pane->currentSourceTuple()->record().abbr.toStdString());
        expect(CommandNames::TodaysReading, Shows::Page);
        EXPECT_TRUE(reading()) << "the current pane shows no reading";
        break;
    }

    // Help: the help book's page, where it opens, has the keys.
    expect(CommandNames::QuillsteadHelp, Shows::Page);
    EXPECT_TRUE(waitFor([this] {
        LayoutBookPane* pane = panes()->currentBookPane();
        return pane != nullptr && pane->currentSourceTuple() != nullptr &&
            pane->currentSourceTuple()->record().pubID == 1 && pane->currentSourceTuple()->record().bookID == 24;
    })) << "the current pane does not show the help book";

    // A second layout (the King James book maximized) makes Delete Layout possible; it asks first,
    // answered No.
    {
        GoToRequest request;
        request.sourceTuple = kjv;
        request.section = kjv->locations().sectionForSyncString(QStringLiteral("John 3:16"));
        panes()->doNewLayoutWithBooks({request});
        EXPECT_TRUE(activateKjv());
        // (Made without the keys: they are put in its page as a click would put them.)
        panes()->giveKeysToCurrentPane();
        expect(CommandNames::DeleteLayout, Shows::Asks);
    }

    // Close Book: the pane shows its next book, or none; the keys stay in it.
    {
        SCOPED_TRACE("CloseBook");
        run(command(CommandNames::CloseBook));
        EXPECT_TRUE(waitFor([this] {
            LayoutBookPane* pane = panes()->currentBookPane();
            QWidget* focus = QApplication::focusWidget();
            return pane != nullptr && focus != nullptr && focus->isVisible() && pane->paneView()->isAncestorOf(focus);
        })) << "the keys are in "
            << keysAreIn();
    }

    // Every command of the menus was run above or is named with its reason.
    QStringList missed;
    for (QAction* top : main()->menuBar()->actions()) {
        if (top->menu() == nullptr)
            continue;
        emit top->menu()->aboutToShow();
        for (QAction* item : top->menu()->actions()) {
            const QString name = item->objectName();
            if (item->isSeparator() || !item->isVisible() || isNoteEditorFormat(name) || ran.contains(name) ||
                notRun().count(name.toStdString()) != 0)
                continue;
            missed << (name.isEmpty() ? item->text() : name);
        }
    }
    EXPECT_TRUE(missed.isEmpty()) << "not run and not named: " << missed.join(QStringLiteral(", ")).toStdString();
}

}  // namespace

// The setting of a test program that runs the reader itself: the private home and the application
// object of the shared test support, and the books that come with the application taken from the
// build. Call startReaderTestProgram from SetUpTestSuite, once per program.
//
// ReaderWindow is the fixture of tests that drive the main window: it launches and quits the reader
// and finds the King James pane of the first screen. choose(), chooseMenuItem() and pressKeys() run
// a command as the user does.
#pragma once

#include "app/ProgramParts.h"
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "library/SourceTuple.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layoutview/LayoutGoToPanes.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageHtml.h"
#include "panes/page/BookPageView.h"
#include "platform/AppFolders.h"
#include "platform/ui/ActionRegistry.h"
#include "search/execution/SearchExecutor.h"
#include "studypane/StudyPaneViewController.h"
#include "studypane/notes/NoteStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QToolBar>
#include <QVariant>
#include <QWebEnginePage>

#include <functional>
#include <memory>

namespace reader_test {

// Starts the program's application in a private home (TestSupport.h) with the books that come with
// the application taken from the build and its alerts recorded (TestSupport::programAlerts); returns
// the home's path.
inline QString startReaderTestProgram(const char* programName)
{
    const QString home = TestSupport::startApplication(programName);
    QuillsteadAppController::setBundledBooksFolder(TestSupport::bundledBooksFolder());
    TestSupport::programAlerts();
    return home;
}

using TestSupport::waitFor;

// The environment of the main window with the program's services (ProgramServices), made with the
// program's first window and kept until the program ends, as the reader keeps them until it quits.
inline WindowEnvironment programEnvironment()
{
    static const ProgramServices* const services = new ProgramServices();
    return services->environment();
}

// The notes of the program's note document (the one its window is handed).
inline NoteStore programNotes()
{
    return NoteStore(programEnvironment().notes());
}

// What the window hands its book panes to reach the parts above them (the stores, the copier), as a
// book pane of the current layout asks it; null when no book pane is shown.
inline BookPaneHooks* bookPaneHooks()
{
    const auto layout = programEnvironment().layoutManager().currentLayout();
    if (layout == nullptr)
        return nullptr;
    for (const auto& contents : layout->contents())
        if (auto* pane = dynamic_cast<BookPaneViewController*>(contents->viewController()))
            return &pane->hooks();
    return nullptr;
}

// Runs a script in a book page and waits for its answer; invalid when none came.
inline QVariant evaluate(BookPageView* page, const QString& script)
{
    return TestSupport::runScript(page->page(), script, 10000).value_or(QVariant());
}

// The Bible key of the verse the page itself finds at the top of its view; 0 when none.
inline quint32 keyAtTopOf(BookPageView* page)
{
    const QString verse =
        evaluate(page, QStringLiteral("(function(){var p=qsCurrentPosition();return p?p.verse:'';})()")).toString();
    return verse.isEmpty() ? 0 : BookPageHtml::bibleKeyFromDataVerseSpan(verse);
}

// Chooses a command as the user does: from the menu that holds it, once the menu has asked for the
// commands' states (or from the toolbar). False when no menu or toolbar shows it or it is disabled.
inline bool choose(QuillsteadWindowController* window, const CommandId& id)
{
    QAction* command = window->actions().action(id);
    if (command == nullptr)
        return false;
    QMenu* holder = nullptr;
    for (QMenu* menu : window->window()->menuBar()->findChildren<QMenu*>())
        if (menu->actions().contains(command))
            holder = menu;
    if (holder != nullptr)
        emit holder->aboutToShow();
    else if (window->toolbar()->actions().contains(command))
        window->actions().updateStates();
    else
        return false;
    if (!command->isEnabled() || !command->isVisible())
        return false;
    command->trigger();
    return true;
}

// A menu's or an item's text as the user reads it: without the mnemonic's & and a closing ellipsis.
inline QString readText(const QString& text)
{
    return TestSupport::menuText(text);
}

// Chooses an item of a menu of the menu bar by the texts the user reads ("Study", "Find"), once the
// menu has asked for its commands' states. False when there is no such menu or item, or it is
// disabled or hidden.
inline bool chooseMenuItem(QuillsteadWindowController* window, const QString& menuTitle, const QString& itemText)
{
    for (QAction* top : window->window()->menuBar()->actions()) {
        QMenu* menu = top->menu();
        if (menu == nullptr || readText(top->text()) != menuTitle)
            continue;
        emit menu->aboutToShow();
        for (QAction* item : menu->actions()) {
            if (item->isSeparator() || readText(item->text()) != readText(itemText))
                continue;
            if (!item->isEnabled() || !item->isVisible())
                return false;
            item->trigger();
            return true;
        }
    }
    return false;
}

// Presses keys in the main window as the user does, the window made active first (a window's
// shortcuts reach only the active window). False when it could not be made active.
inline bool pressKeys(QuillsteadWindowController* window, const QKeySequence& keys)
{
    QMainWindow* main = window->window();
    main->show();
    main->activateWindow();
    if (!QTest::qWaitForWindowActive(main))
        return false;
    QTest::keySequence(main, keys);
    return true;
}

// Makes a book pane current as the user does, with a click in it: a pane that is not current lies
// under a shade that takes the click. True at once for the current pane; false when the pane is not
// shown or did not become current.
inline bool clickPane(LayoutViewController* panes, int region)
{
    LayoutGoToPanes& go = panes->goToPanes();
    if (go.currentRegion() == region)
        return true;
    LayoutBookPane* pane = go.bookPaneAt(region);
    QWidget* view = pane != nullptr ? pane->paneView() : nullptr;
    if (view == nullptr || !view->isVisible())
        return false;
    const QPoint centre = view->rect().center();
    QWidget* target = view->childAt(centre);
    if (target == nullptr)
        target = view;
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(view, centre));
    return waitFor([&go, region] { return go.currentRegion() == region; });
}

class ReaderWindow : public ::testing::Test {
protected:
    // The program's setting (startReaderTestProgram); from the fixture's SetUpTestSuite.
    static void startProgram(const char* programName) { startReaderTestProgram(programName); }

    // The books of the sample library the fixture's tests read beside the books that come with the
    // application.
    virtual QStringList sampleBooks() const { return {}; }

    void SetUp() override
    {
        if (!QFile::exists(TestSupport::bundledBooksFolder() + QStringLiteral("/KJV.tvk")))
            GTEST_SKIP() << "the books that come with the application are not built";
        programEnvironment().layoutManager().setLayouts({});
        addSampleBooks(sampleBooks());
    }

    void TearDown() override
    {
        SearchExecutor::shared().waitForDone();
        if (m_controller)
            quit();
    }

    QuillsteadAppController& launch()
    {
        m_controller = std::make_unique<QuillsteadAppController>(programEnvironment());
        m_controller->applicationDidFinishLaunching({});
        QMainWindow* window = m_controller->mainWindowController()->window();
        window->resize(1280, 800);
        window->show();
        QCoreApplication::processEvents();
        return *m_controller;
    }

    void quit()
    {
        m_controller->applicationWillTerminate();
        m_controller.reset();
        programEnvironment().layoutManager().setLayouts({});
    }

    // Copies books of the sample library beside the books that come with the application (a book
    // the build left out is left out here too).
    static void addSampleBooks(const QStringList& names)
    {
        const QDir books(AppFolders::booksDirectory());
        QDir().mkpath(books.path());
        for (const QString& name : names) {
            const QString from = QDir(TestSupport::sampleLibraryFolder()).filePath(name);
            const QString to = books.filePath(name);
            if (QFile::exists(from) && !QFile::exists(to))
                QFile::copy(from, to);
        }
    }

    // The reader launched with its King James pane current, and its study pane: where most window
    // tests start. The book or the study pane is null when it did not show.
    struct AtKjv {
        QuillsteadWindowController* window = nullptr;
        SourceTuple::Ptr kjv;
        StudyPaneViewController* study = nullptr;
    };
    AtKjv launchAtKjv()
    {
        QuillsteadWindowController* window = launch().mainWindowController();
        return {window, activateKjv(), studyPane()};
    }

    LayoutViewController* panes() const { return m_controller->mainWindowController()->layoutViewController(); }
    StudyPaneViewController* studyPane() const
    {
        return dynamic_cast<StudyPaneViewController*>(panes()->view()->studyPane());
    }

    // The region of the current layout whose book pane shows the King James book; -1 when none.
    int kjvRegion() const
    {
        Layout* layout = programEnvironment().layoutManager().currentLayout();
        for (size_t i = 0; layout != nullptr && i < layout->contents().size(); ++i) {
            LayoutBookPane* pane = asBookPane(layout->contentsAt(i)->viewController());
            const SourceTuple::Ptr book = pane != nullptr ? pane->currentSourceTuple() : nullptr;
            if (book != nullptr && book->record().pubID == 1 && book->record().bookID == 101)
                return int(i);
        }
        return -1;
    }

    // The page of the pane that shows the King James book; null when none does.
    BookPageView* kjvPage() const
    {
        const int region = kjvRegion();
        Layout* layout = programEnvironment().layoutManager().currentLayout();
        LayoutBookPane* pane = layout != nullptr && region >= 0
            ? asBookPane(layout->contentsAt(size_t(region))->viewController())
            : nullptr;
        return pane != nullptr ? pane->paneView()->findChild<BookPageView*>() : nullptr;
    }

    // Makes the King James pane the current pane with a click in it; its book then is the active book.
    SourceTuple::Ptr activateKjv()
    {
        int region = -1;
        if (!waitFor([&] { return (region = kjvRegion()) >= 0; }) || !clickPane(panes(), region))
            return nullptr;
        return panes()->activeSourceTuple();
    }

    std::unique_ptr<QuillsteadAppController> m_controller;
};

}  // namespace reader_test

// The setting of a test program that runs the reader itself: a private home (HOME and the XDG
// folders in a temporary folder kept for the whole program, a runtime folder only the user may
// enter), offscreen windows, the web engine without sandbox or GPU, the book page scheme registered
// before the application object, and the books that come with the application taken from the build.
//
// The application object is made once and never deleted: one destroyed during exit crashes in the
// web engine's clean-up of its shared OpenGL context. Call from SetUpTestSuite, once per program.
//
// ReaderWindow is the fixture of tests that drive the main window: it launches and quits the reader
// and finds the King James pane of the first screen. choose() runs a command as the user does.
#pragma once

#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "library/SourceTuple.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageScheme.h"
#include "platform/ui/ActionRegistry.h"
#include "search/execution/SearchExecutor.h"
#include "studypane/StudyPaneViewController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <QTemporaryDir>
#include <QToolBar>

#include <cstdlib>
#include <functional>
#include <memory>

namespace reader_test {

// Returns the private home's path.
inline QString startReaderTestProgram(const char* programName)
{
    static QTemporaryDir home;
    const QByteArray path = home.path().toUtf8();
    setenv("HOME", path.constData(), 1);
    setenv("XDG_DATA_HOME", (path + "/data").constData(), 1);
    setenv("XDG_CACHE_HOME", (path + "/cache").constData(), 1);
    setenv("XDG_CONFIG_HOME", (path + "/config").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (path + "/run").constData(), 1);
    QDir().mkpath(home.path() + QStringLiteral("/run"));
    QFile::setPermissions(home.path() + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu", 1);
    static int argc = 1;
    static QByteArray name(programName);
    static char* argv[] = {name.data(), nullptr};
    BookPageScheme::registerScheme();
    new QApplication(argc, argv);
    QuillsteadAppController::setBundledBooksFolder(QStringLiteral(QS_BINARY_DIR "/books"));
    return home.path();
}

// Runs the event loop until the condition holds; false when it did not within the time.
inline bool waitFor(const std::function<bool()>& condition, int msecs = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > msecs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
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

class ReaderWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFile::exists(QStringLiteral(QS_BINARY_DIR "/books/KJV.tvk")))
            GTEST_SKIP() << "the books that come with the application are not built";
        LayoutManager::sharedLayoutManager().setLayouts({});
    }

    void TearDown() override
    {
        SearchExecutor::shared().waitForDone();
        if (m_controller)
            quit();
    }

    QuillsteadAppController& launch()
    {
        m_controller = std::make_unique<QuillsteadAppController>();
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
        LayoutManager::sharedLayoutManager().setLayouts({});
    }

    LayoutViewController* panes() const { return m_controller->mainWindowController()->layoutViewController(); }
    StudyPaneViewController* studyPane() const
    {
        return dynamic_cast<StudyPaneViewController*>(panes()->view()->studyPane());
    }

    // The region of the current layout whose book pane shows the King James book; -1 when none.
    int kjvRegion() const
    {
        Layout* layout = LayoutManager::sharedLayoutManager().currentLayout();
        for (size_t i = 0; layout != nullptr && i < layout->contents().size(); ++i) {
            LayoutBookPane* pane = asBookPane(layout->contentsAt(i)->viewController());
            const SourceTuple::Ptr book = pane != nullptr ? pane->currentSourceTuple() : nullptr;
            if (book != nullptr && book->pubID() == 1 && book->bookID() == 101)
                return int(i);
        }
        return -1;
    }

    // Makes the King James pane the current pane; its book then is the active book.
    SourceTuple::Ptr activateKjv()
    {
        int region = -1;
        if (!waitFor([&] { return (region = kjvRegion()) >= 0; }))
            return nullptr;
        Layout* layout = LayoutManager::sharedLayoutManager().currentLayout();
        panes()->view()->makePaneCurrentWithRegion(layout->regionAt(size_t(region)));
        return panes()->activeSourceTuple();
    }

    std::unique_ptr<QuillsteadAppController> m_controller;
};

}  // namespace reader_test

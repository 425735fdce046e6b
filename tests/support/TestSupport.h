// What every test of the running reader and of live web views needs, in one place: a private home,
// the one application object, the waits on conditions, the page's answers to scripts, and the books
// of the build.
//
// The private home holds HOME and the XDG folders (data, cache, config and a runtime folder only the
// user may enter) in a temporary folder kept for the whole program, so no test touches the user's
// real folders. The application object is made once and never deleted: with the web engine linked
// in, destroying it during exit deletes a shared OpenGL context after Qt's thread storage is gone.
// With the web engine, the program therefore ends as soon as its tests have run and reported, before
// the destructors of static objects (the engine's threads still run then).
//
// Every wait here runs the event loop until a condition holds and returns false when it did not
// within its time; none sleeps for a fixed time. Main thread only.
#pragma once

#include <QApplication>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>

class QWebEnginePage;
class RecordingAlerts;
class UserDefaults;

namespace TestSupport {

// How long a wait lasts when its caller names no time: long enough for a loaded machine.
inline constexpr int kWaitMs = 30000;

enum class Web {
    None,    // widgets only
    Engine,  // live web views: the book page scheme registered first, the web engine without sandbox or GPU
};

// Sets up the private home and the offscreen platform (the X server of DISPLAY instead when
// QS_TEST_PLATFORM=xcb) and makes the application object, once per program (later calls return the
// same home). Call before anything reads a folder or a setting.
QString startApplication(const char* programName, Web web = Web::Engine);
// The process's alerts, recorded instead of shown (support/RecordingAlerts.h): installed on the first
// call as the alerts the layers below the interface reach, as the program installs its window alerts
// at start-up, and kept for the program. The program's services hand them to its window.
RecordingAlerts& programAlerts();
// The private home's path (empty before startApplication).
QString home();
// Settings in a file of the private home holding every preference's default, made on first use and
// kept for the program: what a test hands the objects it makes where the program would hand its own.
UserDefaults& privateDefaults();
// The engine's databases (notes, highlights, bookmarks) are kept in the private home.
void usePrivateEngineData();

// Runs the event loop until the condition holds; false when it did not within the time.
bool waitFor(const std::function<bool()>& condition, int msecs = kWaitMs);

// Runs the event loop until every event already posted and every timer already started without a
// delay has run (they run in order, before a zero timer started now): what a check that something
// did not happen waits for. False when that did not come about within the time.
bool waitForQueuedWork(int msecs = kWaitMs);

// The visible top-level window of type W, or null.
template <class W> W* shownWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<W*>(w); found != nullptr && found->isVisible())
            return found;
    return nullptr;
}

// Waits for a top-level window of type W to show; null when none did within the time.
template <class W> W* waitForWindow(int msecs = kWaitMs)
{
    W* found = nullptr;
    waitFor([&found] { return (found = shownWindow<W>()) != nullptr; }, msecs);
    return found;
}

// Runs `trigger` and, as soon as a window of type W shows (even one whose own event loop runs inside
// the trigger, as a modal dialog's does), hands it to `act`, which must close it. True when it showed.
bool whenShownImpl(const std::function<void()>& trigger, const std::function<bool()>& actIfShown, int msecs);
template <class W>
bool whenShown(const std::function<void()>& trigger, const std::function<void(W*)>& act, int msecs = kWaitMs)
{
    return whenShownImpl(
        trigger,
        [&act] {
            W* found = shownWindow<W>();
            if (found != nullptr)
                act(found);
            return found != nullptr;
        },
        msecs);
}

// A menu item's text as the user reads it: without the mnemonic's & and a closing ellipsis.
QString menuText(QString text);

// Chooses an item of a pop-up menu with the keys, as the user does: `open` makes the menu show (a
// context menu runs its own event loop, inside `open` or once the events it caused have come); then
// Down walks to each item of the path, Right opens a submenu and Return chooses the last item. An
// entry names an item by its whole text or by its first words ("Highlight" for "Highlight Romans
// 8:28"). A dialog the item opens runs inside this call, so a `whenShown` around it reaches it. False,
// with every pop-up closed, when an item did not show or was disabled.
bool choosePopupMenuItem(const std::function<void()>& open, const QStringList& path, int msecs = kWaitMs);

// What a pop-up menu showed: its items' texts (separators left out) and where it stood on the screen.
struct ShownPopupMenu {
    QStringList titles;
    QRect geometry;
};
// Reads the pop-up menu that `open` makes show (a right-click, Shift+F10) and closes it at once, or
// chooses with Return the item whose text is `choose`, when given. No titles when no menu showed
// within the time.
ShownPopupMenu readPopupMenu(const std::function<void()>& open, const QString& choose = QString(), int msecs = 10000);

// The page's answer to a script; nothing when the page did not answer within the time.
std::optional<QVariant> runScript(QWebEnginePage* page, const QString& script, int msecs = kWaitMs);
// The text the page shows, as plain text; empty when the page did not answer.
QString pageText(QWebEnginePage* page, int msecs = kWaitMs);
// Waits until the page's answer to a script, read again until it holds, equals `expected`.
bool waitForScript(QWebEnginePage* page, const QString& script, const QVariant& expected, int msecs = kWaitMs);
// Waits until the page has loaded and its view has painted something besides its background: the
// moment a screenshot of it shows what the reader sees.
bool waitForPainted(QWebEnginePage* page, QWidget* view, int msecs = kWaitMs);

// The same for every visible web view inside a window whose page shows any text: the moment a
// screenshot of the window shows what the reader sees.
bool waitForViewsPainted(QWidget* window, int msecs = kWaitMs);

// The books that come with the application, as the build made them.
QString bundledBooksFolder();
// The sample library the build compiles (left out of sanitizer builds).
QString sampleLibraryFolder();
// True when the sample library holds every one of the books (all of KJV and WEB when none is named).
bool haveSampleLibrary(std::initializer_list<const char*> books = {});
// Links the named books of the sample library into a folder (made if missing), leaving books
// already there alone; false when one is missing from the library or cannot be linked.
bool linkSampleBooks(const QString& folder, std::initializer_list<const char*> books);

}  // namespace TestSupport

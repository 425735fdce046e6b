// EngineProcesses: the web engine's processes as the reader starts them.
//
// The engine runs Qt's own process program (QtWebEngineProcess, which Qt finds itself) and reads
// its flags from the application's arguments, after --webEngineArgs. The reader hands it its own
// settings that way rather than through QTWEBENGINE_CHROMIUM_FLAGS, so that nothing it sets for its
// engine reaches the programs it starts (platform/StartupEnvironment.h):
//
// - One renderer process per site (kProcessModelFlag): every book page is of one site, so the
//   panes' pages share one renderer instead of each starting its own.
// - With the engine's sandbox off (--no-sandbox, or QTWEBENGINE_DISABLE_SANDBOX set) the engine's
//   zygotes hold nothing a renderer needs: the renderer starts from the engine's program itself
//   (--no-zygote), and the two processes go with some 10 MB of the tree's memory
//   (bench/README.md, "Memory alone"). The renderer is still a process of its own: one that ends
//   is survived, and its pages are drawn again.
//
// Flags the user gave stay as they are, whether after --webEngineArgs on the command line or in
// QTWEBENGINE_CHROMIUM_FLAGS (which the engine would read instead of the arguments: it is set
// aside while the engine starts and put back afterwards, so it reaches the programs the reader
// starts as the user set it). A flag that already chooses a process model keeps it.
//
// Main thread: Arguments before the application object, started() after it.
#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <vector>

namespace EngineProcesses {

// The web engine's process model: one renderer process per site.
inline constexpr char kProcessModelFlag[] = "--process-per-site";
// What separates the application's own arguments from the web engine's.
inline constexpr char kEngineArgumentsMark[] = "--webEngineArgs";

// Whether the engine's sandbox is off: the flags name --no-sandbox, or QTWEBENGINE_DISABLE_SANDBOX has
// a value other than "0". Pure.
bool sandboxOff(const QList<QByteArray>& flags, const QByteArray& disableSandbox);

// The flags with the reader's process settings added where they apply. Pure.
QList<QByteArray> withProcessFlags(QList<QByteArray> flags, const QByteArray& disableSandbox);

// Flags written as the engine's variable holds them: separated by white space, a double-quoted
// stretch kept in one flag (without its quotes). Pure.
QList<QByteArray> splitFlags(const QByteArray& text);

// The application's arguments as the engine is to read them: the program's own arguments (those
// before any --webEngineArgs), then --webEngineArgs and the engine's flags: the user's (from the
// variable, else those after --webEngineArgs) with the reader's process settings. Pure.
QList<QByteArray> applicationArguments(const QList<QByteArray>& arguments, const QByteArray& variableFlags,
    bool variableSet, const QByteArray& disableSandbox);

// The program's own arguments among the application's: those before --webEngineArgs.
QStringList programArguments(const QStringList& arguments);

// The argument vector for the application object, made from main's: applicationArguments() of it
// and of the environment. QTWEBENGINE_CHROMIUM_FLAGS is set aside until started(). Kept while the
// application object lives.
class Arguments {
public:
    Arguments(int argc, char** argv);
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    int& argc() { return m_argc; }
    char** argv() { return m_pointers.data(); }

private:
    QList<QByteArray> m_storage;
    std::vector<char*> m_pointers;
    int m_argc = 0;
};

// After the application object and the choice of the web views' graphics: starts the web engine
// (the book pages' profile), which reads its flags now, then puts back every variable the reader
// set for its own start (platform/StartupEnvironment.h).
void started();

}  // namespace EngineProcesses

// cMsgBox: the engine's message box. An error path creates one on the stack, asks
// it to show a message and destroys it. Each call logs one line to standard error,
// is counted, and answers 1. Message texts are not part of the engine; the id says
// which error path was taken (201 search evaluation, 204 section text output, 205
// Bible document, 206 dated document, 207-213 opening a book, or a book-file or
// search result code passed on).
//
// A database error report (the user's data could not be read or written) also goes
// to the cDatabaseErrorReporter hook, which the application installs to tell the
// user; a caller that tells the user itself holds a cDatabaseErrorCapture around
// the work, so that one failure is reported once.
// Safe on any thread.
#pragma once

#include "engine/foundation/cLStringTmpl.h"
#include "engine/foundation/cStartupHook.h"

#include <cstdint>

// Where database error reports go after the log line (the application shows them). Called on the
// thread that met the error, with no engine lock held by cMsgBox. The default does nothing more.
class cDatabaseErrorReporter : public cStartupHook<cDatabaseErrorReporter> {
public:
    virtual ~cDatabaseErrorReporter() = default;
    virtual void databaseError(const cLString16& text) { (void)text; }
    // Something that happened to the database that the user should hear of, though it is no error of
    // the disk or the file (another program holds it, it was replaced and opened again): the words'
    // title and what happened. The default does nothing more.
    virtual void databaseNotice(const cLString16& title, const cLString16& text)
    {
        (void)title;
        (void)text;
    }
};

// Where the engine's traces go (cMsgBox::trace): the application hands them to its log. The default
// drops them, so tools and tests print only what they were asked for. Any thread.
class cEngineTraceLog : public cStartupHook<cEngineTraceLog> {
public:
    virtual ~cEngineTraceLog() = default;
    // The default: kept for the whole process, since documents close (and trace) during exit.
    static cEngineTraceLog& defaultHook();
    // One trace line, without its end of line.
    virtual void trace(const char* line) { (void)line; }
};

// While one lives on a thread, the database error reports made on that thread are kept in it (still
// logged and counted) instead of going to the reporter: its owner tells the user about the failure,
// reason included. Captures nest; the innermost one takes the reports. Not shared between threads.
class cDatabaseErrorCapture {
public:
    cDatabaseErrorCapture();
    ~cDatabaseErrorCapture();
    cDatabaseErrorCapture(const cDatabaseErrorCapture&) = delete;
    cDatabaseErrorCapture& operator=(const cDatabaseErrorCapture&) = delete;

    bool captured() const { return m_count > 0; }
    // Whether a capture lives on this thread.
    static bool isActive();
    // The first report taken (empty when none).
    const cLString16& text() const { return m_first; }

private:
    friend class cMsgBox;
    cDatabaseErrorCapture* m_outer = nullptr;
    cLString16 m_first;
    int m_count = 0;
};

class cMsgBox {
public:
    cMsgBox() = default;
    virtual ~cMsgBox() = default;

    // `style` and any further arguments (the texts a dialog would show) are
    // accepted for the callers' sake and only the id and style are logged.
    int show(std::int32_t id, std::uint32_t style = 0);
    template <typename... Args> int show(std::int32_t id, std::uint32_t style, const Args&...)
    {
        return show(id, style);
    }

    // A database error report (UTF-16 text): logged, then taken by the thread's capture or
    // handed to the reporter hook.
    int showDatabaseError(const cLString16& text);
    // A database notice (cDatabaseErrorReporter::databaseNotice): logged, then handed to the reporter
    // hook whatever capture lives on the thread.
    int showDatabaseNotice(const cLString16& title, const cLString16& text);

    // A trace of the engine's work ("Starting cBibleDoc::Close()"): one line for the log
    // (cEngineTraceLog), never standard output, which belongs to the programs' own results. A
    // closing carriage return or new line is dropped.
    static void trace(const char* text);

    // Process-wide record of the messages shown, for diagnostics and tests.
    static std::uint32_t shownCount();
    static std::int32_t lastShownId();  // 0 before any show; -1 after a database error
};

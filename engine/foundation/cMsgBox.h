// cMsgBox: the engine's message box. An error path creates one on the stack, asks
// it to show a message and destroys it. Nothing is shown on this platform: each
// call logs one line to standard error, is counted, and answers 1. Message texts
// are not part of the engine; the id says which error path was taken (201 search
// evaluation, 204 section text output, 205 Bible document, 206 dated document,
// 207-213 opening a book, or a book-file or search result code passed on).
// Safe on any thread.
#pragma once

#include "engine/foundation/cLStringTmpl.h"

#include <cstdint>

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

    // A database error report (UTF-16 text).
    int showDatabaseError(const cLString16& text);

    // Process-wide record of the messages shown, for diagnostics and tests.
    static std::uint32_t shownCount();
    static std::int32_t lastShownId();  // 0 before any show; -1 after a database error
};

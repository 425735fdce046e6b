// Telling the user that a file could not be saved, without burying them in alerts.
//
// Every failed save is logged. The first failure of one kind of file (`what`: the words that name it
// to the user, "your screen layout") is also shown as an alert, on the main thread through the
// shared Alerts; further failures of that kind only reach the log until a save of it succeeds again,
// so a save retried after every change (or a disk that stays full) says it once.
//
// The alerts are queued to the main thread's event loop, never shown inside the save (the saver may
// hold locks or be mid-update). At quit the loop does not run again: the quit path calls
// showPending() after its last saves. Any thread may report.
#pragma once

#include "platform/Alerts.h"

#include <QString>

class SaveFailureAlerts {
public:
    // A save of `what` to `path` failed for `reason` (the system's words); `copyKept`: a copy saved
    // before is still there (the alert says so only then).
    static void reportFailure(const QString& what, const QString& path, const QString& reason, bool copyKept);
    // A save of `what` succeeded: its next failure is shown again.
    static void reportSuccess(const QString& what);
    // Main thread: shows every alert reported and not shown yet, now.
    static void showPending();
    // The alert shown for one failure.
    static Alert alertFor(const QString& what, const QString& path, const QString& reason, bool copyKept);
    // Forgets what was said and drops what is pending (tests).
    static void reset();
};

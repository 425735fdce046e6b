// Telling the user that a file could not be saved, without burying them in alerts.
//
// Every failed save is logged. The first failure of one kind of file (`what`: the words that name it
// to the user, "your screen layout") is also said to the user; further failures of that kind only
// reach the log until a save of it succeeds again, so a save retried after every change (or a disk
// that stays full) says it once.
//
// What is said waits for the main thread's event loop, never inside the save (the saver may hold
// locks or be mid-update); the failures reported by then are said together, in one message. The
// application installs a sayer that puts that message where it does not take the keys (the main
// window's notice line); without one it is shown as one alert through the shared Alerts. At quit the
// loop does not run again: the quit path takes what is still unsaid (takePending) or shows it
// (showPending) after its last saves. Any thread may report.
#pragma once

#include "platform/Alerts.h"

#include <QList>
#include <QString>

#include <functional>

class SaveFailureAlerts {
public:
    struct Failure {
        QString what;
        QString path;
        QString reason;
        bool copyKept = false;
        // Where what was not saved stays meanwhile, said in place of the copy kept (empty: nothing).
        QString stays;
        // The failure is the disk's or the folder's (the advice to look at them is given); false when
        // the reason says whose it is (another program holding the file).
        bool diskAdvice = true;
    };
    using Sayer = std::function<void(const QList<Failure>&)>;

    // A save of `what` to `path` failed for `reason` (the system's words); `copyKept`: a copy saved
    // before is still there (the alert says so only then). `stays`, when given, says where what was
    // not saved is kept meanwhile. An empty `path` (a database the user never names) is not said.
    static void reportFailure(const QString& what, const QString& path, const QString& reason, bool copyKept,
        const QString& stays = {}, bool diskAdvice = true);
    // A save of `what` succeeded: its next failure is said again.
    static void reportSuccess(const QString& what);
    // Main thread: who says the failures from now on, in place of a modal alert; empty: the alert.
    static void setSayer(Sayer sayer);
    // Main thread: every failure reported and not said yet, taken.
    static QList<Failure> takePending();
    // Main thread: shows every failure reported and not said yet, now, in one alert.
    static void showPending();
    // The alert said for one failure, and for several together.
    static Alert alertFor(
        const QString& what, const QString& path, const QString& reason, bool copyKept, const QString& stays = {});
    static Alert alertFor(const QList<Failure>& failures);
    // Forgets what was said and drops what is pending (tests).
    static void reset();
};

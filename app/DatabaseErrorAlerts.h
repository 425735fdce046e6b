// The application's answer to the engine's database error reports: the first report of the run is
// said to the user with the reader's other problems (ProblemNotice: the database could not be opened
// or written, with the engine's text); later reports only reach the log, so that a database that keeps failing does not bury the
// reader in alerts. Callers that tell the user about their own failure (a note that could not be
// saved) capture their reports (cDatabaseErrorCapture) and do not reach this.
//
// Installed at start-up through the StartupHooks list. Any thread may report; it is said on the main
// thread.
#pragma once

#include "engine/foundation/cMsgBox.h"

#include <QString>

#include <atomic>

class Alerts;

class DatabaseErrorAlerts final : public cDatabaseErrorReporter {
public:
    // Said through the installed ProblemNotice; without one, in an alert through `alerts`, which must
    // outlive this reporter.
    explicit DatabaseErrorAlerts(Alerts& alerts) : m_alerts(alerts) { }

    void databaseError(const cLString16& text) override;
    // Said with the reader's other problems, each time (the database says each once).
    void databaseNotice(const cLString16& title, const cLString16& text) override;
    // The database's place holds a symbolic link that is refused (cSQLiteDbBase::linkProblem): the
    // user is told so, naming the link and its target, in place of the first report of the run.
    void refusedLink(const QString& problem);

    // The alert's texts for one report.
    static QString messageText();
    static QString informativeText(const QString& report);
    static QString refusedLinkMessageText();

private:
    Alerts& m_alerts;
    std::atomic<bool> m_reported {false};
};

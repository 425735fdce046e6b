// ProblemNotice: says the problems the reader meets with the user's files, none of which asks
// anything: files that could not be saved (SaveFailureAlerts), a database that could not be read or
// written (DatabaseErrorAlerts), and what the start refused (a profile file behind a link that leads
// nowhere, a damaged layout). Each source reports each problem once.
//
// They are said on the main window's notice line, never in a modal alert: an alert opening while the
// user types takes the keys (a reference typed into a field goes into the alert, and Return closes
// it). The problems reported before the window shows, and those reported within kGatherMs of each
// other, are said together in one notice; a problem reported while that notice is still up joins it,
// so a full disk that fails several saves in turn says them in one place, never a stack.
//
// At quit, what has not been said yet (reported while the reader ends, or by saves that failed in
// its last moments) is said in one modal alert: no window is left to say it in, and the user is not
// typing into one.
//
// One is installed at a time: the application controller makes it at launch and it reports to the
// installed one; without one, report() shows the problem in an alert once no other window is modal.
// Made, used and destroyed on the main thread; report() may be called from any thread.
#pragma once

#include "platform/SaveFailureAlerts.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class Alerts;
class WindowNotice;

class ProblemNotice : public QObject {
    Q_OBJECT
public:
    static constexpr int kGatherMs = 400;
    // How often a notice due before the window shows looks again for it.
    static constexpr int kWindowWaitMs = 200;

    // `notice` answers the window's notice line (null: no window yet); `alerts` says what is left at quit.
    ProblemNotice(std::function<WindowNotice*()> notice, Alerts& alerts, QObject* parent = nullptr);
    ~ProblemNotice() override;

    // A problem to say: its message (one sentence) and the longer text below it. Main thread.
    void add(const QString& message, const QString& informative);
    // Any thread: to the installed notice; without one, an alert through `alerts` once no other
    // window is modal.
    static void report(const QString& message, const QString& informative, Alerts& alerts);
    // At quit: what is not said yet, with the file saves that failed and are not said yet, in one
    // alert; nothing when all was said.
    void sayAtQuit();

    // The notice's texts for several problems said together.
    static Alert together(const QList<Alert>& problems);

private:
    void say();
    void gather();
    // The problems and the failed saves as one message: the saves in one problem of their own.
    static Alert together(const QList<Alert>& problems, const QList<SaveFailureAlerts::Failure>& saves);

    std::function<WindowNotice*()> m_notice;
    Alerts& m_alerts;
    QTimer m_gather;
    // Reported, not said yet.
    QList<Alert> m_pending;
    QList<SaveFailureAlerts::Failure> m_pendingSaves;
    // In the notice line now, as long as it shows them.
    QList<Alert> m_shown;
    QList<SaveFailureAlerts::Failure> m_shownSaves;
    QString m_shownMessage;
};

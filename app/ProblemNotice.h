// ProblemNotice: the one owner of the main window's notice line. It holds every problem the reader
// meets that asks nothing of the user and that the user has not closed yet: files that could not be
// saved (SaveFailureAlerts), a database that could not be read or written (DatabaseErrorAlerts), what
// the start refused (a profile file behind a link that leads nowhere, a damaged layout), records a
// sync left out, pages whose renderer ended. Each stays listed until the user closes the notice; a
// new one joins the list, never replaces it. A problem has a key (its kind): the same kind reported
// again, however often, updates its one entry. The notice shows them in a few lines (WindowNotice).
//
// They are said on the notice line, never in a modal alert: an alert opening while the user types
// takes the keys (a reference typed into a field goes into the alert, and Return closes it). The
// problems reported before the window shows, and those reported within kGatherMs of each other, come
// up together.
//
// At quit, what has not been shown yet (reported while the reader ends, or by saves that failed in
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
#include <QPointer>
#include <QString>
#include <QStringList>
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

    // A problem to say: its message (one sentence) and the longer text below it; its message is its
    // kind. Main thread.
    void add(const QString& message, const QString& informative);
    // A problem of kind `key`: a new entry, or the one of that kind updated in place. `closed` runs
    // once the user has closed the notice that showed it (not when it is replaced or taken back).
    void put(const QString& key, const QString& message, const QString& informative, std::function<void()> closed = {});
    // The problem of kind `key` is no longer to be said (said elsewhere): it leaves the list.
    void withdraw(const QString& key);
    // The kinds listed now, shown or about to be, in order.
    QStringList openKinds() const;
    // Any thread: to the installed notice; without one, an alert through `alerts` once no other
    // window is modal.
    static void report(const QString& message, const QString& informative, Alerts& alerts);
    // At quit: what is not shown yet, with the file saves that failed and are not said yet, in one
    // alert; nothing when all was shown.
    void sayAtQuit();

    // The notice's texts for several problems said together.
    static Alert together(const QList<Alert>& problems);

private:
    struct Problem {
        QString key;
        QString message;
        QString informative;
        std::function<void()> closed;
    };

    void say();
    void gather();
    void closedByUser();
    void showOpen();
    // The problems and the failed saves as one message: the saves in one problem of their own.
    static Alert together(const QList<Alert>& problems, const QList<SaveFailureAlerts::Failure>& saves);
    // Puts `p` in `list`: in place of the one of its kind, or at the end.
    static void merge(QList<Problem>& list, Problem p);

    std::function<WindowNotice*()> m_notice;
    Alerts& m_alerts;
    QTimer m_gather;
    // Reported, not shown yet.
    QList<Problem> m_pending;
    // Shown in the notice line and not closed yet.
    QList<Problem> m_open;
    // The notice line the open problems are shown in (its Close is connected once).
    QPointer<WindowNotice> m_connected;
};

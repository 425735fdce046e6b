#include "platform/SaveFailureAlerts.h"

#include "platform/MainThread.h"

#include <QDebug>
#include <QList>
#include <QSet>

#include <mutex>

namespace {

struct State {
    std::mutex mutex;
    QSet<QString> said;
    QList<Alert> pending;
    bool scheduled = false;
};

State& state()
{
    // Never destroyed: files are saved from static destructors (the settings) too.
    static State* s = new State;
    return *s;
}

}  // namespace

void SaveFailureAlerts::reportFailure(const QString& what, const QString& path, const QString& reason, bool copyKept)
{
    qWarning().noquote() << "could not save" << path << ":" << reason;
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.said.contains(what))
        return;
    s.said.insert(what);
    s.pending.append(alertFor(what, path, reason, copyKept));
    if (s.scheduled)
        return;
    s.scheduled = runOnMainThread([] { showPending(); });
}

void SaveFailureAlerts::reportSuccess(const QString& what)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.said.remove(what);
}

void SaveFailureAlerts::showPending()
{
    QS_ASSERT_MAIN_THREAD();
    QList<Alert> alerts;
    {
        State& s = state();
        std::lock_guard lock(s.mutex);
        alerts.swap(s.pending);
        s.scheduled = false;
    }
    for (const Alert& alert : alerts)
        Alerts::shared().runModal(alert);
}

Alert SaveFailureAlerts::alertFor(const QString& what, const QString& path, const QString& reason, bool copyKept)
{
    Alert alert;
    alert.style = AlertStyle::Critical;
    alert.messageText = QStringLiteral("Quillstead could not save %1.").arg(what);
    QString why = reason.trimmed();
    if (why.isEmpty())
        why = QStringLiteral("The file could not be written.");
    else if (!why.endsWith(QLatin1Char('.')))
        why += QLatin1Char('.');
    const QString kept = copyKept ? QStringLiteral("The copy saved before is kept. ") : QString();
    alert.informativeText =
        QStringLiteral("%1\n\nFile: %2\n\n%3Check that the disk has free space and that the folder can be written. "
                       "Until a save succeeds again, further failures to save this are written to the log only.")
            .arg(why, path, kept);
    return alert;
}

void SaveFailureAlerts::reset()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.said.clear();
    s.pending.clear();
}

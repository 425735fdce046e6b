#include "platform/SaveFailureAlerts.h"

#include <algorithm>

#include "platform/MainThread.h"

#include <QDebug>
#include <QSet>
#include <QStringList>

#include <mutex>

namespace {

struct State {
    std::mutex mutex;
    QSet<QString> said;
    QList<SaveFailureAlerts::Failure> pending;
    bool scheduled = false;
    SaveFailureAlerts::Sayer sayer;  // main thread only
};

State& state()
{
    // Never destroyed: files are saved from static destructors (the settings) too.
    static State* s = new State;
    return *s;
}

// The system's words as a sentence.
QString sentence(const QString& reason)
{
    QString why = reason.trimmed();
    if (why.isEmpty())
        return QStringLiteral("The file could not be written.");
    if (!why.endsWith(QLatin1Char('.')))
        why += QLatin1Char('.');
    return why;
}

const QString kDiskAdvice = QStringLiteral("Check that the disk has free space and that the folder can be written. ");
const QString kLogOnly =
    QStringLiteral("Until a save succeeds again, further failures to save this are written to the log only.");

QString advice(const QList<SaveFailureAlerts::Failure>& failures)
{
    const bool disk = std::any_of(failures.begin(), failures.end(), [](const auto& f) { return f.diskAdvice; });
    return (disk ? kDiskAdvice : QString()) + kLogOnly;
}

// What is kept of a failed save, as a sentence; empty when nothing is.
QString kept(const SaveFailureAlerts::Failure& f)
{
    if (!f.stays.isEmpty())
        return sentence(f.stays);
    if (f.copyKept)
        return QStringLiteral("The copy saved before is kept.");
    return QString();
}

// The pending failures said, through the sayer when there is one.
void sayPending()
{
    if (!state().sayer) {
        SaveFailureAlerts::showPending();
        return;
    }
    const QList<SaveFailureAlerts::Failure> failures = SaveFailureAlerts::takePending();
    if (!failures.isEmpty())
        state().sayer(failures);
}

}  // namespace

void SaveFailureAlerts::reportFailure(const QString& what, const QString& path, const QString& reason, bool copyKept,
    const QString& stays, bool diskAdvice)
{
    qWarning().noquote() << "could not save" << (path.isEmpty() ? what : path) << ":" << reason;
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.said.contains(what))
        return;
    s.said.insert(what);
    s.pending.append({what, path, reason, copyKept, stays, diskAdvice});
    if (s.scheduled)
        return;
    s.scheduled = runOnMainThread([] { sayPending(); });
}

void SaveFailureAlerts::reportSuccess(const QString& what)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.said.remove(what);
}

void SaveFailureAlerts::setSayer(Sayer sayer)
{
    QS_ASSERT_MAIN_THREAD();
    state().sayer = std::move(sayer);
}

QList<SaveFailureAlerts::Failure> SaveFailureAlerts::takePending()
{
    QS_ASSERT_MAIN_THREAD();
    QList<Failure> failures;
    {
        State& s = state();
        std::lock_guard lock(s.mutex);
        failures.swap(s.pending);
        s.scheduled = false;
    }
    return failures;
}

void SaveFailureAlerts::showPending()
{
    const QList<Failure> failures = takePending();
    if (!failures.isEmpty())
        Alerts::shared().runModal(alertFor(failures));
}

Alert SaveFailureAlerts::alertFor(
    const QString& what, const QString& path, const QString& reason, bool copyKept, const QString& stays)
{
    return alertFor(QList<Failure> {{what, path, reason, copyKept, stays}});
}

Alert SaveFailureAlerts::alertFor(const QList<Failure>& failures)
{
    Alert alert;
    alert.style = AlertStyle::Critical;
    QStringList whats;
    for (const Failure& f : failures)
        whats << f.what;
    QString named = whats.value(0);
    if (whats.size() > 1)
        named = whats.mid(0, whats.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + whats.last();
    alert.messageText = QStringLiteral("Quillstead could not save %1.").arg(named);
    if (failures.size() == 1) {
        const Failure& f = failures.first();
        const QString file = f.path.isEmpty() ? QString() : QStringLiteral("File: %1\n\n").arg(f.path);
        const QString keeps = kept(f);
        alert.informativeText = sentence(f.reason) + QStringLiteral("\n\n") + file +
            (keeps.isEmpty() ? QString() : keeps + QLatin1Char(' ')) + advice(failures);
        return alert;
    }
    // Several: one line each, the advice once.
    QStringList lines;
    for (const Failure& f : failures) {
        const QString file = f.path.isEmpty() ? QString() : QStringLiteral(" File: %1.").arg(f.path);
        const QString keeps = kept(f);
        lines << f.what.left(1).toUpper() + f.what.mid(1) + QStringLiteral(": ") + sentence(f.reason) + file +
                (keeps.isEmpty() ? QString() : QStringLiteral(" ") + keeps);
    }
    alert.informativeText = lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + advice(failures);
    return alert;
}

void SaveFailureAlerts::reset()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.said.clear();
    s.pending.clear();
}

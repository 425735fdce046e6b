#include "app/ProblemNotice.h"

#include "app/AlertWhenFree.h"
#include "app/WindowNotice.h"
#include "platform/Alerts.h"
#include "platform/MainThread.h"
#include "platform/SaveFailureAlerts.h"

#include <QCoreApplication>
#include <QStringList>

#include <mutex>

namespace {

std::mutex gMutex;
ProblemNotice* gInstalled = nullptr;  // under gMutex

Alert problemAlert(const QString& message, const QString& informative)
{
    Alert alert;
    alert.style = AlertStyle::Critical;
    alert.messageText = message;
    alert.informativeText = informative;
    return alert;
}

}  // namespace

ProblemNotice::ProblemNotice(std::function<WindowNotice*()> notice, Alerts& alerts, QObject* parent)
    : QObject(parent), m_notice(std::move(notice)), m_alerts(alerts)
{
    QS_ASSERT_MAIN_THREAD();
    m_gather.setSingleShot(true);
    connect(&m_gather, &QTimer::timeout, this, &ProblemNotice::say);
    {
        std::lock_guard lock(gMutex);
        gInstalled = this;
    }
    SaveFailureAlerts::setSayer([this](const QList<SaveFailureAlerts::Failure>& failures) {
        // One entry for each kind of file: a kind that fails again keeps its one line.
        for (const SaveFailureAlerts::Failure& f : failures) {
            const Alert alert = SaveFailureAlerts::alertFor({f});
            merge(m_pending, {QStringLiteral("save: ") + f.what, alert.messageText, alert.informativeText, {}});
        }
        gather();
    });
}

ProblemNotice::~ProblemNotice()
{
    std::lock_guard lock(gMutex);
    if (gInstalled != this)
        return;  // a newer one says the problems now
    gInstalled = nullptr;
    SaveFailureAlerts::setSayer({});
}

void ProblemNotice::report(const QString& message, const QString& informative, Alerts& alerts)
{
    std::lock_guard lock(gMutex);
    if (gInstalled != nullptr) {
        // A call queued to an object is dropped when the object goes first.
        ProblemNotice* notice = gInstalled;
        QMetaObject::invokeMethod(
            notice, [notice, message, informative] { notice->add(message, informative); }, Qt::QueuedConnection);
        return;
    }
    const Alert alert = problemAlert(message, informative);
    Alerts* shown = &alerts;
    runOnMainThread([shown, alert] { showAlertWhenFree(*shown, alert, QCoreApplication::instance()); });
}

void ProblemNotice::add(const QString& message, const QString& informative)
{
    put(message, message, informative);
}

void ProblemNotice::put(
    const QString& key, const QString& message, const QString& informative, std::function<void()> closed)
{
    QS_ASSERT_MAIN_THREAD();
    // Shown already: updated where it is, at once.
    for (Problem& p : m_open) {
        if (p.key == key) {
            p.message = message;
            p.informative = informative;
            p.closed = std::move(closed);
            showOpen();
            return;
        }
    }
    merge(m_pending, {key, message, informative, std::move(closed)});
    gather();
}

void ProblemNotice::withdraw(const QString& key)
{
    QS_ASSERT_MAIN_THREAD();
    const auto sameKind = [&key](const Problem& p) { return p.key == key; };
    m_pending.removeIf(sameKind);
    if (m_open.removeIf(sameKind) > 0)
        showOpen();
}

QStringList ProblemNotice::openKinds() const
{
    QStringList kinds;
    for (const QList<Problem>* list : {&m_open, &m_pending})
        for (const Problem& p : *list)
            kinds << p.key;
    return kinds;
}

void ProblemNotice::merge(QList<Problem>& list, Problem p)
{
    for (Problem& listed : list) {
        if (listed.key == p.key) {
            listed = std::move(p);
            return;
        }
    }
    list.append(std::move(p));
}

void ProblemNotice::gather()
{
    if (!m_gather.isActive())
        m_gather.start(kGatherMs);
}

Alert ProblemNotice::together(const QList<Alert>& problems)
{
    if (problems.size() == 1)
        return problems.first();
    Alert alert;
    alert.style = AlertStyle::Critical;
    QStringList messages;
    QStringList informatives;
    for (const Alert& p : problems) {
        messages << p.messageText;
        informatives << p.messageText + QLatin1Char(' ') + p.informativeText;
    }
    alert.messageText = messages.join(QLatin1Char(' '));
    alert.informativeText = informatives.join(QStringLiteral("\n\n"));
    return alert;
}

Alert ProblemNotice::together(const QList<Alert>& problems, const QList<SaveFailureAlerts::Failure>& saves)
{
    QList<Alert> all = problems;
    if (!saves.isEmpty())
        all.append(SaveFailureAlerts::alertFor(saves));
    return together(all);
}

void ProblemNotice::say()
{
    if (m_pending.isEmpty())
        return;
    WindowNotice* notice = m_notice ? m_notice() : nullptr;
    if (notice == nullptr || !notice->window()->isVisible()) {
        // The reader is starting: the notice waits for its window.
        m_gather.start(kWindowWaitMs);
        return;
    }
    for (Problem& p : m_pending)
        merge(m_open, std::move(p));
    m_pending.clear();
    showOpen();
}

void ProblemNotice::showOpen()
{
    WindowNotice* notice = m_notice ? m_notice() : nullptr;
    if (notice == nullptr)
        return;
    if (m_connected != notice) {
        m_connected = notice;
        connect(notice, &WindowNotice::closed, this, &ProblemNotice::closedByUser);
    }
    QList<WindowNotice::Problem> shown;
    for (const Problem& p : m_open)
        shown.append({p.message, p.informative});
    notice->showProblems(shown);
}

void ProblemNotice::closedByUser()
{
    // Closed: what it listed was said. A callback may report again (it joins a new notice).
    const QList<Problem> closed = std::exchange(m_open, {});
    for (const Problem& p : closed)
        if (p.closed)
            p.closed();
}

void ProblemNotice::sayAtQuit()
{
    QS_ASSERT_MAIN_THREAD();
    m_gather.stop();
    QList<Alert> unsaid;
    for (const Problem& p : std::exchange(m_pending, {}))
        unsaid.append(problemAlert(p.message, p.informative));
    const QList<SaveFailureAlerts::Failure> saves = SaveFailureAlerts::takePending();
    if (!unsaid.isEmpty() || !saves.isEmpty())
        m_alerts.runModal(together(unsaid, saves));
}

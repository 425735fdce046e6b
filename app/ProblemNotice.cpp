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
        m_pendingSaves.append(failures);
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
    QS_ASSERT_MAIN_THREAD();
    m_pending.append(problemAlert(message, informative));
    gather();
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
    if (m_pending.isEmpty() && m_pendingSaves.isEmpty())
        return;
    WindowNotice* notice = m_notice ? m_notice() : nullptr;
    if (notice == nullptr || !notice->window()->isVisible()) {
        // The reader is starting: the notice waits for its window.
        m_gather.start(kWindowWaitMs);
        return;
    }
    // The problems said last join the new ones while their notice is still up; once it was closed
    // (or replaced by another notice), the new ones are said alone.
    if (notice->message().isEmpty() || notice->message() != m_shownMessage) {
        m_shown.clear();
        m_shownSaves.clear();
    }
    m_shown.append(m_pending);
    m_pending.clear();
    m_shownSaves.append(m_pendingSaves);
    m_pendingSaves.clear();
    const Alert alert = together(m_shown, m_shownSaves);
    m_shownMessage = alert.messageText;
    notice->say(alert.messageText, alert.informativeText);
}

void ProblemNotice::sayAtQuit()
{
    QS_ASSERT_MAIN_THREAD();
    m_gather.stop();
    QList<Alert> unsaid;
    unsaid.swap(m_pending);
    QList<SaveFailureAlerts::Failure> saves;
    saves.swap(m_pendingSaves);
    saves.append(SaveFailureAlerts::takePending());
    if (!unsaid.isEmpty() || !saves.isEmpty())
        m_alerts.runModal(together(unsaid, saves));
}

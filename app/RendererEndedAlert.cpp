#include "app/RendererEndedAlert.h"

#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <QWebEnginePage>

RendererEndedAlert::RendererEndedAlert(NotificationCenter& center, Alerts& alerts, QObject* parent, int quietMs)
    : QObject(parent), m_center(center), m_alerts(alerts), m_quietMs(quietMs)
{
    m_gather.setSingleShot(true);
    m_gather.setInterval(kGatherMs);
    connect(&m_gather, &QTimer::timeout, this, &RendererEndedAlert::say);
    m_center.addObserver(
        this, PaneNotifications::PageRendererEndedNotification, [this](Notification& n) { pageEnded(n); });
}

RendererEndedAlert::~RendererEndedAlert()
{
    m_center.removeObserver(this);
}

void RendererEndedAlert::pageEnded(const Notification& n)
{
    if (!m_gather.isActive()) {
        // Part of the trouble already said (or being said): not said again.
        if (m_showing || (m_firstEnd.isValid() && m_firstEnd.elapsed() < m_quietMs))
            return;
        m_allRestored = true;
        m_noteText = false;
        m_firstEnd.start();
        m_gather.start();
    }
    m_noteText = m_noteText || n.userInfo.value(QStringLiteral("noteText")).toBool();
    m_status = n.userInfo.value(QStringLiteral("status")).toInt();
    m_exitCode = n.userInfo.value(QStringLiteral("exitCode")).toInt();
    m_allRestored = m_allRestored && n.userInfo.value(QStringLiteral("restored"), true).toBool();
}

QString RendererEndedAlert::messageText()
{
    return QStringLiteral("The pages stopped showing unexpectedly.");
}

QString RendererEndedAlert::informativeText(int status, int exitCode, bool allRestored, bool noteText)
{
    QString how;
    switch (status) {
    case QWebEnginePage::KilledTerminationStatus:
        how = QStringLiteral("was stopped by the system or another program");
        break;
    case QWebEnginePage::CrashedTerminationStatus:
        how = QStringLiteral("crashed");
        break;
    case QWebEnginePage::AbnormalTerminationStatus:
        how = QStringLiteral("ended with an error");
        break;
    default:
        how = QStringLiteral("ended");
        break;
    }
    QString text =
        QStringLiteral("The process that draws Quillstead's pages %1 (exit code %2). ").arg(how).arg(exitCode);
    if (allRestored)
        text += QStringLiteral("The pages were shown again where they were.");
    else
        text += QStringLiteral("A page that keeps stopping it was left blank; open it again to show it.");
    if (noteText)
        text += QStringLiteral(" The note you were editing was kept and saved, with what you typed meanwhile.");
    return text;
}

void RendererEndedAlert::say()
{
    Alert alert;
    alert.messageText = messageText();
    alert.informativeText = informativeText(m_status, m_exitCode, m_allRestored, m_noteText);
    alert.style = AlertStyle::Warning;
    m_showing = true;
    const QPointer<RendererEndedAlert> self(this);
    m_alerts.runModal(alert);
    if (self)
        m_showing = false;
}

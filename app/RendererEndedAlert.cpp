#include "app/RendererEndedAlert.h"

#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"

#include <QWebEnginePage>

RendererEndedAlert::RendererEndedAlert(NotificationCenter& center, Alerts& alerts, QObject* parent)
    : QObject(parent), m_center(center), m_alerts(alerts)
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
        m_allRestored = true;
        m_gather.start();
    }
    m_status = n.userInfo.value(QStringLiteral("status")).toInt();
    m_exitCode = n.userInfo.value(QStringLiteral("exitCode")).toInt();
    m_allRestored = m_allRestored && n.userInfo.value(QStringLiteral("restored"), true).toBool();
}

QString RendererEndedAlert::messageText()
{
    return QStringLiteral("The pages stopped showing unexpectedly.");
}

QString RendererEndedAlert::informativeText(int status, int exitCode, bool allRestored)
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
        text += QStringLiteral("The pages were shown again where they were, and the note text Quillstead had "
                               "received was kept and saved.");
    else
        text += QStringLiteral("A page that keeps stopping it was left blank; open it again to show it.");
    return text;
}

void RendererEndedAlert::say()
{
    Alert alert;
    alert.messageText = messageText();
    alert.informativeText = informativeText(m_status, m_exitCode, m_allRestored);
    alert.style = AlertStyle::Warning;
    m_alerts.runModal(alert);
}

#include "app/DatabaseErrorAlerts.h"

#include "app/AlertWhenFree.h"

#include "library/EngineStrings.h"
#include "platform/Alerts.h"
#include "platform/MainThread.h"

#include <QCoreApplication>

void DatabaseErrorAlerts::databaseError(const cLString16& text)
{
    if (m_reported.exchange(true))
        return;
    Alert alert;
    alert.messageText = messageText();
    alert.informativeText = informativeText(EngineStrings::fromUtf16(text));
    alert.style = AlertStyle::Critical;
    // Never inline: the report may come from inside a database call holding its locks. Never over
    // another alert either (a full disk during a sync says so in the sync's own alert too).
    Alerts* alerts = &m_alerts;
    runOnMainThread([alerts, alert] { showAlertWhenFree(*alerts, alert, QCoreApplication::instance()); });
}

void DatabaseErrorAlerts::refusedLink(const QString& problem)
{
    m_reported = true;
    Alert alert;
    alert.messageText = refusedLinkMessageText();
    alert.informativeText =
        problem + QStringLiteral("\n\nUntil then your notes, highlights and bookmarks can be neither shown nor kept.");
    alert.style = AlertStyle::Critical;
    Alerts* alerts = &m_alerts;
    runOnMainThread([alerts, alert] { alerts->runModal(alert); });
}

QString DatabaseErrorAlerts::refusedLinkMessageText()
{
    return QStringLiteral("Quillstead cannot open your notes, highlights and bookmarks.");
}

QString DatabaseErrorAlerts::messageText()
{
    return QStringLiteral("Quillstead could not read or save your notes, highlights and other data.");
}

QString DatabaseErrorAlerts::informativeText(const QString& report)
{
    QString details = report;
    details.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).remove(QLatin1Char('\r'));
    details = details.trimmed();
    const QString advice = QStringLiteral(
        "Changes may not be kept until this is fixed: check that the disk has free space and that the data folder "
        "can be written. Further database errors in this session are written to the log only.");
    return details.isEmpty() ? advice : details + QStringLiteral("\n\n") + advice;
}

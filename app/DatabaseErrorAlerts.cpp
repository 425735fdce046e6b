#include "app/DatabaseErrorAlerts.h"

#include "app/ProblemNotice.h"

#include "library/EngineStrings.h"
#include "platform/Alerts.h"

void DatabaseErrorAlerts::databaseError(const cLString16& text)
{
    if (m_reported.exchange(true))
        return;
    Alert alert;
    alert.messageText = messageText();
    alert.informativeText = informativeText(EngineStrings::fromUtf16(text));
    alert.style = AlertStyle::Critical;
    // Never inline (the report may come from inside a database call holding its locks), and never in
    // a modal alert that would take the keys of a user typing: said with the other problems.
    ProblemNotice::report(alert.messageText, alert.informativeText, m_alerts);
}

void DatabaseErrorAlerts::databaseNotice(const cLString16& title, const cLString16& text)
{
    ProblemNotice::report(EngineStrings::fromUtf16(title), EngineStrings::fromUtf16(text), m_alerts);
}

void DatabaseErrorAlerts::refusedLink(const QString& problem)
{
    m_reported = true;
    Alert alert;
    alert.messageText = refusedLinkMessageText();
    alert.informativeText =
        problem + QStringLiteral("\n\nUntil then your notes, highlights and bookmarks can be neither shown nor kept.");
    alert.style = AlertStyle::Critical;
    // Said together with what else the start refused.
    ProblemNotice::report(alert.messageText, alert.informativeText, m_alerts);
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

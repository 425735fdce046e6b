#include "app/RendererEndedAlert.h"

#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QPointer>
#include <QWebEnginePage>

RendererEndedAlert::RendererEndedAlert(
    NotificationCenter& center, Alerts& alerts, Notice notice, QObject* parent, int quietMs)
    : QObject(parent), m_center(center), m_alerts(alerts), m_notice(std::move(notice)), m_quietMs(quietMs)
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
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeEventFilter(this);
}

bool RendererEndedAlert::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress)
        m_lastKey.start();
    return QObject::eventFilter(watched, event);
}

void RendererEndedAlert::pageEnded(const Notification& n)
{
    const int status = n.userInfo.value(QStringLiteral("status")).toInt();
    // A renderer stopped from outside (the system, a user's kill) did start.
    const bool drawn =
        n.userInfo.value(QStringLiteral("drawn"), true).toBool() || status == QWebEnginePage::KilledTerminationStatus;
    if (drawn)
        m_startFailureSaid = false;
    else if (m_startFailureSaid)
        return;  // every page that tries to start one fails alike: said once
    if (!m_gather.isActive()) {
        // Part of the trouble already said (or being said): not said again.
        if (m_showing || (m_firstEnd.isValid() && m_firstEnd.elapsed() < m_quietMs))
            return;
        m_allRestored = true;
        m_noteText = false;
        m_anyDrawn = false;
        m_firstEnd.start();
        m_lastKey.invalidate();
        m_exitCode = 0;
        if (QCoreApplication::instance() != nullptr)
            QCoreApplication::instance()->installEventFilter(this);
        m_gather.start(kGatherMs);
    }
    m_noteText = m_noteText || n.userInfo.value(QStringLiteral("noteText")).toBool();
    // Pages that shared the renderer hear of its end one after the other, and the later ones may find
    // it already gone with nothing to tell (a status of 0): the end that says how it ended stands.
    const int exitCode = n.userInfo.value(QStringLiteral("exitCode")).toInt();
    if (exitCode != 0 || m_exitCode == 0) {
        m_status = status;
        m_exitCode = exitCode;
    }
    m_allRestored = m_allRestored && n.userInfo.value(QStringLiteral("restored"), true).toBool();
    m_anyDrawn = m_anyDrawn || drawn;
}

QString RendererEndedAlert::howItEnded(int rawStatus)
{
    const int signal = rawStatus & 0x7f;
    if (signal != 0 && signal != 0x7f)
        return QStringLiteral("signal %1").arg(signal);
    return QStringLiteral("exit code %1").arg((rawStatus >> 8) & 0xff);
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
    QString text = QStringLiteral("The process that draws Quillstead's pages %1 (%2). ").arg(how, howItEnded(exitCode));
    if (allRestored)
        text += QStringLiteral("The pages were shown again where they were.");
    else
        text += QStringLiteral("A page that keeps stopping it was left blank; open it again to show it.");
    if (noteText)
        text += QStringLiteral(" The note you were editing was kept and saved, with what you typed meanwhile.");
    return text;
}

QString RendererEndedAlert::startFailureMessageText()
{
    return QStringLiteral("The program that draws Quillstead's pages could not start.");
}

QString RendererEndedAlert::startFailureInformativeText(int exitCode)
{
    return QStringLiteral(
        "It ended before it showed a page (%1), so the pages stay blank. If you gave Quillstead web engine "
        "flags (QTWEBENGINE_CHROMIUM_FLAGS, or options after --webEngineArgs), start it without them. Otherwise "
        "Qt WebEngine is damaged or incomplete: reinstall Quillstead and its Qt WebEngine libraries, then quit and "
        "start Quillstead again. Started from a terminal, Quillstead shows the program's own message.")
        .arg(howItEnded(exitCode));
}

void RendererEndedAlert::say()
{
    const bool startFailed = !m_anyDrawn;
    if (startFailed && m_lastKey.isValid() && m_lastKey.elapsed() < kTypingPauseMs) {
        m_gather.start(int(kTypingPauseMs - m_lastKey.elapsed()));
        return;
    }
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeEventFilter(this);
    if (!startFailed) {
        // Said beside the pages: the keys typed meanwhile stay the note's.
        const QString informative = informativeText(m_status, m_exitCode, m_allRestored, m_noteText);
        if (m_notice)
            m_notice(messageText(), informative);
        else
            qWarning().noquote() << messageText() << informative;
        return;
    }
    Alert alert;
    alert.messageText = startFailureMessageText();
    alert.informativeText = startFailureInformativeText(m_exitCode);
    m_startFailureSaid = true;
    alert.style = AlertStyle::Warning;
    m_showing = true;
    const QPointer<RendererEndedAlert> self(this);
    m_alerts.runModal(alert);
    if (self)
        m_showing = false;
}

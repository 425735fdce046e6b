#include "app/UserDataRetry.h"

#include "panes/layout/PaneNotifications.h"
#include "platform/NotificationCenter.h"
#include "userdata/cSQLiteDbBase.h"

UserDataRetry::UserDataRetry(NotificationCenter& center, std::function<bool()> openDocuments, QObject* parent)
    : QObject(parent), m_center(center), m_openDocuments(std::move(openDocuments))
{
    m_documentsOpen = m_openDocuments == nullptr || m_openDocuments();
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { look(); });
    m_timer.start();
}

bool UserDataRetry::owed() const
{
    return !m_documentsOpen || cSQLiteDbBase::lockFailures() != m_seenFailures;
}

bool UserDataRetry::look()
{
    if (!owed())
        return false;
    if (!m_documentsOpen && m_openDocuments != nullptr)
        m_documentsOpen = m_openDocuments();
    if (!m_documentsOpen || !cSQLiteDbBase::databaseAnswers())
        return false;
    // Failures from the tries just made count as seen: the database answers now.
    m_seenFailures = cSQLiteDbBase::lockFailures();
    m_center.postNotificationName(PaneNotifications::qsHighlightsHaveChangedNotification, this, {});
    m_center.postNotificationName(PaneNotifications::qsNotesHaveChangedNotification, this, {});
    return true;
}

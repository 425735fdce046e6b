#include "app/DayChangeWatcher.h"

#include <QDate>
#include <QTime>
#include <algorithm>

#include "panes/layout/PaneNotifications.h"
#include "platform/NotificationCenter.h"

namespace {

// A clock set to another day is noticed within this time; midnight itself within a second.
constexpr int kLongestWaitMs = 60 * 1000;

}  // namespace

DayChangeWatcher::DayChangeWatcher(NotificationCenter& center, QObject* parent) : QObject(parent), m_center(center)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        check();
        schedule();
    });
    schedule();
}

bool DayChangeWatcher::check()
{
    const cSimpleDate today;
    if (!today.differs(m_day))
        return false;
    const QDate previous(m_day.year(), m_day.month(), m_day.day());
    m_day = today;
    m_center.postNotificationName(PaneNotifications::qsDevotionalStartDateHasChangedNotification, this,
        {{QStringLiteral("previousDay"), previous}});
    return true;
}

void DayChangeWatcher::schedule()
{
    // Wakes just after the next midnight, or sooner to notice a clock that was moved.
    const int toMidnight = QTime::currentTime().msecsTo(QTime(23, 59, 59, 999)) + 500;
    m_timer.start(std::clamp(toMidnight, 500, kLongestWaitMs));
}

// DayChangeWatcher: notices the local date changing while the reader runs (midnight passing, or the
// clock set to another day) and tells every pane and list that shows the dates of daily readings:
// it posts qsDevotionalStartDateHasChangedNotification with the day before in "previousDay".
//
// Threads: main thread only.
#pragma once

#include <QObject>
#include <QTimer>

#include "engine/foundation/cSimpleDate.h"

class NotificationCenter;

class DayChangeWatcher : public QObject {
    Q_OBJECT
public:
    explicit DayChangeWatcher(NotificationCenter& center, QObject* parent = nullptr);

    // Compares today with the day last seen and posts when they differ; answers whether it posted.
    bool check();

private:
    void schedule();

    NotificationCenter& m_center;
    cSimpleDate m_day;
    QTimer m_timer;
};

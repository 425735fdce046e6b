// The alert service of tests: records every alert and answers from a queue of planned answers
// (the first button once the queue is empty). Thread-safe.
#pragma once

#include "platform/Alerts.h"

#include <QList>

#include <mutex>

class RecordingAlerts : public Alerts {
public:
    int runModal(const Alert& alert) override;

    // The answer for the next alert not yet answered; an answer outside the alert's buttons is
    // replaced by the first button.
    void queueAnswer(int answer);
    QList<Alert> shown() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    QList<Alert> m_shown;
    QList<int> m_answers;
};

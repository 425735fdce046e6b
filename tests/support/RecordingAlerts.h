// The alert service of tests: records every alert and answers from a queue of planned answers
// (the first button once the queue is empty); a test may also run a function while each alert is
// up, as a modal alert stays up until the user answers. Thread-safe.
#pragma once

#include "platform/Alerts.h"

#include <QList>

#include <functional>
#include <mutex>

class RecordingAlerts : public Alerts {
public:
    int runModal(const Alert& alert) override;

    // The answer for the next alert not yet answered; an answer outside the alert's buttons is
    // replaced by the first button.
    void queueAnswer(int answer);
    QList<Alert> shown() const;
    // Forgets the alerts shown, the planned answers and the function run while one is up.
    void clear();
    // Runs on the caller's thread while each later alert is up (before it is answered); empty: none.
    void setWhileShown(std::function<void(const Alert&)> whileShown);

private:
    std::function<void(const Alert&)> m_whileShown;
    mutable std::mutex m_mutex;
    QList<Alert> m_shown;
    QList<int> m_answers;
};

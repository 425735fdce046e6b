#include "support/RecordingAlerts.h"

int RecordingAlerts::runModal(const Alert& alert)
{
    std::function<void(const Alert&)> whileShown;
    {
        std::lock_guard lock(m_mutex);
        m_shown.append(alert);
        whileShown = m_whileShown;
    }
    if (whileShown)
        whileShown(alert);
    std::lock_guard lock(m_mutex);
    if (m_answers.isEmpty())
        return AlertFirstButtonReturn;
    const int answer = m_answers.takeFirst();
    const int count = int(alert.effectiveButtons().size());
    return answer >= AlertFirstButtonReturn && answer < AlertFirstButtonReturn + count ? answer
                                                                                       : AlertFirstButtonReturn;
}

void RecordingAlerts::queueAnswer(int answer)
{
    std::lock_guard lock(m_mutex);
    m_answers.append(answer);
}

QList<Alert> RecordingAlerts::shown() const
{
    std::lock_guard lock(m_mutex);
    return m_shown;
}

void RecordingAlerts::clear()
{
    std::lock_guard lock(m_mutex);
    m_shown.clear();
    m_answers.clear();
    m_whileShown = {};
}

void RecordingAlerts::setWhileShown(std::function<void(const Alert&)> whileShown)
{
    std::lock_guard lock(m_mutex);
    m_whileShown = std::move(whileShown);
}

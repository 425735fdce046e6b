#include "platform/Alerts.h"
#include "platform/RecordingAlerts.h"

#include <QDebug>

#include <mutex>

namespace {

// Stands in until the application installs its window-system alerts: nothing can be shown,
// so the alert goes to the log and the default button answers.
class LoggingAlerts : public Alerts {
public:
    int runModal(const Alert& alert) override
    {
        qWarning().noquote() << "alert:" << alert.messageText << "|" << alert.informativeText << "|"
                             << alert.effectiveButtons().join(QStringLiteral(", "));
        return AlertFirstButtonReturn;
    }
};

std::mutex g_mutex;
std::shared_ptr<Alerts> g_shared;

}  // namespace

QStringList Alert::effectiveButtons() const
{
    return buttons.isEmpty() ? QStringList {QStringLiteral("OK")} : buttons;
}

Alerts::~Alerts() = default;

Alerts& Alerts::shared()
{
    std::lock_guard lock(g_mutex);
    if (!g_shared)
        g_shared = std::make_shared<LoggingAlerts>();
    return *g_shared;
}

void Alerts::setShared(std::shared_ptr<Alerts> alerts)
{
    std::lock_guard lock(g_mutex);
    g_shared = std::move(alerts);
}

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

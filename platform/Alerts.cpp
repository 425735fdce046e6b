#include "platform/Alerts.h"

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
        return AlertFirstButtonReturn + alert.effectiveDefaultButton();
    }
};

std::mutex g_mutex;
std::shared_ptr<Alerts> g_shared;

}  // namespace

QStringList Alert::effectiveButtons() const
{
    return buttons.isEmpty() ? QStringList {QStringLiteral("OK")} : buttons;
}

int Alert::effectiveDefaultButton() const
{
    return defaultButton >= 0 && defaultButton < effectiveButtons().size() ? defaultButton : 0;
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

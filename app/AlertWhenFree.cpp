#include "app/AlertWhenFree.h"

#include "platform/Alerts.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

// How often a waiting alert looks again whether the modal window before it has gone.
constexpr int kRetryMs = 250;

bool gAlertUp = false;

void tryShow(Alerts* alerts, const Alert& alert, QPointer<QObject> context, std::function<void()> closed, int delayMs)
{
    QTimer::singleShot(delayMs, context.data(), [alerts, alert, context, closed = std::move(closed)]() mutable {
        // Never over a modal window, another of these alerts or an open menu (the user is choosing).
        if (gAlertUp || QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr) {
            tryShow(alerts, alert, context, std::move(closed), kRetryMs);
            return;
        }
        gAlertUp = true;
        alerts->runModal(alert);
        gAlertUp = false;
        if (context && closed)
            closed();
    });
}

}  // namespace

void showAlertWhenFree(Alerts& alerts, const Alert& alert, QObject* context, std::function<void()> closed)
{
    tryShow(&alerts, alert, QPointer<QObject>(context), std::move(closed), 0);
}

bool alertWhenFreeIsUp()
{
    return gAlertUp;
}

#include "app/AutostudyRequests.h"

#include "panes/layout/PaneNotifications.h"
#include "platform/NotificationCenter.h"
#include "reports/ui/AutostudyTodayWindowController.h"
#include "reports/ui/AutostudyVerseWindowController.h"
#include "reports/ui/AutostudyWordWindowController.h"
#include "reports/ui/web/AutostudyResultsWindowController.h"

#include <QMetaObject>
#include <QObject>
#include <QWidget>

void listenForAutostudyRequests(QObject* owner, NotificationCenter& center, std::function<QWidget*()> window)
{
    AutostudyWindowController::setResultsPresenter(
        [](const QString& file, const QString& notificationName, const QVariantMap& userInfo) {
            AutostudyResultsWindowController::runWithFile(file, notificationName, userInfo);
        });
    using Runner = void (*)(const QVariantMap&, QWidget*);
    const QList<QPair<QString, Runner>> requests {
        {PaneNotifications::UserWantsToDoVerseAutostudy, &AutostudyVerseWindowController::run},
        {PaneNotifications::UserWantsToDoWordAutostudy, &AutostudyWordWindowController::run},
        {PaneNotifications::UserWantsToDoTodayAutostudy, &AutostudyTodayWindowController::run}};
    for (const auto& [name, run] : requests)
        center.addObserver(owner, name, [owner, run, window](Notification& n) {
            // Queued: the poster (a pane's command, a closing results window) finishes first.
            QMetaObject::invokeMethod(
                owner, [run, window, info = n.userInfo] { run(info, window()); }, Qt::QueuedConnection);
        });
}

void runTodayAutostudy(QWidget* parent)
{
    AutostudyTodayWindowController::run({}, parent);
}

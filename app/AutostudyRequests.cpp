#include "app/AutostudyRequests.h"

#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/NotificationCenter.h"
#include "reports/ui/AutostudyTodayWindowController.h"
#include "reports/ui/AutostudyVerseWindowController.h"
#include "reports/ui/AutostudyWordWindowController.h"
#include "reports/ui/web/AutostudyResultsWindowController.h"

#include <QMetaObject>
#include <QObject>
#include <QWidget>

namespace {

// The environment of the dialogs: the window's, with the results window as their presenter.
WindowEnvironment withResultsWindow(const WindowEnvironment& environment)
{
    WindowEnvironment env = environment;
    env.autostudyResults = &AutostudyResultsWindowController::runWithFile;
    return env;
}

}  // namespace

void listenForAutostudyRequests(QObject* owner, const WindowEnvironment& environment, std::function<QWidget*()> window)
{
    // The dialogs ask again on the centre observed here.
    const WindowEnvironment env = withResultsWindow(environment);
    NotificationCenter& center = environment.notifications();
    using Runner = void (*)(const WindowEnvironment&, const QVariantMap&, QWidget*);
    const QList<QPair<QString, Runner>> requests {
        {PaneNotifications::UserWantsToDoVerseAutostudy, &AutostudyVerseWindowController::run},
        {PaneNotifications::UserWantsToDoWordAutostudy, &AutostudyWordWindowController::run},
        {PaneNotifications::UserWantsToDoTodayAutostudy, &AutostudyTodayWindowController::run}};
    for (const auto& [name, run] : requests)
        center.addObserver(owner, name, [owner, run, window, env](Notification& n) {
            // Queued: the poster (a pane's command, a closing results window) finishes first.
            QMetaObject::invokeMethod(
                owner, [run, window, env, info = n.userInfo] { run(env, info, window()); }, Qt::QueuedConnection);
        });
}

void runTodayAutostudy(const WindowEnvironment& environment, QWidget* parent)
{
    AutostudyTodayWindowController::run(withResultsWindow(environment), {}, parent);
}

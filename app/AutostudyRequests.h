// The application's side of the autostudy: the three study requests ("UserWantsToDoVerseAutostudy",
// "...WordAutostudy", "...TodayAutostudy", posted by the book panes and by a results window's Change
// Options) open their dialog, and a finished report opens in a results window.
//
// Main thread only.
#pragma once

#include <QVariantMap>

#include <functional>

class QObject;
class QWidget;
struct WindowEnvironment;

// Observes the requests on the centre of `environment` for `owner` (the caller removes the owner's
// observations). Each dialog, made with `environment` and the results window as its presenter, runs modally over `window()` once the posting code has returned, unless `owner` is
// gone by then.
void listenForAutostudyRequests(QObject* owner, const WindowEnvironment& environment, std::function<QWidget*()> window);

// The Autostudy Today command: the today dialog on today's date, its reports shown in a results window.
void runTodayAutostudy(const WindowEnvironment& environment, QWidget* parent);

// Alerts that nobody waits for (a sync's outcome, a database error): each is shown once no modal
// window is up, never inside another alert's event loop, so that many reports in a row make a row of
// alerts the user closes one by one, not a stack of nested ones.
//
// Main thread only.
#pragma once

#include <functional>

class Alerts;
class QObject;
struct Alert;

// Shows `alert` through `alerts` at the next turn of the event loop when no modal window, open menu
// or alert of this function is up; otherwise it waits and looks again. Nothing happens once `context` is gone.
// `closed` runs after the alert was answered (and `context` is still there).
void showAlertWhenFree(Alerts& alerts, const Alert& alert, QObject* context, std::function<void()> closed = {});

// Whether an alert shown by showAlertWhenFree is up now.
bool alertWhenFreeIsUp();

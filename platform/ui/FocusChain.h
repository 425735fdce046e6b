// FocusChain: the window's Tab order stepped over a widget that keeps Tab to itself (a web view, whose
// page would walk its own links with it), as Tab and Shift+Tab step over an ordinary control.
// Main thread only.
#pragma once

#include <QWidget>

namespace FocusChain {

// Gives the keys to the next (`forward`) or previous control of `from`'s window that Tab reaches and
// that lies outside `from`; false when there is none. `from` is one stop, whatever it holds.
inline bool moveFocusPast(QWidget* from, bool forward)
{
    QWidget* next = from;
    for (int steps = 0; steps < 10000; ++steps) {
        next = forward ? next->nextInFocusChain() : next->previousInFocusChain();
        if (next == nullptr || next == from)
            return false;
        // (A widget that hands its focus on is reached as the widget it hands it to.)
        if (next->focusProxy() != nullptr || from->isAncestorOf(next) || !next->isVisible() || !next->isEnabled() ||
            (next->focusPolicy() & Qt::TabFocus) == 0 || next->window() != from->window())
            continue;
        next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    return false;
}

}  // namespace FocusChain

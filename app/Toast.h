// Toast: a short message in the middle of the screen that fades away by itself after two seconds.
// Each call makes a new window; toasts shown in quick succession overlap. Main thread only.
#pragma once

#include <QString>

class QWidget;

class Toast {
public:
    // Sizes from the base font size: font 1.5 x base (at most 20), width 35 x font, height
    // 4 x font (at least 100). Returns the toast's window (it deletes itself when it has faded).
    static QWidget* show(const QString& message, int baseFontSize);
    static int fontSizeFor(int baseFontSize);
};

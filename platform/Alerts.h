// Modal alerts: a message, an informative text, up to several buttons and a style.
//
// Code that must ask the user calls Alerts::shared().runModal(alert) on the main thread and
// receives the button chosen: AlertFirstButtonReturn for the first button added,
// AlertSecondButtonReturn for the second, and so on. The default button (the one Return and Space
// choose as the alert opens) is the first unless the alert names another: a question whose "Yes"
// destroys the user's work names the answer that keeps it. An alert without buttons shows one "OK"
// button. The application installs the window-system implementation at start-up;
// tests install a recording one (tests/support/RecordingAlerts.h). Without either, alerts are logged and answered with the
// first button.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

enum class AlertStyle { Warning, Informational, Critical };

enum AlertReturn : int {
    AlertFirstButtonReturn = 1000,
    AlertSecondButtonReturn = 1001,
    AlertThirdButtonReturn = 1002,
};

struct Alert {
    QString messageText;
    QString informativeText;
    QStringList buttons;  // in the order added; empty means one "OK" button
    AlertStyle style = AlertStyle::Warning;
    // The index in the buttons shown of the one chosen by Return or Space as the alert opens.
    int defaultButton = 0;
    // The index of the button that Escape and the window's close box choose; -1: the one that
    // declines ("Cancel", else "No"), and with one button that one.
    int escapeButton = -1;

    // The buttons as shown: "OK" alone when none were given.
    QStringList effectiveButtons() const;
    // The default button's index, within the buttons shown (the first when out of range).
    int effectiveDefaultButton() const;
    bool operator==(const Alert&) const = default;
};

class Alerts {
public:
    virtual ~Alerts();

    // Shows the alert and returns AlertFirstButtonReturn + the index of the chosen button.
    virtual int runModal(const Alert& alert) = 0;

    static Alerts& shared();
    // Installs the implementation that shared() returns; null restores the logging fallback.
    static void setShared(std::shared_ptr<Alerts> alerts);
};

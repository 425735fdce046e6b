// WidgetAlerts: the alerts service shown as message boxes. Buttons keep the order they were given in;
// the alert's default button (the first unless it names another) has the focus. Texts are shown as plain text (they carry names from books and
// synced data). Main thread only (code on other threads hands alerts over first).
#pragma once

#include "platform/Alerts.h"

class WidgetAlerts : public Alerts {
public:
    int runModal(const Alert& alert) override;
};

// AutostudyTodayWindowController: the today's-reading study dialog: a date within two years of today
// (731 days either way) and the devotionals and Bibles to read it from. When no report can be made (no
// Bible in the library, no devotionals in the study's list) an alert says why and the dialog stays open.
//
// Made by the application for "UserWantsToDoTodayAutostudy" and for the Autostudy Today command, run
// modally and deleted by its maker. Main thread only.
#pragma once

#include "reports/ui/AutostudyWindowController.h"

#include <QDate>

class QDateEdit;

class AutostudyTodayWindowController : public AutostudyWindowController {
    Q_OBJECT
public:
    static constexpr int pickerRangeDays = 731;

    // Makes the dialog from a request's user info ("date"; none or an invalid one means today) and runs
    // it modally.
    static void run(const WindowEnvironment& env, const QVariantMap& userInfo, QWidget* parent = nullptr);

    QDate date() const;
    void setDate(const QDate& date);
    void onToday();

    void onPerformAutostudy() override;

private:
    AutostudyTodayWindowController(const WindowEnvironment& env, const QDate& date, QWidget* parent);

    QDateEdit* m_datePicker = nullptr;
};

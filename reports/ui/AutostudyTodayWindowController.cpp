#include "reports/ui/AutostudyTodayWindowController.h"

#include "engine/foundation/SimpleDate.h"
#include "library/SourceManager.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/MainThread.h"
#include "reports/AutoStudyManager.h"

#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>

void AutostudyTodayWindowController::run(const WindowEnvironment& env, const QVariantMap& userInfo, QWidget* parent)
{
    AutostudyTodayWindowController dialog(env, userInfo.value(QStringLiteral("date")).toDate(), parent);
    dialog.exec();
}

AutostudyTodayWindowController::AutostudyTodayWindowController(
    const WindowEnvironment& env, const QDate& date, QWidget* parent)
    : AutostudyWindowController(env, AutoStudyElements::TodayStudy, tr("Autostudy Today"), parent)
{
    m_datePicker = new QDateEdit(this);
    m_datePicker->setObjectName(QStringLiteral("datePicker"));
    m_datePicker->setCalendarPopup(true);
    m_datePicker->setDisplayFormat(QStringLiteral("MMMM d, yyyy"));
    const QDate today = QDate::currentDate();
    m_datePicker->setDateRange(today.addDays(-pickerRangeDays), today.addDays(pickerRangeDays));
    m_datePicker->setDate(today);
    auto* todayButton = new QPushButton(tr("Today"), this);
    todayButton->setObjectName(QStringLiteral("todayButton"));
    todayButton->setAutoDefault(false);
    connect(todayButton, &QPushButton::clicked, this, &AutostudyTodayWindowController::onToday);
    auto* row = new QHBoxLayout;
    row->addWidget(m_datePicker);
    row->addWidget(todayButton);
    row->addStretch(1);
    inputForm()->addRow(tr("Date:"), row);
    if (date.isValid())
        setDate(date);
}

QDate AutostudyTodayWindowController::date() const
{
    return m_datePicker->date();
}

void AutostudyTodayWindowController::setDate(const QDate& date)
{
    if (date.isValid())
        m_datePicker->setDate(date);  // a date outside the picker's range is clamped to its nearer end
}

void AutostudyTodayWindowController::onToday()
{
    setDate(QDate::currentDate());
}

void AutostudyTodayWindowController::onPerformAutostudy()
{
    QS_ASSERT_MAIN_THREAD();
    const QDate day = date();
    const QString file = environment().autoStudy().resultsFileForAutoTodayStudyOn(day, nullptr, 0);
    SimpleDate simple;
    simple.setMonth(day.month(), day.day(), day.year());
    const QString title = simple.stringWithStyle(2);
    if (file.isEmpty()) {
        // The report is made whenever there is a Bible to print the passages in and a list of
        // devotionals to read from; say which is missing, and stay open for the user to mend it.
        const SourceTupleArray::Ptr bibles = environment().books().bibleSources();
        Alert a;
        a.messageText = tr("No reading could be made for %1.").arg(title);
        a.informativeText = !bibles || bibles->count() == 0
            ? tr("Today's reading prints the passages a devotional links to in a Bible, and the library holds "
                 "no Bible.")
            : tr("The study's list has no Devotionals element to read from, or the report could not be written.");
        a.style = AlertStyle::Informational;
        environment().alert().runModal(a);
        return;
    }
    presentResults(file, PaneNotifications::UserWantsToDoTodayAutostudy,
        {{QStringLiteral("date"), day}, {QStringLiteral("saveAsHint"), title}, {QStringLiteral("windowTitle"), title}});
}

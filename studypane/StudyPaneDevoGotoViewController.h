// The go-to sub-pane of the study pane for a devotional (tab 6 while the active book is a book of
// dated readings): every reading with its scheduled date, coloured read or unread; buttons for
// today's reading, the first unread reading, the previous and the next reading; and two dialogs:
// start over (a new start date, optionally clearing every read mark) and catch up (bring the
// schedule level with the reader, by moving the start date or by marking readings read).
//
// The schedule belongs to the book: the reading of a date is 1 + the days from the start date,
// wrapped into 1..numReadings; the start date and read marks are user data.
//
// The dialogs run through the environment's `runModal` (QDialog::exec unless a test answers them). Owned by the study
// pane controller; owns its view. Main thread only.
#pragma once

#include "library/GoToRequest.h"
#include "library/SourceTuple.h"
#include "platform/NotificationCenter.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPaneSubpane.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QStyledItemDelegate>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;
class QToolButton;

// Bring the schedule level: the result is method x 8 + end point (0 for cancel). Methods: 1 move the
// start date, 2 mark readings read; end points: 1 through yesterday, 2 through today.
class DevotionalCatchUpWindowController : public QDialog {
    Q_OBJECT
public:
    enum Method { kMoveStartDate = 1, kMarkRead = 2 };
    enum EndPoint { kThroughYesterday = 1, kThroughToday = 2 };
    explicit DevotionalCatchUpWindowController(QWidget* parent = nullptr);
    static QString descriptionFor(int method, int endPoint);
    // For a book whose readings are dated by month and day: moving the start date moves no reading,
    // so marking readings read is the only way offered.
    void leaveOutMovingTheStartDate();

    void updateDescription();
    void onOK();
    void onCancel() { done(0); }

private:
    QComboBox* m_method = nullptr;
    QComboBox* m_endPoint = nullptr;
    QLabel* m_description = nullptr;
};

// Choose a new start date (within 731 days of today either way) and whether to clear all progress.
// The result is 1 for OK, 0 for cancel.
class DevotionalStartOverWindowController : public QDialog {
    Q_OBJECT
public:
    explicit DevotionalStartOverWindowController(QWidget* parent = nullptr);
    QDateEdit* startDateDatePicker() const { return m_date; }
    QCheckBox* clearAllProgressCheckbox() const { return m_clear; }
    void onOK() { done(1); }
    void onCancel() { done(0); }

private:
    QDateEdit* m_date = nullptr;
    QCheckBox* m_clear = nullptr;
};

class StudyPaneDevoGotoViewController : public StudyPaneSubpane {
    Q_OBJECT
public:
    explicit StudyPaneDevoGotoViewController(StudyPaneEnvironment env, StudyPaneViewController* host = nullptr);
    ~StudyPaneDevoGotoViewController() override;

    SourceTuple::Ptr sourceTuple() const { return m_sourceTuple; }

    void onTodaysReadingButton();
    void onFirstUnreadReadingButton();
    void onPreviousReadingButton();
    void onNextReadingButton();
    void onStartOver();
    void onCatchUp();
    void updateButtons();
    void thisSourceIsNowActive(const Notification* n);
    void everybodySyncToMeNotification(const GoToRequest& request);
    void displayPreferencesChanged();
    // Choosing a row: a go-to request for its reading.
    void activateRow(int row);

private:
    void loadView() override;
    void viewDidLoad() override;
    void reloadTable();
    void scrollToReading(qint64 reading);
    // Brings the row to show to the list's top once the list is laid out to show it.
    void showPendingRow();
    // One of the four reading requests (todaysReading, firstUnread, prevReading, nextReading).
    void postReadingRequest(bool GoToRequest::*reading);

    SourceTuple::Ptr m_sourceTuple;
    QTableWidget* m_table = nullptr;
    QToolButton* m_startOver = nullptr;
    QToolButton* m_catchUp = nullptr;
    std::optional<QString> m_header;
    int m_pendingRow = -1;  // a row to bring to the top once the list has its size
};

// Paints a reading: its date above "Reading n of N", on the read or unread colour.
class ReadingProgressCellView : public QStyledItemDelegate {
    Q_OBJECT
public:
    enum Role { ReadingNumberRole = Qt::UserRole + 1 };
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

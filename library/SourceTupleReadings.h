// SourceTupleReadings: a devotional's daily readings, reached through its book record
// (`book->readings()`): the date and section of each reading, the reading of a date or a section,
// and the reader's progress (start date, readings marked read).
//
// A part of its SourceTuple and lives as long as it; it keeps no state of its own and works on the
// book's document, answering a neutral value when the book has none or is not a dated book. Any
// thread, as the document's own calls.
#pragma once

#include "engine/foundation/SimpleDate.h"

#include <QtGlobal>

class SourceTuple;

class SourceTupleReadings {
public:
    explicit SourceTupleReadings(SourceTuple& book) : m_book(book) { }
    SourceTupleReadings(const SourceTupleReadings&) = delete;
    SourceTupleReadings& operator=(const SourceTupleReadings&) = delete;

    SimpleDate dateForReadingNumber(quint32 number) const;
    // 0xFFFFFFFF without a dated document.
    quint32 sectionForReadingNumber(quint32 number) const;
    quint32 readingNumberForDate(const SimpleDate& date) const;
    // The last reading due on or before `date` in the current cycle (the one that holds today): 0
    // when the date is before the start date or before the current cycle began.
    quint32 lastReadingScheduledThrough(const SimpleDate& date) const;
    quint32 readingNumberForSection(quint32 section) const;
    quint32 firstUnreadReadingNumber() const;
    bool isReadingComplete(quint32 number) const;
    quint32 numReadReadings() const;
    SimpleDate startDate() const;

    // Marks a reading read or unread; with `notify`, posts DevotionalProgressHasChangedNotification
    // with the book as its object.
    void toggleReadingNumber(quint32 number, bool notify);
    void setStartDate(const SimpleDate& date);
    void resetProgress();

private:
    SourceTuple& m_book;
};

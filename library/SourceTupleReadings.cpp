// A book's daily readings: which section and date each reading has, and the reader's progress through them.

#include "library/SourceTupleReadings.h"

#include <algorithm>

#include "documents/cDateDoc.h"
#include "library/LibraryNotifications.h"
#include "library/SourceTuple.h"
#include "platform/NotificationCenter.h"

// --- readings ----------------------------------------------------------------------------------

SimpleDate SourceTupleReadings::dateForReadingNumber(quint32 number) const
{
    SimpleDate date;
    if (const auto doc = m_book.dateDoc())
        doc->dateForReadingNumber(number, date.simpleDate());
    return date;
}

quint32 SourceTupleReadings::sectionForReadingNumber(quint32 number) const
{
    const auto doc = m_book.dateDoc();
    return doc == nullptr ? 0xFFFFFFFF : doc->sectionForReadingNumber(number);
}

quint32 SourceTupleReadings::readingNumberForDate(const SimpleDate& date) const
{
    const auto doc = m_book.dateDoc();
    return doc == nullptr ? 0 : doc->readingNumberForDate(date.simpleDate());
}

quint32 SourceTupleReadings::lastReadingScheduledThrough(const SimpleDate& date) const
{
    const auto doc = m_book.dateDoc();
    if (doc == nullptr)
        return 0;
    return doc->lastReadingDueThroughDate(date.simpleDate());
}

quint32 SourceTupleReadings::readingNumberForSection(quint32 section) const
{
    const auto doc = m_book.sourceDoc();
    return doc == nullptr ? 0 : doc->ReadingNumberForSection(section);
}

quint32 SourceTupleReadings::firstUnreadReadingNumber() const
{
    const auto doc = m_book.dateDoc();
    return doc == nullptr ? 0 : doc->FirstUnreadReadingNumber();
}

bool SourceTupleReadings::isReadingComplete(quint32 number) const
{
    const auto doc = m_book.dateDoc();
    return doc != nullptr && doc->IsReadingComplete(number);
}

void SourceTupleReadings::toggleReadingNumber(quint32 number, bool notify)
{
    const auto doc = m_book.dateDoc();
    if (doc == nullptr)
        return;
    doc->ToggleReadingNumber(number);
    if (notify)
        NotificationCenter::defaultCenter().postNotificationName(
            LibraryNotifications::DevotionalProgressHasChangedNotification, &m_book);
}

void SourceTupleReadings::setStartDate(const SimpleDate& date)
{
    if (const auto doc = m_book.dateDoc())
        doc->setStartDate(date.simpleDate(), true);
}

SimpleDate SourceTupleReadings::startDate() const
{
    const auto doc = m_book.dateDoc();
    return doc == nullptr ? SimpleDate() : SimpleDate(doc->startDate());
}

void SourceTupleReadings::resetProgress()
{
    if (const auto doc = m_book.dateDoc())
        doc->ResetProgress();
}

quint32 SourceTupleReadings::numReadReadings() const
{
    const auto doc = m_book.dateDoc();
    return doc == nullptr ? 0 : doc->NumReadReadings();
}

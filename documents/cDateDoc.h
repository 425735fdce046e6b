// cDateDoc: the document of a dated book (a devotional). Its date-sync storage lists, for each of
// N readings, the section where the reading starts. Two kinds of book use it:
// - a calendar: every reading is headed by a month and day ("January 1", "1 Jan", "March 2 -
//   Evening") in calendar order and every day of the year has one. A date then has the first
//   reading headed by its month and day in every year; 29 February has its own reading when the
//   book has one, else 28 February's. The start date plays no part in the schedule.
// - a plan of numbered readings: the readings form a cycle that begins on a start date the user
//   chooses: reading r falls on start + (r - 1) days, repeating every N days.
// The start date and the readings marked as read live in the devotional-data store. Without a
// stored start date the start is the book's default day of the current year, taken again when the
// date changes.
//
// Threads: main thread only; the store does its own database locking.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "documents/cBookDoc.h"
#include "engine/foundation/cSimpleDate.h"
#include "userdata/cDevotionalDataStg.h"

class cDateDoc : public cBookDoc {
public:
    cDateDoc();
    ~cDateDoc() override;

    cSourceDoc* Clone() const override;
    bool Open() override;
    void Close() override;
    std::uint32_t GoTo(const cRenderParams& params) override;
    cRenderParams* GetCurrentLocation() override;
    bool GetLocationName(cLString16& out, bool withTitle, bool flag, const cRenderParams* params) override;
    bool GetSearchResultText(std::uint32_t section, std::uint32_t mode, bool html, std::uint32_t reserved,
        const cMultiBookSearchHits* hits, const cSearchWordList* words, cLString8& out) override;
    std::uint32_t ReadingNumberForSection(std::uint32_t section) override;
    std::uint32_t GetSupportFlags() override;
    void GetPositionNameForTitleBar(cLString8& out, std::uint32_t section, bool includeSection, bool reverse) override;

    // The operations the book handle adds for reading progress.
    virtual bool IsReadingComplete(std::uint32_t reading);
    virtual void ToggleReadingNumber(std::uint32_t reading);
    virtual void ResetProgress();
    virtual std::uint32_t NumReadReadings();
    virtual std::uint32_t FirstUnreadReadingNumber();

    // The reading of a date (the start date refreshed from the store first); 0 without readings.
    std::uint32_t readingNumberForDate(const cSimpleDate& date);
    // The section where reading r starts; 0xFFFFFFFF when closed or past the table.
    std::uint32_t sectionForReadingNumber(std::uint32_t reading);
    // A section of the contents that lies inside `reading` without starting it and holds sections of
    // its own (a month over its days): it is named by its contents title, not by the reading.
    bool isHeadingOverReadings(std::uint32_t section, std::uint32_t reading);
    // The date reading r falls on in the current cycle (from the start date for a plan that has not
    // begun); 0 for reading 0, else 1.
    std::uint32_t dateForReadingNumber(std::uint32_t reading, cSimpleDate& date);
    // Whether the readings are dated by month and day (a calendar) rather than numbered.
    bool isCalendar() const { return m_calendar; }
    // Keeps a valid date as the start date (and writes it to the store with `store`).
    bool setStartDate(const cSimpleDate& date, bool store);
    cSimpleDate startDate();
    std::uint32_t numReadings() const { return m_numReadings; }
    // The last reading due on or before `end` in the cycle that holds today (0..N); see
    // lastReadingDueThrough.
    std::uint32_t lastReadingDueThroughDate(const cSimpleDate& end);
    // The reading of the current location; 0 when it has none.
    std::uint32_t currentReading();
    // The reading of a date for a given start date and cycle length (1..n; 0 when n is 0). A plan
    // that has not begun has reading 1 next: a date before the start gives 1.
    static std::uint32_t readingOfDate(const cSimpleDate& start, const cSimpleDate& date, std::uint32_t n);
    // The day reading r (1..n) falls on in the cycle that holds `today`; before the start date, in
    // the first cycle, so that reading 1 falls on the start date.
    static cSimpleDate dateOfReading(
        const cSimpleDate& start, const cSimpleDate& today, std::uint32_t reading, std::uint32_t n);
    // The last reading due on or before `end` in the cycle that holds `today` (0..n): 0 when `end`
    // is before the start date or before that cycle began.
    static std::uint32_t lastReadingDueThrough(
        const cSimpleDate& start, const cSimpleDate& today, const cSimpleDate& end, std::uint32_t n);

    // The month and day a reading's title names ("January 1", "1 Jan.", "Sept 3rd - Morning"),
    // through month * 100 + day (29 February allowed); 0 when it names none.
    static int monthDayOfTitle(const std::string& title);

private:
    // The calendar's tables from the readings' titles; none when they are not a calendar.
    void loadCalendar();
    std::uint32_t calendarReadingOfDate(const cSimpleDate& date) const;
    cSimpleDate calendarDateOfReading(std::uint32_t reading, const cSimpleDate& today) const;
    std::uint32_t calendarLastReadingDueThrough(const cSimpleDate& today, const cSimpleDate& end) const;
    cSimpleDate defaultStart(const cSimpleDate& today);
    std::uint32_t jumpToReading(std::uint32_t reading);
    void refreshStartDate();
    void loadStartDate();
    bool sameBook(const cRenderParams& params);

    cSimpleDate m_startDate;
    // The start is the book's default for the current year (nothing stored): taken again each day.
    bool m_defaultStart = false;
    std::uint32_t m_numReadings = 0;
    // A calendar's tables: the reading of each day of a leap year (index 1..366, from 1 January),
    // and each reading's day (index 1..N).
    bool m_calendar = false;
    std::vector<std::uint16_t> m_readingOfDay;
    std::vector<std::uint16_t> m_dayOfReading;
    cDevotionalDataStg m_store;
};

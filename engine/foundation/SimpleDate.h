// SimpleDate: the user interface's date object, a small value wrapper around one
// cSimpleDate. A new SimpleDate holds today's local date.
#pragma once

#include "engine/foundation/cSimpleDate.h"

#include <QString>

#include <cstdint>

class SimpleDate {
public:
    // Bits of the style given to stringWithStyle.
    static constexpr int kStyleWithWeekday = 0x1;  // weekday name first
    static constexpr int kStyleDayFirst = 0x4;     // day before the month name

    SimpleDate() = default;  // today
    explicit SimpleDate(const cSimpleDate& date) : m_date(date) { }

    void setMonth(std::int32_t month, std::int32_t day, std::int32_t year) { m_date.setDate(month, day, year); }
    std::int32_t month() const { return m_date.month(); }
    std::int32_t day() const { return m_date.day(); }
    std::int32_t year() const { return m_date.year(); }
    void addDays(std::int32_t n) { m_date = m_date.addDays(n); }

    cSimpleDate& simpleDate() { return m_date; }
    const cSimpleDate& simpleDate() const { return m_date; }

    // "Friday, October 15, 1582" with kStyleWithWeekday, "15 October 1582" with
    // kStyleDayFirst, "October 15, 1582" with neither.
    QString stringWithStyle(int style) const;

private:
    cSimpleDate m_date;
};

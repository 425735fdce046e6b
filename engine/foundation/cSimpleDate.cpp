#include "engine/foundation/cSimpleDate.h"

#include "engine/foundation/Calendar.h"
#include "engine/foundation/cSimpleDateClock.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <limits>

namespace {

constexpr std::int32_t kFallbackMonth = 1;
constexpr std::int32_t kFallbackDay = 1;
constexpr std::int32_t kFallbackYear = 1988;

std::atomic<simpledateclock::Clock> g_clock {nullptr};

}  // namespace

void simpledateclock::setClock(Clock clock)
{
    g_clock.store(clock);
}

cSimpleDate::cSimpleDate()
{
    if (const simpledateclock::Clock clock = g_clock.load()) {
        *this = clock();
        return;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    if (::localtime_r(&now, &local) != nullptr)
        setDate(local.tm_mon + 1, local.tm_mday, local.tm_year + 1900);
    else
        setDate(kFallbackMonth, kFallbackDay, kFallbackYear);
}

cSimpleDate::cSimpleDate(std::int32_t month, std::int32_t day, std::int32_t year)
{
    setDate(month, day, year);
}

void cSimpleDate::setDate(std::int32_t month, std::int32_t day, std::int32_t year)
{
    // Wide arithmetic: any int32 arguments are accepted without overflow.
    std::int64_t y = year;
    std::int32_t m = month;
    if (m > 12) {
        y += (m - 1) / 12;
        m = (m - 1) % 12 + 1;
    } else if (m < 0) {
        const std::int64_t back = -static_cast<std::int64_t>(m);  // 1 = December before
        y -= (back - 1) / 12 + 1;
        m = static_cast<std::int32_t>(12 - (back - 1) % 12);
    } else if (m == 0) {
        m = 1;
    }
    // A valid date is kept as given: counting from the 1st would move 15-31 October
    // 1582 by the ten dropped days.
    if (y <= std::numeric_limits<std::int32_t>::max() && isValidDate(m, day, static_cast<std::int32_t>(y))) {
        m_month = m;
        m_day = day;
        m_year = static_cast<std::int32_t>(y);
        return;
    }
    const std::int64_t first = Calendar::dayNumberFromDate64(m, 1, y);  // 1 when not valid
    setFromDayNumber(first + (day >= 1 ? std::int64_t(day) - 1 : std::int64_t(day)));
}

void cSimpleDate::setFromDayNumber(std::int64_t number)
{
    std::int32_t month = 1;
    std::int32_t day = 1;
    std::int64_t year = 1;
    Calendar::dateFromDayNumber64(number, &month, &day, &year);
    if (year > std::numeric_limits<std::int32_t>::max() || !isValidDate(month, day, static_cast<std::int32_t>(year))) {
        m_month = kFallbackMonth;
        m_day = kFallbackDay;
        m_year = kFallbackYear;
        return;
    }
    m_month = month;
    m_day = day;
    m_year = static_cast<std::int32_t>(year);
}

bool cSimpleDate::isValid() const
{
    return isValidDate(m_month, m_day, m_year);
}

cSimpleDate cSimpleDate::addDays(std::int32_t n) const
{
    cSimpleDate result = *this;
    result.setFromDayNumber(Calendar::dayNumberFromDate64(m_month, m_day, m_year) + n);
    return result;
}

cSimpleDate& cSimpleDate::nextDay()
{
    if (m_day >= daysInMonth(m_month, m_year)) {
        m_day = 1;
        if (++m_month > 12) {
            m_month = 1;
            ++m_year;
        }
    } else {
        ++m_day;
    }
    return *this;
}

cSimpleDate cSimpleDate::postNextDay()
{
    cSimpleDate before = *this;
    nextDay();
    return before;
}

std::int32_t cSimpleDate::daysBetween(const cSimpleDate& other) const
{
    return dayNumberFromDate(m_month, m_day, m_year) - dayNumberFromDate(other.m_month, other.m_day, other.m_year);
}

bool cSimpleDate::differs(const cSimpleDate& other) const
{
    return m_day != other.m_day || m_month != other.m_month || m_year != other.m_year;
}

void cSimpleDate::format(bool withoutWeekday, bool monthFirst, cLString8& out) const
{
    // The buffer sizes (terminator included) are the longest texts with a four-digit
    // year; longer years are cut.
    char text[30];
    const char* month = monthName(m_month);
    const char* weekday = weekdayName(weekdayFromDate(m_month, m_day, m_year));
    const int day = m_day;
    const int year = m_year;
    if (!withoutWeekday && monthFirst)
        std::snprintf(text, 30, "%s, %s %d, %d", weekday, month, day, year);
    else if (!withoutWeekday)
        std::snprintf(text, 29, "%s, %d %s %d", weekday, day, month, year);
    else if (!monthFirst)
        std::snprintf(text, 18, "%d %s %d", day, month, year);
    else
        std::snprintf(text, 19, "%s %d, %d", month, day, year);
    out.assignCStr(text);
}

#include "engine/foundation/cDateTimeValue.h"

#include "engine/foundation/Calendar.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>

namespace {

constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::int64_t kMsPerMinute = 60 * kMsPerSecond;
constexpr std::int64_t kMsPerHour = 60 * kMsPerMinute;
constexpr std::int64_t kMsPerDay = 24 * kMsPerHour;

// The latest time the 16-bit year can hold: 31 December 65535, 23:59:59.999.
std::int64_t lastRepresentableMs()
{
    return (Calendar::dayNumberFromDate64(12, 31, 65535) + 1) * kMsPerDay - 1;
}

// A field of `width` decimal digits at `text + at`; -1 when any is not a digit.
int digitsAt(const char* text, int at, int width)
{
    int value = 0;
    for (int i = 0; i < width; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

int countOf(const char* text, char c)
{
    int n = 0;
    for (const char* p = text; *p; ++p)
        if (*p == c)
            ++n;
    return n;
}

void assignText(cLString8& out, const char* text)
{
    out.assignCStr(text);
}

}  // namespace

std::uint16_t cDateTimeValue::setToNowUTC()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc {};
    if (::gmtime_r(&now, &utc) == nullptr)
        return weekday;
    second = static_cast<std::uint16_t>(utc.tm_sec > 59 ? 59 : utc.tm_sec);
    minute = static_cast<std::uint16_t>(utc.tm_min);
    hour = static_cast<std::uint16_t>(utc.tm_hour);
    day = static_cast<std::uint16_t>(utc.tm_mday);
    month = static_cast<std::uint16_t>(utc.tm_mon + 1);
    year = static_cast<std::uint16_t>(utc.tm_year + 1900);
    weekday = static_cast<std::uint16_t>(utc.tm_wday);
    millisecond = 0;
    return weekday;
}

void cDateTimeValue::formatColonSeparated(cLString8& out) const
{
    char text[48];
    std::snprintf(text, sizeof text, "%04u:%02u:%02u:%02u:%02u:%02u:%03u:%02u", unsigned(year), unsigned(month),
        unsigned(day), unsigned(hour), unsigned(minute), unsigned(second), unsigned(millisecond), unsigned(weekday));
    assignText(out, text);
}

void cDateTimeValue::formatSQLStyle(cLString8& out) const
{
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", unsigned(year), unsigned(month),
        unsigned(day), unsigned(hour), unsigned(minute), unsigned(second), unsigned(millisecond));
    assignText(out, text);
}

void cDateTimeValue::formatUSStyle(cLString8& out) const
{
    char text[48];
    std::snprintf(text, sizeof text, "%02u/%02u/%04u %02u:%02u:%02u", unsigned(month), unsigned(day), unsigned(year),
        unsigned(hour), unsigned(minute), unsigned(second));
    assignText(out, text);
}

bool cDateTimeValue::parse(const char* text)
{
    if (text == nullptr)
        return false;
    const std::size_t length = std::strlen(text);
    int y, mo, d, h, mi, s, ms, wd;
    if (countOf(text, ':') == 7) {
        // Colon form; older writers used two-digit milliseconds.
        int msWidth;
        if (length == 26)
            msWidth = 3;
        else if (length == 25)
            msWidth = 2;
        else
            return false;
        const int wdAt = 21 + msWidth;
        for (int at : {4, 7, 10, 13, 16, 19, 20 + msWidth})
            if (text[at] != ':')
                return false;
        y = digitsAt(text, 0, 4);
        mo = digitsAt(text, 5, 2);
        d = digitsAt(text, 8, 2);
        h = digitsAt(text, 11, 2);
        mi = digitsAt(text, 14, 2);
        s = digitsAt(text, 17, 2);
        ms = digitsAt(text, 20, msWidth);
        wd = digitsAt(text, wdAt, 2);
        if (wd < 0 || wd > 6)
            return false;
    } else {
        if (length != 23 || countOf(text, '-') != 2 || countOf(text, ' ') != 1 || countOf(text, ':') != 2 ||
            countOf(text, '.') != 1)
            return false;
        if (text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' || text[16] != ':' ||
            text[19] != '.')
            return false;
        y = digitsAt(text, 0, 4);
        mo = digitsAt(text, 5, 2);
        d = digitsAt(text, 8, 2);
        h = digitsAt(text, 11, 2);
        mi = digitsAt(text, 14, 2);
        s = digitsAt(text, 17, 2);
        ms = digitsAt(text, 20, 3);
        wd = -1;
    }
    if (y < 0 || !isValidDate(mo, d, y) || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59 || ms < 0)
        return false;
    if (wd < 0)
        wd = weekdayFromDate(mo, d, y);
    year = static_cast<std::uint16_t>(y);
    month = static_cast<std::uint16_t>(mo);
    day = static_cast<std::uint16_t>(d);
    hour = static_cast<std::uint16_t>(h);
    minute = static_cast<std::uint16_t>(mi);
    second = static_cast<std::uint16_t>(s);
    millisecond = static_cast<std::uint16_t>(ms);
    weekday = static_cast<std::uint16_t>(wd);
    return true;
}

std::int64_t cDateTimeValue::toMilliseconds() const
{
    const std::int64_t dayNumber = dayNumberFromDate(month, day, year);
    return ((dayNumber * 24 + hour) * 60 + minute) * 60 * kMsPerSecond + second * kMsPerSecond + millisecond;
}

std::uint16_t cDateTimeValue::setFromMilliseconds(std::int64_t ms)
{
    if (ms < kMsPerDay)
        ms = kMsPerDay;  // day 1, the first valid date
    const std::int64_t last = lastRepresentableMs();
    if (ms > last)
        ms = last;
    millisecond = static_cast<std::uint16_t>(ms % kMsPerSecond);
    second = static_cast<std::uint16_t>((ms / kMsPerSecond) % 60);
    minute = static_cast<std::uint16_t>((ms / kMsPerMinute) % 60);
    hour = static_cast<std::uint16_t>((ms / kMsPerHour) % 24);
    std::int32_t m = 1;
    std::int32_t d = 1;
    std::int64_t y = 1;
    Calendar::dateFromDayNumber64(ms / kMsPerDay, &m, &d, &y);
    month = static_cast<std::uint16_t>(m);
    day = static_cast<std::uint16_t>(d);
    year = static_cast<std::uint16_t>(y);
    weekday = static_cast<std::uint16_t>(weekdayFromDate(m, d, static_cast<std::int32_t>(y)));
    return weekday;
}

std::uint16_t cDateTimeValue::addMilliseconds(std::int64_t delta)
{
    std::int64_t sum;
    if (__builtin_add_overflow(toMilliseconds(), delta, &sum))
        sum = delta < 0 ? 0 : lastRepresentableMs();
    return setFromMilliseconds(sum);
}

int cDateTimeValue::compare(const cDateTimeValue& a, const cDateTimeValue& b)
{
    const std::uint16_t cDateTimeValue::*order[] = {&cDateTimeValue::year, &cDateTimeValue::month, &cDateTimeValue::day,
        &cDateTimeValue::hour, &cDateTimeValue::minute, &cDateTimeValue::second, &cDateTimeValue::millisecond};
    for (auto field : order) {
        if (a.*field != b.*field)
            return a.*field < b.*field ? -1 : 1;
    }
    return 0;
}

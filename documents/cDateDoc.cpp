#include "documents/cDateDoc.h"

#include <algorithm>
#include <cstdio>

#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkTOCStg.h"
#include "engine/foundation/Calendar.h"
#include "engine/foundation/cDateTimeValue.h"
#include "engine/foundation/cMsgBox.h"
#include "platform/MainThread.h"

namespace {
cDateTimeValue toDateTime(const cSimpleDate& date)
{
    cDateTimeValue v;
    v.year = static_cast<std::uint16_t>(date.year());
    v.month = static_cast<std::uint16_t>(date.month());
    v.day = static_cast<std::uint16_t>(date.day());
    v.weekday = static_cast<std::uint16_t>(weekdayFromDate(date.month(), date.day(), date.year()));
    return v;
}

bool fromDateTime(const cDateTimeValue& v, cSimpleDate& date)
{
    if (!isValidDate(v.month, v.day, v.year))
        return false;
    date = cSimpleDate(v.month, v.day, v.year);
    return true;
}

// Days of a leap year, numbered from 1 January (1) to 31 December (366); 29 February is day 60.
constexpr int kDaysInLeapYear = 366;
constexpr int kLeapDay = 60;
// A calendar has a reading for each day, some for two or more (morning and evening); more than
// this many readings are taken for a plan.
constexpr std::uint32_t kMaxCalendarReadings = 4 * kDaysInLeapYear;

int dayOfLeapYear(int month, int day)
{
    int n = day;
    for (int m = 1; m < month; ++m)
        n += daysInMonth(m, 2000);
    return n;
}

void monthDayOfLeapYear(int n, int& month, int& day)
{
    month = 1;
    while (month < 12 && n > daysInMonth(month, 2000)) {
        n -= daysInMonth(month, 2000);
        ++month;
    }
    day = n;
}

int monthOfWord(const std::string& word)
{
    static const char* const kNames[12] = {"january", "february", "march", "april", "may", "june", "july", "august",
        "september", "october", "november", "december"};
    if (word == "sept")
        return 9;
    for (int m = 0; m < 12; ++m) {
        const std::string name = kNames[m];
        if (word == name || (word.size() == 3 && name.compare(0, 3, word) == 0))
            return m + 1;
    }
    return 0;
}

bool isOrdinalSuffix(const std::string& word)
{
    return word == "st" || word == "nd" || word == "rd" || word == "th";
}

}  // namespace

cDateDoc::cDateDoc() = default;

cDateDoc::~cDateDoc()
{
    cDateDoc::Close();
}

cSourceDoc* cDateDoc::Clone() const
{
    auto* copy = new cDateDoc();
    copy->bookDocCopyFrom(*this);
    copy->m_startDate = m_startDate;
    copy->m_defaultStart = m_defaultStart;
    copy->m_numReadings = m_numReadings;
    copy->m_calendar = m_calendar;
    copy->m_readingOfDay = m_readingOfDay;
    copy->m_dayOfReading = m_dayOfReading;
    copy->m_store.setBookFrom(m_store);
    return copy;
}

int cDateDoc::monthDayOfTitle(const std::string& title)
{
    // The title as words and numbers; `gap` is what stands between a token and the one before it.
    struct Token {
        std::string text;
        bool number = false;
        std::string gap;
    };
    std::vector<Token> tokens;
    std::string gap;
    for (std::size_t i = 0; i < title.size() && tokens.size() < 64;) {
        const unsigned char c = static_cast<unsigned char>(title[i]);
        const bool digit = c >= '0' && c <= '9';
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!digit && !letter) {
            gap += static_cast<char>(c);
            ++i;
            continue;
        }
        Token t;
        t.number = digit;
        t.gap = gap;
        gap.clear();
        for (; i < title.size(); ++i) {
            const unsigned char d = static_cast<unsigned char>(title[i]);
            const bool same = digit ? (d >= '0' && d <= '9') : ((d >= 'a' && d <= 'z') || (d >= 'A' && d <= 'Z'));
            if (!same)
                break;
            if (t.text.size() < 16)
                t.text += static_cast<char>(digit ? d : (d | 0x20));
        }
        tokens.push_back(std::move(t));
    }
    // Only blanks, a full stop or a comma join a month and its day.
    auto joins = [](const std::string& g) { return g.size() <= 3 && g.find_first_not_of(" .,") == std::string::npos; };
    auto dayOf = [](const Token& t) { return t.number && t.text.size() <= 2 ? std::stoi(t.text) : 0; };
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const int month = tokens[k].number ? 0 : monthOfWord(tokens[k].text);
        if (month == 0)
            continue;
        int day = 0;
        if (k + 1 < tokens.size() && joins(tokens[k + 1].gap))
            day = dayOf(tokens[k + 1]);  // "January 1", "Jan. 1st"
        if (day == 0 && k >= 1 && joins(tokens[k].gap)) {
            std::size_t before = k - 1;  // "1 January", "1st January"
            if (isOrdinalSuffix(tokens[before].text) && tokens[before].gap.empty() && before >= 1)
                --before;
            day = dayOf(tokens[before]);
        }
        if (day >= 1 && day <= daysInMonth(month, 2000))
            return month * 100 + day;
    }
    return 0;
}

void cDateDoc::loadCalendar()
{
    m_calendar = false;
    m_readingOfDay.clear();
    m_dayOfReading.clear();
    const std::uint32_t n = m_numReadings;
    if (n < kDaysInLeapYear - 1 || n > kMaxCalendarReadings)
        return;
    cBkDateSyncStg& dates = m_bookFile->dateSync();
    cBkTOCStg& toc = m_bookFile->toc();
    std::vector<std::uint16_t> dayOf(n + 1, 0);
    std::uint32_t nextSection = dates.sectionOfReading(0);
    int wraps = 0;
    for (std::uint32_t r = 1; r <= n; ++r) {
        const std::uint32_t section = nextSection;
        nextSection = r < n ? dates.sectionOfReading(r) : kNone;
        if (section == kNone || section == 0)
            return;
        // The reading's own title, or that of its first day when it opens with a heading (a month).
        int md = 0;
        for (std::uint32_t s = section; s <= section + 1 && (s == section || s < nextSection) && md == 0; ++s) {
            std::uint8_t level = 0;
            std::string title;
            if (toc.readEntry(s, level, title) != 0)
                return;
            md = monthDayOfTitle(title);
        }
        if (md == 0)
            return;
        const int day = dayOfLeapYear(md / 100, md % 100);
        // The days run in calendar order, round the year's end at most once.
        if (r > 1 && day < dayOf[r - 1] && ++wraps > 1)
            return;
        dayOf[r] = static_cast<std::uint16_t>(day);
    }
    if (wraps == 1 && dayOf[n] >= dayOf[1])
        return;
    std::vector<std::uint16_t> readingOf(kDaysInLeapYear + 1, 0);
    for (std::uint32_t r = n; r >= 1; --r)
        readingOf[dayOf[r]] = static_cast<std::uint16_t>(r);  // the first reading of each day
    for (int day = 1; day <= kDaysInLeapYear; ++day) {
        if (readingOf[day] == 0 && day != kLeapDay)
            return;  // a day of the year without a reading: not a calendar
    }
    if (readingOf[kLeapDay] == 0)
        readingOf[kLeapDay] = readingOf[kLeapDay - 1];
    m_readingOfDay = std::move(readingOf);
    m_dayOfReading = std::move(dayOf);
    m_calendar = true;
}

std::uint32_t cDateDoc::calendarReadingOfDate(const cSimpleDate& date) const
{
    return m_readingOfDay[static_cast<std::size_t>(dayOfLeapYear(date.month(), date.day()))];
}

cSimpleDate cDateDoc::calendarDateOfReading(std::uint32_t reading, const cSimpleDate& today) const
{
    // The calendar's year runs from its first reading's day: the one that holds today.
    const int first = m_dayOfReading[1];
    const int cycleYear = dayOfLeapYear(today.month(), today.day()) >= first ? today.year() : today.year() - 1;
    const int day = m_dayOfReading[std::min(reading, m_numReadings)];
    int year = day >= first ? cycleYear : cycleYear + 1;
    int month = 0, dayOfMonth = 0;
    monthDayOfLeapYear(day, month, dayOfMonth);
    // A reading of 29 February falls on that day of the next leap year.
    while (month == 2 && dayOfMonth == 29 && !isLeapYear(year))
        ++year;
    return cSimpleDate(month, dayOfMonth, year);
}

std::uint32_t cDateDoc::calendarLastReadingDueThrough(const cSimpleDate& today, const cSimpleDate& end) const
{
    const int first = m_dayOfReading[1];
    const int todayDay = dayOfLeapYear(today.month(), today.day());
    const int cycleYear = todayDay >= first ? today.year() : today.year() - 1;
    int firstMonth = 0, firstDay = 0;
    monthDayOfLeapYear(first, firstMonth, firstDay);
    const cSimpleDate cycleStart(firstMonth, firstDay, cycleYear);
    const cSimpleDate nextCycle(firstMonth, firstDay, cycleYear + 1);
    if (end.daysBetween(cycleStart) < 0)
        return 0;
    if (end.daysBetween(nextCycle) >= 0)
        return m_numReadings;
    // Days counted from the cycle's first; the readings' days only grow through the cycle.
    const auto fromFirst = [first](int day) { return (day - first + kDaysInLeapYear) % kDaysInLeapYear; };
    const int endDay = fromFirst(dayOfLeapYear(end.month(), end.day()));
    std::uint32_t last = 0;
    while (last < m_numReadings && fromFirst(m_dayOfReading[last + 1]) <= endDay)
        ++last;
    return last;
}

bool cDateDoc::Open()
{
    if (IsOpen())
        return true;
    if (!cBookDoc::Open())
        return false;
    m_numReadings = m_bookFile->dateSync().isOpened() ? m_bookFile->dateSync().readingCount() : 0;
    if (m_numReadings == 0) {
        cMsgBox().show(206);
        cBookDoc::Close();
        return false;
    }
    m_kind = kKindDated;
    const BookIdentity id = bookIdentity();
    m_store.setBook(id.publisher, id.book);
    loadCalendar();
    loadStartDate();
    return true;
}

void cDateDoc::Close()
{
    if (!IsOpen())
        return;
    cBookDoc::Close();
    m_numReadings = 0;
    m_calendar = false;
    m_readingOfDay.clear();
    m_dayOfReading.clear();
}

std::uint32_t cDateDoc::GetSupportFlags()
{
    if (!IsOpen())
        return 0;
    return cBookDoc::GetSupportFlags() | kDocSupportsDailyReadings;
}

// --- the reading cycle ---

std::uint32_t cDateDoc::readingOfDate(const cSimpleDate& start, const cSimpleDate& date, std::uint32_t n)
{
    if (n == 0)
        return 0;
    // Days from the start, reduced into the cycle without stepping one cycle at a time. Before the
    // start nothing is due and the plan's first reading comes next.
    const std::int64_t d = date.daysBetween(start);
    if (d < 0)
        return 1;
    return static_cast<std::uint32_t>(d % static_cast<std::int64_t>(n) + 1);
}

namespace {

// Days from the start to the first day of the cycle that holds `today` (0 before the start).
std::int64_t cycleOffset(const cSimpleDate& start, const cSimpleDate& today, std::uint32_t n)
{
    const std::int64_t d = today.daysBetween(start);
    return d <= 0 ? 0 : d - d % static_cast<std::int64_t>(n);
}

}  // namespace

cSimpleDate cDateDoc::dateOfReading(
    const cSimpleDate& start, const cSimpleDate& today, std::uint32_t reading, std::uint32_t n)
{
    if (n == 0 || reading == 0)
        return start;
    const std::int64_t day = cycleOffset(start, today, n) + static_cast<std::int64_t>(std::min(reading, n)) - 1;
    return start.addDays(static_cast<std::int32_t>(day));
}

std::uint32_t cDateDoc::lastReadingDueThrough(
    const cSimpleDate& start, const cSimpleDate& today, const cSimpleDate& end, std::uint32_t n)
{
    if (n == 0)
        return 0;
    const std::int64_t e = end.daysBetween(start) - cycleOffset(start, today, n);
    if (end.daysBetween(start) < 0 || e < 0)
        return 0;
    return static_cast<std::uint32_t>(std::min<std::int64_t>(e + 1, n));
}

void cDateDoc::refreshStartDate()
{
    if (!IsOpen())
        return;
    const BookIdentity id = bookIdentity();
    cDateTimeValue stored;
    std::uint32_t count = 0;
    cSimpleDate date;
    if (m_store.readStartDate(id.publisher, id.book, stored, count, nullptr, false) && fromDateTime(stored, date)) {
        m_startDate = date;
        m_defaultStart = false;
    } else if (m_defaultStart) {
        m_startDate = defaultStart(cSimpleDate());  // the year may have changed since it was taken
    }
}

cSimpleDate cDateDoc::defaultStart(const cSimpleDate& today)
{
    std::uint8_t month = 0, day = 0, third = 0;
    m_bookFile->dateSync().defaultStart(month, day, third);
    if (month > 0 && month <= 12)
        return cSimpleDate(month, day == 0 ? 1 : day, today.year());
    return cSimpleDate(1, 1, today.year());
}

void cDateDoc::loadStartDate()
{
    const BookIdentity id = bookIdentity();
    cDateTimeValue stored;
    std::uint32_t count = 0;
    cSimpleDate date;
    if (m_store.readStartDate(id.publisher, id.book, stored, count, nullptr, false) && fromDateTime(stored, date)) {
        m_startDate = date;
        if (count != m_numReadings)
            m_store.writeStartDateAndCount(id.publisher, id.book, stored, m_numReadings, nullptr, false);
        return;
    }
    setStartDate(defaultStart(cSimpleDate()), false);
    m_defaultStart = true;
}

bool cDateDoc::setStartDate(const cSimpleDate& date, bool store)
{
    refreshStartDate();
    if (!date.isValid())
        return false;
    m_startDate = date;
    m_defaultStart = false;
    MarkLocationChanged();
    if (store && IsOpen()) {
        const BookIdentity id = bookIdentity();
        m_store.writeStartDate(id.publisher, id.book, toDateTime(date), nullptr, false);
    }
    return true;
}

cSimpleDate cDateDoc::startDate()
{
    refreshStartDate();
    return m_startDate;
}

std::uint32_t cDateDoc::readingNumberForDate(const cSimpleDate& date)
{
    if (m_calendar && date.isValid())
        return calendarReadingOfDate(date);
    refreshStartDate();
    // Without a stored start each year's plan begins on the book's default day of that year: a
    // date of last year is read in last year's plan.
    if (m_defaultStart && date.isValid() && date.year() != m_startDate.year())
        return readingOfDate(defaultStart(date), date, m_numReadings);
    return readingOfDate(m_startDate, date, m_numReadings);
}

std::uint32_t cDateDoc::lastReadingDueThroughDate(const cSimpleDate& end)
{
    if (m_calendar)
        return calendarLastReadingDueThrough(cSimpleDate(), end);
    refreshStartDate();
    return lastReadingDueThrough(m_startDate, cSimpleDate(), end, m_numReadings);
}

std::uint32_t cDateDoc::sectionForReadingNumber(std::uint32_t reading)
{
    if (!IsOpen() || m_bookFile == nullptr || reading == 0)
        return kNone;
    return m_bookFile->dateSync().sectionOfReading(reading - 1);
}

std::uint32_t cDateDoc::dateForReadingNumber(std::uint32_t reading, cSimpleDate& date)
{
    if (reading == 0)
        return 0;
    if (m_calendar) {
        date = calendarDateOfReading(reading, cSimpleDate());
        return 1;
    }
    refreshStartDate();
    date = dateOfReading(m_startDate, cSimpleDate(), reading, m_numReadings);
    return 1;
}

std::uint32_t cDateDoc::ReadingNumberForSection(std::uint32_t section)
{
    if (!IsOpen() || m_bookFile == nullptr || m_numReadings == 0)
        return 0;
    cBkDateSyncStg& dates = m_bookFile->dateSync();
    const std::uint32_t firstSection = dates.sectionOfReading(0);
    const std::uint32_t lastSection = dates.sectionOfReading(m_numReadings - 1);
    if (firstSection == kNone || section < firstSection || (lastSection != kNone && section > lastSection))
        return 0;
    const std::int32_t index = dates.readingForSection(section);
    if (index < 0)
        return 0;
    return static_cast<std::uint32_t>(index) + 1;
}

std::uint32_t cDateDoc::currentReading()
{
    acknowledgeChange();
    if (!(m_current.options() & cRenderParams::kSection))
        return 0;
    return ReadingNumberForSection(m_current.getOption0008());
}

std::uint32_t cDateDoc::jumpToReading(std::uint32_t reading)
{
    if (!IsOpen() || reading == 0 || reading > m_numReadings)
        return kNone;
    const std::uint32_t section = sectionForReadingNumber(reading);
    if (section == 0 || section == kNone)
        return kNone;
    return goToSection(section, nullptr);
}

// --- progress ---

bool cDateDoc::IsReadingComplete(std::uint32_t reading)
{
    if (reading == 0 || !IsOpen())
        return false;
    return m_store.isReadingDone(reading);
}

void cDateDoc::ToggleReadingNumber(std::uint32_t reading)
{
    QS_ASSERT_MAIN_THREAD();
    if (!IsOpen() || reading == 0 || reading > m_numReadings)
        return;
    const bool done = m_store.isReadingDone(reading);
    m_store.setReadingDone(reading, !done, nullptr, false);
    const BookIdentity id = bookIdentity();
    cDateTimeValue stored;
    std::uint32_t count = 0;
    if (!m_store.readStartDate(id.publisher, id.book, stored, count, nullptr, false))
        setStartDate(m_startDate, true);
}

void cDateDoc::ResetProgress()
{
    QS_ASSERT_MAIN_THREAD();
    if (IsOpen())
        m_store.clearAllProgress();
}

std::uint32_t cDateDoc::NumReadReadings()
{
    return IsOpen() ? m_store.countReadingsDone() : 0;
}

std::uint32_t cDateDoc::FirstUnreadReadingNumber()
{
    return IsOpen() ? m_store.firstUnreadReading() : 0;
}

// --- navigation and names ---

bool cDateDoc::sameBook(const cRenderParams& params)
{
    return (params.options() & cRenderParams::kIdentity) && identityMatches(params);
}

std::uint32_t cDateDoc::GoTo(const cRenderParams& params)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return kNone;
    const std::uint32_t o = params.options();
    if (o & cRenderParams::kLocationName)
        return goToNamedLocation(params);
    auto asDateResult = [](std::uint32_t r) { return r == 0 || r == kUnchanged ? r : kNoReading; };
    if (o & cRenderParams::kDate) {
        const cSimpleDate* date = params.getOption0010();
        if (date == nullptr)
            return kNoReading;
        return asDateResult(jumpToReading(readingNumberForDate(*date)));
    }
    if (o & cRenderParams::kTodaysReading)
        return asDateResult(jumpToReading(readingNumberForDate(cSimpleDate())));
    if (o & cRenderParams::kFirstReading)
        return jumpToReading(1);
    if (o & (cRenderParams::kPreviousReading | cRenderParams::kNextReading)) {
        const std::uint32_t cur = currentReading();
        if (cur == 0)
            return kNone;
        if (o & cRenderParams::kPreviousReading)
            return jumpToReading(cur == 1 ? m_numReadings : cur - 1);
        return jumpToReading(cur >= m_numReadings ? 1 : cur + 1);
    }
    if ((o & cRenderParams::kReadingNumber) && sameBook(params))
        return jumpToReading(params.getOption01000000());
    if (o & cRenderParams::kFirstUnreadReading) {
        const std::uint32_t r = m_store.firstUnreadReading();
        if (r == 0 || r > m_numReadings || r == currentReading())
            return kNone;
        return jumpToReading(r);
    }
    if (o & (cRenderParams::kPreviousUnreadReading | cRenderParams::kNextUnreadReading)) {
        const std::uint32_t cur = currentReading();
        const std::uint32_t r = (o & cRenderParams::kPreviousUnreadReading) ? m_store.previousUnreadReading(cur)
                                                                            : m_store.nextUnreadReading(cur);
        if (r == 0)
            return kNone;
        return jumpToReading(r);
    }
    if ((o & cRenderParams::kReloadStartDate) && sameBook(params)) {
        refreshStartDate();
        return 0;
    }
    return cBookDoc::GoTo(params);
}

cRenderParams* cDateDoc::GetCurrentLocation()
{
    cRenderParams* location = cBookDoc::GetCurrentLocation();
    if (location == nullptr)
        return nullptr;
    const std::uint32_t r = currentReading();
    cSimpleDate date;
    if (r != 0 && dateForReadingNumber(r, date) != 0)
        location->setOption0010(date);
    return location;
}

bool cDateDoc::GetLocationName(cLString16& out, bool withTitle, bool flag, const cRenderParams* params)
{
    const cRenderParams* location = locationToName(params);
    if (location == nullptr)
        return cSourceDoc::GetLocationName(out, withTitle, flag, params);
    const std::uint32_t o = location->options();
    if (!(o & (cRenderParams::kDate | cRenderParams::kSection)))
        return cBookDoc::GetLocationName(out, withTitle, flag, params);
    if ((o & cRenderParams::kIdentity) && !identityMatches(*location))
        return cBookDoc::GetLocationName(out, withTitle, flag, params);
    std::uint32_t r = 0;
    if ((o & cRenderParams::kDate) && location->getOption0010() != nullptr)
        r = readingNumberForDate(*location->getOption0010());
    else
        r = ReadingNumberForSection(location->getOption0008());
    // A heading over readings (a month) lies inside the reading before it but is not part of it: it
    // is named by its own contents title.
    const bool heading = !(o & cRenderParams::kDate) && isHeadingOverReadings(location->getOption0008(), r);
    if (r == 0 || heading)
        return cBookDoc::GetLocationName(out, withTitle, flag, params);
    out.makeEmpty();
    if (withTitle) {
        GetTitleW(out, true);
        if (!out.isEmpty())
            out.appendCStr(cLString16(": ").chars());
    }
    cSimpleDate date;
    dateForReadingNumber(r, date);
    cLString8 text;
    date.format(true, true, text);
    char count[64];
    std::snprintf(count, sizeof count, " - %u of %u", r, m_numReadings);
    text.appendCStr(count);
    cLString16 wide;
    wide.assignFromUTF8(text);
    out.append(wide);
    return true;
}

bool cDateDoc::isHeadingOverReadings(std::uint32_t section, std::uint32_t reading)
{
    return reading != 0 && sectionForReadingNumber(reading) != section && HasChildren(section);
}

void cDateDoc::GetPositionNameForTitleBar(cLString8& out, std::uint32_t section, bool, bool)
{
    out.makeEmpty();
    cRenderParams location;
    location.setOption0008(section);
    cLString16 name;
    if (GetLocationName(name, false, false, &location))
        out.assignFromUTF16(name);
}

bool cDateDoc::GetSearchResultText(std::uint32_t section, std::uint32_t mode, bool html, std::uint32_t reserved,
    const cMultiBookSearchHits* hits, const cSearchWordList* words, cLString8& out)
{
    if (mode == 0 && !html && IsOpen()) {
        const std::uint32_t r = ReadingNumberForSection(section);
        cSimpleDate date;
        out.makeEmpty();
        if (r != 0 && !isHeadingOverReadings(section, r) && dateForReadingNumber(r, date) != 0)
            date.format(false, true, out);
        if (!out.isEmpty())
            return true;
    }
    return cBookDoc::GetSearchResultText(section, mode, html, reserved, hits, words, out);
}

// --- questions on readings ---

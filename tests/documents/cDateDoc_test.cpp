#include "documents/cDateDoc.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DocTestSupport.h"
#include "engine/foundation/Calendar.h"
#include "engine/foundation/cMsgBox.h"
#include "engine/foundation/cSimpleDateClock.h"

using doctest::folder;
using doctest::str;
using doctest::wide;

namespace {

constexpr std::uint32_t kReadings = 365;

cTvkBookBuilder datedBuilder(std::uint16_t bookId, std::uint8_t month, std::uint8_t day)
{
    cTvkBookBuilder b;
    b.kind = cTvkBookBuilder::Kind::Dated;
    b.info.bookName = "Morning Readings";
    b.info.abbreviatedTitle = "MORN";
    b.info.publisherId = 7;
    b.info.bookId = bookId;
    std::vector<std::uint32_t> readings;
    for (std::uint32_t i = 1; i <= kReadings; ++i)
        readings.push_back(
            b.addSection({"Day " + std::to_string(i), 1, "Reading number " + std::to_string(i) + ".", 0}));
    b.setReadings(readings, month, day);
    return b;
}

class DateDocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static const std::string path = folder().write(datedBuilder(8, 3, 0), "morning.tvk");
        doctest::openDoc(doc, path);
    }
    std::uint32_t reading(int month, int day, int year)
    {
        return doc.readingNumberForDate(cSimpleDate(month, day, year));
    }

    cDateDoc doc;
};

TEST_F(DateDocTest, OpensWithDefaultStartAndFlags)
{
    EXPECT_EQ(cBookDoc::kKindDated, doc.bookKindFromHeader());
    EXPECT_EQ(kReadings, doc.numReadings());
    EXPECT_EQ(0x49u | 0x100u | 0x1000u, doc.GetSupportFlags());
    // No stored start date yet: the book's default month (day 0 counts as 1) of this year.
    const cSimpleDate start = doc.startDate();
    EXPECT_EQ(3, start.month());
    EXPECT_EQ(1, start.day());
    EXPECT_EQ(cSimpleDate().year(), start.year());
    EXPECT_EQ(1u, doc.ReadingNumberForSection(1));
    EXPECT_EQ(365u, doc.ReadingNumberForSection(365));
    EXPECT_EQ(0u, doc.ReadingNumberForSection(0));
    EXPECT_EQ(0u, doc.ReadingNumberForSection(400));
    EXPECT_EQ(5u, doc.sectionForReadingNumber(5));
}

TEST_F(DateDocTest, CycleAroundTheYearEndAndALeapDay)
{
    ASSERT_TRUE(doc.setStartDate(cSimpleDate(1, 1, 2023), true));
    EXPECT_EQ(1u, reading(1, 1, 2023));
    EXPECT_EQ(365u, reading(12, 31, 2023));
    EXPECT_EQ(1u, reading(12, 31, 2022));  // before the start the plan's first reading comes next
    EXPECT_EQ(1u, reading(1, 1, 2024));
    const std::uint32_t farAway = reading(1, 1, 3023);  // reduced into the cycle, not walked forward
    EXPECT_GE(farAway, 1u);
    EXPECT_LE(farAway, kReadings);

    // A plan of numbered readings counts days: in a leap year the cycle ends a day before the year.
    ASSERT_TRUE(doc.setStartDate(cSimpleDate(1, 1, 2024), true));
    EXPECT_EQ(60u, reading(2, 29, 2024));
    EXPECT_EQ(61u, reading(3, 1, 2024));
    EXPECT_EQ(365u, reading(12, 30, 2024));
    EXPECT_EQ(1u, reading(12, 31, 2024));
    EXPECT_FALSE(doc.isCalendar());

    EXPECT_EQ(1u, cDateDoc::readingOfDate(cSimpleDate(1, 1, 2000), cSimpleDate(1, 1, 2000), 365));
    EXPECT_EQ(0u, cDateDoc::readingOfDate(cSimpleDate(1, 1, 2000), cSimpleDate(1, 1, 2000), 0));
    EXPECT_EQ(1u, cDateDoc::readingOfDate(cSimpleDate(1, 1, 2000), cSimpleDate(12, 31, 1999), 365));

    // The stored start date is read again by a document opened later.
    cDateDoc again;
    doctest::openDoc(again, doc.GetPathName().utf8Chars());
    const cSimpleDate start = again.startDate();
    EXPECT_EQ(2024, start.year());
    EXPECT_EQ(1, start.month());
}

// The schedule's rules against a plain walk over the days from the start date, for plans that
// began 0 to 800 days ago or begin 1 to 30 days ahead, on days across a year's end and a leap day.
TEST(ReadingSchedule, MatchesADayByDayWalk)
{
    for (const cSimpleDate& today :
        {cSimpleDate(12, 10, 2026), cSimpleDate(1, 1, 2027), cSimpleDate(2, 29, 2028), cSimpleDate(3, 1, 2028)}) {
        for (const std::uint32_t n : {7u, 365u, 366u}) {
            for (int ago = -30; ago <= 800; ++ago) {
                const cSimpleDate start = today.addDays(-ago);
                // The walk: day i from the start holds reading i % n + 1 of cycle i / n.
                const int todayCycle = ago < 0 ? 0 : ago / int(n);
                const std::uint32_t todays = cDateDoc::readingOfDate(start, today, n);
                ASSERT_EQ(todays, ago < 0 ? 1u : std::uint32_t(ago % int(n)) + 1) << ago;
                for (const int back : {0, 1}) {
                    const int endDay = ago - back;  // the end's day index from the start
                    std::uint32_t plainLast = 0;
                    for (int i = todayCycle * int(n); i <= endDay && i < (todayCycle + 1) * int(n); ++i)
                        plainLast = std::uint32_t(i % int(n)) + 1;
                    const std::uint32_t last = cDateDoc::lastReadingDueThrough(start, today, today.addDays(-back), n);
                    ASSERT_EQ(last, plainLast) << "start " << ago << " days ago, n " << n << ", back " << back;
                    // No reading dated after the end is ever due.
                    for (std::uint32_t r = 1; r <= n; r += (n > 7 ? 29 : 1)) {
                        const cSimpleDate date = cDateDoc::dateOfReading(start, today, r, n);
                        ASSERT_EQ(date.daysBetween(start), todayCycle * int(n) + int(r) - 1) << ago << " r " << r;
                        ASSERT_EQ(r <= last, date.daysBetween(today.addDays(-back)) <= 0) << ago << " r " << r;
                    }
                }
                // Reading 1 falls on the start date in a plan's first cycle and in one yet to begin.
                if (ago < int(n)) {
                    ASSERT_EQ(cDateDoc::dateOfReading(start, today, 1, n).daysBetween(start), 0);
                }
            }
        }
    }
    // The plan in its second year: begun 374 days ago, today is reading 10; through yesterday is 9.
    const cSimpleDate today(12, 10, 2026);
    EXPECT_EQ(cDateDoc::readingOfDate(today.addDays(-374), today, 365), 10u);
    EXPECT_EQ(cDateDoc::lastReadingDueThrough(today.addDays(-374), today, today.addDays(-1), 365), 9u);
    // A plan ten days ahead: nothing due, reading 1 on its start date.
    EXPECT_EQ(cDateDoc::lastReadingDueThrough(today.addDays(10), today, today, 365), 0u);
    EXPECT_EQ(cDateDoc::dateOfReading(today.addDays(10), today, 1, 365).daysBetween(today), 10);
}

TEST_F(DateDocTest, GoToReadings)
{
    ASSERT_TRUE(doc.setStartDate(cSimpleDate(1, 1, 2023), false));
    cRenderParams byDate;
    byDate.setOption0010(cSimpleDate(2, 1, 2023));
    EXPECT_EQ(0u, doc.GoTo(byDate));
    EXPECT_EQ(32u, doc.currentReading());
    EXPECT_EQ(32u, doc.currentSection());

    cRenderParams first;
    first.setOptions(first.options() | cRenderParams::kFirstReading);
    EXPECT_EQ(0u, doc.GoTo(first));
    EXPECT_EQ(1u, doc.currentReading());
    cRenderParams previous;
    previous.setOptions(previous.options() | cRenderParams::kPreviousReading);
    EXPECT_EQ(0u, doc.GoTo(previous));
    EXPECT_EQ(kReadings, doc.currentReading());
    cRenderParams next;
    next.setOptions(next.options() | cRenderParams::kNextReading);
    EXPECT_EQ(0u, doc.GoTo(next));
    EXPECT_EQ(1u, doc.currentReading());

    cRenderParams numbered;
    numbered.setOption0040WithValue(7, 8, -1, 200);
    EXPECT_EQ(0u, doc.GoTo(numbered));
    EXPECT_EQ(200u, doc.currentReading());
    cRenderParams otherBook;
    otherBook.setOption0040WithValue(7, 9, 1, 100);
    EXPECT_NE(0u, doc.GoTo(otherBook));
    EXPECT_EQ(200u, doc.currentReading());

    const cRenderParams* at = doc.GetCurrentLocation();
    ASSERT_NE(nullptr, at);
    ASSERT_NE(nullptr, at->getOption0010());

    cRenderParams today;
    today.setOptions(today.options() | cRenderParams::kTodaysReading);
    EXPECT_EQ(0u, doc.GoTo(today));
    EXPECT_EQ(doc.readingNumberForDate(cSimpleDate()), doc.currentReading());

    cRenderParams named;
    named.setLocationName("page");
    EXPECT_EQ(0u, doc.GoTo(named));
    EXPECT_EQ(215u, doc.GoTo(named));
}

TEST_F(DateDocTest, LocationNamesAndResultLines)
{
    cRenderParams location;
    location.setOption0008(32);
    cLString16 name;
    ASSERT_TRUE(doc.GetLocationName(name, true, false, &location));
    cSimpleDate expected;
    ASSERT_EQ(1u, doc.dateForReadingNumber(32, expected));
    cLString8 date;
    expected.format(true, true, date);
    EXPECT_EQ("MORN: " + str(date) + " - 32 of 365", str(name));
    EXPECT_EQ(32u, doc.readingNumberForDate(expected));

    cLString8 bar;
    doc.GetPositionNameForTitleBar(bar, 32, true, false);
    EXPECT_EQ(str(date) + " - 32 of 365", str(bar));

    cLString8 line;
    ASSERT_TRUE(doc.GetSearchResultText(32, 0, false, 0, nullptr, nullptr, line));
    cLString8 withWeekday;
    expected.format(false, true, withWeekday);
    EXPECT_EQ(str(withWeekday), str(line));
    EXPECT_FALSE(doc.GetSearchResultText(32, 1, false, 0, nullptr, nullptr, line));

    location.setOption0008(0);
    EXPECT_FALSE(doc.GetLocationName(name, true, false, &location));
}

TEST_F(DateDocTest, ReadingProgress)
{
    doc.ResetProgress();
    EXPECT_EQ(0u, doc.NumReadReadings());
    doc.ToggleReadingNumber(0);
    doc.ToggleReadingNumber(kReadings + 1);
    EXPECT_EQ(0u, doc.NumReadReadings());
    EXPECT_FALSE(doc.IsReadingComplete(0));
    doc.ToggleReadingNumber(1);
    doc.ToggleReadingNumber(5);
    EXPECT_TRUE(doc.IsReadingComplete(5));
    EXPECT_EQ(2u, doc.NumReadReadings());
    EXPECT_EQ(2u, doc.FirstUnreadReadingNumber());
    doc.ToggleReadingNumber(5);
    EXPECT_FALSE(doc.IsReadingComplete(5));
    EXPECT_EQ(1u, doc.NumReadReadings());

    cRenderParams go;
    go.setOption0008(1);
    ASSERT_EQ(0u, doc.GoTo(go));
    EXPECT_EQ(1u, doc.currentReading());
    cRenderParams firstUnread;
    firstUnread.setOptions(firstUnread.options() | cRenderParams::kFirstUnreadReading);
    EXPECT_EQ(0u, doc.GoTo(firstUnread));
    EXPECT_EQ(2u, doc.currentReading());
    EXPECT_EQ(0xFFFFFFFFu, doc.GoTo(firstUnread));  // already there
    doc.ResetProgress();
    EXPECT_EQ(0u, doc.NumReadReadings());
}

TEST(DateDocOpenTest, ABookWithoutReadingsDoesNotOpen)
{
    cTvkBookBuilder b = datedBuilder(9, 0, 0);
    b.omitStream("DATE");
    cDateDoc doc;
    doc.SetPathName(wide(folder().write(b, "noreadings.tvk")));
    EXPECT_FALSE(doc.Open());
    EXPECT_FALSE(doc.IsOpen());
    EXPECT_EQ(206, cMsgBox::lastShownId());
    cRenderParams go;
    go.setOption0010(cSimpleDate(1, 1, 2023));
    EXPECT_EQ(0xFFFFFFFFu, doc.GoTo(go));
    EXPECT_EQ(0u, doc.ReadingNumberForSection(1));
    EXPECT_EQ(0u, doc.GetSupportFlags());
}

TEST(DateDocOpenTest, AReadingThatLeadsNowhereAnswers225)
{
    cTvkBookBuilder b = datedBuilder(10, 1, 1);
    std::vector<std::uint32_t> readings {0, 2, 3};
    b.setReadings(readings, 1, 1);
    cDateDoc doc;
    doctest::openDoc(doc, folder().write(b, "nowhere.tvk"));
    ASSERT_TRUE(doc.setStartDate(cSimpleDate(1, 1, 2023), false));
    cRenderParams go;
    go.setOption0010(cSimpleDate(1, 1, 2023));
    EXPECT_EQ(225u, doc.GoTo(go));
    go.setOption0010(cSimpleDate(1, 2, 2023));
    EXPECT_EQ(0u, doc.GoTo(go));
    EXPECT_EQ(2u, doc.currentSection());

    std::unique_ptr<cSourceDoc> clone(doc.Clone());
    ASSERT_NE(nullptr, clone);
    EXPECT_TRUE(clone->IsOpen());
    EXPECT_EQ(3u, static_cast<cDateDoc*>(clone.get())->numReadings());
}

// --- books dated by month and day ---

// The clock the tests move: "today" for every cSimpleDate made without a date.
cSimpleDate g_today(1, 1, 2024);
cSimpleDate movedClock()
{
    return g_today;
}

class MovedClock {
public:
    explicit MovedClock(const cSimpleDate& today)
    {
        g_today = today;
        simpledateclock::setClock(&movedClock);
    }
    ~MovedClock() { simpledateclock::setClock(nullptr); }
    void set(const cSimpleDate& today) { g_today = today; }
};

std::string monthDay(int month, int day)
{
    return std::string(monthName(month)) + " " + std::to_string(day);
}

// A calendar of the days of a common year (with `leapDay`, also 29 February) in the title form
// `titleOf` gives, `perDay` readings a day; each month opens with a heading of its own that lies
// inside the reading before it (January's opens reading 1).
cTvkBookBuilder calendarBuilder(std::uint16_t bookId, bool leapDay, int perDay,
    std::string (*titleOf)(int month, int day, int part), std::map<std::string, std::uint32_t>& firstReadingOf)
{
    cTvkBookBuilder b;
    b.kind = cTvkBookBuilder::Kind::Dated;
    b.info.bookName = "Daily Light";
    b.info.abbreviatedTitle = "LIGHT";
    b.info.publisherId = 7;
    b.info.bookId = bookId;
    std::vector<std::uint32_t> readings;
    for (int month = 1; month <= 12; ++month) {
        const std::uint32_t heading = b.addSection({monthName(month), 1, monthName(month), 0});
        for (int day = 1; day <= daysInMonth(month, leapDay ? 2000 : 2001); ++day) {
            for (int part = 0; part < perDay; ++part) {
                const std::uint32_t s = b.addSection({titleOf(month, day, part), 2, "Text of the reading.", 0});
                readings.push_back(month == 1 && day == 1 && part == 0 ? heading : s);
                firstReadingOf.emplace(monthDay(month, day), std::uint32_t(readings.size()));
            }
        }
    }
    b.setReadings(readings, 1, 1);
    return b;
}

std::string plainTitle(int month, int day, int)
{
    return monthDay(month, day);
}
std::string morningAndEvening(int month, int day, int part)
{
    return std::string(part == 0 ? "Morning, " : "Evening, ") + std::to_string(day) + " " +
        std::string(monthName(month)).substr(0, 3) + ".";
}

// Every date of 2024-2030, with the start the book opens with and with stored starts, has the
// reading headed by its month and day (29 February: its own, else 28 February's); the page's line
// and the list name that reading's date. A plan of numbered readings beside it keeps counting days.
TEST(CalendarBook, EveryDateHasTheReadingHeadedByItsDay)
{
    MovedClock clock(cSimpleDate(1, 1, 2024));
    struct Case {
        bool leapDay;
        int perDay;
        std::string (*titleOf)(int, int, int);
    };
    std::uint16_t bookId = 40;
    for (const Case& c :
        {Case {false, 1, plainTitle}, Case {true, 1, plainTitle}, Case {false, 2, morningAndEvening}}) {
        std::map<std::string, std::uint32_t> firstReadingOf;
        ++bookId;
        const std::string file = folder().write(calendarBuilder(bookId, c.leapDay, c.perDay, c.titleOf, firstReadingOf),
            "calendar" + std::to_string(bookId) + ".tvk");
        cDateDoc doc;
        doctest::openDoc(doc, file);
        ASSERT_TRUE(doc.isCalendar());
        const std::uint32_t n = doc.numReadings();
        ASSERT_EQ(n, std::uint32_t((c.leapDay ? 366 : 365) * c.perDay));
        // The start the book opens with (none stored), then two stored ones.
        for (int pass = 0; pass < 3; ++pass) {
            if (pass > 0) {
                ASSERT_TRUE(doc.setStartDate(pass == 1 ? cSimpleDate(1, 1, 2024) : cSimpleDate(6, 15, 2025), true));
            }
            for (cSimpleDate date(1, 1, 2024); date.year() <= 2030; date = date.addDays(1)) {
                clock.set(date);
                const bool leap = date.month() == 2 && date.day() == 29;
                const std::string shared = leap && !c.leapDay ? monthDay(2, 28) : monthDay(date.month(), date.day());
                const std::uint32_t expected = firstReadingOf.at(shared);
                ASSERT_EQ(doc.readingNumberForDate(date), expected) << shared << " " << date.year();
                cSimpleDate named;
                ASSERT_EQ(1u, doc.dateForReadingNumber(expected, named));
                ASSERT_EQ(named.daysBetween(date), leap && !c.leapDay ? -1 : 0) << shared << " " << date.year();
                // The last reading of the day is due through it; the first of the next is not.
                ASSERT_EQ(doc.lastReadingDueThroughDate(date), expected + std::uint32_t(c.perDay) - 1);
            }
            clock.set(cSimpleDate(3, 1, 2028));
            cRenderParams today;
            today.setOptions(today.options() | cRenderParams::kTodaysReading);
            ASSERT_EQ(0u, doc.GoTo(today));
            cLString16 name;
            ASSERT_TRUE(doc.GetLocationName(name, false, false, nullptr));
            EXPECT_EQ(str(name),
                "March 1, 2028 - " + std::to_string(firstReadingOf.at("March 1")) + " of " + std::to_string(n));
        }
        // In a year without the leap day, a book's own 29 February reading is dated in the next leap year.
        if (c.leapDay) {
            clock.set(cSimpleDate(12, 31, 2026));
            cSimpleDate leapReading;
            doc.dateForReadingNumber(60, leapReading);
            EXPECT_EQ(leapReading.daysBetween(cSimpleDate(2, 29, 2028)), 0);
        }
    }

    // The numbered plan beside it: day i from the stored start has reading i % 365 + 1.
    cDateDoc plan;
    doctest::openDoc(plan, folder().write(datedBuilder(48, 1, 1), "plan48.tvk"));
    ASSERT_FALSE(plan.isCalendar());
    ASSERT_TRUE(plan.setStartDate(cSimpleDate(1, 1, 2024), true));
    int i = 0;
    for (cSimpleDate date(1, 1, 2024); date.year() <= 2030; date = date.addDays(1), ++i) {
        clock.set(date);
        ASSERT_EQ(plan.readingNumberForDate(date), std::uint32_t(i % 365 + 1)) << i;
    }
}

// Without a stored start, the default start (1 January of the current year) follows the date while
// the book stays open, and so do the dates the list names.
TEST(CalendarBook, TheDefaultStartAndTheListFollowTheDate)
{
    MovedClock clock(cSimpleDate(12, 31, 2026));
    cDateDoc plan;
    doctest::openDoc(plan, folder().write(datedBuilder(49, 1, 1), "plan49.tvk"));
    EXPECT_EQ(365u, plan.readingNumberForDate(cSimpleDate()));
    clock.set(cSimpleDate(1, 1, 2027));
    EXPECT_EQ(1u, plan.readingNumberForDate(cSimpleDate()));
    EXPECT_EQ(2027, plan.startDate().year());
    cSimpleDate first;
    plan.dateForReadingNumber(1, first);
    EXPECT_EQ(first.daysBetween(cSimpleDate(1, 1, 2027)), 0);
    clock.set(cSimpleDate(1, 1, 2029));
    EXPECT_EQ(1u, plan.readingNumberForDate(cSimpleDate()));

    std::map<std::string, std::uint32_t> firstReadingOf;
    cDateDoc calendar;
    doctest::openDoc(calendar, folder().write(calendarBuilder(50, false, 1, plainTitle, firstReadingOf), "cal50.tvk"));
    clock.set(cSimpleDate(12, 31, 2026));
    cSimpleDate date;
    calendar.dateForReadingNumber(1, date);
    EXPECT_EQ(date.year(), 2026);
    clock.set(cSimpleDate(1, 1, 2027));
    calendar.dateForReadingNumber(1, date);
    EXPECT_EQ(date.daysBetween(cSimpleDate(1, 1, 2027)), 0);
    calendar.dateForReadingNumber(365, date);
    EXPECT_EQ(date.daysBetween(cSimpleDate(12, 31, 2027)), 0);
}

TEST(CalendarBook, TitlesThatNameADay)
{
    const std::pair<const char*, int> cases[] = {{"January 1", 101}, {"JANUARY 31", 131}, {"1 Jan", 101},
        {"Sept. 3rd - Evening", 903}, {"Morning, 29 February", 229}, {"Dec 25, Christmas", 1225}, {"31st May", 531},
        {"February 30", 0}, {"Day 12", 0}, {"May", 0}, {"Mayday 4", 0}, {"Psalm 23", 0}, {"June 123", 0},
        {"March-4", 0}, {"", 0}};
    for (const auto& [title, expected] : cases)
        EXPECT_EQ(cDateDoc::monthDayOfTitle(title), expected) << title;
}

}  // namespace

#include "documents/cDateDoc.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DocTestSupport.h"
#include "engine/foundation/cMsgBox.h"

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

    ASSERT_TRUE(doc.setStartDate(cSimpleDate(1, 1, 2024), true));
    EXPECT_EQ(60u, reading(2, 29, 2024));
    EXPECT_EQ(61u, reading(3, 1, 2024));
    EXPECT_EQ(365u, reading(12, 30, 2024));
    EXPECT_EQ(1u, reading(12, 31, 2024));  // a leap year has one day more than the cycle

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

}  // namespace

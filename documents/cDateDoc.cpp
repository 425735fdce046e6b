#include "documents/cDateDoc.h"

#include <algorithm>
#include <cstdio>

#include "engine/bookfile/cBkBookFile.h"
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
    copy->m_numReadings = m_numReadings;
    copy->m_store.setBookFrom(m_store);
    return copy;
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
    loadStartDate();
    return true;
}

void cDateDoc::Close()
{
    if (!IsOpen())
        return;
    cBookDoc::Close();
    m_numReadings = 0;
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
    if (m_store.readStartDate(id.publisher, id.book, stored, count, nullptr, false) && fromDateTime(stored, date))
        m_startDate = date;
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
    const cSimpleDate today;
    std::uint8_t month = 0, day = 0, third = 0;
    m_bookFile->dateSync().defaultStart(month, day, third);
    cSimpleDate start(1, 1, today.year());
    if (month > 0 && month <= 12)
        start = cSimpleDate(month, day == 0 ? 1 : day, today.year());
    setStartDate(start, false);
}

bool cDateDoc::setStartDate(const cSimpleDate& date, bool store)
{
    refreshStartDate();
    if (!date.isValid())
        return false;
    m_startDate = date;
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
    refreshStartDate();
    return readingOfDate(m_startDate, date, m_numReadings);
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

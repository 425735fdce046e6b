#include "userdata/cDBRecord.h"

#include <cstring>

bool cDBRecord::isEqual(const cDBRecord& other) const
{
    return recid == other.recid && serverid == other.serverid && deleted == other.deleted &&
        timestamp == other.timestamp;
}

void cDBRecord::clear()
{
    recid = 0;
    serverid = 0;
    deleted = 0;
    timestamp = cDBTimestamp {};
}

void cDBRecord::copyBaseFrom(const cDBRecord& other)
{
    recid = other.recid;
    serverid = other.serverid;
    deleted = other.deleted;
    timestamp = other.timestamp;
}

void cDBRecord::stampNow()
{
    stampAt(std::time(nullptr));
}

std::int64_t cDBRecord::prepareLocalWrite(bool keepServerId, bool keepTimestamp)
{
    std::int64_t previous = 0;
    if (!keepServerId) {
        previous = serverid;
        serverid = 0;
    }
    if (!keepTimestamp)
        stampNow();
    return previous;
}

cLString8 cDBRecord::timestampTextOf(const cDBTimestamp* given)
{
    cDBRecord stamp;
    if (given) {
        stamp.setTimestamp(*given);
    } else {
        stamp.stampNow();
    }
    return stamp.timestampText();
}

void cDBRecord::stampAt(std::time_t when)
{
    std::tm parts {};
    gmtime_r(&when, &parts);
    timestamp.second = static_cast<std::uint16_t>(parts.tm_sec >= 60 ? 59 : parts.tm_sec);
    timestamp.minute = static_cast<std::uint16_t>(parts.tm_min);
    timestamp.hour = static_cast<std::uint16_t>(parts.tm_hour);
    timestamp.day = static_cast<std::uint16_t>(parts.tm_mday);
    timestamp.month = static_cast<std::uint16_t>(parts.tm_mon + 1);
    timestamp.year = static_cast<std::uint16_t>(parts.tm_year + 1900);
    timestamp.weekday = static_cast<std::uint16_t>(parts.tm_wday);
    timestamp.milliseconds = 0;
}

void cDBRecord::timestampText(cLString8& out) const
{
    out.makeEmpty();
    const struct {
        std::uint16_t value;
        int width;
    } fields[] = {{timestamp.year, 4}, {timestamp.month, 2}, {timestamp.day, 2}, {timestamp.hour, 2},
        {timestamp.minute, 2}, {timestamp.second, 2}, {timestamp.milliseconds, 3}, {timestamp.weekday, 2}};
    bool first = true;
    for (const auto& field : fields) {
        if (!first)
            out.appendChar(':');
        first = false;
        out.formatInt32(field.value, 10, true, field.width, true);
    }
}

cLString8 cDBRecord::timestampText() const
{
    cLString8 out;
    timestampText(out);
    return out;
}

bool cDBRecord::parseTimestamp(const char* text)
{
    if (text == nullptr)
        return false;
    std::int32_t colons[7];
    int count = 0;
    const std::int32_t length = static_cast<std::int32_t>(std::strlen(text));
    for (std::int32_t i = 0; i < length; ++i) {
        if (text[i] != ':')
            continue;
        if (count == 7)
            return false;
        colons[count++] = i;
    }
    if (count != 7)
        return false;
    const cLString8 s(text);
    std::uint16_t values[8];
    for (int f = 0; f < 8; ++f) {
        const std::int32_t start = f == 0 ? 0 : colons[f - 1] + 1;
        const std::int32_t end = f == 7 ? length : colons[f];
        values[f] = static_cast<std::uint16_t>(s.toInt32(10, start, end - start));
    }
    timestamp.year = values[0];
    timestamp.month = values[1];
    timestamp.day = values[2];
    timestamp.hour = values[3];
    timestamp.minute = values[4];
    timestamp.second = values[5];
    timestamp.milliseconds = values[6];
    timestamp.weekday = values[7];
    return true;
}

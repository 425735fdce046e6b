// Parses the bytes as a date-time text. A text that parses must write back in the colon and SQL
// forms, and each written form must parse to the same value.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/foundation/cDateTimeValue.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 256)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    cDateTimeValue value;
    if (!value.parse(text.c_str()))
        return 0;
    cLString8 colon, sql, us;
    value.formatColonSeparated(colon);
    value.formatSQLStyle(sql);
    value.formatUSStyle(us);
    for (const cLString8* form : {&colon, &sql}) {
        cDateTimeValue again;
        if (!again.parse(*form))
            fuzz::fail("a written date-time does not parse");
        if (cDateTimeValue::compare(value, again) != 0)
            fuzz::fail("a date-time changed on a round trip through text");
    }
    cDateTimeValue fromMs;
    fromMs.setFromMilliseconds(value.toMilliseconds());
    if (cDateTimeValue::compare(value, fromMs) != 0)
        fuzz::fail("a parsed date-time changed on a round trip through milliseconds");
    return 0;
}

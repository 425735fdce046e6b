#include "engine/foundation/SimpleDate.h"

QString SimpleDate::stringWithStyle(int style) const
{
    cLString8 text;
    m_date.format((style & kStyleWithWeekday) == 0, (style & kStyleDayFirst) == 0, text);
    return QString::fromUtf8(text.chars(), text.length());
}

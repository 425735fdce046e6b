// Conversions between the standard strings the book-file readers use inside and the engine's own
// strings (cLStringTmpl) their callers hold. The readers offer both forms.

#pragma once

#include <string>

#include "engine/foundation/cLStringTmpl.h"

inline void bkAssign(cLString8& out, const std::string& s)
{
    out.makeEmpty();
    out.appendChars(s.data(), static_cast<std::int32_t>(s.size()));
}
inline void bkAssign(cLString16& out, const std::u16string& s)
{
    out.makeEmpty();
    out.appendChars(reinterpret_cast<const unsigned short*>(s.data()), static_cast<std::int32_t>(s.size()));
}
inline std::string bkStd(const cLString8& s)
{
    return std::string(s.chars(), static_cast<size_t>(s.length()));
}
inline std::u16string bkStd(const cLString16& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.chars()), static_cast<size_t>(s.length()));
}

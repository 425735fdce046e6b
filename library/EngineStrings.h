// Conversions between the user-interface layer's QString and the engine's strings (8-bit UTF-8
// cLString8 / std::string and UTF-16 cLString16). Stateless; any thread.
#pragma once

#include "engine/foundation/cLStringTmpl.h"

#include <QByteArray>
#include <QString>

#include <string>

namespace EngineStrings {

inline cLString8 utf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return cLString8(bytes.constData());
}

inline cLString16 utf16(const QString& text)
{
    cLString16 out;
    if (!text.isEmpty())
        out.appendChars(reinterpret_cast<const unsigned short*>(text.utf16()), static_cast<std::int32_t>(text.size()));
    return out;
}

inline QString fromUtf8(const cLString8& text)
{
    return QString::fromUtf8(text.chars(), text.length());
}

inline QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QString fromUtf16(const cLString16& text)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.chars()), text.length());
}

// Windows-1252 bytes (the engine's name lists) to text.
QString fromWindows1252(const char* bytes, int length);

}  // namespace EngineStrings

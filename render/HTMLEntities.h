// Character entity references of book markup.
//
// Two tables: the named references of HTML 4.01 other than the five that markup itself needs, plus
// "apos" (always known), and the markup references amp, gt, lt, nbsp and quot, known only on
// request. Numeric references ("#65", "#x41") are always known; their value is cut to 16 bits.
// A name matches a row when it begins with the row's name and the row's name is followed by the end
// of the text or by ";", so callers may pass the rest of a text after the "&".
//
// All functions are pure and may be called from any thread.

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/foundation/cLStringTmpl.h"

// The character of a reference name given without its "&"; 0 when unknown.
std::uint16_t entityCharacter(std::string_view name, bool withMarkupEntities = false);
std::uint16_t entityCharacterW(std::u16string_view name, bool withMarkupEntities = false);

// The same for a reference written with its leading "&" (the first character is skipped).
std::uint16_t lookupCharacterEntity(std::string_view text, bool withMarkupEntities = false);
std::uint16_t lookupCharacterEntityW(std::u16string_view text, bool withMarkupEntities = false);

// Matches the reference at the start of `afterAmp` (the text following an "&"). Returns its
// character, or 0 when there is none, and sets `length` to the number of characters the reference
// occupies after the "&": the name or number, and a ";" that directly follows it.
std::uint16_t matchCharacterEntity(std::string_view afterAmp, bool withMarkupEntities, std::size_t& length);

// Replaces each "&name;" (at least four characters from the "&", with a ";" at or after it) whose
// name is known by its character. Used on book information strings.
void decodeNamedEntitiesInPlace(std::u16string& text, bool withMarkupEntities);

// The same on an engine wide string.
inline void decodeNamedEntitiesInPlace(cLString16& text, bool withMarkupEntities)
{
    if (text.findChar('&') < 0)
        return;
    std::u16string copy(reinterpret_cast<const char16_t*>(text.chars()), static_cast<std::size_t>(text.length()));
    decodeNamedEntitiesInPlace(copy, withMarkupEntities);
    text.makeEmpty();
    text.appendChars(reinterpret_cast<const unsigned short*>(copy.data()), static_cast<std::int32_t>(copy.size()));
}

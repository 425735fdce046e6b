// The language services the documents use, behind a header of their own: the language-support
// header and the Bible-reference tables both name the English and Spanish language constants, so
// the documents never include the former next to the latter.
#pragma once

#include <cstdint>

#include "engine/foundation/cLStringTmpl.h"

namespace DocLanguage {
void foldToBaseLetters(cLString16& out, const cLString16& text);
bool isRightToLeft(std::uint32_t language);
void fontFor(cLString8& out, std::uint32_t language);
}  // namespace DocLanguage

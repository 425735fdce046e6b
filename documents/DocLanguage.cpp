#include "documents/DocLanguage.h"

#include "engine/foundation/LanguageSupport.h"

namespace DocLanguage {
void foldToBaseLetters(cLString16& out, const cLString16& text)
{
    ::foldToBaseLetters(out, text);
}

bool isRightToLeft(std::uint32_t language)
{
    return isRightToLeftLanguage(static_cast<std::uint16_t>(language));
}

void fontFor(cLString8& out, std::uint32_t language)
{
    fontForLanguage(out, static_cast<std::uint16_t>(language));
}
}  // namespace DocLanguage

// Parses the bytes as typed reference text, as a link string (with and without a translation) and
// as a compact reference record, and spells each result in the forms the first byte picks.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/references/cBibleRef.h"
#include "fuzz/FuzzSupport.h"

namespace {

void spell(cBibleRef& ref, std::uint32_t flags)
{
    ref.formatSpelling(flags);
    ref.formatSpelling(flags | kSpellUTF8 | kSpellTranslation);
    (void)ref.startKey();
    (void)ref.endKey();
    (void)ref.rangeCount();
    ref.nextChapter();
    ref.nextBook();
    ref.formatSpelling(flags);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 64 * 1024)
        return 0;
    fuzz::Input in(data, size);
    const std::uint32_t flags = in.u32() & 0x1FFFFFu;
    const std::uint8_t language = in.byte();
    const std::string text(reinterpret_cast<const char*>(in.rest()), in.restSize());

    {
        cBibleRef ref;
        ref.setLanguage((language & 1) != 0 ? kLanguageSpanish : kLanguageEnglish);
        std::int32_t position = 0;
        ref.parse(text.c_str(), position);
        if (position < 0 || static_cast<std::size_t>(position) > text.size())
            fuzz::fail("parse left its position outside the text");
        spell(ref, flags);
    }
    for (const char* translation : {static_cast<const char*>(nullptr), "KJV", ""}) {
        cBibleRef ref;
        ref.parseLinkString(text.c_str(), translation);
        spell(ref, flags);
    }
    {
        cBibleRef ref;
        ref.decodeRecord(in.rest(), in.restSize());
        spell(ref, flags);
        cBibleRef copy(ref);
        copy.formatSpelling(flags);
    }
    return 0;
}

// Runs the markup filter at the strength and entity setting the first byte picks, then the note
// paragraph normaliser and the reference linker, over the rest of the bytes. At strengths 1 to 3
// and 6 the output must carry no event-handler attribute and no script URL.

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "render/HTMLFilter.h"

namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > fuzz::kMaxInput)
        return 0;
    fuzz::Input in(data, size);
    const std::uint8_t choice = in.byte();
    const std::string original(reinterpret_cast<const char*>(in.rest()), in.restSize());

    const int strength = choice % 7;
    std::string text = original;
    filterHtmlByStrength(text, strength, (choice & 0x80) != 0);
    if (strength >= 4 && strength <= 5 && text.find('<') != std::string::npos &&
        original.find('<') == std::string::npos && (choice & 0x80) == 0)
        fuzz::fail("a filter that drops every tag added a '<'");

    std::string note = original;
    normalizeNoteParagraphs(note);
    std::string linked = original;
    linkBibleReferencesInHtml(linked);
    std::string both = text;
    linkBibleReferencesInHtml(both);
    (void)lower(both);
    return 0;
}

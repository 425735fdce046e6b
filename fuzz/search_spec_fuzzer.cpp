// Parses the bytes as a search query: UTF-16LE when the first byte is odd, else one character per
// byte. Walks the phrase lists the parser made.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "search/core/SearchSpecification.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 64 * 1024)
        return 0;
    fuzz::Input in(data, size);
    const bool wide = (in.byte() & 1) != 0;
    const std::uint8_t* p = in.rest();
    const std::size_t n = in.restSize();
    std::u16string text;
    if (wide) {
        for (std::size_t i = 0; i + 1 < n; i += 2)
            text.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
    } else {
        text.assign(p, p + n);
    }
    SearchSpecification query(text);
    query.parse();
    (void)query.phraseList();
    (void)query.exclPhraseList();
    for (char16_t c : text) {
        (void)SearchSpecification::isInWhitespaceSet(c);
        (void)SearchSpecification::isInPunctuationSet(c);
    }
    (void)SearchSpecification::isStopWord(text);
    return 0;
}

// Reads the "TEXT" token stream of a whole book: every token from the start to the text end (and
// tokens read from every byte position of the first kilobytes), then renders the text of the first
// sections to HTML with each combination of direction and options.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/bookfile/BkTextTokens.h"
#include "engine/bookfile/cBkSectionTextWriter.h"
#include "fuzz/BookFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("text_tokens");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cBkBookFile book;
    if (book.open(file.path().c_str()) != 0)
        return 0;

    cBkTextTokenReader reader(book);
    const std::uint32_t end = reader.textEnd();
    cBkTextToken token;
    std::uint32_t position = 0;
    for (std::uint32_t n = 0; n < 100000 && position < end; ++n) {
        if (!reader.read(position, token))
            break;
        if (token.length == 0 || token.next() > end || token.position != position)
            fuzz::fail("token of no length, past the text end or not where it was read");
        if (token.payloadLength > token.length)
            fuzz::fail("token payload longer than the token");
        position = token.next();
    }
    for (std::uint32_t p = 0; p < end && p < 1024; ++p)
        if (reader.read(p, token) && token.next() > end)
            fuzz::fail("token read at an arbitrary position runs past the text end");
    std::uint8_t bytes[16];
    reader.readBytes(end > 8 ? end - 8 : 0, bytes, sizeof bytes);

    cBkSectionStg& sections = book.sections();
    for (std::uint32_t i = 0; i < sections.sectionCount() && i < 24; ++i) {
        std::uint32_t block = 0, offset = 0;
        sections.getSectionStart(i, block, offset);
        for (int variant = 0; variant < 4; ++variant) {
            cBkTextRangeOptions options;
            options.showBrackets = variant & 1;
            options.languageTags = (variant >> 1) & 1;
            options.referenceLinks = variant == 0;
            if (variant == 3)
                options.endPosition = offset + 40;
            std::string html;
            cBkSectionTextWriter::renderTextRangeToHTML(book, offset, variant == 2, nullptr, html, &options);
        }
    }
    return 0;
}

// Reads the "TEXT" storage at positions inside and past the text, and opens the "PAGE" storage.

#include <cstddef>
#include <cstdint>

#include "fuzz/BookFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("bookfile_text");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cBkStreamFile container;
    if (container.open(file.path().c_str()) != 0)
        return 0;
    cBkTextStg text;
    if (text.open(&container) == 0) {
        fuzz::walkText(text);
    }
    cBkTextIndexStg index;
    index.open(&container);
    return 0;
}

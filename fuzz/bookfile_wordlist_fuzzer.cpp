// Reads the "WRDS" and "PUNC" word lists: words by number, numbers by word, wildcard matches.

#include <cstddef>
#include <cstdint>

#include "fuzz/BookFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("bookfile_wordlist");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cBkStreamFile container;
    if (container.open(file.path().c_str()) != 0)
        return 0;
    for (const char* tag : {"WRDS", "PUNC"}) {
        cBkWordListStg words(bkTag(tag));
        if (words.open(&container) == 0)
            fuzz::walkWordList(words);
    }
    return 0;
}

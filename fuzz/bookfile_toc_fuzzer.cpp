// Reads the "TOFC" storage: entries, links, the three walks and path look-ups.

#include <cstddef>
#include <cstdint>

#include "fuzz/BookFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("bookfile_toc");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cBkStreamFile container;
    if (container.open(file.path().c_str()) != 0)
        return 0;
    cBkTOCStg toc;
    if (toc.open(&container) == 0)
        fuzz::walkToc(toc);
    return 0;
}

// Reads the "CONC" concordance: each entry as a bit vector, as packed section numbers and one by one.

#include <cstddef>
#include <cstdint>

#include "fuzz/BookFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("bookfile_concord");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cBkStreamFile container;
    if (container.open(file.path().c_str()) != 0)
        return 0;
    std::uint32_t sections = 1000;
    cBkSectionStg sectionStg;
    if (sectionStg.open(&container) == 0)
        sections = sectionStg.sectionCount();
    cBkConcordStg concordance(bkTag("CONC"));
    if (concordance.open(&container) == 0)
        fuzz::walkConcordance(concordance, sections);
    return 0;
}

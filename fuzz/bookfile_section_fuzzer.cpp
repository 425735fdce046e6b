// Reads the "SECT" storage: section starts and every look-up by block and text offset.

#include <cstddef>
#include <cstdint>

#include "fuzz/BookFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("bookfile_section");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cBkStreamFile container;
    if (container.open(file.path().c_str()) != 0)
        return 0;
    cBkSectionStg sections;
    if (sections.open(&container) == 0)
        fuzz::walkSections(sections);
    return 0;
}

// Reads the "INFO" storage: every field raw and entity-decoded, and its word-attribute definitions.

#include <cstddef>
#include <cstdint>

#include "fuzz/BookFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("bookfile_geninfo");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cBkStreamFile container;
    if (container.open(file.path().c_str()) != 0)
        return 0;
    cBkGenInfoStg info;
    if (info.open(&container) == 0)
        fuzz::walkGenInfo(info);
    return 0;
}

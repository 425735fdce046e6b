// Opens the embedded-file sub-containers ("IMAGES", "BIBLEREF" and every other stream) and reads
// each file they hold into memory.

#include <cstddef>
#include <cstdint>

#include "fuzz/BookFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("bookfile_embedded");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cBkStreamFile container;
    if (container.open(file.path().c_str()) != 0)
        return 0;
    std::vector<std::uint32_t> ids;
    for (const char* name : {"IMAGES", "BIBLEREF"})
        ids.push_back(container.streamIdForName(name));
    for (std::size_t i = 0; i < container.entryCount() && i < 8; ++i)
        ids.push_back(container.entryAt(i)->id);
    for (std::uint32_t id : ids) {
        cBkEmbeddedFiles files;
        if (files.open(&container, id) == 0)
            fuzz::walkEmbedded(files);
    }
    return 0;
}

// Reads the "SYNC" verse look-up (both header versions) and the "DATE" readings.

#include <cstddef>
#include <cstdint>

#include "fuzz/BookFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("bookfile_sync");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cBkStreamFile container;
    if (container.open(file.path().c_str()) != 0)
        return 0;
    for (std::uint8_t major : {1, 2}) {
        cBkVerseSyncStg sync;
        if (sync.openVersioned(&container, major, 0) == 0)
            fuzz::walkVerseSync(sync);
    }
    cBkDateSyncStg dates;
    if (dates.open(&container) == 0)
        fuzz::walkDateSync(dates);
    return 0;
}

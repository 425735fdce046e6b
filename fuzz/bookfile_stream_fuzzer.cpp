// Opens the bytes as a stream container and reads every stream: whole, in pieces, past its end,
// as NUL-terminated text, bit by bit, and as a nested container.

#include <cstddef>
#include <cstdint>

#include "fuzz/BookFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("bookfile_stream");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cBkStreamFile container;
    if (container.open(file.path().c_str()) != 0)
        return 0;
    fuzz::walkStreams(container);
    return 0;
}

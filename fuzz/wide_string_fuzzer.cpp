// Reads the bytes as the file form of a wide string; a string that reads must write and read back
// unchanged, and its UTF-8 rendering must be available.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "engine/foundation/cLStringTmpl.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > fuzz::kMaxInput)
        return 0;
    fuzz::MemoryFile in(data, size);
    cLString16 s;
    if (!s.serialize(false, in.get()))
        return 0;
    if (static_cast<std::size_t>(s.length()) * 2 > size)
        fuzz::fail("a wide string longer than its record");
    (void)s.utf8Chars();

    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    if (out == nullptr)
        return 0;
    const bool written = s.serialize(true, out);
    std::fclose(out);
    if (!written)
        fuzz::fail("a wide string that was read cannot be written");
    fuzz::MemoryFile back(reinterpret_cast<const std::uint8_t*>(buffer), length);
    cLString16 again;
    if (!again.serialize(false, back.get()) || !(again == s))
        fuzz::fail("a wide string changed on a round trip");
    std::free(buffer);
    return 0;
}

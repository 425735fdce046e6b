// Reads the bytes as a search word-list record and checks that a written copy reads back with the
// same items.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/FuzzSupport.h"
#include "search/core/cSearchWordList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > fuzz::kMaxInput)
        return 0;
    fuzz::MemoryFile in(data, size);
    cSearchWordList list;
    if (!list.serialize(0, in.get()))
        return 0;

    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    if (out == nullptr)
        return 0;
    const bool written = list.serialize(1, out);
    std::fclose(out);
    if (!written)
        fuzz::fail("a word list that was read cannot be written");
    fuzz::MemoryFile back(reinterpret_cast<const std::uint8_t*>(buffer), length);
    cSearchWordList again;
    if (!again.serialize(0, back.get()))
        fuzz::fail("a written word list does not read back");
    if (again.count() != list.count())
        fuzz::fail("a word list changed its length on a round trip");
    std::free(buffer);
    return 0;
}

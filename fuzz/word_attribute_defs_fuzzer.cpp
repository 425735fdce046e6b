// Parses the bytes as a word-attribute definition text (the book's "INFO" field) and reads every
// definition and field back.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/BookFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > fuzz::kMaxInput)
        return 0;
    cBkWordAttributeDefs defs(std::string(reinterpret_cast<const char*>(data), size));
    fuzz::walkWordAttributeDefs(defs);
    return 0;
}

// Reads the bytes as a bit-vector file record, queries the vector, and checks that a written copy
// reads back bit for bit.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/FuzzSupport.h"
#include "search/core/cBitVector.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > fuzz::kMaxInput)
        return 0;
    fuzz::MemoryFile in(data, size);
    cBitVector v;
    if (!v.serialize(0, in.get()))
        return 0;
    const std::uint32_t bits = v.size();
    // Only the raw form carries every byte; the position lists describe larger vectors in few bytes.
    const bool raw = size >= 12 && data[8] == 2 && data[9] == 0 && data[10] == 0 && data[11] == 0;
    if (raw && v.byteCount() > size)
        fuzz::fail("bit vector holds more bytes than the record had");
    const std::uint32_t ones = v.count(1);
    if (ones + v.count(0) != bits)
        fuzz::fail("set and clear counts do not add up to the size");
    // Queries on vectors of a sane size only: each is linear in the vector, and a 2^28-bit vector
    // makes one run take seconds without reaching more code.
    if (bits <= (1u << 22)) {
        (void)v.first(1);
        (void)v.last(1);
        (void)v.nth(ones / 2, 1);
        (void)v.nextAfter(bits / 2, 1);
        (void)v.previousBefore(bits / 2, 0);
        (void)v.countRange(bits / 4, bits, 1);
        (void)v.anyInRange(0, bits);
    }

    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    if (out == nullptr)
        return 0;
    const bool written = v.serialize(1, out);
    std::fclose(out);
    if (!written)
        fuzz::fail("a bit vector that was read cannot be written");
    fuzz::MemoryFile back(reinterpret_cast<const std::uint8_t*>(buffer), length);
    cBitVector again;
    if (!again.serialize(0, back.get()))
        fuzz::fail("a written bit vector does not read back");
    if (again.size() != bits || again.count(1) != ones)
        fuzz::fail("a bit vector changed its size or count on a round trip");
    // Bit by bit over the first and last stretch (whole vectors of up to 128K bits); the counts above
    // cover the middle of larger ones.
    const std::uint32_t stretch = 1u << 16;
    for (std::uint32_t i = 0; i < bits; i = (i + 1 == stretch && bits > 2 * stretch) ? bits - stretch : i + 1)
        if (again.test(i) != v.test(i))
            fuzz::fail("a bit vector changed a bit on a round trip");
    std::free(buffer);
    return 0;
}

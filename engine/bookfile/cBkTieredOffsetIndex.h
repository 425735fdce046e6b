// cBkTieredOffsetIndex: the variable-width table of numbers that most storages keep in their stream.
//
// Layout: four consecutive tiers; tier k (k = 0..3) holds counts[k] unsigned little-endian entries of
// k + 1 bytes each, starting at stream position bases[k]. Entry i is in the first tier whose count
// exceeds what remains of i after the earlier tiers. Each storage keeps its four bases and four counts
// (u32 each, bases first) in its own header.

#pragma once

#include <cstdint>

class cBkStreamFile;

struct cBkTieredOffsetIndex {
    static constexpr int kTiers = 4;
    // Entry i of the table; 0xFFFFFFFF past all four tiers, 0 when its read fails. The caller holds the
    // container mutex.
    static uint32_t lookup(
        cBkStreamFile& container, uint32_t streamId, uint32_t i, const uint32_t counts[4], const uint32_t bases[4]);
    // Reads the eight u32 of a header (four bases, then four counts) starting at `fields`.
    static void decode(const uint8_t* fields, uint32_t bases[4], uint32_t counts[4]);
};

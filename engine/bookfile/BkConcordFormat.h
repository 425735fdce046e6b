// Concordance streams ("CONC", "VCON", "WSCN", "VSCN", "SHCN", "SGCN", "STMC", "PHNC", and the streams
// named key + "CONC"): for every word number, the ascending sections that hold the word
// (cBkConcordStg).
//
// Header, 40 bytes:
//    0 u32 entry count   4 u8 compressed flag   5 u8 width of a section number (1 to 4)
//    6 u8 (not read)     7 u8 width of a count and of a span (1 to 4)
//    8 4 x u32 tier bases, 24 4 x u32 tier counts of the entry index (cBkTieredOffsetIndex)
// Entry w, at the position the entry index gives for w:
//   count c; when c < 3 or not compressed: c section numbers;
//   otherwise: span s, first section f, then c - 2 Golomb-coded gaps, read most significant bit first
//   from the byte after f; the sections are f, f + g1, ..., and the last is f + s - 1 (not coded).
// Golomb parameters (golombParameters below): b = floor(s * 69 / (c * 100)), 1 when c * 100 > s * 69;
// k = index of the highest set bit of 2b - 1; t = 2^k - b. A gap: q one-bits and a zero bit, then
// r = the next k - 1 bits (none when k < 2); gap = q*b + 1 + r when r < t or b < 2, otherwise one more
// bit x and gap = q*b + 1 + (2r + x - t).

#pragma once

#include <cstdint>

namespace BkConcordFormat {
constexpr uint32_t kHeaderSize = 40;
constexpr uint32_t kEntryCount = 0, kCompressed = 4, kSectionWidth = 5, kUnused = 6, kCountWidth = 7, kIndex = 8;
constexpr uint8_t kDefaultSectionWidth = 4;
constexpr uint8_t kDefaultCountWidth = 2;

struct GolombParameters {
    uint32_t b;
    uint32_t k;
    uint32_t t;
};

inline GolombParameters golombParameters(uint32_t count, uint32_t span)
{
    GolombParameters p {};
    uint64_t c100 = static_cast<uint64_t>(count) * 100u;
    uint64_t s69 = static_cast<uint64_t>(span) * 69u;
    uint64_t b = c100 == 0 ? 1 : s69 / c100;
    if (c100 > s69 || b == 0)
        b = 1;
    if (b > 0x7FFFFFFFu)
        b = 0x7FFFFFFFu;
    p.b = static_cast<uint32_t>(b);
    uint32_t v = 2 * p.b - 1;
    uint32_t k = 0;
    while ((v >> (k + 1)) != 0)
        ++k;
    p.k = k;
    p.t = static_cast<uint32_t>((1ull << k) - p.b);
    return p;
}
}  // namespace BkConcordFormat

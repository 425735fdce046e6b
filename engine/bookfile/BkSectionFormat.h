// "SECT" stream: where each section starts (cBkSectionStg).
//
// Header, 10 bytes: u32 section count N, u32 stream position of record 0, u8 width a of the
// first-block field, u8 width b of the text-offset field (each 1 to 4 bytes).
// Record i (0 <= i < N) at record0 + i * (a + b): first block number (a bytes), then the TEXT stream
// position where the section's text starts (b bytes), both little-endian and ascending with i.

#pragma once

#include <cstdint>

namespace BkSectionFormat {
constexpr uint32_t kHeaderSize = 10;
constexpr uint32_t kCount = 0, kRecord0 = 4, kBlockWidth = 8, kOffsetWidth = 9;
constexpr uint32_t kDefaultRecord0 = 10;
constexpr uint8_t kDefaultWidth = 2;
}  // namespace BkSectionFormat

// "PAGE" stream: a 36-byte header of four u32 followed by zero bytes; its records are not read.
namespace BkPageFormat {
constexpr uint32_t kHeaderSize = 36;
constexpr uint32_t kDefaultField = 36;
}  // namespace BkPageFormat

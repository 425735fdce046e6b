// "TOFC" stream: the table of contents, one entry per section (cBkTOCStg).
//
// Header, 44 bytes: u32 entry count E, u32 (not read), 4 x u32 tier bases and 4 x u32 tier counts of
// the entry index (cBkTieredOffsetIndex), u8 width x and u8 width y of two leading fields that readers
// skip, u8 link width w (1 to 4), u8 (not read).
// Entry i (its stream position from the entry index): link 1, link 2, link 3 (w bytes each, entry
// numbers, all-ones = none), x + y skipped bytes, u8 level, NUL-terminated title.
// Entries are in document order (the first child of i is i + 1); entry 0 is the root (level 0).
//   link 1: the next entry of the same level under the same parent (next sibling)
//   link 2: the previous sibling
//   link 3: the parent
// The entry number is the section number.

#pragma once

#include <cstdint>

namespace BkTocFormat {
constexpr uint32_t kHeaderSize = 44;
constexpr uint32_t kCount = 0, kUnused = 4, kIndex = 8, kWidthX = 40, kWidthY = 41, kLinkWidth = 42, kUnused2 = 43;
constexpr uint8_t kDefaultLinkWidth = 2;
}  // namespace BkTocFormat

// "NODE" stream: each block's display tree, pre-parsed (cBkHTMLNodeStg).
//
// Header, 56 bytes (little-endian):
//    0 u32 block count B     4 u32 string base (added to every string offset)
//    8 4 x u32 tier bases, 24 4 x u32 tier counts of the block index (entry b = position of block b's
//      root record)
//   40 u8 (not read)   41 u8 negative-block flag (a negative block loads the record at position 57)
//   42 u8 width L of long values (0 reads as 3)   43 u8 width S of string offsets (0 reads as 3)
//   44 12 bytes (not read)
//
// Node record (numbers big-endian):
//   byte 0: bit 7 extended, bits 0-6 tag code. Not extended: the record is this byte.
//   byte F: bit 6 clear: F and three more bytes are the children-list position
//           ((F & 0x3F) << 24 | b1 << 16 | b2 << 8 | b3); attributes follow when F bit 7 is set.
//           bit 6 set: no children list; F is the first byte of the first attribute.
//   attribute: A0, A1; A0 bit 7: another attribute follows; code c = (A0 & 0x3F) * 2 + (A1 >> 7);
//           value code v = A1 & 0x7F.
//           c == 112 (long value): v continues with L - 1 more bytes.
//           c == 0 (named): S bytes: offset of the name; then the value field below.
//           otherwise v == 127: a signed 24-bit number follows; v == 0: S bytes: offset of the value
//           text; any other v stands alone.
// Children list: count u8 (255: a little-endian u16 count follows), then the children's records.

#pragma once

#include <cstdint>

namespace BkNodeFormat {
constexpr uint32_t kHeaderSize = 56;
constexpr uint32_t kBlockCount = 0, kStringBase = 4, kIndex = 8, kUnused = 40, kNegativeBlockFlag = 41, kLongWidth = 42,
                   kStringWidth = 43;
constexpr uint8_t kDefaultWidth = 3;
constexpr uint32_t kNegativeBlockPosition = 57;

constexpr uint8_t kExtended = 0x80;
constexpr uint8_t kTagMask = 0x7F;
constexpr uint8_t kHasAttributes = 0x80;   // in byte F
constexpr uint8_t kNoChildren = 0x40;      // in byte F
constexpr uint8_t kMoreAttributes = 0x80;  // in A0
constexpr uint32_t kMaxChildrenPosition = 0x3FFFFFFF;

constexpr uint32_t kNamedAttribute = 0;
constexpr uint32_t kLongValue = 112;
constexpr uint8_t kNumberValue = 127;
constexpr uint8_t kStringValue = 0;
constexpr uint8_t kWideCount = 255;

// What the long value becomes in the tree: the attribute of the text position ("$textat").
constexpr uint32_t kTextAtAttribute = 3;
// qs_sync elements carry their Bible key in attribute 115.
constexpr uint8_t kSyncTag = 54;
constexpr uint32_t kSyncValueAttribute = 115;

// Trees deeper than this, or whose children lists repeat, are malformed.
constexpr uint32_t kMaxDepth = 256;
}  // namespace BkNodeFormat

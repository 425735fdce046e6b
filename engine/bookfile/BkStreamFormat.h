// Book-file stream container: the on-disk layout, the engine's result codes and the little-endian
// helpers shared by every reader in engine/bookfile and by the writer in tools/tvkbuild.
//
// A container is a chain of 16-byte stream headers, all fields u32 little-endian:
//
//   offset 0   stream id   four ASCII characters, the first in the lowest byte ("INFO" = 0x4F464E49);
//                          0 only in the first header
//   offset 4   start       offset of the stream's first data byte, from the start of the container
//   offset 8   length      the stream's data length; in the first header the whole container's length
//   offset 12  next        offset of the next header from the start of the container; 0 ends the chain
//
// The first header stands at offset 0 with id 0 and start 0 and describes stream 0, the container
// itself. The bytes between a later header's end (its offset + 16) and its stream's start are the
// stream's extra header bytes: its NUL-terminated 8-bit name. A later header with the id of an earlier
// one replaces it. A stream may itself hold a whole container (a sub-file) whose offsets count from
// that stream's first byte.

#pragma once

#include <cstddef>
#include <cstdint>

namespace BkResult {
constexpr uint32_t kOK = 0;
constexpr uint32_t kNeedsNewerReader = 208;
constexpr uint32_t kFormatTooOld = 214;
constexpr uint32_t kNoMemory = 216;
constexpr uint32_t kNotOpen = 217;
constexpr uint32_t kNotFound = 218;
constexpr uint32_t kPastEnd = 219;
constexpr uint32_t kMalformed = 220;
constexpr uint32_t kBadArgument = 221;
constexpr uint32_t kCannotOpen = 222;
constexpr uint32_t kWrongLength = 223;
constexpr uint32_t kReadFailed = 224;
constexpr uint32_t kCannotCreate = 228;
constexpr uint32_t kNone = 0xFFFFFFFFu;  // look-ups that find nothing
}  // namespace BkResult

// The stream id of a four-character tag; shorter tags are padded with zero bytes.
constexpr uint32_t bkTag(const char* t)
{
    uint32_t v = 0;
    for (int i = 0; i < 4 && t[i] != 0; ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(t[i])) << (8 * i);
    return v;
}

namespace BkStreamFormat {
constexpr uint32_t kHeaderSize = 16;
constexpr uint32_t kIdOffset = 0;
constexpr uint32_t kStartOffset = 4;
constexpr uint32_t kLengthOffset = 8;
constexpr uint32_t kNextOffset = 12;

// Limits on untrusted containers: a chain of more headers than this, or one that returns to a header
// already read, is malformed; a name gap longer than this keeps only its first bytes.
constexpr uint32_t kMaxHeaders = 100000;
constexpr uint32_t kMaxNameBytes = 1024;

// Directory growth of a new container.
constexpr uint32_t kInitialCapacity = 25;
constexpr uint32_t kInitialGrowthStep = 5;
// Process-wide limit of open files.
constexpr int kFileCacheSlots = 25;
}  // namespace BkStreamFormat

// Little-endian fields of 1 to 4 bytes, read into a zeroed u32. Widths above 4 read only 4.
inline uint32_t bkGetLE(const uint8_t* p, unsigned width)
{
    uint32_t v = 0;
    if (width > 4)
        width = 4;
    for (unsigned i = 0; i < width; ++i)
        v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}
inline uint16_t bkGetLE16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t bkGetLE32(const uint8_t* p)
{
    return bkGetLE(p, 4);
}
inline void bkPutLE(uint8_t* p, uint32_t v, unsigned width)
{
    for (unsigned i = 0; i < width && i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t bkGetBE(const uint8_t* p, unsigned width)
{
    uint32_t v = 0;
    for (unsigned i = 0; i < width && i < 4; ++i)
        v = (v << 8) | p[i];
    return v;
}
// The all-ones value of a field of `width` bytes (0xFF, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF).
constexpr uint32_t bkAllOnes(unsigned width)
{
    return width >= 4 ? 0xFFFFFFFFu : ((1u << (8 * width)) - 1u);
}

// "SYNC" (verse sync, cBkVerseSyncStg) and "DATE" (date sync, cBkDateSyncStg) streams.
//
// SYNC header, 51 bytes (50 in files of major < 2 and minor < 26, which have no value width):
//    0 u32 record count R     4 u32 stream position of record 0
//    8 4 x u32 tier bases, 24 4 x u32 tier counts of the group index (cBkTieredOffsetIndex)
//   40 u32 group count       44 u32 first group value
//   48 u8 key width K (0 to 4)   49 u8 (not read)   50 u8 value width V (0 to 4)
// Record i at record0 + i * (K + V): key (K bytes), value (V bytes), little-endian, sorted by key.
// Record 0 is a placeholder that never matches. A record's number is its section number: record i
// holds the Bible key of section i. A key's group is (key >> s) & 0xFFFF with s = 0 when K < 3, else
// 8 * K - 16 (book and chapter for 3-byte Bible keys book << 16 | chapter << 8 | verse); group g has,
// at index g - first group value, the number of its first record (0 = none).
//
// DATE header, 40 bytes: 4 x u32 tier bases and 4 x u32 tier counts of the reading table, u32 reading
// count N, u8 default start month (0 = none), u8 default start day, u8 third start byte, u8 (not read).
// Entry r of the reading table is the section of reading r + 1; entries ascend.
//
// Verse-sync word lists ("VSYN", "VIDX") hold keys as lower-case hexadecimal text, "bbccvv" or
// "bbccvvbbccvv" (verseKeyText below).

#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace BkSyncFormat {
constexpr uint32_t kHeaderSize = 51;
constexpr uint32_t kOldHeaderSize = 50;
constexpr uint32_t kRecordCount = 0, kRecord0 = 4, kIndex = 8, kGroupCount = 40, kFirstGroup = 44, kKeyWidth = 48,
                   kUnused = 49, kValueWidth = 50;
constexpr uint8_t kNewHeaderMinor = 26;

constexpr uint32_t kDateHeaderSize = 40;
constexpr uint32_t kDateIndex = 0, kDateCount = 32, kDateMonth = 36, kDateDay = 37, kDateThird = 38;
constexpr uint32_t kDateDefaultBase = 40;

// A 254 verse or chapter byte means "the last one".
constexpr uint8_t kLastMarker = 254;

constexpr uint32_t groupShift(uint32_t keyWidth)
{
    return keyWidth < 3 ? 0 : 8 * keyWidth - 16;
}
constexpr uint32_t groupOf(uint32_t key, uint32_t keyWidth)
{
    return (key >> groupShift(keyWidth)) & 0xFFFF;
}

constexpr uint32_t bibleKey(uint32_t book, uint32_t chapter, uint32_t verse)
{
    return (book << 16) | (chapter << 8) | verse;
}

inline std::string verseKeyText(uint32_t key)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%06x", static_cast<unsigned>(key & 0xFFFFFF));
    return buf;
}
}  // namespace BkSyncFormat

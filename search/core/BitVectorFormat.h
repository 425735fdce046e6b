#pragma once
// BitVectorFileRecord: the file form of a cBitVector (all integers little-endian).
//
//   offset  size        field
//   0       4           u32 version = kBitVectorRecordVersion
//   4       4           u32 bit count n
//   8       4           u32 mode (BitVectorRecordMode)
//   12      ceil(n/8)   kRawBytes only: the byte array as held in memory (absent when n = 0)
//   12      4           kClearPositions / kSetPositions: u32 number of listed positions k
//   16      k * w       those modes: the positions in ascending order, each as its
//                       w low-order bytes, little-endian (w = bitVectorPositionWidth(n))
//   then    24          trailer, six u32: cursor ordinal of clear bits, of set bits,
//                       cursor position of clear bits, of set bits, count of clear
//                       bits, count of set bits (0xFFFFFFFF = not computed)
//
// The writer picks the smallest list form: kClearPositions when count(0) * w is below
// both count(1) * w and the byte count, kSetPositions when count(1) * w is below both,
// else kRawBytes (ties go to kRawBytes; the 4-byte list count is not compared).

#include <cstdint>

inline constexpr uint32_t kBitVectorRecordVersion = 1;
inline constexpr uint32_t kBitVectorTrailerWords = 6;

enum BitVectorRecordMode : uint32_t {
    kBitVectorClearPositions = 0,
    kBitVectorSetPositions = 1,
    kBitVectorRawBytes = 2,
};

// Bytes per listed position for a vector of bitCount bits.
constexpr uint32_t bitVectorPositionWidth(uint32_t bitCount)
{
    return bitCount < 0x100u ? 1 : bitCount < 0x10000u ? 2 : bitCount < 0x1000000u ? 3 : 4;
}

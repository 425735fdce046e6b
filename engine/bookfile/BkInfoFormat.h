// "INFO" stream: the book's general information (cBkGenInfoStg).
//
// A 124-byte header at offset 0, little-endian; a "position" is the stream offset of a NUL-terminated
// 8-bit string stored later in the same stream (0 = no string):
//
//    0 u8  minimum reader major        1 u8  minimum reader minor
//    2 u8  file format major           3 u8  file format minor
//    4 u32 abbreviated title  8 book name  12 copyright  16 author  20 publisher  24 city
//   28 u32 publication date   32 book-ranges string                       (positions)
//   36 u16 Strong's Hebrew pair (36, 38)   40 u16 Strong's Greek pair (40, 42)
//   44 u16 publisher id   46 u16 book id   48 u8 edition
//   49 u8  flags, 50 u8 layout marker (after normalisation; on disk the new layout holds the marker 1
//          at 49 and the flags at 50, and the reader swaps them)
//   51 u8  (checksummed only)   52 u8 revision   53 u8 (not read)   54 u16 language number
//   56 u32 position of the stored checksum   60 sort title   64 subtitle
//   68..88 u32 six table versions   92 u32 position of the bibleBooks string
//   96 u32 position of the word-attribute definitions string   100..120 u32 six table versions
//
// Stored checksum: the hexadecimal text of the header sum (checksumSum below), each character XORed
// with byte (start + j) of kChecksumPad, followed by one key character c with start = (c * 8) mod 256.

#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/bookfile/BkStreamFormat.h"

namespace BkInfoFormat {
constexpr uint32_t kHeaderSize = 124;

constexpr uint32_t kMinReaderMajor = 0, kMinReaderMinor = 1, kFileMajor = 2, kFileMinor = 3;
constexpr uint32_t kAbbreviatedTitle = 4, kBookName = 8, kCopyright = 12, kAuthor = 16, kPublisher = 20,
                   kPublisherCity = 24, kPublisherDate = 28, kBookRanges = 32;
constexpr uint32_t kStrongsHebrew1 = 36, kStrongsHebrew2 = 38, kStrongsGreek1 = 40, kStrongsGreek2 = 42;
constexpr uint32_t kPublisherId = 44, kBookId = 46, kEdition = 48, kFlags = 49, kLayoutMarker = 50, kByte51 = 51,
                   kRevision = 52, kLanguage = 54;
constexpr uint32_t kChecksum = 56, kSortTitle = 60, kSubtitle = 64;
constexpr uint32_t kBookNameListVersion = 68, kBookNumToNameNumVersion = 72, kTransListVersion = 76,
                   kBibleBooksVersion = 80, kNameNumberToBookCategoriesVersion = 84, kVerseMapVersion = 88;
constexpr uint32_t kBibleBooks = 92, kWordAttributeDefs = 96;
constexpr uint32_t kTotalOrderOnBookNumberVersion = 100, kFixUpRefMapVersion = 104, kGetKeyMapVersion = 108,
                   kDoMapSpecialCasesMapVersion = 112, kGetChapterNumberSpellingMapVersion = 116,
                   kIsOneChapterBookListVersion = 120;

// Flags byte (offset 49 after normalisation).
constexpr uint8_t kFlagBible = 0x01;
constexpr uint8_t kFlagNoVerseNumbers = 0x02;
constexpr uint8_t kBookTypeMask = 0x0C;  // bits 2-3
constexpr uint8_t kBookTypeShift = 2;
constexpr uint8_t kBookTypeDated = 3;
constexpr uint8_t kFlagIgnoreIntraBookSync = 0x10;
constexpr uint8_t kNewLayoutMarker = 1;

// The reader's own version: books that need a newer one are refused.
constexpr uint8_t kReaderMajor = 1;
constexpr uint8_t kReaderMinor = 78;

// The version the compiler writes.
constexpr uint8_t kCurrentFileMajor = 1;
constexpr uint8_t kCurrentFileMinor = 36;

// Whether a file of this version carries the checksum test (major 1, minor 13-19 or 21 and above).
constexpr bool hasChecksumTest(uint8_t major, uint8_t minor)
{
    return major == 1 && ((minor >= 13 && minor <= 19) || minor >= 21);
}

// The checksum pad: 594 fixed bytes, made by a xorshift generator from a fixed seed so that the table
// has a single definition that the compiler and the reader share.
constexpr std::array<uint8_t, 594> makeChecksumPad()
{
    std::array<uint8_t, 594> pad {};
    uint32_t x = 0x51A7C0DEu;
    for (auto& b : pad) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x >> 11);
    }
    return pad;
}
inline constexpr std::array<uint8_t, 594> kChecksumPad = makeChecksumPad();

// Sum of a string's bytes taken as signed 8-bit values (bytes 0x80-0xFF count negative).
inline uint32_t charSum(const std::string& s)
{
    uint32_t sum = 0;
    for (char c : s)
        sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
    return sum;
}

// The header sum over a 124-byte header (either byte order of 49/50) and the strings it names, in the
// order abbreviated title, book name, copyright, author, publisher, city, publication date; the
// book-ranges string is added only when its position is not 0.
inline uint32_t checksumSum(const uint8_t* h, const std::string strings[7], const std::string& bookRanges)
{
    uint32_t s = h[kFileMinor] + h[kMinReaderMajor] + h[kMinReaderMinor];
    for (uint32_t off = 36; off <= 46; off += 2)
        s += bkGetLE16(h + off);
    for (uint32_t off : {48u, 49u, 50u, 51u, 52u})
        s += h[off];
    s += bkGetLE16(h + kLanguage);
    for (uint32_t off = 4; off <= 32; off += 4)
        s += bkGetLE32(h + off);
    for (int i = 0; i < 7; ++i)
        s += charSum(strings[i]);
    s += 1;
    if (bkGetLE32(h + kBookRanges) != 0)
        s += charSum(bookRanges);
    return s;
}

// Unscrambles a stored checksum text into its number; false when the text is not hexadecimal.
inline bool unscrambleChecksum(const std::string& stored, uint32_t& value)
{
    if (stored.size() < 2)
        return false;
    uint32_t start = (static_cast<uint8_t>(stored.back()) * 8u) % 256u;
    uint64_t v = 0;
    for (size_t j = 0; j + 1 < stored.size(); ++j) {
        if (start + j >= kChecksumPad.size())
            return false;
        char c = static_cast<char>(static_cast<uint8_t>(stored[j]) ^ kChecksumPad[start + j]);
        int d = (c >= '0' && c <= '9') ? c - '0'
            : (c >= 'a' && c <= 'f')   ? c - 'a' + 10
            : (c >= 'A' && c <= 'F')   ? c - 'A' + 10
                                       : -1;
        if (d < 0 || j >= 8)
            return false;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    value = static_cast<uint32_t>(v);
    return true;
}

// The stored text for a sum: the first key character (from 'A') whose scrambled text holds no 0 byte.
inline std::string scrambleChecksum(uint32_t sum)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(sum));
    std::string digits(hex);
    for (int key = 'A'; key < 256; ++key) {
        uint32_t start = (static_cast<uint32_t>(key) * 8u) % 256u;
        std::string out;
        bool ok = true;
        for (size_t j = 0; j < digits.size(); ++j) {
            uint8_t b = static_cast<uint8_t>(digits[j]) ^ kChecksumPad[start + j];
            if (b == 0) {
                ok = false;
                break;
            }
            out.push_back(static_cast<char>(b));
        }
        if (ok) {
            out.push_back(static_cast<char>(key));
            return out;
        }
    }
    return std::string();
}
}  // namespace BkInfoFormat

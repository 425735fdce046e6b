#pragma once
// Little-endian field readers and writers over std::FILE for the search file records.
// Every reader returns false on a short read and leaves its output unspecified;
// readers never allocate more than the bytes actually present in the file.

#include <cstdint>
#include <cstdio>
#include <string>

namespace RecordIO {

bool writeU8(std::FILE* file, uint8_t value);
bool writeU32(std::FILE* file, uint32_t value);
bool readU8(std::FILE* file, uint8_t& value);
bool readU32(std::FILE* file, uint32_t& value);

// The engine's UTF-16 string record: u32 1, u32 length in units, length + 1 units
// ending in 0. Reading fails on a first word other than 1 or a missing terminator.
bool writeUtf16String(std::FILE* file, const std::u16string& text);
bool readUtf16String(std::FILE* file, std::u16string& text);

}  // namespace RecordIO

#include "search/core/RecordIO.h"

#include <algorithm>
#include <vector>

#include "search/core/SearchWordListFormat.h"

namespace RecordIO {

bool writeU8(std::FILE* file, uint8_t value)
{
    return std::fwrite(&value, 1, 1, file) == 1;
}

bool writeU32(std::FILE* file, uint32_t value)
{
    const uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
        static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return std::fwrite(b, 1, 4, file) == 4;
}

bool readU8(std::FILE* file, uint8_t& value)
{
    return std::fread(&value, 1, 1, file) == 1;
}

bool readU32(std::FILE* file, uint32_t& value)
{
    uint8_t b[4];
    if (std::fread(b, 1, 4, file) != 4)
        return false;
    value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
        static_cast<uint32_t>(b[3]) << 24;
    return true;
}

bool writeUtf16String(std::FILE* file, const std::u16string& text)
{
    std::vector<uint8_t> out;
    out.reserve(8 + 2 * (text.size() + 1));
    auto put32 = [&](uint32_t v) {
        for (int k = 0; k < 4; ++k)
            out.push_back(static_cast<uint8_t>(v >> (8 * k)));
    };
    put32(kUtf16StringRecordMarker);
    put32(static_cast<uint32_t>(text.size()));
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return std::fwrite(out.data(), 1, out.size(), file) == out.size();
}

bool readUtf16String(std::FILE* file, std::u16string& text)
{
    uint32_t marker, length;
    if (!readU32(file, marker) || marker != kUtf16StringRecordMarker || !readU32(file, length))
        return false;
    text.clear();
    uint8_t chunk[4096];
    uint64_t remaining = static_cast<uint64_t>(length) + 1;  // with the terminator
    while (remaining > 0) {
        const std::size_t units = static_cast<std::size_t>(std::min<uint64_t>(remaining, sizeof chunk / 2));
        if (std::fread(chunk, 2, units, file) != units)
            return false;
        for (std::size_t k = 0; k < units; ++k)
            text.push_back(static_cast<char16_t>(chunk[2 * k] | chunk[2 * k + 1] << 8));
        remaining -= units;
    }
    if (text.back() != 0)
        return false;
    text.pop_back();
    return true;
}

}  // namespace RecordIO

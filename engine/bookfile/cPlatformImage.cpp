#include "engine/bookfile/cPlatformImage.h"

#include <cstring>

#include "engine/bookfile/BkText.h"

namespace {
uint32_t be16(const uint8_t* p)
{
    return (uint32_t(p[0]) << 8) | p[1];
}
uint32_t be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint32_t le16(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
}
uint32_t le32(const uint8_t* p)
{
    return le16(p) | (le16(p + 2) << 16);
}
}  // namespace

bool cPlatformImage::pixelSize(const uint8_t* b, uint32_t n, uint32_t& width, uint32_t& height)
{
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b == nullptr)
        return false;
    if (n >= 24 && std::memcmp(b, png, 8) == 0 && std::memcmp(b + 12, "IHDR", 4) == 0) {
        width = be32(b + 16);
        height = be32(b + 20);
        return width > 0 && height > 0;
    }
    if (n >= 10 && (std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0)) {
        width = le16(b + 6);
        height = le16(b + 8);
        return width > 0 && height > 0;
    }
    if (n >= 26 && b[0] == 'B' && b[1] == 'M') {
        uint32_t dib = le32(b + 14);
        if (dib == 12) {
            width = le16(b + 18);
            height = le16(b + 20);
        } else if (dib >= 40) {
            int32_t w = static_cast<int32_t>(le32(b + 18)), h = static_cast<int32_t>(le32(b + 22));
            if (w <= 0 || h == 0 || h == INT32_MIN)
                return false;
            width = static_cast<uint32_t>(w);
            height = static_cast<uint32_t>(h < 0 ? -h : h);
        } else {
            return false;
        }
        return width > 0 && height > 0;
    }
    if (n >= 4 && b[0] == 0xFF && b[1] == 0xD8) {
        uint32_t i = 2;
        while (i + 4 <= n) {
            if (b[i] != 0xFF)
                return false;
            uint8_t marker = b[i + 1];
            if (marker == 0xFF) {  // fill byte
                ++i;
                continue;
            }
            if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
                i += 2;
                continue;
            }
            uint32_t segment = be16(b + i + 2);
            if (segment < 2)
                return false;
            bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
            if (sof) {
                if (i + 9 > n)
                    return false;
                height = be16(b + i + 5);
                width = be16(b + i + 7);
                return width > 0 && height > 0;
            }
            i += 2 + segment;
        }
    }
    return false;
}

bool cPlatformImage::loadFromBytes(const uint8_t* bytes, uint32_t length, const std::string& name)
{
    if (m_held && name == m_name && length == m_length)
        return true;
    uint32_t w = 0, h = 0;
    if (!pixelSize(bytes, length, w, h)) {
        m_held = false;
        m_bytes.clear();
        m_name.clear();
        m_length = 0;
        m_width = kUnknown;
        m_height = kUnknown;
        return false;
    }
    m_held = true;
    m_bytes.assign(bytes, bytes + length);
    m_name = name;
    m_length = length;
    m_width = w;
    m_height = h;
    return true;
}

bool cPlatformImage::isBitmapFileName(const std::string& name)
{
    size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? name : name.substr(dot + 1);
    return BkText::equalIgnoringCase8(ext, "bmp");
}

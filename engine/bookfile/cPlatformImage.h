// cPlatformImage: one picture held in a book, made from its bytes, and its pixel size for the
// renderer. The engine only needs the size, so the picture's header is read (PNG, GIF, BMP, JPEG)
// and the bytes are kept for whoever draws it. Used on the rendering thread; no lock.

#pragma once

#include <cstdint>
#include <string>
#include <vector>

class cPlatformImage {
public:
    static constexpr uint32_t kUnknown = 0xFFFFFFFFu;
    static constexpr uint32_t kFallbackWidth = 50;
    static constexpr uint32_t kFallbackHeight = 24;

    // True when an image is held afterwards. The same name and length as the held image keep it.
    bool loadFromBytes(const uint8_t* bytes, uint32_t length, const std::string& name);
    bool load(const uint8_t* bytes, uint32_t length, const std::string& name)
    {
        return loadFromBytes(bytes, length, name);
    }

    uint32_t width() const { return m_width == kUnknown ? kFallbackWidth : m_width; }
    uint32_t height() const { return m_height == kUnknown ? kFallbackHeight : m_height; }
    const std::string& name() const { return m_name; }
    uint32_t length() const { return m_length; }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }

    // True when the text after the last "." (the whole name without one) is "bmp" in any case.
    static bool isBitmapFileName(const std::string& name);
    // The pixel size from a picture's header; false when the bytes are no picture it knows.
    static bool pixelSize(const uint8_t* bytes, uint32_t length, uint32_t& width, uint32_t& height);

private:
    uint32_t m_width = kUnknown;
    uint32_t m_height = kUnknown;
    bool m_held = false;
    std::vector<uint8_t> m_bytes;
    std::string m_name;
    uint32_t m_length = 0;
};

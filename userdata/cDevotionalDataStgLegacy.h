// The reading-progress bitmap that older versions kept per devotional book (column progressbuffer of
// the legacy table DevotionalData). Read only, by the one-time conversion of cDevotionalDataStg.
//
// Layout of the 240-byte buffer (1,920 readings):
//   reading n (1-based) is bit (n - 1) % 8 of byte (n - 1) / 8, least significant bit first (the
//   same as bit (n - 1) of little-endian 32-bit words);
//   bit 0 = read, bit 1 = unread; a fresh buffer is all 0xFF.
// Reading 0 and readings above the count answer "read".
#pragma once

#include <cstdint>
#include <cstring>

class cReadingProgress {
public:
    static constexpr std::int32_t kBufferSize = 240;
    static constexpr std::uint32_t kMaxReadings = kBufferSize * 8;  // 1,920

    cReadingProgress() { setCount(0); }
    virtual ~cReadingProgress() = default;

    // Every reading unread; the count clipped to 1,920.
    void setCount(std::uint32_t n)
    {
        std::memset(m_buffer, 0xFF, sizeof m_buffer);
        m_count = n > kMaxReadings ? kMaxReadings : n;
    }
    std::uint32_t count() const { return m_count; }

    bool isRead(std::uint32_t n) const
    {
        if (n == 0 || n > m_count || n > kMaxReadings)
            return true;
        const std::uint32_t bit = n - 1;
        return (m_buffer[bit / 8] & (1u << (bit % 8))) == 0;
    }

    unsigned char* buffer() { return m_buffer; }
    const unsigned char* buffer() const { return m_buffer; }
    static constexpr std::int32_t bufferSize() { return kBufferSize; }

private:
    unsigned char m_buffer[kBufferSize];
    std::uint32_t m_count = 0;
    std::int32_t m_reserved = -1;  // kept for the original record shape; unused
};

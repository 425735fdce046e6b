// cPlatformMemPtr: an owned, zero-filled byte buffer and its size.

#pragma once

#include <cstdint>
#include <memory>

class cPlatformMemPtr {
public:
    cPlatformMemPtr() = default;
    virtual ~cPlatformMemPtr() = default;
    cPlatformMemPtr(const cPlatformMemPtr&) = delete;
    cPlatformMemPtr& operator=(const cPlatformMemPtr&) = delete;

    // Frees the old buffer and makes a zero-filled one; null (size 0) when memory cannot be had.
    uint8_t* allocate(uint32_t size);
    void release();
    uint8_t* data() const { return m_data.get(); }
    uint32_t size() const { return m_size; }

private:
    std::unique_ptr<uint8_t[]> m_data;
    uint32_t m_size = 0;
};

// Helpers shared by the fuzz targets: the input as a file (for readers that open a path or read a
// FILE*), and bounds that keep one run short whatever the input claims.

#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// Inputs above this are skipped: the readers are bounded by the bytes present, so larger inputs
// only slow the run down.
constexpr std::size_t kMaxInput = 1 << 20;
// Upper bound on the items one run walks (entries, words, sections, blocks).
constexpr std::uint32_t kMaxItems = 200;

// One scratch file per process, rewritten by each run; removed at exit.
class ScratchFile {
public:
    explicit ScratchFile(const char* tag)
    {
        const char* dir = std::getenv("TMPDIR");
        m_path = std::string(dir != nullptr && *dir != 0 ? dir : "/tmp") + "/qs-fuzz-" + tag + "-" +
            std::to_string(static_cast<long>(getpid()));
    }
    ~ScratchFile() { std::remove(m_path.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the file's contents with the bytes; false when the file cannot be written.
    bool write(const std::uint8_t* data, std::size_t size) const
    {
        std::FILE* f = std::fopen(m_path.c_str(), "wb");
        if (f == nullptr)
            return false;
        const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
        return std::fclose(f) == 0 && ok;
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// The bytes as a read-only FILE* (fmemopen cannot open an empty buffer, so an empty input reads
// from /dev/null). Closed with the object.
class MemoryFile {
public:
    MemoryFile(const std::uint8_t* data, std::size_t size) : m_copy(reinterpret_cast<const char*>(data), size)
    {
        m_file = size == 0 ? std::fopen("/dev/null", "rb") : fmemopen(m_copy.data(), m_copy.size(), "rb");
    }
    ~MemoryFile()
    {
        if (m_file != nullptr)
            std::fclose(m_file);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    std::FILE* get() const { return m_file; }

private:
    std::string m_copy;
    std::FILE* m_file = nullptr;
};

// Reads the input front to back: the fuzzer's choices first, the reader's bytes after them.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) { }
    std::uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint32_t u32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(byte()) << (8 * i);
        return v;
    }
    const std::uint8_t* rest() const { return m_data + m_pos; }
    std::size_t restSize() const { return m_size - m_pos; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// Aborts the run with a message: a round trip or an invariant failed.
[[noreturn]] inline void fail(const char* what)
{
    std::fprintf(stderr, "fuzz invariant failed: %s\n", what);
    std::abort();
}

}  // namespace fuzz

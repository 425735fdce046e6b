// cBkStreamFile: a read-only container of numbered byte streams (the layout is in BkStreamFormat.h).
//
// A container gives positioned reads on one stream at a time: read, seek, tell, size, NUL-terminated
// strings and single bits (most significant first). Every stream keeps its own position and bit state.
// A sub-file is a container held in a stream of another container; it shares its parent's file.
//
// Open FILE handles live in one process-wide cache of at most 25 files: a container keeps only a cache
// handle and re-opens its path when its file was closed to make room for another.
//
// Reads are served from a read window per stream: up to kReadWindow bytes of the stream, never past its
// end, filled by one positioned read of the file. Small reads, strings and bits then cost a copy from
// memory instead of a system call. A container's windows are dropped when its file had to be re-opened.
//
// Threads: the container never takes its own mutex(); every storage takes it around its sequences of
// seeks and reads, because positions, bit state, read windows and the directory are shared. The
// container takes the process-wide file mutex inside reads that go to the file (lock order: container
// mutex, then file mutex).

#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/bookfile/BkEngineStrings.h"
#include "engine/bookfile/BkStreamFormat.h"
#include "engine/foundation/cPlatformMutex.h"

struct cBkStreamEntry {
    uint32_t id = 0;
    uint32_t absoluteStart = 0;  // offset of the first data byte in the underlying file
    uint32_t position = 0;       // 0 to length
    uint32_t length = 0;
    uint8_t bitBuffer = 0;  // the last byte read
    int32_t bitIndex = 7;   // next bit to hand out; 7 means from a fresh byte
    bool hasExtra = false;
    std::vector<uint8_t> extra;  // extra header bytes (the stream's name), when hasExtra
    // Read window: bytes [windowStart, windowStart + window.size()) of the stream, valid while
    // windowGeneration equals the container's generation.
    std::vector<uint8_t> window;
    uint32_t windowStart = 0;
    uint64_t windowGeneration = 0;

    // The extra bytes up to their first NUL, or "" when none.
    std::string name() const;
};

class cBkStreamFile {
public:
    // Largest read window of one stream, in bytes; reads of at least this size go straight to the file.
    static constexpr uint32_t kReadWindow = 8192;

    cBkStreamFile();
    ~cBkStreamFile();
    cBkStreamFile(const cBkStreamFile&) = delete;
    cBkStreamFile& operator=(const cBkStreamFile&) = delete;

    uint32_t open(const char* utf8Path);
    uint32_t openSubFile(cBkStreamFile& parent, uint32_t streamId);
    void close();

    uint32_t read(uint32_t id, uint32_t n, void* buffer);
    uint32_t seek(uint32_t id, uint32_t position);
    uint32_t seekAndRead(uint32_t id, uint32_t n, void* buffer, uint32_t position);
    // The position / length, or 217 / 218 in the same value (test isOpen and hasStream first).
    uint32_t tell(uint32_t id) const;
    uint32_t size(uint32_t id) const;
    // Reads the NUL-terminated text at `position`; the position ends after the NUL. On failure the
    // string is untouched and the position is where it was before the call.
    uint32_t readString(uint32_t id, std::string& out, uint32_t position);
    uint32_t readString(uint32_t id, cLString8& out, uint32_t position)
    {
        std::string s;
        const uint32_t r = readString(id, s, position);
        if (r == 0)
            bkAssign(out, s);
        return r;
    }
    // 0 or 1, or a result code of 217 and above.
    uint32_t readBit(uint32_t id);

    // Id of the first stream whose name equals `name` ignoring case; 0 when none or not open.
    uint32_t streamIdForName(const char* name) const;
    bool hasStream(uint32_t id) const { return findEntry(id) != nullptr; }

    const std::vector<cBkStreamEntry>& directory() const { return m_directory; }
    size_t entryCount() const { return m_directory.size(); }
    const cBkStreamEntry* entryAt(size_t index) const;
    void setGrowthStep(uint32_t step);

    // Seconds since 1970 of the file's modification; 0 when not open.
    int64_t modificationTime();

    cPlatformMutex& mutex() { return m_mutex; }

    bool isValid() const { return m_valid; }
    bool isOpen() const { return m_open; }
    const std::string& path() const { return m_path; }
    // After a 223 failure: the file's real length and the length its first header claimed.
    uint32_t recordedLength() const { return m_recordedLength; }
    uint32_t foundLength() const { return m_foundLength; }

private:
    cBkStreamEntry* findEntry(uint32_t id);
    const cBkStreamEntry* findEntry(uint32_t id) const;
    // Copies n bytes at the entry's position (n within the stream) from its window, refilling the
    // window from the file when needed; the position is unchanged.
    uint32_t fetch(cBkStreamEntry& e, uint32_t n, void* buffer);
    // Positioned read of the file under the file-cache mutex; the number of bytes read, or -1.
    int64_t readFile(uint64_t at, uint32_t n, void* buffer);
    void enterEntry(const cBkStreamEntry& e);
    uint32_t readDirectory(uint32_t base, bool lengthTest, uint64_t expectedLength);

    uint32_t m_recordedLength = 0;
    uint32_t m_foundLength = 0;
    std::string m_path;
    int64_t m_handle = -1;
    uint32_t m_fileLength = 0;
    bool m_valid = false;
    bool m_open = false;
    bool m_subFile = false;
    std::vector<cBkStreamEntry> m_directory;
    uint32_t m_capacity = BkStreamFormat::kInitialCapacity;
    uint32_t m_growthStep = BkStreamFormat::kInitialGrowthStep;
    size_t m_lastEntry = 0;     // index of the entry found last (a hint for findEntry)
    uint64_t m_generation = 1;  // windows of an older generation are stale
    cPlatformMutex m_mutex;
};

#include "engine/bookfile/cBkStreamFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "engine/foundation/CharacterClasses.h"

namespace {

// How far a refilled window reaches back before the byte asked for.
constexpr uint32_t kWindowLookBack = 512;

// The process-wide cache of open files. Slot i belongs to handle firstHandle + i; handles are never
// reused, so a container whose file was evicted simply gets a new handle on its next read.
struct FileCache {
    std::mutex mutex;
    // Written under `mutex`; read without it by windowed reads, which only need to know whether their
    // handle was evicted (handles below firstHandle are closed).
    std::atomic<int64_t> firstHandle {0};
    int64_t count = 0;
    std::FILE* slots[BkStreamFormat::kFileCacheSlots] = {};

    // The caller holds `mutex`.
    std::FILE* acquire(int64_t& handle, const std::string& path)
    {
        if (handle >= firstHandle && handle < firstHandle + count) {
            std::FILE* f = slots[handle - firstHandle];
            if (f != nullptr)
                return f;
            // The slot was emptied by a close; open the path again under a new handle.
        }
        while (count >= BkStreamFormat::kFileCacheSlots) {
            if (slots[0] != nullptr)
                std::fclose(slots[0]);
            std::memmove(slots, slots + 1, sizeof(slots[0]) * (BkStreamFormat::kFileCacheSlots - 1));
            slots[BkStreamFormat::kFileCacheSlots - 1] = nullptr;
            --count;
            ++firstHandle;
        }
        std::FILE* f = std::fopen(path.c_str(), "r");
        if (f == nullptr)
            return nullptr;
        slots[count] = f;
        handle = firstHandle + count;
        ++count;
        return f;
    }

    void release(int64_t handle)
    {
        if (handle >= firstHandle && handle < firstHandle + count && slots[handle - firstHandle] != nullptr) {
            std::fclose(slots[handle - firstHandle]);
            slots[handle - firstHandle] = nullptr;
        }
    }
};

// Made once and never destroyed, so that containers closed during exit still find it.
FileCache& fileCache()
{
    static FileCache* cache = new FileCache;
    return *cache;
}

bool equalIgnoringCase8(const std::string& a, const char* b)
{
    size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (toLowerChar8(static_cast<unsigned char>(a[i])) != toLowerChar8(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

std::string cBkStreamEntry::name() const
{
    if (!hasExtra)
        return std::string();
    auto nul = std::find(extra.begin(), extra.end(), uint8_t(0));
    return std::string(extra.begin(), nul);
}

cBkStreamFile::cBkStreamFile()
{
    m_directory.reserve(m_capacity);
}

cBkStreamFile::~cBkStreamFile()
{
    close();
}

void cBkStreamFile::setGrowthStep(uint32_t step)
{
    if (step != 0)
        m_growthStep = step;
}

const cBkStreamEntry* cBkStreamFile::entryAt(size_t index) const
{
    return index < m_directory.size() ? &m_directory[index] : nullptr;
}

cBkStreamEntry* cBkStreamFile::findEntry(uint32_t id)
{
    // Readers mostly stay on one stream (the bit decoder reads thousands of bits in a row).
    if (m_lastEntry < m_directory.size() && m_directory[m_lastEntry].id == id)
        return &m_directory[m_lastEntry];
    for (size_t i = 0; i < m_directory.size(); ++i) {
        if (m_directory[i].id == id) {
            m_lastEntry = i;
            return &m_directory[i];
        }
    }
    return nullptr;
}

const cBkStreamEntry* cBkStreamFile::findEntry(uint32_t id) const
{
    for (auto& e : m_directory)
        if (e.id == id)
            return &e;
    return nullptr;
}

void cBkStreamFile::enterEntry(const cBkStreamEntry& e)
{
    if (cBkStreamEntry* old = findEntry(e.id)) {
        *old = e;
        return;
    }
    if (m_directory.size() >= m_capacity) {
        m_capacity += m_growthStep;
        m_directory.reserve(m_capacity);
    }
    m_directory.push_back(e);
}

uint32_t cBkStreamFile::open(const char* utf8Path)
{
    close();
    uint64_t length = 0;
    bool lengthTest = false;
    {
        FileCache& c = fileCache();
        std::lock_guard<std::mutex> lock(c.mutex);
        m_path = utf8Path != nullptr ? utf8Path : "";
        m_handle = -1;
        std::FILE* f = c.acquire(m_handle, m_path);
        if (f == nullptr)
            return BkResult::kCannotOpen;
        m_valid = true;
        m_open = true;
        m_subFile = false;
        if (fseeko(f, 0, SEEK_END) == 0) {
            off_t end = ftello(f);
            if (end >= 0) {
                length = static_cast<uint64_t>(end);
                lengthTest = true;
            }
        }
    }
    m_fileLength = static_cast<uint32_t>(length);
    return readDirectory(0, lengthTest, length);
}

uint32_t cBkStreamFile::openSubFile(cBkStreamFile& parent, uint32_t streamId)
{
    if (!parent.isOpen())
        return BkResult::kNotOpen;
    const cBkStreamEntry* e = parent.findEntry(streamId);
    if (streamId == 0 || e == nullptr)
        return BkResult::kBadArgument;
    uint32_t base = e->absoluteStart;
    uint64_t limit = e->length;
    close();
    m_path = parent.m_path;
    m_handle = parent.m_handle;
    m_fileLength = parent.m_fileLength;
    m_valid = true;
    m_open = true;
    m_subFile = true;
    // A sub-file may not claim more bytes than the stream that holds it.
    uint32_t r = readDirectory(base, false, 0);
    if (r == 0) {
        const cBkStreamEntry* s0 = findEntry(0);
        if (s0 != nullptr && s0->length > limit)
            return BkResult::kPastEnd;
    }
    return r;
}

uint32_t cBkStreamFile::readDirectory(uint32_t base, bool lengthTest, uint64_t expectedLength)
{
    using namespace BkStreamFormat;
    cBkStreamEntry s0;
    s0.absoluteStart = base;
    s0.length = kHeaderSize;
    enterEntry(s0);

    std::unordered_set<uint32_t> visited;
    uint32_t headerOffset = 0;
    bool first = true;
    for (uint32_t headers = 0;; ++headers) {
        if (headers >= kMaxHeaders || !visited.insert(headerOffset).second)
            return BkResult::kMalformed;
        uint8_t h[kHeaderSize];
        if (uint32_t r = read(0, kHeaderSize, h))
            return r;
        uint32_t id = bkGetLE32(h + kIdOffset);
        uint32_t start = bkGetLE32(h + kStartOffset);
        uint32_t length = bkGetLE32(h + kLengthOffset);
        uint32_t next = bkGetLE32(h + kNextOffset);
        if (first) {
            if (id != 0 || start != 0)
                return BkResult::kMalformed;
            if (lengthTest && length != expectedLength) {
                m_recordedLength = static_cast<uint32_t>(expectedLength);
                m_foundLength = length;
                return BkResult::kWrongLength;
            }
            cBkStreamEntry e;
            e.absoluteStart = base;
            e.length = length;
            enterEntry(e);
            first = false;
        } else {
            cBkStreamEntry* zero = findEntry(0);
            // Only the first header describes stream 0, and every stream lies inside the container.
            if (id == 0 || static_cast<uint64_t>(base) + start > 0xFFFFFFFFu)
                return BkResult::kMalformed;
            if (static_cast<uint64_t>(start) + length > zero->length)
                return BkResult::kPastEnd;
            cBkStreamEntry e;
            e.id = id;
            e.absoluteStart = base + start;
            e.length = length;
            uint32_t pos0 = zero->position;
            if (start > pos0) {
                uint32_t gap = start - pos0;
                uint32_t keep = std::min(gap, kMaxNameBytes);
                e.extra.resize(keep);
                if (uint32_t r = read(0, keep, e.extra.data()))
                    return r;
                e.hasExtra = true;
            }
            enterEntry(e);
        }
        if (next == 0)
            return BkResult::kOK;
        if (uint32_t r = seek(0, next))
            return r;
        headerOffset = next;
    }
}

void cBkStreamFile::close()
{
    if (m_open && !m_subFile) {
        FileCache& c = fileCache();
        std::lock_guard<std::mutex> lock(c.mutex);
        c.release(m_handle);
    }
    m_open = false;
    m_directory.clear();
}

int64_t cBkStreamFile::readFile(uint64_t at, uint32_t n, void* buffer)
{
    FileCache& c = fileCache();
    std::lock_guard<std::mutex> lock(c.mutex);
    const int64_t before = m_handle;
    std::FILE* f = c.acquire(m_handle, m_path);
    if (f == nullptr)
        return -1;
    // A re-opened path may name another file by now: what the windows hold is no longer known good.
    if (m_handle != before)
        ++m_generation;
    const int fd = fileno(f);
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < n) {
        const ssize_t got = pread(fd, out + done, n - done, static_cast<off_t>(at + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<uint32_t>(got);
    }
    return static_cast<int64_t>(done);
}

uint32_t cBkStreamFile::fetch(cBkStreamEntry& e, uint32_t n, void* buffer)
{
    const uint32_t p = e.position;
    // A window stays good while the file it came from is open; after an eviction the path is opened
    // again on the refill, and that drops every window of the container.
    if (e.windowGeneration == m_generation && m_handle >= fileCache().firstHandle.load(std::memory_order_relaxed) &&
        p >= e.windowStart && static_cast<uint64_t>(p) + n <= static_cast<uint64_t>(e.windowStart) + e.window.size()) {
        std::memcpy(buffer, e.window.data() + (p - e.windowStart), n);
        return BkResult::kOK;
    }
    const uint64_t at = static_cast<uint64_t>(e.absoluteStart) + p;
    if (n >= kReadWindow) {
        const int64_t got = readFile(at, n, buffer);
        return got == static_cast<int64_t>(n) ? BkResult::kOK : BkResult::kReadFailed;
    }
    // The window covers the read, reaches back a little for readers that step backwards, and never
    // passes the stream's end.
    const uint32_t want = std::min(kReadWindow, e.length);
    const uint32_t back = std::min({p, kWindowLookBack, want - n});
    const uint32_t start = std::min(p - back, e.length - want);
    e.window.resize(want);
    const int64_t got = readFile(static_cast<uint64_t>(e.absoluteStart) + start, want, e.window.data());
    if (got < 0) {
        e.window.clear();
        return BkResult::kReadFailed;
    }
    // A short read (the file was cut) keeps what it found, so reads before the cut still succeed.
    e.window.resize(static_cast<size_t>(got));
    e.windowStart = start;
    e.windowGeneration = m_generation;
    if (static_cast<uint64_t>(p) + n > static_cast<uint64_t>(start) + e.window.size())
        return BkResult::kReadFailed;
    std::memcpy(buffer, e.window.data() + (p - start), n);
    return BkResult::kOK;
}

uint32_t cBkStreamFile::read(uint32_t id, uint32_t n, void* buffer)
{
    if (!m_open)
        return BkResult::kNotOpen;
    cBkStreamEntry* e = findEntry(id);
    if (e == nullptr)
        return BkResult::kNotFound;
    if (n > e->length - e->position)
        return BkResult::kPastEnd;
    if (n == 0)
        return BkResult::kOK;
    if (uint32_t r = fetch(*e, n, buffer))
        return r;
    e->position += n;
    e->bitIndex = 7;
    e->bitBuffer = static_cast<const uint8_t*>(buffer)[n - 1];
    return BkResult::kOK;
}

uint32_t cBkStreamFile::seek(uint32_t id, uint32_t position)
{
    if (!m_open)
        return BkResult::kNotOpen;
    cBkStreamEntry* e = findEntry(id);
    if (e == nullptr)
        return BkResult::kNotFound;
    if (position > e->length)
        return BkResult::kPastEnd;
    if (position == e->position)
        return BkResult::kOK;
    e->position = position;
    e->bitIndex = 7;
    e->bitBuffer = 0;
    return BkResult::kOK;
}

uint32_t cBkStreamFile::seekAndRead(uint32_t id, uint32_t n, void* buffer, uint32_t position)
{
    if (uint32_t r = seek(id, position))
        return r;
    return read(id, n, buffer);
}

uint32_t cBkStreamFile::tell(uint32_t id) const
{
    if (!m_open)
        return BkResult::kNotOpen;
    const cBkStreamEntry* e = findEntry(id);
    return e == nullptr ? BkResult::kNotFound : e->position;
}

uint32_t cBkStreamFile::size(uint32_t id) const
{
    if (!m_open)
        return BkResult::kNotOpen;
    const cBkStreamEntry* e = findEntry(id);
    return e == nullptr ? BkResult::kNotFound : e->length;
}

uint32_t cBkStreamFile::readString(uint32_t id, std::string& out, uint32_t position)
{
    if (!m_open)
        return BkResult::kNotOpen;
    cBkStreamEntry* e = findEntry(id);
    if (e == nullptr)
        return BkResult::kNotFound;
    const uint32_t saved = e->position;
    if (uint32_t r = seek(id, position))
        return r;
    // Measure in chunks of 20 bytes up to the terminating 0.
    uint32_t textLength = 0;
    for (;;) {
        uint32_t remaining = e->length - e->position;
        if (remaining == 0) {
            seek(id, saved);
            return BkResult::kPastEnd;
        }
        uint8_t chunk[20];
        uint32_t n = std::min<uint32_t>(20, remaining);
        uint32_t chunkStart = e->position;
        if (uint32_t r = read(id, n, chunk)) {
            seek(id, saved);
            return r;
        }
        const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(chunk, 0, n));
        if (nul != nullptr) {
            textLength = chunkStart - position + static_cast<uint32_t>(nul - chunk);
            break;
        }
    }
    seek(id, saved);
    std::string text(textLength + 1, '\0');
    if (uint32_t r = seekAndRead(id, textLength + 1, text.data(), position)) {
        seek(id, saved);
        return r;
    }
    text.resize(textLength);
    out = std::move(text);
    return BkResult::kOK;
}

uint32_t cBkStreamFile::readBit(uint32_t id)
{
    if (!m_open)
        return BkResult::kNotOpen;
    cBkStreamEntry* e = findEntry(id);
    if (e == nullptr)
        return BkResult::kNotFound;
    if (e->bitIndex == 7) {
        uint8_t b;
        if (uint32_t r = read(id, 1, &b))
            return r;
    }
    uint32_t bit = (e->bitBuffer >> e->bitIndex) & 1u;
    e->bitIndex = e->bitIndex == 0 ? 7 : e->bitIndex - 1;
    return bit;
}

uint32_t cBkStreamFile::streamIdForName(const char* name) const
{
    if (!m_open || name == nullptr)
        return 0;
    for (const auto& e : m_directory) {
        if (e.hasExtra && equalIgnoringCase8(e.name(), name))
            return e.id;
    }
    return 0;
}

int64_t cBkStreamFile::modificationTime()
{
    if (!m_open)
        return 0;
    FileCache& c = fileCache();
    std::lock_guard<std::mutex> lock(c.mutex);
    const int64_t before = m_handle;
    std::FILE* f = c.acquire(m_handle, m_path);
    if (m_handle != before)
        ++m_generation;
    struct stat st;
    if (f == nullptr || fstat(fileno(f), &st) != 0)
        return 0;
    return static_cast<int64_t>(st.st_mtime);
}

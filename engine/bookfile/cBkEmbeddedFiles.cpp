#include "engine/bookfile/cBkEmbeddedFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {
std::atomic<uint32_t> g_tempCounter {0};

bool writeAll(int fd, const uint8_t* p, size_t n)
{
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}
}  // namespace

cBkEmbeddedFiles::~cBkEmbeddedFiles()
{
    if (m_sub) {
        std::lock_guard<cPlatformMutex> lock(m_sub->mutex());
        m_sub->close();
    }
}

uint32_t cBkEmbeddedFiles::open(cBkStreamFile* bookContainer, uint32_t streamId)
{
    if (bookContainer == nullptr)
        return BkResult::kNotOpen;
    if (!m_sub)
        m_sub = std::make_unique<cBkStreamFile>();
    m_sub->setGrowthStep(100);
    std::lock_guard<cPlatformMutex> lock(m_sub->mutex());
    return m_sub->openSubFile(*bookContainer, streamId);
}

uint32_t cBkEmbeddedFiles::extractToFile(const std::string& name, const std::string& folder)
{
    if (!m_sub || !m_sub->isOpen())
        return BkResult::kNotOpen;
    uint32_t id = m_sub->streamIdForName(name.c_str());
    if (id == 0) {
        std::string plus = name;
        std::replace(plus.begin(), plus.end(), ' ', '+');
        id = m_sub->streamIdForName(plus.c_str());
        if (id == 0)
            return BkResult::kNotFound;
    }
    std::string dest = folder;
    if (dest.empty() || (dest.back() != '/' && dest.back() != '\\'))
        dest.push_back('/');
    dest += (!name.empty() && (name[0] == '/' || name[0] == '\\')) ? name.substr(1) : name;

    struct stat st;
    if (::stat(dest.c_str(), &st) == 0)
        return BkResult::kOK;

    const std::string temp = dest + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(g_tempCounter++);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return BkResult::kCannotCreate;

    uint32_t result = BkResult::kOK;
    {
        std::lock_guard<cPlatformMutex> lock(m_sub->mutex());
        const uint32_t size = m_sub->size(id);
        const uint32_t chunk = std::min(size, kCopyChunk);
        std::vector<uint8_t> buffer(chunk);
        result = m_sub->seek(id, 0);
        for (uint32_t remaining = size; result == 0 && remaining > 0;) {
            uint32_t n = std::min(chunk, remaining);
            result = m_sub->read(id, n, buffer.data());
            if (result == 0 && !writeAll(fd, buffer.data(), n))
                result = BkResult::kCannotCreate;
            remaining -= n;
        }
    }
    if (result == 0 && ::fsync(fd) != 0)
        result = BkResult::kCannotCreate;
    if (::close(fd) != 0 && result == 0)
        result = BkResult::kCannotCreate;
    if (result == 0) {
        // link() never replaces a file that appeared meanwhile; rename() serves file systems without
        // hard links.
        if (::link(temp.c_str(), dest.c_str()) != 0) {
            if (errno == EEXIST)
                result = BkResult::kOK;
            else if (::rename(temp.c_str(), dest.c_str()) != 0)
                result = BkResult::kCannotCreate;
        }
    }
    ::unlink(temp.c_str());
    return result;
}

uint32_t cBkEmbeddedFiles::readIntoMemory(const std::string& name, cPlatformMemPtr& buffer)
{
    if (!m_sub || !m_sub->isOpen())
        return BkResult::kNotOpen;
    const uint32_t id = m_sub->streamIdForName(name.c_str());
    if (id == 0)
        return BkResult::kNotFound;
    std::lock_guard<cPlatformMutex> lock(m_sub->mutex());
    const uint32_t size = m_sub->size(id);
    if (buffer.allocate(size) == nullptr)
        return BkResult::kNoMemory;
    uint32_t r = m_sub->seekAndRead(id, size, buffer.data(), 0);
    if (r != 0)
        buffer.release();
    return r;
}

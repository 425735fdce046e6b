#include "platform/IdlePageTrim.h"

#include <atomic>
#include <chrono>
#include <thread>

#if defined(Q_OS_LINUX)
#include <cstring>
#include <link.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

constexpr qint64 kSampleMs = 500;
constexpr qint64 kBusyMs = 10;
constexpr qint64 kStartMs = 60000;
constexpr qint64 kStartIdleMs = 2000;
constexpr qint64 kLaterIdleMs = 30000;

#if defined(Q_OS_LINUX)
qint64 clockMs(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Whether the loader had to write into the object's code (text relocations): its read-only
// segments then hold written pages.
bool writesItsText(const dl_phdr_info* info)
{
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        if (info->dlpi_phdr[i].p_type != PT_DYNAMIC)
            continue;
        const auto* entry = reinterpret_cast<const ElfW(Dyn)*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
        for (; entry->d_tag != DT_NULL; ++entry)
            if (entry->d_tag == DT_TEXTREL || (entry->d_tag == DT_FLAGS && (entry->d_un.d_val & DF_TEXTREL)))
                return true;
    }
    return false;
}

int dropSegments(dl_phdr_info* info, size_t, void* data)
{
    // The kernel's shared object is no file of the program's.
    if (info->dlpi_name != nullptr && std::strncmp(info->dlpi_name, "linux-", 6) == 0)
        return 0;
    if (writesItsText(info))
        return 0;
    const quintptr page = quintptr(sysconf(_SC_PAGESIZE));
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD || (segment.p_flags & PF_W) != 0)
            continue;
        // Whole pages only: a page the segment shares with a writable neighbour is left alone.
        const quintptr first = (info->dlpi_addr + segment.p_vaddr + page - 1) / page * page;
        const quintptr last = (info->dlpi_addr + segment.p_vaddr + segment.p_memsz) / page * page;
        if (last > first && madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED) == 0)
            *static_cast<qint64*>(data) += qint64(last - first);
    }
    return 0;
}
#endif

}  // namespace

qint64 IdlePageTrim::dropNow()
{
    qint64 dropped = 0;
#if defined(Q_OS_LINUX)
    dl_iterate_phdr(dropSegments, &dropped);
#endif
    return dropped;
}

IdlePageTrim::IdleWatch::IdleWatch(qint64 busyMs, qint64 startMs, qint64 startIdleMs, qint64 laterIdleMs)
    : m_busyMs(busyMs), m_startMs(startMs), m_startIdleMs(startIdleMs), m_laterIdleMs(laterIdleMs)
{
}

bool IdlePageTrim::IdleWatch::sample(qint64 nowMs, qint64 cpuMs)
{
    if (m_firstNow < 0) {
        m_firstNow = m_lastBusy = nowMs;
        m_lastCpu = cpuMs;
        return false;
    }
    const qint64 used = cpuMs - m_lastCpu;
    m_lastCpu = cpuMs;
    if (used > m_busyMs) {
        m_lastBusy = nowMs;
        m_workedSinceDrop = true;
        return false;
    }
    const qint64 idleFor = nowMs - m_firstNow <= m_startMs ? m_startIdleMs : m_laterIdleMs;
    if (m_workedSinceDrop && nowMs - m_lastBusy >= idleFor) {
        m_workedSinceDrop = false;
        return true;
    }
    return false;
}

void IdlePageTrim::start()
{
#if defined(Q_OS_LINUX)
    static std::atomic<bool> started {false};
    if (started.exchange(true))
        return;
    std::thread([] {
        IdleWatch watch(kBusyMs, kStartMs, kStartIdleMs, kLaterIdleMs);
        for (;;) {
            // The watcher's own time (dropping) is not the process's work.
            const qint64 cpu = clockMs(CLOCK_PROCESS_CPUTIME_ID) - clockMs(CLOCK_THREAD_CPUTIME_ID);
            if (watch.sample(clockMs(CLOCK_MONOTONIC), cpu))
                dropNow();
            std::this_thread::sleep_for(std::chrono::milliseconds(kSampleMs));
        }
    }).detach();
#endif
}

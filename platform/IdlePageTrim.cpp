#include "platform/IdlePageTrim.h"

#include <QFile>
#include <QList>

#include <atomic>
#include <chrono>
#include <thread>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#include <time.h>
#endif

namespace {

constexpr qint64 kSampleMs = 500;
constexpr qint64 kIdleForMs = 2000;
constexpr qint64 kBusyMs = 10;

bool droppableFile(const QByteArray& path)
{
    if (!path.startsWith('/'))
        return false;  // anonymous memory, the heap, the stack, [vdso]
    for (const char* special : {"/dev/", "/memfd:", "/SYSV", "/proc/", "/sys/"})
        if (path.startsWith(special))
            return false;
    return true;
}

qint64 fieldKiB(const QByteArray& line, qsizetype nameLength)
{
    return line.mid(nameLength).trimmed().split(' ').value(0).toLongLong();
}

#if defined(Q_OS_LINUX)
qint64 clockMs(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
#endif

}  // namespace

std::vector<IdlePageTrim::Range> IdlePageTrim::droppableRanges(const QByteArray& smaps)
{
    std::vector<Range> ranges;
    Range current;
    bool candidate = false;
    qint64 anonymousKiB = 0;
    bool locked = false;
    const auto finish = [&] {
        if (candidate && anonymousKiB == 0 && !locked && current.residentKiB > 0)
            ranges.push_back(current);
        candidate = false;
    };
    for (const QByteArray& line : smaps.split('\n')) {
        if (line.isEmpty())
            continue;
        // A mapping's first line: "start-end perms offset dev inode   path"; a field line starts
        // with a capitalised name and a colon.
        const qsizetype dash = line.indexOf('-');
        const qsizetype space = line.indexOf(' ');
        if (dash > 0 && space > dash && !line.left(space).contains(':')) {
            finish();
            bool startOk = false;
            bool endOk = false;
            current = Range {};
            current.start = line.left(dash).toULongLong(&startOk, 16);
            current.end = line.mid(dash + 1, space - dash - 1).toULongLong(&endOk, 16);
            const QByteArray perms = line.mid(space + 1, 4);
            // The path follows the fifth field and may hold spaces of its own.
            qsizetype at = space;
            for (int field = 0; field < 4 && at >= 0; ++field)
                at = line.indexOf(' ', at + 1);
            const QByteArray path = at < 0 ? QByteArray() : line.mid(at).trimmed();
            candidate = startOk && endOk && current.end > current.start && perms.size() == 4 && perms[0] == 'r' &&
                perms[1] == '-' && perms[3] == 'p' && droppableFile(path);
            anonymousKiB = 0;
            locked = false;
        } else if (line.startsWith("Rss:")) {
            current.residentKiB = fieldKiB(line, 4);
        } else if (line.startsWith("Anonymous:")) {
            anonymousKiB = fieldKiB(line, 10);
        } else if (line.startsWith("VmFlags:")) {
            locked = line.mid(8).split(' ').contains("lo");
        }
    }
    finish();
    return ranges;
}

qint64 IdlePageTrim::dropNow()
{
#if defined(Q_OS_LINUX)
    QFile file(QStringLiteral("/proc/self/smaps"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    qint64 dropped = 0;
    for (const Range& range : droppableRanges(file.readAll()))
        if (madvise(reinterpret_cast<void*>(range.start), range.end - range.start, MADV_DONTNEED) == 0)
            dropped += range.residentKiB;
    return dropped;
#else
    return 0;
#endif
}

IdlePageTrim::IdleWatch::IdleWatch(qint64 idleForMs, qint64 busyMs) : m_idleForMs(idleForMs), m_busyMs(busyMs)
{
}

bool IdlePageTrim::IdleWatch::sample(qint64 nowMs, qint64 cpuMs)
{
    if (m_lastNow < 0) {
        m_lastNow = m_lastBusy = nowMs;
        m_lastCpu = cpuMs;
        return false;
    }
    const qint64 used = cpuMs - m_lastCpu;
    m_lastNow = nowMs;
    m_lastCpu = cpuMs;
    if (used > m_busyMs) {
        m_lastBusy = nowMs;
        m_workedSinceDrop = true;
        return false;
    }
    if (m_workedSinceDrop && nowMs - m_lastBusy >= m_idleForMs) {
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
        IdleWatch watch(kIdleForMs, kBusyMs);
        for (;;) {
            // The watcher's own time (reading the mappings when it drops) is not the process's work.
            const qint64 cpu = clockMs(CLOCK_PROCESS_CPUTIME_ID) - clockMs(CLOCK_THREAD_CPUTIME_ID);
            if (watch.sample(clockMs(CLOCK_MONOTONIC), cpu))
                dropNow();
            std::this_thread::sleep_for(std::chrono::milliseconds(kSampleMs));
        }
    }).detach();
#endif
}

// IdlePageTrim: hands back the pages of code and constant data a process mapped from its libraries
// while it worked, once it has gone idle.
//
// A program on the web engine runs code from a library of some 140 MB; every page the start, a
// go-to or a paint touched stays in the process's page tables (with its neighbours, which the
// kernel maps on each fault), and counts as the process's memory until it ends, though the next
// go-to needs only a few of them. Once the process has used next to no processor time for a while
// after working (2 s when its start is over, 30 s later on: the reader is being read), the watcher
// drops its mappings of the read-only segments of its program and libraries (MADV_DONTNEED): the
// pages stay in the system's file cache, and a page the process touches again is mapped back at
// once from it. The first go-to after a drop maps back what it needs (a few ms, bench/README.md);
// the ones that follow it closely find it mapped. Nothing written is dropped.
//
// Linux only; elsewhere nothing is dropped. The watcher is one thread, started once per process.
#pragma once

#include <QtGlobal>

namespace IdlePageTrim {

// Drops this process's mappings of the read-only segments (code, constant data, symbol tables) of
// the program and every library the loader has loaded; returns the bytes of address space they
// span. The loader's lock is held meanwhile, so no library is unloaded under it; segments that
// are writable, or were written (relocated data), are not touched.
qint64 dropNow();

// Decides, from samples of the process's processor time, when it has gone idle after working:
// idle for a short while during its start, for a long while afterwards.
class IdleWatch {
public:
    // Idle: no sample interval used more than `busyMs` of processor time for `startIdleMs` within
    // `startMs` of the first sample, for `laterIdleMs` afterwards.
    IdleWatch(qint64 busyMs, qint64 startMs, qint64 startIdleMs, qint64 laterIdleMs);
    // Takes a sample (a monotonic clock and the process's processor time, both in ms) and says
    // whether to drop now: once after each spell of work, when the idle time has passed. The first
    // sample counts as work (the process's start).
    bool sample(qint64 nowMs, qint64 cpuMs);

private:
    qint64 m_busyMs;
    qint64 m_startMs;
    qint64 m_startIdleMs;
    qint64 m_laterIdleMs;
    qint64 m_firstNow = -1;
    qint64 m_lastCpu = 0;
    qint64 m_lastBusy = 0;
    bool m_workedSinceDrop = true;
};

// Starts the watcher thread of this process (a second call does nothing): a sample every 500 ms,
// a drop after 2 s with under 10 ms of processor time in every interval in the first minute, after
// 30 s later on.
void start();

}  // namespace IdlePageTrim

// ProcessTree: the child processes a program started (the web engine's renderers, its GPU and
// utility processes, its zygote) and the memory they hold, read from /proc. Used to report how
// many renderer processes the reader runs and what the whole tree costs.
//
// Linux only; elsewhere every figure is 0. Any thread.
#pragma once

#include <QtGlobal>

namespace ProcessTree {

struct Summary {
    int processes = 0;     // the process itself and every descendant
    int renderers = 0;     // descendants started as web renderers (--type=renderer)
    qint64 rssKiB = 0;     // resident memory of them all (shared pages counted in each)
    qint64 pssKiB = 0;     // proportional set size of them all (shared pages divided among them)
    qint64 ussKiB = 0;     // pages of them all that no other process maps (private clean and dirty)
    qint64 ownRssKiB = 0;  // resident memory of the process itself
    qint64 ownPssKiB = 0;  // its proportional set size
    qint64 ownUssKiB = 0;  // its unique pages
    // Web-engine processes (QtWebEngineProcess) running outside the tree: pages of the engine's
    // code that they map too are divided with them in the PSS figures, which then fall.
    int otherEngineProcesses = 0;
};

// The process `pid` (0: this one) and its descendants.
Summary summarize(qint64 pid = 0);

// The bytes this process's allocator hands out now (malloc's in-use total); 0 where unknown.
qint64 heapInUseKiB();

}  // namespace ProcessTree

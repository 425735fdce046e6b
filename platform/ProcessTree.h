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
    qint64 ownRssKiB = 0;  // resident memory of the process itself
};

// The process `pid` (0: this one) and its descendants.
Summary summarize(qint64 pid = 0);

}  // namespace ProcessTree

#include "platform/ProcessTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QSet>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

QByteArray readProcFile(qint64 pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The parent of a process: the fourth field of its stat line, after the name in parentheses
// (which may itself hold spaces and parentheses).
qint64 parentOf(qint64 pid)
{
    const QByteArray stat = readProcFile(pid, "stat");
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : -1;
}

// A "Name:   1234 kB" line of a status or smaps file.
qint64 kilobytes(const QByteArray& text, const QByteArray& name)
{
    for (const QByteArray& line : text.split('\n'))
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// The web engine's process program (the kernel keeps 15 bytes of the name).
bool isEngineProgram(const QByteArray& comm)
{
    return comm == "QtWebEngineProc";
}

QList<QByteArray> argumentsOf(qint64 pid)
{
    return readProcFile(pid, "cmdline").split('\0');
}

// A web renderer: started as one, or forked by the web engine's zygote (whose command line a
// forked process keeps). The zygote without a sandbox of its own starts the engine's helper
// processes, not renderers.
bool isRenderer(qint64 pid)
{
    const QList<QByteArray> own = argumentsOf(pid);
    if (own.contains("--type=renderer"))
        return true;
    if (!own.contains("--type=zygote"))
        return false;
    const QList<QByteArray> parent = argumentsOf(parentOf(pid));
    return parent.contains("--type=zygote") && !parent.contains("--no-zygote-sandbox");
}

}  // namespace

ProcessTree::Summary ProcessTree::summarize(qint64 pid)
{
    Summary summary;
    if (pid == 0)
        pid = QCoreApplication::applicationPid();
    QHash<qint64, QList<qint64>> children;
    QList<qint64> all;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const qint64 p = entry.toLongLong(&ok);
        if (ok) {
            children[parentOf(p)].append(p);
            all.append(p);
        }
    }
    QSet<qint64> inTree;
    QList<qint64> pending {pid};
    while (!pending.isEmpty()) {
        const qint64 p = pending.takeLast();
        const QByteArray status = readProcFile(p, "status");
        if (status.isEmpty())
            continue;  // gone meanwhile
        inTree.insert(p);
        ++summary.processes;
        const qint64 rss = kilobytes(status, "VmRSS:");
        const QByteArray rollup = readProcFile(p, "smaps_rollup");
        const qint64 pss = kilobytes(rollup, "Pss:");
        const qint64 uss = kilobytes(rollup, "Private_Clean:") + kilobytes(rollup, "Private_Dirty:");
        summary.rssKiB += rss;
        summary.pssKiB += pss;
        summary.ussKiB += uss;
        if (p == pid) {
            summary.ownRssKiB = rss;
            summary.ownPssKiB = pss;
            summary.ownUssKiB = uss;
        } else if (isRenderer(p)) {
            ++summary.renderers;
        }
        pending += children.value(p);
    }
    for (const qint64 p : all)
        if (!inTree.contains(p) && isEngineProgram(readProcFile(p, "comm").trimmed()))
            ++summary.otherEngineProcesses;
    return summary;
}

qint64 ProcessTree::heapInUseKiB()
{
#if defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return static_cast<qint64>((info.uordblks + info.hblkhd) / 1024);
#else
    return 0;
#endif
}

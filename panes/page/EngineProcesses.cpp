#include "panes/page/EngineProcesses.h"

#include <QList>
#include <QtGlobal>

namespace {

bool namesFlag(const QByteArray& flags, const QByteArray& flag)
{
    const QList<QByteArray> words = flags.simplified().split(' ');
    for (const QByteArray& word : words)
        if (word == flag || word.startsWith(flag + '='))
            return true;
    return false;
}

}  // namespace

bool EngineProcesses::sandboxOff(const QByteArray& flags, const QByteArray& disableSandbox)
{
    const QByteArray value = disableSandbox.trimmed();
    return namesFlag(flags, "--no-sandbox") || (!value.isEmpty() && value != "0");
}

QByteArray EngineProcesses::withProcessFlags(const QByteArray& flags, const QByteArray& disableSandbox)
{
    if (!sandboxOff(flags, disableSandbox) || namesFlag(flags, "--no-zygote") || namesFlag(flags, "--single-process"))
        return flags;
    return (flags.trimmed() + " --no-zygote").trimmed();
}

void EngineProcesses::apply()
{
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const QByteArray changed = withProcessFlags(flags, qgetenv("QTWEBENGINE_DISABLE_SANDBOX"));
    if (changed != flags)
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", changed);
}

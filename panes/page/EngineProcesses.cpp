#include "panes/page/EngineProcesses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

QString EngineProcesses::engineProgramFor(const QString& readerPath)
{
    const QDir folder = QFileInfo(readerPath).absoluteDir();
    for (const QString& candidate : {folder.filePath(QStringLiteral("quillstead-engine")),
             folder.filePath(QStringLiteral("../libexec/quillstead/quillstead-engine"))}) {
        const QFileInfo program(candidate);
        if (program.isFile() && program.isExecutable())
            return QDir::cleanPath(program.absoluteFilePath());
    }
    return {};
}

void EngineProcesses::apply()
{
    if (qEnvironmentVariableIsEmpty("QTWEBENGINEPROCESS_PATH")) {
        const QString engine = engineProgramFor(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget());
        if (!engine.isEmpty())
            qputenv("QTWEBENGINEPROCESS_PATH", QFile::encodeName(engine));
    }
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const QByteArray changed = withProcessFlags(flags, qgetenv("QTWEBENGINE_DISABLE_SANDBOX"));
    if (changed != flags)
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", changed);
}

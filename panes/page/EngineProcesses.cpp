#include "panes/page/EngineProcesses.h"

#include "panes/page/BookPageScheme.h"
#include "platform/StartupEnvironment.h"

#include <QtGlobal>

namespace {

bool namesFlag(const QList<QByteArray>& flags, const QByteArray& flag)
{
    for (const QByteArray& word : flags)
        if (word == flag || word.startsWith(flag + '='))
            return true;
    return false;
}

}  // namespace

bool EngineProcesses::sandboxOff(const QList<QByteArray>& flags, const QByteArray& disableSandbox)
{
    const QByteArray value = disableSandbox.trimmed();
    return namesFlag(flags, "--no-sandbox") || (!value.isEmpty() && value != "0");
}

QList<QByteArray> EngineProcesses::withProcessFlags(QList<QByteArray> flags, const QByteArray& disableSandbox)
{
    const bool single = namesFlag(flags, "--single-process");
    if (!single && !namesFlag(flags, kProcessModelFlag) && !namesFlag(flags, "--site-per-process"))
        flags.append(kProcessModelFlag);
    // With the sandbox on the engine refuses --no-zygote.
    if (sandboxOff(flags, disableSandbox) && !single && !namesFlag(flags, "--no-zygote"))
        flags.append("--no-zygote");
    return flags;
}

QList<QByteArray> EngineProcesses::splitFlags(const QByteArray& text)
{
    QList<QByteArray> flags;
    QByteArray current;
    bool quoted = false;
    bool any = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (any)
                flags.append(current);
            current.clear();
            any = false;
        } else {
            current.append(c);
            any = true;
        }
    }
    if (any)
        flags.append(current);
    return flags;
}

QList<QByteArray> EngineProcesses::applicationArguments(const QList<QByteArray>& arguments,
    const QByteArray& variableFlags, bool variableSet, const QByteArray& disableSandbox)
{
    QList<QByteArray> own;
    QList<QByteArray> given;
    bool engine = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        // The engine compares the mark without regard to case.
        if (i > 0 && !engine && arguments[i].compare(kEngineArgumentsMark, Qt::CaseInsensitive) == 0)
            engine = true;
        else
            (engine ? given : own).append(arguments[i]);
    }
    // The variable wins over the arguments, as it does when the engine reads both.
    const QList<QByteArray> user = variableSet ? splitFlags(variableFlags) : given;
    return own + QList<QByteArray> {kEngineArgumentsMark} + withProcessFlags(user, disableSandbox);
}

QStringList EngineProcesses::programArguments(const QStringList& arguments)
{
    QStringList own;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (i > 0 && arguments[i].compare(QLatin1String(kEngineArgumentsMark), Qt::CaseInsensitive) == 0)
            break;
        own.append(arguments[i]);
    }
    return own;
}

EngineProcesses::Arguments::Arguments(int argc, char** argv)
{
    QList<QByteArray> given;
    for (int i = 0; i < argc; ++i)
        given.append(QByteArray(argv[i]));
    const bool variableSet = qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS");
    m_storage = applicationArguments(
        given, qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), variableSet, qgetenv("QTWEBENGINE_DISABLE_SANDBOX"));
    if (variableSet)
        StartupEnvironment::unset("QTWEBENGINE_CHROMIUM_FLAGS");
    for (QByteArray& argument : m_storage)
        m_pointers.push_back(argument.data());
    m_argc = int(m_storage.size());
    m_pointers.push_back(nullptr);
}

void EngineProcesses::started()
{
    BookPageScheme::profile();  // the engine's context, which reads its flags from the arguments
    StartupEnvironment::restore();
}

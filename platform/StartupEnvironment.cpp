#include "platform/StartupEnvironment.h"

#include <QMap>
#include <QtGlobal>

#include <optional>

namespace StartupEnvironment {

namespace {

// The user's value of every variable touched; nullopt for one that was not set.
QMap<QByteArray, std::optional<QByteArray>>& saved()
{
    static QMap<QByteArray, std::optional<QByteArray>> values;
    return values;
}

void remember(const char* name)
{
    const QByteArray key(name);
    if (saved().contains(key))
        return;
    saved().insert(key, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
}

}  // namespace

void set(const char* name, const QByteArray& value)
{
    remember(name);
    qputenv(name, value);
}

void unset(const char* name)
{
    remember(name);
    qunsetenv(name);
}

QByteArray original(const char* name)
{
    const auto it = saved().constFind(QByteArray(name));
    if (it == saved().constEnd())
        return qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray();
    return it->value_or(QByteArray());
}

bool pending()
{
    return !saved().isEmpty();
}

void restore()
{
    for (auto it = saved().constBegin(); it != saved().constEnd(); ++it) {
        if (it.value())
            qputenv(it.key().constData(), *it.value());
        else
            qunsetenv(it.key().constData());
    }
    saved().clear();
}

}  // namespace StartupEnvironment

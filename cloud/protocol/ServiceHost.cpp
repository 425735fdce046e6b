#include "cloud/protocol/ServiceHost.h"

#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QUrlQuery>

namespace qs::cloud {

ServiceHost::ServiceHost() : m_webBase(QStringLiteral("http://%1:%2/").arg(kLoopbackHost).arg(kDefaultHttpPort))
{
}

QString ServiceHost::defaultSetting()
{
    return QStringLiteral("http://%1:%2/?sync=%3").arg(kLoopbackHost).arg(kDefaultHttpPort).arg(kDefaultSyncPort);
}

ServiceHost ServiceHost::fromSetting(const QString& text, bool* isValid)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    bool ok = url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
        !url.host().isEmpty() && url.userInfo().isEmpty();
    quint16 syncPort = kProtocolSyncPort;
    if (ok) {
        const QUrlQuery query(url);
        if (query.hasQueryItem(QStringLiteral("sync"))) {
            const uint port = query.queryItemValue(QStringLiteral("sync")).toUInt(&ok);
            ok = ok && port > 0 && port <= 65535;
            syncPort = static_cast<quint16>(port);
        }
    }
    if (isValid)
        *isValid = ok;
    if (!ok)
        return ServiceHost();
    ServiceHost host;
    QUrl base = url;
    base.setQuery(QString());
    base.setFragment(QString());
    QString path = base.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    base.setPath(path);
    host.m_webBase = base;
    host.m_syncPort = syncPort;
    return host;
}

QUrl ServiceHost::url(const QString& path) const
{
    return m_webBase.resolved(QUrl(path));
}

ServiceHost ServiceHost::fromDefaults(const UserDefaults& defaults)
{
    return fromSetting(defaults.value(SettingsKeys::ServiceHostAddress));
}

void ServiceHost::registerDefault(UserDefaults& defaults)
{
    defaults.registerDefaults({{SettingsKeys::ServiceHostAddress.name, defaultSetting()}});
}

}  // namespace qs::cloud

// ServiceHost: where the reader finds the maker's online services, from one setting.
//
// The setting "serviceHost" holds the web host's base address; the sync server is on the same host,
// at the port of the query item "sync" (the protocol's port 3000 when there is none):
//   "http://127.0.0.1:17380/?sync=17300"     the local stand-in (qs-standin), the default
//   "https://services.example.org/"          a real host: HTTPS, sync on port 3000
// Paths below the base: the web script "mac/booklist.asp", the update feed "mac/QuillsteadUpdate.xml",
// the store pages "MacStore/" and JSON services.
//
// The application registers the default once at start-up (registerDefault); clients read the
// current value with fromDefaults. Threads: a value type; reading defaults follows UserDefaults.
#pragma once

#include <QString>
#include <QUrl>

class UserDefaults;

namespace qs::cloud {

class ServiceHost {
public:
    static constexpr char kLoopbackHost[] = "127.0.0.1";
    static constexpr quint16 kDefaultHttpPort = 17380;
    static constexpr quint16 kDefaultSyncPort = 17300;
    static constexpr quint16 kProtocolSyncPort = 3000;

    // The local stand-in on the default ports.
    ServiceHost();
    // Reads a setting's text; an address that is not an absolute http or https URL with a host, or
    // a sync port that is no port number, gives the default (isValid tells which happened).
    static ServiceHost fromSetting(const QString& text, bool* isValid = nullptr);
    static ServiceHost fromDefaults(const UserDefaults& defaults);
    static void registerDefault(UserDefaults& defaults);
    static QString defaultSetting();

    // The address of a path below the base ("mac/booklist.asp").
    QUrl url(const QString& path) const;
    QUrl webScriptUrl() const { return url(QStringLiteral("mac/booklist.asp")); }
    QUrl updateFeedUrl() const { return url(QStringLiteral("mac/QuillsteadUpdate.xml")); }
    QUrl storeUrl() const { return url(QStringLiteral("MacStore/")); }
    QString syncHostName() const { return m_webBase.host(); }
    quint16 syncPort() const { return m_syncPort; }

    bool operator==(const ServiceHost& other) const
    {
        return m_webBase == other.m_webBase && m_syncPort == other.m_syncPort;
    }

private:
    QUrl m_webBase;
    quint16 m_syncPort = kDefaultSyncPort;
};

}  // namespace qs::cloud

// RCHTTPClient: sends one JSON request to the maker's web host and hands back the HTTP status and the
// parsed JSON reply. It stands ready for the web host's JSON services; the host is the configured
// service host (the "serviceHost" default) unless one is given.
//
// Headers: "content-type: application/json", "X-Version", "X-Platform: MacOS", "X-Platform-Version";
// the caller's headers win for the same name. A transfer that fails without an HTTP reply yields
// status 599. A reply that is not JSON yields the real status, no object and the parse error.
//
// Threads: use from the thread that made the client (the handler runs there, from its event loop).
#pragma once

#include <QJsonDocument>
#include <QMap>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <optional>

namespace qs::cloud {

class RCHTTPClient : public QObject {
    Q_OBJECT
public:
    struct Error {
        QString domain;
        int code = 0;
        QString description;
    };
    // (status, parsed JSON or nothing, error or nothing)
    using Handler = std::function<void(int, std::optional<QJsonDocument>, std::optional<Error>)>;

    static constexpr int kNoReplyStatus = 599;
    // Replies larger than this are cut off and reported as not JSON.
    static constexpr qint64 kMaxReplyBytes = 16 * 1024 * 1024;

    // `base`: the web host's address that request paths are taken below.
    explicit RCHTTPClient(const QUrl& base, QObject* parent = nullptr);

    QUrl base() const { return m_base; }

    // `method` "GET" or "POST"; `body` only with POST (a JSON object or array). Requests that break
    // these rules are not sent: the handler gets 599 and an error "Invalid parameter not satisfying".
    void performRequest(const QString& method, const QString& path, const QVariant& body,
        const QMap<QString, QString>& headers, Handler handler);

private:
    QUrl m_base;
    QNetworkAccessManager m_network;
};

}  // namespace qs::cloud

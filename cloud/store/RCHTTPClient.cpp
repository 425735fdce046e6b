#include "cloud/store/RCHTTPClient.h"

#include "platform/AppVersion.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkReply>
#include <QSysInfo>

namespace qs::cloud {

RCHTTPClient::RCHTTPClient(const QUrl& base, QObject* parent) : QObject(parent), m_base(base)
{
    m_network.setAutoDeleteReplies(false);
}

void RCHTTPClient::performRequest(const QString& method, const QString& path, const QVariant& body,
    const QMap<QString, QString>& headers, Handler handler)
{
    const auto invalid = [&](const char* condition) {
        qWarning() << "Invalid parameter not satisfying:" << condition;
        if (handler)
            handler(kNoReplyStatus, std::nullopt,
                Error {QStringLiteral("RCHTTPClient"), 1,
                    QStringLiteral("Invalid parameter not satisfying: %1").arg(QLatin1String(condition))});
    };
    if (method != QLatin1String("GET") && method != QLatin1String("POST"))
        return invalid("[method isEqualToString:@\"GET\"] || [method isEqualToString:@\"POST\"]");
    if (method == QLatin1String("GET") && body.isValid())
        return invalid("!body || ![method isEqualToString:@\"GET\"]");

    QString basePath = m_base.path();
    if (!basePath.endsWith(QLatin1Char('/')))
        basePath += QLatin1Char('/');
    QString relative = path;
    while (relative.startsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    QUrl url = m_base;
    url.setQuery(QString());
    url.setFragment(QString());
    const qsizetype q = relative.indexOf(QLatin1Char('?'));
    url.setPath(basePath + (q < 0 ? relative : relative.left(q)));
    if (q >= 0)
        url.setQuery(relative.mid(q + 1));

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(60000);
    QMap<QString, QString> all {
        {QStringLiteral("content-type"), QStringLiteral("application/json")},
        {QStringLiteral("X-Version"), AppVersion::version()},
        {QStringLiteral("X-Platform"), QStringLiteral("MacOS")},
        {QStringLiteral("X-Platform-Version"), QSysInfo::productVersion()},
    };
    for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
        for (auto e = all.begin(); e != all.end();)  // header names ignore case
            e = e.key().compare(it.key(), Qt::CaseInsensitive) == 0 ? all.erase(e) : std::next(e);
        all.insert(it.key(), it.value());
    }
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        request.setRawHeader(it.key().toUtf8(), it.value().toUtf8());

    QNetworkReply* reply = nullptr;
    if (method == QLatin1String("POST")) {
        QByteArray data;
        const QJsonValue json = QJsonValue::fromVariant(body);
        if (json.isObject())
            data = QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact);
        else if (json.isArray())
            data = QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact);
        else if (body.isValid())
            qWarning() << "JSON object is invalid";
        reply = m_network.post(request, data);
    } else {
        reply = m_network.get(request);
    }
    connect(reply, &QNetworkReply::readyRead, reply, [reply] {
        if (reply->bytesAvailable() > kMaxReplyBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [reply, handler] {
        reply->deleteLater();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid()) {
            if (handler)
                handler(kNoReplyStatus, std::nullopt,
                    Error {QStringLiteral("QNetworkReply"), int(reply->error()), reply->errorString()});
            return;
        }
        const QByteArray data = reply->readAll();
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(data, &parseError);
        if (parseError.error != QJsonParseError::NoError) {
            qWarning().noquote() << "Error parsing JSON" << parseError.errorString();
            qWarning().noquote() << "Data received:" << QString::fromUtf8(data.left(4096));
            if (handler)
                handler(status.toInt(), std::nullopt,
                    Error {QStringLiteral("QJsonParseError"), int(parseError.error), parseError.errorString()});
            return;
        }
        if (handler)
            handler(status.toInt(), doc, std::nullopt);
    });
}

}  // namespace qs::cloud

#include "cloud/store/WebScriptService.h"

#include "cloud/protocol/ServiceHost.h"
#include "cloud/protocol/WebScriptQuery.h"
#include "library/EngineStrings.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>

namespace qs::cloud {

QVariantMap StoreError::toUserInfo() const
{
    return {
        {QStringLiteral("NSLocalizedDescription"), description},
        {QStringLiteral("NSLocalizedFailureReason"), reason},
        {QStringLiteral("NSLocalizedRecoverySuggestion"), suggestion},
        {QStringLiteral("domain"), domain},
        {QStringLiteral("code"), code},
    };
}

StoreError StoreError::fromUserInfo(const QVariantMap& userInfo)
{
    StoreError e;
    e.description = userInfo.value(QStringLiteral("NSLocalizedDescription")).toString();
    e.reason = userInfo.value(QStringLiteral("NSLocalizedFailureReason")).toString();
    e.suggestion = userInfo.value(QStringLiteral("NSLocalizedRecoverySuggestion")).toString();
    if (userInfo.contains(QStringLiteral("domain")))
        e.domain = userInfo.value(QStringLiteral("domain")).toString();
    if (userInfo.contains(QStringLiteral("code")))
        e.code = userInfo.value(QStringLiteral("code")).toInt();
    return e;
}

namespace WebScriptService {

QUrl defaultScriptUrl(const UserDefaults& defaults)
{
    return ServiceHost::fromDefaults(defaults).webScriptUrl();
}

QNetworkRequest request(const QUrl& base, const QString& clearQuery, bool plain)
{
    QNetworkRequest r(QUrl(webScriptRequestUrl(base.toString(), clearQuery, plain)));
    r.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    r.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    r.setTransferTimeout(kTimeoutMs);
    return r;
}

bool isSuccessStatus(qint64 status)
{
    return status >= 200 && status <= 299;
}

std::optional<StoreError> replyFailure(const QNetworkReply& reply, qint64 status, const StoreError& problem)
{
    if (!reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() &&
        reply.error() != QNetworkReply::NoError) {
        StoreError e;
        e.domain = QStringLiteral("QNetworkReply");
        e.code = int(reply.error());
        e.description = reply.errorString();
        return e;
    }
    if (!isSuccessStatus(status)) {
        StoreError e = problem;
        e.reason = QCoreApplication::translate("WebScriptService", "The server returned failure code %1.").arg(status);
        return e;
    }
    return std::nullopt;
}

std::optional<QString> errorText(const QString& reply)
{
    static const QString open = QStringLiteral("<error>");
    static const QString close = QStringLiteral("</error>");
    const qsizetype start = reply.indexOf(open, 0, Qt::CaseInsensitive);
    if (start < 0)
        return std::nullopt;
    const qsizetype from = start + open.size();
    const qsizetype end = reply.indexOf(close, from, Qt::CaseInsensitive);
    return reply.mid(from, end < 0 ? -1 : end - from);
}

QString decodeWindows1252(const QByteArray& bytes)
{
    return EngineStrings::fromWindows1252(bytes.constData(), int(bytes.size()));
}

bool isSafeFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name.contains(QLatin1String("..")) ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return false;
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

}  // namespace WebScriptService

}  // namespace qs::cloud

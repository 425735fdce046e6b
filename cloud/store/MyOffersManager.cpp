#include "cloud/store/MyOffersManager.h"

#include "cloud/protocol/WebScriptQuery.h"
#include "cloud/store/StoreCredentials.h"
#include "cloud/store/StoreNotifications.h"
#include "cloud/store/WebScriptService.h"
#include "library/XMLParser.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkReply>
#include <QTimeZone>

namespace qs::cloud {

namespace {
const QString kOffer = QStringLiteral("offer");

QVariantList offersOf(const QVariantMap& dictionary)
{
    const QVariant v = dictionary.value(kOffer);
    if (v.typeId() == QMetaType::QVariantList)
        return v.toList();
    if (v.typeId() == QMetaType::QVariantMap)
        return {v};
    return {};
}

}  // namespace

MyOffersManager::MyOffersManager(
    UserDefaults& defaults, NotificationCenter& center, const QUrl& script, const QString& version, QObject* parent)
    : QObject(parent), m_defaults(defaults), m_center(center), m_script(script), m_version(version)
{
    m_inputBuffer.reserve(1024);
}

MyOffersManager::~MyOffersManager()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

QDateTime MyOffersManager::parseExpiry(const QString& text)
{
    QDateTime d = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-M-d H:m:s.zzz"));
    if (d.isValid()) {
        const QTimeZone chicago("America/Chicago");
        d.setTimeZone(chicago.isValid() ? chicago : QTimeZone::utc());
    }
    return d;
}

void MyOffersManager::refresh(bool force)
{
    if (m_isRefreshing)
        return;
    if (!m_defaults.value(SettingsKeys::CredentialsValid)) {
        m_defaults.remove(SettingsKeys::MyOffersLastChecked);
        m_defaults.remove(SettingsKeys::MyOffersDictionary);
        return;
    }
    const QDateTime last = m_defaults.value(SettingsKeys::MyOffersLastChecked);
    if (!last.isValid()) {
        m_defaults.set(SettingsKeys::MyOffersLastChecked, QDateTime::currentDateTimeUtc());
        return;
    }
    if (!force && last.secsTo(QDateTime::currentDateTimeUtc()) < m_defaults.value(SettingsKeys::MyOffersInterval))
        return;
    const WebScriptCaller caller = StoreCredentials::caller(m_defaults, m_version);
    const QString query =
        WebScriptQueries::offers(caller, WebScriptQueries::randomQueryNumber(), WebScriptQueries::randomQueryNumber());
    const QUrl base = m_script.isEmpty() ? WebScriptService::defaultScriptUrl(m_defaults) : m_script;
    m_reply = m_network.get(WebScriptService::request(base, query));
    m_isRefreshing = true;
    m_inputBuffer.clear();
    m_httpResponseStatus = 0;
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        if (!m_reply)
            return;
        const QByteArray chunk = m_reply->readAll();
        if (m_inputBuffer.size() + chunk.size() > kMaxReplyChars) {
            m_reply->abort();
            return;
        }
        m_inputBuffer += WebScriptService::decodeWindows1252(chunk);
    });
    connect(m_reply, &QNetworkReply::finished, this, &MyOffersManager::onFinished);
}

void MyOffersManager::logFailure(const QString& description, const QString& reason, const QString& suggestion) const
{
    qWarning().noquote() << "MyOffersManager connection:didFailWithError" << description << reason << suggestion
                         << "unprocessed text:" << m_inputBuffer.left(2000);
}

void MyOffersManager::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    if (reply->bytesAvailable() > 0 && m_inputBuffer.size() + reply->bytesAvailable() <= kMaxReplyChars)
        m_inputBuffer += WebScriptService::decodeWindows1252(reply->readAll());
    m_reply = nullptr;
    reply->deleteLater();
    m_isRefreshing = false;
    const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QString tryLater = tr("Try again later. If the problem persists, contact Technical Support.");
    const QString problem = tr("There was a problem updating your list of special offers.");
    if (!statusValue.isValid()) {
        logFailure(reply->errorString(), QString(), QString());
        return;
    }
    m_httpResponseStatus = statusValue.toLongLong();
    if (reply->error() != QNetworkReply::NoError && WebScriptService::isSuccessStatus(m_httpResponseStatus)) {
        logFailure(problem, reply->errorString(), tryLater);  // cut short or too large
        return;
    }
    QString rest = m_inputBuffer.trimmed();
    std::optional<QVariantMap> parsed;
    if (rest.startsWith(QLatin1Char('<')) && !rest.startsWith(QLatin1String("<error>"), Qt::CaseInsensitive)) {
        QString attempt = rest;
        parsed = XMLParser::dictionaryFromXML(attempt);
        if (parsed)
            rest = attempt;
    }
    const std::optional<QString> error = WebScriptService::errorText(rest);
    if (!WebScriptService::isSuccessStatus(m_httpResponseStatus)) {
        logFailure(problem, tr("The Tavrosen server returned failure code %1.").arg(m_httpResponseStatus), tryLater);
        return;
    }
    if (error) {
        logFailure(*error, tr("The Tavrosen server returned status code %1.").arg(m_httpResponseStatus), tryLater);
        return;
    }
    if (!rest.trimmed().isEmpty()) {
        logFailure(problem,
            tr("The Tavrosen server returned status code %1 and unexpected data.").arg(m_httpResponseStatus), tryLater);
        return;
    }
    QVariantMap replyMap = parsed.value_or(QVariantMap());
    if (replyMap.value(kOffer).typeId() == QMetaType::QVariantMap)
        replyMap.insert(kOffer, QVariantList {replyMap.value(kOffer)});
    const bool isNew = containsNewOffers(replyMap, m_defaults.value(SettingsKeys::MyOffersDictionary));
    if (!replyMap.isEmpty())
        m_defaults.set(SettingsKeys::MyOffersDictionary, replyMap);
    else
        m_defaults.remove(SettingsKeys::MyOffersDictionary);
    m_defaults.set(SettingsKeys::MyOffersLastChecked, QDateTime::currentDateTimeUtc());
    if (isNew)
        m_center.postNotificationName(StoreNotifications::MyOffersManagerHasNewOffers);
}

bool MyOffersManager::containsNewOffers(const QVariantMap& reply, const QVariantMap& stored)
{
    if (reply.isEmpty())
        return false;
    if (stored.isEmpty())
        return true;
    const QVariantList known = offersOf(stored);
    if (known.isEmpty())
        return true;
    for (const QVariant& offer : offersOf(reply)) {
        const QString code = offer.toMap().value(QStringLiteral("priority_code")).toString();
        const bool seen = std::any_of(known.cbegin(), known.cend(),
            [&](const QVariant& k) { return k.toMap().value(QStringLiteral("priority_code")).toString() == code; });
        if (!seen)
            return true;
    }
    return false;
}

void MyOffersManager::removeExpiredOffers()
{
    const QVariantMap stored = m_defaults.value(SettingsKeys::MyOffersDictionary);
    const QVariantList offers = offersOf(stored);
    QVariantList kept;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QVariant& offer : offers) {
        const QDateTime expires = parseExpiry(offer.toMap().value(QStringLiteral("expires")).toString());
        if (!expires.isValid() || expires >= now)
            kept.append(offer);
    }
    if (kept.size() == offers.size())
        return;
    if (kept.isEmpty())
        m_defaults.remove(SettingsKeys::MyOffersDictionary);
    else
        m_defaults.set(SettingsKeys::MyOffersDictionary, QVariantMap {{kOffer, kept}});
}

bool MyOffersManager::hasOffers()
{
    if (!m_defaults.value(SettingsKeys::CredentialsValid)) {
        m_defaults.remove(SettingsKeys::MyOffersLastChecked);
        m_defaults.remove(SettingsKeys::MyOffersDictionary);
        return false;
    }
    removeExpiredOffers();
    return m_defaults.hasStoredValue(SettingsKeys::MyOffersDictionary);
}

}  // namespace qs::cloud

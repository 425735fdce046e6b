#include "cloud/account/CustomerAccount.h"

#include "cloud/protocol/ServiceHost.h"
#include "cloud/protocol/WebScriptQuery.h"
#include "library/EngineStrings.h"
#include "library/JavaScript.h"
#include "library/XMLParser.h"
#include "platform/AppVersion.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace qs::cloud {

namespace {
const QString kUnexpected =
    QStringLiteral("Unexpected response from server. If this problem persists, contact technical support.");
const QString kNilResponse = QStringLiteral(
    "Unknown error. Server returned a nil response. If this problem persists, contact technical support.");

QVariantMap parseReply(const QString& body)
{
    // html-safe: XML read by the parser, never shown
    QString wrapped = QStringLiteral("<xml>%1</xml>").arg(body);
    return XMLParser::dictionaryFromXML(wrapped).value_or(QVariantMap());
}
QString text(const QVariant& v)
{
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}
}  // namespace

CustomerAccount::CustomerAccount(const UserDefaults& defaults, QObject* parent)
    : QObject(parent),
      m_network(new QNetworkAccessManager(this)),
      m_url(ServiceHost::fromDefaults(defaults).webScriptUrl()),
      m_productId(QStringLiteral("QS-MAC")),
      m_version(AppVersion::version())
{
}

CustomerAccount::~CustomerAccount()
{
    if (m_reply)
        m_reply->abort();
}

AccountResult CustomerAccount::transportFailure(const QString& description)
{
    AccountResult r;
    r.error = QStringLiteral("System reported error: %1").arg(description);
    return r;
}

AccountResult CustomerAccount::readLoginReply(const QString& body, const QString& customerId, const QString& password)
{
    AccountResult r;
    if (body.isEmpty()) {
        r.error = kNilResponse;
        return r;
    }
    const QVariantMap reply = parseReply(body);
    if (body.contains(QLatin1String("<error>"))) {
        r.error = QStringLiteral("Error from server: %1").arg(text(reply.value(QStringLiteral("error"))));
        return r;
    }
    const QVariantMap customer =
        reply.value(QStringLiteral("results")).toMap().value(QStringLiteral("customer")).toMap();
    if (customer.isEmpty()) {
        r.error = kUnexpected;
        return r;
    }
    r.customerIDNum = text(customer.value(QStringLiteral("customerid")));
    r.customerID = customerId;
    r.password = password;
    r.firstName = text(customer.value(QStringLiteral("firstname")));
    r.lastName = text(customer.value(QStringLiteral("lastname")));
    return r;
}

AccountResult CustomerAccount::readResetReply(const QString& body)
{
    AccountResult r;
    if (body.isEmpty()) {
        r.error = kNilResponse;
        return r;
    }
    const QVariantMap reply = parseReply(body);
    if (body.contains(QLatin1String("<error>")))
        r.error = QStringLiteral("Error from server: %1").arg(text(reply.value(QStringLiteral("error"))));
    else if (reply.contains(QStringLiteral("success")))
        r.message = text(reply.value(QStringLiteral("success")));
    else
        r.error = kUnexpected;
    return r;
}

void CustomerAccount::logIn(const QString& customerId, const QString& password)
{
    const QString q =
        WebScriptQueries::logIn(customerId, password, m_productId, m_version, JavaScript::stringWithUniqueDeviceID(),
            WebScriptQueries::randomQueryNumber(), WebScriptQueries::randomQueryNumber());
    send(q, Kind::Login, customerId, password);
}

void CustomerAccount::createAccount(
    const QString& firstName, const QString& lastName, const QString& email, const QString& password)
{
    const QString q = WebScriptQueries::createAccount(email, password, firstName, lastName, m_productId, m_version,
        JavaScript::stringWithUniqueDeviceID(), WebScriptQueries::randomQueryNumber(),
        WebScriptQueries::randomQueryNumber());
    send(q, Kind::Create, email, password);
}

void CustomerAccount::resetPassword(const QString& customerIdText)
{
    const QString q = WebScriptQueries::resetPassword(customerIdText, m_version, JavaScript::stringWithUniqueDeviceID(),
        WebScriptQueries::randomQueryNumber(), WebScriptQueries::randomQueryNumber());
    send(q, Kind::Reset, customerIdText, QString());
}

void CustomerAccount::send(const QString& clearQuery, Kind kind, const QString& customerId, const QString& password)
{
    if (m_reply)
        m_reply->abort();
    m_kind = kind;
    m_customerId = customerId;
    m_password = password;
    QUrl url = m_url;
    url.setQuery(webScriptRequestQuery(clearQuery), QUrl::StrictMode);
    QNetworkRequest request(url);
    request.setTransferTimeout(kTimeoutMs);
    m_reply = m_network->get(request);
    QNetworkReply* reply = m_reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > kMaxReplyBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, &CustomerAccount::replyFinished);
}

void CustomerAccount::replyFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_reply = nullptr;
    reply->deleteLater();
    AccountResult result;
    if (reply->error() != QNetworkReply::NoError && reply->error() < QNetworkReply::ContentAccessDenied) {
        // Transport failures; an HTTP status with a body is read like any other reply.
        result = transportFailure(reply->errorString());
    } else {
        const QByteArray bytes = reply->read(kMaxReplyBytes + 1);
        if (bytes.size() > kMaxReplyBytes) {
            result.error = kUnexpected;
        } else {
            const QString body = EngineStrings::fromWindows1252(bytes.constData(), int(bytes.size()));
            result = m_kind == Kind::Reset ? readResetReply(body) : readLoginReply(body, m_customerId, m_password);
        }
    }
    m_password.clear();
    // Reported from the event loop, not inside the reply's signal: whoever reads the result may ask
    // the user (an alert runs a loop of its own).
    QMetaObject::invokeMethod(
        this, [this, result] { emit finished(result); }, Qt::QueuedConnection);
}

}  // namespace qs::cloud

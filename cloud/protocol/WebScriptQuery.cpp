#include "cloud/protocol/WebScriptQuery.h"

#include "cloud/protocol/ScrambledText.h"

#include <QRandomGenerator>
#include <QUrl>

namespace qs::cloud {

namespace {

// The query-safe characters besides letters, digits and "-._~", less "?", "=" and "&".
const QByteArray kKeptPunctuation = QByteArrayLiteral("!$'()*+,/:;@");

QString number(quint32 n)
{
    return QString::number(n);
}

QString scrambledPassword(const QString& clearPassword)
{
    return scrambleText(clearPassword, ScramblePad::Default);
}

}  // namespace

QString urlEncodedQueryItemValue(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value, kKeptPunctuation));
}

QString urlDecodedQueryItemValue(const QString& value)
{
    return QUrl::fromPercentEncoding(value.toUtf8());
}

WebScriptQuery& WebScriptQuery::addRaw(const QString& key, const QString& rawValue)
{
    m_items.append({key, rawValue});
    return *this;
}

WebScriptQuery& WebScriptQuery::addEncoded(const QString& key, const QString& value)
{
    return addRaw(key, urlEncodedQueryItemValue(value));
}

QString WebScriptQuery::text() const
{
    QString out;
    for (const auto& [key, value] : m_items) {
        if (!out.isEmpty())
            out += QLatin1Char('&');
        out += key;
        out += QLatin1Char('=');
        out += value;
    }
    return out;
}

WebScriptQuery WebScriptQuery::parse(const QString& text)
{
    WebScriptQuery query;
    if (text.isEmpty())
        return query;
    for (const QString& part : text.split(QLatin1Char('&'))) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            query.addRaw(part, QString());
        else
            query.addRaw(part.left(eq), part.mid(eq + 1));
    }
    return query;
}

bool WebScriptQuery::contains(const QString& key) const
{
    for (const auto& item : m_items) {
        if (item.first == key)
            return true;
    }
    return false;
}

QString WebScriptQuery::rawValue(const QString& key) const
{
    for (const auto& item : m_items) {
        if (item.first == key)
            return item.second;
    }
    return QString();
}

QString WebScriptQuery::value(const QString& key) const
{
    return urlDecodedQueryItemValue(rawValue(key));
}

namespace WebScriptQueries {

quint32 randomQueryNumber()
{
    return QRandomGenerator::global()->bounded(9999u);
}

QString createAccount(const QString& email, const QString& clearPassword, const QString& firstName,
    const QString& lastName, const QString& productId, const QString& version, const QString& deviceId, quint32 r1,
    quint32 r2)
{
    WebScriptQuery q;
    q.addRaw("r1", number(r1)).addRaw("v0", "MacOS").addEncoded("v1", email);
    q.addRaw("v2", scrambledPassword(clearPassword)).addRaw("v3", kCreateAccount);
    q.addEncoded("v4", firstName).addEncoded("v5", lastName).addRaw("v6", productId);
    q.addEncoded("v7", version).addRaw("did", deviceId).addRaw("r2", number(r2));
    return q.text();
}

QString logIn(const QString& customerId, const QString& clearPassword, const QString& productId, const QString& version,
    const QString& deviceId, quint32 r1, quint32 r2)
{
    WebScriptQuery q;
    q.addRaw("r1", number(r1)).addRaw("v0", "MacOS").addEncoded("v1", customerId);
    q.addRaw("v2", scrambledPassword(clearPassword)).addRaw("v3", kLogIn).addRaw("v4", productId);
    q.addEncoded("v7", version).addRaw("did", deviceId).addRaw("r2", number(r2));
    return q.text();
}

QString resetPassword(
    const QString& customerIdText, const QString& version, const QString& deviceId, quint32 r1, quint32 r2)
{
    WebScriptQuery q;
    q.addRaw("r1", number(r1)).addRaw("v0", "MacOS").addEncoded("v1", customerIdText);
    q.addRaw("v3", kResetPassword).addEncoded("v7", version).addRaw("did", deviceId).addRaw("r2", number(r2));
    return q.text();
}

QString ownedBooks(const WebScriptCaller& caller, const QString& app, quint32 r1, quint32 r2)
{
    WebScriptQuery q;
    q.addRaw("r1", number(r1)).addEncoded("v0", caller.platform).addEncoded("v1", caller.customerId);
    q.addRaw("v2", scrambledPassword(caller.clearPassword)).addRaw("v3", kOwnedBooks);
    q.addEncoded("v7", caller.version).addRaw("free", "free").addRaw("upg", "upg");
    q.addRaw("did", caller.deviceId).addEncoded("app", app).addRaw("r2", number(r2));
    return q.text();
}

QString download(const WebScriptCaller& caller, const QString& action, const QString& fileName,
    const QString& serverTimeToken, const QString& app, quint32 r1, quint32 r2)
{
    WebScriptQuery q;
    q.addRaw("r1", number(r1)).addRaw("v0", caller.platform).addEncoded("v1", caller.customerId);
    q.addRaw("v2", scrambledPassword(caller.clearPassword)).addRaw("v3", action.isEmpty() ? kDownload : action);
    q.addEncoded("v4", fileName).addEncoded("v5", serverTimeToken).addEncoded("v7", caller.version);
    q.addRaw("did", caller.deviceId).addRaw("app", app).addRaw("r2", number(r2));
    return q.text();
}

QString cover(const QString& platform, const QString& identifier, const QString& size, bool png, quint32 r1, quint32 r2)
{
    WebScriptQuery q;
    q.addRaw("r1", number(r1)).addRaw("v0", platform).addRaw("v1", "x").addRaw("v2", "x").addRaw("v3", kCover);
    q.addRaw("v4", identifier).addRaw("v5", size).addRaw("v6", png ? QStringLiteral("png") : QString());
    q.addRaw("r2", number(r2));
    return q.text();
}

QString offers(const WebScriptCaller& caller, quint32 r1, quint32 r2)
{
    WebScriptQuery q;
    q.addRaw("r1", number(r1)).addRaw("v0", "MacOS").addEncoded("v1", caller.customerId);
    q.addRaw("v2", scrambledPassword(caller.clearPassword)).addRaw("v3", kOffers);
    q.addEncoded("v7", caller.version).addRaw("did", caller.deviceId).addRaw("r2", number(r2));
    return q.text();
}

}  // namespace WebScriptQueries

QString webScriptRequestQuery(const QString& clearQuery, bool plain)
{
    if (plain)
        return clearQuery;
    return QStringLiteral("epp=1&ep=") + scrambleText(clearQuery, ScramblePad::WebScript);
}

QString webScriptRequestUrl(const QString& base, const QString& clearQuery, bool plain)
{
    return base + QLatin1Char('?') + webScriptRequestQuery(clearQuery, plain);
}

std::optional<QString> WebScriptRequest::clearPassword() const
{
    return unscrambleTextChecked(query.rawValue(QStringLiteral("v2")), ScramblePad::Default);
}

std::optional<WebScriptRequest> decodeWebScriptRequest(const QString& requestQuery, QString* error, qsizetype maxLength)
{
    auto fail = [error](const char* message) -> std::optional<WebScriptRequest> {
        if (error)
            *error = QString::fromLatin1(message);
        return std::nullopt;
    };
    if (requestQuery.size() > maxLength)
        return fail("The request is too long.");
    const WebScriptQuery outer = WebScriptQuery::parse(requestQuery);
    WebScriptRequest request;
    if (outer.contains(QStringLiteral("ep"))) {
        const std::optional<QString> clear =
            unscrambleTextChecked(outer.rawValue(QStringLiteral("ep")), ScramblePad::WebScript);
        if (!clear)
            return fail("The request could not be read.");
        request.scrambled = true;
        request.query = WebScriptQuery::parse(*clear);
    } else {
        request.query = outer;
    }
    return request;
}

}  // namespace qs::cloud

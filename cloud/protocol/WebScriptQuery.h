// The web script's request queries: building them (the reader's account, library, download, cover
// and offers requests) and reading them back (the local stand-in services), so both sides use one
// description of the format.
//
// A query is text of key=value pairs joined by "&". The reader sends it scrambled with the web-script
// pad as "<script>?epp=1&ep=<scrambled>", or plain as "<script>?<query>" when a request asks for it.
// Values that may hold any text are percent-encoded (urlEncodedQueryItemValue); the password value is
// the clear password scrambled with the default pad, which is alphanumeric and goes in as it is.
//
// Threads: values and pure functions, any thread.
#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace qs::cloud {

// Percent-encodes everything outside the query-safe characters, and also "?", "=" and "&", so that
// the value can stand between "=" and "&". "+" stays as it is.
QString urlEncodedQueryItemValue(const QString& value);
// The inverse: "%XX" sequences decoded as UTF-8 ("+" is not a space).
QString urlDecodedQueryItemValue(const QString& value);

// An ordered run of key=value pairs; values are held as they stand in the query text.
class WebScriptQuery {
public:
    // Appends a value that goes in as it is (numbers, scrambled text, fixed words).
    WebScriptQuery& addRaw(const QString& key, const QString& rawValue);
    // Appends a value percent-encoded with urlEncodedQueryItemValue.
    WebScriptQuery& addEncoded(const QString& key, const QString& value);

    QString text() const;
    const QList<QPair<QString, QString>>& items() const { return m_items; }

    // Splits at "&" and each part at its first "="; a part without "=" is a key with an empty value.
    static WebScriptQuery parse(const QString& text);

    bool contains(const QString& key) const;
    // The first value of the key as it stands, or the empty text.
    QString rawValue(const QString& key) const;
    // The first value of the key, percent-decoded.
    QString value(const QString& key) const;

private:
    QList<QPair<QString, QString>> m_items;
};

// Who asks: the values most requests carry.
struct WebScriptCaller {
    QString platform = QStringLiteral("MacOS");
    QString customerId;     // as the user typed it (number or e-mail)
    QString clearPassword;  // scrambled with the default pad into v2
    QString version;        // the application's short version, clear text
    QString deviceId;
};

// The request builders. Each answers the clear query text; r1 and r2 are the two random numbers
// (0..9998) every query starts and ends with.
namespace WebScriptQueries {

inline constexpr char kCreateAccount[] = "reg2";
inline constexpr char kLogIn[] = "regproduct2";
inline constexpr char kResetPassword[] = "reminder";
inline constexpr char kOwnedBooks[] = "list2";
inline constexpr char kDownload[] = "file2";
inline constexpr char kCover[] = "cover";
inline constexpr char kOffers[] = "offers";

// A random number 0..9998 for r1 and r2.
quint32 randomQueryNumber();

QString createAccount(const QString& email, const QString& clearPassword, const QString& firstName,
    const QString& lastName, const QString& productId, const QString& version, const QString& deviceId, quint32 r1,
    quint32 r2);
QString logIn(const QString& customerId, const QString& clearPassword, const QString& productId, const QString& version,
    const QString& deviceId, quint32 r1, quint32 r2);
QString resetPassword(
    const QString& customerIdText, const QString& version, const QString& deviceId, quint32 r1, quint32 r2);
QString ownedBooks(const WebScriptCaller& caller, const QString& app, quint32 r1, quint32 r2);
// The version is encoded once, like every other value.
QString download(const WebScriptCaller& caller, const QString& action, const QString& fileName,
    const QString& serverTimeToken, const QString& app, quint32 r1, quint32 r2);
// `identifier`: a product id or "publisher:book"; `size` such as "144x144".
QString cover(
    const QString& platform, const QString& identifier, const QString& size, bool png, quint32 r1, quint32 r2);
QString offers(const WebScriptCaller& caller, quint32 r1, quint32 r2);

}  // namespace WebScriptQueries

// The query part of a request address: "epp=1&ep=<scrambled>", or the clear query when `plain`.
QString webScriptRequestQuery(const QString& clearQuery, bool plain = false);
// "<base>?<request query>".
QString webScriptRequestUrl(const QString& base, const QString& clearQuery, bool plain = false);

// A request as the web script reads it.
struct WebScriptRequest {
    bool scrambled = false;  // came as epp=1&ep=...
    WebScriptQuery query;    // the clear query

    QString action() const { return query.value(QStringLiteral("v3")); }
    // v2 unscrambled with the default pad; nothing when it is no scrambled text.
    std::optional<QString> clearPassword() const;
};

// Reads the query part of a request address (without "?"). A query with "ep" is unscrambled with the
// web-script pad; any other query is taken as the clear query. Nothing, with `error` set, when "ep"
// is not a text scrambled with that pad or the query is longer than `maxLength` characters.
std::optional<WebScriptRequest> decodeWebScriptRequest(
    const QString& requestQuery, QString* error = nullptr, qsizetype maxLength = 16384);

}  // namespace qs::cloud

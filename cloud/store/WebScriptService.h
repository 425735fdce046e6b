// WebScriptService: how the store clients talk to the maker's web script. It turns a clear query
// into a request (scrambled with the web-script pad unless a request asks for plain text, fresh from
// the network, 60 s transfer timeout), reads the script's error convention and decodes its text
// replies. StoreError is the failure every store client reports.
//
// Threads: pure functions and values, any thread.
#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <optional>

class UserDefaults;

namespace qs::cloud {

// A failure as the store clients report it: domain "Quillstead", code 1 unless the platform said
// otherwise.
struct StoreError {
    QString domain = QStringLiteral("Quillstead");
    int code = 1;
    QString description;
    QString reason;
    QString suggestion;

    // The entries a notification's user info carries for this error.
    QVariantMap toUserInfo() const;
    static StoreError fromUserInfo(const QVariantMap& userInfo);
};

namespace WebScriptService {

inline constexpr int kTimeoutMs = 60000;

// The web script of the service host these defaults configure (the "serviceHost" default).
QUrl defaultScriptUrl(const UserDefaults& defaults);
// GET request of "<base>?epp=1&ep=<scrambled>" (or "<base>?<query>" when plain).
QNetworkRequest request(const QUrl& base, const QString& clearQuery, bool plain = false);
bool isSuccessStatus(qint64 status);
// How a finished reply of the web script failed before its content is read, in the order the store
// clients check it: no HTTP answer at all gives the network's error (domain "QNetworkReply", its
// code and text); a status that is not success gives `problem` with the reason "The server returned
// failure code <status>.". `status` is the last HTTP status the client saw. Nothing when the reply
// got through; its content (an <error> reply, the data) is the client's to judge.
std::optional<StoreError> replyFailure(const QNetworkReply& reply, qint64 status, const StoreError& problem);
// The text after "<error>" up to "</error>" (or the end), tags found ignoring case; nothing when the
// text holds no "<error>".
std::optional<QString> errorText(const QString& reply);
// Windows-1252 bytes to text (byte by byte, so a reply may be decoded chunk by chunk).
QString decodeWindows1252(const QByteArray& bytes);
// A file name the server or a list may name safely inside one folder: not empty, no "/" or "\",
// no "..", no control characters, not "." .
bool isSafeFileName(const QString& name);

}  // namespace WebScriptService

}  // namespace qs::cloud

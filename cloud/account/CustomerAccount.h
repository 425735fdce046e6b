// The customer account requests (log in, create an account, ask for a password reset) sent to the
// web script, and the reading of their replies.
//
// A request is one GET of the web script with the scrambled query; the reply is Windows-1252 text,
// a run of XML elements without a common root. The client runs the request on the main thread's
// event loop (asynchronous network access) and reports once through `finished`. Replies are
// untrusted: their size is bounded and a request that takes too long is abandoned as failed.
//
// Owned by whoever asks (a settings pane); main thread only. The reply readers are pure functions.
#pragma once

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariantMap>

class QNetworkAccessManager;

class UserDefaults;

namespace qs::cloud {

struct AccountResult {
    // Empty on success; otherwise the message to show.
    QString error;
    // Log-in and account creation: what the user defaults keep.
    QString customerIDNum;
    QString customerID;
    QString password;
    QString firstName;
    QString lastName;
    // Password reset: the server's message.
    QString message;
    bool ok() const { return error.isEmpty(); }
};

class CustomerAccount : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMaxReplyBytes = 1 << 20;
    static constexpr int kTimeoutMs = 30000;

    // The web script's address is read from `defaults` now ("serviceHost").
    explicit CustomerAccount(const UserDefaults& defaults, QObject* parent = nullptr);
    ~CustomerAccount() override;

    // What the requests say about the application.
    void setVersion(const QString& version) { m_version = version; }

    bool busy() const { return m_reply != nullptr; }
    void logIn(const QString& customerId, const QString& password);
    void createAccount(
        const QString& firstName, const QString& lastName, const QString& email, const QString& password);
    void resetPassword(const QString& customerIdText);

    // Log-in and creation replies; `customerId` is what the user gave (the e-mail for a creation).
    static AccountResult readLoginReply(const QString& body, const QString& customerId, const QString& password);
    static AccountResult readResetReply(const QString& body);
    // A transport failure: "System reported error: ..." with the most specific description.
    static AccountResult transportFailure(const QString& description);

signals:
    void finished(const qs::cloud::AccountResult& result);

private:
    enum class Kind { Login, Create, Reset };
    void send(const QString& clearQuery, Kind kind, const QString& customerId, const QString& password);
    void replyFinished();

    QNetworkAccessManager* m_network;
    QPointer<QNetworkReply> m_reply;
    QUrl m_url;
    QString m_productId;
    QString m_version;
    Kind m_kind = Kind::Login;
    QString m_customerId;
    QString m_password;
};

}  // namespace qs::cloud

// MyOffersManager: the signed-in customer's special offers, fetched from the web script ("offers") at
// most once per "myOffersInterval" seconds, kept in the user defaults ("myOffersDictionary", whose
// "offer" is a list of offer dictionaries, and "myOffersLastChecked"), with expired offers dropped.
// New offers (a priority code not seen before) are announced with "MyOffersManagerHasNewOffers".
// The shell refreshes it (not forced) when the application becomes active and asks hasOffers when it
// updates its menu. Failures are logged only.
//
// Threads: main thread only. The program's manager is made by StoreManagers.
#pragma once

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariantMap>

class NotificationCenter;
class QNetworkReply;
class UserDefaults;

namespace qs::cloud {

class MyOffersManager : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxReplyChars = 4 * 1024 * 1024;

    // A manager over these defaults; `script` empty: the configured web script. `version`: the
    // application's short version sent with the request.
    MyOffersManager(UserDefaults& defaults, NotificationCenter& center, const QUrl& script = QUrl(),
        const QString& version = QString(), QObject* parent = nullptr);
    ~MyOffersManager() override;

    void refresh(bool force);
    bool isRefreshing() const { return m_isRefreshing; }
    bool hasOffers();
    void removeExpiredOffers();
    static bool containsNewOffers(const QVariantMap& reply, const QVariantMap& stored);
    // "y-M-d H:m:s.SSS" in America/Chicago; invalid when unreadable.
    static QDateTime parseExpiry(const QString& text);

private:
    void onFinished();
    void logFailure(const QString& description, const QString& reason, const QString& suggestion) const;

    UserDefaults& m_defaults;
    NotificationCenter& m_center;
    QUrl m_script;
    QString m_version;
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    bool m_isRefreshing = false;
    QString m_inputBuffer;
    qint64 m_httpResponseStatus = 0;
};

}  // namespace qs::cloud

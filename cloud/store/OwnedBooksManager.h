// OwnedBooksManager: the list of products the signed-in customer owns, as the web script's "list2"
// request reports it, kept in a cache file so that the list is there before the first refresh.
// OwnedBook is one product as the download sheet reads it.
//
// Products are dictionaries keyed by the reply's element names (productid, productname, pubid,
// bookid, publisher, producttype, revoke, autoinstall, an optional nested "file" with filename,
// filedate, filedatestring, filesize; "_suspicious" while a refresh has not confirmed them).
//
// Notifications (default centre, object the manager): qsOwnedBooksListStartedDownloading,
// qsOwnedBooksListFinishedDownloading ({"message"} when the reply had a success text) and
// qsOwnedBooksListFinishedDownloadingWithError ({"unprocessed"} + the error's entries).
//
// Threads: main thread only. The program's manager is made by StoreManagers.
#pragma once

#include "cloud/protocol/WebScriptQuery.h"
#include "cloud/store/WebScriptService.h"

#include <QDateTime>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

class NotificationCenter;
class QNetworkReply;
class UserDefaults;

namespace qs::cloud {

struct OwnedBook {
    QString productId;
    QString productName;
    QString fileName;
    qint64 publisherId = 0;
    qint64 bookId = 0;
    QString publisherName;
    QDateTime fileDate;
    QString fileDateString;
    qint64 fileSize = 0;
    QString productType;
    bool revoke = false;
    bool autoInstall = false;
    bool installed = false;
    bool isOld = false;
    // Digest of the file as the list names it (lower-case hex), when it names one.
    QString fileSha256;

    static OwnedBook fromProduct(const QVariantMap& product);
};

class OwnedBooksManager : public QObject {
    Q_OBJECT
public:
    // Type mask bits: BIBLES, COMMENTARIES, DEVOTIONALS, DICTIONARIES, OTHER, KESTRA.
    static constexpr int kAllTypes = 63;
    // A reply larger than this is refused (the reply is untrusted).
    static constexpr qsizetype kMaxReplyChars = 32 * 1024 * 1024;

    // A manager over this cache file (tests); loads it at once.
    // Posts its notifications on `center` and finds the configured web script in `defaults`; both
    // must outlive it.
    OwnedBooksManager(
        const QString& cacheFile, NotificationCenter& center, const UserDefaults& defaults, QObject* parent = nullptr);
    ~OwnedBooksManager() override;

    // <cache directory>/Owned Books/ownedbooks.xml
    static QString defaultCacheFileName();

    // Sends "list2" unless a refresh runs. `script` empty: the configured web script.
    void refresh(const WebScriptCaller& caller, const QString& app = QString(), const QUrl& script = QUrl());
    bool isRefreshing() const { return m_isRefreshing; }

    // sortKey 0: by product name; 1: by product id; any other: matching products in reverse order.
    QList<OwnedBook> ownedBooksArraySortedBy(int sortKey, int include) const;
    QList<OwnedBook> arrayOfAutoinstallBooks() const;

    void loadFromCache();
    bool saveToCache() const;

    // "/" followed by the name of every set bit, each followed by "/".
    static QString typeFilter(int include);

private:
    void onReadyRead();
    void onFinished();
    void parseInputBuffer();
    void mergeProduct(QVariantMap product);
    void fail(const StoreError& error);

    NotificationCenter& m_center;
    const UserDefaults& m_defaults;
    QString m_cacheFile;
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    bool m_isRefreshing = false;
    QList<QVariantMap> m_products;
    QString m_inputBuffer;
    QVariantMap m_customerInfo;
    QString m_successMessage;
    qint64 m_httpResponseStatus = 0;
    bool m_overflow = false;
};

}  // namespace qs::cloud

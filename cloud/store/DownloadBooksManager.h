// DownloadBooksManager: downloads owned book files from the web script ("file2"), one at a time from
// a queue, into the books folder, reports progress and hands each finished file to the library.
//
// A download request is a dictionary (see requestForBook for its keys); the same dictionary, with
// "progress" and on failure "error" (a StoreError's user info) added, is the user info of every
// notification about it. Each file is written to "<final path>.tmp" in the books folder and checked
// before it takes its final name: its size against the announced Content-Length and the list's file
// size, its digest against the list's and the reply's, and that it opens as a book. Only then is it
// renamed (atomically, in the same folder) and announced with qsBookFileCopiedToBooksFolder, which
// the library observes. An update ("replacefile": the installed book file) is written beside that
// file and takes its name only then, so the installed book stays until its successor is known
// good. A refused or failed download removes its temporary file, so the library and the books
// folder stay as they were. File names with "/", "\" or ".." are refused: nothing is
// written outside the books folder.
//
// Notifications (default centre): DownloadBooksStartedDownloading (object the request's manager),
// qsDownloadBooksProgressNotification, qsDownloadBooksFinishedDownloading,
// qsDownloadBooksFinishedDownloadingWithError, qsBookFileCopiedToBooksFolder ({"path"}).
//
// Threads: main thread only. The program's manager is made by StoreManagers.
#pragma once

#include "cloud/protocol/WebScriptQuery.h"
#include "cloud/store/OwnedBooksManager.h"
#include "cloud/store/WebScriptService.h"

#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

#include <memory>
#include <optional>

class NotificationCenter;
class QNetworkReply;
class UserDefaults;

namespace qs::cloud {

class DownloadBooksManager : public QObject {
    Q_OBJECT
public:
    // A book file larger than this is refused.
    static constexpr qint64 kMaxBookBytes = qint64(2) * 1024 * 1024 * 1024;
    // Time before the next download after a failure.
    static constexpr int kRetryDelayMs = 2000;

    // A manager that installs into this books folder.
    // Posts its notifications on `center` and finds the configured web script in `defaults`; both
    // must outlive it.
    DownloadBooksManager(const QString& booksFolder, NotificationCenter& center, const UserDefaults& defaults,
        QObject* parent = nullptr);
    ~DownloadBooksManager() override;

    // The request the download sheet makes for an owned book: pubid, bookid, productid, filename,
    // filesize, filesha256 (when the list names one), customerid, clearpassword, version, targetfile
    // (books folder + productid + ".tvk", or "%04x%04x.tvk" of publisher and book), platform, deviceid,
    // fileactionstring "file2", webscript (when `script` is given), filedate (when the list names
    // one; the installed file takes it as its modification date). An update adds "replacefile".
    static QVariantMap requestForBook(
        const OwnedBook& book, const WebScriptCaller& caller, const QString& booksFolder, const QUrl& script = QUrl());

    // Ignored when the book is downloading or queued.
    void enqueue(const QVariantMap& request);
    bool isInQueue(const QVariantMap& request) const;
    // Queued requests plus one when a download is in transfer.
    int count() const;
    // Stops the current download of that book (it fails as cancelled) or drops its queued request.
    void cancel(const QVariantMap& request);
    // Stops everything without notifications and empties the queue.
    void cancelAll();

    QString booksFolder() const { return m_booksFolder; }

    static bool sameBook(const QVariantMap& a, const QVariantMap& b);

private:
    void startNextDownload();
    void onMetaData();
    void onReadyRead();
    void onFinished();
    void succeed();
    void fail(const StoreError& error);
    void cleanUp();
    // Stops the transfer in flight, if any, without its handlers hearing of it.
    void abandonReply();
    // The final path for the target: the target, else "name (1).tvk", "name (2).tvk", ...
    static QString freeFinalPath(const QString& target);
    std::optional<StoreError> checkFile();

    NotificationCenter& m_center;
    const UserDefaults& m_defaults;
    QString m_booksFolder;
    QNetworkAccessManager m_network;
    QList<QVariantMap> m_queue;
    std::optional<QVariantMap> m_current;
    // Counts the downloads cleaned up: the read-through check of one that is gone answers no one.
    quint64 m_checkSerial = 0;
    QPointer<QNetworkReply> m_reply;
    QString m_targetFileName;
    QString m_tempFileName;
    std::unique_ptr<QFile> m_file;
    qint64 m_expectedLength = -1;
    qint64 m_announcedLength = -1;
    qint64 m_written = 0;
    qint64 m_httpResponseStatus = 0;
    QString m_potentialErrorMessage;
    bool m_writeFailed = false;
    bool m_tooLarge = false;
    QString m_headerSha256;
    QByteArray m_headerMd5;
    QCryptographicHash m_sha256 {QCryptographicHash::Sha256};
    QCryptographicHash m_md5 {QCryptographicHash::Md5};
};

}  // namespace qs::cloud

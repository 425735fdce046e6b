// AppUpdateChecker: looks for a newer build of the application in the update feed on the maker's
// web host (automatically at most once per interval, or when the user asks), offers it in the
// update window, and downloads the installer into the Downloads folder with a progress bar.
//
// The feed and the download are untrusted: the feed is read up to 1 MiB with a stream reader that
// expands no external entities, the download is bounded, streamed into a temporary file beside its
// destination and kept only when its length matches what the server announced and any size or
// SHA-256 digest the feed entry or the server gives; a file already in Downloads is never replaced.
//
// What the checker shows goes through `Presenter` (alerts, the toast, the update window): the
// application controller, which owns the checker, sets it to its own; tests install their own.
// Main thread only: network replies finish on the main event loop.
#pragma once

#include <QCryptographicHash>
#include <QDateTime>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>

class FileSave;
class NotificationCenter;
class QNetworkAccessManager;
class UserDefaults;

class AppUpdateChecker : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kUpdaterVersion = 1;
    static constexpr qint64 kMaxFeedBytes = 1 << 20;
    static constexpr qint64 kMaxDownloadBytes = qint64(1) << 30;
    static constexpr int kTimeoutMs = 30000;

    struct Presenter {
        // An alert dictionary as QuillsteadAppController::showAlertOnMainThread reads it; not waited for.
        std::function<void(const QVariantMap&)> alert;
        std::function<void(const QString&)> toast;
        // Runs the update window with the seven update parameters until it closes.
        std::function<void(const QVariantMap&)> showUpdateAvailable;
        // A progress bar for downloads is shown (off in tests that watch the signals only).
        bool showProgress = true;
    };

    // What the running program is.
    struct RunningProgram {
        qint64 build = 1;
        QString version;
        QString systemVersion;
        std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
    };

    // Listens on `center` for the update window's download request; reads its settings in `defaults`.
    AppUpdateChecker(NotificationCenter& center, UserDefaults& defaults, QObject* parent = nullptr);
    ~AppUpdateChecker() override;

    Presenter& presenter() { return m_presenter; }
    RunningProgram& runningProgram() { return m_running; }
    // The feed's address: the one the "serviceHost" setting names.
    QUrl feedUrl() const;
    // Where downloads go: the user's Downloads folder.
    QString downloadsFolder() const;

    // Starts a check when it is due (automatic) or always (manual); true when a request went out.
    bool conditionallyCheckForUpdates(bool manual);
    void onCheckForUpdates() { conditionallyCheckForUpdates(true); }
    void setLastCheckForUpdatesToNow();

    // The running system's version, "major.minor.patch".
    static QString systemVersionString();
    // 1, 0 or -1 as a is newer, the same or older than b; a null string is a missing one.
    static int compareSystemVersion(const QString& a, const QString& b);
    // "yyyy-M-d H:m:s Z" (Z an offset such as +0000 or -0530, or GMT/UTC); invalid when it does not parse.
    static QDateTime parsePublicationDate(const QString& text);

    // The update the feed offers this program: the seven parameters of the update window, plus
    // "downloadSize" and "downloadSha256" when the entry gives them; empty when nothing newer fits.
    // `wellFormed` is false for a feed that is no XML document (or too large).
    QVariantMap updateParametersFromFeed(const QByteArray& xml, bool* wellFormed) const;

    // Downloads the installer (notification "userWantsToDownloadAppUpdate" with {"url"}); a size
    // and digest, when known, are checked before the file is offered.
    void userWantsToDownloadAppUpdate(const QUrl& url, qint64 expectedSize = -1, const QByteArray& expectedSha256 = {});
    void cancelDownload();
    // The file a download of `url` goes to in `folder`: its last path component, made safe, with a
    // number added while a file of that name exists. Empty when the URL names no usable file.
    static QString downloadDestination(const QString& folder, const QUrl& url);

signals:
    void checkFinished();
    void downloadProgress(qint64 received, qint64 total);
    // The kept file, or empty when the download failed or was refused.
    void downloadFinished(const QString& path);

private:
    void feedFinished(bool manual);
    void downloadReadyRead();
    void downloadFinishedReply();
    void failDownload(const QString& message);
    void alert(int style, const QString& message, const QString& informative, const QVariantMap& extra = {});

    NotificationCenter& m_center;
    UserDefaults& m_defaults;
    QNetworkAccessManager* m_network;
    QPointer<QNetworkReply> m_feedReply;
    QPointer<QNetworkReply> m_download;
    std::unique_ptr<FileSave> m_file;
    std::unique_ptr<QCryptographicHash> m_hash;
    QString m_destination;
    QUrl m_downloadUrl;
    qint64 m_expectedSize = -1;
    QByteArray m_expectedSha256;
    qint64 m_received = 0;
    bool m_cancelled = false;
    QPointer<QProgressDialog> m_progress;
    Presenter m_presenter;
    RunningProgram m_running;
};

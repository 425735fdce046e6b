// CoverArtManager: book-cover images in a cache folder, fetched from the web script ("cover") when
// missing, one at a time, the most recently asked-for cover first. The download and open-book sheets
// ask for covers while they draw their rows and redraw when qsCoverArtFinishedDownloading arrives.
//
// A cover request is a dictionary: "pubid" and "bookid" (numbers) or "productid", "size" ("144x144"),
// optional "format" ("png"; else JPEG), "platform" (default "MacOS"), "webscript", "forceplain".
// Covers the server does not have (a 4xx answer) are remembered for the session and not asked for
// again. A reply is stored only when it is a PNG or JPEG picture of bounded size; it is written to a
// temporary file and renamed into place.
//
// Threads: main thread only. The program's manager is made by StoreManagers.
#pragma once

#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVariantMap>

#include <optional>

class NotificationCenter;
class QNetworkReply;
class UserDefaults;

namespace qs::cloud {

class CoverArtManager : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMaxCoverBytes = 8 * 1024 * 1024;

    // A manager over this cache folder (the "Cover Art" folder itself).
    // Posts its notifications on `center` and finds the configured web script in `defaults`; both
    // must outlive it.
    CoverArtManager(const QString& coverFolder, NotificationCenter& center, const UserDefaults& defaults,
        QObject* parent = nullptr);
    ~CoverArtManager() override;

    // The picture shown while a cover is missing (a resource path).
    static QString imageNotAvailablePath();

    // The cache path when the file exists; else queues the request when asked, and answers the empty
    // text when `returnNilIfNotFound`, else imageNotAvailablePath().
    QString pathForCover(const QVariantMap& request, bool queueIfNotFound, bool returnNilIfNotFound);
    // <folder>/<size>[PNG]/<productid or %04x%04x>.png|jpg; empty when the names would leave the folder.
    QString targetFileForDict(const QVariantMap& request) const;
    void enqueue(const QVariantMap& request);

    static bool sameBook(const QVariantMap& a, const QVariantMap& b);
    // The cover in transfer, if any.
    std::optional<QVariantMap> currentlyDownloading() const { return m_current; }
    // Was this cover missing on the server earlier in this session?
    bool isKnownMiss(const QVariantMap& request) const;

private:
    void startNext();
    void onFinished();
    void cleanUp();
    static QString identifier(const QVariantMap& request);
    QString missKey(const QVariantMap& request) const;

    NotificationCenter& m_center;
    const UserDefaults& m_defaults;
    QString m_folder;
    QNetworkAccessManager m_network;
    QList<QVariantMap> m_queue;
    std::optional<QVariantMap> m_current;
    QPointer<QNetworkReply> m_reply;
    QString m_targetFileName;
    QSet<QString> m_misses;
};

}  // namespace qs::cloud

#include "cloud/store/CoverArtManager.h"

#include "cloud/protocol/WebScriptQuery.h"
#include "cloud/store/StoreNotifications.h"
#include "cloud/store/WebScriptService.h"
#include "platform/FileSave.h"
#include "platform/NotificationCenter.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>

namespace qs::cloud {

namespace {

bool isPng(const QVariantMap& r)
{
    return r.value(QStringLiteral("format")).toString().compare(QLatin1String("png"), Qt::CaseInsensitive) == 0;
}

bool looksLikePicture(const QByteArray& data)
{
    static const QByteArray png("\x89PNG\r\n\x1a\n", 8);
    return data.startsWith(png) || data.startsWith(QByteArray("\xff\xd8\xff", 3));
}

}  // namespace

CoverArtManager::CoverArtManager(
    const QString& coverFolder, NotificationCenter& center, const UserDefaults& defaults, QObject* parent)
    : QObject(parent), m_center(center), m_defaults(defaults), m_folder(QDir(coverFolder).absolutePath())
{
}

CoverArtManager::~CoverArtManager()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

QString CoverArtManager::imageNotAvailablePath()
{
    return QStringLiteral(":/cloud/store/ImageNotAvailable.png");
}

bool CoverArtManager::sameBook(const QVariantMap& a, const QVariantMap& b)
{
    const bool aHas = a.contains(QStringLiteral("productid"));
    const bool bHas = b.contains(QStringLiteral("productid"));
    if (aHas && bHas)
        return a.value(QStringLiteral("productid")).toString() == b.value(QStringLiteral("productid")).toString();
    if (aHas != bHas)
        return false;
    return a.value(QStringLiteral("pubid")).toLongLong() == b.value(QStringLiteral("pubid")).toLongLong() &&
        a.value(QStringLiteral("bookid")).toLongLong() == b.value(QStringLiteral("bookid")).toLongLong();
}

QString CoverArtManager::identifier(const QVariantMap& r)
{
    if (r.contains(QStringLiteral("productid")))
        return r.value(QStringLiteral("productid")).toString();
    return QStringLiteral("%1:%2")
        .arg(r.value(QStringLiteral("pubid")).toLongLong())
        .arg(r.value(QStringLiteral("bookid")).toLongLong());
}

QString CoverArtManager::targetFileForDict(const QVariantMap& r) const
{
    const QString size = r.value(QStringLiteral("size")).toString();
    QString name = r.contains(QStringLiteral("productid"))
        ? r.value(QStringLiteral("productid")).toString()
        : QStringLiteral("%1%2")
              .arg(quint16(r.value(QStringLiteral("pubid")).toLongLong()), 4, 16, QLatin1Char('0'))
              .arg(quint16(r.value(QStringLiteral("bookid")).toLongLong()), 4, 16, QLatin1Char('0'));
    const QString folder = size + (isPng(r) ? QStringLiteral("PNG") : QString());
    if (!WebScriptService::isSafeFileName(folder) || !WebScriptService::isSafeFileName(name))
        return QString();
    name += isPng(r) ? QStringLiteral(".png") : QStringLiteral(".jpg");
    return QDir(m_folder).filePath(folder + QLatin1Char('/') + name);
}

QString CoverArtManager::missKey(const QVariantMap& r) const
{
    return targetFileForDict(r);
}

bool CoverArtManager::isKnownMiss(const QVariantMap& request) const
{
    return m_misses.contains(missKey(request));
}

QString CoverArtManager::pathForCover(const QVariantMap& request, bool queueIfNotFound, bool returnNilIfNotFound)
{
    const QString path = targetFileForDict(request);
    if (!path.isEmpty() && QFileInfo::exists(path))
        return path;
    if (queueIfNotFound && !path.isEmpty() && !isKnownMiss(request))
        enqueue(request);
    return returnNilIfNotFound ? QString() : imageNotAvailablePath();
}

void CoverArtManager::enqueue(const QVariantMap& request)
{
    if (m_current && sameBook(*m_current, request))
        return;
    if (m_queue.capacity() == 0)
        m_queue.reserve(10);
    m_queue.removeIf([&](const QVariantMap& q) { return sameBook(q, request); });
    m_queue.append(request);
    startNext();
}

void CoverArtManager::startNext()
{
    while (!m_current && !m_queue.isEmpty()) {
        QVariantMap r = m_queue.takeLast();
        const QString target = targetFileForDict(r);
        if (target.isEmpty() || isKnownMiss(r))
            continue;
        m_current = r;
        m_targetFileName = target;
        const QString platform = r.value(QStringLiteral("platform"), QStringLiteral("MacOS")).toString();
        const QString query =
            WebScriptQueries::cover(platform, identifier(r), r.value(QStringLiteral("size")).toString(), isPng(r),
                WebScriptQueries::randomQueryNumber(), WebScriptQueries::randomQueryNumber());
        const QString script = r.value(QStringLiteral("webscript")).toString();
        const QUrl base = script.isEmpty() ? WebScriptService::defaultScriptUrl(m_defaults) : QUrl(script);
        QDir().mkpath(QFileInfo(target).absolutePath());
        m_reply = m_network.get(WebScriptService::request(base, query, r.value(QStringLiteral("forceplain")).toBool()));
        connect(m_reply, &QNetworkReply::readyRead, this, [this] {
            if (m_reply && m_reply->bytesAvailable() > kMaxCoverBytes)
                m_reply->abort();
        });
        connect(m_reply, &QNetworkReply::finished, this, &CoverArtManager::onFinished);
    }
}

void CoverArtManager::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply || !m_current)
        return;
    m_reply = nullptr;
    reply->deleteLater();
    const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const qint64 status = statusValue.toLongLong();
    const QVariantMap request = *m_current;
    if (statusValue.isValid() && WebScriptService::isSuccessStatus(status)) {
        const QByteArray data = reply->readAll();
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        const bool complete = !announced.isValid() || announced.toLongLong() == data.size();
        if (complete && data.size() <= kMaxCoverBytes && looksLikePicture(data)) {
            if (FileSave::writeFile(m_targetFileName, data, QStringLiteral("the pictures of book covers"))) {
                cleanUp();
                m_center.postNotificationName(StoreNotifications::qsCoverArtFinishedDownloading, nullptr, request);
                startNext();
                return;
            }
        }
        qWarning().noquote() << "Cover art for" << identifier(request) << "was not a usable picture";
    } else if (statusValue.isValid() && status >= 400 && status <= 499) {
        qInfo().noquote() << "No cover art found for" << identifier(request);
        m_misses.insert(missKey(request));
    }
    cleanUp();
    startNext();
}

void CoverArtManager::cleanUp()
{
    m_current.reset();
    m_targetFileName.clear();
}

}  // namespace qs::cloud

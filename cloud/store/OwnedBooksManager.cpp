#include "cloud/store/OwnedBooksManager.h"

#include "cloud/store/StoreNotifications.h"
#include "library/XMLParser.h"
#include "platform/AppFolders.h"
#include "platform/FileSave.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QTimeZone>

namespace qs::cloud {

namespace {

const QStringList& typeNames()
{
    static const QStringList names {QStringLiteral("BIBLES"), QStringLiteral("COMMENTARIES"),
        QStringLiteral("DEVOTIONALS"), QStringLiteral("DICTIONARIES"), QStringLiteral("OTHER"),
        QStringLiteral("KESTRA")};
    return names;
}

QString stringValue(const QVariantMap& map, const QString& key)
{
    return map.value(key).toString();
}

// "y-M-d H:m:s" in GMT.
QDateTime parseFileDate(const QString& text)
{
    QDateTime d = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-M-d H:m:s"));
    if (d.isValid())
        d.setTimeZone(QTimeZone::utc());
    return d;
}

void convertFileDate(QVariantMap& map)
{
    const QVariant v = map.value(QStringLiteral("filedate"));
    if (v.typeId() == QMetaType::QString) {
        map.insert(QStringLiteral("filedatestring"), v);
        map.insert(QStringLiteral("filedate"), parseFileDate(v.toString()));
    }
}

bool matches(const QVariantMap& product, const QString& filter)
{
    return filter.contains(QLatin1Char('/') + stringValue(product, QStringLiteral("producttype")) + QLatin1Char('/'));
}

void stripLeadingSpace(QString& s)
{
    qsizetype i = 0;
    while (i < s.size() && s.at(i).isSpace())
        ++i;
    s.remove(0, i);
}

}  // namespace

OwnedBook OwnedBook::fromProduct(const QVariantMap& p)
{
    OwnedBook b;
    b.productId = stringValue(p, QStringLiteral("productid"));
    b.productName = stringValue(p, QStringLiteral("productname"));
    b.publisherId = stringValue(p, QStringLiteral("pubid")).toLongLong();
    b.bookId = stringValue(p, QStringLiteral("bookid")).toLongLong();
    b.publisherName = stringValue(p, QStringLiteral("publisher"));
    b.productType = stringValue(p, QStringLiteral("producttype"));
    b.revoke = p.contains(QStringLiteral("revoke"));
    b.autoInstall = p.contains(QStringLiteral("autoinstall"));
    b.isOld = false;
    const QVariant file = p.value(QStringLiteral("file"));
    const QVariantMap f = file.typeId() == QMetaType::QVariantMap ? file.toMap() : p;
    b.fileName = stringValue(f, QStringLiteral("filename"));
    b.fileDate = f.value(QStringLiteral("filedate")).toDateTime();
    b.fileDateString = stringValue(f, QStringLiteral("filedatestring"));
    b.fileSize = stringValue(f, QStringLiteral("filesize")).toLongLong();
    b.fileSha256 = stringValue(p, QStringLiteral("filesha256")).trimmed().toLower();
    return b;
}

OwnedBooksManager::OwnedBooksManager(
    const QString& cacheFile, NotificationCenter& center, const UserDefaults& defaults, QObject* parent)
    : QObject(parent), m_center(center), m_defaults(defaults), m_cacheFile(cacheFile)
{
    m_products.reserve(50);
    loadFromCache();
}

OwnedBooksManager::~OwnedBooksManager()
{
    if (m_reply)
        m_reply->abort();
}

QString OwnedBooksManager::defaultCacheFileName()
{
    return QDir(AppFolders::cacheDirectory()).filePath(QStringLiteral("Owned Books/ownedbooks.xml"));
}

QString OwnedBooksManager::typeFilter(int include)
{
    QString s = QStringLiteral("/");
    for (int bit = 0; bit < typeNames().size(); ++bit)
        if (include & (1 << bit))
            s += typeNames().at(bit) + QLatin1Char('/');
    return s;
}

void OwnedBooksManager::refresh(const WebScriptCaller& caller, const QString& app, const QUrl& script)
{
    if (m_isRefreshing)
        return;
    const QString query = WebScriptQueries::ownedBooks(
        caller, app, WebScriptQueries::randomQueryNumber(), WebScriptQueries::randomQueryNumber());
    const QUrl base = script.isEmpty() ? WebScriptService::defaultScriptUrl(m_defaults) : script;
    m_isRefreshing = true;
    for (QVariantMap& p : m_products)
        p.insert(QStringLiteral("_suspicious"), QStringLiteral("yes"));
    m_successMessage.clear();
    m_inputBuffer = QString();
    m_inputBuffer.reserve(1000);
    m_httpResponseStatus = 0;
    m_overflow = false;
    m_center.postNotificationName(StoreNotifications::qsOwnedBooksListStartedDownloading, this);
    m_reply = m_network.get(WebScriptService::request(base, query));
    connect(m_reply, &QNetworkReply::readyRead, this, &OwnedBooksManager::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &OwnedBooksManager::onFinished);
}

void OwnedBooksManager::onReadyRead()
{
    if (!m_reply)
        return;
    m_httpResponseStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toLongLong();
    const QByteArray chunk = m_reply->readAll();
    if (m_overflow)
        return;
    if (m_inputBuffer.size() + chunk.size() > kMaxReplyChars) {
        m_overflow = true;
        m_reply->abort();
        return;
    }
    m_inputBuffer += WebScriptService::decodeWindows1252(chunk);
    parseInputBuffer();
}

void OwnedBooksManager::parseInputBuffer()
{
    static const QString productOpen = QStringLiteral("<product>");
    static const QString productClose = QStringLiteral("</product>");
    static const QString customerOpen = QStringLiteral("<customer>");
    static const QString customerClose = QStringLiteral("</customer>");
    static const QString successOpen = QStringLiteral("<success>");
    static const QString successClose = QStringLiteral("</success>");
    stripLeadingSpace(m_inputBuffer);
    for (;;) {
        while (m_inputBuffer.startsWith(productOpen, Qt::CaseInsensitive) &&
            m_inputBuffer.contains(productClose, Qt::CaseInsensitive)) {
            QString rest = m_inputBuffer;
            std::optional<QVariantMap> product = XMLParser::dictionaryFromXML(rest);
            if (!product)
                return;
            m_inputBuffer = rest;
            mergeProduct(std::move(*product));
            stripLeadingSpace(m_inputBuffer);
        }
        if (m_inputBuffer.startsWith(customerOpen, Qt::CaseInsensitive) &&
            m_inputBuffer.contains(customerClose, Qt::CaseInsensitive)) {
            QString rest = m_inputBuffer;
            std::optional<QVariantMap> customer = XMLParser::dictionaryFromXML(rest);
            if (!customer)
                return;
            m_inputBuffer = rest;
            m_customerInfo = *customer;
        } else if (m_inputBuffer.startsWith(successOpen, Qt::CaseInsensitive) &&
            m_inputBuffer.contains(successClose, Qt::CaseInsensitive)) {
            const qsizetype end = m_inputBuffer.indexOf(successClose, 0, Qt::CaseInsensitive);
            m_successMessage = m_inputBuffer.mid(successOpen.size(), end - successOpen.size());
            m_inputBuffer.remove(0, end + successClose.size());
        } else {
            return;
        }
        stripLeadingSpace(m_inputBuffer);
    }
}

void OwnedBooksManager::mergeProduct(QVariantMap product)
{
    const QString id = stringValue(product, QStringLiteral("productid"));
    if (id.isEmpty())
        return;
    const QString pub = stringValue(product, QStringLiteral("pubid"));
    const QString book = stringValue(product, QStringLiteral("bookid"));
    if (pub.toLongLong() == 1 && (book.toLongLong() == 13 || book.toLongLong() == 14))
        return;
    convertFileDate(product);
    QVariant file = product.value(QStringLiteral("file"));
    if (file.typeId() == QMetaType::QVariantMap) {
        QVariantMap f = file.toMap();
        convertFileDate(f);
        product.insert(QStringLiteral("file"), f);
    }
    for (QVariantMap& existing : m_products) {
        if (stringValue(existing, QStringLiteral("productid")) == id) {
            for (auto it = product.cbegin(); it != product.cend(); ++it)
                existing.insert(it.key(), it.value());
            existing.insert(QStringLiteral("_suspicious"), QStringLiteral("no"));
            return;
        }
    }
    m_products.append(product);
}

void OwnedBooksManager::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_reply = nullptr;
    reply->deleteLater();
    if (reply->bytesAvailable() > 0 && !m_overflow) {
        m_reply = reply;
        onReadyRead();
        m_reply = nullptr;
    }
    m_isRefreshing = false;
    const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (statusValue.isValid())
        m_httpResponseStatus = statusValue.toLongLong();
    const QString listProblem = tr("There was a problem updating the list of books you own.");
    const QString tryLater = tr("Try again later. If the problem persists, contact Technical Support.");
    if (m_overflow) {
        fail({QStringLiteral("Quillstead"), 1, listProblem,
            tr("The server returned status code %1 and unexpected data.").arg(m_httpResponseStatus), tryLater});
        return;
    }
    if (const std::optional<StoreError> failure = WebScriptService::replyFailure(
            *reply, m_httpResponseStatus, {QStringLiteral("Quillstead"), 1, listProblem, QString(), tryLater})) {
        fail(*failure);
        return;
    }
    if (const std::optional<QString> message = WebScriptService::errorText(m_inputBuffer)) {
        const QString unprocessed = m_inputBuffer;
        m_inputBuffer.clear();
        StoreError e {QStringLiteral("Quillstead"), 1, *message,
            tr("The server returned status code %1.").arg(m_httpResponseStatus),
            tr("If you need help, contact Technical Support.")};
        qWarning().noquote() << "handleCompletedWithError:" << e.description << e.reason << e.suggestion
                             << "unprocessed text:" << unprocessed;
        QVariantMap info = e.toUserInfo();
        info.insert(QStringLiteral("unprocessed"), unprocessed);
        m_center.postNotificationName(StoreNotifications::qsOwnedBooksListFinishedDownloadingWithError, this, info);
        return;
    }
    if (!m_inputBuffer.trimmed().isEmpty()) {
        fail({QStringLiteral("Quillstead"), 1, listProblem,
            tr("The server returned status code %1 and unexpected data.").arg(m_httpResponseStatus), tryLater});
        return;
    }
    for (qsizetype i = m_products.size() - 1; i >= 0; --i)
        if (stringValue(m_products.at(i), QStringLiteral("_suspicious")) == QLatin1String("yes"))
            m_products.removeAt(i);
    saveToCache();
    QVariantMap info;
    if (!m_successMessage.isNull())
        info.insert(QStringLiteral("message"), m_successMessage);
    m_center.postNotificationName(StoreNotifications::qsOwnedBooksListFinishedDownloading, this, info);
}

void OwnedBooksManager::fail(const StoreError& error)
{
    qWarning().noquote() << "handleCompletedWithError:" << error.description << error.reason << error.suggestion
                         << "unprocessed text:" << m_inputBuffer.left(2000);
    QVariantMap info = error.toUserInfo();
    info.insert(QStringLiteral("unprocessed"), m_inputBuffer);
    m_center.postNotificationName(StoreNotifications::qsOwnedBooksListFinishedDownloadingWithError, this, info);
}

QList<OwnedBook> OwnedBooksManager::ownedBooksArraySortedBy(int sortKey, int include) const
{
    const QString filter = typeFilter(include);
    QList<OwnedBook> books;
    for (const QVariantMap& p : m_products) {
        if (!matches(p, filter))
            continue;
        OwnedBook book = OwnedBook::fromProduct(p);
        qsizetype at = 0;
        if (sortKey == 0 || sortKey == 1) {
            const auto key = [sortKey](const OwnedBook& b) { return sortKey == 0 ? b.productName : b.productId; };
            while (at < books.size() && QString::compare(key(books.at(at)), key(book), Qt::CaseInsensitive) < 0)
                ++at;
        }
        books.insert(at, book);
    }
    return books;
}

QList<OwnedBook> OwnedBooksManager::arrayOfAutoinstallBooks() const
{
    QList<OwnedBook> books;
    for (const QVariantMap& p : m_products)
        if (p.contains(QStringLiteral("autoinstall")))
            books.append(OwnedBook::fromProduct(p));
    return books;
}

void OwnedBooksManager::loadFromCache()
{
    QFile file(m_cacheFile);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return;
    if (file.size() > kMaxReplyChars)
        return;
    m_products.clear();
    m_inputBuffer = QString::fromUtf8(file.readAll());
    parseInputBuffer();
    m_inputBuffer.clear();
}

bool OwnedBooksManager::saveToCache() const
{
    QString text;
    for (const QVariantMap& p : m_products)
        // html-safe: XML of the cache file, its values written by the XML writer
        text += QStringLiteral("<product>") + XMLParser::xmlStringValue(p) + QStringLiteral("</product>");
    if (!m_customerInfo.isEmpty())
        // html-safe: XML of the cache file, its values written by the XML writer
        text +=
            QStringLiteral("<customer>") + XMLParser::xmlStringValue(m_customerInfo) + QStringLiteral("</customer>");
    // The list saved before stays until the new one is whole on disk.
    return FileSave::writeFile(m_cacheFile, text.toUtf8(), QStringLiteral("the list of your purchased books"));
}

}  // namespace qs::cloud

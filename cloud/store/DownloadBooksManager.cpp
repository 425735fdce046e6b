#include "cloud/store/DownloadBooksManager.h"

#include "cloud/store/StoreNotifications.h"
#include "library/BookFileInstall.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "platform/FileSave.h"
#include "platform/NotificationCenter.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>
#include <QStringDecoder>
#include <QTimer>

namespace qs::cloud {

namespace {

const QString kProblem = QStringLiteral("There was a problem downloading this book.");
const QString kTryLater = QStringLiteral("Try again later. If the problem persists, contact Technical Support.");

QString str(const QVariantMap& r, const char* key)
{
    return r.value(QLatin1String(key)).toString();
}

StoreError problem(const QString& reason, const QString& suggestion = kTryLater)
{
    return {QStringLiteral("Quillstead"), 1, kProblem, reason, suggestion};
}

}  // namespace

DownloadBooksManager::DownloadBooksManager(
    const QString& booksFolder, NotificationCenter& center, const UserDefaults& defaults, QObject* parent)
    : QObject(parent), m_center(center), m_defaults(defaults), m_booksFolder(QDir(booksFolder).absolutePath())
{
}

DownloadBooksManager::~DownloadBooksManager()
{
    cancelAll();
}

QVariantMap DownloadBooksManager::requestForBook(
    const OwnedBook& book, const WebScriptCaller& caller, const QString& booksFolder, const QUrl& script)
{
    QVariantMap r;
    r.insert(QStringLiteral("pubid"), book.publisherId);
    r.insert(QStringLiteral("bookid"), book.bookId);
    r.insert(QStringLiteral("productid"), book.productId);
    r.insert(QStringLiteral("filename"), book.fileName);
    r.insert(QStringLiteral("filesize"), book.fileSize);
    if (!book.fileSha256.isEmpty())
        r.insert(QStringLiteral("filesha256"), book.fileSha256);
    if (book.fileDate.isValid())
        r.insert(QStringLiteral("filedate"), book.fileDate.toUTC());
    r.insert(QStringLiteral("customerid"), caller.customerId);
    r.insert(QStringLiteral("clearpassword"), caller.clearPassword);
    r.insert(QStringLiteral("version"), caller.version);
    const QString name = !book.productId.isEmpty() ? book.productId
                                                   : QStringLiteral("%1%2")
                                                         .arg(quint16(book.publisherId), 4, 16, QLatin1Char('0'))
                                                         .arg(quint16(book.bookId), 4, 16, QLatin1Char('0'));
    r.insert(QStringLiteral("targetfile"), QDir(booksFolder).filePath(name + QStringLiteral(".tvk")));
    r.insert(QStringLiteral("platform"), caller.platform);
    r.insert(QStringLiteral("deviceid"), caller.deviceId);
    r.insert(QStringLiteral("fileactionstring"), QStringLiteral("file2"));
    if (!script.isEmpty())
        r.insert(QStringLiteral("webscript"), script.toString());
    return r;
}

bool DownloadBooksManager::sameBook(const QVariantMap& a, const QVariantMap& b)
{
    const bool aHas = a.contains(QStringLiteral("productid"));
    const bool bHas = b.contains(QStringLiteral("productid"));
    if (aHas && bHas)
        return str(a, "productid") == str(b, "productid");
    if (aHas != bHas)
        return false;
    return a.value(QStringLiteral("pubid")).toLongLong() == b.value(QStringLiteral("pubid")).toLongLong() &&
        a.value(QStringLiteral("bookid")).toLongLong() == b.value(QStringLiteral("bookid")).toLongLong();
}

bool DownloadBooksManager::isInQueue(const QVariantMap& request) const
{
    if (m_current && sameBook(*m_current, request))
        return true;
    return std::any_of(m_queue.cbegin(), m_queue.cend(), [&](const QVariantMap& q) { return sameBook(q, request); });
}

int DownloadBooksManager::count() const
{
    return int(m_queue.size()) + (m_current ? 1 : 0);
}

void DownloadBooksManager::enqueue(const QVariantMap& request)
{
    if (isInQueue(request))
        return;
    if (m_queue.capacity() == 0)
        m_queue.reserve(10);
    m_queue.append(request);
    startNextDownload();
}

void DownloadBooksManager::cancel(const QVariantMap& request)
{
    if (m_current && sameBook(*m_current, request)) {
        abandonReply();
        fail({QStringLiteral("Quillstead"), 1, tr("The download was canceled."), QString(), QString()});
        return;
    }
    for (qsizetype i = 0; i < m_queue.size(); ++i) {
        if (sameBook(m_queue.at(i), request)) {
            m_queue.removeAt(i);
            return;
        }
    }
}

void DownloadBooksManager::abandonReply()
{
    if (!m_reply)
        return;
    // Cleared first: the abort must not reach the handlers of this reply.
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void DownloadBooksManager::cancelAll()
{
    abandonReply();
    cleanUp();
    m_queue.clear();
}

QString DownloadBooksManager::freeFinalPath(const QString& target)
{
    return BookFileInstall::freePathFor(target);
}

void DownloadBooksManager::startNextDownload()
{
    if (m_current || m_queue.isEmpty())
        return;
    m_current = m_queue.takeFirst();
    const QVariantMap& r = *m_current;

    // Names come from the server's list: refuse anything that could leave the books folder.
    const QString fileName = str(r, "filename");
    const QFileInfo target(str(r, "targetfile"));
    if (!WebScriptService::isSafeFileName(fileName) || !WebScriptService::isSafeFileName(target.fileName()) ||
        QDir::cleanPath(target.absolutePath()) != QDir::cleanPath(m_booksFolder)) {
        fail(problem(tr("The book's file name is not allowed: it would be stored outside the books folder."),
            tr("If the problem persists, contact Technical Support.")));
        return;
    }

    WebScriptCaller caller;
    caller.platform = r.value(QStringLiteral("platform"), QStringLiteral("MacOS")).toString();
    caller.customerId = str(r, "customerid");
    caller.clearPassword = str(r, "clearpassword");
    caller.version = str(r, "version");
    caller.deviceId = str(r, "deviceid");
    QString action = str(r, "fileactionstring");
    if (action.isEmpty())
        action = QStringLiteral("file2");
    const QString query = WebScriptQueries::download(caller, action, fileName, str(r, "encryptedservertime"),
        str(r, "app"), WebScriptQueries::randomQueryNumber(), WebScriptQueries::randomQueryNumber());
    const QString script = str(r, "webscript");
    const QUrl base = script.isEmpty() ? WebScriptService::defaultScriptUrl(m_defaults) : QUrl(script);
    const bool plain = r.value(QStringLiteral("forceplain")).toBool();

    if (!QDir().mkpath(m_booksFolder)) {
        fail(problem(tr("The books folder could not be created.")));
        return;
    }
    // An update takes the installed file's own name, so the installed book stays until the new
    // file has arrived whole and been checked (a failed or cancelled update leaves it as it was).
    const QString replaced = str(r, "replacefile");
    if (!replaced.isEmpty() && QFileInfo(replaced).suffix() == QLatin1String("tvk") &&
        BookFileInstall::isRegularFile(replaced) && BookFileInstall::isInsideFolder(replaced, m_booksFolder))
        m_targetFileName = QFileInfo(replaced).absoluteFilePath();
    else
        m_targetFileName = freeFinalPath(target.absoluteFilePath());
    m_tempFileName = BookFileInstall::partialPathFor(m_targetFileName);
    // The partial file is the download's own: whatever has its name (a link planted there) goes
    // first, so the write never lands where a link points.
    QFile::remove(m_tempFileName);
    m_file = std::make_unique<QFile>(m_tempFileName);
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(problem(tr("The book file could not be written: %1").arg(m_file->errorString())));
        return;
    }
    m_expectedLength = -1;
    m_announcedLength = -1;
    m_written = 0;
    m_httpResponseStatus = 0;
    m_potentialErrorMessage = QString();
    m_potentialErrorMessage.reserve(1024);
    m_writeFailed = false;
    m_tooLarge = false;
    m_headerSha256.clear();
    m_headerMd5.clear();
    m_sha256.reset();
    m_md5.reset();

    m_center.postNotificationName(StoreNotifications::DownloadBooksStartedDownloading, this, *m_current);
    if (!m_current)
        return;  // an observer cancelled it
    m_reply = m_network.get(WebScriptService::request(base, query, plain));
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &DownloadBooksManager::onMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &DownloadBooksManager::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &DownloadBooksManager::onFinished);
}

void DownloadBooksManager::onMetaData()
{
    if (!m_reply || !m_current)
        return;
    m_httpResponseStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toLongLong();
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    m_announcedLength = length.isValid() ? length.toLongLong() : -1;
    m_expectedLength = m_announcedLength;
    m_headerSha256 = QString::fromLatin1(m_reply->rawHeader("X-Content-SHA256")).trimmed().toLower();
    m_headerMd5 = QByteArray::fromBase64(m_reply->rawHeader("Content-MD5").trimmed());
    if (m_expectedLength < 0 && m_current->contains(QStringLiteral("filesize")))
        m_expectedLength = m_current->value(QStringLiteral("filesize")).toLongLong();
    m_potentialErrorMessage.clear();
}

void DownloadBooksManager::onReadyRead()
{
    if (!m_reply || !m_current)
        return;
    const QByteArray chunk = m_reply->readAll();
    if (chunk.isEmpty() || m_writeFailed || m_tooLarge)
        return;
    static const QString errorTag = QStringLiteral("<error>");
    static const QString success = QStringLiteral("<success>");
    if (m_potentialErrorMessage.size() < 7 || m_potentialErrorMessage.startsWith(errorTag, Qt::CaseInsensitive)) {
        if (m_potentialErrorMessage.size() + chunk.size() <= 64 * 1024) {
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString text = utf8(chunk);
            m_potentialErrorMessage = utf8.hasError() ? success : m_potentialErrorMessage + text;
        } else {
            m_potentialErrorMessage = success;  // no error text is this long
        }
    }
    if (m_potentialErrorMessage.size() >= 7 && !m_potentialErrorMessage.startsWith(errorTag, Qt::CaseInsensitive))
        m_potentialErrorMessage = success;

    const qint64 limit = m_announcedLength >= 0 ? m_announcedLength : kMaxBookBytes;
    if (m_written + chunk.size() > std::min(limit, kMaxBookBytes)) {
        m_tooLarge = true;
        m_reply->abort();
        return;
    }
    if (m_file->write(chunk) != chunk.size()) {
        m_writeFailed = true;
        m_reply->abort();
        return;
    }
    m_written += chunk.size();
    m_sha256.addData(chunk);
    m_md5.addData(chunk);
    const double progress = m_expectedLength >= 1 ? double(float(m_written) / float(m_expectedLength)) : 1.0;
    m_current->insert(QStringLiteral("progress"), std::min(progress, 1.0));
    m_center.postNotificationName(StoreNotifications::qsDownloadBooksProgressNotification, this, *m_current);
}

void DownloadBooksManager::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply || !m_current)
        return;
    if (reply->bytesAvailable() > 0)
        onReadyRead();
    m_reply = nullptr;
    reply->deleteLater();
    const QVariant statusValue = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (statusValue.isValid())
        m_httpResponseStatus = statusValue.toLongLong();

    if (m_writeFailed) {
        fail(problem(tr("The book file could not be written: %1").arg(m_file->errorString())));
        return;
    }
    if (m_tooLarge) {
        fail(problem(tr("The server sent more data than it announced.")));
        return;
    }
    if (const std::optional<StoreError> failure =
            WebScriptService::replyFailure(*reply, m_httpResponseStatus, problem(QString()))) {
        fail(*failure);
        return;
    }
    if (m_potentialErrorMessage.startsWith(QLatin1String("<error>"), Qt::CaseInsensitive)) {
        fail({QStringLiteral("Quillstead"), 1, WebScriptService::errorText(m_potentialErrorMessage).value_or(QString()),
            QString(), tr("If the problem persists, contact Technical Support.")});
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        // A connection closed early: say what arrived, which is what the user can act on.
        if (m_announcedLength >= 0 && m_written < m_announcedLength)
            fail(problem(
                tr("The book file arrived incomplete (%1 of %2 bytes).").arg(m_written).arg(m_announcedLength)));
        else
            fail(problem(reply->errorString()));
        return;
    }
    if (QString why; !FileSave::flushToDisk(*m_file, &why)) {
        fail(problem(tr("The book file could not be written: %1").arg(why)));
        return;
    }
    m_file->close();
    if (const std::optional<StoreError> refused = checkFile()) {
        fail(*refused);
        return;
    }
    if (!QFileInfo::exists(m_targetFileName)) {
        succeed();
        return;
    }
    // An update that replaces an installed book must also read through: its text, contents, tables
    // and concordances. That takes a second for a large book, so it runs on a worker while the
    // window stays live; a damaged download leaves the installed copy as it is. An answer that comes
    // after the download was cancelled is dropped.
    const quint64 check = m_checkSerial;
    BookFileInstall::readsThroughOnWorker(m_tempFileName, this, [this, check](bool ok, const QString& reason) {
        if (!m_current || check != m_checkSerial)
            return;
        if (!ok) {
            fail({QStringLiteral("Quillstead"), 1,
                tr("The downloaded copy of this book is damaged, so the installed copy is kept."),
                tr("The download opens as a book, but %1. Try the download again later.").arg(reason), QString()});
            return;
        }
        succeed();
    });
}

std::optional<StoreError> DownloadBooksManager::checkFile()
{
    const QVariantMap& r = *m_current;
    // A body cut short arrives as a finished reply without an error: compare the sizes.
    const qint64 listed = r.value(QStringLiteral("filesize")).toLongLong();
    if (m_announcedLength >= 0 && m_written != m_announcedLength)
        return problem(tr("The book file arrived incomplete (%1 of %2 bytes).").arg(m_written).arg(m_announcedLength));
    if (listed > 0 && m_written != listed)
        return problem(tr("The book file has %1 bytes, not the %2 bytes the list of your books names.")
                           .arg(m_written)
                           .arg(listed));
    const QString sha = m_sha256.result().toHex();
    const QString listedSha = str(r, "filesha256").trimmed().toLower();
    if (!listedSha.isEmpty() && listedSha != sha)
        return problem(tr("The book file arrived damaged: its checksum does not match."));
    if (!m_headerSha256.isEmpty() && m_headerSha256 != sha)
        return problem(tr("The book file arrived damaged: its checksum does not match."));
    if (!m_headerMd5.isEmpty() && m_headerMd5 != m_md5.result())
        return problem(tr("The book file arrived damaged: its checksum does not match."));
    QString reason;
    if (!SourceTuple::allocateSourceForFile(m_tempFileName, &reason))
        return StoreError {QStringLiteral("Quillstead"), 1,
            tr("There was a problem reading this book after it was downloaded."),
            tr("The book may not be in a recognized format or may require a newer version of the reader."), QString()};
    return std::nullopt;
}

void DownloadBooksManager::succeed()
{
    // The installed copy carries the date the store gives its file, not the time it arrived: a later
    // list is compared with that date, whatever this computer's clock said when it was installed.
    const QDateTime storeDate = m_current->value(QStringLiteral("filedate")).toDateTime();
    if (storeDate.isValid()) {
        QFile file(m_tempFileName);
        if (!file.open(QIODevice::ReadWrite) || !file.setFileTime(storeDate, QFileDevice::FileModificationTime))
            qWarning().noquote() << "book download: the store's date could not be given to" << m_tempFileName
                                 << file.errorString();
    }
    // Same folder, so the rename is atomic: the final name holds the whole checked file or nothing.
    if (!BookFileInstall::replaceWith(m_tempFileName, m_targetFileName)) {
        fail(problem(tr("The book file could not be moved into the books folder.")));
        return;
    }
    m_center.postNotificationName(
        LibraryNotifications::qsBookFileCopiedToBooksFolder, nullptr, {{QStringLiteral("path"), m_targetFileName}});
    if (!m_current)
        return;
    m_current->insert(QStringLiteral("progress"), 1.0);
    if (!QFileInfo::exists(m_targetFileName)) {
        fail({QStringLiteral("Quillstead"), 1, tr("There was a problem reading this book after it was downloaded."),
            tr("The book may not be in a recognized format or may require a newer version of the reader."), QString()});
        return;
    }
    const QVariantMap done = *m_current;
    cleanUp();
    m_center.postNotificationName(StoreNotifications::qsDownloadBooksFinishedDownloading, nullptr, done);
    startNextDownload();
}

void DownloadBooksManager::fail(const StoreError& error)
{
    QVariantMap request = m_current.value_or(QVariantMap());
    request.insert(QStringLiteral("error"), error.toUserInfo());
    qWarning().noquote() << "book download failed:" << str(request, "filename") << error.description << error.reason;
    if (m_file)
        m_file->close();
    if (!m_tempFileName.isEmpty())
        QFile::remove(m_tempFileName);
    cleanUp();
    m_center.postNotificationName(StoreNotifications::qsDownloadBooksFinishedDownloadingWithError, this, request);
    QTimer::singleShot(kRetryDelayMs, this, &DownloadBooksManager::startNextDownload);
}

void DownloadBooksManager::cleanUp()
{
    ++m_checkSerial;  // a check still running answers no one
    if (m_file) {
        m_file->close();
        if (!m_tempFileName.isEmpty() && QFileInfo::exists(m_tempFileName))
            QFile::remove(m_tempFileName);
    }
    m_file.reset();
    m_current.reset();
    m_targetFileName.clear();
    m_tempFileName.clear();
    m_expectedLength = -1;
    m_announcedLength = -1;
}

}  // namespace qs::cloud

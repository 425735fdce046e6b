#include "app/AppUpdateChecker.h"
#include "platform/ui/PlainLabel.h"

#include "app/QuillsteadAppController.h"
#include "app/UpdateAvailableWindowController.h"
#include "app/preferences/AppNotifications.h"
#include "cloud/protocol/ServiceHost.h"
#include "platform/AppFolders.h"
#include "platform/AppVersion.h"
#include "platform/FileSave.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QOperatingSystemVersion>
#include <QProgressDialog>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <climits>

namespace {

constexpr int kCritical = 2;       // AlertStyle::Critical
constexpr int kInformational = 1;  // AlertStyle::Informational
const QString kSupport = QStringLiteral("If this error persists, contact Technical Support.");
const QString kUnexpected = QStringLiteral("This error was unexpected. If it persists, contact Technical Support.");

// One "version" entry of the feed: the text of the first child element of each name, and the first
// "customer-id" of every "customer-ids" element.
struct FeedEntry {
    QHash<QString, QString> values;
    bool hasCustomerIds = false;
    QStringList customerIds;
    QString value(const char* name) const { return values.value(QString::fromLatin1(name)); }
};

// Reads the text of the element the reader stands on, with everything below it; the reader ends on
// the element's end.
QString elementText(QXmlStreamReader& xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            text += xml.text();
            break;
        default:
            break;
        }
    }
    return text;
}

bool readFeed(const QByteArray& bytes, QList<FeedEntry>* entries)
{
    QXmlStreamReader xml(bytes);
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth != 2 || xml.name() != QLatin1String("version"))
                continue;
            FeedEntry entry;
            while (!xml.atEnd()) {
                const QXmlStreamReader::TokenType t = xml.readNext();
                if (t == QXmlStreamReader::EndElement)
                    break;  // the version element ends
                if (t != QXmlStreamReader::StartElement)
                    continue;
                const QString name = xml.name().toString();
                if (name == QLatin1String("customer-ids")) {
                    entry.hasCustomerIds = true;
                    QString first;
                    bool found = false;
                    int inner = 1;
                    while (inner > 0 && !xml.atEnd()) {
                        const QXmlStreamReader::TokenType c = xml.readNext();
                        if (c == QXmlStreamReader::StartElement) {
                            if (inner == 1 && !found && xml.name() == QLatin1String("customer-id")) {
                                first = elementText(xml);
                                found = true;
                                continue;
                            }
                            ++inner;
                        } else if (c == QXmlStreamReader::EndElement) {
                            --inner;
                        }
                    }
                    if (found)
                        entry.customerIds << first.trimmed();
                    continue;
                }
                const QString text = elementText(xml);
                if (!entry.values.contains(name))
                    entry.values.insert(name, text);
            }
            --depth;
            entries->append(entry);
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return !xml.hasError() && xml.tokenType() == QXmlStreamReader::EndDocument;
}

QString withoutLeadingZeros(const QString& digits)
{
    qsizetype i = 0;
    while (i < digits.size() && digits[i] == QLatin1Char('0'))
        ++i;
    return digits.mid(i);
}

qint64 integerOf(const QString& text)
{
    return text.trimmed().toLongLong();
}

}  // namespace

AppUpdateChecker::AppUpdateChecker(NotificationCenter& center, UserDefaults& defaults, QObject* parent)
    : QObject(parent), m_center(center), m_defaults(defaults), m_network(new QNetworkAccessManager(this))
{
    m_running.build = QuillsteadAppController::appVersion();
    m_running.version = AppVersion::version();
    m_running.systemVersion = systemVersionString();
    m_center.addObserver(this, AppNotifications::UserWantsToDownloadAppUpdateNotification, [this](Notification& n) {
        userWantsToDownloadAppUpdate(n.userInfo.value(QStringLiteral("url")).toUrl(),
            n.userInfo.value(QStringLiteral("downloadSize"), -1).toLongLong(),
            n.userInfo.value(QStringLiteral("downloadSha256")).toByteArray());
    });
}

AppUpdateChecker::~AppUpdateChecker()
{
    m_center.removeObserver(this);
    m_cancelled = true;
    if (m_feedReply)
        m_feedReply->abort();
    if (m_download)
        m_download->abort();
    delete m_progress.data();
}

QUrl AppUpdateChecker::feedUrl() const
{
    return qs::cloud::ServiceHost::fromDefaults(m_defaults).updateFeedUrl();
}

QString AppUpdateChecker::downloadsFolder() const
{
    return AppFolders::downloadsDirectory();
}

// ---- when to check

void AppUpdateChecker::setLastCheckForUpdatesToNow()
{
    m_defaults.set(SettingsKeys::LastAppUpdateCheck, m_running.now().toSecsSinceEpoch());
}

bool AppUpdateChecker::conditionallyCheckForUpdates(bool manual)
{
    if (!manual) {
        if (!m_defaults.value(SettingsKeys::AppUpdateAutomatic))
            return false;
        const qint64 last = m_defaults.value(SettingsKeys::LastAppUpdateCheck);
        if (last == 0) {
            // The first automatic check comes one interval after the first launch.
            setLastCheckForUpdatesToNow();
            return false;
        }
        if (last + m_defaults.value(SettingsKeys::AppUpdateFreqSeconds) > m_running.now().toSecsSinceEpoch())
            return false;
    }
    if (m_feedReply)
        return false;  // one check at a time
    QUrl url = feedUrl();
    // Two random numbers keep caches from answering.
    QRandomGenerator* random = QRandomGenerator::global();
    url.setQuery(QStringLiteral("r=%1%2")
                     .arg(random->generate(), 10, 10, QLatin1Char('0'))
                     .arg(random->generate(), 10, 10, QLatin1Char('0')));
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(kTimeoutMs);
    m_feedReply = m_network->get(request);
    QNetworkReply* reply = m_feedReply;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64 total) {
        if (received > kMaxFeedBytes || total > kMaxFeedBytes) {
            reply->setProperty("tooLarge", true);
            reply->abort();
        }
    });
    // Queued: the answer may be an alert or the update window, whose loops must not run inside the
    // reply's signal.
    connect(
        reply, &QNetworkReply::finished, this, [this, manual] { feedFinished(manual); }, Qt::QueuedConnection);
    return true;
}

// ---- the answer

void AppUpdateChecker::feedFinished(bool manual)
{
    QNetworkReply* reply = m_feedReply;
    m_feedReply = nullptr;
    if (!reply)
        return;
    reply->deleteLater();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    const bool tooLarge = reply->property("tooLarge").toBool();
    if (!status.isValid() || (error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied)) {
        // No HTTP answer: a transport failure (or one cut off for its size).
        if (manual)
            alert(kCritical,
                QStringLiteral("There was a problem connecting to the server: %1").arg(reply->errorString()),
                tooLarge ? QStringLiteral("The list of available updates is too large.") : QString());
        emit checkFinished();
        return;
    }
    const int code = status.toInt();
    if (code >= 400 && code <= 499) {
        if (manual)
            alert(kCritical, QStringLiteral("The list of available updates was not found on the server."), kSupport);
        emit checkFinished();
        return;
    }
    if (code < 200 || code > 299) {
        if (manual)
            alert(kCritical,
                QStringLiteral(
                    "The server responded with status code %1 when looking for the list of available updates.")
                    .arg(code),
                kSupport);
        emit checkFinished();
        return;
    }
    const QByteArray body = reply->read(kMaxFeedBytes + 1);
    bool wellFormed = false;
    const QVariantMap params =
        body.size() > kMaxFeedBytes ? QVariantMap() : updateParametersFromFeed(body, &wellFormed);
    if (!wellFormed) {
        if (manual)
            alert(kCritical, QStringLiteral("The response from the server is not in the right format."), kSupport);
        emit checkFinished();
        return;
    }
    setLastCheckForUpdatesToNow();
    if (params.isEmpty()) {
        if (manual)
            alert(kInformational, QStringLiteral("You have the latest version."), QString());
    } else if (m_presenter.showUpdateAvailable) {
        m_presenter.showUpdateAvailable(params);
    }
    emit checkFinished();
}

QVariantMap AppUpdateChecker::updateParametersFromFeed(const QByteArray& xml, bool* wellFormed) const
{
    QList<FeedEntry> entries;
    const bool ok = xml.size() <= kMaxFeedBytes && readFeed(xml, &entries);
    if (wellFormed)
        *wellFormed = ok;
    if (!ok)
        return {};
    const QDateTime now = m_running.now();
    const bool signedIn = m_defaults.value(SettingsKeys::CredentialsValid);
    const qint64 customer = m_defaults.value(SettingsKeys::CustomerIDNum);
    qint64 best = 0;
    const FeedEntry* offered = nullptr;
    QList<QPair<qint64, QString>> history;  // newest first
    for (const FeedEntry& e : entries) {
        const QString minUpdater = e.value("min-updater-version"), maxUpdater = e.value("max-updater-version");
        if ((!minUpdater.isEmpty() && integerOf(minUpdater) > kUpdaterVersion) ||
            (!maxUpdater.isEmpty() && integerOf(maxUpdater) < kUpdaterVersion))
            continue;
        const QDateTime published = parsePublicationDate(e.value("publication-date"));
        if (published.isValid() && published > now)
            continue;
        const QString maxOs = e.value("max-os-version"), minOs = e.value("min-os-version");
        if ((!maxOs.isEmpty() && compareSystemVersion(m_running.systemVersion, maxOs) == 1) ||
            (!minOs.isEmpty() && compareSystemVersion(m_running.systemVersion, minOs) == -1))
            continue;
        if (e.hasCustomerIds) {
            bool listed = false;
            for (const QString& id : e.customerIds)
                listed = listed || (!id.isEmpty() && integerOf(id) == customer);
            if (!signedIn || !listed)
                continue;
        }
        const QString minBuild = e.value("min-app-build"), maxBuild = e.value("max-app-build");
        if ((!minBuild.isEmpty() && m_running.build < integerOf(minBuild)) ||
            (!maxBuild.isEmpty() && m_running.build > integerOf(maxBuild)))
            continue;
        const qint64 build = integerOf(e.value("build"));
        const QString description = e.value("description");
        if (build > m_running.build && !description.isEmpty()) {
            qsizetype at = 0;
            while (at < history.size() && history[at].first >= build)
                ++at;
            history.insert(at, {build, description});
        }
        if (build > best) {
            best = build;
            offered = &e;
        }
    }
    if (best <= m_running.build || !offered)
        return {};
    QString combined;
    for (const auto& h : std::as_const(history))
        combined += h.second;
    const QString version = offered->value("version-string");
    QVariantMap params {
        {QStringLiteral("description"), combined},
        {QStringLiteral("build"), QString::number(best)},
        {QStringLiteral("version"), version},
        {QStringLiteral("instructions"), offered->value("install-instructions")},
        {QStringLiteral("downloadLink"), offered->value("download-link").trimmed()},
        {QStringLiteral("moreInfoLink"), offered->value("more-info-link").trimmed()},
        {QStringLiteral("label"),
            QStringLiteral("You have version %1 build %2. Version %3 build %4 is available.")
                .arg(m_running.version)
                .arg(m_running.build)
                .arg(version)
                .arg(best)},
    };
    bool sizeOk = false;
    const qint64 size = offered->value("download-size").trimmed().toLongLong(&sizeOk);
    if (sizeOk && size >= 0)
        params.insert(QStringLiteral("downloadSize"), size);
    const QByteArray digest = offered->value("download-sha256").trimmed().toLower().toLatin1();
    if (!digest.isEmpty())
        params.insert(QStringLiteral("downloadSha256"), digest);
    return params;
}

// ---- versions and dates

QString AppUpdateChecker::systemVersionString()
{
    const QOperatingSystemVersion os = QOperatingSystemVersion::current();
    if (os.type() != QOperatingSystemVersion::Unknown && os.majorVersion() > 0)
        return QStringLiteral("%1.%2.%3")
            .arg(os.majorVersion())
            .arg(std::max(0, os.minorVersion()))
            .arg(std::max(0, os.microVersion()));
    // Elsewhere the distribution's version ("12" on Debian 12), padded to three numbers.
    static const QRegularExpression dotted(QStringLiteral("^\\d+(\\.\\d+)*$"));
    QString version = QSysInfo::productVersion();
    if (!dotted.match(version).hasMatch())
        version = QSysInfo::kernelVersion().section(QLatin1Char('-'), 0, 0);
    if (!dotted.match(version).hasMatch())
        version = QStringLiteral("0");
    QStringList parts = version.split(QLatin1Char('.'));
    while (parts.size() < 3)
        parts << QStringLiteral("0");
    return parts.mid(0, 3).join(QLatin1Char('.'));
}

int AppUpdateChecker::compareSystemVersion(const QString& a, const QString& b)
{
    if (a.isNull())
        return b.isNull() ? 0 : -1;
    if (b.isNull())
        return 1;
    static const QRegularExpression leading(QStringLiteral("^[0-9.]*"));
    const QString runA = leading.match(a).captured(0), runB = leading.match(b).captured(0);
    if (runA.isEmpty())
        return runB.isEmpty() ? 0 : -1;
    if (runB.isEmpty())
        return 1;
    QStringList x = runA.split(QLatin1Char('.')), y = runB.split(QLatin1Char('.'));
    while (x.size() < y.size())
        x << QStringLiteral("0");
    while (y.size() < x.size())
        y << QStringLiteral("0");
    for (qsizetype i = 0; i < x.size(); ++i) {
        if (x[i].isEmpty() != y[i].isEmpty())
            return x[i].isEmpty() ? -1 : 1;
        if (x[i].isEmpty())
            continue;
        // Components are compared as numbers (of any length: without leading zeros, the longer is larger).
        const QString p = withoutLeadingZeros(x[i]), q = withoutLeadingZeros(y[i]);
        if (p.size() != q.size())
            return p.size() > q.size() ? 1 : -1;
        const int c = QString::compare(p, q);
        if (c != 0)
            return c > 0 ? 1 : -1;
    }
    return 0;
}

QDateTime AppUpdateChecker::parsePublicationDate(const QString& text)
{
    static const QRegularExpression format(
        QStringLiteral("^\\s*(\\d{1,4})-(\\d{1,2})-(\\d{1,2}) (\\d{1,2}):(\\d{1,2}):(\\d{1,2}) "
                       "(?:([+-])(\\d{2}):?(\\d{2})|GMT|UTC|Z)\\s*$"));
    const QRegularExpressionMatch m = format.match(text);
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return {};
    int offset = 0;
    if (!m.captured(7).isEmpty()) {
        const int hours = m.captured(8).toInt(), minutes = m.captured(9).toInt();
        if (hours > 18 || minutes > 59)
            return {};
        offset = (hours * 3600 + minutes * 60) * (m.captured(7) == QLatin1String("-") ? -1 : 1);
    }
    return QDateTime(date, time, QTimeZone(offset)).toUTC();
}

// ---- download

QString AppUpdateChecker::downloadDestination(const QString& folder, const QUrl& url)
{
    // Only the last path component, decoded: the folder is never left and no sub-folder is needed.
    QString name = url.path(QUrl::FullyDecoded).section(QLatin1Char('/'), -1);
    name.remove(QChar(0));
    name = name.trimmed();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.startsWith(QLatin1Char('.')) ||
        name.size() > 255)
        return {};
    const QDir dir(folder);
    QString candidate = dir.filePath(name);
    const QFileInfo info(name);
    const QString base = info.completeBaseName(), suffix = info.suffix();
    for (int n = 1; QFileInfo::exists(candidate) && n < 1000; ++n)
        candidate = dir.filePath(suffix.isEmpty() ? QStringLiteral("%1 (%2)").arg(base).arg(n)
                                                  : QStringLiteral("%1 (%2).%3").arg(base).arg(n).arg(suffix));
    return QFileInfo::exists(candidate) ? QString() : candidate;
}

void AppUpdateChecker::userWantsToDownloadAppUpdate(
    const QUrl& url, qint64 expectedSize, const QByteArray& expectedSha256)
{
    if (m_download)
        return;  // one download at a time
    if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))) {
        alert(kCritical,
            QStringLiteral("There was a problem downloading the file: %1")
                .arg(QStringLiteral("the address \"%1\" is not a web address.").arg(url.toDisplayString())),
            kUnexpected);
        emit downloadFinished({});
        return;
    }
    const QString folder = downloadsFolder();
    QDir().mkpath(folder);
    m_destination = downloadDestination(folder, url);
    if (m_destination.isEmpty()) {
        alert(kCritical,
            QStringLiteral("There was an error while moving the file to your Downloads folder: %1")
                .arg(QStringLiteral("the address names no file")),
            kUnexpected);
        emit downloadFinished({});
        return;
    }
    if (m_presenter.toast)
        m_presenter.toast(QStringLiteral("You can continue to use Quillstead while the update is downloading."));
    // Written beside its destination and renamed into place only once checked.
    // The download's own alerts say what failed.
    m_file = std::make_unique<FileSave>(m_destination, QString(), FileSave::Reporting::CallerTells);
    if (!QFileInfo(QFileInfo(m_destination).absolutePath()).isDir() || !m_file->open()) {
        const QString why = m_file->failed()
            ? m_file->errorString()
            : QStringLiteral("the folder %1 does not exist").arg(QFileInfo(m_destination).absolutePath());
        m_file.reset();
        alert(kCritical,
            QStringLiteral("There was an error while moving the file to your Downloads folder: %1").arg(why),
            kUnexpected);
        emit downloadFinished({});
        return;
    }
    m_hash = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
    m_downloadUrl = url;
    m_expectedSize = expectedSize;
    m_expectedSha256 = expectedSha256.toLower();
    m_received = 0;
    m_cancelled = false;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(kTimeoutMs);
    m_download = m_network->get(request);
    connect(m_download, &QNetworkReply::readyRead, this, &AppUpdateChecker::downloadReadyRead);
    connect(m_download, &QNetworkReply::finished, this, &AppUpdateChecker::downloadFinishedReply, Qt::QueuedConnection);
    connect(m_download, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        emit downloadProgress(received, total);
        if (m_progress) {
            m_progress->setMaximum(total > 0 ? int(std::min<qint64>(total / 1024 + 1, INT_MAX)) : 0);
            m_progress->setValue(int(std::min<qint64>(received / 1024, INT_MAX)));
        }
    });
    if (m_presenter.showProgress) {
        // The file name comes from the feed: its label shows it as written.
        m_progress = new QProgressDialog;
        m_progress->setLabel(new PlainLabel(m_progress));
        PlainLabel::makePlain(m_progress);
        m_progress->setLabelText(QStringLiteral("Downloading %1...").arg(QFileInfo(m_destination).fileName()));
        m_progress->setCancelButtonText(QStringLiteral("Cancel"));
        m_progress->setRange(0, 0);
        // A window of its own: the update window that asked for the download closes right after.
        m_progress->setObjectName(QStringLiteral("updateDownloadProgress"));
        m_progress->setWindowTitle(QStringLiteral("Quillstead Update"));
        m_progress->setMinimumDuration(0);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        connect(m_progress, &QProgressDialog::canceled, this, &AppUpdateChecker::cancelDownload);
        m_progress->show();
    }
}

void AppUpdateChecker::cancelDownload()
{
    if (!m_download)
        return;
    m_cancelled = true;
    m_download->abort();
}

void AppUpdateChecker::downloadReadyRead()
{
    if (!m_download || !m_file)
        return;
    const QByteArray chunk = m_download->readAll();
    m_received += chunk.size();
    const qint64 announced = m_download->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (m_received > kMaxDownloadBytes || (m_expectedSize >= 0 && m_received > m_expectedSize) ||
        (announced > 0 && m_received > announced)) {
        m_download->abort();
        return;
    }
    m_hash->addData(chunk);
    if (!m_file->write(chunk))
        m_download->abort();
}

void AppUpdateChecker::failDownload(const QString& message)
{
    if (m_file)
        m_file->cancel();
    m_file.reset();
    m_hash.reset();
    if (!message.isEmpty())
        alert(kCritical, message, kUnexpected);
    emit downloadFinished({});
}

void AppUpdateChecker::downloadFinishedReply()
{
    QNetworkReply* reply = m_download;
    m_download = nullptr;
    if (!reply)
        return;
    reply->deleteLater();
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
    }
    if (reply->bytesAvailable() > 0)
        downloadReadyRead();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    const bool fileWriteFailed = m_file && m_file->failed();
    if (m_cancelled) {
        failDownload({});
        return;
    }
    if (fileWriteFailed) {
        failDownload(QStringLiteral("There was an error while moving the file to your Downloads folder: %1")
                         .arg(m_file->errorString()));
        return;
    }
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).isValid()
        ? reply->header(QNetworkRequest::ContentLengthHeader).toLongLong()
        : -1;
    if (!status.isValid()) {
        failDownload(error != QNetworkReply::NoError
                ? QStringLiteral("There was a problem downloading the file: %1").arg(reply->errorString())
                : QStringLiteral("Received a completely undecipherable response from the server."));
        return;
    }
    const int code = status.toInt();
    if (code < 200 || code > 299) {
        failDownload(QStringLiteral("Response status %1 while downloading the update from our server.").arg(code));
        return;
    }
    // Checked before it is offered: complete as announced, and as the feed entry or server describe it.
    const QByteArray serverDigest = reply->rawHeader("X-Content-SHA256").trimmed().toLower();
    const QByteArray digest = m_hash->result().toHex();
    QString refused;
    if (announced >= 0 && m_received != announced)
        refused = QStringLiteral("the download ended after %1 of %2 bytes").arg(m_received).arg(announced);
    else if (m_expectedSize >= 0 && m_received != m_expectedSize)
        refused = QStringLiteral("the file has %1 bytes where the update has %2").arg(m_received).arg(m_expectedSize);
    else if (!m_expectedSha256.isEmpty() && digest != m_expectedSha256)
        refused = QStringLiteral("the file's SHA-256 digest does not match the update's");
    else if (!serverDigest.isEmpty() && digest != serverDigest)
        refused = QStringLiteral("the file's SHA-256 digest does not match the server's");
    else if (error != QNetworkReply::NoError)
        refused = reply->errorString();
    if (!refused.isEmpty()) {
        failDownload(QStringLiteral("There was a problem downloading the file: %1").arg(refused));
        return;
    }
    if (!m_file->commit()) {
        const QString why = m_file->errorString();
        m_file.reset();
        failDownload(QStringLiteral("There was an error while moving the file to your Downloads folder: %1").arg(why));
        return;
    }
    m_file.reset();
    m_hash.reset();
    const QString name = QFileInfo(m_destination).fileName();
    alert(kInformational, QStringLiteral("Successfully downloaded %1 to your Downloads folder.").arg(name),
        QStringLiteral("Exit Quillstead, launch %1, and follow instructions to install the update.").arg(name),
        {{QStringLiteral("firstButtonTitle"), QStringLiteral("Show in Folder")},
            {QStringLiteral("firstButtonSelector"), QStringLiteral("showInFolder:")},
            {QStringLiteral("firstButtonParam"), m_destination},
            {QStringLiteral("secondButtonTitle"), QStringLiteral("Cancel")}});
    emit downloadFinished(m_destination);
}

void AppUpdateChecker::alert(int style, const QString& message, const QString& informative, const QVariantMap& extra)
{
    if (!m_presenter.alert)
        return;
    QVariantMap a = extra;
    a.insert(QStringLiteral("alertStyle"), style);
    a.insert(QStringLiteral("messageText"), message);
    a.insert(QStringLiteral("informativeText"), informative);
    m_presenter.alert(a);
}

#include "panes/page/BookPageScheme.h"

#include <QBuffer>
#include <QHash>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QUrl>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

Q_LOGGING_CATEGORY(lcBookPageScheme, "qs.panes.page.scheme")

namespace {

QHash<QString, BookPageEndpoint*>& endpoints()
{
    static QHash<QString, BookPageEndpoint*> map;
    return map;
}

void replyWith(QWebEngineUrlRequestJob* job, const QByteArray& mime, const QByteArray& body)
{
    auto* buffer = new QBuffer(job);
    buffer->setData(body);
    buffer->open(QIODevice::ReadOnly);
    job->reply(mime, buffer);
}

QByteArray imageMime(const QString& name)
{
    const QString lower = name.toLower();
    if (lower.endsWith(QLatin1String(".png")))
        return "image/png";
    if (lower.endsWith(QLatin1String(".jpg")) || lower.endsWith(QLatin1String(".jpeg")))
        return "image/jpeg";
    if (lower.endsWith(QLatin1String(".gif")))
        return "image/gif";
    if (lower.endsWith(QLatin1String(".bmp")))
        return "image/bmp";
    return QByteArray();
}

class SchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    void requestStarted(QWebEngineUrlRequestJob* job) override
    {
        const QUrl url = job->requestUrl();
        const QString host = url.host();
        if (job->requestMethod() != "GET") {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        const QUrl initiator = job->initiator();
        const QStringList parts = url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
        BookPageEndpoint* endpoint = parts.isEmpty() ? nullptr : endpoints().value(parts[0]);
        if (host == QLatin1String(BookPageScheme::kBridgeHost)) {
            // Only a page's script calls, with its page's secret. Book pages have an opaque origin
            // ("null"); a top-level load (no initiator) never goes to the bridge.
            const bool fromPage = initiator.toString() == QLatin1String("null") ||
                (initiator.scheme() == QLatin1String(BookPageScheme::kScheme) &&
                    initiator.host() == QLatin1String(BookPageScheme::kHost));
            if (!fromPage || endpoint == nullptr || parts.size() != 3 || !endpoint->isBridgeSecret(parts[1])) {
                qCInfo(lcBookPageScheme) << "refused a bridge request";
                job->fail(QWebEngineUrlRequestJob::RequestDenied);
                return;
            }
            answerCall(job, endpoint, parts[2]);
            return;
        }
        if (host != QLatin1String(BookPageScheme::kHost)) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        // A request from a page must come from a book page; the top-level load has no initiator.
        if (!initiator.isEmpty() && initiator.toString() != QLatin1String("null") &&
            initiator.scheme() != QLatin1String(BookPageScheme::kScheme)) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        if (endpoint == nullptr || parts.size() < 2) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        if (parts.size() == 2) {
            bool ok = false;
            const quint64 serial = parts[1].toULongLong(&ok);
            if (ok) {
                const QByteArray html = endpoint->pageHtml(serial);
                if (html.isEmpty())
                    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
                else
                    replyWith(job, "text/html", html);
                return;
            }
        }
        const QString name = parts.last();
        const QByteArray mime = imageMime(name);
        const QByteArray data = mime.isEmpty() ? QByteArray() : endpoint->bookFile(name);
        if (data.isEmpty())
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        else
            replyWith(job, mime, data);
    }

private:
    static void answerCall(QWebEngineUrlRequestJob* job, BookPageEndpoint* endpoint, const QString& name)
    {
        const QByteArray query = job->requestUrl().query(QUrl::FullyEncoded).toLatin1();
        if (query.size() > BookPageScheme::kMaxCallBytes) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        const QJsonDocument args = QJsonDocument::fromJson(QByteArray::fromPercentEncoding(query));
        if (!args.isArray()) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        const QJsonValue answer = endpoint->bridgeCall(name, args.array());
        // Wrapped in an array, so that a plain string or null is valid JSON text too.
        QByteArray body = QJsonDocument(QJsonArray {answer}).toJson(QJsonDocument::Compact);
        body = body.mid(1, body.size() - 2);
        replyWith(job, "application/json", body);
    }
};

class Interceptor : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QUrl url = info.requestUrl();
        // The bridge answers script requests only: an image, style sheet, font, frame, prefetch or
        // ping that names it is refused before it is made.
        const bool bridge = url.scheme().compare(QLatin1String(BookPageScheme::kScheme), Qt::CaseInsensitive) == 0 &&
            url.host() == QLatin1String(BookPageScheme::kBridgeHost);
        if (!BookPageScheme::isAllowedUrl(url) ||
            (bridge && info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeXhr)) {
            qCInfo(lcBookPageScheme) << "refused" << info.resourceType() << url.toString(QUrl::RemoveQuery).left(200);
            info.block(true);
        }
    }
};

}  // namespace

void BookPageScheme::registerScheme()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
        QWebEngineUrlScheme::LocalAccessAllowed | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QWebEngineProfile* BookPageScheme::profile()
{
    static QWebEngineProfile* shared = [] {
        auto* p = new QWebEngineProfile();  // off the record: nothing on disk
        p->setHttpCacheType(QWebEngineProfile::NoCache);
        p->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        p->setSpellCheckEnabled(false);
        p->installUrlSchemeHandler(kScheme, new SchemeHandler(p));
        p->setUrlRequestInterceptor(new Interceptor(p));
        QWebEngineSettings* s = p->settings();
        s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
        s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
        s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
        s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
        s->setAttribute(QWebEngineSettings::WebGLEnabled, false);
        s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
        s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
        s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
        return p;
    }();
    return shared;
}

QString BookPageScheme::registerEndpoint(BookPageEndpoint* endpoint)
{
    QString token;
    do {
        quint64 words[2];
        QRandomGenerator::system()->fillRange(words);
        token = QString::number(words[0], 16) + QString::number(words[1], 16);
    } while (endpoints().contains(token));
    endpoints().insert(token, endpoint);
    return token;
}

void BookPageScheme::unregisterEndpoint(const QString& token)
{
    endpoints().remove(token);
}

QUrl BookPageScheme::pageUrl(const QString& token, quint64 serial)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(kScheme));
    url.setHost(QString::fromLatin1(kHost));
    url.setPath(QStringLiteral("/%1/%2").arg(token).arg(serial));
    return url;
}

QString BookPageScheme::bridgeBase(const QString& token, const QString& secret)
{
    return QStringLiteral("%1://%2/%3/%4/").arg(QLatin1String(kScheme), QLatin1String(kBridgeHost), token, secret);
}

bool BookPageScheme::isAllowedUrl(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String(kScheme))
        return url.host() == QLatin1String(kHost) || url.host() == QLatin1String(kBridgeHost);
    return scheme == QLatin1String("data") ||
        (scheme == QLatin1String("about") && url.path() == QLatin1String("blank"));
}

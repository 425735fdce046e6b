#include "tools/standin-services/StandinServices.h"

#include "cloud/protocol/ScrambledText.h"
#include "cloud/protocol/StoreCustomerBlock.h"
#include "cloud/protocol/SyncTime.h"
#include "tools/standin-services/CoverArt.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimeZone>

namespace qs::standin {

using qs::cloud::WebScriptRequest;

namespace {

constexpr qsizetype kMaxNameLength = 100;
constexpr qsizetype kMaxEmailLength = 254;
constexpr qsizetype kMaxPasswordLength = 200;

// Windows-1252 bytes of the text; characters it cannot hold become "?".
QByteArray toWindows1252(const QString& text)
{
    static const QList<QPair<char16_t, char>> extras = {{0x20AC, '\x80'}, {0x201A, '\x82'}, {0x201E, '\x84'},
        {0x2026, '\x85'}, {0x2018, '\x91'}, {0x2019, '\x92'}, {0x201C, '\x93'}, {0x201D, '\x94'}, {0x2022, '\x95'},
        {0x2013, '\x96'}, {0x2014, '\x97'}, {0x2122, '\x99'}};
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(static_cast<char>(u));
            continue;
        }
        char mapped = '?';
        for (const auto& [code, byte] : extras) {
            if (code == u)
                mapped = byte;
        }
        out.append(mapped);
    }
    return out;
}

// One element; text holding markup characters goes in CDATA, since the reader decodes no entities.
QString element(const QString& name, const QString& text)
{
    QString body = text;
    if (text.contains(QLatin1Char('<')) || text.contains(QLatin1Char('&')) || text.contains(QLatin1Char('>')))
        body = QStringLiteral("<![CDATA[") +
            QString(text).replace(QStringLiteral("]]>"), QStringLiteral("]]]]><![CDATA[>")) + QStringLiteral("]]>");
    return QStringLiteral("<%1>%2</%1>").arg(name, body);
}

// One element around markup that is already XML.
QString rawElement(const QString& name, const QString& innerXml)
{
    return QStringLiteral("<%1>%2</%1>").arg(name, innerXml);
}

QString htmlEscaped(const QString& text)
{
    return text.toHtmlEscaped();
}

HttpResponse xmlReply(const QString& body)
{
    return HttpResponse::text(200, toWindows1252(body), "text/xml; charset=windows-1252");
}

HttpResponse errorReply(const QString& message)
{
    return xmlReply(element(QStringLiteral("error"), message));
}

HttpResponse htmlPage(int status, const QString& title, const QString& body)
{
    const QString page = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title>"
                                        "<style>body{font-family:sans-serif;margin:2em;max-width:44em}"
                                        "li{margin:.3em 0}.price{color:#070}</style></head>"
                                        "<body><h1>%1</h1>\n%2\n</body></html>\n")
                             .arg(htmlEscaped(title), body);
    return HttpResponse::text(status, page.toUtf8(), "text/html; charset=utf-8");
}

HttpResponse jsonReply(int status, const QJsonObject& object)
{
    return HttpResponse::text(status, QJsonDocument(object).toJson(QJsonDocument::Compact), "application/json");
}

QString feedDate(const QDateTime& t)
{
    return t.toUTC().toString(QStringLiteral("yyyy-M-d H:m:s")) + QStringLiteral(" +0000");
}

// Offer expiry text in the store's time zone (America/Chicago), "y-M-d H:m:s.SSS".
QString offerExpiry(const QDateTime& t)
{
    QTimeZone zone("America/Chicago");
    const QDateTime local = zone.isValid() ? t.toTimeZone(zone) : t.toUTC();
    return local.toString(QStringLiteral("yyyy-M-d H:m:s.zzz"));
}

// key=value pairs of a query text and, for forms, of the body.
QList<QPair<QString, QString>> formItems(const HttpRequest& request)
{
    QList<QPair<QString, QString>> items;
    auto add = [&items](const QString& text, bool plusIsSpace) {
        const qs::cloud::WebScriptQuery query = qs::cloud::WebScriptQuery::parse(text);
        for (const auto& [k, v] : query.items()) {
            if (k.isEmpty())
                continue;
            QString value = v;
            if (plusIsSpace)
                value.replace(QLatin1Char('+'), QLatin1Char(' '));
            items.append({qs::cloud::urlDecodedQueryItemValue(k), qs::cloud::urlDecodedQueryItemValue(value)});
        }
    };
    add(request.rawQuery, false);
    if (request.headers.value("content-type").startsWith("application/x-www-form-urlencoded"))
        add(QString::fromUtf8(request.body), true);
    return items;
}

QString formValue(const HttpRequest& request, const QString& key)
{
    QString value;
    for (const auto& [k, v] : formItems(request)) {
        if (k == key)
            value = v;
    }
    return value;
}

}  // namespace

StandinServices::StandinServices(QObject* parent) : QObject(parent)
{
}

StandinServices::~StandinServices()
{
    // The servers use the database and the fault plan, which are members: stop them first.
    delete m_sync;
    delete m_http;
}

void StandinServices::log(const QString& line) const
{
    if (m_log)
        m_log(line);
}

bool StandinServices::start(const StandinOptions& options, QString* error)
{
    m_options = options;
    for (const QString& fault : options.faults) {
        const qsizetype eq = fault.indexOf(QLatin1Char('='));
        QString message;
        if (!m_faults.set(fault.left(eq), eq < 0 ? QStringLiteral("1") : fault.mid(eq + 1), &message)) {
            *error = message;
            return false;
        }
    }
    if (!QDir().mkpath(options.dataDir)) {
        *error = QStringLiteral("cannot create the data folder %1").arg(options.dataDir);
        return false;
    }
    if (!m_db.open(QDir(options.dataDir).filePath(QStringLiteral("standin.db")), error))
        return false;
    if (options.demoAccount && !m_db.findAccount(QString::fromLatin1(kDemoEmail))) {
        QString message;
        m_db.createAccount(QString::fromLatin1(kDemoEmail), QString::fromLatin1(kDemoPassword), QStringLiteral("Demo"),
            QStringLiteral("Reader"), &message);
    }
    QStringList skipped;
    m_catalog.load(options.booksDir, &skipped);
    for (const QString& s : skipped)
        log(QStringLiteral("book left out: ") + s);
    m_http = new HttpServer([this](const HttpRequest& r) { return handle(r); }, &m_faults, this);
    m_sync = new SyncServer(&m_db, &m_faults, this);
    return m_http->listen(options.httpPort, error) && m_sync->listen(options.syncPort, error);
}

QString StandinServices::baseUrl(const HttpRequest& request) const
{
    static const QRegularExpression hostForm(QStringLiteral("^[A-Za-z0-9.\\-]+(:\\d{1,5})?$"));
    const QString host = QString::fromLatin1(request.headers.value("host"));
    if (hostForm.match(host).hasMatch())
        return QStringLiteral("http://") + host;
    return QStringLiteral("http://127.0.0.1:%1").arg(httpPort());
}

HttpResponse StandinServices::handle(const HttpRequest& request)
{
    const QString& path = request.path;
    if (path.startsWith(QLatin1String("/_control/")))
        return control(request);
    if (request.method != "GET" && request.method != "HEAD" && request.method != "POST")
        return HttpResponse::text(405, "Method not allowed.\n");
    if (path == QLatin1String("/mac/booklist.asp"))
        return webScript(request);
    if (path == QLatin1String("/mac/QuillsteadUpdate.xml"))
        return updateFeed(request);
    if (path.startsWith(QLatin1String("/downloads/")) || path.startsWith(QLatin1String("/news/")))
        return updateDownload(request);
    if (path.startsWith(QLatin1String("/MacStore/")) || path == QLatin1String("/MacStore"))
        return store(request);
    if (path == QLatin1String("/account/reset"))
        return resetPage(request);
    if (path.startsWith(QLatin1String("/api/")))
        return json(request);
    if (path == QLatin1String("/"))
        return index(request);
    return HttpResponse::text(404, "Not found.\n");
}

HttpResponse StandinServices::webScript(const HttpRequest& request)
{
    QString error;
    const std::optional<WebScriptRequest> r = qs::cloud::decodeWebScriptRequest(request.rawQuery, &error);
    if (!r) {
        HttpResponse reply = errorReply(error);
        reply.status = 400;
        return reply;
    }
    const QString action = r->action();
    if (action == QLatin1String(qs::cloud::WebScriptQueries::kCreateAccount))
        return createAccount(*r);
    if (action == QLatin1String(qs::cloud::WebScriptQueries::kLogIn))
        return logIn(*r);
    if (action == QLatin1String(qs::cloud::WebScriptQueries::kResetPassword))
        return resetPassword(*r, request);
    if (action == QLatin1String(qs::cloud::WebScriptQueries::kOwnedBooks))
        return ownedBooks(*r);
    if (action == QLatin1String(qs::cloud::WebScriptQueries::kDownload))
        return download(*r);
    if (action == QLatin1String(qs::cloud::WebScriptQueries::kCover))
        return cover(*r);
    if (action == QLatin1String(qs::cloud::WebScriptQueries::kOffers))
        return offers(*r);
    return errorReply(QStringLiteral("Unknown request."));
}

namespace {

QString customerReply(const Account& a)
{
    return rawElement(QStringLiteral("results"),
        QStringLiteral("<customer>%1%2%3</customer>")
            .arg(element(QStringLiteral("customerid"), QString::number(a.customerId)),
                element(QStringLiteral("firstname"), a.firstName), element(QStringLiteral("lastname"), a.lastName)));
}

}  // namespace

HttpResponse StandinServices::createAccount(const WebScriptRequest& r)
{
    const QString email = r.query.value(QStringLiteral("v1")).trimmed();
    const std::optional<QString> password = r.clearPassword();
    const QString first = r.query.value(QStringLiteral("v4")).trimmed();
    const QString last = r.query.value(QStringLiteral("v5")).trimmed();
    static const QRegularExpression emailForm(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$"));
    if (email.isEmpty())
        return errorReply(QStringLiteral("Enter your e-mail address."));
    if (email.size() > kMaxEmailLength || !emailForm.match(email).hasMatch())
        return errorReply(QStringLiteral("The e-mail address is not valid."));
    if (!password)
        return errorReply(QStringLiteral("The password could not be read."));
    if (password->isEmpty())
        return errorReply(QStringLiteral("Choose a password."));
    if (password->size() > kMaxPasswordLength)
        return errorReply(QStringLiteral("The password is too long."));
    if (first.isEmpty() || last.isEmpty())
        return errorReply(QStringLiteral("Enter your first and last name."));
    if (first.size() > kMaxNameLength || last.size() > kMaxNameLength)
        return errorReply(QStringLiteral("The name is too long."));
    QString error;
    const std::optional<Account> account = m_db.createAccount(email, *password, first, last, &error);
    if (!account)
        return errorReply(error);
    log(QStringLiteral("account %1 created for %2").arg(account->customerId).arg(email));
    return xmlReply(customerReply(*account));
}

HttpResponse StandinServices::logIn(const WebScriptRequest& r)
{
    const std::optional<QString> password = r.clearPassword();
    const std::optional<Account> account =
        password ? m_db.authenticate(r.query.value(QStringLiteral("v1")), *password) : std::nullopt;
    if (!account)
        return errorReply(QStringLiteral("Invalid customer ID or password."));
    return xmlReply(customerReply(*account));
}

HttpResponse StandinServices::resetPassword(const WebScriptRequest& r, const HttpRequest& request)
{
    const QString who = r.query.value(QStringLiteral("v1")).trimmed();
    if (who.isEmpty())
        return errorReply(QStringLiteral("Enter your customer ID or e-mail address."));
    const std::optional<Account> account = m_db.findAccount(who);
    if (!account)
        return errorReply(QStringLiteral("No account was found for that customer ID or e-mail address."));
    const QString code = m_db.createResetCode(account->customerId);
    if (code.isEmpty())
        return errorReply(QStringLiteral("The reset code could not be made. Try again later."));
    // The stand-in sends no mail: the message goes to the log and to /_control/outbox.
    log(QStringLiteral("mail to %1: reset your password at %2/account/reset?code=%3")
            .arg(account->email, baseUrl(request), code));
    return xmlReply(element(QStringLiteral("success"),
        QStringLiteral("A link to reset your password has been sent to the e-mail address of customer %1.")
            .arg(account->customerId)));
}

HttpResponse StandinServices::ownedBooks(const WebScriptRequest& r)
{
    const std::optional<QString> password = r.clearPassword();
    const std::optional<Account> account =
        password ? m_db.authenticate(r.query.value(QStringLiteral("v1")), *password) : std::nullopt;
    if (!account)
        return errorReply(QStringLiteral("Invalid customer ID or password."));
    QString body;
    for (const CatalogBook& b : m_catalog.books()) {
        const QString file = element(QStringLiteral("filename"), b.fileName) +
            element(QStringLiteral("filedate"), b.modified.toString(QStringLiteral("yyyy-M-d H:m:s"))) +
            element(QStringLiteral("filesize"), QString::number(b.size));
        body += QStringLiteral("<product>") + element(QStringLiteral("productid"), b.productId) +
            element(QStringLiteral("productname"), b.productName) +
            element(QStringLiteral("pubid"), QString::number(b.publisherId)) +
            element(QStringLiteral("bookid"), QString::number(b.bookId)) +
            element(QStringLiteral("publisher"), b.publisher) + element(QStringLiteral("producttype"), b.productType) +
            element(QStringLiteral("file"), QString())
                .replace(QStringLiteral("<file></file>"), QStringLiteral("<file>") + file + QStringLiteral("</file>")) +
            element(QStringLiteral("filesha256"), b.sha256) + element(QStringLiteral("filemd5"), b.md5) +
            QStringLiteral("</product>\n");
    }
    body += QStringLiteral("<customer>%1%2%3%4</customer>\n")
                .arg(element(QStringLiteral("customerid"), QString::number(account->customerId)),
                    element(QStringLiteral("firstname"), account->firstName),
                    element(QStringLiteral("lastname"), account->lastName),
                    element(QStringLiteral("email"), account->email));
    body += element(QStringLiteral("success"), QStringLiteral("You own %1 books.").arg(m_catalog.books().size()));
    return xmlReply(body);
}

HttpResponse StandinServices::download(const WebScriptRequest& r)
{
    const std::optional<QString> password = r.clearPassword();
    const std::optional<Account> account =
        password ? m_db.authenticate(r.query.value(QStringLiteral("v1")), *password) : std::nullopt;
    if (!account)
        return errorReply(QStringLiteral("Invalid customer ID or password."));
    const QString fileName = r.query.value(QStringLiteral("v4"));
    const CatalogBook* book = m_catalog.byFileName(fileName);
    if (!book)
        return errorReply(QStringLiteral("The file %1 is not in your library.").arg(fileName));
    HttpResponse reply;
    reply.contentType = "application/octet-stream";
    reply.filePath = book->path;
    reply.headers.append({"X-Content-SHA256", book->sha256.toLatin1()});
    reply.headers.append({"Content-MD5", QByteArray::fromHex(book->md5.toLatin1()).toBase64()});
    reply.headers.append({"Content-Disposition", "attachment; filename=\"" + book->fileName.toUtf8() + '"'});
    return reply;
}

HttpResponse StandinServices::cover(const WebScriptRequest& r)
{
    const QString id = r.query.value(QStringLiteral("v4"));
    const CatalogBook* book = m_catalog.byProductId(id);
    static const QRegularExpression pubBook(QStringLiteral("^(\\d{1,5}):(\\d{1,5})$"));
    if (!book) {
        const QRegularExpressionMatch m = pubBook.match(id);
        if (m.hasMatch())
            book = m_catalog.byPublisherAndBook(m.captured(1).toInt(), m.captured(2).toInt());
    }
    if (!book)
        return HttpResponse::text(404, "No cover for this book.\n");
    const std::optional<CoverSize> size = parseCoverSize(r.query.value(QStringLiteral("v5")));
    if (!size)
        return HttpResponse::text(400, "The cover size is not WxH from 16 to 1024.\n");
    // PNG is the only picture format made here; it is sent for JPEG requests too.
    return HttpResponse::text(200, coverPng(book->productId, book->productName, *size), "image/png");
}

QJsonArray StandinServices::currentOffers() const
{
    QJsonArray offers = m_offers;
    if (!m_customOffers) {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QStringList ids;
        for (const CatalogBook& b : m_catalog.books())
            ids.append(b.productId);
        offers = QJsonArray {
            QJsonObject {{"priority_code", "QS-WELCOME"}, {"expires", offerExpiry(now.addDays(30))},
                {"title", "Welcome to the Quillstead library"},
                {"description", "Every book of the sample library is yours to download."}, {"productid", ids.value(0)}},
            QJsonObject {{"priority_code", "QS-STUDY"}, {"expires", offerExpiry(now.addDays(60))},
                {"title", "Study bundle"}, {"description", "Commentaries and dictionaries for word studies."},
                {"productid", ids.value(1)}},
        };
    }
    return offers;
}

QString StandinServices::offersXml() const
{
    QString body;
    for (const QJsonValue& v : currentOffers()) {
        const QJsonObject o = v.toObject();
        QString children;
        for (auto it = o.begin(); it != o.end(); ++it) {
            static const QRegularExpression nameForm(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
            if (nameForm.match(it.key()).hasMatch())
                children += element(
                    it.key(), it.value().isString() ? it.value().toString() : it.value().toVariant().toString());
        }
        body += QStringLiteral("<offer>") + children + QStringLiteral("</offer>");
    }
    return QStringLiteral("<offers>") + body + QStringLiteral("</offers>");
}

HttpResponse StandinServices::offers(const WebScriptRequest& r)
{
    const std::optional<QString> password = r.clearPassword();
    const std::optional<Account> account =
        password ? m_db.authenticate(r.query.value(QStringLiteral("v1")), *password) : std::nullopt;
    if (!account)
        return errorReply(QStringLiteral("Invalid customer ID or password."));
    return xmlReply(offersXml());
}

HttpResponse StandinServices::updateFeed(const HttpRequest& request)
{
    if (!m_feed.isEmpty())
        return HttpResponse::text(200, m_feed, "text/xml; charset=utf-8");
    const QString base = baseUrl(request);
    const QString v = m_options.feedVersion;
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<updates>\n<version>") +
        element(QStringLiteral("version-string"), v) +
        element(QStringLiteral("build"), QString::number(m_options.feedBuild)) +
        element(QStringLiteral("min-updater-version"), QStringLiteral("1")) +
        element(QStringLiteral("max-updater-version"), QString()) +
        element(QStringLiteral("publication-date"), feedDate(QDateTime::currentDateTimeUtc().addDays(-1))) +
        element(QStringLiteral("min-os-version"), QString()) + element(QStringLiteral("max-os-version"), QString()) +
        element(QStringLiteral("min-app-build"), QString()) + element(QStringLiteral("max-app-build"), QString()) +
        element(QStringLiteral("description"),
            QStringLiteral("<h3>Quillstead %1</h3><ul><li>Served by the local stand-in services.</li></ul>").arg(v)) +
        element(QStringLiteral("install-instructions"),
            QStringLiteral("<p>Quit Quillstead, unpack the download and follow its README.</p>")) +
        element(QStringLiteral("download-link"), QStringLiteral("%1/downloads/Quillstead-%2-update.txt").arg(base, v)) +
        element(QStringLiteral("more-info-link"), QStringLiteral("%1/news/%2.html").arg(base, v)) +
        QStringLiteral("</version>\n</updates>\n");
    return HttpResponse::text(200, xml.toUtf8(), "text/xml; charset=utf-8");
}

HttpResponse StandinServices::updateDownload(const HttpRequest& request)
{
    const QString v = m_options.feedVersion;
    if (request.path == QStringLiteral("/downloads/Quillstead-%1-update.txt").arg(v)) {
        const QString text =
            QStringLiteral("Quillstead %1 (build %2)\n\nThis file stands in for the installer of a newer "
                           "build; the local stand-in services serve it.\n")
                .arg(v)
                .arg(m_options.feedBuild);
        return HttpResponse::text(200, text.toUtf8(), "application/octet-stream");
    }
    if (request.path == QStringLiteral("/news/%1.html").arg(v))
        return htmlPage(
            200, QStringLiteral("Quillstead %1").arg(v), QStringLiteral("<p>What is new in this build.</p>"));
    return HttpResponse::text(404, "Not found.\n");
}

HttpResponse StandinServices::store(const HttpRequest& request)
{
    const QString page = request.path.section(QLatin1Char('/'), 2).toLower();
    if (page == QLatin1String("exit.asp"))
        return htmlPage(200, QStringLiteral("Goodbye"), QStringLiteral("<p>You may close this window.</p>"));
    const QString v1 = formValue(request, QStringLiteral("v1"));
    const std::optional<qs::cloud::StoreCustomerBlock> block = qs::cloud::StoreCustomerBlock::fromScrambled(v1);
    const std::optional<Account> account =
        block ? m_db.authenticate(block->customerIdNumber, block->clearPassword) : std::nullopt;
    const QString keep = QStringLiteral("v1=") + qs::cloud::urlEncodedQueryItemValue(v1);
    QString body;
    if (!account) {
        body = QStringLiteral("<p>Log in under Settings, Customer ID, to see the store.</p>"
                              "<p><a href=\"exit.asp?v1=message&amp;v2=%1\">Close</a></p>")
                   .arg(qs::cloud::urlEncodedQueryItemValue(QStringLiteral("Log in to visit the store.")));
        return htmlPage(200, QStringLiteral("Quillstead Store"), body);
    }
    const QString wanted =
        page == QLatin1String("product.asp") ? formValue(request, QStringLiteral("id")) : block->initialProductId;
    body += QStringLiteral("<p>Welcome, %1. Every book here is already in your library.</p>")
                .arg(htmlEscaped(account->firstName));
    if (wanted == QLatin1String("_MYOFFERS_")) {
        body += QStringLiteral("<h2>Your offers</h2><ul>");
        for (const QJsonValue& v : currentOffers()) {
            const QJsonObject o = v.toObject();
            body += QStringLiteral("<li><b>%1</b>: %2</li>")
                        .arg(htmlEscaped(o.value("title").toString()), htmlEscaped(o.value("description").toString()));
        }
        body += QStringLiteral("</ul>");
    } else if (const CatalogBook* b = m_catalog.byProductId(wanted)) {
        body += QStringLiteral("<h2>%1</h2><p>%2, %3 bytes.</p><p><a href=\"exit.asp?v1=download\">Download it from "
                               "your Cloud Library</a></p>")
                    .arg(htmlEscaped(b->productName), htmlEscaped(b->publisher))
                    .arg(b->size);
    }
    body += QStringLiteral("<h2>Books</h2><ul>");
    for (const CatalogBook& b : m_catalog.books()) {
        body +=
            QStringLiteral("<li><a href=\"product.asp?%1&amp;id=%2\">%3</a> <span class=\"price\">owned</span></li>")
                .arg(
                    keep.toHtmlEscaped(), qs::cloud::urlEncodedQueryItemValue(b.productId), htmlEscaped(b.productName));
    }
    body += QStringLiteral(
        "</ul><p><a href=\"exit.asp?v1=download\">Open my Cloud Library</a> | "
        "<a href=\"exit.asp?v1=message&amp;v2=%1\">Say thank you</a> | <a href=\"exit.asp\">Close</a></p>")
                .arg(qs::cloud::urlEncodedQueryItemValue(QStringLiteral("Thank you for visiting the store.")));
    return htmlPage(200, QStringLiteral("Quillstead Store"), body);
}

HttpResponse StandinServices::resetPage(const HttpRequest& request)
{
    const QString code = formValue(request, QStringLiteral("code"));
    if (request.method == "POST") {
        const QString password = formValue(request, QStringLiteral("password"));
        if (password.isEmpty() || password.size() > kMaxPasswordLength ||
            password != formValue(request, QStringLiteral("again")))
            return htmlPage(400, QStringLiteral("Reset your password"),
                QStringLiteral("<p>Both password fields must match and may not be empty.</p>"));
        const std::optional<Account> account = m_db.resetPassword(code, password);
        if (!account)
            return htmlPage(400, QStringLiteral("Reset your password"),
                QStringLiteral("<p>This reset link is not valid any more.</p>"));
        return htmlPage(200, QStringLiteral("Password changed"),
            QStringLiteral("<p>The password of customer %1 has been changed. Log in with it now.</p>")
                .arg(account->customerId));
    }
    return htmlPage(200, QStringLiteral("Reset your password"),
        QStringLiteral(
            "<form method=\"post\" action=\"/account/reset\"><input type=\"hidden\" name=\"code\" value=\"%1\">"
            "<p>New password: <input type=\"password\" name=\"password\"></p>"
            "<p>Again: <input type=\"password\" name=\"again\"></p><p><button>Change</button></p></form>")
            .arg(htmlEscaped(code)));
}

HttpResponse StandinServices::json(const HttpRequest& request)
{
    if (request.path == QLatin1String("/api/ping") && request.method != "POST")
        return jsonReply(200, {{"ok", true}, {"server", "qs-standin"}});
    if (request.path == QLatin1String("/api/echo") && request.method == "POST") {
        QJsonParseError parseError;
        const QJsonDocument body = QJsonDocument::fromJson(request.body, &parseError);
        if (parseError.error != QJsonParseError::NoError)
            return jsonReply(400, {{"error", parseError.errorString()}});
        QJsonObject headers;
        for (auto it = request.headers.begin(); it != request.headers.end(); ++it) {
            if (it.key().startsWith("x-") || it.key() == "content-type")
                headers.insert(QString::fromLatin1(it.key()), QString::fromUtf8(it.value()));
        }
        return jsonReply(200,
            {{"method", QString::fromLatin1(request.method)}, {"headers", headers},
                {"body", body.isObject() ? QJsonValue(body.object()) : QJsonValue(body.array())}});
    }
    if (request.path == QLatin1String("/api/text"))
        return HttpResponse::text(200, "This reply is not JSON.\n");
    return jsonReply(404, {{"error", "not found"}});
}

HttpResponse StandinServices::index(const HttpRequest& request)
{
    const QString base = baseUrl(request);
    return htmlPage(200, QStringLiteral("Quillstead stand-in services"),
        QStringLiteral(
            "<ul><li>Web script: %1/mac/booklist.asp</li><li>Update feed: %1/mac/QuillsteadUpdate.xml</li>"
            "<li>Store: %1/MacStore/</li><li>Sync server: 127.0.0.1:%2</li><li>Control: %1/_control/state</li>"
            "</ul><p>%3 books, %4 accounts.</p>")
            .arg(htmlEscaped(base))
            .arg(syncPort())
            .arg(m_catalog.books().size())
            .arg(m_db.accountCount()));
}

HttpResponse StandinServices::control(const HttpRequest& request)
{
    const QString what = request.path.mid(QStringLiteral("/_control/").size());
    if (what == QLatin1String("state")) {
        QJsonArray books;
        for (const CatalogBook& b : m_catalog.books()) {
            books.append(QJsonObject {{"productid", b.productId}, {"filename", b.fileName}, {"name", b.productName},
                {"type", b.productType}, {"pubid", b.publisherId}, {"bookid", b.bookId}, {"size", b.size},
                {"sha256", b.sha256}});
        }
        return jsonReply(200,
            {{"httpPort", httpPort()}, {"syncPort", syncPort()}, {"syncListening", m_sync->isListening()},
                {"syncSessions", m_sync->sessionCount()}, {"syncLines", m_sync->linesReceived()},
                {"syncRestarts", m_sync->restarts()}, {"accounts", m_db.accountCount()}, {"books", books},
                {"faults", m_faults.toJson()}});
    }
    if (what == QLatin1String("outbox")) {
        QJsonArray codes;
        for (const auto& [customer, code] : m_db.pendingResetCodes())
            codes.append(QJsonObject {{"customerid", customer}, {"code", code}});
        return jsonReply(200, {{"resetCodes", codes}});
    }
    if (request.method != "POST")
        return jsonReply(405, {{"error", "use POST"}});
    if (what == QLatin1String("fault")) {
        for (const auto& [name, value] : formItems(request)) {
            QString error;
            if (!m_faults.set(name, value, &error))
                return jsonReply(400, {{"error", error}});
        }
        return jsonReply(200, {{"faults", m_faults.toJson()}});
    }
    if (what == QLatin1String("reset")) {
        m_faults.reset();
        m_sync->setScript({}, nullptr);
        m_offers = QJsonArray();
        m_customOffers = false;
        m_feed.clear();
        if (formValue(request, QStringLiteral("data")) == QLatin1String("1"))
            m_db.clearAll();
        return jsonReply(200, {{"faults", m_faults.toJson()}});
    }
    if (what == QLatin1String("restart")) {
        bool ok = false;
        const int delay = formValue(request, QStringLiteral("delayMs")).toInt(&ok);
        m_sync->restart(ok && delay >= 0 && delay <= 60000 ? delay : m_faults.restartDelayMs);
        return jsonReply(200, {{"restarting", true}});
    }
    if (what == QLatin1String("script") || what == QLatin1String("offers")) {
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(request.body, &parseError);
        if (parseError.error != QJsonParseError::NoError || !doc.isArray())
            return jsonReply(400, {{"error", "send a JSON array"}});
        if (what == QLatin1String("offers")) {
            m_offers = doc.array();
            m_customOffers = true;
            return jsonReply(200, {{"offers", m_offers.size()}});
        }
        QString error;
        if (!m_sync->setScript(doc.array(), &error))
            return jsonReply(400, {{"error", error}});
        return jsonReply(200, {{"scriptLines", doc.array().size()}});
    }
    if (what == QLatin1String("feed")) {
        m_feed = request.body;
        return jsonReply(200, {{"feedBytes", m_feed.size()}});
    }
    if (what == QLatin1String("quit")) {
        if (m_quit)
            QMetaObject::invokeMethod(
                this, [this] { m_quit(); }, Qt::QueuedConnection);
        return jsonReply(200, {{"quitting", true}});
    }
    return jsonReply(404, {{"error", "unknown control"}});
}

}  // namespace qs::standin

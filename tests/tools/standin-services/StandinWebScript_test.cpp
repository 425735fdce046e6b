#include "StandinTestServer.h"

#include "cloud/protocol/StoreCustomerBlock.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QXmlStreamReader>
#include <QtEndian>

using namespace standin_test;
namespace q = qs::cloud::WebScriptQueries;

namespace {

QString between(const QByteArray& body, const char* tag)
{
    const QByteArray open = QByteArray("<") + tag + ">";
    const qsizetype a = body.indexOf(open);
    const qsizetype b = body.indexOf(QByteArray("</") + tag + ">", a);
    return a < 0 || b < 0 ? QString() : QString::fromLatin1(body.mid(a + open.size(), b - a - open.size()));
}

qs::cloud::WebScriptCaller caller(const QString& id, const QString& password)
{
    qs::cloud::WebScriptCaller c;
    c.customerId = id;
    c.clearPassword = password;
    c.version = QStringLiteral("0.1.0");
    c.deviceId = QStringLiteral("0123456789abcdef0123456789abcdef");
    return c;
}

QString fileSha256(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
}

}  // namespace

TEST(StandinWebScript, AccountsAreCreatedLoggedInAndRecovered)
{
    Server server;
    ASSERT_TRUE(server.running());
    const QString dev = QStringLiteral("dev");
    HttpResult r =
        server.webScript(q::createAccount(QStringLiteral("ann+1@example.org"), QStringLiteral("s3cret & more"),
            QStringLiteral("Ann"), QStringLiteral("Lee"), QStringLiteral("QS"), QStringLiteral("0.1"), dev, 1, 2));
    ASSERT_EQ(r.status, 200);
    EXPECT_TRUE(r.headers.value("content-type").contains("windows-1252"));
    const QString id = between(r.body, "customerid");
    EXPECT_EQ(id.toLongLong(), 10002);  // the demo account is 10001
    EXPECT_EQ(between(r.body, "firstname"), QStringLiteral("Ann"));
    EXPECT_TRUE(r.body.startsWith("<results><customer>"));
    // The same e-mail again, bad input.
    r = server.webScript(q::createAccount(QStringLiteral("ANN+1@example.org"), QStringLiteral("x"), QStringLiteral("A"),
        QStringLiteral("B"), QString(), QString(), dev, 1, 2));
    EXPECT_TRUE(r.body.contains("<error>An account with this e-mail address already exists.</error>"));
    r = server.webScript(q::createAccount(QStringLiteral("no-at-sign"), QStringLiteral("x"), QStringLiteral("A"),
        QStringLiteral("B"), QString(), QString(), dev, 1, 2));
    EXPECT_TRUE(r.body.contains("<error>The e-mail address is not valid.</error>"));
    r = server.webScript(q::createAccount(QStringLiteral("b@example.org"), QString(), QStringLiteral("A"),
        QStringLiteral("B"), QString(), QString(), dev, 1, 2));
    EXPECT_TRUE(r.body.contains("<error>Choose a password.</error>"));
    // Log in by number and by e-mail; a wrong password.
    for (const QString& who : {id, QStringLiteral("ann+1@example.org")}) {
        r = server.webScript(
            q::logIn(who, QStringLiteral("s3cret & more"), QStringLiteral("QS"), QStringLiteral("0.1"), dev, 3, 4));
        EXPECT_EQ(between(r.body, "customerid"), id) << who.toStdString();
    }
    r = server.webScript(q::logIn(id, QStringLiteral("wrong"), QString(), QString(), dev, 3, 4));
    EXPECT_EQ(r.body, QByteArray("<error>Invalid customer ID or password.</error>"));
    r = server.webScript(q::logIn(QString(), QString(), QString(), QString(), dev, 3, 4));
    EXPECT_TRUE(r.body.contains("<error>"));
    // Recover: the reminder leaves a code, the reset page changes the password once.
    r = server.webScript(q::resetPassword(QStringLiteral("nobody@example.org"), QString(), dev, 5, 6));
    EXPECT_TRUE(r.body.contains("<error>No account"));
    r = server.webScript(q::resetPassword(id, QString(), dev, 5, 6));
    EXPECT_TRUE(r.body.startsWith("<success>"));
    const QJsonArray codes = QJsonDocument::fromJson(server.get(QStringLiteral("/_control/outbox")).body)
                                 .object()
                                 .value("resetCodes")
                                 .toArray();
    ASSERT_EQ(codes.size(), 1);
    const QString code = codes[0].toObject().value("code").toString();
    EXPECT_TRUE(server.output().contains(("reset?code=" + code).toLatin1()));
    EXPECT_TRUE(server.get(QStringLiteral("/account/reset?code=") + code).body.contains(code.toLatin1()));
    const QByteArray form = "code=" + code.toLatin1() + "&password=new+one&again=new+one";
    EXPECT_EQ(server
                  .request("POST", QStringLiteral("/account/reset"), "code=x&password=a&again=a",
                      "application/x-www-form-urlencoded")
                  .status,
        400);
    EXPECT_EQ(
        server.request("POST", QStringLiteral("/account/reset"), form, "application/x-www-form-urlencoded").status,
        200);
    EXPECT_EQ(
        server.request("POST", QStringLiteral("/account/reset"), form, "application/x-www-form-urlencoded").status,
        400);
    r = server.webScript(q::logIn(id, QStringLiteral("new one"), QString(), QString(), dev, 3, 4));
    EXPECT_EQ(between(r.body, "customerid"), id);
    r = server.webScript(q::logIn(id, QStringLiteral("s3cret & more"), QString(), QString(), dev, 3, 4));
    EXPECT_TRUE(r.body.contains("<error>"));
    // An unreadable scrambled query and an unknown action.
    r = server.get(QStringLiteral("/mac/booklist.asp?epp=1&ep=zz"));
    EXPECT_EQ(r.status, 400);
    EXPECT_TRUE(r.body.startsWith("<error>"));
    EXPECT_EQ(
        server.webScript(QStringLiteral("r1=1&v3=nothing&r2=2")).body, QByteArray("<error>Unknown request.</error>"));
}

TEST(StandinWebScript, OwnedBooksDownloadWhole)
{
    if (!haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    Server server;
    ASSERT_TRUE(server.running());
    const auto demo = caller(QStringLiteral("demo@quillstead.test"), QStringLiteral("demo"));
    HttpResult r = server.webScript(q::ownedBooks(demo, QString(), 1, 2));
    ASSERT_EQ(r.status, 200);
    const QJsonArray books = server.state().value("books").toArray();
    ASSERT_GE(books.size(), 1);
    EXPECT_EQ(r.body.count("<product>"), books.size());
    EXPECT_TRUE(r.body.contains("<customer><customerid>10001</customerid>"));
    EXPECT_TRUE(r.body.contains("<success>"));
    // The KJV's entry names its file, size and digest, and the download gives exactly those bytes.
    const qsizetype at = r.body.indexOf("<productid>KJV</productid>");
    ASSERT_GE(at, 0);
    const QByteArray product = r.body.mid(at, r.body.indexOf("</product>", at) - at);
    EXPECT_TRUE(product.contains("<producttype>BIBLES</producttype>"));
    EXPECT_TRUE(product.contains("<file><filename>KJV.tvk</filename><filedate>"));
    const QString path = QStringLiteral(QS_BINARY_DIR "/library/KJV.tvk");
    EXPECT_EQ(between(product, "filesize").toLongLong(), QFile(path).size());
    EXPECT_EQ(between(product, "filesha256"), fileSha256(path));
    for (bool plain : {false, true}) {
        r = server.webScript(
            q::download(demo, QString(), QStringLiteral("KJV.tvk"), QString(), QString(), 3, 4), plain);
        ASSERT_EQ(r.status, 200);
        EXPECT_TRUE(r.complete);
        EXPECT_EQ(r.body.size(), QFile(path).size());
        EXPECT_EQ(QString::fromLatin1(QCryptographicHash::hash(r.body, QCryptographicHash::Sha256).toHex()),
            QString::fromLatin1(r.headers.value("x-content-sha256")));
        EXPECT_EQ(QString::fromLatin1(r.headers.value("x-content-sha256")), fileSha256(path));
    }
    r = server.webScript(q::download(demo, QString(), QStringLiteral("../standin.db"), QString(), QString(), 3, 4));
    EXPECT_TRUE(r.body.startsWith("<error>The file ../standin.db is not in your library.</error>"));
    const auto wrong = caller(QStringLiteral("10001"), QStringLiteral("nope"));
    EXPECT_TRUE(server.webScript(q::ownedBooks(wrong, QString(), 1, 2)).body.startsWith("<error>"));
    EXPECT_TRUE(server.webScript(q::download(wrong, QString(), QStringLiteral("KJV.tvk"), QString(), QString(), 1, 2))
                    .body.startsWith("<error>"));
    EXPECT_TRUE(server.webScript(q::offers(wrong, 1, 2)).body.startsWith("<error>"));
}

TEST(StandinWebScript, CoversOffersAndStorePages)
{
    if (!haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    Server server;
    ASSERT_TRUE(server.running());
    for (const QString& id : {QStringLiteral("KJV"), QStringLiteral("1:101")}) {
        const HttpResult r =
            server.webScript(q::cover(QStringLiteral("MacOS"), id, QStringLiteral("120x160"), true, 1, 2));
        ASSERT_EQ(r.status, 200) << id.toStdString();
        EXPECT_EQ(r.headers.value("content-type"), QByteArray("image/png"));
        ASSERT_GT(r.body.size(), 33);
        EXPECT_TRUE(r.body.startsWith("\x89PNG\r\n\x1a\n"));
        EXPECT_EQ(r.body.mid(12, 4), QByteArray("IHDR"));
        EXPECT_EQ(qFromBigEndian<quint32>(r.body.constData() + 16), 120u);
        EXPECT_EQ(qFromBigEndian<quint32>(r.body.constData() + 20), 160u);
        QFile shot(QStringLiteral(QS_BINARY_DIR "/standin-cover-kjv.png"));
        if (shot.open(QIODevice::WriteOnly))
            shot.write(r.body);
    }
    EXPECT_EQ(
        server
            .webScript(q::cover(QStringLiteral("MacOS"), QStringLiteral("Nope"), QStringLiteral("144x144"), true, 1, 2))
            .status,
        404);
    EXPECT_EQ(
        server.webScript(q::cover(QStringLiteral("MacOS"), QStringLiteral("KJV"), QStringLiteral("9x9"), false, 1, 2))
            .status,
        400);

    const auto demo = caller(QStringLiteral("10001"), QStringLiteral("demo"));
    HttpResult r = server.webScript(q::offers(demo, 1, 2));
    EXPECT_TRUE(r.body.startsWith("<offers><offer><"));
    EXPECT_EQ(r.body.count("<priority_code>"), 2);
    EXPECT_EQ(r.body.count("<expires>"), 2);
    EXPECT_TRUE(server
                    .post(QStringLiteral("/_control/offers"),
                        R"([{"priority_code":"P1","expires":"2020-1-1 0:0:0.000","title":"Old & gone"}])")
                    .status == 200);
    r = server.webScript(q::offers(demo, 1, 2));
    EXPECT_EQ(r.body,
        QByteArray("<offers><offer><expires>2020-1-1 0:0:0.000</expires><priority_code>P1</priority_code>"
                   "<title><![CDATA[Old & gone]]></title></offer></offers>"));
    EXPECT_EQ(server.post(QStringLiteral("/_control/offers"), "{}").status, 400);

    qs::cloud::StoreCustomerBlock block {QStringLiteral("10001"), QStringLiteral("demo"), QStringLiteral("0.1.0"),
        QStringLiteral("Quillstead"), QStringLiteral("QS"), QStringLiteral("Scofield")};
    r = server.get(QStringLiteral("/MacStore/?v1=") + block.scrambled());
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body.contains("Welcome, Demo."));
    EXPECT_TRUE(r.body.contains("<h2>Scofield Reference Notes (1917)</h2>"));
    EXPECT_TRUE(r.body.contains("exit.asp?v1=download"));
    block.initialProductId = QStringLiteral("_MYOFFERS_");
    EXPECT_TRUE(server.get(QStringLiteral("/MacStore/?v1=") + block.scrambled())
                    .body.contains("<li><b>Old &amp; gone</b>: </li>"));
    EXPECT_TRUE(server.get(QStringLiteral("/MacStore/product.asp?v1=") + block.scrambled() + QStringLiteral("&id=WEB"))
                    .body.contains("<h2>World English Bible</h2>"));
    block.clearPassword = QStringLiteral("wrong");
    EXPECT_TRUE(
        server.get(QStringLiteral("/MacStore/?v1=") + block.scrambled()).body.contains("Log in under Settings"));
    EXPECT_TRUE(server.get(QStringLiteral("/MacStore/?v1=garbage")).body.contains("Log in under Settings"));
    EXPECT_EQ(server.get(QStringLiteral("/MacStore/Exit.ASP?v1=message&v2=Hi")).status, 200);
}

TEST(StandinWebScript, UpdateFeedAndJsonServices)
{
    Server server({"--feed-version", "0.3.0", "--feed-build", "300"});
    ASSERT_TRUE(server.running());
    HttpResult r = server.get(QStringLiteral("/mac/QuillsteadUpdate.xml?r=01234567890123456789"));
    ASSERT_EQ(r.status, 200);
    QXmlStreamReader xml(r.body);
    QMap<QString, QString> values;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() != QLatin1String("updates") &&
            xml.name() != QLatin1String("version")) {
            const QString name = xml.name().toString();
            values.insert(name, xml.readElementText());
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(values.value("version-string"), QStringLiteral("0.3.0"));
    EXPECT_EQ(values.value("build"), QStringLiteral("300"));
    EXPECT_EQ(values.value("min-updater-version"), QStringLiteral("1"));
    EXPECT_TRUE(values.value("description").startsWith(QStringLiteral("<h3>")));
    const QUrl link(values.value("download-link"));
    ASSERT_TRUE(link.isValid());
    EXPECT_EQ(link.port(), server.httpPort());
    r = server.get(link.path());
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body.startsWith("Quillstead 0.3.0 (build 300)"));
    EXPECT_EQ(server.get(QUrl(values.value("more-info-link")).path()).status, 200);
    EXPECT_EQ(server.get(QStringLiteral("/downloads/other.txt")).status, 404);
    // A test may serve a feed of its own, even a broken one.
    EXPECT_EQ(server.post(QStringLiteral("/_control/feed"), "<updates><version>").status, 200);
    EXPECT_EQ(server.get(QStringLiteral("/mac/QuillsteadUpdate.xml")).body, QByteArray("<updates><version>"));

    r = server.get(QStringLiteral("/api/ping"));
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(QJsonDocument::fromJson(r.body).object().value("ok").toBool());
    r = server.request("POST", QStringLiteral("/api/echo"), R"({"a":[1,2]})", "application/json");
    EXPECT_EQ(QJsonDocument::fromJson(r.body).object().value("body").toObject().value("a").toArray().size(), 2);
    EXPECT_EQ(server.request("POST", QStringLiteral("/api/echo"), "not json", "application/json").status, 400);
    r = server.get(QStringLiteral("/api/nothing"));
    EXPECT_EQ(r.status, 404);
    EXPECT_EQ(QJsonDocument::fromJson(r.body).object().value("error").toString(), QStringLiteral("not found"));
    EXPECT_TRUE(QJsonDocument::fromJson(server.get(QStringLiteral("/api/text")).body).isNull());
    EXPECT_EQ(server.get(QStringLiteral("/")).status, 200);
    EXPECT_EQ(server.get(QStringLiteral("/nothing/here")).status, 404);
}

TEST(StandinWebScript, BadHttpInputGetsAnErrorAndTheServerStays)
{
    Server server;
    ASSERT_TRUE(server.running());
    EXPECT_EQ(server.rawRequest("garbage\r\n\r\n").status, 400);
    EXPECT_EQ(server.rawRequest("GET relative HTTP/1.1\r\n\r\n").status, 400);
    EXPECT_EQ(server.rawRequest("GET / HTTP/1.1\r\nX: " + QByteArray(20000, 'a') + "\r\n\r\n").status, 431);
    EXPECT_EQ(server.rawRequest("GET / HTTP/1.1\r\nno colon\r\n\r\n").status, 400);
    EXPECT_EQ(server.rawRequest("POST /api/echo HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n").status, 413);
    EXPECT_EQ(server.rawRequest("POST /api/echo HTTP/1.1\r\nContent-Length: -4\r\n\r\n").status, 400);
    EXPECT_EQ(server.rawRequest("POST /api/echo HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n").status, 411);
    EXPECT_EQ(server.rawRequest("DELETE / HTTP/1.1\r\n\r\n").status, 405);
    EXPECT_EQ(server.post(QStringLiteral("/_control/fault?no.such=1")).status, 400);
    EXPECT_EQ(server.post(QStringLiteral("/_control/fault?sync.closeAtLine=x")).status, 400);
    EXPECT_EQ(server.get(QStringLiteral("/_control/fault")).status, 405);
    EXPECT_EQ(server.get(QStringLiteral("/mac/booklist.asp?epp=1&ep=") + QString(20000, QLatin1Char('A'))).status, 431);
    EXPECT_TRUE(server.running());
    EXPECT_EQ(server.state().value("accounts").toInt(), 1);
}

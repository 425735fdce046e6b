// The stand-in's HTTP answers as Qt's own HTTP client, which the reader's clients use, sees them.
#include "StandinTestServer.h"

#include "cloud/protocol/ServiceHost.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

using namespace standin_test;

namespace {

struct Fetched {
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    qint64 announced = -1;
    QByteArray body;
};

Fetched fetch(const QUrl& url, int transferTimeoutMs = 10000)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(transferTimeoutMs);
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    loop.exec();
    Fetched f;
    f.error = reply->error();
    f.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    f.announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    f.body = reply->readAll();
    delete reply;
    return f;
}

}  // namespace

TEST(StandinHttpClient, QtClientReadsRepliesAndSeesFaults)
{
    if (!haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    Server server;
    ASSERT_TRUE(server.running());
    const qs::cloud::ServiceHost host = qs::cloud::ServiceHost::fromSetting(server.serviceHostSetting());
    qs::cloud::WebScriptCaller demo;
    demo.customerId = QStringLiteral("demo@quillstead.test");
    demo.clearPassword = QStringLiteral("demo");
    const QString base = host.webScriptUrl().toString();

    Fetched f =
        fetch(QUrl(qs::cloud::webScriptRequestUrl(base, qs::cloud::WebScriptQueries::ownedBooks(demo, {}, 1, 2))));
    EXPECT_EQ(f.error, QNetworkReply::NoError);
    EXPECT_EQ(f.status, 200);
    EXPECT_TRUE(f.body.contains("<productid>KJV</productid>"));

    const QUrl download(qs::cloud::webScriptRequestUrl(
        base, qs::cloud::WebScriptQueries::download(demo, {}, QStringLiteral("WEB.tvk"), {}, {}, 3, 4)));
    f = fetch(download);
    EXPECT_EQ(f.error, QNetworkReply::NoError);
    QFile file(QStringLiteral(QS_BINARY_DIR "/library/WEB.tvk"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QCryptographicHash::hash(f.body, QCryptographicHash::Sha256),
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));

    // A body cut short: Qt's client reports the reply as finished without an error, so a client has
    // to compare what it got with the announced length (and the list's size and digest).
    ASSERT_TRUE(server.fault(QStringLiteral("http.truncate=1000")));
    f = fetch(download);
    EXPECT_EQ(f.body.size(), 1000);
    EXPECT_EQ(f.announced, file.size());
    // Error statuses arrive as such.
    ASSERT_TRUE(server.fault(QStringLiteral("http.status=404")));
    f = fetch(host.updateFeedUrl());
    EXPECT_EQ(f.status, 404);
    EXPECT_EQ(f.error, QNetworkReply::ContentNotFoundError);
    f = fetch(host.updateFeedUrl());
    EXPECT_EQ(f.status, 200);
    // A stall past the client's transfer timeout.
    ASSERT_TRUE(server.fault(QStringLiteral("http.stallMs=4000")));
    f = fetch(host.url(QStringLiteral("api/ping")), 1500);
    EXPECT_EQ(f.error, QNetworkReply::OperationCanceledError);
}

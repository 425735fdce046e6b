#include "StoreTestSupport.h"

#include "cloud/store/RCHTTPClient.h"

#include <gtest/gtest.h>

#include <QJsonObject>
#include <QTcpServer>

using namespace qs::cloud;
using namespace store_test;

namespace {

struct Result {
    bool called = false;
    int status = 0;
    std::optional<QJsonDocument> json;
    std::optional<RCHTTPClient::Error> error;
};

Result perform(RCHTTPClient& client, const QString& method, const QString& path, const QVariant& body = {},
    const QMap<QString, QString>& headers = {})
{
    Result r;
    client.performRequest(method, path, body, headers,
        [&](int status, std::optional<QJsonDocument> json, std::optional<RCHTTPClient::Error> error) {
            r.called = true;
            r.status = status;
            r.json = std::move(json);
            r.error = std::move(error);
        });
    EXPECT_TRUE(waitFor([&] { return r.called; })) << "no answer to " << path.toStdString();
    return r;
}

}  // namespace

TEST(RCHTTPClient, JsonRepliesStatusesAndFailures)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    RCHTTPClient client(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server.httpPort())));

    Result r = perform(client, "GET", "api/ping");
    EXPECT_EQ(r.status, 200);
    ASSERT_TRUE(r.json.has_value());
    EXPECT_FALSE(r.error.has_value());

    r = perform(client, "POST", "/api/echo", QVariantMap {{"a", 1}, {"b", "two"}},
        {{"X-Extra", "yes"}, {"x-platform", "Elsewhere"}});
    EXPECT_EQ(r.status, 200);
    ASSERT_TRUE(r.json.has_value());
    const QJsonObject echo = r.json->object();
    EXPECT_EQ(echo.value("method").toString(), QStringLiteral("POST"));
    EXPECT_EQ(echo.value("body").toObject().value("b").toString(), QStringLiteral("two"));
    EXPECT_EQ(echo.value("body").toObject().value("a").toInt(), 1);
    const QJsonObject headers = echo.value("headers").toObject();
    EXPECT_EQ(headers.value("content-type").toString(), QStringLiteral("application/json"));
    EXPECT_EQ(headers.value("x-extra").toString(), QStringLiteral("yes"));
    EXPECT_EQ(headers.value("x-platform").toString(), QStringLiteral("Elsewhere"));  // the caller's wins
    EXPECT_TRUE(headers.contains("x-version"));
    EXPECT_TRUE(headers.contains("x-platform-version"));

    // A 404 with a JSON body: the status and the body.
    r = perform(client, "GET", "api/nothing-here");
    EXPECT_EQ(r.status, 404);
    EXPECT_TRUE(r.json.has_value());
    EXPECT_FALSE(r.error.has_value());

    // Not JSON: the real status, nothing, the parse error.
    r = perform(client, "GET", "api/text");
    EXPECT_EQ(r.status, 200);
    EXPECT_FALSE(r.json.has_value());
    ASSERT_TRUE(r.error.has_value());
    EXPECT_EQ(r.error->domain, QStringLiteral("QJsonParseError"));

    // Breaking the rules sends nothing.
    r = perform(client, "GET", "api/ping", QVariantMap {{"a", 1}});
    EXPECT_EQ(r.status, RCHTTPClient::kNoReplyStatus);
    EXPECT_TRUE(r.error->description.startsWith("Invalid parameter not satisfying"));
    r = perform(client, "DELETE", "api/ping");
    EXPECT_EQ(r.status, RCHTTPClient::kNoReplyStatus);
}

TEST(RCHTTPClient, NoServerYields599)
{
    standin_test::ensureApplication();
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    RCHTTPClient client(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
    const Result r = perform(client, "GET", "api/ping");
    EXPECT_EQ(r.status, 599);
    EXPECT_FALSE(r.json.has_value());
    EXPECT_TRUE(r.error.has_value());
}

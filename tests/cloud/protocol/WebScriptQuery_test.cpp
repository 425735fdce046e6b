#include "cloud/protocol/ScrambledText.h"
#include "cloud/protocol/WebScriptQuery.h"

#include <gtest/gtest.h>

using namespace qs::cloud;

TEST(WebScriptQuery, EncodesQueryItemValues)
{
    EXPECT_EQ(urlEncodedQueryItemValue(QStringLiteral("a b?c=d&e+f/g:h@i~j.k_l-m")),
        QStringLiteral("a%20b%3Fc%3Dd%26e+f/g:h@i~j.k_l-m"));
    EXPECT_EQ(urlEncodedQueryItemValue(QStringLiteral("\u00e9#%")), QStringLiteral("%C3%A9%23%25"));
    EXPECT_EQ(
        urlDecodedQueryItemValue(QStringLiteral("a%20b%3Fc%3Dd%26e+f%C3%A9")), QStringLiteral("a b?c=d&e+f\u00e9"));
}

TEST(WebScriptQuery, BuildsTheAccountQueriesExactly)
{
    const QString pwd = scrambleText(QStringLiteral("pa ss"), ScramblePad::Default);
    EXPECT_EQ(WebScriptQueries::logIn(QStringLiteral("ann@x.org"), QStringLiteral("pa ss"), QStringLiteral("QS1"),
                  QStringLiteral("0.1 b"), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"), 17, 9998),
        QStringLiteral("r1=17&v0=MacOS&v1=ann@x.org&v2=%1&v3=regproduct2&v4=QS1&v7=0.1%20b"
                       "&did=d41d8cd98f00b204e9800998ecf8427e&r2=9998")
            .arg(pwd));
    EXPECT_EQ(WebScriptQueries::createAccount(QStringLiteral("a&b@x.org"), QStringLiteral("pa ss"),
                  QStringLiteral("Ann Marie"), QStringLiteral("Lee=Li"), QStringLiteral("QS1"), QStringLiteral("1.0"),
                  QStringLiteral("dev"), 0, 1),
        QStringLiteral(
            "r1=0&v0=MacOS&v1=a%26b@x.org&v2=%1&v3=reg2&v4=Ann%20Marie&v5=Lee%3DLi&v6=QS1&v7=1.0&did=dev&r2=1")
            .arg(pwd));
    EXPECT_EQ(WebScriptQueries::resetPassword(QString(), QStringLiteral("1.0"), QStringLiteral("dev"), 5, 6),
        QStringLiteral("r1=5&v0=MacOS&v1=&v3=reminder&v7=1.0&did=dev&r2=6"));
    EXPECT_EQ(
        WebScriptQueries::cover(QStringLiteral("MacOS"), QStringLiteral("7:12"), QStringLiteral("144x144"), true, 1, 2),
        QStringLiteral("r1=1&v0=MacOS&v1=x&v2=x&v3=cover&v4=7:12&v5=144x144&v6=png&r2=2"));
    const quint32 r = WebScriptQueries::randomQueryNumber();
    EXPECT_LE(r, 9998u);
}

TEST(WebScriptQuery, EveryRequestRoundTripsThroughTheScriptsReader)
{
    WebScriptCaller caller;
    caller.customerId = QStringLiteral("10001");
    caller.clearPassword = QStringLiteral("s\u00e9cret&=?");
    caller.version = QStringLiteral("0.1.0");
    caller.deviceId = QStringLiteral("0123456789abcdef0123456789abcdef");
    const QString queries[] = {
        WebScriptQueries::ownedBooks(caller, QString(), 1, 2),
        WebScriptQueries::download(caller, QString(), QStringLiteral("KJV 1611.tvk"), QString(), QString(), 3, 4),
        WebScriptQueries::offers(caller, 5, 6),
    };
    const char* actions[] = {"list2", "file2", "offers"};
    for (int i = 0; i < 3; ++i) {
        for (bool plain : {false, true}) {
            const QString requestQuery = webScriptRequestQuery(queries[i], plain);
            EXPECT_EQ(requestQuery.startsWith(QStringLiteral("epp=1&ep=")), !plain);
            QString error;
            const auto request = decodeWebScriptRequest(requestQuery, &error);
            ASSERT_TRUE(request.has_value()) << error.toStdString();
            EXPECT_EQ(request->scrambled, !plain);
            EXPECT_EQ(request->query.text(), queries[i]);
            EXPECT_EQ(request->action(), QString::fromLatin1(actions[i]));
            EXPECT_EQ(request->query.value(QStringLiteral("v1")), caller.customerId);
            EXPECT_EQ(request->clearPassword(), caller.clearPassword);
            EXPECT_EQ(request->query.value(QStringLiteral("v7")), caller.version);
        }
    }
    const auto download = decodeWebScriptRequest(webScriptRequestQuery(queries[1]));
    ASSERT_TRUE(download);
    EXPECT_EQ(download->query.value(QStringLiteral("v4")), QStringLiteral("KJV 1611.tvk"));
    EXPECT_EQ(webScriptRequestUrl(QStringLiteral("http://h/mac/booklist.asp"), QStringLiteral("a=1"), true),
        QStringLiteral("http://h/mac/booklist.asp?a=1"));
}

TEST(WebScriptQuery, ReaderRefusesGarbageAndSplitsLikeTheScript)
{
    QString error;
    EXPECT_FALSE(decodeWebScriptRequest(QStringLiteral("epp=1&ep=notscrambled!"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(decodeWebScriptRequest(QStringLiteral("epp=1&ep=") + QString(20000, QLatin1Char('A')), &error));
    EXPECT_EQ(error, QStringLiteral("The request is too long."));
    const WebScriptQuery q = WebScriptQuery::parse(QStringLiteral("a=1=2&b&=x&a=3"));
    ASSERT_EQ(q.items().size(), 4);
    EXPECT_EQ(q.rawValue(QStringLiteral("a")), QStringLiteral("1=2"));
    EXPECT_TRUE(q.contains(QStringLiteral("b")));
    EXPECT_EQ(q.rawValue(QStringLiteral("b")), QString());
    EXPECT_EQ(q.rawValue(QString()), QStringLiteral("x"));
    EXPECT_FALSE(q.contains(QStringLiteral("c")));
    // A password value that is no scrambled text reads as nothing.
    const auto r = decodeWebScriptRequest(QStringLiteral("v2=x&v3=list2"));
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->clearPassword().has_value());
}

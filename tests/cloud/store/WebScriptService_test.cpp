#include "cloud/store/WebScriptService.h"

#include <gtest/gtest.h>

#include <QNetworkReply>

using qs::cloud::StoreError;

namespace {

// A finished reply as the network hands it over: an error and, when the server answered, a status.
class FinishedReply : public QNetworkReply {
public:
    FinishedReply(NetworkError error, const QString& text, std::optional<int> status)
    {
        setError(error, text);
        if (status)
            setAttribute(QNetworkRequest::HttpStatusCodeAttribute, *status);
        setFinished(true);
    }
    void abort() override { }

protected:
    qint64 readData(char*, qint64) override { return -1; }
};

const StoreError kProblem {QStringLiteral("Quillstead"), 1, QStringLiteral("There was a problem."), QString(),
    QStringLiteral("Try again later.")};

TEST(WebScriptService, ReplyFailureTellsNetworkErrorsFromFailureCodes)
{
    // No answer from the server: the network's own error.
    const FinishedReply refused(QNetworkReply::ConnectionRefusedError, QStringLiteral("Connection refused"), {});
    const std::optional<StoreError> network = qs::cloud::WebScriptService::replyFailure(refused, 0, kProblem);
    ASSERT_TRUE(network);
    EXPECT_EQ(network->domain, QStringLiteral("QNetworkReply"));
    EXPECT_EQ(network->code, int(QNetworkReply::ConnectionRefusedError));
    EXPECT_EQ(network->description, QStringLiteral("Connection refused"));

    // The server answered with a failure: the client's problem with the code as the reason, even
    // when the network layer also reports an error for it.
    for (const QNetworkReply::NetworkError error :
        {QNetworkReply::NoError, QNetworkReply::InternalServerError, QNetworkReply::ContentNotFoundError}) {
        const FinishedReply failed(error, QStringLiteral("Server error"), 503);
        const std::optional<StoreError> status = qs::cloud::WebScriptService::replyFailure(failed, 503, kProblem);
        ASSERT_TRUE(status) << int(error);
        EXPECT_EQ(status->domain, QStringLiteral("Quillstead"));
        EXPECT_EQ(status->code, 1);
        EXPECT_EQ(status->description, kProblem.description);
        EXPECT_EQ(status->reason, QStringLiteral("The server returned failure code 503."));
        EXPECT_EQ(status->suggestion, kProblem.suggestion);
    }
    // The status the client saw last counts, not only the reply's own: a status never seen is 0.
    const FinishedReply noStatus(QNetworkReply::NoError, QString(), {});
    EXPECT_EQ(qs::cloud::WebScriptService::replyFailure(noStatus, 0, kProblem)->reason,
        QStringLiteral("The server returned failure code 0."));

    // A success lets the client read the content, whatever the network says after the status.
    for (const int code : {200, 204, 299}) {
        const FinishedReply fine(QNetworkReply::NoError, QString(), code);
        EXPECT_FALSE(qs::cloud::WebScriptService::replyFailure(fine, code, kProblem)) << code;
    }
    const FinishedReply cut(QNetworkReply::RemoteHostClosedError, QStringLiteral("closed"), 200);
    EXPECT_FALSE(qs::cloud::WebScriptService::replyFailure(cut, 200, kProblem));
}

}  // namespace

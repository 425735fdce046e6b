// The program that draws the pages cannot start (here a stand-in that ends at once with exit code
// 3, as a broken or incomplete web engine does): the reader says so once, decoded, with what to do,
// however many pages try to start one; and it never offers to show them again.

#include "app/RendererEndedAlert.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/page/PageRendererWatch.h"
#include "platform/NotificationCenter.h"
#include "support/RecordingAlerts.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>

#include <memory>
#include <vector>

namespace {

TEST(RendererStartFailure, IsSaidOnceWithWhatFailedAndWhatToDo)
{
    // The engine's own program is replaced before the engine starts.
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("broken-engine"));
    {
        QFile script(program);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nexit 3\n");
    }
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    qputenv("QTWEBENGINEPROCESS_PATH", QFile::encodeName(program));
    TestSupport::startApplication("renderer-start-failure-test");

    NotificationCenter center;
    RecordingAlerts alerts;
    RendererEndedAlert alert(center, alerts, {}, nullptr, 0);  // no quiet time: only the start failure's own once
    std::vector<std::unique_ptr<QWebEnginePage>> pages;
    const auto open = [&] {
        auto page = std::make_unique<QWebEnginePage>();
        QWebEnginePage* p = page.get();
        new PageRendererWatch(p, &center, [p] { p->setHtml(QStringLiteral("<p>again</p>")); });
        p->setHtml(QStringLiteral("<p>a page</p>"));
        pages.push_back(std::move(page));
    };
    open();
    open();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !alerts.shown().isEmpty(); }));
    EXPECT_EQ(alerts.shown()[0].messageText, RendererEndedAlert::startFailureMessageText());
    const QString text = alerts.shown()[0].informativeText;
    EXPECT_TRUE(text.contains(QStringLiteral("(exit code 3)"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("reinstall Quillstead"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("768"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("shown again"))) << text.toStdString();

    // Another page later starts another renderer, which fails alike: nothing more is said.
    open();
    bool waited = false;
    QTimer::singleShot(RendererEndedAlert::kGatherMs * 3, [&waited] { waited = true; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return waited; }));
    EXPECT_EQ(alerts.shown().size(), 1);
}

// How a renderer ended, from its raw wait status: an exit code, or the signal that ended it; and an
// end after one that drew pages is said again, as an end of a working renderer.
TEST(RendererStartFailure, TheStatusIsDecodedAndAWorkingRendererEndsTheSilence)
{
    TestSupport::startApplication("renderer-start-failure-test");
    EXPECT_EQ(RendererEndedAlert::howItEnded(3 << 8), QStringLiteral("exit code 3"));
    EXPECT_EQ(RendererEndedAlert::howItEnded(9), QStringLiteral("signal 9"));
    EXPECT_EQ(RendererEndedAlert::howItEnded(11 | 0x80), QStringLiteral("signal 11"));  // with a core dump
    EXPECT_EQ(RendererEndedAlert::howItEnded(0), QStringLiteral("exit code 0"));

    NotificationCenter center;
    RecordingAlerts alerts;
    QStringList said;  // the notices: message, then informative text
    RendererEndedAlert alert(
        center, alerts, [&said](const QString& message, const QString& informative) { said << message << informative; },
        nullptr, 0);
    const auto ended = [&](bool drawn, int status, int exitCode) {
        center.postNotificationName(PaneNotifications::PageRendererEndedNotification, nullptr,
            {{QStringLiteral("status"), status}, {QStringLiteral("exitCode"), exitCode},
                {QStringLiteral("restored"), true}, {QStringLiteral("drawn"), drawn}});
    };
    // Two pages of one renderer hear of its end: the second finds nothing more to tell.
    ended(false, int(QWebEnginePage::AbnormalTerminationStatus), 127 << 8);
    ended(false, int(QWebEnginePage::AbnormalTerminationStatus), 0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return alerts.shown().size() == 1; }));
    EXPECT_TRUE(alerts.shown()[0].informativeText.contains(QStringLiteral("(exit code 127)")));
    ended(false, int(QWebEnginePage::AbnormalTerminationStatus), 127 << 8);
    // A renderer that had drawn its page crashes: that is said, decoded, in a notice that takes no
    // key (the note editor comes back under the user's typing), not in a modal alert.
    ended(true, int(QWebEnginePage::CrashedTerminationStatus), 11);
    ASSERT_TRUE(TestSupport::waitFor([&] { return said.size() == 2; }));
    EXPECT_EQ(said[0], RendererEndedAlert::messageText());
    EXPECT_TRUE(said[1].startsWith(QStringLiteral("The process that draws Quillstead's pages crashed (signal 11).")))
        << said[1].toStdString();
    EXPECT_EQ(alerts.shown().size(), 1);
}

}  // namespace

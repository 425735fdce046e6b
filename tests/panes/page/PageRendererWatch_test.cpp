// A web page whose renderer process is killed is drawn again, queued, and the end is posted; a
// page whose renderer keeps ending is drawn again only a bounded number of times, then left blank
// (said in the post), until a load of its own brings it back. The renderer is Qt's own engine
// program, started with the flags the program hands it through its arguments, while the program's
// environment stays as the user set it.

#include "panes/layout/PaneNotifications.h"
#include "panes/page/PageRendererWatch.h"
#include "platform/NotificationCenter.h"
#include "platform/StartupEnvironment.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QVariantMap>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <csignal>
#include <sys/types.h>

namespace {

using TestSupport::waitFor;

class PageRendererWatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_center.addObserver(this, PaneNotifications::PageRendererEndedNotification,
            [this](Notification& n) { m_posts.append(n.userInfo); });
    }
    void TearDown() override { m_center.removeObserver(this); }

    // Loads a small page and waits until it shows.
    bool load(QWebEnginePage& page, const QString& text)
    {
        bool done = false;
        const auto c = QObject::connect(&page, &QWebEnginePage::loadFinished, [&done](bool) { done = true; });
        page.setHtml(QStringLiteral("<p>%1</p>").arg(text));
        const bool loaded = waitFor([&] { return done; });
        QObject::disconnect(c);
        return loaded && waitFor([&] { return TestSupport::pageText(&page, 5000).contains(text); });
    }

    // Kills the page's renderer; false when it has none.
    static bool killRenderer(QWebEnginePage& page)
    {
        const qint64 pid = page.renderProcessPid();
        return pid > 0 && ::kill(pid_t(pid), SIGKILL) == 0;
    }

    NotificationCenter m_center;
    QList<QVariantMap> m_posts;
};

}  // namespace

TEST_F(PageRendererWatchTest, AKilledRendererIsPostedAndThePageDrawnAgainUntilItKeepsEnding)
{
    QWebEngineProfile profile;
    QWebEnginePage page(&profile);
    int restores = 0;
    new PageRendererWatch(&page, &m_center, [&] {
        ++restores;
        page.setHtml(QStringLiteral("<p>drawn again %1</p>").arg(restores));
    });
    ASSERT_TRUE(load(page, QStringLiteral("first")));

    for (int round = 1; round <= PageRendererWatch::kMaxRestores; ++round) {
        ASSERT_TRUE(killRenderer(page)) << "round " << round;
        ASSERT_TRUE(waitFor([&] { return m_posts.size() == round; })) << "round " << round;
        EXPECT_EQ(m_posts.last().value(QStringLiteral("status")).toInt(), int(QWebEnginePage::KilledTerminationStatus));
        EXPECT_TRUE(m_posts.last().value(QStringLiteral("restored")).toBool());
        ASSERT_TRUE(waitFor([&] { return restores == round; }));
        EXPECT_TRUE(waitFor([&] {
            return TestSupport::pageText(&page, 5000).contains(QStringLiteral("drawn again %1").arg(round));
        })) << "round "
            << round;
    }

    // Once more within the minute: left blank, and the post says so.
    ASSERT_TRUE(killRenderer(page));
    ASSERT_TRUE(waitFor([&] { return m_posts.size() == PageRendererWatch::kMaxRestores + 1; }));
    EXPECT_FALSE(m_posts.last().value(QStringLiteral("restored")).toBool());
    ASSERT_TRUE(TestSupport::waitForQueuedWork());
    EXPECT_EQ(restores, PageRendererWatch::kMaxRestores);

    // A load of the page's own brings it back.
    ASSERT_TRUE(load(page, QStringLiteral("loaded by its owner")));
}

TEST_F(PageRendererWatchTest, TheRendererIsQtsOwnProgramWithTheFlagsOfTheArgumentsAndTheEnvironmentTheUsers)
{
    QWebEngineProfile profile;
    QWebEnginePage page(&profile);
    // Run as root, a renderer starts only with --no-sandbox, which came through the arguments.
    ASSERT_TRUE(load(page, QStringLiteral("drawn")));
    const QString renderer = QFileInfo(QStringLiteral("/proc/%1/exe").arg(page.renderProcessPid())).symLinkTarget();
    EXPECT_EQ(QFileInfo(renderer).fileName(), QStringLiteral("QtWebEngineProcess")) << renderer.toStdString();
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype mark = arguments.indexOf(QStringLiteral("--webEngineArgs"));
    ASSERT_GT(mark, 0);
    EXPECT_EQ(
        arguments.mid(mark + 1), (QStringList {"--no-sandbox", "--disable-gpu", "--process-per-site", "--no-zygote"}));

    // The variable the test set (as a user would) is back as it was, and nothing of the program's
    // own reaches a program it starts.
    EXPECT_FALSE(StartupEnvironment::pending());
    QProcess child;
    child.start(QStringLiteral("/usr/bin/env"), {});
    ASSERT_TRUE(child.waitForFinished(10000));
    const QStringList seen = QString::fromLocal8Bit(child.readAllStandardOutput()).split(QLatin1Char('\n'));
    EXPECT_TRUE(seen.contains(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu")));
    for (const QString& line : seen)
        EXPECT_FALSE(line.startsWith(QStringLiteral("QTWEBENGINEPROCESS_PATH=")) ||
            line.startsWith(QStringLiteral("QT_XCB_GL_INTEGRATION=")))
            << line.toStdString();
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::startApplication("page-renderer-watch-test");
    return RUN_ALL_TESTS();
}

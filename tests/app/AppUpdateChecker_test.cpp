#include "app/AppUpdateChecker.h"

#include "app/UpdateAvailableWindowController.h"
#include "app/preferences/AppNotifications.h"
#include "cloud/protocol/ServiceHost.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "tests/tools/standin-services/StandinTestServer.h"

#include "support/FileAccessWatch.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <memory>

namespace {

QString feed(const QString& versions)
{
    return QStringLiteral("<?xml version=\"1.0\"?>\n<updates>%1</updates>").arg(versions);
}

QString entry(int build, const QString& extra = {}, const QString& description = QStringLiteral("auto"))
{
    const QString d =
        description == QLatin1String("auto") ? QStringLiteral("<![CDATA[<p>Build %1</p>]]>").arg(build) : description;
    return QStringLiteral("<version><version-string>2.%1</version-string><build>%1</build>"
                          "<min-updater-version>1</min-updater-version><description>%2</description>"
                          "<install-instructions>Run it.</install-instructions>"
                          "<download-link>https://example.test/d/Q-%1.tar.gz</download-link>"
                          "<more-info-link>https://example.test/news/%1</more-info-link>%3</version>")
        .arg(build)
        .arg(d, extra);
}

class UpdateCheck : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "update-test";
        static char* argv[] = {name, nullptr};
        static QApplication* app = new QApplication(argc, argv);
        (void)app;
    }
    void SetUp() override
    {
        m_dir = std::make_unique<QTemporaryDir>();
        // Downloads go to the Downloads folder of the home the program runs in: one of the test's own.
        qputenv("HOME", m_dir->path().toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir->filePath(QStringLiteral("config")).toUtf8());
        m_defaults = std::make_unique<UserDefaults>(m_dir->filePath(QStringLiteral("settings.ini")));
        SettingsRegistry::registerDefaultsForAllPreferences(*m_defaults);
        m_checker = std::make_unique<AppUpdateChecker>(m_center, *m_defaults);
        m_checker->runningProgram().build = 110;
        m_checker->runningProgram().version = QStringLiteral("1.1");
        m_checker->runningProgram().systemVersion = QStringLiteral("10.15.7");
        m_checker->runningProgram().now = [] { return QDateTime(QDate(2025, 6, 1), QTime(12, 0), Qt::UTC); };
        AppUpdateChecker::Presenter& p = m_checker->presenter();
        p.alert = [this](const QVariantMap& a) { m_alerts << a; };
        p.toast = [this](const QString& t) { m_toasts << t; };
        p.showUpdateAvailable = [this](const QVariantMap& params) { m_offers << params; };
        p.showProgress = false;
    }
    void TearDown() override { m_checker.reset(); }
    UserDefaults& d() { return *m_defaults; }
    std::unique_ptr<UserDefaults> m_defaults;
    QVariantMap offer(const QString& xml, bool* wellFormed = nullptr)
    {
        bool ok = false;
        QVariantMap p = m_checker->updateParametersFromFeed(xml.toUtf8(), &ok);
        if (wellFormed)
            *wellFormed = ok;
        return p;
    }
    void waitForCheck()
    {
        QSignalSpy done(m_checker.get(), &AppUpdateChecker::checkFinished);
        ASSERT_TRUE(done.wait(20000));
    }
    QString download(const QUrl& url, qint64 size = -1, const QByteArray& digest = {})
    {
        QSignalSpy done(m_checker.get(), &AppUpdateChecker::downloadFinished);
        m_checker->userWantsToDownloadAppUpdate(url, size, digest);
        if (done.isEmpty()) {
            EXPECT_TRUE(done.wait(20000));
        }
        return done.isEmpty() ? QString() : done.first().first().toString();
    }
    void useServer(const standin_test::Server& server)
    {
        d().set(SettingsKeys::ServiceHostAddress, server.serviceHostSetting());
    }
    QString lastMessage() const
    {
        return m_alerts.isEmpty() ? QString() : m_alerts.last().value(QStringLiteral("messageText")).toString();
    }
    std::unique_ptr<QTemporaryDir> m_dir;
    // The checker and the update window talk through a centre of their own.
    NotificationCenter m_center;
    std::unique_ptr<AppUpdateChecker> m_checker;
    QList<QVariantMap> m_alerts;
    QStringList m_toasts;
    QList<QVariantMap> m_offers;
};

TEST(UpdateVersions, SystemVersionsCompareByPaddedNumbers)
{
    EXPECT_EQ(AppUpdateChecker::compareSystemVersion(QStringLiteral("10.15.7"), QStringLiteral("10.15")), 1);
    EXPECT_EQ(AppUpdateChecker::compareSystemVersion(QStringLiteral("10.15"), QStringLiteral("10.15.0")), 0);
    EXPECT_EQ(AppUpdateChecker::compareSystemVersion(QStringLiteral("10.9"), QStringLiteral("10.10")), -1);
    EXPECT_EQ(AppUpdateChecker::compareSystemVersion(QStringLiteral("010.2"), QStringLiteral("10.2")), 0);
    EXPECT_EQ(AppUpdateChecker::compareSystemVersion(QStringLiteral("12.0 beta"), QStringLiteral("12")), 0);
    EXPECT_EQ(
        AppUpdateChecker::compareSystemVersion(QStringLiteral("99999999999999999999999"), QStringLiteral("9")), 1);
    // An empty component is smaller than any number; no leading number is the smallest of all.
    EXPECT_EQ(AppUpdateChecker::compareSystemVersion(QStringLiteral("1..2"), QStringLiteral("1.0.2")), -1);
    EXPECT_EQ(AppUpdateChecker::compareSystemVersion(QStringLiteral("beta"), QStringLiteral("1")), -1);
    EXPECT_EQ(AppUpdateChecker::compareSystemVersion(QStringLiteral("1"), QStringLiteral("beta")), 1);
    EXPECT_EQ(AppUpdateChecker::compareSystemVersion(QStringLiteral("x"), QStringLiteral("y")), 0);
    EXPECT_EQ(AppUpdateChecker::compareSystemVersion(QString(), QStringLiteral("1")), -1);
    EXPECT_EQ(AppUpdateChecker::compareSystemVersion(QString(), QString()), 0);
    EXPECT_EQ(AppUpdateChecker::compareSystemVersion(QStringLiteral("1"), QString()), 1);
    const QString mine = AppUpdateChecker::systemVersionString();
    EXPECT_EQ(mine.split(QLatin1Char('.')).size(), 3) << mine.toStdString();

    EXPECT_EQ(AppUpdateChecker::parsePublicationDate(QStringLiteral("2024-1-2 3:4:5 +0000")),
        QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC));
    EXPECT_EQ(AppUpdateChecker::parsePublicationDate(QStringLiteral("2024-01-02 23:30:00 -0530")),
        QDateTime(QDate(2024, 1, 3), QTime(5, 0, 0), Qt::UTC));
    EXPECT_EQ(AppUpdateChecker::parsePublicationDate(QStringLiteral("2024-1-2 3:4:5 GMT")),
        QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC));
    for (const char* bad : {"2024-13-2 3:4:5 +0000", "2024-2-30 3:4:5 +0000", "2024-1-2 25:4:5 +0000", "2024-1-2 3:4:5",
             "2024-1-2 3:4:5 +9900", "yesterday", ""})
        EXPECT_FALSE(AppUpdateChecker::parsePublicationDate(QString::fromLatin1(bad)).isValid()) << bad;
}

TEST_F(UpdateCheck, FeedEntriesAreFilteredAndTheNewestOffered)
{
    bool ok = false;
    QVariantMap p = offer(feed(entry(120) + entry(130) + entry(100)), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(p.value(QStringLiteral("build")).toString(), QStringLiteral("130"));
    EXPECT_EQ(p.value(QStringLiteral("version")).toString(), QStringLiteral("2.130"));
    EXPECT_EQ(p.value(QStringLiteral("description")).toString(), QStringLiteral("<p>Build 130</p><p>Build 120</p>"));
    EXPECT_EQ(p.value(QStringLiteral("label")).toString(),
        QStringLiteral("You have version 1.1 build 110. Version 2.130 build 130 is available."));
    EXPECT_EQ(
        p.value(QStringLiteral("downloadLink")).toString(), QStringLiteral("https://example.test/d/Q-130.tar.gz"));
    EXPECT_EQ(p.value(QStringLiteral("moreInfoLink")).toString(), QStringLiteral("https://example.test/news/130"));
    EXPECT_EQ(p.value(QStringLiteral("instructions")).toString(), QStringLiteral("Run it."));
    EXPECT_FALSE(p.contains(QStringLiteral("downloadSize")));

    // A newer entry not yet published, for another updater, another system or other builds is passed over.
    const QString future = QStringLiteral("<publication-date>2025-6-1 12:00:01 +0000</publication-date>");
    EXPECT_EQ(offer(feed(entry(120) + entry(140, future))).value(QStringLiteral("build")), QStringLiteral("120"));
    const QString past = QStringLiteral("<publication-date>2025-6-1 11:59:59 +0000</publication-date>");
    EXPECT_EQ(offer(feed(entry(120) + entry(140, past))).value(QStringLiteral("build")), QStringLiteral("140"));
    EXPECT_TRUE(offer(feed(entry(140, QStringLiteral("<max-updater-version>0</max-updater-version>")))).isEmpty());
    EXPECT_TRUE(offer(
        feed(entry(140).replace(QStringLiteral("<min-updater-version>1<"), QStringLiteral("<min-updater-version>2<"))))
                    .isEmpty());
    EXPECT_TRUE(offer(feed(entry(140, QStringLiteral("<max-os-version>10.15</max-os-version>")))).isEmpty());
    EXPECT_FALSE(offer(feed(entry(140, QStringLiteral("<max-os-version>10.15.7</max-os-version>")))).isEmpty());
    EXPECT_TRUE(offer(feed(entry(140, QStringLiteral("<min-os-version>11</min-os-version>")))).isEmpty());
    EXPECT_TRUE(offer(feed(entry(140, QStringLiteral("<min-app-build>111</min-app-build>")))).isEmpty());
    EXPECT_TRUE(offer(feed(entry(140, QStringLiteral("<max-app-build>109</max-app-build>")))).isEmpty());
    EXPECT_FALSE(
        offer(feed(entry(140, QStringLiteral("<min-app-build>110</min-app-build><max-app-build>110</max-app-build>"))))
            .isEmpty());
    // Nothing newer than the running build.
    EXPECT_TRUE(offer(feed(entry(110) + entry(90))).isEmpty());
    // An entry without a description is offered but adds no history.
    p = offer(feed(entry(120) + entry(130, {}, QString())));
    EXPECT_EQ(p.value(QStringLiteral("build")), QStringLiteral("130"));
    EXPECT_EQ(p.value(QStringLiteral("description")).toString(), QStringLiteral("<p>Build 120</p>"));

    // Entries for listed customers only: offered while that customer is signed in.
    const QString customers =
        QStringLiteral("<customer-ids><customer-id>777</customer-id><customer-id>1</customer-id></customer-ids>"
                       "<customer-ids><customer-id> 10001 </customer-id></customer-ids>");
    EXPECT_TRUE(offer(feed(entry(140, customers))).isEmpty());
    d().set(SettingsKeys::CustomerIDNum, 10001);
    EXPECT_TRUE(offer(feed(entry(140, customers))).isEmpty());
    d().set(SettingsKeys::CredentialsValid, true);
    EXPECT_EQ(offer(feed(entry(140, customers))).value(QStringLiteral("build")), QStringLiteral("140"));
    // Only the first customer-id of each list counts.
    d().set(SettingsKeys::CustomerIDNum, 1);
    EXPECT_TRUE(offer(feed(entry(140, customers))).isEmpty());

    // The file's size and digest, when the entry gives them, travel with the offer.
    p = offer(
        feed(entry(140, QStringLiteral("<download-size>42</download-size><download-sha256>ABCD</download-sha256>"))));
    EXPECT_EQ(p.value(QStringLiteral("downloadSize")).toLongLong(), 42);
    EXPECT_EQ(p.value(QStringLiteral("downloadSha256")).toByteArray(), QByteArray("abcd"));

    // Not XML, cut short, or too large: not well-formed.
    offer(QStringLiteral("<updates><version>"), &ok);
    EXPECT_FALSE(ok);
    offer(QStringLiteral("\x01garbage"), &ok);
    EXPECT_FALSE(ok);
    offer(QString(), &ok);
    EXPECT_FALSE(ok);
    offer(feed(QString(AppUpdateChecker::kMaxFeedBytes, QLatin1Char(' '))), &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(offer(feed(QString()), &ok).isEmpty());
    EXPECT_TRUE(ok);
}

TEST_F(UpdateCheck, AutomaticChecksWaitTheirInterval)
{
    const qint64 now = m_checker->runningProgram().now().toSecsSinceEpoch();
    // First launch: no request, the clock starts.
    EXPECT_FALSE(m_checker->conditionallyCheckForUpdates(false));
    EXPECT_EQ(d().value(SettingsKeys::LastAppUpdateCheck), now);
    EXPECT_FALSE(m_checker->conditionallyCheckForUpdates(false));
    d().set(SettingsKeys::LastAppUpdateCheck, now - 2629800 + 1);
    EXPECT_FALSE(m_checker->conditionallyCheckForUpdates(false));
    d().set(SettingsKeys::AppUpdateAutomatic, false);
    d().set(SettingsKeys::LastAppUpdateCheck, now - 2629800);
    EXPECT_FALSE(m_checker->conditionallyCheckForUpdates(false));
    d().set(SettingsKeys::AppUpdateAutomatic, true);

    // Due, but the server is gone: an automatic check says nothing and keeps its time stamp.
    quint16 deadPort = 0;
    {
        standin_test::Server server;
        deadPort = server.httpPort();
    }
    d().set(SettingsKeys::ServiceHostAddress, standin_test::serviceHostSetting(deadPort, 1));
    ASSERT_TRUE(m_checker->conditionallyCheckForUpdates(false));
    waitForCheck();
    EXPECT_TRUE(m_alerts.isEmpty());
    EXPECT_EQ(d().value(SettingsKeys::LastAppUpdateCheck), now - 2629800);
    // The same failure asked for from the menu is reported.
    ASSERT_TRUE(m_checker->conditionallyCheckForUpdates(true));
    waitForCheck();
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_TRUE(lastMessage().startsWith(QStringLiteral("There was a problem connecting to the server: ")));
    EXPECT_EQ(m_alerts.last().value(QStringLiteral("alertStyle")).toInt(), 2);
}

TEST_F(UpdateCheck, ChecksAgainstTheStandInsFeedAndItsFaults)
{
    standin_test::Server server({QStringLiteral("--feed-version"), QStringLiteral("2.0"),
        QStringLiteral("--feed-build"), QStringLiteral("200")});
    ASSERT_TRUE(server.running());
    useServer(server);
    // The stand-in dates its entry a day before the real clock.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_checker->runningProgram().now = [now] { return now; };

    ASSERT_TRUE(m_checker->conditionallyCheckForUpdates(true));
    EXPECT_FALSE(m_checker->conditionallyCheckForUpdates(true));  // one at a time
    waitForCheck();
    EXPECT_TRUE(m_alerts.isEmpty()) << lastMessage().toStdString();
    ASSERT_EQ(m_offers.size(), 1);
    EXPECT_EQ(m_offers[0].value(QStringLiteral("build")).toString(), QStringLiteral("200"));
    EXPECT_TRUE(m_offers[0]
                    .value(QStringLiteral("downloadLink"))
                    .toString()
                    .endsWith(QStringLiteral("/downloads/Quillstead-2.0-update.txt")));
    EXPECT_EQ(d().value(SettingsKeys::LastAppUpdateCheck), m_checker->runningProgram().now().toSecsSinceEpoch());

    m_checker->runningProgram().build = 200;
    m_checker->conditionallyCheckForUpdates(true);
    waitForCheck();
    EXPECT_EQ(lastMessage(), QStringLiteral("You have the latest version."));
    EXPECT_EQ(m_alerts.last().value(QStringLiteral("alertStyle")).toInt(), 1);

    struct Fault {
        const char* fault;
        const char* message;
    };
    for (const Fault& f : {Fault {"http.status=404", "The list of available updates was not found on the server."},
             Fault {"http.status=503",
                 "The server responded with status code 503 when looking for the list of available updates."},
             Fault {"http.garbage=1", "The response from the server is not in the right format."},
             Fault {"http.truncate=30", "There was a problem connecting to the server: "}}) {
        ASSERT_TRUE(server.fault(QString::fromLatin1(f.fault) + QStringLiteral("&http.path=QuillsteadUpdate")));
        const qsizetype before = m_alerts.size();
        m_checker->conditionallyCheckForUpdates(true);
        waitForCheck();
        ASSERT_EQ(m_alerts.size(), before + 1) << f.fault;
        EXPECT_TRUE(lastMessage().startsWith(QString::fromLatin1(f.message)))
            << f.fault << ": " << lastMessage().toStdString();
    }
    // The same faults on an automatic check show nothing.
    ASSERT_TRUE(server.fault(QStringLiteral("http.status=500&http.path=QuillsteadUpdate")));
    d().set(SettingsKeys::LastAppUpdateCheck, 1);
    const qsizetype before = m_alerts.size();
    ASSERT_TRUE(m_checker->conditionallyCheckForUpdates(false));
    waitForCheck();
    EXPECT_EQ(m_alerts.size(), before);
    EXPECT_EQ(d().value(SettingsKeys::LastAppUpdateCheck), 1);
}

TEST_F(UpdateCheck, DownloadsAreCheckedBeforeTheyAreOffered)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    useServer(server);
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.httpPort());
    const QUrl link(base + QStringLiteral("/downloads/Quillstead-0.2.0-update.txt"));
    const standin_test::HttpResult direct = server.get(link.path());
    ASSERT_EQ(direct.status, 200);

    QSignalSpy progress(m_checker.get(), &AppUpdateChecker::downloadProgress);
    const QString path = download(link);
    ASSERT_FALSE(path.isEmpty()) << lastMessage().toStdString();
    EXPECT_EQ(path, QDir(m_checker->downloadsFolder()).filePath(QStringLiteral("Quillstead-0.2.0-update.txt")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), direct.body);
    file.close();
    EXPECT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last().at(0).toLongLong(), direct.body.size());
    EXPECT_EQ(
        m_toasts, QStringList {QStringLiteral("You can continue to use Quillstead while the update is downloading.")});
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(
        lastMessage(), QStringLiteral("Successfully downloaded Quillstead-0.2.0-update.txt to your Downloads folder."));
    EXPECT_EQ(m_alerts[0].value(QStringLiteral("informativeText")).toString(),
        QStringLiteral(
            "Exit Quillstead, launch Quillstead-0.2.0-update.txt, and follow instructions to install the update."));
    EXPECT_EQ(m_alerts[0].value(QStringLiteral("firstButtonTitle")).toString(), QStringLiteral("Show in Folder"));
    EXPECT_EQ(m_alerts[0].value(QStringLiteral("firstButtonParam")).toString(), path);
    EXPECT_EQ(m_alerts[0].value(QStringLiteral("secondButtonTitle")).toString(), QStringLiteral("Cancel"));

    // A second download never replaces the first file.
    const QByteArray digest = QCryptographicHash::hash(direct.body, QCryptographicHash::Sha256).toHex();
    const QString second = download(link, direct.body.size(), digest);
    EXPECT_EQ(QFileInfo(second).fileName(), QStringLiteral("Quillstead-0.2.0-update (1).txt"));
    EXPECT_TRUE(QFile::exists(path));

    auto refused = [&](const QString& why) {
        const QStringList before = QDir(m_checker->downloadsFolder()).entryList(QDir::Files | QDir::Hidden);
        return [this, before, why] {
            EXPECT_EQ(QDir(m_checker->downloadsFolder()).entryList(QDir::Files | QDir::Hidden), before)
                << why.toStdString();
            EXPECT_EQ(m_alerts.last().value(QStringLiteral("alertStyle")).toInt(), 2) << why.toStdString();
        };
    };
    // Cut short by the server: refused, nothing left behind.
    {
        auto check = refused(QStringLiteral("truncate"));
        ASSERT_TRUE(server.fault(QStringLiteral("http.truncate=20&http.path=downloads")));
        EXPECT_EQ(download(link), QString());
        EXPECT_TRUE(lastMessage().startsWith(QStringLiteral("There was a problem downloading the file: ")))
            << lastMessage().toStdString();
        check();
    }
    // Not the file the update describes.
    {
        auto check = refused(QStringLiteral("size"));
        EXPECT_EQ(download(link, direct.body.size() + 1), QString());
        EXPECT_TRUE(lastMessage().contains(QStringLiteral("bytes where the update has")))
            << lastMessage().toStdString();
        check();
    }
    {
        auto check = refused(QStringLiteral("digest"));
        EXPECT_EQ(download(link, -1, QByteArray(64, 'a')), QString());
        EXPECT_TRUE(lastMessage().contains(QStringLiteral("SHA-256"))) << lastMessage().toStdString();
        check();
    }
    {
        auto check = refused(QStringLiteral("status"));
        EXPECT_EQ(download(QUrl(base + QStringLiteral("/downloads/missing.txt"))), QString());
        EXPECT_EQ(lastMessage(), QStringLiteral("Response status 404 while downloading the update from our server."));
        check();
    }
    // Addresses that name no file in Downloads, or no web address at all.
    for (const char* bad : {"/downloads/..", "/downloads/", "/downloads/%2E%2E", "/downloads/.hidden"}) {
        auto check = refused(QString::fromLatin1(bad));
        EXPECT_EQ(download(QUrl(base + QString::fromLatin1(bad))), QString()) << bad;
        check();
    }
    EXPECT_EQ(download(QUrl(QStringLiteral("file:///etc/passwd"))), QString());
    // A path that tries to leave the folder keeps only its last name inside it.
    EXPECT_EQ(AppUpdateChecker::downloadDestination(
                  QStringLiteral("/tmp/dl"), QUrl(QStringLiteral("https://h/a/%2E%2E%2F%2E%2E%2Fx.bin"))),
        QStringLiteral("/tmp/dl/x.bin"));
}

TEST_F(UpdateCheck, UpdateWindowOffersTheDownload)
{
    m_checker->presenter().showProgress = true;
    QVariantMap params = offer(feed(entry(120) + entry(130)));
    // The download it starts waits on a stand-in that answers late, so it can be cancelled.
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(server.fault(QStringLiteral("http.stallMs=10000&http.path=downloads")));
    const QUrl link(QStringLiteral("http://127.0.0.1:%1/downloads/Quillstead-0.2.0-update.txt").arg(server.httpPort()));
    params.insert(QStringLiteral("downloadLink"), link.toString());
    UpdateAvailableWindowController window(params, m_center);
    EXPECT_EQ(window.versionHistoryLabel()->text(),
        QStringLiteral("You have version 1.1 build 110. Version 2.130 build 130 is available."));
    EXPECT_TRUE(window.versionHistoryWebView()->toPlainText().contains(QStringLiteral("Build 130")));
    EXPECT_EQ(window.installationInstructionsWebView()->toPlainText(), QStringLiteral("Run it."));
    window.show();
    QApplication::processEvents();
    EXPECT_TRUE(window.downloadButton()->isVisible());
    EXPECT_TRUE(window.moreInfoButton()->isVisible());
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(window.grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/update-available.png")));

    QList<QUrl> opened;
    UpdateAvailableWindowController::urlOpener() = [&opened](const QUrl& u) { opened << u; };
    window.onMoreInfo();
    EXPECT_EQ(opened, QList<QUrl> {QUrl(QStringLiteral("https://example.test/news/130"))});
    EXPECT_TRUE(window.isVisible());

    QList<QVariantMap> posted;
    auto id = m_center.addObserver(this, AppNotifications::UserWantsToDownloadAppUpdateNotification,
        [&posted](Notification& n) { posted << n.userInfo; });
    window.onDownload();
    m_center.removeObservation(id);
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(posted[0].value(QStringLiteral("url")).toUrl(), link);
    EXPECT_FALSE(window.isVisible());
    // The download shows its progress bar, which outlives the update window that asked for it.
    auto* progress = TestSupport::shownWindow<QProgressDialog>();
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->objectName(), QStringLiteral("updateDownloadProgress"));
    EXPECT_EQ(progress->parent(), nullptr);
    // The user cancels it there.
    QSignalSpy done(m_checker.get(), &AppUpdateChecker::downloadFinished);
    auto* cancel = progress->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(done.wait(5000));
    ASSERT_EQ(done.size(), 1);
    EXPECT_TRUE(done.first().first().toString().isEmpty());
    // A cancelled download leaves nothing behind and says nothing.
    EXPECT_TRUE(QDir(m_checker->downloadsFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(m_alerts.isEmpty());

    // Without links the buttons are not offered.
    params.insert(QStringLiteral("downloadLink"), QString());
    params.insert(QStringLiteral("moreInfoLink"), QString());
    UpdateAvailableWindowController bare(params, m_center);
    bare.show();
    EXPECT_FALSE(bare.downloadButton()->isVisible());
    EXPECT_FALSE(bare.moreInfoButton()->isVisible());
    UpdateAvailableWindowController::urlOpener() = [](const QUrl&) {};
}

// A feed's text names files as images, backgrounds and style sheets: the update window shows its
// words and opens none of them, and its version line shows markup as written.
TEST_F(UpdateCheck, TheUpdateWindowOpensNothingTheFeedNames)
{
    QTemporaryDir dir;
    const QString watched = dir.filePath(QStringLiteral("watched.png"));
    QImage picture(8, 8, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(watched));
    TestSupport::FileAccessWatch access(watched);
    const QString pipe = dir.filePath(QStringLiteral("pipe.css"));
    TestSupport::FifoOpenWatch fifo(pipe);
    ASSERT_TRUE(access.valid() && fifo.valid());
    const QString html = QStringLiteral("<html><head><link rel=\"stylesheet\" href=\"%2\"><style>@import url(%2); "
                                        "p { background-image: url(%1) }</style></head><body>"
                                        "<p>Build 140 mends things.</p><img src=\"%1\"><img src=\"file://%1\">"
                                        "<img src=\"%2\"><table background=\"%1\"><tr><td>cell</td></tr></table>"
                                        "</body></html>")
                             .arg(watched, pipe);
    const QVariantMap params {{QStringLiteral("label"), QStringLiteral("<img src=\"%1\">Version 2").arg(watched)},
        {QStringLiteral("description"), html}, {QStringLiteral("instructions"), html}};
    UpdateAvailableWindowController window(params, m_center);
    window.show();
    QApplication::processEvents();
    window.grab();
    EXPECT_TRUE(window.versionHistoryWebView()->toPlainText().contains(QStringLiteral("Build 140 mends things.")));
    EXPECT_TRUE(window.installationInstructionsWebView()->toPlainText().contains(QStringLiteral("cell")));
    EXPECT_EQ(window.versionHistoryLabel()->text(), params.value(QStringLiteral("label")).toString());
    EXPECT_FALSE(access.touched());
    EXPECT_EQ(fifo.opens(), 0);
}

}  // namespace

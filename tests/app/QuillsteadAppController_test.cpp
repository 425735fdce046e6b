#include "app/QuillsteadAppController.h"

#include "app/ModalTextFieldWindowController.h"
#include "app/QuillsteadWindowController.h"
#include "app/Toast.h"
#include "app/preferences/MASPreferencesWindowController.h"
#include "app/preferences/PreferencesViewController.h"
#include "library/GoToRequest.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/page/BookPageScheme.h"
#include "platform/AppFolders.h"
#include "platform/RecordingAlerts.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

namespace {

// One application and one private home for the whole program; each test starts from an empty
// screen (no layouts) and a fresh controller.
class Shell : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static QTemporaryDir home;
        s_home = home.path();
        const QByteArray path = home.path().toUtf8();
        setenv("HOME", path.constData(), 1);
        setenv("XDG_DATA_HOME", (path + "/data").constData(), 1);
        setenv("XDG_CACHE_HOME", (path + "/cache").constData(), 1);
        setenv("XDG_CONFIG_HOME", (path + "/config").constData(), 1);
        setenv("XDG_RUNTIME_DIR", (path + "/run").constData(), 1);
        QDir().mkpath(home.path() + QStringLiteral("/run"));
        QFile::setPermissions(
            home.path() + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu", 1);
        static int argc = 1;
        static char name[] = "shell-test";
        static char* argv[] = {name, nullptr};
        BookPageScheme::registerScheme();
        new QApplication(argc, argv);  // lives until the process ends: its teardown races the web engine's
        s_alerts = std::make_shared<RecordingAlerts>();
        Alerts::setShared(s_alerts);
        QuillsteadAppController::setBundledBooksFolder(QStringLiteral(QS_BINARY_DIR "/books"));
    }

    void SetUp() override
    {
        if (!QFile::exists(QStringLiteral(QS_BINARY_DIR "/books/KJV.tvk")))
            GTEST_SKIP() << "the books that come with the application are not built";
        LayoutManager::sharedLayoutManager().setLayouts({});
        s_alerts->clear();
        NotificationCenter::defaultCenter().addObserver(this, GoToNames::GoToNotification,
            [this](Notification& n) { m_goTos.append(GoToRequest::fromUserInfo(n.userInfo)); });
    }

    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(this);
        m_controller.reset();
    }

    QuillsteadAppController& launch(const QuillsteadAppController::LaunchResets& resets = {})
    {
        m_controller = std::make_unique<QuillsteadAppController>();
        m_controller->applicationDidFinishLaunching(resets);
        return *m_controller;
    }

    void quit()
    {
        m_controller->applicationWillTerminate();
        m_controller.reset();
        LayoutManager::sharedLayoutManager().setLayouts({});
    }

    static QString dataFile(const QString& name) { return QDir(AppFolders::privateDataDirectory()).filePath(name); }
    static QString book(const QString& name) { return QDir(AppFolders::booksDirectory()).filePath(name); }

    static inline QString s_home;
    static inline std::shared_ptr<RecordingAlerts> s_alerts;
    std::unique_ptr<QuillsteadAppController> m_controller;
    QList<GoToRequest> m_goTos;
};

}  // namespace

TEST_F(Shell, FirstRunBuildsTheFirstScreenAndASecondRunRestoresIt)
{
    QFile::remove(QuillsteadAppController::appLayoutArchiveFile());
    QuillsteadAppController& app = launch();

    // The database, the books that come with the application and the first layout with the study pane.
    EXPECT_TRUE(QFile::exists(dataFile(AppFolders::kDatabaseFileName)));
    for (const char* name : {"MXHelp.tvk", "MXWelcome.tvk", "KJV.tvk"})
        EXPECT_TRUE(QFile::exists(book(QString::fromLatin1(name)))) << name;
    LayoutManager& layouts = LayoutManager::sharedLayoutManager();
    ASSERT_EQ(layouts.count(), 1u);
    const Layout* first = layouts.currentLayout();
    ASSERT_NE(first, nullptr);
    bool hasStudy = false;
    for (const auto& contents : first->contents())
        hasStudy = hasStudy || contents->kind() == QLatin1String("study");
    EXPECT_TRUE(hasStudy);

    // The three first books go to regions 0, 1 and 2 of that layout.
    ASSERT_EQ(m_goTos.size(), 3);
    const qint64 books[] = {23, 24, 101};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(m_goTos[i].sourceTuple) << i;
        EXPECT_EQ(m_goTos[i].sourceTuple->pubID(), 1);
        EXPECT_EQ(m_goTos[i].sourceTuple->bookID(), books[i]);
        EXPECT_EQ(m_goTos[i].paneRegion.value_or(-1), i);
        EXPECT_TRUE(m_goTos[i].forcePane);
        EXPECT_EQ(m_goTos[i].layoutUuid, first->uuidString());
    }
    EXPECT_EQ(app.mainWindowController()->tabBar()->count(), 1);
    const QString uuid = first->uuidString();
    quit();
    EXPECT_TRUE(QFile::exists(QuillsteadAppController::appLayoutArchiveFile()));
    EXPECT_GT(UserDefaults::standardUserDefaults().floatForKey(QStringLiteral("mainWindowWidth")), 0.0f);

    // Second run: the same layout comes back and no first-run requests are sent.
    m_goTos.clear();
    launch();
    ASSERT_EQ(layouts.count(), 1u);
    EXPECT_EQ(layouts.currentLayout()->uuidString(), uuid);
    EXPECT_TRUE(m_goTos.isEmpty());
    quit();
}

TEST_F(Shell, ADamagedLayoutArchiveIsKeptAsideAndTheFirstScreenBuilt)
{
    QFile archive(QuillsteadAppController::appLayoutArchiveFile());
    QDir().mkpath(AppFolders::privateDataDirectory());
    ASSERT_TRUE(archive.open(QIODevice::WriteOnly | QIODevice::Truncate));
    archive.write("<?xml version=\"1.0\"?><plist><dict><key>$top</key><string>broken");
    archive.close();
    launch();
    EXPECT_EQ(LayoutManager::sharedLayoutManager().count(), 1u);
    EXPECT_EQ(m_goTos.size(), 3);
    QFile aside(QuillsteadAppController::appLayoutArchiveFile() + QStringLiteral(".damaged"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_TRUE(aside.readAll().contains("broken"));
    quit();
}

TEST_F(Shell, BundledBooksComeBackOnlyWhenAsked)
{
    launch();
    quit();
    // A book the user deleted after it was installed stays deleted on a normal start ...
    ASSERT_TRUE(QFile::remove(book(QStringLiteral("KJV.tvk"))));
    QFile legacy(book(QStringLiteral("MXBKHELP003.tvk")));
    ASSERT_TRUE(legacy.open(QIODevice::WriteOnly));
    legacy.close();
    launch();
    EXPECT_FALSE(QFile::exists(book(QStringLiteral("KJV.tvk"))));
    quit();
    // ... and comes back when the user confirms the reinstall; the legacy help file goes.
    s_alerts->queueAnswer(AlertSecondButtonReturn);
    launch({false, false, true});
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(
        s_alerts->shown().first().messageText, QStringLiteral("Are you sure you want to reinstall bundled books?"));
    EXPECT_TRUE(QFile::exists(book(QStringLiteral("KJV.tvk"))));
    EXPECT_FALSE(QFile::exists(book(QStringLiteral("MXBKHELP003.tvk"))));
    quit();
}

TEST_F(Shell, LaunchResetsAskFirstAndActOnlyOnYes)
{
    launch();
    quit();
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setString(QStringLiteral("scrambled"), QStringLiteral("password"));
    m_goTos.clear();
    // "No" to the layout reset keeps the archive; "Yes" to the settings reset clears the defaults.
    s_alerts->queueAnswer(AlertFirstButtonReturn);
    s_alerts->queueAnswer(AlertSecondButtonReturn);
    launch({true, true, false});
    ASSERT_EQ(s_alerts->shown().size(), 2);
    EXPECT_EQ(s_alerts->shown()[0].buttons, (QStringList {QStringLiteral("No"), QStringLiteral("Yes")}));
    EXPECT_TRUE(QFile::exists(QuillsteadAppController::appLayoutArchiveFile()));
    EXPECT_TRUE(m_goTos.isEmpty());
    EXPECT_FALSE(defaults.hasStoredValue(QStringLiteral("password")));
    quit();

    // The stored password of an older version moves to its current key.
    defaults.setString(QStringLiteral("scrambled"), QStringLiteral("password"));
    launch();
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("optionsbitfield")), QStringLiteral("scrambled"));
    EXPECT_FALSE(defaults.hasStoredValue(QStringLiteral("password")));
    quit();
}

TEST_F(Shell, CommandsByTagToggleSettingsAndPostTheirNotifications)
{
    QuillsteadAppController& app = launch();
    QStringList toasts;
    QObject::connect(&app, &QuillsteadAppController::toastShown, [&toasts](const QString& t) { toasts.append(t); });
    QStringList posted;
    for (const char* name : {"UserWantsToSplitActivePaneNotification", "UserWantsToCloseActiveBookNotification",
             "DisplayPreferencesChangedNotification"})
        NotificationCenter::defaultCenter().addObserver(&posted, QString::fromLatin1(name), [&posted](Notification& n) {
            posted.append(n.name + n.userInfo.value(QStringLiteral("vertical")).toString());
        });

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const bool strongs = defaults.boolForKey(QStringLiteral("strongsNumbers"));
    QuillsteadWindowController* window = app.mainWindowController();
    window->toolbarItemSelected(407);
    EXPECT_EQ(defaults.boolForKey(QStringLiteral("strongsNumbers")), !strongs);
    defaults.setString(QStringLiteral("Collapse"), QStringLiteral("footnoteStyle"));
    for (int i = 0; i < 3; ++i)
        window->toolbarItemSelected(408);
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("footnoteStyle")), QStringLiteral("Collapse"));
    window->toolbarItemSelected(1002);
    window->toolbarItemSelected(103);
    ASSERT_GE(toasts.size(), 4);
    EXPECT_EQ(toasts.mid(1, 3),
        (QStringList {QStringLiteral("Footnote markers now set to 'Expand'"),
            QStringLiteral("Footnote markers now set to 'Hide'"),
            QStringLiteral("Footnote markers now set to 'Collapse'")}));
    EXPECT_TRUE(posted.contains(QStringLiteral("UserWantsToSplitActivePaneNotification1")));
    EXPECT_TRUE(posted.contains(QStringLiteral("UserWantsToCloseActiveBookNotification")));
    EXPECT_EQ(posted.count(QStringLiteral("DisplayPreferencesChangedNotification")), 4);

    // With one layout, Delete Layout is disabled and does nothing.
    window->updateActionStates();
    for (QAction* action : window->actionsForTag(108))
        EXPECT_FALSE(action->isEnabled());
    app.onDeleteLayout();
    EXPECT_EQ(LayoutManager::sharedLayoutManager().count(), 1u);
    // Every enabled item reaches its action without failing.
    for (int tag : {103, 104, 105, 407, 408, 409, 410, 415, 417, 702, 901, 1001, 1002})
        window->toolbarItemSelected(tag);
    NotificationCenter::defaultCenter().removeObserver(&posted);

    // Display Settings and Colors open the settings window on their panes; closing drops it.
    window->updateActionStates();
    for (int tag : {405, 406})
        for (QAction* action : window->actionsForTag(tag))
            EXPECT_TRUE(action->isEnabled()) << tag;
    window->toolbarItemSelected(405);
    MASPreferencesWindowController* settings = app.preferencesWindowController();
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(settings->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(settings->selectedViewController()->identifier(), QStringLiteral("DisplayPreferences"));
    window->toolbarItemSelected(406);
    EXPECT_EQ(app.preferencesWindowController(), settings);
    EXPECT_EQ(settings->indexOfSelectedController(), 2);
    settings->close();
    QApplication::processEvents();
    EXPECT_NE(app.preferencesWindowController(), nullptr);
    EXPECT_EQ(app.preferencesWindowController()->indexOfSelectedController(), 2);
    quit();
}

TEST_F(Shell, LayoutTabsFollowTheLayoutManagerBothWays)
{
    QuillsteadAppController& app = launch();
    QuillsteadWindowController* window = app.mainWindowController();
    LayoutManager& layouts = LayoutManager::sharedLayoutManager();
    app.newLayoutFromDescriptor(QStringLiteral("V11"));
    app.newLayoutFromDescriptor(QStringLiteral("1"));
    layouts.layoutAtIndex(2)->setName(QStringLiteral("Maximized Pane"));
    NotificationCenter::defaultCenter().postNotificationName(
        LayoutManager::qsLayoutManagerLayoutNameChangedNotification);
    ASSERT_EQ(window->tabBar()->count(), 3);
    EXPECT_EQ(window->tabBar()->tabText(2), QStringLiteral("Maximized Pane"));

    window->selectLayoutWithName(QStringLiteral("maximized pane"));
    EXPECT_EQ(layouts.currentLayout(), layouts.layoutAtIndex(2));

    // Dragging the third tab to the front reorders the layouts; the current one stays current.
    const QString third = layouts.layoutAtIndex(2)->uuidString();
    window->tabBar()->moveTab(2, 0);
    EXPECT_EQ(layouts.layoutAtIndex(0)->uuidString(), third);
    EXPECT_EQ(layouts.currentLayout()->uuidString(), third);

    // Closing a tab asks; "No" keeps it, "Yes" deletes exactly that layout.
    s_alerts->queueAnswer(AlertSecondButtonReturn);
    emit window->tabBar()->tabCloseRequested(1);
    EXPECT_EQ(layouts.count(), 3u);
    const QString second = layouts.layoutAtIndex(1)->uuidString();
    s_alerts->queueAnswer(AlertFirstButtonReturn);
    emit window->tabBar()->tabCloseRequested(1);
    ASSERT_EQ(layouts.count(), 2u);
    EXPECT_EQ(layouts.layoutWithUuid(second), nullptr);
    EXPECT_EQ(window->tabBar()->count(), 2);

    window->window()->resize(1100, 700);
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    window->window()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/main-window-frame.png"));
    quit();
}

TEST_F(Shell, ASecondStartHandsItsBookToTheRunningReader)
{
    QuillsteadAppController& app = launch();
    QStringList opened;
    NotificationCenter::defaultCenter().addObserver(&opened, QStringLiteral("UserWantsToOpenThisBookNotification"),
        [&opened](Notification& n) { opened.append(n.userInfo.value(QStringLiteral("bookid")).toString()); });
    ASSERT_TRUE(app.listenForOtherInstances());

    QTemporaryDir outside;
    const QString file = outside.filePath(QStringLiteral("Scofield.tvk"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QS_BINARY_DIR "/library/Scofield.tvk"), file));
    // The hand-over blocks until the reader answers, so the reader's side runs on its own thread's
    // event loop here: a second QApplication cannot exist, so the client runs in a thread instead.
    std::atomic<bool> handed = false;
    std::atomic<bool> done = false;
    std::thread client([&] {
        handed = QuillsteadAppController::handOverToRunningInstance(file);
        done = true;
    });
    QElapsedTimer waited;
    waited.start();
    while (!done && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    client.join();
    EXPECT_TRUE(handed);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(SourceManager::singleton().allSources()->tupleForFile(book(QStringLiteral("Scofield.tvk"))));
    NotificationCenter::defaultCenter().removeObserver(&opened);
    quit();
}

TEST_F(Shell, PromptDefaultsAndToastSizes)
{
    ModalTextFieldWindowController plain({});
    EXPECT_EQ(plain.windowTitle(), QStringLiteral("Text Entry Window"));
    EXPECT_EQ(plain.prompt()->text(), QStringLiteral("Enter text below."));
    ModalTextFieldWindowController named({{QStringLiteral("title"), QStringLiteral("Rename Current Layout")},
        {QStringLiteral("default"), QStringLiteral("Study")}});
    EXPECT_EQ(named.windowTitle(), QStringLiteral("Rename Current Layout"));
    EXPECT_EQ(named.textField()->text(), QStringLiteral("Study"));

    EXPECT_EQ(Toast::fontSizeFor(12), 18);
    EXPECT_EQ(Toast::fontSizeFor(16), 20);
    QWidget* toast = Toast::show(QStringLiteral("Link previews enabled."), 12);
    EXPECT_EQ(toast->size(), QSize(630, 100));
    toast->close();
}

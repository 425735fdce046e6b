#include "app/QuillsteadAppController.h"
#include "app/ReaderInstance.h"
#include "platform/SettingsKeys.h"

#include "app/preferences/AppNotifications.h"
#include "cloud/store/StoreNotifications.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/PaneNotifications.h"
#include "tools/standin-services/StandinTestServer.h"

#include "app/AboutThisBookWindowController.h"
#include "app/ApplicationBookPaneHooks.h"
#include "app/ModalTextFieldWindowController.h"
#include "app/ProgramParts.h"
#include "app/QuillsteadSyncDelegate.h"
#include "app/QuillsteadWindowController.h"
#include "app/Toast.h"
#include "app/WindowNotice.h"
#include "app/preferences/MASPreferencesWindowController.h"
#include "app/preferences/PreferencesViewController.h"
#include "cloud/account/CustomerPassword.h"
#include "cloud/protocol/ScrambledText.h"
#include "cloud/protocol/SyncCommand.h"
#include "cloud/protocol/SyncTime.h"
#include "cloud/sync/SyncLocalData.h"
#include "cloud/sync/SyncManager.h"
#include "library/GoToRequest.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "panes/bookpane/BookPaneCommands.h"
#include "panes/bookpane/BookPaneSpeech.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/bookpane/PaneTabBar.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageScheme.h"
#include "platform/AppFolders.h"
#include "platform/FileSave.h"
#include "platform/FileWriteQueue.h"
#include "platform/SaveFailureAlerts.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"
#include "platform/ui/ContentTextDocument.h"
#include "platform/ui/WidgetAlerts.h"
#include "reports/AutoStudyCSS.h"
#include "search/execution/cMultiBookSearchHits.h"
#include "search/execution/cSearchExpressionResult.h"
#include "studypane/StudyPaneViewController.h"
#include "support/RecordingAlerts.h"
#include "userdata/cBibleNote.h"
#include "userdata/cBookmark.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cNoteDoc.h"

#include "ReaderTestProgram.h"
#include "preferences/SettingsTestSupport.h"
#include "support/BookFileDamage.h"
#include "tools/tvkbuild/cTvkBookBuilder.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include <sys/mount.h>

namespace {

// One application and one private home for the whole program; each test starts from an empty
// screen (no layouts) and a fresh controller.
class Shell : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_home = reader_test::startReaderTestProgram("shell-test");
        s_alerts = &TestSupport::programAlerts();
    }

    void SetUp() override
    {
        if (!QFile::exists(QStringLiteral(QS_BINARY_DIR "/books/KJV.tvk")))
            GTEST_SKIP() << "the books that come with the application are not built";
        reader_test::programEnvironment().layoutManager().setLayouts({});
        s_alerts->clear();
        NotificationCenter::defaultCenter().addObserver(this, LibraryNotifications::GoToNotification,
            [this](Notification& n) { m_goTos.append(GoToRequest::of(n)); });
    }

    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(this);
        m_controller.reset();
    }

    QuillsteadAppController& launch(const QuillsteadAppController::LaunchResets& resets = {},
        const WindowEnvironment& env = reader_test::programEnvironment())
    {
        m_controller = std::make_unique<QuillsteadAppController>(env);
        m_controller->applicationDidFinishLaunching(resets);
        return *m_controller;
    }

    void quit()
    {
        m_controller->applicationWillTerminate();
        m_controller.reset();
        reader_test::programEnvironment().layoutManager().setLayouts({});
    }

    static QString dataFile(const QString& name) { return QDir(AppFolders::privateDataDirectory()).filePath(name); }
    // Signed in as the stand-in's demo customer with automatic sync on, syncing with the server at
    // `port` on this machine; false when the password could not be stored.
    static bool signInForSync(quint16 port)
    {
        UserDefaults& defaults = UserDefaults::standardUserDefaults();
        defaults.set(SettingsKeys::CustomerID, QStringLiteral("demo@quillstead.test"));
        defaults.set(SettingsKeys::CustomerIDNum, 10001);
        defaults.set(SettingsKeys::CredentialsValid, true);
        defaults.set(SettingsKeys::AutoSyncEnabled, true);
        qs::cloud::SyncManager::instance().setServer(QStringLiteral("127.0.0.1"), port);
        return qs::cloud::CustomerPassword::store(QStringLiteral("demo"));
    }
    static void signOutOfSync()
    {
        UserDefaults& defaults = UserDefaults::standardUserDefaults();
        defaults.set(SettingsKeys::AutoSyncEnabled, false);
        defaults.set(SettingsKeys::CredentialsValid, false);
        qs::cloud::CustomerPassword::clear();
    }
    // What the window's notice line says (message, then the longer text); empty when it is closed.
    QString noticeSays() const
    {
        const WindowNotice* notice = m_controller ? m_controller->mainWindowController()->notice() : nullptr;
        return notice == nullptr || notice->message().isEmpty()
            ? QString()
            : notice->message() + QLatin1Char('\n') + notice->informativeText();
    }
    static QString book(const QString& name) { return QDir(AppFolders::booksDirectory()).filePath(name); }

    static inline QString s_home;
    static inline RecordingAlerts* s_alerts = nullptr;
    std::unique_ptr<QuillsteadAppController> m_controller;
    QList<GoToRequest> m_goTos;
};

}  // namespace

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList partialBookFiles()
{
    QStringList out;
    QDirIterator it(AppFolders::booksDirectory(), {QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    return out;
}

}  // namespace

TEST_F(Shell, FirstRunBuildsTheFirstScreenAndASecondRunRestoresIt)
{
    QFile::remove(QuillsteadAppController::appLayoutArchiveFile());
    QuillsteadAppController& app = launch();

    // The database, the books that come with the application and the first layout with the study pane.
    EXPECT_TRUE(QFile::exists(dataFile(AppFolders::kDatabaseFileName)));
    for (const char* name : {"MXHelp.tvk", "MXWelcome.tvk", "KJV.tvk", "StrongsHebrew.tvk", "StrongsGreek.tvk"})
        EXPECT_TRUE(QFile::exists(book(QString::fromLatin1(name)))) << name;
    LayoutManager& layouts = reader_test::programEnvironment().layoutManager();
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
        EXPECT_EQ(m_goTos[i].sourceTuple->record().pubID, 1);
        EXPECT_EQ(m_goTos[i].sourceTuple->record().bookID, books[i]);
        EXPECT_EQ(m_goTos[i].paneRegion.value_or(-1), i);
        EXPECT_TRUE(m_goTos[i].forcePane);
        EXPECT_EQ(m_goTos[i].layoutUuid, first->uuidString());
    }
    EXPECT_EQ(app.mainWindowController()->tabBar()->count(), 1);
    const QString uuid = first->uuidString();
    quit();
    EXPECT_TRUE(QFile::exists(QuillsteadAppController::appLayoutArchiveFile()));
    EXPECT_GT(UserDefaults::standardUserDefaults().value(SettingsKeys::MainWindowWidth), 0.0);

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
    EXPECT_EQ(reader_test::programEnvironment().layoutManager().count(), 1u);
    EXPECT_EQ(m_goTos.size(), 3);
    QFile aside(QuillsteadAppController::appLayoutArchiveFile() + QStringLiteral(".damaged"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_TRUE(aside.readAll().contains("broken"));
    // The user is told, once the window is up, and where the damaged file went, beside the window.
    ASSERT_TRUE(TestSupport::waitFor([this] { return !noticeSays().isEmpty(); }));
    EXPECT_TRUE(noticeSays().startsWith(
        QStringLiteral("Your screen layout could not be read, so Quillstead started with a new one.\n")));
    EXPECT_TRUE(noticeSays().contains(aside.fileName()));
    EXPECT_TRUE(s_alerts->shown().isEmpty());
    quit();
}

// A small file system over the profile's data folder while one lives (mounting needs root). The
// files the reader has open stay where they were; whatever is written to the folder meanwhile lands
// on the small one.
class SmallFileSystem {
public:
    SmallFileSystem(const QString& folder, const char* size) : m_folder(QFile::encodeName(folder))
    {
        const QByteArray options = QByteArray("size=") + size;
        m_mounted = ::mount("tmpfs", m_folder.constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    // Writes a file until the file system is full, then gives back `room` bytes: the next larger
    // write is cut short there.
    void fill(qint64 room) const
    {
        QFile filler(QString::fromUtf8(m_folder) + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray chunk(4096, 'f');
        while (filler.write(chunk) == chunk.size()) { }
        filler.resize(std::max<qint64>(0, filler.size() - room));
    }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

TEST_F(Shell, AFullDiskKeepsTheLastLayoutArchiveAndSaysSoOnce)
{
    launch();
    quit();
    const QString archive = QuillsteadAppController::appLayoutArchiveFile();
    const QByteArray saved = fileBytes(archive);
    ASSERT_FALSE(saved.isEmpty());

    // Larger than the room left below, smaller than a write buffer: only the commit meets the full disk.
    ASSERT_GT(saved.size(), 8192);
    ASSERT_LT(saved.size(), 16384);
    QuillsteadAppController& app = launch();
    reader_test::programEnvironment().layoutManager().currentLayout()->setName(
        QStringLiteral("Renamed before the disk filled"));
    {
        SmallFileSystem disk(AppFolders::privateDataDirectory(), "256k");
        if (!disk.mounted())
            GTEST_SKIP() << "a small file system cannot be mounted here (needs root)";
        // The archive of the last run on the small disk, which then fills up.
        {
            QFile f(archive);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_EQ(f.write(saved), saved.size());
        }
        // Room for the start of the new archive only: the write is cut short after 8 KB.
        disk.fill(8192);
        // The saves after a tab change and at quit all fail; the archive of the last run stays whole.
        app.preemptiveSaveState();
        app.preemptiveSaveState();
        QCoreApplication::processEvents();
        quit();
        EXPECT_EQ(fileBytes(archive), saved);
        const auto layoutAlerts = [] {
            int n = 0;
            for (const Alert& a : s_alerts->shown())
                n += a.messageText == QStringLiteral("Quillstead could not save your screen layout.") ? 1 : 0;
            return n;
        };
        EXPECT_EQ(layoutAlerts(), 1);
        for (const Alert& a : s_alerts->shown()) {
            if (a.messageText == QStringLiteral("Quillstead could not save your screen layout.")) {
                EXPECT_TRUE(a.informativeText.contains(QStringLiteral("No space left on device")))
                    << a.informativeText.toStdString();
            }
        }
        QStringList left = QDir(AppFolders::privateDataDirectory()).entryList(QDir::Files | QDir::Hidden);
        left.removeAll(QStringLiteral("filler"));
        left.removeAll(AppFolders::kLayoutArchiveFileName);
        // No half-written archive is left beside it (a database journal may be).
        for (const QString& name : left)
            EXPECT_FALSE(name.startsWith(AppFolders::kLayoutArchiveFileName)) << name.toStdString();
    }
    SaveFailureAlerts::reset();
    // With room again the layouts save as before.
    launch();
    quit();
    EXPECT_FALSE(fileBytes(archive).isEmpty());
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
    defaults.setString(QStringLiteral("scrambled"), SettingsKeys::Password.name);
    m_goTos.clear();
    // "No" to the layout reset keeps the archive; "Yes" to the settings reset clears the defaults.
    s_alerts->queueAnswer(AlertFirstButtonReturn);
    s_alerts->queueAnswer(AlertSecondButtonReturn);
    launch({true, true, false});
    ASSERT_EQ(s_alerts->shown().size(), 2);
    EXPECT_EQ(s_alerts->shown()[0].buttons, (QStringList {QStringLiteral("No"), QStringLiteral("Yes")}));
    EXPECT_TRUE(QFile::exists(QuillsteadAppController::appLayoutArchiveFile()));
    EXPECT_TRUE(m_goTos.isEmpty());
    EXPECT_FALSE(defaults.hasStoredValue(SettingsKeys::Password));
    quit();

    // The stored password of an older version moves to its current key.
    const QString scrambled = qs::cloud::scrambleText(QStringLiteral("older"), qs::cloud::ScramblePad::Default);
    defaults.setString(scrambled, SettingsKeys::Password.name);
    launch();
    EXPECT_EQ(defaults.value(SettingsKeys::Optionsbitfield), scrambled);
    EXPECT_FALSE(defaults.hasStoredValue(SettingsKeys::Password));
    quit();

    // A password left in clear in the settings file is dropped, not moved.
    defaults.set(SettingsKeys::Optionsbitfield, QString());
    defaults.setString(QStringLiteral("271828"), SettingsKeys::Password.name);
    launch();
    EXPECT_FALSE(defaults.hasStoredValue(SettingsKeys::Password));
    EXPECT_EQ(defaults.value(SettingsKeys::Optionsbitfield), QString());
    quit();
    defaults.setInteger(271828, SettingsKeys::Password.name);
    launch();
    EXPECT_FALSE(defaults.hasStoredValue(SettingsKeys::Password));
    EXPECT_EQ(defaults.value(SettingsKeys::Optionsbitfield), QString());
    quit();
}

TEST_F(Shell, CommandsByNameToggleSettingsAndPostTheirNotifications)
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
    const bool strongs = defaults.value(SettingsKeys::StrongsNumbers);
    QuillsteadWindowController* window = app.mainWindowController();
    ActionRegistry& actions = window->actions();
    EXPECT_TRUE(actions.trigger(CommandNames::ToggleStrongs));
    EXPECT_EQ(defaults.value(SettingsKeys::StrongsNumbers), !strongs);
    actions.updateStates();
    EXPECT_EQ(actions.action(CommandNames::ToggleStrongs)->isChecked(), !strongs) << "the check mark follows";
    defaults.set(SettingsKeys::FootnoteStyle, QStringLiteral("Collapse"));
    for (int i = 0; i < 3; ++i)
        actions.trigger(CommandNames::CycleFootnoteMarker);
    EXPECT_EQ(defaults.value(SettingsKeys::FootnoteStyle), QStringLiteral("Collapse"));
    actions.updateStates();
    EXPECT_EQ(actions.action(CommandNames::CycleFootnoteMarker)->text(), QStringLiteral("Footnote Markers: Collapse"));
    // At the window's first size the study pane has given up what it can and the first layout's
    // book panes are too narrow to halve; a wide window leaves room to split.
    window->window()->resize(1600, 1000);
    ASSERT_TRUE(TestSupport::waitFor([&] {
        actions.updateStates();
        return actions.action(CommandNames::SplitPaneVertically)->isEnabled();
    }));
    EXPECT_TRUE(actions.trigger(CommandNames::SplitPaneVertically));
    actions.trigger(CommandNames::CloseBook);
    ASSERT_GE(toasts.size(), 4);
    EXPECT_EQ(toasts.mid(1, 3),
        (QStringList {QStringLiteral("Footnote markers now set to 'Expand'"),
            QStringLiteral("Footnote markers now set to 'Hide'"),
            QStringLiteral("Footnote markers now set to 'Collapse'")}));
    EXPECT_TRUE(posted.contains(QStringLiteral("UserWantsToSplitActivePaneNotification1")));
    EXPECT_TRUE(posted.contains(PaneNotifications::UserWantsToCloseActiveBookNotification));
    EXPECT_EQ(posted.count(PaneNotifications::DisplayPreferencesChangedNotification), 4);

    // With one layout, Delete Layout is disabled and does nothing.
    EXPECT_FALSE(actions.trigger(CommandNames::DeleteLayout));
    EXPECT_FALSE(actions.action(CommandNames::DeleteLayout)->isEnabled());
    // Nor does it when run regardless of its state.
    actions.action(CommandNames::DeleteLayout)->setEnabled(true);
    actions.action(CommandNames::DeleteLayout)->trigger();
    EXPECT_EQ(reader_test::programEnvironment().layoutManager().count(), 1u);
    // Every enabled item reaches its action without failing.
    for (const CommandId& id :
        {CommandNames::CloseBook, CommandNames::NewPane, CommandNames::ClosePane, CommandNames::ToggleStrongs,
            CommandNames::CycleFootnoteMarker, CommandNames::NextBookPane, CommandNames::PreviousBookPane,
            CommandNames::ToggleBibleSync, CommandNames::ToggleLinkPreview, CommandNames::TodaysReading,
            CommandNames::QuillsteadHelp, CommandNames::SplitPaneHorizontally, CommandNames::SplitPaneVertically})
        actions.trigger(id);
    NotificationCenter::defaultCenter().removeObserver(&posted);

    // Display Settings and Colors open the settings window on their panes; closing drops it.
    actions.updateStates();
    for (const CommandId& id : {CommandNames::DisplaySettings, CommandNames::ColorSettings})
        EXPECT_TRUE(actions.action(id)->isEnabled()) << id.name;
    EXPECT_TRUE(actions.trigger(CommandNames::DisplaySettings));
    MASPreferencesWindowController* settings = app.preferencesWindowController();
    EXPECT_TRUE(settings->isVisible());
    EXPECT_EQ(settings->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(settings_test::shownPage(settings)->identifier(), QStringLiteral("DisplayPreferences"));
    EXPECT_TRUE(actions.trigger(CommandNames::ColorSettings));
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
    LayoutManager& layouts = reader_test::programEnvironment().layoutManager();
    app.newLayoutFromDescriptor(QStringLiteral("V11"));
    app.newLayoutFromDescriptor(QStringLiteral("1"));
    layouts.layoutAtIndex(2)->setName(QStringLiteral("Maximized Pane"));
    NotificationCenter::defaultCenter().postNotificationName(
        PaneNotifications::qsLayoutManagerLayoutNameChangedNotification);
    ASSERT_EQ(window->tabBar()->count(), 3);
    EXPECT_EQ(window->tabBar()->tabText(2), QStringLiteral("Maximized Pane"));

    window->selectLayoutWithName(QStringLiteral("maximized pane"));
    EXPECT_EQ(layouts.currentLayout(), layouts.layoutAtIndex(2));

    // A name with an ampersand is shown as typed: the tab makes no mnemonic of it.
    layouts.layoutAtIndex(1)->setName(QStringLiteral("Gospels & Notes"));
    NotificationCenter::defaultCenter().postNotificationName(
        PaneNotifications::qsLayoutManagerLayoutNameChangedNotification);
    EXPECT_TRUE(QKeySequence::mnemonic(window->tabBar()->tabText(1)).isEmpty());
    EXPECT_EQ(TestSupport::menuText(window->tabBar()->tabText(1)), QStringLiteral("Gospels & Notes"));
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
    ASSERT_FALSE(s_alerts->shown().isEmpty());
    EXPECT_EQ(s_alerts->shown().last().effectiveDefaultButton(), 1);  // Return keeps the layout
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
    NotificationCenter::defaultCenter().addObserver(&opened, PaneNotifications::UserWantsToOpenThisBookNotification,
        [&opened](Notification& n) { opened.append(n.userInfo.value(QStringLiteral("bookid")).toString()); });
    ASSERT_TRUE(app.listenForOtherInstances());

    QTemporaryDir outside;
    const QString file = outside.filePath(QStringLiteral("Scofield.tvk"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QS_BINARY_DIR "/library/Scofield.tvk"), file));
    // The hand-over blocks until the reader answers, so the reader's side runs on its own thread's
    // event loop here: a second QApplication cannot exist, so the client runs in a thread instead.
    std::atomic<bool> handed = false;
    std::atomic<bool> done = false;
    // A later start of the reader on this profile, as main() hands over.
    const QString socket = ReaderInstance::forThisProfile().socketName();
    std::thread client([&] {
        handed = ReaderInstance::handOver(socket, file, 5000);
        done = true;
    });
    EXPECT_TRUE(TestSupport::waitFor([&done] { return done.load(); })) << "the running reader did not answer";
    client.join();
    EXPECT_TRUE(handed);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(SourceManager::singleton().allSources()->tupleForFile(book(QStringLiteral("Scofield.tvk"))));
    NotificationCenter::defaultCenter().removeObserver(&opened);
    quit();
}

// Second starts hand over a file that is no book and an older revision of an installed book while
// the reader's alerts are up; the user presses Return on each alert in turn. The reader lives on and
// still answers.
TEST_F(Shell, HandOversEndingInAlertsLeaveTheReaderAnswering)
{
    // Message boxes as the user meets them, each running a loop of its own.
    WidgetAlerts boxes;
    WindowEnvironment env = reader_test::programEnvironment();
    env.setAlert(&boxes);
    QuillsteadAppController& app = launch({}, env);
    app.mainWindowController()->window()->show();
    ASSERT_TRUE(app.listenForOtherInstances());

    QTemporaryDir elsewhere;
    const QString notes = elsewhere.filePath(QStringLiteral("passwd"));
    {
        QFile f(notes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("root:x:0:0:root:/root:/bin/bash\n");
    }
    const auto smallBook = [&](uint8_t revision) {
        const QString path = elsewhere.filePath(QStringLiteral("r%1/Small.tvk").arg(revision));
        cTvkBookBuilder b;
        b.info.bookName = b.info.abbreviatedTitle = "Small Book";
        b.info.publisherId = 9101;
        b.info.bookId = 8;
        b.info.edition = 1;
        b.info.revision = revision;
        b.addSection({"Part 1", 1, "The text.", 0});
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(b.writeFile(path.toStdString()));
        return path;
    };
    app.loadAndOpenBook(smallBook(3));
    const QString older = smallBook(2);

    // Later starts of the program itself, on this profile.
    const auto secondStart = [](const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(QS_BINARY_DIR "/app/quillstead"), arguments);
        return process;
    };
    const auto handedOver = [](const std::unique_ptr<QProcess>& p) {
        return p && p->state() == QProcess::NotRunning && p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
    };
    std::unique_ptr<QProcess> first = secondStart({notes});
    std::unique_ptr<QProcess> second;
    QStringList seen;
    QPointer<QMessageBox> firstBox;
    int step = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        if (step == 0 && handedOver(first)) {
            seen << box->text() + QLatin1Char(' ') + box->informativeText();
            firstBox = box;
            second = secondStart({older});  // while the first alert is up
            step = 1;
        } else if (step == 1 && handedOver(second)) {
            QTest::keyClick(box, Qt::Key_Return);
            step = 2;
        } else if (step == 2 && box != firstBox) {
            seen << box->text() + QLatin1Char(' ') + box->informativeText();
            QTest::keyClick(box, Qt::Key_Return);
            step = 3;
        }
    });
    user.start(20);
    ASSERT_TRUE(TestSupport::waitFor([&] { return step == 3 && QApplication::activeModalWidget() == nullptr; }, 60000))
        << "step " << step;
    user.stop();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(
        seen[0], QStringLiteral("The book file \"passwd\" could not be opened. %1 is not a book file.").arg(notes));
    EXPECT_TRUE(seen[1].startsWith(QStringLiteral("A newer copy of \"Small Book\" is already installed.")))
        << seen[1].toStdString();

    // Still there, and still answering: a plain start hands over and ends.
    std::unique_ptr<QProcess> third = secondStart({});
    EXPECT_TRUE(TestSupport::waitFor([&] { return handedOver(third); }, 30000));
    SourceManager::singleton().removeSourceForPubID(9101, 8);
    quit();
}

// The layout archive follows the screen while the reader runs: a reader that ends without quitting
// comes back to the screen it had.
TEST_F(Shell, TheLayoutArchiveFollowsTheScreenWithoutAQuit)
{
    QuillsteadAppController& app = launch();
    QuillsteadWindowController* window = app.mainWindowController();
    window->window()->show();
    LayoutManager& layouts = reader_test::programEnvironment().layoutManager();
    const auto archivedPanes = [] {
        NotificationCenter center;
        LayoutManager read(center);
        if (!read.readArchive(QuillsteadAppController::appLayoutArchiveFile()) || read.currentLayout() == nullptr)
            return -1;
        return int(read.currentLayout()->contents().size());
    };
    ASSERT_NE(layouts.currentLayout(), nullptr);
    const int panes = int(layouts.currentLayout()->contents().size());
    EXPECT_TRUE(TestSupport::waitFor([&] { return archivedPanes() == panes; }, 10000));
    ASSERT_TRUE(window->actions().trigger(CommandNames::SplitPaneHorizontally));
    ASSERT_EQ(int(layouts.currentLayout()->contents().size()), panes + 1);
    EXPECT_TRUE(TestSupport::waitFor([&] { return archivedPanes() == panes + 1; }, 10000));

    // A change and its undoing, each written before the main thread hears of the write before it
    // (its event loop held): the file ends with what the screen shows.
    const auto archivedName = [] {
        NotificationCenter center;
        LayoutManager read(center);
        return read.readArchive(QuillsteadAppController::appLayoutArchiveFile()) && read.currentLayout() != nullptr
            ? read.currentLayout()->name()
            : QString();
    };
    const auto waitHoldingEvents = [](const std::function<bool()>& condition) {
        for (QDeadlineTimer deadline(10000); !condition();) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(5);
        }
        return true;
    };
    const QString name = layouts.currentLayout()->name();
    const QString renamed = name + QStringLiteral(" (renamed)");
    ASSERT_TRUE(app.archiveLayoutsIfChanged());
    FileWriteQueue::shared().finish();
    ASSERT_EQ(archivedName().toStdString(), name.toStdString());
    layouts.currentLayout()->setName(renamed);
    ASSERT_TRUE(app.archiveLayoutsIfChanged());
    ASSERT_TRUE(waitHoldingEvents([&] { return archivedName() == renamed; }));
    layouts.currentLayout()->setName(name);
    ASSERT_TRUE(app.archiveLayoutsIfChanged());
    FileWriteQueue::shared().finish();
    EXPECT_EQ(archivedName().toStdString(), name.toStdString())
        << "the layout file keeps a layout the screen no longer shows";
    // Unchanged, nothing is written; a file removed meanwhile is written again.
    const QDateTime written = QFileInfo(QuillsteadAppController::appLayoutArchiveFile()).lastModified();
    const QByteArray bytes = fileBytes(QuillsteadAppController::appLayoutArchiveFile());
    ASSERT_TRUE(app.archiveLayoutsIfChanged());
    FileWriteQueue::shared().finish();
    EXPECT_EQ(QFileInfo(QuillsteadAppController::appLayoutArchiveFile()).lastModified(), written);
    ASSERT_TRUE(QFile::remove(QuillsteadAppController::appLayoutArchiveFile()));
    ASSERT_TRUE(app.archiveLayoutsIfChanged());
    FileWriteQueue::shared().finish();
    EXPECT_TRUE(fileBytes(QuillsteadAppController::appLayoutArchiveFile()) == bytes);
    quit();
}

// What the profile holds, file by file (the web engine's own storage aside): a second reader on the
// profile would change it.
QMap<QString, QByteArray> profileFiles()
{
    QMap<QString, QByteArray> files;
    for (const QString& root :
        {AppFolders::privateDataDirectory(), QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)}) {
        QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.contains(QLatin1String("QtWebEngine")))
                continue;
            QFile file(path);
            const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
            files.insert(path,
                QCryptographicHash::hash(bytes, QCryptographicHash::Sha256) +
                    QByteArray::number(QFileInfo(path).lastModified().toMSecsSinceEpoch()));
        }
    }
    return files;
}

TEST_F(Shell, ASecondPlainStartRaisesTheRunningReaderAndEndsWithoutTouchingTheProfile)
{
    QuillsteadAppController& app = launch();
    QMainWindow* main = app.mainWindowController()->window();
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    // The reader is minimised and another window is in front.
    QWidget other;
    other.setWindowTitle(QStringLiteral("another window"));
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    main->showMinimized();
    ASSERT_TRUE(TestSupport::waitFor([main] { return main->isMinimized() && !main->isActiveWindow(); }));
    ASSERT_TRUE(TestSupport::waitForQueuedWork());
    // The running reader's own screen is on disk (it writes it a moment after a change).
    ASSERT_TRUE(app.archiveLayouts());
    const QMap<QString, QByteArray> before = profileFiles();
    ASSERT_FALSE(before.isEmpty());

    // The program started again, plainly, on the same profile (the same home and folders).
    QProcess second;
    second.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QStringLiteral(QS_BINARY_DIR "/app/quillstead"), {});
    ASSERT_TRUE(second.waitForStarted());
    const bool ended = TestSupport::waitFor([&] { return second.state() == QProcess::NotRunning; }, 60000);
    if (!ended) {
        second.kill();
        second.waitForFinished();
    }
    EXPECT_TRUE(ended) << "the second start kept running: " << second.readAll().toStdString();
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAll().toStdString();

    // The running reader came to the front, and the profile is as it was.
    EXPECT_TRUE(TestSupport::waitFor([main] { return !main->isMinimized() && main->isActiveWindow(); }))
        << "state " << int(main->windowState()) << " active " << main->isActiveWindow();
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(QApplication::activeWindow(), main);
    EXPECT_EQ(profileFiles(), before);
    quit();
}

TEST_F(Shell, NewSpecialOffersAreAnnouncedUntilTheUserTurnsThatOff)
{
    QuillsteadAppController& app = launch();
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.set(SettingsKeys::MyOffersNotifications, true);
    defaults.set(SettingsKeys::MyOffersIgnored, 2);
    const auto announce = [] {
        NotificationCenter::defaultCenter().postNotificationName(StoreNotifications::MyOffersManagerHasNewOffers);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    };

    // "Not Now" counts the offers ignored.
    s_alerts->queueAnswer(AlertSecondButtonReturn);
    announce();
    ASSERT_EQ(s_alerts->shown().size(), 1);
    const Alert alert = s_alerts->shown().first();
    EXPECT_EQ(alert.messageText, QStringLiteral("You have new special discount offers in the Quillstead Bookstore!"));
    EXPECT_EQ(alert.buttons,
        (QStringList {QStringLiteral("My Special Offers"), QStringLiteral("Not Now"),
            QStringLiteral("Disable These Notifications")}));
    EXPECT_EQ(defaults.value(SettingsKeys::MyOffersIgnored), 3);
    // "My Special Offers" starts the count again (signed out, the store itself does not open: the
    // reader says an account is needed).
    s_alerts->queueAnswer(AlertFirstButtonReturn);
    announce();
    ASSERT_EQ(s_alerts->shown().size(), 3);
    EXPECT_EQ(s_alerts->shown()[2].messageText,
        QStringLiteral("You must be signed in to your Tavrosen account to use your special offers."));
    EXPECT_EQ(defaults.value(SettingsKeys::MyOffersIgnored), 0);
    // The third button turns the announcements off: the next offers pass without an alert.
    s_alerts->queueAnswer(AlertThirdButtonReturn);
    announce();
    EXPECT_FALSE(defaults.value(SettingsKeys::MyOffersNotifications));
    announce();
    EXPECT_EQ(s_alerts->shown().size(), 4);

    // Signed out, My Special Offers is hidden and disabled.
    defaults.set(SettingsKeys::CredentialsValid, false);
    QuillsteadWindowController* window = app.mainWindowController();
    QMenu* file = window->window()->menuBar()->findChildren<QMenu*>().value(0);
    ASSERT_NE(file, nullptr);
    QAction* offers = window->actions().action(CommandNames::MyOffers);
    ASSERT_TRUE(file->actions().contains(offers));
    offers->setVisible(true);
    emit file->aboutToShow();
    EXPECT_FALSE(offers->isEnabled());
    EXPECT_FALSE(offers->isVisible());
    defaults.set(SettingsKeys::MyOffersNotifications, true);
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

namespace {

using TestSupport::waitFor;

// Closes every modal window that opens while it lives, and remembers each one's class and title.
class ModalCloser {
public:
    ModalCloser()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr)
                return;
            seen.append(
                QString::fromLatin1(modal->metaObject()->className()) + QLatin1Char(':') + modal->windowTitle());
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        });
        m_timer.start(20);
    }
    QStringList seen;

private:
    QTimer m_timer;
};

// A command looked up under a name nobody registered, or registered twice.
QString g_unknownCommand;
void catchUnknownCommands(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg && message.contains(QLatin1String("registered")))
        g_unknownCommand = message;
}

}  // namespace

TEST_F(Shell, ADamagedSettingsFileIsKeptAsideAndTheReaderStartsWithDefaults)
{
    const QString file = UserDefaults::defaultFilePath();
    QDir().mkpath(QFileInfo(file).absolutePath());
    static const char raw[] = "\x00\x01\x02[General\nbaseFontSize=99\xff\xfe[[[";
    const QByteArray damaged(raw, sizeof(raw) - 1);
    {
        QFile settings(file);
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
        settings.write(damaged);
    }
    // The reader opens its settings once, at start, and its services keep them until it quits: the
    // start is one with settings opened afresh from the damaged file, handed to the reader as its
    // own (the program's shared settings stay, as the services of this test program hold them).
    UserDefaults defaults(file);
    WindowEnvironment env = reader_test::programEnvironment();
    env.setSettings(&defaults);
    QuillsteadAppController& app = launch({}, env);
    EXPECT_EQ(defaults.value(SettingsKeys::AutoSyncFreq), 3600000);
    EXPECT_NE(defaults.value(SettingsKeys::BaseFontSize), 99);
    EXPECT_GT(defaults.value(SettingsKeys::BaseFontSize), 0);
    EXPECT_EQ(reader_test::programEnvironment().layoutManager().count(), 1u);
    EXPECT_EQ(app.mainWindowController()->tabBar()->count(), 1);
    QFile aside(file + QStringLiteral(".damaged"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), damaged);
    quit();
    // What the reader saves on quit reaches the new file.
    UserDefaults reread(file);
    EXPECT_GT(reread.value(SettingsKeys::MainWindowWidth), 0.0);
}

TEST_F(Shell, EveryTaggedCommandReachesItsAction)
{
    const QtMessageHandler previous = qInstallMessageHandler(catchUnknownCommands);
    QuillsteadAppController& app = launch();
    QuillsteadWindowController* window = app.mainWindowController();
    LayoutViewController* panes = window->layoutViewController();
    ASSERT_TRUE(waitFor([panes] { return panes->activeSourceTuple() != nullptr; })) << "the first books open";

    // Every command is registered once under its name with its tag, and every tag belongs to one
    // command; the menus and the toolbar hold only registered commands.
    ActionRegistry& actions = window->actions();
    QList<int> tags;
    for (QAction* action : actions.actions()) {
        const int tag = action->data().toInt();
        EXPECT_EQ(actions.action(action->objectName()), action);
        if (tag == 0)
            continue;
        EXPECT_FALSE(tags.contains(tag)) << tag;
        // The groups of the format menu send nothing (their submenus do).
        if (action->menu() == nullptr)
            tags.append(tag);
    }
    for (QAction* item : window->toolbar()->actions())
        EXPECT_TRUE(item->isSeparator() || item->objectName() == QLatin1String("flexibleSpace") ||
            actions.actions().contains(item))
            << item->objectName().toStdString();
    for (const QString& identifier : actions.toolbarPalette())
        EXPECT_TRUE(actions.contains(identifier)) << identifier.toStdString();
    std::function<void(QMenu*)> checkMenu = [&](QMenu* menu) {
        for (QAction* item : menu->actions()) {
            EXPECT_TRUE(item->isSeparator() || actions.actions().contains(item)) << item->text().toStdString();
            if (item->menu() != nullptr)
                checkMenu(item->menu());
        }
    };
    for (QAction* top : window->window()->menuBar()->actions())
        checkMenu(top->menu());
    // The menus keep their titles and order.
    auto titles = [](QMenu* menu) {
        QStringList out;
        for (QAction* item : menu->actions())
            out << (item->isSeparator() ? QStringLiteral("-") : item->text());
        return out;
    };
    const QList<QAction*> menus = window->window()->menuBar()->actions();
    ASSERT_EQ(menus.size(), 7);
    EXPECT_EQ(titles(menus[0]->menu()),
        (QStringList {"Open Book...", "Close Book", "About This Book", "-", "Cloud Library...", "My Special Offers...",
            "Sync Now", "-", "Settings...", "Quit"}));
    EXPECT_EQ(titles(menus[3]->menu()),
        (QStringList {"Split Pane Horizontally", "Split Pane Vertically", "Close Pane", "-", "Next Book Pane",
            "Previous Book Pane", "Next Book", "Previous Book", "-", "Scroll Up One Line", "Scroll Down One Line",
            "Scroll Up One Page", "Scroll Down One Page", "-", "Bible / Commentary Sync", "Sync to Active Bible", "-",
            "New Layout...", "Rename Layout...", "Delete Layout"}));
    // Every menu's commands by name, in order, submenus in brackets.
    std::function<QString(QMenu*)> names = [&names](QMenu* menu) {
        QStringList out;
        for (QAction* item : menu->actions())
            out << (item->isSeparator() ? QStringLiteral("-")
                                        : item->objectName() +
                        (item->menu() != nullptr ? QStringLiteral("[") + names(item->menu()) + QStringLiteral("]")
                                                 : QString()));
        return out.join(QLatin1Char(' '));
    };
    const QStringList expectedMenus {
        QStringLiteral("OpenBook CloseBook AboutThisBook - CloudLibrary MyOffers Cloud Sync - Settings Quit"),
        QStringLiteral(
            "Copy - CopyPassage CopyPassageNow - FormatMenu[FontMenu[Bold Italic Underline] "
            "ListsMenu[OrderedList UnorderedList] ParagraphStyleMenu[Paragraph Heading1 Heading2 Heading3]]"),
        QStringLiteral("StudyPanel ShowLayoutTabs - ToggleStrongs CycleFootnoteMarker ToggleLinkPreview - "
                       "DisplaySettings ColorSettings"),
        QStringLiteral("SplitPaneHorizontally SplitPaneVertically ClosePane - NextBookPane PreviousBookPane NextBook "
                       "PreviousBook - ScrollLineUp ScrollLineDown ScrollPageUp ScrollPageDown - ToggleBibleSync "
                       "SyncToActiveBible - NewLayout RenameLayout DeleteLayout"),
        QStringLiteral("Back Forward - GoTo TodaysReading ReadingComplete"),
        QStringLiteral("Find FindInNotes Notes Bookmarks Highlights Journal LibrarySearch LibraryNavigator - "
                       "AutostudyVerse AutostudyWord AutostudyToday - StartSpeaking StopSpeaking"),
        QStringLiteral("QuillsteadHelp checkForUpdates AboutQuillstead")};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(names(menus[i]->menu()), expectedMenus[i]) << i;
    EXPECT_EQ(menus[2]->menu()->title(), QStringLiteral("&View"));
    // The toolbar's palette, in its order.
    EXPECT_EQ(actions.toolbarPalette().join(QLatin1Char(',')),
        QStringLiteral("StudyPanel,OpenBook,CloseBook,AboutThisBook,NewPane,ClosePane,ToggleBibleSync,"
                       "SyncToActiveBible,Find,GoTo,Notes,FindInNotes,Bookmarks,Highlights,TodaysReading,"
                       "ReadingComplete,ToggleStrongs,CycleFootnoteMarker,Back,Forward,Cloud Sync,AutostudyVerse,"
                       "AutostudyWord,AutostudyToday,Journal,LibrarySearch,LibraryNavigator,StartSpeaking,"
                       "StopSpeaking,ToggleLinkPreview,QuillsteadHelp"));
    QMenu* format = menus[1]->menu()->actions().last()->menu();
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(menus[1]->menu()->actions().last()->data().toInt(), 211);
    EXPECT_EQ(titles(format), (QStringList {"Font", "Lists", "Paragraph Style"}));
    EXPECT_EQ(titles(format->actions()[2]->menu()), (QStringList {"Paragraph", "Heading 1", "Heading 2", "Heading 3"}));
    EXPECT_EQ(menus[6]->menu()->actions()[1]->objectName(), QStringLiteral("checkForUpdates"));
    QAction* gotoButton = actions.action(CommandNames::GoTo);
    EXPECT_TRUE(window->toolbar()->actions().contains(gotoButton));
    EXPECT_EQ(gotoButton->iconText(), QStringLiteral("Go To")) << "the toolbar's label";
    EXPECT_EQ(gotoButton->text(), QStringLiteral("Go To..."));
    // The commands that close things run last, so the others find the first screen.
    for (int last : {413, 414, 103, 105})
        if (tags.removeOne(last))
            tags.append(last);
    ASSERT_GT(tags.size(), 40);
    auto commandWithTag = [&actions](int tag) {
        for (QAction* action : actions.actions())
            if (action->data().toInt() == tag)
                return action;
        return static_cast<QAction*>(nullptr);
    };

    QStringList posted;
    QList<GoToRequest> goTos;
    for (const char* name : {"UserWantsToCloseActiveBookNotification", "UserWantsToSplitActivePaneNotification",
             "UserWantsToCloseActivePaneNotification", "UserWantsToStartSpeakingNotification",
             "EverybodySyncToMeNotification", "UserWantsToMaximizeCurrentPaneNotification",
             "UserWantsToMaximizeCurrentBookNotification"})
        NotificationCenter::defaultCenter().addObserver(
            &posted, QString::fromLatin1(name), [&posted](Notification& n) { posted.append(n.name); });
    NotificationCenter::defaultCenter().addObserver(&goTos, LibraryNotifications::GoToNotification,
        [&goTos](Notification& n) { goTos.append(GoToRequest::of(n)); });
    QStringList toasts;
    QObject::connect(&app, &QuillsteadAppController::toastShown, [&toasts](const QString& t) { toasts.append(t); });

    // Enabled by the state of the panes, the history, speech or the note editor (the format commands).
    // 115: My Special Offers, only while signed in with offers stored.
    // 225: Start Speaking, only with a book in the current pane.
    QSet<int> stateDependent {108, 113, 115, 223, 225, 226, 416, 505, 506, 701, 1001, 1002};
    for (int format = 210; format <= 222; ++format)
        stateDependent.insert(format);
    ModalCloser closer;
    int reached = 0;
    for (int tag : tags) {
        actions.updateStates();
        QAction* action = commandWithTag(tag);
        if (!action->isEnabled()) {
            EXPECT_TRUE(stateDependent.contains(tag)) << tag << " is disabled without a reason";
            continue;
        }
        // Speaking for real drives the system's speech engine, whose synthesis thread outlives a
        // test program that ends mid-sentence; the speech commands have tests of their own.
        if (tag == 225)
            continue;
        posted.clear();
        goTos.clear();
        toasts.clear();
        closer.seen.clear();
        s_alerts->clear();
        g_unknownCommand.clear();
        if (tag == 501 || tag == 611)
            window->setShowStudyPane(true);
        const bool studyWasVisible = window->isStudyPaneVisible();
        const LayoutRegion* region = reader_test::programEnvironment().layoutManager().currentLayout()->currentRegion();
        action->trigger();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_TRUE(g_unknownCommand.isEmpty()) << tag << ": " << g_unknownCommand.toStdString();
        ++reached;

        const QString modal = closer.seen.join(QLatin1Char('|'));
        switch (tag) {
        case 103:
            EXPECT_TRUE(posted.contains(PaneNotifications::UserWantsToCloseActiveBookNotification));
            break;
        case 104:
        case 1001:
        case 1002:
            EXPECT_TRUE(posted.contains(PaneNotifications::UserWantsToSplitActivePaneNotification)) << tag;
            break;
        case 105:
            EXPECT_TRUE(posted.contains(PaneNotifications::UserWantsToCloseActivePaneNotification));
            break;
        case 106:
            EXPECT_TRUE(modal.contains(QStringLiteral("New Layout"))) << modal.toStdString();
            break;
        case 107:
            EXPECT_TRUE(modal.contains(QStringLiteral("ModalTextFieldWindowController"))) << modal.toStdString();
            break;
        case 113:
            EXPECT_TRUE(modal.contains(QStringLiteral("AboutThisBookWindowController"))) << modal.toStdString();
            break;
        case 209:
            // The dialog opens once the page has told the passage selected now.
            EXPECT_TRUE(TestSupport::waitFor([&] {
                return closer.seen.join(QLatin1Char('|')).contains(QStringLiteral("CopyPassageWindowController"));
            })) << closer.seen.join(QLatin1Char('|')).toStdString();
            break;
        case 403:
            EXPECT_FALSE(window->isTabBarVisible()) << "the layout tabs hide";
            window->setTabBarVisible(true);
            break;
        case 404:
            EXPECT_NE(window->isStudyPaneVisible(), studyWasVisible);
            break;
        case 405:
        case 406:
            EXPECT_TRUE(app.isPreferencesPaneVisible(tag - 404)) << tag;
            app.preferencesWindowController()->close();
            QCoreApplication::processEvents();
            break;
        case 407:
        case 408:
        case 415:
        case 417:
            EXPECT_EQ(toasts.size(), 1) << tag;
            break;
        case 409:
        case 410:
            EXPECT_NE(reader_test::programEnvironment().layoutManager().currentLayout()->currentRegion(), region)
                << tag;
            break;
        case 416:
            EXPECT_TRUE(posted.contains(LibraryNotifications::EverybodySyncToMeNotification));
            break;
        case 413:
            EXPECT_TRUE(posted.contains(PaneNotifications::UserWantsToMaximizeCurrentBookNotification));
            break;
        case 414:
            EXPECT_TRUE(posted.contains(PaneNotifications::UserWantsToMaximizeCurrentPaneNotification));
            break;
        case 501:
        case 611: {
            auto* study = dynamic_cast<StudyPaneViewController*>(panes->view()->studyPane());
            ASSERT_NE(study, nullptr);
            EXPECT_EQ(study->paneView()->selectedTab(), tag == 501 ? 1 : 9);  // the Find tab, the Navigator tab
            break;
        }
        case 602:
            ASSERT_EQ(s_alerts->shown().size(), 1);
            EXPECT_TRUE(s_alerts->shown()[0].messageText.startsWith(QStringLiteral("You must be logged into")));
            EXPECT_TRUE(app.isPreferencesPaneVisible(3));
            app.preferencesWindowController()->close();
            QCoreApplication::processEvents();
            break;
        case 702:
            ASSERT_FALSE(goTos.isEmpty());
            EXPECT_TRUE(goTos.first().todaysReading);
            break;
        case 901:
            ASSERT_FALSE(goTos.isEmpty());
            ASSERT_TRUE(goTos.first().sourceTuple);
            EXPECT_EQ(goTos.first().sourceTuple->record().bookID, 24);
            EXPECT_EQ(goTos.first().sourceTuple->record().name, QStringLiteral("Quillstead Help"));
            break;
        default:
            break;
        }
    }
    qInstallMessageHandler(previous);
    EXPECT_GT(reached, 25);
    NotificationCenter::defaultCenter().removeObserver(&posted);
    NotificationCenter::defaultCenter().removeObserver(&goTos);
    quit();
}

TEST_F(Shell, AboutThisBookShowsTheDescriptionInTheBodyFontAndCopiesTheCitation)
{
    QuillsteadAppController& app = launch();
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.set(SettingsKeys::BaseFontSize, 12);
    defaults.set(SettingsKeys::BodyFont, QStringLiteral("Arial"));
    const SourceTuple::Ptr kjv = SourceManager::singleton().allSources()->tupleForPubID(1, 101);
    ASSERT_TRUE(kjv);
    const QString citation = kjv->bibliographicCitation();
    ASSERT_FALSE(citation.isEmpty());
    {
        AboutThisBookWindowController about(
            kjv, UserDefaults::standardUserDefaults(), app.mainWindowController()->window());
        EXPECT_EQ(AboutThisBookWindowController::pageHtml(*kjv, UserDefaults::standardUserDefaults()),
            QStringLiteral("<html><body style='margin:3px; font:normal 12pt Arial;'>") + kjv->aboutThisBookContents() +
                QStringLiteral("</body></html>"));
        about.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&about));
        QApplication::clipboard()->clear();
        auto* copy = about.findChild<QPushButton*>(QStringLiteral("copyBibliographyButton"));
        ASSERT_NE(copy, nullptr);
        QTest::mouseClick(copy, Qt::LeftButton);
        EXPECT_EQ(QApplication::clipboard()->text(), citation);

        auto* page = about.findChild<QTextBrowser*>(QStringLiteral("webView"));
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(page->toPlainText().contains(QStringLiteral("Book Identifier: 1:101:")));
        // The book's text is held by the document that loads no file it names.
        EXPECT_NE(dynamic_cast<ContentTextDocument*>(page->document()), nullptr);
        QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
        about.grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/about-this-book.png"));
    }
    // A font name cannot end the style attribute or its declaration.
    defaults.set(SettingsKeys::BodyFont, QStringLiteral("Arial'; background:red\" onload=\"x"));
    const QString page = AboutThisBookWindowController::pageHtml(*kjv, UserDefaults::standardUserDefaults());
    const qsizetype body = page.indexOf(QStringLiteral("<body"));
    const QString head = page.mid(body, page.indexOf(QLatin1Char('>'), body) - body + 1);
    EXPECT_EQ(head.count(QLatin1Char('\'')), 2) << head.toStdString();
    EXPECT_EQ(head.count(QLatin1Char(';')), 2) << head.toStdString();
    EXPECT_FALSE(head.contains(QLatin1Char('"')));

    // The command opens it for the book of the current pane, and only when there is one.
    LayoutViewController* panes = app.mainWindowController()->layoutViewController();
    ASSERT_TRUE(waitFor([panes] { return panes->activeSourceTuple() != nullptr; }));
    ModalCloser closer;
    EXPECT_TRUE(app.mainWindowController()->actions().trigger(CommandNames::AboutThisBook));
    EXPECT_EQ(closer.seen.size(), 1);
    EXPECT_TRUE(closer.seen.value(0).startsWith(QStringLiteral("AboutThisBookWindowController:About ")));
    quit();
}

TEST_F(Shell, SyncNowWithDataOfAnotherCustomerAsksFirstAndCancellingSyncsNothing)
{
    QuillsteadAppController& app = launch();
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.set(SettingsKeys::CredentialsValid, true);
    defaults.set(SettingsKeys::CustomerIDNum, 5);
    qs::cloud::SyncLocalData().setSyncedCustomerId(7);
    qs::cloud::SyncManager& engine = qs::cloud::SyncManager::instance();
    // The server is one that nobody listens on: a sync that started would report an error.
    engine.setServer(QStringLiteral("127.0.0.1"), 9);
    ModalCloser closer;
    EXPECT_TRUE(app.mainWindowController()->actions().trigger(CommandNames::SyncNow));
    EXPECT_EQ(closer.seen.size(), 1);
    EXPECT_TRUE(closer.seen.value(0).endsWith(QStringLiteral(":Cloud Sync")))
        << closer.seen.join(QLatin1Char('|')).toStdString();
    QCoreApplication::processEvents();
    EXPECT_EQ(engine.goal(), qs::cloud::SyncManager::Idle);
    EXPECT_FALSE(engine.hasConnection());
    quit();
}

TEST_F(Shell, SyncNowReachesTheServerShowsItsProgressAndAReceivedNoteIsFound)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    // Another device of the account puts a note on Matthew 5:3 on the server.
    {
        standin_test::SyncClient other(server.syncPort());
        ASSERT_TRUE(other.greeting());
        const auto login = other.login(QStringLiteral("demo@quillstead.test"), QStringLiteral("demo"), "device-b");
        ASSERT_TRUE(login.has_value());
        other.send("ADD", QStringLiteral("BIBLENOTES"),
            {QStringLiteral("1"), qs::cloud::formatSyncTime(qs::cloud::currentSyncTimeMs()), QStringLiteral("40"),
                QStringLiteral("5"), QStringLiteral("3"), QStringLiteral("<p>Blessed: the poor in spirit</p>")});
        const auto added = other.next();
        ASSERT_TRUE(added.has_value());
        EXPECT_EQ(added->verb(), QStringLiteral("ADDED"));
        ASSERT_EQ(added->noun(), QStringLiteral("SUCCESS")) << added->paramAtIndex(3).toStdString();
    }

    QuillsteadAppController& app = launch();
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.set(SettingsKeys::CustomerID, QStringLiteral("demo@quillstead.test"));
    defaults.set(SettingsKeys::CustomerIDNum, 10001);
    defaults.set(SettingsKeys::CredentialsValid, true);
    ASSERT_TRUE(qs::cloud::CustomerPassword::store(QStringLiteral("demo")));
    qs::cloud::SyncManager& engine = qs::cloud::SyncManager::instance();
    engine.setServer(QStringLiteral("127.0.0.1"), server.syncPort());

    // The notes of the King James Version are searched once before the sync: the empty result is kept.
    const SourceTuple::Ptr kjv = SourceManager::singleton().allSources()->tupleForPubID(1, 101);
    ASSERT_TRUE(kjv);
    const auto document = SourceTuple::allocateSourceForFile(kjv->record().filepath);
    ASSERT_TRUE(document);
    const quint32 section = kjv->locations().sectionForBibleKey((40u << 16) | (5u << 8) | 3u);
    auto notedSections = [&document] {
        cMultiBookSearchHits hits(u"", u"NOTE()");
        EXPECT_TRUE(hits.addBook(*document));
        const cSearchExpressionResult* result = hits.resultForBook(1, 101);
        return result != nullptr ? result->hitCount() : 0xFFFFFFFFu;
    };
    EXPECT_EQ(notedSections(), 0u);

    QToolBar* toolbar = app.mainWindowController()->toolbar();
    auto indexOf = [toolbar](const QString& identifier) {
        const QList<QAction*> items = toolbar->actions();
        for (qsizetype i = 0; i < items.size(); ++i)
            if (items[i]->objectName() == identifier)
                return i;
        return qsizetype(-1);
    };
    const qsizetype button = indexOf(QStringLiteral("Cloud Sync"));
    ASSERT_GE(button, 0);
    qsizetype progressAt = -1;
    QStringList posted;
    bool notesChanged = false;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(&posted, AppNotifications::qsSyncCommStartedNotification,
        [&posted](Notification& n) { posted.append(n.name); });
    center.addObserver(&posted, AppNotifications::qsSyncProgressPercentNotification, [&](Notification&) {
        if (progressAt < 0)
            progressAt = indexOf(QStringLiteral("progress"));
    });
    for (const char* name : {"qsSyncCommFinishedNotification", "qsSyncErrorOccurredNotification"})
        center.addObserver(&posted, QString::fromLatin1(name), [&posted](Notification& n) {
            posted.append(n.name + n.userInfo.value(QStringLiteral("message")).toString());
        });
    center.addObserver(&posted, PaneNotifications::qsNotesHaveChangedNotification,
        [&](Notification& n) { notesChanged = notesChanged || n.userInfo.value(QStringLiteral("changed")).toBool(); });

    ASSERT_TRUE(app.mainWindowController()->actions().trigger(CommandNames::SyncNow));
    EXPECT_TRUE(waitFor([&posted] { return posted.contains(AppNotifications::qsSyncCommFinishedNotification); }));
    EXPECT_TRUE(
        waitFor([&engine] { return engine.goal() == qs::cloud::SyncManager::Idle && !engine.hasConnection(); }));
    center.removeObserver(&posted);

    EXPECT_EQ(posted, (QStringList {"qsSyncCommStartedNotification", "qsSyncCommFinishedNotification"}));
    EXPECT_EQ(progressAt, button) << "the busy item stood where the button was";
    // (A quick sync's busy item stays a moment.)
    EXPECT_TRUE(waitFor([&] { return indexOf(QStringLiteral("Cloud Sync")) == button; }));
    EXPECT_EQ(toolbar->actions().value(button), app.mainWindowController()->actions().action(CommandNames::SyncNow))
        << "the button that comes back is the Sync Now command";
    EXPECT_EQ(indexOf(QStringLiteral("progress")), -1);
    EXPECT_TRUE(defaults.value(SettingsKeys::CredentialsValid));
    EXPECT_EQ(QuillsteadSyncDelegate::syncedToCustomerID(), 10001);
    EXPECT_TRUE(notesChanged);

    // The received note is found by the next search, not hidden behind the result kept before.
    EXPECT_EQ(notedSections(), 1u);
    cMultiBookSearchHits again(u"", u"NOTE()");
    ASSERT_TRUE(again.addBook(*document));
    ASSERT_NE(again.resultForBook(1, 101), nullptr);
    EXPECT_TRUE(again.resultForBook(1, 101)->containsSection(section));
    quit();
}

TEST_F(Shell, BookPanesReachTheStoresAndTheCopierThroughTheirHooks)
{
    launch();
    ASSERT_NE(reader_test::bookPaneHooks(), nullptr);
    BookPaneHooks& hooks = *reader_test::bookPaneHooks();
    ASSERT_NE(dynamic_cast<ApplicationBookPaneHooks*>(&hooks), nullptr);
    // Every book pane of the window was handed the same hooks when the window made it.
    std::shared_ptr<BookPaneHooks> kept;
    for (const auto& contents : reader_test::programEnvironment().layoutManager().currentLayout()->contents()) {
        if (auto* pane = dynamic_cast<BookPaneViewController*>(contents->viewController())) {
            EXPECT_EQ(&pane->hooks(), &hooks);
            kept = pane->environment().hooks;
        }
    }
    ASSERT_TRUE(kept);
    const SourceTuple::Ptr kjv = SourceManager::singleton().allSources()->tupleForPubID(1, 101);
    ASSERT_TRUE(kjv);
    const quint32 john316 = (43u << 16) | (3u << 8) | 16u;

    // Notes and bookmarks of a verse, from the stores; removing the note says so.
    EXPECT_FALSE(hooks.hasNote(kjv, john316, true));
    cBibleNote note;
    note.booknum = 43;
    note.chapter = 3;
    note.verse = 16;
    note.note.assignFromUTF8("<p>For God so loved</p>");
    ASSERT_TRUE(noteDocInstance()->saveBibleNote(note, false));
    EXPECT_TRUE(hooks.hasNote(kjv, john316, true));
    bool notesChanged = false;
    NotificationCenter::defaultCenter().addObserver(&notesChanged, PaneNotifications::qsNotesHaveChangedNotification,
        [&notesChanged](Notification&) { notesChanged = true; });
    hooks.deleteNote(kjv, john316, kjv->locations().sectionForBibleKey(john316), true);
    EXPECT_FALSE(hooks.hasNote(kjv, john316, true));
    EXPECT_TRUE(notesChanged);
    NotificationCenter::defaultCenter().removeObserver(&notesChanged);

    EXPECT_FALSE(hooks.hasBookmarks(kjv, john316, true));
    {
        cBookmarkMgr bookmarks;
        ASSERT_TRUE(bookmarks.openDatabase(nullptr, true, false));
        cBookmark mark;
        mark.setBibleVerse(john316, 0);
        ASSERT_TRUE(bookmarks.addBookmark(mark, false, false, false));
        bookmarks.close();
    }
    EXPECT_TRUE(hooks.hasBookmarks(kjv, john316, true));
    EXPECT_FALSE(hooks.hasBookmarks(kjv, john316 + 1, true));

    // Speech reads the verses through the passage copier.
    const quint32 section = kjv->locations().sectionForBibleKey(john316);
    const QString spoken = hooks.passagePlainText(kjv, true, section, section, BookPaneSpeech::speechTextOptions());
    EXPECT_TRUE(spoken.contains(QStringLiteral("For God so loved the world"))) << spoken.toStdString();
    EXPECT_FALSE(spoken.contains(QStringLiteral("G2316"))) << "no Strong's numbers are read aloud";
    EXPECT_TRUE(hooks.passagePlainText(kjv, true, section + 1, section, {}).isEmpty());

    // Image names that would leave the book's image folder are refused.
    for (const char* name : {"../escape.png", "/etc/passwd", "sub/dir.png", ".hidden", ""})
        EXPECT_TRUE(hooks.copyImageToCache(QString::fromLatin1(name), kjv).isEmpty()) << name;
    EXPECT_TRUE(hooks.copyImageToCache(QStringLiteral("not-in-the-book.png"), kjv).isEmpty());
    const QString html = QStringLiteral("<p><img src='qsbook://x/missing.png'> text</p>");
    EXPECT_EQ(hooks.patchImageSources(html, kjv), html);

    QFile::remove(QuillsteadAppController::appLayoutArchiveFile());
    hooks.preemptiveSaveState();
    EXPECT_TRUE(QFile::exists(QuillsteadAppController::appLayoutArchiveFile()));
    quit();
    // Hooks a pane kept past the application do nothing that needs it.
    QFile::remove(QuillsteadAppController::appLayoutArchiveFile());
    kept->preemptiveSaveState();
    kept->validateToolbar();
    EXPECT_FALSE(QFile::exists(QuillsteadAppController::appLayoutArchiveFile()));
}

TEST_F(Shell, ABookPanesContextMenuOffersTheWindowsPaneCommands)
{
    QuillsteadAppController& app = launch();
    QuillsteadWindowController* window = app.mainWindowController();
    LayoutViewController* panes = window->layoutViewController();
    ASSERT_TRUE(waitFor([panes] { return panes->activeSourceTuple() != nullptr; })) << "the first books open";
    auto* pane = dynamic_cast<BookPaneViewController*>(panes->currentBookPane());
    ASSERT_NE(pane, nullptr);
    ActionRegistry& actions = window->actions();

    // The pane's items are the window's own actions: the same texts and tags as the Panes menu.
    std::unique_ptr<QMenu> menu(pane->commands().contextMenu({}, {}, nullptr));
    ASSERT_TRUE(menu);
    const QList<QAction*> items = menu->actions();
    QAction* maximizeBook = actions.action(CommandNames::MaximizeBook);
    EXPECT_TRUE(items.contains(maximizeBook));
    EXPECT_TRUE(items.contains(actions.action(CommandNames::MaximizePane)));
    EXPECT_EQ(maximizeBook->text(), QStringLiteral("Maximize Book"));
    EXPECT_EQ(maximizeBook->data().toInt(), 413);
    EXPECT_EQ(
        items.contains(actions.action(CommandNames::SplitPaneHorizontally)), panes->canCurrentPaneSplitHorizontally());
    EXPECT_EQ(
        items.contains(actions.action(CommandNames::SplitPaneVertically)), panes->canCurrentPaneSplitVertically());
    EXPECT_TRUE(items.contains(actions.action(CommandNames::ClosePane))) << "the first screen has three book panes";

    // Location Sync... opens the options for this pane over the main window.
    ModalCloser closer;
    for (QAction* item : menu->actions())
        if (item->text() == QLatin1String("Location Sync..."))
            item->trigger();
    ASSERT_EQ(closer.seen.size(), 1);
    EXPECT_TRUE(closer.seen[0].startsWith(QStringLiteral("LocationSyncOptionsWindowController:")))
        << closer.seen[0].toStdString();

    // The window's commands run from the menu as from the Panes menu.
    QStringList posted;
    for (const char* name : {"UserWantsToSplitActivePaneNotification", "UserWantsToMaximizeCurrentBookNotification"})
        NotificationCenter::defaultCenter().addObserver(&posted, QString::fromLatin1(name), [&posted](Notification& n) {
            posted.append(n.name + n.userInfo.value(QStringLiteral("vertical")).toString());
        });
    if (items.contains(actions.action(CommandNames::SplitPaneVertically))) {
        actions.action(CommandNames::SplitPaneVertically)->trigger();
        EXPECT_TRUE(posted.contains(QStringLiteral("UserWantsToSplitActivePaneNotification1")));
    }
    maximizeBook->trigger();
    EXPECT_TRUE(posted.contains(PaneNotifications::UserWantsToMaximizeCurrentBookNotification));
    NotificationCenter::defaultCenter().removeObserver(&posted);

    // The "+" of the pane's tab bar runs the window's Open Book command.
    int opened = 0;
    QObject::connect(actions.action(CommandNames::OpenBook), &QAction::triggered, [&opened] { ++opened; });
    emit pane->tabBar()->addTabRequested();
    EXPECT_EQ(opened, 1);
    QCoreApplication::processEvents();
    quit();
}

#include "app/DatabaseErrorAlerts.h"
#include "engine/foundation/cMsgBox.h"
#include "studypane/notes/NoteStore.h"
#include "userdata/cSQLiteDbBase.h"

#include <QScreen>
#include <QTcpServer>

#include <limits>

#include <sys/stat.h>

// Opening a book file asks the library to install it; the installed file itself is opened where it
// is, and a file from elsewhere replaces the installed one only once it is a whole, readable book.
TEST_F(Shell, OpeningTheInstalledBookFileKeepsTheBook)
{
    QuillsteadAppController& app = launch();
    QStringList opened;
    NotificationCenter::defaultCenter().addObserver(&opened, PaneNotifications::UserWantsToOpenThisBookNotification,
        [&opened](Notification& n) { opened.append(n.userInfo.value(QStringLiteral("bookid")).toString()); });
    const QString installed = book(QStringLiteral("KJV.tvk"));
    const QByteArray original = fileBytes(installed);
    ASSERT_FALSE(original.isEmpty());
    const auto stillInstalled = [&](const char* step) {
        EXPECT_EQ(fileBytes(installed), original) << step;
        const SourceTuple::Ptr kjv = SourceManager::singleton().allSources()->tupleForFile(installed);
        ASSERT_TRUE(kjv) << step;
        EXPECT_EQ(kjv->record().bookID, 101) << step;
        EXPECT_TRUE(partialBookFiles().isEmpty()) << partialBookFiles().join(' ').toStdString();
    };

    // The installed file, by its own path, through "..", and through a link from elsewhere.
    app.loadAndOpenBook(installed);
    stillInstalled("its own path");
    const QString books = AppFolders::booksDirectory();
    app.loadAndOpenBook(books + QStringLiteral("/../") + QFileInfo(books).fileName() + QStringLiteral("/KJV.tvk"));
    stillInstalled("a path through ..");
    QTemporaryDir elsewhere;
    const QString link = elsewhere.filePath(QStringLiteral("KJV.tvk"));
    ASSERT_TRUE(QFile::link(installed, link));
    app.loadAndOpenBook(link);
    stillInstalled("a link");
    EXPECT_EQ(opened, (QStringList {"101", "101", "101"}));
    EXPECT_TRUE(s_alerts->shown().isEmpty());

    // A file of that name that is no book: said so, with the file and why, and the installed book stays.
    const QString damaged = elsewhere.filePath(QStringLiteral("damaged/KJV.tvk"));
    QDir().mkpath(QFileInfo(damaged).path());
    {
        QFile f(damaged);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(original.left(original.size() / 2));
    }
    app.loadAndOpenBook(damaged);
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(s_alerts->shown()[0].messageText, QStringLiteral("The book file \"KJV.tvk\" could not be opened."));
    EXPECT_TRUE(s_alerts->shown()[0].informativeText.startsWith(damaged + QStringLiteral(" is not a book")))
        << s_alerts->shown()[0].informativeText.toStdString();
    stillInstalled("a damaged copy");
    EXPECT_EQ(opened.size(), 3);

    // A copy of the same revision with 2,000 bytes changed a megabyte in still opens, short of the
    // text from 2 Kings 9 on: the installed book is kept and opened, and the user told why.
    const QString hurt = elsewhere.filePath(QStringLiteral("hurt/KJV.tvk"));
    QDir().mkpath(QFileInfo(hurt).path());
    {
        QByteArray bytes = original;
        ASSERT_GT(bytes.size(), 1002000);
        for (int i = 1000000; i < 1002000; ++i)
            bytes[i] = char(bytes[i] ^ 0x5A);
        QFile f(hurt);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    app.loadAndOpenBook(hurt);
    stillInstalled("a damaged copy of the same revision");
    ASSERT_EQ(s_alerts->shown().size(), 2);
    EXPECT_TRUE(s_alerts->shown()[1].messageText.endsWith(
        QStringLiteral("is already installed, and this copy of it differs from the installed one.")))
        << s_alerts->shown()[1].messageText.toStdString();
    EXPECT_TRUE(s_alerts->shown()[1].informativeText.contains(hurt));
    EXPECT_TRUE(s_alerts->shown()[1].informativeText.contains(QStringLiteral("The installed copy is kept and opened")));
    EXPECT_EQ(opened.size(), 4);
    EXPECT_EQ(QDir(books).entryList({QStringLiteral("KJV*")}, QDir::Files), QStringList {"KJV.tvk"});

    // Another whole book under that name never replaces it: it is installed beside it under a free
    // name and opened, and both books stay in the library.
    const QString other = elsewhere.filePath(QStringLiteral("other/KJV.tvk"));
    QDir().mkpath(QFileInfo(other).path());
    ASSERT_TRUE(QFile::copy(QStringLiteral(QS_BINARY_DIR "/library/Nave.tvk"), other));
    app.loadAndOpenBook(other);
    stillInstalled("a different book of the same file name");
    const QString beside = book(QStringLiteral("KJV (1).tvk"));
    EXPECT_EQ(fileBytes(beside), fileBytes(other));
    const SourceTuple::Ptr nave = SourceManager::singleton().allSources()->tupleForFile(beside);
    ASSERT_TRUE(nave);
    EXPECT_NE(nave->record().bookID, 101);
    EXPECT_EQ(s_alerts->shown().size(), 2);
    // The same book again (the copy that comes with the reader, the same bytes) opens the installed one.
    app.loadAndOpenBook(QStringLiteral(QS_BINARY_DIR "/books/KJV.tvk"));
    stillInstalled("the same book again");
    EXPECT_EQ(opened, (QStringList {"101", "101", "101", "101", QString::number(nave->record().bookID), "101"}));
    EXPECT_EQ(s_alerts->shown().size(), 2);
    SourceManager::singleton().removeSourceForPubID(nave->record().pubID, nave->record().bookID);
    NotificationCenter::defaultCenter().removeObserver(&opened);
    quit();
}

// Files of the profile kept elsewhere through links. A link to a file (the password, the layouts, the
// report styles, the settings) is honoured: saves reach the file it names and the link stays. A
// link that leads nowhere at start (a disk not mounted) is never replaced: the database and the
// screen layout are refused with an alert naming the link's target and what to do, the layout of
// that run is not saved over it, and nothing is made where the link points.
TEST_F(Shell, LinksInTheProfileAreHonouredOrRefusedNeverReplaced)
{
    QuillsteadAppController& app = launch();
    UserDefaults& settings = reader_test::programEnvironment().settings();
    settings.setBool(true, QStringLiteral("linkTestBefore"));
    const QStringList files {dataFile(QStringLiteral("account-password")), dataFile(AppFolders::kLayoutArchiveFileName),
        AutoStudyCSS::userCopyPath(), settings.filePath()};
    QTemporaryDir outside;
    QStringList targets;
    for (qsizetype i = 0; i < files.size(); ++i) {
        targets << outside.filePath(QStringLiteral("target%1").arg(i));
        // Each link names a copy of what was there.
        QDir().mkpath(QFileInfo(files[i]).path());
        if (QFile::exists(files[i]))
            ASSERT_TRUE(QFile::rename(files[i], targets[i]));
        else
            ASSERT_TRUE(FileSave::writeFile(targets[i], QByteArray()));
        ASSERT_TRUE(QFile::link(targets[i], files[i])) << files[i].toStdString();
    }

    ASSERT_TRUE(qs::cloud::CustomerPassword::store(QStringLiteral("secret")));
    ASSERT_TRUE(app.archiveLayouts());
    QString why;
    ASSERT_TRUE(AutoStudyCSS().saveCSSEditorContents(QStringLiteral("p { color: teal; }"), why)) << why.toStdString();
    settings.setBool(true, QStringLiteral("linkTestAfter"));

    for (qsizetype i = 0; i < files.size(); ++i) {
        EXPECT_TRUE(QFileInfo(files[i]).isSymLink()) << files[i].toStdString();
        EXPECT_EQ(QFileInfo(files[i]).symLinkTarget(), targets[i]);
    }
    EXPECT_EQ(qs::cloud::CustomerPassword::load(), QStringLiteral("secret"));
    EXPECT_FALSE(fileBytes(targets[0]).isEmpty());
    EXPECT_TRUE(fileBytes(targets[1]).contains("LayoutManager"));
    EXPECT_TRUE(fileBytes(targets[2]).contains("teal"));
    UserDefaults reread(targets[3]);
    EXPECT_TRUE(reread.boolForKey(QStringLiteral("linkTestBefore")));
    EXPECT_TRUE(reread.boolForKey(QStringLiteral("linkTestAfter")));
    EXPECT_TRUE(s_alerts->shown().isEmpty());
    quit();
    for (qsizetype i = 0; i < files.size(); ++i) {
        QFile::remove(files[i]);
        ASSERT_TRUE(QFile::rename(targets[i], files[i]));
    }
    qs::cloud::CustomerPassword::clear();
    QFile::remove(AutoStudyCSS::userCopyPath());

    // The database and the layout on a disk that is not mounted.
    const QString database = dataFile(AppFolders::kDatabaseFileName);
    const QString layouts = dataFile(AppFolders::kLayoutArchiveFileName);
    const QString unmounted = outside.filePath(QStringLiteral("unmounted"));
    const QString databaseAside = database + QStringLiteral(".test-aside");
    // The open connection keeps the file it has open; its name is free for the link.
    ASSERT_TRUE(QFile::rename(database, databaseAside));
    QFile::remove(layouts);
    QFile::remove(layouts + QStringLiteral(".damaged"));  // an earlier test's
    ASSERT_TRUE(QFile::link(unmounted + QStringLiteral("/notes.db"), database));
    ASSERT_TRUE(QFile::link(unmounted + QStringLiteral("/layouts.plist"), layouts));
    s_alerts->clear();
    launch();
    // Both refusals said once, together, beside the window: no alert opens over it.
    const QString notes = QStringLiteral("Quillstead cannot open your notes, highlights and bookmarks.");
    const QString layout = QStringLiteral("Quillstead cannot read or save your screen layout.");
    ASSERT_TRUE(TestSupport::waitFor([&] { return noticeSays().contains(notes) && noticeSays().contains(layout); }))
        << noticeSays().toStdString();
    const QString said = noticeSays();
    const QString message = said.section(QLatin1Char('\n'), 0, 0);
    EXPECT_TRUE(message.contains(notes) && message.contains(layout)) << message.toStdString();
    for (const QString& problem : {notes, layout})
        EXPECT_EQ(said.count(problem), 2) << said.toStdString();  // in the message, and before its own text
    const QString details = said.section(QLatin1Char('\n'), 1);
    for (const QString& target : {QStringLiteral("/notes.db"), QStringLiteral("/layouts.plist")})
        EXPECT_TRUE(
            details.contains(QStringLiteral("is a link to \"%1\", which does not exist").arg(unmounted + target)))
            << said.toStdString();
    EXPECT_EQ(details.count(QStringLiteral("Connect the disk")), 2) << said.toStdString();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(s_alerts->shown().isEmpty()) << s_alerts->shown().value(0).messageText.toStdString();
    EXPECT_FALSE(reader_test::programEnvironment().layoutManager().layouts().empty());
    EXPECT_FALSE(m_controller->archiveLayouts());
    // Any other save through such a link fails and names the target; nothing is made where it points.
    const QString password = dataFile(QStringLiteral("account-password"));
    QFile::remove(password);
    ASSERT_TRUE(QFile::link(unmounted + QStringLiteral("/password"), password));
    EXPECT_FALSE(qs::cloud::CustomerPassword::store(QStringLiteral("secret")));
    SaveFailureAlerts::showPending();
    EXPECT_TRUE(s_alerts->shown().last().informativeText.contains(
        QStringLiteral("is a link to \"%1/password\", which does not exist").arg(unmounted)))
        << s_alerts->shown().last().informativeText.toStdString();
    EXPECT_TRUE(QFileInfo(password).isSymLink());
    ASSERT_TRUE(QFile::remove(password));
    quit();
    EXPECT_TRUE(QFileInfo(database).isSymLink());
    EXPECT_TRUE(QFileInfo(layouts).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(unmounted));
    EXPECT_FALSE(QFile::exists(layouts + QStringLiteral(".damaged")));
    ASSERT_TRUE(QFile::remove(database));
    ASSERT_TRUE(QFile::remove(layouts));
    ASSERT_TRUE(QFile::rename(databaseAside, database));
}

// The same book at a newer revision is an update of the installed file; an older one never
// replaces the newer copy, which is opened instead.
TEST_F(Shell, OpeningABookFileUpdatesOnlyToANewerRevision)
{
    QuillsteadAppController& app = launch();
    QStringList opened;
    NotificationCenter::defaultCenter().addObserver(&opened, PaneNotifications::UserWantsToOpenThisBookNotification,
        [&opened](Notification& n) { opened.append(n.userInfo.value(QStringLiteral("revision")).toString()); });
    QTemporaryDir elsewhere;
    const auto smallBook = [&](const char* folder, uint8_t revision, int sections = 1) {
        const QString path = elsewhere.filePath(QString::fromLatin1(folder) + QStringLiteral("/Small.tvk"));
        cTvkBookBuilder b;
        b.info.bookName = b.info.abbreviatedTitle = "Small Book";
        b.info.publisherId = 9100;
        b.info.bookId = 7;
        b.info.edition = 1;
        b.info.revision = revision;
        for (int i = 1; i <= sections; ++i)
            b.addSection({"Part " + std::to_string(i), 1, "The text of revision " + std::to_string(revision) + ".", 0});
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(b.writeFile(path.toStdString()));
        return path;
    };
    const QString installed = book(QStringLiteral("Small.tvk"));
    const auto installedRevision = [&] {
        const SourceTuple::Ptr t = SourceManager::singleton().allSources()->tupleForFile(installed);
        return t ? t->record().revisionNumber : -1;
    };
    const QString first = smallBook("r2", 2);
    app.loadAndOpenBook(first);
    EXPECT_EQ(installedRevision(), 2);
    // The newer revision is read through on a worker: the call returns at once with the installed
    // copy still in place, the main thread answers a timer meanwhile, and the book is replaced and
    // opened when the check answers.
    const QString newer = smallBook("r3", 3, 4000);
    int ticks = 0;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    app.loadAndOpenBook(newer);
    EXPECT_EQ(installedRevision(), 2);
    EXPECT_EQ(opened, QStringList {"2"});
    app.loadAndOpenBook(newer);  // asked again meanwhile: one replacement, one opening
    ASSERT_TRUE(TestSupport::waitFor([&] { return opened.size() >= 2; }));
    timer.stop();
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(installedRevision(), 3);
    EXPECT_EQ(fileBytes(installed), fileBytes(newer));
    EXPECT_FALSE(QFile::exists(book(QStringLiteral("Small (1).tvk"))));
    EXPECT_TRUE(s_alerts->shown().isEmpty());

    const QString older = smallBook("r1", 1);
    app.loadAndOpenBook(older);
    EXPECT_EQ(installedRevision(), 3);
    EXPECT_EQ(fileBytes(installed), fileBytes(newer));
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(s_alerts->shown()[0].messageText, QStringLiteral("A newer copy of \"Small Book\" is already installed."));
    EXPECT_TRUE(s_alerts->shown()[0].informativeText.contains(older));

    // A newer revision whose contents are damaged (every section still reads) replaces nothing: the
    // user is told that the installed copy is kept, and why, and it is opened.
    const QString damaged = smallBook("r4", 4, 2485);
    ASSERT_TRUE(TestSupport::damageStream(damaged, "TOFC", 3000));
    app.loadAndOpenBook(damaged);
    EXPECT_EQ(s_alerts->shown().size(), 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return s_alerts->shown().size() == 2; }));
    EXPECT_EQ(installedRevision(), 3);
    EXPECT_EQ(fileBytes(installed), fileBytes(newer));
    ASSERT_EQ(s_alerts->shown().size(), 2);
    EXPECT_EQ(s_alerts->shown()[1].messageText, QStringLiteral("The installed copy of \"Small Book\" is kept."));
    EXPECT_TRUE(s_alerts->shown()[1].informativeText.contains(
        QStringLiteral("%1 is damaged: its contents (entry ").arg(damaged)))
        << s_alerts->shown()[1].informativeText.toStdString();
    EXPECT_EQ(opened, (QStringList {"2", "3", "3", "3"}));
    EXPECT_TRUE(partialBookFiles().isEmpty());
    SourceManager::singleton().removeSourceForPubID(9100, 7);
    NotificationCenter::defaultCenter().removeObserver(&opened);
    quit();
}

// A book file that is not there, or is no book, is named in an alert that says why, whether it came
// on the command line or was handed over by a second start.
TEST_F(Shell, OpeningAMissingFileOrOneThatIsNoBookSaysWhichAndWhy)
{
    QuillsteadAppController& app = launch();
    QStringList opened;
    NotificationCenter::defaultCenter().addObserver(&opened, PaneNotifications::UserWantsToOpenThisBookNotification,
        [&opened](Notification&) { opened.append(QStringLiteral("opened")); });
    QTemporaryDir elsewhere;
    const QStringList before = QDir(AppFolders::booksDirectory()).entryList(QDir::Files);

    const QString missing = elsewhere.filePath(QStringLiteral("Missing Book.tvk"));
    app.loadAndOpenBook(missing);
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(
        s_alerts->shown()[0].messageText, QStringLiteral("The book file \"Missing Book.tvk\" could not be opened."));
    EXPECT_EQ(s_alerts->shown()[0].informativeText, QStringLiteral("There is no file at %1.").arg(missing));

    const QString text = elsewhere.filePath(QStringLiteral("notes.tvk"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("These are my notes, not a book.\n");
    }
    app.loadAndOpenBook(text);
    ASSERT_EQ(s_alerts->shown().size(), 2);
    EXPECT_EQ(s_alerts->shown()[1].messageText, QStringLiteral("The book file \"notes.tvk\" could not be opened."));
    // No book file at all, not a damaged book.
    EXPECT_EQ(s_alerts->shown()[1].informativeText, text + QStringLiteral(" is not a book file."));

    const QString folder = elsewhere.filePath(QStringLiteral("Folder.tvk"));
    QDir().mkpath(folder);
    app.loadAndOpenBook(folder);
    ASSERT_EQ(s_alerts->shown().size(), 3);
    EXPECT_EQ(s_alerts->shown()[2].informativeText, QStringLiteral("%1 is a folder, not a book file.").arg(folder));

    // Handed over by a second start: the running reader says it too.
    ASSERT_TRUE(app.listenForOtherInstances());
    std::atomic<bool> done = false;
    const QString socket = ReaderInstance::forThisProfile().socketName();
    std::thread client([&] {
        ReaderInstance::handOver(socket, missing, 5000);
        done = true;
    });
    EXPECT_TRUE(TestSupport::waitFor([&done] { return done.load(); }));
    client.join();
    EXPECT_TRUE(TestSupport::waitFor([] { return s_alerts->shown().size() == 4; }));
    ASSERT_EQ(s_alerts->shown().size(), 4);
    EXPECT_EQ(s_alerts->shown()[3].informativeText, QStringLiteral("There is no file at %1.").arg(missing));

    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(QDir(AppFolders::booksDirectory()).entryList(QDir::Files), before);
    NotificationCenter::defaultCenter().removeObserver(&opened);
    quit();
}

// Book files a crash left half written are removed at start; a FIFO named like a book is left alone
// and start-up does not wait on it; a window size no screen has is fitted to the screen.
TEST_F(Shell, StartUpSweepsPartialBooksSkipsFifosAndFitsTheWindowToTheScreen)
{
    const QString books = AppFolders::booksDirectory();
    QDir().mkpath(books + QStringLiteral("/sub"));
    for (const char* name : {"WEB.tvk.tmp", "sub/.KJV.a1B2c3.tvk.tmp", "keep.tmp"}) {
        QFile f(QDir(books).filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("partial");
    }
    const QString fifo = book(QStringLiteral("Hang.tvk"));
    QFile::remove(fifo);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.set(SettingsKeys::MainWindowWidth, double(2e9f));
    defaults.set(SettingsKeys::MainWindowHeight, double(2e9f));
    defaults.set(SettingsKeys::MainWindowOriginX, double(-3e9f));
    defaults.set(SettingsKeys::MainWindowOriginY, double(5e9f));

    QuillsteadAppController& app = launch();
    EXPECT_FALSE(QFile::exists(QDir(books).filePath(QStringLiteral("WEB.tvk.tmp"))));
    EXPECT_FALSE(QFile::exists(QDir(books).filePath(QStringLiteral("sub/.KJV.a1B2c3.tvk.tmp"))));
    EXPECT_TRUE(QFile::exists(QDir(books).filePath(QStringLiteral("keep.tmp"))));
    EXPECT_TRUE(QFileInfo(fifo).exists()) << "left where it is";
    EXPECT_EQ(SourceManager::singleton().allSources()->tupleForFile(fifo), nullptr);
    bool skipped = false;
    for (const SourceManager::SkippedFile& s : SourceManager::singleton().skippedFiles())
        skipped = skipped || (s.path == fifo && s.reason == QLatin1String("not a regular file"));
    EXPECT_TRUE(skipped);
    EXPECT_TRUE(SourceManager::singleton().allSources()->tupleForPubID(1, 101)) << "the books are there";

    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = app.mainWindowController()->window()->geometry();
    // (The window system may add its frame around the asked geometry.)
    EXPECT_TRUE(frame.width() <= area.width() && frame.height() <= area.height() && area.intersects(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height() << " in " << area.x() << ","
        << area.y() << " " << area.width() << "x" << area.height();
    quit();
    EXPECT_LE(defaults.value(SettingsKeys::MainWindowWidth), double(area.width()));
    QFile::remove(fifo);
    QFile::remove(QDir(books).filePath(QStringLiteral("keep.tmp")));
}

TEST(WindowFrame, SavedFramesAreFittedToTheScreen)
{
    const QRect screen(0, 25, 1280, 775);
    EXPECT_EQ(QuillsteadWindowController::frameOnScreen(100, 100, 800, 600, screen), QRect(100, 100, 800, 600));
    EXPECT_EQ(QuillsteadWindowController::frameOnScreen(0, 0, 2e9, 2e9, screen), screen);
    EXPECT_EQ(QuillsteadWindowController::frameOnScreen(1200, 700, 400, 300, screen), QRect(880, 500, 400, 300));
    EXPECT_EQ(QuillsteadWindowController::frameOnScreen(-5e9, 5e9, 300, 200, screen), QRect(0, 600, 300, 200));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(QuillsteadWindowController::frameOnScreen(nan, 0, 300, 200, screen), screen);
    EXPECT_EQ(QuillsteadWindowController::frameOnScreen(0, 0, inf, 200, screen), screen);
    EXPECT_EQ(QuillsteadWindowController::frameOnScreen(0, 0, -300, 200, screen), screen);
}

// With automatic sync on, automatic runs fail quietly, but Sync Now says how it failed, once.
TEST_F(Shell, SyncNowAgainstAStoppedServerShowsOneAlertWithAutomaticSyncOn)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    QuillsteadAppController& app = launch();
    ASSERT_TRUE(signInForSync(port));
    qs::cloud::SyncManager& engine = qs::cloud::SyncManager::instance();
    QStringList errors;
    NotificationCenter::defaultCenter().addObserver(&errors, AppNotifications::qsSyncErrorOccurredNotification,
        [&errors](Notification& n) { errors.append(n.userInfo.value(QStringLiteral("message")).toString()); });
    s_alerts->clear();

    ASSERT_TRUE(reader_test::choose(app.mainWindowController(), CommandNames::SyncNow));
    EXPECT_TRUE(waitFor([&] {
        return !errors.isEmpty() && engine.goal() == qs::cloud::SyncManager::Idle && !engine.hasConnection() &&
            !s_alerts->shown().isEmpty();
    }));
    // Alerts wait for the engine's handler to return: let any queued one through.
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(errors.size(), 1) << errors.join('\n').toStdString();
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(s_alerts->shown()[0].messageText, errors.value(0));

    NotificationCenter::defaultCenter().removeObserver(&errors);
    signOutOfSync();
    quit();
}

namespace {

QJsonArray syncLine(const QStringList& parts)
{
    return QJsonArray::fromStringList(parts);
}

// The server's records of the Bible notes: 25 with one field too many (ids from `firstId`), then 3
// sound ones, and the end of the type.
QJsonArray notesWithBadOnes(int firstId)
{
    QJsonArray records;
    for (int i = 0; i < 28; ++i) {
        QStringList record {"ADD", "BIBLENOTES", "0", QString::number(firstId + i), "2026-01-01 00:00:00.000", "28",
            "43", "3", QString::number(1 + i), QStringLiteral("<p>note %1</p>").arg(i)};
        if (i < 25)
            record << QStringLiteral("a field too many");
        records.append(syncLine(record));
    }
    records.append(syncLine({"SYNC", "COMPLETE"}));
    return records;
}

// The server's side of a sync of every type (Sync Now), with those notes when `firstId` is not 0.
QJsonArray everyType(int firstId)
{
    QJsonArray script {QJsonArray {syncLine({"CONNECTED", "SUCCESS"})}};
    for (const char* noun : {"BIBLEBOOKMARKS", "BIBLEHIGHLIGHTS", "BIBLENOTES", "BOOKBOOKMARKS", "BOOKNOTES",
             "DEVOTIONALPROGRESS", "DEVOTIONALSTARTDATE", "HIGHLIGHTCOLORNAMES"}) {
        if (firstId != 0 && QLatin1String(noun) == QLatin1String("BIBLENOTES")) {
            script.append(QJsonArray {syncLine({"COUNTED", noun, "28", "28"})});
            script.append(QJsonArray {syncLine({"GOT", "TIME", "$p0", "$now"})});
            script.append(notesWithBadOnes(firstId));
            script.append(QJsonArray {});
        } else {
            script.append(QJsonArray {syncLine({"COUNTED", noun, "0", "0"})});
        }
    }
    script.append(QJsonArray {});
    return script;
}

}  // namespace

// The notice line has one owner: records an automatic sync left out stay listed when a save fails
// meanwhile, until the user closes them; Sync Now says them while they are not closed (never "up to
// date"), and answers with a word also while the server sends the same bad records again.
TEST_F(Shell, LeftOutRecordsStayListedBesideAFailedSaveAndEverySyncNowIsAnswered)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    QuillsteadAppController& app = launch();
    QuillsteadWindowController* window = app.mainWindowController();
    ASSERT_TRUE(waitFor([window] { return window->window()->isVisible(); }));
    SaveFailureAlerts::reset();
    ASSERT_TRUE(signInForSync(server.syncPort()));
    qs::cloud::SyncManager& engine = qs::cloud::SyncManager::instance();
    QStringList toasts;
    QObject::connect(&app, &QuillsteadAppController::toastShown, [&toasts](const QString& m) { toasts << m; });
    const auto idle = [&engine] { return engine.goal() == qs::cloud::SyncManager::Idle && !engine.hasConnection(); };
    const auto script = [&server](const QJsonArray& replies) {
        return server.post(QStringLiteral("/_control/script"), QJsonDocument(replies).toJson(QJsonDocument::Compact))
                   .status == 200;
    };
    const QString summary = QStringLiteral("25 Bible notes from the server could not be read and were left out.");
    const WindowNotice* notice = window->notice();
    // An automatic sync of the Bible notes, the server sending notesWithBadOnes(firstId).
    const auto automaticSyncOfNotes = [&](int firstId) {
        ASSERT_TRUE(script(QJsonArray {QJsonArray {syncLine({"CONNECTED", "SUCCESS"})},
            QJsonArray {syncLine({"COUNTED", "BIBLENOTES", "28", "28"})},
            QJsonArray {syncLine({"GOT", "TIME", "$p0", "$now"})}, notesWithBadOnes(firstId), QJsonArray {},
            QJsonArray {}}));
        engine.syncRecordType(qs::cloud::SyncCommand::BibleNotes, true);
        engine.conditionallyStartSync(true);
    };

    // An automatic sync of the notes leaves 25 out: said on the notice line.
    automaticSyncOfNotes(1000);
    ASSERT_TRUE(waitFor([&] { return idle() && noticeSays().contains(summary); }, 30000)) << noticeSays().toStdString();

    // The layout cannot be saved (a folder stands where its file goes): listed beside the sync's news.
    const QString layouts = QuillsteadAppController::appLayoutArchiveFile();
    const QString kept = layouts + QStringLiteral(".test-aside");
    QFile::remove(kept);
    ASSERT_TRUE(!QFile::exists(layouts) || QFile::rename(layouts, kept));
    ASSERT_TRUE(QDir().mkpath(layouts));
    EXPECT_FALSE(m_controller->archiveLayouts());
    ASSERT_TRUE(waitFor([&] { return notice->message().contains(QStringLiteral("your screen layout")); }))
        << noticeSays().toStdString();
    EXPECT_TRUE(noticeSays().contains(summary)) << "another problem took the place of the sync's news";
    EXPECT_LE(notice->shownLines().size(), WindowNotice::kMostLines);
    ASSERT_TRUE(QDir(layouts).removeRecursively());
    if (QFile::exists(kept)) {
        ASSERT_TRUE(QFile::rename(kept, layouts));
    }

    // Sync Now with nothing new: its answer names what was left out and not closed, never "up to date";
    // said there, it leaves the notice line, and the layout's failure stays.
    s_alerts->clear();
    ASSERT_TRUE(script(everyType(0)));
    ASSERT_TRUE(reader_test::choose(window, CommandNames::SyncNow));
    ASSERT_TRUE(waitFor([&] { return idle() && (!s_alerts->shown().isEmpty() || !toasts.isEmpty()); }, 30000));
    EXPECT_TRUE(toasts.isEmpty()) << toasts.join('\n').toStdString();
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(s_alerts->shown()[0].messageText, summary);
    EXPECT_FALSE(noticeSays().contains(summary)) << noticeSays().toStdString();
    EXPECT_TRUE(notice->message().contains(QStringLiteral("your screen layout")));

    // Other records left out, then Sync Now while the notice lists them and the server sends them
    // again: answered, once.
    automaticSyncOfNotes(2000);
    ASSERT_TRUE(waitFor([&] { return idle() && noticeSays().contains(summary); }, 30000)) << noticeSays().toStdString();
    s_alerts->clear();
    toasts.clear();
    ASSERT_TRUE(script(everyType(2000)));
    ASSERT_TRUE(reader_test::choose(window, CommandNames::SyncNow));
    ASSERT_TRUE(waitFor([&] { return idle() && (!s_alerts->shown().isEmpty() || !toasts.isEmpty()); }, 30000))
        << "Sync Now was not answered";
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(toasts.isEmpty()) << toasts.join('\n').toStdString();
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(s_alerts->shown()[0].messageText, summary);

    // Closed by the user, the notice goes, and what it listed with it.
    window->notice()->findChild<QToolButton*>(QStringLiteral("noticeClose"))->click();
    EXPECT_TRUE(noticeSays().isEmpty());
    EXPECT_TRUE(m_controller->archiveLayouts());
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(noticeSays().isEmpty()) << noticeSays().toStdString();

    signOutOfSync();
    quit();
}

// A database that cannot be written is reported once per run, wherever the failure happens.
TEST_F(Shell, ADatabaseThatCannotBeWrittenIsReportedOncePerRun)
{
    launch();
    ASSERT_NE(dynamic_cast<DatabaseErrorAlerts*>(&cDatabaseErrorReporter::current()), nullptr) << "installed at start";
    sqlite3* db = cSQLiteDbBase::connectionHandle();
    ASSERT_NE(db, nullptr);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA query_only = ON", nullptr, nullptr, nullptr), SQLITE_OK);
    const quint32 key = (43u << 16) | (3u << 8) | 16u;
    EXPECT_FALSE(reader_test::programNotes().save(NoteLocation::bible(key), QStringLiteral("lost?")));
    EXPECT_FALSE(reader_test::programNotes().save(NoteLocation::bible(key), QStringLiteral("again")));
    std::thread([] { cMsgBox().showDatabaseError(cLString16("Error 8 from a worker")); }).join();
    EXPECT_TRUE(waitFor([this] { return !noticeSays().isEmpty(); }));
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA query_only = OFF", nullptr, nullptr, nullptr), SQLITE_OK);
    // Said once, beside the window.
    EXPECT_TRUE(s_alerts->shown().isEmpty());
    const QString said = noticeSays();
    EXPECT_TRUE(said.startsWith(DatabaseErrorAlerts::messageText() + QLatin1Char('\n'))) << said.toStdString();
    EXPECT_EQ(said.count(DatabaseErrorAlerts::messageText()), 1) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("readonly"))) << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("Error 8 from a worker")));
    quit();
}

// The application's sync delegate without a main window: the toolbar's busy item on bare toolbars,
// the notifications of each record type, the permission to sync automatically, errors in the sync
// history and alerts, the log-in values, and the search results dropped after received records.
#include "app/DatabaseErrorAlerts.h"
#include "app/QuillsteadSyncDelegate.h"
#include "app/preferences/AppNotifications.h"
#include "platform/SettingsKeys.h"

#include "cloud/account/CustomerPassword.h"
#include "cloud/sync/FillingDisk.h"
#include "cloud/sync/SyncLocalData.h"
#include "cloud/sync/SyncManager.h"
#include "library/EngineStrings.h"
#include "library/JavaScript.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "search/execution/UserDataSearchCache.h"
#include "support/RecordingAlerts.h"
#include "userdata/cPersistentData.h"
#include "userdata/cSQLiteDbBase.h"

#include "support/TestSupport.h"
#include "tests/tools/standin-services/StandinTestServer.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolBar>

namespace {

class SyncDelegate : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TestSupport::startApplication("sync-delegate-test", TestSupport::Web::None);
        s_alerts = std::make_shared<RecordingAlerts>();
        QString folder = AppFolders::privateDataDirectory();
        QDir().mkpath(folder);
        cSQLiteDbBase::setEngineDataFolder(EngineStrings::utf16(folder + QLatin1Char('/')));
    }

    void SetUp() override
    {
        s_alerts->clear();
        m_defaults.set(SettingsKeys::AutoSyncEnabled, true);
        m_defaults.set(SettingsKeys::CredentialsValid, true);
        m_defaults.set(SettingsKeys::CustomerIDNum, 5);
        qs::cloud::SyncLocalData().setSyncedCustomerId(0);
        for (const char* name :
            {"qsSyncCommStartedNotification", "qsSyncCommFinishedNotification", "qsSyncProgressPercentNotification",
                "qsSyncErrorOccurredNotification", "qsBibleNoteSynchronizationWillStartNotification",
                "qsBookNoteSynchronizationWillStartNotification", "qsCategoriesHaveChangedNotification",
                "qsBookmarksHaveChangedNotification", "qsHighlightsHaveChangedNotification",
                "qsNotesHaveChangedNotification", "DevotionalProgressHasChangedNotification",
                "qsDevotionalStartDateHasChangedNotification", "qsHighlightColorNamesHaveChangedNotification"})
            m_center.addObserver(this, QString::fromLatin1(name), [this](Notification& n) {
                m_posted.append(n);
                m_senders.append(n.object);
            });
    }

    void TearDown() override { m_center.removeObserver(this); }

    QStringList postedNames() const
    {
        QStringList names;
        for (const Notification& n : m_posted)
            names.append(n.name);
        return names;
    }

    static QStringList identifiers(QToolBar& toolbar)
    {
        QStringList list;
        for (QAction* action : toolbar.actions())
            list.append(action->objectName());
        return list;
    }

    static QAction* item(QToolBar& toolbar, const QString& identifier)
    {
        QAction* action = toolbar.addAction(identifier);
        action->setObjectName(identifier);
        return action;
    }

    static QString errorLog(const char* table)
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("log.html"));
        cPersistentData history;
        EXPECT_TRUE(history.openOrCreate());
        EXPECT_TRUE(history.writeSyncLogHtml(file.toUtf8().constData(), table, true, true));
        history.close();
        QFile page(file);
        EXPECT_TRUE(page.open(QIODevice::ReadOnly));
        return QString::fromUtf8(page.readAll());
    }

    // The user data of the test's own folder from now on (none of it open).
    static void useDataFolder(const QString& folder)
    {
        ASSERT_EQ(cSQLiteDbBase::openCount(), 0);
        cSQLiteDbBase::setEngineDataFolder(EngineStrings::utf16(folder + QLatin1Char('/')));
    }

    // One run of the engine against the stand-in's script: one type for a sync nobody asked for,
    // every type for one the user asked for (Sync Now); waits until the connection has closed.
    static void runScripted(
        qs::cloud::SyncManager& engine, const standin_test::Server& server, const QJsonArray& script, bool userAsked)
    {
        ASSERT_EQ(server.post(QStringLiteral("/_control/script"), QJsonDocument(script).toJson(QJsonDocument::Compact))
                      .status,
            200);
        if (userAsked) {
            engine.syncAll(true);
        } else {
            engine.syncRecordType(qs::cloud::SyncCommand::BibleNotes, true);
            engine.conditionallyStartSync(true);
        }
        ASSERT_TRUE(TestSupport::waitFor(
            [&] { return engine.goal() == qs::cloud::SyncManager::Idle && !engine.hasConnection(); }, 30000));
    }

    static inline std::shared_ptr<RecordingAlerts> s_alerts;
    NotificationCenter& m_center = NotificationCenter::defaultCenter();
    UserDefaults& m_defaults = UserDefaults::standardUserDefaults();
    bool m_syncPaneShown = false;
    QuillsteadSyncDelegate m_delegate {
        m_center, m_defaults, *s_alerts, {{}, [this] { return m_syncPaneShown; }, {}, {}}};
    QList<Notification> m_posted;
    QList<const void*> m_senders;
};

}  // namespace

TEST_F(SyncDelegate, TheBusyItemTakesTheCloudSyncButtonsPlaceAndGivesItBack)
{
    QToolBar toolbar;
    item(toolbar, QStringLiteral("StudyPanel"));
    QAction* button = item(toolbar, QStringLiteral("Cloud Sync"));
    toolbar.addWidget(new QWidget(&toolbar))->setObjectName(QStringLiteral("flexibleSpace"));
    item(toolbar, QStringLiteral("QuillsteadHelp"));

    QuillsteadSyncDelegate::addSyncProgressToToolbar(&toolbar);
    EXPECT_EQ(identifiers(toolbar), (QStringList {"StudyPanel", "progress", "flexibleSpace", "QuillsteadHelp"}));
    // A second start while it shows adds nothing.
    QuillsteadSyncDelegate::addSyncProgressToToolbar(&toolbar);
    EXPECT_EQ(identifiers(toolbar).count(QStringLiteral("progress")), 1);
    EXPECT_EQ(toolbar.actions().at(1)->text(), QStringLiteral("Cloud Sync"));

    QuillsteadSyncDelegate::removeSyncProgressFromToolbar(&toolbar);
    EXPECT_EQ(identifiers(toolbar), (QStringList {"StudyPanel", "Cloud Sync", "flexibleSpace", "QuillsteadHelp"}));
    EXPECT_EQ(toolbar.actions().at(1), button) << "the same button, with its command, comes back";
    // Removing again changes nothing.
    QuillsteadSyncDelegate::removeSyncProgressFromToolbar(&toolbar);
    EXPECT_EQ(toolbar.actions().size(), 4);
}

TEST_F(SyncDelegate, AQuickSyncShowsItsBusyItemForAMomentAndOneTheUserAskedForSaysItEnded)
{
    QToolBar toolbar;
    item(toolbar, QStringLiteral("StudyPanel"));
    item(toolbar, QStringLiteral("Cloud Sync"));
    QStringList toasts;
    QuillsteadSyncDelegate delegate {m_center, m_defaults, *s_alerts,
        {[&toolbar] { return &toolbar; }, [] { return false; }, [&toasts](const QString& m) { toasts << m; }, {}}};

    // A sync the user asked for that ends at once: the busy item stays a moment, then the button
    // comes back, and a toast says the sync ended.
    QElapsedTimer clock;
    clock.start();
    delegate.userAskedForSync();
    delegate.syncCommStarted();
    delegate.syncCommFinished();
    EXPECT_EQ(identifiers(toolbar), (QStringList {"StudyPanel", "progress"})) << "the busy item went at once";
    EXPECT_EQ(toasts, QStringList {QuillsteadSyncDelegate::syncFinishedMessage()});
    ASSERT_TRUE(TestSupport::waitFor([&] { return identifiers(toolbar).contains(QStringLiteral("Cloud Sync")); }));
    EXPECT_GE(clock.elapsed(), QuillsteadSyncDelegate::kMinimumBusyMs - 50);
    EXPECT_EQ(identifiers(toolbar), (QStringList {"StudyPanel", "Cloud Sync"}));

    // A sync that starts while the item still shows keeps it; its end removes it.
    delegate.syncCommStarted();
    delegate.syncCommFinished();
    delegate.syncCommStarted();
    EXPECT_FALSE(TestSupport::waitFor([&] { return identifiers(toolbar).contains(QStringLiteral("Cloud Sync")); },
        QuillsteadSyncDelegate::kMinimumBusyMs + 200))
        << "the busy item went in the middle of a sync";
    delegate.syncCommFinished();
    EXPECT_EQ(identifiers(toolbar), (QStringList {"StudyPanel", "Cloud Sync"}));
    EXPECT_EQ(toasts.size(), 1) << "an automatic sync ends without a toast";

    // A sync the user asked for that failed says so in its alert, not in a toast.
    delegate.userAskedForSync();
    delegate.syncCommStarted();
    delegate.syncErrorOccurred(QStringLiteral("Connection refused"), true);
    delegate.syncCommFinished();
    QApplication::processEvents();
    EXPECT_EQ(toasts.size(), 1);
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(s_alerts->shown()[0].messageText, QStringLiteral("Connection refused"));
    TestSupport::waitFor([&] { return identifiers(toolbar).contains(QStringLiteral("Cloud Sync")); });
}

TEST_F(SyncDelegate, AToolbarWithoutTheButtonGainsASpaceAndTheItemAtTheEndAndLosesBoth)
{
    QToolBar bare;
    item(bare, QStringLiteral("StudyPanel"));
    item(bare, QStringLiteral("OpenBook"));
    QuillsteadSyncDelegate::addSyncProgressToToolbar(&bare);
    EXPECT_EQ(identifiers(bare), (QStringList {"StudyPanel", "OpenBook", "flexibleSpace", "progressTemp"}));
    QuillsteadSyncDelegate::removeSyncProgressFromToolbar(&bare);
    EXPECT_EQ(identifiers(bare), (QStringList {"StudyPanel", "OpenBook"}));

    // With a flexible space already there, only the item is added, at the end.
    QToolBar spaced;
    item(spaced, QStringLiteral("StudyPanel"));
    spaced.addWidget(new QWidget(&spaced))->setObjectName(QStringLiteral("flexibleSpace"));
    item(spaced, QStringLiteral("QuillsteadHelp"));
    QuillsteadSyncDelegate::addSyncProgressToToolbar(&spaced);
    EXPECT_EQ(identifiers(spaced), (QStringList {"StudyPanel", "flexibleSpace", "QuillsteadHelp", "progressTemp"}));
    QuillsteadSyncDelegate::removeSyncProgressFromToolbar(&spaced);
    EXPECT_EQ(identifiers(spaced), (QStringList {"StudyPanel", "flexibleSpace", "QuillsteadHelp"}));

    // The engine's start and end go through the toolbar the window gives.
    QToolBar window;
    QuillsteadSyncDelegate withToolbar(m_center, m_defaults, *s_alerts, {[&window] { return &window; }, {}, {}, {}});
    withToolbar.syncCommStarted();
    EXPECT_EQ(identifiers(window), (QStringList {"flexibleSpace", "progressTemp"}));
    withToolbar.syncCommFinished();
    // (The busy item stays a moment after a quick sync.)
    EXPECT_TRUE(TestSupport::waitFor(
        [&] { return identifiers(window).isEmpty() || identifiers(window) == QStringList {"flexibleSpace"}; }));
    EXPECT_EQ(postedNames(), (QStringList {"qsSyncCommStartedNotification", "qsSyncCommFinishedNotification"}));
}

TEST_F(SyncDelegate, EachRecordTypeNamesItsTableAndPostsWhatChanged)
{
    // An error is logged under the history name of the type being synced, and under none between types.
    m_delegate.syncRecordTypeWillStart(QStringLiteral("BIBLENOTES"));
    m_delegate.recordSyncError(QStringLiteral("While the notes went."));
    // Unchanged notes still post, with "changed" NO; unchanged bookmarks post nothing.
    m_delegate.syncRecordTypeComplete(QStringLiteral("BIBLENOTES"), false);
    m_delegate.recordSyncError(QStringLiteral("Between the types."));
    m_delegate.syncRecordTypeWillStart(QStringLiteral("BIBLEBOOKMARKS"));
    m_delegate.recordSyncError(QStringLiteral("While the bookmarks went."));
    m_delegate.syncRecordTypeComplete(QStringLiteral("BIBLEBOOKMARKS"), false);
    const QString notesLog = errorLog("BibleNotes");
    EXPECT_TRUE(notesLog.contains(QStringLiteral("While the notes went."))) << notesLog.toStdString();
    EXPECT_FALSE(notesLog.contains(QStringLiteral("Between the types.")));
    EXPECT_FALSE(notesLog.contains(QStringLiteral("While the bookmarks went.")));
    const QString bookmarksLog = errorLog("BibleBookmarks");
    EXPECT_TRUE(bookmarksLog.contains(QStringLiteral("While the bookmarks went."))) << bookmarksLog.toStdString();
    EXPECT_FALSE(bookmarksLog.contains(QStringLiteral("Between the types.")));
    ASSERT_EQ(postedNames(),
        (QStringList {"qsBibleNoteSynchronizationWillStartNotification", "qsNotesHaveChangedNotification"}));
    EXPECT_EQ(m_posted[1].userInfo.value(QStringLiteral("changed")), QVariant(false));
    EXPECT_EQ(m_senders[0], &m_delegate);

    m_posted.clear();
    m_delegate.syncRecordTypeWillStart(QStringLiteral("BOOKNOTES"));
    m_delegate.syncRecordTypeComplete(QStringLiteral("BOOKNOTES"), true);
    m_delegate.syncRecordTypeComplete(QStringLiteral("BOOKBOOKMARKS"), true);
    m_delegate.syncRecordTypeComplete(QStringLiteral("BIBLEHIGHLIGHTS"), true);
    m_delegate.syncRecordTypeComplete(QStringLiteral("DEVOTIONALPROGRESS"), true);
    m_delegate.syncRecordTypeComplete(QStringLiteral("DEVOTIONALSTARTDATE"), true);
    m_delegate.syncRecordTypeComplete(QStringLiteral("HIGHLIGHTCOLORNAMES"), true);
    for (const char* noun : {"BIBLEHIGHLIGHTS", "DEVOTIONALPROGRESS", "DEVOTIONALSTARTDATE", "HIGHLIGHTCOLORNAMES"})
        m_delegate.syncRecordTypeComplete(QString::fromLatin1(noun), false);
    EXPECT_EQ(postedNames(),
        (QStringList {"qsBookNoteSynchronizationWillStartNotification", "qsNotesHaveChangedNotification",
            "qsCategoriesHaveChangedNotification", "qsBookmarksHaveChangedNotification",
            "qsHighlightsHaveChangedNotification", "DevotionalProgressHasChangedNotification",
            "qsDevotionalStartDateHasChangedNotification", "qsHighlightColorNamesHaveChangedNotification"}));
    EXPECT_EQ(m_posted[1].userInfo.value(QStringLiteral("changed")), QVariant(true));

    // Progress carries its figure and message; the log-in result becomes "credentialsValid".
    m_posted.clear();
    m_senders.clear();
    m_delegate.syncProgressPercent(0.25f, QStringLiteral("Receiving notes"));
    ASSERT_EQ(m_posted.size(), 1);
    EXPECT_DOUBLE_EQ(m_posted[0].userInfo.value(QStringLiteral("progress")).toDouble(), 0.25);
    EXPECT_EQ(
        m_posted[0].userInfo.value(QStringLiteral("statusMessage")).toString(), QStringLiteral("Receiving notes"));
    EXPECT_EQ(m_senders[0], nullptr);
    m_delegate.syncLoginComplete(false);
    EXPECT_FALSE(m_defaults.value(SettingsKeys::CredentialsValid));
}

TEST_F(SyncDelegate, AutomaticSyncOnlyForTheCustomerTheDataBelongsTo)
{
    EXPECT_TRUE(m_delegate.syncAutomatically()) << "no customer recorded yet";
    qs::cloud::SyncLocalData().setSyncedCustomerId(5);
    EXPECT_EQ(QuillsteadSyncDelegate::syncedToCustomerID(), 5);
    EXPECT_TRUE(m_delegate.syncAutomatically());
    qs::cloud::SyncLocalData().setSyncedCustomerId(7);
    EXPECT_FALSE(m_delegate.syncAutomatically()) << "customer 5 on data synced for customer 7";
    qs::cloud::SyncLocalData().setSyncedCustomerId(5);
    m_defaults.set(SettingsKeys::AutoSyncEnabled, false);
    EXPECT_FALSE(m_delegate.syncAutomatically());
    m_defaults.set(SettingsKeys::AutoSyncEnabled, true);
    m_defaults.set(SettingsKeys::CredentialsValid, false);
    EXPECT_FALSE(m_delegate.syncAutomatically());
}

TEST_F(SyncDelegate, ErrorsAreRecordedAndShownUnlessTheSyncWasAutomatic)
{
    // Automatic, settings closed: recorded and posted, no alert.
    m_delegate.syncRecordTypeWillStart(QStringLiteral("BIBLEHIGHLIGHTS"));
    m_delegate.syncErrorOccurred(QStringLiteral("The server closed the connection <early>."), false);
    QApplication::processEvents();
    EXPECT_TRUE(s_alerts->shown().isEmpty());
    ASSERT_EQ(m_posted.size(), 1);
    EXPECT_EQ(m_posted[0].name, AppNotifications::qsSyncErrorOccurredNotification);
    EXPECT_EQ(m_posted[0].userInfo.value(QStringLiteral("message")).toString(),
        QStringLiteral("The server closed the connection <early>."));
    const QString log = errorLog("BibleHighlights");
    EXPECT_EQ(log.count(QStringLiteral("The server closed the connection &lt;early&gt;.")), 1) << log.toStdString();

    // The same with the sync settings page showing: an alert.
    m_syncPaneShown = true;
    m_delegate.syncErrorOccurred(QStringLiteral("Stalled."), false);
    EXPECT_TRUE(s_alerts->shown().isEmpty()) << "the alert waits until the engine's handler has returned";
    QApplication::processEvents();
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(s_alerts->shown()[0].messageText, QStringLiteral("Stalled."));
    EXPECT_EQ(s_alerts->shown()[0].style, AlertStyle::Warning);

    // A sync that was not automatic (automatic sync off) always shows its error.
    m_syncPaneShown = false;
    m_defaults.set(SettingsKeys::AutoSyncEnabled, false);
    m_delegate.syncErrorOccurred(QStringLiteral("Login refused."), false);
    QApplication::processEvents();
    ASSERT_EQ(s_alerts->shown().size(), 2);
    EXPECT_EQ(s_alerts->shown()[1].messageText, QStringLiteral("Login refused."));

    // Automatic sync on, settings closed: a sync the user asked for still says how it failed.
    m_defaults.set(SettingsKeys::AutoSyncEnabled, true);
    ASSERT_TRUE(m_delegate.syncAutomatically());
    m_delegate.syncErrorOccurred(QStringLiteral("Connection refused"), true);
    QApplication::processEvents();
    ASSERT_EQ(s_alerts->shown().size(), 3);
    EXPECT_EQ(s_alerts->shown()[2].messageText, QStringLiteral("Connection refused"));
}

// However many errors a sync reports, the user hears one alert when its connection ends; an alert
// never opens while another is up (errors of a later sync wait for the first alert to close), and a
// sync the user asked for that went well says so in a message that goes by itself.
TEST_F(SyncDelegate, EachSyncIsAnsweredOnceAndNoAlertOpensOverAnother)
{
    QStringList toasts;
    QuillsteadSyncDelegate delegate {m_center, m_defaults, *s_alerts,
        {nullptr, [] { return false; }, [&toasts](const QString& m) { toasts << m; }, {}}};
    // While an alert is up its own event loop runs, and a later sync may end in it.
    int up = 0;
    int mostUp = 0;
    bool laterSync = true;
    s_alerts->setWhileShown([&](const Alert&) {
        mostUp = std::max(mostUp, ++up);
        if (std::exchange(laterSync, false)) {
            delegate.userAskedForSync();
            delegate.syncCommStarted();
            delegate.syncErrorOccurred(QStringLiteral("Connection lost."), true);
            delegate.syncCommFinished();
        }
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        --up;
    });

    delegate.userAskedForSync();
    delegate.syncCommStarted();
    for (int i = 0; i < 500; ++i)
        delegate.syncErrorOccurred(QStringLiteral("Record %1 was refused.").arg(i % 12), true);
    EXPECT_TRUE(s_alerts->shown().isEmpty()) << "an error in the middle of a sync waits for its end";
    delegate.syncCommFinished();
    ASSERT_TRUE(TestSupport::waitFor([&] { return s_alerts->shown().size() == 2; }));
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const QList<Alert> shown = s_alerts->shown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(mostUp, 1) << "an alert opened over another";
    EXPECT_EQ(shown[0].messageText, QuillsteadSyncDelegate::severalErrorsMessage());
    QStringList expected;
    for (int i = 0; i < 10; ++i)
        expected << QStringLiteral("Record %1 was refused.").arg(i);
    expected << QStringLiteral("2 more are in the sync log.");
    EXPECT_EQ(shown[0].informativeText, expected.join(QStringLiteral("\n\n")));
    EXPECT_EQ(shown[1].messageText, QStringLiteral("Connection lost."));
    EXPECT_TRUE(toasts.isEmpty());
    s_alerts->setWhileShown({});

    // A sync the user asked for that went well: a message that goes by itself, no alert.
    delegate.userAskedForSync();
    delegate.syncCommStarted();
    delegate.syncCommFinished();
    QApplication::processEvents();
    EXPECT_EQ(
        toasts, QStringList({QStringLiteral("Cloud Sync: your notes, highlights and bookmarks are up to date.")}));
    EXPECT_EQ(s_alerts->shown().size(), 2);

    // Nor over an open menu: the alert waits until the user is done with it.
    QMenu menu;
    menu.addAction(QStringLiteral("Sync Now"));
    menu.popup(QPoint(10, 10));
    ASSERT_TRUE(TestSupport::waitFor([&] { return QApplication::activePopupWidget() == &menu; }));
    delegate.syncErrorOccurred(QStringLiteral("Refused."), true);
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(s_alerts->shown().size(), 2) << "an alert opened over the menu";
    menu.close();
    ASSERT_TRUE(TestSupport::waitFor([&] { return s_alerts->shown().size() == 3; }));
    EXPECT_EQ(s_alerts->shown()[2].messageText, QStringLiteral("Refused."));
}

// A Sync Now that joins a connection whose automatic part already failed quietly is answered with
// that failure, never with nothing.
TEST_F(SyncDelegate, ASyncNowJoiningAQuietlyFailedSyncIsAnswered)
{
    QStringList toasts;
    QuillsteadSyncDelegate delegate {m_center, m_defaults, *s_alerts,
        {nullptr, [] { return false; }, [&toasts](const QString& m) { toasts << m; }, {}}};
    ASSERT_TRUE(delegate.syncAutomatically());
    delegate.syncCommStarted();
    delegate.syncErrorOccurred(QStringLiteral("Record 7 was refused."), false);
    delegate.userAskedForSync();
    delegate.syncCommFinished();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !s_alerts->shown().isEmpty() || !toasts.isEmpty(); }));
    EXPECT_TRUE(toasts.isEmpty());
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(s_alerts->shown()[0].messageText, QStringLiteral("Record 7 was refused."));

    // An automatic sync alone still fails quietly, and the next Sync Now does not say its failure.
    delegate.syncCommStarted();
    delegate.syncErrorOccurred(QStringLiteral("Record 8 was refused."), false);
    delegate.syncCommFinished();
    delegate.userAskedForSync();
    delegate.syncCommStarted();
    delegate.syncCommFinished();
    QApplication::processEvents();
    EXPECT_EQ(toasts, QStringList {QuillsteadSyncDelegate::syncFinishedMessage()});
    EXPECT_EQ(s_alerts->shown().size(), 1);
}

TEST_F(SyncDelegate, LogInValuesComeFreshFromTheAccount)
{
    m_defaults.set(SettingsKeys::CustomerID, QString());
    qs::cloud::CustomerPassword::clear();
    m_defaults.set(SettingsKeys::Optionsbitfield, QString());
    EXPECT_FALSE(m_delegate.connectParameters().has_value()) << "no account";

    m_defaults.set(SettingsKeys::CustomerID, QStringLiteral("reader@example.test"));
    m_defaults.set(SettingsKeys::CustomerIDNum, 10001);
    ASSERT_TRUE(qs::cloud::CustomerPassword::store(QStringLiteral("s3cret")));
    auto p = m_delegate.connectParameters();
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->customerID, QStringLiteral("reader@example.test"));
    EXPECT_EQ(p->password, QStringLiteral("s3cret"));
    EXPECT_EQ(p->programID, AppFolders::bundleIdentifier() + QStringLiteral("/Mac OSX"));
    EXPECT_FALSE(p->version.isEmpty());
    EXPECT_EQ(p->deviceid, JavaScript::stringWithUniqueDeviceID());
    EXPECT_FALSE(p->devicename.isEmpty());
    EXPECT_EQ(p->customerIDNumber, 10001);

    // A password an older version kept scrambled in the settings still logs in.
    qs::cloud::CustomerPassword::clear();
    m_defaults.set(SettingsKeys::Optionsbitfield, JavaScript::encryptedString(QStringLiteral("older")));
    p = m_delegate.connectParameters();
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->password, QStringLiteral("older"));
}

TEST_F(SyncDelegate, ReceivedRecordsDropTheKeptSearchResultsOfTheirKind)
{
    const QString root = QString::fromStdString(userdatasearch::cacheRoot());
    ASSERT_FALSE(root.isEmpty());
    auto keep = [&root](const char* kind) {
        const QString folder = root + QString::fromLatin1(kind) + QStringLiteral("/0001001701");
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/kept.bin"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return file.fileName();
    };
    const QString note = keep("note");
    const QString category = keep("category");
    const QString color = keep("color");

    m_delegate.syncRecordTypeComplete(QStringLiteral("BIBLENOTES"), false);
    m_delegate.syncRecordTypeComplete(QStringLiteral("BIBLEBOOKMARKS"), false);
    EXPECT_TRUE(QFile::exists(note) && QFile::exists(category)) << "nothing received, nothing dropped";
    m_delegate.syncRecordTypeComplete(QStringLiteral("BOOKNOTES"), true);
    EXPECT_FALSE(QFile::exists(note));
    EXPECT_TRUE(QFile::exists(category));
    m_delegate.syncRecordTypeComplete(QStringLiteral("BOOKBOOKMARKS"), true);
    EXPECT_FALSE(QFile::exists(category));
    EXPECT_TRUE(QFile::exists(color));
    m_delegate.syncRecordTypeComplete(QStringLiteral("BIBLEHIGHLIGHTS"), true);
    EXPECT_FALSE(QFile::exists(color));
}

namespace {

QJsonArray line(const QStringList& parts)
{
    return QJsonArray::fromStringList(parts);
}

// The server's side of a sync of the Bible notes nobody asked for, by a reader with nothing to send:
// 25 notes with one field too many (ids from `firstId`), then 3 sound ones.
QJsonArray badNotesThenSoundOnes(int firstId)
{
    const QString time = QStringLiteral("2026-01-01 00:00:00.000");
    QJsonArray records;
    for (int i = 0; i < 28; ++i) {
        QStringList record {"ADD", "BIBLENOTES", "0", QString::number(firstId + i), time, "28", "43", "3",
            QString::number(1 + i), QStringLiteral("<p>note %1</p>").arg(i)};
        if (i < 25)
            record << QStringLiteral("a field too many");
        records.append(line(record));
    }
    records.append(line({"SYNC", "COMPLETE"}));
    return QJsonArray {QJsonArray {line({"CONNECTED", "SUCCESS"})},
        QJsonArray {line({"COUNTED", "BIBLENOTES", "28", "28"})}, QJsonArray {line({"GOT", "TIME", "$p0", "$now"})},
        records, QJsonArray {}, QJsonArray {}};
}

// The server's side of a Sync Now with nothing new on either side.
QJsonArray nothingNew()
{
    QJsonArray script {QJsonArray {line({"CONNECTED", "SUCCESS"})}};
    for (const char* noun : {"BIBLEBOOKMARKS", "BIBLEHIGHLIGHTS", "BIBLENOTES", "BOOKBOOKMARKS", "BOOKNOTES",
             "DEVOTIONALPROGRESS", "DEVOTIONALSTARTDATE", "HIGHLIGHTCOLORNAMES"})
        script.append(QJsonArray {line({"COUNTED", noun, "0", "0"})});
    script.append(QJsonArray {});
    return script;
}

}  // namespace

// What a sync nobody asked for left out of the server's records reaches the user on the window's
// notice line, with no alert over their work, and counts as said once the user has closed it: until
// then (or while no notice line could say it) the user's Sync Now says it instead of "up to date".
TEST_F(SyncDelegate, RecordsAnAutomaticSyncLeftOutAreSaidUntilClosedAndNeverCalledUpToDate)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    QTemporaryDir data;
    useDataFolder(data.path());
    QStringList toasts;
    // The delegate's entry on the notice line: message, informative text; empty when taken back.
    QStringList notice;
    std::function<void()> close;
    bool windowShown = true;
    QuillsteadSyncDelegate delegate {m_center, m_defaults, *s_alerts,
        {nullptr, [] { return false; }, [&toasts](const QString& m) { toasts << m; },
            [&](const QString& message, const QString& informative, std::function<void()> closed) {
                if (!windowShown)
                    return false;
                notice = message.isEmpty() ? QStringList() : QStringList {message, informative};
                close = std::move(closed);
                return true;
            }}};
    const QString summary = QStringLiteral("25 Bible notes from the server could not be read and were left out.");
    const QStringList said {QuillsteadSyncDelegate::leftOutNoticeMessage(), summary};
    {
        qs::cloud::SyncManager engine;
        engine.setServer(QStringLiteral("127.0.0.1"), server.syncPort());
        engine.setDelegate(&delegate);
        ASSERT_TRUE(delegate.syncAutomatically());

        runScripted(engine, server, badNotesThenSoundOnes(1000), false);
        EXPECT_EQ(notice, said);
        // The same records at the next sync: said already.
        runScripted(engine, server, badNotesThenSoundOnes(1000), false);
        EXPECT_EQ(notice, said);
        // Not closed yet: Sync Now says them, and they leave the notice line.
        delegate.userAskedForSync();
        runScripted(engine, server, nothingNew(), true);
        ASSERT_TRUE(TestSupport::waitFor([&] { return !s_alerts->shown().isEmpty(); }));
        EXPECT_TRUE(toasts.isEmpty()) << toasts.join('\n').toStdString();
        EXPECT_EQ(s_alerts->shown()[0].messageText, summary);
        EXPECT_TRUE(notice.isEmpty());

        // Other records left out, closed by the user: said; Sync Now is up to date.
        runScripted(engine, server, badNotesThenSoundOnes(2000), false);
        EXPECT_EQ(notice, said);
        ASSERT_TRUE(close);
        close();
        delegate.userAskedForSync();
        runScripted(engine, server, nothingNew(), true);
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_EQ(toasts, QStringList {QuillsteadSyncDelegate::syncFinishedMessage()});
        EXPECT_EQ(s_alerts->shown().size(), 1);

        // Other records left out while no notice line can say them: Sync Now does, once.
        windowShown = false;
        toasts.clear();
        s_alerts->clear();
        runScripted(engine, server, badNotesThenSoundOnes(3000), false);
        delegate.userAskedForSync();
        runScripted(engine, server, nothingNew(), true);
        ASSERT_TRUE(TestSupport::waitFor([&] { return !s_alerts->shown().isEmpty(); }));
        EXPECT_TRUE(toasts.isEmpty()) << toasts.join('\n').toStdString();
        ASSERT_EQ(s_alerts->shown().size(), 1);
        EXPECT_EQ(s_alerts->shown()[0].messageText, summary);
        delegate.userAskedForSync();
        runScripted(engine, server, nothingNew(), true);
        EXPECT_EQ(toasts, QStringList {QuillsteadSyncDelegate::syncFinishedMessage()});
        engine.setDelegate(nullptr);
    }
    useDataFolder(AppFolders::privateDataDirectory());
}

// A sync on a full disk (here one on which not even the tables can be made) is one alert, naming the
// synced data as a whole, never a kind of record the user has none of; the database's own report of
// the failure is no second alert.
TEST_F(SyncDelegate, ASyncOnAFullDiskIsOneAlertNamingNoKindTheUserLacks)
{
    QTemporaryDir data;
    useDataFolder(data.path());
    cDatabaseErrorReporter::install(std::make_shared<DatabaseErrorAlerts>(*s_alerts));
    {
        sync_test::FillingDisk disk;
        sync_test::FillingDisk::room = 0;
        qs::cloud::SyncManager engine;
        engine.setServer(QStringLiteral("127.0.0.1"), 9);
        engine.setDelegate(&m_delegate);
        m_delegate.userAskedForSync();
        engine.syncAll(true);
        ASSERT_TRUE(TestSupport::waitFor([&] { return !s_alerts->shown().isEmpty(); }));
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        engine.setDelegate(nullptr);
    }
    cDatabaseErrorReporter::install(nullptr);
    useDataFolder(AppFolders::privateDataDirectory());
    ASSERT_EQ(s_alerts->shown().size(), 1) << s_alerts->shown().last().informativeText.toStdString();
    EXPECT_EQ(s_alerts->shown()[0].messageText,
        QStringLiteral("Cloud Sync could not save your notes, highlights and bookmarks: the disk is full. Free some "
                       "space on it, then sync again."));
}

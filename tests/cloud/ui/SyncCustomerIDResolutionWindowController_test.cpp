// The customer-id conflict window: its choices, the two confirmations before data changes, and
// what each choice does to the local data.
#include "cloud/ui/SyncCustomerIDResolutionWindowController.h"

#include "cloud/sync/SyncHarness.h"  // tests/cloud/sync

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>

#include "support/RecordingAlerts.h"

using namespace sync_test;
using qs::cloud::SyncCustomerIDResolutionWindowController;
using C = qs::cloud::SyncCommand;

namespace {

// The window's choice and its texts, found among its widgets.
QComboBox* choices(const QWidget& window)
{
    return window.findChild<QComboBox*>(QStringLiteral("choicesPopUp"));
}
QLabel* label(const QWidget& window, const char* name)
{
    return window.findChild<QLabel*>(QString::fromLatin1(name));
}

QApplication& app()
{
    static int argc = 1;
    static char name[] = "cloud_ui_test";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

// The widget application comes before the readers, which would make a core one.
struct AppFirst {
    AppFirst() { app(); }
};

// The window works with the test's own alerts and sync engine.
struct Fixture : AppFirst {
    Fixture()
    {
        reader.edit(C::BibleNotes, {"1", "1", "1", "mine"});
        reader.activate();
        env.setAlert(&alerts);
        env.sync = &engine;
    }
    ~Fixture() { engine.localData().close(); }
    qint64 notes()
    {
        engine.localData().close();
        const Dump d = reader.dump(false);
        return d.count("BibleNotes") ? static_cast<qint64>(d.at("BibleNotes").size()) : 0;
    }
    RecordingAlerts alerts;
    Reader reader {QStringLiteral("device-a")};
    SyncManager engine;
    WindowEnvironment env;
};

}  // namespace

TEST(SyncCustomerIDResolutionWindow, OpensOnDoNotSyncWithItsDescriptionAndNamesBothCustomers)
{
    Fixture f;
    SyncCustomerIDResolutionWindowController window(f.env, 10002, 10001);
    window.show();
    EXPECT_EQ(choices(window)->count(), 4);
    EXPECT_EQ(choices(window)->currentIndex(), SyncCustomerIDResolutionWindowController::DoNotSync);
    EXPECT_EQ(label(window, "detailLabel")->text(), SyncCustomerIDResolutionWindowController::details().at(3));
    const QString prompt = label(window, "promptLabel")->text();
    EXPECT_TRUE(
        prompt.startsWith(QStringLiteral("You are logged in as Tavrosen customer 10002 but your user-created data")));
    EXPECT_TRUE(prompt.contains(QStringLiteral("using customer ID 10001.")));
    choices(window)->setCurrentIndex(1);
    EXPECT_EQ(label(window, "detailLabel")->text(), SyncCustomerIDResolutionWindowController::details().at(1));
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    window.grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/sync-customer-id-conflict.png"));
}

TEST(SyncCustomerIDResolutionWindow, ReplacingNeedsTwoYesAnswersThenEmptiesTheLocalData)
{
    Fixture f;
    SyncCustomerIDResolutionWindowController window(f.env, 10002, 10001);
    window.show();
    choices(window)->setCurrentIndex(SyncCustomerIDResolutionWindowController::ReplaceLocalData);
    f.alerts.queueAnswer(AlertSecondButtonReturn);  // No
    window.onOKButton();
    EXPECT_TRUE(window.isVisible());
    f.alerts.queueAnswer(AlertFirstButtonReturn);
    f.alerts.queueAnswer(AlertSecondButtonReturn);  // Yes, then No at the last chance
    window.onOKButton();
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(f.alerts.shown().size(), 3);
    EXPECT_EQ(f.alerts.shown().at(2).messageText,
        QStringLiteral("LAST CHANCE: Are you sure you want to delete your local data?"));
    EXPECT_TRUE(f.alerts.shown().at(2).informativeText.endsWith(QStringLiteral(" THIS OPERATION CAN NOT BE UNDONE.")));
    for (const Alert& asked : f.alerts.shown())  // Return keeps the data
        EXPECT_EQ(asked.effectiveDefaultButton(), 1);
    EXPECT_EQ(f.notes(), 1);

    f.reader.activate();
    f.alerts.queueAnswer(AlertFirstButtonReturn);
    f.alerts.queueAnswer(AlertFirstButtonReturn);
    window.onOKButton();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), 1);
    EXPECT_EQ(f.notes(), 0);
}

TEST(SyncCustomerIDResolutionWindow, CombiningForgetsTheSyncedCustomerSoTheNextSyncNeedsNoWindow)
{
    Fixture f;
    f.engine.localData().open();
    f.engine.localData().setSyncedCustomerId(10001);
    SyncCustomerIDResolutionWindowController window(f.env, 10002, 10001);
    window.show();
    choices(window)->setCurrentIndex(SyncCustomerIDResolutionWindowController::CombineData);
    f.alerts.queueAnswer(AlertFirstButtonReturn);
    f.alerts.queueAnswer(AlertFirstButtonReturn);
    window.onOKButton();
    EXPECT_EQ(window.result(), 1);
    EXPECT_TRUE(f.alerts.shown().at(1).informativeText.endsWith(
        QStringLiteral("older data on the server. DELETED OR OVERWRITTEN DATA ARE NOT RECOVERABLE.")));
    EXPECT_EQ(f.engine.localData().syncedCustomerId(), 0);
    EXPECT_TRUE(f.engine.userHasUnsyncedData());
    EXPECT_TRUE(SyncCustomerIDResolutionWindowController::resolveBeforeSync(f.env, 10002, 0, nullptr, {}));
    EXPECT_EQ(f.notes(), 1) << "combining keeps the local data";
}

TEST(SyncCustomerIDResolutionWindow, LogOutOpensTheCustomerPaneAndCancelAndLaterStopTheSync)
{
    Fixture f;
    int pane = -1;
    SyncCustomerIDResolutionWindowController logOut(f.env, 10002, 10001);
    QObject::connect(&logOut, &SyncCustomerIDResolutionWindowController::preferencesPaneRequested, &logOut,
        [&pane](int p) { pane = p; });
    logOut.show();
    choices(logOut)->setCurrentIndex(SyncCustomerIDResolutionWindowController::LogOut);
    logOut.onOKButton();
    EXPECT_EQ(pane, 3);
    EXPECT_EQ(logOut.result(), 0);

    SyncCustomerIDResolutionWindowController later(f.env, 10002, 10001);
    later.show();
    later.onOKButton();
    EXPECT_EQ(later.result(), 0);
    SyncCustomerIDResolutionWindowController cancel(f.env, 10002, 10001);
    cancel.show();
    cancel.onCancelButton();
    EXPECT_EQ(cancel.result(), 0);
    EXPECT_TRUE(f.alerts.shown().isEmpty());
    EXPECT_EQ(f.notes(), 1);
    // Equal customers, or none recorded: no window at all.
    EXPECT_TRUE(SyncCustomerIDResolutionWindowController::resolveBeforeSync(f.env, 10001, 10001, nullptr, {}));
    EXPECT_TRUE(SyncCustomerIDResolutionWindowController::resolveBeforeSync(f.env, 10001, -1, nullptr, {}));
}
